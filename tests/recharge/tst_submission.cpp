// Order submission and status tracking: the real controllers on the order
// book and a real store file, against the simulator over loopback. No widget
// and no browser: the engine runs under QCoreApplication.
#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "orders/orderbook.h"
#include "orders/orderstore.h"
#include "recharge/statustracker.h"
#include "recharge/submission.h"
#include "sim/platformsim.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using sim::FaultKind;

namespace {

const QString kAccount = QStringLiteral("demo");
const QString kRechargePath = QStringLiteral("/platform/productcz1.asp");
const QString kStatusPath = QStringLiteral("/platform/chargestatus.asp");
const QString kBuyer = QStringLiteral("买家小王");

RechargeOrder makeOrder(int type, const QString &orderNo,
                        const QString &product = QStringLiteral("移动话费充值"),
                        const QString &amount = QStringLiteral("100"),
                        const QString &account = QStringLiteral("13800000000"))
{
    RechargeOrder o;
    o.orderType = type;
    o.rechargeAccount = account;
    o.productName = product + amount;
    o.salePrice = amount.toDouble();
    o.quantity = amount.toDouble();
    o.rechargeTime = CurrentDateTime();
    o.buyerNick = type == 0 ? QStringLiteral("手工订单") : kBuyer;
    o.status = OrderStatus::Waiting;
    o.orderNo = orderNo;
    o.shipNo = QStringLiteral("S-") + orderNo;
    o.platformProduct = product;
    o.actualQuantity = QStringLiteral("1");
    return o;
}

QString page(const QString &title, const QString &body)
{
    return QStringLiteral("<html><head><title>") + title + QStringLiteral("</title></head><body>") +
           body + QStringLiteral("</body></html>");
}

} // namespace

class TestSubmission : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requestBody();
    void answerHandling_data();
    void answerHandling();
    void counterCodeStaysOnTheClipboard();
    void sevenShopOrders();
    void manualScanSendsManualOrdersOnly();
    void acceptedAgainstTheSimulator();
    void platformRefuses_data();
    void platformRefuses();
    void platformTakesAKeyOnce();
    void errorOutcomes_data();
    void errorOutcomes();
    void notDeliveredShopOrderIsSentOnceMore();
    void keepAliveClosedBetweenOrders();
    void manualOrdersBackToBack();
    void submittingWriteFails_data();
    void submittingWriteFails();
    void buyerTextCannotChangeTheRequest();

    void pollNothingWaiting();
    void pollBodyForTwoOrders();
    void pollReply_data();
    void pollReply();
    void pollReplyNotBeginningWithThree();
    void pollReplyIsWrittenWhole();
    void pollAgainstTheSimulator_data();
    void pollAgainstTheSimulator();

private:
    void addOrder(const RechargeOrder &order)
    {
        QVERIFY(m_store->插入订单(order));
        m_ledger->showStored(order);
    }
    std::optional<RechargeOrder> stored(const QString &orderNo);
    // A status tracker on the same book, store and platform.
    std::unique_ptr<StatusTracker> newTracker()
    {
        return std::make_unique<StatusTracker>(*m_ledger, m_network, m_endpoint);
    }
    // As the list shows the order: an answer of the platform.
    void showAnswer(const QString &orderNo, OrderStatus status, const QString &rechargeId)
    {
        m_book->setAnswer(orderNo, status, rechargeId, {}, {}, false);
    }
    void setPlatform(const QString &baseUrl)
    {
        m_endpoint.baseUrl = baseUrl;
        m_submission->setEndpoint(m_endpoint);
    }
    QString rowStatus(int type, const QString &orderNo) const;
    bool allIdle() const;
    // "order number/kind" of the request out on the component; empty when idle.
    QString carried(int component) const
    {
        const auto out = m_submission->requestOn(component);
        return out ? out->orderNo + QLatin1Char('/') + QString::number(out->kind) : QString();
    }
    void setTimeouts(int ms);
    int rechargeRequests() const { return m_env.requestsTo(kRechargePath).size(); }
    // Makes the file refuse one kind of status write, as a full disk would.
    void refuseStatusWrites(const QString &when);

    SimEnvironment m_env;
    QString m_sessionKey;
    NetworkAccess m_network;
    PlatformEndpoint m_endpoint;
    RecordingClipboard m_clipboard;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<OrderLedger> m_ledger;
    OrderStore *m_store = nullptr;
    OrderBook *m_book = nullptr;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<SubmissionController> m_submission;
    QStringList m_feedback;
};

void TestSubmission::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_env.sim().withState([this](sim::State &s) { m_sessionKey = s.openSession(kAccount); });
}

void TestSubmission::init()
{
    m_endpoint = {m_env.config().platformBaseUrl, m_sessionKey, QStringLiteral("MID"),
                  QStringLiteral("10086"), QStringLiteral("榴帆综合缴费系统")};
    m_dir = std::make_unique<QTemporaryDir>();
    m_ledger = std::make_unique<OrderLedger>(
        sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_endpoint.userId);
    m_store = &m_ledger->store();
    m_book = &m_ledger->book();
    m_prompter = std::make_unique<PrompterGuard>();
    m_clipboard.texts = {QStringLiteral("before")};
    m_submission = std::make_unique<SubmissionController>(*m_ledger, m_network, m_endpoint,
                                                          **m_prompter, m_clipboard);
    m_feedback.clear();
    m_submission->setFeedbackSink([this](const QString &line) { m_feedback.append(line); });
}

void TestSubmission::cleanup()
{
    // Answers still on their way must not outlive the controller's store.
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 30000);
    m_submission.reset();
    m_ledger.reset();
    m_dir.reset();
    m_prompter.reset();
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_env.sim().setRechargeFinish(1, true);
    m_env.sim().withState([](sim::State &s) {
        s.findAccount(kAccount)->balance = QStringLiteral("1000.00");
        s.recharges().clear();
    });
}

std::optional<RechargeOrder> TestSubmission::stored(const QString &orderNo)
{
    const auto orders = m_store->读取订单();
    if (!orders)
        return std::nullopt;
    for (const RechargeOrder &o : *orders) {
        if (o.orderNo == orderNo)
            return o;
    }
    return std::nullopt;
}

QString TestSubmission::rowStatus(int, const QString &orderNo) const
{
    const int row = m_book->rowOf(orderNo);
    return row >= 0 ? listedText(*m_book, row, QStringLiteral("t7")) : QStringLiteral("(no row)");
}

bool TestSubmission::allIdle() const
{
    if (!m_submission)
        return true;
    for (int i = 0; i < 7; ++i) {
        if (m_submission->inet充值(i)->stillExecuting())
            return false;
    }
    return true;
}

void TestSubmission::setTimeouts(int ms)
{
    for (int i = 0; i < 7; ++i)
        m_submission->inet充值(i)->setTimeoutMs(ms);
}

void TestSubmission::refuseStatusWrites(const QString &when)
{
    QVERIFY(m_store->open());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "saboteur");
        db.setDatabaseName(m_store->path());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(
            q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF 充值状态 ON 充值订单 "
                                  "WHEN %1 BEGIN SELECT RAISE(ABORT, 'disk full'); END")
                       .arg(when)),
            qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase("saboteur");
}

void TestSubmission::requestBody()
{
    RechargeRequestFields f;
    f.platformProduct = QStringLiteral("mobile");
    f.quantity = QStringLiteral("100");
    f.rechargeAccount = QStringLiteral("13800000000");
    f.orderNo = QStringLiteral("qwhtrbxnmakpzeyfcjsuvdgoi");
    f.actualQuantity = QStringLiteral("1");
    f.queryArea = QStringLiteral("BJ");
    // Ordinary values go out exactly as they are, keys in the platform's order.
    QCOMPARE(rechargeRequestBody(f, QStringLiteral("k3y"), 0),
             QStringLiteral("game_cp=&game_list=mobile&game_area=&game_userid=13800000000&"
                            "sessionkey=k3y&Cardnum=100&counts=1&lx=0&cx=BJ&"
                            "key=qwhtrbxnmakpzeyfcjsuvdgoi"));
    QCOMPARE(tradeCountText(3), QStringLiteral("当前交易：  3 笔"));
}

void TestSubmission::answerHandling_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("response");
    QTest::addColumn<int>("storedStatus");
    QTest::addColumn<QString>("rowText");
    QTest::addColumn<QString>("rechargeId");
    QTest::addColumn<QString>("cardCode");
    QTest::addColumn<QString>("balanceText"); // empty: the label is not touched
    QTest::addColumn<int>("trades");
    QTest::addColumn<QStringList>("messages");

    const QString refused = QStringLiteral("余额不足，请先充值");
    const QString accepted = QStringLiteral("充值提交成功！");
    const QString unknown = kOutcomeUnknownText;
    const QString code = QStringLiteral("AB12CD34EF56GH78");

    QTest::newRow("refused, manual")
        << 0 << true << page(refused, QStringLiteral("<p>x</p>")) << 2 << refused << QString()
        << QString() << QString() << 0 << QStringList{refused};
    QTest::newRow("refused, shop") << 1 << true << page(refused, QString()) << 2 << refused
                                   << QString() << QString() << QString() << 0 << QStringList();
    QTest::newRow("accepted without card code")
        << 1 << true << page(accepted, QStringLiteral("88.5|x|R123")) << 0
        << QStringLiteral("等待服务器充值") << QStringLiteral("R123") << QString()
        << QStringLiteral("88.5 元") << 1 << QStringList();
    QTest::newRow("accepted manual order")
        << 0 << true << page(accepted, QStringLiteral("88.5|x|R123")) << 0
        << QStringLiteral("等待服务器充值") << QStringLiteral("R123") << QString()
        << QStringLiteral("88.5 元") << 1 << QStringList{accepted};
    QTest::newRow("accepted with a card code in groups")
        << 0 << true
        << page(accepted + QStringLiteral("--top--AB12-CD34 EF56 - GH78--end--"),
                QStringLiteral("70|x|R7"))
        << 1 << QStringLiteral("充值成功") << QStringLiteral("R7") << code
        << QStringLiteral("70 元") << 1
        << QStringList{accepted, QStringLiteral("您的卡密已经复制到您的剪切盘 ") + code};
    QTest::newRow("shop order with a card code")
        << 1 << true
        << page(accepted + QStringLiteral("--top--AB12-CD34 EF56 - GH78--end--"),
                QStringLiteral("70|x|R7"))
        << 1 << QStringLiteral("充值成功") << QStringLiteral("R7") << code
        << QStringLiteral("70 元") << 1 << QStringList();
    QTest::newRow("card marker without a code")
        << 1 << true << page(accepted + QStringLiteral("--top-- - "), QStringLiteral("70|x|R8"))
        << 0 << QStringLiteral("等待服务器充值") << QStringLiteral("R8") << QString()
        << QStringLiteral("70 元") << 1 << QStringList();
    QTest::newRow("balance not reported")
        << 1 << true << page(accepted, QStringLiteral("-1|x|R9")) << 0
        << QStringLiteral("等待服务器充值") << QStringLiteral("R9") << QString() << QString() << 1
        << QStringList();
    QTest::newRow("accepted body with fewer than three fields")
        << 1 << true << page(accepted, QStringLiteral("88.5|R123")) << -1 << unknown << QString()
        << QString() << QString() << 0 << QStringList();
    QTest::newRow("order key taken before")
        << 0 << true << page(QStringLiteral("订单已经提交过，不能重复充值：T1001"), QString()) << -1
        << unknown << QString() << QString() << QString() << 0
        << QStringList{QStringLiteral("unknown")};
    QTest::newRow("still working, no recharge id")
        << 1 << true << page(accepted, QStringLiteral("88.5|x|")) << -1 << unknown << QString()
        << QString() << QString() << 0 << QStringList();
    QTest::newRow("no page at all")
        << 0 << true << QStringLiteral("\x01garbage") << -1 << unknown << QString() << QString()
        << QString() << 0 << QStringList{QStringLiteral("unknown")};
    QTest::newRow("row no longer listed")
        << 1 << false << page(accepted, QStringLiteral("88.5|x|R5")) << 0 << QString()
        << QStringLiteral("R5") << QString() << QStringLiteral("88.5 元") << 1 << QStringList();
}

void TestSubmission::answerHandling()
{
    QFETCH(int, kind);
    QFETCH(bool, listed);
    QFETCH(QString, response);
    QFETCH(int, storedStatus);
    QFETCH(QString, rowText);
    QFETCH(QString, rechargeId);
    QFETCH(QString, cardCode);
    QFETCH(QString, balanceText);
    QFETCH(int, trades);
    QFETCH(QStringList, messages);

    const QString orderNo = QStringLiteral("T1001");
    addOrder(makeOrder(kind, orderNo));
    QVERIFY(m_store->反写数据库状态(orderNo, OrderStatus::Submitting, {}, {}, {}).ok());
    m_book->setStatus(orderNo, OrderStatus::Submitting);
    QCOMPARE(rowStatus(kind, orderNo), QStringLiteral("正在提交"));
    if (!listed)
        QVERIFY(m_book->remove(orderNo));

    QSignalSpy balance(m_submission.get(), &SubmissionController::balanceTextChanged);
    QSignalSpy count(m_submission.get(), &SubmissionController::tradeCountChanged);
    QSignalSpy cz(m_submission.get(), &SubmissionController::czMayBeEnabled);
    // What the store holds while the agent reads each message.
    QList<std::optional<RechargeOrder>> storedAtMessage;
    (*m_prompter)->onMessage = [&](const RecordingPrompter::Message &) {
        storedAtMessage.append(stored(orderNo));
    };
    m_submission->判断充值结果(response, RechargeRequest{orderNo, kind});

    const auto order = stored(orderNo);
    QVERIFY(order);
    QCOMPARE(statusNumber(order->status), storedStatus);
    QCOMPARE(order->rechargeId, rechargeId);
    QCOMPARE(order->cardCode, cardCode);
    if (listed) {
        const int row = m_book->rowOf(orderNo);
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t7")), rowText);
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t8")), rechargeId);
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t11")), cardCode);
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t9")), cardCode);
    }
    QCOMPARE(balance.size(), balanceText.isEmpty() ? 0 : 1);
    if (!balanceText.isEmpty())
        QCOMPARE(balance.at(0).at(0).toString(), balanceText);
    QCOMPARE(count.size(), trades);
    QCOMPARE(m_submission->tradeCount(), trades);
    if (trades)
        QCOMPARE(count.at(0).at(1).toString(), QStringLiteral("当前交易：  1 笔"));

    // A counter order's card code goes to the clipboard and, with the row, to
    // the delivery queue.
    QCOMPARE(m_clipboard.text(),
             cardCode.isEmpty() || kind != 0 ? QStringLiteral("before") : cardCode);
    // Only a shop order's: the counter's code is handed over at the counter.
    QCOMPARE(m_feedback, cardCode.isEmpty() || !listed || kind == 0
                             ? QStringList()
                             : QStringList{QStringLiteral("补反馈<o>S-T1001<o>1<o>") + cardCode +
                                           QStringLiteral("<o>") + kBuyer});

    const QStringList texts = (*m_prompter)->texts();
    if (messages == QStringList{QStringLiteral("unknown")}) {
        QCOMPARE(texts.size(), 1);
        QVERIFY(texts.at(0).contains(QStringLiteral("销售记录")));
    } else {
        QCOMPARE(texts, messages);
    }
    for (const auto &m : (*m_prompter)->messages)
        QCOMPARE(m.title, m_endpoint.appTitle);
    QCOMPARE(cz.size(), kind == 0 ? 1 : 0);
    QCOMPARE(storedAtMessage.size(), texts.size());
    for (const auto &atMessage : storedAtMessage) {
        QVERIFY(atMessage);
        QCOMPARE(statusNumber(atMessage->status), storedStatus);
        QCOMPARE(atMessage->rechargeId, rechargeId);
        QCOMPARE(atMessage->cardCode, cardCode);
    }
}

void TestSubmission::counterCodeStaysOnTheClipboard()
{
    // The agent reads the counter's code box while a shop's card answer comes
    // in: the shop buyer's code must not replace the counter customer's.
    const QString accepted = kRechargeAccepted;
    for (const auto &[type, no] : {std::pair{0, "C1"}, std::pair{1, "T1"}}) {
        addOrder(makeOrder(type, QString::fromLatin1(no)));
        QVERIFY(
            m_store->反写数据库状态(QString::fromLatin1(no), OrderStatus::Submitting, {}, {}, {})
                .ok());
    }
    bool shopAnswered = false;
    (*m_prompter)->onMessage = [&](const RecordingPrompter::Message &m) {
        if (shopAnswered || !m.text.contains(QStringLiteral("COUNTER1")))
            return;
        shopAnswered = true;
        m_submission->判断充值结果(
            page(accepted + QStringLiteral("--top--SHOP2--end--"), QStringLiteral("70|x|R2")),
            RechargeRequest{QStringLiteral("T1"), 1});
    };
    m_submission->判断充值结果(
        page(accepted + QStringLiteral("--top--COUNTER1--end--"), QStringLiteral("70|x|R1")),
        RechargeRequest{QStringLiteral("C1"), 0});
    QVERIFY(shopAnswered);
    QCOMPARE(stored(QStringLiteral("T1"))->cardCode, QStringLiteral("SHOP2"));
    QCOMPARE(m_clipboard.texts, (QStringList{"before", "COUNTER1"}));
}

void TestSubmission::sevenShopOrders()
{
    // Answers are held back long enough to see all six components busy.
    m_env.sim().setFault(kRechargePath, {FaultKind::Delay, 1500});
    for (int i = 1; i <= 7; ++i)
        addOrder(makeOrder(1, QStringLiteral("TB%1").arg(i)));

    m_submission->充值订单请求(1);

    // The newest six, from the top, on 0 to 5; the oldest waits.
    for (int i = 0; i < 6; ++i) {
        QVERIFY(m_submission->inet充值(i)->stillExecuting());
        QCOMPARE(carried(i), QStringLiteral("TB%1/1").arg(7 - i));
        QCOMPARE(statusNumber(stored(QStringLiteral("TB%1").arg(7 - i))->status), -1);
        QCOMPARE(rowStatus(1, QStringLiteral("TB%1").arg(7 - i)), QStringLiteral("正在提交"));
    }
    QVERIFY(!m_submission->inet充值(6)->stillExecuting());
    QCOMPARE(m_submission->获取空闲充值inet(), -1);
    QCOMPARE(rowStatus(1, QStringLiteral("TB1")), QStringLiteral("等待提交"));
    QCOMPARE(statusNumber(stored(QStringLiteral("TB1"))->status), -2);

    // A second call while all are busy changes nothing.
    m_submission->充值订单请求(1);
    QCOMPARE(rowStatus(1, QStringLiteral("TB1")), QStringLiteral("等待提交"));

    // As soon as a component is free the seventh goes, and every order is
    // accepted exactly once.
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, QStringLiteral("TB1")), QStringLiteral("等待服务器充值"),
                              30000);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 30000);
    for (int i = 1; i <= 7; ++i) {
        const QString no = QStringLiteral("TB%1").arg(i);
        QCOMPARE(statusNumber(stored(no)->status), 0);
        QCOMPARE(rowStatus(1, no), QStringLiteral("等待服务器充值"));
        QCOMPARE(m_env.sim().rechargeCount(no), 1);
    }
    QCOMPARE(rechargeRequests(), 7);
    QCOMPARE(m_submission->tradeCount(), 7);
    QVERIFY(carried(6).isEmpty()); // never on the manual component
}

void TestSubmission::manualScanSendsManualOrdersOnly()
{
    m_env.sim().setFault(kRechargePath, {FaultKind::Delay, 500});
    addOrder(makeOrder(1, QStringLiteral("TB1")));
    addOrder(makeOrder(0, QStringLiteral("M1")));
    addOrder(makeOrder(0, QStringLiteral("M2")));
    addOrder(makeOrder(1, QStringLiteral("TB2")));

    m_submission->充值订单请求(0);
    // One manual order, the newest, on component 6; shop orders untouched.
    QVERIFY(m_submission->inet充值(6)->stillExecuting());
    QCOMPARE(carried(6), QStringLiteral("M2/0"));
    QCOMPARE(rowStatus(0, QStringLiteral("M2")), QStringLiteral("正在提交"));
    QCOMPARE(rowStatus(0, QStringLiteral("M1")), QStringLiteral("等待提交"));
    QCOMPARE(rowStatus(1, QStringLiteral("TB1")), QStringLiteral("等待提交"));
    QCOMPARE(rowStatus(1, QStringLiteral("TB2")), QStringLiteral("等待提交"));
    QCOMPARE(m_submission->获取空闲充值inet(), 0);

    // While 6 is busy another manual scan sends nothing.
    m_submission->充值订单请求(0);
    QCOMPARE(rowStatus(0, QStringLiteral("M1")), QStringLiteral("等待提交"));
    QCOMPARE(statusNumber(stored(QStringLiteral("M1"))->status), -2);

    m_submission->充值订单请求(1);
    QCOMPARE(carried(0), QStringLiteral("TB2/1"));
    QCOMPARE(carried(1), QStringLiteral("TB1/1"));
    // M1 goes out by itself once 6 is free again.
    QTRY_VERIFY_WITH_TIMEOUT(allIdle() && m_env.sim().rechargeCount(QStringLiteral("M1")) == 1,
                             30000);
    for (const char *no : {"TB1", "TB2", "M1", "M2"})
        QCOMPARE(m_env.sim().rechargeCount(QString::fromLatin1(no)), 1);
    // Each request says the kind it was sent as.
    for (const sim::LoggedRequest &r : m_env.requestsTo(kRechargePath)) {
        const auto form = sim::parseUrlEncoded(r.body);
        QCOMPARE(form.value(QStringLiteral("lx")),
                 form.value(QStringLiteral("key")).startsWith(QLatin1Char('M'))
                     ? QStringLiteral("0")
                     : QStringLiteral("1"));
    }
}

void TestSubmission::acceptedAgainstTheSimulator()
{
    // A card product: the simulator writes its code in groups.
    addOrder(makeOrder(1, QStringLiteral("TB-CARD"), QStringLiteral("魔兽世界点卡"),
                       QStringLiteral("30")));
    QSignalSpy balance(m_submission.get(), &SubmissionController::balanceTextChanged);
    m_submission->充值订单请求(1);
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, QStringLiteral("TB-CARD")), QStringLiteral("充值成功"),
                              20000);
    const QList<sim::RechargeRecord> recharges = m_env.sim().recharges();
    QCOMPARE(recharges.size(), 1);
    const sim::RechargeRecord &r = recharges.first();
    QCOMPARE(r.cardCode.size(), 16);
    const auto order = stored(QStringLiteral("TB-CARD"));
    QCOMPARE(statusNumber(order->status), 1);
    QCOMPARE(order->cardCode, r.cardCode);
    QCOMPARE(order->rechargeId, r.rechargeId);
    QCOMPARE(m_clipboard.text(), QStringLiteral("before")); // a shop order's code is the buyer's
    QCOMPARE(balance.size(), 1);
    QCOMPARE(balance.at(0).at(0).toString(),
             m_env.sim().account(kAccount)->balance + QStringLiteral(" 元"));
    QCOMPARE(m_env.sim().account(kAccount)->balance, QStringLiteral("972.40"));
    QCOMPARE(m_feedback.size(), 1);

    // The request as it went out: the keys in order, the header line.
    const auto requests = m_env.requestsTo(kRechargePath + QStringLiteral("?action=cz"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QStringLiteral("POST"));
    QStringList keys;
    for (const QByteArray &pair : requests.first().body.split('&'))
        keys << QString::fromLatin1(pair.left(pair.indexOf('=')));
    QCOMPARE(keys, (QStringList{"game_cp", "game_list", "game_area", "game_userid", "sessionkey",
                                "Cardnum", "counts", "lx", "cx", "key"}));
}

void TestSubmission::platformRefuses_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<bool>("staleSession");
    QTest::addColumn<QString>("reason");

    const QString mobile = QStringLiteral("移动话费充值");
    const QString full = QStringLiteral("1000.00");
    QTest::newRow("unknown product")
        << QStringLiteral("不存在的商品") << QStringLiteral("100") << full << false
        << QStringLiteral("没有这个商品：不存在的商品");
    QTest::newRow("amount not offered")
        << mobile << QStringLiteral("15") << full << false << QStringLiteral("没有这个面值：15");
    QTest::newRow("balance too low") << mobile << QStringLiteral("100") << QStringLiteral("99.00")
                                     << false << QStringLiteral("余额不足，请先充值");
    QTest::newRow("session no longer valid")
        << mobile << QStringLiteral("100") << full << true << QStringLiteral("请重新登陆！");
}

void TestSubmission::platformRefuses()
{
    QFETCH(QString, product);
    QFETCH(QString, amount);
    QFETCH(QString, balance);
    QFETCH(bool, staleSession);
    QFETCH(QString, reason);

    m_env.sim().withState([&](sim::State &s) { s.findAccount(kAccount)->balance = balance; });
    if (staleSession) {
        m_endpoint.sessionKey = QStringLiteral("0123456789abcdef");
        m_submission->setEndpoint(m_endpoint);
    }
    const QString no = QStringLiteral("REF1");
    addOrder(makeOrder(0, no, product, amount));
    QSignalSpy cz(m_submission.get(), &SubmissionController::czMayBeEnabled);
    m_submission->充值订单请求(0);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);

    QCOMPARE(rowStatus(0, no), reason);
    QCOMPARE(statusNumber(stored(no)->status), 2);
    QCOMPARE((*m_prompter)->texts(), QStringList{reason});
    QCOMPARE(cz.size(), 1);
    QCOMPARE(m_env.sim().rechargeCount(no), 0);
    QCOMPARE(m_env.sim().account(kAccount)->balance, balance);
    QCOMPARE(m_submission->tradeCount(), 0);
}

void TestSubmission::platformTakesAKeyOnce()
{
    const QString no = QStringLiteral("TBONCE");
    addOrder(makeOrder(1, no));
    m_submission->充值订单请求(1);
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, no), QStringLiteral("等待服务器充值"), 20000);

    // Even if the order were put back to waiting, the platform would not
    // recharge its key a second time.
    QVERIFY(m_store->反写数据库状态(no, OrderStatus::Waiting, {}, {}, {}).ok());
    m_book->setStatus(no, OrderStatus::Waiting);
    m_submission->充值订单请求(1);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);
    // The platform holds the order: not refused, not refunded, but unknown
    // until the agent looks it up.
    QCOMPARE(rowStatus(1, no), kOutcomeUnknownText);
    QCOMPARE(statusNumber(stored(no)->status), -1);
    QCOMPARE(m_env.sim().rechargeRequestsFor(no), 2);
    QCOMPARE(m_env.sim().rechargeCount(no), 1);
    QCOMPARE(m_env.sim().account(kAccount)->balance, QStringLiteral("900.30"));
    QCOMPARE(m_submission->tradeCount(), 1);
}

void TestSubmission::errorOutcomes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("refused");    // nothing listens on the platform's port
    QTest::addColumn<int>("storeStatus"); // -1 unknown, 4 not delivered
    QTest::addColumn<int>("received");    // requests with the key at the platform
    QTest::addColumn<int>("recharged");   // what the platform did with it

    const int none = int(FaultKind::None);
    QTest::newRow("connection refused") << 0 << none << 0 << true << 4 << 0 << 0;
    QTest::newRow("connection refused, shop") << 1 << none << 0 << true << 4 << 0 << 0;
    QTest::newRow("dropped before the page ran")
        << 0 << int(FaultKind::Drop) << 0 << false << -1 << 1 << 0;
    QTest::newRow("dropped before the page ran, shop")
        << 1 << int(FaultKind::Drop) << 0 << false << -1 << 1 << 0;
    QTest::newRow("page ran, then dropped")
        << 0 << int(FaultKind::RunThenDrop) << 0 << false << -1 << 1 << 1;
    QTest::newRow("page ran, then dropped, shop")
        << 1 << int(FaultKind::RunThenDrop) << 0 << false << -1 << 1 << 1;
    QTest::newRow("answer cut short")
        << 0 << int(FaultKind::Truncate) << 0 << false << -1 << 1 << 1;
    QTest::newRow("no answer within the time-out")
        << 0 << int(FaultKind::Delay) << 2500 << false << -1 << 1 << 1;
    QTest::newRow("garbage answer") << 0 << int(FaultKind::Garbage) << 0 << false << -1 << 1 << 0;
    QTest::newRow("server error") << 1 << int(FaultKind::Error500) << 0 << false << -1 << 1 << 0;
}

void TestSubmission::errorOutcomes()
{
    QFETCH(int, kind);
    QFETCH(int, fault);
    QFETCH(int, delayMs);
    QFETCH(bool, refused);
    QFETCH(int, storeStatus);
    QFETCH(int, received);
    QFETCH(int, recharged);

    if (refused) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        setPlatform(QStringLiteral("http://127.0.0.1:%1/platform/").arg(probe.serverPort()));
        probe.close();
    }
    m_env.sim().setFault(kRechargePath, {FaultKind(fault), delayMs});
    setTimeouts(1000);

    const QString orderNo = QStringLiteral("ERR1");
    addOrder(makeOrder(kind, orderNo));
    QSignalSpy cz(m_submission.get(), &SubmissionController::czMayBeEnabled);
    m_submission->充值订单请求(kind);
    QCOMPARE(rowStatus(kind, orderNo), QStringLiteral("正在提交"));
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);
    if (refused && kind != 0) {
        // A shop order is tried once more before it is given up.
        QTRY_COMPARE_WITH_TIMEOUT(statusNumber(stored(orderNo)->status), storeStatus, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);
    }

    const QString row = rowStatus(kind, orderNo);
    QCOMPARE(statusNumber(stored(orderNo)->status), storeStatus);
    QStringList texts = (*m_prompter)->texts();
    if (storeStatus == 4) {
        QVERIFY2(row.startsWith(kNotDeliveredPrefix) && row.size() > kNotDeliveredPrefix.size(),
                 qPrintable(row));
    } else {
        QCOMPARE(row, kOutcomeUnknownText);
    }
    if (kind == 0) {
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.at(0).contains(storeStatus == 4 ? QStringLiteral("没有充值")
                                                       : QStringLiteral("销售记录")),
                 qPrintable(texts.at(0)));
        QCOMPARE(cz.size(), 1);
    } else {
        QVERIFY(texts.isEmpty());
        QCOMPARE(cz.size(), 0);
    }

    // Whatever the platform did stays the only recharge, and the request
    // reached it at most once: no re-send of Qt's, and no scan sends the
    // order again once the platform answers again.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(orderNo), recharged, 10000);
    QTest::qWait(300); // room for a re-send that must not come
    QCOMPARE(m_env.sim().rechargeRequestsFor(orderNo), received);
    setPlatform(m_env.config().platformBaseUrl);
    m_env.sim().clearFaults();
    for (int k : {0, 1, 2})
        m_submission->充值订单请求(k);
    QVERIFY(allIdle()); // nothing started
    QCOMPARE(m_env.sim().rechargeRequestsFor(orderNo), received);
    QCOMPARE(m_env.sim().rechargeCount(orderNo), recharged);
    QCOMPARE(statusNumber(stored(orderNo)->status), storeStatus);
}

void TestSubmission::notDeliveredShopOrderIsSentOnceMore()
{
    // The platform was out of reach for a moment: no byte of the request
    // left, so the shop order waits and goes out again, once, and is not a
    // desk item the agent must look into.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    setPlatform(QStringLiteral("http://127.0.0.1:%1/platform/").arg(probe.serverPort()));
    probe.close();
    const QString orderNo = QStringLiteral("ND1");
    addOrder(makeOrder(1, orderNo));
    m_submission->充值订单请求(1);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);
    QCOMPARE(stored(orderNo)->status, OrderStatus::Waiting);
    QCOMPARE(rowStatus(1, orderNo), 状态转换(OrderStatus::Waiting));

    setPlatform(m_env.config().platformBaseUrl);
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, orderNo), QStringLiteral("等待服务器充值"), 20000);
    QCOMPARE(m_env.sim().rechargeRequestsFor(orderNo), 1);
    QCOMPARE(stored(orderNo)->status, OrderStatus::Accepted);
}

void TestSubmission::keepAliveClosedBetweenOrders()
{
    // The platform (or a proxy) closes its idle connections between two
    // orders: neither order's request may reach it twice, and neither is
    // taken for lost.
    for (const char *no : {"KA1", "KA2"}) {
        const QString orderNo = QString::fromLatin1(no);
        addOrder(makeOrder(1, orderNo));
        m_submission->充值订单请求(1);
        QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, orderNo), QStringLiteral("等待服务器充值"), 20000);
        m_env.sim().dropConnections();
    }
    QTest::qWait(300);
    for (const char *no : {"KA1", "KA2"}) {
        QCOMPARE(m_env.sim().rechargeRequestsFor(QString::fromLatin1(no)), 1);
        QCOMPARE(m_env.sim().rechargeCount(QString::fromLatin1(no)), 1);
    }
    // Each went out on a connection of its own, closed after its answer.
    for (const sim::LoggedRequest &r : m_env.requestsTo(kRechargePath)) {
        bool close = false;
        for (const auto &[name, value] : r.headers)
            close = close || (name.compare("Connection", Qt::CaseInsensitive) == 0 &&
                              value.compare("close", Qt::CaseInsensitive) == 0);
        QVERIFY(close);
    }
}

void TestSubmission::manualOrdersBackToBack()
{
    m_env.sim().setFault(kRechargePath, {FaultKind::Delay, 500});
    QSignalSpy busy(m_submission.get(), &SubmissionController::manualBusyChanged);
    addOrder(makeOrder(0, QStringLiteral("M1")));
    m_submission->充值订单请求(0);
    QCOMPARE(carried(6), QStringLiteral("M1/0"));
    // The second is confirmed while the first is out: it waits, and goes as
    // soon as component 6 is free, without another click.
    addOrder(makeOrder(0, QStringLiteral("M2")));
    m_submission->充值订单请求(0);
    QCOMPARE(rowStatus(0, QStringLiteral("M2")), QStringLiteral("等待提交"));
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(0, QStringLiteral("M2")), QStringLiteral("等待服务器充值"),
                              20000);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);

    QStringList keys;
    for (const sim::LoggedRequest &r : m_env.requestsTo(kRechargePath))
        keys << sim::parseUrlEncoded(r.body).value(QStringLiteral("key"));
    QCOMPARE(keys, (QStringList{QStringLiteral("M1"), QStringLiteral("M2")}));
    for (const char *no : {"M1", "M2"}) {
        QCOMPARE(statusNumber(stored(QString::fromLatin1(no))->status), 0);
        QCOMPARE(m_env.sim().rechargeCount(QString::fromLatin1(no)), 1);
    }
    // cz followed: busy through both, free at the end.
    QVERIFY(!busy.isEmpty());
    QCOMPARE(busy.first().at(0).toBool(), true);
    QCOMPARE(busy.last().at(0).toBool(), false);
    QVERIFY(!m_submission->manualBusy());
}

void TestSubmission::submittingWriteFails_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("manual") << 0;
    QTest::newRow("shop") << 1;
}

void TestSubmission::submittingWriteFails()
{
    QFETCH(int, kind);
    const QString no = QStringLiteral("NOWRITE");
    addOrder(makeOrder(kind, no));
    refuseStatusWrites(QStringLiteral("NEW.充值状态 = -1"));
    QSignalSpy cz(m_submission.get(), &SubmissionController::czMayBeEnabled);

    m_submission->充值订单请求(kind);
    QVERIFY(allIdle());
    QTest::qWait(200);
    QCOMPARE(m_env.sim().rechargeRequestsFor(no), 0);
    if (kind == 0) {
        // The agent at the counter hears it at once and may try again; the
        // order is marked so that no later scan sends it behind his back.
        QCOMPARE((*m_prompter)->texts().size(), 1);
        QVERIFY2((*m_prompter)->texts().at(0).contains(QStringLiteral("没有提交")),
                 qPrintable((*m_prompter)->texts().at(0)));
        QCOMPARE(cz.size(), 1);
        QVERIFY(rowStatus(0, no).startsWith(kNotDeliveredPrefix));
        QCOMPARE(statusNumber(stored(no)->status), 4);
    } else {
        // A shop order keeps waiting for a later scan, silently.
        QVERIFY((*m_prompter)->texts().isEmpty());
        QCOMPARE(cz.size(), 0);
        QCOMPARE(rowStatus(1, no), QStringLiteral("等待提交"));
        QCOMPARE(statusNumber(stored(no)->status), -2);
    }
    m_submission->充值订单请求(kind);
    QVERIFY(allIdle());
    QCOMPARE(m_env.sim().rechargeRequestsFor(no), 0);
}

void TestSubmission::buyerTextCannotChangeTheRequest()
{
    // What the buyer wrote into his order, and a region with a blank.
    const QString account = QStringLiteral("13800000000&lx=0&key=X");
    RechargeOrder o = makeOrder(1, QStringLiteral("TB&9=1"), QStringLiteral("移动话费充值"),
                                QStringLiteral("100"), account);
    o.serverArea = QStringLiteral("一区 #2");
    o.queryArea = QStringLiteral("北京 移动+");
    addOrder(o);
    m_submission->充值订单请求(1);
    QTRY_COMPARE_WITH_TIMEOUT(rowStatus(1, o.orderNo), QStringLiteral("等待服务器充值"), 20000);

    const auto requests = m_env.requestsTo(kRechargePath + QStringLiteral("?action=cz"));
    QCOMPARE(requests.size(), 1);
    const auto form = sim::parseUrlEncoded(requests.first().body);
    QCOMPARE(form.values(QStringLiteral("lx")), QStringList{QStringLiteral("1")});
    QCOMPARE(form.values(QStringLiteral("key")), QStringList{o.orderNo});
    QCOMPARE(form.value(QStringLiteral("game_userid")), account);
    QCOMPARE(form.value(QStringLiteral("game_area")), o.serverArea);
    QCOMPARE(form.value(QStringLiteral("cx")), o.queryArea);
    QCOMPARE(form.size(), 10);
    const auto recharges = m_env.sim().recharges();
    QCOMPARE(recharges.size(), 1);
    QCOMPARE(recharges.first().target, account);
    QCOMPARE(recharges.first().key, o.orderNo);
}

// ---- Status tracking ----

void TestSubmission::pollNothingWaiting()
{
    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    QCOMPARE(tracker.timer()->objectName(), QStringLiteral("验证"));
    QCOMPARE(tracker.timer()->interval(), 3000);
    QCOMPARE(tracker.transfer()->objectName(), QStringLiteral("验证Inet"));
    addOrder(makeOrder(1, QStringLiteral("A")));
    addOrder(makeOrder(1, QStringLiteral("B")));
    QVERIFY(m_store->反写数据库状态(QStringLiteral("B"), OrderStatus::Recharged, {}, {}, {}).ok());
    QVERIFY(!tracker.poll());
    QVERIFY(!tracker.transfer()->stillExecuting());
    QVERIFY(m_env.requestsTo(kStatusPath).isEmpty());
}

void TestSubmission::pollBodyForTwoOrders()
{
    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    int deliveries = 0;
    tracker.setDeliveryStep([&deliveries] { ++deliveries; });
    for (const char *id : {"R1", "R2"}) {
        const QString no = QStringLiteral("O") + QLatin1String(id);
        addOrder(makeOrder(1, no));
        QVERIFY(m_store->反写数据库状态(no, OrderStatus::Accepted, {}, QLatin1String(id), {}).ok());
    }
    QSignalSpy read(&tracker, &StatusTracker::replyRead);
    QVERIFY(tracker.poll());
    QVERIFY(!tracker.poll()); // one poll at a time
    QVERIFY(read.wait(20000));
    const auto requests = m_env.requestsTo(kStatusPath);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QStringLiteral("POST"));
    const QRegularExpression body(QStringLiteral("^action=cx&chargestuat=R1\\|R2\\|&sj=([0-9.]+)"
                                                 "&sessionkey=(\\w+)$"));
    const auto match = body.match(QString::fromLatin1(requests.first().body));
    QVERIFY2(match.hasMatch(), requests.first().body.constData());
    const double sj = match.captured(1).toDouble();
    QVERIFY(sj >= 50 && sj <= 1050);
    QCOMPARE(match.captured(2), m_sessionKey);
    QCOMPARE(deliveries, 1); // the simulator knows neither: "3" and no record
}

void TestSubmission::pollReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QList<int>>("statuses"); // stored, of R1..R4
    QTest::addColumn<QStringList>("rows");    // t7 of R1..R4
    QTest::addColumn<QStringList>("codes");   // t11 of R1..R4
    QTest::addColumn<int>("waitingAfter");
    QTest::addColumn<int>("ignored");

    const QString r1 = QStringLiteral("<id>R1</id><status>1</status><hw>CODE-1</hw></m>");
    const QString r2 = QStringLiteral("<id>R2</id><status>2</status><hw></hw></m>");
    const QString r3 = QStringLiteral("<id>R3</id><status>0</status><hw></hw></m>");
    const QString r4 = QStringLiteral("<id>R4</id><status>4</status><hw></hw></m>");
    const QString w = QStringLiteral("等待服务器充值");

    const auto status = [](int i, const char *value) {
        return QStringLiteral("<id>R%1</id><status>%2</status><hw></hw></m>")
            .arg(i)
            .arg(QLatin1String(value));
    };

    // A status other than 0, 1 or 2 is not taken: -2 would send the order
    // again after a restart, and nothing follows the others.
    QTest::newRow("recharged with code, refunded, still working, 4 ignored")
        << QStringLiteral("3") + r1 + r2 + r3 + r4 << QList<int>{1, 2, 0, 0}
        << QStringList{QStringLiteral("充值成功"), QStringLiteral("充值失败,已经退款"), w, w}
        << QStringList{QStringLiteral("CODE-1"), {}, {}, {}} << 2 << 1;
    QTest::newRow("statuses -2, 3 and x ignored")
        << QStringLiteral("3") + status(1, "-2") + status(2, "3") + status(3, "x") + status(4, "1")
        << QList<int>{0, 0, 0, 1} << QStringList{w, w, w, QStringLiteral("充值成功")}
        << QStringList{{}, {}, {}, {}} << 3 << 3;
    QTest::newRow("only two records")
        << QStringLiteral("3\r\n") + r2 + QStringLiteral("\r\n") + r1 << QList<int>{1, 2, 0, 0}
        << QStringList{QStringLiteral("充值成功"), QStringLiteral("充值失败,已经退款"), w, w}
        << QStringList{QStringLiteral("CODE-1"), {}, {}, {}} << 2 << 0;
    QTest::newRow("a record without its end is not read")
        << QStringLiteral("3") + r3 + r1.chopped(4) << QList<int>{0, 0, 0, 0}
        << QStringList{w, w, w, w} << QStringList{{}, {}, {}, {}} << 4 << 0;
    QTest::newRow("unknown id") << QStringLiteral("3<id>R9</id><status>1</status><hw>X</hw></m>")
                                << QList<int>{0, 0, 0, 0} << QStringList{w, w, w, w}
                                << QStringList{{}, {}, {}, {}} << 4 << 0;
}

void TestSubmission::pollReply()
{
    QFETCH(QString, reply);
    QFETCH(QList<int>, statuses);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, codes);
    QFETCH(int, waitingAfter);
    QFETCH(int, ignored);

    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    int deliveries = 0;
    tracker.setDeliveryStep([&deliveries] { ++deliveries; });
    QSignalSpy notes(&tracker, &StatusTracker::recordIgnored);
    // R2 is a Paipai order in ListView8, the others in ListView7.
    for (int i = 1; i <= 4; ++i) {
        const int type = i == 2 ? 2 : 1;
        const QString no = QStringLiteral("O%1").arg(i);
        addOrder(makeOrder(type, no));
        QVERIFY(
            m_store->反写数据库状态(no, OrderStatus::Accepted, {}, QStringLiteral("R%1").arg(i), {})
                .ok());
        showAnswer(no, OrderStatus::Accepted, QStringLiteral("R%1").arg(i));
    }

    QVERIFY(tracker.readReply(reply));
    QCOMPARE(deliveries, 1);
    for (int i = 1; i <= 4; ++i) {
        const QString no = QStringLiteral("O%1").arg(i);
        const auto order = stored(no);
        QCOMPARE(statusNumber(order->status), statuses.at(i - 1));
        QCOMPARE(order->cardCode, codes.at(i - 1));
        const int row = m_book->rowOf(no);
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t7")), rows.at(i - 1));
        QCOMPARE(listedText(*m_book, row, QStringLiteral("t11")), codes.at(i - 1));
        if (statuses.at(i - 1) == 1)
            QCOMPARE(listedColour(*m_book, row, QStringLiteral("t7")), kRechargedColour);
        else if (statuses.at(i - 1) == 2)
            QCOMPARE(listedColour(*m_book, row, QStringLiteral("t7")), kRefundedColour);
    }
    QCOMPARE(m_store->waitingOrders()->size(), waitingAfter);
    QCOMPARE(notes.size(), ignored);
}

void TestSubmission::pollReplyIsWrittenWhole()
{
    // One reply is one commit: a record the file refuses keeps all of it out,
    // and the next poll asks about every order again.
    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    int deliveries = 0;
    tracker.setDeliveryStep([&deliveries] { ++deliveries; });
    for (int i = 1; i <= 3; ++i) {
        const QString no = QStringLiteral("O%1").arg(i);
        addOrder(makeOrder(1, no));
        QVERIFY(
            m_store->反写数据库状态(no, OrderStatus::Accepted, {}, QStringLiteral("R%1").arg(i), {})
                .ok());
        showAnswer(no, OrderStatus::Waiting, QStringLiteral("R%1").arg(i));
    }
    refuseStatusWrites(QStringLiteral("OLD.充值编号 = 'R3'"));
    QString reply = QStringLiteral("3");
    for (int i = 1; i <= 3; ++i)
        reply += QStringLiteral("<id>R%1</id><status>1</status><hw></hw></m>").arg(i);
    QVERIFY(!tracker.readReply(reply));
    QCOMPARE(deliveries, 0);
    QCOMPARE(m_store->waitingOrders()->size(), 3);
    QCOMPARE(rowStatus(1, QStringLiteral("O1")), QStringLiteral("等待提交"));
}

void TestSubmission::pollReplyNotBeginningWithThree()
{
    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    int deliveries = 0;
    tracker.setDeliveryStep([&deliveries] { ++deliveries; });
    addOrder(makeOrder(1, QStringLiteral("O1")));
    QVERIFY(m_store
                ->反写数据库状态(QStringLiteral("O1"), OrderStatus::Accepted, {},
                                 QStringLiteral("R1"), {})
                .ok());
    for (const QString &reply :
         {QStringLiteral("<id>R1</id><status>1</status><hw></hw></m>"),
          QStringLiteral(" 3<id>R1</id><status>2</status><hw></hw></m>"), QString()})
        QVERIFY(!tracker.readReply(reply));
    QCOMPARE(deliveries, 0);
    QCOMPARE(statusNumber(stored(QStringLiteral("O1"))->status), 0);
    QCOMPARE(readStatusReply(QStringLiteral("3")), QList<StatusRecord>());

    // A record's fields are its own: one without a card code does not take
    // the next order's, one without an id does not take the next order's id.
    const auto records =
        readStatusReply(QStringLiteral("3<id>R1</id><status>1</status></m><status>2</status></m>"
                                       "<id>R3</id><status>1</status><hw>CODE3</hw></m>"));
    QVERIFY(records.has_value());
    QCOMPARE(*records, (QList<StatusRecord>{{"R1", "1", ""}, {"", "2", ""}, {"R3", "1", "CODE3"}}));
}

void TestSubmission::pollAgainstTheSimulator_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("rowText");
    QTest::addColumn<QString>("balanceAfter");

    QTest::newRow("recharged") << QStringLiteral("移动话费充值") << QStringLiteral("100") << true
                               << QStringLiteral("充值成功") << QStringLiteral("900.30");
    QTest::newRow("card product recharged")
        << QStringLiteral("网易一卡通") << QStringLiteral("50") << true
        << QStringLiteral("充值成功") << QStringLiteral("955.00");
    QTest::newRow("failed and refunded")
        << QStringLiteral("移动话费充值") << QStringLiteral("100") << false
        << QStringLiteral("充值失败,已经退款") << QStringLiteral("1000.00");
}

void TestSubmission::pollAgainstTheSimulator()
{
    QFETCH(QString, product);
    QFETCH(QString, amount);
    QFETCH(bool, succeeds);
    QFETCH(QString, rowText);
    QFETCH(QString, balanceAfter);

    // Finishes at the second poll; the card code arrives with the answer
    // and again with the poll.
    m_env.sim().setRechargeFinish(2, succeeds);
    const auto owned = newTracker();
    StatusTracker &tracker = *owned;
    int deliveries = 0;
    tracker.setDeliveryStep([&deliveries] { ++deliveries; });
    const QString no = QStringLiteral("TBP");
    addOrder(makeOrder(1, no, product, amount));
    m_submission->充值订单请求(1);
    QTRY_VERIFY_WITH_TIMEOUT(allIdle(), 20000);
    const bool card = product == QStringLiteral("网易一卡通");
    QCOMPARE(statusNumber(stored(no)->status), card ? 1 : 0);
    if (card) {
        // Recharged at once: nothing to poll.
        QCOMPARE(rowStatus(1, no), rowText);
        QCOMPARE(m_env.sim().account(kAccount)->balance, balanceAfter);
        QVERIFY(!tracker.poll());
        return;
    }
    QSignalSpy read(&tracker, &StatusTracker::replyRead);
    QVERIFY(tracker.poll());
    QVERIFY(read.wait(20000));
    QCOMPARE(rowStatus(1, no), QStringLiteral("等待服务器充值"));
    QVERIFY(tracker.poll());
    QVERIFY(read.wait(20000));
    QCOMPARE(rowStatus(1, no), rowText);
    QCOMPARE(statusNumber(stored(no)->status), succeeds ? 1 : 2);
    QCOMPARE(m_env.sim().account(kAccount)->balance, balanceAfter);
    QCOMPARE(deliveries, 2);
    // Finished: nothing waits any more.
    QVERIFY(!tracker.poll());
}

QTEST_GUILESS_MAIN(TestSubmission)
#include "tst_submission.moc"

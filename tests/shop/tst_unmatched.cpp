// A paid shop order that no catalogue product matches, end to end: the
// client's own engine harvests it from the simulated shop over loopback into
// a real store file; it is listed, alerted once, kept across a restart and
// by a second seat, and decided at the desk's window (recharged as a chosen
// product, or not at all) exactly once, counted at the simulated platform.
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "orders/alerts.h"
#include "orders/decisions.h"
#include "orders/deskwindows.h"
#include "orders/orderhistory.h"
#include "shop/agentsession.h"
#include "sim/platformsim.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QComboBox>
#include <QNetworkCookieJar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kTitle = QStringLiteral("暴雪战网点数 50元 自动充值"); // in no catalogue name
const QString kAppTitle = QStringLiteral("榴帆综合缴费系统");
// A card product: the platform recharges it at its first answer.
const QString kProduct = QStringLiteral("网易一卡通");
const QString kAmount = QStringLiteral("30");

class RecordingHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

class RecordingSink final : public AlertSink
{
public:
    void notice(const QString &, const QString &text) override { notices << text; }
    void sound() override {}
    QStringList notices;
};

// One seat of the client: its engine, its alerts and its desk.
struct Seat
{
    Seat(const PlatformEndpoint &endpoint, const OrderDatabase &database, const ShopSites &sites,
         const QString &feedbackFile, NetworkAccess &network, Prompter &prompter,
         Clipboard &clipboard, CardHandOver &handOver, AlertSink &sink)
        : session(endpoint, database, sites, feedbackFile, network, prompter, clipboard, &handOver),
          alerts(sink, kAppTitle), history(database, endpoint.userId),
          log(database, endpoint.userId),
          unresolved(history, log, &session.book(), &session.ledger().unmatched()),
          decisions(session.ledger(), log, prompter, kAppTitle, QStringLiteral("操作员甲"),
                    [this](const QString &product, const QString &amount) {
                        return session.catalogue().判断业务名称(product, amount,
                                                                OrderSource::Manual);
                    }),
          window(unresolved, decisions, kAppTitle,
                 [this] { return session.catalogue().catalogue().productChoices(); })
    {
        alerts.watchUnmatched(&session.ledger());
    }

    template<typename T> T *control(const char *name)
    {
        return window.findChild<T *>(QString::fromUtf8(name));
    }

    AgentSession session;
    OrderAlerts alerts;
    OrderHistory history;
    DecisionLog log;
    UnresolvedOrders unresolved;
    OrderDecisions decisions;
    UnresolvedWindow window;
};

} // namespace

class TestUnmatched : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void decidedOnce_data();
    void decidedOnce();

private:
    bool post(const QString &url, const QString &body);
    // A seat on the test's store, started as the main window's load starts
    // it, with the catalogue in.
    std::unique_ptr<Seat> startSeat(const QString &seatName);
    bool harvest(Seat &seat, int type);
    int storedState(const QString &orderNo);

    SimEnvironment m_env;
    NetworkAccess m_network;
    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    RecordingClipboard m_clipboard;
    RecordingHandOver m_handOver;
    RecordingSink m_sink;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUnmatched::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_sites = shopSitesOf(m_env.config());
    QString key;
    m_env.sim().withState([&key](sim::State &s) { key = s.openSession(QStringLiteral("demo")); });
    m_endpoint = {m_env.config().platformBaseUrl, key, QStringLiteral("MID"),
                  QStringLiteral("10086"), kAppTitle};
}

void TestUnmatched::init()
{
    m_env.sim().clearShops();
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_network.setCookieJar(new QNetworkCookieJar);
    m_sink.notices.clear();
    m_prompter = std::make_unique<PrompterGuard>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestUnmatched::cleanup()
{
    m_dir.reset();
    m_prompter.reset();
}

bool TestUnmatched::post(const QString &url, const QString &body)
{
    Transfer transfer(m_network);
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return transfer.execute(url, QStringLiteral("POST"), body) && done.wait(20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

std::unique_ptr<Seat> TestUnmatched::startSeat(const QString &seatName)
{
    OrderDatabase database = sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb")));
    database.seat = seatName;
    auto seat = std::make_unique<Seat>(m_endpoint, database, m_sites,
                                       m_dir->filePath(seatName + QStringLiteral("-待反馈.txt")),
                                       m_network, **m_prompter, m_clipboard, m_handOver, m_sink);
    seat->session.start();
    QSignalSpy loaded(&seat->session.catalogue(), &CatalogueController::rowsAdded);
    seat->session.catalogue().获取商品信息();
    if (!loaded.wait(20000))
        return nullptr;
    return seat;
}

bool TestUnmatched::harvest(Seat &seat, int type)
{
    if (type == 1) {
        QSignalSpy read(&seat.session.taobao(), &TaobaoHarvester::listRead);
        return seat.session.taobao().fetch() && read.wait(20000) && read.first().first().toBool();
    }
    QSignalSpy read(&seat.session.paipai(), &PaipaiHarvester::answerRead);
    return seat.session.paipai().query() && read.wait(20000) && read.first().first().toBool();
}

int TestUnmatched::storedState(const QString &orderNo)
{
    OrderLedger reader(sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))),
                       m_endpoint.userId);
    const auto order = reader.unmatched().order(orderNo);
    return order ? int(order->state) : -1;
}

void TestUnmatched::decidedOnce_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("recharge");
    QTest::newRow("taobao, recharged as a chosen product") << 1 << true;
    QTest::newRow("taobao, not recharged") << 1 << false;
    QTest::newRow("paipai, recharged as a chosen product") << 2 << true;
    QTest::newRow("paipai, not recharged") << 2 << false;
}

void TestUnmatched::decidedOnce()
{
    QFETCH(int, type);
    QFETCH(bool, recharge);
    RecordingPrompter &prompter = **m_prompter;
    const QString shipNo = QStringLiteral("U7");
    const QString orderNo = type == 1 ? QStringLiteral("NOU7") : shipNo;
    if (type == 1) {
        sim::TaobaoOrder o;
        o.orderId = shipNo;
        o.orderNo = orderNo;
        o.title = kTitle;
        o.quantity = QStringLiteral("2");
        o.buyer = QStringLiteral("买家U7");
        o.account = QStringLiteral("13800138000");
        o.form = sim::TaobaoAccountForm::Phone;
        m_env.sim().addTaobaoOrder(o);
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("taobao/wuliu/login"),
                     QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456")));
    } else {
        m_env.sim().addPaipaiDeal({shipNo, QStringLiteral("20001234"), kTitle, QStringLiteral("2"),
                                   QStringLiteral("12345 678")});
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/login"),
                     QStringLiteral("uin=10001&password=pp123456")));
        QVERIFY(post(m_env.sim().rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                     QStringLiteral("tradePassword=123456")));
    }
    const auto requests = [&] { return m_env.sim().rechargeRequestsFor(orderNo); };

    // Harvested: not taken, but listed and alerted; a second harvest changes nothing.
    std::unique_ptr<Seat> a = startSeat(QStringLiteral("前台一"));
    QVERIFY(a);
    QVERIFY(harvest(*a, type));
    QVERIFY(harvest(*a, type));
    UnmatchedList &list = a->session.unmatchedList();
    QCOMPARE(list.rowCount(), 1);
    const QString line = list.data(list.index(0)).toString();
    QVERIFY2(line.contains(orderNo) && line.contains(kTitle), qPrintable(line));
    QCOMPARE(a->session.book().rowCount(), 0);
    QCOMPARE(m_sink.notices.size(), 1);
    QVERIFY2(m_sink.notices.first().contains(orderNo), qPrintable(m_sink.notices.first()));

    // 清除不能发货商品 empties the list; the order still waits at the desk.
    list.clear();
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(a->unresolved.refresh());
    QCOMPARE(a->unresolved.at(a->unresolved.rowOf(orderNo)).trouble, Trouble::Unmatched);

    // A second seat of the account harvests the same shop: nothing new.
    std::unique_ptr<Seat> b = startSeat(QStringLiteral("前台二"));
    QVERIFY(b);
    QVERIFY(harvest(*b, type));
    QCOMPARE(b->session.unmatchedList().rowCount(), 1);
    QCOMPARE(m_sink.notices.size(), 1);

    // A restart: listed again, still not alerted again.
    a.reset();
    a = startSeat(QStringLiteral("前台一"));
    QVERIFY(a);
    QCOMPARE(a->session.unmatchedList().rowCount(), 1);
    QVERIFY(harvest(*a, type));
    QCOMPARE(m_sink.notices.size(), 1);
    QCOMPARE(requests(), 0);

    // Both desks show it; the agent at the first decides.
    for (Seat *seat : {a.get(), b.get()}) {
        QVERIFY(seat->unresolved.refresh());
        const int row = seat->unresolved.rowOf(orderNo);
        QVERIFY(row >= 0);
        seat->window.select(row);
    }
    auto *product = a->control<QComboBox>("cmb商品");
    auto *amount = a->control<QComboBox>("cmb面值");
    auto *rechargeAs = a->control<QPushButton>("btn选择商品充值");
    auto *dismiss = a->control<QPushButton>("btn不予充值");
    QVERIFY(product && amount && rechargeAs && dismiss);
    QVERIFY(rechargeAs->isEnabled() && dismiss->isEnabled());
    QVERIFY(!a->control<QPushButton>("btn已充值")->isEnabled());
    product->setCurrentIndex(product->findText(kProduct));
    QCOMPARE(product->currentText(), kProduct);
    amount->setCurrentIndex(amount->findText(kAmount));
    QCOMPARE(amount->currentText(), kAmount);
    QPushButton *decide = recharge ? rechargeAs : dismiss;

    // The agent answers No: nothing changes.
    prompter.answers = {false};
    const qsizetype told = prompter.messages.size();
    QTest::mouseClick(decide, Qt::LeftButton);
    QCOMPARE(prompter.messages.size(), told + 1);
    QCOMPARE(prompter.messages.last().kind, QStringLiteral("ask"));
    QVERIFY(prompter.messages.last().text.contains(orderNo));
    QCOMPARE(storedState(orderNo), int(UnmatchedState::Waiting));

    prompter.answers = {true};
    QTest::mouseClick(decide, Qt::LeftButton);
    const UnmatchedState decided = recharge ? UnmatchedState::Recharged : UnmatchedState::Dismissed;
    QCOMPARE(storedState(orderNo), int(decided));
    QCOMPARE(a->session.unmatchedList().rowCount(), 0);
    QCOMPARE(a->unresolved.rowOf(orderNo), -1);
    QVERIFY(!rechargeAs->isEnabled() && !dismiss->isEnabled()); // no second click
    const auto logged = a->log.decisions(orderNo);
    QVERIFY(logged);
    QCOMPARE(logged->size(), 1);
    QCOMPARE(logged->first().decision,
             recharge ? kDecisionRechargeUnmatched : kDecisionDismissUnmatched);
    QCOMPARE(logged->first().operatorName, QStringLiteral("操作员甲"));
    if (recharge) {
        // A shop order now, on its normal way: sent once, recharged, shipped.
        QTRY_COMPARE_WITH_TIMEOUT(requests(), 1, 20000);
        QCOMPARE(logged->first().salePrice, kAmount.toDouble());
        QTRY_VERIFY_WITH_TIMEOUT(a->session.store().order(orderNo) &&
                                     a->session.store().order(orderNo)->status ==
                                         OrderStatus::Recharged,
                                 20000);
        const RechargeOrder stored = *a->session.store().order(orderNo);
        QCOMPARE(stored.orderType, type);
        QCOMPARE(stored.shipNo, shipNo);
        QCOMPARE(stored.platformProduct, kProduct);
        QCOMPARE(stored.productName, kTitle);
        a->session.delivery().淘宝拍拍发货();
        QTRY_COMPARE_WITH_TIMEOUT(type == 1 ? m_env.sim().taobaoConsignCount(shipNo)
                                            : m_env.sim().paipaiMarkCount(shipNo),
                                  1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(a->session.store().order(orderNo)->status, OrderStatus::Shipped,
                                  20000);
    }

    // The second seat's desk still shows it as it was: its decision counts for nothing.
    prompter.answers = {true};
    prompter.messages.clear();
    QTest::mouseClick(b->control<QPushButton>(recharge ? "btn不予充值" : "btn选择商品充值"),
                      Qt::LeftButton);
    QVERIFY2(prompter.texts().join(u'\n').contains(QStringLiteral("已经处理过")),
             qPrintable(prompter.texts().join(u'\n')));
    QCOMPARE(storedState(orderNo), int(decided));
    QCOMPARE(b->unresolved.rowOf(orderNo), -1);
    QCOMPARE(b->log.decisions(orderNo)->size(), 1);

    // Restarted: nothing waits, nothing is kept or sent again.
    b.reset();
    a.reset();
    a = startSeat(QStringLiteral("前台一"));
    QVERIFY(a);
    QCOMPARE(a->session.unmatchedList().rowCount(), 0);
    QVERIFY(a->unresolved.refresh());
    QCOMPARE(a->unresolved.rowOf(orderNo), -1);
    QVERIFY(harvest(*a, type));
    QCOMPARE(a->session.unmatchedList().rowCount(), 0);
    QTest::qWait(200);
    QCOMPARE(requests(), recharge ? 1 : 0);
    QCOMPARE(m_sink.notices.size(), 1);
    a.reset();
}

QTEST_MAIN(TestUnmatched)
#include "tst_unmatched.moc"

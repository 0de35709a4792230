// Every page the engine uses, under every fault the simulator can play,
// against the real engine of one login (AgentSession: store, book, catalogue,
// submission, status polls, harvesters, delivery) over loopback with a real
// SQLite file. For each page × fault: the counter and the two shops offer
// their orders while the fault lasts, the timers run (short intervals), the
// fault is lifted, and the timers run until every order has settled. Then:
//   - no order lost: each is in data.mdb and in the book, in a status that
//     tells the truth;
//   - none recharged twice: the simulator received at most one recharge
//     request for each order key;
//   - no failure shown as success: no row and no message says 成功 for an
//     order the platform did not recharge, nor 已经发货 for one the shop did
//     not mark;
//   - none marked twice: the shops, which answer a repeated mark with an
//     error page, received one mark of each order (a shop that runs a mark
//     after the client gave up on it may see one more, which the client
//     survives);
//   - recovery: every order settles once the fault is lifted; an order whose
//     outcome became unknown stays so and is never sent again.
// The run ends with one line: rows, orders, recharges, violations.
#include "app/core/platform.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "sim/platformsim.h"
#include "tests/support/burst.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QCoreApplication>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using sim::FaultKind;

namespace {

constexpr int kTimeoutMs = 800; // the transfers' time-out in this test
constexpr int kTickMs = 150;    // refresh, poll and delivery timers
constexpr int kFaultMs = 2500;  // how long a fault lasts
constexpr int kSettleTimeoutMs = 20000;

const QString kRechargePath = QStringLiteral("/platform/productcz1.asp");

// Refused is no fault of one path: nothing listens at all.
constexpr int kRefused = -1;

class NoHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

// One order offered to the client, and what the simulator says of it.
struct Offered
{
    int type = 0; // 0 counter, 1 Taobao, 2 Paipai
    QString orderNo;
    QString shipId;
};

struct Totals
{
    int rows = 0;
    int orders = 0;
    int recharges = 0;
    int unknown = 0;
    int violations = 0;
};

Totals g_totals;

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void matrix_data();
    void matrix();
    void restartSendsWhatWasLeft();

private:
    bool post(const QString &url, const QString &body);
    void setFault(const QString &path, int fault);
    void liftFault(int fault);
    // The stored status of each order; missing ones absent.
    QHash<QString, OrderStatus> storedStatuses();
    bool settled(const QList<Offered> &offered);
    int shopMarks(const Offered &o) const;

    SimEnvironment m_env;
    int m_port = -1;
    NetworkAccess m_network{kTimeoutMs};
    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    RecordingClipboard m_clipboard;
    NoHandOver m_handOver;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AgentSession> m_session;
};

void TestFaultMatrix::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_port = m_env.sim().port();
    const ClientConfig &c = m_env.config();
    m_sites = shopSitesOf(c);
    QString key;
    m_env.sim().withState([&key](sim::State &s) { key = s.openSession(QStringLiteral("demo")); });
    m_endpoint = {c.platformBaseUrl, key, QStringLiteral("MID"), QStringLiteral("10086"),
                  QStringLiteral("榴帆综合缴费系统")};
}

void TestFaultMatrix::init()
{
    sim::PlatformSim &sim = m_env.sim();
    sim.clearShops();
    sim.clearFaults();
    sim.clearRequests();
    sim.setRechargeFinish(2, true);
    sim.withState([](sim::State &s) {
        s.recharges().clear();
        s.findAccount(QStringLiteral("demo"))->balance = QStringLiteral("100000.00");
    });
    m_network.setCookieJar(new QNetworkCookieJar);
    m_prompter = std::make_unique<PrompterGuard>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_session = std::make_unique<AgentSession>(
        m_endpoint, sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_sites,
        m_dir->filePath(QStringLiteral("待反馈.txt")), m_network, **m_prompter, m_clipboard,
        &m_handOver);
}

void TestFaultMatrix::cleanup()
{
    m_session.reset();
    m_dir.reset();
    m_prompter.reset();
    if (!m_env.sim().isRunning())
        m_env.sim().start(m_port);
}

void TestFaultMatrix::cleanupTestCase()
{
    qInfo("fault matrix: %d rows, %d orders, %d recharges, %d unknown, %d violations",
          g_totals.rows, g_totals.orders, g_totals.recharges, g_totals.unknown,
          g_totals.violations);
}

bool TestFaultMatrix::post(const QString &url, const QString &body)
{
    Transfer transfer(m_network);
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return transfer.execute(url, QStringLiteral("POST"), body) && done.wait(20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

void TestFaultMatrix::setFault(const QString &path, int fault)
{
    if (fault == kRefused) {
        m_env.sim().stop();
        return;
    }
    // A delay past the transfers' time-out: the client gives up, the server
    // still runs the page afterwards.
    m_env.sim().setFault(
        path, {FaultKind(fault), FaultKind(fault) == FaultKind::Delay ? 2 * kTimeoutMs : 0});
}

void TestFaultMatrix::liftFault(int fault)
{
    if (fault == kRefused)
        QVERIFY(m_env.sim().start(m_port) == m_port);
    m_env.sim().clearFaults();
}

QHash<QString, OrderStatus> TestFaultMatrix::storedStatuses()
{
    return ::storedStatuses(m_dir->filePath(QStringLiteral("data.mdb")));
}

int TestFaultMatrix::shopMarks(const Offered &o) const
{
    if (o.type == 1)
        return m_env.sim().taobaoConsignCount(o.shipId);
    if (o.type == 2)
        return m_env.sim().paipaiMarkCount(o.shipId);
    return 0;
}

bool TestFaultMatrix::settled(const QList<Offered> &offered)
{
    const QHash<QString, OrderStatus> stored = storedStatuses();
    for (const Offered &o : offered) {
        const OrderStatus status = stored.value(o.orderNo, statusFromNumber(-99));
        const bool done =
            status == OrderStatus::Submitting // unknown: stays so
            || status == OrderStatus::Refunded || status == OrderStatus::SubmitFailed ||
            (o.type == 0 ? status == OrderStatus::Recharged : status == OrderStatus::Shipped);
        if (!done)
            return false;
        // An unknown order is settled only once the client has said so.
        if (status == OrderStatus::Submitting) {
            OrderBook &book = m_session->book();
            const int row = book.rowOf(o.orderNo);
            if (row < 0 || listedText(book, row, QStringLiteral("t7")) == 状态转换(status))
                return false;
        }
    }
    return true;
}

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("fault");

    const QList<QPair<QString, QString>> pages = {
        {QStringLiteral("newproduct.asp"), QStringLiteral("/platform/newproduct.asp")},
        {QStringLiteral("productcz1.asp"), kRechargePath},
        {QStringLiteral("chargestatus.asp"), QStringLiteral("/platform/chargestatus.asp")},
        {QStringLiteral("order_list_new.htm"),
         QStringLiteral("/taobao/wuliu/user/order_list_new.htm")},
        {QStringLiteral("trade_deal_list/sold"),
         QStringLiteral("/paipai/trade/cgi-bin/trade_deal_list/sold")},
        {QStringLiteral("consign_dummy.htm"),
         QStringLiteral("/taobao/wuliu/user/consign_dummy.htm")},
        {QStringLiteral("marknowuliu"), QStringLiteral("/paipai/wuliu/cgi-bin/wuliu/marknowuliu")},
    };
    const QList<QPair<const char *, FaultKind>> faults = {
        {"delay", FaultKind::Delay},       {"drop", FaultKind::Drop},
        {"500", FaultKind::Error500},      {"garbage", FaultKind::Garbage},
        {"truncate", FaultKind::Truncate}, {"rundrop", FaultKind::RunThenDrop},
    };
    for (const auto &[name, path] : pages) {
        for (const auto &[faultName, kind] : faults) {
            QTest::addRow("%s/%s", qPrintable(name), faultName) << path << int(kind);
        }
    }
    // A server that is down refuses every page at once.
    QTest::newRow("every page/refused") << QString() << kRefused;
}

void TestFaultMatrix::matrix()
{
    QFETCH(QString, path);
    QFETCH(int, fault);
    sim::PlatformSim &sim = m_env.sim();

    // Two orders in each shop, a card product and credit; one at the counter.
    QList<Offered> offered;
    const auto taobao = [&](const QString &id, const char *title, const char *quantity, bool card) {
        sim.addTaobaoOrder(
            {id, QStringLiteral("NO") + id, QString::fromUtf8(title), QString::fromLatin1(quantity),
             QStringLiteral("买家") + id,
             card ? QStringLiteral("player_") + id : QStringLiteral("13800138000"), QString(),
             card ? sim::TaobaoAccountForm::UserName : sim::TaobaoAccountForm::Phone});
        offered.append({1, QStringLiteral("NO") + id, id});
    };
    const auto paipai = [&](const QString &id, const char *title, const char *quantity) {
        sim.addPaipaiDeal({id, QStringLiteral("20001234"), QString::fromUtf8(title),
                           QString::fromLatin1(quantity), QStringLiteral("acc ") + id});
        offered.append({2, id, id});
    };
    taobao(QStringLiteral("T1"), "网易一卡通 1点 自动发卡", "30", true);
    taobao(QStringLiteral("T2"), "移动话费充值 1元 秒到", "50", false);
    paipai(QStringLiteral("P1"), "魔兽世界点卡 1点 自动发卡", "30");
    paipai(QStringLiteral("P2"), "腾讯Q币 1个 QQ自动充值", "10");
    QVERIFY(post(sim.rootUrl() + QStringLiteral("taobao/wuliu/login"),
                 QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456")));
    QVERIFY(post(sim.rootUrl() + QStringLiteral("paipai/trade/login"),
                 QStringLiteral("uin=10001&password=pp123456")));
    QVERIFY(post(sim.rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                 QStringLiteral("tradePassword=123456")));

    AgentSession &session = *m_session;
    session.tracker().timer()->setInterval(kTickMs);
    session.delivery().timer()->setInterval(kTickMs);
    session.monitor().taobaoTimer()->setInterval(kTickMs);
    session.monitor().paipaiTimer()->setInterval(kTickMs);
    session.catalogue().setRetryIntervalMs(kTickMs);

    // The fault is on from the main window's load: the catalogue, the
    // monitors, and an order typed at the counter all meet it.
    setFault(path, fault);
    session.start();
    session.catalogue().获取商品信息();
    session.monitor().startTaobao();
    session.monitor().startPaipai();
    const QString counterNo = RandomLetterToken();
    const auto enterCounterOrder = [&] {
        if (!session.intake().插入新订单(NewOrder{.type = 0,
                                                  .shipNo = counterNo,
                                                  .orderNo = counterNo,
                                                  .buyerNick = QStringLiteral("手工订单"),
                                                  .rechargeAccount = QStringLiteral("13900139000"),
                                                  .operationLabel = QStringLiteral("手工操作"),
                                                  .quantityText = QStringLiteral("50"),
                                                  .productName = QStringLiteral("移动话费充值")}))
            return false;
        session.submission().充值订单请求(0);
        return true;
    };
    // The agent types it once the product list shows; without one, after.
    QTest::qWait(kFaultMs / 2);
    bool counterEntered = enterCounterOrder();
    QTest::qWait(kFaultMs / 2);

    liftFault(fault);
    if (!counterEntered) {
        QVERIFY(QTest::qWaitFor([&] { return session.catalogue().catalogue().size() > 0; },
                                kSettleTimeoutMs));
        QVERIFY(enterCounterOrder());
    }
    offered.append({0, counterNo, counterNo});
    // What has not settled by then is reported below, order by order.
    static_cast<void>(QTest::qWaitFor([&] { return settled(offered); }, kSettleTimeoutMs));
    QTest::qWait(3 * kTickMs); // a few more ticks: nothing more may go out

    // ---- what the agent can rely on ----
    QStringList violations;
    const QHash<QString, OrderStatus> stored = storedStatuses();
    OrderBook &book = session.book();
    int recharges = 0;
    int unknown = 0;
    const bool lateMarks = FaultKind(fault) == FaultKind::Delay &&
                           (path.endsWith(QLatin1String("consign_dummy.htm")) ||
                            path.endsWith(QLatin1String("marknowuliu")));
    for (const Offered &o : offered) {
        const int requests = sim.rechargeRequestsFor(o.orderNo);
        const bool recharged = sim.rechargeCount(o.orderNo) > 0;
        int platformStatus = -1;
        for (const sim::RechargeRecord &r : sim.recharges()) {
            if (r.key == o.orderNo)
                platformStatus = r.status;
        }
        const int marks = shopMarks(o);
        recharges += recharged ? 1 : 0;
        if (requests > 1)
            violations << QStringLiteral("%1 sent %2 times").arg(o.orderNo).arg(requests);
        if (!stored.contains(o.orderNo)) {
            violations << QStringLiteral("%1 not in data.mdb").arg(o.orderNo);
            continue;
        }
        const OrderStatus status = stored.value(o.orderNo, statusFromNumber(-99));
        const int row = book.rowOf(o.orderNo);
        if (row < 0) {
            violations << QStringLiteral("%1 not listed").arg(o.orderNo);
            continue;
        }
        const QString t7 = listedText(book, row, QStringLiteral("t7"));
        if ((status == OrderStatus::Recharged || status == OrderStatus::Shipped ||
             t7.contains(QStringLiteral("成功"))) &&
            !recharged)
            violations << QStringLiteral("%1 shows %2 (%3), the platform did not recharge it")
                              .arg(o.orderNo, t7)
                              .arg(statusNumber(status));
        if ((status == OrderStatus::Shipped || t7.contains(QStringLiteral("已经发货"))) &&
            marks == 0)
            violations << QStringLiteral("%1 shows %2, the shop has no mark").arg(o.orderNo, t7);
        if (marks > 1 && !lateMarks)
            violations << QStringLiteral("%1 marked shipped %2 times").arg(o.orderNo).arg(marks);
        if ((status == OrderStatus::Refunded || status == OrderStatus::SubmitFailed) &&
            platformStatus == 1)
            violations << QStringLiteral("%1 shows failed (%2), the platform recharged it")
                              .arg(o.orderNo)
                              .arg(statusNumber(status));
        if (status == OrderStatus::SubmitFailed && requests > 0)
            violations << QStringLiteral("%1 shows not delivered, the platform received it")
                              .arg(o.orderNo);
        if (status == OrderStatus::Submitting) {
            ++unknown;
            if (t7 != kOutcomeUnknownText)
                violations << QStringLiteral("%1 is unknown, its row says %2").arg(o.orderNo, t7);
        }
        // Settled: shipped, recharged at the counter, failed, or unknown.
        const bool done =
            status == OrderStatus::Submitting || status == OrderStatus::Refunded ||
            status == OrderStatus::SubmitFailed ||
            (o.type == 0 ? status == OrderStatus::Recharged : status == OrderStatus::Shipped);
        if (!done)
            violations << QStringLiteral("%1 did not settle: %2 (%3)")
                              .arg(o.orderNo, t7)
                              .arg(statusNumber(status));
    }
    // Messages the agent read: success only for a recharge the platform made.
    for (const RecordingPrompter::Message &m : (**m_prompter).messages) {
        if (m.text.contains(QStringLiteral("成功")) && sim.rechargeCount(counterNo) == 0)
            violations << QStringLiteral("message \"%1\" for an order not recharged").arg(m.text);
    }

    ++g_totals.rows;
    g_totals.orders += int(offered.size());
    g_totals.recharges += recharges;
    g_totals.unknown += unknown;
    g_totals.violations += int(violations.size());
    QVERIFY2(violations.isEmpty(), qPrintable(violations.join(QStringLiteral("; "))));
}

// A run ends (killed) after it took more shop orders than the day's list
// shows and before it sent them, with a counter order typed and not sent and
// one order out without an answer. The next run sends every shop order once,
// the oldest too; it does not send the counter order unasked (the agent saw
// no answer and may have typed it again) and never sends the unknown one.
void TestFaultMatrix::restartSendsWhatWasLeft()
{
    constexpr int kShopOrders = 60; // more than the day's list of 50
    QSignalSpy loaded(&m_session->catalogue(), &CatalogueController::rowsAdded);
    m_session->catalogue().获取商品信息();
    QVERIFY(loaded.wait(20000));
    OrderIntake &intake = m_session->intake();
    QStringList shopOrders;
    for (int i = 1; i <= kShopOrders; ++i) {
        const QString no = QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0'));
        QVERIFY(
            intake.插入新订单(NewOrder{.type = 1,
                                       .shipNo = QStringLiteral("S") + no,
                                       .orderNo = no,
                                       .buyerNick = QStringLiteral("买家"),
                                       .rechargeAccount = QStringLiteral("13800138000"),
                                       .quantityText = QStringLiteral("50"),
                                       .productName = QStringLiteral("移动话费充值 1元 秒到")}));
        shopOrders << no;
    }
    const QString counter = RandomLetterToken();
    QVERIFY(intake.插入新订单(NewOrder{.type = 0,
                                       .shipNo = counter,
                                       .orderNo = counter,
                                       .buyerNick = QStringLiteral("手工订单"),
                                       .rechargeAccount = QStringLiteral("13900139000"),
                                       .operationLabel = QStringLiteral("手工操作"),
                                       .quantityText = QStringLiteral("50"),
                                       .productName = QStringLiteral("移动话费充值")}));
    // The first shop order went out and its answer never came.
    QVERIFY(m_session->store()
                .反写数据库状态(shopOrders.first(), OrderStatus::Submitting, QString(), QString(),
                                QString())
                .ok());
    m_session.reset(); // the end of that run: nothing more is sent

    m_session = std::make_unique<AgentSession>(
        m_endpoint, sqliteOrderDatabase(m_dir->filePath(QStringLiteral("data.mdb"))), m_sites,
        m_dir->filePath(QStringLiteral("待反馈.txt")), m_network, **m_prompter, m_clipboard,
        &m_handOver);
    m_session->start();
    sim::PlatformSim &sim = m_env.sim();
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (qsizetype i = 1; i < shopOrders.size(); ++i) {
                if (sim.rechargeCount(shopOrders.at(i)) != 1)
                    return false;
            }
            return m_session->submission().outstanding() == 0;
        },
        kSettleTimeoutMs));
    QTest::qWait(3 * kTickMs);
    for (qsizetype i = 1; i < shopOrders.size(); ++i)
        QCOMPARE(sim.rechargeRequestsFor(shopOrders.at(i)), 1);
    QCOMPARE(sim.rechargeRequestsFor(shopOrders.first()), 0);
    QCOMPARE(sim.rechargeRequestsFor(counter), 0);
    const QHash<QString, OrderStatus> stored = storedStatuses();
    QCOMPARE(stored.value(counter), OrderStatus::SubmitFailed);
    QCOMPARE(stored.value(shopOrders.first()), OrderStatus::Submitting);
    OrderBook &book = m_session->book();
    QCOMPARE(listedText(book, book.rowOf(counter), QStringLiteral("t7")),
             kNotDeliveredPrefix + kEarlierRunText);
    QCOMPARE(listedText(book, book.rowOf(shopOrders.first()), QStringLiteral("t7")),
             kOutcomeUnknownText);
    for (const QString &no : std::as_const(shopOrders))
        QVERIFY2(book.rowOf(no) >= 0, qPrintable(no));
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"

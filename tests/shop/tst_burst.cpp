// A seller's busy hour: 200 paid orders in the two shops at once, taken,
// recharged and shipped by the engine's own timers against the simulator,
// with no fault anywhere. Every order must reach the platform exactly once,
// none may end unknown, and every one is marked shipped once.
#include "app/core/platform.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "sim/platformsim.h"
#include "tests/support/burst.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kOrders = 200;
constexpr int kTickMs = 300; // monitors, polls and delivery, quicker than an agent's
constexpr int kSettleMs = 180'000;

class NoHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

} // namespace

class TestBurst : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoHundredPaidOrdersAtOnce();

private:
    bool post(const QString &url, const QString &body);

    SimEnvironment m_env;
    NetworkAccess m_network;
    RecordingClipboard m_clipboard;
    NoHandOver m_handOver;
};

void TestBurst::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

bool TestBurst::post(const QString &url, const QString &body)
{
    Transfer transfer(m_network);
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return transfer.execute(url, QStringLiteral("POST"), body) && done.wait(20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

void TestBurst::twoHundredPaidOrdersAtOnce()
{
    sim::PlatformSim &sim = m_env.sim();
    sim.clearShops(); // none of the demo's orders
    sim.setRechargeFinish(2, true);
    sim.withState([](sim::State &s) {
        s.findAccount(QStringLiteral("demo"))->balance = QStringLiteral("1000000.00");
    });
    const ClientConfig &c = m_env.config();
    QString key;
    sim.withState([&key](sim::State &s) { key = s.openSession(QStringLiteral("demo")); });
    const PlatformEndpoint endpoint{c.platformBaseUrl, key, QStringLiteral("MID"),
                                    QStringLiteral("10086"), QStringLiteral("榴帆综合缴费系统")};
    QVERIFY(post(sim.rootUrl() + QStringLiteral("taobao/wuliu/login"),
                 QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456")));
    QVERIFY(post(sim.rootUrl() + QStringLiteral("paipai/trade/login"),
                 QStringLiteral("uin=10001&password=pp123456")));
    QVERIFY(post(sim.rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                 QStringLiteral("tradePassword=123456")));

    PrompterGuard prompter;
    QTemporaryDir dir;
    AgentSession session(endpoint, sqliteOrderDatabase(dir.filePath(QStringLiteral("data.mdb"))),
                         shopSitesOf(c), dir.filePath(QStringLiteral("待反馈.txt")), m_network,
                         *prompter, m_clipboard, &m_handOver);
    session.tracker().timer()->setInterval(kTickMs);
    session.delivery().timer()->setInterval(kTickMs);
    session.monitor().taobaoTimer()->setInterval(kTickMs);
    session.monitor().paipaiTimer()->setInterval(kTickMs);
    session.start();
    QSignalSpy catalogued(&session.catalogue(), &CatalogueController::rowsAdded);
    session.catalogue().获取商品信息();
    QVERIFY(catalogued.wait(20000));

    const QList<BurstOrder> burst = offerBurst(sim, kOrders);
    session.monitor().startTaobao();
    session.monitor().startPaipai();

    const QString file = dir.filePath(QStringLiteral("data.mdb"));
    const auto shipped = [&] {
        const QHash<QString, OrderStatus> stored = storedStatuses(file);
        return std::all_of(burst.cbegin(), burst.cend(), [&](const BurstOrder &o) {
            return stored.value(o.key) == OrderStatus::Shipped;
        });
    };
    static_cast<void>(QTest::qWaitFor(shipped, kSettleMs)); // what is left is listed below
    QTest::qWait(3 * kTickMs); // a few more ticks: nothing more may go out

    const QHash<QString, OrderStatus> stored = storedStatuses(file);
    QStringList wrong;
    for (const BurstOrder &o : burst) {
        const int requests = sim.rechargeRequestsFor(o.key);
        const int marks = shopMarks(sim, o);
        const OrderStatus status = stored.value(o.key, statusFromNumber(-99));
        if (requests != 1 || marks != 1 || status != OrderStatus::Shipped)
            wrong << QStringLiteral("%1: %2 recharge requests, %3 marks, status %4")
                         .arg(o.key)
                         .arg(requests)
                         .arg(marks)
                         .arg(statusNumber(status));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
    QCOMPARE(stored.size(), kOrders); // nothing else was taken
}

QTEST_GUILESS_MAIN(TestBurst)
#include "tst_burst.moc"

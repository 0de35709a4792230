// Two seats of one agent, each a process of its own (seat-client) building
// the client's engine, on one store and one simulated Taobao shop with 50
// paid orders: every order is taken by one seat, recharged once and shipped
// once, counted by what the simulator received. On a PostgreSQL server (the
// one AGENT_PG_INI names) and on one SQLite file. And what one seat's lists
// show of the other's orders, and a store that cannot be reached.
#include "app/core/config.h"
#include "app/web/networkaccess.h"
#include "recharge/rechargesession.h"
#include "sim/platformsim.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kOrders = 50;
const QString kConsignPath = QStringLiteral("/taobao/wuliu/user/consign_dummy.htm");
const QString kRechargePath = QStringLiteral("/platform/productcz1.asp");
const QStringList kSeats = {QStringLiteral("前台一"), QStringLiteral("前台二")};

QString orderId(int i)
{
    return QStringLiteral("S%1").arg(i, 2, 10, QLatin1Char('0'));
}

// A connection of the test's own to the store the seats share.
class StoreReader
{
public:
    StoreReader(const OrderDatabase &d, const QString &name) : m_name(name)
    {
        const bool pg = d.driver == OrderDatabase::Driver::PostgreSQL;
        m_db = QSqlDatabase::addDatabase(pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                         name);
        m_db.setDatabaseName(pg ? d.name : d.path);
        m_db.setHostName(d.host);
        m_db.setPort(d.port);
        m_db.setUserName(d.user);
        m_db.setPassword(d.password);
        m_db.open();
    }
    ~StoreReader()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QStringList column(const QString &sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            return {q.lastError().text()};
        QStringList values;
        while (q.next())
            values << q.value(0).toString();
        return values;
    }

private:
    QString m_name;
    QSqlDatabase m_db;
};

} // namespace

class TestSeats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoSeatsOneStore_data();
    void twoSeatsOneStore();
    void listsOfTwoSeats();
    void serverNotReachable();

private:
    SimEnvironment m_env;
};

void TestSeats::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestSeats::twoSeatsOneStore_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::newRow("postgresql") << true;
    QTest::newRow("sqlite file") << false;
}

void TestSeats::twoSeatsOneStore()
{
    QFETCH(bool, postgres);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // The store: a database of this run on the server, or one file.
    OrderDatabase store;
    QString ordersLines;
    if (postgres) {
        const QString ini = qEnvironmentVariable("AGENT_PG_INI");
        if (ini.isEmpty())
            QSKIP("no PostgreSQL server: start one with eval \"$(scripts/pg-local.sh start)\" "
                  "(test.sh does) and run again");
        QSettings settings(ini, QSettings::IniFormat);
        const QString error =
            readOrderDatabase(settings, QFileInfo(ini).absoluteDir(), dir.path(), store);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QString name = QStringLiteral("seats_%1").arg(QCoreApplication::applicationPid());
        {
            StoreReader admin(store, QStringLiteral("admin"));
            admin.column(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
            admin.column(QStringLiteral("CREATE DATABASE %1").arg(name));
        }
        store.name = name;
        ordersLines = QStringLiteral("driver=postgresql\nhost=%1\nport=%2\ndatabase=%3\n"
                                     "user=%4\npasswordFile=%5\n")
                          .arg(store.host)
                          .arg(store.port)
                          .arg(name, store.user, store.passwordFile);
    } else {
        store.path = dir.filePath(QStringLiteral("data.mdb"));
        ordersLines = QStringLiteral("database=%1\n").arg(store.path);
    }

    sim::PlatformSim &sim = m_env.sim();
    sim.clearShops();
    sim.clearFaults();
    sim.clearRequests();
    sim.withState([](sim::State &s) { s.recharges().clear(); });
    sim::Account demo = sim::PlatformSim::demoAccount();
    demo.balance = QStringLiteral("100000.00");
    sim.addAccount(demo);
    sim.setRechargeFinish(1, true);
    const QString stop = dir.filePath(QStringLiteral("stop"));
    QProcess seats[2];
    for (int s = 0; s < 2; ++s) {
        QDir().mkpath(dir.filePath(QStringLiteral("seat%1").arg(s)));
        const QString config = dir.filePath(QStringLiteral("seat%1/client.ini").arg(s));
        QString text = sim.configText();
        text.replace(QStringLiteral("[orders]\ndatabase=data.mdb\n"),
                     QStringLiteral("[orders]\n") + ordersLines + QStringLiteral("seat=") +
                         kSeats[s] + QLatin1Char('\n'));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        QString key;
        sim.withState([&key](sim::State &st) { key = st.openSession(QStringLiteral("demo")); });
        seats[s].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        seats[s].start(QStringLiteral(SEAT_CLIENT), {config, key, stop});
    }
    for (QProcess &seat : seats) {
        QVERIFY(seat.waitForStarted(10'000));
        while (!seat.canReadLine())
            QVERIFY2(seat.waitForReadyRead(60'000), "a seat never got ready");
        QCOMPARE(seat.readLine().trimmed(), QByteArray("ready"));
    }

    // Paid while both seats watch, ten at a time: card codes recharged at
    // once, and credit the platform finishes later.
    for (int i = 0; i < kOrders; ++i) {
        if (i % 10 == 0)
            QTest::qWait(300);
        sim::TaobaoOrder o;
        o.orderId = orderId(i);
        o.orderNo = QStringLiteral("NO") + o.orderId;
        o.title = i % 2 ? QStringLiteral("移动话费充值 1元 秒到")
                        : QStringLiteral("网易一卡通 1点 自动发卡");
        o.quantity = i % 2 ? QStringLiteral("50") : QStringLiteral("30");
        o.buyer = QStringLiteral("买家") + o.orderId;
        o.account = QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0'));
        o.form = sim::TaobaoAccountForm::Phone;
        sim.addTaobaoOrder(o);
    }

    // Both seats work until the shop lists no order waiting to be shipped.
    const auto allShipped = [&] {
        for (int i = 0; i < kOrders; ++i) {
            if (sim.taobaoConsignCount(orderId(i)) == 0)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allShipped(), 150'000);
    QTest::qWait(1500); // anything a seat might still send twice would arrive now
    QFile(stop).open(QIODevice::WriteOnly);
    int taken[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        QVERIFY(seats[s].waitForFinished(30'000));
        QCOMPARE(seats[s].exitCode(), 0);
        const QList<QByteArray> lines = seats[s].readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("taken "))
                taken[s] = line.mid(6).toInt();
        }
    }

    // What the platform and the shop received: once each.
    QCOMPARE(int(m_env.requestsTo(kRechargePath).size()), kOrders);
    QCOMPARE(int(m_env.requestsTo(kConsignPath).size()), kOrders);
    for (int i = 0; i < kOrders; ++i) {
        const QString no = QStringLiteral("NO") + orderId(i);
        QCOMPARE(sim.rechargeRequestsFor(no), 1);
        QCOMPARE(sim.rechargeCount(no), 1);
        QCOMPARE(sim.taobaoConsignCount(orderId(i)), 1);
    }
    // One row an order, shipped, taken by one of the two seats.
    StoreReader reader(store, QStringLiteral("reader"));
    QCOMPARE(reader.column(QStringLiteral("SELECT count(*) FROM 充值订单")),
             QStringList{QString::number(kOrders)});
    QCOMPARE(reader.column(QStringLiteral("SELECT count(DISTINCT 订单编号) FROM 充值订单 WHERE "
                                          "充值状态 = 3")),
             QStringList{QString::number(kOrders)});
    const QStringList bySeat = reader.column(
        QStringLiteral("SELECT 席位 || ' ' || count(*) FROM 充值订单 GROUP BY 席位 ORDER BY 席位"));
    for (const QString &line : bySeat)
        QVERIFY2(kSeats.contains(line.section(QLatin1Char(' '), 0, 0)), qPrintable(line));
    QCOMPARE(taken[0] + taken[1], kOrders);
    qInfo().noquote() << "orders taken by the seats:" << bySeat.join(QStringLiteral(", "));
    if (postgres) {
        OrderDatabase admin = store;
        admin.name = QSettings(qEnvironmentVariable("AGENT_PG_INI"), QSettings::IniFormat)
                         .value(QStringLiteral("orders/database"))
                         .toString();
        StoreReader(admin, QStringLiteral("drop"))
            .column(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(store.name));
    }
}

// One seat lists the day's orders of the other, sends none of those the other
// sent, and tells its own unanswered orders from the other's in flight.
void TestSeats::listsOfTwoSeats()
{
    QTemporaryDir dir;
    OrderDatabase first = sqliteOrderDatabase(dir.filePath(QStringLiteral("data.mdb")));
    first.seat = kSeats[0];
    OrderDatabase second = first;
    second.seat = kSeats[1];
    sim::PlatformSim &sim = m_env.sim();
    sim.clearRequests();
    QString key;
    sim.withState([&key](sim::State &st) { key = st.openSession(QStringLiteral("demo")); });
    const PlatformEndpoint endpoint{m_env.config().platformBaseUrl, key, QStringLiteral("MID"),
                                    QStringLiteral("10086"), QStringLiteral("榴帆综合缴费系统")};
    PrompterGuard prompter;
    RecordingClipboard clipboard;
    NetworkAccess network;
    RechargeSession a(endpoint, first, network, *prompter, clipboard);
    RechargeSession b(endpoint, second, network, *prompter, clipboard);

    const auto order = [](const QString &no, OrderStatus status) {
        RechargeOrder o;
        o.orderType = 1;
        o.rechargeAccount = QStringLiteral("13800138000");
        o.productName = QStringLiteral("移动话费充值 1元 秒到");
        o.platformProduct = QStringLiteral("移动话费");
        o.quantity = 50;
        o.actualQuantity = QStringLiteral("1");
        o.rechargeTime = QDateTime::currentDateTime();
        o.status = status;
        o.orderNo = no;
        o.shipNo = QStringLiteral("ship-") + no;
        return o;
    };
    // W1 waits, taken by the first seat; each seat sent one order in an
    // earlier run that never got its answer.
    QCOMPARE(a.store().takeShopOrder(order(QStringLiteral("W1"), OrderStatus::Waiting)),
             Take::Taken);
    a.book().显示订单(order(QStringLiteral("W1"), OrderStatus::Waiting));
    QVERIFY(a.store().插入订单(order(QStringLiteral("X1"), OrderStatus::Submitting)));
    QVERIFY(b.store().插入订单(order(QStringLiteral("X2"), OrderStatus::Submitting)));

    b.start();
    OrderBook &book = b.book();
    QCOMPARE(book.rowCount(), 3);
    const auto t7 = [&book](const QString &no) {
        return listedText(book, book.rowOf(no), QStringLiteral("t7"));
    };
    QCOMPARE(t7(QStringLiteral("W1")), QStringLiteral("等待提交"));
    QCOMPARE(t7(QStringLiteral("X1")), kSentElsewhereText);  // the other seat's: in flight there
    QCOMPARE(t7(QStringLiteral("X2")), kOutcomeUnknownText); // its own: the answer is lost

    // The first seat sends W1; the second, which lists it waiting, does not.
    a.submission().充值订单请求(1);
    QCOMPARE(a.book().entry(QStringLiteral("W1"))->order.status, OrderStatus::Submitting);
    a.读取订单(); // 刷新 on the sending seat while the request is out: still on its way
    QCOMPARE(listedText(a.book(), a.book().rowOf(QStringLiteral("W1")), QStringLiteral("t7")),
             QStringLiteral("正在提交"));
    b.submission().充值订单请求(1);
    QVERIFY(t7(QStringLiteral("W1")) == kSentElsewhereText ||
            book.entry(QStringLiteral("W1"))->order.status >= OrderStatus::Accepted);
    QTRY_COMPARE_WITH_TIMEOUT(a.submission().outstanding(), 0, 20000);
    QCOMPARE(b.submission().outstanding(), 0);
    QCOMPARE(sim.rechargeRequestsFor(QStringLiteral("W1")), 1);
    // 刷新 shows what the first seat recorded; the own lost order keeps its note.
    b.读取订单();
    QCOMPARE(book.entry(QStringLiteral("W1"))->order.status,
             a.book().entry(QStringLiteral("W1"))->order.status);
    QCOMPARE(t7(QStringLiteral("X2")), kOutcomeUnknownText);
}

// A server that cannot be reached is named to the agent when the session
// starts; nothing falls back to a file.
void TestSeats::serverNotReachable()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    OrderDatabase server;
    server.driver = OrderDatabase::Driver::PostgreSQL;
    server.host = QStringLiteral("127.0.0.1");
    server.port = 1;
    server.name = QStringLiteral("agent");
    server.user = QStringLiteral("agent");
    PrompterGuard prompter;
    RecordingClipboard clipboard;
    NetworkAccess network;
    RechargeSession session(PlatformEndpoint{}, server, network, *prompter, clipboard);
    QSignalSpy unavailable(&session, &RechargeSession::storeUnavailable);
    session.start();
    QDir::setCurrent(previous);
    QCOMPARE(unavailable.size(), 1);
    QVERIFY2(unavailable.first().first().toString().contains(QLatin1String("127.0.0.1:1")),
             qPrintable(unavailable.first().first().toString()));
    QCOMPARE(session.book().rowCount(), 0);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

QTEST_GUILESS_MAIN(TestSeats)
#include "tst_seats.moc"

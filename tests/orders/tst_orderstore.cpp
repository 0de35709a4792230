// The order store against a real SQLite file, and the same tests against a
// real PostgreSQL server (run with "-driver postgresql"; the server is the one
// of the [orders] lines in the file AGENT_PG_INI names, which
// scripts/pg-local.sh writes): the intake and its checks, an order listed
// again, accounts sharing one store, the status write-back, the day's list,
// values that look like SQL, the schema and its upgrade, the claims of
// several seats, the shop orders no product matched and the decisions on
// them, and two processes writing at once.
#include "app/core/config.h"
#include "orders/orderintake.h"
#include "orders/orderstore.h"
#include "tests/support/settableclock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// The engine the tests run on, chosen at start-up. On a server every test
// process works in a database of its own, which init() empties.
struct Backend
{
    bool postgres = false;
    OrderDatabase server; // the test process's database
    QString skipReason;   // no server given: the server tests are skipped
    QString failure;      // a server given but not usable: they fail
};
Backend &backend()
{
    static Backend b;
    return b;
}

// The store of a test: the SQLite file at path, or the test database.
OrderDatabase storeAt(const QString &path)
{
    if (!backend().postgres)
        return sqliteOrderDatabase(path);
    return backend().server;
}

const QString kUser = QStringLiteral("1001");
const QString kOtherUser = QStringLiteral("2002");
// A catalogue match written "product|amount|quantity|actual quantity".
const QString kMatch = QStringLiteral("移动话费|10|1|10");

std::optional<CatalogueMatch> matchFrom(const QString &text)
{
    const QStringList f = text.split(u'|');
    return CatalogueMatch{f.value(0), f.value(1), f.value(2), f.value(3)};
}
const QString kMatchingProduct = QStringLiteral("移动话费10元 自动充值");
const QString kUnknownProduct = QStringLiteral("不卖的东西");

RechargeOrder makeOrder(const QString &orderNo, OrderStatus status = OrderStatus::Waiting,
                        const QDateTime &time = QDateTime::currentDateTime())
{
    RechargeOrder o;
    o.orderType = 1;
    o.rechargeAccount = QStringLiteral("13800138000");
    o.productName = kMatchingProduct;
    o.salePrice = 10;
    o.quantity = 1;
    o.rechargeTime = time;
    o.buyerNick = QStringLiteral("买家甲");
    o.status = status;
    o.orderNo = orderNo;
    o.shipNo = QStringLiteral("ship-") + orderNo;
    o.platformProduct = QStringLiteral("移动话费");
    o.actualQuantity = QStringLiteral("10");
    return o;
}

// A connection of its own on the file, as another program would open it: what
// it reads is what the file holds, not what a store remembers.
class RawFile
{
public:
    explicit RawFile(const OrderDatabase &database)
        : m_name(QStringLiteral("raw-%1").arg(++s_count)),
          m_db(QSqlDatabase::addDatabase(database.driver == OrderDatabase::Driver::PostgreSQL
                                             ? QStringLiteral("QPSQL")
                                             : QStringLiteral("QSQLITE"),
                                         m_name))
    {
        if (database.driver == OrderDatabase::Driver::PostgreSQL) {
            m_db.setHostName(database.host);
            m_db.setPort(database.port);
            m_db.setDatabaseName(database.name);
            m_db.setUserName(database.user);
            m_db.setPassword(database.password);
        } else {
            m_db.setDatabaseName(database.path);
        }
        if (!m_db.open())
            qWarning() << "raw connection:" << m_db.lastError().text();
        else if (database.driver == OrderDatabase::Driver::PostgreSQL)
            QSqlQuery(m_db).exec(QStringLiteral("SET client_min_messages = warning"));
    }
    ~RawFile()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    // Every row in entry order, every column by name.
    QList<QVariantMap> rows()
    {
        QList<QVariantMap> result;
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT * FROM 充值订单 ORDER BY rowid")))
            return result;
        while (q.next()) {
            QVariantMap row;
            const QSqlRecord r = q.record();
            for (int i = 0; i < r.count(); ++i)
                row.insert(r.fieldName(i), r.value(i));
            result.append(row);
        }
        return result;
    }

    QStringList column(const QString &sql)
    {
        QStringList result;
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            return {q.lastError().text()};
        while (q.next())
            result.append(q.value(0).toString());
        return result;
    }

    bool exec(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(m_db);
        bool done = false;
        if (values.isEmpty()) { // a server prepares no DROP or CREATE DATABASE
            done = q.exec(sql);
        } else {
            q.prepare(sql);
            for (const QVariant &v : values)
                q.addBindValue(v);
            done = q.exec();
        }
        if (!done) {
            qWarning() << sql << q.lastError().text();
            return false;
        }
        return true;
    }

private:
    static inline int s_count = 0;
    QString m_name;
    QSqlDatabase m_db;
};

// One run of the client: its store on the file and its intake with a
// catalogue that knows 移动话费 only.
struct Session
{
    explicit Session(const OrderDatabase &database, const QString &user = kUser)
        : ledger(database, user), store(ledger.store()),
          intake(ledger, [this](const QString &product, const QString &amount, int source) {
              ++matcherCalls;
              matcherArgs = {product, amount, QString::number(source)};
              return product.contains(QStringLiteral("移动话费")) ? matchFrom(match) : std::nullopt;
          })
    {}

    // The orders the ledger listed, in the order they came.
    QList<RechargeOrder> shown() const
    {
        QList<RechargeOrder> orders;
        for (int row = ledger.book().rowCount() - 1; row >= 0; --row)
            orders.append(ledger.book().at(row).order);
        return orders;
    }

    bool offer(const QString &orderNo, const QString &product = kMatchingProduct)
    {
        return intake.插入新订单(NewOrder{.type = 1,
                                          .shipNo = QStringLiteral("ship-") + orderNo,
                                          .orderNo = orderNo,
                                          .buyerNick = QStringLiteral("买家甲"),
                                          .rechargeAccount = QStringLiteral("13800138000"),
                                          .quantityText = QStringLiteral("10"),
                                          .productName = product});
    }

    OrderLedger ledger;
    OrderStore &store;
    OrderIntake intake;
    QString match = kMatch;
    int matcherCalls = 0;
    QStringList matcherArgs;
};

QDateTime at(const QDate &day, int h, int m, int s)
{
    return QDateTime(day, QTime(h, m, s));
}

QStringList orderNumbers(const QList<RechargeOrder> &orders)
{
    QStringList numbers;
    for (const RechargeOrder &o : orders)
        numbers.append(o.orderNo);
    return numbers;
}

// The child of twoProcesses: waits for the go file, then stores its orders.
int insertOrdersChild(const QStringList &args)
{
    const QString path = args.at(2);
    const QString prefix = args.at(4);
    const int count = args.at(5).toInt();
    const QString goFile = args.at(6);
    OrderStore store(storeAt(path), args.at(3));
    if (!store.open())
        return 2;
    QTextStream(stdout) << "ready" << Qt::endl;
    QDeadlineTimer deadline(30'000);
    while (!QFile::exists(goFile)) {
        if (deadline.hasExpired())
            return 3;
        QThread::msleep(2);
    }
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        if (!store.插入订单(makeOrder(prefix + QString::number(i))))
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}

// The child of twoClientsTakeTheSameShopOrders: takes the shop orders S0 …
// through the intake, as a harvest does, once the go file is there.
int takeShopOrdersChild(const QStringList &args)
{
    const QString path = args.at(2);
    const int count = args.at(4).toInt();
    const QString goFile = args.at(5);
    OrderLedger ledger(storeAt(path), args.at(3));
    if (!ledger.store().open())
        return 2;
    OrderIntake intake(ledger, [](const QString &, const QString &, int) {
        return matchFrom(QStringLiteral("移动话费|50|1|1"));
    });
    QTextStream(stdout) << "ready" << Qt::endl;
    QDeadlineTimer deadline(30'000);
    while (!QFile::exists(goFile)) {
        if (deadline.hasExpired())
            return 3;
        QThread::msleep(2);
    }
    for (int i = 0; i < count; ++i) {
        const QString no = QStringLiteral("S%1").arg(i);
        intake.插入新订单(NewOrder{.type = 1,
                                   .shipNo = QStringLiteral("ship-") + no,
                                   .orderNo = no,
                                   .buyerNick = QStringLiteral("买家"),
                                   .rechargeAccount = QStringLiteral("13800138000"),
                                   .quantityText = QStringLiteral("1"),
                                   .productName = QStringLiteral("移动话费充值 50元")});
    }
    return 0;
}

} // namespace

class TestOrderStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void schema();
    void upgrade_data();
    void upgrade();
    void newerSchemaRefused();
    void unreachableServer();
    void seatsClaim();
    void roundTrip();
    void failedStatementFailsTheTransaction();
    void harvestedPageWithAFailedStatement();
    void intakeChecks_data();
    void intakeChecks();
    void intakeBuildsOrder_data();
    void intakeBuildsOrder();
    void intakeWithoutList();
    void unreadableMatchRefused_data();
    void unreadableMatchRefused();
    void refeedback_data();
    void refeedback();
    void twoAccounts();
    void othersWritesSeen();
    void writeBack_data();
    void writeBack();
    void dayList_data();
    void dayList();
    void dayListToday();
    void sqlInValues_data();
    void sqlInValues();
    void selections();
    void unusableFile();
    void twoProcesses();
    void twoClientsTakeTheSameShopOrders();
    void unmatchedKeptOnce_data();
    void unmatchedKeptOnce();
    void unmatchedDecisions_data();
    void unmatchedDecisions();

private:
    // The file of an SQLite run; a server run has its database instead.
    QString path() const { return m_dir->filePath(QStringLiteral("data.mdb")); }
    OrderDatabase db() const { return storeAt(path()); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestOrderStore::initTestCase()
{
    if (!backend().failure.isEmpty())
        QFAIL(qPrintable(backend().failure));
    if (!backend().skipReason.isEmpty())
        QSKIP(qPrintable(backend().skipReason));
}

void TestOrderStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    if (backend().postgres) {
        RawFile raw(db());
        for (const char *table : {"充值订单", "卡密交接", "未匹配订单", "schema_version"})
            QVERIFY(raw.exec(QStringLiteral("DROP TABLE IF EXISTS ") + QString::fromUtf8(table)));
    }
}

void TestOrderStore::cleanup()
{
    m_dir.reset();
}

void TestOrderStore::schema()
{
    OrderStore store(db(), kUser);
    QVERIFY2(store.open(), qPrintable(store.lastError()));
    RawFile raw(db());
    const bool pg = backend().postgres;
    // Both engines: the same columns, in the same order, of the same kinds.
    const QString real = pg ? QStringLiteral("double precision") : QStringLiteral("REAL");
    const QString integer = pg ? QStringLiteral("integer") : QStringLiteral("INTEGER");
    const QString txt = pg ? QStringLiteral("text") : QStringLiteral("TEXT");
    QStringList columns;
    if (pg)
        columns << QStringLiteral("rowid bigint"); // SQLite's is implicit
    columns << "类型 " + integer;
    for (const char *name : {"充值号码", "充值业务"})
        columns << QString::fromUtf8(name) + ' ' + txt;
    columns << "售价 " + real << "数量 " + real << "充值时间 " + txt << "买家昵称 " + txt
            << "充值状态 " + integer;
    for (const char *name :
         {"卡密", "充值编号", "打印", "随机数", "订单编号", "发货编号", "平台业务", "服务区",
          "实际数量", "用户", "查询地区", "买家号码", "席位", "发货席位"})
        columns << QString::fromUtf8(name) + ' ' + txt;
    columns << "发货未知 " + integer;
    QCOMPARE(raw.column(pg ? QStringLiteral("SELECT column_name || ' ' || data_type FROM "
                                            "information_schema.columns WHERE table_name = "
                                            "'充值订单' ORDER BY ordinal_position")
                           : QStringLiteral("SELECT name || ' ' || type FROM "
                                            "pragma_table_info('充值订单')")),
             columns);
    if (!pg)
        QCOMPARE(raw.column(QStringLiteral("PRAGMA journal_mode")), QStringList{"wal"});
    QCOMPARE(raw.column(QStringLiteral("SELECT version FROM schema_version")),
             QStringList{QString::number(OrderStore::kSchemaVersion)});

    // The lookups that run every few seconds each have an index led by the
    // account, and a shop order number is unique within an account.
    QStringList indexed;
    if (pg) {
        indexed = raw.column(QStringLiteral(
            "SELECT string_agg(a.attname, '+' ORDER BY k.n) FROM pg_index i "
            "JOIN pg_class c ON c.oid = i.indexrelid "
            "CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, n) "
            "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
            "WHERE i.indrelid = '充值订单'::regclass AND NOT i.indisprimary GROUP BY c.relname"));
    } else {
        for (const QString &index : raw.column(
                 QStringLiteral("SELECT name FROM pragma_index_list('充值订单') ORDER BY name"))) {
            indexed.append(raw.column(QStringLiteral("SELECT group_concat(name, '+') FROM "
                                                     "pragma_index_info('%1')")
                                          .arg(index)));
        }
    }
    indexed.sort();
    QStringList expected{"用户+充值状态+类型", "用户+订单编号", "用户+订单编号",
                         "用户+发货编号",      "用户+充值编号", "用户+充值时间"};
    expected.sort();
    QCOMPARE(indexed, expected);
    const QString unique =
        raw.column(pg ? QStringLiteral("SELECT indexdef FROM pg_indexes WHERE indexname = "
                                       "'充值订单_用户_店铺订单'")
                      : QStringLiteral("SELECT sql FROM sqlite_master WHERE name = "
                                       "'充值订单_用户_店铺订单'"))
            .value(0);
    QVERIFY2(unique.contains(QLatin1String("UNIQUE")) && unique.contains(QLatin1String("WHERE")) &&
                 unique.contains(QLatin1String("1, 2")),
             qPrintable(unique));

    // A second store finds the table there and keeps its rows.
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("T1"))));
    OrderStore again(db(), kUser);
    QVERIFY(!again.判断是否本地数据(QStringLiteral("T1")));
    QCOMPARE(raw.column(QStringLiteral("SELECT count(*) FROM schema_version")), QStringList{"1"});
}

void TestOrderStore::upgrade_data()
{
    QTest::addColumn<bool>("duplicates");
    QTest::newRow("store of the first release") << false;
    QTest::newRow("one shop order stored twice: refused, nothing changed") << true;
}

// A store made by the first release (no version kept) is upgraded in place
// at first use, all of it in one transaction or none of it.
void TestOrderStore::upgrade()
{
    QFETCH(bool, duplicates);
    if (backend().postgres) {
        QFile script(QFINDTESTDATA("fixtures/store-v1-postgresql.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        RawFile raw(db());
        QStringList lines = QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'));
        lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("--")); });
        for (const QString &sql : lines.join(QLatin1Char('\n')).split(QLatin1Char(';'))) {
            if (!sql.trimmed().isEmpty())
                QVERIFY(raw.exec(sql));
        }
    } else {
        QVERIFY(QFile::copy(QFINDTESTDATA("fixtures/store-v1.mdb"), path()));
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner));
    }
    RawFile raw(db());
    if (duplicates) {
        QVERIFY(raw.exec(QStringLiteral("INSERT INTO 充值订单 (类型, 订单编号, 用户, 充值状态) "
                                        "VALUES (1, 'T0', '1001', 3)")));
    }
    const QString all = QStringLiteral("SELECT 订单编号 || ' ' || 充值状态 || ' ' || 卡密 FROM "
                                       "充值订单 ORDER BY rowid");
    const QStringList before = raw.column(all);

    Session session(db());
    if (duplicates) {
        QVERIFY(!session.store.open());
        QVERIFY2(session.store.lastError().contains(QStringLiteral("升级")),
                 qPrintable(session.store.lastError()));
        QCOMPARE(raw.column(all), before);
        QVERIFY(raw.column(QStringLiteral("SELECT 席位 FROM 充值订单")).value(0) !=
                QLatin1String(""));                    // an error text: the column is not there
        QVERIFY(!session.offer(QStringLiteral("T5"))); // no order taken without the store
        return;
    }
    QVERIFY2(session.store.open(), qPrintable(session.store.lastError()));
    QCOMPARE(raw.column(QStringLiteral("SELECT version FROM schema_version")),
             QStringList{QString::number(OrderStore::kSchemaVersion)});
    QCOMPARE(raw.column(all), before);
    QCOMPARE(before, QStringList({"T0 -2 ", "T1 1 CARD-1", "M0 -2 "}));
    QCOMPARE(raw.column(QStringLiteral("SELECT count(*) FROM 充值订单 WHERE 席位 = '' AND "
                                       "发货席位 = '' AND 发货未知 = 0")),
             QStringList{"3"});

    // The old orders work as before: known to the intake, sent once, shipped once.
    QVERIFY(!session.offer(QStringLiteral("T1")));
    QVERIFY(session.offer(QStringLiteral("T5")));
    QCOMPARE(session.store.claimForSubmission(QStringLiteral("T0")), Claim::Claimed);
    QCOMPARE(session.store.claimForSubmission(QStringLiteral("T0")), Claim::TakenElsewhere);
    QCOMPARE(session.store.claimForShipping(QStringLiteral("ship-T1")), Claim::Claimed);
    QCOMPARE(raw.column(QStringLiteral("SELECT 席位 FROM 充值订单 WHERE 订单编号 = 'T5'")),
             QStringList{session.store.seat()});
}

void TestOrderStore::newerSchemaRefused()
{
    {
        OrderStore store(db(), kUser);
        QVERIFY(store.插入订单(makeOrder(QStringLiteral("T1"))));
    }
    RawFile raw(db());
    QVERIFY(raw.exec(QStringLiteral("UPDATE schema_version SET version = %1")
                         .arg(OrderStore::kSchemaVersion + 1)));
    Session session(db());
    QVERIFY(!session.store.open());
    QVERIFY2(session.store.lastError().contains(QString::number(OrderStore::kSchemaVersion + 1)),
             qPrintable(session.store.lastError()));
    QVERIFY(!session.offer(QStringLiteral("T2")));
    QVERIFY(!session.store.插入订单(makeOrder(QStringLiteral("T3"))));
    QCOMPARE(raw.column(QStringLiteral("SELECT 订单编号 FROM 充值订单")), QStringList{"T1"});
    QCOMPARE(raw.column(QStringLiteral("SELECT version FROM schema_version")),
             QStringList{QString::number(OrderStore::kSchemaVersion + 1)});
}

// Needs no server: nothing listens on port 1.
void TestOrderStore::unreachableServer()
{
    OrderDatabase server;
    server.driver = OrderDatabase::Driver::PostgreSQL;
    server.host = QStringLiteral("127.0.0.1");
    server.port = 1;
    server.name = QStringLiteral("agent");
    server.user = QStringLiteral("agent");
    server.seat = QStringLiteral("甲");
    Session session(server);
    QVERIFY(!session.store.open());
    QVERIFY2(session.store.lastError().contains(QLatin1String("127.0.0.1:1")),
             qPrintable(session.store.lastError()));
    QVERIFY(!session.offer(QStringLiteral("T1")));
    QVERIFY(session.shown().isEmpty());
    QCOMPARE(session.store.claimForSubmission(QStringLiteral("T1")), Claim::Failed);
    QVERIFY(!session.store.读取订单());
    QVERIFY(!QFile::exists(path())); // no file in its place
}

// Two seats of one account: one takes a shop order, one sends it, one
// ships it; a seat that restarts frees what it was shipping.
void TestOrderStore::seatsClaim()
{
    OrderDatabase first = db();
    first.seat = QStringLiteral("前台一");
    OrderDatabase second = db();
    second.seat = QStringLiteral("前台二");
    auto a = std::make_unique<OrderStore>(first, kUser);
    OrderStore b(second, kUser);
    OrderStore other(db(), kOtherUser);

    const RechargeOrder t1 = makeOrder(QStringLiteral("T1"));
    QCOMPARE(a->takeShopOrder(t1), Take::Taken);
    QCOMPARE(b.takeShopOrder(t1), Take::AlreadyStored);
    QCOMPARE(a->takeShopOrder(t1), Take::AlreadyStored);
    QCOMPARE(other.takeShopOrder(t1), Take::Taken); // another account's shop
    RechargeOrder manual = makeOrder(QStringLiteral("M1"));
    manual.orderType = 0;
    QCOMPARE(a->takeShopOrder(manual), Take::Taken);
    QCOMPARE(b.takeShopOrder(manual), Take::Taken); // only shop numbers are unique
    QCOMPARE(b.order(QStringLiteral("T1")).value().seat, first.seat);

    QCOMPARE(b.claimForSubmission(QStringLiteral("T1")), Claim::Claimed);
    QCOMPARE(a->claimForSubmission(QStringLiteral("T1")), Claim::TakenElsewhere);
    QCOMPARE(b.claimForSubmission(QStringLiteral("T1")), Claim::TakenElsewhere);
    QCOMPARE(a->order(QStringLiteral("T1")).value().status, OrderStatus::Submitting);
    QCOMPARE(other.order(QStringLiteral("T1")).value().status, OrderStatus::Waiting);

    QVERIFY(b.反写数据库状态(QStringLiteral("T1"), OrderStatus::Accepted, QString(),
                             QStringLiteral("R1"), QString())
                .ok());
    QVERIFY(a->writePollResult(QStringLiteral("R1"), OrderStatus::Recharged, QStringLiteral("C1"))
                .ok());
    QCOMPARE(orderNumbers(b.rechargedShopOrders().value()), QStringList{"T1"});
    QCOMPARE(a->claimForShipping(QStringLiteral("ship-T1")), Claim::Claimed);
    QCOMPARE(b.claimForShipping(QStringLiteral("ship-T1")), Claim::TakenElsewhere);
    QVERIFY(b.rechargedShopOrders().value().isEmpty());
    // The seat ended while its consign was out: started again, it frees it;
    // whether that consign reached the shop stays unknown.
    a = std::make_unique<OrderStore>(first, kUser);
    QVERIFY(a->open());
    QCOMPARE(orderNumbers(b.rechargedShopOrders().value()), QStringList{"T1"});
    QVERIFY(b.rechargedShopOrders().value().first().consignUnknown);
    QCOMPARE(b.claimForShipping(QStringLiteral("ship-T1")), Claim::Claimed);
    QVERIFY(a->releaseShipping(QStringLiteral("ship-T1"))); // not a's to give back
    QCOMPARE(a->claimForShipping(QStringLiteral("ship-T1")), Claim::TakenElsewhere);
    QVERIFY(b.反写数据库状态(QString(), OrderStatus::Shipped, QString(), QString(),
                             QStringLiteral("ship-T1"))
                .ok());
    // A late poll answer of the other seat never moves the order back.
    QCOMPARE(a->writePollResult(QStringLiteral("R1"), OrderStatus::Recharged, QString()).outcome,
             WriteBackResult::NoRow);
    QCOMPARE(a->order(QStringLiteral("T1")).value().status, OrderStatus::Shipped);
    QCOMPARE(a->order(QStringLiteral("T1")).value().cardCode, QStringLiteral("C1"));
}

// Makes the store refuse to insert the order, as a failing disk or a
// constraint would, on either engine.
bool refuseInsertOf(RawFile &raw, const QString &orderNo)
{
    if (!backend().postgres)
        return raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 充值订单 "
                                       "WHEN NEW.订单编号 = '%1' "
                                       "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                            .arg(orderNo));
    return raw.exec(
               QStringLiteral("CREATE OR REPLACE FUNCTION refuse_order() RETURNS trigger AS $$ "
                              "BEGIN IF NEW.订单编号 = '%1' THEN RAISE EXCEPTION 'refused'; "
                              "END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
                   .arg(orderNo)) &&
           raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 充值订单 "
                                   "FOR EACH ROW EXECUTE FUNCTION refuse_order()"));
}

bool allowInserts(RawFile &raw)
{
    return raw.exec(backend().postgres ? QStringLiteral("DROP TRIGGER refuse ON 充值订单")
                                       : QStringLiteral("DROP TRIGGER refuse"));
}

void TestOrderStore::failedStatementFailsTheTransaction()
{
    // A statement fails half-way and the work goes on as if it had not: a
    // server has thrown the transaction away already (and its COMMIT still
    // says yes). Nothing of it may be taken for stored, on either engine.
    OrderStore store(db(), kUser);
    QVERIFY2(store.插入订单(makeOrder(QStringLiteral("DUP"))), qPrintable(store.lastError()));
    const bool kept = store.inTransaction([&] {
        store.插入订单(makeOrder(QStringLiteral("FIRST")));
        store.插入订单(makeOrder(QStringLiteral("DUP"))); // a shop order's number is taken once
        store.插入订单(makeOrder(QStringLiteral("LAST")));
        return true;
    });
    QVERIFY(!kept);
    QVERIFY(!store.lastError().isEmpty());
    RawFile raw(db());
    QCOMPARE(raw.column(QStringLiteral("SELECT 订单编号 FROM 充值订单 ORDER BY rowid")),
             QStringList{QStringLiteral("DUP")});
    // And the store goes on.
    QVERIFY2(store.插入订单(makeOrder(QStringLiteral("AFTER"))), qPrintable(store.lastError()));
    QCOMPARE(raw.column(QStringLiteral("SELECT count(*) FROM 充值订单")),
             QStringList{QStringLiteral("2")});
}

void TestOrderStore::harvestedPageWithAFailedStatement()
{
    // One harvested page is one transaction: the middle order cannot be
    // stored, so none of the page is kept, the caller hears of it, and the
    // next harvest offers all three again.
    Session s(db());
    QVERIFY2(s.store.open(), qPrintable(s.store.lastError()));
    RawFile raw(db());
    QVERIFY(refuseInsertOf(raw, QStringLiteral("H2")));
    const auto page = [&] {
        for (const char *no : {"H1", "H2", "H3"})
            s.offer(QString::fromLatin1(no));
    };
    QCOMPARE(s.intake.takePage(page), 0);
    QVERIFY(!s.store.lastError().isEmpty());
    QCOMPARE(raw.column(QStringLiteral("SELECT count(*) FROM 充值订单")),
             QStringList{QStringLiteral("0")});
    QVERIFY(s.shown().isEmpty());

    QVERIFY(allowInserts(raw));
    QCOMPARE(s.intake.takePage(page), 3);
    QCOMPARE(raw.column(QStringLiteral("SELECT 订单编号 FROM 充值订单 ORDER BY rowid")),
             (QStringList{QStringLiteral("H1"), QStringLiteral("H2"), QStringLiteral("H3")}));
}

void TestOrderStore::roundTrip()
{
    RechargeOrder o;
    o.orderType = 2;
    o.rechargeAccount = QStringLiteral("qq:10001");
    o.productName = QStringLiteral("QQ币 10个");
    o.salePrice = 9.85;
    o.quantity = 3;
    o.rechargeTime = QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7, 450));
    o.buyerNick = QStringLiteral("拍拍买家");
    o.status = OrderStatus::Accepted;
    o.cardCode = QStringLiteral("卡号1 密码2");
    o.rechargeId = QStringLiteral("R-77");
    o.printMark = QStringLiteral("打印文字");
    o.randomNo = QStringLiteral("RND");
    o.orderNo = QStringLiteral("PP-1");
    o.shipNo = QStringLiteral("DEAL-1");
    o.platformProduct = QStringLiteral("QQ币");
    o.serverArea = QStringLiteral("电信一区");
    o.actualQuantity = QStringLiteral("30");
    o.userId = QStringLiteral("ignored: the store's account is written");
    o.queryArea = QStringLiteral("广东深圳");
    o.buyerNumber = QStringLiteral("never written");

    OrderStore store(db(), kUser);
    QVERIFY2(store.插入订单(o), qPrintable(store.lastError()));
    const auto read = store.读取订单(o.rechargeTime.date());
    QVERIFY(read);
    QCOMPARE(read->size(), 1);
    const RechargeOrder &r = read->first();
    QCOMPARE(r.orderType, o.orderType);
    QCOMPARE(r.rechargeAccount, o.rechargeAccount);
    QCOMPARE(r.productName, o.productName);
    QCOMPARE(r.salePrice, o.salePrice);
    QCOMPARE(r.quantity, o.quantity);
    QCOMPARE(r.rechargeTime, QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7))); // to the second
    QCOMPARE(r.buyerNick, o.buyerNick);
    QCOMPARE(r.status, o.status);
    QCOMPARE(r.cardCode, o.cardCode);
    QCOMPARE(r.rechargeId, o.rechargeId);
    QCOMPARE(r.printMark, o.printMark);
    QCOMPARE(r.randomNo, o.randomNo);
    QCOMPARE(r.orderNo, o.orderNo);
    QCOMPARE(r.shipNo, o.shipNo);
    QCOMPARE(r.platformProduct, o.platformProduct);
    QCOMPARE(r.serverArea, o.serverArea);
    QCOMPARE(r.actualQuantity, o.actualQuantity);
    QCOMPARE(r.userId, kUser);
    QCOMPARE(r.queryArea, o.queryArea);
    QCOMPARE(r.buyerNumber, QString());

    // A time given in UTC is kept as the local time of the same instant.
    RechargeOrder utc = makeOrder(QStringLiteral("UTC-1"), OrderStatus::Waiting,
                                  QDateTime(QDate(2024, 2, 29), QTime(20, 30, 0), Qt::UTC));
    QVERIFY(store.插入订单(utc));
    QCOMPARE(RawFile(db()).column(
                 QStringLiteral("SELECT 充值时间 FROM 充值订单 WHERE 订单编号 = 'UTC-1'")),
             QStringList{"2024-03-01 04:30:00"});
    QCOMPARE(orderNumbers(store.读取订单(QDate(2024, 3, 1)).value()), QStringList{"UTC-1"});
    QCOMPARE(store.读取订单(QDate(2024, 3, 1))->first().rechargeTime, utc.rechargeTime);

    // Empty texts are stored as empty text, never as nothing.
    RechargeOrder empty = makeOrder(QString());
    empty.rechargeAccount = QString();
    QVERIFY(store.插入订单(empty));
    RawFile raw(db());
    QCOMPARE(raw.column(QStringLiteral("SELECT count(*) FROM 充值订单 WHERE 订单编号 = '' AND "
                                       "充值号码 = '' AND 买家号码 = '' AND 卡密 = ''")),
             QStringList{"1"});
}

void TestOrderStore::intakeChecks_data()
{
    QTest::addColumn<QString>("firstNo");
    QTest::addColumn<bool>("firstMatches");
    QTest::addColumn<bool>("firstAccepted");
    QTest::addColumn<bool>("restart");
    QTest::addColumn<QString>("secondNo");
    QTest::addColumn<bool>("secondAccepted");
    QTest::addColumn<int>("secondMatcherCalls"); // 0: refused before the catalogue
    QTest::addColumn<int>("storedRows");

    QTest::newRow("seen twice") << "T100" << true << true << false << "T100" << false << 0 << 1;
    QTest::newRow("product matching nothing: refused and still seen")
        << "T100" << false << false << false << "T100" << false << 0 << 0;
    QTest::newRow("stored before a restart: refused by the store")
        << "T100" << true << true << true << "T100" << false << 1 << 1;
    QTest::newRow("never stored: tried again after a restart")
        << "T100" << false << false << true << "T100" << true << 1 << 1;
    QTest::newRow("number inside a longer number is new")
        << "2024061512345" << true << true << false << "0615" << true << 1 << 2;
    QTest::newRow("start of a longer number is new")
        << "2024061512345" << true << true << false << "2024" << true << 1 << 2;
    QTest::newRow("longer number around an earlier one is new")
        << "0615" << true << true << false << "2024061512345" << true << 1 << 2;
}

void TestOrderStore::intakeChecks()
{
    QFETCH(QString, firstNo);
    QFETCH(bool, firstMatches);
    QFETCH(bool, firstAccepted);
    QFETCH(bool, restart);
    QFETCH(QString, secondNo);
    QFETCH(bool, secondAccepted);
    QFETCH(int, secondMatcherCalls);
    QFETCH(int, storedRows);

    auto session = std::make_unique<Session>(db());
    QCOMPARE(session->offer(firstNo, firstMatches ? kMatchingProduct : kUnknownProduct),
             firstAccepted);
    QCOMPARE(session->shown().size(), firstAccepted ? 1 : 0);
    if (restart) {
        session.reset();
        session = std::make_unique<Session>(db());
    }
    const int callsBefore = session->matcherCalls;
    const int shownBefore = int(session->shown().size());
    QCOMPARE(session->offer(secondNo), secondAccepted);
    QCOMPARE(session->matcherCalls - callsBefore, secondMatcherCalls);
    QCOMPARE(int(session->shown().size()) - shownBefore, secondAccepted ? 1 : 0);
    QCOMPARE(RawFile(db()).rows().size(), storedRows);
}

void TestOrderStore::intakeBuildsOrder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("shipNo");
    QTest::addColumn<QString>("orderNo");
    QTest::addColumn<QString>("buyer");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("quantityText");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serverArea");
    QTest::addColumn<QString>("queryArea");
    QTest::addColumn<QString>("match");

    QTest::newRow("taobao shop order") << 1 << "1234567890"
                                       << "T-20240615-1"
                                       << "淘宝买家"
                                       << "13800138000"
                                       << ""
                                       << "50"
                                       << "移动话费1元 快充"
                                       << ""
                                       << ""
                                       << "移动话费|50|1|50";
    const QString token = QStringLiteral("abcdefghijklmnopqrstuvwxy");
    QTest::newRow("manual order") << 0 << token << token << "手工订单"
                                  << "13900139000"
                                  << "手工操作"
                                  << "30"
                                  << "移动话费"
                                  << "一区"
                                  << "广东移动"
                                  << "移动话费|30|30|1";
    QTest::newRow("paipai order with a fractional price") << 2 << "DEAL-9"
                                                          << "PP-9"
                                                          << "拍拍买家"
                                                          << "qq10001"
                                                          << ""
                                                          << "2"
                                                          << "移动话费 快充"
                                                          << "电信区"
                                                          << ""
                                                          << "移动话费|9.85|10|2";
}

void TestOrderStore::intakeBuildsOrder()
{
    QFETCH(int, type);
    QFETCH(QString, shipNo);
    QFETCH(QString, orderNo);
    QFETCH(QString, buyer);
    QFETCH(QString, account);
    QFETCH(QString, label);
    QFETCH(QString, quantityText);
    QFETCH(QString, product);
    QFETCH(QString, serverArea);
    QFETCH(QString, queryArea);
    QFETCH(QString, match);

    Session session(db());
    session.match = match;
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    QVERIFY(session.intake.插入新订单(NewOrder{.type = type,
                                               .shipNo = shipNo,
                                               .orderNo = orderNo,
                                               .buyerNick = buyer,
                                               .rechargeAccount = account,
                                               .operationLabel = label,
                                               .quantityText = quantityText,
                                               .productName = product,
                                               .serverArea = serverArea,
                                               .queryArea = queryArea}));
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(session.matcherArgs, QStringList({product, quantityText, QString::number(type)}));
    QCOMPARE(session.shown().size(), 1);

    const QStringList fields = match.split(QStringLiteral("|"));
    const auto check = [&](const RechargeOrder &o) {
        QCOMPARE(o.orderType, type);
        QCOMPARE(o.shipNo, shipNo);
        QCOMPARE(o.orderNo, orderNo);
        QCOMPARE(o.buyerNick, buyer);
        QCOMPARE(o.rechargeAccount, account);
        QCOMPARE(o.productName, product);
        QCOMPARE(o.serverArea, serverArea);
        QCOMPARE(o.queryArea, queryArea);
        QCOMPARE(o.platformProduct, fields[0]);
        QCOMPARE(o.salePrice, fields[1].toDouble());
        QCOMPARE(o.quantity, fields[2].toDouble());
        QCOMPARE(o.actualQuantity, fields[3]);
        QCOMPARE(o.status, OrderStatus::Waiting);
        QCOMPARE(o.cardCode, QString());
        QCOMPARE(o.rechargeId, QString());
        QCOMPARE(o.printMark, QString());
        QCOMPARE(o.randomNo, QString());
        QVERIFY(o.rechargeTime >= before && o.rechargeTime <= after);
    };
    check(session.shown().first());
    if (QTest::currentTestFailed())
        return;

    // What the list stored with flag 1 is the same order, under this account.
    const auto stored = session.store.读取订单(session.shown().first().rechargeTime.date());
    QVERIFY(stored);
    QCOMPARE(stored->size(), 1);
    check(stored->first());
    QCOMPARE(stored->first().userId, kUser);
}

void TestOrderStore::intakeWithoutList()
{
    OrderLedger ledger(db(), kUser);
    OrderStore &store = ledger.store();
    OrderIntake intake(ledger,
                       [](const QString &, const QString &, int) { return matchFrom(kMatch); });
    QVERIFY(intake.插入新订单(NewOrder{.type = 2,
                                       .shipNo = QStringLiteral("D1"),
                                       .orderNo = QStringLiteral("P1"),
                                       .buyerNick = QStringLiteral("买家"),
                                       .rechargeAccount = QStringLiteral("qq1"),
                                       .quantityText = QStringLiteral("10"),
                                       .productName = QStringLiteral("移动话费")}));
    QCOMPARE(orderNumbers(store.读取订单().value()), QStringList{"P1"});
    // With no catalogue every order is refused.
    intake.setMatcher({});
    QVERIFY(!intake.插入新订单(NewOrder{.type = 2,
                                        .shipNo = QStringLiteral("D2"),
                                        .orderNo = QStringLiteral("P2"),
                                        .quantityText = QStringLiteral("10"),
                                        .productName = QStringLiteral("移动话费")}));
}

void TestOrderStore::unreadableMatchRefused_data()
{
    QTest::addColumn<QString>("match");
    QTest::newRow("price no number") << "移动话费|十元|1|10";
    QTest::newRow("quantity no number") << "移动话费|10||10";
}

void TestOrderStore::unreadableMatchRefused()
{
    QFETCH(QString, match);
    Session session(db());
    session.match = match;
    QVERIFY(!session.offer(QStringLiteral("T1")));
    QVERIFY(session.shown().isEmpty());
    QVERIFY(RawFile(db()).rows().isEmpty());
}

void TestOrderStore::refeedback_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("recharged") << 1;
    QTest::newRow("waiting on the platform") << 0;
    QTest::newRow("refunded") << 2;
    QTest::newRow("shipped") << 3;
    QTest::newRow("not yet submitted") << -2;
}

void TestOrderStore::refeedback()
{
    // After a restart the shop lists a stored order again: refused, never a
    // second row; a recharged one's code goes to its buyer when it ships.
    QFETCH(int, status);
    {
        OrderStore store(db(), kUser);
        RechargeOrder o = makeOrder(QStringLiteral("T9"), statusFromNumber(status));
        o.cardCode = QStringLiteral("卡号9 密码9");
        QVERIFY(store.插入订单(o));
    }
    Session session(db());
    QVERIFY(!session.offer(QStringLiteral("T9")));
    QVERIFY(session.shown().isEmpty());
    QCOMPARE(RawFile(db()).rows().size(), 1);
}

void TestOrderStore::twoAccounts()
{
    Session a(db(), kUser);
    Session b(db(), kOtherUser);

    QVERIFY(a.offer(QStringLiteral("T1")));
    QVERIFY(!a.store.判断是否本地数据(QStringLiteral("T1")));
    QVERIFY(b.store.判断是否本地数据(QStringLiteral("T1")));
    QVERIFY(b.offer(QStringLiteral("T1"))); // the same shop order under another account
    QVERIFY(b.offer(QStringLiteral("T2")));
    QVERIFY(a.store.判断是否本地数据(QStringLiteral("T2")));

    QVERIFY(a.store
                .反写数据库状态(QStringLiteral("T1"), OrderStatus::Accepted, QString(),
                                QStringLiteral("R-A"), QString())
                .ok());
    QCOMPARE(b.store
                 .反写数据库状态(QString(), OrderStatus::Recharged, QString(),
                                 QStringLiteral("R-A"), QString())
                 .outcome,
             WriteBackResult::NoRow);
    QVERIFY(b.store
                .反写数据库状态(QString(), OrderStatus::Shipped, QString(), QString(),
                                QStringLiteral("ship-T2"))
                .ok());

    QCOMPARE(orderNumbers(a.store.waitingOrders().value()), QStringList{"T1"});
    QCOMPARE(a.store.waitingOrders()->first().rechargeId, QStringLiteral("R-A"));
    QVERIFY(b.store.waitingOrders()->isEmpty());
    QCOMPARE(orderNumbers(a.store.读取订单().value()), QStringList{"T1"});
    QCOMPARE(orderNumbers(b.store.读取订单().value()), QStringList({"T1", "T2"}));

    RawFile raw(db());
    QCOMPARE(raw.column(QStringLiteral("SELECT 用户 || ' ' || 订单编号 || ' ' || 充值状态 || ' ' "
                                       "|| 充值编号 FROM 充值订单 ORDER BY rowid")),
             QStringList({"1001 T1 0 R-A", "2002 T1 -2 ", "2002 T2 3 "}));
}

// A store that has just read a row must not go on reading an old view of the
// file: what another client process writes next is seen by every query.
void TestOrderStore::othersWritesSeen()
{
    OrderStore store(db(), kUser);
    OrderStore otherProcess(db(), kUser);
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("T1"), OrderStatus::Accepted)));
    QVERIFY(!store.判断是否本地数据(QStringLiteral("T1")));
    QVERIFY(otherProcess.插入订单(makeOrder(QStringLiteral("T2"), OrderStatus::Accepted)));
    QCOMPARE(orderNumbers(store.waitingOrders().value()), QStringList({"T1", "T2"}));
    QVERIFY(otherProcess.插入订单(makeOrder(QStringLiteral("T3"), OrderStatus::Recharged)));
    QVERIFY(otherProcess
                .反写数据库状态(QStringLiteral("T1"), OrderStatus::Recharged, QString(), QString(),
                                QString())
                .ok());
    QCOMPARE(orderNumbers(store.waitingOrders().value()), QStringList{"T2"});
    QVERIFY(!store.判断是否本地数据(QStringLiteral("T3")));
    QCOMPARE(orderNumbers(store.rechargedShopOrders().value()), QStringList({"T1", "T3"}));
}

void TestOrderStore::writeBack_data()
{
    QTest::addColumn<QString>("orderNo");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("cardCode");
    QTest::addColumn<QString>("rechargeId");
    QTest::addColumn<QString>("shipNo");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("changedRow"); // -1: nothing changes
    QTest::addColumn<int>("newStatus");
    QTest::addColumn<QString>("newCardCode");
    QTest::addColumn<QString>("newRechargeId");

    // The rows (see writeBack): 0 keys all empty; 1 A1/S1 card "old-card";
    // 2 A2/S2/R2; 3 A3/S3/R3; 4 and 5 both A4/S4; 6 another account's A2/S1/R3.
    QTest::newRow("ship number preferred over order number")
        << "A2" << 3 << ""
        << ""
        << "S1" << int(WriteBackResult::Written) << 1 << 3 << "old-card"
        << "";
    QTest::newRow("by order number") << "A2" << -1 << ""
                                     << ""
                                     << "" << int(WriteBackResult::Written) << 2 << -1 << ""
                                     << "R2";
    QTest::newRow("by order number with card code and recharge id")
        << "A1" << 1 << "CARD-1"
        << "R9"
        << "" << int(WriteBackResult::Written) << 1 << 1 << "CARD-1"
        << "R9";
    QTest::newRow("by recharge id when both others are empty")
        << "" << 2 << ""
        << "R3"
        << "" << int(WriteBackResult::Written) << 3 << 2 << ""
        << "R3";
    QTest::newRow("recharge id with card code")
        << "" << 1 << "卡密3"
        << "R3"
        << "" << int(WriteBackResult::Written) << 3 << 1 << "卡密3"
        << "R3";
    QTest::newRow("empty card code keeps the stored one")
        << "A1" << 1 << ""
        << ""
        << "" << int(WriteBackResult::Written) << 1 << 1 << "old-card"
        << "";
    QTest::newRow("first of two rows with one order number")
        << "A4" << 3 << ""
        << ""
        << "" << int(WriteBackResult::Written) << 4 << 3 << ""
        << "";
    QTest::newRow("no row with the order number")
        << "ZZ" << 1 << ""
        << ""
        << "" << int(WriteBackResult::NoRow) << -1 << 0 << ""
        << "";
    QTest::newRow("no row with the ship number, order number not tried")
        << "A1" << 3 << ""
        << ""
        << "S9" << int(WriteBackResult::NoRow) << -1 << 0 << ""
        << "";
    QTest::newRow("no row with the recharge id")
        << "" << 1 << ""
        << "R-none"
        << "" << int(WriteBackResult::NoRow) << -1 << 0 << ""
        << "";
    QTest::newRow("all keys empty: nothing changed")
        << "" << 1 << "CARD"
        << ""
        << "" << int(WriteBackResult::NoKey) << -1 << 0 << ""
        << "";
    QTest::newRow("status beyond 16 bits") << "A1" << 40000 << ""
                                           << ""
                                           << "" << int(WriteBackResult::Failed) << -1 << 0 << ""
                                           << "";
}

void TestOrderStore::writeBack()
{
    QFETCH(QString, orderNo);
    QFETCH(int, status);
    QFETCH(QString, cardCode);
    QFETCH(QString, rechargeId);
    QFETCH(QString, shipNo);
    QFETCH(int, outcome);
    QFETCH(int, changedRow);
    QFETCH(int, newStatus);
    QFETCH(QString, newCardCode);
    QFETCH(QString, newRechargeId);

    OrderStore store(db(), kUser);
    OrderStore other(db(), kOtherUser);
    const auto add = [](OrderStore &s, const QString &no, const QString &ship, const QString &rid,
                        const QString &card, int st) {
        RechargeOrder o = makeOrder(no, statusFromNumber(st));
        if (no == QLatin1String("A4"))
            o.orderType = 0;
        o.shipNo = ship;
        o.rechargeId = rid;
        o.cardCode = card;
        QVERIFY(s.插入订单(o));
    };
    add(store, "", "", "", "", -2);
    add(store, "A1", "S1", "", "old-card", -1);
    add(store, "A2", "S2", "R2", "", 0);
    add(store, "A3", "S3", "R3", "", 0);
    add(store, "A4", "S4", "", "", -1);
    add(store, "A4", "S4", "", "", -1);
    // Only manual orders can share a number: A4 twice is two manual orders.
    add(other, "A2", "S1", "R3", "", 0);

    RawFile raw(db());
    const QList<QVariantMap> before = raw.rows();
    QCOMPARE(before.size(), 7);

    const WriteBackResult r =
        store.反写数据库状态(orderNo, statusFromNumber(status), cardCode, rechargeId, shipNo);
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.ok(), outcome == WriteBackResult::Written);
    QCOMPARE(r.error.isEmpty(), r.ok());

    const QList<QVariantMap> after = raw.rows();
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i) {
        QVariantMap expected = before[i];
        if (i == changedRow) {
            expected[QStringLiteral("充值状态")] = newStatus;
            expected[QStringLiteral("卡密")] = newCardCode;
            expected[QStringLiteral("充值编号")] = newRechargeId;
        }
        QCOMPARE(after[i], expected);
    }
}

void TestOrderStore::dayList_data()
{
    const QDate d(2024, 3, 15);
    QTest::addColumn<QList<QDateTime>>("entered"); // order numbers N0, N1, … in this order
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("day boundary") << QList<QDateTime>{at(d.addDays(-1), 23, 59, 59), at(d, 0, 0, 0),
                                                      at(d, 23, 59, 59), at(d.addDays(1), 0, 0, 0)}
                                  << QStringList{"N1", "N2"};
    QTest::newRow("entered out of time order: oldest first")
        << QList<QDateTime>{at(d, 12, 0, 0), at(d, 9, 0, 0), at(d, 18, 0, 0)}
        << QStringList{"N1", "N0", "N2"};
    QTest::newRow("same second keeps the entry order")
        << QList<QDateTime>{at(d, 10, 0, 0), at(d, 10, 0, 0), at(d, 10, 0, 0)}
        << QStringList{"N0", "N1", "N2"};
    QTest::newRow("only yesterday's orders")
        << QList<QDateTime>{at(d.addDays(-1), 10, 0, 0)} << QStringList();

    // 60 orders of the day entered in a shuffled order: the 50 newest are listed.
    QList<QDateTime> sixty;
    QStringList newest;
    for (int i = 0; i < 60; ++i)
        sixty.append(at(d, 8, 0, 0).addSecs(60 * ((i * 37) % 60)));
    for (int minute = 10; minute < 60; ++minute) {
        for (int i = 0; i < 60; ++i) {
            if ((i * 37) % 60 == minute)
                newest.append(QStringLiteral("N%1").arg(i));
        }
    }
    sixty.append(at(d.addDays(-1), 23, 0, 0)); // and one of yesterday among them
    QTest::newRow("60 orders of the day: the 50 newest") << sixty << newest;
}

void TestOrderStore::dayList()
{
    QFETCH(QList<QDateTime>, entered);
    QFETCH(QStringList, listed);
    const QDate day(2024, 3, 15);

    OrderStore store(db(), kUser);
    OrderStore other(db(), kOtherUser);
    QVERIFY(other.插入订单(
        makeOrder(QStringLiteral("other"), OrderStatus::Accepted, at(day, 12, 0, 0))));
    for (int i = 0; i < entered.size(); ++i)
        QVERIFY(store.插入订单(
            makeOrder(QStringLiteral("N%1").arg(i), OrderStatus::Accepted, entered[i])));

    const auto read = store.读取订单(day);
    QVERIFY(read);
    QCOMPARE(orderNumbers(*read), listed);
    for (int i = 1; i < read->size(); ++i)
        QVERIFY(read->at(i - 1).rechargeTime <= read->at(i).rechargeTime);
}

void TestOrderStore::dayListToday()
{
    // "Today" is the store's clock's: a minute after midnight, yesterday's
    // last order is not in the list.
    const QDate today(2026, 3, 1);
    SettableClock clock(at(today, 0, 1, 0));
    OrderStore store(db(), kUser, clock);
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("yesterday"), OrderStatus::Accepted,
                                     at(today.addDays(-1), 23, 59, 59))));
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("now"), OrderStatus::Accepted, clock.now())));
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("tomorrow"), OrderStatus::Accepted,
                                     at(today.addDays(1), 0, 0, 0))));
    const auto read = store.读取订单();
    QVERIFY(read);
    QCOMPARE(orderNumbers(*read), QStringList{"now"});
}

void TestOrderStore::sqlInValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("single quote") << "O'Brien";
    QTest::newRow("double quotes") << "say \"hi\"";
    QTest::newRow("statement end and comment") << "x'; DROP TABLE 充值订单; --";
    QTest::newRow("always true") << "' OR '1'='1";
    QTest::newRow("comment and semicolon") << "a--b;c";
    QTest::newRow("wildcards and backslash") << "100%_\\";
}

void TestOrderStore::sqlInValues()
{
    QFETCH(QString, value);
    OrderStore store(db(), kUser);
    QVERIFY(store.插入订单(makeOrder(QStringLiteral("A1"))));
    RechargeOrder o = makeOrder(value);
    o.buyerNick = value;
    o.rechargeAccount = value;
    o.shipNo = value;
    o.productName = value;
    o.serverArea = value;
    QVERIFY2(store.插入订单(o), qPrintable(store.lastError()));

    // Stored verbatim.
    const auto read = store.读取订单();
    QVERIFY(read);
    QCOMPARE(read->size(), 2);
    const RechargeOrder &r = read->last();
    QCOMPARE(r.orderNo, value);
    QCOMPARE(r.buyerNick, value);
    QCOMPARE(r.rechargeAccount, value);
    QCOMPARE(r.shipNo, value);
    QCOMPARE(r.productName, value);
    QCOMPARE(r.serverArea, value);

    // The selections are the same as for any other text.
    QVERIFY(!store.判断是否本地数据(value));
    QVERIFY(store.判断是否本地数据(value + QStringLiteral("x")));
    QVERIFY(store.判断是否本地数据(QStringLiteral("' OR ''='")));
    QCOMPARE(store
                 .反写数据库状态(QStringLiteral("' OR ''='"), OrderStatus::Shipped, QString(),
                                 QString(), QString())
                 .outcome,
             WriteBackResult::NoRow);
    QVERIFY(store.反写数据库状态(QString(), OrderStatus::Recharged, value, value, value).ok());

    RawFile raw(db());
    QCOMPARE(
        raw.column(QStringLiteral("SELECT 订单编号 || '|' || 充值状态 || '|' || 卡密 || '|' || "
                                  "充值编号 FROM 充值订单 ORDER BY rowid")),
        QStringList({"A1|-2||", QStringList{value, "1", value, value}.join('|')}));
}

void TestOrderStore::selections()
{
    OrderStore store(db(), kUser);
    OrderStore other(db(), kOtherUser);
    const struct
    {
        OrderStore *store;
        const char *orderNo;
        int type;
        int status;
    } rows[] = {
        {&store, "W1", 1, 0}, {&store, "W2", 0, 0}, {&store, "S1", 2, 1}, {&store, "M1", 0, 1},
        {&store, "X3", 1, 3}, {&store, "S2", 1, 1}, {&store, "X2", 1, 2}, {&store, "X-2", 1, -2},
        {&other, "OW", 1, 0}, {&other, "OS", 1, 1}, {&store, "W3", 2, 0},
    };
    for (const auto &row : rows) {
        RechargeOrder o = makeOrder(QString::fromUtf8(row.orderNo), statusFromNumber(row.status));
        o.orderType = row.type;
        o.cardCode = QStringLiteral("card-") + o.orderNo;
        o.rechargeId = QStringLiteral("rid-") + o.orderNo;
        o.quantity = 5;
        QVERIFY(row.store->插入订单(o));
    }

    const auto waiting = store.waitingOrders();
    QVERIFY(waiting);
    QCOMPARE(orderNumbers(*waiting), QStringList({"W1", "W2", "W3"}));
    QCOMPARE(waiting->at(1).rechargeId, QStringLiteral("rid-W2"));

    const auto shop = store.rechargedShopOrders();
    QVERIFY(shop);
    QCOMPARE(orderNumbers(*shop), QStringList({"S1", "S2"}));
    const RechargeOrder &s1 = shop->first();
    QCOMPARE(s1.buyerNick, QStringLiteral("买家甲"));
    QCOMPARE(s1.shipNo, QStringLiteral("ship-S1"));
    QCOMPARE(s1.cardCode, QStringLiteral("card-S1"));
    QCOMPARE(s1.orderType, 2);
    QCOMPARE(s1.platformProduct, QStringLiteral("移动话费"));
    QCOMPARE(s1.quantity, 5.0);

    // Once shipped it is no longer offered.
    QVERIFY(store
                .反写数据库状态(QString(), OrderStatus::Shipped, QString(), QString(),
                                QStringLiteral("ship-S1"))
                .ok());
    QCOMPARE(orderNumbers(store.rechargedShopOrders().value()), QStringList{"S2"});
}

void TestOrderStore::unusableFile()
{
    if (backend().postgres)
        QSKIP("a file that cannot be opened is SQLite's; see unreachableServer");
    const QString folder = m_dir->filePath(QStringLiteral("not-yet"));
    const QString file = folder + QStringLiteral("/data.mdb");
    Session session(sqliteOrderDatabase(file));
    QVERIFY(!session.store.open());
    QVERIFY(!session.store.lastError().isEmpty());
    QVERIFY(!session.store.插入订单(makeOrder(QStringLiteral("T1"))));
    QVERIFY(!session.store.判断是否本地数据(QStringLiteral("T1"))); // counts as stored
    QCOMPARE(session.store
                 .反写数据库状态(QStringLiteral("T1"), OrderStatus::Recharged, QString(), QString(),
                                 QString())
                 .outcome,
             WriteBackResult::Failed);
    QVERIFY(!session.store.读取订单());
    QVERIFY(!session.store.waitingOrders());
    QVERIFY(!session.store.rechargedShopOrders());
    QVERIFY(!session.offer(QStringLiteral("T2"))); // never entered when the lookup fails
    QVERIFY(session.shown().isEmpty());

    // Once the folder exists the next operation opens the file.
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(session.offer(QStringLiteral("T3")));
    QCOMPARE(orderNumbers(session.store.读取订单().value()), QStringList{"T3"});
}

void TestOrderStore::twoProcesses()
{
    constexpr int kEach = 200;
    const QString go = m_dir->filePath(QStringLiteral("go"));
    {
        OrderStore store(db(), kUser); // the file exists before the writers start
        QVERIFY(store.open());
    }
    QProcess writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[i].start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--insert-orders"), path(), kUser,
                          QStringLiteral("P%1-").arg(i), QString::number(kEach), go});
    }
    for (QProcess &w : writers) {
        QVERIFY(w.waitForStarted(10'000));
        while (!w.canReadLine())
            QVERIFY2(w.waitForReadyRead(30'000), "writer never got ready");
        QCOMPARE(w.readLine().trimmed(), QByteArray("ready"));
    }
    QFile goFile(go);
    QVERIFY(goFile.open(QIODevice::WriteOnly)); // both start writing now
    goFile.close();
    for (QProcess &w : writers) {
        QVERIFY(w.waitForFinished(100'000));
        QCOMPARE(w.exitStatus(), QProcess::NormalExit);
        QCOMPARE(w.exitCode(), 0);
    }

    RawFile raw(db());
    QStringList numbers = raw.column(QStringLiteral("SELECT 订单编号 FROM 充值订单"));
    QCOMPARE(numbers.size(), 2 * kEach);
    numbers.removeDuplicates();
    QCOMPARE(numbers.size(), 2 * kEach);
    OrderStore store(db(), kUser);
    for (int i = 0; i < kEach; i += 37) {
        QVERIFY(!store.判断是否本地数据(QStringLiteral("P0-%1").arg(i)));
        QVERIFY(!store.判断是否本地数据(QStringLiteral("P1-%1").arg(i)));
    }
}

void TestOrderStore::twoClientsTakeTheSameShopOrders()
{
    // Two clients on one data.mdb harvest the same shop at the same time:
    // every order is taken by one of them, never by both.
    constexpr int kOrders = 150;
    const QString go = m_dir->filePath(QStringLiteral("go"));
    {
        OrderStore store(db(), kUser);
        QVERIFY(store.open());
    }
    QProcess clients[2];
    for (QProcess &c : clients) {
        c.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        c.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--take-shop-orders"), path(), kUser, QString::number(kOrders), go});
    }
    for (QProcess &c : clients) {
        QVERIFY(c.waitForStarted(10'000));
        while (!c.canReadLine())
            QVERIFY2(c.waitForReadyRead(30'000), "client never got ready");
        QCOMPARE(c.readLine().trimmed(), QByteArray("ready"));
    }
    QFile goFile(go);
    QVERIFY(goFile.open(QIODevice::WriteOnly));
    goFile.close();
    for (QProcess &c : clients) {
        QVERIFY(c.waitForFinished(100'000));
        QCOMPARE(c.exitCode(), 0);
    }
    RawFile raw(db());
    QStringList numbers = raw.column(QStringLiteral("SELECT 订单编号 FROM 充值订单"));
    QCOMPARE(numbers.size(), kOrders);
    numbers.removeDuplicates();
    QCOMPARE(numbers.size(), kOrders);
}

void TestOrderStore::unmatchedKeptOnce_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("taobao") << 1;
    QTest::newRow("paipai") << 2;
}

// A paid shop order that no product matches is kept for the agent, once per
// account and order number: a second harvest, a second seat and a restart
// find it there; a counter order never goes there.
void TestOrderStore::unmatchedKeptOnce()
{
    QFETCH(int, type);
    const auto offer = [type](Session &s, const QString &orderNo, int as = -1) {
        return s.intake.插入新订单(NewOrder{.type = as < 0 ? type : as,
                                            .shipNo = QStringLiteral("ship-") + orderNo,
                                            .orderNo = orderNo,
                                            .buyerNick = QStringLiteral("买家甲"),
                                            .rechargeAccount = QStringLiteral("13800138000"),
                                            .quantityText = QStringLiteral("3"),
                                            .productName = kUnknownProduct,
                                            .serverArea = QStringLiteral("一区")});
    };
    int found = 0;
    const auto count = [&found](Session &s) {
        QObject::connect(&s.ledger, &OrderLedger::unmatchedFound, &s.ledger,
                         [&found](const UnmatchedOrder &) { ++found; });
    };
    RawFile raw(db());
    const QString rows = QStringLiteral("SELECT 用户 || ' ' || 订单编号 || ' ' || 状态 FROM "
                                        "未匹配订单 ORDER BY rowid");

    auto a = std::make_unique<Session>(db());
    count(*a);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(!offer(*a, QStringLiteral("U1")));
    QVERIFY(!offer(*a, QStringLiteral("U1")));    // the same harvest again
    QVERIFY(!offer(*a, QStringLiteral("M1"), 0)); // the counter's: not kept
    QCOMPARE(found, 1);
    QCOMPARE(raw.column(rows), QStringList{kUser + " U1 0"});
    QVERIFY(raw.rows().isEmpty());
    QVERIFY(a->shown().isEmpty());
    const UnmatchedOrder kept = a->ledger.unmatched().order(QStringLiteral("U1")).value();
    QCOMPARE(kept.orderType, type);
    QCOMPARE(kept.shipNo, QStringLiteral("ship-U1"));
    QCOMPARE(kept.buyerNick, QStringLiteral("买家甲"));
    QCOMPARE(kept.rechargeAccount, QStringLiteral("13800138000"));
    QCOMPARE(kept.productName, kUnknownProduct);
    QCOMPARE(kept.quantityText, QStringLiteral("3"));
    QCOMPARE(kept.serverArea, QStringLiteral("一区"));
    QCOMPARE(kept.seat, a->store.seat());
    QCOMPARE(kept.state, UnmatchedState::Waiting);
    QVERIFY(kept.firstSeen >= before && kept.firstSeen <= QDateTime::currentDateTime());

    // A second seat harvesting the same shop.
    OrderDatabase second = db();
    second.seat = QStringLiteral("前台二");
    Session b(second);
    count(b);
    QVERIFY(!offer(b, QStringLiteral("U1")));
    // A restart: still there, still waiting, not found again.
    a = std::make_unique<Session>(db());
    count(*a);
    QCOMPARE(a->ledger.unmatched().waiting().value().size(), 1);
    QVERIFY(!offer(*a, QStringLiteral("U1")));
    QCOMPARE(found, 1);
    QCOMPARE(raw.column(rows), QStringList{kUser + " U1 0"});

    // Another account's shop has an order of the same number.
    Session other(db(), kOtherUser);
    count(other);
    QVERIFY(!offer(other, QStringLiteral("U1")));
    QCOMPARE(found, 2);
    QCOMPARE(raw.column(rows), (QStringList{kUser + " U1 0", kOtherUser + " U1 0"}));
    QCOMPARE(a->ledger.unmatched().waiting().value().size(), 1);

    // The unique rule is the database's own.
    QVERIFY(!raw.exec(QStringLiteral("INSERT INTO 未匹配订单 (用户, 订单编号) VALUES (?, ?)"),
                      {kUser, QStringLiteral("U1")}));
}

void TestOrderStore::unmatchedDecisions_data()
{
    QTest::addColumn<QString>("before");   // "taken": the intake took it; "refused": the
                                           // store refuses the order for the first decision
    QTest::addColumn<QString>("first");    // "recharge" or "dismiss", by this seat
    QTest::addColumn<int>("firstOutcome"); // StepResult::Outcome
    QTest::addColumn<QString>("second");   // by another seat that saw it waiting; "" none
    QTest::addColumn<int>("secondOutcome");
    QTest::addColumn<int>("state");          // UnmatchedState after both
    QTest::addColumn<QStringList>("orders"); // the account's 充值订单 rows of it

    const int done = StepResult::Done;
    const int moved = StepResult::Moved;
    QTest::newRow("recharged, then recharged again: once")
        << ""
        << "recharge" << done << "recharge" << moved << 1 << QStringList{"U1 -2 移动话费"};
    QTest::newRow("recharged, then dismissed: stays recharged")
        << ""
        << "recharge" << done << "dismiss" << moved << 1 << QStringList{"U1 -2 移动话费"};
    QTest::newRow("dismissed, then recharged: never recharged")
        << ""
        << "dismiss" << done << "recharge" << moved << 2 << QStringList();
    QTest::newRow("dismissed twice")
        << ""
        << "dismiss" << done << "dismiss" << moved << 2 << QStringList();
    QTest::newRow("taken by the intake meanwhile: not stored twice")
        << "taken"
        << "recharge" << moved << "" << 0 << 0 << QStringList{"U1 -2 目录商品"};
    QTest::newRow("order not stored: nothing decided, the next try counts")
        << "refused"
        << "recharge" << int(StepResult::NotSaved) << "recharge" << done << 1
        << QStringList{"U1 -2 移动话费"};
}

// A decision is taken once, on any seat and across a restart; a recharge
// decides and stores the order together or not at all.
void TestOrderStore::unmatchedDecisions()
{
    QFETCH(QString, before);
    QFETCH(QString, first);
    QFETCH(int, firstOutcome);
    QFETCH(QString, second);
    QFETCH(int, secondOutcome);
    QFETCH(int, state);
    QFETCH(QStringList, orders);

    Session a(db());
    QVERIFY(!a.intake.插入新订单(NewOrder{.type = 1,
                                          .shipNo = QStringLiteral("ship-U1"),
                                          .orderNo = QStringLiteral("U1"),
                                          .quantityText = QStringLiteral("3"),
                                          .productName = kUnknownProduct}));
    const UnmatchedOrder seen = a.ledger.unmatched().order(QStringLiteral("U1")).value();
    RawFile raw(db());
    if (before == QLatin1String("taken")) {
        RechargeOrder taken = makeOrder(QStringLiteral("U1"));
        taken.platformProduct = QStringLiteral("目录商品");
        QCOMPARE(a.store.takeShopOrder(taken), Take::Taken);
    } else if (before == QLatin1String("refused")) {
        QVERIFY(refuseInsertOf(raw, QStringLiteral("U1")));
    }
    const auto decide = [&seen](OrderLedger &ledger, const QString &how) {
        return how == QLatin1String("recharge")
                   ? ledger.rechargeUnmatched(seen, makeOrder(QStringLiteral("U1")),
                                              QStringLiteral("甲"))
                   : ledger.dismissUnmatched(seen, QStringLiteral("甲"));
    };
    QCOMPARE(int(decide(a.ledger, first).outcome), firstOutcome);
    QCOMPARE(a.shown().size(), firstOutcome == StepResult::Done && first == "recharge" ? 1 : 0);
    if (before == QLatin1String("refused"))
        QVERIFY(allowInserts(raw));
    if (!second.isEmpty()) {
        OrderDatabase other = db();
        other.seat = QStringLiteral("前台二");
        Session b(other);
        QCOMPARE(int(decide(b.ledger, second).outcome), secondOutcome);
    }

    Session restarted(db());
    const UnmatchedOrder now = restarted.ledger.unmatched().order(QStringLiteral("U1")).value();
    QCOMPARE(int(now.state), state);
    if (state != 0) {
        QCOMPARE(now.decidedBy, QStringLiteral("甲"));
        QVERIFY(now.decidedAt.isValid());
    }
    QVERIFY(restarted.ledger.unmatched().waiting().value().isEmpty());
    QCOMPARE(raw.column(QStringLiteral("SELECT 订单编号 || ' ' || 充值状态 || ' ' || 平台业务 "
                                       "FROM 充值订单 WHERE 用户 = '%1'")
                            .arg(kUser)),
             orders);
}

namespace {

// The server run: the server of AGENT_PG_INI, and a database of this test
// process on it, made now (children find its name in the environment). Why
// it cannot run, when it cannot.
QString setUpServer(bool parent)
{
    const QByteArray ini = qgetenv("AGENT_PG_INI");
    if (ini.isEmpty()) {
        backend().skipReason = QStringLiteral("no PostgreSQL server: start one with "
                                              "eval \"$(scripts/pg-local.sh start)\" (test.sh "
                                              "does) and run again");
        return {};
    }
    QSettings settings(QString::fromLocal8Bit(ini), QSettings::IniFormat);
    OrderDatabase server;
    const QString error =
        readOrderDatabase(settings, QFileInfo(QString::fromLocal8Bit(ini)).absoluteDir(),
                          QDir::currentPath(), server);
    if (!error.isEmpty())
        return QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(ini), error);
    if (server.driver != OrderDatabase::Driver::PostgreSQL)
        return QStringLiteral("%1 names no PostgreSQL server").arg(QString::fromLocal8Bit(ini));
    backend().postgres = true;
    backend().server = server;
    if (!parent) {
        backend().server.name = QString::fromLocal8Bit(qgetenv("AGENT_TEST_PG_DATABASE"));
        return {};
    }
    const QString name = QStringLiteral("orderstore_%1").arg(QCoreApplication::applicationPid());
    RawFile admin(server);
    if (!admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name)) ||
        !admin.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
        return QStringLiteral("cannot make a test database on %1").arg(server.server());
    backend().server.name = name;
    qputenv("AGENT_TEST_PG_DATABASE", name.toUtf8());
    return {};
}

void tearDownServer()
{
    if (!backend().postgres || !backend().failure.isEmpty())
        return;
    OrderDatabase admin = backend().server;
    admin.name = QSettings(QString::fromLocal8Bit(qgetenv("AGENT_PG_INI")), QSettings::IniFormat)
                     .value(QStringLiteral("orders/database"))
                     .toString();
    RawFile(admin).exec(
        QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(backend().server.name));
}

} // namespace

int main(int argc, char *argv[])
{
    // The agents' own time zone (UTC+8, no daylight saving; a POSIX rule, so no
    // zone files are needed): local days and local times differ from UTC here.
    qputenv("TZ", "CST-8");
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("AGENT_TEST_PG_DATABASE"))
        setUpServer(false);
    if (argc == 7 && qstrcmp(argv[1], "--insert-orders") == 0)
        return insertOrdersChild(app.arguments());
    if (argc == 6 && qstrcmp(argv[1], "--take-shop-orders") == 0)
        return takeShopOrdersChild(app.arguments());

    // "-driver postgresql": the same tests on the server.
    QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("-driver"));
    if (at >= 0 && at + 1 < args.size()) {
        if (args.at(at + 1) == QLatin1String("postgresql"))
            backend().failure = setUpServer(true);
        args.remove(at, 2);
    }
    TestOrderStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    const int result = QTest::qExec(&test, args);
    tearDownServer();
    return result;
}

#include "tst_orderstore.moc"

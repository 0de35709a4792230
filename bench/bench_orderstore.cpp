// The order store with a million orders on file: the intake of one shop order,
// the stored-order lookup, the status polls' and the delivery's selections and
// the day's list. Each is put beside the same work done with raw sqlite3
// prepared statements on the same file, the floor the store is measured by.
//
// The same hot queries run on a PostgreSQL server holding the same million
// orders (/1 rows; /0 is the SQLite file), when AGENT_PG_INI names a server
// (eval "$(scripts/pg-local.sh start)"): its database is built on the first
// run and kept. The stall rows measure what the window thread waits for the
// store while it takes one harvested page of 50 orders and reads one poll
// reply of 50 orders, with the longest wait as max_ms.
//
// The history's first open: its indexes built at start-up on a worker thread
// (beside the same build on the window thread, as the history once did), and
// then the window thread's open and first page.
#include "app/core/config.h"
#include "app/web/networkaccess.h"
#include "orders/orderbook.h"
#include "orders/orderhistory.h"
#include "orders/orderintake.h"
#include "orders/orderstore.h"
#include "orders/storeindexes.h"
#include "recharge/statustracker.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Bump when the fixture's rows change; a change of the table or its indexes
// gives a new file by itself (the schema is part of the name).
constexpr int kFixtureVersion = 1;
constexpr int kRows = 1'000'000;
constexpr int kMatching = 10; // waiting orders, and recharged shop orders, of the account
const QString kUser = QStringLiteral("10001");
const QDate kFixtureDay(2023, 6, 1); // a day inside the fixture, for the day's list

// The i-th row's figures. 90 % of the rows are the benchmark account's, the
// rest spread over nine other accounts. The account's rows are manual orders
// left at status 1 (manual orders are never shipped) or refunded, and shop
// orders shipped or refunded; kMatching rows each are waiting on the platform
// and recharged but not yet shipped. The other accounts have waiting and
// recharged shop orders too, which the account must not see.
struct FixtureRow
{
    std::string user;
    int type;
    int status;
};

FixtureRow fixtureRow(int i)
{
    constexpr int spacing = kRows / kMatching;
    if (i % spacing == spacing / 3)
        return {"10001", 1 + i % 2, 0};
    if (i % spacing == 2 * spacing / 3)
        return {"10001", 1 + i % 2, 1};
    if (i % 10 == 9) {
        const int status = (i / 10) % 4 == 0 ? 0 : (i / 10) % 4 == 1 ? 1 : 3;
        return {"2000" + std::to_string(1 + (i / 10) % 9), 1, status};
    }
    const int type = i % 10 < 3 ? 0 : i % 10 < 8 ? 1 : 2;
    const int status = type == 0 ? (i % 7 == 0 ? 2 : 1) : (i % 11 == 0 ? 2 : 3);
    return {"10001", type, status};
}

std::string orderNoOf(int i, const char *prefix = "")
{
    char text[40];
    std::snprintf(text, sizeof text, "%sTB%012d", prefix, 7'300'000 + i * 7);
    return text;
}

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    check(sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr), db, sql);
    return stmt;
}

void bindText(sqlite3_stmt *stmt, int index, const std::string &text)
{
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

// The schema a new store creates, as a short hash for the fixture's name.
QString schemaHash()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("schema.mdb"));
    {
        OrderStore store(path, kUser);
        if (!store.open())
            std::exit(1);
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = prepare(db, "SELECT sql FROM sqlite_master ORDER BY name");
    QCryptographicHash hash(QCryptographicHash::Sha1);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return QString::fromLatin1(hash.result().toHex().left(12));
}

void buildFixture(const QString &path)
{
    std::fprintf(stderr, "building %s with %d orders...\n", qPrintable(path), kRows);
    {
        OrderStore store(path, kUser); // the table and indexes exactly as the client makes them
        if (!store.open())
            std::exit(1);
    }
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db,
          "open");
    check(sqlite3_exec(db, "PRAGMA synchronous = OFF; PRAGMA cache_size = -262144; BEGIN", nullptr,
                       nullptr, nullptr),
          db, "begin");
    sqlite3_stmt *insert = prepare(
        db, "INSERT INTO 充值订单 (类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, "
            "充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, 平台业务, 服务区, "
            "实际数量, 用户, 查询地区, 买家号码) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '')");
    const QDateTime start(QDate(2022, 12, 1), QTime(8, 0));
    for (int i = 0; i < kRows; ++i) {
        const FixtureRow row = fixtureRow(i);
        const std::string n = std::to_string(i);
        const std::string orderNo = row.type == 0 ? orderNoOf(i, "M") : orderNoOf(i);
        sqlite3_bind_int(insert, 1, row.type);
        bindText(insert, 2, "138" + std::to_string(10'000'000 + i % 90'000'000));
        bindText(insert, 3, row.type == 0 ? "移动话费" : "移动话费50元 全国 自动充值 秒到");
        sqlite3_bind_double(insert, 4, 50);
        sqlite3_bind_double(insert, 5, 1);
        // One order every 30 s: about a year of orders, 2880 a day.
        bindText(insert, 6, start.addSecs(30LL * i).toString(u"yyyy-MM-dd HH:mm:ss").toStdString());
        bindText(insert, 7, row.type == 0 ? "手工订单" : "买家" + n);
        sqlite3_bind_int(insert, 8, row.status);
        bindText(insert, 9, row.status == 1 || row.status == 3 ? "卡号" + n + " 密码" + n : "");
        bindText(insert, 10, row.status >= 0 ? "R" + n : "");
        bindText(insert, 11, "");
        bindText(insert, 12, "");
        bindText(insert, 13, orderNo);
        bindText(insert, 14, row.type == 0 ? orderNo : orderNoOf(i, "S"));
        bindText(insert, 15, "移动话费");
        bindText(insert, 16, "");
        bindText(insert, 17, "1");
        bindText(insert, 18, row.user);
        bindText(insert, 19, row.type == 0 ? "广东移动" : "");
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    check(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), db,
          "checkpoint");
    sqlite3_close(db);
}

QString g_fixture;

// The cached fixture in /tmp, built on the first run.
void ensureFixture()
{
    g_fixture = QDir::temp().filePath(
        QStringLiteral("agent-bench-orders-v%1-%2.mdb").arg(kFixtureVersion).arg(schemaHash()));
    if (!QFile::exists(g_fixture)) {
        const QString building = g_fixture + QStringLiteral(".building");
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(building + QString::fromLatin1(suffix));
        buildFixture(building);
        if (!QFile::rename(building, g_fixture))
            std::exit(1);
    }
    // Orders an interrupted run of the intake or poll benchmarks left behind.
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(g_fixture.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db,
          "open");
    sqlite3_busy_timeout(db, 5000);
    check(sqlite3_exec(db,
                       "DELETE FROM 充值订单 WHERE (用户 = '10001' AND 订单编号 >= 'BENCH-' AND "
                       "订单编号 < 'BENCH.') OR 用户 = '10099'",
                       nullptr, nullptr, nullptr),
          db, "clean");
    sqlite3_close(db);
}

std::unique_ptr<OrderStore> g_store;
std::unique_ptr<OrderStore> g_pgStore;
OrderDatabase g_pg;

// range(0): 0 the SQLite file, 1 the server; null when no server was given.
OrderStore *storeOf(benchmark::State &state)
{
    state.SetLabel(state.range(0) ? "postgresql" : "sqlite");
    OrderStore *s = state.range(0) ? g_pgStore.get() : g_store.get();
    if (!s)
        state.SkipWithError("no PostgreSQL server (AGENT_PG_INI)");
    return s;
}

// Runs SQL on the server outside the store (set-up and clean-up, not timed).
bool pgExec(const QString &sql)
{
    const QString name = QStringLiteral("bench-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(g_pg.host);
        db.setPort(g_pg.port);
        db.setDatabaseName(g_pg.name);
        db.setUserName(g_pg.user);
        db.setPassword(g_pg.password);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// The same million orders as the file, made by the server itself.
void buildServerFixture()
{
    std::fprintf(stderr, "building %s on %s with %d orders...\n", qPrintable(g_pg.name),
                 qPrintable(g_pg.server()), kRows);
    {
        OrderStore schema(g_pg, kUser); // the table and indexes as the client makes them
        if (!schema.open())
            std::exit(1);
    }
    const QString rows =
        QStringLiteral(
            "SELECT i, CASE WHEN i % 100000 IN (33333, 66666) THEN '10001' "
            "WHEN i % 10 = 9 THEN '2000' || (1 + (i / 10) % 9) ELSE '10001' END AS u, "
            "CASE WHEN i % 100000 IN (33333, 66666) THEN 1 + i % 2 WHEN i % 10 = 9 THEN 1 "
            "WHEN i % 10 < 3 THEN 0 WHEN i % 10 < 8 THEN 1 ELSE 2 END AS t, "
            "CASE WHEN i % 100000 = 33333 THEN 0 WHEN i % 100000 = 66666 THEN 1 "
            "WHEN i % 10 = 9 THEN (CASE (i / 10) % 4 WHEN 0 THEN 0 WHEN 1 THEN 1 ELSE 3 END) "
            "WHEN i % 10 < 3 THEN (CASE WHEN i % 7 = 0 THEN 2 ELSE 1 END) "
            "ELSE (CASE WHEN i % 11 = 0 THEN 2 ELSE 3 END) END AS st "
            "FROM generate_series(0, %1) AS i")
            .arg(kRows - 1);
    const QString number = QStringLiteral("'TB' || lpad((7300000 + i * 7)::text, 12, '0')");
    const QString insert =
        QStringLiteral(
            "INSERT INTO 充值订单 (类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, "
            "充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, 平台业务, 服务区, "
            "实际数量, 用户, 查询地区, 买家号码) "
            "SELECT t, '138' || (10000000 + i % 90000000), "
            "CASE WHEN t = 0 THEN '移动话费' ELSE '移动话费50元 全国 自动充值 秒到' END, 50, 1, "
            "to_char(timestamp '2022-12-01 08:00:00' + i * interval '30 seconds', "
            "'YYYY-MM-DD HH24:MI:SS'), "
            "CASE WHEN t = 0 THEN '手工订单' ELSE '买家' || i END, st, "
            "CASE WHEN st IN (1, 3) THEN '卡号' || i || ' 密码' || i ELSE '' END, 'R' || i, '', "
            "'', "
            "CASE WHEN t = 0 THEN 'M' || %1 ELSE %1 END, "
            "CASE WHEN t = 0 THEN 'M' || %1 ELSE 'S' || %1 END, '移动话费', '', '1', u, "
            "CASE WHEN t = 0 THEN '广东移动' ELSE '' END, '' FROM (%2) AS f")
            .arg(number, rows);
    if (!pgExec(insert) || !pgExec(QStringLiteral("ANALYZE 充值订单")))
        std::exit(1);
}

// The server's database of this fixture, built when missing.
void ensureServerFixture()
{
    const QByteArray ini = qgetenv("AGENT_PG_INI");
    if (ini.isEmpty()) {
        std::fprintf(stderr, "no AGENT_PG_INI: the PostgreSQL rows are skipped\n");
        return;
    }
    QSettings settings(QString::fromLocal8Bit(ini), QSettings::IniFormat);
    const QString error = readOrderDatabase(
        settings, QFileInfo(QString::fromLocal8Bit(ini)).absoluteDir(), QDir::currentPath(), g_pg);
    if (!error.isEmpty() || g_pg.driver != OrderDatabase::Driver::PostgreSQL) {
        std::fprintf(stderr, "%s names no usable server: %s\n", ini.constData(), qPrintable(error));
        std::exit(1);
    }
    const QString name = QStringLiteral("agent_bench_orders_v%1_s%2")
                             .arg(kFixtureVersion)
                             .arg(OrderStore::kSchemaVersion);
    const QString ready = QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1_ready'");
    // Built under a name of its own and renamed when complete.
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    bool exists = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("probe"));
        db.setHostName(g_pg.host);
        db.setPort(g_pg.port);
        db.setDatabaseName(g_pg.name);
        db.setUserName(g_pg.user);
        db.setPassword(g_pg.password);
        if (!db.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(db.lastError().text()));
            std::exit(1);
        }
        QSqlQuery q(db);
        q.exec(ready.arg(name));
        exists = q.next();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    if (!exists) {
        pgExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        if (!pgExec(QStringLiteral("CREATE DATABASE %1").arg(name)))
            std::exit(1);
        const QString admin = g_pg.name;
        g_pg.name = name;
        buildServerFixture();
        g_pg.name = admin;
        if (!pgExec(QStringLiteral("ALTER DATABASE %1 RENAME TO %1_ready").arg(name)))
            std::exit(1);
    }
    g_pg.name = name + QStringLiteral("_ready");
    // Orders an interrupted run left behind.
    pgExec(QStringLiteral("DELETE FROM 充值订单 WHERE 订单编号 LIKE 'BENCH-%' OR 用户 = '10099'"));
}

// The floor: one raw connection with the statements prepared once.
struct Raw
{
    Raw()
    {
        check(sqlite3_open_v2(g_fixture.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
              db, "open");
        sqlite3_busy_timeout(db, 5000);
        lookup = prepare(db, "SELECT 充值状态, 卡密, 买家号码 FROM 充值订单 "
                             "WHERE 订单编号 = ? AND 用户 = ? ORDER BY rowid LIMIT 1");
        const std::string columns = "类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, "
                                    "充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, "
                                    "平台业务, 服务区, 实际数量, 用户, 查询地区, 买家号码";
        waiting = prepare(db, ("SELECT " + columns +
                               " FROM 充值订单 WHERE 用户 = ? AND 充值状态 = 0 ORDER BY rowid")
                                  .c_str());
        shipping = prepare(db, ("SELECT " + columns +
                                " FROM 充值订单 WHERE 用户 = ? AND 充值状态 = 1 AND 类型 > 0 "
                                "ORDER BY rowid")
                                   .c_str());
        day = prepare(db, ("SELECT " + columns +
                           " FROM 充值订单 WHERE 用户 = ? AND 充值时间 >= ? AND 充值时间 < ? "
                           "ORDER BY 充值时间 DESC, rowid DESC LIMIT 50")
                              .c_str());
        insert =
            prepare(db, "INSERT INTO 充值订单 (类型, 充值号码, 充值业务, 售价, 数量, 充值时间, "
                        "买家昵称, 充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, "
                        "平台业务, 服务区, 实际数量, 用户, 查询地区) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    }
    ~Raw()
    {
        for (sqlite3_stmt *s : {lookup, waiting, shipping, day, insert})
            sqlite3_finalize(s);
        sqlite3_close(db);
    }

    // Steps through the rows reading every column, as the store does.
    int readRows(sqlite3_stmt *stmt)
    {
        int rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < 20; ++c) {
                if (c == 0 || c == 7)
                    benchmark::DoNotOptimize(sqlite3_column_int(stmt, c));
                else if (c == 3 || c == 4)
                    benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
                else
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
            }
        }
        sqlite3_reset(stmt);
        return rows;
    }

    sqlite3 *db = nullptr;
    sqlite3_stmt *lookup = nullptr;
    sqlite3_stmt *waiting = nullptr;
    sqlite3_stmt *shipping = nullptr;
    sqlite3_stmt *day = nullptr;
    sqlite3_stmt *insert = nullptr;
};

std::unique_ptr<Raw> g_raw;

Raw &raw()
{
    return *g_raw;
}

// Stored order numbers spread over the whole file (all the account's).
const std::vector<int> &storedRows()
{
    static const std::vector<int> rows = [] {
        std::vector<int> v;
        for (int i = 1; i < kRows; i += 997) {
            if (fixtureRow(i).user == "10001" && fixtureRow(i).type > 0)
                v.push_back(i);
        }
        return v;
    }();
    return rows;
}

// Takes back the orders an intake benchmark stored, so the fixture stays as built.
void removeBenchOrders()
{
    check(sqlite3_exec(raw().db,
                       "DELETE FROM 充值订单 WHERE 用户 = '10001' AND 订单编号 >= 'BENCH-' AND "
                       "订单编号 < 'BENCH.'",
                       nullptr, nullptr, nullptr),
          raw().db, "clean");
}

void BM_Store_StoredLookup(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    const bool stored = state.range(1) == 1;
    std::vector<QString> numbers;
    for (int i : storedRows())
        numbers.push_back(QString::fromStdString(stored ? orderNoOf(i) : orderNoOf(i, "X")));
    size_t next = 0;
    for (auto _ : state) {
        if (s->判断是否本地数据(numbers[next++ % numbers.size()]) == stored)
            state.SkipWithError("wrong answer");
    }
    state.SetLabel(std::string(state.range(0) ? "postgresql" : "sqlite") +
                   (stored ? " stored" : " new"));
}
BENCHMARK(BM_Store_StoredLookup)->ArgsProduct({{0, 1}, {1, 0}})->Unit(benchmark::kMicrosecond);

void BM_Sqlite_StoredLookup(benchmark::State &state)
{
    const bool stored = state.range(0) == 1;
    std::vector<std::string> numbers;
    for (int i : storedRows())
        numbers.push_back(stored ? orderNoOf(i) : orderNoOf(i, "X"));
    const std::string user = kUser.toStdString();
    sqlite3_stmt *q = raw().lookup;
    size_t next = 0;
    for (auto _ : state) {
        bindText(q, 1, numbers[next++ % numbers.size()]);
        bindText(q, 2, user);
        const bool found = sqlite3_step(q) == SQLITE_ROW;
        if (found) {
            benchmark::DoNotOptimize(sqlite3_column_int(q, 0));
            benchmark::DoNotOptimize(sqlite3_column_text(q, 1));
            benchmark::DoNotOptimize(sqlite3_column_text(q, 2));
        }
        sqlite3_reset(q);
        if (found != stored)
            state.SkipWithError("wrong answer");
    }
    state.SetLabel(stored ? "stored" : "new");
}
BENCHMARK(BM_Sqlite_StoredLookup)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_Store_WaitingOrders(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    for (auto _ : state) {
        const auto orders = s->waitingOrders();
        if (!orders || orders->size() != kMatching)
            state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(orders);
    }
}
BENCHMARK(BM_Store_WaitingOrders)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Sqlite_WaitingOrders(benchmark::State &state)
{
    const std::string user = kUser.toStdString();
    for (auto _ : state) {
        bindText(raw().waiting, 1, user);
        if (raw().readRows(raw().waiting) != kMatching)
            state.SkipWithError("wrong rows");
    }
}
BENCHMARK(BM_Sqlite_WaitingOrders)->Unit(benchmark::kMicrosecond);

void BM_Store_RechargedShopOrders(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    for (auto _ : state) {
        const auto orders = s->rechargedShopOrders();
        if (!orders || orders->size() != kMatching)
            state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(orders);
    }
}
BENCHMARK(BM_Store_RechargedShopOrders)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Sqlite_RechargedShopOrders(benchmark::State &state)
{
    const std::string user = kUser.toStdString();
    for (auto _ : state) {
        bindText(raw().shipping, 1, user);
        if (raw().readRows(raw().shipping) != kMatching)
            state.SkipWithError("wrong rows");
    }
}
BENCHMARK(BM_Sqlite_RechargedShopOrders)->Unit(benchmark::kMicrosecond);

void BM_Store_DayList(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    for (auto _ : state) {
        const auto orders = s->读取订单(kFixtureDay);
        if (!orders || orders->size() != 50)
            state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(orders);
    }
}
BENCHMARK(BM_Store_DayList)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Sqlite_DayList(benchmark::State &state)
{
    const std::string user = kUser.toStdString();
    const std::string from = kFixtureDay.toString(u"yyyy-MM-dd 00:00:00").toStdString();
    const std::string to = kFixtureDay.addDays(1).toString(u"yyyy-MM-dd 00:00:00").toStdString();
    for (auto _ : state) {
        bindText(raw().day, 1, user);
        bindText(raw().day, 2, from);
        bindText(raw().day, 3, to);
        if (raw().readRows(raw().day) != 50)
            state.SkipWithError("wrong rows");
    }
}
BENCHMARK(BM_Sqlite_DayList)->Unit(benchmark::kMicrosecond);

int g_intakeRun = 0;

// One shop order through 插入新订单: the seen list, the catalogue (a stub),
// the stored-order lookup and, as the order list does with flag 1, the insert.
void BM_Store_Intake(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    OrderLedger ledger(s->database(), s->userId());
    OrderIntake intake(ledger, [](const QString &, const QString &, int) {
        return std::optional<CatalogueMatch>(
            CatalogueMatch{QStringLiteral("移动话费"), QStringLiteral("50"), QStringLiteral("1"),
                           QStringLiteral("50")});
    });
    const QString prefix = QStringLiteral("BENCH-%1-").arg(++g_intakeRun);
    int n = 0;
    for (auto _ : state) {
        const QString orderNo = prefix + QString::number(n++);
        if (!intake.插入新订单(NewOrder{.type = 1,
                                        .shipNo = orderNo,
                                        .orderNo = orderNo,
                                        .buyerNick = QStringLiteral("买家"),
                                        .rechargeAccount = QStringLiteral("13800138000"),
                                        .quantityText = QStringLiteral("50"),
                                        .productName = QStringLiteral("移动话费1元 全国")}))
            state.SkipWithError("refused");
    }
    // After the loop: not timed.
    if (state.range(0))
        pgExec(QStringLiteral("DELETE FROM 充值订单 WHERE 订单编号 LIKE 'BENCH-%'"));
    else
        removeBenchOrders();
}
BENCHMARK(BM_Store_Intake)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The window thread's wait while one harvested page of 50 new shop orders
// is taken (one transaction), as the harvester hands it to the intake.
void BM_Stall_HarvestPage50(benchmark::State &state)
{
    OrderStore *s = storeOf(state);
    if (!s)
        return;
    OrderLedger ledger(s->database(), s->userId());
    OrderIntake intake(ledger, [](const QString &, const QString &, int) {
        return std::optional<CatalogueMatch>(
            CatalogueMatch{QStringLiteral("移动话费"), QStringLiteral("50"), QStringLiteral("1"),
                           QStringLiteral("50")});
    });
    const QString prefix = QStringLiteral("BENCH-page-%1-").arg(++g_intakeRun);
    int n = 0;
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const int taken = intake.takePage([&] {
            for (int i = 0; i < 50; ++i) {
                const QString orderNo = prefix + QString::number(n++);
                intake.插入新订单(NewOrder{.type = 1,
                                           .shipNo = orderNo,
                                           .orderNo = orderNo,
                                           .buyerNick = QStringLiteral("买家"),
                                           .rechargeAccount = QStringLiteral("13800138000"),
                                           .quantityText = QStringLiteral("50"),
                                           .productName = QStringLiteral("移动话费1元 全国")});
            }
        });
        longest = std::max(longest, clock.nsecsElapsed() / 1e6);
        if (taken != 50)
            state.SkipWithError("not taken");
    }
    state.counters["max_ms"] = longest;
    if (state.range(0))
        pgExec(QStringLiteral("DELETE FROM 充值订单 WHERE 订单编号 LIKE 'BENCH-%'"));
    else
        removeBenchOrders();
}
BENCHMARK(BM_Stall_HarvestPage50)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window thread's wait for one poll of 50 orders: the tick's selection of
// the waiting orders, then the reply that all 50 are recharged, written in one
// transaction. The orders are put back to waiting between rounds, not timed.
void BM_Stall_Poll50(benchmark::State &state)
{
    if (!storeOf(state))
        return;
    const bool pg = state.range(0) == 1;
    OrderLedger ledger(pg ? g_pg : sqliteOrderDatabase(g_fixture), QStringLiteral("10099"));
    OrderStore &s = ledger.store();
    NetworkAccess network;
    StatusTracker tracker(ledger, network, PlatformEndpoint{});
    QString reply = QStringLiteral("3");
    for (int i = 0; i < 50; ++i) {
        RechargeOrder o;
        o.orderType = 1 + i % 2;
        o.orderNo = QStringLiteral("BENCH-poll-%1").arg(i);
        o.shipNo = o.orderNo;
        o.rechargeId = QStringLiteral("BENCH-R%1").arg(i);
        o.status = OrderStatus::Accepted;
        o.rechargeTime = QDateTime::currentDateTime();
        s.插入订单(o);
        reply += QStringLiteral("<m><id>%1</id><status>1</status><hw>卡号%2</hw></m>")
                     .arg(o.rechargeId)
                     .arg(i);
    }
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const auto waiting = s.waitingOrders();
        const bool read = tracker.readReply(reply);
        longest = std::max(longest, clock.nsecsElapsed() / 1e6);
        if (!waiting || waiting->size() != 50 || !read)
            state.SkipWithError("wrong rows");
        state.PauseTiming();
        s.inTransaction([&] {
            for (int i = 0; i < 50; ++i)
                s.反写数据库状态(QStringLiteral("BENCH-poll-%1").arg(i), OrderStatus::Accepted,
                                 QString(), QString(), QString());
            return true;
        });
        state.ResumeTiming();
    }
    state.counters["max_ms"] = longest;
    if (pg) {
        pgExec(QStringLiteral("DELETE FROM 充值订单 WHERE 用户 = '10099'"));
    } else {
        check(sqlite3_exec(raw().db, "DELETE FROM 充值订单 WHERE 用户 = '10099'", nullptr, nullptr,
                           nullptr),
              raw().db, "clean");
    }
}
BENCHMARK(BM_Stall_Poll50)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Sqlite_Intake(benchmark::State &state)
{
    Raw &r = raw();
    const std::string prefix = "BENCH-raw-" + std::to_string(++g_intakeRun) + "-";
    const std::string user = kUser.toStdString();
    int n = 0;
    for (auto _ : state) {
        const std::string orderNo = prefix + std::to_string(n++);
        bindText(r.lookup, 1, orderNo);
        bindText(r.lookup, 2, user);
        const bool found = sqlite3_step(r.lookup) == SQLITE_ROW;
        sqlite3_reset(r.lookup);
        if (found)
            state.SkipWithError("refused");
        const std::string now =
            QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss").toStdString();
        sqlite3_stmt *q = r.insert;
        sqlite3_bind_int(q, 1, 1);
        bindText(q, 2, "13800138000");
        bindText(q, 3, "移动话费1元 全国");
        sqlite3_bind_double(q, 4, 50);
        sqlite3_bind_double(q, 5, 1);
        bindText(q, 6, now);
        bindText(q, 7, "买家");
        sqlite3_bind_int(q, 8, -2);
        for (int c = 9; c <= 12; ++c)
            bindText(q, c, "");
        bindText(q, 13, orderNo);
        bindText(q, 14, orderNo);
        bindText(q, 15, "移动话费");
        bindText(q, 16, "");
        bindText(q, 17, "50");
        bindText(q, 18, user);
        bindText(q, 19, "");
        if (sqlite3_step(q) != SQLITE_DONE)
            state.SkipWithError("insert failed");
        sqlite3_reset(q);
    }
    removeBenchOrders(); // after the loop: not timed
}
BENCHMARK(BM_Sqlite_Intake)->Unit(benchmark::kMicrosecond);

// ---- The agent's order history over the same million orders ----

std::unique_ptr<OrderHistory> g_history;

const char *const kHistoryColumns =
    "rowid, 类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, 充值状态, 卡密, 充值编号, "
    "打印, 随机数, 订单编号, 发货编号, 平台业务, 服务区, 实际数量, 用户, 查询地区, 买家号码";

// One search as the window runs it, and the same statement prepared once on
// the raw connection; texts are bound after the account.
struct HistoryCase
{
    const char *label;
    OrderFilter filter;
    bool deep; // starts after an order half-way down the file
    std::string where;
    std::string index;
    std::vector<std::string> binds;
};

// A Taobao order of the account, half-way down.
const int kMiddle = kRows / 2 + 3;
std::string timeOf(int i)
{
    return QDateTime(QDate(2022, 12, 1), QTime(8, 0))
        .addSecs(30LL * i)
        .toString(u"yyyy-MM-dd HH:mm:ss")
        .toStdString();
}
const std::string kEnd = QString::fromUcs4(U"\U0010FFFF").toStdString();

const std::vector<HistoryCase> &historyCases()
{
    static const std::vector<HistoryCase> cases = [] {
        std::vector<HistoryCase> v;
        const std::string number = "138" + std::to_string(10'000'000 + kMiddle);
        const std::string buyer = "买家" + std::to_string(kMiddle);
        const std::string orderNo = orderNoOf(kMiddle);
        OrderFilter f;
        v.push_back({"newest", f, false, "", "充值订单_用户_充值时间", {}});
        v.push_back({"deep page",
                     f,
                     true,
                     " AND (充值时间, rowid) < (?, ?)",
                     "充值订单_用户_充值时间",
                     {}});
        f = {};
        f.rechargeAccount = QString::fromStdString(number);
        v.push_back({"number",
                     f,
                     false,
                     " AND 充值号码 >= ? AND 充值号码 < ?",
                     "充值订单_用户_号码_时间",
                     {number, number + kEnd}});
        f = {};
        f.rechargeAccount = QStringLiteral("13810500");
        v.push_back({"number prefix (1000)",
                     f,
                     false,
                     " AND 充值号码 >= ? AND 充值号码 < ?",
                     "充值订单_用户_号码_时间",
                     {"13810500", "13810500" + kEnd}});
        f = {};
        f.orderNo = QString::fromStdString(orderNo);
        v.push_back({"order number",
                     f,
                     false,
                     " AND 订单编号 >= ? AND 订单编号 < ?",
                     "充值订单_用户_订单编号",
                     {orderNo, orderNo + kEnd}});
        f = {};
        f.buyer = QString::fromStdString(buyer);
        v.push_back({"buyer",
                     f,
                     false,
                     " AND 买家昵称 >= ? AND 买家昵称 < ?",
                     "充值订单_用户_买家_时间",
                     {buyer, buyer + kEnd}});
        f = {};
        f.status = OrderStatus::Accepted;
        v.push_back(
            {"status 0 (10 orders)", f, false, " AND 充值状态 = 0", "充值订单_用户_状态_时间", {}});
        f = {};
        f.status = OrderStatus::Refunded;
        v.push_back({"status 2", f, false, " AND 充值状态 = 2", "充值订单_用户_状态_时间", {}});
        f = {};
        f.source = 2;
        f.from = QDate(2023, 3, 1);
        f.to = QDate(2023, 3, 7);
        v.push_back({"Paipai, one week",
                     f,
                     false,
                     " AND 类型 = 2 AND 充值时间 >= ? AND 充值时间 < ?",
                     "充值订单_用户_类型_时间",
                     {"2023-03-01 00:00:00", "2023-03-08 00:00:00"}});
        return v;
    }();
    return cases;
}

void BM_History_Search(benchmark::State &state)
{
    const HistoryCase &c = historyCases().at(state.range(0));
    std::optional<HistoryKey> after;
    if (c.deep)
        after = HistoryKey{QString::fromStdString(timeOf(kMiddle)), kMiddle + 1};
    for (auto _ : state) {
        const auto rows =
            g_history->search(c.filter, OrderHistoryModel::kDefaultPageSize + 1, after);
        if (!rows || rows->isEmpty())
            state.SkipWithError("no rows");
        benchmark::DoNotOptimize(rows);
    }
    state.SetLabel(c.label);
}
BENCHMARK(BM_History_Search)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

void BM_Sqlite_HistorySearch(benchmark::State &state)
{
    const HistoryCase &c = historyCases().at(state.range(0));
    const std::string sql = std::string("SELECT ") + kHistoryColumns +
                            " FROM 充值订单 INDEXED BY " + c.index + " WHERE 用户 = ?" + c.where +
                            " ORDER BY 充值时间 DESC, rowid DESC LIMIT 101";
    sqlite3_stmt *q = prepare(raw().db, sql.c_str());
    const std::string user = kUser.toStdString();
    for (auto _ : state) {
        int n = 1;
        bindText(q, n++, user);
        for (const std::string &b : c.binds)
            bindText(q, n++, b);
        if (c.deep) {
            bindText(q, n++, timeOf(kMiddle));
            sqlite3_bind_int64(q, n++, kMiddle + 1);
        }
        int rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW) {
            ++rows;
            for (int col = 0; col < 21; ++col)
                benchmark::DoNotOptimize(sqlite3_column_text(q, col));
        }
        sqlite3_reset(q);
        if (rows == 0)
            state.SkipWithError("no rows");
    }
    sqlite3_finalize(q);
    state.SetLabel(c.label);
}
BENCHMARK(BM_Sqlite_HistorySearch)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

// Daily totals of 30 days (about 86,000 orders), by day and source.
void BM_History_DailyTotals(benchmark::State &state)
{
    for (auto _ : state) {
        const auto totals = g_history->dailyTotals(QDate(2023, 3, 1), QDate(2023, 3, 30));
        if (!totals || totals->size() != 90)
            state.SkipWithError("wrong rows");
        benchmark::DoNotOptimize(totals);
    }
}
BENCHMARK(BM_History_DailyTotals)->Unit(benchmark::kMillisecond);

void BM_Sqlite_DailyTotals(benchmark::State &state)
{
    sqlite3_stmt *q = prepare(
        raw().db, "SELECT substr(充值时间, 1, 10) AS 日期, 类型, count(*), "
                  "sum(充值状态 IN (1, 3)), sum(充值状态 IN (2, 4)), sum(充值状态 = -1), "
                  "total(CASE WHEN 充值状态 IN (1, 3) THEN 售价 ELSE 0 END) "
                  "FROM 充值订单 INDEXED BY 充值订单_用户_充值时间 WHERE 用户 = ? AND "
                  "充值时间 >= ? AND 充值时间 < ? GROUP BY 日期, 类型 ORDER BY 日期 DESC, 类型");
    for (auto _ : state) {
        bindText(q, 1, kUser.toStdString());
        bindText(q, 2, "2023-03-01 00:00:00");
        bindText(q, 3, "2023-03-31 00:00:00");
        int rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(q);
        if (rows != 90)
            state.SkipWithError("wrong rows");
    }
    sqlite3_finalize(q);
}
BENCHMARK(BM_Sqlite_DailyTotals)->Unit(benchmark::kMillisecond);

// A copy of the fixture as a store of an earlier release left it: without
// the indexes only the history uses. Made with SQLite's backup, so the copy
// is whole whatever the WAL holds.
QString historylessCopy()
{
    const QString copy = g_fixture + QStringLiteral(".noindex");
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(copy + QString::fromLatin1(suffix));
    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    check(sqlite3_open_v2(g_fixture.toUtf8().constData(), &from, SQLITE_OPEN_READONLY, nullptr),
          from, "open");
    check(sqlite3_open_v2(copy.toUtf8().constData(), &to,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
          to, "open copy");
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    check(sqlite3_backup_step(backup, -1), to, "backup");
    sqlite3_backup_finish(backup);
    check(sqlite3_exec(to,
                       "DROP INDEX 充值订单_用户_号码_时间; DROP INDEX 充值订单_用户_买家_时间; "
                       "DROP INDEX 充值订单_用户_状态_时间; DROP INDEX 充值订单_用户_类型_时间; "
                       "PRAGMA journal_mode = WAL; PRAGMA wal_checkpoint(TRUNCATE)",
                       nullptr, nullptr, nullptr),
          to, "drop");
    sqlite3_close(to);
    sqlite3_close(from);
    return copy;
}

// The start-up build of the history's indexes on a store that lacks them,
// real time: /0 on a worker thread, the window thread's event loop running
// (max_gap_ms: its longest wait between two 5 ms ticks); /1 on the window
// thread, as the history's first open did, which waits the whole build.
void BM_History_IndexBuild(benchmark::State &state)
{
    const bool worker = state.range(0) == 0;
    const QString copy = historylessCopy();
    const OrderDatabase database = sqliteOrderDatabase(copy);
    double longestGap = 0;
    IndexBuild result;
    for (auto _ : state) {
        QElapsedTimer since;
        since.start();
        if (worker) {
            StoreIndexBuilder builder(database);
            QEventLoop loop;
            QTimer tick;
            tick.setInterval(5);
            QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
                longestGap = std::max(longestGap, since.nsecsElapsed() / 1e6);
                since.restart();
            });
            QObject::connect(&builder, &StoreIndexBuilder::finished, &loop, &QEventLoop::quit);
            tick.start();
            builder.start();
            loop.exec();
            result = builder.result();
        } else {
            result = buildHistoryIndexes(database);
            longestGap = since.nsecsElapsed() / 1e6;
        }
    }
    if (!result.ok() || result.built.size() != 4)
        state.SkipWithError("not built");
    state.counters["max_gap_ms"] = longestGap;
    state.SetLabel(worker ? "worker" : "window thread");
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(copy + QString::fromLatin1(suffix));
}
BENCHMARK(BM_History_IndexBuild)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The window thread's first open of the history once the start-up build has
// made its indexes: a new connection, the look at the catalogue, and the
// first page of the newest orders (/1 on the server).
void BM_History_FirstOpen(benchmark::State &state)
{
    if (!storeOf(state))
        return;
    const OrderDatabase database = state.range(0) ? g_pg : sqliteOrderDatabase(g_fixture);
    if (!buildHistoryIndexes(database).ok()) {
        state.SkipWithError("no indexes");
        return;
    }
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        OrderHistory history(database, kUser);
        const auto rows = history.open()
                              ? history.search({}, OrderHistoryModel::kDefaultPageSize + 1)
                              : std::nullopt;
        longest = std::max(longest, clock.nsecsElapsed() / 1e6);
        if (!rows || rows->size() != OrderHistoryModel::kDefaultPageSize + 1)
            state.SkipWithError("no page");
    }
    state.counters["max_ms"] = longest;
}
BENCHMARK(BM_History_FirstOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // Qt SQL finds its driver plugins through it
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ensureFixture();
    g_store = std::make_unique<OrderStore>(g_fixture, kUser);
    // Makes the history's indexes on a fixture that lacks them, before the raw
    // statements that name them are prepared.
    g_history = std::make_unique<OrderHistory>(g_fixture, kUser);
    if (!g_history->open()) {
        std::fprintf(stderr, "%s\n", qPrintable(g_history->lastError()));
        return 1;
    }
    ensureServerFixture();
    if (!g_pg.name.isEmpty()) {
        g_pgStore = std::make_unique<OrderStore>(g_pg, kUser);
        if (!g_pgStore->open()) {
            std::fprintf(stderr, "%s\n", qPrintable(g_pgStore->lastError()));
            return 1;
        }
    }
    g_raw = std::make_unique<Raw>();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_raw.reset();
    g_history.reset();
    g_pgStore.reset();
    g_store.reset();
    return 0;
}

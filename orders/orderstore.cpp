#include "orders/orderstore.h"

#include "orders/orderdatabase.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
#include <QVariant>
#include <QtDebug>

#include <algorithm>
#include <iterator>

namespace {

// How long a server statement may wait (for a lock, or at all) before it
// fails: the store runs on the window thread.
constexpr int kServerWaitMs = 5000;
constexpr int kDayListCap = 50;

// The few words in which the two engines' schemas differ.
struct Dialect
{
    bool sqlite = true;
    const char *real = "REAL";
    const char *text = "TEXT";
};

const Dialect kSqlite{true, "REAL", "TEXT"};
// Double precision, as SQLite's REAL is; text compared byte by byte, as
// SQLite does, so that the times in text sort as times whatever the server's
// locale.
const Dialect kPostgres{false, "DOUBLE PRECISION", "TEXT COLLATE \"C\""};

QString textColumn(const Dialect &d, const char *name)
{
    return QStringLiteral("%1 %2 NOT NULL DEFAULT ''")
        .arg(QString::fromUtf8(name), QString::fromUtf8(d.text));
}

// The schema of the first release: every column of 充值订单 in the table's
// order. Text columns hold empty text rather than nothing, so a row read back
// never differs from the one written. PostgreSQL has no implicit rowid, so its
// table carries one as a column of that name: the queries below order and pick
// rows by it in both engines.
QStringList schemaVersion1(const Dialect &d)
{
    QStringList columns;
    if (!d.sqlite)
        columns << QStringLiteral("rowid BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    columns << QStringLiteral("类型 INTEGER NOT NULL DEFAULT 0") << textColumn(d, "充值号码")
            << textColumn(d, "充值业务")
            << QStringLiteral("售价 %1 NOT NULL DEFAULT 0").arg(QString::fromUtf8(d.real))
            << QStringLiteral("数量 %1 NOT NULL DEFAULT 0").arg(QString::fromUtf8(d.real))
            << textColumn(d, "充值时间") << textColumn(d, "买家昵称")
            << QStringLiteral("充值状态 INTEGER NOT NULL DEFAULT -2");
    for (const char *name : {"卡密", "充值编号", "打印", "随机数", "订单编号", "发货编号",
                             "平台业务", "服务区", "实际数量", "用户", "查询地区", "买家号码"})
        columns << textColumn(d, name);
    // The lookups of the status polls (every 3 s), the delivery (every 5 s),
    // the intake and the write-back, and the day's list at start-up. The
    // status index carries 类型 so that the delivery's "type above 0" never
    // walks the manual orders, which stay at status 1 for good.
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS 充值订单 (%1)").arg(columns.join(u", ")),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 充值订单_用户_状态 ON 充值订单 (用户, 充值状态, 类型)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 充值订单_用户_订单编号 ON 充值订单 (用户, 订单编号)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 充值订单_用户_发货编号 ON 充值订单 (用户, 发货编号)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 充值订单_用户_充值编号 ON 充值订单 (用户, 充值编号)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 充值订单_用户_充值时间 ON 充值订单 (用户, 充值时间)"),
    };
}

// Several seats: the seat that took each order, the seat shipping it, and one
// row per shop order of an account, so that two seats cannot both take it.
QStringList schemaVersion2(const Dialect &d)
{
    return {
        QStringLiteral("ALTER TABLE 充值订单 ADD COLUMN %1").arg(textColumn(d, "席位")),
        QStringLiteral("ALTER TABLE 充值订单 ADD COLUMN %1").arg(textColumn(d, "发货席位")),
        QStringLiteral("CREATE UNIQUE INDEX 充值订单_用户_店铺订单 ON 充值订单 (用户, 订单编号) "
                       "WHERE 类型 IN (1, 2)"),
    };
}

// 发货未知: 0 no consign out; 1 one may be out (set with the claim, kept
// when no answer was read), the shop's list decides; 2 a list still offered
// it after that, so the shop's first refusal of the next consign is doubted;
// 3 that refusal came, the list decides once more and the next refusal is
// believed.
constexpr int kConsignNone = 0;
constexpr int kConsignMayBeOut = 1;
constexpr int kConsignDoubted = 2;
constexpr int kConsignMayBeOutAgain = 3;

// Whether a consign of a recharged shop order may have reached the shop with
// no answer read: set with the shipping claim, before the request goes out,
// so that a run that ends before the answer leaves the order to the shop's
// order list rather than to a second consign.
QStringList consignUnknownColumn(const Dialect &)
{
    return {QStringLiteral("ALTER TABLE 充值订单 ADD COLUMN 发货未知 INTEGER NOT NULL DEFAULT 0")};
}

// A Taobao buyer's card code on its way through the messenger, kept so that
// a kill, a crash or an exit neither loses nor repeats it.
QStringList handOverTable(const Dialect &d)
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS 卡密交接 (%1, %2, %3, %4, %5, "
                       "状态 INTEGER NOT NULL DEFAULT 1, %6, 次数 INTEGER NOT NULL DEFAULT 0, "
                       "%7, %8)")
            .arg(textColumn(d, "用户"), textColumn(d, "订单编号"), textColumn(d, "发货编号"),
                 textColumn(d, "买家"), textColumn(d, "卡密"), textColumn(d, "原因"),
                 textColumn(d, "时间"), textColumn(d, "席位")),
        QStringLiteral("CREATE UNIQUE INDEX 卡密交接_用户_订单编号 ON 卡密交接 (用户, 订单编号)"),
    };
}

// Paid shop orders that no catalogue product matched, kept for the agent to
// decide: as the shop described them, one row per order number of an
// account (as for shop orders in 充值订单), and the decision with who took it.
QStringList unmatchedTable(const Dialect &d)
{
    QStringList columns;
    if (!d.sqlite)
        columns << QStringLiteral("rowid BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    columns << textColumn(d, "用户") << QStringLiteral("类型 INTEGER NOT NULL DEFAULT 1");
    for (const char *name : {"订单编号", "发货编号", "买家昵称", "充值号码", "充值业务", "购买数量",
                             "服务区", "查询地区", "发现时间", "席位"})
        columns << textColumn(d, name);
    columns << QStringLiteral("状态 INTEGER NOT NULL DEFAULT 0");
    for (const char *name : {"处理人", "处理席位", "处理时间"})
        columns << textColumn(d, name);
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS 未匹配订单 (%1)").arg(columns.join(u", ")),
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS 未匹配订单_用户_订单编号 "
                       "ON 未匹配订单 (用户, 订单编号)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS 未匹配订单_用户_状态 ON 未匹配订单 (用户, 状态)"),
    };
}

// The card codes on their way to Taobao buyers, the paid orders no product
// matched, and whether a consign may be out.
QStringList schemaVersion3(const Dialect &d)
{
    return handOverTable(d) + unmatchedTable(d) + consignUnknownColumn(d);
}

// Step n brings a store of version n - 1 to version n.
using SchemaStep = QStringList (*)(const Dialect &);
const SchemaStep kSchemaSteps[] = {schemaVersion1, schemaVersion2, schemaVersion3};
static_assert(std::size(kSchemaSteps) == OrderStore::kSchemaVersion);

const char *const kColumns = "类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, 充值状态, "
                             "卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, 平台业务, 服务区, "
                             "实际数量, 用户, 查询地区, 买家号码, 席位, 发货未知";

const char *const kInsert = "INSERT INTO 充值订单 (类型, 充值号码, 充值业务, 售价, 数量, 充值时间, "
                            "买家昵称, 充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, "
                            "平台业务, 服务区, 实际数量, 用户, 查询地区, 席位) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// Each update touches the first row (in entry order) with the key.
QString updateSql(const char *keyColumn, const char *condition = "")
{
    return QStringLiteral("UPDATE 充值订单 SET 充值状态 = ?, "
                          "卡密 = COALESCE(NULLIF(?, ''), 卡密), "
                          "充值编号 = COALESCE(NULLIF(?, ''), 充值编号) "
                          "WHERE rowid = (SELECT rowid FROM 充值订单 WHERE %1 = ? AND 用户 = ?%2 "
                          "ORDER BY rowid LIMIT 1)%2")
        .arg(QString::fromUtf8(keyColumn), QString::fromUtf8(condition));
}

QString errorText(const QSqlError &error)
{
    return error.text().trimmed();
}

RechargeOrder orderFrom(const QSqlQuery &q)
{
    RechargeOrder o;
    o.orderType = q.value(0).toInt();
    o.rechargeAccount = q.value(1).toString();
    o.productName = q.value(2).toString();
    o.salePrice = q.value(3).toDouble();
    o.quantity = q.value(4).toDouble();
    o.rechargeTime = storedTimeFrom(q.value(5).toString());
    o.buyerNick = q.value(6).toString();
    o.status = statusFromNumber(q.value(7).toInt());
    o.cardCode = q.value(8).toString();
    o.rechargeId = q.value(9).toString();
    o.printMark = q.value(10).toString();
    o.randomNo = q.value(11).toString();
    o.orderNo = q.value(12).toString();
    o.shipNo = q.value(13).toString();
    o.platformProduct = q.value(14).toString();
    o.serverArea = q.value(15).toString();
    o.actualQuantity = q.value(16).toString();
    o.userId = q.value(17).toString();
    o.queryArea = q.value(18).toString();
    o.buyerNumber = q.value(19).toString();
    o.seat = q.value(20).toString();
    const int consign = q.value(21).toInt();
    o.consignUnknown = consign == kConsignMayBeOut || consign == kConsignMayBeOutAgain;
    o.consignDoubted = consign == kConsignDoubted;
    return o;
}

QAtomicInt connectionCounter;

} // namespace

struct OrderStore::Connection
{
    explicit Connection(const OrderDatabase &database)
        : name(QStringLiteral("orderstore-%1").arg(connectionCounter.fetchAndAddRelaxed(1))),
          postgres(isPostgres(database))
    {}
    ~Connection()
    {
        for (auto *q : {&insert, &take, &lookup, &day, &waiting, &shipping, &byShip, &byOrder,
                        &byRecharge, &byPoll, &orderFrom, &shipFrom, &claimSend, &claimShip,
                        &releaseShip, &stillListed, &one, &pending})
            q->reset();
        db.close();
    }

    const Dialect &dialect() const { return postgres ? kPostgres : kSqlite; }

    QString name;
    bool postgres;
    QSqlDatabase db;
    int depth = 0; // open transactions: 1 the transaction, more its savepoints
    // A statement of the open transaction failed: a server has already
    // thrown the transaction away, whatever a later COMMIT says.
    bool failedInside = false;
    std::optional<QSqlQuery> insert;
    std::optional<QSqlQuery> take;
    std::optional<QSqlQuery> lookup;
    std::optional<QSqlQuery> day;
    std::optional<QSqlQuery> waiting;
    std::optional<QSqlQuery> pending;
    std::optional<QSqlQuery> shipping;
    std::optional<QSqlQuery> byShip;
    std::optional<QSqlQuery> byOrder;
    std::optional<QSqlQuery> byRecharge;
    std::optional<QSqlQuery> byPoll;
    std::optional<QSqlQuery> orderFrom;
    std::optional<QSqlQuery> shipFrom;
    std::optional<QSqlQuery> claimSend;
    std::optional<QSqlQuery> claimShip;
    std::optional<QSqlQuery> releaseShip;
    std::optional<QSqlQuery> stillListed;
    std::optional<QSqlQuery> one;
};

OrderStore::OrderStore(const QString &path, const QString &userId, const Clock &clock)
    : OrderStore(sqliteOrderDatabase(path), userId, clock)
{}

OrderStore::OrderStore(const OrderDatabase &database, const QString &userId, const Clock &clock)
    : m_database(database), m_path(database.driver == OrderDatabase::Driver::PostgreSQL
                                       ? database.server() + QLatin1Char('/') + database.name
                                       : database.path),
      m_userId(userId), m_clock(clock)
{}

OrderStore::~OrderStore()
{
    if (!m_db)
        return;
    const QString name = m_db->name;
    m_db.reset();
    QSqlDatabase::removeDatabase(name);
}

void OrderStore::fail(const QString &what, const QString &detail)
{
    if (m_db && m_db->depth > 0)
        m_db->failedInside = true;
    m_lastError = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
    qWarning().noquote() << "order store" << m_path << "-" << m_lastError;
}

void OrderStore::failQuery(const QString &what, const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    // A server that went away: the next operation outside a transaction
    // connects again rather than failing for the rest of the run.
    if (m_db && m_db->postgres &&
        (error.type() == QSqlError::ConnectionError || !m_db->db.isOpen()))
        m_broken = true;
    fail(what, errorText(error));
}

bool OrderStore::open()
{
    return ensureOpen();
}

QSqlDatabase OrderStore::connection()
{
    return ensureOpen() ? m_db->db : QSqlDatabase();
}

void OrderStore::statementFailed(const QString &what, const QSqlQuery &query)
{
    failQuery(what, query);
}

bool OrderStore::ensureOpen()
{
    if (m_db && m_broken && m_db->depth == 0) {
        const QString name = m_db->name;
        m_db.reset();
        QSqlDatabase::removeDatabase(name);
    }
    m_broken = false;
    if (m_db)
        return true;
    auto c = std::make_unique<Connection>(m_database);
    const QString name = c->name;
    // Gives the connection back to Qt when the database turns out unusable.
    auto giveUp = [&](const QString &what, const QString &detail) {
        c.reset();
        QSqlDatabase::removeDatabase(name);
        fail(what, detail);
        return false;
    };

    const ConnectionUse use{kServerWaitMs, true};
    if (const QString error = openOrderConnection(m_database, name, use); !error.isEmpty()) {
        c.reset(); // the opener gave the connection back
        fail(error, QString());
        return false;
    }
    c->db = QSqlDatabase::database(name, false);
    if (!prepareSchema(*c)) {
        const QString error = m_lastError;
        c.reset();
        QSqlDatabase::removeDatabase(name);
        m_lastError = error;
        return false;
    }

    const QString columns = QString::fromUtf8(kColumns);
    const QString shipClaimed = QStringLiteral("AND 充值状态 = 1 AND 类型 > 0 AND 发货席位 = ''");
    const struct
    {
        std::optional<QSqlQuery> *query;
        QString sql;
    } statements[] = {
        {&c->insert, QString::fromUtf8(kInsert)},
        // Any unique index will do as the conflict: the shop orders' one.
        {&c->take, QString::fromUtf8(kInsert) + QStringLiteral(" ON CONFLICT DO NOTHING")},
        {&c->lookup, QStringLiteral("SELECT 充值状态, 卡密, 买家号码 FROM 充值订单 "
                                    "WHERE 订单编号 = ? AND 用户 = ? ORDER BY rowid LIMIT 1")},
        {&c->day, QStringLiteral("SELECT %1 FROM 充值订单 "
                                 "WHERE 用户 = ? AND 充值时间 >= ? AND 充值时间 < ? "
                                 "ORDER BY 充值时间 DESC, rowid DESC LIMIT %2")
                      .arg(columns)
                      .arg(kDayListCap)},
        {&c->pending,
         QStringLiteral("SELECT %1 FROM 充值订单 WHERE 用户 = ? AND 充值状态 IN (-2, -1) "
                        "ORDER BY rowid + 0")
             .arg(columns)},
        // Sorted after the selection ("rowid + 0"): a server that misjudges how
        // few rows match would otherwise walk the whole table in entry order.
        {&c->waiting, QStringLiteral("SELECT %1 FROM 充值订单 WHERE 用户 = ? AND 充值状态 = 0 "
                                     "ORDER BY rowid + 0")
                          .arg(columns)},
        {&c->shipping, QStringLiteral("SELECT %1 FROM 充值订单 "
                                      "WHERE 用户 = ? %2 ORDER BY rowid + 0")
                           .arg(columns, shipClaimed)},
        {&c->byShip, updateSql("发货编号")},
        {&c->byOrder, updateSql("订单编号")},
        {&c->byRecharge, updateSql("充值编号")},
        {&c->byPoll, updateSql("充值编号", " AND 充值状态 = 0")},
        {&c->orderFrom, updateSql("订单编号", " AND 充值状态 = ?")},
        {&c->shipFrom, updateSql("发货编号", " AND 充值状态 = ?")},
        // The condition stands in the outer WHERE as well: a server that
        // waited for another seat's update checks it again on the new row.
        {&c->claimSend,
         QStringLiteral(
             "UPDATE 充值订单 SET 充值状态 = -1 WHERE rowid = (SELECT rowid FROM 充值订单 "
             "WHERE 订单编号 = ? AND 用户 = ? AND 充值状态 = -2 ORDER BY rowid LIMIT 1) "
             "AND 充值状态 = -2")},
        {&c->claimShip,
         QStringLiteral(
             "UPDATE 充值订单 SET 发货席位 = ?, 发货未知 = 1 WHERE rowid = (SELECT rowid FROM "
             "充值订单 WHERE 发货编号 = ? AND 用户 = ? %1 ORDER BY rowid LIMIT 1) %1")
             .arg(shipClaimed)},
        {&c->releaseShip, QStringLiteral("UPDATE 充值订单 SET 发货席位 = '', 发货未知 = ? "
                                         "WHERE 发货编号 = ? AND 用户 = ? AND 发货席位 = ?")},
        {&c->stillListed,
         QStringLiteral(
             "UPDATE 充值订单 SET 发货未知 = CASE 发货未知 WHEN 1 THEN 2 ELSE 0 END "
             "WHERE rowid = (SELECT rowid FROM 充值订单 WHERE 发货编号 = ? AND 用户 = ? %1 "
             "AND 发货未知 IN (1, 3) ORDER BY rowid LIMIT 1) %1 AND 发货未知 IN (1, 3)")
             .arg(shipClaimed)},
        {&c->one, QStringLiteral("SELECT %1 FROM 充值订单 WHERE 订单编号 = ? AND 用户 = ? "
                                 "ORDER BY rowid LIMIT 1")
                      .arg(columns)},
    };
    for (const auto &s : statements) {
        s.query->emplace(c->db);
        (*s.query)->setForwardOnly(true);
        if (!(*s.query)->prepare(s.sql))
            return giveUp(QStringLiteral("cannot prepare a statement"),
                          errorText((*s.query)->lastError()));
    }

    // Orders this seat was shipping when it last ended: nothing of that run
    // is still out, so they are free again. Whether their consign reached the
    // shop stays unknown (发货未知) until the shop's order list tells.
    QSqlQuery release(c->db);
    release.prepare(QStringLiteral("UPDATE 充值订单 SET 发货席位 = '' WHERE 用户 = ? AND "
                                   "发货席位 = ? AND 充值状态 = 1"));
    release.addBindValue(columnText(m_userId));
    release.addBindValue(columnText(seat()));
    if (!release.exec())
        qWarning().noquote() << "order store" << m_path << "- cannot free the shipping claims:"
                             << errorText(release.lastError());
    m_db = std::move(c);
    return true;
}

bool OrderStore::prepareSchema(Connection &c)
{
    QSqlQuery q(c.db);
    const auto failed = [&](const QString &what) {
        fail(what, errorText(q.lastError()));
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    // One seat at a time creates or upgrades; the others find it done.
    if (!q.exec(c.postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return failed(QStringLiteral("cannot begin the schema check"));
    if (c.postgres && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7260411)")))
        return failed(QStringLiteral("cannot lock the schema"));
    // An upgrade of a large store may index it for a while; it happens once.
    if (c.postgres && !q.exec(QStringLiteral("SET LOCAL statement_timeout = 0")))
        return failed(QStringLiteral("cannot lift the statement time-out"));

    const QStringList tables = c.db.tables();
    int version = 0;
    if (tables.contains(QStringLiteral("schema_version"))) {
        if (!q.exec(QStringLiteral("SELECT max(version) FROM schema_version")))
            return failed(QStringLiteral("cannot read the schema version"));
        version = q.next() ? q.value(0).toInt() : 0;
        q.finish();
    } else if (tables.contains(QStringLiteral("充值订单"))) {
        version = 1; // the first release kept no version
    }
    if (version > kSchemaVersion) {
        q.exec(QStringLiteral("ROLLBACK"));
        fail(QStringLiteral("订单数据库 %1 的结构版本是 %2，本客户端只认识到第 %3 版，"
                            "请换用新版客户端")
                 .arg(m_path)
                 .arg(version)
                 .arg(kSchemaVersion),
             QString());
        return false;
    }
    if (version == kSchemaVersion)
        return c.db.commit() || failed(QStringLiteral("cannot commit"));

    for (int step = version; step < kSchemaVersion; ++step) {
        for (const QString &sql : kSchemaSteps[step](c.dialect())) {
            if (!q.exec(sql))
                return failed(
                    QStringLiteral("无法把订单数据库 %1 升级到第 %2 版").arg(m_path).arg(step + 1));
        }
    }
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version "
                               "(version INTEGER NOT NULL)")) ||
        !q.exec(QStringLiteral("DELETE FROM schema_version")) ||
        !q.exec(
            QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(kSchemaVersion)))
        return failed(QStringLiteral("cannot write the schema version"));
    if (!c.db.commit())
        return failed(QStringLiteral("cannot commit the schema"));
    return true;
}

namespace {

void bindOrder(QSqlQuery &q, const RechargeOrder &o, const QString &userId, const QString &seat)
{
    const QVariant values[] = {
        o.orderType,
        columnText(o.rechargeAccount),
        columnText(o.productName),
        o.salePrice,
        o.quantity,
        storedTimeText(o.rechargeTime),
        columnText(o.buyerNick),
        statusNumber(o.status),
        columnText(o.cardCode),
        columnText(o.rechargeId),
        columnText(o.printMark),
        columnText(o.randomNo),
        columnText(o.orderNo),
        columnText(o.shipNo),
        columnText(o.platformProduct),
        columnText(o.serverArea),
        columnText(o.actualQuantity),
        columnText(userId),
        columnText(o.queryArea),
        columnText(seat),
    };
    for (int i = 0; i < int(std::size(values)); ++i)
        q.bindValue(i, values[i]);
}

} // namespace

bool OrderStore::插入订单(const RechargeOrder &o)
{
    if (!ensureOpen())
        return false;
    QSqlQuery &q = *m_db->insert;
    bindOrder(q, o, m_userId, seat());
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot store order %1").arg(o.orderNo), q);
        return false;
    }
    return true;
}

Take OrderStore::takeShopOrder(const RechargeOrder &o)
{
    if (!ensureOpen())
        return Take::Failed;
    QSqlQuery &q = *m_db->take;
    bindOrder(q, o, m_userId, seat());
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot store order %1").arg(o.orderNo), q);
        return Take::Failed;
    }
    const int made = q.numRowsAffected();
    q.finish();
    return made == 1 ? Take::Taken : Take::AlreadyStored;
}

Claim OrderStore::claim(QSqlQuery &q, const QString &what)
{
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot claim %1").arg(what), q);
        return Claim::Failed;
    }
    const int changed = q.numRowsAffected();
    q.finish();
    return changed == 1 ? Claim::Claimed : Claim::TakenElsewhere;
}

Claim OrderStore::claimForSubmission(const QString &orderNo)
{
    if (!ensureOpen())
        return Claim::Failed;
    QSqlQuery &q = *m_db->claimSend;
    q.bindValue(0, columnText(orderNo));
    q.bindValue(1, columnText(m_userId));
    return claim(q, QStringLiteral("order %1").arg(orderNo));
}

Claim OrderStore::claimForShipping(const QString &shipNo)
{
    if (!ensureOpen())
        return Claim::Failed;
    QSqlQuery &q = *m_db->claimShip;
    q.bindValue(0, columnText(seat()));
    q.bindValue(1, columnText(shipNo));
    q.bindValue(2, columnText(m_userId));
    return claim(q, QStringLiteral("ship number %1").arg(shipNo));
}

bool OrderStore::releaseShipping(const QString &shipNo, Consign consign)
{
    if (!ensureOpen())
        return false;
    QSqlQuery &q = *m_db->releaseShip;
    const int mark = consign == Consign::NotTaken               ? kConsignNone
                     : consign == Consign::NotTakenStillDoubted ? kConsignDoubted
                     : consign == Consign::MayBeOut             ? kConsignMayBeOut
                                                                : kConsignMayBeOutAgain;
    q.bindValue(0, mark);
    q.bindValue(1, columnText(shipNo));
    q.bindValue(2, columnText(m_userId));
    q.bindValue(3, columnText(seat()));
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot give back ship number %1").arg(shipNo), q);
        return false;
    }
    q.finish();
    return true;
}

WriteBackResult OrderStore::clearConsignUnknown(const QString &shipNo)
{
    WriteBackResult result;
    if (shipNo.isEmpty()) {
        result.outcome = WriteBackResult::NoKey;
        result.error = QStringLiteral("no ship number given");
        return result;
    }
    if (!ensureOpen()) {
        result.error = m_lastError;
        return result;
    }
    QSqlQuery &q = *m_db->stillListed;
    q.bindValue(0, columnText(shipNo));
    q.bindValue(1, columnText(m_userId));
    if (!q.exec()) {
        result.error = errorText(q.lastError());
        failQuery(QStringLiteral("cannot free ship number %1").arg(shipNo), q);
        return result;
    }
    const int changed = q.numRowsAffected();
    q.finish();
    if (changed < 1) {
        result.outcome = WriteBackResult::NoRow;
        result.error = QStringLiteral("no unclaimed order with ship number %1 of unknown "
                                      "shipping outcome")
                           .arg(shipNo);
        return result;
    }
    result.outcome = WriteBackResult::Written;
    return result;
}

std::optional<RechargeOrder> OrderStore::order(const QString &orderNo)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->one;
    q.bindValue(0, columnText(orderNo));
    q.bindValue(1, columnText(m_userId));
    const auto orders = readOrders(q, QStringLiteral("order %1").arg(orderNo));
    if (!orders || orders->isEmpty())
        return std::nullopt;
    return orders->first();
}

std::optional<QList<RechargeOrder>> OrderStore::readOrders(QSqlQuery &q, const QString &what)
{
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot read %1").arg(what), q);
        return std::nullopt;
    }
    QList<RechargeOrder> orders;
    while (q.next())
        orders.append(orderFrom(q));
    const QSqlError error = q.lastError();
    // Done with the statement: a statement left open would hold on to an old
    // view of the file and hide what other processes wrote since.
    q.finish();
    if (error.isValid()) {
        fail(QStringLiteral("cannot read %1").arg(what), errorText(error));
        return std::nullopt;
    }
    return orders;
}

std::optional<QList<RechargeOrder>> OrderStore::读取订单()
{
    return 读取订单(m_clock.today());
}

std::optional<QList<RechargeOrder>> OrderStore::读取订单(const QDate &day)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->day;
    q.bindValue(0, columnText(m_userId));
    q.bindValue(1, storedTimeText(QDateTime(day, QTime(0, 0))));
    q.bindValue(2, storedTimeText(QDateTime(day.addDays(1), QTime(0, 0))));
    auto orders = readOrders(q, QStringLiteral("the orders of %1").arg(day.toString(Qt::ISODate)));
    if (orders)
        std::reverse(orders->begin(), orders->end()); // newest were read first
    return orders;
}

bool OrderStore::判断是否本地数据(const QString &orderNo)
{
    if (!ensureOpen())
        return false;
    QSqlQuery &q = *m_db->lookup;
    q.bindValue(0, columnText(orderNo));
    q.bindValue(1, columnText(m_userId));
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot look up order %1").arg(orderNo), q);
        return false;
    }
    if (!q.next()) {
        const QSqlError error = q.lastError();
        q.finish();
        if (error.isValid()) {
            fail(QStringLiteral("cannot look up order %1").arg(orderNo), errorText(error));
            return false;
        }
        return true;
    }
    // Listed again by the shop: known. A recharged one's code reaches its
    // buyer once it ships, through the delivery, not through a second line.
    q.finish();
    return false;
}

WriteBackResult OrderStore::writePollResult(const QString &rechargeId, OrderStatus status,
                                            const QString &cardCode)
{
    if (rechargeId.isEmpty()) {
        WriteBackResult result;
        result.outcome = WriteBackResult::NoKey;
        result.error = QStringLiteral("no recharge id given");
        return result;
    }
    return writeBack(QString(), statusNumber(status), cardCode, rechargeId, QString(), true);
}

WriteBackResult OrderStore::反写数据库状态(const QString &orderNo, OrderStatus status,
                                           const QString &cardCode, const QString &rechargeId,
                                           const QString &shipNo)
{
    return writeBack(orderNo, statusNumber(status), cardCode, rechargeId, shipNo, false);
}

WriteBackResult OrderStore::writeBack(const QString &orderNo, int status, const QString &cardCode,
                                      const QString &rechargeId, const QString &shipNo,
                                      bool onlyWaiting)
{
    WriteBackResult result;
    if (shipNo.isEmpty() && orderNo.isEmpty() && rechargeId.isEmpty()) {
        result.outcome = WriteBackResult::NoKey;
        result.error = QStringLiteral("no order number, recharge id or ship number given");
        return result;
    }
    // The column is a 16-bit number in the file the first release wrote.
    if (status < -32768 || status > 32767) {
        result.error = QStringLiteral("the status %1 is not a status number").arg(status);
        fail(QStringLiteral("cannot write the status"), result.error);
        return result;
    }
    if (!ensureOpen()) {
        result.error = m_lastError;
        return result;
    }

    QSqlQuery *q = nullptr;
    QString key;
    QString keyName;
    if (!shipNo.isEmpty()) {
        q = &*m_db->byShip;
        key = shipNo;
        keyName = QStringLiteral("ship number");
    } else if (!orderNo.isEmpty()) {
        q = &*m_db->byOrder;
        key = orderNo;
        keyName = QStringLiteral("order number");
    } else {
        q = onlyWaiting ? &*m_db->byPoll : &*m_db->byRecharge;
        key = rechargeId;
        keyName = QStringLiteral("recharge id");
    }
    return runUpdate(*q, keyName, key, status, cardCode, rechargeId, std::nullopt);
}

WriteBackResult OrderStore::runUpdate(QSqlQuery &q, const QString &keyName, const QString &key,
                                      int status, const QString &cardCode,
                                      const QString &rechargeId, std::optional<int> from)
{
    WriteBackResult result;
    q.bindValue(0, status);
    q.bindValue(1, columnText(cardCode));
    q.bindValue(2, columnText(rechargeId));
    q.bindValue(3, key);
    q.bindValue(4, columnText(m_userId));
    if (from) {
        // The condition stands twice, in the row's choice and on the row.
        q.bindValue(5, *from);
        q.bindValue(6, *from);
    }
    if (!q.exec()) {
        result.error = errorText(q.lastError());
        failQuery(QStringLiteral("cannot write the status of %1 %2").arg(keyName, key), q);
        return result;
    }
    const int changed = q.numRowsAffected();
    q.finish();
    if (changed < 1) {
        result.outcome = WriteBackResult::NoRow;
        result.error =
            from ? QStringLiteral("no order with %1 %2 at status %3").arg(keyName, key).arg(*from)
                 : QStringLiteral("no order with %1 %2").arg(keyName, key);
        return result;
    }
    result.outcome = WriteBackResult::Written;
    return result;
}

WriteBackResult OrderStore::moveOrder(const QString &orderNo, OrderStatus from, OrderStatus to,
                                      const QString &cardCode, const QString &rechargeId)
{
    return move(&Connection::orderFrom, QStringLiteral("order number"), orderNo, from, to, cardCode,
                rechargeId);
}

WriteBackResult OrderStore::moveShipment(const QString &shipNo, OrderStatus from, OrderStatus to)
{
    return move(&Connection::shipFrom, QStringLiteral("ship number"), shipNo, from, to, QString(),
                QString());
}

WriteBackResult OrderStore::move(std::optional<QSqlQuery> Connection::*statement,
                                 const QString &keyName, const QString &key, OrderStatus from,
                                 OrderStatus to, const QString &cardCode, const QString &rechargeId)
{
    WriteBackResult result;
    if (key.isEmpty()) {
        result.outcome = WriteBackResult::NoKey;
        result.error = QStringLiteral("no %1 given").arg(keyName);
        return result;
    }
    if (!ensureOpen()) {
        result.error = m_lastError;
        return result;
    }
    return runUpdate(*((*m_db).*statement), keyName, key, statusNumber(to), cardCode, rechargeId,
                     statusNumber(from));
}

bool OrderStore::inTransaction(const std::function<bool()> &work)
{
    if (!ensureOpen())
        return false;
    Connection &c = *m_db;
    QSqlQuery q(c.db);
    if (c.depth > 0) {
        // Within a transaction a savepoint: a part that fails is undone alone,
        // and a server keeps the rest of the transaction usable.
        const QString savepoint = QStringLiteral("part%1").arg(c.depth);
        if (!q.exec(QStringLiteral("SAVEPOINT ") + savepoint)) {
            failQuery(QStringLiteral("cannot begin a part of the transaction"), q);
            return false;
        }
        ++c.depth;
        const bool kept = work();
        --c.depth;
        if (kept && q.exec(QStringLiteral("RELEASE SAVEPOINT ") + savepoint))
            return true;
        if (!q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint) ||
            !q.exec(QStringLiteral("RELEASE SAVEPOINT ") + savepoint))
            failQuery(QStringLiteral("cannot undo a part of the transaction"), q);
        return false;
    }
    // SQLite takes the file for writing at once, so that the busy timeout
    // waits for another writer here rather than failing half-way.
    if (!q.exec(c.postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        failQuery(QStringLiteral("cannot begin a transaction"), q);
        return false;
    }
    c.depth = 1;
    c.failedInside = false;
    const bool kept = work();
    c.depth = 0;
    if (kept && !c.failedInside) {
        // QSqlDatabase::commit() reads the server's answer: exec("COMMIT")
        // succeeds on a transaction a server already aborted and rolled back.
        if (c.db.commit())
            return true;
        // The server has ended the transaction, or will with the ROLLBACK.
        fail(QStringLiteral("cannot commit"), errorText(c.db.lastError()));
    } else if (kept) {
        // The work did not notice; the transaction is thrown away all the same.
        fail(QStringLiteral("a statement of the transaction failed, nothing of it is kept"),
             m_lastError);
    }
    if (!q.exec(QStringLiteral("ROLLBACK")))
        failQuery(QStringLiteral("cannot roll back"), q);
    return false;
}

std::optional<QList<RechargeOrder>> OrderStore::waitingOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->waiting;
    q.bindValue(0, columnText(m_userId));
    return readOrders(q, QStringLiteral("the waiting orders"));
}

std::optional<QList<RechargeOrder>> OrderStore::pendingOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->pending;
    q.bindValue(0, columnText(m_userId));
    return readOrders(q, QStringLiteral("the pending orders"));
}

std::optional<QList<RechargeOrder>> OrderStore::rechargedShopOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->shipping;
    q.bindValue(0, columnText(m_userId));
    return readOrders(q, QStringLiteral("the recharged shop orders"));
}

bool OrderStore::addHandOver(const HandOver &h)
{
    if (!ensureOpen())
        return false;
    QSqlQuery q(m_db->db);
    q.prepare(QStringLiteral("INSERT INTO 卡密交接 (用户, 订单编号, 发货编号, 买家, 卡密, 状态, "
                             "原因, 次数, 时间, 席位) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                             "ON CONFLICT DO NOTHING"));
    for (const QVariant &v :
         {QVariant(columnText(m_userId)), QVariant(columnText(h.orderNo)),
          QVariant(columnText(h.shipNo)), QVariant(columnText(h.buyer)),
          QVariant(columnText(h.cardCode)), QVariant(int(h.state)), QVariant(columnText(h.reason)),
          QVariant(h.tries), QVariant(storedTimeText(h.time)), QVariant(columnText(seat()))})
        q.addBindValue(v);
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot keep the hand-over of order %1").arg(h.orderNo), q);
        return false;
    }
    return true;
}

WriteBackResult OrderStore::moveHandOver(const QString &orderNo, HandOverState from,
                                         HandOverState to, const QString &reason, bool tried)
{
    WriteBackResult result;
    if (!ensureOpen()) {
        result.error = m_lastError;
        return result;
    }
    QSqlQuery q(m_db->db);
    q.prepare(QStringLiteral("UPDATE 卡密交接 SET 状态 = ?, 原因 = ?, 次数 = 次数 + ? "
                             "WHERE 用户 = ? AND 订单编号 = ? AND 状态 = ?"));
    q.addBindValue(int(to));
    q.addBindValue(columnText(reason));
    q.addBindValue(tried ? 1 : 0);
    q.addBindValue(columnText(m_userId));
    q.addBindValue(columnText(orderNo));
    q.addBindValue(int(from));
    if (!q.exec()) {
        result.error = errorText(q.lastError());
        failQuery(QStringLiteral("cannot write the hand-over of order %1").arg(orderNo), q);
        return result;
    }
    result.outcome = q.numRowsAffected() > 0 ? WriteBackResult::Written : WriteBackResult::NoRow;
    if (!result.ok())
        result.error = QStringLiteral("no hand-over of order %1 in that state").arg(orderNo);
    return result;
}

std::optional<QList<HandOver>> OrderStore::handOvers(HandOverState state, bool thisSeatOnly)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery q(m_db->db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT 订单编号, 发货编号, 买家, 卡密, 状态, 原因, 次数, 时间, 席位 "
                             "FROM 卡密交接 WHERE 用户 = ? AND 状态 = ?%1 ORDER BY 时间, 订单编号")
                  .arg(thisSeatOnly ? QStringLiteral(" AND 席位 = ?") : QString()));
    q.addBindValue(columnText(m_userId));
    q.addBindValue(int(state));
    if (thisSeatOnly)
        q.addBindValue(columnText(seat()));
    if (!q.exec()) {
        failQuery(QStringLiteral("cannot read the hand-overs"), q);
        return std::nullopt;
    }
    QList<HandOver> out;
    while (q.next()) {
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                    q.value(3).toString(), HandOverState(q.value(4).toInt()), q.value(5).toString(),
                    q.value(6).toInt(), storedTimeFrom(q.value(7).toString()),
                    q.value(8).toString()});
    }
    return out;
}

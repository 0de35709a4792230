#include "orders/orderstore.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QtDebug>

#include <algorithm>
#include <iterator>

namespace {

// 充值时间 as text "yyyy-MM-dd HH:mm:ss": local time, to the second, so that
// text order is time order. Written and read by hand: QDateTime's format
// parser costs more than the query that reads the row.
QString timeText(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("");
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                             t.hour(), t.minute(), t.second());
}

QDateTime timeFrom(const QString &text)
{
    if (text.size() != 19)
        return {};
    const auto number = [&](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

constexpr int kBusyTimeoutMs = 5000;
constexpr int kDayListCap = 50;

// Every column of 充值订单, in the table's order. Text columns hold empty text
// rather than nothing, so a row read back never differs from the one written.
const char *const kCreateTable = "CREATE TABLE IF NOT EXISTS 充值订单 ("
                                 "类型 INTEGER NOT NULL DEFAULT 0, "
                                 "充值号码 TEXT NOT NULL DEFAULT '', "
                                 "充值业务 TEXT NOT NULL DEFAULT '', "
                                 "售价 REAL NOT NULL DEFAULT 0, "
                                 "数量 REAL NOT NULL DEFAULT 0, "
                                 "充值时间 TEXT NOT NULL DEFAULT '', "
                                 "买家昵称 TEXT NOT NULL DEFAULT '', "
                                 "充值状态 INTEGER NOT NULL DEFAULT -2, "
                                 "卡密 TEXT NOT NULL DEFAULT '', "
                                 "充值编号 TEXT NOT NULL DEFAULT '', "
                                 "打印 TEXT NOT NULL DEFAULT '', "
                                 "随机数 TEXT NOT NULL DEFAULT '', "
                                 "订单编号 TEXT NOT NULL DEFAULT '', "
                                 "发货编号 TEXT NOT NULL DEFAULT '', "
                                 "平台业务 TEXT NOT NULL DEFAULT '', "
                                 "服务区 TEXT NOT NULL DEFAULT '', "
                                 "实际数量 TEXT NOT NULL DEFAULT '', "
                                 "用户 TEXT NOT NULL DEFAULT '', "
                                 "查询地区 TEXT NOT NULL DEFAULT '', "
                                 "买家号码 TEXT NOT NULL DEFAULT '')";

// The lookups of the status polls (every 3 s), the delivery (every 5 s), the
// intake and the write-back, and the day's list at start-up. The status index
// carries 类型 so that the delivery's "type above 0" never walks the manual
// orders, which stay at status 1 for good.
const char *const kCreateIndexes[] = {
    "CREATE INDEX IF NOT EXISTS 充值订单_用户_状态 ON 充值订单 (用户, 充值状态, 类型)",
    "CREATE INDEX IF NOT EXISTS 充值订单_用户_订单编号 ON 充值订单 (用户, 订单编号)",
    "CREATE INDEX IF NOT EXISTS 充值订单_用户_发货编号 ON 充值订单 (用户, 发货编号)",
    "CREATE INDEX IF NOT EXISTS 充值订单_用户_充值编号 ON 充值订单 (用户, 充值编号)",
    "CREATE INDEX IF NOT EXISTS 充值订单_用户_充值时间 ON 充值订单 (用户, 充值时间)",
};

const char *const kColumns = "类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, 充值状态, "
                             "卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, 平台业务, 服务区, "
                             "实际数量, 用户, 查询地区, 买家号码";

// Each update touches the first row (in entry order) with the key.
QString updateSql(const char *keyColumn)
{
    return QStringLiteral("UPDATE 充值订单 SET 充值状态 = ?, "
                          "卡密 = COALESCE(NULLIF(?, ''), 卡密), "
                          "充值编号 = COALESCE(NULLIF(?, ''), 充值编号) "
                          "WHERE rowid = (SELECT rowid FROM 充值订单 WHERE %1 = ? AND 用户 = ? "
                          "ORDER BY rowid LIMIT 1)")
        .arg(QString::fromUtf8(keyColumn));
}

// A null QString binds as SQL NULL, which the NOT NULL text columns refuse.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
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
    o.rechargeTime = timeFrom(q.value(5).toString());
    o.buyerNick = q.value(6).toString();
    o.status = q.value(7).toInt();
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
    return o;
}

QAtomicInt connectionCounter;

} // namespace

struct OrderStore::Connection
{
    Connection()
        : name(QStringLiteral("orderstore-%1").arg(connectionCounter.fetchAndAddRelaxed(1))),
          db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name))
    {}
    ~Connection()
    {
        for (auto *q :
             {&insert, &lookup, &day, &waiting, &shipping, &byShip, &byOrder, &byRecharge})
            q->reset();
        db.close();
    }

    QString name;
    QSqlDatabase db;
    std::optional<QSqlQuery> insert;
    std::optional<QSqlQuery> lookup;
    std::optional<QSqlQuery> day;
    std::optional<QSqlQuery> waiting;
    std::optional<QSqlQuery> pending;
    std::optional<QSqlQuery> shipping;
    std::optional<QSqlQuery> byShip;
    std::optional<QSqlQuery> byOrder;
    std::optional<QSqlQuery> byRecharge;
};

OrderStore::OrderStore(const QString &path, const QString &userId) : m_path(path), m_userId(userId)
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
    m_lastError = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
    qWarning().noquote() << "order store" << m_path << "-" << m_lastError;
}

bool OrderStore::open()
{
    return ensureOpen();
}

bool OrderStore::ensureOpen()
{
    if (m_db)
        return true;
    auto c = std::make_unique<Connection>();
    const QString name = c->name;
    // Gives the connection back to Qt when the file turns out unusable.
    auto giveUp = [&](const QString &what, const QString &detail) {
        c.reset();
        QSqlDatabase::removeDatabase(name);
        fail(what, detail);
        return false;
    };

    c->db.setDatabaseName(m_path);
    c->db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!c->db.open())
        return giveUp(QStringLiteral("cannot open the file"), errorText(c->db.lastError()));

    {
        QSqlQuery q(c->db);
        if (!q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyTimeoutMs)))
            return giveUp(QStringLiteral("cannot set the busy timeout"), errorText(q.lastError()));
        if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
            return giveUp(QStringLiteral("cannot read the file"), errorText(q.lastError()));
        // A file system without shared memory keeps the rollback journal:
        // slower for two processes, still correct with the busy timeout.
        if (q.next() && q.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0)
            qWarning().noquote() << "order store" << m_path << "- journal mode stays"
                                 << q.value(0).toString();
        q.finish();
        if (!q.exec(QString::fromUtf8(kCreateTable)))
            return giveUp(QStringLiteral("cannot create the table 充值订单"),
                          errorText(q.lastError()));
        for (const char *sql : kCreateIndexes) {
            if (!q.exec(QString::fromUtf8(sql)))
                return giveUp(QStringLiteral("cannot create an index"), errorText(q.lastError()));
        }
    }

    const QString columns = QString::fromUtf8(kColumns);
    const struct
    {
        std::optional<QSqlQuery> *query;
        QString sql;
    } statements[] = {
        {&c->insert,
         QStringLiteral("INSERT INTO 充值订单 (类型, 充值号码, 充值业务, 售价, 数量, 充值时间, "
                        "买家昵称, 充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, "
                        "平台业务, 服务区, 实际数量, 用户, 查询地区) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")},
        {&c->lookup, QStringLiteral("SELECT 充值状态, 卡密, 买家号码 FROM 充值订单 "
                                    "WHERE 订单编号 = ? AND 用户 = ? ORDER BY rowid LIMIT 1")},
        {&c->day, QStringLiteral("SELECT %1 FROM 充值订单 "
                                 "WHERE 用户 = ? AND 充值时间 >= ? AND 充值时间 < ? "
                                 "ORDER BY 充值时间 DESC, rowid DESC LIMIT %2")
                      .arg(columns)
                      .arg(kDayListCap)},
        {&c->pending,
         QStringLiteral("SELECT %1 FROM 充值订单 WHERE 用户 = ? AND 充值状态 IN (-2, -1) "
                        "ORDER BY rowid")
             .arg(columns)},
        {&c->waiting, QStringLiteral("SELECT %1 FROM 充值订单 WHERE 用户 = ? AND 充值状态 = 0 "
                                     "ORDER BY rowid")
                          .arg(columns)},
        {&c->shipping, QStringLiteral("SELECT %1 FROM 充值订单 "
                                      "WHERE 用户 = ? AND 充值状态 = 1 AND 类型 > 0 "
                                      "ORDER BY rowid")
                           .arg(columns)},
        {&c->byShip, updateSql("发货编号")},
        {&c->byOrder, updateSql("订单编号")},
        {&c->byRecharge, updateSql("充值编号")},
    };
    for (const auto &s : statements) {
        s.query->emplace(c->db);
        (*s.query)->setForwardOnly(true);
        if (!(*s.query)->prepare(s.sql))
            return giveUp(QStringLiteral("cannot prepare a statement"),
                          errorText((*s.query)->lastError()));
    }
    m_db = std::move(c);
    return true;
}

bool OrderStore::插入订单(const RechargeOrder &o)
{
    if (!ensureOpen())
        return false;
    QSqlQuery &q = *m_db->insert;
    const QVariant values[] = {
        o.orderType,
        text(o.rechargeAccount),
        text(o.productName),
        o.salePrice,
        o.quantity,
        timeText(o.rechargeTime),
        text(o.buyerNick),
        o.status,
        text(o.cardCode),
        text(o.rechargeId),
        text(o.printMark),
        text(o.randomNo),
        text(o.orderNo),
        text(o.shipNo),
        text(o.platformProduct),
        text(o.serverArea),
        text(o.actualQuantity),
        text(m_userId),
        text(o.queryArea),
    };
    for (int i = 0; i < int(std::size(values)); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        fail(QStringLiteral("cannot store order %1").arg(o.orderNo), errorText(q.lastError()));
        return false;
    }
    return true;
}

std::optional<QList<RechargeOrder>> OrderStore::readOrders(QSqlQuery &q, const QString &what)
{
    if (!q.exec()) {
        fail(QStringLiteral("cannot read %1").arg(what), errorText(q.lastError()));
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
    return 读取订单(QDate::currentDate());
}

std::optional<QList<RechargeOrder>> OrderStore::读取订单(const QDate &day)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->day;
    q.bindValue(0, text(m_userId));
    q.bindValue(1, timeText(QDateTime(day, QTime(0, 0))));
    q.bindValue(2, timeText(QDateTime(day.addDays(1), QTime(0, 0))));
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
    q.bindValue(0, text(orderNo));
    q.bindValue(1, text(m_userId));
    if (!q.exec()) {
        fail(QStringLiteral("cannot look up order %1").arg(orderNo), errorText(q.lastError()));
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
    const int status = q.value(0).toInt();
    const QString cardCode = q.value(1).toString();
    const QString buyerNumber = q.value(2).toString();
    q.finish();
    // The shop lists a recharged order again: its buyer may still wait for
    // the card code, so the delivery is asked to send it once more.
    if (status == OrderStatus::Recharged && m_feedback) {
        m_feedback(QStringLiteral("补反馈<o>") + orderNo + QStringLiteral("<o>1<o>") + cardCode +
                   QStringLiteral("<o>") + buyerNumber);
    }
    return false;
}

WriteBackResult OrderStore::反写数据库状态(const QString &orderNo, const QString &statusText,
                                           const QString &cardCode, const QString &rechargeId,
                                           const QString &shipNo)
{
    WriteBackResult result;
    if (shipNo.isEmpty() && orderNo.isEmpty() && rechargeId.isEmpty()) {
        result.outcome = WriteBackResult::NoKey;
        result.error = QStringLiteral("no order number, recharge id or ship number given");
        return result;
    }
    bool isNumber = false;
    const int status = statusText.trimmed().toInt(&isNumber);
    if (!isNumber || status < -32768 || status > 32767) {
        result.error = QStringLiteral("the status \"%1\" is not a status number").arg(statusText);
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
        q = &*m_db->byRecharge;
        key = rechargeId;
        keyName = QStringLiteral("recharge id");
    }
    q->bindValue(0, status);
    q->bindValue(1, text(cardCode));
    q->bindValue(2, text(rechargeId));
    q->bindValue(3, key);
    q->bindValue(4, text(m_userId));
    if (!q->exec()) {
        result.error = errorText(q->lastError());
        fail(QStringLiteral("cannot write the status of %1 %2").arg(keyName, key), result.error);
        return result;
    }
    const int changed = q->numRowsAffected();
    q->finish();
    if (changed < 1) {
        result.outcome = WriteBackResult::NoRow;
        result.error = QStringLiteral("no order with %1 %2").arg(keyName, key);
        return result;
    }
    result.outcome = WriteBackResult::Written;
    return result;
}

bool OrderStore::inTransaction(const std::function<bool()> &work)
{
    if (!ensureOpen())
        return false;
    QSqlQuery q(m_db->db);
    // Taken for writing at once, so that the busy timeout waits for another
    // writer here rather than failing half-way.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(QStringLiteral("cannot begin a transaction"), errorText(q.lastError()));
        return false;
    }
    if (work() && q.exec(QStringLiteral("COMMIT")))
        return true;
    if (q.lastError().isValid())
        fail(QStringLiteral("cannot commit"), errorText(q.lastError()));
    if (!q.exec(QStringLiteral("ROLLBACK")))
        fail(QStringLiteral("cannot roll back"), errorText(q.lastError()));
    return false;
}

std::optional<QList<RechargeOrder>> OrderStore::waitingOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->waiting;
    q.bindValue(0, text(m_userId));
    return readOrders(q, QStringLiteral("the waiting orders"));
}

std::optional<QList<RechargeOrder>> OrderStore::pendingOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->pending;
    q.bindValue(0, text(m_userId));
    return readOrders(q, QStringLiteral("the pending orders"));
}

std::optional<QList<RechargeOrder>> OrderStore::rechargedShopOrders()
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlQuery &q = *m_db->shipping;
    q.bindValue(0, text(m_userId));
    return readOrders(q, QStringLiteral("the recharged shop orders"));
}

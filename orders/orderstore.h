#pragma once

#include "app/core/clock.h"
#include "app/core/config.h"
#include "orders/rechargeorder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSqlDatabase;
class QSqlQuery;

// What 反写数据库状态 did.
struct WriteBackResult
{
    enum Outcome
    {
        Written, // one row updated
        NoKey,   // order number, recharge id and ship number all empty: nothing written
        NoRow,   // no row of this account has the chosen key: nothing written
        Failed,  // the file could not be used or the status text is no number
    };
    Outcome outcome = Failed;
    QString error; // empty when written

    bool ok() const { return outcome == Written; }
};

// What a claim on an order came to.
enum class Claim
{
    Claimed,        // this seat has it now
    TakenElsewhere, // another seat (or an earlier step) has it: leave it alone
    Failed,         // the store could not be asked: nothing changed
};

// What taking a shop order into the store came to.
enum class Take
{
    Taken,         // this call made the row
    AlreadyStored, // the account holds the order already (another seat, or before)
    Failed,        // the store could not be asked: nothing is known
};

// The table 充值订单, in an SQLite file (data.mdb, the one-seat default) or on
// a PostgreSQL server that the seats of one agent share.
//
// One connection stays open for the store's life with its statements prepared
// once, so the lookups that run every few seconds cost an index probe and no
// schema work. The database is opened, and its schema created or upgraded, on
// first use; an operation that cannot open it fails and the next one tries
// again. With SQLite, WAL and a busy timeout let two processes write the same
// file without losing a row.
//
// Several seats never take, send or ship one order twice, by the database
// rather than by timing: a shop order is taken by the insert that made its row
// (a unique index on account and order number), sent by the seat whose
// conditional update moved it from -2 to -1, and shipped by the seat whose
// conditional update claimed it.
//
// Every query is restricted to the store's account (userId), and every
// inserted row carries it and the seat's name. Values are always bound as
// parameters.
//
// 充值时间 is kept as local time text "yyyy-MM-dd HH:mm:ss", which sorts and
// compares as the time does; fractions of a second are not kept.
class OrderStore
{
public:
    // The schema this client writes; a store of a later one is refused.
    static constexpr int kSchemaVersion = 3;

    // An SQLite file; the seat is the host name.
    OrderStore(const QString &path, const QString &userId, const Clock &clock = systemClock());
    OrderStore(const OrderDatabase &database, const QString &userId,
               const Clock &clock = systemClock());
    ~OrderStore();
    OrderStore(const OrderStore &) = delete;
    OrderStore &operator=(const OrderStore &) = delete;

    // The file, or "host:port/database" of the server.
    QString path() const { return m_path; }
    const OrderDatabase &database() const { return m_database; }
    QString seat() const { return m_database.seat; }
    QString userId() const { return m_userId; }
    // The time the engine around this store goes by.
    const Clock &clock() const { return m_clock; }
    void setUserId(const QString &userId) { m_userId = userId; }

    // Opens the file now; operations open it on first use anyway.
    bool open();
    bool isOpen() const { return m_db != nullptr; }
    // Why the last failing operation failed.
    QString lastError() const { return m_lastError; }

    // For the tables kept beside 充值订单 (未匹配订单), which share its
    // database, its schema and its transactions: the open connection, not
    // open when the store cannot be opened.
    QSqlDatabase connection();
    // A statement of theirs failed: told and handled as one of the store's.
    void statementFailed(const QString &what, const QSqlQuery &query);

    // Appends one row; 用户 is the store's account, 席位 this seat, 买家号码
    // is left empty.
    bool 插入订单(const RechargeOrder &order);

    // Inserts a shop order unless the account holds its order number already;
    // Taken only when this call made the row.
    Take takeShopOrder(const RechargeOrder &order);

    // Moves the account's order from -2 to -1, only if it is still -2: the
    // seat that gets Claimed is the one that sends it.
    Claim claimForSubmission(const QString &orderNo);
    // Marks the recharged shop order (status 1) with the ship number as this
    // seat's to ship, only if no seat has it yet. From the claim on the order
    // says a consign of it may be out (consignUnknown).
    Claim claimForShipping(const QString &shipNo);
    // Gives a claimed order back, so that a later step ships it again. What
    // came of its consign: nothing out (the shop refused it, or it never
    // left), still doubted when it was (see RechargeOrder::consignDoubted);
    // or it may be out, to be decided by the shop's list (after a doubted
    // refusal, a list that still offers it ends the doubt: a later refusal is
    // believed).
    enum class Consign
    {
        NotTaken,
        NotTakenStillDoubted,
        MayBeOut,
        MayBeOutAfterDoubt,
    };
    bool releaseShipping(const QString &shipNo, Consign consign = Consign::NotTaken);
    // The shop still lists the order (status 1, claimed by no seat) whose
    // shipping outcome was unknown: no consign of it was taken. NoRow when it
    // is not such an order (any more).
    WriteBackResult clearConsignUnknown(const QString &shipNo);

    // The account's order with the number as stored now; nullopt when none
    // or when it cannot be read.
    std::optional<RechargeOrder> order(const QString &orderNo);

    // The account's 50 most recent orders of the given local calendar day (of
    // today without argument), returned OLDEST FIRST: a list that puts each
    // order it is given at the top ends with the newest on top. Orders of the
    // same second keep the order in which they were entered. Empty optional
    // when the file cannot be read.
    std::optional<QList<RechargeOrder>> 读取订单();
    std::optional<QList<RechargeOrder>> 读取订单(const QDate &day);

    // True when the account holds no order with this order number (a new
    // order). False when it holds one, and also when the lookup fails, so that
    // a failure never lets an order in twice.
    bool 判断是否本地数据(const QString &orderNo);

    // Writes a status reported for one order. The row is chosen by ship number
    // when given, else by order number when given (or when no recharge id is
    // given either), else by recharge id; the first such row of the account is
    // updated. An empty card code or recharge id keeps the stored value.
    WriteBackResult 反写数据库状态(const QString &orderNo, OrderStatus status,
                                   const QString &cardCode, const QString &rechargeId,
                                   const QString &shipNo);

    // Runs the writes of work in one transaction: all of them are kept when it
    // returns true and the commit succeeds, none otherwise. True when kept.
    // Called within another, it is a part of that one (a savepoint): undone
    // alone when work returns false, kept only if the whole is committed.
    bool inTransaction(const std::function<bool()> &work);

    // A status poll's answer for one recharge id: written only while the order
    // still waits on the platform (status 0), so that a late answer never
    // moves back an order another seat has carried on. NoRow when none waits.
    WriteBackResult writePollResult(const QString &rechargeId, OrderStatus status,
                                    const QString &cardCode);

    // Writes the status only while the order is still at `from`, the status
    // the caller saw: NoRow when it has moved on (another seat, or a later
    // step), and nothing is written. An empty card code or recharge id keeps
    // the stored value.
    WriteBackResult moveOrder(const QString &orderNo, OrderStatus from, OrderStatus to,
                              const QString &cardCode = {}, const QString &rechargeId = {});
    // The same for the order with the ship number.
    WriteBackResult moveShipment(const QString &shipNo, OrderStatus from, OrderStatus to);

    // The card codes on their way to Taobao buyers (卡密交接), one per order.
    // Kept unless the order has one already; false when the store failed.
    bool addHandOver(const HandOver &handOver);
    // Moves a hand-over on only while it is in `from`; tried counts a try.
    WriteBackResult moveHandOver(const QString &orderNo, HandOverState from, HandOverState to,
                                 const QString &reason, bool tried);
    // The account's hand-overs in the state, oldest first; only this seat's
    // when asked (each seat hands over what it shipped).
    std::optional<QList<HandOver>> handOvers(HandOverState state, bool thisSeatOnly);

    // The account's orders the platform is still working on (status 0), for the
    // status polls; in the order they were entered.
    std::optional<QList<RechargeOrder>> waitingOrders();
    // The account's orders of any day that were never sent (-2) or were sent
    // and got no answer (-1), in the order they were entered.
    std::optional<QList<RechargeOrder>> pendingOrders();
    // The account's recharged shop orders (status 1, type above 0) that still
    // have to be marked shipped and that no seat is shipping; in the order
    // they were entered. Those of unknown shipping outcome among them wait for
    // the shop's order list rather than for a consign.
    std::optional<QList<RechargeOrder>> rechargedShopOrders();

private:
    struct Connection;

    bool ensureOpen();
    bool prepareSchema(Connection &c);
    void fail(const QString &what, const QString &detail);
    void failQuery(const QString &what, const QSqlQuery &query);
    Claim claim(QSqlQuery &query, const QString &what);
    WriteBackResult writeBack(const QString &orderNo, int status, const QString &cardCode,
                              const QString &rechargeId, const QString &shipNo, bool onlyWaiting);
    // A conditional move by the key the statement (a member of Connection) takes.
    WriteBackResult move(std::optional<QSqlQuery> Connection::*statement, const QString &keyName,
                         const QString &key, OrderStatus from, OrderStatus to,
                         const QString &cardCode, const QString &rechargeId);
    WriteBackResult runUpdate(QSqlQuery &query, const QString &keyName, const QString &key,
                              int status, const QString &cardCode, const QString &rechargeId,
                              std::optional<int> from);
    std::optional<QList<RechargeOrder>> readOrders(QSqlQuery &query, const QString &what);

    OrderDatabase m_database;
    QString m_path;
    QString m_userId;
    const Clock &m_clock;
    bool m_broken = false; // the server connection was lost: make a new one
    QString m_lastError;
    std::unique_ptr<Connection> m_db;
};

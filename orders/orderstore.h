#pragma once

#include "orders/rechargeorder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

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

// The table 充值订单 in one SQLite file (data.mdb), shared by every account
// that logs in on this computer and by other client processes.
//
// One connection stays open for the store's life with its statements prepared
// once, so the lookups that run every few seconds cost an index probe and no
// schema work. The file is opened, and the table and its indexes created, on
// first use; an operation that cannot open it fails and the next one tries
// again. WAL and a busy timeout let two processes write the same file without
// losing a row.
//
// Every query is restricted to the store's account (userId), and every
// inserted row carries it. The account is fixed when the store is made (the
// recharge session passes the user id of the login) and can be changed
// with setUserId. Values are always bound as parameters.
//
// 充值时间 is kept as local time text "yyyy-MM-dd HH:mm:ss", which sorts and
// compares as the time does; fractions of a second are not kept.
class OrderStore
{
public:
    using FeedbackSink = std::function<void(const QString &line)>;

    OrderStore(const QString &path, const QString &userId);
    ~OrderStore();
    OrderStore(const OrderStore &) = delete;
    OrderStore &operator=(const OrderStore &) = delete;

    QString path() const { return m_path; }
    QString userId() const { return m_userId; }
    void setUserId(const QString &userId) { m_userId = userId; }

    // Receives the re-feedback lines "补反馈<o>…" of 判断是否本地数据 (the
    // pending-feedback queue List反馈 of the delivery).
    void setFeedbackSink(FeedbackSink sink) { m_feedback = std::move(sink); }

    // Opens the file now; operations open it on first use anyway.
    bool open();
    bool isOpen() const { return m_db != nullptr; }
    // Why the last failing operation failed.
    QString lastError() const { return m_lastError; }

    // Appends one row; 用户 is the store's account, 买家号码 is left empty.
    bool 插入订单(const RechargeOrder &order);

    // The account's 50 most recent orders of the given local calendar day (of
    // today without argument), returned OLDEST FIRST: a list that puts each
    // order it is given at the top ends with the newest on top. Orders of the
    // same second keep the order in which they were entered. Empty optional
    // when the file cannot be read.
    std::optional<QList<RechargeOrder>> 读取订单();
    std::optional<QList<RechargeOrder>> 读取订单(const QDate &day);

    // True when the account holds no order with this order number (a new
    // order). False when it holds one, and also when the lookup fails, so that
    // a failure never lets an order in twice. A stored order of status 1 sends
    // its re-feedback line to the feedback sink.
    bool 判断是否本地数据(const QString &orderNo);

    // Writes a status reported for one order. The row is chosen by ship number
    // when given, else by order number when given (or when no recharge id is
    // given either), else by recharge id; the first such row of the account is
    // updated. An empty card code or recharge id keeps the stored value.
    WriteBackResult 反写数据库状态(const QString &orderNo, const QString &statusText,
                                   const QString &cardCode, const QString &rechargeId,
                                   const QString &shipNo);

    // Runs the writes of work in one transaction: all of them are kept when it
    // returns true and the commit succeeds, none otherwise. True when kept.
    bool inTransaction(const std::function<bool()> &work);

    // The account's orders the platform is still working on (status 0), for the
    // status polls; in the order they were entered.
    std::optional<QList<RechargeOrder>> waitingOrders();
    // The account's orders of any day that were never sent (-2) or were sent
    // and got no answer (-1), in the order they were entered.
    std::optional<QList<RechargeOrder>> pendingOrders();
    // The account's recharged shop orders (status 1, type above 0) that still
    // have to be marked shipped; in the order they were entered.
    std::optional<QList<RechargeOrder>> rechargedShopOrders();

private:
    struct Connection;

    bool ensureOpen();
    void fail(const QString &what, const QString &detail);
    std::optional<QList<RechargeOrder>> readOrders(QSqlQuery &query, const QString &what);

    QString m_path;
    QString m_userId;
    FeedbackSink m_feedback;
    QString m_lastError;
    std::unique_ptr<Connection> m_db;
};

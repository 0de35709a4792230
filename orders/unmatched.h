#pragma once

#include "orders/orderstore.h"
#include "orders/rechargeorder.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <optional>

class OrderLedger;

// Where an order that no catalogue product matched stands; stored as these
// numbers in 未匹配订单.状态.
enum class UnmatchedState : int
{
    Waiting = 0,   // the buyer paid and waits; the agent has not decided
    Recharged = 1, // the agent chose a product: it went on as a shop order at -2
    Dismissed = 2, // the agent decided not to recharge it
};

// A paid shop order as the shop described it, kept because the catalogue
// could not say what to recharge for it.
struct UnmatchedOrder
{
    int orderType = 1; // 1 Taobao, 2 Paipai
    QString orderNo;
    QString shipNo;
    QString buyerNick;
    QString rechargeAccount;
    QString productName;  // the item title
    QString quantityText; // the bought count, as the shop wrote it
    QString serverArea;
    QString queryArea;
    QDateTime firstSeen;
    QString seat; // the seat that found it (written by the store)
    UnmatchedState state = UnmatchedState::Waiting;
    QString decidedBy;
    QString decidedSeat;
    QDateTime decidedAt;
};

// The shop's description kept, first seen now; and back, for the intake's
// own make of an order once the agent has chosen a product.
UnmatchedOrder unmatchedOf(const NewOrder &order, const QDateTime &firstSeen);
NewOrder newOrderOf(const UnmatchedOrder &order);

// The table 未匹配订单, beside 充值订单 in the same database and on the
// store's connection, so that a decision and the order it makes are one
// transaction. One row per order number of an account, as for shop orders:
// a second harvest or a second seat finds it there and changes nothing. A
// decision is written only while the row still waits, so that of two clicks,
// two seats or a click and a restart exactly one counts.
class UnmatchedOrders
{
public:
    explicit UnmatchedOrders(OrderStore &store);

    // Taken only when this call made the row.
    Take record(const UnmatchedOrder &order);
    // The account's orders that still wait for the agent, oldest first. One
    // that 充值订单 holds meanwhile (the catalogue has learned its product and
    // the intake took it) is no longer waiting for anybody and is left out.
    std::optional<QList<UnmatchedOrder>> waiting();
    std::optional<UnmatchedOrder> order(const QString &orderNo);
    // Waiting → to, only if it still waits: Claimed for the decision that
    // counts, TakenElsewhere when another one came first.
    Claim decide(const QString &orderNo, UnmatchedState to, const QString &decidedBy,
                 const QDateTime &at);

    QString lastError() const { return m_store.lastError(); }

private:
    // On the store's connection; nothing when the store cannot be opened.
    std::optional<QSqlQuery> query();
    std::optional<QList<UnmatchedOrder>> read(QSqlQuery &query, const QString &what);

    OrderStore &m_store;
};

// The line List2 shows for an order: source, order number, buyer, account,
// title and count.
QString unmatchedLine(const UnmatchedOrder &order);

// The unmatched orders that wait, one line each, for the list List2 of the
// main window: those of the store at start-up and on a refresh, and those
// found since; an order leaves it once decided. Clearing it
// (清除不能发货商品) only empties the list for this run: the orders still
// wait at the desk, and a restart lists them again.
class UnmatchedList : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        OrderNoRole = Qt::UserRole + 1,
    };

    explicit UnmatchedList(OrderLedger &ledger, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const UnmatchedOrder &at(int row) const { return m_orders.at(row); }
    int rowOf(const QString &orderNo) const;

    // The waiting orders as the store holds them now, but those cleared.
    bool reload();
    void clear();

private:
    void add(const UnmatchedOrder &order);
    void drop(const QString &orderNo);

    OrderLedger &m_ledger;
    QList<UnmatchedOrder> m_orders; // newest on top
    QSet<QString> m_cleared;
};

#pragma once

#include "app/core/config.h"
#include "orders/rechargeorder.h"
#include "orders/unmatched.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class OrderBook;
class OrderHistory;
class OrderLedger;
class Prompter;
struct StepResult;

// The decisions the agent takes by hand on an order, kept for good in the
// table 人工处理记录 of data.mdb: who, when, on which order, from which status
// to which.
inline const QString kDecisionRecharged = QStringLiteral("已充值");
inline const QString kDecisionNotRecharged = QStringLiteral("未充值");
inline const QString kDecisionResubmit = QStringLiteral("重新提交");
inline const QString kDecisionResend = QStringLiteral("重新发送");
inline const QString kDecisionHandedByHand = QStringLiteral("已手工发送");
// On a paid shop order that no catalogue product matched.
inline const QString kDecisionRechargeUnmatched = QStringLiteral("选择商品充值");
inline const QString kDecisionDismissUnmatched = QStringLiteral("不予充值");
// 原状态 of a decision on such an order: it had no status in 充值订单 yet (a
// number that is no status, so it shows no text).
inline constexpr OrderStatus kUnmatchedStatus = statusFromNumber(-3);

struct Decision
{
    QDateTime time;
    QString userId;
    QString operatorName;
    QString orderNo;
    QString rechargeAccount;
    double salePrice = 0;
    OrderStatus fromStatus = OrderStatus::Accepted;
    OrderStatus toStatus = OrderStatus::Accepted;
    QString decision;
};

class DecisionLog
{
public:
    DecisionLog(const QString &path, const QString &userId);
    DecisionLog(const OrderDatabase &database, const QString &userId);
    ~DecisionLog();
    DecisionLog(const DecisionLog &) = delete;
    DecisionLog &operator=(const DecisionLog &) = delete;

    bool record(const Decision &decision);
    // The account's decisions, oldest first; of one order when given.
    std::optional<QList<Decision>> decisions(const QString &orderNo = {});
    QString lastError() const { return m_lastError; }

private:
    bool ensureOpen();

    OrderDatabase m_database;
    QString m_userId;
    QString m_connection;
    QString m_lastError;
};

// Why an order needs the agent.
enum class Trouble
{
    Unknown,         // sent, no readable answer: may or may not be recharged
    SubmitFailed,    // 提交失败: never reached the platform, or checked as not recharged
    ConsignFailing,  // recharged, the shop will not take the shipping mark
    HandOverFailed,  // the card code could not be typed to the buyer
    HandOverWaiting, // the card code still waits for the messenger
    Unmatched,       // paid in a shop, but no catalogue product matched it
};

struct UnresolvedOrder
{
    Trouble trouble = Trouble::Unknown;
    RechargeOrder order; // for a hand-over only buyer and card code may be known
    QString what;
    QDateTime when;
    std::optional<HandOver> handOver; // a hand-over kept in the store
    UnmatchedOrder unmatched;         // for Trouble::Unmatched: what the shop said
};

// Every order that needs the agent: the unknown and failed submissions and
// the paid shop orders no product matched, from the store (every day, not
// only today's), and the shipping marks and card hand-overs that failed since
// start-up, as the delivery reports them.
class UnresolvedOrders : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kLimit = 1000;

    // The book, when given, tells an order still out (status -1 without a
    // note) from one whose answer never came. The unmatched orders, when
    // given, are those of the ledger's store.
    UnresolvedOrders(OrderHistory &history, DecisionLog &log, const OrderBook *book = nullptr,
                     UnmatchedOrders *unmatched = nullptr, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Tells an order whose request is still out from one of unknown outcome;
    // without it, an order at -1 that the book shows without a note is out.
    void setInFlight(std::function<bool(const QString &orderNo)> inFlight)
    {
        m_inFlight = std::move(inFlight);
    }

    // The card codes kept in the store that wait or failed; while set, they
    // stand in for the hand-overs reported since start-up.
    using HandOverSource = std::function<std::optional<QList<HandOver>>()>;
    void setHandOvers(HandOverSource source) { m_handOvers = std::move(source); }

    bool refresh();
    QString lastError() const { return m_lastError; }
    const UnresolvedOrder &at(int row) const { return m_rows.at(row); }
    int rowOf(const QString &orderNo) const;

    // From the delivery and the hand-over; kept until the order ships or the
    // hand-over succeeds. The latest reason stands.
    void consignFailed(const QString &shipNo, const QString &reason);
    void shipped(const QString &shipNo);
    void handOverFailed(const QString &buyer, const QString &cardCode, const QString &reason);
    void handedOver(const QString &buyer, const QString &cardCode);

private:
    OrderHistory &m_history;
    DecisionLog &m_log;
    const OrderBook *m_book;
    UnmatchedOrders *m_unmatched;
    std::function<bool(const QString &)> m_inFlight;
    HandOverSource m_handOvers;
    QList<UnresolvedOrder> m_rows;
    QHash<QString, UnresolvedOrder> m_consign;  // by ship number
    QHash<QString, UnresolvedOrder> m_handOver; // by buyer + card code
    QString m_lastError;
};

// The agent's hand decisions on an unknown or failed order. Each asks first,
// naming order, number and amount; records it in the ledger, only if the
// order still stands as the agent saw it; and logs the decision. An
// order checked as not recharged is never sent again by the client on its
// own: only resubmit() puts it back to 等待提交, after a confirmation of its
// own. A paid shop order no product matched is recharged as the product and
// amount the agent chose, or not at all, once.
class OrderDecisions : public QObject
{
    Q_OBJECT
public:
    // What the catalogue makes of a product chosen from it and an amount:
    // its CatalogueMatch as for a counter order, nothing when it offers no
    // such product or amount.
    using Resolver =
        std::function<std::optional<CatalogueMatch>(const QString &product, const QString &amount)>;

    OrderDecisions(OrderLedger &ledger, DecisionLog &log, Prompter &prompter, const QString &title,
                   const QString &operatorName, Resolver resolver = {}, QObject *parent = nullptr);

    // Only for an order of unknown outcome (status -1).
    bool markRecharged(const RechargeOrder &order);
    bool markNotRecharged(const RechargeOrder &order);
    // Only for an order that failed to submit (status 4).
    bool resubmit(const RechargeOrder &order);
    // A card code that waits or failed: typed once more by the messenger, or
    // marked as sent by the agent another way.
    bool resendHandOver(const HandOver &handOver);
    bool markHandedByHand(const HandOver &handOver);
    // Only for an unmatched order that still waits. Once recharged it is a
    // shop order at 等待提交, shipped as any other when recharged.
    bool rechargeUnmatched(const UnmatchedOrder &order, const QString &product,
                           const QString &amount);
    bool dismissUnmatched(const UnmatchedOrder &order);

signals:
    void decided(const QString &orderNo);
    // The order waits again; the submission should be asked to send orders of this kind.
    void resubmitted(const QString &orderNo, int orderType);
    // The code waits again: the messenger should take it.
    void handOverResent(const HandOver &handOver);
    // The agent sent the code another way: nothing is pending for it.
    void handedByHand(const HandOver &handOver);

private:
    bool apply(const RechargeOrder &order, OrderStatus toStatus, const QString &decision,
               const QString &question, const QString &note);
    bool moveHandOver(const HandOver &handOver, HandOverState to, const QString &decision,
                      const QString &question);
    // Tells the agent what came of a decision on an unmatched order; true when done.
    bool unmatchedOutcome(const StepResult &result);
    void log(const RechargeOrder &order, OrderStatus from, OrderStatus to, const QString &decision);

    OrderLedger &m_ledger;
    DecisionLog &m_log;
    Prompter &m_prompter;
    QString m_title;
    QString m_operator;
    Resolver m_resolver;
};

// "订单 <no>，号码 <account>，金额 <price> 元"
QString orderSummary(const RechargeOrder &order);

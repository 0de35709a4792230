#pragma once

#include "orders/orderbook.h"
#include "orders/orderstore.h"
#include "orders/unmatched.h"

#include <QObject>
#include <functional>
#include <optional>

// Shown in the status cell of an order whose request went out but whose
// answer never came or could not be read. The platform may have recharged
// it, so the client never sends it again (the scans only take "等待提交"
// rows); the agent looks it up in the sales records. The store keeps it at -1.
inline const QString kOutcomeUnknownText = QStringLiteral("结果未知,请在销售记录中核实");
// Shown for a listed order that another seat of the account has sent.
inline const QString kSentElsewhereText = QStringLiteral("已由其他席位提交");
// Shown, before the reason, for an order that never reached the platform.
inline const QString kNotDeliveredPrefix = QStringLiteral("提交失败：");

// What one step of an order's life came to.
struct StepResult
{
    enum Outcome
    {
        Done,     // the store and the book hold the step
        Moved,    // the order was no longer where the caller saw it: nothing written
        NotSaved, // the store refused the write or could not be asked: the book kept its state
    };
    Outcome outcome = NotSaved;
    QString error;                    // NotSaved: why
    std::optional<RechargeOrder> now; // Moved: the order as the store holds it, when readable

    bool done() const { return outcome == Done; }
};

// One status a poll reply reports for a recharge id.
struct PollAnswer
{
    QString rechargeId;
    OrderStatus status = OrderStatus::Accepted; // Recharged or Refunded
    QString cardCode;
};

// An order's life in one place. The ledger owns the store (the truth that
// several seats share) and the book (this seat's working set, which the
// lists show); every change of an order is one of its steps, which writes
// the store first, on the state the caller saw where another seat could have
// moved the order, and then the book. The controllers read the book and the
// store but change an order only here.
//
// A write the store refuses is handled the same way in every step: nothing
// of the step reaches the book but a note on the row that says so, the step
// answers NotSaved, and notSaved() tells the agent. An order whose state
// could not be saved is never sent.
class OrderLedger : public QObject
{
    Q_OBJECT
public:
    OrderLedger(const OrderDatabase &database, const QString &userId,
                const Clock &clock = systemClock(), QObject *parent = nullptr);

    // For reading, and for opening the store; not for changing an order.
    OrderStore &store() { return m_store; }
    // The lists' source; changed only by the steps below.
    OrderBook &book() { return m_book; }
    const OrderBook &book() const { return m_book; }
    const Clock &clock() const { return m_store.clock(); }

    // ---- taking orders in ----

    // A counter order: stored, then listed. Moved when the store holds the
    // number already. NotSaved lists it with kNotStoredText: never sent.
    StepResult takeCounterOrder(const RechargeOrder &order);

    // The orders of one shop page, taken in one transaction: offer calls
    // takeShopOrder for each. Listed once committed; when the commit fails
    // none is kept and the caller offers them again later.
    struct Page
    {
        bool committed = false;
        QList<RechargeOrder> taken;
        QList<UnmatchedOrder> unmatched; // kept for the agent by this page
        QStringList notKnown;            // the store could not be asked about these
    };
    Page takeShopPage(const std::function<void()> &offer);
    // Within takeShopPage; on its own, a page of one.
    Take takeShopOrder(const RechargeOrder &order);

    // ---- shop orders no catalogue product matched ----

    // Keeps one for the agent. Within takeShopPage; on its own, a page of
    // one. unmatchedFound tells of it once the page is committed, only when
    // this call made its row.
    Take takeUnmatched(const UnmatchedOrder &order);
    // The agent chose what to recharge it as: its row goes from waiting to
    // recharged and the order (built from it, at -2) enters the store, both
    // or neither, and only while the row still waits and the account holds
    // no order of that number; then it is listed. Moved when another decision,
    // seat or harvest came first.
    StepResult rechargeUnmatched(const UnmatchedOrder &seen, const RechargeOrder &order,
                                 const QString &decidedBy);
    // The agent decided not to recharge it; only while it still waits.
    StepResult dismissUnmatched(const UnmatchedOrder &seen, const QString &decidedBy);
    UnmatchedOrders &unmatched() { return m_unmatched; }

    // ---- what the store holds, shown ----

    // Lists a stored order as it is (the day's list, a refresh), with a note.
    void showStored(const RechargeOrder &order, const QString &note = {}, bool alert = false);

    // ---- submission ----

    // -2 → -1 before the request goes out. TakenElsewhere lists the order as
    // the store holds it (sent by another seat, or moved on).
    Claim claimForSubmission(const QString &orderNo);
    // -1 → -2: the request certainly never left. NotSaved keeps -1 and says
    // the outcome is unknown, so that nothing sends it again.
    StepResult releaseUnsent(const QString &orderNo);
    // The order was not submitted and will not be (seen: -2 or -1): → 4 with
    // the note, shown as a warning.
    StepResult markNotSubmitted(const QString &orderNo, OrderStatus seen, const QString &note);
    // The request may have reached the platform: the store keeps -1, and the
    // row says the outcome is unknown.
    void markUnknown(const QString &orderNo);
    // The platform's answer to the request this seat sent (the order at -1).
    // message replaces the status text (a refusal's reason) when not empty.
    // Moved when the order left -1 meanwhile: nothing written, the row shows
    // the stored state and the answer.
    StepResult recordAnswer(const QString &orderNo, OrderStatus status, const QString &rechargeId,
                            const QString &cardCode, const QString &message);

    // ---- status polls ----

    // One transaction for a whole reply, each write only while the order
    // still waits at 0. False when the store kept none of it.
    bool recordPollReply(const QList<PollAnswer> &answers);

    // ---- shipping ----

    // From the claim on the store says a consign may be out: until an answer
    // is read, the order waits for its shop's order list.
    Claim claimForShipping(const QString &shipNo);
    // The shop has it, by its answer or by its order list no longer offering
    // it: 1 → 3, and with it, in the same transaction, the card code that now
    // waits for its buyer. NotSaved gives the claim back with the outcome
    // unknown, so that the next order list records it rather than a second
    // consign.
    StepResult recordShipped(const QString &shipNo,
                             const std::optional<HandOver> &handOver = std::nullopt);
    // The shop did not take the mark: the claim is given back and the row
    // says why. stillDoubted: the shop gave no word on it (it never left, or
    // a 4xx), so a doubt of the order stands for the next consign.
    void recordShippingRefused(const QString &shipNo, const QString &reason,
                               bool stillDoubted = false);
    // The mark may have reached the shop and no answer says what became of
    // it: the claim is given back, and the order is consigned again only
    // once the shop's order list still offers it (recordStillListed). A
    // refusal of a doubted consign (RechargeOrder::consignDoubted) is one:
    // after it, the list's word ends the doubt and a refusal is believed.
    void recordShippingUnknown(const QString &shipNo, const QString &reason,
                               bool refusedAfterDoubt = false);
    // The shop's order list still offers the order of unknown shipping
    // outcome: no consign of it was taken, and the next one is no repeat.
    StepResult recordStillListed(const QString &shipNo);

    // ---- card codes to Taobao buyers ----

    // A hand-over moves on from the state the caller saw (tried: one more
    // try of the messenger). Moved when another step moved it first.
    StepResult recordHandOver(const QString &orderNo, HandOverState from, HandOverState to,
                              const QString &reason = {}, bool tried = false);
    // This seat's hand-overs in the state, oldest first.
    QList<HandOver> handOvers(HandOverState state);

    // ---- the desk ----

    // The agent's decision on the order as the agent saw it: written only if
    // the store still holds the status seen. Moved shows the present state.
    StepResult recordDecision(const RechargeOrder &seen, OrderStatus to, const QString &note);

signals:
    // For the agent: a step of the order could not be saved.
    void notSaved(const QString &orderNo, const QString &text);
    // This seat kept a shop order no catalogue product matched.
    void unmatchedFound(const UnmatchedOrder &order);
    // An unmatched order waits no more (order.state says how it was decided;
    // still Waiting when the intake has taken it since).
    void unmatchedDecided(const UnmatchedOrder &order);

private:
    StepResult failed(const QString &orderNo, const QString &note, const QString &error);
    StepResult moved(const QString &orderNo);
    // Outside a page, a take is a page of its own; Failed unless committed.
    Take pageOfOne(const std::function<Take()> &take);
    StepResult unmatchedMoved(const QString &orderNo);

    OrderStore m_store;
    UnmatchedOrders m_unmatched;
    OrderBook m_book;
    Page *m_page = nullptr; // while a shop page is taken
};

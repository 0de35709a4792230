#include "orders/orderledger.h"

OrderLedger::OrderLedger(const OrderDatabase &database, const QString &userId, const Clock &clock,
                         QObject *parent)
    : QObject(parent), m_store(database, userId, clock), m_unmatched(m_store)
{}

StepResult OrderLedger::failed(const QString &orderNo, const QString &note, const QString &error)
{
    // The row keeps its status; a note says what was not saved, and the
    // order, having a note, is never sent by a scan.
    if (!note.isEmpty()) {
        if (const std::optional<OrderEntry> entry = m_book.entry(orderNo))
            m_book.setStatus(orderNo, entry->order.status, note, true, true);
    }
    emit notSaved(orderNo, QStringLiteral("订单 %1 的状态没能保存：%2").arg(orderNo, error));
    return {StepResult::NotSaved, error, std::nullopt};
}

StepResult OrderLedger::moved(const QString &orderNo)
{
    StepResult result{StepResult::Moved, QString(), m_store.order(orderNo)};
    if (result.now && m_book.rowOf(orderNo) >= 0)
        m_book.显示订单(*result.now);
    return result;
}

// ---- taking orders in ----

StepResult OrderLedger::takeCounterOrder(const RechargeOrder &order)
{
    if (!m_store.判断是否本地数据(order.orderNo))
        return {StepResult::Moved, QString(), std::nullopt};
    m_book.显示订单(order);
    if (m_store.插入订单(order))
        return {StepResult::Done, QString(), std::nullopt};
    // Listed but not stored: after a restart nothing would stop this order
    // from being taken again, so it must not be recharged now.
    m_book.setNote(order.orderNo, kNotStoredText, true);
    emit notSaved(
        order.orderNo,
        QStringLiteral("订单 %1 没能保存，不会充值：%2").arg(order.orderNo, m_store.lastError()));
    return {StepResult::NotSaved, m_store.lastError(), std::nullopt};
}

OrderLedger::Page OrderLedger::takeShopPage(const std::function<void()> &offer)
{
    Page page;
    Page *outer = m_page;
    m_page = &page;
    page.committed = m_store.inTransaction([&] {
        offer();
        // A server ends the transaction at its first failing statement:
        // nothing of the page is kept, and the next harvest offers it again.
        return page.notKnown.isEmpty();
    });
    m_page = outer;
    if (!page.committed) {
        for (const RechargeOrder &order : std::as_const(page.taken))
            page.notKnown.append(order.orderNo);
        for (const UnmatchedOrder &order : std::as_const(page.unmatched))
            page.notKnown.append(order.orderNo);
        page.taken.clear();
        page.unmatched.clear();
        return page;
    }
    // Listed once stored: a listed shop order is always one this seat took.
    for (const RechargeOrder &order : std::as_const(page.taken))
        m_book.显示订单(order);
    for (const UnmatchedOrder &order : std::as_const(page.unmatched))
        emit unmatchedFound(order);
    return page;
}

Take OrderLedger::pageOfOne(const std::function<Take()> &take)
{
    Take took = Take::Failed;
    const Page page = takeShopPage([&] { took = take(); });
    return page.committed ? took : Take::Failed;
}

Take OrderLedger::takeShopOrder(const RechargeOrder &order)
{
    if (!m_page)
        return pageOfOne([&] { return takeShopOrder(order); });
    // AlreadyStored: another seat, or an earlier run, has it.
    const Take took = m_store.takeShopOrder(order);
    if (took == Take::Taken)
        m_page->taken.append(order);
    else if (took == Take::Failed)
        m_page->notKnown.append(order.orderNo);
    return took;
}

// ---- shop orders no catalogue product matched ----

Take OrderLedger::takeUnmatched(const UnmatchedOrder &order)
{
    if (!m_page)
        return pageOfOne([&] { return takeUnmatched(order); });
    const Take took = m_unmatched.record(order);
    if (took == Take::Taken)
        m_page->unmatched.append(order);
    else if (took == Take::Failed)
        m_page->notKnown.append(order.orderNo);
    return took;
}

StepResult OrderLedger::unmatchedMoved(const QString &orderNo)
{
    StepResult result{StepResult::Moved, QString(), m_store.order(orderNo)};
    // Decided elsewhere, or taken by the intake: it waits for nobody here.
    if (const std::optional<UnmatchedOrder> now = m_unmatched.order(orderNo))
        emit unmatchedDecided(*now);
    return result;
}

StepResult OrderLedger::rechargeUnmatched(const UnmatchedOrder &seen, const RechargeOrder &order,
                                          const QString &decidedBy)
{
    Claim decided = Claim::Failed;
    Take took = Take::Failed;
    const bool kept = m_store.inTransaction([&] {
        decided =
            m_unmatched.decide(seen.orderNo, UnmatchedState::Recharged, decidedBy, clock().now());
        if (decided != Claim::Claimed)
            return false;
        took = m_store.takeShopOrder(order);
        return took == Take::Taken;
    });
    if (kept) {
        m_book.显示订单(order);
        UnmatchedOrder now = seen;
        now.state = UnmatchedState::Recharged;
        now.decidedBy = decidedBy;
        emit unmatchedDecided(now);
        return {StepResult::Done, QString(), std::nullopt};
    }
    if (decided == Claim::TakenElsewhere || took == Take::AlreadyStored)
        return unmatchedMoved(seen.orderNo);
    const QString error = m_store.lastError();
    emit notSaved(seen.orderNo,
                  QStringLiteral("订单 %1 没能转为充值订单：%2").arg(seen.orderNo, error));
    return {StepResult::NotSaved, error, std::nullopt};
}

StepResult OrderLedger::dismissUnmatched(const UnmatchedOrder &seen, const QString &decidedBy)
{
    const Claim decided =
        m_unmatched.decide(seen.orderNo, UnmatchedState::Dismissed, decidedBy, clock().now());
    if (decided == Claim::Claimed) {
        UnmatchedOrder now = seen;
        now.state = UnmatchedState::Dismissed;
        now.decidedBy = decidedBy;
        emit unmatchedDecided(now);
        return {StepResult::Done, QString(), std::nullopt};
    }
    if (decided == Claim::TakenElsewhere)
        return unmatchedMoved(seen.orderNo);
    const QString error = m_store.lastError();
    emit notSaved(seen.orderNo,
                  QStringLiteral("订单 %1 的处理没能保存：%2").arg(seen.orderNo, error));
    return {StepResult::NotSaved, error, std::nullopt};
}

void OrderLedger::showStored(const RechargeOrder &order, const QString &note, bool alert)
{
    m_book.显示订单(order);
    if (!note.isEmpty())
        m_book.setNote(order.orderNo, note, alert);
}

// ---- submission ----

Claim OrderLedger::claimForSubmission(const QString &orderNo)
{
    const Claim claimed = m_store.claimForSubmission(orderNo);
    if (claimed == Claim::Claimed) {
        m_book.setStatus(orderNo, OrderStatus::Submitting);
        return claimed;
    }
    if (claimed == Claim::TakenElsewhere) {
        // Another seat sent it, or it moved on: show what the store holds.
        const std::optional<RechargeOrder> stored = m_store.order(orderNo);
        if (!stored)
            return Claim::Failed; // not in the store at all: never sent
        m_book.显示订单(*stored);
        if (stored->status == OrderStatus::Submitting)
            m_book.setNote(orderNo, kSentElsewhereText, false);
    }
    return claimed;
}

StepResult OrderLedger::releaseUnsent(const QString &orderNo)
{
    const WriteBackResult written =
        m_store.moveOrder(orderNo, OrderStatus::Submitting, OrderStatus::Waiting);
    if (written.ok()) {
        m_book.setStatus(orderNo, OrderStatus::Waiting);
        return {StepResult::Done, QString(), std::nullopt};
    }
    if (written.outcome == WriteBackResult::NoRow)
        return moved(orderNo);
    // Nothing went out, but the store says -1: leave it alone rather than
    // risk a second recharge after a restart.
    return failed(orderNo, kOutcomeUnknownText, written.error);
}

StepResult OrderLedger::markNotSubmitted(const QString &orderNo, OrderStatus seen,
                                         const QString &note)
{
    // Marked so that no later scan sends what the agent was told is not sent.
    const WriteBackResult written = m_store.moveOrder(orderNo, seen, OrderStatus::SubmitFailed);
    if (written.ok()) {
        m_book.setStatus(orderNo, OrderStatus::SubmitFailed, note, true);
        return {StepResult::Done, QString(), std::nullopt};
    }
    if (written.outcome == WriteBackResult::NoRow)
        return moved(orderNo);
    // The note keeps it from being sent should the mark not be saved.
    return failed(orderNo, note, written.error);
}

void OrderLedger::markUnknown(const QString &orderNo)
{
    m_book.setNote(orderNo, kOutcomeUnknownText, true);
}

StepResult OrderLedger::recordAnswer(const QString &orderNo, OrderStatus status,
                                     const QString &rechargeId, const QString &cardCode,
                                     const QString &message)
{
    const WriteBackResult written =
        m_store.moveOrder(orderNo, OrderStatus::Submitting, status, cardCode, rechargeId);
    if (written.outcome == WriteBackResult::NoRow) {
        StepResult result = moved(orderNo);
        const QString said = message.isEmpty() ? 状态转换(status) : message;
        m_book.setNote(orderNo,
                       QStringLiteral("平台应答“%1”%2时订单已被改动，请核实")
                           .arg(said, rechargeId.isEmpty()
                                          ? QString()
                                          : QStringLiteral("（充值编号 %1）").arg(rechargeId)),
                       true);
        return result;
    }
    if (!written.ok()) {
        // The store still says -1, which no scan sends; the row tells what
        // the platform said.
        const QString said = message.isEmpty() ? 状态转换(status) : message;
        return failed(orderNo, QStringLiteral("平台应答：") + said, written.error);
    }
    m_book.setAnswer(orderNo, status, rechargeId, cardCode, message, false);
    return {StepResult::Done, QString(), std::nullopt};
}

// ---- status polls ----

bool OrderLedger::recordPollReply(const QList<PollAnswer> &answers)
{
    if (answers.isEmpty())
        return true;
    QList<bool> written(answers.size(), false);
    const bool kept = m_store.inTransaction([&] {
        for (qsizetype i = 0; i < answers.size(); ++i) {
            const PollAnswer &a = answers.at(i);
            // Written only while the order still waits: another seat may
            // have read the same answer and carried the order on already.
            const WriteBackResult w = m_store.writePollResult(a.rechargeId, a.status, a.cardCode);
            if (w.outcome == WriteBackResult::Failed)
                return false;
            written[i] = w.ok();
        }
        return true;
    });
    // A reply the store could not keep changes nothing: what the lists show
    // is what the store holds, and the next poll asks again.
    if (!kept)
        return false;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const PollAnswer &a = answers.at(i);
        const QString orderNo = m_book.findByRechargeId(a.rechargeId);
        if (orderNo.isEmpty())
            continue;
        if (!written.at(i)) {
            moved(orderNo);
            continue;
        }
        m_book.setStatus(orderNo, a.status);
        if (a.status == OrderStatus::Recharged && !a.cardCode.isEmpty())
            m_book.setCardCode(orderNo, a.cardCode);
    }
    return true;
}

// ---- shipping ----

Claim OrderLedger::claimForShipping(const QString &shipNo)
{
    return m_store.claimForShipping(shipNo);
}

StepResult OrderLedger::recordShipped(const QString &shipNo,
                                      const std::optional<HandOver> &handOver)
{
    WriteBackResult written;
    const bool kept = m_store.inTransaction([&] {
        written = m_store.moveShipment(shipNo, OrderStatus::Recharged, OrderStatus::Shipped);
        if (!written.ok())
            return false;
        if (handOver && !m_store.addHandOver(*handOver)) {
            written = {WriteBackResult::Failed, m_store.lastError()};
            return false;
        }
        return true;
    });
    // A transaction that could not begin, or whose commit failed, kept nothing.
    if (!kept && written.ok())
        written = {WriteBackResult::Failed, m_store.lastError()};
    if (written.outcome == WriteBackResult::Failed && written.error.isEmpty())
        written.error = m_store.lastError();
    const QString orderNo = m_book.findByShipNo(shipNo);
    if (written.ok()) {
        if (!orderNo.isEmpty())
            m_book.setStatus(orderNo, OrderStatus::Shipped);
        return {StepResult::Done, QString(), std::nullopt};
    }
    // The shop has it: a second consign would be refused, so the order waits
    // for the shop's list, which no longer offers it.
    m_store.releaseShipping(shipNo, OrderStore::Consign::MayBeOut);
    if (written.outcome == WriteBackResult::NoRow && !orderNo.isEmpty())
        return moved(orderNo);
    return failed(orderNo.isEmpty() ? shipNo : orderNo, 状态转换(OrderStatus::Shipped),
                  written.error);
}

void OrderLedger::recordShippingRefused(const QString &shipNo, const QString &reason,
                                        bool stillDoubted)
{
    // Free for the next step of any seat.
    m_store.releaseShipping(shipNo, stillDoubted ? OrderStore::Consign::NotTakenStillDoubted
                                                 : OrderStore::Consign::NotTaken);
    const QString orderNo = m_book.findByShipNo(shipNo);
    if (!orderNo.isEmpty())
        m_book.setNote(orderNo, QStringLiteral("充值成功,发货失败：") + reason, true);
}

// ---- card codes to Taobao buyers ----

StepResult OrderLedger::recordHandOver(const QString &orderNo, HandOverState from, HandOverState to,
                                       const QString &reason, bool tried)
{
    const WriteBackResult written = m_store.moveHandOver(orderNo, from, to, reason, tried);
    if (written.ok())
        return {StepResult::Done, QString(), std::nullopt};
    if (written.outcome == WriteBackResult::NoRow)
        return {StepResult::Moved, QString(), std::nullopt};
    return failed(orderNo, QString(), written.error);
}

QList<HandOver> OrderLedger::handOvers(HandOverState state)
{
    return m_store.handOvers(state, true).value_or(QList<HandOver>());
}

void OrderLedger::recordShippingUnknown(const QString &shipNo, const QString &reason,
                                        bool refusedAfterDoubt)
{
    // Should the claim not be given back, the order stays this seat's until
    // its next start, and the list decides then.
    m_store.releaseShipping(shipNo, refusedAfterDoubt ? OrderStore::Consign::MayBeOutAfterDoubt
                                                      : OrderStore::Consign::MayBeOut);
    const QString orderNo = m_book.findByShipNo(shipNo);
    if (!orderNo.isEmpty())
        m_book.setNote(orderNo, QStringLiteral("充值成功,发货结果未知：") + reason, false);
}

StepResult OrderLedger::recordStillListed(const QString &shipNo)
{
    const WriteBackResult written = m_store.clearConsignUnknown(shipNo);
    const QString orderNo = m_book.findByShipNo(shipNo);
    if (written.ok()) {
        if (!orderNo.isEmpty())
            m_book.setStatus(orderNo, OrderStatus::Recharged);
        return {StepResult::Done, QString(), std::nullopt};
    }
    if (written.outcome == WriteBackResult::NoRow && !orderNo.isEmpty())
        return moved(orderNo);
    if (written.outcome == WriteBackResult::NoRow)
        return {StepResult::Moved, written.error, std::nullopt};
    // Still unknown in the store: the next list asks again.
    return failed(orderNo.isEmpty() ? shipNo : orderNo, QString(), written.error);
}

// ---- the desk ----

StepResult OrderLedger::recordDecision(const RechargeOrder &seen, OrderStatus to,
                                       const QString &note)
{
    const WriteBackResult written = m_store.moveOrder(seen.orderNo, seen.status, to);
    if (written.outcome == WriteBackResult::NoRow)
        return moved(seen.orderNo);
    if (!written.ok())
        return failed(seen.orderNo, QString(), written.error); // the row shows what is stored
    if (m_book.rowOf(seen.orderNo) >= 0) {
        m_book.setStatus(seen.orderNo, to, note, false);
    } else if (to == OrderStatus::Waiting) {
        RechargeOrder waiting = seen;
        waiting.status = to;
        m_book.显示订单(waiting);
    }
    return {StepResult::Done, QString(), std::nullopt};
}

#include "recharge/rechargesession.h"

#include <QSet>

#include <algorithm>

RechargeSession::RechargeSession(const PlatformEndpoint &endpoint, const OrderDatabase &database,
                                 NetworkAccess &network, Prompter &prompter, Clipboard &clipboard,
                                 QObject *parent)
    : QObject(parent), m_endpoint(endpoint), m_ledger(database, endpoint.userId),
      m_catalogue(network, endpoint),
      m_intake(m_ledger,
               [this](const QString &product, const QString &amount, int source) {
                   return m_catalogue.判断业务名称(product, amount, source);
               }),
      m_submission(m_ledger, network, endpoint, prompter, clipboard),
      m_tracker(m_ledger, network, endpoint), m_unmatchedList(m_ledger)
{
    setObjectName(QStringLiteral("rechargeSession"));
    // Orders harvested before the catalogue has come would all be refused
    // and, as seen, not taken again in this run.
    m_intake.setReady([this] { return m_catalogue.catalogue().size() > 0; });
    m_submission.setFeedbackSink([this](const QString &line) { emit feedbackQueued(line); });
    m_tracker.setDeliveryStep([this] { emit deliveryDue(); });
    // The agent chose a product for an order no product matched: it waits
    // in the book now, and is sent as the harvest's orders are.
    connect(&m_ledger, &OrderLedger::unmatchedDecided, this, [this](const UnmatchedOrder &order) {
        if (order.state == UnmatchedState::Recharged)
            m_submission.充值订单请求(order.orderType);
    });
}

RechargeSession::~RechargeSession() = default;

void RechargeSession::start()
{
    if (!store().open())
        emit storeUnavailable(QStringLiteral("订单数据库无法使用，订单不会被接收或充值：\n") +
                              store().lastError());
    m_submission.resetTradeCount();
    读取订单();
    // Shop orders this seat took in an earlier run and left unsent: nothing
    // else would send them until a new order comes in. (Another seat's
    // waiting orders are that seat's to send.)
    for (const int kind : {1, 2}) {
        const QStringList waiting = book().waiting(kind);
        if (std::any_of(waiting.cbegin(), waiting.cend(), [this](const QString &orderNo) {
                const std::optional<OrderEntry> entry = book().entry(orderNo);
                return entry && entry->order.seat == store().seat();
            }))
            m_submission.充值订单请求(kind);
    }
    m_tracker.start();
}

void RechargeSession::读取订单()
{
    const bool atStart = !m_started;
    // Counter orders this seat left unsent in an earlier run.
    QStringList leftUnsent;
    const auto show = [&](const RechargeOrder &order) {
        const std::optional<OrderEntry> listed = book().entry(order.orderNo);
        if (listed && listed->order.status == OrderStatus::Submitting &&
            (m_submission.isOut(order.orderNo) || listed->note == kOutcomeUnknownText))
            return; // its answer is still to come here, or it says it never will
        if (atStart && !listed && order.orderType == 0 && order.status == OrderStatus::Waiting &&
            order.seat == store().seat())
            leftUnsent << order.orderNo;
        if (order.status != OrderStatus::Submitting)
            m_ledger.showStored(order);
        else if (atStart && order.seat == store().seat())
            m_ledger.showStored(order, kOutcomeUnknownText);
        else
            m_ledger.showStored(order, kSentElsewhereText);
    };
    const auto orders = store().读取订单();
    // At start-up, orders never sent, or sent without an answer, stand in the
    // book whatever their day, below today's: a shop order the day's list
    // leaves out would otherwise wait for ever (the shop offers it again and
    // the store says it is known), and an unknown one would go unseen.
    if (atStart) {
        QSet<QString> today;
        for (const RechargeOrder &order : orders.value_or(QList<RechargeOrder>()))
            today.insert(order.orderNo);
        if (const auto pending = store().pendingOrders()) {
            for (const RechargeOrder &order : *pending) {
                if (!today.contains(order.orderNo))
                    show(order);
            }
        }
    }
    if (orders) {
        m_started = true;
        for (const RechargeOrder &order : *orders)
            show(order);
    }
    // Such a counter order was typed in a run that ended before it went out,
    // or whose status could not be saved; the agent was told it was not
    // recharged, or saw no answer at all, and may have typed it again. Sent
    // now, unasked, it could be recharged twice: it is marked not submitted,
    // and a note keeps it from being sent should the mark not be saved either.
    for (const QString &orderNo : std::as_const(leftUnsent))
        m_ledger.markNotSubmitted(orderNo, OrderStatus::Waiting,
                                  kNotDeliveredPrefix + kEarlierRunText);
    m_unmatchedList.reload();
}

#include "recharge/rechargesession.h"

RechargeSession::RechargeSession(const PlatformEndpoint &endpoint, const QString &databasePath,
                                 NetworkAccess &network, Prompter &prompter, Clipboard &clipboard,
                                 QObject *parent)
    : QObject(parent), m_endpoint(endpoint), m_store(databasePath, endpoint.userId),
      m_catalogue(network, endpoint),
      m_intake(
          m_store,
          [this](const QString &product, const QString &amount, int source) {
              return m_catalogue.判断业务名称(product, amount, source);
          },
          [this](const RechargeOrder &order, int insertFlag) {
              return m_book.显示订单(order, insertFlag);
          }),
      m_submission(m_book, m_store, network, endpoint, prompter, clipboard),
      m_tracker(m_book, m_store, network, endpoint)
{
    setObjectName(QStringLiteral("rechargeSession"));
    m_book.setStore([this](const RechargeOrder &order) { return m_store.插入订单(order); });
    // Orders harvested before the catalogue has come would all be refused
    // and, as seen, not taken again in this run.
    m_intake.setReady([this] { return m_catalogue.catalogue().size() > 0; });
    m_intake.setNotStored(
        [this](const QString &orderNo) { m_book.setNote(orderNo, kNotStoredText, true); });
    m_store.setFeedbackSink([this](const QString &line) { emit feedbackQueued(line); });
    m_submission.setFeedbackSink([this](const QString &line) { emit feedbackQueued(line); });
    m_tracker.setDeliveryStep([this] { emit deliveryDue(); });
}

RechargeSession::~RechargeSession() = default;

void RechargeSession::start()
{
    m_submission.resetTradeCount();
    读取订单();
    // Shop orders an earlier run took and did not send: nothing else would
    // send them until a new order comes in.
    m_submission.充值订单请求(1);
    m_submission.充值订单请求(2);
    m_tracker.start();
}

void RechargeSession::读取订单()
{
    // Counter orders the store holds unsent that this run has not listed yet.
    QStringList leftUnsent;
    const auto show = [&](const RechargeOrder &order) {
        if (order.orderType == 0 && order.status == OrderStatus::Waiting &&
            m_book.rowOf(order.orderNo) < 0)
            leftUnsent << order.orderNo;
        m_book.显示订单(order, 0);
    };
    // Orders never sent, or sent without an answer, stand in the book
    // whatever their day, below today's: a shop order the day's list leaves
    // out would otherwise wait for ever (the shop offers it again and the
    // store says it is known), and an unknown one would go unseen.
    const auto open = m_store.pendingOrders();
    if (open) {
        for (const RechargeOrder &order : *open)
            show(order);
    }
    if (const auto orders = m_store.读取订单()) {
        for (const RechargeOrder &order : *orders)
            show(order);
    }
    if (open) {
        for (const RechargeOrder &order : *open) {
            if (order.status == OrderStatus::Submitting)
                m_book.setNote(order.orderNo, kOutcomeUnknownText, false);
        }
    }
    // Such a counter order was typed in an earlier run that ended before it
    // went out, or whose status could not be saved; the agent was told it
    // was not recharged, or saw no answer at all, and may have typed it
    // again. Sent now, unasked, it could be recharged twice: it is marked not
    // submitted, and a note keeps it from being sent should the mark not be
    // saved either.
    for (const QString &orderNo : std::as_const(leftUnsent)) {
        const bool stored = m_store
                                .反写数据库状态(orderNo, QString::number(OrderStatus::SubmitFailed),
                                                QString(), QString(), QString())
                                .ok();
        m_book.setStatus(orderNo, stored ? OrderStatus::SubmitFailed : OrderStatus::Waiting,
                         kNotDeliveredPrefix + kEarlierRunText, true, !stored);
    }
}

#include "recharge/rechargesession.h"

RechargeSession::RechargeSession(const PlatformEndpoint &endpoint, const OrderDatabase &database,
                                 NetworkAccess &network, Prompter &prompter, Clipboard &clipboard,
                                 QObject *parent)
    : QObject(parent), m_endpoint(endpoint), m_store(database, endpoint.userId),
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
    m_store.setFeedbackSink([this](const QString &line) { emit feedbackQueued(line); });
    m_submission.setFeedbackSink([this](const QString &line) { emit feedbackQueued(line); });
    m_tracker.setDeliveryStep([this] { emit deliveryDue(); });
}

RechargeSession::~RechargeSession() = default;

void RechargeSession::start()
{
    if (!m_store.open())
        emit storeUnavailable(QStringLiteral("订单数据库无法使用，订单不会被接收或充值：\n") +
                              m_store.lastError());
    m_submission.resetTradeCount();
    读取订单();
    m_tracker.start();
}

void RechargeSession::读取订单()
{
    const auto orders = m_store.读取订单();
    if (!orders)
        return;
    const bool atStart = !m_started;
    m_started = true;
    for (const RechargeOrder &order : *orders) {
        const std::optional<OrderEntry> listed = m_book.entry(order.orderNo);
        if (listed && listed->order.status == OrderStatus::Submitting &&
            (m_submission.isOut(order.orderNo) || listed->note == kOutcomeUnknownText))
            continue; // its answer is still to come here, or it says it never will
        m_book.显示订单(order, 0);
        if (order.status != OrderStatus::Submitting)
            continue;
        if (atStart && order.seat == m_store.seat())
            m_book.setNote(order.orderNo, kOutcomeUnknownText, false);
        else
            m_book.setNote(order.orderNo, kSentElsewhereText, false);
    }
}

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
    m_tracker.start();
}

void RechargeSession::读取订单()
{
    const auto orders = m_store.读取订单();
    if (!orders)
        return;
    for (const RechargeOrder &order : *orders) {
        m_book.显示订单(order, 0);
        if (order.status == OrderStatus::Submitting)
            m_book.setNote(order.orderNo, kOutcomeUnknownText, false);
    }
}

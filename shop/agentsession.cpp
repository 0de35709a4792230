#include "shop/agentsession.h"

#include <algorithm>

AgentSession::AgentSession(const PlatformEndpoint &endpoint, const OrderDatabase &database,
                           const ShopSites &sites, const QString &feedbackFile,
                           NetworkAccess &network, Prompter &prompter, Clipboard &clipboard,
                           CardHandOver *handOver, DesktopWindows *desktop,
                           const MessengerWindows &windows, QObject *parent)
    : RechargeSession(endpoint, database, network, prompter, clipboard, parent),
      m_feedback(feedbackFile), m_taobao(network, sites, endpoint, intake(),
                                         [this](int kind) { submission().充值订单请求(kind); }),
      m_paipai(network, sites, endpoint, intake(),
               [this](int kind) { submission().充值订单请求(kind); }),
      m_messenger(
          desktop, sites.messenger, [this] { return m_taobao.sellerNick(); }, windows),
      m_handOver(handOver ? *handOver : m_messenger),
      m_delivery(ledger(), network, sites, m_taobao, m_handOver),
      m_monitor(m_taobao, m_paipai, sites)
{
    m_messenger.setStillWaiting([this](const HandOver &h) {
        const auto waiting = ledger().store().handOvers(HandOverState::Waiting, true);
        // Unreadable: typed all the same, rather than lost.
        return !waiting || std::any_of(waiting->cbegin(), waiting->cend(),
                                       [&h](const HandOver &w) { return w.orderNo == h.orderNo; });
    });
    // How each code's hand-over ended is kept, so that a restart neither
    // loses a waiting one nor types one twice.
    connect(&m_messenger, &MessengerHandOver::handedOver, this,
            [this](const QString &, const QString &, const QString &orderNo) {
                if (orderNo.isEmpty())
                    return;
                ledger().recordHandOver(orderNo, HandOverState::Waiting, HandOverState::HandedOver,
                                        QString(), true);
                codeDelivered(orderNo);
            });
    connect(
        &m_messenger, &MessengerHandOver::handOverFailed, this,
        [this](const QString &, const QString &, const QString &reason, const QString &orderNo) {
            if (!orderNo.isEmpty())
                ledger().recordHandOver(orderNo, HandOverState::Waiting, HandOverState::Failed,
                                        reason, true);
        });
    // A Paipai code went with the shipping mark.
    connect(&m_delivery, &DeliveryController::cardSent, this, [this](const SentCard &card) {
        if (card.delivery == SentCard::Sent)
            m_feedback.remove(card.shipNo);
    });
    connect(this, &RechargeSession::feedbackQueued, &m_feedback,
            [this](const QString &line) { m_feedback.待反馈编码(1, line); });
    connect(this, &RechargeSession::deliveryDue, &m_delivery, &DeliveryController::淘宝拍拍发货);
}

AgentSession::~AgentSession() = default;

void AgentSession::codeDelivered(const QString &orderNo)
{
    // The queue's lines name the ship number.
    const std::optional<RechargeOrder> order = store().order(orderNo);
    m_feedback.remove(order && !order->shipNo.isEmpty() ? order->shipNo : orderNo);
}

void AgentSession::start()
{
    m_feedback.待反馈编码(0);
    RechargeSession::start();
    // The file holds only codes still on their way: orders still to ship, and
    // kept hand-overs that wait or failed. Anything else reached its buyer.
    {
        QSet<QString> pending;
        const auto toShip = store().rechargedShopOrders();
        const auto waiting = store().handOvers(HandOverState::Waiting, false);
        const auto failed = store().handOvers(HandOverState::Failed, false);
        if (toShip && waiting && failed) {
            for (const RechargeOrder &o : *toShip)
                pending << o.shipNo << o.orderNo;
            for (const HandOver &h : *waiting + *failed)
                pending << h.shipNo << h.orderNo;
            m_feedback.retain([&pending](const QString &key) { return pending.contains(key); });
        }
    }
    // Codes this seat shipped and had not handed over when it last ended.
    for (const HandOver &waiting : ledger().handOvers(HandOverState::Waiting))
        m_handOver.handOver(waiting);
    m_delivery.start();
}

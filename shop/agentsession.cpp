#include "shop/agentsession.h"

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
      m_delivery(ledger(), network, sites, m_taobao, m_paipai, handOver ? *handOver : m_messenger),
      m_monitor(m_taobao, m_paipai, sites)
{
    connect(this, &RechargeSession::feedbackQueued, &m_feedback,
            [this](const QString &line) { m_feedback.待反馈编码(1, line); });
    connect(this, &RechargeSession::deliveryDue, &m_delivery, &DeliveryController::淘宝拍拍发货);
}

AgentSession::~AgentSession() = default;

void AgentSession::start()
{
    m_feedback.待反馈编码(0);
    RechargeSession::start();
    m_delivery.start();
}

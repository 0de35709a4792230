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
      m_handOver(handOver ? *handOver : m_messenger),
      m_delivery(ledger(), network, sites, m_taobao, m_paipai, m_handOver),
      m_monitor(m_taobao, m_paipai, sites)
{
    // Noted before the first key: a run that ends while a code is typed must
    // not type it again on its own.
    m_messenger.setBeforeTyping([this](const HandOver &h) {
        return ledger()
            .recordHandOver(h.orderNo, HandOverState::Waiting, HandOverState::Typing)
            .done();
    });
    // How each code's hand-over ended is kept, so that a restart neither
    // loses a waiting one nor types one twice.
    connect(&m_messenger, &MessengerHandOver::handedOver, this,
            [this](const QString &, const QString &, const QString &orderNo) {
                if (orderNo.isEmpty())
                    return;
                ledger().recordHandOver(orderNo, HandOverState::Typing, HandOverState::HandedOver,
                                        QString(), true);
                codeDelivered(orderNo);
            });
    connect(
        &m_messenger, &MessengerHandOver::handOverFailed, this,
        [this](const QString &, const QString &, const QString &reason, const QString &orderNo) {
            if (orderNo.isEmpty())
                return;
            // It fails while typed, or before (no window, no nick).
            if (ledger()
                    .recordHandOver(orderNo, HandOverState::Typing, HandOverState::Failed, reason,
                                    true)
                    .outcome == StepResult::Moved)
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
    // A code the last run was typing when it ended may have reached the
    // buyer: the agent checks it at the desk, the client does not type it again.
    for (const HandOver &typed : ledger().handOvers(HandOverState::Typing))
        ledger().recordHandOver(typed.orderNo, HandOverState::Typing, HandOverState::Failed,
                                QStringLiteral("上次运行在输入这个卡密时结束，可能已经发出，"
                                               "请在旺旺聊天记录里核实"));
    // The file holds only codes still on their way: orders still to ship, and
    // kept hand-overs not yet ended (another seat may be typing one). Anything
    // else reached its buyer or was decided.
    {
        QSet<QString> pending;
        const auto toShip = store().rechargedShopOrders();
        bool readable = toShip.has_value();
        if (toShip) {
            for (const RechargeOrder &o : *toShip)
                pending << o.shipNo << o.orderNo;
        }
        for (const HandOverState state :
             {HandOverState::Waiting, HandOverState::Typing, HandOverState::Failed}) {
            const auto kept = store().handOvers(state, false);
            readable = readable && kept.has_value();
            for (const HandOver &h : kept.value_or(QList<HandOver>()))
                pending << h.shipNo << h.orderNo;
        }
        if (readable)
            m_feedback.retain([&pending](const QString &key) { return pending.contains(key); });
    }
    // Codes this seat shipped and had not handed over when it last ended.
    for (const HandOver &waiting : ledger().handOvers(HandOverState::Waiting))
        m_handOver.handOver(waiting);
    m_delivery.start();
}

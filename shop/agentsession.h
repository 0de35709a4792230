#pragma once

#include "recharge/rechargesession.h"
#include "shop/delivery.h"
#include "shop/harvesters.h"
#include "shop/messenger.h"
#include "shop/shopmonitor.h"
#include "shop/shopsites.h"

// Everything of one login that works without a window: the recharge engine,
// and on top of it the shop automation (the pending-feedback queue, the
// harvesters, the messenger hand-over, the delivery and the monitor). Built after the login and
// handed to the main window. Members are declared in the order they depend
// on each other, so they are made in that order and go in the reverse one.
class AgentSession : public RechargeSession
{
    Q_OBJECT
public:
    // handOver: where Taobao card codes go after the consign; when null, the
    // messenger hand-over on the desktop (which fails each one without a desktop).
    AgentSession(const PlatformEndpoint &endpoint, const OrderDatabase &database,
                 const ShopSites &sites, const QString &feedbackFile, NetworkAccess &network,
                 Prompter &prompter, Clipboard &clipboard, CardHandOver *handOver = nullptr,
                 DesktopWindows *desktop = nullptr, const MessengerWindows &windows = {},
                 QObject *parent = nullptr);
    ~AgentSession() override;

    FeedbackQueue &feedback() { return m_feedback; }
    TaobaoHarvester &taobao() { return m_taobao; }
    PaipaiHarvester &paipai() { return m_paipai; }
    MessengerHandOver &messenger() { return m_messenger; }
    DeliveryController &delivery() { return m_delivery; }
    ShopMonitor &monitor() { return m_monitor; }

    // The main window's load: the queue from its file, the recharge engine's
    // start, and the delivery timer.
    void start() override;

private:
    // The order's code reached its buyer: its line leaves the queue.
    void codeDelivered(const QString &orderNo);

private:
    FeedbackQueue m_feedback;
    TaobaoHarvester m_taobao;
    PaipaiHarvester m_paipai;
    MessengerHandOver m_messenger;
    CardHandOver &m_handOver;
    DeliveryController m_delivery;
    ShopMonitor m_monitor;
};

#pragma once

#include "app/core/endpoint.h"
#include "shop/shoppages.h"
#include "shop/shopsites.h"

#include <QObject>
#include <QSet>
#include <functional>

class NetworkAccess;
class OrderIntake;
class Transfer;

// 充值订单请求 of order submission, with the source kind.
using SubmitOrders = std::function<void(int kind)>;

// A shop's list of the orders waiting for shipment, as it came whole (its
// markers there, the seller logged in): what settles a consign whose answer
// was lost.
struct WaitingList
{
    int shop = 0;          // the order type: 1 Taobao, 2 Paipai
    quint64 asked = 0;     // which of the shop's list requests it answers, from 1
    QSet<QString> shipNos; // the order ids or deal ids it offers
};

// Fetches the seller's Taobao order list on Inet淘宝订单 and takes every new
// paid order into the intake; keeps the seller's messenger name (from the
// member page on Inet淘宝卖家) and the page's token for the consign requests.
class TaobaoHarvester : public QObject
{
    Q_OBJECT
public:
    TaobaoHarvester(NetworkAccess &network, const ShopSites &sites,
                    const PlatformEndpoint &endpoint, OrderIntake &intake, SubmitOrders submit,
                    QObject *parent = nullptr);

    Transfer *inet淘宝订单() const { return m_orders; }
    Transfer *inet淘宝卖家() const { return m_member; }
    QString sellerNick() const { return m_sellerNick; }
    // iButton2 empties it, so that it is fetched again.
    void resetSellerNick() { m_sellerNick.clear(); }
    QString tbToken() const { return m_tbToken; }

    // One order-list fetch; nothing while the previous one is out.
    bool fetch();
    // Order-list requests sent so far.
    quint64 listsAsked() const { return m_listsAsked; }
    void 读取淘宝订单(const QString &page);
    void 获取淘宝卖家旺旺();

signals:
    // After each page read: whether it was the order list (not the login page).
    void listRead(bool orderList);
    // An order list read whole.
    void waitingListRead(const WaitingList &list);
    // "发现订单…" for the status bar.
    void statusLine(const QString &text);

private:
    void onOrders(int state);
    void onMember(int state);

    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    OrderIntake &m_intake;
    SubmitOrders m_submit;
    Transfer *m_orders;
    Transfer *m_member;
    QString m_sellerNick;
    QString m_tbToken;
    quint64 m_listsAsked = 0;
};

// Asks the Paipai trade site on Inet1 for the seller's paid deals and takes
// every new one into the intake.
class PaipaiHarvester : public QObject
{
    Q_OBJECT
public:
    PaipaiHarvester(NetworkAccess &network, const ShopSites &sites,
                    const PlatformEndpoint &endpoint, OrderIntake &intake, SubmitOrders submit,
                    QObject *parent = nullptr);

    Transfer *inet1() const { return m_inet1; }
    // The deal-list query; nothing while the previous one is out.
    bool query();
    // Deal-list queries sent so far.
    quint64 listsAsked() const { return m_listsAsked; }
    void 读取拍拍数据(const QString &answer);

signals:
    // The site wants the trade password: Webpp goes to the bought-deals page.
    void tradePasswordAsked(const QString &boughtEntryUrl);
    // An answer of the deal list (the seller is logged in), or the login page.
    void answerRead(bool loggedIn);
    // A deal list read whole.
    void waitingListRead(const WaitingList &list);
    void statusLine(const QString &text);

private:
    void onAnswer(int state);

    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    OrderIntake &m_intake;
    SubmitOrders m_submit;
    Transfer *m_inet1;
    quint64 m_listsAsked = 0;
};

// "发现订单" line of the status bar for the last order read.
QString foundOrderLine(const QString &appTitle, const ShopOrder &order);

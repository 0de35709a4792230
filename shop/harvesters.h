#pragma once

#include "app/core/endpoint.h"
#include "shop/shoppages.h"
#include "shop/shopsites.h"

#include <QObject>
#include <functional>

class NetworkAccess;
class OrderIntake;
class Transfer;

// 充值订单请求 of order submission, with the source kind.
using SubmitOrders = std::function<void(int kind)>;

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
    void 读取淘宝订单(const QString &page);
    void 获取淘宝卖家旺旺();

signals:
    // After each page read: whether it was the order list (not the login page).
    void listRead(bool orderList);
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
    void 读取拍拍数据(const QString &answer);

signals:
    // The site wants the trade password: Webpp goes to the bought-deals page.
    void tradePasswordAsked(const QString &boughtEntryUrl);
    // An answer of the deal list (the seller is logged in), or the login page.
    void answerRead(bool loggedIn);
    void statusLine(const QString &text);

private:
    void onAnswer(int state);

    ShopSites m_sites;
    PlatformEndpoint m_endpoint;
    OrderIntake &m_intake;
    SubmitOrders m_submit;
    Transfer *m_inet1;
};

// "发现订单" line of the status bar for the last order read.
QString foundOrderLine(const QString &appTitle, const ShopOrder &order);

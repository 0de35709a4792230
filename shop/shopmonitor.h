#pragma once

#include "shop/shoppages.h"
#include "shop/shopsites.h"

#include <QObject>

class PaipaiHarvester;
class QTimer;
class TaobaoHarvester;

// The watch over the two shops: start and stop, the refresh timers
// timer淘宝刷新时间 and 拍拍刷新时间, and what the monitor labels say. The
// window shows the shops' browsers and the labels; this holds no order.
class ShopMonitor : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Off,       // "未开启"
        LoggingIn, // the label keeps what it said
        On,        // "已开启"
        LoggedOut, // the shop's login ran out while on: "登录已失效"
    };
    Q_ENUM(State)

    ShopMonitor(TaobaoHarvester &taobao, PaipaiHarvester &paipai, const ShopSites &sites,
                QObject *parent = nullptr);

    QTimer *taobaoTimer() const { return m_taobaoTimer; }
    QTimer *paipaiTimer() const { return m_paipaiTimer; }
    State taobaoState() const { return m_taobao; }
    State paipaiState() const { return m_paipai; }

    void startTaobao();
    void stopTaobao();
    // A page loaded in Webtb.
    void taobaoPageLoaded(const QString &title);
    void startPaipai();
    void stopPaipai();
    // A page loaded in Webpp.
    void paipaiPageLoaded(const QString &url, const QString &title);
    // 淘宝刷新: the answer typed; the window says what the answer means.
    RefreshAnswer setRefreshInterval(const QString &text);

signals:
    void taobaoStateChanged(ShopMonitor::State state);
    void paipaiStateChanged(ShopMonitor::State state);
    // The shop's browser to the front, at this address (empty: where it is).
    void showTaobaoBrowser(const QString &url);
    void showPaipaiBrowser(const QString &url);
    // SSTab1 back to the front.
    void showTabs();
    // A shop's login ran out while its monitor was on.
    void loginExpired(const QString &message);

private:
    void setTaobao(State state);
    void setPaipai(State state);
    void onTaobaoList(bool orderList);
    void onPaipaiAnswer(bool loggedIn);

    TaobaoHarvester &m_taobaoHarvester;
    PaipaiHarvester &m_paipaiHarvester;
    ShopSites m_sites;
    QTimer *m_taobaoTimer;
    QTimer *m_paipaiTimer;
    State m_taobao = State::Off;
    State m_paipai = State::Off;
};

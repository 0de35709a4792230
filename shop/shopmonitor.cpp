#include "shop/shopmonitor.h"

#include "app/core/platform.h"
#include "shop/harvesters.h"

#include <QTimer>
#include <QUrl>

namespace {
constexpr int kRefreshMs = 30000;
}

ShopMonitor::ShopMonitor(TaobaoHarvester &taobao, PaipaiHarvester &paipai, const ShopSites &sites,
                         QObject *parent)
    : QObject(parent), m_taobaoHarvester(taobao), m_paipaiHarvester(paipai), m_sites(sites),
      m_taobaoTimer(new QTimer(this)), m_paipaiTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("shopMonitor"));
    m_taobaoTimer->setObjectName(QStringLiteral("timer淘宝刷新时间"));
    m_taobaoTimer->setInterval(kRefreshMs);
    m_paipaiTimer->setObjectName(QStringLiteral("拍拍刷新时间"));
    m_paipaiTimer->setInterval(kRefreshMs);
    connect(m_taobaoTimer, &QTimer::timeout, this, [this] { m_taobaoHarvester.fetch(); });
    connect(m_paipaiTimer, &QTimer::timeout, this, [this] { m_paipaiHarvester.query(); });
    connect(&taobao, &TaobaoHarvester::listRead, this, &ShopMonitor::onTaobaoList);
    connect(&paipai, &PaipaiHarvester::answerRead, this, &ShopMonitor::onPaipaiAnswer);
}

void ShopMonitor::setTaobao(State state)
{
    if (m_taobao == state)
        return;
    m_taobao = state;
    emit taobaoStateChanged(state);
}

void ShopMonitor::setPaipai(State state)
{
    if (m_paipai == state)
        return;
    m_paipai = state;
    emit paipaiStateChanged(state);
}

void ShopMonitor::startTaobao()
{
    // A second start only shows the order list again: one timer, its interval kept.
    if (m_taobao == State::Off)
        setTaobao(State::LoggingIn);
    emit showTaobaoBrowser(taobaoOrderListUrl(m_sites.taobaoLogistics, NewSjValue()));
    m_taobaoTimer->start();
}

void ShopMonitor::stopTaobao()
{
    emit showTabs();
    m_taobaoTimer->stop();
    setTaobao(State::Off);
}

void ShopMonitor::taobaoPageLoaded(const QString &title)
{
    // Only while the monitor runs: a stopped monitor is not turned on by a page.
    if (m_taobao == State::Off || !title.contains(taobaoMarkers().loggedInTitle))
        return;
    emit showTabs();
    setTaobao(State::On);
    m_taobaoHarvester.fetch();
}

void ShopMonitor::onTaobaoList(bool orderList)
{
    if (!orderList && m_taobao == State::On) {
        setTaobao(State::LoggedOut);
        emit loginExpired(QStringLiteral("淘宝店铺登录已失效，请在淘宝页面重新登录"));
    } else if (orderList && m_taobao == State::LoggedOut) {
        setTaobao(State::On);
    }
}

void ShopMonitor::startPaipai()
{
    if (m_paipai == State::Off)
        setPaipai(State::LoggingIn);
    emit showPaipaiBrowser(paipaiSoldEntryUrl(m_sites.paipaiTrade));
    m_paipaiTimer->start();
}

void ShopMonitor::stopPaipai()
{
    emit showTabs();
    m_paipaiTimer->stop();
    setPaipai(State::Off);
}

void ShopMonitor::paipaiPageLoaded(const QString &url, const QString &title)
{
    const QString host = QUrl(m_sites.paipaiTrade).host();
    if (host.isEmpty() || !url.contains(host))
        return;
    if (paipaiMarkers().sellerPageTitles.contains(title))
        m_paipaiHarvester.query();
}

void ShopMonitor::onPaipaiAnswer(bool loggedIn)
{
    // An answer while stopped (a query the seller's page started) changes nothing.
    if (m_paipai == State::Off)
        return;
    if (loggedIn) {
        emit showTabs();
        setPaipai(State::On);
        m_paipaiTimer->start();
    } else if (m_paipai == State::On) {
        setPaipai(State::LoggedOut);
        emit loginExpired(QStringLiteral("拍拍店铺登录已失效，请在拍拍页面重新登录"));
    }
}

RefreshAnswer ShopMonitor::setRefreshInterval(const QString &text)
{
    const RefreshAnswer answer = readRefreshAnswer(text);
    // The running state stays; the new interval counts from the next tick.
    if (answer.kind == RefreshAnswer::Accepted)
        m_taobaoTimer->setInterval(answer.intervalMs);
    return answer;
}

#include "shop/harvesters.h"

#include "app/core/platform.h"
#include "app/web/transfer.h"
#include "orders/orderintake.h"

#include <QUrl>

QString foundOrderLine(const QString &appTitle, const ShopOrder &o)
{
    return appTitle + QStringLiteral("发现订单") + o.orderNo + QLatin1Char('|') + o.title +
           QLatin1Char('|') + o.quantity + QLatin1Char('|') + o.buyer + QLatin1Char('|') +
           o.account;
}

namespace {

// Hands the orders of one page to the intake, in one store transaction; the
// number it took.
int takeOrders(OrderIntake &intake, int kind, const QList<ShopOrder> &orders)
{
    return intake.takePage([&] {
        for (const ShopOrder &o : orders) {
            intake.插入新订单(NewOrder{.type = kind,
                                       .shipNo = o.orderId,
                                       .orderNo = o.orderNo,
                                       .buyerNick = o.buyer,
                                       .rechargeAccount = o.account,
                                       .quantityText = o.quantity,
                                       .productName = o.title,
                                       .serverArea = o.area});
        }
    });
}

WaitingList waitingList(int shop, quint64 asked, const QList<ShopOrder> &orders)
{
    WaitingList list{shop, asked, {}};
    for (const ShopOrder &o : orders)
        list.shipNos.insert(o.orderId);
    return list;
}

} // namespace

TaobaoHarvester::TaobaoHarvester(NetworkAccess &network, const ShopSites &sites,
                                 const PlatformEndpoint &endpoint, OrderIntake &intake,
                                 SubmitOrders submit, QObject *parent)
    : QObject(parent), m_sites(sites), m_endpoint(endpoint), m_intake(intake),
      m_submit(std::move(submit)), m_orders(new Transfer(network, this)),
      m_member(new Transfer(network, this))
{
    setObjectName(QStringLiteral("taobaoHarvester"));
    m_orders->setObjectName(QStringLiteral("Inet淘宝订单"));
    m_member->setObjectName(QStringLiteral("Inet淘宝卖家"));
    connect(m_orders, &Transfer::stateChanged, this, &TaobaoHarvester::onOrders);
    connect(m_member, &Transfer::stateChanged, this, &TaobaoHarvester::onMember);
}

bool TaobaoHarvester::fetch()
{
    if (m_sites.taobaoLogistics.isEmpty())
        return false;
    if (!m_orders->execute(taobaoOrderListUrl(m_sites.taobaoLogistics, NewSjValue()),
                           QStringLiteral("GET"), QString(), kFormContentTypeHeader))
        return false;
    ++m_listsAsked;
    return true;
}

void TaobaoHarvester::获取淘宝卖家旺旺()
{
    if (!m_sites.taobaoMember.isEmpty())
        m_member->execute(taobaoMemberPageUrl(m_sites.taobaoMember), QStringLiteral("GET"),
                          QString(), kFormContentTypeHeader);
}

void TaobaoHarvester::onOrders(int state)
{
    if (state == Transfer::ResponseCompleted)
        读取淘宝订单(m_orders->readChunks(102400));
}

void TaobaoHarvester::onMember(int state)
{
    if (state != Transfer::ResponseCompleted)
        return;
    // The login page has no nick: keep the one known rather than forget it.
    const QString nick = readSellerNick(m_member->readChunks(102400));
    if (!nick.isEmpty())
        m_sellerNick = nick;
}

void TaobaoHarvester::读取淘宝订单(const QString &page)
{
    if (m_sellerNick.isEmpty())
        获取淘宝卖家旺旺();
    const TaobaoPage read = readTaobaoPage(page);
    // The login page carries no token: the one of the last list stays usable.
    if (read.hasOrderList)
        m_tbToken = read.tbToken;
    const int taken = takeOrders(m_intake, 1, read.orders);
    if (taken > 0) {
        emit statusLine(foundOrderLine(m_endpoint.appTitle, read.orders.constLast()));
        if (m_submit)
            m_submit(1);
    }
    // One request at a time: the page answers the last one sent.
    if (read.whole)
        emit waitingListRead(waitingList(1, m_listsAsked, read.orders));
    emit listRead(read.hasOrderList);
}

PaipaiHarvester::PaipaiHarvester(NetworkAccess &network, const ShopSites &sites,
                                 const PlatformEndpoint &endpoint, OrderIntake &intake,
                                 SubmitOrders submit, QObject *parent)
    : QObject(parent), m_sites(sites), m_endpoint(endpoint), m_intake(intake),
      m_submit(std::move(submit)), m_inet1(new Transfer(network, this))
{
    setObjectName(QStringLiteral("paipaiHarvester"));
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    connect(m_inet1, &Transfer::stateChanged, this, &PaipaiHarvester::onAnswer);
}

bool PaipaiHarvester::query()
{
    if (m_sites.paipaiTrade.isEmpty())
        return false;
    if (!m_inet1->execute(paipaiSoldUrl(m_sites.paipaiTrade), QStringLiteral("POST"),
                          paipaiDealListBody(NewSjValue(), m_endpoint.machineId),
                          kFormContentTypeHeader))
        return false;
    ++m_listsAsked;
    return true;
}

void PaipaiHarvester::onAnswer(int state)
{
    if (state == Transfer::ResponseCompleted)
        读取拍拍数据(m_inet1->readChunks(102400));
}

void PaipaiHarvester::读取拍拍数据(const QString &answer)
{
    const PaipaiAnswer read = readPaipaiAnswer(answer);
    if (read.tradePasswordAsked) {
        emit tradePasswordAsked(paipaiBoughtEntryUrl(m_sites.paipaiTrade));
        return;
    }
    emit answerRead(!read.loginPage);
    const int taken = takeOrders(m_intake, 2, read.deals);
    if (taken > 0) {
        emit statusLine(foundOrderLine(m_endpoint.appTitle, read.deals.constLast()));
        if (m_submit)
            m_submit(2);
    }
    if (read.whole)
        emit waitingListRead(waitingList(2, m_listsAsked, read.deals));
}

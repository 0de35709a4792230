#include "orders/orderintake.h"

#include <QDateTime>
#include <QStringList>
#include <QtDebug>

OrderIntake::OrderIntake(OrderLedger &ledger, Matcher matcher)
    : m_ledger(ledger), m_matcher(std::move(matcher))
{}

bool OrderIntake::判断来源单号(const QString &orderNo)
{
    if (m_seen.contains(orderNo))
        return true;
    m_seen.insert(orderNo);
    return false;
}

bool OrderIntake::插入新订单(const NewOrder &n)
{
    if (m_ready && !m_ready())
        return false;
    if (判断来源单号(n.orderNo))
        return false;
    const std::optional<CatalogueMatch> match =
        m_matcher ? m_matcher(n.productName, n.quantityText, n.type) : std::nullopt;
    if (!match)
        return false;

    // Figures that do not read as numbers would put wrong amounts on a real
    // recharge: refuse the order.
    bool priceOk = false;
    bool quantityOk = false;
    const double price = match->amount.toDouble(&priceOk);
    const double quantity = match->quantity.toDouble(&quantityOk);
    if (!priceOk || !quantityOk) {
        qWarning().noquote() << "order" << n.orderNo << "refused: unreadable catalogue figures"
                             << match->amount << match->quantity;
        return false;
    }

    RechargeOrder order;
    order.orderType = n.type;
    order.rechargeAccount = n.rechargeAccount;
    order.productName = n.productName;
    order.salePrice = price;
    order.quantity = quantity;
    order.rechargeTime = m_ledger.clock().now();
    order.buyerNick = n.buyerNick;
    order.status = OrderStatus::Waiting;
    order.orderNo = n.orderNo;
    order.shipNo = n.shipNo;
    order.platformProduct = match->platformProduct;
    order.serverArea = n.serverArea;
    order.actualQuantity = match->actualQuantity;
    order.userId = m_ledger.store().userId();
    order.queryArea = n.queryArea;

    if (n.type == 0)
        return m_ledger.takeCounterOrder(order).done();
    if (m_inPage)
        return m_ledger.takeShopOrder(order) == Take::Taken;
    const OrderLedger::Page page = m_ledger.takeShopPage([&] { m_ledger.takeShopOrder(order); });
    if (!page.committed) // nothing is known of this order yet: offered again
        m_seen.remove(n.orderNo);
    return page.committed && !page.taken.isEmpty();
}

int OrderIntake::takePage(const std::function<void()> &offer)
{
    m_inPage = true;
    const OrderLedger::Page page = m_ledger.takeShopPage(offer);
    m_inPage = false;
    for (const QString &orderNo : page.notKnown)
        m_seen.remove(orderNo);
    return int(page.taken.size());
}

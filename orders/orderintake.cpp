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
    if (!m_matcher)
        return false;
    const std::optional<CatalogueMatch> match = m_matcher(n.productName, n.quantityText, n.type);

    // Figures that do not read as numbers would put wrong amounts on a real
    // recharge: refuse the order.
    bool priceOk = false;
    bool quantityOk = false;
    const double price = match ? match->amount.toDouble(&priceOk) : 0;
    const double quantity = match ? match->quantity.toDouble(&quantityOk) : 0;
    if (match && (!priceOk || !quantityOk))
        qWarning().noquote() << "order" << n.orderNo << "refused: unreadable catalogue figures"
                             << match->amount << match->quantity;
    if (!priceOk || !quantityOk) {
        // The buyer has paid: kept for the agent to decide rather than
        // dropped. The counter's own checks never let such an order through.
        if (n.type != 0)
            keepUnmatched(n);
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

void OrderIntake::keepUnmatched(const NewOrder &n)
{
    UnmatchedOrder order;
    order.orderType = n.type;
    order.orderNo = n.orderNo;
    order.shipNo = n.shipNo;
    order.buyerNick = n.buyerNick;
    order.rechargeAccount = n.rechargeAccount;
    order.productName = n.productName;
    order.quantityText = n.quantityText;
    order.serverArea = n.serverArea;
    order.queryArea = n.queryArea;
    order.firstSeen = m_ledger.clock().now();
    if (m_inPage) {
        m_ledger.takeUnmatched(order);
        return;
    }
    const OrderLedger::Page page = m_ledger.takeShopPage([&] { m_ledger.takeUnmatched(order); });
    if (!page.committed) // nothing is known of this order yet: offered again
        m_seen.remove(n.orderNo);
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

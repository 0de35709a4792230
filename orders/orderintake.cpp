#include "orders/orderintake.h"

#include <QDateTime>
#include <QStringList>
#include <QtDebug>

OrderIntake::OrderIntake(OrderStore &store, Matcher matcher, ShowOrder show)
    : m_store(store), m_matcher(std::move(matcher)), m_show(std::move(show))
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
    order.rechargeTime = m_store.clock().now();
    order.buyerNick = n.buyerNick;
    order.status = OrderStatus::Waiting;
    order.orderNo = n.orderNo;
    order.shipNo = n.shipNo;
    order.platformProduct = match->platformProduct;
    order.serverArea = n.serverArea;
    order.actualQuantity = match->actualQuantity;
    order.userId = m_store.userId();
    order.queryArea = n.queryArea;

    if (n.type == 0) {
        if (!m_store.判断是否本地数据(n.orderNo))
            return false;
        return m_show ? m_show(order, 1) : m_store.插入订单(order);
    }
    if (m_page)
        return takeInPage(order);
    bool offered = false;
    const int shown = takePage([&] {
        offered = true;
        takeInPage(order);
    });
    if (!offered) // the store could not be asked: nothing is known of this order yet
        m_seen.remove(n.orderNo);
    return shown == 1;
}

bool OrderIntake::takeInPage(const RechargeOrder &order)
{
    switch (m_store.takeShopOrder(order)) {
    case Take::Taken:
        m_page->taken.append(order);
        return true;
    case Take::AlreadyStored:
        // Another seat, or an earlier run, has it. Asked again only for the
        // re-feedback line of an order already recharged.
        m_store.判断是否本地数据(order.orderNo);
        return false;
    case Take::Failed:
        break;
    }
    // A server ends the transaction at its first failing statement: nothing
    // of the page is kept, and the next harvest offers all of it again.
    m_page->failed = true;
    m_page->notKnown.append(order.orderNo);
    return false;
}

int OrderIntake::takePage(const std::function<void()> &offer)
{
    Page page;
    m_page = &page;
    const bool committed = m_store.inTransaction([&] {
        offer();
        return !page.failed;
    });
    m_page = nullptr;
    if (!committed) {
        for (const RechargeOrder &order : std::as_const(page.taken))
            m_seen.remove(order.orderNo);
        for (const QString &orderNo : std::as_const(page.notKnown))
            m_seen.remove(orderNo);
        return 0;
    }
    // Shown once stored: a listed shop order is always one this seat took.
    for (const RechargeOrder &order : std::as_const(page.taken)) {
        if (m_show)
            m_show(order, 0);
    }
    return int(page.taken.size());
}

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

    const std::optional<RechargeOrder> matched =
        match ? matchedOrder(n, *match, m_ledger.clock().now(), m_ledger.store().userId())
              : std::nullopt;
    if (match && !matched)
        qWarning().noquote() << "order" << n.orderNo << "refused: unreadable catalogue figures"
                             << match->amount << match->quantity;
    if (!matched) {
        // The buyer has paid: kept for the agent to decide rather than
        // dropped. The counter's own checks never let such an order through.
        if (n.type != 0)
            keepUnmatched(n);
        return false;
    }
    const RechargeOrder &order = *matched;

    if (n.type == 0)
        return m_ledger.takeCounterOrder(order).done();
    const Take took = m_ledger.takeShopOrder(order);
    // Outside a page nothing is known of a failed one: offered again. Within
    // one, takePage sees to it.
    if (took == Take::Failed && !m_inPage)
        m_seen.remove(n.orderNo);
    return took == Take::Taken;
}

void OrderIntake::keepUnmatched(const NewOrder &n)
{
    const UnmatchedOrder order = unmatchedOf(n, m_ledger.clock().now());
    if (m_ledger.takeUnmatched(order) == Take::Failed && !m_inPage)
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

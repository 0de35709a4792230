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

bool OrderIntake::插入新订单(int orderType, const QString &shipNo, const QString &orderNo,
                             const QString &buyerNick, const QString &rechargeAccount,
                             const QString & /*operationLabel: "手工操作", not used*/,
                             const QString &quantityText, const QString &productName,
                             const QString &serverArea, const QString &queryArea)
{
    if (m_ready && !m_ready())
        return false;
    if (判断来源单号(orderNo))
        return false;
    const QString match = m_matcher ? m_matcher(productName, quantityText, orderType) : QString();
    if (match.isEmpty())
        return false;

    // A match that does not read as four fields with numbers for price and
    // quantity would put wrong figures on a real recharge: refuse it.
    const QStringList fields = match.split(QStringLiteral("<?>"));
    bool priceOk = false;
    bool quantityOk = false;
    const double price = fields.size() == 4 ? fields[1].toDouble(&priceOk) : 0;
    const double quantity = fields.size() == 4 ? fields[2].toDouble(&quantityOk) : 0;
    if (!priceOk || !quantityOk) {
        qWarning().noquote() << "order" << orderNo << "refused: unreadable catalogue match"
                             << match;
        return false;
    }

    RechargeOrder order;
    order.orderType = orderType;
    order.rechargeAccount = rechargeAccount;
    order.productName = productName;
    order.salePrice = price;
    order.quantity = quantity;
    order.rechargeTime = QDateTime::currentDateTime();
    order.buyerNick = buyerNick;
    order.status = OrderStatus::Waiting;
    order.orderNo = orderNo;
    order.shipNo = shipNo;
    order.platformProduct = fields[0];
    order.serverArea = serverArea;
    order.actualQuantity = fields[3];
    order.userId = m_store.userId();
    order.queryArea = queryArea;

    if (orderType == 0) {
        if (!m_store.判断是否本地数据(orderNo))
            return false;
        return m_show ? m_show(order, 1) : m_store.插入订单(order);
    }

    bool isNew = false;
    bool asked = false;
    bool stored = false;
    const bool committed = m_store.inTransaction([&] {
        asked = true;
        isNew = m_store.判断是否本地数据(orderNo);
        if (!isNew)
            return false;
        stored = m_store.插入订单(order);
        return stored;
    });
    if (!asked) {
        // The file was busy or unusable: nothing is known of this order yet.
        m_seen.remove(orderNo);
        return false;
    }
    if (!isNew)
        return false;
    if (committed)
        return m_show ? m_show(order, 0) : true;
    // Shown, but not stored: it must never be sent.
    if (m_show)
        m_show(order, 0);
    if (m_notStored)
        m_notStored(orderNo);
    return false;
}

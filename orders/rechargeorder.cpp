#include "orders/rechargeorder.h"

QString 状态转换(OrderStatus status)
{
    switch (status) {
    case OrderStatus::Waiting:
        return QStringLiteral("等待提交");
    case OrderStatus::Submitting:
        return QStringLiteral("正在提交");
    case OrderStatus::Accepted:
        return QStringLiteral("等待服务器充值");
    case OrderStatus::Recharged:
        return QStringLiteral("充值成功");
    case OrderStatus::Refunded:
        return QStringLiteral("充值失败,已经退款");
    case OrderStatus::Shipped:
        return QStringLiteral("充值成功,已经发货");
    case OrderStatus::SubmitFailed:
        return QStringLiteral("提交失败");
    }
    return QString();
}

QString storedTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("");
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                             t.hour(), t.minute(), t.second());
}

// Read by hand: QDateTime's format parser costs more than the query that
// found the row.
QDateTime storedTimeFrom(const QString &text)
{
    if (text.size() != 19)
        return {};
    const auto number = [&](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

std::optional<RechargeOrder> matchedOrder(const NewOrder &n, const CatalogueMatch &match,
                                          const QDateTime &now, const QString &userId)
{
    bool priceOk = false;
    bool quantityOk = false;
    const double price = match.amount.toDouble(&priceOk);
    const double quantity = match.quantity.toDouble(&quantityOk);
    if (!priceOk || !quantityOk)
        return std::nullopt;
    RechargeOrder order;
    order.orderType = n.type;
    order.rechargeAccount = n.rechargeAccount;
    order.productName = n.productName;
    order.salePrice = price;
    order.quantity = quantity;
    order.rechargeTime = now;
    order.buyerNick = n.buyerNick;
    order.status = OrderStatus::Waiting;
    order.orderNo = n.orderNo;
    order.shipNo = n.shipNo;
    order.platformProduct = match.platformProduct;
    order.serverArea = n.serverArea;
    order.actualQuantity = match.actualQuantity;
    order.userId = userId;
    order.queryArea = n.queryArea;
    return order;
}

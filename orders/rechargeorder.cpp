#include "orders/rechargeorder.h"

QString 状态转换(int status)
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
    default:
        return QString();
    }
}

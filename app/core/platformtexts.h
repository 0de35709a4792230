#pragma once

#include <QString>

// The platform's answer to a recharge whose order key it has taken before,
// "订单已经提交过，不能重复充值：" + key. The client must recognise it and the
// simulator writes it, so it is kept here once.
inline const QString kKeyAlreadyTaken = QStringLiteral("订单已经提交过，不能重复充值：");

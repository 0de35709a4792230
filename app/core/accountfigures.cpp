#include "app/core/accountfigures.h"

#include <QStringList>

QList<AccountLabelText> accountFigureTexts(const QString &title)
{
    const QString unit = QStringLiteral(" 元");
    // The third figure is not shown.
    const struct
    {
        int index;
        AccountLabel label;
        QString prefix;
    } order[] = {
        {0, AccountLabel::Balance, QString()},
        {1, AccountLabel::FrozenFunds, QStringLiteral("冻结金额： ")},
        {3, AccountLabel::SalesCommission, QStringLiteral("销售佣金： ")},
        {4, AccountLabel::BonusCommission, QStringLiteral("提成佣金： ")},
    };
    QList<AccountLabelText> texts;
    if (title.isEmpty())
        return texts; // splitting nothing gives no parts, not one empty part
    const QStringList parts = title.split(QLatin1Char('|'));
    for (const auto &step : order) {
        if (step.index >= parts.size())
            break;
        texts.append({step.label, step.prefix + parts.at(step.index) + unit});
    }
    return texts;
}

#include "recharge/titlegenerator.h"

#include "recharge/catalogue.h"
#include "recharge/facevalue.h"

namespace {
const QString kPieceSeparator = QStringLiteral("|||");
}

CategoryProducts com加载商品列表(const Catalogue &catalogue, const QString &category)
{
    CategoryProducts products;
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        const ProductItem &item = catalogue.rowFromTop(i).item;
        if (item.list != category)
            continue;
        products.names.append(item.name);
        products.sideString += kPieceSeparator + item.value + QLatin1Char('|') + item.price;
    }
    return products;
}

FaceValueChoices 加载面值(const QString &sideString, qsizetype index)
{
    FaceValueChoices choices;
    const QList<QStringView> pieces = QStringView(sideString).split(kPieceSeparator);
    if (index < 0 || index + 1 >= pieces.size())
        return choices;
    const QList<QStringView> items = pieces.at(index + 1).split(u'|');
    choices.unit = items.first().toString();
    const QStringView multiplier = items.last();
    for (qsizetype i = 1; i + 1 < items.size(); ++i) {
        choices.amounts.append(
            faceValueDisplayAmount(faceValueLabel(items.at(i)), choices.unit, multiplier));
    }
    return choices;
}

QString listingTitle(const QString &category, const QString &product, const QString &amount,
                     const QString &unit, const QString &otherText)
{
    return kTitlePrefix + category + product + amount + unit + kTitleSuffix + otherText;
}

#pragma once

#include <QString>
#include <QStringList>

class Catalogue;

// The title generator: category, product and face value compose a shop listing
// title the agent copies.

inline const QString kTitlePrefix = QStringLiteral("电脑充值");
inline const QString kTitleSuffix = QStringLiteral("  秒冲到账");

struct CategoryProducts
{
    QStringList names;  // the product list, top-first
    QString sideString; // "|||" + value + "|" + price for each product, in the same order
};

// The products of a category: every catalogue row from the top whose category
// equals it.
CategoryProducts com加载商品列表(const Catalogue &catalogue, const QString &category);

struct FaceValueChoices
{
    QStringList amounts; // display amounts, in the order of the value text
    QString unit;
};

// The face values of product number index (from 0) of the side string: its piece
// split on "|" gives the unit first, the multiplier last and the entries between.
// Nothing when the side string has no such piece.
FaceValueChoices 加载面值(const QString &sideString, qsizetype index);

// "电脑充值" + category + product + amount + unit + "  秒冲到账" + other text.
QString listingTitle(const QString &category, const QString &product, const QString &amount,
                     const QString &unit, const QString &otherText);

#pragma once

#include <QList>
#include <QString>

// The account panel's labels that a figures refresh rewrites, in the order the
// refresh fills them.
enum class AccountLabel
{
    Balance,         // jprice
    FrozenFunds,     // Label11
    SalesCommission, // Label33
    BonusCommission, // Label32
};

struct AccountLabelText
{
    AccountLabel label;
    QString text;
};

// The label texts of a refresh answer, whose title is the figures joined by
// "|" (balance|frozen|-|sales|bonus). A title with fewer parts yields the
// labels it can fill, in order, and stops where it runs out.
QList<AccountLabelText> accountFigureTexts(const QString &title);

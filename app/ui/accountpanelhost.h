#pragma once

#include <QString>

// What the account and service windows need of the main window: its balance
// label, its account-figures refresh and the supply-mode flag. The main
// window implements it; tests pass a recording stand-in.
class AccountPanelHost
{
public:
    virtual ~AccountPanelHost() = default;
    // Writes the text into `jprice` as it is.
    virtual void setBalanceText(const QString &text) = 0;
    // What a click on `Label7` does.
    virtual void refreshAccountFigures() = 0;
    // Set by 商品管理, cleared by 充值管理.
    virtual bool supplyMode() const = 0;
};

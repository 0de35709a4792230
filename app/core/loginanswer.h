#pragma once

#include <QString>

#include <optional>

// What the platform's login answer carries.
struct LoginAnswer
{
    QString sessionKey, userName, balance, frozenFunds, userId, userLevel;
    QString bonusCommission, salesCommission;
};
// The markers of a success page, read in their order; nullopt names nothing
// but means the page lacks one of them.
std::optional<LoginAnswer> parseLoginAnswer(const QString &bodyHtml, QString *missing = nullptr);

#pragma once

#include <QString>

// The process-wide session record: written once by the login, read everywhere.
struct SessionInfoRecord
{
    QString brandWord;
    QString appTitle;
    QString machineId;
    QString sessionKey;
    QString userName;
    QString balance;
    QString frozenFunds;
    QString userId;
    QString userLevel;
};

namespace Brand {
inline const QString word = QStringLiteral("榴帆");
inline const QString titleSuffix = QStringLiteral("综合缴费系统");
} // namespace Brand

// The one record of the process. Tests reset it between cases.
SessionInfoRecord &SessionInfo();
void resetSessionInfo();

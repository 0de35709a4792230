#pragma once

#include <QString>
#include <QStringList>

// The agent-website service: the site address, the read and save requests
// of the five settings, and their replies. No widget in here.

inline const QString kAgentWebsitePage = QStringLiteral("apiwait12.asp");
inline const QString kAgentWebsiteOperation = QStringLiteral("POST");
// The request kinds of Inet1.
inline const QString kReadKind = QStringLiteral("获取");
inline const QString kSaveKind = QStringLiteral("设置");
inline constexpr int kAgentSiteSettingCount = 5;

// The agent's public site: the service's root + "/?id=" + user id.
QString agentSiteAddress(const QString &serviceRoot, const QString &userId);
// The service page below the root.
QString agentWebsitePageUrl(const QString &serviceRoot);

// Md5Short of the shared key followed by the user id.
QString agentSiteSignature(const QString &userId);
QString agentSiteReadBody(const QString &userId, const QString &sj);
// Every setting GBK-escaped; settings beyond the five are ignored, missing
// ones are sent empty.
QString agentSiteSaveBody(const QString &userId, const QStringList &settings, const QString &sj);

// The settings of a read reply, fields separated by "<|>": at most five,
// fewer when the reply has fewer.
QStringList readAgentSiteSettings(const QString &reply);
// A save reply counts as success when it contains "成功".
bool agentSiteSaved(const QString &reply);

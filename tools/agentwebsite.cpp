#include "tools/agentwebsite.h"

#include "app/core/platform.h"

namespace {

const QString kSignatureKey = QStringLiteral("lumbertoskiva");
const char *const kSettingKeys[kAgentSiteSettingCount] = {"user_name", "user_ww", "user_qq",
                                                          "user_tb", "user_pp"};

QString withoutTrailingSlash(QString root)
{
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root;
}

} // namespace

QString agentSiteAddress(const QString &serviceRoot, const QString &userId)
{
    return withoutTrailingSlash(serviceRoot) + QStringLiteral("/?id=") + userId;
}

QString agentWebsitePageUrl(const QString &serviceRoot)
{
    return withoutTrailingSlash(serviceRoot) + QLatin1Char('/') + kAgentWebsitePage;
}

QString agentSiteSignature(const QString &userId)
{
    return Md5Short(kSignatureKey + userId);
}

QString agentSiteReadBody(const QString &userId, const QString &sj)
{
    return QStringLiteral("action=cx&user_id=") + userId + QStringLiteral("&sj=") + sj;
}

QString agentSiteSaveBody(const QString &userId, const QStringList &settings, const QString &sj)
{
    QString body = QStringLiteral("action=tj&user_id=") + userId;
    for (int i = 0; i < kAgentSiteSettingCount; ++i) {
        body += QLatin1Char('&') + QLatin1String(kSettingKeys[i]) + QLatin1Char('=') +
                UrlEncodeGbk(settings.value(i));
    }
    return body + QStringLiteral("&sj=") + sj + QStringLiteral("&key=") +
           agentSiteSignature(userId);
}

QStringList readAgentSiteSettings(const QString &reply)
{
    return reply.split(QStringLiteral("<|>")).mid(0, kAgentSiteSettingCount);
}

bool agentSiteSaved(const QString &reply)
{
    return reply.contains(QStringLiteral("成功"));
}

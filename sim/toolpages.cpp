// The service tools' pages: the balance-query server list of the platform
// (apicx.asp) and the agent-website service (apiwait12.asp and the site).
#include "sim/balanceserver.h"
#include "sim/pages.h"

namespace sim {

namespace {

const QString kSiteKey = QStringLiteral("lumbertoskiva");
const QString kSeparator = QStringLiteral("<|>");
const char *const kSettingKeys[] = {"user_name", "user_ww", "user_qq", "user_tb", "user_pp"};

// The host sits between the first and the second "&".
Page serverList(const Request &r, State &)
{
    if (r.queryValue(QStringLiteral("sj")).isEmpty())
        return Page::text(QStringLiteral("参数错误"));
    return Page::text(QStringLiteral("服务器&127.0.0.1&"));
}

Page agentWebsite(const Request &r, State &state)
{
    const QString action = r.formValue(QStringLiteral("action"));
    const QString userId = r.formValue(QStringLiteral("user_id"));
    if (userId.isEmpty())
        return Page::text(QStringLiteral("参数错误"));
    if (action == QLatin1String("cx")) {
        QStringList settings = state.agentSites().value(userId);
        while (settings.size() < 5)
            settings.append(QString());
        return Page::text(settings.join(kSeparator));
    }
    if (action != QLatin1String("tj"))
        return Page::text(QStringLiteral("参数错误"));
    if (r.formValue(QStringLiteral("key")) != md5Short(kSiteKey + userId))
        return Page::text(QStringLiteral("签名错误，设置失败"));
    QStringList settings;
    for (const char *key : kSettingKeys)
        settings.append(r.formValue(QString::fromLatin1(key)));
    state.agentSites().insert(userId, settings);
    return Page::text(QStringLiteral("设置成功"));
}

// The agent's public site: its name as the title.
Page agentSite(const Request &r, State &state)
{
    const QStringList settings = state.agentSites().value(r.queryValue(QStringLiteral("id")));
    const QString name = settings.value(0, QStringLiteral("代理网站"));
    QString body = QStringLiteral("<h1>") + escapeHtml(name) + QStringLiteral("</h1>");
    for (qsizetype i = 1; i < settings.size(); ++i)
        body += QStringLiteral("<p>") + escapeHtml(settings.at(i)) + QStringLiteral("</p>");
    return Page::html(name, body);
}

} // namespace

void addToolPages(PlatformSim &sim)
{
    sim.addPage(QStringLiteral("/platform/apicx.asp"), serverList);
    sim.addPage(QStringLiteral("/agentsite/apiwait12.asp"), agentWebsite);
    sim.addPage(QStringLiteral("/agentsite/"), agentSite);
}

} // namespace sim

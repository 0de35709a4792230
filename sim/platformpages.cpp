// The agent platform's pages, below /platform/.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

QString marker(const QString &name, const QString &value)
{
    return QLatin1Char('?') + name + QStringLiteral("?=") + value + QStringLiteral("?@?");
}

// index1.asp?action=dl&zh=&mm=&sj=&hardware=
Page login(const Request &r, State &s)
{
    const QString zh = r.queryValue(QStringLiteral("zh"));
    const QString mm = r.queryValue(QStringLiteral("mm"));
    if (r.queryValue(QStringLiteral("action")) != QLatin1String("dl") || zh.isEmpty() ||
        mm.isEmpty())
        return Page::html(QStringLiteral("参数错误！"), {});
    const Account *a = s.findAccount(zh);
    if (!a)
        return Page::html(QStringLiteral("帐号不存在！"), {});
    if (a->password != mm)
        return Page::html(QStringLiteral("密码错误！"), {});

    const QString key = s.openSession(a->account);
    // Markup around the markers, so that a reader has to cut them out of HTML.
    const QString body =
        QStringLiteral("<div class=\"top\"><b>代理商平台</b></div>\n"
                       "<div id=\"userinfo\">\n<span>") +
        marker(QStringLiteral("sessionkey"), key) + QStringLiteral("</span>\n<span>") +
        marker(QStringLiteral("username"), a->userName) + QStringLiteral("</span><br>\n<span>") +
        marker(QStringLiteral("usermoney"), a->balance) + QStringLiteral("</span>") +
        marker(QStringLiteral("userdjmoney"), a->frozenFunds) + QStringLiteral("<br>\n<p>") +
        marker(QStringLiteral("userid"), a->userId) + marker(QStringLiteral("usersj"), a->level) +
        QStringLiteral("</p>\n<table><tr><td>") +
        marker(QStringLiteral("jkx_yjsxmoney"), a->bonusCommission) + QStringLiteral("</td><td>") +
        marker(QStringLiteral("jkx_yjspmoney"), a->salesCommission) +
        QStringLiteral("</td></tr></table>\n</div>\n<p>登陆成功，正在进入系统……</p>");
    return Page::html(QStringLiteral("登陆成功！"), body);
}

// down1.html?sj=&hardware=: the newest version and where to get it.
Page version(const Request &, State &s)
{
    return Page::html(s.versionTitle(), s.downloadUrl());
}

} // namespace

void addPlatformPages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("index1.asp"), login);
    sim.addPage(kBase + QStringLiteral("down1.html"), version);
}

} // namespace sim

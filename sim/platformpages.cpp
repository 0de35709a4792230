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

// notice.asp?sessionkey= shows the notice; notice.asp?sj=&hardware=&sessionkey=
// answers the account figures in the title: balance|frozen|0|sales|bonus.
Page notice(const Request &r, State &s)
{
    const QString body = QStringLiteral("<div class=\"notice\"><h3>平台公告</h3>"
                                        "<p>话费充值秒到账，游戏点卡全面上架。</p></div>");
    if (!r.query.contains(QStringLiteral("sj")))
        return Page::html(QStringLiteral("公告"), body);
    const Account *a = s.accountForSession(r.queryValue(QStringLiteral("sessionkey")));
    if (!a)
        return Page::html(QStringLiteral("请重新登录"), body);
    const QStringList figures = {a->balance, a->frozenFunds, QStringLiteral("0"),
                                 a->salesCommission, a->bonusCommission};
    return Page::html(figures.join(QLatin1Char('|')), body);
}

Page tutorialForm(const Request &, State &)
{
    return Page::html(QStringLiteral("教程"), QStringLiteral("<form id=\"jc\"></form>"));
}

// jymm.asp?sj=&hardware=&sessionkey=&jymm=: "正确" for the account's
// transaction password.
Page tradePassword(const Request &r, State &s)
{
    const Account *a = s.accountForSession(r.queryValue(QStringLiteral("sessionkey")));
    if (!a)
        return Page::html(QStringLiteral("请重新登录"), {});
    if (a->tradePassword != r.queryValue(QStringLiteral("jymm")))
        return Page::html(QStringLiteral("交易密码错误"), {});
    return Page::html(QStringLiteral("正确"), {});
}

} // namespace

void addPlatformPages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("index1.asp"), login);
    sim.addPage(kBase + QStringLiteral("down1.html"), version);
    sim.addPage(kBase + QStringLiteral("notice.asp"), notice);
    sim.addPage(kBase + QStringLiteral("jcform.asp"), tutorialForm);
    sim.addPage(kBase + QStringLiteral("jymm.asp"), tradePassword);
}

} // namespace sim

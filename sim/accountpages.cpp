// The account and service pages of the platform.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

// What the pages of an expired or unknown session answer.
Page refusal()
{
    return Page::html(QStringLiteral("请重新登陆！"),
                      QStringLiteral("<p>登陆已失效，请重新登陆。</p>"));
}

// A session-keyed page: refused without a valid key, otherwise titled and
// naming the account it is for.
PlatformSim::Handler accountPage(const QString &title, const QString &content)
{
    return [title, content](const Request &r, State &s) {
        const Account *a = s.accountForSession(r.queryValue(QStringLiteral("sessionkey")));
        if (!a)
            return refusal();
        return Page::html(title, QStringLiteral("<h3>") + escapeHtml(title) +
                                     QStringLiteral("</h3><p id=\"account\">") +
                                     escapeHtml(a->account) + QStringLiteral("</p>") + content);
    };
}

// salecx.asp and salegh.asp: the agent's balance is the title.
Page balancePage(const Request &r, State &s, const QString &heading)
{
    const Account *a = s.accountForSession(r.queryValue(QStringLiteral("sessionkey")));
    if (!a)
        return refusal();
    return Page::html(a->balance, QStringLiteral("<h3>") + heading +
                                      QStringLiteral("</h3><p>当前余额：<span id=\"balance\">") +
                                      escapeHtml(a->balance) + QStringLiteral("</span> 元</p>"));
}

// jk.asp: the add-funds steps. The first shows the form, a submit the
// confirmation; either is one more page loaded in the window.
Page addFunds(const Request &r, State &s)
{
    const QString key = r.queryValue(QStringLiteral("sessionkey"));
    const Account *a = s.accountForSession(key);
    if (!a)
        return refusal();
    const QString money = r.queryValue(QStringLiteral("money"));
    if (!money.isEmpty()) {
        return Page::html(QStringLiteral("加款申请已提交"),
                          QStringLiteral("<p>加款申请 <span id=\"money\">") + escapeHtml(money) +
                              QStringLiteral("</span> 元已提交，到帐后余额自动更新。</p>"));
    }
    return Page::html(QStringLiteral("加款"),
                      QStringLiteral("<form action=\"jk.asp\" method=\"get\">"
                                     "<input type=\"hidden\" name=\"sessionkey\" value=\"") +
                          escapeHtml(key) +
                          QStringLiteral("\">金额：<input id=\"money\" name=\"money\" "
                                         "value=\"100\"><input type=\"submit\" id=\"Submit\" "
                                         "value=\"加款\"></form>"));
}

// gh.asp and xs.asp carry a close button, as the platform's supply pages do.
const QString kCloseButton = QStringLiteral(
    "<p><a href=\"#\" id=\"closeme\" onclick=\"window.close();return false;\">关闭</a></p>");

Page fixedPage(const QString &title)
{
    return Page::html(title, QStringLiteral("<h3>") + escapeHtml(title) + QStringLiteral("</h3>"));
}

} // namespace

void addAccountPages(PlatformSim &sim)
{
    const std::pair<const char *, const char *> keyed[] = {
        {"BuyCardHistory.asp", "销售记录"},
        {"Personal.asp", "个人信息"},
        {"BuyCardHistory2.asp", "下级销售"},
        {"monycz.asp", "资金管理"},
        {"modifypassword1.asp", "密码管理"},
        {"monycz1.asp", "提现"},
        {"yd.asp", "酒店预订"},
        {"ydBuyCardHistory.asp", "预订记录"},
        {"BindHardware.asp", "硬件管理"},
        {"BuyCardHistoryc.asp", "投诉补单"},
        {"BuyCardHistoryyj.asp", "佣金记录"},
    };
    for (const auto &[page, title] : keyed)
        sim.addPage(kBase + QLatin1String(page), accountPage(QString::fromUtf8(title), {}));

    sim.addPage(kBase + QStringLiteral("gh.asp"),
                accountPage(QStringLiteral("供货商管理"), kCloseButton));
    sim.addPage(kBase + QStringLiteral("xs.asp"),
                accountPage(QStringLiteral("销售商管理"), kCloseButton));
    sim.addPage(kBase + QStringLiteral("jk.asp"), addFunds);
    sim.addPage(kBase + QStringLiteral("salecx.asp"), [](const Request &r, State &s) {
        return balancePage(r, s, QStringLiteral("软件销售"));
    });
    sim.addPage(kBase + QStringLiteral("salegh.asp"), [](const Request &r, State &s) {
        return balancePage(r, s, QStringLiteral("供货权限开通"));
    });

    const std::pair<const char *, const char *> fixed[] = {
        {"jc.asp", "视频教程"},  {"wap", "手机WAP"},     {"kd", "快递查询"},
        {"flash", "娱乐小游戏"}, {"dk.asp", "个人贷款"}, {"st.asp", "实体加盟"},
    };
    for (const auto &[page, title] : fixed) {
        const QString text = QString::fromUtf8(title);
        sim.addPage(kBase + QLatin1String(page),
                    [text](const Request &, State &) { return fixedPage(text); });
    }
}

} // namespace sim

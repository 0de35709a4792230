// Account registration: reg.asp and the pages its window links to.
#include "sim/pages.h"

#include <atomic>

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

// The fields of the registration form, in the order the form shows them.
const char *const kFields[][2] = {
    {"zh", "登录帐号"},   {"mm", "登陆密码"},        {"username", "真实姓名"},
    {"userqq", "联系QQ"}, {"userphone", "联系手机"}, {"usercard", "身份证"},
    {"jymm", "交易密码"},
};

// reg.asp?sj=&hardware=: the form the client fills in its hidden browser.
Page registrationForm(const Request &, State &)
{
    QString rows;
    for (const auto &[id, label] : kFields) {
        const QString name = QString::fromLatin1(id);
        const bool secret = name == QLatin1String("mm") || name == QLatin1String("jymm");
        rows += QStringLiteral("<tr><td>%1：</td><td><input type=\"%2\" id=\"%3\" name=\"%3\" "
                               "size=\"20\"></td></tr>\n")
                    .arg(QString::fromUtf8(label),
                         secret ? QStringLiteral("password") : QStringLiteral("text"), name);
    }
    return Page::html(QStringLiteral("用户注册"),
                      QStringLiteral("<form method=\"post\" action=\"regsave.asp\">\n<table>\n") +
                          rows +
                          QStringLiteral("<tr><td></td><td><input type=\"submit\" id=\"Submit\" "
                                         "name=\"Submit\" value=\"提交注册\"></td></tr>\n"
                                         "</table>\n</form>"));
}

// regsave.asp: the form posted by a browser, so '+' stands for a blank.
Page saveRegistration(const Request &r, State &s)
{
    if (r.method != QLatin1String("POST"))
        return Page::html(QStringLiteral("参数错误！"), {});
    const QMultiMap<QString, QString> form =
        parseUrlEncoded(QByteArray(r.body).replace('+', "%20"));
    const QString zh = form.value(QStringLiteral("zh"));
    const QString mm = form.value(QStringLiteral("mm"));
    const QString jymm = form.value(QStringLiteral("jymm"));
    if (zh.isEmpty() || mm.isEmpty() || jymm.isEmpty())
        return Page::html(QStringLiteral("请填写完整的注册资料！"), {});
    if (s.findAccount(zh))
        return Page::html(QStringLiteral("该帐号已经存在！"),
                          QStringLiteral("<p>帐号 ") + escapeHtml(zh) +
                              QStringLiteral(" 已被注册，请换一个帐号。</p>"));

    // Ids of new agents follow the demo's; unique within the process.
    static std::atomic<int> nextUserId{20001};
    Account a;
    a.account = zh;
    a.password = mm;
    a.tradePassword = jymm;
    a.balance = QStringLiteral("0.00");
    a.frozenFunds = QStringLiteral("0.00");
    a.bonusCommission = QStringLiteral("0.00");
    a.salesCommission = QStringLiteral("0.00");
    a.level = QStringLiteral("1");
    a.userId = QString::number(nextUserId++);
    a.userName = form.value(QStringLiteral("username"));
    s.addAccount(a);
    return Page::html(QStringLiteral("注册成功！"), QStringLiteral("<p>帐号 ") + escapeHtml(zh) +
                                                        QStringLiteral(" 注册成功，用户编号 ") +
                                                        a.userId + QStringLiteral("。</p>"));
}

// shownews.asp?id=192: the user agreement.
Page news(const Request &r, State &)
{
    if (r.queryValue(QStringLiteral("id")) != QLatin1String("192"))
        return Page::html(QStringLiteral("找不到该文章"), {});
    return Page::html(QStringLiteral("用户协议"),
                      QStringLiteral("<h1>代理商用户协议</h1>\n<p>注册即表示您同意遵守本平台的"
                                     "代理商服务条款。</p>"));
}

// BuyCard_Step1.asp: self-service activation.
Page activation(const Request &, State &)
{
    return Page::html(QStringLiteral("自助开通"),
                      QStringLiteral("<h1>自助开通</h1>\n<p>请选择开通方式并按提示付款。</p>"));
}

} // namespace

void addRegistrationPages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("reg.asp"), registrationForm);
    sim.addPage(kBase + QStringLiteral("regsave.asp"), saveRegistration);
    sim.addPage(kBase + QStringLiteral("shownews.asp"), news);
    sim.addPage(kBase + QStringLiteral("BuyCard_Step1.asp"), activation);
}

} // namespace sim

#include "tools/balancequery.h"

#include "app/core/platform.h"
#include "recharge/manualrecharge.h"

namespace {

const QString kSuccess = QStringLiteral("成功");
const QString kMessageKey = QStringLiteral("qorvaxle");
const QChar kFieldSeparator = QLatin1Char('|');

} // namespace

const QStringList &provinceList()
{
    static const QStringList list = {
        QStringLiteral("河北"),   QStringLiteral("山东"), QStringLiteral("辽宁"),
        QStringLiteral("黑龙江"), QStringLiteral("吉林"), QStringLiteral("甘肃"),
        QStringLiteral("青海"),   QStringLiteral("河南"), QStringLiteral("江苏"),
        QStringLiteral("湖北"),   QStringLiteral("湖南"), QStringLiteral("江西"),
        QStringLiteral("浙江"),   QStringLiteral("广东"), QStringLiteral("云南"),
        QStringLiteral("福建"),   QStringLiteral("台湾"), QStringLiteral("海南"),
        QStringLiteral("山西"),   QStringLiteral("四川"), QStringLiteral("陕西"),
        QStringLiteral("贵州"),   QStringLiteral("安徽"), QStringLiteral("重庆"),
        QStringLiteral("北京"),   QStringLiteral("上海"), QStringLiteral("天津"),
        QStringLiteral("广西"),   QStringLiteral("内蒙"), QStringLiteral("西藏"),
        QStringLiteral("新疆"),   QStringLiteral("宁夏"),
    };
    return list;
}

QString serverListUrl(const QString &baseUrl, const QString &sj)
{
    return baseUrl + kServerListPage + QStringLiteral("?sj=") + sj;
}

QString readQueryServer(const QString &body)
{
    QString text = body;
    return ExtractBetween(u"&", u"&", text);
}

PhoneAction phoneAction(const QString &text)
{
    if (!isNumberText(text))
        return PhoneAction::Nothing;
    if (text.size() == 11 && text.startsWith(QLatin1Char('1')))
        return PhoneAction::NumberInfo;
    if (text.size() >= 2 && text.size() <= 4 && text.startsWith(QLatin1Char('0')))
        return PhoneAction::FixedLine;
    return PhoneAction::Nothing;
}

QString mobileCardInfo(const QString &answer)
{
    QString text = answer;
    text.remove(QStringLiteral("\r\n"));
    return kCardInfoPrefix + text;
}

QString fixedLineCardInfo(const QString &typed)
{
    QString region = 获取电信号码区(typed);
    // The first digit of the number after a three-digit area code must not
    // lose the region that the area code found.
    if (region.isEmpty() && typed.size() == 4)
        region = 获取电信号码区(typed.left(3));
    return kFieldSeparator + region;
}

QString queryAreaPart(const QString &cardInfo)
{
    const QString field = cardInfo.section(kFieldSeparator, 1, 1);
    for (const QString &province : provinceList()) {
        if (!field.contains(province))
            continue;
        QString city = field;
        city.remove(province);
        city.remove(QStringLiteral("省"));
        city.remove(QStringLiteral("固定电话"));
        city.remove(QLatin1Char(' '));
        const QString kind = cardInfo.contains(QStringLiteral("移动"))   ? QStringLiteral("移动")
                             : cardInfo.contains(QStringLiteral("联通")) ? QStringLiteral("联通")
                                                                         : QStringLiteral("电信");
        QString area = QStringLiteral("s=") + province + QStringLiteral("&y=") + kind +
                       QStringLiteral("&d=") + city;
        return area.remove(QStringLiteral("市"));
    }
    return {};
}

QString balanceMessageKey(const QString &message)
{
    const qsizetype from = message.indexOf(QLatin1Char('?'));
    const qsizetype to = message.indexOf(QStringLiteral("sj="));
    if (from < 0 || to < from)
        return {};
    return Md5Short(QStringView(message).mid(from + 1, to - from - 1).toString() + kMessageKey);
}

QString balanceQueryMessage(const QString &number, const QString &area, const QString &level,
                            const QString &sj)
{
    const QString signedPart = QStringLiteral("ad.asp?hm=") + number + QLatin1Char('&') + area +
                               QStringLiteral("&dj=") + level + QStringLiteral("&sj=");
    return signedPart + sj + QStringLiteral("&key=") + balanceMessageKey(signedPart) +
           QStringLiteral("&&");
}

BalanceReply readBalanceReply(const QString &reply)
{
    BalanceReply r;
    r.text = reply;
    r.ok = reply.startsWith(kSuccess);
    if (r.ok) {
        const QStringList fields = reply.split(kFieldSeparator);
        r.name = fields.value(1);
        r.balance = fields.value(2);
    }
    return r;
}

bool quickQueryApplies(const QString &number, const QString &region)
{
    return isNumberText(number) && number.size() == 11 &&
           (region.contains(QStringLiteral("渭南")) || region.contains(QStringLiteral("陕西")));
}

QString quickQueryResult(const QString &reply)
{
    const BalanceReply r = readBalanceReply(reply);
    if (!r.ok)
        return QStringLiteral("查询失败！");
    return QStringLiteral("客户姓名： ") + r.name + QStringLiteral("   客户话费： ") + r.balance;
}

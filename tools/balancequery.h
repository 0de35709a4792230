#pragma once

#include <QString>
#include <QStringList>

// What the balance query computes from text: the server list, the number's
// card information and area, the signed query message and the replies. No
// widget and no socket in here.

inline const QString kServerListPage = QStringLiteral("apicx.asp");
// The request kind of Inet1 while the server list is being fetched.
inline const QString kServerListKind = QStringLiteral("查询服务器");
inline const QString kCardInfoPrefix = QStringLiteral("卡信息：");
inline const QString kNoQueryServer = QStringLiteral("没有可供查询的服务器！");
inline const QString kCloseMessage = QStringLiteral("Close ");

// The 32 province names of List2, in the order the area detection tries them.
const QStringList &provinceList();

// "apicx.asp?sj=" + sj below the platform's base URL.
QString serverListUrl(const QString &baseUrl, const QString &sj);
// The query server: the text between the first and the second "&"; empty
// when there are not two.
QString readQueryServer(const QString &body);

// What an edit of the number leads to.
enum class PhoneAction
{
    NumberInfo, // 11 digits beginning with 1: ask the number-information service
    FixedLine,  // 2 to 4 digits beginning with 0: the area table
    Nothing,
};
PhoneAction phoneAction(const QString &text);

// Label3 for a mobile number: the prefix and the service's answer without
// its CR LF pairs.
QString mobileCardInfo(const QString &answer);
// Label3 for a fixed line: "|" + the region of the typed digits; four digits
// that no area code contains are a three-digit area code and a first digit.
QString fixedLineCardInfo(const QString &typed);

// "s=" + province + "&y=" + operator + "&d=" + city from the card
// information, every "市" removed; empty when it names no province.
QString queryAreaPart(const QString &cardInfo);

// The signature of a message: Md5Short of the text between "?" and "sj="
// followed by the key.
QString balanceMessageKey(const QString &message);
// "ad.asp?hm=" + number + "&" + area + "&dj=" + level + "&sj=" + sj + "&key=" + key + "&&".
QString balanceQueryMessage(const QString &number, const QString &area, const QString &level,
                            const QString &sj);

// A reply of the balance server.
struct BalanceReply
{
    bool ok = false; // began with "成功"
    QString name;    // field 1
    QString balance; // field 2
    QString text;    // the reply as it came
};
BalanceReply readBalanceReply(const QString &reply);

// ---- The quick query of the main window ----

// An 11-digit number whose region mentions 渭南 or 陕西.
bool quickQueryApplies(const QString &number, const QString &region);
inline const QString kQuickQueryRunning = QStringLiteral("正在查询：");
// What Label14 shows for a reply.
QString quickQueryResult(const QString &reply);

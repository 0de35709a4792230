#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What the shop automation reads from the market places' pages and what it
// sends them: plain functions over text, with the markers kept as data so
// that they can follow the sites.

// One order cut from a shop page; all fields text.
struct ShopOrder
{
    QString orderId;  // the shop's internal id, used to consign it (stored as shipNo)
    QString orderNo;  // the number buyer and seller see
    QString buyer;    // nickname (Taobao) or numeric account (Paipai)
    QString account;  // the number or account to recharge
    QString area;     // game area, or the recharge method chosen
    QString quantity; // items bought
    QString title;    // the item's title in the shop

    bool operator==(const ShopOrder &) const = default;
};

// ---- Taobao ----

// The markers of the seller's order-list page. A site that changes its page
// needs new values here, not a new parser.
struct TaobaoMarkers
{
    QString logisStart = QStringLiteral("<!-- logis start -->");
    QString logisEnd = QStringLiteral("<!-- logis end -->");
    QString block = QStringLiteral("<tbody>");
    QString blockEnd = QStringLiteral("</TBODY>");
    QString orderNoStart = QStringLiteral("order-number\">订单编号：");
    QString orderNoEnd = QStringLiteral("</");
    QString titleStart = QStringLiteral("名称：");
    QString titleEnd = QStringLiteral(" §");
    QString quantityStart = QStringLiteral("数量：");
    QString quantityEnd = QStringLiteral("件");
    QString buyerStart = QStringLiteral("params=\"nick=");
    QString buyerEnd = QStringLiteral("&");
    QString phoneLabel = QStringLiteral("手机/小灵通号码:");
    QString phoneEnd = QStringLiteral("备注:");
    QString areaLabel = QStringLiteral("所在区/服:");
    QString areaEnd = QStringLiteral("游戏");
    QString gameAccountStart = QStringLiteral("号:");
    QString doubleNoteEnd = QStringLiteral("备注::");
    QString qqLabel = QStringLiteral("QQ:");
    QString userNameLabel = QStringLiteral("充值用户名:");
    QString methodLabel = QStringLiteral("充值方式:");
    QString accountTypeLabel = QStringLiteral("账号类型:");
    QString fullWidthComma = QStringLiteral("，");
    QString orderIdStart = QStringLiteral("consign.htm?order_id=");
    QString orderIdEnd = QStringLiteral("\"");
    QString tokenStart = QStringLiteral("'_tb_token_' type='hidden' value='");
    QString tokenEnd = QStringLiteral("'");
    QString nickStart = QStringLiteral("亲爱的<b>");
    QString nickEnd = QStringLiteral("<");
    // A page that asks the seller to log in.
    QString loginForm = QStringLiteral("TPL_password");
    // The title of the page a successful shop login shows.
    QString loggedInTitle = QStringLiteral("淘宝网 -- 淘我喜欢！");
};
const TaobaoMarkers &taobaoMarkers();

struct TaobaoPage
{
    bool hasOrderList = false; // the logistics section was there (not the login page)
    // Both ends of the logistics section came: every order waiting for
    // shipment is among the orders.
    bool whole = false;
    QList<ShopOrder> orders; // every block, in page order
    QString tbToken;
};

// 读取淘宝订单's reading: the orders between the logistics markers, each block
// cut field by field in order, the account by the first label found before
// the block's "</TBODY>", and the page's anti-forgery token.
TaobaoPage readTaobaoPage(const QString &page, const TaobaoMarkers &m = taobaoMarkers());
// The seller's messenger name on the member page: after "亲爱的<b>", up to "<".
QString readSellerNick(const QString &page, const TaobaoMarkers &m = taobaoMarkers());

// Site addresses are the configured ones, ending in "/".
QString taobaoOrderListUrl(const QString &logisticsSite, const QString &sj);
QString taobaoMemberPageUrl(const QString &memberSite);
QString taobaoConsignUrl(const QString &logisticsSite, const QString &orderId,
                         const QString &tbToken);

// ---- Paipai ----

struct PaipaiMarkers
{
    QString tradePasswordNotice = QStringLiteral("请先使用交易密码");
    QString deal = QStringLiteral("<Deal>");
    QString idStart = QStringLiteral("<ID>");
    QString idEnd = QStringLiteral("</ID>");
    QString uinStart = QStringLiteral("<Uin>");
    QString uinEnd = QStringLiteral("</Uin>");
    QString nameStart = QStringLiteral("<Name><![CDATA[ ");
    QString nameEnd = QStringLiteral(" ]]></Name>");
    QString countStart = QStringLiteral("<ItemCount>");
    QString countEnd = QStringLiteral("</ItemCount>");
    QString postscriptStart = QStringLiteral("<Postscript><![CDATA[ ");
    QString postscriptEnd = QStringLiteral(" ]]></Postscript>");
    // The list of deals, and how many the site holds in all: an answer of one
    // page of them is not the whole list.
    QString listStart = QStringLiteral("<DealList>");
    QString listEnd = QStringLiteral("</DealList>");
    QString totalStart = QStringLiteral("<TotalNum>");
    QString totalEnd = QStringLiteral("</TotalNum>");
    // A page that asks the seller to log in.
    QString loginForm = QStringLiteral("type=\"password\"");
    QStringList sellerPageTitles = {QStringLiteral("我卖出的商品"), QStringLiteral("我是卖家")};
};
const PaipaiMarkers &paipaiMarkers();

struct PaipaiAnswer
{
    bool tradePasswordAsked = false;
    bool loginPage = false;
    // The deal list came to its end, and holds as many deals as the site
    // says it has: every deal waiting for shipment is among the deals.
    bool whole = false;
    QList<ShopOrder> deals; // in answer order; orderId and orderNo are the deal id
};
// 读取拍拍数据's reading. An answer with the trade-password notice yields no deal.
PaipaiAnswer readPaipaiAnswer(const QString &answer, const PaipaiMarkers &m = paipaiMarkers());

inline const QString kPaipaiToken = QStringLiteral("40265813975");

QString paipaiSoldEntryUrl(const QString &tradeSite);
QString paipaiSoldUrl(const QString &tradeSite);
QString paipaiBoughtEntryUrl(const QString &tradeSite);
// The deal-list query body, exactly as the site takes it.
QString paipaiDealListBody(const QString &sj, const QString &machineId);
QString paipaiConsignUrl(const QString &logisticsSite);
QString paipaiConsignReferer(const QString &logisticsSite, const QString &dealId);
// "g_tk=" token "&g_ty=j132&biz_deal=" deal "%23" UrlEncodeUtf8(card) "%23" buyer
QString paipaiConsignBody(const QString &dealId, const QString &cardCode, const QString &buyer);

// ---- What a consign answer says ----

enum class ConsignOutcome
{
    Shipped, // the shop took it
    Refused, // the shop answered, and not with success: the reason says why
    LoggedOut,
    Unknown, // the answer cannot be read: the shop may have taken it
};
struct ConsignAnswer
{
    ConsignOutcome outcome = ConsignOutcome::Refused;
    QString reason;
};
// Taobao: a page whose title says success; an error page or the login page
// is a refusal, any other page says nothing.
ConsignAnswer readTaobaoConsignAnswer(const QString &page,
                                      const TaobaoMarkers &m = taobaoMarkers());
// Paipai: the site's JSON status, "errCode":0 for success; an answer without
// one says nothing.
ConsignAnswer readPaipaiConsignAnswer(const QString &answer,
                                      const PaipaiMarkers &m = paipaiMarkers());

// ---- The Taobao refresh interval ----

struct RefreshAnswer
{
    enum Kind
    {
        Ignored, // empty, cancelled or not a number: nothing changes, nothing is said
        OutOfRange,
        Accepted,
    };
    Kind kind = Ignored;
    int intervalMs = 0;
};
// The answer typed into the input box: a whole number of seconds (halves
// rounded to the even number), 30 to 60.
RefreshAnswer readRefreshAnswer(const QString &text);

#include "shop/shoppages.h"

#include "app/core/gbk.h"
#include "app/core/platform.h"

#include <cfenv>
#include <cmath>
#include <string_view>

namespace {

// The account and area of one Taobao block, by the first label found before
// the block's end; the cuts go on in W.
void readAccount(CutText &w, ShopOrder &o, const TaobaoMarkers &m)
{
    const qsizetype end = w.find(m.blockEnd);
    if (end < 0)
        return;
    // Whether a label stands before the block's end; looked up through W's
    // memory of its markers, so that a block reaching far down the page is not
    // scanned again for every label.
    const auto before = [&](const QString &label) {
        const qsizetype at = w.find(label);
        return at >= 0 && at + label.size() <= end;
    };
    if (before(m.phoneLabel)) {
        o.account = ExtractBetween(m.phoneLabel, m.phoneEnd, w);
    } else if (before(m.areaLabel)) {
        o.area = ExtractBetween(m.areaLabel, m.areaEnd, w);
        o.account = ExtractBetween(m.gameAccountStart, m.doubleNoteEnd, w);
    } else if (before(m.qqLabel)) {
        o.account = ExtractBetween(m.qqLabel, m.doubleNoteEnd, w);
    } else if (before(m.userNameLabel)) {
        if (!before(m.methodLabel)) {
            o.account = ExtractBetween(m.userNameLabel, m.fullWidthComma, w);
        } else if (!before(m.accountTypeLabel)) {
            o.account = ExtractBetween(m.userNameLabel, m.methodLabel, w);
            o.area = ExtractBetween(m.methodLabel, m.fullWidthComma, w);
        } else {
            o.account = ExtractBetween(m.userNameLabel, m.accountTypeLabel, w);
            o.area = ExtractBetween(m.methodLabel, m.fullWidthComma, w);
        }
    }
}

// The page is HTML as the site wrote it: text from people comes with its
// markup characters escaped. The stored order holds what the buyer wrote, not
// the page's escapes ("&amp;" last, so that an escaped escape stays one).
QString htmlText(QString text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&#039;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// The buyer's nick stands in a link's query ("nick=...&site=..."), where the
// site percent-encodes what would end it; plain nicks pass unchanged.
QString nickText(const QString &text)
{
    const QString html = htmlText(text);
    if (!html.contains(QLatin1Char('%')))
        return html;
    return fromGbk(QByteArray::fromPercentEncoding(toGbk(html)));
}

// As escapeValue, for the mark-shipped request, which the site reads as UTF-8.
QString escapeUtf8Value(QStringView value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char c : value.toUtf8()) {
        const auto b = static_cast<uchar>(c);
        if (b > 0x20 && b < 0x7F && std::string_view("&=+%#?").find(c) == std::string_view::npos) {
            out.append(QLatin1Char(c));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[b >> 4]));
            out.append(QLatin1Char(hex[b & 0xF]));
        }
    }
    return out;
}

QString withoutBlanks(QString text)
{
    text.remove(QStringLiteral("&nbsp;"));
    text.remove(QLatin1Char(' '));
    return text;
}

QString siteAddress(const QString &site, QStringView path)
{
    // The configured sites end in "/"; the paths are written from the root.
    if (site.endsWith(QLatin1Char('/')) && path.startsWith(u'/'))
        return site + path.sliced(1).toString();
    return site + path.toString();
}

QString titleOf(const QString &page)
{
    QString text = page;
    return ExtractBetween(u"<title>", u"</title>", text);
}

} // namespace

const TaobaoMarkers &taobaoMarkers()
{
    static const TaobaoMarkers markers;
    return markers;
}

const PaipaiMarkers &paipaiMarkers()
{
    static const PaipaiMarkers markers;
    return markers;
}

TaobaoPage readTaobaoPage(const QString &page, const TaobaoMarkers &m)
{
    TaobaoPage result;
    {
        CutText whole(page);
        result.tbToken = ExtractBetween(m.tokenStart, m.tokenEnd, whole);
    }
    result.hasOrderList = page.contains(m.logisEnd);
    const qsizetype start = page.indexOf(m.logisStart);
    result.whole = start >= 0 && page.indexOf(m.logisEnd, start + m.logisStart.size()) >= 0;
    CutText all(page);
    // The section is copied once; every cut after it moves an offset.
    CutText w(ExtractBetween(m.logisStart, m.logisEnd, all));
    while (true) {
        const qsizetype at = w.find(m.block);
        if (at < 0)
            break;
        w.advance(at + m.block.size());
        ShopOrder o;
        o.orderNo = ExtractBetween(m.orderNoStart, m.orderNoEnd, w);
        o.title = ExtractBetween(m.titleStart, m.titleEnd, w);
        o.quantity = ExtractBetween(m.quantityStart, m.quantityEnd, w);
        o.buyer = ExtractBetween(m.buyerStart, m.buyerEnd, w);
        readAccount(w, o, m);
        o.area = htmlText(withoutBlanks(o.area));
        o.account = htmlText(withoutBlanks(o.account));
        o.orderId = htmlText(ExtractBetween(m.orderIdStart, m.orderIdEnd, w));
        o.orderNo = htmlText(o.orderNo);
        o.title = htmlText(o.title);
        o.buyer = nickText(o.buyer);
        result.orders.append(o);
    }
    return result;
}

QString readSellerNick(const QString &page, const TaobaoMarkers &m)
{
    QString text = page;
    return htmlText(ExtractBetween(m.nickStart, m.nickEnd, text));
}

QString taobaoOrderListUrl(const QString &logisticsSite, const QString &sj)
{
    return siteAddress(logisticsSite, u"/user/order_list_new.htm?order_status_show=send&sj=") + sj;
}

QString taobaoMemberPageUrl(const QString &memberSite)
{
    return siteAddress(memberSite, u"/user/baseInfoSet.htm");
}

QString taobaoConsignUrl(const QString &logisticsSite, const QString &orderId,
                         const QString &tbToken)
{
    return siteAddress(logisticsSite, u"/user/consign_dummy.htm?order_id=") + escapeValue(orderId) +
           QStringLiteral("&source=&callUrl=&_tb_token_=") + escapeValue(tbToken) +
           QStringLiteral(
               "&action=user%2Fconsign_action&event_submit_do_dummy=anything&_fmw.n._0.g=");
}

PaipaiAnswer readPaipaiAnswer(const QString &answer, const PaipaiMarkers &m)
{
    PaipaiAnswer result;
    if (answer.contains(m.tradePasswordNotice)) {
        result.tradePasswordAsked = true;
        return result;
    }
    result.loginPage = !answer.contains(m.deal) && answer.contains(m.loginForm);
    CutText w(answer);
    while (true) {
        const qsizetype at = w.find(m.deal);
        if (at < 0)
            break;
        // The deal's own fields follow its marker.
        w.advance(at + m.deal.size());
        ShopOrder o;
        o.orderId = ExtractBetween(m.idStart, m.idEnd, w);
        o.orderNo = o.orderId;
        o.buyer = ExtractBetween(m.uinStart, m.uinEnd, w);
        o.title = ExtractBetween(m.nameStart, m.nameEnd, w);
        o.quantity = ExtractBetween(m.countStart, m.countEnd, w);
        // A message of the two wrapper blanks alone is no message.
        const qsizetype s = w.find(m.postscriptStart);
        const qsizetype e = w.find(m.postscriptEnd);
        if (s >= 0 && e > s + m.postscriptStart.size()) {
            o.account = ExtractBetween(m.postscriptStart, m.postscriptEnd, w);
            o.account.remove(QLatin1Char(' '));
        }
        result.deals.append(o);
    }
    const qsizetype start = answer.indexOf(m.listStart);
    result.whole = !result.loginPage && start >= 0 &&
                   answer.indexOf(m.listEnd, start + m.listStart.size()) >= 0;
    if (result.whole && answer.contains(m.totalStart)) {
        QString text = answer;
        bool ok = false;
        const qsizetype total =
            ExtractBetween(m.totalStart, m.totalEnd, text).trimmed().toLongLong(&ok);
        result.whole = ok && total == result.deals.size();
    }
    return result;
}

QString paipaiSoldEntryUrl(const QString &tradeSite)
{
    return siteAddress(tradeSite, u"/cgi-bin/trade_deal_list/soldentry?isSellLink=04&index=2");
}

QString paipaiSoldUrl(const QString &tradeSite)
{
    return siteAddress(tradeSite, u"/cgi-bin/trade_deal_list/sold");
}

QString paipaiBoughtEntryUrl(const QString &tradeSite)
{
    return siteAddress(tradeSite, u"/cgi-bin/trade_deal_list/boughtentry?isBuyLink=01");
}

QString paipaiDealListBody(const QString &sj, const QString &machineId)
{
    return QStringLiteral("consignee=&item_name=&deal_id=&deal_state=2&after_sale=&eval_state=&"
                          "time_type=0&uin=&note_type=&is_history=&start_page=1&serial_no=0&"
                          "t=0.5531484&page_size%20=%2015&sj=") +
           sj + QStringLiteral("&hardware=") + machineId;
}

QString paipaiConsignUrl(const QString &logisticsSite)
{
    return siteAddress(logisticsSite, u"/cgi-bin/wuliu/marknowuliu");
}

QString paipaiConsignReferer(const QString &logisticsSite, const QString &dealId)
{
    return siteAddress(logisticsSite, u"/cgi-bin/wuliu/orderentry?deal_id=") + dealId;
}

QString paipaiConsignBody(const QString &dealId, const QString &cardCode, const QString &buyer)
{
    return QStringLiteral("g_tk=") + kPaipaiToken + QStringLiteral("&g_ty=j132&biz_deal=") +
           escapeUtf8Value(dealId) + QStringLiteral("%23") + UrlEncodeUtf8(cardCode) +
           QStringLiteral("%23") + escapeUtf8Value(buyer);
}

ConsignAnswer readTaobaoConsignAnswer(const QString &page, const TaobaoMarkers &m)
{
    if (page.contains(m.loginForm))
        return {ConsignOutcome::LoggedOut, QStringLiteral("淘宝登录已失效")};
    const QString title = titleOf(page);
    if (title.contains(QStringLiteral("失败")) || title.contains(QStringLiteral("错误")))
        return {ConsignOutcome::Refused, title};
    // Only a page that says so is a shipment: an unreadable answer (a proxy's
    // page, a cut or garbled one) must not turn an order into 已经发货. Nor
    // does it say that the shop did not take it, which a second consign would
    // find out with an error page.
    if (!title.contains(QStringLiteral("成功")))
        return {ConsignOutcome::Unknown, QStringLiteral("淘宝的应答无法读取")};
    return {ConsignOutcome::Shipped, QString()};
}

ConsignAnswer readPaipaiConsignAnswer(const QString &answer, const PaipaiMarkers &m)
{
    QString compact = answer;
    compact.remove(QLatin1Char(' '));
    if (compact.contains(QStringLiteral("\"errCode\":0,")) ||
        compact.contains(QStringLiteral("\"errCode\":0}")))
        return {ConsignOutcome::Shipped, QString()};
    if (answer.contains(m.loginForm))
        return {ConsignOutcome::LoggedOut, QStringLiteral("拍拍登录已失效")};
    if (!compact.contains(QStringLiteral("\"errCode\":")))
        return {ConsignOutcome::Unknown, QStringLiteral("拍拍的应答无法读取")};
    QString text = compact;
    const QString message = ExtractBetween(u"\"msg\":\"", u"\"", text);
    return {ConsignOutcome::Refused, message.isEmpty() ? answer.left(80) : message};
}

RefreshAnswer readRefreshAnswer(const QString &text)
{
    RefreshAnswer answer;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return answer;
    // Halves go to the even number, as the usual numeric conversion does.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double seconds = std::nearbyint(value);
    std::fesetround(previous);
    if (seconds < 30 || seconds > 60) {
        answer.kind = RefreshAnswer::OutOfRange;
        return answer;
    }
    answer.kind = RefreshAnswer::Accepted;
    answer.intervalMs = int(seconds) * 1000;
    return answer;
}

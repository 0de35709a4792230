// The two market places, each behind its own login: the Taobao seller's order
// list, member page and consign request below /taobao/, the Paipai seller's
// sold deals, trade password and mark-shipped request below /paipai/.
#include "sim/pages.h"

#include <QRandomGenerator>

namespace sim {

namespace {

const QString kTaobaoWuliu = QStringLiteral("/taobao/wuliu/");
const QString kTaobaoMember = QStringLiteral("/taobao/member/");
const QString kPaipaiTrade = QStringLiteral("/paipai/trade/");
const QString kPaipaiWuliu = QStringLiteral("/paipai/wuliu/");
const QString kMessenger = QStringLiteral("/wangwang/");

const QString kTaobaoLogin = QStringLiteral("demo_seller");
const QString kTaobaoPassword = QStringLiteral("tb123456");
const QString kTaobaoNick = QStringLiteral("演示卖家");
const QByteArray kTaobaoCookie = "tb_session";

const QString kPaipaiUin = QStringLiteral("10001");
const QString kPaipaiPassword = QStringLiteral("pp123456");
const QString kPaipaiTradePassword = QStringLiteral("123456");
const QByteArray kPaipaiCookie = "pp_session";
// The site's anti-forgery value, which the client sends unchanged.
const QByteArray kPaipaiToken = "40265813975";
const QString kSoldEntry =
    kPaipaiTrade + QStringLiteral("cgi-bin/trade_deal_list/soldentry?isSellLink=04&index=2");

QString randomHex(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char &c : raw)
        c = char(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

// The value of one cookie the request carries; empty when absent.
QString cookieValue(const Request &r, const QByteArray &name)
{
    const QStringList parts = r.header("Cookie").split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const QString pair = part.trimmed();
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0 && pair.left(eq) == QLatin1String(name))
            return pair.mid(eq + 1);
    }
    return {};
}

QPair<QByteArray, QByteArray> sessionCookie(const QByteArray &name, const QString &session)
{
    return {"Set-Cookie", name + '=' + session.toLatin1() + "; Path=/"};
}

// A form a browser posted, where '+' stands for a blank.
QMultiMap<QString, QString> browserForm(const Request &r)
{
    return parseUrlEncoded(QByteArray(r.body).replace('+', "%20"));
}

// One value of an url-encoded body as bytes: the mark-shipped request carries
// UTF-8 where every other request carries GBK.
QByteArray rawFormValue(const QByteArray &body, const QByteArray &key)
{
    const QList<QByteArray> pairs = body.split('&');
    for (const QByteArray &pair : pairs) {
        const qsizetype eq = pair.indexOf('=');
        if (eq >= 0 && pair.left(eq) == key)
            return percentDecode(pair.mid(eq + 1));
    }
    return {};
}

Page redirect(const QString &location)
{
    Page p = Page::html(QStringLiteral("302 Found"), QStringLiteral("<a href=\"") +
                                                         escapeHtml(location) +
                                                         QStringLiteral("\">继续</a>"));
    p.status = 302;
    p.extraHeaders.append({"Location", location.toLatin1()});
    return p;
}

// ---- Taobao ----

// The token of the session the cookie names, or nullptr.
const QString *taobaoToken(const Request &r, const State &s)
{
    const auto it = s.shops().taobaoSessions.constFind(cookieValue(r, kTaobaoCookie));
    return it == s.shops().taobaoSessions.cend() ? nullptr : &it.value();
}

Page taobaoLoginPage(const QString &message)
{
    QString body = QStringLiteral("<div id=\"J_LoginBox\">\n<h2>淘宝会员登录</h2>\n");
    if (!message.isEmpty())
        body += QStringLiteral("<div id=\"J_Message\" class=\"error\">") + escapeHtml(message) +
                QStringLiteral("</div>\n");
    body += QStringLiteral("<form id=\"J_Form\" method=\"post\" action=\"") + kTaobaoWuliu +
            QStringLiteral("login\">\n"
                           "<p>账户名：<input type=\"text\" id=\"TPL_username\" "
                           "name=\"TPL_username\"></p>\n"
                           "<p>密　码：<input type=\"password\" id=\"TPL_password\" "
                           "name=\"TPL_password\"></p>\n"
                           "<p><input type=\"submit\" id=\"J_SubmitStatic\" value=\"登 录\"></p>\n"
                           "</form>\n</div>");
    return Page::html(QStringLiteral("淘宝网 - 会员登录"), body);
}

Page taobaoLogin(const Request &r, State &s)
{
    if (r.method != QLatin1String("POST"))
        return taobaoLoginPage({});
    const QMultiMap<QString, QString> form = browserForm(r);
    if (form.value(QStringLiteral("TPL_username")) != kTaobaoLogin ||
        form.value(QStringLiteral("TPL_password")) != kTaobaoPassword)
        return taobaoLoginPage(QStringLiteral("您输入的密码和账户名不匹配，请重新输入。"));

    const QString session = randomHex(16);
    s.shops().taobaoSessions.insert(session, randomHex(6));
    Page p = Page::html(QStringLiteral("淘宝网 -- 淘我喜欢！"),
                        QStringLiteral("<p>欢迎回来，") + escapeHtml(kTaobaoNick) +
                            QStringLiteral("！</p>\n<p><a href=\"") + kTaobaoWuliu +
                            QStringLiteral("user/order_list_new.htm\">已卖出的宝贝</a></p>"));
    p.extraHeaders.append(sessionCookie(kTaobaoCookie, session));
    return p;
}

// The account part of an order block, in the labels of the order's template.
QString accountPart(const TaobaoOrder &o)
{
    const QString account = escapeHtml(o.account);
    const QString area = escapeHtml(o.area);
    switch (o.form) {
    case TaobaoAccountForm::Phone:
        return QStringLiteral("手机/小灵通号码:") + account + QStringLiteral("备注:");
    case TaobaoAccountForm::GameArea:
        return QStringLiteral("所在区/服:") + area + QStringLiteral("游戏帐号:") + account +
               QStringLiteral("备注::");
    case TaobaoAccountForm::QQ:
        return QStringLiteral("QQ:") + account + QStringLiteral("备注::");
    case TaobaoAccountForm::UserName:
        return QStringLiteral("充值用户名:") + account + QStringLiteral("，");
    case TaobaoAccountForm::UserNameMethod:
        return QStringLiteral("充值用户名:") + account + QStringLiteral("充值方式:") + area +
               QStringLiteral("，");
    case TaobaoAccountForm::UserNameMethodType:
        return QStringLiteral("充值用户名:") + account +
               QStringLiteral("账号类型:通行证充值方式:") + area + QStringLiteral("，");
    }
    return {};
}

// The nick in the buyer link's query, as the site writes it: ASCII but
// letters, digits and "-_." percent-encoded, Chinese as it stands.
QString linkNick(const QString &nick)
{
    QString out;
    for (const QChar c : nick) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') ||
            (u >= 'a' && u <= 'z') || u == '-' || u == '_' || u == '.')
            out.append(c);
        else
            out.append(QStringLiteral("%%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper());
    }
    return out;
}

// One order as the seller's list writes it: the account part sits in an inner
// table whose tags are upper case, the consign link after it.
QString orderBlock(const TaobaoOrder &o)
{
    return QStringLiteral("<tbody>\n"
                          "<tr class=\"order-hd\"><td colspan=\"4\"><span class=\"order-number\">"
                          "订单编号：") +
           escapeHtml(o.orderNo) +
           QStringLiteral("</span> <span class=\"deal-time\">成交时间：2011-03-15 10:20</span>"
                          "</td></tr>\n"
                          "<tr class=\"order-bd\"><td class=\"item\"><a href=\"#\">名称：") +
           escapeHtml(o.title) +
           QStringLiteral(" §</a> <span class=\"snapshot\">[交易快照]</span></td>\n"
                          "<td class=\"num\">数量：") +
           escapeHtml(o.quantity) +
           QStringLiteral("件</td>\n"
                          "<td class=\"buyer\"><a class=\"ww-inline\" href=\"#\" params=\"nick=") +
           linkNick(o.buyer) + QStringLiteral("&site=cntaobao\">") + escapeHtml(o.buyer) +
           QStringLiteral("</a></td>\n<td class=\"status\">买家已付款</td></tr>\n"
                          "<tr class=\"order-memo\"><td colspan=\"4\"><TABLE><TBODY><TR><TD>") +
           accountPart(o) +
           QStringLiteral("</TD></TR></TBODY></TABLE></td></tr>\n"
                          "<tr class=\"order-ft\"><td colspan=\"4\"><a href=\"") +
           kTaobaoWuliu + QStringLiteral("user/consign.htm?order_id=") + escapeHtml(o.orderId) +
           QStringLiteral("\">发货</a></td></tr>\n</tbody>\n");
}

// user/order_list_new.htm?order_status_show=send&sj=: the paid orders not yet
// consigned, with the session's token in the search form above them.
Page taobaoOrderList(const Request &r, State &s)
{
    const QString *token = taobaoToken(r, s);
    if (!token)
        return taobaoLoginPage({});
    const QList<TaobaoOrder> orders = s.shops().waitingTaobaoOrders();
    QString body = QStringLiteral("<div id=\"page\">\n<form id=\"J_SearchForm\" "
                                  "action=\"order_list_new.htm\"><input name='_tb_token_' "
                                  "type='hidden' value='") +
                   *token +
                   QStringLiteral("'><input type=\"hidden\" name=\"order_status_show\" "
                                  "value=\"send\"></form>\n"
                                  "<table class=\"bought-table\"><tbody><tr><th>宝贝</th>"
                                  "<th>数量</th><th>买家</th><th>交易状态</th></tr></tbody>"
                                  "</table>\n<!-- logis start -->\n<table class=\"order-list\">\n");
    for (const TaobaoOrder &o : orders)
        body += orderBlock(o);
    body += QStringLiteral("</table>\n<!-- logis end -->\n<p>共 %1 笔订单等待发货</p>\n</div>")
                .arg(orders.size());
    return Page::html(QStringLiteral("已卖出的宝贝"), body);
}

Page taobaoMember(const Request &r, State &s)
{
    if (!taobaoToken(r, s))
        return taobaoLoginPage({});
    return Page::html(QStringLiteral("个人交易信息"),
                      QStringLiteral("<div class=\"member\"><p>亲爱的<b>") +
                          escapeHtml(kTaobaoNick) +
                          QStringLiteral("</b>，欢迎您回来！</p><p>会员名：") +
                          escapeHtml(kTaobaoLogin) + QStringLiteral("</p></div>"));
}

Page taobaoFailure(const QString &reason)
{
    return Page::html(QStringLiteral("操作失败"), QStringLiteral("<p class=\"error\">") +
                                                      escapeHtml(reason) + QStringLiteral("</p>"));
}

// user/consign_dummy.htm?order_id=&source=&callUrl=&_tb_token_=
// &action=user%2Fconsign_action&event_submit_do_dummy=anything&_fmw.n._0.g=
Page taobaoConsign(const Request &r, State &s)
{
    const QString *token = taobaoToken(r, s);
    if (!token)
        return taobaoLoginPage({});
    if (r.queryValue(QStringLiteral("_tb_token_")) != *token)
        return taobaoFailure(QStringLiteral("页面已过期，请刷新页面后重新操作。"));
    if (r.queryValue(QStringLiteral("action")) != QLatin1String("user/consign_action") ||
        r.queryValue(QStringLiteral("event_submit_do_dummy")).isEmpty())
        return taobaoFailure(QStringLiteral("请求参数错误。"));
    const QString id = r.queryValue(QStringLiteral("order_id"));
    const TaobaoOrder *order = s.shops().findTaobaoOrder(id);
    if (!order)
        return taobaoFailure(QStringLiteral("订单不存在：") + id);
    // A repeat is counted, so that it shows, and refused, as the shop does.
    if (s.shops().taobaoConsigns[id]++ > 0)
        return taobaoFailure(QStringLiteral("订单 ") + order->orderNo +
                             QStringLiteral(" 当前状态不能发货。"));
    return Page::html(QStringLiteral("操作成功"),
                      QStringLiteral("<p>订单 ") + escapeHtml(order->orderNo) +
                          QStringLiteral(" 已确认发货（无需物流）。</p>"));
}

// ---- The messenger ----

// Where the installed messenger would learn which chat to open; the demo's
// small messenger asks /wangwang/dispatches for the same.
Page messengerDispatch(const Request &r, State &s)
{
    const QString seller = r.queryValue(QStringLiteral("fromid"));
    const QString buyer = r.queryValue(QStringLiteral("sendid"));
    s.shops().messengerDispatches.append({seller, buyer});
    return Page::html(QStringLiteral("旺旺"), QStringLiteral("<p>正在打开与 ") + escapeHtml(buyer) +
                                                  QStringLiteral(" 的对话……</p>"));
}

// One line per opening so far: number, tab, seller, tab, buyer (UTF-8).
Page messengerDispatchList(const Request &, State &s)
{
    QByteArray text;
    const auto &all = s.shops().messengerDispatches;
    for (qsizetype i = 0; i < all.size(); ++i)
        text += QByteArray::number(i + 1) + '\t' + all.at(i).first.toUtf8() + '\t' +
                all.at(i).second.toUtf8() + '\n';
    Page page;
    page.bytes = text;
    page.contentType = "text/plain; charset=utf-8";
    return page;
}

// ---- Paipai ----

// The session the cookie names (its trade-password flag), or nullptr.
bool *paipaiSession(const Request &r, State &s)
{
    const auto it = s.shops().paipaiSessions.find(cookieValue(r, kPaipaiCookie));
    return it == s.shops().paipaiSessions.end() ? nullptr : &it.value();
}

Page paipaiLoginPage(const QString &message)
{
    QString body = QStringLiteral("<div id=\"login\">\n<h2>QQ号码登录</h2>\n");
    if (!message.isEmpty())
        body += QStringLiteral("<div id=\"errMsg\" class=\"error\">") + escapeHtml(message) +
                QStringLiteral("</div>\n");
    body += QStringLiteral("<form id=\"loginform\" method=\"post\" action=\"") + kPaipaiTrade +
            QStringLiteral("login\">\n"
                           "<p>QQ号码：<input type=\"text\" id=\"uin\" name=\"uin\"></p>\n"
                           "<p>QQ密码：<input type=\"password\" id=\"password\" "
                           "name=\"password\"></p>\n"
                           "<p><input type=\"submit\" id=\"loginSubmit\" value=\"登 录\"></p>\n"
                           "</form>\n</div>");
    return Page::html(QStringLiteral("拍拍网 - QQ号码登录"), body);
}

Page paipaiLogin(const Request &r, State &s)
{
    if (r.method != QLatin1String("POST"))
        return paipaiLoginPage({});
    const QMultiMap<QString, QString> form = browserForm(r);
    if (form.value(QStringLiteral("uin")) != kPaipaiUin ||
        form.value(QStringLiteral("password")) != kPaipaiPassword)
        return paipaiLoginPage(QStringLiteral("您输入的QQ号码或密码不正确，请重新输入。"));

    const QString session = randomHex(16);
    s.shops().paipaiSessions.insert(session, false);
    Page p = redirect(kSoldEntry);
    p.extraHeaders.append(sessionCookie(kPaipaiCookie, session));
    return p;
}

// cgi-bin/trade_deal_list/soldentry?isSellLink=04&index=2: the seller's page,
// whose title tells the client that the seller is logged in.
Page soldEntry(const Request &r, State &s)
{
    if (!paipaiSession(r, s))
        return paipaiLoginPage({});
    QString rows;
    for (const PaipaiDeal &d : s.shops().waitingPaipaiDeals()) {
        rows += QStringLiteral("<tr><td>") + escapeHtml(d.dealId) + QStringLiteral("</td><td>") +
                escapeHtml(d.itemName) + QStringLiteral("</td><td>") + escapeHtml(d.itemCount) +
                QStringLiteral("</td><td>") + escapeHtml(d.buyerUin) +
                QStringLiteral("</td></tr>\n");
    }
    return Page::html(QStringLiteral("我卖出的商品"),
                      QStringLiteral("<h3>等待发货的订单</h3>\n<table class=\"deals\">\n"
                                     "<tr><th>订单号</th><th>商品</th><th>数量</th><th>买家</th>"
                                     "</tr>\n") +
                          rows + QStringLiteral("</table>"));
}

Page xmlText(const QString &text)
{
    Page p = Page::text(QStringLiteral("<?xml version=\"1.0\" encoding=\"gbk\"?>\n") + text);
    p.contentType = "text/xml; charset=gbk";
    return p;
}

// cgi-bin/trade_deal_list/sold, POST deal_state=2 and the paging fields: the
// paid deals not yet marked shipped, once the trade password is confirmed.
Page soldDeals(const Request &r, State &s)
{
    const bool *confirmed = paipaiSession(r, s);
    if (!confirmed)
        return paipaiLoginPage({});
    if (!*confirmed) {
        return xmlText(QStringLiteral("<Result>\n<ErrCode>1025</ErrCode>\n<ErrMsg><![CDATA[ "
                                      "请先使用交易密码进行身份验证 ]]></ErrMsg>\n</Result>\n"));
    }
    // The site knows no other state than paid, waiting for shipment.
    const QList<PaipaiDeal> deals = r.formValue(QStringLiteral("deal_state")) == QLatin1String("2")
                                        ? s.shops().waitingPaipaiDeals()
                                        : QList<PaipaiDeal>();
    QString text = QStringLiteral("<Result>\n<ErrCode>0</ErrCode>\n<TotalNum>%1</TotalNum>\n"
                                  "<DealList>\n")
                       .arg(deals.size());
    for (const PaipaiDeal &d : deals) {
        text += QStringLiteral("<Deal>\n<ID>") + d.dealId + QStringLiteral("</ID>\n<Uin>") +
                d.buyerUin + QStringLiteral("</Uin>\n<Name><![CDATA[ ") + d.itemName +
                QStringLiteral(" ]]></Name>\n<ItemCount>") + d.itemCount +
                QStringLiteral("</ItemCount>\n<State>DS_WAIT_SELLER_DELIVERY</State>\n"
                               "<Postscript><![CDATA[ ") +
                d.postscript + QStringLiteral(" ]]></Postscript>\n</Deal>\n");
    }
    text += QStringLiteral("</DealList>\n</Result>\n");
    return xmlText(text);
}

Page tradePasswordPage(const QString &message)
{
    QString body = QStringLiteral("<h3>请输入交易密码</h3>\n");
    if (!message.isEmpty())
        body += QStringLiteral("<div id=\"errMsg\" class=\"error\">") + escapeHtml(message) +
                QStringLiteral("</div>\n");
    body += QStringLiteral("<form id=\"tradeform\" method=\"post\" action=\"") + kPaipaiTrade +
            QStringLiteral("tradepassword\">\n"
                           "<p>交易密码：<input type=\"password\" id=\"tradePassword\" "
                           "name=\"tradePassword\"></p>\n"
                           "<p><input type=\"submit\" id=\"tradeSubmit\" value=\"确 定\"></p>\n"
                           "</form>");
    return Page::html(QStringLiteral("我买到的商品"), body);
}

// cgi-bin/trade_deal_list/boughtentry?isBuyLink=01
Page boughtEntry(const Request &r, State &s)
{
    if (!paipaiSession(r, s))
        return paipaiLoginPage({});
    return tradePasswordPage({});
}

// tradepassword: the form of boughtentry. Confirms the password for the
// session and sends the seller back to the sold deals.
Page confirmTradePassword(const Request &r, State &s)
{
    bool *confirmed = paipaiSession(r, s);
    if (!confirmed)
        return paipaiLoginPage({});
    if (r.method != QLatin1String("POST"))
        return tradePasswordPage({});
    if (browserForm(r).value(QStringLiteral("tradePassword")) != kPaipaiTradePassword)
        return tradePasswordPage(QStringLiteral("交易密码错误，请重新输入。"));
    *confirmed = true;
    return redirect(kSoldEntry);
}

Page markAnswer(int errCode, const QString &message)
{
    return Page::text(QStringLiteral("{\"errCode\":%1,\"msg\":\"%2\"}").arg(errCode).arg(message));
}

// cgi-bin/wuliu/marknowuliu, POST g_tk=&g_ty=j132&biz_deal=<deal>%23<card code
// in UTF-8>%23<buyer>, sent from the deal's orderentry page.
Page markShipped(const Request &r, State &s)
{
    if (!paipaiSession(r, s))
        return markAnswer(1, QStringLiteral("请先登录"));
    if (rawFormValue(r.body, "g_tk") != kPaipaiToken)
        return markAnswer(2, QStringLiteral("g_tk校验失败"));
    // The card code may hold '#' itself; deal id and buyer never do.
    const QString bizDeal = QString::fromUtf8(rawFormValue(r.body, "biz_deal"));
    const qsizetype first = bizDeal.indexOf(QLatin1Char('#'));
    const qsizetype last = bizDeal.lastIndexOf(QLatin1Char('#'));
    if (first < 0 || first == last)
        return markAnswer(3, QStringLiteral("参数错误"));
    const QString dealId = bizDeal.left(first);
    const QString cardCode = bizDeal.mid(first + 1, last - first - 1);
    const QString buyer = bizDeal.mid(last + 1);
    const PaipaiDeal *deal = s.shops().findPaipaiDeal(dealId);
    if (!deal)
        return markAnswer(4, QStringLiteral("订单不存在"));
    if (deal->buyerUin != buyer)
        return markAnswer(5, QStringLiteral("买家与订单不符"));
    if (r.header("Referer") != s.rootUrl() + kPaipaiWuliu.mid(1) +
                                   QStringLiteral("cgi-bin/wuliu/orderentry?deal_id=") + dealId)
        return markAnswer(6, QStringLiteral("非法来源"));
    // A repeat is counted, so that it shows, and refused, as the shop does.
    if (s.shops().paipaiMarks[dealId]++ > 0)
        return markAnswer(7, QStringLiteral("订单状态不正确"));
    s.shops().paipaiCardCodes.insert(dealId, cardCode);
    return markAnswer(0, QStringLiteral("ok"));
}

// cgi-bin/wuliu/orderentry?deal_id=: the page the mark request claims to come from.
Page orderEntry(const Request &r, State &)
{
    return Page::html(QStringLiteral("无需物流发货"),
                      QStringLiteral("<p>订单号：") +
                          escapeHtml(r.queryValue(QStringLiteral("deal_id"))) +
                          QStringLiteral("</p>"));
}

} // namespace

void Shops::addTaobaoOrder(const TaobaoOrder &order)
{
    for (TaobaoOrder &o : taobaoOrders) {
        if (o.orderId == order.orderId) {
            o = order;
            return;
        }
    }
    taobaoOrders.append(order);
}

const TaobaoOrder *Shops::findTaobaoOrder(const QString &orderId) const
{
    for (const TaobaoOrder &o : taobaoOrders) {
        if (o.orderId == orderId)
            return &o;
    }
    return nullptr;
}

QList<TaobaoOrder> Shops::waitingTaobaoOrders() const
{
    QList<TaobaoOrder> out;
    for (const TaobaoOrder &o : taobaoOrders) {
        if (taobaoConsigns.value(o.orderId) == 0)
            out.append(o);
    }
    return out;
}

void Shops::addPaipaiDeal(const PaipaiDeal &deal)
{
    for (PaipaiDeal &d : paipaiDeals) {
        if (d.dealId == deal.dealId) {
            d = deal;
            return;
        }
    }
    paipaiDeals.append(deal);
}

const PaipaiDeal *Shops::findPaipaiDeal(const QString &dealId) const
{
    for (const PaipaiDeal &d : paipaiDeals) {
        if (d.dealId == dealId)
            return &d;
    }
    return nullptr;
}

QList<PaipaiDeal> Shops::waitingPaipaiDeals() const
{
    QList<PaipaiDeal> out;
    for (const PaipaiDeal &d : paipaiDeals) {
        if (paipaiMarks.value(d.dealId) == 0)
            out.append(d);
    }
    return out;
}

Shops Shops::demo()
{
    // A shop item is sold as one unit of face value bought n times, so the
    // quantity is the face value the catalogue must offer.
    Shops shops;
    shops.addTaobaoOrder({QStringLiteral("60000001"), QStringLiteral("151234567801"),
                          QStringLiteral("移动话费充值 1元 自动充值 秒到账"), QStringLiteral("50"),
                          QStringLiteral("tb_buyer01"), QStringLiteral("13800138000"), QString(),
                          TaobaoAccountForm::Phone});
    shops.addTaobaoOrder({QStringLiteral("60000002"), QStringLiteral("151234567802"),
                          QStringLiteral("网易一卡通 1点 自动发卡"), QStringLiteral("30"),
                          QStringLiteral("买家小王"), QStringLiteral("wy_player88"), QString(),
                          TaobaoAccountForm::UserName});
    shops.addTaobaoOrder({QStringLiteral("60000003"), QStringLiteral("151234567803"),
                          QStringLiteral("征途2金币 1个 自动发货"), QStringLiteral("50"),
                          QStringLiteral("tb_buyer03"), QStringLiteral("zt_hero"),
                          QStringLiteral("电信一区"), TaobaoAccountForm::GameArea});
    shops.addPaipaiDeal({QStringLiteral("10001-20110315-100001"), QStringLiteral("20001234"),
                         QStringLiteral("腾讯Q币 1个 QQ自动充值"), QStringLiteral("10"),
                         QStringLiteral("12345 678")});
    shops.addPaipaiDeal({QStringLiteral("10001-20110315-100002"), QStringLiteral("20005678"),
                         QStringLiteral("魔兽世界点卡 1点 自动发卡"), QStringLiteral("30"),
                         QStringLiteral("wow_gamer")});
    return shops;
}

QString taobaoSellerNick()
{
    return kTaobaoNick;
}

QString shopLoginsText()
{
    return QStringLiteral("taobao %1 password %2\npaipai %3 password %4 trade password %5\n")
        .arg(kTaobaoLogin, kTaobaoPassword, kPaipaiUin, kPaipaiPassword, kPaipaiTradePassword);
}

void addShopPages(PlatformSim &sim)
{
    sim.addPage(kTaobaoWuliu + QStringLiteral("login"), taobaoLogin);
    sim.addPage(kTaobaoWuliu + QStringLiteral("user/order_list_new.htm"), taobaoOrderList);
    sim.addPage(kTaobaoWuliu + QStringLiteral("user/consign_dummy.htm"), taobaoConsign);
    sim.addPage(kTaobaoMember + QStringLiteral("user/baseInfoSet.htm"), taobaoMember);

    const QString deals = kPaipaiTrade + QStringLiteral("cgi-bin/trade_deal_list/");
    sim.addPage(kPaipaiTrade + QStringLiteral("login"), paipaiLogin);
    sim.addPage(deals + QStringLiteral("soldentry"), soldEntry);
    sim.addPage(deals + QStringLiteral("sold"), soldDeals);
    sim.addPage(deals + QStringLiteral("boughtentry"), boughtEntry);
    sim.addPage(kPaipaiTrade + QStringLiteral("tradepassword"), confirmTradePassword);
    sim.addPage(kPaipaiWuliu + QStringLiteral("cgi-bin/wuliu/marknowuliu"), markShipped);
    sim.addPage(kPaipaiWuliu + QStringLiteral("cgi-bin/wuliu/orderentry"), orderEntry);

    sim.addPage(kMessenger + QStringLiteral("webim/common/online_dispatch_v6.html"),
                messengerDispatch);
    sim.addPage(kMessenger + QStringLiteral("dispatches"), messengerDispatchList);
}

} // namespace sim

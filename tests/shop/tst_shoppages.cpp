// The shops' pages as the shop automation reads them, and what it sends:
// plain functions over text.
#include "shop/shoppages.h"

#include <QCoreApplication>
#include <QtTest>

Q_DECLARE_METATYPE(ShopOrder)

namespace {

// One order block of the seller's order list, as the site writes it.
QString block(const QString &orderNo, const QString &accountPart, const QString &orderId,
              const QString &title = QStringLiteral("移动话费充值 50元"),
              const QString &quantity = QStringLiteral("1"),
              const QString &buyer = QStringLiteral("买家甲"))
{
    return QStringLiteral("<tbody><tr><td><span class=\"order-number\">订单编号：") + orderNo +
           QStringLiteral("</span></td></tr>\n<tr><td>名称：") + title +
           QStringLiteral(" §</td><td>数量：") + quantity +
           QStringLiteral("件</td><td><a params=\"nick=") + buyer +
           QStringLiteral("&amp;x=1\">旺旺</a></td></tr>\n<tr><td>") + accountPart +
           QStringLiteral("</td></tr></TBODY>\n<a href=\"consign.htm?order_id=") + orderId +
           QStringLiteral("\">发货</a>\n");
}

QString orderPage(const QString &blocks, const QString &token = QStringLiteral("tk9"))
{
    return QStringLiteral("<html><head><title>已卖出的宝贝</title></head><body>\n"
                          "<input name='_tb_token_' type='hidden' value='") +
           token + QStringLiteral("'>\n<!-- logis start -->\n<table>") + blocks +
           QStringLiteral("</table>\n<!-- logis end -->\n</body></html>");
}

QString deal(const QString &id, const QString &postscript, const QString &name)
{
    return QStringLiteral("<Deal><ID>") + id +
           QStringLiteral("</ID><Uin>20002</Uin><Name><![CDATA[ ") + name +
           QStringLiteral(" ]]></Name><ItemCount>2</ItemCount><Postscript><![CDATA[ ") +
           postscript + QStringLiteral(" ]]></Postscript></Deal>\n");
}

} // namespace

class TestShopPages : public QObject
{
    Q_OBJECT

private slots:
    void taobaoAccountForms_data();
    void taobaoAccountForms();
    void taobaoPage();
    void taobaoEscapedText();
    void taobaoLoginPage();
    void sellerNick();
    void paipaiDeals();
    void paipaiTradePasswordAndLogin();
    void requests();
    void consignAnswers_data();
    void consignAnswers();
    void wholeLists_data();
    void wholeLists();
    void refreshInterval_data();
    void refreshInterval();
};

void TestShopPages::taobaoAccountForms_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("area");

    QTest::newRow("mobile, &nbsp; and blanks") << "手机/小灵通号码:&nbsp;12 34 备注:"
                                               << "1234"
                                               << "";
    QTest::newRow("game area") << "所在区/服:电信一区游戏帐号:abc备注::"
                               << "abc"
                               << "电信一区";
    QTest::newRow("QQ") << "QQ:10001备注::"
                        << "10001"
                        << "";
    QTest::newRow("user name") << "充值用户名:u1，"
                               << "u1"
                               << "";
    QTest::newRow("user name and method") << "充值用户名:u2充值方式:直充，"
                                          << "u2"
                                          << "直充";
    QTest::newRow("user name, type and method") << "充值用户名:u3账号类型:通行证充值方式:卡充，"
                                                << "u3"
                                                << "卡充";
    QTest::newRow("no label") << "请尽快发货"
                              << ""
                              << "";
    QTest::newRow("label after the block's end")
        << "</td></tr></TBODY>手机/小灵通号码:13800138000备注:"
        << ""
        << "";
}

void TestShopPages::taobaoAccountForms()
{
    QFETCH(QString, part);
    QFETCH(QString, account);
    QFETCH(QString, area);
    const TaobaoPage page = readTaobaoPage(orderPage(block("T1", part, "ID1")));
    QCOMPARE(page.orders.size(), 1);
    QCOMPARE(page.orders[0].account, account);
    QCOMPARE(page.orders[0].area, area);
    QCOMPARE(page.orders[0].orderId, QStringLiteral("ID1"));
}

void TestShopPages::taobaoPage()
{
    const QString html =
        orderPage(block("T100", "手机/小灵通号码:13800138000备注:", "ID100") +
                      block("T200", "QQ:777备注::", "ID200", "QQ币 10个", "3", "买家乙"),
                  "tok-42");
    const TaobaoPage page = readTaobaoPage(html);
    QVERIFY(page.hasOrderList);
    QCOMPARE(page.tbToken, QStringLiteral("tok-42"));
    const QList<ShopOrder> expected = {
        {"ID100", "T100", "买家甲", "13800138000", "", "1", "移动话费充值 50元"},
        {"ID200", "T200", "买家乙", "777", "", "3", "QQ币 10个"},
    };
    QCOMPARE(page.orders, expected);

    // A block written with lower-case end tags has no account.
    QString lower = block("T300", "手机/小灵通号码:139备注:", "ID300");
    lower.replace(QStringLiteral("</TBODY>"), QStringLiteral("</tbody>"));
    QCOMPARE(readTaobaoPage(orderPage(lower)).orders.value(0).account, QString());
}

void TestShopPages::taobaoEscapedText()
{
    // The site escapes what buyers write; the order holds what they wrote.
    const TaobaoPage page = readTaobaoPage(
        orderPage(block("T1&amp;2", "手机/小灵通号码:13&amp;8&lt;o&gt;备注:", "ID1",
                        "移动 &lt;tbody&gt;&quot;&#39;&amp;amp; 50元", "1", "a%26b%0D%0A%D6%D0") +
                  block("T2", "QQ:&lt;/TBODY&gt;备注::", "ID2")));
    QCOMPARE(page.orders.size(), 2);
    QCOMPARE(page.orders[0].orderNo, QStringLiteral("T1&2"));
    QCOMPARE(page.orders[0].account, QStringLiteral("13&8<o>"));
    QCOMPARE(page.orders[0].title, QStringLiteral("移动 <tbody>\"'&amp; 50元"));
    QCOMPARE(page.orders[0].buyer, QStringLiteral("a&b\r\n中"));
    QCOMPARE(page.orders[1].account, QStringLiteral("</TBODY>"));
}

void TestShopPages::taobaoLoginPage()
{
    const QString login = QStringLiteral(
        "<html><head><title>淘宝网 - 登录</title></head><body><form method=\"post\">"
        "<input id=\"TPL_username\"><input id=\"TPL_password\" type=\"password\"></form>"
        "<!-- logis start --></body></html>");
    const TaobaoPage page = readTaobaoPage(login);
    QVERIFY(!page.hasOrderList);
    QVERIFY(page.orders.isEmpty());
    QVERIFY(page.tbToken.isEmpty());
}

void TestShopPages::sellerNick()
{
    QCOMPARE(readSellerNick(QStringLiteral("<p>亲爱的<b>演示卖家</b>，你好</p>")),
             QStringLiteral("演示卖家"));
    QCOMPARE(readSellerNick(QStringLiteral("<p>请登录</p>")), QString());
}

void TestShopPages::paipaiDeals()
{
    const QString answer = QStringLiteral("<DealList>") +
                           deal("D1", "138 00", "移动话费充值 50元") +
                           deal("D2", "", "网易一卡通 30个") + QStringLiteral("</DealList>");
    const PaipaiAnswer read = readPaipaiAnswer(answer);
    QVERIFY(!read.tradePasswordAsked);
    QVERIFY(!read.loginPage);
    const QList<ShopOrder> expected = {
        {"D1", "D1", "20002", "13800", "", "2", "移动话费充值 50元"},
        // The wrapper's two blanks alone, after a deal that had a message.
        {"D2", "D2", "20002", "", "", "2", "网易一卡通 30个"},
    };
    QCOMPARE(read.deals, expected);
}

void TestShopPages::paipaiTradePasswordAndLogin()
{
    const PaipaiAnswer asked =
        readPaipaiAnswer(QStringLiteral("请先使用交易密码") + deal("D1", "1", "x"));
    QVERIFY(asked.tradePasswordAsked);
    QVERIFY(asked.deals.isEmpty());

    const PaipaiAnswer login =
        readPaipaiAnswer(QStringLiteral("<html><form><input name=\"uin\"><input name=\"password\" "
                                        "type=\"password\"></form></html>"));
    QVERIFY(login.loginPage);
    QVERIFY(login.deals.isEmpty());
    QVERIFY(!readPaipaiAnswer(QStringLiteral("<DealList></DealList>")).loginPage);
}

void TestShopPages::requests()
{
    QCOMPARE(
        taobaoOrderListUrl("http://tb/wuliu/", "612.5"),
        QStringLiteral("http://tb/wuliu/user/order_list_new.htm?order_status_show=send&sj=612.5"));
    QCOMPARE(taobaoMemberPageUrl("http://tb/member/"),
             QStringLiteral("http://tb/member/user/baseInfoSet.htm"));
    QCOMPARE(taobaoConsignUrl("http://tb/wuliu/", "ID7", "tk"),
             QStringLiteral("http://tb/wuliu/user/consign_dummy.htm?order_id=ID7&source=&callUrl=&"
                            "_tb_token_=tk&action=user%2Fconsign_action&"
                            "event_submit_do_dummy=anything&_fmw.n._0.g="));
    QCOMPARE(paipaiDealListBody("100.5", "MID"),
             QStringLiteral("consignee=&item_name=&deal_id=&deal_state=2&after_sale=&eval_state=&"
                            "time_type=0&uin=&note_type=&is_history=&start_page=1&serial_no=0&"
                            "t=0.5531484&page_size%20=%2015&sj=100.5&hardware=MID"));
    QCOMPARE(paipaiSoldUrl("http://pp/trade/"),
             QStringLiteral("http://pp/trade/cgi-bin/trade_deal_list/sold"));
    QCOMPARE(paipaiConsignReferer("http://pp/wuliu/", "D9"),
             QStringLiteral("http://pp/wuliu/cgi-bin/wuliu/orderentry?deal_id=D9"));
    // The card code in UTF-8 escapes, ends trimmed; without one, %23 twice.
    QCOMPARE(paipaiConsignBody("D9", " AB-1 卡 ", "20002"),
             QStringLiteral("g_tk=40265813975&g_ty=j132&biz_deal=D9%23AB%2D1%20%E5%8D%A1%2320002"));
    QCOMPARE(paipaiConsignBody("D9", "", "20002"),
             QStringLiteral("g_tk=40265813975&g_ty=j132&biz_deal=D9%23%2320002"));
    // Values from the shops' pages never add a key.
    QCOMPARE(paipaiConsignBody("D&9", "", "2&x=1"),
             QStringLiteral("g_tk=40265813975&g_ty=j132&biz_deal=D%269%23%232%26x%3D1"));
    QCOMPARE(taobaoConsignUrl("http://tb/wuliu/", "I&D=7", "t#k"),
             QStringLiteral("http://tb/wuliu/user/consign_dummy.htm?order_id=I%26D%3D7&source=&"
                            "callUrl=&_tb_token_=t%23k&action=user%2Fconsign_action&"
                            "event_submit_do_dummy=anything&_fmw.n._0.g="));
}

void TestShopPages::consignAnswers_data()
{
    QTest::addColumn<bool>("paipai");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");

    const int shipped = int(ConsignOutcome::Shipped);
    const int refused = int(ConsignOutcome::Refused);
    const int loggedOut = int(ConsignOutcome::LoggedOut);
    const int unknown = int(ConsignOutcome::Unknown);
    QTest::newRow("Taobao success page")
        << false << "<html><head><title>操作成功</title></head><body>已发货</body></html>"
        << shipped << "";
    QTest::newRow("Taobao error page")
        << false << "<html><head><title>操作失败</title></head></html>" << refused << "操作失败";
    QTest::newRow("Taobao page without a word of success")
        << false << "<html><head><title>淘宝网</title></head><body>x</body></html>" << unknown
        << "淘宝的应答无法读取";
    QTest::newRow("Taobao garbage") << false << "\x01\x7f??" << unknown << "淘宝的应答无法读取";
    QTest::newRow("Taobao login page")
        << false << "<html><input id=\"TPL_password\" type=\"password\"></html>" << loggedOut
        << "淘宝登录已失效";
    QTest::newRow("Paipai ok") << true << "{\"errCode\":0,\"msg\":\"ok\"}" << shipped << "";
    QTest::newRow("Paipai ok, blanks") << true << "{ \"errCode\" : 0 }" << shipped << "";
    QTest::newRow("Paipai refusal")
        << true << "{\"errCode\":1021,\"msg\":\"订单状态不正确\"}" << refused << "订单状态不正确";
    QTest::newRow("Paipai errCode 01 is no success")
        << true << "{\"errCode\":01,\"msg\":\"x\"}" << refused << "x";
    QTest::newRow("Paipai login page")
        << true << "<form><input type=\"password\"></form>" << loggedOut << "拍拍登录已失效";
    QTest::newRow("Paipai garbage") << true << "\x01\x7f??" << unknown << "拍拍的应答无法读取";
    QTest::newRow("Paipai answer cut off") << true << "{\"errCo" << unknown << "拍拍的应答无法读取";
}

void TestShopPages::consignAnswers()
{
    QFETCH(bool, paipai);
    QFETCH(QString, answer);
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    const ConsignAnswer read =
        paipai ? readPaipaiConsignAnswer(answer) : readTaobaoConsignAnswer(answer);
    QCOMPARE(int(read.outcome), outcome);
    QCOMPARE(read.reason, reason);
}

void TestShopPages::wholeLists_data()
{
    QTest::addColumn<bool>("paipai");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("whole");

    const QString orders = block("T1", "QQ:1备注::", "ID1");
    const QString list = orderPage(orders);
    QTest::newRow("Taobao order list") << false << list << true;
    QTest::newRow("Taobao order list without orders") << false << orderPage(QString()) << true;
    QTest::newRow("Taobao page cut before the list's end")
        << false << list.left(list.indexOf(QStringLiteral("<!-- logis end -->"))) << false;
    QTest::newRow("Taobao page without the list's start")
        << false << QString(list).remove(QStringLiteral("<!-- logis start -->")) << false;
    QTest::newRow("Taobao login page")
        << false << "<html><input id=\"TPL_password\" type=\"password\"></html>" << false;

    const QString deals = deal("D1", "1", "x") + deal("D2", "2", "y");
    QTest::newRow("Paipai deal list")
        << true << "<Result><TotalNum>2</TotalNum><DealList>" + deals + "</DealList></Result>"
        << true;
    QTest::newRow("Paipai deal list without a total")
        << true << "<DealList>" + deals + "</DealList>" << true;
    QTest::newRow("Paipai empty deal list")
        << true << "<Result><TotalNum>0</TotalNum><DealList>\n</DealList></Result>" << true;
    QTest::newRow("Paipai one page of more deals")
        << true << "<Result><TotalNum>17</TotalNum><DealList>" + deals + "</DealList></Result>"
        << false;
    QTest::newRow("Paipai answer cut before the list's end")
        << true << "<Result><TotalNum>2</TotalNum><DealList>" + deals << false;
    QTest::newRow("Paipai trade password asked")
        << true << "<Result><ErrMsg>请先使用交易密码</ErrMsg><DealList></DealList></Result>"
        << false;
    QTest::newRow("Paipai login page")
        << true << "<form><input name=\"password\" type=\"password\"></form>" << false;
}

void TestShopPages::wholeLists()
{
    QFETCH(bool, paipai);
    QFETCH(QString, page);
    QFETCH(bool, whole);
    QCOMPARE(paipai ? readPaipaiAnswer(page).whole : readTaobaoPage(page).whole, whole);
}

void TestShopPages::refreshInterval_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("ms");
    QTest::newRow("30") << "30" << int(RefreshAnswer::Accepted) << 30000;
    QTest::newRow("60") << "60" << int(RefreshAnswer::Accepted) << 60000;
    QTest::newRow("29") << "29" << int(RefreshAnswer::OutOfRange) << 0;
    QTest::newRow("61") << "61" << int(RefreshAnswer::OutOfRange) << 0;
    QTest::newRow("empty") << "" << int(RefreshAnswer::Ignored) << 0;
    QTest::newRow("abc") << "abc" << int(RefreshAnswer::Ignored) << 0;
    QTest::newRow("half to even, down") << "30.5" << int(RefreshAnswer::Accepted) << 30000;
    QTest::newRow("half to even, up") << "59.5" << int(RefreshAnswer::Accepted) << 60000;
    QTest::newRow("60.5 rounds to 60") << "60.5" << int(RefreshAnswer::Accepted) << 60000;
    QTest::newRow("29.5 rounds to 30") << "29.5" << int(RefreshAnswer::Accepted) << 30000;
    QTest::newRow("blanks around") << " 45 " << int(RefreshAnswer::Accepted) << 45000;
}

void TestShopPages::refreshInterval()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, ms);
    const RefreshAnswer answer = readRefreshAnswer(text);
    QCOMPARE(int(answer.kind), kind);
    QCOMPARE(answer.intervalMs, ms);
}

QTEST_GUILESS_MAIN(TestShopPages)
#include "tst_shoppages.moc"

// The agent's goods list and the card-storing pages of the platform.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

Page refusal()
{
    return Page::html(QStringLiteral("请重新登陆！"),
                      QStringLiteral("<p>登陆已失效，请重新登陆。</p>"));
}

QString cell(const QString &attributes, const QString &text)
{
    return QStringLiteral("<td ") + attributes + QLatin1Char('>') + escapeHtml(text) +
           QStringLiteral("</td>");
}

// productlist.asp?sj=&hardware=: the rows lie between two comments, their
// cells written with quoted attributes as the platform's page source has
// them; the client finds them in the browser's serialisation.
Page goodsList(const Request &, State &s)
{
    QString rows;
    for (const GoodsListRow &row : s.goodsRows()) {
        rows +=
            QStringLiteral("<tr>") + cell(QStringLiteral("id=\"name\" height=\"47\""), row.name) +
            cell(QStringLiteral("id=\"price\" height=\"47\""), row.price + QStringLiteral("元")) +
            cell(QStringLiteral("id=\"key\" height=\"47\""), row.key) +
            cell(QStringLiteral("id=\"status\" height=\"47\""), row.status) +
            cell(QStringLiteral("id=\"ka\""), row.card) + QStringLiteral("</tr>\n");
    }
    return Page::html(QStringLiteral("商品列表"),
                      QStringLiteral("<h3>我的商品</h3>\n<table border=\"1\">\n"
                                     "<tr><th>商品名称</th><th>价格</th><th>商品编号</th>"
                                     "<th>状态</th><th>卡密</th></tr>\n<!-- begin -->\n") +
                          rows + QStringLiteral("<!-- end -->\n</table>"));
}

// cunCard_Step1.asp?sessionkey=&sj=&hardware=: how many codes, the codes one a
// line, and the form that stores them.
Page cardForm(const Request &r, State &s)
{
    const QString key = r.queryValue(QStringLiteral("sessionkey"));
    if (!s.accountForSession(key))
        return refusal();
    return Page::html(
        QStringLiteral("存入卡密"),
        QStringLiteral("<h3>存入卡密</h3><form id=\"cardForm\" action=\"cunCard_Step2.asp\" "
                       "method=\"post\"><input type=\"hidden\" name=\"sessionkey\" value=\"") +
            escapeHtml(key) +
            QStringLiteral("\"><p>生成数量：<input id=\"num\" name=\"num\" value=\"10\"></p>"
                           "<p><textarea id=\"textarea\" name=\"textarea\" rows=\"12\" "
                           "cols=\"40\"></textarea></p>"
                           "<p><input type=\"submit\" id=\"Submit\" value=\"存入\"></p></form>"));
}

// cunCard_Step2.asp, POST sessionkey, num, textarea: stores every line.
Page storeCards(const Request &r, State &s)
{
    const Account *a = s.accountForSession(r.formValue(QStringLiteral("sessionkey")));
    if (!a)
        return refusal();
    QString codes = r.formValue(QStringLiteral("textarea"));
    codes.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    int stored = 0;
    for (const QString &line : codes.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        s.storedCardCodes().append({a->account, line.trimmed()});
        ++stored;
    }
    return Page::html(
        QStringLiteral("存卡成功"),
        QStringLiteral("<p>存入了 <span id=\"stored\">%1</span> 张卡密。</p>").arg(stored));
}

} // namespace

QList<GoodsListRow> State::defaultGoodsRows()
{
    return {
        {QStringLiteral("腾讯QQ币10元"), QStringLiteral("9.60"), QStringLiteral("QB10"),
         QStringLiteral("上架"), QStringLiteral("自动发卡")},
        {QStringLiteral("移动话费50元"), QStringLiteral("49.30"), QStringLiteral("YD50"),
         QStringLiteral("上架"), QStringLiteral("无")},
        {QStringLiteral("网易一卡通15元"), QStringLiteral("13.50"), QStringLiteral("WY15"),
         QStringLiteral("下架"), QStringLiteral("自动发卡")},
    };
}

void addInventoryPages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("productlist.asp"), goodsList);
    sim.addPage(kBase + QStringLiteral("cunCard_Step1.asp"), cardForm);
    sim.addPage(kBase + QStringLiteral("cunCard_Step2.asp"), storeCards);
}

} // namespace sim

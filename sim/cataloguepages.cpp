// The platform's catalogue: newproduct.asp, and the product set every product
// page serves.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");
// The token the client is built with.
const QString kApiToken = QStringLiteral("507318642");

QString tagged(const char *tag, const QString &value)
{
    const QString name = QLatin1String(tag);
    return QLatin1Char('<') + name + QLatin1Char('>') + value + QStringLiteral("</") + name +
           QLatin1Char('>');
}

// newproduct.asp?api=&sj=&sessionkey=: every product as five tagged fields, one
// record after the other, in an ordinary page.
Page catalogue(const Request &r, State &s)
{
    if (r.queryValue(QStringLiteral("api")) != kApiToken)
        return Page::html(QStringLiteral("接口参数错误"), QStringLiteral("<p>接口参数错误。</p>"));
    if (!s.accountForSession(r.queryValue(QStringLiteral("sessionkey"))))
        return Page::html(QStringLiteral("请重新登陆！"),
                          QStringLiteral("<p>登陆已失效，请重新登陆。</p>"));

    const QList<Product> &products = s.products();
    QString body =
        QStringLiteral("<div class=\"plist\">\n<p>共 %1 件商品</p>\n").arg(products.size());
    for (const Product &p : products) {
        body += tagged("PRODUCT_LIST", p.list) + tagged("PRODUCT_NAME", p.name) +
                tagged("PRODUCT_JHJ", p.price) + tagged("PRODUCT_HAO", p.qu) +
                tagged("PRODUCT_DW", p.value) + QStringLiteral("<br>\n");
    }
    body += QStringLiteral("</div>");
    return Page::html(QStringLiteral("商品列表"), body);
}

} // namespace

QList<Product> State::defaultProducts()
{
    auto product = [](const char *list, const char *name, const char *price, const char *qu,
                      const char *value) {
        return Product{QString::fromUtf8(list), QString::fromUtf8(name), QString::fromUtf8(price),
                       QString::fromUtf8(qu), QString::fromUtf8(value)};
    };
    // 话费 comes back twice, apart: the platform does not sort by category.
    return {
        product("话费", "移动话费充值", "1", "号",
                "元|10=9.98|20=19.96|30=29.94|50=49.85|100=99.7|200=199.4|300=299.1|500=498.5"),
        product("话费", "联通话费充值", "1", "号",
                "元|10=9.97|20=19.94|30=29.91|50=49.8|100=99.6|200=199.2|300=298.8"),
        product("话费", "电信话费充值", "1", "号",
                "元|10=9.96|20=19.92|30=29.88|50=49.75|100=99.5|200=199|300=298.5"),
        product("话费", "广东移动话费", "0.98", "号", "元|50=48.6|100=97.2|200=194.4"),
        product("固话", "电信固话宽带", "1", "号", "元|20=19.9|50=49.7|100=99.4|200=198.8"),
        product("Q币", "腾讯Q币", "1", "号", "个|1=0.92|5=4.6|10=9.2|20=18.4|30=27.6|50=46|100=92"),
        product("Q币", "QQ会员", "1", "号", "个|1=9.5|3=28.5|6=57|12=114"),
        product("游戏", "魔兽世界点卡", "1", "区", "个|30=27.6|60=55.2|90=82.8"),
        product("游戏", "征途2金币", "0.5", "区服", "个|10=4.8|50=24|100=48"),
        product("游戏", "网易一卡通", "1", "号", "个|15=13.5|30=27|50=45|100=90"),
        product("话费", "联通话费慢充", "0.5", "号", "元|20=9.9|50=24.75|100=49.5"),
        product("话费", "电信话费快充", "0.98", "号", "元|30=29.1|50=48.5|100=97"),
    };
}

void addCataloguePages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("newproduct.asp"), catalogue);
}

} // namespace sim

// The manual panel's product pages: product.asp lists the businesses, and with
// action=ss the products of one business, from the same product set as the
// catalogue.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kBase = QStringLiteral("/platform/");

QString tagged(const char *tag, const QString &value)
{
    const QString name = QLatin1String(tag);
    return QLatin1Char('<') + name + QLatin1Char('>') + escapeHtml(value) + QStringLiteral("</") +
           name + QLatin1Char('>');
}

// A business is a category of the product set, listed once, in the order the
// categories first come.
QStringList businesses(const QList<Product> &products)
{
    QStringList out;
    for (const Product &p : products) {
        if (!p.list.isEmpty() && !out.contains(p.list))
            out.append(p.list);
    }
    return out;
}

// The products of a business: those of that category; a text that is no
// category is a keyword searched in the product names.
QList<Product> productsOf(const QList<Product> &products, const QString &business)
{
    QList<Product> out;
    for (const Product &p : products) {
        if (p.list == business)
            out.append(p);
    }
    if (!out.isEmpty() || business.isEmpty())
        return out;
    for (const Product &p : products) {
        if (p.name.contains(business))
            out.append(p);
    }
    return out;
}

Page productPage(const Request &r, State &s)
{
    if (!s.accountForSession(r.queryValue(QStringLiteral("sessionkey"))))
        return Page::html(QStringLiteral("请重新登陆！"),
                          QStringLiteral("<p>登陆已失效，请重新登陆。</p>"));

    if (r.queryValue(QStringLiteral("action")) == QLatin1String("ss")) {
        const QString business = r.queryValue(QStringLiteral("yw"));
        QString body = QStringLiteral("<table class=\"products\">\n");
        for (const Product &p : productsOf(s.products(), business)) {
            body += QStringLiteral("<tr><td>") + tagged("PRODUCT_NAME", p.name) +
                    QStringLiteral("</td><td>") + tagged("PRODUCT_JHJ", p.price) +
                    QStringLiteral("</td><td>") + tagged("PRODUCT_HAO", p.qu) +
                    QStringLiteral("</td><td>") + tagged("PRODUCT_DW", p.value) +
                    QStringLiteral("</td></tr>\n");
        }
        body += QStringLiteral("</table>");
        return Page::html(business + QStringLiteral(" 商品"), body);
    }

    QString body = QStringLiteral("<ul class=\"businesses\">\n");
    for (const QString &b : businesses(s.products()))
        body += QStringLiteral("<li>") + tagged("PRODUCT_NAME", b) + QStringLiteral("</li>\n");
    body += QStringLiteral("</ul>");
    return Page::html(QStringLiteral("充值业务"), body);
}

} // namespace

void addProductPages(PlatformSim &sim)
{
    sim.addPage(kBase + QStringLiteral("product.asp"), productPage);
}

} // namespace sim

// The product catalogue: reading the platform's answer, the table's rows, order
// matching, face values, the title generator, and the simulator's catalogue page
// read by the real reader over loopback.
#include "app/core/config.h"
#include "app/core/gbk.h"
#include "app/core/platform.h"
#include "app/web/transfer.h"
#include "recharge/catalogue.h"
#include "recharge/facevalue.h"
#include "recharge/titlegenerator.h"
#include "tests/support/simenvironment.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(ProductItem)

namespace {

// A match as one line, "product|amount|quantity|actual quantity"; empty for none.
QString matchText(const std::optional<CatalogueMatch> &m)
{
    if (!m)
        return QString();
    return QStringList{m->platformProduct, m->amount, m->quantity, m->actualQuantity}.join(u'|');
}

ProductItem item(const QString &list, const QString &name, const QString &price, const QString &qu,
                 const QString &value)
{
    return ProductItem{list, name, price, qu, value};
}

// One record as the platform writes it.
QString record(const ProductItem &p)
{
    return QStringLiteral("<PRODUCT_LIST>") + p.list + QStringLiteral("</PRODUCT_LIST>") +
           QStringLiteral("<PRODUCT_NAME>") + p.name + QStringLiteral("</PRODUCT_NAME>") +
           QStringLiteral("<PRODUCT_JHJ>") + p.price + QStringLiteral("</PRODUCT_JHJ>") +
           QStringLiteral("<PRODUCT_HAO>") + p.qu + QStringLiteral("</PRODUCT_HAO>") +
           QStringLiteral("<PRODUCT_DW>") + p.value + QStringLiteral("</PRODUCT_DW>");
}

QString answer(const QList<ProductItem> &items)
{
    QString text;
    for (const ProductItem &p : items)
        text += record(p) + QStringLiteral("<br>\n");
    return text;
}

// Readable in a failed comparison.
QStringList describe(const QList<ProductItem> &items)
{
    QStringList out;
    for (const ProductItem &p : items)
        out.append(QStringList{p.list, p.name, p.price, p.qu, p.value}.join(QStringLiteral(" ¦ ")));
    return out;
}

QList<ProductItem> fromSim(const QList<sim::Product> &products)
{
    QList<ProductItem> out;
    for (const sim::Product &p : products)
        out.append(item(p.list, p.name, p.price, p.qu, p.value));
    return out;
}

// The same reading done the plain way: ExtractBetween on a QString that is
// copied at every cut. What 加载商品列表 must agree with on any answer.
QList<ProductItem> plainReading(QString text)
{
    QList<ProductItem> out;
    while (text.contains(QStringLiteral("<PRODUCT_LIST>"))) {
        ProductItem p;
        p.list = ExtractBetween(u"<PRODUCT_LIST>", u"</PRODUCT_LIST>", text);
        p.name = ExtractBetween(u"<PRODUCT_NAME>", u"</PRODUCT_NAME>", text);
        p.price = ExtractBetween(u"<PRODUCT_JHJ>", u"</PRODUCT_JHJ>", text);
        p.qu = ExtractBetween(u"<PRODUCT_HAO>", u"</PRODUCT_HAO>", text);
        p.value = ExtractBetween(u"<PRODUCT_DW>", u"</PRODUCT_DW>", text);
        out.append(p);
    }
    return out;
}

const ProductItem kMobile =
    item(QStringLiteral("话费"), QStringLiteral("移动话费"), QStringLiteral("1"),
         QStringLiteral("号"), QStringLiteral("元|10=9.98|20=19.96|50=49.85"));

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void parse_data();
    void parse();
    void parseAgreesWithPlainCutting_data();
    void parseAgreesWithPlainCutting();
    void rowsTopFirstWithKeys();

    void match_data();
    void match();
    void faceValueKeywords_data();
    void faceValueKeywords();
    void displayAmount_data();
    void displayAmount();

    void productsOfCategory();
    void faceValues_data();
    void faceValues();
    void titleCascade();

    void requestUrl();

    void simAnswer_data();
    void simAnswer();
    void simDefaultSet();
    void simReplacedSet();

private:
    QString fetch(const QString &url);

    SimEnvironment m_env;
    QNetworkAccessManager m_nam;
    QString m_sessionKey;
};

void TestCatalogue::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_env.sim().withState(
        [this](sim::State &s) { m_sessionKey = s.openSession(QStringLiteral("demo")); });
}

void TestCatalogue::cleanup()
{
    m_env.sim().setProducts(sim::State::defaultProducts());
    m_env.sim().clearRequests();
}

void TestCatalogue::parse_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<QList<ProductItem>>("records");
    QTest::addColumn<QStringList>("categories");

    const QString hf = QStringLiteral("话费");
    const QString yx = QStringLiteral("游戏");
    const ProductItem unicom = item(hf, QStringLiteral("联通话费"), QStringLiteral("0.98"),
                                    QStringLiteral("号"), QStringLiteral("元|50=48.6"));
    const ProductItem game = item(yx, QStringLiteral("魔兽世界点卡"), QStringLiteral("1"),
                                  QStringLiteral("区"), QStringLiteral("个|30=27.6|60=55.2"));
    const ProductItem telecom = item(hf, QStringLiteral("电信话费"), QStringLiteral("1"),
                                     QStringLiteral("号"), QStringLiteral("元|10=9.96"));

    QTest::newRow("one record") << record(kMobile) << QList<ProductItem>{kMobile}
                                << QStringList{hf};
    QTest::newRow("text around and between records ignored")
        << QStringLiteral("<html><head><title>商品列表</title></head><body><p>共 2 件</p>\n") +
               record(kMobile) + QStringLiteral("<br>\n<td class=x>&nbsp;</td>") + record(game) +
               QStringLiteral("\n</body></html>")
        << QList<ProductItem>{kMobile, game} << QStringList{hf, yx};
    QTest::newRow("category order A, A, B, A gives A, B, A")
        << answer({kMobile, unicom, game, telecom})
        << QList<ProductItem>{kMobile, unicom, game, telecom} << QStringList{hf, yx, hf};
    const ProductItem uncategorised = item({}, QStringLiteral("散件"), QStringLiteral("1"),
                                           QStringLiteral("号"), QStringLiteral("个|1=1"));
    QTest::newRow("empty category never added, and it ends a run")
        << answer({kMobile, uncategorised, telecom})
        << QList<ProductItem>{kMobile, uncategorised, telecom} << QStringList{hf, hf};
    QTest::newRow("all fields empty")
        << answer({ProductItem{}}) << QList<ProductItem>{ProductItem{}} << QStringList{};
    QTest::newRow("last record misses an end tag: empty field, record still added")
        << record(kMobile) +
               QStringLiteral("<PRODUCT_LIST>游戏</PRODUCT_LIST><PRODUCT_NAME>魔兽世界点卡"
                              "</PRODUCT_NAME><PRODUCT_JHJ>1</PRODUCT_JHJ><PRODUCT_HAO>区"
                              "</PRODUCT_HAO><PRODUCT_DW>个|30=27.6")
        << QList<ProductItem>{kMobile, item(yx, QStringLiteral("魔兽世界点卡"), QStringLiteral("1"),
                                            QStringLiteral("区"), {})}
        << QStringList{hf, yx};
    QTest::newRow("name end tag missing: the fields after it still read")
        << QStringLiteral("<PRODUCT_LIST>话费</PRODUCT_LIST><PRODUCT_NAME>移动话费"
                          "<PRODUCT_JHJ>1</PRODUCT_JHJ><PRODUCT_HAO>号</PRODUCT_HAO>"
                          "<PRODUCT_DW>元|10=9.98</PRODUCT_DW>")
        << QList<ProductItem>{item(hf, {}, QStringLiteral("1"), QStringLiteral("号"),
                                   QStringLiteral("元|10=9.98"))}
        << QStringList{hf};
    QTest::newRow("end tag missing mid-answer: the field runs to the next record's end tag")
        << QStringLiteral(
               "<PRODUCT_LIST>A</PRODUCT_LIST><PRODUCT_NAME>X<PRODUCT_JHJ>1"
               "</PRODUCT_JHJ><PRODUCT_HAO>号</PRODUCT_HAO><PRODUCT_DW>v1</PRODUCT_DW>") +
               record(item(QStringLiteral("B"), QStringLiteral("Y"), QStringLiteral("2"),
                           QStringLiteral("区"), QStringLiteral("v2")))
        << QList<ProductItem>{item(QStringLiteral("A"),
                                   QStringLiteral("X<PRODUCT_JHJ>1</PRODUCT_JHJ><PRODUCT_HAO>号"
                                                  "</PRODUCT_HAO><PRODUCT_DW>v1</PRODUCT_DW>"
                                                  "<PRODUCT_LIST>B</PRODUCT_LIST>"
                                                  "<PRODUCT_NAME>Y"),
                                   QStringLiteral("2"), QStringLiteral("区"), QStringLiteral("v2"))}
        << QStringList{QStringLiteral("A")};
    QTest::newRow("a field's tags absent altogether: empty field")
        << QStringLiteral("<PRODUCT_LIST>话费</PRODUCT_LIST><PRODUCT_NAME>移动话费</PRODUCT_NAME>"
                          "<PRODUCT_JHJ>1</PRODUCT_JHJ><PRODUCT_DW>元|10=9.98</PRODUCT_DW>")
        << QList<ProductItem>{item(hf, QStringLiteral("移动话费"), QStringLiteral("1"), {},
                                   QStringLiteral("元|10=9.98"))}
        << QStringList{hf};
    QTest::newRow("empty answer") << QString() << QList<ProductItem>{} << QStringList{};
    QTest::newRow("answer without <PRODUCT_LIST>")
        << QStringLiteral("<PRODUCT_NAME>移动话费</PRODUCT_NAME><PRODUCT_JHJ>1</PRODUCT_JHJ>"
                          "<PRODUCT_HAO>号</PRODUCT_HAO><PRODUCT_DW>元|10=9.98</PRODUCT_DW>")
        << QList<ProductItem>{} << QStringList{};
    QTest::newRow("refusal page")
        << QStringLiteral(
               "<html><head><title>请重新登陆！</title></head><body><p>登陆已失效，请重新"
               "登陆。</p></body></html>")
        << QList<ProductItem>{} << QStringList{};
    QTest::newRow("tags are case-sensitive")
        << record(kMobile).toLower() << QList<ProductItem>{} << QStringList{};
}

void TestCatalogue::parse()
{
    QFETCH(QString, response);
    QFETCH(QList<ProductItem>, records);
    QFETCH(QStringList, categories);

    const CatalogueListing listing = 加载商品列表(response);
    QCOMPARE(describe(listing.records), describe(records));
    QCOMPARE(listing.categories, categories);
}

void TestCatalogue::parseAgreesWithPlainCutting_data()
{
    QTest::addColumn<QString>("response");

    // Long answers whose records are broken alike, so that a tag is missing from
    // the rest of the answer for most of the reading.
    auto many = [](const QString &recordText) {
        QString text;
        for (int i = 0; i < 200; ++i)
            text += QString(recordText).replace(QStringLiteral("#"), QString::number(i)) +
                    QStringLiteral("\n");
        return text;
    };
    const QString full =
        record(item(QStringLiteral("话费"), QStringLiteral("移动#"), QStringLiteral("1"),
                    QStringLiteral("号"), QStringLiteral("元|10=9.98")));
    QTest::newRow("every record without </PRODUCT_HAO>")
        << many(QString(full).remove(QStringLiteral("</PRODUCT_HAO>")));
    QTest::newRow("every record without <PRODUCT_HAO>")
        << many(QString(full).remove(QStringLiteral("<PRODUCT_HAO>")));
    QTest::newRow("every record without its area field")
        << many(QString(full).remove(QStringLiteral("<PRODUCT_HAO>号</PRODUCT_HAO>")));
    QTest::newRow("every record without </PRODUCT_DW> but the last")
        << many(QString(full).remove(QStringLiteral("</PRODUCT_DW>"))) + full;
    QTest::newRow("every record without </PRODUCT_LIST>")
        << many(QString(full).remove(QStringLiteral("</PRODUCT_LIST>")));
    QTest::newRow("answer ends inside a record")
        << many(full) + QStringLiteral("<PRODUCT_LIST>游戏</PRODUCT_LIST><PRODUCT_NA");
    QTest::newRow("nested start tags") << QStringLiteral(
        "<PRODUCT_LIST>a<PRODUCT_LIST>b</PRODUCT_LIST><PRODUCT_NAME><PRODUCT_NAME>n</PRODUCT_NAME>"
        "</PRODUCT_NAME><PRODUCT_JHJ></PRODUCT_JHJ></PRODUCT_JHJ><PRODUCT_LIST>c");
}

void TestCatalogue::parseAgreesWithPlainCutting()
{
    QFETCH(QString, response);
    QCOMPARE(describe(加载商品列表(response).records), describe(plainReading(response)));
}

void TestCatalogue::rowsTopFirstWithKeys()
{
    const ProductItem a = item(QStringLiteral("话费"), QStringLiteral("A"), QStringLiteral("1"),
                               QStringLiteral("号"), QStringLiteral("元|10=9"));
    ProductItem b = a, c = a, d = a, e = a;
    b.name = QStringLiteral("B");
    c.name = QStringLiteral("C");
    d.name = QStringLiteral("D");
    e.name = QStringLiteral("E");

    Catalogue catalogue;
    catalogue.addRecords(加载商品列表(answer({a, b, c})).records);
    catalogue.addRecords({d, e});

    QStringList seen;
    for (const CatalogueRow &row : catalogue.rows())
        seen.append(row.key + QLatin1Char('=') + row.item.name);
    QCOMPARE(seen, (QStringList{"wawa4=E", "wawa3=D", "wawa2=C", "wawa1=B", "wawa0=A"}));
    QCOMPARE(catalogue.size(), 5);
    QCOMPARE(catalogue.rowFromTop(0).key, QStringLiteral("wawa4"));
    QCOMPARE(catalogue.rowFromTop(4).item, a);
}

void TestCatalogue::match_data()
{
    QTest::addColumn<QList<ProductItem>>("records"); // in the order of the answer
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("expected");

    const QString hf = QStringLiteral("话费");
    const QString hao = QStringLiteral("号");
    const ProductItem mobile10 = item(hf, QStringLiteral("移动话费"), QStringLiteral("1"), hao,
                                      QStringLiteral("元|10=9.98"));
    const ProductItem mobile20 = item(hf, QStringLiteral("移动话费"), QStringLiteral("1"), hao,
                                      QStringLiteral("元|20=19.96"));
    const ProductItem halfPrice = item(hf, QStringLiteral("联通话费慢充"), QStringLiteral("0.5"),
                                       hao, QStringLiteral("元|20=9.9|50=24.75"));
    const ProductItem gd = item(hf, QStringLiteral("广东移动话费"), QStringLiteral("0.98"), hao,
                                QStringLiteral("元|50=48.6|100=97.2"));
    const ProductItem gold =
        item(QStringLiteral("游戏"), QStringLiteral("征途2金币"), QStringLiteral("0.5"),
             QStringLiteral("区服"), QStringLiteral("个|10=4.8|50=24"));
    const ProductItem qcoin = item(QStringLiteral("Q币"), QStringLiteral("QQ币"),
                                   QStringLiteral("1"), hao, QStringLiteral("个|1=0.92|5=4.6"));
    const ProductItem shopMobile = item(hf, QStringLiteral("移动话费"), QStringLiteral("1"), hao,
                                        QStringLiteral("元|1=0.998|2=1.996|50=49.9"));
    const ProductItem shopGd = item(hf, QStringLiteral("广东移动话费"), QStringLiteral("1"), hao,
                                    QStringLiteral("元|1=0.998"));
    const ProductItem unnamed =
        item(hf, {}, QStringLiteral("1"), hao, QStringLiteral("元|1=0.998|50=49.9"));
    constexpr int manual = OrderSource::Manual;
    constexpr int taobao = OrderSource::Taobao;
    constexpr int paipai = OrderSource::Paipai;

    QTest::newRow("manual: exact name, 元 with multiplier 1: amount is the label")
        << QList<ProductItem>{kMobile} << "移动话费"
        << "20" << manual << "移动话费|20|20|1";
    QTest::newRow("manual: a name inside the product text is no match")
        << QList<ProductItem>{kMobile} << "移动话费充值"
        << "20" << manual << "";
    QTest::newRow("manual: names are case-sensitive") << QList<ProductItem>{qcoin} << "qq币"
                                                      << "5" << manual << "";
    QTest::newRow("manual: 元 with multiplier 0.5")
        << QList<ProductItem>{halfPrice} << "联通话费慢充"
        << "25" << manual << "联通话费慢充|25|25|1";
    QTest::newRow("manual: 元 with multiplier 0.5, the bare label is no amount")
        << QList<ProductItem>{halfPrice} << "联通话费慢充"
        << "50" << manual << "";
    QTest::newRow("manual: 元 with multiplier 0.98") << QList<ProductItem>{gd} << "广东移动话费"
                                                     << "98" << manual << "广东移动话费|98|98|1";
    QTest::newRow("manual: 个 with multiplier 0.5: amount is the label")
        << QList<ProductItem>{gold} << "征途2金币"
        << "50" << manual << "征途2金币|50|50|1";
    QTest::newRow("manual: 个 with multiplier 0.5 is never scaled")
        << QList<ProductItem>{gold} << "征途2金币"
        << "25" << manual << "";
    QTest::newRow("manual: 个 with multiplier 1") << QList<ProductItem>{qcoin} << "QQ币"
                                                  << "5" << manual << "QQ币|5|5|1";
    QTest::newRow("manual: the top row decides, a lower row of the name is not tried")
        << QList<ProductItem>{mobile10, mobile20} << "移动话费"
        << "10" << manual << "";
    QTest::newRow("manual: the top row of a name is the one sent last")
        << QList<ProductItem>{mobile10, mobile20} << "移动话费"
        << "20" << manual << "移动话费|20|20|1";
    QTest::newRow("manual: empty product text never meets an empty name")
        << QList<ProductItem>{unnamed} << ""
        << "50" << manual << "";
    QTest::newRow("shop: item 1元 bought 50")
        << QList<ProductItem>{shopMobile} << "移动话费1元 自动充值 秒到"
        << "50" << taobao << "移动话费|50|1|50";
    QTest::newRow("shop: Paipai as Taobao")
        << QList<ProductItem>{shopMobile} << "移动话费1元 自动充值 秒到"
        << "50" << paipai << "移动话费|50|1|50";
    QTest::newRow("shop: two names in the title, the later in the answer wins")
        << QList<ProductItem>{shopMobile, shopGd} << "广东移动话费1元"
        << "1" << taobao << "广东移动话费|1|1|1";
    QTest::newRow("shop: two names in the title, answer order reversed")
        << QList<ProductItem>{shopGd, shopMobile} << "广东移动话费1元"
        << "1" << taobao << "移动话费|1|1|1";
    QTest::newRow("shop: the first candidate decides even when a lower one would match")
        << QList<ProductItem>{shopMobile, shopGd} << "广东移动话费1元"
        << "2" << taobao << "";
    QTest::newRow("shop: the face value comes from the title's keyword")
        << QList<ProductItem>{shopMobile} << "移动话费100元 快充"
        << "2" << taobao << "移动话费|2|100|2";
    QTest::newRow("shop: a title without keyword has face value 1")
        << QList<ProductItem>{qcoin} << "腾讯QQ币 自动发货"
        << "5" << taobao << "QQ币|5|1|5";
    QTest::newRow("shop: 元 with 0.98, the count against the scaled amounts")
        << QList<ProductItem>{gd} << "广东移动话费 50元"
        << "49" << taobao << "广东移动话费|49|50|49";
    QTest::newRow("shop: 个 with 0.5, the count against the labels")
        << QList<ProductItem>{gold} << "征途2金币 10个"
        << "10" << taobao << "征途2金币|10|10|10";
    QTest::newRow("shop: a count that is no amount")
        << QList<ProductItem>{shopMobile} << "移动话费1元"
        << "7" << taobao << "";
    QTest::newRow("shop: a row without name is skipped")
        << QList<ProductItem>{shopMobile, unnamed} << "移动话费1元"
        << "50" << taobao << "移动话费|50|1|50";
    QTest::newRow("shop: substrings are case-sensitive") << QList<ProductItem>{qcoin} << "qq币 5个"
                                                         << "5" << taobao << "";
    QTest::newRow("shop: a stray | in the value text is no amount")
        << QList<ProductItem>{item(hf, QStringLiteral("移动话费"), QStringLiteral("1"), hao,
                                   QStringLiteral("元|10=9.98|"))}
        << "移动话费"
        << "" << taobao << "";
    QTest::newRow("no product of that name") << QList<ProductItem>{kMobile} << "联通话费"
                                             << "10" << manual << "";
    QTest::newRow("empty catalogue") << QList<ProductItem>{} << "移动话费"
                                     << "10" << taobao << "";
    QTest::newRow("a source that is none of the three") << QList<ProductItem>{kMobile} << "移动话费"
                                                        << "10" << 3 << "";
}

void TestCatalogue::match()
{
    QFETCH(QList<ProductItem>, records);
    QFETCH(QString, product);
    QFETCH(QString, amount);
    QFETCH(int, source);
    QFETCH(QString, expected);

    Catalogue catalogue;
    catalogue.addRecords(加载商品列表(answer(records)).records);
    QCOMPARE(matchText(catalogue.判断业务名称(product, amount, source)), expected);
}

void TestCatalogue::faceValueKeywords_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("faceValue");

    const std::pair<const char *, int> keywords[] = {
        {"汀柘存款", 1}, {"600个", 600}, {"300个", 300}, {"100元", 100}, {"50元", 50},
        {"30元", 30},    {"20元", 20},   {"10元", 10},   {"12个", 12},   {"10个", 10},
        {"6个", 6},      {"5元", 5},     {"3个", 3},
    };
    for (const auto &[keyword, value] : keywords) {
        const QString title =
            QStringLiteral("自动充值 ") + QString::fromUtf8(keyword) + QStringLiteral(" 秒到");
        QTest::newRow(keyword) << title << value;
    }
    QTest::newRow("110元 gives 10") << "移动110元" << 10;
    QTest::newRow("15元 gives 5") << "移动15元" << 5;
    QTest::newRow("36个 gives 6") << "Q币36个" << 6;
    QTest::newRow("100个 holds no keyword") << "Q币100个" << 1;
    QTest::newRow("the table's order, not the title's: 10元 then 50元") << "10元+50元 组合" << 50;
    QTest::newRow("汀柘存款 before any amount") << "汀柘存款100元" << 1;
    QTest::newRow("no keyword") << "腾讯Q币 自动发货" << 1;
    QTest::newRow("empty title") << "" << 1;
}

void TestCatalogue::faceValueKeywords()
{
    QFETCH(QString, title);
    QFETCH(int, faceValue);
    QCOMPARE(订单名称转换面值(title), faceValue);
}

void TestCatalogue::displayAmount_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("multiplier");
    QTest::addColumn<QString>("amount");

    const QString yuan = QStringLiteral("元");
    const QString ge = QStringLiteral("个");
    QTest::newRow("元 × 1") << "10" << yuan << "1"
                            << "10";
    QTest::newRow("元 × 0.5") << "10" << yuan << "0.5"
                              << "5";
    QTest::newRow("元 × 0.98, whole") << "50" << yuan << "0.98"
                                      << "49";
    QTest::newRow("元 × 0.98, fraction") << "30" << yuan << "0.98"
                                         << "29.4";
    QTest::newRow("no binary rounding: 0.1 × 3") << "0.1" << yuan << "3"
                                                 << "0.3";
    QTest::newRow("long fraction cut to 4 decimals") << "10" << yuan << "0.333333"
                                                     << "3.3333";
    QTest::newRow("rounded half away from zero") << "1" << yuan << "0.33335"
                                                 << "0.3334";
    QTest::newRow("rounding up to a whole number") << "3" << yuan << "0.333333"
                                                   << "1";
    QTest::newRow("below the last decimal") << "1" << yuan << "0.00004"
                                            << "0";
    QTest::newRow("trailing zeros dropped") << "100" << yuan << "1.00"
                                            << "100";
    QTest::newRow("label written with zeros") << "010.50" << yuan << "1"
                                              << "10.5";
    QTest::newRow("large label") << "1000000" << yuan << "0.98"
                                 << "980000";
    QTest::newRow("blanks around numbers") << " 20 " << yuan << " 0.5"
                                           << "10";
    QTest::newRow("zero") << "0" << yuan << "0.98"
                          << "0";
    QTest::newRow("negative") << "-10" << yuan << "0.5"
                              << "-5";
    QTest::newRow("个 keeps the label") << "10" << ge << "0.5"
                                        << "10";
    QTest::newRow("unit not exactly 元") << "10"
                                         << "元 "
                                         << "0.5"
                                         << "10";
    QTest::newRow("non-numeric label stays") << "月卡" << yuan << "0.5"
                                             << "月卡";
    QTest::newRow("exponent is not a plain number") << "1e3" << yuan << "0.5"
                                                    << "1e3";
    QTest::newRow("empty multiplier leaves the label") << "10" << yuan << ""
                                                       << "10";
    QTest::newRow("non-numeric multiplier leaves the label") << "10" << yuan << "九八折"
                                                             << "10";
    QTest::newRow("two points is no number") << "1.2.3" << yuan << "1"
                                             << "1.2.3";
    QTest::newRow("too many digits to price") << "1234567890123456789" << yuan << "1"
                                              << "1234567890123456789";
}

void TestCatalogue::displayAmount()
{
    QFETCH(QString, label);
    QFETCH(QString, unit);
    QFETCH(QString, multiplier);
    QFETCH(QString, amount);
    QCOMPARE(faceValueDisplayAmount(label, unit, multiplier), amount);
}

void TestCatalogue::productsOfCategory()
{
    const QString hf = QStringLiteral("话费");
    Catalogue catalogue;
    catalogue.addRecords(
        {kMobile,
         item(hf, QStringLiteral("联通话费"), QStringLiteral("1"), QStringLiteral("号"),
              QStringLiteral("元|10=9.97")),
         item(QStringLiteral("游戏"), QStringLiteral("魔兽世界点卡"), QStringLiteral("1"),
              QStringLiteral("区"), QStringLiteral("个|30=27.6")),
         item(hf, QStringLiteral("联通话费慢充"), QStringLiteral("0.5"), QStringLiteral("号"),
              QStringLiteral("元|20=9.9|50=24.75"))});

    const CategoryProducts phone = com加载商品列表(catalogue, hf);
    QCOMPARE(phone.names, (QStringList{"联通话费慢充", "联通话费", "移动话费"}));
    QCOMPARE(phone.sideString, QStringLiteral("|||元|20=9.9|50=24.75|0.5|||元|10=9.97|1"
                                              "|||元|10=9.98|20=19.96|50=49.85|1"));

    const CategoryProducts games = com加载商品列表(catalogue, QStringLiteral("游戏"));
    QCOMPARE(games.names, QStringList{QStringLiteral("魔兽世界点卡")});
    QCOMPARE(games.sideString, QStringLiteral("|||个|30=27.6|1"));

    const CategoryProducts none = com加载商品列表(catalogue, QStringLiteral("宽带"));
    QVERIFY(none.names.isEmpty());
    QVERIFY(none.sideString.isEmpty());
}

void TestCatalogue::faceValues_data()
{
    QTest::addColumn<QString>("sideString");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QString>("unit");

    QTest::newRow("元 × 1") << "|||元|10=9.98|20=19.96|1" << 0 << QStringList{"10", "20"} << "元";
    QTest::newRow("元 × 0.98") << "|||元|30=29.1|50=48.5|0.98" << 0 << QStringList{"29.4", "49"}
                               << "元";
    QTest::newRow("个 × 0.5 keeps the labels")
        << "|||个|10=4.8|50=24|0.5" << 0 << QStringList{"10", "50"} << "个";
    QTest::newRow("second product")
        << "|||元|10=9|1|||个|5=4.6|15=13.8|1" << 1 << QStringList{"5", "15"} << "个";
    QTest::newRow("no entries") << "|||元|1" << 0 << QStringList{} << "元";
    QTest::newRow("empty value text") << "|||" + QStringLiteral("|1") << 0 << QStringList{} << "";
    QTest::newRow("no such product") << "|||元|10=9|1" << 1 << QStringList{} << "";
    QTest::newRow("negative position") << "|||元|10=9|1" << -1 << QStringList{} << "";
    QTest::newRow("empty side string") << "" << 0 << QStringList{} << "";
}

void TestCatalogue::faceValues()
{
    QFETCH(QString, sideString);
    QFETCH(int, index);
    QFETCH(QStringList, amounts);
    QFETCH(QString, unit);

    const FaceValueChoices choices = 加载面值(sideString, index);
    QCOMPARE(choices.amounts, amounts);
    QCOMPARE(choices.unit, unit);
}

void TestCatalogue::titleCascade()
{
    // Categories, products and amounts as the three lists get them, first entries
    // chosen as the lists choose them, and the title of what is shown.
    const QString response =
        answer({item(QStringLiteral("话费"), QStringLiteral("移动话费充值"), QStringLiteral("1"),
                     QStringLiteral("号"), QStringLiteral("元|10=9.98|20=19.96")),
                item(QStringLiteral("游戏"), QStringLiteral("魔兽世界点卡"), QStringLiteral("1"),
                     QStringLiteral("区"), QStringLiteral("个|30=27.6|60=55.2")),
                item(QStringLiteral("话费"), QStringLiteral("电信话费快充"), QStringLiteral("0.98"),
                     QStringLiteral("号"), QStringLiteral("元|30=29.1|50=48.5"))});
    const CatalogueListing listing = 加载商品列表(response);
    Catalogue catalogue;
    catalogue.addRecords(listing.records);
    QCOMPARE(listing.categories, (QStringList{"话费", "游戏", "话费"}));

    const QString category = listing.categories.first();
    const CategoryProducts products = com加载商品列表(catalogue, category);
    QCOMPARE(products.names, (QStringList{"电信话费快充", "移动话费充值"}));

    const FaceValueChoices first = 加载面值(products.sideString, 0);
    QCOMPARE(first.amounts, (QStringList{"29.4", "49"}));
    QCOMPARE(listingTitle(category, products.names.at(0), first.amounts.at(0), first.unit,
                          QStringLiteral("自动到账")),
             QStringLiteral("电脑充值话费电信话费快充29.4元  秒冲到账自动到账"));

    const FaceValueChoices second = 加载面值(products.sideString, 1);
    QCOMPARE(second.amounts, (QStringList{"10", "20"}));
    QCOMPARE(listingTitle(category, products.names.at(1), second.amounts.at(1), second.unit, {}),
             QStringLiteral("电脑充值话费移动话费充值20元  秒冲到账"));

    const CategoryProducts games = com加载商品列表(catalogue, listing.categories.at(1));
    const FaceValueChoices points = 加载面值(games.sideString, 0);
    QCOMPARE(listingTitle(listing.categories.at(1), games.names.at(0), points.amounts.at(1),
                          points.unit, QStringLiteral(" 可开发票")),
             QStringLiteral("电脑充值游戏魔兽世界点卡60个  秒冲到账 可开发票"));

    // What the title offers resolves as a manual order with the same amount text.
    QCOMPARE(matchText(catalogue.判断业务名称(products.names.at(0), first.amounts.at(0),
                                              OrderSource::Manual)),
             QStringLiteral("电信话费快充|29.4|29.4|1"));
}

void TestCatalogue::requestUrl()
{
    ClientConfig config;
    config.platformBaseUrl = QStringLiteral("https://platform.example/agent/");
    QCOMPARE(catalogueRequestUrl(config, QStringLiteral("ab12cd"), QStringLiteral("612.0853")),
             QStringLiteral("https://platform.example/agent/newproduct.asp?api=507318642"
                            "&sj=612.0853&sessionkey=ab12cd"));

    static const QRegularExpression form(
        QStringLiteral("^https://platform\\.example/agent/newproduct\\.asp\\?api=507318642"
                       "&sj=([0-9.]+)&sessionkey=ab12cd$"));
    const QRegularExpressionMatch m =
        form.match(catalogueRequestUrl(config, QStringLiteral("ab12cd")));
    QVERIFY(m.hasMatch());
    const double sj = m.captured(1).toDouble();
    QVERIFY(sj >= 50 && sj <= 1050);
}

QString TestCatalogue::fetch(const QString &url)
{
    QNetworkRequest request{QUrl(url)};
    const qsizetype colon = kFormContentTypeHeader.indexOf(QLatin1Char(':'));
    request.setRawHeader(kFormContentTypeHeader.left(colon).toLatin1(),
                         kFormContentTypeHeader.mid(colon + 1).trimmed().toLatin1());
    QNetworkReply *reply = m_nam.sendCustomRequest(request, kCatalogueOperation.toLatin1());
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20'000, reply, &QNetworkReply::abort); // a hang fails, not blocks
    if (!reply->isFinished())
        loop.exec();
    const QString text = fromGbk(reply->readAll());
    reply->deleteLater();
    return text;
}

void TestCatalogue::simAnswer_data()
{
    QTest::addColumn<bool>("validKey");
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("served");

    QTest::newRow("logged in") << true << kCatalogueApiToken << true;
    QTest::newRow("unknown session key refused") << false << kCatalogueApiToken << false;
    QTest::newRow("wrong api token refused") << true << "507318643" << false;
    QTest::newRow("empty api token refused") << true << "" << false;
}

void TestCatalogue::simAnswer()
{
    QFETCH(bool, validKey);
    QFETCH(QString, token);
    QFETCH(bool, served);

    const QString key = validKey ? m_sessionKey : QStringLiteral("0123456789abcdef");
    QString url = catalogueRequestUrl(m_env.config(), key);
    url.replace(QStringLiteral("api=") + kCatalogueApiToken, QStringLiteral("api=") + token);
    const QString text = fetch(url);

    const CatalogueListing listing = 加载商品列表(text);
    QCOMPARE(listing.records.size(), served ? m_env.sim().products().size() : 0);
    if (!served)
        QVERIFY(listing.categories.isEmpty());

    const QList<sim::LoggedRequest> sent =
        m_env.requestsTo(QStringLiteral("/platform/newproduct.asp"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().method, QStringLiteral("GET"));
    QVERIFY(
        sent.first().headers.contains({QByteArrayLiteral("Content-Type"),
                                       QByteArrayLiteral("application/x-www-form-urlencoded")}));
}

void TestCatalogue::simDefaultSet()
{
    const QString text = fetch(catalogueRequestUrl(m_env.config(), m_sessionKey));
    const CatalogueListing listing = 加载商品列表(text);
    QCOMPARE(describe(listing.records), describe(fromSim(m_env.sim().products())));

    // A category that comes back in two runs is listed twice.
    QVERIFY(listing.categories.size() >
            QSet<QString>(listing.categories.cbegin(), listing.categories.cend()).size());
    QVERIFY(listing.categories.contains(QStringLiteral("话费")));
    QVERIFY(listing.categories.contains(QStringLiteral("固话")));
    QVERIFY(listing.categories.contains(QStringLiteral("Q币")));
    QVERIFY(listing.categories.contains(QStringLiteral("游戏")));

    bool needsArea = false, yuanAtOne = false, yuanBelowOne = false, pieces = false;
    for (const ProductItem &p : listing.records) {
        needsArea |= p.qu != QStringLiteral("号");
        const QString unit = p.value.section(QLatin1Char('|'), 0, 0);
        yuanAtOne |= unit == kYuanUnit && p.price.toDouble() == 1;
        yuanBelowOne |= unit == kYuanUnit && p.price.toDouble() < 1;
        pieces |= unit == QStringLiteral("个");
    }
    QVERIFY(needsArea);
    QVERIFY(yuanAtOne);
    QVERIFY(yuanBelowOne);
    QVERIFY(pieces);

    Catalogue catalogue;
    catalogue.addRecords(listing.records);
    QCOMPARE(matchText(catalogue.判断业务名称(QStringLiteral("广东移动话费"), QStringLiteral("98"),
                                              OrderSource::Manual)),
             QStringLiteral("广东移动话费|98|98|1"));
    QCOMPARE(matchText(catalogue.判断业务名称(QStringLiteral("腾讯Q币 10个 自动充值"),
                                              QStringLiteral("3"), OrderSource::Taobao)),
             QString());
    QCOMPARE(matchText(catalogue.判断业务名称(QStringLiteral("腾讯Q币 10个 自动充值"),
                                              QStringLiteral("5"), OrderSource::Taobao)),
             QStringLiteral("腾讯Q币|5|10|5"));
}

void TestCatalogue::simReplacedSet()
{
    const QList<sim::Product> products = {
        {QStringLiteral("宽带"), QStringLiteral("长城宽带包月"), QStringLiteral("1"),
         QStringLiteral("号"), QStringLiteral("元|50=49|100=98")},
        {QStringLiteral("游戏"), QStringLiteral("梦幻西游点卡"), QStringLiteral("0.9"),
         QStringLiteral("服务器"), QStringLiteral("个|15=13.5")},
        {QStringLiteral("宽带"), QStringLiteral("铁通宽带"), QStringLiteral("0.95"),
         QStringLiteral("号"), QStringLiteral("元|100=94")},
    };
    m_env.sim().setProducts(products);
    const CatalogueListing listing =
        加载商品列表(fetch(catalogueRequestUrl(m_env.config(), m_sessionKey)));
    QCOMPARE(describe(listing.records), describe(fromSim(products)));
    QCOMPARE(listing.categories, (QStringList{"宽带", "游戏", "宽带"}));

    m_env.sim().setProducts({});
    QVERIFY(
        加载商品列表(fetch(catalogueRequestUrl(m_env.config(), m_sessionKey))).records.isEmpty());
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

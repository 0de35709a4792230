// What the manual recharge panel computes from text: its page readers, the
// fixed-line area table, the number region, the purchase price and the
// addresses. Plain functions, no widget and no browser.
#include "recharge/catalogue.h"
#include "recharge/manualrecharge.h"

#include <QCoreApplication>
#include <QtTest>

Q_DECLARE_METATYPE(NumberAction)

namespace {

QString productRecord(const QString &name, const QString &price, const QString &qu,
                      const QString &value)
{
    return QStringLiteral("<TD><PRODUCT_NAME>") + name + QStringLiteral("</PRODUCT_NAME></TD>") +
           QStringLiteral("<TD><PRODUCT_JHJ>") + price + QStringLiteral("</PRODUCT_JHJ></TD>") +
           QStringLiteral("<TD><PRODUCT_HAO>") + qu + QStringLiteral("</PRODUCT_HAO></TD>") +
           QStringLiteral("<TD><PRODUCT_DW>") + value + QStringLiteral("</PRODUCT_DW></TD>\n");
}

} // namespace

class TestManualRecharge : public QObject
{
    Q_OBJECT

private slots:
    void areaTable();
    void fixedLineRegion_data();
    void fixedLineRegion();
    void businessList_data();
    void businessList();
    void productPage_data();
    void productPage();
    void productPageStopsAt501();
    void amounts_data();
    void amounts();
    void numberRegionAnswer_data();
    void numberRegionAnswer();
    void numberActions_data();
    void numberActions();
    void amountText_data();
    void amountText();
    void purchasePriceFormat_data();
    void purchasePriceFormat();
    void purchasePriceClicks_data();
    void purchasePriceClicks();
    void addresses();
};

void TestManualRecharge::areaTable()
{
    const QStringList &table = fixedLineAreaTable();
    QCOMPARE(table.size(), 307);
    QCOMPARE(table.mid(0, 4),
             (QStringList{QStringLiteral(" 北京市010"), QStringLiteral(" 上海市021"),
                          QStringLiteral(" 天津市022"), QStringLiteral(" 重庆市023")}));
    QCOMPARE(table.at(4), QStringLiteral("河北省 邯郸市0310"));
    QCOMPARE(table.last(), QStringLiteral("西藏 山南市0893"));
    // Kept as the design lists them: duplicates, a shared code, a five-digit code,
    // the Shandong cities under 甘肃省.
    QCOMPARE(table.count(QStringLiteral("四川省 雅安市0835")), 2);
    QCOMPARE(table.count(QStringLiteral("贵州省 毕节市0857")), 2);
    const qsizetype huaiyin = table.indexOf(QStringLiteral("江苏省 淮阴市0517"));
    QVERIFY(huaiyin > 0);
    QCOMPARE(table.at(huaiyin + 1), QStringLiteral("江苏省 淮安市0517"));
    QVERIFY(table.contains(QStringLiteral("四川省 泸州市08400")));
    QVERIFY(table.contains(QStringLiteral("甘肃省 菏泽市0530")));
    QVERIFY(table.contains(QStringLiteral("张家界 (大庸)0744")));
    QVERIFY(table.contains(QStringLiteral("永州冷 (水滩)0746")));
    QVERIFY(table.contains(QStringLiteral("海南省 (儋县)0890")));
    QVERIFY(table.contains(QStringLiteral("湖北省 荆沙(江陵)0716")));
}

void TestManualRecharge::fixedLineRegion_data()
{
    QTest::addColumn<QString>("firstThree");
    QTest::addColumn<QString>("region");
    QTest::newRow("010 with the leading blank") << "010"
                                                << " 北京市固定电话";
    QTest::newRow("031 first occurs in 0310") << "031"
                                              << "河北省 邯郸市固定电话";
    QTest::newRow("021") << "021"
                         << " 上海市固定电话";
    QTest::newRow("020 late in the table") << "020"
                                           << "广东省 广州市固定电话";
    QTest::newRow("051 in 0510") << "051"
                                 << "江苏省 无锡市固定电话";
    QTest::newRow("084 only in 08400") << "084"
                                       << "四川省 泸州市固定电话";
    QTest::newRow("089 brackets kept") << "089"
                                       << "海南省 (儋县)固定电话";
    QTest::newRow("no entry") << "012"
                              << "";
}

void TestManualRecharge::fixedLineRegion()
{
    QFETCH(QString, firstThree);
    QFETCH(QString, region);
    QCOMPARE(获取电信号码区(firstThree), region);
}

void TestManualRecharge::businessList_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("businesses");
    QTest::newRow("in order") << "<UL><LI><PRODUCT_NAME>话费</PRODUCT_NAME></LI>"
                                 "<LI><PRODUCT_NAME>Q币</PRODUCT_NAME></LI></UL>"
                              << QStringList{"话费", "Q币"};
    QTest::newRow("none") << "<P>请重新登陆</P>" << QStringList{};
    QTest::newRow("unclosed last")
        << "<PRODUCT_NAME>话费</PRODUCT_NAME><PRODUCT_NAME>游戏" << QStringList{"话费"};
    QTest::newRow("entity") << "<PRODUCT_NAME>A&amp;B</PRODUCT_NAME>" << QStringList{"A&B"};
}

void TestManualRecharge::businessList()
{
    QFETCH(QString, body);
    QFETCH(QStringList, businesses);
    QCOMPARE(readBusinessList(body), businesses);
}

void TestManualRecharge::productPage_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QList<bool>>("needsArea");

    QTest::newRow("two records") << productRecord("移动话费充值", "1", "号",
                                                  "元|10=9.98|20=19.96") +
                                        productRecord("魔兽世界点卡", "1", "区", "个|30=27.6")
                                 << QStringList{"移动话费充值", "魔兽世界点卡"}
                                 << QStringList{"元|10=9.98|20=19.96", "个|30=27.6"}
                                 << QList<bool>{false, true};
    QTest::newRow("empty marker needs an area")
        << productRecord("征途", "0.5", "", "个|10=4.8") << QStringList{"征途"}
        << QStringList{"个|10=4.8"} << QList<bool>{true};
    QTest::newRow("no records") << "<P>没有商品</P>" << QStringList{} << QStringList{}
                                << QList<bool>{};
    QTest::newRow("unclosed value ends the page")
        << QStringLiteral("<PRODUCT_NAME>甲</PRODUCT_NAME><PRODUCT_JHJ>1</PRODUCT_JHJ>"
                          "<PRODUCT_HAO>号</PRODUCT_HAO><PRODUCT_DW>元|10=9.9")
        << QStringList{"甲"} << QStringList{""} << QList<bool>{false};
    QTest::newRow("entities read back")
        << productRecord("A&amp;B", "1", "号", "元|10=9.9") << QStringList{"A&B"}
        << QStringList{"元|10=9.9"} << QList<bool>{false};
}

void TestManualRecharge::productPage()
{
    QFETCH(QString, body);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    QFETCH(QList<bool>, needsArea);
    const QList<ManualProduct> products = readProductPage(body);
    QStringList gotNames, gotValues;
    QList<bool> gotArea;
    for (const ManualProduct &p : products) {
        gotNames << p.name;
        gotValues << p.value;
        gotArea << p.needsArea;
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotValues, values);
    QCOMPARE(gotArea, needsArea);
}

void TestManualRecharge::productPageStopsAt501()
{
    QString body;
    for (int i = 0; i < 600; ++i)
        body += productRecord(QStringLiteral("P%1").arg(i), "1", "号", "元|10=9.9");
    const QList<ManualProduct> products = readProductPage(body);
    QCOMPARE(products.size(), 501);
    QCOMPARE(products.last().name, QStringLiteral("P500"));
}

void TestManualRecharge::amounts_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("multiplier");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QStringList>("costs");
    QTest::newRow("元 × 1 are the labels")
        << "元|10=9.98|20=19.96"
        << "1"
        << "元" << QStringList{"10", "20"} << QStringList{"9.98", "19.96"};
    QTest::newRow("元 scaled") << "元|50=48.6|100=97.2"
                               << "0.98"
                               << "元" << QStringList{"49", "98"} << QStringList{"48.6", "97.2"};
    QTest::newRow("个 whatever the multiplier")
        << "个|10=4.8|50=24"
        << "0.5"
        << "个" << QStringList{"10", "50"} << QStringList{"4.8", "24"};
    QTest::newRow("item without = ends the list")
        << "元|10=9.9|20|30=29.7"
        << "1"
        << "元" << QStringList{"10"} << QStringList{"9.9"};
    QTest::newRow("unit only") << "元"
                               << "1"
                               << "元" << QStringList{} << QStringList{};
}

void TestManualRecharge::amounts()
{
    QFETCH(QString, value);
    QFETCH(QString, multiplier);
    QFETCH(QString, unit);
    QFETCH(QStringList, amounts);
    QFETCH(QStringList, costs);
    ManualProduct p;
    p.value = value;
    p.price = multiplier;
    const AmountChoices choices = amountChoices(p);
    QCOMPARE(choices.unit, unit);
    QCOMPARE(choices.amounts, amounts);
    QCOMPARE(choices.costs, costs);
    // The panel offers exactly what the catalogue matches.
    for (const QString &amount : choices.amounts)
        QVERIFY(判断数量(value, amount, multiplier, QString(), OrderSource::Manual).has_value());
}

void TestManualRecharge::numberRegionAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("region"); // "<none>": Label13 stays
    QTest::newRow("fields 1 and 2") << "a|广东|深圳|x"
                                    << "广东-深圳";
    QTest::newRow("three fields") << "1380000|北京|北京"
                                  << "北京-北京";
    QTest::newRow("two fields") << "a|广东"
                                << "<none>";
    QTest::newRow("empty") << ""
                           << "<none>";
}

void TestManualRecharge::numberRegionAnswer()
{
    QFETCH(QString, answer);
    QFETCH(QString, region);
    QCOMPARE(readNumberRegion(answer).value_or(QStringLiteral("<none>")), region);
}

void TestManualRecharge::numberActions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<NumberAction>("action");
    QTest::newRow("mobile") << "13800138000" << NumberAction::RegionRequest;
    QTest::newRow("ten digits from 1") << "1380013800" << NumberAction::DisableBalance;
    QTest::newRow("twelve digits from 1") << "138001380001" << NumberAction::DisableBalance;
    QTest::newRow("fixed line") << "010" << NumberAction::FixedLineRegion;
    QTest::newRow("fixed line with number") << "031112345678" << NumberAction::FixedLineRegion;
    QTest::newRow("two digits") << "01" << NumberAction::DisableBalance;
    QTest::newRow("from 2") << "258" << NumberAction::DisableBalance;
    QTest::newRow("letters") << "qq12345" << NumberAction::DisableBalance;
    QTest::newRow("empty") << "" << NumberAction::DisableBalance;
}

void TestManualRecharge::numberActions()
{
    QFETCH(QString, text);
    QFETCH(NumberAction, action);
    QCOMPARE(numberAction(text), action);
}

void TestManualRecharge::amountText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("whole") << "30" << true;
    QTest::newRow("decimal") << "9.8" << true;
    QTest::newRow("prompt") << "请选择" << false;
    QTest::newRow("prompt of a page") << "请选择数量" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("with unit") << "30元" << false;
}

void TestManualRecharge::amountText()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(isAmountText(text), numeric);
}

void TestManualRecharge::purchasePriceFormat_data()
{
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two decimals") << "9.98"
                                  << "9.980";
    QTest::newRow("leading zero") << "0.5"
                                  << "0.500";
    QTest::newRow("point first") << ".5"
                                 << "0.500";
    QTest::newRow("whole") << "46"
                           << "46.000";
    QTest::newRow("half up on the text") << "1.0005"
                                         << "1.001";
    QTest::newRow("carry") << "9.9995"
                           << "10.000";
    QTest::newRow("rounded down") << "29.9404"
                                  << "29.940";
    QTest::newRow("not a number") << "面议"
                                  << "面议";
}

void TestManualRecharge::purchasePriceFormat()
{
    QFETCH(QString, cost);
    QFETCH(QString, shown);
    QCOMPARE(formatPurchasePrice(cost), shown);
}

void TestManualRecharge::purchasePriceClicks_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("productChosen");
    QTest::addColumn<QString>("cost"); // "<none>": the prompt entry
    QTest::addColumn<QString>("text"); // "<unchanged>"
    QTest::addColumn<QString>("colour");
    QTest::newRow("prompt shows the price") << "显示进货价" << true << "19.96"
                                            << "进货价为：19.960" << kPriceColour;
    QTest::newRow("price goes back to the prompt") << "进货价为：19.960" << true << "19.96"
                                                   << "显示进货价" << kPromptColour;
    QTest::newRow("start-up text goes to the prompt") << "库存 显示进价" << true << "19.96"
                                                      << "显示进货价" << kPromptColour;
    QTest::newRow("no product") << "显示进货价" << false << "19.96"
                                << "显示进货价" << kPromptColour;
    QTest::newRow("prompt entry changes nothing") << "显示进货价" << true << "<none>"
                                                  << "<unchanged>" << QString();
}

void TestManualRecharge::purchasePriceClicks()
{
    QFETCH(QString, label);
    QFETCH(bool, productChosen);
    QFETCH(QString, cost);
    QFETCH(QString, text);
    QFETCH(QString, colour);
    const auto result = purchasePriceClick(
        label, productChosen, cost == QLatin1String("<none>") ? std::nullopt : std::optional(cost));
    if (text == QLatin1String("<unchanged>")) {
        QVERIFY(!result);
        return;
    }
    QVERIFY(result);
    QCOMPARE(result->text, text);
    QCOMPARE(result->colour, colour);
}

void TestManualRecharge::addresses()
{
    QCOMPARE(businessListUrl("http://p/", "KEY", "MID", "612.0853"),
             QStringLiteral("http://p/product.asp?sj=612.0853&sessionkey=KEY&hardware=MID"));
    // The business is typed by the agent: GBK bytes escaped, and an "&" cannot
    // add a parameter.
    QCOMPARE(productPageUrl("http://p/", "KEY", "话费&yw=x", "MID", "100.5", "200.25"),
             QStringLiteral("http://p/product.asp?action=ss&sessionkey=KEY&yw=%BB%B0%B7%D1%26yw%3Dx"
                            "&sj=100.5&hardware=MID&sj=200.25"));
    QCOMPARE(numberInfoUrl("http://n:8088/"), QStringLiteral("http://n:8088/mobinfo.do"));
    QCOMPARE(numberInfoUrl("http://n:8088"), QStringLiteral("http://n:8088/mobinfo.do"));
    QCOMPARE(numberInfoBody("13800138000"), QStringLiteral("mobilenum=1380013"));
}

QTEST_GUILESS_MAIN(TestManualRecharge)
#include "tst_manualrecharge.moc"

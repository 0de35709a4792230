// The manual recharge panel: its page readers, the fixed-line table, the number
// region and the purchase price as plain functions; the panel itself with its
// controls found by name, against the in-process simulator over loopback with
// the real WebEngine browser sgcz, and with recording callbacks in place of the
// order intake and submission.
#include "app/core/digitspeaker.h"
#include "app/core/gbk.h"
#include "app/core/session.h"
#include "app/web/browser.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "recharge/catalogue.h"
#include "recharge/manualpanel.h"
#include "recharge/manualrecharge.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/recordingspeaker.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(NumberAction)

namespace {

const QString kMachineId = QStringLiteral("5A6B7C8D");
const QString kAppTitle = QStringLiteral("榴帆综合缴费系统");

// One call of 插入新订单.
struct InsertedOrder
{
    int orderType = -1;
    QString shipNo, orderNo, buyerNick, rechargeAccount, operationLabel, quantityText, productName,
        serverArea, queryArea;
};

QString productRecord(const QString &name, const QString &price, const QString &qu,
                      const QString &value)
{
    return QStringLiteral("<TD><PRODUCT_NAME>") + name + QStringLiteral("</PRODUCT_NAME></TD>") +
           QStringLiteral("<TD><PRODUCT_JHJ>") + price + QStringLiteral("</PRODUCT_JHJ></TD>") +
           QStringLiteral("<TD><PRODUCT_HAO>") + qu + QStringLiteral("</PRODUCT_HAO></TD>") +
           QStringLiteral("<TD><PRODUCT_DW>") + value + QStringLiteral("</PRODUCT_DW></TD>\n");
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}

QString sortedLetters(const QString &text)
{
    QString sorted = text;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace

class TestManualPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Plain functions.
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

    // The panel.
    void controlsAtStart();
    void typedMobileNumber();
    void typedNumberRegion_data();
    void typedNumberRegion();
    void regionOfAnEarlierNumberIsNotShown();
    void pictureReadsNumberOut();
    void refusedBusiness_data();
    void refusedBusiness();
    void businessesAndProductsFromThePlatform();
    void productChoice();
    void purchasePriceDisplay();
    void rechargeRefused_data();
    void rechargeRefused();
    void rechargeAnsweredNo();
    void rechargeConfirmed_data();
    void rechargeConfirmed();
    void unresolvedOrderIsTold_data();
    void unresolvedOrderIsTold();
    void storeRefusalIsTold_data();
    void storeRefusalIsTold();

private:
    ManualRechargePanel *newPanel(ManualRechargePanel::Matcher matcher = {});
    bool loadFromPlatform(ManualRechargePanel *panel);
    template<typename T> T *child(ManualRechargePanel *panel, const char *name)
    {
        return panel->findChild<T *>(QString::fromUtf8(name));
    }
    RecordingPrompter &prompter() const { return **m_prompter; }
    int regionRequests() const
    {
        return int(m_env.requestsTo(QStringLiteral("/numinfo/mobinfo.do")).size());
    }

    SimEnvironment m_env;
    QString m_sessionKey;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<DigitSpeaker> m_previousSpeaker;
    QList<int> m_played;
    QList<InsertedOrder> m_inserted;
    QList<int> m_submitted;
    bool m_insertAnswer = true;
    QList<QPointer<QWidget>> m_panels;
};

void TestManualPanel::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_env.sim().withState(
        [this](sim::State &s) { m_sessionKey = s.openSession(QStringLiteral("demo")); });
}

void TestManualPanel::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    resetSessionInfo();
    SessionInfo().appTitle = kAppTitle;
    SessionInfo().sessionKey = m_sessionKey;
    SessionInfo().machineId = kMachineId;
    m_prompter = std::make_unique<PrompterGuard>();
    m_played.clear();
    m_previousSpeaker = DigitSpeaker::install(std::make_unique<RecordingSpeaker>(&m_played));
    m_inserted.clear();
    m_submitted.clear();
    m_insertAnswer = true;
}

void TestManualPanel::cleanup()
{
    qDeleteAll(m_panels);
    m_panels.clear();
    DigitSpeaker::install(std::move(m_previousSpeaker));
    m_prompter.reset();
}

ManualRechargePanel *TestManualPanel::newPanel(ManualRechargePanel::Matcher matcher)
{
    auto insert = [this](int orderType, const QString &shipNo, const QString &orderNo,
                         const QString &buyerNick, const QString &rechargeAccount,
                         const QString &operationLabel, const QString &quantityText,
                         const QString &productName, const QString &serverArea,
                         const QString &queryArea) {
        m_inserted.append({orderType, shipNo, orderNo, buyerNick, rechargeAccount, operationLabel,
                           quantityText, productName, serverArea, queryArea});
        return m_insertAnswer;
    };
    auto submit = [this](int orderType) { m_submitted.append(orderType); };
    auto *panel = new ManualRechargePanel(insert, submit, std::move(matcher));
    m_panels.append(panel);
    panel->show();
    return panel;
}

bool TestManualPanel::loadFromPlatform(ManualRechargePanel *panel)
{
    auto *ywxz = child<QComboBox>(panel, "ywxz");
    panel->loadBusinesses();
    return waitUntil([&] { return ywxz->count() > 0 && !panel->sgcz()->isLoading(); }, 20000);
}

// ---- Plain functions ----

void TestManualPanel::areaTable()
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

    auto *panel = newPanel();
    auto *listqh = child<QListWidget>(panel, "Listqh");
    QVERIFY(listqh);
    QVERIFY(listqh->isHidden());
    QCOMPARE(listqh->count(), 307);
    QCOMPARE(listqh->item(0)->text(), QStringLiteral(" 北京市010"));
    QCOMPARE(listqh->item(306)->text(), QStringLiteral("西藏 山南市0893"));
}

void TestManualPanel::fixedLineRegion_data()
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

void TestManualPanel::fixedLineRegion()
{
    QFETCH(QString, firstThree);
    QFETCH(QString, region);
    QCOMPARE(获取电信号码区(firstThree), region);
}

void TestManualPanel::businessList_data()
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

void TestManualPanel::businessList()
{
    QFETCH(QString, body);
    QFETCH(QStringList, businesses);
    QCOMPARE(readBusinessList(body), businesses);
}

void TestManualPanel::productPage_data()
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

void TestManualPanel::productPage()
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

void TestManualPanel::productPageStopsAt501()
{
    QString body;
    for (int i = 0; i < 600; ++i)
        body += productRecord(QStringLiteral("P%1").arg(i), "1", "号", "元|10=9.9");
    const QList<ManualProduct> products = readProductPage(body);
    QCOMPARE(products.size(), 501);
    QCOMPARE(products.last().name, QStringLiteral("P500"));
}

void TestManualPanel::amounts_data()
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

void TestManualPanel::amounts()
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
        QVERIFY(!判断数量(value, amount, multiplier, QString(), OrderSource::Manual).isEmpty());
}

void TestManualPanel::numberRegionAnswer_data()
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

void TestManualPanel::numberRegionAnswer()
{
    QFETCH(QString, answer);
    QFETCH(QString, region);
    QCOMPARE(readNumberRegion(answer).value_or(QStringLiteral("<none>")), region);
}

void TestManualPanel::numberActions_data()
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

void TestManualPanel::numberActions()
{
    QFETCH(QString, text);
    QFETCH(NumberAction, action);
    QCOMPARE(numberAction(text), action);
}

void TestManualPanel::amountText_data()
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

void TestManualPanel::amountText()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(isAmountText(text), numeric);
}

void TestManualPanel::purchasePriceFormat_data()
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

void TestManualPanel::purchasePriceFormat()
{
    QFETCH(QString, cost);
    QFETCH(QString, shown);
    QCOMPARE(formatPurchasePrice(cost), shown);
}

void TestManualPanel::purchasePriceClicks_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("productChosen");
    QTest::addColumn<QString>("cost"); // "<none>": the prompt entry
    QTest::addColumn<QString>("text"); // "<unchanged>"
    QTest::addColumn<QColor>("colour");
    QTest::newRow("prompt shows the price") << "显示进货价" << true << "19.96"
                                            << "进货价为：19.960" << kPriceColour;
    QTest::newRow("price goes back to the prompt") << "进货价为：19.960" << true << "19.96"
                                                   << "显示进货价" << kPromptColour;
    QTest::newRow("start-up text goes to the prompt") << "库存 显示进价" << true << "19.96"
                                                      << "显示进货价" << kPromptColour;
    QTest::newRow("no product") << "显示进货价" << false << "19.96"
                                << "显示进货价" << kPromptColour;
    QTest::newRow("prompt entry changes nothing") << "显示进货价" << true << "<none>"
                                                  << "<unchanged>" << QColor();
}

void TestManualPanel::purchasePriceClicks()
{
    QFETCH(QString, label);
    QFETCH(bool, productChosen);
    QFETCH(QString, cost);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
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

void TestManualPanel::addresses()
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

// ---- The panel ----

void TestManualPanel::controlsAtStart()
{
    auto *panel = newPanel();
    QCOMPARE(child<QComboBox>(panel, "yw")->currentText(), QStringLiteral("手机充值"));
    QCOMPARE(child<QComboBox>(panel, "ywxz")->currentText(), QStringLiteral("默认渠道"));
    QCOMPARE(child<QComboBox>(panel, "num")->currentText(), QStringLiteral("30"));
    QCOMPARE(child<QComboBox>(panel, "xiequ")->currentText(), QStringLiteral("请选择"));
    QCOMPARE(child<QLabel>(panel, "Label9")->text(), QStringLiteral("区服："));
    QCOMPARE(child<QLabel>(panel, "Label8")->text(), QStringLiteral("库存 显示进价"));
    QCOMPARE(child<QLabel>(panel, "Label13")->text(), kRegionHint);
    QVERIFY(child<QLabel>(panel, "单位"));
    QVERIFY(child<QLabel>(panel, "Picture1"));
    QCOMPARE(child<QPushButton>(panel, "cz")->text(), QStringLiteral("立即充值"));
    QVERIFY(child<QPushButton>(panel, "cz")->isEnabled());
    QCOMPARE(child<QPushButton>(panel, "btn余额查询")->text(), QStringLiteral("余额查询"));
    QVERIFY(!child<QPushButton>(panel, "btn余额查询")->isEnabled());
    QCOMPARE(child<QLineEdit>(panel, "haoma")->maxLength(), 12);
    QVERIFY(child<Browser>(panel, "sgcz"));
    QVERIFY(child<Transfer>(panel, "Inet3"));
}

void TestManualPanel::typedMobileNumber()
{
    auto *panel = newPanel();
    auto *haoma = child<QLineEdit>(panel, "haoma");
    auto *balance = child<QPushButton>(panel, "btn余额查询");
    QTest::keyClicks(haoma, QStringLiteral("13800138000"));
    QCOMPARE(m_played, (QList<int>{102, 104, 109, 101, 101, 102, 104, 109, 101, 101, 101}));

    QTRY_COMPARE(child<QLabel>(panel, "Label13")->text(), QStringLiteral("广东-深圳"));
    QVERIFY(balance->isEnabled());
    const auto requests = m_env.requestsTo(QStringLiteral("/numinfo/mobinfo.do"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, QStringLiteral("POST"));
    QCOMPARE(requests.first().body, QByteArray("mobilenum=1380013"));

    // Deleting a digit speaks nothing and asks nothing.
    m_played.clear();
    QTest::keyClick(haoma, Qt::Key_Backspace);
    QVERIFY(m_played.isEmpty());
    QVERIFY(!balance->isEnabled());
    QCOMPARE(regionRequests(), 1);

    QSignalSpy asked(panel, &ManualRechargePanel::balanceQueryRequested);
    QTest::keyClicks(haoma, QStringLiteral("0"));
    QTRY_COMPARE(regionRequests(), 2);
    QTRY_VERIFY(balance->isEnabled());
    QTest::mouseClick(balance, Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().first().toString(), QStringLiteral("13800138000"));
}

void TestManualPanel::typedNumberRegion_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("region");
    QTest::addColumn<bool>("balanceEnabled");
    QTest::newRow("010") << "010"
                         << " 北京市固定电话" << true;
    QTest::newRow("0311") << "0311"
                          << "河北省 邯郸市固定电话" << true;
    QTest::newRow("unknown area code") << "0123"
                                       << "" << false;
    QTest::newRow("from 2") << "258" << kRegionHint << false;
    QTest::newRow("two digits") << "01" << kRegionHint << false;
}

void TestManualPanel::typedNumberRegion()
{
    QFETCH(QString, typed);
    QFETCH(QString, region);
    QFETCH(bool, balanceEnabled);
    auto *panel = newPanel();
    QTest::keyClicks(child<QLineEdit>(panel, "haoma"), typed);
    QCOMPARE(child<QLabel>(panel, "Label13")->text(), region);
    QCOMPARE(child<QPushButton>(panel, "btn余额查询")->isEnabled(), balanceEnabled);
    QCOMPARE(m_played.size(), typed.size());
    QCOMPARE(regionRequests(), 0);
}

void TestManualPanel::regionOfAnEarlierNumberIsNotShown()
{
    m_env.sim().setFault(QStringLiteral("/numinfo/mobinfo.do"), {sim::FaultKind::Delay, 400});
    auto *panel = newPanel();
    auto *haoma = child<QLineEdit>(panel, "haoma");
    auto *label13 = child<QLabel>(panel, "Label13");
    QTest::keyClicks(haoma, QStringLiteral("13800138000"));
    QVERIFY(panel->inet3()->stillExecuting());
    haoma->clear();
    QTest::keyClicks(haoma, QStringLiteral("13012345678"));
    // The first answer arrives for a number no longer typed; the second is asked then.
    QTRY_COMPARE(regionRequests(), 2);
    QVERIFY(label13->text() != QStringLiteral("广东-深圳"));
    QTRY_COMPARE(label13->text(), QStringLiteral("上海-上海"));
    const auto requests = m_env.requestsTo(QStringLiteral("/numinfo/mobinfo.do"));
    QCOMPARE(requests.at(1).body, QByteArray("mobilenum=1301234"));
}

void TestManualPanel::pictureReadsNumberOut()
{
    auto *panel = newPanel();
    child<QLineEdit>(panel, "haoma")->setText(QStringLiteral("27"));
    m_played.clear();
    QTest::mouseClick(child<QLabel>(panel, "Picture1"), Qt::LeftButton);
    QCOMPARE(m_played, QList<int>{103});
    auto *timer = panel->findChild<QTimer *>(QStringLiteral("声音播放时间"));
    QVERIFY(timer && timer->isActive());
    QTRY_COMPARE(m_played, (QList<int>{103, 108}));
}

void TestManualPanel::refusedBusiness_data()
{
    QTest::addColumn<QString>("business");
    QTest::newRow("关键字") << "关键字";
    QTest::newRow("empty") << "";
}

void TestManualPanel::refusedBusiness()
{
    QFETCH(QString, business);
    auto *panel = newPanel();
    auto *yw = child<QComboBox>(panel, "yw");
    auto *label13 = child<QLabel>(panel, "Label13");
    QTest::keyClicks(child<QLineEdit>(panel, "haoma"), QStringLiteral("010"));
    QCOMPARE(label13->text(), QStringLiteral(" 北京市固定电话"));
    yw->setEditText(business);
    yw->setFocus();
    QTest::keyClick(yw, Qt::Key_Return);
    QCOMPARE(prompter().messages.size(), 1);
    QCOMPARE(prompter().messages.first().title, kAppTitle + QStringLiteral("提示"));
    QCOMPARE(prompter().messages.first().text, QStringLiteral("关键字不能为空"));
    QVERIFY(!panel->sgcz()->isLoading());
    QCOMPARE(label13->text(), kRegionHint);
    QVERIFY(!child<QPushButton>(panel, "btn余额查询")->isEnabled());
    QCOMPARE(child<QLineEdit>(panel, "haoma")->maxLength(), 50);
}

void TestManualPanel::businessesAndProductsFromThePlatform()
{
    auto *panel = newPanel();
    QVERIFY(loadFromPlatform(panel));

    auto *yw = child<QComboBox>(panel, "yw");
    auto *ywxz = child<QComboBox>(panel, "ywxz");
    auto *num = child<QComboBox>(panel, "num");
    QCOMPARE(itemsOf(yw), (QStringList{"话费", "固话", "Q币", "游戏"}));
    QCOMPARE(yw->currentText(), QStringLiteral("话费"));
    QCOMPARE(itemsOf(ywxz), (QStringList{"移动话费充值", "联通话费充值", "电信话费充值",
                                         "广东移动话费", "联通话费慢充", "电信话费快充"}));
    QCOMPARE(ywxz->currentText(), QStringLiteral("移动话费充值"));
    QCOMPARE(itemsOf(num),
             (QStringList{"请选择", "10", "20", "30", "50", "100", "200", "300", "500"}));
    QCOMPARE(num->currentText(), QStringLiteral("请选择"));
    QCOMPARE(child<QLabel>(panel, "单位")->text(), QStringLiteral("元"));
    QVERIFY(child<QComboBox>(panel, "xiequ")->isHidden());
    QCOMPARE(child<QLabel>(panel, "Label8")->text(), QStringLiteral("显示进货价"));
    QCOMPARE(child<QLineEdit>(panel, "haoma")->maxLength(), 50);

    const auto pages = m_env.requestsTo(QStringLiteral("/platform/product.asp"));
    QCOMPARE(pages.size(), 2);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^/platform/product\\.asp\\?sj=[0-9.]+&sessionkey=") +
                           m_sessionKey + QStringLiteral("&hardware=") + kMachineId + "$")
            .match(pages.at(0).target)
            .hasMatch(),
        qPrintable(pages.at(0).target));
    QVERIFY2(QRegularExpression(QStringLiteral("^/platform/product\\.asp\\?action=ss&sessionkey=") +
                                m_sessionKey +
                                QStringLiteral("&yw=%BB%B0%B7%D1&sj=[0-9.]+&hardware=") +
                                kMachineId + QStringLiteral("&sj=[0-9.]+$"))
                 .match(pages.at(1).target)
                 .hasMatch(),
             qPrintable(pages.at(1).target));

    // While a manual order is out, a business choice leaves cz shut: a second
    // order would find the manual component busy. It opens when submission
    // is free.
    auto *cz = child<QPushButton>(panel, "cz");
    panel->setSubmissionBusy(true);
    QVERIFY(!cz->isEnabled());
    emit yw->activated(yw->currentIndex());
    QVERIFY(!cz->isEnabled());
    panel->setRechargeEnabled(true); // an answer, with the next order already out
    QVERIFY(!cz->isEnabled());
    panel->setSubmissionBusy(false);
    QVERIFY(cz->isEnabled());

    // Another business replaces the lists and opens cz again.
    cz->setEnabled(false);
    yw->setCurrentIndex(3);
    emit yw->activated(3);
    QVERIFY(cz->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(ywxz->currentText(), QStringLiteral("魔兽世界点卡"), 20000);
    QCOMPARE(itemsOf(ywxz), (QStringList{"魔兽世界点卡", "征途2金币", "网易一卡通"}));
    QCOMPARE(itemsOf(num), (QStringList{"请选择", "30", "60", "90"}));
    QCOMPARE(child<QLabel>(panel, "单位")->text(), QStringLiteral("个"));
    QVERIFY(!child<QComboBox>(panel, "xiequ")->isHidden());
    QVERIFY(!child<QLabel>(panel, "Label9")->isHidden());
    QVERIFY(saveWindowPicture(panel, QStringLiteral("manual-panel.png")));

    // A product page that fails leaves only the prompt.
    m_env.sim().setFault(QStringLiteral("/platform/product.asp"), {sim::FaultKind::Error500, 0});
    yw->setCurrentIndex(0);
    emit yw->activated(0);
    QTRY_COMPARE_WITH_TIMEOUT(ywxz->count(), 0, 20000);
    QCOMPARE(itemsOf(num), QStringList{"请选择数量"});
}

void TestManualPanel::productChoice()
{
    auto *panel = newPanel();
    QVERIFY(loadFromPlatform(panel));
    auto *ywxz = child<QComboBox>(panel, "ywxz");
    auto *num = child<QComboBox>(panel, "num");

    ywxz->setCurrentIndex(3);
    emit ywxz->activated(3);
    QCOMPARE(ywxz->currentText(), QStringLiteral("广东移动话费"));
    QCOMPARE(itemsOf(num), (QStringList{"请选择", "49", "98", "196"}));
    QCOMPARE(panel->products().at(3).price, QStringLiteral("0.98"));

    ywxz->setCurrentIndex(4);
    emit ywxz->activated(4);
    QCOMPARE(itemsOf(num), (QStringList{"请选择", "10", "25", "50"}));
}

void TestManualPanel::purchasePriceDisplay()
{
    auto *panel = newPanel();
    QVERIFY(loadFromPlatform(panel));
    auto *num = child<QComboBox>(panel, "num");
    auto *label8 = child<QLabel>(panel, "Label8");
    QCOMPARE(label8->styleSheet(), priceLabelStyle(kPromptColour));

    // The prompt entry has no cost: a click changes nothing.
    QTest::mouseClick(label8, Qt::LeftButton);
    QCOMPARE(label8->text(), QStringLiteral("显示进货价"));

    num->setCurrentIndex(2);
    emit num->activated(2);
    QTest::mouseClick(label8, Qt::LeftButton);
    QCOMPARE(label8->text(), QStringLiteral("进货价为：19.960"));
    QCOMPARE(label8->styleSheet(), priceLabelStyle(kPriceColour));

    // While shown, another amount shows its cost as stored.
    num->setCurrentIndex(3);
    emit num->activated(3);
    QCOMPARE(label8->text(), QStringLiteral("进货价为：29.94"));

    QTest::mouseClick(label8, Qt::LeftButton);
    QCOMPARE(label8->text(), QStringLiteral("显示进货价"));
    QCOMPARE(label8->styleSheet(), priceLabelStyle(kPromptColour));
}

void TestManualPanel::rechargeRefused_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    QTest::newRow("no number") << "移动话费充值"
                               << "30"
                               << ""
                               << "帐号没有填写";
    QTest::newRow("no number nor product") << ""
                                           << "30"
                                           << ""
                                           << "帐号没有填写";
    QTest::newRow("no product") << ""
                                << "30"
                                << "258"
                                << "业务没有选择";
    QTest::newRow("请选择 as amount") << "移动话费充值"
                                      << "请选择"
                                      << "258"
                                      << "数目填写错误";
    QTest::newRow("请选择数量 as amount") << "移动话费充值"
                                          << "请选择数量"
                                          << "258"
                                          << "数目填写错误";
    QTest::newRow("no amount") << "移动话费充值"
                               << ""
                               << "258"
                               << "数目填写错误";
    QTest::newRow("amount with unit") << "移动话费充值"
                                      << "30元"
                                      << "258"
                                      << "数目填写错误";
}

void TestManualPanel::rechargeRefused()
{
    QFETCH(QString, product);
    QFETCH(QString, amount);
    QFETCH(QString, number);
    QFETCH(QString, message);
    auto *panel = newPanel();
    child<QComboBox>(panel, "ywxz")->setEditText(product);
    child<QComboBox>(panel, "num")->setEditText(amount);
    child<QLineEdit>(panel, "haoma")->setText(number);
    QTest::mouseClick(child<QPushButton>(panel, "cz"), Qt::LeftButton);
    QCOMPARE(prompter().messages.size(), 1);
    QCOMPARE(prompter().messages.first().kind, QStringLiteral("inform"));
    QCOMPARE(prompter().messages.first().title, kAppTitle);
    QCOMPARE(prompter().messages.first().text, message);
    QVERIFY(m_inserted.isEmpty());
    QVERIFY(m_submitted.isEmpty());
    QVERIFY(child<QPushButton>(panel, "cz")->isEnabled());
}

void TestManualPanel::rechargeAnsweredNo()
{
    auto *panel = newPanel([](const QString &, const QString &, int) {
        return QStringLiteral("移动话费充值<?>30<?>30<?>1");
    });
    child<QComboBox>(panel, "ywxz")->setEditText(QStringLiteral("移动话费充值"));
    child<QComboBox>(panel, "num")->setEditText(QStringLiteral("30"));
    child<QLineEdit>(panel, "haoma")->setText(QStringLiteral("258"));
    prompter().answers = {false};
    QTest::mouseClick(child<QPushButton>(panel, "cz"), Qt::LeftButton);
    QCOMPARE(prompter().messages.size(), 1);
    QCOMPARE(prompter().messages.first().kind, QStringLiteral("ask"));
    QCOMPARE(prompter().messages.first().title, kAppTitle);
    QCOMPARE(prompter().messages.first().text, QStringLiteral("确认充值吗"));
    QVERIFY(m_inserted.isEmpty());
    QVERIFY(m_submitted.isEmpty());
    QVERIFY(child<QPushButton>(panel, "cz")->isEnabled());
}

void TestManualPanel::rechargeConfirmed_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("area");
    QTest::addColumn<QString>("serverArea");
    QTest::addColumn<QString>("queryArea");
    QTest::newRow("fixed line, no area") << "02088886666"
                                         << "请选择"
                                         << ""
                                         << "广东省 广州市固定电话";
    QTest::newRow("hint is no region") << "2588"
                                       << "请选择"
                                       << ""
                                       << "";
    QTest::newRow("typed area") << "qq1234"
                                << "电信一区"
                                << "电信一区"
                                << "";
}

void TestManualPanel::rechargeConfirmed()
{
    QFETCH(QString, number);
    QFETCH(QString, area);
    QFETCH(QString, serverArea);
    QFETCH(QString, queryArea);
    QStringList matched;
    auto *panel = newPanel([&matched](const QString &product, const QString &amount, int source) {
        matched << product + QLatin1Char('/') + amount + QLatin1Char('/') + QString::number(source);
        return product + QStringLiteral("<?>") + amount + QStringLiteral("<?>") + amount +
               QStringLiteral("<?>1");
    });
    child<QComboBox>(panel, "ywxz")->setEditText(QStringLiteral("电信话费充值"));
    child<QComboBox>(panel, "num")->setEditText(QStringLiteral("50"));
    child<QComboBox>(panel, "xiequ")->setEditText(area);
    auto *haoma = child<QLineEdit>(panel, "haoma");
    haoma->setMaxLength(50);
    QTest::keyClicks(haoma, number);
    prompter().answers = {true};
    auto *cz = child<QPushButton>(panel, "cz");
    QTest::mouseClick(cz, Qt::LeftButton);

    QCOMPARE(prompter().texts(), QStringList{"确认充值吗"});
    QCOMPARE(matched, QStringList{"电信话费充值/50/0"});
    QCOMPARE(m_inserted.size(), 1);
    const InsertedOrder &o = m_inserted.first();
    QCOMPARE(o.orderType, 0);
    QCOMPARE(o.shipNo.size(), 25);
    QCOMPARE(sortedLetters(o.shipNo), sortedLetters(QStringLiteral("qwhtrbxnmakpzeyfcjsuvdgoi")));
    QCOMPARE(o.orderNo, o.shipNo);
    QCOMPARE(o.buyerNick, QStringLiteral("手工订单"));
    QCOMPARE(o.rechargeAccount, number);
    QCOMPARE(o.operationLabel, QStringLiteral("手工操作"));
    QCOMPARE(o.quantityText, QStringLiteral("50"));
    QCOMPARE(o.productName, QStringLiteral("电信话费充值"));
    QCOMPARE(o.serverArea, serverArea);
    QCOMPARE(o.queryArea, queryArea);
    QCOMPARE(m_submitted, QList<int>{0});
    // Disabled until submission has handled the answer.
    QVERIFY(!cz->isEnabled());
    panel->setRechargeEnabled(true);
    QVERIFY(cz->isEnabled());
}

void TestManualPanel::unresolvedOrderIsTold_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::newRow("amount not offered") << "移动话费充值"
                                        << "25";
    QTest::newRow("unknown product") << "默认渠道"
                                     << "30";
    QTest::newRow("scaled amount typed as label") << "广东移动话费"
                                                  << "50";
}

void TestManualPanel::unresolvedOrderIsTold()
{
    QFETCH(QString, product);
    QFETCH(QString, amount);
    Catalogue catalogue;
    for (const sim::Product &p : m_env.sim().products())
        catalogue.addRecord(ProductItem{p.list, p.name, p.price, p.qu, p.value});
    auto *panel = newPanel([&catalogue](const QString &p, const QString &a, int source) {
        return catalogue.判断业务名称(p, a, source);
    });
    child<QComboBox>(panel, "ywxz")->setEditText(product);
    child<QComboBox>(panel, "num")->setEditText(amount);
    child<QLineEdit>(panel, "haoma")->setText(QStringLiteral("258"));
    prompter().answers = {true};
    QTest::mouseClick(child<QPushButton>(panel, "cz"), Qt::LeftButton);

    QCOMPARE(prompter().messages.size(), 1);
    const auto &message = prompter().messages.first();
    QCOMPARE(message.kind, QStringLiteral("inform"));
    QCOMPARE(message.title, kAppTitle);
    QVERIFY2(message.text.contains(QStringLiteral("商品列表中没有这个商品或金额")),
             qPrintable(message.text));
    QVERIFY(message.text.contains(product));
    QVERIFY(message.text.contains(amount));
    QVERIFY(m_inserted.isEmpty());
    QVERIFY(m_submitted.isEmpty());
    QVERIFY(child<QPushButton>(panel, "cz")->isEnabled());
}

void TestManualPanel::storeRefusalIsTold_data()
{
    QTest::addColumn<bool>("withMatcher");
    QTest::addColumn<QString>("message");
    QTest::newRow("resolved but not stored") << true << "订单没有保存，也没有提交，请再试一次";
    // Without a matcher the intake's refusal is all the panel hears.
    QTest::newRow("no matcher")
        << false << "商品列表中没有这个商品或金额（移动话费充值，25），订单没有提交，请重新选择";
}

void TestManualPanel::storeRefusalIsTold()
{
    QFETCH(bool, withMatcher);
    QFETCH(QString, message);
    m_insertAnswer = false;
    auto *panel = withMatcher ? newPanel([](const QString &, const QString &, int) {
        return QStringLiteral("移动话费充值<?>25<?>25<?>1");
    })
                              : newPanel();
    child<QComboBox>(panel, "ywxz")->setEditText(QStringLiteral("移动话费充值"));
    child<QComboBox>(panel, "num")->setEditText(QStringLiteral("25"));
    child<QLineEdit>(panel, "haoma")->setText(QStringLiteral("258"));
    prompter().answers = {true};
    QTest::mouseClick(child<QPushButton>(panel, "cz"), Qt::LeftButton);
    QCOMPARE(m_inserted.size(), 1);
    QVERIFY(m_submitted.isEmpty());
    QCOMPARE(prompter().texts(), (QStringList{QStringLiteral("确认充值吗"), message}));
    QVERIFY(child<QPushButton>(panel, "cz")->isEnabled());
}

AGENT_WINDOW_TEST_MAIN(TestManualPanel)
#include "tst_manualpanel.moc"

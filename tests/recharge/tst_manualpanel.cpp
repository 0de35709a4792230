// The manual recharge panel with its controls found by name, against the
// in-process simulator over loopback with the real WebEngine browser sgcz, and
// with recording callbacks in place of the order intake and submission. Its
// plain functions are tested in tst_manualrecharge.
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

namespace {

const QString kMachineId = QStringLiteral("5A6B7C8D");
const QString kAppTitle = QStringLiteral("榴帆综合缴费系统");

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

    // The panel.
    void areaTableInListqh();
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
    QList<NewOrder> m_inserted;
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
    auto insert = [this](const NewOrder &order) {
        m_inserted.append(order);
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

// ---- The panel ----

void TestManualPanel::areaTableInListqh()
{
    auto *panel = newPanel();
    auto *listqh = child<QListWidget>(panel, "Listqh");
    QVERIFY(listqh);
    QVERIFY(listqh->isHidden());
    QCOMPARE(listqh->count(), 307);
    QCOMPARE(listqh->item(0)->text(), QStringLiteral(" 北京市010"));
    QCOMPARE(listqh->item(306)->text(), QStringLiteral("西藏 山南市0893"));
}

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
        return std::optional<CatalogueMatch>(
            CatalogueMatch{QStringLiteral("移动话费充值"), QStringLiteral("30"),
                           QStringLiteral("30"), QStringLiteral("1")});
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
        return std::optional<CatalogueMatch>(
            CatalogueMatch{product, amount, amount, QStringLiteral("1")});
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
    const NewOrder &o = m_inserted.first();
    QCOMPARE(o.type, 0);
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
        return std::optional<CatalogueMatch>(
            CatalogueMatch{QStringLiteral("移动话费充值"), QStringLiteral("25"),
                           QStringLiteral("25"), QStringLiteral("1")});
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

// The balance query and agent website windows against the simulator over
// loopback: real transfers, the real TCP balance server.
#include "app/core/session.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "sim/balanceserver.h"
#include "tests/support/recordinglauncher.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"
#include "tools/balanceexchange.h"
#include "tools/form25.h"
#include "tools/form35.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

template<typename T> T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromUtf8(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString text(QWidget *window, const char *name)
{
    if (auto *label = window->findChild<QLabel *>(QString::fromUtf8(name)))
        return label->text();
    return child<QLineEdit>(window, name)->text();
}

void clickLabel(QLabel *label)
{
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
}

const QString kUserId = QStringLiteral("10001");

} // namespace

class TestToolsWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void queryOpenedWithNumber_data();
    void queryOpenedWithNumber();
    void fixedLineTypedThenQueried();
    void serverNeverAnswers();
    void noQueryServer();

    void websiteReadAndSave();
    void saveWhileReadRuns();
    void websiteTransferError();
    void addressOpensAndCopies();

private:
    std::unique_ptr<Form25> openForm25();
    QString lastMessage();

    SimEnvironment m_env;
    std::unique_ptr<NetworkAccess> m_network;
};

void TestToolsWindows::initTestCase()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_network = std::make_unique<NetworkAccess>(10'000);
}

void TestToolsWindows::init()
{
    resetSessionInfo();
    SessionInfo().appTitle = QStringLiteral("榴帆综合缴费系统");
    SessionInfo().userId = kUserId;
    SessionInfo().userLevel = QStringLiteral("3");
    m_env.sim().clearRequests();
    m_env.sim().clearFaults();
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Whole);
    m_env.sim().balanceServer().clearMessages();
}

void TestToolsWindows::cleanup()
{
    m_env.sim().clearFaults();
}

std::unique_ptr<Form25> TestToolsWindows::openForm25()
{
    auto form = std::make_unique<Form25>(*m_network);
    form->show();
    return form;
}

QString TestToolsWindows::lastMessage()
{
    QStringList messages = m_env.sim().balanceServer().messages();
    messages.removeAll(QStringLiteral("Close "));
    return messages.value(messages.size() - 1);
}

// Opened from the main window's balance button: server list, number
// information, then one query by itself.
void TestToolsWindows::queryOpenedWithNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("cardInfo");
    QTest::addColumn<QString>("signedStart");
    QTest::addColumn<QString>("feedback");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("balance");

    QTest::newRow("known number") << "13800138000"
                                  << "卡信息：1380013|广东|深圳|广东移动全球通卡"
                                  << "ad.asp?hm=13800138000&s=广东&y=移动&d=&dj=3&sj="
                                  << "反馈： 查询成功！"
                                  << "张三"
                                  << "余额： 56.30";
    QTest::newRow("unknown number") << "13912345678"
                                    << "卡信息：1391234|广东|广州|广东移动神州行卡"
                                    << "ad.asp?hm=13912345678&s=广东&y=移动&d=&dj=3&sj="
                                    << "查询失败，没有此号码的资料"
                                    << "姓名： "
                                    << "余额： ";
}

void TestToolsWindows::queryOpenedWithNumber()
{
    QFETCH(QString, number);
    QFETCH(QString, cardInfo);
    QFETCH(QString, signedStart);
    QFETCH(QString, feedback);
    QFETCH(QString, name);
    QFETCH(QString, balance);

    auto form = openForm25();
    QCOMPARE(form->windowTitle(), QStringLiteral("榴帆综合缴费系统话费余额查询"));
    QVERIFY(!child<QPushButton>(form.get(), "Command1")->isEnabled());
    form->queryFromMainWindow(number);
    QVERIFY(form->autoQuery());
    QTRY_COMPARE_WITH_TIMEOUT(text(form.get(), "反馈"), feedback, 10'000);
    QCOMPARE(text(form.get(), "phone"), number);
    QCOMPARE(text(form.get(), "Label3"), cardInfo);
    QCOMPARE(text(form.get(), "姓名"), name);
    QCOMPARE(text(form.get(), "余额"), balance);
    QVERIFY(!form->autoQuery());
    QVERIFY(child<QLineEdit>(form.get(), "phone")->isEnabled());
    QCOMPARE(form->queryServer(), QStringLiteral("127.0.0.1"));

    // The server list first, then the number's first seven digits.
    const auto requests = m_env.sim().requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests[0].target.startsWith(QStringLiteral("/platform/apicx.asp?sj=")));
    QCOMPARE(requests[0].method, QStringLiteral("GET"));
    QCOMPARE(requests[1].target, QStringLiteral("/numinfo/mobinfo.do"));
    QCOMPARE(requests[1].body, "mobilenum=" + number.left(7).toLatin1());

    // One query, signed, then "Close ".
    QTRY_COMPARE(m_env.sim().balanceServer().messages().size(), 2);
    const QStringList messages = m_env.sim().balanceServer().messages();
    QVERIFY2(messages[0].startsWith(signedStart), qPrintable(messages[0]));
    QCOMPARE(messages[0].section(QStringLiteral("&key="), 1).chopped(2),
             sim::balanceQueryKey(messages[0]));
    QCOMPARE(messages[1], QStringLiteral("Close "));

    // The log the agent can show: the connection and the reply.
    auto *list1 = child<QListWidget>(form.get(), "List1");
    QVERIFY(list1->isHidden());
    QCOMPARE(list1->count(), 2);
    QVERIFY(list1->item(0)->text().startsWith(QStringLiteral("Connected!   LocalPort   =  ")));
    QVERIFY(list1->item(0)->text().endsWith(QStringLiteral("   RemptePort   =    ") +
                                            QString::number(m_env.sim().balancePort())));
    QVERIFY(list1->item(1)->text().startsWith(
        name == QStringLiteral("张三") ? QStringLiteral("成功|张三|56.30") : feedback));
    QTest::mouseClick(child<QPushButton>(form.get(), "showLog"), Qt::LeftButton);
    QVERIFY(list1->isVisible());
}

// A fixed line: the area code gives the region and enables 查询; the rest of
// the number is typed after it and the whole number is sent.
void TestToolsWindows::fixedLineTypedThenQueried()
{
    auto form = openForm25();
    QTRY_COMPARE_WITH_TIMEOUT(form->queryServer(), QStringLiteral("127.0.0.1"), 10'000);
    auto *phone = child<QLineEdit>(form.get(), "phone");
    auto *command1 = child<QPushButton>(form.get(), "Command1");
    QTest::keyClicks(phone, QStringLiteral("029"));
    QCOMPARE(text(form.get(), "Label3"), QStringLiteral("|陕西省 西安市固定电话"));
    QVERIFY(command1->isEnabled());
    QTest::keyClicks(phone, QStringLiteral("88886666"));
    QCOMPARE(text(form.get(), "Label3"), QStringLiteral("|陕西省 西安市固定电话"));

    QTest::mouseClick(command1, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(text(form.get(), "姓名"), QStringLiteral("王五"), 10'000);
    QCOMPARE(text(form.get(), "余额"), QStringLiteral("余额： 103.50"));
    QVERIFY(lastMessage().startsWith(
        QStringLiteral("ad.asp?hm=02988886666&s=陕西&y=电信&d=西安&dj=3&sj=")));
    // Opened from the menu: no query by itself, and none after the reply.
    QVERIFY(!form->autoQuery());
}

// A server that never answers: a second click opens no second connection,
// and the time-out ends the query with a message.
void TestToolsWindows::serverNeverAnswers()
{
    m_env.sim().balanceServer().setReplyMode(sim::BalanceReplyMode::Silent);
    auto form = openForm25();
    form->winsock1()->setTimeoutMs(1'000);
    QTRY_COMPARE_WITH_TIMEOUT(form->queryServer(), QStringLiteral("127.0.0.1"), 10'000);
    auto *command1 = child<QPushButton>(form.get(), "Command1");
    QTest::keyClicks(child<QLineEdit>(form.get(), "phone"), QStringLiteral("029"));
    QTest::mouseClick(command1, Qt::LeftButton);
    QVERIFY(form->winsock1()->running());
    QVERIFY(!child<QLineEdit>(form.get(), "phone")->isEnabled());
    QTest::mouseClick(command1, Qt::LeftButton);
    QCOMPARE(text(form.get(), "反馈"), QStringLiteral("反馈： 正在查询，请稍候"));
    QTRY_COMPARE_WITH_TIMEOUT(text(form.get(), "反馈"),
                              QStringLiteral("反馈： 查询超时，服务器没有回复"), 10'000);
    QVERIFY(child<QLineEdit>(form.get(), "phone")->isEnabled());
    QCOMPARE(m_env.sim().balanceServer().messages().first(), lastMessage());
    QCOMPARE(child<QListWidget>(form.get(), "List1")->item(1)->text(),
             QStringLiteral("查询超时，服务器没有回复"));
}

// The platform names no server: nothing is sent.
void TestToolsWindows::noQueryServer()
{
    m_env.sim().setFault(QStringLiteral("/platform/apicx.asp"), {sim::FaultKind::Error500, 0});
    auto form = openForm25();
    QTRY_VERIFY_WITH_TIMEOUT(!form->inet1()->stillExecuting(), 10'000);
    QVERIFY(text(form.get(), "反馈").startsWith(QStringLiteral("反馈： 取查询服务器失败")));
    QTest::keyClicks(child<QLineEdit>(form.get(), "phone"), QStringLiteral("010"));
    QTest::mouseClick(child<QPushButton>(form.get(), "Command1"), Qt::LeftButton);
    QCOMPARE(text(form.get(), "反馈"), QStringLiteral("没有可供查询的服务器！"));
    QVERIFY(m_env.sim().balanceServer().messages().isEmpty());
}

void TestToolsWindows::websiteReadAndSave()
{
    m_env.sim().withState([](sim::State &s) {
        s.agentSites().insert(kUserId, {"小店", "ww", "123", "http://t.example/", "http://p/"});
    });
    Form35 form(*m_network);
    QCOMPARE(form.windowTitle(), QStringLiteral("榴帆综合缴费系统代理网站生成"));
    QCOMPARE(text(&form, "Label2"), m_env.sim().rootUrl() + QStringLiteral("agentsite/?id=10001"));
    QTRY_COMPARE_WITH_TIMEOUT(text(&form, "Text5"), QStringLiteral("http://p/"), 10'000);
    const QStringList shown = {text(&form, "Text1"), text(&form, "Text2"), text(&form, "Text3"),
                               text(&form, "Text4"), text(&form, "Text5")};
    QCOMPARE(shown, (QStringList{"小店", "ww", "123", "http://t.example/", "http://p/"}));
    auto requests = m_env.requestsTo(QStringLiteral("/agentsite/apiwait12.asp"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].method, QStringLiteral("POST"));
    QVERIFY(requests[0].body.startsWith("action=cx&user_id=10001&sj="));

    child<QLineEdit>(&form, "Text1")->setText(QStringLiteral("测试 店"));
    child<QLineEdit>(&form, "Text2")->setText(QStringLiteral("张"));
    QTest::mouseClick(child<QPushButton>(&form, "Command1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(text(&form, "Label8"), QStringLiteral("设置成功！"), 10'000);
    requests = m_env.requestsTo(QStringLiteral("/agentsite/apiwait12.asp"));
    QCOMPARE(requests.size(), 2);
    QVERIFY2(requests[1].body.startsWith(
                 "action=tj&user_id=10001&user_name=%B2%E2%CA%D4%20%B5%EA&user_ww=%D5%C5"
                 "&user_qq=123&user_tb=http%3A%2F%2Ft%2Eexample%2F&user_pp=http%3A%2F%2Fp%2F&sj="),
             requests[1].body.constData());
    QVERIFY(requests[1].body.endsWith("&key=63ed87a7ed818ef3"));
    QStringList saved;
    m_env.sim().withState([&saved](sim::State &s) { saved = s.agentSites().value(kUserId); });
    QCOMPARE(saved, (QStringList{"测试 店", "张", "123", "http://t.example/", "http://p/"}));
}

void TestToolsWindows::saveWhileReadRuns()
{
    m_env.sim().setFault(QStringLiteral("/agentsite/apiwait12.asp"), {sim::FaultKind::Delay, 1500});
    Form35 form(*m_network);
    QVERIFY(form.inet1()->stillExecuting());
    QTest::mouseClick(child<QPushButton>(&form, "Command1"), Qt::LeftButton);
    QCOMPARE(text(&form, "Label8"), QStringLiteral("正在保存，请稍候"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.inet1()->stillExecuting(), 10'000);
    const auto requests = m_env.requestsTo(QStringLiteral("/agentsite/apiwait12.asp"));
    QCOMPARE(requests.size(), 1);
    QVERIFY(requests[0].body.startsWith("action=cx&"));
}

void TestToolsWindows::websiteTransferError()
{
    m_env.sim().setFault(QStringLiteral("/agentsite/apiwait12.asp"), {sim::FaultKind::Drop, 0});
    Form35 form(*m_network);
    QTRY_VERIFY_WITH_TIMEOUT(text(&form, "Label8").startsWith(QStringLiteral("设置没有读到：")),
                             10'000);
    child<QLineEdit>(&form, "Text1")->setText(QStringLiteral("typed"));
    QTest::mouseClick(child<QPushButton>(&form, "Command1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(text(&form, "Label8").startsWith(QStringLiteral("设置没有保存：")),
                             10'000);
    QCOMPARE(text(&form, "Text1"), QStringLiteral("typed"));
}

void TestToolsWindows::addressOpensAndCopies()
{
    LauncherGuard launcher;
    Form35 form(*m_network);
    form.show();
    auto *label2 = child<QLabel>(&form, "Label2");
    clickLabel(label2);
    clickLabel(label2);
    QCOMPARE(launcher->urls, QStringList({form.siteAddress(), form.siteAddress()}));
    QCOMPARE(QGuiApplication::clipboard()->text(), form.siteAddress());
    QCOMPARE(text(&form, "Label8"), QStringLiteral("复制成功！"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.inet1()->stillExecuting(), 10'000);
}

QTEST_MAIN(TestToolsWindows)
#include "tst_toolswindows.moc"

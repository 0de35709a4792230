// The two windows on platform pages, end to end against the simulator with
// the real browser: the goods list saved into "货物.txt", and generated card
// codes written into the card-storing page and stored by its own form.
#include "app/core/gbk.h"
#include "app/core/session.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "inventory/form12.h"
#include "inventory/form7.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString kAccount = QStringLiteral("demo");
const QString kTitle = QStringLiteral("榴帆综合缴费系统");
const QString kMachineId = QStringLiteral("9C8B7A65");
const QString kAlphabet = QStringLiteral("qwhtrbxnmakpzeyfcjsuvdgoi");

QByteArray gbkLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += toGbk(line) + "\r\n";
    return bytes;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool loaded(Browser *browser)
{
    return !browser->isLoading() && !browser->url().isEmpty();
}

// Runs a script in the page as it is now, as the agent's typing would change it.
QVariant runInPage(Browser *browser, const QString &script)
{
    QVariant result;
    bool done = false;
    browser->page()->runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    waitUntil([&] { return done; }, 10000);
    return result;
}

QString pageValue(Browser *browser, const QString &id)
{
    return runInPage(browser, QStringLiteral("document.getElementById('%1').value").arg(id))
        .toString();
}

void typeInPage(Browser *browser, const QString &id, const QString &text)
{
    runInPage(browser, QStringLiteral("document.getElementById('%1').value = '%2'").arg(id, text));
}

QString sortedLetters(QString text)
{
    std::sort(text.begin(), text.end());
    return text;
}

} // namespace

class TestPlatformGoods : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void goodsSave();
    void goodsSaveNeedsTheGoodsPage();
    void cardCodes_data();
    void cardCodes();
    void generatedCodesAreStoredByThePage();

private:
    Form12 *cardWindow();

    SimEnvironment m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PrompterGuard> m_prompter;
    QPointer<Form12> m_form12; // shared by the card-code rows
};

void TestPlatformGoods::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    SessionInfoRecord &s = SessionInfo();
    s.appTitle = kTitle;
    s.machineId = kMachineId;
    m_env.sim().withState([&s](sim::State &state) { s.sessionKey = state.openSession(kAccount); });
}

void TestPlatformGoods::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestPlatformGoods::cleanup()
{
    m_prompter.reset();
    m_dir.reset();
}

void TestPlatformGoods::cleanupTestCase()
{
    delete m_form12.data();
}

void TestPlatformGoods::goodsSave()
{
    m_env.sim().setGoodsRows({
        {QStringLiteral("腾讯QQ币10元"), "12.50", "QB10", QStringLiteral("上架"),
         QStringLiteral("自动发卡")},
        {QStringLiteral("移动话费50元"), "49.30", "YD50", QStringLiteral("下架"),
         QStringLiteral("无")},
    });
    Form7 window(m_dir->path());
    window.show();
    QCOMPARE(window.windowTitle(), kTitle + QStringLiteral("货物设置"));
    QVERIFY(waitUntil([&] { return loaded(window.webp()); }, 30000));
    const QList<sim::LoggedRequest> requests = m_env.requestsTo("/platform/productlist.asp");
    QCOMPARE(requests.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^/platform/productlist\\.asp\\?sj=[0-9.]+"
                                              "&hardware=9C8B7A65$"))
                .match(requests[0].target)
                .hasMatch());

    window.findChild<QPushButton *>("Command1")->click();
    QCOMPARE((*m_prompter)->messages.size(), 1);
    QCOMPARE((*m_prompter)->messages[0].title, kTitle + QStringLiteral("提示"));
    QCOMPARE((*m_prompter)->messages[0].text, QStringLiteral("添加成功"));
    const QString file = m_dir->filePath(QStringLiteral("货物.txt"));
    QCOMPARE(contents(file), gbkLines({QStringLiteral("QB10|12.50|上架|自动发卡"),
                                       QStringLiteral("YD50|49.30|下架|无")}));

    // 刷新 asks again; the file is rewritten whole, not added to.
    m_env.sim().setGoodsRows({{QStringLiteral("网易一卡通15元"), "13.50", "WY15",
                               QStringLiteral("上架"), QStringLiteral("自动发卡")}});
    window.findChild<QPushButton *>("Command2")->click();
    QVERIFY(waitUntil([&] { return loaded(window.webp()); }, 30000));
    QCOMPARE(m_env.requestsTo("/platform/productlist.asp").size(), 2);
    window.findChild<QPushButton *>("Command1")->click();
    QCOMPARE(contents(file), gbkLines({QStringLiteral("WY15|13.50|上架|自动发卡")}));
    QCOMPARE((*m_prompter)->texts(), (QStringList{"添加成功", "添加成功"}));
}

// A page that is not the goods list (here the server's error page) keeps the
// last export and says so, rather than emptying it and telling a success.
void TestPlatformGoods::goodsSaveNeedsTheGoodsPage()
{
    const QString file = m_dir->filePath(QStringLiteral("货物.txt"));
    const QByteArray earlier = gbkLines({QStringLiteral("QB10|9.60|上架|自动发卡")});
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
    }
    m_env.sim().setFault(QStringLiteral("/platform/productlist.asp"), {sim::FaultKind::Error500});
    Form7 window(m_dir->path());
    window.show();
    QVERIFY(waitUntil([&] { return loaded(window.webp()); }, 30000));
    window.findChild<QPushButton *>("Command1")->click();
    QCOMPARE((*m_prompter)->messages.size(), 1);
    QVERIFY((*m_prompter)->messages[0].text != QStringLiteral("添加成功"));
    QCOMPARE(contents(file), earlier);
}

Form12 *TestPlatformGoods::cardWindow()
{
    if (!m_form12) {
        m_form12 = new Form12;
        m_form12->show();
        if (!waitUntil([this] { return loaded(m_form12->web()); }, 30000))
            return nullptr;
    }
    return m_form12;
}

void TestPlatformGoods::cardCodes_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("1") << 1;
    QTest::newRow("3") << 3;
    QTest::newRow("200") << 200;
    QTest::newRow("201") << 201;
}

void TestPlatformGoods::cardCodes()
{
    QFETCH(int, count);
    Form12 *window = cardWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), kTitle + QStringLiteral("添加卡密"));
    Browser *web = window->web();
    QVERIFY(web->url().contains(QStringLiteral("cunCard_Step1.asp?sessionkey=") +
                                SessionInfo().sessionKey + QStringLiteral("&sj=")));
    QVERIFY(web->url().endsWith(QStringLiteral("&hardware=") + kMachineId));

    // The agent types the count into the page after it has loaded.
    typeInPage(web, QStringLiteral("num"), QString::number(count));
    typeInPage(web, QStringLiteral("textarea"), QStringLiteral("as it was"));
    window->findChild<QPushButton *>("Command1")->click();

    if (count > 200) {
        QVERIFY(waitUntil([this] { return !(*m_prompter)->messages.isEmpty(); }, 10000));
        QCOMPARE((*m_prompter)->texts(), QStringList{QStringLiteral("一次别生成那么多")});
        QTest::qWait(200); // nothing more comes
        QCOMPARE(pageValue(web, QStringLiteral("textarea")), QStringLiteral("as it was"));
        return;
    }
    QVERIFY(waitUntil(
        [&] { return pageValue(web, QStringLiteral("textarea")) != QStringLiteral("as it was"); },
        10000));
    // Written with a carriage return alone between the codes; the page keeps
    // them one a line.
    const QString written = web->elementValue(QStringLiteral("textarea"));
    QCOMPARE(written.count(QLatin1Char('\r')), count - 1);
    QVERIFY(!written.contains(QLatin1Char('\n')));
    const QStringList codes = pageValue(web, QStringLiteral("textarea"))
                                  .split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    QCOMPARE(codes.size(), count);
    for (const QString &code : codes)
        QCOMPARE(sortedLetters(code), sortedLetters(kAlphabet));
    QVERIFY((*m_prompter)->messages.isEmpty());
}

void TestPlatformGoods::generatedCodesAreStoredByThePage()
{
    Form12 *window = cardWindow();
    QVERIFY(window);
    Browser *web = window->web();
    typeInPage(web, QStringLiteral("num"), QStringLiteral("3"));
    typeInPage(web, QStringLiteral("textarea"), QString());
    window->findChild<QPushButton *>("Command1")->click();
    QVERIFY(waitUntil([&] { return pageValue(web, "textarea").size() == 3 * 25 + 2; }, 10000));
    const QStringList codes =
        web->elementValue(QStringLiteral("textarea")).split(QLatin1Char('\r'));

    web->clickElement(QStringLiteral("Submit"));
    QVERIFY(waitUntil([&] { return loaded(web) && web->title() == QStringLiteral("存卡成功"); },
                      30000));
    QStringList stored;
    for (const sim::StoredCardCode &c : m_env.sim().storedCardCodes()) {
        QCOMPARE(c.account, kAccount);
        stored.append(c.code);
    }
    QCOMPARE(stored.mid(stored.size() - 3), codes);
    delete m_form12.data(); // the page has moved on
}

AGENT_WINDOW_TEST_MAIN(TestPlatformGoods)
#include "tst_platformgoods.moc"

// The account and service windows end to end: each window against the
// simulator over loopback, with the real WebEngine browser and a recording
// stand-in for the main window.
#include "app/core/session.h"
#include "app/ui/accountpage.h"
#include "app/ui/accountpanelhost.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

const QString kAccount = QStringLiteral("agent7");
const QString kBalance = QStringLiteral("2345.60");
const QString kMachineId = QStringLiteral("1F2E3D4C");

// What the main window would be told. A QObject, as the main window is.
class RecordingHost : public QObject, public AccountPanelHost
{
public:
    void setBalanceText(const QString &text) override { balances.append(text); }
    void refreshAccountFigures() override { ++refreshes; }
    bool supplyMode() const override { return supply; }

    QStringList balances;
    int refreshes = 0;
    bool supply = false;
};

// The query of a logged request as key/value pairs, in order.
QList<QPair<QString, QString>> queryPairs(const QString &target)
{
    QList<QPair<QString, QString>> pairs;
    const qsizetype mark = target.indexOf(QLatin1Char('?'));
    if (mark < 0)
        return pairs;
    for (const QString &part : target.mid(mark + 1).split(QLatin1Char('&'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        pairs.append({part.left(eq), eq < 0 ? QString() : part.mid(eq + 1)});
    }
    return pairs;
}

QString pathOf(const QString &target)
{
    return target.left(target.indexOf(QLatin1Char('?')));
}

} // namespace

class TestAccountPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void unknownFormHasNoWindow();
    void windows_data();
    void windows();
    void everyOpeningHasAFreshSj();
    void addFundsRefreshesOnEveryPage();
    void supplyWindowRefusesToClose();
    void otherWindowsCloseWithTheirPage();
    void failedLoadIsNoBalance();
    void withoutHost();
    void hostGoneBeforeThePage();

private:
    // Creates and shows the window and waits for its first page.
    QWidget *open(const QString &form, AccountPanelHost *host);
    Browser *browserOf(QWidget *window) const;

    SimEnvironment m_env;
    QString m_sessionKey;
    std::unique_ptr<PrompterGuard> m_prompter;
    QList<QPointer<QWidget>> m_windows;
};

void TestAccountPages::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    sim::Account account = sim::PlatformSim::demoAccount();
    account.account = kAccount;
    account.balance = kBalance;
    m_env.sim().addAccount(account);
    m_env.sim().withState([this](sim::State &s) { m_sessionKey = s.openSession(kAccount); });
    QVERIFY(!m_sessionKey.isEmpty());
}

void TestAccountPages::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    resetSessionInfo();
    SessionInfoRecord &session = SessionInfo();
    session.brandWord = Brand::word;
    session.appTitle = Brand::word + Brand::titleSuffix;
    session.sessionKey = m_sessionKey;
    session.machineId = kMachineId;
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestAccountPages::cleanup()
{
    QList<QPointer<QWidget>> windows = m_windows;
    m_windows.clear();
    qDeleteAll(windows);
    m_prompter.reset();
}

Browser *TestAccountPages::browserOf(QWidget *window) const
{
    const QList<Browser *> browsers = window->findChildren<Browser *>();
    return browsers.size() == 1 ? browsers.first() : nullptr;
}

QWidget *TestAccountPages::open(const QString &form, AccountPanelHost *host)
{
    QWidget *window = createAccountPage(form, host);
    if (!window)
        return nullptr;
    m_windows.append(window);
    Browser *browser = browserOf(window);
    if (!browser)
        return nullptr;
    QSignalSpy done(browser, &Browser::documentComplete);
    window->show();
    if (!done.wait(30000))
        return nullptr;
    return window;
}

void TestAccountPages::unknownFormHasNoWindow()
{
    RecordingHost host;
    for (const char *name : {"Form2", "Form7", "form4", ""})
        QVERIFY2(!createAccountPage(QString::fromLatin1(name), &host), name);
}

void TestAccountPages::windows_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("supply");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("balance"); // into the host, empty for none
    QTest::addColumn<int>("refreshes");

    const QStringList keyFirst{QStringLiteral("sessionkey"), QStringLiteral("sj"),
                               QStringLiteral("hardware")};
    const QStringList sjFirst{QStringLiteral("sj"), QStringLiteral("hardware"),
                              QStringLiteral("sessionkey")};
    const QString balance = kBalance + QStringLiteral(" 元");
    struct Row
    {
        const char *form;
        bool supply;
        const char *caption, *browser, *page;
        QStringList keys;
        QString balance;
        int refreshes;
    };
    const Row rows[] = {
        {"Form4", false, "销售记录", "Websale", "BuyCardHistory.asp", keyFirst, {}, 0},
        {"Form5", false, "个人信息", "Webxx", "Personal.asp", keyFirst, {}, 0},
        {"Form6", false, "软件销售", "Webxs", "salecx.asp", sjFirst, balance, 0},
        {"Form8", false, "下级销售", "Websale", "BuyCardHistory2.asp", keyFirst, {}, 0},
        {"Form9", false, "资金管理", "Webxs", "monycz.asp", keyFirst, {}, 0},
        {"Form10", false, "加款", "Webxs", "jk.asp", keyFirst, {}, 1},
        {"Form11", false, "密码管理", "Webxs", "modifypassword1.asp", keyFirst, {}, 0},
        {"Form15", false, "提现", "Webxs", "monycz1.asp", keyFirst, {}, 0},
        {"Form17", false, "视频教程", "WebBrowser1", "jc.asp", {}, {}, 0},
        {"Form19", true, "供货管理", "Webxs", "gh.asp", keyFirst, {}, 0},
        {"Form19", false, "供货管理", "Webxs", "xs.asp", keyFirst, {}, 0},
        {"Form20", false, "供货权限开通", "Webxs", "salegh.asp", sjFirst, balance, 0},
        {"Form21", false, "酒店预订", "Webxs", "yd.asp", sjFirst, {}, 0},
        {"Form22", false, "预订记录", "Websale", "ydBuyCardHistory.asp", keyFirst, {}, 0},
        {"Form23", false, "硬件管理", "Webxs", "BindHardware.asp", sjFirst, {}, 0},
        {"Form27", false, "手机WAP", "Web", "wap", {}, {}, 0},
        {"Form28", false, "快递查询", "Web", "kd", {}, {}, 0},
        {"Form29", false, "娱乐小游戏", "Web", "flash", {}, {}, 0},
        {"Form31", false, "投诉补单", "Websale", "BuyCardHistoryc.asp", keyFirst, {}, 0},
        {"Form32", false, "个人贷款", "Web", "dk.asp", {}, {}, 0},
        {"Form34", false, "实体加盟", "Web", "st.asp", {}, {}, 0},
        {"Form49", false, "佣金记录", "Web", "BuyCardHistoryyj.asp", keyFirst, {}, 0},
    };
    for (const Row &row : rows) {
        const QByteArray name = QByteArray(row.form) + (row.supply ? " supply mode" : "");
        QTest::newRow(name.constData())
            << QString::fromLatin1(row.form) << row.supply
            << Brand::word + Brand::titleSuffix + QString::fromUtf8(row.caption)
            << QString::fromLatin1(row.browser)
            << QStringLiteral("/platform/") + QString::fromLatin1(row.page) << row.keys
            << row.balance << row.refreshes;
    }
}

void TestAccountPages::windows()
{
    QFETCH(QString, form);
    QFETCH(bool, supply);
    QFETCH(QString, caption);
    QFETCH(QString, browser);
    QFETCH(QString, path);
    QFETCH(QStringList, keys);
    QFETCH(QString, balance);
    QFETCH(int, refreshes);

    RecordingHost host;
    host.supply = supply;
    QWidget *window = open(form, &host);
    QVERIFY(window);
    QCOMPARE(window->objectName(), form);
    QCOMPARE(window->windowTitle(), caption);
    Browser *web = window->findChild<Browser *>(browser);
    QVERIFY(web);
    QVERIFY(web->loadSucceeded());
    auto *view = window->findChild<QWebEngineView *>(browser);
    QVERIFY(view);
    QVERIFY(view->isVisible());

    // One request per opening, with the parameters in their order.
    const QList<sim::LoggedRequest> requests = m_env.requestsTo(path);
    QCOMPARE(requests.size(), 1);
    const QString target = requests.first().target;
    if (keys.isEmpty()) {
        QCOMPARE(target, path);
    } else {
        QCOMPARE(pathOf(target), path);
        const auto pairs = queryPairs(target);
        QStringList seenKeys;
        for (const auto &[key, value] : pairs)
            seenKeys.append(key);
        QCOMPARE(seenKeys, keys);
        for (const auto &[key, value] : pairs) {
            if (key == QLatin1String("sessionkey")) {
                QCOMPARE(value, m_sessionKey);
            } else if (key == QLatin1String("hardware")) {
                QCOMPARE(value, kMachineId);
            } else {
                bool ok = false;
                const double sj = value.toDouble(&ok);
                QVERIFY2(ok && sj >= 50 && sj <= 1050, qPrintable(value));
            }
        }
        // The simulator answered the session's page, not its refusal.
        QVERIFY2(web->title() != QStringLiteral("请重新登陆！"), qPrintable(web->title()));
    }

    QCOMPARE(host.balances, balance.isEmpty() ? QStringList() : QStringList{balance});
    QCOMPARE(host.refreshes, refreshes);

    // The page follows the window's size.
    for (const QSize size : {QSize(640, 420), QSize(1024, 700)}) {
        window->resize(size);
        QCOMPARE(view->geometry(), window->rect());
    }
}

void TestAccountPages::everyOpeningHasAFreshSj()
{
    RecordingHost host;
    QStringList sjs;
    for (int i = 0; i < 2; ++i) {
        QPointer<QWidget> window = open(QStringLiteral("Form4"), &host);
        QVERIFY(window);
        delete window;
    }
    for (const sim::LoggedRequest &r :
         m_env.requestsTo(QStringLiteral("/platform/BuyCardHistory.asp")))
        sjs.append(queryPairs(r.target).value(1).second);
    QCOMPARE(sjs.size(), 2);
    QVERIFY2(sjs.at(0) != sjs.at(1), qPrintable(sjs.join(QLatin1Char(' '))));
}

void TestAccountPages::addFundsRefreshesOnEveryPage()
{
    RecordingHost host;
    QWidget *window = open(QStringLiteral("Form10"), &host);
    QVERIFY(window);
    QCOMPARE(host.refreshes, 1);

    Browser *web = browserOf(window);
    QSignalSpy done(web, &Browser::documentComplete);
    web->clickElement(QStringLiteral("Submit"));
    QVERIFY(done.wait(30000));
    QCOMPARE(web->title(), QStringLiteral("加款申请已提交"));
    QCOMPARE(host.refreshes, 2);
    QVERIFY(host.balances.isEmpty());
}

void TestAccountPages::supplyWindowRefusesToClose()
{
    RecordingHost host;
    host.supply = true;
    QPointer<QWidget> window = open(QStringLiteral("Form19"), &host);
    QVERIFY(window);
    QPointer<Browser> web = browserOf(window);
    QSignalSpy closing(web.data(), &Browser::windowClosing);
    web->clickElement(QStringLiteral("closeme"));
    QVERIFY(closing.wait(10000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(web);
    QVERIFY(web->view()->isVisible());
    QCOMPARE(web->view()->geometry(), window->rect());
}

void TestAccountPages::otherWindowsCloseWithTheirPage()
{
    RecordingHost host;
    QPointer<QWidget> window = open(QStringLiteral("Form5"), &host);
    QVERIFY(window);
    Browser *web = browserOf(window);
    QSignalSpy closing(web, &Browser::windowClosing);
    web->page()->runJavaScript(QStringLiteral("window.close();"));
    QVERIFY(closing.wait(10000));
    QVERIFY(!window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
}

void TestAccountPages::failedLoadIsNoBalance()
{
    m_env.sim().setFault(QStringLiteral("/platform/salecx.asp"), {sim::FaultKind::Drop, 0});
    RecordingHost host;
    QWidget *window = open(QStringLiteral("Form6"), &host);
    QVERIFY(window);
    QVERIFY(!browserOf(window)->loadSucceeded());
    QVERIFY2(host.balances.isEmpty(), qPrintable(host.balances.join(QLatin1Char('|'))));
}

void TestAccountPages::withoutHost()
{
    // No host to ask: the sales page, and nothing to tell.
    QWidget *window = open(QStringLiteral("Form19"), nullptr);
    QVERIFY(window);
    QCOMPARE(m_env.requestsTo(QStringLiteral("/platform/xs.asp")).size(), 1);
    QVERIFY(m_env.requestsTo(QStringLiteral("/platform/gh.asp")).isEmpty());
}

void TestAccountPages::hostGoneBeforeThePage()
{
    auto host = std::make_unique<RecordingHost>();
    QWidget *window = createAccountPage(QStringLiteral("Form6"), host.get());
    QVERIFY(window);
    m_windows.append(window);
    Browser *web = browserOf(window);
    QSignalSpy done(web, &Browser::documentComplete);
    window->show();
    host.reset();
    QVERIFY(done.wait(30000));
    QCOMPARE(web->title(), kBalance);
}

QTEST_MAIN(TestAccountPages)
#include "tst_accountpages.moc"

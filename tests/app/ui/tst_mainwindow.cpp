// The main window end to end: Form2 loaded for a session opened on the
// simulator, its menu and toolbar driven by name, the unlock and the figures
// refresh going over loopback through the real browser.
#include "app/core/config.h"
#include "app/core/digitspeaker.h"
#include "app/core/session.h"
#include "app/ui/commandmenu.h"
#include "app/ui/desk.h"
#include "app/ui/form1.h"
#include "app/ui/form2.h"
#include "app/ui/sessionfactory.h"
#include "app/ui/tray.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "orders/form24.h"
#include "orders/orderintake.h"
#include "orders/orderlists.h"
#include "orders/orderstore.h"
#include "recharge/cataloguecontroller.h"
#include "recharge/cataloguelist.h"
#include "recharge/manualpanel.h"
#include "recharge/submission.h"
#include "shop/agentsession.h"
#include "shop/shopview.h"
#include "sim/balanceserver.h"
#include "sim/pages.h"
#include "tests/support/listedcells.h"
#include "tests/support/recordingdesktop.h"
#include "tests/support/recordinglauncher.h"
#include "tests/support/recordingprinthost.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/recordingspeaker.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"
#include "tools/form25.h"
#include "widgets/ibutton.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kAccount = QStringLiteral("demo");
const QString kTradePassword = QStringLiteral("888888");
const QString kMachineId = QStringLiteral("5A6B7C8D");

QString labelText(QWidget *window, const char *name)
{
    auto *l = window->findChild<QLabel *>(QString::fromUtf8(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromUtf8(name));
}

// The menu an action sits in, by its name; empty for the menu bar.
QString parentMenuName(QAction *action)
{
    for (QObject *o : action->associatedObjects()) {
        if (auto *menu = qobject_cast<QMenu *>(o))
            return menu->objectName();
    }
    return QString();
}

void clickWidget(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(3, 3));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void loadState();
    void menuEntries_data();
    void menuEntries();
    void commands_data();
    void commands();
    void unlock_data();
    void unlock();
    void unreachableUnlock();
    void tradePasswordBoxEmptiesOnClick();
    void figuresRefresh();
    void failedRefreshKeepsFigures();
    void shortTitles_data();
    void shortTitles();
    void rightClickShowsTrayMenu();
    void closeQuestion_data();
    void closeQuestion();
    void exitCommands_data();
    void exitCommands();
    void closeWaitsForAnswers_data();
    void closeWaitsForAnswers();
    void pictureReadsTheNumber();
    void balanceQueriesFromThePanel();
    void catalogueAndTitleGenerator();
    void shopOrderIsListedStoredAndReadBack();
    void missingCatalogueIsTold();
    void businessChosenWhileProductsLoad();
    void manualRechargeEndToEnd_data();
    void manualRechargeEndToEnd();
    void receiptsEndToEnd();
    void mainWindowPicture();
    void refreshIntervalCommand_data();
    void refreshIntervalCommand();
    void taobaoShopEndToEnd();
    void paipaiShopEndToEnd();

private:
    Form2 *openMainWindow();
    // Through the login window, as the agent does.
    Form2 *logIn();
    bool unlockWindow(Form2 *window);
    // The window of a row: one kept locked, one unlocked, for all rows.
    Form2 *sharedWindow(bool unlocked);
    void trigger(Form2 *window, const QString &name);
    void dropSharedWindows();
    RecordingDesktop m_desktop; // outlives the windows that type into it
    // Fills the shop's login form in its browser and submits it, as a seller does.
    bool submitForm(Browser *browser, const QList<QPair<QString, QString>> &fields,
                    const QString &button);
    QString labelOf(Form2 *window, const char *name) const;

    SimEnvironment m_env;
    std::unique_ptr<WorkingDirectory> m_cwd;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<LauncherGuard> m_launcher;
    QPointer<Form2> m_locked;
    QPointer<Form2> m_unlocked;
    QStringList m_handled;
};

void TestMainWindow::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    ClientConfig config = m_env.config();
    config.officialSiteUrl = QStringLiteral("http://maker.example/");
    config.dataPackageUrl = QStringLiteral("http://maker.example/download/");
    config.calculatorProgram = QStringLiteral("galculator");
    setCurrentConfig(config);
    m_cwd = std::make_unique<WorkingDirectory>();
    // One for the whole run: the shared windows' engines keep the prompter
    // they were made with.
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestMainWindow::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    (**m_prompter).messages.clear();
    (**m_prompter).answers.clear();
    (**m_prompter).inputAnswers.clear();
    (**m_prompter).onMessage = {};
    m_launcher = std::make_unique<LauncherGuard>();
    m_handled.clear();

    SessionInfoRecord &s = SessionInfo();
    s.appTitle = QStringLiteral("榴帆综合缴费系统");
    s.machineId = kMachineId;
    s.userName = QStringLiteral("演示代理商");
    s.userId = QStringLiteral("10086");
    s.userLevel = QStringLiteral("1");
    s.balance = QStringLiteral("1000.00");
    s.frozenFunds = QStringLiteral("0.00");
    m_env.sim().withState([&s](sim::State &state) { s.sessionKey = state.openSession(kAccount); });
}

void TestMainWindow::cleanup()
{
    // Every window but the two kept for the command table.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->parentWidget() && w != m_locked && w != m_unlocked)
            windows.append(w);
    }
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
    sim::addPlatformPages(m_env.sim()); // a test may have replaced one
    m_launcher.reset();
}

void TestMainWindow::cleanupTestCase()
{
    dropSharedWindows();
    m_prompter.reset();
    m_cwd.reset();
}

bool TestMainWindow::submitForm(Browser *browser, const QList<QPair<QString, QString>> &fields,
                                const QString &button)
{
    if (!waitUntil(
            [&] { return !browser->isLoading() && browser->hasElementValue(fields.first().first); },
            30000))
        return false;
    for (const auto &[id, value] : fields)
        browser->setElementValue(id, value);
    browser->clickElement(button);
    return true;
}

QString TestMainWindow::labelOf(Form2 *window, const char *name) const
{
    auto *label = window->findChild<QLabel *>(QString::fromUtf8(name));
    return label ? label->text() : QStringLiteral("(no label)");
}

void TestMainWindow::dropSharedWindows()
{
    delete m_locked.data();
    delete m_unlocked.data();
}

Form2 *TestMainWindow::openMainWindow()
{
    auto *window = new Form2(makeAgentSession());
    window->load();
    window->show();
    return window;
}

Form2 *TestMainWindow::logIn()
{
    // The main window of this login, not one an earlier test left open.
    QSet<QWidget *> before;
    for (QWidget *w : QApplication::topLevelWidgets())
        before.insert(w);
    QPointer<Form1> login = new Form1;
    login->show();
    auto *zh = login->findChild<QComboBox *>(QStringLiteral("zh"));
    auto *mm = login->findChild<QLineEdit *>(QStringLiteral("mm"));
    auto *button = login->findChild<iButton *>(QStringLiteral("iButton1"));
    if (!zh || !mm || !button)
        return nullptr;
    zh->setCurrentText(kAccount);
    mm->setText(m_env.sim().account(kAccount)->password);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    Form2 *window = nullptr;
    waitUntil(
        [&window, &before] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *f = qobject_cast<Form2 *>(w); f && f->isVisible() && !before.contains(f))
                    window = f;
            }
            return window != nullptr;
        },
        20000);
    (**m_prompter).messages.clear(); // "登陆成功！"
    return window;
}

bool TestMainWindow::unlockWindow(Form2 *window)
{
    auto *text1 = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *command1 = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    if (!text1 || !command1)
        return false;
    text1->setText(kTradePassword);
    command1->click();
    return waitUntil([window] { return window->unlocked(); }, 20000);
}

Form2 *TestMainWindow::sharedWindow(bool unlocked)
{
    QPointer<Form2> &slot = unlocked ? m_unlocked : m_locked;
    if (!slot) {
        slot = openMainWindow();
        if (unlocked && !unlockWindow(slot))
            return nullptr;
    }
    return slot;
}

void TestMainWindow::trigger(Form2 *window, const QString &name)
{
    if (name.startsWith(QStringLiteral("iButton"))) {
        auto *button = window->findChild<iButton *>(name);
        QVERIFY2(button, qPrintable(name));
        clickWidget(button);
        return;
    }
    QAction *action = window->commandAction(name);
    QVERIFY2(action, qPrintable(name));
    action->trigger();
}

void TestMainWindow::menuEntries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("gated");

    const struct
    {
        const char *name, *caption, *parent;
        bool shown, gated;
    } rows[] = {
        {"m帐号管理", "   帐号管理", "", true, false},
        {"帐号信息", "帐号信息", "m帐号管理", true, true},
        {"退出系统", "退出系统", "m帐号管理", true, false},
        {"m安全管理", " 安全管理", "", true, false},
        {"密码修改", "密码修改", "m安全管理", true, true},
        {"硬件绑定", "硬件绑定", "m安全管理", true, true},
        {"m监控管理", " 监控管理", "", true, false},
        {"m店铺设置", "店铺设置", "m监控管理", false, true},
        {"监控淘宝", "监控淘宝", "m监控管理", false, true},
        {"监控拍拍", "监控拍拍", "m监控管理", false, true},
        {"m退出淘宝监控", "退出淘宝监控", "m监控管理", true, false},
        {"m退出拍拍监控", "退出拍拍监控", "m监控管理", true, false},
        {"淘宝刷新", "淘宝刷新", "m监控管理", true, false},
        {"货物设置", "货物设置", "m监控管理", true, true},
        {"清除不能发货商品", "清除不能发货商品", "m监控管理", true, false},
        {"打印小票", "打印小票", "m监控管理", false, false},
        {"m营销管理", " 营销管理", "", false, false},
        {"m财务管理", " 财务管理", "", true, false},
        {"程序加款", "程序加款", "m财务管理", false, true},
        {"余额转账", "余额转账", "m财务管理", true, true},
        {"余额提现", "余额提现", "m财务管理", false, true},
        {"M佣金管理", "佣金管理", "m财务管理", true, false},
        {"产品销售", "销售记录", "m财务管理", true, true},
        {"下级销售", "下级销售", "m财务管理", true, true},
        {"m订单查询", "订单查询", "m财务管理", true, false},
        {"m待处理订单", "待处理订单", "m财务管理", true, true},
        {"m提醒设置", "提醒设置", "m财务管理", true, false},
        {"mWAP手机版", " WAP手机版", "", false, true},
        {"m营销辅助", " 营销/辅助", "", true, false},
        {"开通代理", "开通代理", "m营销辅助", false, true},
        {"话费查询", "话费查询", "m营销辅助", true, true},
        {"自存卡密", "自存卡密", "m营销辅助", false, true},
        {"无限卡密", "无限卡密", "m营销辅助", true, true},
        {"m代理网站生成", "代理网站生成", "m营销辅助", true, true},
        {"m快递查询", "快递查询", "m营销辅助", true, false},
        {"m建议投诉", " 投诉/补单", "", true, true},
        {"m帮助中心", " 帮助中心 ", "", false, false},
        {"视频教程", "视频教程", "m帮助中心", true, false},
        {"m计算器", "计算器", "m帮助中心", true, false},
        {"m娱乐小游戏", "娱乐小游戏", "", false, false},
        {"账号管理", " 帐号管理 ", "", false, false},
        {"自动开通", "用户管理", "", false, false},
        {"开通供货", "开通供货", "自动开通", true, true},
        {"财务管理", "财务管理", "", false, false},
        {"订单查询", "充值记录", "", false, false},
        {"水电", "水、电", "", false, false},
        {"电费", "电费", "水电", true, false},
        {"水费", "水费", "水电", true, false},
        {"煤气费", "煤气费", "水电", true, false},
        {"票务", "票务", "", false, false},
        {"火车票", "火车票", "票务", true, false},
        {"飞机票", "飞机票", "票务", true, false},
        {"彩票", "彩票", "", false, false},
        {"福彩", "福彩", "彩票", true, false},
        {"体彩", "体彩", "彩票", true, false},
        {"旅游", "旅游", "", false, false},
        {"启动监控", "启动监控", "", false, false},
        {"发货设置", "发货设置", "", false, false},
        {"卡密管理", "卡密管理", "", false, false},
        {"数据包下载", "数据包下载", "", false, false},
        {"menu", "托盘", "", false, false},
        {"官方网站", "官方网站", "menu", true, false},
        {"退出", "退出", "menu", true, false},
        {"供货管理", "供货管理", "", false, false},
        {"商品管理", "商品管理", "供货管理", true, false},
        {"充值管理", "充值管理", "供货管理", true, true},
        {"酒店管理", "酒店预订", "", false, false},
        {"酒店预订", "我要预订", "酒店管理", true, true},
        {"预订查询", "预订查询", "酒店管理", true, true},
        {"打印", "打印小票", "", true, false},
        {"打印收据", "打印小票", "打印", true, false},
        {"复制订单", "复制订单", "打印", true, false},
        {"打印设置", "打印设置", "打印", true, false},
        {"m复制卡密", "复制卡密", "打印", true, false},
        {"m删除订单", "删除订单", "打印", false, false},
        {"m实体加盟", "实体加盟", "", false, false},
        {"m实物批发", "实物批发", "", false, false},
        {"m平板电脑厂家批发1元1000元专区", "平板电脑厂家批发1元-1000元专区", "m实物批发", true,
         false},
        {"m入门吉他厂家批发50元1500元专区", "入门吉他厂家批发50元-1500元专区", "m实物批发", true,
         false},
        {"m男女包包厂家批发15元120元专区", "男女包包厂家批发15元-120元专区", "m实物批发", false,
         false},
        {"m男女服装厂家批发1060元专区", "男女服装厂家批发10-60元专区", "m实物批发", true, false},
        {"m男女首饰厂家批发1元50元专区", "男女首饰厂家批发1元-50元专区", "m实物批发", true, false},
        {"m毛绒娃娃厂家批发30元120元专区", "毛绒娃娃厂家批发30元-120元专区", "m实物批发", true,
         false},
        {"mDVD高清光盘厂家批发35元6元专区", "DVD高清光盘厂家批发0.35元-6元专区", "m实物批发", true,
         false},
        {"m私人贷款", " 私人贷款", "", false, false},
        {"M手机号码", " 手机选号", "", true, false},
        {"m手机批发", " 手机批发", "", true, false},
        {"m山寨手机厂家批发1元200元专区", "山寨手机批发50元-200元专区", "m手机批发", true, false},
        {"m品牌手机200元7600元专区", "品牌手机100元-900元专区", "m手机批发", true, false},
        {"m童装批发", " 童装批发", "", true, false},
        {"m男女童装5元", "男女童装5元-75元专区", "m童装批发", true, false},
        {"m服装批发", " 服装批发", "", true, false},
        {"m男装12元", "男装12元-80元专区", "m服装批发", true, false},
        {"m女装15元", "女装15元-120元专区", "m服装批发", true, false},
        {"m水电缴费", " 水电缴费 ", "", true, false},
    };
    for (const auto &r : rows) {
        QTest::newRow(r.name) << QString::fromUtf8(r.name) << QString::fromUtf8(r.caption)
                              << QString::fromUtf8(r.parent) << r.shown << r.gated;
    }
}

// Captions with their blanks, placement and visibility of every entry, read
// off the window's own menu bar.
void TestMainWindow::menuEntries()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, parent);
    QFETCH(bool, shown);
    QFETCH(bool, gated);

    Form2 *window = sharedWindow(false);
    QVERIFY(window);
    QAction *action = window->commandAction(name);
    QVERIFY2(action, "no such entry");
    QCOMPARE(action->objectName(), name);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isVisible(), shown);
    QCOMPARE(parentMenuName(action), parent);
    if (parent.isEmpty())
        QVERIFY(window->menuBar()->actions().contains(action));
    const CommandEntry *entry = findCommand(name);
    QVERIFY(entry);
    QCOMPARE(entry->gated, gated);
}

void TestMainWindow::loadState()
{
    Form2 *window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(), QStringLiteral("榴帆综合缴费系统"));
    QVERIFY(!window->windowIcon().isNull());

    auto *frame4 = window->findChild<QGroupBox *>(QStringLiteral("Frame4"));
    QVERIFY(frame4 && frame4->isVisible());
    QVERIFY(!window->unlocked());
    QCOMPARE(labelText(window, "Label10"), QStringLiteral("输入交易密码："));
    auto *command1 = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    QVERIFY(command1);
    QCOMPARE(command1->text(), QStringLiteral("激活"));
    auto *text1 = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    QVERIFY(text1);
    QCOMPARE(text1->echoMode(), QLineEdit::Password);
    // The unlock frame covers the manual panel.
    auto *manual = window->findChild<QGroupBox *>(QStringLiteral("manualFrame"));
    QVERIFY(manual);
    QCOMPARE(manual->title(), QStringLiteral("手工充值"));
    const QRect manualRect(manual->mapTo(frame4->parentWidget(), QPoint(0, 0)), manual->size());
    QVERIFY(frame4->geometry().contains(manualRect));
    QWidget *onTop = frame4->parentWidget()->childAt(manualRect.center());
    QVERIFY(onTop == frame4 || frame4->isAncestorOf(onTop));

    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 5);
    const QStringList captions = {QStringLiteral("淘宝店铺监控"), QStringLiteral("拍拍店铺监控 "),
                                  QStringLiteral("卡密自动发送"), QStringLiteral("标题生成器"),
                                  QStringLiteral("不能发货商品")};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tabs->isTabEnabled(i), i != 3);
    }

    auto *bar = window->findChild<QStatusBar *>(QStringLiteral("状态栏"));
    QVERIFY(bar && bar->isHidden());
    QCOMPARE(window->statusPanel()->text(), QStringLiteral("提示："));
    QCOMPARE(window->statusPanel()->width(), qMax(1, bar->width() / 15));

    auto *timer = window->findChild<QTimer *>(QStringLiteral("Timer"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 30000);
    QCOMPARE(labelText(window, "Label7"), QStringLiteral("刷新"));
    QCOMPARE(labelText(window, "jusername"), QStringLiteral("用户名称：演示代理商"));
    QCOMPARE(labelText(window, "userid1"), QStringLiteral("用户编号：  10086"));
    QCOMPARE(labelText(window, "Label4"), QStringLiteral("用户类型： 1"));
    QCOMPARE(labelText(window, "jprice"), QStringLiteral("1000.00 元"));
    QCOMPARE(labelText(window, "Label11"), QStringLiteral("冻结资金： 0.00 元"));
    for (int n = 1; n <= 10; ++n)
        QVERIFY(window->findChild<iButton *>(QStringLiteral("iButton%1").arg(n)));

    // The hidden tutorial form and the notice, each once.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/jcform.asp")).size(), 1,
                              20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/notice.asp")).size(), 1,
                              20000);
    QCOMPARE(m_env.requestsTo(QStringLiteral("/platform/notice.asp"))[0].target,
             QStringLiteral("/platform/notice.asp?sessionkey=") + SessionInfo().sessionKey);
    QCOMPARE(m_env.requestsTo(QStringLiteral("/platform/jcform.asp"))[0].target,
             QStringLiteral("/platform/jcform.asp"));
}

void TestMainWindow::commands_data()
{
    // effect: a window by its name, "handler" for an entry a later panel
    // connects, "official"/"datapackage"/"calculator" for outside programs,
    // "wholesale" for the message.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("gated");
    QTest::addColumn<QString>("effect");

    const struct
    {
        const char *name;
        bool gated;
        const char *effect;
    } rows[] = {
        {"帐号信息", true, "Form5"},
        {"密码修改", true, "Form11"},
        {"硬件绑定", true, "Form23"},
        {"m店铺设置", true, "handler"},
        {"监控淘宝", true, "handler"},
        {"监控拍拍", true, "handler"},
        {"m退出淘宝监控", false, "handler"},
        {"淘宝刷新", false, "handler"},
        {"货物设置", true, "Form7"},
        {"程序加款", true, "Form10"},
        {"余额转账", true, "Form9"},
        {"余额提现", true, "Form15"},
        {"M佣金管理", false, "Form49"},
        {"产品销售", true, "Form4"},
        {"下级销售", true, "Form8"},
        {"mWAP手机版", true, "Form27"},
        {"开通代理", true, "Form6"},
        {"话费查询", true, "Form25"},
        {"自存卡密", true, "Form16"},
        {"无限卡密", true, "Form12"},
        {"m代理网站生成", true, "Form35"},
        {"m快递查询", false, "Form28"},
        {"m建议投诉", true, "Form31"},
        {"视频教程", false, "Form17"},
        {"m计算器", false, "calculator"},
        {"m娱乐小游戏", false, "Form29"},
        {"开通供货", true, "Form20"},
        {"数据包下载", false, "datapackage"},
        {"官方网站", false, "official"},
        {"商品管理", false, "Form19"},
        {"充值管理", true, "Form19"},
        {"酒店预订", true, "Form21"},
        {"预订查询", true, "Form22"},
        {"m实体加盟", false, "Form34"},
        {"m私人贷款", false, "Form32"},
        {"m平板电脑厂家批发1元1000元专区", false, "wholesale"},
        {"mDVD高清光盘厂家批发35元6元专区", false, "wholesale"},
        {"m男女包包厂家批发15元120元专区", false, "wholesale"},
        {"M手机号码", false, "wholesale"},
        {"m品牌手机200元7600元专区", false, "wholesale"},
        {"m男女童装5元", false, "wholesale"},
        {"m女装15元", false, "wholesale"},
        {"m水电缴费", false, "wholesale"},
        // The toolbar.
        {"iButton1", true, "handler:监控拍拍"},
        {"iButton2", true, "handler:监控淘宝"},
        {"iButton3", true, "Form23"},
        {"iButton4", true, "Form10"},
        {"iButton5", true, "Form6"},
        {"iButton6", true, "Form4"},
        {"iButton8", true, "Form12"},
        {"iButton9", true, "Form35"},
        {"iButton10", false, "wholesale"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.name) << r.gated
                              << QString::fromUtf8(r.effect);
}

// Each command before and after the unlock: a gated one does nothing, silently,
// until the trade password has been accepted; then it does what it is for.
void TestMainWindow::commands()
{
    QFETCH(QString, name);
    QFETCH(bool, gated);
    QFETCH(QString, effect);

    QString handled = name;
    if (effect.startsWith(QStringLiteral("handler:"))) {
        handled = effect.mid(8);
        effect = QStringLiteral("handler");
    }
    const bool isWindow = effect.startsWith(QStringLiteral("Form"));

    const auto observed = [&](Form2 *window) -> bool {
        if (isWindow) {
            QWidget *opened = window->openedWindow(effect);
            return opened && opened->isVisible();
        }
        if (effect == QStringLiteral("handler"))
            return m_handled.contains(handled);
        if (effect == QStringLiteral("wholesale")) {
            return (**m_prompter).messages.size() == 1 &&
                   (**m_prompter).messages[0].title == QStringLiteral("榴帆综合缴费系统") &&
                   (**m_prompter).messages[0].text == kWholesaleMessage;
        }
        if (effect == QStringLiteral("calculator")) {
            return (**m_launcher).starts.size() == 1 &&
                   (**m_launcher).starts[0].program == QStringLiteral("galculator");
        }
        const QString url = effect == QStringLiteral("official")
                                ? QStringLiteral("http://maker.example/")
                                : QStringLiteral("http://maker.example/download/");
        return (**m_launcher).urls == QStringList{url};
    };
    const auto nothingHappened = [&](Form2 *window) -> bool {
        return !window->openedWindow(effect) && m_handled.isEmpty() &&
               (**m_prompter).messages.isEmpty() && (**m_launcher).urls.isEmpty() &&
               (**m_launcher).starts.isEmpty();
    };
    const auto reset = [&](Form2 *window) {
        if (isWindow)
            delete window->openedWindow(effect);
        m_handled.clear();
        (**m_prompter).messages.clear();
        (**m_launcher).urls.clear();
        (**m_launcher).starts.clear();
    };

    for (const bool unlocked : {false, true}) {
        Form2 *window = sharedWindow(unlocked);
        QVERIFY2(window, "the unlock failed");
        if (effect == QStringLiteral("handler")) {
            window->setCommandHandler(handled, [this, handled] { m_handled.append(handled); });
        }
        trigger(window, name);
        if (gated && !unlocked) {
            QVERIFY2(nothingHappened(window), "acted before the unlock");
        } else {
            QVERIFY2(observed(window), unlocked ? "nothing after the unlock" : "nothing");
            if (isWindow) {
                // A second choice brings the open window forward, no second one.
                QWidget *first = window->openedWindow(effect);
                trigger(window, name);
                QCOMPARE(window->openedWindow(effect), first);
                int count = 0;
                for (QWidget *w : QApplication::topLevelWidgets())
                    count += w->objectName() == effect ? 1 : 0;
                QCOMPARE(count, 1);
                QVERIFY(first->windowTitle().startsWith(QStringLiteral("榴帆综合缴费系统")));
            }
        }
        reset(window);
    }
}

void TestMainWindow::unlock_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("sent"); // as it appears in the address
    QTest::addColumn<bool>("accepted");

    QTest::newRow("right") << kTradePassword << kTradePassword << true;
    QTest::newRow("wrong") << QStringLiteral("123456") << QStringLiteral("123456") << false;
    // A typed "&" or blank must not add a parameter of its own.
    QTest::newRow("with & and blank")
        << QStringLiteral("88&88 8") << QStringLiteral("88%2688%208") << false;
}

void TestMainWindow::unlock()
{
    QFETCH(QString, password);
    QFETCH(QString, sent);
    QFETCH(bool, accepted);

    Form2 *window = openMainWindow();
    auto *text1 = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *frame4 = window->findChild<QGroupBox *>(QStringLiteral("Frame4"));
    text1->setText(password);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/jymm.asp")).size(), 1,
                              20000);
    const QString target = m_env.requestsTo(QStringLiteral("/platform/jymm.asp"))[0].target;
    static const QRegularExpression address(QStringLiteral(
        "^/platform/jymm\\.asp\\?sj=[0-9.]+&hardware=([^&]*)&sessionkey=([^&]*)&jymm=(.*)$"));
    const auto match = address.match(target);
    QVERIFY2(match.hasMatch(), qPrintable(target));
    QCOMPARE(match.captured(1), kMachineId);
    QCOMPARE(match.captured(2), SessionInfo().sessionKey);
    QCOMPARE(match.captured(3), sent);

    if (accepted) {
        QTRY_VERIFY_WITH_TIMEOUT(frame4->isHidden(), 20000);
        QVERIFY(window->unlocked());
        QVERIFY((**m_prompter).messages.isEmpty());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT((**m_prompter).messages.size(), 1, 20000);
        QCOMPARE((**m_prompter).messages[0].title, QStringLiteral("榴帆综合缴费系统提醒您"));
        QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("错误"));
        QVERIFY(!frame4->isHidden());
        QVERIFY(!window->unlocked());
    }
}

void TestMainWindow::unreachableUnlock()
{
    Form2 *window = openMainWindow();
    m_env.sim().setFault(QStringLiteral("/platform/jymm.asp"), {sim::FaultKind::Drop});
    window->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(kTradePassword);
    window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QTRY_COMPARE_WITH_TIMEOUT((**m_prompter).messages.size(), 1, 20000);
    QVERIFY((**m_prompter).messages[0].text.contains(QStringLiteral("无法连接平台服务器")));
    QVERIFY(!window->unlocked());
}

void TestMainWindow::tradePasswordBoxEmptiesOnClick()
{
    Form2 *window = openMainWindow();
    auto *text1 = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    text1->setText(QStringLiteral("12"));
    QTest::mouseClick(text1, Qt::LeftButton);
    QCOMPARE(text1->text(), QString());
}

void TestMainWindow::figuresRefresh()
{
    m_env.sim().withState([](sim::State &state) {
        sim::Account *a = state.findAccount(kAccount);
        a->balance = QStringLiteral("987.50");
        a->frozenFunds = QStringLiteral("12.00");
        a->salesCommission = QStringLiteral("31.00");
        a->bonusCommission = QStringLiteral("13.25");
    });
    Form2 *window = openMainWindow();
    window->setCommissions(QStringLiteral("30.00"), QStringLiteral("12.50"));
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/notice.asp")).size(), 1,
                              20000);
    // The notice itself carries no figures.
    QTest::qWait(200);
    QCOMPARE(labelText(window, "jprice"), QStringLiteral("1000.00 元"));

    clickWidget(window->findChild<QLabel *>(QStringLiteral("Label7")));
    QTRY_COMPARE_WITH_TIMEOUT(labelText(window, "jprice"), QStringLiteral("987.50 元"), 20000);
    QCOMPARE(labelText(window, "Label11"), QStringLiteral("冻结金额： 12.00 元"));
    QCOMPARE(labelText(window, "Label33"), QStringLiteral("销售佣金： 31.00 元"));
    QCOMPARE(labelText(window, "Label32"), QStringLiteral("提成佣金： 13.25 元"));
    const auto requests = m_env.requestsTo(QStringLiteral("/platform/notice.asp"));
    QCOMPARE(requests.size(), 2);
    static const QRegularExpression address(QStringLiteral(
        "^/platform/notice\\.asp\\?sj=[0-9.]+&hardware=([^&]*)&sessionkey=([^&]*)$"));
    const auto match = address.match(requests[1].target);
    QVERIFY2(match.hasMatch(), qPrintable(requests[1].target));
    QCOMPARE(match.captured(1), kMachineId);
    QCOMPARE(match.captured(2), SessionInfo().sessionKey);

    // The timer refreshes the same way, also while the window is hidden.
    m_env.sim().withState(
        [](sim::State &state) { state.findAccount(kAccount)->balance = QStringLiteral("900.00"); });
    window->hide();
    auto *timer = window->findChild<QTimer *>(QStringLiteral("Timer"));
    timer->start(100);
    QTRY_COMPARE_WITH_TIMEOUT(labelText(window, "jprice"), QStringLiteral("900.00 元"), 20000);
    timer->stop();
}

void TestMainWindow::failedRefreshKeepsFigures()
{
    Form2 *window = openMainWindow();
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/notice.asp")).size(), 1,
                              20000);
    m_env.sim().setFault(QStringLiteral("/platform/notice.asp"), {sim::FaultKind::Drop});
    auto *notice = window->findChild<Browser *>(QStringLiteral("notice"));
    QSignalSpy loaded(notice, &Browser::documentComplete);
    window->refreshAccountFigures();
    QVERIFY(loaded.wait(20000));
    QCOMPARE(labelText(window, "jprice"), QStringLiteral("1000.00 元"));
    QCOMPARE(labelText(window, "Label11"), QStringLiteral("冻结资金： 0.00 元"));
}

void TestMainWindow::shortTitles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("labels"); // jprice, Label11, Label33, Label32

    const QStringList atLoad = {QStringLiteral("1000.00 元"), QStringLiteral("冻结资金： 0.00 元"),
                                QStringLiteral("销售佣金： 30.00 元"),
                                QStringLiteral("提成佣金： 12.50 元")};
    QTest::newRow("five parts") << QStringLiteral("5|6|7|8|9")
                                << QStringList{QStringLiteral("5 元"),
                                               QStringLiteral("冻结金额： 6 元"),
                                               QStringLiteral("销售佣金： 8 元"),
                                               QStringLiteral("提成佣金： 9 元")};
    QTest::newRow("four parts: the bonus stays")
        << QStringLiteral("5|6|7|8")
        << QStringList{QStringLiteral("5 元"), QStringLiteral("冻结金额： 6 元"),
                       QStringLiteral("销售佣金： 8 元"), atLoad[3]};
    QTest::newRow("three parts: both commissions stay")
        << QStringLiteral("5|6|7")
        << QStringList{QStringLiteral("5 元"), QStringLiteral("冻结金额： 6 元"), atLoad[2],
                       atLoad[3]};
    QTest::newRow("one part") << QStringLiteral("5")
                              << QStringList{QStringLiteral("5 元"), atLoad[1], atLoad[2],
                                             atLoad[3]};
    QTest::newRow("empty title") << QString() << atLoad;
}

void TestMainWindow::shortTitles()
{
    QFETCH(QString, title);
    QFETCH(QStringList, labels);
    m_env.sim().addPage(QStringLiteral("/platform/notice.asp"),
                        [title](const sim::Request &, sim::State &) {
                            return sim::Page::html(title, QStringLiteral("<p>公告</p>"));
                        });
    Form2 *window = openMainWindow();
    window->setCommissions(QStringLiteral("30.00"), QStringLiteral("12.50"));
    auto *notice = window->findChild<Browser *>(QStringLiteral("notice"));
    QSignalSpy loaded(notice, &Browser::documentComplete);
    QVERIFY(loaded.wait(20000)); // the notice of the load
    window->refreshAccountFigures();
    QVERIFY(loaded.wait(20000));
    QCOMPARE(labelText(window, "jprice"), labels[0]);
    QCOMPARE(labelText(window, "Label11"), labels[1]);
    QCOMPARE(labelText(window, "Label33"), labels[2]);
    QCOMPARE(labelText(window, "Label32"), labels[3]);
}

void TestMainWindow::rightClickShowsTrayMenu()
{
    Form2 *window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QMenu *menu = window->commandMenu(QStringLiteral("menu"));
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("托盘"));
    auto *background = window->findChild<QWidget *>(QStringLiteral("accountPanel"));
    const QPoint at = background->rect().bottomRight() - QPoint(4, 4);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, background->mapToGlobal(at));
    QApplication::sendEvent(background, &event);
    QTRY_VERIFY(menu->isVisible());
    QStringList entries;
    for (QAction *a : menu->actions())
        entries << a->objectName();
    QCOMPARE(entries, (QStringList{QStringLiteral("官方网站"), QStringLiteral("退出")}));
    menu->hide();
}

void TestMainWindow::closeQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes: to the tray") << true;
    QTest::newRow("no: every window closes") << false;
}

void TestMainWindow::closeQuestion()
{
    QFETCH(bool, yes);
    dropSharedWindows(); // the client has one main window; "No" closes all others
    QPointer<Form2> window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(unlockWindow(window));
    window->runCommand(QStringLiteral("M佣金管理"));
    QPointer<QWidget> page = window->openedWindow(QStringLiteral("Form49"));
    QVERIFY(page);
    QPointer<QWidget> other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();

    (**m_prompter).answers = {yes};
    window->close();
    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].kind, QStringLiteral("ask"));
    QCOMPARE((**m_prompter).messages[0].title, QStringLiteral("榴帆综合缴费系统"));
    QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("是否最小化到托盘"));
    if (yes) {
        QVERIFY(window);
        QVERIFY(!window->exiting());
        // Offscreen there is no tray host: the window goes to the task bar.
        QTRY_VERIFY(window->isMinimized() || window->isHidden());
        QVERIFY(page && page->isVisible());
        QVERIFY(other && other->isVisible());
        delete other.data();
    } else {
        QTRY_VERIFY(window.isNull());
        QTRY_VERIFY(page.isNull());
        QTRY_VERIFY(other.isNull());
    }
}

void TestMainWindow::exitCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("退出系统") << QStringLiteral("退出系统");
    QTest::newRow("退出") << QStringLiteral("退出");
}

void TestMainWindow::exitCommands()
{
    QFETCH(QString, command);
    dropSharedWindows();
    QPointer<Form2> window = openMainWindow();
    window->runCommand(QStringLiteral("视频教程"));
    QPointer<QWidget> page = window->openedWindow(QStringLiteral("Form17"));
    QVERIFY(page);
    window->commandAction(command)->trigger();
    QTRY_VERIFY(window.isNull());
    QTRY_VERIFY(page.isNull());
    QVERIFY((**m_prompter).messages.isEmpty()); // no tray question on exit
}

void TestMainWindow::closeWaitsForAnswers_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<int>("storedStatus");
    QTest::newRow("the answer comes in time") << 1000 << 30000 << 0;
    QTest::newRow("the wait runs out: unknown") << 4000 << 300 << -1;
}

void TestMainWindow::closeWaitsForAnswers()
{
    QFETCH(int, delayMs);
    QFETCH(int, waitMs);
    QFETCH(int, storedStatus);
    dropSharedWindows();
    QPointer<Form2> window = openMainWindow();
    window->setExitWaitMs(waitMs);
    auto *plist = window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"));
    QTRY_COMPARE_WITH_TIMEOUT(plist->rowCount(), 12, 20000);
    const QString orderNo = QStringLiteral("EXIT-%1").arg(QDateTime::currentMSecsSinceEpoch());
    // As the counter enters it.
    QVERIFY(
        window->orderIntake()->插入新订单(NewOrder{.type = 0,
                                                   .shipNo = orderNo,
                                                   .orderNo = orderNo,
                                                   .buyerNick = QStringLiteral("手工订单"),
                                                   .rechargeAccount = QStringLiteral("13800138000"),
                                                   .operationLabel = QStringLiteral("手工操作"),
                                                   .quantityText = QStringLiteral("50"),
                                                   .productName = QStringLiteral("移动话费充值")}));
    m_env.sim().setFault(QStringLiteral("/platform/productcz1.asp"),
                         {sim::FaultKind::Delay, delayMs});
    window->submission()->充值订单请求(0);
    QCOMPARE(window->submission()->outstanding(), 1);

    // The question says what is still out; No closes the other windows, and
    // the main window stays until the answer is in or the wait is over.
    (**m_prompter).answers = {false};
    window->close();
    QCOMPARE((**m_prompter).texts(),
             QStringList{QStringLiteral(
                 "是否最小化到托盘\n还有 1 个订单在等待平台的应答，退出时会先等它们应答。")});
    QVERIFY(window);
    QVERIFY(window->waitingForAnswers());
    QVERIFY(window->statusBar()->currentMessage().contains(QStringLiteral("1 个订单")));
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);

    OrderStore reader(currentConfig().databasePath, SessionInfo().userId);
    const auto today = reader.读取订单();
    QVERIFY(today);
    std::optional<OrderStatus> status;
    for (const RechargeOrder &o : *today) {
        if (o.orderNo == orderNo)
            status = o.status;
    }
    QVERIFY(status);
    QCOMPARE(statusNumber(*status), storedStatus);
    int questions = 0;
    for (const auto &m : (**m_prompter).messages)
        questions += m.kind == QLatin1String("ask") ? 1 : 0;
    QCOMPARE(questions, 1); // nothing asked again
}

void TestMainWindow::refreshIntervalCommand_data()
{
    QTest::addColumn<QString>("answer"); // "<cancel>": the input box cancelled
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("intervalMs");
    const QString warning = QStringLiteral("你好 不能设置比60秒多的哦 也不要设置太短 注意点哦");
    QTest::newRow("30") << "30"
                        << "设置完成" << 30000;
    QTest::newRow("60") << "60"
                        << "设置完成" << 60000;
    QTest::newRow("29") << "29" << warning << 30000;
    QTest::newRow("61") << "61" << warning << 30000;
    QTest::newRow("empty") << ""
                           << "" << 30000;
    QTest::newRow("abc") << "abc"
                         << "" << 30000;
    QTest::newRow("cancelled") << "<cancel>"
                               << "" << 30000;
}

void TestMainWindow::refreshIntervalCommand()
{
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(int, intervalMs);
    Form2 *window = sharedWindow(false);
    QTimer *timer = window->session()->monitor().taobaoTimer();
    timer->setInterval(30000);
    (**m_prompter).inputAnswers = {
        answer == QLatin1String("<cancel>") ? std::nullopt : std::optional<QString>(answer)};
    window->runCommand(QStringLiteral("淘宝刷新"));
    const auto &messages = (**m_prompter).messages;
    QCOMPARE(messages.value(0).kind, QStringLiteral("input"));
    QCOMPARE(messages.value(0).title, QStringLiteral("淘宝页面宝贝刷新时间（秒） 不可以比60大"));
    QCOMPARE(messages.value(0).text, QStringLiteral("淘宝页面刷新时间设定"));
    QCOMPARE(messages.size(), message.isEmpty() ? 1 : 2);
    if (!message.isEmpty()) {
        QCOMPARE(messages[1].text, message);
        QCOMPARE(messages[1].title, QStringLiteral("榴帆综合缴费系统提醒你"));
    }
    QCOMPARE(timer->interval(), intervalMs);
    QVERIFY(!timer->isActive()); // the monitor is off: it stays off
}

// The seller's night: start the Taobao monitor, log in to the shop inside
// Webtb, and paid orders become recharges and shipped orders by themselves,
// each once; a shop login that runs out is told, and a new one carries on.
void TestMainWindow::taobaoShopEndToEnd()
{
    m_env.sim().clearShops();
    const auto order = [](const QString &id, const QString &title, const QString &account) {
        return sim::TaobaoOrder{id,
                                QStringLiteral("NO") + id,
                                title,
                                QStringLiteral("30"),
                                QStringLiteral("买家") + id,
                                account,
                                QString(),
                                sim::TaobaoAccountForm::UserName};
    };
    m_env.sim().addTaobaoOrder(order(
        QStringLiteral("E1"), QStringLiteral("网易一卡通 1点 自动发卡"), QStringLiteral("wy_a")));
    m_env.sim().addTaobaoOrder(order(QStringLiteral("E2"),
                                     QStringLiteral("魔兽世界点卡 1点 自动发卡"),
                                     QStringLiteral("wow_b")));
    dropSharedWindows();
    // The buyers' chat windows on a recorded desktop (the first two only);
    // the simulator's client.ini has them take the text themselves.
    m_desktop = RecordingDesktop();
    const QString nick = m_env.sim().taobaoNick();
    const auto chatE1 = m_desktop.addTopLevel(QStringLiteral("买家E1 - ") + nick);
    const auto chatE2 = m_desktop.addTopLevel(QStringLiteral("买家E2 - ") + nick);
    QPointer<Form2> window = new Form2(makeAgentSession(&m_desktop));
    window->load();
    window->show();
    window->resize(1100, 700);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(unlockWindow(window));
    QTRY_COMPARE_WITH_TIMEOUT(
        window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"))->rowCount(), 12, 20000);
    AgentSession *session = window->session();
    session->delivery().timer()->setInterval(300); // the test need not wait five seconds a step
    session->messenger().找窗口()->setInterval(100);
    session->messenger().关闭窗口()->setInterval(100);
    QCOMPARE(labelOf(window, "Label18"), QStringLiteral("未开启"));

    // iButton2 brings the shop's page to the front; the seller logs in there.
    QTest::mouseClick(window->findChild<iButton *>(QStringLiteral("iButton2")), Qt::LeftButton, {},
                      QPoint(5, 5));
    Browser *webtb = window->shopView()->webtb();
    QCOMPARE(window->shopView()->front(), webtb->view());
    QVERIFY(submitForm(webtb,
                       {{QStringLiteral("TPL_username"), QStringLiteral("demo_seller")},
                        {QStringLiteral("TPL_password"), QStringLiteral("tb123456")}},
                       QStringLiteral("J_SubmitStatic")));
    QVERIFY(
        waitUntil([&] { return labelOf(window, "Label18") == QStringLiteral("已开启"); }, 30000));
    QCOMPARE(window->shopView()->front(), window->tabs());

    // Harvested, recharged with their card codes, shipped once each.
    QVERIFY(waitUntil(
        [&] {
            return m_env.sim().taobaoConsignCount(QStringLiteral("E1")) == 1 &&
                   m_env.sim().taobaoConsignCount(QStringLiteral("E2")) == 1;
        },
        30000));
    QTest::qWait(1000); // a few more delivery steps: nothing is shipped twice
    // Both codes typed into their buyers' chats, one after the other.
    QVERIFY(waitUntil([&] { return m_desktop.log.filter(QStringLiteral("close")).size() == 2; },
                      30000));
    // In the order the shop accepted the two marks, which went out together.
    QStringList closed = m_desktop.log.filter(QStringLiteral("close"));
    closed.sort();
    QCOMPARE(closed, (QStringList{QStringLiteral("close %1").arg(chatE1),
                                  QStringLiteral("close %1").arg(chatE2)}));
    // Each card code once in the sent cards (earlier tests' orders may stand
    // there too).
    KeyedListView *sent = window->orderLists()->listView2();
    for (const sim::RechargeRecord &r : m_env.sim().recharges()) {
        if (!r.key.startsWith(QStringLiteral("NOE")))
            continue;
        QCOMPARE(m_env.sim().rechargeCount(r.key), 1);
        int rows = 0;
        for (int i = 0; i < sent->rowCount(); ++i)
            rows += sent->text(i, QStringLiteral("t2")) == r.cardCode ? 1 : 0;
        QCOMPARE(rows, 1);
        const int row = sent->findRow(QStringLiteral("t2"), r.cardCode);
        QCOMPARE(sent->text(row, QStringLiteral("t6")), QStringLiteral("已发"));
        QVERIFY(m_desktop.log.contains(QStringLiteral("text %1 %2")
                                           .arg(r.key == QLatin1String("NOE1") ? chatE1 : chatE2)
                                           .arg(r.cardCode)));
    }
    QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("E1")), 1);
    QCOMPARE(m_env.sim().taobaoConsignCount(QStringLiteral("E2")), 1);
    KeyedListView *list = window->orderLists()->listView7();
    QVERIFY(waitUntil(
        [&] {
            return list->text(list->findRow(QStringLiteral("t12"), QStringLiteral("NOE1")),
                              QStringLiteral("t7")) == QStringLiteral("充值成功,已经发货");
        },
        20000));
    QVERIFY(saveWindowPicture(window, QStringLiteral("shop-monitor.png")));

    // The shop's session runs out: told, and the timer keeps running. The
    // status bar may show a later message before this line reads it.
    QSignalSpy expired(&session->monitor(), &ShopMonitor::loginExpired);
    m_env.sim().expireTaobaoSession();
    QVERIFY(session->taobao().fetch());
    QVERIFY(waitUntil([&] { return labelOf(window, "Label18") == QStringLiteral("登录已失效"); },
                      30000));
    QVERIFY(session->monitor().taobaoTimer()->isActive());
    QVERIFY(!expired.isEmpty());
    QVERIFY(expired.last().at(0).toString().contains(QStringLiteral("重新登录")));

    // A new login, and the next paid order goes the same way.
    m_env.sim().addTaobaoOrder(order(
        QStringLiteral("E3"), QStringLiteral("网易一卡通 1点 自动发卡"), QStringLiteral("wy_c")));
    QTest::mouseClick(window->findChild<iButton *>(QStringLiteral("iButton2")), Qt::LeftButton, {},
                      QPoint(5, 5));
    QVERIFY(submitForm(webtb,
                       {{QStringLiteral("TPL_username"), QStringLiteral("demo_seller")},
                        {QStringLiteral("TPL_password"), QStringLiteral("tb123456")}},
                       QStringLiteral("J_SubmitStatic")));
    QVERIFY(
        waitUntil([&] { return labelOf(window, "Label18") == QStringLiteral("已开启"); }, 30000));
    QVERIFY(waitUntil([&] { return m_env.sim().taobaoConsignCount(QStringLiteral("E3")) == 1; },
                      30000));
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("NOE3")), 1);
    // No chat window for this buyer: the hand-over gives up and says so.
    QString code3;
    for (const sim::RechargeRecord &r : m_env.sim().recharges()) {
        if (r.key == QLatin1String("NOE3"))
            code3 = r.cardCode;
    }
    QVERIFY(!code3.isEmpty());
    QVERIFY(waitUntil(
        [&] {
            const int row = sent->findRow(QStringLiteral("t2"), code3);
            return row >= 0 && sent->text(row, QStringLiteral("t6")) == kHandOverFailed;
        },
        30000));
    QVERIFY(m_desktop.log.filter(QStringLiteral("keys")).size() == 4);
}

// The same for Paipai, through the site's trade-password page.
void TestMainWindow::paipaiShopEndToEnd()
{
    m_env.sim().clearShops();
    m_env.sim().addPaipaiDeal({QStringLiteral("PD-1"), QStringLiteral("20005678"),
                               QStringLiteral("魔兽世界点卡 1点 自动发卡"), QStringLiteral("30"),
                               QStringLiteral("wow_gamer")});
    // No catalogue product in its title.
    m_env.sim().addPaipaiDeal({QStringLiteral("PD-2"), QStringLiteral("20005679"),
                               QStringLiteral("暴雪战网点数 50元"), QStringLiteral("1"),
                               QStringLiteral("bn_gamer")});
    dropSharedWindows();
    QPointer<Form2> window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(unlockWindow(window));
    QTRY_COMPARE_WITH_TIMEOUT(
        window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"))->rowCount(), 12, 20000);
    window->session()->delivery().timer()->setInterval(300);

    QTest::mouseClick(window->findChild<iButton *>(QStringLiteral("iButton1")), Qt::LeftButton, {},
                      QPoint(5, 5));
    Browser *webpp = window->shopView()->webpp();
    QCOMPARE(window->shopView()->front(), webpp->view());
    QVERIFY(submitForm(webpp,
                       {{QStringLiteral("uin"), QStringLiteral("10001")},
                        {QStringLiteral("password"), QStringLiteral("pp123456")}},
                       QStringLiteral("loginSubmit")));
    // The seller's page asks for the deals, and the site for the trade password.
    QVERIFY(submitForm(webpp, {{QStringLiteral("tradePassword"), QStringLiteral("123456")}},
                       QStringLiteral("tradeSubmit")));
    QVERIFY(
        waitUntil([&] { return labelOf(window, "Label19") == QStringLiteral("已开启"); }, 30000));
    QCOMPARE(window->shopView()->front(), window->tabs());
    QVERIFY(
        waitUntil([&] { return m_env.sim().paipaiMarkCount(QStringLiteral("PD-1")) == 1; }, 30000));
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("PD-1")), 1);
    // The deal no product matches waits on a tab of its own, and at the
    // desk; 清除不能发货商品 empties the list.
    auto *list2 = window->findChild<QListView *>(QStringLiteral("List2"));
    QVERIFY(list2);
    QCOMPARE(window->tabs()->tabText(window->tabs()->indexOf(list2->parentWidget())),
             QStringLiteral("不能发货商品"));
    // (An earlier test's order of an unknown product may wait there too.)
    QStringList lines;
    for (int row = 0; row < list2->model()->rowCount(); ++row)
        lines << list2->model()->index(row, 0).data().toString();
    QCOMPARE(lines.filter(QStringLiteral("PD-2")).size(), 1);
    QVERIFY(lines.filter(QStringLiteral("PD-1")).isEmpty());
    trigger(window, QStringLiteral("清除不能发货商品"));
    QCOMPARE(list2->model()->rowCount(), 0);
    UnresolvedOrders &desk = window->desk()->unresolved();
    QVERIFY(desk.refresh());
    QVERIFY(desk.rowOf(QStringLiteral("PD-2")) >= 0);
    QCOMPARE(m_env.sim().rechargeRequestsFor(QStringLiteral("PD-2")), 0);
    const QString code = m_env.sim().recharges().constLast().cardCode;
    QCOMPARE(m_env.sim().paipaiMarkedCardCode(QStringLiteral("PD-1")), code);
    // The site counts the mark before its answer reaches the client.
    KeyedListView *list = window->orderLists()->listView8();
    QVERIFY(waitUntil(
        [&] {
            return list->text(list->findRow(QStringLiteral("t12"), QStringLiteral("PD-1")),
                              QStringLiteral("t7")) == QStringLiteral("充值成功,已经发货");
        },
        30000));
}

void TestMainWindow::pictureReadsTheNumber()
{
    QList<int> played;
    auto previous = DigitSpeaker::install(std::make_unique<RecordingSpeaker>(&played));
    Form2 *window = openMainWindow();
    auto *haoma = window->findChild<QLineEdit *>(QStringLiteral("haoma"));
    haoma->setText(QStringLiteral("13a9"));
    clickWidget(window->findChild<QLabel *>(QStringLiteral("Picture1")));
    auto *timer = window->findChild<QTimer *>(QStringLiteral("声音播放时间"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 600);
    QCOMPARE(played, QList<int>{102}); // the first digit at once
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(played, (QList<int>{102, 104, 110})); // the letter skipped
    DigitSpeaker::install(std::move(previous));
}

// btn余额查询 opens the balance window, which queries by itself; Label14
// asks the configured quick-query server for numbers of 渭南 and 陕西.
void TestMainWindow::balanceQueriesFromThePanel()
{
    Form2 *window = openMainWindow();
    QVERIFY2(unlockWindow(window), "the unlock failed");
    m_env.sim().balanceServer().clearMessages();
    // The panel's first business resets the region when it arrives: the
    // number is typed after that.
    auto *ywxz = window->findChild<QComboBox *>(QStringLiteral("ywxz"));
    QVERIFY(waitUntil(
        [&] { return ywxz->count() > 0 && !window->manualPanel()->sgcz()->isLoading(); }, 20000));
    auto *haoma = window->findChild<QLineEdit *>(QStringLiteral("haoma"));
    auto *button = window->findChild<QPushButton *>(QStringLiteral("btn余额查询"));
    haoma->clear();
    haoma->setText(QStringLiteral("13800138000"));
    QVERIFY(waitUntil([button] { return button->isEnabled(); }, 20000));
    button->click();
    QPointer<QWidget> form = window->openedWindow(QStringLiteral("Form25"));
    QVERIFY(qobject_cast<Form25 *>(form));
    QCOMPARE(form->findChild<QLineEdit *>(QStringLiteral("phone"))->text(), haoma->text());
    auto *name = form->findChild<QLabel *>(QStringLiteral("姓名"));
    QVERIFY(waitUntil([name] { return name->text() == QStringLiteral("张三"); }, 20000));
    QCOMPARE(form->findChild<QLabel *>(QStringLiteral("余额"))->text(),
             QStringLiteral("余额： 56.30"));
    QVERIFY(m_env.sim().balanceServer().messages().value(0).startsWith(
        QStringLiteral("ad.asp?hm=13800138000&s=广东&y=移动&d=&dj=")));
    delete form.data();

    auto *label13 = window->findChild<QLabel *>(QStringLiteral("Label13"));
    auto *label14 = window->findChild<QLabel *>(QStringLiteral("Label14"));
    haoma->setText(QStringLiteral("13991301234"));
    QVERIFY(waitUntil([label13] { return label13->text() == QStringLiteral("陕西-渭南"); }, 20000));
    m_env.sim().balanceServer().clearMessages();
    clickWidget(label14);
    QCOMPARE(label14->text(), QStringLiteral("正在查询：13991301234"));
    QVERIFY(waitUntil(
        [label14] {
            return label14->text() == QStringLiteral("客户姓名： 李四   客户话费： 12.80");
        },
        20000));
    QCOMPARE(m_env.sim().balanceServer().messages().value(0), QStringLiteral("13991301234"));

    // A number of another region is not asked about.
    haoma->setText(QStringLiteral("13800138000"));
    QVERIFY(waitUntil([label13] { return label13->text() == QStringLiteral("广东-深圳"); }, 20000));
    m_env.sim().balanceServer().clearMessages();
    clickWidget(label14);
    QCOMPARE(label14->text(), QString());
    QVERIFY(m_env.sim().balanceServer().messages().isEmpty());
}

void TestMainWindow::catalogueAndTitleGenerator()
{
    Form2 *window = openMainWindow();
    auto *plist = window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"));
    QVERIFY(plist);
    QTRY_COMPARE_WITH_TIMEOUT(plist->rowCount(), 12, 20000);
    const auto requests = m_env.requestsTo(QStringLiteral("/platform/newproduct.asp"));
    QCOMPARE(requests.size(), 1);
    static const QRegularExpression address(
        QStringLiteral("^/platform/newproduct\\.asp\\?api=507318642&sj=[0-9.]+&sessionkey=(.*)$"));
    const auto match = address.match(requests[0].target);
    QVERIFY2(match.hasMatch(), qPrintable(requests[0].target));
    QCOMPARE(match.captured(1), SessionInfo().sessionKey);
    QCOMPARE(requests[0].method, QStringLiteral("GET"));

    // The product sent last stands on top, with the highest key.
    QCOMPARE(plist->data(0, QStringLiteral("list"), kCatalogueKeyRole).toString(),
             QStringLiteral("wawa11"));
    QCOMPARE(plist->text(0, QStringLiteral("list")), QStringLiteral("话费"));
    QCOMPARE(plist->text(0, QStringLiteral("name")), QStringLiteral("电信话费快充"));
    QCOMPARE(plist->text(0, QStringLiteral("price")), QStringLiteral("0.98"));
    QCOMPARE(plist->text(0, QStringLiteral("qu")), QStringLiteral("号"));
    QCOMPARE(plist->data(11, QStringLiteral("list"), kCatalogueKeyRole).toString(),
             QStringLiteral("wawa0"));
    QCOMPARE(plist->text(11, QStringLiteral("name")), QStringLiteral("移动话费充值"));

    auto *combo1 = window->findChild<QComboBox *>(QStringLiteral("Combo1"));
    auto *combo2 = window->findChild<QComboBox *>(QStringLiteral("Combo2"));
    auto *combo3 = window->findChild<QComboBox *>(QStringLiteral("Combo3"));
    auto *text4 = window->findChild<QLineEdit *>(QStringLiteral("Text4"));
    auto *text5 = window->findChild<QLineEdit *>(QStringLiteral("Text5"));
    QVERIFY(combo1 && combo2 && combo3 && text4 && text5);
    QStringList categories;
    for (int i = 0; i < combo1->count(); ++i)
        categories << combo1->itemText(i);
    // 话费 comes back apart, so it is listed twice.
    QCOMPARE(categories,
             (QStringList{QStringLiteral("话费"), QStringLiteral("固话"), QStringLiteral("Q币"),
                          QStringLiteral("游戏"), QStringLiteral("话费")}));
    QCOMPARE(combo2->currentText(), QStringLiteral("电信话费快充"));
    QCOMPARE(combo2->count(), 6);
    QStringList amounts;
    for (int i = 0; i < combo3->count(); ++i)
        amounts << combo3->itemText(i);
    QCOMPARE(amounts,
             (QStringList{QStringLiteral("29.4"), QStringLiteral("49"), QStringLiteral("98")}));
    QCOMPARE(text5->text(), QStringLiteral("电脑充值话费电信话费快充29.4元  秒冲到账"));

    // Another category, another product, a free text.
    combo1->setCurrentIndex(2);
    QCOMPARE(combo2->currentText(), QStringLiteral("QQ会员"));
    combo3->setCurrentIndex(1);
    text4->setText(QStringLiteral("自动发货"));
    QCOMPARE(text5->text(), QStringLiteral("电脑充值Q币QQ会员3个  秒冲到账自动发货"));
    QTest::mouseDClick(text5, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), text5->text());
}

void TestMainWindow::shopOrderIsListedStoredAndReadBack()
{
    QPointer<Form2> window = openMainWindow();
    auto *plist = window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"));
    QTRY_COMPARE_WITH_TIMEOUT(plist->rowCount(), 12, 20000);
    const QString orderNo = QStringLiteral("TB-%1").arg(QDateTime::currentMSecsSinceEpoch());

    // A Taobao item "1元" bought 50 times.
    const auto offer = [&orderNo](Form2 *w) {
        return w->orderIntake()->插入新订单(
            NewOrder{.type = 1,
                     .shipNo = QStringLiteral("S") + orderNo,
                     .orderNo = orderNo,
                     .buyerNick = QStringLiteral("买家'甲"),
                     .rechargeAccount = QStringLiteral("13800138000"),
                     .quantityText = QStringLiteral("50"),
                     .productName = QStringLiteral("移动话费充值 1元 自动充值")});
    };
    QVERIFY(offer(window));
    KeyedListView *list = window->orderLists()->listView7();
    const int row = 0;
    QCOMPARE(list->text(row, QStringLiteral("t1")), QStringLiteral("13800138000"));
    QCOMPARE(list->text(row, QStringLiteral("t7")), QStringLiteral("等待提交"));
    QCOMPARE(list->text(row, QStringLiteral("t14")), QStringLiteral("移动话费充值"));
    QCOMPARE(list->text(row, QStringLiteral("t3")), QStringLiteral("50"));
    QCOMPARE(list->text(row, QStringLiteral("t4")), QStringLiteral("1"));
    QCOMPARE(list->text(row, QStringLiteral("t16")), QStringLiteral("50"));
    QCOMPARE(list->text(row, QStringLiteral("t12")), orderNo);

    // The same order again is refused; an item matching nothing is too.
    const int rows = list->rowCount();
    QVERIFY(!offer(window));
    QVERIFY(!window->orderIntake()->插入新订单(
        NewOrder{.type = 1,
                 .shipNo = QStringLiteral("S2"),
                 .orderNo = orderNo + QStringLiteral("-2"),
                 .buyerNick = QStringLiteral("乙"),
                 .rechargeAccount = QStringLiteral("13800138001"),
                 .quantityText = QStringLiteral("1"),
                 .productName = QStringLiteral("不存在的商品")}));
    QCOMPARE(list->rowCount(), rows);

    // In data.mdb, and back in the list after a restart.
    OrderStore reader(currentConfig().databasePath, SessionInfo().userId);
    const auto today = reader.读取订单();
    QVERIFY(today);
    bool stored = false;
    for (const RechargeOrder &o : *today)
        stored = stored || (o.orderNo == orderNo && o.buyerNick == QStringLiteral("买家'甲"));
    QVERIFY(stored);
    delete window.data();
    Form2 *again = openMainWindow();
    KeyedListView *relisted = again->orderLists()->listView7();
    int back = relisted->findRow(QStringLiteral("t12"), orderNo);
    QCOMPARE(back, 0); // the newest of today on top
    // Taken and never sent: the restart sends it, once.
    QTRY_COMPARE_WITH_TIMEOUT(m_env.sim().rechargeCount(orderNo), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(again->submission()->outstanding() == 0, 20000);
    QVERIFY(relisted->text(back, QStringLiteral("t7")) != QStringLiteral("等待提交"));
    delete again;

    // Sent, and the client ended before the answer: after a restart the row
    // says the outcome is unknown, and no scan sends it again.
    QVERIFY(reader.反写数据库状态(orderNo, OrderStatus::Submitting, {}, {}, {}).ok());
    again = openMainWindow();
    relisted = again->orderLists()->listView7();
    back = relisted->findRow(QStringLiteral("t12"), orderNo);
    QVERIFY(back >= 0);
    QCOMPARE(relisted->text(back, QStringLiteral("t7")), kOutcomeUnknownText);
    again->submission()->充值订单请求(1);
    QCOMPARE(m_env.sim().rechargeRequestsFor(orderNo), 1);
    QTRY_COMPARE_WITH_TIMEOUT(
        again->findChild<KeyedListView *>(QStringLiteral("ListViewplist"))->rowCount(), 12, 20000);
    // Recharged meanwhile: the shop lists it again and it is refused. Its code
    // goes to the buyer once it ships, not through a second feedback line.
    QVERIFY(reader
                .反写数据库状态(orderNo, OrderStatus::Recharged, QStringLiteral("CARD-7"),
                                QStringLiteral("R7"), QString())
                .ok());
    auto *queue = again->findChild<QListWidget *>(QStringLiteral("List反馈"));
    QVERIFY(queue && queue->isHidden());
    const int lines = queue->count();
    QVERIFY(!offer(again));
    QCOMPARE(queue->count(), lines);
}

void TestMainWindow::missingCatalogueIsTold()
{
    m_env.sim().setFault(QStringLiteral("/platform/newproduct.asp"), {sim::FaultKind::Drop});
    Form2 *window = openMainWindow();
    QTRY_COMPARE_WITH_TIMEOUT((**m_prompter).messages.size(), 1, 30000);
    QVERIFY((**m_prompter).messages[0].text.startsWith(QStringLiteral("商品列表没有取到")));
    QCOMPARE(window->findChild<KeyedListView *>(QStringLiteral("ListViewplist"))->rowCount(), 0);
}

void TestMainWindow::manualRechargeEndToEnd_data()
{
    QTest::addColumn<QString>("business");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QStringList>("statuses"); // what t7 shows, in turn
    QTest::addColumn<bool>("card");

    // Credit is recharged by the platform later; the poll brings the result.
    QTest::newRow("mobile credit")
        << "话费"
        << "移动话费充值"
        << "50" << QStringList{"等待提交", "正在提交", "等待服务器充值", "充值成功"} << false;
    // A card product is recharged at once: the answer carries its code.
    QTest::newRow("game card") << "游戏"
                               << "网易一卡通"
                               << "30" << QStringList{"等待提交", "正在提交", "充值成功"} << true;
}

// At the counter: unlock, choose, type the number, 立即充值, Yes; the order
// runs to its end in the list, in data.mdb and on the platform, once.
void TestMainWindow::manualRechargeEndToEnd()
{
    QFETCH(QString, business);
    QFETCH(QString, product);
    QFETCH(QString, amount);
    QFETCH(QStringList, statuses);
    QFETCH(bool, card);
    m_env.sim().setRechargeFinish(2, true);

    Form2 *window = logIn();
    QVERIFY(window);
    QVERIFY(unlockWindow(window));
    auto *yw = window->findChild<QComboBox *>(QStringLiteral("yw"));
    auto *ywxz = window->findChild<QComboBox *>(QStringLiteral("ywxz"));
    auto *num = window->findChild<QComboBox *>(QStringLiteral("num"));
    auto *haoma = window->findChild<QLineEdit *>(QStringLiteral("haoma"));
    auto *cz = window->findChild<QPushButton *>(QStringLiteral("cz"));
    QVERIFY(yw && ywxz && num && haoma && cz);
    const auto choose = [](QComboBox *box, const QString &text) {
        if (!waitUntil([&] { return box->findText(text) >= 0; }, 20000))
            return false;
        const int index = box->findText(text);
        box->setCurrentIndex(index);
        emit box->activated(index);
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogue()->catalogue().size() == 12, 20000);
    // The panel first loads the products of its first business by itself.
    QVERIFY(waitUntil(
        [&] { return ywxz->count() > 0 && !window->manualPanel()->sgcz()->isLoading(); }, 20000));
    QVERIFY(choose(yw, business));
    QVERIFY(choose(ywxz, product));
    QVERIFY(choose(num, amount));
    haoma->setFocus();
    QTest::keyClicks(haoma, QStringLiteral("13800138000"));

    KeyedListView *list = window->orderLists()->listView7();
    // What t7 of the new order shows, in turn, as the book changes it.
    OrderBook *book = &window->session()->book();
    QStringList seen;
    const auto look = [&seen, book] {
        const QString text = listedText(*book, 0, QStringLiteral("t7"));
        if (book->rowCount() > 0 && (seen.isEmpty() || seen.last() != text))
            seen.append(text);
    };
    connect(book, &QAbstractItemModel::rowsInserted, this, look);
    connect(book, &QAbstractItemModel::dataChanged, this, look);
    const double before = m_env.sim().account(kAccount)->balance.toDouble();
    (**m_prompter).answers = {true};
    QTest::mouseClick(cz, Qt::LeftButton);
    QCOMPARE((**m_prompter).messages.value(0).text, QStringLiteral("确认充值吗"));
    QTRY_COMPARE_WITH_TIMEOUT(list->text(0, QStringLiteral("t7")), QStringLiteral("充值成功"),
                              30000);
    QCOMPARE(seen, statuses);
    // The question, the platform's answer and, for a card, where its code went.
    QCOMPARE((**m_prompter).messages.size(), card ? 3 : 2);
    QCOMPARE((**m_prompter).messages[1].text, QStringLiteral("充值提交成功！"));

    const int row = 0;
    QCOMPARE(list->text(row, QStringLiteral("t1")), QStringLiteral("13800138000"));
    QCOMPARE(list->text(row, QStringLiteral("t6")), QStringLiteral("手工订单"));
    const QString orderNo = list->text(row, QStringLiteral("t12"));
    QCOMPARE(orderNo.size(), 25);
    QCOMPARE(list->text(row, QStringLiteral("t13")), orderNo);
    const QString code = list->text(row, QStringLiteral("t11"));
    QCOMPARE(!code.isEmpty(), card);
    if (card) {
        QCOMPARE(QApplication::clipboard()->text(), code);
        QVERIFY((**m_prompter).messages[2].text.endsWith(code));
    }

    // Recharged once on the platform, debited there and shown here.
    QCOMPARE(m_env.sim().rechargeCount(orderNo), 1);
    const double after = m_env.sim().account(kAccount)->balance.toDouble();
    QVERIFY(after < before);
    QCOMPARE(labelText(window, "jprice"), m_env.sim().account(kAccount)->balance + " 元");
    QCOMPARE(labelText(window, "Label3"), QStringLiteral("当前交易：  1 笔"));
    QVERIFY(cz->isEnabled());

    OrderStore reader(currentConfig().databasePath, SessionInfo().userId);
    const auto today = reader.读取订单();
    QVERIFY(today);
    const auto stored = std::find_if(today->cbegin(), today->cend(),
                                     [&](const RechargeOrder &o) { return o.orderNo == orderNo; });
    QVERIFY(stored != today->cend());
    QCOMPARE(statusNumber(stored->status), 1);
    QCOMPARE(stored->cardCode, code);
    QCOMPARE(stored->orderType, 0);
    QVERIFY(!stored->rechargeId.isEmpty());

    if (card)
        QVERIFY(saveWindowPicture(window, QStringLiteral("manual-recharge.png")));
}

// A card recharged at the counter, its receipt printed from the order list's
// menu with the card code on it; then a receipt of the next order before it
// is placed, from 售前打印.
void TestMainWindow::receiptsEndToEnd()
{
    m_env.sim().setRechargeFinish(2, true);
    RecordingPrintHost host;
    host.pdfPath = m_cwd->file(QStringLiteral("receipt.pdf"));
    QPointer<Form2> window = new Form2(makeAgentSession(), &host);
    window->load();
    window->show();
    QVERIFY(unlockWindow(window));
    auto *yw = window->findChild<QComboBox *>(QStringLiteral("yw"));
    auto *ywxz = window->findChild<QComboBox *>(QStringLiteral("ywxz"));
    auto *num = window->findChild<QComboBox *>(QStringLiteral("num"));
    auto *haoma = window->findChild<QLineEdit *>(QStringLiteral("haoma"));
    auto *cz = window->findChild<QPushButton *>(QStringLiteral("cz"));
    auto *command2 = window->findChild<QPushButton *>(QStringLiteral("Command2"));
    QVERIFY(yw && ywxz && num && haoma && cz && command2);
    QCOMPARE(command2->text(), QStringLiteral("售前打印"));
    const auto choose = [](QComboBox *box, const QString &text) {
        if (!waitUntil([&] { return box->findText(text) >= 0; }, 20000))
            return false;
        const int index = box->findText(text);
        box->setCurrentIndex(index);
        emit box->activated(index);
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogue()->catalogue().size() == 12, 20000);
    QVERIFY(waitUntil(
        [&] { return ywxz->count() > 0 && !window->manualPanel()->sgcz()->isLoading(); }, 20000));
    QVERIFY(choose(yw, QStringLiteral("游戏")));
    QVERIFY(choose(ywxz, QStringLiteral("网易一卡通")));
    QVERIFY(choose(num, QStringLiteral("30")));
    haoma->setFocus();
    QTest::keyClicks(haoma, QStringLiteral("13800138000"));
    (**m_prompter).answers = {true};
    QTest::mouseClick(cz, Qt::LeftButton);
    KeyedListView *list = window->orderLists()->listView7();
    QTRY_COMPARE_WITH_TIMEOUT(list->text(0, QStringLiteral("t7")), QStringLiteral("充值成功"),
                              30000);
    const QString code = list->text(0, QStringLiteral("t9"));
    QVERIFY(!code.isEmpty());

    // 打印小票 of the order menu, on the order selected in the list shown.
    window->tabs()->setCurrentIndex(0);
    list->selectRow(0);
    window->commandAction(QStringLiteral("打印收据"))->trigger();
    QPointer<Form24> receipt =
        qobject_cast<Form24 *>(window->openedWindow(QStringLiteral("Form24")));
    QVERIFY(receipt && receipt->isVisible());
    QCOMPARE(receipt->windowTitle(), QStringLiteral("榴帆综合缴费系统打印管理"));
    const auto text = [&receipt](const char *name) {
        return receipt->findChild<QLabel *>(QString::fromUtf8(name))->text();
    };
    QCOMPARE(text("充值号码"), QStringLiteral("充值号码：13800138000"));
    QCOMPARE(text("商品名称"), QStringLiteral("商品名称：") + list->text(0, QStringLiteral("t2")));
    QCOMPARE(text("合计"),
             QStringLiteral("合计：") + list->text(0, QStringLiteral("t3")) + QStringLiteral("元"));
    QCOMPARE(text("充值日期"), QStringLiteral("充值日期：") + list->text(0, QStringLiteral("t5")));
    QCOMPARE(text("Label2"), code);
    QCOMPARE(receipt->layout().element(QStringLiteral("Label2")).rect.top(), 2300);
    receipt->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(host.calls, 1);
    QTRY_VERIFY(!receipt);
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {host.pdfPath, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(30000));
    const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QVERIFY2(printed.contains(QStringLiteral("充值号码：13800138000")), qPrintable(printed));
    QVERIFY2(printed.contains(code), qPrintable(printed));

    // Before the next order is placed: no info line, the date of confirming.
    haoma->clear();
    QTest::keyClicks(haoma, QStringLiteral("13900139000"));
    const int rows = list->rowCount();
    command2->click();
    receipt = qobject_cast<Form24 *>(window->openedWindow(QStringLiteral("Form24")));
    QVERIFY(receipt && receipt->isVisible());
    QCOMPARE(text("充值号码"), QStringLiteral("充值号码：13900139000"));
    QCOMPARE(text("商品名称"), QStringLiteral("商品名称：网易一卡通"));
    QCOMPARE(text("合计"), QStringLiteral("合计：30元"));
    QVERIFY(text("充值日期").startsWith(QStringLiteral("确认日期：")));
    QVERIFY(receipt->findChild<QLabel *>(QStringLiteral("Label2"))->isHidden());
    QCOMPARE(receipt->layout().element(QStringLiteral("商品名称")).rect.top(), 1200);
    QCOMPARE(list->rowCount(), rows); // nothing was placed

    // The hidden 打印小票 brings the open receipt forward as it is; opened
    // afresh it shows the template lines.
    window->commandAction(QStringLiteral("打印小票"))->trigger();
    QCOMPARE(text("充值号码"), QStringLiteral("充值号码：13900139000"));
    receipt->close();
    QTRY_VERIFY(!receipt);
    window->commandAction(QStringLiteral("打印小票"))->trigger();
    receipt = qobject_cast<Form24 *>(window->openedWindow(QStringLiteral("Form24")));
    QVERIFY(receipt && receipt->isVisible());
    QCOMPARE(text("商品名称"), QStringLiteral("商品名称："));
    QCOMPARE(text("充值号码"), QStringLiteral("充值号码："));
    QCOMPARE(text("充值日期"), QStringLiteral("充值日期："));
    QCOMPARE(text("合计"), QStringLiteral("合计：100元"));
    receipt->close();
    QTRY_VERIFY(!receipt);

    // No order selected: no receipt. 打印设置 opens the settings window.
    list->clearSelection();
    window->commandAction(QStringLiteral("打印收据"))->trigger();
    QVERIFY(!window->openedWindow(QStringLiteral("Form24")));
    window->commandAction(QStringLiteral("打印设置"))->trigger();
    QWidget *settings = window->openedWindow(QStringLiteral("Form26"));
    QVERIFY(settings && settings->isVisible());
    QCOMPARE(host.calls, 1);
    delete window.data();
}

// The panel loads the products of its first business by itself; a business
// chosen while that page is still loading must still bring its own products.
void TestMainWindow::businessChosenWhileProductsLoad()
{
    QStringList missed;
    for (int delayMs = 0; delayMs <= 35; delayMs += 7) {
        QPointer<Form2> window = openMainWindow();
        auto *yw = window->findChild<QComboBox *>(QStringLiteral("yw"));
        auto *ywxz = window->findChild<QComboBox *>(QStringLiteral("ywxz"));
        QVERIFY(waitUntil([&] { return yw->findText(QStringLiteral("游戏")) >= 0; }, 20000));
        QTest::qWait(delayMs);
        const int index = yw->findText(QStringLiteral("游戏"));
        yw->setCurrentIndex(index);
        emit yw->activated(index);
        if (!waitUntil([&] { return ywxz->findText(QStringLiteral("网易一卡通")) >= 0; }, 10000))
            missed << QString::number(delayMs);
        delete window.data();
    }
    QVERIFY2(missed.isEmpty(),
             qPrintable(QStringLiteral("no products after ") + missed.join(QStringLiteral(", ")) +
                        QStringLiteral(" ms")));
}

void TestMainWindow::mainWindowPicture()
{
    Form2 *window = openMainWindow();
    window->setCommissions(QStringLiteral("30.00"), QStringLiteral("12.50"));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE_WITH_TIMEOUT(m_env.requestsTo(QStringLiteral("/platform/notice.asp")).size(), 1,
                              20000);
    QTest::qWait(500); // let the notice paint
    QVERIFY(saveWindowPicture(window, QStringLiteral("main-window.png")));
}

AGENT_WINDOW_TEST_MAIN(TestMainWindow)

#include "tst_mainwindow.moc"

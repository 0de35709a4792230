// The login end to end: Form1 in a temporary working directory, controls
// found by name and driven with QTest, the simulator in-process over loopback.
#include "app/core/gbk.h"
#include "app/core/machineid.h"
#include "app/core/session.h"
#include "app/ui/form1.h"
#include "app/ui/form2.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"
#include "widgets/ibutton.h"
#include "widgets/keyedlistview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginOpensMainWindow();
    void refusedLogin_data();
    void refusedLogin();
    void emptyFields_data();
    void emptyFields();
    void savedAccounts();
    void passwordWithSpecialCharacters();
    void secondClickWhilePendingIsIgnored();
    void unreachablePlatform();
    void loginUnderFaults_data();
    void loginUnderFaults();
    void skinIsWrittenOnceAndKept();
    void loginWindowPicture();
    void successWithoutMarkersIsAFailure(); // replaces the login page: keep last

private:
    Form1 *openLoginWindow();
    void typeLogin(Form1 *form, const QString &account, const QString &password, bool remember);
    Form2 *mainWindow() const;
    void clickLogin(Form1 *form);

    SimEnvironment m_env;
    std::unique_ptr<WorkingDirectory> m_cwd;
    std::unique_ptr<PrompterGuard> m_prompter;
};

void TestLogin::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestLogin::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    resetSessionInfo();
    m_cwd = std::make_unique<WorkingDirectory>();
    m_prompter = std::make_unique<PrompterGuard>();
}

void TestLogin::cleanup()
{
    // Deleting a window deletes its popups, which are top-level widgets too.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form1 *>(w) || qobject_cast<Form2 *>(w))
            windows.append(w);
    }
    qDeleteAll(windows);
    m_prompter.reset();
    m_cwd.reset();
}

Form1 *TestLogin::openLoginWindow()
{
    auto *form = new Form1;
    form->show();
    return form;
}

// Types text as key presses; QTest::keyClicks knows only ASCII.
static void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

void TestLogin::typeLogin(Form1 *form, const QString &account, const QString &password,
                          bool remember)
{
    auto *zh = form->findChild<QComboBox *>(QStringLiteral("zh"));
    auto *mm = form->findChild<QLineEdit *>(QStringLiteral("mm"));
    auto *check1 = form->findChild<QCheckBox *>(QStringLiteral("Check1"));
    QVERIFY(zh && mm && check1);
    zh->setCurrentText(QString());
    zh->lineEdit()->clear();
    typeText(zh->lineEdit(), account);
    mm->clear();
    typeText(mm, password);
    check1->setChecked(remember);
}

void TestLogin::clickLogin(Form1 *form)
{
    auto *button = form->findChild<iButton *>(QStringLiteral("iButton1"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
}

Form2 *TestLogin::mainWindow() const
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<Form2 *>(w))
            return form;
    }
    return nullptr;
}

static QString label(QWidget *window, const char *name)
{
    auto *l = window->findChild<QLabel *>(QString::fromUtf8(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QString::fromUtf8(name));
}

void TestLogin::loginOpensMainWindow()
{
    QPointer<Form1> form = openLoginWindow();
    QCOMPARE(form->windowTitle(), QStringLiteral("榴帆综合缴费系统登陆"));
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), true);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != nullptr, 30000);

    // The answer is shown before the main window opens.
    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].title, QStringLiteral("榴帆综合缴费系统提示您"));
    QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("登陆成功！"));

    const SessionInfoRecord &s = SessionInfo();
    QCOMPARE(s.sessionKey, m_env.sim().lastSessionKey(QStringLiteral("demo")));
    QVERIFY(!s.sessionKey.isEmpty());
    QCOMPARE(s.userName, QStringLiteral("演示代理商"));
    QCOMPARE(s.balance, QStringLiteral("1000.00"));
    QCOMPARE(s.frozenFunds, QStringLiteral("0.00"));
    QCOMPARE(s.userId, QStringLiteral("10086"));
    QCOMPARE(s.userLevel, QStringLiteral("1"));
    QCOMPARE(s.machineId, computeMachineId());
    QCOMPARE(s.appTitle, QStringLiteral("榴帆综合缴费系统"));

    const auto logins = m_env.requestsTo(QStringLiteral("/platform/index1.asp"));
    QCOMPARE(logins.size(), 1);
    static const QRegularExpression address(
        QStringLiteral("^/platform/index1\\.asp\\?action=dl&zh=demo&mm=demo123&sj=([0-9.]+)"
                       "&hardware=(.*)$"));
    const auto match = address.match(logins[0].target);
    QVERIFY2(match.hasMatch(), qPrintable(logins[0].target));
    const double sj = match.captured(1).toDouble();
    QVERIFY(sj >= 50 && sj <= 1050);
    QCOMPARE(match.captured(2), computeMachineId());
    // The version check went out at load.
    QCOMPARE(m_env.requestsTo(QStringLiteral("/platform/down1.html")).size(), 1);

    QFile saved(m_cwd->file(QStringLiteral("zh.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("demo&demo123\r\n"));
    QCOMPARE(saved.permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());

    Form2 *main = mainWindow();
    QCOMPARE(main->windowTitle(), QStringLiteral("榴帆综合缴费系统"));
    QCOMPARE(label(main, "jusername"), QStringLiteral("用户名称：演示代理商"));
    QCOMPARE(label(main, "userid1"), QStringLiteral("用户编号：  10086"));
    QCOMPARE(label(main, "Label4"), QStringLiteral("用户类型： 1"));
    QCOMPARE(label(main, "jprice"), QStringLiteral("1000.00 元"));
    QCOMPARE(label(main, "Label11"), QStringLiteral("冻结资金： 0.00 元"));
    QCOMPARE(label(main, "Label33"), QStringLiteral("销售佣金： 30.00 元"));
    QCOMPARE(label(main, "Label32"), QStringLiteral("提成佣金： 12.50 元"));

    QTRY_VERIFY(form.isNull()); // the login window is unloaded

    // The catalogue arrives after the login and feeds the title generator.
    auto *plist = main->findChild<KeyedListView *>(QStringLiteral("ListViewplist"));
    QVERIFY(plist);
    QTRY_COMPARE_WITH_TIMEOUT(plist->rowCount(), 12, 20000);
    QCOMPARE(main->findChild<QComboBox *>(QStringLiteral("Combo1"))->count(), 5);
    QVERIFY(main->findChild<QLineEdit *>(QStringLiteral("Text5"))
                ->text()
                .startsWith(QStringLiteral("电脑充值话费")));
}

void TestLogin::refusedLogin_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "demo"
                                    << "nope" << QStringLiteral("密码错误！");
    QTest::newRow("unknown account") << "ghost"
                                     << "demo123" << QStringLiteral("帐号不存在！");
}

void TestLogin::refusedLogin()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QPointer<Form1> form = openLoginWindow();
    typeLogin(form, account, password, true);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).texts(), QStringList{message});
    QVERIFY(!form->loginPending());
    QVERIFY(form && form->isVisible());
    QVERIFY(mainWindow() == nullptr);
    QVERIFY(SessionInfo().sessionKey.isEmpty());
    QVERIFY(!QFile::exists(m_cwd->file(QStringLiteral("zh.txt"))));
}

void TestLogin::emptyFields_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::newRow("no account") << ""
                                << "demo123";
    QTest::newRow("no password") << "demo"
                                 << "";
    QTest::newRow("neither") << ""
                             << "";
}

void TestLogin::emptyFields()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    Form1 *form = openLoginWindow();
    typeLogin(form, account, password, false);
    clickLogin(form);
    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].title, QStringLiteral("榴帆综合缴费系统提示您"));
    QCOMPARE((**m_prompter).messages[0].text, QStringLiteral("帐号密码不能为空"));
    QVERIFY(!form->loginPending());
    QTest::qWait(200);
    QVERIFY(m_env.requestsTo(QStringLiteral("/platform/index1.asp")).isEmpty());
}

void TestLogin::savedAccounts()
{
    QFile file(m_cwd->file(QStringLiteral("zh.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(toGbk(u"demo&old\r\n代理&pw\r\ndemo&new&x\r\n"));
    file.close();

    Form1 *form = openLoginWindow();
    auto *zh = form->findChild<QComboBox *>(QStringLiteral("zh"));
    auto *mm = form->findChild<QLineEdit *>(QStringLiteral("mm"));
    QCOMPARE(zh->count(), 3);
    QCOMPARE(zh->itemText(0), QStringLiteral("demo"));
    QCOMPARE(zh->itemText(1), QStringLiteral("代理"));
    QCOMPARE(zh->itemText(2), QStringLiteral("demo"));
    QCOMPARE(zh->currentText(), QStringLiteral("demo"));
    QCOMPARE(mm->text(), QStringLiteral("old"));

    // Choosing an account fills the password of its last line, "&" and all.
    zh->setCurrentIndex(1);
    emit zh->activated(1);
    QCOMPARE(mm->text(), QStringLiteral("pw"));
    zh->setCurrentIndex(0);
    emit zh->activated(0);
    QCOMPARE(mm->text(), QStringLiteral("new&x"));
}

void TestLogin::passwordWithSpecialCharacters()
{
    sim::Account account = sim::PlatformSim::demoAccount();
    account.account = QStringLiteral("代理&1");
    account.password = QStringLiteral("a&b#c+d 中?=%");
    m_env.sim().addAccount(account);

    Form1 *form = openLoginWindow();
    typeLogin(form, account.account, account.password, true);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != nullptr, 30000);
    QCOMPARE((**m_prompter).texts(), QStringList{QStringLiteral("登陆成功！")});

    const auto logins = m_env.requestsTo(QStringLiteral("/platform/index1.asp"));
    QCOMPARE(logins.size(), 1);
    QVERIFY2(
        logins[0].target.startsWith(QStringLiteral(
            "/platform/"
            "index1.asp?action=dl&zh=%B4%FA%C0%ED%261&mm=a%26b%23c%2Bd%20%D6%D0%3F%3D%25&sj=")),
        qPrintable(logins[0].target));

    // Saved as typed; read back, the password after the first "&" is whole
    // while the account is cut at its first "&".
    QFile saved(m_cwd->file(QStringLiteral("zh.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), toGbk(u"代理&1&a&b#c+d 中?=%\r\n"));
    const SavedAccount back = parseSavedAccount(QStringLiteral("代理&1&a&b#c+d 中?=%"));
    QCOMPARE(back.account, QStringLiteral("代理"));
    QCOMPARE(back.password, QStringLiteral("1&a&b#c+d 中?=%"));
}

void TestLogin::secondClickWhilePendingIsIgnored()
{
    m_env.sim().setFault(QStringLiteral("/platform/index1.asp"), {sim::FaultKind::Delay, 1500});
    Form1 *form = openLoginWindow();
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), false);
    clickLogin(form);
    QVERIFY(form->loginPending());
    clickLogin(form);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != nullptr, 30000);
    QCOMPARE(m_env.requestsTo(QStringLiteral("/platform/index1.asp")).size(), 1);
    QCOMPARE((**m_prompter).texts(), QStringList{QStringLiteral("登陆成功！")});
}

void TestLogin::unreachablePlatform()
{
    m_env.sim().setFault(QStringLiteral("/platform/index1.asp"), {sim::FaultKind::Drop, 0});
    QPointer<Form1> form = openLoginWindow();
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), true);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).texts(),
             QStringList{QStringLiteral("登录失败：无法连接平台服务器，请检查网络后重试")});
    QVERIFY(form && !form->loginPending());
    QVERIFY(mainWindow() == nullptr);
    QVERIFY(SessionInfo().sessionKey.isEmpty());
}

// The login page under each fault the simulator plays (the engine's pages
// are in tst_faultmatrix): "登陆成功！" is shown only with a main window that
// works, a failure opens none, and once the fault is lifted the next click
// logs in.
void TestLogin::loginUnderFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("index1.asp/delay") << int(sim::FaultKind::Delay);
    QTest::newRow("index1.asp/drop") << int(sim::FaultKind::Drop);
    QTest::newRow("index1.asp/500") << int(sim::FaultKind::Error500);
    QTest::newRow("index1.asp/garbage") << int(sim::FaultKind::Garbage);
    QTest::newRow("index1.asp/truncate") << int(sim::FaultKind::Truncate);
    QTest::newRow("index1.asp/rundrop") << int(sim::FaultKind::RunThenDrop);
    QTest::newRow("index1.asp/refused") << -1;
}

void TestLogin::loginUnderFaults()
{
    QFETCH(int, fault);
    const QString path = QStringLiteral("/platform/index1.asp");
    const int port = m_env.sim().port();
    // The later tests need the simulator, whatever becomes of this one.
    const auto restart = qScopeGuard([&] {
        if (!m_env.sim().isRunning())
            m_env.sim().start(port);
    });
    if (fault < 0)
        m_env.sim().stop();
    else
        m_env.sim().setFault(path, {sim::FaultKind(fault), 1500});
    QPointer<Form1> form = openLoginWindow();
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), false);
    clickLogin(form);
    QVERIFY(waitUntil([&] { return !(**m_prompter).messages.isEmpty(); }, 30000));
    QTest::qWait(200);
    const bool succeeded = (**m_prompter).texts().contains(QStringLiteral("登陆成功！"));
    QCOMPARE(mainWindow() != nullptr, succeeded);
    if (succeeded) {
        // Only when the whole answer came through: a session the platform knows.
        QVERIFY(m_env.sim().isValidSession(SessionInfo().sessionKey));
        return;
    }
    QVERIFY(SessionInfo().sessionKey.isEmpty());

    if (fault < 0)
        QCOMPARE(m_env.sim().start(port), port);
    m_env.sim().clearFaults();
    (**m_prompter).messages.clear();
    QVERIFY(form && !form->loginPending());
    clickLogin(form);
    QVERIFY(waitUntil([&] { return mainWindow() != nullptr; }, 30000));
    QCOMPARE((**m_prompter).texts(), QStringList{QStringLiteral("登陆成功！")});
}

void TestLogin::skinIsWrittenOnceAndKept()
{
    const QString skin = m_cwd->file(QStringLiteral("皮肤"));
    delete openLoginWindow();
    QFile written(skin);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QFile resource(QStringLiteral(":/skin/skin.qss"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), resource.readAll());
    written.close();

    // An edited skin stays in use.
    QVERIFY(written.open(QIODevice::WriteOnly | QIODevice::Truncate));
    written.write("QWidget { color: #123456; }");
    written.close();
    delete openLoginWindow();
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QWidget { color: #123456; }"));
}

void TestLogin::loginWindowPicture()
{
    Form1 *form = openLoginWindow();
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), true);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(saveWindowPicture(form, QStringLiteral("login-window.png")));
}

void TestLogin::successWithoutMarkersIsAFailure()
{
    m_env.sim().addPage(QStringLiteral("/platform/index1.asp"),
                        [](const sim::Request &, sim::State &) {
                            sim::Page p;
                            p.title = QStringLiteral("登陆成功！");
                            p.body = QStringLiteral("?sessionkey?=K1?@??username?=x?@?"
                                                    "?usermoney?=1?@??userdjmoney?=0?@?");
                            return p;
                        });
    Form1 *form = openLoginWindow();
    typeLogin(form, QStringLiteral("demo"), QStringLiteral("demo123"), true);
    clickLogin(form);
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).messages.size(), 1);
    QVERIFY2((**m_prompter).messages[0].text.contains(QStringLiteral("?userid?=")),
             qPrintable((**m_prompter).messages[0].text));
    QVERIFY(!(**m_prompter).messages[0].text.contains(QStringLiteral("登陆成功")));
    QVERIFY(mainWindow() == nullptr);
    QVERIFY(SessionInfo().sessionKey.isEmpty());
    QVERIFY(!QFile::exists(m_cwd->file(QStringLiteral("zh.txt"))));
}

AGENT_WINDOW_TEST_MAIN(TestLogin)

#include "tst_login.moc"

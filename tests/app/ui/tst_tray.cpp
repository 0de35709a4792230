// The main window in the notification area, on a real X server with a tray
// host: the close question, the icon's mouse events and the exit.
#include "app/core/session.h"
#include "app/ui/form2.h"
#include "app/ui/sessionfactory.h"
#include "app/ui/tray.h"
#include "app/web/webprofile.h"
#include "shop/agentsession.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QtTest>

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void yesPutsTheWindowInTheTray();
    void rightDoubleClickKeepsTheIcon();
    void rightButtonShowsTheTrayMenu();
    void exitFromTheTrayMenu();
    void noClosesEveryWindow();

private:
    Form2 *openMainWindow();
    // Closes the window with the answer given to the tray question.
    void closeAnswering(Form2 *window, bool yes);

    SimEnvironment m_env;
    std::unique_ptr<PrompterGuard> m_prompter;
};

void TestTray::initTestCase()
{
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no tray host on this display");
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
}

void TestTray::init()
{
    m_prompter = std::make_unique<PrompterGuard>();
    SessionInfoRecord &s = SessionInfo();
    s.appTitle = QStringLiteral("榴帆综合缴费系统");
    s.machineId = QStringLiteral("5A6B7C8D");
    m_env.sim().withState(
        [&s](sim::State &state) { s.sessionKey = state.openSession(QStringLiteral("demo")); });
}

void TestTray::cleanup()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        // Not the tray icon's own window, which the icon deletes itself.
        if (qobject_cast<Form2 *>(w) ||
            (!w->parentWidget() && w->testAttribute(Qt::WA_DeleteOnClose)))
            windows.append(w);
    }
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
    m_prompter.reset();
}

Form2 *TestTray::openMainWindow()
{
    auto *window = new Form2(makeAgentSession());
    window->load();
    window->show();
    return window;
}

void TestTray::closeAnswering(Form2 *window, bool yes)
{
    (**m_prompter).answers.append(yes);
    window->close();
}

void TestTray::yesPutsTheWindowInTheTray()
{
    QPointer<Form2> window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    closeAnswering(window, true);
    QVERIFY(window);
    QVERIFY(window->isHidden());
    QVERIFY(window->tray()->iconShown());
    QCOMPARE(window->tray()->icon()->toolTip(), QStringLiteral("任务栏图标"));
    QVERIFY(!window->tray()->icon()->icon().isNull());
    QCOMPARE((**m_prompter).messages.last().text, QStringLiteral("是否最小化到托盘"));

    // A left double-click brings it back and takes the icon away.
    emit window->tray()->icon()->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(!window->tray()->iconShown());

    // And it can go again.
    closeAnswering(window, true);
    QVERIFY(window->isHidden());
    QVERIFY(window->tray()->iconShown());
}

void TestTray::rightDoubleClickKeepsTheIcon()
{
    QPointer<Form2> window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    closeAnswering(window, true);
    window->tray()->rightDoubleClick();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->tray()->iconShown());

    // A later Yes does not add a second icon.
    const int iconsBefore = window->findChildren<QSystemTrayIcon *>().size();
    closeAnswering(window, true);
    QVERIFY(window->isHidden());
    QVERIFY(window->tray()->iconShown());
    QCOMPARE(window->findChildren<QSystemTrayIcon *>().size(), iconsBefore);
    QCOMPARE(iconsBefore, 1);
}

void TestTray::rightButtonShowsTheTrayMenu()
{
    QPointer<Form2> window = openMainWindow();
    closeAnswering(window, true);
    QMenu *menu = window->commandMenu(QStringLiteral("menu"));
    QCOMPARE(window->tray()->icon()->contextMenu(), menu);
    window->tray()->rightButtonDown();
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void TestTray::exitFromTheTrayMenu()
{
    QPointer<Form2> window = openMainWindow();
    closeAnswering(window, true);
    QPointer<QSystemTrayIcon> icon = window->tray()->icon();
    QVERIFY(icon->isVisible());
    window->commandAction(QStringLiteral("退出"))->trigger();
    QTRY_VERIFY(window.isNull());
    QVERIFY(icon.isNull() || !icon->isVisible());
    QCOMPARE((**m_prompter).messages.size(), 1); // the one question, none on exit
}

void TestTray::noClosesEveryWindow()
{
    QPointer<Form2> window = openMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // In the tray first, then back, then No: nothing of the client stays.
    closeAnswering(window, true);
    window->tray()->rightDoubleClick();
    QPointer<QWidget> other = new QWidget;
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->show();
    QPointer<QSystemTrayIcon> icon = window->tray()->icon();
    closeAnswering(window, false);
    QTRY_VERIFY(window.isNull());
    QTRY_VERIFY(other.isNull());
    QVERIFY(icon.isNull() || !icon->isVisible());
}

AGENT_WINDOW_TEST_MAIN(TestTray)

#include "tst_tray.moc"

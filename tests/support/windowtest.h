#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>
#include <QWidget>

// Saves what the window shows, for a person to look at: into
// AGENT_SCREENSHOT_DIR when set (scripts/screenshot.sh points it at docs/),
// else beside the test executable.
inline bool saveWindowPicture(QWidget *window, const QString &fileName)
{
    const QPixmap picture = window->grab();
    if (picture.isNull())
        return false;
    QString dir = qEnvironmentVariable("AGENT_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    QDir().mkpath(dir);
    return picture.save(QDir(dir).filePath(fileName));
}

// Waits until the predicate holds, letting every event run meanwhile.
// QTest::qWaitFor handles one round of events per step and then sleeps, which
// stretches WebEngine's chains of posted tasks into seconds; qWait does not.
template<typename Predicate> bool waitUntil(Predicate predicate, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!predicate()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The main of a test with windows and WebEngine: the shared GL contexts
// WebEngine needs, and windows that close without ending anything.
#define AGENT_WINDOW_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        app.setQuitOnLastWindowClosed(false);                                                      \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The installation: cmake --install into a temporary prefix puts the client,
// its start script, desktop entry and icon in place, and the installed client
// starts offscreen and talks to the simulator.
#include "tests/support/simenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installedClientStarts();
};

void TestInstall::installedClientStarts()
{
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral(AGENT_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(AGENT_BINARY_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    const QDir root(prefix.path());
    const QString client = root.filePath(QStringLiteral("bin/agent-client"));
    QVERIFY(QFileInfo(client).isExecutable());
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("bin/agent-client-start"))).isExecutable());
    QVERIFY(QFile::exists(
        root.filePath(QStringLiteral("share/icons/hicolor/64x64/apps/agent-client.png"))));
    QSettings desktop(root.filePath(QStringLiteral("share/applications/agent-client.desktop")),
                      QSettings::IniFormat);
    QCOMPARE(desktop.value(QStringLiteral("Desktop Entry/Exec")).toString(),
             QStringLiteral("agent-client-start"));
    QCOMPARE(desktop.value(QStringLiteral("Desktop Entry/Icon")).toString(),
             QStringLiteral("agent-client"));

    SimEnvironment env;
    QString error;
    QVERIFY2(env.start(&error), qPrintable(error));
    // Started as the menu starts it: through the start script, in a home of its own.
    QTemporaryDir home;
    QVERIFY(QFile::copy(env.configFile(), home.filePath(QStringLiteral("client.ini"))));
    QProcess process;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert(QStringLiteral("AGENT_CLIENT_HOME"), home.path());
    penv.insert(QStringLiteral("PATH"), root.filePath(QStringLiteral("bin")) + QLatin1Char(':') +
                                            penv.value(QStringLiteral("PATH")));
    penv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Killed at the end: nothing for the leak checker to say.
    penv.insert(QStringLiteral("ASAN_OPTIONS"),
                QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
    process.setProcessEnvironment(penv);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(root.filePath(QStringLiteral("bin/agent-client-start")), {});
    QVERIFY(process.waitForStarted(10000));
    // The login window asks the platform at once (the version check).
    for (int i = 0;
         i < 600 && env.sim().requests().isEmpty() && process.state() == QProcess::Running; ++i)
        QTest::qWait(100);
    const bool running = process.state() == QProcess::Running;
    const bool asked = !env.sim().requests().isEmpty();
    process.kill();
    process.waitForFinished(10000);
    QVERIFY2(running, "the installed client ended by itself");
    QVERIFY(asked);
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"

// The self-update: the version check of the real login window against the
// simulator, and the update window downloading over loopback into a temporary
// working directory, with the clean-up script run for real by sh.
#include "app/core/session.h"
#include "app/ui/form1.h"
#include "app/ui/form14.h"
#include "app/ui/selfupdate.h"
#include "app/web/browser.h"
#include "app/web/webprofile.h"
#include "sim/pages.h"
#include "tests/support/recordinglauncher.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"
#include "tests/support/windowtest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

using sim::FaultKind;

class TestUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void updateAddress_data();
    void updateAddress();
    void updateFileNames_data();
    void updateFileNames();

    void versionCheck_data();
    void versionCheck();
    void updateThroughLoginWindow();

    void successfulUpdate_data();
    void successfulUpdate();
    void failedUpdate_data();
    void failedUpdate();
    void closeAfterFailureStartsLeftoverScript();
    void closingWhileDownloadingLeavesNothing();
    void stalledDownloadIsGivenUp();

    void cleanupScriptRuns_data();
    void cleanupScriptRuns();

private:
    QString target(const QString &version) const;
    QStringList filesInWorkingDirectory() const;
    Form14 *openUpdateWindow(const QString &version, const QString &address,
                             QWidget *loginWindow = nullptr);
    static QByteArray readFile(const QString &path);
    static void writeFile(const QString &path, const QByteArray &bytes);

    SimEnvironment m_env;
    std::unique_ptr<WorkingDirectory> m_cwd;
    std::unique_ptr<PrompterGuard> m_prompter;
    std::unique_ptr<LauncherGuard> m_launcher;
    QString m_oldExecutable;
};

static const QByteArray kOldBuild = "#!/bin/sh\necho old build\n";
static const QString kAppTitle = QStringLiteral("榴帆综合缴费系统");

void TestUpdate::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    // An answer that is no error and still not the file.
    m_env.sim().addPage(
        QStringLiteral("/download/choices"), [](const sim::Request &, sim::State &) {
            sim::Page p =
                sim::Page::html(QStringLiteral("Multiple Choices"), QStringLiteral("<a>1</a>"));
            p.status = 300;
            return p;
        });
}

void TestUpdate::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
    m_env.sim().setVersionTitle(QStringLiteral("1.5"));
    m_env.sim().setDownloadUrl(QString());
    resetSessionInfo();
    SessionInfo().brandWord = Brand::word;
    SessionInfo().appTitle = Brand::word + Brand::titleSuffix;
    m_cwd = std::make_unique<WorkingDirectory>();
    m_prompter = std::make_unique<PrompterGuard>();
    m_launcher = std::make_unique<LauncherGuard>();
    // A stand-in for the running client, so that nothing real is replaced.
    m_oldExecutable = m_cwd->file(QStringLiteral("agent-client"));
    writeFile(m_oldExecutable, kOldBuild);
}

void TestUpdate::cleanup()
{
    // Deleting a window deletes its popups, which are top-level widgets too.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form1 *>(w) || qobject_cast<Form14 *>(w) ||
            w->objectName() == QLatin1String("dummyLogin"))
            windows.append(w);
    }
    qDeleteAll(windows);
    m_launcher.reset();
    m_prompter.reset();
    m_cwd.reset();
    setCurrentConfig(m_env.config());
}

QString TestUpdate::target(const QString &version) const
{
    return m_cwd->file(kAppTitle + version + kExecutableSuffix);
}

QStringList TestUpdate::filesInWorkingDirectory() const
{
    return QDir(m_cwd->path())
        .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

Form14 *TestUpdate::openUpdateWindow(const QString &version, const QString &address,
                                     QWidget *loginWindow)
{
    auto *form = new Form14(version, address, loginWindow);
    form->setOldExecutable(m_oldExecutable);
    form->show();
    return form;
}

QByteArray TestUpdate::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void TestUpdate::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

static QList<Form14 *> updateWindows()
{
    QList<Form14 *> out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<Form14 *>(w))
            out.append(form);
    }
    return out;
}

// ---- the pieces ----

void TestUpdate::updateAddress_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("address"); // empty: refused

    const QString a = QStringLiteral("http://127.0.0.1:8080/download/agent-client");
    QTest::newRow("plain http") << a << a;
    QTest::newRow("https") << "https://dl.example/c/new.exe"
                           << "https://dl.example/c/new.exe";
    QTest::newRow("blanks and line breaks around") << "\r\n  " + a + " \n\t" << a;
    QTest::newRow("ampersand as the browser writes it")
        << "http://dl.example/get.asp?v=1.6&amp;id=7"
        << "http://dl.example/get.asp?v=1.6&id=7";
    QTest::newRow("scheme in capitals") << "HTTP://dl.example/x"
                                        << "http://dl.example/x";
    QTest::newRow("ftp") << "ftp://dl.example/x" << QString();
    QTest::newRow("javascript") << "javascript:alert(1)" << QString();
    QTest::newRow("local file") << "file:///etc/passwd" << QString();
    QTest::newRow("plain text") << QStringLiteral("暂无更新") << QString();
    QTest::newRow("empty") << "" << QString();
    QTest::newRow("blanks only") << " \r\n " << QString();
    QTest::newRow("address in markup") << "<P>" + a + "</P>" << QString();
    QTest::newRow("link") << "<A href=\"" + a + "\">" + a + "</A>" << QString();
    QTest::newRow("two addresses") << a + "\r\n" + a << QString();
    QTest::newRow("relative") << "download/agent-client" << QString();
    QTest::newRow("no host") << "http:///download" << QString();
    QTest::newRow("blank inside") << "http://dl.example/new client" << QString();
}

void TestUpdate::updateAddress()
{
    QFETCH(QString, body);
    QFETCH(QString, address);
    const std::optional<QUrl> url = parseUpdateAddress(body);
    if (address.isEmpty()) {
        QVERIFY2(!url, qPrintable(url ? url->toString() : QString()));
        return;
    }
    QVERIFY(url);
    QCOMPARE(url->toString(QUrl::FullyEncoded), address);
}

void TestUpdate::updateFileNames_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("name"); // empty: refused

    QTest::newRow("newer") << "1.6" << kAppTitle + "1.6" + kExecutableSuffix;
    QTest::newRow("words") << QStringLiteral("2013版 正式")
                           << kAppTitle + QStringLiteral("2013版 正式") + kExecutableSuffix;
    QTest::newRow("dots only stay in the folder") << ".." << kAppTitle + ".." + kExecutableSuffix;
    QTest::newRow("slash") << "../../bin/1.6" << QString();
    QTest::newRow("backslash") << "..\\1.6" << QString();
    QTest::newRow("drive colon") << "c:1.6" << QString();
    QTest::newRow("line break") << "1.6\n" << QString();
    QTest::newRow("too long") << QString(300, QLatin1Char('9')) << QString();
}

void TestUpdate::updateFileNames()
{
    QFETCH(QString, version);
    QFETCH(QString, name);
    QCOMPARE(updateFileName(kAppTitle, version), name);
}

// ---- the version check of the login window ----

void TestUpdate::versionCheck_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("pageFault");
    QTest::addColumn<bool>("opens");

    QTest::newRow("current version") << "1.5" << int(FaultKind::None) << false;
    QTest::newRow("no title") << "" << int(FaultKind::None) << false;
    QTest::newRow("newer version") << "1.6" << int(FaultKind::None) << true;
    QTest::newRow("older version") << "1.4" << int(FaultKind::None) << true;
    QTest::newRow("version page unreachable") << "1.6" << int(FaultKind::Drop) << false;
    QTest::newRow("version page answers 500") << "1.6" << int(FaultKind::Error500) << false;
}

void TestUpdate::versionCheck()
{
    QFETCH(QString, title);
    QFETCH(int, pageFault);
    QFETCH(bool, opens);
    m_env.sim().setVersionTitle(title);
    m_env.sim().setFault(QStringLiteral("/platform/down1.html"), {FaultKind(pageFault), 0});
    // The window stays open on a failed download, so it can be looked at.
    m_env.sim().setFault(QStringLiteral("/download/agent-client"), {FaultKind::Error500, 0});

    auto *login = new Form1;
    auto *web = login->findChild<Browser *>(QStringLiteral("Web"));
    QVERIFY(web);
    QSignalSpy loaded(web, &Browser::documentComplete);
    login->show();
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 30000);
    QVERIFY(!m_env.requestsTo(QStringLiteral("/platform/down1.html")).isEmpty());

    if (!opens) {
        QVERIFY(updateWindows().isEmpty());
        QVERIFY(login->BB().isEmpty());
        QTest::qWait(200);
        QVERIFY(updateWindows().isEmpty());
        QVERIFY(m_env.requestsTo(QStringLiteral("/download/agent-client")).isEmpty());
        QVERIFY((**m_prompter).messages.isEmpty());
        return;
    }
    const QString address = m_env.sim().rootUrl() + QStringLiteral("download/agent-client");
    QCOMPARE(login->BB(), title);
    QCOMPARE(login->xzdz().trimmed(), address);
    const QList<Form14 *> windows = updateWindows();
    QCOMPARE(windows.size(), 1);
    Form14 *form = windows.first();
    QCOMPARE(form->version(), title);
    QCOMPARE(form->address(), login->xzdz());
    QCOMPARE(form->windowTitle(), kAppTitle + QStringLiteral("自动更新"));
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).texts(), QStringList{kUpdateFailed});
    QCOMPARE(m_env.requestsTo(QStringLiteral("/download/agent-client")).size(), 1);
    QVERIFY(form->isVisible());
    QVERIFY(login->isVisible());
}

void TestUpdate::updateThroughLoginWindow()
{
    m_env.sim().setVersionTitle(QStringLiteral("1.6"));
    QPointer<Form1> login = new Form1;
    login->show();
    QTRY_VERIFY_WITH_TIMEOUT(login.isNull(), 30000); // closed once the update is in place

    QVERIFY(updateWindows().isEmpty());
    QVERIFY2((**m_prompter).messages.isEmpty(), qPrintable((**m_prompter).texts().join('|')));
    QCOMPARE(readFile(target(QStringLiteral("1.6"))), sim::updateFileContent());
    QVERIFY(QFileInfo(target(QStringLiteral("1.6"))).isExecutable());
    // Left to itself, the client replaces its own executable.
    QCOMPARE(
        readFile(m_cwd->file(kCleanupScript)),
        cleanupScriptText(QCoreApplication::applicationFilePath(), target(QStringLiteral("1.6"))));
    QCOMPARE((*m_launcher)->starts.size(), 1);
    QCOMPARE((*m_launcher)->starts[0].program, QStringLiteral("/bin/sh"));
    QCOMPARE((*m_launcher)->starts[0].arguments, QStringList{kCleanupScript});
    QCOMPARE((*m_launcher)->starts[0].workingDirectory, m_cwd->path());
}

// ---- the update window ----

void TestUpdate::successfulUpdate_data()
{
    QTest::addColumn<QString>("body"); // "@" stands for the simulator's root
    QTest::addColumn<QByteArray>("earlierScript");
    QTest::addColumn<QByteArray>("earlierDownload");
    QTest::addColumn<QString>("requested");

    QTest::newRow("plain address")
        << "@download/agent-client" << QByteArray() << QByteArray() << "/download/agent-client";
    QTest::newRow("blanks and line breaks around")
        << "\r\n  @download/agent-client \r\n"
        << QByteArray() << QByteArray() << "/download/agent-client";
    QTest::newRow("query with ampersand")
        << "@download/agent-client?v=1.6&amp;from=client" << QByteArray() << QByteArray()
        << "/download/agent-client?v=1.6&from=client";
    QTest::newRow("earlier script replaced")
        << "@download/agent-client" << QByteArray("#!/bin/sh\nrm -f -- '/elsewhere/x'\n")
        << QByteArray() << "/download/agent-client";
    QTest::newRow("earlier download of the version replaced")
        << "@download/agent-client" << QByteArray() << QByteArray("half a file")
        << "/download/agent-client";
}

void TestUpdate::successfulUpdate()
{
    QFETCH(QString, body);
    QFETCH(QByteArray, earlierScript);
    QFETCH(QByteArray, earlierDownload);
    QFETCH(QString, requested);
    const QString script = m_cwd->file(kCleanupScript);
    const QString file = target(QStringLiteral("1.6"));
    if (!earlierScript.isEmpty())
        writeFile(script, earlierScript);
    if (!earlierDownload.isEmpty())
        writeFile(file, earlierDownload);

    QPointer<QWidget> login = new QWidget;
    login->setObjectName(QStringLiteral("dummyLogin"));
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    QPointer<Form14> form = openUpdateWindow(
        QStringLiteral("1.6"), body.replace(QLatin1Char('@'), m_env.sim().rootUrl()), login);
    auto *progress = form->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    QVERIFY(progress);
    QSignalSpy shown(progress, &QProgressBar::valueChanged);
    QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), 30000);
    // The bar went up to full while the file came in.
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.last().at(0).toInt(), 100);
    for (qsizetype i = 1; i < shown.size(); ++i)
        QVERIFY(shown[i].at(0).toInt() >= shown[i - 1].at(0).toInt());

    QVERIFY2((**m_prompter).messages.isEmpty(), qPrintable((**m_prompter).texts().join('|')));
    QTRY_VERIFY(login.isNull());
    const auto requests = m_env.requestsTo(QStringLiteral("/download/agent-client"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].target, requested);

    QCOMPARE(readFile(file), sim::updateFileContent());
    const QFileInfo info(file);
    QVERIFY(info.permissions() & QFileDevice::ExeOwner);
    QVERIFY(info.isExecutable());
    QCOMPARE(readFile(m_oldExecutable), kOldBuild); // removed by the script, not before
    // Nothing half-written lies about.
    QCOMPARE(filesInWorkingDirectory(), QStringList({QStringLiteral("agent-client"), kCleanupScript,
                                                     QFileInfo(file).fileName()}));

    const QByteArray text = readFile(script);
    QCOMPARE(text, cleanupScriptText(m_oldExecutable, file));
    QVERIFY(text.startsWith("#!/bin/sh\n"));
    QVERIFY(text.contains("\nold='" + QFile::encodeName(m_oldExecutable) + "'\n"));
    QVERIFY(text.contains("\n    rm -f -- \"$old\"\n"));
    QVERIFY(text.endsWith("rm -f -- \"$0\"\n"));
    QVERIFY(!text.contains(QFile::encodeName(QFileInfo(file).fileName())));

    QCOMPARE((*m_launcher)->starts.size(), 1);
    QCOMPARE((*m_launcher)->starts[0].program, QStringLiteral("/bin/sh"));
    QCOMPARE((*m_launcher)->starts[0].arguments, QStringList{kCleanupScript});
    QCOMPARE((*m_launcher)->starts[0].workingDirectory, m_cwd->path());
}

void TestUpdate::failedUpdate_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("body"); // "@" stands for the simulator's root
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("requested");

    const QString a = QStringLiteral("@download/agent-client");
    const int none = int(FaultKind::None);
    QTest::newRow("ftp address") << "1.6"
                                 << "ftp://127.0.0.1/download/agent-client" << none << false;
    QTest::newRow("javascript") << "1.6"
                                << "javascript:location='" + a + "'" << none << false;
    QTest::newRow("plain text") << "1.6" << QStringLiteral("暂无更新") << none << false;
    QTest::newRow("address in markup") << "1.6"
                                       << "<P>" + a + "</P>" << none << false;
    QTest::newRow("version names a path") << "/../../tmp/1.6" << a << none << false;
    QTest::newRow("server error") << "1.6" << a << int(FaultKind::Error500) << true;
    QTest::newRow("dropped connection") << "1.6" << a << int(FaultKind::Drop) << true;
    QTest::newRow("truncated body") << "1.6" << a << int(FaultKind::Truncate) << true;
    QTest::newRow("no such file") << "1.6"
                                  << "@download/nothing-here" << none << false;
    QTest::newRow("status not 2xx") << "1.6"
                                    << "@download/choices" << none << false;
}

void TestUpdate::failedUpdate()
{
    QFETCH(QString, version);
    QFETCH(QString, body);
    QFETCH(int, fault);
    QFETCH(bool, requested);
    m_env.sim().setFault(QStringLiteral("/download/agent-client"), {FaultKind(fault), 0});

    QPointer<QWidget> login = new QWidget;
    login->setObjectName(QStringLiteral("dummyLogin"));
    login->show();
    QPointer<Form14> form =
        openUpdateWindow(version, body.replace(QLatin1Char('@'), m_env.sim().rootUrl()), login);
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);

    QCOMPARE((**m_prompter).messages.size(), 1);
    QCOMPARE((**m_prompter).messages[0].kind, QStringLiteral("inform"));
    QCOMPARE((**m_prompter).messages[0].title, kAppTitle);
    QCOMPARE((**m_prompter).messages[0].text, kUpdateFailed);
    QVERIFY(form && form->isVisible());
    QVERIFY(!form->lastError().isEmpty());
    QVERIFY(login && login->isVisible());
    // A connection dropped before the answer is tried once more by Qt itself.
    const auto downloads = m_env.requestsTo(QStringLiteral("/download/agent-client"));
    QVERIFY2(requested ? !downloads.isEmpty() : downloads.isEmpty(),
             qPrintable(QString::number(downloads.size())));
    // No file of the new name, no half-written one, no script; the old one as it was.
    QCOMPARE(filesInWorkingDirectory(), QStringList{QStringLiteral("agent-client")});
    QCOMPARE(readFile(m_oldExecutable), kOldBuild);
    QVERIFY(QDir(QStringLiteral("/tmp")).entryList({kAppTitle + QLatin1Char('*')}).isEmpty());

    form->close();
    QTRY_VERIFY(form.isNull());
    QVERIFY((*m_launcher)->starts.isEmpty()); // there is no script to start
    QVERIFY(login && login->isVisible());
}

void TestUpdate::closeAfterFailureStartsLeftoverScript()
{
    // A script an earlier update left behind runs whenever the window closes.
    const QByteArray earlier = "#!/bin/sh\nrm -f -- \"$0\"\n";
    writeFile(m_cwd->file(kCleanupScript), earlier);
    QPointer<Form14> form = openUpdateWindow(QStringLiteral("1.6"), QStringLiteral("暂无更新"));
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).texts(), QStringList{kUpdateFailed});
    QVERIFY((*m_launcher)->starts.isEmpty());
    QCOMPARE(readFile(m_cwd->file(kCleanupScript)), earlier);

    form->close();
    QTRY_VERIFY(form.isNull());
    QCOMPARE((*m_launcher)->starts.size(), 1);
    QCOMPARE((*m_launcher)->starts[0].program, QStringLiteral("/bin/sh"));
    QCOMPARE((*m_launcher)->starts[0].arguments, QStringList{kCleanupScript});
    QCOMPARE((*m_launcher)->starts[0].workingDirectory, m_cwd->path());
}

void TestUpdate::closingWhileDownloadingLeavesNothing()
{
    m_env.sim().setFault(QStringLiteral("/download/agent-client"), {FaultKind::Delay, 2000});
    QPointer<Form14> form = openUpdateWindow(
        QStringLiteral("1.6"), m_env.sim().rootUrl() + QStringLiteral("download/agent-client"));
    QCOMPARE(form->windowTitle(), kAppTitle + QStringLiteral("自动更新"));
    auto *label = form->findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("正在更新请不要关闭 更新完成会自动关闭"));
    auto *progress = form->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    QVERIFY(progress);
    QCOMPARE(progress->value(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(!m_env.requestsTo(QStringLiteral("/download/agent-client")).isEmpty(),
                             30000);
    form->close();
    QTRY_VERIFY(form.isNull());
    QTest::qWait(2500); // the delayed answer arrives at nobody
    QVERIFY((**m_prompter).messages.isEmpty());
    QCOMPARE(filesInWorkingDirectory(), QStringList{QStringLiteral("agent-client")});
    QVERIFY((*m_launcher)->starts.isEmpty());
}

void TestUpdate::stalledDownloadIsGivenUp()
{
    ClientConfig config = m_env.config();
    config.transferTimeoutMs = 300;
    setCurrentConfig(config);
    m_env.sim().setFault(QStringLiteral("/download/agent-client"), {FaultKind::Delay, 3000});
    QPointer<Form14> form = openUpdateWindow(
        QStringLiteral("1.6"), m_env.sim().rootUrl() + QStringLiteral("download/agent-client"));
    QTRY_VERIFY_WITH_TIMEOUT(!(**m_prompter).messages.isEmpty(), 30000);
    QCOMPARE((**m_prompter).texts(), QStringList{kUpdateFailed});
    QVERIFY(form && form->isVisible());
    QCOMPARE(filesInWorkingDirectory(), QStringList{QStringLiteral("agent-client")});
}

// ---- the clean-up script, run by sh ----

void TestUpdate::cleanupScriptRuns_data()
{
    QTest::addColumn<QString>("oldName"); // relative to the working directory
    QTest::addColumn<bool>("oldExists");
    QTest::addColumn<bool>("replacedInPlace");

    QTest::newRow("plain name") << "agent-client" << true << false;
    QTest::newRow("blanks, quotes and Chinese")
        << QStringLiteral("旧 client's \"$HOME\" `id`.bin") << true << false;
    QTest::newRow("outside the working directory") << "app/agent-client" << true << false;
    QTest::newRow("already gone") << "agent-client" << false << false;
    QTest::newRow("download replaced the running file") << "new" << true << true;
}

void TestUpdate::cleanupScriptRuns()
{
    QFETCH(QString, oldName);
    QFETCH(bool, oldExists);
    QFETCH(bool, replacedInPlace);
    QDir dir(m_cwd->path());
    QVERIFY(QFile::remove(m_oldExecutable));
    const QString newFile = dir.filePath(QStringLiteral("new"));
    writeFile(newFile, "new build\n");
    const QString old = dir.filePath(oldName);
    QVERIFY(dir.mkpath(QFileInfo(old).path()));
    if (oldExists && !replacedInPlace)
        writeFile(old, kOldBuild);
    // A file of the same name in the working directory is not the client's.
    const QString bystander = dir.filePath(QFileInfo(oldName).fileName());
    const bool hasBystander = bystander != old;
    if (hasBystander)
        writeFile(bystander, "someone else's\n");

    QString error;
    QVERIFY2(writeCleanupScript(dir.path(), old, newFile, &error), qPrintable(error));
    QProcess sh;
    sh.setWorkingDirectory(dir.path());
    sh.start(QStringLiteral("/bin/sh"), {kCleanupScript});
    QVERIFY(sh.waitForFinished(60000));
    QCOMPARE(sh.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sh.exitCode(), 0);
    const QByteArray complaints = sh.readAllStandardError();
    QVERIFY2(complaints.isEmpty(), complaints.constData());

    QVERIFY(!QFile::exists(dir.filePath(kCleanupScript)));
    QCOMPARE(readFile(newFile), QByteArray("new build\n"));
    if (!replacedInPlace)
        QVERIFY(!QFile::exists(old));
    if (hasBystander)
        QCOMPARE(readFile(bystander), QByteArray("someone else's\n"));
}

AGENT_WINDOW_TEST_MAIN(TestUpdate)

#include "tst_update.moc"

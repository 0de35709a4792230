#include "app/ui/form14.h"

#include "app/core/launcher.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/ui/selfupdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

Form14::Form14(const QString &version, const QString &address, QWidget *loginWindow)
    : m_version(version), m_address(address), m_loginWindow(loginWindow),
      m_oldExecutable(QCoreApplication::applicationFilePath())
{
    setObjectName(QStringLiteral("Form14"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("自动更新"));

    m_label1 = new QLabel(QStringLiteral("正在更新请不要关闭 更新完成会自动关闭"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_progressBar1);
    setMinimumWidth(320);

    m_download = new UpdateDownload(this);
    connect(m_download, &UpdateDownload::progress, this, &Form14::onProgress);
    connect(m_download, &UpdateDownload::finished, this, &Form14::onDownloaded);
}

Form14::~Form14() = default;

void Form14::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    // After the window has been painted, so that the agent sees the notice.
    QTimer::singleShot(0, this, [this] { load(); });
}

void Form14::load()
{
    if (m_closed)
        return; // closed before it got going
    m_dir = QDir::currentPath();
    const std::optional<QUrl> url = parseUpdateAddress(m_address);
    if (!url) {
        fail(QStringLiteral("not a download address: %1").arg(m_address.left(200)));
        return;
    }
    const QString name = updateFileName(SessionInfo().appTitle, m_version);
    if (name.isEmpty()) {
        fail(QStringLiteral("not a usable version: %1").arg(m_version.left(200)));
        return;
    }
    m_target = QDir(m_dir).filePath(name);
    QString error;
    if (!m_download->start(*url, m_target, &error))
        fail(error);
}

void Form14::onProgress(qint64 received, qint64 total)
{
    if (total <= 0) {
        m_progressBar1->setRange(0, 0); // length unknown: busy
        return;
    }
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(int(std::clamp<qint64>(received * 100 / total, 0, 100)));
}

void Form14::onDownloaded(bool ok, const QString &error)
{
    if (!ok) {
        fail(error);
        return;
    }
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(100);
    QString why;
    if (!writeCleanupScript(m_dir, m_oldExecutable, m_target, &why)) {
        fail(why);
        return;
    }
    const QPointer<QWidget> loginWindow = m_loginWindow;
    close();
    if (loginWindow)
        loginWindow->close();
}

void Form14::fail(const QString &error)
{
    m_lastError = error;
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    Prompter::instance().inform(SessionInfo().appTitle, kUpdateFailed);
}

void Form14::closeEvent(QCloseEvent *event)
{
    m_closed = true;
    m_download->abort(); // an unfinished download leaves nothing behind
    const QString dir = m_dir.isEmpty() ? QDir::currentPath() : m_dir;
    if (!m_cleanupStarted && QFile::exists(QDir(dir).filePath(kCleanupScript))) {
        m_cleanupStarted = true;
        Launcher::instance().startDetached(QStringLiteral("/bin/sh"), {kCleanupScript}, dir);
    }
    QWidget::closeEvent(event);
}

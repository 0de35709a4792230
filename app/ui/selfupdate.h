#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

// The script the update leaves behind; it removes the replaced executable
// once the client has ended, then itself.
inline const QString kCleanupScript = QStringLiteral("del.sh");
inline const QString kUpdateFailed = QStringLiteral("出错了");
#ifdef Q_OS_WIN
inline const QString kExecutableSuffix = QStringLiteral(".exe");
#else
inline const QString kExecutableSuffix;
#endif
// How often the script tries to remove the old executable, a second apart,
// before it gives up: a file it may never remove must not keep it running.
inline constexpr int kCleanupAttempts = 120;

// The version page's body is the download address and nothing else. Blanks
// and line breaks around it are dropped and the entities the browser writes
// for text are read back; anything but one absolute http or https address
// (markup, another scheme, plain text) gives nullopt.
std::optional<QUrl> parseUpdateAddress(const QString &bodyHtml);

// appTitle + version + the executable suffix. Empty when the announced
// version would make it anything but a plain file name in the folder (a path
// separator, a control character, a character Windows forbids, too long).
QString updateFileName(const QString &appTitle, const QString &version);

// The clean-up script for sh: remove oldExecutable until it is gone (at most
// kCleanupAttempts times), then remove the script itself. When oldExecutable
// is newExecutable (the download replaced the running file in place) or is
// unknown, the script only removes itself, so it never deletes the update.
QByteArray cleanupScriptText(const QString &oldExecutable, const QString &newExecutable);

// Writes kCleanupScript in dir, replacing any earlier one.
bool writeCleanupScript(const QString &dir, const QString &oldExecutable,
                        const QString &newExecutable, QString *error);

// Fetches one file without blocking the window. The target appears only when
// the whole file has arrived with a 2xx status and, if the server gave a
// length, with exactly that many bytes; it is then executable. Otherwise the
// target and any earlier file of that name stay as they were.
class UpdateDownload : public QObject
{
    Q_OBJECT
public:
    explicit UpdateDownload(QObject *parent = nullptr);
    ~UpdateDownload() override;

    // False (and nothing started) when the target cannot be written; error
    // says why.
    bool start(const QUrl &url, const QString &targetPath, QString *error);
    // Stops a running download; no finished() follows and nothing is written.
    void abort();
    bool isRunning() const { return !m_reply.isNull(); }

    // Given up after this long without a byte; defaults to the configured
    // transfer time-out.
    void setInactivityTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    // total is -1 while the length is unknown.
    void progress(qint64 received, qint64 total);
    void finished(bool ok, const QString &error);

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString &error);

    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    qint64 m_received = 0;
    int m_timeoutMs;
};

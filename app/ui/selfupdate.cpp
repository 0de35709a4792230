#include "app/ui/selfupdate.h"

#include "app/core/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace {

// The escapes the browser's serialisation writes in text; &amp; last, so
// that "&amp;lt;" reads back as "&lt;".
QString decodeTextEntities(QString text)
{
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// A path as sh reads it in single quotes: a quote ends the quoting, is
// written escaped, and starts it again.
QByteArray shellQuoted(const QString &path)
{
    QByteArray bytes = QFile::encodeName(path);
    bytes.replace('\'', "'\\''");
    return '\'' + bytes + '\'';
}

bool samePath(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.absoluteFilePath() == fb.absoluteFilePath())
        return true;
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

} // namespace

std::optional<QUrl> parseUpdateAddress(const QString &bodyHtml)
{
    const QString text = decodeTextEntities(bodyHtml).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        // Markup, or more than one thing in the body.
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') ||
            c == QLatin1Char('"') || c.category() == QChar::Other_Control)
            return std::nullopt;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

QString updateFileName(const QString &appTitle, const QString &version)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : version) {
        if (forbidden.contains(c) || c.category() == QChar::Other_Control ||
            c.category() == QChar::Other_Format)
            return {};
    }
    const QString name = appTitle + version + kExecutableSuffix;
    if (name.trimmed().isEmpty() || QFile::encodeName(name).size() > 255)
        return {};
    return name;
}

QByteArray cleanupScriptText(const QString &oldExecutable, const QString &newExecutable)
{
    QByteArray text = "#!/bin/sh\n";
    if (!oldExecutable.isEmpty() && !samePath(oldExecutable, newExecutable)) {
        QByteArray loop = "old=@OLD@\n"
                          "tries=0\n"
                          "while :; do\n"
                          "    rm -f -- \"$old\"\n"
                          "    [ -e \"$old\" ] || break\n"
                          "    tries=$((tries + 1))\n"
                          "    [ \"$tries\" -lt @TRIES@ ] || break\n"
                          "    sleep 1\n"
                          "done\n";
        loop.replace("@TRIES@", QByteArray::number(kCleanupAttempts));
        loop.replace("@OLD@", shellQuoted(QFileInfo(oldExecutable).absoluteFilePath()));
        text += loop;
    }
    text += "rm -f -- \"$0\"\n";
    return text;
}

bool writeCleanupScript(const QString &dir, const QString &oldExecutable,
                        const QString &newExecutable, QString *error)
{
    QSaveFile file(QDir(dir).filePath(kCleanupScript));
    const QByteArray text = cleanupScriptText(oldExecutable, newExecutable);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

UpdateDownload::UpdateDownload(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)),
      m_timeoutMs(currentConfig().transferTimeoutMs > 0 ? currentConfig().transferTimeoutMs
                                                        : 60'000)
{}

UpdateDownload::~UpdateDownload()
{
    abort();
}

bool UpdateDownload::start(const QUrl &url, const QString &targetPath, QString *error)
{
    if (isRunning()) {
        if (error)
            *error = QStringLiteral("a download is already running");
        return false;
    }
    m_file = std::make_unique<QSaveFile>(targetPath);
    if (!m_file->open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(targetPath, m_file->errorString());
        m_file.reset();
        return false;
    }
    m_received = 0;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // Unpacked on the way the length would no longer be the server's.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(m_timeoutMs);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &UpdateDownload::progress);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateDownload::onFinished);
    return true;
}

void UpdateDownload::abort()
{
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset(); // removes the unfinished file
    }
}

void UpdateDownload::onReadyRead()
{
    if (!m_reply || !m_file)
        return;
    const QByteArray data = m_reply->readAll();
    if (m_file->write(data) != data.size()) {
        fail(QStringLiteral("%1: %2").arg(m_file->fileName(), m_file->errorString()));
        return;
    }
    m_received += data.size();
}

void UpdateDownload::onFinished()
{
    if (!m_reply || !m_file)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(m_reply->errorString());
        return;
    }
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        fail(QStringLiteral("HTTP %1").arg(status));
        return;
    }
    onReadyRead();
    if (!m_file)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_received) {
        fail(QStringLiteral("received %1 of %2 bytes").arg(m_received).arg(length.toLongLong()));
        return;
    }

    // Executable before it takes the name, so that no one sees it otherwise.
    QFileDevice::Permissions permissions =
        m_file->permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (permissions & QFileDevice::ReadGroup)
        permissions |= QFileDevice::ExeGroup;
    if (permissions & QFileDevice::ReadOther)
        permissions |= QFileDevice::ExeOther;
    if (!m_file->setPermissions(permissions)) {
        fail(QStringLiteral("%1: %2").arg(m_file->fileName(), m_file->errorString()));
        return;
    }
    if (!m_file->commit()) {
        fail(QStringLiteral("%1: %2").arg(m_file->fileName(), m_file->errorString()));
        return;
    }
    m_file.reset();
    m_reply->deleteLater();
    m_reply = nullptr;
    emit finished(true, QString());
}

void UpdateDownload::fail(const QString &error)
{
    abort();
    emit finished(false, error);
}

#include "app/web/transfer.h"

#include "app/core/gbk.h"
#include "app/web/networkaccess.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

// An answer read off the at-most-once connection, as far as it came.
struct HttpAnswer
{
    bool complete = false;
    int status = 0;
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case
    QByteArray body;

    QByteArray header(const char *name) const
    {
        for (const auto &[key, value] : headers) {
            if (key == name)
                return value;
        }
        return {};
    }
};

namespace {

// The body of a chunked answer; nullopt while its last chunk has not come.
std::optional<QByteArray> dechunk(QByteArrayView in)
{
    QByteArray out;
    qsizetype at = 0;
    for (;;) {
        const qsizetype lineEnd = in.indexOf("\r\n", at);
        if (lineEnd < 0)
            return std::nullopt;
        QByteArrayView sizeText = in.sliced(at, lineEnd - at);
        if (const qsizetype semi = sizeText.indexOf(';'); semi >= 0)
            sizeText = sizeText.first(semi);
        bool ok = false;
        const qlonglong size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0)
            return std::nullopt;
        at = lineEnd + 2;
        if (size == 0)
            return out; // trailers, if any, are not needed
        if (size > in.size() - at - 2)
            return std::nullopt;
        out.append(in.sliced(at, size));
        at += size + 2;
    }
}

// Reads what came so far; closed says the server has hung up, which ends an
// answer that gives no length.
HttpAnswer readHttpAnswer(QByteArrayView in, bool closed)
{
    HttpAnswer a;
    qsizetype headEnd = -1;
    // Interim answers (100 Continue) come before the real one.
    for (;;) {
        headEnd = in.indexOf("\r\n\r\n");
        if (headEnd < 0 || !in.startsWith("HTTP/1."))
            return a;
        const qsizetype space = in.indexOf(' ');
        if (space < 0 || space + 4 > headEnd)
            return a;
        a.status = in.sliced(space + 1, 3).toInt();
        if (a.status >= 200 || a.status < 100)
            break;
        in = in.sliced(headEnd + 4);
    }
    const QList<QByteArray> lines = in.first(headEnd).toByteArray().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            a.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    const QByteArrayView rest = in.sliced(headEnd + 4);
    if (a.status == 204 || a.status == 304) {
        a.complete = true;
    } else if (a.header("transfer-encoding").toLower().contains("chunked")) {
        if (const auto body = dechunk(rest)) {
            a.body = *body;
            a.complete = true;
        }
    } else if (const QByteArray length = a.header("content-length"); !length.isEmpty()) {
        bool ok = false;
        const qlonglong n = length.toLongLong(&ok);
        if (!ok || n < 0) {
            // A length that is no number: the answer ends when the server hangs up.
            if (closed) {
                a.body = rest.toByteArray();
                a.complete = true;
            }
        } else if (rest.size() >= n) {
            a.body = rest.first(n).toByteArray();
            a.complete = true;
        }
    } else if (closed) {
        a.body = rest.toByteArray();
        a.complete = true;
    }
    return a;
}

Transfer::Failure classify(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
        return Transfer::Failure::None;
    // Failures before a connection exists: the server cannot have seen anything.
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::SslHandshakeFailedError:
        return Transfer::Failure::NotDelivered;
    // Qt wanted to send the body a second time and could not: the first may
    // have reached the server.
    case QNetworkReply::ContentReSendError:
        return Transfer::Failure::ConnectionLost;
    default:
        break;
    }
    // An HTTP error status; a garbled answer (ProtocolFailure) is not one.
    if ((error >= QNetworkReply::ContentAccessDenied &&
         error <= QNetworkReply::UnknownContentError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError))
        return Transfer::Failure::HttpError;
    return Transfer::Failure::ConnectionLost;
}

} // namespace

Transfer::Transfer(NetworkAccess &network, QObject *parent)
    : QObject(parent), m_network(network), m_timeoutMs(network.transferTimeoutMs())
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_socket) {
            m_timedOut = true;
            onceEnded(QString());
            return;
        }
        if (!m_reply)
            return;
        m_timedOut = true;
        m_reply->abort(); // finished() follows and reports the time-out
    });
}

Transfer::~Transfer()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

bool Transfer::execute(const QString &url, const QString &operation, const QString &body,
                       const QString &headerLines)
{
    if (stillExecuting())
        return false;

    const QUrl address = wireUrl(url);
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QByteArray head; // the header lines of an at-most-once request
    bool haveContentType = false;
    for (const QString &line : headerLines.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLatin1();
        const QByteArray value = toGbk(line.mid(colon + 1).trimmed());
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            haveContentType = true;
        request.setRawHeader(name, value);
        head += name + ": " + value + "\r\n";
    }

    m_body.clear();
    m_raw.clear();
    m_chunkPos = 0;
    m_state = 0;
    m_failure = Failure::None;
    m_errorText.clear();
    m_httpStatus = 0;
    m_timedOut = false;
    m_bodyMayHaveLeft = false;

    const QByteArray verb = operation.trimmed().toUpper().toLatin1();
    const bool get = verb == "GET";
    if (!get && !haveContentType) {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        head += "Content-Type: application/x-www-form-urlencoded\r\n";
    }
    const QByteArray data = get ? QByteArray() : toGbk(body);
    if (m_atMostOnce) {
        startOnce(address, verb, head, data);
        m_timer->start(m_timeoutMs);
        return true;
    }

    QNetworkAccessManager *nam = m_network.shared();
    m_reply = get ? nam->get(request) : nam->sendCustomRequest(request, verb, data);
    connect(m_reply.data(), &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64) {
        if (sent > 0)
            m_bodyMayHaveLeft = true;
    });
    connect(m_reply.data(), &QNetworkReply::finished, this, &Transfer::finish);
    m_timer->start(m_timeoutMs);
    return true;
}

void Transfer::startOnce(const QUrl &url, const QByteArray &verb, const QByteArray &head,
                         const QByteArray &body)
{
    const bool tls = url.scheme() == QLatin1String("https");
    m_onceUrl = url.toEncoded();
    m_onceIn.clear();
    m_onceOut = 0;
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const int defaultPort = tls ? 443 : 80;
    const int port = url.port(defaultPort);
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (port != defaultPort)
        host += ':' + QByteArray::number(port);

    QByteArray request = verb + ' ' + target + " HTTP/1.1\r\nHost: " + host +
                         "\r\nUser-Agent: Mozilla/5.0\r\nAccept: */*\r\nConnection: close\r\n" +
                         head;
    if (QNetworkCookieJar *jar = m_network.shared()->cookieJar()) {
        QByteArray cookies;
        for (const QNetworkCookie &c : jar->cookiesForUrl(url)) {
            if (!cookies.isEmpty())
                cookies += "; ";
            cookies += c.toRawForm(QNetworkCookie::NameAndValueOnly);
        }
        if (!cookies.isEmpty())
            request += "Cookie: " + cookies + "\r\n";
    }
    if (verb != "GET")
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    request += "\r\n" + body;

    QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket = socket;
    // Bytes handed to the system may reach the server whatever happens next.
    connect(socket, &QAbstractSocket::bytesWritten, this, [this] { m_bodyMayHaveLeft = true; });
    auto send = [this, socket, request] {
        if (m_socket != socket)
            return;
        socket->write(request);
        m_onceOut = request.size();
        socket->flush();
        if (socket->bytesToWrite() < m_onceOut)
            m_bodyMayHaveLeft = true;
    };
    if (tls) {
        auto *ssl = static_cast<QSslSocket *>(socket);
        connect(ssl, &QSslSocket::encrypted, this, send);
        connect(ssl, &QSslSocket::encryptedBytesWritten, this,
                [this] { m_bodyMayHaveLeft = true; });
    } else {
        connect(socket, &QAbstractSocket::connected, this, send);
    }
    connect(socket, &QIODevice::readyRead, this, &Transfer::onceRead);
    connect(socket, &QAbstractSocket::disconnected, this, [this] { onceEnded(QString()); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] {
        // A server that hangs up after the answer reports that as an error too.
        onceEnded(socket->error() == QAbstractSocket::RemoteHostClosedError
                      ? QString()
                      : socket->errorString());
    });
    if (tls)
        static_cast<QSslSocket *>(socket)->connectToHostEncrypted(url.host(), quint16(port));
    else
        socket->connectToHost(url.host(), quint16(port));
}

void Transfer::onceRead()
{
    if (!m_socket)
        return;
    m_onceIn += m_socket->readAll();
    if (const HttpAnswer answer = readHttpAnswer(m_onceIn, false); answer.complete)
        onceAnswered(answer);
}

void Transfer::onceEnded(const QString &error)
{
    QTcpSocket *socket = m_socket;
    if (!socket)
        return;
    if (socket->bytesToWrite() < m_onceOut)
        m_bodyMayHaveLeft = true;
    if (socket->isReadable())
        m_onceIn += socket->readAll();
    if (!m_timedOut) {
        if (const HttpAnswer answer = readHttpAnswer(m_onceIn, true); answer.complete) {
            onceAnswered(answer);
            return;
        }
    }
    dropSocket();
    m_timer->stop();
    m_raw = m_onceIn;
    m_body = fromGbk(m_raw);
    if (!m_bodyMayHaveLeft) {
        complete(Failure::NotDelivered,
                 m_timedOut
                     ? QStringLiteral("连接超时（%1 秒），请求没有发出").arg(m_timeoutMs / 1000.0)
                 : error.isEmpty() ? QStringLiteral("连接在请求发出前断开")
                                   : error);
    } else if (m_timedOut) {
        complete(Failure::TimedOut,
                 QStringLiteral("请求超时（%1 秒无应答）").arg(m_timeoutMs / 1000.0));
    } else {
        complete(Failure::ConnectionLost,
                 error.isEmpty() ? QStringLiteral("连接在应答完整之前断开") : error);
    }
}

void Transfer::dropSocket()
{
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void Transfer::onceAnswered(const HttpAnswer &answer)
{
    dropSocket();
    const QUrl url = QUrl::fromEncoded(m_onceUrl);
    if (QNetworkCookieJar *jar = m_network.shared()->cookieJar()) {
        for (const auto &[name, value] : answer.headers) {
            if (name == "set-cookie")
                jar->setCookiesFromUrl(QNetworkCookie::parseCookies(value), url);
        }
    }
    m_httpStatus = answer.status;
    const QByteArray location = answer.header("location");
    if ((answer.status == 301 || answer.status == 302 || answer.status == 303) &&
        !location.isEmpty()) {
        const QUrl to = url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        if (to.scheme() == QLatin1String("https") || to.scheme() == url.scheme()) {
            followRedirect(to);
            return;
        }
    }
    m_timer->stop();
    m_raw = answer.body;
    m_body = fromGbk(m_raw);
    if (answer.status >= 400)
        complete(Failure::HttpError, QStringLiteral("HTTP %1").arg(answer.status));
    else
        complete(Failure::None, QString());
}

void Transfer::followRedirect(const QUrl &to)
{
    // The request itself is answered; what it points to may be fetched as
    // often as needed, so it goes the ordinary way, within the same time-out.
    QNetworkRequest request(to);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network.shared()->get(request);
    connect(m_reply.data(), &QNetworkReply::finished, this, &Transfer::finish);
}

QString Transfer::getChunk(int size)
{
    const QString piece = m_body.mid(m_chunkPos, size);
    m_chunkPos += piece.size();
    return piece;
}

QString Transfer::readChunks(int size)
{
    QString all;
    for (QString chunk = getChunk(size); !chunk.isEmpty(); chunk = getChunk(size))
        all += chunk;
    return all;
}

void Transfer::finish()
{
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    m_timer->stop();
    m_reply.clear();
    reply->deleteLater();

    if (reply->isOpen())
        m_raw = reply->readAll();
    m_body = fromGbk(m_raw);
    m_httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (m_timedOut) {
        complete(Failure::TimedOut,
                 QStringLiteral("请求超时（%1 秒无应答）").arg(m_timeoutMs / 1000.0));
        return;
    }
    Failure failure = classify(reply->error());
    // Qt can end a reply whose connection closed mid-body as a success (its
    // reader takes a closed socket for the end of a close-delimited answer):
    // an answer shorter than it announced is cut off, not complete. A
    // compressed answer announces its compressed length, so only plain ones.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (failure == Failure::None && announced.isValid() &&
        !reply->hasRawHeader("Content-Encoding") && m_raw.size() < announced.toLongLong()) {
        complete(Failure::ConnectionLost, QStringLiteral("应答不完整（收到 %1 / %2 字节）")
                                              .arg(m_raw.size())
                                              .arg(announced.toLongLong()));
        return;
    }
    // A refused reconnect after part of the request went out (Qt's own
    // re-send, or a redirect after an at-most-once request) says nothing of
    // what the first attempt did.
    if (failure == Failure::NotDelivered && m_bodyMayHaveLeft)
        failure = Failure::ConnectionLost;
    complete(failure, failure == Failure::None ? QString() : reply->errorString());
}

void Transfer::complete(Failure failure, const QString &error)
{
    m_failure = failure;
    m_errorText = error;
    m_state = failure == Failure::None ? ResponseCompleted : Error;
    emit stateChanged(m_state);
}

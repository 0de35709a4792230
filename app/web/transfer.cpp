#include "app/web/transfer.h"

#include "app/core/config.h"
#include "app/core/gbk.h"
#include "app/web/webprofile.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

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

Transfer::Transfer(QObject *parent)
    : QObject(parent),
      m_timeoutMs(currentConfig().transferTimeoutMs > 0 ? currentConfig().transferTimeoutMs
                                                        : 60'000)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
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
}

bool Transfer::execute(const QString &url, const QString &operation, const QString &body,
                       const QString &headerLines)
{
    if (stillExecuting())
        return false;

    QNetworkRequest request(wireUrl(url));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
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
    }

    m_body.clear();
    m_raw.clear();
    m_chunkPos = 0;
    m_state = 0;
    m_failure = Failure::None;
    m_errorText.clear();
    m_httpStatus = 0;
    m_timedOut = false;

    QNetworkAccessManager *nam = WebProfile::instance().network();
    const QByteArray verb = operation.trimmed().toUpper().toLatin1();
    if (verb == "GET") {
        m_reply = nam->get(request);
    } else {
        if (!haveContentType)
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QByteArrayLiteral("application/x-www-form-urlencoded"));
        m_reply = nam->sendCustomRequest(request, verb, toGbk(body));
    }
    connect(m_reply.data(), &QNetworkReply::finished, this, &Transfer::finish);
    m_timer->start(m_timeoutMs);
    return true;
}

QString Transfer::getChunk(int size)
{
    const QString piece = m_body.mid(m_chunkPos, size);
    m_chunkPos += piece.size();
    return piece;
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
        m_failure = Failure::TimedOut;
        m_errorText = QStringLiteral("请求超时（%1 秒无应答）").arg(m_timeoutMs / 1000.0);
    } else {
        m_failure = classify(reply->error());
        if (m_failure != Failure::None)
            m_errorText = reply->errorString();
    }
    m_state = m_failure == Failure::None ? ResponseCompleted : Error;
    emit stateChanged(m_state);
}

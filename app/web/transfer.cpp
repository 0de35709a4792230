#include "app/web/transfer.h"

#include "app/core/gbk.h"
#include "app/web/networkaccess.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <cstring>
#include <functional>

namespace {

// A request body that can be read once and never rewound: when Qt's HTTP
// layer wants to send it again, the reset fails and the reply ends with
// ContentReSendError instead of a second request at the server.
class OneShotBody final : public QIODevice
{
public:
    OneShotBody(QByteArray data, std::function<void()> onRead, QObject *parent)
        : QIODevice(parent), m_data(std::move(data)), m_onRead(std::move(onRead))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    bool seek(qint64) override { return false; }
    bool atEnd() const override { return m_pos >= m_data.size() && QIODevice::atEnd(); }
    qint64 bytesAvailable() const override
    {
        return m_data.size() - m_pos + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        if (m_pos >= m_data.size())
            return -1;
        const qint64 n = qMin(max, qint64(m_data.size() - m_pos));
        if (n > 0 && m_onRead)
            m_onRead();
        memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
    std::function<void()> m_onRead;
};

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
    m_bodyMayHaveLeft = false;

    const QByteArray verb = operation.trimmed().toUpper().toLatin1();
    QNetworkAccessManager *nam = m_atMostOnce ? m_network.once() : m_network.shared();
    if (m_atMostOnce) {
        // A fresh connection, closed after the answer: never a kept-alive one
        // the server may be closing just as the request goes out.
        request.setRawHeader("Connection", "close");
    }
    if (verb == "GET") {
        m_reply = nam->get(request);
    } else {
        if (!haveContentType)
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QByteArrayLiteral("application/x-www-form-urlencoded"));
        const QByteArray data = toGbk(body);
        if (m_atMostOnce) {
            request.setHeader(QNetworkRequest::ContentLengthHeader, data.size());
            request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
            const QPointer<Transfer> self(this);
            auto *device = new OneShotBody(
                data,
                [self] {
                    if (self)
                        self->m_bodyMayHaveLeft = true;
                },
                this);
            m_reply = nam->sendCustomRequest(request, verb, device);
            device->setParent(m_reply.data());
        } else {
            m_reply = nam->sendCustomRequest(request, verb, data);
        }
    }
    connect(m_reply.data(), &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64) {
        if (sent > 0)
            m_bodyMayHaveLeft = true;
    });
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
        m_failure = Failure::TimedOut;
        m_errorText = QStringLiteral("请求超时（%1 秒无应答）").arg(m_timeoutMs / 1000.0);
    } else {
        m_failure = classify(reply->error());
        // A refused reconnect after part of the request went out (Qt's own
        // re-send) says nothing about the first attempt.
        if (m_failure == Failure::NotDelivered && m_bodyMayHaveLeft)
            m_failure = Failure::ConnectionLost;
        if (m_failure != Failure::None)
            m_errorText = reply->errorString();
    }
    m_state = m_failure == Failure::None ? ResponseCompleted : Error;
    emit stateChanged(m_state);
}

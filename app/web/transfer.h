#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class NetworkAccess;
class QNetworkReply;
class QTcpSocket;
struct HttpAnswer;
class QTimer;
class QUrl;

// The header line every form request carries.
inline const QString kFormContentTypeHeader =
    QStringLiteral("Content-Type: application/x-www-form-urlencoded");

// The transfer component: one request at a time, completion reported by
// stateChanged with 12 (response completed) or 11 (error).
class Transfer : public QObject
{
    Q_OBJECT
public:
    static constexpr int ResponseCompleted = 12;
    static constexpr int Error = 11;

    // Why a request ended in state 11. Callers that move money need to know
    // whether the other side can have seen the request at all.
    enum class Failure
    {
        None,
        NotDelivered,   // no byte of the request reached the network
        TimedOut,       // no complete answer within the time-out
        ConnectionLost, // the connection broke after the request may have gone out
        HttpError,      // the server answered with an HTTP error status
    };
    Q_ENUM(Failure)

    explicit Transfer(NetworkAccess &network, QObject *parent = nullptr);
    ~Transfer() override;

    // Starts the request and returns at once; false (and nothing done) while
    // a request is still running. headerLines are "Name: value" lines
    // separated by CR LF. The body is sent in GBK.
    bool execute(const QString &url, const QString &operation = QStringLiteral("GET"),
                 const QString &body = QString(), const QString &headerLines = QString());
    bool stillExecuting() const { return !m_reply.isNull() || m_socket; }

    // Of the last request: the body decoded from GBK, available after stateChanged.
    QString body() const { return m_body; }
    QByteArray rawBody() const { return m_raw; }
    // The body in pieces, as the original chunk loop read it: empty when exhausted.
    QString getChunk(int size);
    // The rest of the body, read in pieces of this size until one comes empty.
    QString readChunks(int size = 1024);
    int state() const { return m_state; }
    Failure failure() const { return m_failure; }
    QString errorText() const { return m_errorText; }
    int httpStatus() const { return m_httpStatus; }

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Requests that move money must reach the server at most once, and the
    // caller must know whether one can have reached it at all. Qt's HTTP layer
    // re-sends a body by itself when a connection closes before the answer,
    // queues requests behind six connections a host, and reads a body before
    // any connection takes it. With this set the request goes out on a
    // connection of its own, written here, exactly once: NotDelivered then
    // means that no byte of it reached the network; anything later that ends
    // without an answer is TimedOut or ConnectionLost. A redirect after it is
    // followed with a GET, as a browser does.
    bool atMostOnce() const { return m_atMostOnce; }
    void setAtMostOnce(bool atMostOnce) { m_atMostOnce = atMostOnce; }
    // Of the running or last request: whether any byte of it may have been
    // handed to the network.
    bool bodyMayHaveLeft() const { return m_bodyMayHaveLeft; }

    // Milliseconds after which a running request is given up (state 11,
    // Failure::TimedOut). Defaults to the configured time-out.
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    void stateChanged(int state);

private:
    void finish();
    void startOnce(const QUrl &url, const QByteArray &verb, const QByteArray &head,
                   const QByteArray &body);
    void onceRead();
    void onceEnded(const QString &error);
    void onceAnswered(const HttpAnswer &answer);
    void dropSocket();
    void followRedirect(const QUrl &to);
    void complete(Failure failure, const QString &error);

    NetworkAccess &m_network;
    QPointer<QNetworkReply> m_reply;
    QTcpSocket *m_socket = nullptr; // the at-most-once request's own connection
    QByteArray m_onceUrl;           // its address, for cookies and redirects
    QByteArray m_onceIn;            // what came back on it so far
    qint64 m_onceOut = 0;           // bytes of it still in the socket's buffer
    QTimer *m_timer = nullptr;
    bool m_timedOut = false;
    QString m_tag;
    QString m_body;
    QByteArray m_raw;
    qsizetype m_chunkPos = 0;
    int m_state = 0;
    Failure m_failure = Failure::None;
    QString m_errorText;
    int m_httpStatus = 0;
    int m_timeoutMs;
    bool m_atMostOnce = false;
    bool m_bodyMayHaveLeft = false;
};

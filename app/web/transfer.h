#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkReply;
class QTimer;

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
        NotDelivered,   // no connection was made: the request never reached the server
        TimedOut,       // no complete answer within the time-out
        ConnectionLost, // the connection broke after the request may have gone out
        HttpError,      // the server answered with an HTTP error status
    };
    Q_ENUM(Failure)

    explicit Transfer(QObject *parent = nullptr);
    ~Transfer() override;

    // Starts the request and returns at once; false (and nothing done) while
    // a request is still running. headerLines are "Name: value" lines
    // separated by CR LF. The body is sent in GBK.
    bool execute(const QString &url, const QString &operation = QStringLiteral("GET"),
                 const QString &body = QString(), const QString &headerLines = QString());
    bool stillExecuting() const { return !m_reply.isNull(); }

    // Of the last request: the body decoded from GBK, available after stateChanged.
    QString body() const { return m_body; }
    QByteArray rawBody() const { return m_raw; }
    // The body in pieces, as the original chunk loop read it: empty when exhausted.
    QString getChunk(int size);
    int state() const { return m_state; }
    Failure failure() const { return m_failure; }
    QString errorText() const { return m_errorText; }
    int httpStatus() const { return m_httpStatus; }

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Milliseconds after which a running request is given up (state 11,
    // Failure::TimedOut). Defaults to the configured time-out.
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    void stateChanged(int state);

private:
    void finish();

    QPointer<QNetworkReply> m_reply;
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
};

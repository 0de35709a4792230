#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;
class QTimer;

// One balance query over TCP: connect, send one message in GBK, collect the
// reply, announce the end with "Close " and close. A reply may come in
// pieces: it is whole when the server closes the connection or nothing more
// has arrived for a short quiet time. A server that cannot be reached or
// never answers ends the query after the time-out.
class BalanceExchange : public QObject
{
    Q_OBJECT
public:
    explicit BalanceExchange(QObject *parent = nullptr);
    ~BalanceExchange() override;

    // Starts a query and returns at once; false, with nothing done, while
    // one is running.
    bool start(const QString &host, quint16 port, const QString &message);
    bool running() const { return !m_socket.isNull(); }
    // Ends a running query without a report, as closing the window does.
    void abort();

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int quietMs() const { return m_quietMs; }
    void setQuietMs(int ms) { m_quietMs = ms; }

signals:
    void connected(quint16 localPort, quint16 remotePort);
    void replied(const QString &reply);
    // Could not connect, the connection broke, or no reply in time.
    void failed(const QString &description);

private:
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onError();
    void onTimeout();
    // Closes the connection, "Close " first when it is open.
    void close();

    QPointer<QTcpSocket> m_socket;
    QTimer *m_timeout;
    QTimer *m_quiet;
    QByteArray m_reply;
    int m_timeoutMs = 15'000;
    int m_quietMs = 500;
};

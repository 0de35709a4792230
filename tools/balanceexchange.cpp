#include "tools/balanceexchange.h"

#include "app/core/gbk.h"
#include "tools/balancequery.h"

#include <QTcpSocket>
#include <QTimer>

BalanceExchange::BalanceExchange(QObject *parent)
    : QObject(parent), m_timeout(new QTimer(this)), m_quiet(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    m_quiet->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, &BalanceExchange::onTimeout);
    // Quiet after some bytes: the server has said all it will say.
    connect(m_quiet, &QTimer::timeout, this, [this] {
        const QString reply = fromGbk(m_reply);
        close();
        emit replied(reply);
    });
}

BalanceExchange::~BalanceExchange()
{
    abort();
}

bool BalanceExchange::start(const QString &host, quint16 port, const QString &message)
{
    if (running())
        return false;
    m_reply.clear();
    m_socket = new QTcpSocket(this);
    QTcpSocket *socket = m_socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket, message] {
        emit connected(socket->localPort(), socket->peerPort());
        if (m_socket == socket)
            socket->write(toGbk(message));
    });
    connect(socket, &QTcpSocket::readyRead, this, &BalanceExchange::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &BalanceExchange::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &BalanceExchange::onError);
    m_timeout->start(m_timeoutMs);
    socket->connectToHost(host, port);
    return true;
}

void BalanceExchange::abort()
{
    if (running())
        close();
}

void BalanceExchange::onReadyRead()
{
    if (!m_socket)
        return;
    m_reply += m_socket->readAll();
    if (!m_reply.isEmpty())
        m_quiet->start(m_quietMs);
}

void BalanceExchange::onDisconnected()
{
    if (!m_socket)
        return;
    m_reply += m_socket->readAll();
    const QString reply = fromGbk(m_reply);
    const bool answered = !m_reply.isEmpty();
    close();
    if (answered)
        emit replied(reply);
    else
        emit failed(QStringLiteral("服务器关闭了联接，没有回复"));
}

void BalanceExchange::onError()
{
    if (!m_socket)
        return;
    // A server that closes after its reply is the end of a reply, not an error.
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString description = QStringLiteral("联接服务器失败：") + m_socket->errorString();
    close();
    emit failed(description);
}

void BalanceExchange::onTimeout()
{
    if (!m_socket)
        return;
    const bool answered = !m_reply.isEmpty();
    const QString reply = fromGbk(m_reply);
    const bool connectedNow = m_socket->state() == QAbstractSocket::ConnectedState;
    close();
    if (answered)
        emit replied(reply);
    else if (connectedNow)
        emit failed(QStringLiteral("查询超时，服务器没有回复"));
    else
        emit failed(QStringLiteral("查询超时，联接不上服务器"));
}

void BalanceExchange::close()
{
    m_timeout->stop();
    m_quiet->stop();
    QTcpSocket *socket = m_socket;
    m_socket.clear();
    if (!socket)
        return;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(toGbk(kCloseMessage));
        // Out at once, so the server hears it even when the window goes now.
        socket->flush();
        // Leaves once what is written has gone out.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
    } else {
        socket->abort();
        socket->deleteLater();
    }
}

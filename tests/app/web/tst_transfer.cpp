// What an at-most-once Transfer says of a request that got no answer,
// against small local servers that misbehave in one way each: "not
// delivered" only when no byte of it reached the network, "unknown" (timed
// out or cut off) whenever the server may have seen it.
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

enum class Behaviour
{
    Answer,         // answers at once, with a length
    AnswerChunked,  // answers at once, in chunks
    AnswerAndClose, // answers at once, no length, then hangs up
    Redirect,       // 303 to /done, which answers
    NeverRead,      // accepts the connection and reads nothing
    ReadAndClose,   // reads the request whole and hangs up without a word
    AnswerLate,     // answers after 1.5 s
    Slow,           // /slow answers after 1.5 s, anything else at once
};

// A one-thread HTTP server good enough for one request a connection.
class LocalServer : public QTcpServer
{
public:
    explicit LocalServer(Behaviour behaviour) : m_behaviour(behaviour)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                if (m_behaviour == Behaviour::NeverRead) {
                    m_idle.append(socket); // the kernel takes the bytes; nobody reads them
                    continue;
                }
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            }
        });
    }

    QStringList requests; // "METHOD path body" of every whole request read
    QByteArray lastCookieHeader;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        qsizetype length = 0;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
            if (line.toLower().startsWith("cookie:"))
                lastCookieHeader = line.mid(7).trimmed();
        }
        if (buffer.size() < end + 4 + length)
            return;
        const QList<QByteArray> first = lines.first().trimmed().split(' ');
        const QByteArray path = first.value(1);
        requests.append(
            QString::fromLatin1(first.value(0) + ' ' + path + ' ' + buffer.mid(end + 4, length)));
        m_buffers.remove(socket);
        respond(socket, path);
    }

    void respond(QTcpSocket *socket, const QByteArray &path)
    {
        const QByteArray body = "<title>ok " + path + "</title>";
        const QByteArray plain = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                 QByteArray::number(body.size()) +
                                 "\r\nSet-Cookie: seen=1; Path=/\r\n\r\n" + body;
        switch (m_behaviour) {
        case Behaviour::Answer:
            socket->write(plain);
            break;
        case Behaviour::AnswerChunked:
            socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                          QByteArray::number(5, 16) + "\r\n" + body.left(5) + "\r\n" +
                          QByteArray::number(body.size() - 5, 16) + "\r\n" + body.mid(5) +
                          "\r\n0\r\n\r\n");
            break;
        case Behaviour::AnswerAndClose:
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
            return;
        case Behaviour::Redirect:
            if (path == "/done")
                socket->write(plain);
            else
                socket->write("HTTP/1.1 303 See Other\r\nLocation: /done\r\nContent-Length: "
                              "0\r\n\r\n");
            break;
        case Behaviour::ReadAndClose:
            socket->disconnectFromHost();
            return;
        case Behaviour::AnswerLate:
        case Behaviour::Slow:
            if (m_behaviour == Behaviour::Slow && path != "/slow") {
                socket->write(plain);
                break;
            }
            QTimer::singleShot(1500, socket, [socket, plain] {
                socket->write(plain);
                socket->disconnectFromHost();
            });
            return;
        case Behaviour::NeverRead:
            return;
        }
        socket->disconnectFromHost();
    }

    Behaviour m_behaviour;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QTcpSocket *> m_idle;
};

bool waitFor(Transfer &transfer)
{
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    return done.wait(20000);
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void classification_data();
    void classification();
    void seventhIsNotQueuedBehindSixSlowOnes();
    void cookiesTravelBothWays();
};

void TestTransfer::classification_data()
{
    QTest::addColumn<bool>("listening");
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("failure");
    QTest::addColumn<bool>("mayHaveLeft");
    QTest::addColumn<QStringList>("received");
    QTest::addColumn<QString>("body");

    const QStringList once{QStringLiteral("POST /pay key=K1&sum=10")};
    const auto b = [](Behaviour x) { return int(x); };
    const auto f = [](Transfer::Failure x) { return int(x); };
    using F = Transfer::Failure;
    QTest::newRow("refused: nothing left")
        << false << b(Behaviour::Answer) << Transfer::Error << f(F::NotDelivered) << false
        << QStringList() << QString();
    QTest::newRow("accepted, never read: unknown")
        << true << b(Behaviour::NeverRead) << Transfer::Error << f(F::TimedOut) << true
        << QStringList() << QString();
    QTest::newRow("read, then hung up: unknown")
        << true << b(Behaviour::ReadAndClose) << Transfer::Error << f(F::ConnectionLost) << true
        << once << QString();
    QTest::newRow("answered after the time-out: unknown")
        << true << b(Behaviour::AnswerLate) << Transfer::Error << f(F::TimedOut) << true << once
        << QString();
    QTest::newRow("answer with its length")
        << true << b(Behaviour::Answer) << Transfer::ResponseCompleted << f(F::None) << true << once
        << QStringLiteral("<title>ok /pay</title>");
    QTest::newRow("chunked answer")
        << true << b(Behaviour::AnswerChunked) << Transfer::ResponseCompleted << f(F::None) << true
        << once << QStringLiteral("<title>ok /pay</title>");
    QTest::newRow("answer ended by hanging up")
        << true << b(Behaviour::AnswerAndClose) << Transfer::ResponseCompleted << f(F::None) << true
        << once << QStringLiteral("<title>ok /pay</title>");
    QTest::newRow("redirect: fetched once more with GET")
        << true << b(Behaviour::Redirect) << Transfer::ResponseCompleted << f(F::None) << true
        << QStringList{once.first(), QStringLiteral("GET /done ")}
        << QStringLiteral("<title>ok /done</title>");
}

void TestTransfer::classification()
{
    QFETCH(bool, listening);
    QFETCH(int, behaviour);
    QFETCH(int, state);
    QFETCH(int, failure);
    QFETCH(bool, mayHaveLeft);
    QFETCH(QStringList, received);
    QFETCH(QString, body);

    LocalServer server{Behaviour(behaviour)};
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    if (!listening)
        server.close();

    NetworkAccess network(800);
    Transfer transfer(network);
    transfer.setAtMostOnce(true);
    QVERIFY(transfer.execute(QStringLiteral("http://127.0.0.1:%1/pay").arg(port),
                             QStringLiteral("POST"), QStringLiteral("key=K1&sum=10")));
    QVERIFY(waitFor(transfer));
    QTest::qWait(100); // room for a second request that must not come
    QCOMPARE(transfer.state(), state);
    QCOMPARE(int(transfer.failure()), failure);
    QCOMPARE(transfer.bodyMayHaveLeft(), mayHaveLeft);
    QCOMPARE(server.requests, received);
    QCOMPARE(transfer.body(), body);
    QVERIFY(!transfer.stillExecuting());
    QCOMPARE(transfer.errorText().isEmpty(), state == Transfer::ResponseCompleted);
}

void TestTransfer::seventhIsNotQueuedBehindSixSlowOnes()
{
    // Seven at-most-once requests to one host, as the recharge components
    // send them in a burst: the seventh must go out at once, not wait behind
    // the six for a connection and run out of time unsent.
    LocalServer server{Behaviour::Slow};
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    NetworkAccess network(5000);
    std::vector<std::unique_ptr<Transfer>> slow;
    for (int i = 0; i < 6; ++i) {
        slow.push_back(std::make_unique<Transfer>(network));
        slow.back()->setAtMostOnce(true);
        QVERIFY(slow.back()->execute(base + QStringLiteral("slow"), QStringLiteral("POST"),
                                     QStringLiteral("key=S%1").arg(i)));
    }
    Transfer seventh(network);
    seventh.setAtMostOnce(true);
    seventh.setTimeoutMs(1000);
    QVERIFY(seventh.execute(base + QStringLiteral("fast"), QStringLiteral("POST"),
                            QStringLiteral("key=F")));
    QVERIFY(waitFor(seventh));
    QCOMPARE(seventh.state(), Transfer::ResponseCompleted);
    QCOMPARE(seventh.body(), QStringLiteral("<title>ok /fast</title>"));
    for (auto &t : slow) {
        if (t->stillExecuting())
            QVERIFY(waitFor(*t));
        QCOMPARE(t->state(), Transfer::ResponseCompleted);
    }
    QCOMPARE(server.requests.size(), 7);
}

void TestTransfer::cookiesTravelBothWays()
{
    // The shops know the seller by the cookies the browser's login left.
    LocalServer server{Behaviour::Answer};
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("http://127.0.0.1:%1/pay").arg(server.serverPort());
    NetworkAccess network;
    auto *jar = new QNetworkCookieJar;
    network.setCookieJar(jar);
    QNetworkCookie seller("seller", "S1");
    seller.setPath(QStringLiteral("/"));
    jar->setCookiesFromUrl({seller}, QUrl(url));
    Transfer transfer(network);
    transfer.setAtMostOnce(true);
    QVERIFY(transfer.execute(url, QStringLiteral("POST"), QStringLiteral("a=1")));
    QVERIFY(waitFor(transfer));
    QCOMPARE(server.lastCookieHeader, QByteArray("seller=S1"));
    const auto cookies = jar->cookiesForUrl(QUrl(url));
    QVERIFY(std::any_of(cookies.begin(), cookies.end(),
                        [](const QNetworkCookie &c) { return c.name() == "seen"; }));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"

// Browser and Transfer against the simulator over loopback, with the real
// WebEngine profile shared by the whole test executable.
#include "app/core/gbk.h"
#include "app/web/browser.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using sim::FaultKind;

class TestWeb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void cookiesAreShared();
    void bodySerialisation_data();
    void bodySerialisation();
    void snapshotIsTakenBeforeDocumentComplete();
    void supersededNavigationIsNotReported();
    void failedNavigationIsReported();
    void formFields();
    void windowClosingCanBeCancelled();

    void transferPostsGbkBodyAndHeaders();
    void transferReadsBodies_data();
    void transferReadsBodies();
    void transferRefusesWhileBusy();
    void transferFailures_data();
    void transferFailures();
    void transferNotDelivered();
    void transferAtMostOnce_data();
    void transferAtMostOnce();
    void transferTimesOutAndRecovers();

private:
    bool load(Browser &browser, const QString &url);
    bool run(Transfer &transfer, const QString &url, const QString &op = QStringLiteral("GET"),
             const QString &body = QString(), const QString &headers = QString());
    QString page(const QString &path) const { return m_env.sim().rootUrl() + path.mid(1); }

    SimEnvironment m_env;
    QString m_markup; // body of the page /test/markup
};

bool TestWeb::load(Browser &browser, const QString &url)
{
    QSignalSpy done(&browser, &Browser::documentComplete);
    browser.navigate(url);
    return done.wait(30000);
}

bool TestWeb::run(Transfer &transfer, const QString &url, const QString &op, const QString &body,
                  const QString &headers)
{
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    if (!transfer.execute(url, op, body, headers))
        return false;
    return done.wait(30000);
}

void TestWeb::initTestCase()
{
    WebProfile::setOffTheRecord(true);
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    m_env.sim().addPage(QStringLiteral("/test/markup"), [this](const sim::Request &, sim::State &) {
        sim::Page p;
        p.title = QStringLiteral("标记");
        p.body = m_markup;
        return p;
    });
    m_env.sim().addPage(QStringLiteral("/test/raw"), [](const sim::Request &r, sim::State &) {
        sim::Page p;
        p.useRaw = true;
        p.contentType = "text/plain; charset=gbk";
        const int n = r.query.value(QStringLiteral("n")).toInt();
        for (int i = 0; i < n; ++i)
            p.raw += (i % 7 == 0) ? QStringLiteral("充") : QString(QLatin1Char('a' + i % 26));
        return p;
    });
}

void TestWeb::init()
{
    m_env.sim().clearFaults();
    m_env.sim().clearRequests();
}

void TestWeb::cookiesAreShared()
{
    // Browser to Transfer: the seller's shop login.
    Browser browser;
    QVERIFY(load(browser, page(QStringLiteral("/cookie/set?name=shop&value=seller1"))));
    QTRY_VERIFY_WITH_TIMEOUT(!WebProfile::instance().cookieJar()->cookies().isEmpty(), 5000);
    Transfer transfer(WebProfile::instance().networkAccess());
    QVERIFY(run(transfer, page(QStringLiteral("/cookie/echo"))));
    QCOMPARE(transfer.state(), Transfer::ResponseCompleted);
    QVERIFY2(transfer.body().contains(QStringLiteral("shop=seller1")), qPrintable(transfer.body()));

    // Transfer to Browser.
    QVERIFY(run(transfer, page(QStringLiteral("/cookie/set?name=token&value=t2"))));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            load(browser, page(QStringLiteral("/cookie/echo")));
            return browser.bodyHtml().contains(QStringLiteral("token=t2"));
        }(),
        10000);
}

void TestWeb::bodySerialisation_data()
{
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("expected");

    QTest::newRow("custom element upper case") << QStringLiteral("<PRODUCT_NAME>x</PRODUCT_NAME>")
                                               << QStringLiteral("<PRODUCT_NAME>x</PRODUCT_NAME>");
    QTest::newRow("simple attribute values unquoted")
        << QStringLiteral("<table><tr><td id=\"name\" height=\"47\">a</td></tr></table>")
        << QStringLiteral("<TD id=name height=47>a</TD>");
    QTest::newRow("values with blanks quoted")
        << QStringLiteral("<div class=\"a b\" title='x=1'>t</div>")
        << QStringLiteral("<DIV class=\"a b\" title=\"x=1\">t</DIV>");
    QTest::newRow("comments kept") << QStringLiteral("<p>1</p><!--start-->v<!--end-->")
                                   << QStringLiteral("<P>1</P><!--start-->v<!--end-->");
    QTest::newRow("text escaped, void element")
        << QStringLiteral("a &amp; b<br>c&nbsp;d") << QStringLiteral("a &amp; b<BR>c&nbsp;d");
    QTest::newRow("chinese text") << QStringLiteral("<span>充值成功</span>")
                                  << QStringLiteral("<SPAN>充值成功</SPAN>");
}

void TestWeb::bodySerialisation()
{
    QFETCH(QString, markup);
    QFETCH(QString, expected);
    m_markup = markup;
    Browser browser;
    QVERIFY(load(browser, page(QStringLiteral("/test/markup"))));
    QVERIFY2(browser.bodyHtml().contains(expected), qPrintable(browser.bodyHtml()));
}

void TestWeb::snapshotIsTakenBeforeDocumentComplete()
{
    m_markup = QStringLiteral("<b>first</b>");
    Browser browser;
    QStringList seen;
    connect(&browser, &Browser::documentComplete, this, [&](const QString &url) {
        seen << browser.title() + QLatin1Char('|') + browser.bodyHtml() + QLatin1Char('|') +
                    QString::number(url.contains(QStringLiteral("/test/markup")));
    });
    QVERIFY(load(browser, page(QStringLiteral("/test/markup"))));
    m_markup = QStringLiteral("<b>second</b>");
    QVERIFY(load(browser, page(QStringLiteral("/test/markup?again"))));
    QCOMPARE(seen, QStringList({QStringLiteral("标记|<B>first</B>|1"),
                                QStringLiteral("标记|<B>second</B>|1")}));
}

void TestWeb::supersededNavigationIsNotReported()
{
    m_env.sim().setFault(QStringLiteral("/echo"), {FaultKind::Delay, 1500});
    m_markup = QStringLiteral("<b>second</b>");
    Browser browser;
    QSignalSpy done(&browser, &Browser::documentComplete);
    browser.navigate(page(QStringLiteral("/echo?first")));
    QTest::qWait(200);
    browser.navigate(page(QStringLiteral("/test/markup")));
    QVERIFY(done.wait(30000));
    QTest::qWait(2000); // the first request is answered in the meantime
    QCOMPARE(done.count(), 1);
    QCOMPARE(browser.bodyHtml(), QStringLiteral("<B>second</B>"));
}

void TestWeb::failedNavigationIsReported()
{
    m_env.sim().setFault(QStringLiteral("/echo"), {FaultKind::Drop, 0});
    Browser browser;
    QVERIFY(load(browser, page(QStringLiteral("/echo"))));
    QVERIFY(!browser.loadSucceeded());
    QVERIFY(browser.bodyHtml().isEmpty());
    QVERIFY(browser.url().contains(QStringLiteral("/echo")));
}

void TestWeb::formFields()
{
    m_markup = QStringLiteral("<form action=\"/echo\" method=\"post\"><input id=\"jymm\" "
                              "name=\"jymm\" value=\"1\"><input type=\"submit\" id=\"Submit\">"
                              "</form>");
    Browser browser;
    QVERIFY(load(browser, page(QStringLiteral("/test/markup"))));
    QCOMPARE(browser.elementValue(QStringLiteral("jymm")), QStringLiteral("1"));
    browser.setElementValue(QStringLiteral("jymm"), QStringLiteral("888888"));
    QCOMPARE(browser.elementValue(QStringLiteral("jymm")), QStringLiteral("888888"));
    QSignalSpy done(&browser, &Browser::documentComplete);
    browser.clickElement(QStringLiteral("Submit"));
    QVERIFY(done.wait(30000));
    QVERIFY2(browser.bodyHtml().contains(QStringLiteral("jymm=888888")),
             qPrintable(browser.bodyHtml()));
}

void TestWeb::windowClosingCanBeCancelled()
{
    m_markup = QStringLiteral("<script>setTimeout(function(){window.close();}, 10);</script>");
    Browser browser;
    QWidget window;
    browser.createView(&window);
    window.show();
    bool *seenCancel = nullptr;
    int closing = 0;
    connect(&browser, &Browser::windowClosing, this, [&](bool, bool *cancel) {
        ++closing;
        seenCancel = cancel;
        *cancel = true;
    });
    QVERIFY(load(browser, page(QStringLiteral("/test/markup"))));
    QTRY_COMPARE_WITH_TIMEOUT(closing, 1, 10000);
    QVERIFY(seenCancel != nullptr);
    QVERIFY(window.isVisible());
    QVERIFY(browser.view()->isVisible());

    // Not cancelled: the browser leaves its window, the window stays.
    Browser other;
    other.createView(&window)->show();
    QVERIFY(other.view()->isVisible());
    connect(&other, &Browser::windowClosing, this, [&](bool, bool *) { ++closing; });
    QVERIFY(load(other, page(QStringLiteral("/test/markup"))));
    QTRY_COMPARE_WITH_TIMEOUT(closing, 2, 10000);
    QVERIFY(!other.view()->isVisible());
    QVERIFY(window.isVisible());
}

void TestWeb::transferPostsGbkBodyAndHeaders()
{
    Transfer transfer(WebProfile::instance().networkAccess());
    transfer.setTag(QStringLiteral("获取"));
    const QString body = QStringLiteral("a=1&name=") + escapeValue(QStringLiteral("张三&x")) +
                         QStringLiteral("&note=充值");
    QVERIFY(run(transfer, page(QStringLiteral("/echo")), QStringLiteral("POST"), body,
                QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n"
                               "Referer: http://shop.example/list")));
    QCOMPARE(transfer.state(), Transfer::ResponseCompleted);
    QCOMPARE(transfer.tag(), QStringLiteral("获取"));

    const auto logged = m_env.requestsTo(QStringLiteral("/echo"));
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged[0].method, QStringLiteral("POST"));
    QCOMPARE(logged[0].body, QByteArray("a=1&name=%D5%C5%C8%FD%26x&note=") + toGbk(u"充值"));
    bool referer = false, contentType = false;
    for (const auto &[name, value] : logged[0].headers) {
        referer |= name.compare("Referer", Qt::CaseInsensitive) == 0 &&
                   value == "http://shop.example/list";
        contentType |= name.compare("Content-Type", Qt::CaseInsensitive) == 0 &&
                       value == "application/x-www-form-urlencoded";
    }
    QVERIFY(referer);
    QVERIFY(contentType);
}

void TestWeb::transferReadsBodies_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("short") << 10;
    QTest::newRow("over 1024 characters") << 5000;
    QTest::newRow("catalogue size") << 300000;
}

void TestWeb::transferReadsBodies()
{
    QFETCH(int, length);
    QString expected;
    for (int i = 0; i < length; ++i)
        expected += (i % 7 == 0) ? QStringLiteral("充") : QString(QLatin1Char('a' + i % 26));

    Transfer transfer(WebProfile::instance().networkAccess());
    QVERIFY(run(transfer, page(QStringLiteral("/test/raw?n=%1").arg(length))));
    QCOMPARE(transfer.state(), Transfer::ResponseCompleted);
    QCOMPARE(transfer.body().size(), expected.size());
    QVERIFY(transfer.body() == expected);

    // The chunk loop of the callers reads the same text.
    QString chunks;
    for (QString piece = transfer.getChunk(1024); !piece.isEmpty(); piece = transfer.getChunk(1024))
        chunks += piece;
    QVERIFY(chunks == expected);
}

void TestWeb::transferRefusesWhileBusy()
{
    m_env.sim().setFault(QStringLiteral("/echo"), {FaultKind::Delay, 800});
    Transfer transfer(WebProfile::instance().networkAccess());
    QSignalSpy done(&transfer, &Transfer::stateChanged);
    QVERIFY(transfer.execute(page(QStringLiteral("/echo?first"))));
    QVERIFY(transfer.stillExecuting());
    QVERIFY(!transfer.execute(page(QStringLiteral("/echo?second"))));
    QVERIFY(done.wait(30000));
    QCOMPARE(done.count(), 1);
    QVERIFY(!transfer.stillExecuting());
    QVERIFY(transfer.body().contains(QStringLiteral("first")));
    QCOMPARE(m_env.requestsTo(QStringLiteral("/echo")).size(), 1);
}

void TestWeb::transferFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("failure");
    QTest::newRow("server error") << int(FaultKind::Error500) << Transfer::Error
                                  << int(Transfer::Failure::HttpError);
    QTest::newRow("dropped connection")
        << int(FaultKind::Drop) << Transfer::Error << int(Transfer::Failure::ConnectionLost);
    QTest::newRow("body cut short")
        << int(FaultKind::Truncate) << Transfer::Error << int(Transfer::Failure::ConnectionLost);
    QTest::newRow("garbage is still an answer")
        << int(FaultKind::Garbage) << Transfer::ResponseCompleted << int(Transfer::Failure::None);
}

void TestWeb::transferFailures()
{
    QFETCH(int, kind);
    QFETCH(int, state);
    QFETCH(int, failure);
    m_env.sim().setFault(QStringLiteral("/echo"), {FaultKind(kind), 0});
    Transfer transfer(WebProfile::instance().networkAccess());
    QVERIFY(run(transfer, page(QStringLiteral("/echo")), QStringLiteral("POST"),
                QStringLiteral("x=1")));
    QCOMPARE(transfer.state(), state);
    QCOMPARE(int(transfer.failure()), failure);
    QVERIFY(!transfer.stillExecuting());
}

void TestWeb::transferNotDelivered()
{
    // A port that nothing listens on any more.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();

    Transfer transfer(WebProfile::instance().networkAccess());
    QVERIFY(run(transfer, QStringLiteral("http://127.0.0.1:%1/x").arg(port), QStringLiteral("POST"),
                QStringLiteral("a=1")));
    QCOMPARE(transfer.state(), Transfer::Error);
    QCOMPARE(transfer.failure(), Transfer::Failure::NotDelivered);
    QVERIFY(!transfer.errorText().isEmpty());
}

namespace {

// Reads each request whole and hangs up without a word, as a platform does
// that restarts, or a proxy that closes a connection it has just passed on.
class HangUpServer : public QTcpServer
{
public:
    HangUpServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray &buffer = m_buffers[socket];
                    buffer += socket->readAll();
                    const qsizetype end = buffer.indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    qsizetype length = 0;
                    for (const QByteArray &line : buffer.left(end).split('\n')) {
                        if (line.toLower().startsWith("content-length:"))
                            length = line.mid(15).trimmed().toLongLong();
                    }
                    if (buffer.size() < end + 4 + length)
                        return;
                    if (buffer.startsWith("POST "))
                        ++posts;
                    m_buffers.remove(socket);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    int posts = 0;

private:
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

void TestWeb::transferAtMostOnce_data()
{
    QTest::addColumn<bool>("atMostOnce");
    QTest::addColumn<int>("posts");
    // Qt 6.4 sends a buffered body again by itself on a new connection: the
    // reason the mode exists.
    QTest::newRow("ordinary request, re-sent by Qt") << false << 2;
    QTest::newRow("at most once") << true << 1;
}

void TestWeb::transferAtMostOnce()
{
    QFETCH(bool, atMostOnce);
    QFETCH(int, posts);
    HangUpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Transfer transfer(WebProfile::instance().networkAccess());
    transfer.setAtMostOnce(atMostOnce);
    QVERIFY(run(transfer, QStringLiteral("http://127.0.0.1:%1/pay").arg(server.serverPort()),
                QStringLiteral("POST"), QStringLiteral("key=K1&sum=10")));
    QTest::qWait(300); // room for a re-send that must not come
    QCOMPARE(server.posts, posts);
    QCOMPARE(transfer.state(), Transfer::Error);
    // The server had the whole request: whatever Qt says, it is not "not delivered".
    QCOMPARE(transfer.failure(), Transfer::Failure::ConnectionLost);
    QVERIFY(transfer.bodyMayHaveLeft());

    // Nothing listens: nothing left, and that is known.
    const quint16 port = server.serverPort();
    server.close();
    QVERIFY(run(transfer, QStringLiteral("http://127.0.0.1:%1/pay").arg(port),
                QStringLiteral("POST"), QStringLiteral("key=K2")));
    QCOMPARE(transfer.failure(), Transfer::Failure::NotDelivered);
    QVERIFY(!transfer.bodyMayHaveLeft());

    // And a good answer still reads as one.
    QVERIFY(run(transfer, page(QStringLiteral("/echo")), QStringLiteral("POST"),
                QStringLiteral("key=K3")));
    QCOMPARE(transfer.state(), Transfer::ResponseCompleted);
    QVERIFY(transfer.body().contains(QStringLiteral("key=K3")));
}

void TestWeb::transferTimesOutAndRecovers()
{
    m_env.sim().setFault(QStringLiteral("/echo"), {FaultKind::Delay, 5000});
    Transfer transfer(WebProfile::instance().networkAccess());
    transfer.setTimeoutMs(300);
    QVERIFY(run(transfer, page(QStringLiteral("/echo"))));
    QCOMPARE(transfer.state(), Transfer::Error);
    QCOMPARE(transfer.failure(), Transfer::Failure::TimedOut);
    QVERIFY(!transfer.stillExecuting());

    // The control is free for the next request.
    m_env.sim().clearFaults();
    transfer.setTimeoutMs(30000);
    QVERIFY(run(transfer, page(QStringLiteral("/echo?next"))));
    QCOMPARE(transfer.state(), Transfer::ResponseCompleted);
    QVERIFY(transfer.body().contains(QStringLiteral("next")));
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PrompterGuard prompter;
    TestWeb test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_web.moc"

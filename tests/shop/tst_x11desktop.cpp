// The messenger hand-over on a real X server (run under xvfb-run): the
// project's small messenger shows the chat "b1 - s1", and the card code
// arrives in its text box and is sent.
#include "shop/desktop/x11desktop.h"
#include "shop/messenger.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestX11Desktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void codeArrivesInTheChat_data();
    void codeArrivesInTheChat();
    void nothingIsPressedWithoutTheWindow();
    void focusStolenWhileTyping();

private:
    // The messenger's text: what it sent, one "<title>\t<text>" line each.
    QString sent() const;

    X11Desktop m_desktop;
    QTemporaryDir m_dir;
    QProcess m_messenger;
};

void TestX11Desktop::initTestCase()
{
    if (!m_desktop.available())
        QSKIP("no X display: run under xvfb-run");
    QVERIFY(m_dir.isValid());
}

void TestX11Desktop::init()
{
    QFile::remove(m_dir.filePath(QStringLiteral("sent.txt")));
    m_messenger.start(QStringLiteral(MESSENGER_SIM),
                      {QStringLiteral("--chat"), QStringLiteral("b1"), QStringLiteral("--seller"),
                       QStringLiteral("s1"), QStringLiteral("--out"),
                       m_dir.filePath(QStringLiteral("sent.txt"))});
    QVERIFY(m_messenger.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop.findTopLevel(QStringLiteral("b1 - s1")) != 0, 20000);
}

void TestX11Desktop::cleanup()
{
    if (m_messenger.state() != QProcess::NotRunning) {
        m_messenger.kill();
        m_messenger.waitForFinished();
    }
}

QString TestX11Desktop::sent() const
{
    QFile file(m_dir.filePath(QStringLiteral("sent.txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestX11Desktop::codeArrivesInTheChat_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("plain") << "CARD-0001";
    QTest::newRow("holding || and blanks") << "AB12||CD 34";
}

void TestX11Desktop::codeArrivesInTheChat()
{
    QFETCH(QString, code);
    MessengerWindows windows;
    windows.classChain.clear(); // the small messenger's window takes the text itself
    MessengerHandOver messenger(
        &m_desktop, QStringLiteral("http://127.0.0.1:1/"), [] { return QStringLiteral("s1"); },
        windows);
    QSignalSpy done(&messenger, &MessengerHandOver::handedOver);
    QSignalSpy failed(&messenger, &MessengerHandOver::handOverFailed);

    messenger.handOver(QStringLiteral("b1"), code);
    messenger.找窗口tick();
    QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().at(2).toString()));
    QCOMPARE(done.size(), 1);
    QCOMPARE(messenger.chatProcess(), m_messenger.processId());
    // Sent once: Ctrl+Enter sends it, the Enter after it finds the box empty.
    QTRY_COMPARE_WITH_TIMEOUT(sent(), QStringLiteral("b1 - s1\t") + code + QLatin1Char('\n'),
                              20000);

    // The close request ends the chat, and with it the small messenger.
    messenger.关闭窗口tick();
    QVERIFY(m_messenger.waitForFinished(20000));
    QCOMPARE(sent().count(QLatin1Char('\n')), 1);
}

void TestX11Desktop::nothingIsPressedWithoutTheWindow()
{
    // Another title: no window, so nothing is typed or pressed anywhere.
    QCOMPARE(m_desktop.findTopLevel(QStringLiteral("b1 - s")), DesktopWindows::WindowId(0));
    QCOMPARE(m_desktop.findTopLevel(QStringLiteral("B1 - S1")), DesktopWindows::WindowId(0));
    const DesktopWindows::WindowId chat = m_desktop.findTopLevel(QStringLiteral("b1 - s1"));
    QCOMPARE(m_desktop.findChild(chat, 0, QStringLiteral("SplitterBar")),
             DesktopWindows::WindowId(0));
    QVERIFY(!m_desktop.SendKeyCombo(0, DesktopWindows::kEnter));
    QTest::qWait(300);
    QCOMPARE(sent(), QString());
}

void TestX11Desktop::focusStolenWhileTyping()
{
    // This chat opens a second window that takes the focus once three
    // characters are in: the rest of the code must go nowhere, and no Enter
    // may be pressed in either window.
    cleanup();
    m_messenger.start(QStringLiteral(MESSENGER_SIM),
                      {QStringLiteral("--chat"), QStringLiteral("b1"), QStringLiteral("--seller"),
                       QStringLiteral("s1"), QStringLiteral("--out"),
                       m_dir.filePath(QStringLiteral("sent.txt")), QStringLiteral("--steal-after"),
                       QStringLiteral("3")});
    QVERIFY(m_messenger.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop.findTopLevel(QStringLiteral("b1 - s1")) != 0, 20000);
    MessengerWindows windows;
    windows.classChain.clear();
    MessengerHandOver messenger(
        &m_desktop, QStringLiteral("http://127.0.0.1:1/"), [] { return QStringLiteral("s1"); },
        windows);
    QSignalSpy done(&messenger, &MessengerHandOver::handedOver);
    QSignalSpy failed(&messenger, &MessengerHandOver::handOverFailed);

    // Long enough that the second window is up well before the end, however
    // slowly the small messenger answers.
    messenger.handOver(QStringLiteral("b1"), QStringLiteral("CARD-0123456789").repeated(15));
    messenger.找窗口tick();
    QCOMPARE(done.size(), 0);
    QCOMPARE(failed.size(), 1);
    QVERIFY(m_desktop.findTopLevel(QStringLiteral("弹窗")) != 0);
    QTest::qWait(500);
    QCOMPARE(sent(), QString());
}

QTEST_GUILESS_MAIN(TestX11Desktop)
#include "tst_x11desktop.moc"

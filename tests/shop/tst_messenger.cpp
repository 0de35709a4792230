// The messenger hand-over on a recorded desktop: what it looks for, what it
// types and presses, in which order, and how each failure ends.
#include "shop/messenger.h"
#include "tests/support/recordingdesktop.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

using WindowId = DesktopWindows::WindowId;

// A chat window the way the messenger program builds it: splitter bar, two
// standard windows, the rich edit box in the second one.
WindowId addChatWindow(RecordingDesktop &desktop, const QString &title, WindowId *input)
{
    const WindowId chat = desktop.addTopLevel(title);
    const WindowId bar = desktop.addChild(chat, QStringLiteral("SplitterBar"));
    const WindowId first = desktop.addChild(bar, QStringLiteral("StandardWindow"));
    desktop.addChild(first, QStringLiteral("RichEditComponent")); // the history, not the input
    const WindowId second = desktop.addChild(bar, QStringLiteral("StandardWindow"));
    *input = desktop.addChild(second, QStringLiteral("RichEditComponent"));
    return chat;
}

} // namespace

class TestMessenger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void titleAndChain_data();
    void titleAndChain();
    void dispatchLink_data();
    void dispatchLink();
    void codeIsTypedSentAndClosed_data();
    void codeIsTypedSentAndClosed();
    void failedHandOvers_data();
    void failedHandOvers();
    void twoDeliveriesBothTypedInOrder();
    void windowNeverAppears_data();
    void windowNeverAppears();
    void switchedOff();

private:
    void make(const MessengerWindows &windows = {});

    RecordingDesktop m_desktop;
    QString m_seller;
    QStringList m_opened;
    std::unique_ptr<MessengerHandOver> m_messenger;
};

void TestMessenger::init()
{
    m_desktop = RecordingDesktop();
    m_seller = QStringLiteral("s1");
    m_opened.clear();
    make();
}

void TestMessenger::cleanup()
{
    m_messenger.reset();
}

void TestMessenger::make(const MessengerWindows &windows)
{
    m_messenger = std::make_unique<MessengerHandOver>(
        &m_desktop, QStringLiteral("http://ww.example/"), [this] { return m_seller; }, windows);
    m_messenger->setNavigate([this](const QString &url) { m_opened.append(url); });
}

void TestMessenger::titleAndChain_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("linkValid");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("nth");

    QTest::newRow("usual form, first of a class") << "{buyer} - {seller}"
                                                  << "b1 - s1"
                                                  << "SplitterBar" << true << "SplitterBar" << 1;
    QTest::newRow("seller first, second of a class")
        << "{seller}:{buyer}"
        << "s1:b1"
        << " StandardWindow : 2 " << true << "StandardWindow" << 2;
    QTest::newRow("no seller in the form, bad count") << "与{buyer}交谈中"
                                                      << "与b1交谈中"
                                                      << "StandardWindow:0" << false << "" << 0;
    QTest::newRow("empty class") << "{buyer}"
                                 << "b1"
                                 << ":2" << false << "" << 0;
}

void TestMessenger::titleAndChain()
{
    QFETCH(QString, form);
    QFETCH(QString, title);
    QFETCH(QString, link);
    QFETCH(bool, linkValid);
    QFETCH(QString, className);
    QFETCH(int, nth);

    MessengerWindows windows;
    windows.titleForm = form;
    QCOMPARE(windows.title(QStringLiteral("b1"), QStringLiteral("s1")), title);
    MessengerWindows::Link parsed;
    QCOMPARE(MessengerWindows::parseLink(link, &parsed), linkValid);
    if (linkValid) {
        QCOMPARE(parsed.className, className);
        QCOMPARE(parsed.nth, nth);
    }
}

void TestMessenger::dispatchLink_data()
{
    QTest::addColumn<QString>("seller");
    QTest::addColumn<QString>("buyer");
    QTest::addColumn<QString>("link");

    const QString page = QStringLiteral("http://ww.example/webim/common/online_dispatch_v6.html");
    QTest::newRow("plain") << "s1"
                           << "b1"
                           << page + "?fromsite=cntaobao&fromid=s1&sendsite=cntaobao&sendid=b1";
    // Nicknames never change the address: escaped, Chinese as GBK.
    QTest::newRow("escaped") << "s 1"
                             << "买家&x=1"
                             << page + "?fromsite=cntaobao&fromid=s%201&sendsite=cntaobao&sendid="
                                       "%C2%F2%BC%D2%26x%3D1";
}

void TestMessenger::dispatchLink()
{
    QFETCH(QString, seller);
    QFETCH(QString, buyer);
    QFETCH(QString, link);
    m_seller = seller;
    QCOMPARE(m_messenger->dispatchLink(buyer), link);
}

void TestMessenger::codeIsTypedSentAndClosed_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("chatTakesText"); // an empty class chain

    QTest::newRow("code") << "CARD-1" << false;
    QTest::newRow("code holding ||, typed whole") << "AB||CD||" << false;
    QTest::newRow("empty class chain") << "CARD-2" << true;
}

void TestMessenger::codeIsTypedSentAndClosed()
{
    QFETCH(QString, code);
    QFETCH(bool, chatTakesText);
    if (chatTakesText) {
        MessengerWindows windows;
        windows.classChain.clear();
        make(windows);
    }
    QSignalSpy done(m_messenger.get(), &MessengerHandOver::handedOver);
    QSignalSpy failed(m_messenger.get(), &MessengerHandOver::handOverFailed);

    m_messenger->handOver(QStringLiteral("b1"), code);
    QTimer *find = m_messenger->找窗口();
    QTimer *close = m_messenger->关闭窗口();
    QCOMPARE(m_opened, QStringList{m_messenger->dispatchLink(QStringLiteral("b1"))});
    QVERIFY(find->isActive());
    QCOMPARE(find->interval(), 6000);
    QVERIFY(!close->isActive());

    // The messenger opens the chat; the next search finds it.
    WindowId input = 0;
    const WindowId chat = chatTakesText
                              ? m_desktop.addTopLevel(QStringLiteral("b1 - s1"), 77)
                              : addChatWindow(m_desktop, QStringLiteral("b1 - s1"), &input);
    if (chatTakesText)
        input = chat;
    m_messenger->找窗口tick();
    QCOMPARE(m_desktop.log,
             (QStringList{QStringLiteral("find b1 - s1"), QStringLiteral("show %1").arg(chat),
                          QStringLiteral("text %1 %2").arg(input).arg(code),
                          QStringLiteral("keys %1 17+13").arg(chat),
                          QStringLiteral("keys %1 13").arg(chat)}));
    QCOMPARE(m_desktop.window(input)->text, code);
    QCOMPARE(m_messenger->chatWindow(), chat);
    QCOMPARE(m_messenger->chatProcess(), m_desktop.window(chat)->process);
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().at(1).toString(), code);
    QVERIFY(failed.isEmpty());

    // Closed at the tick of 关闭窗口, two seconds later.
    QVERIFY(!find->isActive());
    QVERIFY(close->isActive());
    QCOMPARE(close->interval(), 2000);
    m_messenger->关闭窗口tick();
    QCOMPARE(m_desktop.log.last(), QStringLiteral("close %1").arg(chat));
    QVERIFY(!close->isActive());
    QVERIFY(!find->isActive());
    QCOMPARE(m_messenger->chatWindow(), WindowId(0));
}

void TestMessenger::failedHandOvers_data()
{
    QTest::addColumn<QString>("shape"); // what the chat window holds
    QTest::addColumn<bool>("activates");
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no input box") << "bare" << true << true << "没有找到输入框（SplitterBar）";
    QTest::newRow("one standard window only")
        << "one" << true << true << "没有找到输入框（StandardWindow:2）";
    QTest::newRow("window does not become active") << "full" << false << true << "活动窗口";
    QTest::newRow("no desktop") << "full" << true << false << "没有可用的桌面";
}

void TestMessenger::failedHandOvers()
{
    QFETCH(QString, shape);
    QFETCH(bool, activates);
    QFETCH(bool, desktop);
    QFETCH(QString, reason);

    m_desktop.activates = activates;
    m_desktop.present = desktop;
    WindowId chat = 0;
    WindowId input = 0;
    if (shape == QLatin1String("full")) {
        chat = addChatWindow(m_desktop, QStringLiteral("b1 - s1"), &input);
    } else {
        chat = m_desktop.addTopLevel(QStringLiteral("b1 - s1"));
        if (shape == QLatin1String("one")) {
            const WindowId bar = m_desktop.addChild(chat, QStringLiteral("SplitterBar"));
            m_desktop.addChild(m_desktop.addChild(bar, QStringLiteral("StandardWindow")),
                               QStringLiteral("RichEditComponent"));
        }
    }
    QSignalSpy done(m_messenger.get(), &MessengerHandOver::handedOver);
    QSignalSpy failed(m_messenger.get(), &MessengerHandOver::handOverFailed);

    m_messenger->handOver(QStringLiteral("b1"), QStringLiteral("CARD-1"));
    if (desktop)
        m_messenger->找窗口tick();

    QCOMPARE(failed.size(), 1);
    // The window found, if any, is left open for the agent.
    QCOMPARE(m_messenger->chatWindow(), desktop ? chat : WindowId(0));
    QVERIFY(!m_desktop.log.contains(QStringLiteral("close %1").arg(chat)));
    QCOMPARE(failed.first().at(0).toString(), QStringLiteral("b1"));
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("CARD-1"));
    QVERIFY2(failed.first().at(2).toString().contains(reason),
             qPrintable(failed.first().at(2).toString()));
    QVERIFY(done.isEmpty());
    // No key went anywhere, and without an input box nothing was typed.
    for (const QString &line : std::as_const(m_desktop.log)) {
        QVERIFY2(!line.startsWith(QLatin1String("keys")), qPrintable(line));
        if (shape != QLatin1String("full"))
            QVERIFY2(!line.startsWith(QLatin1String("text")), qPrintable(line));
    }
    QVERIFY(!m_messenger->找窗口()->isActive());
    QVERIFY(!m_messenger->关闭窗口()->isActive());
    QCOMPARE(m_messenger->waiting(), 0);
}

void TestMessenger::twoDeliveriesBothTypedInOrder()
{
    QSignalSpy done(m_messenger.get(), &MessengerHandOver::handedOver);
    // The second delivery comes before the first chat window has appeared.
    m_messenger->handOver(QStringLiteral("b1"), QStringLiteral("CODE-1"));
    m_messenger->找窗口tick();
    m_messenger->handOver(QStringLiteral("b2"), QStringLiteral("CODE-2"));
    QCOMPARE(m_messenger->waiting(), 2);
    WindowId input1 = 0, input2 = 0;
    const WindowId chat1 = addChatWindow(m_desktop, QStringLiteral("b1 - s1"), &input1);
    const WindowId chat2 = addChatWindow(m_desktop, QStringLiteral("b2 - s1"), &input2);

    m_messenger->找窗口tick();
    QCOMPARE(m_desktop.window(input1)->text, QStringLiteral("CODE-1"));
    QCOMPARE(m_desktop.window(input2)->text, QString());
    // The second starts once the first window is closed.
    m_messenger->关闭窗口tick();
    QCOMPARE(m_opened.last(), m_messenger->dispatchLink(QStringLiteral("b2")));
    QVERIFY(m_messenger->找窗口()->isActive());
    m_messenger->找窗口tick();
    QCOMPARE(m_desktop.window(input2)->text, QStringLiteral("CODE-2"));
    m_messenger->关闭窗口tick();

    QCOMPARE(done.size(), 2);
    QCOMPARE(done.at(0).at(1).toString(), QStringLiteral("CODE-1"));
    QCOMPARE(done.at(1).at(1).toString(), QStringLiteral("CODE-2"));
    const QStringList closes = m_desktop.log.filter(QStringLiteral("close"));
    QCOMPARE(closes, (QStringList{QStringLiteral("close %1").arg(chat1),
                                  QStringLiteral("close %1").arg(chat2)}));
    QCOMPARE(m_messenger->waiting(), 0);
    QVERIFY(!m_messenger->找窗口()->isActive());
}

void TestMessenger::windowNeverAppears_data()
{
    QTest::addColumn<QString>("seller");
    QTest::addColumn<int>("opened"); // dispatch links opened for the first buyer
    QTest::addColumn<QString>("reason");

    // Each search that missed opens the link again.
    QTest::newRow("no chat window") << "s1" << MessengerHandOver::kMaxSearches << "b1 - s1";
    // Without the seller's nickname neither link nor title is known.
    QTest::newRow("seller not known yet") << "" << 0 << "不知道卖家的旺旺昵称";
}

void TestMessenger::windowNeverAppears()
{
    QFETCH(QString, seller);
    QFETCH(int, opened);
    QFETCH(QString, reason);
    m_seller = seller;
    QSignalSpy failed(m_messenger.get(), &MessengerHandOver::handOverFailed);
    m_messenger->handOver(QStringLiteral("b1"), QStringLiteral("CODE-1"));
    m_messenger->handOver(QStringLiteral("b2"), QStringLiteral("CODE-2"));
    for (int i = 1; i < MessengerHandOver::kMaxSearches; ++i) {
        m_messenger->找窗口tick();
        QVERIFY(failed.isEmpty());
    }
    QCOMPARE(m_opened.size(), opened);
    m_messenger->找窗口tick();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("CODE-1"));
    QVERIFY2(failed.first().at(2).toString().contains(reason),
             qPrintable(failed.first().at(2).toString()));
    // Given up on, it does not hold up the next buyer.
    QVERIFY(m_messenger->找窗口()->isActive());
    QCOMPARE(m_messenger->waiting(), 1);
    if (!seller.isEmpty())
        QCOMPARE(m_opened.last(), m_messenger->dispatchLink(QStringLiteral("b2")));
    QVERIFY(m_desktop.log.filter(QStringLiteral("keys")).isEmpty());
}

void TestMessenger::switchedOff()
{
    m_messenger->setEnabled(false);
    m_messenger->handOver(QStringLiteral("b1"), QStringLiteral("CODE-1"));
    QCOMPARE(m_messenger->waiting(), 0);
    QVERIFY(m_opened.isEmpty());
    QVERIFY(!m_messenger->找窗口()->isActive());
}

QTEST_GUILESS_MAIN(TestMessenger)
#include "tst_messenger.moc"

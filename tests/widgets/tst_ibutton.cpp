// Behaviour of the picture button: frames per state, hover timer, mouse and
// keyboard clicks, toggle value, caption and sizing.

#include "widgets/ibutton.h"

#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Frame k of a generated strip is filled with kFrameColours[k], so a grab
// tells which frame is painted.
const QColor kFrameColours[10] = {
    QColor(200, 0, 0),   QColor(0, 200, 0),   QColor(0, 0, 200),  QColor(200, 200, 0),
    QColor(0, 200, 200), QColor(200, 0, 200), QColor(100, 50, 0), QColor(0, 100, 50),
    QColor(50, 0, 100),  QColor(90, 90, 90),
};

QPixmap makeStrip(int frames, QSize frameSize)
{
    QImage image(frameSize.width() * frames, frameSize.height(), QImage::Format_RGB32);
    QPainter p(&image);
    for (int k = 0; k < frames; ++k)
        p.fillRect(k * frameSize.width(), 0, frameSize.width(), frameSize.height(),
                   kFrameColours[k]);
    p.end();
    return QPixmap::fromImage(image);
}

// One line per signal, "|" between the steps of a scenario. MouseMove is left
// out: it comes with every move and says nothing about the outcome.
class Recorder
{
public:
    explicit Recorder(iButton *b)
    {
        const auto add = [this](const QString &s) { m_step.append(s); };
        QObject::connect(b, &iButton::Click, b, [add] { add("Click"); });
        QObject::connect(b, &iButton::DBClick, b, [add] { add("DBClick"); });
        QObject::connect(b, &iButton::MouseOver, b, [add] { add("MouseOver"); });
        QObject::connect(b, &iButton::MouseOut, b, [add] { add("MouseOut"); });
        QObject::connect(b, &iButton::MouseDown, b, [add](int button, int, int, int) {
            add(QString("MouseDown(%1)").arg(button));
        });
        QObject::connect(b, &iButton::MouseUp, b, [add](int button, int, int, int) {
            add(QString("MouseUp(%1)").arg(button));
        });
        QObject::connect(b, &iButton::KeyDown, b,
                         [add](int code, int) { add(QString("KeyDown(%1)").arg(code)); });
        QObject::connect(b, &iButton::KeyUP, b,
                         [add](int code, int) { add(QString("KeyUP(%1)").arg(code)); });
        QObject::connect(b, &iButton::KeyPress, b,
                         [add](int ascii) { add(QString("KeyPress(%1)").arg(ascii)); });
    }
    void endStep()
    {
        m_steps.append(m_step.join(','));
        m_step.clear();
    }
    QString log() const { return m_steps.join(" | "); }

private:
    QStringList m_step;
    QStringList m_steps;
};

} // namespace

class TestIButton : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_host.reset(); }
    void behaviour_data();
    void behaviour();
    void frameCutting_data();
    void frameCutting();
    void eventArguments();
    void captionWithoutPicture();
    void transparentBackShowsParent();

private:
    // A shown host window with the button at (10, 10).
    iButton *showButton(int stripFrames, int style);
    std::unique_ptr<QWidget> m_host;
};

void TestIButton::init()
{
    // Keep the real pointer away from where the windows appear.
    QCursor::setPos(QPoint(700, 500));
}

iButton *TestIButton::showButton(int stripFrames, int style)
{
    m_host = std::make_unique<QWidget>();
    m_host->setGeometry(0, 0, 200, 100);
    auto *button = new iButton(m_host.get());
    button->move(10, 10);
    button->setStyle(style);
    if (stripFrames > 0)
        button->setBackPicture(makeStrip(stripFrames, QSize(40, 20)));
    m_host->show();
    m_host->activateWindow();
    if (!QTest::qWaitForWindowActive(m_host.get()))
        return nullptr;
    // Activation hands the focus to the button; the rows start without it.
    button->clearFocus();
    return button;
}

void TestIButton::behaviour_data()
{
    QTest::addColumn<int>("stripFrames");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("steps");
    // After each step: the painted frame (-1 none), "f" when the focus
    // rectangle is drawn, "t" while Timer1 runs.
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("events");
    QTest::addColumn<bool>("value");

    QTest::newRow("push: hover, press, release, leave")
        << 5 << 0 << "in press release out tick"
        << "1t 2t 1t 1t 0"
        << "MouseOver | MouseDown(1) | MouseUp(1),Click |  | MouseOut" << false;
    // Enabled again with the pointer on it, it shows the hover frame.
    QTest::newRow("push: disabled takes no input, shows frame 3")
        << 5 << 0 << "disable in press release enable"
        << "3 3 3 3 1"
        << " |  |  |  | " << false;
    QTest::newRow("push: ignores Value")
        << 5 << 0 << "value in press release"
        << "0 1t 2t 1t"
        << " | MouseOver | MouseDown(1) | MouseUp(1),Click" << false;
    QTest::newRow("toggle: click switches on, frames 4-7 while on")
        << 10 << 1 << "in press release out tick disable"
        << "1t 2t 5t 5t 4 7"
        << "MouseOver | MouseDown(1) | MouseUp(1),Click |  | MouseOut | " << true;
    QTest::newRow("toggle: second click switches off")
        << 10 << 1 << "in press release press release"
        << "1t 2t 5t 6t 1t"
        << "MouseOver | MouseDown(1) | MouseUp(1),Click | MouseDown(1) | MouseUp(1),Click" << false;
    QTest::newRow("toggle: Value set from outside") << 10 << 1 << "value"
                                                    << "4"
                                                    << "" << true;
    QTest::newRow("press, move off, release: no Click, MouseOut after the next tick")
        << 5 << 0 << "in press out tick release tick"
        << "1t 2t 2t 0t 0t 0"
        << "MouseOver | MouseDown(1) |  |  | MouseUp(1) | MouseOut" << false;
    QTest::newRow("press, move off and back, release: Click")
        << 5 << 0 << "in press out tick in tick release"
        << "1t 2t 2t 0t 0t 2t 1t"
        << "MouseOver | MouseDown(1) |  |  |  |  | MouseUp(1),Click" << false;
    // The click focuses the button; nothing redraws over the focus rectangle.
    QTest::newRow("right click: no Click, no pressed frame")
        << 5 << 0 << "in rpress rrelease"
        << "1t 1ft 1ft"
        << "MouseOver | MouseDown(2) | MouseUp(2)" << false;
    QTest::newRow("double click: one Click, then DBClick")
        << 5 << 0 << "in press release dclick release"
        << "1t 2t 1t 2t 1t"
        << "MouseOver | MouseDown(1) | MouseUp(1),Click | DBClick | MouseUp(1)" << false;
    QTest::newRow("space held: pressed frame, Click on release")
        << 5 << 0 << "space spacerepeat spaceup"
        << "2f 2f 0f"
        << "KeyDown(32),KeyPress(32) | KeyDown(32),KeyPress(32) | KeyUP(32),Click" << false;
    QTest::newRow("space while hovered: no focus rectangle")
        << 5 << 0 << "in space spaceup"
        << "1t 2t 1t"
        << "MouseOver | KeyDown(32),KeyPress(32) | KeyUP(32),Click" << false;
    QTest::newRow("enter: Click at once") << 5 << 0 << "enter enterup"
                                          << "0f 0f"
                                          << "KeyDown(13),Click,KeyPress(13) | KeyUP(13)" << false;
    QTest::newRow("toggle: enter switches Value") << 10 << 1 << "enter"
                                                  << "4f"
                                                  << "KeyDown(13),Click,KeyPress(13)" << true;
    QTest::newRow("focus draws the focus rectangle, hover wipes it") << 5 << 0 << "focus in unfocus"
                                                                     << "0f 1t 1t"
                                                                     << " | MouseOver | " << false;
    // Disabling from a Click handler is common; the pointer leaving afterwards
    // must not bring back the normal frame.
    QTest::newRow("disabled while hovered stays disabled when the pointer leaves")
        << 5 << 0 << "in disable out tick"
        << "1t 3t 3t 3"
        << "MouseOver |  |  | MouseOut" << false;
    QTest::newRow("no picture: no frame, events as usual")
        << 0 << 0 << "in press release"
        << "-1t -1t -1t"
        << "MouseOver | MouseDown(1) | MouseUp(1),Click" << false;
}

void TestIButton::behaviour()
{
    QFETCH(int, stripFrames);
    QFETCH(int, style);
    QFETCH(QString, steps);
    QFETCH(QString, shown);
    QFETCH(QString, events);
    QFETCH(bool, value);

    iButton *button = showButton(stripFrames, style);
    QVERIFY(button);
    auto *timer = button->findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    // Ticks come only from the "tick" steps, so nothing depends on timing.
    timer->setInterval(24 * 3600 * 1000);
    Recorder recorder(button);

    const QPoint inside(20, 10);
    const QPoint outside(150, 70);
    QPoint pointer = outside;
    QStringList seen;
    const auto sendSpace = [button](QEvent::Type type, bool repeat) {
        QKeyEvent e(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeat);
        QApplication::sendEvent(button, &e);
    };
    for (const QString &step : steps.split(' ')) {
        if (step == "in" || step == "out") {
            pointer = step == "in" ? inside : outside;
            QTest::mouseMove(button, pointer);
        } else if (step == "press") {
            QTest::mousePress(button, Qt::LeftButton, {}, pointer);
        } else if (step == "release") {
            QTest::mouseRelease(button, Qt::LeftButton, {}, pointer);
        } else if (step == "rpress") {
            QTest::mousePress(button, Qt::RightButton, {}, pointer);
        } else if (step == "rrelease") {
            QTest::mouseRelease(button, Qt::RightButton, {}, pointer);
        } else if (step == "dclick") {
            QTest::mouseDClick(button, Qt::LeftButton, {}, pointer);
        } else if (step == "tick") {
            QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        } else if (step == "space") {
            sendSpace(QEvent::KeyPress, false);
        } else if (step == "spacerepeat") { // what a held key sends
            sendSpace(QEvent::KeyRelease, true);
            sendSpace(QEvent::KeyPress, true);
        } else if (step == "spaceup") {
            sendSpace(QEvent::KeyRelease, false);
        } else if (step == "enter") {
            QTest::keyPress(button, Qt::Key_Return);
        } else if (step == "enterup") {
            QTest::keyRelease(button, Qt::Key_Return);
        } else if (step == "disable" || step == "enable") {
            button->setEnabled(step == "enable");
        } else if (step == "value") {
            button->setValue(true);
        } else if (step == "focus") {
            button->setFocus();
            QTRY_VERIFY(button->hasFocus());
        } else if (step == "unfocus") {
            button->clearFocus();
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
        recorder.endStep();

        const int frame = button->shownFrame();
        seen.append(QString::number(frame) + (button->hasFocusRect() ? "f" : "") +
                    (timer->isActive() ? "t" : ""));
        const QImage image = button->grab().toImage();
        if (frame >= 0)
            QCOMPARE(image.pixelColor(1, 10), kFrameColours[frame]);
        // The dotted rectangle runs along x = 3 from y = 3.
        bool dotted = false;
        for (int y = 3; y < 17; ++y)
            dotted = dotted || image.pixelColor(3, y) != image.pixelColor(1, y);
        QCOMPARE(dotted, button->hasFocusRect());
    }
    QCOMPARE(seen.join(' '), shown);
    QCOMPARE(recorder.log(), events);
    QCOMPARE(button->Value(), value);
    if (stripFrames == 5) // a push button never shows the fifth frame
        QVERIFY(!seen.join(' ').contains('4'));
}

void TestIButton::frameCutting_data()
{
    QTest::addColumn<int>("stripWidth");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("autoSize");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("widget");

    QTest::newRow("five frames of 40 x 20") << 200 << 0 << true << QSize(40, 20) << QSize(40, 20);
    QTest::newRow("ten frames of 40 x 20") << 400 << 1 << true << QSize(40, 20) << QSize(40, 20);
    // The width goes through the picture's HIMETRIC size: 395 px is 10451
    // units, 39.49 px per frame, not 39.5.
    QTest::newRow("odd width rounds like the picture object")
        << 395 << 1 << true << QSize(39, 20) << QSize(39, 20);
    QTest::newRow("AutoSize off keeps the size, frame stretched")
        << 200 << 0 << false << QSize(40, 20) << QSize(90, 30);
}

void TestIButton::frameCutting()
{
    QFETCH(int, stripWidth);
    QFETCH(int, style);
    QFETCH(bool, autoSize);
    QFETCH(QSize, frame);
    QFETCH(QSize, widget);

    iButton *button = showButton(0, 0);
    QVERIFY(button);
    button->setAutoSize(autoSize);
    button->setStyle(style);
    button->resize(90, 30);
    QImage strip(stripWidth, 20, QImage::Format_RGB32);
    strip.fill(kFrameColours[0]);
    button->setBackPicture(QPixmap::fromImage(strip));
    button->resize(90, 30); // AutoSize holds its size against resizing

    QCOMPARE(button->frameSize(), frame);
    QCOMPARE(button->size(), widget);
    QCOMPARE(button->grab().toImage().pixelColor(widget.width() - 1, widget.height() - 1),
             kFrameColours[0]);
}

void TestIButton::eventArguments()
{
    iButton *button = showButton(5, 0);
    QVERIFY(button);
    QSignalSpy down(button, &iButton::MouseDown);
    QSignalSpy move(button, &iButton::MouseMove);
    QSignalSpy up(button, &iButton::MouseUp);
    QSignalSpy key(button, &iButton::KeyDown);

    const Qt::KeyboardModifiers shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
    QTest::mousePress(button, Qt::MiddleButton, shiftCtrl, QPoint(5, 6));
    QTest::mouseMove(button, QPoint(7, 8)); // with the middle button held
    QTest::mouseRelease(button, Qt::MiddleButton, Qt::AltModifier, QPoint(7, 8));
    QTest::keyClick(button, Qt::Key_F2, Qt::ShiftModifier);

    QCOMPARE(down.value(0), QVariantList({4, 3, 5, 6}));
    QCOMPARE(move.value(0), QVariantList({4, 0, 7, 8}));
    QCOMPARE(up.value(0), QVariantList({4, 4, 7, 8}));
    QCOMPARE(key.value(1), QVariantList({113, 1})); // after the Shift key itself
}

void TestIButton::captionWithoutPicture()
{
    iButton *button = showButton(0, 0);
    QVERIFY(button);
    button->resize(80, 28);
    button->setCaption(QStringLiteral("登 录"));
    button->setCForeColor(Qt::red);
    QFont font = button->cFont();
    font.setPixelSize(14);
    font.setStyleStrategy(QFont::NoAntialias); // exact colours to find the caption by
    button->setCFont(font);
    QCOMPARE(button->shownFrame(), -1);

    // The caption is centred and moves one pixel right and down while pressed.
    const auto captionBox = [button] {
        const QImage image = button->grab().toImage();
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(Qt::red))
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const QRect normal = captionBox();
    QVERIFY(!normal.isEmpty());
    QVERIFY(qAbs(normal.center().x() - 40) <= 2);
    QVERIFY(qAbs(normal.center().y() - 14) <= 3);
    button->cMouseAction(2, false);
    QCOMPARE(captionBox(), normal.translated(1, 1));
}

void TestIButton::transparentBackShowsParent()
{
    iButton *button = showButton(0, 0);
    QVERIFY(button);
    m_host->setAutoFillBackground(true);
    QPalette hostPalette = m_host->palette();
    hostPalette.setColor(QPalette::Window, Qt::blue);
    m_host->setPalette(hostPalette);
    QPalette ownPalette = button->palette();
    ownPalette.setColor(QPalette::Window, Qt::yellow);
    button->setPalette(ownPalette);

    QImage strip(200, 20, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter(&strip).fillRect(0, 0, 20, 20, Qt::green); // left half of frame 0
    button->setBackPicture(QPixmap::fromImage(strip));

    const auto at = [this, button](int x) {
        return m_host->grab().toImage().pixelColor(button->pos() + QPoint(x, 10));
    };
    QCOMPARE(at(5), QColor(Qt::green));
    QCOMPARE(at(30), QColor(Qt::yellow)); // opaque: the button's own back colour
    button->setCBackStyle(0);
    QCOMPARE(at(5), QColor(Qt::green));
    QCOMPARE(at(30), QColor(Qt::blue));
}

QTEST_MAIN(TestIButton)
#include "tst_ibutton.moc"

#include "widgets/ibutton.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QTimer>

#include <cmath>

namespace {

// The picture object keeps its size in HIMETRIC (0.01 mm) units, rounded to a
// whole unit, and the frame size is worked out from that value. Doing the same
// keeps the frame size of odd strip widths identical to the original control's
// (a 395 px ten-frame strip gives 39 px frames, not 40).
constexpr double kHimetricPerPixel = 26.45836;

int himetric(int pixels)
{
    return static_cast<int>(std::lround(pixels * 2540.0 / 96.0));
}

int framePixels(int himetricUnits, int divisor)
{
    return static_cast<int>(std::lround(himetricUnits / kHimetricPerPixel / divisor));
}

int vbButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int vbButtons(Qt::MouseButtons buttons)
{
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) |
           (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

// Windows virtual-key codes, which the owning windows compare against.
int vbKeyCode(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key; // same codes in both worlds
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

iButton::iButton(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // Hover is noticed from plain mouse moves, as the original did.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(50);
    connect(m_timer1, &QTimer::timeout, this, &iButton::hoverTick);

    cutFrames();
}

iButton::~iButton() = default;

void iButton::setBackPicture(const QPixmap &picture)
{
    m_picture = picture;
    cutFrames();
}

void iButton::setStyle(int style)
{
    m_style = style;
    if (m_style != 1)
        m_value = false;
    cutFrames();
}

void iButton::setValue(bool on)
{
    if (m_style != 1) {
        m_value = false;
        return;
    }
    m_value = on;
    cMouseAction(computedState(), true);
}

void iButton::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on) {
        cutFrames();
    } else {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        updateGeometry();
    }
}

void iButton::setCBackStyle(int backStyle)
{
    m_backStyle = backStyle;
    setAttribute(Qt::WA_OpaquePaintEvent, m_backStyle != 0);
    cMouseAction(computedState(), true);
}

void iButton::setCaption(const QString &caption)
{
    m_caption = caption;
    updateGeometry();
    cMouseAction(computedState(), true);
}

void iButton::setCFont(const QFont &f)
{
    setFont(f);
    updateGeometry();
    cMouseAction(computedState(), true);
}

QColor iButton::cForeColor() const
{
    // Until set, the caption follows the palette (and so the skin).
    return m_foreColor.isValid() ? m_foreColor : palette().color(QPalette::WindowText);
}

void iButton::setCForeColor(const QColor &color)
{
    m_foreColor = color;
    cMouseAction(computedState(), true);
}

void iButton::cMouseAction(int state, bool force)
{
    // The frame index is derived from the state; anything else would index
    // past the frames.
    if (state < Normal || state > Disabled)
        return;
    if (state == m_drawnState && !force)
        return;
    m_drawnState = state;
    m_shownFrame = m_hasFrames ? state + (m_style == 1 && m_value ? 4 : 0) : -1;
    // Every drawing starts on a cleared surface, which also wipes the focus
    // rectangle; callers that want it draw it again.
    m_focusRect = false;
    update();
}

QSize iButton::sizeHint() const
{
    if (m_hasFrames && !m_frameSize.isEmpty())
        return m_frameSize;
    const QFontMetrics fm(font());
    const QSize text = fm.size(Qt::TextSingleLine, m_caption);
    return QSize(qMax(75, text.width() + 16), qMax(23, text.height() + 8));
}

void iButton::cutFrames()
{
    m_frames.clear();
    m_hasFrames = false;
    m_frameSize = QSize();
    if (!m_picture.isNull()) {
        const int width = framePixels(himetric(m_picture.width()), m_style == 1 ? 10 : 5);
        const int height = framePixels(himetric(m_picture.height()), 1);
        m_frameSize = QSize(width, height);
        const int count = m_style == 1 ? 8 : 4;
        for (int k = 0; k < count; ++k)
            m_frames.append(m_picture.copy(k * width, 0, width, height));
        m_hasFrames = true;
        if (m_autoSize)
            applyAutoSize();
    }
    updateGeometry();
    cMouseAction(computedState(), true);
}

void iButton::applyAutoSize()
{
    if (m_frameSize.isEmpty())
        return;
    // The original sized itself in twips, 15 to the pixel; sizes here are
    // pixels. The fixed policy keeps layouts at the frame size too.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (size() != m_frameSize)
        resize(m_frameSize);
}

void iButton::drawFocusRect()
{
    m_focusRect = true;
    update();
}

int iButton::computedState() const
{
    if (!isEnabled())
        return Disabled;
    if (m_pressed)
        return pointerOver() ? Pressed : Normal;
    return pointerOver() ? Hover : Normal;
}

void iButton::toggleValue()
{
    if (m_style == 1)
        m_value = !m_value;
}

// "Pointer over the button" is tracked from the events Qt delivers to this
// widget (enter, leave and the position of every mouse event) rather than by
// asking for the widget under QCursor::pos(). Qt already resolves stacking for
// enter/leave and synthesises them when a widget is shown, hidden or moved
// under the pointer; and while a button is held the moves come to us through
// the implicit grab with positions outside our rectangle, which a cursor query
// would not see for synthetic input (QTest moves the cursor only when no button
// is held).
void iButton::enterEvent(QEnterEvent *event)
{
    m_pointerInside = true;
    QWidget::enterEvent(event);
}

void iButton::leaveEvent(QEvent *event)
{
    m_pointerInside = false;
    QWidget::leaveEvent(event);
}

void iButton::hoverTick()
{
    // A button disabled while the pointer is on it keeps the disabled frame
    // when the pointer leaves.
    const auto shown = [this](int state) { return isEnabled() ? state : int(Disabled); };
    if (pointerOver()) {
        if (m_pressed)
            cMouseAction(shown(Pressed), false);
        return;
    }
    if (!m_pressed) {
        m_timer1->stop();
        m_hover = false;
        emit MouseOut();
        cMouseAction(shown(Normal), false);
    } else {
        cMouseAction(shown(Normal), false);
    }
}

void iButton::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_pointerInside = rect().contains(p);
    const int button = vbButton(event->button());
    emit MouseDown(button, vbShift(event->modifiers()), p.x(), p.y());
    m_lastButton = button;
    if (button == 1) {
        cMouseAction(Pressed, false);
        m_pressed = true;
    }
    event->accept();
}

void iButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_pointerInside = rect().contains(p);
    const int button = vbButton(event->button());
    const bool leftWasPressed = m_pressed && button == 1;
    emit MouseUp(button, vbShift(event->modifiers()), p.x(), p.y());
    if (button == 1) {
        if (pointerOver()) {
            toggleValue();
            cMouseAction(Hover, true);
        } else {
            cMouseAction(Normal, true);
        }
        m_pressed = false;
    }
    // A click needs the left button both pressed and released on the button;
    // the release of a double click is not a second click.
    if (leftWasPressed && m_lastButton == 1 && pointerOver()) {
        cMouseAction(computedState(), true);
        emit Click();
    }
    event->accept();
}

void iButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_pointerInside = rect().contains(p);
    emit MouseMove(vbButtons(event->buttons()), vbShift(event->modifiers()), p.x(), p.y());
    if (pointerOver() && !m_hover) {
        cMouseAction(Hover, false);
        m_hover = true;
        m_timer1->start();
        emit MouseOver();
    }
    event->accept();
}

void iButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends this instead of the second press.
    m_pointerInside = rect().contains(event->position().toPoint());
    if (m_lastButton == 1)
        cMouseAction(Pressed, false);
    emit DBClick();
    event->accept();
}

void iButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    emit KeyDown(vbKeyCode(key), vbShift(event->modifiers()));
    const bool handled = isEnterKey(key) || key == Qt::Key_Space;
    if (isEnterKey(key)) {
        toggleValue();
        cMouseAction(computedState(), true);
        if (!m_hover)
            drawFocusRect();
        emit Click();
    } else if (key == Qt::Key_Space) {
        cMouseAction(Pressed, true);
        if (!m_hover)
            drawFocusRect();
    }
    if (!event->text().isEmpty())
        emit KeyPress(event->text().at(0).unicode());
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void iButton::keyReleaseEvent(QKeyEvent *event)
{
    // A held key repeats its key-down only; the click belongs to the real
    // release.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const int key = event->key();
    emit KeyUP(vbKeyCode(key), vbShift(event->modifiers()));
    if (key == Qt::Key_Space) {
        toggleValue();
        cMouseAction(computedState(), true);
        if (!m_hover)
            drawFocusRect();
        emit Click();
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void iButton::focusInEvent(QFocusEvent *event)
{
    cMouseAction(computedState(), true);
    if (!m_pressed)
        drawFocusRect();
    QWidget::focusInEvent(event);
}

void iButton::focusOutEvent(QFocusEvent *event)
{
    cMouseAction(computedState(), true);
    QWidget::focusOutEvent(event);
}

void iButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        cMouseAction(computedState(), true);
    QWidget::changeEvent(event);
}

void iButton::showEvent(QShowEvent *event)
{
    // Cut once more on the first showing: a layout may have resized the button
    // since the picture was set.
    if (!m_shownOnce) {
        m_shownOnce = true;
        cutFrames();
    }
    QWidget::showEvent(event);
}

void iButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_autoSize && !m_picture.isNull())
        applyAutoSize();
    cMouseAction(computedState(), true);
}

void iButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // Opaque: the surface is cleared to its back colour first. Transparent:
    // nothing is cleared, so wherever the frame has alpha the parent shows
    // through (the strips carry alpha instead of a mask colour).
    if (m_backStyle != 0)
        p.fillRect(rect(), palette().color(backgroundRole()));
    if (m_shownFrame >= 0 && m_shownFrame < m_frames.size() && !m_frames.at(m_shownFrame).isNull())
        p.drawPixmap(rect(), m_frames.at(m_shownFrame));

    if (!m_caption.isEmpty()) {
        p.setFont(font());
        p.setPen(cForeColor());
        const QFontMetrics fm(font());
        const int shift = m_drawnState == Pressed ? 1 : 0;
        const int x = width() / 2 - fm.horizontalAdvance(m_caption) / 2 + shift;
        const int y = height() / 2 - fm.height() / 2 + shift;
        p.drawText(QPoint(x, y + fm.ascent()), m_caption);
    }

    if (m_focusRect && width() > 7 && height() > 7) {
        QPen pen(cForeColor());
        pen.setStyle(Qt::DotLine);
        pen.setWidth(0);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        // Inside (3, 3) .. (width - 3, height - 3), right and bottom exclusive.
        p.drawRect(3, 3, width() - 7, height() - 7);
    }
}

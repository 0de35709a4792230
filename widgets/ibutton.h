#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QVector>
#include <QWidget>

class QTimer;

// The client's owner-drawn picture button. It has no look of its own: it shows
// one frame of a picture strip chosen by its state (normal, mouse over,
// pressed, disabled, and for the toggle style the same four again while on),
// prints an optional caption over it and draws a focus rectangle. The owning
// windows mostly listen to Click only; the other events are passed on for
// windows that want them.
//
// Strip layout: frames of equal size side by side from the left edge; five of
// them for Style 0 (frames 0..3 used), ten for Style 1 (frames 0..7 used).
class iButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap BackPicture READ BackPicture WRITE setBackPicture)
    Q_PROPERTY(int Style READ Style WRITE setStyle)
    Q_PROPERTY(bool Value READ Value WRITE setValue STORED false)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(int cBackStyle READ cBackStyle WRITE setCBackStyle)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QFont cFont READ cFont WRITE setCFont)
    Q_PROPERTY(QColor cForeColor READ cForeColor WRITE setCForeColor)

public:
    enum State
    {
        Normal = 0,
        Hover = 1,
        Pressed = 2,
        Disabled = 3
    };

    explicit iButton(QWidget *parent = nullptr);
    ~iButton() override;

    QPixmap BackPicture() const { return m_picture; }
    void setBackPicture(const QPixmap &picture);

    // 0 push button, 1 toggle button.
    int Style() const { return m_style; }
    void setStyle(int style);
    using QWidget::setStyle; // keep QWidget::setStyle(QStyle *) reachable

    // Only a toggle button keeps a value; for any other style it stays false.
    bool Value() const { return m_value; }
    void setValue(bool on);

    // The enabled state is QWidget's own; changeEvent() redraws on every change,
    // so QWidget::setEnabled() (and disabling a parent) shows frame 3.
    bool Enabled() const { return isEnabled(); }

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // 1 opaque; 0 transparent: where the frame's pixels are transparent (alpha)
    // the parent shows through.
    int cBackStyle() const { return m_backStyle; }
    void setCBackStyle(int backStyle);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    QFont cFont() const { return font(); }
    void setCFont(const QFont &f);

    QColor cForeColor() const;
    void setCForeColor(const QColor &color);

    // Draws the given state, but only when it differs from the state last drawn
    // or when forced. States outside 0..3 are ignored.
    void cMouseAction(int state, bool force);

    // What the button currently shows.
    int drawnState() const { return m_drawnState; }
    int shownFrame() const { return m_shownFrame; }
    QSize frameSize() const { return m_frameSize; }
    bool hasFocusRect() const { return m_focusRect; }

    QSize sizeHint() const override;

signals:
    // VB conventions: button 1 left, 2 right, 4 middle (a mask of the held
    // buttons in MouseMove); shift 1 Shift, 2 Ctrl, 4 Alt; x and y in pixels.
    void Click();
    void MouseDown(int button, int shift, int x, int y);
    void KeyDown(int keyCode, int shift);
    void KeyUP(int keyCode, int shift);
    void KeyPress(int keyAscii);
    void MouseUp(int button, int shift, int x, int y);
    void MouseMove(int button, int shift, int x, int y);
    void MouseOut();
    void MouseOver();
    void DBClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void cutFrames();
    void applyAutoSize();
    void drawFocusRect();
    void hoverTick();
    int computedState() const;
    bool pointerOver() const { return m_pointerInside; }
    void toggleValue();

    QPixmap m_picture;
    QVector<QPixmap> m_frames;
    bool m_hasFrames = false;
    QSize m_frameSize;
    int m_style = 0;
    bool m_value = false;
    bool m_autoSize = true;
    int m_backStyle = 1;
    QString m_caption;
    QColor m_foreColor;

    int m_drawnState = Normal;
    int m_shownFrame = -1;
    bool m_focusRect = false;
    bool m_hover = false;
    bool m_pressed = false;
    int m_lastButton = 0;
    bool m_pointerInside = false;
    bool m_shownOnce = false;
    QTimer *m_timer1 = nullptr;
};

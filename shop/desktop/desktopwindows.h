#pragma once

#include <QString>
#include <QtGlobal>

// The desktop's windows as the messenger hand-over sees them: found by title
// and by class, written into, given keys and asked to close. The client uses
// the X11 backend; tests a recording one, so that no test needs a desktop.
class DesktopWindows
{
public:
    using WindowId = quint64; // 0: no window

    // Virtual-key codes of the keys the hand-over presses.
    static constexpr int kEnter = 13;
    static constexpr int kControl = 17;

    virtual ~DesktopWindows() = default;

    // False when there is no desktop to work on (no display): nothing will be found.
    virtual bool available() const = 0;
    // A visible top-level window whose title is exactly this text, or 0.
    virtual WindowId findTopLevel(const QString &title) = 0;
    // The first child of parent after the child `after` (0: from the first)
    // whose class is className, or 0.
    virtual WindowId findChild(WindowId parent, WindowId after, const QString &className) = 0;
    // The id of the process that owns the window; 0 when unknown.
    virtual qint64 processId(WindowId window) = 0;
    // Makes the window's text this text; false when it could not, also when
    // the window lost the focus before the whole text was in (the rest is
    // then not written anywhere).
    virtual bool setText(WindowId window, const QString &text) = 0;
    virtual void showNormal(WindowId window) = 0;
    // Brings the window to the foreground and gives it the focus; then, only
    // when it has become the active window, presses the modifier (0: none)
    // and the key, holds them 100 ms and releases them. False when no key was
    // pressed because the window did not become active.
    virtual bool SendKeyCombo(WindowId window, int key, int modifier = 0) = 0;
    // Asks the window to close, as its close button does.
    virtual void postClose(WindowId window) = 0;
};

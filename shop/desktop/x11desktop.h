#pragma once

#include "shop/desktop/desktopwindows.h"

struct xdo;

// The desktop on X11, through libxdo: top-level windows by their exact title
// (_NET_WM_NAME in UTF-8, else WM_NAME), children by WM_CLASS, the text typed
// into the focused input, keys pressed through XTEST into the focused window
// only, and WM_DELETE_WINDOW as the close request. Opens its own connection
// to $DISPLAY; without one it is not available.
class X11Desktop final : public DesktopWindows
{
public:
    X11Desktop();
    ~X11Desktop() override;
    X11Desktop(const X11Desktop &) = delete;
    X11Desktop &operator=(const X11Desktop &) = delete;

    bool available() const override { return m_xdo != nullptr; }
    WindowId findTopLevel(const QString &title) override;
    WindowId findChild(WindowId parent, WindowId after, const QString &className) override;
    qint64 processId(WindowId window) override;
    bool setText(WindowId window, const QString &text) override;
    void showNormal(WindowId window) override;
    bool SendKeyCombo(WindowId window, int key, int modifier = 0) override;
    void postClose(WindowId window) override;

    // A key-down and a key-up of a virtual-key code in the focused window;
    // false for a key this desktop has no name for.
    bool PressKey(int virtualKey);
    bool ReleaseKey(int virtualKey);

private:
    // Raised, focused, and then waited for until it has the input focus.
    bool activate(WindowId window);
    bool hasFocus(WindowId window) const;

    xdo *m_xdo = nullptr;
};

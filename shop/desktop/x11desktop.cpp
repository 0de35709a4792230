#include "shop/desktop/x11desktop.h"

#include <QList>
#include <QThread>

extern "C" {
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xdo.h>
}

namespace {

// Windows may close while they are looked at; such errors are no failure.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

class ErrorGuard
{
public:
    ErrorGuard() : m_old(XSetErrorHandler(ignoreErrors)) {}
    ~ErrorGuard() { XSetErrorHandler(m_old); }
    ErrorGuard(const ErrorGuard &) = delete;
    ErrorGuard &operator=(const ErrorGuard &) = delete;

private:
    XErrorHandler m_old;
};

constexpr int kFocusPolls = 20; // a second in all
constexpr unsigned long kFocusPollMs = 50;
constexpr unsigned long kKeyHoldMs = 100;
constexpr useconds_t kTypingDelayUs = 5000;

QString windowTitle(Display *d, Window w)
{
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString title;
    if (XGetWindowProperty(d, w, netName, 0, 4096, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == utf8 && format == 8) {
        title = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(count));
        XFree(data);
        return title;
    }
    if (data)
        XFree(data);
    XTextProperty property{};
    if (XGetWMName(d, w, &property) && property.value) {
        char **list = nullptr;
        int items = 0;
        if (Xutf8TextPropertyToTextList(d, &property, &list, &items) >= Success && items > 0)
            title = QString::fromUtf8(list[0]);
        if (list)
            XFreeStringList(list);
        XFree(property.value);
    }
    return title;
}

bool viewable(Display *d, Window w)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(d, w, &attributes) && attributes.map_state == IsViewable;
}

QList<Window> childrenOf(Display *d, Window w)
{
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    QList<Window> out;
    if (!XQueryTree(d, w, &root, &parent, &children, &count))
        return out;
    for (unsigned int i = 0; i < count; ++i)
        out.append(children[i]);
    if (children)
        XFree(children);
    return out;
}

bool hasClass(Display *d, Window w, const QString &className)
{
    XClassHint hint{};
    if (!XGetClassHint(d, w, &hint))
        return false;
    const bool match = (hint.res_class && QString::fromUtf8(hint.res_class) == className) ||
                       (hint.res_name && QString::fromUtf8(hint.res_name) == className);
    if (hint.res_class)
        XFree(hint.res_class);
    if (hint.res_name)
        XFree(hint.res_name);
    return match;
}

bool supportsActiveWindow(Display *d)
{
    const Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
    const Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    bool found = false;
    if (XGetWindowProperty(d, DefaultRootWindow(d), supported, 0, 4096, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto *atoms = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count && !found; ++i)
            found = atoms[i] == active;
    }
    if (data)
        XFree(data);
    return found;
}

// X keysym names of the virtual-key codes the client presses.
const char *keyName(int virtualKey)
{
    switch (virtualKey) {
    case DesktopWindows::kEnter:
        return "Return";
    case DesktopWindows::kControl:
        return "Control_L";
    case 16:
        return "Shift_L";
    case 18:
        return "Alt_L";
    case 9:
        return "Tab";
    case 27:
        return "Escape";
    default:
        return nullptr;
    }
}

} // namespace

X11Desktop::X11Desktop()
{
    // xdo_new would complain on stderr; without a display there is no desktop.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        m_xdo = xdo_new(nullptr);
}

X11Desktop::~X11Desktop()
{
    if (m_xdo)
        xdo_free(m_xdo);
}

DesktopWindows::WindowId X11Desktop::findTopLevel(const QString &title)
{
    if (!m_xdo)
        return 0;
    ErrorGuard guard;
    Display *d = m_xdo->xdpy;
    // A window manager puts each top-level window into a frame of its own.
    for (const Window top : childrenOf(d, DefaultRootWindow(d))) {
        if (!viewable(d, top))
            continue;
        if (windowTitle(d, top) == title)
            return top;
        for (const Window client : childrenOf(d, top)) {
            if (viewable(d, client) && windowTitle(d, client) == title)
                return client;
        }
    }
    return 0;
}

DesktopWindows::WindowId X11Desktop::findChild(WindowId parent, WindowId after,
                                               const QString &className)
{
    if (!m_xdo || !parent)
        return 0;
    ErrorGuard guard;
    Display *d = m_xdo->xdpy;
    const QList<Window> children = childrenOf(d, Window(parent));
    qsizetype from = 0;
    if (after) {
        from = children.indexOf(Window(after));
        if (from < 0)
            return 0;
        ++from;
    }
    for (qsizetype i = from; i < children.size(); ++i) {
        if (hasClass(d, children.at(i), className))
            return children.at(i);
    }
    return 0;
}

qint64 X11Desktop::processId(WindowId window)
{
    if (!m_xdo || !window)
        return 0;
    ErrorGuard guard;
    return xdo_get_pid_window(m_xdo, Window(window));
}

bool X11Desktop::hasFocus(WindowId window) const
{
    Window focused = 0;
    return xdo_get_focused_window(m_xdo, &focused) == XDO_SUCCESS && focused == Window(window);
}

bool X11Desktop::activate(WindowId window)
{
    if (!m_xdo || !window)
        return false;
    ErrorGuard guard;
    Display *d = m_xdo->xdpy;
    // xdo_activate_window asks the window manager, which a bare X server lacks.
    if (supportsActiveWindow(d))
        xdo_activate_window(m_xdo, Window(window));
    xdo_raise_window(m_xdo, Window(window));
    xdo_focus_window(m_xdo, Window(window));
    XSync(d, False);
    for (int i = 0; i < kFocusPolls; ++i) {
        if (hasFocus(window))
            return true;
        QThread::msleep(kFocusPollMs);
    }
    return hasFocus(window);
}

void X11Desktop::showNormal(WindowId window)
{
    if (!m_xdo || !window)
        return;
    {
        ErrorGuard guard;
        XMapRaised(m_xdo->xdpy, Window(window));
        XSync(m_xdo->xdpy, False);
    }
    activate(window);
}

bool X11Desktop::setText(WindowId window, const QString &text)
{
    // X has no "set the text" of another program's box: the box gets the
    // focus and the text is typed into it, and only into it.
    if (!activate(window))
        return false;
    ErrorGuard guard;
    // A character at a time, each only while the box still has the focus: a
    // window that takes it meanwhile (a chat that pops up) gets none of the
    // rest, and the caller presses nothing.
    for (const char32_t c : text.toUcs4()) {
        if (!hasFocus(window))
            return false;
        const QByteArray one = QString::fromUcs4(&c, 1).toUtf8();
        if (xdo_enter_text_window(m_xdo, CURRENTWINDOW, one.constData(), kTypingDelayUs) !=
            XDO_SUCCESS)
            return false;
    }
    XSync(m_xdo->xdpy, False);
    return hasFocus(window);
}

bool X11Desktop::PressKey(int virtualKey)
{
    const char *name = keyName(virtualKey);
    return m_xdo && name &&
           xdo_send_keysequence_window_down(m_xdo, CURRENTWINDOW, name, 0) == XDO_SUCCESS;
}

bool X11Desktop::ReleaseKey(int virtualKey)
{
    const char *name = keyName(virtualKey);
    return m_xdo && name &&
           xdo_send_keysequence_window_up(m_xdo, CURRENTWINDOW, name, 0) == XDO_SUCCESS;
}

bool X11Desktop::SendKeyCombo(WindowId window, int key, int modifier)
{
    if (!keyName(key) || (modifier && !keyName(modifier)))
        return false;
    // The keys go to whatever has the focus: none is pressed unless it is this window.
    if (!activate(window))
        return false;
    ErrorGuard guard;
    if (modifier)
        PressKey(modifier);
    PressKey(key);
    QThread::msleep(kKeyHoldMs);
    ReleaseKey(key);
    if (modifier)
        ReleaseKey(modifier);
    XSync(m_xdo->xdpy, False);
    return true;
}

void X11Desktop::postClose(WindowId window)
{
    if (!m_xdo || !window)
        return;
    ErrorGuard guard;
    Display *d = m_xdo->xdpy;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, Window(window), False, NoEventMask, &event);
    XFlush(d);
}

#pragma once

#include "shop/desktop/desktopwindows.h"

#include <QList>
#include <QStringList>

// A desktop made of the windows a test puts on it. What the hand-over does
// to them goes into log, one line a call: "find <title>", "show <id>",
// "text <id> <text>", "keys <id> <modifier>+<key>" (or "keys <id> <key>"),
// "inactive <id>" for keys refused, "close <id>". A closed window is gone.
class RecordingDesktop final : public DesktopWindows
{
public:
    struct Window
    {
        WindowId id = 0;
        WindowId parent = 0; // 0: a top-level window
        QString title;
        QString className;
        qint64 process = 0;
        QString text;
    };

    bool present = true;
    bool activates = true; // whether a window becomes active when asked
    QStringList log;
    QList<Window> windows;

    WindowId addTopLevel(const QString &title, qint64 process = 4242)
    {
        windows.append({++m_next, 0, title, QString(), process, QString()});
        return m_next;
    }
    WindowId addChild(WindowId parent, const QString &className)
    {
        windows.append({++m_next, parent, QString(), className, 0, QString()});
        return m_next;
    }
    const Window *window(WindowId id) const
    {
        for (const Window &w : windows) {
            if (w.id == id)
                return &w;
        }
        return nullptr;
    }

    bool available() const override { return present; }
    WindowId findTopLevel(const QString &title) override
    {
        log.append(QStringLiteral("find ") + title);
        for (const Window &w : std::as_const(windows)) {
            if (!w.parent && w.title == title)
                return w.id;
        }
        return 0;
    }
    WindowId findChild(WindowId parent, WindowId after, const QString &className) override
    {
        bool past = after == 0;
        for (const Window &w : std::as_const(windows)) {
            if (w.parent != parent)
                continue;
            if (past && w.className == className)
                return w.id;
            past = past || w.id == after;
        }
        return 0;
    }
    qint64 processId(WindowId id) override
    {
        const Window *w = window(id);
        return w ? w->process : 0;
    }
    bool setText(WindowId id, const QString &text) override
    {
        log.append(QStringLiteral("text %1 %2").arg(id).arg(text));
        for (Window &w : windows) {
            if (w.id == id) {
                w.text = text;
                return true;
            }
        }
        return false;
    }
    void showNormal(WindowId id) override { log.append(QStringLiteral("show %1").arg(id)); }
    bool SendKeyCombo(WindowId id, int key, int modifier = 0) override
    {
        if (!activates || !window(id)) {
            log.append(QStringLiteral("inactive %1").arg(id));
            return false;
        }
        log.append(modifier ? QStringLiteral("keys %1 %2+%3").arg(id).arg(modifier).arg(key)
                            : QStringLiteral("keys %1 %2").arg(id).arg(key));
        return true;
    }
    void postClose(WindowId id) override
    {
        log.append(QStringLiteral("close %1").arg(id));
        windows.removeIf([id](const Window &w) { return w.id == id || w.parent == id; });
    }

private:
    WindowId m_next = 0;
};

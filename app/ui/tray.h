#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QMenu;
class QWidget;

inline const QString kTrayTip = QStringLiteral("任务栏图标");

// The main window's place in the notification area. States: not in the tray;
// in the tray (icon shown, window hidden); shown with the icon kept (after a
// right double-click). Entering the tray again from the last state never adds
// a second icon.
class TrayController : public QObject
{
    Q_OBJECT
public:
    TrayController(QWidget *window, QMenu *menu);

    // Yes to the close question: icon in, window away. Without a tray host
    // the window is minimised instead, so it can never become unreachable.
    void enterTray();
    // The exit paths; harmless when the icon is not shown.
    void removeIcon();

    // The mouse events of the icon.
    void leftDoubleClick();  // window back, icon removed
    void rightButtonDown();  // the tray menu
    void rightDoubleClick(); // window back, icon kept

    bool iconShown() const { return m_icon->isVisible(); }
    QSystemTrayIcon *icon() const { return m_icon; }

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void showWindow();

    QWidget *m_window;
    QMenu *m_menu;
    QSystemTrayIcon *m_icon;
};

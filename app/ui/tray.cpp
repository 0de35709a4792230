#include "app/ui/tray.h"

#include <QCursor>
#include <QMenu>
#include <QWidget>

TrayController::TrayController(QWidget *window, QMenu *menu)
    : QObject(window), m_window(window), m_menu(menu), m_icon(new QSystemTrayIcon(this))
{
    setObjectName(QStringLiteral("Module2"));
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_icon->setToolTip(kTrayTip);
    // Qt shows the context menu on the right button itself.
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayController::onActivated);
}

void TrayController::enterTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        m_window->showMinimized();
        return;
    }
    m_icon->setIcon(m_window->windowIcon());
    if (!m_icon->isVisible())
        m_icon->show();
    m_window->hide();
}

void TrayController::removeIcon()
{
    m_icon->hide();
}

void TrayController::leftDoubleClick()
{
    removeIcon();
    showWindow();
}

void TrayController::rightButtonDown()
{
    m_menu->popup(QCursor::pos());
}

void TrayController::rightDoubleClick()
{
    showWindow();
}

void TrayController::showWindow()
{
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void TrayController::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // X11 tray hosts report no right double-click; that state is reached
    // through rightDoubleClick() only.
    if (reason == QSystemTrayIcon::DoubleClick)
        leftDoubleClick();
}

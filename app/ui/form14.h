#pragma once

#include <QPointer>
#include <QWidget>

// The update window: downloads the announced version and leaves the clean-up
// script behind.
class Form14 : public QWidget
{
    Q_OBJECT
public:
    // version is BB, address xzdz of the login window; the login window is
    // closed once the update is in place.
    Form14(const QString &version, const QString &address, QWidget *loginWindow);

private:
    QString m_version;
    QString m_address;
    QPointer<QWidget> m_loginWindow;
};

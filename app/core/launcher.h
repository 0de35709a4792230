#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// Everything that starts something outside the client: the system browser,
// the calculator, the update's clean-up script. Tests install a recording one
// so that nothing is really started.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // Opens the address in the system's web browser.
    virtual bool openUrl(const QString &url) = 0;
    // Starts a program detached from the client; it may outlive it.
    virtual bool startDetached(const QString &program, const QStringList &arguments,
                               const QString &workingDirectory = QString()) = 0;

    // The launcher in use; until one is installed, the one that really starts
    // programs (xdg-open for addresses).
    static Launcher &instance();
    // Takes ownership; returns the previous one.
    static std::unique_ptr<Launcher> install(std::unique_ptr<Launcher> launcher);
};

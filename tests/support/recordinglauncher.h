#pragma once

#include "app/core/launcher.h"

#include <QList>
#include <QStringList>

// A Launcher that starts nothing and records what it was asked to start.
class RecordingLauncher final : public Launcher
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
        QString workingDirectory;
    };

    bool openUrl(const QString &url) override
    {
        urls.append(url);
        return true;
    }
    bool startDetached(const QString &program, const QStringList &arguments,
                       const QString &workingDirectory) override
    {
        starts.append({program, arguments, workingDirectory});
        return true;
    }

    QStringList urls;
    QList<Start> starts;
};

// Installs a RecordingLauncher for the life of the guard.
class LauncherGuard
{
public:
    LauncherGuard()
    {
        auto owned = std::make_unique<RecordingLauncher>();
        m_launcher = owned.get();
        m_previous = Launcher::install(std::move(owned));
    }
    ~LauncherGuard() { Launcher::install(std::move(m_previous)); }
    RecordingLauncher &operator*() const { return *m_launcher; }
    RecordingLauncher *operator->() const { return m_launcher; }

private:
    RecordingLauncher *m_launcher;
    std::unique_ptr<Launcher> m_previous;
};

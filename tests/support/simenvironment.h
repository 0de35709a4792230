#pragma once

#include "app/core/config.h"
#include "sim/platformsim.h"

#include <QTemporaryDir>
#include <memory>

// The simulator started in-process on a free port, with the client's
// configuration read from the client.ini it writes, as the client reads it.
class SimEnvironment
{
public:
    // Starts the simulator and installs its configuration; false on failure.
    bool start(QString *error = nullptr);

    sim::PlatformSim &sim() { return m_sim; }
    const sim::PlatformSim &sim() const { return m_sim; }
    const ClientConfig &config() const { return m_config; }
    QString configFile() const { return m_dir.filePath(QStringLiteral("client.ini")); }

    // Requests to one path, in order.
    QList<sim::LoggedRequest> requestsTo(const QString &path) const;

private:
    sim::PlatformSim m_sim;
    QTemporaryDir m_dir;
    ClientConfig m_config;
};

// Makes a fresh temporary folder the working directory for the life of the
// guard, as the client's files live in the working directory.
class WorkingDirectory
{
public:
    WorkingDirectory();
    ~WorkingDirectory();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

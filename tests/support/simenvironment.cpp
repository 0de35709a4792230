#include "tests/support/simenvironment.h"

#include <QDir>

bool SimEnvironment::start(QString *error)
{
    if (m_sim.start(0) <= 0) {
        if (error)
            *error = QStringLiteral("the simulator could not start");
        return false;
    }
    QString why;
    if (!m_sim.writeConfig(configFile(), &why)) {
        if (error)
            *error = why;
        return false;
    }
    const ConfigResult loaded = loadClientConfig(configFile(), m_dir.path());
    if (!loaded.config) {
        if (error)
            *error = loaded.error;
        return false;
    }
    m_config = *loaded.config;
    setCurrentConfig(m_config);
    return true;
}

QList<sim::LoggedRequest> SimEnvironment::requestsTo(const QString &path) const
{
    QList<sim::LoggedRequest> out;
    for (const sim::LoggedRequest &r : m_sim.requests()) {
        if (r.target == path || r.target.startsWith(path + QLatin1Char('?')))
            out.append(r);
    }
    return out;
}

WorkingDirectory::WorkingDirectory() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

WorkingDirectory::~WorkingDirectory()
{
    QDir::setCurrent(m_previous);
}

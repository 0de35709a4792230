#include "app/core/launcher.h"

#include <QProcess>

namespace {

class SystemLauncher final : public Launcher
{
public:
    bool openUrl(const QString &url) override
    {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {url});
    }
    bool startDetached(const QString &program, const QStringList &arguments,
                       const QString &workingDirectory) override
    {
        return QProcess::startDetached(program, arguments, workingDirectory);
    }
};

std::unique_ptr<Launcher> &slot()
{
    static std::unique_ptr<Launcher> current = std::make_unique<SystemLauncher>();
    return current;
}

} // namespace

Launcher &Launcher::instance()
{
    return *slot();
}

std::unique_ptr<Launcher> Launcher::install(std::unique_ptr<Launcher> launcher)
{
    if (!launcher)
        launcher = std::make_unique<SystemLauncher>();
    std::swap(slot(), launcher);
    return launcher;
}

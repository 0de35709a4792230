#include "app/ui/startup.h"

#include "app/core/config.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/ui/form1.h"
#include "app/ui/messageboxprompter.h"
#include "app/ui/msndres.h"
#include "app/ui/unattended.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int startClient(const QStringList &arguments)
{
    const UnattendedArguments unattended = parseUnattendedArguments(arguments);
    if (unattended.help) {
        QTextStream(stdout) << clientUsage();
        return 0;
    }
    if (!unattended.error.isEmpty()) {
        QTextStream(stderr) << unattended.error << Qt::endl << clientUsage();
        return 2;
    }
    if (unattended.requested) {
        Prompter::install(std::make_unique<UnattendedPrompter>());
        if (!unattended.options.workDir.isEmpty() &&
            !QDir::setCurrent(unattended.options.workDir)) {
            QTextStream(stderr) << "--workdir: cannot enter " << unattended.options.workDir
                                << Qt::endl;
            return 2;
        }
    } else {
        Prompter::install(std::make_unique<MessageBoxPrompter>());
    }

    const QString appDir = QCoreApplication::applicationDirPath();
    const ConfigLocation where = locateClientConfig(arguments, appDir, QDir::currentPath());
    ConfigResult loaded;
    if (where.error.isEmpty())
        loaded = loadClientConfig(where.file, appDir);
    const QString error = where.error.isEmpty() ? loaded.error : where.error;
    if (!loaded.config) {
        QTextStream(stderr) << error << Qt::endl;
        Prompter::instance().inform(Brand::word + Brand::titleSuffix, error);
        return 1;
    }
    setCurrentConfig(*loaded.config);
    DigitSpeaker::install(std::make_unique<MSndRes>());

    auto *login = new Form1;
    login->show();
    if (unattended.requested) {
        auto *run = new UnattendedRun(unattended.options, qApp);
        run->start(login);
    }
    return -1;
}

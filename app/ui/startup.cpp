#include "app/ui/startup.h"

#include "app/core/config.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/ui/form1.h"
#include "app/ui/messageboxprompter.h"
#include "app/ui/msndres.h"
#include "app/ui/unattended.h"
#include "orders/storeindexprogress.h"

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

    const auto showLogin = [options = unattended.options, requested = unattended.requested] {
        auto *login = new Form1;
        login->show();
        if (requested) {
            auto *run = new UnattendedRun(options, qApp);
            run->start(login);
        }
    };
    // The order history's indexes take seconds to build on a large store and
    // hold its write lock meanwhile: built here, before the login, while no
    // engine takes orders. When they are there this costs a glance at the
    // catalogue and the login opens at once.
    const QString title = Brand::word + Brand::titleSuffix;
    buildStoreIndexes(loaded.config->orders, nullptr, title, !unattended.requested, qApp,
                      [showLogin, title](const IndexBuild &build) {
                          if (!build.ok())
                              Prompter::instance().inform(title, indexBuildFailureText(build));
                          showLogin();
                      });
    return -1;
}

#include "app/ui/startup.h"

#include <QApplication>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Chromium refuses to run as root with its sandbox on.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("agent-client"));

    const int failed = startClient(QApplication::arguments());
    if (failed >= 0)
        return failed;
    return QApplication::exec();
}

#pragma once

#include <QStringList>

class QApplication;

// Reads the configuration and opens the login window. Returns an exit code
// when the client cannot start (the reason has been shown), or -1 when the
// event loop should run.
int startClient(const QStringList &arguments);

#pragma once

#include "app/core/config.h"

#include <QString>

class QSqlDatabase;

// How a connection to the order database is used.
struct ConnectionUse
{
    // How long one server statement may run or wait for a lock; 0: no limit.
    // The engine's statements run on the window thread and must give up;
    // the desk's totals and an index build may take their time.
    int statementTimeoutMs = 0;
    // The engine's probes of a few rows each: parallel workers and compiled
    // plans would only add their start-up time.
    bool smallQueries = false;
};

bool isPostgres(const OrderDatabase &database);

// Opens (or finds open) the named connection of this thread to the order
// database, the SQLite file or the PostgreSQL server the seats share, with
// the same options everywhere: SQLite in WAL mode with a busy timeout, the
// server in UTF-8 with a connect time-out. Empty when open, else what went
// wrong, for the agent to read; a connection that cannot be opened is given
// back to Qt.
QString openOrderConnection(const OrderDatabase &database, const QString &connectionName,
                            const ConnectionUse &use = {});

#pragma once

#include "app/core/config.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSqlDatabase;
class QThread;

// The indexes the order history searches by. Each search names the one it
// goes down, so that SQLite never guesses on a file it has no statistics of.
// The store makes the first two with its table; the others only the history
// needs.
namespace historyindex {
inline constexpr char kTime[] = "充值订单_用户_充值时间";
inline constexpr char kOrderNo[] = "充值订单_用户_订单编号";
inline constexpr char kNumber[] = "充值订单_用户_号码_时间";
inline constexpr char kBuyer[] = "充值订单_用户_买家_时间";
inline constexpr char kStatus[] = "充值订单_用户_状态_时间";
inline constexpr char kSource[] = "充值订单_用户_类型_时间";
} // namespace historyindex

// What one run of the index build came to.
struct IndexBuild
{
    QStringList built; // made by this run
    QString error;     // why the rest are missing; empty when every one is there
    bool ok() const { return error.isEmpty(); }
};

// Makes the history's indexes that the database lacks, on an open connection
// of the calling thread, one statement each: on SQLite another writer waits
// for one index at most, never for all of them. Indexes that are there cost
// one look at the catalogue and no CREATE. A database without the order
// table has nothing to index yet.
IndexBuild buildHistoryIndexes(const QSqlDatabase &db);

// The same on a connection of its own, opened and closed here, so it may run
// on any thread. An SQLite file that does not exist yet is left alone: the
// store makes it with its table.
IndexBuild buildHistoryIndexes(const OrderDatabase &database, int busyTimeoutMs = 5000);

// Runs the build on a worker thread: on a large store it takes seconds, and
// on SQLite holds the write lock meanwhile, so the client runs it at start-up
// before anything takes orders. finished() comes on the builder's thread.
class StoreIndexBuilder : public QObject
{
    Q_OBJECT
public:
    explicit StoreIndexBuilder(const OrderDatabase &database, int busyTimeoutMs = 5000,
                               QObject *parent = nullptr);
    // Waits for a build still running: a CREATE INDEX cannot be cut short.
    ~StoreIndexBuilder() override;

    void start();
    bool isRunning() const { return m_running; }
    // Valid once finished() has come.
    const IndexBuild &result() const { return m_result; }

signals:
    void finished();

private:
    OrderDatabase m_database;
    int m_busyTimeoutMs;
    std::unique_ptr<QThread> m_thread;
    IndexBuild m_result;
    bool m_running = false;
};

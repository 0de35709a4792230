#include "orders/storeindexes.h"

#include "orders/orderhistory.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {

QAtomicInt builderCounter;

// Any number the seats agree on, other than the schema's lock.
constexpr int kBuildLockKey = 7260412;

const struct
{
    const char *name;
    const char *columns;
} kIndexes[] = {
    {historyindex::kTime, "(用户, 充值时间)"},
    {historyindex::kOrderNo, "(用户, 订单编号)"},
    {historyindex::kNumber, "(用户, 充值号码, 充值时间)"},
    {historyindex::kBuyer, "(用户, 买家昵称, 充值时间)"},
    {historyindex::kStatus, "(用户, 充值状态, 充值时间)"},
    {historyindex::kSource, "(用户, 类型, 充值时间)"},
};

struct Catalogue
{
    bool table = false;
    QSet<QString> valid;
    // A server's concurrent build that broke off leaves its index behind,
    // unusable; it is dropped and made again.
    QSet<QString> broken;
};

bool isServer(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// Read by a query rather than QSqlDatabase::tables(), which says nothing
// when the file is no database at all.
bool readCatalogue(const QSqlDatabase &db, Catalogue &out, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool server = isServer(db);
    const QString sql =
        server ? QStringLiteral("SELECT 'table', to_regclass('充值订单') IS NOT NULL UNION ALL "
                                "SELECT c.relname, i.indisvalid FROM pg_index i "
                                "JOIN pg_class c ON c.oid = i.indexrelid "
                                "WHERE i.indrelid = to_regclass('充值订单')")
               : QStringLiteral("SELECT type, 1 FROM sqlite_master WHERE name = '充值订单' "
                                "AND type = 'table' UNION ALL "
                                "SELECT name, 1 FROM sqlite_master WHERE type = 'index' "
                                "AND tbl_name = '充值订单'");
    if (!q.exec(sql)) {
        *error = QStringLiteral("无法读取订单数据库的索引：") + q.lastError().text().trimmed();
        return false;
    }
    out = {};
    // No index can be called "table", a keyword.
    while (q.next()) {
        const QString name = q.value(0).toString();
        const bool flag = q.value(1).toBool();
        if (name == QLatin1String("table"))
            out.table = flag;
        else if (flag)
            out.valid.insert(name);
        else
            out.broken.insert(name);
    }
    if (q.lastError().isValid()) {
        *error = QStringLiteral("无法读取订单数据库的索引：") + q.lastError().text().trimmed();
        return false;
    }
    return true;
}

QStringList missingOf(const Catalogue &c)
{
    QStringList missing;
    if (!c.table)
        return missing;
    for (const auto &index : kIndexes) {
        const QString name = QString::fromUtf8(index.name);
        if (!c.valid.contains(name))
            missing << name;
    }
    return missing;
}

} // namespace

IndexBuild buildHistoryIndexes(const QSqlDatabase &db)
{
    IndexBuild out;
    Catalogue catalogue;
    if (!readCatalogue(db, catalogue, &out.error))
        return out;
    QStringList missing = missingOf(catalogue);
    if (missing.isEmpty())
        return out;

    const bool server = isServer(db);
    QSqlQuery q(db);
    const auto failed = [&](const QString &name) {
        out.error = QStringLiteral("无法建立索引 %1：%2").arg(name, q.lastError().text().trimmed());
    };
    if (server) {
        // One seat builds at a time, so that an index another seat is still
        // building is never taken for the leftover of a broken build. The
        // others find them made once they get the lock.
        if (!q.exec(QStringLiteral("SELECT pg_advisory_lock(%1)").arg(kBuildLockKey))) {
            failed(missing.first());
            return out;
        }
        if (!readCatalogue(db, catalogue, &out.error)) {
            q.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kBuildLockKey));
            return out;
        }
        missing = missingOf(catalogue);
    }
    for (const auto &index : kIndexes) {
        const QString name = QString::fromUtf8(index.name);
        if (!missing.contains(name))
            continue;
        // CONCURRENTLY on a server: the other seats go on writing meanwhile.
        if (server && catalogue.broken.contains(name) &&
            !q.exec(QStringLiteral("DROP INDEX CONCURRENTLY IF EXISTS %1").arg(name))) {
            failed(name);
            break;
        }
        if (!q.exec(QStringLiteral("CREATE INDEX %1IF NOT EXISTS %2 ON 充值订单 %3")
                        .arg(server ? QStringLiteral("CONCURRENTLY ") : QString(), name,
                             QString::fromUtf8(index.columns)))) {
            failed(name);
            break;
        }
        out.built << name;
    }
    if (server)
        q.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kBuildLockKey));
    return out;
}

IndexBuild buildHistoryIndexes(const OrderDatabase &database, int busyTimeoutMs)
{
    if (!isPostgres(database) && !QFileInfo::exists(database.path))
        return {};
    const QString name =
        QStringLiteral("storeindexes-%1").arg(builderCounter.fetchAndAddRelaxed(1));
    IndexBuild out;
    {
        if (const QString error = openOrderConnection(database, name); !error.isEmpty()) {
            out.error = error;
        } else {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (!isPostgres(database))
                QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMs));
            out = buildHistoryIndexes(db);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

StoreIndexBuilder::StoreIndexBuilder(const OrderDatabase &database, int busyTimeoutMs,
                                     QObject *parent)
    : QObject(parent), m_database(database), m_busyTimeoutMs(busyTimeoutMs)
{}

StoreIndexBuilder::~StoreIndexBuilder()
{
    if (m_thread)
        m_thread->wait();
}

void StoreIndexBuilder::start()
{
    if (m_thread)
        return;
    m_running = true;
    m_thread.reset(
        QThread::create([this] { m_result = buildHistoryIndexes(m_database, m_busyTimeoutMs); }));
    m_thread->setObjectName(QStringLiteral("store-indexes"));
    connect(m_thread.get(), &QThread::finished, this, [this] {
        m_running = false;
        emit finished();
    });
    m_thread->start();
}

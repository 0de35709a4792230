#include "orders/orderdatabase.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kConnectTimeoutSeconds = 5;

QString errorText(const QSqlError &error)
{
    return error.text().trimmed();
}

} // namespace

bool isPostgres(const OrderDatabase &database)
{
    return database.driver == OrderDatabase::Driver::PostgreSQL;
}

QString openOrderConnection(const OrderDatabase &database, const QString &connectionName,
                            const ConnectionUse &use)
{
    if (QSqlDatabase::contains(connectionName) &&
        QSqlDatabase::database(connectionName, false).isOpen())
        return {};
    const bool postgres = isPostgres(database);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::contains(connectionName)
                              ? QSqlDatabase::database(connectionName, false)
                              : QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL")
                                                                   : QStringLiteral("QSQLITE"),
                                                          connectionName);
        const auto setUp = [&](const QString &sql) {
            QSqlQuery q(db);
            if (q.exec(sql))
                return true;
            error = QStringLiteral("无法设置订单数据库连接：") + errorText(q.lastError());
            return false;
        };
        if (postgres) {
            if (!db.isValid()) {
                error = QStringLiteral("没有 PostgreSQL 驱动（QPSQL），无法连接订单数据库服务器 %1")
                            .arg(database.server());
            } else {
                db.setHostName(database.host);
                db.setPort(database.port);
                db.setDatabaseName(database.name);
                db.setUserName(database.user);
                db.setPassword(database.password);
                db.setConnectOptions(
                    QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds));
                if (!db.open()) {
                    error = QStringLiteral("无法连接订单数据库服务器 %1（数据库 %2，用户 %3）：%4")
                                .arg(database.server(), database.name, database.user,
                                     errorText(db.lastError()));
                } else if (setUp(QStringLiteral("SET client_encoding = 'UTF8'")) &&
                           setUp(QStringLiteral("SET statement_timeout = %1")
                                     .arg(use.statementTimeoutMs)) &&
                           use.smallQueries) {
                    static_cast<void>(
                        setUp(QStringLiteral("SET max_parallel_workers_per_gather = 0")) &&
                        setUp(QStringLiteral("SET jit = off")));
                }
            }
        } else {
            db.setDatabaseName(database.path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
            if (!db.open()) {
                error = QStringLiteral("无法打开订单数据库 %1：%2")
                            .arg(database.path, errorText(db.lastError()));
            } else if (setUp(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyTimeoutMs))) {
                QSqlQuery q(db);
                if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
                    error = QStringLiteral("无法读取订单数据库 %1：%2")
                                .arg(database.path, errorText(q.lastError()));
                } else if (q.next() &&
                           q.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0) {
                    // A file system without shared memory keeps the rollback
                    // journal: slower for two processes, still correct with
                    // the busy timeout.
                    qWarning().noquote() << "order database" << database.path
                                         << "- journal mode stays" << q.value(0).toString();
                }
            }
        }
        if (!error.isEmpty())
            db.close();
    }
    if (!error.isEmpty())
        QSqlDatabase::removeDatabase(connectionName);
    return error;
}

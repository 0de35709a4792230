#include "orders/orderhistory.h"

#include "orders/orderbook.h"
#include "orders/storeindexes.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>
#include <QtDebug>

namespace {

QAtomicInt historyCounter;

const char *const kColumns = "rowid, 类型, 充值号码, 充值业务, 售价, 数量, 充值时间, 买家昵称, "
                             "充值状态, 卡密, 充值编号, 打印, 随机数, 订单编号, 发货编号, "
                             "平台业务, 服务区, 实际数量, 用户, 查询地区, 买家号码";

QString dayStart(const QDate &day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

// Above every text that begins with the prefix (U+10FFFF sorts last in UTF-8).
QString prefixEnd(const QString &prefix)
{
    return prefix + QString::fromUcs4(U"\U0010FFFF");
}

HistoryRow rowFrom(const QSqlQuery &q)
{
    HistoryRow r;
    RechargeOrder &o = r.order;
    r.key.rowid = q.value(0).toLongLong();
    o.orderType = q.value(1).toInt();
    o.rechargeAccount = q.value(2).toString();
    o.productName = q.value(3).toString();
    o.salePrice = q.value(4).toDouble();
    o.quantity = q.value(5).toDouble();
    r.key.time = q.value(6).toString();
    o.rechargeTime = storedTimeFrom(r.key.time);
    o.buyerNick = q.value(7).toString();
    o.status = statusFromNumber(q.value(8).toInt());
    o.cardCode = q.value(9).toString();
    o.rechargeId = q.value(10).toString();
    o.printMark = q.value(11).toString();
    o.randomNo = q.value(12).toString();
    o.orderNo = q.value(13).toString();
    o.shipNo = q.value(14).toString();
    o.platformProduct = q.value(15).toString();
    o.serverArea = q.value(16).toString();
    o.actualQuantity = q.value(17).toString();
    o.userId = q.value(18).toString();
    o.queryArea = q.value(19).toString();
    o.buyerNumber = q.value(20).toString();
    return r;
}

} // namespace

QString sourceText(int source)
{
    switch (source) {
    case 0:
        return QStringLiteral("柜台");
    case 1:
        return QStringLiteral("淘宝");
    case 2:
        return QStringLiteral("拍拍");
    default:
        return QString::number(source);
    }
}

OrderHistory::OrderHistory(const QString &path, const QString &userId)
    : OrderHistory(sqliteOrderDatabase(path), userId)
{}

OrderHistory::OrderHistory(const OrderDatabase &database, const QString &userId)
    : m_database(database), m_userId(userId),
      m_connection(QStringLiteral("orderhistory-%1").arg(historyCounter.fetchAndAddRelaxed(1)))
{}

OrderHistory::~OrderHistory()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool OrderHistory::open()
{
    return ensureOpen();
}

bool OrderHistory::isOpen() const
{
    return QSqlDatabase::contains(m_connection) &&
           QSqlDatabase::database(m_connection, false).isOpen();
}

bool OrderHistory::ensureOpen()
{
    if (isOpen())
        return true;
    if (const QString error = openOrderConnection(m_database, m_connection); !error.isEmpty()) {
        m_lastError = error;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // The store makes the table; a database it never used has nothing to
    // search, which is said once here rather than by every query.
    if (!db.tables().contains(QStringLiteral("充值订单"))) {
        m_lastError = QStringLiteral("订单数据库中没有订单表");
        db.close();
        return false;
    }
    // Made at start-up on a worker thread before anything takes orders;
    // only a start that skipped that step makes them here, on this thread.
    if (const IndexBuild build = buildHistoryIndexes(db); !build.ok()) {
        m_lastError = build.error;
        db.close();
        return false;
    }
    return true;
}

std::optional<QList<HistoryRow>> OrderHistory::search(const OrderFilter &f, int limit,
                                                      const std::optional<HistoryKey> &after)
{
    if (!ensureOpen())
        return std::nullopt;
    QString where = QStringLiteral("用户 = ?");
    QVariantList values{columnText(m_userId)};
    const char *index = historyindex::kTime;
    auto prefix = [&](const char *column, const QString &value) {
        where += QStringLiteral(" AND %1 >= ? AND %1 < ?").arg(QString::fromUtf8(column));
        values << value << prefixEnd(value);
    };
    if (!f.rechargeAccount.isEmpty()) {
        prefix("充值号码", f.rechargeAccount);
        index = historyindex::kNumber;
    }
    if (!f.orderNo.isEmpty()) {
        prefix("订单编号", f.orderNo);
        if (f.rechargeAccount.isEmpty())
            index = historyindex::kOrderNo;
    }
    if (!f.buyer.isEmpty()) {
        prefix("买家昵称", f.buyer);
        if (f.rechargeAccount.isEmpty() && f.orderNo.isEmpty())
            index = historyindex::kBuyer;
    }
    const bool byText = !f.rechargeAccount.isEmpty() || !f.orderNo.isEmpty() || !f.buyer.isEmpty();
    if (f.status) {
        where += QStringLiteral(" AND 充值状态 = ?");
        values << statusNumber(*f.status);
        if (!byText)
            index = historyindex::kStatus;
    }
    if (f.source) {
        where += QStringLiteral(" AND 类型 = ?");
        values << *f.source;
        if (!byText && !f.status)
            index = historyindex::kSource;
    }
    if (f.from.isValid()) {
        where += QStringLiteral(" AND 充值时间 >= ?");
        values << dayStart(f.from);
    }
    if (f.to.isValid()) {
        where += QStringLiteral(" AND 充值时间 < ?");
        values << dayStart(f.to.addDays(1));
    }
    if (after) {
        where += QStringLiteral(" AND (充值时间, rowid) < (?, ?)");
        values << after->time << after->rowid;
    }
    // A server plans with statistics of its own; SQLite is told.
    const QString indexedBy = isPostgres(m_database)
                                  ? QString()
                                  : QStringLiteral(" INDEXED BY ") + QString::fromUtf8(index);
    const QString sql = QStringLiteral("SELECT %1 FROM 充值订单%2 WHERE %3 "
                                       "ORDER BY 充值时间 DESC, rowid DESC LIMIT %4")
                            .arg(QString::fromUtf8(kColumns), indexedBy, where)
                            .arg(limit);
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        m_lastError = QStringLiteral("查询失败：") + q.lastError().text().trimmed();
        return std::nullopt;
    }
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec()) {
        m_lastError = QStringLiteral("查询失败：") + q.lastError().text().trimmed();
        return std::nullopt;
    }
    QList<HistoryRow> rows;
    while (q.next())
        rows.append(rowFrom(q));
    if (q.lastError().isValid()) {
        m_lastError = QStringLiteral("查询失败：") + q.lastError().text().trimmed();
        return std::nullopt;
    }
    return rows;
}

std::optional<QList<DailyTotal>> OrderHistory::dailyTotals(const QDate &from, const QDate &to,
                                                           std::optional<int> source)
{
    if (!ensureOpen())
        return std::nullopt;
    // Sums of CASE rather than of comparisons, and COALESCE rather than
    // total(): the same text on SQLite and on a server.
    QString sql =
        QStringLiteral("SELECT substr(充值时间, 1, 10) AS 日期, 类型, count(*), "
                       "sum(CASE WHEN 充值状态 IN (1, 3) THEN 1 ELSE 0 END), "
                       "sum(CASE WHEN 充值状态 IN (2, 4) THEN 1 ELSE 0 END), "
                       "sum(CASE WHEN 充值状态 = -1 THEN 1 ELSE 0 END), "
                       "COALESCE(sum(CASE WHEN 充值状态 IN (1, 3) THEN 售价 ELSE 0 END), 0) "
                       "FROM 充值订单%1 WHERE 用户 = ? AND 充值时间 >= ? AND 充值时间 < ?")
            .arg(isPostgres(m_database)
                     ? QString()
                     : QStringLiteral(" INDEXED BY ") + QString::fromUtf8(historyindex::kTime));
    if (source)
        sql += QStringLiteral(" AND 类型 = ?");
    sql += QStringLiteral(" GROUP BY 1, 2 ORDER BY 1 DESC, 2");
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    q.bindValue(0, columnText(m_userId));
    q.bindValue(1, dayStart(from));
    q.bindValue(2, dayStart(to.addDays(1)));
    if (source)
        q.bindValue(3, *source);
    if (!q.exec()) {
        m_lastError = QStringLiteral("统计失败：") + q.lastError().text().trimmed();
        return std::nullopt;
    }
    QList<DailyTotal> totals;
    while (q.next()) {
        DailyTotal t;
        t.day = QDate::fromString(q.value(0).toString(), QStringLiteral("yyyy-MM-dd"));
        t.source = q.value(1).toInt();
        t.orders = q.value(2).toInt();
        t.succeeded = q.value(3).toInt();
        t.failed = q.value(4).toInt();
        t.unknown = q.value(5).toInt();
        t.sales = q.value(6).toDouble();
        totals.append(t);
    }
    return totals;
}

std::optional<RechargeOrder> OrderHistory::order(const QString &orderNo)
{
    if (orderNo.isEmpty() || !ensureOpen())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM 充值订单 WHERE 用户 = ? AND 订单编号 = ? "
                             "ORDER BY rowid LIMIT 1")
                  .arg(QString::fromUtf8(kColumns)));
    q.bindValue(0, columnText(m_userId));
    q.bindValue(1, orderNo);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return rowFrom(q).order;
}

// ---- the model ----

namespace {
const char *const kHeaders[] = {"充值时间", "来源",     "充值号码", "充值业务", "售价",
                                "买家昵称", "充值状态", "订单编号", "卡密"};
}

OrderHistoryModel::OrderHistoryModel(OrderHistory &history, QObject *parent)
    : QAbstractTableModel(parent), m_history(history)
{
    setObjectName(QStringLiteral("orderHistoryModel"));
}

int OrderHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int OrderHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::size(kHeaders));
}

QVariant OrderHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const RechargeOrder &o = m_rows.at(index.row()).order;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return m_rows.at(index.row()).key.time;
    case 1:
        return sourceText(o.orderType);
    case 2:
        return o.rechargeAccount;
    case 3:
        return o.productName;
    case 4:
        return orderNumberText(o.salePrice);
    case 5:
        return o.buyerNick;
    case 6:
        return 状态转换(o.status);
    case 7:
        return o.orderNo;
    case 8:
        return o.cardCode;
    }
    return {};
}

QVariant OrderHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(std::size(kHeaders)))
        return QString::fromUtf8(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool OrderHistoryModel::load(const std::optional<HistoryKey> &after)
{
    // One row more than the page tells whether there is a next page.
    auto rows = m_history.search(m_filter, m_pageSize + 1, after);
    if (!rows)
        return false;
    m_hasNext = rows->size() > m_pageSize;
    if (m_hasNext)
        rows->removeLast();
    beginResetModel();
    m_rows = std::move(*rows);
    m_currentStart = after;
    endResetModel();
    emit pageChanged();
    return true;
}

bool OrderHistoryModel::search(const OrderFilter &filter)
{
    m_filter = filter;
    m_pageStarts.clear();
    return load(std::nullopt);
}

bool OrderHistoryModel::nextPage()
{
    if (!m_hasNext || m_rows.isEmpty())
        return false;
    const auto start = m_currentStart;
    if (!load(m_rows.last().key))
        return false;
    m_pageStarts.append(start);
    return true;
}

bool OrderHistoryModel::previousPage()
{
    if (m_pageStarts.isEmpty())
        return false;
    if (!load(m_pageStarts.last()))
        return false;
    m_pageStarts.removeLast();
    return true;
}

// ---- CSV ----

QString csvField(const QString &value)
{
    QString v = value;
    if (!v.isEmpty() && (v.front() == u'=' || v.front() == u'+' || v.front() == u'-' ||
                         v.front() == u'@' || v.front() == u'\t' || v.front() == u'\r'))
        v.prepend(u'\'');
    if (v.contains(u'"') || v.contains(u',') || v.contains(u'\n') || v.contains(u'\r')) {
        v.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + v + u'"';
    }
    return v;
}

QString csvLine(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &f : fields)
        out.append(csvField(f));
    return out.join(u',') + QStringLiteral("\r\n");
}

QStringList csvHeader()
{
    return {QStringLiteral("充值时间"), QStringLiteral("来源"),     QStringLiteral("充值号码"),
            QStringLiteral("充值业务"), QStringLiteral("售价"),     QStringLiteral("数量"),
            QStringLiteral("买家昵称"), QStringLiteral("充值状态"), QStringLiteral("订单编号"),
            QStringLiteral("发货编号"), QStringLiteral("充值编号"), QStringLiteral("卡密")};
}

QStringList csvFields(const RechargeOrder &o)
{
    return {orderTimeText(o.rechargeTime),
            sourceText(o.orderType),
            o.rechargeAccount,
            o.productName,
            orderNumberText(o.salePrice),
            orderNumberText(o.quantity),
            o.buyerNick,
            状态转换(o.status),
            o.orderNo,
            o.shipNo,
            o.rechargeId,
            o.cardCode};
}

CsvExport::CsvExport(OrderHistory &history, const OrderFilter &filter, const QString &path,
                     QObject *parent)
    : QObject(parent), m_history(history), m_filter(filter), m_file(path)
{}

void CsvExport::start()
{
    if (m_running)
        return;
    if (!m_file.open(QIODevice::WriteOnly)) {
        end(false, false, m_file.errorString());
        return;
    }
    m_running = true;
    m_file.write("\xEF\xBB\xBF");
    m_file.write(csvLine(csvHeader()).toUtf8());
    QTimer::singleShot(0, this, &CsvExport::step);
}

void CsvExport::cancel()
{
    m_cancelRequested = true;
}

void CsvExport::step()
{
    if (!m_running)
        return;
    if (m_cancelRequested) {
        end(false, true);
        return;
    }
    const auto rows = m_history.search(m_filter, kChunk, m_after);
    if (!rows) {
        end(false, false, m_history.lastError());
        return;
    }
    QByteArray chunk;
    for (const HistoryRow &r : *rows)
        chunk += csvLine(csvFields(r.order)).toUtf8();
    if (m_file.write(chunk) != chunk.size()) {
        end(false, false, m_file.errorString());
        return;
    }
    m_rows += int(rows->size());
    if (rows->size() < kChunk) {
        if (!m_file.commit()) {
            m_running = false;
            m_error = m_file.errorString();
            emit finished(false, false);
            return;
        }
        m_running = false;
        emit progress(m_rows);
        emit finished(true, false);
        return;
    }
    m_after = rows->last().key;
    emit progress(m_rows);
    QTimer::singleShot(0, this, &CsvExport::step);
}

void CsvExport::end(bool ok, bool cancelled, const QString &error)
{
    m_running = false;
    m_error = error;
    m_file.cancelWriting();
    if (m_file.isOpen())
        m_file.commit(); // after cancelWriting: drops the temporary file, writes nothing
    emit finished(ok, cancelled);
}

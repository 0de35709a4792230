#pragma once

#include "app/core/config.h"
#include "orders/orderdatabase.h"
#include "orders/rechargeorder.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What the agent searches the whole store by. Empty texts and unset options
// do not filter. Texts match from their start (a number's first digits find
// it), dates are local calendar days, both ends included.
struct OrderFilter
{
    QString rechargeAccount;
    QString orderNo;
    QString buyer;
    std::optional<OrderStatus> status;
    std::optional<int> source; // 0 counter, 1 Taobao, 2 Paipai
    QDate from;
    QDate to;
};

// Where a page of results starts: after this order, newest first.
struct HistoryKey
{
    QString time; // 充值时间 as stored
    qint64 rowid = 0;
};

struct HistoryRow
{
    HistoryKey key;
    RechargeOrder order;
};

// One day and one source of the daily totals. Sales and cost count the
// orders that were recharged (status 1 or 3); the store keeps no purchase
// price, so the cost is unknown unless the caller can tell it.
struct DailyTotal
{
    QDate day;
    int source = 0;
    int orders = 0;
    int succeeded = 0; // 1, 3
    int failed = 0;    // 2, 4
    int unknown = 0;   // -1: sent, outcome not known
    double sales = 0;
};

// Searches over every order of one account in the store's file, on a
// connection of its own (read-only work beside the store's writes; WAL lets
// both go on). Results come newest first, a page at a time, keyed by
// (充值时间, rowid) so that a later page costs what the first does however
// deep the agent pages.
class OrderHistory
{
public:
    OrderHistory(const QString &path, const QString &userId);
    OrderHistory(const OrderDatabase &database, const QString &userId);
    ~OrderHistory();
    OrderHistory(const OrderHistory &) = delete;
    OrderHistory &operator=(const OrderHistory &) = delete;

    // Opens the file; makes the indexes the searches need if they are missing.
    bool open();
    bool isOpen() const;
    const OrderDatabase &database() const { return m_database; }
    QString lastError() const { return m_lastError; }
    QString userId() const { return m_userId; }

    // Up to limit orders after `after` (from the newest without it).
    std::optional<QList<HistoryRow>> search(const OrderFilter &filter, int limit,
                                            const std::optional<HistoryKey> &after = {});
    // By day, newest day first, and by source within a day.
    std::optional<QList<DailyTotal>> dailyTotals(const QDate &from, const QDate &to,
                                                 std::optional<int> source = {});
    // One order by its order number; nullopt when there is none or on error.
    std::optional<RechargeOrder> order(const QString &orderNo);

private:
    bool ensureOpen();

    OrderDatabase m_database;
    QString m_userId;
    QString m_connection;
    QString m_lastError;
};

// Rows of one search shown a page at a time: the model holds the page in
// view and nothing more. Columns: 充值时间, 来源, 充值号码, 充值业务, 售价,
// 买家昵称, 充值状态, 订单编号, 卡密.
class OrderHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kDefaultPageSize = 100;

    explicit OrderHistoryModel(OrderHistory &history, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setPageSize(int size) { m_pageSize = size; }
    // A new search, from the newest order. False (and the error in
    // lastError) when the file could not be read.
    bool search(const OrderFilter &filter);
    bool nextPage();
    bool previousPage();
    bool hasNextPage() const { return m_hasNext; }
    bool hasPreviousPage() const { return !m_pageStarts.isEmpty(); }
    int pageNumber() const { return int(m_pageStarts.size()) + 1; }
    const OrderFilter &filter() const { return m_filter; }
    QString lastError() const { return m_history.lastError(); }

    const RechargeOrder &orderAt(int row) const { return m_rows.at(row).order; }

signals:
    void pageChanged();

private:
    bool load(const std::optional<HistoryKey> &after);

    OrderHistory &m_history;
    OrderFilter m_filter;
    int m_pageSize = kDefaultPageSize;
    QList<HistoryRow> m_rows;
    // Where each earlier page started, so Back needs no offset.
    QList<std::optional<HistoryKey>> m_pageStarts;
    std::optional<HistoryKey> m_currentStart;
    bool m_hasNext = false;
};

// The caption of a source kind: "柜台", "淘宝", "拍拍".
QString sourceText(int source);

// ---- CSV ----

// One field, RFC 4180: quoted when it holds a quote, comma or line break; a
// value that a spreadsheet would take as a formula (beginning with =, +, -, @,
// or a tab or carriage return) gets a leading apostrophe first.
QString csvField(const QString &value);
QString csvLine(const QStringList &fields);
QStringList csvHeader();
QStringList csvFields(const RechargeOrder &order);

// Writes every order of one search to a file, a chunk per turn of the event
// loop so the window stays responsive, into a QSaveFile: the file appears
// whole when done and not at all when cancelled or failed.
class CsvExport : public QObject
{
    Q_OBJECT
public:
    static constexpr int kChunk = 2000;

    CsvExport(OrderHistory &history, const OrderFilter &filter, const QString &path,
              QObject *parent = nullptr);

    void start();
    void cancel();
    bool isRunning() const { return m_running; }
    int rowsWritten() const { return m_rows; }
    QString error() const { return m_error; }

signals:
    void progress(int rows);
    // ok: the file is written whole. Otherwise cancelled or failed (error).
    void finished(bool ok, bool cancelled);

private:
    void step();
    void end(bool ok, bool cancelled, const QString &error = {});

    OrderHistory &m_history;
    OrderFilter m_filter;
    QSaveFile m_file;
    std::optional<HistoryKey> m_after;
    int m_rows = 0;
    bool m_running = false;
    bool m_cancelRequested = false;
    QString m_error;
};

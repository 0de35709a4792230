// The agent's desk over a real SQLite file: searches and daily totals over a
// small fixture store, keyset pages, the CSV bytes, a cancelled export, the
// unresolved orders with the hand decisions and their record, and alerts.
// The history's indexes: built once on a worker, found without a CREATE,
// and a build that fails says why.
#include "orders/alerts.h"
#include "orders/decisions.h"
#include "orders/orderbook.h"
#include "orders/orderhistory.h"
#include "orders/orderledger.h"
#include "orders/orderstore.h"
#include "orders/storeindexes.h"
#include "tests/support/recordingprompter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

const QString kUser = QStringLiteral("1001");
const QString kOther = QStringLiteral("2002");

struct Row
{
    const char *time;
    int type;
    const char *account;
    const char *orderNo;
    const char *buyer;
    int status;
    double price;
};

// Two days around midnight, three sources, every status of note.
const Row kFixture[] = {
    {"2024-03-01 09:00:00", 0, "13800000001", "M001", "手工订单", 1, 10},
    {"2024-03-01 12:30:00", 1, "13800000002", "TB1001", "小明", 3, 30},
    {"2024-03-01 23:59:59", 2, "13900000003", "PP2001", "88001", 2, 50},
    {"2024-03-02 00:00:00", 1, "13800000001", "TB1002", "小红", -1, 20},
    {"2024-03-02 08:15:00", 1, "13800000004", "TB1003", "=cmd", 4, 100},
    {"2024-03-02 10:00:00", 0, "13800000001", "M002", "手工订单", 1, 30},
    {"2024-03-03 10:00:00", 2, "13900000005", "PP2002", "88002", 0, 5},
};

RechargeOrder orderOf(const Row &r)
{
    RechargeOrder o;
    o.orderType = r.type;
    o.rechargeAccount = QString::fromUtf8(r.account);
    o.productName = QStringLiteral("移动话费");
    o.salePrice = r.price;
    o.quantity = 1;
    o.rechargeTime = QDateTime::fromString(QString::fromUtf8(r.time), "yyyy-MM-dd HH:mm:ss");
    o.buyerNick = QString::fromUtf8(r.buyer);
    o.status = statusFromNumber(r.status);
    o.orderNo = QString::fromUtf8(r.orderNo);
    o.shipNo = o.orderNo;
    return o;
}

QStringList orderNos(const QList<HistoryRow> &rows)
{
    QStringList list;
    for (const auto &r : rows)
        list << r.order.orderNo;
    return list;
}

// Every statement the SQLite connections opened while it lives run, as
// SQLite itself sees them (Qt's driver uses the same library).
class StatementLog
{
public:
    StatementLog()
    {
        s_log = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&attach));
    }
    ~StatementLog()
    {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&attach));
        s_log = nullptr;
    }
    StatementLog(const StatementLog &) = delete;
    StatementLog &operator=(const StatementLog &) = delete;

    QStringList matching(const QString &word) const
    {
        return m_statements.filter(word, Qt::CaseInsensitive);
    }

private:
    static int attach(sqlite3 *db, const char **, const sqlite3_api_routines *)
    {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &trace, nullptr);
        return SQLITE_OK;
    }
    static int trace(unsigned, void *, void *, void *sql)
    {
        if (s_log)
            s_log->m_statements << QString::fromUtf8(static_cast<const char *>(sql));
        return 0;
    }

    static inline StatementLog *s_log = nullptr;
    QStringList m_statements;
};

// The indexes of 充值订单 in the file, read on a connection of the test's own.
QStringList indexesIn(const QString &path)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "indexes");
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                       "tbl_name = '充值订单' AND sql IS NOT NULL"),
                        db);
            while (q.next())
                names << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase("indexes");
    names.sort();
    return names;
}

class RecordingSink : public AlertSink
{
public:
    void notice(const QString &, const QString &text) override { notices << text; }
    void sound() override { ++sounds; }
    QStringList notices;
    int sounds = 0;
};

} // namespace

class TestOrderHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void search_data();
    void search();
    void pages();
    void dailyTotals();
    void csvField_data();
    void csvField();
    void exportWhole();
    void exportCancelled();
    void unresolvedAndDecisions();
    void resubmitOnlyAfterConfirmation();
    void handOverDecisions();
    void alertsOnce();
    void thresholdFile();
    void builderMakesEveryIndexOnce();
    void historyOpensWithoutCreate();
    void buildFailure_data();
    void buildFailure();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestOrderHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("data.mdb"));
    OrderStore store(m_path, kUser);
    for (const Row &r : kFixture)
        QVERIFY(store.插入订单(orderOf(r)));
    // Another account's orders in the same file are never found.
    OrderStore other(m_path, kOther);
    RechargeOrder o = orderOf(kFixture[0]);
    o.orderNo = QStringLiteral("X001");
    QVERIFY(other.插入订单(o));
}

void TestOrderHistory::search_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("orderNo");
    QTest::addColumn<QString>("buyer");
    QTest::addColumn<int>("status"); // -9: any
    QTest::addColumn<int>("source"); // -9: any
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("expected");

    const QDate none;
    QTest::newRow("all, newest first")
        << ""
        << ""
        << "" << -9 << -9 << none << none
        << QStringList{"PP2002", "M002", "TB1003", "TB1002", "PP2001", "TB1001", "M001"};
    QTest::newRow("recharge number")
        << "13800000001"
        << ""
        << "" << -9 << -9 << none << none << QStringList{"M002", "TB1002", "M001"};
    QTest::newRow("number prefix")
        << "139"
        << ""
        << "" << -9 << -9 << none << none << QStringList{"PP2002", "PP2001"};
    QTest::newRow("order number") << ""
                                  << "TB1002"
                                  << "" << -9 << -9 << none << none << QStringList{"TB1002"};
    QTest::newRow("buyer") << ""
                           << ""
                           << "小红" << -9 << -9 << none << none << QStringList{"TB1002"};
    QTest::newRow("status unknown") << ""
                                    << ""
                                    << "" << -1 << -9 << none << none << QStringList{"TB1002"};
    QTest::newRow("status recharged")
        << ""
        << ""
        << "" << 1 << -9 << none << none << QStringList{"M002", "M001"};
    QTest::newRow("source counter") << ""
                                    << ""
                                    << "" << -9 << 0 << none << none << QStringList{"M002", "M001"};
    QTest::newRow("source Paipai")
        << ""
        << ""
        << "" << -9 << 2 << none << none << QStringList{"PP2002", "PP2001"};
    QTest::newRow("one day ends at 23:59:59")
        << ""
        << ""
        << "" << -9 << -9 << QDate(2024, 3, 1) << QDate(2024, 3, 1)
        << QStringList{"PP2001", "TB1001", "M001"};
    QTest::newRow("next day starts at midnight")
        << ""
        << ""
        << "" << -9 << -9 << QDate(2024, 3, 2) << QDate(2024, 3, 2)
        << QStringList{"M002", "TB1003", "TB1002"};
    QTest::newRow("range across midnight, Taobao")
        << ""
        << ""
        << "" << -9 << 1 << QDate(2024, 3, 1) << QDate(2024, 3, 2)
        << QStringList{"TB1003", "TB1002", "TB1001"};
    QTest::newRow("filters together")
        << "13800000001"
        << ""
        << "" << 1 << 0 << QDate(2024, 3, 2) << none << QStringList{"M002"};
    QTest::newRow("nothing found") << "147"
                                   << ""
                                   << "" << -9 << -9 << none << none << QStringList{};
    QTest::newRow("empty range") << ""
                                 << ""
                                 << "" << -9 << -9 << QDate(2024, 4, 1) << QDate(2024, 4, 30)
                                 << QStringList{};
    QTest::newRow("quote in a value") << "1' OR '1'='1"
                                      << ""
                                      << "" << -9 << -9 << none << none << QStringList{};
}

void TestOrderHistory::search()
{
    QFETCH(QString, account);
    QFETCH(QString, orderNo);
    QFETCH(QString, buyer);
    QFETCH(int, status);
    QFETCH(int, source);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, expected);

    OrderHistory history(m_path, kUser);
    OrderFilter f{account, orderNo, buyer, {}, {}, from, to};
    if (status != -9)
        f.status = statusFromNumber(status);
    if (source != -9)
        f.source = source;
    const auto rows = history.search(f, 100);
    QVERIFY2(rows, qPrintable(history.lastError()));
    QCOMPARE(orderNos(*rows), expected);
}

void TestOrderHistory::pages()
{
    OrderHistory history(m_path, kUser);
    OrderHistoryModel model(history);
    model.setPageSize(3);
    QVERIFY(model.search({}));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.data(model.index(0, 7)).toString(), QStringLiteral("PP2002"));
    QVERIFY(model.hasNextPage());
    QVERIFY(!model.hasPreviousPage());
    QVERIFY(model.nextPage());
    QCOMPARE(model.pageNumber(), 2);
    QCOMPARE(model.data(model.index(0, 7)).toString(), QStringLiteral("TB1002"));
    QVERIFY(model.nextPage());
    QCOMPARE(model.rowCount(), 1); // the model holds the page in view only
    QCOMPARE(model.orderAt(0).orderNo, QStringLiteral("M001"));
    QVERIFY(!model.hasNextPage());
    QVERIFY(model.previousPage());
    QVERIFY(model.previousPage());
    QCOMPARE(model.pageNumber(), 1);
    QCOMPARE(model.orderAt(0).orderNo, QStringLiteral("PP2002"));
}

void TestOrderHistory::dailyTotals()
{
    OrderHistory history(m_path, kUser);
    const auto totals = history.dailyTotals(QDate(2024, 3, 1), QDate(2024, 3, 2));
    QVERIFY(totals);
    QList<QStringList> got;
    for (const DailyTotal &t : *totals)
        got << QStringList{t.day.toString(Qt::ISODate), QString::number(t.source),
                           QString::number(t.orders),   QString::number(t.succeeded),
                           QString::number(t.failed),   QString::number(t.unknown),
                           QString::number(t.sales)};
    const QList<QStringList> expected = {
        {"2024-03-02", "0", "1", "1", "0", "0", "30"},
        {"2024-03-02", "1", "2", "0", "1", "1", "0"},
        {"2024-03-01", "0", "1", "1", "0", "0", "10"},
        {"2024-03-01", "1", "1", "1", "0", "0", "30"},
        {"2024-03-01", "2", "1", "0", "1", "0", "0"},
    };
    QCOMPARE(got, expected);
    const auto none = history.dailyTotals(QDate(2025, 1, 1), QDate(2025, 1, 2));
    QVERIFY(none && none->isEmpty());
}

void TestOrderHistory::csvField_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "13800000001"
                           << "13800000001";
    QTest::newRow("Chinese") << "小明的店"
                             << "小明的店";
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quotes") << "say \"hi\""
                            << "\"say \"\"hi\"\"\"";
    QTest::newRow("line break") << "one\ntwo"
                                << "\"one\ntwo\"";
    QTest::newRow("CR LF") << "one\r\ntwo"
                           << "\"one\r\ntwo\"";
    QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                             << "\"'=HYPERLINK(\"\"x\"\")\"";
    QTest::newRow("plus") << "+1"
                          << "'+1";
    QTest::newRow("minus") << "-2+3"
                           << "'-2+3";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestOrderHistory::csvField()
{
    QFETCH(QString, value);
    QFETCH(QString, field);
    QCOMPARE(::csvField(value), field);
}

void TestOrderHistory::exportWhole()
{
    OrderHistory history(m_path, kUser);
    const QString out = m_dir->filePath(QStringLiteral("订单.csv"));
    OrderFilter f;
    f.orderNo = QStringLiteral("TB1003");
    CsvExport exporter(history, f, out);
    QSignalSpy finished(&exporter, &CsvExport::finished);
    exporter.start();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray expected = "\xEF\xBB\xBF" + csvLine(csvHeader()).toUtf8() +
                                QStringLiteral("2024-03-02 08:15:00,淘宝,13800000004,移动话费,100,"
                                               "1,'=cmd,提交失败,TB1003,TB1003,,\r\n")
                                    .toUtf8();
    QCOMPARE(bytes, expected);
}

void TestOrderHistory::exportCancelled()
{
    // Enough orders for several chunks.
    {
        OrderStore store(m_path, kUser);
        QVERIFY(store.inTransaction([&] {
            for (int i = 0; i < CsvExport::kChunk * 3; ++i) {
                RechargeOrder o = orderOf(kFixture[1]);
                o.orderNo = QStringLiteral("BULK%1").arg(i);
                if (!store.插入订单(o))
                    return false;
            }
            return true;
        }));
    }
    OrderHistory history(m_path, kUser);
    const QString out = m_dir->filePath(QStringLiteral("half.csv"));
    CsvExport exporter(history, {}, out);
    connect(&exporter, &CsvExport::progress, &exporter, [&] { exporter.cancel(); });
    QSignalSpy finished(&exporter, &CsvExport::finished);
    exporter.start();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QVERIFY(exporter.rowsWritten() > 0);
    QVERIFY(exporter.rowsWritten() < CsvExport::kChunk * 3);
    QVERIFY(!QFile::exists(out));
    QCOMPARE(QDir(m_dir->path()).entryList({"half*"}, QDir::Files), QStringList{});
}

void TestOrderHistory::unresolvedAndDecisions()
{
    OrderLedger ledger(sqliteOrderDatabase(m_path), kUser);
    OrderStore &store = ledger.store();
    OrderHistory history(m_path, kUser);
    DecisionLog log(m_path, kUser);
    OrderBook &book = ledger.book();
    PrompterGuard prompter;
    // TB1002 is still out in this session: not unknown yet.
    RechargeOrder out = orderOf(kFixture[3]);
    out.orderNo = QStringLiteral("TB9999");
    QVERIFY(store.插入订单(out));
    book.显示订单(out);

    UnresolvedOrders unresolved(history, log, &book);
    QVERIFY(unresolved.refresh());
    QCOMPARE(unresolved.rowCount(), 2);
    QCOMPARE(unresolved.at(0).order.orderNo, QStringLiteral("TB1003"));
    QCOMPARE(unresolved.at(0).trouble, Trouble::SubmitFailed);
    QCOMPARE(unresolved.at(1).order.orderNo, QStringLiteral("TB1002"));
    QCOMPARE(unresolved.at(1).trouble, Trouble::Unknown);

    unresolved.consignFailed(QStringLiteral("TB1001"), QStringLiteral("店铺登录已过期"));
    unresolved.handOverFailed(QStringLiteral("小明"), QStringLiteral("CARD-1"),
                              QStringLiteral("找不到聊天窗口"));
    QCOMPARE(unresolved.rowCount(), 4);
    unresolved.shipped(QStringLiteral("TB1001"));
    unresolved.handedOver(QStringLiteral("小明"), QStringLiteral("CARD-1"));
    QCOMPARE(unresolved.rowCount(), 2);

    OrderDecisions decisions(ledger, log, *prompter, QStringLiteral("代理"),
                             QStringLiteral("张三"));
    const RechargeOrder unknown = unresolved.at(1).order;

    // No to the question: nothing changes, nothing is recorded.
    prompter->answers = {false};
    QVERIFY(!decisions.markRecharged(unknown));
    QVERIFY(prompter->messages.last().text.contains(
        QStringLiteral("订单 TB1002，号码 13800000001，金额 20 元")));
    QCOMPARE(log.decisions()->size(), 0);

    // An order whose outcome is known cannot be marked.
    QVERIFY(!decisions.markNotRecharged(orderOf(kFixture[0])));

    prompter->answers = {true};
    QVERIFY(decisions.markNotRecharged(unknown));
    OrderFilter f;
    f.orderNo = QStringLiteral("TB1002");
    QCOMPARE(history.search(f, 1)->first().order.status, OrderStatus::SubmitFailed);
    QVERIFY(unresolved.refresh());
    QCOMPARE(unresolved.at(unresolved.rowOf("TB1002")).trouble, Trouble::SubmitFailed);
    QVERIFY(
        unresolved.at(unresolved.rowOf("TB1002")).what.contains(QStringLiteral("已核实未充值")));
    // Not waiting: no scan of the book would send it.
    QVERIFY(book.waiting(1).isEmpty());

    // The other way, on an order in the book that became unknown.
    book.setNote(out.orderNo, QStringLiteral("结果未知,请在销售记录中核实"), true);
    prompter->answers = {true};
    QVERIFY(decisions.markRecharged(out));
    f.orderNo = out.orderNo;
    QCOMPARE(history.search(f, 1)->first().order.status, OrderStatus::Recharged);
    QCOMPARE(book.entry(out.orderNo)->order.status, OrderStatus::Recharged);
    QVERIFY(book.entry(out.orderNo)->note.isEmpty());

    const auto decided = log.decisions();
    QVERIFY(decided);
    QCOMPARE(decided->size(), 2);
    QCOMPARE(decided->at(0).orderNo, QStringLiteral("TB1002"));
    QCOMPARE(decided->at(0).decision, kDecisionNotRecharged);
    QCOMPARE(decided->at(0).fromStatus, OrderStatus::Submitting);
    QCOMPARE(decided->at(0).toStatus, OrderStatus::SubmitFailed);
    QCOMPARE(decided->at(0).operatorName, QStringLiteral("张三"));
    QVERIFY(decided->at(0).time.isValid());
    QCOMPARE(decided->at(1).decision, kDecisionRecharged);
    QCOMPARE(decided->at(1).toStatus, OrderStatus::Recharged);
    // The other account sees none of them.
    DecisionLog otherLog(m_path, kOther);
    QCOMPARE(otherLog.decisions()->size(), 0);
}

void TestOrderHistory::resubmitOnlyAfterConfirmation()
{
    OrderLedger ledger(sqliteOrderDatabase(m_path), kUser);
    OrderHistory history(m_path, kUser);
    DecisionLog log(m_path, kUser);
    OrderBook &book = ledger.book();
    PrompterGuard prompter;
    OrderDecisions decisions(ledger, log, *prompter, QStringLiteral("代理"),
                             QStringLiteral("张三"));
    QSignalSpy resubmitted(&decisions, &OrderDecisions::resubmitted);
    const RechargeOrder failed = orderOf(kFixture[4]); // TB1003, status 4

    // Unknown orders are resolved first, never resubmitted directly.
    QVERIFY(!decisions.resubmit(orderOf(kFixture[3])));
    prompter->answers = {false};
    QVERIFY(!decisions.resubmit(failed));
    QCOMPARE(resubmitted.size(), 0);
    QVERIFY(book.waiting(1).isEmpty());
    QVERIFY(prompter->messages.last().text.contains(QStringLiteral("重新提交")));

    prompter->answers = {true};
    QVERIFY(decisions.resubmit(failed));
    QCOMPARE(resubmitted.size(), 1);
    QCOMPARE(resubmitted.at(0).at(1).toInt(), 1);
    QCOMPARE(book.waiting(1), QStringList{"TB1003"});
    OrderFilter f;
    f.orderNo = QStringLiteral("TB1003");
    QCOMPARE(history.search(f, 1)->first().order.status, OrderStatus::Waiting);
    QCOMPARE(log.decisions(QStringLiteral("TB1003"))->last().decision, kDecisionResubmit);
}

void TestOrderHistory::handOverDecisions()
{
    // Two card codes kept in the store: one the messenger gave up on, one
    // still waiting. The desk lists both; 重新发送 puts the failed one back
    // once; 已手工发送 ends the other; each decision is logged.
    OrderLedger ledger(sqliteOrderDatabase(m_path), kUser);
    OrderStore &store = ledger.store();
    const QDateTime at(QDate(2024, 5, 2), QTime(9, 0));
    QVERIFY(store.addHandOver({QStringLiteral("TB1"), QStringLiteral("S1"), QStringLiteral("小明"),
                               QStringLiteral("CARD-1"), HandOverState::Failed,
                               QStringLiteral("找不到聊天窗口"), 10, at}));
    QVERIFY(store.addHandOver({QStringLiteral("TB2"), QStringLiteral("S2"), QStringLiteral("小红"),
                               QStringLiteral("CARD-2"), HandOverState::Waiting, QString(), 0,
                               at.addSecs(60)}));
    OrderHistory history(m_path, kUser);
    DecisionLog log(m_path, kUser);
    UnresolvedOrders unresolved(history, log, &ledger.book());
    unresolved.setHandOvers([&]() -> std::optional<QList<HandOver>> {
        return *store.handOvers(HandOverState::Failed, false) +
               *store.handOvers(HandOverState::Waiting, false);
    });
    QVERIFY(unresolved.refresh());
    const int failedRow = unresolved.rowOf(QStringLiteral("TB1"));
    const int waitingRow = unresolved.rowOf(QStringLiteral("TB2"));
    QVERIFY(failedRow >= 0 && waitingRow >= 0);
    QCOMPARE(unresolved.at(failedRow).trouble, Trouble::HandOverFailed);
    QVERIFY(unresolved.at(failedRow).what.contains(QStringLiteral("找不到聊天窗口")));
    QCOMPARE(unresolved.at(waitingRow).trouble, Trouble::HandOverWaiting);
    const HandOver failed = *unresolved.at(failedRow).handOver;
    const HandOver waiting = *unresolved.at(waitingRow).handOver;

    PrompterGuard prompter;
    OrderDecisions decisions(ledger, log, *prompter, QStringLiteral("代理"),
                             QStringLiteral("张三"));
    QSignalSpy resent(&decisions, &OrderDecisions::handOverResent);
    QVERIFY(!decisions.resendHandOver(waiting)); // only a failed one is sent again
    prompter->answers = {true, true, true};
    QVERIFY(decisions.resendHandOver(failed));
    QCOMPARE(resent.size(), 1);
    QCOMPARE(resent.first().first().value<HandOver>().orderNo, QStringLiteral("TB1"));
    // A second click on the row as it was: it no longer failed, nothing changes.
    QVERIFY(!decisions.resendHandOver(failed));
    QCOMPARE(resent.size(), 1);
    QVERIFY(decisions.markHandedByHand(waiting));

    QCOMPARE(store.handOvers(HandOverState::Waiting, false)->size(), 1);
    QCOMPARE(store.handOvers(HandOverState::Waiting, false)->first().orderNo,
             QStringLiteral("TB1"));
    QCOMPARE(store.handOvers(HandOverState::HandedByHand, false)->size(), 1);
    QCOMPARE(log.decisions(QStringLiteral("TB1"))->last().decision, kDecisionResend);
    QCOMPARE(log.decisions(QStringLiteral("TB2"))->last().decision, kDecisionHandedByHand);
    QVERIFY(unresolved.refresh());
    QCOMPARE(unresolved.rowOf(QStringLiteral("TB2")), -1);
    QCOMPARE(unresolved.at(unresolved.rowOf(QStringLiteral("TB1"))).trouble,
             Trouble::HandOverWaiting);
}

void TestOrderHistory::alertsOnce()
{
    RecordingSink sink;
    OrderAlerts alerts(sink, QStringLiteral("代理"));
    OrderBook book;
    alerts.watch(&book);
    RechargeOrder o = orderOf(kFixture[0]);
    o.status = OrderStatus::Submitting;
    book.显示订单(o);
    QCOMPARE(sink.sounds, 0); // loading an order says nothing

    book.setNote(o.orderNo, QStringLiteral("结果未知,请在销售记录中核实"), true);
    book.setNote(o.orderNo, QStringLiteral("结果未知,请在销售记录中核实"), true);
    QCOMPARE(sink.notices.size(), 1);
    QVERIFY(sink.notices.last().contains(QStringLiteral("结果未知")));
    // The same order failing after that says nothing more; another one does.
    book.setStatus(o.orderNo, OrderStatus::Refunded);
    RechargeOrder other = orderOf(kFixture[1]);
    book.显示订单(other);
    book.setStatus(other.orderNo, OrderStatus::Refunded);
    book.setStatus(other.orderNo, OrderStatus::Refunded);
    book.setCardCode(other.orderNo, QStringLiteral("X"));
    QCOMPARE(sink.notices.size(), 2);
    QVERIFY(sink.notices.last().contains(QStringLiteral("TB1001")));
    alerts.cannotShip(QStringLiteral("TB1"), QStringLiteral("店铺拒绝"));
    alerts.cannotShip(QStringLiteral("TB1"), QStringLiteral("店铺拒绝"));
    QCOMPARE(sink.notices.size(), 3);
    QCOMPARE(sink.sounds, 3);

    // Balance: off by default, then once per fall below the threshold.
    alerts.balanceText(QStringLiteral("5 元"));
    QCOMPARE(sink.notices.size(), 3);
    alerts.setBalanceThreshold(100);
    alerts.balanceText(QStringLiteral("150.00 元"));
    alerts.balanceText(QStringLiteral("99.5 元"));
    alerts.balanceText(QStringLiteral("80 元"));
    QCOMPARE(sink.notices.size(), 4);
    alerts.balanceText(QStringLiteral("冻结"));
    alerts.balance(120);
    alerts.balance(90);
    QCOMPARE(sink.notices.size(), 5);
}

void TestOrderHistory::thresholdFile()
{
    const QString path = m_dir->filePath(kAlertSettingsFile);
    QCOMPARE(readBalanceThreshold(path), std::nullopt);
    QVERIFY(writeBalanceThreshold(path, 50.5));
    QCOMPARE(readBalanceThreshold(path), std::optional<double>(50.5));
    QVERIFY(writeBalanceThreshold(path, std::nullopt));
    QCOMPARE(readBalanceThreshold(path), std::nullopt);
}

void TestOrderHistory::builderMakesEveryIndexOnce()
{
    const QStringList before = indexesIn(m_path);
    StoreIndexBuilder builder(sqliteOrderDatabase(m_path));
    QSignalSpy finished(&builder, &StoreIndexBuilder::finished);
    builder.start();
    QVERIFY(builder.isRunning());
    QVERIFY(finished.wait(10000));
    QVERIFY2(builder.result().ok(), qPrintable(builder.result().error));
    QStringList expected{historyindex::kNumber, historyindex::kBuyer, historyindex::kStatus,
                         historyindex::kSource};
    QCOMPARE(builder.result().built, expected);
    expected += before;
    expected.sort();
    QCOMPARE(indexesIn(m_path), expected);

    // Found made: nothing to do, and no CREATE reaches the file.
    StatementLog log;
    const IndexBuild again = buildHistoryIndexes(sqliteOrderDatabase(m_path));
    QVERIFY(again.ok());
    QCOMPARE(again.built, QStringList{});
    QCOMPARE(log.matching("CREATE"), QStringList{});

    // A store not made yet is left for the store to make.
    const QString none = m_dir->filePath(QStringLiteral("none.mdb"));
    QVERIFY(buildHistoryIndexes(sqliteOrderDatabase(none)).ok());
    QVERIFY(!QFile::exists(none));
}

void TestOrderHistory::historyOpensWithoutCreate()
{
    QVERIFY(buildHistoryIndexes(sqliteOrderDatabase(m_path)).ok());
    StatementLog log;
    OrderHistory history(m_path, kUser);
    QVERIFY2(history.open(), qPrintable(history.lastError()));
    QCOMPARE(history.search({}, 100)->size(), qsizetype(std::size(kFixture)));
    QVERIFY(!log.matching("FROM 充值订单").isEmpty()); // the log sees the history's file
    QCOMPARE(log.matching("CREATE"), QStringList{});
}

void TestOrderHistory::buildFailure_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("reason");
    QTest::newRow("another writer holds the store") << true << "locked";
    QTest::newRow("not a database") << false << "not a database";
}

void TestOrderHistory::buildFailure()
{
    QFETCH(bool, locked);
    QFETCH(QString, reason);
    const QStringList before = indexesIn(m_path);
    QSqlDatabase writer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "writer");
    writer.setDatabaseName(m_path);
    if (locked) {
        QVERIFY(writer.open());
        QVERIFY(QSqlQuery(writer).exec(QStringLiteral("BEGIN IMMEDIATE")));
    } else {
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(m_path + QString::fromLatin1(suffix));
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    }

    StoreIndexBuilder builder(sqliteOrderDatabase(m_path), 100);
    QSignalSpy finished(&builder, &StoreIndexBuilder::finished);
    builder.start();
    QVERIFY(finished.wait(10000));
    QVERIFY(!builder.result().ok());
    QVERIFY2(builder.result().error.contains(reason, Qt::CaseInsensitive),
             qPrintable(builder.result().error));
    QCOMPARE(builder.result().built, QStringList{});

    writer.close();
    writer = {};
    QSqlDatabase::removeDatabase("writer");
    if (locked)
        QCOMPARE(indexesIn(m_path), before);
}

QTEST_GUILESS_MAIN(TestOrderHistory)
#include "tst_orderhistory.moc"

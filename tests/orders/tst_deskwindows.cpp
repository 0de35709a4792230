// The desk's windows over a real store file, driven by their controls: a
// search through the fields and pages, the daily totals, an export cancelled
// from its progress dialog, the reprint hook, and the hand decisions through
// the buttons with the Prompter answering.
#include "orders/decisions.h"
#include "orders/deskwindows.h"
#include "orders/orderbook.h"
#include "orders/orderledger.h"
#include "orders/orderstore.h"
#include "tests/support/recordingprompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kUser = QStringLiteral("1001");

RechargeOrder order(int i, OrderStatus status, int type = 1)
{
    RechargeOrder o;
    o.orderType = type;
    o.rechargeAccount = QStringLiteral("1380000%1").arg(i % 10, 4, 10, QLatin1Char('0'));
    o.productName = QStringLiteral("移动话费");
    o.salePrice = 10;
    o.quantity = 1;
    o.rechargeTime = QDateTime(QDate(2024, 5, 1), QTime(8, 0)).addSecs(60 * i);
    o.buyerNick = QStringLiteral("买家%1").arg(i);
    o.status = status;
    o.orderNo = QStringLiteral("W%1").arg(i, 5, 10, QLatin1Char('0'));
    o.shipNo = o.orderNo;
    return o;
}

} // namespace

class TestDeskWindows : public QObject
{
    Q_OBJECT

private slots:
    void historyWindow();
    void unresolvedWindow();
};

void TestDeskWindows::historyWindow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    OrderStore store(path, kUser);
    QVERIFY(store.inTransaction([&] {
        for (int i = 0; i < 5000; ++i)
            if (!store.插入订单(
                    order(i, i % 50 == 0 ? OrderStatus::Refunded : OrderStatus::Recharged)))
                return false;
        return true;
    }));
    OrderHistory history(path, kUser);
    PrompterGuard prompter;
    OrderHistoryWindow window(history, QStringLiteral("代理"));
    window.show();
    auto *view = window.findChild<QTableView *>(QStringLiteral("lst订单"));
    auto *next = window.findChild<QPushButton *>(QStringLiteral("btn下一页"));
    QVERIFY(view && next);

    window.findChild<QLineEdit *>(QStringLiteral("txt充值号码"))
        ->setText(QStringLiteral("13800000003"));
    QComboBox *status = window.findChild<QComboBox *>(QStringLiteral("cmb充值状态"));
    status->setCurrentIndex(status->findData(1));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn查询")), Qt::LeftButton);
    // 500 orders to the number, all recharged: a page of 100 in the window, no more.
    QCOMPARE(view->model()->rowCount(), OrderHistoryModel::kDefaultPageSize);
    QCOMPARE(view->model()->index(0, 7).data().toString(), QStringLiteral("W04993"));
    QVERIFY(next->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(view->model()->index(0, 7).data().toString(), QStringLiteral("W03993"));

    // The reprint hook hands the selected order on.
    QStringList reprinted;
    connect(&window, &OrderHistoryWindow::reprintRequested, this,
            [&](const RechargeOrder &o) { reprinted << o.orderNo; });
    view->selectRow(1);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn补打小票")),
                      Qt::LeftButton);
    QCOMPARE(reprinted, QStringList{QStringLiteral("W03983")});

    // Daily totals of a range: 5000 minutes from 1 May 08:00 end on 4 May.
    window.findChild<QCheckBox *>(QStringLiteral("chk日期"))->setChecked(true);
    window.findChild<QDateEdit *>(QStringLiteral("dt开始"))->setDate(QDate(2024, 5, 1));
    window.findChild<QDateEdit *>(QStringLiteral("dt结束"))->setDate(QDate(2024, 5, 31));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn日统计")), Qt::LeftButton);
    QStandardItemModel *totals = window.totals();
    QCOMPARE(totals->rowCount(), 5);
    QCOMPARE(totals->item(0, 0)->text(), QStringLiteral("2024-05-04"));
    QCOMPARE(totals->item(3, 2)->text(), QStringLiteral("960")); // 08:00 to midnight
    QCOMPARE(totals->item(4, 0)->text(), QStringLiteral("合计"));
    QCOMPARE(totals->item(4, 2)->text(), QStringLiteral("5000"));
    QCOMPARE(totals->item(4, 4)->text(), QStringLiteral("100"));
    QCOMPARE(totals->item(4, 6)->text(), QStringLiteral("49000.00"));
    window.findChild<QCheckBox *>(QStringLiteral("chk日期"))->setChecked(false);

    // Cancelled from its progress dialog half-way: no file.
    status->setCurrentIndex(0);
    window.findChild<QLineEdit *>(QStringLiteral("txt充值号码"))->clear();
    window.runSearch();
    const QString out = dir.filePath(QStringLiteral("all.csv"));
    QSignalSpy finished(&window, &OrderHistoryWindow::exportFinished);
    CsvExport *exporter = window.exportTo(out);
    QVERIFY(exporter);
    connect(exporter, &CsvExport::progress, this, [&] {
        // The agent presses 取消.
        if (auto *dialog = window.findChild<QProgressDialog *>(QStringLiteral("导出进度")))
            QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
    });
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QVERIFY(!QFile::exists(out));
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("all*")}, QDir::Files), QStringList{});

    // Whole: every order and the header, and the agent is told.
    finished.clear();
    window.exportTo(out);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 5001);
    QVERIFY(prompter->messages.last().text.contains(QStringLiteral("5000")));
}

void TestDeskWindows::unresolvedWindow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    OrderLedger ledger(sqliteOrderDatabase(path), kUser);
    OrderStore &store = ledger.store();
    QVERIFY(store.插入订单(order(1, OrderStatus::Submitting)));
    QVERIFY(store.插入订单(order(2, OrderStatus::SubmitFailed)));
    OrderHistory history(path, kUser);
    DecisionLog log(path, kUser);
    UnresolvedOrders unresolved(history, log, &ledger.book());
    QVERIFY(unresolved.refresh());
    PrompterGuard prompter;
    OrderDecisions decisions(ledger, log, *prompter, QStringLiteral("代理"),
                             QStringLiteral("张三"));
    UnresolvedWindow window(unresolved, decisions, QStringLiteral("代理"));
    window.show();
    auto *recharged = window.findChild<QPushButton *>(QStringLiteral("btn已充值"));
    auto *resubmit = window.findChild<QPushButton *>(QStringLiteral("btn重新提交"));
    QSignalSpy sales(&window, &UnresolvedWindow::salesRecordsRequested);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn销售记录")),
                      Qt::LeftButton);
    QCOMPARE(sales.size(), 1);

    QCOMPARE(window.view()->model()->rowCount(), 2);
    window.select(unresolved.rowOf(QStringLiteral("W00001")));
    QVERIFY(recharged->isEnabled());
    QVERIFY(!resubmit->isEnabled());
    prompter->answers = {true};
    QTest::mouseClick(recharged, Qt::LeftButton);
    QCOMPARE(window.view()->model()->rowCount(), 1);
    QCOMPARE(log.decisions()->size(), 1);
    QCOMPARE(log.decisions()->first().decision, kDecisionRecharged);

    window.select(0);
    QVERIFY(!recharged->isEnabled());
    QVERIFY(resubmit->isEnabled());
    prompter->answers = {false};
    QTest::mouseClick(resubmit, Qt::LeftButton);
    QCOMPARE(log.decisions()->size(), 1);
    QVERIFY(ledger.book().waiting(1).isEmpty());
}

QTEST_MAIN(TestDeskWindows)
#include "tst_deskwindows.moc"

// The ledger's steps, each from the state before (as this seat saw it, moved
// meanwhile by another seat, or with a store that refuses the write) to the
// state after, in the store and in the book, and what the agent is told.
#include "orders/orderledger.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kUser = QStringLiteral("1001");
constexpr int kNoRow = -99; // the order is not stored before the step

RechargeOrder shopOrder(OrderStatus status)
{
    RechargeOrder o;
    o.orderType = 1;
    o.rechargeAccount = QStringLiteral("13800138000");
    o.productName = QStringLiteral("移动话费充值 50元");
    o.salePrice = 50;
    o.quantity = 1;
    o.rechargeTime = QDateTime::currentDateTime();
    o.buyerNick = QStringLiteral("买家甲");
    o.status = status;
    o.orderNo = QStringLiteral("O1");
    o.shipNo = QStringLiteral("S1");
    o.rechargeId = QStringLiteral("R1");
    o.platformProduct = QStringLiteral("移动话费");
    o.actualQuantity = QStringLiteral("50");
    return o;
}

QString claimText(Claim c)
{
    switch (c) {
    case Claim::Claimed:
        return QStringLiteral("claimed");
    case Claim::TakenElsewhere:
        return QStringLiteral("elsewhere");
    case Claim::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QStringList orderNumbers(const std::optional<QList<RechargeOrder>> &orders)
{
    QStringList numbers;
    for (const RechargeOrder &o : orders.value_or(QList<RechargeOrder>()))
        numbers << o.orderNo;
    return numbers;
}

QString stepText(const StepResult &r)
{
    switch (r.outcome) {
    case StepResult::Done:
        return QStringLiteral("done");
    case StepResult::Moved:
        return QStringLiteral("moved");
    case StepResult::NotSaved:
        break;
    }
    return QStringLiteral("not saved");
}

} // namespace

class TestOrderLedger : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void shopPageListedOnlyOnceCommitted();
    void consignDoubtSurvivesARestart_data();
    void consignDoubtSurvivesARestart();

private:
    // Makes the file refuse a kind of statement, as a full disk would.
    static bool sabotage(const QString &path, const QString &trigger);
};

bool TestOrderLedger::sabotage(const QString &path, const QString &trigger)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "saboteur");
        db.setDatabaseName(path);
        ok = db.open() && QSqlQuery(db).exec(trigger);
    }
    QSqlDatabase::removeDatabase("saboteur");
    return ok;
}

void TestOrderLedger::steps_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("before");     // stored and listed as this seat saw it
    QTest::addColumn<int>("elsewhere");  // what another seat wrote meanwhile; kNoRow: nothing
    QTest::addColumn<QString>("refuse"); // "update", "insert", "unknown" or nothing
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("stored"); // after
    QTest::addColumn<int>("listed"); // after
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("notSavedFlag");
    QTest::addColumn<int>("told");

    const QString none;
    const QString unknown = kOutcomeUnknownText;
    // clang-format off
    QTest::newRow("counter order taken") << "counter" << kNoRow << kNoRow << none
        << "done" << -2 << -2 << none << false << 0;
    QTest::newRow("counter order the store refuses") << "counter" << kNoRow << kNoRow << "insert"
        << "not saved" << kNoRow << -2 << kNotStoredText << false << 1;
    QTest::newRow("counter order already stored") << "counter" << -2 << kNoRow << none
        << "moved" << -2 << -2 << none << false << 0;

    QTest::newRow("claim a waiting order") << "claim" << -2 << kNoRow << none
        << "claimed" << -1 << -1 << none << false << 0;
    QTest::newRow("claim: another seat sent it") << "claim" << -2 << -1 << none
        << "elsewhere" << -1 << -1 << kSentElsewhereText << false << 0;
    QTest::newRow("claim: another seat has its answer") << "claim" << -2 << 1 << none
        << "elsewhere" << 1 << 1 << none << false << 0;
    QTest::newRow("claim the store refuses") << "claim" << -2 << kNoRow << "update"
        << "failed" << -2 << -2 << none << false << 0;

    QTest::newRow("release an unsent request") << "release" << -1 << kNoRow << none
        << "done" << -2 << -2 << none << false << 0;
    QTest::newRow("release: moved meanwhile") << "release" << -1 << 1 << none
        << "moved" << 1 << 1 << none << false << 0;
    QTest::newRow("release the store refuses") << "release" << -1 << kNoRow << "update"
        << "not saved" << -1 << -1 << unknown << true << 1;

    QTest::newRow("not submitted") << "not submitted" << -1 << kNoRow << none
        << "done" << 4 << 4 << "提交失败：x" << false << 0;
    QTest::newRow("not submitted: moved meanwhile") << "not submitted" << -1 << 0 << none
        << "moved" << 0 << 0 << none << false << 0;
    QTest::newRow("not submitted, the store refuses") << "not submitted" << -1 << kNoRow << "update"
        << "not saved" << -1 << -1 << "提交失败：x" << true << 1;

    QTest::newRow("answer: recharged") << "answer" << -1 << kNoRow << none
        << "done" << 1 << 1 << none << false << 0;
    QTest::newRow("answer: a desk decision came first") << "answer" << -1 << 4 << none
        << "moved" << 4 << 4 << "平台应答“充值成功”（充值编号 R9）时订单已被改动，请核实"
        << false << 0;
    QTest::newRow("answer the store refuses") << "answer" << -1 << kNoRow << "update"
        << "not saved" << -1 << -1 << "平台应答：充值成功" << true << 1;

    QTest::newRow("poll: recharged") << "poll" << 0 << kNoRow << none
        << "done" << 1 << 1 << none << false << 0;
    QTest::newRow("poll: another seat shipped it") << "poll" << 0 << 3 << none
        << "done" << 3 << 3 << none << false << 0;
    QTest::newRow("poll the store refuses") << "poll" << 0 << kNoRow << "update"
        << "not saved" << 0 << 0 << none << false << 0;

    QTest::newRow("shipped") << "shipped" << 1 << kNoRow << none
        << "done" << 3 << 3 << none << false << 0;
    QTest::newRow("shipped: another seat shipped it") << "shipped" << 1 << 3 << none
        << "moved" << 3 << 3 << none << false << 0;
    QTest::newRow("shipped, the store refuses") << "shipped" << 1 << kNoRow << "update"
        << "not saved" << 1 << 1 << "充值成功,已经发货" << true << 1;
    QTest::newRow("shipping refused") << "refused" << 1 << kNoRow << none
        << "done" << 1 << 1 << "充值成功,发货失败：退款中" << false << 0;
    QTest::newRow("shipping outcome unknown") << "unknown" << 1 << kNoRow << none
        << "done" << 1 << 1 << "充值成功,发货结果未知：请求超时" << false << 0;
    QTest::newRow("still listed") << "still listed" << 1 << kNoRow << none
        << "done" << 1 << 1 << none << false << 0;
    QTest::newRow("still listed: another seat shipped it") << "still listed" << 1 << 3 << none
        << "moved" << 3 << 3 << none << false << 0;
    QTest::newRow("still listed, the store refuses") << "still listed" << 1 << kNoRow << "unknown"
        << "not saved" << 1 << 1 << "充值成功,发货结果未知：请求超时" << false << 1;

    QTest::newRow("decision on the order as seen") << "decision" << -1 << kNoRow << none
        << "done" << 4 << 4 << "已核实未充值" << false << 0;
    QTest::newRow("decision: another seat recharged it") << "decision" << -1 << 1 << none
        << "moved" << 1 << 1 << none << false << 0;
    QTest::newRow("decision the store refuses") << "decision" << -1 << kNoRow << "update"
        << "not saved" << -1 << -1 << none << false << 1;
    // clang-format on
}

void TestOrderLedger::steps()
{
    QFETCH(QString, step);
    QFETCH(int, before);
    QFETCH(int, elsewhere);
    QFETCH(QString, refuse);
    QFETCH(QString, outcome);
    QFETCH(int, stored);
    QFETCH(int, listed);
    QFETCH(QString, note);
    QFETCH(bool, notSavedFlag);
    QFETCH(int, told);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    OrderLedger ledger(sqliteOrderDatabase(path), kUser);
    QVERIFY(ledger.store().open());
    RechargeOrder seen =
        shopOrder(before == kNoRow ? OrderStatus::Waiting : statusFromNumber(before));
    if (step == u"counter")
        seen.orderType = 0;
    if (before != kNoRow) {
        QVERIFY(ledger.store().插入订单(seen));
        ledger.showStored(seen);
    }
    // A seat claims an order before it sends the consign; the other seat's
    // write comes while the consign is out, or after its answer was lost.
    if (step == u"shipped" || step == u"refused" || step == u"unknown" || step == u"still listed")
        QCOMPARE(ledger.claimForShipping(seen.shipNo), Claim::Claimed);
    if (step == u"still listed")
        ledger.recordShippingUnknown(seen.shipNo, QStringLiteral("请求超时"));
    if (elsewhere != kNoRow) {
        OrderStore other(sqliteOrderDatabase(path), kUser);
        QVERIFY(other
                    .反写数据库状态(seen.orderNo, statusFromNumber(elsewhere), QString(), QString(),
                                    QString())
                    .ok());
    }
    if (refuse == u"update")
        QVERIFY(sabotage(path, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF 充值状态 "
                                              "ON 充值订单 BEGIN SELECT RAISE(ABORT, 'disk full'); "
                                              "END")));
    if (refuse == u"unknown")
        QVERIFY(sabotage(path, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF 发货未知 "
                                              "ON 充值订单 BEGIN SELECT RAISE(ABORT, 'disk full'); "
                                              "END")));
    if (refuse == u"insert")
        QVERIFY(sabotage(path, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 充值订单 "
                                              "BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
    QSignalSpy notSaved(&ledger, &OrderLedger::notSaved);

    QString got;
    if (step == u"counter") {
        got = stepText(ledger.takeCounterOrder(seen));
    } else if (step == u"claim") {
        got = claimText(ledger.claimForSubmission(seen.orderNo));
    } else if (step == u"release") {
        got = stepText(ledger.releaseUnsent(seen.orderNo));
    } else if (step == u"not submitted") {
        got = stepText(
            ledger.markNotSubmitted(seen.orderNo, seen.status, QStringLiteral("提交失败：x")));
    } else if (step == u"answer") {
        got =
            stepText(ledger.recordAnswer(seen.orderNo, OrderStatus::Recharged, QStringLiteral("R9"),
                                         QStringLiteral("CARD"), QString()));
    } else if (step == u"poll") {
        got = ledger.recordPollReply({{seen.rechargeId, OrderStatus::Recharged, QString()}})
                  ? QStringLiteral("done")
                  : QStringLiteral("not saved");
    } else if (step == u"shipped") {
        got = stepText(ledger.recordShipped(seen.shipNo));
        // The shop has it: should the store not take that, the shop's list
        // settles it rather than a second consign.
        if (stored == 1)
            QVERIFY(ledger.store().order(seen.orderNo)->consignUnknown);
        // Claimed or not, the order is free for the next step afterwards.
        QCOMPARE(ledger.claimForShipping(seen.shipNo),
                 stored == 1 ? Claim::Claimed : Claim::TakenElsewhere);
    } else if (step == u"refused") {
        ledger.recordShippingRefused(seen.shipNo, QStringLiteral("退款中"));
        got = QStringLiteral("done");
        QVERIFY(!ledger.store().order(seen.orderNo)->consignUnknown);
        QCOMPARE(ledger.claimForShipping(seen.shipNo), Claim::Claimed);
    } else if (step == u"unknown") {
        ledger.recordShippingUnknown(seen.shipNo, QStringLiteral("请求超时"));
        got = QStringLiteral("done");
        QVERIFY(ledger.store().order(seen.orderNo)->consignUnknown);
        QCOMPARE(orderNumbers(ledger.store().rechargedShopOrders()), QStringList{seen.orderNo});
    } else if (step == u"still listed") {
        got = stepText(ledger.recordStillListed(seen.shipNo));
        QCOMPARE(ledger.store().order(seen.orderNo)->consignUnknown, outcome != u"done");
    } else if (step == u"decision") {
        got = stepText(
            ledger.recordDecision(seen, OrderStatus::SubmitFailed, QStringLiteral("已核实未充值")));
    } else {
        QFAIL("no such step");
    }
    QCOMPARE(got, outcome);

    OrderStore reader(sqliteOrderDatabase(path), kUser);
    const std::optional<RechargeOrder> now = reader.order(seen.orderNo);
    QCOMPARE(now ? statusNumber(now->status) : kNoRow, stored);
    const std::optional<OrderEntry> entry = ledger.book().entry(seen.orderNo);
    QVERIFY(entry);
    QCOMPARE(statusNumber(entry->order.status), listed);
    QCOMPARE(entry->note, note);
    QCOMPARE(entry->statusNotSaved, notSavedFlag);
    QCOMPARE(notSaved.size(), told);
    if (step == u"answer" && outcome == u"done") {
        QCOMPARE(now->cardCode, QStringLiteral("CARD"));
        QCOMPARE(entry->order.rechargeId, QStringLiteral("R9"));
    }
}

void TestOrderLedger::shopPageListedOnlyOnceCommitted()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    OrderLedger ledger(sqliteOrderDatabase(path), kUser);
    RechargeOrder a = shopOrder(OrderStatus::Waiting);
    RechargeOrder b = a;
    b.orderNo = QStringLiteral("O2");
    b.shipNo = QStringLiteral("S2");
    const OrderLedger::Page kept = ledger.takeShopPage([&] {
        QCOMPARE(ledger.takeShopOrder(a), Take::Taken);
        QCOMPARE(ledger.book().rowCount(), 0); // not before the commit
        QCOMPARE(ledger.takeShopOrder(a), Take::AlreadyStored);
    });
    QVERIFY(kept.committed);
    QCOMPARE(kept.taken.size(), 1);
    QCOMPARE(ledger.book().rowCount(), 1);

    // A statement that fails inside the page leaves nothing of it.
    QVERIFY(sabotage(path, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON 充值订单 "
                                          "WHEN NEW.订单编号 = 'O3' BEGIN SELECT RAISE(ABORT, "
                                          "'disk full'); END")));
    RechargeOrder c = b;
    c.orderNo = QStringLiteral("O3");
    c.shipNo = QStringLiteral("S3");
    const OrderLedger::Page lost = ledger.takeShopPage([&] {
        ledger.takeShopOrder(b);
        ledger.takeShopOrder(c);
    });
    QVERIFY(!lost.committed);
    QVERIFY(lost.taken.isEmpty());
    QCOMPARE(lost.notKnown, (QStringList{"O3", "O2"}));
    QCOMPARE(ledger.book().rowCount(), 1);
    OrderStore reader(sqliteOrderDatabase(path), kUser);
    QVERIFY(!reader.order(QStringLiteral("O2")));
}

void TestOrderLedger::consignDoubtSurvivesARestart_data()
{
    // Each run is a new ledger on the same file, as after a kill: what the
    // delivery decides by must come from the store. A consign's claim and
    // what came of it belong to one run.
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<bool>("unknown");
    QTest::addColumn<bool>("doubted");
    QTest::newRow("unknown") << QStringList{"unknown"} << true << false;
    QTest::newRow("still listed after it: doubted")
        << QStringList{"unknown", "listed"} << false << true;
    QTest::newRow("doubted, never left: still doubted")
        << QStringList{"unknown", "listed", "not taken, doubted"} << false << true;
    QTest::newRow("doubted, refused: unknown once more")
        << QStringList{"unknown", "listed", "unknown after doubt"} << true << false;
    QTest::newRow("then listed: the next refusal is believed")
        << QStringList{"unknown", "listed", "unknown after doubt", "listed"} << false << false;
    QTest::newRow("refused and believed: nothing left")
        << QStringList{"unknown", "listed", "refused"} << false << false;
}

void TestOrderLedger::consignDoubtSurvivesARestart()
{
    QFETCH(QStringList, runs);
    QFETCH(bool, unknown);
    QFETCH(bool, doubted);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    const RechargeOrder order = shopOrder(OrderStatus::Recharged);
    {
        OrderStore store(sqliteOrderDatabase(path), kUser);
        QVERIFY(store.插入订单(order));
    }
    for (const QString &run : runs) {
        OrderLedger ledger(sqliteOrderDatabase(path), kUser);
        if (run == u"listed") {
            QCOMPARE(ledger.recordStillListed(order.shipNo).outcome, StepResult::Done);
            continue;
        }
        QCOMPARE(ledger.claimForShipping(order.shipNo), Claim::Claimed);
        if (run == u"unknown")
            ledger.recordShippingUnknown(order.shipNo, QStringLiteral("请求超时"));
        else if (run == u"unknown after doubt")
            ledger.recordShippingUnknown(order.shipNo, QStringLiteral("重复发货"), true);
        else if (run == u"not taken, doubted")
            ledger.recordShippingRefused(order.shipNo, QStringLiteral("请求没有发出"), true);
        else if (run == u"refused")
            ledger.recordShippingRefused(order.shipNo, QStringLiteral("退款中"));
        else
            QFAIL("no such run");
    }
    OrderStore reader(sqliteOrderDatabase(path), kUser);
    const std::optional<RechargeOrder> now = reader.order(order.orderNo);
    QVERIFY(now);
    QCOMPARE(now->consignUnknown, unknown);
    QCOMPARE(now->consignDoubted, doubted);
}

QTEST_GUILESS_MAIN(TestOrderLedger)
#include "tst_orderledger.moc"

// The orders that need the agent, after the platform's faults: the real
// submission against the simulator over loopback and a real store file; the
// unresolved list, one alert per order, the hand decisions and the
// resubmission, counted at the platform.
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "orders/alerts.h"
#include "orders/decisions.h"
#include "orders/orderbook.h"
#include "orders/orderhistory.h"
#include "orders/orderledger.h"
#include "orders/orderstore.h"
#include "recharge/submission.h"
#include "sim/platformsim.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using sim::FaultKind;

namespace {

const QString kAccount = QStringLiteral("demo");
const QString kRechargePath = QStringLiteral("/platform/productcz1.asp");

RechargeOrder shopOrder(const QString &orderNo)
{
    RechargeOrder o;
    o.orderType = 1;
    o.rechargeAccount = QStringLiteral("13800000000");
    o.productName = QStringLiteral("移动话费充值100");
    o.salePrice = 100;
    o.quantity = 100;
    o.rechargeTime = QDateTime::currentDateTime();
    o.buyerNick = QStringLiteral("买家小王");
    o.status = OrderStatus::Waiting;
    o.orderNo = orderNo;
    o.shipNo = QStringLiteral("S-") + orderNo;
    o.platformProduct = QStringLiteral("移动话费充值");
    o.actualQuantity = QStringLiteral("1");
    return o;
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

class TestUnresolved : public QObject
{
    Q_OBJECT

private slots:
    void faultsThenDecisions();

private:
    bool idle() const
    {
        for (int i = 0; i < 7; ++i)
            if (m_submission->inet充值(i)->stillExecuting())
                return false;
        return true;
    }
    void send(const QString &orderNo)
    {
        QVERIFY(m_ledger->store().插入订单(shopOrder(orderNo)));
        m_ledger->showStored(shopOrder(orderNo));
        m_submission->充值订单请求(1);
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 20000);
    }

    SimEnvironment m_env;
    NetworkAccess m_network;
    RecordingClipboard m_clipboard;
    std::unique_ptr<OrderLedger> m_ledger;
    OrderBook *m_book = nullptr;
    std::unique_ptr<SubmissionController> m_submission;
};

void TestUnresolved::faultsThenDecisions()
{
    QString error;
    QVERIFY2(m_env.start(&error), qPrintable(error));
    QString key;
    m_env.sim().withState([&](sim::State &s) { key = s.openSession(kAccount); });
    PlatformEndpoint endpoint{m_env.config().platformBaseUrl, key, QStringLiteral("MID"),
                              QStringLiteral("10086"), QStringLiteral("榴帆综合缴费系统")};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    m_ledger = std::make_unique<OrderLedger>(sqliteOrderDatabase(path), endpoint.userId);
    m_book = &m_ledger->book();
    PrompterGuard prompter;
    m_submission = std::make_unique<SubmissionController>(*m_ledger, m_network, endpoint, *prompter,
                                                          m_clipboard);
    for (int i = 0; i < 7; ++i)
        m_submission->inet充值(i)->setTimeoutMs(1000);
    RecordingSink sink;
    OrderAlerts alerts(sink, QStringLiteral("代理"));
    alerts.watch(m_book);

    // Recharged by the platform, the answer lost.
    m_env.sim().setFault(kRechargePath, {FaultKind::RunThenDrop, 0});
    send(QStringLiteral("U-DONE"));
    // Cut off before the platform did anything.
    m_env.sim().setFault(kRechargePath, {FaultKind::Drop, 0});
    send(QStringLiteral("U-NONE"));
    // Never reached the platform.
    m_env.sim().clearFaults();
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        PlatformEndpoint closed = endpoint;
        closed.baseUrl = QStringLiteral("http://127.0.0.1:%1/platform/").arg(probe.serverPort());
        probe.close();
        m_submission->setEndpoint(closed);
        send(QStringLiteral("U-FAIL"));
        // A shop order is tried once more before it counts as not delivered.
        QTRY_COMPARE_WITH_TIMEOUT(m_book->entry(QStringLiteral("U-FAIL"))->order.status,
                                  OrderStatus::SubmitFailed, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(idle(), 20000);
        m_submission->setEndpoint(endpoint);
    }
    // Fine: needs nobody.
    send(QStringLiteral("U-OK"));
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("U-DONE")), 1);
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("U-NONE")), 0);

    OrderHistory history(path, endpoint.userId);
    DecisionLog log(path, endpoint.userId);
    UnresolvedOrders unresolved(history, log, m_book);
    unresolved.setInFlight([this](const QString &no) { return m_submission->isOut(no); });
    QVERIFY2(unresolved.refresh(), qPrintable(unresolved.lastError()));
    QCOMPARE(unresolved.rowCount(), 3);
    QCOMPARE(unresolved.at(unresolved.rowOf("U-DONE")).trouble, Trouble::Unknown);
    QCOMPARE(unresolved.at(unresolved.rowOf("U-NONE")).trouble, Trouble::Unknown);
    QCOMPARE(unresolved.at(unresolved.rowOf("U-FAIL")).trouble, Trouble::SubmitFailed);
    QCOMPARE(unresolved.rowOf("U-OK"), -1);

    // One alert for each order that needs the agent, and only one.
    QCOMPARE(sink.notices.size(), 3);
    QCOMPARE(sink.sounds, 3);

    // The agent checked the sales records: one went through, one did not.
    OrderDecisions decisions(*m_ledger, log, *prompter, QStringLiteral("代理"),
                             QStringLiteral("demo"));
    prompter->answers = {true, true};
    QVERIFY(decisions.markRecharged(unresolved.at(unresolved.rowOf("U-DONE")).order));
    QVERIFY(decisions.markNotRecharged(unresolved.at(unresolved.rowOf("U-NONE")).order));
    QCOMPARE(log.decisions()->size(), 2);

    // Checked as not recharged, the order is never sent by the client on its own.
    m_submission->充值订单请求(1);
    QVERIFY(idle());
    QCOMPARE(m_env.sim().rechargeRequestsFor(QStringLiteral("U-NONE")), 1);

    QVERIFY(unresolved.refresh());
    QCOMPARE(unresolved.rowCount(), 2); // U-NONE (now failed) and U-FAIL
    RechargeOrder again = unresolved.at(unresolved.rowOf("U-NONE")).order;
    QCOMPARE(again.status, OrderStatus::SubmitFailed);
    connect(&decisions, &OrderDecisions::resubmitted, this,
            [this](const QString &, int type) { m_submission->充值订单请求(type); });
    prompter->answers = {false};
    QVERIFY(!decisions.resubmit(again));
    QVERIFY(idle());
    prompter->answers = {true};
    QVERIFY(decisions.resubmit(again));
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 20000);
    QCOMPARE(m_env.sim().rechargeRequestsFor(QStringLiteral("U-NONE")), 2);
    QCOMPARE(m_env.sim().rechargeCount(QStringLiteral("U-NONE")), 1);
    QCOMPARE(log.decisions(QStringLiteral("U-NONE"))->last().decision, kDecisionResubmit);
    QCOMPARE(sink.notices.size(), 3);

    m_submission.reset();
    m_book = nullptr;
    m_ledger.reset();
}

QTEST_GUILESS_MAIN(TestUnresolved)
#include "tst_unresolved.moc"

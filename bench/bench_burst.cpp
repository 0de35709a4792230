// A seller's busy hour against the simulator on loopback: N paid orders put
// into the two shops at once (Taobao and Paipai in turn; phone credit, game
// points and card products), then the engine of one login works them with
// its own timers at the intervals the client uses (monitors 30 s, polls 3 s,
// delivery 5 s). The clock starts when the orders are in the shops and the
// monitors' next tick fetches the shops' lists. Counters:
//   first_s / median_s / last_s  arrival to each order's shipping mark
//   per_min                      orders shipped a minute, over the whole burst
//   stall_ms                     the longest the window thread was kept
//                                from a 10 ms heartbeat meanwhile
//   unknown, resent              orders left unknown; recharge keys the
//                                platform received more than once
// One iteration a size: each run takes as long as the burst does.
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "tests/support/burst.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"
#include "tests/support/simenvironment.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkCookieJar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

class NoHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

bool post(NetworkAccess &network, const QString &url, const QString &body)
{
    Transfer transfer(network);
    if (!transfer.execute(url, QStringLiteral("POST"), body))
        return false;
    return waitFor([&] { return !transfer.stillExecuting(); }, 20000) &&
           transfer.state() == Transfer::ResponseCompleted;
}

void BM_Burst(benchmark::State &state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        SimEnvironment env;
        QString error;
        if (!env.start(&error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        sim::PlatformSim &sim = env.sim();
        sim.clearShops();
        sim.setRechargeFinish(2, true);
        QString key;
        sim.withState([&key](sim::State &s) {
            s.findAccount(QStringLiteral("demo"))->balance = QStringLiteral("10000000.00");
            key = s.openSession(QStringLiteral("demo"));
        });
        const ClientConfig &c = env.config();
        NetworkAccess network;
        if (!post(network, sim.rootUrl() + QStringLiteral("taobao/wuliu/login"),
                  QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456")) ||
            !post(network, sim.rootUrl() + QStringLiteral("paipai/trade/login"),
                  QStringLiteral("uin=10001&password=pp123456")) ||
            !post(network, sim.rootUrl() + QStringLiteral("paipai/trade/tradepassword"),
                  QStringLiteral("tradePassword=123456"))) {
            state.SkipWithError("no shop login");
            return;
        }
        PrompterGuard prompter;
        RecordingClipboard clipboard;
        NoHandOver handOver;
        QTemporaryDir dir;
        const PlatformEndpoint endpoint{c.platformBaseUrl, key, QStringLiteral("MID"),
                                        QStringLiteral("10086"),
                                        QStringLiteral("榴帆综合缴费系统")};
        AgentSession session(
            endpoint, sqliteOrderDatabase(dir.filePath(QStringLiteral("data.mdb"))), shopSitesOf(c),
            dir.filePath(QStringLiteral("待反馈.txt")), network, *prompter, clipboard, &handOver);
        session.start();
        bool catalogued = false;
        QObject::connect(&session.catalogue(), &CatalogueController::rowsAdded, &session,
                         [&] { catalogued = true; });
        session.catalogue().获取商品信息();
        if (!waitFor([&] { return catalogued; }, 20000)) {
            state.SkipWithError("no catalogue");
            return;
        }

        QElapsedTimer clock;
        QList<double> marks;
        QObject::connect(&session.delivery(), &DeliveryController::shipped, &session,
                         [&] { marks.append(clock.elapsed() / 1000.0); });
        qint64 stall = 0;
        qint64 lastBeat = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&heartbeat, &QTimer::timeout, &session, [&] {
            const qint64 now = clock.elapsed();
            stall = std::max(stall, now - lastBeat - 10);
            lastBeat = now;
        });

        // The monitors run; the orders arrive just before their next tick.
        session.monitor().startTaobao();
        session.monitor().startPaipai();
        const QList<BurstOrder> burst = offerBurst(sim, n);
        clock.start();
        heartbeat.start(10);
        session.taobao().fetch();
        session.paipai().query();
        waitFor([&] { return marks.size() >= n; }, 30 * 60 * 1000);
        heartbeat.stop();

        int unknown = 0;
        int resent = 0;
        for (const RechargeOrder &o : session.store().读取订单().value_or(QList<RechargeOrder>()))
            unknown += o.status == OrderStatus::Submitting ? 1 : 0;
        for (const BurstOrder &o : burst)
            resent += sim.rechargeRequestsFor(o.key) > 1 ? 1 : 0;
        std::sort(marks.begin(), marks.end());
        const double last = marks.isEmpty() ? 0 : marks.last();
        state.SetIterationTime(last);
        state.counters["shipped"] = double(marks.size());
        state.counters["first_s"] = marks.isEmpty() ? 0 : marks.first();
        state.counters["median_s"] = marks.isEmpty() ? 0 : marks.at(marks.size() / 2);
        state.counters["last_s"] = last;
        state.counters["per_min"] = last > 0 ? marks.size() * 60.0 / last : 0;
        state.counters["stall_ms"] = double(stall);
        state.counters["unknown"] = unknown;
        state.counters["resent"] = resent;
    }
}
BENCHMARK(BM_Burst)->Arg(30)->Arg(200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

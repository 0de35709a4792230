// One seat of an agent for the tests of several seats: the engine the client
// builds after a login (AgentSession, as makeAgentSession builds it) on the
// store of its client.ini, against the simulator, with no window. It logs in
// to the Taobao shop, loads the catalogue, starts the session, and harvests,
// refreshes its lists and delivers at a quick pace until the stop file appears.
//   seat-client CONFIG SESSIONKEY STOPFILE
// Prints "ready" once working, and "taken N" (orders it took) at the end.
#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/web/networkaccess.h"
#include "app/web/transfer.h"
#include "shop/agentsession.h"
#include "tests/support/recordingclipboard.h"
#include "tests/support/recordingprompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

namespace {

class NoHandOver final : public CardHandOver
{
public:
    void handOver(const HandOver &) override {}
};

// Runs the event loop until done or the time is up.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    tick.start();
    if (!done())
        loop.exec();
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (argc != 4) {
        err << "usage: seat-client CONFIG SESSIONKEY STOPFILE" << Qt::endl;
        return 2;
    }
    const QString configFile = app.arguments().at(1);
    const QString key = app.arguments().at(2);
    const QString stopFile = app.arguments().at(3);
    const ConfigResult loaded = loadClientConfig(configFile, QFileInfo(configFile).absolutePath());
    if (!loaded.config) {
        err << loaded.error << Qt::endl;
        return 2;
    }
    const ClientConfig &c = *loaded.config;
    setCurrentConfig(c);

    PrompterGuard prompter;
    RecordingClipboard clipboard;
    NoHandOver handOver;
    NetworkAccess network;
    const PlatformEndpoint endpoint{c.platformBaseUrl, key, QStringLiteral("MID"),
                                    QStringLiteral("10086"), QStringLiteral("榴帆综合缴费系统")};
    const ShopSites sites = shopSitesOf(c);
    AgentSession session(endpoint, c.orders, sites,
                         QFileInfo(configFile).absoluteDir().filePath(QStringLiteral("待反馈.txt")),
                         network, *prompter, clipboard, &handOver);
    if (!session.store().open()) {
        err << session.store().lastError() << Qt::endl;
        return 3;
    }

    // The seller's shop login, as the agent makes it in Webtb.
    QString root = c.platformBaseUrl;
    root.chop(QStringLiteral("platform/").size());
    Transfer login(network);
    login.execute(root + QStringLiteral("taobao/wuliu/login"), QStringLiteral("POST"),
                  QStringLiteral("TPL_username=demo_seller&TPL_password=tb123456"));
    if (!waitFor([&] { return !login.stillExecuting(); }, 20000) ||
        login.state() != Transfer::ResponseCompleted) {
        err << "no shop login" << Qt::endl;
        return 4;
    }
    bool catalogued = false;
    QObject::connect(&session.catalogue(), &CatalogueController::rowsAdded, &app,
                     [&] { catalogued = true; });
    session.catalogue().获取商品信息();
    if (!waitFor([&] { return catalogued; }, 20000)) {
        err << "no catalogue" << Qt::endl;
        return 5;
    }

    int taken = 0;
    const auto countTaken = [&] {
        taken = 0;
        for (int row = 0; row < session.book().rowCount(); ++row) {
            if (session.book().at(row).order.seat == session.store().seat())
                ++taken;
        }
    };
    session.start();
    // The monitor's and the delivery's timers, at a test's pace.
    QTimer harvest;
    QObject::connect(&harvest, &QTimer::timeout, &app, [&] { session.taobao().fetch(); });
    harvest.start(400);
    QTimer deliver;
    QObject::connect(&deliver, &QTimer::timeout, &app, [&] { session.delivery().淘宝拍拍发货(); });
    deliver.start(100);
    session.tracker().timer()->setInterval(500);
    // 刷新 often: the orders the other seat took show here as well, and the
    // waiting ones among them are offered to this seat's submission too.
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, &app, [&] {
        session.读取订单();
        session.submission().充值订单请求(1);
    });
    refresh.start(150);
    QTimer stop;
    QObject::connect(&stop, &QTimer::timeout, &app, [&] {
        if (QFile::exists(stopFile))
            app.quit();
    });
    stop.start(50);
    out << "ready" << Qt::endl;
    app.exec();
    session.读取订单();
    countTaken();
    out << "taken " << taken << Qt::endl;
    return 0;
}

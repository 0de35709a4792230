// platform-sim [--port N] [--write-config FILE] [--seed-orders N [--seed S]]
// Plays the agent platform and the outside services on 127.0.0.1 until
// SIGINT or SIGTERM.
#include "sim/pages.h"
#include "sim/platformsim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>

namespace {

int usage()
{
    std::fputs("usage: platform-sim [--port N] [--write-config FILE] [--seed-orders N [--seed S]]\n"
               "  --port N             listen on 127.0.0.1:N (0, the default, takes a free port)\n"
               "  --write-config FILE  write a client.ini whose addresses point at this server\n"
               "  --seed-orders N      the shops start with N paid orders in place of the demo's,\n"
               "                       Taobao and Paipai mixed, a few with a recharge fault;\n"
               "                       GET /__sim/summary tells what became of each\n"
               "  --seed S             the seed of their choice (default 1)\n",
               stderr);
    return 2;
}

// 0 to 65535: a port, a count or a seed.
bool parseSmallNumber(const char *text, int *port)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 65535)
        return false;
    *port = int(value);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int port = 0;
    int seedOrders = -1;
    int seed = 1;
    QString configFile;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--port") == 0 && i + 1 < argc) {
            if (!parseSmallNumber(argv[++i], &port))
                return usage();
        } else if (std::strcmp(arg, "--seed-orders") == 0 && i + 1 < argc) {
            if (!parseSmallNumber(argv[++i], &seedOrders))
                return usage();
        } else if (std::strcmp(arg, "--seed") == 0 && i + 1 < argc) {
            if (!parseSmallNumber(argv[++i], &seed))
                return usage();
        } else if (std::strcmp(arg, "--write-config") == 0 && i + 1 < argc &&
                   argv[i + 1][0] != '\0') {
            configFile = QString::fromLocal8Bit(argv[++i]);
        } else {
            return usage();
        }
    }

    // Blocked before the server's threads exist, so they inherit the mask
    // and only sigwait below sees the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::PlatformSim sim;
    const int bound = sim.start(port);
    if (bound < 0) {
        std::fprintf(stderr, "platform-sim: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    if (!configFile.isEmpty()) {
        QString error;
        if (!sim.writeConfig(configFile, &error)) {
            std::fprintf(stderr, "platform-sim: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
    }
    if (seedOrders >= 0)
        sim.seedShopOrders(seedOrders, quint32(seed));
    const sim::Account demo = sim::PlatformSim::demoAccount();
    std::printf("listening 127.0.0.1:%d\nbalance server 127.0.0.1:%d\naccount %s password %s\n%s",
                bound, sim.balancePort(), demo.account.toUtf8().constData(),
                demo.password.toUtf8().constData(), sim::shopLoginsText().toUtf8().constData());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    sim.stop();
    return 0;
}

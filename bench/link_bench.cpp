// Link costs against the simulated module over TCP loopback:
//  1. CPU used by the process while a request waits out its 1.5 s reply time-out;
//  2. the average time of one request/reply transaction over 1,000 transactions.
#include "benchsupport.h"
#include "control/localsettings.h"
#include "link/basiclinkhost.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "link/linkhold.h"
#include "link/transport.h"
#include "platform/scriptedprompts.h"
#include "sim/simmodule.h"
#include "link/transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace korvel;
using namespace korvel::bench;

static double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::BenchEnvironment environment(argc, argv);

    sim::SimModule module;
    // The benchmark is one job, as a command is: its connects and sends all go under
    // one hold, and a second hold taken while it lives would not be granted.
    const LinkHold hold;
    if (!ConnectTcp(hold, module.ListenTcp(0))) {
        std::fprintf(stderr, "cannot connect to the simulated module\n");
        return 1;
    }

    // 1. Waiting for a reply that never comes.
    module.SetFault(sim::Fault::Silent, 1);
    settings().RetryCount = 1;
    SetConnectionReplyTimeout(15);
    environment.prompts.QueueAnswer(vbNo);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    const int r1 = SendRequest(hold, CMD_MODULE_INFO, 0, 0, 0);
    const double cpu = cpuSeconds() - cpu0;
    const double waited = double(wall.elapsed()) / 1000.0;
    std::printf("time-out wait: result %d, %.3f s waited, %.4f s CPU = %.2f%% of one core\n", r1, waited, cpu,
                100.0 * cpu / waited);
    // The silent module must not have answered.
    bool ok = r1 != SEND_OK;

    // 2. Round trips, over a new connection: the No above took the link off.
    if (TcpConnect(hold) != 1) {
        std::fprintf(stderr, "cannot connect to the simulated module again\n");
        return 1;
    }
    settings().RetryCount = 5;
    const int n = FullOrShort(1000, 200);
    int failures = 0;
    wall.restart();
    for (int i = 0; i < n; ++i)
        if (SendRequestByte(hold, CMD_CFG_SYSTEM, 0, 0, 0, i & 3) != SEND_OK) ++failures;
    const double per = double(wall.nsecsElapsed()) / 1e6 / n;
    std::printf("request/reply over TCP loopback: %d transactions, %d failed, %.3f ms each on average\n", n,
                failures, per);
    return environment.Exit(ok && failures == 0);
}

// Whole-configuration transfers against the simulated module:
//  1. the time of a whole read (and write) of a Korvel with 7 child modules over TCP
//     loopback, the connect pauses left out;
//  2. with the module pacing its answers as a 9600-baud line would (11 bits a byte), a
//     whole read and a whole write over TCP and over a pseudo-terminal, against the wire
//     time of every byte exchanged.
#include "link/linkhold.h"
#include "benchsupport.h"
#include "control/localsettings.h"
#include "model/model.h"
#include "model/target.h"
#include "control/transfer.h"
#include "link/basiclinkhost.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/scriptedprompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "sim/simmodule.h"
#include "link/transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace korvel;
using namespace korvel::bench;

namespace {

// One paced read and write; prints both against their wire time. False on a failed transfer.
bool Paced(const char* path, sim::SimModule& module) {
    const int baud = PacedBaud(115200);
    module.SetWireBaud(baud);
    bool ok = true;
    for (const char* what : {"read", "write"}) {
        module.ClearReceived();
        QElapsedTimer t;
        t.start();
        const int r = what[0] == 'r' ? ReadConfiguration(LinkHold()) : WriteConfiguration(LinkHold());
        const double took = Ms(t);
        const qsizetype bytes = module.ReceivedRaw().size() + module.SentRaw().size();
        const double wire = WireMs(bytes, baud);
        std::printf("paced %-4s over %-3s at %d baud: result %d, %lld bytes, wire time %.1f ms, took %.1f ms "
                    "(%+.2f%%)\n",
                    what, path, baud, r, static_cast<long long>(bytes), wire, took, 100.0 * (took - wire) / wire);
        ok = ok && r == 0;
    }
    module.SetWireBaud(0);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchEnvironment environment(argc, argv);
    settings().PacketTimeout = 15;
    SetConnectionReplyTimeout(15);

    sim::SimModule module;
    module.SetKorvel(7);
    if (!ConnectTcp(module)) {
        std::fprintf(stderr, "cannot connect to the simulated module\n");
        return 1;
    }

    // 1. Unpaced reads and writes.
    const int runs = FullOrShort(20, 3);
    std::vector<double> reads, writes;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        SetDefaultConfiguration();
        QElapsedTimer t;
        t.start();
        failures += ReadConfiguration(LinkHold()) != 0;
        reads.push_back(Ms(t));
        t.restart();
        failures += WriteConfiguration(LinkHold()) != 0;
        writes.push_back(Ms(t));
    }
    std::sort(reads.begin(), reads.end());
    std::sort(writes.begin(), writes.end());
    std::printf("Korvel with %d children over TCP loopback, %d runs, %d failed:\n", int(target().ChildCount), runs,
                failures);
    std::printf("  whole read:  median %.2f ms, slowest %.2f ms\n", reads[runs / 2], reads.back());
    std::printf("  whole write: median %.2f ms, slowest %.2f ms\n", writes[runs / 2], writes.back());

    // 2. Paced at 9600 baud, over TCP and over a pseudo-terminal.
    bool ok = failures == 0 && Paced("TCP", module);
    TcpClientSocket().Close();
    ok = ConnectTty(module) && Paced("tty", module) && ok;

    return environment.Exit(ok);
}

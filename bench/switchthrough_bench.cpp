// A whole read of a Korvel with 7 child modules over direct TCP loopback against the
// same read relayed through the switch-through test host (itself on TCP loopback to the
// module), the connect pauses left out: the overhead the host link adds.
#include "benchsupport.h"
#include "model/model.h"
#include "model/target.h"
#include "control/transfer.h"
#include "link/basiclinkhost.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "link/linkhold.h"
#include "link/transport.h"
#include "platform/scriptedprompts.h"
#include "platform/tcpclient.h"
#include "control/localsettings.h"
#include "sim/simmodule.h"
#include "sim/switchhost.h"
#include "link/transaction.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace korvel;
using namespace korvel::bench;

namespace {

// Median of `runs` whole reads; -1 when one failed.
double MedianRead(int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        SetDefaultConfiguration();
        QElapsedTimer t;
        t.start();
        if (ReadConfiguration(LinkHold()) != TRANSFER_OK) return -1;
        times.push_back(Ms(t));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchEnvironment environment(argc, argv);
    auto& s = linkState();
    s.SwitchThroughListenPort = 0;
    s.SwitchThroughAcceptPauseMs = 0;
    settings().PacketTimeout = 15;
    SetConnectionReplyTimeout(15);

    sim::SimModule module;
    module.SetKorvel(7);
    if (!ConnectTcp(module)) {
        std::fprintf(stderr, "cannot connect to the simulated module\n");
        return 1;
    }
    const int runs = FullOrShort(21, 5);
    const double direct = MedianRead(runs);
    TcpClientSocket().Close();
    s.TcpLinkActive = false;

    sim::SwitchHost relay;
    if (relay.Listen() == 0 || !relay.ConnectModule(QStringLiteral("127.0.0.1"), module.TcpPort())) {
        std::fprintf(stderr, "the host cannot reach the module\n");
        return 1;
    }
    switchThrough().Start(relay.CommandLine(0));
    const QDeadlineTimer linking(5000);
    while (!(relay.Linked() && switchThrough().HostConnected()) && !linking.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!switchThrough().HostConnected()) {
        std::fprintf(stderr, "the host did not connect back\n");
        return 1;
    }
    const double relayed = MedianRead(runs);
    const qsizetype frames = module.ReceivedCount() / (2 * runs);
    std::printf("Korvel with %d children, %lld frames a read, median of %d whole reads, module unpaced:\n",
                int(target().ChildCount), static_cast<long long>(frames), runs);
    std::printf("  direct TCP:            %.2f ms\n", direct);
    std::printf("  through the host link: %.2f ms (%+.1f%%)\n", relayed, 100.0 * (relayed - direct) / direct);

    // The same with the module answering at the pace of its 9600-baud serial line, as a
    // module behind a network interface does.
    const int baud = PacedBaud(115200);
    const int pacedRuns = FullOrShort(3, 1);
    module.SetWireBaud(baud);
    const double pacedRelayed = MedianRead(pacedRuns);
    switchThrough().Close();
    s.LinkMode = LINK_NORMAL;
    {
        // Back on direct TCP: the connect is a job of its own, as the connect choice's is,
        // and the reads take the link for themselves.
        const LinkHold hold;
        if (TcpConnect(hold) != 1) {
            std::fprintf(stderr, "cannot connect to the simulated module again\n");
            return 1;
        }
    }
    const double pacedDirect = MedianRead(pacedRuns);
    std::printf("module paced at %d baud, median of %d whole reads:\n", baud, pacedRuns);
    std::printf("  direct TCP:            %.1f ms\n", pacedDirect);
    std::printf("  through the host link: %.1f ms (%+.1f%%)\n", pacedRelayed,
                100.0 * (pacedRelayed - pacedDirect) / pacedDirect);
    return environment.Exit(direct > 0 && relayed > 0 && pacedDirect > 0 && pacedRelayed > 0);
}

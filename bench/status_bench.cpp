// The status monitor's own CPU cost, with the simulated module in a process of its own
// (korvel-sim on TCP loopback, its readings changing every second) so that only this
// program is measured:
//  1. one analog status request on its own, back to back: the cost of a poll;
//  2. the monitor refreshing automatically for ten seconds, in the analog view (the most
//     painting) and the contact input view: its CPU beyond that of the polls it made;
//  3. the monitor waiting in manual mode for ten seconds, nothing to send;
// beside the program idle on the same link with no monitor open.
// Runs offscreen unless a platform is chosen.
#include "benchsupport.h"
#include "model/model.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/linkhold.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/transport.h"
#include "monitor/frmStatus.h"
#include "platform/tcpclient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <ctime>
#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

using namespace korvel;
using namespace korvel::bench;

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// korvel-sim on a free loopback port; the port, 0 when it did not start.
quint16 StartSim(QProcess& sim) {
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef __linux__
    // Ends with this benchmark even when it aborts: a module left running keeps the
    // test command's output open.
    sim.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    sim.start(QStringLiteral(KORVEL_SIM_PATH), {QStringLiteral("--port"), QStringLiteral("0")});
    if (!sim.waitForStarted(5000)) return 0;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        if (!sim.canReadLine() && !sim.waitForReadyRead(1000)) continue;
        while (sim.canReadLine()) {
            const QRegularExpressionMatch m = listening.match(QString::fromLatin1(sim.readLine()));
            if (m.hasMatch()) return quint16(m.captured(1).toUInt());
        }
    }
    return 0;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int replies = 0;

struct Run {
    double cpu = 0, wall = 0;
    int polls = 0;
};

Run Measure(int ms) {
    replies = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = CpuSeconds();
    RunFor(ms);
    return {CpuSeconds() - cpu0, double(wall.nsecsElapsed()) / 1e9, replies};
}

void Report(const char* what, const Run& r, double perPoll) {
    const double beyond = r.cpu - r.polls * perPoll;
    std::printf("%-34s %5.2f s, %3d polls, CPU %7.1f ms = %5.2f%% of a core; beyond the polls %7.1f ms = %5.2f%%\n",
                what, r.wall, r.polls, r.cpu * 1e3, 100.0 * r.cpu / r.wall, beyond * 1e3, 100.0 * beyond / r.wall);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchEnvironment environment(argc, argv);
    // The monitor refreshes once a second: a short run still sees a poll or two a view.
    const int runMs = FullOrShort(10000, 1500);
    const int polls = FullOrShort(200, 50);

    QProcess simProcess;
    const quint16 port = StartSim(simProcess);
    if (port == 0) {
        std::fprintf(stderr, "korvel-sim did not start (%s)\n", KORVEL_SIM_PATH);
        return 1;
    }
    target().ChildCount = 2;
    SetDefaultConfiguration();
    SetRxPacketObserver([](const uint8_t* frame, int) { replies += frame[FRAME_PACKET_TYPE] == PKT_REPLY; });

    // 1. The connect and a poll on their own, as one job with the link held; the hold
    // ends before the monitor opens, for the monitor takes the link itself, and a hold
    // taken while another job's lives is not granted.
    int failures = 0;
    double perPoll = 0;
    {
        const LinkHold hold;
        if (!ConnectTcp(hold, port)) {
            std::fprintf(stderr, "cannot connect to korvel-sim on port %u\n", unsigned(port));
            return 1;
        }
        const double cpu0 = CpuSeconds();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < polls; ++i) failures += SendRequestByte(hold, CMD_ANALOG_STATUS, 0, 0, 0, 0) != SEND_OK;
        perPoll = (CpuSeconds() - cpu0) / polls;
        std::printf("one analog status request: %.3f ms CPU, %.3f ms wall (%d of %d failed)\n", perPoll * 1e3,
                    double(t.nsecsElapsed()) / 1e6 / polls, failures, polls);
    }

    // For comparison: the program idle on the same link, no monitor open.
    Report("no monitor, idle:", Measure(runMs), perPoll);

    // 2. and 3. The monitor as the menu opens it, taking the link for each request.
    frmStatus monitor(nullptr);
    monitor.show();
    monitor.Form_Activate();
    if (monitor.Closing()) {
        std::fprintf(stderr, "the monitor did not open\n");
        return 1;
    }
    monitor.cmdViewAnalogs()->click();
    const Run analogs = Measure(runMs);
    Report("auto refresh, analog view:", analogs, perPoll);
    monitor.cmdViewInputs()->click();
    const Run inputs = Measure(runMs);
    Report("auto refresh, contact input view:", inputs, perPoll);
    monitor.cmdRefresh()->click();
    RunFor(500);  // the one reading Manual asks for
    Report("manual, waiting:", Measure(runMs), perPoll);
    const bool open = !monitor.Closing();
    // A refresh that made no poll measured nothing.
    const bool polled = analogs.polls > 0 && inputs.polls > 0;
    monitor.cmdCancel()->click();

    TcpClientSocket().Close();
    simProcess.terminate();
    simProcess.waitForFinished(3000);
    if (!open) std::fprintf(stderr, "the monitor closed while measured\n");
    if (!polled) std::fprintf(stderr, "the monitor did not poll while refreshing automatically\n");
    return environment.Exit(failures == 0 && open && polled);
}

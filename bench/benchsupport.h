// Common ground of the benchmarks: the prompts and link host the window would give,
// the link's connect pauses left out, timing in milliseconds, the link to a simulated
// module over TCP loopback or a pseudo-terminal, and the short run.
//
// A benchmark given no argument makes the full run its figures are quoted from. Given
// --short it takes the same steps and prints the same figures over fewer repeats,
// shorter waits and a faster paced line, a few seconds in all, so that the test command
// can run every benchmark each time and a benchmark that no longer runs to its end is
// seen. Either way the exit status is non-zero when a step failed.
#pragma once

#include "link/basiclinkhost.h"
#include "link/linkstate.h"
#include "link/linkhold.h"
#include "link/transport.h"
#include "platform/scriptedprompts.h"
#include "control/linkservices.h"
#include "control/localsettings.h"
#include "sim/simmodule.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvel::bench {

enum class BenchRun { Full, Short, Unknown };

// What the command line asks for: nothing, a full run; --short, a short run; anything
// else is a mistake, never taken for a full run (which would run for minutes).
inline BenchRun BenchRunAsked(int argc, char** argv) {
    if (argc <= 1) return BenchRun::Full;
    if (argc == 2 && std::strcmp(argv[1], "--short") == 0) return BenchRun::Short;
    return BenchRun::Unknown;
}

namespace detail {
inline bool& shortRun() {
    static bool on = false;
    return on;
}
} // namespace detail

inline bool ShortRun() { return detail::shortRun(); }
// Sets the run for what follows (BenchEnvironment does it from the command line).
inline void SetShortRun(bool on) { detail::shortRun() = on; }

// A repeat count, a wait, or any setting that differs between the two runs.
template <typename T>
T FullOrShort(T full, T shortRun) {
    return ShortRun() ? shortRun : full;
}

// The modules' own line speed, which the full runs pace at.
inline constexpr int kWireBaud = 9600;
inline constexpr double kBitsPerByte = 11.0;

// The speed a paced run paces the simulated module at: the modules' own in a full run,
// shortBaud in a short one. A figure against wire time is against the speed used.
inline int PacedBaud(int shortBaud) { return FullOrShort(kWireBaud, shortBaud); }
inline double WireMs(qsizetype bytes, int baud) { return double(bytes) * kBitsPerByte * 1000.0 / baud; }

// Installed for the life of a benchmark's main, after its application object (which
// has taken Qt's own options off the command line). A command line that is neither a
// full nor a short run ends the benchmark with status 2.
struct BenchEnvironment {
    BenchEnvironment(int argc, char** argv) {
        const BenchRun run = BenchRunAsked(argc, argv);
        if (run == BenchRun::Unknown) {
            std::fprintf(stderr, "usage: %s [--short]\n", argc > 0 ? argv[0] : "bench");
            std::exit(2);
        }
        SetShortRun(run == BenchRun::Short);
        // Each figure is seen as it comes, in order with any warning, even from a run
        // that then aborts.
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        if (ShortRun()) std::printf("short run: fewer repeats, shorter waits, faster paced lines\n");
        SetPrompts(&prompts);
        SetLinkHost(&host);
        InstallProgramLinkClient();
        linkState().TcpReconnectPauseMs = 0;
        linkState().TcpStartPauseMs = 0;
    }
    ~BenchEnvironment() {
        SetLinkHost(nullptr);
        SetPrompts(nullptr);
    }
    BenchEnvironment(const BenchEnvironment&) = delete;
    BenchEnvironment& operator=(const BenchEnvironment&) = delete;

    // The exit status: 0 when every step went well and no box came up that the
    // benchmark had not answered in advance (a box it did not expect means the run did
    // not go as measured), 1 otherwise, with what went wrong on stderr.
    int Exit(bool ok) const {
        const int unanswered = prompts.Unanswered();
        if (unanswered > 0) {
            std::fprintf(stderr, "%d box(es) came up unasked for; the boxes shown:\n", unanswered);
            for (const ShownBox& box : prompts.Shown()) std::fprintf(stderr, "  %s\n", qPrintable(box.text));
        }
        if (!ok) std::fprintf(stderr, "a step of the benchmark failed\n");
        return ok && unanswered == 0 ? 0 : 1;
    }

    ScriptedPrompts prompts;
    BasicLinkHost host;
};

inline double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Connects the link over TCP to the module listening on port of this machine, for
// hold's job: a connect, like a send, is made only for the job that holds the link.
inline bool ConnectTcp(const LinkHold& hold, quint16 port) {
    if (!hold.MaySend()) {
        std::fprintf(stderr, "the benchmark does not hold the link for its connect\n");
        return false;
    }
    if (port == 0) return false;
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
    return TcpConnect(hold) == 1;
}

// Puts the module on a free loopback port and connects the link to it. The hold is
// taken for the connect alone, as the connect choice takes it, so that the job measured
// next takes the link for itself.
inline bool ConnectTcp(sim::SimModule& module) {
    const LinkHold hold;
    return ConnectTcp(hold, module.ListenTcp(0));
}

// Puts the module on a pseudo-terminal and opens the link's serial port on it.
inline bool ConnectTty(sim::SimModule& module) {
    linkState().TcpLinkActive = false;
    settings().CommPortDevice = module.OpenPty();
    return !settings().CommPortDevice.isEmpty() && OpenCommPort() == 0;
}

} // namespace korvel::bench

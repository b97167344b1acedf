// Common ground of the benchmarks: the prompts and link host the window would give,
// the link's connect pauses left out, timing in milliseconds, and the link to a
// simulated module over TCP loopback or a pseudo-terminal.
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

namespace korvel::bench {

// Installed for the life of a benchmark's main.
struct BenchEnvironment {
    BenchEnvironment() {
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
    ScriptedPrompts prompts;
    BasicLinkHost host;
};

inline double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Puts the module on a free loopback port and connects the link to it.
inline bool ConnectTcp(sim::SimModule& module) {
    const quint16 port = module.ListenTcp(0);
    if (port == 0) return false;
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
    return TcpConnect(LinkHold()) == 1;
}

// Puts the module on a pseudo-terminal and opens the link's serial port on it.
inline bool ConnectTty(sim::SimModule& module) {
    linkState().TcpLinkActive = false;
    settings().CommPortDevice = module.OpenPty();
    return !settings().CommPortDevice.isEmpty() && OpenCommPort() == 0;
}

} // namespace korvel::bench

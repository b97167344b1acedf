// What every fuzz target of the link needs around one input: an application for the
// whole run, scripted prompts that answer every box at once, and program-start state
// with a fresh link host (no timer left armed by the previous input).
#pragma once

#include "link/basiclinkhost.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "platform/prompts.h"
#include "platform/scriptedprompts.h"
#include "control/programstate.h"
#include "control/progress.h"

#include <QCoreApplication>
#include <memory>

namespace korvel::fuzz {

inline ScriptedPrompts*& Prompts() {
    static ScriptedPrompts* prompts = nullptr;
    return prompts;
}

// From LLVMFuzzerInitialize.
inline void StartFuzzing(int* argc, char*** argv) {
    // Timers and objects need an application; it lives for the whole run.
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
    Prompts() = new ScriptedPrompts();
    SetPrompts(Prompts());
    SetProgressView(nullptr);
}

// Before each input.
inline void ResetForInput() {
    static std::unique_ptr<BasicLinkHost> host;
    ResetProgramState();
    // A radio data message is followed by a pause for the radio; it only costs time here.
    linkState().FleetSyncPauseMs = 0;
    Prompts()->Clear();
    SetLinkHost(nullptr);
    host = std::make_unique<BasicLinkHost>();
    SetLinkHost(host.get());
}

} // namespace korvel::fuzz

// Waiting primitives: pumping pending events while a procedure waits for the module,
// a pause of a set length, how deeply waits are nested, and the program's end, which
// every wait gives way to.
#pragma once

#include <functional>

namespace korvel {

// Runs the events already pending and returns (the classic DoEvents).
void DoEvents();
// Blocks in the event loop until at least one event has been handled (or maxMs passed),
// so a waiting loop costs no CPU while nothing happens.
void WaitForEvents(int maxMs = 100);
// Waits ms milliseconds in the event loop, like any other wait: the window, the timers
// and the sockets carry on meanwhile. False as soon as stop() holds (it is asked before
// the wait and after each event) or the program is ending; true once the time is up.
bool PauseMs(int ms, const std::function<bool()>& stop);

// Counts as a wait for as long as it lives, for code that pumps the event loop by its own
// means (a test's wait for a condition): what runs meanwhile runs inside it.
class PumpingScope {
public:
    PumpingScope();
    ~PumpingScope();
    PumpingScope(const PumpingScope&) = delete;
    PumpingScope& operator=(const PumpingScope&) = delete;
};

// How many waits and modal loops the code running now sits inside. Whatever a wait
// delivers (a click, a tick, a frame) runs one level deeper than the code that waits,
// so two pieces of code at different depths belong to different jobs.
int WaitDepth();

// The program is ending (its main window was closed): every wait stops waiting, so the
// job it belongs to unwinds and the program can end. Cleared only by a test's reset.
void SetProgramEnding(bool ending);
bool ProgramEnding();

} // namespace korvel

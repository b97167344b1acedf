// Waiting primitives: pumping pending events while a procedure waits for the module,
// a pause of a set length, and the program's end, which every wait gives way to.
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

// The program is ending (its main window was closed): every wait stops waiting, so the
// job it belongs to unwinds and the program can end. Cleared only by a test's reset.
void SetProgramEnding(bool ending);
bool ProgramEnding();

} // namespace korvel

// Waiting primitives: pumping pending events while a procedure waits for the module,
// and the real blocking sleep used around connects.
#pragma once

namespace korvel {

// Runs the events already pending and returns (the classic DoEvents).
void DoEvents();
// Blocks in the event loop until at least one event has been handled (or maxMs passed),
// so a waiting loop costs no CPU while nothing happens.
void WaitForEvents(int maxMs = 100);
// Blocks the whole program, pumping nothing.
void SleepMs(int ms);

} // namespace korvel

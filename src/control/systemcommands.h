// The menu commands that talk to the module themselves: NVR reset, restart, the
// module's date and time, and the logger check before its window opens. The main
// window's click handlers call these and open the windows themselves when told to.
#pragma once

#include <cstdint>

namespace korvel {

// The reply time-out, in 100 ms ticks, while the module wipes its non-volatile memory.
inline constexpr int16_t kNvrResetTimeout = 160;

// Resets the station's non-volatile memory after the user confirms: everything on the
// local module, the input/output configuration only on a remote station (a remote
// module wiped entirely could not be reached again). On success the configuration is
// read again before the user is told.
void ResetSystemNvr();
// Restarts the station after the user confirms.
void RestartSystem();
// Asks the module for its clock; true when the date/time window may open, with a
// clock that never shows day, month or year 0.
bool RequestModuleDateTime();
// Asks the station whether its data logger runs before the logger window opens; true
// when the window may open. Off-line nothing is sent.
bool PrepareLoggerWindow();
// Records the port the event monitor is for; true when the monitor may open. Serial
// port 1 and the local radio are watched through the local serial port, so it must open.
bool PrepareEventMonitor(int16_t eventPort);
// True when the status window may open (it polls the module).
bool PrepareStatusWindow();

} // namespace korvel

// The frames that write settings the model keeps back to the module: its real-time clock
// and the data logger's timers.
#pragma once

#include <cstdint>

namespace korvel {

class LinkHold;

// To the current StationAddress, the clock from ModuleClock (the year as year - 2000).
int16_t SendSetDateTime(const LinkHold& hold);
// The nine logger timers (three bytes each, low first) and the 25 setting bytes, as
// loggerData() holds them.
int16_t SendLoggerTimers(const LinkHold& hold, int16_t destination, int16_t source, int16_t route);

} // namespace korvel

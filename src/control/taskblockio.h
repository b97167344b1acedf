// The station poller task block on the link: asking the module for it (the reply is
// taken in by the dispatcher through LoadTaskBlock) and writing the table back.
#pragma once

#include <cstdint>

namespace korvel {

// Asks the module at StationAddress for its task block and waits for it; returns the
// send result.
int16_t RequestTaskBlock();

// Writes task table entries 0 .. 31 to the module at StationAddress as a PKT_SET task
// block and waits for the acknowledgement; returns the send result.
int16_t UpLoadTaskBlock();

} // namespace korvel

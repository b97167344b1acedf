// Waiting until a remote station's radio channel is clear before talking to it.
#pragma once

#include <cstdint>

namespace korvel {

// 0 when the channel is clear (or the target is the local module), 255 when the user
// gave up or a poll failed. The target is StationAddress(0).
int16_t WaitChannelClear();

} // namespace korvel

// Waiting until a remote station's radio channel is clear before talking to it.
#pragma once

#include <cstdint>
#include <functional>

namespace korvel {

class LinkHold;

// 0 when the channel is clear (or the target is the local module), 255 when the user
// gave up or a poll failed. The target is StationAddress(0).
int16_t WaitChannelClear(const LinkHold& hold);
// The same before talking to station (an event's acknowledgement goes to its source).
int16_t WaitChannelClear(const LinkHold& hold, int16_t station);

// 1 while WaitChannelClear polls a remote station's radio channel: the blinking
// progress text says what is awaited. Back to 0 on a program-wide reset.
int16_t& channelClearWait();

enum class ChannelWait { Clear, Abandoned, Failed };
// Polls the local module until it reports its radio channel clear (ChannelState is set
// busy first, so at least one poll goes out), whatever station is addressed. After 100
// busy polls, and after every further one, the user is asked whether to go on; No ends
// the wait as Abandoned, as does stopAsked turning true after a poll, and so does the
// budget running out for a hold that may not ask (a borrower, or a background duty while
// another question is up). Failed: a poll got no answer or was cancelled.
ChannelWait PollChannelClear(const LinkHold& hold, const std::function<bool()>& stopAsked = {});

} // namespace korvel

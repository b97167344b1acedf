// Sending the model's configuration blocks: the frame around each block's bytes (built by
// model/blocks), its checksum, and the wait for the module's acknowledgement.
#pragma once

#include <cstdint>

namespace korvel {

class LinkHold;

// Builds one block of the model (code CMD_CFG_SYSTEM, _INPUTS, _OUTPUTS, _ANALOGS,
// _TEMPS or _FLEETSYNC; index the group, FleetSync part or, for the system and
// temperature blocks, the index byte sent as given) into a PKT_SET frame and sends it,
// waiting for the acknowledgement; the SendPacket result. SEND_REFUSED without sending or
// building a frame for a code it does not build, an index the block has not, or a
// system value that does not fit its byte.
int16_t SendConfigBlock(const LinkHold& hold, int16_t code, int16_t destination, int16_t source, int16_t route, int16_t index);
// The NMEA block the same way; its acknowledgement must echo packet id 0.
int16_t SendNmeaConfig(const LinkHold& hold, int16_t destination, int16_t source, int16_t route);

} // namespace korvel

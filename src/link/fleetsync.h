// The link through a FleetSync radio on the PC's serial port: wrapping a module frame
// in the radio's text frame and decoding what the radio sends back.
#pragma once

namespace korvel {

constexpr int STX = 2;
constexpr int ETX = 3;

// Replaces TxBuffer with the radio text frame of the module frame it holds and sets
// TxLength.
void WrapPacketInFleetSync();
// Called with a complete radio frame (STX .. ETX) in RxBuffer.
void ParseFleetSyncInput();

} // namespace korvel

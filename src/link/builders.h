// The short requests and commands every part of the program sends: each writes one
// frame into TxBuffer, appends its checksum and returns SendPacket's result.
#pragma once

#include <cstdint>

namespace korvel {

int16_t SendCommand(int16_t command, int16_t destination, int16_t source, int16_t route);
int16_t SendCommandBytes(int16_t command, int16_t destination, int16_t source, int16_t route,
                         uint8_t firstByte, uint8_t secondByte);
int16_t SendLevelCommand(int16_t destination, int16_t source, int16_t route, int16_t level);
// To the current StationAddress, the clock from ModuleClock.
int16_t SendSetDateTime();
int16_t SendLoggerTimers(int16_t destination, int16_t source, int16_t route);
int16_t SendRequest(int16_t command, int16_t destination, int16_t source, int16_t route);
// parameter -1 (or any negative value) sends no parameter byte.
int16_t SendRequestParam(int16_t command, int16_t destination, int16_t source, int16_t route,
                         int16_t parameter);
int16_t SendRequestByte(int16_t command, int16_t destination, int16_t source, int16_t route,
                        int16_t parameter);
int16_t SendRequestWord(int16_t command, int16_t destination, int16_t source, int16_t route,
                        int32_t value);

} // namespace korvel

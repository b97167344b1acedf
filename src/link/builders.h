// The short requests and commands every part of the program sends: each builds one
// frame, appends its checksum and returns SendPacket's result for the job whose hold it
// is given.
#pragma once

#include "link/linkhold.h"

#include <QByteArray>
#include <cstdint>

namespace korvel {

// A frame of Length length (length + 1 bytes, the checksum's place last) with bytes 0
// to 6 written (packet id 0) and its data bytes zero.
QByteArray TxFrame(int length, int16_t destination, int16_t source, int16_t route, int type, int16_t command);
// The frame's bytes, for a builder to write its data.
inline uint8_t* FrameBytes(QByteArray& frame) { return reinterpret_cast<uint8_t*>(frame.data()); }
// Appends the checksum of frame (by its Length byte) and sends it in mode; with
// resetPacketId the acknowledgement must echo id 0.
int16_t SendTxFrame(const LinkHold& hold, QByteArray frame, int16_t mode, bool resetPacketId);

int16_t SendCommand(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route);
int16_t SendCommandBytes(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                         uint8_t firstByte, uint8_t secondByte);
int16_t SendLevelCommand(const LinkHold& hold, int16_t destination, int16_t source, int16_t route, int16_t level);
int16_t SendRequest(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route);
// The same two to the station the link addresses now (StationAddress).
int16_t SendToStation(const LinkHold& hold, int16_t command);
int16_t RequestFromStation(const LinkHold& hold, int16_t command);
// parameter -1 (or any negative value) sends no parameter byte.
int16_t SendRequestParam(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                         int16_t parameter);
int16_t SendRequestByte(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                        int16_t parameter);
// A raw FleetSync message for the local module to send on its radio port, between STX
// and ETX; the frame's length byte (n + 10) limits it to FLEETSYNC_RAW_MAX characters.
// A longer message is not sent (SEND_REFUSED).
constexpr int FLEETSYNC_RAW_MAX = 245;
// Frame bytes around the message: header, sub-command, STX, ETX and checksum.
constexpr int FLEETSYNC_RAW_OVERHEAD = 11;
int16_t SendFleetSyncRaw(const LinkHold& hold, const QByteArray& message);
int16_t SendRequestWord(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                        int32_t value);

} // namespace korvel

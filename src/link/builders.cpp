#include "link/builders.h"

#include "link/linkhold.h"
#include "link/linkstate.h"
#include "link/transaction.h"

#include <algorithm>
#include <cstring>

namespace korvel {

QByteArray TxFrame(int length, int16_t destination, int16_t source, int16_t route, int type, int16_t command) {
    QByteArray frame(std::max<int>(length, FRAME_COMMAND) + 1, '\0');
    uint8_t* t = FrameBytes(frame);
    t[FRAME_LENGTH] = static_cast<uint8_t>(length);
    t[FRAME_DESTINATION] = static_cast<uint8_t>(destination);
    t[FRAME_SOURCE] = static_cast<uint8_t>(source);
    t[FRAME_ROUTE] = static_cast<uint8_t>(route);
    t[FRAME_PACKET_ID] = 0;
    t[FRAME_PACKET_TYPE] = static_cast<uint8_t>(type);
    t[FRAME_COMMAND] = static_cast<uint8_t>(command);
    return frame;
}

int16_t SendTxFrame(const LinkHold& hold, QByteArray frame, int16_t mode, bool resetPacketId) {
    int16_t n = frame.isEmpty() ? int16_t(0) : int16_t(uint8_t(frame[FRAME_LENGTH]));
    AppendTxChecksum(frame, n);
    if (resetPacketId) linkState().PacketId = 0;
    return SendPacket(hold, frame, mode);
}


int16_t SendCommand(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route) {
    return SendTxFrame(hold, TxFrame(7, destination, source, route, PKT_SET, command), TX_WAIT_ACK, true);
}

int16_t SendCommandBytes(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                         uint8_t firstByte, uint8_t secondByte) {
    QByteArray frame = TxFrame(9, destination, source, route, PKT_SET, command);
    uint8_t* t = FrameBytes(frame);
    t[7] = firstByte;
    t[8] = secondByte;
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

int16_t SendLevelCommand(const LinkHold& hold, int16_t destination, int16_t source, int16_t route, int16_t level) {
    QByteArray frame = TxFrame(8, destination, source, route, PKT_SET, CMD_SET_TX_LEVEL);
    uint8_t* t = FrameBytes(frame);
    t[7] = static_cast<uint8_t>(level);
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

int16_t SendFleetSyncRaw(const LinkHold& hold, const QByteArray& message) {
    const int n = int(message.size());
    if (n > FLEETSYNC_RAW_MAX || n + FLEETSYNC_RAW_OVERHEAD > LINK_BUFFER_SIZE) return SEND_REFUSED;
    // Always the local module: it is the radio the message goes out on.
    QByteArray frame = TxFrame(n + 10, 0, 0, 0, PKT_SET, CMD_FLEETSYNC_RAW);
    uint8_t* t = FrameBytes(frame);
    t[7] = 2;
    t[8] = 2;  // STX
    std::memcpy(t + 9, message.constData(), size_t(n));
    t[n + 9] = 3;  // ETX
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

int16_t SendRequest(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route) {
    return SendRequestParam(hold, command, destination, source, route, -1);
}

int16_t SendToStation(const LinkHold& hold, int16_t command) {
    const int16_t* a = linkState().StationAddress;
    return SendCommand(hold, command, a[0], a[1], a[2]);
}

int16_t RequestFromStation(const LinkHold& hold, int16_t command) {
    const int16_t* a = linkState().StationAddress;
    return SendRequest(hold, command, a[0], a[1], a[2]);
}

int16_t SendRequestParam(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                         int16_t parameter) {
    const int length = parameter > -1 ? 8 : 7;
    QByteArray frame = TxFrame(length, destination, source, route, PKT_GET, command);
    if (parameter > -1) FrameBytes(frame)[7] = static_cast<uint8_t>(parameter);
    return SendTxFrame(hold, frame, TX_WAIT_REPLY, false);
}

int16_t SendRequestByte(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                        int16_t parameter) {
    QByteArray frame = TxFrame(8, destination, source, route, PKT_GET, command);
    uint8_t* t = FrameBytes(frame);
    t[7] = static_cast<uint8_t>(parameter);
    return SendTxFrame(hold, frame, TX_WAIT_REPLY, false);
}

int16_t SendRequestWord(const LinkHold& hold, int16_t command, int16_t destination, int16_t source, int16_t route,
                        int32_t value) {
    QByteArray frame = TxFrame(9, destination, source, route, PKT_GET, command);
    uint8_t* t = FrameBytes(frame);
    t[7] = static_cast<uint8_t>(value & 255);
    t[8] = static_cast<uint8_t>((value & 0xFF00) / 256);
    return SendTxFrame(hold, frame, TX_WAIT_REPLY, false);
}

} // namespace korvel

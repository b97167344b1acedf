#include "link/builders.h"

#include "link/linkstate.h"
#include "link/transaction.h"

#include <cstring>

namespace korvel {

uint8_t* WriteTxHeader(int length, int16_t destination, int16_t source, int16_t route, int type,
                       int16_t command) {
    uint8_t* t = linkState().TxBuffer;
    t[FRAME_LENGTH] = static_cast<uint8_t>(length);
    t[FRAME_DESTINATION] = static_cast<uint8_t>(destination);
    t[FRAME_SOURCE] = static_cast<uint8_t>(source);
    t[FRAME_ROUTE] = static_cast<uint8_t>(route);
    t[FRAME_PACKET_ID] = 0;
    t[FRAME_PACKET_TYPE] = static_cast<uint8_t>(type);
    t[FRAME_COMMAND] = static_cast<uint8_t>(command);
    return t;
}

int16_t SendTxFrame(int length, int16_t mode, bool resetPacketId) {
    int16_t n = static_cast<int16_t>(length);
    AppendTxChecksum(n);
    if (resetPacketId) linkState().PacketId = 0;
    return SendPacket(mode);
}

namespace {

// Every request starts with the transfer's cancel request cleared; a request that will
// be refused because another transaction is open must not wipe that one's cancel.
void clearCancelForNewRequest() {
    if (linkState().TxState == TX_IDLE) linkState().UserCancel = false;
}

} // namespace

int16_t SendCommand(int16_t command, int16_t destination, int16_t source, int16_t route) {
    WriteTxHeader(7, destination, source, route, PKT_SET, command);
    return SendTxFrame(7, TX_WAIT_ACK, true);
}

int16_t SendCommandBytes(int16_t command, int16_t destination, int16_t source, int16_t route,
                         uint8_t firstByte, uint8_t secondByte) {
    uint8_t* t = WriteTxHeader(9, destination, source, route, PKT_SET, command);
    t[7] = firstByte;
    t[8] = secondByte;
    return SendTxFrame(9, TX_WAIT_ACK, true);
}

int16_t SendLevelCommand(int16_t destination, int16_t source, int16_t route, int16_t level) {
    uint8_t* t = WriteTxHeader(8, destination, source, route, PKT_SET, CMD_SET_TX_LEVEL);
    t[7] = static_cast<uint8_t>(level);
    return SendTxFrame(8, TX_WAIT_ACK, true);
}

int16_t SendFleetSyncRaw(const QByteArray& message) {
    const int n = int(message.size());
    if (n > FLEETSYNC_RAW_MAX || n + FLEETSYNC_RAW_OVERHEAD > LINK_BUFFER_SIZE) return SEND_FAILED;
    // Always the local module: it is the radio the message goes out on.
    uint8_t* t = WriteTxHeader(n + 10, 0, 0, 0, PKT_SET, CMD_FLEETSYNC_RAW);
    t[7] = 2;
    t[8] = 2;  // STX
    std::memcpy(t + 9, message.constData(), size_t(n));
    t[n + 9] = 3;  // ETX
    return SendTxFrame(n + 10, TX_WAIT_ACK, true);
}

int16_t SendRequest(int16_t command, int16_t destination, int16_t source, int16_t route) {
    return SendRequestParam(command, destination, source, route, -1);
}

int16_t SendToStation(int16_t command) {
    const int16_t* a = linkState().StationAddress;
    return SendCommand(command, a[0], a[1], a[2]);
}

int16_t RequestFromStation(int16_t command) {
    const int16_t* a = linkState().StationAddress;
    return SendRequest(command, a[0], a[1], a[2]);
}

int16_t SendRequestParam(int16_t command, int16_t destination, int16_t source, int16_t route,
                         int16_t parameter) {
    clearCancelForNewRequest();
    const int length = parameter > -1 ? 8 : 7;
    uint8_t* t = WriteTxHeader(length, destination, source, route, PKT_GET, command);
    if (parameter > -1) t[7] = static_cast<uint8_t>(parameter);
    return SendTxFrame(length, TX_WAIT_REPLY, false);
}

int16_t SendRequestByte(int16_t command, int16_t destination, int16_t source, int16_t route,
                        int16_t parameter) {
    clearCancelForNewRequest();
    uint8_t* t = WriteTxHeader(8, destination, source, route, PKT_GET, command);
    t[7] = static_cast<uint8_t>(parameter);
    return SendTxFrame(8, TX_WAIT_REPLY, false);
}

int16_t SendRequestWord(int16_t command, int16_t destination, int16_t source, int16_t route,
                        int32_t value) {
    clearCancelForNewRequest();
    uint8_t* t = WriteTxHeader(9, destination, source, route, PKT_GET, command);
    t[7] = static_cast<uint8_t>(value & 255);
    t[8] = static_cast<uint8_t>((value & 0xFF00) / 256);
    return SendTxFrame(9, TX_WAIT_REPLY, false);
}

} // namespace korvel

// The module frame: packet types, command codes, the checksum and the hex rendering
// used by the trace and the radio payload.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace korvel {

// Frame byte positions.
enum FrameByte : int {
    FRAME_LENGTH = 0,
    FRAME_DESTINATION = 1,
    FRAME_SOURCE = 2,
    FRAME_ROUTE = 3,
    FRAME_PACKET_ID = 4,
    FRAME_PACKET_TYPE = 5,
    FRAME_COMMAND = 6,
    FRAME_DATA = 7,
};

// The longest frame the link takes in, a radio text frame included (indexes 0 to 1200).
constexpr int LINK_BUFFER_SIZE = 1201;

enum PacketType : int {
    PKT_GET = 0,
    PKT_SET = 1,
    PKT_REPLY = 2,
    PKT_EVENT = 3,
    PKT_RESEND = 0xFD,
    PKT_ACK = 0xFE,
    PKT_NACK = 0xFF,
};

enum CommandCode : int {
    CMD_MODULE_INFO = 0x00,
    CMD_INPUT_STATUS = 0x01,
    CMD_OUTPUT_STATUS = 0x02,
    CMD_STATUS_06 = 0x06,
    CMD_STATUS_07 = 0x07,
    CMD_ANALOG_STATUS = 0x08,
    CMD_CHANNEL_CLEAR = 0x0B,
    CMD_TEMP_STATUS = 0x0D,
    CMD_DATE_TIME = 0x10,
    CMD_SAMPLE_COUNT = 0x11,
    CMD_SAMPLE_BLOCK = 0x12,
    CMD_MINMAX_COUNT = 0x13,
    CMD_MINMAX_BLOCK = 0x14,
    CMD_LOGGER_START = 0x15,
    CMD_LOGGER_STOP = 0x16,
    CMD_LOGGER_START_TIME = 0x17,
    CMD_LOGGER_TIMERS = 0x18,
    CMD_DEVICE_TYPE = 0x7E,
    CMD_BUFFER_DUMP = 0x80,
    CMD_CFG_SYSTEM = 0x81,
    CMD_CFG_INPUTS = 0x82,
    CMD_CFG_OUTPUTS = 0x83,
    CMD_CFG_ANALOGS = 0x84,
    CMD_RESET_NVR_ALL = 0x85,
    CMD_STOP_PROCESSES = 0x86,
    CMD_ADDRESS_ALLOCATE = 0x87,
    CMD_TASK_BLOCK = 0x88,
    CMD_RESET_NVR_IO = 0x89,
    CMD_CFG_TEMPS = 0x8A,
    CMD_CFG_FLEETSYNC = 0x8B,
    CMD_CFG_NMEA = 0x8C,
    CMD_PTT_ON = 0xC8,
    CMD_PTT_OFF = 0xC9,
    CMD_SET_TX_LEVEL = 0xCB,
    CMD_TEST_TONE = 0xCC,
    CMD_SET_DEBUG_FLAGS = 0xCD,
    CMD_FLASH_UNLOCK = 0xCE,
    CMD_FLASH_PAGE_LOW = 0xCF,
    CMD_FLASH_PAGE_HIGH = 0xD0,
    CMD_RESTART_PROCESSES = 0xD1,
    CMD_ENTER_BOOT_LOADER = 0xD2,
    CMD_RESET_SYSTEM = 0xD3,
    CMD_SET_PROTOCOL = 0xD4,
    CMD_CHILD_INFO = 0xF0,
    CMD_FLEETSYNC_RAW = 0xFC,
};

// The parameter byte of the module-information request that asks for the whole
// identity: firmware, options, child count, mode, boards, debug flags and sensors.
constexpr int16_t MODULE_INFO_FULL = 2;

// Writes the checksum of frame(0 .. n-1) into frame(n), n being the frame's Length
// (the frame is lengthened to hold it); leaves the caller's n one lower, so callers pass
// a copy.
void AppendTxChecksum(QByteArray& frame, int16_t& n);

// The checksum byte for the Length-prefixed frame bytes 0 .. L-1 of any buffer.
uint8_t FrameChecksum(const uint8_t* bytes, int length);
// True when the L + 1 bytes of the frame sum to 255 modulo 256 and L > 0.
bool FrameChecksumGood(const uint8_t* bytes, int length);
// The same for a received frame, L being its first byte: false also when fewer than
// L + 1 bytes came.
bool FrameChecksumGood(const QByteArray& frame);

// A received frame read by position, as the code that handles it reads it. Bytes past
// those that came read as 0: a frame shorter than its header, or than its Length byte
// claims, is read like any other and never past its end.
class RxFrame {
public:
    explicit RxFrame(const QByteArray& bytes);
    uint8_t operator[](int i) const { return i >= 0 && i < bytes_.size() ? uint8_t(bytes_[i]) : 0; }
    // The Length byte L (the checksum's position), no more than the bytes that came hold.
    int Length() const { return length_; }
    // Byte i onwards, for readers of a whole block; at least the header's bytes are there.
    const uint8_t* At(int i) const { return reinterpret_cast<const uint8_t*>(bytes_.constData()) + i; }

private:
    QByteArray bytes_;
    int length_ = 0;
};

// Character code of the hexadecimal digit for v (0 to 15), upper case.
uint8_t NibbleToHexChar(int v);
// Two upper-case hex digits per byte, no separators.
QByteArray HexOf(const uint8_t* bytes, int count);

} // namespace korvel

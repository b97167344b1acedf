#include "control/configblocks.h"

#include "model/blocks.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "link/transaction.h"

#include <array>
#include <cstring>

namespace korvel {

namespace {

using BlockBytes = std::array<uint8_t, CONFIG_BLOCK_MAX_BYTES>;

// The block's bytes behind a PKT_SET header: Length is the header and the data; the
// checksum follows at byte Length.
int16_t sendBlock(const LinkHold& hold, int16_t code, int16_t destination, int16_t source, int16_t route, const BlockBytes& block,
                  int bytes, bool resetPacketId) {
    const int length = FRAME_DATA + bytes;
    QByteArray frame = TxFrame(length, destination, source, route, PKT_SET, code);
    uint8_t* t = FrameBytes(frame);
    std::memcpy(t + FRAME_DATA, block.data(), static_cast<size_t>(bytes));
    return SendTxFrame(hold, frame, TX_WAIT_ACK, resetPacketId);
}

} // namespace

int16_t SendConfigBlock(const LinkHold& hold, int16_t code, int16_t destination, int16_t source, int16_t route, int16_t index) {
    BlockBytes block{};
    const int size = static_cast<int>(block.size());
    const uint8_t indexByte = static_cast<uint8_t>(index);
    bool built = false;
    int bytes = 0;
    switch (code) {
    case CMD_CFG_SYSTEM:
        built = BuildSystemBlock(indexByte, block.data(), size);
        bytes = SYSTEM_BLOCK_BYTES;
        break;
    case CMD_CFG_INPUTS:
        built = BuildInputBlock(index, block.data(), size);
        bytes = INPUT_BLOCK_BYTES;
        break;
    case CMD_CFG_OUTPUTS:
        built = BuildOutputBlock(index, block.data(), size);
        bytes = OUTPUT_BLOCK_BYTES;
        break;
    case CMD_CFG_ANALOGS:
        built = BuildAnalogBlock(index, block.data(), size);
        bytes = ANALOG_BLOCK_BYTES;
        break;
    case CMD_CFG_TEMPS:
        built = BuildTemperatureBlock(indexByte, block.data(), size);
        bytes = TEMP_BLOCK_BYTES;
        break;
    case CMD_CFG_FLEETSYNC:
        built = BuildFleetSyncBlock(index, block.data(), size);
        bytes = FleetSyncBlockBytes(index);
        break;
    default: return SEND_REFUSED;
    }
    if (!built) return SEND_REFUSED;
    // A transaction still open keeps its frame: SendPacket refuses and restores it.
    return sendBlock(hold, code, destination, source, route, block, bytes, false);
}

int16_t SendNmeaConfig(const LinkHold& hold, int16_t destination, int16_t source, int16_t route) {
    BlockBytes block{};
    if (!BuildNmeaBlock(block.data(), static_cast<int>(block.size()))) return SEND_REFUSED;
    return sendBlock(hold, CMD_CFG_NMEA, destination, source, route, block, NMEA_BLOCK_BYTES, true);
}

} // namespace korvel

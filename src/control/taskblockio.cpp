#include "control/taskblockio.h"
#include "link/linkhold.h"

#include "link/builders.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "model/taskblock.h"

namespace korvel {

int16_t RequestTaskBlock() {
    const LinkHold hold;
    return RequestFromStation(CMD_TASK_BLOCK);
}

int16_t UpLoadTaskBlock() {
    const LinkHold hold;
    constexpr int length = FRAME_DATA + TASK_BLOCK_BYTES;
    const int16_t* a = linkState().StationAddress;
    uint8_t* t = WriteTxHeader(length, a[0], a[1], a[2], PKT_SET, CMD_TASK_BLOCK);
    BuildTaskBlock(t + FRAME_DATA, LINK_BUFFER_SIZE - FRAME_DATA);
    return SendTxFrame(length, TX_WAIT_ACK, true);
}

} // namespace korvel

#include "control/taskblockio.h"
#include "link/linkhold.h"

#include "link/builders.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "model/taskblock.h"

namespace korvel {

int16_t RequestTaskBlock() {
    const LinkHold hold;
    return RequestFromStation(hold, CMD_TASK_BLOCK);
}

int16_t UpLoadTaskBlock() {
    const LinkHold hold;
    constexpr int length = FRAME_DATA + TASK_BLOCK_BYTES;
    const int16_t* a = linkState().StationAddress;
    QByteArray frame = TxFrame(length, a[0], a[1], a[2], PKT_SET, CMD_TASK_BLOCK);
    BuildTaskBlock(FrameBytes(frame) + FRAME_DATA, TASK_BLOCK_BYTES);
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

} // namespace korvel

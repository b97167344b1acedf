#include "link/fleetsync.h"
#include "link/linkstate.h"

namespace korvel {

// The radio framing itself is not part of this build yet: frames go out as plain
// module frames and radio input is dropped, so the radio protocol setting cannot
// corrupt a transaction.
void WrapPacketInFleetSync() {
    auto& s = linkState();
    s.TxLength = static_cast<int16_t>(s.TxBuffer[0] + 1);
}

void ParseFleetSyncInput() { linkState().RxState = RX_HUNT; }

} // namespace korvel

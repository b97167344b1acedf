#include "editors/station/diagnostics.h"
#include "link/linkhold.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"

namespace korvel {

namespace {

const int16_t* Station() { return linkState().StationAddress; }

} // namespace

bool SetModuleDebugFlags(uint8_t flags) {
    const LinkHold hold;
    const int16_t* a = Station();
    if (SendCommandBytes(hold, CMD_SET_DEBUG_FLAGS, a[0], a[1], a[2], flags, 0) != SEND_OK) return false;
    target().ModuleDebugFlags = flags;
    return true;
}

AllocationResult AllocateChildAddresses() {
    const LinkHold hold;
    const int16_t* a = Station();
    if (SendCommand(hold, CMD_ADDRESS_ALLOCATE, a[0], a[1], a[2]) != SEND_OK) return AllocationResult::NotAllocated;
    if (SendRequestParam(hold, CMD_MODULE_INFO, a[0], a[1], a[2], MODULE_INFO_FULL) != SEND_OK)
        return AllocationResult::NotAllocated;
    for (int child = 1; child <= target().ChildCount; ++child) {
        if (SendRequestByte(hold, CMD_CHILD_INFO, a[0], a[1], a[2], static_cast<int16_t>(child)) != SEND_OK)
            return AllocationResult::ChildReadFailed;
    }
    return AllocationResult::Done;
}

QString AllocationDoneMessage(int children) {
    return QStringLiteral("Address allocation done. %1 Child modules found. Download configuration to update OMRU.")
        .arg(children);
}

} // namespace korvel

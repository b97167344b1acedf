#include "editors/channels/inputrules.h"

#include "editors/channels/analogrules.h"
#include "editors/channels/outputrules.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr uint8_t INPUT_LOG_ON_OFF = 0x08;
constexpr uint8_t INPUT_FUNCTION_BITS = 0x03;
// Bits the dialog does not own.
constexpr uint8_t INPUT_KEPT_BITS = 0x14;

uint8_t Byte(int value, int maximum) { return uint8_t(std::clamp(value, 0, maximum)); }

} // namespace

InputChannelValues ViewInputChannel(const ContactInputGroupRecord& group, int slot) {
    InputChannelValues v;
    const uint8_t flags = group.Flags[slot];
    v.enabled = flags & INPUT_ENABLED;
    v.normallyOpen = flags & INPUT_NORMALLY_OPEN;
    v.toggle = flags & INPUT_TOGGLE;
    v.logOnOff = flags & INPUT_LOG_ON_OFF;
    switch (flags & INPUT_FUNCTION_BITS) {
    case 1: v.setReset = SetResetItem::Reset; break;
    case 3: v.setReset = SetResetItem::Set; break;
    default: v.setReset = SetResetItem::Normal; break;
    }
    v.hold = group.Hold[slot];
    v.localOutput = group.LocalOutput[slot];
    v.delay = group.LocalOutputDelay[slot];
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        v.destStation[k] = group.DestStation[k][slot];
        v.destChannel[k] = group.DestChannel[k][slot];
    }
    return v;
}

void StoreInputChannel(ContactInputGroupRecord& group, int slot, const InputChannelValues& v, bool pellar) {
    uint8_t flags = group.Flags[slot] & INPUT_KEPT_BITS;
    if (v.enabled) flags |= INPUT_ENABLED;
    if (v.normallyOpen) flags |= INPUT_NORMALLY_OPEN;
    if (v.toggle) flags |= INPUT_TOGGLE;
    if (v.logOnOff) flags |= INPUT_LOG_ON_OFF;
    if (v.setReset == SetResetItem::Reset) flags |= 1;
    if (v.setReset == SetResetItem::Set) flags |= 3;
    group.Flags[slot] = flags;
    group.Hold[slot] = Byte(v.hold, 255);
    group.LocalOutput[slot] = Byte(v.localOutput, 255);
    group.LocalOutputDelay[slot] = pellar ? 0 : Byte(v.delay, 255);
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        group.DestStation[k][slot] = Byte(v.destStation[k], DEST_STATION_MAX);
        group.DestChannel[k][slot] = Byte(v.destChannel[k], 255);
    }
}

bool LatchAssignedOutput(OutputGroupRecord& group, int output) {
    if (output < 1 || output > SLOTS) return false;
    uint8_t& flags = group.Flags[output - 1];
    if ((flags & OUTPUT_MODE_BITS) == 0) return false;
    flags &= uint8_t(~OUTPUT_MODE_BITS);
    return true;
}

QString LatchedOutputMessage(int output) {
    return QStringLiteral("The assigned output (") + QString::number(output) +
           QStringLiteral(") mode was set to PULSE mode.\r\nIt has now been set to LATCH");
}

} // namespace korvel

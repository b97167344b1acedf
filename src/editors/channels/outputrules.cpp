#include "editors/channels/outputrules.h"

#include "model/tempcodes.h"

#include <algorithm>

namespace korvel {

OutputView ViewOutput(const OutputGroupRecord& group, int slot) {
    OutputView v;
    const uint8_t flags = group.Flags[slot];
    v.normallyOpen = flags & OUTPUT_NORMALLY_OPEN;
    // With bit 6 clear the output latches whatever bit 5 holds.
    if (!(flags & OUTPUT_PULSE))
        v.mode = OutputModeItem::Latch;
    else if ((flags & OUTPUT_MODE_BITS) == OUTPUT_PULSE)
        v.mode = OutputModeItem::Pulse;
    v.pulseWidthMs = long(group.PulseWidth[slot]) * PULSE_WIDTH_STEP_MS;
    return v;
}

void StoreOutput(OutputGroupRecord& group, int slot, bool normallyOpen, std::optional<OutputModeItem> mode,
                 long pulseWidthMs) {
    uint8_t flags = group.Flags[slot];
    flags = normallyOpen ? (flags | OUTPUT_NORMALLY_OPEN) : (flags & ~OUTPUT_NORMALLY_OPEN);
    if (mode) flags = (flags & ~OUTPUT_MODE_BITS) | (*mode == OutputModeItem::Pulse ? OUTPUT_PULSE : 0);
    group.Flags[slot] = flags;
    group.PulseWidth[slot] =
        uint8_t(std::clamp<int32_t>(RoundToLong(double(pulseWidthMs) / PULSE_WIDTH_STEP_MS), 0, 255));
}

} // namespace korvel

// What the output dialog shows of an output's flags and pulse width, and what it stores
// back: the rest state, LATCH or PULSE, and the width in milliseconds.
#pragma once

#include "model/model.h"

#include <cstdint>
#include <optional>

namespace korvel {

constexpr uint8_t OUTPUT_NORMALLY_OPEN = 0x80;
constexpr uint8_t OUTPUT_MODE_BITS = 0x60;
constexpr uint8_t OUTPUT_PULSE = 0x40;
// The mode list's items, with the mode bits each stands for.
enum class OutputModeItem { Latch = 0, Pulse = 1 };

constexpr long PULSE_WIDTH_MAX_MS = 2550;
constexpr long PULSE_WIDTH_STEP_MS = 10;
constexpr long PULSE_MIN_MS = 10;  // a pulse lasts one step at least

struct OutputView {
    bool normallyOpen = false;
    // The list item for the mode bits; empty for the further pulse type (both bits set),
    // which the list does not offer.
    std::optional<OutputModeItem> mode;
    long pulseWidthMs = 0;
};
OutputView ViewOutput(const OutputGroupRecord& group, int slot);

// Stores the dialog's values into slot: bit 7 and the mode bits (kept as they were when
// no mode is chosen), the width in steps of 10 ms rounded halves to even; the other bits
// stay.
void StoreOutput(OutputGroupRecord& group, int slot, bool normallyOpen, std::optional<OutputModeItem> mode,
                 long pulseWidthMs);

} // namespace korvel

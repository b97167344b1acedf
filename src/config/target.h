// What the program knows of the module it talks to: whether it is a Pellar, and its
// clock as last read.
#pragma once

#include <cstdint>

namespace korvel {

struct ModuleClockValue {
    int16_t day = 1, month = 1, year = 2000, hour = 0, minute = 0, second = 0;
};

struct TargetState {
    bool PellarDevice = false;
    ModuleClockValue ModuleClock;
};

TargetState& target();
void ResetTargetState();

} // namespace korvel

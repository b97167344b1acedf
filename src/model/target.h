// What the program knows of the module it talks to: identity, firmware, options, the
// shape of the station (child modules, expansion boards, Pellar), its clock and the
// live values its status replies carry.
#pragma once

#include <cstdint>

namespace korvel {

constexpr int MAX_CHILD_MODULES = 7;  // groups 1 .. 7 behind the main module

struct ModuleClockValue {
    int16_t day = 1, month = 1, year = 2000, hour = 0, minute = 0, second = 0;
};

// The eight identity items a child module reports about itself.
struct ChildModuleInfo {
    uint8_t Identity = 0, FirmwareVersion = 0, Options = 0, OptionsHigh = 0, ModuleMode = 0,
            BoardMask = 0, DebugFlags = 0, TempSensors = 0;
};

struct TargetState {
    uint8_t TargetIdentity = 0;
    uint8_t TargetFirmwareVersion = 0;
    int16_t TargetOptions = 0;
    uint8_t BootLoaderVersion = 0;
    uint8_t TargetModuleMode = 0;
    uint8_t ModuleDebugFlags = 0;
    int16_t TempSensorInfo = 0;
    // Set once a module-information reply has said which temperature inputs have sensors.
    bool TempSensorsKnown = false;

    // Shape of the station.
    uint8_t ChildCount = 0;  // 0 .. MAX_CHILD_MODULES
    int16_t ExpansionBoardMask = 0;
    bool PellarDevice = false;
    int16_t PellarVersion[4] = {};
    ChildModuleInfo ChildModuleList[8];

    // Live values of the last status replies.
    uint8_t StatusGroup = 0;
    uint8_t StatusBits = 0;
    int16_t TempReadings[9] = {};
    int16_t ChannelState = 0;
    int16_t FlashUnlocked = 0;
    ModuleClockValue ModuleClock;
};

// A Pellar's expansion boards: bits 0 to 3 of the mask mark analog boards 1 to 4, bits
// 4 to 7 contact input boards 1 to 4, each board filling the channel group of its number.
constexpr int ANALOG_BOARD_BITS = 0;
constexpr int CONTACT_BOARD_BITS = 4;
// The highest board number (1 to 4) fitted from firstBit on; 0 when none is.
int LastBoard(int mask, int firstBit);

TargetState& target();
void ResetTargetState();

} // namespace korvel

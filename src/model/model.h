// The configuration of the one station being worked on: system values, the four channel
// tables, FleetSync and NMEA settings, with the factory defaults and the channel helpers.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace korvel {

constexpr int SYSTEM_ELEMENTS = 162;    // SystemConfig(0 .. 161)
constexpr int NAMED_SYSTEM_VALUES = 43; // elements 0 .. 42 have names and defaults
constexpr int GROUPS = 8;
constexpr int SLOTS = 8;
constexpr int TAG_LENGTH = 20;
constexpr int NMEA_INIT_LENGTH = 40;
constexpr int NMEA_CUSTOM_LENGTH = 12;

struct ContactInputGroupRecord {
    uint8_t Flags[SLOTS] = {};
    uint8_t Hold[SLOTS] = {};
    uint8_t LocalOutputDelay[SLOTS] = {};
    uint8_t LocalOutput[SLOTS] = {};
    uint8_t DestStation[4][SLOTS] = {};
    uint8_t DestChannel[4][SLOTS] = {};
    uint8_t Reserved[SLOTS] = {};
    int32_t BlockTrailer = 0;
    bool Present[SLOTS] = {};
};

struct AnalogGroupRecord {
    uint8_t Flags[SLOTS] = {};
    int16_t LowThreshold[SLOTS] = {};
    int16_t Offset[SLOTS] = {};
    uint8_t LowHold[SLOTS] = {};
    uint8_t LowDestStation[2][SLOTS] = {};
    uint8_t LowDestChannel[2][SLOTS] = {};
    uint8_t LowLocalOutput[SLOTS] = {};
    uint8_t LowOutputDelay[SLOTS] = {};
    int16_t HighThreshold[SLOTS] = {};
    uint8_t HighHold[SLOTS] = {};
    uint8_t HighDestStation[2][SLOTS] = {};
    uint8_t HighDestChannel[2][SLOTS] = {};
    uint8_t HighLocalOutput[SLOTS] = {};
    uint8_t HighOutputDelay[SLOTS] = {};
    uint8_t Qualifier[SLOTS] = {};
    uint8_t Reserved[SLOTS] = {};
    bool Present[SLOTS] = {};
    int16_t LiveValue[SLOTS] = {};
    int16_t RangeCode[SLOTS] = {};
    int16_t Modifier[SLOTS] = {};
    int32_t BlockTrailer = 0;
};

struct TempChannelRecord {
    uint8_t Flags = 0;
    int16_t LowThreshold = 0;
    uint8_t LowHold = 0;
    uint8_t LowDestStation[2] = {};
    uint8_t LowDestChannel[2] = {};
    uint8_t LowLocalOutput = 0;
    uint8_t LowOutputDelay = 0;
    int16_t HighThreshold = 0;
    uint8_t HighHold = 0;
    uint8_t HighDestStation[2] = {};
    uint8_t HighDestChannel[2] = {};
    uint8_t HighLocalOutput = 0;
    uint8_t HighOutputDelay = 0;
    uint8_t Qualifier = 0;
    uint8_t Reserved = 0;
};

struct OutputGroupRecord {
    uint8_t Flags[SLOTS] = {};
    uint8_t PulseWidth[SLOTS] = {};
    int32_t BlockTrailer = 0;
};

// Texts are single-byte characters, as they travel in the blocks and the file.
struct FleetSyncSettings {
    uint8_t Ccb1 = 0, Ccb2 = 0, Ccb3 = 0, ReportTime = 0;
    // 16-bit values on the wire; held wider so no value the module sends is lost.
    int32_t FleetNumber[3] = {};
    int32_t IDNumber[3] = {};
    int32_t SecurityFleet[20] = {};
    int32_t SecurityIDNumber[20] = {};
    QByteArray InputTagOff[8], InputTagOn[8], AnalogTag[8], TempTag[8];
};

struct NmeaSettings {
    uint8_t Ccb1 = 0, Ccb2 = 0, Ccb3 = 0, ReportTime = 0, TimeMark = 0;
    QByteArray Init1, Init2, Custom;
};

struct StationConfig {
    // Elements may hold fractions (the port editors divide typed times); a block
    // rounds each to a byte when it is sent.
    double SystemConfig[SYSTEM_ELEMENTS] = {};
    int32_t SystemBlockTrailer = 0;
    ContactInputGroupRecord ContactInputTable[GROUPS];
    AnalogGroupRecord AnalogConfigTable[GROUPS];
    TempChannelRecord TempConfigTable[SLOTS];
    int32_t TempBlockTrailer = 0;
    OutputGroupRecord OutputConfigTable[GROUPS];
    FleetSyncSettings FleetSyncConfig;
    NmeaSettings NmeaConfig;
};

StationConfig& config();
// Back to program-start state: every number 0, every text empty.
void ResetStationConfig();

// Factory defaults for the groups 0 .. ChildCount; see the .cpp for what it keeps.
void SetDefaultConfiguration();
// The same defaults applied to another configuration, such as a scratch copy.
void SetDefaultConfiguration(StationConfig& c);

// Key (file name) and factory default of named system element i (0 .. 42).
const char* SystemValueName(int element);
uint8_t SystemValueDefault(int element);

int GetChannelGroup(int channel);
int GetChannelSlot(int channel);

} // namespace korvel

// What the analog and temperature input dialog shows of one channel and stores back:
// the flag bits, the range and sensor, the set points as the up-downs count them, the
// holds, local outputs and destination maps; the sensor list, the range defaults and
// limits, and which destination maps a module mode offers.
#pragma once

#include "model/model.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace korvel {

constexpr uint8_t ANALOG_EVENTS_ENABLED = 0x80;
constexpr uint8_t ANALOG_SET_POINTS_INVERTED = 0x40;
constexpr uint8_t ANALOG_LOG_THRESHOLD = 0x20;
constexpr uint8_t ANALOG_MULTIPLIER_BITS = 0x18;
constexpr uint8_t ANALOG_RANGE_BITS = 0x07;

// Limits of the hold, output delay and destination fields.
constexpr long HOLD_MIN_SECONDS = 1;
constexpr long HOLD_MAX_SECONDS = 255;
constexpr long OUTPUT_DELAY_MAX = 255;
constexpr int DEST_STATION_MAX = 255;
constexpr int DEST_OUTPUT_MAX = 64;
// The local-output lists: "NONE" and outputs 1 to 8 of the module.
constexpr int LOCAL_OUTPUT_ITEMS = 9;

inline const QString kDestOutputRefusal = QStringLiteral("Destination output must be between 1 and 64, please renter");
inline const QString kDestStationRefusal = QStringLiteral("Destination station must be less than 255, please renter");
inline const QString kLowNotBelowHighMessage =
    QStringLiteral("Error: Low threshold value must be lower than high threshold\r\nvalue. Click OK to continue.");

// The sensor list of the 0 - 5.00V range, in list order; the other ranges offer "Normal"
// alone.
QStringList SensorListItems();
// List index of a sensor code: -1 when the range code is not 1, 0 for a code the list
// does not hold.
int SensorCodeToListIndex(int rangeCode, int sensorCode);
// Sensor code of a list index: 0 when the range code is not 1 or for an index the list
// does not hold.
int SensorListIndexToCode(int rangeCode, int index);

// Which destination fields a module mode enables; none for a mode outside 0 to 3,
// which leaves them as they are.
struct MappingEnable {
    bool stations = false;
    bool outputs = false;
};
std::optional<MappingEnable> MappingEnableFor(int moduleMode);

// One set point's side of a channel: hold, destination maps, local output and delay.
struct AlarmSide {
    int16_t threshold = 0;  // the module's code
    int hold = 0;
    int destStation[2] = {};
    int destChannel[2] = {};
    int localOutput = 0;
    int outputDelay = 0;
};

struct AnalogChannelValues {
    bool enabled = false;
    bool inverted = false;
    bool logThreshold = false;
    int rangeCode = 0;  // Flags bits 0 to 2
    int modifier = 0;   // multiplier index (USER) or sensor code (0 - 5.00V)
    int offset = 0;     // offset steps
    AlarmSide high, low;
    int qualifier = 0;
};
AnalogChannelValues ViewAnalogChannel(const AnalogGroupRecord& group, int slot);
// Writes values into slot: bits 7, 6 and 5 of Flags, the range code into bits 0 to 2 and
// RangeCode, the modifier into Modifier and (its two low bits) Flags bits 3 to 4; the
// other fields as they stand. Values are taken as the bytes they travel as.
void StoreAnalogChannel(AnalogGroupRecord& group, int slot, const AnalogChannelValues& values);

struct TempChannelValues {
    bool enabled = false;
    bool logThreshold = false;
    AlarmSide high, low;
    int qualifier = 0;
};
TempChannelValues ViewTempChannel(const TempChannelRecord& record);
// Bits 7 and 5 of Flags (the others kept) and every other field.
void StoreTempChannel(TempChannelRecord& record, const TempChannelValues& values);

// The 0 - 25.0V range's one sensor: a logarithmic RF power reading.
constexpr int SENSOR_RF_POWER = 1;

// The Modifier a store writes for the range chosen. On 0 - 5.00V the sensor picked; on
// 0 - 25.0V the RF power sensor when the channel was loaded with it on that range (the
// list cannot pick it, so it is kept rather than lost), else 0; on the other ranges the
// USER multiplier index.
int StoredModifier(int rangeCode, int sensorIndex, int multiplierIndex, int loadedRange, int loadedModifier);

// A module code as the set-point up-down of its range counts it: a value beyond the
// up-down's limits loads as its maximum.
long ThresholdSteps(int16_t code, int conversionCode, long minimum, long maximum);

// A temperature set point for display: tenths of a degree in the unit shown.
float TempThresholdShown(int16_t code, bool degreesF);
// The module code of a set point typed in the unit shown (the text's number).
int16_t TempThresholdCode(double shown, bool degreesF);

} // namespace korvel

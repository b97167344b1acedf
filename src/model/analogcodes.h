// Analog inputs: range, conversion and sensor codes, their names, and the window-free
// conversions between the module's 10-bit codes, scaled set-point values, display texts,
// sensor readings and offset steps. The analog dialog, the status monitor, the overview
// and the report all call these without any window.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace korvel {

// Range codes, as held in bits 0 to 2 of an analog channel's Flags.
constexpr int RANGE_0_2V56 = 0;
constexpr int RANGE_0_5V = 1;
constexpr int RANGE_0_25V = 2;
constexpr int RANGE_4_20MA = 3;
constexpr int RANGE_USER = 4;

// Conversion codes: the range code for ranges 0 to 3, 10 + the multiplier index for USER.
constexpr int CONVERSION_0_2V56 = 0;
constexpr int CONVERSION_0_5V = 1;
constexpr int CONVERSION_0_25V = 2;
constexpr int CONVERSION_4_20MA = 3;
constexpr int CONVERSION_USER_X2 = 10;
constexpr int CONVERSION_USER_X4 = 11;
constexpr int CONVERSION_USER_X10 = 12;
constexpr int CONVERSION_USER_X20 = 13;
// What ConversionCode gives when there is no conversion; every conversion treats it as
// an unknown code.
constexpr int CONVERSION_NONE = -1;

// Number of USER multipliers (indexes 0 to 3).
constexpr int USER_MULTIPLIER_COUNT = 4;

// Sensor codes, held in the channel's Modifier with the 0 to 5 V range.
constexpr int SENSOR_NORMAL = 0;
constexpr int SENSOR_SHUNT_30A = 1;
constexpr int SENSOR_BPS_VHF = 2;
constexpr int SENSOR_BPS_UHF = 3;
constexpr int SENSOR_SHUNT_50A = 4;
constexpr int SENSOR_SHUNT_20A = 5;
constexpr int SENSOR_SHUNT_5A = 6;
constexpr int SENSOR_AC_VOLTAGE = 7;
constexpr int SENSOR_COUNT = 8;

// The highest code the module takes for a set point.
constexpr int16_t ANALOG_CODE_MAX = 1023;

// Limits of a channel's offset, in steps.
constexpr int OFFSET_MIN_STEPS = -31;
constexpr int OFFSET_MAX_STEPS = 32;

// The conversion code of a range code and USER multiplier index (the index matters only
// for USER). USER with an index outside 0 to 3, and a range code outside 0 to 4, give
// CONVERSION_NONE.
int ConversionCode(int rangeCode, int multiplierIndex);

// One module count in the range's unit (volts, milliamperes for 4 to 20 mA) and the
// factor of the scaled values (10000 or 1000 per unit).
struct ConversionScale {
    double step = 0.0;
    double factor = 0.0;
};
// None for a code outside the conversion table.
std::optional<ConversionScale> ConversionScaleFor(int conversionCode);

// Names, empty for a code that has none.
// The status monitor's name of a range: "0-2.56V", "0-5.00V", ..., "USER-X20".
QString RangeName(int conversionCode);
// The dialog's sensor list entry: "Normal", "Diff. Sensor - 30A Shunt", ...
QString SensorListText(int sensorCode);
// The status monitor's sensor name: "Diff. Sensor-30A Shunt", ...; a Normal sensor
// carries the name of its range, "0-5.00V".
QString SensorMonitorName(int sensorCode);
// The USER multiplier list entry of an index: "2   X", "4   X", "10 X", "20 X".
QString MultiplierText(int index);

// The scaled value of a module code (raw × step × factor); 0 for an unknown code.
double ConvertFromTarget(int16_t raw, int conversionCode);
// The module code of a scaled value: value ÷ factor ÷ step rounded halves to even, and
// 1024 or more gives 1023. Results below 0 are returned as they are, but never below
// the 16-bit range (they stop at -32768); NaN and an unknown code give 0.
int16_t ConvertToTarget(double value, int conversionCode);

// Key filters of the decimal entry boxes: the key to keep, or 0 to drop it.
// ParseVoltageEntry keeps digits, "." and Backspace; ParseSignedDecimalEntry also "-"
// and "+". Neither looks at the text the key would go into. They make no sound: the
// caller beeps when 0 comes back.
int ParseVoltageEntry(int key);
int ParseSignedDecimalEntry(int key);

// The display text, with its unit, of a reading or set point given in volts, for a
// sensor, a range code (4 for every USER multiplier) and an offset in steps: "1.33V",
// "7.50A", "< 7.9dBm", "> -8.5dBm", "63.0VAC". The empty text where the sensor has no
// reading on that range, and also when voltsText is not a number or the reading does
// not come out as a finite number. A number here is an optional sign, digits with at
// most one "." and at least one digit, with blanks allowed around it ("02.50", "-1",
// ".5"); "1.2.3", ".", "-", "2.5V" and the empty text are not numbers.
QString GetAdjustedValueFromVolts(QStringView voltsText, int sensorCode, int rangeCode,
                                  int offsetSteps);

// Rounds a two-decimal number text to the nearest half: "-12.37" gives "-12.5", "7.74"
// gives "8.0". A text that is not a signed whole part, ".", and exactly two decimal
// digits is returned unchanged. A minus sign makes the text negative even with a zero
// whole part, so "-0.80" gives "-1.0".
QString SplitDecimalText(QStringView text);

// How a channel's offset is counted for a range and sensor: steps per unit of the
// sensor's reading and the pattern of the offset text. The largest offset shown is
// always OFFSET_MAX_STEPS steps.
struct OffsetScale {
    int stepsPerUnit = 10;
    const char* pattern = "0.0";
    double Step() const { return 1.0 / stepsPerUnit; }
    double Largest() const { return double(OFFSET_MAX_STEPS) / stepsPerUnit; }
};
OffsetScale OffsetScaleFor(int rangeCode, int sensorCode);

// Offset steps for an offset in the sensor's unit, rounded halves to even; NaN gives 0
// and results beyond the 16-bit range stop at its ends.
int16_t OffsetToSteps(int rangeCode, int sensorCode, double value);
// The offset text for a number of steps; counts above OFFSET_MAX_STEPS read as
// negative offsets (33 steps at 10 per unit give "-0.1").
QString FormatOffsetSteps(int rangeCode, int sensorCode, int steps);

} // namespace korvel

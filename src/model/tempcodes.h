// Temperature codes of the module and tenths of a degree Celsius, both ways, and the
// window-free arithmetic of the analog and temperature set points: Fahrenheit display,
// the range selector's mapping, the entry limits, the stepper scales and the set-point
// texts.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace korvel {

// A temperature status reading that carries no channel.
constexpr int16_t TEMP_READING_ABSENT = 0x7FFF;

// Limits of a typed temperature set point, the sensor's range in tenths of a degree
// Celsius and the same range in tenths of a degree Fahrenheit, and the stepper's
// increment.
constexpr int TEMP_MIN_TENTHS = -550;
constexpr int TEMP_MAX_TENTHS = 1250;
constexpr int TEMP_MIN_TENTHS_F = -670;
constexpr int TEMP_MAX_TENTHS_F = 2570;
constexpr int TEMP_STEP_TENTHS = 5;

// Tenths of a degree Celsius for a device temperature code of the current target
// (Pellar: offset code; Korvel: 9-bit two's complement). A code whose temperature does
// not fit a 16-bit value gives TEMP_READING_ABSENT, which no real temperature can equal.
int16_t ConvertTempFromBinary(int code);
// The device temperature code of the current target for tenths of a degree Celsius,
// rounded to the nearest half degree. Values beyond the 16-bit range count as its ends.
int16_t ConvertTempToBinary(int tenths);

// Tenths of a degree between Celsius and Fahrenheit. FahrenheitToCelsius gives a whole
// multiple of 5 tenths: positive values go to the nearest one (remainders 1, 2 down, 3,
// 4 up), negative values drop their remainder toward zero.
float CelsiusToFahrenheit(float tenthsC);
float FahrenheitToCelsius(float tenthsF);

// Between an analog range code and the entry of the range selector ("0 - 5.00V",
// "0 - 25.0V", "USER"); -1 is "nothing selected". Code 3 (4 to 20 mA) shows as the
// 25 V entry; codes 5 to 7 give indexes the selector does not have, which the selector
// refuses, so a load can report the channel as holding an unexpected value.
int RangeCodeToListIndex(int code);
int ListIndexToRangeCode(int index);

// What the range selector and the USER multiplier selector ("2   X", "4   X", "10 X",
// "20 X") have selected; -1 = nothing.
struct RangeSelection {
    int rangeIndex = -1;
    int multiplierIndex = -1;
};

// How a set point of one range (or of a temperature) lives in its stepper: the stepper
// value per unit shown, the stepper bounds, the largest value accepted when typed, and
// the pattern of the text written from the stepper.
struct SetPointScale {
    int32_t stepsPerUnit = 0;
    int32_t lowerSteps = 0;
    int32_t upperSteps = 0;
    float maximum = 0.0f;
    const char* pattern = "";
};

// The scale of the selected analog range; none for USER without a multiplier (and for a
// selection that names no range this dialog offers).
std::optional<SetPointScale> AnalogSetPointScale(const RangeSelection& selection);
// The temperature scale in the unit on display: a set point shown in Fahrenheit is held
// to the sensor's range in Fahrenheit, not to the Celsius numbers.
SetPointScale TemperatureSetPointScale(bool degreesF = false);

// A number in a display pattern where "0" is a digit always shown, "#" a digit shown only
// when significant and "." the decimal point ("#0.0", "##00.00", ...). Rounds to the
// shown decimals, halves to even, on the number's shortest decimal form, so 1.225 with
// two decimals is "1.22". A value that rounds to zero is shown without a minus sign.
QString FormatNumberPattern(double value, QStringView pattern);
// The shortest plain decimal text of a value (no exponent): 2.56, 0, -5.5.
QString PlainDecimalText(double value);
// Halves to the even neighbour, limited to the 32-bit range.
int32_t RoundToLong(double value);

// 1 when the number in text is above the largest value of the selected analog range
// (also when USER has no multiplier, and when the text is not a number at all: "1.2.3",
// ".", "-" or pasted words are refused like a value out of range), else 0; an empty text
// becomes "0" in place. There is no lower limit.
int IsOutsideSelectedRange(QString& text, const RangeSelection& selection);

// The stepper value for an accepted analog set point typed as text; none when the
// selection has no scale, in which case the stepper is left alone.
std::optional<int32_t> AnalogEntryToSteps(QStringView text, const RangeSelection& selection);
// The stepper value for a typed temperature set point (tenths, in the unit on display);
// none when it lies outside the sensor's range in that unit or is not a number (the
// entry is refused).
std::optional<int32_t> TemperatureEntryToSteps(QStringView text, bool degreesF = false);

// The text a set-point stepper writes into its box for its value; none when the box
// keeps its text (USER without a multiplier).
std::optional<QString> SetPointTextFromSteps(int32_t steps, bool analogMode,
                                             const RangeSelection& selection);
// The text for a stepper's lower bound in the unit shown, written into a box that was
// empty or refused; none when nothing is written (USER without a multiplier).
std::optional<QString> LowerBoundText(int32_t lowerSteps, bool analogMode,
                                      const RangeSelection& selection);

// A temperature set point (tenths, in the unit on display) as its box text and stepper
// value.
struct TempSetPointView {
    QString text;
    int32_t steps = 0;
};
TempSetPointView TemperatureSetPointView(float tenths);

// Messages of the refused set-point entries.
inline const QString kAnalogOutsideRangeText =
    QStringLiteral("Value outside selected range, please renter");
inline const QString kTemperatureOutsideRangeText =
    QStringLiteral("Temperature must be between -55 and +125, please renter");
// The refusal names the limits in the unit on display.
QString TemperatureOutsideRangeText(bool degreesF);

// What the check of a typed set point decides. A refused entry is reset to resetText
// after message (and a beep), and the focus stays in its box; an accepted one sets the
// stepper to steps, or leaves it alone when there are none (USER without a multiplier).
// The typed text itself stays as it is.
struct SetPointCheck {
    bool refused = false;
    QString message;
    QString resetText;
    std::optional<int32_t> steps;
};
// text: the box's text (not empty: an empty box is the caller's); lowerSteps: the
// stepper's lower bound, which a refused analog entry shows; degreesF: the temperature
// is shown in Fahrenheit.
SetPointCheck CheckSetPointEntry(const QString& text, bool analogMode, const RangeSelection& selection,
                                 bool degreesF, int32_t lowerSteps);

} // namespace korvel

#include "model/tempcodes.h"

#include "model/target.h"
#include "model/textnumber.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace korvel {

namespace {

// The Pellar offset code puts 0.0 °C here.
constexpr int PELLAR_ZERO_CODE = 111;
// The Korvel code is 9 bits wide; codes above 256 are negative temperatures.
constexpr int KORVEL_CODE_SPAN = 512;
constexpr int KORVEL_HIGHEST_POSITIVE = 256;

constexpr int RANGE_CODE_USER = 4;

double RoundHalfEven(double x) {
    double f = std::floor(x);
    const double diff = x - f;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
    return f;
}

int16_t ClampToInt16(double v) {
    v = std::clamp(v, double(std::numeric_limits<int16_t>::min()),
                   double(std::numeric_limits<int16_t>::max()));
    return static_cast<int16_t>(v);
}

// The shortest decimal form of |value| without exponent, as digits with at most one
// point.
std::string ShortestFixed(double value) {
    std::array<char, 400> buf{};
    auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                   std::chars_format::fixed);
    if (ec != std::errc()) return "0";
    return std::string(buf.data(), end);
}

// Adds one to the last digit of a digit string, carrying leftwards.
void IncrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it == '9') {
            *it = '0';
        } else {
            ++*it;
            return;
        }
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

int16_t ConvertTempFromBinary(int code) {
    long long c = code;
    if (target().PellarDevice) {
        c -= PELLAR_ZERO_CODE;
    } else if (c > KORVEL_HIGHEST_POSITIVE) {
        c -= KORVEL_CODE_SPAN;
    }
    const long long tenths = c * TEMP_STEP_TENTHS;
    // A reading this far out is no temperature; rather than wrap into a plausible value,
    // report the channel as absent.
    if (tenths < std::numeric_limits<int16_t>::min() || tenths > std::numeric_limits<int16_t>::max())
        return TEMP_READING_ABSENT;
    return static_cast<int16_t>(tenths);
}

int16_t ConvertTempToBinary(int tenths) {
    const double t = ClampToInt16(tenths);
    double code = t / TEMP_STEP_TENTHS;
    if (target().PellarDevice)
        code += PELLAR_ZERO_CODE;
    else if (t < 0)
        code += KORVEL_CODE_SPAN;
    return ClampToInt16(RoundHalfEven(code));
}

float CelsiusToFahrenheit(float tenthsC) {
    return static_cast<float>((double(tenthsC) / 10.0 * 1.8 + 32.0) * 10.0);
}

float FahrenheitToCelsius(float tenthsF) {
    // Held in single precision before truncating: in double, -23.8 °F comes out as
    // -309.99... tenths and would end on -305 instead of its exact -310.
    const float x = static_cast<float>((double(tenthsF) / 10.0 - 32.0) / 1.8 * 10.0);
    long long whole = static_cast<long long>(std::trunc(x));
    const long long r = whole % TEMP_STEP_TENTHS;  // sign of whole
    if (r < 3)
        whole -= r;
    else
        whole += TEMP_STEP_TENTHS - r;
    return static_cast<float>(whole);
}

int RangeCodeToListIndex(int code) { return code < 3 ? code - 1 : code - 2; }

int ListIndexToRangeCode(int index) { return index < 2 ? index + 1 : index + 2; }

std::optional<SetPointScale> AnalogSetPointScale(const RangeSelection& selection) {
    const int code = ListIndexToRangeCode(selection.rangeIndex);
    switch (code) {
    case 0: return SetPointScale{10000, 0, 25600, 2.56f, "##0.00"};
    case 1: return SetPointScale{10000, 0, 50000, 5.0f, "##0.00"};
    case 2: return SetPointScale{10000, 0, 250000, 25.0f, "##00.0"};
    case RANGE_CODE_USER:
        switch (selection.multiplierIndex) {
        case 0: return SetPointScale{10000, 0, 100000, 10.0f, "##00.00"};
        case 1: return SetPointScale{10000, 0, 200000, 20.0f, "##00.00"};
        case 2: return SetPointScale{1000, 0, 50000, 50.0f, "##00.0"};
        case 3: return SetPointScale{1000, 0, 100000, 100.0f, "##000.0"};
        default: return std::nullopt;
        }
    default: return std::nullopt;
    }
}

SetPointScale TemperatureSetPointScale(bool degreesF) {
    if (degreesF) return SetPointScale{10, TEMP_MIN_TENTHS_F, TEMP_MAX_TENTHS_F, TEMP_MAX_TENTHS_F / 10.0f, "#0.0"};
    return SetPointScale{10, TEMP_MIN_TENTHS, TEMP_MAX_TENTHS, TEMP_MAX_TENTHS / 10.0f, "#0.0"};
}

QString TemperatureOutsideRangeText(bool degreesF) {
    return degreesF ? QStringLiteral("Temperature must be between -67 and +257, please renter")
                    : kTemperatureOutsideRangeText;
}

QString FormatNumberPattern(double value, QStringView pattern) {
    const qsizetype point = pattern.indexOf(u'.');
    const QStringView intPattern = point < 0 ? pattern : pattern.left(point);
    const int decimals = point < 0 ? 0 : int(pattern.size() - point - 1);
    const int minIntDigits = int(intPattern.count(u'0'));

    // Round the shortest decimal form, so that a value meant as 1.225 rounds as a true
    // half rather than by its binary neighbour.
    const std::string fixed = ShortestFixed(value);
    const size_t dot = fixed.find('.');
    std::string intDigits = fixed.substr(0, dot);
    std::string fracDigits = dot == std::string::npos ? std::string() : fixed.substr(dot + 1);
    if (int(fracDigits.size()) > decimals) {
        const char first = fracDigits[size_t(decimals)];
        const bool restNonZero =
            fracDigits.find_first_not_of('0', size_t(decimals) + 1) != std::string::npos;
        std::string kept = intDigits + fracDigits.substr(0, size_t(decimals));
        const bool lastOdd = (kept.back() - '0') % 2 != 0;
        if (first > '5' || (first == '5' && (restNonZero || lastOdd))) IncrementDigits(kept);
        intDigits = kept.substr(0, kept.size() - size_t(decimals));
        fracDigits = kept.substr(kept.size() - size_t(decimals));
    }
    fracDigits.resize(size_t(decimals), '0');

    // Leading zeros beyond the pattern's always-shown digits are not significant.
    const size_t firstSignificant = intDigits.find_first_not_of('0');
    intDigits = firstSignificant == std::string::npos ? std::string() : intDigits.substr(firstSignificant);
    if (int(intDigits.size()) < minIntDigits)
        intDigits.insert(0, size_t(minIntDigits) - intDigits.size(), '0');

    const bool allZero = (intDigits + fracDigits).find_first_not_of('0') == std::string::npos;
    std::string out = (value < 0 && !allZero) ? "-" : "";
    out += intDigits;
    if (decimals > 0) out += "." + fracDigits;
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString PlainDecimalText(double value) {
    std::string digits = ShortestFixed(value);
    if (value < 0 && digits.find_first_not_of("0.") != std::string::npos) digits = "-" + digits;
    return QString::fromLatin1(digits.data(), qsizetype(digits.size()));
}

int32_t RoundToLong(double value) {
    const double r = RoundHalfEven(value);
    if (!(r >= double(std::numeric_limits<int32_t>::min()))) return std::numeric_limits<int32_t>::min();
    if (r > double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

int IsOutsideSelectedRange(QString& text, const RangeSelection& selection) {
    if (text.isEmpty()) text = QStringLiteral("0");
    const auto scale = AnalogSetPointScale(selection);
    if (!scale) return 1;
    const std::optional<double> number = WholeDecimal(text);
    if (!number) return 1;
    // Compared in single precision, as the limit 2.56 is held.
    const float x = static_cast<float>(*number);
    return x > scale->maximum ? 1 : 0;
}

std::optional<int32_t> AnalogEntryToSteps(QStringView text, const RangeSelection& selection) {
    const auto scale = AnalogSetPointScale(selection);
    const std::optional<double> number = WholeDecimal(text);
    if (!scale || !number) return std::nullopt;
    return RoundToLong(*number * scale->stepsPerUnit);
}

std::optional<int32_t> TemperatureEntryToSteps(QStringView text, bool degreesF) {
    const std::optional<double> number = WholeDecimal(text);
    if (!number) return std::nullopt;
    const SetPointScale scale = TemperatureSetPointScale(degreesF);
    // Compared before rounding: 125.01 is refused.
    const double v = *number * 10.0;
    if (v > scale.upperSteps || v < scale.lowerSteps) return std::nullopt;
    return RoundToLong(v);
}

std::optional<QString> SetPointTextFromSteps(int32_t steps, bool analogMode,
                                             const RangeSelection& selection) {
    const auto scale = analogMode ? AnalogSetPointScale(selection) : TemperatureSetPointScale();
    if (!scale) return std::nullopt;
    return FormatNumberPattern(double(steps) / scale->stepsPerUnit,
                               QString::fromLatin1(scale->pattern));
}

std::optional<QString> LowerBoundText(int32_t lowerSteps, bool analogMode,
                                      const RangeSelection& selection) {
    if (!analogMode)
        return FormatNumberPattern(double(lowerSteps) / 10.0, u"#0.0");
    const auto scale = AnalogSetPointScale(selection);
    if (!scale) return std::nullopt;
    return PlainDecimalText(double(lowerSteps) / scale->stepsPerUnit);
}

SetPointCheck CheckSetPointEntry(const QString& text, bool analogMode, const RangeSelection& selection,
                                 bool degreesF, int32_t lowerSteps) {
    SetPointCheck c;
    if (analogMode) {
        QString checked = text;
        if (IsOutsideSelectedRange(checked, selection) != 0) {
            c.refused = true;
            c.message = kAnalogOutsideRangeText;
            c.resetText = LowerBoundText(lowerSteps, true, selection).value_or(text);
            return c;
        }
        c.steps = AnalogEntryToSteps(checked, selection);
        return c;
    }
    c.steps = TemperatureEntryToSteps(text, degreesF);
    if (!c.steps) {
        c.refused = true;
        c.message = TemperatureOutsideRangeText(degreesF);
        c.resetText = QStringLiteral("0");
    }
    return c;
}

TempSetPointView TemperatureSetPointView(float tenths) {
    return {FormatNumberPattern(double(tenths) / 10.0, u"#0.0"), RoundToLong(tenths)};
}

} // namespace korvel

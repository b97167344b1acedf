#include "model/analogcodes.h"

#include "model/tempcodes.h"
#include "model/textnumber.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace korvel {

namespace {

struct ConversionEntry {
    int code;
    ConversionScale scale;
    const char* name;
};

// The steps are rounded figures rather than full scale / 1023; both directions use the
// very same figure, which is what lets every code come back unchanged from a scaled value.
constexpr std::array<ConversionEntry, 8> kConversions{{
    {CONVERSION_0_2V56, {0.0025, 10000}, "0-2.56V"},
    {CONVERSION_0_5V, {0.0048828, 10000}, "0-5.00V"},
    {CONVERSION_0_25V, {0.024414, 10000}, "0-25.0V"},
    {CONVERSION_4_20MA, {0.0195312, 1000}, "4-20mA"},
    {CONVERSION_USER_X2, {0.0097656, 10000}, "USER-X2"},
    {CONVERSION_USER_X4, {0.0195312, 10000}, "USER-X4"},
    {CONVERSION_USER_X10, {0.048828, 1000}, "USER-X10"},
    {CONVERSION_USER_X20, {0.097656, 1000}, "USER-X20"},
}};

const ConversionEntry* FindConversion(int code) {
    for (const ConversionEntry& e : kConversions)
        if (e.code == code) return &e;
    return nullptr;
}

struct SensorEntry {
    const char* listText;
    const char* monitorName;  // null: the range's own name
};

constexpr std::array<SensorEntry, SENSOR_COUNT> kSensors{{
    {"Normal", nullptr},
    {"Diff. Sensor - 30A Shunt", "Diff. Sensor-30A Shunt"},
    {"BPS VHF 130-150 MHz", "BPS VHF 130-150 MHz"},
    {"BPS UHF 410-470 MHz", "BPS UHF 410-470 MHz"},
    {"Diff. Sensor - 50A Shunt", "Diff. Sensor-50A Shunt"},
    {"Diff. Sensor - 20A Shunt", "Diff. Sensor-20A Shunt"},
    {"Diff. Sensor - 5A Shunt", "Diff. Sensor-5A Shunt"},
    {"AC Voltage Sensor", "AC Voltage Sensor"},
}};

constexpr std::array<const char*, USER_MULTIPLIER_COUNT> kMultipliers{
    {"2   X", "4   X", "10 X", "20 X"}};

bool IsSensor(int sensorCode) { return sensorCode >= 0 && sensorCode < SENSOR_COUNT; }

// Halves to even, into 16 bits: NaN has no nearest integer and counts as 0.
int16_t RoundToInt16(double value) {
    if (std::isnan(value)) return 0;
    const int32_t r = RoundToLong(value);
    return static_cast<int16_t>(std::clamp<int32_t>(r, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

// Format followed by the unit, or the empty text for a value that is not finite (a
// polynomial of a huge reading), which no pattern can show.
QString WithUnit(double value, QStringView pattern, const char* unit, const char* prefix = "") {
    if (!std::isfinite(value)) return QString();
    return QLatin1String(prefix) + FormatNumberPattern(value, pattern) + QLatin1String(unit);
}

double VhfCurve(double x) {
    return -0.4684 * std::pow(x, 6) + 14.606 * std::pow(x, 5) - 72.376 * std::pow(x, 4) +
           148.21 * std::pow(x, 3) - 148.12 * std::pow(x, 2) + 94.902 * x - 8.6469;
}

double UhfCurve(double x) {
    return 1.2928 * std::pow(x, 6) - 10.323 * std::pow(x, 5) + 35.578 * std::pow(x, 4) -
           64.656 * std::pow(x, 3) + 62.138 * std::pow(x, 2) - 5.4435 * x - 0.3667;
}

// The power meters read nothing useful below a quarter volt; such readings are shown as
// an upper bound at the curve's value there.
constexpr double BPS_LOWEST_VOLTS = 0.25;

QString BpsReading(double x, int sensorCode, int offsetSteps) {
    const char* prefix = "";
    if (x <= BPS_LOWEST_VOLTS) {
        x = BPS_LOWEST_VOLTS;
        prefix = "< ";
    }
    const double curve = sensorCode == SENSOR_BPS_VHF ? VhfCurve(x) : UhfCurve(x);
    return WithUnit(curve + 0.25 * offsetSteps, u"#0.0", "dBm", prefix);
}

QString FiveVoltReading(double x, int sensorCode, int k) {
    switch (sensorCode) {
    case SENSOR_NORMAL: return WithUnit(x + 0.05 * k, u"#0.00", "V");
    case SENSOR_SHUNT_30A: return WithUnit((x - 2.5) * 15 + 0.25 * k, u"#0.00", "A");
    case SENSOR_BPS_VHF:
    case SENSOR_BPS_UHF: return BpsReading(x, sensorCode, k);
    case SENSOR_SHUNT_50A: return WithUnit((x - 2.5) * 25 + 0.25 * k, u"#0.00", "A");
    case SENSOR_SHUNT_20A: return WithUnit((x - 2.5) * 10 + 0.1 * k, u"#0.00", "A");
    case SENSOR_SHUNT_5A: return WithUnit((x - 2.5) * 2.5 + 0.025 * k, u"#0.00", "A");
    case SENSOR_AC_VOLTAGE: return WithUnit(x * (63.0 / 2) + 0.1 * k, u"#0.0", "VAC");
    default: return QString();
    }
}

// The RF power reading of the 25 V range: the readings below and above the detector's
// useful span are shown as bounds, the others to the nearest half dBm. The offset does
// not apply.
QString RfPowerReading(double x) {
    const QString below = QStringLiteral("< -18.5dBm");
    const QString above = QStringLiteral("> -8.5dBm");
    const double d = 12.8 * std::log10(1.3 * (x + 1e-309)) - 21.5;
    // A negative reading has no logarithm (NaN) and is below the span, like no volts at
    // all; only a reading near the top of a double comes out as +inf, above it.
    if (!std::isfinite(d)) return d > 0 ? above : below;
    const QString text = FormatNumberPattern(d, u"#0.00");
    // The bounds compared are not the bounds shown.
    const double shown = LeadingDecimal(text);
    if (shown <= -18.58) return below;
    if (shown >= -8.28) return above;
    return SplitDecimalText(text) + QStringLiteral("dBm");
}

bool AllDigits(QStringView s) {
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

int ConversionCode(int rangeCode, int multiplierIndex) {
    if (rangeCode >= RANGE_0_2V56 && rangeCode <= RANGE_4_20MA) return rangeCode;
    if (rangeCode == RANGE_USER && multiplierIndex >= 0 && multiplierIndex < USER_MULTIPLIER_COUNT)
        return CONVERSION_USER_X2 + multiplierIndex;
    return CONVERSION_NONE;
}

std::optional<ConversionScale> ConversionScaleFor(int conversionCode) {
    const ConversionEntry* e = FindConversion(conversionCode);
    if (!e) return std::nullopt;
    return e->scale;
}

QString RangeName(int conversionCode) {
    const ConversionEntry* e = FindConversion(conversionCode);
    return e ? QString::fromLatin1(e->name) : QString();
}

QString SensorListText(int sensorCode) {
    return IsSensor(sensorCode) ? QString::fromLatin1(kSensors[size_t(sensorCode)].listText) : QString();
}

QString SensorMonitorName(int sensorCode) {
    if (!IsSensor(sensorCode)) return QString();
    const char* name = kSensors[size_t(sensorCode)].monitorName;
    return name ? QString::fromLatin1(name) : RangeName(CONVERSION_0_5V);
}

QString MultiplierText(int index) {
    if (index < 0 || index >= USER_MULTIPLIER_COUNT) return QString();
    return QString::fromLatin1(kMultipliers[size_t(index)]);
}

double ConvertFromTarget(int16_t raw, int conversionCode) {
    const ConversionEntry* e = FindConversion(conversionCode);
    if (!e) return 0.0;
    return double(raw) * e->scale.step * e->scale.factor;
}

int16_t ConvertToTarget(double value, int conversionCode) {
    const ConversionEntry* e = FindConversion(conversionCode);
    if (!e) return 0;
    const int16_t code = RoundToInt16(value / e->scale.factor / e->scale.step);
    return std::min(code, ANALOG_CODE_MAX);
}

int ParseVoltageEntry(int key) {
    constexpr int BACKSPACE = 8;
    if ((key >= '0' && key <= '9') || key == '.' || key == BACKSPACE) return key;
    return 0;
}

int ParseSignedDecimalEntry(int key) {
    if (key == '-' || key == '+') return key;
    return ParseVoltageEntry(key);
}

QString GetAdjustedValueFromVolts(QStringView voltsText, int sensorCode, int rangeCode,
                                  int offsetSteps) {
    const std::optional<double> x = WholeDecimal(voltsText);
    if (!x) return QString();
    switch (rangeCode) {
    case RANGE_0_5V: return FiveVoltReading(*x, sensorCode, offsetSteps);
    case RANGE_0_25V:
        if (sensorCode == SENSOR_NORMAL) return WithUnit(*x + 0.1 * offsetSteps, u"#0.00", "V");
        if (sensorCode == SENSOR_SHUNT_30A) return RfPowerReading(*x);
        return QString();
    default: return WithUnit(*x + 0.1 * offsetSteps, u"#0.00", "V");
    }
}

QString SplitDecimalText(QStringView text) {
    const qsizetype point = text.indexOf(u'.');
    if (point < 0 || text.indexOf(u'.', point + 1) >= 0) return text.toString();
    QStringView whole = text.left(point);
    const QStringView decimals = text.mid(point + 1);
    const bool negative = whole.startsWith(u'-');
    const QStringView wholeDigits = (negative || whole.startsWith(u'+')) ? whole.mid(1) : whole;
    if (!AllDigits(wholeDigits) || decimals.size() != 2 || !AllDigits(decimals)) return text.toString();

    const int f = decimals.toInt();
    if (f < 24) return whole.toString() + QStringLiteral(".0");
    if (f < 74) return whole.toString() + QStringLiteral(".5");
    const std::optional<int> i = LeadingInteger(whole);
    if (!i || *i == std::numeric_limits<int>::max() || *i == std::numeric_limits<int>::min())
        return text.toString();
    // Away from zero; "-0" is negative here, so -0.80 goes to -1.0 and not to 1.0.
    const int rounded = negative ? *i - 1 : *i + 1;
    return QString::number(rounded) + QStringLiteral(".0");
}

OffsetScale OffsetScaleFor(int rangeCode, int sensorCode) {
    if (rangeCode == RANGE_0_5V) {
        switch (sensorCode) {
        case SENSOR_SHUNT_30A:
        case SENSOR_BPS_VHF:
        case SENSOR_BPS_UHF:
        case SENSOR_SHUNT_50A: return {4, "0.00"};
        case SENSOR_SHUNT_20A: return {10, "0.00"};
        case SENSOR_SHUNT_5A: return {40, "0.000"};
        case SENSOR_AC_VOLTAGE: return {10, "0.0"};
        default: return {20, "0.00"};
        }
    }
    if (rangeCode == RANGE_0_25V && sensorCode == SENSOR_SHUNT_30A) return {4, "0.00"};
    return {10, "0.0"};
}

int16_t OffsetToSteps(int rangeCode, int sensorCode, double value) {
    return RoundToInt16(value * OffsetScaleFor(rangeCode, sensorCode).stepsPerUnit);
}

QString FormatOffsetSteps(int rangeCode, int sensorCode, int steps) {
    const OffsetScale scale = OffsetScaleFor(rangeCode, sensorCode);
    double v = double(steps) / scale.stepsPerUnit;
    const double largest = scale.Largest();
    // A count above the largest offset stands for a negative one.
    if (v > largest) v = largest - v;
    return FormatNumberPattern(v, QString::fromLatin1(scale.pattern));
}

} // namespace korvel

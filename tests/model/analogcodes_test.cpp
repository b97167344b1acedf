#include "model/analogcodes.h"
#include "model/textnumber.h"
#include "support/modelfixture.h"

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace korvel::test {
namespace {

class AnalogCodesTest : public ModelFixture {};

// Every conversion code there is, found the way callers find them.
std::vector<int> AllConversionCodes() {
    std::vector<int> codes;
    for (int range = 0; range <= RANGE_USER; ++range)
        for (int m = 0; m < (range == RANGE_USER ? USER_MULTIPLIER_COUNT : 1); ++m)
            codes.push_back(ConversionCode(range, m));
    return codes;
}

QString Adjusted(const char* volts, int sensor, int range, int offset) {
    return GetAdjustedValueFromVolts(QString::fromLatin1(volts), sensor, range, offset);
}

TEST_F(AnalogCodesTest, ConversionCodesAndTheirNames) {
    EXPECT_EQ(AllConversionCodes(), (std::vector<int>{0, 1, 2, 3, 10, 11, 12, 13}));
    // USER without a valid multiplier, or an unknown range, has no conversion at all.
    for (auto [range, m] : std::vector<std::pair<int, int>>{{4, -1}, {4, 4}, {4, -7}, {5, 0}, {-1, 0}}) {
        const int code = ConversionCode(range, m);
        EXPECT_FALSE(ConversionScaleFor(code)) << range << "/" << m;
        EXPECT_EQ(ConvertFromTarget(512, code), 0.0) << range << "/" << m;
        EXPECT_EQ(RangeName(code), QString()) << range << "/" << m;
    }
    EXPECT_EQ(RangeName(ConversionCode(RANGE_USER, 3)), "USER-X20");
    EXPECT_EQ(RangeName(CONVERSION_4_20MA), "4-20mA");
    EXPECT_EQ(MultiplierText(0), "2   X");
    EXPECT_EQ(MultiplierText(2), "10 X");
    EXPECT_EQ(MultiplierText(4), QString());
    // The dialog's entries and the monitor's names differ in their blanks.
    EXPECT_EQ(SensorListText(SENSOR_SHUNT_30A), "Diff. Sensor - 30A Shunt");
    EXPECT_EQ(SensorMonitorName(SENSOR_SHUNT_30A), "Diff. Sensor-30A Shunt");
    EXPECT_EQ(SensorMonitorName(SENSOR_NORMAL), "0-5.00V");
    EXPECT_EQ(SensorListText(SENSOR_NORMAL), "Normal");
    EXPECT_EQ(SensorListText(8), QString());
}

TEST_F(AnalogCodesTest, ModuleCodesToScaledValuesAndBack) {
    EXPECT_DOUBLE_EQ(ConvertFromTarget(1023, 1), 49951.044);
    EXPECT_DOUBLE_EQ(ConvertFromTarget(500, 3), 9765.6);
    EXPECT_DOUBLE_EQ(ConvertFromTarget(1, 0), 25);
    EXPECT_EQ(ConvertFromTarget(512, 5), 0);
    for (auto [value, code, expected] : std::vector<std::tuple<double, int, int>>{
             {62.5, 0, 2}, {37.5, 0, 2}, {4000, 3, 205}, {250000, 2, 1023}, {50000, 1, 1023},
             {-100, 0, -4}, {1000, 4, 0}})
        EXPECT_EQ(ConvertToTarget(value, code), expected) << value << " code " << code;
}

TEST_F(AnalogCodesTest, EveryCodeSurvivesARoundTripAndTwelveBitReadingsStopAtFullScale) {
    for (int k : AllConversionCodes()) {
        for (int c = 0; c <= 4095; ++c) {
            const double v = ConvertFromTarget(int16_t(c), k);
            ASSERT_TRUE(std::isfinite(v)) << c << " code " << k;
            // Above 1023 the set-point conversion gives full scale.
            ASSERT_EQ(ConvertToTarget(v, k), std::min(c, 1023)) << c << " code " << k;
        }
    }
}

TEST_F(AnalogCodesTest, ScaledValuesBeyondSixteenBitsAreClampedNotWrapped) {
    const double inf = std::numeric_limits<double>::infinity();
    for (int k : AllConversionCodes()) {
        EXPECT_EQ(ConvertToTarget(1e300, k), 1023) << k;
        EXPECT_EQ(ConvertToTarget(inf, k), 1023) << k;
        EXPECT_EQ(ConvertToTarget(-1e300, k), -32768) << k;
        EXPECT_EQ(ConvertToTarget(-inf, k), -32768) << k;
        EXPECT_EQ(ConvertToTarget(std::nan(""), k), 0) << k;
    }
    // -32768.4 counts rounds to the last code that fits; one count lower must not wrap.
    EXPECT_EQ(ConvertToTarget(-32768.4 * 25, 0), -32768);
    EXPECT_EQ(ConvertToTarget(-32769 * 25, 0), -32768);
}

TEST_F(AnalogCodesTest, KeyFilters) {
    for (int key : {int('0'), int('5'), int('9'), int('.'), 8}) {
        EXPECT_EQ(ParseVoltageEntry(key), key) << key;
        EXPECT_EQ(ParseSignedDecimalEntry(key), key) << key;
    }
    for (int key : {'-', '+'}) {
        EXPECT_EQ(ParseVoltageEntry(key), 0) << key;
        EXPECT_EQ(ParseSignedDecimalEntry(key), key) << key;
    }
    for (int key : {int('a'), int('E'), int(','), int(' '), int('/'), int(':'), 13, 0})
        EXPECT_EQ(ParseSignedDecimalEntry(key), 0) << key;
}

TEST_F(AnalogCodesTest, AdjustedValueTexts) {
    struct Case { const char* volts; int sensor, range, offset; const char* text; };
    for (const Case& c : std::vector<Case>{
             {"1.234", 0, 1, 2, "1.33V"}, {"3.00", 1, 1, 0, "7.50A"}, {"3.00", 1, 1, -2, "7.00A"},
             {"2.60", 6, 1, 0, "0.25A"}, {"2.00", 7, 1, 0, "63.0VAC"}, {"2.00", 4, 1, 1, "-12.25A"},
             {"2.00", 5, 1, 0, "-5.00A"}, {"1.00", 2, 1, 0, "28.1dBm"}, {"0.10", 2, 1, 0, "< 7.9dBm"},
             {"0.25", 2, 1, 0, "< 7.9dBm"}, {"1.00", 3, 1, 0, "18.2dBm"}, {"1.00", 3, 1, 4, "19.2dBm"},
             {"1.00", 1, 2, 5, "< -18.5dBm"}, {"5.00", 1, 2, 0, "-11.0dBm"}, {"8.00", 1, 2, 0, "-8.5dBm"},
             {"10.00", 1, 2, 0, "> -8.5dBm"}, {"3.00", 0, 2, 2, "3.20V"}, {"3.00", 2, 2, 0, ""},
             {"2.00", 0, 0, -5, "1.50V"}, {"2.00", 7, 3, -5, "1.50V"}, {"2.00", 3, 4, -5, "1.50V"},
             {"2.00", 8, 1, 0, ""}, {"2.00", -1, 1, 0, ""}, {"050.0", 0, 4, 0, "50.00V"}})
        EXPECT_EQ(Adjusted(c.volts, c.sensor, c.range, c.offset), QString::fromLatin1(c.text))
            << c.volts << " sensor " << c.sensor << " range " << c.range << " offset " << c.offset;
}

TEST_F(AnalogCodesTest, TextsThatAreNotNumbersGiveNoReading) {
    for (const char* bad : {"1.2.3", ".", "-", "+", "abc", "", "  ", "2.5V", "1e3", "--1", "1 2"})
        for (int range = 0; range <= 4; ++range)
            EXPECT_EQ(Adjusted(bad, range == 2 ? 1 : 0, range, 0), QString()) << '"' << bad << "\" range " << range;
    for (auto [text, reading] : std::vector<std::pair<const char*, const char*>>{
             {" 2.5 ", "2.50V"}, {"+2", "2.00V"}, {".5", "0.50V"}, {"5.", "5.00V"}, {"-1", "-1.00V"}})
        EXPECT_EQ(Adjusted(text, 0, 0, 0), QString::fromLatin1(reading)) << text;
}

TEST_F(AnalogCodesTest, ExtremeReadingsNeverShowNanOrInfinity) {
    // No volts or negative volts have no logarithm: below the detector's span.
    for (const char* v : {"0", "0.00", "-0.00", "-1", "-1000"})
        EXPECT_EQ(Adjusted(v, 1, 2, 0), "< -18.5dBm") << v;
    EXPECT_EQ(Adjusted(("1" + std::string(300, '0')).c_str(), 1, 2, 0), "> -8.5dBm");
    EXPECT_EQ(Adjusted(("15" + std::string(307, '0')).c_str(), 1, 2, 0), "> -8.5dBm");  // log of +inf
    // Beyond a double, or a curve that overflows, gives no reading rather than "inf".
    for (const std::string& v : {std::string(400, '9'), "1" + std::string(100, '0'),
                                 "-1" + std::string(100, '0'), "1" + std::string(308, '0')})
        for (int range = 0; range <= 4; ++range)
            for (int sensor = 0; sensor < SENSOR_COUNT; ++sensor) {
                const QString text = Adjusted(v.c_str(), sensor, range, 0);
                EXPECT_FALSE(text.contains(u"nan") || text.contains(u"inf"))
                    << text.toStdString() << " range " << range << " sensor " << sensor;
            }
}

TEST_F(AnalogCodesTest, SplitDecimalTextRoundsToHalves) {
    for (auto [in, out] : std::vector<std::pair<const char*, const char*>>{
             {"-12.37", "-12.5"}, {"-12.80", "-13.0"}, {"-12.10", "-12.0"}, {"7.74", "8.0"},
             {"7.23", "7.0"}, {"7.24", "7.5"}, {"7.73", "7.5"}, {"9.99", "10.0"}, {"-0.80", "-1.0"},
             {"0.80", "1.0"}, {"12", "12"}, {"1.2.3", "1.2.3"}, {"abc.de", "abc.de"}, {"1.234", "1.234"},
             {"1.5", "1.5"}, {".50", ".50"}, {"1.-5", "1.-5"}})
        EXPECT_EQ(SplitDecimalText(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST_F(AnalogCodesTest, OffsetStepsAndTheirTexts) {
    EXPECT_EQ(OffsetToSteps(0, 0, 0.25), 2);  // 2.5 steps, halves to even
    EXPECT_EQ(OffsetToSteps(1, 0, 0.15), 3);
    EXPECT_EQ(OffsetToSteps(1, 6, 0.125), 5);
    EXPECT_EQ(OffsetToSteps(2, 1, 8.0), 32);
    EXPECT_EQ(OffsetToSteps(1, 0, std::nan("")), 0);
    EXPECT_EQ(OffsetToSteps(1, 0, 1e300), 32767);
    EXPECT_EQ(FormatOffsetSteps(1, 0, 3), "0.15");
    EXPECT_EQ(FormatOffsetSteps(1, 6, 5), "0.125");
    EXPECT_EQ(FormatOffsetSteps(0, 0, -7), "-0.7");
    EXPECT_EQ(FormatOffsetSteps(4, 0, 33), "-0.1");
    EXPECT_EQ(FormatOffsetSteps(1, 6, 32), "0.800");
    EXPECT_EQ(FormatOffsetSteps(1, 7, 33), "-0.1");
    EXPECT_EQ(FormatOffsetSteps(1, 9, 3), "0.15");  // unknown sensor: counted as Normal
    // What the offset box shows reads back as the same steps, for every offset allowed.
    for (int range = 0; range <= 5; ++range)
        for (int sensor = 0; sensor <= SENSOR_COUNT; ++sensor)
            for (int steps = OFFSET_MIN_STEPS; steps <= OFFSET_MAX_STEPS; ++steps)
                ASSERT_EQ(OffsetToSteps(range, sensor, LeadingDecimal(FormatOffsetSteps(range, sensor, steps))), steps)
                    << "range " << range << " sensor " << sensor << " steps " << steps;
}

} // namespace
} // namespace korvel::test

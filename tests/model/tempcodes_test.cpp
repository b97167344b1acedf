#include "model/tempcodes.h"
#include "model/target.h"
#include "support/modelfixture.h"

#include <utility>
#include <vector>

namespace korvel::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

class TempCodesTest : public ModelFixture {};

TEST_F(TempCodesTest, KorvelCodesAreNineBitTwosComplementOfHalfDegrees) {
    target().PellarDevice = false;
    // tenths -> code; -0.1 and -0.2 land on 512, which is 0.0 again.
    for (auto [tenths, code] : Pairs{{250, 50}, {0, 0}, {-5, 511}, {-550, 402}, {1250, 250},
                                     {-1, 512}, {-2, 512}, {-3, 511}, {252, 50}, {253, 51}})
        EXPECT_EQ(ConvertTempToBinary(tenths), code) << tenths;
    // code -> tenths; 256 is still positive, 257 the first negative one.
    for (auto [code, tenths] : Pairs{{256, 1280}, {257, -1275}, {511, -5}, {512, 0}, {50, 250}, {402, -550}})
        EXPECT_EQ(ConvertTempFromBinary(code), tenths) << code;
}

TEST_F(TempCodesTest, PellarCodesAreOffsetBy111) {
    target().PellarDevice = true;
    for (auto [tenths, code] : Pairs{{250, 161}, {0, 111}, {-550, 1}, {1250, 361}, {252, 161}, {253, 162}})
        EXPECT_EQ(ConvertTempToBinary(tenths), code) << tenths;
    EXPECT_EQ(ConvertTempFromBinary(161), 250);
    EXPECT_EQ(ConvertTempFromBinary(0), -555);
}

TEST_F(TempCodesTest, EveryHalfDegreeInTheTypedRangeSurvivesARoundTrip) {
    for (bool pellar : {false, true}) {
        target().PellarDevice = pellar;
        for (int t = TEMP_MIN_TENTHS; t <= TEMP_MAX_TENTHS; t += TEMP_STEP_TENTHS)
            ASSERT_EQ(ConvertTempFromBinary(ConvertTempToBinary(t)), t) << t << " pellar " << pellar;
    }
}

TEST_F(TempCodesTest, CodesWhoseTemperatureOverflowsReadAsAbsentInsteadOfWrapping) {
    target().PellarDevice = true;
    EXPECT_EQ(ConvertTempFromBinary(TEMP_READING_ABSENT), TEMP_READING_ABSENT);
    EXPECT_EQ(ConvertTempFromBinary(6664), 32765);  // the last code that fits
    EXPECT_EQ(ConvertTempFromBinary(6665), TEMP_READING_ABSENT);
    target().PellarDevice = false;
    EXPECT_EQ(ConvertTempFromBinary(-6553), -32765);
    EXPECT_EQ(ConvertTempFromBinary(-6554), TEMP_READING_ABSENT);
}

TEST_F(TempCodesTest, EveryCodeDecodesWithoutOverflowAndTheDecodableOnesComeBack) {
    for (bool pellar : {false, true}) {
        target().PellarDevice = pellar;
        for (int code = 0; code <= 4095; ++code) {
            const int tenths = ConvertTempFromBinary(code);
            ASSERT_EQ(tenths % TEMP_STEP_TENTHS, 0) << code << " pellar " << pellar;
            // A Korvel code is 9 bits wide: 512 and above repeat the temperatures below.
            if (pellar || code < 512) {
                ASSERT_EQ(ConvertTempToBinary(tenths), code) << code << " pellar " << pellar;
            }
        }
    }
}

TEST_F(TempCodesTest, EveryHalfDegreeShownInFahrenheitIsStoredBackUnchanged) {
    for (int t = TEMP_MIN_TENTHS; t <= TEMP_MAX_TENTHS; t += TEMP_STEP_TENTHS) {
        const float f = CelsiusToFahrenheit(float(t));
        ASSERT_GE(f, TEMP_MIN_TENTHS_F) << t;
        ASSERT_LE(f, TEMP_MAX_TENTHS_F) << t;
        // The box shows tenths of a degree Fahrenheit; the store reads back what it shows.
        const float shown = float(TemperatureSetPointView(f).steps);
        EXPECT_FLOAT_EQ(FahrenheitToCelsius(shown), float(t)) << t << " shown as " << shown;
    }
}

TEST_F(TempCodesTest, FahrenheitConversions) {
    EXPECT_FLOAT_EQ(CelsiusToFahrenheit(250), 770);
    EXPECT_FLOAT_EQ(CelsiusToFahrenheit(-550), -670);
    // Positive results go to the nearest multiple of 5 tenths, negative ones toward zero;
    // -23.8 °F is exactly -31.0 °C and must not come out as -30.5 through -309.99...
    for (auto [f, c] : Pairs{{770, 250}, {400, 45}, {330, 5}, {200, -65}, {195, -65}, {320, 0},
                             {-670, -550}, {-238, -310}})
        EXPECT_FLOAT_EQ(FahrenheitToCelsius(float(f)), float(c)) << f;
}

TEST_F(TempCodesTest, RangeSelectorMapping) {
    for (auto [code, index] : Pairs{{0, -1}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 3}})
        EXPECT_EQ(RangeCodeToListIndex(code), index) << code;
    for (auto [index, code] : Pairs{{-1, 0}, {0, 1}, {1, 2}, {2, 4}})
        EXPECT_EQ(ListIndexToRangeCode(index), code) << index;
    // 4 to 20 mA cannot be chosen: it reads back as the 25 V range.
    EXPECT_EQ(ListIndexToRangeCode(RangeCodeToListIndex(3)), 2);
}

TEST_F(TempCodesTest, AnalogEntryIsCheckedAgainstTheSelectedRangeMaximum) {
    const RangeSelection fiveVolt{0, -1}, user20x{2, 3}, nothing{-1, -1}, userNoMultiplier{2, -1};
    QString t;
    auto outside = [&](const char* text, const RangeSelection& s) {
        t = QString::fromLatin1(text);
        return IsOutsideSelectedRange(t, s);
    };
    EXPECT_EQ(outside("5.00", fiveVolt), 0);
    EXPECT_EQ(AnalogEntryToSteps(u"5.00", fiveVolt), 50000);
    EXPECT_EQ(outside("5.01", fiveVolt), 1);
    EXPECT_EQ(outside("100", user20x), 0);
    EXPECT_EQ(AnalogEntryToSteps(u"100", user20x), 100000);
    EXPECT_EQ(outside("100.1", user20x), 1);
    EXPECT_EQ(outside("2.56", nothing), 0);  // the limit is held in single precision
    EXPECT_EQ(outside("2.57", nothing), 1);
    EXPECT_EQ(outside("-3", fiveVolt), 0);   // no lower limit
    EXPECT_EQ(outside("1", userNoMultiplier), 1);
    EXPECT_EQ(AnalogEntryToSteps(u"1", userNoMultiplier), std::nullopt);
    EXPECT_EQ(outside("", fiveVolt), 0);
    EXPECT_EQ(t, "0");
    EXPECT_EQ(AnalogEntryToSteps(u"0.00005", fiveVolt), 0);  // a half step rounds to even
}

TEST_F(TempCodesTest, TemperatureEntryLimitsApplyBeforeRounding) {
    EXPECT_EQ(TemperatureEntryToSteps(u"125"), 1250);
    EXPECT_EQ(TemperatureEntryToSteps(u"-55"), -550);
    EXPECT_EQ(TemperatureEntryToSteps(u"125.01"), std::nullopt);
    EXPECT_EQ(TemperatureEntryToSteps(u"125.1"), std::nullopt);
    EXPECT_EQ(TemperatureEntryToSteps(u"-55.1"), std::nullopt);
    EXPECT_EQ(TemperatureEntryToSteps(u"130"), std::nullopt);
    EXPECT_EQ(TemperatureEntryToSteps(u"-.5"), -5);
}

TEST_F(TempCodesTest, FahrenheitSetPointsAreHeldToTheSensorRangeInFahrenheit) {
    EXPECT_EQ(TemperatureEntryToSteps(u"257", true), 2570);
    EXPECT_EQ(TemperatureEntryToSteps(u"-67", true), -670);
    EXPECT_EQ(TemperatureEntryToSteps(u"130", true), 1300) << "130 F is 54.4 C, well inside the sensor";
    EXPECT_EQ(TemperatureEntryToSteps(u"257.1", true), std::nullopt);
    EXPECT_EQ(TemperatureEntryToSteps(u"-67.1", true), std::nullopt);
    EXPECT_EQ(TemperatureSetPointScale(true).lowerSteps, -670);
    EXPECT_EQ(TemperatureSetPointScale(true).upperSteps, 2570);
    EXPECT_EQ(TemperatureOutsideRangeText(true), "Temperature must be between -67 and +257, please renter");
    EXPECT_EQ(TemperatureOutsideRangeText(false), kTemperatureOutsideRangeText);
    // The limits are the Celsius ones converted, so every Celsius set point shows within them.
    EXPECT_FLOAT_EQ(CelsiusToFahrenheit(TEMP_MIN_TENTHS), TEMP_MIN_TENTHS_F);
    EXPECT_FLOAT_EQ(CelsiusToFahrenheit(TEMP_MAX_TENTHS), TEMP_MAX_TENTHS_F);
}

TEST_F(TempCodesTest, ATypedSetPointIsAcceptedIntoItsStepperOrRefusedWithItsReset) {
    const RangeSelection fiveVolt{0, -1}, userNoMultiplier{2, -1};
    SetPointCheck c = CheckSetPointEntry(QStringLiteral("2.5"), true, fiveVolt, false, 0);
    EXPECT_FALSE(c.refused);
    EXPECT_EQ(c.steps, 25000);
    c = CheckSetPointEntry(QStringLiteral("5.01"), true, fiveVolt, false, 0);
    EXPECT_TRUE(c.refused);
    EXPECT_EQ(c.message, "Value outside selected range, please renter");
    EXPECT_EQ(c.resetText, "0");
    c = CheckSetPointEntry(QStringLiteral("abc"), true, fiveVolt, false, 0);
    EXPECT_TRUE(c.refused) << "not a number is refused as out of range";
    EXPECT_EQ(c.resetText, "0");
    EXPECT_TRUE(CheckSetPointEntry(QStringLiteral("1"), true, userNoMultiplier, false, 0).refused);

    c = CheckSetPointEntry(QStringLiteral("125.1"), false, {}, false, -550);
    EXPECT_TRUE(c.refused);
    EXPECT_EQ(c.message, "Temperature must be between -55 and +125, please renter");
    EXPECT_EQ(c.resetText, "0");
    c = CheckSetPointEntry(QStringLiteral("130"), false, {}, true, -670);
    EXPECT_FALSE(c.refused) << "130 F is within the sensor's range";
    EXPECT_EQ(c.steps, 1300);
    c = CheckSetPointEntry(QStringLiteral("258"), false, {}, true, -670);
    EXPECT_TRUE(c.refused);
    EXPECT_EQ(c.message, "Temperature must be between -67 and +257, please renter");
    EXPECT_TRUE(CheckSetPointEntry(QStringLiteral("-"), false, {}, false, -550).refused);
}

TEST_F(TempCodesTest, TextThatIsNotANumberIsRefusedNotReadAsItsLeadingDigits) {
    QString t;
    for (const char* text : {"1.2.3", ".", "-", "abc", "12.5abc", "2 5"}) {
        EXPECT_EQ(TemperatureEntryToSteps(QString::fromLatin1(text)), std::nullopt) << text;
        t = QString::fromLatin1(text);
        EXPECT_EQ(IsOutsideSelectedRange(t, {0, -1}), 1) << text;
        EXPECT_EQ(AnalogEntryToSteps(t, {0, -1}), std::nullopt) << text;
    }
}

TEST_F(TempCodesTest, StepperTextsFollowTheRangeFormat) {
    EXPECT_EQ(SetPointTextFromSteps(25000, true, {0, -1}), "2.50");
    EXPECT_EQ(SetPointTextFromSteps(25600, true, {-1, -1}), "2.56");
    EXPECT_EQ(SetPointTextFromSteps(50000, true, {1, -1}), "05.0");
    EXPECT_EQ(SetPointTextFromSteps(25000, true, {2, 0}), "02.50");
    EXPECT_EQ(SetPointTextFromSteps(50000, true, {2, 3}), "050.0");
    EXPECT_EQ(SetPointTextFromSteps(100000, true, {2, 3}), "100.0");
    EXPECT_EQ(SetPointTextFromSteps(50000, true, {2, -1}), std::nullopt);
    EXPECT_EQ(SetPointTextFromSteps(-55, false, {}), "-5.5");
    EXPECT_EQ(SetPointTextFromSteps(250, false, {}), "25.0");

    EXPECT_EQ(AnalogSetPointScale({-1, -1})->upperSteps, 25600);
    EXPECT_EQ(AnalogSetPointScale({1, -1})->upperSteps, 250000);
    EXPECT_EQ(TemperatureSetPointScale().lowerSteps, -550);

    EXPECT_EQ(LowerBoundText(0, true, {0, -1}), "0");
    EXPECT_EQ(LowerBoundText(12345, true, {0, -1}), "1.2345");
    EXPECT_EQ(LowerBoundText(500, true, {2, 2}), "0.5");
    EXPECT_EQ(LowerBoundText(0, true, {2, -1}), std::nullopt);
    EXPECT_EQ(LowerBoundText(-550, false, {}), "-55.0");
}

TEST_F(TempCodesTest, PatternRoundingIsHalfEvenOnTheDecimalValue) {
    EXPECT_EQ(FormatNumberPattern(1.225, u"##0.00"), "1.22");
    EXPECT_EQ(FormatNumberPattern(1.235, u"##0.00"), "1.24");
    EXPECT_EQ(FormatNumberPattern(0.05, u"#0.0"), "0.0");
    EXPECT_EQ(FormatNumberPattern(0.15, u"#0.0"), "0.2");
    EXPECT_EQ(FormatNumberPattern(1.2251, u"##0.00"), "1.23");
    EXPECT_EQ(FormatNumberPattern(9.96, u"#0.0"), "10.0");   // carry into a new digit
    EXPECT_EQ(FormatNumberPattern(-0.04, u"#0.0"), "0.0");   // no minus zero
    EXPECT_EQ(FormatNumberPattern(-5, u"##00.0"), "-05.0");
    EXPECT_EQ(FormatNumberPattern(1234.5, u"##000.0"), "1234.5");

    const TempSetPointView v = TemperatureSetPointView(770.0f);
    EXPECT_EQ(v.text, "77.0");
    EXPECT_EQ(v.steps, 770);
    EXPECT_EQ(TemperatureSetPointView(2.5f).steps, 2);
    EXPECT_EQ(TemperatureSetPointView(2.5f).text, "0.2");
}

} // namespace
} // namespace korvel::test

// The data logger's rules without its window: the memory split and the run lengths it
// gives, the settings as the configuration stores them, and the sample time against the
// power-save sleep time.
#include "model/systemvalues.h"
#include "model/target.h"
#include "monitor/loggerrules.h"
#include "control/session.h"

#include <QList>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

using namespace korvel;

namespace {

std::pair<int, int> Pair(const LoggerCapacity& c) { return {c.Samples, c.MinMax}; }

TEST(LoggerRules, TheMemorySplitRoundsHalvesToEvenAndNeverGoesNegative) {
    EXPECT_EQ(Pair(LoggerCapacityFor(50)), std::pair(3072, 1117));
    EXPECT_EQ(Pair(LoggerCapacityFor(0)), std::pair(6144, 0));  // -1/11 of a record
    EXPECT_EQ(Pair(LoggerCapacityFor(100)), std::pair(0, 2234));
    EXPECT_EQ(Pair(LoggerCapacityFor(76)), std::pair(1474, 1698));  // 1474.5 samples
    EXPECT_EQ(Pair(LoggerCapacityFor(92)), std::pair(492, 2055));   // 491.5 samples
    EXPECT_EQ(Pair(LoggerCapacityFor(-5)), Pair(LoggerCapacityFor(0)));
    EXPECT_EQ(Pair(LoggerCapacityFor(150)), Pair(LoggerCapacityFor(100)));
}

using Span = std::pair<int64_t, int64_t>;
Span Seconds(const RunLengths& r) { return {r.SampleSeconds, r.MinMaxSeconds}; }

LoggerSettings Logging(uint8_t analogs, uint8_t temperatures, int ratio = 50) {
    LoggerSettings s;  // 1 second samples, min/max over 24 hours
    s.Analogs = analogs;
    s.Temperatures = temperatures;
    s.Ratio = ratio;
    return s;
}

TEST(LoggerRules, RunLengthsShareTheMemoryAmongAnalogAndTemperatureInputs) {
    RunLengths r = LoggerRunLengths(Logging(0x01, 0));
    EXPECT_EQ(FormatRunLength(r.SampleSeconds), QStringLiteral("00000:00:51:12"));
    EXPECT_EQ(FormatRunLength(r.MinMaxSeconds), QStringLiteral("01117:00:00:00"));
    LoggerSettings s = Logging(0, 0);  // nothing logged: one channel's worth
    s.Inputs = 0xFF;                    // contact inputs take no share
    EXPECT_EQ(LoggerRunLengths(s).SampleSeconds, 3072);

    EXPECT_EQ(Seconds(LoggerRunLengths(Logging(0x80, 0x01))), Span(1536, 558 * 86400));
    s = Logging(0x01, 0x80, 99);  // 61 samples and 2212 min/max records shared by two
    s.SampleInterval = 2;
    s.SampleUnit = SAMPLE_MINUTES;
    s.AccUnit = ACCUMULATE_MINUTES;
    EXPECT_EQ(Seconds(LoggerRunLengths(s)), Span(30 * 120, 1106 * 24 * 60));
    s.SampleUnit = SAMPLE_HOURS;
    EXPECT_EQ(LoggerRunLengths(s).SampleSeconds, 30 * 2 * 3600);
    s.SampleUnit = 3;  // codes without meaning
    s.AccUnit = 2;
    EXPECT_EQ(Seconds(LoggerRunLengths(s)), Span(0, 0));
}

TEST(LoggerRules, RunLengthTextAndPercentText) {
    EXPECT_EQ(FormatRunLength(0), QStringLiteral("00000:00:00:00"));
    EXPECT_EQ(FormatRunLength(59), QStringLiteral("00000:00:00:59"));
    EXPECT_EQ(FormatRunLength(86399), QStringLiteral("00000:23:59:59"));
    EXPECT_EQ(FormatRunLength(86400), QStringLiteral("00001:00:00:00"));
    EXPECT_EQ(FormatRunLength(int64_t(100000) * 86400 + 3661), QStringLiteral("100000:01:01:01"));
    EXPECT_EQ(FormatRunLength(-1), QStringLiteral("00000:00:00:00"));
    EXPECT_EQ(PercentText(50), QStringLiteral("50%"));
}

class LoggerConfigTest : public ::testing::Test {
protected:
    std::unique_ptr<StationConfig> c = std::make_unique<StationConfig>();
    double& at(int element) { return c->SystemConfig[element]; }
};

TEST_F(LoggerConfigTest, SettingsRoundTripThroughTheConfiguration) {
    const double stored[][2] = {{START_UP_OPTIONS, 0xC3}, {LOG_SYSTEM, 2},     {SAMPLE_TIME, 64 + 15},
                                {ACCUMULATING_TIME, 12},  {LOG_RATIO, 30},     {LOG_INPUTS, 0x81},
                                {LOG_ANALOGS, 0x42},      {LOG_TEMPERATURES, 0x24}};
    for (const auto& [element, value] : stored) at(int(element)) = value;
    const LoggerSettings s = TakeLoggerSettings(*c);
    EXPECT_EQ(QList<int>({s.SampleInterval, s.SampleUnit, s.AccInterval, s.AccUnit, s.Ratio}),
              QList<int>({15, SAMPLE_MINUTES, 12, ACCUMULATE_MINUTES, 30}));
    EXPECT_EQ(QList<bool>({s.LogAirtime, s.LogRollOver, s.AutoRun}), QList<bool>({false, true, true}));
    EXPECT_EQ(QList<int>({s.Inputs, s.Analogs, s.Temperatures}), QList<int>({0x81, 0x42, 0x24}));

    const auto before = std::make_unique<StationConfig>(*c);
    PutLoggerSettings(s, *c);
    for (int e = 0; e < SYSTEM_ELEMENTS; ++e) EXPECT_EQ(c->SystemConfig[e], before->SystemConfig[e]) << e;
}

TEST_F(LoggerConfigTest, OnlyTheLoggerBitsOfSharedBytesChange) {
    at(START_UP_OPTIONS) = 0xC0 + 0.6;  // a fraction not yet rounded by a block: 0xC1
    at(LOG_SYSTEM) = 0xFD;
    LoggerSettings s = TakeLoggerSettings(*c);
    EXPECT_EQ(QList<bool>({s.AutoRun, s.LogAirtime, s.LogRollOver}), QList<bool>({false, true, false}));
    s.AutoRun = true;
    PutLoggerSettings(s, *c);
    EXPECT_EQ(std::pair(at(START_UP_OPTIONS), at(LOG_SYSTEM)), std::pair(double(0xC3), double(LOG_SYSTEM_AIRTIME)));
    s.AutoRun = s.LogAirtime = false;
    s.LogRollOver = true;
    PutLoggerSettings(s, *c);
    EXPECT_EQ(std::pair(at(START_UP_OPTIONS), at(LOG_SYSTEM)), std::pair(double(0xC1), double(LOG_SYSTEM_ROLLOVER)));
}

TEST_F(LoggerConfigTest, CountsAndUnitsAreKeptAsStoredEvenWithoutMeaning) {
    at(SAMPLE_TIME) = 3 * 64 + 61;
    at(ACCUMULATING_TIME) = 255;
    at(LOG_ANALOGS) = 0x1F0;  // only the low byte is a mask
    LoggerSettings s = TakeLoggerSettings(*c);
    EXPECT_EQ(QList<int>({s.SampleUnit, s.SampleInterval, s.AccUnit, s.AccInterval, s.Analogs}),
              QList<int>({3, 61, 3, 63, 0xF0}));
    at(ACCUMULATING_TIME) = 2 * 64;
    s = TakeLoggerSettings(*c);
    PutLoggerSettings(s, *c);
    EXPECT_EQ(std::pair(at(SAMPLE_TIME), at(ACCUMULATING_TIME)), std::pair(3.0 * 64 + 61, 2.0 * 64));
}

TEST_F(LoggerConfigTest, ASampleTimeBelowTheSleepTimeIsRaisedOnlyWithPowerSave) {
    at(SLEEP_TIME) = 64 + 1;  // 1 minute
    LoggerSettings s;
    s.SampleInterval = 10;
    SleepCheck check = CheckSampleVsSleepTime(s, *c);
    EXPECT_FALSE(check.raised);
    EXPECT_TRUE(check.message.isEmpty());
    EXPECT_EQ(std::pair(s.SampleUnit, s.SampleInterval), std::pair(int(SAMPLE_SECONDS), 10));

    at(START_UP_OPTIONS) = 0x80;
    check = CheckSampleVsSleepTime(s, *c);
    EXPECT_TRUE(check.raised);
    EXPECT_EQ(check.message, QStringLiteral("Sample time is less than the value set in the sleep time.\n\r"
                                            "Logger sample time will be increased to the same value as sleep time."));
    EXPECT_EQ(std::pair(s.SampleUnit, s.SampleInterval), std::pair(int(SAMPLE_MINUTES), 1));
    EXPECT_FALSE(CheckSampleVsSleepTime(s, *c).raised);  // equal

    at(SLEEP_TIME) = 64 + 59;  // a larger unit with a smaller count is longer
    s.SampleInterval = 1;
    s.SampleUnit = SAMPLE_HOURS;
    EXPECT_FALSE(CheckSampleVsSleepTime(s, *c).raised);
    EXPECT_EQ(std::pair(s.SampleUnit, s.SampleInterval), std::pair(int(SAMPLE_HOURS), 1));
}

class OfferedTemperaturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedSession = session();
        savedTarget = target();
    }
    void TearDown() override {
        session() = savedSession;
        target() = savedTarget;
    }
    SessionState savedSession;
    TargetState savedTarget;
};

TEST_F(OfferedTemperaturesTest, OnlyKnownSensorsLimitTheOffer) {
    target().TempSensorInfo = 0x105;
    target().TempSensorsKnown = true;
    session().Online = 1;
    EXPECT_EQ(OfferedTemperatureInputs(), 0x05);
    session().Online = 0;
    EXPECT_EQ(OfferedTemperatureInputs(), 0xFF);
    session().Online = 1;
    target().TempSensorsKnown = false;
    EXPECT_EQ(OfferedTemperatureInputs(), 0xFF);
}

} // namespace

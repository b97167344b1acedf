#include "monitor/loggerrules.h"
#include "platform/prompts.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "control/session.h"

#include <algorithm>
#include <bit>

namespace korvel {

namespace {

// Count and unit share one byte: the count in bits 0-5, the unit code in bits 6-7.
constexpr int COUNT_MASK = 63;
constexpr int UNIT_MASK = 192;
constexpr int UNIT_STEP = 64;

// Sample records per percent of the memory: 24575 bytes / 4 per record / 100, exact in
// binary so the product rounds only once.
constexpr double SAMPLES_PER_PERCENT = 61.4375;

constexpr int64_t SECONDS_PER_DAY = 86400;

int Count(int32_t encoded) { return encoded & COUNT_MASK; }
int Unit(int32_t encoded) { return (encoded & UNIT_MASK) / UNIT_STEP; }

int64_t SampleUnitSeconds(int unit) {
    switch (unit) {
    case SAMPLE_SECONDS: return 1;
    case SAMPLE_MINUTES: return 60;
    case SAMPLE_HOURS: return 3600;
    default: return 0;
    }
}

int64_t AccumulateUnitSeconds(int unit) {
    switch (unit) {
    case ACCUMULATE_MINUTES: return 60;
    case ACCUMULATE_HOURS: return 3600;
    default: return 0;
    }
}

} // namespace

LoggerSettings TakeLoggerSettings(const StationConfig& c) {
    LoggerSettings s;
    const int32_t sample = SystemValue(c, SAMPLE_TIME);
    const int32_t accumulate = SystemValue(c, ACCUMULATING_TIME);
    const int32_t system = SystemValue(c, LOG_SYSTEM);
    s.SampleInterval = Count(sample);
    s.SampleUnit = Unit(sample);
    s.AccInterval = Count(accumulate);
    s.AccUnit = Unit(accumulate);
    s.LogAirtime = (system & LOG_SYSTEM_AIRTIME) != 0;
    s.LogRollOver = (system & LOG_SYSTEM_ROLLOVER) != 0;
    s.AutoRun = (SystemValue(c, START_UP_OPTIONS) & START_LOGGER_AUTORUN) != 0;
    s.Ratio = SystemValue(c, LOG_RATIO);
    s.Inputs = uint8_t(SystemValue(c, LOG_INPUTS) & 0xFF);
    s.Analogs = uint8_t(SystemValue(c, LOG_ANALOGS) & 0xFF);
    s.Temperatures = uint8_t(SystemValue(c, LOG_TEMPERATURES) & 0xFF);
    return s;
}

void PutLoggerSettings(const LoggerSettings& s, StationConfig& c) {
    double* v = c.SystemConfig;
    v[SAMPLE_TIME] = s.SampleInterval + UNIT_STEP * s.SampleUnit;
    v[ACCUMULATING_TIME] = s.AccInterval + UNIT_STEP * s.AccUnit;
    v[LOG_SYSTEM] = (s.LogAirtime ? LOG_SYSTEM_AIRTIME : 0) + (s.LogRollOver ? LOG_SYSTEM_ROLLOVER : 0);
    // Power save, power-up status and the wake-up options live in the same byte and
    // belong to the system dialog, so only the autorun bit is ours to change.
    int32_t options = SystemValue(c, START_UP_OPTIONS) & ~START_LOGGER_AUTORUN;
    if (s.AutoRun) options |= START_LOGGER_AUTORUN;
    v[START_UP_OPTIONS] = options;
    v[LOG_RATIO] = s.Ratio;
    v[LOG_INPUTS] = s.Inputs;
    v[LOG_ANALOGS] = s.Analogs;
    v[LOG_TEMPERATURES] = s.Temperatures;
}

LoggerCapacity LoggerCapacityFor(int minMaxPercent) {
    const int percent = std::clamp(minMaxPercent, 0, 100);
    LoggerCapacity capacity;
    capacity.Samples = RoundToLong((100 - percent) * SAMPLES_PER_PERCENT);
    // With no share at all the sample records round up past the memory's end by one
    // byte; that must show as no min/max records, not as a negative count.
    const double minMax =
        double(LOGGER_MEMORY_BYTES - SAMPLE_RECORD_BYTES * capacity.Samples) / MINMAX_RECORD_BYTES;
    capacity.MinMax = std::max<int32_t>(0, RoundToLong(minMax));
    return capacity;
}

RunLengths LoggerRunLengths(const LoggerSettings& s) {
    RunLengths r;
    r.capacity = LoggerCapacityFor(s.Ratio);
    // Contact inputs are logged as events, not as samples, so they take no share.
    const int channels = std::popcount(unsigned(s.Analogs)) + std::popcount(unsigned(s.Temperatures));
    int64_t samples = r.capacity.Samples;
    int64_t minMax = r.capacity.MinMax;
    if (channels != 0) {
        samples = RoundToLong(double(r.capacity.Samples) / channels);
        minMax = RoundToLong(double(r.capacity.MinMax) / channels);
    }
    r.SampleSeconds = samples * s.SampleInterval * SampleUnitSeconds(s.SampleUnit);
    r.MinMaxSeconds = minMax * s.AccInterval * AccumulateUnitSeconds(s.AccUnit);
    return r;
}

QString FormatRunLength(int64_t seconds) {
    const int64_t t = std::max<int64_t>(0, seconds);
    const QChar zero(u'0');
    return QStringLiteral("%1:%2:%3:%4")
        .arg(t / SECONDS_PER_DAY, 5, 10, zero)
        .arg(t % SECONDS_PER_DAY / 3600, 2, 10, zero)
        .arg(t % 3600 / 60, 2, 10, zero)
        .arg(t % 60, 2, 10, zero);
}

QString PercentText(int percent) { return QString::number(percent) + u'%'; }

SleepCheck CheckSampleVsSleepTime(LoggerSettings& s, const StationConfig& c) {
    SleepCheck check;
    if (!(SystemValue(c, START_UP_OPTIONS) & START_POWER_SAVE)) return check;
    const int32_t sleep = SystemValue(c, SLEEP_TIME);
    // The unit sits above the count, so comparing the encoded bytes orders hours above
    // minutes above seconds whatever the counts are.
    if (s.SampleInterval + UNIT_STEP * s.SampleUnit >= sleep) return check;
    s.SampleInterval = Count(sleep);
    s.SampleUnit = Unit(sleep);
    check.raised = true;
    check.message = QStringLiteral("Sample time is less than the value set in the sleep time.") + kLineBreak +
                    QStringLiteral("Logger sample time will be increased to the same value as sleep time.");
    return check;
}

uint8_t OfferedTemperatureInputs() {
    if (session().Online == 1 && target().TempSensorsKnown) return uint8_t(target().TempSensorInfo & 0xFF);
    return 0xFF;
}

} // namespace korvel

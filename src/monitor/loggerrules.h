// The data logger's settings as its window edits them: the logger values of the system
// configuration, the split of the logger memory between sample and min/max records, the
// run lengths that split gives, and the sample time against the power-save sleep time.
#pragma once

#include "model/model.h"
#include "model/systemvalues.h"

#include <QString>
#include <cstdint>

namespace korvel {

// The logger memory, in bytes, and what one record of each kind takes of it.
constexpr int LOGGER_MEMORY_BYTES = 24575;
constexpr int SAMPLE_RECORD_BYTES = 4;
constexpr int MINMAX_RECORD_BYTES = 11;

// Units of the sample time (list index = unit code in bits 6-7).
enum SampleUnit : int { SAMPLE_SECONDS = 0, SAMPLE_MINUTES = 1, SAMPLE_HOURS = 2 };
// Units of the min/max accumulating time.
enum AccumulateUnit : int { ACCUMULATE_MINUTES = 0, ACCUMULATE_HOURS = 1 };

constexpr int LOGGER_INTERVAL_MIN = 1;
constexpr int LOGGER_INTERVAL_MAX = 60;

// LogSystem bits.
constexpr int LOG_SYSTEM_AIRTIME = 0x01;
constexpr int LOG_SYSTEM_ROLLOVER = 0x02;

// What the window edits, taken from the configuration when it opens.
struct LoggerSettings {
    int SampleInterval = 1;  // count, bits 0-5 of SampleTime
    int SampleUnit = SAMPLE_SECONDS;
    int AccInterval = 24;  // count, bits 0-5 of AccumulatingTime
    int AccUnit = ACCUMULATE_HOURS;
    bool LogAirtime = false;
    bool LogRollOver = false;
    bool AutoRun = false;
    int Ratio = 50;  // per cent of the memory given to min/max records, 0 .. 100
    uint8_t Inputs = 0;        // bit s: contact input s + 1 is logged
    uint8_t Analogs = 0;       // bit s: analog input s + 1 is logged
    uint8_t Temperatures = 0;  // bit s: temperature input s + 1 is logged
};

// The settings as the configuration holds them. The counts and units are taken as
// stored, also where no list item or up-down value shows them (the window reports those).
LoggerSettings TakeLoggerSettings(const StationConfig& c);
// Writes the settings back: SampleTime, AccumulatingTime, LogRatio and the three
// logged-channel masks whole; of LogSystem only the airtime and rollover bits (the others
// become 0); of StartUpOptions only the autorun bit, its other bits kept.
void PutLoggerSettings(const LoggerSettings& s, StationConfig& c);

// How many records of each kind the memory holds with minMaxPercent of it given to
// min/max records (rounded, halves to even; never below 0).
struct LoggerCapacity {
    int32_t Samples = 0;
    int32_t MinMax = 0;
};
LoggerCapacity LoggerCapacityFor(int minMaxPercent);

// How long each kind of log runs before it wraps or stops, in seconds: the capacity
// shared among the logged analog and temperature inputs (one channel's worth when none
// is logged) times the interval. A unit code with no meaning gives 0 seconds.
struct RunLengths {
    LoggerCapacity capacity;
    int64_t SampleSeconds = 0;
    int64_t MinMaxSeconds = 0;
};
RunLengths LoggerRunLengths(const LoggerSettings& s);

// "DDDDD:HH:MM:SS": days with at least five digits, then hours, minutes and seconds
// with two each. A negative count shows as 0.
QString FormatRunLength(int64_t seconds);

// The text the sample or min/max share box shows for a percentage: "50%".
QString PercentText(int percent);

// With power save on (StartUpOptions of c) and the sample time of s below c's SleepTime,
// compared as encoded bytes (unit first, then count), the sample time is raised to the
// sleep time: s's sample interval and unit then follow SleepTime, and the result holds
// the message to show. Otherwise nothing changes.
struct SleepCheck {
    bool raised = false;
    QString message;  // two lines joined by LF CR
};
SleepCheck CheckSampleVsSleepTime(LoggerSettings& s, const StationConfig& c);

// Which temperature inputs the window may offer: bit s set when input s + 1 has a
// sensor. While the module's sensors are unknown (off line, or its identity not read)
// every input is offered, so that no stored logging bit is lost by opening the window.
uint8_t OfferedTemperatureInputs();

} // namespace korvel

// The data logger's state as last reported by the module and edited by the user, and
// the sample and min/max records read out of its memory.
#pragma once

#include <array>
#include <cstdint>

namespace korvel {

constexpr int SAMPLE_LOG_SIZE = 7001;  // records 0 .. 7000
constexpr int MINMAX_LOG_SIZE = 2546;  // records 0 .. 2545

// One logged sample, kept exactly as the module sent it.
struct SampleRecord {
    uint8_t Bytes[4] = {};
    // 0 .. 7 analog inputs 1 .. 8, 8 .. 15 temperature inputs 1 .. 8.
    int ChannelCode() const { return Bytes[1] >> 4; }
    int Value() const { return (Bytes[1] & 15) * 256 + Bytes[0]; }  // 12 bits
    // Records taken at the same sampling instant share their serial.
    uint16_t Serial() const { return static_cast<uint16_t>(Bytes[3] * 256 + Bytes[2]); }
};

// One period's minimum and maximum of a channel, with the time stamp as sent.
struct MinMaxRecord {
    uint8_t Channel = 0;
    int32_t Value1 = 0;  // 0 .. 65535, in the module's order
    int32_t Value2 = 0;
    uint8_t Time1 = 0, Time2 = 0, Time3 = 0, Time4 = 0, Time5 = 0;
    uint8_t Year = 0;  // two digits
};

// A time as the logger reports it; the year has two digits (2000 + Year).
struct LoggerTime {
    uint8_t Day = 0, Month = 0, Year = 0, Hour = 0, Minute = 0, Second = 0;
    bool operator==(const LoggerTime&) const = default;
};

// The two logs of the module's data logger.
enum class LoggerLog { None, Sample, MinMax };

// The block a log read asks for: the reply must start where asked and bring no more
// records than asked (a block never brings more than the rest of the log).
struct LoggerBlockRequest {
    LoggerLog Log = LoggerLog::None;  // None: no block read is waiting
    int Start = 0;
    int MaxRecords = 0;
    int Received = 0;  // records the reply brought, set when it is stored
};

struct LoggerData {
    uint16_t SampleLogCount = 0;
    uint16_t MinMaxLogCount = 0;
    bool LoggerRunning = false;
    LoggerTime LoggerStartTime;
    int32_t LoggerTimers[9] = {};         // 24-bit values
    uint8_t LoggerSettingBytes[25] = {};  // sent back as the module reported them
    LoggerBlockRequest BlockRequest;
    // Filled by index from the block replies; a log read clears them first.
    std::array<SampleRecord, SAMPLE_LOG_SIZE> SampleLog{};
    std::array<MinMaxRecord, MINMAX_LOG_SIZE> MinMaxLog{};
};

LoggerData& loggerData();
void ResetLoggerData();

} // namespace korvel

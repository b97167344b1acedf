// The sample and min/max log files written from the records a log read brought: their
// names, their text, and the sample times rebuilt from the sample serials.
#pragma once

#include "model/loggerdata.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace korvel {

// Moves clock on by steps sample intervals of sampleTime (SampleTime: bits 0-5 count,
// bits 6-7 unit 0 seconds, 1 minutes, 2 hours; any other unit moves nothing), carrying
// seconds into minutes, hours, days, months (with each month's own length, leap years
// included) and years.
void AdvanceLoggerTime(LoggerTime& clock, uint8_t sampleTime, uint32_t steps);

// Rebuilds the time of each sample from its serial: records of one sampling instant share
// a serial, and each instant lies (serial difference) intervals after the one before, the
// difference taken modulo 65536 so that the count may wrap. Starts from the logger's
// start time and serial 0, as the module counts.
class SampleClock {
public:
    SampleClock(const LoggerTime& start, uint8_t sampleTime);
    // The time of a record with serial.
    const LoggerTime& Apply(uint16_t serial);

private:
    LoggerTime clock_;
    uint8_t sampleTime_;
    uint16_t lastSerial_ = 0;
};

// "1.4.1": the program's major, minor and revision numbers without leading zeros.
QString LogFileVersion();
// The second line of both files: "Wednesday, December 09, 2026, 04:31:05 PM" in the
// locale's day and month names, on a 12-hour clock.
QString LogFileDateLine(const QDateTime& now, const QLocale& locale);

// The whole file text, lines ending in CR LF, single-byte characters: the two header
// lines, then one line per record 0 .. count - 1 of the tables in data.
// Sample line: channel code, value, hour, minute, second, day, month, four-digit year.
QByteArray SampleLogText(const LoggerData& data, uint8_t sampleTime, const QDateTime& now, const QLocale& locale);
// Min/max line: channel, the two values, the five time bytes as received, four-digit year.
QByteArray MinMaxLogText(const LoggerData& data, const QDateTime& now, const QLocale& locale);

// One line of the sample listing: "Analog Ch : 03" (channel code + 1) or "Temp Ch   : 08"
// (channel code - 7), three blanks, the value as five digits, three blanks, then the
// time "14:05:00", two blanks and the date "07-12-16".
QString SampleListLine(const SampleRecord& record, const LoggerTime& time);

// folder/YYMMDDHHMMSS.extension by now; when that file exists (a read in the same
// second), the first of YYMMDDHHMMSS-2.extension, -3, ... that does not.
QString NewLogFilePath(const QString& folder, const QDateTime& now, const QString& extension);

// Writes text to path whole or not at all (a temporary file renamed into place). Empty
// on success, else what went wrong.
QString WriteLogFile(const QString& path, const QByteArray& text);

inline constexpr char kSampleLogExtension[] = "slf";
inline constexpr char kMinMaxLogExtension[] = "mlf";

} // namespace korvel

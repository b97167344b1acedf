#include "model/loggerfiles.h"
#include "model/version.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>
#include <tuple>

using namespace korvel;

namespace {

constexpr uint8_t kSeconds = 0, kMinutes = 64, kHours = 128, kNoUnit = 192;

LoggerTime Time(int year, int month, int day, int hour, int minute, int second) {
    return {uint8_t(day), uint8_t(month), uint8_t(year - 2000), uint8_t(hour), uint8_t(minute), uint8_t(second)};
}
QDateTime Utc(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}
// Readable in a failure message, the year as the file writes it.
std::string Text(const LoggerTime& t) {
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(2000 + t.Year).arg(t.Month).arg(t.Day).arg(t.Hour).arg(t.Minute).arg(t.Second).toStdString();
}
// What the calendar says, the year reduced to the logger's byte.
std::string Text(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return Text(Time(2000 + (d.year() - 2000) % 256, d.month(), d.day(), h.hour(), h.minute(), h.second()));
}
std::string Advanced(LoggerTime t, uint8_t sampleTime, uint32_t steps) {
    AdvanceLoggerTime(t, sampleTime, steps);
    return Text(t);
}
SampleRecord Record(int code, int value, int serial) {
    return {{uint8_t(value & 255), uint8_t(code << 4 | value >> 8), uint8_t(serial & 255), uint8_t(serial >> 8)}};
}

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QDateTime kNow = Utc(2026, 12, 9, 16, 31, 5);
const QByteArray kVersion = QByteArray::number(ProgramVersionMajor) + '.' + QByteArray::number(ProgramVersionMinor) +
                            '.' + QByteArray::number(ProgramVersionRevision);
const QByteArray kDateLine = "Wednesday, December 09, 2026, 04:31:05 PM\r\n";

TEST(LoggerTimeAdvance, EachUnitCarriesIntoTheNextAndUnitThreeMovesNothing) {
    const LoggerTime t = Time(2016, 12, 7, 10, 50, 30);
    EXPECT_EQ(Advanced(t, kSeconds | 45, 1), "2016-12-7 10:51:15");
    EXPECT_EQ(Advanced(t, kMinutes | 5, 3), "2016-12-7 11:5:30");
    EXPECT_EQ(Advanced(t, kMinutes | 63, 16), "2016-12-8 3:38:30");
    EXPECT_EQ(Advanced(t, kHours | 2, 13), "2016-12-8 12:50:30");
    EXPECT_EQ(Advanced(t, kNoUnit | 5, 1000), Text(t));
}

TEST(LoggerTimeAdvance, CarriesOverMonthAndYearEndsByTheRealCalendar) {
    // 2000 is divisible by 400 (leap), 2100 (Year past 99) only by 100.
    for (const auto& [y, m, d, after] :
         {std::tuple{2023, 1, 31, "2023-2-1"}, {2023, 2, 28, "2023-3-1"}, {2024, 2, 28, "2024-2-29"},
          {2024, 2, 29, "2024-3-1"}, {2024, 4, 30, "2024-5-1"}, {2024, 12, 31, "2025-1-1"}, {2000, 2, 28, "2000-2-29"},
          {2100, 2, 28, "2100-3-1"}})
        EXPECT_EQ(Advanced(Time(y, m, d, 23, 59, 59), kSeconds | 1, 1), std::string(after) + " 0:0:0");
}

TEST(LoggerTimeAdvance, AgreesWithTheCalendarOverLongAdvances) {
    const QDateTime start = Utc(2024, 2, 27, 22, 58, 57);
    for (const auto& [sampleTime, steps, seconds] :
         {std::tuple<uint8_t, uint32_t, int64_t>{kSeconds | 63, 65535, 63LL * 65535},
          {kMinutes | 37, 40000, 37LL * 60 * 40000},
          {kHours | 60, 65535, 60LL * 3600 * 65535},               // about 448 years: the year byte wraps
          {kHours | 63, 0xFFFFFFFF, 63LL * 3600 * 0xFFFFFFFF}})  // millions of years, still at once
        EXPECT_EQ(Advanced(Time(2024, 2, 27, 22, 58, 57), sampleTime, steps), Text(start.addSecs(seconds))) << steps;
}

TEST(LoggerTimeAdvance, ImpossibleStartsStayUntilMovedThenSettle) {
    EXPECT_EQ(Advanced(LoggerTime{}, kSeconds | 1, 1), "2000-0-0 0:0:1");
    // Month 0 is 31 days long, day 0 the day before the 1st: zeros stand for 30 Nov 1999.
    EXPECT_EQ(Advanced(LoggerTime{}, kHours | 24, 40), "2000-1-9 0:0:0");
    EXPECT_EQ(Advanced(LoggerTime{}, kHours | 60, 65535),
              Text(Utc(1999, 11, 30, 0, 0, 0).addSecs(60LL * 3600 * 65535)));
    EXPECT_EQ(Advanced(Time(2023, 2, 31, 10, 0, 0), kSeconds | 1, 0), "2023-2-31 10:0:0");
    EXPECT_EQ(Advanced(Time(2023, 2, 31, 10, 0, 0), kSeconds | 1, 1), "2023-3-3 10:0:1");
    EXPECT_EQ(Advanced(Time(2023, 13, 5, 0, 0, 0), kHours | 24, 30), "2024-1-4 0:0:0");
    EXPECT_EQ(Advanced(Time(2023, 5, 5, 30, 75, 0), kSeconds | 1, 1), "2023-5-6 7:15:1");
}

TEST(SampleClock, OneInstantSharesATimeAndEachSerialIsOneIntervalFromTheStart) {
    SampleClock clock(Time(2016, 12, 7, 23, 59, 59), kSeconds | 1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(clock.Apply(5)), "2016-12-8 0:0:4") << i;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(clock.Apply(6)), "2016-12-8 0:0:5") << i;
    SampleClock fiveMinutes(Time(2016, 12, 7, 14, 0, 0), kMinutes | 5);
    EXPECT_EQ(Text(fiveMinutes.Apply(0)), "2016-12-7 14:0:0");
    EXPECT_EQ(Text(fiveMinutes.Apply(1)), "2016-12-7 14:5:0");
    EXPECT_EQ(Text(fiveMinutes.Apply(12)), "2016-12-7 15:0:0");
}

TEST(SampleClock, SerialWrapsAfter65535) {
    SampleClock clock(Time(2016, 12, 7, 0, 0, 0), kSeconds | 1);
    EXPECT_EQ(Text(clock.Apply(65535)), Text(Utc(2016, 12, 7, 0, 0, 0).addSecs(65535)));
    EXPECT_EQ(Text(clock.Apply(0)), "2016-12-7 18:12:16");
}

TEST(LogFileText, VersionAndTwelveHourDateLine) {
    EXPECT_EQ(LogFileVersion().toLatin1(), kVersion);
    EXPECT_EQ(LogFileDateLine(kNow, kEnglish) + "\r\n", kDateLine);
    EXPECT_EQ(LogFileDateLine(Utc(2026, 1, 2, 0, 5, 9), kEnglish), "Friday, January 02, 2026, 12:05:09 AM");
    EXPECT_EQ(LogFileDateLine(Utc(2026, 1, 2, 12, 0, 0), kEnglish), "Friday, January 02, 2026, 12:00:00 PM");
    EXPECT_TRUE(LogFileDateLine(kNow, kGerman).startsWith("Mittwoch, Dezember 09, 2026, 04:31:05 "));
    // Greek and Russian names would be lost as single bytes: the line is in English.
    for (QLocale::Language language : {QLocale::Greek, QLocale::Russian})
        EXPECT_EQ(LogFileDateLine(kNow, QLocale(language)) + "\r\n", kDateLine) << int(language);
    auto data = std::make_unique<LoggerData>();
    EXPECT_EQ(MinMaxLogText(*data, kNow, QLocale(QLocale::Russian, QLocale::Russia)),
              "OMRU Min Max Log - Version " + kVersion + "\r\n" + kDateLine);
}

TEST(LogFileText, WholeFilesWithRebuiltSampleTimesAndMinMaxAsReceived) {
    auto data = std::make_unique<LoggerData>();
    data->LoggerStartTime = Time(2016, 12, 31, 23, 59, 58);
    data->SampleLog = {Record(2, 1023, 0), Record(0, 0, 0), Record(15, 4095, 2), Record(9, 17, 3)};
    data->SampleLogCount = 3;
    EXPECT_EQ(SampleLogText(*data, kSeconds | 1, kNow, kEnglish),
              "OMRU Sample Log - Version " + kVersion + "\r\n" + kDateLine +
                  "2,1023,23,59,58,31,12,2016\r\n0,0,23,59,58,31,12,2016\r\n15,4095,0,0,0,1,1,2017\r\n");
    data->LoggerStartTime = Time(2100, 3, 1, 14, 5, 0);
    data->SampleLogCount = 1;
    EXPECT_TRUE(
        SampleLogText(*data, kSeconds | 1, kNow, kEnglish).endsWith(kDateLine + "2,1023,14,5,0,1,3,2100\r\n"));

    data->MinMaxLog[0] = {1, 120, 860, 14, 5, 0, 7, 12, 16};
    data->MinMaxLog[1] = {15, 0, 65535, 255, 0, 99, 0, 31, 100};
    data->MinMaxLogCount = 2;
    EXPECT_EQ(MinMaxLogText(*data, kNow, kEnglish),
              "OMRU Min Max Log - Version " + kVersion + "\r\n" + kDateLine +
                  "1,120,860,14,5,0,7,12,2016\r\n15,0,65535,255,0,99,0,31,2100\r\n");
    // One byte a character, not UTF-8.
    EXPECT_TRUE(
        MinMaxLogText(*data, Utc(2026, 3, 4, 9, 0, 0), kGerman).contains("\r\nMittwoch, M\xE4rz 04, 2026, 09:00:00 "));
}

TEST(LogFileText, CountsBeyondTheTableStopAtItsEndAndZeroGivesTheHeaderOnly) {
    auto data = std::make_unique<LoggerData>();
    EXPECT_EQ(SampleLogText(*data, kSeconds | 1, kNow, kEnglish),
              "OMRU Sample Log - Version " + kVersion + "\r\n" + kDateLine);
    EXPECT_EQ(MinMaxLogText(*data, kNow, kEnglish), "OMRU Min Max Log - Version " + kVersion + "\r\n" + kDateLine);
    data->SampleLogCount = data->MinMaxLogCount = 65535;
    EXPECT_EQ(SampleLogText(*data, kSeconds | 1, kNow, kEnglish).count("\r\n"), 2 + SAMPLE_LOG_SIZE);
    EXPECT_EQ(MinMaxLogText(*data, kNow, kEnglish).count("\r\n"), 2 + MINMAX_LOG_SIZE);
}

TEST(LogFileListLine, AnalogAndTemperatureChannels) {
    const LoggerTime t = Time(2009, 1, 2, 3, 4, 5);
    EXPECT_EQ(SampleListLine(Record(2, 1023, 0), Time(2016, 12, 7, 14, 5, 0)),
              "Analog Ch : 03   01023   14:05:00  07-12-16");
    EXPECT_EQ(SampleListLine(Record(7, 0, 0), t), "Analog Ch : 08   00000   03:04:05  02-01-09");
    EXPECT_EQ(SampleListLine(Record(8, 4095, 0), t), "Temp Ch   : 01   04095   03:04:05  02-01-09");
    // Past 99 the year shows as the last two digits of 2000 + Year.
    EXPECT_EQ(SampleListLine(Record(15, 5, 0), Time(2100, 1, 2, 3, 4, 5)),
              "Temp Ch   : 08   00005   03:04:05  02-01-00");
}

TEST(LogFilePath, NeverNamesAFileThatExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto next = [&](const char* extension) {
        return QDir(dir.path()).relativeFilePath(NewLogFilePath(dir.path(), kNow, extension));
    };
    EXPECT_EQ(NewLogFilePath(dir.path(), kNow, kSampleLogExtension), dir.filePath("261209163105.slf"));
    ASSERT_EQ(WriteLogFile(dir.filePath("261209163105.slf"), "a"), "");
    EXPECT_EQ(next(kSampleLogExtension), "261209163105-2.slf");
    EXPECT_EQ(next(kMinMaxLogExtension), "261209163105.mlf");
    ASSERT_EQ(WriteLogFile(dir.filePath("261209163105-2.slf"), "b"), "");
    EXPECT_EQ(next(kSampleLogExtension), "261209163105-3.slf");
}

TEST(LogFilePath, WritesWholeOrNotAtAll) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_NE(WriteLogFile(dir.filePath("missing/261209163105.slf"), "text"), "");
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    ASSERT_EQ(WriteLogFile(dir.filePath("a.slf"), "a long first text\r\n"), "");
    ASSERT_EQ(WriteLogFile(dir.filePath("a.slf"), "short\r\n"), "");
    QFile f(dir.filePath("a.slf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "short\r\n");
}

} // namespace

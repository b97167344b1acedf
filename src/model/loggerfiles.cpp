#include "model/loggerfiles.h"

#include "model/textnumber.h"
#include "model/version.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace korvel {

namespace {

// The Gregorian calendar repeats exactly every 400 years: the same month and day lie
// this many days apart.
constexpr int64_t kDaysIn400Years = 146097;

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// year counts from 2000 like the logger's. A month that does not exist (a logger that
// was never started reports zeros) is taken as 31 days long, so that the carry below
// always finishes and moves on into January of the following year.
int64_t DaysInMonth(int month, int64_t year) {
    switch (month) {
    case 2: return IsLeapYear(2000 + year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    default: return 31;
    }
}

QString Digits(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0')); }

QByteArray Header(const char* title, const QDateTime& now, const QLocale& locale) {
    return QByteArray(title) + " - Version " + LogFileVersion().toLatin1() + "\r\n" +
           LogFileDateLine(now, locale).toLatin1() + "\r\n";
}

} // namespace

void AdvanceLoggerTime(LoggerTime& clock, uint8_t sampleTime, uint32_t steps) {
    static constexpr uint64_t kUnitSeconds[4] = {1, 60, 3600, 0};
    const uint64_t added = uint64_t(steps) * uint64_t(sampleTime & 63) * kUnitSeconds[(sampleTime & 192) / 64];
    // A clock that does not move is left exactly as it was, impossible date included.
    if (added == 0) return;

    // Hours, minutes and seconds out of range carry like any other, so the time of day
    // always comes out valid once the clock has moved.
    uint64_t total = clock.Second + 60 * uint64_t(clock.Minute) + 3600 * uint64_t(clock.Hour) + added;
    clock.Second = uint8_t(total % 60);
    total /= 60;
    clock.Minute = uint8_t(total % 60);
    total /= 60;
    clock.Hour = uint8_t(total % 24);

    // The day is counted from the first of the month, so a day beyond its month (or day
    // 0, the day before the first) is carried on here with the rest.
    int64_t day = int64_t(clock.Day) + int64_t(total / 24);
    int month = clock.Month;
    int64_t year = clock.Year;  // kept whole so leap years stay right past the byte's range
    while (day > DaysInMonth(month, year)) {
        if (month >= 1 && month <= 12 && day > kDaysIn400Years) {
            // Whole 400-year cycles at once keep even the longest advance to a few
            // thousand months.
            const int64_t cycles = (day - 1) / kDaysIn400Years;
            day -= cycles * kDaysIn400Years;
            year += 400 * cycles;
            continue;
        }
        day -= DaysInMonth(month, year);
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    clock.Day = uint8_t(day);
    clock.Month = uint8_t(month);
    // The logger's year is a single byte: it counts on past 99 and wraps after 255.
    clock.Year = uint8_t(year);
}

SampleClock::SampleClock(const LoggerTime& start, uint8_t sampleTime) : clock_(start), sampleTime_(sampleTime) {}

const LoggerTime& SampleClock::Apply(uint16_t serial) {
    AdvanceLoggerTime(clock_, sampleTime_, uint16_t(serial - lastSerial_));
    lastSerial_ = serial;
    return clock_;
}

QString LogFileVersion() {
    return QStringLiteral("%1.%2.%3").arg(ProgramVersionMajor).arg(ProgramVersionMinor).arg(ProgramVersionRevision);
}

QString LogFileDateLine(const QDateTime& now, const QLocale& locale) {
    // With AP in the format Qt writes hh on the 12-hour clock.
    return SingleByteLocaleText(locale, [&now](const QLocale& l) {
        return l.toString(now.date(), QStringLiteral("dddd, MMMM dd, yyyy,")) +
               l.toString(now.time(), QStringLiteral(" hh:mm:ss AP"));
    });
}

QByteArray SampleLogText(const LoggerData& data, uint8_t sampleTime, const QDateTime& now, const QLocale& locale) {
    QByteArray text = Header("OMRU Sample Log", now, locale);
    SampleClock clock(data.LoggerStartTime, sampleTime);
    const int count = std::min<int>(data.SampleLogCount, SAMPLE_LOG_SIZE);
    for (int i = 0; i < count; ++i) {
        const SampleRecord& r = data.SampleLog[size_t(i)];
        const LoggerTime& t = clock.Apply(r.Serial());
        text += QByteArray::number(r.ChannelCode()) + ',' + QByteArray::number(r.Value()) + ',' +
                QByteArray::number(t.Hour) + ',' + QByteArray::number(t.Minute) + ',' + QByteArray::number(t.Second) +
                ',' + QByteArray::number(t.Day) + ',' + QByteArray::number(t.Month) + ',' +
                QByteArray::number(2000 + t.Year) + "\r\n";
    }
    return text;
}

QByteArray MinMaxLogText(const LoggerData& data, const QDateTime& now, const QLocale& locale) {
    QByteArray text = Header("OMRU Min Max Log", now, locale);
    const int count = std::min<int>(data.MinMaxLogCount, MINMAX_LOG_SIZE);
    for (int i = 0; i < count; ++i) {
        const MinMaxRecord& r = data.MinMaxLog[size_t(i)];
        text += QByteArray::number(r.Channel) + ',' + QByteArray::number(r.Value1) + ',' +
                QByteArray::number(r.Value2) + ',' + QByteArray::number(r.Time1) + ',' + QByteArray::number(r.Time2) +
                ',' + QByteArray::number(r.Time3) + ',' + QByteArray::number(r.Time4) + ',' +
                QByteArray::number(r.Time5) + ',' + QByteArray::number(2000 + r.Year) + "\r\n";
    }
    return text;
}

QString SampleListLine(const SampleRecord& record, const LoggerTime& time) {
    const int code = record.ChannelCode();
    const QString label = code < 8 ? QStringLiteral("Analog Ch : ") + Digits(code + 1, 2)
                                   : QStringLiteral("Temp Ch   : ") + Digits(code - 7, 2);
    // The year column shows the two digits of 2000 + Year even once the year passes 99.
    return label + QStringLiteral("   ") + Digits(record.Value(), 5) + QStringLiteral("   ") + Digits(time.Hour, 2) +
           QLatin1Char(':') + Digits(time.Minute, 2) + QLatin1Char(':') + Digits(time.Second, 2) +
           QStringLiteral("  ") + Digits(time.Day, 2) + QLatin1Char('-') + Digits(time.Month, 2) + QLatin1Char('-') +
           Digits(time.Year % 100, 2);
}

QString NewLogFilePath(const QString& folder, const QDateTime& now, const QString& extension) {
    const QDir dir(folder);
    const QString stamp = now.toString(QStringLiteral("yyMMddHHmmss"));
    QString path = dir.filePath(stamp + QLatin1Char('.') + extension);
    // Two reads within one second must not overwrite the first one's file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stamp + QLatin1Char('-') + QString::number(n) + QLatin1Char('.') + extension);
    return path;
}

QString WriteLogFile(const QString& path, const QByteArray& text) {
    // Written beside the target and renamed into place only when complete, so a failure
    // never leaves half a log or costs a file already there.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    if (out.write(text) != text.size() || !out.flush() || !out.commit()) {
        const QString why = out.errorString();
        out.cancelWriting();
        return why.isEmpty() ? QStringLiteral("The log file could not be written.") : why;
    }
    return QString();
}

} // namespace korvel

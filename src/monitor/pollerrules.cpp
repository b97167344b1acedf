#include "monitor/pollerrules.h"

#include "model/taskblock.h"
#include "model/textnumber.h"
#include "control/session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <algorithm>

namespace korvel {

namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kDay = 24 * kHour;

QString FourFields(const QString& prefix, int64_t days, int64_t hours, int64_t mins, int64_t secs) {
    return prefix + QString::number(days) + QStringLiteral(" days, ") + QString::number(hours) +
           QStringLiteral(" hours, ") + QString::number(mins) + QStringLiteral(" mins, ") + QString::number(secs) +
           QStringLiteral(" secs");
}

} // namespace

int64_t PollerPeriodSeconds(const int16_t (&interval)[4]) {
    const auto field = [&](int index) { return std::max<int64_t>(interval[index], 0); };
    return field(POLL_SECONDS) + kMinute * field(POLL_MINUTES) + kHour * field(POLL_HOURS) + kDay * field(POLL_DAYS);
}

void PollerCountdown::Reload(int64_t periodSeconds) { remaining_ = std::max<int64_t>(periodSeconds, 0); }

bool PollerCountdown::Tick(int64_t periodSeconds) {
    if (remaining_ > 1) {
        --remaining_;
        return false;
    }
    Reload(periodSeconds);
    return true;
}

QString PollerInfoText(const int16_t (&interval)[4]) {
    return FourFields(QStringLiteral("Poller Interval: "), interval[POLL_DAYS], interval[POLL_HOURS],
                      interval[POLL_MINUTES], interval[POLL_SECONDS]);
}

QString PollerCountText(int64_t remainingSeconds) {
    const int64_t s = std::max<int64_t>(remainingSeconds, 0);
    return FourFields(QStringLiteral("Time to poll: "), s / kDay, s % kDay / kHour, s % kHour / kMinute, s % kMinute);
}

QString PollerLogLine(const QString& prefix, const QDateTime& at, const QLocale& locale) {
    // With AP in the format, hh is the 12-hour clock.
    return prefix + SingleByteLocaleText(locale, [&at](const QLocale& l) {
               return l.toString(at, QStringLiteral(" dddd, MMMM dd, yyyy, hh:mm AP"));
           });
}

QString PollerLogPath() {
    return QDir(DataFolderPath()).filePath(QStringLiteral("PollerLog.log"));
}

QString AppendPollerLog(const QString& line) {
    QFile f(PollerLogPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return f.errorString();
    const QByteArray bytes = line.toLatin1() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) return f.errorString();
    f.close();
    if (f.error() != QFileDevice::NoError) return f.errorString();
    return {};
}

} // namespace korvel

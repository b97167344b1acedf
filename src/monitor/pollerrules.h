// The station poller as the PC runs it: the countdown to the next poll over the real
// period, the texts of its window and the lines of its log file.
#pragma once

#include <QString>
#include <cstdint>

class QDateTime;
class QLocale;

namespace korvel {

// The prefixes of the poller's log lines. The window sends nothing to the module, so
// a poll line only says that a poll was due.
inline const QString POLLER_STARTED = QStringLiteral("Poller started: ");
inline const QString POLLER_STOPPED = QStringLiteral("Poller stopped: ");
inline const QString POLLER_POLL_DUE = QStringLiteral("Poll due: ");

// The period of interval (seconds, minutes, hours, days as PollerIntervalIndex orders
// them) in seconds; a negative field counts as 0.
int64_t PollerPeriodSeconds(const int16_t (&interval)[4]);

// The time to the next poll, counted down one second per tick.
class PollerCountdown {
public:
    // A new period begins.
    void Reload(int64_t periodSeconds);
    // One second has passed. When that brings the time left to 0 the poll is due: the
    // count begins again from periodSeconds (the period as it is now, which may differ
    // from the last one) and the result is true. A period of 0 is due on every tick.
    bool Tick(int64_t periodSeconds);
    int64_t Remaining() const { return remaining_; }

private:
    int64_t remaining_ = 0;
};

// "Poller Interval: D days, H hours, M mins, S secs" with the fields as entered.
QString PollerInfoText(const int16_t (&interval)[4]);
// "Time to poll: D days, H hours, M mins, S secs" with hours, minutes and seconds
// carried into the next unit (hours 0-23, minutes and seconds 0-59).
QString PollerCountText(int64_t remainingSeconds);

// A log line: prefix, then the date as " Monday, December 07, 2026," and the time as
// " 11:21 PM", with the names and the AM/PM marks of locale.
QString PollerLogLine(const QString& prefix, const QDateTime& at, const QLocale& locale);

// PollerLog.log in the data folder (the current folder when none is set).
QString PollerLogPath();
// Appends line and CR LF to the log file in single-byte characters, opening and closing
// it again so that a run cut short loses nothing; empty on success, else the reason.
QString AppendPollerLog(const QString& line);

} // namespace korvel

// The module's real-time clock as the date and time dialog shows and sets it: which of
// the reported values a date picker and the time boxes can show, the years the clock
// frame can carry, and the set action itself.
#pragma once

#include "model/target.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace korvel {

// The set frame carries the year as year - 2000 in one byte.
constexpr int CLOCK_FIRST_YEAR = 2000;
constexpr int CLOCK_LAST_YEAR = 2255;

// A clock as the dialog shows it: always a real date and a real time of day.
struct ShownClock {
    QDate date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What the dialog shows of the clock the module reported. A month of 13 or more and a
// day of 32 or more show as 1 (as does 0, which a clock never set reports); a day the
// month does not have (31 February) shows as that month's last day; a year is kept
// within the years the frame carries. An hour above 23, or a minute or second above 59,
// shows as 0.
ShownClock ShowableClock(const ModuleClockValue& clock);

// The clock values of a date and a time of day.
ModuleClockValue ClockValue(const QDate& date, int hour, int minute, int second);
ModuleClockValue ClockValue(const QDateTime& moment);

bool ClockYearFits(int year);
// The refusal shown when a clock of that year is to be sent.
QString ClockYearRefusal(int year);

enum class ClockSetResult {
    Set,          // the module acknowledged the new clock
    YearRefused,  // nothing changed or sent: the year does not fit the frame
    SendFailed,   // sent but not acknowledged; the link layer has told the user
};
// ModuleClock := clock, then the set frame to StationAddress.
ClockSetResult SetModuleClock(const ModuleClockValue& clock);

} // namespace korvel

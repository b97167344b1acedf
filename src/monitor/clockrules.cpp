#include "monitor/clockrules.h"
#include "link/linkhold.h"
#include "link/linkstate.h"
#include "control/settingwrites.h"

#include <QTime>

#include <algorithm>

namespace korvel {

namespace {

// A time part the boxes cannot show is shown as 0.
int Within(int value, int limit) { return value >= 0 && value < limit ? value : 0; }

} // namespace

ShownClock ShowableClock(const ModuleClockValue& clock) {
    const int year = std::clamp<int>(clock.year, CLOCK_FIRST_YEAR, CLOCK_LAST_YEAR);
    const int month = clock.month >= 1 && clock.month <= 12 ? clock.month : 1;
    int day = clock.day >= 1 && clock.day <= 31 ? clock.day : 1;
    day = std::min(day, QDate(year, month, 1).daysInMonth());
    ShownClock shown;
    shown.date = QDate(year, month, day);
    shown.hour = Within(clock.hour, 24);
    shown.minute = Within(clock.minute, 60);
    shown.second = Within(clock.second, 60);
    return shown;
}

ModuleClockValue ClockValue(const QDate& date, int hour, int minute, int second) {
    ModuleClockValue c;
    c.day = static_cast<int16_t>(date.day());
    c.month = static_cast<int16_t>(date.month());
    c.year = static_cast<int16_t>(date.year());
    c.hour = static_cast<int16_t>(hour);
    c.minute = static_cast<int16_t>(minute);
    c.second = static_cast<int16_t>(second);
    return c;
}

ModuleClockValue ClockValue(const QDateTime& moment) {
    const QTime t = moment.time();
    return ClockValue(moment.date(), t.hour(), t.minute(), t.second());
}

bool ClockYearFits(int year) { return year >= CLOCK_FIRST_YEAR && year <= CLOCK_LAST_YEAR; }

QString ClockYearRefusal(int year) {
    return QStringLiteral("The module's clock cannot be set to the year %1: it takes the years %2 to %3 only. "
                          "The module's clock was not changed.")
        .arg(year)
        .arg(CLOCK_FIRST_YEAR)
        .arg(CLOCK_LAST_YEAR);
}

ClockSetResult SetModuleClock(const ModuleClockValue& clock) {
    const LinkHold hold;
    // Sent as it stands, the year would wrap round in its byte and set the module to a
    // date nobody chose.
    if (!ClockYearFits(clock.year)) return ClockSetResult::YearRefused;
    target().ModuleClock = clock;
    return SendSetDateTime(hold) == SEND_OK ? ClockSetResult::Set : ClockSetResult::SendFailed;
}

} // namespace korvel

// The station poller's countdown without a window: ticks to each poll over the real
// period, the time left as shown, a new period taken up at a poll, and the log lines.
#include "monitor/pollerrules.h"
#include "model/taskblock.h"
#include "support/qtprint.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <gtest/gtest.h>

using namespace korvel;

namespace {

struct Interval {
    int16_t v[4] = {};
    Interval(int days, int hours, int mins, int secs) {
        v[POLL_DAYS] = int16_t(days), v[POLL_HOURS] = int16_t(hours);
        v[POLL_MINUTES] = int16_t(mins), v[POLL_SECONDS] = int16_t(secs);
    }
};

// Ticks until the next poll falls due; 0 when none does within limit.
int64_t TicksToPoll(PollerCountdown& c, int64_t period, int64_t limit) {
    for (int64_t n = 1; n <= limit; ++n)
        if (c.Tick(period)) return n;
    return 0;
}

} // namespace

TEST(PollerRules, EachPollFallsDueAfterExactlyThePeriodInTicks) {
    const std::pair<Interval, int64_t> cases[] = {
        {{0, 0, 0, 0}, 0},       // no period: due on every tick
        {{0, 0, 0, 10}, 10},     {{0, 0, 1, 30}, 90},
        {{0, 1, 0, 0}, 3600},    // the older stepping polled after 3542
        {{1, 0, 0, 0}, 86400},   // ... and after 84986
        {{0, 0, 90, 0}, 5400},   // fields as entered, beyond their unit
        {{-1, 0, 1, -5}, 60},    // a negative field counts as nothing
    };
    for (const auto& [interval, period] : cases) {
        SCOPED_TRACE(PollerInfoText(interval.v).toStdString());
        ASSERT_EQ(PollerPeriodSeconds(interval.v), period);
        const int64_t ticks = std::max<int64_t>(period, 1);
        PollerCountdown c;
        c.Reload(period);
        EXPECT_EQ(TicksToPoll(c, period, 2 * ticks), ticks) << "first poll";
        EXPECT_EQ(TicksToPoll(c, period, 2 * ticks), ticks) << "every poll after";
    }
}

TEST(PollerRules, TheTimeLeftShowsNormalisedAndTheFullPeriodAfterAPoll) {
    PollerCountdown c;
    c.Reload(86400);
    c.Tick(86400);
    // Never "24 hours" on the way down from a day.
    EXPECT_EQ(PollerCountText(c.Remaining()), "Time to poll: 0 days, 23 hours, 59 mins, 59 secs");
    c.Reload(3600);
    c.Tick(3600);
    EXPECT_EQ(PollerCountText(c.Remaining()), "Time to poll: 0 days, 0 hours, 59 mins, 59 secs");
    ASSERT_EQ(TicksToPoll(c, 3600, 3600), 3599);
    EXPECT_EQ(PollerCountText(c.Remaining()), "Time to poll: 0 days, 1 hours, 0 mins, 0 secs");
    // The largest period the fields hold does not overflow.
    EXPECT_EQ(PollerCountText(PollerPeriodSeconds(Interval(32767, 32767, 32767, 32767).v)),
              "Time to poll: 34155 days, 10 hours, 13 mins, 7 secs");
    EXPECT_EQ(PollerInfoText(Interval(2, 30, 90, 75).v), "Poller Interval: 2 days, 30 hours, 90 mins, 75 secs");
}

TEST(PollerRules, ANewPeriodIsTakenUpAtTheNextPoll) {
    PollerCountdown c;
    c.Reload(5);
    EXPECT_FALSE(c.Tick(5));
    EXPECT_EQ(TicksToPoll(c, 60, 100), 4) << "the time left runs out first";
    EXPECT_EQ(TicksToPoll(c, 60, 100), 60);
}

TEST(PollerRules, ALogLineCarriesTheDateAndA12HourTime) {
    const QLocale english(QLocale::English);
    const QDate monday(2026, 12, 7), newYear(2027, 1, 1);
    EXPECT_EQ(PollerLogLine(POLLER_POLL_DUE, QDateTime(monday, QTime(23, 21, 59)), english),
              "Poll due:  Monday, December 07, 2026, 11:21 PM");
    EXPECT_EQ(PollerLogLine(POLLER_STARTED, QDateTime(monday, QTime(9, 5)), english),
              "Poller started:  Monday, December 07, 2026, 09:05 AM");
    EXPECT_EQ(PollerLogLine(POLLER_STOPPED, QDateTime(newYear, QTime(0, 5)), english),
              "Poller stopped:  Friday, January 01, 2027, 12:05 AM");
    EXPECT_EQ(PollerLogLine(POLLER_POLL_DUE, QDateTime(newYear, QTime(12, 0)), english),
              "Poll due:  Friday, January 01, 2027, 12:00 PM");
    // Names in the language given.
    EXPECT_TRUE(PollerLogLine(POLLER_POLL_DUE, QDateTime(monday, QTime(9, 5)), QLocale(QLocale::German))
                    .startsWith("Poll due:  Montag, Dezember 07"));
}

TEST(PollerRules, ALanguageWhoseNamesNoSingleByteHoldsIsWrittenInEnglish) {
    const QDateTime at(QDate(2026, 12, 7), QTime(23, 21, 59));
    for (const QLocale& locale : {QLocale(QLocale::Greek, QLocale::Greece), QLocale(QLocale::Russian, QLocale::Russia),
                                  QLocale(QLocale::Arabic, QLocale::Egypt)})
        EXPECT_EQ(PollerLogLine(POLLER_POLL_DUE, at, locale), "Poll due:  Monday, December 07, 2026, 11:21 PM")
            << locale.name().toStdString();
    // Names a single byte holds stay the language's own.
    EXPECT_EQ(PollerLogLine(POLLER_POLL_DUE, at, QLocale(QLocale::French, QLocale::France)).toLatin1(),
              QByteArray("Poll due:  lundi, d\xE9" "cembre 07, 2026, 11:21 PM"));
}

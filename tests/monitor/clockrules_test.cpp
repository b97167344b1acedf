// The module clock without a window: what a reported clock shows as, and the set action
// against the simulated module, the years its frame cannot carry included.
#include "model/target.h"
#include "link/frame.h"
#include "support/simfixture.h"
#include "monitor/clockrules.h"

using namespace korvel;
using namespace korvel::test;

namespace {

QList<int> Parts(const ShownClock& c) {
    return {c.date.day(), c.date.month(), c.date.year(), c.hour, c.minute, c.second};
}

TEST(ClockRules, AReportedClockShowsAsARealDateAndTime) {
    struct Case {
        ModuleClockValue reported;
        QList<int> shown;
    };
    const Case cases[] = {
        {{40, 13, 2031, 25, 7, 8}, {1, 1, 2031, 0, 7, 8}},        // month 13, day 40, hour 25
        {{31, 12, 2255, 23, 59, 59}, {31, 12, 2255, 23, 59, 59}}, // the last moment the frame carries
        {{32, 12, 2040, 24, 60, 60}, {1, 12, 2040, 0, 0, 0}},     // each just beyond its range
        {{31, 2, 2027, 0, 0, 0}, {28, 2, 2027, 0, 0, 0}},         // a day the month lacks
        {{30, 2, 2028, 0, 0, 0}, {29, 2, 2028, 0, 0, 0}},         // ... in a leap year
        {{31, 4, 2030, 0, 0, 0}, {30, 4, 2030, 0, 0, 0}},
        {{0, 0, 2000, 0, 0, 0}, {1, 1, 2000, 0, 0, 0}},           // a clock never set
        {{5, 6, 1999, -1, 3, 4}, {5, 6, 2000, 0, 3, 4}},          // outside what the picker holds
    };
    for (const Case& c : cases) {
        const ModuleClockValue& r = c.reported;
        EXPECT_EQ(Parts(ShowableClock(c.reported)), c.shown)
            << r.day << "/" << r.month << "/" << r.year << " " << r.hour << ":" << r.minute << ":" << r.second;
    }
}

class ClockSetTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ConnectOverTcp();
    }
};

TEST_F(ClockSetTest, TheSetFrameCarriesTheClockAndTheModuleKeepsIt) {
    linkState().StationAddress[0] = 0;
    const ModuleClockValue clock{31, 12, 2255, 23, 59, 58};
    EXPECT_EQ(SetModuleClock(clock), ClockSetResult::Set);
    ASSERT_EQ(sim.Received().size(), 1);
    EXPECT_EQ(sim.Received()[0], WithChecksum({13, 0, 0, 0, 0, PKT_SET, CMD_DATE_TIME, 31, 12, 255, 23, 59, 58}));
    EXPECT_EQ(sim.DateTime(), Bytes({31, 12, 255, 23, 59, 58}));
    const ModuleClockValue& kept = target().ModuleClock;
    EXPECT_EQ(QList<int>({kept.day, kept.month, kept.year, kept.hour, kept.minute, kept.second}),
              QList<int>({31, 12, 2255, 23, 59, 58}));
}

TEST_F(ClockSetTest, AYearTheFrameCannotCarryIsRefusedBeforeAnythingChanges) {
    target().ModuleClock = {2, 3, 2024, 4, 5, 6};
    const QByteArray before = sim.DateTime();
    // 2256 would wrap round to 2000 in its byte, 1999 to 2255.
    for (int year : {2256, 1999}) {
        EXPECT_EQ(SetModuleClock({1, 1, int16_t(year), 0, 0, 0}), ClockSetResult::YearRefused) << year;
        EXPECT_TRUE(ClockYearRefusal(year).contains(QString::number(year)));
    }
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_EQ(sim.DateTime(), before);
    EXPECT_EQ(target().ModuleClock.year, 2024);
    EXPECT_EQ(target().ModuleClock.day, 2);
}

} // namespace

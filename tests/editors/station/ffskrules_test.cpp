// The FFSK port's rules without a window, at the edges the dialog's tests do not reach:
// every bit shown, the clamp's bounds, bits OK must keep, and the level's limits.
#include "editors/station/ffskrules.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TEST(FfskRulesTest, EachBitShowsInItsOwnControlAndBaudIsInverted) {
    FfskSettings s;
    s.Ccb1 = 0x40 | 2;
    s.Ccb2 = 0xF0 | 9;
    FfskForm f = FfskFormOf(s);
    EXPECT_TRUE(f.concPacket);
    EXPECT_EQ(f.protocol, 2);
    EXPECT_EQ(f.preamble, 9);
    EXPECT_EQ(f.gateType, 1);
    EXPECT_EQ(f.gatePolarity, 1);
    EXPECT_EQ(f.baud, 0) << "bit 6 set is 1200, the list's first item";
    EXPECT_EQ(f.pttPolarity, 1);
    s.Ccb1 = 0xBF;  // every bit but concatenation; protocol code 7, which the list lacks
    f = FfskFormOf(s);
    EXPECT_FALSE(f.concPacket);
    EXPECT_EQ(f.protocol, 7);
}

TEST(FfskRulesTest, TheChannelClearDelayIsClampedToItsFieldAndFractionsShowInMs) {
    FfskSettings s;
    const std::pair<double, long> cases[] = {{2, 50}, {4.9, 50}, {5, 50}, {15.5, 155}, {100, 1000}, {150, 1000}, {0, 50}};
    for (const auto& [stored, shown] : cases) {
        s.CdDelayTime = stored;
        EXPECT_EQ(FfskFormOf(s).cdDelay, shown) << stored;
    }
    s.PttStartDelay = 0.1;
    EXPECT_EQ(FfskFormOf(s).pttStartDelay, 10);
    s.RetryCount = 12;
    EXPECT_EQ(FfskFormOf(s).retryCount, 12) << "shown as it is; the dialog reports it";
}

TEST(FfskRulesTest, OkKeepsTheModulesBitsAndNeverLetsThePreambleReachTheListBits) {
    FfskSettings s;
    s.Ccb1 = 0xBF;  // bits 3-5 and 7 belong to the module
    s.Ccb2 = 0xFF;
    FfskForm f = FfskFormOf(s);
    f.concPacket = true;
    f.protocol = 1;
    f.preamble = 2;
    FfskSettings out = ComposeFfsk(s, f);
    EXPECT_EQ(out.Ccb1, 0xB8 | 0x40 | 1);
    EXPECT_EQ(out.Ccb2, 0xF2);

    // Every list set the other way; a count wider than four bits keeps to its own.
    f.pttPolarity = 0;
    f.gateType = 0;
    f.gatePolarity = 0;
    f.baud = 1;
    f.preamble = 16 + 4;
    out = ComposeFfsk(s, f);
    EXPECT_EQ(out.Ccb2, 4);

    // Lists without a choice keep their stored bits.
    s.Ccb1 = 0x05;
    s.Ccb2 = 0xA3;
    f = FfskForm{};
    f.preamble = 3;
    f.level = QStringLiteral("31");
    out = ComposeFfsk(s, f);
    EXPECT_EQ(out.Ccb1, 5);
    EXPECT_EQ(out.Ccb2, 0xA3);
}

TEST(FfskRulesTest, TheLevelLiesBetween1And31AndAnythingElseIsRefused) {
    const QString refusal = QStringLiteral("Level must be between 1 and 31, please re-enter.");
    for (const char* good : {"1", "31", "01", "3.5"}) EXPECT_EQ(LevelError(QString::fromLatin1(good)), "") << good;
    for (const char* bad : {"0", "32", "", "x", "0.5", "31.5"}) EXPECT_EQ(LevelError(QString::fromLatin1(bad)), refusal) << bad;
    EXPECT_EQ(LevelOf(QStringLiteral("3.5")), 3.5);
}

} // namespace

// Where the channel dialogs' up-downs land, over channels that are not fitted, and how
// many channels each kind offers on a Korvel with children and on a Pellar.
#include "model/model.h"
#include "model/target.h"
#include "editors/channels/outputrules.h"
#include "editors/channels/steprules.h"
#include "support/linkfixture.h"

namespace korvel::test {
namespace {

class StepRulesTest : public LinkFixture {
protected:
    void Korvel(int children) {
        target().PellarDevice = false;
        target().ChildCount = uint8_t(children);
    }
    void Pellar(int mask) {
        target().PellarDevice = true;
        target().ChildCount = 0;
        target().ExpansionBoardMask = int16_t(mask);
    }
    // Contact inputs first..last (1-based) not fitted, the others fitted.
    static void Unfit(int first, int last) {
        for (int c = 0; c < GROUPS * SLOTS; ++c)
            config().ContactInputTable[c / SLOTS].Present[c % SLOTS] = c + 1 < first || c + 1 > last;
    }
    static int Step(int shownNumber, int value) {
        const int index = StepChannel(shownNumber - 1, value, ChannelMaximum(ChannelKind::ContactInput),
                                      [](int i) { return ChannelFitted(ChannelKind::ContactInput, i); });
        return index + 1;
    }
};

TEST_F(StepRulesTest, EachKindOffersTheChannelsOfItsModulesOrBoards) {
    Korvel(0);
    EXPECT_EQ(ChannelMaximum(ChannelKind::Output), 8);
    EXPECT_EQ(ChannelMaximum(ChannelKind::ContactInput), 8);
    Korvel(3);
    EXPECT_EQ(ChannelMaximum(ChannelKind::Output), 32);
    EXPECT_EQ(ChannelMaximum(ChannelKind::AnalogInput), 32);
    EXPECT_EQ(ChannelMaximum(ChannelKind::TemperatureInput), 8);
    Korvel(200);  // no more groups than the tables hold
    EXPECT_EQ(ChannelMaximum(ChannelKind::Output), 64);

    // Contact boards 1 and 3, analog boards 1 and 3: board 3 stays reachable past the gap.
    Pellar(0x50 | 0x05);
    EXPECT_EQ(ChannelMaximum(ChannelKind::ContactInput), 32);
    EXPECT_EQ(ChannelMaximum(ChannelKind::AnalogInput), 32);
    EXPECT_EQ(ChannelMaximum(ChannelKind::Output), 8);
    Pellar(0);
    EXPECT_EQ(ChannelMaximum(ChannelKind::ContactInput), 8);
    EXPECT_FALSE(ChannelFitted(ChannelKind::Output, 64));
    EXPECT_FALSE(ChannelFitted(ChannelKind::ContactInput, -1));
}

TEST_F(StepRulesTest, StepsPassOverChannelsThatAreNotFittedInTheirDirection) {
    Korvel(2);
    Unfit(9, 16);
    EXPECT_EQ(Step(8, 9), 17);
    EXPECT_EQ(Step(17, 16), 8);
    EXPECT_EQ(Step(3, 4), 4);
    EXPECT_EQ(Step(4, 3), 3);
}

TEST_F(StepRulesTest, StepsWrapPastEitherEndInTheirDirection) {
    Korvel(2);
    Unfit(21, 24);
    EXPECT_EQ(Step(20, 21), 1) << "up past the last fitted input";
    EXPECT_EQ(Step(1, 24), 20) << "down from the first: the highest fitted input";
    Unfit(1, 2);
    EXPECT_EQ(Step(24, 1), 3) << "up past the last goes on upward, not back to the input left";
    EXPECT_EQ(Step(3, 2), 24) << "down past the first";
}

TEST_F(StepRulesTest, WithNothingFittedTheShownChannelStays) {
    Korvel(1);
    Unfit(1, 64);
    EXPECT_EQ(Step(5, 6), 5);
    EXPECT_EQ(Step(16, 1), 16);
}

TEST_F(StepRulesTest, TheLoadFailureMessageNamesTheChannelAsShown) {
    EXPECT_EQ(ChannelUnexpectedValueMessage(5),
              "An unexpected value was returned from the device for channel 5.\r\n"
              "Ensure the settings are correct and then upload the data to the device.\r\n");
}

TEST_F(StepRulesTest, OutputModesAreReadFromBitsFiveAndSix) {
    OutputGroupRecord g;
    const std::pair<uint8_t, std::optional<OutputModeItem>> cases[] = {
        {0x00, OutputModeItem::Latch}, {0x20, OutputModeItem::Latch}, {0x40, OutputModeItem::Pulse},
        {0xC5, OutputModeItem::Pulse}, {0x60, std::nullopt}};
    for (const auto& [flags, mode] : cases) {
        g.Flags[3] = flags;
        g.PulseWidth[3] = 25;
        const OutputView v = ViewOutput(g, 3);
        EXPECT_EQ(v.mode, mode) << int(flags);
        EXPECT_EQ(v.normallyOpen, (flags & 0x80) != 0) << int(flags);
        EXPECT_EQ(v.pulseWidthMs, 250);
    }
}

TEST_F(StepRulesTest, StoringAnOutputChangesOnlyItsStateModeAndWidth) {
    OutputGroupRecord g;
    g.Flags[2] = 0x1F;
    StoreOutput(g, 2, true, OutputModeItem::Pulse, 120);
    EXPECT_EQ(g.Flags[2], 0xDF);
    EXPECT_EQ(g.PulseWidth[2], 12);
    StoreOutput(g, 2, false, OutputModeItem::Latch, 0);
    EXPECT_EQ(g.Flags[2], 0x1F);
    EXPECT_EQ(g.PulseWidth[2], 0);
    g.Flags[2] = 0x60;
    StoreOutput(g, 2, false, std::nullopt, 50);
    EXPECT_EQ(g.Flags[2], 0x60) << "no mode chosen keeps the stored one";
    for (auto [ms, stored] : std::vector<std::pair<long, int>>{{15, 2}, {25, 2}, {35, 4}, {2550, 255}, {9999, 255}}) {
        StoreOutput(g, 2, false, OutputModeItem::Pulse, ms);
        EXPECT_EQ(g.PulseWidth[2], stored) << ms;
    }
    for (int s : {0, 1, 3, 4, 5, 6, 7}) EXPECT_EQ(g.Flags[s] | g.PulseWidth[s], 0) << s;
}

} // namespace
} // namespace korvel::test

// What the contact input dialog reads of an input's record and writes back, and the
// output it turns from a pulse into a latch.
#include "editors/channels/inputrules.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TEST(InputRules, EveryFlagsByteSurvivesAViewAndAStoreButTheUnusedFunctionCode) {
    for (int flags = 0; flags < 256; ++flags) {
        ContactInputGroupRecord g;
        g.Flags[5] = uint8_t(flags);
        g.Hold[5] = 200;
        g.LocalOutput[5] = 8;
        g.LocalOutputDelay[5] = 17;
        g.DestStation[3][5] = 255;
        g.DestChannel[0][5] = 64;
        const ContactInputGroupRecord before = g;
        StoreInputChannel(g, 5, ViewInputChannel(g, 5), false);
        const int expected = (flags & 3) == 2 ? flags & ~3 : flags;  // 2 shows as NORMAL
        ASSERT_EQ(g.Flags[5], expected) << flags;
        EXPECT_EQ(0, memcmp(&g.Hold, &before.Hold, sizeof g - offsetof(ContactInputGroupRecord, Hold)));
    }
}

TEST(InputRules, StoresHoldNumbersToTheirFieldsAndAPellarToNoDelay) {
    ContactInputGroupRecord g;
    InputChannelValues v;
    v.delay = 40;
    v.destStation[1] = 999;  // what no check let through still fits its byte
    v.destChannel[2] = 300;
    v.setReset = SetResetItem::Set;
    StoreInputChannel(g, 0, v, true);
    EXPECT_EQ(g.LocalOutputDelay[0], 0);
    EXPECT_EQ(g.DestStation[1][0], 255);
    EXPECT_EQ(g.DestChannel[2][0], 255);
    EXPECT_EQ(g.Flags[0], 3);
    v.setReset = SetResetItem::Reset;
    StoreInputChannel(g, 0, v, false);
    EXPECT_EQ(g.LocalOutputDelay[0], 40);
    EXPECT_EQ(g.Flags[0], 1);
}

TEST(InputRules, OnlyAPulseModeIsLatchedAndOnlyItsModeBitsChange) {
    OutputGroupRecord g;
    g.Flags[2] = 0xC0;
    g.Flags[3] = 0x9F;  // a latch with bits of its own
    g.Flags[4] = 0x65;
    EXPECT_TRUE(LatchAssignedOutput(g, 3));
    EXPECT_EQ(g.Flags[2], 0x80);
    EXPECT_FALSE(LatchAssignedOutput(g, 4));
    EXPECT_EQ(g.Flags[3], 0x9F);
    EXPECT_TRUE(LatchAssignedOutput(g, 5));
    EXPECT_EQ(g.Flags[4], 0x05);
    EXPECT_FALSE(LatchAssignedOutput(g, 0));
    EXPECT_FALSE(LatchAssignedOutput(g, 9));
    EXPECT_EQ(LatchedOutputMessage(3),
              "The assigned output (3) mode was set to PULSE mode.\r\nIt has now been set to LATCH");
}

} // namespace

#include "model/model.h"
#include "model/target.h"
#include "support/modelfixture.h"

using namespace korvel;
using namespace korvel::test;

namespace {

using ModelTest = ModelFixture;

TEST_F(ModelTest, ChannelGroupAndSlot) {
    EXPECT_EQ(GetChannelGroup(0), 0);
    EXPECT_EQ(GetChannelGroup(7), 0);
    EXPECT_EQ(GetChannelGroup(8), 1);
    EXPECT_EQ(GetChannelGroup(63), 7);
    EXPECT_EQ(GetChannelGroup(-1), 0);
    EXPECT_EQ(GetChannelGroup(64), 0);
    EXPECT_EQ(GetChannelSlot(9), 1);
    EXPECT_EQ(GetChannelSlot(63), 7);
    EXPECT_EQ(GetChannelSlot(64), 0);
    EXPECT_EQ(GetChannelSlot(-9), 0);
}

TEST_F(ModelTest, NamedSystemValues) {
    EXPECT_STREQ(SystemValueName(0), "MyAddress");
    EXPECT_STREQ(SystemValueName(25), "FFSK_OutputLevel");
    EXPECT_STREQ(SystemValueName(42), "FFSK_PTTHangDelay");
    EXPECT_STREQ(SystemValueName(43), "");
    EXPECT_EQ(SystemValueDefault(21), 196);
    EXPECT_EQ(SystemValueDefault(33), 65);
    EXPECT_EQ(SystemValueDefault(40), 88);
}

// Fills every group with values a module might have sent.
void FillAsIfRead() {
    StationConfig& c = config();
    for (int i = 0; i < SYSTEM_ELEMENTS; ++i) c.SystemConfig[i] = 200;
    c.SystemBlockTrailer = 0x4321;
    c.TempBlockTrailer = 0x1111;
    for (int g = 0; g < GROUPS; ++g) {
        for (int s = 0; s < SLOTS; ++s) {
            c.ContactInputTable[g].Flags[s] = 0x99;
            c.ContactInputTable[g].Reserved[s] = 0x55;
            c.ContactInputTable[g].Present[s] = false;
            c.AnalogConfigTable[g].Flags[s] = 0x99;
            c.AnalogConfigTable[g].Modifier[s] = 0x2C;
            c.AnalogConfigTable[g].LiveValue[s] = 321;
            c.AnalogConfigTable[g].HighThreshold[s] = 800;
            c.OutputConfigTable[g].PulseWidth[s] = 9;
        }
        c.ContactInputTable[g].BlockTrailer = 0x2222;
        c.OutputConfigTable[g].BlockTrailer = 0x3333;
    }
    c.FleetSyncConfig.TempTag[7] = "Old";
    c.NmeaConfig.Custom = "Old";
}

TEST_F(ModelTest, DefaultsResetOnlyTheGroupsThatExist) {
    for (int children : {0, 3, 7}) {
        ResetStationConfig();
        target().ChildCount = static_cast<uint8_t>(children);
        FillAsIfRead();
        SetDefaultConfiguration();
        const StationConfig& c = config();
        for (int g = 0; g < GROUPS; ++g) {
            const bool reset = g <= children;
            SCOPED_TRACE(testing::Message() << children << " children, group " << g);
            EXPECT_EQ(c.ContactInputTable[g].Flags[5], reset ? 0x40 : 0x99);
            EXPECT_EQ(c.ContactInputTable[g].Present[5], reset);
            EXPECT_EQ(c.AnalogConfigTable[g].Flags[5], reset ? 9 : 0x99);
            EXPECT_EQ(c.AnalogConfigTable[g].HighThreshold[5], reset ? 1024 : 800);
            EXPECT_EQ(c.AnalogConfigTable[g].LowHold[5], reset ? 1 : 0);
            EXPECT_EQ(c.OutputConfigTable[g].PulseWidth[5], reset ? 0 : 9);
            // What only travels with the blocks is never reset.
            EXPECT_EQ(c.ContactInputTable[g].Reserved[5], 0x55);
            EXPECT_EQ(c.ContactInputTable[g].BlockTrailer, 0x2222);
            EXPECT_EQ(c.OutputConfigTable[g].BlockTrailer, 0x3333);
            EXPECT_EQ(c.AnalogConfigTable[g].Modifier[5], 0x2C);
            EXPECT_EQ(c.AnalogConfigTable[g].LiveValue[5], 321);
        }
        EXPECT_EQ(c.SystemConfig[1], 48);
        EXPECT_EQ(c.SystemConfig[42], 10);
        EXPECT_EQ(c.SystemConfig[43], 200) << "the module's unnamed elements go back unchanged";
        EXPECT_EQ(c.SystemConfig[161], 200);
        EXPECT_EQ(c.SystemBlockTrailer, 0x4321);
        EXPECT_EQ(c.TempBlockTrailer, 0x1111);
        EXPECT_EQ(c.FleetSyncConfig.Ccb1, 0x81);
        EXPECT_EQ(c.FleetSyncConfig.FleetNumber[2], 100);
        EXPECT_EQ(c.FleetSyncConfig.IDNumber[2], 1000);
        EXPECT_EQ(c.FleetSyncConfig.TempTag[7], "");
        EXPECT_EQ(c.NmeaConfig.ReportTime, 60);
        EXPECT_EQ(c.NmeaConfig.Custom, "");
    }
}

TEST_F(ModelTest, TemperatureDefaultsFollowTheTarget) {
    SetDefaultConfiguration();
    EXPECT_EQ(config().TempConfigTable[0].LowThreshold, 0);
    EXPECT_EQ(config().TempConfigTable[7].HighThreshold, 50);
    EXPECT_EQ(config().TempConfigTable[7].Flags, 1);
    target().PellarDevice = true;
    SetDefaultConfiguration();
    EXPECT_EQ(config().TempConfigTable[0].LowThreshold, 111);
    EXPECT_EQ(config().TempConfigTable[7].HighThreshold, 161);
    EXPECT_TRUE(config().ContactInputTable[0].Present[0]);
    EXPECT_FALSE(config().ContactInputTable[1].Present[0]) << "a Pellar without children resets group 0 only";
}

} // namespace

// The system values' rules and the station list, without a window.
#include "model/model.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "editors/station/stationinfo.h"
#include "editors/station/systemrules.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

class StationInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTargetState();
        ResetSessionState();
        ResetStationConfig();
        linkState().StationAddress[0] = 0;
        session().Online = 1;
        config().SystemConfig[MY_ADDRESS] = 1;
    }
    void TearDown() override { ResetTargetState(); ResetSessionState(); ResetStationConfig(); }
    static QStringList Lines() { return DescribeStation().lines; }
};

TEST_F(StationInfoTest, KorvelOnLineListsFirmwareOptionsSensorsAndChildren) {
    TargetState& t = target();
    t.TargetFirmwareVersion = 0x35;
    t.TargetOptions = 3;
    t.TempSensorInfo = 0b101;
    t.ChildCount = 2;
    t.ChildModuleList[0].FirmwareVersion = 0x34;
    t.ChildModuleList[1].FirmwareVersion = 0x34;
    const StationInfo info = DescribeStation();
    EXPECT_EQ(info.caption, "System Configuration, Station: Local(001)");
    EXPECT_EQ(info.lines, (QStringList{"FIRMWARE VERSION: 3.5", "OPTIONS PRESENT:", "DUAL RS232; FFSK/LINE; ",
                                       "TEMPERATURE SENSORS FOUND: ", "SENSOR [1]", "SENSOR [3]",
                                       "CHILD MODULES PRESENT: 2", "CHILD 1 FIRMWARE VERSION: 3.4",
                                       "CHILD 2 FIRMWARE VERSION: 3.4"}));
    EXPECT_FALSE(info.pellarPaths);
}

TEST_F(StationInfoTest, KorvelWithoutChildrenOrOptionsAndWithSevenChildren) {
    target().TargetFirmwareVersion = 0x3A;  // minor nibble in decimal
    target().TargetOptions = 4;
    EXPECT_EQ(Lines(), (QStringList{"FIRMWARE VERSION: 3.10", "OPTIONS PRESENT:", "10BASE-T",
                                    "TEMPERATURE SENSORS FOUND:  NONE", "CHILD MODULES PRESENT: 0"}));

    target().TargetOptions = 0;
    target().ChildCount = 7;
    for (int k = 0; k < 7; ++k) target().ChildModuleList[k].FirmwareVersion = uint8_t(0x30 + k);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[2], "") << "no option: an empty line";
    EXPECT_EQ(lines[4], "CHILD MODULES PRESENT: 7");
    EXPECT_EQ(lines[5], "CHILD 1 FIRMWARE VERSION: 3.0");
    EXPECT_EQ(lines[11], "CHILD 7 FIRMWARE VERSION: 3.6");
}

TEST_F(StationInfoTest, ChildAddressRemoteCaptionAndACountBeyondTheList) {
    target().ExpansionBoardMask = 5;
    target().ChildCount = 1;
    linkState().StationAddress[0] = 12;
    const StationInfo info = DescribeStation();
    EXPECT_EQ(info.caption, "System Configuration, Station: 012");
    EXPECT_EQ(info.lines[4], "CHILD MODULE, ADDRESS: 5");
    EXPECT_EQ(info.lines[5], "CHILD 1 FIRMWARE VERSION: 0.0");

    target().ChildCount = 15;  // a 4-bit count from the module; the list holds 8
    EXPECT_EQ(Lines().size(), 5 + 8);
}

TEST_F(StationInfoTest, OffLineKorvelAndPellar) {
    session().Online = 0;
    target().ChildCount = 3;
    StationInfo info = DescribeStation();
    EXPECT_EQ(info.caption, "System Configuration, Station: ");
    EXPECT_EQ(info.lines, (QStringList{"OFFLINE EDIT", "CHILD MODULES = 3"}));
    target().PellarDevice = true;
    info = DescribeStation();
    EXPECT_EQ(info.lines, QStringList{"OFFLINE EDIT"});
    EXPECT_TRUE(info.pellarPaths);
}

TEST_F(StationInfoTest, PellarListsItsVersionAndExpansionBoards) {
    TargetState& t = target();
    t.PellarDevice = true;
    t.PellarVersion[0] = 2;
    t.PellarVersion[1] = 1;
    t.PellarVersion[2] = 0;
    t.PellarVersion[3] = 14;
    t.ExpansionBoardMask = 0x21;
    EXPECT_EQ(Lines(), (QStringList{"FIRMWARE VERSION: 2.1.0.14 [Pellar]", "OPTIONS PRESENT:", "",
                                    "TEMPERATURE SENSORS FOUND:  NONE", "ANALOG EXPANSIONS FOUND: ",
                                    "        Device 1 [Analogs 9-16]", "CONTACT INPUT EXPANSIONS FOUND: ",
                                    "        Device 2 [Contact Inputs 17-24]"}));
    t.ExpansionBoardMask = 0xFF;
    const QStringList all = Lines();
    ASSERT_EQ(all.size(), 4 + 1 + 4 + 1 + 4);
    EXPECT_EQ(all[8], "        Device 4 [Analogs 33-40]");
    EXPECT_EQ(all[13], "        Device 4 [Contact Inputs 33-40]");
    t.ExpansionBoardMask = 0;
    EXPECT_EQ(Lines().mid(4), (QStringList{"ANALOG EXPANSIONS FOUND:  NONE", "CONTACT INPUT EXPANSIONS FOUND:  NONE"}));
}

TEST(HintPanelTest, TextsByModeOrByKindOnAPellar) {
    EXPECT_EQ(HintPanelText(0, 1, false, false),
              "Module Mode: SLAVE NOMAPPING. Destination station and output mapping is not available "
              "in this mode. SLAVE NOMAPPING mode is used when the receipient of SLAVE messages is a master "
              "station and Vistrel monitoring software.");
    EXPECT_EQ(HintPanelText(1, 0, false, true),
              "Module Mode: SLAVE INPUTMAPPING. All event messages will be sent to a master station with an address "
              "of zero. Set the masters destination output that any change of status is to go to. Use this "
              "this mode when configuring Korvel to Korvel communication.");
    EXPECT_EQ(HintPanelText(2, 0, false, true),
              "FleetSync Mode: The STATION Address entered (1-255) will be added to "
              "the base ID address specified in the Master/Base Radio Fleet/ID field to form the final radio ID. "
              "The output entered will be the output that receives a status change at the destination Korvel.");
    EXPECT_EQ(HintPanelText(2, 2, false, false),
              "Module Mode: MASTER, Enter up to four destination station address's (1-255) and sub module outputs "
              "that this module will send a change of status to.  Leave the unused maps as 0.");
    EXPECT_EQ(HintPanelText(3, 0, false, false),
              "Module Mode = GATEWAY, no is mapping available in this mode. Use this mode when setting up a master "
              "station with Vistrel monitoring software.");
    EXPECT_EQ(HintPanelText(4, 0, false, false), "");
    EXPECT_EQ(HintPanelText(2, 0, true, false), "Set all channel parameters before enabling the input.");
    EXPECT_EQ(HintPanelText(0, 1, true, false),
              "Analog inputs require the proper configuration of hardware jumpers to match the 0-5.00V, 0-25.0V "
              "and USER ranges as selected.");
    EXPECT_EQ(HintPanelText(0, 2, true, false), "");
}

TEST(SystemRulesTest, AddressLimitsPerMode) {
    const struct {
        int mode;
        long good[2], bad[2];
    } cases[] = {{0, {1, 254}, {0, 255}}, {1, {1, 254}, {0, 255}}, {2, {0, 255}, {-1, 256}}, {3, {0, 0}, {1, 255}}};
    for (const auto& c : cases) {
        for (long a : c.good) EXPECT_EQ(StationAddressError(c.mode, a), "") << c.mode << " " << a;
        for (long a : c.bad) EXPECT_NE(StationAddressError(c.mode, a), "") << c.mode << " " << a;
    }
    EXPECT_EQ(StationAddressError(0, 0), "Error, Slave mode: Address must be between 1 and 254, please renter");
    EXPECT_EQ(StationAddressError(2, 256), "Error, Master mode: Address must be between 0 and 255, please renter");
    EXPECT_EQ(StationAddressError(3, 7), "Error, Gateway mode: Address must be 0, please renter");
    EXPECT_EQ(StationAddressError(-1, 999), "");
}

TEST(SystemRulesTest, SleepPeriodRepairAndModuleModeBits) {
    SystemSettings s;
    for (double bad : {0.0, 61.0, 64.0 + 63, 128.0}) {
        s.FFSK_Ccb3 = bad;
        EXPECT_TRUE(RepairFfskCcb3(s));
        EXPECT_EQ(s.FFSK_Ccb3, 1);
    }
    s.FFSK_Ccb3 = 128 + 60;
    EXPECT_FALSE(RepairFfskCcb3(s));
    EXPECT_EQ(ComposeModuleMode(0x35, 2, 0), 0x12);
    EXPECT_EQ(ComposeModuleMode(0x35, 2, -1), 0x02) << "no path: bits 4-7 are 0";
    EXPECT_EQ(ComposeModuleMode(0x3D, -1, 3), 0x4D) << "no mode chosen keeps the stored one";
}

class SystemOkTest : public ::testing::Test {
protected:
    SystemSettings staged;
    SystemForm form;
    void SetUp() override {
        staged.StartUpOptions = 0x3E;  // bits OK leaves alone: 1-5
        staged.SampleTime = 65;
        staged.Radio1Fleet = 100;
        staged.Radio1Id = 1000;
        form.address = 7;
        form.mode = 0;
        form.path = 1;
        form.startUpDelay = 12;
        form.cycle = 5;
        form.cycleUpDown = 9;
        form.periodUnit = 1;
        form.sleepReturn = 30;
    }
};

TEST_F(SystemOkTest, ComposesEveryValueAndKeepsOtherOptionBits) {
    form.powerUpStatus = true;
    form.cosWakeUp = true;
    const SystemOkOutcome out = ApplySystemOk(staged, form, false);
    ASSERT_EQ(out.stop, SystemOkOutcome::None);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(out.settings.MyAddress, 7);
    EXPECT_EQ(out.settings.ModuleMode, 0x20);
    EXPECT_EQ(out.settings.StartUpDelay, 12);
    EXPECT_EQ(out.settings.StartUpOptions, 0x3E | 0x01 | 0x40);
    EXPECT_EQ(out.settings.SleepTime, 5 + 64);
    EXPECT_EQ(out.settings.FFSK_Ccb3, 9 + 64);
    EXPECT_EQ(out.settings.SleepReturn, 30);
    form.periodUnit = 2;
    EXPECT_EQ(ApplySystemOk(staged, form, false).settings.FFSK_Ccb3, 9 + 128);
}

TEST_F(SystemOkTest, AFleetSyncPort2RefusesInputMappingAndGateway) {
    for (int mode : {1, 3}) {
        form.mode = mode;
        const SystemOkOutcome out = ApplySystemOk(staged, form, true);
        EXPECT_EQ(out.stop, SystemOkOutcome::FleetSyncMode);
        ASSERT_EQ(out.messages.size(), 1);
        EXPECT_EQ(out.messages[0], "Port 2 protocol is currently set to FLEETSYNC.\n\r"
                                   "Module mode must be set to either SLAVE-NOMAPPING or MASTER.\n\r"
                                   "Module mode will be defaulted to SLAVE-NOMAPPING.");
        EXPECT_EQ(ApplySystemOk(staged, form, false).stop, SystemOkOutcome::None) << mode;
    }
    form.mode = 2;
    EXPECT_EQ(ApplySystemOk(staged, form, true).stop, SystemOkOutcome::None);
}

TEST_F(SystemOkTest, BroadcastRadioAddressesGetDefaultsOutsideSlaveNoMapping) {
    staged.Radio1Id = 0;
    EXPECT_TRUE(ApplySystemOk(staged, form, false).messages.isEmpty()) << "mode 0 leaves them";
    EXPECT_EQ(staged.Radio1Id, 0);
    form.mode = 2;
    const SystemOkOutcome out = ApplySystemOk(staged, form, false);
    ASSERT_EQ(out.messages.size(), 1);
    EXPECT_EQ(out.messages[0], "FLEETSYNC Radio 1 Properties contains broadcast address's,\n\r"
                               "and Module mode is set to other than SLAVE-NOMAPPING.\n\r"
                               "FLEETSYNC Radio 1 Properties will be defaulted to Fleet 100 and ID 1000.");
    EXPECT_EQ(out.stop, SystemOkOutcome::None);
    EXPECT_EQ(out.settings.Radio1Fleet, 100);
    EXPECT_EQ(out.settings.Radio1Id, 1000);
    EXPECT_EQ(staged.Radio1Id, 1000) << "kept for the next OK";
}

TEST_F(SystemOkTest, ASleepLongerThanTheSampleTimeRaisesItAndStopsOnce) {
    staged.SampleTime = 1;
    form.powerSave = true;
    form.cycle = 1;  // 1 minute = 65
    SystemOkOutcome out = ApplySystemOk(staged, form, false);
    EXPECT_EQ(out.stop, SystemOkOutcome::SampleTimeRaised);
    ASSERT_EQ(out.messages.size(), 1);
    EXPECT_EQ(out.messages[0], "Sleep time is greater than the value set in the logger sample time.\n\r"
                               "Logger sample time has been increased to the same value as sleep time.");
    EXPECT_EQ(staged.SampleTime, 65);
    out = ApplySystemOk(staged, form, false);
    EXPECT_EQ(out.stop, SystemOkOutcome::None);
    EXPECT_EQ(out.settings.SampleTime, 65);
    EXPECT_EQ(out.settings.StartUpOptions, 0x3E | 0x80);

    staged.SampleTime = 1;
    form.powerSave = false;
    EXPECT_EQ(ApplySystemOk(staged, form, false).stop, SystemOkOutcome::None) << "only with power save";
}

TEST(SystemSettingsTest, TakeAndPutTouchOnlyTheSystemDialogsValues) {
    StationConfig c;
    SetDefaultConfiguration(c);
    c.FleetSyncConfig.FleetNumber[1] = 77;
    SystemSettings s = TakeSystemSettings(c);
    EXPECT_EQ(s.SleepTime, 65);
    s.SleepTime = 3;
    s.Radio1Fleet = 9;
    StationConfig after = c;
    PutSystemSettings(s, after);
    EXPECT_EQ(after.SystemConfig[SLEEP_TIME], 3);
    EXPECT_EQ(after.FleetSyncConfig.FleetNumber[0], 9);
    after.SystemConfig[SLEEP_TIME] = c.SystemConfig[SLEEP_TIME];
    after.FleetSyncConfig.FleetNumber[0] = c.FleetSyncConfig.FleetNumber[0];
    EXPECT_EQ(memcmp(after.SystemConfig, c.SystemConfig, sizeof c.SystemConfig), 0);
    EXPECT_EQ(after.FleetSyncConfig.FleetNumber[1], 77);
}

} // namespace

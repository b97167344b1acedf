// The FleetSync settings' rules without a window: the radio boxes' checks, the permitted
// mobiles' answers, what OK composes, and which raw messages can travel.
#include "model/model.h"
#include "model/systemvalues.h"
#include "editors/station/fleetsyncrules.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QString kFleetRange = QStringLiteral("Fleet number must be zero or, between 100 and 349, please renter");
const QString kIdRange = QStringLiteral("ID number must be zero or, between 1000 and 4999, please renter");

TEST(FleetSyncBoxes, RangeRefusalsEmptyTheBoxAndBeepBroadcastIsRefusedOnlyForTheMastersBase) {
    for (const char* refused : {"99", "350", "001", "9999"}) {
        const BoxVerdict v = CheckFleetBox(QString::fromLatin1(refused), 1, false);
        EXPECT_FALSE(v.accepted) << refused;
        EXPECT_TRUE(v.beep && v.resetText && v.text.isEmpty()) << refused;
        EXPECT_EQ(v.message, kFleetRange) << refused;
    }
    for (const char* accepted : {"100", "0349", "000"}) {
        const BoxVerdict v = CheckFleetBox(QString::fromLatin1(accepted), 0, false);
        EXPECT_TRUE(v.accepted && v.message.isEmpty() && !v.resetText) << accepted;
    }
    EXPECT_TRUE(CheckFleetBox(QStringLiteral("000"), 1, true).accepted) << "radio 2 of a master may broadcast";
    EXPECT_TRUE(CheckIdBox(QStringLiteral("0"), 2, true).accepted);

    const BoxVerdict base = CheckFleetBox(QStringLiteral("0"), 0, true);
    EXPECT_FALSE(base.accepted);
    EXPECT_FALSE(base.beep);
    EXPECT_EQ(base.text, "100");
    EXPECT_EQ(base.message, "Invalid Fleet number for configuration! Fleet number cannot be zero (broadcast) when "
                            "configured in master mode,\n\rplease renter a valid Fleet number between 100 and 349");

    const BoxVerdict id = CheckIdBox(QStringLiteral("5000"), 0, false);
    EXPECT_FALSE(id.accepted);
    EXPECT_EQ(id.message, kIdRange);
    EXPECT_EQ(CheckIdBox(QStringLiteral("999"), 1, true).message, kIdRange);
    EXPECT_TRUE(CheckIdBox(QStringLiteral("4999"), 0, true).accepted);
    const BoxVerdict idBase = CheckIdBox(QStringLiteral("0000"), 0, true);
    EXPECT_EQ(idBase.text, "1000");
    EXPECT_EQ(idBase.message, "Invalid ID number for configuration! ID 'base' number cannot be zero (broadcast) when "
                              "configured in master mode,\n\rplease renter a valid ID base number between 1000 and 4999");
}

TEST(FleetSyncBoxes, AnEmptyBoxBecomesBroadcastWhichTheMastersBaseThenRefuses) {
    const BoxVerdict slave = CheckIdBox(QString(), 0, false);
    EXPECT_TRUE(slave.accepted);
    EXPECT_TRUE(slave.resetText);
    EXPECT_EQ(slave.text, "0000");
    EXPECT_TRUE(slave.message.isEmpty());
    const BoxVerdict master = CheckFleetBox(QString(), 0, true);
    EXPECT_FALSE(master.accepted);
    EXPECT_EQ(master.text, "100");
}

TEST(FleetSyncMobiles, EachRefusalHasItsMessageInTheOrderTheyAreTested) {
    const std::pair<const char*, const char*> cases[] = {
        {"100-1234", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"1000:1234", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"1a0:1234", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"100:12x4", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"100:", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"350:0999", "Fleet number is higher than 349, click OK and re-enter"},
        {"099:1234", "Fleet number must be between 100 and 349, click OK and re-enter"},
        {"100:5000", "ID number is higher than 4999, click OK and re-enter"},
        // The whole ID is read: its first four digits alone would pass.
        {"100:12345", "ID number is higher than 4999, click OK and re-enter"},
        {"100:99999999999999999999", "ID number is higher than 4999, click OK and re-enter"},
        {"349:999", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {"100:999999999", "ID number is higher than 4999, click OK and re-enter"},
        {"100:000000999", "ID number must be between 1000 and 4999, click OK and re-enter"},
    };
    for (const auto& [answer, message] : cases)
        EXPECT_EQ(ParseMobile(QString::fromLatin1(answer)).message, message) << answer;

    const MobileEntry e = ParseMobile(QStringLiteral("349:04999"));
    ASSERT_TRUE(e.accepted());
    EXPECT_EQ(MobileLine(e.fleet, e.id), "349:4999");
    EXPECT_EQ(MobileLine(100, 1000), "100:1000");
}

TEST(FleetSyncMobiles, StoredSlotsListInOrderSkippingEmptyOnesAndLongNumbersStayWhole) {
    FleetSyncSettings s;
    s.SecurityFleet[0] = 120;
    s.SecurityIDNumber[0] = 1001;
    s.SecurityIDNumber[1] = 2222;  // no fleet: an empty slot
    s.SecurityFleet[19] = 23456;
    s.SecurityIDNumber[19] = 7;
    EXPECT_EQ(MobileLines(s), (QStringList{"120:1001", "23456:0007"}));
}

class FleetSyncOk : public ::testing::Test {
protected:
    void SetUp() override {
        s.Ccb1 = 0xFF;
        s.Ccb2 = 0x12;
        s.ReportTime = 0x03;
        for (int k = 0; k < FS_MOBILES; ++k) {
            s.SecurityFleet[k] = 300;
            s.SecurityIDNumber[k] = 3000 + k;
        }
        form.mobiles = QStringList{"101:1001", "23456:31234"};
    }
    FleetSyncSettings s;
    FleetSyncForm form;
};

TEST_F(FleetSyncOk, OnlyTheEditedBitsChangeAndTheListedMobilesFillTheSlotsFromTheFirst) {
    form.radio3 = true;
    form.enableAll = true;
    form.fleet[2] = 349;
    form.id[0] = 4999;
    form.inputOn[7] = QString::fromLatin1("On \xE9");
    ApplyFleetSyncForm(form, s);
    EXPECT_EQ(s.Ccb1, 0x3D) << "bits 0, 3, 4 and 5 kept, radio 3 on, the rest off";
    EXPECT_EQ(s.Ccb2, 0x12);
    EXPECT_EQ(s.FleetNumber[2], 349);
    EXPECT_EQ(s.IDNumber[0], 4999);
    EXPECT_EQ(s.InputTagOn[7], QByteArray("On \xE9"));
    EXPECT_EQ(s.SecurityFleet[0], 101);
    EXPECT_EQ(s.SecurityIDNumber[0], 1001);
    EXPECT_EQ(s.SecurityFleet[1], 23456);
    EXPECT_EQ(s.SecurityIDNumber[1], 31234);
    for (int k = 2; k < FS_MOBILES; ++k) EXPECT_EQ(s.SecurityFleet[k] + s.SecurityIDNumber[k], 0) << k;

    s.Ccb1 = 0;
    form = FleetSyncForm{};
    form.radio2 = form.monitored = true;
    ApplyFleetSyncForm(form, s);
    EXPECT_EQ(s.Ccb1, 0xC2) << "security list in force unless all are enabled";
    EXPECT_EQ(s.SecurityFleet[0], 0);
}

TEST_F(FleetSyncOk, ThePeriodIsTheListIndexWithTheAckBitAndAnUnlistedIndexIsKept) {
    form.manualAck = true;
    form.period = 2;
    ApplyFleetSyncForm(form, s);
    EXPECT_EQ(s.ReportTime, 130);

    s.ReportTime = 0x80 + 9;
    form.manualAck = false;
    form.period = -1;
    ApplyFleetSyncForm(form, s);
    EXPECT_EQ(s.ReportTime, 9);
    form.manualAck = true;
    ApplyFleetSyncForm(form, s);
    EXPECT_EQ(s.ReportTime, 0x89);
}

TEST(FleetSyncView, TheStationIsReadFromTheModeAndPortOneAndSwitchedOffBitsShowOff) {
    StationConfig c;
    c.SystemConfig[MODULE_MODE] = 0x22;
    c.SystemConfig[SPORT1_CCB2] = 0x35;
    FleetSyncView v = FleetSyncViewOf(c);
    EXPECT_TRUE(IsMasterStation(v));
    EXPECT_TRUE(Port1RunsNmea(v));
    c.SystemConfig[MODULE_MODE] = 0x10;
    c.SystemConfig[SPORT1_CCB2] = 0x15;
    v = FleetSyncViewOf(c);
    EXPECT_FALSE(IsMasterStation(v));
    EXPECT_FALSE(Port1RunsNmea(v));

    FleetSyncSettings s;
    s.Ccb1 = 0xFF;
    v.ccb1Cleared = 0x47;
    EXPECT_EQ(ShownFleetSync(s, v).Ccb1, 0xB9) << "only the dialog's own bits are switched off";
}

TEST(FleetSyncRaw, AMessageMustFitTheLengthByteAndBeSingleByteText) {
    EXPECT_TRUE(RawMessageRefusal(QString(245, u'A')).isEmpty());
    EXPECT_TRUE(RawMessageRefusal(QString::fromLatin1("\x01\xE9\xFF")).isEmpty());
    EXPECT_EQ(RawMessageRefusal(QString(246, u'A')),
              "The raw FleetSync message is too long: at most 245 characters fit in one frame.");
    EXPECT_EQ(RawMessageRefusal(QStringLiteral("price \u20AC5")),
              "The raw FleetSync message can hold single-byte (Latin-1) characters only.");
}

} // namespace

// The status monitor's rules without a window: the group selector of a Pellar's boards,
// the analog and temperature meter texts, and the output switch as the module gets it.
#include "model/analogcodes.h"
#include "model/model.h"
#include "model/target.h"
#include "link/frame.h"
#include "support/simfixture.h"
#include "monitor/statusrules.h"

#include <QSet>

using namespace korvel;
using namespace korvel::test;

namespace {

class StatusRulesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetTargetState(); }
    void TearDown() override { ResetTargetState(); }
    static void Pellar(int mask) {
        target().PellarDevice = true;
        target().ExpansionBoardMask = int16_t(mask);
    }
};

TEST_F(StatusRulesTest, AKorvelNeverOffersTheSelectorAndShowsItsMainModule) {
    target().ChildCount = 3;
    for (StatusView v : {StatusView::ContactInputs, StatusView::Outputs, StatusView::Analogs, StatusView::Temperatures}) {
        EXPECT_FALSE(GroupSelectorShown(v)) << int(v);
        EXPECT_EQ(GetSelectedGroup(v, 0), 0) << int(v);
    }
}

TEST_F(StatusRulesTest, APellarOffersEachViewItsOwnBoards) {
    Pellar(0x20);  // contact input board 2 only: one position after the main board's
    EXPECT_TRUE(GroupSelectorShown(StatusView::ContactInputs));
    EXPECT_EQ(GroupSelectorMaximum(StatusView::ContactInputs), 1);
    EXPECT_EQ(GetSelectedGroup(StatusView::ContactInputs, 1), 2);
    EXPECT_FALSE(GroupSelectorShown(StatusView::Analogs));
    EXPECT_FALSE(GroupSelectorShown(StatusView::Outputs));
    EXPECT_FALSE(GroupSelectorShown(StatusView::Temperatures));

    Pellar(0x08);  // analog board 4 only
    EXPECT_TRUE(GroupSelectorShown(StatusView::Analogs));
    EXPECT_FALSE(GroupSelectorShown(StatusView::ContactInputs));

    Pellar(0xFF);  // every board: still none for outputs and temperatures
    EXPECT_FALSE(GroupSelectorShown(StatusView::Outputs));
    EXPECT_FALSE(GroupSelectorShown(StatusView::Temperatures));
    EXPECT_EQ(GetSelectedGroup(StatusView::Outputs, 3), 0);
    EXPECT_EQ(GetSelectedGroup(StatusView::Temperatures, 3), 0);
    EXPECT_EQ(GetSelectedGroup(StatusView::Analogs, 0), 0) << "0 is the main board";
}

TEST_F(StatusRulesTest, EachFittedBoardHasOnePositionAndNoPositionAnEmptySlot) {
    // Contact input boards 1 and 3: the second position is board 3, never the empty 2.
    Pellar(0x50);
    EXPECT_EQ(GroupSelectorMaximum(StatusView::ContactInputs), 2);
    EXPECT_EQ(GetSelectedGroup(StatusView::ContactInputs, 2), 3);
    // Analog boards 1 and 3: groups 0, 1 and 3, none offered twice.
    Pellar(0x05);
    EXPECT_EQ(GroupSelectorMaximum(StatusView::Analogs), 2);
    EXPECT_EQ(GetSelectedGroup(StatusView::Analogs, 2), 3);

    for (const auto& [view, firstBit] : {std::pair{StatusView::Analogs, 0}, std::pair{StatusView::ContactInputs, 4}}) {
        for (int boards = 0; boards < 16; ++boards) {
            const int mask = boards << firstBit;
            Pellar(mask | (0x0F << (4 - firstBit)));  // the other view's boards change nothing
            QList<int> offered;
            for (int v = 0; v <= GroupSelectorMaximum(view); ++v) offered << GetSelectedGroup(view, v);
            QList<int> fitted{0};
            for (int board = 1; board <= 4; ++board)
                if (boards & (1 << (board - 1))) fitted << board;
            EXPECT_EQ(offered, fitted) << "view " << int(view) << " mask " << mask;
            EXPECT_EQ(GroupSelectorShown(view), boards != 0);
        }
    }
}

// One analog channel in slot 0 of a group.
AnalogGroupRecord Channel(int range, int modifier, int live, int offset = 0) {
    AnalogGroupRecord g;
    g.Flags[0] = uint8_t(range | ((range == RANGE_USER ? modifier : 0) << 3));
    g.Modifier[0] = int16_t(modifier);
    g.LiveValue[0] = int16_t(live);
    g.Offset[0] = int16_t(offset);
    return g;
}

TEST_F(StatusRulesTest, AnalogMetersReadInTheirRangesUnitsAndNameTheirRange) {
    struct Case {
        int range, modifier, live, offset;
        const char *caption, *rangeText;
    };
    const Case cases[] = {
        {RANGE_USER, 3, 512, 0, "50.00V", "USER-X20"},  // 49999.87 thousandths, 050.0 before the offset
        {RANGE_USER, 2, 100, 0, "4.90V", "USER-X10"},   // one decimal before the offset
        {RANGE_USER, 0, 1023, 1, "10.09V", "USER-X2"},
        {RANGE_0_2V56, 0, 400, 0, "1.00V", "0-2.56V"},
        {RANGE_0_25V, 0, 1023, -3, "24.68V", "0-25.0V"},
        {RANGE_0_5V, SENSOR_NORMAL, 512, 0, "2.50V", "0-5.00V"},
        {RANGE_0_5V, SENSOR_SHUNT_30A, 717, 2, "15.50A", "Diff. Sensor-30A Shunt"},
        {RANGE_0_5V, SENSOR_AC_VOLTAGE, 205, 0, "31.5VAC", "AC Voltage Sensor"},
    };
    for (const Case& c : cases) {
        const AnalogMeterText m = AnalogMeter(Channel(c.range, c.modifier, c.live, c.offset), 0, QStringLiteral("old"));
        EXPECT_EQ(m.caption, c.caption) << c.rangeText;
        EXPECT_EQ(m.range, QString::fromLatin1(c.rangeText));
    }
    // The 4 to 20 mA range reads in milliamperes.
    const AnalogMeterText ma = AnalogMeter(Channel(RANGE_4_20MA, 0, 512), 0, QString());
    EXPECT_EQ(ma.range, QStringLiteral("4-20mA"));
    EXPECT_TRUE(ma.caption.startsWith(QStringLiteral("10.00"))) << ma.caption.toStdString();
}

TEST_F(StatusRulesTest, AnAnalogRangeWithoutAConversionKeepsItsCaptionAndRangeText) {
    for (int range : {5, 6, 7}) {
        const AnalogGroupRecord g = Channel(range, 0, 700);
        const AnalogMeterText number = AnalogMeter(g, 0, QStringLiteral("1.25"));
        EXPECT_EQ(number.caption, QStringLiteral("1.25V")) << range;
        EXPECT_FALSE(number.range.has_value());
        // A meter that shows a reading already does not read as volts again.
        EXPECT_EQ(AnalogMeter(g, 0, QStringLiteral("2.50V")).caption, QString()) << range;
    }
    const AnalogMeterText noMultiplier = AnalogMeter(Channel(RANGE_USER, 5, 700), 0, QString());
    EXPECT_FALSE(noMultiplier.range.has_value());
}

TEST_F(StatusRulesTest, TemperaturesReadInTheChosenScaleAndAnAbsentInputShowsDashes) {
    EXPECT_EQ(TemperatureMeterText(250, false), QStringLiteral("25.0C"));
    EXPECT_EQ(TemperatureMeterText(250, true), QStringLiteral("77.0F"));
    EXPECT_EQ(TemperatureMeterText(-550, false), QStringLiteral("-55.0C"));
    EXPECT_EQ(TemperatureMeterText(-550, true), QStringLiteral("-67.0F"));
    EXPECT_EQ(TemperatureMeterText(-5, false), QStringLiteral("-0.5C"));
    EXPECT_EQ(TemperatureMeterText(-5, true), QStringLiteral("31.1F"));
    EXPECT_EQ(TemperatureMeterText(0, false), QStringLiteral("0.0C"));
    EXPECT_EQ(TemperatureMeterText(32767, false), QStringLiteral("---"));
    EXPECT_EQ(TemperatureMeterText(32767, true), QStringLiteral("---"));
}

class StatusLinkTest : public SimLinkFixture {};

TEST_F(StatusLinkTest, TheOutputSwitchGoesToTheStationAndNeedsItsAcknowledgement) {
    ConnectOverTcp();
    linkState().StationAddress[0] = 4;
    linkState().StationAddress[2] = 3;
    linkState().PacketId = 9;
    EXPECT_EQ(SendSetLogicalOutput(OutputSwitchData(1, 3, true)), SEND_OK);
    EXPECT_EQ(SendSetLogicalOutput(OutputSwitchData(0, 7, false)), SEND_OK);
    ASSERT_EQ(sim.ReceivedCount(), 2);
    EXPECT_EQ(sim.Received()[0], WithChecksum({8, 4, 0, 3, 0, PKT_SET, CMD_OUTPUT_STATUS, 128 + 11}));
    EXPECT_EQ(sim.Received()[1], WithChecksum({8, 4, 0, 3, 0, PKT_SET, CMD_OUTPUT_STATUS, 7}));

    sim.SetFault(sim::Fault::Nack, 1);
    EXPECT_NE(SendSetLogicalOutput(OutputSwitchData(0, 0, true)), SEND_OK);
}

} // namespace

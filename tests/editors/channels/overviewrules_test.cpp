// The overview's lines: which channels get one, in what order, every field's format, the
// set points in volts, the output modes, and that each heading's column matches where
// its values stand.
#include "model/analogcodes.h"
#include "editors/channels/overviewrules.h"

#include <gtest/gtest.h>
#include <memory>

using namespace korvel;

namespace {

class OverviewRules : public ::testing::Test {
protected:
    std::unique_ptr<StationConfig> owned = std::make_unique<StationConfig>();
    StationConfig& c = *owned;
    ContactInputGroupRecord& Inputs(int group) { return c.ContactInputTable[group]; }
    AnalogGroupRecord& Analogs(int group) { return c.AnalogConfigTable[group]; }
    OutputGroupRecord& Outputs(int group) { return c.OutputConfigTable[group]; }
};

// A USER channel's Flags: range code 4 and the multiplier index in bits 3 and 4.
uint8_t UserFlags(int multiplier) { return uint8_t(RANGE_USER | multiplier << 3); }

TEST_F(OverviewRules, ANothingEnabledConfigurationListsNoInputsButEveryOutput) {
    Inputs(0).Flags[0] = 0x7F;  // every bit but the enabled one
    Analogs(0).Flags[0] = 0x7F;
    EXPECT_TRUE(ContactInputLines(c).isEmpty());
    EXPECT_TRUE(AnalogInputLines(c).isEmpty());
    EXPECT_EQ(OutputLines(c, 0, false).size(), 8);
    EXPECT_EQ(OutputLines(c, 3, false).size(), 32);
    EXPECT_EQ(OutputLines(c, 7, true).size(), 64);
    EXPECT_EQ(OutputLines(c, 200, false).size(), 64) << "no more groups than the table holds";
}

TEST_F(OverviewRules, AContactInputLineHoldsEveryFieldZeroPadded) {
    // Enabled, N.O., toggle, hold 5, nothing else.
    Inputs(0).Flags[0] = 0x80 | 0x40 | 0x20;
    Inputs(0).Hold[0] = 5;
    const QStringList lines = ContactInputLines(c);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], "01   N.O.  TOGG  005   00   000   00, 00, 00, 00   000, 000, 000, 000");
    EXPECT_EQ(lines[0].size(), 69);

    // N.C., normal mode, and every map in its own place.
    ContactInputGroupRecord& g = Inputs(1);
    g.Flags[3] = 0x80;
    g.Hold[3] = 255;
    g.LocalOutput[3] = 8;
    g.LocalOutputDelay[3] = 30;
    for (int d = 0; d < 4; ++d) {
        g.DestChannel[d][3] = uint8_t(61 + d);
        g.DestStation[d][3] = uint8_t(252 + d);
    }
    EXPECT_EQ(ContactInputLines(c).value(1), "12   N.C.  NORM  255   08   030   61, 62, 63, 64   252, 253, 254, 255");
}

TEST_F(OverviewRules, InputsAreListedByGroupThenChannelAndOnlyWhenEnabled) {
    Inputs(7).Flags[7] = 0x80;
    Inputs(1).Flags[0] = 0x80;
    Inputs(1).Flags[1] = 0x40;  // not enabled
    Inputs(0).Flags[2] = 0x80;
    Analogs(7).Flags[7] = 0x80;
    Analogs(0).Flags[1] = 0x80;
    Analogs(0).Flags[0] = 0x09;
    QStringList numbers;
    for (const QString& line : ContactInputLines(c)) numbers << line.left(2);
    EXPECT_EQ(numbers, (QStringList{"03", "09", "64"}));
    numbers.clear();
    for (const QString& line : AnalogInputLines(c)) numbers << line.left(2);
    EXPECT_EQ(numbers, (QStringList{"02", "64"}));
}

TEST_F(OverviewRules, AnAnalogLineHoldsBothSetPointsAndTheirSides) {
    AnalogGroupRecord& g = Analogs(1);
    g.Flags[3] = 0x80 | RANGE_0_5V;
    g.HighThreshold[3] = 1023;
    g.HighHold[3] = 7;
    g.HighLocalOutput[3] = 2;
    g.HighOutputDelay[3] = 4;
    g.HighDestStation[0][3] = 12;
    g.HighDestStation[1][3] = 255;
    g.HighDestChannel[0][3] = 1;
    g.HighDestChannel[1][3] = 64;
    g.LowThreshold[3] = 205;
    g.LowHold[3] = 9;
    g.LowLocalOutput[3] = 3;
    g.LowOutputDelay[3] = 5;
    g.LowDestStation[0][3] = 7;
    g.LowDestStation[1][3] = 100;
    g.LowDestChannel[0][3] = 10;
    g.LowDestChannel[1][3] = 11;
    EXPECT_EQ(AnalogInputLines(c),
              QStringList{"12   5.00  007   02  004  012,255  01,64   1.00  009  03   005 007, 100  10, 11"});
}

TEST_F(OverviewRules, SetPointsAreVoltsOfTheChannelsRangeRoundedHalvesToEven) {
    EXPECT_EQ(AnalogSetPointText(RANGE_0_5V, 1023), "5.00");
    EXPECT_EQ(AnalogSetPointText(UserFlags(3), 512), "50.00");
    EXPECT_EQ(AnalogSetPointText(RANGE_0_25V, 512), "12.50");
    EXPECT_EQ(AnalogSetPointText(RANGE_4_20MA, 1023), "19.98") << "thousandths, not ten-thousandths";
    EXPECT_EQ(AnalogSetPointText(UserFlags(2), 1023), "49.95");
    EXPECT_EQ(AnalogSetPointText(UserFlags(0), 1023), "9.99");
    EXPECT_EQ(AnalogSetPointText(UserFlags(1), 512), "10.00");
    // Only the range and multiplier bits choose the conversion.
    EXPECT_EQ(AnalogSetPointText(0xE0 | RANGE_0_5V, 1023), "5.00");
    // 0.005, 0.015 and 0.025 V: exact halves go to the even neighbour.
    EXPECT_EQ(AnalogSetPointText(RANGE_0_2V56, 2), "0.00");
    EXPECT_EQ(AnalogSetPointText(RANGE_0_2V56, 6), "0.02");
    EXPECT_EQ(AnalogSetPointText(RANGE_0_2V56, 10), "0.02");
    // The default high set point, one above the largest code, is shown as it is.
    EXPECT_EQ(AnalogSetPointText(RANGE_0_2V56, 1024), "2.56");
    for (int range = 5; range <= 7; ++range) EXPECT_EQ(AnalogSetPointText(uint8_t(range | 0x18), 1023), "0.00") << range;
}

TEST_F(OverviewRules, OutputLinesShowTheRestStateAndTheMode) {
    OutputGroupRecord& g = Outputs(0);
    g.Flags[0] = 0x80 | 0x1F;  // N.O. latch; the low bits do not count
    g.PulseWidth[0] = 9;
    g.Flags[1] = 0x20;
    g.PulseWidth[1] = 7;
    g.Flags[2] = 0x40;
    g.PulseWidth[2] = 25;
    g.Flags[3] = 0x60;
    g.PulseWidth[3] = 25;
    g.Flags[4] = 0xC0;
    g.PulseWidth[4] = 255;
    Outputs(2).Flags[0] = 0x80;
    const QStringList lines = OutputLines(c, 2, false);
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines.mid(0, 6), (QStringList{"01   N.O.   LATCH      0", "02   N.C.   PULSE-1   7",
                                            "03   N.C.   PULSE-B   25", "04   N.C.", "05   N.O.   PULSE-B   255",
                                            "06   N.C.   LATCH      0"}));
    EXPECT_EQ(lines[16], "17   N.O.   LATCH      0");
    EXPECT_EQ(lines[23], "24   N.C.   LATCH      0");
    EXPECT_EQ(OutputLines(c, 1, false).size(), 16) << "groups past the child count are not listed";
}

TEST_F(OverviewRules, APellarsOutputsAllLatch) {
    for (int s = 0; s < 4; ++s) {
        Outputs(0).Flags[s] = uint8_t(s << 5);
        Outputs(0).PulseWidth[s] = 25;
    }
    Outputs(0).Flags[4] = 0x80 | 0x40;
    const QStringList lines = OutputLines(c, 0, true);
    ASSERT_EQ(lines.size(), 8);
    for (const QString& line : lines) EXPECT_TRUE(line.endsWith("   LATCH      0")) << line.toStdString();
    EXPECT_EQ(lines[4], "05   N.O.   LATCH      0");
}

// Each column's values are one run that starts and ends where its heading says, with a
// blank (or the line's end) on either side.
void ExpectColumnsMatch(std::span<const OverviewColumn> columns, const QString& line) {
    int previousEnd = 0;
    for (const OverviewColumn& col : columns) {
        const QString where = QString::fromLatin1(col.heading).simplified() + " in " + line;
        const int end = col.first + col.width;
        ASSERT_LE(end, line.size()) << where.toStdString();
        EXPECT_GE(col.first, previousEnd) << where.toStdString();
        EXPECT_NE(line[col.first], u' ') << where.toStdString();
        EXPECT_NE(line[end - 1], u' ') << where.toStdString();
        if (col.first > 0) {
            EXPECT_EQ(line[col.first - 1], u' ') << where.toStdString();
        }
        if (end < line.size()) {
            EXPECT_EQ(line[end], u' ') << where.toStdString();
        }
        previousEnd = end;
    }
    EXPECT_EQ(previousEnd, line.size()) << line.toStdString();
}

TEST_F(OverviewRules, HeadingsStandOverTheirValues) {
    Inputs(0).Flags[0] = 0x80;
    Analogs(0).Flags[0] = 0x80 | RANGE_0_5V;
    Outputs(0).Flags[0] = 0x40;
    Outputs(0).PulseWidth[0] = 255;
    ExpectColumnsMatch(ContactInputColumns(), ContactInputLines(c).value(0));
    ExpectColumnsMatch(AnalogInputColumns(), AnalogInputLines(c).value(0));
    ExpectColumnsMatch(OutputColumns(), OutputLines(c, 0, false).value(0));
}

} // namespace

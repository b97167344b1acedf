// The configuration report as text: the print model's number items and tabs, the header,
// the system, port and FFSK sections with their name tables, and the channel tables'
// rows, columns and pages.
#include "model/systemvalues.h"
#include "editors/channels/reportrules.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>
#include <memory>

using namespace korvel;

namespace {

TEST(ReportWriterTest, NumbersTakeASignPlaceAndATrailingBlank) {
    ReportWriter w;
    w.Number(5);
    EXPECT_EQ(w.Column(), 4) << "a one-digit number takes three columns";
    w.Number(12);
    w.Number(-3);
    w.Number(255);
    EXPECT_EQ(w.Pages(), ReportPages{{" 5  12 -3  255 "}});
}

TEST(ReportWriterTest, TabsMoveAlongTheLineOrToTheNextOne) {
    ReportWriter w;
    w.Text("ab");
    w.Tab(5);
    EXPECT_EQ(w.Column(), 5);
    w.Tab(5);
    EXPECT_EQ(w.Column(), 5) << "already at the column: stays";
    w.Text("cdef");
    w.Tab(6);  // the line reaches column 9
    w.Text("x");
    w.Tab(1);  // any taken line goes on to the next
    w.Text("y");
    EXPECT_EQ(w.Pages(), (ReportPages{{"ab  cdef", "     x", "y"}}));
}

TEST(ReportWriterTest, LinesEndOnlyWhenToldAndPagesKeepTheirOwnLines) {
    ReportWriter w;
    w.Line("one");
    w.Line();
    w.Text("open");
    w.PageBreak();  // the open line stays on its page
    w.Text("two");
    EXPECT_EQ(w.Pages(), (ReportPages{{"one", "", "open"}, {"two"}}));
    ReportWriter empty;
    EXPECT_EQ(empty.Pages(), ReportPages{{}}) << "an unwritten line is no line";
}

TEST(ReportDateTimeTest, EnglishNamesTwoDigitDayAndTwelveHourClock) {
    EXPECT_EQ(ReportDateTime(QDateTime(QDate(2024, 3, 4), QTime(9, 5))), " Monday, March 04, 2024, 09:05 AM");
    EXPECT_EQ(ReportDateTime(QDateTime(QDate(2023, 12, 31), QTime(13, 30))), " Sunday, December 31, 2023, 01:30 PM");
    EXPECT_EQ(ReportDateTime(QDateTime(QDate(2025, 1, 1), QTime(0, 15))), " Wednesday, January 01, 2025, 12:15 AM");
    EXPECT_EQ(ReportDateTime(QDateTime(QDate(2025, 1, 1), QTime(12, 0))), " Wednesday, January 01, 2025, 12:00 PM");
}

TEST(AnalogRangeTextTest, EachRangeFitsItsColumn) {
    EXPECT_EQ(AnalogRangeText(0x00), "2.56");
    EXPECT_EQ(AnalogRangeText(0x81), "5.00") << "the enable bit is not the range";
    EXPECT_EQ(AnalogRangeText(0x02), "25.0");
    EXPECT_EQ(AnalogRangeText(0x03), "4-20mA");
    EXPECT_EQ(AnalogRangeText(0x04), "U-X2");
    EXPECT_EQ(AnalogRangeText(0x0C), "U-X4");
    EXPECT_EQ(AnalogRangeText(0x14), "U-X10");
    EXPECT_EQ(AnalogRangeText(0x1C), "U-X20");
    EXPECT_EQ(AnalogRangeText(0x09), "5.00") << "multiplier bits belong to USER only";
    EXPECT_EQ(AnalogRangeText(0x07), "CODE 7");
    for (int flags = 0; flags < 256; ++flags) EXPECT_LE(AnalogRangeText(uint8_t(flags)).size(), 6) << flags;
}

class ReportTest : public ::testing::Test {
protected:
    ReportPages Report(int childCount = 0) {
        return ConfigurationReport(*c, childCount, ReportStamp{QDateTime(QDate(2024, 3, 4), QTime(9, 5)), 1, 4, 1});
    }
    QStringList AllLines(int childCount = 0) {
        QStringList all;
        for (const QStringList& page : Report(childCount)) all += page;
        return all;
    }
    // The line that begins with label, and the one after it.
    QString LineOf(const QString& label, int nth = 0) {
        const QStringList all = AllLines();
        for (qsizetype i = 0; i < all.size(); ++i)
            if (all[i].startsWith(label) && nth-- == 0) return all[i];
        return QStringLiteral("<no line ") + label + QLatin1Char('>');
    }
    QString NextLine(const QString& label, int nth = 0) {
        const QStringList all = AllLines();
        const qsizetype i = all.indexOf(LineOf(label, nth));
        return i >= 0 && i + 1 < all.size() ? all[i + 1] : QString();
    }
    // The rows of a table section: the lines after its heading's closing separator.
    QStringList Rows(const QString& title, int childCount = 0) {
        const QStringList all = AllLines(childCount);
        qsizetype i = all.indexOf(title);
        if (i < 0) return {};
        i += 5;  // separator, two heading lines, separator
        QStringList rows;
        for (; i < all.size() && !all[i].isEmpty() && !all[i].startsWith(" --"); ++i) rows << all[i];
        return rows;
    }
    std::unique_ptr<StationConfig> c = std::make_unique<StationConfig>();
};

const QString kSeparator = " -------------------------------------------------------------------------------------------";

TEST_F(ReportTest, EveryPageBeginsWithTheHeaderAndTheAnalogSectionsStartPageTwo) {
    const ReportPages pages = Report(1);
    ASSERT_EQ(pages.size(), 2);
    const QStringList header{kSeparator, " Korvel Configurator: Version 1.4.1",
                             " Date/Time:  Monday, March 04, 2024, 09:05 AM", kSeparator, ""};
    EXPECT_EQ(kSeparator.size(), 92);
    for (const QStringList& page : pages) EXPECT_EQ(page.mid(0, 5), header);
    EXPECT_EQ(pages[0][6], " System Configuration Report");
    EXPECT_EQ(pages[1][6], " Analog Input Configuration Report (HIGH SET)");
    EXPECT_FALSE(pages[1].contains(" System Configuration Report"));
    EXPECT_EQ(pages[0].last().left(3), " 16") << "page one ends with the last contact input";
    EXPECT_TRUE(pages[1].contains(" Analog Input Configuration Report (LOW SET)"));
    EXPECT_TRUE(pages[1].contains(" Output Configuration Report"));
}

TEST_F(ReportTest, ModuleModeNamesAndAModeWithoutOneLeavesTheLineOpen) {
    c->SystemConfig[MY_ADDRESS] = 17;
    c->SystemConfig[START_UP_DELAY] = 30;
    c->SystemConfig[START_UP_OPTIONS] = 129;
    EXPECT_EQ(LineOf(" Module Mode:"), " Module Mode: SLAVE - NO MAPPING");
    c->SystemConfig[MODULE_MODE] = 0x31;  // the path bits above are not the mode
    EXPECT_EQ(LineOf(" Module Mode:"), " Module Mode: SLAVE - INPUT MAPPING");
    c->SystemConfig[MODULE_MODE] = 2;
    EXPECT_EQ(LineOf(" Module Mode:"), " Module Mode: MASTER");
    c->SystemConfig[MODULE_MODE] = 3;
    EXPECT_EQ(LineOf(" Module Mode:"), " Module Mode: GATEWAY");
    EXPECT_EQ(NextLine(" Module Mode:"), " ADDRESS: 17");
    EXPECT_EQ(LineOf(" Start Up Delay(S): "), " Start Up Delay(S): 30");
    EXPECT_EQ(LineOf(" Start Up Options: "), " Start Up Options: 129");
    c->SystemConfig[MODULE_MODE] = 4;
    EXPECT_EQ(LineOf(" Module Mode:"), " Module Mode: ADDRESS: 17");
}

TEST_F(ReportTest, SerialPortsPrintTheirOwnElementsWithTheReportsNames) {
    c->SystemConfig[SPORT1_CCB2] = 0x10 | 2;
    c->SystemConfig[SPORT1_CCB3] = 0x20;
    c->SystemConfig[SPORT1_DUMP_TIME] = 4;
    c->SystemConfig[SPORT1_RETRY_TIME] = 25;
    c->SystemConfig[SPORT1_RETRY_COUNT] = 3;
    c->SystemConfig[SPORT2_CCB2] = 0x20 | 10;
    c->SystemConfig[SPORT2_CCB3] = 0x30 | 0x0F;  // bits outside 4-6 are not the protocol
    c->SystemConfig[SPORT2_DUMP_TIME] = 2.55;   // 255 ms as the port dialog keeps it
    const QStringList port1 = AllLines().mid(AllLines().indexOf(" Serial Port 1 Configuration Report") + 2, 7);
    EXPECT_EQ(port1, (QStringList{" Baud Rate: 9600", " BaseProtocol: MODBUS", " Dump Time(mS): 400",
                                  " Retry Count: 3", " Retry Time(mS): 2500", " ConnectionProtocol: DIGITAL RADIO",
                                  ""}));
    const QStringList port2 = AllLines().mid(AllLines().indexOf(" Serial Port 2 Configuration Report") + 2, 7);
    EXPECT_EQ(port2, (QStringList{" Baud Rate: 230400", " BaseProtocol: PPP", " Dump Time(mS): 255",
                                  " Retry Count: 0", " Retry Time(mS): 0", " ConnectionProtocol: PPP", ""}));
}

TEST_F(ReportTest, BaudAndProtocolsWithoutANamePrintNothingAndTheNextLabelFollows) {
    c->SystemConfig[SPORT1_CCB2] = 11;
    EXPECT_EQ(LineOf(" Baud Rate: "), " Baud Rate:  BaseProtocol: BINMP");
    c->SystemConfig[SPORT1_CCB2] = 0x30 | 15;
    EXPECT_EQ(LineOf(" Baud Rate: "), " Baud Rate:  BaseProtocol:  Dump Time(mS): 0");
    c->SystemConfig[SPORT1_CCB3] = 0x40;
    EXPECT_EQ(NextLine(" Retry Time(mS): "), " ConnectionProtocol: ");
    EXPECT_EQ(NextLine(" ConnectionProtocol: "), kSeparator) << "the blank line's line end closes the open one";
}

TEST_F(ReportTest, FfskSectionInItsOrderWithScaledTimes) {
    c->SystemConfig[FFSK_CCB1] = 0xC1;  // concatenation and module bits are not the protocol
    c->SystemConfig[FFSK_CCB2] = 5;
    c->SystemConfig[FFSK_RETRY_COUNT] = 2;
    c->SystemConfig[FFSK_RETRY_TIME] = 30;
    c->SystemConfig[FFSK_CD_DELAY_TIME] = 15;
    c->SystemConfig[FFSK_PTT_START_DELAY] = 3;
    c->SystemConfig[FFSK_PTT_HANG_DELAY] = 2;
    c->SystemConfig[FFSK_OUTPUT_LEVEL] = 180;
    const QStringList all = AllLines();
    const QStringList ffsk = all.mid(all.indexOf(" FFSK RF/4W Port Configuration Report") + 2, 13);
    EXPECT_EQ(ffsk, (QStringList{" Baud Rate: 2400", " BaseProtocol: MODBUS", " Retry Count: 2",
                                 " Retry Time(mS): 3000", " CD Delay(mS): 150", " Preamble Count: 5",
                                 " PTT Start Delay: 300", " PTT Hang Delay: 200", " PTT Polarity: LOW",
                                 " COR/COS/MIN Type: LINE", " COR/COS/MIN Polarity: LOW", " FFSK Output Level: 180",
                                 ""}));
}

TEST_F(ReportTest, FfskTwoWayLinesFollowTheDialogsBits) {
    struct Case {
        int bit;
        const char* label;
        const char* set;
        const char* clear;
    };
    // 1200 baud in bit 6, PTT high in bit 7, an internally made gate in bit 4, a gate
    // active high in bit 5.
    const Case cases[] = {{0x40, " Baud Rate: ", "1200", "2400"},
                          {0x80, " PTT Polarity: ", "HIGH", "LOW"},
                          {0x10, " COR/COS/MIN Type: ", "MODEM", "LINE"},
                          {0x20, " COR/COS/MIN Polarity: ", "HIGH", "LOW"}};
    const int ffskSection = 2;  // the third " Baud Rate: " line
    for (const Case& k : cases) {
        c->SystemConfig[FFSK_CCB2] = k.bit | 0x0F;
        const int nth = QString(k.label) == " Baud Rate: " ? ffskSection : 0;
        EXPECT_EQ(LineOf(k.label, nth), QString(k.label) + k.set);
        c->SystemConfig[FFSK_CCB2] = (0xF0 & ~k.bit) | 0x0F;
        EXPECT_EQ(LineOf(k.label, nth), QString(k.label) + k.clear);
    }
    c->SystemConfig[FFSK_CCB2] = 0xF3;
    EXPECT_EQ(LineOf(" Preamble Count: "), " Preamble Count: 3");
}

TEST_F(ReportTest, ContactInputRowsStandInTheirColumns) {
    ContactInputGroupRecord& r = c->ContactInputTable[0];
    r.Flags[0] = 0xC0;
    r.Flags[1] = 0x20;
    r.Hold[0] = 5;
    r.LocalOutput[0] = 2;
    r.LocalOutputDelay[0] = 30;
    for (int d = 0; d < 4; ++d) {
        r.DestStation[d][0] = uint8_t(10 + d);
        r.DestChannel[d][0] = uint8_t(d + 1);
    }
    const QStringList rows = Rows(" Contact Input Configuration Report");
    ASSERT_EQ(rows.size(), 8);
    //                                         9     15      23    29     36    42    48               65
    EXPECT_EQ(rows[0], QStringLiteral(" 1      YES   HIGH    NORM   5      2     30    10  11  12  13   1  2  3  4 "));
    EXPECT_EQ(rows[1], QStringLiteral(" 2      NO    LOW     TOGG   0      0     0     0  0  0  0       0  0  0  0 "));
}

TEST_F(ReportTest, FourThreeDigitStationsReachPastTheInputMapAndPushItToTheNextLine) {
    ContactInputGroupRecord& r = c->ContactInputTable[0];
    for (int d = 0; d < 4; ++d) r.DestStation[d][0] = 200;
    const QStringList rows = Rows(" Contact Input Configuration Report");
    ASSERT_EQ(rows.size(), 9);
    EXPECT_TRUE(rows[0].endsWith(" 200  200  200  200 "));
    EXPECT_EQ(rows[1], QString(64, QLatin1Char(' ')) + " 0  0  0  0 ");
}

TEST_F(ReportTest, AnalogRowsShowTheRangeAndTheSetPointInItsUnit) {
    AnalogGroupRecord& r = c->AnalogConfigTable[0];
    r.Flags[0] = 0x81;  // enabled, 0 - 5.00V
    r.HighThreshold[0] = 1023;
    r.LowThreshold[0] = 205;
    r.HighHold[0] = 5;
    r.HighLocalOutput[0] = 2;
    r.HighOutputDelay[0] = 10;
    r.HighDestStation[0][0] = 12;
    r.HighDestStation[1][0] = 250;
    r.HighDestChannel[0][0] = 3;
    r.HighDestChannel[1][0] = 64;
    r.LowHold[0] = 7;
    r.Flags[1] = 0x1C;  // USER 20 X
    r.HighThreshold[1] = 512;
    r.Flags[2] = 0x02;
    r.HighThreshold[2] = 512;
    r.Flags[3] = 0x03;
    r.HighThreshold[3] = 500;
    r.Flags[4] = 0x00;
    r.HighThreshold[4] = 1023;
    r.Flags[5] = 0x86;  // no such range
    r.HighThreshold[5] = 1023;
    const QStringList high = Rows(" Analog Input Configuration Report (HIGH SET)");
    ASSERT_EQ(high.size(), 8);
    //                                         9     15     22     29     36       45        55               72
    EXPECT_EQ(high[0], QStringLiteral(" 1      YES   5.00   5.00    5      2        10        12  250          3  64 "));
    EXPECT_EQ(high[1].mid(8, 19), QStringLiteral("NO    U-X20  50.00 "));
    EXPECT_EQ(high[2].mid(14, 13), QStringLiteral("25.0   12.50 "));
    EXPECT_EQ(high[3].mid(14, 13), QStringLiteral("4-20mA 9.77  ")) << "milliamperes";
    EXPECT_EQ(high[4].mid(14, 13), QStringLiteral("2.56   2.56  "));
    EXPECT_EQ(high[5].mid(8, 19), QStringLiteral("YES   CODE 6 0.00  "));
    const QStringList low = Rows(" Analog Input Configuration Report (LOW SET)");
    ASSERT_EQ(low.size(), 8);
    EXPECT_EQ(low[0], QStringLiteral(" 1      YES   5.00   1.00    7      0        0         0  0             0  0 "));
}

TEST_F(ReportTest, OutputRowsEndOnlyWhenTheNextRowBeginsAndTheLastOneEndsTheReport) {
    c->OutputConfigTable[0].Flags[0] = 0x40;
    c->OutputConfigTable[0].PulseWidth[0] = 25;
    c->OutputConfigTable[0].Flags[1] = 0x80;
    c->OutputConfigTable[0].Flags[2] = 0xE0;
    const QStringList rows = Rows(" Output Configuration Report");
    ASSERT_EQ(rows.size(), 8);
    //                                         9       17      25
    EXPECT_EQ(rows[0], QStringLiteral(" 1      N.C     PULSE    25 "));
    EXPECT_EQ(rows[1], QStringLiteral(" 2      N.O     LATCH    0 "));
    EXPECT_EQ(rows[2], QStringLiteral(" 3      N.O     PULSE    0 "));
    EXPECT_EQ(Report().last().last(), QStringLiteral(" 8      N.C     LATCH    0 "));
}

TEST_F(ReportTest, EveryTableHasEightRowsPerModuleInChannelOrder) {
    const QString titles[] = {" Contact Input Configuration Report", " Analog Input Configuration Report (HIGH SET)",
                              " Analog Input Configuration Report (LOW SET)", " Output Configuration Report"};
    for (const QString& title : titles) {
        EXPECT_EQ(Rows(title, 0).size(), 8) << qPrintable(title);
        const QStringList rows = Rows(title, 2);
        ASSERT_EQ(rows.size(), 24) << qPrintable(title);
        for (int i = 0; i < 24; ++i) EXPECT_EQ(rows[i].left(4).trimmed().toInt(), i + 1) << qPrintable(title);
        EXPECT_EQ(Rows(title, 12).size(), 64) << "a count beyond the tables prints what they hold";
    }
}

} // namespace

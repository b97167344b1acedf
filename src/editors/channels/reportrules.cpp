#include "editors/channels/reportrules.h"

#include "model/analogcodes.h"
#include "model/systemvalues.h"
#include "model/tempcodes.h"
#include "editors/channels/analogrules.h"
#include "editors/channels/inputrules.h"
#include "editors/channels/outputrules.h"
#include "editors/channels/overviewrules.h"
#include "editors/station/ffskrules.h"

#include <QLocale>
#include <algorithm>
#include <array>

namespace korvel {

// ---- print model ----

void ReportWriter::Text(const QString& text) { line_ += text; }

void ReportWriter::Line(const QString& text) {
    Text(text);
    LineEnd();
}

void ReportWriter::Number(long value) {
    Text((value < 0 ? QString() : QStringLiteral(" ")) + QString::number(value) + QLatin1Char(' '));
}

void ReportWriter::Tab(int column) {
    column = std::max(column, 1);
    if (Column() > column) LineEnd();
    line_ += QString(column - Column(), QLatin1Char(' '));
}

void ReportWriter::LineEnd() {
    pages_.last().append(line_);
    line_.clear();
}

void ReportWriter::PageBreak() {
    if (!line_.isEmpty()) LineEnd();
    pages_.append(QStringList());
}

ReportPages ReportWriter::Pages() const {
    ReportPages pages = pages_;
    if (!line_.isEmpty()) pages.last().append(line_);
    return pages;
}

// ---- the report ----

namespace {

const QString kSeparator = QStringLiteral(" ") + QString(91, QLatin1Char('-'));

// Name tables of the report; a value beyond a table has no name and prints nothing.
constexpr std::array<const char*, 4> kModuleModes{
    {" SLAVE - NO MAPPING", " SLAVE - INPUT MAPPING", " MASTER", " GATEWAY"}};
constexpr std::array<const char*, 11> kBaudRates{
    {"2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "76800", "115200", "230400"}};
constexpr std::array<const char*, 3> kBaseProtocols{{"BINMP", "MODBUS", "PPP"}};
constexpr std::array<const char*, 4> kConnectionProtocols{{"NONE", "AT MODEM", "DIGITAL RADIO", "PPP"}};

// The name of index ends the line; a value without one writes nothing and leaves the
// line open, so the next label follows on the same line.
template <std::size_t N>
void NameLine(ReportWriter& w, const std::array<const char*, N>& table, int index) {
    if (index >= 0 && index < int(N)) w.Line(QString::fromLatin1(table[std::size_t(index)]));
}

// An element times its unit as the technician typed it. The port editors keep typed
// times as fractions of the stored unit, so the product is read to 15 significant digits
// (255 ms typed, 2.55 held, prints 255 rather than 254.99999999999997).
QString ValueText(const StationConfig& c, int element, double unit = 1) {
    const double v = c.SystemConfig[element] * unit;
    return PlainDecimalText(QString::number(v, 'g', 15).toDouble());
}

void PageHeader(ReportWriter& w, const ReportStamp& stamp) {
    w.Line(kSeparator);
    w.Line(QStringLiteral(" Korvel Configurator: Version %1.%2.%3").arg(stamp.major).arg(stamp.minor).arg(stamp.revision));
    w.Line(QStringLiteral(" Date/Time: ") + ReportDateTime(stamp.when));
    w.Line(kSeparator);
    w.Line();
}

void SectionTitle(ReportWriter& w, const char* title) {
    w.Line(kSeparator);
    w.Line(QString::fromLatin1(title));
    w.Line(kSeparator);
}

void SystemSection(ReportWriter& w, const StationConfig& c) {
    SectionTitle(w, " System Configuration Report");
    w.Text(QStringLiteral(" Module Mode:"));
    NameLine(w, kModuleModes, SystemValue(c, MODULE_MODE) & 15);
    w.Line(QStringLiteral(" ADDRESS: ") + ValueText(c, MY_ADDRESS));
    w.Line(QStringLiteral(" Start Up Delay(S): ") + ValueText(c, START_UP_DELAY));
    w.Line(QStringLiteral(" Start Up Options: ") + ValueText(c, START_UP_OPTIONS));
    w.Line();
}

struct PortElements {
    const char* title;
    int ccb2, ccb3, dumpTime, retryTime, retryCount;
};

void SerialPortSection(ReportWriter& w, const StationConfig& c, const PortElements& e) {
    SectionTitle(w, e.title);
    const int ccb2 = SystemValue(c, e.ccb2);
    w.Text(QStringLiteral(" Baud Rate: "));
    NameLine(w, kBaudRates, ccb2 & 15);
    w.Text(QStringLiteral(" BaseProtocol: "));
    NameLine(w, kBaseProtocols, (ccb2 & PORT_PROTOCOL_MASK) >> PORT_PROTOCOL_SHIFT);
    w.Line(QStringLiteral(" Dump Time(mS): ") + ValueText(c, e.dumpTime, 100));
    w.Line(QStringLiteral(" Retry Count: ") + ValueText(c, e.retryCount));
    w.Line(QStringLiteral(" Retry Time(mS): ") + ValueText(c, e.retryTime, 100));
    w.Text(QStringLiteral(" ConnectionProtocol: "));
    NameLine(w, kConnectionProtocols, (SystemValue(c, e.ccb3) & PORT_PROTOCOL_MASK) >> PORT_PROTOCOL_SHIFT);
    w.Line();
}

// The two-way lines read the same bits as the FFSK dialog: 1200 baud, a transmitter
// keyed high, a gate made inside the modem (rather than a line from the radio) and a
// gate active high each print the word of the set bit.
void FfskSection(ReportWriter& w, const StationConfig& c) {
    SectionTitle(w, " FFSK RF/4W Port Configuration Report");
    const int ccb2 = SystemValue(c, FFSK_CCB2);
    auto word = [ccb2](int bit, const char* set, const char* clear) {
        return QString::fromLatin1(ccb2 & bit ? set : clear);
    };
    w.Line(QStringLiteral(" Baud Rate: ") + word(FFSK_BAUD_1200, "1200", "2400"));
    w.Text(QStringLiteral(" BaseProtocol: "));
    NameLine(w, kBaseProtocols, SystemValue(c, FFSK_CCB1) & FFSK_PROTOCOL_MASK);
    w.Line(QStringLiteral(" Retry Count: ") + ValueText(c, FFSK_RETRY_COUNT));
    w.Line(QStringLiteral(" Retry Time(mS): ") + ValueText(c, FFSK_RETRY_TIME, 100));
    w.Line(QStringLiteral(" CD Delay(mS): ") + ValueText(c, FFSK_CD_DELAY_TIME, 10));
    w.Line(QStringLiteral(" Preamble Count: ") + QString::number(ccb2 & FFSK_PREAMBLE_MASK));
    w.Line(QStringLiteral(" PTT Start Delay: ") + ValueText(c, FFSK_PTT_START_DELAY, 100));
    w.Line(QStringLiteral(" PTT Hang Delay: ") + ValueText(c, FFSK_PTT_HANG_DELAY, 100));
    w.Line(QStringLiteral(" PTT Polarity: ") + word(FFSK_PTT_HIGH, "HIGH", "LOW"));
    w.Line(QStringLiteral(" COR/COS/MIN Type: ") + word(FFSK_GATE_INTERNAL, "MODEM", "LINE"));
    w.Line(QStringLiteral(" COR/COS/MIN Polarity: ") + word(FFSK_GATE_HIGH, "HIGH", "LOW"));
    w.Line(QStringLiteral(" FFSK Output Level: ") + ValueText(c, FFSK_OUTPUT_LEVEL));
    w.Line();
}

int ChannelNumber(int group, int slot) { return group * SLOTS + slot + 1; }

void ContactInputSection(ReportWriter& w, const StationConfig& c, int lastGroup) {
    SectionTitle(w, " Contact Input Configuration Report");
    w.Line(QStringLiteral("      |     | OFF   | INP  | INP  | LOC | LOC | STATION          INPUT"));
    w.Line(QStringLiteral("   #  | ENB | STATE | MODE | HOLD | OUT | DLY | MAP              MAP"));
    w.Line(kSeparator);
    for (int g = 0; g <= lastGroup; ++g) {
        const ContactInputGroupRecord& r = c.ContactInputTable[g];
        for (int s = 0; s < SLOTS; ++s) {
            const uint8_t flags = r.Flags[s];
            w.Tab(1);
            w.Number(ChannelNumber(g, s));
            w.Tab(9);
            w.Text(flags & INPUT_ENABLED ? QStringLiteral("YES") : QStringLiteral("NO"));
            w.Tab(15);
            w.Text(flags & INPUT_NORMALLY_OPEN ? QStringLiteral("HIGH") : QStringLiteral("LOW"));
            w.Tab(23);
            w.Text(flags & INPUT_TOGGLE ? QStringLiteral("TOGG") : QStringLiteral("NORM"));
            w.Tab(29);
            w.Number(r.Hold[s]);
            w.Tab(36);
            w.Number(r.LocalOutput[s]);
            w.Tab(42);
            w.Number(r.LocalOutputDelay[s]);
            w.Tab(48);
            for (int d = 0; d < 4; ++d) w.Number(r.DestStation[d][s]);
            w.Tab(65);
            for (int d = 0; d < 4; ++d) w.Number(r.DestChannel[d][s]);
            w.LineEnd();
        }
    }
}

// One set point's columns of an analog row, high or low.
struct SetPointFields {
    const int16_t* threshold;
    const uint8_t* hold;
    const uint8_t* localOutput;
    const uint8_t* outputDelay;
    const uint8_t (*destStation)[SLOTS];
    const uint8_t (*destChannel)[SLOTS];
};

SetPointFields HighFields(const AnalogGroupRecord& r) {
    return {r.HighThreshold, r.HighHold, r.HighLocalOutput, r.HighOutputDelay, r.HighDestStation, r.HighDestChannel};
}
SetPointFields LowFields(const AnalogGroupRecord& r) {
    return {r.LowThreshold, r.LowHold, r.LowLocalOutput, r.LowOutputDelay, r.LowDestStation, r.LowDestChannel};
}

void AnalogSection(ReportWriter& w, const StationConfig& c, int lastGroup, bool high) {
    if (high) {
        SectionTitle(w, " Analog Input Configuration Report (HIGH SET)");
        w.Line(QStringLiteral("      |     |   V   | HIGH | HIGH | HIGH   | HI      | STATION          INPUT"));
    } else {
        SectionTitle(w, " Analog Input Configuration Report (LOW SET)");
        w.Line(QStringLiteral("      |     |   V   | LOW  | LOW  | LOW    | LOW     | STATION          INPUT"));
    }
    w.Line(QStringLiteral("   #  | ENB | RANGE | SETV | HOLD | LOCOUT | LOCHOLD | MAP              MAP"));
    w.Line(kSeparator);
    for (int g = 0; g <= lastGroup; ++g) {
        const AnalogGroupRecord& r = c.AnalogConfigTable[g];
        const SetPointFields f = high ? HighFields(r) : LowFields(r);
        for (int s = 0; s < SLOTS; ++s) {
            const uint8_t flags = r.Flags[s];
            w.Tab(1);
            w.Number(ChannelNumber(g, s));
            w.Tab(9);
            w.Text(flags & ANALOG_EVENTS_ENABLED ? QStringLiteral("YES") : QStringLiteral("NO"));
            w.Tab(15);
            w.Text(AnalogRangeText(flags));
            w.Tab(22);
            w.Text(AnalogSetPointText(flags, f.threshold[s]));
            w.Tab(29);
            w.Number(f.hold[s]);
            w.Tab(36);
            w.Number(f.localOutput[s]);
            w.Tab(45);
            w.Number(f.outputDelay[s]);
            w.Tab(55);
            for (int d = 0; d < 2; ++d) w.Number(f.destStation[d][s]);
            w.Tab(72);
            for (int d = 0; d < 2; ++d) w.Number(f.destChannel[d][s]);
            w.LineEnd();
        }
    }
    w.Line();
}

// The rows end only when the next row's tab to column 1 finds the line taken, so the
// last one is left open at the end of the report.
void OutputSection(ReportWriter& w, const StationConfig& c, int lastGroup) {
    SectionTitle(w, " Output Configuration Report");
    w.Line(QStringLiteral("      |       | PULSE  "));
    w.Line(QStringLiteral("   #  | STATE | MODE  | WIDTH "));
    w.Line(kSeparator);
    for (int g = 0; g <= lastGroup; ++g) {
        const OutputGroupRecord& r = c.OutputConfigTable[g];
        for (int s = 0; s < SLOTS; ++s) {
            const uint8_t flags = r.Flags[s];
            w.Tab(1);
            w.Number(ChannelNumber(g, s));
            w.Tab(9);
            w.Text(flags & OUTPUT_NORMALLY_OPEN ? QStringLiteral("N.O") : QStringLiteral("N.C"));
            w.Tab(17);
            w.Text(flags & OUTPUT_PULSE ? QStringLiteral("PULSE") : QStringLiteral("LATCH"));
            w.Tab(25);
            w.Number(r.PulseWidth[s]);
        }
    }
}

} // namespace

QString ReportDateTime(const QDateTime& when) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QLatin1Char(' ') + english.toString(when.date(), QStringLiteral("dddd, MMMM dd, yyyy,")) +
           QLatin1Char(' ') + english.toString(when.time(), QStringLiteral("hh:mm AP"));
}

QString AnalogRangeText(uint8_t flags) {
    const int rangeCode = flags & ANALOG_RANGE_BITS;
    QString name = RangeName(ConversionCode(rangeCode, (flags & ANALOG_MULTIPLIER_BITS) >> 3));
    if (name.isEmpty()) return QStringLiteral("CODE %1").arg(rangeCode);
    // The monitor's names cut to the column: "0-5.00V" is its full scale "5.00",
    // "USER-X20" is "U-X20"; "4-20mA" fits as it is.
    if (name.startsWith(QLatin1String("0-")) && name.endsWith(QLatin1Char('V'))) return name.mid(2, name.size() - 3);
    return name.replace(QLatin1String("USER-"), QLatin1String("U-"));
}

ReportPages ConfigurationReport(const StationConfig& c, int childCount, const ReportStamp& stamp) {
    // A child count beyond the tables (from a damaged file) prints what the tables hold.
    const int lastGroup = std::clamp(childCount, 0, GROUPS - 1);
    ReportWriter w;
    PageHeader(w, stamp);
    SystemSection(w, c);
    SerialPortSection(w, c, {" Serial Port 1 Configuration Report", SPORT1_CCB2, SPORT1_CCB3, SPORT1_DUMP_TIME,
                             SPORT1_RETRY_TIME, SPORT1_RETRY_COUNT});
    SerialPortSection(w, c, {" Serial Port 2 Configuration Report", SPORT2_CCB2, SPORT2_CCB3, SPORT2_DUMP_TIME,
                             SPORT2_RETRY_TIME, SPORT2_RETRY_COUNT});
    FfskSection(w, c);
    ContactInputSection(w, c, lastGroup);
    w.PageBreak();
    PageHeader(w, stamp);
    AnalogSection(w, c, lastGroup, true);
    AnalogSection(w, c, lastGroup, false);
    OutputSection(w, c, lastGroup);
    return w.Pages();
}

} // namespace korvel

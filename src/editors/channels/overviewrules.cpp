#include "editors/channels/overviewrules.h"

#include "model/analogcodes.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "editors/channels/analogrules.h"
#include "editors/channels/inputrules.h"
#include "editors/channels/outputrules.h"

#include <algorithm>
#include <array>

namespace korvel {

namespace {

// The output modes by their mode bits; the further pulse type has no text at all.
constexpr uint8_t OUTPUT_LATCH = 0x00;
constexpr uint8_t OUTPUT_PULSE_ONE = 0x20;
constexpr uint8_t OUTPUT_PULSE_BOTH = 0x40;

// Where the values stand follows from the blanks the lines below put between them.
constexpr std::array<OverviewColumn, 8> kContactInputColumns{{
    {"#", "The channel number", 0, 2},
    {"Input\r\nState\r\n", "N.O. = Normally Open, N.C. = Normally Closed", 5, 4},
    {"Input\r\nMode\r\n", "NORM = Normal Input mode, TOGG = Toggle Input Mode", 11, 4},
    {"Hold\r\nTime\r\n", "The time in seconds that the signal must be present for.", 17, 3},
    {"Local\r\nOutput\r\n", "The local output to be effected (if any)", 23, 2},
    {"Local\r\nHold\r\n", "", 28, 3},
    {"Output Maps\r\n", "The destination station(s) output(s) that this event will effect.", 34, 14},
    {"Destination Station\r\nMaps\r\n", "The destination station(s) that this event will be sent to.", 51, 18},
}};

constexpr std::array<OverviewColumn, 13> kAnalogInputColumns{{
    {"#", "The channel number", 0, 2},
    {"High\r\nSet(V)\r\n", "The high set trip point", 5, 4},
    {"High\r\nHold\r\n", "", 11, 3},
    {"Local\r\nOut\r\n", "", 17, 2},
    {"Local\r\nHold\r\n", "", 21, 3},
    {"Destination\r\nStation\r\n", "", 26, 7},
    {"Input Maps\r\n", "", 35, 5},
    {"Low\r\nSet(V)\r\n", "The low set trip point", 43, 4},
    {"Low\r\nHold\r\n", "", 49, 3},
    {"Local\r\nOut\r\n", "", 54, 2},
    {"Local\r\nHold\r\n", "", 59, 3},
    {"Destination\r\nStation\r\n", "", 63, 8},
    {"Input Maps\r\n", "", 73, 6},
}};

constexpr std::array<OverviewColumn, 4> kOutputColumns{{
    {"#", "The channel number", 0, 2},
    {"Output\r\nState\r\n", "", 5, 4},
    {"Output\r\nMode\r\n", "Latching, or one of two pulse modes", 12, 7},
    {"  Pulse\r\n  Width\r\n", "The pulse width 'value' if set to one of the pulse modes", 22, 3},
}};

QString ChannelNumber(int group, int slot) { return TwoDigits(group * SLOTS + slot + 1); }

QString Blanks(int n) { return QString(n, QLatin1Char(' ')); }

QString NormallyOpenText(bool normallyOpen) {
    return normallyOpen ? QStringLiteral("   N.O.") : QStringLiteral("   N.C.");
}

QString ContactInputLine(const ContactInputGroupRecord& g, int group, int s) {
    const uint8_t flags = g.Flags[s];
    QString line = ChannelNumber(group, s);
    line += NormallyOpenText(flags & INPUT_NORMALLY_OPEN);
    line += (flags & INPUT_TOGGLE) ? QStringLiteral("  TOGG") : QStringLiteral("  NORM");
    line += Blanks(2) + ThreeDigits(g.Hold[s]);
    line += Blanks(3) + TwoDigits(g.LocalOutput[s]);
    line += Blanks(3) + ThreeDigits(g.LocalOutputDelay[s]);
    QStringList channels, stations;
    for (int d = 0; d < 4; ++d) {
        channels << TwoDigits(g.DestChannel[d][s]);
        stations << ThreeDigits(g.DestStation[d][s]);
    }
    line += Blanks(3) + channels.join(QStringLiteral(", "));
    line += Blanks(3) + stations.join(QStringLiteral(", "));
    return line;
}

QString AnalogInputLine(const AnalogGroupRecord& g, int group, int s) {
    const uint8_t flags = g.Flags[s];
    QString line = ChannelNumber(group, s);
    line += Blanks(3) + AnalogSetPointText(flags, g.HighThreshold[s]);
    line += Blanks(2) + ThreeDigits(g.HighHold[s]);
    line += Blanks(3) + TwoDigits(g.HighLocalOutput[s]);
    line += Blanks(2) + ThreeDigits(g.HighOutputDelay[s]);
    line += Blanks(2) + ThreeDigits(g.HighDestStation[0][s]) + QLatin1Char(',') + ThreeDigits(g.HighDestStation[1][s]);
    line += Blanks(2) + TwoDigits(g.HighDestChannel[0][s]) + QLatin1Char(',') + TwoDigits(g.HighDestChannel[1][s]);
    line += Blanks(3) + AnalogSetPointText(flags, g.LowThreshold[s]);
    line += Blanks(2) + ThreeDigits(g.LowHold[s]);
    line += Blanks(2) + TwoDigits(g.LowLocalOutput[s]);
    line += Blanks(3) + ThreeDigits(g.LowOutputDelay[s]);
    line += Blanks(1) + ThreeDigits(g.LowDestStation[0][s]) + QStringLiteral(", ") + ThreeDigits(g.LowDestStation[1][s]);
    line += Blanks(2) + TwoDigits(g.LowDestChannel[0][s]) + QStringLiteral(", ") + TwoDigits(g.LowDestChannel[1][s]);
    return line;
}

QString OutputLine(const OutputGroupRecord& g, int group, int s, bool pellar) {
    const uint8_t flags = g.Flags[s];
    QString line = ChannelNumber(group, s) + NormallyOpenText(flags & OUTPUT_NORMALLY_OPEN);
    const QString width = Blanks(3) + QString::number(g.PulseWidth[s]);
    // A Pellar's outputs only latch, whatever their mode bits say.
    switch (pellar ? OUTPUT_LATCH : flags & OUTPUT_MODE_BITS) {
    case OUTPUT_LATCH: line += QStringLiteral("   LATCH      0"); break;
    case OUTPUT_PULSE_ONE: line += QStringLiteral("   PULSE-1") + width; break;
    case OUTPUT_PULSE_BOTH: line += QStringLiteral("   PULSE-B") + width; break;
    default: break;  // the further pulse type has no name here
    }
    return line;
}

} // namespace

std::span<const OverviewColumn> ContactInputColumns() { return kContactInputColumns; }
std::span<const OverviewColumn> AnalogInputColumns() { return kAnalogInputColumns; }
std::span<const OverviewColumn> OutputColumns() { return kOutputColumns; }

QString AnalogSetPointText(uint8_t flags, int16_t threshold) {
    const int rangeCode = flags & ANALOG_RANGE_BITS;
    const int multiplier = (flags & ANALOG_MULTIPLIER_BITS) >> 3;
    const int code = ConversionCode(rangeCode, multiplier);
    // The scaled value is in ten-thousandths of a volt, or thousandths for the ranges
    // whose factor says so; a range without a conversion shows no set point.
    const std::optional<ConversionScale> scale = ConversionScaleFor(code);
    const double volts = scale ? ConvertFromTarget(threshold, code) / scale->factor : 0.0;
    return FormatNumberPattern(volts, u"0.00");
}

QStringList ContactInputLines(const StationConfig& c) {
    QStringList lines;
    for (int g = 0; g < GROUPS; ++g)
        for (int s = 0; s < SLOTS; ++s)
            if (c.ContactInputTable[g].Flags[s] & INPUT_ENABLED) lines << ContactInputLine(c.ContactInputTable[g], g, s);
    return lines;
}

QStringList AnalogInputLines(const StationConfig& c) {
    QStringList lines;
    for (int g = 0; g < GROUPS; ++g)
        for (int s = 0; s < SLOTS; ++s)
            if (c.AnalogConfigTable[g].Flags[s] & ANALOG_EVENTS_ENABLED)
                lines << AnalogInputLine(c.AnalogConfigTable[g], g, s);
    return lines;
}

QStringList OutputLines(const StationConfig& c, int childCount, bool pellar) {
    QStringList lines;
    // A child count beyond the table (from a damaged file) lists what the table holds.
    const int lastGroup = std::clamp(childCount, 0, GROUPS - 1);
    for (int g = 0; g <= lastGroup; ++g)
        for (int s = 0; s < SLOTS; ++s) lines << OutputLine(c.OutputConfigTable[g], g, s, pellar);
    return lines;
}

} // namespace korvel

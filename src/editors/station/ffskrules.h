// The FFSK radio-modem port's values as its dialog edits them: the two control bytes'
// bit layouts, the numeric fields' limits, the gate rule, the channel-clear delay's
// clamp, the output level's check, and what OK makes of the form.
#pragma once

#include "model/model.h"

#include <QString>

namespace korvel {

// What the FFSK dialog edits, taken from the configuration when it opens and put back
// in one step on OK. Elements it does not edit (FFSK_Ccb3, the sync words) are not here.
struct FfskSettings {
    double Ccb1 = 0, Ccb2 = 0, RetryTime = 0, RetryCount = 0, PttStartDelay = 0, CdDelayTime = 0, OutputLevel = 0,
           PttHangDelay = 0;
};
FfskSettings TakeFfskSettings(const StationConfig& c);
void PutFfskSettings(const FfskSettings& s, StationConfig& c);

// FFSK_Ccb1: protocol in bits 0-2, concatenated packets in bit 6; bits 3-5 and 7 belong
// to the module and are kept.
constexpr int FFSK_PROTOCOL_MASK = 0x07;
constexpr int FFSK_CONC_PACKET = 0x40;
// FFSK_Ccb2: the preamble count in bits 0-3, then one bit each for an internally made
// gate signal, a gate active high, 1200 baud and a transmitter keyed high.
constexpr int FFSK_PREAMBLE_MASK = 0x0F;
constexpr int FFSK_GATE_INTERNAL = 0x10;
constexpr int FFSK_GATE_HIGH = 0x20;
constexpr int FFSK_BAUD_1200 = 0x40;
constexpr int FFSK_PTT_HIGH = 0x80;

// List positions: the baud list starts with "1200", the gate type list with the
// external signal, the polarity lists with "LOW".
constexpr int FFSK_BAUD_1200_INDEX = 0;
constexpr int FFSK_BAUD_2400_INDEX = 1;
constexpr int FFSK_GATE_EXTERNAL_INDEX = 0;
constexpr int FFSK_GATE_INTERNAL_INDEX = 1;
constexpr int FFSK_LOW_INDEX = 0;
constexpr int FFSK_HIGH_INDEX = 1;

// One numeric field: its limits and step in the unit shown, the digits its box takes,
// and what the shown value is divided by to give the stored element.
struct FfskFieldRange {
    long min;
    long max;
    long step;
    int maxLength;
    double divisor;
};
// The preamble ends at 15, what its four bits hold, so that no count can spill into the
// gate and baud bits above them.
constexpr FfskFieldRange kFfskPreamble{2, 15, 1, 2, 1};
constexpr FfskFieldRange kFfskCdDelay{50, 1000, 10, 4, 10};
constexpr FfskFieldRange kFfskPttDelay{0, 5000, 100, 4, 100};
constexpr FfskFieldRange kFfskRetryCount{0, 10, 1, 2, 1};
constexpr FfskFieldRange kFfskRetryTimeout{100, 10000, 100, 5, 100};
// Shown but not used by this port.
constexpr FfskFieldRange kFfskDumpTime{0, 4000, 100, 4, 100};

// What choosing a gate type does to the gate polarity list.
struct GateControls {
    bool polarityEnabled = true;
    bool polarityToHigh = false;
};
// An internal gate signal has no polarity to choose: it is shown HIGH and locked.
GateControls GateRule(int gateTypeIndex);

// The refusal of the output level box's text, or an empty text. Empty or non-numeric
// text counts as 0.
QString LevelError(const QString& text);
// The level the box's text stores.
double LevelOf(const QString& text);

// The values of the dialog's controls that OK stores; -1 is a list without a selection,
// which keeps the stored bits. Numbers are in the units shown.
struct FfskForm {
    bool concPacket = false;
    int protocol = -1;
    int baud = -1;
    int pttPolarity = -1;
    int gateType = -1;
    int gatePolarity = -1;
    long preamble = 0;
    long cdDelay = 0;
    long pttStartDelay = 0;
    long pttHangDelay = 0;
    long retryTimeout = 0;
    long retryCount = 0;
    QString level;
};

// What the controls show for the loaded settings. The protocol is the stored code even
// where the list has no such entry; times are whole ms; the channel-clear delay is
// brought within its field's limits.
FfskForm FfskFormOf(const FfskSettings& s);

// The settings OK stores: the form composed into the bits of what was loaded. The
// divisions are kept as fractions; a block rounds them when it is built.
FfskSettings ComposeFfsk(const FfskSettings& loaded, const FfskForm& form);

} // namespace korvel

#include "editors/station/ffskrules.h"
#include "model/systemvalues.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr long kLevelMin = 1;
constexpr long kLevelMax = 31;

// Sets or clears bit by a list's choice; a list without a choice keeps the bit.
int PutBit(int value, int bit, int index, int setIndex) {
    if (index < 0) return value;
    return index == setIndex ? value | bit : value & ~bit;
}

} // namespace

FfskSettings TakeFfskSettings(const StationConfig& c) {
    const double* v = c.SystemConfig;
    FfskSettings s;
    s.Ccb1 = v[FFSK_CCB1];
    s.Ccb2 = v[FFSK_CCB2];
    s.RetryTime = v[FFSK_RETRY_TIME];
    s.RetryCount = v[FFSK_RETRY_COUNT];
    s.PttStartDelay = v[FFSK_PTT_START_DELAY];
    s.CdDelayTime = v[FFSK_CD_DELAY_TIME];
    s.OutputLevel = v[FFSK_OUTPUT_LEVEL];
    s.PttHangDelay = v[FFSK_PTT_HANG_DELAY];
    return s;
}

void PutFfskSettings(const FfskSettings& s, StationConfig& c) {
    double* v = c.SystemConfig;
    v[FFSK_CCB1] = s.Ccb1;
    v[FFSK_CCB2] = s.Ccb2;
    v[FFSK_RETRY_TIME] = s.RetryTime;
    v[FFSK_RETRY_COUNT] = s.RetryCount;
    v[FFSK_PTT_START_DELAY] = s.PttStartDelay;
    v[FFSK_CD_DELAY_TIME] = s.CdDelayTime;
    v[FFSK_OUTPUT_LEVEL] = s.OutputLevel;
    v[FFSK_PTT_HANG_DELAY] = s.PttHangDelay;
}

GateControls GateRule(int gateTypeIndex) {
    if (gateTypeIndex == FFSK_GATE_INTERNAL_INDEX) return {false, true};
    return {};
}

FfskForm FfskFormOf(const FfskSettings& s) {
    const int ccb1 = RoundToLong(s.Ccb1);
    const int ccb2 = RoundToLong(s.Ccb2);
    auto shown = [](double stored, const FfskFieldRange& r) -> long { return RoundToLong(stored * r.divisor); };
    FfskForm f;
    f.concPacket = ccb1 & FFSK_CONC_PACKET;
    f.protocol = ccb1 & FFSK_PROTOCOL_MASK;
    f.baud = ccb2 & FFSK_BAUD_1200 ? FFSK_BAUD_1200_INDEX : FFSK_BAUD_2400_INDEX;
    f.pttPolarity = ccb2 & FFSK_PTT_HIGH ? FFSK_HIGH_INDEX : FFSK_LOW_INDEX;
    f.gateType = ccb2 & FFSK_GATE_INTERNAL ? FFSK_GATE_INTERNAL_INDEX : FFSK_GATE_EXTERNAL_INDEX;
    f.gatePolarity = ccb2 & FFSK_GATE_HIGH ? FFSK_HIGH_INDEX : FFSK_LOW_INDEX;
    f.preamble = ccb2 & FFSK_PREAMBLE_MASK;
    f.cdDelay = std::clamp(shown(s.CdDelayTime, kFfskCdDelay), kFfskCdDelay.min, kFfskCdDelay.max);
    f.pttStartDelay = shown(s.PttStartDelay, kFfskPttDelay);
    f.pttHangDelay = shown(s.PttHangDelay, kFfskPttDelay);
    f.retryTimeout = shown(s.RetryTime, kFfskRetryTimeout);
    f.retryCount = shown(s.RetryCount, kFfskRetryCount);
    f.level = QString::number(s.OutputLevel);
    return f;
}

double LevelOf(const QString& text) { return LeadingDecimal(text); }

QString LevelError(const QString& text) {
    const double level = LevelOf(text);
    if (level > double(kLevelMax) || level < double(kLevelMin))
        return QStringLiteral("Level must be between 1 and 31, please re-enter.");
    return {};
}

FfskSettings ComposeFfsk(const FfskSettings& loaded, const FfskForm& form) {
    FfskSettings s = loaded;

    int ccb1 = RoundToLong(loaded.Ccb1);
    ccb1 = form.concPacket ? ccb1 | FFSK_CONC_PACKET : ccb1 & ~FFSK_CONC_PACKET;
    if (form.protocol >= 0) ccb1 = (ccb1 & ~FFSK_PROTOCOL_MASK) | (form.protocol & FFSK_PROTOCOL_MASK);
    s.Ccb1 = ccb1;

    int ccb2 = RoundToLong(loaded.Ccb2);
    ccb2 = PutBit(ccb2, FFSK_PTT_HIGH, form.pttPolarity, FFSK_HIGH_INDEX);
    ccb2 = PutBit(ccb2, FFSK_GATE_INTERNAL, form.gateType, FFSK_GATE_INTERNAL_INDEX);
    ccb2 = PutBit(ccb2, FFSK_GATE_HIGH, form.gatePolarity, FFSK_HIGH_INDEX);
    ccb2 = PutBit(ccb2, FFSK_BAUD_1200, form.baud, FFSK_BAUD_1200_INDEX);
    // Only the count's own four bits: the ones above belong to the lists.
    ccb2 = (ccb2 & ~FFSK_PREAMBLE_MASK) | (int(form.preamble) & FFSK_PREAMBLE_MASK);
    s.Ccb2 = ccb2;

    s.RetryTime = double(form.retryTimeout) / kFfskRetryTimeout.divisor;
    s.RetryCount = double(form.retryCount) / kFfskRetryCount.divisor;
    s.PttStartDelay = double(form.pttStartDelay) / kFfskPttDelay.divisor;
    s.PttHangDelay = double(form.pttHangDelay) / kFfskPttDelay.divisor;
    s.CdDelayTime = double(form.cdDelay) / kFfskCdDelay.divisor;
    s.OutputLevel = LevelOf(form.level);
    return s;
}

} // namespace korvel

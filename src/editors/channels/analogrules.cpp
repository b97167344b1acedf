#include "editors/channels/analogrules.h"

#include "model/analogcodes.h"
#include "model/tempcodes.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace korvel {

namespace {

// The sensor codes of the 0 - 5.00V range's list, in list order.
constexpr int kSensorOrder[] = {SENSOR_NORMAL,    SENSOR_BPS_VHF,   SENSOR_BPS_UHF,  SENSOR_SHUNT_50A,
                                SENSOR_SHUNT_30A, SENSOR_SHUNT_20A, SENSOR_SHUNT_5A, SENSOR_AC_VOLTAGE};

uint8_t Byte(int v) { return static_cast<uint8_t>(v); }

uint8_t WithBit(uint8_t flags, uint8_t bit, bool set) { return set ? uint8_t(flags | bit) : uint8_t(flags & ~bit); }

} // namespace

QStringList SensorListItems() {
    QStringList items;
    for (int code : kSensorOrder) items << SensorListText(code);
    return items;
}

int SensorCodeToListIndex(int rangeCode, int sensorCode) {
    if (rangeCode != RANGE_0_5V) return -1;
    const auto* at = std::find(std::begin(kSensorOrder), std::end(kSensorOrder), sensorCode);
    return at == std::end(kSensorOrder) ? 0 : int(at - std::begin(kSensorOrder));
}

int SensorListIndexToCode(int rangeCode, int index) {
    if (rangeCode != RANGE_0_5V || index < 0 || index >= int(std::size(kSensorOrder))) return SENSOR_NORMAL;
    return kSensorOrder[index];
}

std::optional<MappingEnable> MappingEnableFor(int moduleMode) {
    switch (moduleMode) {
    case 0: return MappingEnable{false, false};
    case 1: return MappingEnable{false, true};
    case 2: return MappingEnable{true, true};
    case 3: return MappingEnable{false, false};
    default: return std::nullopt;
    }
}

AnalogChannelValues ViewAnalogChannel(const AnalogGroupRecord& g, int s) {
    AnalogChannelValues v;
    const uint8_t flags = g.Flags[s];
    v.enabled = flags & ANALOG_EVENTS_ENABLED;
    v.inverted = flags & ANALOG_SET_POINTS_INVERTED;
    v.logThreshold = flags & ANALOG_LOG_THRESHOLD;
    v.rangeCode = flags & ANALOG_RANGE_BITS;
    v.modifier = g.Modifier[s];
    v.offset = g.Offset[s];
    v.low = {g.LowThreshold[s], g.LowHold[s], {g.LowDestStation[0][s], g.LowDestStation[1][s]},
             {g.LowDestChannel[0][s], g.LowDestChannel[1][s]}, g.LowLocalOutput[s], g.LowOutputDelay[s]};
    v.high = {g.HighThreshold[s], g.HighHold[s], {g.HighDestStation[0][s], g.HighDestStation[1][s]},
              {g.HighDestChannel[0][s], g.HighDestChannel[1][s]}, g.HighLocalOutput[s], g.HighOutputDelay[s]};
    v.qualifier = g.Qualifier[s];
    return v;
}

void StoreAnalogChannel(AnalogGroupRecord& g, int s, const AnalogChannelValues& v) {
    uint8_t flags = g.Flags[s];
    flags = WithBit(flags, ANALOG_EVENTS_ENABLED, v.enabled);
    flags = WithBit(flags, ANALOG_SET_POINTS_INVERTED, v.inverted);
    flags = uint8_t((flags & ~ANALOG_RANGE_BITS) | (v.rangeCode & ANALOG_RANGE_BITS));
    flags = uint8_t((flags & ~ANALOG_MULTIPLIER_BITS) | ((v.modifier & 3) << 3));
    flags = WithBit(flags, ANALOG_LOG_THRESHOLD, v.logThreshold);
    g.Flags[s] = flags;
    g.RangeCode[s] = int16_t(v.rangeCode);
    g.Modifier[s] = int16_t(v.modifier);
    g.LowThreshold[s] = v.low.threshold;
    g.HighThreshold[s] = v.high.threshold;
    g.Offset[s] = int16_t(v.offset);
    g.LowHold[s] = Byte(v.low.hold);
    g.HighHold[s] = Byte(v.high.hold);
    for (int d = 0; d < 2; ++d) {
        g.LowDestStation[d][s] = Byte(v.low.destStation[d]);
        g.LowDestChannel[d][s] = Byte(v.low.destChannel[d]);
        g.HighDestStation[d][s] = Byte(v.high.destStation[d]);
        g.HighDestChannel[d][s] = Byte(v.high.destChannel[d]);
    }
    g.LowLocalOutput[s] = Byte(v.low.localOutput);
    g.HighLocalOutput[s] = Byte(v.high.localOutput);
    g.LowOutputDelay[s] = Byte(v.low.outputDelay);
    g.HighOutputDelay[s] = Byte(v.high.outputDelay);
    g.Qualifier[s] = Byte(v.qualifier);
}

TempChannelValues ViewTempChannel(const TempChannelRecord& r) {
    TempChannelValues v;
    v.enabled = r.Flags & ANALOG_EVENTS_ENABLED;
    v.logThreshold = r.Flags & ANALOG_LOG_THRESHOLD;
    v.low = {r.LowThreshold, r.LowHold, {r.LowDestStation[0], r.LowDestStation[1]},
             {r.LowDestChannel[0], r.LowDestChannel[1]}, r.LowLocalOutput, r.LowOutputDelay};
    v.high = {r.HighThreshold, r.HighHold, {r.HighDestStation[0], r.HighDestStation[1]},
              {r.HighDestChannel[0], r.HighDestChannel[1]}, r.HighLocalOutput, r.HighOutputDelay};
    v.qualifier = r.Qualifier;
    return v;
}

void StoreTempChannel(TempChannelRecord& r, const TempChannelValues& v) {
    r.Flags = WithBit(WithBit(r.Flags, ANALOG_EVENTS_ENABLED, v.enabled), ANALOG_LOG_THRESHOLD, v.logThreshold);
    r.LowThreshold = v.low.threshold;
    r.HighThreshold = v.high.threshold;
    r.LowHold = Byte(v.low.hold);
    r.HighHold = Byte(v.high.hold);
    for (int d = 0; d < 2; ++d) {
        r.LowDestStation[d] = Byte(v.low.destStation[d]);
        r.LowDestChannel[d] = Byte(v.low.destChannel[d]);
        r.HighDestStation[d] = Byte(v.high.destStation[d]);
        r.HighDestChannel[d] = Byte(v.high.destChannel[d]);
    }
    r.LowLocalOutput = Byte(v.low.localOutput);
    r.HighLocalOutput = Byte(v.high.localOutput);
    r.LowOutputDelay = Byte(v.low.outputDelay);
    r.HighOutputDelay = Byte(v.high.outputDelay);
    r.Qualifier = Byte(v.qualifier);
}

int StoredModifier(int rangeCode, int sensorIndex, int multiplierIndex, int loadedRange, int loadedModifier) {
    if (rangeCode == RANGE_0_5V) return SensorListIndexToCode(rangeCode, sensorIndex);
    if (rangeCode == RANGE_0_25V)
        return loadedRange == RANGE_0_25V && loadedModifier == SENSOR_RF_POWER ? SENSOR_RF_POWER : SENSOR_NORMAL;
    return std::max(multiplierIndex, 0);
}

long ThresholdSteps(int16_t code, int conversionCode, long minimum, long maximum) {
    const double v = ConvertFromTarget(code, conversionCode);
    if (v > double(maximum) || v < double(minimum)) return maximum;
    return RoundToLong(v);
}

float TempThresholdShown(int16_t code, bool degreesF) {
    const float tenths = ConvertTempFromBinary(code);
    return degreesF ? CelsiusToFahrenheit(tenths) : tenths;
}

int16_t TempThresholdCode(double shown, bool degreesF) {
    const double tenths = shown * 10.0;
    if (degreesF) return ConvertTempToBinary(RoundToLong(FahrenheitToCelsius(float(tenths))));
    return ConvertTempToBinary(RoundToLong(tenths));
}

} // namespace korvel

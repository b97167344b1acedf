// What an analog or temperature channel shows and stores: the sensor list both ways, the
// bit layout of a channel's flags, the modifier a range keeps, set-point codes both ways.
#include "model/analogcodes.h"
#include "model/target.h"
#include "editors/channels/analogrules.h"
#include "support/configdiff.h"

#include <gtest/gtest.h>
#include <memory>

using namespace korvel;

namespace {

TEST(AnalogRules, SensorListIndexesAndCodesMapBothWaysOnTheFiveVoltRangeOnly) {
    const QStringList items = SensorListItems();
    ASSERT_EQ(items.size(), SENSOR_COUNT);
    for (int i = 0; i < SENSOR_COUNT; ++i) {
        const int code = SensorListIndexToCode(RANGE_0_5V, i);
        EXPECT_EQ(items[i], SensorListText(code));
        EXPECT_EQ(SensorCodeToListIndex(RANGE_0_5V, code), i);
    }
    EXPECT_EQ(items[4], "Diff. Sensor - 30A Shunt");
    EXPECT_EQ(SensorCodeToListIndex(RANGE_0_5V, 9), 0) << "an unknown code shows as Normal";
    EXPECT_EQ(SensorCodeToListIndex(RANGE_0_25V, SENSOR_SHUNT_30A), -1);
    EXPECT_EQ(SensorListIndexToCode(RANGE_0_25V, 4), SENSOR_NORMAL);
    EXPECT_EQ(SensorListIndexToCode(RANGE_0_5V, 8), SENSOR_NORMAL);
    EXPECT_EQ(SensorListIndexToCode(RANGE_0_5V, -1), SENSOR_NORMAL);
}

TEST(AnalogRules, EveryFlagsByteAndSideFieldSurvivesAViewAndStore) {
    const auto loaded = std::make_unique<StationConfig>();
    const auto stored = std::make_unique<StationConfig>();
    for (int flags = 0; flags < 256; ++flags) {
        const int s = flags % SLOTS;
        AnalogGroupRecord& g = loaded->AnalogConfigTable[0];
        g.Flags[s] = uint8_t(flags);
        g.Modifier[s] = int16_t(((flags >> 3) & 3) | 4);  // bits 3-4 agree with the modifier
        g.RangeCode[s] = int16_t(flags & 7);
        g.LowThreshold[s] = 1023;
        g.HighThreshold[s] = -4;
        g.Offset[s] = -31;
        g.HighDestStation[1][s] = 255;
        g.LowDestChannel[0][s] = 64;
        g.HighOutputDelay[s] = 200;
        g.Qualifier[s] = 9;
        TempChannelRecord& t = loaded->TempConfigTable[s];
        t.Flags = uint8_t(flags);
        t.LowThreshold = 402;
        t.LowHold = 17;
        *stored = *loaded;
        StoreAnalogChannel(stored->AnalogConfigTable[0], s, ViewAnalogChannel(g, s));
        StoreTempChannel(stored->TempConfigTable[s], ViewTempChannel(t));
        ASSERT_EQ(test::ConfigDifferences(*loaded, *stored), QStringList{}) << flags;
    }
}

TEST(AnalogRules, AStoreWritesTheRangeAndTheModifiersLowBitsIntoTheFlags) {
    AnalogGroupRecord g;
    g.Flags[2] = 0xFF;
    AnalogChannelValues v = ViewAnalogChannel(g, 2);
    v.enabled = v.inverted = v.logThreshold = false;
    v.rangeCode = RANGE_USER;
    v.modifier = StoredModifier(RANGE_USER, 0, 2, RANGE_0_5V, SENSOR_AC_VOLTAGE);
    StoreAnalogChannel(g, 2, v);
    EXPECT_EQ(g.Flags[2], 0x10 | RANGE_USER);
    EXPECT_EQ(g.Modifier[2], 2);
    EXPECT_EQ(g.RangeCode[2], RANGE_USER);
}

TEST(AnalogRules, TheTwentyFiveVoltRangeKeepsOnlyTheSensorItWasLoadedWith) {
    EXPECT_EQ(StoredModifier(RANGE_0_5V, 5, 3, RANGE_0_5V, 0), SENSOR_SHUNT_20A);
    EXPECT_EQ(StoredModifier(RANGE_0_25V, 0, 0, RANGE_0_25V, SENSOR_RF_POWER), SENSOR_RF_POWER);
    EXPECT_EQ(StoredModifier(RANGE_0_25V, 0, 0, RANGE_0_25V, SENSOR_AC_VOLTAGE), SENSOR_NORMAL) << "no such sensor";
    EXPECT_EQ(StoredModifier(RANGE_0_25V, 0, 0, RANGE_0_5V, SENSOR_SHUNT_20A), SENSOR_NORMAL);
    EXPECT_EQ(StoredModifier(RANGE_0_25V, 0, 0, RANGE_4_20MA, SENSOR_SHUNT_30A), SENSOR_NORMAL);
    EXPECT_EQ(StoredModifier(RANGE_0_2V56, 0, -1, RANGE_0_2V56, 3), 0) << "no multiplier chosen";
}

TEST(AnalogRules, SetPointsBeyondTheUpDownLoadAsItsMaximum) {
    EXPECT_EQ(ThresholdSteps(1024, CONVERSION_0_5V, 0, 50000), 50000) << "the never-crossed default";
    EXPECT_EQ(ThresholdSteps(512, CONVERSION_0_5V, 0, 50000), 25000);
    EXPECT_EQ(ThresholdSteps(0, CONVERSION_4_20MA, 4000, 20000), 20000) << "below the least";
    EXPECT_EQ(ThresholdSteps(-4, CONVERSION_0_2V56, 0, 25600), 25600);
}

TEST(AnalogRules, TemperatureSetPointsTravelAsTheTargetsCodes) {
    target().PellarDevice = false;
    EXPECT_EQ(TempThresholdCode(77.0, true), 50);
    EXPECT_EQ(TempThresholdCode(-0.5, false), 511);
    EXPECT_EQ(TempThresholdCode(25.2, false), 50);
    EXPECT_FLOAT_EQ(TempThresholdShown(402, true), -670.0f);
    target().PellarDevice = true;
    EXPECT_EQ(TempThresholdCode(25.0, false), 161);
    EXPECT_FLOAT_EQ(TempThresholdShown(161, false), 250.0f);
    ResetTargetState();
}

} // namespace

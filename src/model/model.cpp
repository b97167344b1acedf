#include "model/model.h"

#include "model/target.h"

namespace korvel {

static StationConfig g_config;
StationConfig& config() { return g_config; }
void ResetStationConfig() { g_config = StationConfig{}; }

namespace {

struct NamedValue {
    const char* name;
    uint8_t factoryDefault;
};

constexpr NamedValue kSystemValues[NAMED_SYSTEM_VALUES] = {
    {"MyAddress", 1},          {"ModuleMode", 48},        {"StartUpDelay", 10},
    {"StartUpOptions", 0},     {"SPORT1_Ccb1", 134},      {"SPORT1_Ccb2", 2},
    {"SPORT1_Ccb3", 0},        {"SPORT1_DumpTime", 4},    {"SPORT1_RetryTime", 5},
    {"SPORT1_RetryCount", 3},  {"SPORT2_Ccb1", 134},      {"SPORT2_Ccb2", 2},
    {"SPORT2_Ccb3", 0},        {"SPORT2_DumpTime", 5},    {"SPORT2_RetryTime", 5},
    {"SPORT2_RetryCount", 3},  {"FFSK_Ccb1", 128},        {"FFSK_Ccb2", 3},
    {"FFSK_Ccb3", 1},          {"FFSK_RetryTime", 10},    {"FFSK_RetryCount", 5},
    {"FFSK_SyncWordHigh", 196}, {"FFSK_SyncWordLow", 215}, {"FFSK_PTTStartDelay", 10},
    {"FFSK_CDDelayTime", 15},  {"FFSK_OutputLevel", 31},  {"RedLedOnTime", 3},
    {"RedLedOffTime", 10},     {"RedLedFlashTime", 4},    {"GreenLedOnTime", 3},
    {"GreenLedOffTime", 10},   {"GreenLedFlashTime", 4},  {"TEST_TIME", 100},
    {"SleepTime", 65},         {"SleepReturn", 10},       {"LogSystem", 0},
    {"LogInputs", 0},          {"LogAnalogs", 0},         {"LogTemperatures", 0},
    {"SampleTime", 1},         {"AccumulatingTime", 88},  {"LogRatio", 50},
    {"FFSK_PTTHangDelay", 10},
};

} // namespace

const char* SystemValueName(int element) {
    return element >= 0 && element < NAMED_SYSTEM_VALUES ? kSystemValues[element].name : "";
}

uint8_t SystemValueDefault(int element) {
    return element >= 0 && element < NAMED_SYSTEM_VALUES ? kSystemValues[element].factoryDefault : 0;
}

// Resets what an off-line edit or a read starts from. It deliberately keeps the
// unnamed system elements, every trailer and reserved byte, the live values and the
// groups above ChildCount: those carry what the last module reported, and must go
// back to a module unchanged.
void SetDefaultConfiguration() { SetDefaultConfiguration(g_config); }

void SetDefaultConfiguration(StationConfig& c) {
    const TargetState& t = target();
    for (int i = 0; i < NAMED_SYSTEM_VALUES; ++i) c.SystemConfig[i] = kSystemValues[i].factoryDefault;

    const int lastGroup = t.ChildCount < GROUPS ? t.ChildCount : GROUPS - 1;
    for (int g = 0; g <= lastGroup; ++g) {
        ContactInputGroupRecord& ci = c.ContactInputTable[g];
        AnalogGroupRecord& a = c.AnalogConfigTable[g];
        OutputGroupRecord& o = c.OutputConfigTable[g];
        for (int s = 0; s < SLOTS; ++s) {
            ci.Flags[s] = 0x40;
            ci.Hold[s] = 0;
            ci.LocalOutputDelay[s] = 0;
            ci.LocalOutput[s] = 0;
            for (int d = 0; d < 4; ++d) ci.DestStation[d][s] = ci.DestChannel[d][s] = 0;
            ci.Present[s] = true;

            a.Flags[s] = 9;
            a.LowThreshold[s] = 0;
            a.Offset[s] = 0;
            a.LowHold[s] = 1;
            a.LowLocalOutput[s] = 0;
            a.LowOutputDelay[s] = 1;
            a.HighThreshold[s] = 1024;  // one above the largest code: never crossed
            a.HighHold[s] = 1;
            a.HighLocalOutput[s] = 0;
            a.HighOutputDelay[s] = 1;
            a.Qualifier[s] = 0;
            for (int d = 0; d < 2; ++d) {
                a.LowDestStation[d][s] = a.LowDestChannel[d][s] = 0;
                a.HighDestStation[d][s] = a.HighDestChannel[d][s] = 0;
            }
            a.Present[s] = true;

            o.Flags[s] = 0;
            o.PulseWidth[s] = 0;
        }
    }

    for (TempChannelRecord& r : c.TempConfigTable) {
        r.Flags = 1;
        r.LowThreshold = t.PellarDevice ? 111 : 0;
        r.LowHold = 1;
        r.LowDestStation[0] = r.LowDestStation[1] = 0;
        r.LowDestChannel[0] = r.LowDestChannel[1] = 0;
        r.LowLocalOutput = 0;
        r.LowOutputDelay = 1;
        r.HighThreshold = t.PellarDevice ? 161 : 50;
        r.HighHold = 1;
        r.HighDestStation[0] = r.HighDestStation[1] = 0;
        r.HighDestChannel[0] = r.HighDestChannel[1] = 0;
        r.HighLocalOutput = 0;
        r.HighOutputDelay = 1;
        r.Qualifier = 0;
    }

    FleetSyncSettings& fs = c.FleetSyncConfig;
    fs.Ccb1 = 0x81;
    fs.Ccb2 = fs.Ccb3 = fs.ReportTime = 0;
    for (int i = 0; i < 3; ++i) {
        fs.FleetNumber[i] = 100;
        fs.IDNumber[i] = 1000;
    }
    for (int i = 0; i < 20; ++i) fs.SecurityFleet[i] = fs.SecurityIDNumber[i] = 0;
    for (int i = 0; i < 8; ++i) {
        fs.InputTagOff[i].clear();
        fs.InputTagOn[i].clear();
        fs.AnalogTag[i].clear();
        fs.TempTag[i].clear();
    }

    NmeaSettings& n = c.NmeaConfig;
    n.Ccb1 = n.Ccb2 = n.Ccb3 = 0;
    n.ReportTime = 60;
    n.TimeMark = 0;
    n.Init1.clear();
    n.Init2.clear();
    n.Custom.clear();
}

int GetChannelGroup(int channel) { return channel >= 0 && channel <= 63 ? channel / 8 : 0; }
int GetChannelSlot(int channel) { return channel >= 0 && channel <= 63 ? channel % 8 : 0; }

} // namespace korvel

// A serial port's protocol rules and what OK composes, without a window.
#include "model/model.h"
#include "model/systemvalues.h"
#include "editors/station/portrules.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QString kModeReset = QStringLiteral(
    "Fleetsync mode selected. The module mode has been reset to SLAVE-NOMAPPING.\n\r"
    "If master mode is required, return to the system window and change module mode to MASTER");
const QString kPathReset =
    QStringLiteral("Fleetsync mode selected. Primary transmission path has been\n\rreset to Serial Port 2");
const QString kPowerSaveOff =
    QStringLiteral("Fleetsync protocol does not support power save mode.\n\rPower save mode has been disabled");
const QString kNmeaOff = QStringLiteral(
    "Serial Port 2 is currently set to Fleetsync mode.\n\rVistrel monitoring and secondary radios are disabled");

PortSettings Port(int port, int ccb2, int moduleMode, int options = 0) {
    PortSettings s;
    s.port = port;
    s.Ccb2 = ccb2;
    s.ModuleMode = moduleMode;
    s.StartUpOptions = options;
    return s;
}

TEST(PortRulesTest, BinmpTakesTheStoredRateAndTheDefaultRetries) {
    PortSettings s = Port(2, 0x07, 0x20);
    ProtocolOutcome out = ApplyProtocolRule(s, PORT_BINMP, false, 0, PORT_BINMP);
    EXPECT_EQ(out.baudIndex, 7);
    EXPECT_EQ(out.retryTimeoutMs, 500);
    EXPECT_EQ(out.retryCount, 3);
    EXPECT_EQ(out.retryEnabled, true);
    EXPECT_EQ(out.connectionEnabled, true);
    EXPECT_TRUE(out.messages.isEmpty());
    // A Pellar with the default entry keeps port 2's stored rate, and shows 9600 on port 1.
    EXPECT_EQ(ApplyProtocolRule(s, PORT_BINMP, true, 0, 0).baudIndex, 7);
    PortSettings port1 = Port(1, 0x07, 0x20);
    EXPECT_EQ(ApplyProtocolRule(port1, PORT_BINMP, true, 0, 0).baudIndex, PELLAR_9600_INDEX);
}

TEST(PortRulesTest, FleetSyncFirstCorrectsAModeThatCannotCarryIt) {
    for (int mode : {MODE_SLAVE_INPUTMAPPING, MODE_GATEWAY}) {
        PortSettings s = Port(2, 0, 0x10 | mode, 0xC1);
        const ProtocolOutcome out = ApplyProtocolRule(s, PORT_FLEETSYNC, false, 0, 0);
        EXPECT_EQ(s.ModuleMode, 0x10) << "mode reset, the path (serial port 1) left for another choice";
        EXPECT_EQ(out.messages, QStringList({kModeReset, kPowerSaveOff}));
        EXPECT_EQ(s.StartUpOptions, 0x01) << "power save and COS wake-up off, the rest kept";
        EXPECT_FALSE(out.retryTimeoutMs.has_value());
        EXPECT_EQ(out.baudIndex, 2);
        EXPECT_EQ(out.connectionEnabled, false);
    }
}

TEST(PortRulesTest, FleetSyncThenMovesThePathToSerialPort2ThenSetsItsRetries) {
    PortSettings s = Port(1, 0, 0x30 | MODE_MASTER);
    ProtocolOutcome out = ApplyProtocolRule(s, PORT_FLEETSYNC, false, 0, 0);
    EXPECT_EQ(s.ModuleMode, 0x20 | MODE_MASTER);
    EXPECT_EQ(out.messages, QStringList{kPathReset});
    EXPECT_FALSE(out.retryCount.has_value());
    // Once mode and path suit it, choosing FleetSync again only sets its retry values.
    out = ApplyProtocolRule(s, PORT_FLEETSYNC, false, 0, 0);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(out.retryTimeoutMs, 15000);
    EXPECT_EQ(out.retryCount, 1);
    EXPECT_EQ(out.retryEnabled, true);
}

TEST(PortRulesTest, NmeaSwitchesOffMonitoringAndRadiosOnceAndTellsOnlyWithAFleetSyncPort2) {
    PortSettings s = Port(1, 0x30, 0x20);
    ProtocolOutcome out = ApplyProtocolRule(s, PORT_NMEA, false, 0xC7, PORT_FLEETSYNC);
    EXPECT_EQ(out.messages, QStringList{kNmeaOff});
    EXPECT_EQ(out.baudIndex, 1);
    EXPECT_EQ(out.retryEnabled, false);
    EXPECT_EQ(out.connectionEnabled, false);
    out = ApplyProtocolRule(s, PORT_NMEA, false, 0xC7, PORT_FLEETSYNC);
    EXPECT_TRUE(out.messages.isEmpty()) << "nothing left to switch off";
    PortSettings other = Port(1, 0x30, 0x20);
    EXPECT_TRUE(ApplyProtocolRule(other, PORT_NMEA, false, 0x02, PORT_BINMP).messages.isEmpty());
    EXPECT_EQ(other.FleetSyncCleared & 0x02, 0x02) << "cleared without a message";

    // Stored on OK: only those bits go, whatever the FleetSync dialog stored meanwhile.
    StationConfig c;
    c.FleetSyncConfig.Ccb1 = 0xFF;
    PutPortSettings(s, c);
    EXPECT_EQ(c.FleetSyncConfig.Ccb1, 0xB9);
}

TEST(PortRulesTest, PppEnablesRetriesAndConnectionsAndKeepsTheValues) {
    PortSettings s = Port(2, 0x25, 0x20, 0xC0);
    const ProtocolOutcome out = ApplyProtocolRule(s, PORT_PPP, false, 0xFF, PORT_FLEETSYNC);
    EXPECT_EQ(out.retryEnabled, true);
    EXPECT_EQ(out.connectionEnabled, true);
    EXPECT_FALSE(out.baudIndex || out.retryCount || out.retryTimeoutMs);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(s.StartUpOptions, 0xC0);
    EXPECT_EQ(s.FleetSyncCleared, 0);
}

TEST(PortRulesTest, OkComposesTheControlBytesAndKeepsFractions) {
    PortSettings s = Port(2, 0x85, 0);
    s.Ccb3 = 0x9F;
    PortForm f;
    f.baud = 2;
    f.protocol = PORT_NMEA;
    f.connection = 2;
    f.dumpTimeMs = 350;
    f.retryCount = 4;
    f.retryTimeoutMs = 20000;
    ApplyPortForm(s, f);
    EXPECT_EQ(s.Ccb2, 50) << "bit 7 written as 0";
    EXPECT_EQ(s.Ccb3, 0xAF) << "only the connection bits change";
    EXPECT_EQ(s.DumpTime, 3.5);
    EXPECT_EQ(s.RetryCount, 4);
    EXPECT_EQ(s.RetryTime, 200);
    // Lists without a selection keep what was stored in their bits.
    PortSettings kept = Port(1, 0x3B, 0);
    kept.Ccb3 = 0x71;
    ApplyPortForm(kept, PortForm{});
    EXPECT_EQ(kept.Ccb2, 0x3B);
    EXPECT_EQ(kept.Ccb3, 0x71);
}

TEST(PortRulesTest, EachPortStoresItsOwnElementsOnly) {
    StationConfig c;
    for (int e = 0; e < SYSTEM_ELEMENTS; ++e) c.SystemConfig[e] = 200;
    PortSettings s = TakePortSettings(c, 2);
    s.Ccb2 = s.Ccb3 = s.DumpTime = s.RetryTime = s.RetryCount = 1;
    s.ModuleMode = 2;
    s.StartUpOptions = 3;
    PutPortSettings(s, c);
    for (int e = 0; e < SYSTEM_ELEMENTS; ++e) {
        const bool edited = (e >= SPORT2_CCB2 && e <= SPORT2_RETRY_COUNT) || e == MODULE_MODE || e == START_UP_OPTIONS;
        EXPECT_EQ(c.SystemConfig[e] != 200, edited) << e;
    }
    EXPECT_EQ(TakePortSettings(c, 1).Ccb2, 200);
}

TEST(PortRulesTest, PellarBaudDefaultFromFirmware4786) {
    const int16_t versions[][4] = {{4, 7, 8, 6}, {4, 7, 8, 5}, {4, 7, 9, 0}, {4, 8, 0, 0}, {3, 9, 9, 9}, {5, 0, 0, 0}};
    const bool expected[] = {true, false, true, true, false, true};
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(PellarHasBaudDefault(versions[i]), expected[i]) << i;
}

TEST(PortRulesTest, FleetSyncPropertiesNeedSlaveNoMappingOrMaster) {
    EXPECT_TRUE(FleetSyncModeAllowed(0x20 | MODE_SLAVE_NOMAPPING));
    EXPECT_TRUE(FleetSyncModeAllowed(MODE_MASTER));
    EXPECT_FALSE(FleetSyncModeAllowed(MODE_SLAVE_INPUTMAPPING));
    EXPECT_FALSE(FleetSyncModeAllowed(MODE_GATEWAY));
}

} // namespace

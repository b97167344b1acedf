#include "editors/station/portrules.h"
#include "platform/prompts.h"
#include "model/systemvalues.h"
#include "model/tempcodes.h"

namespace korvel {

namespace {

constexpr int kBaudMask = 0x0F;
constexpr int kConnectionMask = 0x70;
constexpr uint8_t kMonitoring = 0x40;
constexpr uint8_t kRadios23 = 0x06;
constexpr int kPowerSaveBits = 0xC0;
constexpr int kPathSerialPort2 = 2;

struct PortElements {
    int ccb2, ccb3, dump, retryTime, retryCount;
};
PortElements ElementsOf(int port) {
    if (port == 2) return {SPORT2_CCB2, SPORT2_CCB3, SPORT2_DUMP_TIME, SPORT2_RETRY_TIME, SPORT2_RETRY_COUNT};
    return {SPORT1_CCB2, SPORT1_CCB3, SPORT1_DUMP_TIME, SPORT1_RETRY_TIME, SPORT1_RETRY_COUNT};
}

int Whole(double v) { return RoundToLong(v); }

} // namespace

PortSettings TakePortSettings(const StationConfig& c, int port) {
    const PortElements e = ElementsOf(port);
    const double* v = c.SystemConfig;
    PortSettings s;
    s.port = port == 2 ? 2 : 1;
    s.Ccb2 = v[e.ccb2];
    s.Ccb3 = v[e.ccb3];
    s.DumpTime = v[e.dump];
    s.RetryTime = v[e.retryTime];
    s.RetryCount = v[e.retryCount];
    s.ModuleMode = v[MODULE_MODE];
    s.StartUpOptions = v[START_UP_OPTIONS];
    return s;
}

void PutPortSettings(const PortSettings& s, StationConfig& c) {
    const PortElements e = ElementsOf(s.port);
    double* v = c.SystemConfig;
    v[e.ccb2] = s.Ccb2;
    v[e.ccb3] = s.Ccb3;
    v[e.dump] = s.DumpTime;
    v[e.retryTime] = s.RetryTime;
    v[e.retryCount] = s.RetryCount;
    v[MODULE_MODE] = s.ModuleMode;
    v[START_UP_OPTIONS] = s.StartUpOptions;
    c.FleetSyncConfig.Ccb1 &= static_cast<uint8_t>(~s.FleetSyncCleared);
}

bool PellarHasBaudDefault(const int16_t version[4]) {
    static constexpr int16_t kFirst[4] = {4, 7, 8, 6};
    for (int i = 0; i < 4; ++i) {
        if (version[i] != kFirst[i]) return version[i] > kFirst[i];
    }
    return true;
}

ProtocolOutcome ApplyProtocolRule(PortSettings& s, int protocol, bool pellarBaudDefault, uint8_t fleetSyncCcb1,
                                  int port2Protocol) {
    ProtocolOutcome out;
    switch (protocol) {
    case PORT_BINMP:
        out.retryEnabled = true;
        out.baudIndex = Whole(s.Ccb2) & kBaudMask;
        if (pellarBaudDefault && s.port == 1) out.baudIndex = PELLAR_9600_INDEX;
        out.connectionEnabled = true;
        out.retryTimeoutMs = 500;
        out.retryCount = 3;
        break;
    case PORT_FLEETSYNC: {
        out.retryEnabled = true;
        out.baudIndex = 2;
        const int mode = Whole(s.ModuleMode);
        if ((mode & 15) == MODE_SLAVE_INPUTMAPPING || (mode & 15) == MODE_GATEWAY) {
            s.ModuleMode = (mode & 0xF0) | MODE_SLAVE_NOMAPPING;
            out.messages << QStringLiteral("Fleetsync mode selected. The module mode has been reset to "
                                           "SLAVE-NOMAPPING.") +
                                kLineBreak +
                                QStringLiteral("If master mode is required, return to the system window and change "
                                               "module mode to MASTER");
        } else if ((mode & 0xF0) >> 4 != kPathSerialPort2) {
            s.ModuleMode = (mode & 15) | (kPathSerialPort2 << 4);
            out.messages << QStringLiteral("Fleetsync mode selected. Primary transmission path has been") + kLineBreak +
                                QStringLiteral("reset to Serial Port 2");
        } else {
            out.retryTimeoutMs = 15000;
            out.retryCount = 1;
        }
        const int options = Whole(s.StartUpOptions);
        if (options & kPowerSaveBits) {
            s.StartUpOptions = options & ~kPowerSaveBits;
            out.messages << QStringLiteral("Fleetsync protocol does not support power save mode.") + kLineBreak +
                                QStringLiteral("Power save mode has been disabled");
        }
        out.connectionEnabled = false;
        break;
    }
    case PORT_NMEA: {
        out.retryEnabled = false;
        out.baudIndex = 1;
        const uint8_t seen = fleetSyncCcb1 & static_cast<uint8_t>(~s.FleetSyncCleared);
        const uint8_t cleared = seen & (kMonitoring | kRadios23);
        s.FleetSyncCleared |= kMonitoring | kRadios23;
        if (cleared && port2Protocol == PORT_FLEETSYNC)
            out.messages << QStringLiteral("Serial Port 2 is currently set to Fleetsync mode.") + kLineBreak +
                                QStringLiteral("Vistrel monitoring and secondary radios are disabled");
        out.connectionEnabled = false;
        break;
    }
    case PORT_PPP:
        // A PPP port is retried and may run over a connection, as a BINMP one; its rate
        // and retry values stay as they are.
        out.retryEnabled = true;
        out.connectionEnabled = true;
        break;
    default: break;
    }
    return out;
}

void ApplyPortForm(PortSettings& s, const PortForm& form) {
    const int ccb2 = Whole(s.Ccb2);
    const int baud = form.baud >= 0 ? form.baud : (ccb2 & kBaudMask);
    const int protocol = form.protocol >= 0 ? form.protocol : (ccb2 & PORT_PROTOCOL_MASK) >> PORT_PROTOCOL_SHIFT;
    s.Ccb2 = baud + 16 * protocol;
    s.DumpTime = form.dumpTimeMs / 100.0;
    s.RetryCount = form.retryCount;
    s.RetryTime = form.retryTimeoutMs / 100.0;
    if (form.connection >= 0) s.Ccb3 = (Whole(s.Ccb3) & ~kConnectionMask) | (form.connection * 16);
}

bool FleetSyncModeAllowed(int moduleMode) {
    return (moduleMode & 15) == MODE_SLAVE_NOMAPPING || (moduleMode & 15) == MODE_MASTER;
}

QString FleetSyncModeRefusal() {
    return QStringLiteral("Cannot configure Fleetsync as system mode is incorrect. Return to") + kLineBreak +
           QStringLiteral("System dialog and set Module Mode to either SLAVE-NOMAPPING or MASTER");
}

} // namespace korvel

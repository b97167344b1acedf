#include "control/localport.h"
#include "control/connectchoice.h"
#include "control/localsettings.h"
#include "control/settingsfile.h"
#include "control/commandstates.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/prompts.h"
#include "platform/serialport.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace korvel {

namespace {

constexpr int kMsPerTick = 100;
// Every request to a remote station crosses the radio network twice; the connect
// dialog gives it three times the plain reply time-out.
constexpr int kRemoteTimeoutFactor = 3;
// The settings file numbers the built-in ports COM1 to COM16.
constexpr int kLastNumberedPort = 16;

const char* const kSettingsGroup = "Settings";
const char* const kDeviceKey = "CommPortDevice";

int16_t ToInt16(int v) {
    return static_cast<int16_t>(
        std::clamp(v, int(std::numeric_limits<int16_t>::min()), int(std::numeric_limits<int16_t>::max())));
}

// The families of offered devices, in the order the list shows them.
const QRegularExpression& DeviceName() {
    static const QRegularExpression re(QStringLiteral("^/dev/tty(S|USB|ACM)(0|[1-9][0-9]*)$"));
    return re;
}

int FamilyRank(const QString& family) {
    if (family == QLatin1String("S")) return 0;
    if (family == QLatin1String("USB")) return 1;
    return 2;
}

} // namespace

int16_t MsToTicks(int ms) {
    int ticks = ms / kMsPerTick;  // towards zero
    const int rest = std::abs(ms % kMsPerTick);
    if (rest * 2 > kMsPerTick || (rest * 2 == kMsPerTick && ticks % 2 != 0)) ticks += ms < 0 ? -1 : 1;
    return ToInt16(ticks);
}

LocalPortValues LoadLocalPortValues() {
    const LocalSettings& s = settings();
    LocalPortValues v;
    v.Device = s.CommPortDevice.isEmpty() ? SerialDeviceFor(QString::number(s.CommPortNumber)) : s.CommPortDevice;
    v.RetryCount = s.RetryCount;
    v.PacketTimeoutMs = s.PacketTimeout * kMsPerTick;
    v.InterByteTimeoutMs = s.InterByteTimeout * kMsPerTick;
    v.PortProtocol = s.PortProtocol;
    return v;
}

int ProtocolListIndex(int16_t protocol) { return protocol == LOCALPORT_FLEETSYNC ? 1 : 0; }

int16_t ProtocolFromListIndex(int index, int16_t loaded) {
    if (index == 1) return LOCALPORT_FLEETSYNC;
    return loaded == LOCALPORT_MODULE_8N1 ? LOCALPORT_MODULE_8N1 : LOCALPORT_MODULE;
}

void ShowProtocolMenus(int16_t protocol) {
    LinkHost& host = linkHost();
    const bool radio = protocol == LOCALPORT_FLEETSYNC;
    host.SetMenuVisible(MenuItem::mnuEventFSM, radio);
    host.SetMenuEnabled(MenuItem::mnuEventFSM, radio);
    if (radio) SetFlashCommandsEnabled(host, false);
    else if (linkState().LinkMode != LINK_SWITCH_THROUGH) SetFlashCommandsEnabled(host, true);
}

LocalPortStore StoreLocalPortValues(const LocalPortValues& values) {
    LocalSettings& s = settings();
    const QString device = values.Device.trimmed();
    s.CommPortDevice = device;
    s.CommPortNumber = CommPortNumberFor(device, s.CommPortNumber);
    s.RetryCount = ToInt16(values.RetryCount);
    // A countdown loaded with zero never expires: at least one tick.
    s.PacketTimeout = std::max<int16_t>(1, MsToTicks(values.PacketTimeoutMs));
    s.InterByteTimeout = std::max<int16_t>(1, MsToTicks(values.InterByteTimeoutMs));
    s.PortProtocol = values.PortProtocol;

    // The running time-out follows at once; a remote station keeps its longer one.
    const bool remote = linkState().StationAddress[0] != 0;
    SetConnectionReplyTimeout(s.PacketTimeout * (remote ? kRemoteTimeoutFactor : 1));
    ShowProtocolMenus(s.PortProtocol);

    SaveCommPortDevice(device);
    const bool written = SaveSettingsFile();
    SerialPortIo& port = CommPort();
    if (port.IsOpen()) port.Close();
    return written ? LocalPortStore::Stored : LocalPortStore::SettingsNotWritten;
}

bool IsOfferedSerialDevice(const QString& device) { return DeviceName().match(device).hasMatch(); }

QList<SerialPortEntry> OfferedSerialPorts(const QList<SerialPortEntry>& present) {
    struct Ranked {
        int family;
        qulonglong number;
        SerialPortEntry entry;
    };
    QList<Ranked> ranked;
    QSet<QString> seen;
    for (const SerialPortEntry& e : present) {
        const QRegularExpressionMatch m = DeviceName().match(e.Device);
        if (!m.hasMatch() || seen.contains(e.Device)) continue;
        seen.insert(e.Device);
        bool ok = false;
        const qulonglong number = m.captured(2).toULongLong(&ok);
        ranked.append({FamilyRank(m.captured(1)), ok ? number : std::numeric_limits<qulonglong>::max(), e});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });
    QList<SerialPortEntry> out;
    for (const Ranked& r : ranked) out.append(r.entry);
    return out;
}

QList<SerialPortEntry> PresentSerialPorts() {
    QList<SerialPortEntry> out;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        out.append({info.systemLocation(), info.description()});
    return OfferedSerialPorts(out);
}

int16_t CommPortNumberFor(const QString& device, int16_t current) {
    const QRegularExpressionMatch m = DeviceName().match(device);
    if (!m.hasMatch() || m.captured(1) != QLatin1String("S")) return current;
    bool ok = false;
    const qulonglong n = m.captured(2).toULongLong(&ok);
    return ok && n < kLastNumberedPort ? static_cast<int16_t>(n + 1) : current;
}

QString SavedCommPortDevice() {
    QSettings s = UserRegistry();
    s.beginGroup(QLatin1String(kSettingsGroup));
    return s.value(QLatin1String(kDeviceKey)).toString().trimmed();
}

void SaveCommPortDevice(const QString& device) {
    QSettings s = UserRegistry();
    s.beginGroup(QLatin1String(kSettingsGroup));
    if (device.isEmpty()) s.remove(QLatin1String(kDeviceKey));
    else s.setValue(QLatin1String(kDeviceKey), device);
    s.sync();
}

void RestoreCommPortDevice() { settings().CommPortDevice = SavedCommPortDevice(); }

} // namespace korvel

// A serial port's settings and the station-wide rules its protocol brings: FleetSync
// needs a slave mode without mapping or a master, serial port 2 as the primary path and
// no power save; NMEA on a port switches off FleetSync monitoring and the extra radios.
#pragma once

#include "model/model.h"

#include <QStringList>
#include <cstdint>
#include <optional>

namespace korvel {

// What the serial port dialog edits: the port's own elements and the station-wide
// values its protocol rules change. Taken when the dialog opens and stored in one step
// on OK, so that Cancel leaves the configuration as it was.
struct PortSettings {
    int port = 1;  // 1 or 2
    double Ccb2 = 0, Ccb3 = 0, DumpTime = 0, RetryTime = 0, RetryCount = 0;
    double ModuleMode = 0, StartUpOptions = 0;
    // The FleetSync Ccb1 bits the NMEA rule has switched off; the rest of the record
    // belongs to the FleetSync dialog, which may store it meanwhile.
    uint8_t FleetSyncCleared = 0;
};
PortSettings TakePortSettings(const StationConfig& c, int port);
void PutPortSettings(const PortSettings& s, StationConfig& c);

// Pellar firmware from this version on has a baud list of its own with a default entry
// and lets serial port 2's rate be chosen.
bool PellarHasBaudDefault(const int16_t version[4]);
constexpr int PELLAR_9600_INDEX = 4;  // "9600" in that list

// What choosing a protocol does to the rest of the dialog; values left empty stay as
// they are.
struct ProtocolOutcome {
    std::optional<bool> retryEnabled;
    std::optional<bool> connectionEnabled;
    std::optional<int> baudIndex;
    std::optional<long> retryTimeoutMs;
    std::optional<long> retryCount;
    QStringList messages;  // shown in order, OK with the information icon
};
// Applies the rules of protocol (a list index) to s, the staged copy. fleetSyncCcb1 is
// the FleetSync record's Ccb1 as stored; port2Protocol serial port 2's stored protocol.
ProtocolOutcome ApplyProtocolRule(PortSettings& s, int protocol, bool pellarBaudDefault, uint8_t fleetSyncCcb1,
                                  int port2Protocol);

// The dialog's list positions composed into the port's control bytes; -1 (no
// selection, a stored value with no entry) keeps the stored bits.
struct PortForm {
    int baud = -1, protocol = -1, connection = -1;
    long dumpTimeMs = 0, retryCount = 0, retryTimeoutMs = 0;
};
void ApplyPortForm(PortSettings& s, const PortForm& form);

// Whether the FleetSync properties can be set in this module mode (bits 0-3).
bool FleetSyncModeAllowed(int moduleMode);
QString FleetSyncModeRefusal();

} // namespace korvel

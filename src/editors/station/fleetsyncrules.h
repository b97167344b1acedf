// The FleetSync reporting settings: radio fleet and ID numbers, the permitted mobiles'
// list lines, the acknowledge period and the raw message's limits.
#pragma once

#include "config/model.h"

#include <cstdint>

namespace korvel {

// What the FleetSync dialog needs of the station around it. The serial port editor
// passes the values it has staged but not yet stored.
struct FleetSyncView {
    int moduleMode = 0;      // bits 0-3 of ModuleMode
    int port1Protocol = 0;   // bits 4-6 of serial port 1's second control byte
    uint8_t ccb1Cleared = 0; // Ccb1 bits a port rule has switched off, shown as off
};
FleetSyncView FleetSyncViewOf(const StationConfig& c);

} // namespace korvel

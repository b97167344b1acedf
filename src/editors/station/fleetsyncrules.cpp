#include "editors/station/fleetsyncrules.h"
#include "config/systemvalues.h"

namespace korvel {

FleetSyncView FleetSyncViewOf(const StationConfig& c) {
    FleetSyncView v;
    v.moduleMode = SystemValue(c, MODULE_MODE) & 15;
    v.port1Protocol = PortProtocol(c, SPORT1_CCB2);
    return v;
}

} // namespace korvel

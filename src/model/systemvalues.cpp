#include "model/systemvalues.h"
#include "model/tempcodes.h"

namespace korvel {

int32_t SystemValue(const StationConfig& c, int element) {
    if (element < 0 || element >= SYSTEM_ELEMENTS) return 0;
    return RoundToLong(c.SystemConfig[element]);
}

int PortProtocol(const StationConfig& c, int ccb2Element) {
    return (SystemValue(c, ccb2Element) & PORT_PROTOCOL_MASK) >> PORT_PROTOCOL_SHIFT;
}

bool Port2RunsFleetSync(const StationConfig& c) { return PortProtocol(c, SPORT2_CCB2) == PORT_FLEETSYNC; }

} // namespace korvel

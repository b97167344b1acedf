// What the system dialog says about the station: its caption and the lines of its
// station list (firmware, options, sensors, expansion boards or child modules), from
// what the module reported of itself.
#pragma once

#include <QString>
#include <QStringList>

namespace korvel {

struct StationInfo {
    QString caption;
    QStringList lines;
    // A Pellar has neither an FFSK modem nor Ethernet to send on.
    bool pellarPaths = false;
};

// From the session (on or off line), the target station and the target's identity.
StationInfo DescribeStation();

} // namespace korvel

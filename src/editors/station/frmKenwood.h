// The FleetSync properties: the radios told of the station's events, the mobiles
// permitted to change its configuration, the manual acknowledge period, the texts sent
// for channel events, and a raw message for testing the radio path.
#pragma once

#include "editors/station/fleetsyncrules.h"

#include <QDialog>

namespace korvel {

class frmKenwood : public QDialog {
    Q_OBJECT
public:
    frmKenwood(QWidget* owner, const FleetSyncView& view);

    // Shows the single instance modal over owner until it is closed; view describes the
    // station as the caller sees it.
    static void Run(QWidget* owner, const FleetSyncView& view);
    static void Run(QWidget* owner);
};

} // namespace korvel

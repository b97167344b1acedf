#include "editors/station/frmKenwood.h"
#include "app/singleinstance.h"

#include <QPointer>

namespace korvel {

namespace {
QPointer<frmKenwood> instance;
FleetSyncView pendingView;
} // namespace

frmKenwood::frmKenwood(QWidget* owner, const FleetSyncView&) : QDialog(owner) {
    setObjectName(QStringLiteral("frmKenwood"));
}

void frmKenwood::Run(QWidget* owner, const FleetSyncView& view) {
    if (instance) {
        instance->raise();
        return;
    }
    instance = new frmKenwood(owner, view);
    instance->exec();
    delete instance.data();
}

void frmKenwood::Run(QWidget* owner) { Run(owner, FleetSyncViewOf(config())); }

} // namespace korvel

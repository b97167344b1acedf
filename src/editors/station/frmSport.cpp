#include "editors/station/frmSport.h"
#include "app/singleinstance.h"

#include <QPointer>

namespace korvel {

namespace {
QPointer<frmSport> instance;
} // namespace

frmSport::frmSport(QWidget* owner) : QDialog(owner) { setObjectName(QStringLiteral("frmSport")); }

void frmSport::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

} // namespace korvel

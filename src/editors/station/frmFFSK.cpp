#include "editors/station/frmFFSK.h"
#include "app/singleinstance.h"

#include <QPointer>

namespace korvel {

namespace {
QPointer<frmFFSK> instance;
} // namespace

frmFFSK::frmFFSK(QWidget* owner) : QDialog(owner) { setObjectName(QStringLiteral("frmFFSK")); }

void frmFFSK::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

} // namespace korvel

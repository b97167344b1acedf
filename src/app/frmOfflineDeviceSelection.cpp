#include "app/frmOfflineDeviceSelection.h"

#include "platform/qtprompts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

namespace korvel {

frmOfflineDeviceSelection::frmOfflineDeviceSelection(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmOfflineDeviceSelection"));
    setWindowTitle(QStringLiteral("Offline Device Selection"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("Combo1"));
    combo_->addItems({QStringLiteral("Korvel"), QStringLiteral("Pellar")});
    combo_->setPlaceholderText(QStringLiteral("select a device..."));
    combo_->setCurrentIndex(-1);
    label_ = new QLabel(tr("Offline Device &Type:"), this);
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setBuddy(combo_);

    auto* layout = new QFormLayout(this);
    layout->addRow(label_, combo_);
    combo_->setFocus();

    // activated: the user's own pick, by mouse or keyboard, not a change made in code.
    connect(combo_, &QComboBox::activated, this, &frmOfflineDeviceSelection::Combo1Click);
}

int frmOfflineDeviceSelection::Choose(QWidget* owner) {
    frmOfflineDeviceSelection dialog(owner);
    ExecModal(dialog);
    return dialog.GetDeviceType();
}

void frmOfflineDeviceSelection::Combo1Click(int index) {
    if (index < 0) return;
    deviceType_ = index;
    accept();  // hides the dialog, which ends the caller's modal wait
}

} // namespace korvel

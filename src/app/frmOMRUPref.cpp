#include "app/frmOMRUPref.h"
#include "app/singleinstance.h"
#include "control/localsettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

namespace {
QPointer<frmOMRUPref> instance;
} // namespace

frmOMRUPref::frmOMRUPref(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmOMRUPref"));
    setWindowTitle(QStringLiteral("OMRU Preferences"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The trailing blank is part of the caption as the program has always shown it.
    degreesF_ = new QCheckBox(tr("Display and enter Temperatures in &Fahrenheit "), this);
    degreesF_->setObjectName(QStringLiteral("ckbDegreesF"));
    ok_ = new QPushButton(tr("&OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(tr("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(degreesF_);
    layout->addLayout(buttons);
    setTabOrder(degreesF_, ok_);
    setTabOrder(ok_, cancel_);

    connect(ok_, &QPushButton::clicked, this, &frmOMRUPref::cmdOKClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    degreesF_->setChecked(settings().DegreesF);
    degreesF_->setFocus();
}

void frmOMRUPref::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

void frmOMRUPref::cmdOKClick() {
    // Reaches the settings file the next time it is written.
    settings().DegreesF = degreesF_->isChecked();
    accept();
}

} // namespace korvel

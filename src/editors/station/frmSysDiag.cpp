#include "editors/station/frmSysDiag.h"
#include "link/linkhold.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "editors/station/diagnostics.h"
#include "editors/station/frmSystem.h"
#include "platform/prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>
#include <vector>

namespace korvel {

namespace {

QPointer<frmSysDiag> instance;

struct LedField {
    const char* upDown;
    const char* text;
    const char* label;
};
// In the order of their system values.
constexpr LedField kLedFields[LED_TIMER_COUNT] = {
    {"updRedOn", "txtRedOn", "&RED On"},          {"updRedOff", "txtRedOff", "RED O&ff"},
    {"updRedFlash", "txtRedFlash", "RED Fla&sh"}, {"updGreenOn", "txtGreenOn", "&GREEN On"},
    {"updGreenOff", "txtGreenOff", "GREEN &Off"}, {"updGreenFlash", "txtGreenFlash", "GREEN F&lash"},
};

constexpr int kLedDigits = 3;

} // namespace

frmSysDiag::frmSysDiag(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmSysDiag"));
    setWindowTitle(QStringLiteral("Diagnostic settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
    led_[0]->setFocus();
}

void frmSysDiag::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

void frmSysDiag::build() {
    auto* leds = new QGroupBox(QStringLiteral("Led Timers"), this);
    auto* ledGrid = new QGridLayout(leds);
    for (int i = 0; i < LED_TIMER_COUNT; ++i) {
        const LedField& f = kLedFields[i];
        led_[i] = new BoundedField(f.upDown, f.text,
                                   {LED_TIMER_MIN, LED_TIMER_MAX, 1, kLedDigits, BoundedField::EmptyReset::ToMinimum, 1},
                                   leds);
        // Red in the left pair of columns, green in the right.
        const int row = i % 3;
        const int column = 2 * (i / 3);
        ledGrid->addWidget(BuddyLabel(QString::fromLatin1(f.label), led_[i], leds), row, column);
        ledGrid->addWidget(led_[i], row, column + 1, Qt::AlignLeft);
    }

    auto* debug = new QGroupBox(QStringLiteral("Module Debug Options"), this);
    auto* flagRow = new QHBoxLayout;
    for (int n = 0; n < 8; ++n) {
        flags_[n] = NamedCheckBox(QStringLiteral("L&%1").arg(n), Indexed("ckbL", n).toLatin1().constData(), debug);
        flagRow->addWidget(flags_[n]);
    }
    clearAll_ = NamedButton(QStringLiteral("&ClearAll"), "cmdClearAll", debug);
    clearAll_->setAutoDefault(false);
    // ClearAll stores none of the LED values, so leaving one for it checks nothing.
    LeaveUnchecked(clearAll_);
    auto* debugLayout = new QVBoxLayout(debug);
    debugLayout->addLayout(flagRow);
    debugLayout->addWidget(clearAll_, 0, Qt::AlignLeft);

    allocate_ = NamedButton(QStringLiteral("&Address Allocate"), "cmdAllocate", this);
    allocate_->setAutoDefault(false);
    const OkCancel okCancel = OkCancelButtons(this);
    ok_ = okCancel.ok;
    cancel_ = okCancel.cancel;
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(allocate_);
    bottom->addStretch(1);
    bottom->addWidget(okCancel.row);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(leds);
    outer->addWidget(debug);
    outer->addLayout(bottom);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    std::vector<QWidget*> order(std::begin(led_), std::end(led_));
    order.insert(order.end(), std::begin(flags_), std::end(flags_));
    order.insert(order.end(), {clearAll_, allocate_, ok_, cancel_});
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(ok_, &QPushButton::clicked, this, &frmSysDiag::cmdOK_Click);
    connect(clearAll_, &QPushButton::clicked, this, &frmSysDiag::cmdClearAll_Click);
    connect(allocate_, &QPushButton::clicked, this, &frmSysDiag::cmdAllocate_Click);
}

void frmSysDiag::load() {
    const uint8_t flags = target().ModuleDebugFlags;
    for (int n = 0; n < 8; ++n) flags_[n]->setChecked(flags & (1 << n));
    // A value beyond the range (from a module or a file) is shown and kept as it is.
    for (int i = 0; i < LED_TIMER_COUNT; ++i) led_[i]->SetValue(RoundToLong(config().SystemConfig[RED_LED_ON_TIME + i]));
}

void frmSysDiag::cmdOK_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdOK_Click(); })) return;
    if (!CheckFocusedField(this)) return;
    for (int i = 0; i < LED_TIMER_COUNT; ++i) config().SystemConfig[RED_LED_ON_TIME + i] = double(led_[i]->Value());
    uint8_t flags = 0;
    for (int n = 7; n >= 0; --n)
        if (flags_[n]->isChecked()) flags |= uint8_t(1 << n);
    // A refused or lost command has been reported by the link layer; the dialog closes
    // either way.
    WhileBusy(this, busy_, [flags] { return SetModuleDebugFlags(flags); });
    accept();
}

void frmSysDiag::cmdClearAll_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdClearAll_Click(); })) return;
    WhileBusy(this, busy_, [] { return SetModuleDebugFlags(0); });
    reject();
}

void frmSysDiag::cmdAllocate_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdAllocate_Click(); })) return;
    switch (WhileBusy(this, busy_, [] { return AllocateChildAddresses(); })) {
    case AllocationResult::NotAllocated: return;
    case AllocationResult::ChildReadFailed: reject(); return;
    case AllocationResult::Done: break;
    }
    if (frmSystem* system = frmSystem::Instance()) system->GetSystemInfo();
    MsgBox(AllocationDoneMessage(target().ChildCount), vbOKOnly);
}

void frmSysDiag::done(int result) {
    if (busy_) return;
    QDialog::done(result);
}

} // namespace korvel

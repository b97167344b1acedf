#include "editors/station/frmSystem.h"
#include "editors/channels/frmAnalogs.h"
#include "editors/channels/frmInputs.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/windowregistry.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "editors/station/stationinfo.h"
#include "platform/prompts.h"
#include "control/session.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmSystem> instance;

// Only the digest of the debug password is kept in the program.
constexpr const char* kDebugPasswordSha256 = "048cd156d3960971564f736557d8f593763b8d770b91f41e84feda3f05df0372";

bool IsDebugPassword(const QString& entry) {
    return QCryptographicHash::hash(entry.toLatin1(), QCryptographicHash::Sha256).toHex() == kDebugPasswordSha256;
}

const char* const kPaths[] = {"SERIAL PORT 1", "SERIAL PORT 2", "FFSK MODEM", "ETHERNET"};

QCheckBox* Check(const char* name, const QString& text, const char* tip, QWidget* parent) {
    QCheckBox* box = NamedCheckBox(text, name, parent);
    if (tip) box->setToolTip(QString::fromLatin1(tip));
    return box;
}

long NumberIn(const QString& text) { return LeadingInteger(text, NumberForm{false}).value_or(0); }

} // namespace

frmSystem::frmSystem(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmSystem"));
    setWindowTitle(QStringLiteral("System Configuration"));
    build();
    load();
}

void frmSystem::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

frmSystem* frmSystem::Instance() { return instance.data(); }

void frmSystem::build() {
    auto* settings = new QGroupBox(this);
    settings->setFlat(true);
    auto* grid = new QGridLayout(settings);

    address_ = new QLineEdit(settings);
    address_->setObjectName(QStringLiteral("txtMyAddress"));
    address_->setToolTip(QStringLiteral("This is the unique Korvel (station) address"));
    address_->setMaxLength(3);
    InstallNumericKeyFilter(address_);
    InstallLeaveCheck(address_, [this] { return checkAddressNotEmpty(); });

    mode_ = new QComboBox(settings);
    mode_->setObjectName(QStringLiteral("cboModuleMode"));
    mode_->setToolTip(QStringLiteral("Selects the basic (MASTER/SLAVE) mode of operation."));
    mode_->addItems({QStringLiteral("SLAVE-NOMAPPING"), QStringLiteral("SLAVE-INPUTMAPPING"), QStringLiteral("MASTER"),
                     QStringLiteral("GATEWAY")});
    mode_->setCurrentIndex(-1);

    path_ = new QComboBox(settings);
    path_->setObjectName(QStringLiteral("cboTransmissionPath"));
    path_->setToolTip(QStringLiteral("Selects which port will be used as the PRIMARY transmission medium"));
    for (const char* p : kPaths) path_->addItem(QString::fromLatin1(p));
    path_->setCurrentIndex(-1);

    startUpDelay_ = new BoundedField("updStartUpDelay", "txtStartUpDelay",
                                     {1, 60, 1, 0, BoundedField::EmptyReset::ToZero, 1}, settings);
    startUpDelay_->SetToolTips(QStringLiteral("Power up start delay before event scan starts"));

    powerUpStatus_ = Check("ckbSSAtPowerUp", QStringLiteral("Send Power &Up Status:"),
                           "Check to send power on status at power up", settings);
    powerUpStatus_->setLayoutDirection(Qt::RightToLeft);
    // The module keeps one bit for this and for power save, and that bit is the power-save
    // state: the box shows what the module reported and is not edited here.
    child_ = Check("chkChild", QStringLiteral("C&hild module"), nullptr, settings);
    child_->setEnabled(false);

    AddFieldRow(grid, 0, QStringLiteral("Module &address:"), address_);
    AddFieldRow(grid, 1, QStringLiteral("Module &mode:"), mode_);
    AddFieldRow(grid, 2, QStringLiteral("&Transmission path:"), path_);
    AddFieldRow(grid, 3, QStringLiteral("Startup &delay (secs):"), startUpDelay_, Qt::AlignLeft);
    grid->addWidget(powerUpStatus_, 4, 0, Qt::AlignLeft);
    grid->addWidget(child_, 4, 1);

    sleep_ = new QGroupBox(QStringLiteral("Power Save Options"), this);
    sleep_->setObjectName(QStringLiteral("fraSleep"));
    sleep_->setToolTip(QStringLiteral("Power saving features"));
    auto* sleepGrid = new QGridLayout(sleep_);
    powerSave_ = Check("ckbEnablePowerSave", QStringLiteral("Enable &Power Save:"), "Enable power saving mode", sleep_);
    powerSave_->setLayoutDirection(Qt::RightToLeft);
    cosWakeUp_ = Check("ckbCOSWakeUp", QStringLiteral("CO&S Wakeup:"),
                       "Enable wakeup from sleep on Carrier detect using external MIN signal on FFSK module", sleep_);
    cosWakeUp_->setLayoutDirection(Qt::RightToLeft);
    cycle_ = new BoundedField("updCycle", "txtCycle", {1, 60, 1, 0, BoundedField::EmptyReset::ToZero, 1}, sleep_);
    cycle_->setToolTip(QStringLiteral("Sleep period"));
    cycle_->Box()->setToolTip(QStringLiteral("Sleep period. Also specifies the logger interval period"));
    periodType_ = new QComboBox(sleep_);
    periodType_->setObjectName(QStringLiteral("cboPeriodType"));
    periodType_->setToolTip(QStringLiteral("Select sleep period to be seconds, minutes or hours"));
    periodType_->addItems({QStringLiteral("Seconds"), QStringLiteral("Minutes"), QStringLiteral("Hours")});
    periodType_->setAccessibleName(QStringLiteral("Sleep period unit"));
    sleepReturn_ = new BoundedField("updSleepReturn", "txtSleepReturn", {2, 100, 1, 0, {}, 1}, sleep_);
    sleepReturn_->SetToolTips(QStringLiteral("This is the time before returning to power save mode"));
    sleepReturn_->SetValue(10);

    auto* cycleLabel = BuddyLabel(QStringLiteral("Sleep/&log Period:"), cycle_, sleep_);
    auto* returnLabel = BuddyLabel(QStringLiteral("Sleep &Return:"), sleepReturn_, sleep_);
    auto* seconds = new QLabel(QStringLiteral("Seconds"), sleep_);
    sleepGrid->addWidget(powerSave_, 0, 0, 1, 2, Qt::AlignLeft);
    sleepGrid->addWidget(cosWakeUp_, 0, 2, 1, 2, Qt::AlignLeft);
    sleepGrid->addWidget(cycleLabel, 1, 0);
    sleepGrid->addWidget(cycle_, 1, 1);
    sleepGrid->addWidget(periodType_, 1, 2);
    sleepGrid->addWidget(returnLabel, 2, 0);
    sleepGrid->addWidget(sleepReturn_, 2, 1);
    sleepGrid->addWidget(seconds, 2, 2);
    sleepGrid->setColumnStretch(3, 1);

    stations_ = new QListWidget(this);
    stations_->setObjectName(QStringLiteral("lsbStationConfiguration"));
    stations_->setSelectionMode(QAbstractItemView::NoSelection);
    stations_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("CONTACT INPUT EXPANSIONS FOUND:  NONE")) + 40);
    stations_->setMinimumHeight(fontMetrics().height() * 12);
    auto* stationsLabel = BuddyLabel(QStringLiteral("Station &Configuration"), stations_, this);

    const OkCancel okCancel = OkCancelButtons(this);
    ok_ = okCancel.ok;
    cancel_ = okCancel.cancel;
    QDialogButtonBox* const buttons = okCancel.row;

    auto* left = new QVBoxLayout;
    left->addWidget(settings);
    left->addWidget(sleep_);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(stationsLabel);
    right->addWidget(stations_, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(buttons);

    QWidget* const order[] = {address_, mode_, path_, startUpDelay_, powerUpStatus_, powerSave_, cosWakeUp_,
                              cycle_, periodType_, sleepReturn_, stations_, ok_, cancel_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(mode_, &QComboBox::currentIndexChanged, this, &frmSystem::cboModuleMode_Click);
    connect(path_, &QComboBox::currentIndexChanged, this, &frmSystem::cboTransmissionPath_Click);
    connect(powerSave_, &QCheckBox::toggled, this, &frmSystem::ckbEnablePowerSave_Click);
    connect(ok_, &QPushButton::clicked, this, &frmSystem::cmdOK_Click);
}

void frmSystem::load() {
    const StationConfig& c = config();
    const bool pellar = target().PellarDevice;
    edit_ = TakeSystemSettings(c);
    bool failed = false;

    LoadingForm = true;
    ConfirmPathChange = false;
    AcceptedPathIndex = -1;
    GetSystemInfo();

    address_->setText(ThreeDigits(RoundToLong(edit_.MyAddress)));
    const int moduleMode = RoundToLong(edit_.ModuleMode);
    failed |= !SelectListed(mode_, moduleMode & 15);
    // A path of 0 has no entry and is shown as no choice, without a report.
    const int pathIndex = (moduleMode & 240) / 16 - 1;
    if (pathIndex == -1 || SelectListed(path_, pathIndex))
        cboTransmissionPath_Click();  // accepted without a question while loading
    else
        failed = true;

    if (pellar) {
        for (QWidget* w : {static_cast<QWidget*>(powerSave_), static_cast<QWidget*>(powerUpStatus_),
                           static_cast<QWidget*>(startUpDelay_), static_cast<QWidget*>(mode_),
                           static_cast<QWidget*>(sleep_)})
            w->setEnabled(false);
    }
    startUpDelay_->SetStoredValue(edit_.StartUpDelay);
    const int options = RoundToLong(edit_.StartUpOptions);
    powerUpStatus_->setChecked(options & START_POWER_UP_STATUS);
    child_->setChecked(options & START_POWER_SAVE);

    RepairFfskCcb3(edit_);
    const int ccb3 = RoundToLong(edit_.FFSK_Ccb3);
    cycle_->SetValue(ccb3 & 63);
    periodType_->setCurrentIndex((ccb3 & 192) == 64 ? 1 : (ccb3 & 192) == 128 ? 2 : 0);

    powerSave_->setChecked(options & START_POWER_SAVE);
    EnableSleepControls(options & START_POWER_SAVE);
    cosWakeUp_->setChecked(options & START_COS_WAKEUP);

    const int sleepTime = RoundToLong(edit_.SleepTime);
    // The box shows the sleep period; its up-down keeps the FFSK port's own until the
    // user changes the field.
    cycle_->SetText(QString::number(sleepTime & 63));
    sleepReturn_->SetStoredValue(edit_.SleepReturn);
    failed |= !SelectListed(periodType_, (sleepTime & 192) / 64);

    LoadingForm = false;
    if (failed) MsgBox(UnexpectedValueMessage(), vbOKOnly);
    ConfirmPathChange = true;
}

void frmSystem::GetSystemInfo() {
    const StationInfo info = DescribeStation();
    setWindowTitle(info.caption);
    stations_->clear();
    stations_->addItems(info.lines);
    // A Pellar sends on its serial ports only; the list is shortened once.
    if (info.pellarPaths) {
        while (path_->count() > 2) path_->removeItem(path_->count() - 1);
    }
}

QString frmSystem::LoadHintPanel(int mode, int kind) {
    return HintPanelText(mode, kind, target().PellarDevice, Port2RunsFleetSync(config()));
}

void frmSystem::cboModuleMode_Click() {
    if (LoadingForm) return;
    const int mode = mode_->currentIndex();
    if (mode < 0) return;
    const ModeControls rule = ModeRule(mode);
    address_->setEnabled(rule.addressEnabled);
    if (rule.addressToZero) address_->setText(QStringLiteral("000"));
    powerUpStatus_->setEnabled(rule.powerUpStatusEnabled);
}

void frmSystem::cboTransmissionPath_Click() {
    const int index = path_->currentIndex();
    if (index == AcceptedPathIndex) return;
    if (!ConfirmPathChange) {
        AcceptedPathIndex = index;
        return;
    }
    if (MsgBox(PathChangeQuestion(), vbOKCancel, QStringLiteral("Confirmation Required")) == vbOK)
        AcceptedPathIndex = index;
    else
        path_->setCurrentIndex(AcceptedPathIndex);
}

void frmSystem::ckbEnablePowerSave_Click() {
    if (!powerSave_->isChecked()) {
        EnableSleepControls(false);
        return;
    }
    EnableSleepControls(true);
    if (Port2RunsFleetSync(config())) {
        powerSave_->setChecked(false);
        MsgBox(PowerSaveRefusedMessage(), vbOKOnly);
    }
}

void frmSystem::EnableSleepControls(bool enable) {
    for (QWidget* w : sleep_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w == powerSave_) continue;
        w->setEnabled(enable);
    }
}

int frmSystem::ValidateStationAddress() {
    const QString error = StationAddressError(mode_->currentIndex(), NumberIn(address_->text()));
    if (error.isEmpty()) return 0;
    QApplication::beep();
    MsgBox(error, vbOKOnly);
    address_->setText(QStringLiteral("0"));
    address_->setFocus(Qt::OtherFocusReason);
    return 1;
}

bool frmSystem::checkAddressNotEmpty() {
    if (!address_->text().isEmpty()) return true;
    ShowEmptyFieldMessage();
    const int mode = mode_->currentIndex();
    address_->setText(mode == MODE_SLAVE_NOMAPPING || mode == MODE_SLAVE_INPUTMAPPING ? QStringLiteral("1")
                                                                                       : QStringLiteral("0"));
    return false;
}

SystemForm frmSystem::form() const {
    SystemForm f;
    f.address = NumberIn(address_->text());
    f.mode = mode_->currentIndex();
    f.path = path_->currentIndex();
    f.startUpDelay = startUpDelay_->Value();
    f.powerUpStatus = powerUpStatus_->isChecked();
    f.cycle = NumberIn(cycle_->Text());
    f.cycleUpDown = cycle_->Value();
    f.periodUnit = std::max(0, periodType_->currentIndex());
    f.sleepReturn = sleepReturn_->Value();
    f.powerSave = powerSave_->isChecked();
    f.cosWakeUp = cosWakeUp_->isChecked();
    return f;
}

void frmSystem::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    if (ValidateStationAddress() != 0) return;
    const SystemOkOutcome out = ApplySystemOk(edit_, form(), Port2RunsFleetSync(config()));
    for (const QString& message : out.messages) MsgBox(message, vbOKOnly);
    switch (out.stop) {
    case SystemOkOutcome::FleetSyncMode:
        mode_->setFocus(Qt::OtherFocusReason);
        mode_->setCurrentIndex(MODE_SLAVE_NOMAPPING);
        return;
    case SystemOkOutcome::SampleTimeRaised: return;  // a second OK passes
    case SystemOkOutcome::None: break;
    }
    PutSystemSettings(out.settings, config());
    if (frmAnalogs* analogs = frmAnalogs::Instance(); analogs && analogs->isVisible())
        analogs->EnableDisableAMap(RoundToLong(config().SystemConfig[1]) & 15);
    if (frmInputs* inputs = frmInputs::Instance(); inputs && inputs->isVisible())
        inputs->EnableDisableMap(RoundToLong(config().SystemConfig[1]) & 15);
    accept();
}

void frmSystem::Form_DblClick() {
    if (session().Online != 1 || target().PellarDevice) return;
    const std::optional<QString> entry =
        prompts().InputBox(QStringLiteral("To enter debug mode, Please provide a password."), QString(), QString());
    if (entry && IsDebugPassword(*entry)) OpenWindow(WindowId::frmSysDiag, this);
}

void frmSystem::mouseDoubleClickEvent(QMouseEvent* event) {
    QDialog::mouseDoubleClickEvent(event);
    Form_DblClick();
}

} // namespace korvel

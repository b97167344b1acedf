#include "editors/station/frmFFSK.h"
#include "editors/station/frmLevel.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/windowregistry.h"
#include "model/systemvalues.h"
#include "model/tempcodes.h"
#include "editors/station/systemrules.h"
#include "control/progress.h"
#include "link/linkstate.h"
#include "platform/prompts.h"
#include "control/session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace korvel {

namespace {

QPointer<frmFFSK> instance;

// The level box takes two digits; a longer stored level is still shown whole.
constexpr int kLevelLength = 2;

BoundedField* MakeField(const char* upDownName, const char* textName, const FfskFieldRange& r, const char* tip,
                        QWidget* parent) {
    auto* f = new BoundedField(
        upDownName, textName, {r.min, r.max, r.step, r.maxLength, BoundedField::EmptyReset::ToMinimum, r.divisor},
        parent);
    if (tip) f->SetToolTips(QString::fromLatin1(tip));
    return f;
}

const QStringList kPolarities{QStringLiteral("LOW"), QStringLiteral("HIGH")};

// Shows a loaded value; false when it lies outside the field's limits (it is shown and
// kept all the same, so an untouched field stores it back).
bool Show(BoundedField* field, long value) {
    field->SetValue(value);
    return field->WithinLimits();
}

} // namespace

frmFFSK::frmFFSK(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmFFSK"));
    setWindowTitle(QStringLiteral("FFSK Configuration"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
    concPacket_->setFocus();
}

void frmFFSK::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

QLineEdit* frmFFSK::txtPreambleCount() const { return preamble_->Box(); }
QLineEdit* frmFFSK::txtCDDelay() const { return cdDelay_->Box(); }
QLineEdit* frmFFSK::txtPTTStartDelay() const { return pttStart_->Box(); }
QLineEdit* frmFFSK::txtPTTHangDelay() const { return pttHang_->Box(); }
QLineEdit* frmFFSK::txtTransmissionRetryTimeout() const { return retryTimeout_->Box(); }
QLineEdit* frmFFSK::txtTransmissionRetrys() const { return retryCount_->Box(); }
QLineEdit* frmFFSK::txtDumpTime() const { return dumpTime_->Box(); }

void frmFFSK::build() {
    auto* port = new QWidget(this);
    concPacket_ = NamedCheckBox(QStringLiteral("Conc &Packet:"), "chkConcPacket", port);
    concPacket_->setLayoutDirection(Qt::RightToLeft);
    protocol_ = NamedList("cboProtocol", {QStringLiteral("BMP"), QStringLiteral("MODB"), QStringLiteral("PPP")},
                         "Selects the port protocol", port);
    baud_ = NamedList("cboTransmissionBaudRate", {QStringLiteral("1200"), QStringLiteral("2400")},
                     "Selects transmission baud rate", port);
    preamble_ = MakeField("updPreambleCount", "txtPreambleCount", kFfskPreamble,
                          "The number of preamble bytes to send at the beginning of an FFSK transmission", port);
    cdDelay_ = MakeField("updCDDelay", "txtCDDelay", kFfskCdDelay,
                         "The amount of time the channel must be 'clear' before sending", port);
    // The port has no inter-byte dump time: the field is shown but nothing reads or stores
    // it, so it takes no entry.
    dumpTime_ = MakeField("updDumpTime", "txtDumpTime", kFfskDumpTime, nullptr, port);
    dumpTime_->setEnabled(false);

    level_ = new QLineEdit(port);
    level_->setObjectName(QStringLiteral("txtLevel"));
    level_->setMaxLength(kLevelLength);
    level_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    InstallNumericKeyFilter(level_);
    InstallLeaveCheck(level_, [this] { return txtLevel_Validate(); });
    setLevel_ = NamedButton(QStringLiteral("Set Le&vel"), "cmdSetLevel", port);
    setLevel_->setToolTip(QStringLiteral("Click to set the transmission level"));
    setLevel_->setAutoDefault(false);

    auto* dumpLabel = BuddyLabel(QStringLiteral("Dump time (mSec) :"), dumpTime_, port);
    dumpLabel->setEnabled(false);
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(level_);
    levelRow->addWidget(setLevel_);
    levelRow->addStretch(1);

    auto* grid = new QGridLayout(port);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(concPacket_, 0, 0, Qt::AlignLeft | Qt::AlignAbsolute);
    AddFieldRow(grid, 1, QStringLiteral("P&rotocol:"), protocol_);
    AddFieldRow(grid, 2, QStringLiteral("&Baud rate:"), baud_);
    AddFieldRow(grid, 3, QStringLiteral("Pr&eamble (bytes) :"), preamble_, Qt::AlignLeft);
    AddFieldRow(grid, 4, QStringLiteral("Channel clear &delay (mSec) :"), cdDelay_, Qt::AlignLeft);
    grid->addWidget(dumpLabel, 5, 0);
    grid->addWidget(dumpTime_, 5, 1, Qt::AlignLeft);
    grid->addWidget(BuddyLabel(QStringLiteral("Output &level:"), level_, port), 6, 0);
    grid->addLayout(levelRow, 6, 1);
    grid->setRowStretch(7, 1);

    ptt_ = new QGroupBox(QStringLiteral("PTT"), this);
    ptt_->setObjectName(QStringLiteral("fraPtt"));
    pttPolarity_ = NamedList("cboPTTPolarity", kPolarities, "Enter the transmitter keying signal polarity", ptt_);
    pttStart_ = MakeField("updPTTStartDelay", "txtPTTStartDelay", kFfskPttDelay,
                          "This is the transmitter keyup delay time", ptt_);
    pttHang_ = MakeField("updPTTHangDelay", "txtPTTHangDelay", kFfskPttDelay,
                         "This is the transmitter keydown delay time", ptt_);
    auto* pttGrid = new QGridLayout(ptt_);
    AddFieldRow(pttGrid, 0, QStringLiteral("P&olarity:"), pttPolarity_);
    AddFieldRow(pttGrid, 1, QStringLiteral("&Start delay (ms)"), pttStart_, Qt::AlignLeft);
    AddFieldRow(pttGrid, 2, QStringLiteral("&Hang time (ms)"), pttHang_, Qt::AlignLeft);

    gate_ = new QGroupBox(QStringLiteral("COR/COS/M-SIG"), this);
    gate_->setObjectName(QStringLiteral("fraGate"));
    gateType_ = NamedList("cboGateType", {QStringLiteral("EXT SIGNAL"), QStringLiteral("INT SIGNAL")},
                         "Specify if the COR/COS M-Signal is to be supplied externally or internally generated", gate_);
    gatePolarity_ = NamedList("cboGatePolarity", kPolarities,
                             "This is the active polarity of the COR/COS/M-Signal if externally supplied", gate_);
    auto* gateGrid = new QGridLayout(gate_);
    AddFieldRow(gateGrid, 0, QStringLiteral("&Type:"), gateType_);
    AddFieldRow(gateGrid, 1, QStringLiteral("Pol&arity:"), gatePolarity_);

    retry_ = new QGroupBox(QStringLiteral("Communication Retry"), this);
    retry_->setObjectName(QStringLiteral("fraRetry"));
    retryTimeout_ = MakeField("updRetryTimeout", "txtTransmissionRetryTimeout", kFfskRetryTimeout,
                              "The time before a module attempts to resends a status message when there is no "
                              "response from the destination station",
                              retry_);
    retryCount_ = MakeField("updTransmissionRetrys", "txtTransmissionRetrys", kFfskRetryCount,
                            "This is the number of times the module with re-send the status information if there "
                            "is no response from the destination station",
                            retry_);
    auto* retryGrid = new QGridLayout(retry_);
    AddFieldRow(retryGrid, 0, QStringLiteral("Ti&meout (mSec) :"), retryTimeout_, Qt::AlignLeft);
    AddFieldRow(retryGrid, 1, QStringLiteral("Co&unt:"), retryCount_, Qt::AlignLeft);

    // The three frames line their fields up in one column.
    const int labelWidth = std::max({pttGrid->itemAtPosition(1, 0)->sizeHint().width(),
                                     retryGrid->itemAtPosition(0, 0)->sizeHint().width(),
                                     gateGrid->itemAtPosition(0, 0)->sizeHint().width()});
    for (QGridLayout* g : {pttGrid, gateGrid, retryGrid}) {
        g->setColumnMinimumWidth(0, labelWidth);
        g->setColumnStretch(1, 1);
    }

    const OkCancel okCancel = OkCancelButtons(this);
    ok_ = okCancel.ok;
    cancel_ = okCancel.cancel;
    QDialogButtonBox* const buttons = okCancel.row;

    auto* frames = new QVBoxLayout;
    frames->addWidget(ptt_);
    frames->addWidget(gate_);
    frames->addWidget(retry_);
    frames->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(port, 0, Qt::AlignTop);
    columns->addSpacing(12);
    columns->addLayout(frames, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = {concPacket_, protocol_,   baud_,      preamble_,     cdDelay_,     pttPolarity_,
                              pttStart_,   pttHang_,    gateType_,  gatePolarity_, retryTimeout_, retryCount_,
                              level_,      setLevel_,   dumpTime_,  ok_,           cancel_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(gateType_, &QComboBox::currentIndexChanged, this, &frmFFSK::cboGateType_Click);
    // Choosing the type already shown is a choice too: an internal gate loaded LOW turns HIGH.
    connect(gateType_, &QComboBox::activated, this, &frmFFSK::cboGateType_Click);
    connect(setLevel_, &QPushButton::clicked, this, &frmFFSK::cmdSetLevel_Click);
    connect(ok_, &QPushButton::clicked, this, &frmFFSK::cmdOK_Click);
}

void frmFFSK::load() {
    const StationConfig& c = config();
    setWindowTitle(StationCaption(QStringLiteral("FFSK Configuration, Station: ")));
    edit_ = TakeFfskSettings(c);
    const FfskForm shown = FfskFormOf(edit_);
    bool failed = false;

    concPacket_->setChecked(shown.concPacket);
    failed |= !SelectListed(pttPolarity_, shown.pttPolarity);
    {
        // The gate rule runs once, here, before the stored polarity is shown.
        const QSignalBlocker quiet(gateType_);
        failed |= !SelectListed(gateType_, shown.gateType);
    }
    cboGateType_Click();
    failed |= !SelectListed(gatePolarity_, shown.gatePolarity);
    failed |= !SelectListed(baud_, shown.baud);
    failed |= !Show(pttStart_, shown.pttStartDelay);
    failed |= !Show(pttHang_, shown.pttHangDelay);
    failed |= !Show(preamble_, shown.preamble);
    cdDelay_->SetValue(shown.cdDelay);
    failed |= !SelectListed(protocol_, shown.protocol);
    failed |= !Show(retryTimeout_, shown.retryTimeout);
    failed |= !Show(retryCount_, shown.retryCount);

    // The level test is of the local module and needs the link; it is offered only when
    // its window exists.
    setLevel_->setEnabled(session().Online != 0 && linkState().StationAddress[0] == 0 &&
                          WindowAvailable(WindowId::frmLevel));
    showLevel(shown.level);

    if (failed) MsgBox(UnexpectedValueMessage(), vbOKOnly);
}

void frmFFSK::showLevel(const QString& text) {
    level_->setMaxLength(std::max<int>(kLevelLength, int(text.size())));
    level_->setText(text);
}

void frmFFSK::cboGateType_Click() {
    const GateControls rule = GateRule(gateType_->currentIndex());
    gatePolarity_->setEnabled(rule.polarityEnabled);
    if (rule.polarityToHigh) gatePolarity_->setCurrentIndex(FFSK_HIGH_INDEX);
}

bool frmFFSK::txtLevel_Validate() {
    const QString error = LevelError(level_->text());
    if (error.isEmpty()) return true;
    MsgBox(error, vbOKOnly);
    level_->clear();
    level_->setFocus(Qt::OtherFocusReason);
    return false;
}

void frmFFSK::cmdSetLevel_Click() {
    OpenWindow(WindowId::frmLevel, this);
    if (frmLevel::EndedByFailure()) {
        // The exchange with the module failed: nothing of this dialog is kept either; a
        // level the test stored stays.
        reject();
        return;
    }
    showLevel(QString::number(config().SystemConfig[FFSK_OUTPUT_LEVEL]));
}

FfskForm frmFFSK::form() const {
    FfskForm f;
    f.concPacket = concPacket_->checkState() == Qt::Checked;
    f.protocol = protocol_->currentIndex();
    f.baud = baud_->currentIndex();
    f.pttPolarity = pttPolarity_->currentIndex();
    f.gateType = gateType_->currentIndex();
    f.gatePolarity = gatePolarity_->currentIndex();
    f.preamble = preamble_->Value();
    f.cdDelay = cdDelay_->Value();
    f.pttStartDelay = pttStart_->Value();
    f.pttHangDelay = pttHang_->Value();
    f.retryTimeout = retryTimeout_->Value();
    f.retryCount = retryCount_->Value();
    f.level = level_->text();
    return f;
}

void frmFFSK::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    // Enter or a click on OK from another control has not checked the level box.
    if (!txtLevel_Validate()) return;
    PutFfskSettings(ComposeFfsk(edit_, form()), config());
    accept();
}

} // namespace korvel

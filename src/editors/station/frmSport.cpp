#include "editors/station/frmSport.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "editors/station/fleetsyncrules.h"
#include "editors/station/frmKenwood.h"
#include "editors/station/frmModemProperty.h"
#include "editors/station/frmNMEAProperty.h"
#include "editors/station/systemrules.h"
#include "link/linkstate.h"
#include "platform/prompts.h"
#include "control/session.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmSport> instance;

const char* const kBaudRates[] = {"2400", "4800", "9600", "14400", "19200", "28800",
                                  "38400", "57600", "76800", "115200", "230400"};
const char* const kProtocols[] = {"BINMP", "FLEETSYNC", "PPP", "NMEA"};
const char* const kConnections[] = {"NONE", "MODEM", "DIGITAL RADIO", "PPP LINK"};
constexpr int kConnectionNone = 0;
constexpr int kConnectionModem = 1;

QStringList Texts(const char* const* items, std::size_t count) {
    QStringList texts;
    for (std::size_t i = 0; i < count; ++i) texts << QString::fromLatin1(items[i]);
    return texts;
}

// Shows a stored value in a field; false when it lies beyond the field's limits.
bool Show(BoundedField* field, double stored) {
    field->SetStoredValue(stored);
    return field->WithinLimits();
}

} // namespace

frmSport::frmSport(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmSport"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
}

void frmSport::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

void frmSport::build() {
    shape_ = new QFrame(this);
    shape_->setObjectName(QStringLiteral("Shape1"));
    shape_->setFrameShape(QFrame::Box);

    portFrame_ = new QGroupBox(QStringLiteral("Port Configuration"), shape_);
    portFrame_->setObjectName(QStringLiteral("Frame1"));
    baud_ = NamedList("cboTransmissionBaudRate", Texts(kBaudRates, std::size(kBaudRates)),
                      "Selects transmission baud rate", portFrame_);
    protocol_ = NamedList("cboProtocol", Texts(kProtocols, std::size(kProtocols)), "Selects the port protocol",
                          portFrame_);
    dumpTime_ = new BoundedField("updDumpTime", "txtDumpTime", {0, 4000, 100, 4, {}, 100}, portFrame_);
    dumpTime_->SetToolTips(QStringLiteral("Interbyte dump time"));

    retryFrame_ = new QGroupBox(QStringLiteral("Retry"), portFrame_);
    retryFrame_->setObjectName(QStringLiteral("Frame2"));
    retryCount_ = new BoundedField("updTransmissionRetrys", "txtTransmissionRetrys", {0, 99, 1, 0, {}, 1}, retryFrame_);
    retryCount_->SetToolTips(QStringLiteral("This is the number of times the module with re-send the status "
                                            "information if there is no response from the destination station"));
    retryTimeout_ = new BoundedField("updRetryTimeout", "txtTransmissionRetryTimeout", {100, 20000, 100, 0, {}, 100},
                                     retryFrame_);
    retryTimeout_->SetToolTips(QStringLiteral("The time before a module attempts to resends a status message when "
                                              "there is no response from the destination station"));
    auto* retryGrid = new QGridLayout(retryFrame_);
    AddFieldRow(retryGrid, 0, QStringLiteral("&Count:"), retryCount_, Qt::AlignLeft);
    AddFieldRow(retryGrid, 1, QStringLiteral("Packet &Timeout (mSec) :"), retryTimeout_, Qt::AlignLeft);
    retryGrid->setColumnStretch(1, 1);

    protocolLabel_ = BuddyLabel(QStringLiteral("&Protocol:"), protocol_, portFrame_);
    protocolLabel_->setObjectName(QStringLiteral("lblProtocol"));
    auto* portGrid = new QGridLayout(portFrame_);
    AddFieldRow(portGrid, 0, QStringLiteral("&Baud rate:"), baud_);
    portGrid->addWidget(protocolLabel_, 1, 0);
    portGrid->addWidget(protocol_, 1, 1);
    AddFieldRow(portGrid, 2, QStringLiteral("&Inter-byte Timeout (mSec) :"), dumpTime_, Qt::AlignLeft);
    portGrid->addWidget(retryFrame_, 3, 0, 1, 2);
    portGrid->setRowStretch(4, 1);

    connectionFrame_ = new QGroupBox(QStringLiteral("Connection Protocol"), shape_);
    connectionFrame_->setObjectName(QStringLiteral("Frame3"));
    // Restricted to its four entries, so OK always finds one of the list's codes.
    connection_ = NamedList("cboConnectionProtocol", Texts(kConnections, std::size(kConnections)),
                            "Select if this prot will use a connection based protocol", connectionFrame_);
    connection_->setAccessibleName(QStringLiteral("Connection Protocol"));
    properties_ = NamedButton(QStringLiteral("P&roperties"), "cmdSetProperties", connectionFrame_);
    properties_->setToolTip(QStringLiteral("Click to set the Connection properties"));
    auto* help = new QLabel(QStringLiteral("This port may also support a connection protocol. Connection protocols "
                                           "are use to make a link connection such as Dial Up, Digital Radio and PPP "
                                           "connections. Select the protocol. Click on the Properties button to set "
                                           "the properties. Only one port can use a dial up modem."),
                            connectionFrame_);
    help->setWordWrap(true);
    help->setMinimumWidth(fontMetrics().averageCharWidth() * 34);
    auto* connectionRow = new QHBoxLayout;
    connectionRow->addWidget(connection_, 1);
    connectionRow->addWidget(properties_);
    auto* connectionLayout = new QVBoxLayout(connectionFrame_);
    connectionLayout->addLayout(connectionRow);
    connectionLayout->addWidget(help);
    connectionLayout->addStretch(1);

    auto* frames = new QHBoxLayout(shape_);
    frames->addWidget(portFrame_);
    frames->addWidget(connectionFrame_);

    const OkCancel okCancel = OkCancelButtons(this);
    ok_ = okCancel.ok;
    cancel_ = okCancel.cancel;
    QDialogButtonBox* const buttons = okCancel.row;

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(shape_, 1);
    outer->addWidget(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = {baud_, protocol_, dumpTime_, retryCount_, retryTimeout_,
                              connection_, properties_, ok_, cancel_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(protocol_, &QComboBox::currentIndexChanged, this, &frmSport::cboProtocol_Click);
    connect(properties_, &QPushButton::clicked, this, &frmSport::cmdSetProperties_Click);
    connect(ok_, &QPushButton::clicked, this, &frmSport::cmdOK_Click);
}

void frmSport::applyPellarLayout() {
    // A Pellar's ports speak one protocol and no connection protocol.
    protocolLabel_->hide();
    protocol_->hide();
    connectionFrame_->hide();
    pellarBaudDefault_ = PellarHasBaudDefault(target().PellarVersion);
    if (pellarBaudDefault_) {
        baud_->setEnabled(edit_.port == 2);
        baud_->clear();
        baud_->addItems(QStringList{QStringLiteral("Default (9600)"), QStringLiteral("1200")} +
                        Texts(kBaudRates, std::size(kBaudRates)));
        baud_->setCurrentIndex(-1);
    } else {
        baud_->setEnabled(false);
    }
}

void frmSport::load() {
    const StationConfig& c = config();
    edit_ = TakePortSettings(c, session().SerialPortSelector);
    bool failed = false;

    if (target().PellarDevice) applyPellarLayout();

    setWindowTitle(StationCaption(QStringLiteral("Configuration - Serial Port %1, Station: ").arg(edit_.port)));
    // Serial port 1's rate is shown but not edited.
    if (edit_.port == 1) baud_->setEnabled(false);

    const int ccb2 = RoundToLong(edit_.Ccb2);
    failed |= !SelectListed(baud_, ccb2 & 0x0F);
    {
        // The protocol rules run on this selection, as on the user's.
        const QSignalBlocker quiet(protocol_);
        failed |= !SelectListed(protocol_, (ccb2 & PORT_PROTOCOL_MASK) >> PORT_PROTOCOL_SHIFT);
    }
    cboProtocol_Click();
    failed |= !Show(dumpTime_, edit_.DumpTime);
    failed |= !Show(retryCount_, edit_.RetryCount);
    failed |= !Show(retryTimeout_, edit_.RetryTime);
    failed |= !SelectListed(connection_, (RoundToLong(edit_.Ccb3) & 0x70) >> 4);

    if (failed) MsgBox(UnexpectedValueMessage(), vbOKOnly);
}

void frmSport::cboProtocol_Click() {
    const ProtocolOutcome out = ApplyProtocolRule(edit_, protocol_->currentIndex(), pellarBaudDefault_,
                                                  config().FleetSyncConfig.Ccb1, PortProtocol(config(), SPORT2_CCB2));
    if (out.retryEnabled) retryFrame_->setEnabled(*out.retryEnabled);
    if (out.baudIndex) baud_->setCurrentIndex(*out.baudIndex < baud_->count() ? *out.baudIndex : -1);
    if (out.connectionEnabled) connection_->setEnabled(*out.connectionEnabled);
    if (out.retryTimeoutMs) retryTimeout_->SetValue(*out.retryTimeoutMs);
    if (out.retryCount) retryCount_->SetValue(*out.retryCount);
    for (const QString& message : out.messages) MsgBox(message, vbOKOnly + vbInformation);
}

void frmSport::cmdSetProperties_Click() {
    switch (connection_->currentIndex()) {
    case kConnectionNone:
        switch (protocol_->currentIndex()) {
        case PORT_FLEETSYNC: {
            const int mode = RoundToLong(edit_.ModuleMode) & 15;
            if (!FleetSyncModeAllowed(mode)) {
                MsgBox(FleetSyncModeRefusal(), vbOKOnly);
                return;
            }
            FleetSyncView view;
            view.moduleMode = mode;
            view.port1Protocol = edit_.port == 1 ? PORT_FLEETSYNC : PortProtocol(config(), SPORT1_CCB2);
            view.ccb1Cleared = edit_.FleetSyncCleared;
            frmKenwood::Run(this, view);
            return;
        }
        case PORT_NMEA: frmNMEAProperty::Run(this); return;
        default: return;
        }
    case kConnectionModem: frmModemProperty::Run(this); return;
    default: return;
    }
}

void frmSport::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    PortForm form;
    form.baud = baud_->currentIndex();
    form.protocol = protocol_->currentIndex();
    form.connection = connection_->currentIndex();
    form.dumpTimeMs = dumpTime_->Value();
    form.retryCount = retryCount_->Value();
    form.retryTimeoutMs = retryTimeout_->Value();
    ApplyPortForm(edit_, form);
    PutPortSettings(edit_, config());
    accept();
}

} // namespace korvel

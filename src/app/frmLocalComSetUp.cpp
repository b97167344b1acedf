#include "app/frmLocalComSetUp.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "control/localsettings.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace korvel {

namespace {

QPointer<frmLocalComSetUp> instance;

constexpr int kDescriptionRole = Qt::UserRole + 1;

struct Range {
    int min, max, step;
};
constexpr Range kRetryRange{2, 10, 1};
constexpr Range kPacketTimeoutRange{500, 30000, 100};
constexpr Range kInterByteRange{200, 2000, 100};

const char* const kHint =
    "These settings serve the PC's serial port, which is connected either to the Korvel "
    "module itself or, with the Kenwood FleetSync protocol, to a radio. Pick a port from "
    "the list, or type the path of any serial device.";

// A port as the list shows it: the device with what the system calls it.
QString PortListText(const QString& device, const QString& description) {
    return description.isEmpty() ? device : device + QStringLiteral("  (") + description + QLatin1Char(')');
}

// The list shows each port with its description; the box itself, and what OK stores,
// keep the plain device path.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = PortListText(index.data(Qt::DisplayRole).toString(), index.data(kDescriptionRole).toString());
    }
};

// An up-down with its text part named as the field; the text takes digits only (the
// spin box's own validator keeps refusing values beyond the limits).
QSpinBox* makeUpDown(const char* name, const char* textName, Range r, const QString& toolTip, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(r.min, r.max);
    spin->setSingleStep(r.step);
    spin->setToolTip(toolTip);
    InstallDigitKeyFilter(spin);
    if (auto* text = spin->findChild<QLineEdit*>()) {
        text->setObjectName(QString::fromLatin1(textName));
        text->setToolTip(toolTip);
        InstallDigitKeyFilter(text);
    }
    return spin;
}

} // namespace

frmLocalComSetUp::frmLocalComSetUp(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmLocalComSetUp"));
    setWindowTitle(QStringLiteral("OMRU Communication Port Parameters"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    hint_ = new QPlainTextEdit(QString::fromLatin1(kHint), this);
    hint_->setObjectName(QStringLiteral("txtHint"));
    hint_->setReadOnly(true);
    // Reading matter, not a stop on the way between the fields.
    hint_->setFocusPolicy(Qt::NoFocus);
    hint_->setAccessibleName(tr("About these settings"));
    // Room for the whole text at the dialog's usual width; a larger font scrolls.
    const QFontMetrics hintFm = hint_->fontMetrics();
    hint_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hint_->setMinimumWidth(hintFm.averageCharWidth() * 64);
    hint_->setFixedHeight(hintFm.lineSpacing() * 5 + 2 * (int(hint_->document()->documentMargin()) + hint_->frameWidth()) + 4);

    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("cboLocalPort"));
    port_->setEditable(true);
    // A typed path is the choice itself, not an entry to add to the list.
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setToolTip(QStringLiteral("The RS-232 port that will be used to communicate with the NELK local port"));
    port_->setItemDelegate(new PortItemDelegate(port_));
    // Completion in place would quietly turn a typed /dev/ttyS1 into a listed /dev/ttyS10.
    port_->completer()->setCompletionMode(QCompleter::PopupCompletion);
    port_->completer()->setCaseSensitivity(Qt::CaseSensitive);
    const QFontMetrics fm = port_->fontMetrics();
    int widest = fm.horizontalAdvance(QStringLiteral("/dev/ttyUSB00"));
    for (const SerialPortEntry& e : PresentSerialPorts()) {
        port_->addItem(e.Device);
        const int i = port_->count() - 1;
        const QString listText = PortListText(e.Device, e.Description);
        port_->setItemData(i, e.Description, kDescriptionRole);
        port_->setItemData(i, listText, Qt::AccessibleTextRole);
        if (!e.Description.isEmpty()) port_->setItemData(i, e.Description, Qt::ToolTipRole);
        widest = std::max(widest, fm.horizontalAdvance(listText));
    }
    port_->view()->setMinimumWidth(widest + 40);
    port_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("/dev/ttyUSB00")) + 60);

    retries_ = makeUpDown("updRetryCount", "txtRetryCount", kRetryRange,
                          QStringLiteral("The number of times to retry a command when there is a communication timeout"),
                          this);
    packetTimeout_ = makeUpDown(
        "updCommInTimer", "txtCommInTimer", kPacketTimeoutRange,
        QStringLiteral("The time OMRU will wait before resending the command when there is no reponse from the Korvel."),
        this);
    interByte_ = makeUpDown("updInterByteTime", "txtInterByteTime", kInterByteRange,
                            QStringLiteral("The time that OMRU will wait before flushing a partially received packet "
                                           "when the packet is stalled"),
                            this);

    protocol_ = new QComboBox(this);
    protocol_->setObjectName(QStringLiteral("cboPortProtocol"));
    protocol_->addItems({QStringLiteral("Korvel"), QStringLiteral("KENWOOD FLEETSYNC")});
    protocol_->setToolTip(
        QStringLiteral("Determines whether the communication port is connected to Korvel module or Kenwood Radio"));

    ok_ = NamedButton(tr("&OK"), "OKButton", this);
    ok_->setDefault(true);
    cancel_ = NamedButton(tr("&Cancel"), "CancelButton", this);

    auto* grid = new QGridLayout;
    const std::pair<QString, QWidget*> rows[] = {
        {tr("Communication &port:"), port_},
        {tr("&Retry count:"), retries_},
        {tr("Packet &Timeout (mSec) :"), packetTimeout_},
        {tr("&Inter-byte Timeout (mSec)"), interByte_},
        {tr("&Local port protocol:"), protocol_},
    };
    int row = 0;
    for (const auto& [text, field] : rows) {
        AddFieldRow(grid, row, text, field);
        ++row;
    }
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint_);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    setTabOrder(port_, retries_);
    setTabOrder(retries_, packetTimeout_);
    setTabOrder(packetTimeout_, interByte_);
    setTabOrder(interByte_, protocol_);
    setTabOrder(protocol_, ok_);
    setTabOrder(ok_, cancel_);

    connect(ok_, &QPushButton::clicked, this, &frmLocalComSetUp::OKButtonClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    loaded_ = LoadLocalPortValues();
    // The saved device is shown whether or not it is present now: an adapter that is
    // unplugged stays the choice until another is made.
    const int listed = port_->findText(loaded_.Device, Qt::MatchExactly | Qt::MatchCaseSensitive);
    port_->setCurrentIndex(listed);
    port_->setEditText(loaded_.Device);
    // Values outside the limits, which only an edited settings file can hold, show as
    // the nearest limit.
    retries_->setValue(loaded_.RetryCount);
    packetTimeout_->setValue(loaded_.PacketTimeoutMs);
    interByte_->setValue(loaded_.InterByteTimeoutMs);
    protocol_->setCurrentIndex(ProtocolListIndex(loaded_.PortProtocol));
    port_->setFocus();
}

void frmLocalComSetUp::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

QLineEdit* frmLocalComSetUp::txtRetryCount() const { return retries_->findChild<QLineEdit*>(); }
QLineEdit* frmLocalComSetUp::txtCommInTimer() const { return packetTimeout_->findChild<QLineEdit*>(); }
QLineEdit* frmLocalComSetUp::txtInterByteTime() const { return interByte_->findChild<QLineEdit*>(); }

void frmLocalComSetUp::OKButtonClick() {
    // The up-downs follow every keystroke that makes a valid value; a text still short of
    // one (below the bottom) leaves the value before it.
    LocalPortValues v;
    v.Device = port_->currentText();
    v.RetryCount = retries_->value();
    v.PacketTimeoutMs = packetTimeout_->value();
    v.InterByteTimeoutMs = interByte_->value();
    v.PortProtocol = ProtocolFromListIndex(protocol_->currentIndex(), loaded_.PortProtocol);
    StoreLocalPortValues(v);
    accept();
}

} // namespace korvel

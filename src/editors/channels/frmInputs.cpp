#include "editors/channels/frmInputs.h"
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "editors/channels/analogrules.h"
#include "editors/channels/frmShowConfiguration.h"
#include "editors/channels/steprules.h"
#include "editors/station/frmSystem.h"
#include "editors/station/systemrules.h"
#include "platform/prompts.h"
#include "control/session.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmInputs> instance;

constexpr long INPUT_HOLD_MAX = 255;
constexpr long INPUT_DELAY_MAX = 255;

int BoxNumber(const QLineEdit* box) { return LeadingInteger(box->text()).value_or(0); }

} // namespace

frmInputs::frmInputs(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmInputs"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    pellar_ = target().PellarDevice;
    build();

    // Set up once per opening: a message box closing activates the dialog again, and
    // loading the input then would drop what was typed.
    setWindowTitle(StationCaption(QStringLiteral("Contact Input Configuration, Station: ")));
    channel_->SetChannels(ChannelMaximum(ChannelKind::ContactInput),
                          [](int index) { return ChannelFitted(ChannelKind::ContactInput, index); });
    FillLocalOutputList();
    LoadInputChannel(session().SelectedInputChannel);
    EnableDisableMap(RoundToLong(config().SystemConfig[1]) & 15);
    if (pellar_) {
        // A Pellar input drives its output at once, maps nowhere and logs nothing of
        // its own; the hint then has the room.
        for (QWidget* w : std::initializer_list<QWidget*>{logger_, mapping_, delay_, delayLabel_}) w->hide();
        delay_->SetValue(0);
    }
    channel_->setFocus();
}

void frmInputs::Run(QWidget* owner) {
    session().SelectedInputChannel = 0;
    RunSingleInstance(instance, owner);
}

frmInputs* frmInputs::Instance() { return instance.data(); }

// ---------------------------------------------------------------------------------------
// Building the form

void frmInputs::build() {
    channel_ = new ChannelStepper("updChannel", "txtInputChannel", this);
    channel_->setToolTip(QStringLiteral("Select previous/next contact input"));
    enabled_ = NamedCheckBox(QStringLiteral("&Enable input events"), "chkInputEnabled", this);
    enabled_->setToolTip(QStringLiteral("Click to enable this contact input"));
    polarity_ = NamedList("cboInputPolarity", {QStringLiteral("N.C."), QStringLiteral("N.O.")},
                          "This is the OFF or rest state for the input", this);
    mode_ = NamedList("cboMode", {QStringLiteral("NORMAL"), QStringLiteral("TOGGLE")},
                      "Selects between normal input and a 'toggle' input", this);
    hold_ = new BoundedField("updHold", "txtInputHold",
                             ChannelFieldLimits(0, INPUT_HOLD_MAX, 1, 3), this);
    hold_->SetToolTips(QStringLiteral("The amount of time that the input must be present before being recognized"));

    auto* grid = new QGridLayout;
    AddFieldRow(grid, 0, QStringLiteral("Contact &Input:"), channel_, Qt::AlignLeft);
    grid->addWidget(enabled_, 1, 1);
    AddFieldRow(grid, 2, QStringLiteral("Input &State:"), polarity_);
    AddFieldRow(grid, 3, QStringLiteral("Input &Mode:"), mode_);
    AddFieldRow(grid, 4, QStringLiteral("&Hold (secs) :"), hold_, Qt::AlignLeft);
    grid->addWidget(buildLocalOutput(), 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    hint_ = new QPlainTextEdit(this);
    hint_->setObjectName(QStringLiteral("txtHint1"));
    hint_->setReadOnly(true);
    hint_->setTabChangesFocus(true);
    hint_->setAccessibleName(QStringLiteral("Hint"));
    hint_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 34);

    auto* right = new QVBoxLayout;
    right->addWidget(buildMapping());
    right->addWidget(buildLogger());
    right->addWidget(hint_, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(grid);
    columns->addSpacing(12);
    columns->addLayout(right, 1);

    const OkCancel buttons = OkCancelButtons(this);
    ok_ = buttons.ok;
    cancel_ = buttons.cancel;

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(buttons.row);

    std::vector<QWidget*> order = {channel_, enabled_, polarity_, mode_, hold_, localOutput_, setReset_, delay_};
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        order.push_back(station_[k]);
        order.push_back(subChannel_[k]);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{onOff_, accumulate_, hint_, ok_, cancel_}) order.push_back(w);
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    const auto reaction = [this](void (frmInputs::*handler)()) {
        return [this, handler] {
            if (!LoadingChannel) (this->*handler)();
        };
    };
    connect(mode_, &QComboBox::currentIndexChanged, this, reaction(&frmInputs::cboMode_Click));
    connect(setReset_, &QComboBox::currentIndexChanged, this, reaction(&frmInputs::cboSetReset_Click));
    connect(localOutput_, &QComboBox::currentIndexChanged, this, reaction(&frmInputs::cboInputLocalOutput_Click));
    connect(hold_, &BoundedField::valueChanged, this, reaction(&frmInputs::updHold_Change));
    connect(ok_, &QPushButton::clicked, this, &frmInputs::cmdOK_Click);
    channel_->leaving = [this](int index) {
        if (!CheckFocusedField(this)) return false;
        StoreInputChannel(index);
        return true;
    };
    channel_->entered = [this](int index) { LoadInputChannel(index); };
}

QGroupBox* frmInputs::buildLocalOutput() {
    auto* frame = new QGroupBox(QStringLiteral("Local Output"), this);
    frame->setObjectName(QStringLiteral("fraLocalOut"));
    localOutput_ = NamedList("cboInputLocalOutput", {}, "Select a local output, if this input is to control one", frame);
    setReset_ = NamedList("cboSetReset",
                          {QStringLiteral("NORMAL"), QStringLiteral("RESET OUTPUT"), QStringLiteral("SET OUTPUT")},
                          "When enabled a signal on this contact input will directly set or reset a local output",
                          frame);
    delay_ = new BoundedField("updLocChannelDelay", "txtInputLocOutputDelay",
                              ChannelFieldLimits(0, INPUT_DELAY_MAX, 1, 3), frame);
    delay_->SetToolTips(QStringLiteral("The delay before the local output is changed"));
    // The delay follows the hold and is then moved with the arrows only.
    delay_->Box()->setReadOnly(true);
    auto* grid = new QGridLayout(frame);
    AddFieldRow(grid, 0, QStringLiteral("&Channel:"), localOutput_);
    AddFieldRow(grid, 1, QStringLiteral("Local Set/&Reset Function:"), setReset_);
    AddFieldRow(grid, 2, QStringLiteral("Output &delay:"), delay_, Qt::AlignLeft);
    delayLabel_ = qobject_cast<QLabel*>(grid->itemAtPosition(2, 0)->widget());
    return frame;
}

QGroupBox* frmInputs::buildMapping() {
    mapping_ = new QGroupBox(QStringLiteral("Output Mapping"), this);
    mapping_->setObjectName(QStringLiteral("fraOutputMapping"));
    auto* map = new QGridLayout(mapping_);
    map->addWidget(new QLabel(QStringLiteral("STATION"), mapping_), 0, 1, Qt::AlignHCenter);
    map->addWidget(new QLabel(QStringLiteral("OUTPUT"), mapping_), 0, 2, Qt::AlignHCenter);
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        station_[k] = NumberBox(Indexed("DestStation", k), 3, QStringLiteral("Destination Station Address"), mapping_);
        // Three digits, so that an output number beyond the maps' range read from a
        // module shows whole and is kept until it is changed.
        subChannel_[k] = NumberBox(Indexed("SubChannel", k), 3,
                                   QStringLiteral("Destination Sub Channel address (output)"), mapping_);
        station_[k]->setAccessibleName(QStringLiteral("Station %1").arg(k + 1));
        subChannel_[k]->setAccessibleName(QStringLiteral("Output %1").arg(k + 1));
        InstallLeaveCheck(station_[k], [this, box = station_[k]] { return checkStation(box); });
        InstallLeaveCheck(subChannel_[k], [this, box = subChannel_[k]] { return checkSubChannel(box); });
        map->addWidget(new QLabel(QStringLiteral("%1:").arg(k + 1), mapping_), k + 1, 0);
        map->addWidget(station_[k], k + 1, 1);
        map->addWidget(subChannel_[k], k + 1, 2);
    }
    return mapping_;
}

QGroupBox* frmInputs::buildLogger() {
    logger_ = new QGroupBox(QStringLiteral("Logger options"), this);
    logger_->setObjectName(QStringLiteral("fraLoggerOpt"));
    onOff_ = new QRadioButton(QStringLiteral("Log &ON/OFF times"), logger_);
    onOff_->setObjectName(QStringLiteral("optONOFF"));
    onOff_->setToolTip(QStringLiteral("When checked logs the absolute ON and OFF times to the min/max log"));
    accumulate_ = new QRadioButton(QStringLiteral("&Accumulate time"), logger_);
    accumulate_->setObjectName(QStringLiteral("optAccum"));
    accumulate_->setToolTip(QStringLiteral("When checked logs the accumulated ON time to the input channel timer log"));
    accumulate_->setChecked(true);
    auto* box = new QVBoxLayout(logger_);
    box->addWidget(onOff_);
    box->addWidget(accumulate_);
    return logger_;
}

void frmInputs::FillLocalOutputList() {
    // An input drives one of its own module's eight outputs, or none.
    const QSignalBlocker quiet(localOutput_);
    localOutput_->clear();
    localOutput_->addItem(QStringLiteral("NONE"), 0);
    for (int i = 1; i < LOCAL_OUTPUT_ITEMS; ++i) localOutput_->addItem(QString::number(i), i);
    localOutput_->setCurrentIndex(-1);
}

void frmInputs::EnableDisableMap(int moduleMode) {
    if (const auto enable = MappingEnableFor(moduleMode)) {
        for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
            station_[k]->setEnabled(enable->stations);
            subChannel_[k]->setEnabled(enable->outputs);
        }
    }
    hint_->setPlainText(frmSystem::LoadHintPanel(moduleMode, 0));
}

// ---------------------------------------------------------------------------------------
// Loading and storing an input

void frmInputs::LoadInputChannel(int channel) {
    channel = channel_->ShowChannel(channel);
    session().SelectedInputChannel = int16_t(channel);
    const int slot = GetChannelSlot(channel);
    const InputChannelValues v = ViewInputChannel(config().ContactInputTable[GetChannelGroup(channel)], slot);
    loaded_ = v;
    bool shown = true;

    // The values are shown as stored; the controls they enable follow from them at
    // the end, as the reactions would leave them.
    LoadingChannel = true;
    enabled_->setChecked(v.enabled);
    polarity_->setCurrentIndex(v.normallyOpen ? 1 : 0);
    mode_->setCurrentIndex(v.toggle ? 1 : 0);
    setReset_->setCurrentIndex(int(v.setReset));
    hold_->SetValue(v.hold);
    const std::optional<int> item = LocalOutputItem(GetChannelGroup(channel), v.localOutput);
    shown &= item && SelectListed(localOutput_, *item);
    if (!item) localOutput_->setCurrentIndex(-1);
    delay_->SetValue(v.delay);
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        station_[k]->setText(ThreeDigits(v.destStation[k]));
        subChannel_[k]->setText(TwoDigits(v.destChannel[k]));
        shown &= v.destChannel[k] <= SUB_CHANNEL_MAX;
    }
    // The logger choice shows as stored even where the slot is not logged, so that
    // storing it keeps it for when it is.
    const bool logged = SlotLogged(LOG_INPUTS_ELEMENT, slot);
    logger_->setEnabled(logged);
    (v.logOnOff ? onOff_ : accumulate_)->setChecked(true);
    LoadingChannel = false;
    applyEnables();

    if (!shown) ReportUnexpectedValues(this, channel + 1);
}

void frmInputs::StoreInputChannel(int channel) {
    const int group = GetChannelGroup(channel), slot = GetChannelSlot(channel);
    InputChannelValues v;
    v.enabled = enabled_->isChecked();
    v.normallyOpen = polarity_->currentIndex() == 1;
    v.toggle = toggleMode();
    v.setReset = setResetItem();
    v.logOnOff = onOff_->isChecked();
    v.hold = int(hold_->Value());
    // A local output the list cannot show stays as it was loaded.
    const int item = localOutput_->currentIndex();
    v.localOutput = item < 0 ? loaded_.localOutput : StoredLocalOutput(group, item);
    v.delay = int(delay_->Value());
    for (int k = 0; k < INPUT_DEST_MAPS; ++k) {
        v.destStation[k] = BoxNumber(station_[k]);
        v.destChannel[k] = BoxNumber(subChannel_[k]);
    }
    if (item >= 1 && v.setReset != SetResetItem::Normal && LatchAssignedOutput(config().OutputConfigTable[group], item))
        MsgBox(LatchedOutputMessage(item), vbOKOnly);
    korvel::StoreInputChannel(config().ContactInputTable[group], slot, v, pellar_);
}

bool frmInputs::toggleMode() const { return mode_->currentIndex() == 1; }

SetResetItem frmInputs::setResetItem() const {
    const int index = setReset_->currentIndex();
    return index < 0 ? loaded_.setReset : SetResetItem(index);
}

// ---------------------------------------------------------------------------------------
// Reactions

void frmInputs::applyEnables() {
    const bool toggle = toggleMode();
    const bool direct = setResetItem() != SetResetItem::Normal;
    // A toggle input has no hold and drives no output of its own; an input that sets or
    // resets its output does so at once, and a Korvel then holds nothing either.
    setReset_->setEnabled(!toggle);
    mode_->setEnabled(!pellar_ && !direct);
    hold_->setEnabled(!toggle && (!direct || pellar_));
    delay_->setEnabled(!toggle && !direct && localOutput_->currentIndex() > 0);
}

void frmInputs::cboMode_Click() {
    if (toggleMode()) {
        delay_->SetValue(0);
        setReset_->setCurrentIndex(int(SetResetItem::Normal));
        hold_->SetValue(0);
    } else {
        delay_->SetValue(hold_->Value());
    }
    applyEnables();
}

void frmInputs::cboSetReset_Click() {
    if (setResetItem() != SetResetItem::Normal && !pellar_) {
        delay_->SetValue(0);
        hold_->SetValue(0);
    }
    applyEnables();
}

void frmInputs::cboInputLocalOutput_Click() { applyEnables(); }

void frmInputs::updHold_Change() {
    if (setResetItem() != SetResetItem::Reset && !toggleMode()) delay_->SetValue(hold_->Value());
}

// ---------------------------------------------------------------------------------------
// Entry checks

bool frmInputs::checkStation(QLineEdit* box) {
    if (box->text().isEmpty()) box->setText(QStringLiteral("0"));
    if (BoxNumber(box) <= DEST_STATION_MAX) return true;
    QApplication::beep();
    MsgBox(kDestStationRefusal, vbOKOnly);
    box->setText(QStringLiteral("0"));
    return false;
}

bool frmInputs::checkSubChannel(QLineEdit* box) {
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("0"));
        ShowEmptyFieldMessage();
        return false;
    }
    if (BoxNumber(box) <= SUB_CHANNEL_MAX) return true;
    QApplication::beep();
    MsgBox(kSubChannelRefusal, vbOKOnly);
    box->setText(QStringLiteral("0"));
    return false;
}

void frmInputs::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    StoreInputChannel(channel_->ShownChannel());
    if (frmShowConfiguration* overview = frmShowConfiguration::Instance(); overview && overview->isVisible())
        overview->UpdateConfigDisplay();
    accept();
}

} // namespace korvel

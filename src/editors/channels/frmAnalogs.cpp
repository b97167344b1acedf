#include "editors/channels/frmAnalogs.h"
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/stepperfield.h"
#include "model/analogcodes.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "editors/channels/steprules.h"
#include "editors/station/frmSystem.h"
#include "editors/station/systemrules.h"
#include "platform/prompts.h"
#include "control/localsettings.h"
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
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmAnalogs> instance;

constexpr int kLogAnalogsElement = 37;
constexpr int kLogTemperaturesElement = 38;
constexpr int kModuleModeElement = 1;
constexpr int kPellarQualifiers = 32;
// Destination boxes take three digits, so that 256 or 65 can be typed and refused.
constexpr int kDestDigits = 3;

const QString kVoltageTip = QStringLiteral("Enter the voltage set point in the format V.V");
const QString kTemperatureTip = QStringLiteral("Enter the temperature set point in the format +/-CCC.C");

// The set-point graphic's colours.
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);


int TextByte(const QString& text) { return LeadingInteger(text).value_or(0) & 0xFF; }

void Paint(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

} // namespace

frmAnalogs::frmAnalogs(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAnalogs"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    analogMode_ = session().AnalogMode;
    pellar_ = target().PellarDevice;
    degreesF_ = settings().DegreesF;
    build();
    layOut();
    // Set up once per opening: a message box closing activates the dialog again, and
    // loading the channel then would drop what was typed.
    setUp();
}

void frmAnalogs::Run(QWidget* owner) {
    session().SelectedAnalogChannel = 0;
    RunSingleInstance(instance, owner);
}

frmAnalogs* frmAnalogs::Instance() { return instance.data(); }

// ---------------------------------------------------------------------------------------
// Building the form

void frmAnalogs::build() {
    channel_ = new ChannelStepper("updChannel", "txtAnalogChannel", this);
    channel_->setToolTip(QStringLiteral("Select previous/next analog input"));
    channelLabel_ = BuddyLabel(QStringLiteral("&Analog Input:"), channel_, this);
    channelLabel_->setObjectName(QStringLiteral("Label1"));
    enabled_ = NamedCheckBox(QStringLiteral("&Enable input events"), "chkAnalogEnabled", this);
    enabled_->setToolTip(QStringLiteral(
        "Enables or Disables the sending of events when the value exceeds the high or low set points"));

    range_ = NamedList("cboInputRange", {QStringLiteral("0 - 5.00V"), QStringLiteral("0 - 25.0V"), QStringLiteral("USER")},
                       "Sets analog range in conjunction with module jumpers", this);
    rangeLabel_ = BuddyLabel(QStringLiteral("&Range:"), range_, this);
    rangeLabel_->setObjectName(QStringLiteral("Label19"));
    QStringList multipliers;
    for (int i = 0; i < USER_MULTIPLIER_COUNT; ++i) multipliers << MultiplierText(i);
    userM_ = NamedList("cboUserM", multipliers, "User selected external range multiplier (2X, 4X, 10X, 20X)", this);
    userMLabel_ = BuddyLabel(QStringLiteral("&User X:"), userM_, this);
    userMLabel_->setObjectName(QStringLiteral("Label6"));
    sensor_ = NamedList("Combo_Sensor", {}, nullptr, this);
    sensor_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    sensorLabel_ = BuddyLabel(QStringLiteral("&Sensor:"), sensor_, this);
    sensorLabel_->setObjectName(QStringLiteral("Label_Sensor"));
    // The rows keep their places while the sensor list comes and goes with the range.
    for (QWidget* w : {static_cast<QWidget*>(sensor_), static_cast<QWidget*>(sensorLabel_)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    offset_ = new StepperField("updOffset", "txtOffset", this);
    offset_->SetLimits(OFFSET_MIN_STEPS, OFFSET_MAX_STEPS, 1);
    offset_->SetToolTips(QStringLiteral(
        "Set the sensor offset value This will cause the reported data to be offset by the specified amount."));
    InstallDecimalKeyFilter(offset_, true);
    InstallLeaveCheck(offset_, [this] { return checkOffset(); });
    offsetLabel_ = BuddyLabel(QStringLiteral("O&ffset:"), offset_, this);
    offsetLabel_->setObjectName(QStringLiteral("LabelOffset"));

    buildSide(High);
    buildSide(Low);

    invert_ = NamedCheckBox(QStringLiteral("&Invert set points"), "chkInvert", this);
    invert_->setToolTip(QStringLiteral("Inverts the event logic for set points"));
    buildGraphic();

    logger_ = new QGroupBox(QStringLiteral("Logger options"), this);
    logger_->setObjectName(QStringLiteral("fraLoggerOpt"));
    enableLog_ = NamedCheckBox(QStringLiteral("Lo&g threshold"), "chkEnableLog", logger_);
    enableLog_->setToolTip(
        QStringLiteral("Unchecked, logger samples and records the analog input. Checked, logs set point crossings."));
    QStringList qualifiers{QStringLiteral("NONE")};
    for (int i = 1; i <= 8; ++i) qualifiers << QString::number(i);
    qualifiers << QStringLiteral("CARDET");
    qualifier_ = NamedList("cboQInput", qualifiers,
                           "Selects an optional input that must be ON to validate the threshold before it will be "
                           "written to the log",
                           logger_);
    qualifierLabel_ = BuddyLabel(QStringLiteral("Logger input channel &qualifier"), qualifier_, logger_);
    qualifierLabel_->setObjectName(QStringLiteral("lblQInput"));
    auto* loggerRows = new QGridLayout(logger_);
    loggerRows->addWidget(enableLog_, 0, 0, 1, 2);
    loggerRows->addWidget(qualifierLabel_, 1, 0);
    loggerRows->addWidget(qualifier_, 1, 1, Qt::AlignLeft);

    holdTime_ = new QGroupBox(QStringLiteral("Hold Time"), this);
    holdTime_->setObjectName(QStringLiteral("fraHoldTime"));
    commonHold_ = new BoundedField("updCommonHoldTime", "txtCommonHoldTime",
                                   ChannelFieldLimits(HOLD_MIN_SECONDS, HOLD_MAX_SECONDS, 1, 3), holdTime_);
    commonHold_->SetToolTips(QStringLiteral(
        "The delay before the output will become active, and the amount of time the voltage must be above the set "
        "point before being recognized."));
    auto* holdRow = new QHBoxLayout(holdTime_);
    holdRow->addWidget(BuddyLabel(QStringLiteral("Input &Hold And Output Delay Time:"), commonHold_, holdTime_));
    holdRow->addWidget(commonHold_);
    holdRow->addStretch(1);
    holdTime_->hide();

    hint_ = new QPlainTextEdit(this);
    hint_->setObjectName(QStringLiteral("txtAnalogTabMode"));
    hint_->setReadOnly(true);
    hint_->setTabChangesFocus(true);
    hint_->setAccessibleName(QStringLiteral("Module mode"));
    tempMode_ = new QLabel(this);
    tempMode_->setObjectName(QStringLiteral("lblTempMode"));

    const OkCancel buttons = OkCancelButtons(this);
    ok_ = buttons.ok;
    cancel_ = buttons.cancel;
    buttons.row->setObjectName(QStringLiteral("buttonRow"));

    connect(range_, &QComboBox::currentIndexChanged, this, &frmAnalogs::cboInputRange_Click);
    connect(userM_, &QComboBox::currentIndexChanged, this, &frmAnalogs::cboUserM_Click);
    connect(sensor_, &QComboBox::currentIndexChanged, this, &frmAnalogs::Combo_Sensor_Click);
    connect(invert_, &QCheckBox::toggled, this, &frmAnalogs::chkInvert_Click);
    connect(offset_, &StepperField::valueChanged, this, &frmAnalogs::RefreshSensorDisplay);
    connect(ok_, &QPushButton::clicked, this, &frmAnalogs::cmdOK_Click);
    channel_->leaving = [this](int index) { return leaveChannel(index); };
    channel_->entered = [this](int index) { enterChannel(index); };
}

QGroupBox* frmAnalogs::buildSide(int which) {
    const bool high = which == High;
    Side& s = side_[which];
    s.frame = new QGroupBox(high ? QStringLiteral("High Set Point") : QStringLiteral("Low Set Point"), this);
    s.frame->setObjectName(high ? QStringLiteral("fraHigh") : QStringLiteral("fraLow"));
    QWidget* f = s.frame;

    s.threshold = new StepperField(high ? "updHighThreshold" : "updLowThreshold",
                                   high ? "txtHighThreshold" : "txtLowThreshold", f);
    InstallDecimalKeyFilter(s.threshold, !analogMode_);
    InstallLeaveCheck(s.threshold, [this, which] { return checkThreshold(which); });
    connect(s.threshold, &StepperField::valueChanged, this, [this, which] { thresholdChanged(which); });
    s.thresholdLabel = BuddyLabel(high ? QStringLiteral("Vol&tage:") : QStringLiteral("V&oltage:"), s.threshold, f);
    s.thresholdLabel->setObjectName(high ? QStringLiteral("lblVoltageHigh") : QStringLiteral("lblVoltageLow"));

    s.adjusted = NamedLineEdit(high ? "txtHighThresholdDBM" : "txtLowThresholdDBM",
                               high ? QStringLiteral("A voltage ABOVE this value will trigger an alarm")
                                    : QStringLiteral("A voltage BELOW this value will trigger an alarm"),
                               12, f);
    // Shown to read and copy, never typed into; sized for the longest reading it shows,
    // a bound of the RF sensor's span or a value with its unit.
    s.adjusted->setReadOnly(true);
    SizeForText(s.adjusted, QStringLiteral("< -000.00dBm"));
    s.adjustedLabel = BuddyLabel(QStringLiteral("Adjusted:"), s.adjusted, f);
    s.adjustedLabel->setObjectName(high ? QStringLiteral("LabelHighDBM") : QStringLiteral("LabelLowDBM"));

    s.hold = new BoundedField(high ? "updHighHold" : "updLowHold", high ? "txtHighHold" : "txtLowHold",
                              ChannelFieldLimits(HOLD_MIN_SECONDS, HOLD_MAX_SECONDS, 1, 3), f);
    s.hold->SetToolTips(high ? QStringLiteral("The amount of time the voltage must be above the set point before being "
                                              "recognized")
                             : QStringLiteral("The amount of time the voltage must be below the set point before being "
                                              "recognized"));
    s.holdLabel = BuddyLabel(high ? QStringLiteral("Hold (secs) :") : QStringLiteral("Hold (secs) :"), s.hold, f);
    s.holdLabel->setObjectName(high ? QStringLiteral("lblHoldHigh") : QStringLiteral("lblHoldLow"));

    s.localOutput = NamedList(high ? "cboAHighOutput" : "cboALowOutput", {},
                              "Select a local output, if this set point is to control one", f);
    s.localOutputLabel = BuddyLabel(QStringLiteral("Local output:"), s.localOutput, f);
    s.localOutputLabel->setObjectName(high ? QStringLiteral("lblLocalOutputHigh") : QStringLiteral("lblLocalOutputLow"));

    s.delay = new BoundedField(high ? "updAHighLocOutputDelay" : "updALowLocOutputDelay",
                               high ? "txtAHighLocOutputDelay" : "txtALowLocOutputDelay",
                               ChannelFieldLimits(0, OUTPUT_DELAY_MAX, 1, 3), f);
    s.delay->SetToolTips(QStringLiteral("The delay before the output will become active"));
    s.delayLabel = BuddyLabel(QStringLiteral("Output delay:"), s.delay, f);
    s.delayLabel->setObjectName(high ? QStringLiteral("lblLocalOutputHoldHigh") : QStringLiteral("lblLocalOutputHoldLow"));

    // Setting a hold sets its output delay; the delay can then be changed on its own.
    connect(s.hold, &BoundedField::valueChanged, s.delay, [&s](long v) { s.delay->SetValue(v); });

    s.mapping = new QGroupBox(QStringLiteral("Output Mapping"), f);
    s.mapping->setObjectName(high ? QStringLiteral("fraHighOutputMapping") : QStringLiteral("fraLowOutputMapping"));
    auto* map = new QGridLayout(s.mapping);
    map->addWidget(new QLabel(QStringLiteral("STATION"), s.mapping), 0, 1, Qt::AlignHCenter);
    map->addWidget(new QLabel(QStringLiteral("OUTPUT"), s.mapping), 0, 2, Qt::AlignHCenter);
    for (int k = 0; k < 2; ++k) {
        const int i = 2 * which + k;
        s.station[k] = NumberBox(Indexed("txtADestStation", i), kDestDigits,
                                 QStringLiteral("Destination Station Address"), s.mapping);
        s.channel[k] = NumberBox(Indexed("txtADestChannel", i), kDestDigits,
                                 QStringLiteral("Destination Sub Channel address (output)"), s.mapping);
        s.station[k]->setAccessibleName(QStringLiteral("Station %1").arg(k + 1));
        s.channel[k]->setAccessibleName(QStringLiteral("Output %1").arg(k + 1));
        InstallLeaveCheck(s.station[k], [this, box = s.station[k]] { return checkDestination(box, true); });
        InstallLeaveCheck(s.channel[k], [this, box = s.channel[k]] { return checkDestination(box, false); });
        map->addWidget(new QLabel(QStringLiteral("%1:").arg(k + 1), s.mapping), k + 1, 0);
        map->addWidget(s.station[k], k + 1, 1);
        map->addWidget(s.channel[k], k + 1, 2);
    }

    auto* grid = new QGridLayout;
    grid->addWidget(s.thresholdLabel, 0, 0);
    grid->addWidget(s.threshold, 0, 1);
    grid->addWidget(s.adjustedLabel, 0, 2);
    grid->addWidget(s.adjusted, 0, 3);
    grid->addWidget(s.holdLabel, 1, 0);
    grid->addWidget(s.hold, 1, 1, Qt::AlignLeft);
    grid->addWidget(s.localOutputLabel, 2, 0);
    grid->addWidget(s.localOutput, 2, 1);
    grid->addWidget(s.delayLabel, 2, 2);
    grid->addWidget(s.delay, 2, 3, Qt::AlignLeft);
    grid->setColumnStretch(4, 1);
    auto* rows = new QHBoxLayout(s.frame);
    rows->addLayout(grid, 1);
    rows->addWidget(s.mapping);
    return s.frame;
}

QGroupBox* frmAnalogs::buildGraphic() {
    graphic_ = new QGroupBox(this);
    graphic_->setObjectName(QStringLiteral("fraGraphic1"));
    const char* const shapes[] = {"shpUpper", "shpMiddle", "shpLower"};
    const char* const texts[] = {"lblTop", "lblMiddle", "lblBottom"};
    const char* const design[] = {"ALARM", "EVENT OFF", "ALARM"};
    auto* bands = new QGridLayout(graphic_);
    bands->setVerticalSpacing(0);
    for (int i = 0; i < 3; ++i) {
        band_[i] = new QFrame(graphic_);
        band_[i]->setObjectName(QString::fromLatin1(shapes[i]));
        band_[i]->setFrameShape(QFrame::Box);
        band_[i]->setAutoFillBackground(true);
        band_[i]->setMinimumSize(110, 34);
        bandText_[i] = new QLabel(QString::fromLatin1(design[i]), band_[i]);
        bandText_[i]->setObjectName(QString::fromLatin1(texts[i]));
        bandText_[i]->setAlignment(Qt::AlignCenter);
        auto* inside = new QVBoxLayout(band_[i]);
        inside->setContentsMargins(2, 2, 2, 2);
        inside->addWidget(bandText_[i]);
        bands->addWidget(band_[i], 2 * i, 0);
    }
    // The marks sit on the borders between the bands.
    bands->addWidget(new QLabel(QStringLiteral("High set"), graphic_), 0, 1, Qt::AlignBottom);
    bands->addWidget(new QLabel(QStringLiteral("Low set"), graphic_), 2, 1, Qt::AlignBottom);
    return graphic_;
}

void frmAnalogs::layOut() {
    auto* top = new QGridLayout;
    top->addWidget(channelLabel_, 0, 0);
    top->addWidget(channel_, 0, 1, Qt::AlignLeft);
    top->addWidget(enabled_, 0, 2, 1, 2);
    top->addWidget(rangeLabel_, 1, 0);
    top->addWidget(range_, 1, 1);
    top->addWidget(userMLabel_, 1, 2);
    top->addWidget(userM_, 1, 3, Qt::AlignLeft);
    top->addWidget(sensorLabel_, 2, 0);
    top->addWidget(sensor_, 2, 1);
    top->addWidget(offsetLabel_, 2, 2);
    top->addWidget(offset_, 2, 3, Qt::AlignLeft);
    top->setColumnStretch(4, 1);

    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(side_[High].frame);
    left->addWidget(side_[Low].frame);
    auto* right = new QVBoxLayout;
    right->addWidget(graphic_);
    right->addWidget(invert_);
    if (pellar_) {
        // A Pellar has no graphic: its logger and hold-time frames stack under the set
        // points.
        left->addWidget(logger_);
        left->addWidget(holdTime_);
    } else {
        right->addWidget(logger_);
    }
    right->addWidget(hint_, 1);
    right->addWidget(tempMode_);
    // Without a hint the unit line stays at the top of its column.
    right->addStretch(0);
    left->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(8);
    columns->addLayout(right);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(ok_->parentWidget());
    const QFontMetrics metrics = hint_->fontMetrics();
    hint_->setFixedWidth(metrics.averageCharWidth() * 30 + 16);
    hint_->setMinimumHeight(metrics.lineSpacing() * 9 + 12);

    const Side& h = side_[High];
    const Side& l = side_[Low];
    QWidget* const order[] = {channel_,   enabled_,      range_,         userM_,      sensor_,       offset_,
                              h.threshold, h.hold,        h.localOutput,  h.delay,     h.station[0],  h.channel[0],
                              h.station[1], h.channel[1], l.threshold,    l.hold,      l.localOutput, l.delay,
                              l.station[0], l.channel[0], l.station[1],   l.channel[1], invert_,      enableLog_,
                              qualifier_,  commonHold_,   hint_,          ok_,         cancel_};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

// ---------------------------------------------------------------------------------------
// Set-up for the kind and the model

void frmAnalogs::setUp() {
    if (pellar_) {
        invert_->hide();
        enableLog_->hide();
        side_[High].mapping->hide();
        side_[Low].mapping->hide();
        logger_->setTitle(QStringLiteral("Input Qualification"));
        logger_->setEnabled(true);
        qualifierLabel_->setText(QStringLiteral("Input channel &qualifier"));
        qualifierLabel_->setEnabled(true);
        qualifier_->setEnabled(true);
        qualifier_->clear();
        qualifier_->addItem(QStringLiteral("NONE"));
        for (int i = 1; i <= kPellarQualifiers; ++i) qualifier_->addItem(QString::number(i));
        graphic_->hide();
        for (Side& s : side_)
            for (QWidget* w : std::initializer_list<QWidget*>{s.delay, s.delayLabel, s.hold, s.holdLabel}) w->hide();
        holdTime_->show();
    }

    const int mode = RoundToLong(config().SystemConfig[kModuleModeElement]) & 15;
    if (!analogMode_) {
        setWindowTitle(StationCaption(QStringLiteral("Temperature Input Configuration, Station: ")));
        showThresholdLabels(QStringLiteral("Temperature:"), kTemperatureTip);
        side_[High].hold->SetToolTips(QStringLiteral(
            "The amount of time the temperature must be above the set point before being recognized"));
        side_[Low].hold->SetToolTips(QStringLiteral(
            "The amount of time the temperature must be below the set point before being recognized"));
        for (QWidget* w : {static_cast<QWidget*>(sensor_), static_cast<QWidget*>(sensorLabel_)}) {
            QSizePolicy policy = w->sizePolicy();
            policy.setRetainSizeWhenHidden(false);
            w->setSizePolicy(policy);
        }
        for (QWidget* w : std::initializer_list<QWidget*>{range_, userM_, graphic_, side_[High].adjusted,
                                                          side_[High].adjustedLabel, side_[Low].adjusted,
                                                          side_[Low].adjustedLabel, sensor_, sensorLabel_,
                                                          userMLabel_, rangeLabel_, offset_, offsetLabel_})
            w->hide();
        const SetPointScale scale = TemperatureSetPointScale(degreesF_);
        for (Side& s : side_) s.threshold->SetLimits(scale.lowerSteps, scale.upperSteps, TEMP_STEP_TENTHS);
        channel_->SetChannels(ChannelMaximum(ChannelKind::TemperatureInput),
                              [](int index) { return ChannelFitted(ChannelKind::TemperatureInput, index); });
        FillLocalOutputCombos(target().ChildCount);
        const int shown = channel_->ShowChannel(session().SelectedAnalogChannel);
        session().SelectedAnalogChannel = int16_t(shown);
        LoadTempChannel(shown);
        EnableDisableAMap(mode);
        invert_->hide();
        tempMode_->setText(degreesF_ ? QStringLiteral("Temperatures = Fahrenheit")
                                     : QStringLiteral("Temperatures = Celsius"));
        channelLabel_->setText(QStringLiteral("Temp &Input:"));
    } else {
        setWindowTitle(StationCaption(QStringLiteral("Analog Input Configuration, Station: ")));
        tempMode_->hide();
        channel_->SetChannels(ChannelMaximum(ChannelKind::AnalogInput),
                              [](int index) { return ChannelFitted(ChannelKind::AnalogInput, index); });
        FillLocalOutputCombos(ChannelMaximum(ChannelKind::AnalogInput) / SLOTS);
        const int shown = channel_->ShowChannel(session().SelectedAnalogChannel);
        session().SelectedAnalogChannel = int16_t(shown);
        LoadAnalogChannel(shown);
        EnableDisableAMap(mode);
        invert_->setVisible(!pellar_);
        UpdateUserMultiplierEnable();
    }
    channel_->setFocus();
}

void frmAnalogs::FillLocalOutputCombos(int) {
    // Whatever the station's size, a set point drives one of its own module's eight
    // outputs, or none.
    for (Side& s : side_) {
        const QSignalBlocker quiet(s.localOutput);
        s.localOutput->clear();
        s.localOutput->addItem(QStringLiteral("NONE"), 0);
        for (int i = 1; i < LOCAL_OUTPUT_ITEMS; ++i) s.localOutput->addItem(QString::number(i), i);
        s.localOutput->setCurrentIndex(-1);
    }
}

void frmAnalogs::EnableDisableAMap(int moduleMode) {
    if (const auto enable = MappingEnableFor(moduleMode)) {
        for (Side& s : side_) {
            for (int k = 0; k < 2; ++k) {
                s.station[k]->setEnabled(enable->stations);
                s.channel[k]->setEnabled(enable->outputs);
            }
        }
    }
    const QString hint = frmSystem::LoadHintPanel(moduleMode, analogMode_ ? 1 : 2);
    hint_->setPlainText(hint);
    // A Pellar has nothing to say of its temperature maps: no empty box then.
    hint_->setVisible(!hint.isEmpty());
}

// ---------------------------------------------------------------------------------------
// Loading and storing a channel

bool frmAnalogs::loadSide(int which, const AlarmSide& v) {
    Side& s = side_[which];
    bool shown = true;
    s.hold->SetValue(v.hold);  // also sets the delay, set to its own value below
    shown &= s.hold->WithinLimits();
    for (int k = 0; k < 2; ++k) {
        s.station[k]->setText(ThreeDigits(v.destStation[k]));
        s.channel[k]->setText(TwoDigits(v.destChannel[k]));
    }
    const std::optional<int> item = LocalOutputItem(group_, v.localOutput);
    shown &= item && SelectListed(s.localOutput, *item);
    if (!item) s.localOutput->setCurrentIndex(-1);
    s.delay->SetValue(v.outputDelay);
    shown &= s.delay->WithinLimits();
    return shown;
}

void frmAnalogs::setLoggerOptions(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{enableLog_, qualifierLabel_, qualifier_, logger_})
        w->setEnabled(enabled);
}

bool frmAnalogs::finishLoad(int logElement, int slot, bool logThreshold, int qualifier) {
    // The logger options follow whether the system logs this slot.
    const bool logged = SlotLogged(logElement, slot);
    if (logged) setLoggerOptions(true);
    enableLog_->setChecked(logged && logThreshold);
    const bool shown = SelectListed(qualifier_, qualifier);
    if (pellar_) {
        // A Pellar qualifies every channel, and holds and delays it by the one time.
        for (QWidget* w : std::initializer_list<QWidget*>{logger_, qualifier_, qualifierLabel_}) w->setEnabled(true);
        const long hold = side_[High].hold->Value();
        side_[Low].hold->SetValue(hold);
        side_[High].delay->SetValue(hold);
        side_[Low].delay->SetValue(hold);
    }
    return shown;
}

void frmAnalogs::LoadAnalogChannel(int channel) {
    group_ = GetChannelGroup(channel);
    Loading = true;
    bool shown = true;
    const int slot = GetChannelSlot(channel);
    const AnalogChannelValues v = ViewAnalogChannel(config().AnalogConfigTable[GetChannelGroup(channel)], slot);
    loadedAnalog_ = v;
    sensorRange_ = v.rangeCode;
    sensorModifier_ = v.modifier;

    setLoggerOptions(false);
    enabled_->setChecked(v.enabled);
    {
        const QSignalBlocker quiet(range_);
        // Range code 0 selects nothing and is kept; codes the list lacks are reported.
        const int index = RangeCodeToListIndex(v.rangeCode);
        shown &= SelectListed(range_, index) || v.rangeCode == RANGE_0_2V56;
    }
    {
        const QSignalBlocker quiet(userM_);
        userM_->setCurrentIndex(0);
        if (v.rangeCode == RANGE_USER) {
            if (v.modifier >= 0 && v.modifier < userM_->count())
                userM_->setCurrentIndex(v.modifier);
            else
                shown = false;  // the list keeps the first multiplier
        }
    }
    cboInputRange_Click();  // refills the sensor list with the stored sensor selected
    SetRangeLabelsNoRefresh();

    const int conversion = conversionCode();
    for (int which : {High, Low}) {
        StepperField* f = side_[which].threshold;
        const AlarmSide& a = which == High ? v.high : v.low;
        f->SetValue(ThresholdSteps(a.threshold, conversion, f->Minimum(), f->Maximum()));
    }
    thresholdChanged(High);
    thresholdChanged(Low);

    offset_->SetValue(v.offset);
    shown &= offset_->WithinLimits();
    RefreshSensorDisplay();
    shown &= loadSide(Low, v.low);
    shown &= loadSide(High, v.high);
    if (pellar_) commonHold_->SetValue(side_[High].hold->Value());

    Loading = false;
    invert_->setChecked(v.inverted);
    chkInvert_Click();
    // A qualifier past the list loads as none, without a report.
    shown &= finishLoad(kLogAnalogsElement, slot, v.logThreshold, v.qualifier > qualifier_->count() ? 0 : v.qualifier);
    if (!shown) ReportUnexpectedValues(this, channel + 1);
}

void frmAnalogs::LoadTempChannel(int channel) {
    group_ = 0;  // the main module's
    Loading = true;
    bool shown = true;
    const int slot = GetChannelSlot(channel);
    const TempChannelValues v = ViewTempChannel(config().TempConfigTable[slot]);
    loadedTemp_ = v;

    setLoggerOptions(false);
    enabled_->setChecked(v.enabled);
    for (int which : {Low, High}) {
        const AlarmSide& a = which == High ? v.high : v.low;
        const TempSetPointView view = TemperatureSetPointView(TempThresholdShown(a.threshold, degreesF_));
        StepperField* f = side_[which].threshold;
        f->SetValue(view.steps);
        f->SetText(view.text);
        // A code beyond the sensor's range cannot be shown as a set point.
        shown &= f->WithinLimits();
        shown &= loadSide(which, a);
    }
    if (pellar_) commonHold_->SetValue(side_[High].hold->Value());
    Loading = false;
    shown &= finishLoad(kLogTemperaturesElement, slot, v.logThreshold, v.qualifier);
    if (!shown) ReportUnexpectedValues(this, channel + 1);
}

AlarmSide frmAnalogs::storedSide(int which, const AlarmSide& loaded) const {
    const Side& s = side_[which];
    AlarmSide a = loaded;
    a.hold = int(s.hold->Value());
    for (int k = 0; k < 2; ++k) {
        a.destStation[k] = TextByte(s.station[k]->text());
        a.destChannel[k] = TextByte(s.channel[k]->text());
    }
    // A local output the list could not show is kept as it was stored.
    if (s.localOutput->currentIndex() >= 0) a.localOutput = StoredLocalOutput(group_, s.localOutput->currentIndex());
    a.outputDelay = int(s.delay->Value());
    if (pellar_) a.hold = a.outputDelay = int(commonHold_->Value());
    return a;
}

void frmAnalogs::StoreAnalogChannel(int channel) {
    AnalogChannelValues v = loadedAnalog_;
    v.enabled = enabled_->isChecked();
    v.inverted = invert_->isChecked();
    // A range the list could not show stays as stored, with its modifier.
    if (range_->currentIndex() >= 0) {
        const int rc = selectedRangeCode();
        v.rangeCode = rc;
        v.modifier = StoredModifier(rc, sensor_->currentIndex(), userM_->currentIndex(), loadedAnalog_.rangeCode,
                                    loadedAnalog_.modifier);
    }
    const int conversion = conversionCode();
    v.low = storedSide(Low, loadedAnalog_.low);
    v.high = storedSide(High, loadedAnalog_.high);
    v.low.threshold = ConvertToTarget(double(side_[Low].threshold->Value()), conversion);
    v.high.threshold = ConvertToTarget(double(side_[High].threshold->Value()), conversion);
    v.offset = offset_->isVisibleTo(this) ? int(offset_->Value()) : 0;
    v.logThreshold = enableLog_->isChecked();
    if (qualifier_->currentIndex() >= 0) v.qualifier = qualifier_->currentIndex();
    korvel::StoreAnalogChannel(config().AnalogConfigTable[GetChannelGroup(channel)], GetChannelSlot(channel), v);
}

void frmAnalogs::StoreTempChannel(int channel) {
    TempChannelValues v = loadedTemp_;
    v.enabled = enabled_->isChecked();
    v.low = storedSide(Low, loadedTemp_.low);
    v.high = storedSide(High, loadedTemp_.high);
    // The set points are taken as their boxes show them.
    v.low.threshold = TempThresholdCode(LeadingDecimal(side_[Low].threshold->Text()), degreesF_);
    v.high.threshold = TempThresholdCode(LeadingDecimal(side_[High].threshold->Text()), degreesF_);
    v.logThreshold = enableLog_->isChecked();
    if (qualifier_->currentIndex() >= 0) v.qualifier = qualifier_->currentIndex();
    korvel::StoreTempChannel(config().TempConfigTable[GetChannelSlot(channel)], v);
}

// ---------------------------------------------------------------------------------------
// Stepping, OK and Cancel

bool frmAnalogs::setPointsInOrder() {
    if (side_[Low].threshold->Value() < side_[High].threshold->Value()) return true;
    // Raised from OK or a step: the box is this window's, as a field's refusal is.
    WindowMsgBox(this, kLowNotBelowHighMessage, vbOKOnly);
    ReturnToField(side_[Low].threshold);
    return false;
}

bool frmAnalogs::leaveChannel(int channel) {
    if (!CheckFocusedField(this) || !setPointsInOrder()) return false;
    analogMode_ ? StoreAnalogChannel(channel) : StoreTempChannel(channel);
    return true;
}

void frmAnalogs::enterChannel(int channel) {
    session().SelectedAnalogChannel = int16_t(channel);
    analogMode_ ? LoadAnalogChannel(channel) : LoadTempChannel(channel);
    if (analogMode_) UpdateUserMultiplierEnable();
}

void frmAnalogs::cmdOK_Click() {
    if (!CheckFocusedField(this) || !setPointsInOrder()) return;
    const int channel = channel_->ShownChannel();
    session().SelectedAnalogChannel = int16_t(channel);
    analogMode_ ? StoreAnalogChannel(channel) : StoreTempChannel(channel);
    accept();
}

// ---------------------------------------------------------------------------------------
// Range, multiplier and sensor

int frmAnalogs::selectedRangeCode() const { return ListIndexToRangeCode(range_->currentIndex()); }

int frmAnalogs::conversionCode() const {
    const int rc = selectedRangeCode();
    return rc < RANGE_USER ? rc : ConversionCode(RANGE_USER, userM_->currentIndex());
}

int frmAnalogs::sensorCode() const {
    const int rc = selectedRangeCode();
    if (rc != RANGE_0_5V && rc != RANGE_0_25V) return SENSOR_NORMAL;
    return StoredModifier(rc, sensor_->currentIndex(), 0, loadedAnalog_.rangeCode, loadedAnalog_.modifier);
}

RangeSelection frmAnalogs::selection() const { return {range_->currentIndex(), userM_->currentIndex()}; }

void frmAnalogs::cboInputRange_Click() {
    if (!analogMode_) return;
    if (!Loading) {
        UpdateUserMultiplierEnable();
        SetRangeLabels();
    }
    {
        const QSignalBlocker quiet(sensor_);
        sensor_->clear();
        if (selectedRangeCode() == RANGE_0_5V) {
            sensor_->addItems(SensorListItems());
            int index = SensorCodeToListIndex(sensorRange_, sensorModifier_);
            if (index < 0 || index >= sensor_->count()) index = 0;
            sensor_->setCurrentIndex(index);
        } else {
            sensor_->addItem(SensorListText(SENSOR_NORMAL));
            sensor_->setCurrentIndex(0);
        }
    }
    const bool sensors = selectedRangeCode() == RANGE_0_5V;
    sensor_->setVisible(sensors);
    sensorLabel_->setVisible(sensors);
    offset_->show();
    offsetLabel_->show();
    RefreshSensorDisplay();
}

void frmAnalogs::cboUserM_Click() {
    if (Loading) return;
    SetRangeLabels();
}

void frmAnalogs::Combo_Sensor_Click() {
    // The sensor picked is the channel's until OK, Cancel or a step; a return to this
    // range from another one shows it again.
    if (selectedRangeCode() == RANGE_0_5V && !Loading) {
        sensorRange_ = RANGE_0_5V;
        sensorModifier_ = SensorListIndexToCode(RANGE_0_5V, sensor_->currentIndex());
    }
    RefreshSensorDisplay();
}

void frmAnalogs::UpdateUserMultiplierEnable() { userM_->setEnabled(selectedRangeCode() == RANGE_USER); }

void frmAnalogs::showThresholdLabels(const QString& label, const QString& tip) {
    side_[High].thresholdLabel->setText(QString(label).insert(label.size() > 3 ? 3 : 0, QLatin1Char('&')));
    side_[Low].thresholdLabel->setText(QString(label).insert(1, QLatin1Char('&')));
    for (Side& s : side_) s.threshold->SetToolTips(tip);
}

void frmAnalogs::SetRangeLabelsNoRefresh() {
    // Every range the list can select reads in volts; the 25 V range steps by a tenth.
    showThresholdLabels(QStringLiteral("Voltage:"), kVoltageTip);
    const long increment = selectedRangeCode() == RANGE_0_25V ? 1000 : 100;
    const auto scale = AnalogSetPointScale(selection());
    for (Side& s : side_) {
        StepperField* f = s.threshold;
        f->SetLimits(scale ? scale->lowerSteps : f->Minimum(), scale ? scale->upperSteps : f->Maximum(), increment);
    }
}

void frmAnalogs::SetRangeLabels() {
    if (Loading) return;
    SetRangeLabelsNoRefresh();
    const auto scale = AnalogSetPointScale(selection());
    if (!scale) return;
    // A range chosen anew starts from its full scale and zero.
    side_[High].threshold->SetValue(scale->upperSteps);
    side_[Low].threshold->SetValue(scale->lowerSteps);
    thresholdChanged(High);
    thresholdChanged(Low);
}

void frmAnalogs::RefreshSensorDisplay() {
    if (!analogMode_) return;
    offset_->SetText(FormatOffsetSteps(selectedRangeCode(), sensorCode(), int(offset_->Value())));
    RefreshAdjustedValue(side_[High].threshold->Text(), side_[High].adjusted);
    RefreshAdjustedValue(side_[Low].threshold->Text(), side_[Low].adjusted);
}

void frmAnalogs::RefreshAdjustedValue(const QString& voltsText, QLineEdit* target) {
    if (!analogMode_) return;
    target->setText(GetAdjustedValueFromVolts(voltsText, sensorCode(), selectedRangeCode(), int(offset_->Value())));
}

void frmAnalogs::thresholdChanged(int which) {
    StepperField* f = side_[which].threshold;
    if (!analogMode_ || !SuppressThresholdChange) {
        if (const auto text = SetPointTextFromSteps(int32_t(f->Value()), analogMode_, selection())) f->SetText(*text);
    }
    RefreshAdjustedValue(f->Text(), side_[which].adjusted);
}

void frmAnalogs::chkInvert_Click() {
    const bool inverted = invert_->isChecked();
    const QColor outer = inverted ? kGreen : kRed;
    const QColor middle = inverted ? kRed : kGreen;
    const QPalette system = QApplication::palette();
    const QColor buttonText = system.color(QPalette::ButtonText);
    const QColor highlightText = system.color(QPalette::HighlightedText);
    for (int i = 0; i < 3; ++i) {
        const bool isMiddle = i == 1;
        Paint(band_[i], QPalette::Window, isMiddle ? middle : outer);
        // The band that raises an event reads "EVENT ON" in highlight text.
        const bool eventOn = isMiddle == inverted;
        bandText_[i]->setText(eventOn ? QStringLiteral("EVENT ON") : QStringLiteral("EVENT OFF"));
        Paint(bandText_[i], QPalette::WindowText, eventOn ? highlightText : buttonText);
    }
    // With the set points inverted the high band raises no event to drive an output.
    const Side& h = side_[High];
    for (QWidget* w : std::initializer_list<QWidget*>{h.localOutput, h.delay, h.localOutputLabel, h.delayLabel})
        w->setEnabled(!inverted);
}

// ---------------------------------------------------------------------------------------
// Field checks

bool frmAnalogs::checkThreshold(int which) {
    StepperField* f = side_[which].threshold;
    if (f->Text().isEmpty()) {
        ShowEmptyFieldMessage();
        if (const auto text = LowerBoundText(int32_t(f->Minimum()), analogMode_, selection())) f->SetText(*text);
        return false;
    }
    const SetPointCheck check =
        CheckSetPointEntry(f->Text(), analogMode_, selection(), degreesF_, int32_t(f->Minimum()));
    if (check.refused) {
        QApplication::beep();
        MsgBox(check.message, vbOKOnly);
        f->SetText(check.resetText);
        return false;
    }
    if (check.steps) {
        // An accepted analog entry stays as typed; a temperature is shown in its format.
        SuppressThresholdChange = analogMode_;
        f->SetValue(*check.steps);
        SuppressThresholdChange = false;
        if (!analogMode_) thresholdChanged(which);
    }
    RefreshAdjustedValue(f->Text(), side_[which].adjusted);
    return true;
}

bool frmAnalogs::checkOffset() {
    const int rc = selectedRangeCode(), sc = sensorCode();
    const QString maxText = FormatOffsetSteps(rc, sc, int(offset_->Maximum()));
    const QString minText = FormatOffsetSteps(rc, sc, int(offset_->Minimum()));
    const QString text = offset_->Text();
    if (text.isEmpty()) {
        offset_->SetText(minText);
        ShowEmptyFieldMessage();
        return false;
    }
    // Text that is no number at all is refused like one below the least offset.
    const std::optional<double> number = WholeDecimal(text);
    const bool above = number && *number > WholeDecimal(maxText).value_or(0);
    if (above || !number || *number < WholeDecimal(minText).value_or(0)) {
        QApplication::beep();
        offset_->SetText(above ? maxText : minText);
        MsgBox(above ? QStringLiteral("Value greater than maximum, value is reset to maximum")
                     : QStringLiteral("Value less than minimum, value is reset to minimum"),
               vbOKOnly);
        return false;
    }
    offset_->SetValue(OffsetToSteps(rc, sc, *number));
    RefreshSensorDisplay();
    return true;
}

bool frmAnalogs::checkDestination(QLineEdit* box, bool station) {
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("0"));
        ShowEmptyFieldMessage();
        return false;
    }
    if (LeadingInteger(box->text()).value_or(0) <= (station ? DEST_STATION_MAX : DEST_OUTPUT_MAX)) return true;
    QApplication::beep();
    MsgBox(station ? kDestStationRefusal : kDestOutputRefusal, vbOKOnly);
    box->setText(QStringLiteral("0"));
    return false;
}

} // namespace korvel

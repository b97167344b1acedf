#include "monitor/frmLogger.h"
#include "link/linkhold.h"

#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/frmMain.h"
#include "app/statecolours.h"
#include "model/model.h"
#include "model/systemvalues.h"
#include "link/frame.h"
#include "model/loggerdata.h"
#include "model/loggerfiles.h"
#include "control/loggerread.h"
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
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace korvel {

namespace {

QPointer<frmLogger> instance;

std::function<QDateTime()>& fileClock() {
    static std::function<QDateTime()> clock;
    return clock;
}

const QString kSettingsHeader = QStringLiteral(" Logger Configuration");
const QString kTimersHeader = QStringLiteral(" Airtimer and Accumulated Contacts");
const QString kRunLengthTip =
    QStringLiteral("The current run time in DDDDD:HH:MM:SS before the logger will overflow or wrap around");

const char* const kHintLines[] = {
    "The data logger function provides the ability to sample and record individual inputs ",
    "and optionally store the min and max values for these independent of whether the",
    "input is enabled to generate events or not. If an input is enabled for logging, a",
    "sample is read and stored each sample period. If min and max accumulation is enabled,",
    "then after the min/max time has expired, the min and max will be calculated and stored.",
    "If the power save option is enabled then the sample period must be the same as, or",
    "larger than the time specified in the power save option sleep time. Check the box for",
    "each input that is to be logged. If necessary return to the input's setup window",
    "to adjust the type of logging required or adjust a threshold at which an Analog or",
    "Temperature input will trigger a entry to be written to the log.",
    "If the Logger configuration is changed, then any present sampling or min/max will be ",
    "lost as the logger memory is reformatted when a new configuration is written to the ",
    "Korvel. When all adjustments have been made, upload (write) the entire",
    "configuration to the module. Return to this window and start the logger.",
};

// The longest time a run length or timer box shows: the most seconds a count holds.
QString LongestRunLength() { return FormatRunLength(std::numeric_limits<uint32_t>::max()); }

// A box that shows what the window works out, as wide as longest, its widest text.
QLineEdit* Display(const char* name, const QString& tip, const QString& longest, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(tip);
    box->setReadOnly(true);
    SizeForText(box, longest);
    return box;
}

uint8_t Mask(const std::array<QCheckBox*, 8>& boxes) {
    int mask = 0;
    for (int s = 0; s < 8; ++s)
        if (boxes[s]->isChecked()) mask |= 1 << s;
    return static_cast<uint8_t>(mask);
}

// A row of eight boxes under one frame, one per input, each captioned with its input's
// number so the numbers stand over nothing else.
QGroupBox* ChannelRow(const QString& title, const QString& tip, const char* name, const QString& kind,
                      std::array<QCheckBox*, 8>& boxes, QWidget* parent) {
    auto* frame = new QGroupBox(title, parent);
    frame->setToolTip(tip);
    auto* row = new QHBoxLayout(frame);
    for (int s = 0; s < 8; ++s) {
        boxes[s] = new QCheckBox(QString::number(s + 1), frame);
        boxes[s]->setObjectName(Indexed(name, s));
        boxes[s]->setAccessibleName(kind + QLatin1Char(' ') + QString::number(s + 1));
        row->addWidget(boxes[s]);
    }
    return frame;
}

} // namespace

frmLogger::frmLogger(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmLogger"));
    setWindowTitle(QStringLiteral("Data Logger setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
}

void frmLogger::Run(QWidget* owner) {
    if (instance) {
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = new frmLogger(owner);
    instance->QDialog::show();
    // The user opened it to work in it: its access keys must work at once.
    instance->activateWindow();
}

frmLogger* frmLogger::Instance() { return instance.data(); }

void frmLogger::SetFileClock(std::function<QDateTime()> clock) { fileClock() = std::move(clock); }

void frmLogger::build() {
    header_ = Display("txtHeader", QString(),
                      kSettingsHeader.size() > kTimersHeader.size() ? kSettingsHeader : kTimersHeader, this);
    header_->setText(kSettingsHeader);
    header_->setAccessibleName(QStringLiteral("View"));

    // The two views share one place, so the window keeps its size as they change.
    views_ = new QStackedWidget(this);
    settingsView_ = buildSettings();
    timersView_ = buildTimers();
    views_->addWidget(settingsView_);
    views_->addWidget(timersView_);
    // The sample listing exists for the block replies; the window itself never shows it.
    logs_ = new QListWidget(this);
    logs_->setObjectName(QStringLiteral("lstLogs"));
    logs_->hide();

    rams_ = NamedButton(QStringLiteral("Read &Timers"), "cmdRams", this);
    startLog_ = NamedButton(QStringLiteral("&Start Logger"), "cmdStartLog", this);
    SetBackColour(startLog_, kOffColour);
    getLog_ = NamedButton(QStringLiteral("&Read Log"), "cmdGetlog", this);
    getLog_->setToolTip(QStringLiteral("Download the data log"));
    for (QPushButton* b : {rams_, startLog_, getLog_}) {
        b->setEnabled(false);
        // Enter in a field must not talk to the module: only a deliberate press does.
        b->setAutoDefault(false);
    }
    const OkCancel okCancel = OkCancelButtons(this);
    ok_ = okCancel.ok;
    cancel_ = okCancel.cancel;
    connect(ok_, &QPushButton::clicked, this, &frmLogger::cmdOK_Click);

    warn_ = new QLabel(this);
    warn_->setObjectName(QStringLiteral("lblWarn"));
    warn_->hide();
    flasher_ = new QTimer(this);
    flasher_->setObjectName(QStringLiteral("tmrFlasher"));
    flasher_->setInterval(3000);
    connect(flasher_, &QTimer::timeout, this, &frmLogger::tmrFlasher_Timer);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(rams_);
    buttons->addWidget(startLog_);
    buttons->addWidget(getLog_);
    buttons->addStretch(1);
    buttons->addWidget(okCancel.row);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(header_);
    outer->addWidget(views_);
    outer->addWidget(logs_);
    outer->addWidget(warn_);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(rams_, &QPushButton::clicked, this, &frmLogger::cmdRams_Click);
    connect(startLog_, &QPushButton::clicked, this, &frmLogger::cmdStartLog_Click);
    connect(getLog_, &QPushButton::clicked, this, &frmLogger::cmdGetlog_Click);
}

QWidget* frmLogger::buildSettings() {
    auto* view = new QWidget(this);
    view->setObjectName(QStringLiteral("fraLogger"));

    auto* interval = new QGroupBox(QStringLiteral("Logging Interval"), view);
    interval->setObjectName(QStringLiteral("Frame5"));
    interval->setToolTip(QStringLiteral("Sets the sample and accumulating times for analog and temperature logging"));
    const auto timeFrame = [&](const char* name, const QString& title, BoundedField*& field, const char* upDown,
                               const char* text, const QString& tip, QComboBox*& unit, const char* unitName,
                               const QStringList& units, QLineEdit*& run, const char* runName,
                               const QString& fieldLabel, const QString& unitLabel) {
        auto* frame = new QGroupBox(title, interval);
        frame->setObjectName(QString::fromLatin1(name));
        BoundedField::Limits limits;
        limits.min = LOGGER_INTERVAL_MIN;
        limits.max = LOGGER_INTERVAL_MAX;
        limits.maxLength = 2;
        field = new BoundedField(upDown, text, limits, frame);
        field->SetToolTips(tip);
        unit = NamedList(unitName, units, "Select the basic sampling interval type", frame);
        unit->setAccessibleName(unitLabel);
        run = Display(runName, kRunLengthTip, LongestRunLength(), frame);
        auto* grid = new QGridLayout(frame);
        AddFieldRow(grid, 0, fieldLabel, field);
        grid->addWidget(unit, 0, 2);
        auto* runLabel = BuddyLabel(QStringLiteral("Run length:"), run, frame);
        grid->addWidget(runLabel, 1, 0);
        grid->addWidget(run, 1, 1, 1, 2);
        return frame;
    };
    QGroupBox* sampleFrame = timeFrame("fraSampleTime", QStringLiteral("Sample Time"), sampleInterval_,
                                       "updSampleInterval", "txtSampleInterval", QStringLiteral("Adjust sample rate"),
                                       sampleType_, "cboSampleType",
                                       {QStringLiteral("Seconds"), QStringLiteral("Minutes"), QStringLiteral("Hours")},
                                       sampleRun_, "txtNumOfSamples", QStringLiteral("Sam&ple every:"),
                                       QStringLiteral("Sample time unit"));
    QGroupBox* minMaxFrame = timeFrame(
        "fraMinMaxTime", QStringLiteral("Min/Max Time"), accInterval_, "updAccInterval", "txtAccInterval",
        QStringLiteral("Adjust accumulative interval for min and max calculation"), accumType_, "cboAccumType",
        {QStringLiteral("Minutes"), QStringLiteral("Hours")}, minMaxRun_, "txtNumOfMinMax",
        QStringLiteral("&Min/Max every:"), QStringLiteral("Min/max time unit"));
    auto* intervalRow = new QHBoxLayout(interval);
    intervalRow->addWidget(sampleFrame);
    intervalRow->addWidget(minMaxFrame);

    QGroupBox* contacts = ChannelRow(QStringLiteral("Contact Inputs"),
                                     QStringLiteral("Check an input to enable event on/off logging"),
                                     "chkInputChannels", QStringLiteral("Log contact input"), inputs_, view);
    contacts->setObjectName(QStringLiteral("Frame1"));
    QGroupBox* analogs = ChannelRow(QStringLiteral("Analog Inputs"), QStringLiteral("Check an input to enable logging"),
                                    "chkAnalogChannels", QStringLiteral("Log analog input"), analogs_, view);
    analogs->setObjectName(QStringLiteral("Frame2"));
    QGroupBox* temps = ChannelRow(QStringLiteral("Temperature Inputs"),
                                  QStringLiteral("Check an input to enable logging"), "chkTemperatureChannels",
                                  QStringLiteral("Log temperature input"), temperatures_, view);
    temps->setObjectName(QStringLiteral("Frame3"));

    auto* system = new QGroupBox(QStringLiteral("System"), view);
    system->setObjectName(QStringLiteral("Frame4"));
    autoRun_ = NamedCheckBox(QStringLiteral("Power &up run"), "chkAutoRun", system);
    autoRun_->setToolTip(QStringLiteral("When checked the data logger automatically starts at power up"));
    airtime_ = NamedCheckBox(QStringLiteral("Log &airtime"), "chkLogAirtime", system);
    airtime_->setToolTip(QStringLiteral(
        "Enables the logging ofaccumulated Carrier detection time using an external carrier detect signal"));
    rollOver_ = NamedCheckBox(QStringLiteral("Log r&ollover"), "chkLogRollOver", system);
    rollOver_->setToolTip(
        QStringLiteral("When checked log will wrap around when full. Unchecked, log will fill and stop."));
    auto* systemColumn = new QVBoxLayout(system);
    for (QCheckBox* c : {autoRun_, airtime_, rollOver_}) systemColumn->addWidget(c);

    slider_ = new QSlider(Qt::Vertical, view);
    slider_->setObjectName(QStringLiteral("Slider1"));
    slider_->setRange(0, 100);
    slider_->setToolTip(QStringLiteral("Adjust the ratio of samples versus min max logging"));
    // Samples at the top, as the share boxes read.
    slider_->setInvertedAppearance(true);
    samplesShare_ = Display("txtSamples", QString(), PercentText(100), view);
    minMaxShare_ = Display("txtMinMax", QString(), PercentText(100), view);
    auto* allocation = new QGridLayout;
    QLabel* allocationLabel = BuddyLabel(QStringLiteral("&Buffer Allocation"), slider_, view);
    allocationLabel->setObjectName(QStringLiteral("Label2"));
    allocation->addWidget(allocationLabel, 0, 0, 1, 2);
    allocation->addWidget(slider_, 1, 0, 4, 1);
    allocation->addWidget(BuddyLabel(QStringLiteral("Samples"), samplesShare_, view), 1, 1);
    allocation->addWidget(samplesShare_, 2, 1);
    allocation->addWidget(BuddyLabel(QStringLiteral("MinMax"), minMaxShare_, view), 3, 1);
    allocation->addWidget(minMaxShare_, 4, 1);

    hint_ = new QPlainTextEdit(view);
    hint_->setObjectName(QStringLiteral("txtHintPoller"));
    hint_->setReadOnly(true);
    hint_->setAccessibleName(QStringLiteral("Hint"));
    hint_->setTabChangesFocus(true);
    QStringList hint;
    for (const char* line : kHintLines) hint << QString::fromLatin1(line);
    hint_->setPlainText(hint.join(QLatin1Char('\n')));
    // The lines are broken where they should be; wrapping them again would break them twice.
    hint_->setLineWrapMode(QPlainTextEdit::NoWrap);
    int widest = 0;
    for (const char* line : kHintLines)
        widest = std::max(widest, hint_->fontMetrics().horizontalAdvance(QString::fromLatin1(line)));
    hint_->setMinimumWidth(widest + 2 * int(hint_->document()->documentMargin()) + hint_->frameWidth() * 2 +
                           hint_->verticalScrollBar()->sizeHint().width());
    hint_->setMinimumHeight(hint_->fontMetrics().lineSpacing() * int(std::size(kHintLines)) +
                            2 * int(hint_->document()->documentMargin()) + hint_->frameWidth() * 2 +
                            hint_->horizontalScrollBar()->sizeHint().height());

    auto* channels = new QVBoxLayout;
    channels->addWidget(contacts);
    channels->addWidget(analogs);
    channels->addWidget(temps);
    auto* middle = new QHBoxLayout;
    middle->addLayout(channels, 1);
    middle->addWidget(system);
    middle->addLayout(allocation);
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(interval);
    column->addLayout(middle);
    column->addWidget(hint_);

    for (BoundedField* f : {sampleInterval_, accInterval_})
        connect(f, &BoundedField::valueChanged, this, [this] { RecalcRunLengths(); });
    for (QComboBox* c : {sampleType_, accumType_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { RecalcRunLengths(); });
    for (int s = 0; s < 8; ++s)
        for (QCheckBox* c : {analogs_[s], temperatures_[s]})
            connect(c, &QCheckBox::toggled, this, [this] { RecalcRunLengths(); });
    // Also while loading: the share boxes show the loaded split.
    connect(slider_, &QSlider::valueChanged, this, [this] { ShowSliderSplit(); });
    return view;
}

QWidget* frmLogger::buildTimers() {
    auto* view = new QWidget(this);
    view->setObjectName(QStringLiteral("fraRams"));
    const auto row = [this](QGridLayout* grid, int r, int k, const QString& label, const QString& tip,
                            const QString& what, QWidget* parent) {
        timers_[k] = Display(Indexed("txtRams", k).toLatin1().constData(), tip, LongestRunLength(), parent);
        QLabel* name = BuddyLabel(label, timers_[k], parent);
        name->setObjectName(Indexed("lblRams", k));
        clears_[k] = NamedButton(QStringLiteral("Clear"), Indexed("cmdClear", k).toLatin1().constData(), parent);
        clears_[k]->setToolTip(QStringLiteral("Click to clear time"));
        clears_[k]->setAccessibleName(QStringLiteral("Clear ") + what);
        clears_[k]->setAutoDefault(false);
        grid->addWidget(name, r, 0);
        grid->addWidget(timers_[k], r, 1);
        grid->addWidget(clears_[k], r, 2);
        connect(clears_[k], &QPushButton::clicked, this, [this, k] { cmdClear_Click(k); });
    };
    auto* airGrid = new QGridLayout;
    row(airGrid, 0, 0, QStringLiteral("Air time:"), QStringLiteral("The accumulated airtime in DDDDD:HH:MM:SS format"),
        QStringLiteral("air time"), view);
    auto* contacts = new QGroupBox(QStringLiteral("Contact Inputs"), view);
    contacts->setObjectName(QStringLiteral("fraContactChans"));
    auto* contactGrid = new QGridLayout(contacts);
    for (int k = 1; k <= 8; ++k)
        row(contactGrid, k - 1, k, QStringLiteral("Contact Input %1:").arg(k),
            QStringLiteral("Contact input accumulated time in DDDDD:HH:MM:SS format"),
            QStringLiteral("contact input %1").arg(k), contacts);
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(airGrid);
    column->addWidget(contacts);
    column->addStretch(1);
    return view;
}

void frmLogger::load() {
    loading_ = true;
    settings_ = TakeLoggerSettings(config());
    sampleInterval_->SetValue(settings_.SampleInterval);
    accInterval_->SetValue(settings_.AccInterval);
    // A unit the list has no item for stays as stored until one is chosen.
    SelectListed(sampleType_, settings_.SampleUnit);
    SelectListed(accumType_, settings_.AccUnit);
    airtime_->setChecked(settings_.LogAirtime);
    rollOver_->setChecked(settings_.LogRollOver);
    autoRun_->setChecked(settings_.AutoRun);
    slider_->setValue(settings_.Ratio);
    const uint8_t offered = OfferedTemperatureInputs();
    for (int s = 0; s < 8; ++s) {
        analogs_[s]->setChecked(settings_.Analogs & (1 << s));
        inputs_[s]->setChecked(settings_.Inputs & (1 << s));
        const bool fitted = offered & (1 << s);
        temperatures_[s]->setEnabled(fitted);
        temperatures_[s]->setChecked(fitted && (settings_.Temperatures & (1 << s)));
    }
    loading_ = false;
    ShowSliderSplit();

    if (session().Online == 1) {
        showRunning();
        setStatus(loggerData().LoggerRunning ? QStringLiteral("Logger is running")
                                             : QStringLiteral("Logger is stopped"));
        for (QPushButton* b : {startLog_, getLog_, rams_}) b->setEnabled(true);
        flasher_->start();
    }
}

void frmLogger::takeForm() {
    settings_.SampleInterval = int(sampleInterval_->Value());
    if (sampleType_->currentIndex() >= 0) settings_.SampleUnit = sampleType_->currentIndex();
    settings_.AccInterval = int(accInterval_->Value());
    if (accumType_->currentIndex() >= 0) settings_.AccUnit = accumType_->currentIndex();
    settings_.LogAirtime = airtime_->isChecked();
    settings_.LogRollOver = rollOver_->isChecked();
    settings_.AutoRun = autoRun_->isChecked();
    settings_.Ratio = slider_->value();
    settings_.Inputs = Mask(inputs_);
    settings_.Analogs = Mask(analogs_);
    settings_.Temperatures = Mask(temperatures_);
}

void frmLogger::showSampleTime() {
    loading_ = true;
    sampleInterval_->SetValue(settings_.SampleInterval);
    SelectListed(sampleType_, settings_.SampleUnit);
    loading_ = false;
    RecalcRunLengths();
}

void frmLogger::ShowSliderSplit() {
    samplesShare_->setText(PercentText(100 - slider_->value()));
    minMaxShare_->setText(PercentText(slider_->value()));
    RecalcRunLengths();
}

void frmLogger::RecalcRunLengths() {
    if (loading_) return;
    takeForm();
    const RunLengths r = LoggerRunLengths(settings_);
    capacity_ = r.capacity;
    sampleRun_->setText(FormatRunLength(r.SampleSeconds));
    minMaxRun_->setText(FormatRunLength(r.MinMaxSeconds));
}

void frmLogger::storeLoggerSettings() {
    takeForm();
    PutLoggerSettings(settings_, config());
}

void frmLogger::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    RecalcRunLengths();
    storeLoggerSettings();
    if (!raiseSampleTimeToSleepTime()) accept();
}

bool frmLogger::leftAfterCommand(bool failed) {
    if (closeAfterCommand_) {
        // Closed while the command ran: nothing more to show.
        deleteLater();
        return true;
    }
    if (failed) {
        // The link has said why; a window that lost its module has nothing to offer.
        done(Rejected);
        return true;
    }
    return false;
}

bool frmLogger::raiseSampleTimeToSleepTime() {
    const SleepCheck check = CheckSampleVsSleepTime(settings_, config());
    if (!check.raised) return false;
    // Stored at once, so the configuration already holds the time the window shows.
    PutLoggerSettings(settings_, config());
    WindowMsgBox(this, check.message, vbOKOnly, AppTitle());
    showSampleTime();
    return true;
}

void frmLogger::cmdGetlog_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdGetlog_Click(); })) return;
    const uint8_t sampleTime = static_cast<uint8_t>(SystemValue(config(), SAMPLE_TIME));
    const auto now = [] { return fileClock() ? fileClock()() : QDateTime::currentDateTime(); };
    const LogReadOutcome outcome =
        WhileBusy(this, busy_, [&] { return ReadLoggerLogs(DataFolderPath(), sampleTime, now); });
    if (closeAfterCommand_) {
        // The read went on without its window: what came of it is not lost with it.
        const QString report = LogReadReport(outcome, ReportTo::MainWindow);
        if (frmMain* main = MainForm())
            main->ReportOutcome(report, vbOKOnly + LogReadReportIcon(outcome));
        else
            MsgBox(report, vbOKOnly + LogReadReportIcon(outcome), AppTitle());
    }
    if (leftAfterCommand(false)) return;
    const QString report = LogReadReport(outcome);
    switch (outcome.result) {
    case LogReadOutcome::Empty: WindowMsgBox(this, report, vbOKOnly + vbInformation, AppTitle()); break;
    case LogReadOutcome::Done:
        if (!report.isEmpty()) WindowMsgBox(this, report, vbOKOnly + LogReadReportIcon(outcome), AppTitle());
        break;
    case LogReadOutcome::Failed:
    case LogReadOutcome::Cancelled:
        WindowMsgBox(this, report, vbOKOnly + vbExclamation, AppTitle());
        done(Rejected);
        break;
    }
}

void frmLogger::cmdRams_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdRams_Click(); })) return;
    if (views_->currentWidget() == timersView_) {
        views_->setCurrentWidget(settingsView_);
        header_->setText(kSettingsHeader);
        rams_->setText(QStringLiteral("Read &Timers"));
        return;
    }
    views_->setCurrentWidget(timersView_);
    header_->setText(kTimersHeader);
    rams_->setText(QStringLiteral("Show &Config"));
    const LoggerStep step = WhileBusy(this, busy_, [] { return ReadLoggerTimers(); });
    if (!leftAfterCommand(step != LoggerStep::Done)) ShowRams();
}

void frmLogger::ShowRams() {
    for (int k = 0; k < 9; ++k) timers_[k]->setText(FormatRunLength(loggerData().LoggerTimers[k]));
}

void frmLogger::cmdClear_Click(int index) {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this, index] { cmdClear_Click(index); })) return;
    if (WindowMsgBox(this, QStringLiteral("Clear timer, are you sure?"), vbYesNo + vbQuestion,
                     QStringLiteral("Clear timer")) != vbYes)
        return;
    const LoggerStep step = WhileBusy(this, busy_, [index] { return ClearLoggerTimer(index); });
    // The others as just read back, so the window shows what the module now holds.
    if (!leftAfterCommand(step != LoggerStep::Done)) ShowRams();
}

void frmLogger::cmdStartLog_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdStartLog_Click(); })) return;
    storeLoggerSettings();
    const auto status = [this](const QString& text) { setStatus(text); };
    LoggerStep step = LoggerStep::Done;
    if (loggerData().LoggerRunning) {
        if (WindowMsgBox(this, QStringLiteral("Are you sure you want to stop the data logger?"),
                         vbYesNo + vbQuestion, QStringLiteral("Stopping data logger...")) != vbYes) {
            warn_->hide();
            return;
        }
        step = WhileBusy(this, busy_, [&] { return StopLogger(status); });
    } else {
        if (settings_.Inputs == 0 && settings_.Analogs == 0 && settings_.Temperatures == 0) {
            WindowMsgBox(this, QStringLiteral("No inputs have been enabled for logging - cannot start"), vbOKOnly,
                         AppTitle());
            warn_->hide();
            return;
        }
        if (raiseSampleTimeToSleepTime()) return;
        // Starting reformats the whole logger memory, whatever the split: both logs go.
        const QString clears =
            QStringLiteral("Starting the data logger will clear the sample and min/max buffers. Continue?");
        if (WindowMsgBox(this, clears, vbYesNo + vbQuestion, AppTitle()) != vbYes) {
            warn_->hide();
            return;
        }
        step = WhileBusy(this, busy_, [&] { return StartLogger(status); });
    }
    if (leftAfterCommand(step != LoggerStep::Done)) return;
    showRunning();
    warn_->hide();
}

void frmLogger::showRunning() {
    const bool running = loggerData().LoggerRunning;
    startLog_->setText(running ? QStringLiteral("&Stop Logger") : QStringLiteral("&Start Logger"));
    SetBackColour(startLog_, running ? kActiveColour : kOffColour);
}

void frmLogger::setStatus(const QString& text) {
    warn_->setText(text);
    warn_->show();
}

void frmLogger::tmrFlasher_Timer() {
    warn_->hide();
    flasher_->stop();
}

void frmLogger::ShowSampleLog(const QByteArray& RxBuffer) {
    const RxFrame f(RxBuffer);
    const int length = f.Length();
    if (length < 9) return;
    const int n = int(std::nearbyint((length - 9) / 4.0));
    SampleClock clock(loggerData().LoggerStartTime, static_cast<uint8_t>(SystemValue(config(), SAMPLE_TIME)));
    for (int i = 0; i < n && 12 + 4 * i < length; ++i) {
        SampleRecord r;
        for (int b = 0; b < 4; ++b) r.Bytes[b] = f[9 + 4 * i + b];
        logs_->addItem(SampleListLine(r, clock.Apply(r.Serial())));
    }
}

void frmLogger::done(int result) {
    flasher_->stop();
    QDialog::done(result);
    if (instance == this) instance.clear();
    if (busy_) {
        // The command still runs on this window's stack: the window goes once it returns.
        closeAfterCommand_ = true;
        return;
    }
    deleteLater();
}

} // namespace korvel

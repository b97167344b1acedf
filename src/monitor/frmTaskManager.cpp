#include "monitor/frmTaskManager.h"
#include "link/linkhold.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "model/target.h"
#include "link/linkstate.h"
#include "monitor/frmPollerTask.h"
#include "control/configfiles.h"
#include "model/taskfile.h"
#include "platform/prompts.h"
#include "control/session.h"
#include "control/taskblockio.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <iterator>
#include <vector>

namespace korvel {

namespace {

QPointer<frmTaskManager> instance;

const QString kHint = QStringLiteral(
    "The poller is a task that runs on a MASTER module only. A maximum of 32 stations\r\n"
    "may be specified in the station list. The poller task runs at start up time and at a\r\n"
    "user defined interval. Each station may be assigned an output as the target of the \r\n"
    "poll. When the station responds the output is driven low to indicate that the station\r\n"
    "is available. If a station does not respond the output is left open or high. \r\n");

const QString kMaximumAllocated =
    QStringLiteral("The maximum number of stations for the Poller task has now been allocated");

struct PeriodField {
    const char* upDown;
    const char* text;
    const char* option;
    const char* unit;
    long max;
};
// In the order of the poller's interval.
constexpr PeriodField kPeriodFields[4] = {
    {"updSeconds", "txtSeconds", "optSeconds", "&Seconds", 59},
    {"updMinutes", "txtMinutes", "optMinutes", "M&inutes", TASK_MAX_MINUTES},
    {"updHours", "txtHours", "optHours", "&Hours", 23},
    {"updDays", "txtDays", "optDays", "&Days", 31},
};

} // namespace

frmTaskManager::frmTaskManager(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmTaskManager"));
    setWindowTitle(QStringLiteral("Task Setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
    stations_->setFocus();
}

void frmTaskManager::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

void frmTaskManager::build() {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("TabStrip1"));
    auto* panel = new QWidget(tabs_);
    panel->setObjectName(QStringLiteral("fraName0"));
    tabs_->addTab(panel, QStringLiteral("Poller"));
    tabs_->setTabToolTip(0, QStringLiteral("Setup station polling"));

    auto* hint = new QPlainTextEdit(kHint, panel);
    hint->setObjectName(QStringLiteral("txtHintPoller"));
    hint->setReadOnly(true);
    hint->setAccessibleName(QStringLiteral("Poller task"));
    hint->setLineWrapMode(QPlainTextEdit::NoWrap);
    hint->setFocusPolicy(Qt::NoFocus);
    hint->setFixedHeight(hint->fontMetrics().lineSpacing() * 6 + 12);
    hint->setMinimumWidth(hint->fontMetrics().horizontalAdvance(kHint.section(QStringLiteral("\r\n"), 0, 0)) + 30);

    auto* columns = new QHBoxLayout;
    columns->addWidget(buildAction(), 1);
    columns->addWidget(buildSchedule());
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(hint);
    panelLayout->addLayout(columns);

    load_ = NamedButton(QStringLiteral("&Load Task"), "cmdLoadTask", this);
    save_ = NamedButton(QStringLiteral("Sa&ve Task"), "cmdSaveTask", this);
    start_ = NamedButton(QStringLiteral("S&tart Task"), "cmdStartTask", this);
    stop_ = NamedButton(QStringLiteral("Sto&p Tasks"), "cmdStopTasks", this);
    exit_ = NamedButton(QStringLiteral("E&xit"), "cmdCancel", this);
    load_->setToolTip(QStringLiteral("Load a saved Poller TASK file"));
    save_->setToolTip(QStringLiteral("Saves this task to either file or to Korvel"));
    start_->setToolTip(QStringLiteral("Starts this task"));
    stop_->setToolTip(QStringLiteral("Stops all running tasks"));
    exit_->setToolTip(QStringLiteral("Exit Task Setup"));
    // The module's tasks cannot be stopped from here; the button is shown, as the
    // technician knows it, but offers nothing.
    stop_->setEnabled(false);
    LeaveUnchecked(exit_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {load_, save_, start_, stop_, exit_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(tabs_);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    std::vector<QWidget*> order = {stations_, outputChooser_, list_};
    for (int i = 0; i < 4; ++i) order.insert(order.end(), {periodOptions_[i], period_[i]});
    order.insert(order.end(), {manualOption_, manual_, load_, save_, start_, exit_});
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(stations_, &QComboBox::activated, this, &frmTaskManager::cboStations_Click);
    connect(outputChooser_, &QComboBox::activated, this, &frmTaskManager::cboTAChannel_Click);
    connect(list_, &QListWidget::itemActivated, this, &frmTaskManager::lstCurrent_DblClick);
    connect(load_, &QPushButton::clicked, this, &frmTaskManager::cmdLoadTask_Click);
    connect(save_, &QPushButton::clicked, this, &frmTaskManager::cmdSaveTask_Click);
    connect(start_, &QPushButton::clicked, this, &frmTaskManager::cmdStartTask_Click);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(options_, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton* b) { choosePeriodOption(static_cast<QRadioButton*>(b)); });
}

QWidget* frmTaskManager::buildAction() {
    auto* frame = new QGroupBox(QStringLiteral("Task Action"), this);
    frame->setObjectName(QStringLiteral("fraAction"));
    auto* grid = new QGridLayout(frame);

    QStringList stationItems;
    for (int s = 1; s <= TASK_LAST_CHOOSABLE_STATION; ++s) stationItems << QString::number(s);
    stations_ = NamedList("cboStations", stationItems, nullptr, frame);
    QStringList outputItems{QStringLiteral("NONE")};
    for (int o = 1; o <= TASK_MAX_OUTPUT; ++o) outputItems << QString::number(o);
    outputChooser_ = NamedList("cboTAChannel", outputItems, nullptr, frame);
    list_ = new QListWidget(frame);
    list_->setObjectName(QStringLiteral("lstCurrent"));
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    list_->setFont(fixed);
    list_->setMinimumHeight(list_->fontMetrics().lineSpacing() * 10);
    meterChannel_ = new QLabel(QStringLiteral("Meter Channel"), frame);
    meterChannel_->setObjectName(QStringLiteral("lblMeterChannel"));

    AddFieldRow(grid, 0, QStringLiteral("St&ation"), stations_);
    AddFieldRow(grid, 1, QStringLiteral("&Output"), outputChooser_);
    grid->addWidget(meterChannel_, 2, 1);
    auto* listLabel = BuddyLabel(QStringLiteral("Statio&n List"), list_, frame);
    grid->addWidget(listLabel, 3, 0, 1, 2);
    grid->addWidget(list_, 4, 0, 1, 2);
    return frame;
}

QWidget* frmTaskManager::buildSchedule() {
    auto* frame = new QGroupBox(QStringLiteral("Task Schedule"), this);
    frame->setObjectName(QStringLiteral("fraSchedule"));
    auto* grid = new QGridLayout(frame);
    options_ = new QButtonGroup(frame);
    for (int i = 0; i < 4; ++i) {
        const PeriodField& f = kPeriodFields[i];
        periodOptions_[i] = new QRadioButton(QStringLiteral("Every"), frame);
        periodOptions_[i]->setObjectName(QString::fromLatin1(f.option));
        const QString unit = QString::fromLatin1(f.unit).remove(u'&');
        periodOptions_[i]->setAccessibleName(QStringLiteral("Every (") + unit + u')');
        options_->addButton(periodOptions_[i]);
        period_[i] = new BoundedField(f.upDown, f.text, {0, f.max, 1, 3, BoundedField::EmptyReset::ToZero, 1, true},
                                      frame);
        grid->addWidget(periodOptions_[i], i, 0);
        grid->addWidget(period_[i], i, 1);
        grid->addWidget(BuddyLabel(QString::fromLatin1(f.unit), period_[i], frame), i, 2);
    }
    manualOption_ = new QRadioButton(QStringLiteral("&Manual"), frame);
    manualOption_->setObjectName(QStringLiteral("optManual"));
    options_->addButton(manualOption_);
    QStringList manualItems{QStringLiteral("NONE")};
    const int inputs = 8 * (target().ChildCount + 1);
    for (int n = 1; n <= inputs; ++n) manualItems << QString::number(n);
    manual_ = NamedList("cboManual", manualItems, "Enter the input channel that will be used to initiate the poll",
                        frame);
    grid->addWidget(manualOption_, 4, 0);
    grid->addWidget(manual_, 4, 1);
    grid->addWidget(BuddyLabel(QStringLiteral("Input &Chan"), manual_, frame), 4, 2);
    grid->setRowStretch(5, 1);
    return frame;
}

void frmTaskManager::load() {
    stations_->setCurrentIndex(0);
    outputChooser_->setCurrentIndex(0);
    manual_->setCurrentIndex(0);
    meterChannel_->hide();
    for (BoundedField* f : period_) f->SetValue(0);
    periodOptions_[POLL_MINUTES]->setChecked(true);
    choosePeriodOption(periodOptions_[POLL_MINUTES]);
    // Only what the user (or a load) changes afterwards makes the task an edited one.
    for (BoundedField* f : period_) connect(f, &BoundedField::valueChanged, this, [this] { edited_ = true; });
    connect(manual_, &QComboBox::currentIndexChanged, this, [this] { edited_ = true; });
}

void frmTaskManager::choosePeriodOption(QRadioButton* chosen) {
    for (int i = 0; i < 4; ++i) period_[i]->setEnabled(periodOptions_[i] == chosen);
    manual_->setEnabled(chosen == manualOption_);
}

int frmTaskManager::entryRow(int station) const {
    for (int row = 0; row < list_->count(); ++row)
        if (list_->item(row)->data(Qt::UserRole).toInt() == station) return row;
    return -1;
}

void frmTaskManager::appendEntry(int station) {
    auto* item = new QListWidgetItem(StationEntryText(station, outputs_[station - 1]));
    item->setData(Qt::UserRole, station);
    list_->addItem(item);
}

void frmTaskManager::rebuildList() {
    list_->clear();
    for (int station = 1; station <= TASK_STATIONS; ++station)
        if (outputs_[station - 1] != 0) appendEntry(station);
}

void frmTaskManager::showEntry(int row) {
    QListWidgetItem* item = list_->item(row);
    if (!item) return;
    const int station = item->data(Qt::UserRole).toInt();
    // Station 255 comes only from a module or a file; the chooser cannot show it, so
    // the choosers stay as they are rather than show another station's output.
    if (station > TASK_LAST_CHOOSABLE_STATION) return;
    stations_->setCurrentIndex(station - 1);
    outputChooser_->setCurrentIndex(outputs_[station - 1]);
}

void frmTaskManager::showLoadedTask() {
    rebuildList();
    if (list_->count() == 0) return;
    list_->setCurrentRow(0);
    showEntry(0);
}

void frmTaskManager::cboStations_Click() {
    const int station = stations_->currentIndex() + 1;
    if (station < 1) return;
    outputChooser_->setCurrentIndex(outputs_[station - 1]);
}

void frmTaskManager::cboTAChannel_Click() {
    const int station = stations_->currentIndex() + 1;
    const int output = outputChooser_->currentIndex();
    if (station < 1 || output < 0) return;
    int16_t& assigned = outputs_[station - 1];
    // The task block carries 32 stations: a further one would never reach the module.
    if (output != 0 && assigned == 0 && TaskStationCount(outputs_) >= TASK_BLOCK_ENTRIES) {
        outputChooser_->setCurrentIndex(0);
        MsgBox(kMaximumAllocated, vbOKOnly);
        return;
    }
    if (assigned != output) {
        assigned = int16_t(output);
        const int row = entryRow(station);
        if (row >= 0) delete list_->takeItem(row);
        if (output != 0) appendEntry(station);
    }
    // Said after every choice that leaves the list full, one that changed nothing too.
    if (TaskStationCount(outputs_) == TASK_BLOCK_ENTRIES) MsgBox(kMaximumAllocated, vbOKOnly);
}

void frmTaskManager::lstCurrent_DblClick() {
    if (list_->currentRow() < 0) return;
    showEntry(list_->currentRow());
}

void frmTaskManager::cmdLoadTask_Click() {
    if (!CheckFocusedField(this)) return;
    if (session().Online == 0) {
        loadFromFile();
        return;
    }
    const int answer = MsgBox(QStringLiteral("Load Task from module or from file?") + kLineBreak +
                                  QStringLiteral("(Yes will load from module. No will prompt for filename)"),
                              vbYesNo + vbQuestion);
    if (answer == vbYes) loadFromModule();
    else if (answer == vbNo) loadFromFile();
}

void frmTaskManager::loadFromModule() {
    // A failed request has been reported by the link layer; the dialog closes.
    if (WhileBusy(this, busy_, [] { return RequestTaskBlock(); }) != SEND_OK) {
        reject();
        return;
    }
    const QString problem = TaskBlockProblem();
    if (!problem.isEmpty()) {
        MsgBox(problem, vbOKOnly + vbExclamation);
        return;
    }
    UnpackTaskStations(outputs_);
    period_[POLL_MINUTES]->SetValue(taskState().TaskTable[0][TASK_PERIOD_MINUTES]);
    showLoadedTask();
}

void frmTaskManager::loadFromFile() {
    const TaskFileOpened opened = OpenTaskFile();
    if (opened.outcome != TaskFileOpened::Outcome::Read) return;
    if (opened.minutes) period_[POLL_MINUTES]->SetValue(*opened.minutes);
    outputs_ = opened.outputs;
    showLoadedTask();
}

void frmTaskManager::cmdSaveTask_Click() {
    if (!CheckFocusedField(this)) return;
    const int minutes = int(period_[POLL_MINUTES]->Value());
    if (session().Online == 0) {
        SaveTaskFileAs(minutes, outputs_);
        return;
    }
    const int answer = MsgBox(QStringLiteral("Save Task to module or to file?") + kLineBreak +
                                  QStringLiteral("(Yes will save to module. No will prompt for filename)"),
                              vbYesNo + vbQuestion);
    if (answer == vbNo) {
        SaveTaskFileAs(minutes, outputs_);
        return;
    }
    if (answer != vbYes) return;
    PackTaskStations(outputs_, minutes);
    // A refused or lost write has been reported by the link layer; the dialog closes.
    if (WhileBusy(this, busy_, [] { return UpLoadTaskBlock(); }) != SEND_OK) reject();
}

void frmTaskManager::cmdStartTask_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdStartTask_Click(); })) return;
    if (!CheckFocusedField(this)) return;
    if (edited_) {
        const int answer = MsgBox(QStringLiteral("The task was edited. Save the current task before running?"),
                                  vbYesNoCancel);
        if (answer != vbYes && answer != vbNo) return;
        if (answer == vbYes && SaveTaskFileAs(int(period_[POLL_MINUTES]->Value()), outputs_) != vbYes) return;
    }
    for (int i = 0; i < 4; ++i) taskState().PollerInterval[i] = int16_t(period_[i]->Value());
    // The poller belongs to the main window, so that it runs on after this dialog closes.
    frmPollerTask::Start(parentWidget());
}

void frmTaskManager::done(int result) {
    if (busy_) return;
    QDialog::done(result);
}

} // namespace korvel

#include "monitor/frmStatus.h"
#include "link/linkhold.h"

#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/statecolours.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/prompts.h"
#include "control/localsettings.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmStatus> instance;

constexpr int kPacketSendMs = 100;
constexpr int kRefreshMs = 1000;

void SetToolTipIfChanged(QWidget* w, const QString& tip) {
    if (w->toolTip() != tip) w->setToolTip(tip);
}

} // namespace

MeterLabel::MeterLabel(QWidget* parent) : QLabel(parent) {}

void MeterLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && clicked) clicked();
    QLabel::mousePressEvent(event);
}

void MeterLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not passed on: the base would take the second click for one more press.
    if (event->button() == Qt::LeftButton && doubleClicked) doubleClicked();
    event->accept();
}

void MeterLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (clicked) clicked();
        event->accept();
        return;
    default: QLabel::keyPressEvent(event);
    }
}

frmStatus::frmStatus(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmStatus"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(QStringLiteral("Current Status"));
    build();

    packetSend_ = new QTimer(this);
    packetSend_->setObjectName(QStringLiteral("tmrPacketSend"));
    packetSend_->setInterval(kPacketSendMs);
    connect(packetSend_, &QTimer::timeout, this, &frmStatus::tmrPacketSend_Timer);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setObjectName(QStringLiteral("tmrRefresh"));
    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, &frmStatus::tmrRefresh_Timer);
    // Automatic refresh is the mode the window opens in; the polls start once the
    // module has answered the opening request.
    refreshTimer_->start();
}

void frmStatus::Run(QWidget* owner) {
    // The modal loop returns only once every handler of the window (a poll waiting for
    // the module included) has returned, so nothing of it is still running when the
    // instance is released.
    RunSingleInstance(instance, [owner] {
        auto* window = new frmStatus(owner);
        QTimer::singleShot(0, window, &frmStatus::Form_Activate);
        return window;
    });
}

QLineEdit* frmStatus::txtGroup() const { return group_->findChild<QLineEdit*>(); }

void frmStatus::build() {
    auto* meters = new QGridLayout;
    QFont meterFont(QStringLiteral("Arial"));
    meterFont.setPointSize(12);
    meterFont.setBold(true);
    for (int i = 0; i < kMeters; ++i) {
        auto* meter = new MeterLabel(this);
        meter->setObjectName(Indexed("lblMeter", i));
        meter->setFont(meterFont);
        meter->setAlignment(Qt::AlignCenter);
        meter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        meter->setAutoFillBackground(true);
        meter->setMinimumSize(QFontMetrics(meterFont).horizontalAdvance(QStringLiteral("-000.00VAC")) + 8,
                              QFontMetrics(meterFont).height() * 2);
        // Focusable while the tab order is set; only an output's meter keeps the focus.
        meter->setFocusPolicy(Qt::StrongFocus);
        meter->clicked = [this, i] { lblMeter_Click(i); };
        meter->doubleClicked = [this, i] { lblMeter_DblClick(i); };
        meters_[size_t(i)] = meter;

        auto* caption = new QLabel(QStringLiteral("CH %1").arg(i + 1), this);
        caption->setObjectName(Indexed("MeterCaption", i));
        caption->setAlignment(Qt::AlignCenter);
        caption->setBuddy(meter);
        captions_[size_t(i)] = caption;

        auto* range = new QLabel(QStringLiteral("RANGE:25.6V"), this);
        range->setObjectName(Indexed("lblRange", i));
        range->setAlignment(Qt::AlignCenter);
        range->setToolTip(QStringLiteral("Analog range"));
        range->setVisible(false);
        ranges_[size_t(i)] = range;

        meters->addWidget(caption, 0, i);
        meters->addWidget(meter, 1, i);
        meters->addWidget(range, 2, i);
    }
    // The range row keeps its height while hidden, so the window does not jump.
    meters->setRowMinimumHeight(2, ranges_[0]->sizeHint().height());

    group_ = new QSpinBox(this);
    group_->setObjectName(QStringLiteral("updGroup"));
    group_->setRange(0, 0);
    const QString groupTip = QStringLiteral("Move to to next child group (if present)");
    group_->setToolTip(groupTip);
    txtGroup()->setObjectName(QStringLiteral("txtGroup"));
    txtGroup()->setToolTip(groupTip);
    groupLabel_ = BuddyLabel(QStringLiteral("&Expansion"), group_, this);
    groupLabel_->setObjectName(QStringLiteral("LabelGroup"));
    group_->setVisible(false);
    groupLabel_->setVisible(false);
    connect(group_, &QSpinBox::valueChanged, this, &frmStatus::updGroup_Change);

    struct ViewButton {
        const char* text;
        const char* name;
        const char* tip;
    };
    const ViewButton views[] = {
        {"&Contact Inputs", "cmdViewInputs", "Display Inputs"},
        {"&Outputs", "cmdViewOutputs", "Display Outputs"},
        {"&Analogs", "cmdViewAnalogs", "Display Analogs"},
        {"&Temperatures", "cmdViewTemperatures", nullptr},
    };
    for (size_t v = 0; v < viewButtons_.size(); ++v) {
        QPushButton* b = NamedButton(QString::fromLatin1(views[v].text), views[v].name, this);
        if (views[v].tip) b->setToolTip(QString::fromLatin1(views[v].tip));
        viewButtons_[v] = b;
    }
    connect(cmdViewInputs(), &QPushButton::clicked, this, &frmStatus::cmdViewInputs_Click);
    connect(cmdViewOutputs(), &QPushButton::clicked, this, &frmStatus::cmdViewOutputs_Click);
    connect(cmdViewAnalogs(), &QPushButton::clicked, this, &frmStatus::cmdViewAnalogs_Click);
    connect(cmdViewTemperatures(), &QPushButton::clicked, this, &frmStatus::cmdViewTemperatures_Click);

    refresh_ = NamedButton(QStringLiteral("&Manual"), "cmdRefresh", this);
    refresh_->setToolTip(QStringLiteral("Manual refresh of meters"));
    autoRefresh_ = NamedButton(QStringLiteral("A&uto"), "cmdAutoRefresh", this);
    autoRefresh_->setToolTip(AutoRefreshToolTip(false));
    cancel_ = NamedButton(QStringLiteral("E&xit"), "cmdCancel", this);
    LeaveUnchecked(cancel_);
    connect(refresh_, &QPushButton::clicked, this, &frmStatus::cmdRefresh_Click);
    connect(autoRefresh_, &QPushButton::clicked, this, &frmStatus::cmdAutoRefresh_Click);
    connect(cancel_, &QPushButton::clicked, this, &frmStatus::cmdCancel_Click);
    // Enter on a meter or a button acts on it alone; no button is the dialog's default.
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);

    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(groupLabel_);
    groupRow->addWidget(group_);
    groupRow->addStretch(1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : viewButtons_) buttons->addWidget(b);
    buttons->addSpacing(16);
    buttons->addWidget(refresh_);
    buttons->addWidget(autoRefresh_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(meters);
    outer->addLayout(groupRow);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    QList<QWidget*> order(viewButtons_.begin(), viewButtons_.end());
    order << group_;
    for (MeterLabel* m : meters_) order << m;
    order << refresh_ << autoRefresh_ << cancel_;
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    for (MeterLabel* m : meters_) m->setFocusPolicy(Qt::NoFocus);
}

// ---- Opening and closing -------------------------------------------------------------

void frmStatus::Form_Activate() {
    if (activated_ || closing_) return;
    activated_ = true;
    if (!StatusMonitorAllowed()) {
        MsgBox(RemoteStationRefusalText());
        cmdCancel_Click();
        return;
    }
    if (SlowRefresh()) {
        refreshCountdown_ = FLEETSYNC_REFRESH_TICKS;
        autoRefresh_->setToolTip(AutoRefreshToolTip(true));
    }
    DisableControls();
    view_ = StatusView::ContactInputs;
    SetupGroupControl();
    setWindowTitle(StatusCaption(view_));

    const int16_t result = OnLine(&SendStatusOpeningRequest);
    if (closing_) return;
    if (result != SEND_OK) {
        cmdCancel_Click();
        return;
    }
    SetBackColour(cmdViewAnalogs(), ButtonFace());
    SetBackColour(cmdViewOutputs(), ButtonFace());
    SetBackColour(cmdViewInputs(), kActiveColour);
    SetBackColour(refresh_, kActiveColour);
    SetBackColour(autoRefresh_, ButtonFace());
    EnableControls();
    // The first reading comes with the first refresh tick.
    packetSend_->start();
}

void frmStatus::cmdCancel_Click() { reject(); }

void frmStatus::reject() {
    if (closing_) return;
    closing_ = true;
    refreshTimer_->stop();
    packetSend_->stop();
    pendingRequest_ = StatusRequest::None;
    outputChangePending_ = false;
    // A request of ours still waiting for the module is given up; the cancel goes with
    // that request, so the next command of the program is not refused.
    if (onLine_) AbandonTransaction();
    QDialog::reject();
}

int16_t frmStatus::OnLine(const std::function<int16_t()>& send) {
    onLine_ = true;
    const int16_t result = send();
    onLine_ = false;
    return result;
}

// ---- Buttons --------------------------------------------------------------------------

void frmStatus::DisableControls() {
    busy_ = true;
    if (!refreshTimer_->isActive()) return;
    SetBackColour(autoRefresh_, kBusyColour);
    refresh_->setEnabled(false);
    autoRefresh_->setEnabled(false);
    for (QPushButton* b : viewButtons_) b->setEnabled(false);
}

void frmStatus::EnableControls() {
    busy_ = false;
    if (!refreshTimer_->isActive()) return;
    SetBackColour(autoRefresh_, kActiveColour);
    refresh_->setEnabled(true);
    autoRefresh_->setEnabled(true);
    for (QPushButton* b : viewButtons_) b->setEnabled(true);
}

void frmStatus::SelectView(StatusView view) {
    if (busy_) return;
    view_ = view;
    SetupGroupControl();
    SelectViewRequest();
}

void frmStatus::SelectViewRequest() {
    // A queued output change that a reading replaces is dropped, and with it the hold
    // it puts on the automatic refresh.
    if (pendingRequest_ == StatusRequest::ChangeOutput) outputChangePending_ = false;
    pendingRequest_ = ViewRequest(view_);
}

void frmStatus::cmdRefresh_Click() {
    if (busy_) return;
    refreshTimer_->stop();
    SetBackColour(refresh_, kActiveColour);
    SetBackColour(autoRefresh_, ButtonFace());
    SelectViewRequest();
}

void frmStatus::cmdAutoRefresh_Click() {
    if (busy_) return;
    SetBackColour(refresh_, ButtonFace());
    SetBackColour(autoRefresh_, kActiveColour);
    SelectViewRequest();
    refreshTimer_->start();
    refreshCountdown_ = FLEETSYNC_REFRESH_TICKS;
}

// ---- Group selector -------------------------------------------------------------------

void frmStatus::SetupGroupControl() {
    {
        const QSignalBlocker quiet(group_);
        group_->setValue(0);
        group_->setMaximum(GroupSelectorMaximum(view_));
    }
    const bool shown = GroupSelectorShown(view_);
    group_->setVisible(shown);
    groupLabel_->setVisible(shown);
    ShowChannelCaptions(0);
}

void frmStatus::ShowChannelCaptions(int group) {
    for (int k = 0; k < kMeters; ++k) captions_[size_t(k)]->setText(QStringLiteral("CH %1").arg(group * SLOTS + k + 1));
}

void frmStatus::updGroup_Change() {
    ShowChannelCaptions(GetSelectedGroup(view_, group_->value()));
    SelectViewRequest();
}

// ---- Outputs ---------------------------------------------------------------------------

void frmStatus::lblMeter_Click(int i) {
    if (view_ != StatusView::Outputs) return;
    outputChangePending_ = true;
    outputIndex_ = i;
    pendingRequest_ = StatusRequest::ChangeOutput;
}

void frmStatus::lblMeter_DblClick(int i) {
    if (view_ != StatusView::Outputs) return;
    outputIndex_ = i;
    pendingRequest_ = StatusRequest::ChangeOutput;
}

// ---- Polling ---------------------------------------------------------------------------

void frmStatus::tmrRefresh_Timer() {
    if (closing_ || outputChangePending_) return;
    if (SlowRefresh()) {
        if (--refreshCountdown_ > 0) return;
        refreshCountdown_ = FLEETSYNC_REFRESH_TICKS;
    }
    SelectViewRequest();
}

void frmStatus::tmrPacketSend_Timer() {
    // One request at a time: a tick that comes while one waits for the module, or while
    // another job has the link, does nothing; the request goes on a later tick.
    if (closing_ || inTick_ || LinkBusy()) return;
    const StatusRequest s = pendingRequest_;
    if (s == StatusRequest::None) return;
    inTick_ = true;
    const bool ok = s == StatusRequest::ChangeOutput ? ChangeOutput() : ReadStatus(s);
    inTick_ = false;
    if (closing_) return;
    // The link layer has told the user already; a window that cannot reach the module
    // closes rather than asking again every 100 ms.
    if (!ok) {
        cmdCancel_Click();
        return;
    }
    // A request queued while this one waited for the module survives.
    if (pendingRequest_ == s) pendingRequest_ = StatusRequest::None;
}

bool frmStatus::ReadStatus(StatusRequest request) {
    StatusView view = StatusView::ContactInputs;
    switch (request) {
    case StatusRequest::Analog: view = StatusView::Analogs; break;
    case StatusRequest::Temperature: view = StatusView::Temperatures; break;
    case StatusRequest::Outputs: view = StatusView::Outputs; break;
    default: break;
    }
    // The selector counts the boards fitted; the request names the board itself.
    const int group = GetSelectedGroup(view, group_->value());
    const int16_t result = OnLine([request, group] { return SendStatusRequest(request, group); });
    if (closing_) return true;
    if (result != SEND_OK) return false;
    setWindowTitle(StatusCaption(view));
    switch (view) {
    case StatusView::ContactInputs: ShowContactInputs(); break;
    case StatusView::Outputs: ShowOutputs(); break;
    // The meters show the group that was asked for, whatever the selector says by now.
    case StatusView::Analogs: ShowAnalogInputs(group); break;
    case StatusView::Temperatures: ShowTemperatures(); break;
    }
    return true;
}

bool frmStatus::ChangeOutput() {
    const int index = outputIndex_;
    const bool on = meters_[size_t(index)]->text() != kMeterOn;
    const int data = OutputSwitchData(GetSelectedGroup(StatusView::Outputs, group_->value()), index, on);
    const int16_t result = OnLine([data] { return SendSetLogicalOutput(data); });
    if (closing_) return true;
    if (result != SEND_OK) return false;
    if (view_ == StatusView::Outputs) SetMeter(index, on ? kMeterOn : kMeterOff, on ? &kOnColour : &kOffColour);
    outputChangePending_ = false;
    return true;
}

// ---- Painting ---------------------------------------------------------------------------

void frmStatus::MarkView(StatusView view) {
    for (size_t v = 0; v < viewButtons_.size(); ++v)
        SetBackColour(viewButtons_[v], int(v) == int(view) ? kActiveColour : ButtonFace());
}

void frmStatus::SetMeter(int i, const QString& text, const QColor* colour) {
    MeterLabel* m = meters_[size_t(i)];
    if (m->text() != text) m->setText(text);
    if (colour) SetBackColour(m, *colour);
}

void frmStatus::ShowBits(bool outputs) {
    MarkView(outputs ? StatusView::Outputs : StatusView::ContactInputs);
    const uint8_t bits = target().StatusBits;
    for (int i = 0; i < kMeters; ++i) {
        const bool on = bits & (1 << i);
        SetMeter(i, on ? kMeterOn : kMeterOff, on ? &kOnColour : &kOffColour);
        ranges_[size_t(i)]->setVisible(false);
        MeterLabel* m = meters_[size_t(i)];
        SetToolTipIfChanged(m, outputs ? QStringLiteral("Click to change output state") : QString());
        m->setFocusPolicy(outputs ? Qt::StrongFocus : Qt::NoFocus);
    }
}

void frmStatus::ShowContactInputs() { ShowBits(false); }

void frmStatus::ShowOutputs() { ShowBits(true); }

void frmStatus::ShowTemperatures() {
    MarkView(StatusView::Temperatures);
    const bool degreesF = settings().DegreesF;
    for (int i = 0; i < kMeters; ++i) {
        const int16_t reading = target().TempReadings[i];
        // A channel without a reading keeps the colour it had.
        SetMeter(i, TemperatureMeterText(reading, degreesF), reading == TEMP_READING_ABSENT ? nullptr : &kHoldsValueColour);
        ranges_[size_t(i)]->setVisible(false);
        SetToolTipIfChanged(meters_[size_t(i)], QString());
        meters_[size_t(i)]->setFocusPolicy(Qt::NoFocus);
    }
}

void frmStatus::ShowAnalogInputs(int group) {
    MarkView(StatusView::Analogs);
    const AnalogGroupRecord& record = config().AnalogConfigTable[size_t(group)];
    for (int i = 0; i < kMeters; ++i) {
        MeterLabel* m = meters_[size_t(i)];
        SetToolTipIfChanged(m, QString());
        m->setFocusPolicy(Qt::NoFocus);
        const AnalogMeterText text = AnalogMeter(record, i, m->text());
        SetMeter(i, text.caption, &kHoldsValueColour);
        QLabel* range = ranges_[size_t(i)];
        if (text.range && range->text() != *text.range) range->setText(*text.range);
        range->setVisible(true);
    }
}

} // namespace korvel

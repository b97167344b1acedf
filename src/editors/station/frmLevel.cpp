#include "editors/station/frmLevel.h"
#include "link/linkhold.h"

#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/statecolours.h"
#include "model/model.h"
#include "model/systemvalues.h"
#include "control/progress.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QColor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmLevel> instance;

constexpr int kTickMs = 100;
// The keyed transmitter's colour; released, the button shows its usual face.

} // namespace

frmLevel::frmLevel(QWidget* owner) : QDialog(owner) {
    EndedByFailure() = false;
    setObjectName(QStringLiteral("frmLevel"));
    setWindowTitle(QStringLiteral("Analog Modem Level Set"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    pttOn_ = false;
    slider_->setValue(ShownTxLevel(config().SystemConfig[FFSK_OUTPUT_LEVEL]));
    warn_->hide();
    keyTx_->setFocus();
}

void frmLevel::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

bool& frmLevel::EndedByFailure() {
    static bool failed = false;
    return failed;
}

void frmLevel::build() {
    auto* instruction = new QLabel(
        QStringLiteral("Click on the PTT button to start FFSK test tone. Adjust the slider to set transmission "
                       "level. When complete click the OK button. Note: The PTT is controlled by a 'transmit "
                       "timer' and is set to 2 minutes."),
        this);
    instruction->setObjectName(QStringLiteral("lblInstruction"));
    instruction->setWordWrap(true);
    instruction->setMinimumWidth(fontMetrics().averageCharWidth() * 50);

    keyTx_ = NamedButton(QStringLiteral("&PTT"), "cmdKeyTx", this);
    keyTx_->setAutoDefault(false);
    warn_ = new QLabel(this);
    warn_->setObjectName(QStringLiteral("lblWarn"));

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("Slider1"));
    // Only levels the module accepts can be chosen.
    slider_->setRange(TX_LEVEL_MIN, TX_LEVEL_MAX);
    slider_->setSingleStep(1);
    slider_->setPageStep(5);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setTickInterval(1);
    // A drag sends one level when it ends, not one per position passed.
    slider_->setTracking(false);

    ok_ = NamedButton(QStringLiteral("OK"), "cmdOK", this);
    ok_->setDefault(true);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("tmrTest"));
    timer_->setInterval(kTickMs);

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(keyTx_);
    keyRow->addWidget(warn_);
    keyRow->addStretch(1);
    auto* levelRow = new QGridLayout;
    AddFieldRow(levelRow, 0, QStringLiteral("Transmit &level:"), slider_);
    levelRow->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(instruction);
    outer->addLayout(keyRow);
    outer->addLayout(levelRow);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(keyTx_, slider_);
    setTabOrder(slider_, ok_);

    connect(keyTx_, &QPushButton::clicked, this, &frmLevel::cmdKeyTx_Click);
    connect(slider_, &QSlider::valueChanged, this, &frmLevel::Slider1_Change);
    connect(timer_, &QTimer::timeout, this, &frmLevel::tmrTest_Timer);
    connect(ok_, &QPushButton::clicked, this, &frmLevel::cmdOK_Click);
}

void frmLevel::showKeyed(bool keyed, const QString& caption) {
    pttOn_ = keyed;
    keyTx_->setText(caption);
    ShowActive(keyTx_, keyed);
}

void frmLevel::showStage(LevelTestStage stage) {
    switch (stage) {
    case LevelTestStage::StoppingProcesses:
        warn_->setText(QStringLiteral("Please wait, stopping system processes..."));
        break;
    case LevelTestStage::ProcessesStopped:
        warn_->setText(QStringLiteral("System processes stopped..."));
        showKeyed(true, QStringLiteral("&PTT-ON"));
        break;
    case LevelTestStage::RestartingProcesses:
        warn_->setText(QStringLiteral("Please wait, restarting system processes..."));
        break;
    }
}

LevelTestEnd frmLevel::whileBusy(const std::function<LevelTestEnd()>& sequence) {
    // Only the controls are locked, not the window: the close box and Esc stay heard, and
    // are honoured once the step on the line has ended.
    const QPointer<QWidget> focus = focusWidget();
    const QList<QWidget*> controls{keyTx_, slider_, ok_};
    busy_ = true;
    for (QWidget* w : controls) w->setEnabled(false);
    const LevelTestEnd end = sequence();
    for (QWidget* w : controls) w->setEnabled(true);
    busy_ = false;
    if (focus) focus->setFocus(Qt::OtherFocusReason);
    return end;
}

void frmLevel::cmdKeyTx_Click() {
    if (busy_) return;
    // Pressed while another job has the link (an event being acknowledged), it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdKeyTx_Click(); })) return;
    if (pttOn_)
        releaseTransmitter();
    else
        keyTransmitter();
}

void frmLevel::keyTransmitter() {
    warn_->show();
    // From the stop command on, the module's processes may be stopped.
    moduleHeld_ = true;
    const auto level = static_cast<int16_t>(slider_->value());
    const LevelTestEnd end = whileBusy([&] {
        return KeyTransmitter(level, [this](LevelTestStage s) { showStage(s); }, [this] { return closeAsked_; });
    });
    switch (end.result) {
    case LevelTestResult::Done:
        txTimerTicks_ = TX_TEST_TICKS;
        timer_->start();
        break;
    case LevelTestResult::Abandoned:
        moduleHeld_ = false;
        if (pttOn_) showKeyed(false, QStringLiteral("&PTT-OFF"));
        warn_->hide();
        break;
    case LevelTestResult::Failed:
    case LevelTestResult::Restored:
        endAfterFailure(end);
        return;
    }
    closeIfAsked();
}

void frmLevel::releaseTransmitter() {
    timer_->stop();
    showKeyed(false, QStringLiteral("&PTT-OFF"));
    const LevelTestEnd end =
        whileBusy([this] { return ReleaseTransmitter([this](LevelTestStage s) { showStage(s); }); });
    if (end.result != LevelTestResult::Done) {
        endAfterFailure(end);
        return;
    }
    moduleHeld_ = false;
    warn_->hide();
    closeIfAsked();
}

void frmLevel::Slider1_Change() {
    if (!pttOn_ || busy_) return;
    if (DeferWhileLinkTaken(this, [this] { Slider1_Change(); })) return;
    const auto level = static_cast<int16_t>(slider_->value());
    const LevelTestEnd end = whileBusy([this, level] { return SetTransmitLevel(level, [this](LevelTestStage s) { showStage(s); }); });
    if (end.result != LevelTestResult::Done)
        endAfterFailure(end);
    else
        closeIfAsked();
}

void frmLevel::tmrTest_Timer() {
    // The count runs only while the transmitter is keyed.
    if (!pttOn_) return;
    if (--txTimerTicks_ > 0) return;
    timer_->stop();
    // The module ends the transmission by itself: nothing is sent.
    showKeyed(false, QStringLiteral("&PTT-OFF"));
}

void frmLevel::cmdOK_Click() {
    if (busy_) return;
    if (DeferWhileLinkTaken(this, [this] { cmdOK_Click(); })) return;
    timer_->stop();
    config().SystemConfig[FFSK_OUTPUT_LEVEL] = slider_->value();
    pttOn_ = false;
    putBackAndLeave();
    accept();
}

void frmLevel::reject() {
    // A close while a command is on the line is honoured once that step has ended.
    if (busy_) {
        closeAsked_ = true;
        return;
    }
    // The module is put back once another job that has the link lets it go.
    if (moduleHeld_ && DeferWhileLinkTaken(this, [this] { reject(); })) return;
    closeAsked_ = false;
    timer_->stop();
    if (moduleHeld_) {
        pttOn_ = false;
        putBackAndLeave();
    }
    QDialog::reject();
}

void frmLevel::putBackAndLeave() {
    const LevelTestEnd end =
        whileBusy([this] { return ReleaseTransmitter([this](LevelTestStage s) { showStage(s); }); });
    moduleHeld_ = false;
    if (end.result == LevelTestResult::Done) return;
    sayHowLeft(end);
    EndedByFailure() = true;
}

void frmLevel::closeIfAsked() {
    if (closeAsked_) reject();
}

void frmLevel::sayHowLeft(const LevelTestEnd& end) {
    const QString text = LevelTestMessage(end);
    if (!text.isEmpty()) MsgBox(text, vbOKOnly + vbExclamation, QString());
}

void frmLevel::endAfterFailure(const LevelTestEnd& end) {
    timer_->stop();
    showKeyed(false, QStringLiteral("&PTT-OFF"));
    // The link has given up or the module refused; what could be put back has been.
    moduleHeld_ = false;
    closeAsked_ = false;
    sayHowLeft(end);
    EndedByFailure() = true;
    QDialog::reject();
}

} // namespace korvel

#include "editors/channels/frmOutputs.h"
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "model/model.h"
#include "model/target.h"
#include "editors/channels/outputrules.h"
#include "editors/channels/steprules.h"
#include "editors/station/systemrules.h"
#include "platform/prompts.h"
#include "control/session.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmOutputs> instance;

// The help beside the controls, broken where it always has been.
const char* const kHelpLines[] = {
    "The output state defines the ", "'rest' or OFF state of the ", "output. When the ",
    "output is set to N.O. (normally ", "open) the device's ", "output (open collector), will ",
    "be high. If the output is set", "N.C. (normally closed) then", "the output will be low.",
    "The output may be set to", "one of two modes ", "(Korvel only). ",
    "When set to LATCH, the output", "turns ON when set and turns", "off when reset (OFF).",
    "When set to PULSE the", "output pulses on and off", "only when the output is",
    "'turned on'. ",
};

} // namespace

frmOutputs::frmOutputs(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmOutputs"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();

    // Set up once per opening: a message box closing activates the dialog again, and
    // loading the output then would drop what was typed.
    setWindowTitle(StationCaption(QStringLiteral("Output Configuration, Station: ")));
    channel_->SetChannels(ChannelMaximum(ChannelKind::Output),
                          [](int index) { return ChannelFitted(ChannelKind::Output, index); });
    LoadOutputChannel(session().SelectedOutputChannel);
    // A Pellar's outputs have one mode.
    if (target().PellarDevice) mode_->setEnabled(false);
    channel_->setFocus();
}

void frmOutputs::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

void frmOutputs::build() {
    channel_ = new ChannelStepper("updChannel", "txtOutputChannel", this);
    channel_->setToolTip(QStringLiteral("Select previous/next output"));
    polarity_ = NamedList("cboOutputPolarity", {QStringLiteral("N.C."), QStringLiteral("N.O.")},
                          "The rest or 'OFF' state of the output", this);
    mode_ = NamedList("cboOutputMode", {QStringLiteral("LATCH"), QStringLiteral("PULSE")},
                      "Selects between level or single pulse or dual pulse output type", this);
    pulseWidth_ = new BoundedField("updPulseWidth", "txtPulseWidth",
                                   ChannelFieldLimits(0, PULSE_WIDTH_MAX_MS, PULSE_WIDTH_STEP_MS, 4),
                                   this);
    pulseWidth_->SetToolTips(QStringLiteral("The delay before the local output is effected"));

    QString help;
    for (const char* line : kHelpLines) help += QString::fromLatin1(line) + QLatin1Char('\n');
    help_ = new QPlainTextEdit(help, this);
    help_->setObjectName(QStringLiteral("Text1"));
    help_->setReadOnly(true);
    help_->setTabChangesFocus(true);
    help_->setAccessibleName(QStringLiteral("Help"));
    help_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The whole help shows at once, without scrolling.
    const QFontMetrics metrics = help_->fontMetrics();
    help_->setFixedSize(metrics.horizontalAdvance(QStringLiteral("output is set to N.O. (normally ")) + 24,
                        metrics.lineSpacing() * int(std::size(kHelpLines)) + 16);
    help_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* grid = new QGridLayout;
    AddFieldRow(grid, 0, QStringLiteral("O&utput:"), channel_, Qt::AlignLeft);
    AddFieldRow(grid, 1, QStringLiteral("Output &State:"), polarity_);
    AddFieldRow(grid, 2, QStringLiteral("Output &mode:"), mode_);
    AddFieldRow(grid, 3, QStringLiteral("&Pulse Width (mS):"), pulseWidth_, Qt::AlignLeft);
    grid->setRowStretch(4, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(grid);
    columns->addSpacing(12);
    columns->addWidget(help_);

    const OkCancel buttons = OkCancelButtons(this);
    ok_ = buttons.ok;
    cancel_ = buttons.cancel;

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(buttons.row);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = {channel_, polarity_, mode_, pulseWidth_, help_, ok_, cancel_};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(mode_, &QComboBox::currentIndexChanged, this, &frmOutputs::cboOutputMode_Click);
    connect(ok_, &QPushButton::clicked, this, &frmOutputs::cmdOK_Click);
    channel_->leaving = [this](int index) {
        StoreOutputChannel(index + 1);
        return true;
    };
    channel_->entered = [this](int index) { LoadOutputChannel(index + 1); };
}

void frmOutputs::LoadOutputChannel(int number) {
    const int shown = channel_->ShowChannel(number - 1);
    number = shown + 1;
    session().SelectedOutputChannel = int16_t(number);
    const OutputView view = ViewOutput(config().OutputConfigTable[GetChannelGroup(shown)], GetChannelSlot(shown));
    bool failed = false;

    polarity_->setCurrentIndex(view.normallyOpen ? 1 : 0);
    {
        const QSignalBlocker quiet(mode_);
        // The further pulse type has no item: the list shows none and a store keeps the
        // stored mode until one is chosen.
        failed |= !SelectListed(mode_, view.mode ? int(*view.mode) : -1);
    }
    if (view.mode) {
        cboOutputMode_Click();
    } else {
        pulseWidth_->setEnabled(true);
        pulseWidth_->SetMinimum(PULSE_MIN_MS);
    }
    // A pulse stored without a width is shown as stored and reported, not made 10 ms.
    pulseWidth_->SetValue(view.pulseWidthMs);
    failed |= !pulseWidth_->WithinLimits();

    if (failed) ReportUnexpectedValues(this, number);
}

void frmOutputs::cboOutputMode_Click() {
    const bool pulse = mode_->currentIndex() == int(OutputModeItem::Pulse);
    if (mode_->currentIndex() < 0) return;
    pulseWidth_->setEnabled(pulse);
    if (pulse) {
        if (pulseWidth_->Value() < PULSE_MIN_MS) pulseWidth_->SetValue(PULSE_MIN_MS);
        pulseWidth_->SetMinimum(PULSE_MIN_MS);
    } else {
        pulseWidth_->SetMinimum(0);
        pulseWidth_->SetValue(0);
    }
}

void frmOutputs::StoreOutputChannel(int number) {
    const int index = number - 1;
    const int mode = mode_->currentIndex();
    StoreOutput(config().OutputConfigTable[GetChannelGroup(index)], GetChannelSlot(index),
                polarity_->currentIndex() == 1,
                mode < 0 ? std::nullopt : std::optional<OutputModeItem>(OutputModeItem(mode)), pulseWidth_->Value());
}

void frmOutputs::cmdOK_Click() {
    if (!CheckFocusedField(this)) return;
    StoreOutputChannel(channel_->ShownChannel() + 1);
    accept();
}

} // namespace korvel

#include "app/channelstepper.h"
#include "editors/channels/steprules.h"
#include "platform/prompts.h"

#include <QEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

namespace korvel {

ChannelStepper::ChannelStepper(const char* upDownName, const char* textName, QWidget* parent) : QSpinBox(parent) {
    setObjectName(QString::fromLatin1(upDownName));
    lineEdit()->setObjectName(QString::fromLatin1(textName));
    // The number is chosen with the arrows only; typing a channel would skip the store
    // and load of each step.
    lineEdit()->setReadOnly(true);
    setWrapping(true);
    setRange(1, 64);
    setAlignment(Qt::AlignRight);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 28);
    connect(this, &QSpinBox::valueChanged, this, &ChannelStepper::moved);
}

void ChannelStepper::SetChannels(int maximum, std::function<bool(int)> fitted) {
    fitted_ = std::move(fitted);
    busy_ = true;
    setMaximum(std::max(1, maximum));
    busy_ = false;
}

int ChannelStepper::ShowChannel(int index) {
    if (index < 0 || index >= maximum() || !fitted_(index)) index = StepChannel(0, 1, maximum(), fitted_);
    showNumber(index);
    return index;
}

void ChannelStepper::showNumber(int index) {
    shown_ = index;
    const bool wasBusy = busy_;
    busy_ = true;
    setValue(index + 1);
    busy_ = wasBusy;
}

void ChannelStepper::moved(int value) {
    // The moves made here, and any while a store or load has a message box up.
    if (busy_) return;
    busy_ = true;
    if (leaving && !leaving(shown_)) {
        showNumber(shown_);
        busy_ = false;
        return;
    }
    showNumber(StepChannel(shown_, value, maximum(), fitted_));
    if (entered) entered(shown_);
    busy_ = false;
}

namespace {

// Waits for its dialog to be shown, then reports once and goes.
class ShownReport : public QObject {
public:
    ShownReport(QWidget* dialog, int number) : QObject(dialog), number_(number) { dialog->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this, dialog = static_cast<QWidget*>(watched)] {
                // Not once the dialog has gone again.
                if (dialog->isVisible()) {
                    // The dialog's own box, though it comes before the dialog is active.
                    const PromptOwner owner(dialog);
                    MsgBox(ChannelUnexpectedValueMessage(number_), vbOKOnly);
                }
                deleteLater();
            });
        }
        return false;
    }

private:
    int number_;
};

} // namespace

void ReportUnexpectedValues(QWidget* dialog, int number) {
    if (dialog->isVisible()) {
        const PromptOwner owner(dialog);
        MsgBox(ChannelUnexpectedValueMessage(number), vbOKOnly);
    } else {
        new ShownReport(dialog, number);
    }
}

} // namespace korvel

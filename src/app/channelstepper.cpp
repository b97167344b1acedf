#include "app/channelstepper.h"
#include "editors/channels/steprules.h"

#include <QLineEdit>

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

} // namespace korvel

// The channel up-down of a channel dialog: a read-only channel number with arrows that
// wrap past either end and pass over channels that are not fitted. A move first asks the
// dialog to leave the shown channel (store it, or refuse and stay on it), then tells it
// which channel it entered (load it).
#pragma once

#include <QSpinBox>
#include <functional>

class QLineEdit;

namespace korvel {

class ChannelStepper : public QSpinBox {
    Q_OBJECT
public:
    // upDownName names the arrows, textName the number's box.
    ChannelStepper(const char* upDownName, const char* textName, QWidget* parent);

    // Channels 1..maximum, of which fitted (given a 0-based index) says which exist.
    void SetChannels(int maximum, std::function<bool(int)> fitted);
    // Shows channel index without leaving or entering one; an index beyond the channels
    // or not fitted gives the next fitted channel from the first. Returns what it shows.
    int ShowChannel(int index);
    // The 0-based channel on screen.
    int ShownChannel() const { return shown_; }
    QLineEdit* Box() const { return lineEdit(); }

    // Stores the channel left; false refuses the move, which then returns to it.
    std::function<bool(int index)> leaving;
    // Loads the channel reached.
    std::function<void(int index)> entered;

private:
    void moved(int value);
    void showNumber(int index);

    int shown_ = 0;
    bool busy_ = false;
    std::function<bool(int)> fitted_ = [](int) { return true; };
};

// Reports values of channel number (1-based) that dialog's controls could not show. A
// dialog still being set up reports once it is on screen, so that the message stands
// over the values it speaks of.
void ReportUnexpectedValues(QWidget* dialog, int number);

} // namespace korvel

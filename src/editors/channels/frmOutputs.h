// The output editor: one output at a time, its rest state, LATCH or PULSE and the pulse
// width, stepping through the outputs of the station.
#pragma once

#include <QDialog>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace korvel {

class BoundedField;
class ChannelStepper;

class frmOutputs : public QDialog {
    Q_OBJECT
public:
    // Sets the dialog up on the output held in SelectedOutputChannel.
    explicit frmOutputs(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    ChannelStepper* updChannel() const { return channel_; }
    QComboBox* cboOutputPolarity() const { return polarity_; }
    QComboBox* cboOutputMode() const { return mode_; }
    BoundedField* updPulseWidth() const { return pulseWidth_; }
    QPlainTextEdit* Text1() const { return help_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them.
    void cboOutputMode_Click();
    void cmdOK_Click();

private:
    void build();
    // Output number (1-based) between the configuration and the controls.
    void LoadOutputChannel(int number);
    void StoreOutputChannel(int number);

    ChannelStepper* channel_ = nullptr;
    QComboBox* polarity_ = nullptr;
    QComboBox* mode_ = nullptr;
    BoundedField* pulseWidth_ = nullptr;
    QPlainTextEdit* help_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel

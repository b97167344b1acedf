// The contact input editor: one input at a time, its events, rest state, normal or
// toggle mode, hold, the local output it drives and its delay, the destination maps and
// the logger option, stepping through the station's fitted inputs.
#pragma once

#include "editors/channels/inputrules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace korvel {

class BoundedField;
class ChannelStepper;

class frmInputs : public QDialog {
    Q_OBJECT
public:
    // Sets the dialog up on the input held in SelectedInputChannel.
    explicit frmInputs(QWidget* owner);
    // Opens on the first input, modal over owner, until it is closed.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmInputs* Instance();

    // Enables the destination boxes the module mode offers and shows its hint.
    void EnableDisableMap(int moduleMode);

    ChannelStepper* updChannel() const { return channel_; }
    QCheckBox* chkInputEnabled() const { return enabled_; }
    QComboBox* cboInputPolarity() const { return polarity_; }
    QComboBox* cboMode() const { return mode_; }
    BoundedField* updHold() const { return hold_; }
    QComboBox* cboInputLocalOutput() const { return localOutput_; }
    QComboBox* cboSetReset() const { return setReset_; }
    BoundedField* updLocChannelDelay() const { return delay_; }
    QLabel* lblOutputDelay() const { return delayLabel_; }
    QGroupBox* fraOutputMapping() const { return mapping_; }
    QLineEdit* DestStation(int k) const { return station_[k]; }
    QLineEdit* SubChannel(int k) const { return subChannel_[k]; }
    QGroupBox* fraLoggerOpt() const { return logger_; }
    QRadioButton* optONOFF() const { return onOff_; }
    QRadioButton* optAccum() const { return accumulate_; }
    QPlainTextEdit* txtHint1() const { return hint_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The reactions, as the controls run them.
    void cboMode_Click();
    void cboSetReset_Click();
    void cboInputLocalOutput_Click();
    void updHold_Change();
    void cmdOK_Click();

private:
    void build();
    QGroupBox* buildLocalOutput();
    QGroupBox* buildMapping();
    QGroupBox* buildLogger();
    void FillLocalOutputList();
    // One input between the configuration and the controls; channel is 0-based.
    void LoadInputChannel(int channel);
    void StoreInputChannel(int channel);
    // What the choices allow: hold, delay, function and mode lists on or off.
    void applyEnables();
    bool toggleMode() const;
    SetResetItem setResetItem() const;
    bool checkStation(QLineEdit* box);
    bool checkSubChannel(QLineEdit* box);

    bool pellar_ = false;
    bool LoadingChannel = false;
    // What the input shown was loaded with: kept where a control cannot show it.
    InputChannelValues loaded_;

    ChannelStepper* channel_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QComboBox* polarity_ = nullptr;
    QComboBox* mode_ = nullptr;
    BoundedField* hold_ = nullptr;
    QComboBox* localOutput_ = nullptr;
    QComboBox* setReset_ = nullptr;
    BoundedField* delay_ = nullptr;
    QLabel* delayLabel_ = nullptr;
    QGroupBox* mapping_ = nullptr;
    QLineEdit* station_[INPUT_DEST_MAPS] = {};
    QLineEdit* subChannel_[INPUT_DEST_MAPS] = {};
    QGroupBox* logger_ = nullptr;
    QRadioButton* onOff_ = nullptr;
    QRadioButton* accumulate_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel

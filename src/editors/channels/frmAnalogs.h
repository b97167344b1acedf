// The analog and temperature input editor: one channel at a time, its events, range and
// sensor, set points in the units of the range (or degrees), offset, holds, local
// outputs and destination maps, stepping through the station's channels. AnalogMode
// chooses the kind when it opens.
#pragma once

#include "model/tempcodes.h"
#include "editors/channels/analogrules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace korvel {

class BoundedField;
class ChannelStepper;
class StepperField;

class frmAnalogs : public QDialog {
    Q_OBJECT
public:
    // Sets the dialog up for the kind AnalogMode names, on the channel held in
    // SelectedAnalogChannel.
    explicit frmAnalogs(QWidget* owner);

    // Opens on the first channel of the kind, modal over owner, until it is closed.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmAnalogs* Instance();

    // Enables the destination maps the module mode offers and shows its hint.
    void EnableDisableAMap(int moduleMode);

    ChannelStepper* updChannel() const { return channel_; }
    QCheckBox* chkAnalogEnabled() const { return enabled_; }
    QComboBox* cboInputRange() const { return range_; }
    QComboBox* cboUserM() const { return userM_; }
    QComboBox* Combo_Sensor() const { return sensor_; }
    StepperField* updOffset() const { return offset_; }
    StepperField* updHighThreshold() const { return side_[High].threshold; }
    StepperField* updLowThreshold() const { return side_[Low].threshold; }
    QLineEdit* txtHighThresholdDBM() const { return side_[High].adjusted; }
    QLineEdit* txtLowThresholdDBM() const { return side_[Low].adjusted; }
    BoundedField* updHighHold() const { return side_[High].hold; }
    BoundedField* updLowHold() const { return side_[Low].hold; }
    QComboBox* cboAHighOutput() const { return side_[High].localOutput; }
    QComboBox* cboALowOutput() const { return side_[Low].localOutput; }
    BoundedField* updAHighLocOutputDelay() const { return side_[High].delay; }
    BoundedField* updALowLocOutputDelay() const { return side_[Low].delay; }
    // Elements 0 and 1 map the high set point, 2 and 3 the low one.
    QLineEdit* txtADestStation(int i) const { return side_[i / 2].station[i % 2]; }
    QLineEdit* txtADestChannel(int i) const { return side_[i / 2].channel[i % 2]; }
    QCheckBox* chkInvert() const { return invert_; }
    QGroupBox* fraGraphic1() const { return graphic_; }
    QLabel* lblTop() const { return bandText_[0]; }
    QLabel* lblMiddle() const { return bandText_[1]; }
    QLabel* lblBottom() const { return bandText_[2]; }
    QFrame* shpUpper() const { return band_[0]; }
    QFrame* shpMiddle() const { return band_[1]; }
    QFrame* shpLower() const { return band_[2]; }
    QGroupBox* fraLoggerOpt() const { return logger_; }
    QCheckBox* chkEnableLog() const { return enableLog_; }
    QComboBox* cboQInput() const { return qualifier_; }
    QLabel* lblQInput() const { return qualifierLabel_; }
    QGroupBox* fraHoldTime() const { return holdTime_; }
    BoundedField* updCommonHoldTime() const { return commonHold_; }
    QPlainTextEdit* txtAnalogTabMode() const { return hint_; }
    QLabel* lblTempMode() const { return tempMode_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them.
    void cboInputRange_Click();
    void cboUserM_Click();
    void Combo_Sensor_Click();
    void chkInvert_Click();
    void cmdOK_Click();


private:
    enum { High = 0, Low = 1 };
    // The controls of one set point.
    struct Side {
        QGroupBox* frame = nullptr;
        QLabel* thresholdLabel = nullptr;
        StepperField* threshold = nullptr;
        QLabel* adjustedLabel = nullptr;
        QLineEdit* adjusted = nullptr;
        QLabel* holdLabel = nullptr;
        BoundedField* hold = nullptr;
        QLabel* localOutputLabel = nullptr;
        QComboBox* localOutput = nullptr;
        QLabel* delayLabel = nullptr;
        BoundedField* delay = nullptr;
        QGroupBox* mapping = nullptr;
        QLineEdit* station[2] = {};
        QLineEdit* channel[2] = {};
    };

    void build();
    QGroupBox* buildSide(int which);
    QGroupBox* buildGraphic();
    void layOut();
    void setUp();

    // One channel between the configuration and the controls; channel is 0-based.
    void LoadAnalogChannel(int channel);
    void LoadTempChannel(int channel);
    void StoreAnalogChannel(int channel);
    void StoreTempChannel(int channel);
    bool loadSide(int which, const AlarmSide& values);
    AlarmSide storedSide(int which, const AlarmSide& loaded) const;
    void setLoggerOptions(bool enabled);
    // The logger options and qualifier of slot, and the Pellar's one hold: the last
    // steps of both loads. False when the qualifier list cannot show qualifier.
    bool finishLoad(int logElement, int slot, bool logThreshold, int qualifier);
    void FillLocalOutputCombos(int count);

    // Leaving the channel shown: refused while the low set point is not below the high.
    bool leaveChannel(int channel);
    void enterChannel(int channel);
    bool setPointsInOrder();

    void SetRangeLabels();
    void SetRangeLabelsNoRefresh();
    void UpdateUserMultiplierEnable();
    void RefreshSensorDisplay();
    void RefreshAdjustedValue(const QString& voltsText, QLineEdit* target);
    void thresholdChanged(int which);
    void showThresholdLabels(const QString& label, const QString& tip);

    // The range code, conversion code and sensor code the controls select.
    int selectedRangeCode() const;
    int conversionCode() const;
    int sensorCode() const;
    RangeSelection selection() const;

    // The field checks run when a box is left; false keeps the focus there.
    bool checkThreshold(int which);
    bool checkOffset();
    bool checkDestination(QLineEdit* box, bool station);

    bool analogMode_ = true;
    bool pellar_ = false;
    bool degreesF_ = false;
    bool Loading = false;
    // The module whose outputs the channel shown lists as its local outputs.
    int group_ = 0;
    bool SuppressThresholdChange = false;
    // What the channel shown was loaded with: kept where a control cannot show it.
    AnalogChannelValues loadedAnalog_;
    TempChannelValues loadedTemp_;
    // The sensor a return to the 0 - 5.00V range selects: the stored one until another
    // is picked.
    int sensorRange_ = 0;
    int sensorModifier_ = 0;

    ChannelStepper* channel_ = nullptr;
    QLabel* channelLabel_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QLabel* rangeLabel_ = nullptr;
    QComboBox* range_ = nullptr;
    QLabel* userMLabel_ = nullptr;
    QComboBox* userM_ = nullptr;
    QLabel* sensorLabel_ = nullptr;
    QComboBox* sensor_ = nullptr;
    QLabel* offsetLabel_ = nullptr;
    StepperField* offset_ = nullptr;
    Side side_[2];
    QCheckBox* invert_ = nullptr;
    QGroupBox* graphic_ = nullptr;
    QFrame* band_[3] = {};
    QLabel* bandText_[3] = {};
    QGroupBox* logger_ = nullptr;
    QCheckBox* enableLog_ = nullptr;
    QLabel* qualifierLabel_ = nullptr;
    QComboBox* qualifier_ = nullptr;
    QGroupBox* holdTime_ = nullptr;
    BoundedField* commonHold_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QLabel* tempMode_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel

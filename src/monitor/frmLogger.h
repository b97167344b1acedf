// The data logger window: the logger settings of the configuration with the run lengths
// they give, and, while a module is connected, reading its logs into files, showing and
// clearing its timers, and starting and stopping it. Modeless, owned by the main window.
#pragma once

#include "monitor/loggerrules.h"

#include <QDateTime>
#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTimer;

namespace korvel {

class BoundedField;

class frmLogger : public QDialog {
    Q_OBJECT
public:
    // Builds the controls and runs the load handler.
    explicit frmLogger(QWidget* owner);

    // Shows the single instance over owner, creating it first; an open one comes to the front.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmLogger* Instance();
    // Where the log files take their names and dates from; empty restores the PC's clock.
    static void SetFileClock(std::function<QDateTime()> clock);

    QLineEdit* txtHeader() const { return header_; }
    QWidget* fraLogger() const { return settingsView_; }
    QWidget* fraRams() const { return timersView_; }
    BoundedField* updSampleInterval() const { return sampleInterval_; }
    QComboBox* cboSampleType() const { return sampleType_; }
    BoundedField* updAccInterval() const { return accInterval_; }
    QComboBox* cboAccumType() const { return accumType_; }
    QLineEdit* txtNumOfSamples() const { return sampleRun_; }
    QLineEdit* txtNumOfMinMax() const { return minMaxRun_; }
    QCheckBox* chkInputChannels(int s) const { return inputs_[s]; }
    QCheckBox* chkAnalogChannels(int s) const { return analogs_[s]; }
    QCheckBox* chkTemperatureChannels(int s) const { return temperatures_[s]; }
    QCheckBox* chkAutoRun() const { return autoRun_; }
    QCheckBox* chkLogAirtime() const { return airtime_; }
    QCheckBox* chkLogRollOver() const { return rollOver_; }
    QSlider* Slider1() const { return slider_; }
    QLineEdit* txtSamples() const { return samplesShare_; }
    QLineEdit* txtMinMax() const { return minMaxShare_; }
    QPlainTextEdit* txtHintPoller() const { return hint_; }
    QPushButton* cmdRams() const { return rams_; }
    QPushButton* cmdStartLog() const { return startLog_; }
    QPushButton* cmdGetlog() const { return getLog_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }
    QLabel* lblWarn() const { return warn_; }
    QTimer* tmrFlasher() const { return flasher_; }
    QLineEdit* txtRams(int k) const { return timers_[k]; }
    QPushButton* cmdClear(int k) const { return clears_[k]; }
    QListWidget* lstLogs() const { return logs_; }

    // Records the current split holds, as the run lengths were last worked out.
    int32_t SampleCapacity() const { return capacity_.Samples; }
    int32_t MinMaxCapacity() const { return capacity_.MinMax; }

    // The handlers, as the controls run them.
    void RecalcRunLengths();
    void ShowSliderSplit();
    void cmdOK_Click();
    void cmdGetlog_Click();
    void cmdRams_Click();
    void cmdClear_Click(int index);
    void cmdStartLog_Click();
    void tmrFlasher_Timer();
    // Shows the nine timers as last read.
    void ShowRams();
    // Lists the records of a sample block reply in lstLogs.
    void ShowSampleLog(const QByteArray& RxBuffer);

    // Closing releases the instance; while a command is on the line the window stays.
    void done(int result) override;

private:
    void build();
    QWidget* buildSettings();
    QWidget* buildTimers();
    void load();
    // The controls into the settings copy; the copy's sample time into the controls.
    void takeForm();
    void showSampleTime();
    void storeLoggerSettings();
    void showRunning();
    void setStatus(const QString& text);
    // After a command: true when the window goes, because it was closed meanwhile or
    // because the command failed.
    bool leftAfterCommand(bool failed);
    // The sleep-time rule on the settings; true when it raised the sample time, which
    // is then stored, shown and told.
    bool raiseSampleTimeToSleepTime();

    QLineEdit* header_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QWidget* settingsView_ = nullptr;
    QWidget* timersView_ = nullptr;
    BoundedField* sampleInterval_ = nullptr;
    QComboBox* sampleType_ = nullptr;
    BoundedField* accInterval_ = nullptr;
    QComboBox* accumType_ = nullptr;
    QLineEdit* sampleRun_ = nullptr;
    QLineEdit* minMaxRun_ = nullptr;
    std::array<QCheckBox*, 8> inputs_{};
    std::array<QCheckBox*, 8> analogs_{};
    std::array<QCheckBox*, 8> temperatures_{};
    QCheckBox* autoRun_ = nullptr;
    QCheckBox* airtime_ = nullptr;
    QCheckBox* rollOver_ = nullptr;
    QSlider* slider_ = nullptr;
    QLineEdit* samplesShare_ = nullptr;
    QLineEdit* minMaxShare_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QPushButton* rams_ = nullptr;
    QPushButton* startLog_ = nullptr;
    QPushButton* getLog_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* warn_ = nullptr;
    QTimer* flasher_ = nullptr;
    std::array<QLineEdit*, 9> timers_{};
    std::array<QPushButton*, 9> clears_{};
    QListWidget* logs_ = nullptr;

    LoggerSettings settings_;
    LoggerCapacity capacity_;
    bool loading_ = false;
    bool busy_ = false;
    bool closeAfterCommand_ = false;
};

} // namespace korvel

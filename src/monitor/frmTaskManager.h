// The Task Setup dialog: the station poller task of a module (up to 32 stations, each
// with the output its poll drives, and a poll period), loaded from and saved to the
// module's task block or a task file, and the PC-side poller window started from it.
#pragma once

#include "model/taskblock.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace korvel {

class BoundedField;

class frmTaskManager : public QDialog {
    Q_OBJECT
public:
    // Builds the controls and runs the load handler.
    explicit frmTaskManager(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QComboBox* cboStations() const { return stations_; }
    QComboBox* cboTAChannel() const { return outputChooser_; }
    QComboBox* cboManual() const { return manual_; }
    QListWidget* lstCurrent() const { return list_; }
    BoundedField* updSeconds() const { return period_[POLL_SECONDS]; }
    BoundedField* updMinutes() const { return period_[POLL_MINUTES]; }
    BoundedField* updHours() const { return period_[POLL_HOURS]; }
    BoundedField* updDays() const { return period_[POLL_DAYS]; }
    QRadioButton* optPeriod(int index) const { return periodOptions_[index]; }
    QRadioButton* optManual() const { return manualOption_; }
    QPushButton* cmdLoadTask() const { return load_; }
    QPushButton* cmdSaveTask() const { return save_; }
    QPushButton* cmdStartTask() const { return start_; }
    QPushButton* cmdCancel() const { return exit_; }
    const StationOutputs& Outputs() const { return outputs_; }

    // The handlers, as the controls run them.
    void cboStations_Click();
    void cboTAChannel_Click();
    void lstCurrent_DblClick();
    void cmdLoadTask_Click();
    void cmdSaveTask_Click();
    void cmdStartTask_Click();

    // While a command is on the line the dialog stays: closing it then would release it
    // under the handler that waits.
    void done(int result) override;

private:
    void build();
    QWidget* buildSchedule();
    QWidget* buildAction();
    void load();
    void choosePeriodOption(QRadioButton* chosen);
    // Station list entries.
    int entryRow(int station) const;
    void appendEntry(int station);
    void rebuildList();
    void showEntry(int row);
    // After a load: the list rebuilt and its first entry shown, when it has one.
    void showLoadedTask();
    void loadFromModule();
    void loadFromFile();

    QTabWidget* tabs_ = nullptr;
    QComboBox* stations_ = nullptr;
    QComboBox* outputChooser_ = nullptr;
    QComboBox* manual_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* meterChannel_ = nullptr;
    BoundedField* period_[4] = {};
    QRadioButton* periodOptions_[4] = {};
    QRadioButton* manualOption_ = nullptr;
    QButtonGroup* options_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* exit_ = nullptr;

    StationOutputs outputs_{};
    bool edited_ = false;
    bool busy_ = false;
};

} // namespace korvel

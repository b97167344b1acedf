// The system configuration dialog: station address, module mode, primary transmission
// path, start-up and power-save values, with the station list beside them. Also the
// help text of the channel dialogs' maps, and the hidden way into the diagnostics.
#pragma once

#include "editors/station/systemrules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvel {

class BoundedField;

class frmSystem : public QDialog {
    Q_OBJECT
public:
    // Loads the controls from the configuration (the load handler).
    explicit frmSystem(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmSystem* Instance();

    // The help text beside the destination maps of a channel dialog (kind 0 contact
    // inputs, 1 analog, 2 temperature), for the station now loaded.
    static QString LoadHintPanel(int mode, int kind);
    // Rebuilds the caption and the station list from what the module reported.
    void GetSystemInfo();

    QLineEdit* txtMyAddress() const { return address_; }
    QComboBox* cboModuleMode() const { return mode_; }
    QComboBox* cboTransmissionPath() const { return path_; }
    BoundedField* updStartUpDelay() const { return startUpDelay_; }
    QCheckBox* ckbSSAtPowerUp() const { return powerUpStatus_; }
    QCheckBox* chkChild() const { return child_; }
    QGroupBox* fraSleep() const { return sleep_; }
    QCheckBox* ckbEnablePowerSave() const { return powerSave_; }
    QCheckBox* ckbCOSWakeUp() const { return cosWakeUp_; }
    BoundedField* updCycle() const { return cycle_; }
    QComboBox* cboPeriodType() const { return periodType_; }
    BoundedField* updSleepReturn() const { return sleepReturn_; }
    QListWidget* lsbStationConfiguration() const { return stations_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them.
    void cboModuleMode_Click();
    void cboTransmissionPath_Click();
    void ckbEnablePowerSave_Click();
    void cmdOK_Click();
    // The debug entry of a double click on the dialog.
    void Form_DblClick();

    // 0 when the address suits the chosen mode; else the refusal has been shown.
    int ValidateStationAddress();
    void EnableSleepControls(bool enable);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void build();
    void load();
    bool checkAddressNotEmpty();
    SystemForm form() const;

    QLineEdit* address_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* path_ = nullptr;
    BoundedField* startUpDelay_ = nullptr;
    QCheckBox* powerUpStatus_ = nullptr;
    QCheckBox* child_ = nullptr;
    QGroupBox* sleep_ = nullptr;
    QCheckBox* powerSave_ = nullptr;
    QCheckBox* cosWakeUp_ = nullptr;
    BoundedField* cycle_ = nullptr;
    QComboBox* periodType_ = nullptr;
    BoundedField* sleepReturn_ = nullptr;
    QListWidget* stations_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;

    // What OK will store; rules applied before OK change only this.
    SystemSettings edit_;
    bool LoadingForm = false;
    bool ConfirmPathChange = false;
    int AcceptedPathIndex = -1;
};

} // namespace korvel

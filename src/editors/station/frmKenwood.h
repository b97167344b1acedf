// The FleetSync properties: the radios told of the station's events, the mobiles
// permitted to change its configuration, the manual acknowledge period, the texts sent
// for channel events, and a raw message for testing the radio path.
#pragma once

#include "editors/station/fleetsyncrules.h"

#include <QDialog>

#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace korvel {

class frmKenwood : public QDialog {
    Q_OBJECT
public:
    // Loads the controls from config().FleetSyncConfig; view describes the station as the
    // caller sees it (master or slave, serial port 1's protocol, Ccb1 bits switched off).
    frmKenwood(QWidget* owner, const FleetSyncView& view);

    // Shows the single instance modal over owner until it is closed; view describes the
    // station as the caller sees it.
    static void Run(QWidget* owner, const FleetSyncView& view);
    static void Run(QWidget* owner);

    // Sends message at once as a raw FleetSync frame through the local module; a message
    // that cannot travel is refused with its reason and nothing is sent.
    int16_t SendRawFleetSync(const QString& message);

    QTabWidget* TabStrip1() const { return tabs_; }
    // Pages 0 Radio, 1 Input Channels, 2 Analog Channels, 3 Temperature Channels, 4 Advanced.
    QWidget* fraKenwood(int page) const { return pages_[page]; }
    QGroupBox* fraRadio1(int radio) const { return radioFrames_[radio]; }
    QLineEdit* txtFleetNumber(int radio) const { return fleet_[radio]; }
    QLineEdit* txtIDNumber(int radio) const { return id_[radio]; }
    // Radios 2 and 3 (1 and 2); radio 1 always receives events.
    QCheckBox* ckbEnable(int radio) const { return enable_[radio]; }
    QCheckBox* ckbEnableSVMonitoring() const { return monitoring_; }
    QPlainTextEdit* txtSiteHint() const { return hint_; }
    QLineEdit* txtIChanOn(int i) const { return inputOn_[i]; }
    QLineEdit* txtIChanOff(int i) const { return inputOff_[i]; }
    QLineEdit* txtAChan(int i) const { return analog_[i]; }
    QLineEdit* txtTChan(int i) const { return temp_[i]; }
    QCheckBox* chkEnableAll() const { return enableAll_; }
    QPushButton* cmdAdd() const { return add_; }
    QPushButton* cmdDelete() const { return delete_; }
    QListWidget* List1() const { return list_; }
    QCheckBox* chkEnableAutoReport() const { return manualAck_; }
    QComboBox* cboReportTime() const { return period_; }
    QPushButton* cmdOKButton() const { return ok_; }
    QPushButton* cmdCancelButton() const { return cancel_; }
    QPushButton* cmdSendMsg() const { return sendMsg_; }

    // The handlers, as the controls run them.
    void ckbEnableSVMonitoring_Click();
    void chkEnableAll_Click();
    void chkEnableAutoReport_Click();
    void cmdAdd_Click();
    void cmdDelete_Click();
    // Edits the line of row (a click on it).
    void List1_Click(int row);
    void cmdSendMsg_Click();
    void cmdOKButton_Click();
    void Form_DblClick();
    // Closing waits for a raw message being sent.
    void reject() override;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    QWidget* buildRadioPage();
    QWidget* buildChannelPage(const QString& heading, QLineEdit* (&boxes)[FS_CHANNELS], const char* name,
                              const QString& toolTip, const QString& hint);
    QWidget* buildInputPage();
    QWidget* buildAdvancedPage();
    void load();
    bool checkFleet(int radio);
    bool checkId(int radio);
    bool showVerdict(QLineEdit* box, const BoxVerdict& verdict);
    // Asks for a mobile until an answer is accepted or the user gives up; empty then.
    std::optional<MobileEntry> askMobile(const QString& prompt, const QString& title, const QString& first);

    FleetSyncView view_;
    QTabWidget* tabs_ = nullptr;
    QWidget* pages_[5] = {};
    QGroupBox* radioFrames_[FS_RADIOS] = {};
    QLineEdit* fleet_[FS_RADIOS] = {};
    QLineEdit* id_[FS_RADIOS] = {};
    QCheckBox* enable_[FS_RADIOS] = {};
    QCheckBox* monitoring_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QLineEdit* inputOn_[FS_CHANNELS] = {};
    QLineEdit* inputOff_[FS_CHANNELS] = {};
    QLineEdit* analog_[FS_CHANNELS] = {};
    QLineEdit* temp_[FS_CHANNELS] = {};
    QCheckBox* enableAll_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;
    QListWidget* list_ = nullptr;
    QCheckBox* manualAck_ = nullptr;
    QComboBox* period_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* sendMsg_ = nullptr;

    // What OK will store; the controls are loaded from it and put back into it.
    FleetSyncSettings edit_;
};

} // namespace korvel

// The serial port dialog driven offscreen: what it shows for each port and target, the
// protocol rules as the dialog applies them, the properties it opens, OK and Cancel,
// and an edit that reaches the module.
#include "app/boundedfield.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "editors/station/frmKenwood.h"
#include "editors/station/frmModemProperty.h"
#include "editors/station/frmNMEAProperty.h"
#include "editors/station/frmSport.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/configdiff.h"
#include "support/dialoghelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kUnexpected = QStringLiteral(
    "An unexpected value was returned from the device.\r\n"
    "Ensure the settings are correct and then upload the data to the device.\r\n");
const QString kModeReset = QStringLiteral(
    "Fleetsync mode selected. The module mode has been reset to SLAVE-NOMAPPING.\n\r"
    "If master mode is required, return to the system window and change module mode to MASTER");
const QString kPowerSaveOff =
    QStringLiteral("Fleetsync protocol does not support power save mode.\n\rPower save mode has been disabled");

double& Element(int e) { return config().SystemConfig[e]; }

class SerialPortDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(2);
        Element(MY_ADDRESS) = 1;
        Element(MODULE_MODE) = 0x20;  // slave without mapping, serial port 2
        Element(START_UP_OPTIONS) = 0;
        Port(1, 0x03, 0x00, 2, 5, 3);
        Port(2, 0x16, 0x10, 1, 20, 4);
        linkState().StationAddress[0] = 0;
    }
    static void Port(int port, int ccb2, int ccb3, double dump, double retryTime, double retries) {
        const int base = port == 1 ? SPORT1_CCB2 : SPORT2_CCB2;
        Element(base) = ccb2;
        Element(base + 1) = ccb3;
        Element(base + 2) = dump;
        Element(base + 3) = retryTime;
        Element(base + 4) = retries;
    }
    frmSport& Show(int port) {
        session().SerialPortSelector = static_cast<int16_t>(port);
        dialog = std::make_unique<frmSport>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    QStringList Texts() const { return ShownTexts(prompts); }
    std::unique_ptr<frmSport> dialog;
};

TEST_F(SerialPortDialogTest, OpensOnThePortsValuesWithPort1sRateFixed) {
    frmSport& d = Show(1);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(d.windowTitle(), "Configuration - Serial Port 1, Station: Local(001)");
    EXPECT_FALSE(d.cboTransmissionBaudRate()->isEnabled());
    EXPECT_EQ(d.cboTransmissionBaudRate()->currentText(), "14400");
    EXPECT_EQ(d.cboProtocol()->currentText(), "BINMP");
    EXPECT_EQ(d.updDumpTime()->Value(), 200);
    EXPECT_EQ(d.updTransmissionRetrys()->Value(), 3) << "the stored values replace the protocol's defaults";
    EXPECT_EQ(d.updRetryTimeout()->Value(), 500);
    EXPECT_EQ(d.cboConnectionProtocol()->currentText(), "NONE");
    EXPECT_TRUE(d.Frame2()->isEnabled());
    EXPECT_TRUE(d.cboConnectionProtocol()->isEnabled());
    for (QWidget* w : {static_cast<QWidget*>(d.cboTransmissionBaudRate()), static_cast<QWidget*>(d.cboProtocol()),
                       static_cast<QWidget*>(d.updDumpTime()), static_cast<QWidget*>(d.updTransmissionRetrys()),
                       static_cast<QWidget*>(d.updRetryTimeout())}) {
        bool labelled = false;
        for (QLabel* l : d.findChildren<QLabel*>()) labelled |= l->buddy() == w;
        EXPECT_TRUE(labelled) << w->objectName().toStdString();
    }

    linkState().StationAddress[0] = 5;
    frmSport& remote = Show(2);
    EXPECT_EQ(remote.windowTitle(), "Configuration - Serial Port 2, Station: 005");
    EXPECT_TRUE(remote.cboTransmissionBaudRate()->isEnabled());
    EXPECT_EQ(remote.cboProtocol()->currentText(), "FLEETSYNC");
    EXPECT_EQ(remote.cboTransmissionBaudRate()->currentIndex(), 2) << "FleetSync's own rate";
    EXPECT_EQ(remote.updRetryTimeout()->Value(), 2000);
    EXPECT_EQ(remote.cboConnectionProtocol()->currentText(), "MODEM");
    EXPECT_FALSE(remote.cboConnectionProtocol()->isEnabled());
}

TEST_F(SerialPortDialogTest, AStoredRuleBreakIsShownOnOpeningAndStoredOnlyByOk) {
    Element(MODULE_MODE) = 0x20 | MODE_GATEWAY;
    Element(START_UP_OPTIONS) = 0x81;
    const StationConfig before = config();
    frmSport& d = Show(2);
    EXPECT_EQ(Texts(), QStringList({kModeReset, kPowerSaveOff}));
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    d.cmdCancel()->click();
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{}) << "Cancel changes nothing";

    Show(2).cmdOK()->click();
    StationConfig expected = before;
    expected.SystemConfig[MODULE_MODE] = 0x20;
    expected.SystemConfig[START_UP_OPTIONS] = 0x01;
    expected.SystemConfig[SPORT2_CCB2] = 0x12;
    EXPECT_EQ(ConfigDifferences(expected, config()), QStringList{});
}

TEST_F(SerialPortDialogTest, EachProtocolSetsTheControlsItNeeds) {
    frmSport& d = Show(2);
    d.cboProtocol()->setCurrentIndex(PORT_NMEA);
    EXPECT_FALSE(d.Frame2()->isEnabled());
    EXPECT_FALSE(d.cboConnectionProtocol()->isEnabled());
    EXPECT_EQ(d.cboTransmissionBaudRate()->currentText(), "4800");
    d.cboProtocol()->setCurrentIndex(PORT_PPP);
    EXPECT_TRUE(d.Frame2()->isEnabled());
    EXPECT_TRUE(d.cboConnectionProtocol()->isEnabled());
    d.cboProtocol()->setCurrentIndex(PORT_BINMP);
    EXPECT_EQ(d.cboTransmissionBaudRate()->currentText(), "38400") << "the stored rate of port 2";
    EXPECT_EQ(d.updRetryTimeout()->Value(), 500);
    EXPECT_EQ(d.updTransmissionRetrys()->Value(), 3);
    d.cboProtocol()->setCurrentIndex(PORT_FLEETSYNC);
    EXPECT_EQ(d.updRetryTimeout()->Value(), 15000);
    EXPECT_EQ(d.updTransmissionRetrys()->Value(), 1);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(SerialPortDialogTest, NmeaOnAPortSwitchesOffFleetSyncMonitoringOnOk) {
    config().FleetSyncConfig.Ccb1 = 0xC7;
    const StationConfig before = config();
    frmSport& d = Show(1);
    d.cboProtocol()->setCurrentIndex(PORT_NMEA);
    EXPECT_EQ(Texts(), QStringList{"Serial Port 2 is currently set to Fleetsync mode.\n\r"
                                   "Vistrel monitoring and secondary radios are disabled"});
    EXPECT_EQ(config().FleetSyncConfig.Ccb1, 0xC7) << "staged until OK";
    d.cmdCancel()->click();
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
    Show(1).cboProtocol()->setCurrentIndex(PORT_NMEA);
    dialog->cmdOK()->click();
    EXPECT_EQ(config().FleetSyncConfig.Ccb1, 0x81);
    EXPECT_EQ(Element(SPORT1_CCB2), 0x31);
}

TEST_F(SerialPortDialogTest, OkStoresEveryControlOfThePortAndNothingElse) {
    Port(2, 0x80 | 0x05, 0x8F, 2, 20, 4);
    StationConfig expected = config();
    frmSport& d = Show(2);
    d.cboTransmissionBaudRate()->setCurrentIndex(9);
    d.updDumpTime()->SetValue(400);
    d.updTransmissionRetrys()->SetValue(7);
    d.updRetryTimeout()->SetValue(1200);
    d.cboConnectionProtocol()->setCurrentIndex(3);
    d.cmdOK()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    expected.SystemConfig[SPORT2_CCB2] = 9;
    expected.SystemConfig[SPORT2_CCB3] = 0xBF;
    expected.SystemConfig[SPORT2_DUMP_TIME] = 4;
    expected.SystemConfig[SPORT2_RETRY_COUNT] = 7;
    expected.SystemConfig[SPORT2_RETRY_TIME] = 12;
    EXPECT_EQ(ConfigDifferences(expected, config()), QStringList{});
}

TEST_F(SerialPortDialogTest, ValuesWithoutAnEntryAreReportedOnceAndKept) {
    Port(2, 0x70 | 11, 0x50, 2, 250, 4);
    const StationConfig before = config();
    frmSport& d = Show(2);
    EXPECT_EQ(Texts(), QStringList{kUnexpected}) << "rate, protocol, connection and timeout: one message";
    EXPECT_EQ(prompts.Shown()[0].icon, vbNoIcon);
    EXPECT_EQ(d.cboTransmissionBaudRate()->currentIndex(), -1);
    EXPECT_EQ(d.cboProtocol()->currentIndex(), -1);
    EXPECT_EQ(d.cboConnectionProtocol()->currentIndex(), -1);
    d.cmdOK()->click();
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{}) << "what could not be shown is kept";
}

TEST_F(SerialPortDialogTest, ATypedValueBeyondItsLimitIsRefusedAtOk) {
    const StationConfig before = config();
    frmSport& d = Show(2);
    d.updRetryTimeout()->Box()->setFocus();
    d.updRetryTimeout()->Box()->setText(QStringLiteral("25000"));
    d.cmdOK()->click();
    EXPECT_EQ(Texts(), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
}

TEST_F(SerialPortDialogTest, PropertiesByItsAccessKeyChecksTheFocusedFieldFirst) {
    const StationConfig before = config();
    frmSport& d = Show(2);  // FleetSync, no connection protocol
    d.cboConnectionProtocol()->setCurrentIndex(0);
    Enter(d.updRetryTimeout(), "25000");
    PressAccessKey(d.cmdSetProperties());
    EXPECT_EQ(Texts(), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_EQ(modalDialogs, 0) << "no properties past a refused value";
    EXPECT_EQ(ControlName(QApplication::focusWidget()), "updRetryTimeout");

    Enter(d.updRetryTimeout(), "2000");
    WhenModal<frmKenwood>([](frmKenwood& k) { k.reject(); });
    PressAccessKey(d.cmdSetProperties());
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(d.updRetryTimeout()->Value(), 2000);
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{}) << "only OK stores";
}

TEST_F(SerialPortDialogTest, APellarShowsRateOnlyAndItsOwnListFromFirmware4786) {
    LoadPellar(0);
    Port(1, 0x02, 0, 2, 5, 3);
    Port(2, 0x07, 0, 2, 5, 3);
    const int16_t older[4] = {4, 7, 8, 5}, recent[4] = {4, 7, 8, 6};
    std::copy(std::begin(older), std::end(older), target().PellarVersion);
    frmSport& old = Show(2);
    EXPECT_TRUE(old.cboProtocol()->isHidden());
    EXPECT_TRUE(old.lblProtocol()->isHidden());
    EXPECT_TRUE(old.Frame3()->isHidden());
    EXPECT_FALSE(old.cboTransmissionBaudRate()->isEnabled());
    EXPECT_EQ(old.cboTransmissionBaudRate()->count(), 11);
    const int narrow = old.sizeHint().width();
    LoadKorvel(0);
    Port(2, 0x07, 0, 2, 5, 3);
    EXPECT_LT(narrow, Show(2).sizeHint().width()) << "the Pellar dialog is narrower";

    LoadPellar(0);
    Port(1, 0x02, 0, 2, 5, 3);
    Port(2, 0x07, 0, 2, 5, 3);
    std::copy(std::begin(recent), std::end(recent), target().PellarVersion);
    frmSport& port2 = Show(2);
    EXPECT_TRUE(port2.cboTransmissionBaudRate()->isEnabled());
    EXPECT_EQ(ListItems(port2.cboTransmissionBaudRate()).mid(0, 3), QStringList({"Default (9600)", "1200", "2400"}));
    EXPECT_EQ(port2.cboTransmissionBaudRate()->count(), 13);
    EXPECT_EQ(port2.cboTransmissionBaudRate()->currentText(), "28800") << "index 7 of its own list";
    frmSport& port1 = Show(1);
    EXPECT_FALSE(port1.cboTransmissionBaudRate()->isEnabled());
    EXPECT_EQ(port1.cboTransmissionBaudRate()->currentText(), "9600");
    port1.cmdOK()->click();
    EXPECT_EQ(Element(SPORT1_CCB2), 4);
}

TEST_F(SerialPortDialogTest, PropertiesOpenTheDialogOfTheProtocolOrConnection) {
    frmSport& d = Show(2);  // FleetSync, no connection protocol
    d.cboConnectionProtocol()->setCurrentIndex(0);
    QString shown;
    WhenModal<frmKenwood>([&](frmKenwood& k) { shown = k.objectName(); k.reject(); });
    d.cmdSetProperties()->click();
    EXPECT_EQ(shown, "frmKenwood");
    Element(MODULE_MODE) = 0x20 | 5;  // a mode the list has no entry for
    frmSport& refused = Show(2);
    prompts.QueueAnswer(vbOK);
    refused.cboConnectionProtocol()->setCurrentIndex(0);
    refused.cmdSetProperties()->click();
    EXPECT_EQ(Texts().last(), "Cannot configure Fleetsync as system mode is incorrect. Return to\n\r"
                              "System dialog and set Module Mode to either SLAVE-NOMAPPING or MASTER");
    EXPECT_EQ(modalDialogs, 1);

    refused.cboProtocol()->setCurrentIndex(PORT_NMEA);
    WhenModal<frmNMEAProperty>([&](frmNMEAProperty& n) { shown = n.objectName(); n.reject(); });
    refused.cmdSetProperties()->click();
    EXPECT_EQ(shown, "frmNMEAProperty");
    refused.cboProtocol()->setCurrentIndex(PORT_BINMP);
    refused.cboConnectionProtocol()->setCurrentIndex(1);
    WhenModal<frmModemProperty>([&](frmModemProperty& m) { shown = m.objectName(); m.reject(); });
    refused.cmdSetProperties()->click();
    EXPECT_EQ(shown, "frmModemProperty");
    refused.cboConnectionProtocol()->setCurrentIndex(2);
    refused.cmdSetProperties()->click();  // no dialog for a digital radio
    EXPECT_EQ(modalDialogs, 3);
}

TEST_F(SerialPortDialogTest, AnEditFromTheMenuReachesTheModuleByteForByte) {
    ServeKorvel(0);
    auto expected = sim.Blocks();
    QByteArray& system = expected[{sim::kBlockSystem, 0}];
    const int ccb2 = 1 + SPORT2_CCB2;
    system[ccb2] = char((system[ccb2] & 0x70) | 8);  // 57600
    system[1 + SPORT2_DUMP_TIME] = char(30);
    system[1 + SPORT2_RETRY_COUNT] = char(9);
    ASSERT_TRUE(ReadConfiguration());

    WhenShown<frmSport>([](frmSport& d) {
        d.cboTransmissionBaudRate()->setCurrentIndex(8);
        d.updDumpTime()->SetValue(3000);
        d.updTransmissionRetrys()->SetValue(9);
        d.cmdOK()->click();
    });
    Trigger(MenuItem::mnuPortsSerial2);
    ASSERT_EQ(modalDialogs, 2);

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace

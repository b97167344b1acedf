// The system dialog driven offscreen: what it shows, the rules of each choice, the OK
// order with its stops, Cancel, the debug entry, and an edit that reaches the module.
#include "app/boundedfield.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "editors/station/frmSystem.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "support/configdiff.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kPathQuestion = QStringLiteral(
    "Warning: selecting the wrong primary transmission path will make the device\r\n"
    "unable to send status events.\r\n\r\nAre you sure you want to change the primary transmission path?");
const QString kUnexpected = QStringLiteral(
    "An unexpected value was returned from the device.\r\n"
    "Ensure the settings are correct and then upload the data to the device.\r\n");
const QString kPowerSaveRefused = QStringLiteral(
    "Power save mode is not supported when Port protocol is set to Fleetsync.\n\rPower save mode has been disabled");

double& Element(int e) { return config().SystemConfig[e]; }

class SystemDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(2);
    }
    frmSystem& Show() {
        dialog = std::make_unique<frmSystem>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    QStringList Texts() const { return ShownTexts(prompts); }
    static void Fleet(bool on) { Element(SPORT2_CCB2) = on ? 0x12 : 0x02; }
    std::unique_ptr<frmSystem> dialog;
};

TEST_F(SystemDialogTest, OpensOnTheConfigurationsValues) {
    Element(MY_ADDRESS) = 7;
    Element(MODULE_MODE) = 2 + 16 * 2;
    Element(START_UP_DELAY) = 25;
    Element(START_UP_OPTIONS) = 0x41;
    Element(FFSK_CCB3) = 128 + 9;
    Element(SLEEP_TIME) = 64 + 5;
    Element(SLEEP_RETURN) = 30;
    frmSystem& d = Show();
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(d.windowTitle(), "System Configuration, Station: ");
    EXPECT_EQ(d.txtMyAddress()->text(), "007");
    EXPECT_EQ(d.cboModuleMode()->currentText(), "MASTER");
    EXPECT_EQ(d.cboTransmissionPath()->currentText(), "SERIAL PORT 2");
    EXPECT_EQ(d.updStartUpDelay()->Value(), 25);
    EXPECT_TRUE(d.ckbSSAtPowerUp()->isChecked());
    EXPECT_TRUE(d.ckbCOSWakeUp()->isChecked());
    EXPECT_FALSE(d.ckbEnablePowerSave()->isChecked());
    EXPECT_FALSE(d.updCycle()->isEnabled()) << "power save off";
    EXPECT_EQ(d.updCycle()->Text(), "5") << "the sleep period";
    EXPECT_EQ(d.updCycle()->Value(), 9) << "the FFSK port's period, until the field is changed";
    EXPECT_EQ(d.cboPeriodType()->currentText(), "Minutes");
    EXPECT_EQ(d.updSleepReturn()->Value(), 30);
    EXPECT_EQ(d.lsbStationConfiguration()->count(), 2);
    EXPECT_EQ(d.lsbStationConfiguration()->item(1)->text(), "CHILD MODULES = 2");
    // Every field is found by its label.
    for (QWidget* w : {static_cast<QWidget*>(d.txtMyAddress()), static_cast<QWidget*>(d.cboModuleMode()),
                       static_cast<QWidget*>(d.updStartUpDelay()), static_cast<QWidget*>(d.updCycle())}) {
        bool labelled = false;
        for (QLabel* l : d.findChildren<QLabel*>()) labelled |= l->buddy() == w;
        EXPECT_TRUE(labelled) << w->objectName().toStdString();
    }
}

TEST_F(SystemDialogTest, CancelAndAStoppedOkChangeNothingEvenTheRepairedSleepPeriod) {
    Element(FFSK_CCB3) = 0;
    Element(MODULE_MODE) = 3 + 16;  // a gateway
    Element(MY_ADDRESS) = 9;
    const StationConfig before = config();
    frmSystem& d = Show();
    EXPECT_EQ(d.updCycle()->Value(), 1) << "the repair shows";
    d.cmdOK()->click();
    EXPECT_EQ(Texts(), QStringList{"Error, Gateway mode: Address must be 0, please renter"});
    EXPECT_EQ(d.txtMyAddress()->text(), "0");
    EXPECT_EQ(QApplication::focusWidget(), d.txtMyAddress());
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
    d.cmdCancel()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
}

TEST_F(SystemDialogTest, OkStoresEveryControlAndTheRepair) {
    Element(FFSK_CCB3) = 0;
    Element(START_UP_OPTIONS) = 0x3E;
    Element(SAMPLE_TIME) = 200;
    frmSystem& d = Show();
    d.txtMyAddress()->setText(QStringLiteral("200"));
    prompts.QueueAnswer(vbOK);
    d.cboTransmissionPath()->setCurrentIndex(1);
    d.updStartUpDelay()->SetValue(33);
    d.ckbSSAtPowerUp()->setChecked(true);
    d.ckbEnablePowerSave()->setChecked(true);
    d.updCycle()->stepBy(4);  // the arrows set both periods
    d.cboPeriodType()->setCurrentIndex(2);
    d.updSleepReturn()->SetValue(99);
    StationConfig expected = config();
    d.cmdOK()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    expected.SystemConfig[MY_ADDRESS] = 200;
    expected.SystemConfig[MODULE_MODE] = 0 + 16 * 2;
    expected.SystemConfig[START_UP_DELAY] = 33;
    expected.SystemConfig[START_UP_OPTIONS] = 0x3E | 0x81;
    expected.SystemConfig[SLEEP_TIME] = 5 + 128;
    expected.SystemConfig[FFSK_CCB3] = 5 + 128;
    expected.SystemConfig[SLEEP_RETURN] = 99;
    EXPECT_EQ(ConfigDifferences(expected, config()), QStringList{});
}

TEST_F(SystemDialogTest, EachModeSetsTheAddressAndPowerUpStatusBoxes) {
    Element(START_UP_OPTIONS) = 1;
    Element(MY_ADDRESS) = 12;
    frmSystem& d = Show();
    const struct {
        int mode;
        bool addressEnabled;
        const char* address;
        bool statusEnabled;
    } rows[] = {{1, true, "012", false}, {0, true, "012", true}, {2, true, "000", false}, {3, false, "000", false}};
    for (const auto& r : rows) {
        d.cboModuleMode()->setCurrentIndex(r.mode);
        EXPECT_EQ(d.txtMyAddress()->isEnabled(), r.addressEnabled) << r.mode;
        EXPECT_EQ(d.txtMyAddress()->text(), r.address) << r.mode;
        EXPECT_EQ(d.ckbSSAtPowerUp()->isEnabled(), r.statusEnabled) << r.mode;
        EXPECT_TRUE(d.ckbSSAtPowerUp()->isChecked()) << "the value stays";
    }
    d.cmdOK()->click();  // a gateway with "000" passes
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(Element(MODULE_MODE), 3 + 48);
    EXPECT_EQ(Element(START_UP_OPTIONS), 1);
}

TEST_F(SystemDialogTest, AnEmptyAddressIsRefusedWhenLeftAndAddressesAreCheckedPerModeOnOk) {
    frmSystem& d = Show();
    d.txtMyAddress()->setFocus();
    d.txtMyAddress()->clear();
    d.cboModuleMode()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Texts(), QStringList{"Nothing was entered in the field, please enter valid data!"});
    EXPECT_EQ(d.txtMyAddress()->text(), "1") << "a slave's reset";
    EXPECT_EQ(QApplication::focusWidget(), d.txtMyAddress());

    d.txtMyAddress()->setText(QStringLiteral("255"));
    d.cmdOK()->click();
    EXPECT_EQ(Texts().last(), "Error, Slave mode: Address must be between 1 and 254, please renter");
    EXPECT_TRUE(d.isVisible());
    d.cboModuleMode()->setCurrentIndex(2);
    d.txtMyAddress()->setText(QStringLiteral("255"));
    d.cmdOK()->click();
    EXPECT_EQ(Element(MY_ADDRESS), 255);
}

TEST_F(SystemDialogTest, APathChangeIsConfirmedOrTakenBack) {
    frmSystem& d = Show();
    ASSERT_EQ(d.cboTransmissionPath()->currentIndex(), 2);
    prompts.QueueAnswer(vbCancel);
    d.cboTransmissionPath()->setCurrentIndex(0);
    EXPECT_EQ(d.cboTransmissionPath()->currentIndex(), 2);
    ASSERT_EQ(prompts.Shown().size(), 1) << "taking it back asks nothing";
    EXPECT_EQ(prompts.Shown()[0].text, kPathQuestion);
    EXPECT_EQ(prompts.Shown()[0].title, "Confirmation Required");
    EXPECT_EQ(prompts.Shown()[0].buttons, vbOKCancel);
    prompts.QueueAnswer(vbOK);
    d.cboTransmissionPath()->setCurrentIndex(3);
    EXPECT_EQ(d.cboTransmissionPath()->currentIndex(), 3);
    prompts.QueueAnswer(vbCancel);
    d.cboTransmissionPath()->setCurrentIndex(0);
    EXPECT_EQ(d.cboTransmissionPath()->currentIndex(), 3) << "back to the last accepted path";
    d.cmdOK()->click();
    EXPECT_EQ(Element(MODULE_MODE), 0 + 16 * 4);
}

TEST_F(SystemDialogTest, PathCodeZeroShowsNoPathAndStoresNone) {
    Element(MODULE_MODE) = 1;
    frmSystem& d = Show();
    EXPECT_EQ(d.cboTransmissionPath()->currentIndex(), -1);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    d.cmdOK()->click();
    EXPECT_EQ(Element(MODULE_MODE), 1);
}

TEST_F(SystemDialogTest, PowerSaveIsRefusedWithAFleetSyncPort2) {
    Fleet(true);
    frmSystem& d = Show();
    d.ckbEnablePowerSave()->setChecked(true);
    EXPECT_EQ(Texts(), QStringList{kPowerSaveRefused});
    EXPECT_FALSE(d.ckbEnablePowerSave()->isChecked());
    EXPECT_FALSE(d.updCycle()->isEnabled());

    // Opened with the bit set, the refusal comes while loading; the box ends cleared
    // with the sleep controls left enabled, and OK clears the bit.
    Element(START_UP_OPTIONS) = 0x80;
    prompts.Clear();
    frmSystem& again = Show();
    EXPECT_EQ(Texts(), QStringList{kPowerSaveRefused});
    EXPECT_FALSE(again.ckbEnablePowerSave()->isChecked());
    EXPECT_TRUE(again.updCycle()->isEnabled());
    EXPECT_TRUE(again.chkChild()->isChecked()) << "what the module reported";
    again.cmdOK()->click();
    EXPECT_EQ(Element(START_UP_OPTIONS), 0);
}

TEST_F(SystemDialogTest, OkStopsForAFleetSyncModeThenPasses) {
    Fleet(true);
    const StationConfig before = config();
    frmSystem& d = Show();
    d.cboModuleMode()->setCurrentIndex(1);
    d.txtMyAddress()->setText(QStringLiteral("5"));
    d.cmdOK()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Port 2 protocol is currently set to FLEETSYNC.\n\r"));
    EXPECT_EQ(d.cboModuleMode()->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), d.cboModuleMode());
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{}) << "nothing stored at the stop";
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Element(MODULE_MODE), 0 + 48);
    EXPECT_EQ(Element(MY_ADDRESS), 5);
}

TEST_F(SystemDialogTest, BroadcastRadioAndSampleTimeRulesStageTheirChangesForTheNextOk) {
    config().FleetSyncConfig.FleetNumber[0] = 0;
    Element(SAMPLE_TIME) = 1;
    Element(START_UP_OPTIONS) = 0x80;
    Element(SLEEP_TIME) = 65;
    const StationConfig before = config();
    frmSystem& d = Show();
    d.cboModuleMode()->setCurrentIndex(2);
    d.cmdOK()->click();
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("FLEETSYNC Radio 1 Properties contains broadcast"));
    EXPECT_TRUE(prompts.Shown()[1].text.startsWith("Sleep time is greater than the value set"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
    d.cmdOK()->click();
    EXPECT_EQ(prompts.Shown().size(), 2) << "the second OK passes both rules";
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Element(SAMPLE_TIME), 65);
    EXPECT_EQ(config().FleetSyncConfig.FleetNumber[0], 100);
    EXPECT_EQ(config().FleetSyncConfig.IDNumber[0], 1000);
}

TEST_F(SystemDialogTest, OkChecksTheFieldThatHasTheFocus) {
    frmSystem& d = Show();
    d.updStartUpDelay()->setFocus();
    d.updStartUpDelay()->SetText(QString());
    d.cmdOK()->click();  // as Enter in the field presses it
    EXPECT_EQ(Texts(), QStringList{"Nothing was entered in the field, please enter valid data!"});
    EXPECT_EQ(d.updStartUpDelay()->Text(), "0") << "this field's reset";
    EXPECT_TRUE(d.isVisible());
    d.cmdOK()->click();
    EXPECT_EQ(Texts().last(), "Value less than minimum, value is reset to minimum");
    // The same bad value typed again over the reset and left is refused again.
    TypeAtFocus(QStringLiteral("0"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Texts().size(), 3);
    EXPECT_EQ(d.updStartUpDelay()->Text(), "1");
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Element(START_UP_DELAY), 1);
}

TEST_F(SystemDialogTest, APellarOffersTwoPathsAndLocksWhatItCannotUse) {
    LoadPellar(0x21);
    Element(MODULE_MODE) = 16 * 3;  // the FFSK modem, which a Pellar has not
    frmSystem& d = Show();
    EXPECT_EQ(Texts(), QStringList{kUnexpected});
    EXPECT_EQ(ListItems(d.cboTransmissionPath()), (QStringList{"SERIAL PORT 1", "SERIAL PORT 2"}));
    for (QWidget* w : {static_cast<QWidget*>(d.cboModuleMode()), static_cast<QWidget*>(d.updStartUpDelay()),
                       static_cast<QWidget*>(d.ckbSSAtPowerUp()), static_cast<QWidget*>(d.fraSleep())})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    prompts.QueueAnswer(vbOK);
    d.cboTransmissionPath()->setCurrentIndex(1);
    d.GetSystemInfo();  // as the diagnostics do after an address allocation
    EXPECT_EQ(ListItems(d.cboTransmissionPath()), (QStringList{"SERIAL PORT 1", "SERIAL PORT 2"}));
    EXPECT_EQ(d.cboTransmissionPath()->currentIndex(), 1);
    d.cmdOK()->click();
    EXPECT_EQ(Element(MODULE_MODE), 16 * 2);
}

TEST_F(SystemDialogTest, TheDebugEntryAsksForThePasswordOnlyOnLineWithAKorvel) {
    Fake(WindowId::frmSysDiag);
    ownerIsMainWindow = false;
    frmSystem& d = Show();
    d.Form_DblClick();
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "off line";
    session().Online = 1;
    prompts.QueueInput(QStringLiteral("wrpx5068"));
    prompts.QueueInput(std::nullopt);
    prompts.QueueInput(QStringLiteral("WRPX5068"));
    for (int i = 0; i < 3; ++i) d.Form_DblClick();
    ASSERT_EQ(prompts.Shown().size(), 3);
    EXPECT_EQ(prompts.Shown()[0].text, "To enter debug mode, Please provide a password.");
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::Input);
    EXPECT_EQ(opened, QList<WindowId>{WindowId::frmSysDiag}) << "only the exact password";
    EXPECT_EQ(owners, QList<QWidget*>{&d});
    target().PellarDevice = true;
    d.Form_DblClick();
    EXPECT_EQ(prompts.Shown().size(), 3);
}

TEST_F(SystemDialogTest, HintTextFollowsTheLoadedStation) {
    EXPECT_TRUE(frmSystem::LoadHintPanel(2, 0).startsWith("Module Mode: MASTER"));
    Fleet(true);
    EXPECT_TRUE(frmSystem::LoadHintPanel(2, 0).startsWith("FleetSync Mode:"));
    target().PellarDevice = true;
    EXPECT_EQ(frmSystem::LoadHintPanel(2, 2), "");
}

TEST_F(SystemDialogTest, AnEditAfterAReadReachesTheModuleByteForByte) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    sim.SetKorvel(0);
    session().ConfigLoaded = false;  // nothing to lose
    auto expected = sim.Blocks();
    QByteArray& system = expected[{sim::kBlockSystem, 0}];
    system[1 + MY_ADDRESS] = char(77);
    system[1 + MODULE_MODE] = char(0x20);  // serial port 2
    system[1 + START_UP_DELAY] = char(25);
    system[1 + START_UP_OPTIONS] = char(system[1 + START_UP_OPTIONS] | 1);
    settings().PacketTimeout = 20;
    Open(true);
    ConnectToSimWhenAsked();
    WhenShown<frmSystem>([this](frmSystem& d) {
        d.txtMyAddress()->setText(QStringLiteral("77"));
        prompts.QueueAnswer(vbOK);
        d.cboTransmissionPath()->setCurrentIndex(1);
        d.updStartUpDelay()->SetValue(25);
        d.ckbSSAtPowerUp()->setChecked(true);
        d.cmdOK()->click();
    });
    Press(ToolButton::Read);
    ASSERT_EQ(modalDialogs, 2);
    ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));

    prompts.QueueAnswer(vbYes);  // although its address differs
    WriteToSim();
    ASSERT_EQ(Panel(2), QStringLiteral("Configuration Uploaded"));
    ExpectSimBlocks(expected);
}

} // namespace

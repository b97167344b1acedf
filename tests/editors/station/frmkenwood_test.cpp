// The FleetSync properties dialog driven offscreen: master and slave texts, the radio
// boxes' checks, the permitted mobiles, what OK stores and Cancel keeps, the NMEA port,
// the raw message on the wire and an edit that reaches the module.
#include "model/systemvalues.h"
#include "editors/station/frmKenwood.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/configdiff.h"
#include "support/dialoghelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kFleetRange = QStringLiteral("Fleet number must be zero or, between 100 and 349, please renter");
const QString kFormat = QStringLiteral("Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII");

void Click(QWidget* w, QPoint at) {
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(t, at, w->mapToGlobal(at), Qt::LeftButton, t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

void DoubleClick(QWidget* w) {
    const QPoint at(4, 4);
    QMouseEvent e(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void ClickLine(QListWidget* list, int row) {
    Click(list->viewport(), list->visualItemRect(list->item(row)).center());
}

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int k = 0; k < list->count(); ++k) lines << list->item(k)->text();
    return lines;
}

// Moves into the box as Tab would and replaces its text by typing.
void Enter(QLineEdit* box, const QString& text) {
    box->setFocus(Qt::TabFocusReason);
    box->selectAll();
    TypeKey(box, Qt::Key_Backspace, QStringLiteral("\b"));
    TypeText(box, text);
}

void Leave(QWidget* to) { to->setFocus(Qt::TabFocusReason); }

class KenwoodTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(0);
        FleetSyncSettings& s = config().FleetSyncConfig;
        s.Ccb1 = 0x80 | 0x08 | 0x02;  // list in force, radio 2, and a bit not edited here
        s.Ccb2 = 0x55;
        s.Ccb3 = 0x66;
        s.ReportTime = 3;  // "45 Min", manual ACK off
        s.FleetNumber[1] = 0;
        s.IDNumber[2] = 4321;
        s.SecurityFleet[0] = 120;
        s.SecurityIDNumber[0] = 1201;
        s.SecurityFleet[2] = 130;  // slot 1 is empty
        s.SecurityIDNumber[2] = 1302;
        s.SecurityFleet[3] = 140;
        s.SecurityIDNumber[3] = 1403;
        s.InputTagOn[0] = "Door open";
        s.TempTag[7] = "Freezer";
    }
    frmKenwood& Show(FleetSyncView view = {}) {
        dialog = std::make_unique<frmKenwood>(nullptr, view);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    static FleetSyncView Master() { return FleetSyncView{MODE_MASTER, PORT_FLEETSYNC, 0}; }
    QStringList Texts() const { return ShownTexts(prompts); }
    // OK pressed on d; the configuration's changes since before.
    QStringList ChangesAfterOk(frmKenwood& d, const StationConfig& before) {
        d.cmdOKButton()->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        return ConfigDifferences(before, config());
    }
    std::unique_ptr<frmKenwood> dialog;
};

TEST_F(KenwoodTest, ASlaveShowsItsHintAndTheMonitoringBoxNamesRadioOne) {
    frmKenwood& d = Show();
    EXPECT_EQ(d.windowTitle(), "Kenwood FleetSync Properties");
    EXPECT_TRUE(d.isModal());
    QStringList tabs;
    for (int k = 0; k < d.TabStrip1()->count(); ++k) tabs << Shown(d.TabStrip1()->tabText(k));
    EXPECT_EQ(tabs, (QStringList{"Radio", "Input Channels", "Analog Channels", "Temperature Channels", "Advanced "}));
    EXPECT_EQ(d.TabStrip1()->currentIndex(), 0);
    EXPECT_EQ(d.txtSiteHint()->toPlainText(),
              "Module is configured for SLAVE. Up to three radios may receive notification of site events. Radio 1 is "
              "ALWAYS sent event notification. Additional radios can be be specified in the Radio 2 and 3 panels. "
              "Each radio unit is identified by a combinationof its Fleet number and ID Number. The radio 's Fleet/ID "
              "number is present in all FleetSync transmissions and should be set within the range of 100 - 349 for "
              "Fleet, and within 1000 - 4999 for ID. The broadcast facility may also be used to notify a fleet or a "
              "group of mobiles across fleets. Check the Enable Vistrel box if this Korvel is being monitored by the "
              "Vistrel graphical monitoring package. The radio specified in Vistrel radio panel must be set to the "
              "address of the radio located at the central monitoring location and connected to the computer "
              "running Vistrel");
    EXPECT_FALSE(d.ckbEnableSVMonitoring()->isHidden());
    EXPECT_EQ(d.fraRadio1(0)->title(), "Radio One Fleet/ID Number");
    d.ckbEnableSVMonitoring()->click();
    EXPECT_EQ(d.fraRadio1(0)->title(), "Vistrel Radio Fleet/ID Number");
    d.ckbEnableSVMonitoring()->click();
    EXPECT_EQ(d.fraRadio1(0)->title(), "Radio One Fleet/ID Number");
    EXPECT_EQ(d.fraRadio1(2)->title(), "Radio Three Fleet/ID Number");

    // Every box is named by its label.
    QList<QWidget*> boxes;
    for (int r = 0; r < 3; ++r) boxes << d.txtFleetNumber(r) << d.txtIDNumber(r);
    for (int i = 0; i < 8; ++i) boxes << d.txtIChanOn(i) << d.txtAChan(i) << d.txtTChan(i);
    boxes << d.List1() << d.cboReportTime();
    for (QWidget* w : boxes) {
        bool labelled = false;
        for (const QLabel* l : d.findChildren<QLabel*>()) labelled |= l->buddy() == w;
        EXPECT_TRUE(labelled) << w->objectName().toStdString();
    }

    // The test button comes and goes with a double click on the form.
    EXPECT_TRUE(d.cmdSendMsg()->isHidden());
    DoubleClick(&d);
    EXPECT_FALSE(d.cmdSendMsg()->isHidden());
    DoubleClick(d.fraKenwood(0));
    EXPECT_TRUE(d.cmdSendMsg()->isHidden());
}

TEST_F(KenwoodTest, AMasterNamesRadioOneItsBaseAndHidesTheMonitoringBox) {
    config().FleetSyncConfig.Ccb1 |= FS_MONITORED;
    frmKenwood& d = Show(Master());
    EXPECT_EQ(d.fraRadio1(0)->title(), "Master/Base Radio Fleet/ID Number");
    EXPECT_TRUE(d.ckbEnableSVMonitoring()->isHidden());
    EXPECT_EQ(d.txtSiteHint()->toPlainText(),
              "Module is configured for MASTER. The Master/Base ID address must be set to a 'base' ID that the "
              "module's station map address will be added to. For example if the base is set to 1000 and the "
              "station map for an output is set to 20, then the resultant radio ID (Korvel) that will receive the "
              "event for that output will be 1020. NOTE: That the Radio 2 and Radio 3 IDs may be set normally. "
              "These radios if selected, will receive normal Fleetsync captions that are entered in the "
              "descriptors tabs.");
}

TEST_F(KenwoodTest, LoadsEveryFieldAndTheBoxesThatDependOnTheChecks) {
    config().FleetSyncConfig.FleetNumber[2] = 23456;  // more digits than can be typed
    frmKenwood& d = Show();
    EXPECT_EQ(d.txtFleetNumber(0)->text(), "100");
    EXPECT_EQ(d.txtFleetNumber(1)->text(), "000");
    EXPECT_EQ(d.txtFleetNumber(2)->text(), "23456");
    EXPECT_EQ(d.txtIDNumber(0)->text(), "1000");
    EXPECT_EQ(d.txtIDNumber(2)->text(), "4321");
    EXPECT_TRUE(d.ckbEnable(1)->isChecked());
    EXPECT_FALSE(d.ckbEnable(2)->isChecked());
    EXPECT_FALSE(d.ckbEnableSVMonitoring()->isChecked());
    EXPECT_FALSE(d.chkEnableAll()->isChecked());
    EXPECT_TRUE(d.List1()->isEnabled());
    EXPECT_EQ(Lines(d.List1()), (QStringList{"120:1201", "130:1302", "140:1403"}));
    EXPECT_EQ(d.txtIChanOn(0)->text(), "Door open");
    EXPECT_EQ(d.txtTChan(7)->text(), "Freezer");
    EXPECT_FALSE(d.chkEnableAutoReport()->isChecked());
    EXPECT_EQ(d.cboReportTime()->currentText(), "45 Min");
    EXPECT_FALSE(d.cboReportTime()->isEnabled());
    d.chkEnableAutoReport()->click();
    EXPECT_TRUE(d.cboReportTime()->isEnabled());
    d.chkEnableAll()->click();
    EXPECT_FALSE(d.cmdAdd()->isEnabled() || d.cmdDelete()->isEnabled() || d.List1()->isEnabled());
    const StationConfig before = config();
    d.chkEnableAll()->click();
    d.chkEnableAutoReport()->click();
    // Untouched, OK stores what was loaded, the long fleet number whole; the mobiles
    // close the empty slot up.
    EXPECT_EQ(ChangesAfterOk(d, before),
              (QStringList{"FleetSyncConfig.SecurityFleet[1]: 0 -> 130", "FleetSyncConfig.SecurityFleet[2]: 130 -> 140",
                           "FleetSyncConfig.SecurityFleet[3]: 140 -> 0", "FleetSyncConfig.SecurityIDNumber[1]: 0 -> 1302",
                           "FleetSyncConfig.SecurityIDNumber[2]: 1302 -> 1403",
                           "FleetSyncConfig.SecurityIDNumber[3]: 1403 -> 0"}));
}

TEST_F(KenwoodTest, OkCompactsTheMobilesAndStoresEachControl) {
    const StationConfig before = config();
    frmKenwood& d = Show();
    d.ckbEnable(1)->click();
    d.ckbEnable(2)->click();
    d.ckbEnableSVMonitoring()->click();
    d.chkEnableAutoReport()->click();
    d.cboReportTime()->setCurrentIndex(2);
    Enter(d.txtFleetNumber(2), "349");
    Enter(d.txtIDNumber(1), "4999");
    d.TabStrip1()->setCurrentIndex(1);
    Enter(d.txtIChanOff(3), QString::fromLatin1("Valve \xE9") + QStringLiteral("\u20AC"));
    Enter(d.txtIChanOn(0), QString(25, u'x'));
    d.TabStrip1()->setCurrentIndex(4);
    d.List1()->setCurrentRow(2);
    d.cmdDelete()->click();
    d.chkEnableAll()->click();
    const QStringList changes = ChangesAfterOk(d, before);
    EXPECT_EQ(changes, (QStringList{
                           "FleetSyncConfig.Ccb1: 138 -> 76",
                           "FleetSyncConfig.ReportTime: 3 -> 130",
                           "FleetSyncConfig.FleetNumber[2]: 100 -> 349",
                           "FleetSyncConfig.IDNumber[1]: 1000 -> 4999",
                           "FleetSyncConfig.SecurityFleet[1]: 0 -> 130",
                           "FleetSyncConfig.SecurityFleet[2]: 130 -> 0",
                           "FleetSyncConfig.SecurityFleet[3]: 140 -> 0",
                           "FleetSyncConfig.SecurityIDNumber[1]: 0 -> 1302",
                           "FleetSyncConfig.SecurityIDNumber[2]: 1302 -> 0",
                           "FleetSyncConfig.SecurityIDNumber[3]: 1403 -> 0",
                           QString::fromLatin1("FleetSyncConfig.InputTagOff[3]: \"\" -> \"Valve \xE9\""),
                           "FleetSyncConfig.InputTagOn[0]: \"Door open\" -> \"xxxxxxxxxxxxxxxxxxxx\"",
                       }));
    EXPECT_TRUE(prompts.Shown().isEmpty());

    // The dialog opens again on what was stored.
    frmKenwood& again = Show();
    EXPECT_EQ(Lines(again.List1()), (QStringList{"120:1201", "130:1302"}));
    EXPECT_TRUE(again.chkEnableAll()->isChecked());
}

TEST_F(KenwoodTest, CancelStoresNothing) {
    const StationConfig before = config();
    frmKenwood& d = Show();
    d.ckbEnable(2)->click();
    d.chkEnableAutoReport()->click();
    Enter(d.txtFleetNumber(0), "200");
    d.List1()->clearSelection();
    prompts.QueueInput(QStringLiteral("300:3000"));
    d.cmdAdd()->click();
    d.cmdCancelButton()->setFocus(Qt::MouseFocusReason);
    d.cmdCancelButton()->click();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
}

TEST_F(KenwoodTest, TheRadioBoxesRefuseOutOfRangeNumbersAndAMastersBroadcastBase) {
    frmKenwood& d = Show(Master());
    Enter(d.txtFleetNumber(0), "0");
    Leave(d.txtIDNumber(0));
    EXPECT_EQ(d.txtFleetNumber(0)->text(), "100");
    EXPECT_EQ(QApplication::focusWidget(), d.txtFleetNumber(0));
    Enter(d.txtIDNumber(0), "");
    Leave(d.txtFleetNumber(1));
    EXPECT_EQ(d.txtIDNumber(0)->text(), "1000") << "empty is broadcast, which the base cannot be";
    EXPECT_EQ(QApplication::focusWidget(), d.txtIDNumber(0));
    Enter(d.txtIDNumber(0), "4999");
    Enter(d.txtFleetNumber(1), "000");
    Enter(d.txtIDNumber(1), "0");
    Enter(d.txtFleetNumber(2), "99");
    Leave(d.txtIDNumber(2));
    EXPECT_EQ(d.txtFleetNumber(2)->text(), "");
    EXPECT_EQ(QApplication::focusWidget(), d.txtFleetNumber(2));
    Enter(d.txtFleetNumber(2), "350");
    Leave(d.txtIDNumber(2));
    Enter(d.txtFleetNumber(2), "");
    Enter(d.txtIDNumber(2), "5000");
    // OK checks the box that has the focus first, and stops there.
    d.cmdOKButton()->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.txtIDNumber(2)->text(), "");
    EXPECT_EQ(QApplication::focusWidget(), d.txtIDNumber(2));
    EXPECT_EQ(Texts(), (QStringList{
                           "Invalid Fleet number for configuration! Fleet number cannot be zero (broadcast) when "
                           "configured in master mode,\n\rplease renter a valid Fleet number between 100 and 349",
                           "Invalid ID number for configuration! ID 'base' number cannot be zero (broadcast) when "
                           "configured in master mode,\n\rplease renter a valid ID base number between 1000 and 4999",
                           kFleetRange,
                           kFleetRange,
                           "ID number must be zero or, between 1000 and 4999, please renter",
                       }));
    for (const ShownBox& b : prompts.Shown()) EXPECT_EQ(b.buttons + b.icon, vbOKOnly);
    prompts.Clear();
    TypeText(d.txtIDNumber(2), "1234");
    const StationConfig before = config();
    QStringList radios = ChangesAfterOk(d, before);
    radios.removeIf([](const QString& line) { return line.contains(QStringLiteral("Security")); });
    EXPECT_EQ(radios,
              (QStringList{"FleetSyncConfig.FleetNumber[2]: 100 -> 0", "FleetSyncConfig.IDNumber[0]: 1000 -> 4999",
                           "FleetSyncConfig.IDNumber[1]: 1000 -> 0", "FleetSyncConfig.IDNumber[2]: 4321 -> 1234"}));
}

TEST_F(KenwoodTest, ASlavesRadioOneMayBroadcastAndARefusedBoxKeepsItsPageUp) {
    frmKenwood& d = Show();
    Enter(d.txtFleetNumber(0), "000");
    Enter(d.txtIDNumber(0), "0000");
    Leave(d.txtFleetNumber(1));
    EXPECT_TRUE(prompts.Shown().isEmpty());
    Enter(d.txtFleetNumber(1), "5");
    QTabBar* bar = d.TabStrip1()->tabBar();
    Click(bar, bar->tabRect(4).center());
    EXPECT_EQ(d.TabStrip1()->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), d.txtFleetNumber(1));
    EXPECT_EQ(Texts(), QStringList{kFleetRange});
    TypeText(d.txtFleetNumber(1), "101");
    Click(bar, bar->tabRect(4).center());
    EXPECT_EQ(d.TabStrip1()->currentIndex(), 4);
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(KenwoodTest, AddAndEditAcceptOnlyValidMobilesAndStoreThemNormalised) {
    frmKenwood& d = Show();
    d.TabStrip1()->setCurrentIndex(4);
    // Each refusal's message box takes an answer of its own.
    for (const char* answer : {"100-1234", "1x0:1234", "100:12345"}) {
        prompts.QueueInput(QString::fromLatin1(answer));
        prompts.QueueAnswer(vbOK);
    }
    prompts.QueueInput(QStringLiteral("100:01234"));
    d.cmdAdd()->click();
    EXPECT_EQ(Texts(), (QStringList{MobilePrompt(), kFormat, MobilePrompt(), kFormat, MobilePrompt(),
                                    "ID number is higher than 4999, click OK and re-enter", MobilePrompt()}));
    EXPECT_EQ(prompts.Shown()[0].title, "Mobile Fleet/ID");
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::Input);
    EXPECT_EQ(Lines(d.List1()), (QStringList{"120:1201", "130:1302", "140:1403", "100:1234"}));
    EXPECT_TRUE(MobilePrompt().startsWith("Enter the mobiles unique ID in the format FFF:IIII\n\r\n\rWhere FFF"));

    // A click on a line edits it: refused answers ask again, the answer goes to the end.
    prompts.Clear();
    prompts.QueueInput(QStringLiteral("350:1234"));
    prompts.QueueAnswer(vbOK);
    prompts.QueueInput(QStringLiteral("121:02000"));
    ClickLine(d.List1(), 0);
    EXPECT_EQ(Texts(), (QStringList{"Edit mobile ID", "Fleet number is higher than 349, click OK and re-enter",
                                    "Edit mobile ID"}));
    EXPECT_EQ(Lines(d.List1()), (QStringList{"130:1302", "140:1403", "100:1234", "121:2000"}));
    // Cancel, or an empty answer, keeps the line.
    prompts.QueueInput(std::nullopt);
    ClickLine(d.List1(), 1);
    prompts.QueueInput(QString());
    ClickLine(d.List1(), 1);
    EXPECT_EQ(Lines(d.List1()), (QStringList{"130:1302", "140:1403", "100:1234", "121:2000"}));
    prompts.Clear();
    prompts.QueueInput(std::nullopt);
    d.cmdAdd()->click();
    EXPECT_EQ(Texts(), QStringList{MobilePrompt()});

    const StationConfig before = config();
    ChangesAfterOk(d, before);
    EXPECT_EQ(config().FleetSyncConfig.SecurityFleet[3], 121);
    EXPECT_EQ(config().FleetSyncConfig.SecurityIDNumber[3], 2000);
    EXPECT_EQ(config().FleetSyncConfig.SecurityFleet[2], 100);
    EXPECT_EQ(config().FleetSyncConfig.SecurityIDNumber[2], 1234);
    EXPECT_EQ(config().FleetSyncConfig.SecurityFleet[4], 0);
}

TEST_F(KenwoodTest, TheTwentyFirstMobileIsRefusedButAFullListCanStillBeEditedAndDeleted) {
    for (int k = 0; k < FS_MOBILES; ++k) {
        config().FleetSyncConfig.SecurityFleet[k] = 200 + k;
        config().FleetSyncConfig.SecurityIDNumber[k] = 2000 + k;
    }
    frmKenwood& d = Show();
    d.TabStrip1()->setCurrentIndex(4);
    prompts.QueueInput(QStringLiteral("300:3000"));
    d.cmdAdd()->click();
    EXPECT_EQ(Texts(), (QStringList{MobilePrompt(), "Security list has reached the maximum allowable size of 20 entries"}));
    EXPECT_EQ(d.List1()->count(), 20);
    prompts.QueueInput(QStringLiteral("300:3000"));
    ClickLine(d.List1(), 0);
    EXPECT_EQ(d.List1()->count(), 20);
    EXPECT_EQ(d.List1()->item(19)->text(), "300:3000");

    prompts.Clear();
    d.List1()->clearSelection();
    d.cmdDelete()->click();
    EXPECT_EQ(Texts(), QStringList{"Nothing selected. Click on the item you want to delete"});
    EXPECT_EQ(d.List1()->count(), 20);
    d.List1()->setCurrentRow(19);
    d.cmdDelete()->click();
    EXPECT_EQ(d.List1()->count(), 19);
}

TEST_F(KenwoodTest, AccessKeysCheckTheFocusedRadioBoxFirstAndCancelChecksNothing) {
    ConnectOverTcp();
    sim.ClearReceived();
    frmKenwood& d = Show();
    DoubleClick(&d);  // shows Send Raw Message
    Enter(d.txtFleetNumber(1), "5");
    PressAccessKey(d.cmdSendMsg());
    EXPECT_EQ(Texts(), QStringList{kFleetRange}) << "no message asked for past a refused box";
    EXPECT_EQ(QApplication::focusWidget(), d.txtFleetNumber(1));
    TypeText(d.txtFleetNumber(1), "101");
    prompts.QueueInput(QStringLiteral("AT"));
    PressAccessKey(d.cmdSendMsg());
    EXPECT_EQ(Texts().value(1), "Enter the raw FleetSync Message");
    EXPECT_EQ(sim.Received().size(), 1);

    prompts.Clear();
    Enter(d.txtIDNumber(2), "5000");
    PressAccessKey(d.cmdOKButton());
    EXPECT_EQ(Texts(), QStringList{"ID number must be zero or, between 1000 and 4999, please renter"});
    EXPECT_TRUE(d.isVisible());
    TypeText(d.txtIDNumber(2), "1234");
    PressAccessKey(d.cmdOKButton());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(config().FleetSyncConfig.FleetNumber[1], 101);
    EXPECT_EQ(config().FleetSyncConfig.IDNumber[2], 1234);

    const StationConfig before = config();
    frmKenwood& again = Show();
    Enter(again.txtIDNumber(2), "5000");
    PressAccessKey(again.cmdCancelButton());
    EXPECT_EQ(again.result(), QDialog::Rejected);
    EXPECT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
}

TEST_F(KenwoodTest, PortOneOnNmeaDisablesTheRadioSideAndItsPagesStayDisabled) {
    FleetSyncView view;
    view.port1Protocol = PORT_NMEA;
    frmKenwood& d = Show(view);
    EXPECT_FALSE(d.ckbEnableSVMonitoring()->isEnabled());
    EXPECT_FALSE(d.ckbEnable(1)->isEnabled());
    EXPECT_FALSE(d.ckbEnable(2)->isEnabled());
    EXPECT_TRUE(d.txtFleetNumber(1)->isEnabled());
    for (int page : {1, 2, 3}) {
        d.TabStrip1()->setCurrentIndex(page);
        EXPECT_FALSE(d.fraKenwood(page)->isEnabled()) << page;
    }
    d.TabStrip1()->setCurrentIndex(4);
    EXPECT_TRUE(d.fraKenwood(4)->isEnabled());

    dialog.reset();
    frmKenwood& other = Show();
    EXPECT_TRUE(other.ckbEnable(2)->isEnabled());
    EXPECT_TRUE(other.fraKenwood(3)->isEnabled());
}

TEST_F(KenwoodTest, SwitchedOffBitsShowOffAndAnUnlistedPeriodIsKept) {
    config().FleetSyncConfig.ReportTime = 0x80 + 7;
    config().FleetSyncConfig.Ccb1 = 0xFF;
    config().FleetSyncConfig.SecurityFleet[1] = 125;  // no empty slot for OK to close up
    config().FleetSyncConfig.SecurityIDNumber[1] = 1250;
    FleetSyncView view;
    view.ccb1Cleared = FS_RADIO2 | FS_RADIO3 | FS_MONITORED;
    const StationConfig before = config();
    frmKenwood& d = Show(view);
    EXPECT_TRUE(d.chkEnableAutoReport()->isChecked());
    EXPECT_EQ(d.cboReportTime()->currentIndex(), -1);
    EXPECT_FALSE(d.ckbEnable(1)->isChecked() || d.ckbEnable(2)->isChecked() || d.ckbEnableSVMonitoring()->isChecked());
    EXPECT_EQ(ChangesAfterOk(d, before), QStringList{"FleetSyncConfig.Ccb1: 255 -> 185"});
}

TEST_F(KenwoodTest, ARawMessageGoesOutAsItsFrameAndOneThatCannotTravelIsRefused) {
    ConnectOverTcp();
    linkState().StationAddress[0] = 9;  // a remote station selected: the message is still local
    sim.ClearReceived();
    frmKenwood& d = Show();
    DoubleClick(&d);
    prompts.QueueInput(QString::fromLatin1("AT\xE9"));
    d.cmdSendMsg()->click();
    ASSERT_EQ(sim.Received().size(), 1);
    EXPECT_EQ(sim.Received()[0].toHex(),
              sim::MakeFrame(QByteArray::fromHex("0d0000000001fc020241" "54" "e903")).toHex());
    EXPECT_EQ(prompts.Shown().size(), 1) << "the result is not shown";

    prompts.Clear();
    EXPECT_EQ(d.SendRawFleetSync(QString(246, u'x')), SEND_REFUSED);
    prompts.QueueInput(QStringLiteral("\u20AC"));
    d.cmdSendMsg()->click();
    EXPECT_EQ(Texts(), (QStringList{"The raw FleetSync message is too long: at most 245 characters fit in one frame.",
                                    "Enter the raw FleetSync Message",
                                    "The raw FleetSync message can hold single-byte (Latin-1) characters only."}));
    EXPECT_EQ(sim.Received().size(), 1);
    EXPECT_TRUE(d.isEnabled());
}

TEST_F(KenwoodTest, AnEditAfterAReadReachesTheModuleByteForByte) {
    ServeKorvel(0);
    auto expected = sim.Blocks();
    QByteArray& settingsBlock = expected[{sim::kBlockFleetSync, 0}];
    // Data byte 1 + n is frame byte 8 + n.
    settingsBlock[1] = char(settingsBlock[1] ^ FS_RADIO3);
    settingsBlock[4] = char(0x80 + 2);  // manual ACK kept, "30 Min"
    // Radio 1 as a slave may have it (the box with the focus is checked at OK), radio 2's fleet.
    settingsBlock[5] = char(150), settingsBlock[6] = 0;
    settingsBlock[11] = char(1500 & 255), settingsBlock[12] = char(1500 >> 8);
    settingsBlock[7] = char(123), settingsBlock[8] = 0;
    const QByteArray fleets = settingsBlock.mid(17, 40), ids = settingsBlock.mid(57, 40);
    // The first mobile deleted: the others move up a slot and the last slot empties.
    settingsBlock.replace(17, 40, fleets.mid(2) + QByteArray(2, 0));
    settingsBlock.replace(57, 40, ids.mid(2) + QByteArray(2, 0));
    QByteArray& onTags = expected[{sim::kBlockFleetSync, 2}];
    onTags.replace(1, 21, QByteArray("Pump on") + QByteArray(14, 0));

    ASSERT_TRUE(ReadConfiguration());
    ASSERT_EQ(MobileLines(config().FleetSyncConfig).size(), 20) << "every slot of the module holds a mobile";
    ASSERT_TRUE(config().FleetSyncConfig.ReportTime & FS_MANUAL_ACK);

    WhenModal<frmKenwood>([](frmKenwood& d) {
        d.ckbEnable(2)->click();
        d.cboReportTime()->setCurrentIndex(2);
        d.txtFleetNumber(0)->setText(QStringLiteral("150"));
        d.txtIDNumber(0)->setText(QStringLiteral("1500"));
        d.txtFleetNumber(1)->setText(QStringLiteral("123"));
        d.txtIChanOn(0)->setText(QStringLiteral("Pump on"));
        d.List1()->setCurrentRow(0);
        d.cmdDelete()->click();
        d.cmdOKButton()->click();
    });
    frmKenwood::Run(window.get());
    ASSERT_EQ(modalDialogs, 2);

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace

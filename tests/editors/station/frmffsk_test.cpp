// The FFSK port dialog driven offscreen: what it shows and stores, the gate rule, the
// channel-clear clamp, the preamble's limit, the level box's check, the level test,
// Cancel, the captions, and an edit that reaches the module.
#include "app/boundedfield.h"
#include "model/systemvalues.h"
#include "editors/station/frmFFSK.h"
#include "editors/station/frmLevel.h"
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
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kUnexpected = QStringLiteral(
    "An unexpected value was returned from the device.\r\n"
    "Ensure the settings are correct and then upload the data to the device.\r\n");
const QString kLevelRefused = QStringLiteral("Level must be between 1 and 31, please re-enter.");

double& Element(int e) { return config().SystemConfig[e]; }

class FfskDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(0);
    }
    frmFFSK& Show() {
        dialog = std::make_unique<frmFFSK>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    // Opens the dialog, runs act and presses OK; the configuration's changes since.
    QStringList ChangesAfterOk(const std::function<void(frmFFSK&)>& act = {}) {
        const auto before = std::make_unique<StationConfig>(config());
        frmFFSK& d = Show();
        if (act) act(d);
        d.cmdOK()->click();
        EXPECT_FALSE(d.isVisible());
        return ConfigDifferences(*before, config());
    }
    QStringList Texts() const { return ShownTexts(prompts); }
    std::unique_ptr<frmFFSK> dialog;
};

TEST_F(FfskDialogTest, FactoryDefaultsShowAndAnUntouchedOkStoresThemUnchanged) {
    ASSERT_EQ(Element(FFSK_CCB1), 128);
    ASSERT_EQ(Element(FFSK_CCB2), 3);
    const QStringList changes = ChangesAfterOk([](frmFFSK& d) {
        EXPECT_EQ(d.cboProtocol()->currentText(), "BMP");
        EXPECT_FALSE(d.chkConcPacket()->isChecked());
        EXPECT_EQ(d.txtPreambleCount()->text(), "3");
        EXPECT_EQ(d.cboGateType()->currentText(), "EXT SIGNAL");
        EXPECT_EQ(d.cboGatePolarity()->currentText(), "LOW");
        EXPECT_TRUE(d.cboGatePolarity()->isEnabled());
        EXPECT_EQ(d.cboTransmissionBaudRate()->currentText(), "2400");
        EXPECT_EQ(d.cboPTTPolarity()->currentText(), "LOW");
        EXPECT_EQ(d.txtPTTStartDelay()->text(), "1000");
        EXPECT_EQ(d.txtLevel()->text(), "31");
        EXPECT_FALSE(d.updDumpTime()->isEnabled()) << "nothing reads or stores it";
    });
    EXPECT_EQ(changes, QStringList{});
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(FfskDialogTest, ControlsAreLabelledAndVisitedInOrder) {
    Fake(WindowId::frmLevel);
    session().Online = 1;
    frmFFSK& d = Show();
    d.chkConcPacket()->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 17; ++i) {
        visited << ControlName(QApplication::focusWidget());
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"chkConcPacket", "cboProtocol", "cboTransmissionBaudRate", "updPreambleCount",
                                    "updCDDelay", "cboPTTPolarity", "updPTTStartDelay", "updPTTHangDelay",
                                    "cboGateType", "cboGatePolarity", "updRetryTimeout", "updTransmissionRetrys",
                                    "txtLevel", "cmdSetLevel", "cmdOK", "cmdCancel", "chkConcPacket"}));
    // Every field has its label as buddy, and no access key repeats.
    QStringList buddies;
    QString keys;
    for (const QLabel* l : d.findChildren<QLabel*>()) {
        if (l->buddy()) buddies << l->buddy()->objectName();
        if (l->text().contains('&')) keys += l->text().at(l->text().indexOf('&') + 1).toLower();
    }
    for (const QAbstractButton* b : d.findChildren<QAbstractButton*>())
        if (b->text().contains('&')) keys += b->text().at(b->text().indexOf('&') + 1).toLower();
    buddies.sort();
    EXPECT_EQ(buddies, QStringList({"cboGatePolarity", "cboGateType", "cboPTTPolarity", "cboProtocol",
                                    "cboTransmissionBaudRate", "txtLevel", "updCDDelay", "updDumpTime",
                                    "updPTTHangDelay", "updPTTStartDelay", "updPreambleCount", "updRetryTimeout",
                                    "updTransmissionRetrys"}));
    for (const QChar k : keys) EXPECT_EQ(keys.count(k), 1) << QString(k).toStdString();
}

TEST_F(FfskDialogTest, AnInternalGateLocksItsPolarityButKeepsAStoredLow) {
    Element(FFSK_CCB2) = 0x10 | 3;  // internal gate, stored LOW
    EXPECT_EQ(ChangesAfterOk([](frmFFSK& d) {
                  EXPECT_EQ(d.cboGateType()->currentText(), "INT SIGNAL");
                  EXPECT_EQ(d.cboGatePolarity()->currentText(), "LOW");
                  EXPECT_FALSE(d.cboGatePolarity()->isEnabled());
              }),
              QStringList{});

    // Choosing the internal gate again is a choice: it turns HIGH.
    ChangesAfterOk([](frmFFSK& d) { emit d.cboGateType()->activated(1); });
    EXPECT_EQ(Element(FFSK_CCB2), 0x30 | 3);

    Element(FFSK_CCB2) = 3;
    ChangesAfterOk([](frmFFSK& d) {
        d.cboGateType()->setCurrentIndex(1);
        EXPECT_EQ(d.cboGatePolarity()->currentText(), "HIGH");
        EXPECT_FALSE(d.cboGatePolarity()->isEnabled());
        d.cboGateType()->setCurrentIndex(0);
        EXPECT_TRUE(d.cboGatePolarity()->isEnabled());
        EXPECT_EQ(d.cboGatePolarity()->currentText(), "HIGH") << "going back keeps the polarity";
        d.cboGateType()->setCurrentIndex(1);
    });
    EXPECT_EQ(Element(FFSK_CCB2), 0x30 | 3) << "bits 4 and 5";
}

TEST_F(FfskDialogTest, EveryControlStoresIntoItsOwnBitsAndElements) {
    Element(FFSK_CCB1) = 0xB8;  // the module's bits 3-5 and 7
    const QStringList changes = ChangesAfterOk([](frmFFSK& d) {
        d.chkConcPacket()->click();
        d.cboProtocol()->setCurrentIndex(2);
        d.cboTransmissionBaudRate()->setCurrentIndex(0);  // "1200"
        d.cboPTTPolarity()->setCurrentIndex(1);
        d.cboGatePolarity()->setCurrentIndex(1);
        Enter(d.updPreambleCount(), "12");
        Enter(d.updCDDelay(), "1000");
        Enter(d.updPTTStartDelay(), "350");  // not a multiple of the arrows' step
        Enter(d.updPTTHangDelay(), "0");
        Enter(d.updRetryTimeout(), "10000");
        Enter(d.updTransmissionRetrys(), "0");
        Enter(d.txtLevel(), "1");
        d.cmdOK()->setFocus(Qt::TabFocusReason);
    });
    EXPECT_TRUE(prompts.Shown().isEmpty()) << Texts().join("|").toStdString();
    EXPECT_EQ(changes, QStringList({"SystemConfig[16]: 184 -> 250", "SystemConfig[17]: 3 -> 236",
                                    "SystemConfig[19]: 10 -> 100", "SystemConfig[20]: 5 -> 0",
                                    "SystemConfig[23]: 10 -> 3.5", "SystemConfig[24]: 15 -> 100",
                                    "SystemConfig[25]: 31 -> 1", "SystemConfig[42]: 10 -> 0"}));

    // And "2400" clears the baud bit again.
    ChangesAfterOk([](frmFFSK& d) { d.cboTransmissionBaudRate()->setCurrentIndex(1); });
    EXPECT_EQ(Element(FFSK_CCB2), 236 - 0x40);
}

TEST_F(FfskDialogTest, TheChannelClearDelayIsClampedWhenShownWithoutAReport) {
    Element(FFSK_CD_DELAY_TIME) = 2;
    ChangesAfterOk([](frmFFSK& d) { EXPECT_EQ(d.txtCDDelay()->text(), "50"); });
    EXPECT_EQ(Element(FFSK_CD_DELAY_TIME), 5);
    Element(FFSK_CD_DELAY_TIME) = 150;
    ChangesAfterOk([](frmFFSK& d) { EXPECT_EQ(d.txtCDDelay()->text(), "1000"); });
    EXPECT_EQ(Element(FFSK_CD_DELAY_TIME), 100);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(FfskDialogTest, ThePreambleStopsAtWhatItsFourBitsHold) {
    Element(FFSK_CCB2) = 0xF0 | 15;
    const QStringList changes = ChangesAfterOk([this](frmFFSK& d) {
        d.updPreambleCount()->stepUp();
        EXPECT_EQ(d.txtPreambleCount()->text(), "15");
        Enter(d.updPreambleCount(), "16");
        d.cboProtocol()->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(Texts(), QStringList{"Value greater than maximum, value is reset to maximum"});
        EXPECT_EQ(d.txtPreambleCount()->text(), "15");
        Enter(d.updPreambleCount(), "2");
    });
    EXPECT_EQ(changes, QStringList{"SystemConfig[17]: 255 -> 242"}) << "bits 4-7 untouched";
}

TEST_F(FfskDialogTest, ValuesNoControlCanShowAreReportedOnceAndKept) {
    Element(FFSK_CCB1) = 128 + 5;  // a protocol the list lacks
    Element(FFSK_CCB2) = 1;        // a preamble of one byte
    Element(FFSK_RETRY_COUNT) = 11;
    const QStringList changes = ChangesAfterOk([this](frmFFSK& d) {
        EXPECT_EQ(Texts(), QStringList{kUnexpected});
        EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly);
        EXPECT_EQ(d.cboProtocol()->currentIndex(), -1);
        EXPECT_EQ(d.txtPreambleCount()->text(), "1");
        EXPECT_EQ(d.txtTransmissionRetrys()->text(), "11");
    });
    EXPECT_EQ(changes, QStringList{});
}

TEST_F(FfskDialogTest, TheLevelIsCheckedWhenLeftAndOnOk) {
    const StationConfig before = config();
    frmFFSK& d = Show();
    for (const char* bad : {"0", "32"}) {
        prompts.Clear();
        Enter(d.txtLevel(), QString::fromLatin1(bad));
        d.cboProtocol()->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(Texts(), QStringList{kLevelRefused}) << bad;
        EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly);
        EXPECT_EQ(d.txtLevel()->text(), "");
        EXPECT_EQ(QApplication::focusWidget(), d.txtLevel());
    }
    // Enter in the box presses OK without leaving it.
    prompts.Clear();
    TypeText(d.txtLevel(), "40");
    d.cmdOK()->click();
    EXPECT_EQ(Texts(), QStringList{kLevelRefused});
    // A bad level in the box, and OK pressed from another control.
    d.txtLevel()->setText(QStringLiteral("5"));
    d.cboProtocol()->setFocus(Qt::MouseFocusReason);
    d.txtLevel()->setText(QStringLiteral("0"));
    d.cmdOK()->click();
    EXPECT_EQ(Texts(), QStringList({kLevelRefused, kLevelRefused}));
    EXPECT_EQ(d.txtLevel()->text(), "");
    EXPECT_EQ(QApplication::focusWidget(), d.txtLevel());
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
    TypeText(d.txtLevel(), "31");
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
}

TEST_F(FfskDialogTest, SetLevelByItsAccessKeyChecksTheFocusedBoxFirst) {
    ownerIsMainWindow = false;
    session().Online = 1;
    Fake(WindowId::frmLevel);
    frmFFSK& d = Show();
    Enter(d.txtLevel(), "40");
    PressAccessKey(d.cmdSetLevel());
    EXPECT_EQ(Texts(), QStringList{kLevelRefused});
    EXPECT_TRUE(opened.isEmpty()) << "no level test past a refused level";
    EXPECT_EQ(QApplication::focusWidget(), d.txtLevel());
    TypeText(d.txtLevel(), "20");

    prompts.Clear();
    Enter(d.updRetryTimeout(), "99999");
    PressAccessKey(d.cmdSetLevel());
    EXPECT_EQ(Texts(), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_TRUE(opened.isEmpty());

    Enter(d.updRetryTimeout(), "2000");
    PressAccessKey(d.cmdSetLevel());
    EXPECT_EQ(opened, QList<WindowId>{WindowId::frmLevel});
    EXPECT_EQ(d.updRetryTimeout()->Value(), 2000);
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(FfskDialogTest, SetLevelIsOfferedOnLineToTheLocalModuleWhenTheTestExists) {
    session().Online = 1;
    UnregisterWindow(WindowId::frmLevel);
    EXPECT_FALSE(Show().cmdSetLevel()->isEnabled()) << "no level test";
    Fake(WindowId::frmLevel);
    EXPECT_TRUE(Show().cmdSetLevel()->isEnabled());
    session().Online = 0;
    EXPECT_FALSE(Show().cmdSetLevel()->isEnabled()) << "off line";
    session().Online = 1;
    linkState().StationAddress[0] = 12;
    EXPECT_FALSE(Show().cmdSetLevel()->isEnabled()) << "a remote station";
}

TEST_F(FfskDialogTest, TheLevelTestRefreshesTheLevelOrEndsTheDialog) {
    ownerIsMainWindow = false;
    session().Online = 1;
    bool fail = false;
    Fake(WindowId::frmLevel, [&fail] {
        Element(FFSK_OUTPUT_LEVEL) = 17;
        frmLevel::EndedByFailure() = fail;
    });
    frmLevel::EndedByFailure() = true;  // left by an earlier test of the level
    frmFFSK& d = Show();
    Enter(d.updRetryTimeout(), "2000");
    d.cmdSetLevel()->click();
    EXPECT_EQ(owners, QList<QWidget*>{&d});
    EXPECT_EQ(d.txtLevel()->text(), "17");
    EXPECT_TRUE(d.isVisible());
    d.cmdOK()->click();
    EXPECT_EQ(Element(FFSK_RETRY_TIME), 20);
    EXPECT_EQ(Element(FFSK_OUTPUT_LEVEL), 17);

    Element(FFSK_OUTPUT_LEVEL) = 9;
    const StationConfig before = config();
    frmFFSK& again = Show();
    Enter(again.updRetryTimeout(), "3000");
    again.chkConcPacket()->click();
    fail = true;
    again.cmdSetLevel()->click();
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(again.result(), QDialog::Rejected);
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{"SystemConfig[25]: 9 -> 17"})
        << "only the level the test stored";
}

TEST_F(FfskDialogTest, CancelStoresNothing) {
    const StationConfig before = config();
    frmFFSK& d = Show();
    d.chkConcPacket()->click();
    d.cboProtocol()->setCurrentIndex(1);
    d.cboGateType()->setCurrentIndex(1);
    Enter(d.updPTTHangDelay(), "900");
    Enter(d.txtLevel(), "99");
    d.cmdCancel()->setFocus(Qt::MouseFocusReason);
    d.cmdCancel()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "leaving for Cancel checks nothing";
    EXPECT_EQ(ConfigDifferences(before, config()), QStringList{});
}

TEST_F(FfskDialogTest, CaptionNamesTheRemoteStationOrTheLocalModule) {
    Element(MY_ADDRESS) = 4;
    EXPECT_EQ(Show().windowTitle(), "FFSK Configuration, Station: Local(004)");
    linkState().StationAddress[0] = 12;
    EXPECT_EQ(Show().windowTitle(), "FFSK Configuration, Station: 012");
}

TEST_F(FfskDialogTest, AnEditAfterAReadReachesTheModuleByteForByte) {
    ServeKorvel(0);
    auto expected = sim.Blocks();
    QByteArray& system = expected[{sim::kBlockSystem, 0}];
    system[1 + FFSK_CCB1] = char((uchar(system[1 + FFSK_CCB1]) & ~0x47) | 0x40 | 1);
    system[1 + FFSK_CCB2] = char(0x80 | 0x40 | 0x30 | 6);
    system[1 + FFSK_RETRY_TIME] = char(20);
    system[1 + FFSK_RETRY_COUNT] = char(7);
    system[1 + FFSK_PTT_START_DELAY] = char(3);
    system[1 + FFSK_CD_DELAY_TIME] = char(20);
    system[1 + FFSK_OUTPUT_LEVEL] = char(20);
    system[1 + FFSK_PTT_HANG_DELAY] = char(5);
    ASSERT_TRUE(ReadConfiguration());

    WhenModal<frmFFSK>([](frmFFSK& d) {
        d.chkConcPacket()->setChecked(true);
        d.cboProtocol()->setCurrentIndex(1);
        d.cboTransmissionBaudRate()->setCurrentIndex(0);
        d.cboPTTPolarity()->setCurrentIndex(1);
        d.cboGateType()->setCurrentIndex(1);
        d.updPreambleCount()->SetValue(6);
        d.updCDDelay()->SetValue(200);
        d.updPTTStartDelay()->SetValue(300);
        d.updPTTHangDelay()->SetValue(500);
        d.updRetryTimeout()->SetValue(2000);
        d.updTransmissionRetrys()->SetValue(7);
        d.txtLevel()->setText(QStringLiteral("20"));
        d.cmdOK()->click();
    });
    Trigger(MenuItem::mnuPortsFFSK);
    ASSERT_EQ(modalDialogs, 2);

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace

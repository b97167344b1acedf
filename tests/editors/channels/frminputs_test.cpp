// The contact input dialog driven offscreen: an input loaded and stored back, stepping
// over absent inputs, the mode and function rules, the latch a direct output needs, the
// field refusals, the maps each module mode allows, a Pellar's reduced form, and an edit
// that reaches the module byte for byte.
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "model/target.h"
#include "editors/channels/frmInputs.h"
#include "editors/channels/frmShowConfiguration.h"
#include "editors/station/frmSystem.h"
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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace korvel;
using namespace korvel::test;

namespace {

ContactInputGroupRecord& Group(int index) { return config().ContactInputTable[index / 8]; }

const QString kUnexpected = QStringLiteral(
    "An unexpected value was returned from the device for channel %1.\r\n"
    "Ensure the settings are correct and then upload the data to the device.\r\n");

class InputDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
        config().SystemConfig[1] = 2;  // a master maps both ways
    }
    frmInputs& Show(int index = 0) {
        session().SelectedInputChannel = int16_t(index);
        dialog = std::make_unique<frmInputs>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        QApplication::processEvents();  // what the load has to report
        return *dialog;
    }
    QString Number() const { return dialog->updChannel()->Box()->text(); }
    // Types text into field and moves the focus to the enable box, as Tab would.
    void EnterAndLeave(QWidget* field, const QString& text) {
        Enter(field, text);
        if (text.isEmpty()) {
            if (auto* f = qobject_cast<BoundedField*>(field)) f->Box()->clear();
            if (auto* e = qobject_cast<QLineEdit*>(field)) e->clear();
        }
        dialog->chkInputEnabled()->setFocus(Qt::TabFocusReason);
    }
    std::unique_ptr<frmInputs> dialog;
};

TEST_F(InputDialogTest, AnInputLoadsAsStoredAndStoresBackUnchanged) {
    ContactInputGroupRecord& g = Group(10);
    g.Flags[2] = 0x80 | 0x40 | 0x10 | 0x08 | 0x04 | 3;  // bits 2 and 4 are not the dialog's
    g.Hold[2] = 12;
    g.LocalOutput[2] = 8 + 4;  // output 4 of the child module, as the station numbers it
    g.DestStation[0][2] = 7;
    g.DestStation[3][2] = 255;
    g.DestChannel[1][2] = 64;
    Group(11).Flags[3] = 0x20 | 2;  // a toggle input with the unused function code
    Group(11).Hold[3] = 9;
    Group(11).LocalOutputDelay[3] = 6;
    config().SystemConfig[36] = 1 << 2;
    frmInputs& d = Show(30);
    EXPECT_EQ(Number(), "1") << "the dialog opens on the first input whoever opened it";
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Contact Input Configuration, Station: Local(%1)")
                                   .arg(int(config().SystemConfig[0]), 3, 10, QLatin1Char('0')));
    for (int i = 0; i < 10; ++i) d.updChannel()->stepBy(1);
    ASSERT_EQ(Number(), "11");
    EXPECT_TRUE(d.chkInputEnabled()->isChecked());
    EXPECT_EQ(d.cboInputPolarity()->currentText(), "N.O.");
    EXPECT_EQ(d.cboMode()->currentText(), "NORMAL");
    EXPECT_EQ(d.cboSetReset()->currentText(), "SET OUTPUT");
    EXPECT_EQ(d.updHold()->Text(), "12");
    EXPECT_EQ(d.cboInputLocalOutput()->currentText(), "4");
    EXPECT_EQ(d.DestStation(0)->text(), "007");
    EXPECT_EQ(d.DestStation(3)->text(), "255");
    EXPECT_EQ(d.SubChannel(1)->text(), "64");
    EXPECT_EQ(d.SubChannel(0)->text(), "00");
    EXPECT_TRUE(d.fraLoggerOpt()->isEnabled());
    EXPECT_TRUE(d.optONOFF()->isChecked());
    // A direct function acts at once: the mode and the delay wait for NORMAL.
    EXPECT_FALSE(d.cboMode()->isEnabled());
    EXPECT_FALSE(d.updLocChannelDelay()->isEnabled());
    d.updChannel()->stepBy(1);
    EXPECT_EQ(d.cboMode()->currentText(), "TOGGLE");
    EXPECT_EQ(d.updHold()->Text(), "9") << "loaded as stored";
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "6");
    EXPECT_FALSE(d.updHold()->isEnabled());
    EXPECT_FALSE(d.cboSetReset()->isEnabled());
    EXPECT_FALSE(d.fraLoggerOpt()->isEnabled()) << "slot 3 is not logged";
    const auto before = std::make_unique<StationConfig>(config());
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{"ContactInputTable[1].Flags[3]: 34 -> 32"})
        << "only the unused function code goes back as NORMAL";
    EXPECT_EQ(session().SelectedInputChannel, 11) << "the channel last shown is kept";
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(InputDialogTest, StepsPassOverAbsentInputsWrapBothWaysAndCancelDropsOnlyTheShownInput) {
    LoadKorvel(2);
    for (int s = 4; s < 8; ++s) Group(16).Present[s] = false;  // inputs 21 to 24
    frmInputs& d = Show();
    EXPECT_EQ(d.updChannel()->maximum(), 24);
    d.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "20") << "down past the first is the last fitted input";
    d.chkInputEnabled()->setChecked(true);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Number(), "1") << "up past the last fitted input wraps upward";
    EXPECT_TRUE(Group(19).Flags[3] & 0x80) << "the step stored input 20";
    d.chkInputEnabled()->setChecked(true);
    d.cmdCancel()->click();
    EXPECT_FALSE(Group(0).Flags[0] & 0x80) << "Cancel drops the input shown";
    EXPECT_TRUE(Group(19).Flags[3] & 0x80);

    LoadPellar(0x50);  // boards 1 and 3
    for (bool& present : Group(16).Present) present = true;  // and board 2 reports its inputs
    frmInputs& p = Show();
    EXPECT_EQ(p.updChannel()->maximum(), 32);
    p.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "32");
    for (int i = 0; i < 8; ++i) p.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "24") << "board 2 is reachable as its presence flags say";
    Group(23).Present[7] = false;
    p.updChannel()->stepBy(1);
    p.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "23");
}

TEST_F(InputDialogTest, ModeAndFunctionDecideHoldDelayAndEachOther) {
    frmInputs& d = Show();
    d.cboInputLocalOutput()->setCurrentIndex(2);
    EXPECT_TRUE(d.updLocChannelDelay()->isEnabled());
    EXPECT_TRUE(d.updLocChannelDelay()->Box()->isReadOnly()) << "the delay moves with its arrows only";
    EnterAndLeave(d.updHold(), QStringLiteral("15"));
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "15") << "the delay follows the hold";
    d.updLocChannelDelay()->stepBy(2);

    d.cboSetReset()->setCurrentIndex(1);
    d.cboMode()->setCurrentIndex(1);
    EXPECT_EQ(d.cboSetReset()->currentText(), "NORMAL") << "a toggle input drives no output";
    EXPECT_EQ(d.updHold()->Text(), "0");
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "0");
    for (QWidget* w : std::initializer_list<QWidget*>{d.updHold(), d.updLocChannelDelay(), d.cboSetReset()})
        EXPECT_FALSE(w->isEnabled()) << ControlName(w).toStdString();

    d.cboMode()->setCurrentIndex(0);
    EXPECT_TRUE(d.updHold()->isEnabled());
    EXPECT_TRUE(d.cboSetReset()->isEnabled());
    EXPECT_TRUE(d.updLocChannelDelay()->isEnabled());
    d.updHold()->stepBy(4);
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "4");

    d.cboSetReset()->setCurrentIndex(2);
    EXPECT_EQ(d.updHold()->Text(), "0");
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "0");
    EXPECT_FALSE(d.updHold()->isEnabled());
    EXPECT_FALSE(d.cboMode()->isEnabled());
    d.cboSetReset()->setCurrentIndex(0);
    EXPECT_TRUE(d.cboMode()->isEnabled());
    d.cboInputLocalOutput()->setCurrentIndex(0);
    EXPECT_FALSE(d.updLocChannelDelay()->isEnabled()) << "no output, no delay";
}

TEST_F(InputDialogTest, AnOutputAnInputSetsOrResetsIsLatched) {
    OutputGroupRecord& outputs = config().OutputConfigTable[0];
    outputs.Flags[2] = 0xC0;
    outputs.Flags[4] = 0x9F;  // a latch with bits of its own
    frmInputs& d = Show();
    d.cboInputLocalOutput()->setCurrentIndex(3);
    d.cboSetReset()->setCurrentIndex(1);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(outputs.Flags[2], 0x80);
    EXPECT_EQ(ShownTexts(prompts), QStringList{"The assigned output (3) mode was set to PULSE mode.\r\n"
                                               "It has now been set to LATCH"});
    EXPECT_EQ(Group(0).Flags[0] & 3, 1);
    EXPECT_EQ(Group(0).LocalOutput[0], 3);
    prompts.Clear();
    d.cboInputLocalOutput()->setCurrentIndex(5);
    d.cboSetReset()->setCurrentIndex(2);
    d.cmdOK()->click();
    EXPECT_EQ(outputs.Flags[4], 0x9F) << "a latch keeps its other bits";
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(Group(1).Flags[1] & 3, 3);
}

TEST_F(InputDialogTest, FieldsRefuseWhatIsOutsideTheirLimitsAndKeepTheFocus) {
    frmInputs& d = Show();
    struct Case {
        QWidget* field;
        const char* typed;
        const char* message;  // nullptr: none
        const char* shown;    // what the box holds after
        bool stays;
    };
    const char* empty = "Nothing was entered in the field, please enter valid data!";
    const Case cases[] = {
        {d.SubChannel(0), "65", "Destination station must be between 0 and 64, please renter", "0", true},
        {d.SubChannel(0), "64", nullptr, "64", false},
        {d.SubChannel(1), "", empty, "0", true},
        {d.DestStation(3), "256", "Destination station must be less than 255, please renter", "0", true},
        {d.DestStation(3), "255", nullptr, "255", false},
        {d.DestStation(2), "", nullptr, "0", false},
        {d.updHold(), "300", "Value greater than maximum, value is reset to maximum", "255", true},
        {d.updHold(), "", empty, "0", true},
        {d.updHold(), "8", nullptr, "8", false},
    };
    for (const Case& c : cases) {
        prompts.Clear();
        EnterAndLeave(c.field, QString::fromLatin1(c.typed));
        const std::string name = ControlName(c.field).toStdString() + " " + c.typed;
        QString text;
        if (auto* f = qobject_cast<BoundedField*>(c.field)) text = f->Text();
        if (auto* e = qobject_cast<QLineEdit*>(c.field)) text = e->text();
        EXPECT_EQ(ShownTexts(prompts), c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList{}) << name;
        EXPECT_EQ(text, QString::fromLatin1(c.shown)) << name;
        EXPECT_EQ(QApplication::focusWidget() == c.field ||
                      (qobject_cast<BoundedField*>(c.field) && QApplication::focusWidget() == qobject_cast<BoundedField*>(c.field)->Box()),
                  c.stays)
            << name;
    }
    EXPECT_EQ(d.updLocChannelDelay()->Text(), "8");
    d.SubChannel(2)->setFocus();
    d.SubChannel(2)->setText(QStringLiteral("99"));
    d.cmdOK()->click();
    EXPECT_TRUE(d.isVisible()) << "OK runs the check of the box it leaves";
    EXPECT_EQ(ShownTexts(prompts).last(), "Destination station must be between 0 and 64, please renter");
    d.cmdOK()->click();
    const ContactInputGroupRecord& g = Group(0);
    EXPECT_EQ(g.DestChannel[0][0], 64);
    EXPECT_EQ(g.DestStation[3][0], 255);
    EXPECT_EQ(g.Hold[0], 8);
    EXPECT_EQ(g.LocalOutputDelay[0], 8);
}

TEST_F(InputDialogTest, AHoldRefusedByTabOrAClickIsTheHoldAtOnceAndWhatIsTypedNextReplacesIt) {
    frmInputs& d = Show();
    QLineEdit* box = d.updHold()->Box();
    const bool enabled = d.chkInputEnabled()->isChecked();
    const std::pair<const char*, std::function<void()>> leaves[] = {
        {"Tab", [&] { QTest::keyClick(box, Qt::Key_Tab); }},
        {"a click", [&] { QTest::mouseClick(d.chkInputEnabled(), Qt::LeftButton); }},
    };
    for (const auto& [name, leave] : leaves) {
        prompts.Clear();
        Enter(d.updHold(), QStringLiteral("999"));
        leave();
        EXPECT_EQ(ShownTexts(prompts), QStringList{"Value greater than maximum, value is reset to maximum"}) << name;
        EXPECT_TRUE(d.isActiveWindow()) << name;
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "updHold") << name;
        EXPECT_EQ(d.updHold()->Value(), 255) << name;
        EXPECT_EQ(d.updLocChannelDelay()->Value(), 255) << name << ": the delay follows the hold";
        TypeAtFocus(QStringLiteral("5"));
        EXPECT_EQ(box->text(), "5") << name << ": a full box would have refused it";
    }
    EXPECT_EQ(d.chkInputEnabled()->isChecked(), enabled) << "the refused click changed nothing";
    // The hold's own arrows step from the reset the box shows.
    Enter(d.updHold(), QStringLiteral("999"));
    QTest::keyClick(box, Qt::Key_Tab);
    QTest::mouseClick(d.updHold(), Qt::LeftButton, {}, ArrowPoint(d.updHold(), false));
    EXPECT_EQ(box->text(), "254");
    EXPECT_EQ(d.updHold()->Value(), 254);
    d.cmdOK()->click();
    EXPECT_EQ(Group(0).Hold[0], 254);
}

TEST_F(InputDialogTest, TheChannelArrowsAndWheelAfterARefusedHoldMoveNothingAndCancelStoresNothing) {
    Group(0).Hold[0] = 12;
    Group(1).Flags[1] = 3;  // a direct function: stepping onto it would latch its output
    const auto before = std::make_unique<StationConfig>(config());
    frmInputs& d = Show();
    ExpectEachPressRefused(prompts, d.updHold(), QStringLiteral("999"),
                           QStringLiteral("Value greater than maximum, value is reset to maximum"), QStringLiteral("255"),
                           UpDownPresses(d.updChannel()), [&] {
                               EXPECT_EQ(Number(), "1");
                               EXPECT_EQ(d.updHold()->Value(), 255) << "the reset is the hold at once";
                           });
    d.cmdCancel()->click();
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
}

TEST_F(InputDialogTest, TheModuleModeDecidesWhichMapsCanBeEdited) {
    config().SystemConfig[1] = 0x10 | 1;  // the mode is the low four bits
    frmInputs& d = Show();
    const auto enabled = [&d](bool stations, bool outputs) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(d.DestStation(k)->isEnabled(), stations) << k;
            EXPECT_EQ(d.SubChannel(k)->isEnabled(), outputs) << k;
        }
    };
    enabled(false, true);
    EXPECT_EQ(d.txtHint1()->toPlainText(), frmSystem::LoadHintPanel(1, 0));
    d.EnableDisableMap(2);
    enabled(true, true);
    EXPECT_EQ(d.txtHint1()->toPlainText(), frmSystem::LoadHintPanel(2, 0));
    d.EnableDisableMap(7);
    enabled(true, true);
    for (int mode : {0, 3}) {
        d.EnableDisableMap(mode);
        enabled(false, false);
    }
}

TEST_F(InputDialogTest, APellarInputHasNoDelayMapsOrLoggerAndStoresNoDelay) {
    LoadPellar(0x10);
    Group(1).LocalOutputDelay[1] = 9;
    Group(1).LocalOutput[1] = 2;
    frmInputs& d = Show();
    for (QWidget* w : std::initializer_list<QWidget*>{d.updLocChannelDelay(), d.lblOutputDelay(), d.fraOutputMapping(),
                                                      d.fraLoggerOpt()})
        EXPECT_FALSE(w->isVisible()) << ControlName(w).toStdString();
    EXPECT_TRUE(d.txtHint1()->isVisible());
    EXPECT_EQ(d.txtHint1()->toPlainText(), "Set all channel parameters before enabling the input.");
    EXPECT_FALSE(d.cboMode()->isEnabled());
    d.cboSetReset()->setCurrentIndex(2);
    EXPECT_TRUE(d.updHold()->isEnabled()) << "a Pellar still holds a direct input";
    EnterAndLeave(d.updHold(), QStringLiteral("5"));
    d.updChannel()->stepBy(1);
    d.cmdOK()->click();
    EXPECT_EQ(Group(0).Hold[0], 5);
    EXPECT_EQ(Group(0).Flags[0] & 3, 3);
    EXPECT_EQ(Group(1).LocalOutputDelay[1], 0);
    EXPECT_EQ(Group(1).LocalOutput[1], 2);
}

TEST_F(InputDialogTest, ALocalOutputTheListCannotShowIsReportedOnceAndKept) {
    Group(0).LocalOutput[0] = 9;
    Group(0).Hold[0] = 33;
    Group(0).DestChannel[3][0] = 128;
    frmInputs hidden(nullptr);
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "nothing is said before the dialog is on screen";
    frmInputs& d = Show();
    EXPECT_EQ(ShownTexts(prompts), QStringList{kUnexpected.arg(1)});
    EXPECT_EQ(d.updHold()->Text(), "33") << "the other fields are loaded";
    EXPECT_EQ(d.cboInputLocalOutput()->currentIndex(), -1);
    EXPECT_EQ(d.SubChannel(3)->text(), "128") << "shown whole";
    d.chkInputEnabled()->setChecked(true);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Group(0).LocalOutput[0], 9);
    EXPECT_EQ(Group(0).DestChannel[3][0], 128);
    EXPECT_TRUE(Group(0).Flags[0] & 0x80);
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(InputDialogTest, AnEditAfterAReadReachesTheModuleByteForByte) {
    ServeKorvel(1);
    // Input 1 and input 16 (the child's last) as a technician left them; output 2 of
    // the child pulses.
    QByteArray in0 = sim.BlockData(sim::kBlockInputs, 0), in1 = sim.BlockData(sim::kBlockInputs, 1);
    QByteArray out1 = sim.BlockData(sim::kBlockOutputs, 1);
    in0[1 + 0] = 0x00;
    in0[9 + 0] = in0[17 + 0] = in0[25 + 0] = 0;
    in1[1 + 7] = char(0x40 | 0x10);
    in1[9 + 7] = in1[17 + 7] = 3;
    in1[25 + 7] = 0;
    out1[1 + 1] = char(0x80 | 0x40 | 0x02);
    for (int k = 0; k < 4; ++k) in0[65 + 8 * k + 0] = in1[65 + 8 * k + 7] = char(10 + k);
    sim.SetBlockData(sim::kBlockInputs, 0, in0);
    sim.SetBlockData(sim::kBlockInputs, 1, in1);
    sim.SetBlockData(sim::kBlockOutputs, 1, out1);
    auto expected = sim.Blocks();
    QByteArray& e0 = expected[{sim::kBlockInputs, 0}];
    e0[1 + 0] = char(0x80 | 0x40);  // input 1: events on, N.O., mapped to output 12 of station 200
    e0[33 + 0] = char(200);
    e0[65 + 0] = char(12);
    QByteArray& e1 = expected[{sim::kBlockInputs, 1}];
    e1[1 + 7] = char(0x40 | 0x10 | 0x01);  // input 16 resets output 2 of its module at once
    e1[9 + 7] = e1[17 + 7] = 0;
    e1[25 + 7] = 8 + 2;  // kept as the station's output number
    expected[{sim::kBlockOutputs, 1}][1 + 1] = char(0x80 | 0x02);
    ASSERT_TRUE(ReadConfiguration());

    WhenModal<frmInputs>([this](frmInputs& d) {
        dialog.reset(&d);
        EXPECT_TRUE(ActiveAsShown(&d));
        d.EnableDisableMap(2);  // the module is a slave; these maps are still kept
        d.chkInputEnabled()->setChecked(true);
        d.cboInputPolarity()->setCurrentIndex(1);
        EnterAndLeave(d.DestStation(0), QStringLiteral("200"));
        EnterAndLeave(d.SubChannel(0), QStringLiteral("12"));
        d.updChannel()->stepBy(-1);
        d.cboInputLocalOutput()->setCurrentIndex(2);
        d.cboSetReset()->setCurrentIndex(1);
        d.cmdOK()->click();
        (void)dialog.release();
    });
    Trigger(MenuItem::mnuConfigContactInputs);
    ASSERT_EQ(modalDialogs, 2) << "the connect dialog, then the editor";
    EXPECT_EQ(ShownTexts(prompts), QStringList{"The assigned output (2) mode was set to PULSE mode.\r\n"
                                               "It has now been set to LATCH"});

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

TEST_F(InputDialogTest, FromTheOverviewItOpensOnInputOneAndItsOkRefreshesTheLists) {
    Group(11).Flags[3] = 0x80;  // input 12
    WhenModal<frmShowConfiguration>([this](frmShowConfiguration& overview) {
        ASSERT_EQ(overview.lstInputs()->count(), 1);
        WhenModal<frmInputs>([this, &overview](frmInputs& d) {
            dialog.reset(&d);
            EXPECT_EQ(Number(), "1") << "the input editor always opens on its first input";
            d.chkInputEnabled()->setChecked(true);
            d.cmdOK()->click();
            EXPECT_EQ(overview.lstInputs()->count(), 2) << "refreshed by the OK itself";
            (void)dialog.release();
        });
        overview.lstInputs()->setCurrentRow(0);
        overview.lstInputs_DblClick();
        overview.cmdCancel()->click();
    });
    Open().SetToolbarButtonEnabled(ToolButton::Config, true);
    Press(ToolButton::Config);
    EXPECT_EQ(modalDialogs, 2);
}

} // namespace

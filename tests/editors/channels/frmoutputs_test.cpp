// The output dialog driven offscreen: where it opens, stepping through the outputs of a
// Korvel with children and of a Pellar, the mode rules, the width box's refusals, loads
// it cannot show, OK and Cancel, and an edit that reaches the module.
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "model/target.h"
#include "editors/channels/frmOutputs.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/configdiff.h"
#include "support/dialoghelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

OutputGroupRecord& Group(int number) { return config().OutputConfigTable[(number - 1) / 8]; }
uint8_t& Flags(int number) { return Group(number).Flags[(number - 1) % 8]; }
uint8_t& StoredWidth(int number) { return Group(number).PulseWidth[(number - 1) % 8]; }

class OutputDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
    }
    frmOutputs& Show(int number = 1) {
        session().SelectedOutputChannel = int16_t(number);
        dialog = std::make_unique<frmOutputs>(nullptr);
        dialog->show();
        QCoreApplication::processEvents();  // a load report comes once the dialog is up
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    QString Number() const { return dialog->updChannel()->Box()->text(); }
    QString WidthText() const { return dialog->updPulseWidth()->Text(); }
    std::unique_ptr<frmOutputs> dialog;
};

TEST_F(OutputDialogTest, OpensOnTheSelectedOutputAsStored) {
    Flags(10) = 0xC0;
    StoredWidth(10) = 25;
    frmOutputs& d = Show(10);
    EXPECT_EQ(d.windowTitle(), "Output Configuration, Station: Local(001)");
    EXPECT_EQ(Number(), "10");
    EXPECT_EQ(d.cboOutputPolarity()->currentText(), "N.O.");
    EXPECT_EQ(d.cboOutputMode()->currentText(), "PULSE");
    EXPECT_EQ(WidthText(), "250");
    EXPECT_TRUE(d.updPulseWidth()->isEnabled());
    EXPECT_TRUE(d.cboOutputMode()->isEnabled());
    EXPECT_TRUE(d.Text1()->toPlainText().startsWith("The output state defines the \n'rest' or OFF state of the \n"));
    EXPECT_TRUE(prompts.Shown().isEmpty());
    dialog.reset();

    linkState().StationAddress[0] = 7;
    Flags(1) = 0x20;  // bit 5 alone is still a latch
    EXPECT_EQ(Show(1).windowTitle(), "Output Configuration, Station: 007");
    EXPECT_EQ(dialog->cboOutputMode()->currentText(), "LATCH");
    EXPECT_FALSE(dialog->updPulseWidth()->isEnabled());
}

TEST_F(OutputDialogTest, ControlsAreLabelledAndVisitedInOrder) {
    Flags(1) = 0x40;  // a pulse, so that its width can be edited
    StoredWidth(1) = 5;
    frmOutputs& d = Show();
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
        visited << ControlName(QApplication::focusWidget());
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, (QStringList{"updChannel", "cboOutputPolarity", "cboOutputMode", "updPulseWidth", "Text1",
                                    "cmdOK", "cmdCancel", "updChannel"}));
    QStringList labelled;
    for (const QLabel* l : d.findChildren<QLabel*>())
        if (l->buddy()) labelled << ControlName(l->buddy()) + "=" + Shown(l->text());
    EXPECT_EQ(labelled, (QStringList{"updChannel=Output:", "cboOutputPolarity=Output State:",
                                     "cboOutputMode=Output mode:", "updPulseWidth=Pulse Width (mS):"}));
}

TEST_F(OutputDialogTest, StepsStoreTheOutputLeftAndWrapBothWaysOverTheStationsOutputs) {
    frmOutputs& d = Show(1);
    d.cboOutputPolarity()->setCurrentIndex(1);
    d.updChannel()->stepBy(-1);  // down past the first: the last output of the child
    EXPECT_EQ(Number(), "16");
    EXPECT_EQ(Flags(1), 0x80) << "the step stored output 1";
    EXPECT_EQ(session().SelectedOutputChannel, 16);
    d.cboOutputMode()->setCurrentIndex(1);
    d.updChannel()->stepBy(1);  // up past the last
    EXPECT_EQ(Number(), "1");
    EXPECT_EQ(Flags(16), 0x40);
    EXPECT_EQ(StoredWidth(16), 1);
    EXPECT_EQ(d.cboOutputPolarity()->currentText(), "N.O.") << "output 1 loaded again";
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Number(), "2");
    d.cmdCancel()->click();
    EXPECT_EQ(session().SelectedOutputChannel, 2) << "the next opening starts here";
    EXPECT_EQ(Flags(1), 0x80) << "Cancel keeps what the steps stored";
}

TEST_F(OutputDialogTest, APellarOffersItsEightOutputsWithOneMode) {
    LoadPellar(0x55);
    frmOutputs& d = Show(8);
    EXPECT_FALSE(d.cboOutputMode()->isEnabled());
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Number(), "1");
    dialog.reset();
    // An output beyond the station (left from a bigger one) opens on the first.
    Show(30);
    EXPECT_EQ(Number(), "1");
    EXPECT_EQ(session().SelectedOutputChannel, 1);
}

TEST_F(OutputDialogTest, ModesSetTheWidthAndItsLeastValue) {
    frmOutputs& d = Show();
    d.cboOutputMode()->setCurrentIndex(1);
    EXPECT_EQ(WidthText(), "10") << "a pulse lasts one step at least";
    EXPECT_TRUE(d.updPulseWidth()->isEnabled());
    d.updPulseWidth()->stepBy(-1);
    EXPECT_EQ(WidthText(), "10");
    d.updPulseWidth()->SetValue(500);
    d.cboOutputMode()->setCurrentIndex(0);
    EXPECT_EQ(WidthText(), "0");
    EXPECT_FALSE(d.updPulseWidth()->isEnabled());
    d.cboOutputMode()->setCurrentIndex(1);
    EXPECT_EQ(WidthText(), "10");
}

TEST_F(OutputDialogTest, TheWidthBoxRefusesWhatIsOutsideTheModesLimits) {
    frmOutputs& d = Show();
    d.cboOutputMode()->setCurrentIndex(1);
    const std::pair<const char*, const char*> cases[] = {
        {"5", "Value less than minimum, value is reset to minimum"},
        {"3000", "Value greater than maximum, value is reset to maximum"},
        {"", "Nothing was entered in the field, please enter valid data!"},
    };
    const char* const reset[] = {"10", "2550", "0"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        prompts.Clear();
        Enter(d.updPulseWidth(), QString::fromLatin1(cases[i].first));
        if (!*cases[i].first) d.updPulseWidth()->Box()->clear();
        d.cboOutputPolarity()->setFocus();
        EXPECT_EQ(ShownTexts(prompts), QStringList{QString::fromLatin1(cases[i].second)}) << cases[i].first;
        EXPECT_EQ(WidthText(), reset[i]) << cases[i].first;
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "updPulseWidth") << "the focus stays";
    }
    // A second bad value after a refusal is checked as the first was.
    QLineEdit* box = d.updPulseWidth()->Box();
    prompts.Clear();
    Enter(d.updPulseWidth(), QStringLiteral("0"));
    QTest::keyClick(box, Qt::Key_Tab);
    TypeAtFocus(QStringLiteral("0"));
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(ShownTexts(prompts).size(), 2);
    EXPECT_EQ(WidthText(), "10");
    // The width's own arrows step from the reset the box shows, not from the width before.
    Enter(d.updPulseWidth(), QStringLiteral("9999"));
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(d.updPulseWidth()->Value(), 2550);
    QTest::mouseClick(d.updPulseWidth(), Qt::LeftButton, {}, ArrowPoint(d.updPulseWidth(), false));
    EXPECT_EQ(WidthText(), "2540");
    Enter(d.updPulseWidth(), QStringLiteral("120"));
    d.cmdOK()->click();
    EXPECT_EQ(StoredWidth(1), 12);
    EXPECT_EQ(Flags(1), 0x40);
}

TEST_F(OutputDialogTest, TheChannelArrowsAndWheelAfterARefusedWidthMoveNothingAndCancelStoresNothing) {
    Flags(1) = 0x40;  // pulsed, so the width can be typed
    StoredWidth(1) = 12;
    const auto before = std::make_unique<StationConfig>(config());
    frmOutputs& d = Show();
    ExpectEachPressRefused(prompts, d.updPulseWidth(), QStringLiteral("3000"),
                           QStringLiteral("Value greater than maximum, value is reset to maximum"),
                           QStringLiteral("2550"), UpDownPresses(d.updChannel()), [&] {
                               EXPECT_EQ(Number(), "1");
                               EXPECT_EQ(d.updPulseWidth()->Value(), 2550) << "the reset is the width at once";
                           });
    d.cmdCancel()->click();
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
}

TEST_F(OutputDialogTest, LoadsItCannotShowAreReportedAndKept) {
    Flags(3) = 0x60 | 0x05;  // the further pulse type, which the list does not offer
    StoredWidth(3) = 7;
    Flags(4) = 0x40;         // a pulse without a width
    StoredWidth(4) = 0;
    frmOutputs& d = Show(3);
    const QString message = QStringLiteral(
        "An unexpected value was returned from the device for channel %1.\r\n"
        "Ensure the settings are correct and then upload the data to the device.\r\n");
    EXPECT_EQ(ShownTexts(prompts), QStringList{message.arg(3)});
    EXPECT_EQ(d.cboOutputMode()->currentIndex(), -1);
    EXPECT_TRUE(d.updPulseWidth()->isEnabled());
    EXPECT_EQ(WidthText(), "70");
    d.cboOutputPolarity()->setCurrentIndex(1);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Flags(3), 0x80 | 0x60 | 0x05) << "the stored mode survives a store";
    EXPECT_EQ(ShownTexts(prompts), (QStringList{message.arg(3), message.arg(4)}));
    EXPECT_EQ(WidthText(), "0");
    const auto before = std::make_unique<StationConfig>(config());
    d.cmdOK()->click();
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{}) << "an untouched pulse keeps its stored width";
}

TEST_F(OutputDialogTest, OkStoresTheShownOutputAndCancelDropsIt) {
    frmOutputs& d = Show(5);
    d.cboOutputPolarity()->setCurrentIndex(1);
    d.cmdCancel()->click();
    EXPECT_EQ(Flags(5), 0);
    dialog.reset();
    const auto before = std::make_unique<StationConfig>(config());
    Show(5).cboOutputPolarity()->setCurrentIndex(1);
    dialog->cmdOK()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{"OutputConfigTable[0].Flags[4]: 0 -> 128"});
}

TEST_F(OutputDialogTest, AnEditAfterAReadReachesTheModuleByteForByte) {
    ServeKorvel(2);
    // Outputs 8 and 9 as a technician left them: latches with a few other bits set.
    QByteArray group0 = sim.BlockData(sim::kBlockOutputs, 0), group1 = sim.BlockData(sim::kBlockOutputs, 1);
    group0[1 + 7] = char(0x1F);
    group1[1 + 0] = char(0x83);
    sim.SetBlockData(sim::kBlockOutputs, 0, group0);
    sim.SetBlockData(sim::kBlockOutputs, 1, group1);
    auto expected = sim.Blocks();
    expected[{sim::kBlockOutputs, 1}][1 + 0] = char(0xC3);  // output 9: PULSE, 120 ms
    expected[{sim::kBlockOutputs, 1}][9 + 0] = char(12);
    expected[{sim::kBlockOutputs, 0}][1 + 7] = char(0x9F);  // output 8: N.O.
    ASSERT_TRUE(ReadConfiguration());

    session().SelectedOutputChannel = 9;
    WhenModal<frmOutputs>([](frmOutputs& d) {
        d.cboOutputMode()->setCurrentIndex(1);
        d.updPulseWidth()->SetValue(120);
        d.updChannel()->stepBy(-1);
        d.cboOutputPolarity()->setCurrentIndex(1);
        d.cmdOK()->click();
    });
    Trigger(MenuItem::mnuConfigOutputs);
    ASSERT_EQ(modalDialogs, 2) << "the connect dialog, then this one";

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace

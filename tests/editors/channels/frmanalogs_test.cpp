// The analog and temperature input dialog driven offscreen: what a channel loads as in
// each mode and model, stepping over absent channels, the range and sensor controls, the
// field refusals, OK and Cancel, and edits that reach the module byte for byte.
#include "app/boundedfield.h"
#include "app/channelstepper.h"
#include "app/stepperfield.h"
#include "model/analogcodes.h"
#include "model/target.h"
#include "editors/channels/frmAnalogs.h"
#include "editors/station/frmSystem.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/configdiff.h"
#include "support/dialoghelpers.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

AnalogGroupRecord& Group(int index) { return config().AnalogConfigTable[index / 8]; }

const QString kUnexpected = QStringLiteral(
    "An unexpected value was returned from the device for channel %1.\r\n"
    "Ensure the settings are correct and then upload the data to the device.\r\n");

class AnalogDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
    }
    frmAnalogs& Show(bool analog, int index = 0) {
        session().AnalogMode = analog;
        session().SelectedAnalogChannel = int16_t(index);
        dialog = std::make_unique<frmAnalogs>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        QApplication::processEvents();  // what the load has to report
        return *dialog;
    }
    // A channel on the 0 - 5.00V range with the 20A shunt, set points 1.00 and 2.50 V,
    // inverted, logged, every side field set.
    static void SetWellKnownChannel(int index) {
        AnalogGroupRecord& g = Group(index);
        const int s = index % 8;
        g.Flags[s] = 0x80 | 0x40 | 0x20 | 0x08 | RANGE_0_5V;
        g.Modifier[s] = SENSOR_SHUNT_20A;
        g.LowThreshold[s] = 205;
        g.HighThreshold[s] = 512;
        g.Offset[s] = 3;
        g.LowHold[s] = 9;
        g.HighHold[s] = 7;
        g.LowOutputDelay[s] = 5;
        g.HighOutputDelay[s] = 4;
        g.LowLocalOutput[s] = 3;
        g.HighLocalOutput[s] = 2;
        g.HighDestStation[0][s] = 12;
        g.HighDestChannel[1][s] = 64;
        g.LowDestStation[1][s] = 255;
        g.Qualifier[s] = 9;
    }
    QString Number() const { return dialog->updChannel()->Box()->text(); }
    // Types text into field and moves the focus to the channel number, as Tab would.
    void EnterAndLeave(QWidget* field, const QString& text) {
        Enter(field, text);
        if (text.isEmpty()) {
            if (auto* f = qobject_cast<StepperField*>(field)) f->Box()->clear();
            if (auto* f = qobject_cast<BoundedField*>(field)) f->Box()->clear();
            if (auto* e = qobject_cast<QLineEdit*>(field)) e->clear();
        }
        dialog->chkAnalogEnabled()->setFocus(Qt::TabFocusReason);
    }
    std::unique_ptr<frmAnalogs> dialog;
};

TEST_F(AnalogDialogTest, AnAnalogChannelLoadsInTheUnitsOfItsRangeAndSensorAndStoresBackUnchanged) {
    SetWellKnownChannel(0);
    config().SystemConfig[37] = 1;  // slot 0 is logged
    const auto before = std::make_unique<StationConfig>(config());
    frmAnalogs& d = Show(true);
    EXPECT_EQ(d.windowTitle(), "Analog Input Configuration, Station: Local(001)");
    EXPECT_EQ(Number(), "1");
    EXPECT_TRUE(d.chkAnalogEnabled()->isChecked());
    EXPECT_EQ(d.cboInputRange()->currentText(), "0 - 5.00V");
    EXPECT_FALSE(d.cboUserM()->isEnabled());
    EXPECT_EQ(ListItems(d.Combo_Sensor()).size(), 8);
    EXPECT_EQ(d.Combo_Sensor()->currentText(), "Diff. Sensor - 20A Shunt");
    EXPECT_EQ(d.updHighThreshold()->Text(), "2.50");
    EXPECT_EQ(d.updLowThreshold()->Text(), "1.00");
    EXPECT_EQ(d.updOffset()->Text(), "0.30");
    EXPECT_EQ(d.txtHighThresholdDBM()->text(), "0.30A");
    EXPECT_EQ(d.txtLowThresholdDBM()->text(), "-14.70A");
    EXPECT_EQ(d.updHighHold()->Text(), "7");
    EXPECT_EQ(d.updAHighLocOutputDelay()->Text(), "4") << "the delay is set after its hold";
    EXPECT_EQ(d.updALowLocOutputDelay()->Text(), "5");
    EXPECT_EQ(d.cboAHighOutput()->currentText(), "2");
    EXPECT_EQ(d.cboALowOutput()->currentText(), "3");
    EXPECT_EQ(d.txtADestStation(0)->text(), "012");
    EXPECT_EQ(d.txtADestChannel(1)->text(), "64");
    EXPECT_EQ(d.txtADestStation(3)->text(), "255");
    EXPECT_EQ(d.txtADestChannel(2)->text(), "00");
    EXPECT_TRUE(d.chkInvert()->isChecked());
    EXPECT_EQ(d.lblMiddle()->text(), "EVENT ON");
    EXPECT_EQ(d.lblTop()->text(), "EVENT OFF");
    EXPECT_EQ(d.shpMiddle()->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(d.cboAHighOutput()->isEnabled()) << "an inverted high band drives no output";
    EXPECT_TRUE(d.chkEnableLog()->isEnabled());
    EXPECT_TRUE(d.chkEnableLog()->isChecked());
    EXPECT_EQ(d.cboQInput()->currentText(), "CARDET");
    EXPECT_TRUE(prompts.Shown().isEmpty());

    d.cmdOK()->click();
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{"AnalogConfigTable[0].RangeCode[0]: 0 -> 1"});
}

TEST_F(AnalogDialogTest, ATemperatureChannelShowsDegreesAndHidesTheAnalogControls) {
    config().TempConfigTable[0].LowThreshold = 402;   // -55.0 C on a Korvel
    config().TempConfigTable[0].HighThreshold = 250;  // +125.0 C
    frmAnalogs& d = Show(false);
    EXPECT_EQ(d.windowTitle(), "Temperature Input Configuration, Station: Local(001)");
    EXPECT_EQ(d.updLowThreshold()->Text(), "-55.0");
    EXPECT_EQ(d.updHighThreshold()->Text(), "125.0");
    EXPECT_EQ(d.lblTempMode()->text(), "Temperatures = Celsius");
    for (QWidget* w : std::initializer_list<QWidget*>{d.cboInputRange(), d.cboUserM(), d.Combo_Sensor(), d.fraGraphic1(),
                                                      d.txtHighThresholdDBM(), d.chkInvert()})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    d.updHighThreshold()->stepBy(1);
    EXPECT_EQ(d.updHighThreshold()->Text(), "125.0") << "the sensor's range ends there";
    d.updLowThreshold()->stepBy(1);
    EXPECT_EQ(d.updLowThreshold()->Text(), "-54.5");
    d.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "8") << "eight temperature inputs, wrapping";
    EXPECT_EQ(config().TempConfigTable[0].LowThreshold, 403);
    dialog.reset();

    settings().DegreesF = true;
    Show(false);
    EXPECT_EQ(dialog->lblTempMode()->text(), "Temperatures = Fahrenheit");
    EXPECT_EQ(dialog->updLowThreshold()->Text(), "-66.1") << "the -54.5 C stored by the step";
    EXPECT_EQ(dialog->updHighThreshold()->Text(), "257.0");
    EnterAndLeave(dialog->updHighThreshold(), QStringLiteral("77.0"));
    EXPECT_EQ(dialog->updHighThreshold()->Text(), "77.0");
    dialog->cmdOK()->click();
    EXPECT_EQ(config().TempConfigTable[0].HighThreshold, 50) << "77 F is 25.0 C";
}

TEST_F(AnalogDialogTest, APellarsTemperaturesTravelAsItsOffsetCodes) {
    LoadPellar(0);
    frmAnalogs& d = Show(false);
    EXPECT_EQ(d.updLowThreshold()->Text(), "0.0");
    EXPECT_EQ(d.updHighThreshold()->Text(), "25.0");
    EXPECT_TRUE(d.fraHoldTime()->isVisible());
    EXPECT_FALSE(d.updLowHold()->isVisible());
    EnterAndLeave(d.updHighThreshold(), QStringLiteral("30"));
    EnterAndLeave(d.updCommonHoldTime(), QStringLiteral("12"));
    d.cmdOK()->click();
    const TempChannelRecord& r = config().TempConfigTable[0];
    EXPECT_EQ(r.HighThreshold, 171);
    EXPECT_EQ(r.LowThreshold, 111);
    EXPECT_EQ(std::vector<int>({r.HighHold, r.LowHold, r.HighOutputDelay, r.LowOutputDelay}),
              std::vector<int>({12, 12, 12, 12}));
}

TEST_F(AnalogDialogTest, StepsPassOverAbsentChannelsStoreTheChannelLeftAndWrap) {
    LoadKorvel(2);
    for (bool& present : Group(8).Present) present = false;  // channels 9 to 16
    frmAnalogs& d = Show(true, 7);
    EXPECT_EQ(Number(), "8");
    d.chkAnalogEnabled()->setChecked(true);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Number(), "17");
    EXPECT_EQ(session().SelectedAnalogChannel, 16);
    EXPECT_TRUE(Group(7).Flags[7] & 0x80) << "the step stored channel 8";
    d.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "8");
    EXPECT_TRUE(d.chkAnalogEnabled()->isChecked());
    dialog.reset();
    Show(true, 0).updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "24") << "down past the first is the last present channel";
}

TEST_F(AnalogDialogTest, AStepWithTheLowSetPointNotBelowTheHighIsRefusedAndStartsAgainFromTheChannelShown) {
    frmAnalogs& d = Show(true, 2);
    const auto before = std::make_unique<StationConfig>(config());
    d.chkAnalogEnabled()->setChecked(true);
    d.updLowThreshold()->SetValue(d.updHighThreshold()->Value());
    d.updChannel()->stepBy(1);
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Error: Low threshold value must be lower than high threshold\r\n"
                                               "value. Click OK to continue."});
    EXPECT_EQ(Number(), "3");
    EXPECT_EQ(prompts.Shown()[0].owner, &d) << "the box belongs to the dialog, not to the main window";
    EXPECT_TRUE(d.isActiveWindow()) << "and gives it the activation back";
    EXPECT_EQ(ControlName(QApplication::focusWidget()), "updLowThreshold");
    EXPECT_EQ(d.updLowThreshold()->Box()->selectedText(), d.updLowThreshold()->Text());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{}) << "nothing stored";
    EXPECT_TRUE(d.chkAnalogEnabled()->isChecked()) << "the edits stay on screen";
    d.updLowThreshold()->stepBy(-1);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Number(), "4");
    EXPECT_TRUE(Group(2).Flags[2] & 0x80);
    // OK compares the same way: equal is refused, one step below passes.
    d.updLowThreshold()->SetValue(d.updHighThreshold()->Value());
    QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(prompts.Shown().last().owner, &d);
    EXPECT_EQ(ControlName(QApplication::focusWidget()), "updLowThreshold") << "the focus leaves OK";
    d.updLowThreshold()->SetValue(d.updHighThreshold()->Value() - 100);
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
}

TEST_F(AnalogDialogTest, ValuesTheControlsCannotShowAreReportedOnceAndKept) {
    Group(4).LowLocalOutput[4] = 9;
    Group(4).HighHold[4] = 42;
    Group(5).Qualifier[5] = 200;  // past the list: none, without a report
    Group(6).Flags[6] = 0x06;     // a range the list does not offer
    Group(6).Modifier[6] = 3;
    session().SelectedAnalogChannel = 4;
    frmAnalogs(nullptr).hide();
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "nothing is said before the dialog is on screen";
    frmAnalogs& d = Show(true, 4);
    EXPECT_EQ(ShownTexts(prompts), QStringList{kUnexpected.arg(5)});
    EXPECT_EQ(d.updHighHold()->Text(), "42") << "the other fields are loaded";
    EXPECT_EQ(d.cboALowOutput()->currentIndex(), -1);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Group(4).LowLocalOutput[4], 9) << "a store keeps what could not be shown";
    EXPECT_EQ(d.cboQInput()->currentText(), "NONE");
    EXPECT_EQ(prompts.Shown().size(), 1);
    d.updChannel()->stepBy(1);
    EXPECT_EQ(ShownTexts(prompts).last(), kUnexpected.arg(7));
    d.cmdOK()->click();
    EXPECT_EQ(Group(6).Flags[6] & 0x07, 6);
    EXPECT_EQ(Group(6).Modifier[6], 3);
}

TEST_F(AnalogDialogTest, RangesSetTheirLimitsDefaultsAndSensorsAndStoreTheirCodes) {
    Group(0).Flags[0] = RANGE_4_20MA;
    Group(1).Flags[1] = RANGE_0_2V56;
    Group(1).HighThreshold[1] = 1023;
    frmAnalogs& d = Show(true, 0);
    EXPECT_EQ(d.cboInputRange()->currentText(), "0 - 25.0V") << "4 to 20 mA shows as the 25 V range";
    EXPECT_FALSE(d.Combo_Sensor()->isVisible());
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Group(0).Flags[0] & 7, RANGE_0_25V);
    EXPECT_EQ(d.cboInputRange()->currentIndex(), -1);
    EXPECT_EQ(d.updHighThreshold()->Text(), "2.56");
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Group(1).Flags[1] & 7, RANGE_0_2V56);

    d.cboInputRange()->setCurrentIndex(2);  // USER
    EXPECT_TRUE(d.cboUserM()->isEnabled());
    EXPECT_EQ(d.updHighThreshold()->Text(), "10.00");
    EXPECT_EQ(d.updLowThreshold()->Text(), "00.00");
    d.cboUserM()->setCurrentIndex(3);
    EXPECT_EQ(d.updHighThreshold()->Text(), "100.0");
    d.updHighThreshold()->stepBy(1);
    EXPECT_EQ(d.updHighThreshold()->Text(), "100.0") << "full scale is the limit";
    d.cboUserM()->setCurrentIndex(2);
    EXPECT_EQ(d.updHighThreshold()->Text(), "50.0");
    d.updChannel()->stepBy(1);
    EXPECT_EQ(Group(2).Flags[2] & 0x1F, 0x10 | RANGE_USER) << "10 X in bits 3 to 4";
    EXPECT_EQ(Group(2).Modifier[2], 2);
    EXPECT_EQ(Group(2).HighThreshold[2], 1023);

    d.cboInputRange()->setCurrentIndex(1);
    EXPECT_FALSE(d.cboUserM()->isEnabled());
    EXPECT_EQ(d.updHighThreshold()->Text(), "25.0");
    d.updHighThreshold()->stepBy(-1);
    EXPECT_EQ(d.updHighThreshold()->Text(), "24.9") << "the 25 V range steps by a tenth";
    d.cboInputRange()->setCurrentIndex(0);
    EXPECT_EQ(d.updHighThreshold()->Text(), "5.00");
    EXPECT_EQ(d.updLowThreshold()->Text(), "0.00");
    EXPECT_EQ(ListItems(d.Combo_Sensor()).first(), "Normal");
    EXPECT_EQ(ListItems(d.Combo_Sensor()).last(), "AC Voltage Sensor");
    d.Combo_Sensor()->setCurrentIndex(5);  // the 20A shunt
    d.cmdOK()->click();
    EXPECT_EQ(Group(3).Modifier[3], SENSOR_SHUNT_20A);
    EXPECT_EQ(Group(3).Flags[3] & 0x1F, 0x08 | RANGE_0_5V);
}

TEST_F(AnalogDialogTest, ASensorChoiceWaitsForOkAndARangeChangeDoesNotWipeIt) {
    SetWellKnownChannel(0);
    Group(1).Flags[1] = RANGE_0_25V;  // with the RF power sensor, which the list cannot pick
    Group(1).Modifier[1] = SENSOR_RF_POWER;
    const auto before = std::make_unique<StationConfig>(config());
    frmAnalogs& d = Show(true, 0);
    d.Combo_Sensor()->setCurrentIndex(7);
    EXPECT_TRUE(d.txtHighThresholdDBM()->text().endsWith("VAC"));
    EXPECT_EQ(Group(0).Modifier[0], SENSOR_SHUNT_20A) << "nothing stored before OK";
    d.cboInputRange()->setCurrentIndex(1);
    d.cboInputRange()->setCurrentIndex(0);
    EXPECT_EQ(d.Combo_Sensor()->currentText(), "AC Voltage Sensor");
    d.cmdCancel()->click();
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{});
    EXPECT_TRUE(session().ConfigLoaded) << "Cancel keeps the warning before a read";
    dialog.reset();

    Show(true, 1);
    EXPECT_EQ(dialog->txtHighThresholdDBM()->text().right(3), "dBm") << "shown as the module reads it";
    dialog->cmdOK()->click();
    EXPECT_EQ(Group(1).Modifier[1], SENSOR_RF_POWER) << "the stored sensor survives a load and store";
    dialog.reset();
    Show(true, 0).cboInputRange()->setCurrentIndex(1);
    dialog->cmdOK()->click();
    EXPECT_EQ(Group(0).Modifier[0], 0) << "the shunt does not carry over to the 25 V range";
    EXPECT_EQ(Group(0).Flags[0] & 0x18, 0);
}

TEST_F(AnalogDialogTest, FieldsRefuseWhatIsOutsideTheirLimitsAndKeepTheFocus) {
    config().SystemConfig[1] = 2;  // a master maps both ways
    Group(0).Flags[0] = RANGE_0_25V;
    frmAnalogs& d = Show(true, 0);
    struct Case {
        QWidget* field;
        const char* typed;
        const char* message;
        const char* reset;  // nullptr: accepted as typed
    };
    const QString empty = QStringLiteral("Nothing was entered in the field, please enter valid data!");
    const Case cases[] = {
        {d.txtADestChannel(0), "65", "Destination output must be between 1 and 64, please renter", "0"},
        {d.txtADestChannel(0), "64", nullptr, nullptr},
        {d.txtADestStation(3), "256", "Destination station must be less than 255, please renter", "0"},
        {d.txtADestStation(3), "255", nullptr, nullptr},
        {d.txtADestStation(1), "", "Nothing was entered in the field, please enter valid data!", "0"},
        {d.updALowLocOutputDelay(), "256", "Value greater than maximum, value is reset to maximum", "255"},
        {d.updALowLocOutputDelay(), "0", nullptr, nullptr},
        {d.updHighHold(), "300", "Value greater than maximum, value is reset to maximum", "255"},
        {d.updHighHold(), "0", "Value less than minimum, value is reset to minimum", "1"},
        {d.updLowHold(), "", "Nothing was entered in the field, please enter valid data!", "0"},
        {d.updLowHold(), "5", nullptr, nullptr},
        {d.updOffset(), "3.3", "Value greater than maximum, value is reset to maximum", "3.2"},
        {d.updOffset(), "-3.5", "Value less than minimum, value is reset to minimum", "-3.1"},
        {d.updOffset(), "-0.5", nullptr, nullptr},
        {d.updHighThreshold(), "25.1", "Value outside selected range, please renter", "0"},
        {d.updHighThreshold(), "", "Nothing was entered in the field, please enter valid data!", "0"},
        {d.updHighThreshold(), "12.5", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        prompts.Clear();
        EnterAndLeave(c.field, QString::fromLatin1(c.typed));
        const QString name = ControlName(c.field);
        QString text;
        if (auto* f = qobject_cast<StepperField*>(c.field)) text = f->Text();
        if (auto* f = qobject_cast<BoundedField*>(c.field)) text = f->Text();
        if (auto* e = qobject_cast<QLineEdit*>(c.field)) text = e->text();
        if (c.message) {
            EXPECT_EQ(ShownTexts(prompts), QStringList{QString::fromLatin1(c.message)}) << name.toStdString() << c.typed;
            EXPECT_EQ(text, QString::fromLatin1(c.reset)) << name.toStdString() << c.typed;
            EXPECT_EQ(ControlName(QApplication::focusWidget()), name) << "the focus stays";
        } else {
            EXPECT_TRUE(prompts.Shown().isEmpty()) << name.toStdString() << c.typed;
            EXPECT_EQ(text, QString::fromLatin1(c.typed));
        }
    }
    EXPECT_EQ(d.updOffset()->Value(), -5);
    EXPECT_EQ(d.updHighThreshold()->Value(), 125000);
    EXPECT_EQ(d.txtHighThresholdDBM()->text(), "12.00V");
    // A hold sets its delay, which can then be changed on its own.
    EnterAndLeave(d.updHighHold(), QStringLiteral("7"));
    EXPECT_EQ(d.updAHighLocOutputDelay()->Text(), "7");
    EnterAndLeave(d.updAHighLocOutputDelay(), QStringLiteral("9"));
    d.cmdOK()->click();
    EXPECT_EQ(Group(0).HighHold[0], 7);
    EXPECT_EQ(Group(0).HighOutputDelay[0], 9);
    EXPECT_EQ(Group(0).HighDestChannel[0][0], 64);
    EXPECT_EQ(Group(0).LowDestStation[1][0], 255);
    EXPECT_EQ(Group(0).Offset[0], -5);
    EXPECT_EQ(Group(0).HighThreshold[0], 512);
}

TEST_F(AnalogDialogTest, TheChannelArrowsAndWheelAfterARefusedHoldMoveNothingAndCancelStoresNothing) {
    // Both kinds of input, each with a hold typed past its maximum.
    for (const bool analog : {true, false}) {
        SCOPED_TRACE(analog ? "analog" : "temperature");
        const auto before = std::make_unique<StationConfig>(config());
        frmAnalogs& d = Show(analog);
        ExpectEachPressRefused(prompts, d.updHighHold(), QStringLiteral("300"),
                               QStringLiteral("Value greater than maximum, value is reset to maximum"),
                               QStringLiteral("255"), UpDownPresses(d.updChannel()), [&] {
                                   EXPECT_EQ(Number(), "1");
                                   EXPECT_EQ(d.updHighHold()->Value(), 255) << "the reset is the hold at once";
                               });
        d.cmdCancel()->click();
        EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
        dialog.reset();
    }
}

TEST_F(AnalogDialogTest, ATemperatureOutsideTheSensorsRangeIsRefused) {
    frmAnalogs& d = Show(false);
    EnterAndLeave(d.updHighThreshold(), QStringLiteral("125.1"));
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Temperature must be between -55 and +125, please renter"});
    EXPECT_EQ(d.updHighThreshold()->Text(), "0");
    EnterAndLeave(d.updHighThreshold(), QStringLiteral("-12.5"));
    EXPECT_EQ(d.updHighThreshold()->Value(), -125);
}

TEST_F(AnalogDialogTest, TheModuleModeDecidesWhichMapsCanBeEdited) {
    config().SystemConfig[1] = 1;
    frmAnalogs& d = Show(true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(d.txtADestStation(i)->isEnabled());
        EXPECT_TRUE(d.txtADestChannel(i)->isEnabled());
    }
    EXPECT_EQ(d.txtAnalogTabMode()->toPlainText(), frmSystem::LoadHintPanel(1, 1));
    d.EnableDisableAMap(3);
    EXPECT_FALSE(d.txtADestChannel(2)->isEnabled());
    d.EnableDisableAMap(7);  // no such mode: left as it was
    EXPECT_FALSE(d.txtADestChannel(2)->isEnabled());
    dialog.reset();
    Show(false);
    EXPECT_EQ(dialog->txtAnalogTabMode()->toPlainText(), frmSystem::LoadHintPanel(1, 2));
}

TEST_F(AnalogDialogTest, APellarEditsOneHoldTimeAndQualifiesByItsOwnInputs) {
    LoadPellar(0x05);  // analog boards 1 and 3
    for (int g : {1, 3}) config().AnalogConfigTable[g] = config().AnalogConfigTable[0];
    frmAnalogs& d = Show(true);
    for (QWidget* w : std::initializer_list<QWidget*>{d.chkInvert(), d.chkEnableLog(), d.fraGraphic1(), d.updHighHold(),
                                                      d.updALowLocOutputDelay(), d.txtADestStation(0)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(d.fraHoldTime()->isVisible());
    EXPECT_EQ(d.fraLoggerOpt()->title(), "Input Qualification");
    EXPECT_EQ(Shown(d.lblQInput()->text()), "Input channel qualifier");
    EXPECT_EQ(d.cboQInput()->count(), 33);
    EXPECT_TRUE(d.cboQInput()->isEnabled());
    d.updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "32") << "the last board fitted, past the gap";
    dialog.reset();
    Show(true, 24).updChannel()->stepBy(-1);
    EXPECT_EQ(Number(), "16");
    EnterAndLeave(dialog->updCommonHoldTime(), QStringLiteral("20"));
    dialog->cboQInput()->setCurrentIndex(32);
    dialog->cmdOK()->click();
    const AnalogGroupRecord& g = Group(15);
    EXPECT_EQ(std::vector<int>({g.HighHold[7], g.LowHold[7], g.HighOutputDelay[7], g.LowOutputDelay[7]}),
              std::vector<int>({20, 20, 20, 20}));
    EXPECT_EQ(g.Qualifier[7], 32);
}

TEST_F(AnalogDialogTest, ActivatingTheDialogAgainKeepsWhatWasTyped) {
    frmAnalogs& d = Show(true);
    Enter(d.updHighHold(), QStringLiteral("33"));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&d, &activate);
    EXPECT_EQ(d.updHighHold()->Text(), "33");
}

// Bytes of one channel's slot in an analog or temperature block as the module sends it
// (index = frame byte - 7).
void PutChannel(QByteArray& block, int slot, uint8_t flags, int low, int high, uint8_t modifierByte) {
    block[1 + slot] = char(flags);
    block[9 + 2 * slot] = char(low & 0xFF);
    block[10 + 2 * slot] = char(low >> 8);
    block[81 + 2 * slot] = char(high & 0xFF);
    block[82 + 2 * slot] = char(high >> 8);
    for (int k = 0; k < 7; ++k) {
        const uint8_t side = k == 0 || k == 6 ? 3 : k == 5 ? 1 : 0;  // hold, local output, delay
        block[25 + 8 * k + slot] = char(side);
        block[97 + 8 * k + slot] = char(side);
    }
    block[153 + slot] = char(modifierByte);
    block[161 + slot] = 0;
}

TEST_F(AnalogDialogTest, EditsAfterAReadReachTheModuleByteForByte) {
    ServeKorvel(1);
    QByteArray analogs = sim.BlockData(sim::kBlockAnalogs, 0), temps = sim.BlockData(sim::kBlockTemps, 0);
    PutChannel(analogs, 0, RANGE_0_5V, 205, 512, 0);
    PutChannel(analogs, 1, 0x08 | RANGE_0_5V, 100, 900, 0x10);  // the 20A shunt
    PutChannel(temps, 0, 0x80, 0, 100, 0);
    sim.SetBlockData(sim::kBlockAnalogs, 0, analogs);
    sim.SetBlockData(sim::kBlockTemps, 0, temps);
    auto expected = sim.Blocks();
    QByteArray& a = expected[{sim::kBlockAnalogs, 0}];
    a[1 + 0] = char(0x80 | RANGE_0_5V);  // channel 1: events on, high hold and delay 30
    a[97 + 0] = a[97 + 48 + 0] = char(30);
    a[1 + 1] = char(0x10 | RANGE_USER);  // channel 2: USER 10 X, full scale and zero
    a[9 + 2] = a[10 + 2] = 0;
    a[81 + 2] = char(0xFF);
    a[82 + 2] = char(0x03);
    a[153 + 1] = 0;
    QByteArray& t = expected[{sim::kBlockTemps, 0}];
    t[81 + 0] = char(60);  // temperature 1: high set point 30.0 C
    ASSERT_TRUE(ReadConfiguration());

    WhenModal<frmAnalogs>([this](frmAnalogs& d) {
        dialog.reset(&d);
        EXPECT_TRUE(ActiveAsShown(&d));
        d.chkAnalogEnabled()->setChecked(true);
        EnterAndLeave(d.updHighHold(), QStringLiteral("30"));
        d.updChannel()->stepBy(1);
        d.cboInputRange()->setCurrentIndex(2);
        d.cboUserM()->setCurrentIndex(2);
        d.cmdOK()->click();
        (void)dialog.release();
    });
    Trigger(MenuItem::mnuConfigAnalogInputs);
    WhenModal<frmAnalogs>([this](frmAnalogs& d) {
        dialog.reset(&d);
        EXPECT_TRUE(ActiveAsShown(&d));
        EnterAndLeave(d.updHighThreshold(), QStringLiteral("30"));
        d.cmdOK()->click();
        (void)dialog.release();
    });
    Trigger(MenuItem::mnuConfigTemp);
    ASSERT_EQ(modalDialogs, 3) << "the connect dialog, then the two editors";
    EXPECT_TRUE(prompts.Shown().isEmpty()) << ShownTexts(prompts).join('|').toStdString();

    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace

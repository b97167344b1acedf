#include "control/configfiles.h"
#include "model/configcheck.h"
#include "model/model.h"
#include "model/target.h"
#include "support/modelfixture.h"

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kBreak = QStringLiteral("\n\r");

class ConfigCheckTest : public ModelFixture {
protected:
    void SetUp() override {
        ModelFixture::SetUp();
        target().ChildCount = 0;
        SetDefaultConfiguration();
    }
    // The message of the one box the check showed; empty when none.
    QString Shown() const {
        if (prompts.Shown().isEmpty()) return QString();
        EXPECT_EQ(prompts.Shown().size(), 1);
        const ShownBox& b = prompts.Shown().front();
        EXPECT_EQ(b.title, QStringLiteral("Configuration Check"));
        EXPECT_EQ(b.buttons, vbOKOnly);
        EXPECT_EQ(b.icon, vbCritical);
        return b.text;
    }
    void SetPorts(double ccb2Port1, double ccb2Port2) {
        config().SystemConfig[5] = ccb2Port1;
        config().SystemConfig[11] = ccb2Port2;
    }
};

TEST_F(ConfigCheckTest, OffModuleOutputBounds) {
    // Group 0 tests only the upper bound.
    EXPECT_EQ(IsOffModuleOutput(0, 0), 0);
    EXPECT_EQ(IsOffModuleOutput(0, -3), 0);
    EXPECT_EQ(IsOffModuleOutput(0, 8), 0);
    EXPECT_EQ(IsOffModuleOutput(0, 9), 1);
    // Other groups own 8g+1 .. 8g+8.
    EXPECT_EQ(IsOffModuleOutput(1, 8), 1);
    EXPECT_EQ(IsOffModuleOutput(1, 9), 0);
    EXPECT_EQ(IsOffModuleOutput(1, 16), 0);
    EXPECT_EQ(IsOffModuleOutput(1, 17), 1);
    EXPECT_EQ(IsOffModuleOutput(7, 57), 0);
    EXPECT_EQ(IsOffModuleOutput(7, 64), 0);
    EXPECT_EQ(IsOffModuleOutput(7, 56), 1);
    EXPECT_EQ(IsOffModuleOutput(3, 0), 0);
    // Groups outside 0 .. 7 are never off-module.
    EXPECT_EQ(IsOffModuleOutput(8, 1), 0);
    EXPECT_EQ(IsOffModuleOutput(-1, 50), 0);
}

TEST_F(ConfigCheckTest, DefaultsPass) {
    target().ChildCount = 7;
    SetDefaultConfiguration();
    EXPECT_EQ(CheckConfiguration(), 0);
    EXPECT_EQ(ConfigurationProblem(), QString());
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(ConfigCheckTest, SerialPortProtocols) {
    SetPorts(0x10, 0x10);  // both FleetSync
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("The configuration contains errors that will cause Korvel to malfunction.") +
                           kBreak +
                           QStringLiteral("Both serial ports have been configured to use the same protocol (other "
                                          "than BINMP)") +
                           kBreak +
                           QStringLiteral("which, if written, will prevent the module from being controlled by the "
                                          "OMRU utility.") +
                           kBreak +
                           QStringLiteral("At least one serial port must be configured to include the BINMP "
                                          "protocol."));
    // The check itself only says what it found; the box is its caller's.
    EXPECT_EQ(ConfigurationProblem(), Shown());
    EXPECT_EQ(prompts.Shown().size(), 1);
    prompts.Clear();
    // Only bits 4-6 count: other bits differ, the protocols are still equal.
    SetPorts(0x3F, 0xB3);
    EXPECT_EQ(CheckConfiguration(), 1);
    prompts.Clear();
    SetPorts(0x10, 0x30);  // FleetSync and NMEA: neither BINMP, yet allowed
    EXPECT_EQ(CheckConfiguration(), 0);
    SetPorts(0x05, 0x8F);  // both BINMP
    EXPECT_EQ(CheckConfiguration(), 0);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    // An editor's fraction is rounded as the block would send it: 15.5 -> 16 = 0x10.
    SetPorts(0x10, 15.5);
    EXPECT_EQ(CheckConfiguration(), 1);
}

TEST_F(ConfigCheckTest, ContactInputOffModule) {
    target().ChildCount = 1;
    SetDefaultConfiguration();
    config().ContactInputTable[0].LocalOutput[2] = 9;
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("At least one contact input local output configuration refers to an off "
                                      "module output.") +
                           kBreak + QStringLiteral("Please correct at least the following error:") + kBreak + kBreak +
                           QStringLiteral("Module: 1, Contact Input: 3 is set to output: 9"));

    prompts.Clear();
    config().ContactInputTable[0].LocalOutput[2] = 8;
    config().ContactInputTable[1].LocalOutput[0] = 5;  // an output of the main module
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_TRUE(Shown().endsWith(QStringLiteral("Module: 2, Contact Input: 1 is set to output: 5")));
}

TEST_F(ConfigCheckTest, FirstOffenceWinsInOrder) {
    target().ChildCount = 2;
    SetDefaultConfiguration();
    // Later slot of an earlier group beats an earlier slot of a later group.
    config().ContactInputTable[1].LocalOutput[7] = 1;
    config().ContactInputTable[2].LocalOutput[0] = 1;
    config().ContactInputTable[1].LocalOutput[3] = 30;
    config().AnalogConfigTable[0].LowLocalOutput[0] = 40;
    config().TempConfigTable[0].HighLocalOutput = 40;
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_TRUE(Shown().endsWith(QStringLiteral("Module: 2, Contact Input: 4 is set to output: 30")));

    // A serial-port error hides every output error.
    prompts.Clear();
    SetPorts(0x20, 0x20);
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("The configuration contains errors")));
}

TEST_F(ConfigCheckTest, AnalogSetPoints) {
    target().ChildCount = 1;
    SetDefaultConfiguration();
    config().AnalogConfigTable[1].HighLocalOutput[5] = 3;
    config().AnalogConfigTable[1].LowLocalOutput[6] = 20;
    EXPECT_EQ(CheckConfiguration(), 1);
    // Every low set point is checked before any high one.
    EXPECT_EQ(Shown(), QStringLiteral("At least one analog input local output configuration refers to an off module "
                                      "output.") +
                           kBreak + QStringLiteral("Please correct at least the following error:") + kBreak + kBreak +
                           QStringLiteral("Module: 2, Analog input(low set point): 7 is set to output: 20"));
    prompts.Clear();
    config().AnalogConfigTable[1].LowLocalOutput[6] = 16;
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("At least one analog input local output configuration refers to an off module "
                                      "output.") +
                           kBreak + QStringLiteral("Please correct at least the following error:") + kBreak + kBreak +
                           QStringLiteral("Module: 2, Analog input(high set point): 6 is set to output: 3"));
}

TEST_F(ConfigCheckTest, TemperatureInputs) {
    config().TempConfigTable[7].LowLocalOutput = 8;
    config().TempConfigTable[7].HighLocalOutput = 1;
    EXPECT_EQ(CheckConfiguration(), 0);

    config().TempConfigTable[4].HighLocalOutput = 12;
    config().TempConfigTable[6].LowLocalOutput = 9;
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("At least one temperature input local output configuration refers to an off "
                                      "module output.") +
                           kBreak + QStringLiteral("Please correct at least the following error:") + kBreak + kBreak +
                           QStringLiteral("Temperature input(low set point): 7 is set to output: 9"));
    prompts.Clear();
    config().TempConfigTable[6].LowLocalOutput = 0;
    EXPECT_EQ(CheckConfiguration(), 1);
    EXPECT_EQ(Shown(), QStringLiteral("At least one temperature input(high set point) local output configuration "
                                      "refers to an off module output.") +
                           kBreak + QStringLiteral("Please correct at least the following error:") + kBreak + kBreak +
                           QStringLiteral("Temperature input(high set point): 5 is set to output: 12"));
}

TEST_F(ConfigCheckTest, GroupsAboveChildCountAreNotChecked) {
    // A Pellar keeps its expansion boards in groups above ChildCount 0.
    target().ChildCount = 0;
    config().ContactInputTable[1].LocalOutput[0] = 60;
    config().AnalogConfigTable[4].LowLocalOutput[0] = 1;
    config().AnalogConfigTable[7].HighLocalOutput[7] = 2;
    EXPECT_EQ(CheckConfiguration(), 0);
    target().ChildCount = 1;
    EXPECT_EQ(CheckConfiguration(), 1);
}

} // namespace

// The check made before every read or write: which modules are refused, with which
// message, when new firmware is offered, and when a remote station cannot be reached.
#include "control/targetcheck.h"
#include "model/target.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "support/simfixture.h"
#include "platform/prompts.h"

#include <QObject>

using namespace korvel;
using namespace korvel::test;
using korvel::sim::Fault;
using korvel::sim::SimModule;

namespace {

const QString kFlashLoaderTitle = QStringLiteral("Flash Loader");
const QString kBootTitle = QStringLiteral("OMRU - ModuleModeCheck - Bootcode returned");
const QString kOldTitle = QStringLiteral("OMRU - PreviousVersionError");
const QString kSlaveTitle = QStringLiteral("OMRU - ModuleModeCheck");
const QString kSlaveText = QStringLiteral(
    "The remote target cannot be reached because the present module mode is set to one of the "
    "slave modes,\n\rand therefore does not support this operation. The module mode must be set "
    "to either Master or Gateway\n\r to access a remote target");

constexpr uint8_t kRadioPort = 0x2;

class TargetCheckTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ConnectOverTcp();
    }

    // The module-information reply the local module gives: no children.
    void Module(uint8_t identity, uint8_t firmware, uint8_t options = kRadioPort,
                uint8_t mode = 2) {
        sim.SetReplyData(CMD_MODULE_INFO, Bytes({identity, firmware, options, mode, 0, 0, 0}));
    }

    int16_t Check() {
        return ModuleModeCheck(Held(), [this] { ++flashLoads; });
    }

    // Commands of the frames the module received, in order.
    QList<int> Commands() const {
        QList<int> out;
        for (const QByteArray& f : sim.Received()) out.append(uint8_t(f[FRAME_COMMAND]));
        return out;
    }

    // The one box shown, with its text, title and style.
    void ExpectOneBox(const QString& text, const QString& title, int buttons) const {
        ASSERT_EQ(prompts.Shown().size(), 1);
        const ShownBox& b = prompts.Shown()[0];
        EXPECT_EQ(b.text, text);
        EXPECT_EQ(b.title, title);
        EXPECT_EQ(b.buttons, buttons);
        EXPECT_EQ(b.icon, vbCritical);
    }

    void ExpectProductMessage(const QString& product) const {
        ExpectOneBox(QStringLiteral("This application is incorrect for the target found. The "
                                    "target identified as: ") +
                         product +
                         QStringLiteral("\n\rand is not compatible with this application. Please "
                                        "run the correct application."),
                     kFlashLoaderTitle, vbOKOnly);
    }

    void ExpectFamilyMessage(const QString& family, const QString& application) const {
        ExpectOneBox(QStringLiteral("This application (OMRU) is incorrect for the target found. "
                                    "The target firmware (") +
                         family +
                         QStringLiteral(")\n\ris not compatible with this application. Please "
                                        "run the correct application (") +
                         application + QStringLiteral(")."),
                     kFlashLoaderTitle, vbOKOnly);
    }

    QString OldFirmwareText(const QString& version) const {
        return QStringLiteral("The firmware version detected in the target (V") + version +
               QStringLiteral("), is of an earlier version than this\n\rOMRU supports. This "
                              "version of OMRU supports firmware revisions 3.0 and above.\n\rDo "
                              "you want to upgrade the firmware in this module?");
    }

    int flashLoads = 0;
};

TEST_F(TargetCheckTest, CurrentFirmwareOnTheLocalModuleGoesOnWithOneRequest) {
    for (uint8_t firmware : {0x31, 0x30, 0x00}) {
        SCOPED_TRACE(firmware);
        sim.ClearReceived();
        Module(0x23, firmware);
        EXPECT_EQ(Check(), 0);
        // Only the module information, asked of the local module with parameter 2.
        ASSERT_EQ(sim.ReceivedCount(), 1);
        EXPECT_EQ(sim.Received()[0], WithChecksum({8, 0, 0, 0, 0, PKT_GET, CMD_MODULE_INFO, 2}));
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(flashLoads, 0);
}

TEST_F(TargetCheckTest, MinorFifteenAsksTheDeviceTypeBeforeTheReachabilityTest) {
    sim.SetPellar(0);
    Module(0x23, 0x3F, kRadioPort, 0);  // a slave: the remote station is refused
    linkState().StationAddress[0] = 12;
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Commands(), QList<int>({CMD_MODULE_INFO, CMD_DEVICE_TYPE}));
    EXPECT_EQ(sim.Received()[1], WithChecksum({7, 0, 0, 0, 0, PKT_GET, CMD_DEVICE_TYPE}));
    EXPECT_TRUE(target().PellarDevice);
    ExpectOneBox(kSlaveText, kSlaveTitle, vbOKOnly);
}

TEST_F(TargetCheckTest, DeviceTypeReplyDecidesPellar) {
    sim.SetPellar(0);
    Module(0x23, 0x4F);
    EXPECT_EQ(Check(), 0);
    EXPECT_TRUE(target().PellarDevice);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(target().PellarVersion[i], sim::kPellarVersion[i]);

    // A Korvel with minor 15 answers the same question as a Korvel.
    sim.SetKorvel(0);
    sim.ClearReceived();
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(Commands(), QList<int>({CMD_MODULE_INFO, CMD_DEVICE_TYPE}));
    EXPECT_FALSE(target().PellarDevice);
}

TEST_F(TargetCheckTest, StalePellarFlagIsClearedWhateverTheOutcome) {
    // Current firmware: the children are counted as for a Korvel again.
    target().PellarDevice = true;
    EXPECT_EQ(Check(), 0);
    EXPECT_FALSE(target().PellarDevice);
    EXPECT_EQ(target().ChildCount, sim.Children());

    // Refused at once, and with the link failing.
    target().PellarDevice = true;
    Module(0x21, 0x31);
    EXPECT_EQ(Check(), 1);
    EXPECT_FALSE(target().PellarDevice);
    target().PellarDevice = true;
    sim.SetFault(Fault::Silent);
    EXPECT_EQ(Check(), 1);
    EXPECT_FALSE(target().PellarDevice);
}

TEST_F(TargetCheckTest, OldFirmwareIsOfferedAnUpgradeAndAlwaysStops) {
    Module(0x23, 0x25);
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(Check(), 1);
    ExpectOneBox(OldFirmwareText(QStringLiteral("2.5")), kOldTitle, vbYesNo);
    EXPECT_EQ(flashLoads, 0);

    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(Check(), 1);
    jobHold.reset();
    EXPECT_TRUE(WaitUntil([this] { return flashLoads == 1; }));

    // The minor part is shown in decimal; the device type is never asked of old firmware.
    prompts.Clear();
    sim.ClearReceived();
    Module(0x23, 0x2F);
    EXPECT_EQ(Check(), 1);
    ExpectOneBox(OldFirmwareText(QStringLiteral("2.15")), kOldTitle, vbYesNo);
    EXPECT_EQ(Commands(), QList<int>({CMD_MODULE_INFO}));
}

TEST_F(TargetCheckTest, BootLoaderIsOfferedNewFirmwareAndAlwaysStops) {
    const QString text = QStringLiteral(
        "The target is running an application loader (bootstrap) and appears to have no "
        "application present.\n\rDo you want to load an application (new firmware) into this "
        "module?");
    Module(0x03, 0x31);
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(Check(), 1);
    ExpectOneBox(text, kBootTitle, vbYesNo);
    EXPECT_EQ(flashLoads, 0) << "not inside the job that asked";
    jobHold.reset();
    EXPECT_TRUE(WaitUntil([this] { return flashLoads == 1; })) << "once that job has let the link go";

    prompts.Clear();
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(flashLoads, 1);

    // Without a flash load command a Yes does nothing more.
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(ModuleModeCheck(Held()), 1);
}

TEST_F(TargetCheckTest, OtherProductLinesAreNamed) {
    const QList<QPair<uint8_t, QString>> cases = {
        {0x21, QStringLiteral("Nelk Series I")}, {0x22, QStringLiteral("Nelk Series II")},
        {0x24, QStringLiteral("Sonavox")},       {0x20, QStringLiteral("Unknown Product")},
        {0x0F, QStringLiteral("Unknown Product")}};
    for (const auto& [identity, product] : cases) {
        SCOPED_TRACE(identity);
        prompts.Clear();
        Module(identity, 0x31);
        EXPECT_EQ(Check(), 1);
        ExpectProductMessage(product);
    }
}

TEST_F(TargetCheckTest, OtherFirmwareFamiliesNameTheirApplication) {
    const QList<std::tuple<uint8_t, QString, QString>> cases = {
        {0x33, QStringLiteral("Sonavox"), QStringLiteral("Chorell")},
        {0x13, QStringLiteral("Gantrel family"), QStringLiteral("Ulvane")},
        {0x43, QStringLiteral("KV5-Lume"), QStringLiteral("KV5Lume")},
        {0x53, QStringLiteral("Harnel"), QStringLiteral("Pradlin")},
        {0x63, QStringLiteral("Tessik"), QStringLiteral("Ulvane")},
        {0x73, QStringLiteral("Unknown Product"), QString()},
        {0xF3, QStringLiteral("Unknown Product"), QString()}};
    for (const auto& [identity, family, application] : cases) {
        SCOPED_TRACE(identity);
        prompts.Clear();
        Module(identity, 0x31);
        EXPECT_EQ(Check(), 1);
        ExpectFamilyMessage(family, application);
    }
    EXPECT_EQ(flashLoads, 0);
}

TEST_F(TargetCheckTest, RemoteStationNeedsMasterOrGatewayWithTheRadioPort) {
    struct Case {
        uint8_t mode, options;
        int16_t station;
        int16_t result;
    };
    const Case cases[] = {
        {2, kRadioPort, 12, 0}, {3, kRadioPort | 0x1, 12, 0},
        {2, 0x5, 12, 1},  // master, but without the radio port
        {1, kRadioPort, 12, 1}, {0, 0, 0, 0}, {0, 0, -1, 0},
        // The high nibble of the mode byte is not part of the mode.
        {0x32, kRadioPort, 12, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << '/' << int(c.options) << '/' << c.station);
        prompts.Clear();
        Module(0x23, 0x31, c.options, c.mode);
        linkState().StationAddress[0] = c.station;
        EXPECT_EQ(Check(), c.result);
        if (c.result == 1) ExpectOneBox(kSlaveText, kSlaveTitle, vbOKOnly);
        else EXPECT_TRUE(prompts.Shown().isEmpty());
    }
}

TEST_F(TargetCheckTest, VersionZeroGoesStraightToTheReachabilityTest) {
    Module(0x23, 0x00, 0, 0);
    linkState().StationAddress[0] = 12;
    EXPECT_EQ(Check(), 1);
    ExpectOneBox(kSlaveText, kSlaveTitle, vbOKOnly);
    EXPECT_EQ(Commands(), QList<int>({CMD_MODULE_INFO}));
}

TEST_F(TargetCheckTest, LinkFailureStopsWithoutAMessageOfItsOwn) {
    sim.SetFault(Fault::Silent);
    EXPECT_EQ(Check(), 1);
    // Only the link layer's time-out question, answered No.
    EXPECT_GT(prompts.Unanswered(), 0);
    EXPECT_EQ(prompts.Unanswered(), prompts.Shown().size());
    for (const ShownBox& b : prompts.Shown()) {
        EXPECT_NE(b.title, kFlashLoaderTitle);
        EXPECT_NE(b.title, kSlaveTitle);
    }
}

TEST_F(TargetCheckTest, DeviceTypeRequestFailingStopsEvenForTheLocalModule) {
    sim.SetPellar(0);
    Module(0x23, 0x3F);
    QObject::connect(&sim, &SimModule::frameReceived, &sim, [this](const QByteArray& f) {
        if (uint8_t(f[FRAME_COMMAND]) == CMD_DEVICE_TYPE) sim.SetFault(Fault::Silent);
    });
    EXPECT_EQ(Check(), 1);
    ASSERT_GE(sim.ReceivedCount(), 2);
    EXPECT_EQ(Commands().first(), CMD_MODULE_INFO);
    EXPECT_EQ(Commands().last(), CMD_DEVICE_TYPE);
    EXPECT_GT(prompts.Unanswered(), 0);
    EXPECT_FALSE(target().PellarDevice);
}

} // namespace

// The local port dialog's rules without widgets: tick rounding, what OK stores and what
// it changes beside the settings, the serial ports offered, and the device kept
// between runs.
#include "control/localport.h"
#include "control/commandstates.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/settingsfile.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/prompts.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

class LocalPortTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        session().DataFolder = dir.path();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("registry")));
        QSettings(AppTitle(), QString()).clear();
    }
    // The values of the settings, changed in the fields the test names.
    static LocalPortValues Values(const QString& device, int packetMs = 1500, int16_t protocol = LOCALPORT_MODULE) {
        LocalPortValues v = LoadLocalPortValues();
        v.Device = device;
        v.PacketTimeoutMs = packetMs;
        v.PortProtocol = protocol;
        return v;
    }
    QByteArray FileBytes() const {
        QFile f(SettingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
};

TEST(LocalPortTicks, HalvesGoToTheEvenTick) {
    EXPECT_EQ(MsToTicks(1650), 16);
    EXPECT_EQ(MsToTicks(1550), 16);
    EXPECT_EQ(MsToTicks(1500), 15);
    EXPECT_EQ(MsToTicks(250), 2);
    EXPECT_EQ(MsToTicks(350), 4);
    // Off the half, the nearest tick whatever its parity.
    EXPECT_EQ(MsToTicks(1549), 15);
    EXPECT_EQ(MsToTicks(1551), 16);
    EXPECT_EQ(MsToTicks(1649), 16);
    EXPECT_EQ(MsToTicks(1651), 17);
    EXPECT_EQ(MsToTicks(30000), 300);
    EXPECT_EQ(MsToTicks(-150), -2);
}

TEST_F(LocalPortTest, OkStoresBothTimeOutsRoundedAndTheRunningTimeOut) {
    LocalPortValues v = Values(QStringLiteral("/dev/ttyUSB0"), 1650);
    v.InterByteTimeoutMs = 250;
    v.RetryCount = 7;
    EXPECT_EQ(StoreLocalPortValues(v), LocalPortStore::Stored);
    EXPECT_EQ(settings().PacketTimeout, 16);
    EXPECT_EQ(settings().InterByteTimeout, 2);
    EXPECT_EQ(settings().RetryCount, 7);
    EXPECT_EQ(linkState().PacketTimeoutReload, 16);
    EXPECT_EQ(linkState().PacketTimeoutCount, 16);
}

TEST_F(LocalPortTest, ARemoteStationKeepsItsThreefoldTimeOut) {
    linkState().StationAddress[0] = 5;
    linkState().StationAddress[2] = 3;
    StoreLocalPortValues(Values(QStringLiteral("/dev/ttyS0"), 2000));
    EXPECT_EQ(settings().PacketTimeout, 20) << "the setting itself is plain";
    EXPECT_EQ(linkState().PacketTimeoutReload, 60);
    EXPECT_EQ(linkState().PacketTimeoutCount, 60);

    // The routing byte alone does not make a station remote.
    linkState().StationAddress[0] = 0;
    StoreLocalPortValues(Values(QStringLiteral("/dev/ttyS0"), 2000));
    EXPECT_EQ(linkState().PacketTimeoutReload, 20);
}

TEST_F(LocalPortTest, EachProtocolShowsItsOwnMenus) {
    struct Case {
        int16_t protocol;
        int16_t linkMode;
        bool fsm;    // the local FleetSync monitor shown and enabled
        bool flash;  // flash loading enabled
    } cases[] = {
        {LOCALPORT_FLEETSYNC, LINK_NORMAL, true, false},
        {LOCALPORT_FLEETSYNC, LINK_SWITCH_THROUGH, true, false},
        {LOCALPORT_MODULE, LINK_NORMAL, false, true},
        {LOCALPORT_MODULE_8N1, LINK_NORMAL, false, true},
        // A switch-through link keeps flash loading off.
        {LOCALPORT_MODULE, LINK_SWITCH_THROUGH, false, false},
    };
    for (const Case& c : cases) {
        // Every item starts the other way round, so that each must be changed; except
        // flash loading under a switch-through link, which that link has switched off.
        host->SetMenuVisible(MenuItem::mnuEventFSM, !c.fsm);
        host->SetMenuEnabled(MenuItem::mnuEventFSM, !c.fsm);
        SetFlashCommandsEnabled(*host, c.linkMode == LINK_SWITCH_THROUGH ? false : !c.flash);
        linkState().LinkMode = c.linkMode;
        StoreLocalPortValues(Values(QStringLiteral("/dev/ttyS0"), 1500, c.protocol));
        EXPECT_EQ(settings().PortProtocol, c.protocol);
        EXPECT_EQ(host->MenuVisible(MenuItem::mnuEventFSM), c.fsm) << c.protocol << "/" << c.linkMode;
        EXPECT_EQ(host->MenuEnabled(MenuItem::mnuEventFSM), c.fsm) << c.protocol << "/" << c.linkMode;
        EXPECT_EQ(host->MenuEnabled(MenuItem::mnuSystemFlash), c.flash) << c.protocol << "/" << c.linkMode;
        // The board information page goes with the firmware load.
        EXPECT_EQ(host->MenuEnabled(MenuItem::mnuViewManuf), c.flash) << c.protocol << "/" << c.linkMode;
    }
}

TEST_F(LocalPortTest, OkWritesTheSettingsFileInItsOwnFormatAndKeepsTheDevice) {
    settings().DegreesF = true;
    LocalPortValues v = Values(QStringLiteral("  /dev/ttyS3 "), 2000, LOCALPORT_FLEETSYNC);
    v.RetryCount = 4;
    v.InterByteTimeoutMs = 900;
    ASSERT_EQ(StoreLocalPortValues(v), LocalPortStore::Stored);
    EXPECT_EQ(FileBytes(), "4\r\n4\r\n20\r\n0\r\n9\r\n3\r\n#TRUE#\r\n1\r\n");
    EXPECT_EQ(settings().CommPortDevice, "/dev/ttyS3");
    EXPECT_EQ(SavedCommPortDevice(), "/dev/ttyS3");

    // A device the file cannot number leaves the number alone.
    StoreLocalPortValues(Values(QStringLiteral("/dev/ttyUSB1")));
    EXPECT_EQ(settings().CommPortNumber, 4);
    EXPECT_TRUE(FileBytes().startsWith("4\r\n"));
    EXPECT_EQ(SavedCommPortDevice(), "/dev/ttyUSB1");
}

TEST_F(LocalPortTest, AnUnwritableSettingsFileIsReportedButTheValuesHold) {
    session().DataFolder = dir.filePath(QStringLiteral("missing/folder"));
    EXPECT_EQ(StoreLocalPortValues(Values(QStringLiteral("/dev/ttyS1"), 2500)), LocalPortStore::SettingsNotWritten);
    EXPECT_EQ(settings().PacketTimeout, 25);
    EXPECT_EQ(settings().CommPortNumber, 2);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith(QStringLiteral("The program settings could not be saved to ")));
}

TEST_F(LocalPortTest, OkClosesAnOpenPortSoTheNextOpenUsesTheNewDevice) {
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    StoreLocalPortValues(Values(QStringLiteral("/dev/ttyACM0")));
    EXPECT_FALSE(port->IsOpen());
    ASSERT_EQ(OpenCommPort(), 0);
    EXPECT_EQ(LastMemoryPort()->Port(), "/dev/ttyACM0");
}

TEST_F(LocalPortTest, OpeningShowsTheNumbersDeviceUntilOneIsChosen) {
    settings().CommPortNumber = 3;
    settings().PacketTimeout = 12;
    settings().InterByteTimeout = 4;
    LocalPortValues v = LoadLocalPortValues();
    EXPECT_EQ(v.Device, "/dev/ttyS2");
    EXPECT_EQ(v.PacketTimeoutMs, 1200);
    EXPECT_EQ(v.InterByteTimeoutMs, 400);
    settings().CommPortDevice = QStringLiteral("/dev/pts/7");
    EXPECT_EQ(LoadLocalPortValues().Device, "/dev/pts/7");

    // An emptied box goes back to the number's device and forgets the saved one.
    SaveCommPortDevice(QStringLiteral("/dev/pts/7"));
    StoreLocalPortValues(Values(QString()));
    EXPECT_EQ(settings().CommPortDevice, "");
    EXPECT_EQ(settings().CommPortNumber, 3);
    EXPECT_EQ(SavedCommPortDevice(), "");
}

TEST(LocalPortProtocol, TheFileOnlyProtocolSurvivesTheModuleItem) {
    EXPECT_EQ(ProtocolListIndex(LOCALPORT_MODULE_8N1), 0);
    EXPECT_EQ(ProtocolFromListIndex(0, LOCALPORT_MODULE_8N1), LOCALPORT_MODULE_8N1);
    EXPECT_EQ(ProtocolFromListIndex(1, LOCALPORT_MODULE_8N1), LOCALPORT_FLEETSYNC);
    EXPECT_EQ(ProtocolFromListIndex(0, LOCALPORT_FLEETSYNC), LOCALPORT_MODULE);
    EXPECT_EQ(ProtocolListIndex(LOCALPORT_FLEETSYNC), 1);
    EXPECT_EQ(ProtocolListIndex(9), 0) << "an unknown value shows as the module";
    EXPECT_EQ(ProtocolFromListIndex(0, 9), LOCALPORT_MODULE);
}

TEST(LocalPortDevices, OnlyBuiltInPortsGetTheirNumberInTheFile) {
    EXPECT_EQ(CommPortNumberFor(QStringLiteral("/dev/ttyS3"), 9), 4);
    EXPECT_EQ(CommPortNumberFor(QStringLiteral("/dev/ttyS0"), 9), 1);
    EXPECT_EQ(CommPortNumberFor(QStringLiteral("/dev/ttyS15"), 9), 16);
    for (const char* other : {"/dev/ttyS16", "/dev/ttyS03", "/dev/ttyS", "/dev/ttyUSB3", "/dev/ttyACM0", "/dev/pts/5",
                              "/tmp/dev/ttyS3", "/dev/ttyS3x", "/dev/ttyS99999999999999999999999", ""})
        EXPECT_EQ(CommPortNumberFor(QString::fromLatin1(other), 9), 9) << other;
}

TEST(LocalPortDevices, TheListOffersSerialPortsInOrderOnceEach) {
    const QList<SerialPortEntry> present = {
        {"/dev/ttyUSB1", "FT232R USB UART"}, {"/dev/ttyS10", ""},       {"/dev/ttyAMA0", "ARM UART"},
        {"/dev/ttyACM0", "Modem"},           {"/dev/ttyS2", "16550A"}, {"/dev/rfcomm0", "Bluetooth"},
        {"/dev/ttyUSB0", ""},                {"/dev/ttyS2", "16550A"}, {"ttyS1", "no path"},
    };
    QStringList devices;
    for (const SerialPortEntry& e : OfferedSerialPorts(present)) devices << e.Device;
    EXPECT_EQ(devices, (QStringList{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0"}));
    EXPECT_EQ(OfferedSerialPorts(present)[3].Description, "FT232R USB UART");
    for (const SerialPortEntry& e : PresentSerialPorts()) EXPECT_TRUE(IsOfferedSerialDevice(e.Device)) << e.Device.toStdString();
}

} // namespace

#include "control/connection.h"
#include "link/transaction.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "model/model.h"
#include "control/progress.h"
#include "support/configdiff.h"
#include "model/target.h"
#include "link/frame.h"
#include "support/simfixture.h"
#include "link/linkhold.h"
#include "link/transport.h"
#include "platform/serialport.h"

#include <functional>
#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

// Stands in for the connect dialog and the device choice; counts the system dialog.
class ScriptedConnectionUi : public ConnectionUi {
public:
    bool ShowConnectDialog() override {
        ++dialogs;
        return choose && choose();
    }
    int ChooseOfflineDevice() override { return device; }
    void ShowSystemDialog() override { ++systemDialogs; }
    void RunFlashLoad() override { ++flashLoads; }

    std::function<bool()> choose;
    int device = 0;
    int dialogs = 0, systemDialogs = 0, flashLoads = 0;
};

class ConnectionTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        settings().PacketTimeout = 20;
        SetConnectionUi(&ui);
    }
    void TearDown() override {
        SetConnectionUi(nullptr);
        SimLinkFixture::TearDown();
    }
    // What the connect dialog leaves for the module over TCP, or a remote station.
    void ChooseTcp(int station = 0) {
        const quint16 port = sim.ListenTcp(0);
        ASSERT_NE(port, 0);
        ui.choose = [this, port, station] {
            auto& s = linkState();
            s.TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
            const bool connected = TcpConnect(LinkHold()) == 1;
            s.StationAddress[0] = static_cast<int16_t>(station);
            s.StationAddress[2] = static_cast<int16_t>(station ? 3 : 0);
            SetConnectionReplyTimeout(static_cast<int16_t>(settings().PacketTimeout * (station ? 3 : 1)));
            return connected;
        };
    }
    int Sent(int command) const {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += quint8(f[6]) == command;
        return n;
    }

    ScriptedConnectionUi ui;
};

TEST_F(ConnectionTest, AReadOpensTheConfigurationCommands) {
    ChooseTcp();
    sim.SetKorvel(2);
    ConnectAndRun(CONNECT_READ);
    EXPECT_EQ(ui.dialogs, 1);
    EXPECT_EQ(ui.systemDialogs, 1);
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Configuration Downloaded"));
    EXPECT_EQ(host->PanelText(1), StationText());
    EXPECT_TRUE(StationText().startsWith(QStringLiteral("Station: ")));
    EXPECT_EQ(StationText().size(), 12);
    EXPECT_EQ(session().Online, 1);
    for (MenuItem item : {MenuItem::mnuFileSave, MenuItem::mnuConfigSystem, MenuItem::mnuViewStatus, MenuItem::mnuSystem, MenuItem::mnuEvents,
                             MenuItem::mnuTasks, MenuItem::mnuLogger, MenuItem::mnuSystemRestart, MenuItem::mnuDateTime})
        EXPECT_TRUE(host->MenuEnabled(item)) << MenuItemName(item);
    for (ToolButton key : {ToolButton::Save, ToolButton::Print, ToolButton::Write, ToolButton::Read, ToolButton::Config})
        EXPECT_TRUE(host->ToolbarButtonEnabled(key)) << ToolButtonKey(key);
    EXPECT_FALSE(host->MenuVisible(MenuItem::mnuPorts10Base));
    EXPECT_TRUE(host->MenuVisible(MenuItem::mnuPortsFFSK));
    EXPECT_FALSE(CommPort().IsOpen()) << "a module over TCP needs no serial port";
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(ConnectionTest, APellarReadClosesWhatAPellarLacks) {
    ChooseTcp();
    sim.SetPellar(0x11);
    ConnectAndRun(CONNECT_READ);
    ASSERT_TRUE(target().PellarDevice);
    for (MenuItem item : {MenuItem::mnuTasks, MenuItem::mnuLogger, MenuItem::mnuSystemRestart, MenuItem::mnuDateTime})
        EXPECT_FALSE(host->MenuEnabled(item)) << MenuItemName(item);
    EXPECT_FALSE(host->MenuVisible(MenuItem::mnuPortsFFSK));
}

TEST_F(ConnectionTest, ADialogClosedWithoutAChoiceChangesNothing) {
    ui.choose = [] { return false; };
    config().SystemConfig[0] = 42;
    ConnectAndRun(CONNECT_READ);
    EXPECT_EQ(config().SystemConfig[0], 42) << "no defaults are loaded";
    EXPECT_EQ(ui.systemDialogs, 0);
    EXPECT_EQ(host->PanelText(2), QString());
}

TEST_F(ConnectionTest, AReadStartsFromDefaultsAndAWriteNeverDoes) {
    ChooseTcp();
    sim.SetKorvel(0);
    ASSERT_NE(SystemValueDefault(30), 99);
    config().SystemConfig[30] = 99;
    // Seen by the module's first frame: the defaults are in place before anything is read.
    int seen = -1;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [&seen](const QByteArray&) {
        if (seen < 0) seen = int(config().SystemConfig[30]);
    });
    ConnectAndRun(CONNECT_READ);
    EXPECT_EQ(seen, SystemValueDefault(30));
    ASSERT_EQ(host->PanelText(2), QStringLiteral("Configuration Downloaded"));

    config().SystemConfig[30] = 99;
    ConnectAndRun(CONNECT_WRITE);
    EXPECT_EQ(config().SystemConfig[30], 99);
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Configuration Uploaded"));
}

TEST_F(ConnectionTest, ARefusedTargetStopsTheReadAndLeavesReadUsable) {
    ChooseTcp();
    sim.SetIdentity(0x21, 0x31);
    // Nothing read or loaded yet: nothing to save or write.
    host->SetMenuEnabled(MenuItem::mnuFileSave, false);
    host->SetToolbarButtonEnabled(ToolButton::Write, false);
    ConnectAndRun(CONNECT_READ);
    EXPECT_EQ(Sent(CMD_CFG_SYSTEM), 0);
    EXPECT_EQ(Sent(CMD_STOP_PROCESSES), 0);
    EXPECT_TRUE(host->ToolbarButtonEnabled(ToolButton::Read));
    EXPECT_FALSE(host->ToolbarButtonEnabled(ToolButton::Write));
    EXPECT_EQ(session().Online, 0);
    EXPECT_EQ(ui.systemDialogs, 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.contains(QStringLiteral("Nelk Series I")));
}

// A second read that breaks part-way: the first read's configuration, with an edit.
class BrokenReReadTest : public ConnectionTest {
protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        settings().PacketTimeout = 3;  // a silent module is given up on sooner
        ChooseTcp();
        sim.SetKorvel(2);
        ConnectAndRun(CONNECT_READ);
        ASSERT_EQ(host->PanelText(2), QStringLiteral("Configuration Downloaded"));
        config().SystemConfig[30] = 77;  // an edit not yet saved
        kept = std::make_unique<StationConfig>(config());
        sim.SetKorvel(5);  // the module's shape changed since
        prompts.Clear();
    }
    // The read breaks when the module is asked for its first analog block.
    void BreakAtTheAnalogs(const std::function<void()>& breakIt) {
        QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [breakIt](const QByteArray& f) {
            if (quint8(f[5]) == 0 && quint8(f[6]) == CMD_CFG_ANALOGS) breakIt();
        });
    }
    void ExpectEverythingAsBefore() {
        EXPECT_EQ(ConfigDifferences(*kept, config()), QStringList());
        EXPECT_EQ(target().ChildCount, 2);
        EXPECT_EQ(session().Online, 1);
        for (MenuItem item : {MenuItem::mnuFileSave, MenuItem::mnuFilePrint, MenuItem::mnuConfigSystem})
            EXPECT_TRUE(host->MenuEnabled(item)) << MenuItemName(item);
        for (ToolButton b : {ToolButton::Save, ToolButton::Write, ToolButton::Read})
            EXPECT_TRUE(host->ToolbarButtonEnabled(b)) << ToolButtonKey(b);
        EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn)) << "no countdown left running";
        EXPECT_TRUE(host->PanelText(3).isEmpty()) << "no retry text left";
        EXPECT_FALSE(host->PanelText(4).endsWith(QStringLiteral("mS")));
    }
    std::unique_ptr<StationConfig> kept;
};

TEST_F(BrokenReReadTest, AModuleGoneSilentLeavesTheConfigurationInMemory) {
    BreakAtTheAnalogs([this] { sim.SetFault(sim::Fault::Silent); });
    ConnectAndRun(CONNECT_READ);  // every question answered No
    ExpectEverythingAsBefore();
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Read failed, configuration in memory unchanged"));
    ASSERT_FALSE(prompts.Shown().isEmpty());
    EXPECT_EQ(prompts.Shown().last().text,
              QStringLiteral("The configuration could not be read from the module.\n\rThe configuration in memory is unchanged."));
    EXPECT_EQ(ui.systemDialogs, 1) << "only the first read's";
}

TEST_F(BrokenReReadTest, ACancelledReadLeavesItToo) {
    BreakAtTheAnalogs([] { ProgressCancelClicked(); });
    ConnectAndRun(CONNECT_READ);
    ExpectEverythingAsBefore();
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Read cancelled, configuration in memory unchanged"));
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "the user knows they cancelled";
    EXPECT_FALSE(sim.ProcessesStopped(0));
}

TEST_F(BrokenReReadTest, AFailedWriteKeepsTheCommandsThatSaveIt) {
    sim.SetNackCommand(CMD_CFG_ANALOGS);  // the module refuses the analog blocks
    ConnectAndRun(CONNECT_WRITE);
    ExpectEverythingAsBefore();
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Write failed"));
}

TEST_F(ConnectionTest, WritingToAnotherStationThanTheConfigurationsAsksFirst) {
    ChooseTcp(5);
    sim.AddRemoteStation(5);
    config().SystemConfig[0] = 7;
    prompts.QueueAnswer(vbNo);
    ConnectAndRun(CONNECT_WRITE);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              QStringLiteral("Warning - the network address specified ( 5) is different\n\rto the one contained "
                             "in the system configuration (7) being uploaded\n\rContinue? "));
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("OMRU"));
    EXPECT_EQ(prompts.Shown()[0].buttons, vbYesNo);
    EXPECT_EQ(prompts.Shown()[0].icon, vbExclamation);
    EXPECT_EQ(sim.ReceivedCount(), 0);

    prompts.QueueAnswer(vbYes);
    ConnectAndRun(CONNECT_WRITE);
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(host->PanelText(1), QStringLiteral("Station: 007"));
    EXPECT_GT(sim.BlockWrites(5).size(), 0);
    EXPECT_EQ(sim.BlockWrites(0).size(), 0);
}

TEST_F(ConnectionTest, AWriteToTheLocalModuleNeverAsksAndNeedsNoSerialPortOverTcp) {
    ChooseTcp(0);
    config().SystemConfig[0] = 7;
    settings().CommPortDevice = QStringLiteral("/nonexistent/tty");
    ConnectAndRun(CONNECT_WRITE);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_FALSE(CommPort().IsOpen());
    EXPECT_TRUE(host->ToolbarButtonEnabled(ToolButton::Write));
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(ConnectionTest, OffLineEditAsPellarOrKorvel) {
    target().ChildCount = 3;
    ui.device = 1;
    EnterOffLineEditMode();
    EXPECT_TRUE(target().PellarDevice);
    EXPECT_EQ(target().ChildCount, 0);
    EXPECT_EQ(config().SystemConfig[1], 16);
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Off Line Edit Mode"));
    for (MenuItem item : {MenuItem::mnuTasks, MenuItem::mnuLogger, MenuItem::mnuConfigPorts, MenuItem::mnuViewStatus, MenuItem::mnuDateTime})
        EXPECT_FALSE(host->MenuEnabled(item)) << MenuItemName(item);
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuFileSave));
    EXPECT_TRUE(host->ToolbarButtonEnabled(ToolButton::Write));
    EXPECT_TRUE(session().OffLineEdit);
    EXPECT_TRUE(session().ClockAbsent);

    ui.device = 0;
    EnterOffLineEditMode();
    EXPECT_FALSE(target().PellarDevice);
    EXPECT_NE(config().SystemConfig[1], 16);
    for (MenuItem item : {MenuItem::mnuTasks, MenuItem::mnuLogger, MenuItem::mnuConfigPorts})
        EXPECT_TRUE(host->MenuEnabled(item)) << MenuItemName(item);
}

TEST_F(ConnectionTest, AWriteAfterOffLineEditChecksTheTargetFirst) {
    ChooseTcp(0);
    EnterOffLineEditMode();
    sim.SetIdentity(0x23, 0x25);  // firmware older than supported
    prompts.QueueAnswer(vbYes);
    ConnectAndRun(CONNECT_WRITE);
    // The load offered runs as a job of its own, once the write has let the link go.
    EXPECT_TRUE(WaitUntil([this] { return ui.flashLoads == 1; }));
    EXPECT_EQ(Sent(CMD_STOP_PROCESSES), 0);
    EXPECT_NE(host->PanelText(2), QStringLiteral("Configuration Uploaded"));

    sim.SetKorvel(0);
    ConnectAndRun(CONNECT_WRITE);
    EXPECT_EQ(host->PanelText(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(session().Online, 1);
}

// ---- The radio protocol's fleet and ID prompt ------------------------------------

class FleetSyncPromptTest : public LinkFixture {};

TEST_F(FleetSyncPromptTest, RepeatsUntilAValidEntryAndNamesTheFirstFault) {
    const QList<QPair<QString, QString>> refused{
        {"100-1000", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"350:1000", "Fleet number is higher than 349, click OK and re-enter"},
        {"099:1000", "Fleet number must be between 100 and 349, click OK and re-enter"},
        {"100:5000", "ID number is higher than 4999, click OK and re-enter"},
        {"100:0999", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {"ABC:1000", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        // The ID is read whole from character 5: too few digits or too many make it too
        // small or too large, not malformed.
        {"100:999", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {"100:10000", "ID number is higher than 4999, click OK and re-enter"},
        {"100:00000999", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {"100:", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        // Longer than twelve characters: the ID is its first eight, as the list of
        // mobiles reads it too.
        {"100:999999999", "ID number is higher than 4999, click OK and re-enter"},
        {"100:000000999", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {"100:0000000001000", "ID number must be between 1000 and 4999, click OK and re-enter"},
        {" 100:1000", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"100:+100", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
        {"100:10 0", "Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII"},
    };
    for (const auto& r : refused) {
        prompts.QueueInput(r.first);
        prompts.QueueAnswer(vbOK);
    }
    prompts.QueueInput(QStringLiteral("349:4999"));
    EXPECT_TRUE(AskFleetSyncTarget());
    EXPECT_EQ(linkState().FleetSyncTarget, QStringLiteral("349:4999"));
    ASSERT_EQ(prompts.Shown().size(), 2 * refused.size() + 1);
    const ShownBox& prompt = prompts.Shown()[0];
    EXPECT_EQ(prompt.title, QStringLiteral("Kenwood FleetSync Mobile Fleet/ID"));
    EXPECT_EQ(prompt.text, QStringLiteral("Enter the mobiles unique ID in the format FFF:IIII\n\r\n\rThis is the "
                                          "address of the radio connected to the target Korvel site.\n\r"));
    for (int i = 0; i < refused.size(); ++i) EXPECT_EQ(prompts.Shown()[2 * i + 1].text, refused[i].second);
}

TEST_F(FleetSyncPromptTest, TheLowestEntryIsAcceptedAndCancelEndsTheConnect) {
    prompts.QueueInput(QStringLiteral("100:1000"));
    EXPECT_TRUE(AskFleetSyncTarget());
    // An ID typed with leading zeros is the radio the frame can name.
    prompts.QueueInput(QStringLiteral("100:00001000"));
    EXPECT_TRUE(AskFleetSyncTarget());
    EXPECT_EQ(linkState().FleetSyncTarget, QStringLiteral("100:1000"));
    EXPECT_EQ(prompts.Shown().size(), 2) << "no message";
    prompts.QueueInput(std::nullopt);
    EXPECT_FALSE(AskFleetSyncTarget());

    settings().PortProtocol = LOCALPORT_FLEETSYNC;
    linkState().StationAddress[0] = 4;
    prompts.QueueInput(QString());
    ConnectAndRun(CONNECT_READ);
    EXPECT_EQ(linkState().StationAddress[0], 4) << "a cancelled prompt changes nothing";
}

} // namespace

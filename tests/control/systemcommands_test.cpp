// The menu commands that talk to the module, against the simulated module on the real
// serial path (a pseudo-terminal), with every box scripted.
#include "control/systemcommands.h"

#include "control/localsettings.h"
#include "control/progress.h"
#include "control/session.h"
#include "model/model.h"
#include "model/target.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "support/simfixture.h"
#include "link/transport.h"
#include "model/eventlist.h"
#include "control/eventdisplay.h"
#include "model/loggerdata.h"
#include "platform/serialport.h"
#include "link/transaction.h"

#include <functional>

using namespace korvel;
using namespace korvel::test;
using korvel::sim::Fault;

namespace {

// Scripted boxes that also let a test look at the program's state at the moment a box
// comes up.
class WatchingPrompts : public ScriptedPrompts {
public:
    int MsgBox(const QString& text, int style, const QString& title) override {
        if (onBox) onBox(title);
        return ScriptedPrompts::MsgBox(text, style, title);
    }
    std::function<void(const QString& title)> onBox;
};

constexpr int kRemote = 5;
const QString kBadDevice = QStringLiteral("/nonexistent/ttyKORVEL");

class SystemCommandsTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        SetPrompts(&boxes);
        settings().PacketTimeout = 20;
        settings().CommPortDevice = sim.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
    }
    void TearDown() override {
        QObject::disconnect(&sim, nullptr, nullptr, nullptr);
        SimLinkFixture::TearDown();
    }
    // What the connect dialog leaves for a station on the network.
    void ConnectRemote() {
        sim.AddRemoteStation(kRemote);
        auto& s = linkState();
        s.StationAddress[0] = kRemote;
        s.StationAddress[2] = sim::kRadioRoute;
        SetConnectionReplyTimeout(60);
    }
    // Runs f on every frame the module receives, before it answers.
    void OnFrame(std::function<void(const QByteArray&)> f) {
        QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, std::move(f));
    }
    QList<int> Commands() const {
        QList<int> c;
        for (const QByteArray& f : sim.Received()) c.append(quint8(f[6]));
        return c;
    }
    static QByteArray To(const QByteArray& frame) { return frame.mid(1, 3); }
    static QByteArray Station(int d, int s, int r) { return Bytes({d, s, r}); }
    QStringList Titles() const {
        QStringList t;
        for (const ShownBox& b : boxes.Shown()) t.append(b.title);
        return t;
    }

    WatchingPrompts boxes;
};

// ---- NVR reset ------------------------------------------------------------------

TEST_F(SystemCommandsTest, ARemoteStationIsOfferedOnlyTheInputOutputResetAndNoSendsNothing) {
    ConnectRemote();
    boxes.QueueAnswer(vbNo);
    ResetSystemNvr();
    ASSERT_EQ(boxes.Shown().size(), 1);
    const ShownBox& box = boxes.Shown()[0];
    EXPECT_EQ(box.text, QStringLiteral("OMRU has detected that you are connected to a remote station via the "
                                       "network.\n\rResetting the 'System' NVR will imobilize the module and "
                                       "therefore is prevented.\n\rDo you wish to reset the input/output "
                                       "configuration only?"));
    EXPECT_EQ(box.title, QStringLiteral("Confirm Reset NVR"));
    EXPECT_EQ(box.buttons, vbYesNo);
    EXPECT_EQ(box.icon, vbQuestion);
    EXPECT_EQ(sim.ReceivedCount(), 0);
    EXPECT_EQ(linkState().PacketTimeoutReload, 60) << "nothing changes before the Yes";
    EXPECT_FALSE(progressView().Loaded());
}

TEST_F(SystemCommandsTest, ARemoteResetStopsTheLocalModuleThenReadsTheStationBeforeSayingSo) {
    ConnectRemote();
    const QByteArray canonicalOutputs = sim.BlockData(sim::kBlockOutputs, 0, kRemote);
    const QByteArray canonicalSystem = sim.BlockData(sim::kBlockSystem, 0, kRemote);
    ASSERT_NE(canonicalOutputs[16 - 7], 0) << "the factory pulse width must differ";

    QString labelAtStop, captionAtReset;
    bool animatedAtReset = false;
    OnFrame([&](const QByteArray& f) {
        if (quint8(f[6]) == CMD_STOP_PROCESSES && labelAtStop.isEmpty())
            labelAtStop = progressView().LabelText(ProgressLabel::Label1);
        if (quint8(f[6]) == CMD_RESET_NVR_IO) {
            captionAtReset = progressView().Caption();
            animatedAtReset = progressView().Visible() && linkState().ProgressActive == 1 &&
                              host->TimerEnabled(LinkTimer::MsgTimer);
        }
    });
    int framesAtBox = -1;
    int pulseAtBox = -1;
    double systemAtBox = -1;
    int16_t timeoutAtBox = 0;
    boxes.onBox = [&](const QString& title) {
        if (title != QStringLiteral("NVR Reset")) return;
        framesAtBox = sim.ReceivedCount();
        pulseAtBox = config().OutputConfigTable[0].PulseWidth[0];
        systemAtBox = config().SystemConfig[1];
        timeoutAtBox = linkState().PacketTimeoutReload;
    };
    boxes.QueueAnswer(vbYes);
    ResetSystemNvr();

    const QList<QByteArray>& rx = sim.Received();
    ASSERT_GE(rx.size(), 2);
    EXPECT_EQ(quint8(rx[0][6]), CMD_STOP_PROCESSES);
    EXPECT_EQ(quint8(rx[0][5]), PKT_SET);
    EXPECT_EQ(To(rx[0]), Station(0, 0, 0)) << "the local module's processes, not the station's";
    EXPECT_EQ(quint8(rx[1][6]), CMD_RESET_NVR_IO);
    EXPECT_EQ(To(rx[1]), Station(kRemote, 0, sim::kRadioRoute));
    EXPECT_FALSE(Commands().contains(CMD_RESET_NVR_ALL));
    EXPECT_EQ(labelAtStop, QStringLiteral("Stopping processes..."));
    EXPECT_EQ(captionAtReset, QStringLiteral("Initializing NON System Korvel Non Volatile Memory"));
    EXPECT_TRUE(animatedAtReset);

    // The configuration was read again, and in the model, before the box came up.
    ASSERT_EQ(Titles(), QStringList({QStringLiteral("Confirm Reset NVR"), QStringLiteral("NVR Reset")}));
    EXPECT_EQ(boxes.Shown()[1].text, QStringLiteral("Data Reset - Click OK to Continue"));
    EXPECT_EQ(boxes.Shown()[1].buttons, vbOKOnly);
    EXPECT_EQ(boxes.Shown()[1].icon, vbInformation);
    EXPECT_GT(framesAtBox, 2);
    EXPECT_EQ(framesAtBox, sim.ReceivedCount()) << "nothing is sent after the box";
    EXPECT_EQ(pulseAtBox, 0) << "the station's factory outputs";
    EXPECT_EQ(systemAtBox, quint8(canonicalSystem[8 - 7 + 1])) << "system values survive an I/O reset";
    EXPECT_EQ(sim.BlockData(sim::kBlockSystem, 0, kRemote), canonicalSystem);
    EXPECT_EQ(timeoutAtBox, 60);
    EXPECT_EQ(linkState().PacketTimeoutReload, 60);

    EXPECT_FALSE(progressView().Loaded());
    EXPECT_EQ(linkState().ProgressActive, 0);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::MsgTimer));
}

TEST_F(SystemCommandsTest, TheLocalModuleGetsTheFullResetWithoutAStop) {
    boxes.QueueAnswer(vbYes);
    QString captionAtReset;
    OnFrame([&](const QByteArray& f) {
        if (quint8(f[6]) == CMD_RESET_NVR_ALL) captionAtReset = progressView().Caption();
    });
    double systemAtBox = -1;
    boxes.onBox = [&](const QString& title) {
        if (title == QStringLiteral("NVR Reset")) systemAtBox = config().SystemConfig[1];
    };
    ASSERT_NE(quint8(sim.BlockData(sim::kBlockSystem, 0)[8 - 7 + 1]), 0);
    ResetSystemNvr();

    ASSERT_GE(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("This action will erase your current Korvel/Pellar "
                                                    "configuration settings.\n\rAre you sure you want to proceed?"));
    EXPECT_EQ(boxes.Shown()[0].title, QStringLiteral("Confirm Reset NVR"));
    ASSERT_FALSE(sim.Received().isEmpty());
    EXPECT_EQ(quint8(sim.Received()[0][6]), CMD_RESET_NVR_ALL) << "no stop goes first";
    EXPECT_EQ(To(sim.Received()[0]), Station(0, 0, 0));
    EXPECT_FALSE(Commands().contains(CMD_RESET_NVR_IO));
    EXPECT_EQ(captionAtReset, QStringLiteral("Initializing all Korvel Non Volatile Memory"));
    EXPECT_EQ(Titles().last(), QStringLiteral("NVR Reset"));
    EXPECT_EQ(systemAtBox, 0) << "the system values were read back from the wiped module";
    EXPECT_EQ(linkState().PacketTimeoutReload, 20);
}

TEST_F(SystemCommandsTest, AFailedResetReadsNothingAndKeepsTheLongTimeout) {
    sim.SetNackCommand(CMD_RESET_NVR_ALL);
    boxes.QueueAnswer(vbYes);
    ResetSystemNvr();
    EXPECT_EQ(Commands(), QList<int>{CMD_RESET_NVR_ALL}) << "no configuration read follows";
    EXPECT_FALSE(Titles().contains(QStringLiteral("NVR Reset")));
    EXPECT_FALSE(progressView().Loaded());
    EXPECT_EQ(linkState().ProgressActive, 0);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::MsgTimer));
    EXPECT_EQ(linkState().PacketTimeoutReload, 160);
    EXPECT_EQ(sim.BlockData(sim::kBlockSystem, 0), sim::CanonicalConfig(sim::Target::Korvel).value({sim::kBlockSystem, 0}));
}

TEST_F(SystemCommandsTest, ARefusedStopEndsTheRemoteResetBeforeTheStationIsTouched) {
    ConnectRemote();
    sim.SetNackCommand(CMD_STOP_PROCESSES);
    boxes.QueueAnswer(vbYes);
    ResetSystemNvr();
    EXPECT_EQ(Commands(), QList<int>{CMD_STOP_PROCESSES});
    EXPECT_FALSE(progressView().Loaded());
    EXPECT_EQ(linkState().ProgressActive, 0);
}

// ---- Restart ----------------------------------------------------------------------

TEST_F(SystemCommandsTest, RestartSendsOneResetOnlyAfterAYes) {
    ConnectRemote();
    boxes.QueueAnswer(vbNo);
    RestartSystem();
    ASSERT_EQ(boxes.Shown().size(), 1);
    EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("Ok to reset system?"));
    EXPECT_EQ(boxes.Shown()[0].title, QStringLiteral("Confirm Reset System"));
    EXPECT_EQ(boxes.Shown()[0].buttons, vbYesNo);
    EXPECT_EQ(boxes.Shown()[0].icon, vbQuestion);
    EXPECT_EQ(sim.ReceivedCount(), 0);

    boxes.QueueAnswer(vbYes);
    RestartSystem();
    EXPECT_EQ(Commands(), QList<int>{CMD_RESET_SYSTEM});
    EXPECT_EQ(To(sim.Received()[0]), Station(kRemote, 0, sim::kRadioRoute));
    EXPECT_EQ(boxes.Shown().size(), 2);
}

TEST_F(SystemCommandsTest, WithoutAUsablePortRestartAsksNothingAndTheResetShowsNoProgress) {
    settings().CommPortDevice = kBadDevice;
    RestartSystem();
    EXPECT_EQ(Titles(), QStringList{QStringLiteral("Port Open Error")});
    boxes.Clear();
    boxes.QueueAnswer(vbYes);
    ResetSystemNvr();
    EXPECT_EQ(Titles(), QStringList({QStringLiteral("Confirm Reset NVR"), QStringLiteral("Port Open Error")}));
    EXPECT_FALSE(progressView().Loaded());
    EXPECT_EQ(sim.ReceivedCount(), 0);
}

TEST_F(SystemCommandsTest, AModuleOverTcpNeedsNoSerialPort) {
    sim.Close();
    ConnectOverTcp();
    settings().CommPortDevice = kBadDevice;
    boxes.QueueAnswer(vbYes);
    RestartSystem();
    EXPECT_EQ(Commands(), QList<int>{CMD_RESET_SYSTEM});
    EXPECT_TRUE(PrepareStatusWindow());
    EXPECT_TRUE(PrepareEventMonitor(EVENT_PORT_SERIAL1));
    EXPECT_FALSE(Titles().contains(QStringLiteral("Port Open Error")));
}

// ---- Date and time ----------------------------------------------------------------

TEST_F(SystemCommandsTest, AClockWithoutADateShowsTheFirstOf2000AtTheReportedTime) {
    ASSERT_EQ(OpenCommPort(), 0);
    struct Case {
        QByteArray reply;
        ModuleClockValue expect;
    } cases[] = {
        {QByteArray::fromHex("000518" "0d2d0c"), {1, 1, 2000, 13, 45, 12}},  // day 0
        {QByteArray::fromHex("090018" "17003b"), {1, 1, 2000, 23, 0, 59}},   // month 0 alone
        {QByteArray::fromHex("1f0c63" "000000"), {31, 12, 2099, 0, 0, 0}},   // a real date stays
    };
    for (const Case& c : cases) {
        sim.SetReplyData(CMD_DATE_TIME, c.reply);
        target().ModuleClock = {7, 7, 2007, 7, 7, 7};
        EXPECT_TRUE(RequestModuleDateTime()) << c.reply.toHex().constData();
        const ModuleClockValue& m = target().ModuleClock;
        EXPECT_EQ(QList<int>({m.day, m.month, m.year, m.hour, m.minute, m.second}),
                  QList<int>({c.expect.day, c.expect.month, c.expect.year, c.expect.hour, c.expect.minute,
                              c.expect.second}))
            << c.reply.toHex().constData();
    }
    EXPECT_EQ(To(sim.Received()[0]), Station(0, 0, 0));
    EXPECT_EQ(quint8(sim.Received()[0][5]), PKT_GET);
}

TEST_F(SystemCommandsTest, AnUnansweredDateRequestOpensNothing) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Silent);
    target().ModuleClock = {0, 0, 0, 1, 2, 3};
    EXPECT_FALSE(RequestModuleDateTime());
    EXPECT_EQ(target().ModuleClock.day, 0) << "an unanswered clock is not made up";
}

// ---- Data logger ------------------------------------------------------------------

TEST_F(SystemCommandsTest, OffLineTheLoggerOpensWithoutTouchingTheLink) {
    settings().CommPortDevice = kBadDevice;
    session().Online = 0;
    EXPECT_TRUE(PrepareLoggerWindow());
    EXPECT_TRUE(boxes.Shown().isEmpty()) << "not even the port is tried";
    EXPECT_EQ(sim.ReceivedCount(), 0);
}

TEST_F(SystemCommandsTest, OnLineTheLoggerIsStoppedAfterTheChannelClears) {
    ConnectRemote();
    session().Online = 1;
    sim.SetReplyData(CMD_LOGGER_STOP, QByteArray(1, char(1)));
    EXPECT_TRUE(PrepareLoggerWindow());
    EXPECT_EQ(Commands(), QList<int>({CMD_CHANNEL_CLEAR, CMD_LOGGER_STOP}));
    EXPECT_EQ(To(sim.Received().last()), Station(kRemote, 0, sim::kRadioRoute));
    EXPECT_EQ(quint8(sim.Received().last()[5]), PKT_GET);
    EXPECT_TRUE(loggerData().LoggerRunning) << "the reply's running flag is kept";
}

TEST_F(SystemCommandsTest, EachFailingLoggerStepKeepsTheWindowShut) {
    session().Online = 1;
    settings().CommPortDevice = kBadDevice;
    EXPECT_FALSE(PrepareLoggerWindow());
    EXPECT_EQ(sim.ReceivedCount(), 0);
    settings().CommPortDevice = sim.PtyPath();

    ConnectRemote();
    sim.SetNackCommand(CMD_CHANNEL_CLEAR);
    EXPECT_FALSE(PrepareLoggerWindow());
    EXPECT_FALSE(Commands().contains(CMD_LOGGER_STOP)) << "no stop while the channel is not known clear";

    sim.SetNackCommand(CMD_LOGGER_STOP);
    sim.ClearReceived();
    EXPECT_FALSE(PrepareLoggerWindow());
    EXPECT_TRUE(Commands().contains(CMD_LOGGER_STOP));
}

// ---- Windows that need the local port ---------------------------------------------

TEST_F(SystemCommandsTest, OnlySerialPortOneAndTheLocalRadioNeedTheLocalPort) {
    settings().CommPortDevice = kBadDevice;
    EXPECT_TRUE(PrepareEventMonitor(EVENT_PORT_SERIAL2));
    EXPECT_EQ(eventMonitor().EventPort, EVENT_PORT_SERIAL2);
    EXPECT_TRUE(PrepareEventMonitor(EVENT_PORT_FFSK));
    EXPECT_EQ(eventMonitor().EventPort, EVENT_PORT_FFSK);
    EXPECT_TRUE(boxes.Shown().isEmpty());

    EXPECT_FALSE(PrepareEventMonitor(EVENT_PORT_SERIAL1));
    EXPECT_EQ(eventMonitor().EventPort, EVENT_PORT_SERIAL1);
    EXPECT_FALSE(PrepareEventMonitor(EVENT_PORT_LOCAL_RADIO));
    EXPECT_EQ(eventMonitor().EventPort, EVENT_PORT_LOCAL_RADIO);
    EXPECT_FALSE(PrepareStatusWindow());
    EXPECT_EQ(Titles(), QStringList(3, QStringLiteral("Port Open Error")));

    settings().CommPortDevice = sim.PtyPath();
    EXPECT_TRUE(PrepareEventMonitor(EVENT_PORT_SERIAL1));
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_TRUE(PrepareStatusWindow());
    EXPECT_EQ(sim.ReceivedCount(), 0);
}

} // namespace

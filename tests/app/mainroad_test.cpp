// The main road through the real main window offscreen: Read, choose the module in the
// connect dialog, download its configuration, then Write it back; and off-line editing.
#include "app/frmCancelSend.h"
#include "app/frmMain.h"
#include "app/frmOfflineDeviceSelection.h"
#include "link/linkhold.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/rxdispatch.h"
#include "control/session.h"
#include "model/model.h"
#include "model/target.h"
#include "editors/station/frmSysDiag.h"
#include "editors/station/frmSystem.h"
#include "monitor/frmStatus.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "sim/simradio.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "platform/eventpump.h"
#include "platform/progressview.h"
#include "platform/serialport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

using namespace korvel;
using namespace korvel::test;

namespace {

class MainRoadTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
        Open(true);
    }
    // Acts on the connect dialog once it is up, modal, in front of the window.
    void InConnectDialog(std::function<void(frmCancelSend&)> act) { WhenModal<frmCancelSend>(std::move(act)); }
    void ConnectOverIp(frmCancelSend& d) {
        d.txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(sim.TcpPort()));
        d.cmdIP()->click();
    }
};

TEST_F(MainRoadTest, ReadAStationThenWriteItBackUnchanged) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    sim.SetKorvel(3);
    const auto before = sim.Blocks();

    InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
    // The system dialog follows the read; OK without an edit changes nothing.
    QString systemTitle;
    WhenShown<frmSystem>([&systemTitle](frmSystem& d) {
        systemTitle = d.windowTitle();
        d.cmdOK()->click();
    });
    Press(ToolButton::Read);
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_EQ(systemTitle, QStringLiteral("System Configuration, Station: Local(054)"));
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    EXPECT_TRUE(Panel(1).startsWith(QStringLiteral("Station: ")));
    EXPECT_EQ(target().ChildCount, 3);
    EXPECT_EQ(session().Online, 1);
    for (ToolButton key : {ToolButton::Save, ToolButton::Print, ToolButton::Write, ToolButton::Read, ToolButton::Config})
        EXPECT_TRUE(window->Button(key)->isEnabled()) << ToolButtonKey(key);
    EXPECT_TRUE(window->MenuEnabled(MenuItem::mnuConfigSystem));
    EXPECT_TRUE(prompts.Shown().isEmpty());

    sim.ClearReceived();
    prompts.QueueAnswer(vbYes);  // "Do you want to overwrite module configuration. Continue ?"
    InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
    Press(ToolButton::Write);
    EXPECT_EQ(modalDialogs, 3);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Do you want to overwrite module configuration. Continue ?"));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(sim.Blocks(), before);
    EXPECT_FALSE(sim.BlockWrites().isEmpty());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(CommPort().IsOpen()) << "TCP needs no serial port";
}

TEST_F(MainRoadTest, ReadTheLocalModuleOverTheSerialPortAndWriteItToARemoteStation) {
    settings().CommPortDevice = sim.OpenPty();
    ASSERT_FALSE(settings().CommPortDevice.isEmpty());
    sim.SetKorvel(1);
    sim.AddRemoteStation(5);
    sim.SetKorvel(1, 5);
    Fake(WindowId::frmSystem);

    InConnectDialog([](frmCancelSend& d) { d.cmdConnectLocal()->click(); });
    Press(ToolButton::Read);
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    const auto local = sim.Blocks();

    prompts.QueueAnswer(vbYes);  // overwrite the module's configuration
    prompts.QueueAnswer(vbYes);  // although its address differs from the configuration's
    InConnectDialog([](frmCancelSend& d) {
        d.txtNWAddress()->setText(QStringLiteral("5"));
        d.cmdConnectNet()->click();
    });
    Press(ToolButton::Write);
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_TRUE(prompts.Shown()[1].text.startsWith(QStringLiteral("Warning - the network address specified ( 5)")));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(linkState().StationAddress[0], 5);
    EXPECT_EQ(linkState().PacketTimeoutReload, 60) << "a remote station keeps its longer time-out";
    // The station now holds the local module's configuration, block for block.
    for (auto it = local.begin(); it != local.end(); ++it)
        EXPECT_EQ(sim.Blocks(5).value(it.key()), it.value()) << it.key().first << "/" << it.key().second;
    EXPECT_FALSE(sim.ProcessesStopped(5));
    EXPECT_FALSE(sim.ProcessesStopped(0));
}

TEST_F(MainRoadTest, AReadOverAnotherLoadedConfigurationAsksFirst) {
    session().ConfigLoaded = true;
    prompts.QueueAnswer(vbNo);
    Press(ToolButton::Read);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Warning, downloading will overwrite any previously "
                                                      "loaded/edited data in OMRU. Continue ?"));
    EXPECT_EQ(modalDialogs, 0);
}

TEST_F(MainRoadTest, WriteAnsweredNoSendsNothing) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    prompts.QueueAnswer(vbNo);
    window->SetToolbarButtonEnabled(ToolButton::Write, true);  // as a loaded configuration leaves it
    Press(ToolButton::Write);
    ASSERT_EQ(prompts.Shown().size(), 1) << "the question, answered No";
    EXPECT_EQ(modalDialogs, 0);
    EXPECT_EQ(sim.ReceivedCount(), 0);
}

TEST_F(MainRoadTest, OffLineEditChoosesTheDeviceKind) {
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<frmOfflineDeviceSelection*>(QApplication::activeModalWidget());
        if (d) d->Combo1()->activated(1);
    });
    Press(ToolButton::OffLine);
    EXPECT_TRUE(target().PellarDevice);
    EXPECT_EQ(Panel(2), QStringLiteral("Off Line Edit Mode"));
    EXPECT_TRUE(window->Button(ToolButton::Write)->isEnabled());
    EXPECT_FALSE(window->MenuEnabled(MenuItem::mnuTasks));

    linkState().LinkMode = LINK_SWITCH_THROUGH;
    Press(ToolButton::OffLine);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              QStringLiteral("Cannot switch to offline mode when connected via switch-through"));
}

} // namespace

namespace {

// Runs the program's main loop until the program asks to end, as main() does; a run
// that never ends gives 99 after a while.
int RunMainLoop() {
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(20000);
    return QApplication::exec();
}

} // namespace

TEST_F(MainRoadTest, ExitDuringAWriteCancelsItRestartsTheModuleAndEnds) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    Fake(WindowId::frmSystem);
    InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
    Press(ToolButton::Read);
    ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    sim.ClearReceived();

    // The user chooses Exit once the module's processes are stopped and the first block
    // is on its way, from inside the write's wait.
    bool asked = false;
    QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(), [this, &asked](const QByteArray&) {
        if (asked || !sim.ProcessesStopped() || sim.BlockWrites().isEmpty()) return;
        asked = true;
        QTimer::singleShot(0, window.get(), [this] { window->Menu(MenuItem::mnuFileExit)->trigger(); });
    });
    prompts.QueueAnswer(vbYes);  // "Do you want to overwrite module configuration. Continue ?"
    QTimer::singleShot(0, window.get(), [this] {
        InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
        Press(ToolButton::Write);
    });
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(sim.ProcessesStopped()) << "the module runs again";
    EXPECT_NE(Panel(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(WaitUntil([this] { return !sim.ClientConnected(); })) << "the link is closed";
    ASSERT_EQ(prompts.Shown().size(), 1) << "no complaint after the question";
    EXPECT_FALSE(window->TimerEnabled(LinkTimer::BGProcess)) << "the program is shut down";
}

TEST_F(MainRoadTest, ClosingTheWindowDuringAReadEndsTheReadThenTheProgram) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    bool asked = false;
    QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(), [this, &asked](const QByteArray&) {
        if (asked || sim.ReceivedCount() < 4) return;
        asked = true;
        QTimer::singleShot(0, window.get(), [this] { window->close(); });
    });
    QTimer::singleShot(0, window.get(), [this] {
        InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
        Press(ToolButton::Read);
    });
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_TRUE(asked);
    EXPECT_NE(Panel(2), QStringLiteral("Configuration Downloaded"));
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->TimerEnabled(LinkTimer::BGProcess));
    EXPECT_TRUE(WaitUntil([this] { return !sim.ClientConnected(); }));
}


// Whatever a person leaves open, a box or a dialog, the module's events are acknowledged
// meanwhile: nothing holds the link for a person.
class LeftOpenTest : public MainRoadTest {
protected:
    void SetUp() override {
        MainRoadTest::SetUp();
        ASSERT_NE(sim.ListenTcp(0), 0);
        sim.SetKorvel(1);
    }
    int Acks() const {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += uint8_t(f[FRAME_PACKET_TYPE]) == PKT_ACK;
        return n;
    }
    // Three events from the module, one after the other: true when each is acknowledged.
    bool EventsAcknowledged() {
        for (int i = 0; i < 3; ++i) {
            const int before = Acks();
            sim.SendEvent(0, 1, QByteArray(1, char(2)));
            if (!WaitUntil([&] { return Acks() > before; }, 5000)) return false;
        }
        return true;
    }
};

TEST_F(LeftOpenTest, TheSystemDialogAfterAReadAndTheDiagnosticsOpenedFromIt) {
    bool acked = false, diagnosticsClosed = false;
    WhenShown<frmSystem>([&](frmSystem& s) {
        acked = EventsAcknowledged();
        sim.ClearReceived();
        WhenShown<frmSysDiag>([&](frmSysDiag& d) {
            d.ckbL(1)->setFocus();  // ticked with the mouse
            d.ckbL(1)->setChecked(true);
            d.cmdOK()->click();
            diagnosticsClosed = !d.isVisible();
        });
        prompts.QueueInput(QStringLiteral("WRPX5068"));
        s.Form_DblClick();
        s.cmdCancel()->click();
    });
    ReadFromSim();
    EXPECT_EQ(modalDialogs, 3);
    EXPECT_TRUE(acked);
    EXPECT_TRUE(diagnosticsClosed) << ShownTexts(prompts).join("|").toStdString();
    ASSERT_FALSE(sim.Received().isEmpty());
    EXPECT_EQ(uint8_t(sim.Received()[0][FRAME_COMMAND]), CMD_SET_DEBUG_FLAGS) << "sent at OK";
}

TEST_F(LeftOpenTest, TheTimeoutQuestionInTheMiddleOfARead) {
    Fake(WindowId::frmSystem);
    settings().PacketTimeout = 3;
    settings().RetryCount = 2;
    bool asked = false, acked = false;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Communication Timer")) return;
        asked = true;
        acked = EventsAcknowledged();
    });
    sim.SetFault(sim::Fault::Silent);
    prompts.QueueAnswer(vbNo);
    ReadFromSim();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(acked) << "the read lends the link while it asks";
    EXPECT_NE(Panel(2), QStringLiteral("Configuration Downloaded"));
}

// The read's time-out question may stay up for minutes, and nothing of the read is on
// the wire meanwhile: File > Exit given while it is up (as a screen reader gives it, the
// box still open) ends the program at once, by the shut-down Exit takes with nothing
// running, without waiting for the question's answer.
TEST_F(LeftOpenTest, ExitWhileTheTimeoutQuestionIsUpEndsTheProgramAtOnce) {
    Fake(WindowId::frmSystem);
    settings().PacketTimeout = 3;
    settings().RetryCount = 2;
    sim.SetFault(sim::Fault::Silent);
    constexpr int kStillUp = 99;
    bool asked = false, hidden = false, shutDown = false;
    int boxLoopResult = -1;
    qint64 tookMs = -1;
    QString progressText;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Communication Timer") || asked) return;
        asked = true;
        // The box's own modal loop, as a real box runs one, for a second at most: Exit is
        // given inside it, and the program's request to end its main loop ends this one.
        QEventLoop boxLoop;
        QTimer::singleShot(1000, &boxLoop, [&boxLoop] { boxLoop.exit(kStillUp); });
        QTimer::singleShot(0, window.get(), [this] { window->Menu(MenuItem::mnuFileExit)->trigger(); });
        QElapsedTimer clock;
        clock.start();
        boxLoopResult = boxLoop.exec();
        tookMs = clock.elapsed();
        hidden = !window->isVisible();
        shutDown = ProgramEnding();
        progressText = progressView().LabelText(ProgressLabel::lblInner);
    });
    QTimer::singleShot(0, window.get(), [this] { ReadFromSim(); });
    EXPECT_EQ(RunMainLoop(), 0);
    ASSERT_TRUE(asked) << ShownTexts(prompts).join('|').toStdString();
    EXPECT_EQ(prompts.Shown().first().text,
              QStringLiteral("No Communication from module\r\nCheck cable and COM port, Continue?"));
    EXPECT_EQ(boxLoopResult, 0) << "the program did not ask to end within " << tookMs
                                << " ms of Exit, the question still up; the progress window was told \""
                                << progressText.toStdString() << "\"";
    EXPECT_TRUE(hidden) << "the main window closes while the question is up";
    EXPECT_TRUE(shutDown) << "the ordinary shut-down tells every wait that the program ends";
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LeftOpenTest, TheRadiosFleetAndIdPrompt) {
    sim::SimRadio radio(&sim);
    settings().PortProtocol = LOCALPORT_FLEETSYNC;
    settings().CommPortDevice = radio.OpenPty();
    linkState().FleetSyncTarget = QStringLiteral("100:1000");  // the radio of an earlier read
    ASSERT_EQ(OpenCommPort(), 0);
    bool acked = false;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.kind == ShownBox::Input) acked = EventsAcknowledged();
    });
    prompts.QueueInput(std::nullopt);  // the technician gives up on the radio
    Press(ToolButton::Read);
    EXPECT_TRUE(acked);
}

TEST_F(LeftOpenTest, TheConnectDialogAndTheSystemQuestions) {
    Fake(WindowId::frmSystem);
    ReadFromSim();
    ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    bool inConnect = false;
    QStringList ackedIn;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title.startsWith(QStringLiteral("Confirm Reset")) && EventsAcknowledged()) ackedIn << box.title;
    });
    prompts.QueueAnswer(vbYes);  // overwrite the module's configuration
    InConnectDialog([&](frmCancelSend& d) {
        inConnect = EventsAcknowledged();
        d.reject();
    });
    Press(ToolButton::Write);
    prompts.QueueAnswer(vbNo);
    Trigger(MenuItem::mnuSystemResetNVR);
    prompts.QueueAnswer(vbNo);
    Trigger(MenuItem::mnuSystemRestart);
    EXPECT_TRUE(inConnect);
    EXPECT_EQ(ackedIn, (QStringList{"Confirm Reset NVR", "Confirm Reset System"}));
}

namespace {

class LinkTurnTest : public MainRoadTest {
protected:
    // A read over TCP from a Korvel with a remote station 5 behind it, answers paced so
    // a channel wait lasts long enough to act inside it.
    void SetUp() override {
        MainRoadTest::SetUp();
        ServeKorvel(1);
        sim.AddRemoteStation(5);
        ReadFromSim();
        ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
        sim.SetReplyDelayMs(20);
    }
    // Station 5 sends an event; once the acknowledging tick polls the channel for it,
    // act runs inside that wait.
    bool ActInsideTheAcknowledgementsWait(const std::function<void()>& act) {
        bool given = false;
        const auto c = QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(),
                                        [this, &given, act](const QByteArray& f) {
                                            if (given || uint8_t(f[5]) != PKT_GET || uint8_t(f[6]) != CMD_CHANNEL_CLEAR)
                                                return;
                                            given = true;
                                            QTimer::singleShot(0, window.get(), act);
                                        });
        sim.SendEvent(5, 1, QByteArray(1, char(2)));
        WaitUntil([&given] { return given; }, 5000);
        QObject::disconnect(c);
        return given;
    }
    void ConnectWhenShown() {
        WhenShown<frmCancelSend>([this](frmCancelSend& d) { ConnectOverIp(d); });
    }
};

// What the user starts while an acknowledgement waits for a clear channel waits its turn,
// then runs, on the station the user chose rather than the event's.
TEST_F(LinkTurnTest, CommandsGivenWhileAnAcknowledgementWaitsForItsChannelRunAfterIt) {
    Fake(WindowId::frmStatus);
    Fake(WindowId::frmDateTime);
    struct Step {
        const char* name;
        std::function<void()> give;
        std::function<bool()> done;
    };
    const QList<Step> steps = {
        {"Write",
         [this] {
             prompts.QueueAnswer(vbYes);
             ConnectWhenShown();
             Press(ToolButton::Write);
         },
         [this] { return Panel(2) == QStringLiteral("Configuration Uploaded"); }},
        {"Read",
         [this] {
             prompts.QueueAnswer(vbYes);
             ConnectWhenShown();
             Press(ToolButton::Read);
         },
         [this] { return Panel(2) == QStringLiteral("Configuration Downloaded"); }},
        {"Current Status", [this] { Trigger(MenuItem::mnuViewStatus); },
         [this] { return opened.contains(WindowId::frmStatus); }},
        {"Date&Time", [this] { Trigger(MenuItem::mnuDateTime); },
         [this] { return opened.contains(WindowId::frmDateTime); }},
    };
    for (const Step& step : steps) {
        window->SetPanelText(2, QString());
        opened.clear();
        prompts.Clear();
        sim.ClearReceived();
        sim.SetChannelBusyPolls(5);
        ASSERT_TRUE(ActInsideTheAcknowledgementsWait(step.give)) << step.name;
        ASSERT_TRUE(WaitUntil(step.done, 15000)) << step.name << ": " << ShownTexts(prompts).join('|').toStdString();
        EXPECT_EQ(ShownTexts(prompts).filter(QStringLiteral("remote")), QStringList()) << step.name;
        const QList<QByteArray> frames = sim.Received();
        qsizetype ack = -1;
        for (qsizetype i = 0; i < frames.size() && ack < 0; ++i)
            if (uint8_t(frames[i][5]) == PKT_ACK && uint8_t(frames[i][1]) == 5) ack = i;
        ASSERT_GE(ack, 0) << step.name << ": the event is acknowledged";
        for (qsizetype i = 0; i < frames.size(); ++i) {
            if (i < ack) {
                EXPECT_EQ(uint8_t(frames[i][6]), CMD_CHANNEL_CLEAR) << step.name << " went out first";
            } else if (i > ack) {
                EXPECT_EQ(uint8_t(frames[i][1]), 0) << step.name << " to the chosen station";
            }
        }
    }
}

// IP CONNECT pressed while the acknowledging tick has its channel poll open over TCP:
// the connect waits for the tick, whose poll is answered on the connection it was asked
// on; the new connection, with its start text, comes after, and the read goes on there.
TEST_F(LinkTurnTest, IpConnectWaitsForThePollUnderWayThenOpensItsNewConnection) {
    sim.ClearReceived();
    QPointer<frmCancelSend> dialog;
    bool pressed = false, answeredFirst = false;
    qsizetype sentBeforeAnswer = -1;
    int connections = 0;
    QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(), [&](const QByteArray& f) {
        const bool poll = uint8_t(f[5]) == PKT_GET && uint8_t(f[6]) == CMD_CHANNEL_CLEAR;
        // Only the poll is slow to answer: long enough for the press to come while it is
        // open, well inside the reply time-out.
        sim.SetReplyDelayMs(poll ? 500 : 0);
        if (!poll || pressed) return;
        pressed = true;
        sentBeforeAnswer = sim.SentRaw().size();
        // Delivered as a click is, inside the tick's wait for the answer.
        QTimer::singleShot(0, window.get(), [&dialog] {
            if (dialog) dialog->cmdIP()->click();
        });
    });
    QObject::connect(&sim, &sim::SimModule::clientConnected, window.get(), [&] {
        if (++connections == 1) answeredFirst = sim.SentRaw().size() > sentBeforeAnswer;
    });
    prompts.QueueAnswer(vbYes);  // the read replaces the configuration in memory
    WhenShown<frmCancelSend>([&](frmCancelSend& d) {
        dialog = &d;
        d.txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(sim.TcpPort()));
        sim.SendEvent(5, 1, QByteArray(1, char(2)));
    });
    // Should the tick never poll, the dialog is given up and the test fails below.
    QTimer::singleShot(8000, window.get(), [&] {
        if (!pressed && dialog) dialog->reject();
    });
    Press(ToolButton::Read);
    ASSERT_TRUE(pressed) << "the tick polled the channel while the connect dialog was up";
    EXPECT_TRUE(answeredFirst) << "the poll's answer left the module on its own connection before the new one came";
    EXPECT_EQ(sim.ChannelPolls(), 1) << "the poll was answered at its first send, not sent again";
    EXPECT_GE(connections, 1) << "IP CONNECT opened a new connection";
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded")) << ShownTexts(prompts).join('|').toStdString();
    bool acknowledged = false;
    for (const QByteArray& f : sim.Received()) acknowledged |= uint8_t(f[5]) == PKT_ACK && uint8_t(f[1]) == 5;
    EXPECT_TRUE(acknowledged) << "station 5's event";
}

// IP CONNECT pressed while the tick polls a busy channel: the tick's own question comes
// and is answered No; the connect then runs whole, and the read after it, with its one
// System dialog. Nothing the tick did is taken for the person's cancel of the read.
TEST_F(LinkTurnTest, IpConnectPressedDuringABusyChannelRunsAfterTheTicksQuestion) {
    opened.clear();
    sim.SetChannelBusyPolls(1'000'000);
    bool pressed = false;
    QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(), [&](const QByteArray& f) {
        if (pressed || uint8_t(f[5]) != PKT_GET || uint8_t(f[6]) != CMD_CHANNEL_CLEAR) return;
        pressed = true;
        QTimer::singleShot(0, window.get(), [this] {
            if (auto* d = qobject_cast<frmCancelSend*>(QApplication::activeModalWidget())) d->cmdIP()->click();
        });
    });
    int boxesAtOnce = 0;
    prompts.WhileShowing([&](const ShownBox&) {
        boxesAtOnce = std::max(boxesAtOnce, MessageBoxesUp());
        if (MessageBoxesUp() == 1 && prompts.Shown().size() == 2) sim.SetChannelBusyPolls(0);
    });
    prompts.QueueAnswer(vbYes);  // the read replaces the configuration in memory
    prompts.QueueAnswer(vbNo);   // the tick's question about the busy channel
    WhenShown<frmCancelSend>([this](frmCancelSend& d) {
        d.txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(sim.TcpPort()));
        sim.SendEvent(5, 1, QByteArray(1, char(2)));
    });
    Press(ToolButton::Read);
    ASSERT_TRUE(WaitUntil([this] { return Panel(2) == QStringLiteral("Configuration Downloaded"); }, 15000))
        << ShownTexts(prompts).join('|').toStdString();
    EXPECT_TRUE(pressed);
    ASSERT_EQ(prompts.Shown().size(), 2) << ShownTexts(prompts).join('|').toStdString();
    EXPECT_TRUE(prompts.Shown()[1].text.contains(QStringLiteral("radio channel is clear")));
    EXPECT_EQ(boxesAtOnce, 1);
    EXPECT_EQ(opened.count(WindowId::frmSystem), 1);
    prompts.WhileShowing({});
}

// Under a question of its own the tick may not ask about a busy channel: it gives up its
// channel wait quietly and does not start the next one at once, so the link is not
// flooded with polls while the person reads. The acknowledgement stays owed and goes out
// once the channel clears.
TEST_F(LinkTurnTest, UnderAnotherQuestionTheTickDoesNotPollTheBusyChannelOverAndOver) {
    sim.SetChannelBusyPolls(-1);
    sim.SetReplyDelayMs(0);  // a channel wait over in a moment
    sim.ClearReceived();
    prompts.WhileShowing([this](const ShownBox&) {
        sim.SendEvent(5, 1, QByteArray(1, char(2)));
        WaitUntil([] { return false; }, 3000);  // the person reads the question
    });
    MsgBox(QStringLiteral("A question of the program's"), vbOKOnly, QStringLiteral("Another"));
    prompts.WhileShowing({});
    EXPECT_GE(sim.ChannelPolls(), 101);
    EXPECT_LE(sim.ChannelPolls(), 202) << "one channel wait, not one after another";
    sim.SetChannelBusyPolls(0);
    EXPECT_TRUE(WaitUntil([this] {
        for (const QByteArray& f : sim.Received())
            if (uint8_t(f[5]) == PKT_ACK && uint8_t(f[1]) == 5) return true;
        return false;
    }, 10000)) << "station 5's event is acknowledged once the channel clears";
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(LinkTurnTest, ExitWhileAnAcknowledgementWaitsForItsChannelEndsTheProgram) {
    sim.SetChannelBusyPolls(1'000'000);
    QTimer::singleShot(0, window.get(), [this] {
        ActInsideTheAcknowledgementsWait([this] { window->Menu(MenuItem::mnuFileExit)->trigger(); });
    });
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(LinkQueueLength(), 0);
}

// The same with a Read's connect dialog up (Exit given as a screen reader gives it,
// past the modal dialog): the program ends within seconds, and no read goes out.
TEST_F(LinkTurnTest, ExitWithTheConnectDialogUpWhileTheTickPollsEndsTheProgramAndSendsNoRead) {
    sim.SetChannelBusyPolls(1'000'000);
    prompts.QueueAnswer(vbYes);  // the read replaces the configuration in memory
    bool given = false;
    WhenShown<frmCancelSend>([this, &given](frmCancelSend&) {
        given = ActInsideTheAcknowledgementsWait([this] { window->Menu(MenuItem::mnuFileExit)->trigger(); });
    });
    QTimer::singleShot(0, window.get(), [this] {
        sim.ClearReceived();
        Press(ToolButton::Read);
    });
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_LT(took.elapsed(), 5000);
    EXPECT_TRUE(given) << "Exit came while the tick polled, the dialog up";
    EXPECT_FALSE(window->isVisible());
    for (const QByteArray& f : sim.Received())
        EXPECT_TRUE(uint8_t(f[6]) == CMD_CHANNEL_CLEAR || uint8_t(f[5]) == PKT_ACK) << "only the tick's frames";
}

} // namespace

namespace {

// A write given up on in its middle: the person says No to the time-out question once
// the module answers again. The processes the write stopped run again, restarted over the
// connection the write used and before that connection is closed, and nothing is said to
// be left stopped.
class GivenUpWriteTest : public MainRoadTest {
protected:
    void SetUp() override {
        MainRoadTest::SetUp();
        ServeKorvel(1);
    }
    // The module falls silent at the write's first analog block (left unanswered too);
    // at the question it answers again and the person says No.
    void SilentAtTheAnalogBlockThenNo() {
        auto armed = std::make_shared<bool>(true);
        QObject::connect(&sim, &sim::SimModule::frameReceived, window.get(), [this, armed](const QByteArray& f) {
            if (!*armed || uint8_t(f[FRAME_PACKET_TYPE]) != PKT_SET || uint8_t(f[FRAME_COMMAND]) != CMD_CFG_ANALOGS)
                return;
            *armed = false;
            sim.ClearReceived();
            sim.GoSilentAfter(0);
        });
        prompts.WhileShowing([this](const ShownBox& box) {
            if (box.title != QStringLiteral("Communication Timer")) return;
            EXPECT_TRUE(sim.ProcessesStopped()) << "the write had stopped the module";
            sim.GoSilentAfter(-1);
            prompts.QueueAnswer(vbNo);
        });
        // A block waits long for its acknowledgement; short ticks keep the silence short.
        window->SetTimerInterval(LinkTimer::CommIn, 5);
    }
    // Restarts of the local module among frames.
    static int Restarts(const QList<QByteArray>& frames) {
        int n = 0;
        for (const QByteArray& f : frames)
            n += uint8_t(f[FRAME_PACKET_TYPE]) == PKT_SET && uint8_t(f[FRAME_COMMAND]) == CMD_RESTART_PROCESSES &&
                 uint8_t(f[FRAME_DESTINATION]) == 0;
        return n;
    }
    void ExpectWriteFailedAndModuleRestarted() {
        EXPECT_EQ(Panel(2), QStringLiteral("Write failed")) << ShownTexts(prompts).join('|').toStdString();
        EXPECT_EQ(Restarts(sim.Received()), 1) << "the restart, over the write's connection";
        EXPECT_FALSE(sim.ProcessesStopped());
        EXPECT_EQ(ShownTexts(prompts).filter(QStringLiteral("could not be restarted")), QStringList());
        EXPECT_EQ(ShownTexts(prompts).filter(QStringLiteral("No Communication")).size(), 1);
        EXPECT_TRUE(WaitUntil([this] { return !sim.ClientConnected(); })) << "the connection closed after it";
    }
};

// The event monitor keeps the serial port open, to another module: the restart still
// goes to the module the write was on, over TCP.
TEST_F(GivenUpWriteTest, WithTheMonitorOnTheSerialPortTheRestartStillGoesOverTcp) {
    sim::SimModule serial;
    settings().CommPortDevice = serial.OpenPty();
    ASSERT_FALSE(settings().CommPortDevice.isEmpty());
    window->SetMenuVisible(MenuItem::mnuEventSerial1, true);
    window->SetMenuEnabled(MenuItem::mnuEventSerial1, true);
    Trigger(MenuItem::mnuEventSerial1);
    ASSERT_TRUE(CommPort().IsOpen()) << "the monitor listens on the serial port";
    ReadFromSim();
    ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    serial.ClearReceived();
    SilentAtTheAnalogBlockThenNo();
    WriteToSim();
    ExpectWriteFailedAndModuleRestarted();
    EXPECT_EQ(Restarts(serial.Received()), 0) << "nothing of the write went out of the serial port";
    EXPECT_TRUE(CommPort().IsOpen()) << "the monitor keeps its port";
    serial.Close();
}

} // namespace

namespace {

// A read given up on (No to the time-out question) takes the TCP link off line, and
// nothing that needs the module is offered until the next read. Whatever ran around it,
// nothing goes out of the serial port meanwhile (a module of its own stands behind it
// here), and the next Read's IP CONNECT opens a connection of its own and reads; the
// status window then finds the module over it.
class AfterAGivenUpReadTest : public MainRoadTest {
protected:
    void SetUp() override {
        MainRoadTest::SetUp();
        ServeKorvel(1);
        settings().PacketTimeout = 3;
        settings().RetryCount = 2;
        settings().CommPortDevice = serial.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
        ReadFromSim();
        ASSERT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    }
    void TearDown() override {
        MainRoadTest::TearDown();
        serial.Close();
    }
    // A read whose module hears nothing from its first request on, answered No; while
    // the question is up runs `whileAsked`.
    void GivenUpRead(const std::function<void()>& whileAsked = {}) {
        prompts.Clear();
        prompts.WhileShowing([this, whileAsked](const ShownBox& box) {
            if (box.title != QStringLiteral("Communication Timer")) return;
            if (whileAsked) whileAsked();
            prompts.QueueAnswer(vbNo);
        });
        sim.GoSilentAfter(0);
        window->SetPanelText(2, QString());
        ReadFromSim();
        // Whatever waited for the read has had its turn.
        EXPECT_TRUE(WaitUntil([] { return LinkQueueLength() == 0 && !LinkInUse(); }));
        prompts.WhileShowing(nullptr);
        sim.GoSilentAfter(-1);
        EXPECT_TRUE(Panel(2).startsWith(QStringLiteral("Read failed"))) << Panel(2).toStdString();
        EXPECT_EQ(ShownTexts(prompts),
                  (QStringList{QStringLiteral("No Communication from module\r\nCheck cable and COM port, Continue?"),
                               QStringLiteral("The configuration could not be read from the module.\n\rThe "
                                              "configuration in memory is unchanged.")}));
        // The configuration in memory stays to be saved or written; the station is not
        // offered over a link that has gone.
        for (MenuItem item : {MenuItem::mnuViewStatus, MenuItem::mnuSystemResetNVR, MenuItem::mnuDateTime})
            EXPECT_FALSE(window->MenuEnabled(item)) << MenuItemName(item) << " offered off line";
        for (MenuItem item : {MenuItem::mnuFileSave, MenuItem::mnuConfigSystem})
            EXPECT_TRUE(window->MenuEnabled(item)) << MenuItemName(item);
        EXPECT_TRUE(window->Button(ToolButton::Read)->isEnabled());
    }
    // The next read, over a new connection, and the status window after it.
    void ExpectTheNextReadAndStatusWork() {
        prompts.Clear();
        int connections = 0;
        const auto counted =
            QObject::connect(&sim, &sim::SimModule::clientConnected, window.get(), [&connections] { ++connections; });
        window->SetPanelText(2, QString());
        ReadFromSim();
        QObject::disconnect(counted);
        EXPECT_EQ(connections, 1);
        EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded")) << ShownTexts(prompts).join('|').toStdString();
        bool statusShown = false;
        WhenShown<frmStatus>([&statusShown](frmStatus& s) {
            statusShown = true;
            s.cmdCancel()->click();
        });
        Trigger(MenuItem::mnuViewStatus);
        EXPECT_TRUE(WaitUntil([&statusShown] { return statusShown; }));
        EXPECT_EQ(ShownTexts(prompts), QStringList());
        EXPECT_EQ(serial.ReceivedCount(), 0) << "a frame went out of the serial port";
    }
    sim::SimModule serial;
};

// The status window just before the read, an event while its question is up (which the
// acknowledging tick tries on the lent link), and the tick again once the link is off line.
TEST_F(AfterAGivenUpReadTest, AfterTheStatusWindowAndEventsTheNextIpConnectReads) {
    WhenShown<frmStatus>([this](frmStatus& s) {
        WaitUntil([this] { return sim.ReceivedCount() >= 1; });
        WaitUntil([] { return false; }, 200);
        s.cmdCancel()->click();
    });
    sim.ClearReceived();
    Trigger(MenuItem::mnuViewStatus);
    ASSERT_GE(sim.ReceivedCount(), 1) << "the status window asked the module";
    GivenUpRead([this] {
        const int polls = sim.ChannelPolls();
        sim.SendEvent(5, 1, QByteArray(1, char(2)));
        WaitUntil([&] { return sim.ChannelPolls() > polls; }, 3000);
    });
    // The tick has run since, and dropped the acknowledgement the gone link cannot carry.
    EXPECT_TRUE(WaitUntil([] { return eventAck().OwedAcks.isEmpty(); }));
    ExpectTheNextReadAndStatusWork();
}

// Current Status given while the read's question is up waits for the read; by then the
// link is off line and the command is no longer offered: it is dropped, not sent out of
// the serial port.
TEST_F(AfterAGivenUpReadTest, AStatusGivenWhileTheQuestionIsUpIsDroppedWithTheLink) {
    GivenUpRead([this] {
        QTimer::singleShot(0, window.get(), [this] { window->Menu(MenuItem::mnuViewStatus)->trigger(); });
        WaitUntil([] { return LinkQueueLength() > 0; }, 1000);
    });
    ExpectTheNextReadAndStatusWork();
}

} // namespace

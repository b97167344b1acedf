// The switch-through link against the test host program with the simulated module
// behind it: the command line, the two connections, the stream both ways, panel
// messages, prompts, and the end of the link.
#include "link/transaction.h"
#include "link/switchthrough.h"

#include "model/model.h"
#include "control/transfer.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "control/eventdisplay.h"
#include "control/linkservices.h"
#include "control/rxdispatch.h"
#include "support/simfixture.h"
#include "sim/switchhost.h"
#include "support/configdiff.h"
#include "platform/tcpclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

class HostLinkTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        linkState().SwitchThroughListenPort = 0;
        linkState().SwitchThroughAcceptPauseMs = 0;
        switchThrough().SetEndHandler([this] { ++ended; });
    }
    void TearDown() override {
        switchThrough().SetEndHandler(nullptr);
        SimLinkFixture::TearDown();
    }
    // The host listening, relaying to the module, and the link started as the host
    // would start the program.
    void Link(int route = 0) {
        ASSERT_NE(relay.Listen(), 0);
        ASSERT_TRUE(relay.ConnectModule(QStringLiteral("127.0.0.1"), sim.ListenTcp(0)));
        switchThrough().Start(relay.CommandLine(route));
        ASSERT_TRUE(WaitUntil([this] { return relay.Linked() && switchThrough().HostConnected(); }));
    }
    static QByteArray Good(std::initializer_list<int> withoutChecksum) { return WithChecksum(withoutChecksum); }

    sim::SwitchHost relay;
    int ended = 0;
};

TEST_F(HostLinkTest, CommandLineOfTwoWords) {
    quint16 port = 0;
    int route = -1;
    EXPECT_TRUE(ParseSwitchThroughCommandLine(QStringLiteral("40123 3"), &port, &route));
    EXPECT_EQ(port, 40123);
    EXPECT_EQ(route, 3);
    for (const char* bad : {"40123", "", "40123  3", "40123 3 1", "x 3", "0 3", "70000 3", "40123 256", "40123 -1",
                            "40123 3x"})
        EXPECT_FALSE(ParseSwitchThroughCommandLine(QString::fromLatin1(bad), nullptr, nullptr)) << bad;

    // A one-word command line starts nothing.
    ASSERT_NE(relay.Listen(), 0);
    switchThrough().Start(QString::number(relay.ListenPort()));
    QCoreApplication::processEvents();
    EXPECT_EQ(relay.CurrentState(), sim::SwitchHost::State::Idle);
    EXPECT_EQ(linkState().LinkMode, LINK_NORMAL);
}

TEST_F(HostLinkTest, HostConnectsBackOnceAndFramesCarryTheRoute) {
    relay.SetRelay(false);
    Link(3);
    EXPECT_EQ(linkState().LinkMode, LINK_SWITCH_THROUGH);
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuSystemFlash));
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuViewManuf));
    EXPECT_EQ(host->PanelText(4), QStringLiteral("CONNECTING ...0"));
    EXPECT_TRUE(relay.ReceivedRaw().startsWith(QStringLiteral("%1").arg(relay.UtilityPort()).toLatin1()));

    // The listener is gone once the host is in: no second host can take over.
    EXPECT_EQ(switchThrough().ListenPort(), 0);
    QTcpSocket intruder;
    intruder.connectToHost(QStringLiteral("127.0.0.1"), relay.UtilityPort());
    EXPECT_FALSE(intruder.waitForConnected(2000) && intruder.waitForReadyRead(200));

    Later(0, [this] { relay.SendFrame(Good({7, 0, 5, 3, 0, PKT_REPLY, 0x42})); });
    EXPECT_EQ(SendRequest(Held(), 0x42, 5, 0, 0), SEND_OK);
    ASSERT_EQ(relay.FramesFromUtility().size(), 1);
    const QByteArray sent = relay.FramesFromUtility()[0];
    EXPECT_EQ(uint8_t(sent[FRAME_ROUTE]), 3) << "the route of the command line";
    EXPECT_TRUE(FrameChecksumGood(reinterpret_cast<const uint8_t*>(sent.constData()), int(sent.size())));
    EXPECT_TRUE(relay.ReceivedRaw().endsWith(sent + "<<>>"));
}

// The pause once the host is in waits in the event loop: the window's timers run, and
// what the host sends meanwhile comes after the connecting text.
TEST_F(HostLinkTest, TheAcceptPauseLetsTheProgramRun) {
    linkState().SwitchThroughAcceptPauseMs = 600;
    relay.SendPanelMessage(4, "HOST READY");
    int ticksInPause = 0;
    QString panelInPause;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (linkState().LinkMode != LINK_SWITCH_THROUGH) return;
        // The host's message has had ample time to arrive: it must still be waiting.
        if (++ticksInPause == 10) panelInPause = host->PanelText(4);
    });
    tick.start(10);
    QElapsedTimer t;
    t.start();
    Link();
    ASSERT_TRUE(WaitUntil([this] { return host->PanelText(4) == QStringLiteral("HOST READY"); }));
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_GE(ticksInPause, 10);
    EXPECT_TRUE(panelInPause.isEmpty()) << panelInPause.toStdString();
    EXPECT_EQ(ended, 0);
}

// The host passes the module's frames on as they came: one whose checksum is wrong still
// answers the request, byte for byte, the checksum byte included.
TEST_F(HostLinkTest, AFrameWithAWrongChecksumIsHandedOn) {
    relay.SetRelay(false);
    Link();
    RecordDispatched();
    QByteArray reply = Good({8, 0, 5, 3, 0, PKT_REPLY, 0x42, 9});
    reply[8] = char(uint8_t(reply[8]) ^ 0x01);
    Later(0, [&] { relay.SendFrame(reply); });
    EXPECT_EQ(SendRequest(Held(), 0x42, 5, 0, 0), SEND_OK);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], reply);
}

// The host that connects starts a stream of its own: half a message left from before is
// not finished by its first bytes.
TEST_F(HostLinkTest, TheHostsStreamStartsAfresh) {
    switchThrough().TakeStream("PNLMESSAGE<<>>2<<>>Left ");
    Link();
    relay.SendRaw("over<<>>");
    relay.SendPanelMessage(3, "Fresh");
    ASSERT_TRUE(WaitUntil([this] { return host->PanelText(3) == QStringLiteral("Fresh"); }));
    EXPECT_EQ(host->PanelText(2), QString());
}

TEST_F(HostLinkTest, PanelMessagesAndPromptsWithEveryAnswer) {
    Link();
    relay.SendPanelMessage(2, "Relay up");
    ASSERT_TRUE(WaitUntil([this] { return host->PanelText(2) == QStringLiteral("Relay up"); }));

    for (int answer = vbOK; answer <= vbNo; ++answer) prompts.QueueAnswer(answer);
    for (int i = 0; i < 7; ++i) relay.SendUserPrompt(36, "Relay", "Go on?");
    ASSERT_TRUE(WaitUntil([this] { return relay.DialogResults().size() == 7; }));
    EXPECT_EQ(relay.DialogResults(), QList<int>({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(relay.ReceivedRaw().contains("DIALOGRESULT<<>>00007<<>>"));
    const ShownBox& box = prompts.Shown().back();
    EXPECT_EQ(box.text, QStringLiteral("Go on?"));
    EXPECT_EQ(box.title, QStringLiteral("Relay"));
    EXPECT_EQ(box.buttons, vbYesNo);
    EXPECT_EQ(box.icon, vbQuestion);
}

TEST_F(HostLinkTest, StreamTakesWholeMessagesAndKeepsTheRest) {
    RecordDispatched();
    const QByteArray a = Good({8, 0, 12, 3, 0, PKT_REPLY, 0x42, 1});
    // Data bytes that spell the delimiter stay in their frame.
    const QByteArray b = Good({11, 0, 12, 3, 0, PKT_REPLY, 0x42, '<', '<', '>', '>'});
    QByteArray badChecksum = a;
    badChecksum[7] = 2;
    const QByteArray stream = a + "<<>>" + badChecksum + "<<>>" + "\x05" "abc<<>>" + "<<>>" + "PNLMESSAGE<<>>x<<>>ignored<<>>" +
                              b + "<<>>" + "PNLMESSAGE<<>>3<<>>Three<<>>";
    // Byte by byte: nothing is lost at any split.
    for (char c : stream) switchThrough().TakeStream(QByteArray(1, c));
    // A frame whose checksum is wrong is handed on like any other.
    ASSERT_EQ(dispatched.size(), 3);
    EXPECT_EQ(dispatched[0], a);
    EXPECT_EQ(dispatched[1], badChecksum);
    EXPECT_EQ(dispatched[2], b);
    EXPECT_EQ(host->PanelText(3), QStringLiteral("Three"));

    // Half a message waits for the rest.
    switchThrough().TakeStream("PNLMESSAGE<<>>1<<>>Par");
    EXPECT_EQ(host->PanelText(1), QString());
    switchThrough().TakeStream("tial<<>>");
    EXPECT_EQ(host->PanelText(1), QStringLiteral("Partial"));
}

// An event from a remote station and, in the same block from the host, a question or a
// refusal: the box sits in its modal loop while the acknowledging tick polls the channel
// through the host. The poll's answer gets through, the event is acknowledged, the
// question is answered, and the next request is answered too.
TEST_F(HostLinkTest, EventThenPromptOrRefusalInOneBlock) {
    jobHold.reset();  // the acknowledging tick is the only job here
    sim.AddRemoteStation(5);
    Link();
    const auto acknowledged = [this] {
        for (const QByteArray& f : sim.Received())
            if (uint8_t(f[FRAME_PACKET_TYPE]) == PKT_ACK && uint8_t(f[FRAME_DESTINATION]) == 5) return true;
        return false;
    };
    bool ackedWhileShown = false;
    prompts.WhileShowing([&](const ShownBox&) { ackedWhileShown = WaitUntil(acknowledged); });
    for (const bool question : {true, false}) {
        sim.ClearReceived();
        relay.ClearRecords();
        prompts.Clear();
        ackedWhileShown = false;
        relay.HoldToUtility();
        sim.SendEvent(5, EVENT_CLASS_CONTACT, Bytes({0x81}));
        ASSERT_TRUE(WaitUntil([this] { return relay.FramesFromModule().size() == 1; }));
        if (question) {
            prompts.QueueAnswer(vbYes);
            relay.SendUserPrompt(36, "Relay", "Go on?");
        } else {
            relay.SendFrame(Good({7, 0, 0, 0, 0, PKT_NACK, 0x42}));
        }
        relay.ReleaseToUtility();
        ASSERT_TRUE(WaitUntil([&] { return prompts.Shown().size() == 1 && acknowledged(); })) << question;
        EXPECT_TRUE(ackedWhileShown) << "acknowledged while the box was up";
        EXPECT_GE(sim.ChannelPolls(), 1) << "after a clear channel";
        if (question) {
            ASSERT_TRUE(WaitUntil([this] { return !relay.DialogResults().isEmpty(); }));
            EXPECT_EQ(relay.DialogResults(), QList<int>({vbYes}));
        }
        ASSERT_TRUE(WaitUntil([] { return !LinkInUse(); }));
        const LinkHold next;
        EXPECT_EQ(SendRequest(next, CMD_MODULE_INFO, 0, 0, 0), SEND_OK) << "the next request is answered";
    }
    prompts.WhileShowing(nullptr);
}

// A part that is malformed or cut short at its delimiter is dropped, alone: the frame
// behind it is taken at once, whether it came in the same block or the next one.
TEST_F(HostLinkTest, ABadPartCostsOnlyItself) {
    const QByteArray a = Good({8, 0, 12, 3, 0, PKT_REPLY, 0x42, 1});
    const QByteArray b = Good({11, 0, 12, 3, 0, PKT_REPLY, 0x42, '<', '<', '>', '>'});
    QByteArray oversized = a;
    oversized[0] = char(a.size() + 30);
    QByteArray undersized = a;
    undersized[0] = char(a.size() - 3);
    const QList<QByteArray> bad = {
        Bytes({0x20, 0, 0}) + "<<>>",                // cut short
        oversized + "<<>>",                          // a length byte past the part's end
        oversized + "<<>>" + Bytes({1, 2}) + "<<>>", // ... and behind it a part cut short as well
        undersized + "<<>>",                         // a length byte short of it
        "USERPROMPT<<>>36<<>>",                      // a question without its texts
        "USERPROMPT<<>>36<<>>Title<<>>",
        "USERPROMPT<<>>x<<>>",                       // not a style
        "PNLMESSAGE<<>>2<<>>",                       // a panel without its text
    };
    for (const QByteArray& part : bad) {
        for (const bool oneBlock : {false, true}) {
            dispatched.clear();
            if (oneBlock) {
                switchThrough().TakeStream(part + a + "<<>>");
            } else {
                switchThrough().TakeStream(part);
                switchThrough().TakeStream(a + "<<>>");
            }
            ASSERT_EQ(dispatched.size(), 1) << part.toHex(' ').toStdString() << " " << oneBlock;
            EXPECT_EQ(dispatched[0], a);
            // Nothing of the bad part is left to spoil the next frame, even one whose data
            // spell the delimiter.
            switchThrough().TakeStream(b + "<<>>");
            ASSERT_EQ(dispatched.size(), 2) << part.toHex(' ').toStdString();
            EXPECT_EQ(dispatched[1], b);
        }
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(host->PanelText(2), QString());

    // A block that ends in the middle of a part loses that part and nothing more, also
    // when its length byte runs past the next block's first part.
    for (const QByteArray& cut : {a.left(3), Bytes({0x20, 0}), QByteArray("USERPROMPT<<>>36<<>>Ti")}) {
        dispatched.clear();
        switchThrough().TakeStream(cut);
        switchThrough().TakeStream(a + "<<>>");
        switchThrough().TakeStream(b + "<<>>");
        EXPECT_EQ(dispatched, QList<QByteArray>({a, b})) << cut.toHex(' ').toStdString();
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());

    // Split anywhere, a good frame still goes whole, its data delimiter too.
    for (qsizetype at = 1; at < b.size() + 4; ++at) {
        dispatched.clear();
        const QByteArray part = b + "<<>>";
        switchThrough().TakeStream(part.left(at));
        switchThrough().TakeStream(part.mid(at));
        EXPECT_EQ(dispatched, QList<QByteArray>({b})) << at;
    }
}

// Over the host, each bad part ends with the delimiter and is followed by nothing until the
// next request: that request is answered.
TEST_F(HostLinkTest, AfterABadPartTheNextRequestIsAnswered) {
    Link();
    // The wait has no time-out on this link: should an answer be swallowed, closing the
    // host ends it, and the test fails rather than hangs.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &relay, [this] { relay.CloseUtilityLinks(); });
    const QByteArray oversized = Bytes({0x60}) + Good({8, 0, 0, 0, 0, PKT_REPLY, 0x42, 1}).mid(1);
    for (const QByteArray& part : {Bytes({0x20, 0, 0}) + "<<>>", oversized + "<<>>", QByteArray("USERPROMPT<<>>36<<>>")}) {
        relay.SendRaw(part);
        ASSERT_TRUE(WaitUntil([&] { return relay.SentRaw().endsWith(part); }));
        watchdog.start(5000);
        EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK) << part.toHex(' ').toStdString();
        watchdog.stop();
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(ended, 0);
}

TEST_F(HostLinkTest, SendOnlyFrameIsDoneOnceWithTheHost) {
    relay.SetRelay(false);
    Link();
    EXPECT_EQ(SendAck(Held(), 0), SEND_OK);
    ASSERT_TRUE(WaitUntil([this] { return relay.FramesFromUtility().size() == 1; }));
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(HostLinkTest, AnUnansweredRequestCanBeCancelled) {
    relay.SetRelay(false);
    Link();
    Later(50, [this] { Held().Cancel(); });
    EXPECT_EQ(SendRequest(Held(), 0x42, 0, 0, 0), SEND_CANCELLED);
}

TEST_F(HostLinkTest, HostClosingEndsTheLinkOnce) {
    relay.SetRelay(false);
    Link();
    Later(20, [this] { relay.CloseUtilityLinks(); });
    EXPECT_NE(SendRequest(Held(), 0x42, 0, 0, 0), SEND_OK) << "a wait without its host ends";
    ASSERT_TRUE(WaitUntil([this] { return ended > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "the host closing is no error";
}

TEST_F(HostLinkTest, RefusedHostPortIsAWinsockError) {
    ASSERT_NE(relay.Listen(), 0);
    const QString line = relay.CommandLine(0);
    relay.StopListening();
    switchThrough().Start(line);
    ASSERT_TRUE(WaitUntil([this] { return ended == 1; }));
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith(QStringLiteral("Winsock Error: 10061\r\n")))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    EXPECT_EQ(linkState().LinkMode, LINK_NORMAL);
}

// A failure of the link is the client's to say and to act on: the program's box comes
// while the link is still up, once however many errors follow, and the link ends after
// it. Without a client the link ends all the same, saying nothing.
TEST_F(HostLinkTest, AFailureIsReportedOnceThenTheLinkEnds) {
    // The port the program listens on for the host is taken.
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, 0));
    LinkClient silent;
    for (const bool programClient : {true, false}) {
        SCOPED_TRACE(programClient ? "the program's client" : "no client");
        if (programClient) InstallProgramLinkClient();
        else SetLinkClient(&silent);
        prompts.Clear();
        ended = 0;
        linkState().SwitchThroughListenPort = squatter.serverPort();
        sim::SwitchHost session;
        ASSERT_NE(session.Listen(), 0);
        bool upWhileShown = false;
        int endedWhileShown = -1;
        prompts.WhileShowing([&](const ShownBox&) {
            if (prompts.Shown().size() > 1) return;
            upWhileShown = SwitchThroughSocket().State() == sckConnected;
            endedWhileShown = ended;
            // The same link fails again while its report is on screen.
            EXPECT_FALSE(switchThrough().startSwitchThroughServerListen(squatter.serverPort()));
            QCoreApplication::processEvents();
        });
        switchThrough().Start(session.CommandLine(0));
        ASSERT_TRUE(WaitUntil([this] { return ended > 0; }));
        EXPECT_TRUE(WaitUntil([&] { return !session.ClientOpen(); })) << "the end closes the host's connection";
        QCoreApplication::processEvents();
        EXPECT_EQ(ended, 1);
        EXPECT_NE(SwitchThroughSocket().State(), sckConnected);
        if (!programClient) {
            EXPECT_TRUE(prompts.Shown().isEmpty());
            continue;
        }
        ASSERT_EQ(prompts.Shown().size(), 1);
        EXPECT_TRUE(prompts.Shown()[0].text.startsWith(QStringLiteral("Winsock Error: 10048\r\n")))
            << prompts.Shown()[0].text.toStdString();
        EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
        EXPECT_TRUE(upWhileShown) << "the link closes nothing before the client says so";
        EXPECT_EQ(endedWhileShown, 0) << "the box comes before the end";
    }
    prompts.WhileShowing(nullptr);
}

// The link tells its client of the host; the menus are the program's, and a link
// without a client leaves them as they are.
TEST_F(HostLinkTest, WithoutAClientTheCommandsAreLeftAlone) {
    LinkClient silent;
    SetLinkClient(&silent);
    relay.SetRelay(false);
    Link();
    EXPECT_EQ(linkState().LinkMode, LINK_SWITCH_THROUGH);
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuSystemFlash));
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuViewManuf));
    InstallProgramLinkClient();
}

// What the module receives through the host is what it receives on a direct link.
TEST_F(HostLinkTest, WholeReadAndWriteAsOnADirectLink) {
    sim.SetKorvel(3);
    const auto run = [this](bool throughHost) {
        Restart();
        linkState().PacketTimeoutReload = 20;
        if (throughHost) {
            Link();
        } else {
            ConnectOverTcp();
        }
        return ReadAndWriteBack();
    };
    const QList<QByteArray> direct = run(false);
    const StationConfig read = config();
    sim.Close();
    const QList<QByteArray> relayed = run(true);
    EXPECT_GT(direct.size(), 40);
    EXPECT_EQ(relayed, direct);
    EXPECT_EQ(ConfigDifferences(read, config()), QStringList());
}

} // namespace

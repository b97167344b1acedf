#include "control/connection.h"
#include "control/lentbox.h"
#include "control/localsettings.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/iohandler.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "sim/simmodule.h"
#include "support/configdiff.h"
#include "support/simfixture.h"

#include <QElapsedTimer>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>
#include <QTcpServer>
#include <QTcpSocket>

using namespace korvel;
using namespace korvel::test;
using korvel::sim::Fault;
using korvel::sim::SimModule;

namespace {

quint16 UnusedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();  // closed again when s goes away
}

// The TCP path against the simulated module on a loopback port.
class TcpTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        port = sim.ListenTcp(0);
        ASSERT_NE(port, 0);
        linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
    }
    quint16 port = 0;
};

TEST_F(TcpTest, ConnectShowsTheAddressAndArmsTheLink) {
    linkState().PacketTimeoutReload = 7;
    EXPECT_EQ(TcpConnect(Held()), 1);
    EXPECT_TRUE(linkState().TcpLinkActive);
    EXPECT_EQ(linkState().PacketTimeoutCount, 7);
    EXPECT_EQ(host->PanelText(3), linkState().TcpAddress);
    EXPECT_TRUE(WaitUntil([&] { return sim.ClientConnected(); }));
}

TEST_F(TcpTest, SecondConnectToTheSameEndpointKeepsTheConnection) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    linkState().TcpReconnectPauseMs = 2000;  // a reconnect would show as this pause
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(TcpConnect(Held()), 1);
    EXPECT_LT(t.elapsed(), 1000);
}

// A borrower never replaces the connection it borrowed: with the lender's socket gone
// while its question is up, a borrower's connect opens nothing and changes nothing.
TEST_F(TcpTest, ABorrowerOpensNoConnectionOfItsOwn) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    TcpClientSocket().Close();
    int16_t borrowed = -1;
    prompts.WhileShowing([&](const ShownBox&) {
        const LinkHold borrower;
        EXPECT_TRUE(borrower.Borrowed());
        borrowed = TcpConnect(borrower);
    });
    MsgBoxLent(Held(), QStringLiteral("Go on?"), vbYesNo, QString());
    prompts.WhileShowing({});
    EXPECT_EQ(borrowed, 0);
    EXPECT_NE(TcpClientSocket().State(), sckConnected);
    EXPECT_TRUE(linkState().TcpLinkActive) << "the lender's link is left as it was";
}

TEST_F(TcpTest, ReconnectsWhenEitherHostOrPortDiffers) {
    SimModule other;
    const quint16 otherPort = other.ListenTcp(0);
    ASSERT_NE(otherPort, 0);
    ASSERT_EQ(TcpConnect(Held()), 1);
    // Same host, another port.
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(otherPort);
    ASSERT_EQ(TcpConnect(Held()), 1);
    EXPECT_TRUE(WaitUntil([&] { return other.ClientConnected(); }));
    EXPECT_EQ(TcpClientSocket().RemotePort(), otherPort);
    // Same port, another host name for the same machine.
    linkState().TcpAddress = QStringLiteral("localhost:%1").arg(otherPort);
    ASSERT_EQ(TcpConnect(Held()), 1);
    EXPECT_EQ(TcpClientSocket().RemoteHost(), QStringLiteral("localhost"));
}

TEST_F(TcpTest, MalformedAddressesFailWithoutAMessage) {
    for (const char* address : {"127.0.0.1", "a:b:c", "127.0.0.1:abc", "127.0.0.1:70000", "127.0.0.1:0", "127.0.0.1:-5", ":80", ""}) {
        linkState().TcpAddress = QString::fromLatin1(address);
        EXPECT_EQ(TcpConnect(Held()), 0) << address;
        EXPECT_FALSE(linkState().TcpLinkActive);
    }
    EXPECT_EQ(prompts.Shown().size(), 0);
}

TEST_F(TcpTest, RefusedConnectionShowsFailedToConnect) {
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(UnusedPort());
    EXPECT_EQ(TcpConnect(Held()), 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    // The refusal is named in the one message, not in a second box.
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Failed to connect to Korvel") + kLineBreak +
                                           QStringLiteral("Winsock Error: 10061\r\nConnection refused"));
    EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly);
    EXPECT_EQ(prompts.Shown()[0].title, AppTitle());
    EXPECT_FALSE(linkState().TcpLinkActive);
}

TEST_F(TcpTest, FailedConnectInsideATransactionEndsItAtOnce) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.Close();
    ASSERT_TRUE(WaitUntil([] { return TcpClientSocket().State() != sckConnected; }));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_LINK_LOST);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(TcpTest, RequestAndCommandOverTcp) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetReplyData(CMD_BUFFER_DUMP, Bytes({1, 2, 3}));
    EXPECT_EQ(SendRequestParam(Held(), CMD_BUFFER_DUMP, 0, 0, 0, 2), SEND_OK);
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_OK);
    ASSERT_EQ(sim.ReceivedCount(), 2);
    EXPECT_EQ(sim.Received()[1], Bytes({0x07, 0, 0, 0, 0, 0x01, 0x86, 0x71}));
    ASSERT_EQ(dispatched.size(), 2);
    EXPECT_EQ(dispatched[0].mid(7, 3), Bytes({1, 2, 3}));
}

TEST_F(TcpTest, RunsOf255InAReplyArriveIntact) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    const QByteArray data = Bytes({255, 255, 255, 1, 255, 0});
    sim.SetReplyData(CMD_BUFFER_DUMP, data);
    EXPECT_EQ(SendRequestByte(Held(), CMD_BUFFER_DUMP, 0, 0, 0, 1), SEND_OK);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].mid(7, data.size()), data);
}

TEST_F(TcpTest, SilentModuleRetriesThenNoClosesTheSocket) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetFault(Fault::Silent);
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_NO_ANSWER);
    jobHold.reset();
    EXPECT_TRUE(WaitUntil([&] { return sim.ReceivedCount() >= 3; }));
    EXPECT_EQ(sim.ReceivedCount(), 3);
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_NE(TcpClientSocket().State(), sckConnected);
}

TEST_F(TcpTest, YesKeepsTryingAndALateAnswerSucceeds) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetFault(Fault::Silent, 4);
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 5);
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(TcpTest, CancelIsHonouredOnlyWhenTheTransactionEnds) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetReplyDelayMs(150);
    Later(20, [this] { Held().Cancel(); });
    QElapsedTimer t;
    t.start();
    // A request: its reply ends the transaction (an acknowledgement would be ignored
    // while the cancel request stands).
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_CANCELLED);
    EXPECT_GE(t.elapsed(), 100) << "the wait went on until the answer came";
    EXPECT_EQ(host->PanelText(4), QStringLiteral("User Cancel"));
}

TEST_F(TcpTest, CancelToASilentModuleSendsNoFurtherTry) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetFault(Fault::Silent);
    Later(20, [this] { Held().Cancel(); });
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    // Given time, a resend would show here.
    WaitUntil([&] { return sim.ReceivedCount() > 1; }, 500);
    EXPECT_EQ(sim.ReceivedCount(), 1);
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "no question after a cancel";
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(TcpTest, ALateAcknowledgementOfAnotherCommandDoesNotEndTheWait) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    // The first try goes unanswered; meanwhile an acknowledgement of an earlier stop
    // command arrives with the same packet id.
    sim.SetFault(Fault::Silent, 1);
    Later(50, [this] { sim.SendFrame(Bytes({7, 0, 0, 0, 0, PKT_ACK, CMD_STOP_PROCESSES})); });
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 2) << "the restart was sent again and acknowledged itself";
}

TEST_F(TcpTest, AReconnectInsideATransferBeginsWithTheStartTextAndForgetsTheHalfFrame) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    // Half a reply, then the module's network side resets.
    sim.SendRaw(Bytes({12, 0, 0, 0, 0, PKT_REPLY}));
    ASSERT_TRUE(WaitUntil([] { return linkState().RxState == RX_IN_FRAME; }));
    sim.DropClient();
    ASSERT_TRUE(WaitUntil([] { return TcpClientSocket().State() != sckConnected; }));
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_OK);
    EXPECT_EQ(sim.ReceivedRaw().count(QByteArray(TCP_START_TEXT, TCP_START_TEXT_LENGTH)), 2)
        << "one start text for each connection";
    EXPECT_EQ(sim.ReceivedCount(), 1) << "answered at the first try";
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(quint8(dispatched[0][6]), CMD_MODULE_INFO);
}

// A frame the old connection left waiting for its handler to return is not taken for
// the new connection's: connecting elsewhere drops it, staying connected keeps it.
TEST_F(TcpTest, ANewConnectionForgetsTheFramesTheOldOneLeftQueued) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    const QByteArray frame = WithChecksum({7, 7, 1, 0, 0, PKT_REPLY, 1});
    const auto queue = [&] {
        const IoHandlerScope handler;
        TcpReceiveBytes(frame);
    };
    queue();
    ASSERT_EQ(QueuedJobCount(), 1);
    EXPECT_EQ(TcpConnect(Held()), 1) << "the same endpoint: the same connection";
    RunQueuedJobs();
    EXPECT_EQ(dispatched, QList<QByteArray>({frame}));

    SimModule other;
    const quint16 otherPort = other.ListenTcp(0);
    ASSERT_NE(otherPort, 0);
    queue();
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(otherPort);
    ASSERT_EQ(TcpConnect(Held()), 1);
    RunQueuedJobs();
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(TcpTest, AResetInTheMiddleOfATransactionIsReportedAndTheTryRepeated) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetReplyDelayMs(300);
    Later(50, [this] { sim.DropClient(); });
    prompts.QueueAnswer(vbOK);
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_OK);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Winsock Error: 10053\r\nThe remote host closed the connection"));
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    EXPECT_EQ(prompts.Shown()[0].title, AppTitle());
    // The module closing a connection nobody is using says nothing.
    sim.DropClient();
    ASSERT_TRUE(WaitUntil([] { return TcpClientSocket().State() != sckConnected; }));
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(prompts.Shown().size(), 1);
}

TEST_F(TcpTest, AConnectThatNeverCompletesGivesUp) {
    // A listener whose queue is full: the system takes the connect and never completes it.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::vector<QTcpSocket*> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(new QTcpSocket);
        fillers.back()->connectToHost(QHostAddress::LocalHost, ntohs(a.sin_port));
    }
    WaitUntil([] { return false; }, 200);
    linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(ntohs(a.sin_port));
    linkState().TcpConnectTimeoutMs = 400;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(TcpConnect(Held()), 0);
    EXPECT_LT(t.elapsed(), 3000);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Failed to connect to Korvel"));
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_TRUE(host->PanelText(3).isEmpty()) << "no connecting text left behind";
    for (QTcpSocket* f : fillers) delete f;
    ::close(listener);
}

// The pause before a new connection and the one after its start text wait in the event
// loop: the window's timers run meanwhile, and a cancel ends the connect quietly.
TEST_F(TcpTest, TheConnectsPausesLetTheProgramRunAndGiveWayToCancel) {
    const QByteArray start(TCP_START_TEXT, TCP_START_TEXT_LENGTH);
    for (const bool afterStartText : {false, true}) {
        auto& s = linkState();
        // Each connect is a job of its own, with its own cancel.
        jobHold.reset();
        jobHold = std::make_unique<LinkHold>();
        s.TcpReconnectPauseMs = afterStartText ? 0 : 20000;
        s.TcpStartPauseMs = afterStartText ? 20000 : 0;
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            ++ticks;
            // Cancelled only once the pause under test is surely under way.
            if (ticks >= 3 && (!afterStartText || sim.ReceivedRaw().contains(start))) Held().Cancel();
        });
        tick.start(10);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(TcpConnect(Held()), 0) << afterStartText;
        EXPECT_LT(t.elapsed(), 10000);
        EXPECT_GE(ticks, 3);
        EXPECT_TRUE(prompts.Shown().isEmpty()) << "a cancel is no failure to report";
        EXPECT_FALSE(s.TcpLinkActive);
        EXPECT_FALSE(s.TcpConnecting) << "the next connect is not refused";
        EXPECT_NE(TcpClientSocket().State(), sckConnected);
        EXPECT_TRUE(host->PanelText(3).isEmpty());
        EXPECT_EQ(sim.ReceivedRaw().count(start), afterStartText ? 1 : 0);
    }
    jobHold.reset();
    jobHold = std::make_unique<LinkHold>();
    linkState().TcpStartPauseMs = 0;
    EXPECT_EQ(TcpConnect(Held()), 1);
}

TEST_F(TcpTest, ACancelledCommandEndsAtItsAcknowledgement) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    sim.SetReplyDelayMs(150);
    Later(20, [this] { Held().Cancel(); });
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_EQ(sim.ReceivedCount(), 1) << "no resend, no time-out";
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_TRUE(linkState().TcpLinkActive);
}

TEST_F(TcpTest, SendOnlyOverTcp) {
    ASSERT_EQ(TcpConnect(Held()), 1);
    EXPECT_EQ(SendAck(Held(), 12), SEND_OK);
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 1; }));
    EXPECT_EQ(sim.Received()[0], Bytes({6, 12, 0, 3, 0, 254, 236}));
}

// A read whose module falls silent at the analog block while remote station 12 keeps
// reporting events. While the read asks whether to go on, the link is lent: the
// acknowledging tick that borrows it meets the same silence, and must give up its own
// try without a question of its own and without ending the link under the read.
class TcpQuietModuleTest : public TcpTest {
protected:
    void SetUp() override {
        TcpTest::SetUp();
        sim.AddRemoteStation(12);
        ASSERT_EQ(TcpConnect(LinkHold()), 1);
        PrepareQuietRead(CMD_CFG_ANALOGS);
    }
    // Station 12's events come while the read asks; the link the read lent is still its own.
    std::shared_ptr<Question> WhenTheReadAsks(int answer, bool moduleBack) {
        return EventsWhileTheJobAsks(12, answer, moduleBack, [] {
            EXPECT_TRUE(linkState().TcpLinkActive && TcpClientSocket().State() == sckConnected)
                << "the link the read lent is still up under its question";
        });
    }
};

TEST_F(TcpQuietModuleTest, TheReadAsksOnceAndItsYesFinishesTheReadOnTheLinkItHad) {
    const auto question = WhenTheReadAsks(vbYes, true);
    EXPECT_EQ(DownloadConfiguration(ReadStart::FactoryDefaults), 0) << host->PanelText(4).toStdString();
    ExpectTheQuietReadWentOn(*question);
    EXPECT_TRUE(linkState().TcpLinkActive);
}

TEST_F(TcpQuietModuleTest, TheReadAsksOnceAndItsNoEndsTheReadWithoutWritingToAClosedPort) {
    const auto question = WhenTheReadAsks(vbNo, false);
    EXPECT_EQ(DownloadConfiguration(ReadStart::FactoryDefaults), 1);
    ExpectTheQuietReadEnded(*question);
}

// The switch-through link: the frame goes to a host program, which answers in its own
// stream (not part of this layer); here the host is a plain server in the test.
class SwitchThroughTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        SwitchThroughSocket().SetRemote(QStringLiteral("127.0.0.1"), server.serverPort());
        SwitchThroughSocket().Connect();
        ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_TRUE(WaitUntil([] { return SwitchThroughSocket().State() == sckConnected; }));
        linkState().LinkMode = LINK_SWITCH_THROUGH;
        linkState().SwitchThroughRoute = 7;
    }
    QByteArray HostReceives(int n) {
        WaitUntil([&] { return peer->bytesAvailable() >= n; });
        return peer->readAll();
    }
    QTcpServer server;
    QTcpSocket* peer = nullptr;
};

TEST_F(SwitchThroughTest, FrameGoesWithRouteReplacedNewChecksumAndSeparator) {
    Later(50, [] { EndOpenTransaction(TX_DONE); });
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 5, 0, 3), SEND_OK);
    const QByteArray got = HostReceives(12);
    const QByteArray frame = WithChecksum({7, 5, 0, 7, 0, PKT_SET, CMD_STOP_PROCESSES});
    EXPECT_EQ(got, frame + "<<>>");
}

TEST_F(SwitchThroughTest, RefusalFails) {
    Later(50, [] { EndOpenTransaction(TX_REFUSED); });
    EXPECT_EQ(SendCommand(Held(), CMD_RESET_NVR_ALL, 0, 0, 0), SEND_REFUSED);
}

TEST_F(SwitchThroughTest, HostClosingEndsTheWaitAsFailed) {
    Later(50, [this] { peer->close(); });
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_LINK_LOST);
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(SwitchThroughTest, NoPortIsOpenedOnASwitchThroughLink) {
    EXPECT_EQ(OpenCommPort(), 0);
    EXPECT_FALSE(CommPort().IsOpen());
}

} // namespace

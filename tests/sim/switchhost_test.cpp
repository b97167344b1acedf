#include "simtestutil.h"
#include "switchhost.h"

#include "simmodule.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {



QByteArray Request(int type, int command, const QByteArray& data = {})
{
    return MakeFrame(Bytes({7 + int(data.size()), 0, 0, 0, 0, type, command}) + data);
}

QByteArray Delimited(const QByteArray& part)
{
    return part + kPartEnd;
}

// How often a signal has fired since the call (sim_test links no Qt Test, so no QSignalSpy).
template <typename Signal>
std::shared_ptr<int> Count(SwitchHost& host, Signal signal)
{
    auto count = std::make_shared<int>(0);
    QObject::connect(&host, signal, &host, [count] { ++*count; });
    return count;
}

// A port nobody listens on: taken free, then let go.
quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The utility's end of the link: the client connection to the host port, and
// a listener for the host's connect-back (the server connection).
struct FakeUtility {
    FakeUtility()
    {
        listener.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&listener, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = listener.nextPendingConnection()) {
                ++connectBacks;
                server = socket;
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { fromHost += socket->readAll(); });
            }
        });
    }
    QByteArray Announcement() const { return QByteArray::number(listener.serverPort()).rightJustified(5, '0'); }
    bool Connect(quint16 hostPort)
    {
        client.connectToHost(QHostAddress::LocalHost, hostPort);
        return client.waitForConnected(5000);
    }
    bool Link(SwitchHost& host)
    {
        if (!Connect(host.ListenPort()))
            return false;
        client.write(Announcement());
        return WaitUntil([&] { return server && host.Linked(); });
    }
    bool WaitFromHost(const QByteArray& expected)
    {
        return WaitUntil([&] { return fromHost.size() >= expected.size(); }) && fromHost == expected;
    }

    QByteArray fromHost;
    int connectBacks = 0;
    QTcpSocket* server = nullptr;  // owned by the listener
    QTcpSocket client;
    QTcpServer listener;  // last: its sockets go before what their slots use
};

class HostFixture : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(modulePort = sim.ListenTcp(), 0);
        ASSERT_NE(host.Listen(), 0);
        ASSERT_TRUE(host.ConnectModule("127.0.0.1", modulePort));
        ASSERT_TRUE(WaitUntil([&] { return sim.ClientConnected(); }));
    }

    SimModule sim;
    quint16 modulePort = 0;
    SwitchHost host;
    FakeUtility utility;
};

using SwitchHostLink = HostFixture;
using SwitchHostStream = HostFixture;
using SwitchHostRelay = HostFixture;

}  // namespace

// ---- Setting up the link ------------------------------------------------------------

TEST_F(SwitchHostLink, AnnouncedPortIsReadAsExactlyFiveDigitsAndConnectedBack)
{
    EXPECT_EQ(host.CommandLine(3), QString("%1 3").arg(host.ListenPort()));
    const auto linked = Count(host, &SwitchHost::linked);
    ASSERT_TRUE(utility.Connect(host.ListenPort()));
    const QByteArray digits = utility.Announcement();
    ASSERT_NE(digits, "14004");  // a free port: the host must not assume the production one
    utility.client.write(digits.left(3));
    ASSERT_TRUE(WaitUntil([&] { return host.ReceivedRaw().size() == 3; }));
    EXPECT_EQ(host.CurrentState(), SwitchHost::State::Announcing);
    // The rest of the digits and the first frame in one write.
    const QByteArray frame = Request(kPktGet, 0x00);
    utility.client.write(digits.mid(3) + Delimited(frame));
    ASSERT_TRUE(WaitUntil([&] { return host.Linked(); }));
    EXPECT_EQ(host.UtilityPort(), utility.listener.serverPort());
    EXPECT_EQ(*linked, 1);
    EXPECT_EQ(host.FramesFromUtility(), QList<QByteArray>({frame}));
    EXPECT_EQ(host.ReceivedRaw(), digits + Delimited(frame));
    EXPECT_TRUE(host.MalformedFromUtility().isEmpty());
}

TEST_F(SwitchHostLink, RefusedOrBadAnnouncementIsAFailedConnectBack)
{
    const auto failed = Count(host, &SwitchHost::connectBackFailed);
    ASSERT_TRUE(utility.Connect(host.ListenPort()));
    utility.client.write(QByteArray::number(ClosedPort()).rightJustified(5, '0'));
    ASSERT_TRUE(WaitUntil([&] { return *failed == 1; }));
    EXPECT_EQ(host.CurrentState(), SwitchHost::State::ConnectBackFailed);
    EXPECT_FALSE(host.Linked());
    EXPECT_FALSE(host.FailureReason().isEmpty());

    for (const QByteArray& bad : {QByteArray("14a04"), QByteArray("00000"), QByteArray(" 1400")}) {
        SwitchHost other;
        const auto otherFailed = Count(other, &SwitchHost::connectBackFailed);
        ASSERT_NE(other.Listen(), 0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, other.ListenPort());
        client.write(bad);
        EXPECT_TRUE(WaitUntil([&] { return *otherFailed == 1; })) << bad.constData();
        EXPECT_EQ(other.UtilityPort(), 0);
    }
    EXPECT_EQ(utility.connectBacks, 0);
}

TEST_F(SwitchHostLink, OneClientConnectionPerSessionAndStopListeningRefuses)
{
    ASSERT_TRUE(utility.Link(host));
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, host.ListenPort());
    ASSERT_TRUE(WaitUntil([&] { return host.RejectedConnections() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return second.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(host.Linked());

    const quint16 port = host.ListenPort();
    host.StopListening();
    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(refused.waitForConnected(5000));
    EXPECT_EQ(refused.error(), QAbstractSocket::ConnectionRefusedError);
    EXPECT_TRUE(host.Linked());  // the running session is left alone
    EXPECT_EQ(host.Listen(port), port);
}

TEST_F(SwitchHostLink, UtilityClosingEitherConnectionEndsTheSessionOnce)
{
    const auto closed = Count(host, &SwitchHost::utilityClosed);
    ASSERT_TRUE(utility.Link(host));
    utility.client.disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return *closed == 1; }));
    EXPECT_FALSE(host.ClientOpen());
    EXPECT_TRUE(host.ServerOpen());  // left for the utility to close, so a test sees whether it does
    utility.server->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return !host.ServerOpen(); }));
    EXPECT_EQ(*closed, 1);

    // A new session, ended from the other side this time.
    FakeUtility again;
    ASSERT_TRUE(again.Link(host));
    again.server->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return *closed == 2; }));
    EXPECT_EQ(host.CurrentState(), SwitchHost::State::Closed);
}

TEST_F(SwitchHostLink, HostEndingTheSessionFlushesAndClosesBothWithoutUtilityClosed)
{
    const auto closed = Count(host, &SwitchHost::utilityClosed);
    ASSERT_TRUE(utility.Link(host));
    host.SendPanelMessage(1, "bye");
    host.CloseUtilityLinks();
    ASSERT_TRUE(WaitUntil([&] {
        return utility.client.state() == QAbstractSocket::UnconnectedState
            && utility.server->state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_EQ(utility.fromHost, "PNLMESSAGE<<>>1<<>>bye<<>>");
    EXPECT_EQ(*closed, 0);
}

// ---- The utility's stream -----------------------------------------------------------

TEST_F(SwitchHostStream, DialogResultsAreReadAndBadValuesDiscardedUpToTheirEnd)
{
    ASSERT_TRUE(utility.Link(host));
    const auto results = Count(host, &SwitchHost::dialogResult);
    const QByteArray frame = Request(kPktGet, 0x10);
    utility.client.write("DIALOGRESULT<<>>00006<<>>DIALOGRESULT<<>>00007<<>>" + Delimited(frame));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromUtility().size() == 1; }));
    EXPECT_EQ(host.DialogResults(), QList<int>({kResultYes, kResultNo}));
    EXPECT_EQ(*results, 2);

    // Not five digits: neither a result nor the start of a frame.
    utility.client.write("DIALOGRESULT<<>>6<<>>DIALOGRESULT<<>>0000x<<>>DIALOGRESULT<<>>000001<<>>" + Delimited(frame));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromUtility().size() == 2; }));
    EXPECT_EQ(host.DialogResults().size(), 2);
    EXPECT_EQ(host.MalformedFromUtility(), QList<QByteArray>({"DIALOGRESULT<<>>6<<>>", "DIALOGRESULT<<>>0000x<<>>",
                                                              "DIALOGRESULT<<>>000001<<>>"}));
}

TEST_F(SwitchHostStream, PartsSplitOverReadsAreKeptUntilComplete)
{
    ASSERT_TRUE(utility.Link(host));
    // L = 'D': until its second byte comes this frame could still be the keyword.
    const QByteArray dFrame = MakeFrame(QByteArray(1, 'D') + QByteArray('D' - 1, 'x'));
    const QByteArray stream = "DIALOGRESULT<<>>00001<<>>" + Delimited(dFrame) + Delimited(Request(kPktGet, 0x00));
    for (const qsizetype cut : {1, 7, 12, 16, 20, 24, 25, 26, 27, 96, 98, 100}) {
        const qsizetype from = host.ReceivedRaw().size() - kAnnouncementDigits;
        utility.client.write(stream.mid(from, cut - from));
        ASSERT_TRUE(WaitUntil([&] { return host.ReceivedRaw().size() == kAnnouncementDigits + cut; }));
        EXPECT_EQ(host.DialogResults().size(), cut >= 25 ? 1 : 0) << cut;
        EXPECT_EQ(host.FramesFromUtility().size(), cut >= 98 ? 1 : 0) << cut;
    }
    utility.client.write(stream.mid(100));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromUtility().size() == 2; }));
    EXPECT_EQ(host.FramesFromUtility(), QList<QByteArray>({dFrame, Request(kPktGet, 0x00)}));
    EXPECT_EQ(host.DialogResults(), QList<int>({kResultOk}));
    EXPECT_TRUE(host.MalformedFromUtility().isEmpty());
}

TEST_F(SwitchHostStream, FrameWhoseLengthMissesTheDelimiterIsDiscardedAndTheNextOneRead)
{
    ASSERT_TRUE(utility.Link(host));
    const QByteArray good = Request(kPktGet, 0x00);
    QByteArray shortFrame = good;
    shortFrame[0] = char(good.size());  // claims one byte more than it has
    utility.client.write(Delimited(shortFrame) + Delimited(good));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromUtility().size() == 1; }));
    EXPECT_EQ(host.FramesFromUtility()[0], good);
    EXPECT_EQ(host.MalformedFromUtility(), QList<QByteArray>({Delimited(shortFrame)}));
}

TEST_F(SwitchHostStream, PanelMessageAndPromptGoOutByteForByte)
{
    ASSERT_TRUE(utility.Link(host));
    host.SendPanelMessage(2, "Polling \xE9tation 7");
    host.SendUserPrompt(kStyleYesNoQuestion, "Write", "Send <the> block?");
    host.SendRaw("PNLMESS");
    EXPECT_TRUE(utility.WaitFromHost("PNLMESSAGE<<>>2<<>>Polling \xE9tation 7<<>>"
                                     "USERPROMPT<<>>36<<>>Write<<>>Send <the> block?<<>>PNLMESS"))
        << utility.fromHost.toStdString();
    EXPECT_EQ(host.SentRaw(), utility.fromHost);
}

TEST_F(SwitchHostStream, WhatIsSentBeforeTheLinkWaitsForItInOrder)
{
    host.SendPanelMessage(4, "early");
    sim.SendEvent(0, 0x21, Bytes({1}));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromModule().size() == 1; }));
    ASSERT_TRUE(utility.Link(host));
    EXPECT_TRUE(utility.WaitFromHost("PNLMESSAGE<<>>4<<>>early<<>>" + Delimited(sim.SentRaw())));
}

TEST_F(SwitchHostStream, HeldOutputGoesOutAtReleaseInOneBlockInOrder)
{
    ASSERT_TRUE(utility.Link(host));
    host.HoldToUtility();
    sim.SendEvent(0, 0x21, Bytes({1}));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromModule().size() == 1; }));
    host.SendUserPrompt(kStyleYesNoQuestion, "Relay", "Go on?");
    host.SendRaw("PNLMESS");
    EXPECT_TRUE(host.SentRaw().isEmpty()) << "nothing goes while held";
    host.ReleaseToUtility();
    const QByteArray block = Delimited(host.FramesFromModule()[0]) + "USERPROMPT<<>>36<<>>Relay<<>>Go on?<<>>PNLMESS";
    EXPECT_EQ(host.SentRaw(), block);
    EXPECT_TRUE(utility.WaitFromHost(block));
    // Released, the host writes as before; a session the host ends forgets what it held.
    host.SendRaw("AGE");
    EXPECT_TRUE(utility.WaitFromHost(block + "AGE"));
    host.HoldToUtility();
    host.SendRaw("lost");
    host.CloseUtilityLinks();
    host.ReleaseToUtility();
    EXPECT_EQ(host.SentRaw(), block + "AGE");
}

// ---- Relaying to the module ---------------------------------------------------------

TEST_F(SwitchHostRelay, FrameGoesToTheModuleAfterTheStartTextAndTheAnswerComesBack)
{
    ASSERT_TRUE(utility.Link(host));
    const QByteArray request = Request(kPktGet, 0x00);
    utility.client.write(Delimited(request));
    ASSERT_TRUE(WaitUntil([&] { return !sim.SentRaw().isEmpty(); }));
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(sim.ReceivedRaw(), QByteArray(kTcpStartText) + request);
    EXPECT_TRUE(utility.WaitFromHost(Delimited(sim.SentRaw())));
    EXPECT_TRUE(ChecksumGood(host.FramesFromModule().value(0)));
}

TEST_F(SwitchHostRelay, DelimiterBytesAnd255InsideFramesSurviveBothWays)
{
    ASSERT_TRUE(utility.Link(host));
    const QByteArray tricky = Bytes({0xFF, '<', '<', '>', '>', 0xFF, 0xFF, '<', '<', '>'});
    sim.SetReplyData(0x42, tricky);
    const QByteArray request = Request(kPktGet, 0x42, tricky);
    utility.client.write(Delimited(request));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromModule().size() == 1; }));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({request}));
    const QByteArray answer = host.FramesFromModule()[0];
    EXPECT_EQ(answer, sim.SentRaw());
    EXPECT_EQ(answer.mid(7, tricky.size()), tricky);
    EXPECT_TRUE(utility.WaitFromHost(Delimited(answer)));
}

TEST_F(SwitchHostRelay, Doubled255SplitBetweenReadsIsStillOneByte)
{
    // A module of the test's own, to cut the stream between the two halves of a pair.
    QTcpServer fakeModule;
    ASSERT_TRUE(fakeModule.listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(host.ConnectModule("127.0.0.1", fakeModule.serverPort()));
    ASSERT_TRUE(WaitUntil([&] { return fakeModule.hasPendingConnections(); }));
    QTcpSocket* module = fakeModule.nextPendingConnection();
    ASSERT_TRUE(utility.Link(host));
    const QByteArray frame = MakeFrame(Bytes({8, 0, 0, 0, 0, kPktReply, 0x01, 0xFF}));
    const QByteArray doubled = frame.left(8) + Bytes({0xFF}) + frame.mid(8);
    module->write(doubled.left(8));
    ASSERT_TRUE(WaitUntil([&] { return host.ModuleRaw().size() == 8; }));
    module->write(doubled.mid(8));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromModule().size() == 1; }));
    EXPECT_EQ(host.FramesFromModule()[0], frame);
    EXPECT_TRUE(utility.WaitFromHost(Delimited(frame)));
}

TEST_F(SwitchHostRelay, ModuleEventsReachTheUtilityUnpromptedInOrder)
{
    ASSERT_TRUE(utility.Link(host));
    const auto fromModule = Count(host, &SwitchHost::frameFromModule);
    sim.SendEvent(0, 0x21, Bytes({1, 2}));
    sim.SendEvent(5, 0x22, Bytes({0xFF}));
    ASSERT_TRUE(WaitUntil([&] { return *fromModule == 2; }));
    const QList<QByteArray> frames = host.FramesFromModule();
    EXPECT_EQ(frames[0] + frames[1], sim.SentRaw());
    EXPECT_TRUE(utility.WaitFromHost(Delimited(frames[0]) + Delimited(frames[1])));
}

TEST_F(SwitchHostRelay, HalfFrameFromTheModuleIsDroppedAfterTheGap)
{
    ASSERT_TRUE(utility.Link(host));
    const QByteArray event = MakeFrame(Bytes({8, 0, 0, 0, 0, kPktEvent, 0x21, 1}));
    sim.SendRaw(Bytes({0, 1}) + event.left(4));  // noise below kMinLength, then half a frame
    ASSERT_TRUE(WaitUntil([&] { return host.ModuleDropped().size() == 1; }));
    EXPECT_EQ(host.ModuleDropped()[0], event.left(4));
    sim.SendRaw(event);
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromModule().size() == 1; }));
    EXPECT_EQ(host.FramesFromModule()[0], event);
    EXPECT_TRUE(utility.WaitFromHost(Delimited(event)));
}

TEST_F(SwitchHostRelay, RelayOffRecordsTheUtilitysFramesWithoutForwarding)
{
    ASSERT_TRUE(utility.Link(host));
    host.SetRelay(false);
    const QByteArray held = Request(kPktGet, 0x00), passed = Request(kPktGet, 0x10);
    utility.client.write(Delimited(held));
    ASSERT_TRUE(WaitUntil([&] { return host.FramesFromUtility().size() == 1; }));
    host.SetRelay(true);
    utility.client.write(Delimited(passed));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 1; }));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({passed}));
    EXPECT_EQ(host.FramesFromUtility(), QList<QByteArray>({held, passed}));
}

// ---- korvel-host --------------------------------------------------------------------

namespace {

QString HostProgramPath()
{
#ifdef KORVEL_HOST_PATH
    return KORVEL_HOST_PATH;
#else
    // Built next to korvel-sim.
    return QFileInfo(KORVEL_SIM_PATH).dir().filePath("korvel-host");
#endif
}

struct HostProgram {
    ~HostProgram()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(1000);
    }
    bool WaitOutput(const QRegularExpression& pattern, QRegularExpressionMatch* match = nullptr)
    {
        return WaitUntil([&] {
            out += process.readAllStandardOutput();
            const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(out));
            if (match)
                *match = m;
            return m.hasMatch();
        });
    }
    // Not waitForFinished: that is false for a process that has already finished.
    bool WaitFinished()
    {
        return WaitUntil([&] { return process.state() == QProcess::NotRunning; });
    }
    QProcess process;
    QByteArray out;
};

}  // namespace

TEST(SwitchHostProgram, StartsProgramWithItsArgumentsThenPortAndRouteAsTwoWords)
{
    if (!QFileInfo::exists(HostProgramPath()))
        GTEST_SKIP() << "korvel-host is not built";
    SimModule sim;
    const quint16 modulePort = sim.ListenTcp();
    HostProgram host;
    host.process.start(HostProgramPath(), {"--module", QString("127.0.0.1:%1").arg(modulePort), "--route", "3", "--",
                                           "/bin/sh", "-c", "printf '<%s>\\n' \"$@\"", "sh", "two words", "--x"});
    QRegularExpressionMatch match;
    ASSERT_TRUE(host.WaitOutput(QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)\n(.*\n)*<3>\n"), &match))
        << host.out.toStdString();
    EXPECT_TRUE(host.out.contains("<two words>\n<--x>\n<" + match.captured(1).toLatin1() + ">\n<3>\n"))
        << host.out.toStdString();
    ASSERT_TRUE(host.WaitFinished());
    EXPECT_EQ(host.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.process.exitCode(), 0);
}

TEST(SwitchHostProgram, RelaysASessionAndEndsItsProgramWhenTheUtilityCloses)
{
    if (!QFileInfo::exists(HostProgramPath()))
        GTEST_SKIP() << "korvel-host is not built";
    SimModule sim;
    const quint16 modulePort = sim.ListenTcp();
    HostProgram host;
    host.process.start(HostProgramPath(),
                       {"--module", QString("127.0.0.1:%1").arg(modulePort), "--panel", "3:Ready", "--prompt",
                        "36:Title:Go: now?", "--verbose", "--", "/bin/sleep", "60"});
    QRegularExpressionMatch match;
    ASSERT_TRUE(host.WaitOutput(QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)\n"), &match))
        << host.out.toStdString();

    FakeUtility utility;
    ASSERT_TRUE(utility.Connect(match.captured(1).toUShort()));
    utility.client.write(utility.Announcement());
    const QByteArray asked = "PNLMESSAGE<<>>3<<>>Ready<<>>USERPROMPT<<>>36<<>>Title<<>>Go: now?<<>>";
    EXPECT_TRUE(utility.WaitFromHost(asked)) << utility.fromHost.toStdString();
    utility.client.write("DIALOGRESULT<<>>00007<<>>" + Delimited(Request(kPktGet, 0x00)));
    ASSERT_TRUE(WaitUntil([&] { return !sim.SentRaw().isEmpty(); }));
    EXPECT_TRUE(utility.WaitFromHost(asked + Delimited(sim.SentRaw())));
    EXPECT_TRUE(host.WaitOutput(QRegularExpression(
        "DIALOGRESULT 7 \\(No\\)\nutility> " + Request(kPktGet, 0x00).toHex(' ') + "\nmodule> "
        + sim.SentRaw().toHex(' ') + "\n")))
        << host.out.toStdString();

    // Well before the program's own 60 s.
    utility.client.disconnectFromHost();
    ASSERT_TRUE(host.WaitFinished());
    EXPECT_EQ(host.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.process.exitCode(), 0);
}

TEST(SwitchHostProgram, BadCommandLinesAndAnUnreachableModuleFail)
{
    if (!QFileInfo::exists(HostProgramPath()))
        GTEST_SKIP() << "korvel-host is not built";
    const QString module = QString("127.0.0.1:%1").arg(ClosedPort());
    const QString path = HostProgramPath();
    EXPECT_EQ(QProcess::execute(path, {"--", "/bin/true"}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", module}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", "127.0.0.1", "--", "/bin/true"}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", module, "--route", "256", "--", "/bin/true"}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", module, "--panel", "5:text", "--", "/bin/true"}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", module, "--prompt", "36:no prompt", "--", "/bin/true"}), 2);
    EXPECT_EQ(QProcess::execute(path, {"--module", module, "--", "/bin/true"}), 1);
}

#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "link/transport.h"
#include "platform/iohandler.h"
#include "support/linklayerfixture.h"
#include "support/memoryserialport.h"

#include <QFile>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

// The receive state machine fed from an in-memory serial port and from TCP bytes;
// every frame handed up is recorded.
class ReceiveTest : public LinkLayerFixture {
protected:
    void SetUp() override {
        LinkLayerFixture::SetUp();
        port = OpenMemoryPort();
        ASSERT_NE(port, nullptr);
    }
    static QByteArray Frame(int command, QByteArray data = {}) {
        QByteArray f = Bytes({7 + int(data.size()), 7, 1, 0, 0, PKT_REPLY, command});
        f.append(data);
        unsigned s = 0;
        for (char c : f) s += uint8_t(c);
        f.append(char(255 - (s & 255)));
        return f;
    }
    void ExpireInterByte() {
        for (int i = 0; i < client.settings.InterByteTimeout; ++i) InterByteTick();
    }
    MemorySerialPort* port = nullptr;
};

TEST_F(ReceiveTest, TwoFramesInOneReadAreBothDispatchedInOrder) {
    const QByteArray a = Frame(0x01, Bytes({1, 2})), b = Frame(0x02);
    port->Feed(a + b);
    ASSERT_EQ(dispatched.size(), 2);
    EXPECT_EQ(dispatched[0], a);
    EXPECT_EQ(dispatched[1], b);
    EXPECT_EQ(linkState().RxState, RX_HUNT);
}

TEST_F(ReceiveTest, BadChecksumFrameIsDroppedAndTheNextOneDispatched) {
    QByteArray bad = Frame(0x01, Bytes({9}));
    bad[bad.size() - 1] = char(uint8_t(bad.back()) ^ 0x10);
    const QByteArray good = Frame(0x02);
    port->Feed(bad + good);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], good);
}

// Complete frames still waiting for their handler to return belong to the connection
// they came on: a port opened again drops them, and half a frame with them.
TEST_F(ReceiveTest, APortOpenedAgainForgetsWhatTheOldConnectionLeftQueued) {
    const QByteArray a = Frame(0x01), b = Frame(0x02);
    const auto receiveThenLosePort = [&](const QByteArray& bytes) {
        const IoHandlerScope handler;
        for (char c : bytes) RxStateMachine(uint8_t(c), false);
        // The port closes itself under its handler (the adapter pulled).
        port->Close();
    };
    receiveThenLosePort(a + b.left(3));
    ASSERT_EQ(QueuedJobCount(), 1);
    ASSERT_EQ(OpenCommPort(), 0);
    RunQueuedJobs();
    EXPECT_TRUE(dispatched.isEmpty());
    port->Feed(b);
    EXPECT_EQ(dispatched, QList<QByteArray>({b})) << "the new connection starts at a frame's start";

    receiveThenLosePort(a);
    ASSERT_TRUE(ReopenCommPort());
    RunQueuedJobs();
    EXPECT_EQ(dispatched.size(), 1);

    // A port that is still open is no new connection: its frames are kept.
    {
        const IoHandlerScope handler;
        for (char c : a) RxStateMachine(uint8_t(c), false);
    }
    ASSERT_EQ(OpenCommPort(), 0);
    RunQueuedJobs();
    EXPECT_EQ(dispatched, QList<QByteArray>({b, a}));
}

TEST_F(ReceiveTest, FrameSplitAcrossReadsIsAssembled) {
    const QByteArray f = Frame(0x81, Bytes({10, 20, 30, 40}));
    port->Feed(f.left(1));
    port->Feed(f.mid(1, 5));
    EXPECT_TRUE(dispatched.isEmpty());
    EXPECT_EQ(linkState().RxState, RX_IN_FRAME);
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::InterByte));
    port->Feed(f.mid(6));
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], f);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::InterByte));
}

TEST_F(ReceiveTest, InterByteTimeoutDropsPartialFrameAndNextByteIsALength) {
    const QByteArray f = Frame(0x01, Bytes({5, 6}));
    port->Feed(f.left(4));
    // One tick short of the time-out keeps the frame.
    for (int i = 0; i < client.settings.InterByteTimeout - 1; ++i) InterByteTick();
    EXPECT_EQ(linkState().RxState, RX_IN_FRAME);
    InterByteTick();
    EXPECT_EQ(linkState().RxState, RX_HUNT);
    EXPECT_EQ(linkState().InterByteCount, client.settings.InterByteTimeout);
    // The rest of the lost frame is taken as a new frame and fails; a fresh frame after
    // another pause goes through.
    port->Feed(f.mid(4));
    ExpireInterByte();
    const QByteArray g = Frame(0x02);
    port->Feed(g);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], g);
}

TEST_F(ReceiveTest, ByteArrivingResetsTheInterByteCountdown) {
    const QByteArray f = Frame(0x01, Bytes({5, 6}));
    port->Feed(f.left(2));
    for (int i = 0; i < client.settings.InterByteTimeout - 1; ++i) InterByteTick();
    port->Feed(f.mid(2, 1));
    for (int i = 0; i < client.settings.InterByteTimeout - 1; ++i) InterByteTick();
    port->Feed(f.mid(3));
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(ReceiveTest, LengthZeroEndsWithTheNextByteAndFails) {
    port->Feed(Bytes({0, 255}) + Frame(0x03));
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(uint8_t(dispatched[0][6]), 0x03);
}

TEST_F(ReceiveTest, EightNOneProtocolOpensWithItsSettingsAndReceivesAlike) {
    ResetLinkState();
    client.settings.OneStopBit = true;
    ASSERT_EQ(OpenCommPort(), 0);
    port = LastMemoryPort();
    EXPECT_EQ(port->Settings(), QStringLiteral("9600,N,8,1"));
    const QByteArray f = Frame(0x08, Bytes({1}));
    port->Feed(f);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], f);
}

TEST_F(ReceiveTest, DebugDisplayShowsByteCounts) {
    client.settings.DebugDisplay = true;
    const QByteArray f = Frame(0x01, Bytes({1, 2}));
    port->Feed(f.left(3));
    EXPECT_EQ(host->PanelText(3), QStringLiteral("BYTESRXD= 2"));
    port->Feed(f.mid(3));
    EXPECT_EQ(host->PanelText(3), QStringLiteral("BYTESRXD= %1").arg(f.size() - 1));
    port->Feed(f.left(1));
    EXPECT_EQ(host->PanelText(3), QStringLiteral("BYTECOUNT=%1").arg(uint8_t(f[0])));
}

TEST_F(ReceiveTest, SerialTraceShowsEveryFrameAndChecksumErrors) {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    ASSERT_TRUE(TraceOpenFile(path));
    linkState().TraceOn = true;
    QByteArray bad = Frame(0x01);
    bad[bad.size() - 1] = char(uint8_t(bad.back()) + 1);
    const QByteArray good = Frame(0x02, Bytes({0xAB}));
    port->Feed(bad + good);
    TraceCloseFile();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "RX: " + bad.toHex().toUpper() + "\r\nCHECKSUM ERROR\r\nRX: " +
                                  good.toHex().toUpper() + "\r\n");
}

TEST_F(ReceiveTest, TcpUndoesDoublingSoRunsOf255ArriveIntact) {
    // A frame whose data holds three 255s in a row and whose checksum happens to be 255.
    QByteArray f = Bytes({10, 7, 1, 0, 0, PKT_REPLY, 0xCF, 255, 255, 255});
    unsigned s = 0;
    for (char c : f) s += uint8_t(c);
    f.append(char(255 - (s & 255)));
    QByteArray wire;
    for (char c : f) {
        wire.append(c);
        if (uint8_t(c) == 255) wire.append(c);
    }
    const QByteArray next = Frame(0x02);
    TcpReceiveBytes(wire + next);
    RunQueuedJobs();
    ASSERT_EQ(dispatched.size(), 2);
    EXPECT_EQ(dispatched[0], f);
    EXPECT_EQ(dispatched[1], next);
}

TEST_F(ReceiveTest, TcpChecksum255DoubledAcrossReadsDoesNotStartAFrame) {
    // Find data whose checksum is 255, then split the doubled checksum across two reads.
    QByteArray f = Bytes({8, 7, 1, 0, 0, PKT_REPLY, 0x01, 0});
    unsigned s = 0;
    for (char c : f) s += uint8_t(c);
    f[7] = char((256 - (s & 255)) & 255);  // makes bytes 0..7 sum to 0 mod 256
    f.append(char(255));
    ASSERT_TRUE(FrameChecksumGood(reinterpret_cast<const uint8_t*>(f.constData()), 8));
    TcpReceiveBytes(f);
    RunQueuedJobs();
    TcpReceiveBytes(Bytes({255}));
    RunQueuedJobs();
    const QByteArray next = Frame(0x02);
    TcpReceiveBytes(next);
    RunQueuedJobs();
    ASSERT_EQ(dispatched.size(), 2);
    EXPECT_EQ(dispatched[1], next);
}

TEST_F(ReceiveTest, TcpBadChecksumIsDroppedSilently) {
    QTemporaryDir dir;
    ASSERT_TRUE(TraceOpenFile(dir.filePath("t.txt")));
    linkState().TraceOn = true;
    client.settings.DebugDisplay = true;
    QByteArray bad = Frame(0x01);
    bad[bad.size() - 1] = char(uint8_t(bad.back()) ^ 1);
    TcpReceiveBytes(bad + Frame(0x02));
    RunQueuedJobs();
    TraceCloseFile();
    EXPECT_EQ(dispatched.size(), 1);
    QFile file(dir.filePath("t.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().isEmpty());
    EXPECT_TRUE(host->PanelText(3).isEmpty());
}

TEST_F(ReceiveTest, GoodFrameStopsTheReplyCountdown) {
    host->SetTimerEnabled(LinkTimer::CommIn, true);
    port->Feed(Frame(0x01));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
}

} // namespace

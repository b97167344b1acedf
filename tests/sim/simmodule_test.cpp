#include "simmodule.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace korvel::sim;

namespace {

// Runs the event loop until `done` holds; false if it still does not after the deadline.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Only for making a gap on the line, never as a pass condition.
void RunFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    WaitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A frame as the PC sends it: [L, station, 0, route, id, type, command, data..., cs].
QByteArray Request(int station, int route, int type, int command, const QByteArray& data = {}, int packetId = 0)
{
    return MakeFrame(Bytes({7 + int(data.size()), station, 0, route, packetId, type, command}) + data);
}

QByteArray Answer(int station, int route, int type, int command, const QByteArray& data = {}, int packetId = 0)
{
    return MakeFrame(Bytes({7 + int(data.size()), 0, station, route, packetId, type, command}) + data);
}

QByteArray Undouble(const QByteArray& raw)
{
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        out.append(raw[i]);
        if (quint8(raw[i]) == 0xFF && i + 1 < raw.size() && quint8(raw[i + 1]) == 0xFF)
            ++i;
    }
    return out;
}

QList<QByteArray> SplitFrames(const QByteArray& stream)
{
    QList<QByteArray> frames;
    for (qsizetype at = 0; at < stream.size();) {
        const int size = quint8(stream[at]) + 1;
        if (at + size > stream.size())
            break;
        frames.append(stream.mid(at, size));
        at += size;
    }
    return frames;
}

// The PC end of the TCP link; keeps each read as it came, with its time.
struct TcpPc {
    TcpPc()
    {
        clock.start();
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            chunks.append(socket.readAll());
            times.append(clock.elapsed());
        });
    }
    QByteArray Raw() const { return chunks.join(); }
    QList<QByteArray> Frames() const { return SplitFrames(Undouble(Raw())); }
    bool WaitFrames(int n) { return WaitUntil([&] { return Frames().size() >= n; }); }

    QTcpSocket socket;
    QElapsedTimer clock;
    QList<QByteArray> chunks;
    QList<qint64> times;
};

class SimTcp : public testing::Test {
protected:
    void SetUp() override
    {
        port = sim.ListenTcp();
        ASSERT_NE(port, 0);
        pc.socket.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(WaitUntil([&] { return pc.socket.state() == QAbstractSocket::ConnectedState && sim.ClientConnected(); }));
    }

    SimModule sim;
    TcpPc pc;
    quint16 port = 0;
};

}  // namespace

TEST(SimFrame, ChecksumMakesTheWholeFrameSumTo255)
{
    EXPECT_EQ(MakeFrame(Bytes({7, 5, 0, 3, 0, 0, 0x21})), Bytes({7, 5, 0, 3, 0, 0, 0x21, 0xCF}));
    // Sums that wrap to 0 and to 255 give the two extreme checksums.
    EXPECT_EQ(quint8(MakeFrame(Bytes({7, 0xFF, 1, 0, 0, 0, 0xF9})).back()), 0xFF);
    EXPECT_EQ(quint8(MakeFrame(Bytes({7, 0xFF, 1, 0, 0, 0, 0xF8})).back()), 0x00);

    const QByteArray good = Request(5, 3, kPktGet, 0x21, Bytes({0xFF, 0x00}));
    EXPECT_TRUE(ChecksumGood(good));
    for (qsizetype i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x10);
        EXPECT_FALSE(ChecksumGood(bad)) << "byte " << i;
    }
    // A trailing zero keeps the sum; only the length catches it.
    EXPECT_FALSE(ChecksumGood(good + char(0)));
    EXPECT_FALSE(ChecksumGood(QByteArray()));
}

TEST_F(SimTcp, GetIsRepliedAndSetIsAckedEchoingStationRouteAndPacketId)
{
    sim.SetReplyData(0x21, Bytes({1, 2, 3}));
    pc.socket.write(Request(5, 3, kPktGet, 0x21, {}, 9) + Request(0, 0, kPktGet, 0x00) + Request(2, 3, kPktGet, 0x44)
                    + Request(7, 0, kPktSet, 0x81, Bytes({0xAA, 0xBB})));
    ASSERT_TRUE(pc.WaitFrames(4));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(5, 3, kPktReply, 0x21, Bytes({1, 2, 3}), 9),
                                              Answer(0, 0, kPktReply, 0x00, DefaultModuleInfo()),
                                              Answer(2, 3, kPktReply, 0x44, Bytes({0})),
                                              Answer(7, 0, kPktAck, 0x81)}));
    EXPECT_EQ(DefaultModuleInfo().size(), 8);
    EXPECT_EQ(sim.ReceivedCount(), 4);
}

TEST_F(SimTcp, EventAckBadChecksumAndOtherTypesAreRecordedButNotAnswered)
{
    QByteArray badChecksum = Request(4, 3, kPktGet, 0x01);
    badChecksum.back() = char(badChecksum.back() + 1);
    const QByteArray eventAck = MakeFrame(Bytes({6, 4, 0, 3, 0, kPktAck}));
    const QList<QByteArray> sent = {eventAck, badChecksum, Request(4, 3, kPktReply, 0x01), Request(4, 3, kPktGet, 0x02)};
    // Noise below the shortest Length byte is skipped while hunting.
    pc.socket.write(Bytes({0x00, 0x05}) + sent.join());
    ASSERT_TRUE(pc.WaitFrames(1));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 4; }));
    EXPECT_EQ(sim.Received(), sent);
    // Answers go out in order, so the first one back proves the others got none.
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(4, 3, kPktReply, 0x02, Bytes({0}))}));
}

TEST_F(SimTcp, Every255SentIsDoubledButThePcsAreNot)
{
    sim.SetReplyData(0x21, Bytes({0xFF, 0xFF, 0x10}));
    // L = 255 with a checksum of 255: the first and last bytes double too.
    QByteArray longData(kMaxData, 0);
    longData.back() = char(256 - (255 + 1 + kPktReply + 0x30) % 256);
    sim.SetReplyData(0x30, longData);
    ASSERT_EQ(quint8(Answer(1, 0, kPktReply, 0x30, longData).back()), 0xFF);

    pc.socket.write(Request(1, 0, kPktGet, 0x21) + Request(1, 0, kPktGet, 0x30) + Request(1, 0, kPktSet, 0x81, Bytes({0xFF})));
    ASSERT_TRUE(pc.WaitFrames(3));
    const QByteArray first = Answer(1, 0, kPktReply, 0x21, Bytes({0xFF, 0xFF, 0x10}));
    const QByteArray second = Answer(1, 0, kPktReply, 0x30, longData);
    EXPECT_EQ(pc.Raw().left(first.size() + 2), first.left(7) + Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x10}) + first.right(1));
    EXPECT_EQ(pc.Raw().mid(first.size() + 2, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(pc.Raw().size(), first.size() + 2 + second.size() + 2 + 8);
    EXPECT_EQ(pc.Frames().value(1), second);
    EXPECT_EQ(pc.Frames().value(2), Answer(1, 0, kPktAck, 0x81));
    EXPECT_EQ(sim.Received().value(2), Request(1, 0, kPktSet, 0x81, Bytes({0xFF})));
}

TEST_F(SimTcp, RefusalFaultsReplaceTheAnswerForCountAnswersThenStop)
{
    sim.SetFault(Fault::Nack, 2);
    pc.socket.write(Request(3, 3, kPktGet, 0x10) + Request(3, 3, kPktSet, 0x11) + Request(3, 3, kPktGet, 0x12));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(3, 3, kPktNack, 0x10), Answer(3, 3, kPktNack, 0x11),
                                              Answer(3, 3, kPktReply, 0x12, Bytes({0}))}));
    EXPECT_EQ(sim.CurrentFault(), Fault::None);

    // A silenced answer still uses up the count.
    pc.chunks.clear();
    sim.SetFault(Fault::Silent, 1);
    pc.socket.write(Request(3, 0, kPktGet, 0x20) + Request(3, 0, kPktGet, 0x21));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(3, 0, kPktReply, 0x21, Bytes({0}))}));

    // -1 lasts until changed.
    pc.chunks.clear();
    sim.SetFault(Fault::Resend);
    pc.socket.write(Request(3, 0, kPktSet, 0x30) + Request(3, 0, kPktGet, 0x31) + Request(3, 0, kPktGet, 0x32));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(3, 0, kPktResend, 0x30), Answer(3, 0, kPktResend, 0x31),
                                              Answer(3, 0, kPktResend, 0x32)}));
    EXPECT_EQ(sim.CurrentFault(), Fault::Resend);
}

TEST_F(SimTcp, BadChecksumAndBackToBackAlterOnlyWhatTheySay)
{
    const QByteArray good = Answer(6, 3, kPktReply, 0x08, Bytes({0}));
    sim.SetFault(Fault::BadChecksum, 1);
    pc.socket.write(Request(6, 3, kPktGet, 0x08));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames().value(0), good.left(good.size() - 1) + char(good.back() ^ 0x55));

    pc.chunks.clear();
    sim.SetFault(Fault::BackToBack, 2);
    pc.socket.write(Request(6, 3, kPktGet, 0x08));
    ASSERT_TRUE(pc.WaitFrames(2));
    ASSERT_EQ(pc.chunks.size(), 1);  // both frames in one write
    EXPECT_EQ(pc.chunks[0], Answer(6, 3, kPktReply, 0x08, Bytes({kBackToBackData})) + good);

    pc.chunks.clear();
    const QByteArray event = Bytes({8, 0, 6, 0, 0, kPktEvent, 0x40, 0x01});
    sim.SetBackToBackFrame(event);
    pc.socket.write(Request(6, 3, kPktSet, 0x81));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.chunks.value(0), MakeFrame(event) + Answer(6, 3, kPktAck, 0x81));
}

TEST_F(SimTcp, SplitAndPauseWriteTheAnswerInTwoPartsWithTheirGaps)
{
    const QByteArray answer = Answer(2, 3, kPktReply, 0x07, Bytes({1, 2, 3, 4, 5}));
    sim.SetReplyData(0x07, Bytes({1, 2, 3, 4, 5}));
    sim.SetFault(Fault::Split, 1);
    pc.socket.write(Request(2, 3, kPktGet, 0x07));
    ASSERT_TRUE(pc.WaitFrames(1));
    ASSERT_EQ(pc.chunks.size(), 2);
    EXPECT_EQ(pc.chunks[0], answer.left(answer.size() / 2));
    EXPECT_GE(pc.times[1] - pc.times[0], 10);
    EXPECT_LT(pc.times[1] - pc.times[0], 400);

    // An event sent during the pause waits behind the rest of the answer.
    pc.chunks.clear();
    pc.times.clear();
    sim.SetPauseMs(300);
    sim.SetFault(Fault::PauseMidFrame, 1);
    pc.socket.write(Request(2, 3, kPktGet, 0x07));
    ASSERT_TRUE(WaitUntil([&] { return !pc.chunks.isEmpty(); }));
    EXPECT_EQ(pc.chunks[0], answer.left(answer.size() / 2));
    sim.SendEvent(9, 0x40, Bytes({0x01}));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_GE(pc.times[1] - pc.times[0], 280);
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({answer, Answer(9, 0, kPktEvent, 0x40, Bytes({0x01}))}));
}

TEST_F(SimTcp, ReplyDelayHoldsTheAnswer)
{
    sim.SetReplyDelayMs(250);
    const qint64 sent = pc.clock.elapsed();
    pc.socket.write(Request(1, 0, kPktGet, 0x10));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_GE(pc.times[0] - sent, 240);
}

TEST_F(SimTcp, PartialFrameIsKeptAcrossShortGapsAndDroppedAfterLongOnes)
{
    const QByteArray first = Request(1, 3, kPktGet, 0x01), second = Request(1, 3, kPktGet, 0x02);
    pc.socket.write(first.left(4));
    RunFor(150);
    pc.socket.write(first.mid(4));
    ASSERT_TRUE(pc.WaitFrames(1));

    pc.socket.write(second.left(4));
    RunFor(kInterByteGapMs + 150);
    pc.socket.write(second);
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({first, second}));
    EXPECT_EQ(pc.Frames().value(1), Answer(1, 3, kPktReply, 0x02, Bytes({0})));
}

TEST_F(SimTcp, NewClientReplacesTheOldOneAndCloseDropsIt)
{
    TcpPc second;
    second.socket.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return pc.socket.state() == QAbstractSocket::UnconnectedState; }));
    second.socket.write(Request(1, 0, kPktGet, 0x00));
    ASSERT_TRUE(second.WaitFrames(1));

    sim.Close();
    EXPECT_FALSE(sim.ClientConnected());
    EXPECT_EQ(sim.TcpPort(), 0);
    EXPECT_TRUE(WaitUntil([&] { return second.socket.state() == QAbstractSocket::UnconnectedState; }));
}

TEST(SimPty, RoundTripIsNotDoubledAndSurvivesTheUtilityReopening)
{
    SimModule sim;
    const QString path = sim.OpenPty();
    ASSERT_TRUE(path.startsWith("/dev/pts/")) << path.toStdString();
    sim.SetReplyData(0x21, Bytes({0xFF, 0x01}));

    for (int round = 0; round < 2; ++round) {
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        const QByteArray request = Request(3, 3, kPktGet, 0x21, {}, round);
        ASSERT_EQ(::write(fd, request.constData(), request.size()), request.size());
        const QByteArray expected = Answer(3, 3, kPktReply, 0x21, Bytes({0xFF, 0x01}), round);
        QByteArray got;
        EXPECT_TRUE(WaitUntil([&] {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            return got.size() >= expected.size();
        }));
        EXPECT_EQ(got, expected);
        ::close(fd);
    }
    EXPECT_EQ(sim.ReceivedCount(), 2);
}

TEST(SimProgram, PrintsItsEndpointsAndAnswers)
{
    QProcess program;
    program.start(KORVEL_SIM_PATH, {"--port", "0", "--pty", "--verbose"});
    QByteArray out;
    const QRegularExpression endpoints("listening on 127\\.0\\.0\\.1:(\\d+)\npty /dev/pts/\\d+\n");
    QRegularExpressionMatch match;
    ASSERT_TRUE(WaitUntil([&] {
        out += program.readAllStandardOutput();
        match = endpoints.match(QString::fromLatin1(out));
        return match.hasMatch();
    })) << out.toStdString();

    TcpPc pc;
    pc.socket.connectToHost(QHostAddress::LocalHost, match.captured(1).toUShort());
    pc.socket.write(Request(1, 0, kPktGet, 0x00));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames().value(0), Answer(1, 0, kPktReply, 0x00, DefaultModuleInfo()));
    EXPECT_TRUE(WaitUntil([&] {
        out += program.readAllStandardOutput();
        return out.contains("rx " + Request(1, 0, kPktGet, 0x00).toHex(' ') + "\n");
    }));
    program.kill();
    program.waitForFinished(2000);
}

#include "simtestutil.h"
#include "simmodule.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {


// Only for making a gap on the line, never as a pass condition.
void RunFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    WaitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
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
            timesNs.append(clock.nsecsElapsed());
        });
    }
    // When the first n frames had all arrived, in ns on `clock`; -1 if they have not.
    qint64 FramesCompleteNs(int n) const
    {
        QByteArray raw;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            raw += chunks[i];
            if (SplitFrames(Undouble(raw)).size() >= n)
                return timesNs.value(i, -1);
        }
        return -1;
    }
    QByteArray Raw() const { return chunks.join(); }
    QList<QByteArray> Frames() const { return SplitFrames(Undouble(Raw())); }
    bool WaitFrames(int n) { return WaitUntil([&] { return Frames().size() >= n; }); }

    QTcpSocket socket;
    QElapsedTimer clock;
    QList<QByteArray> chunks;
    QList<qint64> times;
    QList<qint64> timesNs;
};

// The utility's end of the serial line: a QSerialPort on the sim's port name.
struct SerialPc {
    SerialPc()
    {
        QObject::connect(&port, &QSerialPort::readyRead, [this] { raw += port.readAll(); });
        QObject::connect(&port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || !port.isOpen())
                return;
            errors.append(e);
            // On a hung-up line Qt repeats the error on every pass of the event
            // loop while the port stays open. Close it, as the utility has to, but
            // not from inside the port's own notification.
            QMetaObject::invokeMethod(
                &port, [this] { if (port.isOpen()) port.close(); }, Qt::QueuedConnection);
        });
    }
    ~SerialPc() { QObject::disconnect(&port, nullptr, nullptr, nullptr); }
    bool Open(const QString& path)
    {
        port.setPortName(path);
        return port.open(QIODevice::ReadWrite);
    }
    QList<QByteArray> Frames() const { return SplitFrames(raw); }
    bool WaitFrames(int n) { return WaitUntil([&] { return Frames().size() >= n; }); }

    QByteArray raw;
    QList<QSerialPort::SerialPortError> errors;
    QSerialPort port;  // last: gone before what its slots use
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

// The text of a string field as the utility writes one: printable characters
// without a trailing space, a NUL, zeros to the end of the field. Nothing when
// the field breaks any of that.
std::optional<QByteArray> FieldText(const QByteArray& data7, int frameByte, int width)
{
    const QByteArray field = data7.mid(frameByte - 7, width);
    const qsizetype nul = field.indexOf('\0');
    if (field.size() != width || nul < 0 || field.mid(nul).count('\0') != width - nul)
        return std::nullopt;
    const QByteArray text = field.left(nul);
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return std::nullopt;
    }
    if (text.endsWith(' '))
        return std::nullopt;
    return text;
}

quint8 At(const QByteArray& data7, int frameByte)
{
    return quint8(data7.at(frameByte - 7));
}

// Starts korvel-sim with arguments; the TCP port it listens on, 0 when it never says.
quint16 StartSimProgram(QProcess& program, const QStringList& arguments)
{
    program.start(KORVEL_SIM_PATH, arguments);
    QByteArray out;
    const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)\n");
    QRegularExpressionMatch match;
    if (!WaitUntil([&] {
            out += program.readAllStandardOutput();
            match = listening.match(QString::fromLatin1(out));
            return match.hasMatch();
        }))
        return 0;
    return match.captured(1).toUShort();
}

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
    // Taken before the SET below changes the debug flags it reports.
    const QByteArray moduleInfo = sim.ModuleInfo();
    pc.socket.write(Request(5, 3, kPktGet, 0x21, {}, 9) + Request(0, 0, kPktGet, 0x00) + Request(2, 3, kPktGet, 0x44)
                    + Request(7, 0, kPktSet, 0xCD, Bytes({0xAA, 0xBB}), 4));
    ASSERT_TRUE(pc.WaitFrames(4));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(5, 3, kPktReply, 0x21, Bytes({1, 2, 3}), 9),
                                              Answer(0, 0, kPktReply, 0x00, moduleInfo),
                                              Answer(2, 3, kPktReply, 0x44, Bytes({0})),
                                              Answer(7, 0, kPktAck, 0xCD, {}, 4)}));
    EXPECT_EQ(sim.ModuleInfo().size(), 7);
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

    pc.socket.write(Request(1, 0, kPktGet, 0x21) + Request(1, 0, kPktGet, 0x30) + Request(1, 0, kPktSet, 0xCA, Bytes({0xFF})));
    ASSERT_TRUE(pc.WaitFrames(3));
    const QByteArray first = Answer(1, 0, kPktReply, 0x21, Bytes({0xFF, 0xFF, 0x10}));
    const QByteArray second = Answer(1, 0, kPktReply, 0x30, longData);
    EXPECT_EQ(pc.Raw().left(first.size() + 2), first.left(7) + Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x10}) + first.right(1));
    EXPECT_EQ(pc.Raw().mid(first.size() + 2, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(pc.Raw().size(), first.size() + 2 + second.size() + 2 + 8);
    EXPECT_EQ(pc.Frames().value(1), second);
    EXPECT_EQ(pc.Frames().value(2), Answer(1, 0, kPktAck, 0xCA));
    EXPECT_EQ(sim.Received().value(2), Request(1, 0, kPktSet, 0xCA, Bytes({0xFF})));
}

TEST_F(SimTcp, RefusalFaultsReplaceTheAnswerForCountAnswersThenStop)
{
    sim.SetFault(Fault::Nack, 2);
    pc.socket.write(Request(3, 3, kPktGet, 0x10) + Request(3, 3, kPktSet, 0x41) + Request(3, 3, kPktGet, 0x42));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(3, 3, kPktNack, 0x10), Answer(3, 3, kPktNack, 0x41),
                                              Answer(3, 3, kPktReply, 0x42, Bytes({0}))}));
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
    pc.socket.write(Request(6, 3, kPktSet, 0xD3));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.chunks.value(0), MakeFrame(event) + Answer(6, 3, kPktAck, 0xD3));
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
    int taken = 0;
    QObject::connect(&sim, &SimModule::clientConnected, &sim, [&] {
        ++taken;
        EXPECT_FALSE(sim.TcpStartTextReceived()) << "told before anything of the new client is read";
    });
    TcpPc second;
    second.socket.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return pc.socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(taken, 1);
    second.socket.write(Request(1, 0, kPktGet, 0x00));
    ASSERT_TRUE(second.WaitFrames(1));

    sim.Close();
    EXPECT_FALSE(sim.ClientConnected());
    EXPECT_EQ(sim.TcpPort(), 0);
    EXPECT_TRUE(WaitUntil([&] { return second.socket.state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(SimTcp, DropClientKeepsTheListenerAndTheNextConnectionStartsAfresh)
{
    const QByteArray text(kTcpStartText, kTcpStartTextSize);
    pc.socket.write(text + Request(0, 0, kPktGet, 0x10));
    ASSERT_TRUE(pc.WaitFrames(1));
    ASSERT_TRUE(sim.TcpStartTextReceived());

    // An answer still held back belongs to the dropped connection only.
    sim.SetReplyDelayMs(200);
    pc.socket.write(Request(0, 0, kPktGet, 0x41));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 2; }));
    sim.DropClient();
    EXPECT_FALSE(sim.ClientConnected());
    EXPECT_EQ(sim.TcpPort(), port);
    EXPECT_TRUE(WaitUntil([&] { return pc.socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(pc.Frames().size(), 1);

    TcpPc again;
    again.socket.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return sim.ClientConnected(); }));
    EXPECT_FALSE(sim.TcpStartTextReceived());
    again.socket.write(text + Request(0, 0, kPktGet, 0x42));
    ASSERT_TRUE(again.WaitFrames(1));
    // The dropped answer was due first: had it survived, it would lead.
    EXPECT_EQ(again.Frames(), QList<QByteArray>({Answer(0, 0, kPktReply, 0x42, Bytes({0}))}));
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(sim.Received().value(2), Request(0, 0, kPktGet, 0x42));
}

TEST_F(SimTcp, CloseThenListenOnTheSamePortIsAModuleThatCameBack)
{
    sim.SetKorvel(5);
    sim.Close();
    ASSERT_TRUE(WaitUntil([&] { return pc.socket.state() == QAbstractSocket::UnconnectedState; }));
    TcpPc meanwhile;
    meanwhile.socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(WaitUntil([&] { return meanwhile.socket.error() == QAbstractSocket::ConnectionRefusedError; }));

    ASSERT_EQ(sim.ListenTcp(port), port);
    TcpPc back;
    back.socket.connectToHost(QHostAddress::LocalHost, port);
    back.socket.write(Request(0, 0, kPktGet, 0x00));
    ASSERT_TRUE(back.WaitFrames(1));
    EXPECT_EQ(back.Frames()[0], Answer(0, 0, kPktReply, 0x00, sim.ModuleInfo()));
    EXPECT_EQ(sim.Children(), 5);
}

TEST_F(SimTcp, GoSilentAfterAnswersThatManyGoodFramesThenNoneUntilOff)
{
    QByteArray badChecksum = Request(0, 0, kPktGet, 0x01);
    badChecksum.back() = char(badChecksum.back() + 1);
    const QByteArray poll = Request(0, 0, kPktGet, kCmdChannelClear);
    const QByteArray eventAck = MakeFrame(Bytes({6, 0, 0, 0, 0, kPktAck}));
    const QByteArray busy = Answer(0, 0, kPktReply, kCmdChannelClear, Bytes({kChannelBusy}));
    sim.SetChannelBusyPolls(2);

    // A bad checksum is not counted; a poll and an event acknowledgement are.
    sim.GoSilentAfter(3);
    EXPECT_FALSE(sim.Silent());
    pc.socket.write(badChecksum + poll + eventAck + Request(0, 0, kPktGet, 0x02));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_TRUE(sim.Silent());

    // Silent: recorded, but nothing is stored and the poll uses no busy report.
    QByteArray outputs = sim.BlockData(kBlockOutputs, 1);
    const QByteArray before = outputs;
    outputs[1] = char(outputs[1] ^ 0x5A);
    const QList<QByteArray> unheard = {Request(0, 0, kPktSet, kBlockOutputs, outputs), poll, Request(0, 0, kPktGet, 0x03)};
    pc.socket.write(unheard.join());
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 7; }));
    EXPECT_EQ(sim.Received().mid(4), unheard);
    EXPECT_TRUE(sim.BlockWrites().isEmpty());
    EXPECT_EQ(sim.BlockData(kBlockOutputs, 1), before);
    EXPECT_EQ(sim.ChannelPolls(), 1);

    sim.GoSilentAfter(-1);
    EXPECT_FALSE(sim.Silent());
    pc.socket.write(poll);
    ASSERT_TRUE(pc.WaitFrames(3));
    // Answers keep their order, so the third one back being this poll's shows
    // the silent frames got none.
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({busy, Answer(0, 0, kPktReply, 0x02, Bytes({0})), busy}));
    EXPECT_EQ(sim.ChannelPolls(), 2);
}

TEST_F(SimTcp, ABoundedSilenceEndsOnItsOwnAndSaysSo)
{
    sim.SetSilenceMs(300);
    int endings = 0;
    QObject::connect(&sim, &SimModule::answeringAgain, &sim, [&] { ++endings; });
    sim.GoSilentAfter(1);
    pc.socket.write(Request(0, 0, kPktGet, 0x41));
    ASSERT_TRUE(pc.WaitFrames(1));
    // The count ran out with that answer: the silence is timed from then, not from the
    // next frame, and nothing is answered until it has passed.
    QElapsedTimer silent;
    silent.start();
    EXPECT_TRUE(sim.Silent());
    pc.socket.write(Request(0, 0, kPktGet, 0x42));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return !sim.Silent(); }, 3000));
    EXPECT_GE(silent.elapsed(), 250);
    EXPECT_EQ(endings, 1);
    pc.socket.write(Request(0, 0, kPktGet, 0x43));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.Frames()[1], Answer(0, 0, kPktReply, 0x43, Bytes({0}))) << "0x42 was never answered";

    // Set while silent, it counts from then; a new count forgets a silence under way.
    sim.GoSilentAfter(0);
    sim.SetSilenceMs(200);
    ASSERT_TRUE(WaitUntil([&] { return !sim.Silent(); }, 3000));
    EXPECT_EQ(endings, 2);
    sim.GoSilentAfter(0);
    sim.GoSilentAfter(5);
    sim.SetSilenceMs(500);
    silent.restart();
    sim.GoSilentAfter(0);
    ASSERT_TRUE(WaitUntil([&] { return !sim.Silent(); }, 3000));
    EXPECT_GE(silent.elapsed(), 450) << "the silence called off did not end this one early";
    EXPECT_EQ(endings, 3);
}

TEST_F(SimTcp, SilenceWinsOverAFaultWhichWaitsForTheModuleToSpeakAgain)
{
    sim.SetFault(Fault::Nack, 1);
    sim.GoSilentAfter(0);
    EXPECT_TRUE(sim.Silent());
    pc.socket.write(Request(0, 0, kPktGet, 0x10));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 1; }));
    EXPECT_EQ(sim.CurrentFault(), Fault::Nack);

    // Silenced from a slot, the frame in hand already goes unanswered.
    sim.GoSilentAfter(-1);
    int seen = 0;
    QObject::connect(&sim, &SimModule::frameReceived, &sim, [&] {
        if (++seen == 2)
            sim.GoSilentAfter(0);
    });
    pc.socket.write(Request(0, 0, kPktGet, 0x41) + Request(0, 0, kPktGet, 0x42));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 3; }));
    sim.GoSilentAfter(-1);
    pc.socket.write(Request(0, 0, kPktGet, 0x43));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktNack, 0x41), Answer(0, 0, kPktReply, 0x43, Bytes({0}))}));
}

TEST(SimConfig, CanonicalDataIsVariedAndZeroWhereTheUtilityCarriesNothing)
{
    for (Target target : {Target::Korvel, Target::Pellar}) {
        const bool pellar = target == Target::Pellar;
        SCOPED_TRACE(pellar ? "Pellar" : "Korvel");
        const QHash<BlockKey, QByteArray> blocks = CanonicalConfig(target);
        EXPECT_EQ(blocks, CanonicalConfig(target));
        ASSERT_EQ(blocks.size(), 3 + 3 * 8 + 5);
        for (auto it = blocks.cbegin(); it != blocks.cend(); ++it) {
            const auto [code, index] = it.key();
            SCOPED_TRACE(testing::Message() << "block " << std::hex << code << " " << index);
            ASSERT_EQ(it->size() + 7, BlockLength(code, index));
            if (code != kBlockNmea) {
                EXPECT_EQ(At(*it, 7), index);
            }
            // Factory defaults and cleared blocks are mostly one value; these are not.
            QSet<char> values(it->cbegin(), it->cend());
            EXPECT_GE(values.size(), it->size() / 4);
        }
        EXPECT_NE(blocks.value(BlockKey(kBlockInputs, 0)), blocks.value(BlockKey(kBlockInputs, 1)));

        // Analog layouts: on a Korvel the bits that do not travel are zero; on a
        // Pellar the same bits carry the offset and modifier and must be in use.
        quint32 lowHigh = 0, highHigh = 0, qualifierLow = 0, offsetLow = 0;
        bool negativeOffset = false;
        for (int g = 0; g < 8; ++g) {
            const QByteArray& a = blocks[{kBlockAnalogs, g}];
            for (int s = 0; s < 8; ++s) {
                lowHigh |= At(a, 17 + 2 * s) & 0xFC;
                highHigh |= At(a, 89 + 2 * s) & 0xFC;
                qualifierLow |= At(a, 160 + s) & 0x0F;
                offsetLow |= At(a, 168 + s) & 0x03;
                negativeOffset |= (pellar ? At(a, 17 + 2 * s) : At(a, 168 + s)) / 4 > 32;
            }
        }
        EXPECT_EQ(lowHigh != 0, pellar);
        EXPECT_EQ(highHigh != 0, pellar);
        EXPECT_EQ(qualifierLow != 0, pellar);
        EXPECT_EQ(offsetLow != 0, pellar);
        EXPECT_TRUE(negativeOffset);

        // A write to a Pellar clears the local output delays, so they hold 0 there only.
        int delays = 0;
        for (int g = 0; g < 8; ++g) {
            for (int s = 0; s < 8; ++s)
                delays += At(blocks[{kBlockInputs, g}], 24 + s) != 0;
        }
        EXPECT_EQ(delays == 0, pellar);

        const QByteArray& temps = blocks[{kBlockTemps, 0}];
        for (int s = 0; s < 8; ++s) {
            EXPECT_EQ(At(temps, 17 + 2 * s) & 0xFC, 0);
            EXPECT_EQ(At(temps, 89 + 2 * s) & 0xFC, 0);
        }

        // 16-bit radio values stay positive but use their high byte.
        const QByteArray& radios = blocks[{kBlockFleetSync, 0}];
        bool highByteUsed = false;
        for (int hi = 13; hi <= 103; hi += 2) {
            EXPECT_LT(At(radios, hi), 128) << hi;
            highByteUsed |= At(radios, hi) != 0;
        }
        EXPECT_TRUE(highByteUsed);
        EXPECT_EQ(At(radios, 104), 0);
        EXPECT_EQ(At(radios, 105), 0);

        QList<QByteArray> tags;
        for (int sub = 1; sub <= 4; ++sub) {
            const QByteArray& list = blocks[{kBlockFleetSync, sub}];
            for (int k = 0; k < 8; ++k) {
                const std::optional<QByteArray> tag = FieldText(list, 8 + 21 * k, 21);
                ASSERT_TRUE(tag.has_value()) << sub << " " << k;
                EXPECT_LE(tag->size(), 20);
                tags.append(*tag);
            }
            EXPECT_EQ(At(list, 176), 0);
            EXPECT_EQ(At(list, 177), 0);
        }
        EXPECT_TRUE(std::any_of(tags.cbegin(), tags.cend(), [](const QByteArray& t) { return t.isEmpty(); }));
        EXPECT_TRUE(std::any_of(tags.cbegin(), tags.cend(), [](const QByteArray& t) { return t.size() == 20; }));
        EXPECT_TRUE(std::any_of(tags.cbegin(), tags.cend(), [](const QByteArray& t) { return t.startsWith(' '); }));

        const QByteArray& nmea = blocks[{kBlockNmea, 0}];
        const std::optional<QByteArray> init1 = FieldText(nmea, 12, 41), init2 = FieldText(nmea, 53, 41),
                                        custom = FieldText(nmea, 94, 13);
        ASSERT_TRUE(init1 && init2 && custom);
        EXPECT_EQ(init1->size(), 40);
        EXPECT_FALSE(init2->isEmpty());
        EXPECT_EQ(custom->size(), 12);
    }
}

TEST_F(SimTcp, BlockSetIsStoredAndTheNextGetReturnsItToTheRequester)
{
    const QHash<BlockKey, QByteArray> canonical = CanonicalConfig(Target::Korvel);
    ASSERT_EQ(sim.Blocks(), canonical);
    QByteArray analog = sim.BlockData(kBlockAnalogs, 3);
    analog[1] = char(analog[1] ^ 0x5A);
    analog.back() = char(analog.back() ^ 0x01);
    QByteArray nmea = sim.BlockData(kBlockNmea, 0);
    nmea[0] = char(0x99);
    nmea.back() = 'X';  // no NUL: the module stores what comes

    pc.socket.write(Request(0, 0, kPktSet, kBlockAnalogs, analog, 7)
                    + Request(0, 0, kPktGet, kBlockAnalogs, Bytes({3}), 8)
                    + Request(0, 0, kPktGet, kBlockAnalogs, Bytes({4}))
                    + Request(0, 0, kPktGet, kBlockNmea, Bytes({5}))
                    + Request(0, 0, kPktSet, kBlockNmea, nmea, 2)
                    + Request(0, 0, kPktGet, kBlockNmea)
                    // The system block exists once and answers with the index asked for.
                    + Request(0, 0, kPktGet, kBlockSystem, Bytes({4}))
                    // From another station: the reply goes back to it.
                    + MakeFrame(Bytes({8, 5, 9, 3, 6, kPktGet, kBlockOutputs, 1})));
    ASSERT_TRUE(pc.WaitFrames(8));
    QByteArray system = canonical[{kBlockSystem, 0}];
    system[0] = 4;
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({
                               Answer(0, 0, kPktAck, kBlockAnalogs, {}, 7),
                               Answer(0, 0, kPktReply, kBlockAnalogs, analog, 8),
                               Answer(0, 0, kPktReply, kBlockAnalogs, canonical[{kBlockAnalogs, 4}]),
                               Answer(0, 0, kPktReply, kBlockNmea, canonical[{kBlockNmea, 0}]),
                               Answer(0, 0, kPktAck, kBlockNmea, {}, 2),
                               Answer(0, 0, kPktReply, kBlockNmea, nmea),
                               Answer(0, 0, kPktReply, kBlockSystem, system),
                               MakeFrame(Bytes({7 + 19, 9, 5, 3, 6, kPktReply, kBlockOutputs})
                                         + canonical[{kBlockOutputs, 1}]),
                           }));
    EXPECT_EQ(sim.BlockWrites(), QList<BlockKey>({{kBlockAnalogs, 3}, {kBlockNmea, 0}}));
    QHash<BlockKey, QByteArray> expected = canonical;
    expected[{kBlockAnalogs, 3}] = analog;
    expected[{kBlockNmea, 0}] = nmea;
    EXPECT_EQ(sim.Blocks(), expected);
}

TEST_F(SimTcp, RefusedOrWrongLengthSetStoresNothing)
{
    const QByteArray outputs = sim.BlockData(kBlockOutputs, 1);
    QByteArray tags = sim.BlockData(kBlockFleetSync, 2);
    QByteArray strayOutputs = outputs;
    strayOutputs[0] = 8;  // a group the block has no room for
    sim.SetNackCommand(kBlockOutputs);
    pc.socket.write(Request(0, 0, kPktSet, kBlockInputs, sim.BlockData(kBlockInputs, 1).chopped(1))
                    + Request(0, 0, kPktSet, kBlockFleetSync, tags.left(106 - 7))  // sub-block 0's length
                    + Request(0, 0, kPktSet, kBlockAnalogs)
                    + Request(0, 0, kPktSet, kBlockNmea, sim.BlockData(kBlockNmea, 0) + char(0))
                    + Request(0, 0, kPktSet, kBlockOutputs, outputs, 3)
                    + Request(0, 0, kPktGet, kBlockOutputs, Bytes({1})));
    ASSERT_TRUE(pc.WaitFrames(6));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktNack, kBlockInputs),
                                              Answer(0, 0, kPktNack, kBlockFleetSync),
                                              Answer(0, 0, kPktNack, kBlockAnalogs),
                                              Answer(0, 0, kPktNack, kBlockNmea),
                                              Answer(0, 0, kPktNack, kBlockOutputs, {}, 3),
                                              Answer(0, 0, kPktNack, kBlockOutputs)}));

    // Cleared, the command works again; a refusal fault or a bad index still stores nothing.
    pc.chunks.clear();
    sim.SetNackCommand(-1);
    sim.SetFault(Fault::Nack, 1);
    tags[1] = 'Q';
    pc.socket.write(Request(0, 0, kPktSet, kBlockFleetSync, tags) + Request(0, 0, kPktSet, kBlockOutputs, strayOutputs)
                    + Request(0, 0, kPktGet, kBlockOutputs, Bytes({8})));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktNack, kBlockFleetSync),
                                              Answer(0, 0, kPktNack, kBlockOutputs),
                                              Answer(0, 0, kPktNack, kBlockOutputs)}));
    EXPECT_TRUE(sim.BlockWrites().isEmpty());
    EXPECT_EQ(sim.Blocks(), CanonicalConfig(Target::Korvel));

    pc.chunks.clear();
    pc.socket.write(Request(0, 0, kPktSet, kBlockFleetSync, tags));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames().value(0), Answer(0, 0, kPktAck, kBlockFleetSync));
    EXPECT_EQ(sim.BlockData(kBlockFleetSync, 2), tags);

    // Refused a number of times only: the one after them is taken.
    pc.chunks.clear();
    sim.SetNackCommand(kBlockFleetSync, 2);
    pc.socket.write(Request(0, 0, kPktSet, kBlockFleetSync, tags).repeated(3));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktNack, kBlockFleetSync),
                                              Answer(0, 0, kPktNack, kBlockFleetSync),
                                              Answer(0, 0, kPktAck, kBlockFleetSync)}));
}

TEST_F(SimTcp, IdentityAndChildRepliesFollowTheTarget)
{
    auto ask = [&](QList<QByteArray> requests) {
        pc.chunks.clear();
        pc.socket.write(requests.join());
        EXPECT_TRUE(pc.WaitFrames(int(requests.size())));
        return pc.Frames();
    };
    const QByteArray moduleInfo = Request(0, 0, kPktGet, 0x00, Bytes({2}));
    const QByteArray deviceType = Request(0, 0, kPktGet, 0x7E);
    auto child = [](int n) { return Request(0, 0, kPktGet, 0xF0, Bytes({n})); };

    sim.SetKorvel(7);
    QList<QByteArray> got = ask({moduleInfo, deviceType, child(1), child(7), child(0), child(8),
                                 Request(0, 0, kPktGet, 0xF0)});
    ASSERT_EQ(got.size(), 7);
    EXPECT_EQ(got[0], Answer(0, 0, kPktReply, 0x00, Bytes({0x23, 0x31, 0x76, 0x32, 0x00, 0x05, 0x81})));
    EXPECT_EQ(got[1].mid(5, 4), Bytes({kPktReply, 0x7E, 0, 1}));
    const QByteArray first = got[2].mid(7, 8), seventh = got[3].mid(7, 8);
    ASSERT_EQ(first.size(), 8);
    ASSERT_EQ(got[2].size(), 16);
    EXPECT_EQ(At(first, 7), 1);
    EXPECT_EQ(At(seventh, 7), 7);
    EXPECT_EQ(At(first, 8), kIdentity);
    for (int i = 9; i < 15; ++i)
        EXPECT_NE(At(first, i), At(seventh, i)) << "children differ in byte " << i;
    for (int i = 4; i < 7; ++i)
        EXPECT_EQ(got[i], Answer(0, 0, kPktNack, 0xF0));

    // A count the utility cannot hold is still reported, and those children answer.
    sim.SetKorvel(15);
    got = ask({moduleInfo, child(15), child(16)});
    EXPECT_EQ(got.value(0).mid(9, 1), Bytes({0xF6}));
    EXPECT_EQ(got.value(1).mid(5, 3), Bytes({kPktReply, 0xF0, 15}));
    EXPECT_EQ(got.value(2), Answer(0, 0, kPktNack, 0xF0));

    sim.SetPellar(0x21);
    EXPECT_EQ(sim.Blocks(), CanonicalConfig(Target::Pellar));
    got = ask({moduleInfo, deviceType, child(1)});
    EXPECT_EQ(got.value(0), Answer(0, 0, kPktReply, 0x00, Bytes({0x23, 0x3F, 0x06, 0x32, 0x21, 0x05, 0x81})));
    EXPECT_EQ(got.value(1).mid(5, 4), Bytes({kPktReply, 0x7E, 0, 0}));
    EXPECT_EQ(got.value(1).mid(11, 4), Bytes({1, 2, 3, 4}));
    EXPECT_EQ(got.value(2), Answer(0, 0, kPktNack, 0xF0));

    // A test's own reply data wins until it is cleared.
    sim.SetReplyData(0x00, Bytes({1, 2, 3}));
    sim.SetReplyData(0xF0, Bytes({1}));
    got = ask({moduleInfo, child(1)});
    EXPECT_EQ(got.value(0), Answer(0, 0, kPktReply, 0x00, Bytes({1, 2, 3})));
    EXPECT_EQ(got.value(1), Answer(0, 0, kPktReply, 0xF0, Bytes({1})));
    sim.ClearReplyData(0x00);
    got = ask({moduleInfo});
    EXPECT_EQ(got.value(0), Answer(0, 0, kPktReply, 0x00, sim.ModuleInfo()));
}

TEST_F(SimTcp, ClockAndProcessCommands)
{
    const QByteArray clock(reinterpret_cast<const char*>(kDefaultDateTime), 6);
    const QByteArray newClock = Bytes({0x1F, 0x0C, 0x18, 0x17, 0x3B, 0x3A});
    pc.socket.write(Request(0, 0, kPktGet, 0x10) + Request(0, 0, kPktSet, 0x10, newClock.left(5))
                    + Request(0, 0, kPktSet, 0x10, newClock) + Request(0, 0, kPktGet, 0x10)
                    + Request(0, 0, kPktSet, 0x86));
    ASSERT_TRUE(pc.WaitFrames(5));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktReply, 0x10, clock), Answer(0, 0, kPktNack, 0x10),
                                              Answer(0, 0, kPktAck, 0x10), Answer(0, 0, kPktReply, 0x10, newClock),
                                              Answer(0, 0, kPktAck, 0x86)}));
    EXPECT_TRUE(sim.ProcessesStopped());

    pc.chunks.clear();
    sim.SetHasClock(false);
    pc.socket.write(Request(0, 0, kPktGet, 0x10) + Request(0, 0, kPktSet, 0x10, clock) + Request(0, 0, kPktSet, 0xD1));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktNack, 0x10), Answer(0, 0, kPktNack, 0x10),
                                              Answer(0, 0, kPktAck, 0xD1)}));
    EXPECT_EQ(sim.DateTime(), newClock);
    EXPECT_FALSE(sim.ProcessesStopped());
}

TEST_F(SimTcp, ChannelPollsReportBusyForTheirCountThenClear)
{
    const QByteArray clear = Bytes({0}), busy = Bytes({kChannelBusy});
    const QByteArray poll = Request(0, 0, kPktGet, kCmdChannelClear);
    pc.socket.write(poll);
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames()[0], Answer(0, 0, kPktReply, kCmdChannelClear, clear));

    // A refused or silenced poll still uses up a busy report; a SET is no poll.
    pc.chunks.clear();
    sim.ClearReceived();
    sim.SetChannelBusyPolls(3);
    sim.SetFault(Fault::Silent, 1);
    pc.socket.write(poll + Request(0, 0, kPktSet, kCmdChannelClear) + poll + poll + poll);
    ASSERT_TRUE(pc.WaitFrames(4));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(0, 0, kPktAck, kCmdChannelClear),
                                              Answer(0, 0, kPktReply, kCmdChannelClear, busy),
                                              Answer(0, 0, kPktReply, kCmdChannelClear, busy),
                                              Answer(0, 0, kPktReply, kCmdChannelClear, clear)}));
    EXPECT_EQ(sim.ChannelPolls(), 4);

    pc.chunks.clear();
    sim.ClearReceived();
    EXPECT_EQ(sim.ChannelPolls(), 0);
    sim.SetChannelBusyPolls(-1);
    for (int i = 0; i < 5; ++i)
        pc.socket.write(poll);
    ASSERT_TRUE(pc.WaitFrames(5));
    for (const QByteArray& f : pc.Frames())
        EXPECT_EQ(f, Answer(0, 0, kPktReply, kCmdChannelClear, busy));
    EXPECT_EQ(sim.ChannelPolls(), 5);
}

TEST(SimPty, RoundTripIsNotDoubledAndSurvivesTheUtilityReopening)
{
    SimModule sim;
    const QString path = sim.OpenPty();
    ASSERT_FALSE(path.isEmpty());
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

TEST(SimPty, PortNameIsALinkInTheSimsOwnDirectoryThatCloseRemoves)
{
    SimModule sim;
    auto other = std::make_unique<SimModule>();
    const QString path = sim.OpenPty(), otherPath = other->OpenPty();
    ASSERT_FALSE(path.isEmpty());
    const QFileInfo link(path);
    EXPECT_TRUE(link.isSymLink());
    EXPECT_TRUE(sim.PtySlavePath().startsWith("/dev/pts/")) << sim.PtySlavePath().toStdString();
    EXPECT_EQ(link.symLinkTarget(), sim.PtySlavePath());
    EXPECT_EQ(sim.PtyPath(), path);
    // Two modules at once: their ports are told apart, serial port locks included.
    EXPECT_NE(QFileInfo(otherPath).absolutePath(), link.absolutePath());
    SerialPc first, second;
    EXPECT_TRUE(first.Open(path)) << first.port.errorString().toStdString();
    EXPECT_TRUE(second.Open(otherPath)) << second.port.errorString().toStdString();

    // A new pty comes under a new name and the old one goes.
    const QString again = sim.OpenPty();
    ASSERT_FALSE(again.isEmpty());
    EXPECT_NE(again, path);
    EXPECT_FALSE(QFileInfo::exists(link.absolutePath()));
    sim.Close();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(again).absolutePath()));
    EXPECT_TRUE(sim.PtyPath().isEmpty());
    EXPECT_FALSE(sim.ReopenPty());

    const QString otherDir = QFileInfo(otherPath).absolutePath();
    ASSERT_TRUE(QFileInfo::exists(otherDir));
    {
        SimModule gone;
        gone.ClosePtyMaster();  // nothing open: nothing to do
        EXPECT_FALSE(gone.ReopenPty());
    }
    other.reset();
    EXPECT_FALSE(QFileInfo::exists(otherDir));
}

TEST(SimPty, SilenceHoldsOnTheSerialLineWithOneCountForBothLinks)
{
    SimModule sim;
    const quint16 port = sim.ListenTcp();
    ASSERT_NE(port, 0);
    ASSERT_FALSE(sim.OpenPty().isEmpty());
    SerialPc serial;
    ASSERT_TRUE(serial.Open(sim.PtyPath()));
    TcpPc tcp;
    tcp.socket.connectToHost(QHostAddress::LocalHost, port);

    sim.GoSilentAfter(2);
    tcp.socket.write(Request(0, 0, kPktGet, 0x01));
    ASSERT_TRUE(tcp.WaitFrames(1));
    serial.port.write(Request(0, 0, kPktGet, 0x02) + Request(0, 0, kPktGet, 0x03));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 3; }));
    EXPECT_TRUE(sim.Silent());
    sim.GoSilentAfter(-1);
    serial.port.write(Request(0, 0, kPktGet, 0x04));
    ASSERT_TRUE(serial.WaitFrames(2));
    EXPECT_EQ(serial.Frames(), QList<QByteArray>({Answer(0, 0, kPktReply, 0x02, Bytes({0})),
                                                  Answer(0, 0, kPktReply, 0x04, Bytes({0}))}));
}

TEST(SimPty, PulledLineHangsUpTheUtilitysPortAndItsNameGoes)
{
    SimModule sim;
    const QString path = sim.OpenPty();
    ASSERT_FALSE(path.isEmpty());
    SerialPc serial;
    ASSERT_TRUE(serial.Open(path));
    serial.port.write(Request(0, 0, kPktGet, 0x01));
    ASSERT_TRUE(serial.WaitFrames(1));

    // Qt 6.4 on Linux says ReadError: the read returns end of file, so the
    // error text is whatever errno was left from before.
    sim.ClosePtyMaster();
    ASSERT_TRUE(WaitUntil([&] { return !serial.errors.isEmpty(); }));
    EXPECT_TRUE(serial.errors[0] == QSerialPort::ReadError || serial.errors[0] == QSerialPort::ResourceError)
        << serial.errors[0];
    EXPECT_TRUE(WaitUntil([&] { return !serial.port.isOpen(); }));
    EXPECT_FALSE(sim.ClientConnected());
    EXPECT_EQ(sim.PtyPath(), path);
    EXPECT_TRUE(sim.PtySlavePath().isEmpty());

    // The link itself goes: left behind, it would lead to whichever pty gets the
    // freed /dev/pts number next.
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    SerialPc again;
    EXPECT_FALSE(again.Open(path));
    EXPECT_EQ(again.port.error(), QSerialPort::DeviceNotFoundError);
}

TEST(SimPty, ReopenComesBackUnderTheSamePortNameAsTheSameModule)
{
    SimModule sim;
    const QString path = sim.OpenPty();
    ASSERT_FALSE(path.isEmpty());
    auto serial = std::make_unique<SerialPc>();
    ASSERT_TRUE(serial->Open(path));
    QByteArray outputs = sim.BlockData(kBlockOutputs, 2);
    outputs[1] = char(outputs[1] ^ 0x33);
    serial->port.write(Request(0, 0, kPktSet, kBlockOutputs, outputs));
    ASSERT_TRUE(serial->WaitFrames(1));
    const qsizetype ackSize = serial->raw.size();

    // The line goes with half an answer on it: the rest must not follow onto the new line.
    sim.SetPauseMs(300);
    sim.SetFault(Fault::PauseMidFrame, 1);
    const QByteArray get = Request(0, 0, kPktGet, kBlockOutputs, Bytes({2}));
    serial->port.write(get);
    ASSERT_TRUE(WaitUntil([&] { return serial->raw.size() > ackSize; }));
    sim.ClosePtyMaster();
    ASSERT_TRUE(WaitUntil([&] { return !serial->port.isOpen(); }));
    serial.reset();

    ASSERT_TRUE(sim.ReopenPty());
    EXPECT_EQ(sim.PtyPath(), path);
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), sim.PtySlavePath());
    SerialPc back;
    ASSERT_TRUE(back.Open(path)) << back.port.errorString().toStdString();
    back.port.write(get);
    ASSERT_TRUE(back.WaitFrames(1));
    const QByteArray answer = Answer(0, 0, kPktReply, kBlockOutputs, outputs);
    EXPECT_EQ(back.raw, answer);
    EXPECT_EQ(sim.BlockWrites(), QList<BlockKey>({{kBlockOutputs, 2}}));
    EXPECT_EQ(sim.ReceivedCount(), 3);

    // Reopened under a port the utility still holds: that port is hung up and
    // the name leads to the new pair.
    ASSERT_TRUE(sim.ReopenPty());
    ASSERT_TRUE(WaitUntil([&] { return !back.port.isOpen(); }));
    EXPECT_FALSE(back.errors.isEmpty());
    SerialPc third;
    ASSERT_TRUE(third.Open(path)) << third.port.errorString().toStdString();
    third.port.write(get);
    ASSERT_TRUE(third.WaitFrames(1));
    EXPECT_EQ(third.raw, answer);
}

TEST(SimProgram, PrintsItsEndpointsAndAnswers)
{
    QProcess program;
    // QProcess would end it with SIGKILL, leaving its pty directory behind when
    // an assertion leaves early.
    const auto endGently = qScopeGuard([&] {
        program.terminate();
        if (!program.waitForFinished(5000))
            program.kill();
    });
    program.start(KORVEL_SIM_PATH, {"--port", "0", "--pty", "--verbose", "--pellar", "0x21", "--silent-after", "1"});
    QByteArray out;
    const QRegularExpression endpoints("listening on 127\\.0\\.0\\.1:(\\d+)\npty (/\\S+)\n");
    QRegularExpressionMatch match;
    ASSERT_TRUE(WaitUntil([&] {
        out += program.readAllStandardOutput();
        match = endpoints.match(QString::fromLatin1(out));
        return match.hasMatch();
    })) << out.toStdString();
    const QFileInfo pty(match.captured(2));
    EXPECT_TRUE(pty.symLinkTarget().startsWith("/dev/pts/")) << pty.filePath().toStdString();

    TcpPc pc;
    pc.socket.connectToHost(QHostAddress::LocalHost, match.captured(1).toUShort());
    pc.socket.write(Request(1, 0, kPktGet, 0x00));
    ASSERT_TRUE(pc.WaitFrames(1));
    SimModule pellar;
    pellar.SetPellar(0x21);
    EXPECT_EQ(pc.Frames().value(0), Answer(1, 0, kPktReply, 0x00, pellar.ModuleInfo()));
    // The count of --silent-after has run out: the next frame is marked unanswered.
    pc.socket.write(Request(1, 0, kPktGet, 0x01));
    EXPECT_TRUE(WaitUntil([&] {
        out += program.readAllStandardOutput();
        return out.contains("rx " + Request(1, 0, kPktGet, 0x00).toHex(' ') + "\n")
            && out.contains("rx " + Request(1, 0, kPktGet, 0x01).toHex(' ') + "  (silent)\n");
    })) << out.toStdString();

    // Ended as a script or Ctrl-C ends it, the program takes its pty link along.
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(pty.absolutePath()));

    EXPECT_EQ(QProcess::execute(KORVEL_SIM_PATH, {"--port", "0", "--silent-after", "-1"}), 2);
}

// ---- Remote stations ------------------------------------------------------------

namespace {

// A frame from the PC (source 0) to (station, 0, route) and the answer that station gives.
QByteArray ToStation(int station, int route, int type, int command, const QByteArray& data = {})
{
    return Request(station, route, type, command, data);
}

}  // namespace

TEST_F(SimTcp, RemoteStationAnswersOverTheRadioRouteOnlyWithItsOwnState)
{
    sim.AddRemoteStation(5);
    sim.SetPellar(0x21, 5);
    ASSERT_TRUE(sim.HasStation(5));
    const QByteArray remoteAnalog = sim.BlockData(kBlockAnalogs, 1, 5);
    ASSERT_EQ(remoteAnalog, CanonicalConfig(Target::Pellar).value({kBlockAnalogs, 1}));
    ASSERT_NE(remoteAnalog, sim.BlockData(kBlockAnalogs, 1));

    // Not on the radio route, or to a station that is not there: no answer. As
    // answers keep their order, the local module's answer after them proves it.
    pc.socket.write(ToStation(5, 3, kPktGet, kBlockAnalogs, Bytes({1})) + ToStation(5, 0, kPktGet, 0x00)
                    + ToStation(5, 2, kPktSet, 0x86) + ToStation(6, 3, kPktGet, 0x00)
                    // Another requester gets the answer back, from station 5.
                    + MakeFrame(Bytes({8, 5, 9, 3, 4, kPktGet, 0x00, 2}))
                    + ToStation(0, 0, kPktGet, kBlockAnalogs, Bytes({1})) + ToStation(0, 0, kPktGet, kCmdChannelClear));
    ASSERT_TRUE(pc.WaitFrames(4));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 7; }));
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({
                               Answer(5, 3, kPktReply, kBlockAnalogs, remoteAnalog),
                               MakeFrame(Bytes({14, 9, 5, 3, 4, kPktReply, 0x00}) + sim.ModuleInfo(5)),
                               Answer(0, 0, kPktReply, kBlockAnalogs, sim.BlockData(kBlockAnalogs, 1)),
                               Answer(0, 0, kPktReply, kCmdChannelClear, Bytes({0})),
                           }));
    EXPECT_FALSE(sim.ProcessesStopped(5));
}

TEST_F(SimTcp, StopAndRestartReachOnlyTheAddressedStation)
{
    sim.AddRemoteStation(5);
    sim.AddRemoteStation(7);
    pc.socket.write(ToStation(0, 0, kPktSet, 0x86) + ToStation(5, 3, kPktSet, 0x86));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_TRUE(sim.ProcessesStopped());
    EXPECT_TRUE(sim.ProcessesStopped(5));
    EXPECT_FALSE(sim.ProcessesStopped(7));

    pc.socket.write(ToStation(5, 3, kPktSet, 0xD1));
    ASSERT_TRUE(pc.WaitFrames(3));
    EXPECT_EQ(pc.Frames().value(2), Answer(5, 3, kPktAck, 0xD1));
    EXPECT_TRUE(sim.ProcessesStopped());
    EXPECT_FALSE(sim.ProcessesStopped(5));
    EXPECT_FALSE(sim.ProcessesStopped(7));
}

TEST_F(SimTcp, BlockWrittenToARemoteStationChangesThatStationOnly)
{
    sim.AddRemoteStation(12);
    QByteArray outputs = sim.BlockData(kBlockOutputs, 2, 12);
    outputs[3] = char(outputs[3] ^ 0x81);
    QByteArray clock = Bytes({1, 2, 25, 3, 4, 5});
    pc.socket.write(ToStation(12, 3, kPktSet, kBlockOutputs, outputs) + ToStation(12, 3, kPktSet, 0x10, clock)
                    + ToStation(12, 3, kPktGet, kBlockOutputs, Bytes({2}))
                    + ToStation(0, 0, kPktGet, kBlockOutputs, Bytes({2})));
    ASSERT_TRUE(pc.WaitFrames(4));
    EXPECT_EQ(pc.Frames().value(2), Answer(12, 3, kPktReply, kBlockOutputs, outputs));
    EXPECT_EQ(pc.Frames().value(3), Answer(0, 0, kPktReply, kBlockOutputs, CanonicalConfig(Target::Korvel)[{kBlockOutputs, 2}]));
    EXPECT_EQ(sim.BlockWrites(12), QList<BlockKey>({{kBlockOutputs, 2}}));
    EXPECT_TRUE(sim.BlockWrites().isEmpty());
    EXPECT_EQ(sim.Blocks(), CanonicalConfig(Target::Korvel));
    EXPECT_EQ(sim.BlockData(kBlockOutputs, 2, 12), outputs);
    EXPECT_EQ(sim.DateTime(12), clock);
    EXPECT_EQ(sim.DateTime(), QByteArray(reinterpret_cast<const char*>(kDefaultDateTime), 6));

    sim.ClearReceived();
    EXPECT_TRUE(sim.BlockWrites(12).isEmpty());
}

TEST_F(SimTcp, StationsComeGoAndResetAndTheLocalOneStays)
{
    EXPECT_TRUE(sim.HasStation(0));
    EXPECT_FALSE(sim.HasStation(1));
    // Out of range numbers and the local module's number are no remote stations.
    for (int n : {0, 255, -1}) {
        sim.AddRemoteStation(n);
        sim.RemoveRemoteStation(n);
    }
    EXPECT_TRUE(sim.HasStation(0));
    EXPECT_FALSE(sim.HasStation(255));
    EXPECT_FALSE(sim.StationRouting());

    sim.AddRemoteStation(254);
    sim.SetPellar(0x10, 254);
    sim.SetHasClock(false, 254);
    sim.SetBlockData(kBlockSystem, 0, Bytes({1}), 254);
    sim.AddRemoteStation(254);  // back to a fresh Korvel
    EXPECT_EQ(sim.CurrentTarget(254), Target::Korvel);
    EXPECT_EQ(sim.Children(254), 2);
    EXPECT_EQ(sim.ExpansionBoardMask(254), 0);
    EXPECT_EQ(sim.Blocks(254), CanonicalConfig(Target::Korvel));
    pc.socket.write(ToStation(254, 3, kPktGet, 0x10));
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames()[0], Answer(254, 3, kPktReply, 0x10, sim.DateTime(254)));

    // Removed, it falls silent; setting it does nothing and asking it gives defaults.
    sim.RemoveRemoteStation(254);
    EXPECT_FALSE(sim.HasStation(254));
    sim.SetKorvel(9, 254);
    EXPECT_FALSE(sim.HasStation(254));
    EXPECT_TRUE(sim.Blocks(254).isEmpty());
    EXPECT_TRUE(sim.ModuleInfo(254).isEmpty());
    pc.socket.write(ToStation(254, 3, kPktGet, 0x10) + ToStation(0, 0, kPktGet, 0x10));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.Frames().value(1), Answer(0, 0, kPktReply, 0x10, sim.DateTime()));
    EXPECT_TRUE(sim.StationRouting());
}

TEST_F(SimTcp, BeforeStationRoutingEveryDestinationIsTheLocalModule)
{
    const QByteArray toFive = ToStation(5, 0, kPktGet, kBlockSystem, Bytes({0}));
    pc.socket.write(toFive);
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames()[0], Answer(5, 0, kPktReply, kBlockSystem, sim.BlockData(kBlockSystem, 0)));

    sim.SetStationRouting(true);
    pc.socket.write(toFive + ToStation(0, 0, kPktGet, 0x44));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.Frames().value(1), Answer(0, 0, kPktReply, 0x44, Bytes({0})));
}

// ---- Identity -------------------------------------------------------------------

TEST_F(SimTcp, IdentitySettersShowInModuleInfoUntilTheKindIsSetAgain)
{
    auto info = [&](int station) {
        pc.chunks.clear();
        pc.socket.write(ToStation(station, station ? 3 : 0, kPktGet, 0x00, Bytes({2})));
        EXPECT_TRUE(pc.WaitFrames(1));
        return pc.Frames().value(0).mid(7, 7);
    };
    sim.AddRemoteStation(3);
    sim.SetIdentity(0x03, 0x25);
    sim.SetOptions(0x19);  // only the low nibble: the high one is the child count
    sim.SetModuleMode(0x00);
    EXPECT_EQ(info(0), Bytes({0x03, 0x25, 0x29, 0x00, 0x00, kDebugFlags, kTempSensors}));
    EXPECT_EQ(info(3), Bytes({0x23, 0x31, 0x26, 0x32, 0x00, kDebugFlags, kTempSensors}));

    sim.SetIdentity(0x33, 0x40, 3);
    sim.SetModuleMode(0x03, 3);
    EXPECT_EQ(info(3), Bytes({0x33, 0x40, 0x26, 0x03, 0x00, kDebugFlags, kTempSensors}));

    sim.SetKorvel(4);
    EXPECT_EQ(info(0), Bytes({0x23, 0x31, 0x46, 0x32, 0x00, kDebugFlags, kTempSensors}));
    // A Pellar reports no children, with its options beside the empty count.
    sim.SetPellar(0x21, 3);
    sim.SetOptions(0xF, 3);
    EXPECT_EQ(info(3), Bytes({0x23, 0x3F, 0x0F, 0x32, 0x21, kDebugFlags, kTempSensors}));
    pc.chunks.clear();
    pc.socket.write(ToStation(3, 3, kPktGet, 0x7E) + ToStation(0, 0, kPktGet, 0x7E));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(pc.Frames().value(0).mid(7, 2), Bytes({0, 0}));  // Pellar
    EXPECT_EQ(pc.Frames().value(1).mid(7, 2), Bytes({0, 1}));  // Korvel
}

// ---- TCP start text -------------------------------------------------------------

TEST_F(SimTcp, StartTextIsTakenOffTheFrontOfTheConnection)
{
    ASSERT_EQ(kTcpStartTextSize, 9);
    const QByteArray text(kTcpStartText, kTcpStartTextSize), frame = Request(0, 0, kPktGet, 0x00);
    pc.socket.write(text.left(4));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedRaw().size() == 4; }));
    EXPECT_FALSE(sim.TcpStartTextReceived());
    pc.socket.write(text.mid(4) + frame);
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames()[0], Answer(0, 0, kPktReply, 0x00, sim.ModuleInfo()));
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(sim.Received(), QList<QByteArray>({frame}));
    EXPECT_EQ(sim.ReceivedRaw(), text + frame);

    // Only at the start: later, the same bytes are frame bytes.
    pc.socket.write(frame);
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_TRUE(sim.TcpStartTextReceived());
}

TEST_F(SimTcp, ConnectionWithoutStartTextIsReadFromItsFirstByte)
{
    pc.socket.write(QByteArray(kTcpStartText, kTcpStartTextSize));
    ASSERT_TRUE(WaitUntil([&] { return sim.TcpStartTextReceived(); }));

    // A new connection whose first frame begins like the start text ('O' = L 79)
    // and then differs: the bytes held back belong to that frame.
    TcpPc second;
    second.socket.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return !sim.TcpStartTextReceived(); }));
    const QByteArray data(79 - 7, 'M');
    const QByteArray frame = Request('M', 0, kPktSet, 0xCD, data);
    ASSERT_EQ(frame.left(2), QByteArray("OM"));
    second.socket.write(frame.left(2));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedRaw().size() == kTcpStartTextSize + 2; }));
    second.socket.write(frame.mid(2));
    ASSERT_TRUE(second.WaitFrames(1));
    EXPECT_EQ(second.Frames()[0], Answer('M', 0, kPktAck, 0xCD));
    EXPECT_EQ(sim.Received().value(0), frame);
    EXPECT_FALSE(sim.TcpStartTextReceived());
}

// ---- Wire pacing ----------------------------------------------------------------

namespace {

// Time in ns that `bytes` take on an 8N2 line.
qint64 WireNs(qint64 bytes, int baud)
{
    return bytes * kBitsPerByte * 1'000'000'000LL / baud;
}

constexpr qint64 kGenerousNs = 5'000'000'000LL;

}  // namespace

TEST_F(SimTcp, PacedAnswerArrivesNoEarlierThanRequestAndAnswerTakeOnTheLine)
{
    constexpr int kBaud = 2400;
    sim.SetWireBaud(kBaud);
    const QByteArray request = Request(0, 0, kPktGet, 0x00, Bytes({2}));
    const QByteArray answer = Answer(0, 0, kPktReply, 0x00, sim.ModuleInfo());
    const qint64 sent = pc.clock.nsecsElapsed();
    pc.socket.write(request);
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_EQ(pc.Frames()[0], answer);
    const qint64 took = pc.FramesCompleteNs(1) - sent;
    EXPECT_GE(took, WireNs(request.size() + answer.size(), kBaud));  // 110 ms
    EXPECT_LT(took, kGenerousNs);

    // A reply delay comes on top.
    sim.SetReplyDelayMs(100);
    pc.chunks.clear();
    pc.timesNs.clear();
    const qint64 sentAgain = pc.clock.nsecsElapsed();
    pc.socket.write(request);
    ASSERT_TRUE(pc.WaitFrames(1));
    EXPECT_GE(pc.FramesCompleteNs(1) - sentAgain, 100'000'000 + WireNs(request.size() + answer.size(), kBaud));
}

TEST_F(SimTcp, BackToBackRequestsAddUpTheirLineTime)
{
    constexpr int kBaud = 4800;
    sim.SetWireBaud(kBaud);
    sim.SetFault(Fault::Split, 1);  // faults keep working under pacing
    const QByteArray first = Request(0, 0, kPktGet, kBlockTemps, Bytes({0}));
    const QByteArray second = Request(0, 0, kPktGet, kBlockSystem, Bytes({0}));
    const qint64 firstWire = WireNs(first.size() + BlockLength(kBlockTemps, 0) + 1, kBaud);   // 397 ms
    const qint64 bothWire = firstWire + WireNs(second.size() + BlockLength(kBlockSystem, 0) + 1, kBaud);
    const qint64 sent = pc.clock.nsecsElapsed();
    pc.socket.write(first + second);
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_GE(pc.FramesCompleteNs(1) - sent, firstWire);
    EXPECT_GE(pc.FramesCompleteNs(2) - sent, bothWire);  // 576 ms
    EXPECT_LT(pc.FramesCompleteNs(2) - sent, bothWire + kGenerousNs);
    EXPECT_EQ(pc.Frames().value(1), Answer(0, 0, kPktReply, kBlockSystem, sim.BlockData(kBlockSystem, 0)));
}

TEST_F(SimTcp, SentRawIsTheLinesBytesBeforeTcpDoubling)
{
    sim.SetReplyData(0x21, Bytes({0xFF, 0x01}));
    pc.socket.write(Request(0, 0, kPktGet, 0x21));
    ASSERT_TRUE(pc.WaitFrames(1));
    sim.SendEvent(4, 0x40, Bytes({0x02}));
    ASSERT_TRUE(pc.WaitFrames(2));
    EXPECT_EQ(sim.SentRaw(), Answer(0, 0, kPktReply, 0x21, Bytes({0xFF, 0x01})) + Answer(4, 0, kPktEvent, 0x40, Bytes({0x02})));
    EXPECT_EQ(Undouble(pc.Raw()), sim.SentRaw());
    EXPECT_GT(pc.Raw().size(), sim.SentRaw().size());
    sim.ClearReceived();
    EXPECT_TRUE(sim.SentRaw().isEmpty());
}

TEST(SimProgram, AddsRemoteStationsFromTheCommandLine)
{
    QProcess program;
    const quint16 port = StartSimProgram(program, {"--port", "0", "--station", "7", "--station", "9", "--baud", "115200"});
    ASSERT_NE(port, 0);

    TcpPc pc;
    pc.socket.connectToHost(QHostAddress::LocalHost, port);
    pc.socket.write(QByteArray(kTcpStartText, kTcpStartTextSize) + Request(7, 3, kPktGet, 0x10) + Request(8, 3, kPktGet, 0x10)
                    + Request(9, 3, kPktGet, 0x10));
    ASSERT_TRUE(pc.WaitFrames(2));
    const QByteArray clock(reinterpret_cast<const char*>(kDefaultDateTime), 6);
    EXPECT_EQ(pc.Frames(), QList<QByteArray>({Answer(7, 3, kPktReply, 0x10, clock), Answer(9, 3, kPktReply, 0x10, clock)}));
    program.kill();
    program.waitForFinished(2000);
}

// ---- Live status ----------------------------------------------------------------

namespace {

// Writes the requests at once and returns what came back, once as many frames have.
QList<QByteArray> Exchange(TcpPc& pc, const QList<QByteArray>& requests)
{
    pc.chunks.clear();
    pc.socket.write(requests.join());
    EXPECT_TRUE(pc.WaitFrames(int(requests.size())));
    return pc.Frames();
}

QByteArray StatusGet(int command, int group, int station = 0)
{
    return Request(station, station ? kRadioRoute : 0, kPktGet, command, Bytes({group}));
}

QByteArray Set(int command, const QByteArray& data = {})
{
    return Request(0, 0, kPktSet, command, data);
}

QList<int> Types(const QList<QByteArray>& frames)
{
    QList<int> types;
    for (const QByteArray& f : frames)
        types.append(f.size() > 5 ? quint8(f[5]) : -1);
    return types;
}

// The eight (low, high) pairs of an analog or temperature status reply.
QList<int> Pairs(const QByteArray& reply, int highMask = 0xFF)
{
    QList<int> values;
    for (int k = 0; k < 8 && 9 + 2 * k < reply.size(); ++k)
        values.append(quint8(reply[8 + 2 * k]) + 256 * (quint8(reply[9 + 2 * k]) & highMask));
    return values;
}

// Half degrees Celsius of a temperature code in the target's own form.
int HalfDegrees(Target target, int code)
{
    if (target == Target::Pellar)
        return code - 111;
    return code > 256 ? code - 512 : code;
}

}  // namespace

TEST_F(SimTcp, KorvelStatusAnswersGroupsZeroToItsChildrenAndNacksTheRest)
{
    // A new sim is a Korvel with 2 children: groups 0 to 2, temperatures in group 0.
    QList<QByteArray> got = Exchange(pc, {StatusGet(0x01, 0), StatusGet(0x01, 2), StatusGet(0x01, 3), StatusGet(0x02, 1),
                                          StatusGet(0x02, 3), StatusGet(0x08, 2), StatusGet(0x08, 3), StatusGet(0x0D, 0),
                                          StatusGet(0x0D, 1)});
    ASSERT_EQ(got.size(), 9);
    EXPECT_EQ(got[0], Answer(0, 0, kPktReply, 0x01, Bytes({0, sim.InputBits(0)})));
    EXPECT_EQ(got[1], Answer(0, 0, kPktReply, 0x01, Bytes({2, sim.InputBits(2)})));
    EXPECT_EQ(got[3], Answer(0, 0, kPktReply, 0x02, Bytes({1, sim.OutputBits(1)})));
    for (int i : {2, 4, 6, 8})
        EXPECT_EQ(Types({got[i]}), QList<int>({kPktNack})) << "request " << i;
    ASSERT_EQ(got[5].size(), 7 + 17 + 1);
    EXPECT_EQ(got[5][7], char(2));
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(quint8(got[5][9 + 2 * k]) & 0xF0, 0xF0) << "top bits of slot " << k << " sent set";
        EXPECT_EQ(Pairs(got[5], 0x0F).value(k), sim.AnalogCode(2, k));
    }
    EXPECT_EQ(got[7].size(), 7 + 17 + 1);

    // Seeded values tell groups and slots apart, and no input group is all on or all off.
    QSet<int> codes, inputs, outputs;
    for (int g = 0; g <= 2; ++g) {
        inputs.insert(sim.InputBits(g));
        outputs.insert(sim.OutputBits(g));
        EXPECT_NE(sim.InputBits(g), 0x00);
        EXPECT_NE(sim.InputBits(g), 0xFF);
        for (int s = 0; s < 8; ++s)
            codes.insert(sim.AnalogCode(g, s));
    }
    EXPECT_EQ(codes.size(), 24);
    EXPECT_EQ(inputs.size(), 3);
    EXPECT_EQ(outputs.size(), 3);

    // What a test sets is what the next reply carries; codes keep to 12 bits.
    sim.SetInputBits(1, 0x81);
    sim.SetOutputBits(2, 0x7E);
    sim.SetAnalogCode(1, 0, 0x123);
    sim.SetAnalogCode(1, 7, 5000);
    sim.SetTempReading(3, 0x0102);
    got = Exchange(pc, {StatusGet(0x01, 1), StatusGet(0x02, 2), StatusGet(0x08, 1), StatusGet(0x0D, 0)});
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(got[0], Answer(0, 0, kPktReply, 0x01, Bytes({1, 0x81})));
    EXPECT_EQ(got[1], Answer(0, 0, kPktReply, 0x02, Bytes({2, 0x7E})));
    EXPECT_EQ(got[2].mid(8, 2), Bytes({0x23, 0xF1}));
    EXPECT_EQ(got[2].mid(22, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(Pairs(got[3]).value(3), 0x0102);
    EXPECT_EQ(sim.TempReading(3), 0x0102);
}

TEST_F(SimTcp, TemperatureReadingsAreInTheTargetsOwnCodeAndAbsentWithoutASensor)
{
    const QList<int> korvel = Pairs(Exchange(pc, {StatusGet(0x0D, 0)}).value(0));
    sim.SetPellar(0x00);
    const QList<int> pellar = Pairs(Exchange(pc, {StatusGet(0x0D, 0)}).value(0));
    ASSERT_EQ(korvel.size(), 8);
    ASSERT_EQ(pellar.size(), 8);
    int present = 0;
    for (int s = 0; s < 8; ++s) {
        if (!(kTempSensors & (1 << s))) {
            EXPECT_EQ(korvel[s], 0x7FFF) << "slot " << s;
            EXPECT_EQ(pellar[s], 0x7FFF) << "slot " << s;
            continue;
        }
        ++present;
        // The same temperature, within the sensor's -55 to +125 degrees, in both codes.
        const int half = HalfDegrees(Target::Korvel, korvel[s]);
        EXPECT_EQ(HalfDegrees(Target::Pellar, pellar[s]), half) << "slot " << s;
        EXPECT_GE(half, -110);
        EXPECT_LE(half, 250);
    }
    EXPECT_EQ(present, 2);
    // One reading lies below zero, so a reader that ignores the sign is caught.
    EXPECT_GT(korvel[7], 256);
    EXPECT_LT(korvel[7], 512);
    EXPECT_LT(pellar[7], 111);
}

TEST_F(SimTcp, PellarStatusGroupsFollowItsBoardsAndItsOutputsAreGroupZero)
{
    sim.SetPellar(0x21);  // analog board 1, contact board 2
    QList<QByteArray> got = Exchange(pc, {StatusGet(0x01, 0), StatusGet(0x01, 1), StatusGet(0x01, 2), StatusGet(0x08, 1),
                                          StatusGet(0x08, 2), StatusGet(0x02, 0), StatusGet(0x02, 1), Set(0x02, Bytes({0x87})),
                                          Set(0x02, Bytes({0x88}))});
    EXPECT_EQ(Types(got), QList<int>({kPktReply, kPktNack, kPktReply, kPktReply, kPktNack, kPktReply, kPktNack, kPktAck,
                                      kPktNack}));

    // Every board fitted: groups 1 to 4 and no further.
    sim.SetPellar(0xFF);
    got = Exchange(pc, {StatusGet(0x01, 4), StatusGet(0x01, 5), StatusGet(0x08, 4), StatusGet(0x08, 5)});
    EXPECT_EQ(Types(got), QList<int>({kPktReply, kPktNack, kPktReply, kPktNack}));
}

TEST_F(SimTcp, OutputSwitchChangesOneOutputOfTheStationAndRecordsOnlyAcceptedOnes)
{
    sim.SetOutputBits(0, 0x00);
    sim.SetOutputBits(2, 0xFF);
    // Outputs 0 to 23 exist on a Korvel with 2 children; 24 and 127 do not.
    QList<QByteArray> got = Exchange(pc, {Set(0x02, Bytes({0x83})), Set(0x02, Bytes({0x17})), Set(0x02, Bytes({0x98})),
                                          Set(0x02, Bytes({0xFF})), Set(0x02), StatusGet(0x02, 0), StatusGet(0x02, 2)});
    ASSERT_EQ(got.size(), 7);
    EXPECT_EQ(Types(got.mid(0, 5)), QList<int>({kPktAck, kPktAck, kPktNack, kPktNack, kPktNack}));
    EXPECT_EQ(got[5], Answer(0, 0, kPktReply, 0x02, Bytes({0, 0x08})));
    EXPECT_EQ(got[6], Answer(0, 0, kPktReply, 0x02, Bytes({2, 0x7F})));
    EXPECT_EQ(sim.OutputSwitches(), QList<quint8>({0x83, 0x17}));

    // A refused frame switches nothing.
    sim.SetFault(Fault::Nack, 1);
    EXPECT_EQ(Types(Exchange(pc, {Set(0x02, Bytes({0x80}))})), QList<int>({kPktNack}));
    EXPECT_EQ(sim.OutputBits(0), 0x08);
    EXPECT_EQ(sim.OutputSwitches().size(), 2);

    sim.AddRemoteStation(5);
    const quint8 remoteBefore = sim.OutputBits(1, 5);
    got = Exchange(pc, {Request(5, kRadioRoute, kPktSet, 0x02, Bytes({0x89}))});
    EXPECT_EQ(got.value(0), Answer(5, kRadioRoute, kPktAck, 0x02));
    EXPECT_EQ(sim.OutputBits(1, 5), remoteBefore | 0x02);
    EXPECT_EQ(sim.OutputSwitches(5), QList<quint8>({0x89}));
    EXPECT_EQ(sim.OutputSwitches().size(), 2);
}

TEST_F(SimTcp, DebugFlagsShowInModuleInfoAndAllocationBringsTheGivenChildren)
{
    sim.AddRemoteStation(5);
    const QByteArray moduleInfo = Request(0, 0, kPktGet, 0x00, Bytes({2}));
    QList<QByteArray> got = Exchange(pc, {Set(0xCD, Bytes({0x09, 0})), moduleInfo, Set(0xCD),
                                          Request(5, kRadioRoute, kPktGet, 0x00, Bytes({2}))});
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktReply, kPktNack, kPktReply}));
    EXPECT_EQ(quint8(got[1][12]), 0x09);
    EXPECT_EQ(quint8(got[3][12]), kDebugFlags);
    EXPECT_EQ(sim.DebugFlags(), 0x09);
    EXPECT_EQ(sim.DebugFlags(5), kDebugFlags);

    // Without a child count to bring, an allocation changes nothing but its count.
    const QHash<BlockKey, QByteArray> blocks = sim.Blocks();
    got = Exchange(pc, {Set(0x87), moduleInfo, StatusGet(0x01, 3)});
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktReply, kPktNack}));
    EXPECT_EQ(quint8(got.value(1)[9]) >> 4, 2);

    sim.SetChildrenAfterAllocate(4);
    got = Exchange(pc, {StatusGet(0x01, 4), Set(0x87), moduleInfo, StatusGet(0x01, 4), StatusGet(0x08, 4), StatusGet(0x02, 4),
                        StatusGet(0x08, 5)});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktAck, kPktReply, kPktReply, kPktReply, kPktReply, kPktNack}));
    EXPECT_EQ(quint8(got.value(2)[9]) >> 4, 4);

    sim.SetChildrenAfterAllocate(0);
    got = Exchange(pc, {Set(0x87), StatusGet(0x01, 1)});
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktNack}));
    EXPECT_EQ(sim.Children(), 0);
    EXPECT_EQ(sim.AddressAllocations(), 3);
    EXPECT_EQ(sim.AddressAllocations(5), 0);
    EXPECT_EQ(sim.Blocks(), blocks);
}

TEST_F(SimTcp, ToneNeedsTheKeyedTransmitterAndLevelsRunOneTo31)
{
    const QByteArray twoMinutes = Bytes({120, 255});
    QList<QByteArray> got = Exchange(pc, {Set(0xCC, twoMinutes), Set(0xCB, Bytes({0})), Set(0xCB, Bytes({32})),
                                          Set(0xCB), Set(0xCB, Bytes({1})), Set(0xC8, Bytes({120})), Set(0xC8, twoMinutes),
                                          Set(0xCC, twoMinutes), Set(0xCB, Bytes({31}))});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktNack, kPktNack, kPktNack, kPktAck, kPktNack, kPktAck, kPktAck,
                                      kPktAck}));
    EXPECT_TRUE(sim.PttOn());
    EXPECT_TRUE(sim.ToneOn());
    EXPECT_EQ(sim.TxLevel(), 31);
    EXPECT_EQ(sim.PttData(), twoMinutes);
    EXPECT_EQ(sim.ToneData(), twoMinutes);

    // PTT off ends the tone, and a tone is refused again until the next PTT on.
    got = Exchange(pc, {Set(0xC9), Set(0xCC, Bytes({1, 2}))});
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktNack}));
    EXPECT_FALSE(sim.PttOn());
    EXPECT_FALSE(sim.ToneOn());
    EXPECT_EQ(sim.ToneData(), twoMinutes);

    EXPECT_TRUE(sim.ProtocolSwitch().isEmpty());
    got = Exchange(pc, {Set(0xD4, Bytes({1, 0})), Set(0xD4, Bytes({1, 0, 0}))});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktAck}));
    EXPECT_EQ(sim.ProtocolSwitch(), Bytes({1, 0, 0}));
}

TEST_F(SimTcp, LiveChangesMoveEveryStationsReadingsAStepAtATimeOnlyWhileOn)
{
    sim.AddRemoteStation(5);
    auto snapshot = [&] {
        return Exchange(pc, {StatusGet(0x01, 0), StatusGet(0x01, 2), StatusGet(0x08, 0), StatusGet(0x08, 2),
                             StatusGet(0x0D, 0)});
    };
    const QList<QByteArray> start = snapshot();
    const quint8 remoteStart = sim.InputBits(0, 5);
    RunFor(1500);
    EXPECT_EQ(snapshot(), start) << "a new sim keeps still";

    sim.SetLiveChanges(true);
    QList<QByteArray> moved;
    ASSERT_TRUE(WaitUntil([&] { return (moved = snapshot()) != start; }, 10000));
    ASSERT_EQ(moved.size(), start.size());
    EXPECT_NE(moved[0], start[0]);
    EXPECT_NE(moved[1], start[1]);
    for (int i : {2, 3}) {
        const QList<int> was = Pairs(start[i], 0x0F), now = Pairs(moved[i], 0x0F);
        ASSERT_EQ(now.size(), 8);
        for (int k = 0; k < 8; ++k) {
            const int step = std::abs(now[k] - was[k]);
            EXPECT_TRUE(step > 0 && step <= 12 && step % 3 == 0) << "analog " << i << "/" << k << ": " << step;
            EXPECT_LE(now[k], 1023);
        }
    }
    const QList<int> wasTemps = Pairs(start[4]), nowTemps = Pairs(moved[4]);
    for (int s = 0; s < 8; ++s) {
        if (wasTemps[s] == 0x7FFF) {
            EXPECT_EQ(nowTemps[s], 0x7FFF);
            continue;
        }
        const int step = std::abs(HalfDegrees(Target::Korvel, nowTemps[s]) - HalfDegrees(Target::Korvel, wasTemps[s]));
        EXPECT_TRUE(step >= 1 && step <= 4) << "temperature " << s << ": " << step << " half degrees";
    }
    EXPECT_TRUE(WaitUntil([&] { return sim.InputBits(0, 5) != remoteStart; }, 5000)) << "remote stations live too";

    sim.SetLiveChanges(false);
    const QList<QByteArray> stopped = snapshot();
    RunFor(1500);
    EXPECT_EQ(snapshot(), stopped);
}

TEST_F(SimTcp, EventsComeFromEachStationInTurnContactThenAnalogAndInputsFollowThem)
{
    sim.AddRemoteStation(5);
    sim.SetPellar(0x21, 5);
    QHash<int, std::array<quint8, 3>> before;
    for (int station : {0, 5})
        before[station] = {sim.InputBits(0, station), sim.InputBits(1, station), sim.InputBits(2, station)};
    // Fitted groups: the Korvel's 0 to 2; the Pellar's contact board 2, analog board 1.
    auto fitted = [](int station, int eventClass, int group) {
        if (station == 0)
            return group <= 2;
        return group == 0 || group == (eventClass == 1 ? 2 : 1);
    };

    sim.SetEventInterval(1);
    ASSERT_TRUE(WaitUntil([&] { return pc.Frames().size() >= 4; }, 15000));
    sim.SetEventInterval(0);
    const QList<QByteArray> events = pc.Frames().mid(0, 4);
    const int sources[4] = {0, 5, 0, 5}, classes[4] = {1, 1, 4, 4};
    for (int i = 0; i < 4; ++i) {
        const QByteArray& e = events[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(ChecksumGood(e));
        ASSERT_EQ(e.size(), classes[i] == 1 ? 9 : 14);
        EXPECT_EQ(e.left(7), Bytes({int(e.size()) - 1, 0, sources[i], 0, 0, kPktEvent, classes[i]}));
        const int station = sources[i];
        if (classes[i] == 1) {
            const quint8 record = e[7];
            const int input = record & 0x3F, group = input / 8, bit = 1 << (input % 8);
            ASSERT_TRUE(fitted(station, 1, group)) << "input " << input + 1;
            EXPECT_EQ(record & 0x40, 0);
            EXPECT_EQ(bool(record & 0x80), bool(sim.InputBits(group, station) & bit));
            for (int g = 0; g < 3; ++g)
                EXPECT_EQ(sim.InputBits(g, station) ^ before[station][g], g == group ? bit : 0) << "group " << g;
            continue;
        }
        for (int j = 0; j < 2; ++j) {
            const int channel = quint8(e[7 + 3 * j]) & 0x3F;
            ASSERT_TRUE(fitted(station, 4, channel / 8)) << "channel " << channel + 1;
            EXPECT_EQ(quint8(e[8 + 3 * j]) + 256 * quint8(e[9 + 3 * j]), sim.AnalogCode(channel / 8, channel % 8, station));
        }
        EXPECT_EQ(quint8(e[10]) >> 6, ((quint8(e[7]) >> 6) + 1) % 4) << "the crossings come round in turn";
        EXPECT_NE(quint8(e[7]) & 0x3F, quint8(e[10]) & 0x3F);
    }
    RunFor(1500);
    EXPECT_EQ(pc.Frames().size(), 4) << "interval 0 stops the events";
}

TEST(SimProgram, LiveByDefaultStillWithNoLiveAndEventsEveryNSeconds)
{
    const QByteArray analog = Request(0, 0, kPktGet, 0x08, Bytes({0}));
    auto replies = [](const TcpPc& pc) {
        QList<QByteArray> out;
        for (const QByteArray& f : pc.Frames())
            if (quint8(f[5]) == kPktReply)
                out.append(f);
        return out;
    };

    {
        QProcess program;
        const quint16 port = StartSimProgram(program, {"--port", "0", "--no-live", "--events", "1"});
        ASSERT_NE(port, 0);
        TcpPc pc;
        pc.socket.connectToHost(QHostAddress::LocalHost, port);
        pc.socket.write(analog);
        ASSERT_TRUE(WaitUntil([&] { return replies(pc).size() == 1; }));
        // Two events mean more than a second went by: time for a live step.
        ASSERT_TRUE(WaitUntil([&] { return pc.Frames().size() >= 3; }, 10000));
        pc.socket.write(analog);
        ASSERT_TRUE(WaitUntil([&] { return replies(pc).size() == 2; }));
        EXPECT_EQ(replies(pc)[1], replies(pc)[0]);
        QList<int> classes;
        for (const QByteArray& f : pc.Frames())
            if (quint8(f[5]) == kPktEvent)
                classes.append(quint8(f[6]));
        EXPECT_EQ(classes.mid(0, 2), QList<int>({1, 4}));
        program.kill();
        program.waitForFinished(2000);
    }
    {
        QProcess program;
        const quint16 port = StartSimProgram(program, {"--port", "0"});
        ASSERT_NE(port, 0);
        TcpPc pc;
        pc.socket.connectToHost(QHostAddress::LocalHost, port);
        pc.socket.write(analog);
        ASSERT_TRUE(WaitUntil([&] { return replies(pc).size() == 1; }));
        const QByteArray first = replies(pc)[0];
        EXPECT_TRUE(WaitUntil([&] {
            pc.chunks.clear();
            pc.socket.write(analog);
            return WaitUntil([&] { return replies(pc).size() == 1; }) && replies(pc)[0] != first;
        }, 10000));
        const QList<QByteArray> frames = pc.Frames();
        EXPECT_TRUE(std::all_of(frames.begin(), frames.end(),
                                [](const QByteArray& f) { return quint8(f[5]) != kPktEvent; }))
            << "no events unless asked";
        program.kill();
        program.waitForFinished(2000);
    }
    for (const char* bad : {"0", "x", "86401"})
        EXPECT_EQ(QProcess::execute(KORVEL_SIM_PATH, {"--port", "0", "--events", bad}), 2) << bad;
}

TEST_F(SimTcp, TaskBlockIsReadWholeAndReplacedOnlyByAWholeBlock)
{
    const QByteArray fresh = sim.TaskBlock();
    ASSERT_EQ(fresh.size(), 194);
    EXPECT_EQ(fresh[1], 0);
    EXPECT_NE(fresh[0], 0);

    QByteArray block(194, '\0');
    block[1] = char(12);
    block[5] = char(5);
    QList<QByteArray> got = Exchange(pc, {Set(0x88, block.left(193)), Set(0x88, block), Request(0, 0, kPktGet, 0x88)});
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktAck, kPktReply}));
    EXPECT_EQ(quint8(got[2][0]), 201);
    EXPECT_EQ(got[2].mid(7, 194), block);
    EXPECT_EQ(sim.TaskBlockWrites(), 1);
}

// ---- Data logger ------------------------------------------------------------------

namespace {

constexpr int kSampleCount = 0x11, kSampleBlock = 0x12, kMinMaxCount = 0x13, kMinMaxBlock = 0x14;
constexpr int kLoggerStart = 0x15, kLoggerStop = 0x16, kLoggerStartTime = 0x17, kLoggerTimerCmd = 0x18;

// The logger values of the station's system block set to these.
void SetLogSystem(SimModule& sim, int ratio, bool rollover, int station = 0)
{
    QByteArray system = sim.BlockData(kBlockSystem, 0, station);
    system[kLogRatioData] = char(ratio);
    system[kLogSystemData] = char(rollover ? 0xC0 | kLogRollover : 0xC0);  // the other bits mean nothing here
    sim.SetBlockData(kBlockSystem, 0, system, station);
}

QByteArray Get(int command, const QByteArray& data = {}, int station = 0)
{
    return Request(station, station ? kRadioRoute : 0, kPktGet, command, data);
}

QByteArray Reply(int command, const QByteArray& data, int station = 0)
{
    return Answer(station, station ? kRadioRoute : 0, kPktReply, command, data);
}

QByteArray Index(int start)
{
    return Bytes({start & 0xFF, start >> 8});
}

// A min/max record that tells which it is.
QByteArray MinMaxRecord(int k)
{
    QByteArray record;
    for (int i = 0; i < 11; ++i)
        record.append(char(k + 16 * i));
    return record;
}

}  // namespace

TEST_F(SimTcp, LoggerCountsAndBlocksAnswerFromTheStartIndexUpToTheCount)
{
    SetLogSystem(sim, 50, false);
    sim.FillLogger(100, 3, 23);
    sim.AddRemoteStation(4);
    SetLogSystem(sim, 50, false, 4);
    sim.LogSamples({{5, 321}}, 4);
    const QByteArray samples = sim.SampleRecords(), minMax = sim.MinMaxRecords();
    ASSERT_EQ(samples.size(), 300 * 4);
    ASSERT_EQ(minMax.size(), 23 * 11);

    const QList<QByteArray> got = Exchange(
        pc, {Get(kSampleCount), Get(kMinMaxCount), Get(kSampleBlock, Index(0)), Get(kSampleBlock, Index(260)),
             Get(kSampleBlock, Index(280)), Get(kSampleBlock, Index(300)), Get(kSampleBlock, Index(0xFFFF)),
             Get(kMinMaxBlock, Index(10)), Get(kMinMaxBlock, Index(20)), Get(kMinMaxBlock, Index(23)),
             Get(kSampleBlock, Bytes({0})), Get(kMinMaxBlock), Get(kSampleCount, {}, 4),
             Get(kSampleBlock, Index(0), 4)});
    EXPECT_EQ(got, QList<QByteArray>({
                       Reply(kSampleCount, Bytes({44, 1})),
                       Reply(kMinMaxCount, Bytes({23, 0})),
                       Reply(kSampleBlock, Index(0) + samples.left(160)),
                       Reply(kSampleBlock, Index(260) + samples.mid(260 * 4)),  // exactly the last 40
                       Reply(kSampleBlock, Index(280) + samples.mid(280 * 4)),
                       Reply(kSampleBlock, Index(300)),
                       Reply(kSampleBlock, Index(0xFFFF)),
                       Reply(kMinMaxBlock, Index(10) + minMax.mid(10 * 11, 110)),
                       Reply(kMinMaxBlock, Index(20) + minMax.mid(20 * 11)),
                       Reply(kMinMaxBlock, Index(23)),
                       Answer(0, 0, kPktNack, kSampleBlock),
                       Answer(0, 0, kPktNack, kMinMaxBlock),
                       Reply(kSampleCount, Bytes({1, 0}), 4),
                       Reply(kSampleBlock, Index(0) + Bytes({65, 0x51, 0, 0}), 4),
                   }));
    EXPECT_EQ(got.value(5).left(1), Bytes({9}));

    // Counted beyond its memory: the counts say more, and blocks past the records held
    // bring them round again.
    sim.SetLogCountsBeyondMemory(30, 5);
    EXPECT_EQ(Exchange(pc, {Get(kSampleCount), Get(kMinMaxCount), Get(kSampleBlock, Index(290)),
                            Get(kMinMaxBlock, Index(20)), Get(kSampleBlock, Index(330))}),
              QList<QByteArray>({Reply(kSampleCount, Bytes({74, 1})), Reply(kMinMaxCount, Bytes({28, 0})),
                                 Reply(kSampleBlock, Index(290) + samples.mid(290 * 4) + samples.left(30 * 4)),
                                 Reply(kMinMaxBlock, Index(20) + minMax.mid(20 * 11) + minMax.left(5 * 11)),
                                 Reply(kSampleBlock, Index(330))}));
}

TEST_F(SimTcp, SamplesOfOneInstantShareASerialThatWrapsAfter65535)
{
    SetLogSystem(sim, 50, false);
    sim.SetNextSampleSerial(65534);
    sim.LogSamples({{0, 0x123}, {16, 5}, {9, 4095}, {3, 4096}});  // the two out of range are left out
    sim.LogSamples({{15, 0}});
    sim.LogSamples({{2, 7}, {8, 0x800}});
    const QList<QByteArray> got = Exchange(pc, {Get(kSampleBlock, Index(0))});
    EXPECT_EQ(got.value(0), Reply(kSampleBlock, Index(0) + Bytes({0x23, 0x01, 0xFE, 0xFF, 0xFF, 0x9F, 0xFE, 0xFF,  //
                                                                   0x00, 0xF0, 0xFF, 0xFF,                          //
                                                                   0x07, 0x20, 0x00, 0x00, 0x00, 0x88, 0x00, 0x00})));

    // A filled logger: one record per channel and instant, in channel order, serials counting.
    SimModule filled;
    SetLogSystem(filled, 50, false);
    filled.FillLogger(100, 3, 0);
    const QByteArray records = filled.SampleRecords();
    ASSERT_EQ(records.size(), 300 * 4);
    QSet<int> values;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(quint8(records[4 * i + 1]) >> 4, i % 3) << i;
        EXPECT_EQ(quint8(records[4 * i + 2]) | quint8(records[4 * i + 3]) << 8, i / 3) << i;
        values.insert(quint8(records[4 * i]) | (quint8(records[4 * i + 1]) & 0x0F) << 8);
    }
    EXPECT_TRUE(values.contains(0) && values.contains(4095));
    EXPECT_GT(values.size(), 100);
}

TEST_F(SimTcp, LoggerCapacityFollowsTheRatioInTheStoredSystemBlock)
{
    // Ratio, sample and min/max capacity. 76 is a tie, rounded to the even 1474.
    const int cases[][3] = {{50, 3072, 1117}, {0, 6143, 0}, {100, 0, 2234}, {76, 1474, 1698},
                            {1, 6082, 22},    {99, 61, 2211}, {200, 0, 2234}};
    for (const auto& [ratio, samples, minMax] : cases) {
        QByteArray system = sim.BlockData(kBlockSystem, 0);
        system[kLogRatioData] = char(ratio);
        Exchange(pc, {Set(kBlockSystem, system)});
        EXPECT_EQ(sim.SampleCapacity(), samples) << ratio;
        EXPECT_EQ(sim.MinMaxCapacity(), minMax) << ratio;
    }
    // The ratio last written leaves no room for samples.
    sim.FillLogger(5, 2, 3);
    EXPECT_EQ(Exchange(pc, {Get(kSampleCount), Get(kMinMaxCount)}),
              QList<QByteArray>({Reply(kSampleCount, Bytes({0, 0})), Reply(kMinMaxCount, Bytes({3, 0}))}));
}

TEST_F(SimTcp, FullLogRollsOverWithTheRolloverBitAndStopsWithoutIt)
{
    SetLogSystem(sim, 99, false);  // 61 samples
    sim.FillLogger(70, 1, 0);
    const QByteArray held = sim.SampleRecords();
    ASSERT_EQ(held.size(), 61 * 4);
    EXPECT_EQ(held.right(2), Bytes({60, 0}));
    SetLogSystem(sim, 99, true);
    sim.LogSamples({{1, 100}});  // serials moved on while the log was full
    EXPECT_EQ(Exchange(pc, {Get(kSampleCount), Get(kSampleBlock, Index(60))}),
              QList<QByteArray>({Reply(kSampleCount, Bytes({61, 0})),
                                 Reply(kSampleBlock, Index(60) + Bytes({100, 0x10, 70, 0}))}));
    EXPECT_EQ(sim.SampleRecords(), held.mid(4) + Bytes({100, 0x10, 70, 0}));

    SetLogSystem(sim, 1, false);  // 22 min/max records
    QByteArray expected;
    for (int k = 0; k < 25; ++k) {
        sim.LogMinMax(MinMaxRecord(k));
        if (k >= 3 && k < 22)
            expected += MinMaxRecord(k);
    }
    SetLogSystem(sim, 1, true);
    for (int k = 25; k < 28; ++k) {
        sim.LogMinMax(MinMaxRecord(k));
        expected += MinMaxRecord(k);
    }
    sim.LogMinMax(MinMaxRecord(99).left(10));
    EXPECT_EQ(Exchange(pc, {Get(kMinMaxCount), Get(kMinMaxBlock, Index(19))}),
              QList<QByteArray>({Reply(kMinMaxCount, Bytes({22, 0})),
                                 Reply(kMinMaxBlock, Index(19) + expected.right(3 * 11))}));
    EXPECT_EQ(sim.MinMaxRecords(), expected);
}

TEST_F(SimTcp, LoggerStartErasesTheLogsAndTakesTheClockWhileStateGetsChangeNothing)
{
    SetLogSystem(sim, 50, false);
    sim.FillLogger(10, 2, 5);
    sim.SetNextSampleSerial(500);
    const QByteArray clock = Bytes({1, 2, 25, 3, 4, 5});
    QList<QByteArray> got = Exchange(pc, {Get(kLoggerStart), Get(kLoggerStop), Get(kLoggerStartTime),
                                          Request(0, 0, kPktSet, 0x10, clock)});
    EXPECT_EQ(got.mid(0, 3), QList<QByteArray>({Reply(kLoggerStart, Bytes({0})), Reply(kLoggerStop, Bytes({0})),
                                                Reply(kLoggerStartTime, Bytes({2, 11, 23, 7, 45, 3}))}));
    EXPECT_FALSE(sim.LoggerRunning());

    // A refused start changes nothing.
    sim.SetFault(Fault::Nack, 1);
    got = Exchange(pc, {Set(kLoggerStart), Set(kLoggerStart), Get(kLoggerStop), Get(kLoggerStart), Get(kSampleCount),
                        Get(kMinMaxCount), Get(kLoggerStartTime)});
    EXPECT_EQ(got, QList<QByteArray>({Answer(0, 0, kPktNack, kLoggerStart), Answer(0, 0, kPktAck, kLoggerStart),
                                      Reply(kLoggerStop, Bytes({1})), Reply(kLoggerStart, Bytes({1})),
                                      Reply(kSampleCount, Bytes({0, 0})), Reply(kMinMaxCount, Bytes({0, 0})),
                                      Reply(kLoggerStartTime, clock)}));
    EXPECT_EQ(sim.LoggerStarts(), 1);
    sim.LogSamples({{4, 9}});
    EXPECT_EQ(sim.SampleRecords(), Bytes({9, 0x40, 0, 0}));

    got = Exchange(pc, {Set(kLoggerStop), Get(kLoggerStart), Get(kSampleCount)});
    EXPECT_EQ(got, QList<QByteArray>({Answer(0, 0, kPktAck, kLoggerStop), Reply(kLoggerStart, Bytes({0})),
                                      Reply(kSampleCount, Bytes({1, 0}))}));
    EXPECT_EQ(sim.LoggerStops(), 1);
    EXPECT_EQ(sim.LoggerStarts(), 1);
}

TEST_F(SimTcp, LoggerTimersAndSettingBytesGoBackAsReadAndOnlyAWholeWriteIsTaken)
{
    const QByteArray settings = sim.LoggerSettingBytes();
    ASSERT_EQ(settings.size(), 25);
    EXPECT_FALSE(settings.contains('\0'));
    sim.SetLoggerTimer(0, 20737);
    sim.SetLoggerTimer(8, 0xFFFFFF);
    QList<QByteArray> got = Exchange(pc, {Get(kLoggerTimerCmd)});
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(quint8(got[0][0]), 59);
    EXPECT_EQ(got[0].mid(7, 52),
              Bytes({0x01, 0x51, 0x00}) + QByteArray(21, '\0') + Bytes({0xFF, 0xFF, 0xFF}) + settings);

    QByteArray write;
    for (int i = 0; i < 52; ++i)
        write.append(char(0xA0 + i));
    got = Exchange(pc, {Set(kLoggerTimerCmd, write.left(51)), Set(kLoggerTimerCmd, write + 'x'),
                        Set(kLoggerTimerCmd, write), Get(kLoggerTimerCmd)});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktNack, kPktAck, kPktReply}));
    EXPECT_EQ(got.value(3), Reply(kLoggerTimerCmd, write));
    EXPECT_EQ(sim.LoggerTimers().value(0), 0xA2A1A0);
    EXPECT_EQ(sim.LoggerTimers().value(8), 0xBAB9B8);
    EXPECT_EQ(sim.LoggerSettingBytes(), write.mid(27));
    EXPECT_EQ(sim.LoggerTimerWrites(), 1);
    EXPECT_EQ(sim.LastLoggerTimerWrite(), write);
}

TEST(SimProgram, StartsWithARunningLoggerThatHoldsRecords)
{
    QProcess program;
    const quint16 port = StartSimProgram(program, {"--port", "0", "--korvel", "1"});
    ASSERT_NE(port, 0);

    TcpPc pc;
    pc.socket.connectToHost(QHostAddress::LocalHost, port);
    const QList<QByteArray> got =
        Exchange(pc, {Get(kSampleCount), Get(kMinMaxCount), Get(kLoggerStart), Get(kLoggerTimerCmd)});
    ASSERT_EQ(got.size(), 4);
    // Set up after --korvel replaced the configuration: 200 instants of 3 channels.
    EXPECT_EQ(got.mid(0, 3), QList<QByteArray>({Reply(kSampleCount, Bytes({0x58, 0x02})),
                                                Reply(kMinMaxCount, Bytes({40, 0})), Reply(kLoggerStart, Bytes({1}))}));
    EXPECT_EQ(got[3].mid(7, 3), Bytes({0x01, 0x51, 0x00}));
    program.kill();
    program.waitForFinished(2000);
}

// ---- Program flash and boot loader ---------------------------------------------------

namespace {

// The word address of a page half, high byte first, as its frames carry it.
QByteArray Word(int byteAddress)
{
    return Bytes({(byteAddress / 2) >> 8, (byteAddress / 2) & 0xFF});
}

QByteArray PageWrite(int command, int byteAddress, const QByteArray& bytes)
{
    return Set(command, Word(byteAddress) + bytes);
}

QByteArray PageRead(int command, int byteAddress)
{
    return Get(command, Word(byteAddress));
}

QByteArray PageReply(int command, int byteAddress, const QByteArray& bytes)
{
    return Reply(command, Word(byteAddress) + bytes);
}

// A page half that tells which one it is.
QByteArray Half(int seed)
{
    QByteArray bytes(kFlashHalfBytes, '\0');
    for (int i = 0; i < kFlashHalfBytes; ++i)
        bytes[i] = char(seed + 3 * i);
    return bytes;
}

QByteArray Ack(int command)
{
    return Answer(0, 0, kPktAck, command);
}

QByteArray Nack(int command)
{
    return Answer(0, 0, kPktNack, command);
}

const QByteArray kAskInfo = Bytes({2});
const QByteArray kBootLoaderInfo = Bytes({kBootLoaderIdentity, 0, kBootLoaderVersion, 0, 0, 0, 0});

// Like Exchange, for requests some of which get no answer: the answers once `answers`
// have come. As answers keep their order, a later request's answer shows that an
// earlier one got none.
QList<QByteArray> Answers(TcpPc& pc, const QList<QByteArray>& requests, int answers)
{
    pc.chunks.clear();
    pc.socket.write(requests.join());
    EXPECT_TRUE(pc.WaitFrames(answers));
    return pc.Frames();
}

}  // namespace

TEST(SimFlash, NewSimHoldsAnApplicationTheBoardPageAndErasedFlashElsewhere)
{
    SimModule sim;
    const QByteArray flash = sim.Flash();
    ASSERT_EQ(flash.size(), kFlashBytes);
    int flatPages = 0;
    for (int page = 0; page < kInitialApplicationBytes; page += kFlashPageBytes)
        flatPages += flash.mid(page, kFlashPageBytes).count(flash[page]) == kFlashPageBytes;
    EXPECT_EQ(flatPages, 0);
    const int erased = kBoardPageAddress - kInitialApplicationBytes;
    EXPECT_EQ(flash.mid(kInitialApplicationBytes, erased), QByteArray(erased, char(0xFF)));
    EXPECT_EQ(sim.BoardPage(), SimModule::MakeBoardPage({}));
    const int top = kFlashBytes - kBoardPageAddress - kFlashPageBytes;
    EXPECT_EQ(flash.mid(kBoardPageAddress + kFlashPageBytes), QByteArray(top, char(0xFF)));

    // SetFlash keeps to the flash at both ends.
    sim.SetFlash(kFlashBytes - 2, Bytes({1, 2, 3}));
    sim.SetFlash(-2, Bytes({4, 5, 6}));
    EXPECT_EQ(sim.Flash().size(), kFlashBytes);
    EXPECT_EQ(sim.Flash().right(2), Bytes({1, 2}));
    EXPECT_EQ(sim.Flash().left(2), Bytes({6, flash[1]}));
}

TEST(SimFlash, BoardPageCodesItsFieldsAndCarriesItsOwnCrc)
{
    EXPECT_EQ(SimModule::Crc16("123456789"), 0x31C3);
    const QByteArray page = SimModule::MakeBoardPage({});
    ASSERT_EQ(page.size(), kFlashPageBytes);
    EXPECT_FALSE(page.left(0xD8).contains(char(0xFF)));
    // Serial "10293847", type "A1", revision "03": each character code in two decimal digits.
    EXPECT_EQ(page.mid(0xD8, 12), Bytes({0x49, 0x48, 0x50, 0x57, 0x51, 0x56, 0x52, 0x55, 0x65, 0x49, 0x48, 0x51}));
    EXPECT_EQ(page.mid(0xE4, 20), QByteArray("03-Feb-25, 10:20:30") + char(0));
    EXPECT_EQ(page.mid(0xF8, 6), Bytes({7, 0, 0xFF, 0x7F, 0x3C, 0x5A}));
    EXPECT_EQ(quint8(page[0xFE]) | quint8(page[0xFF]) << 8, SimModule::Crc16(page.left(0xFE)));
    EXPECT_TRUE(SimModule::BoardPageCrcGood(page));
    for (int at : {0, 0xD8, 0xFD, 0xFE, 0xFF}) {
        QByteArray bad = page;
        bad[at] = char(bad[at] ^ 0x01);
        EXPECT_FALSE(SimModule::BoardPageCrcGood(bad)) << at;
    }
    EXPECT_FALSE(SimModule::BoardPageCrcGood(page.left(0xFF)));
}

TEST_F(SimTcp, FirmwareLoadWritesBothHalvesOfAPageReadsThemBackAndRestarts)
{
    const QByteArray before = sim.Flash();
    const QByteArray appInfo = sim.ModuleInfo();
    const QByteArray low = Half(0x10), high = Half(0x90);
    // 0x1280 is word 0x0940: a swapped address would be no page half at all.
    QList<QByteArray> got = Exchange(pc, {Set(kCmdEnterBootLoader), Get(0x00, kAskInfo), Get(kCmdFlashUnlock),
                                          Set(kCmdFlashUnlock), Get(kCmdFlashUnlock),
                                          PageWrite(kCmdFlashPageLow, 0x1200, low),
                                          PageWrite(kCmdFlashPageHigh, 0x1280, high)});
    EXPECT_EQ(got, QList<QByteArray>({Ack(kCmdEnterBootLoader), Reply(0x00, kBootLoaderInfo),
                                      Reply(kCmdFlashUnlock, Bytes({0})), Ack(kCmdFlashUnlock),
                                      Reply(kCmdFlashUnlock, Bytes({1})), Ack(kCmdFlashPageLow), Ack(kCmdFlashPageHigh)}));
    EXPECT_FALSE(sim.ApplicationComplete());
    // A low half erases its whole page: without its high half the page has lost it.
    ASSERT_EQ(Exchange(pc, {PageWrite(kCmdFlashPageLow, 0x1300, low)}), QList<QByteArray>({Ack(kCmdFlashPageLow)}));
    EXPECT_EQ(sim.Flash().mid(0x1300, kFlashPageBytes), low + QByteArray(kFlashHalfBytes, char(0xFF)));
    ASSERT_NE(before.mid(0x1380, kFlashHalfBytes), QByteArray(kFlashHalfBytes, char(0xFF)));

    got = Exchange(pc, {PageRead(kCmdFlashPageLow, 0x1200), PageRead(kCmdFlashPageHigh, 0x1280),
                        Set(kCmdRestartProcesses), Get(0x00, kAskInfo), Get(kCmdFlashUnlock)});
    EXPECT_EQ(got, QList<QByteArray>({PageReply(kCmdFlashPageLow, 0x1200, low), PageReply(kCmdFlashPageHigh, 0x1280, high),
                                      Ack(kCmdRestartProcesses), Reply(0x00, appInfo), Reply(kCmdFlashUnlock, Bytes({0}))}));
    EXPECT_EQ(sim.Mode(), FlashMode::Application);
    EXPECT_TRUE(sim.ApplicationComplete());
    EXPECT_EQ(sim.PageWrites(), QList<int>({0x1200, 0x1280, 0x1300}));
    EXPECT_EQ(sim.BootLoaderRestarts(), 1);
    QByteArray expected = before;
    expected.replace(0x1200, kFlashPageBytes, low + high);
    expected.replace(0x1300, kFlashPageBytes, low + QByteArray(kFlashHalfBytes, char(0xFF)));
    EXPECT_EQ(sim.Flash(), expected);

    sim.ClearReceived();
    EXPECT_TRUE(sim.PageWrites().isEmpty() && sim.PageReads().isEmpty());
    EXPECT_EQ(sim.BootLoaderEntries(), 1);
}

TEST_F(SimTcp, PageWritesAreTakenOnlyUnlockedInTheBootLoaderWithTheRightHalfAndLength)
{
    sim.AddRemoteStation(5);
    const QByteArray before = sim.Flash();
    const QByteArray half = Half(1);
    // A remote station has no boot loader; its restart keeps its meaning.
    QList<QByteArray> got = Exchange(pc, {ToStation(5, 3, kPktSet, kCmdEnterBootLoader),
                                          ToStation(5, 3, kPktSet, kCmdFlashUnlock),
                                          ToStation(5, 3, kPktGet, kCmdFlashPageLow, Word(0)),
                                          ToStation(5, 3, kPktSet, kCmdRestartProcesses)});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktNack, kPktNack, kPktAck}));

    got = Exchange(pc, {Set(kCmdFlashUnlock), PageWrite(kCmdFlashPageLow, 0, half),  // in the application
                        Set(kCmdEnterBootLoader), PageWrite(kCmdFlashPageLow, 0, half),  // locked
                        Set(kCmdFlashUnlock), PageWrite(kCmdFlashPageLow, 0x80, half), PageWrite(kCmdFlashPageHigh, 0x100, half),
                        PageWrite(kCmdFlashPageLow, 0x100, half.left(127)), PageWrite(kCmdFlashPageLow, 0x100, half + char(0)),
                        Get(kCmdFlashPageLow, Word(0x100) + char(0)), PageRead(kCmdFlashPageHigh, 0x100),
                        PageWrite(kCmdFlashPageHigh, kFlashBytes - kFlashHalfBytes, half)});
    EXPECT_EQ(Types(got), QList<int>({kPktNack, kPktNack, kPktAck, kPktNack, kPktAck, kPktNack, kPktNack, kPktNack,
                                      kPktNack, kPktNack, kPktNack, kPktAck}));
    EXPECT_EQ(sim.PageWrites(), QList<int>({kFlashBytes - kFlashHalfBytes}));
    EXPECT_TRUE(sim.PageReads().isEmpty());
    QByteArray expected = before;
    expected.replace(kFlashBytes - kFlashHalfBytes, kFlashHalfBytes, half);
    EXPECT_EQ(sim.Flash(), expected);

    // Entered again, the boot loader is locked; a refused unlock is acknowledged all the same.
    sim.SetRefuseUnlock(true);
    got = Exchange(pc, {Set(kCmdEnterBootLoader), Set(kCmdFlashUnlock), Get(kCmdFlashUnlock),
                        PageWrite(kCmdFlashPageLow, 0, half)});
    EXPECT_EQ(got, QList<QByteArray>({Ack(kCmdEnterBootLoader), Ack(kCmdFlashUnlock), Reply(kCmdFlashUnlock, Bytes({0})),
                                      Nack(kCmdFlashPageLow)}));
    EXPECT_EQ(sim.BootLoaderEntries(), 2);

    // A refused page write stores nothing; the other half still goes.
    sim.SetRefuseUnlock(false);
    sim.SetNackCommand(kCmdFlashPageLow);
    got = Exchange(pc, {Set(kCmdFlashUnlock), PageWrite(kCmdFlashPageLow, 0x200, half),
                        PageWrite(kCmdFlashPageHigh, 0x280, half)});
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktNack, kPktAck}));
    EXPECT_EQ(sim.PageWrites().last(), 0x280);
    EXPECT_EQ(sim.Flash().mid(0x200, kFlashHalfBytes), before.mid(0x200, kFlashHalfBytes));
}

TEST_F(SimTcp, BootLoaderNacksAllElsePassesNothingOnAndTheSiteKeepsStill)
{
    sim.AddRemoteStation(5);
    const quint8 localInputs = sim.InputBits(0), remoteInputs = sim.InputBits(0, 5);
    const int analog = sim.AnalogCode(0, 0);
    QList<QByteArray> got = Exchange(pc, {Set(kCmdEnterBootLoader), Get(kBlockSystem, Bytes({0})), Set(0x86),
                                          Get(kCmdChannelClear), Get(kCmdEnterBootLoader), Set(0x44)});
    EXPECT_EQ(Types(got), QList<int>({kPktAck, kPktNack, kPktNack, kPktNack, kPktNack, kPktNack}));
    EXPECT_FALSE(sim.ProcessesStopped());
    got = Answers(pc, {ToStation(5, 3, kPktGet, 0x10), Get(0x10)}, 1);
    EXPECT_EQ(got, QList<QByteArray>({Nack(0x10)}));

    sim.SetEventInterval(1);
    sim.SetLiveChanges(true);
    pc.chunks.clear();
    RunFor(1500);
    EXPECT_TRUE(pc.chunks.isEmpty());
    EXPECT_EQ(sim.InputBits(0), localInputs);
    EXPECT_EQ(sim.InputBits(0, 5), remoteInputs);
    EXPECT_EQ(sim.AnalogCode(0, 0), analog);
}

TEST_F(SimTcp, LostPageWritesGetNoAnswerForTheirCountThenGoThrough)
{
    const QByteArray before = sim.Flash();
    const QByteArray a = Half(0x20), b = Half(0x40);
    sim.LosePageWrite(0x400, 1);
    sim.LosePageWrite(0x500);
    Exchange(pc, {Set(kCmdEnterBootLoader), Set(kCmdFlashUnlock)});
    const QList<QByteArray> got =
        Answers(pc, {PageWrite(kCmdFlashPageLow, 0x400, a), PageWrite(kCmdFlashPageHigh, 0x480, b),
                     PageWrite(kCmdFlashPageLow, 0x500, b), PageWrite(kCmdFlashPageLow, 0x400, a),
                     PageWrite(kCmdFlashPageLow, 0x500, b), Get(kCmdFlashUnlock)}, 3);
    EXPECT_EQ(got, QList<QByteArray>({Ack(kCmdFlashPageHigh), Ack(kCmdFlashPageLow), Reply(kCmdFlashUnlock, Bytes({1}))}));
    EXPECT_EQ(sim.PageWrites(), QList<int>({0x480, 0x400}));
    // The high half went in first; the low half then erased its page.
    EXPECT_EQ(sim.Flash().mid(0x400, kFlashPageBytes), a + QByteArray(kFlashHalfBytes, char(0xFF)));
    EXPECT_EQ(sim.Flash().mid(0x500, kFlashHalfBytes), before.mid(0x500, kFlashHalfBytes));

    sim.LosePageWrite(0x500, 0);
    EXPECT_EQ(Exchange(pc, {PageWrite(kCmdFlashPageLow, 0x500, b)}), QList<QByteArray>({Ack(kCmdFlashPageLow)}));
}

TEST_F(SimTcp, ShiftedPageReadsAnswerAnotherPagesAddressAndData)
{
    const QByteArray flash = sim.Flash();
    ASSERT_NE(flash.mid(0x1000, kFlashHalfBytes), flash.mid(0x1100, kFlashHalfBytes));
    // Read in the application: reads need no boot loader.
    sim.SetPageReadAddressShift(kFlashPageBytes);
    QList<QByteArray> got = Exchange(pc, {PageRead(kCmdFlashPageLow, 0x1000), PageRead(kCmdFlashPageHigh, 0x1080),
                                          PageRead(kCmdFlashPageHigh, kFlashBytes - kFlashHalfBytes)});
    EXPECT_EQ(got, QList<QByteArray>({PageReply(kCmdFlashPageLow, 0x1100, flash.mid(0x1100, kFlashHalfBytes)),
                                      PageReply(kCmdFlashPageHigh, 0x1180, flash.mid(0x1180, kFlashHalfBytes)),
                                      Nack(kCmdFlashPageHigh)}));
    EXPECT_EQ(sim.PageReads(), QList<int>({0x1000, 0x1080}));

    sim.SetPageReadAddressShift(0);
    got = Exchange(pc, {PageRead(kCmdFlashPageLow, 0x1000)});
    EXPECT_EQ(got, QList<QByteArray>({PageReply(kCmdFlashPageLow, 0x1000, flash.mid(0x1000, kFlashHalfBytes))}));
}

TEST_F(SimTcp, PowerCutDuringALoadKeepsWhatWasWrittenAndStartsTheBootLoader)
{
    const QByteArray before = sim.Flash();
    const QByteArray system = sim.BlockData(kBlockSystem, 0);
    const QByteArray appInfo = sim.ModuleInfo();
    const QByteArray a = Half(3), b = Half(5), c = Half(7);
    Exchange(pc, {Set(kCmdEnterBootLoader), Set(kCmdFlashUnlock)});
    sim.CutPowerAfterPageWrites(1);
    sim.CutPowerAfterPageWrites(0);
    Exchange(pc, {PageWrite(kCmdFlashPageLow, 0, a)});
    ASSERT_TRUE(sim.Powered());

    sim.CutPowerAfterPageWrites(2);
    QByteArray changed = system;
    changed[1] = char(changed[1] ^ 0x33);
    QList<QByteArray> got = Answers(pc, {PageWrite(kCmdFlashPageHigh, 0x80, b), PageWrite(kCmdFlashPageLow, 0x100, c),
                                         PageWrite(kCmdFlashPageHigh, 0x180, c), Get(0x00, kAskInfo),
                                         Set(kBlockSystem, changed)}, 2);
    EXPECT_EQ(got, QList<QByteArray>({Ack(kCmdFlashPageHigh), Ack(kCmdFlashPageLow)}));
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 8; }));
    EXPECT_FALSE(sim.Powered());

    sim.PowerUp();
    EXPECT_TRUE(sim.InBootLoader());
    EXPECT_FALSE(sim.FlashUnlocked());
    EXPECT_FALSE(sim.ApplicationComplete());
    // The first answer after the two before the cut: the unpowered frames got none.
    got = Answers(pc, {Get(kCmdFlashUnlock), PageWrite(kCmdFlashPageHigh, 0x180, c)}, 2);
    EXPECT_EQ(got, QList<QByteArray>({Reply(kCmdFlashUnlock, Bytes({0})), Nack(kCmdFlashPageHigh)}));
    EXPECT_EQ(sim.Flash().left(0x180), a + b + c);
    // Erased with its page's low half, never written.
    EXPECT_EQ(sim.Flash().mid(0x180, kFlashHalfBytes), QByteArray(kFlashHalfBytes, char(0xFF)));
    EXPECT_EQ(sim.Flash().mid(0x200), before.mid(0x200));
    EXPECT_EQ(sim.BlockData(kBlockSystem, 0), system);

    got = Exchange(pc, {Set(kCmdFlashUnlock), PageWrite(kCmdFlashPageHigh, 0x180, c), Set(kCmdRestartProcesses),
                        Get(0x00, kAskInfo)});
    EXPECT_EQ(got, QList<QByteArray>({Ack(kCmdFlashUnlock), Ack(kCmdFlashPageHigh), Ack(kCmdRestartProcesses),
                                      Reply(0x00, appInfo)}));
    EXPECT_TRUE(sim.ApplicationComplete());
    sim.PowerUp();
    EXPECT_EQ(sim.Mode(), FlashMode::Application);
}

TEST_F(SimTcp, SwitchingProgramsTheModuleHearsNothingForTheSwitchTime)
{
    sim.SetModeSwitchMs(300);
    sim.SetBootLoaderVersion(0x17);
    const QByteArray appInfo = sim.ModuleInfo();
    for (const auto& [command, info] : {std::pair{kCmdEnterBootLoader, Bytes({kBootLoaderIdentity, 0, 0x17, 0, 0, 0, 0})},
                                        std::pair{kCmdRestartProcesses, appInfo}}) {
        SCOPED_TRACE(command);
        const int received = sim.ReceivedCount();
        // The GET comes with the SET, while the module restarts.
        Answers(pc, {Set(command), Get(0x00, kAskInfo)}, 1);
        ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == received + 2; }));
        RunFor(400);
        pc.socket.write(Get(0x00, kAskInfo));
        ASSERT_TRUE(pc.WaitFrames(2));
        EXPECT_EQ(pc.Frames(), QList<QByteArray>({Ack(command), Reply(0x00, info)}));
    }
}

TEST(SimProgram, BootLoaderOptionStartsThereAndTheRestartTakesASecond)
{
    QProcess program;
    const quint16 port = StartSimProgram(program, {"--port", "0", "--boot-loader"});
    ASSERT_NE(port, 0);
    TcpPc pc;
    pc.socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_EQ(Exchange(pc, {Get(0x00, kAskInfo)}), QList<QByteArray>({Reply(0x00, kBootLoaderInfo)}));

    QElapsedTimer clock;
    clock.start();
    pc.chunks.clear();
    pc.socket.write(Set(kCmdRestartProcesses));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { pc.socket.write(Get(0x00, kAskInfo)); });
    poll.start(100);
    ASSERT_TRUE(WaitUntil([&] { return pc.Frames().size() >= 2; }));
    EXPECT_GE(clock.elapsed(), 990);
    poll.stop();
    EXPECT_EQ(pc.Frames().mid(0, 2),
              QList<QByteArray>({Ack(kCmdRestartProcesses), Reply(0x00, SimModule().ModuleInfo())}));
    program.kill();
    program.waitForFinished(2000);
}

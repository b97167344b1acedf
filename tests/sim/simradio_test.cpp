#include "simtestutil.h"
#include "simradio.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

using namespace korvel::sim;
using namespace korvel::sim::test;

namespace {



QByteArray Request(int station, int type, int command, const QByteArray& data = {})
{
    return MakeFrame(Bytes({7 + int(data.size()), station, 0, 0, 0, type, command}) + data);
}

QByteArray Answer(int station, int type, int command, const QByteArray& data = {})
{
    return MakeFrame(Bytes({7 + int(data.size()), 0, station, 0, 0, type, command}) + data);
}

// Written out by hand once; the tests after the example frame build the rest.
const QByteArray kAck("\x02" "0" "\x03");
const QByteArray kNack("\x02" "1" "\x03");
const QByteArray kBusy("\x02" "2" "\x03");
const QByteArray kDataError("\x02" "3" "\x03");

QByteArray ToRemote(const QByteArray& frame)
{
    return RadioDataText(kDefaultFleet, kDefaultRadioId, frame);
}

// The utility's end of the radio's serial line.
struct RadioPc {
    RadioPc()
    {
        QObject::connect(&port, &QSerialPort::readyRead, [this] { raw += port.readAll(); });
    }
    ~RadioPc() { QObject::disconnect(&port, nullptr, nullptr, nullptr); }
    bool Open(const QString& path)
    {
        port.setPortName(path);
        return port.open(QIODevice::ReadWrite);
    }
    // Waits for `expected` in full; succeeds when exactly it came.
    testing::AssertionResult Got(const QByteArray& expected)
    {
        WaitUntil([&] { return raw.size() >= expected.size(); });
        if (raw == expected)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "got " << raw.toPercentEncoding().constData() << "\nnot "
                                           << expected.toPercentEncoding().constData();
    }

    QByteArray raw;
    QSerialPort port;  // last: gone before what its slots use
};

class SimRadioPty : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(radio.OpenPty().isEmpty());
        ASSERT_TRUE(pc.Open(radio.PtyPath())) << pc.port.errorString().toStdString();
    }
    void Restart()
    {
        sim.ClearReceived();
        radio.ClearReceived();
        pc.raw.clear();
    }

    SimModule sim;
    SimRadio radio{&sim};
    RadioPc pc;
};

}  // namespace

TEST_F(SimRadioPty, ExampleFrameTravelsBothWaysByteForByte)
{
    const QByteArray example("\x02" "F1001000" "0700000300000BEA" "\x03");
    const QByteArray frame = Bytes({0x07, 0x00, 0x00, 0x03, 0x00, 0x00, 0x0B, 0xEA});
    ASSERT_EQ(example.size(), 2 * 7 + 12);
    pc.port.write(example);
    // The channel-clear poll answered: ACK first, then the module's REPLY from the remote.
    EXPECT_TRUE(pc.Got(kAck + QByteArray("\x02" "F1001000" "0800000300020B00E7" "\x03")));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({frame}));
    EXPECT_EQ(radio.Received(), QList<QByteArray>({example}));

    Restart();
    radio.SendData(frame);
    EXPECT_TRUE(pc.Got(example));
    EXPECT_EQ(RadioDataText(100, 1000, frame), example);
}

TEST_F(SimRadioPty, GetsAndSetsAreAnsweredShortOrLongByTheirLength)
{
    QByteArray outputs = sim.BlockData(kBlockOutputs, 2);
    outputs[3] = char(outputs[3] ^ 0x5A);
    const QList<QByteArray> frames = {Request(0, kPktGet, 0x00), Request(0, kPktGet, kBlockOutputs, Bytes({2})),
                                      Request(0, kPktSet, kBlockOutputs, outputs)};
    const QByteArray setText = ToRemote(frames[2]);
    ASSERT_EQ(setText.left(11), QByteArray("\x02" "G1001000" "1A"));
    pc.port.write(ToRemote(frames[0]) + ToRemote(frames[1]) + setText);

    const QByteArray blockAnswer = Answer(0, kPktReply, kBlockOutputs, sim.BlockData(kBlockOutputs, 2));
    EXPECT_TRUE(pc.Got(kAck + ToRemote(Answer(0, kPktReply, 0x00, sim.ModuleInfo())) + kAck + ToRemote(blockAnswer)
                       + kAck + ToRemote(Answer(0, kPktAck, kBlockOutputs))));
    EXPECT_EQ(ToRemote(blockAnswer).at(1), kRadioLongData);
    EXPECT_EQ(sim.Received(), frames);
    EXPECT_EQ(sim.BlockData(kBlockOutputs, 2), outputs);
}

TEST_F(SimRadioPty, KindChangesAtLength20BothWays)
{
    sim.SetReplyData(0x21, QByteArray(12, 'a'));  // answer L = 19
    sim.SetReplyData(0x22, QByteArray(13, 'b'));  // answer L = 20
    const QByteArray long20 = Request(0, kPktSet, 0x40, QByteArray(13, 'c'));
    const QByteArray short19 = Request(0, kPktSet, 0x41, QByteArray(12, 'd'));
    auto as = [](char kind, const QByteArray& frame) { return RadioText(kind, 100, 1000, frame.toHex().toUpper()); };
    // A frame in the wrong kind is refused, whichever way it is wrong.
    pc.port.write(as('F', long20) + as('G', short19) + as('F', Request(0, kPktGet, 0x21))
                  + as('F', Request(0, kPktGet, 0x22)));
    const QByteArray answer19 = Answer(0, kPktReply, 0x21, QByteArray(12, 'a'));
    const QByteArray answer20 = Answer(0, kPktReply, 0x22, QByteArray(13, 'b'));
    EXPECT_TRUE(pc.Got(kDataError + kDataError + kAck + as('F', answer19) + kAck + as('G', answer20)));
    EXPECT_EQ(sim.ReceivedCount(), 2);
}

TEST_F(SimRadioPty, RefusingRepliesDeliverNothingForTheirCountThenAckAgain)
{
    const QList<std::pair<RadioFault, QByteArray>> faults = {{RadioFault::Nack, kNack},
                                                             {RadioFault::Busy, kBusy},
                                                             {RadioFault::DataError, kDataError},
                                                             {RadioFault::NoReply, {}}};
    const QByteArray last = Request(0, kPktGet, 0x03);
    for (const auto& [fault, reply] : faults) {
        Restart();
        radio.SetFault(fault, 2);
        pc.port.write(ToRemote(Request(0, kPktGet, 0x01)) + ToRemote(Request(0, kPktSet, 0x86)) + ToRemote(last));
        // Replies keep their order, so the answer to the last frame shows the first two got nothing more.
        EXPECT_TRUE(pc.Got(reply + reply + kAck + ToRemote(Answer(0, kPktReply, 0x03, Bytes({0}))))) << int(fault);
        EXPECT_EQ(sim.Received(), QList<QByteArray>({last})) << int(fault);
        EXPECT_EQ(radio.Received().size(), 3);
    }
    EXPECT_FALSE(sim.ProcessesStopped());

    // Until changed; a count of 0 is no fault at all.
    Restart();
    radio.SetFault(RadioFault::Busy);
    pc.port.write(ToRemote(last).repeated(3));
    EXPECT_TRUE(pc.Got(kBusy.repeated(3)));
    radio.SetFault(RadioFault::Nack, 0);
    EXPECT_EQ(radio.CurrentFault(), RadioFault::None);
    pc.port.write(ToRemote(last));
    EXPECT_TRUE(pc.Got(kBusy.repeated(3) + kAck + ToRemote(Answer(0, kPktReply, 0x03, Bytes({0})))));
}

TEST_F(SimRadioPty, FrameForAnotherAddressIsAckedAndGoesNowhere)
{
    const QByteArray get = Request(0, kPktGet, 0x01);
    pc.port.write(RadioDataText(101, 1000, get) + RadioDataText(100, 1001, get) + RadioDataText(0, 0, get));
    EXPECT_TRUE(pc.Got(kAck.repeated(3)));

    radio.SetRemote(120, 2001);
    radio.SetRemote(1000, 1);  // out of range: ignored
    EXPECT_EQ(radio.RemoteFleet(), 120);
    EXPECT_EQ(radio.RemoteId(), 2001);
    pc.port.write(ToRemote(get) + RadioDataText(120, 2001, get));
    EXPECT_TRUE(pc.Got(kAck.repeated(5) + QByteArray("\x02" "F1202001") + Answer(0, kPktReply, 0x01, Bytes({0})).toHex().toUpper()
                       + kRadioEtx));
    EXPECT_EQ(sim.ReceivedCount(), 1);
}

TEST_F(SimRadioPty, MalformedTextGetsDataErrorAndNoiseAndCutFramesAreSkipped)
{
    const QList<QByteArray> malformed = {
        QByteArray("\x02" "F1001000" "0700000300000BE" "\x03"),   // odd length
        QByteArray("\x02" "F1001000" "0700000300000bea" "\x03"),  // lower case
        QByteArray("\x02" "F1001000" "07000003000G0BEA" "\x03"),  // not hex
        QByteArray("\x02" "F10A1000" "0700000300000BEA" "\x03"),  // fleet not decimal
        QByteArray("\x02" "F100100A" "0700000300000BEA" "\x03"),  // ID not decimal
        QByteArray("\x02" "F1001000" "0800000300000BEA" "\x03"),  // Length byte says 9 bytes
        QByteArray("\x02" "F1001000" "00" "\x03"),                // no checksum to carry
        QByteArray("\x02" "F1001000" "\x03"),                     // no content
        QByteArray("\x02" "E1001000" "0700000300000BEA" "\x03"),  // a status kind from the PC
        QByteArray("\x02" "F100" "\x03"),
    };
    const QByteArray good("\x02" "F1001000" "0700000300000BEA" "\x03");
    QByteArray noise("xyz\x03\x01\xFF");
    pc.port.write(malformed.join() + noise + QByteArray("\x02" "F100100007") + good);
    EXPECT_TRUE(pc.Got(kDataError.repeated(malformed.size()) + kAck + QByteArray("\x02" "F1001000" "0800000300020B00E7" "\x03")));
    EXPECT_EQ(radio.Received(), malformed + QList<QByteArray>({good}));
    EXPECT_EQ(sim.ReceivedCount(), 1);
}

TEST_F(SimRadioPty, TextWithoutEtxIsGivenUpAtTheLongestFrame)
{
    const QByteArray longest = kRadioStx + QByteArray(kRadioMaxText - 2, '0') + kRadioEtx;
    pc.port.write(longest);
    EXPECT_TRUE(pc.Got(kDataError));
    // One byte more and no ETX in time: given up before anything ends it.
    pc.port.write(kRadioStx + QByteArray(kRadioMaxText + 50, '0'));
    EXPECT_TRUE(pc.Got(kDataError + kDataError));
    const QByteArray get = ToRemote(Request(0, kPktGet, 0x01));
    pc.port.write(kRadioEtx + get);
    EXPECT_TRUE(pc.Got(kDataError + kDataError + kAck + ToRemote(Answer(0, kPktReply, 0x01, Bytes({0})))));
    EXPECT_EQ(radio.Received(), QList<QByteArray>({longest, get}));
}

TEST_F(SimRadioPty, StatusDataAndRawMessagesGoOutAsGiven)
{
    radio.SendStatus(100, 1000, "12");
    radio.SendStatus(5, 7, "AB");
    radio.SendData(Bytes({0x07, 0x00, 0x00, 0x03, 0x00, 0x02, 0x0B, 0x00}));  // checksum wrong on purpose
    radio.SendData(7, 12, Bytes({0x07, 0x00}));                                // Length byte wrong on purpose
    radio.SendRaw("\x05z");
    const QList<QByteArray> expected = {QByteArray("\x02" "E100100012" "\x03"), QByteArray("\x02" "E0050007AB" "\x03"),
                                        QByteArray("\x02" "F1001000" "0700000300020B00" "\x03"),
                                        QByteArray("\x02" "F0070012" "0700" "\x03"), QByteArray("\x05z")};
    EXPECT_TRUE(pc.Got(expected.join()));
    EXPECT_EQ(radio.Sent(), expected);
    EXPECT_EQ(radio.SentRaw(), expected.join());
}

TEST_F(SimRadioPty, ModuleOutputReachesThePcAsOneDataMessagePerFrame)
{
    sim.SendEvent(4, 0x40, Bytes({0x02}));
    EXPECT_TRUE(pc.Got(QByteArray("\x02" "F1001000" "0800040000034002AE" "\x03")));

    // However the module's writes cut its answers, each frame is one message;
    // bytes that cannot start a frame are dropped.
    Restart();
    sim.SendRaw(Bytes({0x00, 0x05}));
    sim.SetFault(Fault::Split, 1);
    pc.port.write(ToRemote(Request(0, kPktGet, 0x01)));
    ASSERT_TRUE(WaitUntil([&] { return radio.Sent().size() == 2; }));
    sim.SetFault(Fault::BackToBack, 1);
    pc.port.write(ToRemote(Request(0, kPktGet, 0x02)));
    const QByteArray answer2 = Answer(0, kPktReply, 0x02, Bytes({0}));
    EXPECT_TRUE(WaitUntil([&] { return radio.Sent().size() == 5; }));
    EXPECT_EQ(radio.Sent(), QList<QByteArray>({kAck, ToRemote(Answer(0, kPktReply, 0x01, Bytes({0}))), kAck,
                                               ToRemote(Answer(0, kPktReply, 0x02, Bytes({kBackToBackData}))),
                                               ToRemote(answer2)}));
    EXPECT_EQ(pc.raw, radio.SentRaw());
    EXPECT_EQ(sim.SentRaw(), Bytes({0x00, 0x05}) + Answer(0, kPktReply, 0x01, Bytes({0}))
                                 + Answer(0, kPktReply, 0x02, Bytes({kBackToBackData})) + answer2);
}

TEST_F(SimRadioPty, PcFrameReachesTheModuleExactlyAsWrappedEvenWithABadChecksum)
{
    QByteArray bad = Request(0, kPktGet, 0x01);
    bad.back() = char(bad.back() ^ 0x01);
    const QByteArray good = Request(0, kPktGet, 0x02);
    pc.port.write(ToRemote(bad) + ToRemote(good));
    EXPECT_TRUE(pc.Got(kAck + kAck + ToRemote(Answer(0, kPktReply, 0x02, Bytes({0})))));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({bad, good}));
    EXPECT_EQ(sim.ReceivedRaw(), bad + good);
}

TEST_F(SimRadioPty, SilentRemoteIsOnlyAckedAndAnswerDelaysAddUp)
{
    sim.SetFault(Fault::Silent, 1);
    pc.port.write(ToRemote(Request(0, kPktGet, 0x01)) + ToRemote(Request(0, kPktGet, 0x02)));
    EXPECT_TRUE(pc.Got(kAck + kAck + ToRemote(Answer(0, kPktReply, 0x02, Bytes({0})))));

    Restart();
    sim.SetReplyDelayMs(150);
    radio.SetAnswerDelayMs(150);
    QElapsedTimer clock;
    clock.start();
    pc.port.write(ToRemote(Request(0, kPktGet, 0x03)) + ToRemote(Request(0, kPktGet, 0x04)));
    // The second ACK does not wait behind the first answer.
    EXPECT_TRUE(pc.Got(kAck + kAck + ToRemote(Answer(0, kPktReply, 0x03, Bytes({0})))
                       + ToRemote(Answer(0, kPktReply, 0x04, Bytes({0})))));
    EXPECT_GE(clock.elapsed(), 300);
}

TEST(SimRadio, PortIsItsOwnLinkAndTheModuleLinkFollowsTheRadio)
{
    auto sim = std::make_unique<SimModule>();
    const QString modulePath = sim->OpenPty();
    auto radio = std::make_unique<SimRadio>(sim.get());
    EXPECT_TRUE(sim->LinkOpen());
    const QString path = radio->OpenPty();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QFileInfo(path).fileName(), "ttyRadio");
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), radio->PtySlavePath());
    EXPECT_NE(QFileInfo(path).absolutePath(), QFileInfo(modulePath).absolutePath());

    // Closed, the radio sends nothing and records nothing.
    radio->Close();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).absolutePath()));
    sim->SendEvent(1, 0x40, {});
    EXPECT_TRUE(radio->Sent().isEmpty());
    radio.reset();
    EXPECT_FALSE(sim->LinkOpen());

    // The module may go first: the radio still replies, and delivers nothing.
    SimRadio orphan(sim.get());
    sim.reset();
    RadioPc pc;
    ASSERT_TRUE(pc.Open(orphan.OpenPty()));
    pc.port.write(ToRemote(Request(0, kPktGet, 0x01)) + kRadioStx + "F10");
    EXPECT_TRUE(pc.Got(kAck));
}

TEST(SimModuleLink, CarriesFramesAndEventsOnlyWhileOpen)
{
    SimModule sim;
    QList<QByteArray> out;
    QObject::connect(&sim, &SimModule::linkOutput, [&](const QByteArray& bytes) { out.append(bytes); });
    const QByteArray get = Request(0, kPktGet, 0x01);
    sim.FeedLink(get);
    sim.SendEvent(2, 0x40, {});
    EXPECT_EQ(sim.ReceivedCount(), 0);
    EXPECT_TRUE(out.isEmpty());

    sim.OpenLink();
    sim.FeedLink(get.left(3));
    sim.FeedLink(get.mid(3));
    sim.SendEvent(2, 0x40, {});
    const QByteArray event = MakeFrame(Bytes({7, 0, 2, 0, 0, kPktEvent, 0x40}));
    EXPECT_EQ(out, QList<QByteArray>({Answer(0, kPktReply, 0x01, Bytes({0})), event}));
    EXPECT_EQ(sim.Received(), QList<QByteArray>({get}));
    EXPECT_EQ(sim.SentRaw(), out.join());

    // An answer delayed past CloseLink is dropped, even when the link opens again in time.
    out.clear();
    sim.SetReplyDelayMs(100);
    sim.FeedLink(get);
    sim.CloseLink();
    sim.OpenLink();
    sim.FeedLink(Request(0, kPktGet, 0x02));
    ASSERT_TRUE(WaitUntil([&] { return !out.isEmpty(); }));
    EXPECT_EQ(out, QList<QByteArray>({Answer(0, kPktReply, 0x02, Bytes({0}))}));
}

TEST(SimRadioProgram, RadioOptionPutsTheModuleBehindTheGivenAddress)
{
    QProcess program;
    program.start(KORVEL_SIM_PATH, {"--port", "0", "--radio", "--radio-fleet", "120:2001", "--verbose"});
    QByteArray out;
    const QRegularExpression endpoint("\nradio (/\\S+)\n");
    QRegularExpressionMatch match;
    ASSERT_TRUE(WaitUntil([&] {
        out += program.readAllStandardOutput();
        match = endpoint.match(QString::fromLatin1(out));
        return match.hasMatch();
    })) << out.toStdString();
    const QString path = match.captured(1);
    EXPECT_EQ(QFileInfo(path).fileName(), "ttyRadio");
    {
        RadioPc pc;
        ASSERT_TRUE(pc.Open(path));
        const QByteArray get = Request(0, kPktGet, 0x01);
        pc.port.write(ToRemote(get) + RadioDataText(120, 2001, get));
        EXPECT_TRUE(pc.Got(kAck + kAck + RadioDataText(120, 2001, Answer(0, kPktReply, 0x01, Bytes({0})))));
        EXPECT_TRUE(WaitUntil([&] {
            out += program.readAllStandardOutput();
            return out.contains("radio rx F1202001" + get.toHex().toUpper() + "\n");
        })) << out.toStdString();
    }
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).absolutePath()));

    EXPECT_EQ(QProcess::execute(KORVEL_SIM_PATH, {"--port", "0", "--radio", "--radio-fleet", "12:2001"}), 2);
    EXPECT_EQ(QProcess::execute(KORVEL_SIM_PATH, {"--port", "0", "--radio-fleet", "120:2001"}), 2);
}

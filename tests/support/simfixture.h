// Link tests against the simulated module: short time-outs, three sends before the
// question, every dispatched frame recorded, and the module closed after each test.
#pragma once

#include "model/blocks.h"
#include "model/model.h"
#include "model/target.h"
#include "control/connection.h"
#include "control/transfer.h"
#include "control/localsettings.h"
#include "link/linkstate.h"
#include "link/linkhold.h"
#include "link/trace.h"
#include "link/transport.h"
#include "sim/simmodule.h"
#include "support/configdiff.h"
#include "support/linkfixture.h"
#include "link/transaction.h"

#include <QFile>
#include <QTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>

namespace korvel::test {

class SimLinkFixture : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        Shorten();
        RecordDispatched();
    }
    // Back to the state a test starts from, in the middle of a test.
    void Restart() {
        ResetForTest();
        Shorten();
        if (jobHold) HoldLinkAsTheJob();
    }
    static void Shorten() {
        settings().RetryCount = 3;
        SetConnectionReplyTimeout(2);
    }
    void TearDown() override {
        LinkFixture::TearDown();
        sim.Close();
    }
    // Puts the simulated module on a free loopback port and connects the link to it.
    void ConnectOverTcp() {
        const quint16 port = sim.ListenTcp(0);
        ASSERT_NE(port, 0);
        linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
        ASSERT_EQ(TcpConnect(LinkHold()), 1);
    }
    // A whole read from factory defaults and a write of what was read, on whatever link is
    // up; the frames the module received, from a clean record.
    QList<QByteArray> ReadAndWriteBack() {
        sim.ClearReceived();
        SetDefaultConfiguration();
        EXPECT_EQ(ReadConfiguration(LinkHold()), TRANSFER_OK);
        EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_OK);
        return sim.Received();
    }
    // The module falls silent at the first request for `command` (that one goes unanswered
    // too) and stays so until sim.GoSilentAfter(-1).
    void SilentFromFirstRequest(int command) {
        auto armed = std::make_shared<bool>(true);
        QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [this, command, armed](const QByteArray& f) {
            if (!*armed || f.size() < 8 || uint8_t(f[5]) != sim::kPktGet || uint8_t(f[6]) != command) return;
            *armed = false;
            sim.GoSilentAfter(0);
        });
    }

    // A read whose module falls silent at the first request for `command`, while the
    // acknowledging tick runs as a job of its own: what the station holds, read whole
    // while it answers, goes into `held`. The trace is on, and a frame given to a port
    // that never takes it shows soon; the blink, which would clear the failure text, is
    // kept out of the way.
    void PrepareQuietRead(int command) {
        jobHold.reset();
        host->SetTimerInterval(LinkTimer::Wait, 200);
        host->SetTimerInterval(LinkTimer::MsgTimer, 3600 * 1000);
        TraceToFile();
        ASSERT_EQ(DownloadConfiguration(ReadStart::FactoryDefaults), 0);
        held = config();
        prompts.Clear();
        SilentFromFirstRequest(command);
    }

    // The blocks a whole write of the configuration in memory gives the module, in the
    // order and with the groups and boards the write sends, keyed and cut as the simulated
    // module keeps them: after a write, sim.Blocks() holds these. A block the model cannot
    // build fails the test.
    static QHash<sim::BlockKey, QByteArray> BlocksOfTheModel() {
        QHash<sim::BlockKey, QByteArray> blocks;
        uint8_t data[CONFIG_BLOCK_MAX_BYTES];
        const auto put = [&](int code, int index, bool built, int bytes) {
            EXPECT_TRUE(built) << "block 0x" << std::hex << code << std::dec << "/" << index;
            blocks[sim::NormalBlockKey(code, index)] = QByteArray(reinterpret_cast<const char*>(data), bytes);
        };
        const TargetState& t = target();
        const int lastGroup = t.PellarDevice ? 0 : t.ChildCount;
        put(sim::kBlockSystem, 0, BuildSystemBlock(0, data, sizeof data), SYSTEM_BLOCK_BYTES);
        for (int g = 0; g <= lastGroup; ++g) {
            put(sim::kBlockInputs, g, BuildInputBlock(g, data, sizeof data), INPUT_BLOCK_BYTES);
            put(sim::kBlockOutputs, g, BuildOutputBlock(g, data, sizeof data), OUTPUT_BLOCK_BYTES);
        }
        for (int g = 0; g <= t.ChildCount; ++g)
            put(sim::kBlockAnalogs, g, BuildAnalogBlock(g, data, sizeof data), ANALOG_BLOCK_BYTES);
        // A Pellar's expansion boards: contact inputs on mask bits 4 to 7, analog inputs on 0 to 3.
        for (int b = 1; t.PellarDevice && b <= 4; ++b) {
            if ((t.ExpansionBoardMask >> (b + 3)) & 1)
                put(sim::kBlockInputs, b, BuildInputBlock(b, data, sizeof data), INPUT_BLOCK_BYTES);
            if ((t.ExpansionBoardMask >> (b - 1)) & 1)
                put(sim::kBlockAnalogs, b, BuildAnalogBlock(b, data, sizeof data), ANALOG_BLOCK_BYTES);
        }
        put(sim::kBlockTemps, 0, BuildTemperatureBlock(0, data, sizeof data), TEMP_BLOCK_BYTES);
        for (int part = 0; part <= 4; ++part)
            put(sim::kBlockFleetSync, part, BuildFleetSyncBlock(part, data, sizeof data), FleetSyncBlockBytes(part));
        put(sim::kBlockNmea, 0, BuildNmeaBlock(data, sizeof data), NMEA_BLOCK_BYTES);
        return blocks;
    }

    // The boxes whose text starts with one text: how many came, and the most up at once.
    struct Question {
        int asked = 0;
        int up = 0;
        int mostAtOnce = 0;
    };
    // Counts those boxes and runs `whileUp` while the first of them is up; whileUp queues
    // that box's answer last. Every other box, one of them shown while the first is up
    // included, gets its default answer (or one queued before).
    std::shared_ptr<Question> OnQuestion(const QString& text, std::function<void()> whileUp) {
        auto q = std::make_shared<Question>();
        auto matched = std::make_shared<QList<bool>>();
        prompts.AroundEach([this, q, matched, text](bool up) {
            if (up) {
                const bool match = prompts.Shown().last().text.startsWith(text);
                matched->append(match);
                if (match) {
                    ++q->asked;
                    q->mostAtOnce = std::max(q->mostAtOnce, ++q->up);
                }
            } else if (!matched->isEmpty() && matched->takeLast()) {
                --q->up;
            }
        });
        prompts.WhileShowing([q, text, whileUp = std::move(whileUp)](const ShownBox& box) {
            if (box.text.startsWith(text) && q->asked == 1 && q->up == 1) whileUp();
        });
        return q;
    }
    static QString NoCommunicationText() {
        return QStringLiteral("No Communication from module\r\nCheck cable and COM port, Continue?");
    }

    // The link's trace, into a file of the test's own (until the next reset).
    void TraceToFile() {
        ASSERT_TRUE(traceDir.isValid());
        ASSERT_TRUE(TraceOpenFile(traceDir.filePath(QStringLiteral("trace.txt"))));
        linkState().TraceOn = true;
    }
    QByteArray Traced() const {
        QFile f(traceDir.filePath(QStringLiteral("trace.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What the trace says of a frame given to a port that never took it (one not open).
    static QByteArray TransmitFailure() { return QByteArrayLiteral("MSComm transmit failure'"); }

    // Events handed to the dispatcher, and channel-clear polls the module received (heard
    // or not).
    int EventsDispatched() const {
        int n = 0;
        for (const QByteArray& f : dispatched) n += f.size() > 5 && uint8_t(f[5]) == sim::kPktEvent;
        return n;
    }
    int PollsReceived() const {
        int n = 0;
        for (const QByteArray& f : sim.Received())
            n += f.size() > 7 && uint8_t(f[5]) == sim::kPktGet && uint8_t(f[6]) == sim::kCmdChannelClear;
        return n;
    }
    // For a job whose module has gone silent: while its "No Communication" question is up,
    // `station` reports an event every 40 ms until the acknowledging tick, borrowing the
    // lent link, has made a whole try of its own at the channel (its tries and anything it
    // asks run before this looks again). Then `whileUp` looks at the link, the module
    // answers again when `moduleBack`, and the question gets `answer`.
    std::shared_ptr<Question> EventsWhileTheJobAsks(int station, int answer, bool moduleBack,
                                                    std::function<void()> whileUp) {
        QObject::connect(&events, &QTimer::timeout, &sim,
                         [this, station] { sim.SendEvent(station, 1, QByteArray(1, char(0x85))); });
        return OnQuestion(NoCommunicationText(), [=, this] {
            const int polls = PollsReceived();
            events.start(40);
            WaitUntil([&] { return PollsReceived() - polls >= settings().RetryCount; });
            events.stop();
            WaitUntil([&] { return EventsDispatched() == sim.EventsSent(); }, 1000);
            EXPECT_GT(EventsDispatched(), 0);
            whileUp();
            if (moduleBack) sim.GoSilentAfter(-1);
            prompts.QueueAnswer(answer);
        });
    }

    // What a quiet read leaves after its one question. Yes with the module back: the read
    // completed whole, and station 12's events were acknowledged once the module
    // answered. No: the read ended with the failure text, and nothing more was given to
    // the link or asked (given time, a frame for the closed port or a question would show).
    void ExpectTheQuietReadWentOn(const Question& question) {
        EXPECT_EQ(question.asked, 1);
        EXPECT_EQ(question.mostAtOnce, 1) << "a second question on top of the read's";
        EXPECT_EQ(ConfigDifferences(held, config()), QStringList()) << "every block as the module holds it";
        // The module heard nothing while it was quiet: an acknowledgement sent then, or
        // dropped, would leave the event owed.
        EXPECT_TRUE(WaitUntil([this] { return sim.EventsOwed() == 0; })) << "acknowledged once the module answers";
        EXPECT_TRUE(AcknowledgedStations().contains(12));
        EXPECT_FALSE(Traced().contains(TransmitFailure()));
    }
    void ExpectTheQuietReadEnded(const Question& question) {
        EXPECT_EQ(host->PanelText(4), QStringLiteral("Communication Timeout"));
        EXPECT_TRUE(host->PanelText(2).startsWith(QStringLiteral("Read failed"))) << host->PanelText(2).toStdString();
        WaitUntil([&] { return question.asked > 1 || Traced().contains(TransmitFailure()); }, 1000);
        EXPECT_EQ(question.asked, 1);
        EXPECT_EQ(question.mostAtOnce, 1) << "a second question on top of the read's";
        EXPECT_FALSE(Traced().contains(TransmitFailure()));
        EXPECT_EQ(ConfigDifferences(held, config()), QStringList()) << "the configuration in memory is unchanged";
    }

    // The acknowledgements the module received, by the station each went to.
    QList<int> AcknowledgedStations() const {
        QList<int> stations;
        for (const QByteArray& f : sim.Received())
            if (f.size() == 7 && uint8_t(f[5]) == sim::kPktAck) stations << uint8_t(f[1]);
        return stations;
    }

    sim::SimModule sim;
    QTemporaryDir traceDir;
    QTimer events;
    StationConfig held;
};

} // namespace korvel::test

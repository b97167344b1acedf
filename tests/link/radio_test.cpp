// The link through a FleetSync radio on the serial port, end to end: the simulated
// radio on a pseudo-terminal with the simulated module behind it as the remote station.
#include "link/linkhold.h"
#include "model/model.h"
#include "control/connection.h"
#include "control/transfer.h"
#include "link/builders.h"
#include "link/fleetsync.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "support/simfixture.h"
#include "platform/qtserialport.h"
#include "platform/serialport.h"
#include "sim/simradio.h"
#include "support/configdiff.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

// The PC's port as a real one at 19200 baud (8N2): a frame reaches the radio, and the
// port reports it sent, once its bytes have had their time on the line. A
// pseudo-terminal takes them at once, which would hide a frame still going out.
class LinePacedPort : public QtSerialPort {
public:
    explicit LinePacedPort(std::function<void(const QByteArray&)> onWrite) : onWrite_(std::move(onWrite)) {
        clock_.start();
    }
    void Write(const QByteArray& bytes) override {
        onWrite_(bytes);
        const qint64 now = clock_.nsecsElapsed();
        lineFreeNs_ = std::max(lineFreeNs_, now) + bytes.size() * 11 * 1'000'000'000LL / 19200;
        QTimer::singleShot(int((lineFreeNs_ - now + 999'999) / 1'000'000), Qt::PreciseTimer, this,
                           [this, bytes] { QtSerialPort::Write(bytes); });
    }

private:
    std::function<void(const QByteArray&)> onWrite_;
    QElapsedTimer clock_;
    qint64 lineFreeNs_ = 0;
};

class RadioLinkTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        UseRadio();
    }
    void UseRadio() {
        settings().PortProtocol = LOCALPORT_FLEETSYNC;
        linkState().FleetSyncTarget = QStringLiteral("100:1000");
        settings().CommPortDevice = radio.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
        ASSERT_EQ(OpenCommPort(), 0);
    }
    int Delivered(int command) const {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += uint8_t(f[6]) == command;
        return n;
    }

    sim::SimRadio radio{&sim};
};

// The module behind the radio receives exactly what it receives on a cable.
TEST_F(RadioLinkTest, WholeReadAndWriteAsOnADirectLink) {
    sim.SetKorvel(1);
    const auto run = [this](bool throughRadio) {
        CommPort().Close();
        Restart();
        linkState().PacketTimeoutReload = 20;
        if (throughRadio) {
            UseRadio();
        } else {
            settings().CommPortDevice = sim.OpenPty();
            EXPECT_EQ(OpenCommPort(), 0);
        }
        return ReadAndWriteBack();
    };
    const QList<QByteArray> direct = run(false);
    const StationConfig read = config();
    const QList<QByteArray> relayed = run(true);
    EXPECT_GT(direct.size(), 30);
    EXPECT_EQ(relayed, direct);
    EXPECT_EQ(ConfigDifferences(read, config()), QStringList());
    // Short and long data messages both went out.
    bool shortSeen = false, longSeen = false;
    for (const QByteArray& text : radio.Received()) {
        shortSeen |= text[1] == 'F';
        longSeen |= text[1] == 'G';
    }
    EXPECT_TRUE(shortSeen && longSeen);
}

TEST_F(RadioLinkTest, RefusedMessagesAreSentAgain) {
    for (sim::RadioFault fault : {sim::RadioFault::Nack, sim::RadioFault::Busy, sim::RadioFault::DataError,
                                  sim::RadioFault::NoReply}) {
        sim.ClearReceived();
        radio.ClearReceived();
        radio.SetFault(fault, 1);
        EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK) << int(fault);
        EXPECT_EQ(radio.Received().size(), 2) << "one resend after the time-out";
        EXPECT_EQ(Delivered(CMD_MODULE_INFO), 1);
        EXPECT_TRUE(prompts.Shown().isEmpty());
    }
}

TEST_F(RadioLinkTest, RemoteThatNeverAnswersEndsInTheTimeoutQuestion) {
    sim.GoSilentAfter(0);
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_EQ(radio.Received().size(), settings().RetryCount);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Communication Timer"));
}

TEST_F(RadioLinkTest, ModuleEventArrivesAndIsAcknowledgedThroughTheRadio) {
    sim.SendEvent(0, 1, QByteArray(3, char(0x10)));
    ASSERT_TRUE(WaitUntil([this] { return !dispatched.isEmpty(); }));
    EXPECT_EQ(uint8_t(dispatched[0][5]), PKT_EVENT);
    // The acknowledgement owed is sent by the background tick, wrapped for the radio.
    ASSERT_TRUE(WaitUntil([this] {
        BGProcessTick();
        return !sim.Received().isEmpty();
    }));
    EXPECT_EQ(uint8_t(sim.Received().back()[5]), PKT_ACK);
}

// Events from the local module and a remote station keep coming while the link is idle,
// during a whole read and write and during a monitor's polling: each one is acknowledged
// (a remote one after a clear channel), and no wait ever loses its answer.
TEST_F(RadioLinkTest, EventsAreAcknowledgedWhileIdleAndDuringTransfers) {
    // The read, the write and the polling are jobs of their own; between them the link is
    // free for the acknowledging tick.
    jobHold.reset();
    sim.SetKorvel(1);
    sim.AddRemoteStation(5);
    linkState().FleetSyncPauseMs = 100;
    linkState().PacketTimeoutReload = 20;
    // What the module holds, read while it is quiet.
    SetDefaultConfiguration();
    ASSERT_EQ(ReadConfiguration(LinkHold()), TRANSFER_OK);
    const StationConfig held = config();
    const auto blocks = sim.Blocks();

    QList<QByteArray> heard;
    QObject::connect(&sim, &sim::SimModule::frameReceived, [&](const QByteArray& f) { heard.append(f); });
    sim.SetEventRepeatMs(600);
    // A busy module: events from both stations every 1 to 3 s, some in place of an
    // answer, some right behind one, while the radio rests.
    sim.SetBusy(4);
    const auto allAcknowledged = [this](int atLeast) {
        return WaitUntil([&] { return sim.EventsSent() >= atLeast && sim.EventsOwed() == 0; }, 15000);
    };
    EXPECT_TRUE(allAcknowledged(2)) << "idle";
    ReadAndWriteBack();
    EXPECT_EQ(ConfigDifferences(held, config()), QStringList()) << "the read holds what the module holds";
    EXPECT_EQ(sim.Blocks(), blocks) << "the write left every block as it was";
    EXPECT_TRUE(allAcknowledged(sim.EventsSent() + 1)) << "after a read and a write";
    // A monitor's polling, one request after another.
    for (int i = 0; i < 12; ++i) {
        const LinkHold poll;
        EXPECT_EQ(SendRequestParam(poll, CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL), SEND_OK) << i;
    }
    EXPECT_TRUE(allAcknowledged(sim.EventsSent() + 1)) << "after polling";
    EXPECT_GE(sim.EventsAcknowledged(), 4);
    EXPECT_TRUE(prompts.Shown().isEmpty()) << prompts.Shown().value(0).text.toStdString();
    // Every acknowledgement to the remote station follows a clear-channel poll of its own.
    bool polled = false;
    for (const QByteArray& f : heard) {
        if (uint8_t(f[5]) == PKT_GET && uint8_t(f[6]) == CMD_CHANNEL_CLEAR) polled = true;
        if (uint8_t(f[5]) == PKT_ACK && uint8_t(f[1]) == 5) {
            EXPECT_TRUE(polled);
            polled = false;
        }
    }
}

// A read from remote station 5 behind the radio whose module goes quiet at the analog
// block while remote station 12 reports events. The acknowledging tick borrows the link
// the read lent for its question, polls the silent channel, and must give up its own try
// without a question of its own and without closing the port under the read.
class RadioQuietModuleTest : public RadioLinkTest {
protected:
    void SetUp() override {
        RadioLinkTest::SetUp();
        sim.AddRemoteStation(5);
        sim.AddRemoteStation(12);
        linkState().StationAddress[0] = 5;
        linkState().StationAddress[2] = 3;
        PrepareQuietRead(CMD_CFG_ANALOGS);
    }
    // Station 12's events come while the read asks; the link the read lent is still its own.
    std::shared_ptr<Question> WhenTheReadAsks(int answer, bool moduleBack) {
        return EventsWhileTheJobAsks(12, answer, moduleBack, [] {
            EXPECT_TRUE(CommPort().IsOpen()) << "the port the read lent is still open under its question";
        });
    }
};

TEST_F(RadioQuietModuleTest, TheReadAsksOnceAndItsYesFinishesTheReadThroughTheSamePort) {
    const auto question = WhenTheReadAsks(vbYes, true);
    EXPECT_EQ(DownloadConfiguration(ReadStart::FactoryDefaults), 0) << host->PanelText(4).toStdString();
    ExpectTheQuietReadWentOn(*question);
    EXPECT_TRUE(CommPort().IsOpen());
}

TEST_F(RadioQuietModuleTest, TheReadAsksOnceAndItsNoEndsTheReadWithoutWritingToAClosedPort) {
    const auto question = WhenTheReadAsks(vbNo, false);
    EXPECT_EQ(DownloadConfiguration(ReadStart::FactoryDefaults), 1);
    ExpectTheQuietReadEnded(*question);
}

// Events from three stations that come while the acknowledging tick asks whether to go on
// waiting for a busy channel: once the channel clears, each station gets one
// acknowledgement, in the order the stations' first events came.
TEST_F(RadioLinkTest, EventsThatComeWhileTheChannelQuestionIsUpGetOneAcknowledgementPerStation) {
    jobHold.reset();  // the tick is the only job here
    bool answered = false;
    const auto question = OnQuestion(
        QStringLiteral("OMRU has timed out waiting for the target to return that the radio channel is clear."), [&] {
            EXPECT_EQ(AcknowledgedStations(), QList<int>()) << "nothing acknowledged while the channel is busy";
            const int before = EventsDispatched();
            const int order[] = {12, 5, 7};
            for (int i = 0; i < 40; ++i) sim.SendEvent(order[i % 3], 1, QByteArray(1, char(0x80 | i)));
            EXPECT_TRUE(WaitUntil([&] { return EventsDispatched() == before + 40; }));
            sim.SetChannelBusyPolls(0);
            // With the budget spent, the poll that finds the channel clear may be followed
            // by the question once more: Yes to that one too.
            prompts.QueueAnswer(vbYes);
            prompts.QueueAnswer(vbYes);
            answered = true;
        });
    sim.SetChannelBusyPolls(-1);
    sim.SendEvent(7, 1, QByteArray(1, char(0x85)));
    // The tick stops itself once nothing is owed.
    ASSERT_TRUE(WaitUntil(
        [&] { return answered && sim.EventsOwed() == 0 && !host->TimerEnabled(LinkTimer::BGProcess); }, 20000));
    EXPECT_EQ(AcknowledgedStations(), QList<int>({7, 12, 5}));
    EXPECT_EQ(question->mostAtOnce, 1);
    EXPECT_EQ(question->asked, prompts.Shown().size()) << "no other box";
}

// The rest of a radio frame that lost its end byte is thrown away at once, not left in
// the port to trickle through one byte per receive event.
TEST_F(RadioLinkTest, AFrameWithoutItsEndByteCostsAtMostOneResend) {
    linkState().PacketTimeoutReload = 5;
    radio.SendRaw(QByteArray(1, char(STX)) + QByteArray(1299, 'F'));
    ASSERT_TRUE(WaitUntil([] { return CommPort().InBufferCount() == 0 && linkState().RxState == RX_HUNT; }));
    sim.ClearReceived();
    radio.ClearReceived();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK) << i;
    EXPECT_LE(radio.Received().size(), 4);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(RadioLinkTest, TheRadioGetsItsPauseAfterEachAnswer) {
    linkState().FleetSyncPauseMs = 300;
    QElapsedTimer clock;
    clock.start();
    qint64 answered = -1, eventCame = -1, nextSent = -1;
    SetRxPacketObserver([&](const uint8_t* f, int) {
        if (answered < 0) answered = clock.elapsed();
        if (f[FRAME_PACKET_TYPE] == PKT_EVENT) eventCame = clock.elapsed();
    });
    QObject::connect(&radio, &sim::SimRadio::textReceived, [&] { nextSent = clock.elapsed(); });
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    ASSERT_GE(answered, 0);
    // The answer is in at once; what goes to the radio next waits out its pause.
    EXPECT_LT(clock.elapsed() - answered, 300);
    // An event that comes while the next request waits for the radio is answered by that
    // request's one send: sent twice, its second answer would end the request after it.
    sim.ClearReceived();
    Later(50, [this] { sim.SendEvent(0, 1, QByteArray(1, char(3))); });
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    EXPECT_GE(nextSent - answered, 300);
    EXPECT_EQ(Delivered(CMD_MODULE_INFO), 1);
    // The event is a data message too: it gets its whole rest, although it came after the
    // wait began.
    ASSERT_GE(eventCame, 0);
    EXPECT_GE(nextSent - eventCame, 300);
}

// A busy module behind the radio: events from four stations, one in place of every third
// answer, one right behind the answer after that, and the unacknowledged ones repeated.
// Every read holds what the module holds; each request goes out once per cause (first, or
// again for an event that came in place of its answer or a whole reply time-out since its
// last send, never once answered); and nothing goes out within the radio's rest after a
// data message. An event restarts the rest and the reply countdown together; the rest is
// a little shorter here, so a resend that left the countdown as it stood would see it run
// out while the frame is still on the line.
TEST_F(RadioLinkTest, ABusyModuleGetsEachRequestOncePerCauseAndTheRadioItsRest) {
    // 1.5 s of rest against 15 ticks of 100 ms, scaled down, the rest 2 ms short.
    constexpr int kTickMs = 5, kTicks = 8, kRestMs = kTicks * kTickMs - 2;
    sim.SetKorvel(1);
    for (int station : {12, 5, 30}) sim.AddRemoteStation(station);
    // In order: S a frame of ours handed to the port (empty when not a whole text frame),
    // D a data message dispatched, T a tick of the reply timer.
    struct Record {
        struct Mark {
            qint64 ns;
            char what;
            QByteArray frame;
        };
        QElapsedTimer clock;
        QList<Mark> marks;
        void Add(char what, const QByteArray& frame = {}) { marks.append({clock.nsecsElapsed(), what, frame}); }
    };
    const auto record = std::make_shared<Record>();
    record->clock.start();
    CommPort().Close();
    SetSerialPortFactory([record] {
        return std::make_unique<LinePacedPort>([record](const QByteArray& text) {
            const bool whole = text.startsWith(STX) && text.endsWith(ETX);
            record->Add('S', whole ? QByteArray::fromHex(text.mid(9, text.size() - 10)) : QByteArray());
        });
    });
    Restart();
    UseRadio();
    settings().RetryCount = 5;
    linkState().PacketTimeoutReload = kTicks;
    linkState().FleetSyncPauseMs = kRestMs;
    host->SetTimerInterval(LinkTimer::CommIn, kTickMs);
    SetRxPacketObserver(
        [record](const uint8_t* f, int n) { record->Add('D', QByteArray(reinterpret_cast<const char*>(f), n)); });
    QObject::connect(&host->Timer(LinkTimer::CommIn), &QTimer::timeout, [record] { record->Add('T'); });

    SetDefaultConfiguration();
    ASSERT_EQ(ReadConfiguration(LinkHold()), TRANSFER_OK);
    const StationConfig held = config();
    sim.SetEventRepeatMs(150);
    sim.SetBusy(3);
    for (int read = 0; read < 2; ++read) {
        SetDefaultConfiguration();
        ASSERT_EQ(ReadConfiguration(LinkHold()), TRANSFER_OK) << read << prompts.Shown().value(0).text.toStdString();
        EXPECT_EQ(ConfigDifferences(held, config()), QStringList()) << read;
    }
    sim.SetBusy(0);

    QStringList faults;
    qint64 lastData = -kRestMs * 1'000'000LL;
    QByteArray sent(1, '\0');
    bool event = false, answered = false;
    int ticks = 0, eventResends = 0;
    // Byte i of a frame, -1 from its checksum on.
    const auto at = [](const QByteArray& f, int i) { return i < uint8_t(f[0]) ? int(uint8_t(f[i])) : -1; };
    for (const Record::Mark& m : std::as_const(record->marks)) {
        if (m.what == 'T') {
            ++ticks;
        } else if (m.what == 'D') {
            lastData = m.ns;
            const int type = at(m.frame, FRAME_PACKET_TYPE);
            event |= type == PKT_EVENT;
            // The same command, and the same block where both name one.
            answered |= (type == PKT_REPLY || type == PKT_ACK) && at(m.frame, FRAME_COMMAND) == at(sent, FRAME_COMMAND) &&
                        (at(m.frame, FRAME_DATA) < 0 || at(sent, FRAME_DATA) < 0 ||
                         at(m.frame, FRAME_DATA) == at(sent, FRAME_DATA));
        } else if (m.frame.isEmpty()) {
            faults << QStringLiteral("part of a frame went out on its own");
        } else {
            const QString frame = QString::fromLatin1(m.frame.toHex());
            if (m.ns - lastData < kRestMs * 1'000'000LL)
                faults << QStringLiteral("%1 sent %2 ms after a data message").arg(frame).arg((m.ns - lastData) / 1e6);
            // An event's acknowledgement is never sent again: any other frame that follows
            // itself is a resend.
            if (m.frame == sent && at(m.frame, FRAME_PACKET_TYPE) != PKT_ACK) {
                if (answered || !(event || ticks >= kTicks))
                    faults << QStringLiteral("%1 sent again %2 after %3 ticks")
                                  .arg(frame, answered ? QStringLiteral("once answered") : QStringLiteral("for no event"))
                                  .arg(ticks);
                eventResends += event;
            }
            sent = m.frame;
            event = answered = false;
            ticks = 0;
        }
    }
    EXPECT_EQ(faults, QStringList());
    EXPECT_GE(eventResends, 10);
}

} // namespace

// The radio link's own layer: the text frame a module frame becomes, and what each
// thing the radio passes back does to the open transaction, the progress window and
// the event monitor.
#include "link/transaction.h"
#include "link/fleetsync.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "model/eventlist.h"
#include "control/localsettings.h"
#include "platform/iohandler.h"
#include "platform/serialport.h"
#include "control/progress.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"
#include "link/builders.h"

#include <memory>
#include <QElapsedTimer>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

class FleetSyncTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        settings().PortProtocol = LOCALPORT_FLEETSYNC;
        linkState().FleetSyncTarget = QStringLiteral("100:1000");
        RecordDispatched();
    }
    static QByteArray Wrap(const QByteArray& frame) { return WrapPacketInFleetSync(frame); }
    // Feeds text through the serial receive state machine, as the port delivers it.
    static void Receive(const QByteArray& text) {
        for (char c : text) RxStateMachine(uint8_t(c), false);
        RunQueuedJobs();
    }
    static QByteArray Text(const char* middle) { return char(STX) + QByteArray(middle) + char(ETX); }
    // A module frame of `length` with every byte but the last 0x11 and a good checksum.
    static QByteArray Frame(int length) {
        QByteArray f(length + 1, char(0x11));
        f[0] = char(length);
        f[length] = char(FrameChecksum(reinterpret_cast<const uint8_t*>(f.constData()), length));
        return f;
    }
    static QString Caption(ProgressLabel l = ProgressLabel::lblKen) { return progressView().LabelText(l); }
    // The monitor lines without their time stamps.
    static QStringList Lines() {
        QStringList out;
        for (const QString& l : eventMonitor().lstEvents) out << l.mid(EventLogStamp(QDateTime::currentDateTime()).size());
        return out;
    }
    void Waiting(int16_t state = TX_WAIT_REPLY) {
        open.reset();
        if (state != TX_IDLE) {
            open = std::make_unique<Transaction>(QByteArray(), state);
            open->Open();
        }
        linkState().PacketTimeoutReload = 15;
        linkState().PacketTimeoutCount = 3;
    }
    int16_t TxState() const { return open ? open->State : int16_t(TX_IDLE); }
    std::unique_ptr<Transaction> open;
};

TEST_F(FleetSyncTest, TextFrameOfAModuleFrame) {
    const QByteArray frame = Bytes({7, 0, 0, 3, 0, 0, 0x0B, 0xEA});
    EXPECT_EQ(Wrap(frame), Text("F1001000" "0700000300000BEA"));
    EXPECT_EQ(linkState().FleetSyncTxFrame, Text("F1001000" "0700000300000BEA"));

    linkState().FleetSyncTarget = QStringLiteral("349:4999");
    const QByteArray short19 = Wrap(Frame(19));
    EXPECT_EQ(short19.size(), 2 * 19 + 12);
    EXPECT_EQ(short19.mid(1, 8), "F3494999");
    const QByteArray long20 = Wrap(Frame(20));
    EXPECT_EQ(long20.size(), 2 * 20 + 12);
    EXPECT_EQ(long20[1], 'G');
    const QByteArray longest = Wrap(Frame(201));
    EXPECT_EQ(longest.size(), 414);
    EXPECT_EQ(longest.back(), char(ETX));
}

TEST_F(FleetSyncTest, DataMessageDecodesToTheFrameItCarries) {
    QByteArray frame = Bytes({8, 0, 12, 3, 1, PKT_REPLY, 0x42, 0xA5, 0});
    frame[8] = char(FrameChecksum(reinterpret_cast<const uint8_t*>(frame.constData()), 8));
    const QByteArray text = FleetSyncTextFrame(frame, "100:1000");
    EXPECT_TRUE(text.contains("A5"));
    Waiting();
    Receive(text);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0], frame);
    EXPECT_EQ(TxState(), TX_REPLY_RECEIVED);
    EXPECT_EQ(Caption(), QStringLiteral("Data packet received"));
    EXPECT_EQ(Caption(ProgressLabel::Label1), QStringLiteral("Waiting for radio"));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_EQ(linkState().RxState, RX_HUNT);
}

TEST_F(FleetSyncTest, GarbledDataMessagesAreNoAnswer) {
    QByteArray bad = Bytes({7, 0, 0, 3, 0, 0, 0x0B, 0xEB});
    const QByteArray badChecksum = FleetSyncTextFrame(bad, "100:1000");
    for (const QByteArray& text : {badChecksum, Text("F1001000" "0700000300000bea"),
                                   Text("F1001000" "0700000300000BE"), Text("F1001000" "0800000300000BEA"),
                                   Text("F1001000")}) {
        Waiting();
        Receive(text);
        EXPECT_TRUE(dispatched.isEmpty()) << text.toHex().constData();
        EXPECT_EQ(TxState(), TX_WAIT_REPLY);
        EXPECT_TRUE(host->TimerEnabled(LinkTimer::CommIn)) << "the wait times out as usual";
        EXPECT_EQ(linkState().RxState, RX_HUNT);
    }
}

TEST_F(FleetSyncTest, RadioRepliesKeepTheReplyTimeoutRunning) {
    Waiting();
    Receive(Text("0"));
    EXPECT_EQ(Caption(), QStringLiteral("Base radio: ACK"));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::CommIn)) << "a remote that never answers times out";
    EXPECT_EQ(linkState().PacketTimeoutCount, 15) << "counted from the radio's acceptance";
    EXPECT_EQ(TxState(), TX_WAIT_REPLY);

    const QList<QPair<const char*, QString>> refusals{{"1", QStringLiteral("Base radio: NACK")},
                                                      {"2", QStringLiteral("Base radio: BUSY")},
                                                      {"3", QStringLiteral("Data Error Base radio")}};
    for (const auto& [code, caption] : refusals) {
        Waiting();
        Receive(Text(code));
        EXPECT_EQ(Caption(), caption);
        EXPECT_TRUE(host->TimerEnabled(LinkTimer::CommIn)) << code;
        EXPECT_EQ(linkState().PacketTimeoutCount, 3) << "the count goes on where it stood";
        EXPECT_EQ(TxState(), TX_WAIT_REPLY) << "the transaction is not ended";
    }
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::InterByte));
    EXPECT_TRUE(eventMonitor().lstEvents.isEmpty()) << "no lines while the monitor is closed";

    // With nothing waiting, a reply starts no countdown.
    Waiting(TX_IDLE);
    host->SetTimerEnabled(LinkTimer::CommIn, false);
    Receive(Text("0"));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
}

TEST_F(FleetSyncTest, MonitorLines) {
    eventMonitor().EventMonitorOpen = true;
    Receive(Text("0"));
    Receive(Text("3"));
    Receive(Text("E100100012"));
    Receive(Text("G2001234" "0700000300000BEA"));
    Receive(Text("F1001000" "0700000300000BEA"));
    Receive(Text("X1001000"));
    EXPECT_EQ(Lines(), QStringList({" - RX Local Radio ACK", " - RX Fleet:100 RadioID:1000 Status:12",
                                    " RX - Fleet:200 RadioID:1234 LDM:0700000300000BEA",
                                    " RX - Fleet:100 RadioID:1000 SDM:0700000300000BEA"}));
    EXPECT_EQ(dispatched.size(), 2) << "a long data message is dispatched like a short one";

    eventMonitor().lstEvents.clear();
    eventMonitor().EventShowAll = true;
    Receive(Text("0"));
    Receive(Text("3"));
    Receive(Text("E100100012"));
    EXPECT_EQ(Lines(), QStringList({" - RX Local Radio ACK", " - RX 0", " - RX 3", " - RX E100100012"}));

    eventMonitor().lstEvents.clear();
    Wrap(Bytes({7, 0, 0, 3, 0, 0, 0x0B, 0xEA}));
    EXPECT_EQ(Lines(), QStringList({QStringLiteral(" - TX ") + QString::fromLatin1(Text("F1001000" "0700000300000BEA"))}));
}

TEST_F(FleetSyncTest, StatusAndOtherTrafficRearmTheWait) {
    Waiting();
    host->SetTimerEnabled(LinkTimer::CommIn, false);
    Receive(Text("E100100012"));
    EXPECT_EQ(Caption(), QStringLiteral("RADIO TRAFFIC... wait"));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::InterByte));
    EXPECT_EQ(linkState().RxState, RX_HUNT);
    EXPECT_TRUE(dispatched.isEmpty());
}

// The port's "sent" event may come after the radio's answer, during the pause that
// follows it: the finished wait must not start counting towards a resend.
TEST_F(FleetSyncTest, LateSendEventAfterTheAnswerStartsNoCountdown) {
    for (int16_t state : {TX_REPLY_RECEIVED, TX_DONE, TX_IDLE}) {
        Waiting(state);
        host->SetTimerEnabled(LinkTimer::CommIn, false);
        CommOnComm(comEvSend);
        EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn)) << state;
    }
    Waiting(TX_WAIT_REPLY);
    CommOnComm(comEvSend);
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_EQ(Caption(), QStringLiteral("Data transmitted to Radio..."));
}

TEST_F(FleetSyncTest, EndlessFrameIsDroppedAtTheBufferEnd) {
    Receive(QByteArray(1, char(STX)) + QByteArray(3 * LINK_BUFFER_SIZE, 'F'));
    EXPECT_EQ(linkState().RxState, RX_HUNT);
    // Bytes before the next STX are skipped; the next frame is read whole.
    Receive("junk" + Text("F1001000" "0700000300000BEA"));
    EXPECT_EQ(dispatched.size(), 1);
}

// The radio's pause gives way to the user's cancel, and traffic that keeps renewing it
// holds the wait no longer than the reply time-out.
TEST_F(FleetSyncTest, RadioPauseGivesWayToCancelAndIsBounded) {
    auto& s = linkState();
    s.FleetSyncPauseMs = 100;
    s.PacketTimeoutReload = 3;
    // A pause that never ends by itself stands for a radio that keeps talking.
    s.RadioQuietUntil = QDeadlineTimer(QDeadlineTimer::Forever);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(WaitForRadioPause(Held()));
    EXPECT_GE(t.elapsed(), 290);
    EXPECT_LT(t.elapsed(), 5000);

    // A request that meets the pause and the cancel sends nothing and ends as cancelled.
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    s.PacketTimeoutReload = 600;
    s.RadioQuietUntil = QDeadlineTimer(60000);
    QTimer cancel;
    cancel.setSingleShot(true);
    QObject::connect(&cancel, &QTimer::timeout, [this] { Held().Cancel(); });
    cancel.start(20);
    t.restart();
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_CANCELLED);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(port->writes.isEmpty());
    EXPECT_FALSE(OpenTransactionNow());

    // A pause already over has nothing to cancel.
    s.RadioQuietUntil = QDeadlineTimer();
    EXPECT_TRUE(WaitForRadioPause(Held()));
}

TEST_F(FleetSyncTest, CancelAskedForIsKeptWhenTheProgressWindowLoads) {
    progressView().Unload();
    Held().Cancel();
    Receive(Text("0"));
    EXPECT_TRUE(progressView().Loaded());
    EXPECT_FALSE(progressView().Visible());
    EXPECT_TRUE(Held().CancelSeen());
}

} // namespace

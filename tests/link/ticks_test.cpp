// The link timers' ticks, driven one tick at a time: the reply countdown, the inter-byte
// drop, the stall guard, the progress blink and the owed event acknowledgements.
#include "link/transaction.h"
#include "control/channelclear.h"
#include "link/linkhold.h"
#include "control/programstate.h"
#include "control/progress.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "support/simfixture.h"
#include "link/transport.h"
#include "platform/iohandler.h"
#include "platform/tcpclient.h"
#include "control/localsettings.h"

#include <QCoreApplication>

using namespace korvel;
using namespace korvel::test;

namespace {

class TickTest : public LinkFixture {};

TEST_F(TickTest, ReplyCountdownShowsMillisecondsThenAsksForAResendAndReloads) {
    auto& s = linkState();
    Transaction waiting(QByteArray(), TX_WAIT_REPLY);
    waiting.Open();
    s.PacketTimeoutCount = 15;
    s.PacketTimeoutReload = 15;
    QStringList shown;
    for (int i = 0; i < 15; ++i) {
        EXPECT_FALSE(waiting.RetryRequest) << "tick " << i;
        CommInTick();
        shown << host->PanelText(4);
    }
    EXPECT_EQ(shown.first(), "1400mS");
    EXPECT_EQ(shown[1], "1300mS");
    EXPECT_EQ(shown.last(), "0mS");
    EXPECT_TRUE(waiting.RetryRequest);
    EXPECT_EQ(s.PacketTimeoutCount, 15) << "the countdown restarts from the reload value";
}

TEST_F(TickTest, CountdownAtZeroRestsAndAZeroReloadStopsIt) {
    auto& s = linkState();
    Transaction waiting(QByteArray(), TX_WAIT_REPLY);
    waiting.Open();
    s.PacketTimeoutCount = 1;
    s.PacketTimeoutReload = 0;
    CommInTick();
    EXPECT_TRUE(waiting.RetryRequest);
    waiting.RetryRequest = false;
    host->SetPanelText(4, "x");
    CommInTick();
    EXPECT_FALSE(waiting.RetryRequest);
    EXPECT_EQ(host->PanelText(4), "x") << "a resting countdown writes nothing";
}

TEST_F(TickTest, ProgressBarClimbsHalfAPercentPerTickRoundingHalvesToEven) {
    auto& s = linkState();
    progressView().Show();
    s.ProgressActive = 1;
    s.PacketTimeoutCount = 15;
    s.PacketTimeoutReload = 15;
    CommInTick();  // 100 - 14/2
    EXPECT_EQ(progressView().PercentText(), "93%");
    CommInTick();  // 100 - 6.5 = 93.5 -> 94
    EXPECT_EQ(progressView().PercentText(), "94%");
    CommInTick();  // 100 - 6 = 94
    EXPECT_EQ(progressView().BarValue(), 94);
    s.PacketTimeoutCount = 12;
    CommInTick();  // 100 - 5.5 = 94.5 -> 94
    EXPECT_EQ(progressView().BarValue(), 94);

    // A countdown longer than 200 ticks would ask for less than an empty bar.
    s.PacketTimeoutCount = 300;
    CommInTick();
    EXPECT_EQ(progressView().BarValue(), 0);
    EXPECT_EQ(progressView().PercentText(), "0%");

    s.ProgressActive = 0;
    progressView().SetBar(5, "5%");
    CommInTick();
    EXPECT_EQ(progressView().BarValue(), 5) << "without the progress window the bar is left alone";
}

TEST_F(TickTest, InterByteCountdownDropsAHalfFrameOnlyWhenItRunsOut) {
    auto& s = linkState();
    settings().InterByteTimeout = 8;
    s.InterByteCount = 2;
    s.RxState = RX_IN_FRAME;
    host->SetTimerEnabled(LinkTimer::InterByte, true);
    InterByteTick();
    EXPECT_EQ(s.RxState, RX_IN_FRAME);
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::InterByte));
    InterByteTick();
    EXPECT_EQ(s.RxState, RX_HUNT);
    EXPECT_EQ(s.InterByteCount, 8);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::InterByte));
}

TEST_F(TickTest, StallGuardFiresOnce) {
    host->SetTimerEnabled(LinkTimer::Wait, true);
    WaitTick();
    EXPECT_EQ(linkState().WaitElapsed, 1);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::Wait));
}

TEST_F(TickTest, MessageTimerBlinksWhileProgressIsUpAndClearsThePanelAfter) {
    auto& s = linkState();
    progressView().Show();
    s.ProgressActive = 1;
    host->SetTimerEnabled(LinkTimer::MsgTimer, true);
    MsgTimerTick();
    EXPECT_EQ(progressView().LabelText(ProgressLabel::Label1), "") << "the design text blinks off first";
    MsgTimerTick();
    EXPECT_EQ(progressView().LabelText(ProgressLabel::Label1), "Please wait ...");
    MsgTimerTick();
    channelClearWait() = 1;
    MsgTimerTick();
    EXPECT_EQ(progressView().LabelText(ProgressLabel::Label1), "Waiting for communication clear ...");
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::MsgTimer));

    s.ProgressActive = 0;
    host->SetPanelText(4, "700mS");
    MsgTimerTick();
    EXPECT_EQ(host->PanelText(4), "");
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::MsgTimer));
}

// A reset forgets what every layer had queued or under way: the jobs waiting for the
// link, what the port handlers left to run after them, and a channel wait's blink text.
TEST_F(TickTest, AProgramResetLeavesNothingQueued) {
    int ran = 0;
    Transaction waiting(QByteArray(), TX_WAIT_ACK);
    waiting.Open();
    WhenLinkFree([&] { ++ran; });
    RunAfterHandler([&] { ++ran; });
    channelClearWait() = 1;
    ASSERT_EQ(LinkQueueLength(), 1);
    ASSERT_GE(QueuedJobCount(), 1);
    ResetProgramState();
    EXPECT_EQ(LinkQueueLength(), 0);
    EXPECT_EQ(QueuedJobCount(), 0);
    EXPECT_EQ(channelClearWait(), 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
}

// Events from the simulated module, acknowledged by the background tick.
class OwedAckTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        linkState().PacketTimeoutReload = 20;
        ConnectOverTcp();
        // The test runs the tick itself.
        host->Timer(LinkTimer::BGProcess).setInterval(3600 * 1000);
    }
    QList<QByteArray> Acks() const {
        QList<QByteArray> acks;
        for (const QByteArray& f : sim.Received())
            if (f.size() >= 6 && uint8_t(f[5]) == PKT_ACK) acks << f;
        return acks;
    }
};

// An acknowledgement names no event: one to a station answers every event of it that
// came before it, and each station is owed its own, in the order their events came.
TEST_F(OwedAckTest, EveryStationWithEventsBeforeTheTickGetsOneAcknowledgement) {
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    sim.SendEvent(0, 1, QByteArray(1, char(0x05)));
    sim.SendEvent(7, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().OwedAcks.size() == 2; }));
    EXPECT_EQ(eventAck().OwedAcks, (QList<int16_t>{0, 7}));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::BGProcess)) << "an owed acknowledgement wakes the tick";
    linkState().StationAddress[0] = 42;

    BGProcessTick();
    ASSERT_TRUE(WaitUntil([this] { return Acks().size() == 2; }));
    EXPECT_EQ(uint8_t(Acks()[1][1]), 7);
    EXPECT_EQ(Acks()[0], Bytes({6, 0, 0, 3, 0, PKT_ACK, 248}));
    EXPECT_FALSE(eventAck().AckPending);
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::BGProcess));
    EXPECT_EQ(linkState().StationAddress[0], 42) << "the station in use is restored";

    // A later event wakes the stopped tick again.
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::BGProcess));
    BGProcessTick();
    EXPECT_TRUE(WaitUntil([this] { return Acks().size() == 3; }));
}

TEST_F(OwedAckTest, AnAcknowledgementOwedAcrossANewConnectionFollowsItsStartText) {
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    // The tick comes due while the new connection is being opened.
    Later(0, [] { BGProcessTick(); });
    TcpClientSocket().Close();
    ASSERT_EQ(TcpConnect(LinkHold()), 1);
    EXPECT_TRUE(eventAck().AckPending) << "still owed, not lost";
    BGProcessTick();
    ASSERT_TRUE(WaitUntil([this] { return Acks().size() == 1; }));
    const QByteArray raw = sim.ReceivedRaw();
    const QByteArray start(TCP_START_TEXT, TCP_START_TEXT_LENGTH);
    const QByteArray ack = Acks()[0];
    EXPECT_EQ(raw.count(start), 2);
    EXPECT_GT(raw.indexOf(ack), raw.lastIndexOf(start)) << "the new connection's start text goes first";
}

TEST_F(OwedAckTest, AcknowledgementWaitsWhileATransactionIsOpen) {
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    {
        Transaction waiting(QByteArray(), TX_WAIT_REPLY);
        waiting.Open();
        BGProcessTick();
        EXPECT_TRUE(eventAck().AckPending);
        EXPECT_EQ(eventAck().OwedAcks.size(), 1);
        EXPECT_TRUE(host->TimerEnabled(LinkTimer::BGProcess)) << "tried again on a later tick";
    }
    BGProcessTick();
    EXPECT_TRUE(WaitUntil([this] { return Acks().size() == 1; }));
    EXPECT_FALSE(eventAck().AckPending);
}

TEST_F(OwedAckTest, RemoteStationIsAcknowledgedOnlyOnceItsChannelIsClear) {
    sim.SetChannelBusyPolls(2);
    sim.SendEvent(9, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    sim.ClearReceived();
    BGProcessTick();
    ASSERT_TRUE(WaitUntil([this] { return Acks().size() == 1; }));
    EXPECT_EQ(sim.ChannelPolls(), 3);
    EXPECT_EQ(Acks()[0], Bytes({6, 9, 0, 3, 0, PKT_ACK, 239}));
    EXPECT_EQ(uint8_t(sim.Received().last()[5]), PKT_ACK) << "the acknowledgement follows the polls";
}

// While the tick waits for the channel the link is its own: the station in use stays,
// and what is given meanwhile waits its turn, in order, unless its window went away.
TEST_F(OwedAckTest, WhatIsGivenDuringTheChannelWaitRunsAfterTheAcknowledgementInOrder) {
    jobHold.reset();  // the tick is the only job here
    sim.SetChannelBusyPolls(2);
    sim.SendEvent(9, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    linkState().StationAddress[0] = 42;
    QStringList order;
    QList<int16_t> stationDuringWait;
    auto* window = new QObject;
    QObject scope;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &scope, [&](const QByteArray& f) {
        if (uint8_t(f[6]) != CMD_CHANNEL_CLEAR || !stationDuringWait.isEmpty()) return;
        stationDuringWait << linkState().StationAddress[0];
        Later(0, [&, window] {
            EXPECT_TRUE(LinkBusy());
            WhenLinkFree([&] {
                order << QStringLiteral("first %1").arg(eventAck().OwedAcks.isEmpty() ? "acknowledged" : "owed");
            });
            WhenLinkFree([&] { order << "gone"; }, window);
            WhenLinkFree([&] { order << "second"; });
            delete window;
            BGProcessTick();  // a tick inside the wait leaves the work to the one waiting
        });
    });
    BGProcessTick();
    ASSERT_TRUE(WaitUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, QStringList({"first acknowledged", "second"})) << "after the acknowledgement";
    EXPECT_EQ(stationDuringWait, QList<int16_t>{42});
    EXPECT_EQ(Acks().size(), 1);
    EXPECT_FALSE(LinkBusy());
    EXPECT_EQ(LinkQueueLength(), 0);
}

} // namespace

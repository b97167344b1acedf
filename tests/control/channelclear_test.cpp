#include "control/channelclear.h"

#include "model/target.h"
#include "control/lentbox.h"
#include "link/frame.h"
#include "link/linkhold.h"
#include "platform/prompts.h"
#include "support/simfixture.h"
#include "link/transport.h"
#include "link/transaction.h"

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kTitle = QStringLiteral("OMRU - Channel clear timeout");

// The question word for word: six lines, each ending in LF then CR but the last.
QString ExpectedQuestion() {
    return QStringLiteral(
        "OMRU has timed out waiting for the target to return that the radio channel is clear. \n\r"
        "This possibly indicates that either excessive traffic is present on the channel or that\n\r"
        "the radio COS/Gate is jammed or is providing false information. You may continue to test for\n\r"
        "channel clear by clicking on YES, or to abort this operation, click on NO. If you abort this\n\r"
        "operation you must clear the source of the problem manually by either re-powering the radio or\n\r"
        "the target. Continue?");
}

// A remote station waited on over TCP. Each poll the module receives notes what the
// utility showed at that moment, so tests can tell when the question came and what
// state the wait kept while it ran.
class ChannelClearTest : public SimLinkFixture {
protected:
    struct AtPoll {
        int boxesShown;
        int16_t channelClearWait, progressActive;
        bool msgTimer;
    };

    void SetUp() override {
        SimLinkFixture::SetUp();
        // Long enough that no reply is ever late by accident.
        SetConnectionReplyTimeout(20);
        // The blink tick switches the timer off by itself; keep it from firing so the
        // timer's state is the wait's doing alone.
        host->Timer(LinkTimer::MsgTimer).setInterval(3600 * 1000);
        ConnectOverTcp();
        SetStation(5, 0, 3);
        QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [this](const QByteArray&) {
            const LinkState& s = linkState();
            polls.append({int(prompts.Shown().size()), channelClearWait(), s.ProgressActive,
                          host->TimerEnabled(LinkTimer::MsgTimer)});
        });
    }

    static void SetStation(int16_t a, int16_t b, int16_t c) {
        linkState().StationAddress[0] = a;
        linkState().StationAddress[1] = b;
        linkState().StationAddress[2] = c;
    }

    // Whatever way the wait ended, nothing of it is left running.
    void ExpectWaitOver() const {
        EXPECT_EQ(channelClearWait(), 0);
        EXPECT_EQ(linkState().ProgressActive, 0);
        EXPECT_FALSE(host->TimerEnabled(LinkTimer::MsgTimer));
    }

    // Boxes shown that were the channel question.
    int Questions() const {
        int n = 0;
        for (const ShownBox& b : prompts.Shown()) n += b.title == kTitle;
        return n;
    }

    QList<AtPoll> polls;
};

TEST_F(ChannelClearTest, LocalModuleNeedsNoWait) {
    SetStation(0, 0, 0);
    target().ChannelState = 7;
    EXPECT_EQ(WaitChannelClear(Held()), 0);
    EXPECT_EQ(sim.ReceivedCount(), 0);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    ExpectWaitOver();
}

TEST_F(ChannelClearTest, ClearAtTheFirstPollIsOnePollToTheLocalModule) {
    // A clear state left over from earlier must not end the wait before it polls.
    target().ChannelState = 0;
    EXPECT_EQ(WaitChannelClear(Held()), 0);
    ASSERT_EQ(sim.ChannelPolls(), 1);
    EXPECT_EQ(sim.Received()[0], WithChecksum({7, 0, 0, 0, 0, PKT_GET, CMD_CHANNEL_CLEAR}));
    EXPECT_EQ(linkState().StationAddress[0], 5);
    EXPECT_EQ(linkState().StationAddress[1], 0);
    EXPECT_EQ(linkState().StationAddress[2], 3);
    EXPECT_TRUE(prompts.Shown().isEmpty());

    ASSERT_EQ(polls.size(), 1);
    EXPECT_EQ(polls[0].channelClearWait, 1);
    EXPECT_EQ(polls[0].progressActive, 1);
    EXPECT_TRUE(polls[0].msgTimer);
    ExpectWaitOver();
}

TEST_F(ChannelClearTest, BusyChannelIsAskedAboutAfter101PollsThenAfterEveryPoll) {
    sim.SetChannelBusyPolls(-1);
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbYes);
    // The third question finds no answer and gets No.
    EXPECT_EQ(WaitChannelClear(Held()), 255);

    ASSERT_EQ(sim.ChannelPolls(), 103);
    for (int i = 0; i < 101; ++i) EXPECT_EQ(polls[i].boxesShown, 0) << "poll " << i + 1;
    EXPECT_EQ(polls[101].boxesShown, 1);
    EXPECT_EQ(polls[102].boxesShown, 2);
    ASSERT_EQ(prompts.Shown().size(), 3);
    for (const ShownBox& b : prompts.Shown()) {
        EXPECT_EQ(b.text, ExpectedQuestion());
        EXPECT_EQ(b.title, kTitle);
        EXPECT_EQ(b.buttons, vbYesNo);
        EXPECT_EQ(b.icon, vbCritical);
    }
    for (const QByteArray& f : sim.Received()) EXPECT_EQ(uint8_t(f[FRAME_DESTINATION]), 0);
    for (const AtPoll& p : polls) {
        EXPECT_EQ(p.channelClearWait, 1);
        EXPECT_EQ(p.progressActive, 1);
        EXPECT_TRUE(p.msgTimer);
    }
    ExpectWaitOver();
}

// At most one question on screen: a borrower (inside the lender's question) and a duty
// of the program's own while another question is up give up when the budget runs out,
// asking nobody; the same duty with nothing else on screen asks.
TEST_F(ChannelClearTest, ABorrowerOrABackgroundDutyUnderAQuestionGivesUpWithoutAsking) {
    sim.SetChannelBusyPolls(-1);
    int16_t borrowed = -1, underTheBox = -1;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Go on?")) return;
        bool ran = false;
        Later(0, [&] {
            const LinkHold borrower(LinkHold::MayLend, LinkHold::Command);
            borrowed = WaitChannelClear(borrower);
            ran = true;
        });
        WaitUntil([&] { return ran; }, 30000);
    });
    MsgBoxLent(Held(), QStringLiteral("Lent"), vbYesNo, QStringLiteral("Go on?"));
    EXPECT_EQ(borrowed, 255);
    EXPECT_EQ(sim.ChannelPolls(), 101);
    EXPECT_EQ(prompts.Shown().size(), 1) << "the lender's question only";

    jobHold.reset();
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Another")) return;
        const LinkHold duty(LinkHold::MayLend, LinkHold::Background);
        ASSERT_TRUE(duty.Granted());
        underTheBox = WaitChannelClear(duty);
    });
    MsgBox(QStringLiteral("A question of its own"), vbOKOnly, QStringLiteral("Another"));
    prompts.WhileShowing({});
    EXPECT_EQ(underTheBox, 255);
    EXPECT_EQ(prompts.Shown().size(), 2);

    const LinkHold duty(LinkHold::MayLend, LinkHold::Background);
    EXPECT_EQ(WaitChannelClear(duty), 255);
    ASSERT_EQ(prompts.Shown().size(), 3) << "nothing else on screen: it asks";
    EXPECT_EQ(prompts.Shown().last().title, kTitle);
}

TEST_F(ChannelClearTest, QuestionAfterAClearReplyEndsTheWaitOnYes) {
    // The 101st poll finds the channel clear; the budget is spent, so the question
    // still comes, and Yes ends the wait without polling again.
    sim.SetChannelBusyPolls(100);
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(WaitChannelClear(Held()), 0);
    EXPECT_EQ(sim.ChannelPolls(), 101);
    EXPECT_EQ(Questions(), 1);
    ExpectWaitOver();

    // No gives up even though the channel was clear.
    sim.ClearReceived();
    prompts.Clear();
    sim.SetChannelBusyPolls(100);
    EXPECT_EQ(WaitChannelClear(Held()), 255);
    EXPECT_EQ(sim.ChannelPolls(), 101);
    EXPECT_EQ(Questions(), 1);
    ExpectWaitOver();
}

TEST_F(ChannelClearTest, ChannelClearingAfterAYesEndsAfterThatPollsQuestion) {
    // Yes does not refill the budget: the poll that finds the channel clear is still
    // followed by the question, and only the answer to it ends the wait.
    sim.SetChannelBusyPolls(101);
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(WaitChannelClear(Held()), 0);
    EXPECT_EQ(sim.ChannelPolls(), 102);
    EXPECT_EQ(Questions(), 2);
    EXPECT_EQ(prompts.Unanswered(), 0);
    ExpectWaitOver();
}

TEST_F(ChannelClearTest, FailedPollEndsTheWait) {
    // A silent module: the resends run out and the no-communication question gets No.
    SetConnectionReplyTimeout(2);
    sim.SetFault(sim::Fault::Silent);
    EXPECT_EQ(WaitChannelClear(Held()), 255);
    // The three sends of the one poll, and no poll after it.
    EXPECT_EQ(sim.ChannelPolls(), 3);
    EXPECT_EQ(Questions(), 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, "Communication Timer");
    ExpectWaitOver();
}

TEST_F(ChannelClearTest, RefusedPollEndsTheWait) {
    // Refused after a few busy polls, so the failure is not mistaken for a first poll.
    sim.SetChannelBusyPolls(-1);
    QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [this](const QByteArray&) {
        if (sim.ChannelPolls() == 4) sim.SetNackCommand(CMD_CHANNEL_CLEAR);
    });
    EXPECT_EQ(WaitChannelClear(Held()), 255);
    EXPECT_EQ(sim.ChannelPolls(), 5);
    EXPECT_EQ(Questions(), 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "OMRU received NACK from target - unknown command");
    ExpectWaitOver();
}

} // namespace

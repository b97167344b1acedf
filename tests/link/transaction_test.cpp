#include "control/localsettings.h"
#include "control/lentbox.h"
#include "link/linkhold.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/linkclient.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/trace.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "model/eventlist.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

// SendPacket over an in-memory port: the test decides what the "module" answers.
class TransactionTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        settings().RetryCount = 3;
        linkState().PacketTimeoutReload = 1;  // one 100 ms tick
        port = OpenMemoryPort();
        ASSERT_NE(port, nullptr);
    }
    static QByteArray Answer(const QByteArray& request, int type) {
        return WithChecksum({7, 0, uint8_t(request[1]), uint8_t(request[3]), uint8_t(request[4]), type,
                             uint8_t(request[6])});
    }
    // Answers the n-th write (1-based) and every later one; earlier writes go unanswered.
    void AnswerFrom(int n, int type) {
        port->onWrite = [this, n, type](const QByteArray& w) {
            if (port->writes.size() >= n) port->Feed(Answer(w, type));
        };
    }
    MemorySerialPort* port = nullptr;
};

TEST_F(TransactionTest, ReplyEndsARequest) {
    AnswerFrom(1, PKT_REPLY);
    EXPECT_EQ(SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
    EXPECT_EQ(port->writes.size(), 1);
    EXPECT_FALSE(OpenTransactionNow());
    EXPECT_EQ(prompts.Shown().size(), 0);
}

TEST_F(TransactionTest, TimeoutsResendUntilAnswered) {
    AnswerFrom(3, PKT_ACK);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    ASSERT_EQ(port->writes.size(), 3);
    EXPECT_EQ(port->writes[2], port->writes[0]) << "a resend carries the same frame";
    EXPECT_EQ(host->PanelText(3), QStringLiteral("RETRY ...2"));
    EXPECT_EQ(prompts.Shown().size(), 0);
}

TEST_F(TransactionTest, RetryCountSendsThenTheQuestionNoGoesOffLine) {
    linkState().TcpLinkActive = false;
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_NO_ANSWER);
    jobHold.reset();  // the job lets go: now the program takes the link off line
    EXPECT_EQ(port->writes.size(), 3);
    ASSERT_EQ(prompts.Shown().size(), 1);
    const ShownBox& box = prompts.Shown()[0];
    EXPECT_EQ(box.title, QStringLiteral("Communication Timer"));
    EXPECT_EQ(box.text, QStringLiteral("No Communication from module\r\nCheck cable and COM port, Continue?"));
    EXPECT_EQ(box.buttons, vbYesNo);
    EXPECT_EQ(box.icon, vbQuestion);
    // Off line: port closed, panels and menus as after a lost connection.
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(host->PanelText(4), QStringLiteral("Communication Timeout"));
    EXPECT_TRUE(host->PanelText(3).isEmpty());
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_TRUE(host->TimerEnabled(LinkTimer::MsgTimer));
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuConfigSystem));
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuDateTime));
    EXPECT_FALSE(host->ToolbarButtonEnabled(ToolButton::Write));
    EXPECT_TRUE(host->ToolbarButtonEnabled(ToolButton::Read));
    EXPECT_FALSE(OpenTransactionNow());
}

// The link only reports that it gave up; which commands stay offered is the program's
// to decide, and a Yes that goes on is no giving up.
TEST_F(TransactionTest, GivingUpIsReportedOnceAndTheMenusAreLeftToTheProgram) {
    struct Client : LinkClient {
        int givenUp = 0;
        LinkSettings Settings() const override {
            LinkSettings l;
            l.RetryCount = 2;
            return l;
        }
        int asked = 0;
        bool GoOnWithoutAnswer(const LinkHold&) override { return ++asked == 1; }
        void NoAnswerGivenUp() override { ++givenUp; }
    } client;
    SetLinkClient(&client);
    host->SetMenuEnabled(MenuItem::mnuConfigSystem, true);
    host->SetToolbarButtonEnabled(ToolButton::Write, true);
    const int16_t result = SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0);
    const int beforeTheHoldEnds = client.givenUp;
    jobHold.reset();
    const int givenUp = client.givenUp;
    SetLinkClient(nullptr);
    EXPECT_EQ(result, SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 4);
    EXPECT_EQ(beforeTheHoldEnds, 0) << "the job may still put the module back over the link";
    EXPECT_EQ(givenUp, 1);
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuConfigSystem));
    EXPECT_TRUE(host->ToolbarButtonEnabled(ToolButton::Write));
    EXPECT_NE(host->PanelText(4), QStringLiteral("Communication Timeout")) << "the failure text is the program's";
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "the link asks nobody itself";
}

TEST_F(TransactionTest, EachYesBuysRetryCountMoreSends) {
    settings().RetryCount = 5;
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 20);
    EXPECT_EQ(prompts.Shown().size(), 4);
}

TEST_F(TransactionTest, RetryCountOneAsksAtTheFirstTimeout) {
    settings().RetryCount = 1;
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 1);
}

TEST_F(TransactionTest, EventMonitorKeepsThePortOpenWhenGivingUp) {
    eventMonitor().EventMonitorOpen = true;
    settings().RetryCount = 2;
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    jobHold.reset();
    EXPECT_TRUE(port->IsOpen());
    // Each resend is noted in the monitor's list.
    ASSERT_EQ(eventMonitor().lstEvents.size(), 1);
    EXPECT_TRUE(eventMonitor().lstEvents[0].contains(QStringLiteral(" - TX ")));
}

TEST_F(TransactionTest, GivingUpTakesALinkOutOfSwitchThroughAndPellar) {
    target().PellarDevice = true;
    ReportLinkOffLine(QStringLiteral("Communication Timeout"));
    EXPECT_FALSE(target().PellarDevice);
    EXPECT_EQ(linkState().LinkMode, LINK_NORMAL);
}

TEST_F(TransactionTest, UserCancelEndsTheWaitOnceTheFrameHasLeft) {
    Later(50, [this] { Held().Cancel(); });
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_EQ(host->PanelText(4), QStringLiteral("User Cancel"));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::Wait));
    EXPECT_FALSE(OpenTransactionNow());
}

TEST_F(TransactionTest, CancelPresentWhenTheAnswerArrivesStillCancels) {
    port->onWrite = [this](const QByteArray& w) {
        Held().Cancel();
        port->Feed(Answer(w, PKT_REPLY));
    };
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_CANCELLED);
}

// A window closing in the middle of its own request abandons that request only: the
// command the program sends next (a PTT off, a debug flag) must go out and count.
TEST_F(TransactionTest, AbandonedTransactionTakesItsCancelWithIt) {
    AbandonTransaction();
    EXPECT_FALSE(Held().CancelAsked()) << "nothing open, nothing to abandon";

    Later(50, [] { AbandonTransaction(); });
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_FALSE(Held().CancelAsked());
    AnswerFrom(2, PKT_ACK);
    EXPECT_EQ(SendCommand(Held(), CMD_PTT_OFF, 0, 0, 0), SEND_OK);

    // A transfer's own Cancel still stands after its frame is answered, so the
    // transfer can tell it was cancelled.
    port->onWrite = [this](const QByteArray& w) {
        Held().Cancel();
        port->Feed(Answer(w, PKT_ACK));
    };
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_TRUE(Held().CancelAsked());
}

TEST_F(TransactionTest, SendOnlyEndsWhenTheLastByteHasLeft) {
    EXPECT_EQ(SendAck(Held(), 12), SEND_OK);
    ASSERT_EQ(port->writes.size(), 1);
    EXPECT_EQ(port->writes[0], Bytes({6, 12, 0, 3, 0, 254, 236}));
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn)) << "no reply time-out for a send-only frame";
}

// An acknowledgement on a port that has closed itself (the adapter pulled), or whose
// transmit stalls, never leaves: it fails once the stall guard has run out, and is not
// sent again.
TEST_F(TransactionTest, SendOnlyThatCannotLeaveFailsAtTheStallGuard) {
    // Should the wait not end by itself, the cancel ends it, and the test fails.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] { Held().Cancel(); });
    watchdog.start(6000);
    port->Close();
    emit port->comm(comEvPortLost);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(SendAck(Held(), 12), SEND_NO_ANSWER) << "the real stall guard ends the wait";
    EXPECT_GE(t.elapsed(), WAIT_TIMER_MS - 100);
    EXPECT_TRUE(port->writes.isEmpty());
    EXPECT_FALSE(OpenTransactionNow());
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "no question: there is nothing to try again";

    ASSERT_EQ(port->Open(), COMM_OK);
    port->stallTransmit = true;
    Later(10, [] { WaitTick(); });
    EXPECT_EQ(SendAck(Held(), 12), SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 1);
    port->stallTransmit = false;
    EXPECT_EQ(SendAck(Held(), 12), SEND_OK) << "the next one goes as usual";
}

TEST_F(TransactionTest, StalledTransmissionCountsAsATimeout) {
    port->stallTransmit = true;
    prompts.QueueAnswer(vbNo);
    QTemporaryDir dir;
    ASSERT_TRUE(TraceOpenFile(dir.filePath("t.txt")));
    linkState().TraceOn = true;
    // Drive the stall guard by hand rather than wait 1500 ms for each send.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (OpenTransactionNow()) WaitTick();
    });
    guard.start(10);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 3);
    TraceCloseFile();
    QFile f(dir.filePath("t.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("MSComm transmit failure'"), 3);
}

TEST_F(TransactionTest, TraceLinesForSendAndResend) {
    QTemporaryDir dir;
    ASSERT_TRUE(TraceOpenFile(dir.filePath("t.txt")));
    linkState().TraceOn = true;
    AnswerFrom(2, PKT_ACK);
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_OK);
    TraceCloseFile();
    QFile f(dir.filePath("t.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("TX: 0700000000018671\r\n"
                                      "WAITING ACK\r\n"
                                      "RTX: 0700000000018671\r\n"
                                      "WAITING ACK\r\n"
                                      "RX: 070000000000FE867A\r\n"
                                      "")
                               .replace("070000000000FE867A", Answer(port->writes[0], PKT_ACK).toHex().toUpper()));
}

TEST_F(TransactionTest, RefusedWhileOpenFailsQuietlyAndKeepsTheOpenFrame) {
    // From inside the wait, another sender (an owed acknowledgement, a second click)
    // tries to start its own transaction without the link.
    SetUnheldSendStops(false);
    int16_t inner = -1;
    port->onWrite = [&](const QByteArray& w) {
        if (port->writes.size() == 1) {
            inner = SendAck(Held(), 3);
            inner = SendCommand(Held(), CMD_RESET_SYSTEM, 0, 0, 0);
        } else {
            port->Feed(Answer(w, PKT_REPLY));
        }
    };
    EXPECT_EQ(SendRequestByte(Held(), CMD_BUFFER_DUMP, 0, 0, 0, 2), SEND_OK);
    EXPECT_EQ(inner, SEND_REFUSED);
    EXPECT_EQ(prompts.Shown().size(), 0) << "no debug box";
    ASSERT_EQ(port->writes.size(), 2);
    EXPECT_EQ(port->writes[1], port->writes[0]) << "the resend carries the open request, not the refused one";
}

TEST_F(TransactionTest, RefusedRequestLeavesTheOpenTransfersCancelStanding) {
    SetUnheldSendStops(false);
    int16_t inner = -1;
    port->onWrite = [&](const QByteArray&) {
        Held().Cancel();
        inner = SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0);
    };
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_EQ(inner, SEND_REFUSED);
}

TEST_F(TransactionTest, ASendWithoutTheLinkIsRefusedAndStopsADebugBuild) {
    jobHold.reset();
    {
        // A hold taken while another job holds the link is not granted, and cannot send.
        const LinkHold other;
        const LinkHold unheld;
        EXPECT_FALSE(unheld.Granted());
        EXPECT_DEBUG_DEATH(SendCommand(unheld, CMD_RESTART_PROCESSES, 0, 0, 0), "without holding the link");
        SetUnheldSendStops(false);
        EXPECT_EQ(SendCommand(unheld, CMD_RESTART_PROCESSES, 0, 0, 0), SEND_REFUSED);
    }
    EXPECT_TRUE(port->writes.isEmpty());
    {
        // A job's own hold lets it send; one taken inside another's wait does not, nor
        // can the job's own hold be used from inside its transaction.
        const LinkHold hold;
        port->onWrite = [this, &hold](const QByteArray& w) {
            const LinkHold inner;
            EXPECT_FALSE(inner.Granted());
            EXPECT_EQ(SendCommand(inner, CMD_PTT_OFF, 0, 0, 0), SEND_REFUSED);
            EXPECT_EQ(SendCommand(hold, CMD_PTT_OFF, 0, 0, 0), SEND_REFUSED);
            port->Feed(Answer(w, PKT_ACK));
        };
        EXPECT_EQ(SendCommand(hold, CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    }
    EXPECT_EQ(port->writes.size(), 1);
}

// A job that asks something mid-sequence lends the link while its box is up: what runs
// inside the box may take it and send. A job whose module must hear nothing else (a
// firmware load) lends nothing, and nothing is lent while a transaction of its is open.
// The lender's longer reply time-out is its own: the borrower waits the connection's.
TEST_F(TransactionTest, ABoxInMidSequenceLendsTheLinkUnlessTheJobForbidsIt) {
    QList<int> ticksAtWrite;
    port->onWrite = [this, &ticksAtWrite](const QByteArray& w) {
        ticksAtWrite << ReplyTicksNow();
        port->Feed(Answer(w, PKT_ACK));
    };
    linkState().PacketTimeoutReload = 20;
    Held().SetReplyTimeout(160);
    const auto borrowInsideTheBox = [this](bool& granted, int16_t& sent) {
        prompts.WhileShowing([&](const ShownBox&) {
            bool ran = false;
            Later(0, [&] {
                const LinkHold borrower;
                granted = borrower.Granted();
                sent = SendCommand(borrower, CMD_PTT_OFF, 0, 0, 0);
                ran = true;
            });
            WaitUntil([&] { return ran; });
        });
    };
    bool granted = false;
    int16_t sent = -1;
    borrowInsideTheBox(granted, sent);
    MsgBoxLent(Held(), QStringLiteral("Go on?"), vbYesNo, QString());
    EXPECT_TRUE(granted);
    EXPECT_EQ(sent, SEND_OK);
    EXPECT_TRUE(Held().MaySend()) << "the lender has the link back";
    EXPECT_EQ(SendCommand(Held(), CMD_PTT_OFF, 0, 0, 0), SEND_OK);
    EXPECT_EQ(ticksAtWrite, (QList<int>{20, 160}));
    EXPECT_EQ(linkState().PacketTimeoutCount, 20) << "the countdown at rest is the connection's";

    SetUnheldSendStops(false);
    jobHold.reset();
    {
        const LinkHold loader(LinkHold::NeverLent);
        borrowInsideTheBox(granted, sent);
        MsgBoxLent(loader, QStringLiteral("Go on?"), vbYesNo, QString());
        EXPECT_FALSE(granted);
        EXPECT_EQ(sent, SEND_REFUSED);
    }
    prompts.WhileShowing({});
    EXPECT_EQ(port->writes.size(), 2) << "only the borrower's and the lender's commands went out";
}

// When the module does not answer, the job that owns the request decides: a borrower
// running inside the lender's question gives up its own request without asking and
// leaves the port as it was; the lender's Yes goes on only over the port it had, so a
// port pulled while the question was up gets nothing more.
TEST_F(TransactionTest, NoAnswerIsTheJobsToDecideAndABorrowerNeverEndsTheLink) {
    settings().RetryCount = 2;
    int16_t borrowed = -1;
    bool openAfterTheBorrower = false;
    prompts.WhileShowing([&](const ShownBox&) {
        if (borrowed != -1) return;
        bool ran = false;
        Later(0, [&] {
            const LinkHold borrower;
            borrowed = SendCommand(borrower, CMD_PTT_OFF, 0, 0, 0);
            ran = true;
        });
        WaitUntil([&] { return ran; });
        openAfterTheBorrower = port->IsOpen();
        port->Close();
    });
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_LINK_LOST);
    jobHold.reset();
    prompts.WhileShowing({});
    EXPECT_EQ(borrowed, SEND_NO_ANSWER);
    EXPECT_TRUE(openAfterTheBorrower);
    EXPECT_EQ(prompts.Shown().size(), 1) << "one question: the borrower asks nobody";
    EXPECT_EQ(port->writes.size(), 4) << "two sends each, none after the Yes";
    EXPECT_EQ(host->PanelText(4), QStringLiteral("Communication Timeout"));
}

// A cancel belongs to the job it was given to: a borrower's request inside the lender's
// box leaves standing the cancel the lender was given meanwhile.
TEST_F(TransactionTest, ABorrowersRequestLeavesTheLendersCancelStanding) {
    port->onWrite = [this](const QByteArray& w) { port->Feed(Answer(w, PKT_REPLY)); };
    prompts.WhileShowing([&](const ShownBox&) {
        EXPECT_TRUE(CancelJobOnTheWire());  // Cancel pressed while the question is up
        bool ran = false;
        Later(0, [&] {
            const LinkHold borrower;
            EXPECT_EQ(SendRequest(borrower, CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
            ran = true;
        });
        WaitUntil([&] { return ran; });
    });
    MsgBoxLent(Held(), QStringLiteral("Go on?"), vbYesNo, QString());
    prompts.WhileShowing({});
    EXPECT_EQ(port->writes.size(), 1);
    EXPECT_TRUE(Held().CancelAsked());
}

TEST_F(TransactionTest, EventDuringAWaitResendsAtOnce) {
    port->onWrite = [this](const QByteArray& w) {
        if (port->writes.size() == 1) port->Feed(WithChecksum({8, 0, 9, 3, 0, PKT_EVENT, 1, 0x11}));
        else port->Feed(Answer(w, PKT_ACK));
    };
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    EXPECT_EQ(port->writes.size(), 2);
    EXPECT_EQ(port->writes[1], port->writes[0]);
    EXPECT_FALSE(eventAck().AckPending) << "an event met during a transaction is not acknowledged";
}

TEST_F(TransactionTest, ResendRequestFromTheModule) {
    port->onWrite = [this](const QByteArray& w) {
        port->Feed(Answer(w, port->writes.size() == 1 ? PKT_RESEND : PKT_REPLY));
    };
    EXPECT_EQ(SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
    EXPECT_EQ(port->writes.size(), 2);
}

TEST_F(TransactionTest, ReplyCountdownShowsMillisecondsAndRaisesARetry) {
    Transaction waiting(QByteArray(), TX_WAIT_REPLY);
    waiting.Open();
    linkState().PacketTimeoutReload = 3;
    linkState().PacketTimeoutCount = 3;
    CommInTick();
    EXPECT_EQ(host->PanelText(4), QStringLiteral("200mS"));
    EXPECT_FALSE(waiting.RetryRequest);
    CommInTick();
    CommInTick();
    EXPECT_EQ(host->PanelText(4), QStringLiteral("0mS"));
    EXPECT_TRUE(waiting.RetryRequest);
    EXPECT_EQ(linkState().PacketTimeoutCount, 3);
    linkState().PacketTimeoutCount = 0;
    waiting.RetryRequest = false;
    CommInTick();
    EXPECT_FALSE(waiting.RetryRequest) << "a countdown at rest stays at rest";
}

TEST_F(TransactionTest, PortClosedTimesOutInsteadOfHanging) {
    port->Close();
    settings().RetryCount = 1;
    prompts.QueueAnswer(vbNo);
    Later(10, [] { WaitTick(); });
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_TRUE(port->writes.isEmpty());
}

} // namespace

namespace {

// Exit asks the job on the wire what it is doing, however it started: the first hold
// alive is that job, and its kind says whether it finishes first or ends at once.
TEST_F(TransactionTest, TheJobOnTheWireIsTheFirstHoldAndACancelReachesItAlone) {
    jobHold.reset();
    EXPECT_EQ(JobOnTheWire(), WireJob::None);
    EXPECT_FALSE(CancelJobOnTheWire());
    {
        const LinkHold duty(LinkHold::MayLend, LinkHold::Background);
        EXPECT_EQ(JobOnTheWire(), WireJob::Background);
    }
    {
        const LinkHold loader(LinkHold::NeverLent);
        EXPECT_EQ(JobOnTheWire(), WireJob::NeverLent);
    }
    {
        const LinkHold read;
        EXPECT_EQ(JobOnTheWire(), WireJob::Working);
        const LinkLend lend(read);
        const LinkHold poll;
        ASSERT_TRUE(poll.Borrowed());
        EXPECT_EQ(JobOnTheWire(), WireJob::WaitingForPerson);
        const LinkLend again(poll);
        const LinkHold third;
        EXPECT_FALSE(third.Granted()) << "a borrower lends nothing on";
        EXPECT_TRUE(CancelJobOnTheWire());
        EXPECT_TRUE(read.CancelAsked());
        EXPECT_FALSE(poll.CancelAsked());
    }
    // Between the holds of a job that takes the link twice, its cancel still reaches it.
    LinkJob load;
    EXPECT_TRUE(CancelJobOnTheWire());
    const LinkHold work(load, LinkHold::NeverLent);
    EXPECT_TRUE(work.CancelSeen());
    const LinkHold next;
    EXPECT_FALSE(next.Granted());
}

} // namespace

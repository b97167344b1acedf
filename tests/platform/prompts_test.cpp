#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/scriptedprompts.h"
#include "platform/serialport.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

using namespace korvel;

namespace {

TEST(ScriptedPromptsTest, AnswersInOrderRecordsEverythingAndCountsUnanswered) {
    ScriptedPrompts p;
    p.QueueAnswer(vbNo);
    p.QueueInput(QStringLiteral("1234"));
    p.QueueInput(std::nullopt);
    EXPECT_EQ(p.MsgBox("Q?", vbYesNo + vbQuestion, "T"), vbNo);
    EXPECT_EQ(p.InputBox("Password", "Debug", ""), std::optional<QString>("1234"));
    EXPECT_EQ(p.InputBox("Again", "", "x"), std::nullopt);
    EXPECT_EQ(p.Unanswered(), 0);
    // Nothing queued: the answer that stops, and the box is counted.
    EXPECT_EQ(p.MsgBox("Q?", vbYesNo, ""), vbNo);
    EXPECT_EQ(p.MsgBox("R?", vbRetryCancel, ""), vbCancel);
    EXPECT_EQ(p.Unanswered(), 2);
    ASSERT_EQ(p.Shown().size(), 5);
    EXPECT_EQ(p.Shown()[0].icon, vbQuestion);
    EXPECT_EQ(p.Shown()[0].buttons, vbYesNo);
    EXPECT_EQ(p.Shown()[2].title, AppTitle()) << "an empty title is the application's";
}

TEST(SerialSettingsTest, ParsesTheSettingsStringsTheLinkUses) {
    SerialSettings s;
    ASSERT_TRUE(ParseSerialSettings("9600,N,8,2", s));
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 2);
    ASSERT_TRUE(ParseSerialSettings("9600,n,8,1", s));
    EXPECT_EQ(s.stopBits, 1);
    for (const char* bad : {"", "9600,N,8", "x,N,8,2", "9600,Q,8,2", "9600,N,9,2", "9600,N,8,3"})
        EXPECT_FALSE(ParseSerialSettings(bad, s)) << bad;
}

TEST(SerialSettingsTest, PortNumbersNameSerialDevicesAndPathsStay) {
    EXPECT_EQ(SerialDeviceFor("1"), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(SerialDeviceFor("4"), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(SerialDeviceFor("/dev/pts/7"), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(SerialDeviceFor(" /dev/ttyUSB0 "), QStringLiteral("/dev/ttyUSB0"));
}

} // namespace

TEST(PromptsTest, EachLineEndPairIsOneLineBreakOnScreen) {
    EXPECT_EQ(DisplayLineBreaks("a\n\rb\r\nc\rd\ne"), "a\nb\nc\nd\ne");
    EXPECT_EQ(DisplayLineBreaks("a\n\r\n\rb"), "a\n\nb");  // a blank line stays one
    EXPECT_EQ(DisplayLineBreaks("ends\n\r"), "ends\n");
}

TEST(FileFilterTest, ProgramFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters(QStringLiteral("Korvel Configuration Files (*.ZPF)|*.ZPF")),
              QStringLiteral("Korvel Configuration Files (*.ZPF)"));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Task Files|*.JTF;*.jtf|All Files (*.*)|*.*")),
              QStringLiteral("Task Files (*.JTF *.jtf);;All Files (*.*)"));
    // The patterns that filter are the filter's own, not the description's.
    EXPECT_EQ(QtNameFilters(QStringLiteral("Flash File (korvel_*.rom; quimzrl_*.rom)|Korvel_*.rom; QUIMZRL_*.rom")),
              QStringLiteral("Flash File (Korvel_*.rom QUIMZRL_*.rom)"));
    EXPECT_EQ(QtNameFilters(QString()), QString());
    // A lone pattern without its partner is still offered.
    EXPECT_EQ(QtNameFilters(QStringLiteral("Logs|*.LOG|*.TXT")), QStringLiteral("Logs (*.LOG);;*.TXT"));
}

// A wait called while a port's or socket's handler is on the stack is a fault of the
// program: it stops at once in tests and debug builds, whatever kind of wait it is.
TEST(IoHandlerDeathTest, EveryKindOfWaitInsideAHandlerStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH({ const IoHandlerScope h; WaitForEvents(1); }, "waiting for events inside an I/O handler");
    EXPECT_DEATH({ const IoHandlerScope h; DoEvents(); }, "pumping events inside an I/O handler");
    EXPECT_DEATH({ const IoHandlerScope h; PauseMs(1, nullptr); }, "a pause inside an I/O handler");
    EXPECT_DEATH({ const IoHandlerScope h; MsgBox(QStringLiteral("?")); }, "box inside an I/O handler");
    // Each kind of box refuses by itself, whoever holds it: not only through the accessor.
    ScriptedPrompts boxes;
    EXPECT_DEATH({ const IoHandlerScope h; boxes.MsgBox({}, vbOKOnly, {}); }, "a message box inside");
    EXPECT_DEATH({ const IoHandlerScope h; boxes.InputBox({}, {}, {}); }, "an input box inside");
    EXPECT_DEATH({ const IoHandlerScope h; boxes.GetOpenFileName({}, {}, {}); }, "a file box inside");
    EXPECT_DEATH({ const IoHandlerScope h; boxes.GetSaveFileName({}, {}, {}); }, "a file box inside");
    EXPECT_DEATH({ const IoHandlerScope h; boxes.ChoosePrinter({}); }, "the print dialog inside");
    {
        // Holding the prompts is no wait.
        const IoHandlerScope h;
        EXPECT_EQ(&prompts(), &prompts());
    }
    EXPECT_DEATH({ const LinkHold hold; const IoHandlerScope h; SendPacket(hold, QByteArray(), TX_WAIT_ACK); }, "a send that waits for its reply inside");
    // Outside every handler the same calls are fine.
    {
        const IoHandlerScope h;
        EXPECT_TRUE(InIoHandler());
    }
    EXPECT_FALSE(InIoHandler());
    WaitForEvents(1);
}

// What a handler starts runs after it, in the order it was started; a job that waits
// lets the later ones run inside its wait; a job whose owner is gone is dropped.
TEST(IoHandlerTest, QueuedJobsRunInOrderOnceTheHandlerHasReturned) {
    QStringList ran;
    {
        const IoHandlerScope h;
        RunAfterHandler([&] {
            EXPECT_FALSE(InIoHandler());
            ran << "first";
            const QDeadlineTimer until(2000);
            while (ran.size() < 3 && !until.hasExpired()) WaitForEvents(10);
            ran << "first done";
        });
        RunAfterHandler([&] { ran << "second"; });
        auto owner = std::make_unique<QObject>();
        RunAfterHandler([&] { ran << "orphan"; }, owner.get());
        owner.reset();
        RunAfterHandler([&] { ran << "third"; });
        EXPECT_TRUE(ran.isEmpty());
    }
    EXPECT_EQ(QueuedJobCount(), 4);
    const QDeadlineTimer until(2000);
    while (ran.size() < 4 && !until.hasExpired()) WaitForEvents(10);
    EXPECT_EQ(ran, QStringList({"first", "second", "third", "first done"}));
    RunAfterHandler([&] { ran << "forgotten"; });
    ForgetQueuedJobs();
    RunQueuedJobs();
    EXPECT_EQ(ran.size(), 4);
}

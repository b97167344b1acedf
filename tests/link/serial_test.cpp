#include "control/localsettings.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/transport.h"
#include "platform/qtserialport.h"
#include "sim/simmodule.h"
#include "support/simfixture.h"
#include "platform/scriptedprompts.h"

#include <QEventLoop>
#include <QTimer>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace korvel;
using namespace korvel::test;
using korvel::sim::Fault;
using korvel::sim::SimModule;

namespace {

// The real serial path: QSerialPort on the slave side of a pseudo-terminal whose
// master side is the simulated module.
class SerialTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        device = sim.OpenPty();
        ASSERT_FALSE(device.isEmpty());
        settings().CommPortDevice = device;
    }
    QString device;
};

TEST_F(SerialTest, OpensAPseudoTerminalThatRefusesModemLines) {
    EXPECT_EQ(OpenCommPort(), 0);
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_EQ(CommPort().Settings(), QStringLiteral("9600,N,8,2"));
    EXPECT_EQ(prompts.Shown().size(), 0);
    EXPECT_EQ(OpenCommPort(), 0) << "already open is fine";
}

TEST_F(SerialTest, MissingPortShowsTheInvalidPortBox) {
    settings().CommPortDevice = QStringLiteral("/dev/ttyKORVEL_NONE");
    EXPECT_EQ(OpenCommPort(), 1);
    ASSERT_EQ(prompts.Shown().size(), 1);
    const ShownBox& box = prompts.Shown()[0];
    EXPECT_EQ(box.title, QStringLiteral("Port Open Error"));
    EXPECT_EQ(box.icon, vbCritical);
    EXPECT_EQ(box.buttons, vbOKOnly);
    EXPECT_EQ(box.text, QStringLiteral("Error: The Operating System has returned an invalid or non existant port "
                                       "number.\n\rSelect another or a valid communication port in "
                                       "Preferences/Local Connection."));
    EXPECT_EQ(host->PanelText(4), QStringLiteral("DISCONNECTED"));
}

TEST_F(SerialTest, PortHeldByAnotherProgramShowsAlreadyOpenThenOpensOnceFreed) {
    auto other = std::make_unique<QtSerialPort>();
    other->SetPort(device);
    ASSERT_EQ(other->Open(), COMM_OK);
    EXPECT_EQ(OpenCommPort(), 1);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Port Open Error"));
    EXPECT_EQ(prompts.Shown()[0].text,
              QStringLiteral("Error: The Operating System has returned that the Port is already open.\n\r"
                             "Either terminate the program that is using this port or select another port in "
                             "local port preferences."));
    other.reset();
    EXPECT_EQ(OpenCommPort(), 0);
}

TEST_F(SerialTest, OtherPortErrorsShowTheGeneralBox) {
    ShowPortOpenError(COMM_OTHER_ERROR);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Error: Port system error, select another port in local port "
                                                      "preferences, or terminate other programs"));
}

TEST_F(SerialTest, RequestGetsItsReplyAndCommandItsAck) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetReplyData(CMD_DEVICE_TYPE, Bytes({0x42, 0x07}));
    EXPECT_EQ(SendRequest(Held(), CMD_DEVICE_TYPE, 0, 0, 0), SEND_OK);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].mid(5), Bytes({PKT_REPLY, CMD_DEVICE_TYPE, 0x42, 0x07}).append(dispatched[0].back()));
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_OK);
    ASSERT_EQ(sim.ReceivedCount(), 2);
    EXPECT_EQ(sim.Received()[1], Bytes({0x07, 0, 0, 0, 0, 0x01, 0x86, 0x71}));
}

TEST_F(SerialTest, SilentModuleGetsExactlyRetryCountSendsBeforeTheQuestion) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Silent);
    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    jobHold.reset();
    EXPECT_TRUE(WaitUntil([&] { return sim.ReceivedCount() >= 3; }));
    EXPECT_EQ(sim.ReceivedCount(), 3);
    EXPECT_EQ(prompts.Shown().size(), 1);
    EXPECT_FALSE(CommPort().IsOpen());
}

TEST_F(SerialTest, SilentOnceThenAnsweredAfterTheResend) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Silent, 1);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 2);
}

TEST_F(SerialTest, BadChecksumIsIgnoredAndTheResendSucceeds) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::BadChecksum, 1);
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 2);
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(SerialTest, NackEndsTheCommandAsRefused) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Nack, 1);
    EXPECT_EQ(SendCommand(Held(), CMD_RESET_NVR_ALL, 0, 0, 0), SEND_REFUSED);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Unknown Command"));
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("OMRU received NACK from target - unknown command"));
}

TEST_F(SerialTest, ResendRequestSendsTheFrameAgain) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Resend, 1);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 2);
    EXPECT_EQ(sim.Received()[0], sim.Received()[1]);
}

TEST_F(SerialTest, SplitFrameIsAssembled) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::Split, 1);
    sim.SetReplyData(CMD_BUFFER_DUMP, QByteArray(40, char(0x33)));
    EXPECT_EQ(SendRequestByte(Held(), CMD_BUFFER_DUMP, 0, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 1);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].size(), 48);
}

TEST_F(SerialTest, PauseMidFrameLosesTheFrameAndTheResendRecovers) {
    ASSERT_EQ(OpenCommPort(), 0);
    // The reply time-out (3 s) outlasts the pause (1 s) plus the inter-byte drop (0.8 s),
    // so whatever the tail of the broken frame started has been dropped before the resend.
    linkState().PacketTimeoutReload = 30;
    sim.SetPauseMs(1000);
    sim.SetFault(Fault::PauseMidFrame, 1);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    EXPECT_EQ(sim.ReceivedCount(), 2);
    for (const QByteArray& f : dispatched) EXPECT_TRUE(FrameChecksumGood(reinterpret_cast<const uint8_t*>(f.constData()), uint8_t(f[0])));
}

TEST_F(SerialTest, BackToBackFramesAreBothDispatched) {
    ASSERT_EQ(OpenCommPort(), 0);
    sim.SetFault(Fault::BackToBack, 1);
    EXPECT_EQ(SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
    ASSERT_TRUE(WaitUntil([&] { return dispatched.size() >= 2; }));
    EXPECT_EQ(dispatched.size(), 2);
}

TEST_F(SerialTest, SendOnlyAckLeavesAtOnce) {
    ASSERT_EQ(OpenCommPort(), 0);
    EXPECT_EQ(SendAck(Held(), 12), SEND_OK);
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 1; }));
    EXPECT_EQ(sim.Received()[0], Bytes({6, 12, 0, 3, 0, 254, 236}));
}

// The question as a real modal box: its own event loop runs while it is up, for
// long enough to see what the program does meanwhile, and the processor time the
// whole process used over that second is taken.
class MeasuringPrompts : public ScriptedPrompts {
public:
    int MsgBox(const QString& text, int style, const QString& title) override {
        const double start = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        if (whileUp) whileUp();
        QEventLoop modal;
        QTimer::singleShot(1000, &modal, &QEventLoop::quit);
        modal.exec();
        cpuShare = (CpuSeconds() - start) / (double(wall.nsecsElapsed()) / 1e9);
        return ScriptedPrompts::MsgBox(text, style, title);
    }
    static double CpuSeconds() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    std::function<void()> whileUp;
    double cpuShare = -1;
};

class PulledAdapterTest : public SerialTest {
protected:
    void SetUp() override {
        SerialTest::SetUp();
        SetPrompts(&measuring);
        ASSERT_EQ(OpenCommPort(), 0);
        ASSERT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
        sim.ClosePtyMaster();
    }
    MeasuringPrompts measuring;
};

TEST_F(PulledAdapterTest, ThePortClosesAndNothingSpinsWhileTheQuestionIsUp) {
    measuring.QueueAnswer(vbNo);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_FALSE(CommPort().IsOpen());
    ASSERT_EQ(measuring.Shown().size(), 1);
    EXPECT_TRUE(measuring.Shown()[0].text.startsWith(QStringLiteral("No Communication from module")));
    std::printf("processor while the question is up: %.2f%% of a core\n", measuring.cpuShare * 100);
    EXPECT_GE(measuring.cpuShare, 0);
    EXPECT_LT(measuring.cpuShare, 0.10);
}

TEST_F(PulledAdapterTest, YesOnceTheAdapterIsBackCarriesOnOnTheSamePort) {
    measuring.whileUp = [this] { ASSERT_TRUE(sim.ReopenPty()); };
    measuring.QueueAnswer(vbYes);
    EXPECT_EQ(SendRequest(Held(), CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_EQ(CommPort().Port(), device);
}

} // namespace

// The FFSK level test against the simulated module: keying and release in order, the
// level following the slider only while keyed, the two-minute limit, OK, the close box,
// a busy channel, and a failure at every stage ending the test and the FFSK dialog
// without leaving a cancel standing.
#include "model/systemvalues.h"
#include "editors/station/frmFFSK.h"
#include "editors/station/frmLevel.h"
#include "link/builders.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <functional>
#include <map>

using namespace korvel;
using namespace korvel::test;

namespace {

constexpr int kPttOff = 0xC9, kStop = 0x86, kPoll = 0x0B, kPttOn = 0xC8, kLevel = 0xCB, kTone = 0xCC,
              kRestart = 0xD1;
const QList<int> kKeying{kPttOff, kStop, kPoll, kPttOn, kLevel, kTone};
const QList<int> kRelease{kPttOff, kRestart};
const QByteArray kTestData("\x78\xFF", 2);  // 120, 255
const QString kNack = QStringLiteral("OMRU received NACK from target - unknown command");
const QString kChannelTitle = QStringLiteral("OMRU - Channel clear timeout");
const QString kPutBack = QStringLiteral("The module did not accept a command of the level test, so the test was "
                                        "ended. The transmitter is switched off and the system processes run again.");

double& Level() { return config().SystemConfig[FFSK_OUTPUT_LEVEL]; }

class LevelTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(0);
        ConnectOverTcp();
        // Long enough that no reply is ever late by accident.
        linkState().PacketTimeoutReload = 20;
        session().Online = 1;
    }
    frmLevel& Show() {
        dialog = std::make_unique<frmLevel>(nullptr);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        return *dialog;
    }
    // The command byte of every frame the module received since the last call.
    QList<int> Sent() {
        QList<int> commands;
        for (const QByteArray& f : sim.Received()) commands << quint8(f.at(6));
        sim.ClearReceived();
        return commands;
    }
    // The window as it stood when the module received each command (the last of a kind).
    struct Seen {
        QString warn, caption;
    };
    void Watch(frmLevel& d) {
        QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [this, &d](const QByteArray& f) {
            seen[quint8(f.at(6))] = {d.lblWarn()->text(), Shown(d.cmdKeyTx()->text())};
        });
    }
    std::unique_ptr<frmLevel> dialog;
    std::map<int, Seen> seen;
};

TEST_F(LevelTest, KeyingWaitsForTheChannelAndReleaseRestartsTheModule) {
    Level() = 17;
    frmLevel& d = Show();
    Watch(d);
    EXPECT_EQ(Shown(d.cmdKeyTx()->text()), "PTT");
    EXPECT_FALSE(d.lblWarn()->isVisible());
    sim.SetChannelBusyPolls(3);

    d.cmdKeyTx()->click();
    EXPECT_EQ(Sent(), QList<int>({kPttOff, kStop, kPoll, kPoll, kPoll, kPoll, kPttOn, kLevel, kTone}));
    EXPECT_TRUE(sim.ProcessesStopped());
    EXPECT_TRUE(sim.PttOn());
    EXPECT_TRUE(sim.ToneOn());
    EXPECT_EQ(sim.TxLevel(), 17);
    EXPECT_EQ(sim.PttData(), kTestData);
    EXPECT_EQ(sim.ToneData(), kTestData);
    EXPECT_EQ(seen[kStop].warn, "Please wait, stopping system processes...");
    EXPECT_EQ(seen[kStop].caption, "PTT");
    EXPECT_EQ(seen[kPttOn].warn, "System processes stopped...");
    EXPECT_EQ(seen[kPttOn].caption, "PTT-ON");
    EXPECT_TRUE(d.PttOn());
    EXPECT_TRUE(d.tmrTest()->isActive());
    EXPECT_EQ(d.cmdKeyTx()->palette().color(QPalette::Button), QColor(0, 255, 0));
    EXPECT_TRUE(prompts.Shown().isEmpty());

    d.cmdKeyTx()->click();
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_EQ(seen[kRestart].warn, "Please wait, restarting system processes...");
    EXPECT_EQ(seen[kRestart].caption, "PTT-OFF");
    EXPECT_FALSE(sim.PttOn());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(d.tmrTest()->isActive());
    EXPECT_FALSE(d.lblWarn()->isVisible());
    EXPECT_NE(d.cmdKeyTx()->palette().color(QPalette::Button), QColor(0, 255, 0));
    EXPECT_TRUE(d.isVisible());
}

TEST_F(LevelTest, ThePttAccessKeyKeysAtTheLevelTheSliderShowsAndReleasesAgain) {
    Level() = 10;
    frmLevel& d = Show();
    d.Slider1()->setFocus();
    TypeKey(d.Slider1(), Qt::Key_Right);
    TypeKey(d.Slider1(), Qt::Key_Right);
    PressAccessKey(d.cmdKeyTx());
    EXPECT_EQ(Sent(), kKeying);
    EXPECT_EQ(sim.TxLevel(), 12);
    EXPECT_EQ(QApplication::focusWidget(), d.Slider1());
    TypeKey(d.Slider1(), Qt::Key_Left);
    EXPECT_EQ(Sent(), QList<int>{kLevel});
    EXPECT_EQ(sim.TxLevel(), 11);
    PressAccessKey(d.cmdKeyTx());
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_FALSE(sim.PttOn());
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Level(), 10) << "only OK keeps a level";
}

TEST_F(LevelTest, TheLevelFollowsTheSliderOnlyWhileKeyed) {
    Level() = 10;
    frmLevel& d = Show();
    d.Slider1()->setFocus();
    TypeKey(d.Slider1(), Qt::Key_Right);
    EXPECT_EQ(d.Slider1()->value(), 11);
    EXPECT_EQ(Sent(), QList<int>{}) << "idle";

    d.cmdKeyTx()->click();
    EXPECT_EQ(sim.TxLevel(), 11);
    Sent();
    d.Slider1()->setFocus();
    TypeKey(d.Slider1(), Qt::Key_Right);
    EXPECT_EQ(Sent(), QList<int>{kLevel});
    EXPECT_EQ(sim.TxLevel(), 12);
    EXPECT_EQ(QApplication::focusWidget(), d.Slider1()) << "the keys go on moving it";
    TypeKey(d.Slider1(), Qt::Key_End);
    EXPECT_EQ(sim.TxLevel(), 31);
    EXPECT_TRUE(sim.ToneOn());
    EXPECT_EQ(Level(), 10);
}

TEST_F(LevelTest, AfterTwoMinutesTheButtonIsReleasedWithoutACommand) {
    frmLevel& d = Show();
    d.cmdKeyTx()->click();
    Sent();
    for (int i = 1; i < 1200; ++i) d.tmrTest_Timer();
    EXPECT_EQ(Shown(d.cmdKeyTx()->text()), "PTT-ON");
    EXPECT_TRUE(d.PttOn());
    d.tmrTest_Timer();
    EXPECT_EQ(Shown(d.cmdKeyTx()->text()), "PTT-OFF");
    EXPECT_FALSE(d.PttOn());
    EXPECT_FALSE(d.tmrTest()->isActive());
    EXPECT_NE(d.cmdKeyTx()->palette().color(QPalette::Button), QColor(0, 255, 0));
    d.tmrTest_Timer();
    TypeKey(d.Slider1(), Qt::Key_Left);
    EXPECT_EQ(Sent(), QList<int>{}) << "nothing when the period ends, nor for the slider after it";

    // The next press keys again rather than releasing.
    d.cmdKeyTx()->click();
    EXPECT_EQ(Sent(), kKeying);
}

TEST_F(LevelTest, OkStoresTheLevelAndLeavesTheModuleRunning) {
    Level() = 9;
    frmLevel& d = Show();
    d.cmdKeyTx()->click();
    d.Slider1()->setValue(20);
    Sent();
    d.cmdOK()->click();
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_EQ(Level(), 20);
    EXPECT_FALSE(sim.PttOn());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(linkState().UserCancel);

    // Never keyed: the position is stored all the same, and the module told the same.
    frmLevel& idle = Show();
    idle.Slider1()->setValue(4);
    idle.cmdOK()->click();
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_EQ(Level(), 4);
}

TEST_F(LevelTest, ALevelTheModuleRefusesIsShownWithinItsRangeAndStoredOnlyByOk) {
    Level() = 0;
    frmLevel& low = Show();
    EXPECT_EQ(low.Slider1()->value(), 1);
    TypeKey(low.Slider1(), Qt::Key_Home);
    EXPECT_EQ(low.Slider1()->value(), 1);
    low.cmdKeyTx()->click();
    EXPECT_EQ(sim.TxLevel(), 1);
    EXPECT_TRUE(sim.ToneOn());
    low.close();
    EXPECT_EQ(Level(), 0) << "closing stores nothing";

    Level() = 45;
    frmLevel& high = Show();
    TypeKey(high.Slider1(), Qt::Key_End);
    TypeKey(high.Slider1(), Qt::Key_PageUp);
    EXPECT_EQ(high.Slider1()->value(), 31);
    high.close();
    EXPECT_EQ(Level(), 45);
    Show().cmdOK()->click();
    EXPECT_EQ(Level(), 31);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(LevelTest, ClosingNeverLeavesTheTransmitterKeyedNorTheModuleStopped) {
    Level() = 12;
    frmLevel& untouched = Show();
    untouched.close();
    EXPECT_FALSE(untouched.isVisible());
    EXPECT_EQ(Sent(), QList<int>{}) << "nothing to undo";

    frmLevel& keyed = Show();
    keyed.cmdKeyTx()->click();
    keyed.Slider1()->setValue(25);
    Sent();
    TypeKey(&keyed, Qt::Key_Escape);
    EXPECT_FALSE(keyed.isVisible());
    EXPECT_EQ(keyed.result(), QDialog::Rejected);
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_FALSE(sim.PttOn());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_EQ(Level(), 12);

    // The period has ended, but the module's processes are still stopped.
    frmLevel& expired = Show();
    expired.cmdKeyTx()->click();
    for (int i = 0; i < 1200; ++i) expired.tmrTest_Timer();
    Sent();
    expired.close();
    EXPECT_EQ(Sent(), kRelease);
    EXPECT_FALSE(sim.ProcessesStopped());

    // The close box while a command waits for its answer: the window stays until the
    // sequence has ended, and then closes as usual.
    frmLevel& waiting = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, &waiting, [&waiting](const QByteArray& f) {
        if (quint8(f.at(6)) == kStop) waiting.close();
    });
    waiting.cmdKeyTx()->click();
    EXPECT_TRUE(waiting.isVisible());
    EXPECT_EQ(Sent(), kKeying);
    EXPECT_TRUE(waiting.PttOn());
    waiting.close();
    EXPECT_EQ(Sent(), kRelease);

    EXPECT_FALSE(linkState().UserCancel);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(LevelTest, AChannelThatStaysBusyCanBeGivenUpAndTheModuleRunsAgain) {
    frmLevel& d = Show();
    sim.SetChannelBusyPolls(-1);
    prompts.QueueAnswer(vbYes);
    prompts.QueueAnswer(vbNo);
    d.cmdKeyTx()->click();
    int questions = 0;
    for (const ShownBox& b : prompts.Shown()) questions += b.title == kChannelTitle;
    EXPECT_EQ(questions, 2) << "Yes polls on";
    const QList<int> sent = Sent();
    EXPECT_EQ(sent.mid(0, 2), QList<int>({kPttOff, kStop}));
    EXPECT_EQ(sent.last(), kRestart);
    EXPECT_FALSE(sent.contains(kPttOn));
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.PttOn());
    EXPECT_FALSE(d.lblWarn()->isVisible());

    sim.SetChannelBusyPolls(0);
    d.cmdKeyTx()->click();
    EXPECT_EQ(Sent(), kKeying);
    EXPECT_TRUE(sim.PttOn());
}

TEST_F(LevelTest, APollTheLinkGivesUpOnEndsTheTestAndItsWaitMessage) {
    linkState().PacketTimeoutReload = 2;
    // The blink tick would switch the timer off by itself.
    host->Timer(LinkTimer::MsgTimer).setInterval(3600 * 1000);
    frmLevel& d = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [this](const QByteArray& f) {
        if (quint8(f.at(6)) == kPoll) sim.GoSilentAfter(0);
    });
    d.cmdKeyTx()->click();  // the link's question is answered No
    const QList<int> sent = Sent();
    EXPECT_EQ(sent.mid(0, 3), QList<int>({kPttOff, kStop, kPoll}));
    EXPECT_EQ(sent.count(kPttOff), 1) << "nothing is tried once the link has given up";
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::MsgTimer));
    EXPECT_EQ(linkState().ProgressActive, 0);
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(linkState().UserCancel) << "the caller learns of it";
}

// Through the FFSK dialog's Set Level, as the user gets there: a refused command at any
// stage ends the test and the FFSK dialog, and the next command still goes out. Once the
// processes are stopped, the transmitter is switched off and the processes restarted
// before that is said.
TEST_F(LevelTest, AFailureAtAnyStageClosesBothDialogsAndLeavesNoCancelStanding) {
    struct Stage {
        const char* name;
        std::function<void(frmLevel&)> act;
        QList<int> sent;
        bool putBack = false;
    };
    auto failKeying = [this](int command) {
        return [this, command](frmLevel& d) {
            sim.SetNackCommand(command);
            d.cmdKeyTx()->click();
        };
    };
    auto afterKeying = [this](int command, std::function<void(frmLevel&)> act) {
        return [this, command, act](frmLevel& d) {
            d.cmdKeyTx()->click();
            Sent();
            sim.SetNackCommand(command);
            act(d);
        };
    };
    const std::vector<Stage> stages{
        {"PTT off", failKeying(kPttOff), {kPttOff}},
        {"stop", failKeying(kStop), {kPttOff, kStop}},
        {"channel poll", failKeying(kPoll), QList<int>{kPttOff, kStop, kPoll} + kRelease, true},
        {"PTT on", failKeying(kPttOn), QList<int>{kPttOff, kStop, kPoll, kPttOn} + kRelease, true},
        {"level", failKeying(kLevel), kKeying.mid(0, 5) + kRelease, true},
        {"tone", failKeying(kTone), kKeying + kRelease, true},
        {"release", afterKeying(kPttOff, [](frmLevel& d) { d.cmdKeyTx()->click(); }), {kPttOff}},
        {"restart", afterKeying(kRestart, [](frmLevel& d) { d.cmdKeyTx()->click(); }), kRelease},
        {"slider", afterKeying(kLevel, [](frmLevel& d) { TypeKey(d.Slider1(), Qt::Key_Left); }),
         QList<int>{kLevel} + kRelease, true},
        {"OK", afterKeying(kPttOff, [](frmLevel& d) { d.cmdOK()->click(); }), {kPttOff}},
        {"close box", afterKeying(kRestart, [](frmLevel& d) { d.close(); }), kRelease},
    };
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        Level() = 8;
        prompts.Clear();
        frmFFSK ffsk(nullptr);
        ffsk.show();
        ASSERT_TRUE(ffsk.cmdSetLevel()->isEnabled());
        Sent();
        const int before = modalDialogs;
        WhenModal<frmLevel>([&stage](frmLevel& d) { stage.act(d); });
        ffsk.cmdSetLevel()->click();
        EXPECT_EQ(modalDialogs, before + 1);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the level test has closed";
        EXPECT_FALSE(ffsk.isVisible());
        EXPECT_EQ(ffsk.result(), QDialog::Rejected);
        EXPECT_EQ(Sent(), stage.sent) << "nothing after the failure but the release";
        if (stage.putBack) {
            EXPECT_EQ(ShownTexts(prompts), (QStringList{kNack, kPutBack}));
            EXPECT_FALSE(sim.PttOn());
            EXPECT_FALSE(sim.ToneOn());
            EXPECT_FALSE(sim.ProcessesStopped());
        } else {
            EXPECT_EQ(ShownTexts(prompts), QStringList{kNack}) << "the link's report only";
        }
        EXPECT_FALSE(linkState().UserCancel);
        sim.SetNackCommand(-1);
        EXPECT_EQ(SendCommand(CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK) << "not refused as cancelled";
    }
}

TEST_F(LevelTest, TheFfskDialogShowsTheLevelTheTestStored) {
    Level() = 8;
    frmFFSK ffsk(nullptr);
    ffsk.show();
    WhenModal<frmLevel>([](frmLevel& d) {
        d.cmdKeyTx()->click();
        d.Slider1()->setValue(23);
        d.cmdOK()->click();
    });
    ffsk.cmdSetLevel()->click();
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_TRUE(ffsk.isVisible());
    EXPECT_EQ(ffsk.txtLevel()->text(), "23");
    EXPECT_EQ(sim.TxLevel(), 23);
    EXPECT_FALSE(sim.PttOn());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(linkState().UserCancel);
}

TEST_F(LevelTest, ControlsAreLabelledAndVisitedInOrder) {
    frmLevel& d = Show();
    EXPECT_EQ(d.windowTitle(), "Analog Modem Level Set");
    EXPECT_EQ(d.findChild<QLabel*>("lblInstruction")->text(),
              "Click on the PTT button to start FFSK test tone. Adjust the slider to set transmission level. When "
              "complete click the OK button. Note: The PTT is controlled by a 'transmit timer' and is set to 2 "
              "minutes.");
    EXPECT_EQ(d.cmdOK()->text(), "OK");
    EXPECT_TRUE(d.cmdOK()->isDefault());
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        visited << ControlName(QApplication::focusWidget());
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"cmdKeyTx", "Slider1", "cmdOK", "cmdKeyTx"}));
    QLabel* sliderLabel = nullptr;
    for (QLabel* l : d.findChildren<QLabel*>())
        if (l->buddy() == d.Slider1()) sliderLabel = l;
    ASSERT_NE(sliderLabel, nullptr);
    EXPECT_TRUE(sliderLabel->text().contains('&'));
    EXPECT_TRUE(d.cmdKeyTx()->text().contains('&'));
}

} // namespace

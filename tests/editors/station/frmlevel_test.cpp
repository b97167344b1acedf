// The FFSK level test against the simulated module: keying and release in order, the
// level following the slider only while keyed, the two-minute limit, OK, the close box,
// a busy channel, and a failure at every stage ending the test and the FFSK dialog
// without leaving a cancel standing.
#include "link/linkhold.h"
#include "model/systemvalues.h"
#include "editors/station/frmFFSK.h"
#include "editors/station/frmLevel.h"
#include "link/builders.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "link/transaction.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>

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
const QString kEnded =
    QStringLiteral("The module did not accept a command of the level test, so the test was ended. ");
const QString kLeftKeyed = QStringLiteral("Its transmitter could not be switched off and may still be keyed; the "
                                          "system processes run again. Switch the module off and on again to "
                                          "release the transmitter.");
const QString kLeftStopped = QStringLiteral("The transmitter is switched off, but the system processes could not be "
                                            "restarted. Restart them with System > ReStart System, or switch the "
                                            "module off and on again.");
const QString kLeftBoth = QStringLiteral("Its transmitter could not be switched off nor its system processes "
                                         "restarted: the transmitter may still be keyed and the processes are "
                                         "stopped. Switch the module off and on again.");
// The one message of a refusal: the refusal's text, then how the module was left.
QString Refused(const QString& left) { return kNack + "\n\r" + (left.isEmpty() ? kPutBack : kEnded + left); }

double& Level() { return config().SystemConfig[FFSK_OUTPUT_LEVEL]; }

class LevelTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(0);
        ConnectOverTcp();
        // Long enough that no reply is ever late by accident.
        SetConnectionReplyTimeout(20);
        session().Online = 1;
    }
    frmLevel& Show() {
        dialog = std::make_unique<frmLevel>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
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
    EXPECT_FALSE(frmLevel::EndedByFailure());

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

    EXPECT_FALSE(frmLevel::EndedByFailure());
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

// The close box or Esc while keying is under way: the step on the line ends, nothing
// further is keyed, the module is put back and the window closes, without a word.
TEST_F(LevelTest, ACloseWhileKeyingIsHonouredOnceTheStepUnderWayEnds) {
    struct Case {
        const char* name;
        int at;
        bool escape;
        QList<int> sent;
    };
    const std::vector<Case> cases{
        {"first PTT off", kPttOff, false, {kPttOff}},
        {"stop", kStop, true, QList<int>{kPttOff, kStop} + kRelease},
        {"a busy poll", kPoll, false, QList<int>{kPttOff, kStop, kPoll} + kRelease},
        {"PTT on", kPttOn, true, QList<int>{kPttOff, kStop, kPoll, kPoll, kPttOn} + kRelease},
        {"level", kLevel, false, QList<int>{kPttOff, kStop, kPoll, kPoll, kPttOn, kLevel} + kRelease},
        {"tone", kTone, true, QList<int>{kPttOff, kStop, kPoll, kPoll, kPttOn, kLevel, kTone} + kRelease},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetChannelBusyPolls(1);
        frmLevel& d = Show();
        bool asked = false;
        QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&](const QByteArray& f) {
            if (asked || quint8(f.at(6)) != c.at) return;
            asked = true;
            if (c.escape)
                TypeKey(&d, Qt::Key_Escape);
            else
                d.close();
        });
        d.cmdKeyTx()->click();
        EXPECT_TRUE(asked);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(sim.PttOn());
        EXPECT_FALSE(sim.ToneOn());
        EXPECT_FALSE(sim.ProcessesStopped());
        EXPECT_FALSE(frmLevel::EndedByFailure());
        EXPECT_TRUE(prompts.Shown().isEmpty());
    }
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
    SetConnectionReplyTimeout(2);
    // The blink tick would switch the timer off by itself.
    host->Timer(LinkTimer::MsgTimer).setInterval(3600 * 1000);
    frmLevel& d = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [this](const QByteArray& f) {
        if (quint8(f.at(6)) == kPoll) sim.GoSilentAfter(0);
    });
    d.cmdKeyTx()->click();  // the link's question is answered No
    const QList<int> sent = Sent();
    EXPECT_EQ(sent.mid(0, 3), QList<int>({kPttOff, kStop, kPoll}));
    // The put-back is tried over the link the test had, and gives up without asking again.
    EXPECT_EQ(sent.count(kPttOff), 1 + settings().RetryCount);
    EXPECT_EQ(prompts.Shown().size(), 1) << "one question only";
    EXPECT_EQ(host->PanelText(4), QStringLiteral("Communication Timeout")) << "then the link goes off line";
    EXPECT_EQ(linkState().ProgressActive, 0);
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(frmLevel::EndedByFailure()) << "the caller learns of it";
}

// Through the FFSK dialog's Set Level, as the user gets there: a refused command at any
// stage ends the test and the FFSK dialog, and the next command still goes out. Once the
// processes are stopped, every way out tries PTT off (twice when refused) and the
// restart before one message says the refusal and what the module was left with.
TEST_F(LevelTest, AFailureAtAnyStageClosesBothDialogsAndLeavesNoCancelStanding) {
    struct Stage {
        const char* name;
        std::function<void(frmLevel&)> act;
        QList<int> sent;
        // The message after the refusal; none: the refusal's own box only, nothing held.
        std::optional<QString> left;
        bool keyed = false, stopped = false;
    };
    auto failKeying = [this](int command) {
        return [this, command](frmLevel& d) {
            sim.SetNackCommand(command);
            d.cmdKeyTx()->click();
        };
    };
    auto afterKeying = [this](std::function<void()> fault, std::function<void(frmLevel&)> act) {
        return [this, fault, act](frmLevel& d) {
            d.cmdKeyTx()->click();
            Sent();
            fault();
            act(d);
        };
    };
    auto nack = [this](int command, int times = -1) { return [this, command, times] { sim.SetNackCommand(command, times); }; };
    const auto release = [](frmLevel& d) { d.cmdKeyTx()->click(); };
    const QList<int> offTwice{kPttOff, kPttOff, kRestart};
    const std::vector<Stage> stages{
        {"PTT off", failKeying(kPttOff), {kPttOff}, std::nullopt},
        {"stop", failKeying(kStop), {kPttOff, kStop}, std::nullopt},
        {"channel poll", failKeying(kPoll), QList<int>{kPttOff, kStop, kPoll} + kRelease, ""},
        {"PTT on", failKeying(kPttOn), QList<int>{kPttOff, kStop, kPoll, kPttOn} + kRelease, ""},
        {"level", failKeying(kLevel), kKeying.mid(0, 5) + kRelease, ""},
        {"tone", failKeying(kTone), kKeying + kRelease, ""},
        {"release", afterKeying(nack(kPttOff), release), offTwice, kLeftKeyed, true},
        {"release, PTT off refused once", afterKeying(nack(kPttOff, 1), release), offTwice, ""},
        {"restart", afterKeying(nack(kRestart), release), kRelease, kLeftStopped, false, true},
        {"release, both refused", afterKeying([this] { sim.SetFault(sim::Fault::Nack, 3); }, release), offTwice,
         kLeftBoth, true, true},
        {"slider", afterKeying(nack(kLevel), [](frmLevel& d) { TypeKey(d.Slider1(), Qt::Key_Left); }),
         QList<int>{kLevel} + kRelease, ""},
        {"OK", afterKeying(nack(kPttOff), [](frmLevel& d) { d.cmdOK()->click(); }), offTwice, kLeftKeyed, true},
        {"OK, restart", afterKeying(nack(kRestart), [](frmLevel& d) { d.cmdOK()->click(); }), kRelease, kLeftStopped,
         false, true},
        {"close box", afterKeying(nack(kRestart), [](frmLevel& d) { d.close(); }), kRelease, kLeftStopped, false,
         true},
        {"close box, PTT off", afterKeying(nack(kPttOff), [](frmLevel& d) { d.close(); }), offTwice, kLeftKeyed, true},
    };
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        Level() = 8;
        prompts.Clear();
        frmFFSK ffsk(nullptr);
        ffsk.show();
        ASSERT_TRUE(ffsk.cmdSetLevel()->isEnabled());
        Sent();
        // How the module stood when the first box came: put back first, then said.
        std::optional<std::pair<bool, bool>> atBox;
        prompts.WhileShowing([&](const ShownBox&) {
            if (!atBox) atBox = std::make_pair(sim.PttOn(), sim.ProcessesStopped());
        });
        const int before = modalDialogs;
        WhenModal<frmLevel>([&stage](frmLevel& d) { stage.act(d); });
        ffsk.cmdSetLevel()->click();
        prompts.WhileShowing(nullptr);
        EXPECT_EQ(modalDialogs, before + 1);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the level test has closed";
        EXPECT_FALSE(ffsk.isVisible());
        EXPECT_EQ(ffsk.result(), QDialog::Rejected);
        EXPECT_EQ(Sent(), stage.sent) << "nothing after the failure but the put-back";
        if (stage.left) {
            EXPECT_EQ(ShownTexts(prompts), QStringList{Refused(*stage.left)});
            EXPECT_EQ(sim.PttOn(), stage.keyed);
            EXPECT_EQ(sim.ProcessesStopped(), stage.stopped);
            if (!stage.keyed) {
                EXPECT_FALSE(sim.ToneOn());
            }
            ASSERT_TRUE(atBox.has_value());
            EXPECT_EQ(atBox->first, stage.keyed) << "the put-back came before the box";
            EXPECT_EQ(atBox->second, stage.stopped);
        } else {
            EXPECT_EQ(ShownTexts(prompts), QStringList{kNack}) << "the link's report only";
        }
        EXPECT_TRUE(frmLevel::EndedByFailure()) << "the caller learns of it";
        sim.SetNackCommand(-1);
        sim.SetFault(sim::Fault::None);
        const LinkHold hold;
        EXPECT_EQ(SendCommand(hold, CMD_PTT_OFF, 0, 0, 0), SEND_OK) << "not refused as cancelled";
        EXPECT_EQ(SendCommand(hold, CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    }
}

// A refusal of the tone, then of PTT off as the module is put back: PTT off is tried
// once more and the restart still goes, and one message says the transmitter is keyed.
TEST_F(LevelTest, APttOffRefusedAfterAnEarlierRefusalIsTriedAgainAndTheRestartStillGoes) {
    frmLevel& d = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [this](const QByteArray& f) {
        if (quint8(f.at(6)) == kTone) sim.SetNackCommand(kTone, 1);
        if (quint8(f.at(6)) == kPttOff && sim.ToneOn() == false && sim.PttOn()) sim.SetNackCommand(kPttOff, 2);
    });
    d.cmdKeyTx()->click();
    EXPECT_EQ(Sent(), (kKeying + QList<int>{kPttOff, kPttOff, kRestart}));
    EXPECT_EQ(ShownTexts(prompts), QStringList{Refused(kLeftKeyed)});
    EXPECT_TRUE(sim.PttOn());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(frmLevel::EndedByFailure()) << "the caller learns of it";
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
    EXPECT_FALSE(frmLevel::EndedByFailure());
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

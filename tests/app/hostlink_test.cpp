// The main window started by a switch-through host: the load timer opens the link from
// the command line, the toolbar reads through the host without the connect dialog, and
// the host ending the link ends the program through the ordinary shut-down.
#include "editors/station/frmSystem.h"
#include "app/frmMain.h"
#include "model/target.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "control/session.h"
#include "sim/switchhost.h"
#include "support/appfixture.h"

#include <QAction>
#include <QLabel>

using namespace korvel;
using namespace korvel::test;

namespace {

class HostStartTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
        ASSERT_NE(relay.Listen(), 0);
        ASSERT_TRUE(relay.ConnectModule(QStringLiteral("127.0.0.1"), sim.ListenTcp(0)));
    }
    sim::SwitchHost relay;
};

TEST_F(HostStartTest, ReadThroughTheHostThenTheHostEndsTheProgram) {
    sim.SetKorvel(2);
    session().CommandLine = relay.CommandLine(0);
    Open(true);
    ASSERT_TRUE(WaitUntil([this] { return relay.Linked() && switchThrough().HostConnected(); }));
    EXPECT_FALSE(window->Menu(MenuItem::mnuSystemFlash)->isEnabled());

    relay.SendPanelMessage(3, "Host says hello");
    ASSERT_TRUE(WaitUntil([this] { return Panel(3) == QStringLiteral("Host says hello"); }));

    // No connect dialog: the host is the path to the module.
    Press(ToolButton::Read);
    EXPECT_EQ(modalDialogs, 0);
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    EXPECT_EQ(target().ChildCount, 2);
    EXPECT_GT(relay.FramesFromUtility().size(), 20);

    // Off-line editing is refused while the host holds the link.
    prompts.QueueAnswer(vbOK);
    Press(ToolButton::OffLine);
    EXPECT_EQ(prompts.Shown().back().text, QStringLiteral("Cannot switch to offline mode when connected via switch-through"));

    // The host leaves: a configuration loaded from a file is offered for saving, then
    // the program ends.
    session().ConfigLoaded = true;
    prompts.QueueAnswer(vbNo);
    relay.CloseUtilityLinks();
    ASSERT_TRUE(WaitUntil([this] { return !window->isVisible(); }));
    QStringList titles;
    for (const ShownBox& b : prompts.Shown()) titles << b.title + ": " + b.text;
    EXPECT_TRUE(titles.contains(QStringLiteral("Terminate Connection: Save any changes to disk file before exiting?")))
        << titles.join('\n').toStdString();
}

// The host going away at any moment ends the program through its ordinary shut-down,
// and nothing is released under a handler still running.
class HostGoesAwayTest : public HostStartTest {
protected:
    void Start() {
        sim.SetKorvel(1);
        session().CommandLine = relay.CommandLine(0);
        Open(true);
        ASSERT_TRUE(WaitUntil([this] { return relay.Linked() && switchThrough().HostConnected(); }));
    }
    // Closes the host's links once the utility has sent `frames` more frames.
    void GoAwayAfterFrames(int frames) {
        QObject::connect(&relay, &sim::SwitchHost::frameFromUtility, &relay, [this, frames]() mutable {
            if (--frames == 0) relay.CloseUtilityLinks();
        });
    }
    // Close events the main window has been given so far (the host's end asks for one).
    int Closes() const { return closes_.count; }
    void WatchCloses() { window->installEventFilter(&closes_); }
    QStringList Shown() const {
        QStringList shown;
        for (const ShownBox& b : prompts.Shown()) shown << b.title + ": " + b.text;
        return shown;
    }
    void ExpectEnded() {
        QStringList shown;
        for (const ShownBox& b : prompts.Shown()) shown << b.title + ": " + b.text;
        EXPECT_TRUE(WaitUntil([this] { return !window->isVisible(); })) << shown.join('\n').toStdString();
        EXPECT_FALSE(switchThrough().HostConnected());
        QCoreApplication::processEvents();
    }

private:
    struct CloseCounter : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Close) ++count;
            return false;
        }
    } closes_;
};

TEST_F(HostGoesAwayTest, WhileItsQuestionIsOnScreen) {
    Start();
    bool asked = false;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Host asks")) return;
        asked = true;
        // The box waits in the event loop while the host leaves and the window closes.
        relay.CloseUtilityLinks();
        WaitUntil([this] { return !window->isVisible(); });
    });
    prompts.QueueAnswer(vbYes);
    relay.SendUserPrompt(36, "Host asks", "Go on?");
    ASSERT_TRUE(WaitUntil([&] { return asked; }));
    prompts.WhileShowing({});
    ExpectEnded();
}

TEST_F(HostGoesAwayTest, WhileAReadWaits) {
    Start();
    GoAwayAfterFrames(3);
    Press(ToolButton::Read);
    ExpectEnded();
    EXPECT_NE(Panel(2), QStringLiteral("Configuration Downloaded"));
}

TEST_F(HostGoesAwayTest, WhileTheSystemDialogAfterAReadIsOpen) {
    Start();
    bool shown = false;
    WhenShown<frmSystem>([&](frmSystem&) {
        shown = true;
        relay.CloseUtilityLinks();
        WaitUntil([this] { return !window->isVisible(); });
    });
    Press(ToolButton::Read);
    EXPECT_TRUE(shown);
    ExpectEnded();
}

TEST_F(HostGoesAwayTest, WhileAWriteRuns) {
    Start();
    LoadKorvel(1);
    window->SetToolbarButtonEnabled(ToolButton::Write, true);  // as a loaded configuration leaves it
    GoAwayAfterFrames(5);
    prompts.QueueAnswer(vbYes);  // overwrite the module's configuration
    prompts.QueueAnswer(vbOK);   // the processes could not be restarted
    prompts.QueueAnswer(vbNo);   // save the configuration before the program ends
    Press(ToolButton::Write);
    ExpectEnded();
    EXPECT_NE(Panel(2), QStringLiteral("Configuration Uploaded"));
}

// File > Exit's offer to save is on screen when the host leaves: that offer answers for
// the host's end as well, and the program ends after it without offering again.
TEST_F(HostGoesAwayTest, WhileExitOffersToSaveOneOfferAnswersForBoth) {
    Start();
    WatchCloses();
    session().ConfigLoaded = true;
    int offers = 0;
    prompts.WhileShowing([&](const ShownBox& box) {
        if (box.title != QStringLiteral("Terminate Connection") || ++offers > 1) return;
        relay.CloseUtilityLinks();
        WaitUntil([&] { return Closes() > 0; });
    });
    prompts.QueueAnswer(vbNo);
    Trigger(MenuItem::mnuFileExit);
    prompts.WhileShowing({});
    ExpectEnded();
    EXPECT_EQ(Closes(), 1 + 1) << "the host's close, then the exit's own";
    EXPECT_EQ(offers, 1) << Shown().join('\n').toStdString();
}

// The host leaves while the user is asked whether to overwrite: the Yes that follows
// finds no link, so no stop went out and nothing is said of processes left stopped.
TEST_F(HostGoesAwayTest, WhileTheOverwriteQuestionIsOpenNothingIsSaidOfStoppedProcesses) {
    Start();
    WatchCloses();
    LoadKorvel(1);
    window->SetToolbarButtonEnabled(ToolButton::Write, true);  // as a loaded configuration leaves it
    const auto framesBefore = relay.FramesFromUtility().size();
    prompts.WhileShowing([&](const ShownBox& box) {
        if (!box.text.startsWith(QStringLiteral("Do you want to overwrite"))) return;
        relay.CloseUtilityLinks();
        WaitUntil([&] { return Closes() > 0; });
    });
    // The program ends while the question is still open: the save offer comes at once,
    // then the question closes (here with Yes) and nothing goes out any more.
    prompts.QueueAnswer(vbNo);   // save the configuration before the program ends
    prompts.QueueAnswer(vbYes);  // overwrite, though the host has gone meanwhile
    Press(ToolButton::Write);
    prompts.WhileShowing({});
    ExpectEnded();
    EXPECT_EQ(Shown().indexOf(QStringLiteral("Terminate Connection: Save any changes to disk file before exiting?")), 1);
    EXPECT_EQ(relay.FramesFromUtility().size(), framesBefore);
    for (const QString& text : Shown())
        EXPECT_FALSE(text.contains(QStringLiteral("could not be restarted"))) << text.toStdString();
}

TEST_F(HostStartTest, WithoutACommandLineNothingIsOpened) {
    session().CommandLine = QString::number(relay.ListenPort());  // one word only
    Open(true);
    EXPECT_TRUE(window->tcpLoadTimer()->isActive());
    ASSERT_TRUE(WaitUntil([this] { return !window->tcpLoadTimer()->isActive(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(relay.CurrentState(), sim::SwitchHost::State::Idle);
    EXPECT_EQ(linkState().LinkMode, LINK_NORMAL);
}

// The text panels keep room for what they show in a window of the default size.
TEST_F(HostStartTest, StatusPanelsShowTheirWholeTexts) {
    Open(true);
    window->resize(6500 / TWIPS_PER_PIXEL, 6500 / TWIPS_PER_PIXEL);
    window->SetPanelText(1, QStringLiteral("Station: 033"));
    window->SetPanelText(2, QStringLiteral("Configuration Downloaded"));
    window->SetPanelText(4, QStringLiteral("1500mS"));
    QCoreApplication::processEvents();
    for (int i : {1, 2, 4}) {
        QLabel* panel = window->Panel(i);
        EXPECT_GE(panel->width(), panel->fontMetrics().horizontalAdvance(panel->text())) << i;
    }
    for (int i : {5, 6}) EXPECT_GE(window->Panel(i)->width(), window->Panel(i)->sizeHint().width()) << i;
    // Side by side, none drawn over the next.
    for (int i = 1; i < 6; ++i)
        EXPECT_LE(window->Panel(i)->geometry().right(), window->Panel(i + 1)->geometry().left()) << i;
}

} // namespace

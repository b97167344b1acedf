// The main window started by a switch-through host: the load timer opens the link from
// the command line, the toolbar reads through the host without the connect dialog, and
// the host ending the link ends the program through the ordinary shut-down.
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
    void ExpectEnded() {
        QStringList shown;
        for (const ShownBox& b : prompts.Shown()) shown << b.title + ": " + b.text;
        EXPECT_TRUE(WaitUntil([this] { return !window->isVisible(); })) << shown.join('\n').toStdString();
        EXPECT_FALSE(switchThrough().HostConnected());
        QCoreApplication::processEvents();
    }
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

// The main window started by a switch-through host: the load timer opens the link from
// the command line, the toolbar reads through the host without the connect dialog, and
// the host ending the link ends the program through the ordinary shut-down.
#include "app/frmMain.h"
#include "config/target.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "session/session.h"
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

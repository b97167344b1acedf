// The firmware load and the board information page from the real main window's System
// menu, against the simulated module on the serial path.
#include "app/frmCancelSend.h"
#include "app/frmProgress.h"
#include "control/flashloader.h"
#include "support/romtext.h"
#include "link/linkhost.h"
#include "control/localport.h"
#include "control/localsettings.h"
#include "support/appfixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QFile>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

class FlashCommandsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 3;
        settings().CommPortDevice = sim.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
        flashLoaderPauses() = FlashLoaderPauses{60, 20};
    }
    void TearDown() override {
        QObject::disconnect(&sim, nullptr, nullptr, nullptr);
        AppFixture::TearDown();
    }
    // A firmware file of pages 0 .. 7, chosen in the file dialog once asked.
    void QueueFirmware() {
        image = PatternImage(0, 0x7FE);
        const QString path = dir.filePath("korvel_app.rom");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(RomText(image, 0, 0x7FE));
        f.close();
        prompts.QueueAnswer(vbYes);  // "Flash loading allows the firmware to be upgraded ..."
        prompts.QueueFile(path);
        prompts.QueueAnswer(vbOK);  // the board page's "Click OK to continue"
    }
    // Runs act once the module has the n-th page-half write of command.
    void OnPageWrite(int command, int n, std::function<void()> act) {
        QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [=, seen = 0](const QByteArray& f) mutable {
            if (quint8(f[5]) == sim::kPktSet && quint8(f[6]) == command && ++seen == n) act();
        });
    }
    void ExpectWholePages() const {
        const QList<int>& w = sim.PageWrites();
        ASSERT_EQ(w.size() % 2, 0);
        for (qsizetype i = 0; i < w.size(); i += 2) EXPECT_EQ(w[i + 1], w[i] + 128) << i;
    }
    // File > Exit, as a screen reader gives it past the modal progress window, once the
    // module has the third page.
    void ExitAtThirdPage(frmMain& w) {
        OnPageWrite(sim::kCmdFlashPageLow, 3, [&w] {
            QTimer::singleShot(0, &w, [&w] { w.Menu(MenuItem::mnuFileExit)->trigger(); });
        });
    }
    void ExpectFinishedThenEnded(frmMain& w);
    QByteArray image;
    static frmProgress* ShownProgress() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<frmProgress*>(w); p && p->isVisible()) return p;
        return nullptr;
    }
};

TEST_F(FlashCommandsTest, AModuleFoundInItsBootLoaderIsOfferedTheLoadWhichRunsInTheProgressWindow) {
    // As a load that lost power left it.
    sim.SetApplicationComplete(false);
    sim.PowerUp();
    frmMain& w = Open(true);
    const QByteArray image = PatternImage(0, 0x7FE);
    const QString path = dir.filePath("korvel_app.rom");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(RomText(image, 0, 0x7FE));
    f.close();

    prompts.QueueAnswer(vbYes);  // "Do you want to load an application (new firmware) into this module?"
    prompts.QueueAnswer(vbYes);  // "Flash loading allows the firmware to be upgraded ..."
    prompts.QueueFile(path);
    prompts.QueueAnswer(vbOK);   // the board page's "Click OK to continue"
    QString caption, label;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [&](const QByteArray& frame) {
        if (caption.isEmpty() && quint8(frame[6]) == sim::kCmdFlashPageLow && quint8(frame[5]) == sim::kPktSet) {
            if (frmProgress* p = ShownProgress()) {
                caption = p->windowTitle();
                label = p->Label(ProgressLabel::Label1)->text();
            }
        }
    });
    WhenModal<frmCancelSend>([](frmCancelSend& d) { d.cmdConnectLocal()->click(); });
    Press(ToolButton::Read);

    EXPECT_EQ(prompts.Shown()[0].title, "OMRU - ModuleModeCheck - Bootcode returned");
    EXPECT_EQ(caption, "Programming ...");
    EXPECT_EQ(label, "Programming page: 0 of 8");
    EXPECT_EQ(sim.Flash().left(0x800), image.left(0x800));
    EXPECT_TRUE(sim.ApplicationComplete());
    EXPECT_FALSE(sim.InBootLoader());
    EXPECT_EQ(ShownProgress(), nullptr);
    // The waits gave the main window's timer back its own period.
    EXPECT_EQ(w.TimerInterval(LinkTimer::Wait), WAIT_TIMER_MS);
}

// Runs the program's main loop until the program asks to end, as main() does; a run
// that never ends gives 99 after a while.
int RunMainLoop() {
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(20000);
    return QApplication::exec();
}

void FlashCommandsTest::ExpectFinishedThenEnded(frmMain& w) {
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_FALSE(w.isVisible());
    ExpectWholePages();
    EXPECT_EQ(sim.Flash().left(0x800), image.left(0x800));
    EXPECT_TRUE(sim::SimModule::BoardPageCrcGood(sim.BoardPage()));
    EXPECT_FALSE(sim.InBootLoader());
    ASSERT_FALSE(prompts.Shown().isEmpty());
    EXPECT_EQ(prompts.Shown().last().text, "The firmware load was cancelled after every page was written, so it was "
                                           "finished. The module holds the new firmware and was restarted.");
}

TEST_F(FlashCommandsTest, ClosingTheProgramWhileTheBoardPageGoesOutFinishesTheLoadThenEnds) {
    frmMain& w = Open(true);
    const QByteArray before = sim.BoardPage();
    QueueFirmware();
    OnPageWrite(sim::kCmdFlashPageLow, 9, [&w] { QTimer::singleShot(0, &w, [&w] { w.close(); }); });
    QTimer::singleShot(0, &w, [this] { Trigger(MenuItem::mnuSystemFlash); });
    EXPECT_EQ(RunMainLoop(), 0);
    EXPECT_FALSE(w.isVisible());
    ExpectWholePages();
    const QByteArray page = sim.BoardPage();
    EXPECT_EQ(page.left(0xE4), before.left(0xE4)) << "the board's serial number, type and revision";
    EXPECT_TRUE(sim::SimModule::BoardPageCrcGood(page));
    EXPECT_EQ(quint8(page[0xF8]), 8);
    EXPECT_EQ(sim.Flash().left(0x800), image.left(0x800));
    EXPECT_FALSE(sim.InBootLoader());
    EXPECT_EQ(prompts.Shown().last().text, "The firmware load was cancelled after every page was written, so it was "
                                           "finished. The module holds the new firmware and was restarted.");
}

// File > Exit in the middle of a load finishes it, whether the load was offered by a
// read of a module found in its boot loader or started from the menu: the program ends
// only once the module holds the new firmware and runs it again.
TEST_F(FlashCommandsTest, ExitMidLoadOfferedByAReadFinishesTheLoadThenEnds) {
    sim.SetApplicationComplete(false);
    sim.PowerUp();
    frmMain& w = Open(true);
    prompts.QueueAnswer(vbYes);  // "Do you want to load an application ..."
    QueueFirmware();
    ExitAtThirdPage(w);
    WhenShown<frmCancelSend>([](frmCancelSend& d) { d.cmdConnectLocal()->click(); });
    QTimer::singleShot(0, &w, [this] { Press(ToolButton::Read); });
    ExpectFinishedThenEnded(w);
}

TEST_F(FlashCommandsTest, ExitMidLoadFromTheMenuFinishesTheLoadThenEnds) {
    frmMain& w = Open(true);
    QueueFirmware();
    ExitAtThirdPage(w);
    QTimer::singleShot(0, &w, [this] { Trigger(MenuItem::mnuSystemFlash); });
    ExpectFinishedThenEnded(w);
}

TEST_F(FlashCommandsTest, ClosingTheProgressWindowMidPageStopsAfterThatPage) {
    Open(true);
    QueueFirmware();
    OnPageWrite(sim::kCmdFlashPageLow, 2, [] {
        if (frmProgress* p = ShownProgress()) p->close();
    });
    Trigger(MenuItem::mnuSystemFlash);
    EXPECT_EQ(sim.PageWrites(), (QList<int>{0, 128, 256, 384}));
    EXPECT_TRUE(sim.InBootLoader());
    EXPECT_TRUE(prompts.Shown().last().text.startsWith("The firmware load was cancelled after page 1 of 8.\n\r"));
    EXPECT_TRUE(prompts.Shown().last().text.endsWith("waits in its boot loader. Repeat the firmware load."));
    EXPECT_EQ(ShownProgress(), nullptr);
}

// A technician may take minutes over the firmware file: nothing of the load is on the
// wire until a file is chosen, so the module's events are acknowledged as they come
// while the file dialog is open.
TEST_F(FlashCommandsTest, EventsAreAcknowledgedWhileTheFirmwareFileIsChosen) {
    Open(true);
    ASSERT_EQ(OpenCommPort(), 0);
    const auto acks = [this] {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += quint8(f[5]) == sim::kPktAck;
        return n;
    };
    // An event from the module, acknowledged within a while: true once it is.
    const auto acknowledged = [&] {
        const int before = acks();
        sim.SendEvent(0, 1, QByteArray(1, char(2)));
        return WaitUntil([&] { return acks() > before; }, 1500);
    };
    ASSERT_TRUE(acknowledged()) << "with nothing running";

    // The file dialog runs no act of its own while it is up: its coming up is seen here.
    int whileOpen = -1;
    prompts.AroundEach([&](bool up) {
        if (!up || whileOpen >= 0 || prompts.Shown().last().kind != ShownBox::OpenFile) return;
        whileOpen = 0;
        while (whileOpen < 3 && acknowledged()) ++whileOpen;
    });
    prompts.QueueAnswer(vbYes);     // "Flash loading allows the firmware to be upgraded ..."
    prompts.QueueFile(QString());   // then the technician gives up on the file
    Trigger(MenuItem::mnuSystemFlash);
    prompts.AroundEach({});
    ASSERT_GE(whileOpen, 0) << "the file dialog came up";
    EXPECT_EQ(whileOpen, 3) << "events acknowledged of 3 while the file dialog was open";
    EXPECT_TRUE(sim.PageWrites().isEmpty());
    EXPECT_FALSE(sim.InBootLoader());
}

TEST_F(FlashCommandsTest, BoardInformationGoesWithTheFirmwareLoad) {
    frmMain& w = Open();
    EXPECT_TRUE(w.Menu(MenuItem::mnuViewManuf)->isVisible());
    Trigger(MenuItem::mnuViewManuf);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("Board ESN: 10293847\n\r")) << prompts.Shown()[0].text.toStdString();

    // A radio link reaches no flash.
    ShowProtocolMenus(LOCALPORT_FLEETSYNC);
    EXPECT_FALSE(w.Menu(MenuItem::mnuSystemFlash)->isEnabled());
    EXPECT_FALSE(w.Menu(MenuItem::mnuViewManuf)->isEnabled());
}

} // namespace

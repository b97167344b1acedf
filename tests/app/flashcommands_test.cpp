// The firmware load and the board information page from the real main window's System
// menu, against the simulated module on the serial path.
#include "app/frmCancelSend.h"
#include "app/frmProgress.h"
#include "flash/flashloader.h"
#include "flash/romtext.h"
#include "link/linkhost.h"
#include "session/localport.h"
#include "session/localsettings.h"
#include "support/appfixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QFile>

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

// The main window's menu and file commands driven offscreen: what each command does,
// which items wait for their windows, and the file and check steps on the toolbar.
#include "app/frmMain.h"
#include "app/windowregistry.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "model/configfile.h"
#include "model/model.h"
#include "model/target.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "support/appfixture.h"
#include "link/transport.h"
#include "model/eventlist.h"

#include <QAction>
#include <QFile>
#include <QLabel>

using namespace korvel;
using namespace korvel::test;

namespace {

class MenusTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
        settings().CommPortDevice = QStringLiteral("/nonexistent/ttyKORVEL");
    }
    int Sent(int command) const {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += quint8(f[6]) == command;
        return n;
    }
    // A file for a Korvel with one child that passes the check.
    QString KnownFile() {
        target().ChildCount = 1;
        SetDefaultConfiguration();
        config().SystemConfig[0] = 33;
        const QString path = dir.filePath(QStringLiteral("known.ZPF"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ConfigurationFileText());
        f.close();
        ResetStationConfig();
        target().ChildCount = 0;
        return path;
    }

    QList<int> selector, clock, ports;
    QList<bool> analogMode;
};

TEST_F(MenusTest, ItemsWaitForTheirWindows) {
    frmMain& w = Open();
    // Without its window an item stays unusable whatever enables it.
    UnregisterWindow(WindowId::ShowManufacturingPage);
    w.SetMenuEnabled(MenuItem::mnuViewManuf, true);
    EXPECT_FALSE(w.Menu(MenuItem::mnuViewManuf)->isEnabled());
    EXPECT_TRUE(w.MenuEnabled(MenuItem::mnuViewManuf));
    // The commands that need no other window are usable.
    for (MenuItem item : {MenuItem::mnuFileOpen, MenuItem::mnuFileExit, MenuItem::mnuSystemResetNVR, MenuItem::mnuSystemRestart}) {
        w.SetMenuEnabled(item, true);
        EXPECT_TRUE(w.Menu(item)->isEnabled()) << MenuItemName(item);
    }
}

TEST_F(MenusTest, ARegisteredWindowOpensFromItsItems) {
    Fake(WindowId::frmAbout);
    Fake(WindowId::frmSport, [this] { selector.append(session().SerialPortSelector); });
    Fake(WindowId::frmAnalogs, [this] { analogMode.append(session().AnalogMode); });
    Fake(WindowId::frmShowConfiguration);
    Fake(WindowId::frmSystem);
    Fake(WindowId::frmOutputs);
    frmMain& w = Open();
    Trigger(MenuItem::mnuHelpAbout);
    for (MenuItem item : {MenuItem::mnuConfiguration, MenuItem::mnuConfigSystem, MenuItem::mnuConfigPorts,
                          MenuItem::mnuConfigAnalogInputs, MenuItem::mnuConfigTemp, MenuItem::mnuConfigOutputs})
        w.SetMenuEnabled(item, true);
    Trigger(MenuItem::mnuConfigSystem);
    Trigger(MenuItem::mnuPortsSerial2);
    Trigger(MenuItem::mnuPortsSerial1);
    Trigger(MenuItem::mnuConfigTemp);
    Trigger(MenuItem::mnuConfigAnalogInputs);
    Trigger(MenuItem::mnuConfigOutputs);
    w.SetToolbarButtonEnabled(ToolButton::Config, true);
    EXPECT_TRUE(w.Button(ToolButton::Config)->isEnabled());
    Press(ToolButton::Config);
    using enum WindowId;
    EXPECT_EQ(opened, (QList<WindowId>{frmAbout, frmSystem, frmSport, frmSport, frmAnalogs, frmAnalogs, frmOutputs,
                                       frmShowConfiguration}));
    EXPECT_EQ(selector, (QList<int>{2, 1}));
    EXPECT_EQ(analogMode, (QList<bool>{false, true}));
}

TEST_F(MenusTest, OpenLoadsAFileAndOpensTheConfigurationCommands) {
    const QString path = KnownFile();
    frmMain& w = Open();
    prompts.QueueFile(path);
    Trigger(MenuItem::mnuFileOpen);
    EXPECT_EQ(config().SystemConfig[0], 33);
    EXPECT_EQ(target().ChildCount, 1);
    EXPECT_TRUE(session().ConfigLoaded);
    EXPECT_EQ(Panel(4), QStringLiteral("File loaded: ") + path);
    for (MenuItem item : {MenuItem::mnuConfiguration, MenuItem::mnuConfigSystem, MenuItem::mnuConfigPorts, MenuItem::mnuConfigContactInputs,
                             MenuItem::mnuConfigAnalogInputs, MenuItem::mnuConfigTemp, MenuItem::mnuConfigOutputs, MenuItem::mnuSystem, MenuItem::mnuFileSave,
                             MenuItem::mnuFilePrint})
        EXPECT_TRUE(w.MenuEnabled(item)) << MenuItemName(item);
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuViewStatus));
    EXPECT_TRUE(w.Button(ToolButton::Save)->isEnabled());
    EXPECT_TRUE(w.Button(ToolButton::Write)->isEnabled());
    EXPECT_TRUE(w.Menu(MenuItem::mnuFileSave)->isEnabled());

    // Save As from the toolbar writes the same text back.
    const QString copy = dir.filePath(QStringLiteral("copy.ZPF"));
    prompts.QueueFile(copy);
    Press(ToolButton::Save);
    QFile a(path), b(copy);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), a.readAll());
}

TEST_F(MenusTest, ARejectedFileLeavesTheMenusAsTheyWere) {
    const QString path = dir.filePath(QStringLiteral("bad.ZPF"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Korvel\r\nVersion 01.00.00\r\nChilds=1\r\n\r\n[system]\r\nMyAddress=x\r\n\r\n");
    f.close();
    frmMain& w = Open();
    prompts.QueueFile(path);
    Press(ToolButton::Open);
    EXPECT_EQ(Panel(4), QStringLiteral("File Error, File is corrupt"));
    EXPECT_FALSE(session().ConfigLoaded);
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuFileSave));
    EXPECT_FALSE(w.Button(ToolButton::Write)->isEnabled());
}

TEST_F(MenusTest, WriteRunsTheCheckBeforeItsQuestion) {
    Open();
    LoadKorvel(0);
    config().ContactInputTable[0].LocalOutput[1] = 12;
    window->SetToolbarButtonEnabled(ToolButton::Write, true);  // as a loaded configuration leaves it
    Press(ToolButton::Write);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Configuration Check"));
    EXPECT_TRUE(sim.Received().isEmpty());

    // A passing configuration gets the question; No sends nothing.
    config().ContactInputTable[0].LocalOutput[1] = 2;
    prompts.Clear();
    prompts.QueueAnswer(vbNo);
    Press(ToolButton::Write);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Do you want to overwrite module configuration. Continue ?"));
}

TEST_F(MenusTest, FlashLoadIsConfirmedFirst) {
    int loads = 0;
    Fake(WindowId::RunFlashLoader, [&loads] { ++loads; });
    Open();
    prompts.QueueAnswer(vbNo);
    Trigger(MenuItem::mnuSystemFlash);
    EXPECT_EQ(loads, 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    const ShownBox& box = prompts.Shown()[0];
    EXPECT_EQ(box.text, QStringLiteral("Flash loading allows the firmware to be upgraded in the Korvel/Pellar.\n\r"
                                       "Are you sure you wish to proceed?"));
    EXPECT_EQ(box.buttons, vbYesNo);
    EXPECT_EQ(box.icon, vbQuestion);
    EXPECT_EQ(box.title, AppTitle());

    // The offer of the target check goes the same way.
    prompts.QueueAnswer(vbYes);
    window->RunFlashLoad();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(prompts.Shown().size(), 2);
}

TEST_F(MenusTest, RestartAndNvrResetTalkToTheModule) {
    frmMain& w = Open();
    ConnectOverTcp();
    for (MenuItem item : {MenuItem::mnuSystemRestart, MenuItem::mnuSystemResetNVR}) w.SetMenuEnabled(item, true);

    prompts.QueueAnswer(vbNo);
    Trigger(MenuItem::mnuSystemRestart);
    EXPECT_EQ(Sent(CMD_RESET_SYSTEM), 0);
    prompts.QueueAnswer(vbYes);
    Trigger(MenuItem::mnuSystemRestart);
    ASSERT_TRUE(WaitUntil([this] { return Sent(CMD_RESET_SYSTEM) == 1; }));
    EXPECT_EQ(prompts.Shown()[1].text, QStringLiteral("Ok to reset system?"));

    prompts.Clear();
    prompts.QueueAnswer(vbYes);  // the full reset of the local module
    prompts.QueueAnswer(vbOK);   // "Data Reset - Click OK to Continue"
    Trigger(MenuItem::mnuSystemResetNVR);
    EXPECT_EQ(Sent(CMD_RESET_NVR_ALL), 1);
    EXPECT_EQ(Sent(CMD_STOP_PROCESSES), 0) << "the local module is reset without a stop";
    EXPECT_GE(Sent(CMD_CFG_SYSTEM), 1) << "the configuration is read again";
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown()[1].text, QStringLiteral("Data Reset - Click OK to Continue"));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
}

TEST_F(MenusTest, DateTimeOpensWithAUsableClock) {
    Fake(WindowId::frmDateTime, [this] { clock.append(target().ModuleClock.year); });
    frmMain& w = Open();
    ConnectOverTcp();
    sim.SetReplyData(CMD_DATE_TIME, Bytes({0, 0, 0, 13, 45, 7}));
    w.SetMenuEnabled(MenuItem::mnuDateTime, true);
    Trigger(MenuItem::mnuDateTime);
    ASSERT_EQ(opened, QList<WindowId>{WindowId::frmDateTime});
    EXPECT_EQ(clock, QList<int>{2000});
    EXPECT_EQ(target().ModuleClock.day, 1);
    EXPECT_EQ(target().ModuleClock.month, 1);
}

TEST_F(MenusTest, EventMonitorsAndLogger) {
    Fake(WindowId::frmEventMonitor, [this] { ports.append(eventMonitor().EventPort); });
    Fake(WindowId::frmLogger);
    frmMain& w = Open();
    for (MenuItem item : {MenuItem::mnuEventSerial1, MenuItem::mnuEventSerial2, MenuItem::mnuEventFFSK, MenuItem::mnuLogger})
        w.SetMenuEnabled(item, true);
    // The local port cannot open: serial port 2 and FFSK still open, serial 1 does not.
    Trigger(MenuItem::mnuEventSerial2);
    Trigger(MenuItem::mnuEventFFSK);
    prompts.QueueAnswer(vbOK);
    Trigger(MenuItem::mnuEventSerial1);
    EXPECT_EQ(ports, (QList<int>{1, 2}));
    // Off line the logger opens without a word to the module.
    session().Online = 0;
    Trigger(MenuItem::mnuLogger);
    EXPECT_EQ(opened.last(), WindowId::frmLogger);
    EXPECT_TRUE(sim.Received().isEmpty());
}

TEST_F(MenusTest, EndingASwitchThroughLinkOffersToSave) {
    Open();
    linkState().LinkMode = LINK_SWITCH_THROUGH;
    session().ConfigLoaded = true;
    prompts.QueueAnswer(vbCancel);
    EXPECT_EQ(window->TerminateConnection(), 2);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Terminate Connection"));
    EXPECT_EQ(linkState().LinkMode, LINK_SWITCH_THROUGH) << "Cancel changes nothing";
    EXPECT_NE(Panel(4), QStringLiteral("DISCONNECTED"));

    prompts.QueueAnswer(vbNo);
    EXPECT_EQ(window->TerminateConnection(), 0);
    EXPECT_EQ(linkState().LinkMode, LINK_NORMAL);
    EXPECT_EQ(Panel(4), QStringLiteral("DISCONNECTED"));

    // A normal link ends without the offer.
    prompts.Clear();
    EXPECT_EQ(window->TerminateConnection(), 0);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

} // namespace

// The main window's menu and file commands driven offscreen: what each command does,
// which items wait for their windows, and the file and check steps on the toolbar.
#include "app/frmMain.h"
#include "app/laterwindows.h"
#include "session/localsettings.h"
#include "session/session.h"
#include "config/configfile.h"
#include "config/model.h"
#include "config/target.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/simfixture.h"
#include "link/transport.h"
#include "monitor/eventlist.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

class MenusTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        session().DataFolder = dir.path();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("registry"));
        settings().PacketTimeout = 20;
        settings().CommPortDevice = QStringLiteral("/nonexistent/ttyKORVEL");
    }
    void TearDown() override {
        window.reset();
        for (const QString& name : registered) UnregisterWindow(name);
        SimLinkFixture::TearDown();
    }
    // Stands in for a window of a later issue: records each opening.
    void Fake(const QString& name, std::function<void()> onOpen = {}) {
        registered.append(name);
        RegisterWindow(name, [this, name, onOpen](QWidget* owner) {
            opened.append(name);
            EXPECT_EQ(owner, window.get());
            if (onOpen) onOpen();
        });
    }
    frmMain& Open() {
        window = std::make_unique<frmMain>();
        window->Load();
        return *window;
    }
    void Trigger(const char* item) {
        QAction* a = window->MenuItem(QString::fromLatin1(item));
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
    void Press(const char* key) { window->Toolbar1_ButtonClick(QString::fromLatin1(key)); }
    QString Panel(int n) const { return window->Panel(n)->text(); }
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

    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    QStringList registered, opened;
    QList<int> selector, clock, ports;
    QList<bool> analogMode;
};

TEST_F(MenusTest, ItemsWaitForTheirWindows) {
    frmMain& w = Open();
    // None of these windows exists yet: the items stay unusable whatever enables them.
    for (const char* item : {"mnuPrefLocal", "mnuDisplay", "mnuViewStatus", "mnuDateTime", "mnuSystemFlash",
                             "mnuConfigSystem", "mnuPortsSerial1", "mnuPortsSerial2", "mnuPortsFFSK",
                             "mnuConfigContactInputs", "mnuConfigAnalogInputs", "mnuConfigTemp", "mnuConfigOutputs",
                             "mnuTasks", "mnuLogger", "mnuEventSerial1", "mnuEventSerial2", "mnuEventFFSK",
                             "mnuEventFSM", "mnuHelpAbout", "mnuFilePrint", "mnuViewManuf"}) {
        w.SetMenuEnabled(QString::fromLatin1(item), true);
        EXPECT_FALSE(w.MenuItem(QString::fromLatin1(item))->isEnabled()) << item;
        EXPECT_TRUE(w.MenuItemEnabled(QString::fromLatin1(item))) << item;
    }
    for (const char* key : {"Print", "Config"}) {
        w.SetToolbarButtonEnabled(QString::fromLatin1(key), true);
        EXPECT_FALSE(w.ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    }
    // The commands that need no other window are usable.
    for (const char* item : {"mnuFileOpen", "mnuFileExit", "mnuSystemResetNVR", "mnuSystemRestart"}) {
        w.SetMenuEnabled(QString::fromLatin1(item), true);
        EXPECT_TRUE(w.MenuItem(QString::fromLatin1(item))->isEnabled()) << item;
    }
}

TEST_F(MenusTest, ARegisteredWindowOpensFromItsItems) {
    Fake(QStringLiteral("frmAbout"));
    Fake(QStringLiteral("frmSport"), [this] { selector.append(session().SerialPortSelector); });
    Fake(QStringLiteral("frmAnalogs"), [this] { analogMode.append(session().AnalogMode); });
    Fake(QStringLiteral("frmShowConfiguration"));
    frmMain& w = Open();
    Trigger("mnuHelpAbout");
    for (const char* item : {"mnuConfigPorts", "mnuConfigAnalogInputs", "mnuConfigTemp"})
        w.SetMenuEnabled(QString::fromLatin1(item), true);
    Trigger("mnuPortsSerial2");
    Trigger("mnuPortsSerial1");
    Trigger("mnuConfigTemp");
    Trigger("mnuConfigAnalogInputs");
    w.SetToolbarButtonEnabled(QStringLiteral("Config"), true);
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("Config"))->isEnabled());
    Press("Config");
    EXPECT_EQ(opened, (QStringList{"frmAbout", "frmSport", "frmSport", "frmAnalogs", "frmAnalogs",
                                   "frmShowConfiguration"}));
    EXPECT_EQ(selector, (QList<int>{2, 1}));
    EXPECT_EQ(analogMode, (QList<bool>{false, true}));
}

TEST_F(MenusTest, OpenLoadsAFileAndOpensTheConfigurationCommands) {
    const QString path = KnownFile();
    frmMain& w = Open();
    prompts.QueueFile(path);
    Trigger("mnuFileOpen");
    EXPECT_EQ(config().SystemConfig[0], 33);
    EXPECT_EQ(target().ChildCount, 1);
    EXPECT_TRUE(session().ConfigLoaded);
    EXPECT_EQ(Panel(4), QStringLiteral("File loaded: ") + path);
    for (const char* item : {"mnuConfiguration", "mnuConfigSystem", "mnuConfigPorts", "mnuConfigContactInputs",
                             "mnuConfigAnalogInputs", "mnuConfigTemp", "mnuConfigOutputs", "mnuSystem", "mnuFileSave",
                             "mnuFilePrint"})
        EXPECT_TRUE(w.MenuItemEnabled(QString::fromLatin1(item))) << item;
    EXPECT_FALSE(w.MenuItemEnabled(QStringLiteral("mnuViewStatus")));
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("Save"))->isEnabled());
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("Write"))->isEnabled());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("mnuFileSave"))->isEnabled());

    // Save As from the toolbar writes the same text back.
    const QString copy = dir.filePath(QStringLiteral("copy.ZPF"));
    prompts.QueueFile(copy);
    Press("Save");
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
    Press("Open");
    EXPECT_EQ(Panel(4), QStringLiteral("File Error, File is corrupt"));
    EXPECT_FALSE(session().ConfigLoaded);
    EXPECT_FALSE(w.MenuItemEnabled(QStringLiteral("mnuFileSave")));
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("Write"))->isEnabled());
}

TEST_F(MenusTest, WriteRunsTheCheckBeforeItsQuestion) {
    Open();
    target().ChildCount = 0;
    SetDefaultConfiguration();
    config().ContactInputTable[0].LocalOutput[1] = 12;
    session().ConfigLoaded = true;
    Press("Write");
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Configuration Check"));
    EXPECT_TRUE(sim.Received().isEmpty());

    // A passing configuration gets the question; No sends nothing.
    config().ContactInputTable[0].LocalOutput[1] = 2;
    prompts.Clear();
    prompts.QueueAnswer(vbNo);
    Press("Write");
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Do you want to overwrite module configuration. Continue ?"));
}

TEST_F(MenusTest, FlashLoadIsConfirmedFirst) {
    int loads = 0;
    Fake(QStringLiteral("RunFlashLoader"), [&loads] { ++loads; });
    Open();
    prompts.QueueAnswer(vbNo);
    Trigger("mnuSystemFlash");
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
    for (const char* item : {"mnuSystemRestart", "mnuSystemResetNVR"}) w.SetMenuEnabled(QString::fromLatin1(item), true);

    prompts.QueueAnswer(vbNo);
    Trigger("mnuSystemRestart");
    EXPECT_EQ(Sent(CMD_RESET_SYSTEM), 0);
    prompts.QueueAnswer(vbYes);
    Trigger("mnuSystemRestart");
    ASSERT_TRUE(WaitUntil([this] { return Sent(CMD_RESET_SYSTEM) == 1; }));
    EXPECT_EQ(prompts.Shown()[1].text, QStringLiteral("Ok to reset system?"));

    prompts.Clear();
    prompts.QueueAnswer(vbYes);  // the full reset of the local module
    prompts.QueueAnswer(vbOK);   // "Data Reset - Click OK to Continue"
    Trigger("mnuSystemResetNVR");
    EXPECT_EQ(Sent(CMD_RESET_NVR_ALL), 1);
    EXPECT_EQ(Sent(CMD_STOP_PROCESSES), 0) << "the local module is reset without a stop";
    EXPECT_GE(Sent(CMD_CFG_SYSTEM), 1) << "the configuration is read again";
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown()[1].text, QStringLiteral("Data Reset - Click OK to Continue"));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
}

TEST_F(MenusTest, DateTimeOpensWithAUsableClock) {
    Fake(QStringLiteral("frmDateTime"), [this] { clock.append(target().ModuleClock.year); });
    frmMain& w = Open();
    ConnectOverTcp();
    sim.SetReplyData(CMD_DATE_TIME, Bytes({0, 0, 0, 13, 45, 7}));
    w.SetMenuEnabled(QStringLiteral("mnuDateTime"), true);
    Trigger("mnuDateTime");
    ASSERT_EQ(opened, QStringList{"frmDateTime"});
    EXPECT_EQ(clock, QList<int>{2000});
    EXPECT_EQ(target().ModuleClock.day, 1);
    EXPECT_EQ(target().ModuleClock.month, 1);
}

TEST_F(MenusTest, EventMonitorsAndLogger) {
    Fake(QStringLiteral("frmEventMonitor"), [this] { ports.append(eventMonitor().EventPort); });
    Fake(QStringLiteral("frmLogger"));
    frmMain& w = Open();
    for (const char* item : {"mnuEventSerial1", "mnuEventSerial2", "mnuEventFFSK", "mnuLogger"})
        w.SetMenuEnabled(QString::fromLatin1(item), true);
    // The local port cannot open: serial port 2 and FFSK still open, serial 1 does not.
    Trigger("mnuEventSerial2");
    Trigger("mnuEventFFSK");
    prompts.QueueAnswer(vbOK);
    Trigger("mnuEventSerial1");
    EXPECT_EQ(ports, (QList<int>{1, 2}));
    // Off line the logger opens without a word to the module.
    session().Online = 0;
    Trigger("mnuLogger");
    EXPECT_EQ(opened.last(), QStringLiteral("frmLogger"));
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

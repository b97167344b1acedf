// The main window offscreen: its controls as it opens, the link timers it hosts, the
// window position it keeps, and both ways of shutting down.
#include "link/transaction.h"
#include "app/frmMain.h"
#include "control/linkservices.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/settingsfile.h"
#include "app/startup.h"
#include "control/tracefile.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "support/appfixture.h"
#include "link/transport.h"
#include "platform/serialport.h"
#include "support/memoryserialport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QToolBar>
#include <QTreeView>

using namespace korvel;
using namespace korvel::test;

namespace {

class MainWindowTest : public AppFixture {
protected:
    QByteArray SettingsFileText() {
        QFile f(SettingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct ItemState {
    MenuItem item;
    const char* caption;
    const char* shortcut;
    bool enabled;
    bool visible;
};

TEST_F(MainWindowTest, MenusOpenWithTheirCaptionsShortcutsAndStates) {
    frmMain& w = Open();
    const ItemState expected[] = {
        {MenuItem::mnuFile, "&File", "", true, true},
        {MenuItem::mnuFileOpen, "&Open...", "Ctrl+O", true, true},
        {MenuItem::mnuFileSave, "&Save As...", "Ctrl+S", false, true},
        {MenuItem::mnuFilePrint, "&Print...", "Ctrl+P", false, false},
        {MenuItem::mnuFileExit, "E&xit", "", true, true},
        {MenuItem::mnuPref, "&Preferences", "", true, true},
        {MenuItem::mnuPrefLocal, "&Local Connection...", "", true, true},
        {MenuItem::mnuPrefModem, "&Modem Connection...", "", false, false},
        {MenuItem::mnuDisplay, "&Display", "", true, true},
        {MenuItem::mnuView, "&View", "", true, true},
        {MenuItem::mnuViewStatus, "Current &Status...", "", false, true},
        {MenuItem::mnuSystem, "&System", "", true, true},
        {MenuItem::mnuDateTime, "Date&Time...", "", false, true},
        {MenuItem::mnuSystemResetNVR, "Reset System &NVR...", "", false, true},
        {MenuItem::mnuSystemRestart, "ReStart &System...", "", false, true},
        {MenuItem::mnuSystemFlash, "Flash &Upload...", "", true, true},
        {MenuItem::mnuViewManuf, "View Board Information...", "", true, true},
        {MenuItem::mnuConfiguration, "&Configuration", "", true, true},
        {MenuItem::mnuConfigSystem, "&System...", "", false, true},
        {MenuItem::mnuConfigPorts, "&Ports", "", false, true},
        {MenuItem::mnuPortsSerial1, "Serial &1...", "", true, true},
        {MenuItem::mnuPortsSerial2, "Serial &2...", "", true, true},
        {MenuItem::mnuPortsFFSK, "&FFSK...", "", true, true},
        {MenuItem::mnuPorts10Base, "10Base-&T...", "", false, true},
        {MenuItem::mnuConfigContactInputs, "&Contact Inputs...", "", false, true},
        {MenuItem::mnuConfigAnalogInputs, "&Analog Inputs...", "", false, true},
        {MenuItem::mnuConfigTemp, "&Temperature Inputs...", "", false, true},
        {MenuItem::mnuConfigOutputs, "&Outputs...", "", false, true},
        {MenuItem::mnuTasks, "&Tasks...", "", true, true},
        {MenuItem::mnuLogger, "&Data Logger Setup...", "", false, true},
        {MenuItem::mnuEvents, "&Event Monitor", "", true, true},
        {MenuItem::mnuEventSerial1, "&Serial 1...", "", false, true},
        {MenuItem::mnuEventSerial2, "&Serial 2...", "", false, true},
        {MenuItem::mnuEventFFSK, "&FFSK...", "", false, true},
        {MenuItem::mnuEventFSM, "&LocalFSM...", "", true, false},
        {MenuItem::mnuHelp, "&Help", "", true, true},
        {MenuItem::mnuHelpAbout, "&About...", "", true, true},
    };
    for (const ItemState& e : expected) {
        const char* name = MenuItemName(e.item);
        QAction* a = w.Menu(e.item);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->objectName(), name);
        EXPECT_EQ(a->text(), e.caption) << name;
        EXPECT_EQ(a->shortcut().toString(), e.shortcut) << name;
        EXPECT_EQ(w.MenuEnabled(e.item), e.enabled) << name;
        if (e.visible) {
            EXPECT_EQ(a->isEnabled(), e.enabled && frmMain::CommandAvailable(e.item)) << name;
        }
        EXPECT_EQ(a->isVisible(), e.visible) << name;
    }
    // The submenu items hang under their parents, in order.
    const QList<QAction*> ports = w.Menu(MenuItem::mnuConfigPorts)->menu()->actions();
    ASSERT_EQ(ports.size(), 4);
    EXPECT_EQ(ports[3]->objectName(), "mnuPorts10Base");
    const QList<QAction*> file = w.Menu(MenuItem::mnuFile)->menu()->actions();
    ASSERT_EQ(file.size(), 5);
    EXPECT_TRUE(file[3]->isSeparator());
    EXPECT_EQ(w.windowTitle(), "Korvel/Pellar Configuration Utility");
}

TEST_F(MainWindowTest, RadioProtocolOffersTheLocalRadioMonitorInsteadOfFlashing) {
    settings().PortProtocol = LOCALPORT_FLEETSYNC;
    frmMain& w = Open();
    EXPECT_TRUE(w.Menu(MenuItem::mnuEventFSM)->isVisible());
    EXPECT_TRUE(w.MenuEnabled(MenuItem::mnuEventFSM));
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuSystemFlash));
}

TEST_F(MainWindowTest, ToolbarHasThirteenButtonsGroupedBySeparators) {
    frmMain& w = Open();
    const QList<QAction*> actions = w.Toolbar1()->actions();
    ASSERT_EQ(actions.size(), 13);
    const QStringList keys = {"Open", "Save", "Print", "", "OffLine", "", "Write", "", "", "Read", "", "Config", ""};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(actions[i]->isSeparator(), keys[i].isEmpty()) << i + 1;
        if (!keys[i].isEmpty()) {
            EXPECT_EQ(actions[i]->objectName(), keys[i]);
            EXPECT_FALSE(actions[i]->icon().isNull()) << keys[i].toStdString();
        }
    }
    EXPECT_EQ(w.Button(ToolButton::Write)->toolTip(), "Write the configuration data to Korvel");
    EXPECT_EQ(w.Button(ToolButton::Read)->toolTip(), "Read the configuration data from Korvel");
    EXPECT_EQ(w.Button(ToolButton::Config)->toolTip(), "Show channel configuration summary");
    // Nothing is loaded yet: only what can start from nothing is usable.
    using enum ToolButton;
    for (ToolButton on : {Open, OffLine, Read}) EXPECT_TRUE(w.Button(on)->isEnabled()) << ToolButtonKey(on);
    for (ToolButton off : {Save, Print, Write, Config})
        EXPECT_FALSE(w.Button(off)->isEnabled()) << ToolButtonKey(off);
    w.SetToolbarButtonEnabled(ToolButton::Write, true);
    EXPECT_TRUE(w.Button(ToolButton::Write)->isEnabled());
}

TEST_F(MainWindowTest, StationListAndViewSelector) {
    frmMain& w = Open();
    ASSERT_EQ(w.cboView()->count(), 4);
    EXPECT_EQ(w.cboView()->itemText(3), "Report");
    EXPECT_EQ(w.cboView()->currentIndex(), 0);
    QStandardItemModel* m = w.Stations();
    ASSERT_EQ(m->rowCount(), 4);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Station Name");
    EXPECT_EQ(m->headerData(4, Qt::Horizontal).toString(), "Status");
    EXPECT_EQ(m->item(0, 0)->text(), "SYSTEM");
    EXPECT_EQ(m->item(0, 1)->text(), "");
    EXPECT_FALSE(m->item(0, 2)->text().isEmpty()) << "the machine's own address";
    EXPECT_EQ(m->item(1, 0)->text(), "LOCAL");
    EXPECT_EQ(m->item(1, 1)->text(), "Serial");
    EXPECT_EQ(m->item(3, 0)->text(), "DOG");
    EXPECT_TRUE(m->item(3, 0)->icon().isNull());
    EXPECT_EQ(m->item(3, 2)->text(), "");

    emit w.cboView()->activated(3);
    EXPECT_NE(qobject_cast<QTreeView*>(w.ListView1()->currentWidget()), nullptr) << "Report shows the columns";
    emit w.cboView()->activated(2);
    EXPECT_EQ(qobject_cast<QTreeView*>(w.ListView1()->currentWidget()), nullptr);
}

TEST_F(MainWindowTest, StatusBarAndTimersStartAsTheLinkExpects) {
    frmMain& w = Open();
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(w.PanelText(p), "") << p;
    EXPECT_FALSE(w.Panel(5)->text().isEmpty()) << "date panel";
    EXPECT_FALSE(w.Panel(6)->text().isEmpty()) << "time panel";
    EXPECT_EQ(w.Timer(LinkTimer::CommIn)->interval(), 100);
    EXPECT_EQ(w.Timer(LinkTimer::InterByte)->interval(), 100);
    EXPECT_EQ(w.Timer(LinkTimer::Wait)->interval(), 1500);
    EXPECT_EQ(w.Timer(LinkTimer::MsgTimer)->interval(), 700);
    EXPECT_EQ(w.Timer(LinkTimer::BGProcess)->interval(), 50);
    EXPECT_TRUE(w.TimerEnabled(LinkTimer::BGProcess));
    for (LinkTimer t : {LinkTimer::CommIn, LinkTimer::InterByte, LinkTimer::Wait, LinkTimer::MsgTimer})
        EXPECT_FALSE(w.TimerEnabled(t));
    EXPECT_EQ(&linkHost(), static_cast<LinkHost*>(&w)) << "the window hosts the link";

    // The window's own timer drives the countdown into its panel.
    SetConnectionReplyTimeout(3);
    w.SetTimerEnabled(LinkTimer::CommIn, true);
    QMetaObject::invokeMethod(w.Timer(LinkTimer::CommIn), "timeout");
    EXPECT_EQ(w.PanelText(4), "200mS");
}

TEST_F(MainWindowTest, EventsAreAcknowledgedByTheWindowsOwnTick) {
    ConnectOverTcp();
    Open();
    auto acks = [this] {
        int n = 0;
        for (const QByteArray& f : sim.Received()) n += f.size() > 5 && uint8_t(f[5]) == PKT_ACK;
        return n;
    };
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    EXPECT_TRUE(WaitUntil([&] { return acks() == 1; }));
    EXPECT_FALSE(eventAck().AckPending);
    // An acknowledgement names no event: two from one station before the tick are both
    // answered by one.
    sim.SendEvent(0, 1, QByteArray(1, char(0x85)));
    sim.SendEvent(0, 1, QByteArray(1, char(0x86)));
    EXPECT_TRUE(WaitUntil([&] { return acks() >= 2 && !eventAck().AckPending && sim.EventsOwed() == 0; }));
}

TEST_F(MainWindowTest, WindowPositionIsRestoredInTwipsWithDefaults) {
    {
        frmMain& w = Open();
        EXPECT_EQ(w.pos(), QPoint(67, 67)) << "1000 twips";
        EXPECT_EQ(w.height(), 433) << "6500 twips";
        EXPECT_EQ(w.width(), std::max(433, w.minimumWidth())) << "no narrower than the menu bar";
    }
    {
        QSettings s(AppTitle(), QString());
        s.setValue("Settings/MainLeft", "1500");
        s.setValue("Settings/MainTop", "3000xyz");
        s.setValue("Settings/MainWidth", "12000");
        s.setValue("Settings/MainHeight", "9000");
    }
    frmMain& w = Open();
    EXPECT_EQ(w.pos(), QPoint(100, 200)) << "the digits a value begins with";
    EXPECT_EQ(w.size(), QSize(800, 600));

    w.move(30, 45);
    w.SaveWindowSettings();
    EXPECT_EQ(Registry("MainLeft"), "450");
    EXPECT_EQ(Registry("MainTop"), "675");
    EXPECT_EQ(Registry("MainWidth"), "12000");

    w.move(90, 90);
    w.setWindowState(Qt::WindowMinimized);
    w.SaveWindowSettings();
    EXPECT_EQ(Registry("MainLeft"), "450") << "a minimized window stores nothing";
}

TEST_F(MainWindowTest, ClosingTheWindowSavesSettingsClosesThePortAndEndsTheTrace) {
    frmMain& w = Open();
    w.show();
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    settings().RetryCount = 7;
    ASSERT_TRUE(OpenTrace());
    linkState().TraceOn = true;
    w.move(20, 20);

    EXPECT_TRUE(w.close());
    EXPECT_FALSE(CommPort().IsOpen());
    EXPECT_TRUE(SettingsFileText().startsWith("1\r\n7\r\n15\r\n"));
    EXPECT_EQ(Registry("MainLeft"), "300");
    EXPECT_EQ(w.PanelText(4), "DISCONNECTED");
    QFile trace(TraceFilePath());
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = trace.readAll().split('\n');
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("Trace stopped at ")) << "a closed trace always gets its footer";
    EXPECT_FALSE(linkState().TraceOn);
    for (LinkTimer t : {LinkTimer::CommIn, LinkTimer::BGProcess}) EXPECT_FALSE(w.TimerEnabled(t));
}

TEST_F(MainWindowTest, ExitClosesEveryOtherWindowAndWritesTheSameState) {
    frmMain& w = Open();
    w.show();
    QWidget other;
    other.show();
    settings().DegreesF = true;
    w.setWindowState(Qt::WindowMinimized);
    w.Menu(MenuItem::mnuFileExit)->trigger();
    EXPECT_FALSE(other.isVisible());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(SettingsFileText().contains("#TRUE#"));
    EXPECT_EQ(Registry("MainLeft"), "") << "a minimized window leaves the stored position alone";
}

TEST_F(MainWindowTest, StatusBarClickOffersTheTraceOnlyInDebugMode) {
    frmMain& w = Open();
    auto click = [&w] {
        QMouseEvent press(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.Panel(3), &press);
    };
    click();
    EXPECT_TRUE(prompts.Shown().isEmpty());
    session().DebugMode = true;
    prompts.QueueAnswer(vbYes);
    click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "Enable communications trace ?");
    EXPECT_TRUE(linkState().TraceOn);
    EXPECT_TRUE(QFile::exists(TraceFilePath()));
}

TEST_F(MainWindowTest, StartUpRecreatesABadSettingsFileAndShowsTheWindow) {
    const QString folder = dir.filePath("data");
    QDir().mkpath(folder);
    QFile bad(folder + "/KESTA.DAT");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("2\r\n9\r\nfifteen\r\n");
    bad.close();
    SetLinkClient(nullptr);
    window.reset(StartProgram(folder));
    // The link runs by the settings read, and hands every frame to the program.
    ASSERT_NE(dynamic_cast<ProgramLinkClient*>(&linkClient()), nullptr);
    settings().RetryCount = 9;
    EXPECT_EQ(linkClient().Settings().RetryCount, 9);
    EXPECT_EQ(session().DataFolder, folder);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(settings().CommPortNumber, 1) << "values read before the fault are not kept";
    settings().RetryCount = 5;
    EXPECT_EQ(SettingsFileText(), "1\r\n5\r\n15\r\n0\r\n8\r\n3\r\n#FALSE#\r\n0\r\n");
    bool splash = false;
    for (QWidget* w : QApplication::topLevelWidgets()) splash |= w->objectName() == "frmSplash" && w->isVisible();
    EXPECT_TRUE(splash);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmSplash") delete w;
}

} // namespace

namespace {

// A short silent wave file: 8 kHz, 8-bit mono.
QByteArray SilentWave(int samples) {
    QByteArray data(samples, char(0x80));
    auto le32 = [](quint32 v) { return Bytes({int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); };
    auto le16 = [](quint16 v) { return Bytes({v & 255, v >> 8}); };
    return QByteArray("RIFF") + le32(36 + samples) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(8000) +
           le16(1) + le16(8) + "data" + le32(samples) + data;
}

TEST_F(MainWindowTest, WavePlaybackJoinsTheNameToTheFolderAndNeverHangs) {
    frmMain& w = Open();
    EXPECT_FALSE(w.PlayWave("/missing.wav"));
    QFile wave(dir.filePath("alarm.wav"));
    ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
    wave.write(SilentWave(800));
    wave.close();
    EXPECT_FALSE(w.PlayWave("alarm.wav")) << "no separator is put between folder and name";
    QDeadlineTimer limit(10000);
    w.PlayWave("/alarm.wav");  // plays, or fails quietly where there is no sound device
    EXPECT_FALSE(limit.hasExpired());
}

} // namespace

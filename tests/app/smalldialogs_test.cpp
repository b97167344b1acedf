// The main window's small dialogs offscreen: the local port set-up (limits, what OK and
// Cancel leave behind, the serial device kept between runs, a pseudo-terminal used for
// a real read), the About box, the preferences, the splash, and the menu items that
// open them.
#include "app/frmAbout.h"
#include "app/frmCancelSend.h"
#include "app/frmLocalComSetUp.h"
#include "app/frmOfflineDeviceSelection.h"
#include "app/frmOMRUPref.h"
#include "app/frmSplash.h"
#include "app/startup.h"
#include "control/localport.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/settingsfile.h"
#include "editors/station/frmKenwood.h"
#include "monitor/frmStatus.h"
#include "model/target.h"
#include "model/version.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/iohandler.h"
#include "platform/qtprompts.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "support/memoryserialport.h"
#include "link/transaction.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

#include <functional>

using namespace korvel;
using namespace korvel::test;

namespace {

// Replaces an up-down's value by typing, as a user does after selecting its text.
void TypeInto(QSpinBox* spin, const QString& text) {
    spin->selectAll();
    TypeText(spin, text);
}

void TypeInto(QComboBox* combo, const QString& text) {
    combo->lineEdit()->clear();
    TypeText(combo, text);
}

// Every setting the dialogs touch, with the serial device, for one-line comparisons.
std::string SettingsNow() {
    const LocalSettings& s = settings();
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 [%8]")
        .arg(s.CommPortNumber).arg(s.RetryCount).arg(s.PacketTimeout).arg(s.InterByteTimeout)
        .arg(s.SpareSetting).arg(int(s.DegreesF)).arg(s.PortProtocol).arg(s.CommPortDevice)
        .toStdString();
}

class SmallDialogsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
    }
    // Opens the local port set-up from its menu item and runs act on it while it is up.
    void WithLocalPort(std::function<void(frmLocalComSetUp&)> act) {
        WhenModal<frmLocalComSetUp>(std::move(act));
        Trigger(MenuItem::mnuPrefLocal);
    }
    QByteArray SettingsFileText() const {
        QFile f(SettingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

TEST_F(SmallDialogsTest, LocalPortShowsItsTextsUnderTheirNamesInKeyboardOrder) {
    settings().CommPortNumber = 2;
    frmLocalComSetUp d(nullptr);
    EXPECT_EQ(d.windowTitle(), "OMRU Communication Port Parameters");
    EXPECT_TRUE(d.isModal());
    EXPECT_EQ(d.cboLocalPort()->currentText(), "/dev/ttyS1") << "the settings file's port number";
    EXPECT_TRUE(d.cboLocalPort()->isEditable());
    EXPECT_EQ(d.updRetryCount()->value(), 3);
    EXPECT_EQ(d.updCommInTimer()->value(), 2000);
    EXPECT_EQ(d.updInterByteTime()->value(), 800);
    ASSERT_EQ(d.cboPortProtocol()->count(), 2);
    EXPECT_EQ(d.cboPortProtocol()->itemText(0), "Korvel");
    EXPECT_EQ(d.cboPortProtocol()->itemText(1), "KENWOOD FLEETSYNC");
    EXPECT_EQ(d.cboPortProtocol()->currentIndex(), 0);
    EXPECT_EQ(Shown(d.OKButton()->text()), "OK");
    EXPECT_EQ(Shown(d.CancelButton()->text()), "Cancel");
    EXPECT_FALSE(d.txtHint()->toPlainText().isEmpty());
    EXPECT_TRUE(d.txtHint()->isReadOnly());

    // Each field by its label, which carries an access key.
    const std::pair<QWidget*, const char*> fields[] = {
        {d.cboLocalPort(), "Communication port:"},       {d.updRetryCount(), "Retry count:"},
        {d.updCommInTimer(), "Packet Timeout (mSec) :"}, {d.updInterByteTime(), "Inter-byte Timeout (mSec)"},
        {d.cboPortProtocol(), "Local port protocol:"},
    };
    for (const auto& [field, label] : fields) {
        QLabel* found = nullptr;
        for (QLabel* l : d.findChildren<QLabel*>())
            if (l->buddy() == field) found = l;
        ASSERT_NE(found, nullptr) << label;
        EXPECT_EQ(Shown(found->text()), label);
        EXPECT_TRUE(found->text().contains('&')) << label;
    }
    EXPECT_EQ(d.cboLocalPort()->toolTip(), "The RS-232 port that will be used to communicate with the NELK local port");
    EXPECT_EQ(d.findChild<QLineEdit*>("txtRetryCount"), d.txtRetryCount());
    EXPECT_EQ(d.txtRetryCount()->toolTip(),
              "The number of times to retry a command when there is a communication timeout");
    EXPECT_EQ(d.findChild<QLineEdit*>("txtCommInTimer")->toolTip(),
              "The time OMRU will wait before resending the command when there is no reponse from the Korvel.");
    EXPECT_EQ(d.findChild<QLineEdit*>("txtInterByteTime")->toolTip(),
              "The time that OMRU will wait before flushing a partially received packet when the packet is stalled");
    EXPECT_EQ(d.cboPortProtocol()->toolTip(),
              "Determines whether the communication port is connected to Korvel module or Kenwood Radio");

    // Tab walks the fields top to bottom, then OK and Cancel; the hint is no stop.
    QWidget* w = d.cboLocalPort();
    for (QWidget* next : {static_cast<QWidget*>(d.updRetryCount()), static_cast<QWidget*>(d.updCommInTimer()),
                          static_cast<QWidget*>(d.updInterByteTime()), static_cast<QWidget*>(d.cboPortProtocol()),
                          static_cast<QWidget*>(d.OKButton()), static_cast<QWidget*>(d.CancelButton())}) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->focusProxy()) w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << next->objectName().toStdString();
    }
}

TEST_F(SmallDialogsTest, EachFieldRefusesValuesBeyondItsLimits) {
    settings().RetryCount = 5;
    Open();
    WithLocalPort([](frmLocalComSetUp& d) {
        // Typing past the top is refused at the keystroke that would pass it.
        TypeInto(d.updRetryCount(), "11");
        EXPECT_EQ(d.txtRetryCount()->text(), "1");
        TypeInto(d.updCommInTimer(), "40000");
        EXPECT_EQ(d.txtCommInTimer()->text(), "4000");
        TypeInto(d.updInterByteTime(), "3000");
        EXPECT_EQ(d.txtInterByteTime()->text(), "300");
        // Neither signs nor letters get in.
        TypeText(d.updInterByteTime(), "+a-");
        EXPECT_EQ(d.txtInterByteTime()->text(), "300");
        // Stepping stops at the ends.
        for (int i = 0; i < 400; ++i) d.updCommInTimer()->stepUp();
        EXPECT_EQ(d.updCommInTimer()->value(), 30000);
        for (int i = 0; i < 40; ++i) d.updInterByteTime()->stepDown();
        EXPECT_EQ(d.updInterByteTime()->value(), 200);
        // The retry count's "1", below the bottom, goes back to the value before.
        d.OKButton()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(settings().RetryCount, 5);
    EXPECT_EQ(settings().PacketTimeout, 300);
    EXPECT_EQ(settings().InterByteTimeout, 2);

    // A settings file can hold values beyond them: they show as the nearest limit.
    settings().RetryCount = 40;
    settings().PacketTimeout = 1;
    frmLocalComSetUp d(nullptr);
    EXPECT_EQ(d.updRetryCount()->value(), 10);
    EXPECT_EQ(d.updCommInTimer()->value(), 500);
}

TEST_F(SmallDialogsTest, OkStoresRoundedTicksWritesTheFileAndIsReleased) {
    Open();
    WithLocalPort([](frmLocalComSetUp& d) {
        TypeInto(d.cboLocalPort(), "/dev/ttyS3");
        TypeInto(d.updRetryCount(), "4");
        TypeInto(d.updCommInTimer(), "1650");
        TypeInto(d.updInterByteTime(), "250");
        d.OKButton()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(SettingsFileText(), "4\r\n4\r\n16\r\n0\r\n2\r\n3\r\n#FALSE#\r\n0\r\n");
    EXPECT_EQ(settings().CommPortDevice, "/dev/ttyS3");
    EXPECT_EQ(linkState().PacketTimeoutReload, 16);
    EXPECT_EQ(window->findChild<frmLocalComSetUp*>(), nullptr) << "released when closed";

    // Enter in a field presses OK, with the value just typed.
    WithLocalPort([](frmLocalComSetUp& d) {
        TypeInto(d.updCommInTimer(), "1550");
        TypeKey(d.updCommInTimer(), Qt::Key_Return);
    });
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_EQ(settings().PacketTimeout, 16);
}

TEST_F(SmallDialogsTest, TheProtocolSwitchesTheWindowsMenus) {
    frmMain& w = Open();
    auto choose = [this](int index) {
        WithLocalPort([index](frmLocalComSetUp& d) {
            d.cboPortProtocol()->setCurrentIndex(index);
            d.OKButton()->click();
        });
    };
    choose(1);
    EXPECT_EQ(settings().PortProtocol, LOCALPORT_FLEETSYNC);
    EXPECT_TRUE(w.MenuVisible(MenuItem::mnuEventFSM));
    EXPECT_TRUE(w.MenuEnabled(MenuItem::mnuEventFSM));
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuSystemFlash));

    // Back to the module while a switch-through link holds flash loading off.
    linkState().LinkMode = LINK_SWITCH_THROUGH;
    choose(0);
    EXPECT_EQ(settings().PortProtocol, LOCALPORT_MODULE);
    EXPECT_FALSE(w.MenuVisible(MenuItem::mnuEventFSM));
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuEventFSM));
    EXPECT_FALSE(w.MenuEnabled(MenuItem::mnuSystemFlash));

    linkState().LinkMode = LINK_NORMAL;
    choose(0);
    EXPECT_TRUE(w.MenuEnabled(MenuItem::mnuSystemFlash));
    EXPECT_EQ(modalDialogs, 3);
}

TEST_F(SmallDialogsTest, TheFileOnlyProtocolStaysUnlessTheRadioIsChosen) {
    settings().PortProtocol = LOCALPORT_MODULE_8N1;
    Open();
    WithLocalPort([](frmLocalComSetUp& d) {
        EXPECT_EQ(d.cboPortProtocol()->currentText(), "Korvel");
        d.OKButton()->click();
    });
    EXPECT_EQ(settings().PortProtocol, LOCALPORT_MODULE_8N1);
    EXPECT_TRUE(SettingsFileText().endsWith("\r\n2\r\n"));
}

TEST_F(SmallDialogsTest, CancelChangesNothingAndOkClosesAnOpenPort) {
    frmMain& w = Open();
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    SetConnectionReplyTimeout(7);
    const std::string before = SettingsNow();
    WithLocalPort([](frmLocalComSetUp& d) {
        TypeInto(d.cboLocalPort(), "/dev/ttyUSB4");
        TypeInto(d.updRetryCount(), "9");
        TypeInto(d.updCommInTimer(), "9000");
        TypeInto(d.updInterByteTime(), "1900");
        d.cboPortProtocol()->setCurrentIndex(1);
        d.CancelButton()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(SettingsNow(), before);
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(linkState().PacketTimeoutReload, 7);
    EXPECT_FALSE(w.MenuVisible(MenuItem::mnuEventFSM));
    EXPECT_FALSE(QFile::exists(SettingsFilePath()));
    EXPECT_EQ(SavedCommPortDevice(), "");

    // Escape is Cancel too.
    WithLocalPort([](frmLocalComSetUp& d) {
        d.cboPortProtocol()->setCurrentIndex(1);
        TypeKey(&d, Qt::Key_Escape);
    });
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_EQ(SettingsNow(), before);

    WithLocalPort([](frmLocalComSetUp& d) { d.OKButton()->click(); });
    EXPECT_FALSE(port->IsOpen()) << "the next operation opens it with the new settings";
}

TEST_F(SmallDialogsTest, TheChosenDeviceIsKeptWhenItVanishesAndComesBackAtStartUp) {
    // An adapter that is not (or no longer) plugged in.
    const QString gone = QStringLiteral("/dev/ttyUSB97");
    Open();
    WithLocalPort([gone](frmLocalComSetUp& d) {
        TypeInto(d.cboLocalPort(), gone);
        d.OKButton()->click();
    });
    EXPECT_EQ(Registry("CommPortDevice"), gone);
    EXPECT_EQ(settings().CommPortNumber, 1) << "the file's number stays as it was";
    WithLocalPort([gone](frmLocalComSetUp& d) {
        EXPECT_EQ(d.cboLocalPort()->currentText(), gone);
        EXPECT_EQ(d.cboLocalPort()->findText(gone), -1) << "not offered as present";
        d.CancelButton()->click();
    });
    EXPECT_EQ(modalDialogs, 2);

    // Used, it gives the ordinary complaint about a port that cannot be opened.
    EXPECT_EQ(OpenCommPort(), 1);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, "Port Open Error");

    // The next run starts with it.
    window.reset();
    ResetLocalSettings();
    const QString folder = dir.filePath("data");
    QDir().mkpath(folder);
    window.reset(StartProgram(folder));
    EXPECT_EQ(settings().CommPortDevice, gone);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmSplash") delete w;
}

TEST_F(SmallDialogsTest, APseudoTerminalTypedInServesARead) {
    const QString pty = sim.OpenPty();
    ASSERT_FALSE(pty.isEmpty());
    sim.SetKorvel(2);
    Open(true);
    WithLocalPort([pty](frmLocalComSetUp& d) {
        TypeInto(d.cboLocalPort(), pty);
        d.OKButton()->click();
    });
    ASSERT_EQ(settings().CommPortDevice, pty);

    Fake(WindowId::frmSystem);
    WhenModal<frmCancelSend>([](frmCancelSend& d) { d.cmdConnectLocal()->click(); });
    Press(ToolButton::Read);
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_EQ(opened, QList<WindowId>{WindowId::frmSystem});
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_EQ(Panel(2), "Configuration Downloaded");
    EXPECT_EQ(target().ChildCount, 2);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(SmallDialogsTest, AboutShowsTheProgramsNameTitleAndVersion) {
    frmAbout d(nullptr);
    EXPECT_EQ(d.windowTitle(), "About Korvel/Pellar Configuration Utility");
    EXPECT_TRUE(d.isModal());
    EXPECT_EQ(d.lblTitle()->text(), AppTitle());
    EXPECT_EQ(d.lblName()->text(), QString::fromLatin1(kProductNameLine));
    EXPECT_EQ(d.lblVersion()->text(), QStringLiteral("Version %1.%2.%3")
                                          .arg(ProgramVersionMajor)
                                          .arg(ProgramVersionMinor)
                                          .arg(ProgramVersionRevision));
    EXPECT_EQ(Shown(d.cmdOK()->text()), "Close");
    d.show();
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible());
}

TEST_F(SmallDialogsTest, PreferencesOkStoresTheUnitAndCancelDropsIt) {
    {
        frmOMRUPref d(nullptr);
        EXPECT_EQ(d.windowTitle(), "OMRU Preferences");
        EXPECT_EQ(Shown(d.ckbDegreesF()->text()), "Display and enter Temperatures in Fahrenheit ");
        EXPECT_TRUE(d.ckbDegreesF()->text().contains('&'));
        EXPECT_EQ(Shown(d.cmdOK()->text()), "OK");
        EXPECT_EQ(Shown(d.cmdCancel()->text()), "Cancel");
        EXPECT_FALSE(d.ckbDegreesF()->isChecked());
    }
    Open();
    auto withPreferences = [this](std::function<void(frmOMRUPref&)> act) {
        WhenModal<frmOMRUPref>(std::move(act));
        Trigger(MenuItem::mnuDisplay);
    };
    withPreferences([](frmOMRUPref& d) {
        d.ckbDegreesF()->click();
        d.cmdOK()->click();
    });
    EXPECT_TRUE(settings().DegreesF);
    EXPECT_FALSE(QFile::exists(SettingsFilePath())) << "the file follows at its next writing";
    withPreferences([](frmOMRUPref& d) {
        EXPECT_TRUE(d.ckbDegreesF()->isChecked());
        d.ckbDegreesF()->click();
        d.cmdCancel()->click();
    });
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_TRUE(settings().DegreesF);
}

TEST_F(SmallDialogsTest, MenuItemsOpenTheirWindowsOnceEach) {
    const std::pair<MenuItem, const char*> rows[] = {
        {MenuItem::mnuPrefLocal, "frmLocalComSetUp"},
        {MenuItem::mnuDisplay, "frmOMRUPref"},
        {MenuItem::mnuHelpAbout, "frmAbout"},
    };
    Open(true);
    for (const auto& [item, name] : rows) {
        QString found;
        int instances = 0;
        WhenModal<QDialog>([&](QDialog& d) {
            found = d.objectName();
            EXPECT_EQ(d.parentWidget(), window.get());
            // Asked again while it is up, the same window comes to the front.
            window->Menu(item)->trigger();
            for (QDialog* other : window->findChildren<QDialog*>())
                instances += other->objectName() == QLatin1String(name);
            d.reject();
        });
        modalDialogs = 0;
        Trigger(item);
        EXPECT_EQ(modalDialogs, 1) << name;
        EXPECT_EQ(found, name);
        EXPECT_EQ(instances, 1) << name;
        EXPECT_EQ(window->findChild<QDialog*>(QLatin1String(name)), nullptr) << name << " is released";
    }
}

TEST_F(SmallDialogsTest, TheSplashGoesByItselfTwoSecondsAfterItLoads) {
    QPointer<frmSplash> shown = frmSplash::ShowSplash(nullptr);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->lblName()->text().section('\n', 0, 0), QString::fromLatin1(kProductNameLine));
    EXPECT_EQ(frmSplash::ShowSplash(nullptr), shown.data()) << "one splash at a time";
    EXPECT_FALSE(WaitUntil([&] { return shown.isNull(); }, 1500)) << "not before its time";
    EXPECT_TRUE(WaitUntil([&] { return shown.isNull(); }, 2500));

    // Its time runs from the load, whether or not the window system ever shows it.
    QPointer<frmSplash> hidden = new frmSplash(nullptr);
    EXPECT_TRUE(WaitUntil([&] { return hidden.isNull(); }, 3000));
}

// Every modal loop of the windows is a wait: shown inside a port's or socket's handler it
// stops the program at once, whichever kind it is (a box, a file, input or print dialog,
// a window that exists once, the connect dialog, the device choice).
TEST(IoHandlerDeathTest, EveryModalWindowInsideAHandlerStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QtPrompts real;
    EXPECT_DEATH({ const IoHandlerScope h; real.MsgBox({}, vbOKOnly, {}); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; real.InputBox({}, {}, {}); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; real.GetOpenFileName({}, {}, {}); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; real.GetSaveFileName({}, {}, {}); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; real.ChoosePrinter({}); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; frmAbout::Run(nullptr); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; frmKenwood::Run(nullptr); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; frmStatus::Run(nullptr); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; frmCancelSend::Run(nullptr); }, "a modal window inside");
    EXPECT_DEATH({ const IoHandlerScope h; frmOfflineDeviceSelection::Choose(nullptr); }, "a modal window inside");
}

} // namespace

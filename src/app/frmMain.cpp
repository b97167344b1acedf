#include "app/frmMain.h"
#include "control/configfiles.h"
#include "control/progress.h"
#include "control/connection.h"
#include "link/linkhold.h"
#include "app/entryhelpers.h"
#include "app/frmCancelSend.h"
#include "app/frmOfflineDeviceSelection.h"
#include "link/switchthrough.h"
#include "app/frmProgress.h"
#include "app/windowregistry.h"
#include "control/localport.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/settingsfile.h"
#include "control/systemcommands.h"
#include "control/tracefile.h"
#include "model/target.h"
#include "model/textnumber.h"
#include "link/linkstate.h"
#include "control/eventdisplay.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"

#include <QAction>
#include <QLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QPointer>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <functional>
#include <optional>

#ifdef KORVEL_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#endif

namespace korvel {

namespace {

frmMain* g_mainForm = nullptr;

struct MenuDef {
    int level;
    MenuItem item;
    const char* caption;  // nullptr: a separator
    const char* shortcut;
    bool enabled;
    bool visible;
};

// The menu tree in order, with the state each item starts in.
const MenuDef kMenus[] = {
    {1, MenuItem::mnuFile, "&File", nullptr, true, true},
    {2, MenuItem::mnuFileOpen, "&Open...", "Ctrl+O", true, true},
    {2, MenuItem::mnuFileSave, "&Save As...", "Ctrl+S", false, true},
    {2, MenuItem::mnuFilePrint, "&Print...", "Ctrl+P", false, false},
    {2, MenuItem::mnuFile2, nullptr, nullptr, true, true},
    {2, MenuItem::mnuFileExit, "E&xit", nullptr, true, true},
    {1, MenuItem::mnuPref, "&Preferences", nullptr, true, true},
    {2, MenuItem::mnuPrefLocal, "&Local Connection...", nullptr, true, true},
    {2, MenuItem::mnuPrefModem, "&Modem Connection...", nullptr, false, false},
    {2, MenuItem::mnuDisplay, "&Display", nullptr, true, true},
    {1, MenuItem::mnuView, "&View", nullptr, true, true},
    {2, MenuItem::mnuViewStatus, "Current &Status...", nullptr, false, true},
    {1, MenuItem::mnuSystem, "&System", nullptr, true, true},
    {2, MenuItem::mnuDateTime, "Date&Time...", nullptr, false, true},
    {2, MenuItem::mnuSystemResetNVR, "Reset System &NVR...", nullptr, false, true},
    {2, MenuItem::mnuSystemRestart, "ReStart &System...", nullptr, false, true},
    {2, MenuItem::mnuSystemFlash, "Flash &Upload...", nullptr, true, true},
    {2, MenuItem::mnuViewManuf, "View Board Information...", nullptr, true, true},
    {1, MenuItem::mnuConfiguration, "&Configuration", nullptr, true, true},
    {2, MenuItem::mnuConfigSystem, "&System...", nullptr, false, true},
    {2, MenuItem::mnuConfigPorts, "&Ports", nullptr, false, true},
    {3, MenuItem::mnuPortsSerial1, "Serial &1...", nullptr, true, true},
    {3, MenuItem::mnuPortsSerial2, "Serial &2...", nullptr, true, true},
    {3, MenuItem::mnuPortsFFSK, "&FFSK...", nullptr, true, true},
    {3, MenuItem::mnuPorts10Base, "10Base-&T...", nullptr, false, true},
    {2, MenuItem::mnuConfig1, nullptr, nullptr, true, true},
    {2, MenuItem::mnuConfigContactInputs, "&Contact Inputs...", nullptr, false, true},
    {2, MenuItem::mnuConfigAnalogInputs, "&Analog Inputs...", nullptr, false, true},
    {2, MenuItem::mnuConfigTemp, "&Temperature Inputs...", nullptr, false, true},
    {2, MenuItem::mnuConfigOutputs, "&Outputs...", nullptr, false, true},
    {2, MenuItem::mnuConfig2, nullptr, nullptr, true, true},
    {2, MenuItem::mnuTasks, "&Tasks...", nullptr, true, true},
    {2, MenuItem::mnuLogger, "&Data Logger Setup...", nullptr, false, true},
    {1, MenuItem::mnuEvents, "&Event Monitor", nullptr, true, true},
    {2, MenuItem::mnuEventSerial1, "&Serial 1...", nullptr, false, true},
    {2, MenuItem::mnuEventSerial2, "&Serial 2...", nullptr, false, true},
    {2, MenuItem::mnuEventFFSK, "&FFSK...", nullptr, false, true},
    {2, MenuItem::mnuEventFSM, "&LocalFSM...", nullptr, true, false},
    {1, MenuItem::mnuHelp, "&Help", nullptr, true, true},
    {2, MenuItem::mnuHelpAbout, "&About...", nullptr, true, true},
};

struct ButtonDef {
    std::optional<ToolButton> button;  // none: a separator
    const char* toolTip;
    QStyle::StandardPixmap picture;
    bool enabled;
};

// The thirteen toolbar buttons; what needs a loaded configuration starts disabled.
const ButtonDef kButtons[] = {
    {ToolButton::Open, "Open configuration file", QStyle::SP_DialogOpenButton, true},
    {ToolButton::Save, "Save configuration to file", QStyle::SP_DialogSaveButton, false},
    {ToolButton::Print, "Print configuration", QStyle::SP_FileDialogContentsView, false},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
    {ToolButton::OffLine, "OffLine edit mode", QStyle::SP_ComputerIcon, true},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
    {ToolButton::Write, "Write the configuration data to Korvel", QStyle::SP_ArrowUp, false},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
    {ToolButton::Read, "Read the configuration data from Korvel", QStyle::SP_ArrowDown, true},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
    {ToolButton::Config, "Show channel configuration summary", QStyle::SP_FileDialogDetailedView, false},
    {std::nullopt, nullptr, QStyle::SP_CustomBase, true},
};

// The window or command each menu item and toolbar button opens, for those that open
// one. Such an item is usable only while its window is registered.
std::optional<WindowId> WindowOf(MenuItem item) {
    using enum MenuItem;
    switch (item) {
    case mnuFilePrint: return WindowId::PrintConfigurationReport;
    case mnuPrefLocal: return WindowId::frmLocalComSetUp;
    case mnuDisplay: return WindowId::frmOMRUPref;
    case mnuViewStatus: return WindowId::frmStatus;
    case mnuDateTime: return WindowId::frmDateTime;
    case mnuSystemFlash: return WindowId::RunFlashLoader;
    case mnuViewManuf: return WindowId::ShowManufacturingPage;
    case mnuConfigSystem: return WindowId::frmSystem;
    case mnuPortsSerial1:
    case mnuPortsSerial2: return WindowId::frmSport;
    case mnuPortsFFSK: return WindowId::frmFFSK;
    case mnuConfigContactInputs: return WindowId::frmInputs;
    case mnuConfigAnalogInputs:
    case mnuConfigTemp: return WindowId::frmAnalogs;
    case mnuConfigOutputs: return WindowId::frmOutputs;
    case mnuTasks: return WindowId::frmTaskManager;
    case mnuLogger: return WindowId::frmLogger;
    case mnuEventSerial1:
    case mnuEventSerial2:
    case mnuEventFFSK:
    case mnuEventFSM: return WindowId::frmEventMonitor;
    case mnuHelpAbout: return WindowId::frmAbout;
    default: return std::nullopt;
    }
}

std::optional<WindowId> WindowOf(ToolButton button) {
    switch (button) {
    case ToolButton::Print: return WindowId::PrintConfigurationReport;
    case ToolButton::Config: return WindowId::frmShowConfiguration;
    default: return std::nullopt;
    }
}

template <typename Control>
bool Available(Control c) {
    const std::optional<WindowId> window = WindowOf(c);
    return !window || WindowAvailable(*window);
}

template <typename Control>
void Open(Control c, QWidget* owner) {
    if (const std::optional<WindowId> window = WindowOf(c)) OpenWindow(*window, owner);
}

int TwipsToPixels(int twips) { return qRound(twips / double(TWIPS_PER_PIXEL)); }

// The address other machines know this one by, as the station list shows it.
QString LocalIpAddress() {
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

// An empty text panel still shows as a panel.
constexpr int kEmptyPanelWidth = 24;

} // namespace

frmMain* MainForm() { return g_mainForm; }

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Korvel/Pellar Configuration Utility"));
    g_mainForm = this;

    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &frmMain::UpdateClockPanels);
    tcpLoadTimer_.setObjectName(QStringLiteral("tcpLoadTimer"));
    tcpLoadTimer_.setInterval(100);
    tcpLoadTimer_.setSingleShot(true);
    connect(&tcpLoadTimer_, &QTimer::timeout, this, &frmMain::tcpLoadTimer_Timer);

    BuildMenus();
    BuildToolbar();
    BuildStationList();
    BuildStatusBar();

    progress_ = std::make_unique<ProgressWindowView>(this);
    SetProgressView(progress_.get());
    SetLinkHost(this);
    SetConnectionUi(this);
}

frmMain::~frmMain() {
    SetConnectionUi(nullptr);
    SetLinkHost(nullptr);
    SetProgressView(nullptr);
    if (g_mainForm == this) g_mainForm = nullptr;
}

void frmMain::BuildMenus() {
    QMenu* parents[4] = {};
    for (const MenuDef& d : kMenus) {
        const QString name = QString::fromLatin1(MenuItemName(d.item));
        QAction* item = nullptr;
        const bool opensSubmenu = d.level < 3 && &d + 1 < std::end(kMenus) && (&d + 1)->level > d.level;
        if (d.level == 1) {
            parents[1] = menuBar()->addMenu(QString::fromLatin1(d.caption));
            parents[1]->setObjectName(name);
            item = parents[1]->menuAction();
        } else if (!d.caption) {
            item = parents[d.level - 1]->addSeparator();
        } else if (opensSubmenu) {
            parents[d.level] = parents[d.level - 1]->addMenu(QString::fromLatin1(d.caption));
            parents[d.level]->setObjectName(name);
            item = parents[d.level]->menuAction();
        } else {
            item = parents[d.level - 1]->addAction(QString::fromLatin1(d.caption));
            if (d.shortcut) item->setShortcut(QKeySequence(QString::fromLatin1(d.shortcut)));
        }
        item->setObjectName(name);
        item->setEnabled(d.enabled && CommandAvailable(d.item));
        menuEnabled_[Index(d.item)] = d.enabled;
        item->setVisible(d.visible);
        menuItems_[Index(d.item)] = item;
    }
    ConnectMenuCommands();
}

bool frmMain::CommandAvailable(MenuItem item) { return Available(item); }
bool frmMain::CommandAvailable(ToolButton button) { return Available(button); }

void frmMain::ConnectMenuCommands() {
    using enum MenuItem;
    auto on = [this](MenuItem item, void (frmMain::*handler)()) {
        connect(Menu(item), &QAction::triggered, this,
                [this, item, handler] { RunCommand(std::bind(handler, this), Menu(item)); });
    };
    // Items that only open their window, some after telling it what to edit.
    auto opens = [this](MenuItem item, std::function<void()> before = {}) {
        connect(Menu(item), &QAction::triggered, this, [this, item, before] {
            RunCommand(
                [this, item, before] {
                    if (before) before();
                    Open(item, this);
                },
                Menu(item));
        });
    };
    on(mnuFileOpen, &frmMain::mnuFileOpen_Click);
    on(mnuFileSave, &frmMain::mnuFileSave_Click);
    on(mnuFilePrint, &frmMain::mnuFilePrint_Click);
    // Exit is no command of its own: during another one it asks that one to end first.
    connect(Menu(mnuFileExit), &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    opens(mnuPrefLocal);
    opens(mnuDisplay);
    on(mnuViewStatus, &frmMain::mnuViewStatus_Click);
    on(mnuDateTime, &frmMain::mnuDateTime_Click);
    on(mnuSystemResetNVR, &frmMain::mnuSystemResetNVR_Click);
    on(mnuSystemRestart, &frmMain::mnuSystemRestart_Click);
    on(mnuSystemFlash, &frmMain::mnuSystemFlash_Click);
    opens(mnuViewManuf);
    opens(mnuConfigSystem);
    opens(mnuPortsSerial1, [] { session().SerialPortSelector = 1; });
    opens(mnuPortsSerial2, [] { session().SerialPortSelector = 2; });
    opens(mnuPortsFFSK);
    opens(mnuConfigContactInputs);
    opens(mnuConfigAnalogInputs, [] { session().AnalogMode = true; });
    opens(mnuConfigTemp, [] { session().AnalogMode = false; });
    opens(mnuConfigOutputs);
    opens(mnuTasks);
    on(mnuLogger, &frmMain::mnuLogger_Click);
    const std::pair<MenuItem, int16_t> events[] = {{mnuEventSerial1, EVENT_PORT_SERIAL1},
                                                   {mnuEventSerial2, EVENT_PORT_SERIAL2},
                                                   {mnuEventFFSK, EVENT_PORT_FFSK},
                                                   {mnuEventFSM, EVENT_PORT_LOCAL_RADIO}};
    for (const auto& [item, port] : events) {
        const int16_t p = port;
        connect(Menu(item), &QAction::triggered, this,
                [this, item, p] { RunCommand([this, p] { mnuEvent_Click(p); }, Menu(item)); });
    }
    opens(mnuHelpAbout);
}

void frmMain::BuildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar1"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    for (const ButtonDef& b : kButtons) {
        if (!b.button) {
            toolbar_->addSeparator();
            continue;
        }
        const ToolButton which = *b.button;
        const QString key = QString::fromLatin1(ToolButtonKey(which));
        QAction* button = toolbar_->addAction(key);
        button->setObjectName(key);
        button->setToolTip(QString::fromLatin1(b.toolTip));
        button->setEnabled(b.enabled && CommandAvailable(which));
        buttonEnabled_[Index(which)] = b.enabled;
        connect(button, &QAction::triggered, this,
                [this, which, button] { RunCommand([this, which] { Toolbar1_ButtonClick(which); }, button); });
        // Toolbar buttons take part in the tab order, so the keyboard reaches them too.
        if (QWidget* w = toolbar_->widgetForAction(button)) {
            w->setFocusPolicy(Qt::TabFocus);
            w->setAccessibleName(key);
        }
        buttons_[Index(which)] = button;
    }
}

void frmMain::BuildStationList() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* row = new QHBoxLayout();
    auto* viewLabel = new QLabel(QStringLiteral("&View:"), central);
    cboView_ = new QComboBox(central);
    cboView_->setObjectName(QStringLiteral("cboView"));
    viewLabel->setBuddy(cboView_);
    row->addWidget(viewLabel);
    row->addWidget(cboView_);
    row->addStretch(1);
    layout->addLayout(row);

    stations_ = new QStandardItemModel(0, 5, this);
    stations_->setHorizontalHeaderLabels({QStringLiteral("Station Name"), QStringLiteral("Address Type"),
                                          QStringLiteral("IP Address"), QStringLiteral("Hardware Address"),
                                          QStringLiteral("Status")});
    listView_ = new QStackedWidget(central);
    listView_->setObjectName(QStringLiteral("ListView1"));
    auto* icons = new QListView(listView_);
    icons->setModel(stations_);
    icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    icons->setAccessibleName(QStringLiteral("Stations"));
    auto* report = new QTreeView(listView_);
    report->setModel(stations_);
    report->setRootIsDecorated(false);
    report->setEditTriggers(QAbstractItemView::NoEditTriggers);
    report->setAccessibleName(QStringLiteral("Stations"));
    listView_->addWidget(icons);
    listView_->addWidget(report);
    layout->addWidget(listView_, 1);
    setCentralWidget(central);
    connect(cboView_, &QComboBox::activated, this, &frmMain::cboView_Click);
}

void frmMain::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    bar->setSizeGripEnabled(true);
    for (int i = 1; i <= 6; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(i <= 4 ? kEmptyPanelWidth : 70);
        panel->installEventFilter(this);
        // The text panels share what the clock leaves; each keeps room for its text.
        if (i <= 4) bar->addWidget(panel, 1);
        else bar->addPermanentWidget(panel);
        panels_[i] = panel;
    }
    UpdateClockPanels();
}

void frmMain::Load() {
    LoadResStrings(this);
    RestoreWindowSettings();

    for (const ButtonDef& b : kButtons) {
        if (b.button) Button(*b.button)->setIcon(style()->standardIcon(b.picture));
    }

    // The menus start as a module link wants them; a radio changes its two items.
    if (settings().PortProtocol == LOCALPORT_FLEETSYNC) ShowProtocolMenus(LOCALPORT_FLEETSYNC);

    cboView_->clear();
    cboView_->addItems({QStringLiteral("Icon"), QStringLiteral("Small Icon"), QStringLiteral("List"),
                        QStringLiteral("Report")});
    cboView_->setCurrentIndex(0);
    cboView_Click(0);

    const QString ip = LocalIpAddress();
    auto addRow = [this](const QString& name, QStyle::StandardPixmap picture, bool hasPicture,
                         const QString& type, const QString& address) {
        QList<QStandardItem*> row;
        auto* first = new QStandardItem(name);
        if (hasPicture) first->setIcon(style()->standardIcon(picture));
        row << first << new QStandardItem(type) << new QStandardItem(address) << new QStandardItem()
            << new QStandardItem();
        stations_->appendRow(row);
    };
    stations_->removeRows(0, stations_->rowCount());
    addRow(QStringLiteral("SYSTEM"), QStyle::SP_DriveNetIcon, true, QString(), ip);
    addRow(QStringLiteral("LOCAL"), QStyle::SP_ComputerIcon, true, QStringLiteral("Serial"), ip);
    addRow(QStringLiteral("CAT"), QStyle::SP_DriveHDIcon, true, QStringLiteral("Serial"), QString());
    addRow(QStringLiteral("DOG"), QStyle::SP_CustomBase, false, QStringLiteral("Serial"), QString());

    timers_.SetEnabled(LinkTimer::BGProcess, true);
    SetLinkQueueObserver([](bool waiting) {
        if (waiting)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    clock_.start();
    tcpLoadTimer_.start();
}

void frmMain::tcpLoadTimer_Timer() {
    tcpLoadTimer_.stop();
    // The host ending the link ends the program, through the ordinary shut-down, once
    // the socket's own handler has returned.
    switchThrough().SetEndHandler([this] { QTimer::singleShot(0, this, [this] { close(); }); });
    switchThrough().Start(session().CommandLine);
}

void frmMain::KeepStatusTextsWhole() {
    // The window is never narrower than its menu bar and the texts its panels show.
    statusBar()->layout()->activate();
    const int needed = std::max(menuBar()->sizeHint().width(), statusBar()->minimumSizeHint().width());
    setMinimumWidth(needed);
    if (width() < needed) resize(needed, height());
}

void frmMain::RestoreWindowSettings() {
    QSettings s = UserRegistry();
    s.beginGroup(QStringLiteral("Settings"));
    auto value = [&s](const char* key, int fallback) {
        const QVariant v = s.value(QLatin1String(key));
        // A stored value is read as the number it begins with; nothing there gives the default.
        return v.isValid() ? LeadingInteger(v.toString(), {.anyWhiteSpace = true}).value_or(fallback) : fallback;
    };
    const int left = value("MainLeft", 1000);
    const int top = value("MainTop", 1000);
    const int width = value("MainWidth", 6500);
    const int height = value("MainHeight", 6500);
    // However small the stored size, the menu bar and the status texts stay whole.
    KeepStatusTextsWhole();
    move(TwipsToPixels(left), TwipsToPixels(top));
    resize(qMax(1, TwipsToPixels(width)), qMax(1, TwipsToPixels(height)));
}

void frmMain::SaveWindowSettings() {
    if (isMinimized()) return;
    QSettings s = UserRegistry();
    s.beginGroup(QStringLiteral("Settings"));
    s.setValue(QStringLiteral("MainLeft"), QString::number(x() * TWIPS_PER_PIXEL));
    s.setValue(QStringLiteral("MainTop"), QString::number(y() * TWIPS_PER_PIXEL));
    s.setValue(QStringLiteral("MainWidth"), QString::number(width() * TWIPS_PER_PIXEL));
    s.setValue(QStringLiteral("MainHeight"), QString::number(height() * TWIPS_PER_PIXEL));
    s.sync();
}

bool frmMain::PlayWave(const QString& fileName) {
    const QString path = session().DataFolder + fileName;
    if (!QFileInfo(path).isFile()) return false;
#ifdef KORVEL_HAVE_MULTIMEDIA
    // Without a sound device nothing would ever finish playing.
    if (QMediaDevices::defaultAudioOutput().isNull()) return false;
    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(path));
    // The sound plays to its end before the caller goes on; a machine without a sound
    // device reports an error, or never starts, and the wait gives up quietly.
    QDeadlineTimer loading(2000);
    while (effect.status() == QSoundEffect::Loading && !loading.hasExpired()) WaitForEvents(10);
    if (effect.status() != QSoundEffect::Ready) return false;
    effect.play();
    QDeadlineTimer started(500);
    while (!effect.isPlaying() && !started.hasExpired()) WaitForEvents(10);
    QDeadlineTimer playing(60000);
    while (effect.isPlaying() && !playing.hasExpired()) WaitForEvents(10);
    return effect.status() != QSoundEffect::Error;
#else
    return false;
#endif
}

int16_t frmMain::TerminateConnection() {
    timers_.SetEnabled(LinkTimer::CommIn, false);
    // A loaded configuration is offered for saving before a switch-through link ends.
    // One offer at a time: a close that comes while it is on screen (the host leaving
    // during File > Exit's offer) is answered by that offer, not by a second one.
    if (terminateOffered_) return 2;
    if (linkState().LinkMode != LINK_NORMAL && session().ConfigLoaded) {
        terminateOffered_ = true;
        const int16_t answer = ConfirmTerminateConnection();
        terminateOffered_ = false;
        if (answer == vbCancel) return 2;
    }
    if (CommPort().IsOpen()) CommPort().Close();
    linkState().LinkMode = LINK_NORMAL;
    target().PellarDevice = false;
    SetPanelText(4, QStringLiteral("DISCONNECTED"));
    SetPanelText(1, QString());
    RefreshStatusBar();
    SaveWindowSettings();
    return 0;
}

void frmMain::ReportOutcome(const QString& text, int style) {
    if (shutDown_ || text.isEmpty()) return;
    // The box needs the window it belongs to in view.
    if (isMinimized()) showNormal();
    activateWindow();
    MsgBox(text, style, QString());
}

void frmMain::FinishShutdown() {
    // Whatever holds the link (the acknowledging tick in its channel wait, a log read
    // whose window is open or closed) gives up now: every wait ends, its job unwinds and
    // the program ends, instead of waiting on a link that is about to close.
    SetProgramEnding(true);
    ForgetLinkQueue();
    SaveSettingsFile();
    SaveWindowSettings();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible()) w->close();
    }
    progress_->Unload();
    if (linkState().TraceOn) {
        CloseTrace();
        linkState().TraceOn = false;
    }
    for (LinkTimer t : {LinkTimer::CommIn, LinkTimer::InterByte, LinkTimer::Wait, LinkTimer::MsgTimer,
                        LinkTimer::BGProcess})
        timers_.SetEnabled(t, false);
    clock_.stop();
    if (CommPort().IsOpen()) CommPort().Close();
    TcpClientSocket().Close();
    switchThrough().SetEndHandler(nullptr);
    switchThrough().Close();
    shutDown_ = true;
}

void frmMain::RunCommand(const std::function<void()>& command, QAction* offeredBy) {
    // A command given while another job has the link (an acknowledgement waiting for a
    // clear channel, a poll under way) waits its turn under the busy cursor, then runs.
    // A job that has lent the link while it asks something is not finished: the command
    // waits for the whole of it. One that job has stopped offering meanwhile (a station
    // command once its link went off line) is dropped: it was given for what was then.
    const auto again = [this, command, action = QPointer<QAction>(offeredBy)] {
        if (action && !action->isEnabled()) return;
        RunCommand(command, action);
    };
    if (DeferWhileLinkTaken(this, again, LinkTurn::WholeJob)) return;
    ++commandDepth_;
    command();
    --commandDepth_;
    if (commandDepth_ == 0 && exitRequested_) {
        exitRequested_ = false;
        mnuFileExit_Click();
    }
}

void frmMain::RequestExitAfterCommand() {
    // Stopping the timers now would leave the command's wait without an end, and the
    // module's processes stopped: cancel it, let it end as a cancel ends, then exit. A
    // module in its boot loader is never left there: that job finishes first.
    if (JobOnTheWire() == WireJob::NeverLent) EndJobOnTheWire();
    else ProgressCancelClicked();
    if (exitRequested_) return;
    exitRequested_ = true;
    // A job that no command of this window runs (one a window started) ends the program
    // once the link is free; a command's own end does it otherwise.
    if (commandDepth_ == 0)
        WhenLinkFree(
            [this] {
                if (!exitRequested_ || commandDepth_ > 0) return;
                exitRequested_ = false;
                mnuFileExit_Click();
            },
            this, LinkTurn::WholeJob);
}

bool frmMain::CommandOnTheWire() const {
    // Asked of the job on the wire, however it started. One that waits for a person (its
    // link lent while a question is up), and a duty of the program's own (the tick, a
    // poll), has nothing to finish: the program ends at once, closing whatever window is
    // open, and what ran inside unwinds with the program's end. Wire work finishes or
    // stops at its next safe point.
    const WireJob job = JobOnTheWire();
    return job == WireJob::Working || job == WireJob::NeverLent;
}

void frmMain::mnuFileExit_Click() {
    if (CommandOnTheWire()) {
        RequestExitAfterCommand();
        return;
    }
    if (TerminateConnection() == 2) return;
    FinishShutdown();
    close();
    QCoreApplication::quit();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && CommandOnTheWire()) {
        event->ignore();
        RequestExitAfterCommand();
        return;
    }
    if (!shutDown_) {
        if (TerminateConnection() == 2) {
            event->ignore();
            return;
        }
        FinishShutdown();
    }
    event->accept();
    QCoreApplication::quit();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 1; i <= 6; ++i) {
            if (watched == panels_[i]) {
                TraceStatusBarClick();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Toolbar1_ButtonClick(ToolButton button) {
    switch (button) {
    case ToolButton::Open: mnuFileOpen_Click(); break;
    case ToolButton::Save: mnuFileSave_Click(); break;
    case ToolButton::Print: mnuFilePrint_Click(); break;
    case ToolButton::Config: Open(button, this); break;
    case ToolButton::OffLine:
        if (linkState().LinkMode == LINK_SWITCH_THROUGH) {
            MsgBox(QStringLiteral("Cannot switch to offline mode when connected via switch-through"), vbOKOnly,
                   QString());
            return;
        }
        EnterOffLineEditMode();
        break;
    case ToolButton::Write:
        if (CheckConfiguration() != 0) return;
        if (MsgBox(QStringLiteral("Do you want to overwrite module configuration. Continue ?"), vbYesNo,
                   QString()) == vbYes)
            ConnectAndRun(CONNECT_WRITE);
        break;
    case ToolButton::Read:
        if (session().ConfigLoaded &&
            MsgBox(QStringLiteral("Warning, downloading will overwrite any previously loaded/edited data in "
                                  "OMRU. Continue ?"),
                   vbYesNo, QString()) != vbYes)
            return;
        ConnectAndRun(CONNECT_READ);
        break;
    }
}

void frmMain::mnuFileOpen_Click() {
    if (OpenConfigurationFile() != 1) return;
    using enum MenuItem;
    for (MenuItem item : {mnuConfiguration, mnuConfigSystem, mnuConfigPorts, mnuConfigContactInputs,
                          mnuConfigAnalogInputs, mnuConfigTemp, mnuConfigOutputs, mnuSystem, mnuFileSave,
                          mnuFilePrint})
        SetMenuEnabled(item, true);
    for (ToolButton b : {ToolButton::Save, ToolButton::Print, ToolButton::Write}) SetToolbarButtonEnabled(b, true);
    SetMenuEnabled(mnuViewStatus, false);
    session().ConfigLoaded = true;
}

void frmMain::mnuFileSave_Click() { SaveConfigurationFile(); }

void frmMain::mnuFilePrint_Click() { Open(MenuItem::mnuFilePrint, this); }

void frmMain::mnuViewStatus_Click() {
    if (PrepareStatusWindow()) Open(MenuItem::mnuViewStatus, this);
}

void frmMain::mnuDateTime_Click() {
    if (RequestModuleDateTime()) Open(MenuItem::mnuDateTime, this);
}

void frmMain::mnuSystemResetNVR_Click() { ResetSystemNvr(); }

void frmMain::mnuSystemRestart_Click() { RestartSystem(); }

void frmMain::mnuSystemFlash_Click() {
    if (MsgBox(QStringLiteral("Flash loading allows the firmware to be upgraded in the Korvel/Pellar.\n\r"
                              "Are you sure you wish to proceed?"),
               vbYesNo + vbQuestion, QString()) == vbYes)
        Open(MenuItem::mnuSystemFlash, this);
}

void frmMain::mnuLogger_Click() {
    if (PrepareLoggerWindow()) Open(MenuItem::mnuLogger, this);
}

void frmMain::mnuEvent_Click(int16_t eventPort) {
    if (PrepareEventMonitor(eventPort)) OpenWindow(WindowId::frmEventMonitor, this);
}

bool frmMain::ShowConnectDialog() { return frmCancelSend::Run(this); }

int frmMain::ChooseOfflineDevice() { return frmOfflineDeviceSelection::Choose(this); }

void frmMain::ShowSystemDialog() {
    // Opened once the read's command has ended: the dialog may stay open for minutes, and
    // nothing of the command may be left waiting under it (a close of the program, a
    // command given from it).
    QMetaObject::invokeMethod(
        this, [this] { if (!shutDown_) OpenWindow(WindowId::frmSystem, this); }, Qt::QueuedConnection);
}

void frmMain::cboView_Click(int index) {
    auto* icons = qobject_cast<QListView*>(listView_->widget(0));
    switch (index) {
    case 0:
        icons->setViewMode(QListView::IconMode);
        icons->setIconSize(QSize(32, 32));
        break;
    case 1:
        icons->setViewMode(QListView::IconMode);
        icons->setIconSize(QSize(16, 16));
        break;
    case 2:
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        break;
    default: break;
    }
    listView_->setCurrentIndex(index == 3 ? 1 : 0);
}

void frmMain::UpdateClockPanels() {
    const QDateTime now = QDateTime::currentDateTime();
    panels_[5]->setText(QLocale().toString(now.date(), QLocale::ShortFormat));
    panels_[6]->setText(QLocale().toString(now.time(), QLocale::LongFormat).section(QLatin1Char(' '), 0, 0));
    for (int i : {5, 6}) panels_[i]->setMinimumWidth(panels_[i]->sizeHint().width());
}

void frmMain::SetPanelText(int panel, const QString& text) {
    if (panel < 1 || panel > 4) return;
    QLabel* label = panels_[panel];
    label->setText(text);
    label->setMinimumWidth(text.isEmpty() ? kEmptyPanelWidth : label->sizeHint().width());
    label->setToolTip(text);
    KeepStatusTextsWhole();
}

QString frmMain::PanelText(int panel) const {
    return panel >= 1 && panel <= 4 ? panels_[panel]->text() : QString();
}

void frmMain::RefreshStatusBar() { statusBar()->repaint(); }

QTimer* frmMain::Timer(LinkTimer t) { return &timers_.Timer(t); }

void frmMain::SetTimerEnabled(LinkTimer t, bool on) { timers_.SetEnabled(t, on); }

bool frmMain::TimerEnabled(LinkTimer t) const { return timers_.Enabled(t); }

void frmMain::SetMenuEnabled(MenuItem item, bool on) {
    Menu(item)->setEnabled(on && CommandAvailable(item));
    menuEnabled_[Index(item)] = on;
}

void frmMain::SetMenuVisible(MenuItem item, bool on) { Menu(item)->setVisible(on); }

bool frmMain::MenuVisible(MenuItem item) const { return Menu(item)->isVisible(); }

void frmMain::SetToolbarButtonEnabled(ToolButton button, bool on) {
    Button(button)->setEnabled(on && CommandAvailable(button));
    buttonEnabled_[Index(button)] = on;
}

QString frmMain::ActiveWindowName() const {
    const QWidget* w = QApplication::activeWindow();
    return w && !w->objectName().isEmpty() ? w->objectName() : QStringLiteral("frmMain");
}

QAction* frmMain::Menu(MenuItem item) const { return menuItems_[Index(item)]; }
QAction* frmMain::Button(ToolButton button) const { return buttons_[Index(button)]; }
QLabel* frmMain::Panel(int panel) const { return panel >= 1 && panel <= 6 ? panels_[panel] : nullptr; }

} // namespace korvel

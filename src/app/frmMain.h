// The program's one main window: menus, toolbar, station list, status bar and the
// timers that pace the link layer, which it hosts; and the orderly shut-down.
#pragma once

#include "control/connection.h"
#include "link/linkhost.h"
#include "link/linktimerset.h"

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QStackedWidget;
class QStandardItemModel;
class QToolBar;

namespace korvel {

class ProgressWindowView;

class frmMain : public QMainWindow, public LinkHost, public ConnectionUi {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The load handler: window position, toolbar pictures, protocol-dependent menu
    // items, the view selector and the station list; then the timers start.
    void Load();

    // LinkHost
    void SetPanelText(int panel, const QString& text) override;
    QString PanelText(int panel) const override;
    void RefreshStatusBar() override;
    void SetTimerEnabled(LinkTimer t, bool on) override;
    bool TimerEnabled(LinkTimer t) const override;
    void SetTimerInterval(LinkTimer t, int ms) override { timers_.Timer(t).setInterval(ms); }
    int TimerInterval(LinkTimer t) const override { return timers_.Interval(t); }
    void SetMenuEnabled(MenuItem item, bool on) override;
    void SetMenuVisible(MenuItem item, bool on) override;
    void SetToolbarButtonEnabled(ToolButton button, bool on) override;
    QString ActiveWindowName() const override;

    // ConnectionUi
    bool ShowConnectDialog() override;
    int ChooseOfflineDevice() override;
    void ShowSystemDialog() override;
    // The offered load is a command of its own, as from the menu: Exit meanwhile waits
    // for it to finish or stop at its safe point.
    void RunFlashLoad() override {
        RunCommand([this] { mnuSystemFlash_Click(); });
    }

    // Stores the window's position and size unless it is minimized.
    void SaveWindowSettings();
    // Plays DataFolder immediately followed by fileName to its end; false when it could
    // not be played (no such file, no sound device).
    bool PlayWave(const QString& fileName);
    // Ends the connection: 2 when the user cancelled the save offer, else 0.
    int16_t TerminateConnection();
    // Tells the user how an operation ended whose own window was closed while it ran (a
    // log read): in a box over this window, unless the program is ending.
    void ReportOutcome(const QString& text, int style);

    // Whether the window or command behind a menu item or toolbar button exists yet;
    // the control stays disabled while it does not.
    static bool CommandAvailable(MenuItem item);
    static bool CommandAvailable(ToolButton button);

    // The controls, for the procedures that change them and for tests.
    QAction* Menu(MenuItem item) const;
    // An item's own enabled state, which a hidden item keeps for when it is shown.
    bool MenuEnabled(MenuItem item) const override { return menuEnabled_[Index(item)]; }
    bool MenuVisible(MenuItem item) const override;
    bool ToolbarButtonEnabled(ToolButton button) const override { return buttonEnabled_[Index(button)]; }
    QAction* Button(ToolButton button) const;
    QToolBar* Toolbar1() const { return toolbar_; }
    QLabel* Panel(int panel) const;  // 1 to 4 text panels, 5 date, 6 time
    QTimer* Timer(LinkTimer t);
    QComboBox* cboView() const { return cboView_; }
    QTimer* tcpLoadTimer() { return &tcpLoadTimer_; }
    QStackedWidget* ListView1() const { return listView_; }
    QStandardItemModel* Stations() const { return stations_; }

public slots:
    // The menu commands.
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuFilePrint_Click();
    void mnuFileExit_Click();
    void mnuViewStatus_Click();
    void mnuDateTime_Click();
    void mnuSystemResetNVR_Click();
    void mnuSystemRestart_Click();
    // The flash load confirmation, then the firmware loader.
    void mnuSystemFlash_Click();
    void mnuLogger_Click();
    void mnuEvent_Click(int16_t eventPort);
    void Toolbar1_ButtonClick(ToolButton button);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void ConnectMenuCommands();
    void BuildToolbar();
    void BuildStatusBar();
    void BuildStationList();
    void RestoreWindowSettings();
    void KeepStatusTextsWhole();
    void cboView_Click(int index);
    void UpdateClockPanels();
    // Once after loading: a switch-through host's command line opens its link.
    void tcpLoadTimer_Timer();
    // What both ways out share once the connection has ended.
    void FinishShutdown();
    // Runs a menu or toolbar command (offeredBy: its item or button); an exit asked for
    // meanwhile follows once it ends.
    void RunCommand(const std::function<void()>& command, QAction* offeredBy = nullptr);
    bool CommandOnTheWire() const;
    void RequestExitAfterCommand();

    std::array<QAction*, kMenuItemCount> menuItems_{};
    std::array<bool, kMenuItemCount> menuEnabled_{};
    std::array<bool, kToolButtonCount> buttonEnabled_{};
    std::array<QAction*, kToolButtonCount> buttons_{};
    QToolBar* toolbar_ = nullptr;
    QLabel* panels_[7] = {};
    QComboBox* cboView_ = nullptr;
    QStackedWidget* listView_ = nullptr;
    QStandardItemModel* stations_ = nullptr;
    LinkTimerSet timers_;
    QTimer clock_;
    QTimer tcpLoadTimer_;
    std::unique_ptr<ProgressWindowView> progress_;
    bool shutDown_ = false;
    // Commands under way (a command's wait can run another), and an exit asked for
    // during one.
    int commandDepth_ = 0;
    bool exitRequested_ = false;
    // The offer to save before the link ends is on screen.
    bool terminateOffered_ = false;
};

// The one main window while it exists, else nullptr.
frmMain* MainForm();

// Settings keys of the window position (values in twips, as decimal text).
inline constexpr int TWIPS_PER_PIXEL = 15;

} // namespace korvel

// What the link layer needs of the window that hosts it: the status-bar panels, the
// link timers and the progress caption; and the menu and toolbar items, which the
// program above the link enables and shows through the same window (which commands
// are offered is its decision, never the link's).
// The main window implements it; BasicLinkHost stands in for it without widgets.
#pragma once

#include "link/menuitems.h"

#include <QString>

namespace korvel {

// The wait timer's normal period, to which anything that changes it sets it back.
inline constexpr int WAIT_TIMER_MS = 1500;

enum class LinkTimer {
    CommIn,     // 100 ms reply time-out countdown
    InterByte,  // 100 ms drop of a half-received frame
    Wait,       // WAIT_TIMER_MS transmit-stall guard; the flash loader also paces its waits by it
    MsgTimer,   // 700 ms "Please wait ..." blink
    BGProcess,  // 50 ms: sends the acknowledgements owed for received events
};

class LinkHost {
public:
    virtual ~LinkHost() = default;
    // Status-bar text panels are numbered 1 to 4.
    virtual void SetPanelText(int panel, const QString& text) = 0;
    virtual QString PanelText(int panel) const = 0;
    virtual void RefreshStatusBar() {}
    virtual void SetTimerEnabled(LinkTimer t, bool on) = 0;
    virtual bool TimerEnabled(LinkTimer t) const = 0;
    virtual void SetTimerInterval(LinkTimer t, int ms) = 0;
    virtual int TimerInterval(LinkTimer t) const = 0;
    virtual void SetMenuEnabled(MenuItem item, bool on) = 0;
    virtual void SetMenuVisible(MenuItem item, bool on) = 0;
    virtual void SetToolbarButtonEnabled(ToolButton button, bool on) = 0;
    // The states last set, whether or not the control can be used yet.
    virtual bool MenuEnabled(MenuItem item) const = 0;
    virtual bool MenuVisible(MenuItem item) const = 0;
    virtual bool ToolbarButtonEnabled(ToolButton button) const = 0;
    // Form name of the window that is active (named in error reports).
    virtual QString ActiveWindowName() const { return QStringLiteral("frmMain"); }
};

LinkHost& linkHost();
// Installs h (not owned); nullptr restores a BasicLinkHost.
void SetLinkHost(LinkHost* h);

// The tick handlers of the link timers; whichever host owns the timers calls them.
void CommInTick();
void InterByteTick();
void WaitTick();
void MsgTimerTick();
void BGProcessTick();

} // namespace korvel

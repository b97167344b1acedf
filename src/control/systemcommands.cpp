#include "control/systemcommands.h"
#include "link/linkhold.h"

#include "control/connectchoice.h"
#include "control/connection.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/session.h"
#include "model/target.h"
#include "link/builders.h"
#include "control/channelclear.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "control/eventdisplay.h"
#include "model/eventlist.h"
#include "platform/prompts.h"

namespace korvel {

namespace {

// The NVR reset on the wire: true when the module took it.
bool ResetNvrOnTheWire(bool remote) {
    const LinkHold hold;
    // The module answers only once its memory is rewritten.
    hold.SetReplyTimeout(kNvrResetTimeout);
    LinkState& s = linkState();
    LinkHost& host = linkHost();

    ProgressView& progress = progressView();
    progress.Show();
    if (remote) {
        // The local module relays the station's traffic; its own processes must not
        // compete with the reset.
        progress.SetLabelText(ProgressLabel::Label1, QStringLiteral("Stopping processes..."));
        if (SendCommand(hold, CMD_STOP_PROCESSES, 0, 0, 0) != SEND_OK) {
            progress.Unload();
            return false;
        }
    }
    progress.SetCaption(remote ? QStringLiteral("Initializing NON System Korvel Non Volatile Memory")
                               : QStringLiteral("Initializing all Korvel Non Volatile Memory"));
    host.SetPanelText(2, QString());
    progress.SetMaximum(100);
    int16_t percent = 0;
    ShowProgressPercent(percent);

    s.ProgressActive = 1;
    host.SetTimerEnabled(LinkTimer::MsgTimer, true);
    const int16_t result = SendToStation(hold, remote ? CMD_RESET_NVR_IO : CMD_RESET_NVR_ALL);
    progress.Unload();
    s.ProgressActive = 0;
    host.SetTimerEnabled(LinkTimer::MsgTimer, false);
    if (result != SEND_OK) return false;

    const int16_t timeout = settings().PacketTimeout;
    SetConnectionReplyTimeout(remote ? timeout * 3 : timeout);
    return true;
}

} // namespace

void ResetSystemNvr() {
    LinkState& s = linkState();
    // A remote station is wiped only as far as its input/output configuration: losing its
    // system values would cut it off from the network.
    const bool remote = s.StationAddress[0] != 0;
    const QString question =
        remote ? QStringLiteral("OMRU has detected that you are connected to a remote station via the network.") +
                     kLineBreak +
                     QStringLiteral("Resetting the 'System' NVR will imobilize the module and therefore is prevented.") +
                     kLineBreak + QStringLiteral("Do you wish to reset the input/output configuration only?")
               : QStringLiteral("This action will erase your current Korvel/Pellar configuration settings.") +
                     kLineBreak + QStringLiteral("Are you sure you want to proceed?");
    if (MsgBox(question, vbYesNo + vbQuestion, QStringLiteral("Confirm Reset NVR")) != vbYes) return;

    if (OpenLinkPort() != 0) return;
    if (!ResetNvrOnTheWire(remote)) {
        // A module that did not answer may still be rewriting its memory: until the next
        // connect sets its own, every request gives it as long.
        SetConnectionReplyTimeout(kNvrResetTimeout);
        return;
    }
    // What the module holds now is its factory content: show that, not the old model.
    // A failed read has already told the user.
    DownloadConfiguration();
    // Said once the link is free again: the technician may take a while to read it.
    MsgBox(QStringLiteral("Data Reset - Click OK to Continue"), vbOKOnly + vbInformation, QStringLiteral("NVR Reset"));
}

void RestartSystem() {
    if (OpenLinkPort() != 0) return;
    if (MsgBox(QStringLiteral("Ok to reset system?"), vbYesNo + vbQuestion, QStringLiteral("Confirm Reset System")) !=
        vbYes)
        return;
    const LinkHold hold;
    // The module restarts at once; whether its acknowledgement arrived changes nothing.
    SendToStation(hold, CMD_RESET_SYSTEM);
}

bool RequestModuleDateTime() {
    const LinkHold hold;
    if (RequestFromStation(hold, CMD_DATE_TIME) != SEND_OK) return false;
    // A clock that was never set reports zeros, which no date control can show.
    ModuleClockValue& c = target().ModuleClock;
    if (c.day == 0 || c.month == 0 || c.year == 0) {
        c.day = 1;
        c.month = 1;
        c.year = 2000;
    }
    return true;
}

bool PrepareLoggerWindow() {
    const LinkHold hold;
    // Off-line the window shows what was last read or loaded.
    if (session().Online != 1) return true;
    if (OpenLinkPort() != 0) return false;
    if (WaitChannelClear(hold) != 0) return false;
    // Asked as a request, the stop command only reports whether the logger runs.
    return RequestFromStation(hold, CMD_LOGGER_STOP) == SEND_OK;
}

bool PrepareEventMonitor(int16_t eventPort) {
    eventMonitor().EventPort = eventPort;
    // Only serial port 1 and the local radio are watched through the PC's own port; the
    // monitors of the other ports open whether or not that port is usable.
    if (eventPort == EVENT_PORT_SERIAL1 || eventPort == EVENT_PORT_LOCAL_RADIO) return OpenLinkPort() == 0;
    return true;
}

bool PrepareStatusWindow() { return OpenLinkPort() == 0; }

} // namespace korvel

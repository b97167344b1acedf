// The tick handlers of the link timers, the choice of host and the saving of its
// command states.
#include "link/basiclinkhost.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/channelclear.h"
#include "link/rxdispatch.h"
#include "session/localsettings.h"
#include "session/progress.h"

#include <cmath>

namespace korvel {

namespace {
LinkHost* installedHost = nullptr;
// Set while a BGProcess tick sends the owed acknowledgements.
bool bgProcessRunning = false;
BasicLinkHost& fallbackHost() {
    static BasicLinkHost* h = new BasicLinkHost();  // lives for the whole process
    return *h;
}
} // namespace

LinkHost& linkHost() { return installedHost ? *installedHost : fallbackHost(); }

CommandStates SaveCommandStates(const LinkHost& host) {
    CommandStates states;
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        states.enabled[i] = host.MenuEnabled(MenuItem(i));
        states.visible[i] = host.MenuVisible(MenuItem(i));
    }
    for (std::size_t i = 0; i < kToolButtonCount; ++i) states.buttons[i] = host.ToolbarButtonEnabled(ToolButton(i));
    return states;
}

void RestoreCommandStates(LinkHost& host, const CommandStates& states) {
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        host.SetMenuEnabled(MenuItem(i), states.enabled[i]);
        host.SetMenuVisible(MenuItem(i), states.visible[i]);
    }
    for (std::size_t i = 0; i < kToolButtonCount; ++i) host.SetToolbarButtonEnabled(ToolButton(i), states.buttons[i]);
}
void SetFlashCommandsEnabled(LinkHost& host, bool on) {
    host.SetMenuEnabled(MenuItem::mnuSystemFlash, on);
    host.SetMenuEnabled(MenuItem::mnuViewManuf, on);
}

void SetLinkHost(LinkHost* h) { installedHost = h; }

void CommInTick() {
    auto& s = linkState();
    if (s.PacketTimeoutCount == 0) return;
    --s.PacketTimeoutCount;
    linkHost().SetPanelText(4, QString::number(s.PacketTimeoutCount * 100) + QStringLiteral("mS"));
    if (s.ProgressActive == 1) {
        // The bar climbs half a percent per tick while a reply is awaited.
        auto value = static_cast<int16_t>(std::nearbyint(100.0 - s.PacketTimeoutCount / 2.0));
        ShowProgressPercent(value);
    }
    if (s.PacketTimeoutCount == 0) {
        s.RetryRequest = 1;
        s.PacketTimeoutCount = s.PacketTimeoutReload;
    }
}

void InterByteTick() {
    auto& s = linkState();
    linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
    --s.InterByteCount;
    if (s.InterByteCount != 0) {
        linkHost().SetTimerEnabled(LinkTimer::InterByte, true);
        return;
    }
    s.RxState = RX_HUNT;
    s.InterByteCount = settings().InterByteTimeout;
    // A resynchronisation also forgets a half-seen doubled 255 of the TCP stream.
    s.TcpPending255 = false;
}

void WaitTick() {
    linkHost().SetTimerEnabled(LinkTimer::Wait, false);
    linkState().WaitElapsed = 1;
}

void MsgTimerTick() {
    const auto& s = linkState();
    if (s.ProgressActive != 1) {
        linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
        linkHost().SetPanelText(4, QString());
        return;
    }
    ProgressView& view = progressView();
    if (!view.LabelText(ProgressLabel::Label1).isEmpty()) {
        view.SetLabelText(ProgressLabel::Label1, QString());
    } else {
        view.SetLabelText(ProgressLabel::Label1, s.ChannelClearWait
                                                     ? QStringLiteral("Waiting for communication clear ...")
                                                     : QStringLiteral("Please wait ..."));
    }
}

void ResetLinkTimerState() { bgProcessRunning = false; }

void BGProcessTick() {
    bool& running = bgProcessRunning;
    auto& s = linkState();
    auto& ack = eventAck();
    linkHost().SetTimerEnabled(LinkTimer::BGProcess, false);
    // A tick that fires while an earlier one waits for the channel leaves the queue to
    // that one, which keeps sending until nothing is owed.
    if (running) return;
    running = true;
    while (!ack.OwedAcks.isEmpty()) {
        // An acknowledgement cannot go out inside another transaction, nor while a TCP
        // connection is still being opened: try again later.
        if (s.TxState != TX_IDLE || s.TcpConnecting) break;
        const int16_t source = ack.OwedAcks.takeFirst();
        const int16_t saved = s.StationAddress[0];
        s.StationAddress[0] = source;
        // A wait the user abandons drops this acknowledgement; the module repeats its
        // event and a new one is owed then.
        const bool clear = WaitChannelClear() == 0;
        s.RxState = RX_HUNT;
        if (clear) SendAck(source);
        s.StationAddress[0] = saved;
    }
    ack.AckPending = !ack.OwedAcks.isEmpty();
    running = false;
    if (ack.AckPending) linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
}

} // namespace korvel

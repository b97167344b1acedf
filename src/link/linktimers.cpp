// The tick handlers of the link timers, the choice of host and the saving of its
// command states.
#include "link/basiclinkhost.h"
#include "link/linkclient.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"

#include <cmath>

namespace korvel {

namespace {
LinkHost* installedHost = nullptr;
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
        linkClient().ReplyProgress(value);
    }
    if (s.PacketTimeoutCount == 0) {
        ResendOpenTransaction();
        s.PacketTimeoutCount = ReplyTicksNow();
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
    s.InterByteCount = static_cast<int16_t>(linkClient().Settings().InterByteTimeout);
    // A resynchronisation also forgets a half-seen doubled 255 of the TCP stream.
    s.TcpPending255 = false;
}

void WaitTick() {
    linkHost().SetTimerEnabled(LinkTimer::Wait, false);
    linkState().WaitElapsed = 1;
}

void MsgTimerTick() { linkClient().MessageTick(); }

void BGProcessTick() { linkClient().BackgroundTick(); }

} // namespace korvel

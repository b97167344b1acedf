// The tick handlers of the link timers and the choice of host.
#include "link/basiclinkhost.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "app/localsettings.h"

namespace korvel {

namespace {
LinkHost* installedHost = nullptr;
BasicLinkHost& fallbackHost() {
    static BasicLinkHost* h = new BasicLinkHost();  // lives for the whole process
    return *h;
}
} // namespace

LinkHost& linkHost() { return installedHost ? *installedHost : fallbackHost(); }
void SetLinkHost(LinkHost* h) { installedHost = h; }

void CommInTick() {
    auto& s = linkState();
    if (s.PacketTimeoutCount == 0) return;
    --s.PacketTimeoutCount;
    linkHost().SetPanelText(4, QString::number(s.PacketTimeoutCount * 100) + QStringLiteral("mS"));
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
    linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
    linkHost().SetPanelText(4, QString());
}

} // namespace korvel

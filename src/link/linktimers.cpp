// The tick handlers of the link timers, and the choice of host.
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

#include "link/basiclinkhost.h"

namespace korvel {

BasicLinkHost::BasicLinkHost(QObject* parent) : QObject(parent) {
    // Items never set report true (enabled and shown as designed).
    menus_.fill(true);
    menusVisible_.fill(true);
    buttons_.fill(true);
}

void BasicLinkHost::SetPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= 4) panels_[panel] = text;
}

QString BasicLinkHost::PanelText(int panel) const {
    return (panel >= 1 && panel <= 4) ? panels_[panel] : QString();
}

void BasicLinkHost::SetTimerEnabled(LinkTimer t, bool on) { timers_.SetEnabled(t, on); }

bool BasicLinkHost::TimerEnabled(LinkTimer t) const { return timers_.Enabled(t); }

} // namespace korvel

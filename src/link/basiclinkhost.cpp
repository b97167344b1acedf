#include "link/basiclinkhost.h"

namespace korvel {

BasicLinkHost::BasicLinkHost(QObject* parent) : QObject(parent) {
    commIn_.setInterval(100);
    interByte_.setInterval(100);
    wait_.setInterval(1500);
    msg_.setInterval(700);
    bgProcess_.setInterval(50);
    connect(&commIn_, &QTimer::timeout, this, [] { CommInTick(); });
    connect(&interByte_, &QTimer::timeout, this, [] { InterByteTick(); });
    connect(&wait_, &QTimer::timeout, this, [] { WaitTick(); });
    connect(&msg_, &QTimer::timeout, this, [] { MsgTimerTick(); });
    connect(&bgProcess_, &QTimer::timeout, this, [] { BGProcessTick(); });
}

void BasicLinkHost::SetPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= 4) panels_[panel] = text;
}

QString BasicLinkHost::PanelText(int panel) const {
    return (panel >= 1 && panel <= 4) ? panels_[panel] : QString();
}

QTimer& BasicLinkHost::Timer(LinkTimer t) {
    switch (t) {
    case LinkTimer::CommIn: return commIn_;
    case LinkTimer::InterByte: return interByte_;
    case LinkTimer::Wait: return wait_;
    case LinkTimer::BGProcess: return bgProcess_;
    case LinkTimer::MsgTimer: break;
    }
    return msg_;
}

void BasicLinkHost::SetTimerEnabled(LinkTimer t, bool on) {
    QTimer& timer = Timer(t);
    // Enabling a running timer leaves its phase alone, as a timer control does.
    if (on && !timer.isActive()) timer.start();
    if (!on) timer.stop();
}

bool BasicLinkHost::TimerEnabled(LinkTimer t) const {
    return const_cast<BasicLinkHost*>(this)->Timer(t).isActive();
}

} // namespace korvel

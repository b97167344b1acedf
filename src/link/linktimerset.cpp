#include "link/linktimerset.h"

namespace korvel {

LinkTimerSet::LinkTimerSet(QObject* parent) : QObject(parent) {
    struct Def {
        QTimer* timer;
        const char* name;
        int ms;
        void (*tick)();
    };
    const Def defs[] = {
        {&commIn_, "tmrCommIn", 100, CommInTick},    {&interByte_, "tmrInterByte", 100, InterByteTick},
        {&wait_, "tmrWait", WAIT_TIMER_MS, WaitTick},         {&msg_, "tmrMsgTimer", 700, MsgTimerTick},
        {&bgProcess_, "tmrBGProcess", 50, BGProcessTick},
    };
    for (const Def& d : defs) {
        d.timer->setObjectName(QLatin1String(d.name));
        d.timer->setInterval(d.ms);
        connect(d.timer, &QTimer::timeout, this, d.tick);
    }
}

QTimer& LinkTimerSet::Timer(LinkTimer t) {
    switch (t) {
    case LinkTimer::CommIn: return commIn_;
    case LinkTimer::InterByte: return interByte_;
    case LinkTimer::Wait: return wait_;
    case LinkTimer::BGProcess: return bgProcess_;
    case LinkTimer::MsgTimer: break;
    }
    return msg_;
}

void LinkTimerSet::SetEnabled(LinkTimer t, bool on) {
    QTimer& timer = Timer(t);
    if (on && !timer.isActive()) timer.start();
    if (!on) timer.stop();
}

bool LinkTimerSet::Enabled(LinkTimer t) const { return const_cast<LinkTimerSet*>(this)->Timer(t).isActive(); }

int LinkTimerSet::Interval(LinkTimer t) const { return const_cast<LinkTimerSet*>(this)->Timer(t).interval(); }

} // namespace korvel

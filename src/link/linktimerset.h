// The five timers that pace the link layer, with their intervals and ticks, for
// whichever window hosts the link.
#pragma once

#include "link/linkhost.h"

#include <QObject>
#include <QTimer>

namespace korvel {

class LinkTimerSet : public QObject {
    Q_OBJECT
public:
    explicit LinkTimerSet(QObject* parent = nullptr);
    QTimer& Timer(LinkTimer t);
    // Enabling a running timer leaves its phase alone, as a timer control does.
    void SetEnabled(LinkTimer t, bool on);
    bool Enabled(LinkTimer t) const;
    int Interval(LinkTimer t) const;

private:
    QTimer commIn_, interByte_, wait_, msg_, bgProcess_;
};

} // namespace korvel

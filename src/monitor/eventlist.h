// The event monitor's data side that the link layer touches: its list of event lines
// and whether the window is open (an open monitor keeps the serial port in use).
#pragma once

#include <QStringList>
#include <functional>

namespace korvel {

struct EventMonitorState {
    bool EventMonitorOpen = false;
    bool EventShowAll = false;
    bool EventLogOn = false;
    QStringList lstEvents;
};

EventMonitorState& eventMonitor();
void ResetEventMonitorState();

// Appends one line to the event list; the window, when it exists, shows it.
void AddEventLine(const QString& line);
// The window's hook for lines added while it is open (nullptr to remove).
void SetEventLineListener(std::function<void(const QString&)> listener);

} // namespace korvel

#include "monitor/eventlist.h"

namespace korvel {

static EventMonitorState g_monitor;
static std::function<void(const QString&)> g_listener;

EventMonitorState& eventMonitor() { return g_monitor; }
void ResetEventMonitorState() { g_monitor = EventMonitorState{}; }

void AddEventLine(const QString& line) {
    g_monitor.lstEvents.append(line);
    if (g_listener) g_listener(line);
}

void SetEventLineListener(std::function<void(const QString&)> listener) {
    g_listener = std::move(listener);
}

} // namespace korvel

// The event monitor's data side: its list of event lines, whether the window is open
// (an open monitor keeps the serial port in use), its title and the event log file that
// the monitor's lines and the link traffic go to. A log file that fails is reported by
// its text; telling the user is the control layer's.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace korvel {

struct EventMonitorState {
    // The port the monitor is opened for (EVENT_PORT_SERIAL1 .. EVENT_PORT_LOCAL_RADIO).
    int16_t EventPort = 0;
    bool EventMonitorOpen = false;
    bool EventShowAll = false;
    bool EventLogOn = false;
    QStringList lstEvents;
    // The window's title, chosen by the port it was opened for.
    QString Caption = QStringLiteral("Event Monitor");
    // The show-all switch is offered for the local FleetSync radio only.
    bool ShowAllOffered = false;
    // Where event log files are created; empty means the data folder handed to
    // StartEventLog (the current directory when that is empty too).
    QString LogFolder;
    // Full name of the log file being written, or of the last one written.
    QString LogFileName;
};

EventMonitorState& eventMonitor();
// Back to program start; an open event log file is closed without its closing line and
// the line listener is dropped.
void ResetEventMonitorState();

// Appends one line to the event list; the window, when it exists, shows it.
void AddEventLine(const QString& line);
// The window's hook for lines added while it is open (nullptr to remove).
void SetEventLineListener(std::function<void(const QString&)> listener);

// The time stamp that begins the event log's lines: short date, blank, time.
QString EventLogStamp(const QDateTime& when);

// Creates the log file named by the start time in the log folder (LogFolder, else
// dataFolder, the program's data folder, else the current directory) and writes its
// opening line; sets EventLogOn. Does nothing while a log is already being written.
// Empty when logging is on; else what went wrong, for the user, and logging stays off.
QString OpenEventLog(const QString& dataFolder, const QDateTime& now);
// Writes the closing line, closes the file and clears EventLogOn (nothing when off).
// Empty, or what went wrong (the log is closed and off all the same).
QString CloseEventLog(const QDateTime& now);
// Writes one line to the event log while EventLogOn is set. Empty, or what went wrong:
// a failed write closes the log and turns it off.
QString WriteEventLog(const QString& line);

} // namespace korvel

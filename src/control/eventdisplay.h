// The event monitor's operations without its window: turning event frames into lines,
// opening and closing the monitor for a port, and the port protocol switch.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>

namespace korvel {

// Event classes (frame byte 6 of an event frame).
enum EventClass : int {
    EVENT_CLASS_CONTACT = 1,  // one byte per contact input change
    EVENT_CLASS_ANALOG = 4,   // three bytes per analog set-point crossing
};

// The port the event monitor is opened for.
enum EventPortValue : int16_t {
    EVENT_PORT_SERIAL1 = 0,
    EVENT_PORT_SERIAL2 = 1,
    EVENT_PORT_FFSK = 2,
    EVENT_PORT_LOCAL_RADIO = 3,
};

// Adds one event line per record of the event frame, stamped with the current time,
// and writes it to the event log while logging is on. Lines are collected also while
// the monitor is closed and are shown when it opens. A frame that is not an event
// frame, or of another class, adds nothing; a trailing incomplete record is not shown.
void DisplayEventPacket(const QByteArray& RxBuffer);
void DisplayEventPacketAt(const QByteArray& RxBuffer, const QTime& now);

// Sets EventMonitorOpen and the title for the port; for serial port 2 running the
// FleetSync protocol it switches the local module's port to it first.
void OpenEventMonitor(int16_t eventPort);
// Exit: the log is closed with its closing line, the collected lines are dropped and
// the monitor is closed, always. With reopenPort it first makes sure the link's port is
// usable again for the main window (the monitor may have been watching another port);
// a port that cannot be opened is reported, and the monitor closes all the same.
void CloseEventMonitor(bool reopenPort = true);

// PKT_SET frame of Length 10 with three data bytes to the given station; waits for the
// acknowledgement and returns the send result.
int16_t SendSetProtocol(uint8_t code, uint8_t station1, uint8_t station2, uint8_t station3,
                        uint8_t data1, uint8_t data2, uint8_t data3);

// The event log file, with its failures told to the user (logging is off after one).
// StartEventLog: false when the file could not be created or written; nothing while a
// log is already being written. The log is made in the model's LogFolder, else
// dataFolder, else the current directory.
bool StartEventLog(const QString& dataFolder, const QDateTime& now = QDateTime::currentDateTime());
void StopEventLog(const QDateTime& now = QDateTime::currentDateTime());
// One line, while logging is on (the monitor's lines and the link traffic).
void PrintEventLog(const QString& line);

} // namespace korvel

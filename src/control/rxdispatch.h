// What a received frame does: the destination filter, the effect of each packet type
// on the open transaction, where each reply's data is stored, and the acknowledgement
// owed for a module's event.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

namespace korvel {

class LinkHold;

struct EventAckState {
    bool AckPending = false;
    // The source of every accepted event whose acknowledgement is still owed, oldest
    // first: several events can arrive before the acknowledging tick runs.
    QList<int16_t> OwedAcks;
};
EventAckState& eventAck();
// Back to program start: nothing owed, no observer.
void ResetEventAckState();

// Sees every frame handed to the dispatcher, before it acts on it (the event monitor's
// unfiltered view, and tests).
void SetRxPacketObserver(std::function<void(const uint8_t* frame, int length)> observer);

// Dispatches one complete, checksum-good frame.
void ProcessRxPacket(const QByteArray& RxBuffer);
// Stores the reply by its command code and ends the request it answers: as answered, or
// as failed when the reply could not be stored.
void ProcessStatusPacket(const QByteArray& RxBuffer, int16_t command);
// Sends the acknowledgement of an event to destination; a SEND_ result.
int16_t SendAck(const LinkHold& hold, int16_t destination);

// The dispatchers' report of a failure while handling a frame.
constexpr int ERR_OVERFLOW = 6;
constexpr int ERR_SUBSCRIPT = 9;
// Names the packet type of the frame being handled.
void ReportUnexpectedError(int number, const QString& description, const QString& procedure, int packetType);

// Marks the channel groups that exist from the station's shape.
void UpdateAnalogPresence();
void UpdateContactPresence();

} // namespace korvel

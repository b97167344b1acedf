// One link transaction at a time: a frame sent, waited for with the reply time-out,
// resent and put to the user as needed, and how it ended. Each transaction owns its
// frame, what answers it, its retries and its deadline; a late or repeated reply answers
// nothing now open.
#pragma once

#include "link/frame.h"
#include "link/linkhold.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace korvel {

class Transaction {
public:
    // request: the module frame as built, checksum included; mode: TX_WAIT_ACK,
    // TX_WAIT_REPLY or TX_SEND_ONLY. What goes on the line is the request itself, or its
    // radio text frame when the link runs through a FleetSync radio.
    Transaction(QByteArray request, int16_t mode);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Becomes the open transaction, the one received frames may answer; Close leaves
    // none open (while its job is asked whether to go on, it is parked closed).
    void Open();
    void Close();

    const QByteArray& Request() const { return request_; }
    const QByteArray& Wire() const { return wire_; }
    int16_t Mode() const { return mode_; }

    // Whether frame (an ACK or a REPLY) answers this transaction, as far as the frame
    // says: the same command, from the station asked, and for a reply that names one,
    // the same block or group.
    bool Answers(const RxFrame& frame) const;

    // TX_ state: the mode while it waits, then how it ended (10 and above).
    int16_t State = 0;
    // A reason to send the frame again has come (a time-out, an event in place of the
    // answer, the module's resend request).
    bool RetryRequest = false;
    // The try under way: 1 for the first send.
    int16_t RetryNumber = 1;
    // The last byte of Wire() handed to the port or socket.
    int TxIndex = 0;
    // The window it was sent for has closed: it ends as cancelled, and nothing else does.
    bool Abandoned = false;
    // Each try's reply time-out in 100 ms ticks when its job set one of its own (taken
    // when it is sent); 0 for the connection's.
    int16_t ReplyTicks = 0;

private:
    QByteArray request_;
    QByteArray wire_;
    int16_t mode_;
    bool open_ = false;
};

// The open transaction; null while none is.
Transaction* OpenTransactionNow();
// Its state, TX_IDLE while none is open.
int16_t OpenTxState();
// The reply time-out (100 ms ticks) the reply countdown starts from now: the open
// transaction's, else the connection's.
int16_t ReplyTicksNow();
// The connection's reply time-out, set when a station is chosen: what every request
// waits for its answer unless its job says otherwise (LinkHold::SetReplyTimeout).
void SetConnectionReplyTimeout(int ticks);

// Which open transactions TransactionOpen counts: every one, or only those that wait for
// an answer (a send-only frame waits for none).
enum class OpenTransaction { Any, AwaitingAnswer };
// True while a transaction is open: its frame has gone out (or is going out) and it has
// not yet ended.
bool TransactionOpen(OpenTransaction which = OpenTransaction::Any);

// What a received frame does to the open transaction, for the dispatcher: ends it (how:
// TX_DONE, TX_REPLY_RECEIVED or TX_REFUSED), or asks for its frame again. Nothing
// happens while none is open.
void EndOpenTransaction(int16_t how);
void ResendOpenTransaction();

// Waits ms milliseconds in the event loop, as the link's other waits do: false when
// hold's job was cancelled (or the program is ending) before the time was up.
bool CancellableWait(const LinkHold& hold, int ms);

// A send by code that does not hold the link is refused (SEND_REFUSED) and, in a debug
// build, stops the program at once; tests of the refusal turn the stop off.
void SetUnheldSendStops(bool stops);

// Sends frame (a complete module frame with its checksum) for the job that holds hold,
// and waits until its transaction has ended; returns how it ended (SendResult).
// mode: TX_WAIT_ACK, TX_WAIT_REPLY or TX_SEND_ONLY. A frame sent again and again without
// an answer is put to the job (the program's link client) when it may ask a person
// (hold.MayAsk()); a borrower, a background duty while another question is up, and a
// job that has given up already end with SEND_NO_ANSWER quietly and leave the link as
// they found it. A send with a hold that may not send now is refused.
int16_t SendPacket(const LinkHold& hold, const QByteArray& frame, int16_t mode);
// For a window that closes while its own request may be on the line: cancels the open
// transaction, if any, and only that one; the job it belongs to and the next request
// are untouched. Nothing happens while the link is idle.
void AbandonTransaction();
// Says in the connection panel that the link went off line (message), forgets what was
// known of the station and stops the reply countdown; closing what the link ran over is
// the program's to decide.
void ReportLinkOffLine(const QString& message);
// True while the port or socket the link runs over is there to carry a frame.
bool LinkUsable();

} // namespace korvel

// One link transaction at a time: send the frame in TxBuffer, wait for its answer with
// the reply time-out, resends and the user's say, and report how it ended.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

// Which open transactions TransactionOpen counts: every one, or only those that wait for
// an answer (a send-only frame waits for none).
enum class OpenTransaction { Any, AwaitingAnswer };
// True while a transaction is open: its frame has gone out (or is going out) and it has
// not yet ended.
bool TransactionOpen(OpenTransaction which = OpenTransaction::Any);

// Waits ms milliseconds in the event loop, as the link's other waits do: false when the
// user cancelled (or the program is ending) before the time was up.
bool PauseLink(int ms);

// A send by code that does not hold the link is refused (SEND_FAILED) and, in a debug
// build, stops the program at once; tests of the refusal turn the stop off.
void SetUnheldSendStops(bool stops);

// mode: TX_WAIT_ACK, TX_WAIT_REPLY or TX_SEND_ONLY. Returns SEND_OK, SEND_FAILED or
// SEND_CANCELLED once the transaction has ended.
int16_t SendPacket(int16_t mode);
// For a window that closes while its own request may be on the line: cancels the open
// transaction, if any, and only that one. The cancel request is cleared when the
// transaction ends, so the next command (a PTT off, a flag, a task) is not refused as
// cancelled. Nothing happens while the link is idle.
void AbandonTransaction();
void HandleCommTimeout();
void Retransmit();
// Takes the utility off line, showing message in the connection panel.
void ShowCommsFailure(const QString& message);

} // namespace korvel

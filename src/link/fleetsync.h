// The link through a FleetSync radio on the PC's serial port: wrapping a module frame
// in the radio's text frame and handling what the radio passes back (its own replies,
// status messages, and data messages that carry a module frame).
#pragma once

#include "platform/progressview.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvel {

constexpr int STX = 2;
constexpr int ETX = 3;

// Message kinds and the local radio's reply codes (position 1 of a text frame).
constexpr char FSMSG_STATUS = 'E';
constexpr char FSMSG_SDM = 'F';
constexpr char FSMSG_LDM = 'G';
constexpr char FSREPLY_ACK = '0';
constexpr char FSREPLY_NACK = '1';
constexpr char FSREPLY_BUSY = '2';
constexpr char FSREPLY_DATA_ERROR = '3';

// The radio text frame of the module frame, addressed to FleetSyncTarget; the text is
// also kept in FleetSyncTxFrame for the event monitor.
QByteArray WrapPacketInFleetSync(const QByteArray& frame);
// Handles one complete radio frame (STX .. ETX) as it came.
void ParseFleetSyncInput(const QByteArray& text);
// Waits until the radio has had its pause after the last data message it passed on:
// true then, false when hold's job was cancelled (or the program is ending) first. Traffic
// whose messages keep coming inside each other's pause holds the wait no longer than the
// reply time-out (and at least one pause) beyond the pause under way: the frame then
// goes, and a radio not ready refuses it, which the time-out answers with a resend.
class LinkHold;
bool WaitForRadioPause(const LinkHold& hold);
// The module frame the hexadecimal content of a data message spells (from byte 9 up to
// its ETX). None when the content is not an even number of upper-case hexadecimal
// digits spelling exactly one frame.
std::optional<QByteArray> DecodeFleetSyncPayload(const QByteArray& text);
// "0".."9" give 0..9, "A".."F" give 10..15.
uint8_t HexCharToNibble(uint8_t code);

// A radio caption in the progress window, which is loaded (not shown) for it if needed.
void ShowRadioProgress(ProgressLabel label, const QString& text);

// The radio text frame of a module frame (bytes 0 .. frame[0]) for the radio "FFF:IIII".
QByteArray FleetSyncTextFrame(const QByteArray& frame, const QString& target);

} // namespace korvel

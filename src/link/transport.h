// Moving bytes: the serial port (open, write, the receive state machine), the TCP
// client link and the sender of the switch-through link.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace korvel {

// Sent raw, outside any frame, as the first bytes of every new TCP connection: the
// module's network interface opens its serial side only after it has seen this text.
inline constexpr char TCP_START_TEXT[] = "OMRULINK\r";
inline constexpr int TCP_START_TEXT_LENGTH = 9;
static_assert(sizeof(TCP_START_TEXT) - 1 == TCP_START_TEXT_LENGTH);

// A new connection (the port opened, a TCP connect, the switch-through host taken in)
// starts afresh: the frame half-received on the old one, and the complete frames it
// left waiting for their handler to return, are forgotten.
void BeginNewConnection();

// 0 when the port is (or already was) open, or no port is needed; 1 after an error
// that has been reported to the user.
int16_t OpenCommPort();
// 0 when the link can carry a command now: the serial port opens (or is open), or the
// module is reached over TCP, which needs no serial port. 1 after the port's error
// box.
int16_t OpenLinkPort();
void ShowPortOpenError(int error);
// Opens the serial port again with the settings it had, without a message: true when
// it is open. For a port an error closed, which may be back.
bool ReopenCommPort();
class LinkHold;
class Transaction;

// Writes the transaction's frame to the port in one write.
void WriteTxFrame(Transaction& t);
// The serial control's communication event (comEvSend / comEvReceive).
void CommOnComm(int event);
void StartWaitTimer();
void StopWaitTimer();

// True when text is "host:port" with a non-empty host and a whole port number from 1 to
// 65535 (blanks around either part are ignored); host and port (either may be null)
// receive the parts. Anything else, extra colons included, is false and leaves them alone.
bool ParseTcpEndpoint(const QString& text, QString* host, quint16* port);
// 1 when the TCP client is connected to TcpAddress, 0 on failure. A new connection
// starts afresh (nothing half-received from the old one) and begins with the start
// text, followed by a pause of TcpStartPauseMs for the module's network side. A
// connect that fails, or does not complete within TcpConnectTimeoutMs, shows "Failed
// to connect to Korvel". A call made while another connect waits fails quietly, and
// one with a hold that may not send now is refused (0) with nothing changed.
int16_t TcpConnect(const LinkHold& hold);
// True while the link runs over the TCP connection TcpConnect made.
bool TcpLinkUp();
// From now the link runs over the serial port (a local or remote station was chosen);
// the TCP connection, if any, is left as it is.
void UseSerialLink();
// Ends the TCP link: the connection closes and the link runs over the serial port.
void CloseTcpLink();
// Sends the transaction's frame over TCP for hold's job, connecting first when needed.
void TcpSendTxBuffer(const LinkHold& hold, Transaction& t);
void TcpDataArrival(int bytesTotal);
// The module socket's error: "Winsock Error: " with its number and description, once the
// handler has returned; the socket is left as it is. An error while a connect waits goes
// into the connect's own failure message instead.
void TcpError(int number, const QString& description);
// Bytes taken from the TCP stream, in order: undoes the module's doubling of 255 and
// runs the receive state machine.
void TcpReceiveBytes(const QByteArray& bytes);

// Hands the transaction's frame to the switch-through host on the route it gave.
void SendSwitchThrough(Transaction& t);

// The receive state machine, one byte at a time. fromTcp selects the TCP variant
// (silent: no trace lines, no debug panel texts). It only assembles: a complete frame
// is dispatched from the event loop once the handler that received it has returned.
void RxStateMachine(uint8_t b, bool fromTcp);

} // namespace korvel

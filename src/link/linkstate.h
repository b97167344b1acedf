// The link layer's program-wide state: the receiver's assembly, which transaction is
// open, the receive state, time-out counters, link selection, and the port and sockets
// the link runs over.
#pragma once

#include "link/frame.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <cstdint>
#include <memory>

namespace korvel {

class SerialPortIo;
class TcpClient;

// The port this program listens on for the switch-through host's connection.
inline constexpr quint16 SWITCH_THROUGH_PORT = 14004;

enum TxStateValue : int16_t {
    TX_IDLE = 0,
    TX_WAIT_ACK = 1,
    TX_WAIT_REPLY = 2,
    TX_SEND_ONLY = 3,
    TX_REPLY_RECEIVED = 10,
    TX_DONE = 11,
    TX_GAVE_UP = 21,
    // The link itself went away under the transaction (a TCP connect failed, the
    // switch-through host closed): ends the wait as a failure.
    TX_LINK_LOST = 22,
    TX_REFUSED = 25,
};

// How a send ended; the job that sent decides from it what to do and what to say.
enum SendResult : int16_t {
    // Answered (the answer has been handed on to the program), or a send-only frame
    // gone out.
    SEND_OK = 0,
    // No answer after the retries, or the job gave up on the module when asked.
    SEND_NO_ANSWER = 1,
    // The port or socket went away, or a borrower found it gone.
    SEND_LINK_LOST = 2,
    // The module refused the request, or the link refused the frame (sent without the
    // hold, or from inside the sender's own open transaction).
    SEND_REFUSED = 3,
    // The job was cancelled (its Cancel, Exit, the window it belongs to closing).
    SEND_CANCELLED = 26,
};

enum RxStateValue : int16_t {
    RX_HUNT = 0,
    RX_IN_FRAME = 1,
};

enum LinkModeValue : int16_t {
    LINK_NORMAL = 0,
    LINK_SWITCH_THROUGH = 4,
};

class Transaction;

struct LinkState {
    // The frame the receiver is assembling. A complete one is handed on as a value:
    // dispatching runs after the port's handler has returned, while the next frame may
    // be arriving, and a frame's handling may wait in a box while others are handled.
    uint8_t RxAssembly[LINK_BUFFER_SIZE] = {};
    int16_t RxIndex = 0;
    uint8_t RxExpected = 0;
    uint8_t PacketId = 0;
    int16_t StationAddress[3] = {0, 0, 0};

    // The transaction whose answer is awaited now (it lives with its sender).
    Transaction* Open = nullptr;
    int16_t RxState = RX_HUNT;
    // The open transaction's reply time-out, counting down in 100 ms ticks.
    int16_t PacketTimeoutCount = 0;
    int16_t PacketTimeoutReload = 15;
    int16_t InterByteCount = 0;
    int16_t WaitElapsed = 0;
    bool TraceOn = false;
    // 1 while a long operation shows the progress window (the timers animate it).
    int16_t ProgressActive = 0;

    int16_t LinkMode = LINK_NORMAL;
    // Counts the connections opened (a port, a socket, the host's): a job that asked a
    // person whether to go on goes on only over the connection it had.
    int ConnectionNumber = 0;
    bool TcpLinkActive = false;
    QString TcpAddress;
    // The radio that carries the link on the radio protocol, "FFF:IIII" (fleet and ID).
    QString FleetSyncTarget;
    int16_t SwitchThroughRoute = 0;

    // The last radio text frame, shown by the event monitor on each resend.
    QByteArray FleetSyncTxFrame;
    // Fleet (3 characters) and radio ID (4) of the last message a radio sent.
    QByteArray LastRxFleet;
    QByteArray LastRxRadioId;

    // The TCP stream doubles every byte 255 the module sends; true while the last
    // byte taken from the stream was a 255 whose twin has not yet arrived.
    bool TcpPending255 = false;

    // Pauses that are part of the link's behaviour, shortened by tests.
    int TcpReconnectPauseMs = 2000;
    int TcpConnectPollMs = 10;
    // How long a TCP connect (name look-up included) may take before it has failed.
    int TcpConnectTimeoutMs = 10000;
    // True while TcpConnect waits for a connection: nothing may be sent until the
    // connection is up and its start text has gone out.
    bool TcpConnecting = false;
    // The pause after the start text of a new TCP connection, while the module's network
    // side gets ready.
    int TcpStartPauseMs = 2000;
    // Where this program listens for the switch-through host (0: a free port, for tests),
    // and the pause once the host has connected, while it readies its own side.
    quint16 SwitchThroughListenPort = SWITCH_THROUGH_PORT;
    int SwitchThroughAcceptPauseMs = 2000;
    // The pause after each data message from the radio, before it can take the next,
    // and when the one under way ends (expired when none is).
    int FleetSyncPauseMs = 1500;
    QDeadlineTimer RadioQuietUntil;
};

LinkState& linkState();

// The serial control and the two sockets; created on first use.
struct LinkPorts {
    std::unique_ptr<SerialPortIo> MSComm1;
    std::unique_ptr<TcpClient> tcpClient;
    std::unique_ptr<TcpClient> tcpSwitchThroughClient;
};
LinkPorts& linkPorts();
SerialPortIo& CommPort();
TcpClient& TcpClientSocket();
TcpClient& SwitchThroughSocket();

// Back to the state at program start: closes the port and sockets and forgets them.
void ResetLinkState();

} // namespace korvel

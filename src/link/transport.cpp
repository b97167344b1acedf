#include "link/transport.h"

#include "link/linkhold.h"
#include "link/fleetsync.h"
#include "link/linkclient.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "link/transaction.h"
#include "platform/digits.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <memory>

namespace korvel {

namespace {

// The connection the frames received now belong to. A frame waits for its handler to
// return under this token, and a new connection replaces it: the frames the old one
// left queued are dropped with it.
std::unique_ptr<QObject> g_connectionToken;

QObject* connectionToken() {
    if (!g_connectionToken) g_connectionToken = std::make_unique<QObject>();
    return g_connectionToken.get();
}

int16_t interByteTimeout() { return static_cast<int16_t>(linkClient().Settings().InterByteTimeout); }
bool debugDisplay() { return linkClient().Settings().DebugDisplay; }

void panel(int n, const QString& text, bool refresh = true) {
    linkHost().SetPanelText(n, text);
    if (refresh) linkHost().RefreshStatusBar();
}

void armReplyTimeout() {
    auto& s = linkState();
    s.PacketTimeoutCount = ReplyTicksNow();
    linkHost().SetTimerEnabled(LinkTimer::CommIn, true);
    StopWaitTimer();
}

void startFrame(uint8_t b) {
    auto& s = linkState();
    s.RxAssembly[0] = b;
    s.InterByteCount = interByteTimeout();
    s.RxState = RX_IN_FRAME;
    s.RxIndex = 1;
    linkHost().SetTimerEnabled(LinkTimer::InterByte, true);
}

// What a module frame means is worked out once the handler that received it has
// returned: the dispatcher may open a box or start a request. The frame goes as a value,
// so a frame that arrives while this one waits in a box cannot change it.
void dispatchModuleFrame(const QByteArray& frame) {
    const bool counting = linkHost().TimerEnabled(LinkTimer::CommIn);
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    linkClient().FrameReceived(frame);
    // A frame that did not end the wait (a late answer to an earlier command, another
    // station's frame) must not stop its count-down, or the wait would never end.
    if (counting && TransactionOpen(OpenTransaction::AwaitingAnswer))
        linkHost().SetTimerEnabled(LinkTimer::CommIn, true);
}

void dispatchRadioText(const QByteArray& text) { ParseFleetSyncInput(text); }

QByteArray assembled() {
    const auto& s = linkState();
    return QByteArray(reinterpret_cast<const char*>(s.RxAssembly), std::min<int>(s.RxIndex, LINK_BUFFER_SIZE));
}

void frameComplete(bool fromTcp) {
    auto& s = linkState();
    linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
    s.RxState = RX_HUNT;
    const QByteArray frame = assembled();
    if (!fromTcp) {
        if (debugDisplay()) panel(2, QString());
        if (s.TraceOn) TraceWriteLine("RX: " + HexOf(s.RxAssembly, s.RxAssembly[0] + 1));
    }
    if (!FrameChecksumGood(s.RxAssembly, s.RxAssembly[0])) {
        if (!fromTcp && s.TraceOn) TraceWriteLine("CHECKSUM ERROR");
        return;
    }
    RunAfterHandler([frame] { dispatchModuleFrame(frame); }, connectionToken());
}

} // namespace

void BeginNewConnection() {
    auto& s = linkState();
    s.TcpPending255 = false;
    if (s.RxState == RX_IN_FRAME) s.RxState = RX_HUNT;
    linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
    g_connectionToken.reset();
    ++s.ConnectionNumber;
}

int16_t OpenLinkPort() {
    // A module over TCP must not be refused because the PC has no usable serial port.
    if (linkState().TcpLinkActive) return 0;
    return OpenCommPort();
}

int16_t OpenCommPort() {
    auto& s = linkState();
    if (s.LinkMode == LINK_SWITCH_THROUGH) return 0;
    SerialPortIo& port = CommPort();
    if (port.IsOpen()) return 0;
    const LinkSettings ls = linkClient().Settings();
    port.SetPort(ls.Port);
    port.SetSettings(ls.OneStopBit ? QStringLiteral("9600,N,8,1") : QStringLiteral("9600,N,8,2"));
    const int error = port.Open();
    if (error != COMM_OK) {
        ShowPortOpenError(error);
        return 1;
    }
    port.ClearInput();
    BeginNewConnection();
    return 0;
}

bool ReopenCommPort() {
    SerialPortIo& port = CommPort();
    if (port.IsOpen()) return true;
    if (port.Open() != COMM_OK) return false;
    port.ClearInput();
    BeginNewConnection();
    panel(4, QString());
    return true;
}

void ShowPortOpenError(int error) {
    QString text;
    switch (error) {
    case COMM_INVALID_PORT:
        text = QStringLiteral("Error: The Operating System has returned an invalid or non existant port number.") +
               kLineBreak +
               QStringLiteral("Select another or a valid communication port in Preferences/Local Connection.");
        break;
    case COMM_PORT_ALREADY_OPEN:
        text = QStringLiteral("Error: The Operating System has returned that the Port is already open.") +
               kLineBreak +
               QStringLiteral("Either terminate the program that is using this port or select another port in ") +
               QStringLiteral("local") + QStringLiteral(" port preferences.");
        break;
    default:
        text = QStringLiteral("Error: Port system error, select another port in ") + QStringLiteral("local") +
               QStringLiteral(" port preferences, or terminate other programs");
        break;
    }
    linkClient().PortOpenFailed(text);
    panel(4, QStringLiteral("DISCONNECTED"));
}

void WriteTxFrame(Transaction& t) {
    // A radio text frame starts with STX, not its length: it goes out whole, in one
    // write, like a module frame.
    const QByteArray& out = t.Wire();
    t.TxIndex = int(out.size()) - 1;
    SerialPortIo& port = CommPort();
    if (port.IsOpen()) port.Write(out);
}

void StartWaitTimer() {
    linkState().WaitElapsed = 0;
    linkHost().SetTimerEnabled(LinkTimer::Wait, false);
    linkHost().SetTimerEnabled(LinkTimer::Wait, true);
}

void StopWaitTimer() {
    linkState().WaitElapsed = 0;
    linkHost().SetTimerEnabled(LinkTimer::Wait, false);
}

void RxStateMachine(uint8_t b, bool fromTcp) {
    auto& s = linkState();
    const bool debug = !fromTcp && debugDisplay();
    if (s.RxState == RX_HUNT) {
        if (RadioProtocol()) {
            // Whatever is not the start of a radio text frame is dropped here, byte by
            // byte: left in the port, it would wait for a receive event that never comes.
            if (b != STX) return;
        } else {
            s.RxExpected = b;
            if (debug) panel(3, QStringLiteral("BYTECOUNT=") + QString::number(b));
        }
        startFrame(b);
        return;
    }
    // A radio text frame holds printable characters only: a start byte in the middle of
    // one means its end was lost, and the new frame (the radio's ACK, say) is whole.
    if (RadioProtocol() && b == STX) {
        startFrame(b);
        return;
    }
    if (s.RxIndex >= LINK_BUFFER_SIZE) {
        // A radio frame that never ends: drop it rather than run past the buffer.
        s.RxState = RX_HUNT;
        linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
        return;
    }
    s.RxAssembly[s.RxIndex] = b;
    s.InterByteCount = interByteTimeout();
    ++s.RxIndex;
    linkHost().SetTimerEnabled(LinkTimer::InterByte, true);
    if (RadioProtocol()) {
        if (b == ETX) {
            linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
            s.RxState = RX_HUNT;
            RunAfterHandler([text = assembled()] { dispatchRadioText(text); }, connectionToken());
        }
        return;
    }
    if (s.RxExpected > 0) --s.RxExpected;
    if (debug) panel(3, QStringLiteral("BYTESRXD= ") + QString::number(s.RxIndex - 1));
    if (s.RxExpected == 0) frameComplete(fromTcp);
}

void CommOnComm(int event) {
    const IoHandlerScope handler;
    auto& s = linkState();
    SerialPortIo& port = CommPort();
    if (event == comEvSend) {
        // Only a frame still going out or waiting has a use for this: the event can come
        // late, after the answer (a radio's data message arrives while the port still
        // reports the frame sent), and must not start a countdown for a finished wait.
        Transaction* t = OpenTransactionNow();
        if (!t || !TransactionOpen()) return;
        if (RadioProtocol()) ShowRadioProgress(ProgressLabel::lblKen, QStringLiteral("Data transmitted to Radio..."));
        if (t->State == TX_SEND_ONLY) {
            t->State = TX_DONE;
            return;
        }
        const QString waiting = t->State == TX_WAIT_ACK ? QStringLiteral("WAITING ACK")
                                                        : QStringLiteral("WAITING GET");
        if (debugDisplay()) panel(2, waiting);
        if (s.TraceOn) TraceWriteLine(waiting.toLatin1());
        armReplyTimeout();
        return;
    }
    if (event == comEvPortLost) {
        // The port has closed itself; what was waited for times out as on a silent line.
        panel(4, QStringLiteral("Port error: ") + port.LastErrorText());
        return;
    }
    if (event != comEvReceive) return;
    // Every byte waiting is taken now: Qt signals a receive only for new bytes.
    while (port.InBufferCount() > 0) {
        const int b = port.ReadByte();
        if (b < 0) break;
        RxStateMachine(static_cast<uint8_t>(b), false);
    }
}

bool ParseTcpEndpoint(const QString& text, QString* host, quint16* port) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2) return false;
    const QString h = parts[0].trimmed();
    const QString p = parts[1].trimmed();
    if (h.isEmpty() || p.size() > 5) return false;
    const std::optional<qint64> n = DigitsOnlyValue(p);
    if (!n || *n < 1 || *n > 65535) return false;
    if (host) *host = h;
    if (port) *port = static_cast<quint16>(*n);
    return true;
}

int16_t TcpConnect(const LinkHold& hold) {
    auto& s = linkState();
    // The start text and the connection it opens are wire work: only the holder opens one,
    // and a refused connect leaves the link as it was.
    if (!hold.MaySend()) {
        qWarning("A TCP connect was asked by code that does not hold the link; it was not made.");
        return 0;
    }
    const auto fail = [&s]() -> int16_t {
        s.TcpLinkActive = false;
        return 0;
    };
    QString host;
    quint16 port = 0;
    if (!ParseTcpEndpoint(s.TcpAddress, &host, &port)) return fail();

    TcpClient& sock = TcpClientSocket();
    const auto connectFailed = [&] {
        // Whether the module refused, was not found or went away is the socket's to say.
        QString text = QStringLiteral("Failed to connect to Korvel");
        if (sock.State() == sckError) text += kLineBreak + sock.LastErrorReport();
        sock.Close();
        s.TcpConnecting = false;
        panel(3, QString());
        linkClient().ConnectFailed(text);
        return fail();
    };
    if (sock.State() != sckConnected || sock.RemotePort() != port || sock.RemoteHost() != host) {
        // A sender woken by the wait below must not start a second connection, nor send
        // before the start text. A borrower never replaces the connection it borrowed.
        if (s.TcpConnecting || hold.Borrowed()) return 0;
        s.TcpConnecting = true;
        sock.Close();
        BeginNewConnection();
        // The pauses and the connect wait in the event loop, so the user can give up on
        // a module slow to answer: a cancel ends the connect with nothing to report.
        const auto cancelled = [&] {
            sock.Close();
            s.TcpConnecting = false;
            panel(3, QString());
            return fail();
        };
        if (!CancellableWait(hold, s.TcpReconnectPauseMs)) return cancelled();
        sock.SetRemote(host, static_cast<quint16>(port));
        panel(3, QStringLiteral("Connecting to ") + s.TcpAddress + QStringLiteral(" ..."));
        sock.Connect();
        // An address that never answers would otherwise hold the program for as long as
        // the system's own connect time-out, with no way out.
        const QDeadlineTimer deadline(s.TcpConnectTimeoutMs);
        while (sock.State() != sckConnected) {
            if (sock.State() == sckClosing || sock.State() == sckError || deadline.hasExpired())
                return connectFailed();
            if (!CancellableWait(hold, s.TcpConnectPollMs)) return cancelled();
        }
        // Whoever opens the connection, the module's network side reads nothing before
        // its start text.
        sock.Send(QByteArray(TCP_START_TEXT, TCP_START_TEXT_LENGTH));
        DoEvents();
        if (!CancellableWait(hold, s.TcpStartPauseMs)) return cancelled();
        DoEvents();
        if (sock.State() != sckConnected) return connectFailed();
        s.TcpConnecting = false;
    }
    s.PacketTimeoutCount = ReplyTicksNow();
    s.TcpLinkActive = true;
    panel(3, s.TcpAddress);
    return 1;
}

bool TcpLinkUp() { return linkState().TcpLinkActive; }

void UseSerialLink() { linkState().TcpLinkActive = false; }

void CloseTcpLink() {
    TcpClientSocket().Close();
    linkState().TcpLinkActive = false;
}

void TcpSendTxBuffer(const LinkHold& hold, Transaction& t) {
    if (TcpConnect(hold) == 0) {
        // Nothing was sent and nothing will answer: end the transaction now.
        if (t.State < TX_REPLY_RECEIVED) t.State = TX_LINK_LOST;
        return;
    }
    TcpClientSocket().Send(t.Wire());
    // The socket's index ends past the last byte, unlike the port's: a cancel over TCP
    // waits for the transaction's own end.
    t.TxIndex = int(t.Wire().size());
    if (t.State == TX_SEND_ONLY) {
        t.State = TX_DONE;
        return;
    }
    armReplyTimeout();
}

void TcpDataArrival(int) {
    const IoHandlerScope handler;
    TcpReceiveBytes(TcpClientSocket().ReadAll());
}

void TcpError(int number, const QString& description) {
    const IoHandlerScope handler;
    const auto& s = linkState();
    if (s.TcpConnecting) return;
    // The module closing an idle connection is its ordinary close, not an error; in the
    // middle of a transaction it is a reset the user must hear of.
    if (number == TcpClient::WinsockErrorNumber(QAbstractSocket::RemoteHostClosedError) && !TransactionOpen())
        return;
    RunAfterHandler([text = WinsockErrorText(number, description)] {
        linkClient().LinkError(text);
    });
}

void TcpReceiveBytes(const QByteArray& bytes) {
    auto& s = linkState();
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        // The module's network side doubles every 255 it sends; take one of each pair.
        if (b == 255) {
            if (s.TcpPending255) {
                s.TcpPending255 = false;
                continue;
            }
            s.TcpPending255 = true;
        } else {
            s.TcpPending255 = false;
        }
        RxStateMachine(b, true);
    }
}

void SendSwitchThrough(Transaction& t) {
    // The host routes the frame by its route byte, so the frame goes with the host's
    // route and a checksum made again for it.
    QByteArray out = t.Request();
    if (out.size() > FRAME_ROUTE) {
        out[FRAME_ROUTE] = char(linkState().SwitchThroughRoute);
        const int length = uint8_t(out[FRAME_LENGTH]);
        if (length < out.size())
            out[length] = char(FrameChecksum(reinterpret_cast<const uint8_t*>(out.constData()), length));
    }
    out.append("<<>>");
    SwitchThroughSocket().Send(out);
    linkHost().RefreshStatusBar();
}

} // namespace korvel

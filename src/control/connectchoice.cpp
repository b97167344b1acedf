#include "control/connectchoice.h"
#include "link/linkhold.h"

#include "control/localsettings.h"
#include "control/session.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/digits.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/tcpclient.h"

#include <QStringList>
#include <algorithm>

namespace korvel {

namespace {

ConnectState g_connect;

// A destination of 999 is no station: the remote box then offers none.
constexpr int16_t kNoStationOffered = 999;
constexpr int16_t kRouteRemote = 3;
constexpr int kRemoteTimeoutFactor = 3;

void setStation(int16_t destination, int16_t route) {
    auto& s = linkState();
    s.StationAddress[0] = destination;
    s.StationAddress[1] = 0;
    s.StationAddress[2] = route;
}

// Digits only: the box's key filter lets nothing else in, but a caller may pass anything.
bool parseStationNumber(const QString& text, int* number) {
    if (text.size() > 3) return false;
    const std::optional<qint64> value = DigitsOnlyValue(text);
    if (!value) return false;
    *number = int(*value);
    return true;
}

} // namespace

ConnectState& connectState() { return g_connect; }
void ResetConnectState() { g_connect = ConnectState{}; }

// The editors start at the first channel of whatever station comes next.
void SelectFirstChannels() {
    auto& ss = session();
    ss.SelectedInputChannel = 1;
    ss.SelectedOutputChannel = 1;
    ss.SelectedAnalogChannel = 1;
}

ConnectBoxes LoadConnectChoice() {
    const auto& s = linkState();
    ConnectBoxes boxes;
    const int16_t destination = s.StationAddress[0];
    // Offered only: the station address itself changes when a remote choice completes.
    if (destination != kNoStationOffered) boxes.RemoteAddress = QString::number(destination == 0 ? 1 : destination);
    boxes.TcpAddress = s.TcpAddress.isEmpty() ? QString::fromLatin1(DEFAULT_TCP_ENDPOINT) : s.TcpAddress;
    return boxes;
}

ConnectFocus ConnectFocusOnActivate() {
    if (g_connect.ConnectType == CONNECT_REMOTE) return ConnectFocus::RemoteButton;
    if (settings().PortProtocol == LOCALPORT_MODULE) return ConnectFocus::LocalButton;
    return ConnectFocus::Unchanged;
}

void ChooseLocalModule() {
    SetConnectionReplyTimeout(settings().PacketTimeout);
    g_connect.ConnectType = CONNECT_LOCAL_OR_TCP;
    setStation(0, 0);
    UseSerialLink();
    SelectFirstChannels();
}

RemoteChoice ChooseRemoteStation(QString& text) {
    const QString typed = text.trimmed();
    int station = 0;
    if (!typed.isEmpty() && (!parseStationNumber(typed, &station) || station > LAST_REMOTE_STATION)) {
        // Refused before anything is touched: the user corrects the number and tries again.
        MsgBox(QStringLiteral("Invalid remote station number, please enter a station number from 1 to %1!")
                   .arg(LAST_REMOTE_STATION),
               vbOKOnly + vbCritical);
        return RemoteChoice::OutOfRange;
    }
    g_connect.ConnectType = CONNECT_REMOTE;
    if (typed.isEmpty()) {
        MsgBox(QStringLiteral("Invalid Network Address, Please enter a valid address!"), vbOKOnly);
        text = QStringLiteral("1");
        return RemoteChoice::EmptyAddress;
    }
    if (station == 0) return RemoteChoice::StationZero;
    setStation(static_cast<int16_t>(station), kRouteRemote);
    // Every request to a remote station crosses the radio network twice.
    SetConnectionReplyTimeout(settings().PacketTimeout * kRemoteTimeoutFactor);
    UseSerialLink();
    SelectFirstChannels();
    return RemoteChoice::Completed;
}

TcpChoice ChooseTcpEndpoint(const QString& text) {
    auto& s = linkState();
    if (!ParseTcpEndpoint(text, nullptr, nullptr)) {
        MsgBox(QStringLiteral("Invalid TCP/IP address \"%1\". Please enter the module's address and port as "
                              "host:port, for example %2 (port 1 to 65535).")
                   .arg(text.trimmed(), QString::fromLatin1(DEFAULT_TCP_ENDPOINT)),
               vbOKOnly + vbCritical);
        return TcpChoice::BadEndpoint;
    }
    s.TcpAddress = text.trimmed();
    bool connected = false;
    bool linkTaken = false;
    {
        // The reconnect and its start text are wire work of their own: they wait for the
        // job that has the link (the caller defers the click), and hold it meanwhile.
        const LinkHold hold;
        linkTaken = !hold.Granted() || hold.Borrowed();
        if (!linkTaken) {
            // Always a new connection, so that the module's network side sees a fresh
            // start text; the connect sends it.
            TcpClientSocket().Close();
            connected = TcpConnect(hold) == 1;
        }
    }
    // Said once the link is let go; TcpConnect has said its own failures.
    if (linkTaken)
        MsgBox(QStringLiteral("No connection was made: the link was in use by another task. "
                              "Press IP CONNECT again once it has finished."),
               vbOKOnly + vbExclamation);
    g_connect.ConnectType = CONNECT_LOCAL_OR_TCP;
    SelectFirstChannels();
    setStation(0, 0);
    SetConnectionReplyTimeout(settings().PacketTimeout);
    return connected ? TcpChoice::Connected : TcpChoice::Failed;
}

} // namespace korvel

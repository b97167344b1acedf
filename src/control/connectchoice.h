// The choices of the connect dialog: the local module, a remote station by number or a
// module over TCP, and what each leaves in the link's globals.
#pragma once

#include "link/transport.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>

namespace korvel {

// The factory network address and port of the module's network interface, offered
// while no TCP endpoint has been typed yet.
inline constexpr char DEFAULT_TCP_ENDPOINT[] = "192.168.1.100:10001";

// A remote station's number travels in the one-byte destination of every frame.
inline constexpr int LAST_REMOTE_STATION = 255;

enum ConnectTypeValue : int16_t {
    CONNECT_LOCAL_OR_TCP = 0,
    CONNECT_REMOTE = 1,
};

struct ConnectState {
    // The path of the last choice; decides where the dialog puts the focus next time.
    int16_t ConnectType = CONNECT_LOCAL_OR_TCP;
};

ConnectState& connectState();
void ResetConnectState();

// What every completed choice sets besides the connection's reply time-out: the editors
// back at their first channels.
void SelectFirstChannels();

// What the dialog's boxes show when it opens.
struct ConnectBoxes {
    QString RemoteAddress;  // the last remote station, 1 after the local module
    QString TcpAddress;     // the last endpoint, or DEFAULT_TCP_ENDPOINT
};

// The texts for the dialog's boxes when it opens. StationAddress is left as it is.
ConnectBoxes LoadConnectChoice();

enum class ConnectFocus { LocalButton, RemoteButton, Unchanged };
// Where the focus goes when the dialog comes up: the button of the last remote choice,
// else the local button while the port talks to a module.
ConnectFocus ConnectFocusOnActivate();

// CONNECT LOCAL: the module on the serial cable, plain reply time-out.
void ChooseLocalModule();

enum class RemoteChoice {
    Completed,     // StationAddress = (n, 0, 3), three times the reply time-out
    EmptyAddress,  // message shown, the box's text is now "1"
    StationZero,   // nothing shown, nothing chosen
    OutOfRange,    // not a station 1 .. LAST_REMOTE_STATION: message shown, nothing changed
};
// CONNECT REMOTE with the remote box's text; text is set to "1" after an empty entry.
// Only Completed closes the dialog.
RemoteChoice ChooseRemoteStation(QString& text);

enum class TcpChoice {
    Connected,    // start text sent: the choice is complete
    Failed,       // the failure has been said (TcpConnect's message): nothing to do
    BadEndpoint,  // message shown, nothing sent, nothing changed
};
// IP CONNECT with the TCP box's text. Connected and Failed close the dialog; both leave
// StationAddress (0, 0, 0) and the plain reply time-out.
TcpChoice ChooseTcpEndpoint(const QString& text);

} // namespace korvel

#include "link/linkstate.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "link/transport.h"
#include "platform/iohandler.h"

namespace korvel {

static LinkState g_link;
static LinkPorts g_ports;

LinkState& linkState() { return g_link; }
LinkPorts& linkPorts() { return g_ports; }

SerialPortIo& CommPort() {
    if (!g_ports.MSComm1) {
        g_ports.MSComm1 = CreateSerialPort();
        QObject::connect(g_ports.MSComm1.get(), &SerialPortIo::comm, [](int event) { CommOnComm(event); });
    }
    return *g_ports.MSComm1;
}

TcpClient& TcpClientSocket() {
    if (!g_ports.tcpClient) {
        g_ports.tcpClient = std::make_unique<TcpClient>();
        QObject::connect(g_ports.tcpClient.get(), &TcpClient::dataArrival,
                         [](int bytesTotal) { TcpDataArrival(bytesTotal); });
        QObject::connect(g_ports.tcpClient.get(), &TcpClient::errorOccurred,
                         [](int number, const QString& description) { TcpError(number, description); });
    }
    return *g_ports.tcpClient;
}

TcpClient& SwitchThroughSocket() {
    if (!g_ports.tcpSwitchThroughClient) g_ports.tcpSwitchThroughClient = std::make_unique<TcpClient>();
    return *g_ports.tcpSwitchThroughClient;
}

void ResetLinkState() {
    // Released here, so never from inside one of their own handlers.
    RequireNoIoHandler("releasing the port and sockets");
    if (g_ports.MSComm1) g_ports.MSComm1->Close();
    if (g_ports.tcpClient) g_ports.tcpClient->Close();
    if (g_ports.tcpSwitchThroughClient) g_ports.tcpSwitchThroughClient->Close();
    g_ports.MSComm1.reset();
    g_ports.tcpClient.reset();
    g_ports.tcpSwitchThroughClient.reset();
    g_link = LinkState{};
}

} // namespace korvel

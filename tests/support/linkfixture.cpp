#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include "control/programstate.h"
#include "control/progress.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/transport.h"
#include "platform/serialport.h"

#include <QCoreApplication>

namespace korvel::test {

void LinkFixture::SetUp() {
    // The default installations first: the reset unloads the progress view.
    SetProgressView(nullptr);
    SetSerialPortFactory(nullptr);
    ResetForTest();
    SetPrompts(&prompts);
    host = std::make_unique<BasicLinkHost>();
    SetLinkHost(host.get());
}

void LinkFixture::ResetForTest() {
    ResetProgramState();
    linkState().TcpReconnectPauseMs = 0;
    linkState().TcpStartPauseMs = 0;
    linkState().FleetSyncPauseMs = 0;
    // No test takes the production port of the switch-through listener.
    linkState().SwitchThroughListenPort = 0;
    linkState().SwitchThroughAcceptPauseMs = 0;
}

void LinkFixture::HoldLinkAsTheJob() {
    jobHold.reset();
    jobHold = std::make_unique<LinkHold>();
}

const LinkHold& LinkFixture::Held() {
    if (!jobHold) HoldLinkAsTheJob();
    return *jobHold;
}

void LinkFixture::RecordDispatched() {
    SetRxPacketObserver([this](const uint8_t* f, int n) {
        dispatched.append(QByteArray(reinterpret_cast<const char*>(f), n));
    });
}

MemorySerialPort* LinkFixture::OpenMemoryPort() {
    UseMemorySerialPorts();
    if (OpenCommPort() != 0) return nullptr;
    return LastMemoryPort();
}

MemorySerialPort* LinkFixture::OpenAcknowledgingPort() {
    MemorySerialPort* port = OpenMemoryPort();
    if (!port) return nullptr;
    port->onWrite = [port](const QByteArray& w) {
        if (w.size() < 7) return;
        port->Feed(WithChecksum({7, 0, uint8_t(w[1]), uint8_t(w[3]), uint8_t(w[4]), PKT_ACK, uint8_t(w[6])}));
    };
    return port;
}

void LinkFixture::TearDown() {
    jobHold.reset();
    ResetProgramState();
    SetSerialPortFactory(nullptr);
    SetLinkHost(nullptr);
    host.reset();
    SetPrompts(nullptr);
    QCoreApplication::processEvents();
}

} // namespace korvel::test

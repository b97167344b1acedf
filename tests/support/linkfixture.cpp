#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include "control/programstate.h"
#include "control/progress.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/transport.h"
#include "platform/serialport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

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
    ResetProgramState();
    SetSerialPortFactory(nullptr);
    SetLinkHost(nullptr);
    host.reset();
    SetPrompts(nullptr);
    QCoreApplication::processEvents();
}

bool LinkFixture::WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void LinkFixture::Later(int ms, std::function<void()> f) { QTimer::singleShot(ms, std::move(f)); }

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) b.append(char(v));
    return b;
}

QByteArray WithChecksum(std::initializer_list<int> values) {
    QByteArray b = Bytes(values);
    unsigned s = 0;
    for (char c : b) s += static_cast<unsigned char>(c);
    b.append(char(255 - (s & 255)));
    return b;
}

void PutRx(const QByteArray& frame) {
    for (int i = 0; i < frame.size() && i < LINK_BUFFER_SIZE; ++i)
        linkState().RxBuffer[i] = static_cast<uint8_t>(frame[i]);
}

} // namespace korvel::test

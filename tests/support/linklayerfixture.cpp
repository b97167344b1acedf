#include "support/linklayerfixture.h"
#include "support/memoryserialport.h"

#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/serialport.h"

namespace korvel::test {

void RecordingLinkClient::FrameReceived(const QByteArray& RxBuffer) { frames.append(RxBuffer); }

void LinkLayerFixture::SetUp() {
    SetSerialPortFactory(nullptr);
    ResetLinkState();
    SetLinkClient(&client);
    BaseFixture::SetUp();
    host = std::make_unique<BasicLinkHost>();
    SetLinkHost(host.get());
}

void LinkLayerFixture::TearDown() {
    ResetLinkState();
    SetSerialPortFactory(nullptr);
    SetLinkHost(nullptr);
    host.reset();
    SetLinkClient(nullptr);
    BaseFixture::TearDown();
}

MemorySerialPort* LinkLayerFixture::OpenMemoryPort() {
    UseMemorySerialPorts();
    if (OpenCommPort() != 0) return nullptr;
    return LastMemoryPort();
}

} // namespace korvel::test

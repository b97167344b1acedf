// Common ground for the link's own tests: the link alone from its start state, behind a
// widget-free host and a client that records every frame handed up and runs by the
// settings a test gives it.
#pragma once

#include "link/basiclinkhost.h"
#include "link/linkclient.h"
#include "support/basefixture.h"

#include <QByteArray>
#include <QList>
#include <memory>

namespace korvel::test {

class MemorySerialPort;

class RecordingLinkClient : public LinkClient {
public:
    LinkSettings Settings() const override { return settings; }
    void FrameReceived(const QByteArray& RxBuffer) override;

    LinkSettings settings;
    // Each frame as received, its checksum included.
    QList<QByteArray> frames;
};

class LinkLayerFixture : public BaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // Makes the serial port an in-memory one and opens it.
    MemorySerialPort* OpenMemoryPort();

    RecordingLinkClient client;
    QList<QByteArray>& dispatched = client.frames;
    std::unique_ptr<BasicLinkHost> host;
};

} // namespace korvel::test

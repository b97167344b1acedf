// Common ground for tests of the link with the control layer behind it: every test
// starts from program-start state with scripted prompts and a widget-free link host,
// and can wait on a condition without depending on timing luck.
#pragma once

#include "link/basiclinkhost.h"
#include "link/linkhold.h"
#include "support/basefixture.h"

#include <QByteArray>
#include <QList>
#include <memory>

namespace korvel::test {

class MemorySerialPort;

class LinkFixture : public BaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Program-start state with the link's pauses shortened for tests (what SetUp does).
    static void ResetForTest();
    // Records every frame handed to the dispatcher into `dispatched`.
    void RecordDispatched();
    // Makes the serial port an in-memory one and opens it.
    MemorySerialPort* OpenMemoryPort();
    // The same, with a module behind it that acknowledges every frame it is sent.
    MemorySerialPort* OpenAcknowledgingPort();

    // For tests that stand for a job using the link (they call the senders themselves):
    // the test body holds the link, as a job would, until the test ends or a reset.
    void HoldLinkAsTheJob();
    // That hold, taken now if the test has not yet taken it: what the test's sends pass.
    const LinkHold& Held();

    QList<QByteArray> dispatched;
    std::unique_ptr<BasicLinkHost> host;
    std::unique_ptr<LinkHold> jobHold;
};


} // namespace korvel::test

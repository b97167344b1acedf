// Common ground for link tests: every test starts from program-start state with
// scripted prompts and a widget-free link host, and can wait on a condition without
// depending on timing luck.
#pragma once

#include "link/basiclinkhost.h"
#include "platform/scriptedprompts.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>

namespace korvel::test {

class MemorySerialPort;

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Pumps events until cond() holds or timeoutMs passes; returns cond().
    static bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 5000);
    // Runs f from inside the event loop once it is being pumped (for example from
    // within a SendPacket wait).
    static void Later(int ms, std::function<void()> f);

    // Program-start state with the link's pauses shortened for tests (what SetUp does).
    static void ResetForTest();
    // Records every frame handed to the dispatcher into `dispatched`.
    void RecordDispatched();
    // Makes the serial port an in-memory one and opens it.
    MemorySerialPort* OpenMemoryPort();
    // The same, with a module behind it that acknowledges every frame it is sent.
    MemorySerialPort* OpenAcknowledgingPort();

    ScriptedPrompts prompts;
    QList<QByteArray> dispatched;
    std::unique_ptr<BasicLinkHost> host;
};

QByteArray Bytes(std::initializer_list<int> values);
QByteArray WithChecksum(std::initializer_list<int> values);
// Copies frame into RxBuffer.
void PutRx(const QByteArray& frame);

} // namespace korvel::test

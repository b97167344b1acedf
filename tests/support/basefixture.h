// Common ground for every core test: scripted prompts, waiting on a condition without
// depending on timing luck, and frames written out byte by byte. Stands on the platform
// alone, so that a layer's tests need nothing above that layer.
#pragma once

#include "platform/scriptedprompts.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <functional>

namespace korvel::test {

class BaseFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Pumps events until cond() holds or timeoutMs passes; returns cond().
    static bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 5000);
    // Runs f from inside the event loop once it is being pumped (for example from
    // within a SendPacket wait).
    static void Later(int ms, std::function<void()> f);

    ScriptedPrompts prompts;
};

// Runs f while files may grow to `bytes` only, so that a write fails part way through;
// false, with f not run, where the limit cannot be set.
bool WithFileSizeLimit(long bytes, const std::function<void()>& f);

QByteArray Bytes(std::initializer_list<int> values);
QByteArray WithChecksum(std::initializer_list<int> values);

} // namespace korvel::test

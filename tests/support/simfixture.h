// Link tests against the simulated module: short time-outs, three sends before the
// question, every dispatched frame recorded, and the module closed after each test.
#pragma once

#include "model/model.h"
#include "control/transfer.h"
#include "control/localsettings.h"
#include "link/linkstate.h"
#include "link/linkhold.h"
#include "link/transport.h"
#include "sim/simmodule.h"
#include "support/linkfixture.h"

namespace korvel::test {

class SimLinkFixture : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        Shorten();
        RecordDispatched();
    }
    // Back to the state a test starts from, in the middle of a test.
    void Restart() {
        ResetForTest();
        Shorten();
        if (jobHold) HoldLinkAsTheJob();
    }
    static void Shorten() {
        settings().RetryCount = 3;
        linkState().PacketTimeoutReload = 2;
    }
    void TearDown() override {
        LinkFixture::TearDown();
        sim.Close();
    }
    // Puts the simulated module on a free loopback port and connects the link to it.
    void ConnectOverTcp() {
        const quint16 port = sim.ListenTcp(0);
        ASSERT_NE(port, 0);
        linkState().TcpAddress = QStringLiteral("127.0.0.1:%1").arg(port);
        ASSERT_EQ(TcpConnect(LinkHold()), 1);
    }
    // A whole read from factory defaults and a write of what was read, on whatever link is
    // up; the frames the module received, from a clean record.
    QList<QByteArray> ReadAndWriteBack() {
        sim.ClearReceived();
        SetDefaultConfiguration();
        EXPECT_EQ(ReadConfiguration(), TRANSFER_OK);
        EXPECT_EQ(WriteConfiguration(), TRANSFER_OK);
        return sim.Received();
    }
    sim::SimModule sim;
};

} // namespace korvel::test

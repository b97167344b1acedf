// Link tests against the simulated module: short time-outs, three sends before the
// question, every dispatched frame recorded, and the module closed after each test.
#pragma once

#include "app/localsettings.h"
#include "link/linkstate.h"
#include "sim/simmodule.h"
#include "support/linkfixture.h"

namespace korvel::test {

class SimLinkFixture : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        settings().RetryCount = 3;
        linkState().PacketTimeoutReload = 2;
        RecordDispatched();
    }
    void TearDown() override {
        LinkFixture::TearDown();
        sim.Close();
    }
    sim::SimModule sim;
};

} // namespace korvel::test

// The benchmarks' common ground: how a run is asked for, what a short run changes, and
// the link held for a benchmark's connect as a job holds it.
#include "benchsupport.h"
#include "link/builders.h"
#include "support/simfixture.h"

using namespace korvel;
using namespace korvel::test;

namespace {

char* Arg(const char* text) { return const_cast<char*>(text); }

TEST(BenchRun, NoArgumentIsTheFullRunAndShortTheShortOne) {
    char* none[] = {Arg("bench")};
    char* brief[] = {Arg("bench"), Arg("--short")};
    EXPECT_EQ(bench::BenchRunAsked(1, none), bench::BenchRun::Full);
    EXPECT_EQ(bench::BenchRunAsked(2, brief), bench::BenchRun::Short);
}

TEST(BenchRun, AnythingElseIsAMistakeRatherThanAFullRun) {
    char* typo[] = {Arg("bench"), Arg("--shrot")};
    char* twice[] = {Arg("bench"), Arg("--short"), Arg("--short")};
    EXPECT_EQ(bench::BenchRunAsked(2, typo), bench::BenchRun::Unknown);
    EXPECT_EQ(bench::BenchRunAsked(3, twice), bench::BenchRun::Unknown);
}

TEST(BenchRun, AShortRunTakesTheShortSettingsAndAFasterLine) {
    bench::SetShortRun(true);
    EXPECT_EQ(bench::FullOrShort(20, 3), 3);
    EXPECT_EQ(bench::PacedBaud(115200), 115200);
    bench::SetShortRun(false);
    EXPECT_EQ(bench::FullOrShort(20, 3), 20);
    EXPECT_EQ(bench::PacedBaud(115200), bench::kWireBaud);
    EXPECT_DOUBLE_EQ(bench::WireMs(960, 9600), 1100.0);  // 11 bits a byte
}

class BenchConnectTest : public SimLinkFixture {};

TEST_F(BenchConnectTest, ConnectsForTheHoldOfTheJob) {
    const LinkHold hold;
    ASSERT_TRUE(hold.Granted());
    EXPECT_TRUE(bench::ConnectTcp(hold, sim.ListenTcp(0)));
    EXPECT_TRUE(linkState().TcpLinkActive);
    EXPECT_TRUE(WaitUntil([&] { return sim.ClientConnected(); }));
}

// A hold taken while the benchmark's own lives is not granted: its connect is not made.
TEST_F(BenchConnectTest, AHoldNotGrantedConnectsNothing) {
    const LinkHold job;
    const LinkHold second;
    ASSERT_FALSE(second.Granted());
    EXPECT_FALSE(bench::ConnectTcp(second, sim.ListenTcp(0)));
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_FALSE(sim.ClientConnected());
}

// The module's own connect holds the link for the connect alone: the job measured next
// (a whole read, the status monitor) takes the link for itself.
TEST_F(BenchConnectTest, TheModulesConnectLeavesTheLinkFree) {
    EXPECT_TRUE(bench::ConnectTcp(sim));
    EXPECT_FALSE(LinkInUse());
    const LinkHold next;
    EXPECT_TRUE(next.MaySend());
    EXPECT_EQ(SendRequest(next, CMD_MODULE_INFO, 0, 0, 0), SEND_OK);
}

} // namespace

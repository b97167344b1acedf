#include "model/blocks.h"
#include "model/model.h"
#include "model/target.h"
#include "link/builders.h"
#include "control/rxdispatch.h"
#include "support/simfixture.h"
#include "link/transport.h"
#include "control/configblocks.h"
#include "link/transaction.h"

using namespace korvel;
using namespace korvel::test;

namespace {

// A whole configuration read from the simulated module over TCP and written back,
// block by block: the module must end up with exactly what it had.
class SimRoundTripTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        SetConnectionReplyTimeout(20);
        ConnectOverTcp();
    }

    struct Block {
        int code;
        int index;
    };
    // The blocks of this station: every group that exists on the target.
    QList<Block> StationBlocks() const {
        const TargetState& t = target();
        QList<Block> blocks{{CMD_CFG_SYSTEM, 0}};
        const int last = t.PellarDevice ? 0 : t.ChildCount;
        for (int g = 0; g <= last; ++g) blocks.append({CMD_CFG_INPUTS, g});
        for (int b = 1; t.PellarDevice && b <= 4; ++b)
            if (t.ExpansionBoardMask & (1 << (b + 3))) blocks.append({CMD_CFG_INPUTS, b});
        for (int g = 0; g <= last; ++g) blocks.append({CMD_CFG_ANALOGS, g});
        for (int b = 1; t.PellarDevice && b <= 4; ++b)
            if (t.ExpansionBoardMask & (1 << (b - 1))) blocks.append({CMD_CFG_ANALOGS, b});
        for (int g = 0; g <= last; ++g) blocks.append({CMD_CFG_OUTPUTS, g});
        blocks.append({CMD_CFG_TEMPS, 0});
        for (int i = 0; i <= 4; ++i) blocks.append({CMD_CFG_FLEETSYNC, i});
        blocks.append({CMD_CFG_NMEA, 5});
        return blocks;
    }

    void ReadStation() {
        ASSERT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_OK);
        if ((target().TargetFirmwareVersion & 15) == 15) {
            ASSERT_EQ(SendRequest(Held(), CMD_DEVICE_TYPE, 0, 0, 0), SEND_OK);
            ASSERT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 2), SEND_OK);
        }
        SetDefaultConfiguration();
        for (const Block& b : StationBlocks())
            ASSERT_EQ(SendRequestByte(Held(), b.code, 0, 0, 0, b.index), SEND_OK) << b.code << "/" << b.index;
    }

    void WriteStation() {
        for (const Block& b : StationBlocks()) {
            const int16_t r = b.code == CMD_CFG_NMEA ? SendNmeaConfig(Held(), 0, 0, 0) : SendConfigBlock(Held(), b.code, 0, 0, 0, b.index);
            ASSERT_EQ(r, SEND_OK) << b.code << "/" << b.index;
        }
    }

    void ExpectRoundTrip() {
        ReadStation();
        const auto before = sim.Blocks();
        sim.ClearReceived();
        WriteStation();
        EXPECT_EQ(sim.BlockWrites().size(), StationBlocks().size());
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(sim.Blocks().value(it.key()), it.value())
                << "block " << it.key().first << "/" << it.key().second << " changed";
        EXPECT_TRUE(prompts.Shown().isEmpty());
    }
};

TEST_F(SimRoundTripTest, KorvelWithoutChildren) {
    sim.SetKorvel(0);
    ExpectRoundTrip();
    EXPECT_EQ(target().ChildCount, 0);
    EXPECT_EQ(sim.BlockWrites().count({CMD_CFG_INPUTS, 0}), 1);
    EXPECT_FALSE(sim.BlockWrites().contains({CMD_CFG_INPUTS, 1}));
}

TEST_F(SimRoundTripTest, KorvelWithSevenChildren) {
    sim.SetKorvel(7);
    ExpectRoundTrip();
    EXPECT_EQ(target().ChildCount, 7);
    EXPECT_TRUE(sim.BlockWrites().contains({CMD_CFG_ANALOGS, 7}));
}

TEST_F(SimRoundTripTest, PellarWithExpansionBoards) {
    for (int mask : {0x21, 0xFF}) {
        sim.SetPellar(mask);
        target().PellarDevice = false;
        ExpectRoundTrip();
        EXPECT_TRUE(target().PellarDevice);
        EXPECT_EQ(target().ExpansionBoardMask, mask);
    }
}

TEST_F(SimRoundTripTest, ReadFillsTheModelWithTheModulesValues) {
    sim.SetKorvel(2);
    ReadStation();
    const QByteArray system = sim.BlockData(CMD_CFG_SYSTEM, 0);
    for (int i = 0; i <= 60; ++i) EXPECT_EQ(config().SystemConfig[i], uint8_t(system[1 + i])) << i;
    const QByteArray nmea = sim.BlockData(CMD_CFG_NMEA, 0);
    EXPECT_EQ(config().NmeaConfig.Init1, nmea.mid(12 - 7, 41).left(nmea.mid(12 - 7, 41).indexOf('\0')));
    EXPECT_EQ(config().NmeaConfig.Custom.size(), 12);
}

TEST_F(SimRoundTripTest, OnlyEventsWhileIdleAreOwedAnAcknowledgement) {
    sim.SetKorvel(0);
    sim.SendEvent(9, 1, QByteArray(1, char(0x85)));
    ASSERT_TRUE(WaitUntil([] { return eventAck().AckPending; }));
    EXPECT_EQ(eventAck().OwedAcks, QList<int16_t>{9});
    eventAck().AckPending = false;
    EXPECT_EQ(SendAck(Held(), 9), SEND_OK);
    ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount() == 1; }));
    EXPECT_EQ(sim.Received()[0], Bytes({6, 9, 0, 3, 0, 254, 239}));

    // An event that arrives while a request waits is dropped unacknowledged (the module
    // repeats it); the request still ends on its reply.
    QObject::connect(&sim, &sim::SimModule::frameReceived, &sim, [this](const QByteArray& f) {
        if (uint8_t(f[6]) == CMD_CFG_OUTPUTS && sim.ReceivedCount() == 2) sim.SendEvent(9, 1, QByteArray(1, char(0x05)));
    });
    ASSERT_EQ(SendRequestByte(Held(), CMD_CFG_OUTPUTS, 0, 0, 0, 0), SEND_OK);
    EXPECT_FALSE(eventAck().AckPending);
}

TEST_F(SimRoundTripTest, RefusedBlockFailsTheWriteAndShowsTheBox) {
    sim.SetKorvel(0);
    sim.SetNackCommand(CMD_CFG_OUTPUTS);
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_OUTPUTS, 0, 0, 0, 0), SEND_REFUSED);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "OMRU received NACK from target - unknown command");
}

} // namespace

#include "link/builders.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

using namespace korvel;
using namespace korvel::test;

namespace {

// Each builder against an in-memory port that answers like a module: the frame the
// builder wrote is what went out on the port.
class BuildersTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        port = OpenMemoryPort();
        ASSERT_NE(port, nullptr);
        port->onWrite = [this](const QByteArray& w) {
            if (w.size() < 7) return;
            // A request gets zero data bytes enough for every short reply; a log block
            // gets its start record and no records.
            if (static_cast<uint8_t>(w[5]) == PKT_GET) {
                const uint8_t cmd = uint8_t(w[6]);
                QByteArray reply = Bytes({0, 0, uint8_t(w[1]), uint8_t(w[3]), 0, PKT_REPLY, cmd});
                const bool log = cmd == CMD_SAMPLE_BLOCK || cmd == CMD_MINMAX_BLOCK;
                reply.append(QByteArray(log ? 2 : 7, 0));
                // A module answers with the block or group it was asked for.
                if (!log && uint8_t(w[0]) >= 8) reply[7] = w[7];
                reply[0] = char(reply.size());
                reply.append(char(FrameChecksum(reinterpret_cast<const uint8_t*>(reply.constData()), reply.size())));
                port->Feed(reply);
            } else
                port->Feed(WithChecksum({7, 0, uint8_t(w[1]), uint8_t(w[3]), 0, PKT_ACK, uint8_t(w[6])}));
        };
    }
    QByteArray Sent() const { return port->writes.isEmpty() ? QByteArray() : port->writes.last(); }
    MemorySerialPort* port = nullptr;
};

TEST_F(BuildersTest, ChannelClearRequestToLocalModule) {
    EXPECT_EQ(SendRequest(Held(), CMD_CHANNEL_CLEAR, 0, 0, 0), SEND_OK);
    EXPECT_EQ(Sent(), Bytes({0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0xED}));
}

TEST_F(BuildersTest, StopProcessesCommand) {
    linkState().PacketId = 9;
    EXPECT_EQ(SendCommand(Held(), CMD_STOP_PROCESSES, 0, 0, 0), SEND_OK);
    EXPECT_EQ(Sent(), Bytes({0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x86, 0x71}));
    EXPECT_EQ(linkState().PacketId, 0);
}

TEST_F(BuildersTest, CommandsCarryTheirDataBytesAndStation) {
    EXPECT_EQ(SendCommandBytes(Held(), CMD_PTT_ON, 5, 0, 3, 120, 255), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({9, 5, 0, 3, 0, PKT_SET, CMD_PTT_ON, 120, 255}));
    EXPECT_EQ(SendLevelCommand(Held(), 0, 0, 0, 200), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({8, 0, 0, 0, 0, PKT_SET, CMD_SET_TX_LEVEL, 200}));
}

TEST_F(BuildersTest, RequestParameterZeroIsSentOnlyNegativeOmitsIt) {
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, 0), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({8, 0, 0, 0, 0, PKT_GET, CMD_MODULE_INFO, 0}));
    EXPECT_EQ(SendRequestParam(Held(), CMD_MODULE_INFO, 0, 0, 0, -1), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({7, 0, 0, 0, 0, PKT_GET, CMD_MODULE_INFO}));
    EXPECT_EQ(SendRequestByte(Held(), CMD_INPUT_STATUS, 12, 0, 3, 7), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({8, 12, 0, 3, 0, PKT_GET, CMD_INPUT_STATUS, 7}));
}

TEST_F(BuildersTest, RequestWordGoesLowByteFirst) {
    EXPECT_EQ(SendRequestWord(Held(), CMD_SAMPLE_BLOCK, 0, 0, 0, 300), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({9, 0, 0, 0, 0, PKT_GET, CMD_SAMPLE_BLOCK, 0x2C, 0x01}));
    EXPECT_EQ(SendRequestWord(Held(), CMD_MINMAX_BLOCK, 0, 0, 0, 32767), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({9, 0, 0, 0, 0, PKT_GET, CMD_MINMAX_BLOCK, 0xFF, 0x7F}));
}

TEST_F(BuildersTest, ACancelEndsEveryRequestOfItsJobAndNoneOfTheNext) {
    Held().Cancel();
    EXPECT_EQ(SendCommand(Held(), CMD_RESTART_PROCESSES, 0, 0, 0), SEND_CANCELLED);
    EXPECT_EQ(SendRequest(Held(), CMD_BUFFER_DUMP, 0, 0, 0), SEND_CANCELLED) << "no request clears it";
    jobHold.reset();
    const LinkHold next;
    EXPECT_EQ(SendRequest(next, CMD_BUFFER_DUMP, 0, 0, 0), SEND_OK);
}

TEST_F(BuildersTest, RawFleetSyncGoesToTheLocalModuleBetweenStxAndEtx) {
    linkState().StationAddress[0] = 4;  // the selected station does not matter
    linkState().StationAddress[2] = 3;
    linkState().PacketId = 7;
    EXPECT_EQ(SendFleetSyncRaw(Held(), QByteArray("A\xE9")), SEND_OK);
    EXPECT_EQ(Sent(), WithChecksum({12, 0, 0, 0, 0, PKT_SET, CMD_FLEETSYNC_RAW, 2, 2, 'A', 0xE9, 3}));

    const QByteArray longest(FLEETSYNC_RAW_MAX, 'x');
    EXPECT_EQ(SendFleetSyncRaw(Held(), longest), SEND_OK);
    ASSERT_EQ(Sent().size(), FLEETSYNC_RAW_MAX + 11);
    EXPECT_EQ(uint8_t(Sent()[0]), 255);
    EXPECT_EQ(Sent().mid(9, FLEETSYNC_RAW_MAX), longest);

    // One more does not fit the length byte: nothing goes out.
    const qsizetype writes = port->writes.size();
    EXPECT_EQ(SendFleetSyncRaw(Held(), longest + 'x'), SEND_REFUSED);
    EXPECT_EQ(port->writes.size(), writes);
}

} // namespace

#include "link/linkstate.h"
#include "model/taskblock.h"
#include "control/taskblockio.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include <algorithm>

using namespace korvel;
using namespace korvel::test;

namespace {

// A received task block's data: the first count bytes of records (192 put the checksum
// right behind the 32 records).
bool LoadTask(const QByteArray& records, int count = 192) {
    return LoadTaskBlock(reinterpret_cast<const uint8_t*>(records.constData()), std::min(count, int(records.size())));
}

// Every byte distinct, so a misplaced copy shows; stations only where a test puts them.
QByteArray Records() {
    QByteArray r(192, '\0');
    for (int i = 0; i < 192; ++i) r[i] = (i % 6 == 1 || i % 6 == 5) ? 0 : char((i * 7 + 3) & 255);
    return r;
}

QByteArray BlockEntries() { return QByteArray(reinterpret_cast<const char*>(taskState().TaskTable), 192); }

using TaskBlockTest = LinkFixture;

TEST_F(TaskBlockTest, ReplyFillsEntriesZeroToThirtyOneOnlyWhenWhole) {
    taskState().TaskTable[32][2] = 0x77;
    EXPECT_FALSE(LoadTask(Records(), 191));  // the last record would end on the checksum
    EXPECT_EQ(BlockEntries(), QByteArray(192, '\0'));
    EXPECT_TRUE(LoadTask(Records()));
    EXPECT_EQ(BlockEntries(), Records());
    EXPECT_EQ(taskState().TaskTable[32][2], 0x77);
}

TEST_F(TaskBlockTest, UnpackCountsChoosableStationsNotRecords) {
    QByteArray r = Records();
    const int pairs[][2] = {{12, 5}, {3, 64}, {12, 7}, {40, 0}, {255, 2}};
    for (int e = 0; e < 5; ++e) r[6 * e + 1] = char(pairs[e][0]), r[6 * e + 5] = char(pairs[e][1]);
    ASSERT_TRUE(LoadTask(r));
    StationOutputs outputs{};
    outputs[99] = 4;  // left from an earlier read
    EXPECT_EQ(UnpackTaskStations(outputs), 2);
    EXPECT_EQ(TaskStationCount(outputs), 3);
    EXPECT_EQ(TaskBlockProblem(), QString());
    r[6 * 7 + 1] = char(9), r[6 * 7 + 5] = char(65);
    ASSERT_TRUE(LoadTask(r));
    EXPECT_EQ(TaskBlockProblem(),
              "The module's task gives station 009 output 65; outputs are 0 to 64. The task was not loaded.");
    // Station 12 named twice: the later record wins.
    EXPECT_EQ(QList<int>({outputs[11], outputs[2], outputs[254], outputs[99]}), QList<int>({7, 64, 2, 0}));
}

TEST_F(TaskBlockTest, WrittenBackUnchangedKeepsUninterpretedBytes) {
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    port->onWrite = [port](const QByteArray& w) { port->Feed(WithChecksum({6, 0, uint8_t(w[1]), 0, 0, PKT_ACK})); };
    QByteArray r = Records();
    r[1] = char(200), r[5] = char(8), r[7] = char(5), r[11] = char(1);  // module order: 200, then 5
    ASSERT_TRUE(LoadTask(r));
    StationOutputs outputs{};
    UnpackTaskStations(outputs);
    EXPECT_EQ(PackTaskStations(outputs, taskState().TaskTable[0][TASK_PERIOD_MINUTES]), 0);
    linkState().StationAddress[0] = 12;
    linkState().StationAddress[2] = 3;
    EXPECT_EQ(UpLoadTaskBlock(), SEND_OK);
    QByteArray expected = Bytes({201, 12, 0, 3, 0, PKT_SET, CMD_TASK_BLOCK}) + r + Bytes({0, 0});
    expected[7 + 1] = char(5), expected[7 + 5] = char(1), expected[7 + 7] = char(200), expected[7 + 11] = char(8);
    unsigned sum = 0;
    for (char c : expected) sum += uint8_t(c);
    ASSERT_EQ(port->writes.size(), 1);
    EXPECT_EQ(port->writes[0], expected + char(255 - (sum & 255)));
}

TEST_F(TaskBlockTest, BlockBytesAreTheRecordsThenTwoZerosInABufferTheyFit) {
    ASSERT_TRUE(LoadTask(Records()));
    QByteArray data(TASK_BLOCK_BYTES + 1, char(0xEE));
    uint8_t* d = reinterpret_cast<uint8_t*>(data.data());
    EXPECT_FALSE(BuildTaskBlock(d, TASK_BLOCK_BYTES - 1));
    EXPECT_EQ(data, QByteArray(TASK_BLOCK_BYTES + 1, char(0xEE))) << "nothing written";
    ASSERT_TRUE(BuildTaskBlock(d, TASK_BLOCK_BYTES));
    EXPECT_EQ(data, Records() + Bytes({0, 0, 0xEE}));
}

TEST_F(TaskBlockTest, StationsBeyondThirtyTwoAreLeftOutNotWrittenPastTheBlock) {
    for (auto& e : taskState().TaskTable) e[TASK_STATION] = e[TASK_OUTPUT] = 0x55;
    StationOutputs outputs{};
    for (int s = 1; s <= 40; ++s) outputs[s - 1] = 1;
    outputs[254] = 2;
    outputs[100] = 300;  // does not fit a byte
    EXPECT_EQ(PackTaskStations(outputs, 300), 10);
    EXPECT_EQ(taskState().TaskTable[0][TASK_PERIOD_MINUTES], 255);
    EXPECT_EQ(taskState().TaskTable[31][TASK_STATION], 32);
    EXPECT_EQ(taskState().TaskTable[32][TASK_STATION], 0);
}

} // namespace

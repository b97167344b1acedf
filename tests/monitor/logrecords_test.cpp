#include "link/linkstate.h"
#include "monitor/loggerdata.h"
#include "monitor/logrecords.h"
#include "support/linkfixture.h"

using namespace korvel;
using namespace korvel::test;

namespace {

// A block reply: Length 9 + record bytes, start index low byte first, then the records.
void PutBlock(int command, int start, const QByteArray& records) {
    QByteArray f = Bytes({9 + int(records.size()), 0, 0, 0, 0, PKT_REPLY, command, start & 255, start >> 8}) + records;
    unsigned sum = 0;
    for (char c : f) sum += uint8_t(c);
    PutRx(f + char(255 - (sum & 255)));
}

QByteArray Pattern(int n) {
    QByteArray r(n, '\0');
    for (int i = 0; i < n; ++i) r[i] = char((5 + 13 * i) & 255);
    return r;
}

QByteArray Sample(int index) { return QByteArray(reinterpret_cast<const char*>(loggerData().SampleLog[index].Bytes), 4); }

using LogRecordsTest = LinkFixture;

TEST_F(LogRecordsTest, SampleRecordsKeptAsReceivedWithinTheTable) {
    PutBlock(CMD_SAMPLE_BLOCK, 6940, Bytes({0xFF, 0x23, 0x34, 0x12}) + Pattern(240));  // 61 records, Length 253
    ASSERT_TRUE(SaveSampleLog());
    const SampleRecord& r = loggerData().SampleLog[6940];
    EXPECT_EQ(QList<int>({r.ChannelCode(), r.Value(), r.Serial()}), QList<int>({2, 1023, 0x1234}));
    EXPECT_EQ(Sample(7000), Pattern(240).right(4));  // the last index
    const auto refused = [](int command, int start, const QByteArray& records) {
        PutBlock(command, start, records);
        return !SaveSampleLog();
    };
    EXPECT_TRUE(refused(CMD_SAMPLE_BLOCK, 6999, Pattern(12)));  // one past the table
    EXPECT_TRUE(refused(CMD_SAMPLE_BLOCK, 65535, Pattern(4)));
    EXPECT_TRUE(refused(CMD_SAMPLE_BLOCK, 0, Pattern(6)));      // a part record
    EXPECT_TRUE(refused(CMD_MINMAX_BLOCK, 0, Pattern(44)));     // not a sample block
    EXPECT_FALSE(refused(CMD_SAMPLE_BLOCK, 65535, QByteArray()));  // no records: nothing to store
    EXPECT_EQ(Sample(0), QByteArray(4, '\0'));
    EXPECT_EQ(Sample(6999), Pattern(240).mid(232, 4));
}

TEST_F(LogRecordsTest, MinMaxRecordFieldsWithinTheTable) {
    PutBlock(CMD_MINMAX_BLOCK, 2544, Bytes({1, 120, 0, 0x5C, 0x03, 14, 5, 0, 7, 12, 16,
                                            0x8F, 0xFF, 0xFF, 0x00, 0x80, 1, 2, 3, 4, 5, 99}));
    ASSERT_TRUE(SaveMinMaxLog());
    const MinMaxRecord& a = loggerData().MinMaxLog[2544];
    EXPECT_EQ(QList<int>({a.Channel, a.Value1, a.Value2, a.Time1, a.Time2, a.Time3, a.Time4, a.Time5, a.Year}),
              QList<int>({1, 120, 860, 14, 5, 0, 7, 12, 16}));
    const MinMaxRecord& b = loggerData().MinMaxLog[2545];
    EXPECT_EQ(QList<int>({b.Channel, b.Value1, b.Value2, b.Year}), QList<int>({0x8F, 65535, 32768, 99}));
    PutBlock(CMD_MINMAX_BLOCK, 2537, Pattern(110));  // ten records from 2537: one too many
    EXPECT_FALSE(SaveMinMaxLog());
    PutBlock(CMD_MINMAX_BLOCK, 0, Pattern(12));  // a record and a part
    EXPECT_FALSE(SaveMinMaxLog());
    EXPECT_EQ(loggerData().MinMaxLog[2537].Channel, 0);
    EXPECT_EQ(loggerData().MinMaxLog[0].Channel, 0);
}

} // namespace

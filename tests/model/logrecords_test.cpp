#include "model/loggerdata.h"
#include "model/logrecords.h"
#include "support/modelfixture.h"

using namespace korvel;
using namespace korvel::test;

namespace {

// A block's data as the reply carries it: the start index, low byte first, then the records.
QByteArray Block(int start, const QByteArray& records) { return Bytes({start & 255, start >> 8}) + records; }

const uint8_t* Data(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

bool SaveSamples(int start, const QByteArray& records) {
    const QByteArray b = Block(start, records);
    return SaveSampleLog(Data(b), int(b.size()));
}

bool SaveMinMax(int start, const QByteArray& records) {
    const QByteArray b = Block(start, records);
    return SaveMinMaxLog(Data(b), int(b.size()));
}

QByteArray Pattern(int n) {
    QByteArray r(n, '\0');
    for (int i = 0; i < n; ++i) r[i] = char((5 + 13 * i) & 255);
    return r;
}

QByteArray Sample(int index) { return QByteArray(reinterpret_cast<const char*>(loggerData().SampleLog[index].Bytes), 4); }

using LogRecordsTest = ModelFixture;

TEST_F(LogRecordsTest, SampleRecordsKeptAsReceivedWithinTheTable) {
    ASSERT_TRUE(SaveSamples(6940, Bytes({0xFF, 0x23, 0x34, 0x12}) + Pattern(240)));  // 61 records
    const SampleRecord& r = loggerData().SampleLog[6940];
    EXPECT_EQ(QList<int>({r.ChannelCode(), r.Value(), r.Serial()}), QList<int>({2, 1023, 0x1234}));
    EXPECT_EQ(Sample(7000), Pattern(240).right(4));  // the last index
    EXPECT_FALSE(SaveSamples(6999, Pattern(12)));  // one past the table
    EXPECT_FALSE(SaveSamples(65535, Pattern(4)));
    EXPECT_FALSE(SaveSamples(0, Pattern(6)));      // a part record
    const QByteArray cut = Block(0, Pattern(4));
    EXPECT_FALSE(SaveSampleLog(Data(cut), 1)) << "shorter than its start index";
    EXPECT_TRUE(SaveSamples(65535, QByteArray()));  // no records: nothing to store
    EXPECT_EQ(Sample(0), QByteArray(4, '\0'));
    EXPECT_EQ(Sample(6999), Pattern(240).mid(232, 4));
}

TEST_F(LogRecordsTest, MinMaxRecordFieldsWithinTheTable) {
    ASSERT_TRUE(SaveMinMax(2544, Bytes({1, 120, 0, 0x5C, 0x03, 14, 5, 0, 7, 12, 16,
                                        0x8F, 0xFF, 0xFF, 0x00, 0x80, 1, 2, 3, 4, 5, 99})));
    const MinMaxRecord& a = loggerData().MinMaxLog[2544];
    EXPECT_EQ(QList<int>({a.Channel, a.Value1, a.Value2, a.Time1, a.Time2, a.Time3, a.Time4, a.Time5, a.Year}),
              QList<int>({1, 120, 860, 14, 5, 0, 7, 12, 16}));
    const MinMaxRecord& b = loggerData().MinMaxLog[2545];
    EXPECT_EQ(QList<int>({b.Channel, b.Value1, b.Value2, b.Year}), QList<int>({0x8F, 65535, 32768, 99}));
    EXPECT_FALSE(SaveMinMax(2537, Pattern(110)));  // ten records from 2537: one too many
    EXPECT_FALSE(SaveMinMax(0, Pattern(12)));      // a record and a part
    EXPECT_EQ(loggerData().MinMaxLog[2537].Channel, 0);
    EXPECT_EQ(loggerData().MinMaxLog[0].Channel, 0);
}

TEST_F(LogRecordsTest, ABlockIsMeasuredOnlyAgainstTheReadOfItsOwnLog) {
    LoggerBlockRequest& request = loggerData().BlockRequest;
    request = LoggerBlockRequest{LoggerLog::Sample, 40, 2, 0};
    EXPECT_FALSE(SaveSamples(0, Pattern(8))) << "not where the read asked";
    EXPECT_FALSE(SaveSamples(40, Pattern(12))) << "more than asked";
    EXPECT_TRUE(SaveMinMax(0, Pattern(11))) << "the other log's block";
    EXPECT_EQ(request.Received, 0);
    EXPECT_TRUE(SaveSamples(40, Pattern(4)));
    EXPECT_EQ(request.Received, 1);
}

} // namespace

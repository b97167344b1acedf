#include "model/target.h"
#include "link/linkstate.h"
#include "model/loggerdata.h"
#include "control/settingwrites.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

using namespace korvel;
using namespace korvel::test;

namespace {

// The frames that write the model's clock and logger timers back, against an in-memory
// port that acknowledges every frame: what was written is what went out.
class SettingWritesTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        port = OpenAcknowledgingPort();
        ASSERT_NE(port, nullptr);
    }
    QByteArray Sent() const { return port->writes.isEmpty() ? QByteArray() : port->writes.last(); }
    MemorySerialPort* port = nullptr;
};

TEST_F(SettingWritesTest, LoggerTimersAreThreeBytesLittleEndianThenSettingBytes) {
    auto& d = loggerData();
    d.LoggerTimers[0] = 384;
    d.LoggerTimers[1] = 1 * 65536 + 17 * 256 + 112;
    d.LoggerTimers[8] = 0xFFFFFF;
    for (int i = 0; i < 25; ++i) d.LoggerSettingBytes[i] = uint8_t(100 + i);
    EXPECT_EQ(SendLoggerTimers(Held(), 0, 0, 0), SEND_OK);
    const QByteArray f = Sent();
    ASSERT_EQ(f.size(), 60);
    EXPECT_EQ(uint8_t(f[0]), 59);
    EXPECT_EQ(uint8_t(f[6]), CMD_LOGGER_TIMERS);
    EXPECT_EQ(f.mid(7, 3), Bytes({0x80, 0x01, 0x00}));
    EXPECT_EQ(f.mid(10, 3), Bytes({0x70, 0x11, 0x01}));
    EXPECT_EQ(f.mid(31, 3), Bytes({0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(uint8_t(f[34]), 100);
    EXPECT_EQ(uint8_t(f[58]), 124);
    EXPECT_TRUE(FrameChecksumGood(reinterpret_cast<const uint8_t*>(f.constData()), 59));
}

TEST_F(SettingWritesTest, SetDateTimeSendsYearMinus2000ToCurrentStation) {
    linkState().StationAddress[0] = 4;
    linkState().StationAddress[2] = 3;
    target().ModuleClock = {31, 12, 2024, 23, 59, 58};
    EXPECT_EQ(SendSetDateTime(Held()), SEND_OK);
    const QByteArray f = Sent();
    ASSERT_EQ(f.size(), 14);
    EXPECT_EQ(f.left(7), Bytes({13, 4, 0, 3, 0, PKT_SET, CMD_DATE_TIME}));
    EXPECT_EQ(f.mid(7, 6), Bytes({0x1F, 0x0C, 0x18, 0x17, 0x3B, 0x3A}));
}

} // namespace

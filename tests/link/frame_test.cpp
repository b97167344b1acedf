#include "link/frame.h"
#include "link/linkstate.h"
#include "support/basefixture.h"
#include "support/putrx.h"

using namespace korvel;
using namespace korvel::test;

namespace {

class FrameTest : public BaseFixture {
protected:
    void SetUp() override {
        BaseFixture::SetUp();
        ResetLinkState();
    }
};

TEST_F(FrameTest, TxChecksumOfStopProcessesFrame) {
    QByteArray frame("\x07\x00\x00\x00\x00\x01\x86", 7);
    int16_t n = 7;
    AppendTxChecksum(frame, n);
    ASSERT_EQ(frame.size(), 8) << "the frame grows to hold its checksum";
    EXPECT_EQ(uint8_t(frame[7]), 0x71);
    EXPECT_EQ(n, 6) << "the caller's copy of the Length ends one lower";
}

TEST_F(FrameTest, TxChecksumWrapsModulo256) {
    QByteArray t(10, char(0xF0));
    t[0] = 9;
    int16_t n = 9;
    AppendTxChecksum(t, n);
    unsigned sum = 0;
    for (int i = 0; i <= 9; ++i) sum += uint8_t(t[i]);
    EXPECT_EQ(sum % 256, 255u);
}

TEST_F(FrameTest, TxChecksumOfEmptyFrameIsAll255) {
    QByteArray t;
    int16_t n = 0;
    AppendTxChecksum(t, n);
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(uint8_t(t[0]), 255);
}

TEST_F(FrameTest, RxChecksumAcceptsAnyFrameSummingTo255AndRejectsOneByteOff) {
    const QByteArray good = WithChecksum({8, 0, 5, 3, 0, 2, 0x81, 0x42});
    for (int pos = 0; pos < good.size(); ++pos) {
        PutRx(good);
        EXPECT_EQ(RxChecksumBad(), 0);
        QByteArray bad = good;
        bad[pos] = char(static_cast<uint8_t>(bad[pos]) ^ 0x01);
        if (pos == 0) continue;  // a changed Length reads a different span; tested below
        PutRx(bad);
        EXPECT_EQ(RxChecksumBad(), 1) << "byte " << pos;
    }
}

TEST_F(FrameTest, RxLengthZeroIsAlwaysBad) {
    // 0 followed by 255 would "sum to 255" if the Length byte were not checked.
    PutRx(Bytes({0, 255}));
    EXPECT_EQ(RxChecksumBad(), 1);
    PutRx(Bytes({0, 0}));
    EXPECT_EQ(RxChecksumBad(), 1);
}

TEST_F(FrameTest, HexDigitsAreUpperCaseWithoutSeparators) {
    EXPECT_EQ(NibbleToHexChar(0), '0');
    EXPECT_EQ(NibbleToHexChar(9), '9');
    EXPECT_EQ(NibbleToHexChar(10), 'A');
    EXPECT_EQ(NibbleToHexChar(15), 'F');
    const uint8_t bytes[] = {0xAB, 0x05, 0x00, 0xFF};
    EXPECT_EQ(HexOf(bytes, 4), QByteArray("AB0500FF"));
    EXPECT_EQ(HexOf(bytes, 0), QByteArray());
}

} // namespace

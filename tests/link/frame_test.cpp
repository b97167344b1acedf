#include "link/frame.h"
#include "link/linkstate.h"
#include "support/basefixture.h"

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
    EXPECT_TRUE(FrameChecksumGood(good));
    for (int pos = 0; pos < good.size(); ++pos) {
        QByteArray bad = good;
        bad[pos] = char(static_cast<uint8_t>(bad[pos]) ^ 0x01);
        if (pos == 0) continue;  // a changed Length reads a different span; tested below
        EXPECT_FALSE(FrameChecksumGood(bad)) << "byte " << pos;
    }
    // The Length byte decides the span: bytes after the checksum are not summed, and a
    // frame cut short of its checksum is bad even when what came sums to 255.
    EXPECT_TRUE(FrameChecksumGood(good + char(0x37)));
    QByteArray cut = good.left(good.size() - 1);
    cut[1] = char(uint8_t(cut[1]) + uint8_t(good.back()));
    EXPECT_FALSE(FrameChecksumGood(cut));
    EXPECT_FALSE(FrameChecksumGood(QByteArray()));
}

TEST_F(FrameTest, RxLengthZeroIsAlwaysBad) {
    // 0 followed by 255 would "sum to 255" if the Length byte were not checked.
    EXPECT_FALSE(FrameChecksumGood(Bytes({0, 255})));
    EXPECT_FALSE(FrameChecksumGood(Bytes({0, 0})));
}

// A frame is read only as far as it came: its Length byte cannot send a reader past it.
TEST_F(FrameTest, AReceivedFrameIsReadNoFurtherThanItCame) {
    const RxFrame whole(Bytes({7, 0, 5, 3, 0, 2, 0x81, 0xAA}));
    EXPECT_EQ(whole.Length(), 7);
    EXPECT_EQ(whole[6], 0x81);
    EXPECT_EQ(whole[7], 0xAA);
    EXPECT_EQ(whole[8], 0) << "past the checksum";
    EXPECT_EQ(whole[-1], 0);

    const RxFrame claimsMore(Bytes({40, 0, 5, 3, 0, 2, 0x81, 0x42, 0x43}));
    EXPECT_EQ(claimsMore.Length(), 8) << "no checksum beyond the last byte that came";
    EXPECT_EQ(claimsMore[9], 0);
    EXPECT_EQ(RxFrame(Bytes({7, 0, 5, 3, 0, 2, 0x81, 0xAA, 0x55})).Length(), 7) << "a byte after it is not its checksum";

    const RxFrame header(Bytes({2, 0, 5}));
    EXPECT_EQ(header.Length(), 2);
    EXPECT_EQ(header[FRAME_PACKET_TYPE], 0);
    EXPECT_EQ(header.At(FRAME_DATA)[0], 0) << "a short frame still has room up to its first data byte";
    EXPECT_EQ(RxFrame(QByteArray()).Length(), 0);
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

#include "model/blocks.h"
#include "link/transaction.h"
#include "model/model.h"
#include "model/target.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "control/configblocks.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include <QRandomGenerator>
#include <array>

using namespace korvel;
using namespace korvel::test;

namespace {

// Blocks against an in-memory port that acknowledges every frame: what a builder
// wrote is what the module would receive, and a reply handed to the dispatcher is what the
// module sent.
class BlocksTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        port = OpenAcknowledgingPort();
        ASSERT_NE(port, nullptr);
    }
    // The block as sent: the whole frame with its checksum.
    QByteArray Send(int code, int index) {
        const int16_t r = code == CMD_CFG_NMEA ? SendNmeaConfig(Held(), 0, 0, 0) : SendConfigBlock(Held(), code, 0, 0, 0, index);
        EXPECT_EQ(r, SEND_OK);
        return port->writes.isEmpty() ? QByteArray() : port->writes.last();
    }
    // Data bytes 7 .. L-1 of the block as sent.
    QByteArray SendData(int code, int index) {
        const QByteArray f = Send(code, index);
        return f.mid(7, uint8_t(f[0]) - 7);
    }
    // Dispatches a reply carrying data (bytes 7 ..) as the answer
    // to a waiting request; true when it was stored.
    bool Receive(int code, const QByteArray& data) {
        QByteArray f = Bytes({0, 0, 0, 0, 0, PKT_REPLY, code});
        f.append(data);
        f[0] = char(f.size());
        f.append(char(0));
        Transaction waiting(QByteArray(), TX_WAIT_REPLY);
        waiting.Open();
        ProcessRxPacket(f);
        return waiting.State == TX_REPLY_RECEIVED;
    }
    MemorySerialPort* port = nullptr;
};

TEST_F(BlocksTest, SystemBlockRoundsHalvesToEvenAndAlwaysCarries61Elements) {
    config().SystemConfig[7] = 3.5;
    config().SystemConfig[8] = 2.5;
    config().SystemConfig[9] = 2.4999;
    config().SystemConfig[60] = 255;
    config().SystemConfig[61] = 99;  // only a longer reply fills these; never sent
    config().SystemBlockTrailer = 0x1234;
    const QByteArray f = Send(CMD_CFG_SYSTEM, 6);
    ASSERT_EQ(f.size(), 72);
    EXPECT_EQ(uint8_t(f[0]), 71);
    EXPECT_EQ(uint8_t(f[7]), 6) << "the index argument travels unchanged";
    EXPECT_EQ(uint8_t(f[8 + 7]), 4);
    EXPECT_EQ(uint8_t(f[8 + 8]), 2);
    EXPECT_EQ(uint8_t(f[8 + 9]), 2);
    EXPECT_EQ(uint8_t(f[8 + 43]), 0) << "elements never read travel as 0";
    EXPECT_EQ(uint8_t(f[68]), 255);
    EXPECT_EQ(f.mid(69, 2), Bytes({0x34, 0x12}));
}

TEST_F(BlocksTest, SystemValueThatDoesNotFitAByteIsNotSent) {
    config().SystemConfig[3] = 255.5;  // rounds to 256
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_SYSTEM, 0, 0, 0, 0), SEND_REFUSED);
    config().SystemConfig[3] = -1;
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_SYSTEM, 0, 0, 0, 0), SEND_REFUSED);
    EXPECT_TRUE(port->writes.isEmpty());
}

TEST_F(BlocksTest, LongerSystemReplyFillsElementsBeyondTheBlockButNeverMore) {
    QByteArray data(1, char(0));
    for (int i = 0; i < 100; ++i) data.append(char(i + 1));  // elements 0 .. 97 and the trailer
    ASSERT_TRUE(Receive(CMD_CFG_SYSTEM, data));
    EXPECT_EQ(config().SystemConfig[97], 98);
    EXPECT_EQ(config().SystemBlockTrailer, 99 + 256 * 100);
    EXPECT_EQ(SendData(CMD_CFG_SYSTEM, 0).size(), 64) << "the block sent is always the standard one";

    QByteArray tooLong(1, char(0));
    tooLong.append(QByteArray(170, char(7)));
    config().SystemConfig[0] = 1;
    EXPECT_FALSE(Receive(CMD_CFG_SYSTEM, tooLong)) << "elements above 161 cannot be stored";
    EXPECT_EQ(config().SystemConfig[0], 1) << "nothing stored";
    EXPECT_FALSE(Receive(CMD_CFG_SYSTEM, QByteArray(40, char(7)))) << "a short block would send stale elements back";
    EXPECT_EQ(config().SystemConfig[0], 1);
}

TEST_F(BlocksTest, GroupBlocksCarryTheirGroupAndTrailer) {
    config().ContactInputTable[3].BlockTrailer = 0x1234;
    const QByteArray in = Send(CMD_CFG_INPUTS, 3);
    ASSERT_EQ(in.size(), 115) << "checksum in byte 114";
    EXPECT_EQ(uint8_t(in[7]), 3);
    EXPECT_EQ(in.mid(112, 2), Bytes({0x34, 0x12}));
    const QByteArray out = Send(CMD_CFG_OUTPUTS, 5);
    ASSERT_EQ(out.size(), 27);
    EXPECT_EQ(out.mid(24, 2), Bytes({0, 0})) << "a trailer never received";
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_INPUTS, 0, 0, 0, 8), SEND_REFUSED) << "no group 8";
    EXPECT_EQ(SendConfigBlock(Held(), CMD_RESET_NVR_IO, 0, 0, 0, 0), SEND_REFUSED) << "not a block";
}

TEST_F(BlocksTest, ARefusedBlockSendsNothing) {
    config().SystemConfig[3] = 256;
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_SYSTEM, 0, 0, 0, 0), SEND_REFUSED);
    EXPECT_EQ(SendConfigBlock(Held(), CMD_CFG_FLEETSYNC, 0, 0, 0, 5), SEND_REFUSED) << "no FleetSync part 5";
    EXPECT_TRUE(port->writes.isEmpty());
}

// The model's side alone: builders write into the buffer they are given, parsers read
// the bytes they are given, and neither reaches past them.
TEST_F(BlocksTest, BuildersWriteOnlyIntoABufferTheBlockFits) {
    std::array<uint8_t, CONFIG_BLOCK_MAX_BYTES + 1> data;
    data.fill(0xEE);
    config().OutputConfigTable[2].BlockTrailer = 0x1234;
    EXPECT_FALSE(BuildOutputBlock(2, data.data(), OUTPUT_BLOCK_BYTES - 1));
    EXPECT_FALSE(BuildOutputBlock(GROUPS, data.data(), int(data.size())));
    EXPECT_FALSE(BuildFleetSyncBlock(1, data.data(), FLEETSYNC_TAGS_BYTES - 1));
    EXPECT_EQ(data[0], 0xEE) << "nothing written";
    ASSERT_TRUE(BuildOutputBlock(2, data.data(), OUTPUT_BLOCK_BYTES));
    EXPECT_EQ(data[0], 2) << "the group is the block's first byte";
    EXPECT_EQ(data[17], 0x34);
    EXPECT_EQ(data[18], 0x12);
    EXPECT_EQ(data[OUTPUT_BLOCK_BYTES], 0xEE) << "nothing past the block";
    EXPECT_EQ(FleetSyncBlockBytes(0), FLEETSYNC_SETTINGS_BYTES);
    EXPECT_EQ(FleetSyncBlockBytes(4), FLEETSYNC_TAGS_BYTES);
    EXPECT_EQ(FleetSyncBlockBytes(-1), 0);
}

TEST_F(BlocksTest, ParsersGivenFewerBytesThanTheLayoutStoreNothing) {
    std::array<uint8_t, SYSTEM_REPLY_MAX_BYTES + 1> data;
    data.fill(9);
    data[0] = 1;
    config().OutputConfigTable[1].Flags[0] = 0x40;
    EXPECT_EQ(ParseOutputBlock(data.data(), OUTPUT_BLOCK_BYTES - 1), ParseResult::TooShort);
    EXPECT_EQ(config().OutputConfigTable[1].Flags[0], 0x40);
    EXPECT_EQ(ParseOutputBlock(data.data(), OUTPUT_BLOCK_BYTES), ParseResult::Ok);
    EXPECT_EQ(config().OutputConfigTable[1].Flags[0], 9);
    EXPECT_EQ(ParseSystemBlock(data.data(), SYSTEM_BLOCK_BYTES - 1), ParseResult::TooShort);
    EXPECT_EQ(ParseSystemBlock(data.data(), SYSTEM_REPLY_MAX_BYTES + 1), ParseResult::BadIndex);
    EXPECT_EQ(ParseFleetSyncBlock(data.data(), 0), ParseResult::TooShort) << "not even the part byte";
    EXPECT_EQ(ParseNmeaBlock(data.data(), -1), ParseResult::TooShort);
    data[0] = GROUPS;
    EXPECT_EQ(ParseAnalogBlock(data.data(), ANALOG_BLOCK_BYTES), ParseResult::BadIndex);
    // A text runs to the end of the bytes given when its field has no NUL.
    EXPECT_EQ(GetBlockString(data.data(), 4, 1, NAME_FIELD_WIDTH), QByteArray(3, char(9)));
}

TEST_F(BlocksTest, OffsetCodes) {
    EXPECT_EQ(OffsetToCode(-1), 33);
    EXPECT_EQ(OffsetToCode(-31), 63);
    EXPECT_EQ(OffsetToCode(32), 32);
    EXPECT_EQ(CodeToOffset(33), -1);
    for (int x = -31; x <= 32; ++x) EXPECT_EQ(CodeToOffset(OffsetToCode(x)), x);
}

TEST_F(BlocksTest, KorvelAnalogPacking) {
    AnalogGroupRecord& a = config().AnalogConfigTable[1];
    a.Offset[2] = 5;
    a.Modifier[2] = 0x2C;
    a.Qualifier[2] = 0x77;  // a Korvel has no room for it
    a.HighThreshold[2] = 1024;
    a.LowThreshold[2] = 0x3FF;
    const QByteArray f = Send(CMD_CFG_ANALOGS, 1);
    EXPECT_EQ(uint8_t(f[168 + 2]), 20);
    EXPECT_EQ(uint8_t(f[160 + 2]), 0xB0);
    EXPECT_EQ(f.mid(88 + 4, 2), Bytes({0, 0})) << "1024 does not fit ten bits";
    EXPECT_EQ(f.mid(16 + 4, 2), Bytes({0xFF, 0x03}));

    QByteArray reply = f.mid(7, 171);
    reply[8 + 2 - 7] = char(0x10);  // Flags: bits 3-4 = 2
    ASSERT_TRUE(Receive(CMD_CFG_ANALOGS, reply));
    EXPECT_EQ(a.Qualifier[2], 0xB0);
    EXPECT_EQ(a.Modifier[2], 2 + 44);
    EXPECT_EQ(a.Offset[2], 5);
    EXPECT_EQ(a.HighThreshold[2], 0);
}

TEST_F(BlocksTest, PellarAnalogPacking) {
    target().PellarDevice = true;
    AnalogGroupRecord& a = config().AnalogConfigTable[0];
    a.LowThreshold[0] = 0x2FF;
    a.Offset[0] = -2;
    a.HighThreshold[0] = 0x1FF;
    a.Modifier[0] = 0x2C;
    a.Qualifier[0] = 0x77;
    a.Reserved[0] = 0x99;
    const QByteArray f = Send(CMD_CFG_ANALOGS, 0);
    EXPECT_EQ(f.mid(16, 2), Bytes({0xFF, 0x8A}));
    EXPECT_EQ(f.mid(88, 2), Bytes({0xFF, 0x2D}));
    EXPECT_EQ(uint8_t(f[160]), 0x77);
    EXPECT_EQ(uint8_t(f[168]), 0x99);
    ASSERT_TRUE(Receive(CMD_CFG_ANALOGS, f.mid(7, 171)));
    EXPECT_EQ(a.Offset[0], -2);
    EXPECT_EQ(a.LowThreshold[0], 0x2FF);
    EXPECT_EQ(a.HighThreshold[0], 0x1FF);
    EXPECT_EQ(a.Modifier[0], 0x2C) << "0x2C: bits 0-1 from Flags (0), the rest from the high pair";
}

TEST_F(BlocksTest, FleetSyncNumbersAndTags) {
    FleetSyncSettings& fs = config().FleetSyncConfig;
    fs.FleetNumber[0] = 349;
    fs.IDNumber[0] = 4999;
    const QByteArray s0 = Send(CMD_CFG_FLEETSYNC, 0);
    ASSERT_EQ(s0.size(), 107);
    EXPECT_EQ(s0.mid(12, 2), Bytes({0x5D, 0x01}));
    EXPECT_EQ(s0.mid(18, 2), Bytes({0x87, 0x13}));
    EXPECT_EQ(s0.mid(104, 2), Bytes({0, 0})) << "bytes not carried go out as zero";

    fs.AnalogTag[0] = " Pump  ";
    fs.AnalogTag[1] = "";
    fs.AnalogTag[2] = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25 characters
    fs.AnalogTag[3] = "Tank";
    const QByteArray s3 = Send(CMD_CFG_FLEETSYNC, 3);
    ASSERT_EQ(s3.size(), 179);
    EXPECT_EQ(uint8_t(s3[7]), 3);
    EXPECT_EQ(s3.mid(8, 21), QByteArray(" Pump").append(QByteArray(16, 0))) << "trailing spaces dropped";
    EXPECT_EQ(s3.mid(29, 21), QByteArray(21, 0)) << "an empty tag is a single NUL";
    EXPECT_EQ(s3.mid(50, 21), QByteArray("ABCDEFGHIJKLMNOPQRST").append(char(0))) << "cut to its field";
    EXPECT_EQ(s3.mid(71, 5), QByteArray("Tank").append(char(0)));
    EXPECT_EQ(s3.mid(176, 2), Bytes({0, 0}));
}

TEST_F(BlocksTest, TagRepliesAreReadOnTheirBoundaries) {
    QByteArray data(1, char(3));
    QByteArray field0 = QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXY").left(21);  // no NUL in its field
    data.append(field0);
    data.append(QByteArray("Next").append(QByteArray(17, 0)));
    data.append(QByteArray(21 * 6 + 2, 0));
    config().FleetSyncConfig.InputTagOff[0] = "keep";
    ASSERT_TRUE(Receive(CMD_CFG_FLEETSYNC, data));
    EXPECT_EQ(config().FleetSyncConfig.AnalogTag[0], "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(config().FleetSyncConfig.AnalogTag[1], "Next");
    EXPECT_EQ(config().FleetSyncConfig.AnalogTag[2], "");
    EXPECT_EQ(config().FleetSyncConfig.InputTagOff[0], "keep") << "other lists untouched";
}

TEST_F(BlocksTest, NmeaStringsStayInTheirFields) {
    NmeaSettings& n = config().NmeaConfig;
    n.ReportTime = 60;
    n.Init1 = QByteArray(50, 'a');
    n.Init2 = "$PSRF103";
    n.Custom = "ABCDEFGHIJKL";  // 12 characters: fills its field
    const QByteArray f = Send(CMD_CFG_NMEA, 0);
    ASSERT_EQ(f.size(), 108);
    EXPECT_EQ(uint8_t(f[0]), 107);
    EXPECT_EQ(uint8_t(f[10]), 60);
    EXPECT_EQ(f.mid(12, 41), QByteArray(40, 'a').append(char(0)));
    EXPECT_EQ(f.mid(53, 9), QByteArray("$PSRF103").append(char(0)));
    EXPECT_EQ(f.mid(94, 13), QByteArray("ABCDEFGHIJKL").append(char(0)));

    // A reply whose Custom field has no NUL stops at the end of the frame.
    QByteArray reply = f.mid(7, 100);
    reply[99] = 'M';
    ASSERT_TRUE(Receive(CMD_CFG_NMEA, reply));
    EXPECT_EQ(n.Custom, "ABCDEFGHIJKLM");
    EXPECT_EQ(n.Init1, QByteArray(40, 'a'));
    EXPECT_FALSE(Receive(CMD_CFG_NMEA, reply.left(90))) << "a short block stores nothing";
}

// Every byte of every block, in both layouts: a reply read into the model and sent
// back is the same block, and a change to any one byte comes back as a change to that
// byte alone. A field parsed from one place and built into another, or two fields
// sharing a byte, shows here.
struct Layout {
    int code;
    int index;
    int length;
    bool pellar;
};

// Bits of data byte p (frame byte) that the model carries for this layout.
uint8_t CarriedBits(const Layout& l, int p) {
    if (l.code == CMD_CFG_ANALOGS && !l.pellar) {
        if (p >= 16 && p < 32 && p % 2 == 1) return 0x03;
        if (p >= 88 && p < 104 && p % 2 == 1) return 0x03;
        if (p >= 160 && p < 168) return 0xF0;
        if (p >= 168 && p < 176) return 0xFC;
    }
    if (l.code == CMD_CFG_TEMPS && ((p >= 16 && p < 32) || (p >= 88 && p < 104)) && p % 2 == 1) return 0x03;
    if (l.code == CMD_CFG_FLEETSYNC && l.index == 0 && p >= 104) return 0;
    if (p == 7) return 0;  // the index byte
    return 0xFF;
}

TEST_F(BlocksTest, EveryByteOfEveryBlockTravelsBothWaysUnchanged) {
    const Layout layouts[] = {
        {CMD_CFG_SYSTEM, 0, 71, false},  {CMD_CFG_INPUTS, 2, 114, false}, {CMD_CFG_OUTPUTS, 7, 26, false},
        {CMD_CFG_ANALOGS, 4, 178, false}, {CMD_CFG_ANALOGS, 1, 178, true}, {CMD_CFG_TEMPS, 0, 178, false},
        {CMD_CFG_FLEETSYNC, 0, 106, false},
    };
    QRandomGenerator rng(7);
    for (const Layout& l : layouts) {
        target().PellarDevice = l.pellar;
        QByteArray base(l.length - 7, 0);
        base[0] = char(l.index);
        for (int p = 8; p < l.length; ++p) base[p - 7] = char(rng.bounded(256) & CarriedBits(l, p));
        if (l.code == CMD_CFG_FLEETSYNC)  // 16-bit values the module keeps below 32768
            for (int p = 13; p < 104; p += 2) base[p - 7] = char(base[p - 7] & 0x7F);
        ASSERT_TRUE(Receive(l.code, base));
        ASSERT_EQ(SendData(l.code, l.index), base) << "code " << l.code;
        for (int p = 8; p < l.length; ++p) {
            const uint8_t bits = CarriedBits(l, p);
            if (!bits) continue;
            QByteArray changed = base;
            changed[p - 7] = char((uint8_t(base[p - 7]) ^ (bits & 0x55 ? bits & 0x55 : bits)) & bits);
            if (l.code == CMD_CFG_FLEETSYNC && p >= 12 && p % 2 == 1) changed[p - 7] = char(changed[p - 7] & 0x7F);
            if (changed == base) continue;
            ASSERT_TRUE(Receive(l.code, changed));
            ASSERT_EQ(SendData(l.code, l.index), changed) << "code " << l.code << " byte " << p;
        }
        ASSERT_TRUE(Receive(l.code, base));
    }
}

TEST_F(BlocksTest, BlockRepliesForMissingGroupsOrShortBlocksStoreNothing) {
    config().ContactInputTable[0].Flags[0] = 0x40;
    QByteArray data(107, char(0x11));
    data[0] = 8;
    EXPECT_FALSE(Receive(CMD_CFG_INPUTS, data)) << "group 8";
    data[0] = 0;
    EXPECT_FALSE(Receive(CMD_CFG_INPUTS, data.left(100))) << "short";
    EXPECT_EQ(config().ContactInputTable[0].Flags[0], 0x40);
    EXPECT_FALSE(Receive(CMD_CFG_OUTPUTS, QByteArray(1, char(9)).append(QByteArray(18, 0))));
    EXPECT_FALSE(Receive(CMD_CFG_TEMPS, QByteArray(100, 0)));
}

} // namespace

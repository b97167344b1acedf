#include "model/flashimage.h"
#include "support/modelfixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <string_view>

namespace korvel::test {
namespace {

class FlashImageTest : public ModelFixture {
protected:
    // Writes a firmware file and loads it.
    RomFile Load(const QByteArray& text) {
        const QString path = dir.filePath(QStringLiteral("korvel_test.rom"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        return LoadRomFile(path, [this] { ++headerAcceptedCalls; });
    }
    static QByteArray Header(uint16_t crc) {
        return "type=Korvel\nCRC16=" + QByteArray::number(crc) + "\n";
    }
    QTemporaryDir dir;
    int headerAcceptedCalls = 0;
};

uint16_t CrcOf(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> v(bytes);
    return CalcCrc16(v, 0, int32_t(v.size()) - 1);
}

TEST_F(FlashImageTest, Crc16IsXmodemOverAnInclusiveRange) {
    constexpr std::string_view check = "123456789";
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(check.data()), check.size());
    EXPECT_EQ(CalcCrc16(bytes, 0, 8), 0x31C3);
    EXPECT_EQ(CalcCrc16(bytes, 3, 2), 0);                       // empty range
    EXPECT_EQ(CalcCrc16(bytes, 0, 0), CalcCrc16(bytes.first(1), 0, 0));
    EXPECT_EQ(CalcCrc16(bytes, -5, 100), 0x31C3);               // cut to the array
}

TEST_F(FlashImageTest, WordsAreLittleEndianAndTheImageStartsErased) {
    EXPECT_EQ(GetImageWord(0x1FFFE), 0xFFFF);
    PutImageWord(0x1DFF8, 0x1234);
    EXPECT_EQ(FlashImage()[0x1DFF8], 0x34);
    EXPECT_EQ(FlashImage()[0x1DFF9], 0x12);
    EXPECT_EQ(GetImageWord(0x1DFF8), 0x1234);
    PutImageWord(0x1FFFF, 0);  // would straddle the end
    EXPECT_EQ(FlashImage()[0x1FFFF], 0xFF);
}

// A half page's data bytes 0, 1, 2, ..., with one byte more than a half page.
QByteArray PageData() {
    QByteArray data(FLASH_HALF_PAGE_BYTES + 1, '\0');
    for (int i = 0; i < data.size(); ++i) data[i] = char(i);
    return data;
}

bool StorePage(int32_t word, int count) {
    const QByteArray data = PageData();
    return StoreFlashPageReply(word, reinterpret_cast<const uint8_t*>(data.constData()), count);
}

// (That a reply is stored only for the page read waiting now is the dispatcher's check:
// tests/control/dispatch_test.cpp.)
TEST_F(FlashImageTest, HalfPageIsStoredOnlyWhenWholeAndInsideTheImage) {
    EXPECT_TRUE(StorePage(0x10, FLASH_HALF_PAGE_BYTES));
    EXPECT_EQ(FlashImage()[0x1F], 0xFF);
    EXPECT_EQ(FlashImage()[0x20], 0);
    EXPECT_EQ(FlashImage()[0x9F], 127);
    EXPECT_EQ(FlashImage()[0xA0], 0xFF);
    EXPECT_TRUE(StorePage(0xFFC0, FLASH_HALF_PAGE_BYTES));  // the last half page of the image
    EXPECT_EQ(FlashImage()[0x1FFFF], 127);

    ClearFlashImage();
    // Fewer or more bytes than a half page, a half page past either end: nothing lands.
    EXPECT_FALSE(StorePage(0x10, FLASH_HALF_PAGE_BYTES - 1));
    EXPECT_FALSE(StorePage(0x10, FLASH_HALF_PAGE_BYTES + 1));
    EXPECT_FALSE(StorePage(0xFFC1, FLASH_HALF_PAGE_BYTES));
    EXPECT_FALSE(StorePage(-1, FLASH_HALF_PAGE_BYTES));
    EXPECT_FALSE(StoreFlashPageReply(0x10, nullptr, FLASH_HALF_PAGE_BYTES));
    EXPECT_TRUE(std::all_of(FlashImage().begin(), FlashImage().end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(FlashImageTest, RecordsLoadLowByteAtTheEvenAddress) {
    FlashImage()[0] = 0;  // left over from an earlier load
    const RomFile f = Load(Header(CrcOf({0x34, 0x12})) + "bootver=2.1\r\nprevver=x\r\n000010:1234 trailing\r\n");
    ASSERT_EQ(f.result, RomLoadResult::Loaded) << f.message.toStdString() << f.detail.toStdString();
    EXPECT_EQ(headerAcceptedCalls, 1);
    EXPECT_EQ(FlashImage()[0x20], 0x34);
    EXPECT_EQ(FlashImage()[0x21], 0x12);
    EXPECT_EQ(FlashImage()[0], 0xFF);
    EXPECT_EQ(f.lowest, 0x20);
    EXPECT_EQ(f.highest, 0x20);
    EXPECT_EQ(f.requiredBootVersion, "2.1");
}

TEST_F(FlashImageTest, CrcCoversGapsAndLaterRecordsOverwrite) {
    std::vector<uint8_t> expected(0x22, 0xFF);
    expected[0] = 0x34; expected[1] = 0x12; expected[0x20] = 0xCD; expected[0x21] = 0xAB;
    const uint16_t crc = CalcCrc16(expected, 0, 0x21);
    const RomFile f = Load(Header(crc) + "000020:5555\n000010:1234\n000020:ABCD\n");
    ASSERT_EQ(f.result, RomLoadResult::Loaded);
    EXPECT_EQ(f.lowest, 0x20);
    EXPECT_EQ(f.highest, 0x40);
    EXPECT_EQ(f.imageCrc, crc);
    EXPECT_EQ(GetImageWord(0x40), 0xABCD);

    // The last word of the flash still loads; one more is beyond the image.
    EXPECT_EQ(Load(Header(CrcOf({0x00, 0x01})) + "00FFFF:0100\n").result, RomLoadResult::Loaded);
    EXPECT_EQ(FlashImage()[0x1FFFF], 0x01);
    EXPECT_EQ(Load(Header(0) + "010000:0100\n").result, RomLoadResult::WrongFormat);
}

TEST_F(FlashImageTest, HeaderRefusals) {
    RomFile f = Load("type=korvel\nCRC16=0\n000000:0000\n");
    EXPECT_EQ(f.result, RomLoadResult::BadHeader);
    EXPECT_EQ(f.message,
              "File does not contain correct header information or is for incorrect product\n\r"
              "File appears to be for korvel. Click on OK to select new file or Cancel to exit");
    EXPECT_EQ(headerAcceptedCalls, 0);

    // A first line that is no type line names nothing; an earlier file's "Korvel" does
    // not carry over to it.
    ASSERT_EQ(Load(Header(CrcOf({0, 0})) + "000000:0000\n").result, RomLoadResult::Loaded);
    f = Load("CRC16=0\nCRC16=0\n000000:0000\n");
    EXPECT_EQ(f.result, RomLoadResult::BadHeader);
    EXPECT_TRUE(f.message.contains("File appears to be for . Click"));

    // Without a CRC16 line the header passes and the CRC (here not 0) refuses the file.
    headerAcceptedCalls = 0;
    f = Load("type=Korvel\n000000:1234\n000001:1234\n");
    EXPECT_EQ(headerAcceptedCalls, 1);
    EXPECT_EQ(f.result, RomLoadResult::CrcMismatch);
    EXPECT_EQ(f.message, "The file CRC16 does not match that calculated\n\r"
                         "Click on OK to select new file or Cancel to exit");
}

TEST_F(FlashImageTest, WrongFormatRefusals) {
    const QByteArray wrong = "File specified is the wrong format\n\rClick on OK to select new file or Cancel to exit";
    // A third "=" line in a row is taken as a record.
    EXPECT_EQ(Load(Header(0) + "bootver=1.0\nprevver=1\nother=2\n000000:0000\n").message, wrong);
    EXPECT_EQ(Load(Header(0) + "000000:FFFF\n\n000001:FFFF\n").result, RomLoadResult::WrongFormat);
    EXPECT_EQ(Load(Header(0) + "0000001FFFF\n").result, RomLoadResult::WrongFormat);
    // A file with no record at all would erase the first page of flash.
    EXPECT_EQ(Load(Header(0)).result, RomLoadResult::WrongFormat);
    EXPECT_EQ(Load(Header(0) + "bootver=2.0\nprevver=1\n").result, RomLoadResult::WrongFormat);
}

TEST_F(FlashImageTest, BootVersionNeedsTwoNumbersOrAsksForNone) {
    const QByteArray record = "000000:1234\n";
    const uint16_t crc = CrcOf({0x34, 0x12});
    RomFile f = Load(Header(crc) + "bootver=2.1\n" + record);
    EXPECT_EQ(f.requiredBootMajor, 2);
    EXPECT_EQ(f.requiredBootMinor, 1);
    for (const QByteArray& none : {QByteArray("2"), QByteArray("2.1.0")}) {
        f = Load(Header(crc) + "bootver=" + none + "\n" + record);
        EXPECT_EQ(f.result, RomLoadResult::Loaded) << none.toStdString();
        EXPECT_EQ(f.requiredBootMajor, 0);
        EXPECT_EQ(f.requiredBootMinor, 0);
    }
    // Checked with the rest of the file, before anything reaches the module.
    for (const QByteArray& bad : {QByteArray("2.x"), QByteArray("a.1"), QByteArray("2."), QByteArray("40000.1")})
        EXPECT_EQ(Load(Header(crc) + "bootver=" + bad + "\n" + record).result, RomLoadResult::WrongFormat)
            << bad.toStdString();
}

TEST_F(FlashImageTest, MalformedFilesAreTheWrongFormat) {
    const QByteArray wrong = "File specified is the wrong format\n\rClick on OK to select new file or Cancel to exit";
    for (const QByteArray& text : {Header(0) + "000000:12ab\n",     // lower-case digits
                                   Header(0) + "000000:1/00\n",     // below "0"
                                   Header(0) + "00000G:1200\n",     // no hex digit in the address
                                   Header(0) + "000000:12\n",       // record cut short
                                   QByteArray("type=Korvel\nCRC16=12x\n000000:0000\n"),
                                   QByteArray("type=Korvel\nCRC16=\n000000:0000\n"),
                                   QByteArray("type=Korvel\n")}) {
        const RomFile f = Load(text);
        EXPECT_EQ(f.result, RomLoadResult::WrongFormat) << text.toStdString();
        EXPECT_EQ(f.message, wrong);
    }
    // An empty file names no product.
    EXPECT_EQ(Load(QByteArray()).result, RomLoadResult::BadHeader);

    const RomFile missing = LoadRomFile(dir.filePath("missing.rom"));
    EXPECT_EQ(missing.result, RomLoadResult::Unreadable);
    EXPECT_TRUE(missing.message.startsWith("File error: ")) << missing.message.toStdString();
    EXPECT_TRUE(missing.message.endsWith("\n\rClick on OK to select new file or Cancel to exit"));
}

} // namespace
} // namespace korvel::test

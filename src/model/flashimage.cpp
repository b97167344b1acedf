#include "model/flashimage.h"

#include "platform/prompts.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace korvel {

namespace {

constexpr uint8_t ERASED = 0xFF;
constexpr int32_t HIGHEST_WORD_ADDRESS = FLASH_IMAGE_SIZE / 2 - 1;

FlashImageBytes& imageStorage() {
    static FlashImageBytes image = [] {
        FlashImageBytes bytes;
        bytes.fill(ERASED);
        return bytes;
    }();
    return image;
}

const QString kChooseAgain = QStringLiteral("Click on OK to select new file or Cancel to exit");

QString BadHeaderMessage(const QString& typeValue) {
    return QStringLiteral("File does not contain correct header information or is for incorrect product")
           + kLineBreak + QStringLiteral("File appears to be for ") + typeValue + QStringLiteral(". ")
           + kChooseAgain;
}

QString WrongFormatMessage() {
    return QStringLiteral("File specified is the wrong format") + kLineBreak + kChooseAgain;
}

QString CrcMismatchMessage() {
    return QStringLiteral("The file CRC16 does not match that calculated") + kLineBreak + kChooseAgain;
}

// A header line split at its first "=": none when it has no "=".
struct KeyValue {
    QStringView key;
    QStringView value;
};
std::optional<KeyValue> SplitHeaderLine(QStringView line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    return KeyValue{line.left(eq), line.mid(eq + 1)};
}

// The CRC16 value: a decimal integer, blanks around it allowed.
std::optional<int32_t> ParseCrcValue(QStringView value) {
    bool ok = false;
    const int32_t v = value.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return v;
}

int ParseRomByte(QStringView line, qsizetype at) {
    if (line.size() < at + 2) return -1;
    const int high = HexDigitValue(line[at]);
    const int low = HexDigitValue(line[at + 1]);
    if (high < 0 || low < 0) return -1;
    return high * 16 + low;
}

// The file as lines: CR LF or LF line ends; a final line end does not open another line.
QStringList SplitLines(const QByteArray& contents) {
    QStringList lines = QString::fromLatin1(contents).split(u'\n');
    if (lines.last().isEmpty()) lines.removeLast();
    for (QString& l : lines)
        if (l.endsWith(u'\r')) l.chop(1);
    return lines;
}

RomFile WrongFormat(RomFile file, const QString& detail) {
    file.result = RomLoadResult::WrongFormat;
    file.message = WrongFormatMessage();
    file.detail = detail;
    return file;
}

// A bootver value of two parts around "." names the version needed; anything else (no
// point, three parts) asks for none. Each part must be a 16-bit integer.
bool ParseBootVersion(RomFile& file) {
    file.requiredBootMajor = 0;
    file.requiredBootMinor = 0;
    if (file.requiredBootVersion.isEmpty()) return true;
    const QStringList parts = file.requiredBootVersion.split(u'.');
    if (parts.size() != 2) return true;
    bool okMajor = false, okMinor = false;
    const short major = parts[0].trimmed().toShort(&okMajor);
    const short minor = parts[1].trimmed().toShort(&okMinor);
    if (!okMajor || !okMinor) return false;
    file.requiredBootMajor = major;
    file.requiredBootMinor = minor;
    return true;
}

} // namespace

FlashImageBytes& FlashImage() { return imageStorage(); }

void ClearFlashImage() { imageStorage().fill(ERASED); }

void ResetFlashImage() { ClearFlashImage(); }

uint16_t GetImageWord(int32_t byteAddress) {
    if (byteAddress < 0 || byteAddress > FLASH_IMAGE_SIZE - 2) return 0xFFFF;
    const auto& image = imageStorage();
    return uint16_t(image[size_t(byteAddress)] | (image[size_t(byteAddress) + 1] << 8));
}

void PutImageWord(int32_t byteAddress, uint16_t value) {
    if (byteAddress < 0 || byteAddress > FLASH_IMAGE_SIZE - 2) return;
    auto& image = imageStorage();
    image[size_t(byteAddress)] = uint8_t(value & 0xFF);
    image[size_t(byteAddress) + 1] = uint8_t(value >> 8);
}

uint16_t CalcCrc16(std::span<const uint8_t> bytes, int32_t first, int32_t last) {
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min<int64_t>(last, int64_t(bytes.size()) - 1);
    uint16_t crc = 0;
    for (int64_t i = from; i <= to; ++i) {
        crc ^= uint16_t(bytes[size_t(i)] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

bool StoreFlashPageReply(int32_t wordAddress, const uint8_t* data, int count) {
    // Exactly one half page: with fewer bytes the checksum and stale bytes of an earlier
    // frame would be taken for flash contents.
    if (data == nullptr || count != FLASH_HALF_PAGE_BYTES) return false;
    const int64_t byteAddress = int64_t(wordAddress) * 2;
    if (byteAddress < 0 || byteAddress + FLASH_HALF_PAGE_BYTES > FLASH_IMAGE_SIZE) return false;
    std::memcpy(imageStorage().data() + byteAddress, data, FLASH_HALF_PAGE_BYTES);
    return true;
}

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

int32_t ParseRomAddress(QStringView line) {
    if (line.size() < 7 || line[6] != u':') return ROM_ADDRESS_WRONG_FORMAT;
    int32_t address = 0;
    for (qsizetype i = 0; i < 6; ++i) {
        const int digit = HexDigitValue(line[i]);
        if (digit < 0) return -1;
        address = address * 16 + digit;
    }
    return address;
}

int ParseRomHighByte(QStringView line) { return ParseRomByte(line, 7); }

int ParseRomLowByte(QStringView line) { return ParseRomByte(line, 9); }

RomFile ParseRomFile(const QByteArray& contents, const std::function<void()>& headerAccepted) {
    RomFile file;
    const QStringList lines = SplitLines(contents);

    // Header: line 1 names the product, line 2 carries the CRC; line 2 is consumed
    // whatever it holds.
    bool typeSeen = false, crcSeen = false, crcNumeric = true;
    if (const auto kv = lines.isEmpty() ? std::nullopt : SplitHeaderLine(lines[0]); kv && kv->key == u"type") {
        file.typeValue = kv->value.toString();
        typeSeen = true;
    }
    if (const auto kv = lines.size() < 2 ? std::nullopt : SplitHeaderLine(lines[1]); kv && kv->key == u"CRC16") {
        const auto crc = ParseCrcValue(kv->value);
        crcNumeric = crc.has_value();
        file.fileCrc = crc.value_or(0);
        crcSeen = true;
    }
    if (file.typeValue != u"Korvel" || !(typeSeen || crcSeen)) {
        file.result = RomLoadResult::BadHeader;
        file.message = BadHeaderMessage(file.typeValue);
        return file;
    }

    if (headerAccepted) headerAccepted();
    ClearFlashImage();
    file.lowest = FLASH_IMAGE_SIZE - 1;
    file.highest = 0;
    if (!crcNumeric) return WrongFormat(file, QStringLiteral("CRC16 value is not a number: ") + lines[1]);

    // Records, each preceded by at most two "=" lines: a "bootver" line is noticed only
    // as the first of them; the second (a "prevver" or anything else) is skipped.
    auto& image = imageStorage();
    int records = 0;
    qsizetype next = 2;
    while (next < lines.size()) {
        QStringView line = lines[next++];
        if (const auto kv = SplitHeaderLine(line)) {
            if (kv->key == u"bootver") file.requiredBootVersion = kv->value.toString();
            if (next >= lines.size()) return WrongFormat(file, QStringLiteral("file ends after a header line"));
            line = lines[next++];
        }
        if (line.contains(u'=')) {
            if (next >= lines.size()) return WrongFormat(file, QStringLiteral("file ends after a header line"));
            line = lines[next++];
        }

        const int32_t word = ParseRomAddress(line);
        if (word == ROM_ADDRESS_WRONG_FORMAT) return WrongFormat(file, QStringLiteral("not a record: ") + line.toString());
        if (word < 0) return WrongFormat(file, QStringLiteral("address is not hexadecimal: ") + line.toString());
        if (word > HIGHEST_WORD_ADDRESS)
            return WrongFormat(file, QStringLiteral("address beyond the flash: ") + line.toString());
        const int high = ParseRomHighByte(line);
        const int low = ParseRomLowByte(line);
        if (high < 0 || low < 0) return WrongFormat(file, QStringLiteral("data byte does not decode: ") + line.toString());

        const int32_t a = 2 * word;
        file.highest = std::max(file.highest, a);
        file.lowest = std::min(file.lowest, a);
        image[size_t(a)] = uint8_t(low);
        image[size_t(a) + 1] = uint8_t(high);
        ++records;
    }

    // Without a single record the file would pass with a CRC16 of 0 and erase the start
    // of flash.
    if (records == 0) return WrongFormat(file, QStringLiteral("no records"));
    if (!ParseBootVersion(file))
        return WrongFormat(file, QStringLiteral("bootver value is not a version: ") + file.requiredBootVersion);

    // Over every byte from the lowest loaded word through the high byte of the highest,
    // gaps (still erased) included.
    file.imageCrc = CalcCrc16(image, file.lowest, file.highest + 1);
    if (file.imageCrc != file.fileCrc) {
        file.result = RomLoadResult::CrcMismatch;
        file.message = CrcMismatchMessage();
        return file;
    }
    file.result = RomLoadResult::Loaded;
    return file;
}

RomFile LoadRomFile(const QString& path, const std::function<void()>& headerAccepted) {
    QFile f(path);
    QByteArray contents;
    if (f.open(QIODevice::ReadOnly)) contents = f.readAll();
    if (!f.isOpen() || f.error() != QFileDevice::NoError) {
        RomFile file;
        file.result = RomLoadResult::Unreadable;
        file.message = QStringLiteral("File error: ") + f.errorString() + kLineBreak + kChooseAgain;
        return file;
    }
    return ParseRomFile(contents, headerAccepted);
}

} // namespace korvel

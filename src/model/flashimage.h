// The 128 KB copy of the module's program flash, its CRC-16, and the firmware file
// ("*.rom") that is loaded into it before a flash load.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace korvel {

constexpr int32_t FLASH_IMAGE_SIZE = 0x20000;
// Bytes of flash carried by one page-half frame.
constexpr int32_t FLASH_HALF_PAGE_BYTES = 128;

using FlashImageBytes = std::array<uint8_t, FLASH_IMAGE_SIZE>;

// The image: index = flash byte address; 0xFF (erased flash) where nothing was loaded.
FlashImageBytes& FlashImage();
// Every byte back to 0xFF.
void ClearFlashImage();
// Program-start state.
void ResetFlashImage();

// Little-endian flash word at an even byte address (low byte first). Addresses outside
// the image read as erased (0xFFFF) and are not written.
uint16_t GetImageWord(int32_t byteAddress);
void PutImageWord(int32_t byteAddress, uint16_t value);

// CRC-16/XMODEM (polynomial 0x1021, start 0, no reflection, no final XOR) over
// bytes[first..last], both inclusive; 0 when first > last. Indexes outside the array are
// not read: the range is cut to it.
uint16_t CalcCrc16(std::span<const uint8_t> bytes, int32_t first, int32_t last);

// Copies the count bytes of a flash-page reply's page data into the image at byte
// address 2 x wordAddress. They must be exactly one half page and fit the image; false
// otherwise, and nothing is stored. (That the reply answers the page read waiting now is
// the dispatcher's check.)
bool StoreFlashPageReply(int32_t wordAddress, const uint8_t* data, int count);

// ---- Firmware file -------------------------------------------------------------------

// ParseRomAddress's answer for a record whose seventh character is not ":".
constexpr int32_t ROM_ADDRESS_WRONG_FORMAT = 999999;

// Value of a capital hex digit ("0"-"9", "A"-"F"); -1 for any other character.
int HexDigitValue(QChar c);
// Word address of a record (hex positions 1-6): ROM_ADDRESS_WRONG_FORMAT when position 7
// is not ":" (short and empty lines included), -1 when a position holds no hex digit.
int32_t ParseRomAddress(QStringView line);
// Data bytes of a record (positions 8-9 high, 10-11 low); -1 when the line is too short
// or a position holds no hex digit.
int ParseRomHighByte(QStringView line);
int ParseRomLowByte(QStringView line);

enum class RomLoadResult {
    Loaded,
    // Refusals that offer the user another file; the result's message says why.
    BadHeader,
    // Anything in the records or header values that does not decode: a record without
    // ":" at position 7, a short record, a digit that is not a capital hex digit, an
    // address beyond the image, a CRC16 or bootver value that is not a number, a file
    // that ends after a skipped "=" line or holds no record at all.
    WrongFormat,
    CrcMismatch,
    // The file could not be read.
    Unreadable,
};

// What reading one firmware file gave. Every file starts from empty header values, so
// nothing of an earlier, refused file carries over.
struct RomFile {
    RomLoadResult result = RomLoadResult::WrongFormat;
    QString message;              // the refusal text shown to the user
    QString detail;               // what was wrong, for a refusal of the records
    QString typeValue;            // product word of the "type" line
    int32_t fileCrc = 0;          // number of the "CRC16" line; 0 without one
    QString requiredBootVersion;  // value of a "bootver" line; empty without one
    // The boot-loader version the file needs: 0.0 unless the bootver value has exactly
    // two parts around a ".".
    int requiredBootMajor = 0;
    int requiredBootMinor = 0;
    int32_t lowest = FLASH_IMAGE_SIZE - 1;  // byte addresses of the lowest and highest
    int32_t highest = 0;                    // word loaded
    uint16_t imageCrc = 0;        // CRC-16 over lowest .. highest + 1
};

// Reads firmware file contents into FlashImage. headerAccepted runs once the header has
// passed, just before the image is cleared and the records are read (the flash loader
// shows its progress window there). The whole file is checked before the result is
// Loaded, so a flash load never starts on a file that would fail part-way.
RomFile ParseRomFile(const QByteArray& contents, const std::function<void()>& headerAccepted = {});
// The same for a file on disk; a file that cannot be read is Unreadable.
RomFile LoadRomFile(const QString& path, const std::function<void()>& headerAccepted = {});


} // namespace korvel

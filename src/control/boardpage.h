// The board information page in the module's flash: its fields, the stamp a firmware
// load puts on it, and reading it from the module to show it.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace korvel {

class LinkHold;

constexpr int32_t BOARD_PAGE_ADDRESS = 0x1DF00;
// Field addresses in flash (the page's offsets 0xD8 .. 0xFF).
constexpr int32_t BOARD_SERIAL = 0x1DFD8;       // 8 characters, each as two decimal digits
constexpr int32_t BOARD_TYPE = 0x1DFE0;         // 2 characters, coded as the serial
constexpr int32_t BOARD_REVISION = 0x1DFE2;     // 2 characters, coded as the serial
constexpr int32_t BOARD_LOAD_DATE = 0x1DFE4;    // 19 character codes, then a 0
constexpr int32_t BOARD_LOAD_DATE_END = 0x1DFF7;
constexpr int32_t BOARD_FLASH_COUNT = 0x1DFF8;  // words, low byte first
constexpr int32_t BOARD_HIGHEST_WORD = 0x1DFFA;
constexpr int32_t BOARD_FILE_CRC = 0x1DFFC;
constexpr int32_t BOARD_PAGE_CRC = 0x1DFFE;     // over the page up to the byte before it
constexpr int BOARD_LOAD_DATE_LENGTH = 19;

struct BoardPageFields {
    QString serial, type, revision;
    QString lastLoad;  // as stored, "dd-mmm-yy, hh:mm:ss"
    uint16_t flashCount = 0;
};

// The page CRC stored in FlashImage matches the page held there.
bool BoardPageCrcGood();
// The fields of the page held in FlashImage. A byte that names no character (a hex
// digit A-F in either half, or a control code) shows as "?".
BoardPageFields BoardPageFieldsOf();
// The date of a firmware load as the page keeps it: always 19 characters, English
// month abbreviations, hours 00-23.
QString FlashLoadDateText(const QDateTime& when);
// Stamps the page held in FlashImage for a finished load: the flash count one up
// (staying at 65535 once there), or 1 when the page was not valid; the highest word
// address and the file's CRC16; the date; a fresh page CRC. The serial number, type,
// revision and everything before them stay as read. Returns the new count.
uint16_t StampBoardPage(bool pageWasValid, int32_t highestByteAddress, int32_t fileCrc, const QDateTime& when);

// Reads both halves of the page from the station StationAddress names into FlashImage;
// SendPacket's result of the first half that fails, else SEND_OK.
int16_t ReadBoardPage(const LinkHold& hold);
// Reads the page from the module and shows it, or says that its CRC does not match.
// The reply time-out and station address are put back afterwards.
void ShowManufacturingPage();

} // namespace korvel

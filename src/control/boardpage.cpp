#include "control/boardpage.h"

#include "link/linkhold.h"
#include "model/flashimage.h"
#include "control/flashpages.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/prompts.h"

namespace korvel {

namespace {

// The page read's reply time-out, in ticks of 100 ms.
constexpr int16_t kPageReadTimeout = 160;

// Each byte holds a character code as two decimal digits (0x49 = code 49 = "1").
QString DecimalCodedText(int32_t address, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = FlashImage()[size_t(address + i)];
        const int high = b >> 4, low = b & 0x0F;
        const int code = high * 10 + low;
        text += (high > 9 || low > 9 || code < 32) ? QChar(u'?') : QChar(char16_t(code));
    }
    return text;
}

QString CodeText(int32_t address, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = FlashImage()[size_t(address + i)];
        text += b < 32 ? QChar(u'?') : QChar(char16_t(b));
    }
    return text;
}

} // namespace

bool BoardPageCrcGood() {
    return CalcCrc16(FlashImage(), BOARD_PAGE_ADDRESS, BOARD_PAGE_CRC - 1) == GetImageWord(BOARD_PAGE_CRC);
}

BoardPageFields BoardPageFieldsOf() {
    BoardPageFields f;
    f.serial = DecimalCodedText(BOARD_SERIAL, 8);
    f.type = DecimalCodedText(BOARD_TYPE, 2);
    f.revision = DecimalCodedText(BOARD_REVISION, 2);
    f.lastLoad = CodeText(BOARD_LOAD_DATE, BOARD_LOAD_DATE_LENGTH);
    f.flashCount = GetImageWord(BOARD_FLASH_COUNT);
    return f;
}

QString FlashLoadDateText(const QDateTime& when) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%02d-%s-%02d, %02d:%02d:%02d", d.day(), months[d.month() - 1], d.year() % 100,
                             t.hour(), t.minute(), t.second());
}

uint16_t StampBoardPage(bool pageWasValid, int32_t highestByteAddress, int32_t fileCrc, const QDateTime& when) {
    const uint16_t old = GetImageWord(BOARD_FLASH_COUNT);
    const uint16_t count = !pageWasValid ? 1 : old == 0xFFFF ? old : uint16_t(old + 1);
    PutImageWord(BOARD_FLASH_COUNT, count);
    PutImageWord(BOARD_HIGHEST_WORD, uint16_t(highestByteAddress / 2));
    PutImageWord(BOARD_FILE_CRC, uint16_t(fileCrc & 0xFFFF));
    const QByteArray date = FlashLoadDateText(when).toLatin1();
    auto& image = FlashImage();
    for (int i = 0; i < BOARD_LOAD_DATE_LENGTH; ++i) image[size_t(BOARD_LOAD_DATE + i)] = uint8_t(date.at(i));
    image[size_t(BOARD_LOAD_DATE_END)] = 0;
    PutImageWord(BOARD_PAGE_CRC, CalcCrc16(image, BOARD_PAGE_ADDRESS, BOARD_PAGE_CRC - 1));
    return count;
}

int16_t ReadBoardPage(const LinkHold& hold) {
    const int16_t low = RequestFlashPage(hold, CMD_FLASH_PAGE_LOW, BOARD_PAGE_ADDRESS);
    if (low != SEND_OK) return low;
    return RequestFlashPage(hold, CMD_FLASH_PAGE_HIGH, BOARD_PAGE_ADDRESS + FLASH_HALF_PAGE_BYTES);
}

void ShowManufacturingPage() {
    const KeepLinkAddressing keep;
    // Over TCP the module is reached without the serial port.
    if (OpenLinkPort() != 0) return;
    ClearFlashImage();
    {
        // The page is read under the hold; what it holds is said after.
        const LinkHold hold;
        hold.SetReplyTimeout(kPageReadTimeout);
        // A failed read has been reported by the link.
        if (ReadBoardPage(hold) != SEND_OK) return;
    }

    const QString title = QStringLiteral("Flash Loader - Reading manufacturing page");
    if (!BoardPageCrcGood()) {
        MsgBox(QStringLiteral("The manufacturing page CRC16 does not match that calculated!") + kLineBreak,
               vbOKOnly + vbCritical, title);
        return;
    }
    const BoardPageFields f = BoardPageFieldsOf();
    MsgBox(QStringLiteral("Board ESN: ") + f.serial + kLineBreak + QStringLiteral("Board Type: ") + f.type +
               kLineBreak + QStringLiteral("Board Revision: ") + f.revision + kLineBreak +
               QStringLiteral("Date/time of last Flash Load: ") + f.lastLoad + kLineBreak +
               QStringLiteral("Flash count: ") + QString::number(f.flashCount) + kLineBreak +
               QStringLiteral("Click OK to continue"),
           vbOKOnly + vbInformation, title);
}

} // namespace korvel

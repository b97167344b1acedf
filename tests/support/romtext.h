// Firmware files for tests: records for a stretch of an image, under a header that
// carries their CRC.
#pragma once

#include "model/flashimage.h"

#include <QByteArray>
#include <span>

namespace korvel::test {

// A firmware image of 0xFF with a varied pattern in bytes first .. last.
inline QByteArray PatternImage(int32_t first, int32_t last) {
    QByteArray image(FLASH_IMAGE_SIZE, char(0xFF));
    for (int32_t a = first; a <= last; ++a) image[a] = char((a * 31 + (a >> 8) * 7 + 1) & 0xFF);
    return image;
}

// One record per word from byte address first to last (both even), the words in
// descending order when `reversed`, after the header lines and any extra lines.
inline QByteArray RomText(const QByteArray& image, int32_t first, int32_t last, const QByteArray& extraLines = {},
                          bool reversed = false) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(image.constData());
    const uint16_t crc = CalcCrc16(std::span<const uint8_t>(bytes, size_t(image.size())), first, last + 1);
    QByteArray text = "type=Korvel\r\nCRC16=" + QByteArray::number(crc) + "\r\n" + extraLines;
    text.reserve(text.size() + (last - first) / 2 * 13 + 13);
    for (int32_t i = 0; i <= (last - first) / 2; ++i) {
        const int32_t a = reversed ? last - 2 * i : first + 2 * i;
        text += QByteArray::number(a / 2, 16).toUpper().rightJustified(6, '0') + ':' +
                QByteArray::number(bytes[a + 1], 16).toUpper().rightJustified(2, '0') +
                QByteArray::number(bytes[a], 16).toUpper().rightJustified(2, '0') + "\r\n";
    }
    return text;
}

} // namespace korvel::test

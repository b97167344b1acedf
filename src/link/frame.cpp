#include "link/frame.h"
#include "link/linkstate.h"

#include <algorithm>

namespace korvel {

uint8_t FrameChecksum(const uint8_t* bytes, int length) {
    unsigned s = 0;
    for (int i = 0; i < length; ++i) s = (s + bytes[i]) & 255u;
    return static_cast<uint8_t>(255u - s);
}

bool FrameChecksumGood(const uint8_t* bytes, int length) {
    if (length <= 0) return false;
    unsigned s = bytes[0];
    for (int i = 1; i <= length; ++i) s = (s + bytes[i]) & 255u;
    return s == 255u;
}

void AppendTxChecksum(QByteArray& frame, int16_t& n) {
    const int L = n;
    n = static_cast<int16_t>(n - 1);
    if (L < 0 || L >= LINK_BUFFER_SIZE) return;
    if (frame.size() < L + 1) frame.resize(L + 1, '\0');
    frame[L] = char(FrameChecksum(reinterpret_cast<const uint8_t*>(frame.constData()), L));
}

bool FrameChecksumGood(const QByteArray& frame) {
    if (frame.isEmpty()) return false;
    const int length = uint8_t(frame[FRAME_LENGTH]);
    return length < frame.size() && FrameChecksumGood(reinterpret_cast<const uint8_t*>(frame.constData()), length);
}

RxFrame::RxFrame(const QByteArray& bytes) : bytes_(bytes) {
    const int came = int(bytes_.size());
    length_ = came == 0 ? 0 : std::min<int>(uint8_t(bytes_[FRAME_LENGTH]), came - 1);
    // Room for the header and the first data byte, so that At() never points past the end.
    if (came < FRAME_DATA + 1) bytes_.append(QByteArray(FRAME_DATA + 1 - came, '\0'));
}

uint8_t NibbleToHexChar(int v) {
    return static_cast<uint8_t>(v < 10 ? 48 + v : v + 55);
}

QByteArray HexOf(const uint8_t* bytes, int count) {
    QByteArray out;
    out.reserve(count * 2);
    for (int i = 0; i < count; ++i) {
        out.append(char(NibbleToHexChar((bytes[i] & 0xF0) / 16)));
        out.append(char(NibbleToHexChar(bytes[i] & 15)));
    }
    return out;
}

} // namespace korvel

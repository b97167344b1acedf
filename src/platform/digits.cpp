#include "platform/digits.h"

#include <limits>

namespace korvel {

namespace {

int code(QChar c) { return c.unicode(); }
int code(char c) { return static_cast<unsigned char>(c); }

template <typename Text>
LeadingDigits readLeading(Text text) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    LeadingDigits d;
    for (const auto c : text) {
        const int v = code(c) - '0';
        // Only '0' to '9': other scripts' digits are no part of a port or station number.
        if (v < 0 || v > 9) break;
        d.value = d.value > (kMax - v) / 10 ? kMax : d.value * 10 + v;
        ++d.count;
    }
    return d;
}

template <typename Text>
std::optional<qint64> digitsOnly(Text text) {
    const LeadingDigits d = readLeading(text);
    if (d.count == 0 || d.count != text.size()) return std::nullopt;
    return d.value;
}

} // namespace

LeadingDigits ReadLeadingDigits(QStringView text) { return readLeading(text); }
LeadingDigits ReadLeadingDigits(QByteArrayView text) { return readLeading(text); }
std::optional<qint64> DigitsOnlyValue(QStringView text) { return digitsOnly(text); }
std::optional<qint64> DigitsOnlyValue(QByteArrayView text) { return digitsOnly(text); }

} // namespace korvel

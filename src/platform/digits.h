// Reading whole numbers typed or received as text: decimal digits and nothing else.
#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>
#include <optional>

namespace korvel {

// The leading run of ASCII digits of a text: how many characters it takes and the number
// they stand for. A run too long for the number is read as the largest one, so that any
// upper limit refuses it rather than a wrapped-round value passing.
struct LeadingDigits {
    qsizetype count = 0;
    qint64 value = 0;
};
LeadingDigits ReadLeadingDigits(QStringView text);
LeadingDigits ReadLeadingDigits(QByteArrayView text);

// The number a text of digits only stands for (as ReadLeadingDigits reads it); empty for
// an empty text and for any other character, a sign or a blank included.
std::optional<qint64> DigitsOnlyValue(QStringView text);
std::optional<qint64> DigitsOnlyValue(QByteArrayView text);

} // namespace korvel

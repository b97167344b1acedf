// The number a text begins with, read the way each caller's field reads it: what the
// reader skips in front, whether a sign or a decimal point belongs to the number, and
// how many digits it takes at most.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

namespace korvel {

struct NumberForm {
    bool sign = true;            // a leading + or - belongs to the number
    bool decimalPoint = false;   // one '.' among the digits
    int maxDigits = 0;           // digits taken at most; 0: no limit
    bool anyWhiteSpace = false;  // line ends too are skipped in front, not only blanks and tabs
};

// Empty when the text does not begin with a digit (after what is skipped, and the sign
// and point where they belong to the number).
std::optional<double> LeadingNumber(QStringView text, NumberForm form = {});

// The conversions' rule: blanks, sign, digits and one point; 0 when there is no number.
double LeadingDecimal(QStringView text);

// A text that is one decimal number and nothing else: blanks around it, an optional
// sign, digits with at most one point, at least one digit ("5.", ".5", "-2"). Empty for
// anything else ("1.2.3", ".", "-", "12V", an empty text, a number beyond a double), so that a typed or pasted
// text is either taken whole or refused, never read as the number it happens to begin with.
std::optional<double> WholeDecimal(QStringView text);

// A whole number; empty when there is none or it is outside the range of int.
std::optional<int> LeadingInteger(QStringView text, NumberForm form = {});

// Text of a locale for a single-byte file or frame: made with locale, or, where that
// text has a character no single byte holds (a Greek month, a Russian day, an Arabic
// digit or designator), made again in US English, so that no character is lost.
QString SingleByteLocaleText(const QLocale& locale, const std::function<QString(const QLocale&)>& make);

// A number as station addresses are shown: at least three digits, "007".
QString ThreeDigits(long n);
QString TwoDigits(long n);

} // namespace korvel

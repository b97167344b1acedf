#include "model/textnumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <climits>
#include <string>

namespace korvel {

std::optional<double> LeadingNumber(QStringView text, NumberForm form) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || (form.anyWhiteSpace && text[i].isSpace()))) ++i;
    bool negative = false;
    if (form.sign && i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string number;
    bool seenPoint = false;
    int digits = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            if (form.maxDigits > 0 && digits == form.maxDigits) break;
            number += char(c.unicode());
            ++digits;
        } else if (form.decimalPoint && c == u'.' && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too many digits for a double: far beyond every range if a digit before the
        // point is not 0 (so a range check refuses it rather than reading 0), else a
        // fraction too small to matter.
        const std::string whole = number.substr(0, number.find('.'));
        v = whole.find_first_not_of('0') != std::string::npos ? HUGE_VAL : 0.0;
    }
    return negative ? -v : v;
}

double LeadingDecimal(QStringView text) {
    return LeadingNumber(text, {.sign = true, .decimalPoint = true}).value_or(0.0);
}

std::optional<double> WholeDecimal(QStringView text) {
    const QStringView t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    qsizetype i = (t[0] == u'-' || t[0] == u'+') ? 1 : 0;
    int digits = 0, points = 0;
    for (; i < t.size(); ++i) {
        if (t[i] >= u'0' && t[i] <= u'9')
            ++digits;
        else if (t[i] == u'.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1) return std::nullopt;
    const std::string number = t.toString().toStdString();
    const char* first = number.data() + (number[0] == '+' ? 1 : 0);
    double v = 0.0;
    // A number beyond a double's range is no number either.
    const auto [end, ec] = std::from_chars(first, number.data() + number.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return v;
}

std::optional<int> LeadingInteger(QStringView text, NumberForm form) {
    form.decimalPoint = false;
    const std::optional<double> v = LeadingNumber(text, form);
    if (!v || *v < double(INT_MIN) || *v > double(INT_MAX)) return std::nullopt;
    return static_cast<int>(*v);
}

QString SingleByteLocaleText(const QLocale& locale, const std::function<QString(const QLocale&)>& make) {
    const QString text = make(locale);
    const bool singleBytes = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    return singleBytes ? text : make(QLocale(QLocale::English, QLocale::UnitedStates));
}

QString ThreeDigits(long n) { return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')); }
QString TwoDigits(long n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

} // namespace korvel

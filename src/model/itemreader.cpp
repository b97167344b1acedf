#include "model/itemreader.h"

#include <utility>

namespace korvel {

ItemReader::ItemReader(QByteArray text, TrailingBlanks trailing)
    : t_(std::move(text)), trailing_(trailing) {}

std::optional<QByteArray> ItemReader::Next() {
    if (AtEnd()) return std::nullopt;
    while (p_ < t_.size() && IsBlank(t_[p_])) ++p_;
    QByteArray item;
    if (p_ < t_.size() && t_[p_] == '"') {
        const qsizetype close = t_.indexOf('"', p_ + 1);
        const qsizetype end = close < 0 ? t_.size() : close;
        item = t_.mid(p_ + 1, end - p_ - 1);
        p_ = close < 0 ? t_.size() : close + 1;
        // Whatever follows the closing quote up to the separator is not part of it.
        SkipToSeparator();
    } else {
        const qsizetype start = p_;
        SkipToSeparator();
        item = t_.mid(start, p_ - start);
        if (trailing_ == TrailingBlanks::Trim)
            while (!item.isEmpty() && IsBlank(item.back())) item.chop(1);
    }
    SkipSeparator();
    lastEmpty_ = item.isEmpty();
    return item;
}

void ItemReader::SkipToSeparator() {
    while (p_ < t_.size() && t_[p_] != ',' && !IsLineEnd(t_[p_])) ++p_;
}

void ItemReader::SkipSeparator() {
    if (p_ >= t_.size()) return;
    if (t_[p_] == ',') {
        ++p_;
    } else if (t_[p_] == '\r') {
        ++p_;
        if (p_ < t_.size() && t_[p_] == '\n') ++p_;
    } else if (t_[p_] == '\n') {
        ++p_;
    }
}

} // namespace korvel

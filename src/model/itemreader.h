// Reads a text file item by item, the way the program's data files are laid out: an
// item ends at a comma or at a line end, blanks at its start are skipped, an item that
// starts with a double quote runs to the closing quote, and a blank line is one empty
// item.
#pragma once

#include <QByteArray>
#include <optional>

namespace korvel {

class ItemReader {
public:
    // Whether an unquoted item loses the blanks at its end. The settings file trims
    // them; the configuration file keeps them, because a text value may end in blanks.
    enum class TrailingBlanks { Trim, Keep };

    explicit ItemReader(QByteArray text, TrailingBlanks trailing = TrailingBlanks::Trim);

    // The next item, or nothing once the whole text has been read.
    std::optional<QByteArray> Next();
    // True once every item has been read.
    bool AtEnd() const { return p_ >= t_.size(); }
    // True when the item Next() last returned was empty (a blank line, for one); false
    // before the first item. Running out of text leaves it as it was.
    bool LastItemEmpty() const { return lastEmpty_; }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
    static bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
    void SkipToSeparator();
    void SkipSeparator();

    QByteArray t_;
    qsizetype p_ = 0;
    TrailingBlanks trailing_;
    bool lastEmpty_ = false;
};

} // namespace korvel

// The printed configuration report as text: the report's print model (text items,
// number items and tabs to a column, on pages of fixed-pitch lines) and the report
// itself, from the page header to the last output row. Printing the pages is the
// application's business; here they are plain lines, so every column can be checked
// without a printer.
#pragma once

#include "model/model.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace korvel {

// Pages as the report breaks them itself; a printer breaks a long one again where its
// paper ends. Lines carry no line end.
using ReportPages = QList<QStringList>;

// Writes items the way a line printer's print statement does: every item continues the
// current line until a line end, and a tab moves to a column (counted from 1) of this
// line, or of the next one when this line already reaches past it.
class ReportWriter {
public:
    // A text, or a label joined with its value, as it is.
    void Text(const QString& text);
    // A text followed by a line end; an empty text just ends the line.
    void Line(const QString& text = QString());
    // A number: the sign place (a blank, or "-"), the digits and one trailing blank.
    void Number(long value);
    void Tab(int column);
    void LineEnd();
    // Ends the page; what follows starts at the top of the next one.
    void PageBreak();
    // The column the next item starts at.
    int Column() const { return int(line_.size()) + 1; }
    // Every page so far; an unfinished line that holds anything counts as a line.
    ReportPages Pages() const;

private:
    ReportPages pages_{QStringList()};
    QString line_;
};

// What the header prints besides the configuration: when, and by which program version.
struct ReportStamp {
    QDateTime when;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The page header's date and time as they follow its label, with a blank of their own
// in front: " Monday, March 04, 2024, 09:05 AM" (English names whatever the locale,
// 12-hour clock).
QString ReportDateTime(const QDateTime& when);

// The "V RANGE" column of an analog row: the full scale of a fixed range ("2.56", "5.00",
// "25.0"), "4-20mA", the USER multiplier as "U-X2" to "U-X20", and "CODE n" for a range
// code without a conversion. At most six characters, so the set point after it stays
// apart.
QString AnalogRangeText(uint8_t flags);

// The whole report for the main module and its childCount child modules (groups 0 to
// childCount of every table).
ReportPages ConfigurationReport(const StationConfig& c, int childCount, const ReportStamp& stamp);

} // namespace korvel

// The lines of the configuration overview: one fixed-pitch line per enabled contact
// input, per enabled analog input and per output of the station, with the columns their
// headings stand over.
#pragma once

#include "model/model.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>

namespace korvel {

// One column of an overview list. The heading's lines each end in "\r\n"; the tool tip is
// empty where the heading has none. The column's values stand at characters first to
// first + width - 1 of a line whose set points have one digit before the point.
struct OverviewColumn {
    const char* heading;
    const char* toolTip;
    int first;
    int width;
};

std::span<const OverviewColumn> ContactInputColumns();
std::span<const OverviewColumn> AnalogInputColumns();
std::span<const OverviewColumn> OutputColumns();

// The enabled contact inputs of every group, in channel order.
QStringList ContactInputLines(const StationConfig& c);
// The enabled analog inputs of every group, in channel order.
QStringList AnalogInputLines(const StationConfig& c);
// Every output of the main module and its childCount children, enabled or not; a Pellar's
// outputs all show as latches.
QStringList OutputLines(const StationConfig& c, int childCount, bool pellar);

// An analog set point in volts with two decimals, for the channel's Flags (range code and
// USER multiplier) and a module code; "0.00" for a range without a conversion.
QString AnalogSetPointText(uint8_t flags, int16_t threshold);

} // namespace korvel

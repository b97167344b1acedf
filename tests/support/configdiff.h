// Compares two whole configurations field by field, so a test can say exactly which
// values a dialog or a reader was to change and see by name any other that moved.
#pragma once

#include "model/model.h"

#include <QStringList>

namespace korvel::test {

// One line per differing value, "SystemConfig[3]: 5 -> 6", in the model's order;
// empty when the two are equal in every value (fractions and texts included).
QStringList ConfigDifferences(const StationConfig& from, const StationConfig& to);

} // namespace korvel::test

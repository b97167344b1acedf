// A radio's fleet and ID as a technician types them, "FFF:IIII": the two numbers, or the
// message of the first check that refuses them.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace korvel {

// The fleets and IDs a FleetSync radio may have.
constexpr long FLEET_MIN = 100, FLEET_MAX = 349;
constexpr long RADIO_ID_MIN = 1000, RADIO_ID_MAX = 4999;

struct FleetIdEntry {
    long fleet = 0;
    long id = 0;
    QString message;
    bool accepted() const { return message.isEmpty(); }
};

// The fleet is the first three characters; the ID is everything after the colon, read as
// one number whatever its length, so "100:999" is an ID too small and "100:999999999"
// one too large, not a malformed entry. The connect prompt and the list of mobiles read
// an entry alike and answer it with the same message.
FleetIdEntry ParseFleetId(const QString& text);

// The number a text of digits only stands for; empty for no digits or anything else.
// Too many digits for a long read as the largest, which every limit refuses.
std::optional<long> DigitsValue(QStringView text);

} // namespace korvel

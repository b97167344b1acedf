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
// one number, so "100:999" is an ID too small and "100:10000" one too large, not a
// malformed entry. With longest >= 0, an entry longer than that many characters is
// malformed.
FleetIdEntry ParseFleetId(const QString& text, int longest = -1);

// The number a text of digits only stands for; empty for no digits or anything else.
// Too many digits for a long read as the largest, which every limit refuses.
std::optional<long> DigitsValue(QStringView text);

} // namespace korvel

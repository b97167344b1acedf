#include "model/fleetid.h"

#include "platform/digits.h"

#include <algorithm>
#include <climits>

namespace korvel {

std::optional<long> DigitsValue(QStringView text) {
    const std::optional<qint64> v = DigitsOnlyValue(text);
    if (!v) return std::nullopt;
    return long(std::min<qint64>(*v, LONG_MAX));
}

FleetIdEntry ParseFleetId(const QString& text) {
    FleetIdEntry e;
    const std::optional<long> fleet = text.size() > 3 ? DigitsValue(QStringView(text).left(3)) : std::nullopt;
    // The ID is the (at most eight) characters after the colon, as a number.
    const std::optional<long> id = text.size() > 4 ? DigitsValue(QStringView(text).mid(4, 8)) : std::nullopt;
    if (!fleet || !id || text[3] != u':') {
        e.message = QStringLiteral("Illegal fleet and ID number, click OK and re-enter in the format FFF:IIII");
        return e;
    }
    if (*fleet > FLEET_MAX)
        e.message = QStringLiteral("Fleet number is higher than 349, click OK and re-enter");
    else if (*fleet < FLEET_MIN)
        e.message = QStringLiteral("Fleet number must be between 100 and 349, click OK and re-enter");
    else if (*id > RADIO_ID_MAX)
        e.message = QStringLiteral("ID number is higher than 4999, click OK and re-enter");
    else if (*id < RADIO_ID_MIN)
        e.message = QStringLiteral("ID number must be between 1000 and 4999, click OK and re-enter");
    else {
        e.fleet = *fleet;
        e.id = *id;
    }
    return e;
}

} // namespace korvel

#include "editors/station/fleetsyncrules.h"
#include "platform/prompts.h"
#include "model/fleetid.h"
#include "model/systemvalues.h"
#include "model/textnumber.h"
#include "link/builders.h"
#include "link/linkstate.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace korvel {

namespace {

// The leave check of a radio's box; the two kinds differ in limits and wording only.
BoxVerdict CheckRadioBox(const QString& text, bool baseRadio, long min, long max, const QString& emptyText,
                         const QString& rangeMessage, const QString& baseText, const QString& baseMessage) {
    BoxVerdict v;
    QString shown = text;
    if (shown.isEmpty()) {
        v.resetText = true;
        v.text = shown = emptyText;
    }
    const std::optional<long> value = DigitsValue(shown);
    if (!value || (*value != 0 && *value < min) || *value > max) {
        v = BoxVerdict{false, true, QString(), rangeMessage, true};
        return v;
    }
    if (baseRadio && *value == 0) v = BoxVerdict{false, true, baseText, baseMessage, false};
    return v;
}

} // namespace

FleetSyncView FleetSyncViewOf(const StationConfig& c) {
    FleetSyncView v;
    v.moduleMode = SystemValue(c, MODULE_MODE) & 15;
    v.port1Protocol = PortProtocol(c, SPORT1_CCB2);
    return v;
}

bool IsMasterStation(const FleetSyncView& view) { return view.moduleMode == MODE_MASTER; }
bool Port1RunsNmea(const FleetSyncView& view) { return view.port1Protocol == PORT_NMEA; }

FleetSyncSettings ShownFleetSync(const FleetSyncSettings& stored, const FleetSyncView& view) {
    FleetSyncSettings s = stored;
    s.Ccb1 = uint8_t(s.Ccb1 & ~(view.ccb1Cleared & (FS_RADIO2 | FS_RADIO3 | FS_MONITORED | FS_SECURITY)));
    return s;
}

QString FleetText(long fleet) { return ThreeDigits(fleet); }
QString IdText(long id) { return QStringLiteral("%1").arg(id, 4, 10, QLatin1Char('0')); }

BoxVerdict CheckFleetBox(const QString& text, int radio, bool master) {
    return CheckRadioBox(
        text, radio == 0 && master, FLEET_MIN, FLEET_MAX, QStringLiteral("000"),
        QStringLiteral("Fleet number must be zero or, between 100 and 349, please renter"), QStringLiteral("100"),
        QStringLiteral("Invalid Fleet number for configuration! Fleet number cannot be zero (broadcast) when "
                       "configured in master mode,") +
            kLineBreak + QStringLiteral("please renter a valid Fleet number between 100 and 349"));
}

BoxVerdict CheckIdBox(const QString& text, int radio, bool master) {
    return CheckRadioBox(
        text, radio == 0 && master, RADIO_ID_MIN, RADIO_ID_MAX, QStringLiteral("0000"),
        QStringLiteral("ID number must be zero or, between 1000 and 4999, please renter"), QStringLiteral("1000"),
        QStringLiteral("Invalid ID number for configuration! ID 'base' number cannot be zero (broadcast) when "
                       "configured in master mode,") +
            kLineBreak + QStringLiteral("please renter a valid ID base number between 1000 and 4999"));
}

QString MobileLine(long fleet, long id) { return FleetText(fleet) + QLatin1Char(':') + IdText(id); }

QStringList MobileLines(const FleetSyncSettings& s) {
    QStringList lines;
    for (int k = 0; k < FS_MOBILES; ++k)
        if (s.SecurityFleet[k] != 0) lines << MobileLine(s.SecurityFleet[k], s.SecurityIDNumber[k]);
    return lines;
}

MobileEntry ParseMobile(const QString& answer) { return ParseFleetId(answer); }

QString MobilePrompt() {
    return QStringList{QStringLiteral("Enter the mobiles unique ID in the format FFF:IIII"), QString(),
                       QStringLiteral("Where FFF = the three digit fleet number."),
                       QStringLiteral("Where IIII = the 4 digit mobile ID."),
                       QStringLiteral("For example 100:1234 would allow the mobile in fleet"),
                       QStringLiteral("100 with an ID of 1234 to have configuration privileges")}
        .join(kLineBreak);
}

QString MobileTitle() { return QStringLiteral("Mobile Fleet/ID"); }
QString EditMobilePrompt() { return QStringLiteral("Edit mobile ID"); }

QString MobileListFullMessage() {
    return QStringLiteral("Security list has reached the maximum allowable size of 20 entries");
}

QString NothingSelectedMessage() { return QStringLiteral("Nothing selected. Click on the item you want to delete"); }

QStringList ReportPeriods() {
    return {QStringLiteral("5 Min"), QStringLiteral("15 Min"), QStringLiteral("30 Min"), QStringLiteral("45 Min"),
            QStringLiteral("60 Min")};
}

QString RadioOneCaption(bool master, bool monitored) {
    if (master) return QStringLiteral("Master/Base Radio Fleet/ID Number");
    return monitored ? QStringLiteral("Vistrel Radio Fleet/ID Number") : QStringLiteral("Radio One Fleet/ID Number");
}

QString SiteHint(bool master) {
    if (master)
        return QStringLiteral(
            "Module is configured for MASTER. The Master/Base ID address must be "
            "set to a 'base' ID that the module's station map address will be added to. "
            "For example if the base is set to 1000 and the station map for an output is set "
            "to 20, then the resultant radio ID (Korvel) that will receive the event for that output "
            "will be 1020. NOTE: That the Radio 2 and Radio 3 IDs may be set normally. "
            "These radios if selected, will receive normal Fleetsync captions that are "
            "entered in the descriptors tabs.");
    return QStringLiteral(
        "Module is configured for SLAVE. Up to three radios may receive notification of "
        "site events. Radio 1 is ALWAYS sent event notification. Additional radios can be "
        "be specified in the Radio 2 and 3 panels. Each radio unit is identified by a "
        "combinationof its Fleet number and ID Number. The radio 's Fleet/ID "
        "number is present in all FleetSync transmissions and should be set "
        "within the range of 100 - 349 for Fleet, and within 1000 - 4999 for ID. "
        "The broadcast facility may also be used to notify a fleet or a group of mobiles "
        "across fleets. "
        "Check the Enable Vistrel box if this Korvel is being monitored by "
        "the Vistrel graphical monitoring package. The radio specified in Vistrel "
        "radio panel must be set to the address of the radio located at the central "
        "monitoring location and connected to the computer running Vistrel");
}

void ApplyFleetSyncForm(const FleetSyncForm& form, FleetSyncSettings& s) {
    for (int r = 0; r < FS_RADIOS; ++r) {
        s.FleetNumber[r] = int32_t(form.fleet[r]);
        s.IDNumber[r] = int32_t(form.id[r]);
    }
    uint8_t ccb1 = s.Ccb1 & uint8_t(~(FS_RADIO2 | FS_RADIO3 | FS_MONITORED | FS_SECURITY));
    if (form.radio2) ccb1 |= FS_RADIO2;
    if (form.radio3) ccb1 |= FS_RADIO3;
    if (form.monitored) ccb1 |= FS_MONITORED;
    if (!form.enableAll) ccb1 |= FS_SECURITY;
    s.Ccb1 = ccb1;
    for (int i = 0; i < FS_CHANNELS; ++i) {
        s.InputTagOff[i] = form.inputOff[i].toLatin1();
        s.InputTagOn[i] = form.inputOn[i].toLatin1();
        s.AnalogTag[i] = form.analog[i].toLatin1();
        s.TempTag[i] = form.temp[i].toLatin1();
    }
    const int listed = std::min<int>(int(form.mobiles.size()), FS_MOBILES);
    for (int k = 0; k < FS_MOBILES; ++k) {
        long fleet = 0, id = 0;
        if (k < listed) {
            // Lines were written by MobileLine, from a stored slot or an accepted answer.
            const QString& line = form.mobiles[k];
            const qsizetype colon = line.indexOf(u':');
            // A number read from a file may be negative; it is kept as it came.
            fleet = colon < 0 ? 0 : line.left(colon).toLong();
            id = colon < 0 ? 0 : line.mid(colon + 1).toLong();
        }
        s.SecurityFleet[k] = int32_t(fleet);
        s.SecurityIDNumber[k] = int32_t(id);
    }
    const int period = form.period >= 0 ? form.period : s.ReportTime & FS_PERIOD_MASK;
    s.ReportTime = uint8_t((period & FS_PERIOD_MASK) | (form.manualAck ? FS_MANUAL_ACK : 0));
}

int MaxRawMessageLength() { return std::min(FLEETSYNC_RAW_MAX, LINK_BUFFER_SIZE - FLEETSYNC_RAW_OVERHEAD); }

QString RawMessageRefusal(const QString& message) {
    if (message.size() > MaxRawMessageLength())
        return QStringLiteral("The raw FleetSync message is too long: at most %1 characters fit in one frame.")
            .arg(MaxRawMessageLength());
    for (const QChar c : message)
        if (c.unicode() > 0xFF)
            return QStringLiteral("The raw FleetSync message can hold single-byte (Latin-1) characters only.");
    return QString();
}

} // namespace korvel

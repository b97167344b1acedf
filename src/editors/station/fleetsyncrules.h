// The FleetSync reporting settings: radio fleet and ID numbers, the permitted mobiles'
// list lines, the acknowledge period and the raw message's limits.
#pragma once

#include "model/fleetid.h"
#include "model/model.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace korvel {

// What the FleetSync dialog needs of the station around it. The serial port editor
// passes the values it has staged but not yet stored.
struct FleetSyncView {
    int moduleMode = 0;      // bits 0-3 of ModuleMode
    int port1Protocol = 0;   // bits 4-6 of serial port 1's second control byte
    uint8_t ccb1Cleared = 0; // Ccb1 bits a port rule has switched off, shown as off
};
FleetSyncView FleetSyncViewOf(const StationConfig& c);

bool IsMasterStation(const FleetSyncView& view);
// Serial port 1 reports GPS positions: the radio side of the station is not in use.
bool Port1RunsNmea(const FleetSyncView& view);

// Ccb1: radios 2 and 3 told of events, the station watched by the monitoring package,
// and the security list in force. The other bits are not the dialog's.
constexpr uint8_t FS_RADIO2 = 0x02;
constexpr uint8_t FS_RADIO3 = 0x04;
constexpr uint8_t FS_MONITORED = 0x40;
constexpr uint8_t FS_SECURITY = 0x80;
// ReportTime: the acknowledge period's list index below the manual-acknowledge bit.
constexpr uint8_t FS_MANUAL_ACK = 0x80;
constexpr uint8_t FS_PERIOD_MASK = 0x7F;

constexpr int FS_RADIOS = 3;
constexpr int FS_MOBILES = 20;
constexpr int FS_CHANNELS = 8;

// The record as the dialog shows it: the bits the caller has switched off are off.
FleetSyncSettings ShownFleetSync(const FleetSyncSettings& stored, const FleetSyncView& view);

// "000" and "0000" forms of the radio and mobile numbers; longer numbers stay whole.
QString FleetText(long fleet);
QString IdText(long id);

// The verdict on a radio's fleet or ID box as the focus leaves it.
struct BoxVerdict {
    bool accepted = true;
    bool resetText = false;  // the box then shows text
    QString text;
    QString message;         // shown when not empty
    bool beep = false;
};
// radio 0 is the one that always receives events; on a master station it is the base
// address the station maps are added to, so it cannot be the broadcast address.
BoxVerdict CheckFleetBox(const QString& text, int radio, bool master);
BoxVerdict CheckIdBox(const QString& text, int radio, bool master);

// A permitted mobile's list line, "FFF:IIII".
QString MobileLine(long fleet, long id);
QStringList MobileLines(const FleetSyncSettings& s);
// An answer to the add or edit box: accepted when message is empty.
using MobileEntry = FleetIdEntry;
MobileEntry ParseMobile(const QString& answer);
QString MobilePrompt();
QString MobileTitle();
QString EditMobilePrompt();
QString MobileListFullMessage();
QString NothingSelectedMessage();

// The acknowledge periods, in list order.
QStringList ReportPeriods();

// Radio 1's frame caption and the hint beside the radios.
QString RadioOneCaption(bool master, bool monitored);
QString SiteHint(bool master);

// What the dialog's controls hold when OK is pressed.
struct FleetSyncForm {
    long fleet[FS_RADIOS] = {};
    long id[FS_RADIOS] = {};
    bool radio2 = false, radio3 = false, monitored = false, enableAll = false;
    QStringList mobiles;  // lines as MobileLine writes them
    QString inputOn[FS_CHANNELS], inputOff[FS_CHANNELS], analog[FS_CHANNELS], temp[FS_CHANNELS];
    bool manualAck = false;
    int period = -1;  // list index; -1 none selected
};
// Puts form into s: the edited Ccb1 bits (others kept), the listed mobiles with every
// slot after them emptied, the tags, and the period (a period the list cannot show
// keeps its stored index).
void ApplyFleetSyncForm(const FleetSyncForm& form, FleetSyncSettings& s);

// Characters a raw message may hold: it must fit the frame's length byte and the send
// buffer.
int MaxRawMessageLength();
// Why message cannot be sent as a raw FleetSync message, or an empty text.
QString RawMessageRefusal(const QString& message);

} // namespace korvel

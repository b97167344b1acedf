#include "control/eventdisplay.h"

#include "link/linkhold.h"
#include "link/builders.h"

#include "model/model.h"
#include "model/systemvalues.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "model/eventlist.h"
#include "model/textnumber.h"
#include "platform/prompts.h"

#include <QLocale>

namespace korvel {

namespace {

constexpr int ANALOG_RECORD_SIZE = 3;

// "hh:mm:ss" on the 12-hour clock followed by the regional AM/PM designator.
QString eventTime(const QTime& now) {
    QString designator = SingleByteLocaleText(
        QLocale(), [&now](const QLocale& l) { return now.hour() < 12 ? l.amText() : l.pmText(); });
    if (designator.isEmpty()) designator = now.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    int hour = now.hour() % 12;
    if (hour == 0) hour = 12;
    return QStringLiteral("%1:%2:%3 ")
               .arg(hour, 2, 10, QLatin1Char('0'))
               .arg(now.minute(), 2, 10, QLatin1Char('0'))
               .arg(now.second(), 2, 10, QLatin1Char('0')) +
           designator;
}

// value × 0.02 V to one decimal. value / 5 tenths never ends in a half, so integer
// rounding gives exactly what rounding the product would.
QString volts(int value) {
    const int tenths = (value + 2) / 5;
    return QString::number(tenths / 10) +
           SingleByteLocaleText(QLocale(), [](const QLocale& l) { return l.decimalPoint(); }) +
           QString::number(tenths % 10);
}

// An event goes to the monitor's list and, while logging is on, to the event log: the
// log of an event monitor is kept for its events.
void addEvent(const QString& line) {
    AddEventLine(line);
    PrintEventLog(line);
}

const char* const kAnalogStates[4] = {
    ", below low set, current voltage = ",
    ", above low set, current voltage =  ",
    ", below high set, current voltage =  ",
    ", above high set, current voltage =  ",
};

} // namespace

void DisplayEventPacket(const QByteArray& RxBuffer) { DisplayEventPacketAt(RxBuffer, QTime::currentTime()); }

void DisplayEventPacketAt(const QByteArray& RxBuffer, const QTime& now) {
    const RxFrame f(RxBuffer);
    // Records lie between the class byte and the checksum at byte L.
    const int length = f.Length();
    if (length < FRAME_DATA || f[FRAME_PACKET_TYPE] != PKT_EVENT) return;
    const QString head = eventTime(now) + QStringLiteral(", Station: ") +
                         ThreeDigits(f[FRAME_SOURCE]);
    switch (f[FRAME_COMMAND]) {
    case EVENT_CLASS_CONTACT:
        for (int i = FRAME_DATA; i < length; ++i) {
            const uint8_t r = f[i];
            addEvent(head + QStringLiteral(" Contact Input ") + QString::number((r & 0x3F) + 1) +
                     QLatin1String((r & 0x80) ? " ON" : " OFF"));
        }
        break;
    case EVENT_CLASS_ANALOG:
        // Only whole records: a record cut short would take the checksum for its value.
        for (int i = FRAME_DATA; i + ANALOG_RECORD_SIZE <= length; i += ANALOG_RECORD_SIZE) {
            const uint8_t r = f[i];
            const int value = f[i + 1] + 256 * f[i + 2];
            addEvent(head + QStringLiteral(" Analog Input") + QString::number((r & 0x3F) + 1) +
                     QLatin1String(kAnalogStates[r >> 6]) + volts(value) + QLatin1Char('V'));
        }
        break;
    default:
        break;
    }
}

void OpenEventMonitor(int16_t eventPort) {
    auto& m = eventMonitor();
    m.EventMonitorOpen = true;
    m.ShowAllOffered = false;
    switch (eventPort) {
    case EVENT_PORT_SERIAL1:
        m.Caption = QStringLiteral("Status Monitor - Port: VLX1");
        break;
    case EVENT_PORT_SERIAL2:
        if (Port2RunsFleetSync(config())) {
            m.Caption = QStringLiteral("Status Monitor - Port: S2 Protocol: FLEETSYNC");
            // The link layer reports a failure itself; the monitor opens regardless.
            SendSetProtocol(CMD_SET_PROTOCOL, 0, 0, 0, 1, 0, 0);
        } else {
            m.Caption = QStringLiteral("Status Monitor - Port: VLX2 Protocol: BINMP");
        }
        break;
    case EVENT_PORT_LOCAL_RADIO:
        m.Caption = QStringLiteral("Status Monitor - Port: PC-LOCAL Protocol: FLEETSYNC");
        m.ShowAllOffered = true;
        break;
    default:
        m.Caption = EventMonitorState{}.Caption;
        break;
    }
}

void CloseEventMonitor(bool reopenPort) {
    // A port that cannot be opened has been reported by the link layer; it must not keep
    // the monitor, and with it the log file, open.
    if (reopenPort) OpenLinkPort();
    auto& m = eventMonitor();
    m.EventMonitorOpen = false;
    StopEventLog();
    m.EventLogOn = false;
    // A new monitor starts with an empty list, the filter on and its design title.
    m.lstEvents.clear();
    m.EventShowAll = false;
    m.ShowAllOffered = false;
    m.Caption = EventMonitorState{}.Caption;
}

int16_t SendSetProtocol(uint8_t code, uint8_t station1, uint8_t station2, uint8_t station3,
                        uint8_t data1, uint8_t data2, uint8_t data3) {
    const LinkHold hold;
    QByteArray frame = TxFrame(10, station1, station2, station3, PKT_SET, code);
    uint8_t* t = FrameBytes(frame);
    t[7] = data1;
    t[8] = data2;
    t[9] = data3;
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

namespace {
// Logging is off after a failure; the user is told why.
bool tellLogFailure(const QString& problem) {
    if (problem.isEmpty()) return false;
    MsgBox(problem, vbOKOnly + vbExclamation);
    return true;
}
} // namespace

bool StartEventLog(const QString& dataFolder, const QDateTime& now) {
    return !tellLogFailure(OpenEventLog(dataFolder, now));
}

void StopEventLog(const QDateTime& now) { tellLogFailure(CloseEventLog(now)); }

void PrintEventLog(const QString& line) { tellLogFailure(WriteEventLog(line)); }

} // namespace korvel

#include "link/fleetsync.h"

#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/linkclient.h"
#include "link/transaction.h"
#include "platform/eventpump.h"

#include <QDeadlineTimer>
#include <algorithm>

namespace korvel {

namespace {

void MonitorLine(const QString& text) { linkClient().TrafficLine(text); }

// The reply time-out of a waiting transaction runs on; it is started when it was not
// yet running. What the radio says never ends a transaction by itself, so without this
// a refused or lost message would be waited for forever.
void KeepReplyTimeout(bool restart) {
    auto& s = linkState();
    if (!TransactionOpen(OpenTransaction::AwaitingAnswer)) return;
    if (restart || !linkHost().TimerEnabled(LinkTimer::CommIn)) s.PacketTimeoutCount = s.PacketTimeoutReload;
    linkHost().SetTimerEnabled(LinkTimer::CommIn, true);
}

bool IsHexDigit(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

} // namespace

void ShowRadioProgress(ProgressLabel label, const QString& text) { linkClient().RadioProgress(label, text); }

uint8_t HexCharToNibble(uint8_t code) { return static_cast<uint8_t>(code < 58 ? code - 48 : code - 55); }

QByteArray FleetSyncTextFrame(const uint8_t* frame, const QString& target) {
    const int length = frame[FRAME_LENGTH];
    QByteArray text;
    text.reserve(2 * length + 12);
    text.append(char(STX));
    text.append(length < 20 ? FSMSG_SDM : FSMSG_LDM);
    text.append(target.mid(0, 3).toLatin1());
    text.append(target.mid(4, 4).toLatin1());
    for (int i = 0; i <= length; ++i) {
        text.append(char(NibbleToHexChar((frame[i] & 0xF0) / 16)));
        text.append(char(NibbleToHexChar(frame[i] & 15)));
    }
    text.append(char(ETX));
    return text;
}

void WrapPacketInFleetSync() {
    auto& s = linkState();
    s.FleetSyncTxFrame = FleetSyncTextFrame(s.TxBuffer, s.FleetSyncTarget);
    const int n = std::min<int>(int(s.FleetSyncTxFrame.size()), LINK_BUFFER_SIZE);
    std::copy_n(s.FleetSyncTxFrame.constData(), n, reinterpret_cast<char*>(s.TxBuffer));
    s.TxLength = static_cast<int16_t>(n);
    if (linkClient().TrafficShown()) MonitorLine(QStringLiteral(" - TX ") + QString::fromLatin1(s.FleetSyncTxFrame));
}

bool DecodeFleetSyncPayload() {
    auto& s = linkState();
    const int end = std::min<int>(s.RxLength, LINK_BUFFER_SIZE);
    QByteArray text;
    for (int i = 9; i < end && s.RxBuffer[i] != ETX; ++i) text.append(char(s.RxBuffer[i]));
    if (text.isEmpty() || text.size() % 2 != 0) return false;
    for (char c : text)
        if (!IsHexDigit(static_cast<uint8_t>(c))) return false;
    QByteArray bytes;
    for (int p = 0; p + 1 < text.size(); p += 2)
        bytes.append(char(HexCharToNibble(uint8_t(text[p])) * 16 + HexCharToNibble(uint8_t(text[p + 1]))));
    // Exactly one frame: its Length byte must account for every byte that came.
    if (int(uint8_t(bytes[0])) + 1 != bytes.size()) return false;
    std::copy_n(bytes.constData(), bytes.size(), reinterpret_cast<char*>(s.RxBuffer));
    return true;
}

void ParseFleetSyncInput() {
    auto& s = linkState();
    const int size = std::min<int>(s.RxLength, LINK_BUFFER_SIZE);
    const QByteArray frame(reinterpret_cast<const char*>(s.RxBuffer), size);
    const char kind = frame.size() > 1 ? frame[1] : '\0';
    const bool reply = frame.size() > 2 && frame[2] == char(ETX);
    const bool monitor = linkClient().TrafficShown();
    const auto upToEtx = [&frame](int from) {
        const int etx = frame.indexOf(char(ETX), from);
        return QString::fromLatin1(frame.mid(from, etx < 0 ? -1 : etx - from));
    };

    if (!reply) {
        s.LastRxFleet = frame.mid(2, 3);
        s.LastRxRadioId = frame.mid(5, 4);
    } else if (monitor) {
        if (kind == FSREPLY_ACK) MonitorLine(QStringLiteral(" - RX Local Radio ACK"));
        else if (kind == FSREPLY_NACK) MonitorLine(QStringLiteral(" - RX Local Radio NACK"));
        else if (kind == FSREPLY_BUSY) MonitorLine(QStringLiteral(" - RX Local Radio BUSY"));
    }
    if (monitor) {
        const QString from = QStringLiteral("Fleet:") + QString::fromLatin1(s.LastRxFleet) +
                             QStringLiteral(" RadioID:") + QString::fromLatin1(s.LastRxRadioId) + QLatin1Char(' ');
        if (linkClient().AllTrafficShown()) MonitorLine(QStringLiteral(" - RX ") + upToEtx(1));
        else if (kind == FSMSG_STATUS)
            MonitorLine(QStringLiteral(" - RX ") + from + QStringLiteral("Status:") + QString::fromLatin1(frame.mid(9, 2)));
        else if (kind == FSMSG_SDM) MonitorLine(QStringLiteral(" RX - ") + from + QStringLiteral("SDM:") + upToEtx(9));
        else if (kind == FSMSG_LDM) MonitorLine(QStringLiteral(" RX - ") + from + QStringLiteral("LDM:") + upToEtx(9));
    }

    LinkHost& host = linkHost();
    switch (kind) {
    case FSREPLY_ACK:
        ShowRadioProgress(ProgressLabel::lblKen, QStringLiteral("Base radio: ACK"));
        // The message is on the air: the remote station's answer is due within the
        // reply time-out from now.
        KeepReplyTimeout(true);
        break;
    case FSREPLY_NACK:
    case FSREPLY_BUSY:
    case FSREPLY_DATA_ERROR:
        ShowRadioProgress(ProgressLabel::lblKen, kind == FSREPLY_NACK   ? QStringLiteral("Base radio: NACK")
                                            : kind == FSREPLY_BUSY ? QStringLiteral("Base radio: BUSY")
                                                                   : QStringLiteral("Data Error Base radio"));
        // Not sent: the time-out resends it like a message that got no answer.
        KeepReplyTimeout(false);
        break;
    case FSMSG_SDM:
    case FSMSG_LDM: {
        ShowRadioProgress(ProgressLabel::lblKen, QStringLiteral("Data packet received"));
        if (!DecodeFleetSyncPayload() || RxChecksumBad()) {
            // A garbled frame is no answer: the wait goes on and times out as usual.
            KeepReplyTimeout(false);
            break;
        }
        host.SetTimerEnabled(LinkTimer::CommIn, false);
        linkClient().FrameReceived();
        // An event or a late answer leaves the transaction waiting: its time-out runs.
        KeepReplyTimeout(false);
        ShowRadioProgress(ProgressLabel::Label1, QStringLiteral("Waiting for radio"));
        // The radio needs this pause before it can take the next message: whatever is
        // sent next, an answer's follow-up or an acknowledgement, waits it out. Frames
        // that arrive meanwhile are handled as they come.
        s.RadioQuietUntil = QDeadlineTimer(s.FleetSyncPauseMs);
        break;
    }
    default:
        ShowRadioProgress(ProgressLabel::lblKen, QStringLiteral("RADIO TRAFFIC... wait"));
        host.SetTimerEnabled(LinkTimer::InterByte, true);
        KeepReplyTimeout(false);
        return;
    }
    host.SetTimerEnabled(LinkTimer::InterByte, false);
}

bool WaitForRadioPause() {
    const auto& s = linkState();
    // The reply time-out counts ticks of the reply timer.
    const qint64 holdMs = std::max<qint64>(
        s.FleetSyncPauseMs, qint64(s.PacketTimeoutReload) * linkHost().TimerInterval(LinkTimer::CommIn));
    // Counted from the end of the rest under way, not from now: a late answer or another
    // station's event that comes meanwhile still gets its whole rest. A message that came
    // only once that rest had ended (before this wait saw it end) starts the count again.
    QDeadlineTimer rest = s.RadioQuietUntil;
    QDeadlineTimer limit = rest.isForever() ? QDeadlineTimer(s.FleetSyncPauseMs + holdMs) : rest + holdMs;
    for (;;) {
        if (s.RadioQuietUntil != rest) {
            if (s.RadioQuietUntil.deadlineNSecs() - s.FleetSyncPauseMs * 1'000'000LL >= rest.deadlineNSecs())
                limit = s.RadioQuietUntil + holdMs;
            rest = s.RadioQuietUntil;
        }
        if (rest.hasExpired() || limit.hasExpired()) return true;
        if (s.UserCancel || ProgramEnding()) return false;
        const qint64 left = std::min(rest.remainingTime(), limit.remainingTime());
        WaitForEvents(int(std::clamp<qint64>(left, 1, 100)));
    }
}

} // namespace korvel

#include "link/fleetsync.h"

#include "link/frame.h"
#include "link/linkhold.h"
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
    if (restart || !linkHost().TimerEnabled(LinkTimer::CommIn)) s.PacketTimeoutCount = ReplyTicksNow();
    linkHost().SetTimerEnabled(LinkTimer::CommIn, true);
}

bool IsHexDigit(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

} // namespace

void ShowRadioProgress(ProgressLabel label, const QString& text) { linkClient().RadioProgress(label, text); }

uint8_t HexCharToNibble(uint8_t code) { return static_cast<uint8_t>(code < 58 ? code - 48 : code - 55); }

QByteArray FleetSyncTextFrame(const QByteArray& frame, const QString& target) {
    if (frame.isEmpty()) return QByteArray();
    // The frame's own Length says how much of it there is, as far as the bytes go.
    const int length = std::min<int>(uint8_t(frame[FRAME_LENGTH]), int(frame.size()) - 1);
    QByteArray text;
    text.reserve(2 * length + 12);
    text.append(char(STX));
    text.append(length < 20 ? FSMSG_SDM : FSMSG_LDM);
    text.append(target.mid(0, 3).toLatin1());
    text.append(target.mid(4, 4).toLatin1());
    for (int i = 0; i <= length; ++i) {
        const uint8_t b = uint8_t(frame[i]);
        text.append(char(NibbleToHexChar((b & 0xF0) / 16)));
        text.append(char(NibbleToHexChar(b & 15)));
    }
    text.append(char(ETX));
    return text;
}

QByteArray WrapPacketInFleetSync(const QByteArray& frame) {
    auto& s = linkState();
    s.FleetSyncTxFrame = FleetSyncTextFrame(frame, s.FleetSyncTarget);
    if (linkClient().TrafficShown()) MonitorLine(QStringLiteral(" - TX ") + QString::fromLatin1(s.FleetSyncTxFrame));
    return s.FleetSyncTxFrame;
}

std::optional<QByteArray> DecodeFleetSyncPayload(const QByteArray& text) {
    const int etx = int(text.indexOf(char(ETX), 9));
    const QByteArray digits = text.size() > 9 ? text.mid(9, etx < 0 ? -1 : etx - 9) : QByteArray();
    if (digits.isEmpty() || digits.size() % 2 != 0) return std::nullopt;
    for (char c : digits)
        if (!IsHexDigit(static_cast<uint8_t>(c))) return std::nullopt;
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (int p = 0; p + 1 < digits.size(); p += 2)
        bytes.append(char(HexCharToNibble(uint8_t(digits[p])) * 16 + HexCharToNibble(uint8_t(digits[p + 1]))));
    // Exactly one frame: its Length byte must account for every byte that came.
    if (int(uint8_t(bytes[0])) + 1 != bytes.size()) return std::nullopt;
    return bytes;
}

void ParseFleetSyncInput(const QByteArray& text) {
    auto& s = linkState();
    const char kind = text.size() > 1 ? text[1] : '\0';
    const bool reply = text.size() > 2 && text[2] == char(ETX);
    const bool monitor = linkClient().TrafficShown();
    const auto upToEtx = [&text](int from) {
        const int etx = text.indexOf(char(ETX), from);
        return QString::fromLatin1(text.mid(from, etx < 0 ? -1 : etx - from));
    };

    if (!reply) {
        s.LastRxFleet = text.mid(2, 3);
        s.LastRxRadioId = text.mid(5, 4);
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
            MonitorLine(QStringLiteral(" - RX ") + from + QStringLiteral("Status:") + QString::fromLatin1(text.mid(9, 2)));
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
        const std::optional<QByteArray> carried = DecodeFleetSyncPayload(text);
        if (!carried || !FrameChecksumGood(*carried)) {
            // A garbled frame is no answer: the wait goes on and times out as usual.
            KeepReplyTimeout(false);
            break;
        }
        host.SetTimerEnabled(LinkTimer::CommIn, false);
        linkClient().FrameReceived(*carried);
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

bool WaitForRadioPause(const LinkHold& hold) {
    const auto& s = linkState();
    // The reply time-out counts ticks of the reply timer.
    const qint64 holdMs = std::max<qint64>(
        s.FleetSyncPauseMs, qint64(hold.ReplyTimeout() > 0 ? hold.ReplyTimeout() : s.PacketTimeoutReload) * linkHost().TimerInterval(LinkTimer::CommIn));
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
        if (hold.CancelSeen() || ProgramEnding()) return false;
        const qint64 left = std::min(rest.remainingTime(), limit.remainingTime());
        WaitForEvents(int(std::clamp<qint64>(left, 1, 100)));
    }
}

} // namespace korvel

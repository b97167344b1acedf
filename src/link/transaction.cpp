#include "link/transaction.h"

#include "link/fleetsync.h"
#include "link/frame.h"
#include "link/linkclient.h"
#include "link/linkhold.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "link/transport.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"

#include <algorithm>

namespace korvel {

namespace {

bool g_unheldSendStops = true;

void panel(int n, const QString& text) { linkHost().SetPanelText(n, text); }

// Replies that carry, in their first data byte, the block, group or module index their
// request asked for.
bool EchoesIndex(int command) {
    switch (command) {
    case CMD_CFG_SYSTEM:
    case CMD_CFG_INPUTS:
    case CMD_CFG_OUTPUTS:
    case CMD_CFG_ANALOGS:
    case CMD_CFG_TEMPS:
    case CMD_CFG_FLEETSYNC:
    case CMD_CHILD_INFO:
    case CMD_INPUT_STATUS:
    case CMD_OUTPUT_STATUS:
    case CMD_ANALOG_STATUS:
    case CMD_TEMP_STATUS: return true;
    default: return false;
    }
}

int16_t cancelTransaction() {
    StopWaitTimer();
    linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    panel(4, QStringLiteral("User Cancel"));
    return SEND_CANCELLED;
}

bool cancelled(const LinkHold& hold, const Transaction& t) { return hold.CancelSeen() || t.Abandoned; }

int16_t endTransaction(const Transaction& t) {
    switch (t.State) {
    case TX_REPLY_RECEIVED:
    case TX_DONE: return SEND_OK;
    case TX_LINK_LOST: return SEND_LINK_LOST;
    case TX_REFUSED: return SEND_REFUSED;
    default: return SEND_NO_ANSWER;
    }
}

// Closes the transaction whenever its sender returns, however it returns.
struct OpenWhileSending {
    explicit OpenWhileSending(Transaction& t) : t_(t) { t_.Open(); }
    ~OpenWhileSending() { t_.Close(); }
    Transaction& t_;
};

void traceSend(const QByteArray& prefix, const Transaction& t) {
    if (linkState().TraceOn) TraceTxFrame(prefix, t.Wire());
}

// The frame goes out (again): it is a try of its own, with its own reply time-out from
// now. A reason to resend that came before it went is answered by it.
void putOnTheLine(const LinkHold& hold, Transaction& t, bool resend) {
    auto& s = linkState();
    t.RetryRequest = false;
    s.PacketTimeoutCount = ReplyTicksNow();
    // A borrower never opens the link again: on a link that is gone its work ends.
    if (hold.Borrowed() && !LinkUsable()) {
        t.State = TX_LINK_LOST;
        return;
    }
    if (s.TcpLinkActive) {
        TcpSendTxBuffer(hold, t);
        return;
    }
    StartWaitTimer();
    // A port closed by an error (the adapter pulled, the line gone) is tried again: it
    // may be back by now. Otherwise this try times out like any other.
    if (resend && !CommPort().IsOpen()) ReopenCommPort();
    WriteTxFrame(t);
}

void Retransmit(const LinkHold& hold, Transaction& t) {
    auto& s = linkState();
    ++t.RetryNumber;
    traceSend("RTX: ", t);
    if (RadioProtocol()) {
        if (!WaitForRadioPause(hold)) {
            // Cancelled while the radio rested: this try is not made, and the wait ends.
            t.State = TX_GAVE_UP;
            return;
        }
        // The answer came while the radio rested: sent again, the frame would be
        // answered twice, and the second answer would meet the next request.
        if (t.State >= TX_REPLY_RECEIVED) return;
    }
    if (linkClient().TrafficShown()) linkClient().TrafficLine(QStringLiteral(" - TX ") + QString::fromLatin1(s.FleetSyncTxFrame));
    putOnTheLine(hold, t, true);
}

// What the link ran over when a job was asked whether to go on. A Yes goes on only on
// that link: one that was there when the question came up and went away or was opened
// anew meanwhile is not the job's any more. One that had already gone (an adapter pulled
// during the retries) is the job's own to open again, as any resend does.
struct LinkAsLeft {
    int16_t mode;
    bool tcp;
    int connection;
    bool usable;
};

LinkAsLeft linkNow() {
    const auto& s = linkState();
    return {s.LinkMode, s.TcpLinkActive, s.ConnectionNumber, LinkUsable()};
}

bool stillTheLink(const LinkAsLeft& before) {
    const LinkAsLeft now = linkNow();
    if (now.mode != before.mode || now.tcp != before.tcp) return false;
    return !before.usable || (now.connection == before.connection && now.usable);
}

// The job gives up on the module: its later requests give up quietly, and once its
// hold ends the program decides what that means for the link.
void giveUp(const LinkHold& hold, Transaction& t) {
    t.State = TX_GAVE_UP;
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    hold.GiveUp();
}

void HandleCommTimeout(const LinkHold& hold, Transaction& t) {
    auto& s = linkState();
    t.RetryRequest = false;
    // Once the job is cancelled, the try under way is the last: it has timed out, so
    // the wait ends and the sender reports the call as cancelled.
    if (cancelled(hold, t)) {
        t.State = TX_GAVE_UP;
        return;
    }
    if (t.RetryNumber < linkClient().Settings().RetryCount) {
        panel(3, QStringLiteral("RETRY ...") + QString::number(t.RetryNumber));
        linkHost().RefreshStatusBar();
        Retransmit(hold, t);
        return;
    }
    // A borrower's work is its own, the link is not: it gives up quietly, and the lender
    // finds the link as it left it. So does a duty of the program's own while another
    // question is on screen, and a job that has given up on the module already (its
    // clean-up after the failure).
    if (!hold.MayAsk() || hold.GaveUp()) {
        if (s.TraceOn) TraceWriteLine("NO ANSWER: given up without asking");
        t.State = TX_GAVE_UP;
        panel(3, QString());
        linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
        return;
    }
    const LinkAsLeft before = linkNow();
    bool goOn;
    {
        // Nothing of this transaction is on the line while the job decides: a late
        // answer finds nothing open, and the job may lend the link while it asks.
        t.Close();
        linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
        goOn = linkClient().GoOnWithoutAnswer(hold);
        t.Open();
    }
    if (!goOn || ProgramEnding()) {
        giveUp(hold, t);
        return;
    }
    // Gone meanwhile (a cable pulled, the host's close, a reset): nothing is written to a
    // port or socket that is not there, and the job ends as if it had given up.
    if (!stillTheLink(before)) {
        if (s.TraceOn) TraceWriteLine("NO LINK: the link was lost while the job decided");
        giveUp(hold, t);
        t.State = TX_LINK_LOST;
        return;
    }
    t.RetryNumber = 0;
    panel(3, QString());
    linkHost().RefreshStatusBar();
    Retransmit(hold, t);
}

int16_t sendSwitchThroughAndWait(const LinkHold& hold, Transaction& t) {
    SendSwitchThrough(t);
    // Nothing answers a send-only frame (an event acknowledgement): once the host has it,
    // it is done.
    if (t.State == TX_SEND_ONLY) t.State = TX_DONE;
    TcpClient& host = SwitchThroughSocket();
    while (t.State < TX_REPLY_RECEIVED) {
        // The host may never answer: the user (or the program's shut-down) can still end
        // the wait.
        if (cancelled(hold, t) || ProgramEnding()) return cancelTransaction();
        // Without the host nobody will ever answer.
        if (host.State() != sckConnected) {
            t.State = TX_LINK_LOST;
            break;
        }
        WaitForEvents();
    }
    return endTransaction(t);
}

} // namespace

Transaction::Transaction(QByteArray request, int16_t mode) : request_(std::move(request)), mode_(mode) {
    State = mode;
    // Taken now: the radio's address belongs to the link as it is when the frame is made.
    wire_ = RadioProtocol() ? WrapPacketInFleetSync(request_) : request_;
}

Transaction::~Transaction() { Close(); }

void Transaction::Open() {
    if (open_) return;
    linkState().Open = this;
    open_ = true;
}

void Transaction::Close() {
    if (!open_) return;
    auto& s = linkState();
    if (s.Open == this) {
        s.Open = nullptr;
        // A job's own longer time-out ends with its request: the countdown at rest is the
        // connection's again.
        if (ReplyTicks > 0) s.PacketTimeoutCount = s.PacketTimeoutReload;
    }
    open_ = false;
    WakeLinkQueue();
}

bool Transaction::Answers(const RxFrame& f) const {
    const int length = f.Length();
    const QByteArray& r = request_;
    if (r.size() <= FRAME_COMMAND) return true;
    const auto req = [&r](int i) { return uint8_t(r[i]); };
    // One that names another command belongs to an earlier transaction.
    if (length > FRAME_COMMAND && f[FRAME_COMMAND] != req(FRAME_COMMAND)) return false;
    // A remote station answers with its own address; what the local module gives as its
    // source is not relied on.
    const uint8_t asked = req(FRAME_DESTINATION);
    if (asked != 0 && asked != 255 && f[FRAME_SOURCE] != asked) return false;
    if (f[FRAME_PACKET_TYPE] == PKT_REPLY && EchoesIndex(f[FRAME_COMMAND]) && req(FRAME_LENGTH) > FRAME_DATA &&
        length > FRAME_DATA && f[FRAME_DATA] != req(FRAME_DATA))
        return false;
    return true;
}

Transaction* OpenTransactionNow() { return linkState().Open; }

int16_t OpenTxState() {
    const Transaction* t = linkState().Open;
    return t ? t->State : int16_t(TX_IDLE);
}

void SetUnheldSendStops(bool stops) { g_unheldSendStops = stops; }

bool TransactionOpen(OpenTransaction which) {
    const int16_t t = OpenTxState();
    if (t == TX_WAIT_ACK || t == TX_WAIT_REPLY) return true;
    return which == OpenTransaction::Any && t == TX_SEND_ONLY;
}

void EndOpenTransaction(int16_t how) {
    if (Transaction* t = linkState().Open; t && t->State < TX_REPLY_RECEIVED) t->State = how;
}

void ResendOpenTransaction() {
    if (Transaction* t = linkState().Open) t->RetryRequest = true;
}

int16_t ReplyTicksNow() {
    const auto& s = linkState();
    return s.Open && s.Open->ReplyTicks > 0 ? s.Open->ReplyTicks : s.PacketTimeoutReload;
}

void SetConnectionReplyTimeout(int ticks) {
    auto& s = linkState();
    s.PacketTimeoutReload = static_cast<int16_t>(std::clamp(ticks, 0, 32767));
    s.PacketTimeoutCount = ReplyTicksNow();
}

bool CancellableWait(const LinkHold& hold, int ms) {
    return PauseMs(ms, [&hold] { return hold.CancelSeen(); });
}

void AbandonTransaction() {
    if (Transaction* t = linkState().Open) t->Abandoned = true;
}

int16_t SendPacket(const LinkHold& hold, const QByteArray& frame, int16_t mode) {
    RequireNoIoHandler("a send that waits for its reply");
    auto& s = linkState();
    // Only the job that holds the link may put a frame on it: anything else would cut
    // into that job's exchange with the module.
    if (!hold.MaySend()) {
        if (s.TraceOn) TraceWriteLine("TX REFUSED: the link is not held");
        qWarning("A frame was given to the link by code that does not hold it; it was not sent.");
        Q_ASSERT_X(!g_unheldSendStops, "SendPacket", "a frame sent without holding the link");
        return SEND_REFUSED;
    }
    // The holder's own code runs inside its open transaction only to handle its answer.
    if (s.Open) return SEND_REFUSED;
    // An ending program sends nothing more.
    if (ProgramEnding()) return SEND_CANCELLED;

    Transaction t(frame, mode);
    t.ReplyTicks = hold.ReplyTimeout();
    const OpenWhileSending open(t);
    panel(3, QString());
    traceSend("TX: ", t);
    if (s.LinkMode == LINK_SWITCH_THROUGH) return sendSwitchThroughAndWait(hold, t);

    // The transaction is open already, so nothing else sends while the radio rests.
    if (RadioProtocol() && !WaitForRadioPause(hold)) return cancelTransaction();
    putOnTheLine(hold, t, false);

    for (;;) {
        if (t.State >= TX_REPLY_RECEIVED) break;
        if (t.TxIndex == int(t.Wire().size()) - 1 && cancelled(hold, t)) return cancelTransaction();
        // The program is ending: no answer is waited for, whatever went out.
        if (ProgramEnding()) return cancelTransaction();
        WaitForEvents();
        // An answer and a reason to resend may come in one pass: the answer wins.
        if (t.State >= TX_REPLY_RECEIVED) break;
        if (t.RetryRequest) HandleCommTimeout(hold, t);
        if (t.State == t.Mode() && t.Mode() != TX_SEND_ONLY && s.WaitElapsed == 1) {
            if (s.TraceOn) TraceWriteLine("MSComm transmit failure'");
            HandleCommTimeout(hold, t);
        }
        // A send-only frame is given as long to leave the port as any frame's try, and is
        // never sent again (it would answer its event twice): on a port that has closed
        // itself (the adapter pulled) or stalls, it has failed.
        if (t.State == TX_SEND_ONLY && s.WaitElapsed == 1) {
            if (s.TraceOn) TraceWriteLine("MSComm transmit failure'");
            t.State = TX_GAVE_UP;
        }
    }
    if (cancelled(hold, t)) return cancelTransaction();
    return endTransaction(t);
}

bool LinkUsable() {
    const LinkState& s = linkState();
    if (s.LinkMode == LINK_SWITCH_THROUGH) return SwitchThroughSocket().State() == sckConnected;
    if (s.TcpLinkActive) return TcpClientSocket().State() == sckConnected;
    return CommPort().IsOpen();
}

void ReportLinkOffLine(const QString& message) {
    auto& s = linkState();
    s.LinkMode = LINK_NORMAL;
    linkClient().CommunicationLost();
    panel(3, QString());
    panel(4, message);
    linkHost().RefreshStatusBar();
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    linkHost().SetTimerEnabled(LinkTimer::MsgTimer, true);
}

} // namespace korvel

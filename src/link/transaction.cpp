#include "link/transaction.h"

#include "link/fleetsync.h"
#include "link/linkclient.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "link/transport.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"

#include <cstring>

namespace korvel {

namespace {


void panel(int n, const QString& text) { linkHost().SetPanelText(n, text); }

// The transaction is over: a cancel that was meant for it alone goes with it.
void dropTransactionCancel() {
    auto& s = linkState();
    if (!s.CancelEndsWithTransaction) return;
    s.CancelEndsWithTransaction = false;
    s.UserCancel = false;
}

int16_t cancelTransaction() {
    auto& s = linkState();
    dropTransactionCancel();
    StopWaitTimer();
    linkHost().SetTimerEnabled(LinkTimer::InterByte, false);
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    panel(4, QStringLiteral("User Cancel"));
    s.TxState = TX_IDLE;
    s.OpenTxFrame.clear();
    s.OpenRequest.clear();
    s.OpenCommand = -1;
    return SEND_CANCELLED;
}

int16_t endTransaction() {
    auto& s = linkState();
    const int16_t result = s.TxState > TX_DONE ? SEND_FAILED : SEND_OK;
    dropTransactionCancel();
    s.TxState = TX_IDLE;
    s.OpenTxFrame.clear();
    s.OpenRequest.clear();
    s.OpenCommand = -1;
    return result;
}

int16_t sendSwitchThroughAndWait() {
    auto& s = linkState();
    SendSwitchThrough();
    // Nothing answers a send-only frame (an event acknowledgement): once the host has it,
    // it is done.
    if (s.TxState == TX_SEND_ONLY) s.TxState = TX_DONE;
    TcpClient& host = SwitchThroughSocket();
    while (s.TxState < TX_REPLY_RECEIVED) {
        // The host may never answer: the user (or the program's shut-down) can still end
        // the wait.
        if (s.UserCancel || ProgramEnding()) return cancelTransaction();
        // Without the host nobody will ever answer.
        if (host.State() != sckConnected) {
            s.TxState = TX_LINK_LOST;
            break;
        }
        WaitForEvents();
    }
    return endTransaction();
}

} // namespace

bool TransactionOpen(OpenTransaction which) {
    const int16_t t = linkState().TxState;
    if (t == TX_WAIT_ACK || t == TX_WAIT_REPLY) return true;
    return which == OpenTransaction::Any && t == TX_SEND_ONLY;
}

bool PauseLink(int ms) {
    return PauseMs(ms, [] { return linkState().UserCancel; });
}

void AbandonTransaction() {
    auto& s = linkState();
    if (s.TxState == TX_IDLE) return;
    s.UserCancel = true;
    s.CancelEndsWithTransaction = true;
}

int16_t SendPacket(int16_t mode) {
    RequireNoIoHandler("a send that waits for its reply");
    auto& s = linkState();
    if (s.TxState != TX_IDLE) {
        // Another sender reached us from inside the open transaction's wait. Its frame
        // has replaced the open one in TxBuffer: put the open frame back for its resends.
        const int n = std::min<int>(int(s.OpenTxFrame.size()), LINK_BUFFER_SIZE);
        std::memcpy(s.TxBuffer, s.OpenTxFrame.constData(), size_t(n));
        return SEND_FAILED;
    }
    // An ending program sends nothing more.
    if (ProgramEnding()) return SEND_CANCELLED;
    // Taken before the radio wrapping replaces the frame in TxBuffer.
    s.OpenCommand = s.TxBuffer[FRAME_LENGTH] > FRAME_COMMAND ? s.TxBuffer[FRAME_COMMAND] : -1;
    s.OpenRequest = QByteArray(reinterpret_cast<const char*>(s.TxBuffer),
                               std::min<int>(s.TxBuffer[FRAME_LENGTH] + 1, LINK_BUFFER_SIZE));
    if (RadioProtocol()) WrapPacketInFleetSync();

    panel(3, QString());
    s.RetryRequest = 0;
    s.TxState = mode;
    s.RetryNumber = 1;
    if (!RadioProtocol()) s.TxLength = static_cast<int16_t>(s.TxBuffer[0] + 1);
    if (s.TraceOn) TraceTxFrame("TX: ");

    s.OpenTxFrame = QByteArray(reinterpret_cast<const char*>(s.TxBuffer),
                               qBound<int>(0, s.TxLength, LINK_BUFFER_SIZE));
    if (s.LinkMode == LINK_SWITCH_THROUGH) return sendSwitchThroughAndWait();

    // The transaction is open already, so nothing else sends while the radio rests.
    // A reason to resend that came meanwhile (an event dropped while the frame waited)
    // is answered by the frame's first send; sent again at once, its second answer
    // would end the next request.
    if (RadioProtocol()) {
        // A cancel while the radio rests: nothing has gone out.
        if (!WaitForRadioPause()) return cancelTransaction();
        s.RetryRequest = 0;
    }
    if (s.TcpLinkActive) {
        TcpSendTxBuffer();
    } else {
        StartWaitTimer();
        WriteTxFrame();
    }

    for (;;) {
        if (s.TxState >= TX_REPLY_RECEIVED || s.TxState == TX_IDLE) break;
        if (s.TxIndex == s.TxLength - 1 && s.UserCancel) return cancelTransaction();
        // The program is ending: no answer is waited for, whatever went out.
        if (ProgramEnding()) return cancelTransaction();
        WaitForEvents();
        if (s.RetryRequest) HandleCommTimeout();
        if (TransactionOpen(OpenTransaction::AwaitingAnswer) && s.WaitElapsed == 1) {
            if (s.TraceOn) TraceWriteLine("MSComm transmit failure'");
            HandleCommTimeout();
        }
        // A send-only frame is given as long to leave the port as any frame's try, and is
        // never sent again (it would answer its event twice): on a port that has closed
        // itself (the adapter pulled) or stalls, it has failed.
        if (s.TxState == TX_SEND_ONLY && s.WaitElapsed == 1) {
            if (s.TraceOn) TraceWriteLine("MSComm transmit failure'");
            s.TxState = TX_GAVE_UP;
        }
    }
    if (s.UserCancel) return cancelTransaction();
    return endTransaction();
}

void HandleCommTimeout() {
    auto& s = linkState();
    s.RetryRequest = 0;
    // Once the user has cancelled, the try under way is the last: it has timed out, so
    // the wait ends and the sender reports the call as cancelled.
    if (s.UserCancel) {
        s.TxState = TX_GAVE_UP;
        return;
    }
    if (s.RetryNumber < linkClient().Settings().RetryCount) {
        panel(3, QStringLiteral("RETRY ...") + QString::number(s.RetryNumber));
        linkHost().RefreshStatusBar();
        Retransmit();
        return;
    }
    const int answer = MsgBox(QStringLiteral("No Communication from module") + QStringLiteral("\r\n") +
                                  QStringLiteral("Check cable and COM port, Continue?"),
                              vbYesNo + vbQuestion, QStringLiteral("Communication Timer"));
    if (answer == vbYes) {
        s.RetryNumber = 0;
        panel(3, QString());
        linkHost().RefreshStatusBar();
        Retransmit();
        return;
    }
    ShowCommsFailure(QStringLiteral("Communication Timeout"));
    s.TxState = TX_GAVE_UP;
    linkClient().CommunicationGivenUp();
    panel(3, QString());
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    if (s.TcpLinkActive) {
        TcpClientSocket().Close();
        s.TcpLinkActive = false;
    }
}

void Retransmit() {
    auto& s = linkState();
    ++s.RetryNumber;
    if (s.TraceOn) TraceTxFrame("RTX: ");
    if (RadioProtocol()) {
        if (!WaitForRadioPause()) {
            // Cancelled while the radio rested: this try is not made, and the wait ends.
            s.TxState = TX_GAVE_UP;
            return;
        }
        // This resend answers whatever asked for one while the radio rested.
        s.RetryRequest = 0;
        // The answer may have come while the radio rested (or with the event that asked
        // for this resend): nothing is left to send, and a frame sent now would go out
        // together with the next request, its answer arriving inside that one's wait.
        if (!TransactionOpen()) return;
    }
    // Only now: the last try may still be leaving the port while the radio rests, and its
    // send event must find the whole frame gone, not write it again byte by byte.
    s.TxIndex = 0;
    StartWaitTimer();
    if (linkClient().TrafficShown()) linkClient().TrafficLine(QStringLiteral(" - TX ") + QString::fromLatin1(s.FleetSyncTxFrame));
    if (s.TcpLinkActive) {
        TcpSendTxBuffer();
        return;
    }
    // A port closed by an error (the adapter pulled, the line gone) is tried again: it
    // may be back by now. Otherwise this try times out like any other.
    if (!CommPort().IsOpen()) ReopenCommPort();
    WriteTxFrame();
}

void ShowCommsFailure(const QString& message) {
    auto& s = linkState();
    s.LinkMode = LINK_NORMAL;
    linkClient().CommunicationLost();
    panel(3, QString());
    panel(4, message);
    linkHost().RefreshStatusBar();
    SerialPortIo& port = CommPort();
    // An open event monitor keeps listening on the port.
    if (!linkClient().TrafficShown() && port.IsOpen()) port.Close();
    linkHost().SetTimerEnabled(LinkTimer::CommIn, false);
    port.ClearInput();
    port.ClearOutput();
    linkHost().SetTimerEnabled(LinkTimer::MsgTimer, true);
}

} // namespace korvel

#include "link/rxdispatch.h"

#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/prompts.h"

namespace korvel {

static EventAckState g_ack;
static std::function<void(const uint8_t*, int)> g_observer;

void SetRxPacketObserver(std::function<void(const uint8_t*, int)> observer) { g_observer = std::move(observer); }
EventAckState& eventAck() { return g_ack; }
void ResetEventAckState() { g_ack = EventAckState{}; }

namespace {

bool transactionOpen() {
    const int16_t t = linkState().TxState;
    return t == TX_WAIT_ACK || t == TX_WAIT_REPLY || t == TX_SEND_ONLY;
}

void refuse(const char* what) {
    MsgBox(QStringLiteral("OMRU received %1 from target - unknown command").arg(QLatin1String(what)),
           vbOKOnly + vbInformation, QStringLiteral("Unknown Command"));
    // A refusal while no transaction is open must not leave the link looking busy.
    if (transactionOpen()) linkState().TxState = TX_REFUSED;
}

} // namespace

void ProcessRxPacket() {
    auto& s = linkState();
    const uint8_t* f = s.RxBuffer;
    if (g_observer) g_observer(f, f[FRAME_LENGTH] + 1);
    if (f[FRAME_DESTINATION] != 0 && f[FRAME_DESTINATION] != 255) {
        s.RxState = RX_HUNT;
        return;
    }
    switch (f[FRAME_PACKET_TYPE]) {
    case PKT_ACK:
        // Only a transaction that waits for an acknowledgement (or a send-only one)
        // ends on it; a stray ACK cannot complete a request still owed its reply.
        if (f[FRAME_PACKET_ID] == s.PacketId && !s.UserCancel &&
            (s.TxState == TX_WAIT_ACK || s.TxState == TX_SEND_ONLY))
            s.TxState = TX_DONE;
        break;
    case PKT_NACK:
        if (f[FRAME_COMMAND] == CMD_DATE_TIME) {
            linkHost().SetMenuEnabled(QStringLiteral("mnuDateTime"), false);
            if (s.TxState == TX_WAIT_REPLY) s.TxState = TX_REPLY_RECEIVED;
        } else {
            refuse("NACK");
        }
        break;
    case PKT_GET: refuse("GET"); break;
    case PKT_SET: refuse("SET"); break;
    case PKT_REPLY: ProcessStatusPacket(f[FRAME_COMMAND]); break;
    case PKT_EVENT:
        if (transactionOpen()) {
            s.RetryRequest = 1;
        } else {
            g_ack.EventSource = f[FRAME_SOURCE];
            s.RxState = RX_HUNT;
            g_ack.AckPending = true;
            s.RetryRequest = 1;
        }
        break;
    default:  // PKT_RESEND and anything unknown: send the current frame again
        s.RetryRequest = 1;
        break;
    }
    s.RxState = RX_HUNT;
}

void ProcessStatusPacket(int16_t) {
    // Common exit: the reply ends the request that waits for it.
    auto& s = linkState();
    if (s.TxState == TX_WAIT_REPLY) s.TxState = TX_REPLY_RECEIVED;
}

int16_t SendAck(int16_t destination) {
    auto& s = linkState();
    if (s.TxState != TX_IDLE) return SEND_FAILED;
    s.TxBuffer[0] = 6;
    s.TxBuffer[1] = static_cast<uint8_t>(destination);
    s.TxBuffer[2] = 0;
    s.TxBuffer[3] = 3;
    s.TxBuffer[4] = 0;
    s.TxBuffer[5] = PKT_ACK;
    int16_t n = 6;
    AppendTxChecksum(n);
    s.PacketId = 0;
    return SendPacket(TX_SEND_ONLY);
}

} // namespace korvel

// Fuzzes the stream a switch-through host sends: text messages (panel texts, questions
// answered at once by scripted prompts) and module frames, cut into pieces where the
// input says, go through the stream parser and every whole, checksum-good frame on
// through the dispatcher, exactly as in the program.
//
// The first input byte chooses how the rest is cut: each piece is (first byte % 16) + 1
// bytes long, so a message is split at every possible place across runs; 0 hands the
// whole stream over at once. The second byte sets the transaction that is open
// (none, waiting for an acknowledgement, for a reply, send-only).
#include "link/transaction.h"
#include "fuzzsupport.h"
#include "link/switchthrough.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

using namespace korvel;

namespace {

const int16_t kOpenTransaction[4] = {TX_IDLE, TX_WAIT_ACK, TX_WAIT_REPLY, TX_SEND_ONLY};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartFuzzing(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    fuzz::ResetForInput();
    linkState().LinkMode = LINK_SWITCH_THROUGH;
    const int16_t waiting = kOpenTransaction[data[1] & 3];
    Transaction open(QByteArray(), waiting == TX_IDLE ? int16_t(TX_WAIT_ACK) : waiting);
    if (waiting != TX_IDLE) open.Open();

    const QByteArray stream(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const qsizetype piece = data[0] == 0 ? stream.size() : (data[0] % 16) + 1;
    for (qsizetype at = 0; at < stream.size(); at += piece) switchThrough().TakeStream(stream.mid(at, piece));
    return 0;
}

// Fuzzes the receive side of the link: bytes from the serial port or the TCP stream run
// through the receive state machine, and every complete, checksum-good frame goes on
// through the dispatcher and its reply handlers, exactly as in the program.
//
// The first input byte chooses the circumstances, the rest is the received stream:
//   bit 0     0 = serial port (comm events), 1 = TCP stream (doubled 255s undone)
//   bits 1-2  port protocol: module 8N2, radio, module 8N1 (3 = module 8N2)
//   bit 3     link debug display on (serial panel texts)
//   bit 4     trace on (to a trace file that goes nowhere)
//   bits 5-6  the transaction open while the bytes arrive: none, waiting for an
//             acknowledgement, waiting for a reply, send-only
//   bit 7     the target is a Pellar
//
// Nothing here runs the event loop, so the link timers never fire: the acknowledgement
// owed for an event (sent from a timer tick, after a wait for the radio channel) is not
// part of the run. A message box is answered at once by scripted prompts.
#include "link/transaction.h"
#include "fuzzsupport.h"
#include "control/programstate.h"
#include "control/connectchoice.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/session.h"
#include "model/model.h"
#include "model/target.h"
#include "model/flashimage.h"
#include "link/basiclinkhost.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/rxdispatch.h"
#include "link/trace.h"
#include "link/transport.h"
#include "model/eventlist.h"
#include "model/loggerdata.h"
#include "model/taskblock.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/scriptedprompts.h"
#include "platform/serialport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace korvel;

namespace {

// A serial port with no device behind it: received bytes are queued by the harness,
// whatever the program writes is dropped.
class SinkSerialPort : public SerialPortIo {
public:
    void SetPort(const QString& device) override { device_ = device; }
    QString Port() const override { return device_; }
    bool SetSettings(const QString& s) override {
        settings_ = s;
        return true;
    }
    QString Settings() const override { return settings_; }
    int Open() override {
        if (open_) return COMM_PORT_ALREADY_OPEN;
        open_ = true;
        return COMM_OK;
    }
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    void Write(const QByteArray&) override {}
    int InBufferCount() const override { return int(in_.size()) - next_; }
    int ReadByte() override {
        if (next_ >= in_.size()) return -1;
        return static_cast<uint8_t>(in_[next_++]);
    }
    void ClearInput() override {
        in_.clear();
        next_ = 0;
    }
    void ClearOutput() override {}

    void Queue(const QByteArray& bytes) { in_.append(bytes); }

private:
    QString device_, settings_;
    QByteArray in_;
    qsizetype next_ = 0;
    bool open_ = false;
};

// Program-start state for everything a received frame can touch.
void resetAll() {
    fuzz::ResetForInput();
    // The reset closes the trace: trace lines are formatted and written, to nowhere.
    TraceOpenFile(QStringLiteral("/dev/null"));
}

const int16_t kOpenTransaction[4] = {TX_IDLE, TX_WAIT_ACK, TX_WAIT_REPLY, TX_SEND_ONLY};
const int16_t kProtocol[4] = {LOCALPORT_MODULE, LOCALPORT_FLEETSYNC, LOCALPORT_MODULE_8N1, LOCALPORT_MODULE};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartFuzzing(argc, argv);
    SetSerialPortFactory([]() -> std::unique_ptr<SerialPortIo> { return std::make_unique<SinkSerialPort>(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    resetAll();

    const uint8_t mode = data[0];
    const bool fromTcp = mode & 1;
    settings().PortProtocol = kProtocol[(mode >> 1) & 3];
    settings().LinkDebugDisplay = (mode >> 3) & 1;
    linkState().TraceOn = (mode >> 4) & 1;
    target().PellarDevice = (mode >> 7) & 1;

    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // A transaction that waits as the bytes come (none for TX_IDLE), for any answer.
    const int16_t waiting = kOpenTransaction[(mode >> 5) & 3];
    Transaction open(QByteArray(), waiting == TX_IDLE ? int16_t(TX_WAIT_ACK) : waiting);
    if (waiting != TX_IDLE) open.Open();
    if (fromTcp) {
        TcpReceiveBytes(stream);
    } else {
        if (OpenCommPort() != 0) std::abort();
        auto& port = static_cast<SinkSerialPort&>(CommPort());
        port.Queue(stream);
        // One receive event takes every byte waiting.
        emit port.comm(comEvReceive);
        if (port.InBufferCount() != 0) std::abort();
    }
    // The frames are dispatched once the handler has returned.
    RunQueuedJobs();

    // The receiver must always be ready for the next frame or still inside one.
    const int16_t rx = linkState().RxState;
    if (rx != RX_HUNT && rx != RX_IN_FRAME) std::abort();
    if (linkState().RxIndex < 0 || linkState().RxIndex > LINK_BUFFER_SIZE) std::abort();
    return 0;
}

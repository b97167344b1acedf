#include "support/memoryserialport.h"
#include "platform/iohandler.h"

#include <QTimer>

namespace korvel::test {

int MemorySerialPort::Open() {
    ++openCount;
    if (open_) return COMM_PORT_ALREADY_OPEN;
    if (openError != COMM_OK) return openError;
    open_ = true;
    return COMM_OK;
}

void MemorySerialPort::Write(const QByteArray& bytes) {
    if (!open_) return;
    writes.append(bytes);
    if (!stallTransmit) {
        // The transmit buffer runs empty a moment later, as on a real port.
        QTimer::singleShot(0, this, [this, bytes] {
            emit comm(comEvSend);
            if (onWrite) onWrite(bytes);
        });
    }
}

int MemorySerialPort::ReadByte() {
    if (in_.isEmpty()) return -1;
    const int b = static_cast<unsigned char>(in_.at(0));
    in_.remove(0, 1);
    return b;
}

void MemorySerialPort::Feed(const QByteArray& bytes) {
    in_.append(bytes);
    emit comm(comEvReceive);
    // What the bytes start runs once the handler has returned, as the event loop would.
    RunQueuedJobs();
}

QByteArray MemorySerialPort::Written() const {
    QByteArray all;
    for (const QByteArray& w : writes) all.append(w);
    return all;
}

static MemorySerialPort* g_last = nullptr;

MemorySerialPort* LastMemoryPort() { return g_last; }

void UseMemorySerialPorts() {
    SetSerialPortFactory([]() -> std::unique_ptr<SerialPortIo> {
        auto p = std::make_unique<MemorySerialPort>();
        g_last = p.get();
        QObject::connect(p.get(), &QObject::destroyed, [raw = p.get()] {
            if (g_last == raw) g_last = nullptr;
        });
        return p;
    });
}

} // namespace korvel::test

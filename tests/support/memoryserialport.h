// An in-memory serial port for unit tests: feeds received bytes, records what was
// written, can refuse to open, and can hold its transmit buffer so no send event comes.
#pragma once

#include "platform/serialport.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace korvel::test {

class MemorySerialPort : public SerialPortIo {
    Q_OBJECT
public:
    void SetPort(const QString& device) override { device_ = device; }
    QString Port() const override { return device_; }
    bool SetSettings(const QString& s) override {
        settings_ = s;
        return true;
    }
    QString Settings() const override { return settings_; }
    int Open() override;
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    void Write(const QByteArray& bytes) override;
    int InBufferCount() const override { return int(in_.size()); }
    int ReadByte() override;
    void ClearInput() override { in_.clear(); }
    void ClearOutput() override {}

    // Test controls.
    void Feed(const QByteArray& bytes);   // bytes arrive; one receive event
    int openError = COMM_OK;              // what the next Open() returns
    bool stallTransmit = false;           // no send event after a write
    QList<QByteArray> writes;             // each Write() call
    QByteArray Written() const;           // all writes joined
    int openCount = 0;
    // Called with each write once it has "left"; may Feed() an answer.
    std::function<void(const QByteArray&)> onWrite;

private:
    QString device_, settings_;
    QByteArray in_;
    bool open_ = false;
};

// The last MemorySerialPort created through the installed factory.
MemorySerialPort* LastMemoryPort();
// Makes CreateSerialPort() hand out MemorySerialPorts.
void UseMemorySerialPorts();

} // namespace korvel::test

// The real serial port, on QSerialPort.
#pragma once

#include "platform/serialport.h"

#include <QSerialPort>

namespace korvel {

class QtSerialPort : public SerialPortIo {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    void SetPort(const QString& device) override;
    QString Port() const override { return device_; }
    bool SetSettings(const QString& settings) override;
    QString Settings() const override { return settings_; }
    int Open() override;
    bool IsOpen() const override { return port_.isOpen(); }
    void Close() override;
    void Write(const QByteArray& bytes) override;
    int InBufferCount() const override;
    int ReadByte() override;
    void ClearInput() override;
    void ClearOutput() override;
    QString LastErrorText() const override { return lastError_; }

private:
    QSerialPort port_;
    QString device_;
    QString settings_ = QStringLiteral("9600,N,8,2");
    QString lastError_;
};

} // namespace korvel

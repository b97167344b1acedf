// The serial control as the link layer uses it: open with a settings string, write,
// read one byte at a time, and two events (bytes received, transmit buffer run empty).
// QtSerialPort is the real one; tests substitute an in-memory port.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace korvel {

// Error numbers of the serial control that the program reports by number.
enum CommError : int {
    COMM_OK = 0,
    COMM_INVALID_PORT = 8002,
    COMM_PORT_ALREADY_OPEN = 8005,
    COMM_OTHER_ERROR = 8015,
};

// Event codes handed to the communication handler.
enum CommEvent : int {
    comEvSend = 1,
    comEvReceive = 2,
    // The port failed under use (device removed, line hung up, a write refused) and
    // has closed itself.
    comEvPortLost = 100,
};

class SerialPortIo : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPortIo() override = default;

    // The device: a full path, or a port number n (mapped to the n-th serial device).
    virtual void SetPort(const QString& device) = 0;
    virtual QString Port() const = 0;
    // "9600,N,8,2" style; returns false for a string it cannot apply.
    virtual bool SetSettings(const QString& settings) = 0;
    virtual QString Settings() const = 0;
    // Returns COMM_OK or one of the CommError numbers; DTR and RTS are raised where the
    // device supports them (a device that refuses them still opens).
    virtual int Open() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    virtual void Write(const QByteArray& bytes) = 0;
    virtual int InBufferCount() const = 0;
    // One byte, or -1 when the receive buffer is empty.
    virtual int ReadByte() = 0;
    virtual void ClearInput() = 0;
    virtual void ClearOutput() = 0;
    virtual QString LastErrorText() const { return QString(); }

signals:
    // The communication event: comEvReceive when bytes arrived, comEvSend when the
    // transmit buffer has run empty, comEvPortLost when the port closed on an error.
    void comm(int event);
};

// Splits "9600,N,8,2" into its parts; false when malformed.
struct SerialSettings {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 2;
};
bool ParseSerialSettings(const QString& s, SerialSettings& out);

// The device path for a port setting: a path is kept, a number n names the n-th
// serial device of the machine (1 = /dev/ttyS0).
QString SerialDeviceFor(const QString& portSetting);

// Creates the real serial port; a test can replace the factory.
using SerialPortFactory = std::function<std::unique_ptr<SerialPortIo>()>;
std::unique_ptr<SerialPortIo> CreateSerialPort();
void SetSerialPortFactory(SerialPortFactory f);

} // namespace korvel

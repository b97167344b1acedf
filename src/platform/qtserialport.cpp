#include "platform/qtserialport.h"

#include <QStringList>

namespace korvel {

bool ParseSerialSettings(const QString& s, SerialSettings& out) {
    const QStringList parts = s.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    SerialSettings r;
    r.baud = parts[0].trimmed().toInt(&ok1);
    const QString p = parts[1].trimmed().toUpper();
    r.dataBits = parts[2].trimmed().toInt(&ok2);
    r.stopBits = parts[3].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || p.size() != 1 || !QStringLiteral("NEOMS").contains(p)) return false;
    if (r.baud <= 0 || r.dataBits < 5 || r.dataBits > 8 || r.stopBits < 1 || r.stopBits > 2)
        return false;
    r.parity = p[0].toLatin1();
    out = r;
    return true;
}

QString SerialDeviceFor(const QString& portSetting) {
    bool isNumber = false;
    const int n = portSetting.trimmed().toInt(&isNumber);
    if (isNumber) return QStringLiteral("/dev/ttyS%1").arg(n > 0 ? n - 1 : 0);
    return portSetting.trimmed();
}

namespace {
SerialPortFactory& factory() {
    static SerialPortFactory f;
    return f;
}
} // namespace

std::unique_ptr<SerialPortIo> CreateSerialPort() {
    if (factory()) return factory()();
    return std::make_unique<QtSerialPort>();
}

void SetSerialPortFactory(SerialPortFactory f) { factory() = std::move(f); }

QtSerialPort::QtSerialPort(QObject* parent) : SerialPortIo(parent) {
    connect(&port_, &QSerialPort::readyRead, this, [this] { emit comm(comEvReceive); });
    connect(&port_, &QSerialPort::bytesWritten, this, [this](qint64) {
        if (port_.bytesToWrite() == 0) emit comm(comEvSend);
    });
    connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::WriteError:
        case QSerialPort::ReadError:
            if (!port_.isOpen()) return;
            // Left open, a device that is gone keeps its notifiers firing and every
            // write failing at once: close it and let the link time out. Closed from
            // the event loop, not from inside the port's own notification.
            lastError_ = port_.errorString();
            QMetaObject::invokeMethod(this, [this] {
                if (!port_.isOpen()) return;
                port_.close();
                port_.clearError();
                emit comm(comEvPortLost);
            }, Qt::QueuedConnection);
            break;
        default: break;
        }
    });
}

void QtSerialPort::SetPort(const QString& device) { device_ = SerialDeviceFor(device); }

bool QtSerialPort::SetSettings(const QString& settings) {
    SerialSettings s;
    if (!ParseSerialSettings(settings, s)) return false;
    settings_ = settings;
    return true;
}

int QtSerialPort::Open() {
    if (port_.isOpen()) return COMM_PORT_ALREADY_OPEN;
    SerialSettings s;
    ParseSerialSettings(settings_, s);
    port_.setPortName(device_);
    port_.setBaudRate(s.baud);
    port_.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits));
    switch (s.parity) {
    case 'E': port_.setParity(QSerialPort::EvenParity); break;
    case 'O': port_.setParity(QSerialPort::OddParity); break;
    case 'M': port_.setParity(QSerialPort::MarkParity); break;
    case 'S': port_.setParity(QSerialPort::SpaceParity); break;
    default: port_.setParity(QSerialPort::NoParity); break;
    }
    port_.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        lastError_ = port_.errorString();
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError: return COMM_INVALID_PORT;
        case QSerialPort::PermissionError:  // held by another program (lock or exclusive mode)
        case QSerialPort::OpenError: return COMM_PORT_ALREADY_OPEN;
        default: return COMM_OTHER_ERROR;
        }
    }
    // Pseudo-terminals and some adapters have no modem lines: a refusal here is not
    // a failed open.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clearError();
    return COMM_OK;
}

void QtSerialPort::Close() {
    if (port_.isOpen()) port_.close();
}

void QtSerialPort::Write(const QByteArray& bytes) {
    if (port_.isOpen()) port_.write(bytes);
}

int QtSerialPort::InBufferCount() const { return port_.isOpen() ? int(port_.bytesAvailable()) : 0; }

int QtSerialPort::ReadByte() {
    char c = 0;
    if (!port_.isOpen() || port_.read(&c, 1) != 1) return -1;
    return static_cast<unsigned char>(c);
}

void QtSerialPort::ClearInput() {
    if (!port_.isOpen()) return;
    port_.readAll();
    port_.clear(QSerialPort::Input);
}

void QtSerialPort::ClearOutput() {
    if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

} // namespace korvel

#include "platform/tcpclient.h"

namespace korvel {

TcpClient::TcpClient(QObject* parent) : QObject(parent) {
    connect(&socket_, &QTcpSocket::readyRead, this,
            [this] { emit dataArrival(int(socket_.bytesAvailable())); });
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit connected();
    });
    connect(&socket_, &QTcpSocket::disconnected, this, [this] { emit closed(); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        failed_ = true;
        emit errorOccurred(WinsockErrorNumber(error), socket_.errorString());
    });
}

int TcpClient::WinsockErrorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10053;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    default: return 10022;  // invalid argument: the catch-all of the classic numbering
    }
}

QString WinsockErrorText(int number, const QString& description) {
    return QStringLiteral("Winsock Error: ") + QString::number(number) + QStringLiteral("\r\n") + description;
}

QString TcpClient::LastErrorReport() const { return WinsockErrorText(LastErrorNumber(), LastErrorText()); }

int TcpClient::State() const {
    if (failed_) return sckError;
    switch (socket_.state()) {
    case QAbstractSocket::UnconnectedState: return sckClosed;
    case QAbstractSocket::HostLookupState: return sckResolvingHost;
    case QAbstractSocket::ConnectingState: return sckConnecting;
    case QAbstractSocket::ConnectedState: return sckConnected;
    case QAbstractSocket::BoundState: return sckOpen;
    case QAbstractSocket::ListeningState: return sckListening;
    case QAbstractSocket::ClosingState: return sckClosing;
    }
    return sckClosed;
}

void TcpClient::Connect() {
    failed_ = false;
    socket_.abort();
    socket_.connectToHost(remoteHost_, remotePort_);
}

void TcpClient::Close() {
    failed_ = false;
    // What was handed over before the close (an acknowledgement sent just before a
    // reconnect) still reaches the module: a reset right behind it would have the peer
    // drop it unread, so a socket with nothing left to write is closed in order.
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        socket_.flush();
        if (socket_.bytesToWrite() == 0) socket_.disconnectFromHost();
    }
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.abort();
}

void TcpClient::Send(const QByteArray& bytes) {
    if (socket_.state() == QAbstractSocket::ConnectedState) socket_.write(bytes);
}

QByteArray TcpClient::ReadAll() { return socket_.readAll(); }

} // namespace korvel

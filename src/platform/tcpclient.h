// The TCP socket control as the link layer uses it: connect, send, receive, close, and
// a state number in the classic socket-control numbering.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

namespace korvel {

enum SockState : int {
    sckClosed = 0,
    sckOpen = 1,
    sckListening = 2,
    sckConnectionPending = 3,
    sckResolvingHost = 4,
    sckHostResolved = 5,
    sckConnecting = 6,
    sckConnected = 7,
    sckClosing = 8,
    sckError = 9,
};

class TcpClient : public QObject {
    Q_OBJECT
public:
    explicit TcpClient(QObject* parent = nullptr);

    int State() const;
    QString RemoteHost() const { return remoteHost_; }
    quint16 RemotePort() const { return remotePort_; }
    void SetRemote(const QString& host, quint16 port) {
        remoteHost_ = host;
        remotePort_ = port;
    }
    void Connect();  // to RemoteHost():RemotePort()
    void Close();
    void Send(const QByteArray& bytes);
    QByteArray ReadAll();
    QString LastErrorText() const { return socket_.errorString(); }
    // The last error in the classic socket-control numbering (10061 refused, ...).
    int LastErrorNumber() const { return WinsockErrorNumber(socket_.error()); }
    static int WinsockErrorNumber(QAbstractSocket::SocketError error);
    // What the last error says to the user: "Winsock Error: ", its number, a line break
    // and its description.
    QString LastErrorReport() const;

signals:
    void dataArrival(int bytesTotal);
    void connected();
    void closed();
    void errorOccurred(int number, const QString& description);

private:
    QTcpSocket socket_;
    QString remoteHost_;
    quint16 remotePort_ = 0;
    bool failed_ = false;
};

// The socket error box's text: "Winsock Error: " and the number, CR LF, the description.
QString WinsockErrorText(int number, const QString& description);

} // namespace korvel

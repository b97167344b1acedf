#include "simmodule.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtDebug>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace korvel::sim {

namespace {

quint8 Sum(const QByteArray& bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<quint8>(c);
    return static_cast<quint8>(sum);
}

// Answer or event without its checksum: [L, 0 (the PC), station, route, id, type, command, data...].
QByteArray Body(quint8 station, quint8 route, quint8 packetId, quint8 type, quint8 command,
                const QByteArray& data = {})
{
    QByteArray body;
    body.reserve(8 + data.size());
    body.append(char(7 + data.size()));
    body.append(char(0));
    body.append(char(station));
    body.append(char(route));
    body.append(char(packetId));
    body.append(char(type));
    body.append(char(command));
    body.append(data);
    return body;
}

// The module's network side doubles each 255 it sends.
QByteArray DoubleFF(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.count(char(0xFF)));
    for (char c : bytes) {
        out.append(c);
        if (static_cast<quint8>(c) == 0xFF)
            out.append(c);
    }
    return out;
}

}  // namespace

QByteArray MakeFrame(QByteArray withoutChecksum)
{
    withoutChecksum.append(char(255 - Sum(withoutChecksum)));
    return withoutChecksum;
}

bool ChecksumGood(const QByteArray& frame)
{
    return !frame.isEmpty() && frame.size() == static_cast<quint8>(frame[0]) + 1 && Sum(frame) == 255;
}

QByteArray DefaultModuleInfo()
{
    return QByteArray("\x4B\x56\x01\x02\x00\x00\x30\x39", 8);
}

SimModule::SimModule(QObject* parent) : QObject(parent)
{
    m_clock.start();
    m_tcp.tcp = true;
    for (Port* port : {&m_tcp, &m_pty}) {
        port->outTimer = new QTimer(this);
        port->outTimer->setSingleShot(true);
        connect(port->outTimer, &QTimer::timeout, this, [this, port] { Pump(*port); });
    }
    m_replyData.insert(0x00, DefaultModuleInfo());
}

SimModule::~SimModule()
{
    Close();
}

quint16 SimModule::ListenTcp(quint16 port)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &SimModule::OnNewConnection);
    }
    m_server->close();
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        qWarning() << "korvel-sim: cannot listen on port" << port << ":" << m_server->errorString();
        return 0;
    }
    return m_server->serverPort();
}

quint16 SimModule::TcpPort() const
{
    return m_server && m_server->isListening() ? m_server->serverPort() : 0;
}

void SimModule::OnNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        DropClient();
        m_client = socket;
        // Split and PauseMidFrame depend on each write leaving at once.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket == m_client)
                Feed(m_tcp, socket->readAll());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket == m_client)
                DropClient();
        });
    }
}

void SimModule::DropClient()
{
    if (m_client) {
        QTcpSocket* old = m_client;
        m_client = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    ResetPort(m_tcp);
}

QString SimModule::OpenPty()
{
    ClosePty();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        qWarning() << "korvel-sim: posix_openpt failed:" << strerror(errno);
        return {};
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        qWarning() << "korvel-sim: cannot set up the pty:" << strerror(errno);
        ::close(master);
        return {};
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio {};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        qWarning() << "korvel-sim: cannot open" << name << ":" << strerror(errno);
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return {};
    }
    // Raw before the utility opens it, so a reader that does not set up the
    // line itself still sees bytes unchanged and nothing is echoed back.
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    m_ptyMaster = master;
    m_ptySlave = slave;
    m_ptyPath = QString::fromLocal8Bit(name);
    m_ptyRead = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_ptyRead, &QSocketNotifier::activated, this, &SimModule::OnPtyReadable);
    m_ptyWrite = new QSocketNotifier(master, QSocketNotifier::Write, this);
    m_ptyWrite->setEnabled(false);
    connect(m_ptyWrite, &QSocketNotifier::activated, this, &SimModule::FlushPty);
    if (!m_ptyRearm) {
        m_ptyRearm = new QTimer(this);
        m_ptyRearm->setSingleShot(true);
        connect(m_ptyRearm, &QTimer::timeout, this, [this] {
            if (m_ptyRead)
                m_ptyRead->setEnabled(true);
        });
    }
    ResetPort(m_pty);
    return m_ptyPath;
}

void SimModule::ClosePty()
{
    delete m_ptyRead;
    m_ptyRead = nullptr;
    delete m_ptyWrite;
    m_ptyWrite = nullptr;
    if (m_ptyRearm)
        m_ptyRearm->stop();
    if (m_ptyMaster >= 0)
        ::close(m_ptyMaster);
    if (m_ptySlave >= 0)
        ::close(m_ptySlave);
    m_ptyMaster = m_ptySlave = -1;
    m_ptyPath.clear();
    m_ptyOut.clear();
    ResetPort(m_pty);
}

void SimModule::OnPtyReadable()
{
    QByteArray bytes;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_ptyMaster, buf, sizeof buf);
        if (n > 0) {
            bytes.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // EIO or end of file: the slave side is hung up. We hold the slave open
        // so this should not happen, but a notifier left enabled on such an fd
        // fires without end; rest it and look again later.
        m_ptyRead->setEnabled(false);
        m_ptyRearm->start(200);
        break;
    }
    if (!bytes.isEmpty())
        Feed(m_pty, bytes);
}

void SimModule::FlushPty()
{
    while (!m_ptyOut.isEmpty() && m_ptyMaster >= 0) {
        const ssize_t n = ::write(m_ptyMaster, m_ptyOut.constData(), m_ptyOut.size());
        if (n > 0) {
            m_ptyOut.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            // Nobody is reading the slave and its buffer is full.
            m_ptyWrite->setEnabled(true);
            return;
        } else {
            m_ptyOut.clear();
        }
    }
    if (m_ptyWrite)
        m_ptyWrite->setEnabled(false);
}

void SimModule::Close()
{
    if (m_server)
        m_server->close();
    DropClient();
    ClosePty();
}

bool SimModule::ClientConnected() const
{
    return m_client != nullptr || m_ptyMaster >= 0;
}

bool SimModule::PortOpen(const Port& port) const
{
    return port.tcp ? m_client != nullptr : m_ptyMaster >= 0;
}

void SimModule::ResetPort(Port& port)
{
    port.partial.clear();
    port.out.clear();
    port.outTimer->stop();
    ++port.generation;
}

void SimModule::SetFault(Fault f, int count)
{
    m_fault = count == 0 ? Fault::None : f;
    m_faultCount = count < 0 ? -1 : count;
}

void SimModule::SetPauseMs(int ms)
{
    m_pauseMs = qMax(0, ms);
}

void SimModule::SetReplyData(int command, const QByteArray& data)
{
    if (data.size() > kMaxData)
        qWarning() << "korvel-sim: reply data for command" << command << "cut to" << kMaxData << "bytes";
    m_replyData.insert(command & 0xFF, data.left(kMaxData));
}

void SimModule::SetReplyDelayMs(int ms)
{
    m_replyDelayMs = qMax(0, ms);
}

void SimModule::SetBackToBackFrame(const QByteArray& withoutChecksum)
{
    m_backToBack = withoutChecksum;
}

void SimModule::SendRaw(const QByteArray& bytes)
{
    for (Port* port : {&m_tcp, &m_pty}) {
        if (PortOpen(*port))
            Enqueue(*port, bytes, 0);
    }
}

void SimModule::SendFrame(const QByteArray& withoutChecksum)
{
    SendRaw(MakeFrame(withoutChecksum));
}

void SimModule::SendEvent(int station, int eventClass, const QByteArray& data)
{
    SendFrame(Body(quint8(station), 0, 0, kPktEvent, quint8(eventClass), data.left(kMaxData)));
}

void SimModule::ClearReceived()
{
    m_received.clear();
    m_receivedRaw.clear();
}

void SimModule::Feed(Port& port, QByteArray bytes)
{
    const qint64 now = m_clock.elapsed();
    if (!port.partial.isEmpty() && now - port.lastByteMs > kInterByteGapMs)
        port.partial.clear();
    port.lastByteMs = now;
    m_receivedRaw.append(bytes);

    for (char c : bytes) {
        if (port.partial.isEmpty() && static_cast<quint8>(c) < kMinLength)
            continue;
        port.partial.append(c);
        if (port.partial.size() == static_cast<quint8>(port.partial[0]) + 1) {
            QByteArray frame;
            frame.swap(port.partial);
            HandleFrame(port, frame);
        }
    }
}

void SimModule::HandleFrame(Port& port, const QByteArray& frame)
{
    m_received.append(frame);
    emit frameReceived(frame);
    if (!ChecksumGood(frame))
        return;
    // The event acknowledgement (L = 6) has no command byte and gets no answer;
    // only GET and SET are answered.
    if (frame.size() < 8)
        return;
    const quint8 station = frame[1], route = frame[3], packetId = frame[4];
    const quint8 type = frame[5], command = frame[6];
    QByteArray answer;
    if (type == kPktGet)
        answer = Body(station, route, packetId, kPktReply, command, m_replyData.value(command, QByteArray(1, 0)));
    else if (type == kPktSet)
        answer = Body(station, route, packetId, kPktAck, command);
    else
        return;

    // The fault is taken now so answers consume it in the order requests came.
    const Fault fault = TakeFault();
    if (m_replyDelayMs == 0) {
        Emit(port, fault, answer);
        return;
    }
    QTimer::singleShot(m_replyDelayMs, this, [this, &port, generation = port.generation, fault, answer] {
        if (port.generation == generation)
            Emit(port, fault, answer);
    });
}

Fault SimModule::TakeFault()
{
    const Fault f = m_fault;
    if (f != Fault::None && m_faultCount > 0 && --m_faultCount == 0)
        m_fault = Fault::None;
    return f;
}

void SimModule::Emit(Port& port, Fault fault, const QByteArray& answer)
{
    const QByteArray frame = MakeFrame(answer);
    const qsizetype half = frame.size() / 2;
    auto refusal = [&](quint8 type) {
        QByteArray body = answer.left(7);
        body[0] = 7;
        body[5] = char(type);
        return MakeFrame(body);
    };

    switch (fault) {
    case Fault::None:
        Enqueue(port, frame, 0);
        break;
    case Fault::Silent:
        break;
    case Fault::Nack:
        Enqueue(port, refusal(kPktNack), 0);
        break;
    case Fault::Resend:
        Enqueue(port, refusal(kPktResend), 0);
        break;
    case Fault::BadChecksum: {
        QByteArray bad = frame;
        bad[bad.size() - 1] = char(bad.back() ^ 0x55);
        Enqueue(port, bad, 0);
        break;
    }
    case Fault::Split:
        Enqueue(port, frame.left(half), 0);
        Enqueue(port, frame.mid(half), kSplitGapMs);
        break;
    case Fault::PauseMidFrame:
        Enqueue(port, frame.left(half), 0);
        Enqueue(port, frame.mid(half), m_pauseMs);
        break;
    case Fault::BackToBack: {
        const QByteArray extra = m_backToBack.isEmpty()
            ? MakeFrame(Body(quint8(answer[2]), quint8(answer[3]), quint8(answer[4]), kPktReply,
                             quint8(answer[6]), QByteArray(1, char(kBackToBackData))))
            : MakeFrame(m_backToBack);
        Enqueue(port, extra + frame, 0);
        break;
    }
    }
}

// Output leaves in order: a chunk waiting out its delay holds back everything
// queued after it, as bytes do on a serial line.
void SimModule::Enqueue(Port& port, const QByteArray& bytes, int delayMs)
{
    port.out.append({bytes, delayMs});
    if (!port.outTimer->isActive())
        Pump(port);
}

void SimModule::Pump(Port& port)
{
    while (!port.out.isEmpty()) {
        Port::Chunk& chunk = port.out.front();
        if (chunk.delayMs > 0) {
            port.outTimer->start(chunk.delayMs);
            chunk.delayMs = 0;
            return;
        }
        const QByteArray bytes = chunk.bytes;
        port.out.removeFirst();
        WriteNow(port, bytes);
    }
}

void SimModule::WriteNow(Port& port, const QByteArray& bytes)
{
    if (port.tcp) {
        if (m_client) {
            m_client->write(DoubleFF(bytes));
            m_client->flush();
        }
    } else if (m_ptyMaster >= 0) {
        m_ptyOut.append(bytes);
        FlushPty();
    }
}

}  // namespace korvel::sim

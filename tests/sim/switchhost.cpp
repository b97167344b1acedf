#include "switchhost.h"

#include "simmodule.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtDebug>

namespace korvel::sim {

namespace {

// Loopback connects at once; this only bounds a module host that does not answer.
constexpr int kModuleConnectTimeoutMs = 3000;

QByteArray Part(const QByteArray& bytes)
{
    return bytes + QByteArray(kPartEnd, kPartEndSize);
}

QByteArray DialogResultKeyword()
{
    return Part(kDialogResultWord);
}

bool AllDigits(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (c < '0' || c > '9')
            return false;
    }
    return !bytes.isEmpty();
}

// Lets the socket say goodbye after what is queued for it has gone out, then
// deletes it. Its signals to `receiver` are cut first: a session the host ends
// is not the utility closing it.
void Retire(QTcpSocket*& socket, QObject* receiver)
{
    QTcpSocket* old = socket;
    socket = nullptr;
    if (!old)
        return;
    old->disconnect(receiver);
    if (old->state() == QAbstractSocket::UnconnectedState) {
        old->deleteLater();
        return;
    }
    QObject::connect(old, &QTcpSocket::disconnected, old, &QObject::deleteLater);
    old->disconnectFromHost();
}

}  // namespace

const char* DialogResultName(int result)
{
    static const char* const kNames[] = {"OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    return result >= kResultOk && result <= kResultNo ? kNames[result - kResultOk] : "?";
}

SwitchHost::SwitchHost(QObject* parent) : QObject(parent)
{
    m_moduleGap = new QTimer(this);
    m_moduleGap->setSingleShot(true);
    m_moduleGap->setInterval(kInterByteGapMs);
    connect(m_moduleGap, &QTimer::timeout, this, &SwitchHost::OnModuleGap);
}

SwitchHost::~SwitchHost()
{
    // Sockets go with their parent; only their signals into a half-destroyed
    // host must not fire on the way.
    for (QTcpSocket* socket : {m_client, m_server, m_module}) {
        if (socket)
            socket->disconnect(this);
    }
}

// ---- The host port and the utility's connections ----------------------------------

quint16 SwitchHost::Listen(quint16 port)
{
    if (!m_listener) {
        m_listener = new QTcpServer(this);
        connect(m_listener, &QTcpServer::newConnection, this, &SwitchHost::OnUtilityConnection);
    }
    m_listener->close();
    if (!m_listener->listen(QHostAddress::LocalHost, port)) {
        qWarning() << "korvel-host: cannot listen on port" << port << ":" << m_listener->errorString();
        return 0;
    }
    return m_listener->serverPort();
}

void SwitchHost::StopListening()
{
    if (m_listener)
        m_listener->close();
}

quint16 SwitchHost::ListenPort() const
{
    return m_listener && m_listener->isListening() ? m_listener->serverPort() : 0;
}

QString SwitchHost::CommandLine(int route) const
{
    return QStringLiteral("%1 %2").arg(ListenPort()).arg(route);
}

bool SwitchHost::Linked() const
{
    return m_state == State::Linked && ClientOpen() && ServerOpen();
}

bool SwitchHost::ClientOpen() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

bool SwitchHost::ServerOpen() const
{
    return m_server && m_server->state() == QAbstractSocket::ConnectedState;
}

void SwitchHost::OnUtilityConnection()
{
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
        if (m_client) {
            // One client connection per session; a second one is a utility fault
            // the test should see, not a new session.
            ++m_rejected;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        StartSession(socket);
    }
}

void SwitchHost::StartSession(QTcpSocket* client)
{
    // A utility that comes back after a closed session starts from scratch.
    Retire(m_server, this);
    m_client = client;
    m_state = State::Announcing;
    m_utilityPort = 0;
    m_failure.clear();
    m_in.clear();
    client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(client, &QTcpSocket::readyRead, this, &SwitchHost::OnClientReadable);
    connect(client, &QTcpSocket::disconnected, this, [this] {
        // Bytes that came with the close still count.
        OnClientReadable();
        Retire(m_client, this);
        OnUtilityGone();
    });
    // The five digits may have come with the connection itself.
    OnClientReadable();
}

void SwitchHost::OnClientReadable()
{
    if (!m_client)
        return;
    const QByteArray bytes = m_client->readAll();
    if (bytes.isEmpty())
        return;
    m_receivedRaw.append(bytes);
    if (m_state == State::ConnectBackFailed)
        return;  // nothing to relay to: the utility's answer to a bad link is not read
    m_in.append(bytes);
    if (m_state == State::Announcing)
        TakeAnnouncement();
    if (m_state != State::Announcing && m_state != State::ConnectBackFailed)
        ParseParts();
}

void SwitchHost::TakeAnnouncement()
{
    if (m_in.size() < kAnnouncementDigits)
        return;
    // Exactly five: what follows at once is already the first part.
    const QByteArray digits = m_in.left(kAnnouncementDigits);
    m_in.remove(0, kAnnouncementDigits);
    const uint port = digits.toUInt();
    if (!AllDigits(digits) || port == 0 || port > 65535) {
        Fail(QStringLiteral("bad port announcement '%1'").arg(QString::fromLatin1(digits.toHex(' '))));
        return;
    }
    m_utilityPort = quint16(port);
    m_state = State::ConnectingBack;
    m_server = new QTcpSocket(this);
    connect(m_server, &QTcpSocket::connected, this, &SwitchHost::OnServerConnected);
    connect(m_server, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_state == State::ConnectingBack)
            Fail(QStringLiteral("cannot connect to the utility on port %1: %2")
                     .arg(m_utilityPort)
                     .arg(m_server->errorString()));
    });
    connect(m_server, &QTcpSocket::disconnected, this, [this] {
        Retire(m_server, this);
        OnUtilityGone();
    });
    m_server->connectToHost(QHostAddress::LocalHost, m_utilityPort);
}

void SwitchHost::OnServerConnected()
{
    m_server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_state = State::Linked;
    if (!m_toUtility.isEmpty()) {
        m_sentRaw.append(m_toUtility);
        m_server->write(m_toUtility);
        m_toUtility.clear();
    }
    emit linked();
}

void SwitchHost::Fail(const QString& reason)
{
    m_state = State::ConnectBackFailed;
    m_failure = reason;
    m_toUtility.clear();
    if (m_server) {
        QTcpSocket* old = m_server;
        m_server = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    qWarning() << "korvel-host:" << reason;
    emit connectBackFailed(reason);
}

void SwitchHost::OnUtilityGone()
{
    // The second connection closing after the first is the same session ending.
    if (m_state == State::Closed || m_state == State::ConnectBackFailed)
        return;
    m_state = State::Closed;
    m_toUtility.clear();
    emit utilityClosed();
}

void SwitchHost::CloseUtilityLinks()
{
    Retire(m_client, this);
    Retire(m_server, this);
    m_toUtility.clear();
    m_heldBlock.clear();
    m_holding = false;
    m_in.clear();
    if (m_state != State::Idle)
        m_state = State::Closed;
}

void SwitchHost::ToUtility(const QByteArray& bytes)
{
    if (m_holding) {
        m_heldBlock.append(bytes);
    } else if (m_state == State::Linked && m_server) {
        m_sentRaw.append(bytes);
        m_server->write(bytes);
    } else if (m_state != State::Closed && m_state != State::ConnectBackFailed) {
        m_toUtility.append(bytes);
    }
}

void SwitchHost::SendPanelMessage(int panel, const QByteArray& text)
{
    ToUtility(Part(kPanelMessageWord) + Part(QByteArray::number(panel)) + Part(text));
}

void SwitchHost::SendUserPrompt(int style, const QByteArray& title, const QByteArray& prompt)
{
    ToUtility(Part(kUserPromptWord) + Part(QByteArray::number(style)) + Part(title) + Part(prompt));
}

void SwitchHost::SendFrame(const QByteArray& frame)
{
    ToUtility(Part(frame));
}

void SwitchHost::SendRaw(const QByteArray& bytes)
{
    ToUtility(bytes);
}

void SwitchHost::HoldToUtility()
{
    m_holding = true;
}

void SwitchHost::ReleaseToUtility()
{
    m_holding = false;
    QByteArray block;
    block.swap(m_heldBlock);
    if (!block.isEmpty())
        ToUtility(block);
}

// ---- The utility's stream ----------------------------------------------------------

// A part is a DIALOGRESULT (keyword part, then its value part) or else a frame:
// Length byte L, L more bytes, kPartEnd. The keyword is tried first, and while
// the input is still a beginning of it nothing is decided: a frame of L = 'D'
// looks the same for its first byte.
void SwitchHost::ParseParts()
{
    const QByteArray keyword = DialogResultKeyword();
    const QByteArray end(kPartEnd, kPartEndSize);
    while (!m_in.isEmpty()) {
        if (keyword.startsWith(m_in.left(keyword.size()))) {
            if (m_in.size() < keyword.size())
                return;
            const qsizetype valueEnd = m_in.indexOf(end, keyword.size());
            if (valueEnd < 0)
                return;
            const QByteArray value = m_in.mid(keyword.size(), valueEnd - keyword.size());
            if (value.size() != kDialogResultDigits || !AllDigits(value)) {
                Discard(valueEnd + kPartEndSize);
                continue;
            }
            m_in.remove(0, valueEnd + kPartEndSize);
            const int result = value.toInt();
            m_dialogResults.append(result);
            emit dialogResult(result);
            continue;
        }
        const qsizetype size = quint8(m_in[0]) + 1;
        if (m_in.size() < size + kPartEndSize)
            return;
        if (m_in.mid(size, kPartEndSize) != end) {
            // The Length byte does not lead to kPartEnd: go on after the next one.
            const qsizetype next = m_in.indexOf(end, 1);
            if (next < 0)
                return;
            Discard(next + kPartEndSize);
            continue;
        }
        const QByteArray frame = m_in.left(size);
        m_in.remove(0, size + kPartEndSize);
        HandleFrame(frame);
    }
}

void SwitchHost::Discard(qsizetype count)
{
    const QByteArray bytes = m_in.left(count);
    m_in.remove(0, count);
    m_malformed.append(bytes);
    emit malformedFromUtility(bytes);
}

void SwitchHost::HandleFrame(const QByteArray& frame)
{
    m_framesFromUtility.append(frame);
    if (m_relay && ModuleConnected())
        m_module->write(frame);  // the module's receiving side takes 255 as is
    emit frameFromUtility(frame);
}

// ---- The module ---------------------------------------------------------------------

bool SwitchHost::ConnectModule(const QString& host, quint16 port)
{
    DropModule();
    m_module = new QTcpSocket(this);
    m_module->connectToHost(host, port);
    if (!m_module->waitForConnected(kModuleConnectTimeoutMs)) {
        qWarning() << "korvel-host: cannot connect to the module at" << host << port << ":"
                   << m_module->errorString();
        delete m_module;
        m_module = nullptr;
        return false;
    }
    m_module->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_module, &QTcpSocket::readyRead, this, &SwitchHost::OnModuleReadable);
    connect(m_module, &QTcpSocket::disconnected, this, [this] {
        OnModuleReadable();
        DropModule();
        emit moduleClosed();
    });
    // The module's network interface wants this before the first frame.
    m_module->write(kTcpStartText, kTcpStartTextSize);
    return true;
}

bool SwitchHost::ModuleConnected() const
{
    return m_module && m_module->state() == QAbstractSocket::ConnectedState;
}

void SwitchHost::DropModule()
{
    m_moduleGap->stop();
    m_moduleIn.clear();
    m_moduleFFPending = false;
    if (!m_module)
        return;
    QTcpSocket* old = m_module;
    m_module = nullptr;
    old->disconnect(this);
    old->abort();
    old->deleteLater();
}

void SwitchHost::OnModuleReadable()
{
    if (!m_module)
        return;
    const QByteArray bytes = m_module->readAll();
    if (bytes.isEmpty())
        return;
    m_moduleRaw.append(bytes);
    // A doubled 255 may be split between two reads, hence the pending flag. A
    // lone 255 (a module that did not double it) is taken as one byte.
    QByteArray undoubled;
    for (char c : bytes) {
        if (m_moduleFFPending) {
            m_moduleFFPending = false;
            undoubled.append(char(0xFF));
            if (quint8(c) == 0xFF)
                continue;
        } else if (quint8(c) == 0xFF) {
            m_moduleFFPending = true;
            continue;
        }
        undoubled.append(c);
    }
    for (char c : undoubled) {
        if (m_moduleIn.isEmpty() && quint8(c) < kMinLength)
            continue;
        m_moduleIn.append(c);
        if (m_moduleIn.size() == quint8(m_moduleIn[0]) + 1) {
            QByteArray frame;
            frame.swap(m_moduleIn);
            m_framesFromModule.append(frame);
            ToUtility(Part(frame));
            emit frameFromModule(frame);
        }
    }
    if (m_moduleIn.isEmpty() && !m_moduleFFPending)
        m_moduleGap->stop();
    else
        m_moduleGap->start();
}

void SwitchHost::OnModuleGap()
{
    QByteArray partial = m_moduleIn;
    if (m_moduleFFPending)
        partial.append(char(0xFF));
    m_moduleIn.clear();
    m_moduleFFPending = false;
    if (!partial.isEmpty())
        m_moduleDropped.append(partial);
}

void SwitchHost::ClearRecords()
{
    m_framesFromUtility.clear();
    m_dialogResults.clear();
    m_malformed.clear();
    m_receivedRaw.clear();
    m_sentRaw.clear();
    m_framesFromModule.clear();
    m_moduleRaw.clear();
    m_moduleDropped.clear();
}

}  // namespace korvel::sim

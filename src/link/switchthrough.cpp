#include "link/switchthrough.h"

#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/linkclient.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/tcpclient.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

namespace korvel {

namespace {

std::unique_ptr<SwitchThroughLink> g_link;

const QByteArray kDelimiter(SWITCH_THROUGH_DELIMITER);
const QByteArray kPanelMessage("PNLMESSAGE");
const QByteArray kUserPrompt("USERPROMPT");

// A host that never ends a message cannot make the program hold its stream forever.
constexpr qsizetype kMaxPendingBytes = 1 << 20;

// A part that is a whole number and nothing else ("2", not "2x" or "-2").
std::optional<int> WholeNumber(const QByteArray& part) {
    const QByteArray text = part.trimmed();
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return text.toInt();
}

// The arguments of a text message that begins pending: `count` parts after the keyword,
// each ended by the delimiter; empty when they have not all arrived. *end receives
// where the next message begins.
QList<QByteArray> MessageArguments(const QByteArray& pending, int count, qsizetype* end) {
    QList<QByteArray> parts;
    qsizetype from = pending.indexOf(kDelimiter) + kDelimiter.size();
    for (int i = 0; i < count; ++i) {
        const qsizetype stop = pending.indexOf(kDelimiter, from);
        if (stop < 0) return {};
        parts.append(pending.mid(from, stop - from));
        from = stop + kDelimiter.size();
    }
    *end = from;
    return parts;
}

void SendToHost(const QByteArray& bytes) { SwitchThroughSocket().Send(bytes); }

} // namespace

bool ParseSwitchThroughCommandLine(const QString& commandLine, quint16* port, int* route) {
    const QStringList words = commandLine.split(QLatin1Char(' '));
    if (words.size() != 2) return false;
    const std::optional<int> p = WholeNumber(words[0].toLatin1());
    const std::optional<int> r = WholeNumber(words[1].toLatin1());
    if (!p || !r || *p < 1 || *p > 65535 || *r < 0 || *r > 255) return false;
    if (port) *port = static_cast<quint16>(*p);
    if (route) *route = *r;
    return true;
}

SwitchThroughLink::SwitchThroughLink(QObject* parent) : QObject(parent) {
    connect(&server_, &QTcpServer::newConnection, this, &SwitchThroughLink::OnHostConnecting);
}

SwitchThroughLink::~SwitchThroughLink() {
    onEnd_ = nullptr;
    ended_ = true;
    Close();
}

void SwitchThroughLink::Start(const QString& commandLine) {
    if (commandLine.isEmpty()) return;
    quint16 port = 0;
    int route = 0;
    if (!ParseSwitchThroughCommandLine(commandLine, &port, &route)) return;
    linkState().SwitchThroughRoute = static_cast<int16_t>(route);
    startSwitchThroughConnect(QStringLiteral("127.0.0.1"), QString::number(port));
}

int SwitchThroughLink::startSwitchThroughConnect(const QString& host, const QString& port) {
    auto& s = linkState();
    TcpClient& client = SwitchThroughSocket();
    const std::optional<int> number = WholeNumber(port.toLatin1());
    if (!number || *number < 1 || *number > 65535) return 0;
    // Closing an earlier connection is not the end of the new link.
    ended_ = true;
    client.disconnect(this);
    client.Close();
    ended_ = false;
    connect(&client, &TcpClient::closed, this, [this] {
        const IoHandlerScope handler;
        SwitchThroughSocket().Close();
        End();
    });
    connect(&client, &TcpClient::errorOccurred, this, [this](int number, const QString& text) {
        const IoHandlerScope handler;
        OnSocketError(number, text);
    });
    s.UserCancel = false;
    client.SetRemote(host, static_cast<quint16>(*number));
    client.Connect();
    while (client.State() != sckConnected) {
        // A refused port or any other error has already ended the link with its box.
        if (ended_ || client.State() == sckError || client.State() == sckClosed) return 0;
        if (s.UserCancel) {
            client.Close();
            return 0;
        }
        WaitForEvents(10);
    }
    OnClientConnected();
    return 1;
}

void SwitchThroughLink::OnClientConnected() {
    if (!startSwitchThroughServerListen(linkState().SwitchThroughListenPort)) return;
    // The host connects back to the port it is told, always five digits.
    SendToHost(QStringLiteral("%1").arg(ListenPort(), 5, 10, QLatin1Char('0')).toLatin1());
    linkHost().RefreshStatusBar();
    DoEvents();
}

bool SwitchThroughLink::startSwitchThroughServerListen(quint16 port) {
    server_.close();
    // Only a program on this PC may take over the module link.
    if (!server_.listen(QHostAddress::LocalHost, port)) {
        OnSocketError(TcpClient::WinsockErrorNumber(server_.serverError()), server_.errorString());
        return false;
    }
    return true;
}

quint16 SwitchThroughLink::ListenPort() const { return server_.isListening() ? server_.serverPort() : 0; }

bool SwitchThroughLink::HostConnected() const {
    return host_ && host_->state() == QAbstractSocket::ConnectedState;
}

void SwitchThroughLink::OnHostConnecting() {
    const IoHandlerScope handler;
    while (QTcpSocket* incoming = server_.nextPendingConnection()) {
        // One host, from this PC: anything else is turned away and the wait goes on.
        if (host_ || !incoming->peerAddress().isLoopback()) {
            incoming->abort();
            incoming->deleteLater();
            continue;
        }
        host_ = incoming;
        host_->setParent(this);
        host_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(host_, &QTcpSocket::readyRead, this, &SwitchThroughLink::OnHostData);
        connect(host_, &QTcpSocket::disconnected, this, [this] {
            const IoHandlerScope handler;
            if (host_) host_->abort();
            End();
        });
        connect(host_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            const IoHandlerScope handler;
            OnSocketError(TcpClient::WinsockErrorNumber(error), host_ ? host_->errorString() : QString());
        });
        server_.close();
        // The pause and the status text belong to the link's start, not to this handler.
        RunAfterHandler([this] { OnHostAccepted(); }, this);
    }
}

void SwitchThroughLink::OnHostAccepted() {
    auto& s = linkState();
    LinkHost& h = linkHost();
    SetFlashCommandsEnabled(h, false);
    s.LinkMode = LINK_SWITCH_THROUGH;
    SleepMs(s.SwitchThroughAcceptPauseMs);
    h.SetPanelText(4, QStringLiteral("CONNECTING ...") + QString::number(s.RetryNumber));
    h.RefreshStatusBar();
    s.LinkMode = LINK_SWITCH_THROUGH;
    // Whatever the host sent at once is waiting already.
    if (host_) pending_.append(host_->readAll());
    TakeMessages();
}

void SwitchThroughLink::OnHostData() {
    const IoHandlerScope handler;
    if (host_) pending_.append(host_->readAll());
    RunAfterHandler([this] { TakeMessages(); }, this);
}

void SwitchThroughLink::TakeStream(const QByteArray& bytes) {
    pending_.append(bytes);
    TakeMessages();
}

void SwitchThroughLink::TakeMessages() {
    // A prompt's box waits in the event loop; whatever arrives meanwhile is appended and
    // taken by this loop once the box has closed, so the host's messages keep their order.
    if (parsing_) return;
    parsing_ = true;
    while (TakeMessage()) {
    }
    if (pending_.size() > kMaxPendingBytes) pending_.clear();
    parsing_ = false;
}

bool SwitchThroughLink::TakeMessage() {
    if (pending_.isEmpty()) return false;
    qsizetype end = 0;
    if (pending_.startsWith(kPanelMessage + kDelimiter)) {
        const QList<QByteArray> args = MessageArguments(pending_, 2, &end);
        if (args.isEmpty()) return false;
        pending_.remove(0, end);
        if (const std::optional<int> panel = WholeNumber(args[0])) {
            linkHost().SetPanelText(*panel, QString::fromLatin1(args[1]));
            linkHost().RefreshStatusBar();
        }
        return true;
    }
    if (pending_.startsWith(kUserPrompt + kDelimiter)) {
        const QList<QByteArray> args = MessageArguments(pending_, 3, &end);
        if (args.isEmpty()) return false;
        pending_.remove(0, end);
        const std::optional<int> style = WholeNumber(args[0]);
        if (!style) return true;
        const int answer = MsgBox(QString::fromLatin1(args[2]), *style, QString::fromLatin1(args[1]));
        SendToHost("DIALOGRESULT" + kDelimiter + QStringLiteral("%1").arg(answer, 5, 10, QLatin1Char('0')).toLatin1() +
                   kDelimiter);
        linkHost().RefreshStatusBar();
        return true;
    }
    // An empty part is no message.
    if (pending_.startsWith(kDelimiter)) {
        pending_.remove(0, kDelimiter.size());
        return true;
    }
    // A frame: its length byte says where it ends, so data bytes that happen to spell
    // the delimiter are kept.
    const int length = uint8_t(pending_[0]);
    end = length + 1;
    if (pending_.size() < end + kDelimiter.size()) return false;
    if (pending_.mid(end, kDelimiter.size()) != kDelimiter) {
        // No frame after all: dropped up to the next delimiter, so one bad part costs
        // only itself.
        const qsizetype next = pending_.indexOf(kDelimiter);
        if (next < 0) {
            pending_.clear();
            return false;
        }
        pending_.remove(0, next + kDelimiter.size());
        return true;
    }
    const QByteArray frame = pending_.left(end);
    pending_.remove(0, end + kDelimiter.size());
    if (!FrameChecksumGood(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size()))) return true;
    auto& s = linkState();
    std::copy_n(frame.constData(), frame.size(), reinterpret_cast<char*>(s.RxBuffer));
    linkClient().FrameReceived();
    return true;
}

void SwitchThroughLink::OnSocketError(int number, const QString& description) {
    // The host closing its side is the ordinary end of the link (its close handler ends
    // it), not an error.
    if (ended_ || number == TcpClient::WinsockErrorNumber(QAbstractSocket::RemoteHostClosedError)) return;
    const auto report = [this, number, description] {
        if (ended_) return;
        MsgBox(WinsockErrorText(number, description), vbOKOnly + vbInformation, QString());
        End();
    };
    if (InIoHandler()) RunAfterHandler(report, this);
    else report();
}

void SwitchThroughLink::End() {
    if (ended_) return;
    ended_ = true;
    SwitchThroughSocket().Close();
    if (host_) host_->abort();
    server_.close();
    // The window's shut-down asks questions and releases the sockets: never under a
    // socket's own handler.
    RunAfterHandler([this] {
        if (onEnd_) onEnd_();
    }, this);
}

void SwitchThroughLink::Close() {
    // Closing on purpose is no end of the link to report.
    ended_ = true;
    server_.close();
    if (host_) {
        host_->disconnect(this);
        host_->abort();
        host_->deleteLater();
        host_ = nullptr;
    }
    SwitchThroughSocket().Close();
    pending_.clear();
}

SwitchThroughLink& switchThrough() {
    if (!g_link) g_link = std::make_unique<SwitchThroughLink>();
    return *g_link;
}

void ResetSwitchThrough() { g_link.reset(); }

} // namespace korvel

#include "link/switchthrough.h"

#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/linkclient.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/digits.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"
#include "platform/prompts.h"
#include "platform/tcpclient.h"

#include <QHostAddress>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

namespace korvel {

namespace {

std::unique_ptr<SwitchThroughLink> g_link;

const QByteArray kDelimiter(SWITCH_THROUGH_DELIMITER);
const QByteArray kPanelMessage("PNLMESSAGE");
const QByteArray kUserPrompt("USERPROMPT");

// The shortest module frame: Length, destination, source, route, packet ID and type,
// then the checksum.
constexpr qsizetype kShortestFrame = FRAME_PACKET_TYPE + 2;

// A host that never ends a message cannot make the program hold its stream forever.
constexpr qsizetype kMaxPendingBytes = 1 << 20;

// A part that is a whole number and nothing else ("2", not "2x" or "-2").
std::optional<int> WholeNumber(const QByteArray& part) {
    const QByteArray text = part.trimmed();
    if (text.size() > 9) return std::nullopt;
    const std::optional<qint64> value = DigitsOnlyValue(text);
    if (!value) return std::nullopt;
    return int(*value);
}

// A text the host shows: single-byte characters, with no control characters but tab and
// line ends. A module frame always holds some (its destination, route or type byte), so a
// message short of an argument cannot take the frame behind it for one.
bool IsText(const QByteArray& bytes) {
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n') return false;
    }
    return true;
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
    TcpClient& client = SwitchThroughSocket();
    const std::optional<int> number = WholeNumber(port.toLatin1());
    if (!number || *number < 1 || *number > 65535) return 0;
    // Closing an earlier connection is not the end of the new link.
    ended_ = true;
    client.disconnect(this);
    client.Close();
    ended_ = false;
    failed_ = false;
    connect(&client, &TcpClient::closed, this, [this] {
        const IoHandlerScope handler;
        SwitchThroughSocket().Close();
        EndLink();
    });
    connect(&client, &TcpClient::errorOccurred, this, [this](int number, const QString& text) {
        const IoHandlerScope handler;
        OnSocketError(number, text);
    });
    client.SetRemote(host, static_cast<quint16>(*number));
    client.Connect();
    while (client.State() != sckConnected) {
        // A refused port or any other error is the client's to report, and it ends the link.
        if (ended_ || client.State() == sckError || client.State() == sckClosed) return 0;
        if (ProgramEnding()) {
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
        // Nothing an earlier link left behind is taken for this host's.
        BeginNewConnection();
        pending_.clear();
        blockStarts_.clear();
        questions_.clear();
        host_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(host_, &QTcpSocket::readyRead, this, &SwitchThroughLink::OnHostData);
        connect(host_, &QTcpSocket::disconnected, this, [this] {
            const IoHandlerScope handler;
            if (host_) host_->abort();
            EndLink();
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
    s.LinkMode = LINK_SWITCH_THROUGH;
    linkClient().SwitchThroughStarted();
    // The host readies its side meanwhile. The window runs on, and the program's end cuts
    // the pause short; what the host sends waits until the pause is over, so its messages
    // still come after the connecting text.
    const QPointer<SwitchThroughLink> self(this);
    holdingMessages_ = true;
    PauseMs(s.SwitchThroughAcceptPauseMs, {});
    if (!self) return;
    holdingMessages_ = false;
    if (ended_ || ProgramEnding()) return;
    // The try of whatever transaction is under way; none is, as a rule, when the host comes.
    const Transaction* open = OpenTransactionNow();
    h.SetPanelText(4, QStringLiteral("CONNECTING ...") + QString::number(open ? open->RetryNumber : 0));
    h.RefreshStatusBar();
    // Whatever the host sent at once is waiting already.
    if (host_) Append(host_->readAll());
    TakeMessages();
}

void SwitchThroughLink::OnHostData() {
    const IoHandlerScope handler;
    if (host_) Append(host_->readAll());
    RunAfterHandler([this] { TakeMessages(); }, this);
}

void SwitchThroughLink::TakeStream(const QByteArray& bytes) {
    Append(bytes);
    TakeMessages();
}

void SwitchThroughLink::Append(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    if (!pending_.isEmpty()) blockStarts_.append(pending_.size());
    pending_.append(bytes);
}

void SwitchThroughLink::Remove(qsizetype count) {
    pending_.remove(0, count);
    QList<qsizetype> kept;
    for (const qsizetype start : blockStarts_)
        if (start > count) kept.append(start - count);
    blockStarts_ = kept;
}

void SwitchThroughLink::TakeMessages() {
    if (holdingMessages_) return;
    // This runs again, nested, when more comes from the host while a box shown for an
    // earlier message is up: the frames are taken then and there, because whatever runs
    // inside that box's modal loop (an event's acknowledgement with its channel poll) may
    // be waiting for them. Each message leaves pending_ before it is acted on, so no
    // message is taken twice.
    while (TakeMessage()) {
    }
    if (pending_.size() > kMaxPendingBytes) {
        pending_.clear();
        blockStarts_.clear();
    }
    AnswerPrompts();
}

void SwitchThroughLink::AnswerPrompts() {
    // One question at a time, in the host's order, so that the answers go back in the
    // order asked: a question that comes while a box is up waits behind it.
    if (prompting_) return;
    prompting_ = true;
    while (!questions_.isEmpty()) {
        const HostQuestion q = questions_.takeFirst();
        const int answer =
            linkClient().AnswerHostQuestion(QString::fromLatin1(q.prompt), q.style, QString::fromLatin1(q.title));
        SendToHost("DIALOGRESULT" + kDelimiter + QStringLiteral("%1").arg(answer, 5, 10, QLatin1Char('0')).toLatin1() +
                   kDelimiter);
        linkHost().RefreshStatusBar();
    }
    prompting_ = false;
}

bool SwitchThroughLink::TakeMessage() {
    const qsizetype first = pending_.indexOf(kDelimiter);
    // The first part is not whole yet.
    if (first < 0) return false;
    // An empty part is no message.
    if (first == 0) {
        Remove(kDelimiter.size());
        return true;
    }
    const QByteArray head = pending_.left(first);
    if (head == kPanelMessage) return TakeHostMessage({Argument::Number, Argument::Text});
    if (head == kUserPrompt) return TakeHostMessage({Argument::Number, Argument::Text, Argument::Text});
    return TakeFrame(first);
}

bool SwitchThroughLink::TakeHostMessage(const QList<Argument>& kinds) {
    QList<QByteArray> args;
    qsizetype from = pending_.indexOf(kDelimiter) + kDelimiter.size();
    for (const Argument kind : kinds) {
        const qsizetype stop = pending_.indexOf(kDelimiter, from);
        const QByteArray arg = pending_.mid(from, stop < 0 ? -1 : stop - from);
        // A message ends at the first part that is not the argument it needs: the keyword
        // and the arguments before go, and that part is taken for what it is. A text
        // that has already failed is not waited for.
        const bool fits = kind == Argument::Number ? stop < 0 || WholeNumber(arg).has_value() : IsText(arg);
        if (!fits) {
            Remove(from);
            return true;
        }
        if (stop < 0) return false;
        args.append(arg);
        from = stop + kDelimiter.size();
    }
    Remove(from);
    const int number = *WholeNumber(args[0]);
    if (args.size() == 2) {
        linkHost().SetPanelText(number, QString::fromLatin1(args[1]));
        linkHost().RefreshStatusBar();
    } else {
        questions_.append({number, args[1], args[2]});
    }
    return true;
}

bool SwitchThroughLink::TakeFrame(qsizetype first) {
    // The length byte says where the frame ends; its delimiter follows at once.
    const qsizetype end = uint8_t(pending_[0]) + 1;
    if (first < end) {
        // Data bytes may spell the delimiter. Such a frame is known once its own
        // delimiter has come; a part cut short or with too large a length byte is known
        // once the part after it is whole, so it never holds back the module's next
        // answers.
        const qsizetype next = pending_.indexOf(kDelimiter, first + kDelimiter.size());
        if (next < 0 && pending_.size() < end + kDelimiter.size()) return false;
        if (pending_.mid(end, kDelimiter.size()) != kDelimiter) return DropPart(first);
    } else if (first > end) {
        return DropPart(first);
    }
    // A part too short to hold a module frame's header (and its checksum) is no frame,
    // and the dispatcher would read past it.
    if (end < kShortestFrame) return DropPart(end);
    const QByteArray frame = pending_.left(end);
    Remove(end + kDelimiter.size());
    // The host has the module's frames from its own link and passes them on as they
    // came: their checksum is not tested again here, a wrong one included.
    linkClient().FrameReceived(frame);
    return true;
}

bool SwitchThroughLink::DropPart(qsizetype delimiter) {
    // One bad part costs only itself. When a block began inside it, it is the end of an
    // earlier block that never got the rest of its part, glued to the new block's first
    // part: only that end goes, and the new block is read from its start.
    qsizetype cut = delimiter + kDelimiter.size();
    for (const qsizetype start : blockStarts_) {
        if (start <= delimiter) {
            cut = start;
            break;
        }
    }
    Remove(cut);
    return true;
}

void SwitchThroughLink::OnSocketError(int number, const QString& description) {
    // The host closing its side is the ordinary end of the link (its close handler ends
    // it), not an error.
    if (ended_ || failed_ || number == TcpClient::WinsockErrorNumber(QAbstractSocket::RemoteHostClosedError)) return;
    failed_ = true;
    const auto report = [this, number, description] {
        // A link that has ended meanwhile (the host closed it) ended quietly.
        if (ended_) return;
        // The client says what went wrong and ends the link itself: what it shows comes
        // before the end, and this link may be gone once it returns.
        linkClient().SwitchThroughFailed(WinsockErrorText(number, description));
    };
    if (InIoHandler()) RunAfterHandler(report, this);
    else report();
}

void SwitchThroughLink::EndLink() {
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
    blockStarts_.clear();
    questions_.clear();
}

SwitchThroughLink& switchThrough() {
    if (!g_link) g_link = std::make_unique<SwitchThroughLink>();
    return *g_link;
}

void ResetSwitchThrough() { g_link.reset(); }

} // namespace korvel

// The switch-through link: a host program on this PC starts the utility with its port
// and a route number, and relays the module's frames for it over two loopback TCP
// connections, one each way; the host can also write status-bar panels and ask the
// user questions over the same stream.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

namespace korvel {

// Ends every part of the stream, both ways.
inline constexpr char SWITCH_THROUGH_DELIMITER[] = "<<>>";

// The host port and route of a command line of exactly two words ("40123 3"): a port
// from 1 to 65535 and a route from 0 to 255. False for anything else, which starts no
// link.
bool ParseSwitchThroughCommandLine(const QString& commandLine, quint16* port, int* route);

class SwitchThroughLink : public QObject {
    Q_OBJECT
public:
    explicit SwitchThroughLink(QObject* parent = nullptr);
    ~SwitchThroughLink() override;

    // The load timer's work: nothing for an empty or unusable command line, else
    // SwitchThroughRoute is set and the link to the host is opened.
    void Start(const QString& commandLine);
    // Connects to the host, pumping events until connected: 1 then, 0 when the user
    // cancelled or the connection failed (a failure the client is told of, and ends the
    // link for).
    int startSwitchThroughConnect(const QString& host, const QString& port);
    // Listens on 127.0.0.1 for the host's one connection. Port 0 takes a free port (for
    // tests); the host is told the port in use.
    bool startSwitchThroughServerListen(quint16 port);
    // The port this program listens on (0 when not listening).
    quint16 ListenPort() const;
    // True once the host has connected back.
    bool HostConnected() const;

    // Called when the link ends (either side closed, or an error): the window shuts the
    // program down. Called at most once per link.
    void SetEndHandler(std::function<void()> handler) { onEnd_ = std::move(handler); }
    // Closes both connections and the listener quietly (program shut-down).
    void Close();
    // Ends the link: both connections and the listener close, and the end handler is
    // called once every handler on the stack has returned. What the client does with a
    // failure it was told of; nothing once the link has ended or been closed.
    void EndLink();

    // Takes a block of the host's stream: whole messages are acted on, an incomplete one
    // waits for the rest. A part that is malformed or incomplete at its delimiter is
    // dropped, and the stream goes on with the next part. Not for a socket's handler: a
    // message may open a box.
    void TakeStream(const QByteArray& bytes);

private:
    void OnClientConnected();
    void OnHostConnecting();
    // The rest of the host's connection, once the listener's handler has returned.
    void OnHostAccepted();
    void OnHostData();
    // What an argument of a host message must be.
    enum class Argument { Number, Text };
    struct HostQuestion {
        int style = 0;
        QByteArray title;
        QByteArray prompt;
    };

    // Adds a block to pending_, noting where it starts.
    void Append(const QByteArray& bytes);
    // Removes count bytes from the front of pending_.
    void Remove(qsizetype count);
    // Acts on every whole message pending, in order, then asks the questions waiting.
    void TakeMessages();
    // Shows the host's questions one at a time and sends each answer back.
    void AnswerPrompts();
    // Tells the client of the link's first failure, once no handler is on the stack.
    void OnSocketError(int number, const QString& description);
    // Removes the first whole message of pending_ and acts on it (or drops it); false
    // when pending_ holds no whole message yet.
    bool TakeMessage();
    bool TakeHostMessage(const QList<Argument>& kinds);
    bool TakeFrame(qsizetype firstDelimiter);
    // Drops the malformed first part of pending_, which ends at this delimiter.
    bool DropPart(qsizetype delimiter);

    QTcpServer server_;
    QTcpSocket* host_ = nullptr;
    QByteArray pending_;
    // Where each block after the first one in pending_ starts.
    QList<qsizetype> blockStarts_;
    QList<HostQuestion> questions_;
    bool prompting_ = false;
    // True during the pause after the host has connected: its messages wait for its end.
    bool holdingMessages_ = false;
    bool ended_ = false;
    // The link's failure has been reported to the client, or is waiting to be: a later
    // error of this link, from either socket, reports nothing more.
    bool failed_ = false;
    std::function<void()> onEnd_;
};

SwitchThroughLink& switchThrough();
// Forgets the link, for the program-wide reset.
void ResetSwitchThrough();

} // namespace korvel

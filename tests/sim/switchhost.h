// The host end of the utility's switch-through link: the program that starts
// the utility, takes its two loopback connections and relays its frames to a
// module (here a SimModule over TCP).
//
// Like the simulated module it links no utility code: the stream parser and
// the framing are its own, so a fault in the utility's side of the link cannot
// be mirrored here and pass unnoticed.
//
// The link, as the utility sees it:
//   client connection  utility -> host, to the port the host listens on. Opens
//                      with the utility's own listening port as five digits,
//                      then module frames and DIALOGRESULT answers.
//   server connection  host -> utility, to the announced port. Module frames,
//                      PNLMESSAGE and USERPROMPT.
// Every part on either connection is followed by kPartEnd; there is no escaping,
// so frames are cut by their Length byte, never by looking for kPartEnd.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace korvel::sim {

// Ends every part, both ways.
inline constexpr char kPartEnd[] = "<<>>";
inline constexpr int kPartEndSize = int(sizeof kPartEnd) - 1;
// Keyword parts. The utility's answer to a prompt is the keyword part, then
// the result as kDialogResultDigits decimal digits with leading zeros.
inline constexpr char kDialogResultWord[] = "DIALOGRESULT";
inline constexpr char kPanelMessageWord[] = "PNLMESSAGE";
inline constexpr char kUserPromptWord[] = "USERPROMPT";
inline constexpr int kDialogResultDigits = 5;
// The utility announces its listening port in exactly this many digits. A
// utility in production always listens on kProductionUtilityPort; under test it
// takes a free port, so the host must connect to whatever it announces.
inline constexpr int kAnnouncementDigits = 5;
inline constexpr quint16 kProductionUtilityPort = 14004;

// Message-box results as the utility reports them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultAbort = 3;
inline constexpr int kResultRetry = 4;
inline constexpr int kResultIgnore = 5;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;
// Message-box style of a USERPROMPT (classic style numbers): buttons plus icon.
inline constexpr int kStyleOk = 0;
inline constexpr int kStyleYesNoQuestion = 36;  // Yes/No (4) + question icon (32)

// Name of a result ("Yes"), or "?" for a number outside 1 .. 7.
const char* DialogResultName(int result);

class SwitchHost : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,              // no client connection from the utility yet
        Announcing,        // client connected, its five digits not all in
        ConnectingBack,    // connecting to the announced port
        Linked,            // both connections up
        ConnectBackFailed, // bad announcement, or the announced port refused
        Closed,            // the utility closed a connection, or CloseUtilityLinks
    };
    Q_ENUM(State)

    explicit SwitchHost(QObject* parent = nullptr);
    ~SwitchHost() override;

    // Listens on 127.0.0.1 (0 = a free port) for the utility's client
    // connection; returns the port, 0 on failure. Calling it again moves the
    // listener; a session already running is left alone.
    quint16 Listen(quint16 port = 0);
    // Stops listening, so the utility's connection to the host port is refused.
    // A session already running is left alone; Listen works again afterwards.
    void StopListening();
    // The port listened on, 0 when not listening.
    quint16 ListenPort() const;
    // What the utility is started with: "<listen port> <route>".
    QString CommandLine(int route) const;

    // Connects to the module to relay to and writes kTcpStartText first. Blocks
    // until connected (loopback: at once) or a few seconds have passed; false
    // when it did not connect. Replaces an earlier module connection. The
    // module's TCP side doubles each 255 it sends; the host undoes that.
    bool ConnectModule(const QString& host, quint16 port);
    bool ModuleConnected() const;

    State CurrentState() const { return m_state; }
    // Both connections are up.
    bool Linked() const;
    // The port the utility announced; 0 until five good digits came.
    quint16 UtilityPort() const { return m_utilityPort; }
    // Why the connect-back failed, empty otherwise.
    QString FailureReason() const { return m_failure; }
    // Each connection on its own, so a test can see whether the utility closes
    // both when it ends a session (the host does not close the other one for it).
    bool ClientOpen() const;
    bool ServerOpen() const;
    // Connections to the host port turned away because one was already open:
    // the utility should connect once per session.
    int RejectedConnections() const { return m_rejected; }

    // Host -> utility, on the server connection. Anything sent before the link
    // is up is held and goes out, in order, as soon as it is; after the session
    // closed it is dropped. Text goes as given, one byte per character.
    void SendPanelMessage(int panel, const QByteArray& text);
    void SendUserPrompt(int style, const QByteArray& title, const QByteArray& prompt);
    // A frame as given (a test may send a bad checksum or a wrong Length byte),
    // then kPartEnd.
    void SendFrame(const QByteArray& frame);
    // The bytes alone, no kPartEnd added: half a part, two parts at once, noise.
    void SendRaw(const QByteArray& bytes);
    // Holding, everything for the utility (the module's frames too) is gathered; on
    // release it goes out in one write, in order, so the utility receives it as one
    // block, as from a host that relays in bursts.
    void HoldToUtility();
    void ReleaseToUtility();

    // Off: frames from the utility are recorded and signalled but not written to
    // the module. The module's frames still reach the utility. On by default.
    void SetRelay(bool on) { m_relay = on; }
    bool Relay() const { return m_relay; }

    // Ends the session as a host does: both connections closed gracefully (what
    // was queued still goes out). No utilityClosed for it.
    void CloseUtilityLinks();

    // Every frame from the utility, in order, whatever its checksum.
    const QList<QByteArray>& FramesFromUtility() const { return m_framesFromUtility; }
    // Every DIALOGRESULT, in order.
    const QList<int>& DialogResults() const { return m_dialogResults; }
    // Parts from the utility that are neither a frame nor a DIALOGRESULT: the
    // bytes up to and including the next kPartEnd after where the part went
    // wrong (or after a DIALOGRESULT keyword with a bad value), so reading can
    // go on with the next part.
    const QList<QByteArray>& MalformedFromUtility() const { return m_malformed; }
    // Every byte from the utility on the client connection, the announcement too.
    const QByteArray& ReceivedRaw() const { return m_receivedRaw; }
    // Every byte written to the utility on the server connection.
    const QByteArray& SentRaw() const { return m_sentRaw; }
    // Every complete frame from the module (undoubled), in order; each went or
    // goes to the utility.
    const QList<QByteArray>& FramesFromModule() const { return m_framesFromModule; }
    // Every byte from the module as it came, 255s still doubled.
    const QByteArray& ModuleRaw() const { return m_moduleRaw; }
    // Partial module frames dropped because no byte followed for
    // kInterByteGapMs, as a serial receiver drops them; a half frame held for
    // ever would otherwise swallow the module's next answers. Bytes below
    // kMinLength cannot start a frame and are skipped while hunting for the next
    // Length byte (they show in ModuleRaw only), as the sim's own receiver does.
    const QList<QByteArray>& ModuleDropped() const { return m_moduleDropped; }
    // Forgets everything recorded above.
    void ClearRecords();

signals:
    void linked();
    void connectBackFailed(const QString& reason);
    // Once per session, when the utility closes either connection first.
    void utilityClosed();
    void frameFromUtility(const QByteArray& frame);
    void dialogResult(int result);
    void malformedFromUtility(const QByteArray& bytes);
    // A module frame, as it is relayed to the utility.
    void frameFromModule(const QByteArray& frame);
    void moduleClosed();

private:
    void OnUtilityConnection();
    void StartSession(QTcpSocket* client);
    void OnClientReadable();
    void TakeAnnouncement();
    void ParseParts();
    void HandleFrame(const QByteArray& frame);
    void Discard(qsizetype count);
    void OnServerConnected();
    void OnUtilityGone();
    void Fail(const QString& reason);
    void ToUtility(const QByteArray& bytes);

    void OnModuleReadable();
    void OnModuleGap();
    void DropModule();

    QTcpServer* m_listener = nullptr;
    QTcpSocket* m_client = nullptr;  // utility -> host
    QTcpSocket* m_server = nullptr;  // host -> utility
    QTcpSocket* m_module = nullptr;
    QTimer* m_moduleGap = nullptr;

    State m_state = State::Idle;
    quint16 m_utilityPort = 0;
    QString m_failure;
    int m_rejected = 0;
    bool m_relay = true;

    QByteArray m_in;          // client bytes not yet a whole part
    QByteArray m_toUtility;   // held until the link is up
    QByteArray m_heldBlock;   // held until ReleaseToUtility
    bool m_holding = false;
    QByteArray m_moduleIn;    // module bytes, undoubled, not yet a whole frame
    bool m_moduleFFPending = false;  // the first of a doubled 255 came, the second not yet

    QList<QByteArray> m_framesFromUtility;
    QList<int> m_dialogResults;
    QList<QByteArray> m_malformed;
    QByteArray m_receivedRaw;
    QByteArray m_sentRaw;
    QList<QByteArray> m_framesFromModule;
    QByteArray m_moduleRaw;
    QList<QByteArray> m_moduleDropped;
};

}  // namespace korvel::sim

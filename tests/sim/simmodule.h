// A simulated Korvel module: answers the utility's frames over TCP or a
// pseudo-terminal, and can be told to misbehave in the ways real links do.
//
// It frames and checksums on its own (no korvel_core) so that a fault in the
// utility's frame code cannot be mirrored here and pass unnoticed.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

namespace korvel::sim {

// Packet types (byte 5). Named apart from the utility's own constants so a test
// can include both headers.
inline constexpr quint8 kPktGet = 0x00;
inline constexpr quint8 kPktSet = 0x01;
inline constexpr quint8 kPktReply = 0x02;
inline constexpr quint8 kPktEvent = 0x03;
inline constexpr quint8 kPktResend = 0xFD;
inline constexpr quint8 kPktAck = 0xFE;
inline constexpr quint8 kPktNack = 0xFF;

// The shortest frame the PC sends is its event acknowledgement (L = 6, no
// command byte). A smaller value cannot start a frame, so the receiver skips it
// while hunting for the next Length byte.
inline constexpr int kMinLength = 6;
// Longest data part: L = 7 + data must fit in the Length byte.
inline constexpr int kMaxData = 255 - 7;
// A partial frame is dropped when the next byte is later than this.
inline constexpr int kInterByteGapMs = 500;
// Gap between the two writes of Fault::Split.
inline constexpr int kSplitGapMs = 20;
// Data byte of the extra REPLY that Fault::BackToBack puts before the answer.
inline constexpr quint8 kBackToBackData = 0xEE;

// Appends the checksum byte; byte 0 must already be L (= size of the argument).
QByteArray MakeFrame(QByteArray withoutChecksum);
// True when the frame is L+1 bytes long and all its bytes sum to 255 mod 256.
bool ChecksumGood(const QByteArray& frame);
// Reply data to a GET of command 0x00 until SetReplyData changes it:
// 'K' 'V', firmware 1.2, serial number 12345 (big-endian, 4 bytes).
QByteArray DefaultModuleInfo();

enum class Fault { None, Silent, Nack, Resend, BadChecksum, Split, PauseMidFrame, BackToBack };

class SimModule : public QObject {
    Q_OBJECT
public:
    explicit SimModule(QObject* parent = nullptr);
    ~SimModule() override;

    // Listens on 127.0.0.1 (0 = a free port); returns the port, 0 on failure.
    // One client at a time: a new client replaces the old one.
    quint16 ListenTcp(quint16 port = 0);
    // Creates a pseudo-terminal pair; returns the slave path for the utility to
    // open, empty on failure.
    QString OpenPty();
    void Close();

    // Applies to the next `count` answers (-1: until changed). An answer the
    // fault suppresses (Silent) still counts.
    void SetFault(Fault f, int count = -1);
    Fault CurrentFault() const { return m_fault; }
    void SetPauseMs(int ms);
    // Data of the REPLY to a GET of `command` (default: one byte 0x00). Longer
    // than kMaxData is cut to kMaxData.
    void SetReplyData(int command, const QByteArray& data);
    void SetReplyDelayMs(int ms);
    // Replaces the extra frame that Fault::BackToBack sends before the answer
    // (without checksum, byte 0 = L). Empty restores the default: a REPLY of the
    // same command, station, route and packet id with the single data byte
    // kBackToBackData.
    void SetBackToBackFrame(const QByteArray& withoutChecksum);

    // Writes to every open endpoint, after anything still queued for it (a
    // paused answer keeps its place, as on a real serial line).
    void SendRaw(const QByteArray& bytes);
    void SendFrame(const QByteArray& withoutChecksum);
    void SendEvent(int station, int eventClass, const QByteArray& data);

    // Every complete frame received from the PC, in order, good or bad checksum.
    const QList<QByteArray>& Received() const { return m_received; }
    int ReceivedCount() const { return static_cast<int>(m_received.size()); }
    // Every byte received from the PC, as received (lets a test see noise,
    // dropped partial frames or doubled bytes the PC should not send).
    const QByteArray& ReceivedRaw() const { return m_receivedRaw; }
    void ClearReceived();

    bool ClientConnected() const;
    quint16 TcpPort() const;
    QString PtyPath() const { return m_ptyPath; }

signals:
    // Emitted before the frame is answered: a slot may change the fault or the
    // reply data and it applies to this frame.
    void frameReceived(const QByteArray& frame);

private:
    // One byte stream to the PC, with its own receive assembly and its own
    // output queue.
    struct Port {
        struct Chunk {
            QByteArray bytes;
            int delayMs;  // wait this long before writing the chunk
        };
        QByteArray partial;
        qint64 lastByteMs = 0;
        QList<Chunk> out;
        QTimer* outTimer = nullptr;
        quint32 generation = 0;  // bumped on (dis)connect: stale delayed answers are dropped
        bool tcp = false;
    };

    void OnNewConnection();
    void DropClient();
    void ClosePty();
    void OnPtyReadable();
    void FlushPty();
    void ResetPort(Port& port);
    bool PortOpen(const Port& port) const;

    void Feed(Port& port, QByteArray bytes);
    void HandleFrame(Port& port, const QByteArray& frame);
    Fault TakeFault();
    void Emit(Port& port, Fault fault, const QByteArray& answer);
    void Enqueue(Port& port, const QByteArray& bytes, int delayMs);
    void Pump(Port& port);
    void WriteNow(Port& port, const QByteArray& bytes);

    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
    int m_ptyMaster = -1;
    int m_ptySlave = -1;  // held open so the master never sees a hang-up
    QString m_ptyPath;
    QSocketNotifier* m_ptyRead = nullptr;
    QSocketNotifier* m_ptyWrite = nullptr;
    QTimer* m_ptyRearm = nullptr;
    QByteArray m_ptyOut;

    Port m_tcp;
    Port m_pty;
    QElapsedTimer m_clock;

    Fault m_fault = Fault::None;
    int m_faultCount = -1;
    int m_pauseMs = 1200;
    int m_replyDelayMs = 0;
    QHash<int, QByteArray> m_replyData;
    QByteArray m_backToBack;

    QList<QByteArray> m_received;
    QByteArray m_receivedRaw;
};

}  // namespace korvel::sim

// A simulated Kenwood FleetSync radio between the utility and a SimModule: the
// utility talks to the local radio on a pseudo-terminal in the radio's text
// frames, and the radio carries module frames to and from a remote radio with
// the module behind it.
//
// Like SimModule it frames on its own, so a fault in the utility's radio code
// cannot be mirrored here and pass unnoticed.
#pragma once

#include "simmodule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;

namespace korvel::sim {

// A text frame: STX, kind, fleet (3 decimal digits), radio ID (4 decimal
// digits), content, ETX. Every character is one byte.
inline constexpr char kRadioStx = 0x02;
inline constexpr char kRadioEtx = 0x03;
// Kinds. A status message carries two status characters; a data message
// carries a module frame, each byte as two upper-case hex digits, high first.
inline constexpr char kRadioStatus = 'E';
inline constexpr char kRadioShortData = 'F';
inline constexpr char kRadioLongData = 'G';
// A module frame whose Length byte is at least this goes as a long data message.
inline constexpr int kRadioLongLength = 20;
// The local radio's own replies to the PC: STX, code, ETX.
inline constexpr char kRadioAck = '0';
inline constexpr char kRadioNack = '1';
inline constexpr char kRadioBusy = '2';
inline constexpr char kRadioDataError = '3';
// The longest text frame the radio reads, STX and ETX included. The longest
// module frame needs 2 x 255 + 12, so anything near this has lost its ETX.
inline constexpr int kRadioMaxText = 1200;
// Where the remote radio is until SetRemote says otherwise.
inline constexpr int kDefaultFleet = 100;
inline constexpr int kDefaultRadioId = 1000;

// STX, kind, fleet and ID zero-padded to 3 and 4 digits, content as given, ETX.
QByteArray RadioText(char kind, int fleet, int id, const QByteArray& content);
// The data message that carries `frame`: short or long by its Length byte.
QByteArray RadioDataText(int fleet, int id, const QByteArray& frame);
// STX, reply code, ETX.
QByteArray RadioReplyText(char code);

// In place of the local radio's own reply (ACK, or DATA ERROR for a malformed
// frame). With any of them nothing is delivered.
enum class RadioFault { None, Nack, Busy, DataError, NoReply };

class SimRadio : public QObject {
    Q_OBJECT
public:
    // Puts the radio in front of `module` through the module's in-process link,
    // which it opens, and closes again when the radio goes. The module may go
    // first: the radio then delivers nothing.
    explicit SimRadio(SimModule* module, QObject* parent = nullptr);
    ~SimRadio() override;

    // The PC's side: a pseudo-terminal as SimModule::OpenPty makes one, its link
    // named "ttyRadio". Returns the path, empty on failure; a new pair under a
    // new path on each call.
    QString OpenPty();
    // Closes the pseudo-terminal with its link and directory; output queued or
    // waiting out the answer delay is dropped.
    void Close();
    QString PtyPath() const { return m_pty.Path(); }
    QString PtySlavePath() const { return m_pty.SlavePath(); }

    // The remote radio's address (fleet 0 .. 999, ID 0 .. 9999); a frame for any
    // other address is acknowledged and goes nowhere, as to a radio that is not there.
    void SetRemote(int fleet, int id);
    int RemoteFleet() const { return m_fleet; }
    int RemoteId() const { return m_id; }

    // Applies to the next `count` text frames from the PC (-1: until changed),
    // malformed ones included; a frame given NoReply still counts.
    void SetFault(RadioFault f, int count = -1);
    RadioFault CurrentFault() const { return m_fault; }
    // The remote's data messages (answers and events of the module) wait this
    // long after the module wrote them, on top of the module's own reply delay
    // and wire pacing. They keep their order; the local radio's replies do not
    // wait for them.
    void SetAnswerDelayMs(int ms);

    // Written to the PC at once, behind nothing held by the answer delay.
    // A status message from any radio; `status` is sent as given (two characters
    // normally), so a test can send a malformed one too.
    void SendStatus(int fleet, int id, const QByteArray& status);
    // A data message carrying `frame` as given (a bad checksum or a Length byte
    // that does not fit stays so), kind by its Length byte; from the remote
    // unless another address is given.
    void SendData(const QByteArray& frame);
    void SendData(int fleet, int id, const QByteArray& frame);
    void SendRaw(const QByteArray& bytes);

    // Every text frame from the PC that reached its ETX, STX to ETX, in order,
    // malformed ones included. A frame given up without ETX (too long, or cut
    // off by the next STX) shows only in ReceivedRaw.
    const QList<QByteArray>& Received() const { return m_received; }
    const QByteArray& ReceivedRaw() const { return m_receivedRaw; }
    // Everything written to the PC, one entry per reply, message or SendRaw, in
    // order; SentRaw is the same as one stream. Nothing is sent or recorded
    // while the pseudo-terminal is closed.
    const QList<QByteArray>& Sent() const { return m_sent; }
    const QByteArray& SentRaw() const { return m_sentRaw; }
    void ClearReceived();

signals:
    // Emitted before the frame is replied to: a slot may change the fault and
    // it applies to this frame.
    void textReceived(const QByteArray& text);

private:
    struct Held {
        QByteArray text;
        qint64 dueNs = 0;  // on m_clock
    };

    void OnPcBytes(const QByteArray& bytes);
    void HandleText(const QByteArray& text);
    // The module frame a well-formed data message carries, with its address;
    // false for anything the radio answers with DATA ERROR.
    static bool Parse(const QByteArray& text, QByteArray* frame, int* fleet, int* id);
    RadioFault TakeFault();
    // The reply to one frame: `own` unless a fault replaces it. True when it is
    // the radio's own ACK, so the frame may go on.
    bool Reply(char own);
    void OnModuleOutput(const QByteArray& bytes);
    void Hold(const QByteArray& text);
    void Pump();
    void Write(const QByteArray& bytes);

    QPointer<SimModule> m_module;
    SimPty m_pty;
    int m_fleet = kDefaultFleet;
    int m_id = kDefaultRadioId;
    RadioFault m_fault = RadioFault::None;
    int m_faultCount = -1;
    int m_answerDelayMs = 0;

    QByteArray m_partial;      // a text frame from the PC, from its STX
    QByteArray m_fromModule;   // a module frame not yet complete
    QList<Held> m_held;        // remote messages waiting out the answer delay
    QTimer* m_heldTimer = nullptr;
    QElapsedTimer m_clock;

    QList<QByteArray> m_received;
    QByteArray m_receivedRaw;
    QList<QByteArray> m_sent;
    QByteArray m_sentRaw;
};

}  // namespace korvel::sim

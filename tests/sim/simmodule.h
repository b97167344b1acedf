// A simulated Korvel module: answers the utility's frames over TCP or a
// pseudo-terminal, and can be told to misbehave in the ways real links do.
//
// It frames and checksums on its own (none of the utility's libraries) so that a fault in the
// utility's frame code cannot be mirrored here and pass unnoticed.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <optional>

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

// Configuration block codes the module stores. The sim's own list, so a wrong
// length on the utility's side cannot be copied here.
inline constexpr int kBlockSystem = 0x81;
inline constexpr int kBlockInputs = 0x82;
inline constexpr int kBlockOutputs = 0x83;
inline constexpr int kBlockAnalogs = 0x84;
inline constexpr int kBlockTemps = 0x8A;
inline constexpr int kBlockFleetSync = 0x8B;
inline constexpr int kBlockNmea = 0x8C;

// (block code, index). The system, temperature and NMEA blocks exist once and
// are always keyed with index 0, whatever index byte a frame carries.
using BlockKey = QPair<int, int>;

// Length byte L of the frame that carries block (code, index); 0 when the
// module has no such block. The block data are frame bytes 7 .. L-1.
int BlockLength(int code, int index);
// The same key with the index dropped for the blocks that exist once.
BlockKey NormalBlockKey(int code, int index);

enum class Target { Korvel, Pellar };

// The configuration a sim holds after construction, SetKorvel or SetPellar:
// every block, data bytes 7 .. L-1, generated from a fixed seed so that no
// field keeps its factory default, and canonical for that target: every byte the
// utility does not carry is 0, so a read followed by a write gives the module
// back exactly these bytes.
QHash<BlockKey, QByteArray> CanonicalConfig(Target target);

// What a station's non-volatile memory holds after an NVR reset: every block, data
// bytes 7 .. L-1, all 0 but the index byte (kept so each block still answers for its
// own group). Plainly different from CanonicalConfig, so a test sees a read that
// follows a reset.
QHash<BlockKey, QByteArray> FactoryConfig();
// The blocks of the input/output configuration: contact inputs, outputs, analog and
// temperature inputs. The input/output NVR reset restores only these.
bool IsChannelBlock(int code);

// Commands that act on a station's memory or the module as a whole. Each is a SET
// without data and is acknowledged (unless a fault or SetNackCommand refuses it).
inline constexpr int kCmdResetNvrAll = 0x85;  // every block to FactoryConfig
inline constexpr int kCmdResetNvrIo = 0x89;   // the channel blocks to FactoryConfig
inline constexpr int kCmdResetSystem = 0xD3;  // restart: stopped processes run again
// Stopped processes run again; in the boot loader, the restart into the application.
inline constexpr int kCmdRestartProcesses = 0xD1;

// The local module's program flash and its boot loader. Remote stations have neither.
//  - SET kCmdEnterBootLoader (no data): the module restarts into its boot loader.
//  - SET kCmdFlashUnlock (no data, boot loader only) unlocks the flash; GET answers
//    [1] when it is unlocked, [0] when not.
//  - A page half travels as frame bytes 7, 8 = its word address (byte address / 2),
//    high byte first, then kFlashHalfBytes flash bytes (L = kPageHalfLength): SET
//    writes them, GET (L = 9, the address only) reads them. kCmdFlashPageLow takes
//    the first half of a 256-byte page, kCmdFlashPageHigh the second.
inline constexpr int kCmdFlashUnlock = 0xCE;
inline constexpr int kCmdFlashPageLow = 0xCF;
inline constexpr int kCmdFlashPageHigh = 0xD0;
inline constexpr int kCmdEnterBootLoader = 0xD2;
inline constexpr int kFlashBytes = 0x20000;
inline constexpr int kFlashPageBytes = 256;
inline constexpr int kFlashHalfBytes = 128;
inline constexpr int kPageHalfLength = 7 + 2 + kFlashHalfBytes;
// Where the board information page (MakeBoardPage) lives.
inline constexpr int kBoardPageAddress = 0x1DF00;
// A new sim's application fills bytes 0 .. kInitialApplicationBytes - 1.
inline constexpr int kInitialApplicationBytes = 0x10000;
// Module-information data bytes 7 and 9 in the boot loader: family 0 (the boot
// loader only), product line 3; version 2.1 unless SetBootLoaderVersion says otherwise.
inline constexpr quint8 kBootLoaderIdentity = 0x03;
inline constexpr quint8 kBootLoaderVersion = 0x21;

// The program the local module runs.
enum class FlashMode { Application, BootLoader };

// Module identity as the module-information reply reports it.
inline constexpr quint8 kIdentity = 0x23;         // this program's family, product line 3
inline constexpr quint8 kKorvelFirmware = 0x31;   // 3.1
inline constexpr quint8 kPellarFirmware = 0x3F;   // minor 15: the utility asks the device type
inline constexpr quint8 kOptions = 0x6;           // bit 1: radio port fitted; bit 0 clear on purpose
inline constexpr quint8 kModuleMode = 0x32;       // master; high nibble set so a missing mask shows
inline constexpr quint8 kDebugFlags = 0x05;
inline constexpr quint8 kTempSensors = 0x81;
// Data bytes 11 .. 14 of a Pellar's device-type reply.
inline constexpr quint8 kPellarVersion[4] = {1, 2, 3, 4};
// Date/time reply until a SET changes it: day, month, year - 2000, hour, minute, second.
inline constexpr quint8 kDefaultDateTime[6] = {14, 3, 24, 15, 9, 26};
// Logger start time of a new station, in the same form: apart from kDefaultDateTime,
// so a start that takes the clock shows.
inline constexpr quint8 kDefaultLoggerStart[6] = {2, 11, 23, 7, 45, 3};

// The logger memory and what one record of each kind takes of it.
inline constexpr int kLoggerMemoryBytes = 24575;
inline constexpr int kSampleRecordBytes = 4;
inline constexpr int kMinMaxRecordBytes = 11;
// The sample log never holds more than this, whatever the ratio leaves it.
inline constexpr int kMaxSampleRecords = 6143;
// The logger values the module reads from its system block, as indexes into the
// block's data bytes (frame byte - 7; system element e travels in frame byte 8 + e):
// LogSystem (element 35, bit 1 = a full log rolls over) and LogRatio (element 41,
// per cent of the memory given to min/max records).
inline constexpr int kLogSystemData = 36;
inline constexpr int kLogRatioData = 42;
inline constexpr quint8 kLogRollover = 0x02;
// Logger timers (airtime, then the contact inputs) and the setting bytes after them.
inline constexpr int kLoggerTimers = 9;
inline constexpr int kLoggerSettingBytes = 25;
// The channel-clear poll and the state its reply carries in data byte 7 (0 = clear).
inline constexpr quint8 kCmdChannelClear = 0x0B;
inline constexpr quint8 kChannelBusy = 0x01;

// Route byte of a frame the local module passes on over its radio port: the
// utility addresses remote station n as (n, 0, kRadioRoute).
inline constexpr quint8 kRadioRoute = 3;
// Remote station numbers AddRemoteStation takes.
inline constexpr int kFirstRemoteStation = 1;
inline constexpr int kLastRemoteStation = 254;

// What the utility writes on a new TCP connection before its first frame: for
// the module's network interface, not a frame. 9 bytes (without the NUL).
inline constexpr char kTcpStartText[] = "OMRULINK\r";
inline constexpr int kTcpStartTextSize = int(sizeof kTcpStartText) - 1;
// Bits on a serial line per byte at 8N2: start, 8 data, 2 stop.
inline constexpr int kBitsPerByte = 11;

enum class Fault { None, Silent, Nack, Resend, BadChecksum, Split, PauseMidFrame, BackToBack };

// A pseudo-terminal pair behind a port name of its own: a symbolic link to the
// slave in a directory of its own that Close and the destructor remove. The
// slave is raw before anyone opens it and is held open, so the master never
// sees a hang-up while the utility opens and closes the port. Everything the
// master reads is handed on by bytesRead; Write queues bytes for the slave.
// SimModule and SimRadio each put one in front of the utility.
class SimPty : public QObject {
    Q_OBJECT
public:
    // `linkName` is the link's file name, the port name the utility sees.
    explicit SimPty(const QString& linkName, QObject* parent = nullptr);
    ~SimPty() override;

    // A new pair under a new path, after closing any old one; the link's path,
    // empty on failure.
    QString Open();
    // A new pair behind the same path (the link is swapped in one step). False,
    // and no link, when the pair cannot be made or Open never succeeded.
    bool Reopen();
    // The pair goes and so does the link, as a pulled adapter's device node; a
    // port held open on the slave hangs up and queued output is dropped.
    // Path() stays for Reopen.
    void CloseMaster();
    // The pair, the link and the directory go; Path() is empty again.
    void Close();

    bool IsOpen() const { return m_master >= 0; }
    // Queued behind anything not yet taken by the slave; dropped when closed.
    void Write(const QByteArray& bytes);
    QString Path() const { return m_path; }
    // /dev/pts/N while open, else empty.
    QString SlavePath() const { return m_slavePath; }

signals:
    void bytesRead(const QByteArray& bytes);

private:
    bool OpenPair();
    void ClosePair();
    // Points the link at Path() to the current slave, replacing any old one.
    bool Link();
    void OnReadable();
    void Flush();

    QString m_linkName;
    int m_master = -1;
    int m_slave = -1;  // held open so the master never sees a hang-up
    std::unique_ptr<QTemporaryDir> m_dir;  // holds the link; removed with it
    QString m_path;
    QString m_slavePath;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
    QTimer* m_rearm = nullptr;
    QByteArray m_out;
};

class SimModule : public QObject {
    Q_OBJECT
public:
    explicit SimModule(QObject* parent = nullptr);
    ~SimModule() override;

    // Listens on 127.0.0.1 (0 = a free port); returns the port, 0 on failure.
    // One client at a time: a new client replaces the old one.
    quint16 ListenTcp(quint16 port = 0);
    // Closes the TCP client from the module's side, as a module whose network
    // interface resets. The listener stays, so the utility can connect again on
    // the same port; that connection must begin with the start text afresh
    // (TcpStartTextReceived keeps the dropped connection's value until it comes).
    // Answers still queued or delayed for the dropped client are thrown away.
    void DropClient();
    // Creates a pseudo-terminal pair and a symbolic link "ttyKorvel" to its slave,
    // in a directory of the sim's own that Close and the destructor remove.
    // Returns the link's path for the utility to open, empty on failure. A
    // slave's /dev/pts name cannot be chosen, so the link is the port name that
    // ReopenPty can bring the module back under. Each call makes a new pair under
    // a new path.
    QString OpenPty();
    // Closes the module's side of the pseudo-terminal, as when a USB serial
    // adapter is pulled: a port the utility holds open on it sees the line hang
    // up, and whatever was still queued for it is dropped. The link goes as the
    // adapter's device node would, so opening PtyPath() fails until ReopenPty;
    // PtyPath() itself stays.
    void ClosePtyMaster();
    // The same module comes back on the same port name: a new pair behind
    // PtyPath() (the link is swapped in one step), with the configuration,
    // stations, settings and records as they were. A port the utility still
    // holds on the old pair is hung up; opening the path again reaches the
    // module. False (and no link) when the pair cannot be made, or when there is
    // no port name to come back under: OpenPty never succeeded, or Close came since.
    bool ReopenPty();
    // Stops listening, drops the TCP client and closes the pseudo-terminal with
    // its link and directory. ListenTcp works again afterwards, on the same port
    // too, so Close and ListenTcp(TcpPort() from before) are a module that
    // vanished from the network and came back. The in-process link stays as it is.
    void Close();

    // A third byte stream beside TCP and the pseudo-terminal, in process, for
    // something that sits between the PC and the module (SimRadio). FeedLink
    // hands the module bytes as if they came in over a line; whatever the module
    // writes to it (answers, SendRaw, SendFrame, SendEvent) comes out of
    // linkOutput, as it would leave on a line: faults, reply delays and wire
    // pacing apply, and Received(), ReceivedRaw(), SentRaw() and frameReceived
    // see it as they see the other streams. Closed on a new sim: until OpenLink
    // nothing goes out on it and FeedLink is ignored. CloseLink drops a partial
    // frame and anything queued or delayed for it.
    void OpenLink();
    void CloseLink();
    bool LinkOpen() const { return m_linkOpen; }
    void FeedLink(const QByteArray& bytes);

    // Applies to the next `count` answers (-1: until changed). An answer the
    // fault suppresses (Silent) still counts.
    void SetFault(Fault f, int count = -1);
    Fault CurrentFault() const { return m_fault; }
    // The next `frames` frames with a good checksum, whatever they are (polls,
    // event acknowledgements, frames for a station that is not there), are
    // handled as usual; every later one is not acted on at all until
    // GoSilentAfter(-1) (any negative count): no answer, a SET stores nothing, a
    // poll uses up no busy report, and a fault's count stands still, so silence
    // wins over SetFault. 0: silent from the next frame. One count for TCP and the
    // pseudo-terminal together. Frames still show in Received() and
    // frameReceived, and answers already on their way still arrive; SendRaw and
    // SendEvent still send. Called from a frameReceived slot, the frame in hand
    // is the first one counted.
    void GoSilentAfter(int frames);
    // True once the count has run out, until GoSilentAfter is called again.
    bool Silent() const { return m_silentAfter == 0; }
    // How long a silence lasts: from the moment the count runs out the module answers
    // again `ms` later, as after GoSilentAfter(-1), and says so with answeringAgain, as a
    // radio path that fades and comes back; set while silent, from now. 0 (the default):
    // silent until GoSilentAfter.
    void SetSilenceMs(int ms);
    void SetPauseMs(int ms);
    // Data of the REPLY to a GET of `command`, in place of whatever the module
    // would answer (its blocks, identity, clock, a NACK), until ClearReplyData.
    // Longer than kMaxData is cut to kMaxData. A GET of a command the module
    // does not know is answered with the one data byte 0x00.
    void SetReplyData(int command, const QByteArray& data);
    void ClearReplyData(int command);
    // NACKs every GET and SET of `command` (nothing is stored) until called with -1, or
    // only the next `times` of them when times > 0.
    void SetNackCommand(int command, int times = -1);
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

    // Stations. The local module is station 0 and always exists. A remote station
    // is reached through it: a GET or SET to destination n != 0 is answered by
    // station n only when it exists and the route byte is kRadioRoute; otherwise
    // nothing answers, as from a station out of radio range. The channel-clear
    // poll is always answered by the local module. The fault, reply-data and NACK
    // settings apply to every answer, whichever station gives it.
    //
    // Station routing starts with the first AddRemoteStation (or
    // SetStationRouting(true)). Before that the module answers every destination
    // itself, as a lone module on the bench does, so tests that do not care about
    // stations need no set-up.
    //
    // AddRemoteStation (1 .. 254) adds station n, or resets it if it exists: a
    // Korvel with 2 children and the canonical configuration, clock present,
    // processes running.
    void AddRemoteStation(int n);
    void RemoveRemoteStation(int n);
    bool HasStation(int n) const;
    void SetStationRouting(bool on);
    bool StationRouting() const { return m_stationRouting; }

    // The per-station calls below take the station last, 0 (the local module)
    // by default. Setting a station that does not exist does nothing (with a
    // warning); asking one gives empty or default values.
    //
    // The target kind; a new sim is a Korvel with 2 children. Each resets the
    // configuration to CanonicalConfig of that kind and the identity, firmware,
    // options and module mode to the kind's defaults. SetKorvel takes 0 .. 15
    // children (more than the utility's 7, on purpose); a Pellar has none.
    void SetKorvel(int children, int station = 0);
    void SetPellar(int expansionBoardMask, int station = 0);
    Target CurrentTarget(int station = 0) const;
    int Children(int station = 0) const;
    int ExpansionBoardMask(int station = 0) const;
    // Module-information data byte 7 (family in the high nibble, product line in
    // the low one) and byte 8 (firmware version, 0x31 = 3.1).
    void SetIdentity(quint8 identity, quint8 firmwareVersion, int station = 0);
    // Low nibble of module-information data byte 9; the high nibble stays the child count.
    void SetOptions(quint8 lowNibble, int station = 0);
    // Module-information data byte 10 as sent.
    void SetModuleMode(quint8 modeByte, int station = 0);
    // Data bytes 7 .. 13 of the module-information reply for the station's target;
    // for the local module in its boot loader, the boot loader's.
    QByteArray ModuleInfo(int station = 0) const;
    // Without a clock the module NACKs the date/time GET and SET.
    void SetHasClock(bool hasClock, int station = 0);
    // Clock bytes as the date/time reply carries them (see kDefaultDateTime).
    QByteArray DateTime(int station = 0) const;
    // Set by the stop-processes command, cleared by restart-processes, each
    // sent to this station.
    bool ProcessesStopped(int station = 0) const;
    // The next n channel-clear polls report the radio channel busy, later ones clear;
    // -1 (any negative n): busy until changed. A new sim reports it clear. Every poll
    // with a good checksum uses one up, whatever a fault does to its answer.
    void SetChannelBusyPolls(int n);
    // Channel-clear polls received since the start or ClearReceived.
    int ChannelPolls() const { return m_channelPolls; }

    // Live status. A station has one group of each channel kind per module (main
    // module and children on a Korvel, groups 0 to 4 on a Pellar); the status GETs
    // (input 0x01, output 0x02, analog 0x08, temperature 0x0D) with the group in
    // data byte 7 answer [group, bits] or [group, 8 x (low, high)]; a group the
    // station does not have is NACKed (a status GET without its group byte gets the
    // one data byte 0x00 of a GET the module does not know). Seeded values differ per
    // group and slot; SetKorvel and SetPellar seed them afresh, temperatures in the
    // kind's own code.
    //  - inputs / outputs: bit s = slot s on.
    //  - analog: 12-bit codes as the reply carries them (bits 12 to 15 of the high
    //    byte are sent set, so a reader must mask them).
    //  - temperature: the raw 16-bit reading per input (0x7FFF = no sensor, seeded so
    //    on the inputs whose kTempSensors bit is clear); only group 0 exists.
    // The setters take groups 0 to 15, slots 0 to 7, analog codes 0 to 4095.
    void SetInputBits(int group, quint8 bits, int station = 0);
    quint8 InputBits(int group, int station = 0) const;
    void SetOutputBits(int group, quint8 bits, int station = 0);
    quint8 OutputBits(int group, int station = 0) const;
    void SetAnalogCode(int group, int slot, int code, int station = 0);
    int AnalogCode(int group, int slot, int station = 0) const;
    void SetTempReading(int slot, int raw16, int station = 0);
    int TempReading(int slot, int station = 0) const;
    // The output switch (SET 0x02, data byte 7: bit 7 new state, bits 0 to 6 output
    // number counted from 0 across groups) changes OutputBits; an output the station
    // does not have is NACKed. Every accepted switch, data byte as sent, in order.
    const QList<quint8>& OutputSwitches(int station = 0) const;
    // While on, once a second every station's inputs, analog codes and temperature
    // readings move a step (deterministically), as a live site does: one input of each
    // group toggles, analog codes move 3 counts within 0 to 1023 and temperatures half a
    // degree, turning back every 4 steps. Off in a new sim; korvel-sim turns it on.
    void SetLiveChanges(bool on);

    // The station poller task block (0x88): GET answers with the 32 six-byte task
    // records and two spare bytes (frame length 201); SET takes exactly that, stores
    // all 194 data bytes and counts the write. A new station holds records whose
    // station and output bytes are 0 and whose other bytes carry a pattern of its own,
    // so a writer that does not keep them shows.
    QByteArray TaskBlock(int station = 0) const;
    void SetTaskBlock(const QByteArray& data, int station = 0);
    int TaskBlockWrites(int station = 0) const;

    // The data logger: a sample log and a min/max log sharing kLoggerMemoryBytes,
    // records oldest first (index 0).
    //  - GET 0x11 / 0x13: [count low, count high] of the sample / min/max log.
    //  - GET 0x12 / 0x14 with a 16-bit start index in data bytes 7 and 8 (low first):
    //    [start low, start high] and the records from that index on, at most 40
    //    samples or 10 min/max records; none from a start at or past the count. A
    //    block GET without both index bytes is NACKed.
    //  - GET 0x15 or 0x16: [1] while the logger runs, [0] while it is stopped; the
    //    state stays as it is. SET 0x15 starts it (acknowledged; both logs erased,
    //    the start time taken from DateTime, the next serial 0) and SET 0x16 stops it
    //    (the logs kept); each counted, also when the logger already was so.
    //  - GET 0x17: the start time, in the form of the date/time reply.
    //  - GET 0x18: the kLoggerTimers timers (24-bit, low byte first) and the
    //    kLoggerSettingBytes setting bytes, 52 data bytes; SET 0x18 takes exactly that,
    //    stores all of it and counts the write.
    // A sample record is [value bits 0-7, channel code << 4 | value bits 8-11, serial
    // low, serial high]: channel codes 0 to 7 are analog inputs 1 to 8, 8 to 15
    // temperature inputs 1 to 8, values 0 to 4095. A min/max record is 11 bytes,
    // [channel, value 1 low, high, value 2 low, high, five time bytes, two-digit year].
    // A new station's logger is stopped and empty, its next serial 0, its start time
    // kDefaultLoggerStart, its timers 0 and its setting bytes a non-zero pattern of its
    // own, so a writer that does not send them back shows.
    //
    // Records go in whether or not the logger runs, as far as the capacities the
    // stored system block gives at that moment allow: a full log drops its oldest
    // record for each new one when the block's LogSystem has kLogRollover set, and
    // takes no more otherwise. With a fresh CanonicalConfig LogRatio reads above 100,
    // which counts as 100: no room for samples at all.
    //
    // One sampling instant: a record for each (channel code, value), all with the
    // next serial, which then moves on by one (65535 wraps to 0), also for records
    // that found no room. A pair out of range is left out with a warning.
    void LogSamples(const QList<QPair<int, int>>& channelValues, int station = 0);
    // One min/max record of kMinMaxRecordBytes, kept as given; another size is
    // ignored with a warning.
    void LogMinMax(const QByteArray& record, int station = 0);
    // What a running logger would have put in: `instants` sampling instants of channel
    // codes 0 .. channels - 1 (at most 16) with values in a fixed pattern that reaches
    // both 0 and 4095, then `minMaxRecords` min/max records of varied channels and
    // values with plausible times. The same on every call and run.
    void FillLogger(int instants, int channels, int minMaxRecords, int station = 0);
    // The records held, as raw bytes, oldest first.
    QByteArray SampleRecords(int station = 0) const;
    QByteArray MinMaxRecords(int station = 0) const;
    void SetNextSampleSerial(quint16 serial, int station = 0);
    // Day, month, year - 2000, hour, minute, second; another size is ignored with a warning.
    QByteArray LoggerStartTime(int station = 0) const;
    void SetLoggerStartTime(const QByteArray& sixBytes, int station = 0);
    // SetLoggerRunning only turns the state: no erasing, no count.
    bool LoggerRunning(int station = 0) const;
    void SetLoggerRunning(bool on, int station = 0);
    int LoggerStarts(int station = 0) const;
    int LoggerStops(int station = 0) const;
    // Timer k (0 to 8), in seconds, kept to 24 bits.
    QList<int> LoggerTimers(int station = 0) const;
    void SetLoggerTimer(int k, int seconds, int station = 0);
    QByteArray LoggerSettingBytes(int station = 0) const;
    // Accepted SET 0x18s, and the 52 data bytes of the last one (empty before any).
    int LoggerTimerWrites(int station = 0) const;
    QByteArray LastLoggerTimerWrite(int station = 0) const;
    // A module whose record counters ran past its memory: the count replies say
    // `samples` and `minMax` records more than it holds, and a block read past the
    // records held goes round them again from the oldest. 0, 0 (the default) is a sound
    // module.
    void SetLogCountsBeyondMemory(int samples, int minMax, int station = 0);
    // How many records of each kind the memory holds with the stored system block as
    // it is now: samples = (100 - LogRatio) x 61.4375 rounded half to even, at most
    // kMaxSampleRecords; min/max records fill what the samples leave. LogRatio is
    // kept to 0 .. 100 (0 when the block is too short to hold it).
    int SampleCapacity(int station = 0) const;
    int MinMaxCapacity(int station = 0) const;

    // Module debug flags: reported in module-information data byte 12 and set by
    // SET 0xCD (data byte 7 the flags, byte 8 ignored). A new station reports kDebugFlags.
    quint8 DebugFlags(int station = 0) const;
    // Address allocation (SET 0x87, no data): acknowledged and counted; when a child
    // count was given with SetChildrenAfterAllocate, the station then has that many
    // children (its configuration is kept, groups added or removed as SetKorvel would;
    // -1 forgets the count).
    int AddressAllocations(int station = 0) const;
    void SetChildrenAfterAllocate(int children, int station = 0);

    // The transmitter test: PTT on (SET 0xC8 with two data bytes), PTT off (0xC9),
    // the FFSK transmit level (SET 0xCB, data byte 7; 1 to 31 accepted, anything else
    // NACKed) and the test tone (0xCC with two data bytes, acknowledged only while the
    // PTT is on; PTT off ends the tone).
    bool PttOn(int station = 0) const;
    bool ToneOn(int station = 0) const;
    // 0 until a level is set.
    int TxLevel(int station = 0) const;
    // The data bytes of the last accepted SET 0xC8 / 0xCC, empty before.
    QByteArray PttData(int station = 0) const;
    QByteArray ToneData(int station = 0) const;

    // The protocol switch (SET 0xD4 with three data bytes): acknowledged; the data
    // bytes of the last one, empty before.
    //
    // Each of these SETs without the data bytes it needs is NACKed; bytes beyond them
    // are ignored, but kept in the data recorded above.
    QByteArray ProtocolSwitch(int station = 0) const;

    // Events: every `seconds` (0 = off, the default) the module sends one event frame,
    // in turn from itself and from each remote station: a contact input change of a
    // fitted input (class 1), then an analog set-point crossing (class 4) with two
    // records. The station's own InputBits follow the contact events it sends. Each
    // station takes the two kinds in turn, and its fitted inputs and analog channels
    // one after the other; an analog record carries the channel's AnalogCode as its
    // value (0.02 V per count) and the four crossing states come round in turn.
    void SetEventInterval(int seconds);
    // An event is owed its acknowledgement (a frame of type ACK to the event's station)
    // until one comes; with a repeat period, every owed event is sent again each period,
    // as a module does with an event nobody acknowledged. 0 (the default) sends each once.
    void SetEventRepeatMs(int ms);
    // A busy module (0 = off, the default): events every 1 to 3 s, in turn from itself and
    // each remote station; every `nth` answer is replaced by the next event (the request
    // is taken, its answer lost, so the PC must send it again), and the answer after
    // that one is followed at once by an event, which reaches a radio link while the
    // radio rests after the answer.
    void SetBusy(int nth);
    // Events sent (repeats not counted), events acknowledged, and those still owed.
    int EventsSent() const { return m_eventsSent; }
    int EventsAcknowledged() const { return m_eventsAcknowledged; }
    int EventsOwed() const { return int(m_owedEvents.size()); }

    // The local module's flash and boot loader (see kCmdFlashUnlock). A flash command
    // (unlock, page halves, entering the boot loader) to a remote station is NACKed.
    //
    // In the application the module answers as ever, but for: SET kCmdEnterBootLoader
    // (acknowledged, counted, then the boot loader runs, locked); unlock and page-half
    // SETs NACKed; page-half GETs and the unlock GET answered. In the boot loader
    // (entered again by kCmdEnterBootLoader, locked again and counted):
    //  - GET 0x00 answers [kBootLoaderIdentity, 0, boot-loader version, 0, 0, 0, 0];
    //  - SET kCmdFlashUnlock is acknowledged and unlocks, unless SetRefuseUnlock;
    //  - a page-half SET is acknowledged only when the flash is unlocked, L is
    //    kPageHalfLength and the address is a page start (kCmdFlashPageLow) or a page
    //    start + kFlashHalfBytes (kCmdFlashPageHigh) with the half inside the flash;
    //    it stores the bytes as sent (a low half erases the whole page to 0xFF
    //    first, so a page whose high half never follows has lost it), is recorded in
    //    PageWrites and leaves the application incomplete. Otherwise it is NACKed and
    //    stores nothing;
    //  - SET kCmdRestartProcesses is acknowledged, counted, and the application runs
    //    again, locked and complete;
    //  - every other GET and SET is NACKed, frames to remote stations get no answer
    //    (nothing passes them on), and neither events nor live changes happen.
    // A page-half GET (either mode) with L = 9 and an address as above answers
    // [the word address, high first, kFlashHalfBytes bytes] (L = kPageHalfLength)
    // and is recorded in PageReads; any other is NACKed. Reply data, SetNackCommand,
    // faults and wire pacing apply to these answers as to any.
    FlashMode Mode() const { return m_flashMode; }
    bool InBootLoader() const { return m_flashMode == FlashMode::BootLoader; }
    bool FlashUnlocked() const { return m_flashUnlocked; }
    // True in a new sim; false from the first accepted page write, true again when the
    // boot loader restarts into the application. PowerUp starts the boot loader while false.
    bool ApplicationComplete() const { return m_applicationComplete; }
    // Takes effect at the next start: SetApplicationComplete(false) and PowerUp are a
    // module whose load lost power part way.
    void SetApplicationComplete(bool complete) { m_applicationComplete = complete; }
    // Module-information data byte 9 in the boot loader (0x21 = 2.1).
    void SetBootLoaderVersion(quint8 version) { m_bootLoaderVersion = version; }
    // After acknowledging kCmdEnterBootLoader, and kCmdRestartProcesses in the boot
    // loader, the module hears nothing until `ms` after the acknowledgement has
    // left (wire pacing and reply delay included): frames then show in Received()
    // and frameReceived but are not acted on, count toward no GoSilentAfter and use
    // up no fault. 0 (the default): it hears the next frame.
    void SetModeSwitchMs(int ms);

    // All kFlashBytes bytes. A new sim holds an application in the first
    // kInitialApplicationBytes (a pattern of no one value, no page of 0xFF only),
    // MakeBoardPage(BoardInfo{}) at kBoardPageAddress and 0xFF elsewhere.
    QByteArray Flash() const { return m_flash; }
    // Bytes that fall outside the flash are left out.
    void SetFlash(int byteAddress, const QByteArray& bytes);
    // The kFlashPageBytes bytes at kBoardPageAddress.
    QByteArray BoardPage() const;
    // Byte addresses of the accepted page-half writes and of the answered page-half
    // reads (as asked, whatever SetPageReadAddressShift answers), in order, since
    // the start or ClearReceived.
    const QList<int>& PageWrites() const { return m_pageWrites; }
    const QList<int>& PageReads() const { return m_pageReads; }
    // Accepted kCmdEnterBootLoader SETs, and restarts from the boot loader into the
    // application; ClearReceived leaves both.
    int BootLoaderEntries() const { return m_bootLoaderEntries; }
    int BootLoaderRestarts() const { return m_bootLoaderRestarts; }

    // Power: after `n` more accepted page-half writes (the n-th still acknowledged)
    // the module loses power and hears nothing at all, as with GoSilentAfter(0): no
    // answers, no events, no live changes, a SET stores nothing, and neither
    // GoSilentAfter nor a fault counts. Answers on their way still arrive; SendRaw
    // and SendEvent still send. n <= 0 cancels a cut still to come.
    void CutPowerAfterPageWrites(int n);
    // The module starts, powered or not: in its boot loader while the application
    // is incomplete, otherwise in the application; locked, without a mode switch
    // still to wait out. Flash, configuration, logger and settings stay as they were.
    void PowerUp();
    bool Powered() const { return m_powered; }

    // Flash faults.
    // The unlock is acknowledged but the flash stays locked while set.
    void SetRefuseUnlock(bool refuse) { m_refuseUnlock = refuse; }
    // The next `times` page-half SETs to `byteAddress` (either command, either mode,
    // any length) get no answer at all and store nothing, as if lost on the way;
    // later ones are handled as usual. Negative: every one; 0 forgets the address.
    // They count toward GoSilentAfter as any frame; while silent none is used up.
    void LosePageWrite(int byteAddress, int times = -1);
    // Page-half reads are answered for the byte address asked + `bytes` instead: its
    // word address (rounded down) and its data, as a module that answers the wrong
    // page; NACKed when that half is not all inside the flash. 0 (the default) = off.
    void SetPageReadAddressShift(int bytes) { m_pageReadShift = bytes; }

    // The board information page as the loader writes it: offsets 0x00 .. 0xD7 a
    // fixed filler of no 0xFF; 0xD8 .. 0xDF the serial, 0xE0 .. 0xE1 the type,
    // 0xE2 .. 0xE3 the revision, each character as its code written in two decimal
    // digits in one byte ('1', code 49, as 0x49); 0xE4 .. 0xF6 lastLoad as plain
    // character codes; 0xF7 = 0; then flashCount, highestWord, fileCrc and the page's
    // Crc16 over offsets 0x00 .. 0xFD, each low byte first. Text fields are cut or
    // padded with spaces to their width; a code above 99 keeps its last two digits.
    struct BoardInfo {
        QByteArray serial = "10293847";
        QByteArray type = "A1";
        QByteArray revision = "03";
        QByteArray lastLoad = "03-Feb-25, 10:20:30";
        quint16 flashCount = 7;
        // The word address of the initial application's last byte.
        quint16 highestWord = (kInitialApplicationBytes - 1) / 2;
        quint16 fileCrc = 0x5A3C;
    };
    static QByteArray MakeBoardPage(const BoardInfo& info);
    // CRC-16/XMODEM: polynomial 0x1021, start 0, most significant bit first, no final XOR.
    static quint16 Crc16(const QByteArray& bytes);
    // True for a page of kFlashPageBytes whose last two bytes are the Crc16 of the rest.
    static bool BoardPageCrcGood(const QByteArray& page);

    // Frame bytes 7 .. L-1 of a stored block (index ignored for the blocks that
    // exist once); empty when there is none. SetBlockData stores the bytes as
    // given, any length, so a test can also make the module answer a malformed block.
    QByteArray BlockData(int code, int index, int station = 0) const;
    void SetBlockData(int code, int index, const QByteArray& data7ToLMinus1, int station = 0);
    // The references stay valid until the station is removed.
    const QHash<BlockKey, QByteArray>& Blocks(int station = 0) const;
    // Every block the PC wrote to the station and it accepted, in order.
    const QList<BlockKey>& BlockWrites(int station = 0) const;

    // Every complete frame received from the PC, in order, good or bad checksum.
    const QList<QByteArray>& Received() const { return m_received; }
    int ReceivedCount() const { return static_cast<int>(m_received.size()); }
    // Every byte received from the PC, as received (lets a test see noise,
    // dropped partial frames or doubled bytes the PC should not send).
    const QByteArray& ReceivedRaw() const { return m_receivedRaw; }
    // Every byte the module wrote to the PC, in order, as a serial line carries
    // them (before the TCP side doubles each 255).
    const QByteArray& SentRaw() const { return m_sentRaw; }
    // Forgets the received and sent frames and bytes, every station's block
    // writes, the channel polls and the page-half writes and reads.
    void ClearReceived();

    // True once the current (or last) TCP connection began with the full
    // kTcpStartText; false again on a new connection. Those bytes are taken
    // off the stream (they show in ReceivedRaw, never in Received); a
    // connection that begins with anything else is read as usual from its first byte.
    bool TcpStartTextReceived() const { return m_tcpStartTextReceived; }

    // Paces the answers as a serial line at `baud` (8N2) would: the answer to a
    // request completed at t is fully delivered at t + (request bytes + answer
    // bytes) x 11 / baud, later when the line is still busy with earlier
    // exchanges (line time adds up, answers keep their order). Added to any reply
    // delay; SendRaw and events take their line time too. 0 (the default) = off.
    void SetWireBaud(int baud);
    int WireBaud() const { return m_wireBaud; }

    bool ClientConnected() const;
    quint16 TcpPort() const;
    // The port name OpenPty returned; kept through ClosePtyMaster and ReopenPty.
    QString PtyPath() const { return m_ptyLine.Path(); }
    // The slave device the port name leads to now (/dev/pts/N); empty while the
    // module's side is closed.
    QString PtySlavePath() const { return m_ptyLine.SlavePath(); }

signals:
    // Emitted before the frame is answered: a slot may change the fault or the
    // reply data and it applies to this frame.
    void frameReceived(const QByteArray& frame);
    // Bytes the module writes to the in-process link, in order, each write as
    // one emission (a Split answer comes in two).
    void linkOutput(const QByteArray& bytes);
    // A TCP client has just taken the module's network side, the old one dropped
    // with whatever was still queued or delayed for it; its start text is still to come.
    void clientConnected();
    // A silence that SetSilenceMs bounds has ended.
    void answeringAgain();

private:
    // One byte stream to the PC, with its own receive assembly and its own
    // output queue.
    struct Port {
        struct Chunk {
            QByteArray bytes;
            qint64 notBeforeNs = 0;  // wire pacing: not written before this time on m_clock
            int delayMs = 0;         // then wait this long before writing the chunk
        };
        QByteArray partial;
        qint64 lastByteMs = 0;
        QList<Chunk> out;
        QTimer* outTimer = nullptr;
        quint32 generation = 0;  // bumped on (dis)connect: stale delayed answers are dropped
        enum class Via { Tcp, Pty, Link } via = Via::Pty;
        // TCP start text: still looking for it, and how much of it has come.
        bool expectStartText = false;
        int startTextMatched = 0;
        // Wire pacing: when the simulated line is next free, on m_clock.
        qint64 lineFreeNs = 0;
    };

    // Output numbers run to 127 and a Korvel takes up to 15 children: 16 groups.
    static constexpr int kStatusGroups = 16;
    enum class Kind { Inputs, Outputs, Analogs, Temps };

    // Everything one module (local or remote) holds for itself.
    struct Station {
        Target target = Target::Korvel;
        int children = 0;
        int boardMask = 0;
        quint8 identity = kIdentity;
        quint8 firmware = kKorvelFirmware;
        quint8 options = kOptions;
        quint8 moduleMode = kModuleMode;
        bool hasClock = true;
        QByteArray dateTime;
        bool processesStopped = false;
        QHash<BlockKey, QByteArray> blocks;
        QList<BlockKey> blockWrites;

        // Live status, indexed by group; more room than any station has groups, so
        // a group the station gains by an address allocation keeps its own values.
        std::array<quint8, kStatusGroups> inputBits {};
        std::array<quint8, kStatusGroups> outputBits {};
        std::array<std::array<int, 8>, kStatusGroups> analogCodes {};
        std::array<int, 8> tempReadings {};
        QList<quint8> outputSwitches;

        QByteArray taskBlock;
        int taskBlockWrites = 0;
        quint8 debugFlags = kDebugFlags;
        int addressAllocations = 0;
        int childrenAfterAllocate = -1;  // -1: an allocation leaves the child count alone
        bool pttOn = false;
        bool toneOn = false;
        int txLevel = 0;
        QByteArray pttData;
        QByteArray toneData;
        QByteArray protocolSwitch;

        // The data logger. Records as they travel, oldest first.
        std::deque<std::array<quint8, kSampleRecordBytes>> samples;
        std::deque<std::array<quint8, kMinMaxRecordBytes>> minMax;
        bool loggerRunning = false;
        quint16 nextSerial = 0;
        QByteArray loggerStart;
        std::array<int, kLoggerTimers> loggerTimers {};
        QByteArray loggerSettings;
        int loggerStarts = 0;
        int loggerStops = 0;
        int loggerTimerWrites = 0;
        int samplesBeyond = 0;
        int minMaxBeyond = 0;
        QByteArray lastLoggerTimerWrite;

        // The station's own event turn: a contact event, then an analog one.
        bool nextEventAnalog = false;
        int contactEvents = 0;
        int analogEvents = 0;
    };

    static Station NewStation();
    static void SetTarget(Station& s, Target target, int children, int boardMask);
    // Live status values as a station of its target starts with.
    static void SeedStatus(Station& s);
    static bool GroupExists(const Station& s, Kind kind, int group);
    // One second of a live site: every station's values move a step.
    void LiveStep();
    // The next event in turn, from the next station.
    void SendNextEvent();
    void SendContactEvent(int number, Station& s);
    void SendAnalogEvent(int number, Station& s);
    static QByteArray ModuleInfoOf(const Station& s);
    // Whether the local module runs its application now: powered, not in its boot
    // loader, not restarting. Events and live changes wait for it.
    bool ApplicationRunning() const;
    // The local module's flash and boot loader side of a SET or GET: nothing when the
    // application handles the command as any other, else ACK (true) or NACK.
    std::optional<bool> FlashSet(int command, const QByteArray& data, bool commit);
    std::optional<bool> FlashGet(int command, const QByteArray& params, bool commit, QByteArray* reply);
    // Whether a good frame for the local module is a page-half write LosePageWrite drops.
    bool TakeLostPageWrite(const QByteArray& frame);
    // Deaf for the mode switch from now, counted from when the answer has left `port`.
    void StartModeSwitch(Port& port);
    Station* Find(int station);
    const Station* Find(int station) const;
    // Find, with a warning when the station does not exist.
    Station* FindForSet(int station, const char* what);
    // The station that answers a frame, or nullptr when none does.
    Station* Responder(const QByteArray& frame);

    void OnNewConnection();
    void ResetPort(Port& port);
    bool PortOpen(const Port& port) const;

    void Feed(Port& port, QByteArray bytes);
    // Takes the TCP start text off the front of a new connection's bytes.
    void TakeStartText(Port& port, QByteArray& bytes);
    void HandleFrame(Port& port, const QByteArray& frame);
    // The answer of `station` to a good GET or SET frame, without checksum. A SET
    // changes the station only when `commit` holds.
    QByteArray Answer(Station& station, const QByteArray& frame, bool commit);
    // Data of the REPLY to a GET, or false for a NACK.
    static bool GetData(const Station& station, int command, const QByteArray& params, QByteArray* reply);
    // True to ACK, false to NACK.
    static bool ApplySet(Station& station, int command, const QByteArray& data, bool commit);
    Fault TakeFault();
    // Sends the answer to a request of `requestBytes` bytes, as the fault makes it.
    void Emit(Port& port, Fault fault, const QByteArray& answer, int requestBytes);
    // Line time of `bytes` more bytes on the port: when the line is free after
    // them (0 without pacing).
    qint64 Occupy(Port& port, qint64 bytes);
    void Enqueue(Port& port, QList<Port::Chunk> chunks);
    void Pump(Port& port);
    void WriteNow(Port& port, const QByteArray& bytes);

    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
    SimPty m_ptyLine;
    bool m_linkOpen = false;

    Port m_tcp;
    Port m_pty;
    Port m_link;
    QElapsedTimer m_clock;

    Fault m_fault = Fault::None;
    int m_faultCount = -1;
    int m_pauseMs = 1200;
    int m_replyDelayMs = 0;
    QHash<int, QByteArray> m_replyData;
    QByteArray m_backToBack;
    int m_nackCommand = -1;
    int m_nackTimes = -1;
    int m_silentAfter = -1;  // good frames still handled before silence; -1: never silent
    int m_silenceMs = 0;
    QTimer* m_silenceEnd = nullptr;
    // The count has just run out: the silence starts, and ends when SetSilenceMs says.
    void BeginSilence();

    std::map<int, Station> m_stations;  // 0: the local module
    bool m_stationRouting = false;
    int m_channelBusyPolls = 0;
    int m_channelPolls = 0;
    int m_wireBaud = 0;
    bool m_tcpStartTextReceived = false;

    // The local module's flash and boot loader.
    QByteArray m_flash;
    FlashMode m_flashMode = FlashMode::Application;
    bool m_flashUnlocked = false;
    bool m_applicationComplete = true;
    bool m_powered = true;
    quint8 m_bootLoaderVersion = kBootLoaderVersion;
    int m_modeSwitchMs = 0;
    // Set by an accepted switch until HandleFrame starts the deaf time after its answer.
    bool m_modeSwitchPending = false;
    qint64 m_deafUntilNs = 0;  // on m_clock
    int m_powerCutAfter = 0;   // accepted page writes still to come before the cut; 0: none
    bool m_refuseUnlock = false;
    QHash<int, int> m_lostPageWrites;  // byte address -> frames still to lose, -1: all
    int m_pageReadShift = 0;
    QList<int> m_pageWrites;
    QList<int> m_pageReads;
    int m_bootLoaderEntries = 0;
    int m_bootLoaderRestarts = 0;

    QTimer* m_liveTimer = nullptr;
    int m_liveTicks = 0;
    QTimer* m_eventTimer = nullptr;
    int m_busyNth = 0;
    int m_busyAnswers = 0;
    // Sends an answer, or an event in its place or behind it while the module is busy.
    void EmitAnswer(Port& port, Fault fault, const QByteArray& answer, int requestBytes);
    int m_eventTurn = 0;
    QTimer* m_eventRepeatTimer = nullptr;
    QMap<int, QByteArray> m_owedEvents;  // station -> its last unacknowledged event frame
    int m_eventsSent = 0;
    int m_eventsAcknowledged = 0;

    QList<QByteArray> m_received;
    QByteArray m_receivedRaw;
    QByteArray m_sentRaw;
};

}  // namespace korvel::sim

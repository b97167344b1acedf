#include "simmodule.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>
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

// Commands the module acts on besides the blocks.
constexpr int kCmdModuleInfo = 0x00;
constexpr int kCmdDateTime = 0x10;
constexpr int kCmdDeviceType = 0x7E;
constexpr int kCmdStopProcesses = 0x86;
constexpr int kCmdChildInfo = 0xF0;
// Live status; a SET of the output status command switches one output.
constexpr int kCmdInputStatus = 0x01;
constexpr int kCmdOutputStatus = 0x02;
constexpr int kCmdAnalogStatus = 0x08;
constexpr int kCmdTempStatus = 0x0D;
// Service commands of the diagnostics and the transmitter test.
constexpr int kCmdAddressAllocate = 0x87;
constexpr int kCmdPttOn = 0xC8;
constexpr int kCmdPttOff = 0xC9;
constexpr int kCmdTxLevel = 0xCB;
constexpr int kCmdTestTone = 0xCC;
constexpr int kCmdDebugFlags = 0xCD;
constexpr int kCmdSetProtocol = 0xD4;
constexpr int kCmdTaskBlock = 0x88;
constexpr int kTaskBlockData = 32 * 6 + 2;  // the records and two spare bytes
// The data logger.
constexpr int kCmdSampleCount = 0x11;
constexpr int kCmdSampleBlock = 0x12;
constexpr int kCmdMinMaxCount = 0x13;
constexpr int kCmdMinMaxBlock = 0x14;
constexpr int kCmdLoggerStart = 0x15;
constexpr int kCmdLoggerStop = 0x16;
constexpr int kCmdLoggerStartTime = 0x17;
constexpr int kCmdLoggerTimers = 0x18;
constexpr int kSamplesPerBlock = 40;
constexpr int kMinMaxPerBlock = 10;
constexpr int kLoggerTimerData = 3 * kLoggerTimers + kLoggerSettingBytes;
constexpr int kLoggerTimerMax = 0xFFFFFF;
constexpr int kLogChannels = 16;

constexpr int kEventContact = 1;
constexpr int kEventAnalog = 4;

constexpr int kLiveStepMs = 1000;
// Live values turn back after this many steps, so they wander but never drift off.
constexpr int kLiveSwing = 4;
constexpr int kAnalogStep = 3;
constexpr int kAnalogLiveMax = 1023;
constexpr int kAnalogCodeMax = 4095;
constexpr int kTempAbsent = 0x7FFF;
// A Pellar reports half degrees above -55.5 degrees Celsius.
constexpr int kPellarTempZero = 111;

// A new sim is a Korvel with this many children, so group loops run past group 0.
constexpr int kDefaultChildren = 2;

// Where a page-half frame's word address points, in bytes, or -1 when the frame has
// no address or the half it names is not one `command` takes.
int HalfAddress(int command, const QByteArray& data)
{
    if (data.size() < 2)
        return -1;
    const int address = 2 * (quint8(data[0]) << 8 | quint8(data[1]));
    const int offset = command == kCmdFlashPageLow ? 0 : kFlashHalfBytes;
    return address % kFlashPageBytes == offset && address + kFlashHalfBytes <= kFlashBytes ? address : -1;
}

bool IsPageHalf(int command)
{
    return command == kCmdFlashPageLow || command == kCmdFlashPageHigh;
}

// The application a new sim holds, the board page, and erased flash elsewhere. A
// multiplier prime to 256 runs each half page through distinct values, and the page
// number keeps the pages apart.
QByteArray InitialFlash()
{
    QByteArray flash(kFlashBytes, char(0xFF));
    for (int i = 0; i < kInitialApplicationBytes; ++i)
        flash[i] = char(i * 0x9D + (i >> 8));
    flash.replace(kBoardPageAddress, kFlashPageBytes, SimModule::MakeBoardPage({}));
    return flash;
}

// Answer or event without its checksum: [L, destination, source, route, id, type, command, data...].
QByteArray Body(quint8 destination, quint8 source, quint8 route, quint8 packetId, quint8 type, quint8 command,
                const QByteArray& data = {})
{
    QByteArray body;
    body.reserve(8 + data.size());
    body.append(char(7 + data.size()));
    body.append(char(destination));
    body.append(char(source));
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

// Temperature readings count half degrees Celsius: a Pellar as an offset code, a
// Korvel as 9-bit two's complement.
int TempCode(Target target, int halfDegrees)
{
    return target == Target::Pellar ? std::max(0, kPellarTempZero + halfDegrees) : halfDegrees & 0x1FF;
}

int TempHalfDegrees(Target target, int code)
{
    if (target == Target::Pellar)
        return code - kPellarTempZero;
    const int nine = code & 0x1FF;
    return nine > 256 ? nine - 512 : nine;
}

// The logger's share for min/max records, per cent, as the module reads its system block.
int LogRatio(const QHash<BlockKey, QByteArray>& blocks)
{
    const QByteArray system = blocks.value({kBlockSystem, 0});
    return system.size() > kLogRatioData ? std::min(100, int(quint8(system[kLogRatioData]))) : 0;
}

bool LogRollsOver(const QHash<BlockKey, QByteArray>& blocks)
{
    const QByteArray system = blocks.value({kBlockSystem, 0});
    return system.size() > kLogSystemData && (quint8(system[kLogSystemData]) & kLogRollover);
}

int SampleCapacityFor(const QHash<BlockKey, QByteArray>& blocks)
{
    // (100 - r) x 61.4375 = (100 - r) x 983 / 16, rounded half to even in whole numbers
    // so no floating-point tie can tip it.
    const int sixteenths = (100 - LogRatio(blocks)) * 983;
    int samples = sixteenths / 16;
    const int rest = sixteenths % 16;
    if (rest > 8 || (rest == 8 && samples % 2 == 1))
        ++samples;
    return std::min(samples, kMaxSampleRecords);
}

int MinMaxCapacityFor(const QHash<BlockKey, QByteArray>& blocks)
{
    return (kLoggerMemoryBytes - kSampleRecordBytes * SampleCapacityFor(blocks)) / kMinMaxRecordBytes;
}

// Room for one more record in a log of `capacity`: a rolling log drops its oldest ones
// (more than one when the capacity shrank under it), a full one that does not roll
// over has none.
template <typename Log>
bool MakeRoom(Log& log, int capacity, bool rollover)
{
    if (int(log.size()) < capacity)
        return true;
    if (!rollover || capacity <= 0)
        return false;
    while (int(log.size()) >= capacity)
        log.pop_front();
    return true;
}

// The start index, then at most `most` records from it on.
template <typename Log>
QByteArray LogBlock(const Log& log, int start, int most, int beyond)
{
    QByteArray out;
    out.append(char(start & 0xFF));
    out.append(char(start >> 8));
    // Records counted beyond the memory come round again from the oldest.
    const int counted = log.empty() ? 0 : int(log.size()) + beyond;
    for (int i = start; i < counted && i < start + most; ++i) {
        const auto& record = log[size_t(i) % log.size()];
        out.append(reinterpret_cast<const char*>(record.data()), int(record.size()));
    }
    return out;
}

template <typename Log>
QByteArray LogBytes(const Log& log)
{
    QByteArray out;
    for (const auto& record : log)
        out.append(reinterpret_cast<const char*>(record.data()), int(record.size()));
    return out;
}

QByteArray Count16(size_t count)
{
    QByteArray out;
    out.append(char(count & 0xFF));
    out.append(char((count >> 8) & 0xFF));
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

// ---- The stored configuration -------------------------------------------------

namespace {

bool IsBlockCode(int code)
{
    return BlockLength(code, 0) != 0 || BlockLength(code, 1) != 0;
}

bool SingleBlock(int code)
{
    return code == kBlockSystem || code == kBlockTemps || code == kBlockNmea;
}

// A well-mixed byte for each (code, index, position): varied, never a run of
// equal values, and the same on every run and platform.
quint8 Mix(int code, int index, int position)
{
    quint32 x = quint32(code) * 0x9E3779B1u ^ quint32(index + 1) * 0x85EBCA77u ^ quint32(position) * 0xC2B2AE3Du;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    x *= 0x297A2D39u;
    x ^= x >> 15;
    return quint8(x);
}

// Accessors by frame byte number, so the layouts below read like the block tables.
quint8 At(const QByteArray& data, int frameByte)
{
    return quint8(data[frameByte - 7]);
}

void Put(QByteArray& data, int frameByte, quint8 value)
{
    data[frameByte - 7] = char(value);
}

void Keep(QByteArray& data, int frameByte, quint8 bits)
{
    Put(data, frameByte, At(data, frameByte) & bits);
}

// A string field as the utility writes it: the text, a NUL, then zeros to the
// end of the field (the utility leaves that rest alone, so only zeros survive
// a read and a write).
void PutText(QByteArray& data, int frameByte, int width, const QByteArray& text)
{
    Q_ASSERT(text.size() < width);
    for (int i = 0; i < width; ++i)
        Put(data, frameByte + i, i < text.size() ? quint8(text[i]) : 0);
}

// Printable text without a trailing space (the utility strips those on a write).
// Characters that a configuration file might treat specially are left out, so
// the same configuration can go through a file unchanged.
QByteArray Text(int code, int index, int field, int length, bool leadingSpace)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -._/";
    constexpr int kCount = int(sizeof kChars) - 1;
    QByteArray text;
    for (int i = 0; i < length; ++i) {
        char c = kChars[Mix(code, index, 1000 + 64 * field + i) % kCount];
        if (i == 0 && leadingSpace)
            c = ' ';
        else if (i == length - 1 && c == ' ')
            c = 'z';
        text.append(c);
    }
    return text;
}

QByteArray Seeded(int code, int index)
{
    QByteArray data(BlockLength(code, index) - 7, 0);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(Mix(code, index, 7 + i));
    if (code != kBlockNmea)
        data[0] = char(index);
    return data;
}

void MakeAnalogCanonical(QByteArray& data, Target target)
{
    if (target == Target::Pellar)
        return;  // every byte of the Pellar layout travels
    for (int s = 0; s < 8; ++s) {
        Keep(data, 17 + 2 * s, 0x03);  // threshold bits 8-9 only
        Keep(data, 89 + 2 * s, 0x03);
        Keep(data, 160 + s, 0xF0);     // modifier bits; the qualifier does not travel
        Keep(data, 168 + s, 0xFC);     // offset code
    }
}

void MakeFleetSyncCanonical(QByteArray& data, int sub)
{
    if (sub == 0) {
        // 16-bit values the utility holds as signed: keep them positive.
        for (int hi = 13; hi <= 103; hi += 2)
            Keep(data, hi, 0x7F);
        Put(data, 104, 0);
        Put(data, 105, 0);
        return;
    }
    for (int k = 0; k < 8; ++k) {
        int length = 1 + Mix(kBlockFleetSync, sub, 900 + k) % 19;
        bool leadingSpace = false;
        if ((sub == 1 && k == 2) || (sub == 4 && k == 6))
            length = 0;
        else if ((sub == 2 && k == 0) || (sub == 4 && k == 7))
            length = 20;
        else if (sub == 2 && k == 4)
            leadingSpace = true, length = 9;
        else if (sub == 3 && k == 0)
            leadingSpace = true, length = 20;
        PutText(data, 8 + 21 * k, 21, Text(kBlockFleetSync, sub, k, length, leadingSpace));
    }
    Put(data, 176, 0);
    Put(data, 177, 0);
}

void MakeNmeaCanonical(QByteArray& data)
{
    // Both limits are reached: Init1 fills its 40 characters, Custom its 12, so
    // its NUL is the last data byte.
    PutText(data, 12, 41, Text(kBlockNmea, 0, 0, 40, false));
    PutText(data, 53, 41, Text(kBlockNmea, 0, 1, 23, true));
    PutText(data, 94, 13, Text(kBlockNmea, 0, 2, 12, false));
}

// A configuration a technician could have written: every local output on its own
// module's outputs (or none) and serial port 1 on the BINMP protocol, so the utility's
// check lets it go back to a module or into a file unchanged.
void MakeCheckable(QHash<BlockKey, QByteArray>& blocks)
{
    auto ownOutput = [](int group, int code, int position) {
        const int v = Mix(code, group, 5000 + position) % 9;  // 0 = none
        return quint8(v == 0 ? 0 : 8 * group + v);
    };
    for (int g = 0; g < 8; ++g) {
        for (int s = 0; s < 8; ++s) {
            Put(blocks[{kBlockInputs, g}], 32 + s, ownOutput(g, kBlockInputs, s));
            Put(blocks[{kBlockAnalogs, g}], 72 + s, ownOutput(g, kBlockAnalogs, s));
            Put(blocks[{kBlockAnalogs, g}], 144 + s, ownOutput(g, kBlockAnalogs, 8 + s));
        }
    }
    // Temperature inputs belong to the main module.
    for (int s = 0; s < 8; ++s) {
        Put(blocks[{kBlockTemps, 0}], 72 + s, ownOutput(0, kBlockTemps, s));
        Put(blocks[{kBlockTemps, 0}], 144 + s, ownOutput(0, kBlockTemps, 8 + s));
    }
    QByteArray& system = blocks[{kBlockSystem, 0}];
    // Ports as a module in service has them (frame byte 8 + element): serial port 1 at
    // 9600 BINMP, serial port 2 at 38400 BINMP over a modem, the FFSK port at 2400 with
    // three preamble bytes.
    const std::pair<int, quint8> ports[] = {
        {13, 0x02}, {14, 0x00}, {15, 2}, {16, 5}, {17, 3},   // serial port 1 (elements 5-9)
        {19, 0x06}, {20, 0x10}, {21, 1}, {22, 20}, {23, 2},  // serial port 2 (elements 11-15)
        {24, 0x80}, {25, 0x03}, {27, 30}, {28, 3},           // FFSK control bytes, retries
        {31, 2},    {32, 10},   {33, 16}, {50, 1},           // PTT start, CD delay, level, hang
    };
    for (const auto& [frameByte, value] : ports) Put(system, frameByte, value);
    // Station values the system dialog shows as they are: a slave on serial port 1 with
    // address 54, power save off, sleep periods of a minute.
    Put(system, 8, 54);
    Put(system, 9, 0x10);
    Put(system, 10, 10);
    Keep(system, 11, 0x41);
    Put(system, 26, 65);  // FFSK_Ccb3
    Put(system, 41, 65);  // SleepTime
    Put(system, 42, 10);  // SleepReturn
}

}  // namespace

int BlockLength(int code, int index)
{
    switch (code) {
    case kBlockSystem:
        return 71;
    case kBlockTemps:
        return 178;
    case kBlockNmea:
        return 107;
    case kBlockInputs:
        return index >= 0 && index < 8 ? 114 : 0;
    case kBlockOutputs:
        return index >= 0 && index < 8 ? 26 : 0;
    case kBlockAnalogs:
        return index >= 0 && index < 8 ? 178 : 0;
    case kBlockFleetSync:
        return index == 0 ? 106 : index >= 1 && index <= 4 ? 178 : 0;
    default:
        return 0;
    }
}

BlockKey NormalBlockKey(int code, int index)
{
    return {code, SingleBlock(code) ? 0 : index};
}

QHash<BlockKey, QByteArray> CanonicalConfig(Target target)
{
    QHash<BlockKey, QByteArray> blocks;
    for (int code : {kBlockSystem, kBlockTemps, kBlockNmea})
        blocks.insert({code, 0}, Seeded(code, 0));
    for (int g = 0; g < 8; ++g) {
        for (int code : {kBlockInputs, kBlockOutputs, kBlockAnalogs})
            blocks.insert({code, g}, Seeded(code, g));
        MakeAnalogCanonical(blocks[{kBlockAnalogs, g}], target);
        // A write to a Pellar clears the local output delays first.
        if (target == Target::Pellar) {
            for (int s = 0; s < 8; ++s)
                Put(blocks[{kBlockInputs, g}], 24 + s, 0);
        }
    }
    for (int sub = 0; sub <= 4; ++sub) {
        blocks.insert({kBlockFleetSync, sub}, Seeded(kBlockFleetSync, sub));
        MakeFleetSyncCanonical(blocks[{kBlockFleetSync, sub}], sub);
    }
    // Temperature thresholds are 10-bit pairs: bits 2-7 of each second byte do not travel.
    QByteArray& temps = blocks[{kBlockTemps, 0}];
    for (int s = 0; s < 8; ++s) {
        Keep(temps, 17 + 2 * s, 0x03);
        Keep(temps, 89 + 2 * s, 0x03);
    }
    MakeNmeaCanonical(blocks[{kBlockNmea, 0}]);
    MakeCheckable(blocks);
    return blocks;
}

QHash<BlockKey, QByteArray> FactoryConfig()
{
    QHash<BlockKey, QByteArray> blocks;
    // The layouts are the same for both targets, so either kind's keys will do.
    const QHash<BlockKey, QByteArray> canonical = CanonicalConfig(Target::Korvel);
    for (auto it = canonical.constBegin(); it != canonical.constEnd(); ++it) {
        QByteArray data(it.value().size(), 0);
        if (it.key().first != kBlockNmea)
            data[0] = char(it.key().second);
        blocks.insert(it.key(), data);
    }
    return blocks;
}

bool IsChannelBlock(int code)
{
    return code == kBlockInputs || code == kBlockOutputs || code == kBlockAnalogs || code == kBlockTemps;
}

SimModule::SimModule(QObject* parent) : QObject(parent), m_ptyLine(QStringLiteral("ttyKorvel"))
{
    m_clock.start();
    m_tcp.via = Port::Via::Tcp;
    m_link.via = Port::Via::Link;
    connect(&m_ptyLine, &SimPty::bytesRead, this, [this](const QByteArray& bytes) { Feed(m_pty, bytes); });
    for (Port* port : {&m_tcp, &m_pty, &m_link}) {
        port->outTimer = new QTimer(this);
        port->outTimer->setSingleShot(true);
        // Wire pacing needs the millisecond: a coarse timer may be 5 % late or early.
        port->outTimer->setTimerType(Qt::PreciseTimer);
        connect(port->outTimer, &QTimer::timeout, this, [this, port] { Pump(*port); });
    }
    m_stations.emplace(0, NewStation());
    m_flash = InitialFlash();

    m_liveTimer = new QTimer(this);
    m_liveTimer->setInterval(kLiveStepMs);
    connect(m_liveTimer, &QTimer::timeout, this, &SimModule::LiveStep);
    m_eventTimer = new QTimer(this);
    connect(m_eventTimer, &QTimer::timeout, this, &SimModule::SendNextEvent);
    m_silenceEnd = new QTimer(this);
    m_silenceEnd->setSingleShot(true);
    connect(m_silenceEnd, &QTimer::timeout, this, [this] {
        GoSilentAfter(-1);
        emit answeringAgain();
    });
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
        m_tcp.expectStartText = true;
        m_tcp.startTextMatched = 0;
        m_tcpStartTextReceived = false;
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
        emit clientConnected();
    }
}

void SimModule::DropClient()
{
    if (m_client) {
        QTcpSocket* old = m_client;
        // What the old connection brought before it went (an acknowledgement right before
        // a reconnect) is heard, as a module hears a frame its network side passed on.
        if (old->state() == QAbstractSocket::ConnectedState) old->waitForReadyRead(0);
        if (old->bytesAvailable() > 0) Feed(m_tcp, old->readAll());
        m_client = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    ResetPort(m_tcp);
}

// ---- Pseudo-terminals ----------------------------------------------------------

SimPty::SimPty(const QString& linkName, QObject* parent) : QObject(parent), m_linkName(linkName)
{
}

SimPty::~SimPty()
{
    Close();
}

QString SimPty::Open()
{
    Close();
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/korvel-sim-XXXXXX"));
    if (!dir->isValid()) {
        qWarning() << "korvel-sim: cannot make a directory for the pty link:" << dir->errorString();
        return {};
    }
    m_dir = std::move(dir);
    m_path = m_dir->filePath(m_linkName);
    if (!OpenPair() || !Link()) {
        Close();
        return {};
    }
    return m_path;
}

bool SimPty::Reopen()
{
    if (m_path.isEmpty()) {
        qWarning() << "korvel-sim: no pty to reopen";
        return false;
    }
    ClosePair();
    if (OpenPair() && Link())
        return true;
    CloseMaster();
    return false;
}

void SimPty::CloseMaster()
{
    ClosePair();
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

void SimPty::Close()
{
    ClosePair();
    m_dir.reset();  // takes the link with it
    m_path.clear();
}

bool SimPty::OpenPair()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        qWarning() << "korvel-sim: posix_openpt failed:" << strerror(errno);
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        qWarning() << "korvel-sim: cannot set up the pty:" << strerror(errno);
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio {};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        qWarning() << "korvel-sim: cannot open" << name << ":" << strerror(errno);
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    // Raw before the utility opens it, so a reader that does not set up the
    // line itself still sees bytes unchanged and nothing is echoed back.
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_read = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_read, &QSocketNotifier::activated, this, &SimPty::OnReadable);
    m_write = new QSocketNotifier(master, QSocketNotifier::Write, this);
    m_write->setEnabled(false);
    connect(m_write, &QSocketNotifier::activated, this, &SimPty::Flush);
    if (!m_rearm) {
        m_rearm = new QTimer(this);
        m_rearm->setSingleShot(true);
        connect(m_rearm, &QTimer::timeout, this, [this] {
            if (m_read)
                m_read->setEnabled(true);
        });
    }
    return true;
}

bool SimPty::Link()
{
    // symlink() will not replace a file: a new link renamed over the old one
    // swaps it in one step, so the port name never names nothing on the way.
    const QByteArray link = QFile::encodeName(m_path);
    const QByteArray staging = link + ".new";
    ::unlink(staging.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), staging.constData()) != 0
        || ::rename(staging.constData(), link.constData()) != 0) {
        qWarning() << "korvel-sim: cannot link" << m_path << "to" << m_slavePath << ":" << strerror(errno);
        ::unlink(staging.constData());
        return false;
    }
    return true;
}

void SimPty::ClosePair()
{
    delete m_read;
    m_read = nullptr;
    delete m_write;
    m_write = nullptr;
    if (m_rearm)
        m_rearm->stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_slavePath.clear();
    m_out.clear();
}

void SimPty::OnReadable()
{
    QByteArray bytes;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
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
        m_read->setEnabled(false);
        m_rearm->start(200);
        break;
    }
    if (!bytes.isEmpty())
        emit bytesRead(bytes);
}

void SimPty::Write(const QByteArray& bytes)
{
    if (m_master < 0)
        return;
    m_out.append(bytes);
    Flush();
}

void SimPty::Flush()
{
    while (!m_out.isEmpty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, m_out.constData(), m_out.size());
        if (n > 0) {
            m_out.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            // Nobody is reading the slave and its buffer is full.
            m_write->setEnabled(true);
            return;
        } else {
            m_out.clear();
        }
    }
    if (m_write)
        m_write->setEnabled(false);
}

// ---- The module's endpoints ----------------------------------------------------

QString SimModule::OpenPty()
{
    const QString path = m_ptyLine.Open();
    ResetPort(m_pty);
    return path;
}

bool SimModule::ReopenPty()
{
    const bool ok = m_ptyLine.Reopen();
    ResetPort(m_pty);
    return ok;
}

void SimModule::ClosePtyMaster()
{
    m_ptyLine.CloseMaster();
    ResetPort(m_pty);
}

void SimModule::OpenLink()
{
    if (!m_linkOpen)
        ResetPort(m_link);
    m_linkOpen = true;
}

void SimModule::CloseLink()
{
    m_linkOpen = false;
    ResetPort(m_link);
}

void SimModule::FeedLink(const QByteArray& bytes)
{
    if (!m_linkOpen) {
        qWarning() << "korvel-sim: bytes for the link ignored: it is not open";
        return;
    }
    Feed(m_link, bytes);
}

void SimModule::Close()
{
    if (m_server)
        m_server->close();
    DropClient();
    m_ptyLine.Close();
    ResetPort(m_pty);
}

bool SimModule::ClientConnected() const
{
    return m_client != nullptr || m_ptyLine.IsOpen();
}

bool SimModule::PortOpen(const Port& port) const
{
    switch (port.via) {
    case Port::Via::Tcp:
        return m_client != nullptr;
    case Port::Via::Pty:
        return m_ptyLine.IsOpen();
    case Port::Via::Link:
        return m_linkOpen;
    }
    return false;
}

void SimModule::ResetPort(Port& port)
{
    port.partial.clear();
    port.out.clear();
    port.outTimer->stop();
    port.expectStartText = false;
    port.startTextMatched = 0;
    port.lineFreeNs = 0;
    ++port.generation;
}

void SimModule::SetFault(Fault f, int count)
{
    m_fault = count == 0 ? Fault::None : f;
    m_faultCount = count < 0 ? -1 : count;
}

void SimModule::GoSilentAfter(int frames)
{
    m_silentAfter = frames < 0 ? -1 : frames;
    m_silenceEnd->stop();
    if (m_silentAfter == 0)
        BeginSilence();
}

void SimModule::SetSilenceMs(int ms)
{
    m_silenceMs = qMax(0, ms);
    m_silenceEnd->stop();
    if (Silent())
        BeginSilence();
}

void SimModule::BeginSilence()
{
    if (m_silenceMs > 0)
        m_silenceEnd->start(m_silenceMs);
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

void SimModule::ClearReplyData(int command)
{
    m_replyData.remove(command & 0xFF);
}

void SimModule::SetNackCommand(int command, int times)
{
    m_nackCommand = command < 0 ? -1 : command & 0xFF;
    m_nackTimes = times;
}

// ---- Stations ----------------------------------------------------------------

SimModule::Station SimModule::NewStation()
{
    Station s;
    s.dateTime = QByteArray(reinterpret_cast<const char*>(kDefaultDateTime), 6);
    // Bytes 0, 2, 3 and 4 of each record carry a pattern; station and output are free.
    s.taskBlock = QByteArray(kTaskBlockData, '\0');
    for (int i = 0; i < 32 * 6; ++i)
        if (i % 6 != 1 && i % 6 != 5)
            s.taskBlock[i] = char(0x11 + 7 * i);
    s.loggerStart = QByteArray(reinterpret_cast<const char*>(kDefaultLoggerStart), 6);
    s.loggerSettings = QByteArray(kLoggerSettingBytes, '\0');
    for (int i = 0; i < kLoggerSettingBytes; ++i)
        s.loggerSettings[i] = char(0x31 + 5 * i);  // never 0 over the 25 bytes
    SetTarget(s, Target::Korvel, kDefaultChildren, 0);
    return s;
}

void SimModule::SetTarget(Station& s, Target target, int children, int boardMask)
{
    s.target = target;
    s.children = children;
    s.boardMask = boardMask;
    s.identity = kIdentity;
    s.firmware = target == Target::Pellar ? kPellarFirmware : kKorvelFirmware;
    s.options = kOptions;
    s.moduleMode = kModuleMode;
    s.blocks = CanonicalConfig(target);
    SeedStatus(s);
}

void SimModule::SeedStatus(Station& s)
{
    for (int g = 0; g < kStatusGroups; ++g) {
        // Odd multipliers keep the groups apart; neither pattern is all off or all on.
        s.inputBits[g] = quint8(0x5A + 0x4B * g);
        s.outputBits[g] = quint8(0x93 + 0x35 * g);
        for (int slot = 0; slot < 8; ++slot) {
            // 37 is prime to 128, so every channel gets its own code, 40 to 929:
            // room to move without reaching the ends.
            s.analogCodes[g][slot] = 40 + 7 * ((8 * g + slot) * 37 % 128);
        }
    }
    // 22.5 degrees, and -1.5 degrees so that a live step crosses zero.
    const int seeds[8] = {45, 40, 50, 30, 20, 10, 60, -3};
    for (int slot = 0; slot < 8; ++slot)
        s.tempReadings[slot] = kTempSensors & (1 << slot) ? TempCode(s.target, seeds[slot]) : kTempAbsent;
}

bool SimModule::GroupExists(const Station& s, Kind kind, int group)
{
    if (group < 0 || group >= kStatusGroups)
        return false;
    if (kind == Kind::Temps)
        return group == 0;
    if (s.target == Target::Korvel)
        return group <= s.children;
    if (group == 0)
        return true;
    switch (kind) {
    case Kind::Inputs:
        return group <= 4 && (s.boardMask & (1 << (group + 3)));
    case Kind::Analogs:
        return group <= 4 && (s.boardMask & (1 << (group - 1)));
    default:
        return false;  // a Pellar's outputs are all on its own board
    }
}

SimModule::Station* SimModule::Find(int station)
{
    const auto it = m_stations.find(station);
    return it == m_stations.end() ? nullptr : &it->second;
}

const SimModule::Station* SimModule::Find(int station) const
{
    const auto it = m_stations.find(station);
    return it == m_stations.end() ? nullptr : &it->second;
}

SimModule::Station* SimModule::FindForSet(int station, const char* what)
{
    Station* s = Find(station);
    if (!s)
        qWarning() << "korvel-sim:" << what << "for station" << station << "ignored: no such station";
    return s;
}

void SimModule::AddRemoteStation(int n)
{
    if (n < kFirstRemoteStation || n > kLastRemoteStation) {
        qWarning() << "korvel-sim: remote station" << n << "ignored: not in" << kFirstRemoteStation << ".."
                   << kLastRemoteStation;
        return;
    }
    m_stations[n] = NewStation();
    m_stationRouting = true;
}

void SimModule::RemoveRemoteStation(int n)
{
    if (n != 0)
        m_stations.erase(n);
}

bool SimModule::HasStation(int n) const
{
    return Find(n) != nullptr;
}

void SimModule::SetStationRouting(bool on)
{
    m_stationRouting = on;
}

SimModule::Station* SimModule::Responder(const QByteArray& frame)
{
    const quint8 destination = frame[1], route = frame[3], command = frame[6];
    // The poll asks the local module about its own radio channel.
    if (!m_stationRouting || destination == 0 || command == kCmdChannelClear)
        return Find(0);
    // A boot loader passes nothing on over the radio.
    if (m_flashMode == FlashMode::BootLoader)
        return nullptr;
    return route == kRadioRoute ? Find(destination) : nullptr;
}

void SimModule::SetKorvel(int children, int station)
{
    if (children < 0 || children > 15)
        qWarning() << "korvel-sim: child count" << children << "kept to 0 .. 15";
    if (Station* s = FindForSet(station, "SetKorvel"))
        SetTarget(*s, Target::Korvel, qBound(0, children, 15), 0);
}

void SimModule::SetPellar(int expansionBoardMask, int station)
{
    if (Station* s = FindForSet(station, "SetPellar"))
        SetTarget(*s, Target::Pellar, 0, expansionBoardMask & 0xFF);
}

Target SimModule::CurrentTarget(int station) const
{
    const Station* s = Find(station);
    return s ? s->target : Target::Korvel;
}

int SimModule::Children(int station) const
{
    const Station* s = Find(station);
    return s ? s->children : 0;
}

int SimModule::ExpansionBoardMask(int station) const
{
    const Station* s = Find(station);
    return s ? s->boardMask : 0;
}

void SimModule::SetIdentity(quint8 identity, quint8 firmwareVersion, int station)
{
    if (Station* s = FindForSet(station, "SetIdentity")) {
        s->identity = identity;
        s->firmware = firmwareVersion;
    }
}

void SimModule::SetOptions(quint8 lowNibble, int station)
{
    if (lowNibble > 0x0F)
        qWarning() << "korvel-sim: options" << lowNibble << "cut to the low nibble";
    if (Station* s = FindForSet(station, "SetOptions"))
        s->options = lowNibble & 0x0F;
}

void SimModule::SetModuleMode(quint8 modeByte, int station)
{
    if (Station* s = FindForSet(station, "SetModuleMode"))
        s->moduleMode = modeByte;
}

QByteArray SimModule::ModuleInfo(int station) const
{
    if (station == 0 && m_flashMode == FlashMode::BootLoader)
        return QByteArray(1, char(kBootLoaderIdentity)) + char(0) + char(m_bootLoaderVersion) + QByteArray(4, '\0');
    const Station* s = Find(station);
    return s ? ModuleInfoOf(*s) : QByteArray();
}

QByteArray SimModule::ModuleInfoOf(const Station& s)
{
    // A Pellar has no children, whatever was set before it became one.
    const int children = s.target == Target::Pellar ? 0 : s.children;
    QByteArray info;
    info.append(char(s.identity));
    info.append(char(s.firmware));
    info.append(char((children << 4) | (s.options & 0x0F)));
    info.append(char(s.moduleMode));
    info.append(char(s.boardMask));
    info.append(char(s.debugFlags));
    info.append(char(kTempSensors));
    return info;
}

void SimModule::SetChannelBusyPolls(int n)
{
    m_channelBusyPolls = n < 0 ? -1 : n;
}

void SimModule::SetHasClock(bool hasClock, int station)
{
    if (Station* s = FindForSet(station, "SetHasClock"))
        s->hasClock = hasClock;
}

QByteArray SimModule::DateTime(int station) const
{
    const Station* s = Find(station);
    return s ? s->dateTime : QByteArray();
}

bool SimModule::ProcessesStopped(int station) const
{
    const Station* s = Find(station);
    return s && s->processesStopped;
}

// ---- Live status, service commands and events -----------------------------------

namespace {

bool GroupInRange(int group, int groups)
{
    if (group >= 0 && group < groups)
        return true;
    qWarning() << "korvel-sim: group" << group << "ignored: not in 0 .." << groups - 1;
    return false;
}

bool SlotInRange(int slot)
{
    if (slot >= 0 && slot < 8)
        return true;
    qWarning() << "korvel-sim: slot" << slot << "ignored: not in 0 .. 7";
    return false;
}

}  // namespace

void SimModule::SetInputBits(int group, quint8 bits, int station)
{
    if (!GroupInRange(group, kStatusGroups))
        return;
    if (Station* s = FindForSet(station, "SetInputBits"))
        s->inputBits[group] = bits;
}

quint8 SimModule::InputBits(int group, int station) const
{
    const Station* s = Find(station);
    return s && group >= 0 && group < kStatusGroups ? s->inputBits[group] : 0;
}

void SimModule::SetOutputBits(int group, quint8 bits, int station)
{
    if (!GroupInRange(group, kStatusGroups))
        return;
    if (Station* s = FindForSet(station, "SetOutputBits"))
        s->outputBits[group] = bits;
}

quint8 SimModule::OutputBits(int group, int station) const
{
    const Station* s = Find(station);
    return s && group >= 0 && group < kStatusGroups ? s->outputBits[group] : 0;
}

void SimModule::SetAnalogCode(int group, int slot, int code, int station)
{
    if (!GroupInRange(group, kStatusGroups) || !SlotInRange(slot))
        return;
    if (code < 0 || code > kAnalogCodeMax)
        qWarning() << "korvel-sim: analog code" << code << "kept to 0 .." << kAnalogCodeMax;
    if (Station* s = FindForSet(station, "SetAnalogCode"))
        s->analogCodes[group][slot] = qBound(0, code, kAnalogCodeMax);
}

int SimModule::AnalogCode(int group, int slot, int station) const
{
    const Station* s = Find(station);
    return s && group >= 0 && group < kStatusGroups && slot >= 0 && slot < 8 ? s->analogCodes[group][slot] : 0;
}

void SimModule::SetTempReading(int slot, int raw16, int station)
{
    if (!SlotInRange(slot))
        return;
    if (Station* s = FindForSet(station, "SetTempReading"))
        s->tempReadings[slot] = raw16 & 0xFFFF;
}

int SimModule::TempReading(int slot, int station) const
{
    const Station* s = Find(station);
    return s && slot >= 0 && slot < 8 ? s->tempReadings[slot] : kTempAbsent;
}

const QList<quint8>& SimModule::OutputSwitches(int station) const
{
    static const QList<quint8> kNone;
    const Station* s = Find(station);
    return s ? s->outputSwitches : kNone;
}

void SimModule::SetLiveChanges(bool on)
{
    if (!on)
        m_liveTimer->stop();
    else if (!m_liveTimer->isActive())
        m_liveTimer->start();
}

void SimModule::LiveStep()
{
    if (!ApplicationRunning())
        return;
    // Up for kLiveSwing steps, down for as many: each value stays near its start.
    const int direction = (m_liveTicks / kLiveSwing) % 2 == 0 ? 1 : -1;
    const int toggle = m_liveTicks % 8;
    ++m_liveTicks;
    for (auto& [n, s] : m_stations) {
        for (int g = 0; g < kStatusGroups; ++g) {
            if (GroupExists(s, Kind::Inputs, g))
                s.inputBits[g] ^= quint8(1 << ((toggle + g) % 8));
            if (!GroupExists(s, Kind::Analogs, g))
                continue;
            for (int& code : s.analogCodes[g]) {
                int next = code + direction * kAnalogStep;
                if (next < 0 || next > kAnalogLiveMax)
                    next = code - direction * kAnalogStep;
                code = qBound(0, next, kAnalogCodeMax);
            }
        }
        for (int& reading : s.tempReadings) {
            if (reading != kTempAbsent)
                reading = TempCode(s.target, TempHalfDegrees(s.target, reading) + direction);
        }
    }
}

QByteArray SimModule::TaskBlock(int station) const
{
    const Station* s = Find(station);
    return s ? s->taskBlock : QByteArray();
}

void SimModule::SetTaskBlock(const QByteArray& data, int station)
{
    if (data.size() != kTaskBlockData)
        qWarning() << "korvel-sim: a task block holds" << kTaskBlockData << "bytes, not" << data.size();
    if (Station* s = FindForSet(station, "SetTaskBlock"))
        s->taskBlock = data.leftJustified(kTaskBlockData, '\0', true);
}

int SimModule::TaskBlockWrites(int station) const
{
    const Station* s = Find(station);
    return s ? s->taskBlockWrites : 0;
}

// ---- The data logger ------------------------------------------------------------

void SimModule::LogSamples(const QList<QPair<int, int>>& channelValues, int station)
{
    Station* s = FindForSet(station, "LogSamples");
    if (!s)
        return;
    const int capacity = SampleCapacityFor(s->blocks);
    const bool rollover = LogRollsOver(s->blocks);
    const quint16 serial = s->nextSerial++;
    for (const auto& [channel, value] : channelValues) {
        if (channel < 0 || channel >= kLogChannels || value < 0 || value > kAnalogCodeMax) {
            qWarning() << "korvel-sim: sample" << channel << value << "left out: want channel 0 .. 15, value 0 .."
                       << kAnalogCodeMax;
            continue;
        }
        if (!MakeRoom(s->samples, capacity, rollover))
            continue;
        s->samples.push_back({quint8(value & 0xFF), quint8(channel << 4 | value >> 8), quint8(serial & 0xFF),
                              quint8(serial >> 8)});
    }
}

void SimModule::LogMinMax(const QByteArray& record, int station)
{
    if (record.size() != kMinMaxRecordBytes) {
        qWarning() << "korvel-sim: a min/max record holds" << kMinMaxRecordBytes << "bytes, not" << record.size();
        return;
    }
    Station* s = FindForSet(station, "LogMinMax");
    if (!s || !MakeRoom(s->minMax, MinMaxCapacityFor(s->blocks), LogRollsOver(s->blocks)))
        return;
    std::array<quint8, kMinMaxRecordBytes> bytes;
    std::copy(record.begin(), record.end(), bytes.begin());
    s->minMax.push_back(bytes);
}

void SimModule::FillLogger(int instants, int channels, int minMaxRecords, int station)
{
    if (channels < 0 || channels > kLogChannels)
        qWarning() << "korvel-sim: logger channel count" << channels << "kept to 0 .." << kLogChannels;
    channels = qBound(0, channels, kLogChannels);
    if (!FindForSet(station, "FillLogger"))
        return;
    for (int t = 0; t < instants; ++t) {
        QList<QPair<int, int>> instant;
        for (int ch = 0; ch < channels; ++ch) {
            // A triangle wave of its own per channel, every channel on its own level;
            // now and then the two ends of the range, so a reader that drops bit 11
            // or sign-extends shows.
            const int phase = (t * (ch + 3)) % 128;
            int value = 100 + 350 * (ch % 8) + 16 * (phase < 64 ? phase : 128 - phase) + ch / 8;
            if (t % 50 == 49)
                value = ch % 2 ? 0 : kAnalogCodeMax;
            instant.append({ch, value});
        }
        LogSamples(instant, station);
    }
    for (int k = 0; k < minMaxRecords; ++k) {
        // Some values above 32767, so a reader that takes them as signed shows. The
        // time bytes: hour, minute, second, day and month, from 1 March on.
        const int low = 100 + (k * 173) % 1500;
        const int high = k % 7 == 6 ? 50000 + k % 10000 : low + 200 + (k * 91) % 1800;
        const int day = k / 16;
        QByteArray record;
        for (int byte : {(5 * k) % kLogChannels, low & 0xFF, low >> 8, high & 0xFF, high >> 8, (7 * k) % 24,
                         (13 * k) % 60, (29 * k) % 60, 1 + day % 28, 3 + day / 28 % 10, 24})
            record.append(char(byte));
        LogMinMax(record, station);
    }
}

QByteArray SimModule::SampleRecords(int station) const
{
    const Station* s = Find(station);
    return s ? LogBytes(s->samples) : QByteArray();
}

QByteArray SimModule::MinMaxRecords(int station) const
{
    const Station* s = Find(station);
    return s ? LogBytes(s->minMax) : QByteArray();
}

void SimModule::SetNextSampleSerial(quint16 serial, int station)
{
    if (Station* s = FindForSet(station, "SetNextSampleSerial"))
        s->nextSerial = serial;
}

QByteArray SimModule::LoggerStartTime(int station) const
{
    const Station* s = Find(station);
    return s ? s->loggerStart : QByteArray();
}

void SimModule::SetLoggerStartTime(const QByteArray& sixBytes, int station)
{
    if (sixBytes.size() != 6) {
        qWarning() << "korvel-sim: a logger start time holds 6 bytes, not" << sixBytes.size();
        return;
    }
    if (Station* s = FindForSet(station, "SetLoggerStartTime"))
        s->loggerStart = sixBytes;
}

bool SimModule::LoggerRunning(int station) const
{
    const Station* s = Find(station);
    return s && s->loggerRunning;
}

void SimModule::SetLoggerRunning(bool on, int station)
{
    if (Station* s = FindForSet(station, "SetLoggerRunning"))
        s->loggerRunning = on;
}

int SimModule::LoggerStarts(int station) const
{
    const Station* s = Find(station);
    return s ? s->loggerStarts : 0;
}

int SimModule::LoggerStops(int station) const
{
    const Station* s = Find(station);
    return s ? s->loggerStops : 0;
}

QList<int> SimModule::LoggerTimers(int station) const
{
    const Station* s = Find(station);
    return s ? QList<int>(s->loggerTimers.begin(), s->loggerTimers.end()) : QList<int>(kLoggerTimers, 0);
}

void SimModule::SetLoggerTimer(int k, int seconds, int station)
{
    if (k < 0 || k >= kLoggerTimers) {
        qWarning() << "korvel-sim: logger timer" << k << "ignored: not in 0 .." << kLoggerTimers - 1;
        return;
    }
    if (seconds < 0 || seconds > kLoggerTimerMax)
        qWarning() << "korvel-sim: logger timer value" << seconds << "kept to 0 .." << kLoggerTimerMax;
    if (Station* s = FindForSet(station, "SetLoggerTimer"))
        s->loggerTimers[k] = qBound(0, seconds, kLoggerTimerMax);
}

QByteArray SimModule::LoggerSettingBytes(int station) const
{
    const Station* s = Find(station);
    return s ? s->loggerSettings : QByteArray();
}

void SimModule::SetLogCountsBeyondMemory(int samples, int minMax, int station)
{
    if (Station* s = FindForSet(station, "SetLogCountsBeyondMemory")) {
        s->samplesBeyond = qMax(0, samples);
        s->minMaxBeyond = qMax(0, minMax);
    }
}

int SimModule::LoggerTimerWrites(int station) const
{
    const Station* s = Find(station);
    return s ? s->loggerTimerWrites : 0;
}

QByteArray SimModule::LastLoggerTimerWrite(int station) const
{
    const Station* s = Find(station);
    return s ? s->lastLoggerTimerWrite : QByteArray();
}

int SimModule::SampleCapacity(int station) const
{
    const Station* s = Find(station);
    return s ? SampleCapacityFor(s->blocks) : 0;
}

int SimModule::MinMaxCapacity(int station) const
{
    const Station* s = Find(station);
    return s ? MinMaxCapacityFor(s->blocks) : 0;
}

quint8 SimModule::DebugFlags(int station) const
{
    const Station* s = Find(station);
    return s ? s->debugFlags : kDebugFlags;
}

int SimModule::AddressAllocations(int station) const
{
    const Station* s = Find(station);
    return s ? s->addressAllocations : 0;
}

void SimModule::SetChildrenAfterAllocate(int children, int station)
{
    if (children > 15)
        qWarning() << "korvel-sim: child count" << children << "kept to 15";
    if (Station* s = FindForSet(station, "SetChildrenAfterAllocate"))
        s->childrenAfterAllocate = children < 0 ? -1 : std::min(children, 15);
}

bool SimModule::PttOn(int station) const
{
    const Station* s = Find(station);
    return s && s->pttOn;
}

bool SimModule::ToneOn(int station) const
{
    const Station* s = Find(station);
    return s && s->toneOn;
}

int SimModule::TxLevel(int station) const
{
    const Station* s = Find(station);
    return s ? s->txLevel : 0;
}

QByteArray SimModule::PttData(int station) const
{
    const Station* s = Find(station);
    return s ? s->pttData : QByteArray();
}

QByteArray SimModule::ToneData(int station) const
{
    const Station* s = Find(station);
    return s ? s->toneData : QByteArray();
}

QByteArray SimModule::ProtocolSwitch(int station) const
{
    const Station* s = Find(station);
    return s ? s->protocolSwitch : QByteArray();
}

void SimModule::SetEventInterval(int seconds)
{
    if (seconds <= 0) {
        m_eventTimer->stop();
        return;
    }
    constexpr int kLongest = std::numeric_limits<int>::max() / 1000;
    if (seconds > kLongest)
        qWarning() << "korvel-sim: event interval" << seconds << "kept to" << kLongest << "seconds";
    m_eventTimer->start(std::min(seconds, kLongest) * 1000);
}

void SimModule::SetBusy(int nth)
{
    m_busyNth = std::max(0, nth);
    m_busyAnswers = 0;
    if (m_busyNth > 0)
        m_eventTimer->start(1000);
    else
        m_eventTimer->stop();
}

void SimModule::EmitAnswer(Port& port, Fault fault, const QByteArray& answer, int requestBytes)
{
    if (m_busyNth == 0 || fault != Fault::None) {
        Emit(port, fault, answer, requestBytes);
        return;
    }
    const int n = ++m_busyAnswers % m_busyNth;
    if (n == 0) {
        Occupy(port, requestBytes);
        SendNextEvent();
        return;
    }
    Emit(port, fault, answer, requestBytes);
    if (n == 1 && m_busyAnswers > 1)
        SendNextEvent();
}

void SimModule::SendNextEvent()
{
    if (!ApplicationRunning())
        return;
    // A busy module's events come 1, 3 and 2 s apart, round and round.
    if (m_busyNth > 0)
        m_eventTimer->setInterval(1000 * (1 + (2 * m_eventTurn + 2) % 3));
    // The local module first, then each remote station, round and round.
    auto it = m_stations.begin();
    std::advance(it, m_eventTurn % int(m_stations.size()));
    ++m_eventTurn;
    Station& s = it->second;
    if (s.nextEventAnalog)
        SendAnalogEvent(it->first, s);
    else
        SendContactEvent(it->first, s);
    s.nextEventAnalog = !s.nextEventAnalog;
}

namespace {

// Channels counted from 0 across groups, as the event records number them: groups
// 0 to 7 only, so the number fits the record's six bits.
template <typename Exists>
QList<int> Channels(Exists exists)
{
    QList<int> channels;
    for (int g = 0; g < 8; ++g) {
        if (exists(g)) {
            for (int slot = 0; slot < 8; ++slot)
                channels.append(8 * g + slot);
        }
    }
    return channels;
}

}  // namespace

void SimModule::SendContactEvent(int number, Station& s)
{
    const QList<int> inputs = Channels([&](int g) { return GroupExists(s, Kind::Inputs, g); });
    const int input = inputs[s.contactEvents++ % inputs.size()];
    quint8& bits = s.inputBits[input / 8];
    bits ^= quint8(1 << (input % 8));
    const bool on = bits & (1 << (input % 8));
    SendEvent(number, kEventContact, QByteArray(1, char(input | (on ? 0x80 : 0))));
}

void SimModule::SendAnalogEvent(int number, Station& s)
{
    const QList<int> channels = Channels([&](int g) { return GroupExists(s, Kind::Analogs, g); });
    QByteArray records;
    for (int j = 0; j < 2; ++j) {
        const int turn = 2 * s.analogEvents + j;
        const int channel = channels[turn % channels.size()];
        const int value = s.analogCodes[channel / 8][channel % 8];
        records.append(char(channel | (turn % 4) << 6));
        records.append(char(value & 0xFF));
        records.append(char(value >> 8));
    }
    ++s.analogEvents;
    SendEvent(number, kEventAnalog, records);
}

QByteArray SimModule::BlockData(int code, int index, int station) const
{
    const Station* s = Find(station);
    return s ? s->blocks.value(NormalBlockKey(code, index)) : QByteArray();
}

void SimModule::SetBlockData(int code, int index, const QByteArray& data7ToLMinus1, int station)
{
    if (Station* s = FindForSet(station, "SetBlockData"))
        s->blocks.insert(NormalBlockKey(code, index), data7ToLMinus1.left(kMaxData));
}

const QHash<BlockKey, QByteArray>& SimModule::Blocks(int station) const
{
    static const QHash<BlockKey, QByteArray> kNone;
    const Station* s = Find(station);
    return s ? s->blocks : kNone;
}

const QList<BlockKey>& SimModule::BlockWrites(int station) const
{
    static const QList<BlockKey> kNone;
    const Station* s = Find(station);
    return s ? s->blockWrites : kNone;
}

// ---- Program flash and boot loader ---------------------------------------------

bool SimModule::ApplicationRunning() const
{
    return m_powered && m_flashMode == FlashMode::Application && m_clock.nsecsElapsed() >= m_deafUntilNs;
}

void SimModule::SetModeSwitchMs(int ms)
{
    m_modeSwitchMs = qMax(0, ms);
}

void SimModule::SetFlash(int byteAddress, const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qint64 at = qint64(byteAddress) + i;
        if (at >= 0 && at < kFlashBytes)
            m_flash[at] = bytes[i];
    }
}

QByteArray SimModule::BoardPage() const
{
    return m_flash.mid(kBoardPageAddress, kFlashPageBytes);
}

void SimModule::CutPowerAfterPageWrites(int n)
{
    m_powerCutAfter = qMax(0, n);
}

void SimModule::PowerUp()
{
    m_powered = true;
    m_flashMode = m_applicationComplete ? FlashMode::Application : FlashMode::BootLoader;
    m_flashUnlocked = false;
    m_modeSwitchPending = false;
    m_deafUntilNs = 0;
}

void SimModule::LosePageWrite(int byteAddress, int times)
{
    if (times == 0)
        m_lostPageWrites.remove(byteAddress);
    else
        m_lostPageWrites.insert(byteAddress, times < 0 ? -1 : times);
}

bool SimModule::TakeLostPageWrite(const QByteArray& frame)
{
    const int command = quint8(frame[6]);
    if (frame[5] != char(kPktSet) || !IsPageHalf(command) || frame.size() < 10)
        return false;
    const int address = 2 * (quint8(frame[7]) << 8 | quint8(frame[8]));
    const auto it = m_lostPageWrites.find(address);
    if (it == m_lostPageWrites.end())
        return false;
    if (*it > 0 && --*it == 0)
        m_lostPageWrites.erase(it);
    return true;
}

void SimModule::StartModeSwitch(Port& port)
{
    // Paced, the answer is on the line until the line is free again.
    const qint64 answered = std::max(m_clock.nsecsElapsed(), m_wireBaud > 0 ? port.lineFreeNs : 0);
    m_deafUntilNs = answered + qint64(m_modeSwitchMs) * 1'000'000;
}

std::optional<bool> SimModule::FlashSet(int command, const QByteArray& data, bool commit)
{
    if (command == kCmdEnterBootLoader) {
        if (commit) {
            m_flashMode = FlashMode::BootLoader;
            m_flashUnlocked = false;
            ++m_bootLoaderEntries;
            m_modeSwitchPending = true;
        }
        return true;
    }
    const bool inBootLoader = m_flashMode == FlashMode::BootLoader;
    if (command == kCmdFlashUnlock) {
        if (commit && inBootLoader && !m_refuseUnlock)
            m_flashUnlocked = true;
        return inBootLoader;
    }
    if (IsPageHalf(command)) {
        const int address = HalfAddress(command, data);
        if (!inBootLoader || !m_flashUnlocked || data.size() != 2 + kFlashHalfBytes || address < 0)
            return false;
        if (commit) {
            // As a real flash: the page is erased whole before its first half goes in.
            if (command == kCmdFlashPageLow)
                m_flash.replace(address, kFlashPageBytes, QByteArray(kFlashPageBytes, char(0xFF)));
            m_flash.replace(address, kFlashHalfBytes, data.mid(2));
            m_pageWrites.append(address);
            m_applicationComplete = false;
            if (m_powerCutAfter > 0 && --m_powerCutAfter == 0)
                m_powered = false;  // after this answer, which is on its way already
        }
        return true;
    }
    if (!inBootLoader)
        return std::nullopt;
    if (command == kCmdRestartProcesses) {
        if (commit) {
            m_flashMode = FlashMode::Application;
            m_flashUnlocked = false;
            m_applicationComplete = true;
            ++m_bootLoaderRestarts;
            m_modeSwitchPending = true;
        }
        return true;
    }
    return false;
}

std::optional<bool> SimModule::FlashGet(int command, const QByteArray& params, bool commit, QByteArray* reply)
{
    if (command == kCmdFlashUnlock) {
        *reply = QByteArray(1, char(m_flashUnlocked ? 1 : 0));
        return true;
    }
    if (IsPageHalf(command)) {
        const int asked = HalfAddress(command, params);
        if (params.size() != 2 || asked < 0)
            return false;
        const qint64 answered = qint64(asked) + m_pageReadShift;
        if (answered < 0 || answered + kFlashHalfBytes > kFlashBytes)
            return false;
        const int word = int(answered / 2);
        *reply = QByteArray(1, char(word >> 8)) + char(word & 0xFF) + m_flash.mid(answered, kFlashHalfBytes);
        if (commit)
            m_pageReads.append(asked);
        return true;
    }
    if (m_flashMode == FlashMode::Application)
        return std::nullopt;
    if (command != kCmdModuleInfo)
        return false;
    *reply = ModuleInfo(0);
    return true;
}

QByteArray SimModule::MakeBoardPage(const BoardInfo& info)
{
    QByteArray page(kFlashPageBytes, '\0');
    for (int i = 0; i < 0xD8; ++i)
        page[i] = char((i * 7 + 3) & 0x7F);
    auto text = [&](int at, int width, const QByteArray& value, bool decimal) {
        const QByteArray field = value.left(width).leftJustified(width, ' ');
        for (int i = 0; i < width; ++i) {
            const int code = quint8(field[i]);
            page[at + i] = char(decimal ? (code / 10 % 10) << 4 | code % 10 : code);
        }
    };
    auto number = [&](int at, quint16 value) {
        page[at] = char(value & 0xFF);
        page[at + 1] = char(value >> 8);
    };
    text(0xD8, 8, info.serial, true);
    text(0xE0, 2, info.type, true);
    text(0xE2, 2, info.revision, true);
    text(0xE4, 19, info.lastLoad, false);
    page[0xF7] = 0;
    number(0xF8, info.flashCount);
    number(0xFA, info.highestWord);
    number(0xFC, info.fileCrc);
    number(0xFE, Crc16(page.left(0xFE)));
    return page;
}

quint16 SimModule::Crc16(const QByteArray& bytes)
{
    quint16 crc = 0;
    for (char c : bytes) {
        crc ^= quint16(quint8(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x8000 ? quint16(crc << 1) ^ 0x1021 : quint16(crc << 1);
    }
    return crc;
}

bool SimModule::BoardPageCrcGood(const QByteArray& page)
{
    return page.size() == kFlashPageBytes
        && Crc16(page.left(0xFE)) == (quint8(page[0xFE]) | quint8(page[0xFF]) << 8);
}

// ---- Faults, pacing and the wire -----------------------------------------------

void SimModule::SetReplyDelayMs(int ms)
{
    m_replyDelayMs = qMax(0, ms);
}

void SimModule::SetBackToBackFrame(const QByteArray& withoutChecksum)
{
    m_backToBack = withoutChecksum;
}

void SimModule::SetWireBaud(int baud)
{
    m_wireBaud = qMax(0, baud);
    m_tcp.lineFreeNs = m_pty.lineFreeNs = m_link.lineFreeNs = 0;
}

void SimModule::SendRaw(const QByteArray& bytes)
{
    for (Port* port : {&m_tcp, &m_pty, &m_link}) {
        if (PortOpen(*port))
            Enqueue(*port, {{bytes, Occupy(*port, bytes.size()), 0}});
    }
}

void SimModule::SendFrame(const QByteArray& withoutChecksum)
{
    const QByteArray frame = MakeFrame(withoutChecksum);
    if (frame.size() > 5 && quint8(frame[5]) == kPktEvent) {
        ++m_eventsSent;
        m_owedEvents[quint8(frame[2])] = frame;
    }
    SendRaw(frame);
}

void SimModule::SetEventRepeatMs(int ms)
{
    if (!m_eventRepeatTimer) {
        m_eventRepeatTimer = new QTimer(this);
        connect(m_eventRepeatTimer, &QTimer::timeout, this, [this] {
            for (const QByteArray& frame : std::as_const(m_owedEvents))
                SendRaw(frame);
        });
    }
    if (ms <= 0)
        m_eventRepeatTimer->stop();
    else
        m_eventRepeatTimer->start(ms);
}

void SimModule::SendEvent(int station, int eventClass, const QByteArray& data)
{
    SendFrame(Body(0, quint8(station), 0, 0, kPktEvent, quint8(eventClass), data.left(kMaxData)));
}

void SimModule::ClearReceived()
{
    m_received.clear();
    m_receivedRaw.clear();
    m_sentRaw.clear();
    for (auto& [n, station] : m_stations)
        station.blockWrites.clear();
    m_channelPolls = 0;
    m_pageWrites.clear();
    m_pageReads.clear();
}

void SimModule::Feed(Port& port, QByteArray bytes)
{
    const qint64 now = m_clock.elapsed();
    if (!port.partial.isEmpty() && now - port.lastByteMs > kInterByteGapMs)
        port.partial.clear();
    port.lastByteMs = now;
    m_receivedRaw.append(bytes);
    if (port.expectStartText)
        TakeStartText(port, bytes);

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

void SimModule::TakeStartText(Port& port, QByteArray& bytes)
{
    qsizetype used = 0;
    while (used < bytes.size() && port.startTextMatched < kTcpStartTextSize) {
        if (bytes[used] != kTcpStartText[port.startTextMatched]) {
            // Not the start text: whatever was held back is the start of the stream.
            port.expectStartText = false;
            bytes = QByteArray(kTcpStartText, port.startTextMatched) + bytes.mid(used);
            port.startTextMatched = 0;
            return;
        }
        ++port.startTextMatched;
        ++used;
    }
    bytes.remove(0, used);
    if (port.startTextMatched == kTcpStartTextSize) {
        port.expectStartText = false;
        port.startTextMatched = 0;
        m_tcpStartTextReceived = true;
    }
}

void SimModule::HandleFrame(Port& port, const QByteArray& frame)
{
    m_received.append(frame);
    emit frameReceived(frame);
    // Without power, or while restarting into its other program, the module hears nothing.
    if (!m_powered || m_clock.nsecsElapsed() < m_deafUntilNs) {
        Occupy(port, frame.size());
        return;
    }
    if (ChecksumGood(frame) && m_silentAfter >= 0) {
        if (m_silentAfter == 0) {
            Occupy(port, frame.size());  // unheard, but it still took its time on the line
            return;
        }
        if (--m_silentAfter == 0)
            BeginSilence();
    }
    if (ChecksumGood(frame) && frame.size() == 7 && quint8(frame[5]) == kPktAck &&
        m_owedEvents.remove(quint8(frame[1])) > 0)
        ++m_eventsAcknowledged;
    // The event acknowledgement (L = 6) has no command byte and gets no answer;
    // only GET and SET are answered, and only by a station that is there.
    Station* station = nullptr;
    if (ChecksumGood(frame) && frame.size() >= 8 && (frame[5] == char(kPktGet) || frame[5] == char(kPktSet)))
        station = Responder(frame);
    if (!station || (station == Find(0) && TakeLostPageWrite(frame))) {
        Occupy(port, frame.size());  // the request still took its time on the line
        return;
    }

    // The fault is taken now so answers consume it in the order requests came.
    // A refusal fault stands for a module that did not take the frame, so a SET
    // changes nothing; the other faults only spoil the answer on its way back.
    const Fault fault = TakeFault();
    const QByteArray answer = Answer(*station, frame, fault != Fault::Nack && fault != Fault::Resend);
    const int requestBytes = int(frame.size());
    // A switch of program starts once its acknowledgement has left; until then the
    // module is already on its way and hears nothing either.
    const bool modeSwitch = std::exchange(m_modeSwitchPending, false) && m_modeSwitchMs > 0;
    if (modeSwitch)
        m_deafUntilNs = std::numeric_limits<qint64>::max();
    if (m_replyDelayMs == 0) {
        EmitAnswer(port, fault, answer, requestBytes);
        if (modeSwitch)
            StartModeSwitch(port);
        return;
    }
    QTimer::singleShot(m_replyDelayMs, Qt::PreciseTimer, this,
                       [this, &port, generation = port.generation, fault, answer, requestBytes, modeSwitch] {
                           if (port.generation == generation)
                               EmitAnswer(port, fault, answer, requestBytes);
                           // Unless PowerUp started the module afresh meanwhile.
                           if (modeSwitch && m_deafUntilNs == std::numeric_limits<qint64>::max())
                               StartModeSwitch(port);
                       });
}

QByteArray SimModule::Answer(Station& station, const QByteArray& frame, bool commit)
{
    // Back to the requester: its source becomes the destination.
    const quint8 destination = frame[2], source = frame[1], route = frame[3], packetId = frame[4];
    const quint8 type = frame[5], command = frame[6];
    const QByteArray data = frame.mid(7, frame.size() - 8);
    auto answer = [&](quint8 answerType, const QByteArray& answerData = {}) {
        return Body(destination, source, route, packetId, answerType, command, answerData);
    };

    // A poll uses up its busy report even when the answer is refused or replaced, as
    // the channel's state moves on whether or not the PC hears about it.
    bool channelBusy = false;
    if (type == kPktGet && command == kCmdChannelClear) {
        ++m_channelPolls;
        channelBusy = m_channelBusyPolls != 0;
        if (m_channelBusyPolls > 0)
            --m_channelBusyPolls;
    }

    if (command == m_nackCommand && m_nackTimes != 0) {
        if (commit && m_nackTimes > 0 && --m_nackTimes == 0)
            m_nackCommand = -1;
        return answer(kPktNack);
    }
    const bool local = &station == Find(0);
    if (!local && (command == kCmdFlashUnlock || IsPageHalf(command) || command == kCmdEnterBootLoader))
        return answer(kPktNack);  // a remote station has no boot loader to enter
    if (type == kPktSet) {
        const std::optional<bool> flash = local ? FlashSet(command, data, commit) : std::nullopt;
        const bool ack = flash ? *flash : ApplySet(station, command, data, commit);
        return answer(ack ? kPktAck : kPktNack);
    }
    const auto custom = m_replyData.constFind(command);
    if (custom != m_replyData.constEnd())
        return answer(kPktReply, *custom);
    if (local) {
        QByteArray reply;
        if (const std::optional<bool> flash = FlashGet(command, data, commit, &reply))
            return *flash ? answer(kPktReply, reply) : answer(kPktNack);
    }
    if (command == kCmdChannelClear)
        return answer(kPktReply, QByteArray(1, char(channelBusy ? kChannelBusy : 0)));
    QByteArray reply;
    return GetData(station, command, data, &reply) ? answer(kPktReply, reply) : answer(kPktNack);
}

bool SimModule::GetData(const Station& station, int command, const QByteArray& params, QByteArray* reply)
{
    const int index = params.isEmpty() ? -1 : quint8(params[0]);
    if (IsBlockCode(command)) {
        // The NMEA block has no index byte: whatever the GET carries is ignored.
        if (command != kBlockNmea && index < 0)
            return false;
        const auto block = station.blocks.constFind(NormalBlockKey(command, index));
        if (block == station.blocks.constEnd())
            return false;
        *reply = *block;
        // The single blocks answer with the index the request asked for.
        if (command != kBlockNmea && !reply->isEmpty())
            (*reply)[0] = char(index);
        return true;
    }
    switch (command) {
    case kCmdModuleInfo:
        *reply = ModuleInfoOf(station);
        return true;
    case kCmdDeviceType:
        // Byte 8 = 0 marks a Pellar; the version parts follow in bytes 11 .. 14.
        // A Korvel carries other version bytes there, which the utility must ignore.
        if (station.target == Target::Pellar)
            *reply = QByteArray::fromHex("00001122") + QByteArray(reinterpret_cast<const char*>(kPellarVersion), 4);
        else
            *reply = QByteArray::fromHex("0001000005060708");
        return true;
    case kCmdChildInfo: {
        if (index < 1 || index > station.children)
            return false;
        // Each child different, and each field different from the main module's.
        reply->clear();
        reply->append(char(index));
        reply->append(char(kIdentity));
        reply->append(char(0x30 + index));
        reply->append(char(((index & 0xF) << 4) | (index % 2 ? 0x2 : 0x5)));
        reply->append(char(0x40 | (index % 4)));
        reply->append(char(0x10 + index));
        reply->append(char(index * 3));
        reply->append(char(0x80 | index));
        return true;
    }
    case kCmdDateTime:
        *reply = station.dateTime;
        return station.hasClock;
    case kCmdTaskBlock:
        *reply = station.taskBlock;
        return true;
    case kCmdSampleCount:
        *reply = Count16(station.samples.size() + size_t(station.samplesBeyond));
        return true;
    case kCmdMinMaxCount:
        *reply = Count16(station.minMax.size() + size_t(station.minMaxBeyond));
        return true;
    case kCmdSampleBlock:
    case kCmdMinMaxBlock: {
        if (params.size() < 2)
            return false;
        const int start = quint8(params[0]) | quint8(params[1]) << 8;
        *reply = command == kCmdSampleBlock ? LogBlock(station.samples, start, kSamplesPerBlock, station.samplesBeyond)
                                            : LogBlock(station.minMax, start, kMinMaxPerBlock, station.minMaxBeyond);
        return true;
    }
    case kCmdLoggerStart:
    case kCmdLoggerStop:
        *reply = QByteArray(1, char(station.loggerRunning ? 1 : 0));
        return true;
    case kCmdLoggerStartTime:
        *reply = station.loggerStart;
        return true;
    case kCmdLoggerTimers:
        reply->clear();
        for (int seconds : station.loggerTimers) {
            reply->append(char(seconds & 0xFF));
            reply->append(char((seconds >> 8) & 0xFF));
            reply->append(char((seconds >> 16) & 0xFF));
        }
        reply->append(station.loggerSettings);
        return true;
    case kCmdInputStatus:
    case kCmdOutputStatus:
    case kCmdAnalogStatus:
    case kCmdTempStatus: {
        if (index < 0)
            break;  // no group asked: the answer to a GET the module does not know
        const Kind kind = command == kCmdInputStatus ? Kind::Inputs
            : command == kCmdOutputStatus            ? Kind::Outputs
            : command == kCmdAnalogStatus            ? Kind::Analogs
                                                     : Kind::Temps;
        if (!GroupExists(station, kind, index))
            return false;
        reply->clear();
        reply->append(char(index));
        if (kind == Kind::Inputs || kind == Kind::Outputs) {
            reply->append(char(kind == Kind::Inputs ? station.inputBits[index] : station.outputBits[index]));
            return true;
        }
        for (int slot = 0; slot < 8; ++slot) {
            const int value = kind == Kind::Analogs ? station.analogCodes[index][slot] : station.tempReadings[slot];
            reply->append(char(value & 0xFF));
            // The module leaves the top bits of an analog reading set.
            reply->append(char(kind == Kind::Analogs ? ((value >> 8) & 0x0F) | 0xF0 : (value >> 8) & 0xFF));
        }
        return true;
    }
    default:
        break;
    }
    *reply = QByteArray(1, 0);
    return true;
}

bool SimModule::ApplySet(Station& station, int command, const QByteArray& data, bool commit)
{
    if (IsBlockCode(command)) {
        const int index = command == kBlockNmea || data.isEmpty() ? 0 : quint8(data[0]);
        if (data.size() + 7 != BlockLength(command, index))
            return false;
        if (commit) {
            const BlockKey key = NormalBlockKey(command, index);
            station.blocks.insert(key, data);
            station.blockWrites.append(key);
        }
        return true;
    }
    switch (command) {
    case kCmdDateTime:
        if (!station.hasClock || data.size() != 6)
            return false;
        if (commit)
            station.dateTime = data;
        return true;
    case kCmdStopProcesses:
    case kCmdRestartProcesses:
        if (commit)
            station.processesStopped = command == kCmdStopProcesses;
        return true;
    case kCmdResetNvrAll:
    case kCmdResetNvrIo:
        if (commit) {
            const QHash<BlockKey, QByteArray> factory = FactoryConfig();
            if (command == kCmdResetNvrAll) {
                station.blocks = factory;
            } else {
                for (auto it = factory.constBegin(); it != factory.constEnd(); ++it) {
                    if (IsChannelBlock(it.key().first))
                        station.blocks.insert(it.key(), it.value());
                }
            }
        }
        return true;
    case kCmdResetSystem:
        if (commit)
            station.processesStopped = false;
        return true;
    case kCmdOutputStatus: {
        if (data.isEmpty())
            return false;
        const quint8 byte = quint8(data[0]);
        const int number = byte & 0x7F, group = number / 8;
        if (!GroupExists(station, Kind::Outputs, group))
            return false;
        if (commit) {
            const quint8 bit = quint8(1 << (number % 8));
            station.outputBits[group] = byte & 0x80 ? station.outputBits[group] | bit : station.outputBits[group] & ~bit;
            station.outputSwitches.append(byte);
        }
        return true;
    }
    case kCmdTaskBlock:
        if (data.size() != kTaskBlockData)
            return false;
        if (commit) {
            station.taskBlock = data;
            ++station.taskBlockWrites;
        }
        return true;
    case kCmdLoggerStart:
        if (commit) {
            station.samples.clear();
            station.minMax.clear();
            station.loggerStart = station.dateTime;
            station.nextSerial = 0;
            station.loggerRunning = true;
            ++station.loggerStarts;
        }
        return true;
    case kCmdLoggerStop:
        if (commit) {
            station.loggerRunning = false;
            ++station.loggerStops;
        }
        return true;
    case kCmdLoggerTimers:
        if (data.size() != kLoggerTimerData)
            return false;
        if (commit) {
            for (int k = 0; k < kLoggerTimers; ++k) {
                const int at = 3 * k;
                station.loggerTimers[k] = quint8(data[at]) | quint8(data[at + 1]) << 8 | quint8(data[at + 2]) << 16;
            }
            station.loggerSettings = data.mid(3 * kLoggerTimers);
            station.lastLoggerTimerWrite = data;
            ++station.loggerTimerWrites;
        }
        return true;
    case kCmdDebugFlags:
        if (data.isEmpty())
            return false;
        if (commit)
            station.debugFlags = quint8(data[0]);
        return true;
    case kCmdAddressAllocate:
        if (commit) {
            ++station.addressAllocations;
            if (station.childrenAfterAllocate >= 0)
                station.children = station.childrenAfterAllocate;
        }
        return true;
    case kCmdPttOn:
        if (data.size() < 2)
            return false;
        if (commit) {
            station.pttOn = true;
            station.pttData = data;
        }
        return true;
    case kCmdPttOff:
        if (commit)
            station.pttOn = station.toneOn = false;
        return true;
    case kCmdTxLevel: {
        const int level = data.isEmpty() ? 0 : quint8(data[0]);
        if (level < 1 || level > 31)
            return false;
        if (commit)
            station.txLevel = level;
        return true;
    }
    case kCmdTestTone:
        // A tone needs a keyed transmitter.
        if (data.size() < 2 || !station.pttOn)
            return false;
        if (commit) {
            station.toneOn = true;
            station.toneData = data;
        }
        return true;
    case kCmdSetProtocol:
        if (data.size() < 3)
            return false;
        if (commit)
            station.protocolSwitch = data;
        return true;
    default:
        return true;
    }
}

Fault SimModule::TakeFault()
{
    const Fault f = m_fault;
    if (f != Fault::None && m_faultCount > 0 && --m_faultCount == 0)
        m_fault = Fault::None;
    return f;
}

void SimModule::Emit(Port& port, Fault fault, const QByteArray& answer, int requestBytes)
{
    const QByteArray frame = MakeFrame(answer);
    const qsizetype half = frame.size() / 2;
    auto refusal = [&](quint8 type) {
        QByteArray body = answer.left(7);
        body[0] = 7;
        body[5] = char(type);
        return MakeFrame(body);
    };

    QList<Port::Chunk> chunks;
    switch (fault) {
    case Fault::None:
        chunks = {{frame}};
        break;
    case Fault::Silent:
        break;
    case Fault::Nack:
        chunks = {{refusal(kPktNack)}};
        break;
    case Fault::Resend:
        chunks = {{refusal(kPktResend)}};
        break;
    case Fault::BadChecksum: {
        QByteArray bad = frame;
        bad[bad.size() - 1] = char(bad.back() ^ 0x55);
        chunks = {{bad}};
        break;
    }
    case Fault::Split:
        chunks = {{frame.left(half)}, {frame.mid(half), 0, kSplitGapMs}};
        break;
    case Fault::PauseMidFrame:
        chunks = {{frame.left(half)}, {frame.mid(half), 0, m_pauseMs}};
        break;
    case Fault::BackToBack: {
        const QByteArray extra = m_backToBack.isEmpty()
            ? MakeFrame(Body(quint8(answer[1]), quint8(answer[2]), quint8(answer[3]), quint8(answer[4]), kPktReply,
                             quint8(answer[6]), QByteArray(1, char(kBackToBackData))))
            : MakeFrame(m_backToBack);
        chunks = {{extra + frame}};
        break;
    }
    }

    // The whole answer is held until the request and the answer would both have
    // crossed the line; the fault's own gaps come on top.
    qint64 answerBytes = 0;
    for (const Port::Chunk& chunk : chunks)
        answerBytes += chunk.bytes.size();
    const qint64 deliveredNs = Occupy(port, requestBytes + answerBytes);
    if (!chunks.isEmpty()) {
        chunks.front().notBeforeNs = deliveredNs;
        Enqueue(port, chunks);
    }
}

qint64 SimModule::Occupy(Port& port, qint64 bytes)
{
    if (m_wireBaud <= 0)
        return 0;
    const qint64 lineNs = bytes * kBitsPerByte * 1'000'000'000LL / m_wireBaud;
    port.lineFreeNs = std::max(m_clock.nsecsElapsed(), port.lineFreeNs) + lineNs;
    return port.lineFreeNs;
}

// Output leaves in order: a chunk waiting out its delay holds back everything
// queued after it, as bytes do on a serial line.
void SimModule::Enqueue(Port& port, QList<Port::Chunk> chunks)
{
    port.out.append(std::move(chunks));
    if (!port.outTimer->isActive())
        Pump(port);
}

void SimModule::Pump(Port& port)
{
    while (!port.out.isEmpty()) {
        Port::Chunk& chunk = port.out.front();
        const qint64 earlyNs = chunk.notBeforeNs - m_clock.nsecsElapsed();
        if (earlyNs > 0) {
            // Rounded up: a chunk is never written before its time.
            port.outTimer->start(int((earlyNs + 999'999) / 1'000'000));
            return;
        }
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
    if (!PortOpen(port))
        return;
    m_sentRaw.append(bytes);
    switch (port.via) {
    case Port::Via::Tcp:
        m_client->write(DoubleFF(bytes));
        m_client->flush();
        break;
    case Port::Via::Pty:
        m_ptyLine.Write(bytes);
        break;
    case Port::Via::Link:
        emit linkOutput(bytes);
        break;
    }
}

}  // namespace korvel::sim

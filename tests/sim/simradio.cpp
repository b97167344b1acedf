#include "simradio.h"

#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace korvel::sim {

namespace {

// STX, kind, 3 fleet digits, 4 ID digits, ETX: a text frame without content.
constexpr int kRadioFrameOverhead = 10;
constexpr int kContentAt = 9;

bool IsUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

char KindFor(const QByteArray& frame)
{
    return !frame.isEmpty() && quint8(frame[0]) >= kRadioLongLength ? kRadioLongData : kRadioShortData;
}

}  // namespace

QByteArray RadioText(char kind, int fleet, int id, const QByteArray& content)
{
    QByteArray text;
    text.reserve(kRadioFrameOverhead + content.size());
    text.append(kRadioStx);
    text.append(kind);
    text.append(QByteArray::number(fleet).rightJustified(3, '0'));
    text.append(QByteArray::number(id).rightJustified(4, '0'));
    text.append(content);
    text.append(kRadioEtx);
    return text;
}

QByteArray RadioDataText(int fleet, int id, const QByteArray& frame)
{
    return RadioText(KindFor(frame), fleet, id, frame.toHex().toUpper());
}

QByteArray RadioReplyText(char code)
{
    return QByteArray() + kRadioStx + code + kRadioEtx;
}

SimRadio::SimRadio(SimModule* module, QObject* parent)
    : QObject(parent), m_module(module), m_pty(QStringLiteral("ttyRadio"))
{
    m_clock.start();
    m_heldTimer = new QTimer(this);
    m_heldTimer->setSingleShot(true);
    m_heldTimer->setTimerType(Qt::PreciseTimer);
    connect(m_heldTimer, &QTimer::timeout, this, &SimRadio::Pump);
    connect(&m_pty, &SimPty::bytesRead, this, &SimRadio::OnPcBytes);
    if (m_module) {
        connect(m_module, &SimModule::linkOutput, this, &SimRadio::OnModuleOutput);
        m_module->OpenLink();
    }
}

SimRadio::~SimRadio()
{
    if (m_module) {
        m_module->disconnect(this);
        m_module->CloseLink();
    }
    Close();
}

QString SimRadio::OpenPty()
{
    m_held.clear();
    m_heldTimer->stop();
    m_partial.clear();
    return m_pty.Open();
}

void SimRadio::Close()
{
    m_held.clear();
    m_heldTimer->stop();
    m_partial.clear();
    m_pty.Close();
}

void SimRadio::SetRemote(int fleet, int id)
{
    if (fleet < 0 || fleet > 999 || id < 0 || id > 9999) {
        qWarning() << "korvel-sim: radio address" << fleet << id << "ignored: fleet 0 .. 999, ID 0 .. 9999";
        return;
    }
    m_fleet = fleet;
    m_id = id;
}

void SimRadio::SetFault(RadioFault f, int count)
{
    m_fault = count == 0 ? RadioFault::None : f;
    m_faultCount = count < 0 ? -1 : count;
}

void SimRadio::SetAnswerDelayMs(int ms)
{
    m_answerDelayMs = qMax(0, ms);
}

void SimRadio::SendStatus(int fleet, int id, const QByteArray& status)
{
    Write(RadioText(kRadioStatus, fleet, id, status));
}

void SimRadio::SendData(const QByteArray& frame)
{
    SendData(m_fleet, m_id, frame);
}

void SimRadio::SendData(int fleet, int id, const QByteArray& frame)
{
    Write(RadioDataText(fleet, id, frame));
}

void SimRadio::SendRaw(const QByteArray& bytes)
{
    Write(bytes);
}

void SimRadio::ClearReceived()
{
    m_received.clear();
    m_receivedRaw.clear();
    m_sent.clear();
    m_sentRaw.clear();
}

void SimRadio::OnPcBytes(const QByteArray& bytes)
{
    m_receivedRaw.append(bytes);
    for (char c : bytes) {
        // Between frames only an STX means anything. An STX inside a frame means
        // the one before lost its end: it is dropped unanswered, as the radio
        // never saw a frame to answer.
        if (c == kRadioStx) {
            m_partial = QByteArray(1, c);
            continue;
        }
        if (m_partial.isEmpty())
            continue;
        m_partial.append(c);
        if (c == kRadioEtx) {
            QByteArray text;
            text.swap(m_partial);
            HandleText(text);
        } else if (m_partial.size() >= kRadioMaxText) {
            // Given up: the rest up to its ETX is skipped while hunting for the next STX.
            m_partial.clear();
            Reply(kRadioDataError);
        }
    }
}

void SimRadio::HandleText(const QByteArray& text)
{
    m_received.append(text);
    emit textReceived(text);
    QByteArray frame;
    int fleet = 0, id = 0;
    const bool good = Parse(text, &frame, &fleet, &id);
    // Replied to before the module hears of it, so the module's answer, even one
    // given at once, comes after the reply.
    if (Reply(good ? kRadioAck : kRadioDataError) && good && fleet == m_fleet && id == m_id && m_module
        && m_module->LinkOpen())
        m_module->FeedLink(frame);
}

bool SimRadio::Parse(const QByteArray& text, QByteArray* frame, int* fleet, int* id)
{
    if (text.size() < kRadioFrameOverhead + 2)
        return false;
    const char kind = text[1];
    if (kind != kRadioShortData && kind != kRadioLongData)
        return false;
    for (int i = 2; i < kContentAt; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    const QByteArray content = text.mid(kContentAt, text.size() - kRadioFrameOverhead);
    if (content.size() % 2 != 0 || !std::all_of(content.begin(), content.end(), IsUpperHex))
        return false;
    const QByteArray bytes = QByteArray::fromHex(content);
    // A module frame, whole, of the kind its length calls for. The checksum is
    // the module's business: a bad one is carried and the module ignores it.
    if (quint8(bytes[0]) == 0 || bytes.size() != quint8(bytes[0]) + 1 || KindFor(bytes) != kind)
        return false;
    *frame = bytes;
    *fleet = text.mid(2, 3).toInt();
    *id = text.mid(5, 4).toInt();
    return true;
}

RadioFault SimRadio::TakeFault()
{
    const RadioFault f = m_fault;
    if (f != RadioFault::None && m_faultCount > 0 && --m_faultCount == 0)
        m_fault = RadioFault::None;
    return f;
}

bool SimRadio::Reply(char own)
{
    switch (TakeFault()) {
    case RadioFault::None:
        Write(RadioReplyText(own));
        return own == kRadioAck;
    case RadioFault::Nack:
        Write(RadioReplyText(kRadioNack));
        break;
    case RadioFault::Busy:
        Write(RadioReplyText(kRadioBusy));
        break;
    case RadioFault::DataError:
        Write(RadioReplyText(kRadioDataError));
        break;
    case RadioFault::NoReply:
        break;
    }
    return false;
}

void SimRadio::OnModuleOutput(const QByteArray& bytes)
{
    // The remote radio sends each whole module frame as one message, however the
    // module's writes cut it (a split or paused answer arrives in one piece).
    // Bytes that cannot start a frame are skipped, as the module's receiver does.
    for (char c : bytes) {
        if (m_fromModule.isEmpty() && quint8(c) < kMinLength)
            continue;
        m_fromModule.append(c);
        if (m_fromModule.size() == quint8(m_fromModule[0]) + 1) {
            Hold(RadioDataText(m_fleet, m_id, m_fromModule));
            m_fromModule.clear();
        }
    }
}

void SimRadio::Hold(const QByteArray& text)
{
    if (m_answerDelayMs == 0 && m_held.isEmpty()) {
        Write(text);
        return;
    }
    m_held.append({text, m_clock.nsecsElapsed() + m_answerDelayMs * 1'000'000LL});
    if (!m_heldTimer->isActive())
        Pump();
}

void SimRadio::Pump()
{
    while (!m_held.isEmpty()) {
        const qint64 earlyNs = m_held.front().dueNs - m_clock.nsecsElapsed();
        if (earlyNs > 0) {
            // Rounded up: a message is never written before its time.
            m_heldTimer->start(int((earlyNs + 999'999) / 1'000'000));
            return;
        }
        Write(m_held.takeFirst().text);
    }
}

void SimRadio::Write(const QByteArray& bytes)
{
    if (!m_pty.IsOpen())
        return;
    m_sent.append(bytes);
    m_sentRaw.append(bytes);
    m_pty.Write(bytes);
}

}  // namespace korvel::sim

#include "control/rxdispatch.h"

#include "model/blocks.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "model/flashimage.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "link/transaction.h"
#include "control/eventdisplay.h"
#include "control/refusals.h"
#include "model/loggerdata.h"
#include "model/logrecords.h"
#include "model/taskblock.h"
#include "platform/prompts.h"

namespace korvel {

static EventAckState g_ack;
// True while a reply to the open request is being stored.
static bool g_storingReply = false;
static std::function<void(const uint8_t*, int)> g_observer;

void SetRxPacketObserver(std::function<void(const uint8_t*, int)> observer) { g_observer = std::move(observer); }
EventAckState& eventAck() { return g_ack; }
void ResetEventAckState() {
    g_ack = EventAckState{};
    g_storingReply = false;
    g_observer = nullptr;
}

void ReportUnexpectedError(int number, const QString& description, const QString& procedure, int packetType) {
    const QString crlf = QStringLiteral("\r\n");
    const QString text = QStringLiteral("An unexpected error has occured: ") + crlf +
                         QStringLiteral("Error number: ") + QString::number(number) + crlf +
                         QStringLiteral("Description: ") + description + crlf +
                         QStringLiteral("Location: ") + linkHost().ActiveWindowName() + crlf +
                         QStringLiteral("Procedure: ") + procedure + crlf +
                         QStringLiteral("Source Command: ") + QString::number(packetType);
    MsgBox(text, vbOKOnly, AppTitle());
}

namespace {

void refuse(const char* what) {
    const QString text = QStringLiteral("OMRU received %1 from target - unknown command").arg(QLatin1String(what));
    const QString title = QStringLiteral("Unknown Command");
    // A refusal while no transaction is open ended nothing a sequence sent: said at once.
    // It must not leave the link looking busy either.
    if (!TransactionOpen()) {
        MsgBox(text, vbOKOnly + vbInformation, title);
        return;
    }
    // Inside a sequence only recorded: the sequence says it once the module is put back.
    ReportRefusal(text, title);
    EndOpenTransaction(TX_REFUSED);
}

// Whether frame f (an ACK or a REPLY) answers the open transaction. Anything else is a
// late or repeated answer to an earlier request: taken for the open one, it would end it
// without its own answer, and the block it asked for would be lost.
bool AnswersOpenRequest(const RxFrame& f) {
    const Transaction* t = OpenTransactionNow();
    return t && t->Answers(f);
}

void TraceStale(const RxFrame& f) {
    if (linkState().TraceOn) TraceWriteLine("STALE, IGNORED: " + HexOf(f.At(0), f.Length() + 1));
}

} // namespace

void ProcessRxPacket(const QByteArray& RxBuffer) {
    auto& s = linkState();
    const RxFrame f(RxBuffer);
    if (g_observer) g_observer(f.At(0), f.Length() + 1);
    if (f[FRAME_DESTINATION] != 0 && f[FRAME_DESTINATION] != 255) return;
    switch (f[FRAME_PACKET_TYPE]) {
    case PKT_ACK:
        // Only a transaction that waits for an acknowledgement (or a send-only one)
        // ends on it; a stray ACK cannot complete a request still owed its reply.
        // A cancel request standing does not hold it open: the sender then ends the
        // call as cancelled. Held open, a cancelled command over TCP would run into
        // its time-out and be reported as a lost link.
        // One that names a command answers only that command: a late acknowledgement
        // of an earlier command must not end the one now waiting.
        if (f[FRAME_PACKET_ID] == s.PacketId && (OpenTxState() == TX_WAIT_ACK || OpenTxState() == TX_SEND_ONLY) &&
            AnswersOpenRequest(f))
            EndOpenTransaction(TX_DONE);
        else
            TraceStale(f);
        break;
    case PKT_NACK:
        if (f[FRAME_COMMAND] == CMD_DATE_TIME) {
            // The module has no clock: the request ends as answered, the clock values
            // stay as they were.
            linkHost().SetMenuEnabled(MenuItem::mnuDateTime, false);
            if (OpenTxState() == TX_WAIT_REPLY) EndOpenTransaction(TX_REPLY_RECEIVED);
        } else {
            refuse("NACK");
        }
        break;
    case PKT_GET: refuse("GET"); break;
    case PKT_SET: refuse("SET"); break;
    case PKT_REPLY:
        // Only the answer to the request that waits is stored: a late one for an earlier
        // request (or another block of it) must neither end the request nor put its data
        // where the waiting one's belongs.
        // One that comes while the answer is being stored (in a box the storing opened)
        // answers nothing any more: the request has its answer.
        if (OpenTxState() == TX_WAIT_REPLY && !g_storingReply && AnswersOpenRequest(f)) {
            g_storingReply = true;
            ProcessStatusPacket(RxBuffer, f[FRAME_COMMAND]);
            g_storingReply = false;
        } else {
            TraceStale(f);
        }
        break;
    case PKT_EVENT:
        if (TransactionOpen()) {
            // Dropped unacknowledged: the module repeats it, and the frame we wait on
            // is resent at once. Not an acknowledgement on its way out: sent again, it
            // would answer the event just dropped, which the module would then never
            // repeat.
            if (OpenTxState() != TX_SEND_ONLY) ResendOpenTransaction();
        } else {
            // Owed to this frame's station, whatever frames the monitor's box lets in. An
            // acknowledgement names no event: one to a station answers all of its events
            // that came before it, so a station is owed one at most.
            const int16_t source = f[FRAME_SOURCE];
            DisplayEventPacket(RxBuffer);
            g_ack.AckPending = true;
            if (!g_ack.OwedAcks.contains(source)) g_ack.OwedAcks.append(source);
            // The acknowledging tick stops itself after each run; wake it for this one.
            linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
        }
        break;
    default:  // PKT_RESEND and anything unknown: send the current frame again
        ResendOpenTransaction();
        break;
    }
}

void UpdateAnalogPresence() {
    const TargetState& t = target();
    for (int g = 0; g < GROUPS; ++g) {
        const bool exists = t.PellarDevice ? (g == 0 || (t.ExpansionBoardMask >> (g - 1 + ANALOG_BOARD_BITS)) & 1)
                                           : g <= t.ChildCount;
        for (bool& p : config().AnalogConfigTable[g].Present) p = exists;
    }
}

void UpdateContactPresence() {
    const TargetState& t = target();
    for (int g = 0; g < GROUPS; ++g) {
        const bool exists = t.PellarDevice ? (g == 0 || (t.ExpansionBoardMask >> (g - 1 + CONTACT_BOARD_BITS)) & 1)
                                           : g <= t.ChildCount;
        for (bool& p : config().ContactInputTable[g].Present) p = exists;
    }
}

namespace {

const QString kStatusProcedure = QStringLiteral("ProcessStatusPacket");

// The outcome of storing one reply.
enum class Stored { Ok, Malformed, Refused };

// True when the reply holds data bytes up to frame byte last (the checksum is at L).
bool holds(const RxFrame& f, int last) { return last < f.Length(); }
int word(const RxFrame& f, int at) { return f[at] + 256 * f[at + 1]; }

Stored fromParse(ParseResult r) { return r == ParseResult::Ok ? Stored::Ok : Stored::Malformed; }

Stored storeModuleInfo(const RxFrame& f) {
    if (!holds(f, 13)) return Stored::Malformed;
    TargetState& t = target();
    // A module that runs only its boot loader (family 0) puts the boot loader's version
    // in byte 9 and reports no modules, options or sensors: the station's values stay
    // as they were.
    if ((f[7] >> 4) == 0) {
        t.TargetIdentity = f[7];
        t.TargetFirmwareVersion = f[8];
        t.BootLoaderVersion = f[9];
        return Stored::Ok;
    }
    const int children = t.PellarDevice ? 0 : (f[9] & 0xF0) / 16;
    if (children > MAX_CHILD_MODULES) {
        // The tables hold one group per module: more could not be read or written
        // without losing modules, so the station is not used at all.
        MsgBox(QStringLiteral("The target reports %1 child modules. At most %2 child modules are "
                              "supported, so this connection cannot be used.")
                   .arg(children)
                   .arg(MAX_CHILD_MODULES),
               vbOKOnly + vbCritical, AppTitle());
        return Stored::Refused;
    }
    t.TargetIdentity = f[7];
    t.TargetFirmwareVersion = f[8];
    t.TargetOptions = static_cast<int16_t>(f[9] & 15);
    t.BootLoaderVersion = f[9];
    t.ChildCount = static_cast<uint8_t>(children);
    t.TargetModuleMode = f[10] & 15;
    t.ExpansionBoardMask = f[11];
    t.ModuleDebugFlags = f[12];
    t.TempSensorInfo = f[13];
    t.TempSensorsKnown = true;
    UpdateAnalogPresence();
    UpdateContactPresence();
    return Stored::Ok;
}

Stored storeAnalogStatus(const RxFrame& f) {
    if (!holds(f, 23)) return Stored::Malformed;
    const int g = f[7];
    if (g >= GROUPS) return Stored::Malformed;
    target().StatusGroup = static_cast<uint8_t>(g);
    AnalogGroupRecord& a = config().AnalogConfigTable[g];
    for (int s = 0; s < SLOTS; ++s)
        a.LiveValue[s] = static_cast<int16_t>(f[8 + 2 * s] + 256 * (f[9 + 2 * s] & 15));
    return Stored::Ok;
}

constexpr int kTempAbsent = 32767;

Stored storeTempStatus(const RxFrame& f) {
    if (!holds(f, 23)) return Stored::Malformed;
    TargetState& t = target();
    t.StatusGroup = f[7];
    for (int c = 0; c < 8; ++c) {
        const int reading = word(f, 8 + 2 * c);
        if (reading == kTempAbsent) {
            t.TempReadings[c] = kTempAbsent;
        } else if (reading > kTempAbsent) {
            // No temperature code is this large; show the channel as without a reading
            // rather than a made-up temperature.
            ReportUnexpectedError(ERR_OVERFLOW, QStringLiteral("Overflow"), kStatusProcedure, f[FRAME_PACKET_TYPE]);
            t.TempReadings[c] = kTempAbsent;
        } else {
            t.TempReadings[c] = ConvertTempFromBinary(reading);
        }
    }
    return Stored::Ok;
}

Stored storeChildInfo(const RxFrame& f) {
    if (!holds(f, 14)) return Stored::Malformed;
    const int n = f[7];
    if (n < 1 || n > 8) return Stored::Malformed;
    ChildModuleInfo& c = target().ChildModuleList[n - 1];
    c.Identity = f[8];
    c.FirmwareVersion = f[9];
    c.Options = f[10] & 15;
    c.OptionsHigh = (f[10] & 0xF0) / 16;
    c.ModuleMode = f[11] & 15;
    c.BoardMask = f[12];
    c.DebugFlags = f[13];
    c.TempSensors = f[14];
    return Stored::Ok;
}

Stored storeFlashPage(const RxFrame& f) {
    if (!holds(f, 8)) return Stored::Malformed;
    // A page frame: the word address in data bytes 0 and 1, then the page's bytes.
    constexpr int addressHigh = FRAME_DATA;
    constexpr int addressLow = FRAME_DATA + 1;
    constexpr int pageData = FRAME_DATA + 2;
    // Only the answer to the page read that waits now: the same command and word
    // address, so a late or misdirected reply can never put one page's bytes in the
    // place of another.
    const Transaction* open = OpenTransactionNow();
    if (!open) return Stored::Malformed;
    const QByteArray& request = open->Request();
    if (open->State != TX_WAIT_REPLY || request.size() <= addressLow || uint8_t(request[FRAME_LENGTH]) != pageData ||
        uint8_t(request[FRAME_PACKET_TYPE]) != PKT_GET || uint8_t(request[FRAME_COMMAND]) != f[FRAME_COMMAND])
        return Stored::Malformed;
    const int32_t wordAddress = f[addressHigh] * 256 + f[addressLow];
    if (uint8_t(request[addressHigh]) != f[addressHigh] || uint8_t(request[addressLow]) != f[addressLow]) {
        // Another page's bytes answer the read that waits: nothing of them is stored, and
        // the read ends refused with what came, not as a fault of ours.
        const int32_t asked = uint8_t(request[addressHigh]) * 256 + uint8_t(request[addressLow]);
        const auto hex = [](int32_t word) { return QString::number(word * 2, 16).toUpper().rightJustified(6, u'0'); };
        ReportRefusal(QStringLiteral("The module answered the read of flash address 0x%1 with the bytes of flash "
                                     "address 0x%2.")
                          .arg(hex(asked), hex(wordAddress)),
                      AppTitle());
        return Stored::Refused;
    }
    return StoreFlashPageReply(wordAddress, f.At(pageData), f.Length() - pageData) ? Stored::Ok : Stored::Malformed;
}

Stored storeReply(const RxFrame& f, int command) {
    TargetState& t = target();
    LoggerData& lg = loggerData();
    switch (command) {
    case CMD_MODULE_INFO: return storeModuleInfo(f);
    case CMD_INPUT_STATUS:
    case CMD_OUTPUT_STATUS:
    case CMD_STATUS_06:
    case CMD_STATUS_07:
        if (!holds(f, 8)) return Stored::Malformed;
        t.StatusGroup = f[7];
        t.StatusBits = f[8];
        return Stored::Ok;
    case CMD_ANALOG_STATUS: return storeAnalogStatus(f);
    case CMD_CHANNEL_CLEAR:
        if (!holds(f, 7)) return Stored::Malformed;
        t.ChannelState = f[7];
        return Stored::Ok;
    case CMD_TEMP_STATUS: return storeTempStatus(f);
    case CMD_DATE_TIME:
        if (!holds(f, 12)) return Stored::Malformed;
        t.ModuleClock = {f[7], f[8], static_cast<int16_t>(f[9] + 2000), f[10], f[11], f[12]};
        linkHost().SetMenuEnabled(MenuItem::mnuDateTime, !t.PellarDevice);
        return Stored::Ok;
    case CMD_SAMPLE_COUNT:
        if (!holds(f, 8)) return Stored::Malformed;
        lg.SampleLogCount = static_cast<uint16_t>(word(f, 7));
        return Stored::Ok;
    case CMD_SAMPLE_BLOCK:
        return SaveSampleLog(f.At(FRAME_DATA), f.Length() - FRAME_DATA) ? Stored::Ok : Stored::Malformed;
    case CMD_MINMAX_COUNT:
        if (!holds(f, 8)) return Stored::Malformed;
        lg.MinMaxLogCount = static_cast<uint16_t>(word(f, 7));
        return Stored::Ok;
    case CMD_MINMAX_BLOCK:
        return SaveMinMaxLog(f.At(FRAME_DATA), f.Length() - FRAME_DATA) ? Stored::Ok : Stored::Malformed;
    case CMD_LOGGER_START:
    case CMD_LOGGER_STOP:
        if (!holds(f, 7)) return Stored::Malformed;
        lg.LoggerRunning = f[7] != 0;
        return Stored::Ok;
    case CMD_LOGGER_START_TIME:
        if (!holds(f, 12)) return Stored::Malformed;
        lg.LoggerStartTime = {f[7], f[8], f[9], f[10], f[11], f[12]};
        return Stored::Ok;
    case CMD_LOGGER_TIMERS:
        if (!holds(f, 58)) return Stored::Malformed;
        for (int i = 0; i < 9; ++i) lg.LoggerTimers[i] = f[7 + 3 * i] + 256 * f[8 + 3 * i] + 65536 * f[9 + 3 * i];
        for (int j = 0; j < 25; ++j) lg.LoggerSettingBytes[j] = f[34 + j];
        return Stored::Ok;
    case CMD_DEVICE_TYPE:
        if (!holds(f, 8)) return Stored::Malformed;
        if (f[8] == 0) {
            if (!holds(f, 14)) return Stored::Malformed;
            t.PellarDevice = true;
            for (int i = 0; i < 4; ++i) t.PellarVersion[i] = f[11 + i];
        }
        return Stored::Ok;
    case CMD_CFG_SYSTEM:
    case CMD_CFG_INPUTS:
    case CMD_CFG_OUTPUTS:
    case CMD_CFG_ANALOGS:
    case CMD_CFG_TEMPS: {
        // The block's data: from its index byte up to the checksum.
        const uint8_t* data = f.At(FRAME_DATA);
        const int count = f.Length() - FRAME_DATA;
        if (count < 1) return Stored::Malformed;
        switch (command) {
        case CMD_CFG_SYSTEM: return fromParse(ParseSystemBlock(data, count));
        case CMD_CFG_INPUTS: return fromParse(ParseInputBlock(data, count));
        case CMD_CFG_OUTPUTS: return fromParse(ParseOutputBlock(data, count));
        case CMD_CFG_ANALOGS: return fromParse(ParseAnalogBlock(data, count));
        default: return fromParse(ParseTemperatureBlock(data, count));
        }
    }
    case CMD_TASK_BLOCK: return LoadTaskBlock(f.At(FRAME_DATA), f.Length() - FRAME_DATA) ? Stored::Ok : Stored::Malformed;
    case CMD_CFG_FLEETSYNC:
        if (!holds(f, 7)) return Stored::Malformed;
        t.StatusGroup = f[7];
        return fromParse(ParseFleetSyncBlock(f.At(FRAME_DATA), f.Length() - FRAME_DATA));
    case CMD_CFG_NMEA: return fromParse(ParseNmeaBlock(f.At(FRAME_DATA), f.Length() - FRAME_DATA));
    case CMD_FLASH_UNLOCK:
        if (!holds(f, 7)) return Stored::Malformed;
        t.FlashUnlocked = f[7];
        return Stored::Ok;
    case CMD_FLASH_PAGE_LOW:
    case CMD_FLASH_PAGE_HIGH: return storeFlashPage(f);
    case CMD_CHILD_INFO: return storeChildInfo(f);
    default:  // replies without data to keep (0x03, 0x05, 0x09, 0x80, unknown codes)
        return Stored::Ok;
    }
}

} // namespace

void ProcessStatusPacket(const QByteArray& RxBuffer, int16_t command) {
    const RxFrame f(RxBuffer);
    const Stored stored = storeReply(f, command & 0xFF);
    if (stored == Stored::Malformed)
        ReportUnexpectedError(ERR_SUBSCRIPT, QStringLiteral("Subscript out of range"), kStatusProcedure,
                              f[FRAME_PACKET_TYPE]);

    // Common exit: the reply ends the request that waits for it; one that could not be
    // stored ends it as failed, so the requester never goes on with stale values.
    linkHost().SetPanelText(3, QString());
    if (OpenTxState() == TX_WAIT_REPLY) EndOpenTransaction(stored == Stored::Ok ? TX_REPLY_RECEIVED : TX_REFUSED);
}

int16_t SendAck(const LinkHold& hold, int16_t destination) {
    QByteArray frame(6, '\0');
    frame[0] = 6;
    frame[1] = char(destination);
    frame[2] = 0;
    frame[3] = 3;
    frame[4] = 0;
    frame[5] = char(PKT_ACK);
    int16_t n = 6;
    AppendTxChecksum(frame, n);
    linkState().PacketId = 0;
    return SendPacket(hold, frame, TX_SEND_ONLY);
}

} // namespace korvel

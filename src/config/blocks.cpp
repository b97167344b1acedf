#include "config/blocks.h"

#include "config/model.h"
#include "config/target.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/transaction.h"

#include <array>
#include <cmath>
#include <cstring>

namespace korvel {

namespace {

constexpr int NMEA_INIT1_AT = 12;
constexpr int NMEA_INIT2_AT = 53;
constexpr int NMEA_CUSTOM_AT = 94;
constexpr int NMEA_INIT_FIELD = NMEA_INIT_LENGTH + 1;
constexpr int NMEA_CUSTOM_FIELD = NMEA_CUSTOM_LENGTH + 1;

uint8_t* tx() { return linkState().TxBuffer; }
const uint8_t* rx() { return linkState().RxBuffer; }
int rxLength() { return linkState().RxBuffer[FRAME_LENGTH]; }

// Header of a block sent to the module. The data part is cleared so that bytes the
// model does not carry go out as zero rather than as an earlier frame's leftovers.
void header(int length, int16_t code, int16_t destination, int16_t source, int16_t route) {
    uint8_t* t = WriteTxHeader(length, destination, source, route, PKT_SET, code);
    std::memset(t + FRAME_DATA, 0, static_cast<size_t>(length + 1 - FRAME_DATA));
}

void put16(int at, int32_t v) {
    tx()[at] = static_cast<uint8_t>(v & 0xFF);
    tx()[at + 1] = static_cast<uint8_t>((v & 0xFF00) >> 8);
}

int32_t get16(int at) { return rx()[at] + 256 * rx()[at + 1]; }

void putThreshold(int at, int v) {
    tx()[at] = static_cast<uint8_t>(v & 0xFF);
    tx()[at + 1] = static_cast<uint8_t>((v & 0x300) / 256);
}

int getThreshold(int at) { return rx()[at] + 256 * (rx()[at + 1] & 3); }

void putRow(int at, const uint8_t (&values)[SLOTS]) { std::memcpy(tx() + at, values, SLOTS); }
void getRow(int at, uint8_t (&values)[SLOTS]) { std::memcpy(values, rx() + at, SLOTS); }

// The seven one-byte fields of each side of an alarm input (hold, two destination
// stations, two destination channels, local output, output delay): rows of eight from
// byte 32 for the low side and from byte 104 for the high side, in both alarm blocks.
using AlarmFields = std::array<uint8_t*, 14>;
constexpr int LOW_SIDE_ROW = 32;
constexpr int HIGH_SIDE_ROW = 104;

AlarmFields alarmFields(AnalogGroupRecord& a, int s) {
    return {&a.LowHold[s],          &a.LowDestStation[0][s],  &a.LowDestStation[1][s],
            &a.LowDestChannel[0][s], &a.LowDestChannel[1][s], &a.LowLocalOutput[s],
            &a.LowOutputDelay[s],    &a.HighHold[s],          &a.HighDestStation[0][s],
            &a.HighDestStation[1][s], &a.HighDestChannel[0][s], &a.HighDestChannel[1][s],
            &a.HighLocalOutput[s],   &a.HighOutputDelay[s]};
}

AlarmFields alarmFields(TempChannelRecord& r) {
    return {&r.LowHold,           &r.LowDestStation[0], &r.LowDestStation[1], &r.LowDestChannel[0],
            &r.LowDestChannel[1], &r.LowLocalOutput,    &r.LowOutputDelay,    &r.HighHold,
            &r.HighDestStation[0], &r.HighDestStation[1], &r.HighDestChannel[0], &r.HighDestChannel[1],
            &r.HighLocalOutput,   &r.HighOutputDelay};
}

int alarmPosition(int k, int s) { return (k < 7 ? LOW_SIDE_ROW + 8 * k : HIGH_SIDE_ROW + 8 * (k - 7)) + s; }

void putAlarmFields(const AlarmFields& fields, int s) {
    for (int k = 0; k < 14; ++k) tx()[alarmPosition(k, s)] = *fields[k];
}

void getAlarmFields(const AlarmFields& fields, int s) {
    for (int k = 0; k < 14; ++k) *fields[k] = rx()[alarmPosition(k, s)];
}

// A system element as the byte it travels as: rounded half to even. False when it does
// not fit a byte.
bool systemByte(double v, uint8_t& out) {
    const double r = std::nearbyint(v);
    if (!(r >= 0 && r <= 255)) return false;
    out = static_cast<uint8_t>(r);
    return true;
}

bool buildSystem() {
    const StationConfig& c = config();
    for (int i = 0; i <= 60; ++i)
        if (!systemByte(c.SystemConfig[i], tx()[8 + i])) return false;
    put16(69, c.SystemBlockTrailer);
    return true;
}

void buildInputs(int g) {
    const ContactInputGroupRecord& r = config().ContactInputTable[g];
    putRow(8, r.Flags);
    putRow(16, r.Hold);
    putRow(24, r.LocalOutputDelay);
    putRow(32, r.LocalOutput);
    for (int d = 0; d < 4; ++d) {
        putRow(40 + 8 * d, r.DestStation[d]);
        putRow(72 + 8 * d, r.DestChannel[d]);
    }
    putRow(104, r.Reserved);
    put16(112, r.BlockTrailer);
}

void buildOutputs(int g) {
    const OutputGroupRecord& r = config().OutputConfigTable[g];
    putRow(8, r.Flags);
    putRow(16, r.PulseWidth);
    put16(24, r.BlockTrailer);
}

void buildAnalogs(int g) {
    AnalogGroupRecord& r = config().AnalogConfigTable[g];
    const bool pellar = target().PellarDevice;
    uint8_t* t = tx();
    for (int s = 0; s < SLOTS; ++s) {
        t[8 + s] = r.Flags[s];
        putThreshold(16 + 2 * s, r.LowThreshold[s]);
        const int code = OffsetToCode(r.Offset[s]) & 63;
        if (pellar)
            t[17 + 2 * s] = static_cast<uint8_t>(t[17 + 2 * s] + code * 4);
        else
            t[168 + s] = static_cast<uint8_t>(code * 4);
        putThreshold(88 + 2 * s, r.HighThreshold[s]);
        if (pellar) t[89 + 2 * s] = static_cast<uint8_t>(t[89 + 2 * s] + (r.Modifier[s] & 0xFC));
        putAlarmFields(alarmFields(r, s), s);
        // A Korvel has no room for the qualifier: that byte carries bits 2-5 of the
        // user range instead.
        t[160 + s] = pellar ? r.Qualifier[s] : static_cast<uint8_t>(((r.Modifier[s] & 0x3C) / 4) * 16);
        if (pellar) t[168 + s] = r.Reserved[s];
    }
    put16(176, r.BlockTrailer);
}

void buildTemps() {
    StationConfig& c = config();
    uint8_t* t = tx();
    for (int s = 0; s < SLOTS; ++s) {
        TempChannelRecord& r = c.TempConfigTable[s];
        t[8 + s] = r.Flags;
        putThreshold(16 + 2 * s, r.LowThreshold);
        putThreshold(88 + 2 * s, r.HighThreshold);
        putAlarmFields(alarmFields(r), s);
        t[160 + s] = r.Qualifier;
        t[168 + s] = r.Reserved;
    }
    put16(176, c.TempBlockTrailer);
}

const QByteArray* tagList(int list) {
    const FleetSyncSettings& fs = config().FleetSyncConfig;
    switch (list) {
    case 1: return fs.InputTagOff;
    case 2: return fs.InputTagOn;
    case 3: return fs.AnalogTag;
    default: return fs.TempTag;
    }
}

void buildFleetSyncSettings() {
    const FleetSyncSettings& fs = config().FleetSyncConfig;
    uint8_t* t = tx();
    t[8] = fs.Ccb1;
    t[9] = fs.Ccb2;
    t[10] = fs.Ccb3;
    t[11] = fs.ReportTime;
    for (int i = 0; i < 3; ++i) {
        put16(12 + 2 * i, fs.FleetNumber[i]);
        put16(18 + 2 * i, fs.IDNumber[i]);
    }
    for (int i = 0; i < 20; ++i) {
        put16(24 + 2 * i, fs.SecurityFleet[i]);
        put16(64 + 2 * i, fs.SecurityIDNumber[i]);
    }
}

void buildFleetSyncTags(int list) {
    const QByteArray* tags = tagList(list);
    int position = 8;
    for (int k = 0; k < 8; ++k) position += PutStringInTxBuf(tags[k], position, TAG_LENGTH);
}

} // namespace

int OffsetToCode(int offset) { return offset < 0 ? 32 - offset : offset; }
int CodeToOffset(int code) { return code <= 32 ? code : -(code - 32); }

int16_t SendConfigBlock(int16_t code, int16_t destination, int16_t source, int16_t route, int16_t index) {
    int length = 0;
    switch (code) {
    case CMD_CFG_SYSTEM: length = SYSTEM_BLOCK_LENGTH; break;
    case CMD_CFG_INPUTS: length = INPUT_BLOCK_LENGTH; break;
    case CMD_CFG_OUTPUTS: length = OUTPUT_BLOCK_LENGTH; break;
    case CMD_CFG_ANALOGS: length = ANALOG_BLOCK_LENGTH; break;
    case CMD_CFG_TEMPS: length = TEMP_BLOCK_LENGTH; break;
    case CMD_CFG_FLEETSYNC:
        if (index < 0 || index > 4) return SEND_FAILED;
        length = index == 0 ? FLEETSYNC_SETTINGS_LENGTH : FLEETSYNC_TAGS_LENGTH;
        break;
    default: return SEND_FAILED;
    }
    const bool grouped = code == CMD_CFG_INPUTS || code == CMD_CFG_OUTPUTS || code == CMD_CFG_ANALOGS;
    if (grouped && (index < 0 || index >= GROUPS)) return SEND_FAILED;

    // A transaction still open keeps its frame: SendPacket refuses and restores it.
    header(length, code, destination, source, route);
    tx()[FRAME_DATA] = static_cast<uint8_t>(index);
    switch (code) {
    case CMD_CFG_SYSTEM:
        if (!buildSystem()) return SEND_FAILED;
        break;
    case CMD_CFG_INPUTS: buildInputs(index); break;
    case CMD_CFG_OUTPUTS: buildOutputs(index); break;
    case CMD_CFG_ANALOGS: buildAnalogs(index); break;
    case CMD_CFG_TEMPS: buildTemps(); break;
    case CMD_CFG_FLEETSYNC:
        if (index == 0)
            buildFleetSyncSettings();
        else
            buildFleetSyncTags(index);
        break;
    }
    return SendTxFrame(length, TX_WAIT_ACK, false);
}

int16_t SendNmeaConfig(int16_t destination, int16_t source, int16_t route) {
    const NmeaSettings& n = config().NmeaConfig;
    header(NMEA_BLOCK_LENGTH, CMD_CFG_NMEA, destination, source, route);
    uint8_t* t = tx();
    t[7] = n.Ccb1;
    t[8] = n.Ccb2;
    t[9] = n.Ccb3;
    t[10] = n.ReportTime;
    t[11] = n.TimeMark;
    PutStringInTxBuf(n.Init1, NMEA_INIT1_AT, NMEA_INIT_LENGTH);
    PutStringInTxBuf(n.Init2, NMEA_INIT2_AT, NMEA_INIT_LENGTH);
    PutStringInTxBuf(n.Custom, NMEA_CUSTOM_AT, NMEA_CUSTOM_LENGTH);
    return SendTxFrame(NMEA_BLOCK_LENGTH, TX_WAIT_ACK, true);
}

int PutStringInTxBuf(const QByteArray& text, int position, int width) {
    QByteArray s = text.left(width);
    while (s.endsWith(' ')) s.chop(1);
    uint8_t* t = tx();
    std::memcpy(t + position, s.constData(), static_cast<size_t>(s.size()));
    t[position + s.size()] = 0;
    return NAME_FIELD_WIDTH;
}

QByteArray GetRxString(int position, int fieldWidth) {
    // The frame's checksum stands at byte L: the text ends before it.
    const int end = std::min(position + fieldWidth, rxLength());
    QByteArray s;
    for (int i = position; i < end && rx()[i] != 0; ++i) s.append(static_cast<char>(rx()[i]));
    return s;
}

int StoreRxName(int tag, int position) {
    FleetSyncSettings& fs = config().FleetSyncConfig;
    const QByteArray name = GetRxString(position, NAME_FIELD_WIDTH).left(TAG_LENGTH);
    if (tag < 8)
        fs.InputTagOff[tag] = name;
    else if (tag < 16)
        fs.InputTagOn[tag - 8] = name;
    else if (tag < 24)
        fs.AnalogTag[tag - 16] = name;
    else if (tag < 32)
        fs.TempTag[tag - 24] = name;
    return NAME_FIELD_WIDTH;
}

ParseResult ParseSystemBlock(int count) {
    const int length = count + 8;
    // Elements 0 to 60 are sent back, so a shorter block would send stale values.
    if (length < SYSTEM_BLOCK_LENGTH) return ParseResult::TooShort;
    if (length > SYSTEM_REPLY_MAX_LENGTH) return ParseResult::BadIndex;
    StationConfig& c = config();
    const int n = count - 3;
    for (int i = 0; i <= n; ++i) c.SystemConfig[i] = rx()[8 + i];
    c.SystemBlockTrailer = get16(8 + n + 1);
    return ParseResult::Ok;
}

namespace {

ParseResult checkGroupReply(int count, int needLength) {
    if (count + 8 < needLength) return ParseResult::TooShort;
    if (rx()[FRAME_DATA] >= GROUPS) return ParseResult::BadIndex;
    return ParseResult::Ok;
}

} // namespace

ParseResult ParseInputBlock(int count) {
    if (const ParseResult r = checkGroupReply(count, INPUT_BLOCK_LENGTH); r != ParseResult::Ok) return r;
    ContactInputGroupRecord& r = config().ContactInputTable[rx()[FRAME_DATA]];
    getRow(8, r.Flags);
    getRow(16, r.Hold);
    getRow(24, r.LocalOutputDelay);
    getRow(32, r.LocalOutput);
    for (int d = 0; d < 4; ++d) {
        getRow(40 + 8 * d, r.DestStation[d]);
        getRow(72 + 8 * d, r.DestChannel[d]);
    }
    getRow(104, r.Reserved);
    r.BlockTrailer = get16(112);
    return ParseResult::Ok;
}

ParseResult ParseOutputBlock(int count) {
    if (const ParseResult r = checkGroupReply(count, OUTPUT_BLOCK_LENGTH); r != ParseResult::Ok) return r;
    OutputGroupRecord& r = config().OutputConfigTable[rx()[FRAME_DATA]];
    getRow(8, r.Flags);
    getRow(16, r.PulseWidth);
    r.BlockTrailer = get16(24);
    return ParseResult::Ok;
}

ParseResult ParseAnalogBlock(int count) {
    if (const ParseResult r = checkGroupReply(count, ANALOG_BLOCK_LENGTH); r != ParseResult::Ok) return r;
    AnalogGroupRecord& r = config().AnalogConfigTable[rx()[FRAME_DATA]];
    const bool pellar = target().PellarDevice;
    const uint8_t* f = rx();
    for (int s = 0; s < SLOTS; ++s) {
        r.Flags[s] = f[8 + s];
        r.Modifier[s] = static_cast<int16_t>((r.Flags[s] & 0x18) / 8);
        r.LowThreshold[s] = static_cast<int16_t>(getThreshold(16 + 2 * s));
        const int carrier = pellar ? f[17 + 2 * s] : f[168 + s];
        r.Offset[s] = static_cast<int16_t>(CodeToOffset((carrier & 0xFC) / 4));
        r.HighThreshold[s] = static_cast<int16_t>(getThreshold(88 + 2 * s));
        if (pellar) r.Modifier[s] = static_cast<int16_t>(r.Modifier[s] + (f[89 + 2 * s] & 0xFC));
        getAlarmFields(alarmFields(r, s), s);
        r.Qualifier[s] = f[160 + s];
        if (!pellar) r.Modifier[s] = static_cast<int16_t>(r.Modifier[s] + (f[160 + s] & 0xF0) / 4);
        r.Reserved[s] = f[168 + s];
    }
    r.BlockTrailer = get16(176);
    return ParseResult::Ok;
}

ParseResult ParseTemperatureBlock(int count) {
    if (count + 8 < TEMP_BLOCK_LENGTH) return ParseResult::TooShort;
    StationConfig& c = config();
    const uint8_t* f = rx();
    for (int s = 0; s < SLOTS; ++s) {
        TempChannelRecord& r = c.TempConfigTable[s];
        r.Flags = f[8 + s];
        r.LowThreshold = static_cast<int16_t>(getThreshold(16 + 2 * s));
        r.HighThreshold = static_cast<int16_t>(getThreshold(88 + 2 * s));
        getAlarmFields(alarmFields(r), s);
        r.Qualifier = f[160 + s];
        r.Reserved = f[168 + s];
    }
    c.TempBlockTrailer = get16(176);
    return ParseResult::Ok;
}

ParseResult ParseFleetSyncBlock(int count) {
    const int length = count + 8;
    const int sub = rx()[FRAME_DATA];
    if (sub == 0) {
        // The last pair (the twentieth security ID) ends at byte 103.
        if (length < 104) return ParseResult::TooShort;
        FleetSyncSettings& fs = config().FleetSyncConfig;
        fs.Ccb1 = rx()[8];
        fs.Ccb2 = rx()[9];
        fs.Ccb3 = rx()[10];
        fs.ReportTime = rx()[11];
        for (int i = 0; i < 3; ++i) {
            fs.FleetNumber[i] = get16(12 + 2 * i);
            fs.IDNumber[i] = get16(18 + 2 * i);
        }
        for (int i = 0; i < 20; ++i) {
            fs.SecurityFleet[i] = get16(24 + 2 * i);
            fs.SecurityIDNumber[i] = get16(64 + 2 * i);
        }
    } else if (sub <= 4) {
        // The eighth name field ends at byte 175.
        if (length < 8 + 8 * NAME_FIELD_WIDTH) return ParseResult::TooShort;
        int position = 8;
        for (int k = 0; k < 8; ++k) position += StoreRxName(8 * (sub - 1) + k, position);
    }
    return ParseResult::Ok;
}

ParseResult ParseNmeaBlock(int count) {
    // The Custom field is the last one read: its 13 bytes end the block.
    if (count + 8 < NMEA_BLOCK_LENGTH) return ParseResult::TooShort;
    NmeaSettings& n = config().NmeaConfig;
    n.Ccb1 = rx()[7];
    n.Ccb2 = rx()[8];
    n.Ccb3 = rx()[9];
    n.ReportTime = rx()[10];
    n.TimeMark = rx()[11];
    n.Init1 = GetRxString(NMEA_INIT1_AT, NMEA_INIT_FIELD);
    n.Init2 = GetRxString(NMEA_INIT2_AT, NMEA_INIT_FIELD);
    n.Custom = GetRxString(NMEA_CUSTOM_AT, NMEA_CUSTOM_FIELD);
    return ParseResult::Ok;
}

} // namespace korvel

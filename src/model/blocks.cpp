#include "model/blocks.h"

#include "model/model.h"
#include "model/target.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace korvel {

namespace {

// Block byte k travels as frame byte 7 + k: the positions below are the frame positions
// of the module's documentation less 7.
constexpr int NMEA_INIT1_AT = 5;
constexpr int NMEA_INIT2_AT = 46;
constexpr int NMEA_CUSTOM_AT = 87;
constexpr int NMEA_INIT_FIELD = NMEA_INIT_LENGTH + 1;
constexpr int NMEA_CUSTOM_FIELD = NMEA_CUSTOM_LENGTH + 1;
// The FleetSync settings' last pair (the twentieth security ID) ends at byte 96.
constexpr int FLEETSYNC_SETTINGS_NEEDED = 97;
// The eighth name field of a tag list ends at byte 168.
constexpr int FLEETSYNC_TAGS_NEEDED = 1 + 8 * NAME_FIELD_WIDTH;

void put16(uint8_t* t, int at, int32_t v) {
    t[at] = static_cast<uint8_t>(v & 0xFF);
    t[at + 1] = static_cast<uint8_t>((v & 0xFF00) >> 8);
}

int32_t get16(const uint8_t* f, int at) { return f[at] + 256 * f[at + 1]; }

void putThreshold(uint8_t* t, int at, int v) {
    t[at] = static_cast<uint8_t>(v & 0xFF);
    t[at + 1] = static_cast<uint8_t>((v & 0x300) / 256);
}

int getThreshold(const uint8_t* f, int at) { return f[at] + 256 * (f[at + 1] & 3); }

void putRow(uint8_t* t, int at, const uint8_t (&values)[SLOTS]) { std::memcpy(t + at, values, SLOTS); }
void getRow(const uint8_t* f, int at, uint8_t (&values)[SLOTS]) { std::memcpy(values, f + at, SLOTS); }

// The seven one-byte fields of each side of an alarm input (hold, two destination
// stations, two destination channels, local output, output delay): rows of eight from
// byte 25 for the low side and from byte 97 for the high side, in both alarm blocks.
using AlarmFields = std::array<uint8_t*, 14>;
constexpr int LOW_SIDE_ROW = 25;
constexpr int HIGH_SIDE_ROW = 97;

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

void putAlarmFields(uint8_t* t, const AlarmFields& fields, int s) {
    for (int k = 0; k < 14; ++k) t[alarmPosition(k, s)] = *fields[k];
}

void getAlarmFields(const uint8_t* f, const AlarmFields& fields, int s) {
    for (int k = 0; k < 14; ++k) *fields[k] = f[alarmPosition(k, s)];
}

// A system element as the byte it travels as: rounded half to even. False when it does
// not fit a byte.
bool systemByte(double v, uint8_t& out) {
    const double r = std::nearbyint(v);
    if (!(r >= 0 && r <= 255)) return false;
    out = static_cast<uint8_t>(r);
    return true;
}

bool validGroup(int group) { return group >= 0 && group < GROUPS; }

// Builds into a cleared scratch block and copies it to data only when whole, so a
// refused block leaves data as it was.
template <typename Build>
bool buildBlock(int bytes, uint8_t* data, int size, Build build) {
    if (data == nullptr || size < bytes) return false;
    std::array<uint8_t, CONFIG_BLOCK_MAX_BYTES> t{};
    if (!build(t.data())) return false;
    std::memcpy(data, t.data(), static_cast<size_t>(bytes));
    return true;
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

} // namespace

int OffsetToCode(int offset) { return offset < 0 ? 32 - offset : offset; }
int CodeToOffset(int code) { return code <= 32 ? code : -(code - 32); }

bool BuildSystemBlock(uint8_t index, uint8_t* data, int size) {
    return buildBlock(SYSTEM_BLOCK_BYTES, data, size, [index](uint8_t* t) {
        const StationConfig& c = config();
        t[0] = index;
        for (int i = 0; i <= 60; ++i)
            if (!systemByte(c.SystemConfig[i], t[1 + i])) return false;
        put16(t, 62, c.SystemBlockTrailer);
        return true;
    });
}

bool BuildInputBlock(int group, uint8_t* data, int size) {
    if (!validGroup(group)) return false;
    return buildBlock(INPUT_BLOCK_BYTES, data, size, [group](uint8_t* t) {
        const ContactInputGroupRecord& r = config().ContactInputTable[group];
        t[0] = static_cast<uint8_t>(group);
        putRow(t, 1, r.Flags);
        putRow(t, 9, r.Hold);
        putRow(t, 17, r.LocalOutputDelay);
        putRow(t, 25, r.LocalOutput);
        for (int d = 0; d < 4; ++d) {
            putRow(t, 33 + 8 * d, r.DestStation[d]);
            putRow(t, 65 + 8 * d, r.DestChannel[d]);
        }
        putRow(t, 97, r.Reserved);
        put16(t, 105, r.BlockTrailer);
        return true;
    });
}

bool BuildOutputBlock(int group, uint8_t* data, int size) {
    if (!validGroup(group)) return false;
    return buildBlock(OUTPUT_BLOCK_BYTES, data, size, [group](uint8_t* t) {
        const OutputGroupRecord& r = config().OutputConfigTable[group];
        t[0] = static_cast<uint8_t>(group);
        putRow(t, 1, r.Flags);
        putRow(t, 9, r.PulseWidth);
        put16(t, 17, r.BlockTrailer);
        return true;
    });
}

bool BuildAnalogBlock(int group, uint8_t* data, int size) {
    if (!validGroup(group)) return false;
    return buildBlock(ANALOG_BLOCK_BYTES, data, size, [group](uint8_t* t) {
        AnalogGroupRecord& r = config().AnalogConfigTable[group];
        const bool pellar = target().PellarDevice;
        t[0] = static_cast<uint8_t>(group);
        for (int s = 0; s < SLOTS; ++s) {
            t[1 + s] = r.Flags[s];
            putThreshold(t, 9 + 2 * s, r.LowThreshold[s]);
            const int code = OffsetToCode(r.Offset[s]) & 63;
            if (pellar)
                t[10 + 2 * s] = static_cast<uint8_t>(t[10 + 2 * s] + code * 4);
            else
                t[161 + s] = static_cast<uint8_t>(code * 4);
            putThreshold(t, 81 + 2 * s, r.HighThreshold[s]);
            if (pellar) t[82 + 2 * s] = static_cast<uint8_t>(t[82 + 2 * s] + (r.Modifier[s] & 0xFC));
            putAlarmFields(t, alarmFields(r, s), s);
            // A Korvel has no room for the qualifier: that byte carries bits 2-5 of the
            // user range instead.
            t[153 + s] = pellar ? r.Qualifier[s] : static_cast<uint8_t>(((r.Modifier[s] & 0x3C) / 4) * 16);
            if (pellar) t[161 + s] = r.Reserved[s];
        }
        put16(t, 169, r.BlockTrailer);
        return true;
    });
}

bool BuildTemperatureBlock(uint8_t index, uint8_t* data, int size) {
    return buildBlock(TEMP_BLOCK_BYTES, data, size, [index](uint8_t* t) {
        StationConfig& c = config();
        t[0] = index;
        for (int s = 0; s < SLOTS; ++s) {
            TempChannelRecord& r = c.TempConfigTable[s];
            t[1 + s] = r.Flags;
            putThreshold(t, 9 + 2 * s, r.LowThreshold);
            putThreshold(t, 81 + 2 * s, r.HighThreshold);
            putAlarmFields(t, alarmFields(r), s);
            t[153 + s] = r.Qualifier;
            t[161 + s] = r.Reserved;
        }
        put16(t, 169, c.TempBlockTrailer);
        return true;
    });
}

int FleetSyncBlockBytes(int part) {
    if (part == 0) return FLEETSYNC_SETTINGS_BYTES;
    if (part >= 1 && part <= 4) return FLEETSYNC_TAGS_BYTES;
    return 0;
}

bool BuildFleetSyncBlock(int part, uint8_t* data, int size) {
    const int bytes = FleetSyncBlockBytes(part);
    if (bytes == 0) return false;
    return buildBlock(bytes, data, size, [part](uint8_t* t) {
        t[0] = static_cast<uint8_t>(part);
        if (part == 0) {
            const FleetSyncSettings& fs = config().FleetSyncConfig;
            t[1] = fs.Ccb1;
            t[2] = fs.Ccb2;
            t[3] = fs.Ccb3;
            t[4] = fs.ReportTime;
            for (int i = 0; i < 3; ++i) {
                put16(t, 5 + 2 * i, fs.FleetNumber[i]);
                put16(t, 11 + 2 * i, fs.IDNumber[i]);
            }
            for (int i = 0; i < 20; ++i) {
                put16(t, 17 + 2 * i, fs.SecurityFleet[i]);
                put16(t, 57 + 2 * i, fs.SecurityIDNumber[i]);
            }
        } else {
            const QByteArray* tags = tagList(part);
            int position = 1;
            for (int k = 0; k < 8; ++k) position += PutBlockString(t, tags[k], position, TAG_LENGTH);
        }
        return true;
    });
}

bool BuildNmeaBlock(uint8_t* data, int size) {
    return buildBlock(NMEA_BLOCK_BYTES, data, size, [](uint8_t* t) {
        const NmeaSettings& n = config().NmeaConfig;
        t[0] = n.Ccb1;
        t[1] = n.Ccb2;
        t[2] = n.Ccb3;
        t[3] = n.ReportTime;
        t[4] = n.TimeMark;
        PutBlockString(t, n.Init1, NMEA_INIT1_AT, NMEA_INIT_LENGTH);
        PutBlockString(t, n.Init2, NMEA_INIT2_AT, NMEA_INIT_LENGTH);
        PutBlockString(t, n.Custom, NMEA_CUSTOM_AT, NMEA_CUSTOM_LENGTH);
        return true;
    });
}

int PutBlockString(uint8_t* data, const QByteArray& text, int position, int width) {
    QByteArray s = text.left(width);
    while (s.endsWith(' ')) s.chop(1);
    std::memcpy(data + position, s.constData(), static_cast<size_t>(s.size()));
    data[position + s.size()] = 0;
    return NAME_FIELD_WIDTH;
}

QByteArray GetBlockString(const uint8_t* data, int count, int position, int fieldWidth) {
    // The received bytes end before the frame's checksum: the text ends with them.
    const int end = std::min(position + fieldWidth, count);
    QByteArray s;
    for (int i = position; i < end && data[i] != 0; ++i) s.append(static_cast<char>(data[i]));
    return s;
}

int StoreTagName(int tag, const uint8_t* data, int count, int position) {
    FleetSyncSettings& fs = config().FleetSyncConfig;
    const QByteArray name = GetBlockString(data, count, position, NAME_FIELD_WIDTH).left(TAG_LENGTH);
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

ParseResult ParseSystemBlock(const uint8_t* data, int count) {
    // Elements 0 to 60 are sent back, so a shorter block would send stale values.
    if (count < SYSTEM_BLOCK_BYTES) return ParseResult::TooShort;
    if (count > SYSTEM_REPLY_MAX_BYTES) return ParseResult::BadIndex;
    StationConfig& c = config();
    // Elements from byte 1, the two trailer bytes last.
    const int n = count - 4;
    for (int i = 0; i <= n; ++i) c.SystemConfig[i] = data[1 + i];
    c.SystemBlockTrailer = get16(data, n + 2);
    return ParseResult::Ok;
}

namespace {

ParseResult checkGroupReply(const uint8_t* data, int count, int needBytes) {
    if (count < needBytes) return ParseResult::TooShort;
    if (data[0] >= GROUPS) return ParseResult::BadIndex;
    return ParseResult::Ok;
}

} // namespace

ParseResult ParseInputBlock(const uint8_t* data, int count) {
    if (const ParseResult r = checkGroupReply(data, count, INPUT_BLOCK_BYTES); r != ParseResult::Ok) return r;
    ContactInputGroupRecord& r = config().ContactInputTable[data[0]];
    getRow(data, 1, r.Flags);
    getRow(data, 9, r.Hold);
    getRow(data, 17, r.LocalOutputDelay);
    getRow(data, 25, r.LocalOutput);
    for (int d = 0; d < 4; ++d) {
        getRow(data, 33 + 8 * d, r.DestStation[d]);
        getRow(data, 65 + 8 * d, r.DestChannel[d]);
    }
    getRow(data, 97, r.Reserved);
    r.BlockTrailer = get16(data, 105);
    return ParseResult::Ok;
}

ParseResult ParseOutputBlock(const uint8_t* data, int count) {
    if (const ParseResult r = checkGroupReply(data, count, OUTPUT_BLOCK_BYTES); r != ParseResult::Ok) return r;
    OutputGroupRecord& r = config().OutputConfigTable[data[0]];
    getRow(data, 1, r.Flags);
    getRow(data, 9, r.PulseWidth);
    r.BlockTrailer = get16(data, 17);
    return ParseResult::Ok;
}

ParseResult ParseAnalogBlock(const uint8_t* data, int count) {
    if (const ParseResult r = checkGroupReply(data, count, ANALOG_BLOCK_BYTES); r != ParseResult::Ok) return r;
    AnalogGroupRecord& r = config().AnalogConfigTable[data[0]];
    const bool pellar = target().PellarDevice;
    const uint8_t* f = data;
    for (int s = 0; s < SLOTS; ++s) {
        r.Flags[s] = f[1 + s];
        r.Modifier[s] = static_cast<int16_t>((r.Flags[s] & 0x18) / 8);
        r.LowThreshold[s] = static_cast<int16_t>(getThreshold(f, 9 + 2 * s));
        const int carrier = pellar ? f[10 + 2 * s] : f[161 + s];
        r.Offset[s] = static_cast<int16_t>(CodeToOffset((carrier & 0xFC) / 4));
        r.HighThreshold[s] = static_cast<int16_t>(getThreshold(f, 81 + 2 * s));
        if (pellar) r.Modifier[s] = static_cast<int16_t>(r.Modifier[s] + (f[82 + 2 * s] & 0xFC));
        getAlarmFields(f, alarmFields(r, s), s);
        r.Qualifier[s] = f[153 + s];
        if (!pellar) r.Modifier[s] = static_cast<int16_t>(r.Modifier[s] + (f[153 + s] & 0xF0) / 4);
        r.Reserved[s] = f[161 + s];
    }
    r.BlockTrailer = get16(f, 169);
    return ParseResult::Ok;
}

ParseResult ParseTemperatureBlock(const uint8_t* data, int count) {
    if (count < TEMP_BLOCK_BYTES) return ParseResult::TooShort;
    StationConfig& c = config();
    const uint8_t* f = data;
    for (int s = 0; s < SLOTS; ++s) {
        TempChannelRecord& r = c.TempConfigTable[s];
        r.Flags = f[1 + s];
        r.LowThreshold = static_cast<int16_t>(getThreshold(f, 9 + 2 * s));
        r.HighThreshold = static_cast<int16_t>(getThreshold(f, 81 + 2 * s));
        getAlarmFields(f, alarmFields(r), s);
        r.Qualifier = f[153 + s];
        r.Reserved = f[161 + s];
    }
    c.TempBlockTrailer = get16(f, 169);
    return ParseResult::Ok;
}

ParseResult ParseFleetSyncBlock(const uint8_t* data, int count) {
    if (count < 1) return ParseResult::TooShort;
    const int part = data[0];
    if (part == 0) {
        if (count < FLEETSYNC_SETTINGS_NEEDED) return ParseResult::TooShort;
        FleetSyncSettings& fs = config().FleetSyncConfig;
        fs.Ccb1 = data[1];
        fs.Ccb2 = data[2];
        fs.Ccb3 = data[3];
        fs.ReportTime = data[4];
        for (int i = 0; i < 3; ++i) {
            fs.FleetNumber[i] = get16(data, 5 + 2 * i);
            fs.IDNumber[i] = get16(data, 11 + 2 * i);
        }
        for (int i = 0; i < 20; ++i) {
            fs.SecurityFleet[i] = get16(data, 17 + 2 * i);
            fs.SecurityIDNumber[i] = get16(data, 57 + 2 * i);
        }
    } else if (part <= 4) {
        if (count < FLEETSYNC_TAGS_NEEDED) return ParseResult::TooShort;
        int position = 1;
        for (int k = 0; k < 8; ++k) position += StoreTagName(8 * (part - 1) + k, data, count, position);
    }
    return ParseResult::Ok;
}

ParseResult ParseNmeaBlock(const uint8_t* data, int count) {
    // The Custom field is the last one read: its 13 bytes end the block.
    if (count < NMEA_BLOCK_BYTES) return ParseResult::TooShort;
    NmeaSettings& n = config().NmeaConfig;
    n.Ccb1 = data[0];
    n.Ccb2 = data[1];
    n.Ccb3 = data[2];
    n.ReportTime = data[3];
    n.TimeMark = data[4];
    n.Init1 = GetBlockString(data, count, NMEA_INIT1_AT, NMEA_INIT_FIELD);
    n.Init2 = GetBlockString(data, count, NMEA_INIT2_AT, NMEA_INIT_FIELD);
    n.Custom = GetBlockString(data, count, NMEA_CUSTOM_AT, NMEA_CUSTOM_FIELD);
    return ParseResult::Ok;
}

} // namespace korvel

#include "model/configfile.h"

#include "model/itemreader.h"
#include "model/target.h"
#include "model/version.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace korvel {

namespace {

constexpr char kEol[] = "\r\n";

// The values a number of the file may take. A field's range is what the block that
// carries it to the module can hold: a value beyond it would reach the module cut to
// another number, so a file that holds one is refused as a whole.
struct ValueRange {
    int low = 0;
    int high = 0;
};

template <class T>
constexpr bool FitsType(ValueRange r) {
    return r.low >= std::numeric_limits<T>::min() && r.high <= std::numeric_limits<T>::max();
}

constexpr ValueRange kByte{0, 255};
// Set points travel as ten bits: a byte and the two low bits of the next one.
constexpr ValueRange kSetPoint{0, 1023};
// The factory high set point of an analog input is one above the largest code so that
// it is never crossed. The program files it, so a file of its own must open with it.
constexpr ValueRange kAnalogHighSetPoint{0, 1024};
// The calibration offset travels as a six-bit code (OffsetToCode).
constexpr ValueRange kOffset{-31, 32};
// The user range has eight bits' room: bits 0-1 in the channel's flags, the rest beside
// the high set point of a Pellar (a Korvel delivers bits 2-5 only, so less).
constexpr ValueRange kUserRange{0, 255};
// FleetSync numbers travel as 16 bits without a sign.
constexpr ValueRange kWord{0, 65535};
// Cursors, indexes and keys no field stands behind take any 16-bit number, as they
// always have.
constexpr ValueRange kAnyInt16{INT16_MIN, INT16_MAX};

bool InRange(long long v, ValueRange r) { return v >= r.low && v <= r.high; }

// One key's field in a channel record: a byte or a 16-bit value, with its range.
struct FieldRef {
    uint8_t* byte = nullptr;
    int16_t* word = nullptr;
    ValueRange range = kByte;
};
FieldRef B(uint8_t& v) { return {&v, nullptr, kByte}; }
template <ValueRange R>
FieldRef W(int16_t& v) {
    static_assert(FitsType<int16_t>(R), "a 16-bit field cannot hold its range");
    return {nullptr, &v, R};
}

// A key and where its value lives in a record for a given slot. The tables below give
// the keys in the order the file lists them; the reader looks keys up in the same
// tables, so a key is written and read by one entry.
template <class Rec>
struct KeyedField {
    const char* key;
    FieldRef (*at)(Rec& r, int slot);
};

using CI = ContactInputGroupRecord;
using AG = AnalogGroupRecord;
using TC = TempChannelRecord;
using OG = OutputGroupRecord;

const KeyedField<CI> kInputFields[] = {
    {"ccb", [](CI& r, int s) { return B(r.Flags[s]); }},
    {"itime_delay", [](CI& r, int s) { return B(r.Hold[s]); }},
    {"ochan", [](CI& r, int s) { return B(r.LocalOutput[s]); }},
    {"otime_delay", [](CI& r, int s) { return B(r.LocalOutputDelay[s]); }},
    {"Address0", [](CI& r, int s) { return B(r.DestStation[0][s]); }},
    {"Address1", [](CI& r, int s) { return B(r.DestStation[1][s]); }},
    {"Address2", [](CI& r, int s) { return B(r.DestStation[2][s]); }},
    {"Address3", [](CI& r, int s) { return B(r.DestStation[3][s]); }},
    {"channel0", [](CI& r, int s) { return B(r.DestChannel[0][s]); }},
    {"channel1", [](CI& r, int s) { return B(r.DestChannel[1][s]); }},
    {"channel2", [](CI& r, int s) { return B(r.DestChannel[2][s]); }},
    {"channel3", [](CI& r, int s) { return B(r.DestChannel[3][s]); }},
};

const KeyedField<AG> kAnalogFields[] = {
    {"ccb", [](AG& r, int s) { return B(r.Flags[s]); }},
    {"low_voltage", [](AG& r, int s) { return W<kSetPoint>(r.LowThreshold[s]); }},
    {"offset", [](AG& r, int s) { return W<kOffset>(r.Offset[s]); }},
    {"low_delay", [](AG& r, int s) { return B(r.LowHold[s]); }},
    {"low_address0", [](AG& r, int s) { return B(r.LowDestStation[0][s]); }},
    {"low_address1", [](AG& r, int s) { return B(r.LowDestStation[1][s]); }},
    {"low_channel0", [](AG& r, int s) { return B(r.LowDestChannel[0][s]); }},
    {"low_channel1", [](AG& r, int s) { return B(r.LowDestChannel[1][s]); }},
    {"low_ochan", [](AG& r, int s) { return B(r.LowLocalOutput[s]); }},
    {"low_otime_delay", [](AG& r, int s) { return B(r.LowOutputDelay[s]); }},
    {"high_voltage", [](AG& r, int s) { return W<kAnalogHighSetPoint>(r.HighThreshold[s]); }},
    {"high_delay", [](AG& r, int s) { return B(r.HighHold[s]); }},
    {"high_address0", [](AG& r, int s) { return B(r.HighDestStation[0][s]); }},
    {"high_address1", [](AG& r, int s) { return B(r.HighDestStation[1][s]); }},
    {"high_channel0", [](AG& r, int s) { return B(r.HighDestChannel[0][s]); }},
    {"high_channel1", [](AG& r, int s) { return B(r.HighDestChannel[1][s]); }},
    {"high_ochan", [](AG& r, int s) { return B(r.HighLocalOutput[s]); }},
    {"high_otime_delay", [](AG& r, int s) { return B(r.HighOutputDelay[s]); }},
    {"ichanQ", [](AG& r, int s) { return B(r.Qualifier[s]); }},
    {"userRange", [](AG& r, int s) { return W<kUserRange>(r.Modifier[s]); }},
};

// Temperature inputs are one table of single records: the channel picks the record.
const KeyedField<TC> kTempFields[] = {
    {"ccb", [](TC& r, int) { return B(r.Flags); }},
    {"low_temp", [](TC& r, int) { return W<kSetPoint>(r.LowThreshold); }},
    {"low_delay", [](TC& r, int) { return B(r.LowHold); }},
    {"low_address0", [](TC& r, int) { return B(r.LowDestStation[0]); }},
    {"low_address1", [](TC& r, int) { return B(r.LowDestStation[1]); }},
    {"low_channel0", [](TC& r, int) { return B(r.LowDestChannel[0]); }},
    {"low_channel1", [](TC& r, int) { return B(r.LowDestChannel[1]); }},
    {"low_ochan", [](TC& r, int) { return B(r.LowLocalOutput); }},
    {"low_otime_delay", [](TC& r, int) { return B(r.LowOutputDelay); }},
    {"high_temp", [](TC& r, int) { return W<kSetPoint>(r.HighThreshold); }},
    {"high_delay", [](TC& r, int) { return B(r.HighHold); }},
    {"high_address0", [](TC& r, int) { return B(r.HighDestStation[0]); }},
    {"high_address1", [](TC& r, int) { return B(r.HighDestStation[1]); }},
    {"high_channel0", [](TC& r, int) { return B(r.HighDestChannel[0]); }},
    {"high_channel1", [](TC& r, int) { return B(r.HighDestChannel[1]); }},
    {"high_ochan", [](TC& r, int) { return B(r.HighLocalOutput); }},
    {"high_otime_delay", [](TC& r, int) { return B(r.HighOutputDelay); }},
    {"ichanQ", [](TC& r, int) { return B(r.Qualifier); }},
};

const KeyedField<OG> kOutputFields[] = {
    {"ccb", [](OG& r, int s) { return B(r.Flags[s]); }},
    {"pulse_width", [](OG& r, int s) { return B(r.PulseWidth[s]); }},
};

template <class Rec, size_t N>
const KeyedField<Rec>* FindField(const KeyedField<Rec> (&table)[N], const QByteArray& key) {
    for (const KeyedField<Rec>& f : table)
        if (key == f.key) return &f;
    return nullptr;
}

// ---- writing -------------------------------------------------------------------

QByteArray Line(const char* key, long long value) {
    return QByteArray(key) + '=' + QByteArray::number(value) + kEol;
}

QByteArray Line(const char* key, FieldRef f) { return Line(key, f.byte ? *f.byte : *f.word); }

// System elements are whole numbers unless an editor left a fraction; a fraction is
// written in its shortest exact form, which the reader rounds.
QByteArray SystemValueText(double v) {
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QByteArray::number(static_cast<long long>(v));
    return QByteArray::number(v, 'f', QLocale::FloatingPointShortest);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray WithoutLeadingBlanks(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.mid(i);
}

// A text goes on its line as it is. One that an unquoted line would not carry back
// unchanged is written with its whole line quoted: a comma would cut it, a line end
// would split it and leading blanks would be skipped on reading. The reader takes a
// quoted item up to the closing quote, so such a text cannot also carry a double
// quote: those are dropped. A text that merely starts with a double quote needs
// nothing, since its line starts with the key.
QByteArray TextLine(const char* key, const QByteArray& text) {
    const bool needsQuotes = text.contains(',') || text.contains('\r') || text.contains('\n') ||
                             (!text.isEmpty() && IsBlank(text.front()));
    if (!needsQuotes) return QByteArray(key) + '=' + text + kEol;
    QByteArray quoted = text;
    quoted.replace('"', QByteArray());
    return '"' + QByteArray(key) + '=' + quoted + '"' + kEol;
}

template <class Rec, size_t N>
void WriteGroups(QByteArray& out, const char* section, Rec (&table)[GROUPS], int lastGroup,
                 const KeyedField<Rec> (&fields)[N]) {
    out += QByteArray(section) + kEol;
    for (int g = 0; g <= lastGroup; ++g) {
        out += Line("group", g);
        for (int s = 0; s < SLOTS; ++s) {
            out += Line("channel", s);
            for (const KeyedField<Rec>& f : fields) out += Line(f.key, f.at(table[g], s));
        }
    }
    out += kEol;
}

QByteArray TwoDigits(int v) { return QByteArray::number(v).rightJustified(2, '0'); }

// ---- reading -------------------------------------------------------------------

// The group cursor (set by "group" and "index") and the channel cursor (set by
// "channel"), shared by every section of one read.
struct Cursors {
    int group = 0;
    int channel = 0;
};

bool InRange(int v, int low, int high) { return v >= low && v <= high; }

// A decimal number rounded to a whole one, half to even. Blanks around it are allowed;
// nothing else is. The magnitude stops growing at a million, beyond every range.
std::optional<long long> ToWhole(const QByteArray& text) {
    qsizetype i = 0, end = text.size();
    while (i < end && IsBlank(text[i])) ++i;
    while (end > i && IsBlank(text[end - 1])) --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long whole = 0;
    int digits = 0;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
        whole = std::min(whole * 10 + (text[i] - '0'), 1000000LL);
    // 0 below a half, 1 exactly a half, 2 above it.
    int fraction = 0;
    if (i < end && text[i] == '.') {
        ++i;
        for (int place = 0; i < end && text[i] >= '0' && text[i] <= '9'; ++i, ++place, ++digits) {
            const int d = text[i] - '0';
            if (place == 0) fraction = d > 5 ? 2 : d == 5 ? 1 : 0;
            else if (d != 0 && fraction == 1) fraction = 2;
        }
    }
    if (digits == 0 || i != end) return std::nullopt;
    if (fraction == 2 || (fraction == 1 && whole % 2 == 1)) ++whole;
    return negative ? -whole : whole;
}

std::optional<int16_t> ToInt16(const QByteArray& text) {
    const auto v = ToWhole(text);
    if (!v || !InRange(*v, kAnyInt16)) return std::nullopt;
    return static_cast<int16_t>(*v);
}

// A key that stores nothing still carries a 16-bit number.
bool IgnoredValue(long long value) { return InRange(value, kAnyInt16); }

bool SetCursor(int& cursor, long long value) {
    if (!InRange(value, kAnyInt16)) return false;
    cursor = static_cast<int>(value);
    return true;
}

bool StoreByte(uint8_t& field, long long value) {
    if (!InRange(value, kByte)) return false;
    field = static_cast<uint8_t>(value);
    return true;
}

bool Store(FieldRef f, long long value) {
    if (!InRange(value, f.range)) return false;
    if (f.byte) *f.byte = static_cast<uint8_t>(value);
    else *f.word = static_cast<int16_t>(value);
    return true;
}

// Values outside a byte are refused: the module takes each element as one byte.
bool ParseSystemKey(const QByteArray& key, long long value, StationConfig& into) {
    for (int i = 0; i < NAMED_SYSTEM_VALUES; ++i) {
        if (key != SystemValueName(i)) continue;
        if (!InRange(value, kByte)) return false;
        into.SystemConfig[i] = static_cast<double>(value);
        return true;
    }
    return IgnoredValue(value);
}

// "group" and "channel" move the cursors; a field key stores at them.
template <class Rec, size_t N>
bool ParseGroupKey(const QByteArray& key, long long value, Rec (&table)[GROUPS],
                   const KeyedField<Rec> (&fields)[N], Cursors& cur) {
    if (key == "group") return SetCursor(cur.group, value);
    if (key == "channel") return SetCursor(cur.channel, value);
    const KeyedField<Rec>* f = FindField(fields, key);
    if (!f) return IgnoredValue(value);
    if (!InRange(cur.group, 0, GROUPS - 1) || !InRange(cur.channel, 0, SLOTS - 1)) return false;
    return Store(f->at(table[cur.group], cur.channel), value);
}

bool ParseInputKey(const QByteArray& key, long long value, StationConfig& into, Cursors& cur) {
    return ParseGroupKey(key, value, into.ContactInputTable, kInputFields, cur);
}

bool ParseAnalogKey(const QByteArray& key, long long value, StationConfig& into, Cursors& cur) {
    return ParseGroupKey(key, value, into.AnalogConfigTable, kAnalogFields, cur);
}

bool ParseOutputKey(const QByteArray& key, long long value, StationConfig& into, Cursors& cur) {
    return ParseGroupKey(key, value, into.OutputConfigTable, kOutputFields, cur);
}

bool ParseTemperatureKey(const QByteArray& key, long long value, StationConfig& into, Cursors& cur) {
    if (key == "group") return SetCursor(cur.group, value);
    if (key == "channel") return SetCursor(cur.channel, value);
    const KeyedField<TC>* f = FindField(kTempFields, key);
    if (!f) return IgnoredValue(value);
    if (!InRange(cur.channel, 0, SLOTS - 1)) return false;
    return Store(f->at(into.TempConfigTable[cur.channel], 0), value);
}

// The FleetSync number lists accept one position beyond what is written (3 and 20, as
// the tag lists accept 8); a value there is taken and dropped, but must still be one
// the list could hold.
static_assert(FitsType<int32_t>(kWord), "the FleetSync lists cannot hold their range");

bool StoreListValue(int32_t* list, int length, int index, long long value) {
    if (!InRange(index, 0, length) || !InRange(value, kWord)) return false;
    if (index < length) list[index] = static_cast<int32_t>(value);
    return true;
}

bool ParseKenwoodKey(const QByteArray& key, long long value, StationConfig& into, Cursors& cur) {
    FleetSyncSettings& fs = into.FleetSyncConfig;
    if (key == "index") return SetCursor(cur.group, value);
    if (key == "FS_FleetNumber") return StoreListValue(fs.FleetNumber, 3, cur.group, value);
    if (key == "FS_IDNumber") return StoreListValue(fs.IDNumber, 3, cur.group, value);
    if (key == "FS_SecurityFleet") return StoreListValue(fs.SecurityFleet, 20, cur.group, value);
    if (key == "FS_SecurityIDNumber") return StoreListValue(fs.SecurityIDNumber, 20, cur.group, value);
    if (key == "FS_ccb1") return StoreByte(fs.Ccb1, value);
    if (key == "FS_ccb2") return StoreByte(fs.Ccb2, value);
    if (key == "FS_ccb3") return StoreByte(fs.Ccb3, value);
    if (key == "FS_ReportTime") return StoreByte(fs.ReportTime, value);
    return IgnoredValue(value);
}

bool StoreTextByte(uint8_t& field, const QByteArray& text) {
    const auto v = ToWhole(text);
    return v && StoreByte(field, *v);
}

bool ParseTagsNMEAKey(const QByteArray& key, const QByteArray& text, StationConfig& into, Cursors& cur) {
    FleetSyncSettings& fs = into.FleetSyncConfig;
    NmeaSettings& n = into.NmeaConfig;
    if (key == "index") {
        const auto v = ToInt16(text);
        if (!v) return false;
        cur.group = *v;
        return true;
    }
    QByteArray* const tags[] = {fs.InputTagOff, fs.InputTagOn, fs.AnalogTag, fs.TempTag};
    const char* const tagKeys[] = {"FS_InputTagOff", "FS_InputTagOn", "FS_AnalogTag", "FS_TempTag"};
    for (int t = 0; t < 4; ++t) {
        if (key != tagKeys[t]) continue;
        if (!InRange(cur.group, 0, 8)) return false;
        if (cur.group < 8) tags[t][cur.group] = text;
        return true;
    }
    if (key == "FS_ReportTime") return StoreTextByte(fs.ReportTime, text);
    if (key == "NMEA_ccb1") return StoreTextByte(n.Ccb1, text);
    if (key == "NMEA_ccb2") return StoreTextByte(n.Ccb2, text);
    if (key == "NMEA_ccb3") return StoreTextByte(n.Ccb3, text);
    if (key == "NMEA_report_time") return StoreTextByte(n.ReportTime, text);
    if (key == "NMEA_time_mark") return StoreTextByte(n.TimeMark, text);
    if (key == "NMEA_init1") n.Init1 = text;
    else if (key == "NMEA_init2") n.Init2 = text;
    else if (key == "NMEA_custom") n.Custom = text;
    return true;
}

enum class Section { None, System, Inputs, Analogs, Temps, Outputs, Kenwood, Tags };

Section SectionNamed(const QByteArray& name) {
    if (name == "[system]") return Section::System;
    if (name == "[ichans]") return Section::Inputs;
    if (name == "[achans]") return Section::Analogs;
    if (name == "[tchans]") return Section::Temps;
    if (name == "[ochans]") return Section::Outputs;
    if (name == "[kenwood]" || name == "[kenwood_fleetids]" || name == "[kenwood_security]")
        return Section::Kenwood;
    if (name == "[kenwood_tags]" || name == "[nmea]") return Section::Tags;
    return Section::None;
}

bool ParseKeyLine(Section section, const QByteArray& key, const QByteArray& value, StationConfig& into,
                  Cursors& cur) {
    if (section == Section::Tags) return ParseTagsNMEAKey(key, value, into, cur);
    // Every key line of the other sections carries a number, whether its key is known
    // or not.
    const auto v = ToWhole(value);
    if (!v) return false;
    switch (section) {
    case Section::System: return ParseSystemKey(key, *v, into);
    case Section::Inputs: return ParseInputKey(key, *v, into, cur);
    case Section::Analogs: return ParseAnalogKey(key, *v, into, cur);
    case Section::Temps: return ParseTemperatureKey(key, *v, into, cur);
    case Section::Outputs: return ParseOutputKey(key, *v, into, cur);
    case Section::Kenwood: return ParseKenwoodKey(key, *v, into, cur);
    default: return true;
    }
}

QByteArray WithoutTrailingBlanks(QByteArray item) {
    while (!item.isEmpty() && IsBlank(item.back())) item.chop(1);
    return item;
}

// "Childs=" and a whole number 0 to 7, blanks around the number allowed.
std::optional<int> ChildLineCount(const QByteArray& line) {
    static const QByteArray prefix = "Childs=";
    if (!line.startsWith(prefix)) return std::nullopt;
    QByteArray number = WithoutTrailingBlanks(WithoutLeadingBlanks(line.mid(prefix.size())));
    if (number.isEmpty() || number.size() > 3) return std::nullopt;
    for (char c : number)
        if (c < '0' || c > '9') return std::nullopt;
    const int n = number.toInt();
    if (n > MAX_CHILD_MODULES) return std::nullopt;
    return n;
}

} // namespace

QByteArray ConfigurationFileText() {
    StationConfig& c = config();
    const TargetState& t = target();
    const int children = std::min<int>(t.ChildCount, MAX_CHILD_MODULES);
    int lastInputGroup = children, lastAnalogGroup = children;
    if (t.PellarDevice) {
        lastInputGroup = LastBoard(t.ExpansionBoardMask, CONTACT_BOARD_BITS);
        lastAnalogGroup = LastBoard(t.ExpansionBoardMask, ANALOG_BOARD_BITS);
    }

    QByteArray out = DataFileHeader();
    out += Line("Childs", t.ChildCount);
    out += kEol;

    out += QByteArray("[system]") + kEol;
    for (int i = 0; i < NAMED_SYSTEM_VALUES; ++i)
        out += QByteArray(SystemValueName(i)) + '=' + SystemValueText(c.SystemConfig[i]) + kEol;
    out += kEol;

    WriteGroups(out, "[ichans]", c.ContactInputTable, lastInputGroup, kInputFields);
    WriteGroups(out, "[achans]", c.AnalogConfigTable, lastAnalogGroup, kAnalogFields);

    out += QByteArray("[tchans]") + kEol;
    for (int ch = 0; ch < SLOTS; ++ch) {
        out += Line("channel", ch);
        for (const KeyedField<TC>& f : kTempFields) out += Line(f.key, f.at(c.TempConfigTable[ch], 0));
    }
    out += kEol;

    WriteGroups(out, "[ochans]", c.OutputConfigTable, children, kOutputFields);

    const FleetSyncSettings& fs = c.FleetSyncConfig;
    out += QByteArray("[kenwood]") + kEol;
    out += Line("FS_ccb1", fs.Ccb1);
    out += Line("FS_ccb2", fs.Ccb2);
    out += Line("FS_ccb3", fs.Ccb3);
    out += Line("FS_ReportTime", fs.ReportTime);
    out += kEol;

    out += QByteArray("[kenwood_fleetids]") + kEol;
    for (int i = 0; i < 3; ++i) {
        out += Line("index", i);
        out += Line("FS_FleetNumber", fs.FleetNumber[i]);
        out += Line("FS_IDNumber", fs.IDNumber[i]);
    }
    out += kEol;

    out += QByteArray("[kenwood_security]") + kEol;
    for (int i = 0; i < 20; ++i) {
        out += Line("index", i);
        out += Line("FS_SecurityFleet", fs.SecurityFleet[i]);
        out += Line("FS_SecurityIDNumber", fs.SecurityIDNumber[i]);
    }
    out += kEol;

    out += QByteArray("[kenwood_tags]") + kEol;
    for (int i = 0; i < 8; ++i) {
        out += Line("index", i);
        out += TextLine("FS_InputTagOff", fs.InputTagOff[i]);
        out += TextLine("FS_InputTagOn", fs.InputTagOn[i]);
        out += TextLine("FS_AnalogTag", fs.AnalogTag[i]);
        out += TextLine("FS_TempTag", fs.TempTag[i]);
    }
    out += kEol;

    const NmeaSettings& n = c.NmeaConfig;
    out += QByteArray("[nmea]") + kEol;
    out += Line("NMEA_ccb1", n.Ccb1);
    out += Line("NMEA_ccb2", n.Ccb2);
    out += Line("NMEA_ccb3", n.Ccb3);
    out += Line("NMEA_report_time", n.ReportTime);
    out += Line("NMEA_time_mark", n.TimeMark);
    out += TextLine("NMEA_init1", n.Init1);
    out += TextLine("NMEA_init2", n.Init2);
    out += TextLine("NMEA_custom", n.Custom);
    out += kEol;
    return out;
}

QByteArray DataFileHeader() {
    QByteArray out = QByteArray("Korvel") + kEol;
    out += "Version " + TwoDigits(ProgramVersionMajor) + '.' + TwoDigits(ProgramVersionMinor) + '.' +
           TwoDigits(ProgramVersionRevision) + kEol;
    return out;
}

ConfigFileStatus CheckDataFileHeader(ItemReader& r) {
    const auto product = r.Next();
    if (!product) return ConfigFileStatus::Corrupt;
    if (WithoutTrailingBlanks(*product) != "Korvel") return ConfigFileStatus::BadProduct;

    const auto versionItem = r.Next();
    if (!versionItem) return ConfigFileStatus::Corrupt;
    const QByteArray version = WithoutTrailingBlanks(*versionItem);
    if (version.size() < 16) return ConfigFileStatus::ShortVersion;
    const auto major = ToInt16(version.mid(8, 2));
    const auto minor = ToInt16(version.mid(11, 2));
    const auto revision = ToInt16(version.mid(14, 2));
    if (!major || !minor || !revision) return ConfigFileStatus::Corrupt;
    // Files older than 00.00.18 have another layout.
    if (*major < 1 && *minor < 1 && *revision < 18) return ConfigFileStatus::OldVersion;
    return ConfigFileStatus::Ok;
}

bool ReadConfigurationFile(ItemReader& r, StationConfig& into) {
    Cursors cur;
    while (const auto item = r.Next()) {
        const Section section = SectionNamed(WithoutTrailingBlanks(*item));
        if (section == Section::None) continue;
        // The section runs to its blank line; the text must not end before it.
        while (!r.LastItemEmpty()) {
            const auto line = r.Next();
            if (!line) return false;
            const qsizetype eq = line->indexOf('=');
            if (eq < 0) continue;
            if (!ParseKeyLine(section, line->left(eq), line->mid(eq + 1), into, cur)) return false;
        }
    }
    return true;
}

ConfigFileStatus ParseConfigurationFile(const QByteArray& text, StationConfig& into, int* childCount) {
    ItemReader r(text, ItemReader::TrailingBlanks::Keep);
    const ConfigFileStatus header = CheckDataFileHeader(r);
    if (header != ConfigFileStatus::Ok) return header;

    const auto childItem = r.Next();
    if (!childItem) return ConfigFileStatus::Corrupt;
    const auto children = ChildLineCount(*childItem);
    if (!children) return ConfigFileStatus::BadChildLine;
    if (childCount) *childCount = *children;

    return ReadConfigurationFile(r, into) ? ConfigFileStatus::Ok : ConfigFileStatus::Corrupt;
}

} // namespace korvel

#include "model/blocks.h"
#include "model/configfile.h"
#include "model/itemreader.h"
#include "model/model.h"
#include "model/target.h"
#include "model/version.h"
#include "support/modelfixture.h"

#include <QList>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace korvel;
using namespace korvel::test;

namespace {

using ConfigFileTest = ModelFixture;

QByteArray Crlf(QByteArray text) { return text.replace("\n", "\r\n"); }

// A file with a good header and the given sections (written with \n for reading).
QByteArray File(const QByteArray& body, const QByteArray& childLine = "Childs=1") {
    return Crlf("Korvel\nVersion 01.00.00\n" + childLine + "\n\n" + body);
}

// The group numbers listed by a section, or {-1} when the section is absent.
QList<int> GroupsOf(const QByteArray& text, const QByteArray& section) {
    const qsizetype start = text.indexOf(section + "\r\n");
    if (start < 0) return {-1};
    const qsizetype end = text.indexOf("\r\n\r\n", start);
    QList<int> groups;
    for (const QByteArray& line : text.mid(start, end - start).split('\n'))
        if (line.startsWith("group=")) groups.append(line.mid(6).trimmed().toInt());
    return groups;
}

QList<int> Range(int first, int last) {
    QList<int> r;
    for (int i = first; i <= last; ++i) r.append(i);
    return r;
}

// ---- the item reader ------------------------------------------------------------

TEST(ItemReaderTest, KeepsOrTrimsTrailingBlanksAndReportsEmptyItemsAndTheEnd) {
    const QByteArray text = "  a b  ,\"q, r \" junk,x\r\n\r\nlast  \n";
    ItemReader keep(text, ItemReader::TrailingBlanks::Keep);
    EXPECT_FALSE(keep.LastItemEmpty());
    EXPECT_EQ(keep.Next(), QByteArray("a b  "));
    EXPECT_EQ(keep.Next(), QByteArray("q, r "));
    EXPECT_EQ(keep.Next(), QByteArray("x"));
    EXPECT_FALSE(keep.LastItemEmpty());
    EXPECT_EQ(keep.Next(), QByteArray(""));
    EXPECT_TRUE(keep.LastItemEmpty());
    EXPECT_FALSE(keep.AtEnd());
    EXPECT_EQ(keep.Next(), QByteArray("last  "));
    EXPECT_TRUE(keep.AtEnd());
    EXPECT_EQ(keep.Next(), std::nullopt);
    EXPECT_FALSE(keep.LastItemEmpty()) << "running out of text is not an empty item";

    ItemReader trim(text);
    EXPECT_EQ(trim.Next(), QByteArray("a b"));
    EXPECT_EQ(trim.Next(), QByteArray("q, r ")) << "a quoted item keeps its blanks either way";
    trim.Next();
    trim.Next();
    EXPECT_EQ(trim.Next(), QByteArray("last"));
}

// ---- the written text -----------------------------------------------------------

// Field k (in the file's key order) of group g, slot s holds 10 k + 8 g + s, so every
// value in the text names its field, group and slot.
int V(int k, int g, int s) { return 10 * k + 8 * g + s; }

void FillNumberedChannels() {
    StationConfig& c = config();
    for (int g = 0; g < GROUPS; ++g) {
        for (int s = 0; s < SLOTS; ++s) {
            ContactInputGroupRecord& ci = c.ContactInputTable[g];
            ci.Flags[s] = V(1, g, s);
            ci.Hold[s] = V(2, g, s);
            ci.LocalOutput[s] = V(3, g, s);
            ci.LocalOutputDelay[s] = V(4, g, s);
            for (int d = 0; d < 4; ++d) {
                ci.DestStation[d][s] = V(5 + d, g, s);
                ci.DestChannel[d][s] = V(9 + d, g, s);
            }
            AnalogGroupRecord& a = c.AnalogConfigTable[g];
            a.Flags[s] = V(1, g, s);
            a.LowThreshold[s] = 1000 + V(2, g, s);
            a.Offset[s] = -V(3, g, s);
            a.LowHold[s] = V(4, g, s);
            a.LowDestStation[0][s] = V(5, g, s);
            a.LowDestStation[1][s] = V(6, g, s);
            a.LowDestChannel[0][s] = V(7, g, s);
            a.LowDestChannel[1][s] = V(8, g, s);
            a.LowLocalOutput[s] = V(9, g, s);
            a.LowOutputDelay[s] = V(10, g, s);
            a.HighThreshold[s] = 1000 + V(11, g, s);
            a.HighHold[s] = V(12, g, s);
            a.HighDestStation[0][s] = V(13, g, s);
            a.HighDestStation[1][s] = V(14, g, s);
            a.HighDestChannel[0][s] = V(15, g, s);
            a.HighDestChannel[1][s] = V(16, g, s);
            a.HighLocalOutput[s] = V(17, g, s);
            a.HighOutputDelay[s] = V(18, g, s);
            a.Qualifier[s] = V(19, g, s);
            a.Modifier[s] = 1000 + V(20, g, s);
            c.OutputConfigTable[g].Flags[s] = V(1, g, s);
            c.OutputConfigTable[g].PulseWidth[s] = V(2, g, s);
        }
    }
    for (int ch = 0; ch < SLOTS; ++ch) {
        TempChannelRecord& t = c.TempConfigTable[ch];
        t.Flags = V(1, 0, ch);
        t.LowThreshold = -V(2, 0, ch);
        t.LowHold = V(3, 0, ch);
        t.LowDestStation[0] = V(4, 0, ch);
        t.LowDestStation[1] = V(5, 0, ch);
        t.LowDestChannel[0] = V(6, 0, ch);
        t.LowDestChannel[1] = V(7, 0, ch);
        t.LowLocalOutput = V(8, 0, ch);
        t.LowOutputDelay = V(9, 0, ch);
        t.HighThreshold = 1000 + V(10, 0, ch);
        t.HighHold = V(11, 0, ch);
        t.HighDestStation[0] = V(12, 0, ch);
        t.HighDestStation[1] = V(13, 0, ch);
        t.HighDestChannel[0] = V(14, 0, ch);
        t.HighDestChannel[1] = V(15, 0, ch);
        t.HighLocalOutput = V(16, 0, ch);
        t.HighOutputDelay = V(17, 0, ch);
        t.Qualifier = V(18, 0, ch);
    }
}

struct Key {
    const char* name;
    int k;        // field number as filled above
    int sign;     // -1 for fields filled negative
    int plus;     // 1000 for fields filled above a byte
};

// Lines of one channel record, as the numbered fill gives them.
QByteArray Record(const std::vector<Key>& keys, int g, int s) {
    QByteArray out = "channel=" + QByteArray::number(s) + "\r\n";
    for (const Key& key : keys)
        out += QByteArray(key.name) + '=' + QByteArray::number(key.plus + key.sign * V(key.k, g, s)) + "\r\n";
    return out;
}

const std::vector<Key> kInputKeys = {
    {"ccb", 1, 1, 0},      {"itime_delay", 2, 1, 0}, {"ochan", 3, 1, 0},    {"otime_delay", 4, 1, 0},
    {"Address0", 5, 1, 0}, {"Address1", 6, 1, 0},    {"Address2", 7, 1, 0}, {"Address3", 8, 1, 0},
    {"channel0", 9, 1, 0}, {"channel1", 10, 1, 0},   {"channel2", 11, 1, 0}, {"channel3", 12, 1, 0},
};
const std::vector<Key> kAnalogKeys = {
    {"ccb", 1, 1, 0},           {"low_voltage", 2, 1, 1000},  {"offset", 3, -1, 0},
    {"low_delay", 4, 1, 0},     {"low_address0", 5, 1, 0},    {"low_address1", 6, 1, 0},
    {"low_channel0", 7, 1, 0},  {"low_channel1", 8, 1, 0},    {"low_ochan", 9, 1, 0},
    {"low_otime_delay", 10, 1, 0}, {"high_voltage", 11, 1, 1000}, {"high_delay", 12, 1, 0},
    {"high_address0", 13, 1, 0}, {"high_address1", 14, 1, 0}, {"high_channel0", 15, 1, 0},
    {"high_channel1", 16, 1, 0}, {"high_ochan", 17, 1, 0},    {"high_otime_delay", 18, 1, 0},
    {"ichanQ", 19, 1, 0},       {"userRange", 20, 1, 1000},
};
const std::vector<Key> kTempKeys = {
    {"ccb", 1, 1, 0},           {"low_temp", 2, -1, 0},       {"low_delay", 3, 1, 0},
    {"low_address0", 4, 1, 0},  {"low_address1", 5, 1, 0},    {"low_channel0", 6, 1, 0},
    {"low_channel1", 7, 1, 0},  {"low_ochan", 8, 1, 0},       {"low_otime_delay", 9, 1, 0},
    {"high_temp", 10, 1, 1000}, {"high_delay", 11, 1, 0},     {"high_address0", 12, 1, 0},
    {"high_address1", 13, 1, 0}, {"high_channel0", 14, 1, 0}, {"high_channel1", 15, 1, 0},
    {"high_ochan", 16, 1, 0},   {"high_otime_delay", 17, 1, 0}, {"ichanQ", 18, 1, 0},
};
const std::vector<Key> kOutputKeys = {{"ccb", 1, 1, 0}, {"pulse_width", 2, 1, 0}};

QByteArray GroupSection(const char* name, const std::vector<Key>& keys, int lastGroup) {
    QByteArray out = QByteArray(name) + "\r\n";
    for (int g = 0; g <= lastGroup; ++g) {
        out += "group=" + QByteArray::number(g) + "\r\n";
        for (int s = 0; s < SLOTS; ++s) out += Record(keys, g, s);
    }
    return out + "\r\n";
}

TEST_F(ConfigFileTest, TextOfAKorvelWithOneChild) {
    target().ChildCount = 1;
    SetDefaultConfiguration();
    FillNumberedChannels();
    StationConfig& c = config();
    c.SystemConfig[0] = 17;
    c.SystemConfig[7] = 2.5;  // a fraction an editor left behind
    c.SystemConfig[42] = 0.1;
    c.SystemConfig[43] = 99;  // unnamed elements are never filed
    FleetSyncSettings& fs = c.FleetSyncConfig;
    fs.Ccb1 = 0x81;
    fs.Ccb2 = 2;
    fs.Ccb3 = 3;
    fs.ReportTime = 0x85;
    fs.FleetNumber[1] = 349;
    fs.IDNumber[2] = 4999;
    fs.SecurityFleet[19] = -5;
    fs.SecurityIDNumber[0] = 32767;
    fs.InputTagOff[0] = "  Door open";
    fs.InputTagOn[7] = "On  ";
    fs.AnalogTag[3] = "Tank";
    fs.TempTag[5] = QByteArray("Heat \xb0", 6);
    NmeaSettings& n = c.NmeaConfig;
    n.Ccb1 = 0x80;
    n.Ccb2 = 5;
    n.Ccb3 = 0x8A;
    n.ReportTime = 60;
    n.TimeMark = 7;
    n.Init1 = "$PINIT";
    n.Custom = "CUST";

    QByteArray expected = "Korvel\r\n";
    expected += QString::asprintf("Version %02d.%02d.%02d\r\n", ProgramVersionMajor, ProgramVersionMinor,
                                  ProgramVersionRevision).toLatin1();
    expected += Crlf(
        "Childs=1\n"
        "\n"
        "[system]\n"
        "MyAddress=17\nModuleMode=48\nStartUpDelay=10\nStartUpOptions=0\n"
        "SPORT1_Ccb1=134\nSPORT1_Ccb2=2\nSPORT1_Ccb3=0\nSPORT1_DumpTime=2.5\nSPORT1_RetryTime=5\n"
        "SPORT1_RetryCount=3\nSPORT2_Ccb1=134\nSPORT2_Ccb2=2\nSPORT2_Ccb3=0\nSPORT2_DumpTime=5\n"
        "SPORT2_RetryTime=5\nSPORT2_RetryCount=3\nFFSK_Ccb1=128\nFFSK_Ccb2=3\nFFSK_Ccb3=1\n"
        "FFSK_RetryTime=10\nFFSK_RetryCount=5\nFFSK_SyncWordHigh=196\nFFSK_SyncWordLow=215\n"
        "FFSK_PTTStartDelay=10\nFFSK_CDDelayTime=15\nFFSK_OutputLevel=31\nRedLedOnTime=3\n"
        "RedLedOffTime=10\nRedLedFlashTime=4\nGreenLedOnTime=3\nGreenLedOffTime=10\n"
        "GreenLedFlashTime=4\nTEST_TIME=100\nSleepTime=65\nSleepReturn=10\nLogSystem=0\nLogInputs=0\n"
        "LogAnalogs=0\nLogTemperatures=0\nSampleTime=1\nAccumulatingTime=88\nLogRatio=50\n"
        "FFSK_PTTHangDelay=0.1\n"
        "\n");
    expected += GroupSection("[ichans]", kInputKeys, 1);
    expected += GroupSection("[achans]", kAnalogKeys, 1);
    expected += "[tchans]\r\n";
    for (int ch = 0; ch < SLOTS; ++ch) expected += Record(kTempKeys, 0, ch);
    expected += "\r\n";
    expected += GroupSection("[ochans]", kOutputKeys, 1);
    expected += Crlf("[kenwood]\nFS_ccb1=129\nFS_ccb2=2\nFS_ccb3=3\nFS_ReportTime=133\n\n"
                     "[kenwood_fleetids]\n"
                     "index=0\nFS_FleetNumber=100\nFS_IDNumber=1000\n"
                     "index=1\nFS_FleetNumber=349\nFS_IDNumber=1000\n"
                     "index=2\nFS_FleetNumber=100\nFS_IDNumber=4999\n"
                     "\n"
                     "[kenwood_security]\n");
    for (int i = 0; i < 20; ++i) {
        expected += "index=" + QByteArray::number(i) + "\r\n";
        expected += QByteArray("FS_SecurityFleet=") + (i == 19 ? "-5" : "0") + "\r\n";
        expected += QByteArray("FS_SecurityIDNumber=") + (i == 0 ? "32767" : "0") + "\r\n";
    }
    expected += "\r\n[kenwood_tags]\r\n";
    for (int i = 0; i < 8; ++i) {
        expected += "index=" + QByteArray::number(i) + "\r\n";
        // Leading blanks would be skipped on reading, so that line is quoted.
        expected += i == 0 ? QByteArray("\"FS_InputTagOff=  Door open\"\r\n") : QByteArray("FS_InputTagOff=\r\n");
        expected += QByteArray("FS_InputTagOn=") + (i == 7 ? "On  " : "") + "\r\n";
        expected += QByteArray("FS_AnalogTag=") + (i == 3 ? "Tank" : "") + "\r\n";
        expected += "FS_TempTag=" + (i == 5 ? QByteArray("Heat \xb0", 6) : QByteArray()) + "\r\n";
    }
    expected += Crlf("\n[nmea]\nNMEA_ccb1=128\nNMEA_ccb2=5\nNMEA_ccb3=138\nNMEA_report_time=60\n"
                     "NMEA_time_mark=7\nNMEA_init1=$PINIT\nNMEA_init2=\nNMEA_custom=CUST\n\n");

    const QByteArray text = ConfigurationFileText();
    // Line by line first, so a difference shows where it is.
    const QList<QByteArray> got = text.split('\n'), want = expected.split('\n');
    for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
        ASSERT_EQ(got[i].toStdString(), want[i].toStdString()) << "line " << i + 1;
    EXPECT_EQ(text, expected);
}

TEST_F(ConfigFileTest, GroupsWrittenFollowTheStationsShape) {
    TargetState& t = target();
    struct Case {
        const char* what;
        bool pellar;
        int children, mask;
        QList<int> inputs, analogs, outputs;
    };
    const Case cases[] = {
        {"Korvel alone", false, 0, 0xFF, {0}, {0}, {0}},
        {"Korvel with 7 children", false, 7, 0, Range(0, 7), Range(0, 7), Range(0, 7)},
        {"Pellar with contact board 3 only", true, 2, 0x40, Range(0, 3), {0}, Range(0, 2)},
        {"Pellar with analog boards 1 and 3", true, 0, 0x05, {0}, Range(0, 3), {0}},
        {"Pellar with both board 4s", true, 1, 0x88, Range(0, 4), Range(0, 4), Range(0, 1)},
        {"Pellar without boards", true, 0, 0, {0}, {0}, {0}},
    };
    for (const Case& k : cases) {
        t.PellarDevice = k.pellar;
        t.ChildCount = uint8_t(k.children);
        t.ExpansionBoardMask = int16_t(k.mask);
        const QByteArray text = ConfigurationFileText();
        EXPECT_EQ(GroupsOf(text, "[ichans]"), k.inputs) << k.what;
        EXPECT_EQ(GroupsOf(text, "[achans]"), k.analogs) << k.what;
        EXPECT_EQ(GroupsOf(text, "[ochans]"), k.outputs) << k.what;
        EXPECT_TRUE(text.contains("\r\nChilds=" + QByteArray::number(k.children) + "\r\n")) << k.what;
    }
}

// ---- saving and opening -----------------------------------------------------------

// Calls f(name, field) for every value the file carries.
template <class F>
void ForEachFileField(StationConfig& c, F&& f) {
    auto at = [](const char* name, int i) { return std::string(name) + "[" + std::to_string(i) + "]"; };
    for (int i = 0; i < NAMED_SYSTEM_VALUES; ++i) f(at("SystemConfig", i), c.SystemConfig[i]);
    for (int g = 0; g < GROUPS; ++g) {
        for (int s = 0; s < SLOTS; ++s) {
            const std::string gs = "[" + std::to_string(g) + "][" + std::to_string(s) + "]";
            ContactInputGroupRecord& ci = c.ContactInputTable[g];
            f("ci.Flags" + gs, ci.Flags[s]);
            f("ci.Hold" + gs, ci.Hold[s]);
            f("ci.LocalOutputDelay" + gs, ci.LocalOutputDelay[s]);
            f("ci.LocalOutput" + gs, ci.LocalOutput[s]);
            for (int d = 0; d < 4; ++d) {
                f("ci.DestStation" + std::to_string(d) + gs, ci.DestStation[d][s]);
                f("ci.DestChannel" + std::to_string(d) + gs, ci.DestChannel[d][s]);
            }
            AnalogGroupRecord& a = c.AnalogConfigTable[g];
            f("a.Flags" + gs, a.Flags[s]);
            f("a.LowThreshold" + gs, a.LowThreshold[s]);
            f("a.Offset" + gs, a.Offset[s]);
            f("a.LowHold" + gs, a.LowHold[s]);
            f("a.LowLocalOutput" + gs, a.LowLocalOutput[s]);
            f("a.LowOutputDelay" + gs, a.LowOutputDelay[s]);
            f("a.HighThreshold" + gs, a.HighThreshold[s]);
            f("a.HighHold" + gs, a.HighHold[s]);
            f("a.HighLocalOutput" + gs, a.HighLocalOutput[s]);
            f("a.HighOutputDelay" + gs, a.HighOutputDelay[s]);
            f("a.Qualifier" + gs, a.Qualifier[s]);
            f("a.Modifier" + gs, a.Modifier[s]);
            for (int d = 0; d < 2; ++d) {
                f("a.LowDestStation" + std::to_string(d) + gs, a.LowDestStation[d][s]);
                f("a.LowDestChannel" + std::to_string(d) + gs, a.LowDestChannel[d][s]);
                f("a.HighDestStation" + std::to_string(d) + gs, a.HighDestStation[d][s]);
                f("a.HighDestChannel" + std::to_string(d) + gs, a.HighDestChannel[d][s]);
            }
            f("o.Flags" + gs, c.OutputConfigTable[g].Flags[s]);
            f("o.PulseWidth" + gs, c.OutputConfigTable[g].PulseWidth[s]);
        }
    }
    for (int ch = 0; ch < SLOTS; ++ch) {
        TempChannelRecord& t = c.TempConfigTable[ch];
        const std::string n = "t[" + std::to_string(ch) + "].";
        f(n + "Flags", t.Flags);
        f(n + "LowThreshold", t.LowThreshold);
        f(n + "LowHold", t.LowHold);
        f(n + "LowLocalOutput", t.LowLocalOutput);
        f(n + "LowOutputDelay", t.LowOutputDelay);
        f(n + "HighThreshold", t.HighThreshold);
        f(n + "HighHold", t.HighHold);
        f(n + "HighLocalOutput", t.HighLocalOutput);
        f(n + "HighOutputDelay", t.HighOutputDelay);
        f(n + "Qualifier", t.Qualifier);
        for (int d = 0; d < 2; ++d) {
            f(n + "LowDestStation" + std::to_string(d), t.LowDestStation[d]);
            f(n + "LowDestChannel" + std::to_string(d), t.LowDestChannel[d]);
            f(n + "HighDestStation" + std::to_string(d), t.HighDestStation[d]);
            f(n + "HighDestChannel" + std::to_string(d), t.HighDestChannel[d]);
        }
    }
    FleetSyncSettings& fs = c.FleetSyncConfig;
    f("fs.Ccb1", fs.Ccb1);
    f("fs.Ccb2", fs.Ccb2);
    f("fs.Ccb3", fs.Ccb3);
    f("fs.ReportTime", fs.ReportTime);
    for (int i = 0; i < 3; ++i) {
        f(at("fs.FleetNumber", i), fs.FleetNumber[i]);
        f(at("fs.IDNumber", i), fs.IDNumber[i]);
    }
    for (int i = 0; i < 20; ++i) {
        f(at("fs.SecurityFleet", i), fs.SecurityFleet[i]);
        f(at("fs.SecurityIDNumber", i), fs.SecurityIDNumber[i]);
    }
    for (int i = 0; i < 8; ++i) {
        f(at("fs.InputTagOff", i), fs.InputTagOff[i]);
        f(at("fs.InputTagOn", i), fs.InputTagOn[i]);
        f(at("fs.AnalogTag", i), fs.AnalogTag[i]);
        f(at("fs.TempTag", i), fs.TempTag[i]);
    }
    NmeaSettings& n = c.NmeaConfig;
    f("n.Ccb1", n.Ccb1);
    f("n.Ccb2", n.Ccb2);
    f("n.Ccb3", n.Ccb3);
    f("n.ReportTime", n.ReportTime);
    f("n.TimeMark", n.TimeMark);
    f("n.Init1", n.Init1);
    f("n.Init2", n.Init2);
    f("n.Custom", n.Custom);
}

// Every filed value of c in order, one "name=value" each.
std::vector<std::string> FileFields(StationConfig& c) {
    std::vector<std::string> out;
    ForEachFileField(c, [&](const std::string& name, auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, QByteArray>) out.push_back(name + "=\"" + v.toStdString() + "\"");
        else out.push_back(name + "=" + std::to_string(v));
    });
    return out;
}

// Fills every filed value with a pseudo-random one that the file can carry: bytes,
// set points of ten bits, offsets -31 to 32, user ranges of a byte, FleetSync numbers
// of 16 bits, system values 0 to 255, texts of 20 single-byte characters at most with
// commas, double quotes in front, trailing blanks and bytes above 127.
void FillRandom(StationConfig& c, uint32_t seed) {
    uint32_t x = seed;
    auto next = [&x] { return x = x * 1664525u + 1013904223u, x >> 8; };
    ForEachFileField(c, [&](const std::string& name, auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, QByteArray>) {
            static const char chars[] = "abcXYZ09 ,.-$\xe9\xb0";
            const bool leadingQuote = next() % 4 == 0;
            QByteArray text = leadingQuote ? "\"" : "";
            for (int n = int(next() % 19); n > 0; --n) text += chars[next() % (sizeof chars - 1)];
            if (leadingQuote) text.replace(',', '.');
            while (text.startsWith(' ')) text.remove(0, 1);
            v = text;
        } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, double>) {
            v = T(next() % 256);
        } else if constexpr (std::is_same_v<T, int16_t>) {
            if (name.find("Offset") != std::string::npos) v = T(int(next() % 64) - 31);
            else if (name.find("Modifier") != std::string::npos) v = T(next() % 256);
            else v = T(next() % 1024);
        } else {
            v = T(next() % 65536);
        }
    });
}

TEST_F(ConfigFileTest, SavedFileOpensToTheSameConfiguration) {
    target().ChildCount = 7;
    StationConfig& c = config();
    for (uint32_t seed : {1u, 2u, 3u}) {
        FillRandom(c, seed);
        c.FleetSyncConfig.ReportTime = 0x8C;
        c.FleetSyncConfig.InputTagOff[1] = "a,b";
        c.FleetSyncConfig.InputTagOn[2] = "\"quoted";
        c.FleetSyncConfig.AnalogTag[3] = "trailing   ";
        c.FleetSyncConfig.TempTag[4] = ",";
        c.NmeaConfig.Custom = "$GP,1,2 ";
        c.SystemConfig[50] = 77;
        const QByteArray text = ConfigurationFileText();

        auto read = std::make_unique<StationConfig>();
        FillRandom(*read, seed + 100);
        read->SystemConfig[50] = 5;
        int children = -1;
        ASSERT_EQ(ParseConfigurationFile(text, *read, &children), ConfigFileStatus::Ok) << "seed " << seed;
        EXPECT_EQ(children, 7);
        const std::vector<std::string> want = FileFields(c), got = FileFields(*read);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "seed " << seed;
        EXPECT_EQ(read->SystemConfig[50], 5) << "unnamed system elements are not in the file";
    }
}

// Every value a module's blocks can deliver, at both ends of each field, goes into a
// file and back unchanged: no field's file range is narrower than its block's.
TEST_F(ConfigFileTest, WhatAModuleDeliversSurvivesASaveAndOpen) {
    uint8_t data[CONFIG_BLOCK_MAX_BYTES];
    for (const bool pellar : {false, true}) {
        for (const int fill : {0x00, 0x80, 0xFF}) {
            SCOPED_TRACE((pellar ? "Pellar, every byte " : "Korvel, every byte ") + std::to_string(fill));
            ResetStationConfig();
            TargetState& t = target();
            t.PellarDevice = pellar;
            t.ChildCount = 7;
            t.ExpansionBoardMask = 0xFF;  // a Pellar files input and analog groups 0 to 4
            auto deliver = [&](int bytes, int index, ParseResult (*parse)(const uint8_t*, int)) {
                std::memset(data, fill, sizeof data);
                data[0] = uint8_t(index);
                ASSERT_EQ(parse(data, bytes), ParseResult::Ok);
            };
            deliver(SYSTEM_BLOCK_BYTES, 0, ParseSystemBlock);
            deliver(TEMP_BLOCK_BYTES, 0, ParseTemperatureBlock);
            deliver(NMEA_BLOCK_BYTES, fill, ParseNmeaBlock);  // its first setting stands at the index byte
            deliver(FLEETSYNC_SETTINGS_BYTES, 0, ParseFleetSyncBlock);
            for (int sub = 1; sub <= 4; ++sub) deliver(FLEETSYNC_TAGS_BYTES, sub, ParseFleetSyncBlock);
            for (int g = 0; g < GROUPS; ++g) {
                deliver(OUTPUT_BLOCK_BYTES, g, ParseOutputBlock);
                if (pellar && g > 4) continue;
                deliver(INPUT_BLOCK_BYTES, g, ParseInputBlock);
                deliver(ANALOG_BLOCK_BYTES, g, ParseAnalogBlock);
            }
            const AnalogGroupRecord& a = config().AnalogConfigTable[4];
            if (fill == 0xFF) {  // the ends the blocks reach
                ASSERT_EQ(a.HighThreshold[7], 1023);
                ASSERT_EQ(a.Offset[7], -31);
                ASSERT_EQ(a.Modifier[7], pellar ? 255 : 63);
                ASSERT_EQ(config().FleetSyncConfig.SecurityIDNumber[19], 65535);
            } else if (fill == 0x80) {
                ASSERT_EQ(a.Offset[7], 32);
            }

            auto read = std::make_unique<StationConfig>();
            ASSERT_EQ(ParseConfigurationFile(ConfigurationFileText(), *read, nullptr), ConfigFileStatus::Ok);
            EXPECT_EQ(FileFields(*read), FileFields(config()));
        }
    }
}

TEST_F(ConfigFileTest, TextsWithCommasOrQuotesSurvive) {
    FleetSyncSettings& fs = config().FleetSyncConfig;
    fs.InputTagOff[0] = "a,b";
    fs.InputTagOn[1] = "\"quoted\" text";
    fs.AnalogTag[2] = "say \"hi\", there ";
    fs.TempTag[3] = "   lead, and trail  ";
    config().NmeaConfig.Init1 = "$PX,1";
    config().NmeaConfig.Init2 = " lead";
    config().NmeaConfig.Custom = "two\r\nlines";

    const QByteArray text = ConfigurationFileText();
    EXPECT_TRUE(text.contains("\r\n\"FS_InputTagOff=a,b\"\r\n"));
    EXPECT_TRUE(text.contains("\r\nFS_InputTagOn=\"quoted\" text\r\n"));
    EXPECT_TRUE(text.contains("\r\n\"FS_AnalogTag=say hi, there \"\r\n")) << "double quotes dropped";
    EXPECT_TRUE(text.contains("\r\n\"FS_TempTag=   lead, and trail  \"\r\n"));
    EXPECT_TRUE(text.contains("\r\n\"NMEA_init1=$PX,1\"\r\n"));
    EXPECT_TRUE(text.contains("\r\nFS_InputTagOff=\r\n")) << "empty texts stay unquoted";

    StationConfig read;
    ASSERT_EQ(ParseConfigurationFile(text, read, nullptr), ConfigFileStatus::Ok);
    EXPECT_EQ(read.FleetSyncConfig.InputTagOff[0], "a,b");
    EXPECT_EQ(read.FleetSyncConfig.InputTagOn[1], "\"quoted\" text");
    EXPECT_EQ(read.FleetSyncConfig.AnalogTag[2], "say hi, there ");
    EXPECT_EQ(read.FleetSyncConfig.TempTag[3], "   lead, and trail  ");
    EXPECT_EQ(read.NmeaConfig.Init1, "$PX,1");
    EXPECT_EQ(read.NmeaConfig.Init2, " lead");
    EXPECT_EQ(read.NmeaConfig.Custom, "two\r\nlines");
}

// ---- hand-edited files ------------------------------------------------------------

TEST_F(ConfigFileTest, SectionsInAnyOrderMissingOrRepeated) {
    auto read = std::make_unique<StationConfig>();
    read->AnalogConfigTable[0].Flags[0] = 42;
    read->SystemConfig[2] = 33;
    const QByteArray text = File(
        "[nmea]\nNMEA_ccb2=9\nNMEA_init2=late\n\n"
        "[system]\nMyAddress=5\nModuleMode=6\n\n"
        "[ochans]\ngroup=1\nchannel=2\nccb=128\n\n"
        "[system]\nMyAddress=9\n\n");
    ASSERT_EQ(ParseConfigurationFile(text, *read, nullptr), ConfigFileStatus::Ok);
    EXPECT_EQ(read->NmeaConfig.Ccb2, 9);
    EXPECT_EQ(read->NmeaConfig.Init2, "late");
    EXPECT_EQ(read->SystemConfig[0], 9) << "the second section wins";
    EXPECT_EQ(read->SystemConfig[1], 6) << "...key by key";
    EXPECT_EQ(read->SystemConfig[2], 33) << "values the file does not name keep what was there";
    EXPECT_EQ(read->OutputConfigTable[1].Flags[2], 128);
    EXPECT_EQ(read->AnalogConfigTable[0].Flags[0], 42) << "a missing section changes nothing";
}

TEST_F(ConfigFileTest, UnknownKeysStrayItemsQuotesAndBlankLines) {
    auto read = std::make_unique<StationConfig>();
    const QByteArray text = File(
        "junk before any section\n"
        "[System]\nMyAddress=200\n\n"  // section names are case-sensitive
        "[system]\nNoSuchKey=12\nno equals sign\n\"ModuleMode=7\",trailing junk\n  StartUpDelay = 3\n"
        "myaddress=99\n\nMyAddress=44\n\n"  // after the blank line the section is over
        "[kenwood_tags]\nindex=2\nFS_InputTagOff=x=y\nUnknownText=not a number\n\n");
    ASSERT_EQ(ParseConfigurationFile(text, *read, nullptr), ConfigFileStatus::Ok);
    EXPECT_EQ(read->SystemConfig[0], 0) << "neither [System] nor a line after the blank line counts";
    EXPECT_EQ(read->SystemConfig[1], 7);
    EXPECT_EQ(read->SystemConfig[2], 0) << "\"StartUpDelay \" is another key";
    EXPECT_EQ(read->FleetSyncConfig.InputTagOff[2], "x=y");
}

TEST_F(ConfigFileTest, CursorsCarryOverBetweenSections) {
    auto read = std::make_unique<StationConfig>();
    const QByteArray text = File(
        "[ichans]\ngroup=2\nchannel=5\nccb=1\n\n"
        "[ochans]\npulse_width=77\n\n"
        "[tchans]\ngroup=3\nlow_temp=40\n\n"  // temperatures set the group cursor but ignore it
        "[ochans]\nccb=9\n\n"
        "[kenwood_fleetids]\nindex=1\n\n"
        "[kenwood_tags]\nFS_TempTag=one\n\n");
    ASSERT_EQ(ParseConfigurationFile(text, *read, nullptr), ConfigFileStatus::Ok);
    EXPECT_EQ(read->ContactInputTable[2].Flags[5], 1);
    EXPECT_EQ(read->OutputConfigTable[2].PulseWidth[5], 77);
    EXPECT_EQ(read->TempConfigTable[5].LowThreshold, 40);
    EXPECT_EQ(read->OutputConfigTable[3].Flags[5], 9);
    EXPECT_EQ(read->FleetSyncConfig.TempTag[1], "one");
}

TEST_F(ConfigFileTest, CutFileFailsAfterStoringWhatCameBefore) {
    auto read = std::make_unique<StationConfig>();
    const QByteArray whole = File("[system]\nMyAddress=5\n\n[nmea]\nNMEA_ccb1=128\nNMEA_custom=C\n\n");
    ASSERT_EQ(ParseConfigurationFile(whole, *read, nullptr), ConfigFileStatus::Ok);

    *read = StationConfig{};
    int children = -1;
    EXPECT_EQ(ParseConfigurationFile(whole.chopped(2), *read, &children), ConfigFileStatus::Corrupt);
    EXPECT_EQ(read->SystemConfig[0], 5);
    EXPECT_EQ(read->NmeaConfig.Custom, "C") << "the last line itself was read";
    EXPECT_EQ(children, 1) << "the header had passed";
    EXPECT_EQ(ParseConfigurationFile(File("[ochans]"), *read, nullptr), ConfigFileStatus::Corrupt);
    EXPECT_EQ(ParseConfigurationFile(File("[ochans]\n"), *read, nullptr), ConfigFileStatus::Corrupt);
    EXPECT_EQ(ParseConfigurationFile(File("not a section\n"), *read, nullptr), ConfigFileStatus::Ok);
}

TEST_F(ConfigFileTest, NumbersAreRoundedHalfToEvenAndRangeChecked) {
    struct Case {
        QByteArray body;
        ConfigFileStatus status;
        int16_t stored;  // ichans group 0 channel 0 field, achans offset or set point, or MyAddress
    };
    const Case cases[] = {
        {"[system]\nMyAddress=2.5\n\n", ConfigFileStatus::Ok, 2},
        {"[system]\nMyAddress=3.5\n\n", ConfigFileStatus::Ok, 4},
        {"[system]\nMyAddress=2.51\n\n", ConfigFileStatus::Ok, 3},
        {"[system]\nMyAddress=2.49999\n\n", ConfigFileStatus::Ok, 2},
        {"[system]\nMyAddress= 7 \n\n", ConfigFileStatus::Ok, 7},
        {"[system]\nMyAddress=+8\n\n", ConfigFileStatus::Ok, 8},
        {"[system]\nMyAddress=255\n\n", ConfigFileStatus::Ok, 255},
        {"[system]\nMyAddress=0.4\n\n", ConfigFileStatus::Ok, 0},
        {"[system]\nMyAddress=300\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=-1\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=255.5\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=abc\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=1e2\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nMyAddress=4x\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nNotAKey=abc\n\n", ConfigFileStatus::Corrupt, 0},
        {"[system]\nNotAKey=40000\n\n", ConfigFileStatus::Corrupt, 0},
        {"[ichans]\nccb=255\n\n", ConfigFileStatus::Ok, 255},
        {"[ichans]\nccb=256\n\n", ConfigFileStatus::Corrupt, 0},
        {"[ichans]\nochan=-1\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=-32768\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=1022.5\n\n", ConfigFileStatus::Ok, 1022},
        {"[achans]\nlow_voltage=-0.5\n\n", ConfigFileStatus::Ok, 0},
        {"[achans]\noffset=-1.5\n\n", ConfigFileStatus::Ok, -2},
        {"[achans]\noffset=-30.5\n\n", ConfigFileStatus::Ok, -30},
        {"[achans]\noffset=-31.5\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=1023.5\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=32767.5\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=32768\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=-32769\n\n", ConfigFileStatus::Corrupt, 0},
        {"[achans]\nlow_voltage=99999999999999999999\n\n", ConfigFileStatus::Corrupt, 0},
        {"[nmea]\nNMEA_ccb1=256\n\n", ConfigFileStatus::Corrupt, 0},
        {"[nmea]\nNMEA_time_mark=x\n\n", ConfigFileStatus::Corrupt, 0},
    };
    for (const Case& k : cases) {
        auto read = std::make_unique<StationConfig>();
        EXPECT_EQ(ParseConfigurationFile(File(k.body), *read, nullptr), k.status) << k.body.toStdString();
        if (k.status != ConfigFileStatus::Ok) continue;
        const int stored = k.body.contains("[system]") ? int(read->SystemConfig[0])
                           : k.body.contains("[ichans]") ? read->ContactInputTable[0].Flags[0]
                           : k.body.contains("offset")   ? read->AnalogConfigTable[0].Offset[0]
                                                         : read->AnalogConfigTable[0].LowThreshold[0];
        EXPECT_EQ(stored, k.stored) << k.body.toStdString();
    }
}

// A field takes what the block that carries it to the module can hold and not one
// more, whatever its type in the model could take.
TEST_F(ConfigFileTest, EachFieldTakesTheRangeItsBlockHolds) {
    using SC = StationConfig;
    struct Field {
        const char* section;
        const char* key;
        int low, high;
        int (*stored)(const SC&);
    };
    const Field fields[] = {
        {"[ochans]", "pulse_width", 0, 255, [](const SC& c) { return int(c.OutputConfigTable[0].PulseWidth[0]); }},
        {"[nmea]", "NMEA_time_mark", 0, 255, [](const SC& c) { return int(c.NmeaConfig.TimeMark); }},
        {"[achans]", "low_voltage", 0, 1023,
         [](const SC& c) { return int(c.AnalogConfigTable[0].LowThreshold[0]); }},
        // The factory high set point, one above the largest code, is filed too.
        {"[achans]", "high_voltage", 0, 1024,
         [](const SC& c) { return int(c.AnalogConfigTable[0].HighThreshold[0]); }},
        {"[tchans]", "low_temp", 0, 1023, [](const SC& c) { return int(c.TempConfigTable[0].LowThreshold); }},
        {"[tchans]", "high_temp", 0, 1023, [](const SC& c) { return int(c.TempConfigTable[0].HighThreshold); }},
        {"[achans]", "offset", -31, 32, [](const SC& c) { return int(c.AnalogConfigTable[0].Offset[0]); }},
        {"[achans]", "userRange", 0, 255, [](const SC& c) { return int(c.AnalogConfigTable[0].Modifier[0]); }},
        {"[kenwood_fleetids]", "FS_FleetNumber", 0, 65535,
         [](const SC& c) { return int(c.FleetSyncConfig.FleetNumber[0]); }},
        {"[kenwood_security]", "FS_SecurityIDNumber", 0, 65535,
         [](const SC& c) { return int(c.FleetSyncConfig.SecurityIDNumber[0]); }},
    };
    auto parse = [](const char* section, const char* key, int value, StationConfig& into) {
        const QByteArray body = QByteArray(section) + '\n' + key + '=' + QByteArray::number(value) + "\n\n";
        return ParseConfigurationFile(File(body), into, nullptr);
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.key);
        for (const int v : {f.low, f.high}) {
            auto read = std::make_unique<StationConfig>();
            EXPECT_EQ(parse(f.section, f.key, v, *read), ConfigFileStatus::Ok) << v;
            EXPECT_EQ(f.stored(*read), v);
        }
        for (const int v : {f.low - 1, f.high + 1}) {
            auto read = std::make_unique<StationConfig>();
            EXPECT_EQ(parse(f.section, f.key, v, *read), ConfigFileStatus::Corrupt) << v;
        }
    }
    const char* const refused[] = {
        "[achans]\nlow_voltage=9999\n\n",  // reached the module as 783
        "[kenwood_fleetids]\nFS_FleetNumber=99999\n\n",
        "[kenwood_fleetids]\nFS_IDNumber=99999999999999999999\n\n",
        "[kenwood_fleetids]\nindex=1\nFS_IDNumber=65535.5\n\n",
        "[kenwood_security]\nindex=20\nFS_SecurityFleet=65536\n\n",  // the position whose value is dropped
    };
    for (const char* body : refused) {
        auto read = std::make_unique<StationConfig>();
        EXPECT_EQ(ParseConfigurationFile(File(body), *read, nullptr), ConfigFileStatus::Corrupt) << body;
    }
}

TEST_F(ConfigFileTest, CursorsAndIndexesOutOfRange) {
    struct Case {
        const char* body;
        ConfigFileStatus status;
    };
    const Case cases[] = {
        {"[ichans]\ngroup=8\nccb=1\n\n", ConfigFileStatus::Corrupt},
        {"[achans]\nchannel=-1\nccb=1\n\n", ConfigFileStatus::Corrupt},
        {"[ochans]\ngroup=8\nchannel=8\n\n", ConfigFileStatus::Ok},  // no field key follows
        {"[ochans]\ngroup=7\nchannel=7\npulse_width=1\n\n", ConfigFileStatus::Ok},
        {"[ichans]\ngroup=9\nunknown=1\n\n", ConfigFileStatus::Ok},
        {"[tchans]\nchannel=8\nccb=1\n\n", ConfigFileStatus::Corrupt},
        {"[tchans]\ngroup=9\nchannel=7\nccb=1\n\n", ConfigFileStatus::Ok},
        {"[kenwood_fleetids]\nindex=3\nFS_FleetNumber=1\nFS_IDNumber=2\n\n", ConfigFileStatus::Ok},
        {"[kenwood_fleetids]\nindex=4\nFS_FleetNumber=1\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood_fleetids]\nindex=-1\nFS_IDNumber=1\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood_security]\nindex=20\nFS_SecurityFleet=1\nFS_SecurityIDNumber=2\n\n", ConfigFileStatus::Ok},
        {"[kenwood_security]\nindex=21\nFS_SecurityIDNumber=1\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood_tags]\nindex=8\nFS_InputTagOff=a\nFS_TempTag=b\n\n", ConfigFileStatus::Ok},
        {"[kenwood_tags]\nindex=9\nFS_AnalogTag=a\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood_tags]\nindex=99\n\n", ConfigFileStatus::Ok},
        {"[kenwood_tags]\nindex=two\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood]\nFS_ReportTime=256\n\n", ConfigFileStatus::Corrupt},
        // Cursors and keys that store nothing still take 16-bit numbers only.
        {"[ochans]\ngroup=40000\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood_fleetids]\nindex=40000\n\n", ConfigFileStatus::Corrupt},
        {"[kenwood]\nunknown=65535\n\n", ConfigFileStatus::Corrupt},
        {"[tchans]\nunknown=-32768\n\n", ConfigFileStatus::Ok},
    };
    for (const Case& k : cases) {
        auto read = std::make_unique<StationConfig>();
        read->FleetSyncConfig.FleetNumber[2] = 11;
        read->FleetSyncConfig.SecurityIDNumber[19] = 12;
        read->FleetSyncConfig.TempTag[7] = "keep";
        EXPECT_EQ(ParseConfigurationFile(File(k.body), *read, nullptr), k.status) << k.body;
        EXPECT_EQ(read->FleetSyncConfig.FleetNumber[2], 11) << k.body;
        EXPECT_EQ(read->FleetSyncConfig.SecurityIDNumber[19], 12) << k.body;
        EXPECT_EQ(read->FleetSyncConfig.TempTag[7], "keep") << k.body;
    }
}

// ---- the header -------------------------------------------------------------------

TEST_F(ConfigFileTest, HeaderChecks) {
    struct Case {
        QByteArray header;
        ConfigFileStatus status;
        int children;  // -1: not given
    };
    const Case cases[] = {
        {"Korvel\nVersion 01.00.00\nChilds=1\n", ConfigFileStatus::Ok, 1},
        {"Korvel\nVersion 00.00.18\nChilds=0\n", ConfigFileStatus::Ok, 0},
        {"Korvel\nVersion 00.01.00\nChilds=7\n", ConfigFileStatus::Ok, 7},
        {"Korvel\nVersion 01.00.00 extra\nChilds= 3 \n", ConfigFileStatus::Ok, 3},
        {"Korvel\nVersion 00.00.17\nChilds=1\n", ConfigFileStatus::OldVersion, -1},
        {"Korvel\nVersion 00.00.00\nChilds=1\n", ConfigFileStatus::OldVersion, -1},
        {"Korvel\nVersion 01.00.0\nChilds=1\n", ConfigFileStatus::ShortVersion, -1},
        {"Korvel\n\nChilds=1\n", ConfigFileStatus::ShortVersion, -1},
        {"Korvel\nVersion xx.00.00\nChilds=1\n", ConfigFileStatus::Corrupt, -1},
        {"Korvel\nVersion 01.0?.00\nChilds=1\n", ConfigFileStatus::Corrupt, -1},
        {"korvel\nVersion 01.00.00\nChilds=1\n", ConfigFileStatus::BadProduct, -1},
        {"Korvel2\nVersion 01.00.00\nChilds=1\n", ConfigFileStatus::BadProduct, -1},
        {"\nKorvel\nVersion 01.00.00\nChilds=1\n", ConfigFileStatus::BadProduct, -1},
        {"Korvel\nVersion 01.00.00\nChilds=12\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChilds=8\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChilds=x\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChilds=\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChilds=-1\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChilds=1.0\n", ConfigFileStatus::BadChildLine, -1},
        {"Korvel\nVersion 01.00.00\nChildren=1\n", ConfigFileStatus::BadChildLine, -1},
    };
    for (const Case& k : cases) {
        auto read = std::make_unique<StationConfig>();
        int children = -1;
        const QByteArray text = Crlf(k.header + "\n[system]\nMyAddress=4\n\n");
        EXPECT_EQ(ParseConfigurationFile(text, *read, &children), k.status) << k.header.toStdString();
        EXPECT_EQ(children, k.children) << k.header.toStdString();
        EXPECT_EQ(read->SystemConfig[0], k.status == ConfigFileStatus::Ok ? 4 : 0) << k.header.toStdString();
    }
    // Text that ends inside the header.
    StationConfig read;
    for (const char* cut : {"", "Korvel\r\n", "Korvel\r\nVersion 01.00.00\r\n"})
        EXPECT_EQ(ParseConfigurationFile(cut, read, nullptr), ConfigFileStatus::Corrupt) << cut;
}

} // namespace

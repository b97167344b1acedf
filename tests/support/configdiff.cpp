#include "support/configdiff.h"

#include <type_traits>

namespace korvel::test {

namespace {

QString Show(const QByteArray& v) { return QLatin1Char('"') + QString::fromLatin1(v) + QLatin1Char('"'); }
QString Show(bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); }
QString Show(double v) { return QString::number(v, 'g', 17); }
template <typename T>
QString Show(T v) {
    return QString::number(v);
}

struct Differ {
    QStringList lines;

    template <typename T>
    void Field(const QString& name, const T& a, const T& b) {
        if constexpr (std::is_array_v<T>) {
            for (std::size_t i = 0; i < std::extent_v<T>; ++i)
                Field(name + QStringLiteral("[%1]").arg(i), a[i], b[i]);
        } else if (!(a == b)) {
            lines << name + QStringLiteral(": ") + Show(a) + QStringLiteral(" -> ") + Show(b);
        }
    }
};

#define FIELD(x) d.Field(p + QStringLiteral("." #x), a.x, b.x)

void Compare(Differ& d, const QString& p, const ContactInputGroupRecord& a, const ContactInputGroupRecord& b) {
    FIELD(Flags); FIELD(Hold); FIELD(LocalOutputDelay); FIELD(LocalOutput); FIELD(DestStation);
    FIELD(DestChannel); FIELD(Reserved); FIELD(BlockTrailer); FIELD(Present);
}

void Compare(Differ& d, const QString& p, const AnalogGroupRecord& a, const AnalogGroupRecord& b) {
    FIELD(Flags); FIELD(LowThreshold); FIELD(Offset); FIELD(LowHold); FIELD(LowDestStation);
    FIELD(LowDestChannel); FIELD(LowLocalOutput); FIELD(LowOutputDelay); FIELD(HighThreshold);
    FIELD(HighHold); FIELD(HighDestStation); FIELD(HighDestChannel); FIELD(HighLocalOutput);
    FIELD(HighOutputDelay); FIELD(Qualifier); FIELD(Reserved); FIELD(Present); FIELD(LiveValue);
    FIELD(RangeCode); FIELD(Modifier); FIELD(BlockTrailer);
}

void Compare(Differ& d, const QString& p, const TempChannelRecord& a, const TempChannelRecord& b) {
    FIELD(Flags); FIELD(LowThreshold); FIELD(LowHold); FIELD(LowDestStation); FIELD(LowDestChannel);
    FIELD(LowLocalOutput); FIELD(LowOutputDelay); FIELD(HighThreshold); FIELD(HighHold);
    FIELD(HighDestStation); FIELD(HighDestChannel); FIELD(HighLocalOutput); FIELD(HighOutputDelay);
    FIELD(Qualifier); FIELD(Reserved);
}

void Compare(Differ& d, const QString& p, const OutputGroupRecord& a, const OutputGroupRecord& b) {
    FIELD(Flags); FIELD(PulseWidth); FIELD(BlockTrailer);
}

void Compare(Differ& d, const QString& p, const FleetSyncSettings& a, const FleetSyncSettings& b) {
    FIELD(Ccb1); FIELD(Ccb2); FIELD(Ccb3); FIELD(ReportTime); FIELD(FleetNumber); FIELD(IDNumber);
    FIELD(SecurityFleet); FIELD(SecurityIDNumber); FIELD(InputTagOff); FIELD(InputTagOn);
    FIELD(AnalogTag); FIELD(TempTag);
}

void Compare(Differ& d, const QString& p, const NmeaSettings& a, const NmeaSettings& b) {
    FIELD(Ccb1); FIELD(Ccb2); FIELD(Ccb3); FIELD(ReportTime); FIELD(TimeMark); FIELD(Init1);
    FIELD(Init2); FIELD(Custom);
}

#undef FIELD

template <typename Record, std::size_t N>
void CompareTable(Differ& d, const char* name, const Record (&a)[N], const Record (&b)[N]) {
    for (std::size_t i = 0; i < N; ++i) Compare(d, QStringLiteral("%1[%2]").arg(QLatin1String(name)).arg(i), a[i], b[i]);
}

} // namespace

QStringList ConfigDifferences(const StationConfig& from, const StationConfig& to) {
    Differ d;
    d.Field(QStringLiteral("SystemConfig"), from.SystemConfig, to.SystemConfig);
    d.Field(QStringLiteral("SystemBlockTrailer"), from.SystemBlockTrailer, to.SystemBlockTrailer);
    CompareTable(d, "ContactInputTable", from.ContactInputTable, to.ContactInputTable);
    CompareTable(d, "AnalogConfigTable", from.AnalogConfigTable, to.AnalogConfigTable);
    CompareTable(d, "TempConfigTable", from.TempConfigTable, to.TempConfigTable);
    d.Field(QStringLiteral("TempBlockTrailer"), from.TempBlockTrailer, to.TempBlockTrailer);
    CompareTable(d, "OutputConfigTable", from.OutputConfigTable, to.OutputConfigTable);
    Compare(d, QStringLiteral("FleetSyncConfig"), from.FleetSyncConfig, to.FleetSyncConfig);
    Compare(d, QStringLiteral("NmeaConfig"), from.NmeaConfig, to.NmeaConfig);
    return d.lines;
}

} // namespace korvel::test

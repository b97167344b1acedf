#include "editors/station/stationinfo.h"
#include "model/model.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "control/session.h"
#include "editors/station/systemrules.h"

#include <algorithm>
#include <iterator>

namespace korvel {

namespace {

const QString kCaption = QStringLiteral("System Configuration, Station: ");

QString Version(uint8_t v) { return QString::number(v >> 4) + QLatin1Char('.') + QString::number(v & 15); }

void BoardLines(QStringList& lines, int mask, const char* title, const char* range) {
    lines << QLatin1String(title) + (mask == 0 ? QStringLiteral(" NONE") : QString());
    for (int i = 0; i < 4; ++i) {
        if (!(mask & (1 << i))) continue;
        lines << QStringLiteral("        Device %1 [%2 %3-%4]")
                     .arg(i + 1)
                     .arg(QLatin1String(range))
                     .arg(8 * i + 9)
                     .arg(8 * i + 16);
    }
}

} // namespace

StationInfo DescribeStation() {
    const TargetState& t = target();
    StationInfo info;
    info.pellarPaths = t.PellarDevice;
    if (session().Online == 0) {
        info.caption = kCaption;
        info.lines << QStringLiteral("OFFLINE EDIT");
        if (!t.PellarDevice) info.lines << QStringLiteral("CHILD MODULES = ") + QString::number(t.ChildCount);
        return info;
    }

    info.caption = StationCaption(kCaption);

    QString options;
    if (t.TargetOptions & 1) options += QStringLiteral("DUAL RS232; ");
    if (t.TargetOptions & 2) options += QStringLiteral("FFSK/LINE; ");
    if (t.TargetOptions & 4) options += QStringLiteral("10BASE-T");

    if (t.PellarDevice) {
        QStringList parts;
        for (const int16_t p : t.PellarVersion) parts << QString::number(p);
        info.lines << QStringLiteral("FIRMWARE VERSION: ") + parts.join(QLatin1Char('.')) +
                          QStringLiteral(" [Pellar]");
    } else {
        info.lines << QStringLiteral("FIRMWARE VERSION: ") + Version(t.TargetFirmwareVersion);
    }
    info.lines << QStringLiteral("OPTIONS PRESENT:") << options;

    const int sensors = t.TempSensorInfo & 0xFF;
    if (sensors == 0) {
        info.lines << QStringLiteral("TEMPERATURE SENSORS FOUND: ") + QStringLiteral(" NONE");
    } else {
        info.lines << QStringLiteral("TEMPERATURE SENSORS FOUND: ");
        for (int n = 0; n < 8; ++n)
            if (sensors & (1 << n)) info.lines << QStringLiteral("SENSOR [%1]").arg(n + 1);
    }

    if (t.PellarDevice) {
        BoardLines(info.lines, t.ExpansionBoardMask & 0x0F, "ANALOG EXPANSIONS FOUND: ", "Analogs");
        BoardLines(info.lines, (t.ExpansionBoardMask >> 4) & 0x0F, "CONTACT INPUT EXPANSIONS FOUND: ",
                   "Contact Inputs");
        return info;
    }
    if (t.ExpansionBoardMask == 0)
        info.lines << QStringLiteral("CHILD MODULES PRESENT: ") + QString::number(t.ChildCount);
    else
        info.lines << QStringLiteral("CHILD MODULE, ADDRESS: ") + QString::number(t.ExpansionBoardMask);
    // The list holds what the module reported of each child; a count beyond it has no
    // firmware to show.
    const int shown = std::min<int>(t.ChildCount, int(std::size(t.ChildModuleList)));
    for (int k = 1; k <= shown; ++k)
        info.lines << QStringLiteral("CHILD %1 FIRMWARE VERSION: ").arg(k) +
                          Version(t.ChildModuleList[k - 1].FirmwareVersion);
    return info;
}

} // namespace korvel

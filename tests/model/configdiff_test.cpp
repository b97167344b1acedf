// The tests' whole-configuration comparison names every value that moved, and only those.
#include "support/configdiff.h"

#include <gtest/gtest.h>

using namespace korvel;
using namespace korvel::test;

TEST(ConfigDifferences, NamesEachChangedValueDownToTheLastElement) {
    StationConfig a;
    SetDefaultConfiguration(a);
    StationConfig b = a;
    EXPECT_TRUE(ConfigDifferences(a, b).isEmpty());
    b.SystemConfig[161] = a.SystemConfig[161] + 0.5;
    b.ContactInputTable[7].DestChannel[3][7] ^= 1;
    b.AnalogConfigTable[7].BlockTrailer += 1;
    b.TempConfigTable[7].Qualifier ^= 1;
    b.FleetSyncConfig.TempTag[7] += "x";
    b.NmeaConfig.Custom += "y";
    const QStringList lines = ConfigDifferences(a, b);
    ASSERT_EQ(lines.size(), 6) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("SystemConfig[161]: ")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("ContactInputTable[7].DestChannel[3][7]: ")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("AnalogConfigTable[7].BlockTrailer: ")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("TempConfigTable[7].Qualifier: ")));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("FleetSyncConfig.TempTag[7]: ")));
    EXPECT_EQ(lines[5], QStringLiteral("NmeaConfig.Custom: \"") + QString::fromLatin1(a.NmeaConfig.Custom) +
                            QStringLiteral("\" -> \"") + QString::fromLatin1(b.NmeaConfig.Custom) + u'"');
}

#include "platform/digits.h"

#include <gtest/gtest.h>
#include <QString>

using namespace korvel;

namespace {

// The one reading of whole numbers behind the port, station, route, panel and fleet/ID
// fields: digits only, ASCII only, and a number too long read as the largest.
TEST(DigitsTest, DigitsOnlyAndNothingElse) {
    EXPECT_EQ(DigitsOnlyValue(QStringView(u"0")), 0);
    EXPECT_EQ(DigitsOnlyValue(QStringView(u"007")), 7);
    EXPECT_EQ(DigitsOnlyValue(QByteArrayView("65535")), 65535);
    for (const char* bad : {"", " 1", "1 ", "+1", "-1", "1x", "x1", "1.0", "0x10"}) {
        EXPECT_FALSE(DigitsOnlyValue(QByteArrayView(bad)).has_value()) << bad;
        EXPECT_FALSE(DigitsOnlyValue(QString::fromLatin1(bad)).has_value()) << bad;
    }
    // Digits of another script are not '0' to '9', nor is a Latin-1 byte above 127.
    EXPECT_FALSE(DigitsOnlyValue(QStringView(u"\u0661\u0662")).has_value());
    EXPECT_FALSE(DigitsOnlyValue(QByteArrayView("1\xB9")).has_value());
    EXPECT_EQ(DigitsOnlyValue(QStringView(u"9223372036854775807")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(DigitsOnlyValue(QStringView(u"9223372036854775808")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(DigitsOnlyValue(QByteArrayView("99999999999999999999999")), std::numeric_limits<qint64>::max());
}

TEST(DigitsTest, LeadingDigitsStopAtTheFirstOtherCharacter) {
    const LeadingDigits d = ReadLeadingDigits(QByteArrayView("123:4"));
    EXPECT_EQ(d.count, 3);
    EXPECT_EQ(d.value, 123);
    EXPECT_EQ(ReadLeadingDigits(QStringView(u":1")).count, 0);
    EXPECT_EQ(ReadLeadingDigits(QStringView(u"")).value, 0);
}

} // namespace

// The number a text begins with, under each caller's rule.
#include "model/textnumber.h"

#include <gtest/gtest.h>
#include <QString>
#include <cmath>

using namespace korvel;

TEST(TextNumber, DecimalsTakeSignDigitsAndOnePointAfterBlanks) {
    EXPECT_DOUBLE_EQ(LeadingDecimal(u" \t-12.5V"), -12.5);
    EXPECT_DOUBLE_EQ(LeadingDecimal(u"+3"), 3.0);
    EXPECT_DOUBLE_EQ(LeadingDecimal(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingDecimal(u"1.2.3"), 1.2) << "a second point ends the number";
    EXPECT_DOUBLE_EQ(LeadingDecimal(u"7e3"), 7.0) << "no exponent";
    // Too many digits for a double: beyond every range, never read as 0.
    EXPECT_EQ(LeadingDecimal(QStringLiteral("-1") + QString(400, u'0')), -HUGE_VAL);
    EXPECT_EQ(LeadingInteger(QString(400, u'9')), std::nullopt);
    EXPECT_EQ(LeadingDecimal(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1")), 0.0);
    for (const char16_t* none : {u"", u"-", u".", u"-.", u"abc", u"- 5", u"\n5"})
        EXPECT_DOUBLE_EQ(LeadingDecimal(none), 0.0) << QString::fromUtf16(none).toStdString();
}

TEST(TextNumber, AWholeDecimalIsTheEntireTextOrNothing) {
    EXPECT_EQ(WholeDecimal(u" -12.5 "), -12.5);
    EXPECT_EQ(WholeDecimal(u"5."), 5.0);
    EXPECT_EQ(WholeDecimal(u".5"), 0.5);
    EXPECT_EQ(WholeDecimal(u"+3"), 3.0);
    EXPECT_EQ(WholeDecimal(QString(400, u'9')), std::nullopt) << "beyond a double";
    for (const char16_t* none : {u"", u" ", u"-", u".", u"-.", u"1.2.3", u"12V", u"--1", u"1-", u"7e3", u"- 5"})
        EXPECT_EQ(WholeDecimal(none), std::nullopt) << QString::fromUtf16(none).toStdString();
}

TEST(TextNumber, WholeNumbersFollowTheCallersForm) {
    EXPECT_EQ(LeadingInteger(u"6500x"), 6500);
    EXPECT_EQ(LeadingInteger(u"-15"), -15);
    EXPECT_EQ(LeadingInteger(u"12.9"), 12) << "a point ends a whole number";
    EXPECT_EQ(LeadingInteger(u"\r\n 42", {.anyWhiteSpace = true}), 42);
    EXPECT_EQ(LeadingInteger(u"\r\n 42"), std::nullopt) << "only blanks and tabs by default";
    EXPECT_EQ(LeadingInteger(u"-5", {.sign = false}), std::nullopt);
    EXPECT_EQ(LeadingInteger(u"1234567890123", {.maxDigits = 9}), 123456789);
    EXPECT_EQ(LeadingInteger(u"99999999999"), std::nullopt) << "beyond int is no number";
    EXPECT_EQ(LeadingInteger(u"2147483647"), 2147483647);
    EXPECT_EQ(LeadingInteger(u"-2147483648"), INT_MIN);
    EXPECT_EQ(LeadingInteger(u"x1"), std::nullopt);
}

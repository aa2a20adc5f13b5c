#include "BoardAddress.h"
#include <gtest/gtest.h>

namespace {
struct Case {
    const char *text;
    const char *type;
    long long byteAdd;
    int mask;
    bool bit;
};
}

TEST(AddressGrammar, FormsOfTheLanguage)
{
    const Case cases[] = {
        {"W188", "W", 188, 1, false},      {"D1100", "D", 1100, 1, false},  {"b999", "B", 999, 1, false},
        {"B4001.0", "B", 4001, 1, true},   {"W4001.0", "B", 4001, 1, true},   // the type letter of a bit form is not
                                                                              // looked at
        {"B4001.7", "B", 4001, 128, true}, {"F87", "B", 42, 128, true},     {"f87", "B", 42, 128, true},
        {"F0", "B", 32, 1, true},          {"1F40H", "B", 8000, 1, false},  {"ffh", "B", 255, 1, false},
        {"0H", "B", 0, 1, false},          {"Z5", "B", 32, 1, false},   // unknown letter: the whole flag byte 32
        {"W", "W", 0, 1, false},                                        // no digits read as 0
        {"W12abc", "W", 12, 1, false},                                  // leading-number rule
        {"D65276", "D", 65276, 1, false},                               // last double word below FF00H
        {"FEFFH", "B", 65279, 1, false},
    };
    for (const Case &c : cases) {
        const BoardAddress a = ParseAddress(QString::fromLatin1(c.text));
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(a.sendable()) << a.problem.toStdString();
        EXPECT_EQ(a.type.toStdString(), c.type);
        EXPECT_EQ(a.byteAdd, c.byteAdd);
        EXPECT_EQ(a.bitAccess, c.bit);
        if (c.bit) {
            EXPECT_EQ(a.bitMask, c.mask);
        }
    }
    // Forms without a bit keep the mask they are given.
    EXPECT_EQ(ParseAddress(QStringLiteral("W10"), 8).bitMask, 8);
    EXPECT_EQ(ParseAddress(QStringLiteral("Q10"), 64).bitMask, 64);
}

TEST(AddressGrammar, AddressesThatCannotBeSentAreRefused)
{
    for (const char *t : {"W99999999", "B65536", "W65535",  "D65533",   "12345H",
                          "B-1",       "W-5",    "F-1",     "F524032",  "FF00H",
                          "FF02H",     "FFFFH",  "B65280",  "B65282",   "W65279",
                          "D65532",    "D65277", "F524031", "B65300.1", "B4001.9",
                          "B4001.10",  "B4001.", "",        "   ",      "D99999999999999999999999"}) {
        SCOPED_TRACE(t);
        EXPECT_FALSE(ParseAddress(QString::fromLatin1(t)).sendable());
    }
    EXPECT_EQ(ParseAddress(QStringLiteral("W99999999")).problem.toStdString(), "Address out of Range (0-65,535).");
    EXPECT_EQ(ParseAddress(QStringLiteral("B4001.9")).problem.toStdString(), "Bit Number out of Range (0-7).");
    // A high address byte of 0xFF is a re-sync on the wire.
    EXPECT_EQ(ParseAddress(QStringLiteral("FF02H")).problem.toStdString(), "Address out of Range (0-65,535).");
    EXPECT_TRUE(ParseAddress(QStringLiteral("B65279")).sendable());
    EXPECT_TRUE(ParseAddress(QStringLiteral("W65278")).sendable());
    EXPECT_TRUE(ParseAddress(QStringLiteral("F521983")).sendable());   // bit 7 of byte 65279
    EXPECT_FALSE(ParseAddress(QStringLiteral("F521984")).sendable());
}

TEST(AddressGrammar, LeadingNumberRule)
{
    EXPECT_EQ(LeadingNumber(QStringLiteral("  42x")), 42);
    EXPECT_EQ(LeadingNumber(QStringLiteral("-7")), -7);
    EXPECT_EQ(LeadingNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("")), 0);
    EXPECT_GT(LeadingNumber(QStringLiteral("999999999999999999999999999999")), 65535);   // saturates, no overflow
}

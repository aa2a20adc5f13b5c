#include "RSComm.h"
#include <QString>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

// Address validation and I/O point equates per board type, and the two-field
// point numbering. Board codes: 49 K2705, 50 K2707, 58 T6305, 68 T6850(PLC) ...
namespace {
struct ValidCase {
    const char *text;
    int code;
    bool valid;
};
struct EquateCase {
    const char *text;
    int code;
    const char *result;
};
}

TEST(ValidAdd, AddressesByBoardGroup)
{
    // Bytes 32..255 on the small boards, ..8275 on 50 and 68, ..65535 on the rest; words and double words
    // the same less one, and even; flags 0..120 on the small boards, ..991 on the others. X and Y up to 151
    // on 49 and 50, none on 0 and 68, up to 21 elsewhere; I up to 151 on 49 and 50, 21 on 51..54 and 56,
    // none elsewhere; a point's last digit is 0 or 1. The number is the leading number (no digits: 0) of
    // what lies between the letter and a bit; W188.3 is even by its byte.
    const ValidCase cases[] = {
        {"B31", 49, false},    {"B32", 49, true},     {"B255", 49, true},    {"B256", 49, false},
        {"B255", 66, true},    {"B256", 66, false},   {"B256", 50, true},    {"B8275", 50, true},
        {"B8276", 50, false},  {"B8275", 68, true},   {"B8276", 68, false},  {"B8276", 69, true},
        {"B65535", 55, true},  {"B65536", 55, false}, {"B65535", 57, true},  {"B31", 62, false},
        {"W188", 49, true},    {"W189", 49, false},   {"W254", 49, true},    {"W256", 49, false},
        {"W30", 49, false},    {"D254", 58, true},    {"D253", 58, false},   {"W8274", 68, true},
        {"W8276", 68, false},  {"D8274", 50, true},   {"W65534", 69, true},  {"W65535", 69, false},
        {"D65536", 69, false}, {"F0", 61, true},      {"F120", 61, true},    {"F121", 61, false},
        {"F991", 50, true},    {"F992", 50, false},   {"F991", 67, true},    {"F992", 67, false},
        {"W188abc", 49, true}, {"W", 49, false},      {"B-5", 69, false},    {"F-1", 69, false},
        {"X151", 49, true},    {"X160", 49, false},   {"X12", 49, false},    {"Y150", 50, true},
        {"Y152", 50, false},   {"X21", 58, true},     {"X22", 58, false},    {"X30", 58, false},
        {"X10", 68, false},    {"Y0", 68, false},     {"Y0", 0, false},      {"X0", 1, true},
        {"Y21", 69, true},     {"X-10", 49, false},   {"Y-1", 49, false},    {"I151", 49, true},
        {"I161", 49, false},   {"I0", 50, true},      {"I21", 51, true},     {"I21", 56, true},
        {"I22", 52, false},    {"I30", 54, false},    {"I0", 55, false},     {"I0", 58, false},
        {"I0", 68, false},     {"i11", 53, true},     {"B4001.0", 50, true}, {"B4001.0", 49, false},
        {"B255.7", 49, true},  {"W188.3", 49, true},  {"W189.3", 49, false}, {"X10.9", 58, true},
        {"X12.0", 58, false},  {"X21.5", 68, false},  {"B.", 49, false},     {"X.", 58, true},
        {"Z0", 49, true},      {"Z5", 49, false},     {"Q1", 69, false},     {"", 49, true}};
    for (const ValidCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" on " << c.code);
        EXPECT_EQ(RSComm::ValidAdd(QString::fromLatin1(c.text), c.code), c.valid);
    }
}

TEST(ValidAdd, NumbersTooLargeForAnyRangeAreInvalid)
{
    for (const char *t : {"B99999999999999999999999", "W18446744073709551616", "F9223372036854775807",
                          "X99999999999999999990", "I-99999999999999999999", "B9223372036854775808.0"}) {
        for (int code : {0, 49, 50, 68, 69, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
            SCOPED_TRACE(::testing::Message() << t << " on " << code);
            EXPECT_FALSE(RSComm::ValidAdd(QString::fromLatin1(t), code));
        }
    }
}

TEST(EquateAdd, PointsToBytesByBoard)
{
    // A bit above 7 becomes 7, a bit character that is no digit 0; names without an equate come back as
    // they are (board 50 has no point 12; no digits: point 0).
    const EquateCase cases[] = {
        {"X30", 49, "B49"},     {"X31", 49, "B50"},     {"X51", 49, "B52"},     {"X71", 49, "B56"},
        {"X80", 49, "B57"},     {"Y81", 49, "B58"},     {"Y100", 49, "B60"},    {"Y121", 49, "B64"},
        {"Y141", 49, "B67"},    {"X10", 58, "B51"},     {"X11", 58, "B52"},     {"Y0", 58, "B49"},
        {"Y1", 58, "B50"},      {"X21", 59, "B54"},     {"Y1", 59, "B50"},      {"X20", 60, "B53"},
        {"Y21", 60, "B54"},     {"X0", 61, "B49"},      {"X10", 61, "B51"},     {"Y11", 61, "B52"},
        {"X20", 65, "B53"},     {"Y21", 65, "B54"},     {"X21", 66, "B54"},     {"Y1", 66, "B50"},
        {"x10", 58, "B51"},     {"X10.3", 58, "B51.3"}, {"x10.9", 58, "B51.7"}, {"Y141.0", 49, "B67.0"},
        {"X10.a", 58, "B51.0"}, {"X12", 58, "X12"},     {"Y10", 58, "Y10"},     {"X21", 60, "X21"},
        {"X30", 68, "X30"},     {"I0", 49, "I0"},       {"Y80", 49, "Y80"},     {"X10", 0, "X10"},
        {"B51", 58, "B51"},     {"W10", 58, "W10"},     {"", 58, ""},           {"X", 50, "B160"},
        {"X12", 50, "X12"},     {"X160", 50, "X160"},   {"X-1", 50, "X-1"}};
    for (const EquateCase &c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" on " << c.code);
        EXPECT_EQ(RSComm::EquateAdd(QString::fromLatin1(c.text), c.code).toStdString(), c.result);
    }
    for (const char *t : {"X99999999999999999999.1", "Y18446744073709551617"})
        for (int code : {50, 58})
            EXPECT_EQ(RSComm::EquateAdd(QString::fromLatin1(t), code).toStdString(), t);
}

// Board 50's sixteen groups are consecutive byte pairs: X and Y share
// 160..191, I has 192..223.
TEST(EquateAdd, Board50GroupsAreConsecutiveBytePairs)
{
    for (int g = 0; g <= 15; ++g) {
        for (int half = 0; half <= 1; ++half) {
            const QString point = QString::number(g * 10 + half);
            const int byte = 2 * g + half;
            SCOPED_TRACE(point.toStdString());
            EXPECT_EQ(RSComm::EquateAdd(QStringLiteral("X") + point, 50), QStringLiteral("B%1").arg(160 + byte));
            EXPECT_EQ(RSComm::EquateAdd(QStringLiteral("Y") + point, 50), QStringLiteral("B%1").arg(160 + byte));
            EXPECT_EQ(RSComm::EquateAdd(QStringLiteral("I") + point + QStringLiteral(".2"), 50),
                      QStringLiteral("B%1.2").arg(192 + byte));
            // Every other last digit names no byte.
            for (int d = 2; d <= 9; ++d) {
                const QString other = QStringLiteral("X%1").arg(g * 10 + d);
                EXPECT_EQ(RSComm::EquateAdd(other, 50), other);
            }
        }
    }
}

TEST(PointNumbering, TwoFieldConversions)
{
    struct Case {
        std::int64_t dec, oct;
    };
    // Past two digits the first field goes on counting eights (no third octal digit); no 16-bit wrap-around.
    const Case cases[] = {{0, 0},     {7, 7},     {8, 10},    {9, 11},   {63, 77}, {64, 80},
                          {100, 124}, {511, 637}, {512, 640}, {-9, -11}, {-1, -1}, {30000, 37500}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dec);
        EXPECT_EQ(RSComm::Dec2Octal(c.dec), c.oct);
        EXPECT_EQ(RSComm::Octal2Dec(c.oct), c.dec);
    }
    // Digits 8 and 9 in the units field still count at face value.
    EXPECT_EQ(RSComm::Octal2Dec(19), 17);
    EXPECT_EQ(RSComm::Octal2Dec(98), 80);
    for (std::int64_t n = -5000; n <= 5000; ++n)
        ASSERT_EQ(RSComm::Octal2Dec(RSComm::Dec2Octal(n)), n) << n;
}

TEST(PointNumbering, ExtremesSaturateInsteadOfOverflowing)
{
    constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(RSComm::Dec2Octal(max), max);
    EXPECT_EQ(RSComm::Dec2Octal(min), min);
    // The largest input that still converts exactly.
    const std::int64_t top = (max - 7) / 10 * 8 + 7;
    EXPECT_EQ(RSComm::Octal2Dec(RSComm::Dec2Octal(top)), top);
    EXPECT_EQ(RSComm::Dec2Octal(top + 1), max);
    EXPECT_EQ(RSComm::Octal2Dec(max), max / 10 * 8 + 7);
    EXPECT_EQ(RSComm::Octal2Dec(min), min / 10 * 8 - 8);
}

#include "AddressCheck.h"
#include "BoardAddress.h"
#include <algorithm>
#include <limits>
#include <optional>

namespace addresscheck {
namespace {

// Boards of the small memory map and of the large one.
bool groupS(int code)
{
    switch (code) {
    case 49:
    case 51:
    case 52:
    case 53:
    case 54:
    case 56:
    case 58:
    case 59:
    case 60:
    case 61:
    case 65:
    case 66: return true;
    default: return false;
    }
}

bool groupL(int code) { return code == 50 || code == 68; }

// The first character in upper case; 0 for an empty text.
char16_t letterOf(const QString &var) { return var.isEmpty() ? u'\0' : var.front().toUpper().unicode(); }

// The characters from the second up to, but not including, the last two
// (of "B4001.0" that is "4001"); empty when there are too few.
QString betweenLetterAndBit(const QString &var) { return var.mid(1, std::max<qsizetype>(0, var.size() - 3)); }

struct Range {
    std::int64_t lower = 0;
    std::int64_t upper = 0;
};

// The range of X and Y points; none on the boards without them.
std::optional<std::int64_t> upperXY(int code)
{
    if (code == 0 || code == 68)
        return std::nullopt;
    if (code == 49 || code == 50)
        return 151;
    return 21;
}

std::optional<std::int64_t> upperI(int code)
{
    if (code == 49 || code == 50)
        return 151;
    switch (code) {
    case 51:
    case 52:
    case 53:
    case 54:
    case 56: return 21;
    default: return std::nullopt;
    }
}

// Point numbers name the two bytes of a group: the last digit is 0 or 1.
bool pointOfGroup(std::int64_t n) { return n % 10 == 0 || n % 10 == 1; }

// One row of the equate table: point number -> byte for a board and letter.
struct Equate {
    int code;
    char16_t letter;
    int point;
    int byte;
};

constexpr Equate kEquates[] = {
    {49, u'X', 30, 49},  {49, u'X', 31, 50},  {49, u'X', 50, 51},  {49, u'X', 51, 52},  {49, u'X', 60, 53},
    {49, u'X', 61, 54},  {49, u'X', 70, 55},  {49, u'X', 71, 56},  {49, u'X', 80, 57},  {49, u'Y', 81, 58},
    {49, u'Y', 90, 59},  {49, u'Y', 100, 60}, {49, u'Y', 110, 61}, {49, u'Y', 111, 62}, {49, u'Y', 120, 63},
    {49, u'Y', 121, 64}, {49, u'Y', 130, 65}, {49, u'Y', 140, 66}, {49, u'Y', 141, 67}, {58, u'X', 10, 51},
    {58, u'X', 11, 52},  {58, u'Y', 0, 49},   {58, u'Y', 1, 50},   {59, u'X', 10, 51},  {59, u'X', 11, 52},
    {59, u'X', 20, 53},  {59, u'X', 21, 54},  {59, u'Y', 0, 49},   {59, u'Y', 1, 50},   {60, u'X', 10, 51},
    {60, u'X', 11, 52},  {60, u'X', 20, 53},  {60, u'Y', 0, 49},   {60, u'Y', 1, 50},   {60, u'Y', 21, 54},
    {61, u'X', 0, 49},   {61, u'X', 1, 50},   {61, u'X', 10, 51},  {61, u'Y', 11, 52},  {65, u'X', 10, 51},
    {65, u'X', 11, 52},  {65, u'X', 20, 53},  {65, u'Y', 0, 49},   {65, u'Y', 1, 50},   {65, u'Y', 21, 54},
    {66, u'X', 10, 51},  {66, u'X', 11, 52},  {66, u'X', 20, 53},  {66, u'X', 21, 54},  {66, u'Y', 0, 49},
    {66, u'Y', 1, 50},
};

// Board 50 maps its sixteen point groups onto consecutive byte pairs: X and Y
// share the bytes from 160 on (X0, X1, X10, X11 ... X151 -> 160 ... 191), I
// has its own from 192 on.
std::optional<int> equateBoard50(char16_t letter, std::int64_t point)
{
    int first;
    if (letter == u'X' || letter == u'Y')
        first = 160;
    else if (letter == u'I')
        first = 192;
    else
        return std::nullopt;
    if (point < 0 || point > 151 || !pointOfGroup(point))
        return std::nullopt;
    return first + int(2 * (point / 10) + point % 10);
}

std::optional<int> equateByte(int code, char16_t letter, std::int64_t point)
{
    if (code == 50)
        return equateBoard50(letter, point);
    for (const Equate &e : kEquates)
        if (e.code == code && e.letter == letter && e.point == point)
            return e.byte;
    return std::nullopt;
}

}

bool ValidAdd(const QString &Var, int TargetBoardIndex)
{
    const int code = TargetBoardIndex;
    const char16_t letter = letterOf(Var);
    const std::int64_t number = LeadingNumber(Var.contains(QLatin1Char('.')) ? betweenLetterAndBit(Var) : Var.mid(1));

    Range r;
    bool pointRule = false, evenRule = false;
    switch (letter) {
    case u'B': r = {32, groupS(code) ? 255 : groupL(code) ? 8275 : 65535}; break;
    case u'W':
    case u'D':
        r = {32, groupS(code) ? 254 : groupL(code) ? 8274 : 65534};
        evenRule = true;
        break;
    case u'F': r = {0, groupS(code) ? 120 : 991}; break;
    case u'X':
    case u'Y':
    case u'I': {
        const auto upper = letter == u'I' ? upperI(code) : upperXY(code);
        if (!upper)
            return false;
        r = {0, *upper};
        pointRule = true;
        break;
    }
    default: break;   // unknown letters keep 0..0
    }
    if (number < r.lower || number > r.upper)
        return false;
    if (evenRule && number % 2 != 0)
        return false;
    if (pointRule && !pointOfGroup(number))
        return false;
    return true;
}

QString EquateAdd(const QString &Var, int TargetBoardIndex)
{
    const char16_t letter = letterOf(Var);
    const QString rest = Var.mid(1);
    std::int64_t point;
    std::optional<int> bit;
    if (rest.contains(QLatin1Char('.'))) {
        point = LeadingNumber(rest.left(std::max<qsizetype>(0, rest.size() - 2)));
        // The bit is the value of the last character: a digit, else 0.
        const QChar last = rest.back();
        const int digit = last >= QLatin1Char('0') && last <= QLatin1Char('9') ? last.unicode() - '0' : 0;
        bit = std::min(digit, 7);
    } else {
        point = LeadingNumber(rest);
    }
    const std::optional<int> byte = equateByte(TargetBoardIndex, letter, point);
    if (!byte)
        return Var;
    QString out = QStringLiteral("B") + QString::number(*byte);
    if (bit)
        out += QLatin1Char('.') + QString::number(*bit);
    return out;
}

std::int64_t Dec2Octal(std::int64_t DecNum)
{
    constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    const std::int64_t tens = DecNum / 8;
    const std::int64_t units = DecNum % 8;
    // tens * 10 + units, saturating at the ends of the range.
    if (tens > (max - 7) / 10)
        return max;
    if (tens < (min + 7) / 10)
        return min;
    return tens * 10 + units;
}

std::int64_t Octal2Dec(std::int64_t OctNum)
{
    // (n / 10) * 8 + n mod 10 never lies further from 0 than n: no overflow.
    return OctNum / 10 * 8 + OctNum % 10;
}

}

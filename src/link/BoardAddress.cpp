#include "BoardAddress.h"
#include <limits>

std::int64_t LeadingNumber(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t v = 0;
    constexpr std::int64_t cap = std::numeric_limits<std::int64_t>::max() / 16;
    for (; i < n && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        if (v < cap)
            v = v * 10 + (text[i].unicode() - '0');
    }
    return negative ? -v : v;
}

namespace {
// Leading hexadecimal number of a text; no digits give 0.
std::int64_t leadingHex(const QString &text)
{
    std::int64_t v = 0;
    for (QChar c : text) {
        int d;
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            d = u - '0';
        else if (u >= 'a' && u <= 'f')
            d = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            d = u - 'A' + 10;
        else
            break;
        if (v < (std::int64_t(1) << 40))
            v = v * 16 + d;
    }
    return v;
}

const QString kOutOfRange = QStringLiteral("Address out of Range (0-65,535).");
}

BoardAddress ParseAddress(const QString &text, int keepMask)
{
    BoardAddress a;
    a.bitMask = keepMask;
    a.bitAccess = false;
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        a.problem = QStringLiteral("No Address Given.");
        return a;
    }

    if (t.endsWith(QLatin1Char('H')) || t.endsWith(QLatin1Char('h'))) {
        const QString digits = t.left(t.size() - 1);
        // Two address bytes hold four hexadecimal digits at most.
        if (digits.size() > 4) {
            a.problem = kOutOfRange;
            return a;
        }
        const std::int64_t low = leadingHex(digits.right(2));
        const std::int64_t high = digits.size() > 2 ? leadingHex(digits.left(digits.size() - 2)) : 0;
        a.byteAdd = high * 256 + low;
        a.type = QStringLiteral("B");
        if (a.byteAdd > kHighestSendableAddress)
            a.problem = kOutOfRange;
        return a;
    }

    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        a.bitAccess = true;
        a.type = QStringLiteral("B");
        a.byteAdd = LeadingNumber(t.mid(1, t.size() - 3));
        const QChar bit = t.back();
        // The point must stand just before one bit digit 0..7; "B4001.9" or
        // "B4001.10" would name a bit the byte does not have.
        if (dot != t.size() - 2 || bit < QLatin1Char('0') || bit > QLatin1Char('7')) {
            a.problem = QStringLiteral("Bit Number out of Range (0-7).");
            return a;
        }
        a.bitMask = 1 << (bit.unicode() - '0');
    } else {
        const QChar first = t.front().toUpper();
        if (first == QLatin1Char('B') || first == QLatin1Char('W') || first == QLatin1Char('D')) {
            a.type = QString(first);
            a.byteAdd = LeadingNumber(t.mid(1));
        } else if (first == QLatin1Char('F')) {
            const std::int64_t n = LeadingNumber(t.mid(1));
            a.type = QStringLiteral("B");
            a.bitAccess = true;
            if (n < 0) {
                a.problem = QStringLiteral("Flag Number out of Range.");
                return a;
            }
            a.byteAdd = 32 + n / 8;
            a.bitMask = 1 << (n % 8);
        } else {
            a.type = QStringLiteral("B");
            a.byteAdd = 32;
        }
    }

    // A high address byte of 0xFF is the re-sync byte on the wire: the board
    // takes it as the start of a new handshake, so FF00H..FFFFH cannot be sent.
    const int width = a.type == QLatin1String("D") ? 4 : a.type == QLatin1String("W") ? 2 : 1;
    if (a.byteAdd < 0 || a.byteAdd + width - 1 > kHighestSendableAddress)
        a.problem = kOutOfRange;
    return a;
}

#pragma once
#include <QString>
#include <cstdint>

// One symbolic board address taken apart: "W188", "D1100", "B4001.0", "F87", "1F40H".
struct BoardAddress {
    QString type = QStringLiteral("B");   // "B", "W" or "D"
    std::int64_t byteAdd = 32;            // first byte address
    int bitMask = 1;                      // 1, 2, 4 ... 128 for bit addresses
    bool bitAccess = false;
    // Empty when the address can be sent; otherwise why it cannot
    // (beyond the two address bytes or at FF00H and above, a bit number other than 0..7, no text).
    QString problem;
    bool sendable() const { return problem.isEmpty(); }
};

// The highest byte address that can cross the line: a high address byte of
// 0xFF would be taken by the board as a re-sync.
constexpr std::int64_t kHighestSendableAddress = 0xFEFF;

// The board address grammar. keepMask is the mask left over from the previous
// parse: texts that name no type keep it, as the board tools always have.
BoardAddress ParseAddress(const QString &text, int keepMask = 1);

// The leading-number rule used throughout: blanks, an optional sign and the
// digits up to the first character that cannot belong to the number; no
// digits give 0. Saturates instead of overflowing.
std::int64_t LeadingNumber(const QString &text);

#pragma once
// Address validation and I/O point equates for the board types, and the
// two-field point numbering. Pure text and arithmetic: no board traffic.
// RSComm offers these as ValidAdd, EquateAdd, Dec2Octal and Octal2Dec.
#include <QString>
#include <cstdint>

namespace addresscheck {

// True when the address exists on the board with that type code (the
// character code of the first character of its program file). The bit digit
// of a bit address plays no part. A letter the boards do not know keeps the
// range 0..0, so such a letter with the number 0 counts as valid. Numbers too
// large for the arithmetic saturate and are then out of every range: invalid.
bool ValidAdd(const QString &Var, int TargetBoardIndex);

// The byte address ("B51") or byte-and-bit address ("B51.3") of an I/O point
// name (X, Y or I, a point number ending in 0 or 1, an optional bit) on the
// board with that type code; a bit above 7 becomes 7. Var unchanged when the
// board has no equate for it.
QString EquateAdd(const QString &Var, int TargetBoardIndex);

// The two-field point numbering: Dec2Octal(n) = (n / 8) * 10 + n mod 8 and
// Octal2Dec(n) = (n / 10) * 8 + n mod 10, both truncating toward zero, so
// they are the octal conversions of 0..63 and 0..77 and keep the same rule
// beyond. 64-bit; a Dec2Octal result beyond the 64-bit range saturates.
std::int64_t Dec2Octal(std::int64_t DecNum);
std::int64_t Octal2Dec(std::int64_t OctNum);

}

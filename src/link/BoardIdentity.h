#pragma once
// What a board is and what its codes mean, apart from the line: the board
// type names, the configuration-file index characters, the MarkHEX digits of
// the program files and the code-and-text records of the fault and comm
// error text files.
#include <QList>
#include <QPair>
#include <QString>

namespace BoardIdentity {

// The board name for a board type code (the character code of a program
// file's first character): "T6850(PLC)" for 68; for an unknown code the
// character itself followed by " Is Not Defined.".
QString targetboardName(int boardType);
// The configuration-file index character for a board type code; empty when
// the board has none.
QString lcfBoardIndex(int boardType);

// MarkHEX writes the hexadecimal digits A..F as ":" ";" "<" "=" ">" "?".
QString markHexToHex(const QString &markHex);
QString hexToMarkHex(const QString &hex);

// A code as the text files write it: upper-case hexadecimal, at least two digits.
QString codeText(qint64 code);

// The records of a fault or comm error text file: a code text and its
// description, from the file's text items taken two by two (a last odd item
// is a record with an empty description).
using CodeRecords = QList<QPair<QString, QString>>;
CodeRecords parseCodeRecords(const QString &text);

// The fault line: "Fault Code (0AH): " and the description of the record
// whose code text matches (letter case ignored), or the prefix alone.
QString faultLine(qint64 code, const CodeRecords &records);

// The largest text file of codes read.
inline constexpr qint64 kMaxCodeFileBytes = 1 << 20;

}   // namespace BoardIdentity

#pragma once
// The shift data export: the shift counts of a set-up as a plain text file of
// 50 lines (Windows-1252, CR LF) for other programs. Encoding is kept apart
// from writing, so the bytes can be checked without a file.
#include "SetupData.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace ShiftExport {

// Number of lines the file always has.
inline constexpr int kLineCount = 50;

// The bytes of the export. fileTitle: the set-up file's name ("untitled"
// when empty); dateText: when the data in memory was opened or uploaded.
// Entries the set-up does not hold count as 0.
QByteArray encode(const SetupData &setup, const QString &fileTitle, const QString &dateText);

// Writes the bytes through a temporary file and a rename. Empty when
// written; else why not.
QString write(const QString &path, const QByteArray &bytes);

// The date and time text that File > Open and Upload give the data in memory:
// the short date and the time with seconds, as the report's footer shows them.
QString DataTimeText(const QDateTime &when);

}   // namespace ShiftExport

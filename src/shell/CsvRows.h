#pragma once
// Rows of the CSV files the program writes as it watches the board
// (orvelctl watch, the shift trend): a time, then values. Each row is built
// whole, so that a file written row by row never holds half of one.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace CsvRows {

// The time of a row: local time in ISO 8601 to the millisecond, without a
// zone ("2026-12-07T09:15:02.125").
QString timeText(const QDateTime &when);

// One row in UTF-8: the fields joined by commas, ended by CR LF. A field is
// quoted only when it holds a comma, a double quote or a line end (its
// quotes then doubled); an empty field stays empty.
QByteArray row(const QStringList &fields);

}   // namespace CsvRows

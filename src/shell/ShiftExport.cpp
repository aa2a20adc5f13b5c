#include "ShiftExport.h"
#include "AppFolder.h"
#include "Report.h"
#include <QLocale>
#include <QStringList>

namespace ShiftExport {
namespace {

// One leading sign character, a blank for zero and positive values, and no
// digit grouping: " 0", " 4242", "-7".
QString signedValue(const SetupData &s, int index)
{
    const qint64 v = s.Value.value(index);
    return (v < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + QString::number(v < 0 ? -v : v);
}

void addValues(QStringList &lines, const SetupData &s, int first, int last)
{
    for (int i = first; i <= last; ++i)
        lines << signedValue(s, i);
}

}   // namespace

QByteArray encode(const SetupData &setup, const QString &fileTitle, const QString &dateText)
{
    const QString shiftHeading = QStringLiteral("(Good Can, Leaker Reject, Vision Reject)");
    QStringList lines;
    lines << (fileTitle.isEmpty() ? QStringLiteral("untitled") : fileTitle);
    lines << QStringLiteral("Date: ") + dateText;
    lines << QStringLiteral(" ");
    lines << QStringLiteral("Current Shift Data:") << shiftHeading;
    addValues(lines, setup, 43, 45);
    lines << QStringLiteral(" ");
    lines << QStringLiteral("Current Shift Rejects Per Pocket Data (1-16):");
    addValues(lines, setup, 46, 61);
    lines << QStringLiteral(" ");
    lines << QStringLiteral("Last Shift Data:") << shiftHeading;
    addValues(lines, setup, 62, 64);
    lines << QStringLiteral(" ");
    lines << QStringLiteral("Last Shift Data Rejects Per Pocket Data (1-16):");
    addValues(lines, setup, 65, 80);

    // A name or date text with a line break in it would add lines: the file
    // keeps its 50 lines, the break becomes a blank.
    QByteArray out;
    for (QString line : lines) {
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += Ansi::encode(line);
        out += "\r\n";
    }
    return out;
}

QString write(const QString &path, const QByteArray &bytes) { return writeFileWhole(path, bytes); }

QString DataTimeText(const QDateTime &when) { return Report::GeneralDate(when); }

}   // namespace ShiftExport

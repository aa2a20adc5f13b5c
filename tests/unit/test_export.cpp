// The shift data export (its bytes for chosen values, its 50 lines) and the CSV rows.
#include "CsvRows.h"
#include "SetupData.h"
#include "ShiftExport.h"
#include <QLocale>
#include <gtest/gtest.h>

namespace {
SetupData defaults() { return BuildDefaultSetup(MakeProgramVersion()); }

QByteArray expected(const QByteArray &title, const QByteArray &date, const QList<QByteArray> &values)
{
    // values: 3 current, 16 current pockets, 3 last, 16 last pockets
    QList<QByteArray> l{title, "Date: " + date, " ", "Current Shift Data:", "(Good Can, Leaker Reject, Vision Reject)"};
    l += values.mid(0, 3);
    l << " "
      << "Current Shift Rejects Per Pocket Data (1-16):";
    l += values.mid(3, 16);
    l << " "
      << "Last Shift Data:"
      << "(Good Can, Leaker Reject, Vision Reject)";
    l += values.mid(19, 3);
    l << " "
      << "Last Shift Data Rejects Per Pocket Data (1-16):";
    l += values.mid(22, 16);
    return l.join("\r\n") + "\r\n";
}
}   // namespace

TEST(ShiftExport, StartUpSetupIsUntitledWithBlankZeroes)
{
    QList<QByteArray> zeros;
    for (int i = 0; i < 38; ++i)
        zeros << " 0";
    EXPECT_EQ(ShiftExport::encode(defaults(), QString(), QString()), expected("untitled", "", zeros));
}

TEST(ShiftExport, ChosenValuesHaveTheirSignCharacterAndNoGrouping)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SetupData s = defaults();
    QList<QByteArray> v;
    for (int i = 43; i <= 80; ++i) {
        s.Value[i] = (i - 43) * 1000 + 7;
        v << " " + QByteArray::number((i - 43) * 1000 + 7);
    }
    s.Value[43] = 2147483647, v[0] = " 2147483647";
    s.Value[45] = -5, v[2] = "-5";
    s.Value[61] = std::numeric_limits<qint32>::min(), v[18] = "-2147483648";
    s.Value[80] = 0, v[37] = " 0";
    s.Value[42] = 999, s.Value[81] = 999;   // neighbours are not exported
    const QByteArray bytes = ShiftExport::encode(s, QStringLiteral("line3.sdt"), QStringLiteral("3/5/24 1:02 PM"));
    EXPECT_EQ(bytes, expected("line3.sdt", "3/5/24 1:02 PM", v));
    QLocale::setDefault(QLocale::c());
}

TEST(ShiftExport, AlwaysFiftyLinesInWindows1252)
{
    struct Case {
        QString title, date;
        QByteArray firstLine, secondLine;
    };
    const Case cases[] = {
        {QStringLiteral("Linie \u00e4\u20ac.sdt"), QString(), "Linie \xe4\x80.sdt", "Date: "},
        // A line break in a name must not add lines.
        {QStringLiteral("two\r\nlines.sdt"), QStringLiteral("a\nb"), "two  lines.sdt", "Date: a b"},
    };
    SetupData shortTable = defaults();
    ResizeSetup(shortTable, 50);   // entries the table lacks export as 0
    for (const Case &c : cases) {
        for (const SetupData &s : {defaults(), shortTable}) {
            const QByteArray bytes = ShiftExport::encode(s, c.title, c.date);
            const QList<QByteArray> lines = bytes.split('\n');
            ASSERT_EQ(lines.size(), ShiftExport::kLineCount + 1);   // the last CR LF ends line 50
            EXPECT_EQ(bytes.count("\r\n"), ShiftExport::kLineCount);
            EXPECT_EQ(bytes.count('\r'), ShiftExport::kLineCount);
            EXPECT_EQ(lines[0], c.firstLine + "\r");
            EXPECT_EQ(lines[1], c.secondLine + "\r");
            EXPECT_EQ(lines[49], " 0\r");
        }
    }
}

// The rows of the watch files: whole, CR LF, quoted only where a field needs it.
TEST(CsvRows, WholeRowsQuotedOnlyWhereNeeded)
{
    EXPECT_EQ(CsvRows::row({"time", "W1014", "D1100"}), QByteArray("time,W1014,D1100\r\n"));
    EXPECT_EQ(CsvRows::row({"2026-12-07T09:15:02.125", "", "7", ""}), QByteArray("2026-12-07T09:15:02.125,,7,\r\n"));
    EXPECT_EQ(CsvRows::row({"a,b", "say \"hi\"", "two\r\nlines", "x\ry", "\u00b0C"}),
              QByteArray("\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"x\ry\",\xc2\xb0"
                         "C\r\n"));
    EXPECT_EQ(CsvRows::timeText(QDateTime(QDate(2026, 12, 7), QTime(9, 15, 2, 125))), "2026-12-07T09:15:02.125");
    EXPECT_EQ(CsvRows::timeText(QDateTime(QDate(2027, 1, 5), QTime(0, 0))), "2027-01-05T00:00:00.000");
}

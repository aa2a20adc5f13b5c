// The printed report and the shift data export from the File menu: the
// report is printed to PDF and read back with pdftotext; the export's bytes
// are compared whole.
#include "GuiFixture.h"
#include "Report.h"
#include "ShiftExport.h"
#include "frmWaitDisplay.h"
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest/QTest>

using B = Dialogs::Button;

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(30000)) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// pdftotext ends every page with a form feed.
int pageCount(const QString &text) { return int(text.count(QLatin1Char('\f'))); }

// One line of the report: the label, blanks, the value at the end.
bool hasItem(const QString &text, const QString &label, const QString &value)
{
    const QRegularExpression line(QStringLiteral("^\\s*") + QRegularExpression::escape(label.trimmed())
                                      + QStringLiteral("\\s+") + QRegularExpression::escape(value)
                                      + QStringLiteral("$"),
                                  QRegularExpression::MultilineOption);
    return line.match(text).hasMatch();
}

struct Expected {
    const char *label;
    QString value;
};

void expectItems(const QString &text, const std::vector<Expected> &items)
{
    for (const Expected &e : items)
        EXPECT_TRUE(hasItem(text, QString::fromUtf8(e.label), e.value)) << e.label << " " << e.value.toStdString();
}

QString deg(const char *n) { return QString::fromLatin1(n) + QChar(0x00B0); }

class ReportTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        clock.setWall(QDateTime(QDate(2024, 3, 5), QTime(13, 2, 3)));
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        GuiTest::TearDown();
    }

    // File > Print Report with the print set-up answered by choosing a PDF file.
    void printTo(const QString &pdf, QPageLayout::Orientation orientation = QPageLayout::Portrait,
                 QPageSize::PageSizeId size = QPageSize::Letter)
    {
        expectPdf(pdf, orientation, size);
        main->mnuFilePrint->trigger();
    }
    void expectPdf(const QString &pdf, QPageLayout::Orientation orientation = QPageLayout::Portrait,
                   QPageSize::PageSizeId size = QPageSize::Letter)
    {
        dialogs.expectPrintSetup([pdf, orientation, size](void *p) {
            auto *printer = static_cast<QPrinter *>(p);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            printer->setPageSize(QPageSize(size));
            printer->setPageOrientation(orientation);
            return true;
        });
    }

    QString printed(QPageLayout::Orientation orientation = QPageLayout::Portrait)
    {
        const QString pdf = path(QStringLiteral("report%1.pdf").arg(++prints_));
        printTo(pdf, orientation);
        EXPECT_TRUE(QFileInfo::exists(pdf));
        return pdfText(pdf);
    }

    void openFile(const QString &name)
    {
        const QString file = path(name);
        ASSERT_TRUE(SetupFile::write(file, CurrentSetup).isEmpty());
        SavedSetup = CurrentSetup;   // the file holds the set-up in memory: nothing to save first
        dialogs.expectOpen(file);
        main->mnuFileOpen->trigger();
    }

    int prints_ = 0;
};

}   // namespace

TEST_F(ReportTest, StartUpSetupOnTwoPagesThenChosenValuesInTheirFormats)
{
    startMain();
    QString text = printed();
    EXPECT_EQ(pageCount(text), 2);
    EXPECT_EQ(text.count(QStringLiteral("ORVEL Report: [unnamed]")), 2);
    for (const char *title :
         {"Set-up Parameters", "Data Collection Counts (shift data)", "A. Reject Shift Registers",
          "B. Reject Blow-off Parameters", "C. Machine Timing", "D. FIFO Error Detection/Calibration",
          "E. Critical Input Positions", "F. DF1 Communication Set-up Parameters", "A. Current Shift Data",
          "B. Last (previous) Shift Data", "7. Rejects Per Pocket:"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(title))) << title;
    expectItems(text,
                {
                    {"1. Can Presence Shifts (can PRX to discharge):", QStringLiteral("1")},
                    {"2. Leaker Reject Shifts (leak detector to discharge):", QStringLiteral("5")},
                    {"3. Vision Reject Shifts (vision system to discharge):", QStringLiteral("5")},
                    {"4. Pocket Number 1 Shift Offset:", QStringLiteral("11")},
                    {"5. Array Fault Shift Offset:", QStringLiteral("0")},
                    {"1. Can Neck Size (0.01\"):", QStringLiteral("215")},
                    {"2. Reject Solenoid Pulse Time (msec.):", QStringLiteral("10")},
                    {"3. Diverter Solenoid Pulse Time (msec.):", QStringLiteral("100")},
                    {"4. Reject Photo Eye Can Time (msec.):", QStringLiteral("0.0")},
                    {"1. CH00 - Sync Timing ON Position:", deg("180")},
                    {"2. CH01 - Pocket #1 ON Position:", deg("270")},
                    {"3. CH02 - Discharge Timing ON Position:", deg("275")},
                    {"4. CH03 - PLC Clock Timing ON Position:", deg("0")},
                    {"8. Missed Can Presence Count:", QStringLiteral("0")},
                    {"1. Allen-Bradley PLC Type:", QStringLiteral("PLC-5")},
                    {"2. Destination PLC Node Number:", QStringLiteral("1")},
                    {"3. Destination PLC Starting File Number:", QStringLiteral("10")},
                    {"4. %Scrap (total):", QStringLiteral("0.00")},   // all counts 0: the total counts as 1
                    {"5. %Scrap (leaker):", QStringLiteral("0.00")},
                    {"6. %Scrap (vision):", QStringLiteral("0.00")},
                });
    // The footer: date and time, page number at the right.
    const QString date = Report::GeneralDate(clock.now());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^3/5/24 1:02:\\d\\d PM$")).match(date).hasMatch())
        << date.toStdString();
    for (int page = 1; page <= 2; ++page)
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^%1\\s+Page %2$").arg(QRegularExpression::escape(date)).arg(page),
                               QRegularExpression::MultilineOption)
                .match(text)
                .hasMatch())
            << page;
    EXPECT_TRUE(dialogs.boxes().empty());

    // Chosen values in their formats.
    auto &v = CurrentSetup.Value;
    v[8] = 7, v[9] = 1, v[10] = 510;                      // halves
    v[15] = 4242, v[17] = 123, v[18] = 5, v[19] = 2550;   // tenths and grouping
    v[23] = 64, v[24] = 256, v[25] = 16, v[26] = -1;      // resolver counts
    v[43] = 950, v[44] = 30, v[45] = 20;                  // current shift
    v[62] = v[63] = v[64] = 2000000000;                   // last shift: their sum is beyond 32 bits
    for (int j = 0; j < 16; ++j) {
        v[46 + j] = 100 + j;
        v[65 + j] = 1000 * (j + 1);
    }
    v[81] = 3, v[83] = 65535;
    text = printed();
    expectItems(text,
                {
                    {"4. Reject Photo Eye Can Time (msec.):", QStringLiteral("3.5")},
                    {"5. Reject Solenoid ON Time (msec.):", QStringLiteral("0.5")},
                    {"6. Reject Solenoid Delay Time (msec.):", QStringLiteral("255.0")},
                    {"1. Can Check Speed (CPM):", QStringLiteral("4,242")},
                    {"3. Maximum Number of Cans in FIFO:", QStringLiteral("12.3")},
                    {"4. Minimum Number of Cans in FIFO:", QStringLiteral("0.5")},
                    {"5. Average Number of Cans in FIFO:", QStringLiteral("255.0")},
                    {"1. Reject Receiver Input:", deg("90")},
                    {"2. Array Fault Receiver Input:", deg("0")},
                    {"3. Can Presence PRX Input:", deg("23")},   // 22.5 rounds up
                    {"4. Vision Reject Input:", deg("-1")},   // the remainder keeps the sign
                    {"1. Allen-Bradley PLC Type:", QStringLiteral("SLC-500")},
                    {"3. Destination PLC Starting File Number:", QStringLiteral("65,535")},
                    {"1. Total Good Cans Tested:", QStringLiteral("950")},
                    {"4. %Scrap (total):", QStringLiteral("5.00")},
                    {"5. %Scrap (leaker):", QStringLiteral("3.00")},
                    {"6. %Scrap (vision):", QStringLiteral("2.00")},
                    {"1. Total Good Cans Tested:", QStringLiteral("2,000,000,000")},
                    {"4. %Scrap (total):", QStringLiteral("66.67")},
                    {"5. %Scrap (leaker):", QStringLiteral("33.33")},
                    {"6. %Scrap (vision):", QStringLiteral("33.33")},
                });
    // Pockets 1 to 8 on the left, 9 to 16 beside them.
    const QLocale l;
    for (int j = 0; j < 8; ++j)
        for (const auto &[left, right] : {std::pair{QString::number(100 + j), QString::number(108 + j)},
                                          {l.toString(1000 * (j + 1)), l.toString(1000 * (j + 9))}}) {
            const QString re = QStringLiteral("^\\s+%1: %2\\s+%3: %4$").arg(j + 1).arg(left).arg(j + 9).arg(right);
            EXPECT_TRUE(QRegularExpression(re, QRegularExpression::MultilineOption).match(text).hasMatch())
                << re.toStdString();
        }
}

TEST_F(ReportTest, CancelledOrFailedPrintChangesNothingAndTheNextNamesTheFile)
{
    frmMDIMain &m = startMain();
    dialogs.expectPrintSetup([](void *) { return false; });
    m.mnuFilePrint->trigger();
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.pdf")}).isEmpty());
    EXPECT_TRUE(dialogs.boxes().empty());

    CurrentSetup.Value[43] = 77;
    const SetupData before = CurrentSetup;
    const QString bad = path(QStringLiteral("no/such/folder/r.pdf"));
    expectPdf(bad);
    dialogs.expectBox(QStringLiteral("ORVEL"), B::OK,
                      QStringLiteral("The report could not be printed: the file %1 could not be written (No such "
                                     "file or directory).")
                          .arg(bad));
    m.mnuFilePrint->trigger();
    EXPECT_EQ(CurrentSetup, before);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));
    openFile(QStringLiteral("line3.sdt"));
    const QString text = printed();
    EXPECT_EQ(pageCount(text), 2);
    EXPECT_EQ(text.count(QStringLiteral("ORVEL Report: [line3.sdt]")), 2);
    EXPECT_FALSE(text.contains(QStringLiteral("[unnamed]")));
}

// On landscape sheets the set-up part needs two pages. Pages break between
// sections: each page opens with its title line and then a part title or a
// section heading, and ends with its number.
TEST_F(ReportTest, LandscapeReachesThePrinterAndPagesBreakBetweenSections)
{
    startMain();
    static const QRegularExpression page(QStringLiteral(
        "^\\s*ORVEL Report: \\[unnamed\\]\\s+(Set-up Parameters|Data Collection Counts|[A-F]\\. )[^\\f]*Page (\\d)\\s*$"));
    for (const auto &[size, points] : {std::pair{QPageSize::Letter, "792 x 612 pts"}, {QPageSize::A4, "842 x 595 pts"}}) {
        SCOPED_TRACE(points);
        const QString pdf = path(QStringLiteral("wide%1.pdf").arg(int(size)));
        printTo(pdf, QPageLayout::Landscape, size);
        EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf}).contains(QLatin1String(points)));
        const QString text = pdfText(pdf);
        const QStringList sheets = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        EXPECT_EQ(sheets.size(), 3);
        for (int i = 0; i < sheets.size(); ++i)
            EXPECT_EQ(page.match(sheets[i]).captured(2), QString::number(i + 1)) << sheets[i].toStdString();
        // Every line once: the pocket rows once for each shift.
        for (const auto &[part, count] : {std::pair{"1. Can Presence Shifts", 1}, {"8. Missed Can Presence Count:", 1},
                                          {"3. Destination PLC Starting", 1}, {"8: 0", 2}, {"16: 0", 2}})
            EXPECT_EQ(text.count(QString::fromUtf8(part)), count) << part;
    }
}

namespace {
// Fixed metrics: every line 0.25 in., every character 0.1 in.
class FixedMetrics final : public Report::Metrics {
public:
    double width(Report::Style, const QString &t) const override { return 0.1 * double(t.size()); }
    double height(Report::Style) const override { return 0.25; }
};
}   // namespace

TEST_F(ReportTest, NoLineRunsIntoTheFooter)
{
    Report::Content c;
    c.setup = BuildDefaultSetup(MakeProgramVersion());
    c.title = QStringLiteral("[unnamed]");
    c.printedText = QStringLiteral("today");
    const FixedMetrics m;
    for (const QSizeF page : {QSizeF(8.5, 11), QSizeF(11, 8.5), QSizeF(8.27, 5.83)}) {
        const std::vector<Report::Page> pages = Report::Layout(c, page, m);
        ASSERT_GE(pages.size(), 2u);
        for (size_t i = 0; i < pages.size(); ++i) {
            const auto &items = pages[i].items;
            ASSERT_FALSE(items.empty());
            EXPECT_TRUE(items.front().text.startsWith(QStringLiteral("ORVEL Report: ")));
            double footerRule = 0;
            for (const auto &it : items)
                if (it.kind == Report::Item::Kind::Rule)
                    footerRule = std::max(footerRule, it.at.y());
            for (const auto &it : items) {
                if (it.kind == Report::Item::Kind::Text && it.style != Report::Style::Footer) {
                    EXPECT_LE(it.at.y() + 0.25, footerRule)
                        << page.height() << " page " << i << " " << it.text.toStdString();
                }
            }
            const auto lastText = std::find_if(items.rbegin(), items.rend(),
                                               [](const auto &it) { return it.kind == Report::Item::Kind::Text; });
            EXPECT_EQ(lastText->text, QStringLiteral("Page %1").arg(i + 1));
        }
    }
}

TEST_F(ReportTest, WaitWindowShowsWhileTheReportRuns)
{
    for (const auto &[mode, text, runs] : {std::tuple{1, "Generating Report, Please Standby ...", true},
                                           {0, "Please Standby ...", false}}) {
        WaitDisplayMode = mode;
        frmWaitDisplay w;
        bool ran = false;
        w.Form_Load([&, text = QString::fromLatin1(text)] {
            ran = true;
            EXPECT_TRUE(w.isVisible());
            EXPECT_EQ(w.lblWaitDisplay->text(), text);
        });
        EXPECT_EQ(ran, runs);
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.lblWaitDisplay->text(), QString::fromLatin1(text));
    }
}

// ---- Export -----------------------------------------------------------------

TEST_F(ReportTest, ExportWritesTheShiftDataAndProposesTheLastPath)
{
    frmMDIMain &m = startMain();
    const QString first = path(QStringLiteral("shift.txt"));
    dialogs.expectSave(first);
    m.mnuFileExport->trigger();
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("Text Files(*.txt)"));
    EXPECT_TRUE(dialogs.fileRequests[0].askOverwrite);
    EXPECT_TRUE(dialogs.fileRequests[0].initialPath.isEmpty());
    EXPECT_TRUE(dialogs.fileRequests[0].defaultSuffix.isEmpty());
    const QByteArray untitled = ReadBytes(first);
    EXPECT_TRUE(untitled.startsWith("untitled\r\nDate: \r\n \r\nCurrent Shift Data:\r\n"));

    CurrentSetup.Value[43] = 950, CurrentSetup.Value[80] = -3;
    openFile(QStringLiteral("line3.sdt"));
    const QString second = path(QStringLiteral("line3 shift"));   // no extension is added
    dialogs.expectSave(second);
    m.mnuFileExport->trigger();
    EXPECT_EQ(dialogs.fileRequests.back().initialPath, first);
    EXPECT_EQ(m.gFileExportPath, second);
    EXPECT_EQ(ReadBytes(second), ShiftExport::encode(CurrentSetup, QStringLiteral("line3.sdt"), m.gUploadNOW));
    // The date is that of the opening, as the command line's export gives
    // it, with the seconds the report's footer shows.
    EXPECT_EQ(m.gUploadNOW, ShiftExport::DataTimeText(clock.now()));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^3/5/24 1:02:\\d\\d PM$")).match(m.gUploadNOW).hasMatch())
        << m.gUploadNOW.toStdString();

    dialogs.expectSave(std::nullopt);   // cancelled: nothing written, path kept
    m.mnuFileExport->trigger();
    EXPECT_EQ(m.gFileExportPath, second);
    EXPECT_TRUE(dialogs.boxes().empty());

    const QString bad = path(QStringLiteral("no/such/folder/shift.txt"));
    dialogs.expectSave(bad);
    dialogs.expectBox(QStringLiteral("ORVEL"), B::OK);
    m.mnuFileExport->trigger();
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_TRUE(dialogs.boxes()[0].text.startsWith(QStringLiteral("The shift data could not be written to ") + bad))
        << dialogs.boxes()[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(bad));
}

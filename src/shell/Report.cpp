#include "Report.h"
#include "AppFolder.h"
#include "Utilities.h"
#include <algorithm>
#include <memory>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>

namespace Report {
namespace {

const QChar kDegree(0x00B0);

// A percentage of two counts as the shift data display works it out:
// part / whole x 100 in double precision, kept as a single-precision value.
// The counts are summed in 64 bits first: three counts near the top of the
// 32-bit range must not wrap to a negative total.
float widePercent(qint64 part, qint64 whole) { return float(double(part) / double(whole) * 100.0); }

QString whole(qint64 v) { return GroupedNumber(v); }

// The report routines over one set of pages. Positions are inches from the
// printable area's top-left corner; y is the top of the next line of text.
class Writer {
public:
    Writer(const Content &c, QSizeF printable, const Metrics &m)
        : c_(c), W_(printable.width()), H_(printable.height()), m_(m)
    {
        pages_.emplace_back();
    }

    std::vector<Page> PrintReport()
    {
        LM_ = 0.5;
        PrintSetupSection();
        PrintShiftDataSection();
        // The last footer starts a page that stays empty: it is not printed.
        if (pages_.size() > 1 && pages_.back().items.empty())
            pages_.pop_back();
        return pages_;
    }

private:
    qint64 V(int i) const { return c_.setup.Value.value(i); }

    void SetReportFont(Style s) { style_ = s; }
    double lineHeight() const { return m_.height(style_); }

    void print(double x, const QString &text)
    {
        Item it;
        it.kind = Item::Kind::Text;
        it.style = style_;
        it.at = QPointF(x, y_);
        it.text = text;
        pages_.back().items.push_back(it);
    }
    void rule(double x1, double y, double x2)
    {
        Item it;
        it.kind = Item::Kind::Rule;
        it.style = style_;
        it.at = QPointF(x1, y);
        it.to = QPointF(x2, y);
        pages_.back().items.push_back(it);
    }
    void endLine() { y_ += lineHeight(); }
    void emptyLine() { endLine(); }

    // Pages break between sections, where CheckPageSpace finds too little
    // room for the next one. Only a section longer than its page's room (on
    // a small sheet) is broken: at the line that would reach the footer's
    // rule, which goes on to a new page under that page's title line.
    void ensureRoom()
    {
        if (y_ + lineHeight() <= footerRuleY())
            return;
        const Style keep = style_;
        PageFooter();
        PageHeader();
        SetReportFont(keep);
    }

    void PageHeader()
    {
        SetReportFont(Style::PageTitle);
        QString text = QStringLiteral("ORVEL Report: ") + c_.title;
        // A title too long for the line is shortened in the middle rather
        // than cut off at the page edge.
        const double room = W_ - 2 * LM_;
        if (m_.width(style_, text) > room) {
            const QString ellipsis(QChar(0x2026));
            QString head = text.left(text.size() / 2), tail = text.mid(text.size() / 2);
            while (!head.isEmpty() && m_.width(style_, head + ellipsis + tail) > room) {
                head.chop(1);
                tail.remove(0, 1);
            }
            text = head + ellipsis + tail;
        }
        const double x = std::max(0.0, (W_ - m_.width(style_, text) - LM_) / 2);
        y_ = 0.1;
        print(x, text);
        endLine();
        const double y1 = y_ + lineHeight();
        rule(LM_, y1, W_ - LM_);
        x_ = LM_;
        y_ = y1 + 0.25;
    }

    double footerRuleY() const { return H_ - m_.height(Style::Footer) - 0.1 - 0.1; }

    void PageFooter()
    {
        const QString pageText = QStringLiteral("Page ") + QString::number(pages_.size());
        SetReportFont(Style::Footer);
        const double y = H_ - m_.height(Style::Footer) - 0.1;
        y_ = y;
        print(LM_, c_.printedText);
        print(W_ - m_.width(style_, pageText) - LM_, pageText);
        rule(LM_, footerRuleY(), W_ - LM_);
        // A new page: the position goes back to its top-left corner.
        pages_.emplace_back();
        x_ = 0;
        y_ = 0;
    }

    void CheckPageSpace(bool force, int lines)
    {
        if (force)
            PageFooter();
        if (H_ - lines * lineHeight() < y_ + kPageFullMargin)
            PageFooter();
        if (y_ == 0)
            PageHeader();
    }

    void partTitle(const QString &text)
    {
        SetReportFont(Style::PartTitle);
        print(x_, text);
        endLine();
        emptyLine();
    }

    void heading(const QString &text)
    {
        SetReportFont(Style::SectionHeading);
        ensureRoom();
        print(LM_ + 0.25, text);
        endLine();
        SetReportFont(Style::Body);
    }

    void item(const QString &label, const QString &value, double rightEdge)
    {
        SetReportFont(Style::Body);
        ensureRoom();
        print(LM_ + 0.5, label);
        // A value too wide for its column stays clear of its label.
        const double labelEnd = LM_ + 0.5 + m_.width(style_, label.trimmed());
        print(std::max(rightEdge - m_.width(style_, value), labelEnd + kValueGap), value);
        endLine();
    }

    void PrintSetupSection()
    {
        constexpr double R = 6.0;
        PageHeader();
        partTitle(QStringLiteral("Set-up Parameters"));

        heading(QStringLiteral("A. Reject Shift Registers"));
        const QString a[] = {
            QStringLiteral("1. Can Presence Shifts (can PRX to discharge): "),
            QStringLiteral("2. Leaker Reject Shifts (leak detector to discharge): "),
            QStringLiteral("3. Vision Reject Shifts (vision system to discharge): "),
            QStringLiteral("4. Pocket Number 1 Shift Offset: "),
            QStringLiteral("5. Array Fault Shift Offset: "),
        };
        for (int i = 0; i <= 4; ++i)
            item(a[i], whole(V(i)), R);
        emptyLine();
        CheckPageSpace(false, 6);

        heading(QStringLiteral("B. Reject Blow-off Parameters"));
        const QString b[] = {
            QStringLiteral("1. Can Neck Size (0.01\"): "),
            QStringLiteral("2. Reject Solenoid Pulse Time (msec.): "),
            QStringLiteral("3. Diverter Solenoid Pulse Time (msec.): "),
            QStringLiteral("4. Reject Photo Eye Can Time (msec.): "),
            QStringLiteral("5. Reject Solenoid ON Time (msec.): "),
            QStringLiteral("6. Reject Solenoid Delay Time (msec.): "),
        };
        for (int i = 5; i <= 10; ++i)
            item(b[i - 5], i <= 7 ? whole(V(i)) : FixedNumber(double(V(i)) / 2, 1), R);
        emptyLine();
        CheckPageSpace(false, 4);

        heading(QStringLiteral("C. Machine Timing"));
        const QString t[] = {
            QStringLiteral("1. CH00 - Sync Timing ON Position: "),
            QStringLiteral("2. CH01 - Pocket #1 ON Position: "),
            QStringLiteral("3. CH02 - Discharge Timing ON Position: "),
            QStringLiteral("4. CH03 - PLC Clock Timing ON Position: "),
        };
        for (int i = 11; i <= 14; ++i)
            item(t[i - 11], whole(V(i)) + kDegree, R);
        emptyLine();
        CheckPageSpace(false, 8);

        heading(QStringLiteral("D. FIFO Error Detection/Calibration"));
        const QString d[] = {
            QStringLiteral("1. Can Check Speed (CPM):"),          QStringLiteral("2. Number of Cans in FIFO:"),
            QStringLiteral("3. Maximum Number of Cans in FIFO:"), QStringLiteral("4. Minimum Number of Cans in FIFO:"),
            QStringLiteral("5. Average Number of Cans in FIFO:"), QStringLiteral("6. FIFO Low Correction Count:"),
            QStringLiteral("7. FIFO High Correction Count:"),     QStringLiteral("8. Missed Can Presence Count:"),
        };
        for (int i = 15; i <= 22; ++i)
            item(d[i - 15], i >= 17 && i <= 19 ? FixedNumber(double(V(i)) / 10, 1) : whole(V(i)), R);
        emptyLine();
        CheckPageSpace(false, 4);

        heading(QStringLiteral("E. Critical Input Positions"));
        const QString e[] = {
            QStringLiteral("1. Reject Receiver Input: "),
            QStringLiteral("2. Array Fault Receiver Input: "),
            QStringLiteral("3. Can Presence PRX Input: "),
            QStringLiteral("4. Vision Reject Input: "),
        };
        for (int i = 23; i <= 26; ++i)
            item(e[i - 23], AngleText(V(i)) + kDegree, R);
        emptyLine();
        CheckPageSpace(false, 3);

        heading(QStringLiteral("F. DF1 Communication Set-up Parameters"));
        item(QStringLiteral("1. Allen-Bradley PLC Type:"),
             V(81) == 0 ? QStringLiteral("PLC-5") : QStringLiteral("SLC-500"), R);
        item(QStringLiteral("2. Destination PLC Node Number:"), whole(V(82)), R);
        item(QStringLiteral("3. Destination PLC Starting File Number:"), whole(V(83)), R);
        emptyLine();
        PageFooter();
    }

    void shiftBlock(int b, int p)
    {
        constexpr double R = 4.5;
        item(QStringLiteral("1. Total Good Cans Tested:"), whole(V(b)), R);
        item(QStringLiteral("2. Total Leaker Rejects:"), whole(V(b + 1)), R);
        item(QStringLiteral("3. Total Vision Inspection Rejects:"), whole(V(b + 2)), R);
        const qint64 good = V(b), leaker = V(b + 1), vision = V(b + 2);
        qint64 total = good + leaker + vision;
        if (total == 0)
            total = 1;
        item(QStringLiteral("4. %Scrap (total):"), FixedNumber(widePercent(leaker + vision, total), 2), R);
        item(QStringLiteral("5. %Scrap (leaker):"), FixedNumber(widePercent(leaker, total), 2), R);
        item(QStringLiteral("6. %Scrap (vision):"), FixedNumber(widePercent(vision, total), 2), R);
        SetReportFont(Style::Body);
        ensureRoom();
        print(LM_ + 0.5, QStringLiteral("7. Rejects Per Pocket:"));
        endLine();
        auto pocket = [](int n, qint64 v) { return QStringLiteral(" %1: ").arg(n) + whole(v); };
        for (int j = 0; j <= 7; ++j) {
            ensureRoom();
            print(LM_ + 0.75, pocket(j + 1, V(p + j)));
            print(LM_ + 2.75, pocket(j + 9, V(p + j + 8)));
            endLine();
        }
    }

    void PrintShiftDataSection()
    {
        PageHeader();
        partTitle(QStringLiteral("Data Collection Counts (shift data)"));
        heading(QStringLiteral("A. Current Shift Data"));
        shiftBlock(43, 46);
        emptyLine();
        CheckPageSpace(false, 15);
        heading(QStringLiteral("B. Last (previous) Shift Data"));
        shiftBlock(62, 65);
        emptyLine();
        PageFooter();
    }

    static constexpr double kPageFullMargin = 0.9;
    static constexpr double kValueGap = 0.15;

    const Content &c_;
    const double W_, H_;
    const Metrics &m_;
    std::vector<Page> pages_;
    Style style_ = Style::Body;
    double LM_ = 0.5;
    double x_ = 0, y_ = 0;
};

}   // namespace

QFont ReportFont(Style style)
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Serif"), QStringLiteral("Times")});
    f.setStyleHint(QFont::Serif);
    int size = 12;
    bool bold = false;
    switch (style) {
    case Style::PartTitle:
    case Style::SectionHeading: size = 14, bold = true; break;
    case Style::Body: size = 12; break;
    case Style::PageTitle: size = 12, bold = true; break;
    case Style::Footer: size = 10; break;
    }
    f.setPointSize(size);
    f.setBold(bold);
    f.setItalic(false);
    f.setUnderline(false);
    return f;
}

DeviceMetrics::DeviceMetrics(QPaintDevice *device) : device_(device), dpi_(device->logicalDpiX()) {}

double DeviceMetrics::width(Style style, const QString &text) const
{
    return QFontMetricsF(ReportFont(style), device_).horizontalAdvance(text) / dpi_;
}

double DeviceMetrics::height(Style style) const
{
    return QFontMetricsF(ReportFont(style), device_).lineSpacing() / double(device_->logicalDpiY());
}

std::vector<Page> Layout(const Content &content, QSizeF printable, const Metrics &metrics)
{
    return Writer(content, printable, metrics).PrintReport();
}

QString GeneralDate(const QDateTime &when)
{
    // The locale's long time format without its time zone name: "1:02:03 PM".
    const QLocale loc;
    QString timeFormat = loc.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    timeFormat.replace(zone, QStringLiteral(" "));
    return loc.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + loc.toString(when.time(), timeFormat.trimmed());
}

QString Paint(QPagedPaintDevice &device, const std::vector<Page> &pages, QPointF origin)
{
    const double dx = device.logicalDpiX(), dy = device.logicalDpiY();
    QPainter p;
    if (!p.begin(&device))
        return QStringLiteral("the printer could not be started");
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage()) {
            p.end();
            return QStringLiteral("the printer refused page %1").arg(i + 1);
        }
        for (const Item &it : pages[i].items) {
            const QPointF at(origin.x() + it.at.x() * dx, origin.y() + it.at.y() * dy);
            if (it.kind == Item::Kind::Rule) {
                p.setPen(QPen(Qt::black, dy / 100.0));
                p.drawLine(at, QPointF(origin.x() + it.to.x() * dx, origin.y() + it.to.y() * dy));
                continue;
            }
            const QFont f = ReportFont(it.style);
            p.setFont(f);
            p.setPen(Qt::black);
            p.drawText(QPointF(at.x(), at.y() + QFontMetricsF(f, &device).ascent()), it.text);
        }
    }
    if (!p.end())
        return QStringLiteral("the printer could not finish the report");
    return QString();
}

QString PrintReport(QPrinter &printer, const Content &content)
{
    // Positions are taken from the page corner, and the printable area is
    // what the printer can reach: the page less its unprintable edges (none
    // for a PDF file).
    // A PDF file replaces an earlier one only when it is whole: the pages go to
    // a new file beside it. A device or a pipe is written into, held open
    // from here to the end so that its reader sees one stream.
    const QString pdfName = printer.outputFileName();
    std::unique_ptr<ReplacementFile> replacement;
    int stream = -1;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // A file that cannot be made is said so with its reason, before any page is drawn.
        const WriteTarget target = writeTarget(pdfName);
        QString why = target.error;
        if (target.kind == WriteTarget::Kind::Stream) {
            stream = openStream(target.path, why);
        } else if (target.kind == WriteTarget::Kind::Replace) {
            replacement = std::make_unique<ReplacementFile>(target.path);
            why = replacement->error();
            if (why.isEmpty())
                printer.setOutputFileName(replacement->name());
        }
        if (!why.isEmpty())
            return QStringLiteral("the file %1 could not be written (%2)").arg(QDir::toNativeSeparators(pdfName), why);
    }
    printer.setFullPage(true);
    const int dpi = printer.resolution();
    QPageLayout area = printer.pageLayout();
    area.setMode(QPageLayout::StandardMode);
    area.setMargins(area.minimumMargins());
    const QRectF rect = area.paintRectPixels(dpi);
    const DeviceMetrics metrics(&printer);
    const std::vector<Page> pages = Layout(content, QSizeF(rect.width() / dpi, rect.height() / dpi), metrics);
    QString why = Paint(printer, pages, rect.topLeft());
    closeStream(stream);
    if (!why.isEmpty() && printer.outputFormat() == QPrinter::PdfFormat)
        why = QStringLiteral("the file %1 could not be written").arg(QDir::toNativeSeparators(pdfName));
    if (replacement) {
        printer.setOutputFileName(pdfName);
        if (const QString failed = why.isEmpty() ? replacement->commit() : QString(); !failed.isEmpty())
            why = QStringLiteral("the file %1 could not be written (%2)").arg(QDir::toNativeSeparators(pdfName), failed);
    }
    return why;
}

}   // namespace Report

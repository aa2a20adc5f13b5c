#pragma once
// The printed report of a set-up: the set-up parameters and the shift data,
// a title line on every page and the print date and page number at the foot.
//
// The report is laid out first, as pages of texts and rules placed in inches
// from the printable area's top-left corner, measured with the fonts of the
// device it will go to; painting those pages is a separate step. So a printer
// and a PDF file get the same pages, and tests can read the layout itself.
#include "SetupData.h"
#include <QDateTime>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPrinter;

namespace Report {

enum class Style { PartTitle, SectionHeading, Body, PageTitle, Footer };

// The font of a style. "Times" is asked for as the metric-compatible
// Liberation Serif where that is installed (the set-up script installs it),
// so the report has the same line breaks and widths on every such machine.
QFont ReportFont(Style style);

// Text measurement in inches.
class Metrics {
public:
    virtual ~Metrics() = default;
    virtual double width(Style style, const QString &text) const = 0;
    virtual double height(Style style) const = 0;   // one line of text
};

// Measures with the fonts as the device renders them.
class DeviceMetrics final : public Metrics {
public:
    explicit DeviceMetrics(QPaintDevice *device);
    double width(Style style, const QString &text) const override;
    double height(Style style) const override;

private:
    QPaintDevice *device_;
    double dpi_;
};

struct Item {
    enum class Kind { Text, Rule };
    Kind kind = Kind::Text;
    Style style = Style::Body;
    QPointF at;   // a text's top-left corner, or a rule's start (inches)
    QPointF to;   // a rule's end
    QString text;
};

struct Page {
    std::vector<Item> items;
};

// What the report prints: the set-up, the title ("[line3.sdt]",
// "[unnamed]") and the footer's date and time text.
struct Content {
    SetupData setup;
    QString title;
    QString printedText;
};

// The pages of the report on a printable area of that size (inches).
std::vector<Page> Layout(const Content &content, QSizeF printable, const Metrics &metrics);

// The footer's date text: the short date and the time with seconds.
QString GeneralDate(const QDateTime &when);

// Paints laid-out pages on a paged device, one page after another, with
// the printable area at printableOrigin (device pixels). Empty when painted;
// else why not.
QString Paint(QPagedPaintDevice &device, const std::vector<Page> &pages, QPointF printableOrigin);

// Lays out and paints the report on a printer (or its PDF file). Empty when
// printed; else why not.
QString PrintReport(QPrinter &printer, const Content &content);

}   // namespace Report

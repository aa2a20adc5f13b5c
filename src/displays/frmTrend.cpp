#include "frmTrend.h"
#include "ChildCaption.h"
#include "Clock.h"
#include "Globals.h"
#include "RSComm.h"
#include "TrendSampler.h"
#include "Utilities.h"
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace {
// Speed, then the three scrap percentages, named as the main display names them.
struct Line {
    const char *name;
    QColor color;
    qreal width;
};
const Line kLines[4] = {
    {"Machine CPM", QColor(0x1f, 0x4e, 0x9a), 2.5},
    {"%Scrap (total)", QColor(0xc0, 0x1c, 0x28), 2.0},
    {"%Scrap (leaker)", QColor(0xe6, 0x7e, 0x00), 1.5},
    {"%Scrap (vision)", QColor(0x7b, 0x3f, 0xa0), 1.5},
};
constexpr qint64 kMinSpanMs = 10 * 60 * 1000;   // the time axis shows at least ten minutes

// Widens [from, to] to whole steps of the local clock (1 minute to 6 hours,
// at most 10 of them) and returns the number of ticks, one a step.
int RoundTimeRange(qint64 &from, qint64 &to)
{
    static const int kStepMinutes[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 240, 360};
    qint64 step = 0;
    for (int m : kStepMinutes) {
        step = qint64(m) * 60000;
        if ((to - from + step - 1) / step <= 10)
            break;
    }
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc()) * 1000;
    from = (from + offset) / step * step - offset;
    to = std::max(from + step, (to + offset + step - 1) / step * step - offset);
    return int((to - from) / step) + 1;
}
}   // namespace

frmTrend::frmTrend(RSComm &link, Dialogs &dialogs, TrendSampler &trend, QWidget *parent)
    : ChildWindow(link, dialogs, parent), trend_(trend)
{
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QStringLiteral("Shift Trend"));
    QVBoxLayout *body = AddCaptionBar(this);

    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(2, 2, 2, 2));
    // The chart's own legend would list every stretch between two gaps: the
    // window names the four lines once, above the chart.
    chart_->legend()->hide();
    axisTime = new QDateTimeAxis(chart_);
    axisTime->setFormat(QStringLiteral("HH:mm"));
    axisSpeed = new QValueAxis(chart_);
    axisSpeed->setTitleText(QStringLiteral("Machine CPM"));
    axisSpeed->setLabelFormat(QStringLiteral("%d"));
    axisScrap = new QValueAxis(chart_);
    axisScrap->setTitleText(QStringLiteral("%Scrap"));
    axisScrap->setLabelFormat(QStringLiteral("%.2f"));
    for (auto [axis, color] : {std::pair{axisSpeed, kLines[0].color}, std::pair{axisScrap, kLines[1].color}}) {
        axis->setTitleBrush(color);
        axis->setLabelsColor(color);
    }
    chart_->addAxis(axisTime, Qt::AlignBottom);
    chart_->addAxis(axisSpeed, Qt::AlignLeft);
    chart_->addAxis(axisScrap, Qt::AlignRight);

    chartView = new QChartView(chart_, this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(360, 240);
    QString names;
    for (const Line &l : kLines)
        names += QStringLiteral("<span style=\"color:%1\">&#9632;&nbsp;%2</span>&nbsp;&nbsp;&nbsp; ")
                     .arg(l.color.name(), QString::fromLatin1(l.name).toHtmlEscaped());
    lblLegend = new QLabel(names, this);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblLegend->setTextFormat(Qt::RichText);
    lblLegend->setAlignment(Qt::AlignCenter);
    lblLegend->setWordWrap(true);
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    // The caption bar's stretch goes: the chart takes the room.
    delete body->takeAt(0);
    body->addWidget(lblLegend);
    body->addWidget(chartView, 1);
    body->addWidget(lblInfo);

    connect(&trend_, &TrendSampler::changed, this, &frmTrend::redraw);
    redraw();
}

void frmTrend::redraw()
{
    chart_->removeAllSeries();
    // One set of lines per stretch of samples between two gaps.
    std::vector<std::array<QList<QPointF>, 4>> stretches(1);
    const int shiftStart = trend_.shiftStart();
    int samples = 0;
    double topSpeed = 0, topScrap = 0;
    for (int i = shiftStart; i < trend_.size(); ++i) {
        const TrendSample &s = trend_.at(i);
        if (s.gap) {
            if (!stretches.back()[0].isEmpty())
                stretches.emplace_back();
            continue;
        }
        const ScrapShares p = ScrapPercentages(s.good, s.leaker, s.vision);
        const double x = double(s.timeMs), values[4] = {double(s.cpm), p.total, p.leaker, p.vision};
        for (int k = 0; k < 4; ++k)
            stretches.back()[k].append(QPointF(x, values[k]));
        topSpeed = std::max(topSpeed, values[0]);
        topScrap = std::max(topScrap, values[1]);
        ++samples;
    }
    if (stretches.size() > 1 && stretches.back()[0].isEmpty())
        stretches.pop_back();
    for (size_t n = 0; n < stretches.size(); ++n) {
        for (int k = 0; k < 4; ++k) {
            auto *series = new QLineSeries;
            series->setName(QString::fromLatin1(kLines[k].name));
            series->setPen(QPen(kLines[k].color, kLines[k].width));
            series->replace(stretches[n][k]);
            chart_->addSeries(series);
            series->attachAxis(axisTime);
            series->attachAxis(k == 0 ? axisSpeed : axisScrap);
        }
    }

    const qint64 now = AppClock ? AppClock->now().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
    qint64 first = now - kMinSpanMs, last = now;
    if (samples > 0) {
        first = qint64(stretches.front()[0].first().x());
        last = qint64(stretches.back()[0].last().x());
    }
    qint64 from = first, to = std::max(last, first + kMinSpanMs);
    axisTime->setTickCount(RoundTimeRange(from, to));
    axisTime->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    axisSpeed->setRange(0, std::max(100.0, topSpeed * 1.1));
    axisSpeed->applyNiceNumbers();
    axisScrap->setRange(0, std::max(0.5, topScrap * 1.2));
    axisScrap->applyNiceNumbers();

    QString info;
    if (!link_.OnlineMode)
        info = QStringLiteral("OFFLINE: no samples are taken. ");
    if (samples == 0)
        info += QStringLiteral("No samples of this shift yet: the trend is sampled every 10 s while the program "
                               "is online.");
    else
        info += QStringLiteral("This shift from %1 to %2: %3 samples, one every 10 s while online; a break in "
                               "the lines is a gap (offline, or a read that failed).")
                    .arg(QDateTime::fromMSecsSinceEpoch(first).toString(QStringLiteral("HH:mm:ss")),
                         QDateTime::fromMSecsSinceEpoch(last).toString(QStringLiteral("HH:mm:ss")),
                         GroupedNumber(samples));
    lblInfo->setText(info);
}

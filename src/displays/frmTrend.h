#pragma once
// Child window: the shift trend. Machine speed and the three scrap
// percentages of the main display against the time of day, over the current
// shift, from the samples the background tick keeps (TrendSampler). The
// window reads nothing from the board itself: it draws the samples when it
// is shown and again whenever one is added.
#include "ChildWindow.h"
#include <array>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QValueAxis;
class TrendSampler;

class frmTrend : public ChildWindow {
    Q_OBJECT
public:
    frmTrend(RSComm &link, Dialogs &dialogs, TrendSampler &trend, QWidget *parent = nullptr);

    void Form_Activate() override { redraw(); }
    void onlineStateChanged() override { redraw(); }

    // Draws the current shift's samples again.
    void redraw();

    QChartView *chartView;
    QLabel *lblLegend;   // the four lines' names in their colours
    QLabel *lblInfo;   // what the chart shows, or why it is empty
    QDateTimeAxis *axisTime;
    QValueAxis *axisSpeed, *axisScrap;

private:
    TrendSampler &trend_;
    QChart *chart_;
};

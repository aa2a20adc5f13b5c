// What the shift trend costs the background tick, against the simulated
// board with line timing at 19200 baud and its can line running.
//   orvel-bench-trend [--quick] [--json]
// The ticks run back to back on a virtual clock moved 500 ms a tick, so a
// 10 s slot of the trend comes every 20 ticks; each tick's own time is real
// (the line's). The Shift Trend window is shown: it reads nothing, so the
// line carries the tick's reads alone.
// Figures:
//   tick.status_only.line_share  time a tick spends on the line over its 500 ms
//                                cycle: the alarm flags alone, as without the trend
//   tick.with_trend.line_share   the same over whole 10 s slots of the trend
//   tick.with_trend.worst_share  the tick that samples, over its cycle (goal < 0.5)
//   trend.sample_ms              the four confirmed reads of one sample
//   trend.sample_bytes           bytes on the line for one sample, both ways
//   trend.gap_share              slots that gave a gap (counts that moved
//                                between the two reads that confirm them, four times)
//   trend.memory_bytes           the 24-hour ring (8640 entries)
#include "BenchCommon.h"
#include "BenchDialogs.h"
#include "Clock.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "RSComm.h"
#include "SerialPortFactory.h"
#include "StatusPoll.h"
#include "TrendSampler.h"
#include "frmMDIMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-trend");
    if (!options.ok)
        return 2;
    QApplication app(argc, argv);
    const int cycles = options.quick ? 6 : 30;   // 10 s slots of the trend
    const int ticks = cycles * 20;

    SimOnCom1 sim(true);
    if (!sim.ok()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error.c_str());
        return 1;
    }
    boardsim::PtyBoard &board = sim.board;
    RegisterOrvelWindows();
    BenchDialogs dialogs(Dialogs::Button::OK);
    VirtualClock clock;
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(clock);
    std::vector<Figure> figures;
    {
        frmMDIMain main(dialogs, clock, *ownPort);
        main.tmrBackgroungUpdate->stop();
        main.mnuWindowForm_Click(frmMDIMain::TrendWindow);
        main.mnuViewOnline_Click();
        if (!Link->OnlineMode) {
            std::fprintf(stderr, "the board did not answer\n");
            return 1;
        }
        // Without the trend: the tick's status reads alone.
        QElapsedTimer t;
        double statusNs = 0;
        for (int i = 0; i < ticks; ++i) {
            t.start();
            StatusPoll(*Link, AlarmMessages).pollOnline();
            statusNs += double(t.nsecsElapsed());
            clock.advanceNs(500'000'000);
        }
        // With it: the whole tick, a sample every 20th.
        const TrendSampler &trend = main.trend();
        const int entries0 = trend.size();
        double tickNs = 0, worstNs = 0, sampleNs = 0, sampleBytes = 0;
        int samples = 0;
        for (int i = 0; i < ticks; ++i) {
            const int before = trend.size();
            const auto s0 = board.stats();
            t.start();
            main.tmrBackgroungUpdate_Timer();
            const double ns = double(t.nsecsElapsed());
            tickNs += ns;
            worstNs = std::max(worstNs, ns);
            if (trend.size() != before && !trend.at(trend.size() - 1).gap) {
                const auto s1 = board.stats();
                sampleNs += ns - statusNs / ticks;
                sampleBytes += double((s1.bytesIn - s0.bytesIn) + (s1.bytesOut - s0.bytesOut));
                ++samples;
            }
            clock.advanceNs(500'000'000);
        }
        const int gaps = trend.size() - entries0 - samples;
        figures.push_back({"tick.status_only.line_share", statusNs / ticks / 500e6, "ratio", ""});
        figures.push_back({"tick.with_trend.line_share", tickNs / ticks / 500e6, "ratio", ""});
        figures.push_back({"tick.with_trend.worst_share", worstNs / 500e6, "ratio", "< 0.5"});
        figures.push_back({"trend.sample_ms", samples ? sampleNs / samples / 1e6 : 0.0, "ms", ""});
        figures.push_back({"trend.sample_bytes", samples ? sampleBytes / samples : 0.0, "bytes", ""});
        figures.push_back({"trend.gap_share", double(gaps) / double(std::max(1, samples + gaps)), "ratio", ""});
        figures.push_back({"trend.memory_bytes", double(trend.memoryBytes()), "bytes", ""});
        main.mnuFileExit_Click();
    }
    if (dialogs.boxes)
        std::fprintf(stderr, "%d unexpected boxes\n", dialogs.boxes);
    PrintFigures(figures, options.json);
    return 0;
}

// How fast each window polls the simulated board, and what it costs.
//   orvel-bench-poll [--quick] [--json]
// The board answers with line timing at 19200 baud; the background tick is
// stopped, so the line carries the window's reads alone.
// Figures, per window (main, setup, df1, data, io):
//   poll.<window>.passes_per_s   online poll passes a second
//   poll.<window>.line_share     the same as a share of what the line allows for
//                                the window's reads: bytes on the line x 10 bits
//                                / 19200 baud, over the time measured
//   poll.<window>.line_share_less_pty   the same with the bare pty round trip
//                                (pty.roundtrip_us, which a serial line does not
//                                have) taken off the time, once per exchange (goal >= 0.97)
//   poll.<window>.cpu_percent    CPU of the program's main thread while it polls online (goal < 5)
//   poll.offline.cpu_percent     the same with the program offline, shift data shown (goal < 0.5)
#include "AppFolder.h"
#include "Clock.h"
#include "BenchDialogs.h"
#include "Dialogs.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "PollLoop.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "boardsim/Board.h"
#include "BenchCommon.h"
#include "PtyFloor.h"
#include "frmMDIMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-poll");
    if (!options.ok)
        return 2;
    const bool quick = options.quick, json = options.json;
    QApplication app(argc, argv);
    const int measureMs = quick ? 1500 : 5000;
    const double ptyUs = ptyRoundTrip(quick ? 5000 : 50000).wallUs;

    SimOnCom1 sim(true);
    if (!sim.ok()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error.c_str());
        return 1;
    }
    boardsim::PtyBoard &board = sim.board;
    board.set("F42=1");   // the DF1 driver is enabled: no warning box

    RegisterOrvelWindows();
    BenchDialogs dialogs(Dialogs::Button::OK);
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(SystemClock::instance());
    SerialPort &port = *ownPort;
    std::vector<Figure> figures;
    figures.push_back({"pty.roundtrip_us", ptyUs, "us", ""});
    {
        frmMDIMain main(dialogs, SystemClock::instance(), port);
        main.tmrBackgroungUpdate->stop();
        main.resize(1024, 740);
        main.show();
        main.mnuViewOnline_Click();
        if (!Link->OnlineMode) {
            std::fprintf(stderr, "the board did not answer\n");
            return 1;
        }
        const char *names[frmMDIMain::ChildCount] = {"main", "setup", "df1", "data", "io", "trend"};
        for (int w = 0; w < frmMDIMain::ChildCount; ++w) {
            main.mnuWindowForm_Click(w);
            RunEventLoopFor(300);   // the view is set up and the first passes run
            PollLoop *poll = main.currentChild() ? main.currentChild()->pollLoop() : nullptr;
            if (!poll)
                continue;
            const quint64 passes0 = poll->onlinePasses();
            const auto s0 = board.stats();
            const double cpu0 = ptyfloor::threadCpuNs();
            QElapsedTimer t;
            t.start();
            RunEventLoopFor(measureMs);
            const double secs = double(t.nsecsElapsed()) / 1e9;
            const double cpu = ptyfloor::threadCpuNs() - cpu0;
            const auto s1 = board.stats();
            const double passes = double(poll->onlinePasses() - passes0);
            const double lineSecs = double((s1.bytesIn - s0.bytesIn) + (s1.bytesOut - s0.bytesOut)) * 10.0 / 19200.0;
            const std::string n = std::string("poll.") + names[w];
            figures.push_back({n + ".passes_per_s", passes / secs, "passes/s", ""});
            const double exchanges = double(s1.bytesOut - s0.bytesOut);
            figures.push_back({n + ".line_share", lineSecs / secs, "ratio", ""});
            figures.push_back(
                {n + ".line_share_less_pty", lineSecs / (secs - exchanges * ptyUs / 1e6), "ratio", ">= 0.97"});
            figures.push_back({n + ".cpu_percent", cpu / 1e9 / secs * 100.0, "% of a core", "< 5"});
        }
        main.mnuWindowForm_Click(3);
        main.mnuViewOffline_Click();
        RunEventLoopFor(300);
        const double cpu0 = ptyfloor::threadCpuNs();
        QElapsedTimer t;
        t.start();
        RunEventLoopFor(measureMs);
        const double secs = double(t.nsecsElapsed()) / 1e9;
        figures.push_back(
            {"poll.offline.cpu_percent", (ptyfloor::threadCpuNs() - cpu0) / 1e9 / secs * 100.0, "% of a core", "< 0.5"});
        main.mnuFileExit_Click();
    }
    if (dialogs.boxes)
        std::fprintf(stderr, "%d unexpected boxes\n", dialogs.boxes);

    PrintFigures(figures, json);
    return 0;
}

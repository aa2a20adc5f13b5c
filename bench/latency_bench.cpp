// What a USB-serial adapter's latency timer costs the program. The simulated
// board answers with line timing at 19200 baud, directly (a built-in port)
// and behind an adapter whose latency timer is 1 ms or 16 ms (the usual
// default): orvel-boardsim --latency 1 / 16.
//   orvel-bench-latency [--quick] [--json]
// Figures, for <a> = none, 1ms, 16ms:
//   adapter.<a>.main_passes_per_s   the main display's online poll passes a
//                                   second (the background tick stopped)
//   adapter.main_exchanges_per_pass  answers the board sends in a pass of
//                                   the main display (measured without adapter)
//   adapter.<a>.exchange_ms         one byte out and its answer back, over
//                                   the upload's reads
//   adapter.<a>.upload_45k_minutes  a program upload of a K2707 (its range of
//                                   45,056 bytes and the 10 ident bytes, every
//                                   byte a confirmed read, as the upload reads
//                                   them): the time per byte of a shorter run
//                                   of the same reads, times 45,066
// --quick measures each for a shorter time (about 15 s in all).
#include "AppFolder.h"
#include "BenchCommon.h"
#include "BenchDialogs.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "PollLoop.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "boardsim/Board.h"
#include "frmMDIMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kUploadFirst = 0x5000;        // the K2707's program range
constexpr double kUploadBytes = 45056 + 10;   // the range and the ident

// One configuration: the main display's poll, then the upload's reads, on a
// board of its own. False when the board did not answer.
bool measure(const std::string &name, int latencyMs, bool quick, std::vector<Figure> &figures, int &boxes)
{
    SimOnCom1 sim(true, latencyMs);
    if (!sim.ok()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error.c_str());
        return false;
    }
    boardsim::PtyBoard &board = sim.board;
    board.set("F42=1");   // the DF1 driver is enabled: no warning box
    BenchDialogs dialogs(Dialogs::Button::OK);
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(SystemClock::instance());
    SerialPort &port = *ownPort;
    frmMDIMain main(dialogs, SystemClock::instance(), port);
    main.tmrBackgroungUpdate->stop();
    main.resize(1024, 740);
    main.show();
    main.mnuViewOnline_Click();
    if (!Link->OnlineMode) {
        std::fprintf(stderr, "%s: the board did not answer\n", name.c_str());
        return false;
    }
    main.mnuWindowForm_Click(0);
    PollLoop *poll = main.currentChild() ? main.currentChild()->pollLoop() : nullptr;
    if (!poll) {
        std::fprintf(stderr, "%s: the main display has no poll\n", name.c_str());
        return false;
    }
    // Passes a second between the first and the last pass that end in the
    // measured time: a pass behind a 16 ms adapter takes about half a second.
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ends;
    std::vector<std::uint64_t> answers;
    QObject::connect(poll, &PollLoop::onlinePassFinished, poll, [&] {
        ends.push_back(clock.nsecsElapsed());
        answers.push_back(board.stats().bytesOut);
    });
    RunEventLoopFor(quick ? 2000 : 8000);
    poll->stop();
    const double passes = ends.size() > 2 ? double(ends.size() - 2) : 0.0;
    figures.push_back({"adapter." + name + ".main_passes_per_s", passes ? passes * 1e9 / double(ends.back() - ends[1]) : 0.0,
                       "passes/s", ""});
    if (latencyMs == 0)   // the same behind any adapter
        figures.push_back({"adapter.main_exchanges_per_pass", passes ? double(answers.back() - answers[1]) / passes : 0.0,
                           "exchanges", ""});

    // The upload's reads from the start of the range, for a while.
    const auto s0 = board.stats();
    QElapsedTimer t;
    t.start();
    const qint64 budgetNs = (quick ? 1500 : 8000) * 1000000ll;
    int bytes = 0;
    while (t.nsecsElapsed() < budgetNs || bytes < 8) {
        Link->RSReadConfirmed(QStringLiteral("B") + QString::number(kUploadFirst + bytes));
        if (!Link->lastAccessOk()) {
            std::fprintf(stderr, "%s: a read failed\n", name.c_str());
            return false;
        }
        ++bytes;
    }
    const double secs = double(t.nsecsElapsed()) / 1e9;
    const auto s1 = board.stats();
    figures.push_back({"adapter." + name + ".exchange_ms", secs * 1e3 / double(s1.bytesOut - s0.bytesOut), "ms", ""});
    figures.push_back({"adapter." + name + ".upload_45k_minutes", secs / bytes * kUploadBytes / 60.0, "min", ""});
    main.mnuFileExit_Click();
    boxes += dialogs.boxes;
    return true;
}

}   // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-latency");
    if (!options.ok)
        return 2;
    QApplication app(argc, argv);
    RegisterOrvelWindows();
    std::vector<Figure> figures;
    int boxes = 0;
    bool ok = true;
    const struct {
        const char *name;
        int latencyMs;
    } adapters[] = {{"none", 0}, {"1ms", 1}, {"16ms", 16}};
    for (const auto &a : adapters)
        ok = measure(a.name, a.latencyMs, options.quick, figures, boxes) && ok;
    if (boxes)
        std::fprintf(stderr, "%d unexpected boxes\n", boxes);
    PrintFigures(figures, options.json);
    return ok && boxes == 0 ? 0 : 1;
}

// Measures the link's own cost against the simulated board on a pty.
//   orvel-bench-link [--quick] [--json]
// Figures:
//   link.exchanges_per_s         exchanges a second, no line timing (the pty is ~30x faster than a line)
//   link.cpu_us_per_exchange     program CPU (main thread) per exchange
//   link.cpu_us_beyond_pty       the same less what a bare write + read on a pty costs
//                                (pty.cpu_us_per_roundtrip): the link's own share
//   link.wait_cpu_percent        CPU of a core used while waiting on a silent board
//   link.added_us_19200/_9600    time per exchange beyond the line's own 20 bit-times
//   link.added_less_pty_us_*     the same less the bare pty round trip (pty.roundtrip_us),
//                                which a real serial line does not have
// The link.* figures are those of the termios port; link_qt.* the same on the
// QSerialPort port, side by side: the two take turns, and each figure is the
// backend's best of five rounds.
#include "AppFolder.h"
#include "Clock.h"
#include "BenchDialogs.h"
#include "Dialogs.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "boardsim/Board.h"
#include "PtyFloor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

double wallNs() { return double(SystemClock::instance().monotonicNs()); }

struct Figure {
    std::string name;
    double value;
    std::string unit;
    std::string goal;   // "< 10.4": the figure must stay below
    double limit;
};

// A board, the link online to it, in a scratch application folder.
struct Rig {
    QTemporaryDir dir;
    boardsim::PtyBoard board;
    std::unique_ptr<SerialPort> port;
    BenchDialogs dialogs;
    RSComm link{dialogs, SystemClock::instance()};

    Rig(boardsim::Options opt, SerialBackend backend) : board(opt), port(MakeSerialPort(backend))
    {
        std::string err;
        if (!board.start(&err)) {
            std::fprintf(stderr, "bench: simulator: %s\n", err.c_str());
            std::exit(1);
        }
        AppFolder::set(dir.path());
        QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
        board.linkTo((dir.path() + QStringLiteral("/Support/ports/COM1")).toStdString());
        QFile cfg(dir.path() + QStringLiteral("/Support/RSPort.cfg"));
        cfg.open(QIODevice::WriteOnly);
        cfg.write(QByteArray("1,") + QByteArray::number(opt.baud) + "\r\n");
        cfg.close();
        link.OpenRSComm(port.get());
        if (!link.OnlineMode) {
            std::fprintf(stderr, "bench: the simulated board did not answer\n");
            std::exit(1);
        }
    }
};

// Reads of one byte in read mode: two exchanges each. Returns {wall ns, cpu ns} per exchange.
std::pair<double, double> timeReads(Rig &rig, int reads)
{
    rig.link.RSRead(QStringLiteral("B999"));   // enter read mode outside the measurement
    const double w0 = wallNs(), c0 = ptyfloor::threadCpuNs();
    for (int i = 0; i < reads; ++i)
        rig.link.RSRead(QStringLiteral("B999"));
    const double w1 = wallNs(), c1 = ptyfloor::threadCpuNs();
    if (rig.link.CommError) {
        std::fprintf(stderr, "bench: link failed during the run\n");
        std::exit(1);
    }
    return {(w1 - w0) / (2.0 * reads), (c1 - c0) / (2.0 * reads)};
}

double threadSysNs()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_stime.tv_sec) * 1e9 + double(u.ru_stime.tv_usec) * 1e3;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const bool json = args.contains(QStringLiteral("--json"));
    std::vector<Figure> figures;
    const double line19200 = 20.0 / 19200 * 1e6, line9600 = 20.0 / 9600 * 1e6;   // µs per exchange

    const PtyFloor floor = ptyRoundTrip(quick ? 5000 : 50000);
    const double ptyUs = floor.wallUs;
    figures.push_back({"pty.roundtrip_us", floor.wallUs, "us", "(floor set by the kernel, not a goal)", 1e9});
    figures.push_back({"pty.cpu_us_per_roundtrip", floor.cpuUs, "us", "(write + read on a bare pty, not a goal)", 1e9});
    // The two backends take turns, a round each, and each keeps its best
    // round: on a machine busy with other work the rounds differ far more than
    // the backends do.
    constexpr int kRounds = 5;
    const SerialBackend backends[2] = {SerialBackend::Termios, SerialBackend::Qt};
    const std::string names[2] = {"link.", "link_qt."};
    {
        boardsim::Options opt;
        opt.lineRunning = false;
        Rig termios(opt, backends[0]), qt(opt, backends[1]);
        Rig *rigs[2] = {&termios, &qt};
        const int reads = (quick ? 20000 : 200000) / kRounds;
        double wall[2] = {1e18, 1e18}, cpu[2] = {1e18, 1e18}, sys[2] = {}, all[2] = {};
        for (int round = 0; round < kRounds; ++round)
            for (int b = 0; b < 2; ++b) {
                const double s0 = threadSysNs();
                const auto [w, c] = timeReads(*rigs[b], reads);
                sys[b] += threadSysNs() - s0;
                all[b] += c * 2.0 * reads;
                wall[b] = std::min(wall[b], w);
                cpu[b] = std::min(cpu[b], c);
            }
        for (int b = 0; b < 2; ++b) {
            const std::string &name = names[b];
            figures.push_back({name + "exchanges_per_s", 1e9 / wall[b], "1/s", "> 960 (a 19200 baud line)", -960});
            figures.push_back({name + "cpu_us_per_exchange", cpu[b] / 1000.0, "us", "(pty system calls included)", 1e9});
            figures.push_back(
                {name + "cpu_kernel_share", 100.0 * sys[b] / all[b], "%", "(of the CPU above, spent in system calls)", 1e9});
            figures.push_back({name + "cpu_us_beyond_pty", cpu[b] / 1000.0 - floor.cpuUs, "us",
                               "< 10.4 (1% of the 19200 baud line time)", line19200 / 100});
        }
    }
    for (int b = 0; b < 2; ++b) {
        boardsim::Options opt;
        opt.lineRunning = false;
        Rig rig(opt, backends[b]);
        rig.board.addFault("silence");
        const double w0 = wallNs(), c0 = ptyfloor::threadCpuNs();
        rig.link.RSRead(QStringLiteral("W1014"));   // 1 + 2 + 2 s of waiting, then the box (Cancel)
        const double w1 = wallNs(), c1 = ptyfloor::threadCpuNs();
        figures.push_back({names[b] + "wait_cpu_percent", 100.0 * (c1 - c0) / (w1 - w0), "% of a core", "< 1", 1.0});
    }
    for (int baud : {19200, 9600}) {
        boardsim::Options opt;
        opt.lineRunning = false;
        opt.realtimeLine = true;
        opt.baud = baud;
        Rig termios(opt, backends[0]), qt(opt, backends[1]);
        Rig *rigs[2] = {&termios, &qt};
        const double line = baud == 19200 ? line19200 : line9600;
        double wall[2] = {1e18, 1e18};
        for (int round = 0; round < kRounds; ++round)
            for (int b = 0; b < 2; ++b)
                wall[b] = std::min(wall[b], timeReads(*rigs[b], (quick ? 500 : 3000) / kRounds).first);
        for (int b = 0; b < 2; ++b) {
            const double added = wall[b] / 1000.0 - line;
            figures.push_back({names[b] + "added_us_" + std::to_string(baud), added, "us", "(pty and simulator included)", 1e9});
            figures.push_back({names[b] + "added_less_pty_us_" + std::to_string(baud), added - ptyUs, "us",
                               "< " + QString::number(line * 0.03, 'f', 1).toStdString() + " (3% of the line time)",
                               line * 0.03});
        }
    }

    bool allMet = true;
    if (json) {
        std::printf("{");
        for (size_t i = 0; i < figures.size(); ++i) {
            const Figure &f = figures[i];
            std::printf("%s\"%s\": {\"value\": %.3f, \"unit\": \"%s\", \"goal\": \"%s\"}", i ? ", " : "",
                        f.name.c_str(), f.value, f.unit.c_str(), f.goal.c_str());
        }
        std::printf("}\n");
    } else {
        std::printf("%-30s %14s  %-12s %s\n", "figure", "value", "unit", "goal");
        for (const Figure &f : figures) {
            const bool met = f.limit < 0 ? f.value > -f.limit : f.value < f.limit;
            allMet = allMet && met;
            std::printf("%-30s %14.3f  %-12s %s%s\n", f.name.c_str(), f.value, f.unit.c_str(), f.goal.c_str(),
                        met ? "" : "  NOT MET");
        }
    }
    return 0;
}

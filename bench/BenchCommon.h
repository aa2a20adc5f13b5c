#pragma once
// What the benchmarks against the simulated board share: their options, the
// figures they print, and a board with line timing behind COM1 of a scratch
// application folder.
#include "AppFolder.h"
#include "boardsim/Board.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

struct Figure {
    std::string name;
    double value;
    std::string unit;
    std::string goal;   // ">= 0.97", or empty when the figure is for information
};

struct BenchOptions {
    bool quick = false;
    bool json = false;
    bool ok = true;   // false: the arguments were wrong (usage printed)
};

// Lets the event loop run (polls, ticks, transfers) for ms.
inline void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline BenchOptions ParseBenchOptions(int argc, char **argv, const char *program)
{
    BenchOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick")
            o.quick = true;
        else if (a == "--json")
            o.json = true;
        else {
            std::fprintf(stderr, "usage: %s [--quick] [--json]\n", program);
            o.ok = false;
        }
    }
    return o;
}

// One JSON object of {"value", "unit", "goal"} per figure, or a table.
inline void PrintFigures(const std::vector<Figure> &figures, bool json)
{
    if (json) {
        std::printf("{");
        for (size_t i = 0; i < figures.size(); ++i)
            std::printf("%s\"%s\": {\"value\": %.4g, \"unit\": \"%s\", \"goal\": \"%s\"}", i ? ", " : "",
                        figures[i].name.c_str(), figures[i].value, figures[i].unit.c_str(), figures[i].goal.c_str());
        std::printf("}\n");
    } else {
        for (const Figure &f : figures)
            std::printf("%-44s %10.3f %-12s %s\n", f.name.c_str(), f.value, f.unit.c_str(), f.goal.c_str());
    }
}

// A scratch application folder whose COM1 is a simulated board answering with
// line timing at 19200 baud; RSPort.cfg says 1,19200.
struct SimOnCom1 {
    QTemporaryDir dir;
    boardsim::PtyBoard board;
    std::string error;

    static boardsim::Options lineTimed(bool lineRunning, int latencyMs)
    {
        boardsim::Options opt;
        opt.realtimeLine = true;
        opt.baud = 19200;
        opt.lineRunning = lineRunning;
        opt.latencyMs = latencyMs;
        return opt;
    }

    // latencyMs: a USB adapter's latency timer in front of the program (0: none).
    explicit SimOnCom1(bool lineRunning = true, int latencyMs = 0) : board(lineTimed(lineRunning, latencyMs))
    {
        AppFolder::set(dir.path());
        QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
        QFile cfg(dir.path() + QStringLiteral("/Support/RSPort.cfg"));
        if (cfg.open(QIODevice::WriteOnly))
            cfg.write("1,19200\r\n");
        if (board.start(&error))
            board.linkTo((dir.path() + QStringLiteral("/Support/ports/COM1")).toStdString(), &error);
    }
    bool ok() const { return error.empty(); }
};

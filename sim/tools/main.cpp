// orvel-boardsim: a T6850 board on a pseudo-terminal, for the program to
// talk to when no board is connected.
#include "boardsim/Board.h"
#include "boardsim/Engine.h"

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>
#include <vector>

namespace {

void usage(std::FILE *out)
{
    std::fprintf(out,
                 "Usage: orvel-boardsim [--link PATH] [--baud N] [--realtime-line] [--latency MS]\n"
                 "                      [--seed N] [--fault RULE]... [--set ADDR=VALUE]... [--still]\n"
                 "                      [--dump FILE]\n"
                 "\n"
                 "Serves a simulated T6850 board on a pseudo-terminal, prints the terminal's\n"
                 "path and runs until interrupted (Ctrl-C or SIGTERM), then prints a summary.\n"
                 "\n"
                 "  --link PATH       make PATH a symbolic link to the terminal, for example\n"
                 "                    <app folder>/Support/ports/COM1 (folders are created)\n"
                 "  --baud N          line speed for --realtime-line (default 19200)\n"
                 "  --realtime-line   every byte takes 10 bit-times each way, as on a real line\n"
                 "  --latency MS      a USB-serial adapter's latency timer (1 to 255 ms): every\n"
                 "                    answer reaches the program at the next multiple of MS after\n"
                 "                    the first byte of its request arrived (16 is the usual\n"
                 "                    default, 1 the lowest setting)\n"
                 "  --seed N          seed of the can line (default 1)\n"
                 "  --still           the can line stands still (memory changes only when written)\n"
                 "  --set ADDR=VALUE  preset memory: B100=5, W188=4660, D1100=123456, F54=1,\n"
                 "                    B4001.3=1, 1F40H=7 (values in decimal)\n"
                 "  --dump FILE       on exit, write the 64 KiB board memory to FILE\n"
                 "  --fault RULE      inject a fault; RULE is one of:\n"
                 "%s"
                 "  --help            this text\n",
                 boardsim::faultGrammar().c_str());
}

bool parseUnsigned(const char *text, unsigned long long max, unsigned long long *out)
{
    if (!text || !*text)
        return false;
    unsigned long long v = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + static_cast<unsigned long long>(*p - '0');
        if (v > max)
            return false;
    }
    *out = v;
    return true;
}

// What the command line asks for.
struct Settings {
    boardsim::Options opt;
    std::string linkPath;
    std::string dumpPath;
    std::vector<std::string> sets;
};

// Reads the command line into `out`; returns an exit status when the program
// is to end at once (0 after --help, 2 for a bad argument), else -1.
int parseArguments(int argc, char **argv, Settings &out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orvel-boardsim: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        unsigned long long n = 0;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--realtime-line") {
            out.opt.realtimeLine = true;
            continue;
        }
        if (arg == "--still") {
            out.opt.lineRunning = false;
            continue;
        }
        if (arg != "--link" && arg != "--dump" && arg != "--baud" && arg != "--latency" && arg != "--seed"
            && arg != "--fault" && arg != "--set") {
            std::fprintf(stderr, "orvel-boardsim: unknown argument \"%s\" (see --help)\n", arg.c_str());
            return 2;
        }
        const char *v = value(arg.c_str());
        if (!v)
            return 2;
        std::string err;
        if (arg == "--link") {
            out.linkPath = v;
        } else if (arg == "--dump") {
            out.dumpPath = v;
            if (out.dumpPath.empty()) {
                std::fprintf(stderr, "orvel-boardsim: --dump needs a file name\n");
                return 2;
            }
        } else if (arg == "--baud") {
            if (!parseUnsigned(v, 4000000, &n) || n < 50) {
                std::fprintf(stderr, "orvel-boardsim: --baud \"%s\": expected a speed such as 9600 or 19200\n", v);
                return 2;
            }
            out.opt.baud = static_cast<int>(n);
        } else if (arg == "--latency") {
            if (!parseUnsigned(v, 255, &n) || n < 1) {
                std::fprintf(stderr, "orvel-boardsim: --latency \"%s\": expected milliseconds 1 to 255\n", v);
                return 2;
            }
            out.opt.latencyMs = static_cast<int>(n);
        } else if (arg == "--seed") {
            if (!parseUnsigned(v, 0xFFFFFFFFull, &n)) {
                std::fprintf(stderr, "orvel-boardsim: --seed \"%s\": expected a number 0 to 4294967295\n", v);
                return 2;
            }
            out.opt.seed = static_cast<std::uint32_t>(n);
        } else if (arg == "--fault") {
            boardsim::FaultSpec rule;
            if (!boardsim::parseFault(v, &rule, &err)) {
                std::fprintf(stderr, "orvel-boardsim: %s\n", err.c_str());
                return 2;
            }
            out.opt.faults.push_back(v);
        } else {   // --set
            boardsim::Assignment a;
            if (!boardsim::parseAssignment(v, &a, &err)) {
                std::fprintf(stderr, "orvel-boardsim: --set %s\n", err.c_str());
                return 2;
            }
            out.sets.push_back(v);
        }
    }
    return -1;
}

// Serves the board until SIGINT or SIGTERM; returns the exit status.
int serve(const Settings &cfg)
{
    // Signals are taken by sigwait below; block them before the board's
    // thread starts so it inherits the mask.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    boardsim::PtyBoard board(cfg.opt);
    for (const auto &s : cfg.sets)
        board.set(s);
    std::string err;
    if (!board.start(&err)) {
        std::fprintf(stderr, "orvel-boardsim: cannot start: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\n", board.slavePath().c_str());
    std::fflush(stdout);
    if (!cfg.linkPath.empty()) {
        if (!board.linkTo(cfg.linkPath, &err)) {
            std::fprintf(stderr, "orvel-boardsim: %s\n", err.c_str());
            board.stop();
            return 1;
        }
        std::fprintf(stderr, "orvel-boardsim: %s -> %s\n", cfg.linkPath.c_str(), board.slavePath().c_str());
    }

    int sig = 0;
    sigwait(&sigs, &sig);
    const std::string summary = board.summary();
    board.stop();
    std::fprintf(stderr, "%s\n", summary.c_str());
    if (!cfg.dumpPath.empty() && !board.dumpMemory(cfg.dumpPath, &err)) {
        std::fprintf(stderr, "orvel-boardsim: --dump: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

}   // namespace

int main(int argc, char **argv)
{
    Settings cfg;
    const int early = parseArguments(argc, argv, cfg);
    if (early >= 0)
        return early;
    return serve(cfg);
}

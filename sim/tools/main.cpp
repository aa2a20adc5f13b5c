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
                 "Usage: orvel-boardsim [--link PATH] [--baud N] [--realtime-line] [--seed N]\n"
                 "                      [--fault RULE]... [--set ADDR=VALUE]... [--still] [--dump FILE]\n"
                 "\n"
                 "Serves a simulated T6850 board on a pseudo-terminal, prints the terminal's\n"
                 "path and runs until interrupted (Ctrl-C or SIGTERM), then prints a summary.\n"
                 "\n"
                 "  --link PATH       make PATH a symbolic link to the terminal, for example\n"
                 "                    <app folder>/Support/ports/COM1 (folders are created)\n"
                 "  --baud N          line speed for --realtime-line (default 19200)\n"
                 "  --realtime-line   every byte takes 10 bit-times each way, as on a real line\n"
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

} // namespace

int main(int argc, char **argv)
{
    boardsim::Options opt;
    std::string linkPath;
    std::string dumpPath;
    std::vector<std::string> sets;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orvel-boardsim: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        unsigned long long n = 0;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--link") {
            linkPath = value("--link");
        } else if (arg == "--dump") {
            dumpPath = value("--dump");
            if (dumpPath.empty()) {
                std::fprintf(stderr, "orvel-boardsim: --dump needs a file name\n");
                return 2;
            }
        } else if (arg == "--baud") {
            const char *v = value("--baud");
            if (!parseUnsigned(v, 4000000, &n) || n < 50) {
                std::fprintf(stderr, "orvel-boardsim: --baud \"%s\": expected a speed such as 9600 or 19200\n", v);
                return 2;
            }
            opt.baud = static_cast<int>(n);
        } else if (arg == "--realtime-line") {
            opt.realtimeLine = true;
        } else if (arg == "--still") {
            opt.lineRunning = false;
        } else if (arg == "--seed") {
            const char *v = value("--seed");
            if (!parseUnsigned(v, 0xFFFFFFFFull, &n)) {
                std::fprintf(stderr, "orvel-boardsim: --seed \"%s\": expected a number 0 to 4294967295\n", v);
                return 2;
            }
            opt.seed = static_cast<std::uint32_t>(n);
        } else if (arg == "--fault") {
            const char *v = value("--fault");
            boardsim::FaultSpec rule;
            std::string err;
            if (!boardsim::parseFault(v, &rule, &err)) {
                std::fprintf(stderr, "orvel-boardsim: %s\n", err.c_str());
                return 2;
            }
            opt.faults.push_back(v);
        } else if (arg == "--set") {
            const char *v = value("--set");
            boardsim::Assignment a;
            std::string err;
            if (!boardsim::parseAssignment(v, &a, &err)) {
                std::fprintf(stderr, "orvel-boardsim: --set %s\n", err.c_str());
                return 2;
            }
            sets.push_back(v);
        } else {
            std::fprintf(stderr, "orvel-boardsim: unknown argument \"%s\" (see --help)\n", arg.c_str());
            return 2;
        }
    }

    // Signals are taken by sigwait below; block them before the board's
    // thread starts so it inherits the mask.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    boardsim::PtyBoard board(opt);
    for (const auto &s : sets)
        board.set(s);
    std::string err;
    if (!board.start(&err)) {
        std::fprintf(stderr, "orvel-boardsim: cannot start: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\n", board.slavePath().c_str());
    std::fflush(stdout);
    if (!linkPath.empty()) {
        if (!board.linkTo(linkPath, &err)) {
            std::fprintf(stderr, "orvel-boardsim: %s\n", err.c_str());
            board.stop();
            return 1;
        }
        std::fprintf(stderr, "orvel-boardsim: %s -> %s\n", linkPath.c_str(), board.slavePath().c_str());
    }

    int sig = 0;
    sigwait(&sigs, &sig);
    const std::string summary = board.summary();
    board.stop();
    std::fprintf(stderr, "%s\n", summary.c_str());
    if (!dumpPath.empty() && !board.dumpMemory(dumpPath, &err)) {
        std::fprintf(stderr, "orvel-boardsim: --dump: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

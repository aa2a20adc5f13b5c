#pragma once
// The floor a pseudo-terminal sets under every benchmark against the
// simulated board: what one byte out and one back cost between two bare
// threads, with no link and no simulator. A real serial line does not have it.
#include <ctime>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace ptyfloor {
inline double wallNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}
inline double threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}
}   // namespace ptyfloor

// The floor a pty sets: one byte out and one back between two bare threads,
// with no link and no simulator. Returns microseconds per round trip.
struct PtyFloor {
    double wallUs;   // per round trip
    double cpuUs;    // CPU of the sending thread per round trip
};

inline PtyFloor ptyRoundTrip(int rounds)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return {0, 0};
    termios t{};
    for (int fd : {master, slave}) {
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    std::thread echo([master, rounds] {
        char b;
        for (int i = 0; i < rounds; ++i)
            if (::read(master, &b, 1) != 1 || ::write(master, &b, 1) != 1)
                return;
    });
    const double w0 = ptyfloor::wallNs(), c0 = ptyfloor::threadCpuNs();
    char b = 0x55;
    for (int i = 0; i < rounds; ++i) {
        if (::write(slave, &b, 1) != 1 || ::read(slave, &b, 1) != 1)
            break;
    }
    const double w1 = ptyfloor::wallNs(), c1 = ptyfloor::threadCpuNs();
    echo.join();
    ::close(master);
    ::close(slave);
    return {(w1 - w0) / rounds / 1000.0, (c1 - c0) / rounds / 1000.0};
}

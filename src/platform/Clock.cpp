#include "Clock.h"
#include <chrono>

std::int64_t SystemClock::monotonicNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

SystemClock &SystemClock::instance()
{
    static SystemClock c;
    return c;
}

#include "Clock.h"
#include "Interruption.h"
#include <algorithm>
#include <chrono>
#include <ctime>

std::int64_t SystemClock::monotonicNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

void SystemClock::sleepUntil(std::int64_t untilNs) const
{
    // A signal cuts a sleep short; the slices bound the wait for a request
    // made just before a slice began.
    constexpr std::int64_t kSliceNs = 100'000'000;
    for (std::int64_t left; !Interruption::requested() && (left = untilNs - monotonicNs()) > 0;) {
        const std::int64_t ns = std::min(left, kSliceNs);
        const timespec t{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
        ::nanosleep(&t, nullptr);
    }
}

SystemClock &SystemClock::instance()
{
    static SystemClock c;
    return c;
}

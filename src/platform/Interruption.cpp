#include "Interruption.h"
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
std::atomic<int> g_wakeFd{-1};
constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_before[2];
bool g_taken = false;

void onTerminationSignal(int sig)
{
    if (Interruption::requested()) {
        // A second signal: the process ends now, the system frees the port.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    Interruption::request();
    if (const int fd = g_wakeFd.load(); fd >= 0) {
        const char b = char(sig);
        [[maybe_unused]] const auto n = ::write(fd, &b, 1);
    }
}
}   // namespace

void Interruption::request() { g_requested.store(true, std::memory_order_relaxed); }

bool Interruption::requested() { return g_requested.load(std::memory_order_relaxed); }

void Interruption::clear() { g_requested.store(false, std::memory_order_relaxed); }

void Interruption::takeTerminationSignals(int wakeFd)
{
    g_wakeFd.store(wakeFd);
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 2; ++i) {
        struct sigaction before {};
        sigaction(kSignals[i], nullptr, &before);
        if (!g_taken)
            g_before[i] = before;
        if (before.sa_handler != SIG_IGN)
            sigaction(kSignals[i], &sa, nullptr);
    }
    g_taken = true;
}

void Interruption::restoreTerminationSignals()
{
    if (!g_taken)
        return;
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &g_before[i], nullptr);
    g_taken = false;
    g_wakeFd.store(-1);
}

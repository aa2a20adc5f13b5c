// Serves an Engine on a pseudo-terminal from its own thread. Simulated time
// is the monotonic clock since start(). With line timing on, every byte
// takes ten bit-times each way and answers leave on absolute deadlines.
// With an adapter latency, answers are held as a USB-serial adapter holds them.
#include "boardsim/AdapterLatency.h"
#include "boardsim/Board.h"
#include "boardsim/Engine.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace boardsim {

namespace {

std::uint64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

// Sleeps to a little before the deadline, then spins the rest: a sleeping
// thread wakes tens of microseconds late, which a line would not be.
void sleepUntilPrecisely(std::uint64_t ns)
{
    constexpr std::uint64_t kSpin = 80000;
    timespec ts{};
    const std::uint64_t early = ns > kSpin ? ns - kSpin : 0;
    ts.tv_sec = static_cast<time_t>(early / 1000000000ull);
    ts.tv_nsec = static_cast<long>(early % 1000000000ull);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (static_cast<std::uint64_t>(now.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(now.tv_nsec) >= ns)
            return;
    }
}

bool setError(std::string *error, const std::string &what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

// mkdir -p of the folder that holds path.
bool makeParents(const std::string &path, std::string *error)
{
    std::string dir;
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        dir = path.substr(0, i);
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
            return setError(error, "cannot create folder " + dir);
    }
    return true;
}

}   // namespace

struct PtyBoard::Impl {
    explicit Impl(const Options &o)
        : opt(o), engine(o), adapter(static_cast<std::uint64_t>(std::max(o.latencyMs, 0)) * 1000000ull)
    {
    }

    Options opt;
    mutable std::mutex m;
    Engine engine;
    int master = -1;
    int slaveHold = -1;   // keeps the pty alive while no program has it open
    int wake[2] = {-1, -1};
    std::string slave;
    std::string linkPath;
    std::thread thread;
    std::atomic<bool> stopping{false};
    bool running = false;
    std::uint64_t t0 = 0;

    struct Out {
        std::uint64_t at;
        std::uint8_t byte;
    };
    std::deque<Out> pending;
    std::uint64_t inFree = 0, outFree = 0;
    std::uint64_t pullDeadline = 0;
    std::uint64_t lastWrite = 0;
    AdapterLatency adapter;

    std::uint64_t simNow() const { return monotonicNs() - t0; }
    std::uint64_t byteNs() const
    {
        const int baud = opt.baud > 0 ? opt.baud : 9600;
        return opt.realtimeLine ? 10ull * 1000000000ull / static_cast<std::uint64_t>(baud) : 0;
    }

    void closePty()
    {
        if (master >= 0)
            ::close(master);
        if (slaveHold >= 0)
            ::close(slaveHold);
        master = slaveHold = -1;
        pending.clear();
    }

    void receive(const std::uint8_t *buf, std::size_t n, std::uint64_t now)
    {
        const std::uint64_t bt = byteNs();
        for (std::size_t i = 0; i < n; ++i) {
            adapter.requestByte(now);
            const std::uint64_t rx = std::max(now, inFree) + bt;
            inFree = rx;
            std::vector<std::uint8_t> answers;
            std::uint64_t delay;
            {
                std::lock_guard<std::mutex> lock(m);
                engine.advanceTo(rx);
                answers = engine.feed(buf[i]);
                delay = static_cast<std::uint64_t>(engine.answerDelayMs()) * 1000000ull;
            }
            for (auto a : answers) {
                const std::uint64_t start = std::max(rx + delay, outFree);
                outFree = start + bt;
                // (outFree: the byte is in the adapter; the PC gets it when the adapter passes it on)
                pending.push_back({adapter.release(outFree), a});
            }
        }
    }

    void run()
    {
        // With line timing the board answers on microsecond deadlines; the
        // kernel's default 50 us timer slack would make every answer late.
        if (opt.realtimeLine)
            prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        std::uint8_t buf[512];
        while (!stopping.load()) {
            std::uint64_t now = simNow();
            {
                std::lock_guard<std::mutex> lock(m);
                engine.advanceTo(now);
            }
            while (master >= 0 && !pending.empty() && pending.front().at <= now) {
                const std::uint8_t b = pending.front().byte;
                pending.pop_front();
                // A full buffer means nobody is reading: the byte is lost, as on a line.
                [[maybe_unused]] ssize_t w = ::write(master, &b, 1);
                lastWrite = now;
            }
            bool pulled;
            {
                std::lock_guard<std::mutex> lock(m);
                pulled = engine.cablePulled();
            }
            if (pulled && master >= 0 && pending.empty()) {
                // Let the last answers reach the program first: a hang-up
                // discards what the other side has not read yet.
                if (!pullDeadline)
                    pullDeadline = now + 1000000000ull;
                int unread = 0;
                if (slaveHold < 0 || ioctl(slaveHold, TIOCINQ, &unread) != 0)
                    unread = 0;
                // (the pty moves written bytes to the reader's side a little later)
                if ((unread == 0 && now >= lastWrite + 50000000ull) || now >= pullDeadline) {
                    closePty();
                    continue;
                }
                pollfd w{wake[0], POLLIN, 0};
                ::poll(&w, 1, 2);
                continue;
            }

            std::int64_t waitMs = 50;
            if (master >= 0 && !pending.empty()) {
                const std::uint64_t next = pending.front().at;
                now = simNow();
                if (next <= now)
                    continue;
                if (next - now < 2000000ull) {
                    sleepUntilPrecisely(t0 + next);   // the last stretch on an absolute deadline
                    continue;
                }
                waitMs = static_cast<std::int64_t>((next - now) / 1000000ull) - 1;
            }
            pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, POLLIN, 0}};
            const int nfds = master >= 0 ? 2 : 1;
            const int r = ::poll(fds, static_cast<nfds_t>(nfds), static_cast<int>(waitMs));
            if (r <= 0)
                continue;
            if (nfds == 2 && (fds[1].revents & POLLIN)) {
                const ssize_t got = ::read(master, buf, sizeof buf);
                if (got > 0)
                    receive(buf, static_cast<std::size_t>(got), simNow());
            } else if (nfds == 2 && (fds[1].revents & (POLLHUP | POLLERR))) {
                // no reader: wait a little instead of spinning on the hang-up
                ::poll(fds, 1, 20);
            }
        }
    }
};

PtyBoard::PtyBoard(const Options &opt) : d(std::make_unique<Impl>(opt)) {}

PtyBoard::~PtyBoard() { stop(); }

bool PtyBoard::start(std::string *error)
{
    if (d->running)
        return true;
    for (const auto &f : d->opt.faults) {
        FaultSpec rule;
        if (!parseFault(f, &rule, error))
            return false;
    }
    d->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (d->master < 0)
        return setError(error, "posix_openpt");
    if (grantpt(d->master) != 0 || unlockpt(d->master) != 0) {
        setError(error, "unlockpt");
        d->closePty();
        return false;
    }
    char name[128] = {};
    if (ptsname_r(d->master, name, sizeof name) != 0) {
        setError(error, "ptsname");
        d->closePty();
        return false;
    }
    d->slave = name;
    // Raw at once, or the line discipline echoes the board's bytes back to it.
    termios tio{};
    if (tcgetattr(d->master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(d->master, TCSANOW, &tio);
    }
    d->slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (d->slaveHold >= 0 && tcgetattr(d->slaveHold, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(d->slaveHold, TCSANOW, &tio);
    }
    fcntl(d->master, F_SETFL, fcntl(d->master, F_GETFL) | O_NONBLOCK);
    if (pipe(d->wake) != 0) {
        setError(error, "pipe");
        d->closePty();
        return false;
    }
    {
        // simulated time goes on from where a previous run left it
        std::lock_guard<std::mutex> lock(d->m);
        d->t0 = monotonicNs() - d->engine.now();
    }
    d->pending.clear();
    d->inFree = d->outFree = d->pullDeadline = d->lastWrite = 0;
    d->adapter.reset();
    d->stopping = false;
    d->running = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void PtyBoard::stop()
{
    if (!d->running)
        return;
    d->stopping = true;
    const char c = 'x';
    [[maybe_unused]] ssize_t w = ::write(d->wake[1], &c, 1);
    if (d->thread.joinable())
        d->thread.join();
    d->closePty();
    ::close(d->wake[0]);
    ::close(d->wake[1]);
    d->wake[0] = d->wake[1] = -1;
    d->running = false;
    if (!d->linkPath.empty()) {
        // remove our link, but not one somebody has pointed elsewhere since
        char target[512] = {};
        const ssize_t n = readlink(d->linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && d->slave == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(d->linkPath.c_str());
        d->linkPath.clear();
    }
}

std::string PtyBoard::slavePath() const { return d->slave; }

bool PtyBoard::linkTo(const std::string &linkPath, std::string *error)
{
    if (d->slave.empty()) {
        if (error)
            *error = "the board is not started";
        return false;
    }
    if (linkPath.empty()) {
        if (error)
            *error = "empty link path";
        return false;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        if (error)
            *error = linkPath + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    if (!makeParents(linkPath, error))
        return false;
    const std::string tmp = linkPath + ".boardsim-" + std::to_string(getpid());
    ::unlink(tmp.c_str());
    if (symlink(d->slave.c_str(), tmp.c_str()) != 0)
        return setError(error, "cannot create link " + tmp);
    if (rename(tmp.c_str(), linkPath.c_str()) != 0) {
        const bool r = setError(error, "cannot replace " + linkPath);
        ::unlink(tmp.c_str());
        return r;
    }
    d->linkPath = linkPath;
    return true;
}

#define BOARD_LOCKED(expr) \
    std::lock_guard<std::mutex> lock(d->m); \
    if (d->running) \
        d->engine.advanceTo(d->simNow()); \
    expr

std::uint8_t PtyBoard::peek(std::uint32_t addr) const { BOARD_LOCKED(return d->engine.peek(addr);) }
void PtyBoard::poke(std::uint32_t addr, std::uint8_t v) { BOARD_LOCKED(d->engine.poke(addr, v);) }
std::uint16_t PtyBoard::peekWord(std::uint32_t addr) const { BOARD_LOCKED(return d->engine.peekWord(addr);) }
void PtyBoard::pokeWord(std::uint32_t addr, std::uint16_t v) { BOARD_LOCKED(d->engine.pokeWord(addr, v);) }
std::uint32_t PtyBoard::peekDecimal(std::uint32_t addr) const { BOARD_LOCKED(return d->engine.peekDecimal(addr);) }
void PtyBoard::pokeDecimal(std::uint32_t addr, std::uint32_t v) { BOARD_LOCKED(d->engine.pokeDecimal(addr, v);) }
bool PtyBoard::flag(int n) const { BOARD_LOCKED(return d->engine.flag(n);) }
void PtyBoard::setFlag(int n, bool on) { BOARD_LOCKED(d->engine.setFlag(n, on);) }
bool PtyBoard::set(const std::string &assignment) { BOARD_LOCKED(return d->engine.set(assignment);) }
std::vector<std::uint8_t> PtyBoard::programImage() const
{
    BOARD_LOCKED(return std::vector<std::uint8_t>(d->engine.programImage().begin(), d->engine.programImage().end());)
}

std::vector<std::uint8_t> PtyBoard::memory() const
{
    BOARD_LOCKED(return std::vector<std::uint8_t>(d->engine.memory().begin(), d->engine.memory().end());)
}
std::vector<AnswerFault> PtyBoard::answerFaults() const { BOARD_LOCKED(return d->engine.answerFaults();) }
PlsState PtyBoard::pls() const
{
    std::lock_guard<std::mutex> lock(d->m);
    if (d->running)
        d->engine.advanceTo(d->simNow());
    PlsState p;
    p.scale = d->engine.plsScale();
    p.offset = d->engine.plsOffset();
    p.position = d->engine.plsPosition();
    p.config = d->engine.plsConfig();
    for (int ch = 0; ch < Engine::kPlsChannels; ++ch) {
        const PlsChannel c = d->engine.plsChannel(ch);
        p.channels[static_cast<std::size_t>(ch)] = {c.kind, c.first, c.second, c.last};
    }
    return p;
}
bool PtyBoard::addFault(const std::string &rule, std::string *error)
{
    BOARD_LOCKED(return d->engine.addFault(rule, error);)
}
void PtyBoard::clearFaults() { BOARD_LOCKED(d->engine.clearFaults();) }
PtyBoard::Stats PtyBoard::stats() const { BOARD_LOCKED(return d->engine.stats();) }
std::string PtyBoard::summary() const { BOARD_LOCKED(return d->engine.summary();) }

#undef BOARD_LOCKED

bool PtyBoard::dumpMemory(const std::string &path, std::string *error) const
{
    const std::vector<std::uint8_t> mem = memory();
    const std::string tmp = path + ".boardsim-" + std::to_string(getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return setError(error, "cannot create " + tmp);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < mem.size()) {
        const ssize_t w = ::write(fd, mem.data() + done, mem.size() - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w == 0)
            errno = ENOSPC;
        ok = w > 0;
        if (ok)
            done += static_cast<std::size_t>(w);
    }
    // A full disk can show only when the data reach it.
    ok = ok && ::fsync(fd) == 0;
    if (!ok) {
        setError(error, "cannot write " + tmp);
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        setError(error, "cannot write " + tmp);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        setError(error, "cannot replace " + path);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}   // namespace boardsim

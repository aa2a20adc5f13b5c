#pragma once
#include <QDateTime>
#include <cstdint>

// Monotonic time for time-outs, wall time for dates. Tests inject a virtual one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t monotonicNs() const = 0;
    virtual QDateTime now() const = 0;

    // A wait for input until untilNs on a real device blocks in the operating
    // system for at most this long, then tells the clock with waitedUntil().
    // The system clock waits the whole time; a virtual clock waits briefly
    // for a real answer and then jumps, so time-outs of a silent device cost
    // no real time in tests.
    virtual std::int64_t realWaitNs(std::int64_t untilNs) const { return untilNs - monotonicNs(); }
    virtual void waitedUntil(std::int64_t /*untilNs*/) const {}
    // A real device delivered input: on a virtual clock that takes about one
    // byte-time of the line, so loops bounded in time still end.
    virtual void inputArrived() const {}
    // Sleeps until the monotonic clock reaches untilNs, or sooner when an
    // interruption is requested (Interruption.h); a virtual clock jumps there.
    virtual void sleepUntil(std::int64_t untilNs) const = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t monotonicNs() const override;
    QDateTime now() const override;
    void sleepUntil(std::int64_t untilNs) const override;
    static SystemClock &instance();
};

// A clock that only moves when told to; scripted serial ports advance it while waiting.
class VirtualClock final : public Clock {
public:
    std::int64_t monotonicNs() const override { return t_; }
    QDateTime now() const override { return wall_.addMSecs(t_ / 1000000); }
    void advanceNs(std::int64_t ns) { t_ += ns; }
    void advanceToNs(std::int64_t ns)
    {
        if (ns > t_)
            t_ = ns;
    }
    void setWall(const QDateTime &w) { wall_ = w; }

    // A real device gets this long to answer before the clock jumps to the
    // deadline of the wait: long enough for a simulated board on a machine
    // busy with a parallel test run, short enough that a silent board's
    // time-outs cost a fraction of their length.
    static constexpr std::int64_t kRealAnswerWaitNs = 250'000'000;
    std::int64_t realWaitNs(std::int64_t untilNs) const override
    {
        const std::int64_t left = untilNs - t_;
        return left < kRealAnswerWaitNs ? left : kRealAnswerWaitNs;
    }
    void waitedUntil(std::int64_t untilNs) const override
    {
        if (untilNs > t_)
            t_ = untilNs;
    }
    static constexpr std::int64_t kLineByteNs = 1'000'000;
    void inputArrived() const override { t_ += kLineByteNs; }
    void sleepUntil(std::int64_t untilNs) const override { waitedUntil(untilNs); }

private:
    mutable std::int64_t t_ = 1'000'000'000;
    QDateTime wall_ = QDateTime(QDate(2026, 1, 5), QTime(6, 0, 0));
};

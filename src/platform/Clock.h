#pragma once
#include <QDateTime>
#include <cstdint>

// Monotonic time for time-outs, wall time for dates. Tests inject a virtual one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t monotonicNs() const = 0;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t monotonicNs() const override;
    QDateTime now() const override;
    static SystemClock &instance();
};

// A clock that only moves when told to; scripted serial ports advance it while waiting.
class VirtualClock final : public Clock {
public:
    std::int64_t monotonicNs() const override { return t_; }
    QDateTime now() const override { return wall_.addMSecs(t_ / 1000000); }
    void advanceNs(std::int64_t ns) { t_ += ns; }
    void advanceToNs(std::int64_t ns) { if (ns > t_) t_ = ns; }
    void setWall(const QDateTime &w) { wall_ = w; }
private:
    std::int64_t t_ = 1'000'000'000;
    QDateTime wall_ = QDateTime(QDate(2026, 1, 5), QTime(6, 0, 0));
};

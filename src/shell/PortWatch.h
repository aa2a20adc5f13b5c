#pragma once
// Watches the board's port while the program is offline after a link
// failure (a pulled cable, an unplugged USB adapter, a port that would not
// open): about once a second it asks whether the device is there and could be
// opened, and says when it is back. It never sends a byte; going online again
// is the technician's choice.
#include <QString>
#include <cstdint>
#include <functional>

class Clock;

class PortWatch {
public:
    // Whether the device can be used now (PortPresence::available).
    using Probe = std::function<bool(const QString &device)>;
    static constexpr std::int64_t kIntervalNs = 1'000'000'000;
    // A look falls due this much before the second is over, so a caller
    // ticking every half second looks on every second tick even when a tick
    // comes a little early.
    static constexpr std::int64_t kEarlyNs = 100'000'000;

    explicit PortWatch(const Clock &clock, Probe probe = {});

    // Starts watching `device`, with a look at the next check(). The device
    // is reported back once a look finds it after it was missing: after a
    // look that did not find it, or, when `alreadyGone` (the link saw it go
    // away), at the first look, a second after the start.
    void start(const QString &device, bool alreadyGone);
    void stop();
    bool watching() const { return watching_; }
    const QString &device() const { return device_; }

    // Looks at the device when the last look is a second old (or none was
    // made yet); call it often, from a timer. True when the port is back.
    bool check();
    bool portBack() const { return back_; }
    // Looks made since construction.
    quint64 looks() const { return looks_; }

private:
    const Clock &clock_;
    Probe probe_;
    QString device_;
    bool watching_ = false;
    bool gone_ = false;   // a look, or the link, found the device missing
    bool back_ = false;
    bool looked_ = false;
    std::int64_t lastLookNs_ = 0;
    quint64 looks_ = 0;
};

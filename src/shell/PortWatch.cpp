#include "PortWatch.h"
#include "Clock.h"
#include "PortPresence.h"

PortWatch::PortWatch(const Clock &clock, Probe probe)
    : clock_(clock), probe_(probe ? std::move(probe) : Probe(&PortPresence::available))
{
}

void PortWatch::start(const QString &device, bool alreadyGone)
{
    device_ = device;
    watching_ = true;
    gone_ = alreadyGone;
    back_ = false;
    // The link saw the device go: it counts as a look that found nothing, so
    // the first real look comes a second later, when an unplugged device's
    // node is surely gone, and not while the driver is still taking it down.
    looked_ = alreadyGone;
    lastLookNs_ = clock_.monotonicNs();
}

void PortWatch::stop()
{
    watching_ = false;
    back_ = false;
}

bool PortWatch::check()
{
    if (!watching_)
        return false;
    const std::int64_t now = clock_.monotonicNs();
    if (looked_ && now - lastLookNs_ < kIntervalNs - kEarlyNs)
        return back_;
    looked_ = true;
    lastLookNs_ = now;
    ++looks_;
    const bool there = probe_(device_);
    // A device that never went away (a silent board on a port that stayed)
    // is not news: only its coming back is.
    if (!there)
        gone_ = true;
    back_ = there && gone_;
    return back_;
}

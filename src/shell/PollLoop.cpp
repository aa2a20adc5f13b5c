#include "PollLoop.h"
#include "Globals.h"
#include "RSComm.h"

PollLoop::PollLoop(RSComm &link, PollClient &client, QObject *parent) : QObject(parent), link_(link), client_(client)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &PollLoop::step);
}

void PollLoop::start()
{
    active_ = true;
    inPass_ = false;
    // The view is set up at once, so the window never shows half made.
    step();
}

void PollLoop::stop()
{
    active_ = false;
    inPass_ = false;
    timer_.stop();
}

void PollLoop::wake()
{
    if (!active_)
        return;
    if (!inPass_)
        schedule(0);
}

void PollLoop::release()
{
    if (held_ > 0 && --held_ == 0 && active_)
        schedule(0);
}

void PollLoop::schedule(int ms)
{
    if (!active_)
        return;
    timer_.start(ms);
}

void PollLoop::step()
{
    if (!active_)
        return;
    // Never inside another board access, nor inside this loop's own step
    // (a box shown by the window lets timers run), nor under the window's box.
    if (stepping_ || held_ > 0 || link_.isBusy()) {
        schedule(kBusyRetryMs);
        return;
    }
    stepping_ = true;
    struct Clear {
        bool &b;
        ~Clear() { b = false; }
    } clear{stepping_};

    if (inPass_) {
        if (!link_.OnlineMode) {
            inPass_ = false;   // gone offline between two reads: the pass ends
            schedule(0);
            return;
        }
        const bool more = client_.OnlineStep();
        if (!active_)
            return;
        if (!more || link_.CommError) {
            inPass_ = false;
            ++passes_;
            ++onlinePasses_;
            emit onlinePassFinished();
        }
        schedule(0);
        return;
    }

    // Top of a pass.
    if (link_.CommError) {
        link_.OnlineMode = false;
        onlineViewReady_ = false;
        ::ApplyOnlineState();
        if (!active_)
            return;
    }
    client_.PassTop();
    if (link_.OnlineMode) {
        offlineViewReady_ = false;
        if (!onlineViewReady_) {
            onlineViewReady_ = client_.InitOnlineView();
            if (!active_)
                return;
            // The set-up may have read the board: the pass starts on the next step.
            schedule(0);
            return;
        }
        client_.BeginOnlinePass();
        inPass_ = true;
        schedule(0);
        return;
    }
    onlineViewReady_ = false;
    if (!offlineViewReady_) {
        offlineViewReady_ = true;
        client_.InitOfflineView();
        if (!active_)
            return;
    }
    client_.RefreshOffline();
    ++passes_;
    if (active_)
        schedule(offlineViewReady_ ? kOfflineIntervalMs : 0);
}

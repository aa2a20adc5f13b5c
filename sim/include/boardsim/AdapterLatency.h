#pragma once
// The latency timer of a USB-serial adapter on the PC's side of the line.
// Such an adapter (FTDI and its clones) does not pass each byte it receives
// to the PC at once: it gathers them and sends what it holds when its timer
// expires. The timer runs from its last transfer to the PC, so for a PC that
// sends as soon as the previous answer is in, it runs from when the request
// went out: the answer reaches the PC one period after the request, or, when
// the line or the board takes longer than a period, at the next multiple.
//
// A request is what the PC sends until an answer comes back: each byte of a
// read or write, a whole program record (answered once, after its last
// byte). Bytes that get no answer (a record before its last byte, a board
// that stays silent) stay part of the request the next answer ends, so the
// timer then ticks on from its first byte, as an adapter's does while idle.
// Times are nanoseconds on any clock; nothing here reads one.
#include <cstdint>

namespace boardsim {

class AdapterLatency {
public:
    explicit AdapterLatency(std::uint64_t periodNs = 0) : period_(periodNs) {}

    bool enabled() const { return period_ > 0; }

    // A byte from the PC arrived at `ns`. The first byte after the last
    // answer was passed on starts a new request.
    void requestByte(std::uint64_t ns)
    {
        if (!open_ || (answered_ && ns >= releaseAt_)) {
            open_ = true;
            answered_ = false;
            start_ = ns;
        }
    }

    // An answer byte reaches the adapter at `ns`: the time the PC gets it,
    // the first multiple of the period after the request's first byte that
    // is not before `ns`. Without a period, `ns` itself.
    std::uint64_t release(std::uint64_t ns)
    {
        if (!enabled())
            return ns;
        if (!open_)
            requestByte(ns);
        const std::uint64_t since = ns > start_ ? ns - start_ : 0;
        std::uint64_t periods = (since + period_ - 1) / period_;
        if (periods == 0)
            periods = 1;
        releaseAt_ = start_ + periods * period_;
        answered_ = true;
        return releaseAt_;
    }

    void reset() { open_ = answered_ = false; }

private:
    std::uint64_t period_;
    bool open_ = false;
    bool answered_ = false;
    std::uint64_t start_ = 0;
    std::uint64_t releaseAt_ = 0;
};

}   // namespace boardsim

// The board's side of the wire, byte by byte.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace boardsim;
using simtest::Bytes;

namespace {

constexpr std::uint8_t A = 0x55, N = kNak;

// Short exchanges: what the board answers and where it is left waiting.
TEST(Wire, ShortExchanges)
{
    struct Case {
        const char *what;
        Bytes in, out;
        State end;
        int pauseAfter = -1;
    };
    const Case cases[] = {
        {"a repeated 0xFF is answered again", {0xFF, 0xFF, 0x01}, {A, A, A}, State::Read},
        {"0xFF between reads waits for a command", {0xFF, 0x01, 0xFF, 0x02}, {A, A, A, A}, State::Write},
        {"only 0xFF is taken before a handshake", {0x01, 0xFF, 0x01}, {N, A, A}, State::Read},
        {"an unknown command is refused", {0xFF, 0x77, 0x02}, {A, N, N}, State::Idle},
        {"0xFF as low address byte is an address", {0xFF, 0x01, 0x03, 0xFF}, {A, A, 0x03, 42}, State::Read},
        {"a data answer may be 0xFF or 0x55",
         {0xFF, 0x01, 0x12, 0x34, 0x12, 0x35},
         {A, A, 0x12, 0xFF, 0x12, A},
         State::Read},
        {"a write echoes all three bytes, 0xFF too, and reads back",
         {0xFF, 0x02, 0x20, 0xFF, 0xFF, 0xFF, 0x01, 0x20, 0xFF},
         {A, A, 0x20, 0xFF, 0xFF, A, A, 0x20, 0xFF},
         State::Read},
        {"a half-done write is dropped after a pause", {0xFF, 0x02, 0x10, 0xFF}, {A, A, 0x10, A}, State::Command, 2},
        {"records are refused without the load request",
         {0xFF, 0x03, 0x03, 0x00, 0x30, 0x02, 0x33, 0x7A},
         {A, N, N, N, N, N, N, N},
         State::Idle},
        {"PLS scale read (360): low, high, then nothing", {0xFF, 24, A, A, A}, {A, A, 0x68, 0x01, N}, State::Idle},
        {"PLS offset read", {0xFF, 40, A, A}, {A, A, 0, 0}, State::PlsAnswer},
        {"an offset at the scale is refused on its high byte", {0xFF, 42, 0x68, 0x01}, {A, A, A, N}, State::Idle},
        {"0xFF inside a word is a value, then re-syncs the poll",
         {0xFF, 42, 0xFF, 0x00, 0xFF},
         {A, A, A, A, A},
         State::Command},
        {"a setpoint beyond the scale is refused", {0xFF, 27, 1, 0x68, 0x01}, {A, A, A, A, N}, State::Idle},
        {"a channel that does not exist is refused", {0xFF, 27, 200}, {A, A, N}, State::Idle},
        {"0xFF where a channel belongs re-syncs", {0xFF, 27, 0xFF}, {A, A, A}, State::Command},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Engine e(simtest::stillOptions());
        e.poke(0x03FF, 42);
        e.poke(0x1234, 0xFF);
        e.poke(0x1235, 0x55);
        Bytes out;
        for (std::size_t i = 0; i < c.in.size(); ++i) {
            const Bytes a = e.feed(c.in[i]);
            out.insert(out.end(), a.begin(), a.end());
            if (static_cast<int>(i) == c.pauseAfter)
                e.advanceMs(600);
        }
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(e.state(), c.end);
        EXPECT_EQ(e.peek(0x10FF), 0);   // a dropped write stores nothing
    }
}

}   // namespace

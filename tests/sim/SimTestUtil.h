#pragma once
// Talking to an Engine byte by byte, as the program does over the line.
#include "boardsim/Engine.h"

#include <cstdint>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

// Still line, fixed clock: memory only changes when written.
inline boardsim::Options stillOptions()
{
    boardsim::Options o;
    o.lineRunning = false;
    o.clockStart = 1764979200;   // a fixed instant, so the board clock is known
    return o;
}

// 0xFF then the command byte; true when both were answered 0x55.
inline bool enterMode(boardsim::Engine &e, std::uint8_t command)
{
    return e.feed(0xFF) == Bytes{0x55} && e.feed(command) == Bytes{0x55};
}

// Reads n bytes from address a in read mode (already entered); the echoes
// are checked, the data bytes returned.
inline Bytes readBytes(boardsim::Engine &e, std::uint32_t a, int n)
{
    Bytes data;
    for (int i = 0; i < n; ++i) {
        const auto hi = static_cast<std::uint8_t>((a + i) >> 8);
        const auto lo = static_cast<std::uint8_t>((a + i) & 0xFF);
        if (e.feed(hi) != Bytes{hi})
            return {};
        const Bytes d = e.feed(lo);
        if (d.size() != 1)
            return {};
        data.push_back(d[0]);
    }
    return data;
}

// Writes bytes in write mode (already entered); false on any wrong echo.
inline bool writeBytes(boardsim::Engine &e, std::uint32_t a, const Bytes &data)
{
    bool ok = true;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto hi = static_cast<std::uint8_t>((a + i) >> 8);
        const auto lo = static_cast<std::uint8_t>((a + i) & 0xFF);
        ok = e.feed(hi) == Bytes{hi} && ok;
        ok = e.feed(lo) == Bytes{lo} && ok;
        ok = e.feed(data[i]) == Bytes{data[i]} && ok;
    }
    return ok;
}

} // namespace simtest

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
    o.clockStart = 1764979200;
    return o;
}

// 0xFF then the command byte; true when both were answered 0x55.
inline bool enterMode(boardsim::Engine &e, std::uint8_t command)
{
    return e.feed(0xFF) == Bytes{0x55} && e.feed(command) == Bytes{0x55};
}

// Writes bytes in write mode; false on any wrong echo.
inline bool writeBytes(boardsim::Engine &e, std::uint32_t a, const Bytes &data)
{
    bool ok = true;
    for (std::uint32_t i = 0; i < data.size(); ++i) {
        const Bytes seq{static_cast<std::uint8_t>((a + i) >> 8), static_cast<std::uint8_t>(a + i), data[i]};
        ok = e.feed(seq) == seq && ok;
    }
    return ok;
}

inline bool sameMemory(const boardsim::Engine &a, const boardsim::Engine &b)
{
    for (std::uint32_t addr = 0; addr < 65536; ++addr)
        if (a.peek(addr) != b.peek(addr))
            return false;
    return true;
}

}   // namespace simtest

#pragma once
// The T6850 board simulator. Depends on the C++ standard library and POSIX only.
//
// Engine: a byte-in / bytes-out protocol machine over a 64 KiB memory, with a
// can line running on simulated time behind it.
// PtyBoard: serves an Engine on a pseudo-terminal from its own thread.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace boardsim {

struct Options {
    std::uint32_t seed = 1;
    bool realtimeLine = false;   // each byte takes 10 bit-times at baud
    int baud = 19200;
    int latencyMs = 0;                 // a USB adapter's latency timer on the PC's side; 0 = none
    bool lineRunning = true;           // the can line moves with time
    std::vector<std::string> faults;   // fault rules, same text as --fault
    std::int64_t clockStart = 0;       // board clock at start, seconds since the epoch (local time); 0 = now
};

class Engine;   // sim/src

// An answer that a line fault (garble=N, noise=N) changed on its way out.
struct AnswerFault {
    std::uint64_t byte = 0;      // the received byte it answered, counted from 1
    bool noise = false;          // true: a stray byte went out before it; false: it was replaced
    std::uint8_t meant = 0;      // the answer the board meant to send
    std::uint8_t stray = 0;      // the byte sent instead of it, or before it
    bool readData = false;       // the answer was the data byte of a read
    std::uint32_t address = 0;   // the address read, when readData
};

// The board's PLS as it holds it, taken at one instant.
struct PlsState {
    struct Channel {
        std::uint8_t kind = 0;   // command byte it was programmed with (27 or 43), 0 = never
        std::uint16_t first = 0, second = 0;
        std::uint8_t last = 0;
        bool operator==(const Channel &) const = default;
    };
    std::uint16_t scale = 0, offset = 0, position = 0;
    std::array<Channel, 32> channels{};
    std::array<std::uint8_t, 24> config{};
};

class PtyBoard {
public:
    explicit PtyBoard(const Options &opt = {});
    ~PtyBoard();   // stops the thread, closes the pty
    PtyBoard(const PtyBoard &) = delete;
    PtyBoard &operator=(const PtyBoard &) = delete;

    bool start(std::string *error = nullptr);   // creates the pty, starts serving
    void stop();
    std::string slavePath() const;   // e.g. /dev/pts/7
    // Makes linkPath a symlink to the slave (replacing an old link). False on error.
    bool linkTo(const std::string &linkPath, std::string *error = nullptr);

    // Thread-safe access to board memory while it runs.
    std::uint8_t peek(std::uint32_t addr) const;
    void poke(std::uint32_t addr, std::uint8_t v);
    std::uint16_t peekWord(std::uint32_t addr) const;   // low byte first
    void pokeWord(std::uint32_t addr, std::uint16_t v);
    std::uint32_t peekDecimal(std::uint32_t addr) const;   // high word * 10000 + low word
    void pokeDecimal(std::uint32_t addr, std::uint32_t v);
    bool flag(int n) const;
    void setFlag(int n, bool on);
    // "B100=5", "W188=4660", "D1100=123456", "F54=1", "B4001.3=1"; false if malformed.
    bool set(const std::string &assignment);
    // The whole 64 KiB, taken at one instant.
    std::vector<std::uint8_t> memory() const;
    // The 64 KiB program store that program records are written to.
    std::vector<std::uint8_t> programImage() const;
    // Writes the 64 KiB to path through a temporary file beside it and a
    // rename, so path holds either the old file or the whole memory.
    bool dumpMemory(const std::string &path, std::string *error = nullptr) const;
    PlsState pls() const;
    // Add a fault at run time (same text as --fault); false if malformed.
    bool addFault(const std::string &rule, std::string *error = nullptr);
    // Removes every fault and plugs a pulled cable back in; after a pull the
    // terminal is gone, so stop() and start() give the board a new one.
    void clearFaults();
    // Answers changed by garble and noise since start, oldest first (at most 10000).
    std::vector<AnswerFault> answerFaults() const;

    struct Stats {
        std::uint64_t bytesIn = 0, bytesOut = 0, reads = 0, writes = 0, records = 0, modeEntries = 0, unexpected = 0;
    };
    Stats stats() const;
    std::string summary() const;   // one line for the log

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}   // namespace boardsim

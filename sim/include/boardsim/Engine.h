#pragma once
// The board itself, without a line: bytes from the PC go in, the board's
// answers come out, and the can line moves when simulated time is advanced.
// Not thread-safe; PtyBoard serialises access with its own lock.
#include "boardsim/Board.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace boardsim {

using Stats = PtyBoard::Stats;

// Bytes with a fixed meaning on the wire.
inline constexpr std::uint8_t kSync = 0xFF;   // PC: start of a mode handshake
inline constexpr std::uint8_t kAck = 0x55;    // board: acknowledged
inline constexpr std::uint8_t kNak = 0x15;    // board: byte not expected here
inline constexpr std::uint8_t kReadyPoll = 0x38;

// Command bytes that follow a 0xFF / 0x55 handshake.
inline constexpr std::uint8_t kCmdRead = 0x01;
inline constexpr std::uint8_t kCmdWrite = 0x02;
inline constexpr std::uint8_t kCmdRecords = 0x03;
inline constexpr std::uint8_t kCmdRecall = 9;        // mode 6
inline constexpr std::uint8_t kCmdConfigRead = 12;   // mode 8

// Where things live in board memory (byte addresses).
namespace addr {
inline constexpr std::uint32_t Flags = 32;   // flag n: bit n % 8 of byte 32 + n / 8
inline constexpr std::uint32_t ProgramLoadRequest = 8181;
inline constexpr std::uint8_t ProgramLoadRequestValue = 86;
inline constexpr std::uint32_t FaultCode = 8176;
inline constexpr std::uint32_t LastFault = 8177;
inline constexpr std::uint32_t LastCommError = 8178;
inline constexpr std::uint32_t CommError = 8179;
inline constexpr std::uint32_t CoCpuSlot = 8175;
inline constexpr std::uint32_t FirmwareRev = 8159;
inline constexpr std::uint32_t NetAddress1 = 8180;
inline constexpr std::uint32_t NetAddress2 = 8191;
inline constexpr std::uint32_t ProgramIdent = 61424;   // 8 characters, checksum, revision
inline constexpr std::uint32_t ClockSecond = 43008;
inline constexpr std::uint32_t ClockMinute = 43010;
inline constexpr std::uint32_t ClockHour = 43012;
inline constexpr std::uint32_t ClockWeekday = 43014;
inline constexpr std::uint32_t ClockDay = 43015;
inline constexpr std::uint32_t ClockMonth = 43016;
inline constexpr std::uint32_t ClockYear = 43017;
inline constexpr std::uint32_t AlarmNumber = 2072;
inline constexpr std::uint32_t MachineSpeed = 556;     // W, cans per minute
inline constexpr std::uint32_t ResolverPos = 180;      // W, counts 0 .. scale - 1
inline constexpr std::uint32_t ResolverPeriod = 184;   // W, 0.1 ms per revolution
inline constexpr std::uint32_t ResolverScale = 186;    // W, counts per revolution
inline constexpr std::uint32_t ResolverOffset = 188;   // W, counts
inline constexpr std::uint32_t ShiftCurrent = 1100;    // D good, D leakers, D vision, then W per pocket at 1116
inline constexpr std::uint32_t ShiftLast = 1200;       // same layout, pockets at 1216
inline constexpr std::uint32_t PocketRejects = 1020;   // W per pocket, running
inline constexpr std::uint32_t RejectedPocket = 512;
inline constexpr std::uint32_t FaultedArrayHead = 599;
inline constexpr std::uint32_t FifoCount = 82;
inline constexpr std::uint32_t FifoMax = 1012;
inline constexpr std::uint32_t FifoMin = 1013;
inline constexpr std::uint32_t FifoAvg = 650;
inline constexpr std::uint32_t FifoLowCorrections = 657;
inline constexpr std::uint32_t FifoHighCorrections = 656;
inline constexpr std::uint32_t MissedCans = 655;
inline constexpr std::uint32_t TimingChannels = 170;   // B, CH00 .. CH07
inline constexpr std::uint32_t Slot00 = 100;           // W, inputs
inline constexpr std::uint32_t Slot01 = 110;           // W, outputs
inline constexpr std::uint32_t Slot02 = 62;            // W, inputs
}   // namespace addr

namespace flag {
inline constexpr int In0 = 16, In1 = 17;
inline constexpr int Df1Driver = 42;
inline constexpr int AlarmReset = 50;
inline constexpr int MachineFault = 54;   // stopping alarm active
inline constexpr int ResolverOk = 56;
inline constexpr int TrackingFault = 60;   // warning alarm active
inline constexpr int ArrayFault = 70;
inline constexpr int EndOfShift = 87;
inline constexpr int TestBlowoff = 805;
inline constexpr int ResetRejects = 825;
inline constexpr int CalibrateFifo = 831;
inline constexpr int ZeroResolver = 840;
}   // namespace flag

// What the protocol machine is waiting for.
enum class State {
    Idle,        // only 0xFF is taken (power-up, after a refused byte)
    Command,     // a command byte after 0xFF / 0x55
    Read,        // read mode, between sequences or after the high byte
    Write,       // write mode
    Records,     // program record mode
    PlsData,     // PLS modes 3, 5, 7: acknowledged data bytes
    PlsAnswer,   // PLS modes 4, 6, 8: answers to 0x55 requests
    ReadyPoll,   // after a PLS change: 0x38 polls
};

struct PlsChannel {
    std::uint8_t kind = 0;      // command byte it was programmed with (27 or 43), 0 = never
    std::uint16_t first = 0;    // on setpoint or start division
    std::uint16_t second = 0;   // off setpoint, or off * 256 + on divisions
    std::uint8_t last = 0;      // 1 = set, 0 = cleared / pulse train
};

class Engine {
public:
    explicit Engine(const Options &opt = {});
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // One byte from the PC; returns what the board sends back (usually one
    // byte, none in record mode or when silenced, two with noise).
    std::vector<std::uint8_t> feed(std::uint8_t byte);
    // Several bytes in order; the answers concatenated.
    std::vector<std::uint8_t> feed(const std::vector<std::uint8_t> &bytes);

    // Simulated time, in nanoseconds since the engine was made. The line
    // moves in fixed 1 ms steps, so the result does not depend on how time
    // is cut into calls.
    void advance(std::uint64_t ns);
    void advanceMs(std::uint64_t ms) { advance(ms * 1000000ull); }
    void advanceTo(std::uint64_t ns);
    std::uint64_t now() const;

    // Memory. Every write (wire or here) goes through the same path, so a
    // poke of a command flag starts the command.
    std::uint8_t peek(std::uint32_t a) const;
    void poke(std::uint32_t a, std::uint8_t v);
    std::uint16_t peekWord(std::uint32_t a) const;
    void pokeWord(std::uint32_t a, std::uint16_t v);
    std::uint32_t peekDecimal(std::uint32_t a) const;
    void pokeDecimal(std::uint32_t a, std::uint32_t v);
    bool flag(int n) const;
    void setFlag(int n, bool on);
    bool set(const std::string &assignment, std::string *error = nullptr);
    const std::array<std::uint8_t, 65536> &memory() const;

    bool addFault(const std::string &rule, std::string *error = nullptr);
    void clearFaults();   // also plugs a pulled cable back in
    const std::vector<AnswerFault> &answerFaults() const;

    // Line-side effects the pty server acts on.
    bool cablePulled() const;              // a pull-after fault fired
    std::uint32_t answerDelayMs() const;   // slow=MS, 0 when none

    State state() const;
    Stats stats() const;
    std::string summary() const;

    // Program record mode results.
    const std::array<std::uint8_t, 65536> &programImage() const;
    std::uint32_t recordsAccepted() const;

    // PLS state.
    std::uint16_t plsScale() const;
    std::uint16_t plsOffset() const;
    std::uint16_t plsPosition() const;
    PlsChannel plsChannel(int ch) const;
    static constexpr int kPlsChannels = 32;
    std::array<std::uint8_t, 24> plsConfig() const;

    // Line state for tests.
    std::uint32_t testBlowoffs() const;
    bool lineStopped() const;
    void raiseAlarm(int number);   // as the line would

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Parses the --set / PtyBoard::set grammar: "B100=5", "W188=4660",
// "D1100=123456", "F54=1", "B4001.3=1", "1F40H=7". Returns false with a
// message for anything else or a value out of range.
struct Assignment {
    char type = 'B';   // B, W, D
    std::uint32_t address = 0;
    int bit = -1;   // 0..7 for a bit, -1 for a whole value
    std::uint32_t value = 0;
};
bool parseAssignment(const std::string &text, Assignment *out, std::string *error);

// Parses one --fault text; see sim/README.md for the grammar.
struct FaultSpec {
    enum Kind {
        Silence,
        Lose,
        BadEcho,
        BadHighEcho,
        BadChecksum,
        Noise,
        Garble,
        Pull,
        Slow,
        PlsBusy,
        BoardFault,
        NetFault
    } kind = Silence;
    std::uint64_t a = 0;   // first argument (address, count, ...)
    std::uint64_t b = 0;   // second argument, 0 when absent
};
bool parseFault(const std::string &text, FaultSpec *out, std::string *error);
std::string faultGrammar();   // the help text listing every fault

}   // namespace boardsim

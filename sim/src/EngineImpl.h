#pragma once
// Shared inside the simulator: the state behind Engine.
#include "boardsim/Engine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

// splitmix64: small, fast and the same on every platform and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : s(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t n) { return n ? static_cast<std::uint32_t>(next() % n) : 0; }

private:
    std::uint64_t s;
};

struct Engine::Impl {
    explicit Impl(const Options &o);

    Options opt;
    std::array<std::uint8_t, 65536> mem{};
    std::array<std::uint8_t, 65536> program{};

    // protocol
    State state = State::Idle;
    int seqPos = 0;
    std::uint8_t hi = 0, lo = 0;
    int recPos = 0;
    std::uint8_t recCount = 0, recHi = 0, recLo = 0;
    std::uint32_t recSum = 0;
    int recIndex = 0;
    std::uint8_t plsCommand = 0;
    std::vector<std::uint8_t> plsData;
    int plsNeed = 0;
    std::vector<std::uint8_t> plsAnswers;
    std::size_t plsAnswerPos = 0;
    int pollStep = 0;
    int busyLeft = 0;
    int plsBusyPolls = 1;
    std::uint16_t plsScale = 360;
    std::uint16_t plsOffset = 0;
    std::array<PlsChannel, Engine::kPlsChannels> plsChannels{};
    std::array<std::uint8_t, 24> plsConfig{};
    Stats stats;
    std::uint64_t lastByteNs = 0;

    struct ActiveFault {
        FaultSpec rule;
        std::uint64_t hits;
    };
    std::vector<ActiveFault> faults;
    bool pulled = false;
    // What the answer being made is, for the record of changed answers.
    bool answerIsReadData = false;
    std::uint32_t answerAddress = 0;
    std::vector<AnswerFault> answerFaults;
    static constexpr std::size_t kAnswerFaultsKept = 10000;

    // time and line
    std::uint64_t nowNs = 0;
    std::uint64_t lineMs = 0;
    Rng lineRng;
    Rng noiseRng;
    std::int64_t speedMilli = 0;   // cans per minute x 1000
    int targetSpeed = 1200;
    std::uint16_t resolverRaw = 0;
    std::uint64_t resolverAcc = 0;
    std::uint64_t canCounter = 0;
    int lastCanKind = 0;   // 0 good, 1 leaker, 2 vision, 3 missing
    std::uint64_t nextAlarmMs = 0;
    std::uint64_t alarmClearMs = 0;
    std::uint64_t rejectPulseUntil = 0;
    std::uint64_t blowoffUntil = 0;
    std::uint32_t testBlowoffs = 0;
    bool fifoSeen = false;
    std::uint32_t fifoAvg16 = 0;   // average in tenths x 16

    // memory helpers; store() is the one path for outside writes
    void store(std::uint32_t a, std::uint8_t v);
    static constexpr std::uint32_t kProgramAreaFirst = 0x2000;
    static bool programReadsBack(std::uint32_t a);
    std::uint16_t word(std::uint32_t a) const;
    void setWord(std::uint32_t a, std::uint16_t v);
    std::uint32_t decimal(std::uint32_t a) const;
    void setDecimal(std::uint32_t a, std::uint32_t v);
    bool bit(int n) const;
    void setBit(int n, bool on);

    // protocol (Engine.cpp)
    std::vector<std::uint8_t> feed(std::uint8_t b);
    void protocol(std::uint8_t b, std::vector<std::uint8_t> &out);
    // One function per protocol state.
    void idleByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void readModeByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void writeModeByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void recordByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void plsDataByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void plsAnswerByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void readyPollByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    void addressHighByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    bool commandByte(std::uint8_t b, std::vector<std::uint8_t> &out);
    std::uint8_t refuse();
    std::uint8_t resync();
    std::uint8_t wrongEcho(std::uint8_t b) const;
    bool faultHits(FaultSpec::Kind kind, std::uint64_t arg);
    bool plsByteValid(std::uint8_t b) const;
    void plsApply();
    std::uint16_t plsPosition() const;
    void dropStaleSequence();
    std::uint64_t answerDelayNs() const;
    bool addFault(const std::string &text, std::string *error);
    void fireCodeFault(ActiveFault &f);
    std::string summary() const;
    void initMemory();

    // line (Line.cpp)
    void initLine();
    void advanceTo(std::uint64_t ns);
    void tick();
    void clockSecond();
    void onCan();
    void updateIo();
    std::uint32_t resolverScale() const;
    void commandWritten(std::uint32_t a, std::uint8_t old, std::uint8_t v);
    void raiseAlarm(int n);
    void resetAlarms();
    void endOfShift();
    void calibrateFifo();
};

}   // namespace boardsim

// The board's protocol machine and memory. The can line behind the memory is
// in Line.cpp; both share Engine::Impl (EngineImpl.h).
#include "EngineImpl.h"

#include <cstdio>
#include <ctime>

namespace boardsim {

namespace {
constexpr std::uint64_t kMs = 1000000ull;
// A read or write sequence, a record or a PLS data block left unfinished
// for this long is dropped: the next byte starts afresh.
constexpr std::uint64_t kSequenceIdleNs = 500 * kMs;

bool isReadWordCommand(std::uint8_t c) { return c == 24 || c == 40 || c == 72 || c == 88; }
bool isSendWordCommand(std::uint8_t c) { return c == 26 || c == 42; }
bool isChannelCommand(std::uint8_t c) { return c == 27 || c == 43; }
bool isBlockCommand(std::uint8_t c) { return c == 59 || c == 75 || c == 91 || c == 107; }
}   // namespace

// ---------------------------------------------------------------- memory

// The board's program area (0x2000 up, where its program is read back from)
// holds the program store, except the registers the board keeps live there:
// the clock and the program ident, checksum and revision.
bool Engine::Impl::programReadsBack(std::uint32_t a)
{
    if (a < kProgramAreaFirst)
        return false;
    if (a >= addr::ClockSecond && a <= addr::ClockYear)
        return false;
    if (a >= addr::ProgramIdent && a < addr::ProgramIdent + 10)
        return false;
    return true;
}

void Engine::Impl::store(std::uint32_t a, std::uint8_t v)
{
    a &= 0xFFFF;
    const std::uint8_t old = mem[a];
    mem[a] = v;
    if (old != v)
        commandWritten(a, old, v);
}

std::uint16_t Engine::Impl::word(std::uint32_t a) const
{
    return static_cast<std::uint16_t>(mem[a & 0xFFFF] | mem[(a + 1) & 0xFFFF] << 8);
}

void Engine::Impl::setWord(std::uint32_t a, std::uint16_t v)
{
    mem[a & 0xFFFF] = static_cast<std::uint8_t>(v & 0xFF);
    mem[(a + 1) & 0xFFFF] = static_cast<std::uint8_t>(v >> 8);
}

std::uint32_t Engine::Impl::decimal(std::uint32_t a) const
{
    return static_cast<std::uint32_t>(word(a + 2)) * 10000u + word(a);
}

void Engine::Impl::setDecimal(std::uint32_t a, std::uint32_t v)
{
    if (v > 655359999u)
        v = 655359999u;
    setWord(a, static_cast<std::uint16_t>(v % 10000u));
    setWord(a + 2, static_cast<std::uint16_t>(v / 10000u));
}

bool Engine::Impl::bit(int n) const
{
    const std::uint32_t a = addr::Flags + static_cast<std::uint32_t>(n) / 8;
    return (mem[a & 0xFFFF] >> (n % 8)) & 1;
}

void Engine::Impl::setBit(int n, bool on)
{
    const std::uint32_t a = (addr::Flags + static_cast<std::uint32_t>(n) / 8) & 0xFFFF;
    const std::uint8_t m = static_cast<std::uint8_t>(1u << (n % 8));
    mem[a] = static_cast<std::uint8_t>(on ? mem[a] | m : mem[a] & ~m);
}

// ---------------------------------------------------------------- protocol

std::uint8_t Engine::Impl::refuse()
{
    ++stats.unexpected;
    state = State::Idle;
    return kNak;
}

std::uint8_t Engine::Impl::resync()
{
    state = State::Command;
    return kAck;
}

std::uint8_t Engine::Impl::wrongEcho(std::uint8_t b) const { return static_cast<std::uint8_t>(b ^ 0x01); }

// A fault of this kind and first argument that has not used up its count.
bool Engine::Impl::faultHits(FaultSpec::Kind kind, std::uint64_t arg)
{
    for (auto &f : faults) {
        if (f.rule.kind != kind || f.rule.a != arg)
            continue;
        if (f.rule.b != 0 && f.hits >= f.rule.b)
            continue;
        ++f.hits;
        return true;
    }
    return false;
}

bool Engine::Impl::commandByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (b == kSync) {
        out.push_back(kAck);
        return true;
    }
    if (b == kCmdRead || b == kCmdWrite) {
        state = b == kCmdRead ? State::Read : State::Write;
        seqPos = 0;
    } else if (b == kCmdRecords) {
        if (mem[addr::ProgramLoadRequest] != addr::ProgramLoadRequestValue)
            return false;
        state = State::Records;
        recPos = 0;
    } else if (isReadWordCommand(b)) {
        plsCommand = b;
        plsAnswers.clear();
        std::uint16_t v = 0;
        switch (b) {
        case 24: v = plsScale; break;
        case 40: v = plsOffset; break;
        case 72: v = plsPosition(); break;
        default: v = word(addr::MachineSpeed); break;
        }
        plsAnswers = {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
        plsAnswerPos = 0;
        state = State::PlsAnswer;
    } else if (isSendWordCommand(b) || isChannelCommand(b) || isBlockCommand(b) || b == kCmdRecall) {
        plsCommand = b;
        plsData.clear();
        plsNeed = isSendWordCommand(b) ? 2 : b == kCmdRecall ? 1 : 6;
        state = State::PlsData;
    } else if (b == kCmdConfigRead) {
        plsCommand = b;
        plsAnswers.assign(plsConfig.begin(), plsConfig.begin() + 19);
        plsAnswerPos = 0;
        state = State::PlsAnswer;
    } else {
        return false;
    }
    ++stats.modeEntries;
    out.push_back(kAck);
    return true;
}

// Checks one PLS data byte as it arrives; false refuses it.
bool Engine::Impl::plsByteValid(std::uint8_t b) const
{
    const std::size_t i = plsData.size();   // index of b
    if ((isChannelCommand(plsCommand) || plsCommand == kCmdRecall) && i == 0)
        return b < kPlsChannels;
    auto wordAt = [&](std::size_t lo) { return static_cast<std::uint32_t>(plsData[lo] | b << 8); };
    if (plsCommand == 27 && (i == 2 || i == 4))
        return wordAt(i - 1) < plsScale;   // setpoints inside the scale
    if (plsCommand == 42 && i == 1)
        return wordAt(0) < plsScale;
    if (plsCommand == 26 && i == 1)
        return wordAt(0) != 0;
    return true;
}

void Engine::Impl::plsApply()
{
    const std::uint8_t c = plsCommand;
    if (isSendWordCommand(c)) {
        const auto v = static_cast<std::uint16_t>(plsData[0] | plsData[1] << 8);
        if (c == 42)
            plsOffset = v;
        else {
            plsScale = v;
            plsOffset = static_cast<std::uint16_t>(plsOffset % plsScale);
        }
    } else if (isChannelCommand(c)) {
        PlsChannel &ch = plsChannels[plsData[0]];
        ch.kind = c;
        ch.first = static_cast<std::uint16_t>(plsData[1] | plsData[2] << 8);
        ch.second = static_cast<std::uint16_t>(plsData[3] | plsData[4] << 8);
        ch.last = plsData[5];
    } else if (isBlockCommand(c)) {
        const int block = (c - 59) / 16;
        for (int i = 0; i < 6; ++i)
            plsConfig[static_cast<std::size_t>(block * 6 + i)] = plsData[static_cast<std::size_t>(i)];
    }
}

std::uint16_t Engine::Impl::plsPosition() const
{
    const std::uint32_t scale = resolverScale();
    const std::uint32_t raw = static_cast<std::uint32_t>(resolverRaw) * plsScale / scale;
    // The offset is taken off the resolver's angle: an offset of k makes the
    // position read k divisions less.
    return static_cast<std::uint16_t>((raw + plsScale - plsOffset % plsScale) % plsScale);
}

void Engine::Impl::dropStaleSequence()
{
    if (lastByteNs == 0 && stats.bytesIn <= 1)
        return;
    if (nowNs < lastByteNs + answerDelayNs() + kSequenceIdleNs)
        return;
    switch (state) {
    case State::Read:
    case State::Write: seqPos = 0; break;
    case State::Records: recPos = 0; break;
    case State::PlsData:
        if (!plsData.empty())
            state = State::Idle;
        break;
    default: break;
    }
}

std::uint64_t Engine::Impl::answerDelayNs() const
{
    std::uint64_t ms = 0;
    for (const auto &f : faults)
        if (f.rule.kind == FaultSpec::Slow)
            ms += f.rule.a;
    return ms * kMs;
}

// The protocol proper: one byte in, the answer bytes out (before line faults).
// First byte of a read or write: a 0xFF there is a new handshake, anything
// else the address high byte, echoed.
void Engine::Impl::addressHighByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (b == kSync) {
        out.push_back(resync());
        return;
    }
    hi = b;
    seqPos = 1;
    out.push_back(faultHits(FaultSpec::BadHighEcho, b) ? wrongEcho(b) : b);
}

void Engine::Impl::protocol(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    switch (state) {
    case State::Idle: return idleByte(b, out);
    case State::Command:
        if (!commandByte(b, out))
            out.push_back(refuse());
        return;
    case State::Read: return readModeByte(b, out);
    case State::Write: return writeModeByte(b, out);
    case State::Records: return recordByte(b, out);
    case State::PlsData: return plsDataByte(b, out);
    case State::PlsAnswer: return plsAnswerByte(b, out);
    case State::ReadyPoll: return readyPollByte(b, out);
    }
}

// Idle (power-up, or after a byte the board had no use for): only 0xFF counts.
void Engine::Impl::idleByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    out.push_back(b == kSync ? resync() : refuse());
}

// Read mode: address high byte (echoed), then the low byte, answered with the data.
void Engine::Impl::readModeByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (seqPos == 0)
        return addressHighByte(b, out);
    const std::uint32_t a = static_cast<std::uint32_t>(hi) << 8 | b;
    seqPos = 0;
    ++stats.reads;
    answerIsReadData = true;
    answerAddress = a;
    out.push_back(mem[a]);
}

// Write mode: high byte, low byte and data, each echoed; the data is stored.
void Engine::Impl::writeModeByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (seqPos == 0)
        return addressHighByte(b, out);
    if (seqPos == 1) {
        lo = b;
        seqPos = 2;
        out.push_back(b);
        return;
    }
    const std::uint32_t a = static_cast<std::uint32_t>(hi) << 8 | lo;
    seqPos = 0;
    ++stats.writes;
    store(a, b);
    out.push_back(faultHits(FaultSpec::BadEcho, a) ? wrongEcho(b) : b);
}

// Program records: count, address high and low, count data bytes; the last
// byte is answered with the checksum. 0xFF where a record would start ends
// the program.
void Engine::Impl::recordByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    switch (recPos) {
    case 0:
        if (b == kSync) {
            // end of the program: the load request has been served
            mem[addr::ProgramLoadRequest] = 0;
            out.push_back(resync());
            return;
        }
        recCount = b;
        recSum = b;
        recPos = 1;
        return;
    case 1:
        recHi = b;
        recSum += b;
        recPos = 2;
        return;
    case 2:
        recLo = b;
        recSum += b;
        recIndex = 0;
        recPos = 3;
        break;
    default: {
        const std::uint32_t a = (static_cast<std::uint32_t>(recHi) << 8 | recLo) + recIndex;
        program[a & 0xFFFF] = b;
        if (programReadsBack(a & 0xFFFF))
            mem[a & 0xFFFF] = b;
        recSum += b;
        ++recIndex;
        break;
    }
    }
    if (recIndex == recCount) {
        ++stats.records;
        recPos = 0;
        const auto sum = static_cast<std::uint8_t>(recSum & 0xFF);
        out.push_back(faultHits(FaultSpec::BadChecksum, stats.records) ? static_cast<std::uint8_t>(sum + 1) : sum);
    }
}

// The value bytes of a PLS command, each answered 0x55.
void Engine::Impl::plsDataByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (b == kSync && plsData.empty() && (isChannelCommand(plsCommand) || plsCommand == kCmdRecall)) {
        out.push_back(resync());
        return;
    }
    if (!plsByteValid(b)) {
        out.push_back(refuse());
        return;
    }
    plsData.push_back(b);
    out.push_back(kAck);
    if (static_cast<int>(plsData.size()) < plsNeed)
        return;
    if (plsCommand == kCmdRecall) {
        const PlsChannel &ch = plsChannels[plsData[0]];
        plsAnswers = {ch.last, static_cast<std::uint8_t>(ch.first & 0xFF), static_cast<std::uint8_t>(ch.first >> 8)};
        plsAnswerPos = 0;
        state = State::PlsAnswer;
    } else {
        plsApply();
        busyLeft = plsBusyPolls;
        pollStep = 0;
        state = State::ReadyPoll;
    }
}

// The answers of a PLS query, one for each 0x55 the PC sends.
void Engine::Impl::plsAnswerByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (b == kSync)
        out.push_back(resync());
    else if (b != kAck || plsAnswerPos >= plsAnswers.size())
        out.push_back(refuse());
    else
        out.push_back(plsAnswers[plsAnswerPos++]);
}

// The ready poll after a PLS change: 0x38 -> 0x55, 0x55 -> busy (0x55) or
// ready (0x00), 0x55 -> 0x55.
void Engine::Impl::readyPollByte(std::uint8_t b, std::vector<std::uint8_t> &out)
{
    if (b == kSync) {
        out.push_back(resync());
    } else if (pollStep == 0 && b == kReadyPoll) {
        pollStep = 1;
        out.push_back(kAck);
    } else if (pollStep == 1 && b == kAck) {
        if (busyLeft > 0) {
            --busyLeft;
            pollStep = 0;
            out.push_back(kAck);   // still busy
        } else {
            pollStep = 2;
            out.push_back(0x00);   // ready
        }
    } else if (pollStep == 2 && b == kAck) {
        pollStep = 0;
        out.push_back(kAck);
    } else {
        out.push_back(refuse());
    }
}

std::vector<std::uint8_t> Engine::Impl::feed(std::uint8_t b)
{
    std::vector<std::uint8_t> out;
    if (pulled)
        return out;
    ++stats.bytesIn;
    dropStaleSequence();
    lastByteNs = nowNs;
    answerIsReadData = false;
    protocol(b, out);

    const std::uint64_t n = stats.bytesIn;
    for (auto &f : faults) {
        const FaultSpec &s = f.rule;
        switch (s.kind) {
        case FaultSpec::Silence:
            if (n > s.a)
                out.clear();
            break;
        case FaultSpec::Lose:
            if (n >= s.a && n < s.a + s.b)
                out.clear();
            break;
        case FaultSpec::Pull:
            if (n >= s.a)
                pulled = true;
            break;
        case FaultSpec::BoardFault:
        case FaultSpec::NetFault:
            if (f.hits == 0 && n >= s.b)
                fireCodeFault(f);
            break;
        default: break;
        }
    }
    if (!out.empty()) {
        for (auto &f : faults) {
            const FaultSpec &s = f.rule;
            if (s.kind == FaultSpec::Garble || s.kind == FaultSpec::Noise) {
                ++f.hits;
                if (f.hits % s.a != 0)
                    continue;
                auto stray = static_cast<std::uint8_t>(noiseRng.next() & 0xFF);
                AnswerFault rec;
                rec.byte = n;
                rec.noise = s.kind == FaultSpec::Noise;
                rec.readData = answerIsReadData;
                rec.address = answerIsReadData ? answerAddress : 0;
                if (s.kind == FaultSpec::Garble) {
                    rec.meant = out.back();
                    if (stray == out.back())
                        stray = static_cast<std::uint8_t>(stray ^ 0x80);
                    out.back() = stray;
                } else {
                    rec.meant = out.front();
                    out.insert(out.begin(), stray);
                }
                rec.stray = stray;
                if (answerFaults.size() < kAnswerFaultsKept)
                    answerFaults.push_back(rec);
            }
        }
    }
    stats.bytesOut += out.size();
    return out;
}

// ---------------------------------------------------------------- set-up

Engine::Impl::Impl(const Options &o) : opt(o), lineRng(o.seed), noiseRng(o.seed ^ 0x9E3779B97F4A7C15ull)
{
    mem.fill(0);
    program.fill(0xFF);
    plsConfig.fill(0);
    initMemory();
    initLine();
}

void Engine::Impl::initMemory()
{
    // Set-up parameters as the program ships them.
    mem[999] = 1;
    mem[1000] = 5;
    mem[1001] = 5;
    mem[998] = 11;
    mem[997] = 0;
    setWord(1014, 215);
    setWord(1016, 10);
    setWord(1018, 100);
    setWord(1004, 180);
    setWord(1006, 270);
    setWord(1008, 275);
    setWord(1010, 0);
    setWord(1002, 0);

    // DF1 module: driver enabled, PLC-5, node 1, file 10, all well.
    setBit(flag::Df1Driver, true);
    mem[4001] = 0;
    mem[4050] = 1;
    mem[4011] = 10;
    mem[4023] = 2;   // configuration: success
    mem[4021] = 2;   // transmit: done
    mem[4022] = 2;
    mem[4014] = 0;
    mem[4026] = 0;
    mem[4303] = 0;   // link layer: no error
    mem[4018] = 0;
    mem[4019] = 0;

    // Identity, faults, network.
    const char ident[8] = {'T', '6', '8', '5', '0', 'L', 'T', 0};
    for (int i = 0; i < 8; ++i)
        mem[addr::ProgramIdent + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(ident[i]);
    mem[addr::ProgramIdent + 8] = 0xBA;   // checksum
    mem[addr::ProgramIdent + 9] = 3;      // revision
    mem[addr::FirmwareRev] = 21;
    mem[addr::FaultCode] = 0;
    mem[addr::LastFault] = 0x0A;
    mem[addr::CoCpuSlot] = 3;
    mem[addr::CommError] = 0;
    mem[addr::LastCommError] = 0x02;
    mem[addr::NetAddress1] = 1;
    mem[addr::NetAddress2] = 2;
    mem[554] = 1;

    // Resolver and analog I/O.
    setWord(addr::ResolverScale, 256);
    setWord(addr::ResolverOffset, 17);
    setBit(flag::ResolverOk, true);
    setWord(162, 2048);
    setWord(164, 1024);
    mem[166] = 128;
    mem[167] = 64;

    // Board clock.
    std::time_t t = opt.clockStart ? static_cast<std::time_t>(opt.clockStart) : std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    mem[addr::ClockSecond] = static_cast<std::uint8_t>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    mem[addr::ClockMinute] = static_cast<std::uint8_t>(tm.tm_min);
    mem[addr::ClockHour] = static_cast<std::uint8_t>(tm.tm_hour);
    mem[addr::ClockWeekday] = static_cast<std::uint8_t>(tm.tm_wday);
    mem[addr::ClockDay] = static_cast<std::uint8_t>(tm.tm_mday);
    mem[addr::ClockMonth] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    mem[addr::ClockYear] = static_cast<std::uint8_t>(tm.tm_year % 100);
}

bool Engine::Impl::addFault(const std::string &text, std::string *error)
{
    FaultSpec s;
    if (!parseFault(text, &s, error))
        return false;
    if (s.kind == FaultSpec::PlsBusy) {
        plsBusyPolls = static_cast<int>(s.a > 1000 ? 1000 : s.a);
        return true;
    }
    faults.push_back({s, 0});
    if (s.kind == FaultSpec::Pull && s.a <= stats.bytesIn)
        pulled = true;
    if ((s.kind == FaultSpec::BoardFault || s.kind == FaultSpec::NetFault) && s.b <= stats.bytesIn)
        fireCodeFault(faults.back());
    return true;
}

// A system fault or network error comes up: the current code and the last
// one both take it, as a set of its current code would.
void Engine::Impl::fireCodeFault(ActiveFault &f)
{
    f.hits = 1;
    store(f.rule.kind == FaultSpec::BoardFault ? addr::FaultCode : addr::CommError,
          static_cast<std::uint8_t>(f.rule.a));
}

std::string Engine::Impl::summary() const
{
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "boardsim: %llu bytes in, %llu bytes out, %llu reads, %llu writes, %llu records, "
                  "%llu mode entries, %llu unexpected",
                  static_cast<unsigned long long>(stats.bytesIn), static_cast<unsigned long long>(stats.bytesOut),
                  static_cast<unsigned long long>(stats.reads), static_cast<unsigned long long>(stats.writes),
                  static_cast<unsigned long long>(stats.records), static_cast<unsigned long long>(stats.modeEntries),
                  static_cast<unsigned long long>(stats.unexpected));
    return buf;
}

// ---------------------------------------------------------------- Engine

Engine::Engine(const Options &opt) : d(std::make_unique<Impl>(opt))
{
    for (const auto &f : opt.faults)
        d->addFault(f, nullptr);
}

Engine::~Engine() = default;

std::vector<std::uint8_t> Engine::feed(std::uint8_t byte) { return d->feed(byte); }

std::vector<std::uint8_t> Engine::feed(const std::vector<std::uint8_t> &bytes)
{
    std::vector<std::uint8_t> out;
    for (auto b : bytes) {
        auto a = d->feed(b);
        out.insert(out.end(), a.begin(), a.end());
    }
    return out;
}

void Engine::advance(std::uint64_t ns) { d->advanceTo(d->nowNs + ns); }
void Engine::advanceTo(std::uint64_t ns) { d->advanceTo(ns); }
std::uint64_t Engine::now() const { return d->nowNs; }

std::uint8_t Engine::peek(std::uint32_t a) const { return d->mem[a & 0xFFFF]; }
void Engine::poke(std::uint32_t a, std::uint8_t v) { d->store(a, v); }
std::uint16_t Engine::peekWord(std::uint32_t a) const { return d->word(a); }
void Engine::pokeWord(std::uint32_t a, std::uint16_t v)
{
    d->store(a, static_cast<std::uint8_t>(v & 0xFF));
    d->store(a + 1, static_cast<std::uint8_t>(v >> 8));
}
std::uint32_t Engine::peekDecimal(std::uint32_t a) const { return d->decimal(a); }
void Engine::pokeDecimal(std::uint32_t a, std::uint32_t v)
{
    if (v > 655359999u)
        v = 655359999u;
    pokeWord(a, static_cast<std::uint16_t>(v % 10000u));
    pokeWord(a + 2, static_cast<std::uint16_t>(v / 10000u));
}
bool Engine::flag(int n) const { return n >= 0 && d->bit(n); }
void Engine::setFlag(int n, bool on)
{
    if (n < 0 || addr::Flags + static_cast<std::uint32_t>(n) / 8 > 0xFFFF)
        return;
    const std::uint32_t a = addr::Flags + static_cast<std::uint32_t>(n) / 8;
    const std::uint8_t m = static_cast<std::uint8_t>(1u << (n % 8));
    d->store(a, static_cast<std::uint8_t>(on ? d->mem[a] | m : d->mem[a] & ~m));
}

bool Engine::set(const std::string &assignment, std::string *error)
{
    Assignment a;
    if (!parseAssignment(assignment, &a, error))
        return false;
    if (a.bit >= 0) {
        const std::uint8_t m = static_cast<std::uint8_t>(1u << a.bit);
        poke(a.address, static_cast<std::uint8_t>(a.value ? d->mem[a.address] | m : d->mem[a.address] & ~m));
    } else if (a.type == 'W') {
        pokeWord(a.address, static_cast<std::uint16_t>(a.value));
    } else if (a.type == 'D') {
        pokeDecimal(a.address, a.value);
    } else {
        poke(a.address, static_cast<std::uint8_t>(a.value));
    }
    return true;
}

bool Engine::addFault(const std::string &rule, std::string *error) { return d->addFault(rule, error); }
void Engine::clearFaults()
{
    d->faults.clear();
    d->plsBusyPolls = 1;
    d->pulled = false;
}
const std::vector<AnswerFault> &Engine::answerFaults() const { return d->answerFaults; }
const std::array<std::uint8_t, 65536> &Engine::memory() const { return d->mem; }
bool Engine::cablePulled() const { return d->pulled; }
std::uint32_t Engine::answerDelayMs() const { return static_cast<std::uint32_t>(d->answerDelayNs() / kMs); }
State Engine::state() const { return d->state; }
Stats Engine::stats() const { return d->stats; }
std::string Engine::summary() const { return d->summary(); }
const std::array<std::uint8_t, 65536> &Engine::programImage() const { return d->program; }
std::uint32_t Engine::recordsAccepted() const { return static_cast<std::uint32_t>(d->stats.records); }
std::uint16_t Engine::plsScale() const { return d->plsScale; }
std::uint16_t Engine::plsOffset() const { return d->plsOffset; }
std::uint16_t Engine::plsPosition() const { return d->plsPosition(); }
PlsChannel Engine::plsChannel(int ch) const
{
    return ch >= 0 && ch < kPlsChannels ? d->plsChannels[static_cast<std::size_t>(ch)] : PlsChannel{};
}
std::array<std::uint8_t, 24> Engine::plsConfig() const { return d->plsConfig; }
std::uint32_t Engine::testBlowoffs() const { return d->testBlowoffs; }
bool Engine::lineStopped() const { return d->bit(flag::MachineFault); }
void Engine::raiseAlarm(int number) { d->raiseAlarm(number); }

}   // namespace boardsim

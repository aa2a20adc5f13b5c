// The can line behind the board memory: machine speed and resolver, cans
// counted per shift and pocket, FIFO statistics, I/O images, alarms, the
// board clock, and the command flags a technician sets from the program.
// Everything moves in 1 ms steps of simulated time, drawn from one seeded
// generator, so a seed and a sequence of calls give the same memory.
#include "EngineImpl.h"

#include <algorithm>

namespace boardsim {

namespace {
constexpr std::uint64_t kMs = 1000000ull;
constexpr int kPockets = 16;
constexpr std::int64_t kRampMilliPerMs = 200;       // 200 cans/min per second
constexpr std::uint64_t kCountUnit = 60000000ull;   // milli-CPM x ms per count, per count/rev
constexpr std::uint64_t kTestBlowoffMs = 40;
constexpr std::uint64_t kRejectPulseMs = 15;
constexpr std::uint64_t kSelfClearingAlarmMs = 5000;

// Alarm numbers the line raises by itself, more common ones more often.
constexpr int kAlarmPool[] = {1, 1, 1, 3, 3, 4, 5, 8, 9, 2, 10, 10, 11, 12, 13, 14};

void bump(std::array<std::uint8_t, 65536> &mem, std::uint32_t a)
{
    if (mem[a] < 255)
        ++mem[a];
}

int daysInMonth(int month, int year2)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year2 % 4 == 0)
        return 29;
    return month >= 1 && month <= 12 ? days[month - 1] : 31;
}
}   // namespace

void Engine::Impl::initLine()
{
    targetSpeed = 1150 + static_cast<int>(lineRng.below(101));
    if (opt.lineRunning)
        speedMilli = static_cast<std::int64_t>(targetSpeed) * 1000;
    resolverRaw = static_cast<std::uint16_t>(lineRng.below(256));
    nextAlarmMs = 120000 + lineRng.below(480000);
    updateIo();
}

std::uint32_t Engine::Impl::resolverScale() const
{
    const std::uint16_t s = word(addr::ResolverScale);
    return s ? s : 256;
}

void Engine::Impl::advanceTo(std::uint64_t ns)
{
    if (ns <= nowNs)
        return;
    while ((lineMs + 1) * kMs <= ns) {
        ++lineMs;
        tick();
    }
    nowNs = ns;
}

void Engine::Impl::tick()
{
    if (lineMs % 1000 == 0)
        clockSecond();
    if (alarmClearMs && lineMs >= alarmClearMs) {
        alarmClearMs = 0;
        if (mem[addr::AlarmNumber] == 10)
            resetAlarms();
    }
    if (!opt.lineRunning)
        return;   // memory holds still: what is set stays set

    // Speed follows its target; the target wanders, and is 0 while a
    // stopping alarm holds the machine.
    if (lineMs % 10000 == 0) {
        targetSpeed += static_cast<int>(lineRng.below(41)) - 20;
        if (targetSpeed < 1100)
            targetSpeed = 1100;
        if (targetSpeed > 1300)
            targetSpeed = 1300;
    }
    const std::int64_t target = bit(flag::MachineFault) ? 0 : static_cast<std::int64_t>(targetSpeed) * 1000;
    if (speedMilli < target)
        speedMilli = std::min(target, speedMilli + kRampMilliPerMs);
    else if (speedMilli > target)
        speedMilli = std::max(target, speedMilli - kRampMilliPerMs);

    // One resolver revolution per can pitch.
    const std::uint32_t scale = resolverScale();
    resolverAcc += static_cast<std::uint64_t>(speedMilli) * scale;
    while (resolverAcc >= kCountUnit) {
        resolverAcc -= kCountUnit;
        if (++resolverRaw >= scale) {
            resolverRaw = 0;
            onCan();
        }
    }
    if (resolverRaw >= scale)
        resolverRaw = 0;

    if (lineMs >= nextAlarmMs) {
        nextAlarmMs = lineMs + 120000 + lineRng.below(480000);
        if (!bit(flag::MachineFault) && !bit(flag::TrackingFault) && mem[addr::AlarmNumber] == 0)
            raiseAlarm(kAlarmPool[lineRng.below(sizeof kAlarmPool / sizeof kAlarmPool[0])]);
    }

    if (lineMs % 100 == 0) {
        auto wander = [&](std::uint32_t a, int centre) {
            int v = word(a) + static_cast<int>(lineRng.below(21)) - 10;
            if (v < centre - 150)
                v = centre - 150;
            if (v > centre + 150)
                v = centre + 150;
            setWord(a, static_cast<std::uint16_t>(v));
        };
        wander(162, 2048);
        wander(164, 1024);
    }
    if (lineMs % 250 == 0 && bit(flag::Df1Driver)) {
        // DF1 module traffic to the PLC; status bytes are left as set.
        setWord(4016, static_cast<std::uint16_t>(word(4016) + 1));
        mem[4014] ^= 1;
        mem[4026] = static_cast<std::uint8_t>(20 + lineRng.below(40));
        mem[4302] ^= 0x40;
        setWord(4304, static_cast<std::uint16_t>(word(4304) + 1));
    }
    updateIo();
}

void Engine::Impl::clockSecond()
{
    auto &m = mem;
    if (++m[addr::ClockSecond] < 60)
        return;
    m[addr::ClockSecond] = 0;
    if (++m[addr::ClockMinute] < 60)
        return;
    m[addr::ClockMinute] = 0;
    if (++m[addr::ClockHour] < 24)
        return;
    m[addr::ClockHour] = 0;
    m[addr::ClockWeekday] = static_cast<std::uint8_t>((m[addr::ClockWeekday] + 1) % 7);
    if (++m[addr::ClockDay] <= daysInMonth(m[addr::ClockMonth], m[addr::ClockYear]))
        return;
    m[addr::ClockDay] = 1;
    if (++m[addr::ClockMonth] <= 12)
        return;
    m[addr::ClockMonth] = 1;
    m[addr::ClockYear] = static_cast<std::uint8_t>((m[addr::ClockYear] + 1) % 100);
}

// A can passes the discharge: count it, reject it or not, move the FIFO.
void Engine::Impl::onCan()
{
    ++canCounter;
    const auto pocket = static_cast<std::uint32_t>((canCounter + mem[998]) % kPockets);
    if (lineRng.below(5000) == 0) {
        lastCanKind = 3;
        bump(mem, addr::MissedCans);
        return;
    }
    const std::uint32_t r = lineRng.below(100000);
    lastCanKind = r < 150 ? 1 : r < 250 ? 2 : 0;
    if (lastCanKind == 0) {
        setDecimal(addr::ShiftCurrent, decimal(addr::ShiftCurrent) + 1);
    } else {
        setDecimal(addr::ShiftCurrent + (lastCanKind == 1 ? 4 : 8),
                   decimal(addr::ShiftCurrent + (lastCanKind == 1 ? 4 : 8)) + 1);
        for (std::uint32_t base : {addr::PocketRejects, addr::ShiftCurrent + 16}) {
            const std::uint32_t a = base + 2 * pocket;
            if (word(a) < 65535)
                setWord(a, static_cast<std::uint16_t>(word(a) + 1));
        }
        mem[addr::RejectedPocket] = static_cast<std::uint8_t>(pocket + 1);
        rejectPulseUntil = lineMs + kRejectPulseMs;
    }

    // FIFO between the can presence sensor and the discharge.
    const std::uint32_t fifo = 6u + lineRng.below(3);
    mem[addr::FifoCount] = static_cast<std::uint8_t>(fifo);
    const std::uint32_t tenths = fifo * 10;
    if (!fifoSeen) {
        fifoSeen = true;
        mem[addr::FifoMax] = mem[addr::FifoMin] = static_cast<std::uint8_t>(tenths);
        fifoAvg16 = tenths * 16;
    }
    if (tenths > mem[addr::FifoMax])
        mem[addr::FifoMax] = static_cast<std::uint8_t>(tenths);
    if (tenths < mem[addr::FifoMin])
        mem[addr::FifoMin] = static_cast<std::uint8_t>(tenths);
    fifoAvg16 = fifoAvg16 - fifoAvg16 / 16 + tenths;
    mem[addr::FifoAvg] = static_cast<std::uint8_t>(fifoAvg16 / 16);
    const std::uint32_t c = lineRng.below(20000);
    if (c == 0)
        bump(mem, addr::FifoHighCorrections);
    else if (c == 1)
        bump(mem, addr::FifoLowCorrections);

    // Where the inputs were seen, in resolver counts (256 per revolution).
    const std::uint16_t centres[] = {96, 140, 32, 200};
    for (int i = 0; i < 4; ++i)
        setWord(560 + 2 * static_cast<std::uint32_t>(i), static_cast<std::uint16_t>(centres[i] + lineRng.below(5) - 2));

    // Can, blow-off and delay times, in half milliseconds.
    const std::int64_t cpm = speedMilli / 1000;
    const std::int64_t periodUs = cpm > 0 ? 60000000 / cpm : 0;
    auto half = [](std::int64_t us) { return static_cast<std::uint8_t>(std::min<std::int64_t>(255, us / 500)); };
    mem[646] = half(periodUs * 3 / 10);
    mem[644] = half(8000);
    mem[645] = half(periodUs * 4 / 10);
}

// Resolver words, timing channels and the slot I/O images.
void Engine::Impl::updateIo()
{
    const std::uint32_t scale = resolverScale();
    const std::uint32_t pos = (resolverRaw + word(addr::ResolverOffset)) % scale;
    const std::int64_t cpm = speedMilli / 1000;
    setWord(addr::ResolverPos, static_cast<std::uint16_t>(pos));
    setWord(addr::MachineSpeed, static_cast<std::uint16_t>(cpm));
    setWord(addr::ResolverPeriod,
            static_cast<std::uint16_t>(cpm > 0 ? std::min<std::int64_t>(65535, 600000 / cpm) : 0));

    const std::uint32_t deg = pos * 360 / scale;
    std::uint8_t channels = 0;
    for (std::uint32_t ch = 0; ch < 4; ++ch) {
        const std::uint32_t on = word(1004 + 2 * ch) % 360;
        if ((deg + 360 - on) % 360 < 90)
            channels = static_cast<std::uint8_t>(channels | 1u << ch);
    }
    mem[addr::TimingChannels] = channels;

    const bool running = cpm > 0;
    const bool can = lastCanKind != 3;
    std::uint16_t in00 = 0;
    if (running && can && deg < 180)
        in00 |= 1 << 0;   // can presence PRX
    if (running && lastCanKind == 1 && deg < 90)
        in00 |= 1 << 1;   // leak detector reject
    if (running && lastCanKind == 2 && deg < 90)
        in00 |= 1 << 2;   // vision reject
    if (running && can && deg >= 200 && deg < 260)
        in00 |= 1 << 3;   // reject photo eye
    if (running && can && deg >= 270 && deg < 330)
        in00 |= 1 << 4;   // discharge photo eye
    if (bit(flag::ArrayFault))
        in00 |= 1 << 5;
    if (running)
        in00 |= 1 << 8;
    in00 |= 1 << 9 | 1 << 10 | 1 << 11;   // air pressure, guards, emergency stop circuit
    setWord(addr::Slot00, in00);

    const bool fault = bit(flag::MachineFault);
    std::uint16_t out01 = 0;
    if (lineMs < rejectPulseUntil || lineMs < blowoffUntil)
        out01 |= 1 << 0;   // reject blow-off solenoid
    if (lineMs < rejectPulseUntil)
        out01 |= 1 << 1;   // diverter
    if (fault || bit(flag::TrackingFault))
        out01 |= 1 << 2;   // alarm beacon
    if (!fault)
        out01 |= 1 << 3;   // run permit
    if (fault && lineMs % 1000 < 500)
        out01 |= 1 << 4;   // horn
    setWord(addr::Slot01, out01);

    const auto pocket = static_cast<std::uint16_t>((canCounter + mem[998]) % kPockets);
    std::uint16_t in02 = pocket;
    if (pocket == 0)
        in02 |= 1 << 4;   // pocket #1 sensor
    if (channels & 1)
        in02 |= 1 << 8;   // sync
    setWord(addr::Slot02, in02);

    setBit(flag::In0, running);
    setBit(flag::In1, channels & 1);
}

void Engine::Impl::raiseAlarm(int n)
{
    if (n <= 0 || n > 255)
        return;
    mem[addr::AlarmNumber] = static_cast<std::uint8_t>(n);
    if (n <= 9)
        setBit(flag::MachineFault, true);
    else
        setBit(flag::TrackingFault, true);
    if (n == 2) {
        setBit(flag::ArrayFault, true);
        mem[addr::FaultedArrayHead] = static_cast<std::uint8_t>(1 + lineRng.below(8));
    }
    alarmClearMs = n == 10 ? lineMs + kSelfClearingAlarmMs : 0;
}

void Engine::Impl::resetAlarms()
{
    setBit(flag::MachineFault, false);
    setBit(flag::TrackingFault, false);
    setBit(flag::ArrayFault, false);
    mem[addr::AlarmNumber] = 0;
    mem[addr::FaultedArrayHead] = 0;
    alarmClearMs = 0;
}

void Engine::Impl::endOfShift()
{
    for (std::uint32_t i = 0; i < 3; ++i) {
        setDecimal(addr::ShiftLast + 4 * i, decimal(addr::ShiftCurrent + 4 * i));
        setDecimal(addr::ShiftCurrent + 4 * i, 0);
    }
    for (std::uint32_t p = 0; p < kPockets; ++p) {
        setWord(addr::ShiftLast + 16 + 2 * p, word(addr::ShiftCurrent + 16 + 2 * p));
        setWord(addr::ShiftCurrent + 16 + 2 * p, 0);
    }
}

void Engine::Impl::calibrateFifo()
{
    fifoSeen = false;
    mem[addr::FifoMax] = mem[addr::FifoMin] = mem[addr::FifoAvg] = 0;
    mem[addr::FifoHighCorrections] = mem[addr::FifoLowCorrections] = mem[addr::MissedCans] = 0;
    if (mem[addr::AlarmNumber] == 14 || mem[addr::AlarmNumber] == 11 || mem[addr::AlarmNumber] == 12)
        resetAlarms();
}

// A byte of memory changed from outside (the wire or the API): act on the
// command flags whose bit went from 0 to 1. Commands the program only ever
// sets (alarm reset, test blow-off, FIFO calibration, zero resolver) are
// cleared again by the board once carried out; end of shift and reset
// rejects are push buttons the program sets and clears itself.
void Engine::Impl::commandWritten(std::uint32_t a, std::uint8_t old, std::uint8_t v)
{
    bool acted = a >= addr::ResolverScale && a <= addr::ResolverOffset + 1;
    auto rising = [&](int n) {
        if (addr::Flags + static_cast<std::uint32_t>(n) / 8 != a)
            return false;
        const int b = n % 8;
        const bool r = !((old >> b) & 1) && ((v >> b) & 1);
        acted = acted || r;
        return r;
    };
    if (rising(flag::AlarmReset)) {
        resetAlarms();
        setBit(flag::AlarmReset, false);
    }
    if (rising(flag::TestBlowoff)) {
        ++testBlowoffs;
        blowoffUntil = lineMs + kTestBlowoffMs;
        setBit(flag::TestBlowoff, false);
    }
    if (rising(flag::EndOfShift))
        endOfShift();
    if (rising(flag::ResetRejects))
        for (std::uint32_t p = 0; p < kPockets; ++p)
            setWord(addr::PocketRejects + 2 * p, 0);
    if (rising(flag::CalibrateFifo)) {
        calibrateFifo();
        setBit(flag::CalibrateFifo, false);
    }
    if (rising(flag::ZeroResolver)) {
        // the present shaft position becomes position 0
        const std::uint32_t scale = resolverScale();
        setWord(addr::ResolverOffset, static_cast<std::uint16_t>((scale - resolverRaw % scale) % scale));
        setBit(flag::ZeroResolver, false);
    }
    // A fault code or network error code that comes up is also the last one.
    if (a == addr::FaultCode && v != 0)
        mem[addr::LastFault] = v;
    if (a == addr::CommError && v != 0)
        mem[addr::LastCommError] = v;
    if (acted && opt.lineRunning)
        updateIo();
    else if (acted)
        setWord(addr::ResolverPos,
                static_cast<std::uint16_t>((resolverRaw + word(addr::ResolverOffset)) % resolverScale()));
}

}   // namespace boardsim

// The memory the screens read, and the can line moving behind it.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace boardsim;

namespace {

Options runningOptions(std::uint32_t seed)
{
    Options o = simtest::stillOptions();
    o.lineRunning = true;
    o.seed = seed;
    return o;
}

TEST(Memory, SetGrammarReachesEveryType)
{
    struct Case {
        const char *text;
        std::uint32_t addr;
        int width;
        std::uint32_t value;
    };
    const Case good[] = {
        {"B100=5", 100, 1, 5},           {"W188=4660", 188, 2, 4660},  {"D1100=123456", 1100, 4, 123456},
        {"F54=1", 38, 1, 0x40},          {"B4001.3=1", 4001, 1, 0x08}, {"1F40H=7", 8000, 1, 7},
        {" w4016 = 0x10 ", 4016, 2, 16},
    };
    for (const Case &c : good) {
        SCOPED_TRACE(c.text);
        Engine e(simtest::stillOptions());
        std::string err;
        ASSERT_TRUE(e.set(c.text, &err)) << err;
        EXPECT_EQ(c.width == 1 ? e.peek(c.addr) : c.width == 2 ? e.peekWord(c.addr) : e.peekDecimal(c.addr), c.value);
    }
    Engine e(simtest::stillOptions()), untouched(simtest::stillOptions());
    for (const char *bad :
         {"B100", "=5", "B100=", "B100=256", "W10=65536", "D10=655360000", "F54=2", "B4001.8=1", "B4001.3=2", "X5=1",
          "B70000=1", "W65535=1", "B100=-1", "B100=5x", "Bx=1", "F=1", "GGGH=1"}) {
        std::string err;
        EXPECT_TRUE(!e.set(bad, &err) && !err.empty()) << bad;
    }
    EXPECT_TRUE(simtest::sameMemory(e, untouched));
}

TEST(Line, SameSeedSameLineWhateverTheSteps)
{
    Engine a(runningOptions(7)), b(runningOptions(7)), c(runningOptions(8));
    a.advanceMs(90000);
    for (int i = 0; i < 900; ++i)
        b.advance(100000000);   // 100 ms steps
    c.advanceMs(90000);
    EXPECT_TRUE(simtest::sameMemory(a, b));
    EXPECT_FALSE(simtest::sameMemory(a, c));
}

TEST(Line, ChannelsSlotsAndCansFollowTheMachine)
{
    Engine e(runningOptions(3));
    EXPECT_GE(e.peekWord(556), 1100);   // cans per minute
    EXPECT_LE(e.peekWord(556), 1300);
    EXPECT_GT(e.peekWord(184), 0);   // resolver period
    bool ch0On = false, ch0Off = false, prx = false, in0 = true;
    for (int i = 0; i < 200; ++i) {
        e.advanceMs(1);
        const bool on = e.peek(170) & 1;   // never before channel 0's on angle
        EXPECT_TRUE(!on || e.peekWord(180) * 360u / 256u >= e.peekWord(1004)) << e.peekWord(180);
        ch0On = ch0On || on;
        ch0Off = ch0Off || !on;
        prx = prx || (e.peek(100) & 1);
        in0 = in0 && e.flag(16);
    }
    EXPECT_TRUE(ch0On && ch0Off && prx && in0);
    e.advanceMs(10 * 60 * 1000);
    const std::uint32_t rejects = e.peekDecimal(1104) + e.peekDecimal(1108);
    EXPECT_GT(e.peekDecimal(1100), 5000u);
    EXPECT_GT(rejects, 0u);
    std::uint32_t pockets = 0, running = 0;
    for (std::uint32_t p = 0; p < 16; ++p) {
        pockets += e.peekWord(1116 + 2 * p);
        running += e.peekWord(1020 + 2 * p);
    }
    EXPECT_EQ(pockets, rejects);
    EXPECT_EQ(running, rejects);
    EXPECT_GE(e.peek(82), 6);
    EXPECT_LE(e.peek(1013), e.peek(650));   // FIFO min <= average <= max
    EXPECT_LE(e.peek(650), e.peek(1012));
    EXPECT_GT(e.peekWord(4016), 0);   // the DF1 module talks while its driver is on
}

TEST(Line, StillBoardIsPlausibleHoldsWhatIsSetAndItsClockRuns)
{
    Engine e(simtest::stillOptions());
    std::uint32_t a = 61424;   // ident: printable name, zero padded
    for (; a < 61432 && e.peek(a); ++a)
        EXPECT_GT(e.peek(a), 31);
    EXPECT_TRUE(a > 61424 && e.peek(61431) == 0);
    EXPECT_TRUE(e.peek(8180) >= 1 && e.peek(8180) <= 32);    // network address the screen accepts
    EXPECT_TRUE(e.flag(56) && !e.flag(54) && !e.flag(60));   // resolver well, no alarm
    e.pokeWord(100, 1025);
    e.poke(170, 5);
    const std::uint16_t pos = e.peekWord(180);
    const int sec = e.peek(43008);
    e.advanceMs(5000);
    EXPECT_EQ(e.peekWord(100), 1025);
    EXPECT_EQ(e.peek(170), 5);
    EXPECT_EQ(e.peekWord(180), pos);
    EXPECT_EQ(e.peekDecimal(1100), 0u);
    EXPECT_EQ(e.peek(43008), (sec + 5) % 60);

    // one second before the new year: every field carries
    const std::uint32_t fields[] = {43008, 43010, 43012, 43015, 43016, 43017};
    const int before[] = {59, 59, 23, 31, 12, 26}, after[] = {0, 0, 0, 1, 1, 27};
    for (int i = 0; i < 6; ++i)
        e.poke(fields[i], static_cast<std::uint8_t>(before[i]));
    e.advanceMs(1000);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(e.peek(fields[i]), after[i]) << fields[i];
}

// Each command flag, set as the program sets it (a write of its byte), does
// its job; the board clears the flag when done.
TEST(Commands, EachCommandFlag)
{
    using Step = void (*)(Engine &);
    struct Case {
        const char *what;
        int flag;
        Step before, after;
    };
    const Case cases[] = {
        {"reset a stopping alarm: the machine runs again", 50,
         [](Engine &e) {
             e.raiseAlarm(3);
             e.advanceMs(10000);
             EXPECT_TRUE(e.peek(2072) == 3 && e.peekWord(556) == 0);
         },
         [](Engine &e) {
             EXPECT_TRUE(!e.flag(54) && e.peek(2072) == 0);
             e.advanceMs(10000);
             EXPECT_GT(e.peekWord(556), 1000);
         }},
        {"reset a warning", 50,
         [](Engine &e) {
             e.raiseAlarm(12);
             EXPECT_TRUE(e.flag(60) && !e.flag(54));
         },
         [](Engine &e) { EXPECT_FALSE(e.flag(60)); }},
        {"reset an array fault", 50,
         [](Engine &e) {
             e.raiseAlarm(2);
             EXPECT_TRUE(e.flag(70) && e.peek(599) >= 1);
         },
         [](Engine &e) { EXPECT_FALSE(e.flag(70)); }},
        {"zero resolver", 840, [](Engine &) {}, [](Engine &e) { EXPECT_EQ(e.peekWord(180), 0); }},
        {"test blow-off fires the solenoid", 805, [](Engine &) {},
         [](Engine &e) {
             EXPECT_EQ(e.testBlowoffs(), 1u);
             e.advanceMs(1);
             EXPECT_TRUE(e.peek(110) & 1);
         }},
        {"calibrate FIFO: statistics start again", 831, [](Engine &e) { e.poke(655, 4); },
         [](Engine &e) {
             EXPECT_EQ(e.peek(655) + e.peek(1012), 0);
             e.advanceMs(1000);
             EXPECT_GT(e.peek(1012), 0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Engine e(runningOptions(9));
        e.advanceMs(61234);
        c.before(e);
        const std::uint32_t at = 32 + static_cast<std::uint32_t>(c.flag) / 8;
        ASSERT_TRUE(simtest::enterMode(e, 0x02));
        ASSERT_TRUE(simtest::writeBytes(e, at, {static_cast<std::uint8_t>(e.peek(at) | 1 << c.flag % 8)}));
        EXPECT_FALSE(e.flag(c.flag));
        c.after(e);
    }
}

// Buttons the operator holds: they act once per press.
TEST(Commands, EndOfShiftAndResetRejects)
{
    Engine e(simtest::stillOptions());
    e.pokeDecimal(1100, 123456);
    e.pokeDecimal(1104, 77);
    e.pokeDecimal(1108, 12);
    e.pokeWord(1116 + 8, 9);
    e.pokeWord(1020 + 8, 30);
    e.setFlag(87, true);
    EXPECT_EQ(e.peekDecimal(1200), 123456u);
    EXPECT_EQ(e.peekDecimal(1204), 77u);
    EXPECT_EQ(e.peekDecimal(1208), 12u);
    EXPECT_EQ(e.peekWord(1216 + 8), 9);
    EXPECT_EQ(e.peekDecimal(1100) + e.peekDecimal(1104) + e.peekWord(1116 + 8), 0u);
    EXPECT_EQ(e.peekWord(1020 + 8), 30);   // running counts are kept
    // held down: a write of its byte (another bit) does nothing until released and pressed again
    e.pokeDecimal(1100, 50);
    e.setFlag(86, true);
    EXPECT_EQ(e.peekDecimal(1100), 50u);
    e.setFlag(87, false);
    e.setFlag(87, true);
    EXPECT_EQ(e.peekDecimal(1200), 50u);
    e.setFlag(825, true);
    EXPECT_EQ(e.peekWord(1020 + 8), 0);
}

}   // namespace

// The memory the screens read, and the can line moving behind it.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace boardsim;

namespace {

Options runningOptions(std::uint32_t seed)
{
    Options o;
    o.seed = seed;
    o.clockStart = 1764979200;
    return o;
}

TEST(Memory, ScreensFindPlausibleValues)
{
    Engine e(simtest::stillOptions());
    // parameter table defaults
    EXPECT_EQ(e.peek(999), 1);
    EXPECT_EQ(e.peek(1000), 5);
    EXPECT_EQ(e.peek(1001), 5);
    EXPECT_EQ(e.peek(998), 11);
    EXPECT_EQ(e.peekWord(1014), 215);
    EXPECT_EQ(e.peekWord(1016), 10);
    EXPECT_EQ(e.peekWord(1018), 100);
    EXPECT_EQ(e.peekWord(1004), 180);
    EXPECT_EQ(e.peekWord(1006), 270);
    EXPECT_EQ(e.peekWord(1008), 275);
    EXPECT_EQ(e.peek(4050), 1);
    EXPECT_EQ(e.peek(4011), 10);
    EXPECT_FALSE(e.flag((4001 - 32) * 8));
    // DF1 driver on, module well
    EXPECT_TRUE(e.flag(42));
    EXPECT_EQ(e.peek(4023), 2);
    EXPECT_EQ(e.peek(4303), 0);
    // ident: printable name, zero padded, then checksum and revision
    for (std::uint32_t a = 61424; a < 61432 && e.peek(a); ++a)
        EXPECT_GT(e.peek(a), 31);
    EXPECT_EQ(e.peek(61431), 0);
    // network address within the screen's bounds
    EXPECT_GE(e.peek(8180), 1);
    EXPECT_LE(e.peek(8180), 32);
    EXPECT_EQ(e.peekWord(186), 256);
    EXPECT_TRUE(e.flag(56));
    EXPECT_FALSE(e.flag(54));
    EXPECT_FALSE(e.flag(60));
}

TEST(Memory, SetGrammarReachesEveryType)
{
    Engine e(simtest::stillOptions());
    EXPECT_TRUE(e.set("B100=5"));
    EXPECT_TRUE(e.set("W188=4660"));
    EXPECT_TRUE(e.set("D1100=123456"));
    EXPECT_TRUE(e.set("F54=1"));
    EXPECT_TRUE(e.set("B4001.3=1"));
    EXPECT_TRUE(e.set("1F40H=7"));
    EXPECT_TRUE(e.set(" w4016 = 0x10 "));
    EXPECT_EQ(e.peek(100), 5);
    EXPECT_EQ(e.peek(188), 0x34);
    EXPECT_EQ(e.peek(189), 0x12);
    EXPECT_EQ(e.peekWord(1100), 3456);
    EXPECT_EQ(e.peekWord(1102), 12);
    EXPECT_TRUE(e.flag(54));
    EXPECT_EQ(e.peek(38), 0x40);
    EXPECT_EQ(e.peek(4001), 0x08);
    EXPECT_EQ(e.peek(8000), 7);
    EXPECT_EQ(e.peekWord(4016), 16);

    std::string err;
    for (const char *bad : {"B100", "=5", "B100=", "B100=256", "W10=65536", "D10=655360000", "F54=2",
                            "B4001.8=1", "B4001.3=2", "X5=1", "B70000=1", "W65535=1", "B100=-1", "B100=5x",
                            "Bx=1", "F=1", "GGGH=1"}) {
        err.clear();
        EXPECT_FALSE(e.set(bad, &err)) << bad;
        EXPECT_FALSE(err.empty()) << bad;
    }
    EXPECT_EQ(e.peek(100), 5);
}

TEST(Line, SameSeedSameLineWhateverTheSteps)
{
    Engine a(runningOptions(7)), b(runningOptions(7)), c(runningOptions(8));
    a.advanceMs(90000);
    for (int i = 0; i < 900; ++i)
        b.advance(100000000);   // 100 ms steps
    c.advanceMs(90000);
    bool allSame = true, allSameAsOtherSeed = true;
    for (std::uint32_t addr = 0; addr < 65536; ++addr) {
        allSame = allSame && a.peek(addr) == b.peek(addr);
        allSameAsOtherSeed = allSameAsOtherSeed && a.peek(addr) == c.peek(addr);
    }
    EXPECT_TRUE(allSame);
    EXPECT_FALSE(allSameAsOtherSeed);
}

TEST(Line, CansAreCountedPerShiftAndPocket)
{
    Engine e(runningOptions(3));
    const std::uint16_t speed = e.peekWord(556);
    EXPECT_GE(speed, 1100);
    EXPECT_LE(speed, 1300);
    EXPECT_GT(e.peekWord(184), 0);           // resolver period
    e.advanceMs(10 * 60 * 1000);             // ten minutes
    const std::uint32_t good = e.peekDecimal(1100);
    const std::uint32_t leakers = e.peekDecimal(1104);
    const std::uint32_t vision = e.peekDecimal(1108);
    EXPECT_GT(good, 5000u);
    EXPECT_GT(leakers + vision, 0u);
    std::uint32_t pockets = 0, running = 0;
    for (std::uint32_t p = 0; p < 16; ++p) {
        pockets += e.peekWord(1116 + 2 * p);
        running += e.peekWord(1020 + 2 * p);
    }
    EXPECT_EQ(pockets, leakers + vision);
    EXPECT_EQ(running, leakers + vision);
    EXPECT_LT(e.peekWord(180), 256);
    EXPECT_GE(e.peek(82), 6);
    EXPECT_LE(e.peek(1013), e.peek(650));
    EXPECT_LE(e.peek(650), e.peek(1012));
    // the DF1 module talks while its driver is on
    EXPECT_GT(e.peekWord(4016), 0);
}

TEST(Line, StillLineHoldsWhatIsSetButTheClockRuns)
{
    Engine e(simtest::stillOptions());
    e.pokeWord(100, 1025);
    e.poke(170, 5);
    const std::uint16_t pos = e.peekWord(180);
    e.advanceMs(5000);
    EXPECT_EQ(e.peekWord(100), 1025);
    EXPECT_EQ(e.peek(170), 5);
    EXPECT_EQ(e.peekWord(180), pos);
    EXPECT_EQ(e.peekDecimal(1100), 0u);

    std::time_t t = 1764979200;
    std::tm tm{};
    localtime_r(&t, &tm);
    const int sec = (tm.tm_sec + 5) % 60;
    EXPECT_EQ(e.peek(43008), sec);
}

TEST(Line, ClockCarriesIntoTheNextYear)
{
    Engine e(simtest::stillOptions());
    e.set("B43017=26");
    e.set("B43016=12");
    e.set("B43015=31");
    e.set("B43012=23");
    e.set("B43010=59");
    e.set("B43008=59");
    e.advanceMs(1000);
    EXPECT_EQ(e.peek(43008), 0);
    EXPECT_EQ(e.peek(43010), 0);
    EXPECT_EQ(e.peek(43012), 0);
    EXPECT_EQ(e.peek(43015), 1);
    EXPECT_EQ(e.peek(43016), 1);
    EXPECT_EQ(e.peek(43017), 27);
}

TEST(Commands, AlarmResetClearsFlagsAndRestartsTheLine)
{
    Engine e(runningOptions(5));
    e.raiseAlarm(3);
    EXPECT_TRUE(e.flag(54));
    EXPECT_EQ(e.peek(2072), 3);
    e.advanceMs(10000);
    EXPECT_EQ(e.peekWord(556), 0);           // a stopping alarm stops the machine
    const std::uint32_t stoppedGood = e.peekDecimal(1100);
    e.advanceMs(2000);
    EXPECT_EQ(e.peekDecimal(1100), stoppedGood);

    // the program sets F50 through a write of its byte
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    const std::uint8_t byte38 = e.peek(38);
    ASSERT_TRUE(simtest::writeBytes(e, 38, {static_cast<std::uint8_t>(byte38 | 0x04)}));
    EXPECT_FALSE(e.flag(54));
    EXPECT_FALSE(e.flag(50));                // the board clears the command when done
    EXPECT_EQ(e.peek(2072), 0);
    e.advanceMs(10000);
    EXPECT_GT(e.peekWord(556), 1000);

    e.raiseAlarm(12);                        // a warning: the machine keeps running
    EXPECT_TRUE(e.flag(60));
    EXPECT_FALSE(e.flag(54));
    e.setFlag(50, true);
    EXPECT_FALSE(e.flag(60));

    e.raiseAlarm(2);                         // array fault names the head
    EXPECT_TRUE(e.flag(70));
    EXPECT_GE(e.peek(599), 1);
    e.setFlag(50, true);
    EXPECT_FALSE(e.flag(70));
}

TEST(Commands, EndOfShiftAndResetRejects)
{
    Engine e(simtest::stillOptions());
    e.pokeDecimal(1100, 123456);
    e.pokeDecimal(1104, 77);
    e.pokeDecimal(1108, 12);
    e.pokeWord(1116 + 2 * 4, 9);
    e.pokeWord(1020 + 2 * 4, 30);
    e.pokeDecimal(1200, 5);

    e.setFlag(87, true);
    EXPECT_EQ(e.peekDecimal(1200), 123456u);
    EXPECT_EQ(e.peekDecimal(1204), 77u);
    EXPECT_EQ(e.peekDecimal(1208), 12u);
    EXPECT_EQ(e.peekWord(1216 + 2 * 4), 9);
    EXPECT_EQ(e.peekDecimal(1100), 0u);
    EXPECT_EQ(e.peekDecimal(1104), 0u);
    EXPECT_EQ(e.peekWord(1116 + 2 * 4), 0);
    EXPECT_EQ(e.peekWord(1020 + 2 * 4), 30);   // running counts are kept
    // held down: nothing more happens until released and pressed again
    e.pokeDecimal(1100, 50);
    e.setFlag(87, true);
    EXPECT_EQ(e.peekDecimal(1100), 50u);
    e.setFlag(87, false);
    e.setFlag(87, true);
    EXPECT_EQ(e.peekDecimal(1200), 50u);

    e.setFlag(825, true);
    EXPECT_EQ(e.peekWord(1020 + 2 * 4), 0);
    EXPECT_EQ(e.peekWord(1216 + 2 * 4), 0);
}

TEST(Commands, ZeroResolverTestBlowoffAndFifoCalibration)
{
    Engine e(runningOptions(9));
    e.advanceMs(1234);
    e.setFlag(840, true);
    EXPECT_EQ(e.peekWord(180), 0);
    EXPECT_FALSE(e.flag(840));

    e.setFlag(805, true);
    EXPECT_EQ(e.testBlowoffs(), 1u);
    EXPECT_FALSE(e.flag(805));
    e.advanceMs(1);
    EXPECT_TRUE(e.peek(110) & 1);            // blow-off solenoid output on

    e.advanceMs(60000);
    e.poke(655, 4);
    e.setFlag(831, true);
    EXPECT_FALSE(e.flag(831));
    EXPECT_EQ(e.peek(655), 0);
    EXPECT_EQ(e.peek(1012), 0);
    e.advanceMs(1000);
    EXPECT_GT(e.peek(1012), 0);              // statistics start again
}

TEST(Line, TimingChannelsAndSlotsFollowTheMachine)
{
    Engine e(runningOptions(11));
    bool ch0On = false, ch0Off = false, prx = false, running = true;
    for (int i = 0; i < 200; ++i) {
        e.advanceMs(1);
        const std::uint32_t deg = e.peekWord(180) * 360u / 256u;
        const bool on = e.peek(170) & 1;
        EXPECT_EQ(on, (deg + 360 - 180) % 360 < 90) << deg;
        ch0On = ch0On || on;
        ch0Off = ch0Off || !on;
        prx = prx || (e.peek(100) & 1);
        running = running && e.flag(16);
    }
    EXPECT_TRUE(ch0On && ch0Off);
    EXPECT_TRUE(prx);
    EXPECT_TRUE(running);
}

} // namespace

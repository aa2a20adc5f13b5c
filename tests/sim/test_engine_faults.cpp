// Fault injection: the grammar and what each fault does on the wire.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace boardsim;
using simtest::Bytes;

namespace {

TEST(FaultGrammar, ParsesEveryFormAndRefusesTheRest)
{
    struct Case {
        const char *text;
        FaultSpec::Kind kind;
        std::uint64_t a, b;
    };
    const Case good[] = {{"silence", FaultSpec::Silence, 0, 0},
                         {"silence-after=12", FaultSpec::Silence, 12, 0},
                         {"lose=5", FaultSpec::Lose, 5, 1},
                         {"lose=5,3", FaultSpec::Lose, 5, 3},
                         {"Bad-Echo=1014", FaultSpec::BadEcho, 1014, 0},
                         {"bad-echo=0x3F6,1", FaultSpec::BadEcho, 1014, 1},
                         {"bad-hi-echo=3", FaultSpec::BadHighEcho, 3, 0},
                         {"bad-checksum=2", FaultSpec::BadChecksum, 2, 0},
                         {"noise=10", FaultSpec::Noise, 10, 0},
                         {"garble=10", FaultSpec::Garble, 10, 0},
                         {"pull-after=100", FaultSpec::Pull, 100, 0},
                         {" slow=250 ", FaultSpec::Slow, 250, 0},
                         {"pls-busy=3", FaultSpec::PlsBusy, 3, 0}};
    for (const Case &c : good) {
        SCOPED_TRACE(c.text);
        FaultSpec s;
        std::string err;
        ASSERT_TRUE(parseFault(c.text, &s, &err)) << err;
        EXPECT_EQ(std::tie(s.kind, s.a, s.b), std::tie(c.kind, c.a, c.b));
    }
    for (const char *bad : {"", "loud", "silence=", "silence=3", "silence-after", "silence-after=x", "lose=0",
                            "lose=1,0", "lose=1,2,3", "bad-echo=70000", "bad-hi-echo=255", "bad-checksum=0", "noise=0",
                            "garble=-1", "slow=1000000", "pull-after=1e3", "noise=99999999999999999999"}) {
        FaultSpec s;
        std::string err;
        EXPECT_TRUE(!parseFault(bad, &s, &err) && !err.empty()) << bad;
    }
    Engine e(simtest::stillOptions());
    std::string err;
    EXPECT_FALSE(e.addFault("wobble=3", &err));
    EXPECT_NE(err.find("silence-after=N"), std::string::npos);   // lists what is known
    ASSERT_TRUE(e.addFault("slow=250"));
    EXPECT_EQ(e.answerDelayMs(), 250u);
    e.clearFaults();
    EXPECT_EQ(e.answerDelayMs(), 0u);
}

constexpr int kAny = 1000;
constexpr int notB(int v) { return -1 - v; }   // any answer but v

// Faults on the answers: the board stores what it hears, so its state and
// memory match a healthy board fed the same bytes.
TEST(Faults, AnswerFaultsOnTheWire)
{
    const Bytes records{0xFF, 0x02, 0x1F, 0xF5, 86,   0xFF, 0x03,   // load request, record mode, three records
                        3,    0,    0x30, 2,    0x33, 0x7A, 3,    0, 0x30, 2, 0x33, 0x7A, 3, 0, 0x30, 2, 0x33, 0x7A};
    struct Case {
        const char *fault;
        Bytes in;
        std::vector<int> out;
    };
    const Case cases[] = {
        {"silence", {0xFF, 0x01, 0x03, 0xF6}, {}},
        {"silence-after=2", {0xFF, 0x01, 0x03, 0xF6}, {0x55, 0x55}},
        {"lose=3,2", {0xFF, 0x01, 0x03, 0xFF, 0xFF, 0x01}, {0x55, 0x55, 0x55, 0x55}},
        {"bad-echo=1014,1",
         {0xFF, 0x02, 0x03, 0xF6, 220, 0x03, 0xF6, 220, 0x03, 0xF7, 0},
         {0x55, 0x55, 0x03, 0xF6, notB(220), 0x03, 0xF6, 220, 0x03, 0xF7, 0}},
        {"bad-echo=1014",
         {0xFF, 0x02, 0x03, 0xF6, 1, 0x03, 0xF6, 1},
         {0x55, 0x55, 0x03, 0xF6, notB(1), 0x03, 0xF6, notB(1)}},
        {"bad-hi-echo=3", {0xFF, 0x01, 0x03, 0xF6, 0x02, 0x00}, {0x55, 0x55, notB(0x03), 215, 0x02, 0}},
        {"bad-checksum=2", records, {0x55, 0x55, 0x1F, 0xF5, 86, 0x55, 0x55, 0xE2, notB(0xE2), 0xE2}},
        {"noise=2", {0xFF, 0xFF, 0x01}, {0x55, kAny, 0x55, 0x55}},
        {"garble=2", {0xFF, 0xFF, 0x01}, {0x55, notB(0x55), 0x55}},
        {"pull-after=3", {0xFF, 0x01, 0x03, 0xF6}, {0x55, 0x55, 0x03}},   // the third byte is still answered
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        Options o = simtest::stillOptions();
        Engine healthy(o);
        o.faults = {c.fault};
        Engine e(o);
        const Bytes out = e.feed(c.in);
        healthy.feed(c.in);
        ASSERT_EQ(out.size(), c.out.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_TRUE(c.out[i] == kAny || (c.out[i] < 0 ? out[i] != notB(c.out[i]) : out[i] == c.out[i]))
                << "answer " << i << " is " << int(out[i]);
        EXPECT_EQ(e.stats().bytesOut, out.size());
        EXPECT_EQ(e.state(), healthy.state());
        EXPECT_TRUE(simtest::sameMemory(e, healthy));
    }
}

}   // namespace

// Which answers garble and noise changed, and whether each was the data of a
// read: what a PC cannot check, since reads carry no checksum.
TEST(Faults, ChangedAnswersAreRecorded)
{
    const Bytes readW{0xFF, 0x01, 0x03, 0xF6, 0x03, 0xF7};   // answers: 55 55 03 215 03 0
    struct Case {
        const char *fault;
        std::vector<AnswerFault> expected;
    };
    const Case cases[] = {
        {"garble=4", {{4, false, 215, 0, true, 1014}}},
        {"garble=3", {{3, false, 0x03, 0, false, 0}, {6, false, 0, 0, true, 1015}}},
        {"noise=6", {{6, true, 0, 0, true, 1015}}},
        {"noise=5", {{5, true, 0x03, 0, false, 0}}},
        {"lose=4", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        Options o = simtest::stillOptions();
        o.faults = {c.fault};
        Engine e(o);
        e.feed(readW);
        const auto &got = e.answerFaults();
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            const AnswerFault &x = c.expected[i];
            EXPECT_EQ(std::tie(got[i].byte, got[i].noise, got[i].meant, got[i].readData, got[i].address),
                      std::tie(x.byte, x.noise, x.meant, x.readData, x.address));
            if (!got[i].noise) {
                EXPECT_NE(got[i].stray, got[i].meant);   // a garbled answer really changed
            }
        }
    }
}

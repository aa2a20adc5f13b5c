// Fault injection: the grammar and what each fault does on the wire.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace boardsim;
using simtest::Bytes;

namespace {

Engine withFault(const std::string &spec)
{
    Options o = simtest::stillOptions();
    o.faults = {spec};
    return Engine(o);
}

TEST(FaultGrammar, AcceptsEveryDocumentedForm)
{
    FaultSpec s;
    std::string err;
    ASSERT_TRUE(parseFault("silence", &s, &err));
    EXPECT_EQ(s.kind, FaultSpec::Silence);
    EXPECT_EQ(s.a, 0u);
    ASSERT_TRUE(parseFault("silence-after=12", &s, &err));
    EXPECT_EQ(s.a, 12u);
    ASSERT_TRUE(parseFault("lose=5", &s, &err));
    EXPECT_EQ(s.b, 1u);
    ASSERT_TRUE(parseFault("lose=5,3", &s, &err));
    EXPECT_EQ(s.b, 3u);
    ASSERT_TRUE(parseFault("Bad-Echo=1014", &s, &err));
    EXPECT_EQ(s.kind, FaultSpec::BadEcho);
    ASSERT_TRUE(parseFault("bad-echo=0x3F6,1", &s, &err));
    EXPECT_EQ(s.a, 1014u);
    EXPECT_TRUE(parseFault("bad-hi-echo=3", &s, &err));
    EXPECT_TRUE(parseFault("bad-checksum=2", &s, &err));
    EXPECT_TRUE(parseFault("noise=10", &s, &err));
    EXPECT_TRUE(parseFault("garble=10", &s, &err));
    EXPECT_TRUE(parseFault("pull-after=100", &s, &err));
    EXPECT_TRUE(parseFault(" slow=250 ", &s, &err));
    EXPECT_TRUE(parseFault("pls-busy=3", &s, &err));
}

TEST(FaultGrammar, RefusesMalformedSpecsWithAMessage)
{
    for (const char *bad : {"", "loud", "silence=", "silence=3", "silence-after", "silence-after=x",
                            "lose=0", "lose=1,0", "lose=1,2,3", "bad-echo=70000", "bad-hi-echo=255",
                            "bad-checksum=0", "noise=0", "garble=-1", "slow=1000000", "pull-after=1e3",
                            "noise=99999999999999999999"}) {
        FaultSpec s;
        std::string err;
        EXPECT_FALSE(parseFault(bad, &s, &err)) << bad;
        EXPECT_FALSE(err.empty()) << bad;
    }
    Engine e(simtest::stillOptions());
    std::string err;
    EXPECT_FALSE(e.addFault("wobble=3", &err));
    EXPECT_NE(err.find("silence-after=N"), std::string::npos);   // lists what is known
}

TEST(Faults, SilenceFromTheStartAndAfterNBytes)
{
    Engine quiet = withFault("silence");
    EXPECT_TRUE(quiet.feed(0xFF).empty());
    EXPECT_TRUE(quiet.feed(0x01).empty());
    EXPECT_EQ(quiet.state(), State::Read);   // it still listens

    Engine later = withFault("silence-after=2");
    EXPECT_EQ(later.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(later.feed(0x01), Bytes{0x55});
    EXPECT_TRUE(later.feed(0x03).empty());
    EXPECT_TRUE(later.feed(0xF6).empty());
}

TEST(Faults, LostAnswersThenTheResyncWorks)
{
    Engine e = withFault("lose=3,2");
    ASSERT_TRUE(simtest::enterMode(e, 0x01));
    EXPECT_TRUE(e.feed(0x03).empty());
    e.advanceMs(1000);                       // the PC waits, then re-sends 0xFF
    EXPECT_TRUE(e.feed(0xFF).empty());
    e.advanceMs(2000);
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.feed(0x01), Bytes{0x55});
}

TEST(Faults, WrongEchoOnAWriteStoresButEchoesWrong)
{
    Engine e = withFault("bad-echo=1014,1");
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    EXPECT_FALSE(simtest::writeBytes(e, 1014, {220}));
    EXPECT_EQ(e.peek(1014), 220);
    // only once: the repeated write is echoed right
    EXPECT_TRUE(simtest::writeBytes(e, 1014, {220}));
    EXPECT_TRUE(simtest::writeBytes(e, 1015, {0}));

    Engine always = withFault("bad-echo=1014");
    ASSERT_TRUE(simtest::enterMode(always, 0x02));
    EXPECT_FALSE(simtest::writeBytes(always, 1014, {1}));
    EXPECT_FALSE(simtest::writeBytes(always, 1014, {1}));
}

TEST(Faults, WrongHighByteEchoBreaksReads)
{
    Engine e = withFault("bad-hi-echo=3");
    ASSERT_TRUE(simtest::enterMode(e, 0x01));
    EXPECT_NE(e.feed(0x03), Bytes{0x03});
    e.feed(0xF6);
    EXPECT_EQ(simtest::readBytes(e, 999, 1), Bytes{});
    e.feed(0xE7);
    EXPECT_EQ(simtest::readBytes(e, 0x0200, 1).size(), 1u);
}

TEST(Faults, WrongChecksumForOneRecord)
{
    Engine e = withFault("bad-checksum=2");
    e.poke(8181, 86);
    ASSERT_TRUE(simtest::enterMode(e, 0x03));
    EXPECT_EQ(e.feed(Bytes{0x03, 0x00, 0x30, 0x02, 0x33, 0x7A}), Bytes{0xE2});
    EXPECT_EQ(e.feed(Bytes{0x03, 0x00, 0x30, 0x02, 0x33, 0x7A}), Bytes{0xE3});
    EXPECT_EQ(e.feed(Bytes{0x03, 0x00, 0x30, 0x02, 0x33, 0x7A}), Bytes{0xE2});
}

TEST(Faults, NoiseAddsAStrayByteGarbleReplacesOne)
{
    Engine noisy = withFault("noise=2");
    EXPECT_EQ(noisy.feed(0xFF).size(), 1u);
    const Bytes second = noisy.feed(0xFF);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[1], 0x55);
    EXPECT_EQ(noisy.stats().bytesOut, 3u);

    Engine garbled = withFault("garble=2");
    EXPECT_EQ(garbled.feed(0xFF), Bytes{0x55});
    const Bytes g = garbled.feed(0xFF);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_NE(g[0], 0x55);
}

TEST(Faults, PulledCableAndSlowAnswers)
{
    Engine e = withFault("pull-after=3");
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_FALSE(e.cablePulled());
    e.feed(0x01);
    EXPECT_EQ(e.feed(0x03), Bytes{0x03});   // the third byte is still answered
    EXPECT_TRUE(e.cablePulled());
    EXPECT_TRUE(e.feed(0xF6).empty());
    EXPECT_EQ(e.stats().bytesIn, 3u);

    Engine slow = withFault("slow=250");
    EXPECT_EQ(slow.answerDelayMs(), 250u);
    slow.clearFaults();
    EXPECT_EQ(slow.answerDelayMs(), 0u);
}

} // namespace

// The board's side of the wire, byte by byte.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace boardsim;
using simtest::Bytes;

namespace {

TEST(Handshake, SyncCommandAndResync)
{
    Engine e(simtest::stillOptions());
    EXPECT_EQ(e.state(), State::Idle);
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Command);
    // a repeated 0xFF (re-send after a time-out, probe, sign-off) is answered again
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.feed(0x01), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Read);
    // between reads, 0xFF goes back to waiting for a command
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Command);
    EXPECT_EQ(e.feed(0x02), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Write);
    EXPECT_EQ(e.stats().modeEntries, 2u);
}

TEST(Handshake, UnexpectedBytesAreRefusedWithNak)
{
    Engine e(simtest::stillOptions());
    // before any handshake only 0xFF is taken
    EXPECT_EQ(e.feed(0x01), Bytes{kNak});
    EXPECT_EQ(e.state(), State::Idle);
    // an unknown command byte is refused and the board waits for 0xFF again
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.feed(0x77), Bytes{kNak});
    EXPECT_EQ(e.state(), State::Idle);
    EXPECT_EQ(e.feed(0x02), Bytes{kNak});
    EXPECT_EQ(e.stats().unexpected, 3u);
    EXPECT_TRUE(simtest::enterMode(e, 0x01));
}

TEST(ReadMode, ByteWordAndDecimalValues)
{
    Engine e(simtest::stillOptions());
    e.pokeWord(188, 4660);
    e.pokeDecimal(1100, 123456789);
    ASSERT_TRUE(simtest::enterMode(e, 0x01));
    EXPECT_EQ(simtest::readBytes(e, 999, 1), (Bytes{1}));          // can presence shifts
    EXPECT_EQ(simtest::readBytes(e, 1014, 2), (Bytes{215, 0}));    // can neck size
    EXPECT_EQ(simtest::readBytes(e, 188, 2), (Bytes{0x34, 0x12}));
    // D: low word = value mod 10000, high word = value / 10000
    EXPECT_EQ(simtest::readBytes(e, 1100, 4), (Bytes{0x85, 0x1A, 0x39, 0x30}));
    EXPECT_EQ(e.stats().reads, 9u);
    // the answer to the low byte is the byte stored there, even 0x55 or 0xFF
    e.poke(0x1234, 0xFF);
    e.poke(0x1235, 0x55);
    EXPECT_EQ(simtest::readBytes(e, 0x1234, 2), (Bytes{0xFF, 0x55}));
}

TEST(ReadMode, FfAsLowByteIsAnAddressNotAResync)
{
    Engine e(simtest::stillOptions());
    e.poke(0x03FF, 42);
    ASSERT_TRUE(simtest::enterMode(e, 0x01));
    EXPECT_EQ(e.feed(0x03), Bytes{0x03});
    EXPECT_EQ(e.feed(0xFF), Bytes{42});
    EXPECT_EQ(e.state(), State::Read);
}

TEST(WriteMode, ThreeEchoesPerByteAndTheValueStored)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    EXPECT_TRUE(simtest::writeBytes(e, 1100, {0x85, 0x1A, 0x39, 0x30}));
    EXPECT_EQ(e.peekDecimal(1100), 123456789u);
    // 0xFF as low address byte and as data: plain bytes in the middle of a write
    EXPECT_TRUE(simtest::writeBytes(e, 0x20FF, {0xFF}));
    EXPECT_EQ(e.peek(0x20FF), 0xFF);
    EXPECT_EQ(e.stats().writes, 5u);
    // a write right after re-entering read mode reads back
    ASSERT_TRUE(simtest::enterMode(e, 0x01));
    EXPECT_EQ(simtest::readBytes(e, 0x20FF, 1), (Bytes{0xFF}));
}

TEST(WriteMode, BitWriteOfAFlagByteKeepsTheOtherBits)
{
    Engine e(simtest::stillOptions());
    e.poke(4001, 0xA0);
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    ASSERT_TRUE(simtest::writeBytes(e, 4001, {0xA8}));
    EXPECT_TRUE(e.flag((4001 - 32) * 8 + 3));
    EXPECT_EQ(e.peek(4001), 0xA8);
}

TEST(WriteMode, PartialSequenceIsDroppedAfterHalfASecondOfSilence)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    EXPECT_EQ(e.feed(0x10), Bytes{0x10});
    e.advanceMs(600);
    // after the pause 0xFF is a re-sync, not the low address byte
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Command);
    EXPECT_EQ(e.peek(0x10FF), 0);
}

// Sends one program record as the download does: count, address, data,
// no answers until the checksum.
Bytes sendRecord(Engine &e, std::uint16_t address, const Bytes &data)
{
    Bytes all{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
              static_cast<std::uint8_t>(address & 0xFF)};
    all.insert(all.end(), data.begin(), data.end());
    Bytes answers;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Bytes a = e.feed(all[i]);
        if (i + 1 < all.size() && !a.empty())
            return {0xEE, 0xEE};   // an answer before the record was complete
        answers.insert(answers.end(), a.begin(), a.end());
    }
    return answers;
}

TEST(ProgramRecords, RequestRecordsChecksumsAndExit)
{
    Engine e(simtest::stillOptions());
    // the requests the download makes first
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    ASSERT_TRUE(simtest::writeBytes(e, 8181, {86}));
    e.poke(8176, 9);
    ASSERT_TRUE(simtest::writeBytes(e, 8176, {0}));
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.feed(0x03), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Records);

    EXPECT_EQ(sendRecord(e, 0x0030, {0x02, 0x33, 0x7A}), Bytes{0xE2});
    EXPECT_EQ(sendRecord(e, 0xC0F0, {0xFF, 0xFF, 0x01}), Bytes{static_cast<std::uint8_t>((3 + 0xC0 + 0xF0 + 0xFF + 0xFF + 1) & 0xFF)});
    EXPECT_EQ(e.recordsAccepted(), 2u);
    EXPECT_EQ(e.programImage()[0x30], 0x02);
    EXPECT_EQ(e.programImage()[0x32], 0x7A);
    EXPECT_EQ(e.programImage()[0xC0F1], 0xFF);
    // program records do not touch data memory
    EXPECT_EQ(e.peek(0x30), 0);

    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Command);
    EXPECT_EQ(e.peek(8181), 0);   // the load request has been served
    // the ident written afterwards lands in data memory
    ASSERT_TRUE(simtest::enterMode(e, 0x02));
    ASSERT_TRUE(simtest::writeBytes(e, 61424, {'L', 'I', 'N', 'E', '3', 0, 0, 0, 186, 1}));
    EXPECT_EQ(e.peek(61428), '3');
}

TEST(ProgramRecords, RecordModeIsRefusedWithoutTheLoadRequest)
{
    Engine e(simtest::stillOptions());
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.feed(0x03), Bytes{kNak});
    // the record bytes that follow are refused one by one, so the first
    // answer the PC takes for a checksum is wrong
    const Bytes answers = e.feed(Bytes{0x03, 0x00, 0x30, 0x02, 0x33, 0x7A});
    EXPECT_EQ(answers.size(), 6u);
    EXPECT_NE(answers.front(), 0xE2);
    EXPECT_EQ(e.recordsAccepted(), 0u);
}

// --- PLS

TEST(Pls, ReadWordsAnswerLowThenHigh)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(simtest::enterMode(e, 24));
    EXPECT_EQ(e.feed(0x55), Bytes{360 & 0xFF});
    EXPECT_EQ(e.feed(0x55), Bytes{360 >> 8});
    EXPECT_EQ(e.feed(0x55), Bytes{kNak});   // nothing more to answer
    ASSERT_TRUE(simtest::enterMode(e, 40));
    EXPECT_EQ(e.feed(Bytes{0x55, 0x55}), (Bytes{0, 0}));
    ASSERT_TRUE(simtest::enterMode(e, 72));
    const Bytes pos = e.feed(Bytes{0x55, 0x55});
    EXPECT_EQ(pos[0] | pos[1] << 8, e.plsPosition());
}

// The ready poll after a change: 0x38 -> 0x55, 0x55 -> busy 0x55 or ready 0x00, 0x55 -> any.
int pollUntilReady(Engine &e)
{
    for (int polls = 1; polls < 20; ++polls) {
        if (e.feed(0x38) != Bytes{0x55})
            return -1;
        const Bytes status = e.feed(0x55);
        if (status == Bytes{0x00}) {
            e.feed(0x55);
            return polls;
        }
        if (status != Bytes{0x55})
            return -1;
    }
    return -1;
}

TEST(Pls, SendWordAcknowledgesEachByteThenReadyPoll)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(simtest::enterMode(e, 42));
    EXPECT_EQ(e.feed(Bytes{10, 0}), (Bytes{0x55, 0x55}));
    EXPECT_EQ(e.state(), State::ReadyPoll);
    EXPECT_EQ(pollUntilReady(e), 2);   // busy once by default
    EXPECT_EQ(e.plsOffset(), 10);
    // an offset at or beyond the scale is refused on its high byte
    ASSERT_TRUE(simtest::enterMode(e, 42));
    EXPECT_EQ(e.feed(Bytes{0x68, 0x01}), (Bytes{0x55, kNak}));
    EXPECT_EQ(e.plsOffset(), 10);
    // a new scale
    ASSERT_TRUE(simtest::enterMode(e, 26));
    EXPECT_EQ(e.feed(Bytes{0xE8, 0x03}), (Bytes{0x55, 0x55}));
    EXPECT_EQ(pollUntilReady(e), 2);
    EXPECT_EQ(e.plsScale(), 1000);
}

TEST(Pls, FfIsAValueInsideWordsAndBlocks)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(simtest::enterMode(e, 42));
    EXPECT_EQ(e.feed(Bytes{0xFF, 0x00}), (Bytes{0x55, 0x55}));
    EXPECT_EQ(e.plsOffset(), 255);
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});   // ready poll: back to a command
    EXPECT_EQ(e.state(), State::Command);
    ASSERT_TRUE(simtest::enterMode(e, 59));
    EXPECT_EQ(e.feed(Bytes{0xFF, 0xFF, 1, 2, 3, 4}), Bytes(6, 0x55));
    EXPECT_EQ(e.plsConfig()[1], 0xFF);
}

TEST(Pls, ChannelSetpointPulseTrainAndRecall)
{
    Engine e(simtest::stillOptions());
    ASSERT_TRUE(e.addFault("pls-busy=0"));
    ASSERT_TRUE(simtest::enterMode(e, 27));
    EXPECT_EQ(e.feed(Bytes{1, 100, 0, 0x67, 0x01, 1}), Bytes(6, 0x55));
    EXPECT_EQ(pollUntilReady(e), 1);
    EXPECT_EQ(e.plsChannel(1).first, 100);
    EXPECT_EQ(e.plsChannel(1).second, 359);
    ASSERT_TRUE(simtest::enterMode(e, 43));
    EXPECT_EQ(e.feed(Bytes{2, 0x10, 0x01, 10, 20, 0}), Bytes(6, 0x55));
    EXPECT_EQ(pollUntilReady(e), 1);
    EXPECT_EQ(e.plsChannel(2).second, 20 * 256 + 10);

    ASSERT_TRUE(simtest::enterMode(e, 9));
    EXPECT_EQ(e.feed(1), Bytes{0x55});
    EXPECT_EQ(e.feed(Bytes{0x55, 0x55, 0x55}), (Bytes{1, 100, 0}));
    ASSERT_TRUE(simtest::enterMode(e, 9));
    EXPECT_EQ(e.feed(Bytes{2, 0x55, 0x55, 0x55}), (Bytes{0x55, 0, 0x10, 0x01}));

    // a setpoint beyond the scale and a channel that does not exist are refused
    ASSERT_TRUE(simtest::enterMode(e, 27));
    EXPECT_EQ(e.feed(Bytes{1, 0x68, 0x01}), (Bytes{0x55, 0x55, kNak}));
    ASSERT_TRUE(simtest::enterMode(e, 27));
    EXPECT_EQ(e.feed(200), Bytes{kNak});
    // 0xFF where a channel number belongs is a re-sync
    ASSERT_TRUE(simtest::enterMode(e, 27));
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
    EXPECT_EQ(e.state(), State::Command);
}

TEST(Pls, ConfigBlocksReadBackAsNineteenBytes)
{
    Engine e(simtest::stillOptions());
    const std::uint8_t commands[] = {59, 75, 91, 107};
    for (int g = 0; g < 4; ++g) {
        ASSERT_TRUE(simtest::enterMode(e, commands[g]));
        Bytes block;
        for (int i = 0; i < 6; ++i)
            block.push_back(static_cast<std::uint8_t>(g * 6 + i + 1));
        EXPECT_EQ(e.feed(block), Bytes(6, 0x55));
        EXPECT_GT(pollUntilReady(e), 0);
    }
    ASSERT_TRUE(simtest::enterMode(e, 12));
    Bytes config;
    for (int i = 0; i < 19; ++i) {
        const Bytes b = e.feed(0x55);
        ASSERT_EQ(b.size(), 1u);
        config.push_back(b[0]);
    }
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(config[static_cast<std::size_t>(i)], i + 1);
    EXPECT_EQ(e.feed(0xFF), Bytes{0x55});
}

} // namespace

// The link on a faulty line: a time-out, a stray byte or a wrong echo inside a
// read or write sequence gives the attempt up and starts once more from the
// mode handshake; nothing is ever sent that the board could take for an
// address or data byte nobody named.
#include "LinkFixture.h"

using Button = Dialogs::Button;

class LineFaults : public LinkFixture {
protected:
    void SetUp() override { goOnline(); }
};

TEST_F(LineFaults, WriteTimeOutLetsTheBoardDropTheSequenceBeforeTheRepeat)
{
    // The echo of the low address byte of 1015 never comes. A re-sent 0xFF
    // there would be taken as the data byte; the link stays quiet instead.
    port.mode(0x02).writeByteAt(1014, 220).exchange(1015 / 256, 1015 / 256).silent(1015 % 256);
    const size_t lastOfFirstAttempt = port.sent().size() + 2 + 3 + 2 - 1;
    port.mode(0x02).writeByteAt(1014, 220).writeByteAt(1015, 0);
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("220"));
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
    EXPECT_TRUE(dialogs.boxes().empty());

    const auto &sent = port.sent();
    const auto &at = port.sentAt();
    ASSERT_GT(sent.size(), lastOfFirstAttempt + 1);
    EXPECT_EQ(sent[lastOfFirstAttempt], 1015 % 256);
    EXPECT_EQ(sent[lastOfFirstAttempt + 1], 0xFF);
    // Longer than any answer may be late plus the board's half-second drop.
    EXPECT_GE(at[lastOfFirstAttempt + 1] - at[lastOfFirstAttempt], 2'500'000'000LL);
}

TEST_F(LineFaults, StrayAndSurplusBytesMakeTheAttemptStartOnceMore)
{
    struct Case {
        const char *what;
        std::function<void(ScriptedSerialPort &)> firstAttempt;
    };
    const Case cases[] = {
        {"a stray byte taken for the echo",
         [](ScriptedSerialPort &p) {
             p.mode(0x01).answers(1014 / 256, {0x42, 1014 / 256});
         }},
        {"a stray byte equal to the echo, the real echo waiting before the low byte",
         [](ScriptedSerialPort &p) {
             p.mode(0x01).answers(1014 / 256, {1014 / 256, 1014 / 256}).exchange(1014 % 256, 7);
         }},
        {"an answer too many after the last data byte",
         [](ScriptedSerialPort &p) {
             p.mode(0x01).readByteAt(1014, 215).exchange(1015 / 256, 1015 / 256).answers(1015 % 256, {9, 0});
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        port.exchange(0xFF, 0x55);   // sign-off
        link.CloseRSComm();
        port.exchange(0xFF, 0x55);   // probe
        link.OpenRSComm(&port);
        c.firstAttempt(port);
        port.mode(0x01).readByteAt(1014, 215).readByteAt(1015, 0);
        EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "215");
        EXPECT_TRUE(link.lastAccessOk());
        EXPECT_EQ(port.pendingSteps(), 0);
    }
}

TEST_F(LineFaults, AStrayByteInsideAWriteFinishesThatByteAndRepeatsTheWrite)
{
    // The stale second answer shows up before the low byte: the byte's three
    // exchanges are finished (the board is then at the start of a sequence),
    // the attempt counts as failed and is made once more.
    port.mode(0x02).answers(999 / 256, {999 / 256, 999 / 256}).exchange(999 % 256, 999 % 256).exchange(9, 9);
    port.mode(0x02).writeByteAt(999, 9);
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("9"));
    EXPECT_TRUE(link.lastAccessOk());

    // Both attempts spoiled: reported as failed, and no box.
    port.answers(999 / 256, {999 / 256, 0}).exchange(999 % 256, 999 % 256).exchange(9, 9);
    port.mode(0x02).exchange(999 / 256, 999 / 256).exchange(999 % 256, 999 % 256).exchange(9, 8);
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("9"));
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(LineFaults, AnAnswerThatArrivesWhileTheBoxIsUpIsTaken)
{
    // The operator leaves the box up past the two-second deadline; the board
    // answered meanwhile. That answer is used: no further 0xFF, no second box.
    port.silent(0xFF).silent(0xFF).silent(0xFF).expect(0x01, 0x55);
    port.mode(0x01).readByteAt(999, 3);
    dialogs.expectBox(kCommBoxTitle, Button::Retry, kCommBoxText);
    dialogs.onBox = [this](const ScriptedDialogs::Box &) {
        clock.advanceNs(10'000'000'000LL);
        port.injectInput(0x55);
    };
    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "3");
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

TEST_F(LineFaults, RetryOpensAPortWhoseDeviceCameBack)
{
    // The adapter is unplugged: the port closes under the link. The first
    // Retry finds it still gone; before the second it is back.
    port.loseDevice(true);
    int boxes = 0;
    dialogs.expectBox(kCommBoxTitle, Button::Retry, kCommBoxText);
    dialogs.expectBox(kCommBoxTitle, Button::Retry, kCommBoxText);
    dialogs.onBox = [&](const ScriptedDialogs::Box &) {
        if (++boxes == 2)
            port.deviceBack();
    };
    port.exchange(0xFF, 0x55).exchange(0x01, 0x55);   // the re-sent 0xFF after the reopen
    port.mode(0x01).readByteAt(999, 4);
    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "4");
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.opens(), 2);
    EXPECT_FALSE(link.CommError);
}

TEST(LineFaultsBabble, ALineThatNeverFallsQuietDoesNotHoldTheLinkForever)
{
    // After a time-out inside a write the line babbles without end: the wait
    // for quiet is bounded, the handshake then gives its box, and that ends it.
    struct BabblingPort : ScriptedSerialPort {
        using ScriptedSerialPort::ScriptedSerialPort;
        VirtualClock *clock = nullptr;
        bool babbling = false;
        bool waitForInput(std::int64_t deadlineNs) override
        {
            if (babbling) {
                clock->advanceNs(100'000'000);
                injectInput(0x42);
                return true;
            }
            const bool got = ScriptedSerialPort::waitForInput(deadlineNs);
            babbling = !got;   // from the first time-out on
            return got;
        }
    };
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    VirtualClock clock;
    BabblingPort port(clock);
    port.clock = &clock;
    ScriptedDialogs dialogs;
    RSComm link(dialogs, clock);
    port.exchange(0xFF, 0x55);
    link.OpenRSComm(&port);
    port.mode(0x02).exchange(999 / 256, 999 / 256).silent(999 % 256);
    port.setPeer([](int) { return std::optional<int>(); });
    dialogs.expectBox(kCommBoxTitle, Dialogs::Button::Cancel,
                      QStringLiteral("Cannot Set PLC Mode Within Target Board."));
    const std::int64_t start = clock.monotonicNs();
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("9"));
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_TRUE(link.CommError);
    EXPECT_LT(clock.monotonicNs() - start, 20'000'000'000LL);
    EXPECT_EQ(dialogs.pending(), 0);
}

#include "LinkFixture.h"
#include <QFile>

using Button = Dialogs::Button;

class SerialLink : public LinkFixture {};

TEST_F(SerialLink, OpenProbesWithOneByteAndGoesOnline)
{
    goOnline();
    EXPECT_EQ(port.sent(), (std::vector<int>{0xFF}));
    EXPECT_EQ(port.opens(), 1);
    EXPECT_GE(port.flushes(), 1);   // stale input is dropped after opening
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_EQ(port.settings().toStdString(), "9600,n,8,1");
}

TEST_F(SerialLink, SilentBoardGivesTheBoxAfterFiveSecondsWithTwoResentFF)
{
    port.silent(0xFF).silent(0xFF).silent(0xFF);
    const double start = seconds();
    double boxAt = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) { boxAt = seconds(); };
    dialogs.expectBox(kCommBoxTitle, Button::Cancel, kCommBoxText);
    link.OpenRSComm(&port);
    EXPECT_NEAR(boxAt - start, 5.0, 0.01);
    EXPECT_FALSE(link.OnlineMode);
    EXPECT_TRUE(link.CommError);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(dialogs.boxes()[0].buttons, Dialogs::Buttons::RetryCancel);

    // A dead link sends nothing more: reads answer "0" at once, writes do nothing.
    const size_t before = port.sent().size();
    EXPECT_EQ(link.RSRead(QStringLiteral("W188")).toStdString(), "0");
    link.RSWrite(QStringLiteral("W188"), QStringLiteral("5"));
    EXPECT_EQ(port.sent().size(), before);
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

TEST_F(SerialLink, AHandshakeThatNeededAResentFFIsMadeOnceMore)
{
    goOnline();
    // The first 0xFF gets no answer; the answer to the re-sent one completes the
    // handshake, but after a time-out answers may be late, so the read starts
    // again from a fresh handshake once the line has settled.
    port.silent(0xFF).exchange(0xFF, 0x55).exchange(0x01, 0x55).mode(0x01).readByteAt(999, 7);
    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "7");
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
}

TEST_F(SerialLink, RetryKeepsWaitingAndALateAnswerIsUsed)
{
    goOnline();
    port.silent(0xFF).silent(0xFF).silent(0xFF).exchange(0xFF, 0x55).exchange(0x01, 0x55);
    port.mode(0x01).readByteAt(999, 9);
    dialogs.expectBox(kCommBoxTitle, Button::Retry, kCommBoxText);
    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "9");
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
    EXPECT_EQ(link.currentMode(), 1);
}

TEST_F(SerialLink, HandshakeRepeatsOnAWrongAnswerAndGivesUpAfterTwoSeconds)
{
    goOnline();
    // The board answers rubbish to every 0xFF; after two seconds the operator is asked.
    dialogs.setLenient(true);   // answers the mode box with Cancel
    // Each exchange costs a tenth of a second, so the two-second deadline passes.
    VirtualClock &c = clock;
    port.setPeer([&c](int) {
        c.advanceNs(100'000'000);
        return std::optional<int>(0x00);
    });
    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "0");
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].title.toStdString(), kCommBoxTitle.toStdString());
    EXPECT_EQ(dialogs.boxes()[0].text.toStdString(), "Cannot Set PLC Mode Within Target Board.");
    EXPECT_TRUE(link.CommError);
    EXPECT_FALSE(link.OnlineMode);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialLink, StaleInputIsFlushedBeforeTheHandshake)
{
    goOnline();
    port.injectInput(0x55);   // a stale 'U' must not be taken as the answer
    port.exchange(0xFF, 0x55).exchange(0x01, 0x55).readByteAt(10, 3);
    EXPECT_EQ(link.RSRead(QStringLiteral("B10")).toStdString(), "3");
}

TEST_F(SerialLink, CloseSignsOffAndClosingTwiceIsHarmless)
{
    goOnline();
    port.exchange(0xFF, 0x55);
    link.CloseRSComm();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.OnlineMode);
    const size_t n = port.sent().size();
    link.CloseRSComm();
    EXPECT_EQ(port.sent().size(), n);
    EXPECT_EQ(link.currentMode(), 0);
}

TEST_F(SerialLink, PortThatWillNotOpen)
{
    port.failOpen(16, QStringLiteral("Port /dev/ttyS0 is in use"));
    dialogs.expectBox(QStringLiteral("Comm Port Error"), Button::OK);
    link.OpenRSComm(&port);
    EXPECT_TRUE(link.CommError);
    EXPECT_FALSE(link.OnlineMode);
    EXPECT_TRUE(link.initError());
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text.toStdString(),
              "Error Number = 16\r\nError Source = SerialPort\r\n\r\nPort /dev/ttyS0 is in use");
    EXPECT_TRUE(port.sent().empty());
}

TEST_F(SerialLink, AccessWhileBusyIsRefusedWithoutTraffic)
{
    // A box raised inside an exchange lets a timer run; its read must not reach the line.
    goOnline();
    QString nested;
    bool refused = false;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) {
        nested = link.RSRead(QStringLiteral("W188"));
        refused = link.lastAccessRefused();
    };
    dialogs.expectBox(kCommBoxTitle, Button::Cancel, kCommBoxText);
    port.silent(0xFF).silent(0xFF).silent(0xFF);
    const size_t before = port.sent().size();
    link.RSRead(QStringLiteral("B1"));
    EXPECT_TRUE(refused);
    EXPECT_EQ(nested.toStdString(), "0");
    EXPECT_EQ(port.sent().size(), before + 3);
    EXPECT_FALSE(link.isBusy());
}

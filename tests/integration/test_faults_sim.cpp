#include "SimFixture.h"

using Button = Dialogs::Button;

class FaultsOnSim : public SimFixture {};

TEST_F(FaultsOnSim, SilentBoardEndsInCommErrorAfterTheBox)
{
    goOnline();
    ASSERT_TRUE(board->addFault("silence"));
    dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), Button::Cancel);
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "0");
    EXPECT_TRUE(link.CommError);
    // Nothing more goes out on a dead link.
    const auto in = board->stats().bytesIn;
    link.RSRead(QStringLiteral("W1014"));
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("1"));
    EXPECT_EQ(board->stats().bytesIn, in);
}

TEST_F(FaultsOnSim, WrongEchoOnWriteGivesExactlyOneRepeat)
{
    goOnline();
    ASSERT_TRUE(board->addFault("bad-echo=1014"));
    const auto before = board->stats().writes;
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("220"));
    // The wrong echo ends the attempt after the first byte; the repeat does the same and is the last.
    EXPECT_EQ(board->stats().writes - before, 2u);
    EXPECT_FALSE(link.CommError);
    EXPECT_EQ(dialogs.boxes().size(), 0u);
    board->clearFaults();
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "220");
}

TEST_F(FaultsOnSim, WrongEchoOnceIsMendedByTheRepeat)
{
    goOnline();
    ASSERT_TRUE(board->addFault("bad-echo=999,1"));
    board->poke(999, 0);
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("9"));
    EXPECT_EQ(board->peek(999), 9);
    EXPECT_EQ(link.currentMode(), 2);   // the repeat went through cleanly
}

TEST_F(FaultsOnSim, PulledCableGivesOneBoxAndNoSpin)
{
    goOnline();
    ASSERT_TRUE(board->addFault("pull-after=6"));
    dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), Button::Cancel);
    for (int i = 0; i < 10 && !link.CommError; ++i)
        link.RSRead(QStringLiteral("W1014"));
    EXPECT_TRUE(link.CommError);
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

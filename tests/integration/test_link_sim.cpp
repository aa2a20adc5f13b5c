#include "SimFixture.h"

using Button = Dialogs::Button;

class LinkOnSim : public SimFixture {};

TEST_F(LinkOnSim, EveryTypeWrittenAndReadBack)
{
    goOnline();
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("3"));
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("65535"));
    link.RSWrite(QStringLiteral("D1100"), QStringLiteral("123456789"));
    link.RSWrite(QStringLiteral("1F40H"), QStringLiteral("255"));
    link.RSWrite(QStringLiteral("W65000"), QStringLiteral("65280"));   // address and data bytes of 0xFF
    ASSERT_FALSE(link.CommError);
    EXPECT_EQ(board->peek(999), 3);
    EXPECT_EQ(board->peekWord(1014), 65535);
    EXPECT_EQ(board->peekDecimal(1100), 123456789u);
    EXPECT_EQ(board->peek(8000), 255);
    EXPECT_EQ(board->peekWord(65000), 65280);

    EXPECT_EQ(link.RSRead(QStringLiteral("B999")).toStdString(), "3");
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "65535");
    EXPECT_EQ(link.RSRead(QStringLiteral("D1100")).toStdString(), "123456789");
    EXPECT_EQ(link.RSRead(QStringLiteral("1F40H")).toStdString(), "255");
    EXPECT_EQ(link.RSRead(QStringLiteral("W65000")).toStdString(), "65280");
    EXPECT_FALSE(link.CommError);
}

TEST_F(LinkOnSim, BoardValuesReadAsTheBoardHoldsThem)
{
    board->pokeWord(188, 4660);
    board->pokeDecimal(1200, 655359999);
    board->poke(4050, 7);
    goOnline();
    EXPECT_EQ(link.RSRead(QStringLiteral("W188")).toStdString(), "4660");
    EXPECT_EQ(link.RSRead(QStringLiteral("D1200")).toStdString(), "655359999");
    EXPECT_EQ(link.RSRead(QStringLiteral("B4050")).toStdString(), "7");
    // The parameter table's defaults are there from power-up.
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "215");
    EXPECT_EQ(link.RSRead(QStringLiteral("B998")).toStdString(), "11");
}

TEST_F(LinkOnSim, BitWritesKeepTheOtherBits)
{
    board->poke(4001, 0xA5);
    goOnline();
    link.RSWrite(QStringLiteral("B4001.3"), QStringLiteral("1"));
    EXPECT_EQ(board->peek(4001), 0xAD);
    link.RSWrite(QStringLiteral("B4001.0"), QStringLiteral("0"));
    EXPECT_EQ(board->peek(4001), 0xAC);
    EXPECT_EQ(link.RSRead(QStringLiteral("B4001.2")).toStdString(), "1");
    EXPECT_EQ(link.RSRead(QStringLiteral("B4001.1")).toStdString(), "0");
}

TEST_F(LinkOnSim, ModeIsEnteredOnlyWhenTheDirectionChanges)
{
    goOnline();
    const auto start = board->stats().modeEntries;
    for (int i = 0; i < 5; ++i)
        link.RSRead(QStringLiteral("W1014"));
    EXPECT_EQ(board->stats().modeEntries - start, 1u);
    for (int i = 0; i < 3; ++i)
        link.RSWrite(QStringLiteral("B999"), QString::number(i));
    EXPECT_EQ(board->stats().modeEntries - start, 2u);
    link.RSRead(QStringLiteral("B999"));
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("1"));
    link.RSRead(QStringLiteral("B999"));
    EXPECT_EQ(board->stats().modeEntries - start, 5u);
}

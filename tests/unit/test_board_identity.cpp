// Board names, MarkHEX digits, the text items of the program's text files
// and the fault lines made from them.
#include "AppFolder.h"
#include "BoardIdentity.h"
#include "Clock.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "RSComm.h"
#include "TextItems.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(BoardIdentity, NamesAndConfigurationIndexByTypeCode)
{
    const std::tuple<int, const char *, const char *> cases[] = {
        {49, "K2705", "1"},      {54, "K2713", "D"},     {57, "Not Defined", ""},       {65, "V5435", "E"},
        {68, "T6850(PLC)", "G"}, {69, "T6850(PLS)", ""}, {70, "F Is Not Defined.", ""}, {48, "0 Is Not Defined.", ""},
    };
    for (const auto &[code, name, lcf] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(BoardIdentity::targetboardName(code), QString::fromLatin1(name));
        EXPECT_EQ(BoardIdentity::lcfBoardIndex(code), QString::fromLatin1(lcf));
    }
    // No code, however wild, breaks the name.
    EXPECT_TRUE(BoardIdentity::targetboardName(-1).endsWith(QStringLiteral(" Is Not Defined.")));
    EXPECT_TRUE(BoardIdentity::targetboardName(0x7FFFFFFF).endsWith(QStringLiteral(" Is Not Defined.")));
}

TEST(BoardIdentity, MarkHexDigitsBothWays)
{
    EXPECT_EQ(BoardIdentity::markHexToHex(QStringLiteral(":?09;<=>")), QStringLiteral("AF09BCDE"));
    EXPECT_EQ(BoardIdentity::hexToMarkHex(QStringLiteral("AF09BCDE")), QStringLiteral(":?09;<=>"));
    EXPECT_EQ(BoardIdentity::hexToMarkHex(QStringLiteral("af")), QStringLiteral("af"));   // lower case stays
    EXPECT_EQ(BoardIdentity::codeText(10), QStringLiteral("0A"));
    EXPECT_EQ(BoardIdentity::codeText(300), QStringLiteral("12C"));
}

TEST(TextItemsTest, ItemsAsTheTextFilesHoldThem)
{
    const std::pair<const char *, QStringList> cases[] = {
        {"0A,Low air pressure\r\n0B,\"Reject, jammed\"\r\n", {"0A", "Low air pressure", "0B", "Reject, jammed"}},
        {"  1 , 9600 \n", {"1", "9600"}},
        {"\n\n0C,text\n", {"0C", "text"}},
        {"a,,b", {"a", "", "b"}},
        {"\"open quote", {"open quote"}},
        {"", {}},
    };
    for (const auto &[text, items] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(TextItems::split(QString::fromLatin1(text)), items);
    }
    EXPECT_EQ(TextItems::first(QStringLiteral("\"PROG1:?0;\",x")), QStringLiteral("PROG1:?0;"));
}

TEST(BoardIdentity, FaultLinesFromTheFaultFile)
{
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    ScriptedDialogs dialogs;
    VirtualClock clock;
    RSComm link(dialogs, clock);
    EXPECT_EQ(link.FaultDescription(10), QStringLiteral("Fault Code (0AH): --- Fault File Not Found ---"));

    WriteBytes(dir.path() + QStringLiteral("/Support/FaultErrCodes.txt"),
               "05,Resolver lost\r\n0a,\"Air low, check regulator\"\r\n0A,second\r\n12C,Wide code\r\n");
    EXPECT_EQ(link.FaultDescription(10), QStringLiteral("Fault Code (0AH): Air low, check regulator"));   // the first record
    EXPECT_EQ(link.FaultDescription(300), QStringLiteral("Fault Code (12CH): Wide code"));
    EXPECT_EQ(link.FaultDescription(7), QStringLiteral("Fault Code (07H): "));
    EXPECT_TRUE(dialogs.boxes().empty());
    // Offline the firmware revision is not read.
    EXPECT_EQ(link.FirmwareRev(), -1);
}

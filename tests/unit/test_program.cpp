// The program file set readers and the download and upload on the wire,
// against the scripted port.
#include "LinkFixture.h"
#include "ProgramFiles.h"
#include "TestFiles.h"
#include "boardsim/Engine.h"
#include <QDir>

using Button = Dialogs::Button;
namespace PF = ProgramFiles;

namespace {
// A configuration line with the digits 2, 7 and 1: B8190 5, B8189 7, B8188 5.
QByteArray configLine()
{
    QByteArray line(44, '0');
    line[35] = '2';
    line[38] = '7';
    line[39] = '1';
    return line;
}
}   // namespace

TEST(ProgramFiles, RevisionFields)
{
    struct Case {
        const char *text;
        std::optional<std::array<int, 2>> checksumRevision;
        const char *ident;
    };
    const Case cases[] = {
        {"T6850LT;:01\r\n", std::array<int, 2>{186, 1}, "T6850LT"},
        {"AB01:?", std::array<int, 2>{1, 175}, "AB"},
        {"01ba", std::array<int, 2>{1, 186}, ""},   // plain hexadecimal digits read too
        {"ABC", std::nullopt, ""},                  // shorter than its four digits
        {"AB01G0", std::nullopt, ""},               // not a digit
        {"", std::nullopt, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const auto r = PF::parseRevision(QByteArray(c.text));
        ASSERT_EQ(r.has_value(), c.checksumRevision.has_value());
        if (!r)
            continue;
        EXPECT_EQ(r->ident, QString::fromLatin1(c.ident));
        EXPECT_EQ(r->checksum, (*c.checksumRevision)[0]);
        EXPECT_EQ(r->revision, (*c.checksumRevision)[1]);
    }
}

TEST(ProgramFiles, ConfigurationDigitsAndTheirBoardValues)
{
    QByteArray line = configLine();
    const auto c = PF::parseConfig(line);
    ASSERT_TRUE(c);
    EXPECT_EQ(PF::configB8190(*c), 5);
    EXPECT_EQ(PF::configB8189(*c), 7);
    EXPECT_EQ(PF::configB8188(*c), 5);
    EXPECT_FALSE(PF::parseConfig(line.left(39)));
    line[38] = 'x';
    EXPECT_FALSE(PF::parseConfig(line));
    // Read back from the board: 12 and 20 are the defaults 3 and 3.
    const PF::Config back = PF::configFromBoard(12, 4, 20);
    EXPECT_EQ(PF::configFile(58, back), QByteArray("@") + QByteArray(34, '0') + "3" + "00" + "4" + "3" + "000%\r\n");
    EXPECT_EQ(PF::parseConfig(PF::configFile(58, back))->digit2, 4);
}

TEST(ProgramFiles, HexLines)
{
    struct Case {
        const char *line;
        bool ok;
        int count, address, type;
    };
    const Case cases[] = {
        {":0300300002337A1E", true, 3, 0x30, 0},   // with its record checksum
        {":0300300002337A", true, 3, 0x30, 0},     // as an upload writes it, without
        {":00000001FF", true, 0, 0, 1},
        {":0300300002337A1F", false, 0, 0, 0},     // record checksum wrong
        {"0300300002337A", false, 0, 0, 0},        // no colon
        {":030030000233", false, 0, 0, 0},         // count longer than the line
        {":0300300002337", false, 0, 0, 0},        // odd length
        {":03003000023G7A", false, 0, 0, 0},       // not a hexadecimal digit
        {":0300300002337A1E00", false, 0, 0, 0},   // longer than its count
        {":04000003000040", false, 0, 0, 0},       // start address missing bytes
        {":0000000600", false, 0, 0, 0},           // unknown type
        {":", false, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const PF::HexLine h = PF::parseHexLine(QString::fromLatin1(c.line));
        ASSERT_EQ(h.record.has_value(), c.ok) << h.problem.toStdString();
        if (c.ok) {
            EXPECT_EQ(h.record->count, c.count);
            EXPECT_EQ(h.record->address, c.address);
            EXPECT_EQ(h.record->type, c.type);
        }
    }
    // Only the line ends go: a blank line and blanks stay, to be refused as records.
    EXPECT_EQ(PF::hexLines("a\r\n\r\nb\nc\r  \r\n\n\rd"), (QStringList{"a", "", "b", "c", "  ", "", "", "d"}));
}

TEST(ProgramFiles, PlanSendsDataRecordsOnlyAndKeepsInside64K)
{
    // A start address (03) and a linear start (05) are not data; an
    // extended linear address of 0 changes nothing.
    auto plan = PF::planDownload(
        {":020000040000FA", ":0400000300004000B9", ":0340000061626397", ":0400000500004000B7", ":00000001FF"});
    ASSERT_EQ(plan.lines.size(), 5u);
    EXPECT_FALSE(plan.beyondMemory);
    EXPECT_EQ(plan.lines[2].kind, PF::PlannedLine::Send);
    EXPECT_EQ(plan.lines[2].address, 0x4000);
    EXPECT_EQ(plan.dataBytes, 3);
    for (int i : {0, 1, 3, 4})
        EXPECT_EQ(plan.lines[size_t(i)].kind, PF::PlannedLine::Skip) << i;

    // A segment base moves the data; beyond 64 KiB the file is refused.
    plan = PF::planDownload({":020000020100FB", ":0300300002337A1E"});
    EXPECT_EQ(plan.lines[1].address, 0x1030);
    plan = PF::planDownload({":020000021000EC", ":0300300002337A1E"});
    EXPECT_TRUE(plan.beyondMemory);
    plan = PF::planDownload({":03FFFE0002337A51"});   // runs off the end
    EXPECT_TRUE(plan.beyondMemory);
    plan = PF::planDownload({":02FFFE001234BB"});   // ends on the last byte
    EXPECT_FALSE(plan.beyondMemory);
    EXPECT_EQ(plan.lines[0].address, 0xFFFE);
    // After a line that stops the download, nothing more is looked at.
    plan = PF::planDownload({"garbage", ":020000021000EC", ":0300300002337A1E"});
    EXPECT_FALSE(plan.beyondMemory);
}

// ---- The link on the scripted port ---------------------------------------

class ProgramLink : public LinkFixture {
protected:
    // A program file set in the app folder; returns the main file's path.
    QString makeSet(const QByteArray &tnx, const QByteArray &rev, std::optional<QByteArray> hex,
                    std::optional<QByteArray> lcf = std::nullopt)
    {
        const QString stem = dir.path() + "/PROG.";
        WriteBytes(stem + "tnx", tnx);
        WriteBytes(stem + "rev", rev);
        if (hex)
            WriteBytes(stem + "hex", *hex);
        if (lcf)
            WriteBytes(stem + "lcf", *lcf);
        return stem + "tnx";
    }
    // TNX selected, the link brought online first when ONLINE, the board's ident read and the
    // question answered Yes.
    void confirmDownload(const QString &tnx, const QString &ident, bool online = false,
                         std::optional<QString> text = std::nullopt)
    {
        link.DownloadFile(tnx);
        ASSERT_TRUE(link.ValidProgram());
        if (online)
            goOnline();
        boardIdentRead(boardNow);
        dialogs.expectBox("Program Download - [" + ident + "]", Button::Yes, text);
    }
    // The ten ident bytes the download reads first.
    void boardIdentRead(const QByteArray &ten)
    {
        port.mode(0x01);
        for (int i = 0; i < 10; ++i)
            port.readByteAt(61424 + i, quint8(ten.at(i)));
    }
    void loadRequestAndRecordMode(const std::vector<std::array<int, 2>> &config = {})
    {
        port.mode(0x02).writeByteAt(8181, 86).writeByteAt(8176, 0);
        port.exchange(0xFF, 0x55);
        if (!config.empty()) {
            port.mode(0x02);
            for (auto [a, v] : config)
                port.writeByteAt(a, v);
        }
        port.exchange(0xFF, 0x55).exchange(0x03, 0x55);
    }
    void record(const std::vector<int> &bytes, int answer)
    {
        for (size_t i = 0; i + 1 < bytes.size(); ++i)
            port.silent(bytes[i]);
        port.exchange(bytes.back(), answer);
    }
    void identWrites(const QByteArray &eight, int checksum, int revision)
    {
        port.mode(0x02);
        for (int i = 0; i < 8; ++i)
            port.writeByteAt(61424 + i, quint8(eight.at(i)));
        port.writeByteAt(61432, checksum).writeByteAt(61433, revision);
    }
    const QByteArray boardNow{"OLDPROG\0\x07\x02", 10};
};

TEST_F(ProgramLink, DownloadSendsDataRecordsThenTheIdent)
{
    const QString tnx = makeSet("D", "NEWPROGRAM9;:01\r\n",
                                QByteArray(":0300300002337A1E\r\n:0400000300004000B9\r\n:02004000ABCD46\r\n"
                                           ":00000001FF\r\n"));
    confirmDownload(tnx, "NEWPROGRAM9", true,
                    QStringLiteral("Program to be loaded into module (on disk):\r\n"
                                   "  Program Ident: \t\tNEWPROGRAM9\r\n"
                                   "  Program Revision: \t\t1\r\n"
                                   "  Program Checksum: \t186\r\n"
                                   "  Target Board: \t\tT6850(PLC)\r\n\r\n"
                                   "Program currently loaded in module:\r\n"
                                   "  Program Ident: \t\tOLDPROG\r\n"
                                   "  Program Revision: \t\t2\r\n"
                                   "  Program Checksum: \t7\r\n\r\n"
                                   "Entire program file will be dumped to the PLC.\r\n"
                                   "All outputs are off while program dump occurrs.\r\n\r\n"
                                   "Do You Wish to Continue?\r\n"));
    loadRequestAndRecordMode();
    record({0x03, 0x00, 0x30, 0x02, 0x33, 0x7A}, 0xE2);   // the start address record is not sent
    record({0x02, 0x00, 0x40, 0xAB, 0xCD}, (0x02 + 0x40 + 0xAB + 0xCD) % 256);
    port.exchange(0xFF, 0x55);
    identWrites("NEWPROGR", 186, 1);   // cut to eight characters
    dialogs.expectBox("Program Download", Button::OK, "Program Download Complete!");
    std::vector<QString> seen;
    link.DumpProgram([&] { seen.push_back(link.CurrentProgramAdd); });
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_TRUE(link.OnlineMode);
    EXPECT_FALSE(link.InProgramMode);
    EXPECT_FALSE(link.ValidProgram());   // selected again before the next download
    EXPECT_EQ(seen, (std::vector<QString>{" ", "0030H", "0030H", "0040H"}));
    EXPECT_EQ(link.CurrentProgramAdd, "0040H");
}

TEST_F(ProgramLink, ConfigurationWrittenForItsBoards)
{
    const QString tnx = makeSet(":", "AB0101", QByteArray(":0100000011EE\r\n"), configLine());
    confirmDownload(tnx, "AB", true);
    // The one record, the exit from record mode and the ident writes.
    const auto recordAndIdent = [&] {
        record({0x01, 0x00, 0x00, 0x11}, 0x12);
        port.exchange(0xFF, 0x55);
        identWrites(QByteArray("AB\0\0\0\0\0\0", 8), 1, 1);
    };
    loadRequestAndRecordMode({{8188, 5}, {8189, 7}, {8190, 5}});
    recordAndIdent();
    dialogs.expectBox("Program Download", Button::OK, "Program Download Complete!");
    link.DumpProgram();
    EXPECT_TRUE(link.lastAccessOk());

    // B8189 not confirmed (its echo wrong twice, the link still up): B8190 is
    // written all the same, and the download ends not complete.
    confirmDownload(tnx, "AB");
    port.mode(0x02).writeByteAt(8181, 86).writeByteAt(8176, 0).exchange(0xFF, 0x55);
    port.mode(0x02).writeByteAt(8188, 5);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt)
            port.mode(0x02);
        port.exchange(8189 / 256, 8189 / 256).exchange(8189 % 256, 8189 % 256).exchange(7, 0);
    }
    port.mode(0x02).writeByteAt(8190, 5);
    dialogs.expectBox("Program Config Download", Button::OK, "Could Not Set Program Configuration in PLC!");
    port.exchange(0xFF, 0x55).exchange(0x03, 0x55);
    recordAndIdent();
    dialogs.expectBox("Program Download", Button::OK, "Program Download Not Complete!");
    link.DumpProgram();
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);

    // The first ident byte not confirmed, the link still up: not complete either.
    confirmDownload(tnx, "AB", true);
    loadRequestAndRecordMode({{8188, 5}, {8189, 7}, {8190, 5}});
    record({0x01, 0x00, 0x00, 0x11}, 0x12);
    port.exchange(0xFF, 0x55);
    for (int attempt = 0; attempt < 2; ++attempt)
        port.mode(0x02).exchange(61424 / 256, 61424 / 256).exchange(61424 % 256, 61424 % 256).exchange('A', 0);
    dialogs.expectBox("Program Download", Button::OK, "Could Not Send Program Ident and Revision to PLC!")
        .expectBox("Program Download", Button::OK, "Program Download Not Complete!");
    link.DumpProgram();
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
}

TEST_F(ProgramLink, DownloadStops)
{
    const QString invalid = "Currently Selected Program is Invalid.\r\n\r\nProgram Download Halted!",
                  checksum = "Checksum Error, Program Download Halted!";
    // A line that is not a record, anywhere in the file, refuses the whole
    // file before anything is written to the board.
    const std::pair<const char *, QString> cases[] = {
        {":0100000011EE\r\n0100010022DC\r\n", invalid},                       // no colon
        {":0100000011EE\r\n:01000100\r\n:00000001FF\r\n", invalid},           // cut short
        {":0100000011EE\r\n:0100010023DC\r\n", invalid},                      // a flipped bit
        {":0100000011EE\r\n\r\n:0100010022DC\r\n", invalid},                  // a blank line
        {":0100000011EE\r\n :0100010022DC\r\n", invalid},                     // a blank before a record
        {":0100000011EE\r\n:020000021000EC\r\n:0100000011EE\r\n", invalid},   // beyond 64 KiB
        {":00000001FF\r\n", dir.path() + "/PROG.hex File is Not Valid\r\n\r\nProgram Downloaded Halted"},
        {":0100000011EE\r\n:0100010022DC\r\n", checksum},   // the board's sum for the first record is wrong
    };
    for (const auto &[hex, text] : cases) {
        SCOPED_TRACE(hex);
        const bool sent = text == checksum;
        confirmDownload(makeSet("D", "P0101", hex), "P", true);
        if (sent) {
            loadRequestAndRecordMode();
            record({0x01, 0x00, 0x00, 0x11}, 0x13);
        }
        dialogs.expectBox(text == invalid ? "Program Dump" : "Program Download", Button::OK, text);
        link.DumpProgram();
        EXPECT_FALSE(link.lastAccessOk());
        EXPECT_FALSE(link.InProgramMode);
        // Only a refusal before anything was sent leaves the program online.
        EXPECT_EQ(link.OnlineMode, !sent);
        EXPECT_EQ(port.pendingSteps(), 0);
        port.exchange(0xFF, 0x55);   // the sign-off
        link.CloseRSComm();
    }
}

TEST_F(ProgramLink, NothingSentOfflineOrWhenDeclined)
{
    link.DownloadFile(makeSet("D", "P0101", ":0100000011EE\r\n"));
    dialogs.expectBox("Program Download", Button::OK,
                      "Program is Currently OFFLINE.\r\n\r\nSwitch to ONLINE MODE to Continue.");
    link.DumpProgram();
    EXPECT_TRUE(port.sent().empty());
    goOnline();
    boardIdentRead(boardNow);
    dialogs.expectBox("Program Download - [P]", Button::No);
    link.DumpProgram();
    EXPECT_TRUE(link.OnlineMode);
    EXPECT_TRUE(link.ValidProgram());
    EXPECT_FALSE(link.InProgramMode);
}

TEST_F(ProgramLink, UploadKeepsOnlyConfirmedBytesOfTheRangeThatCrossesTheLine)
{
    // The board itself at the far end of the line, its memory a pattern.
    boardsim::Options still;
    still.lineRunning = false;
    boardsim::Engine board(still);
    for (int a = 0x5000; a <= 0xFFFF; ++a)
        board.poke(std::uint32_t(a), std::uint8_t(a * 31 + 7));
    const int ident[10] = {'A', 'B', 0, 0, 0, 0, 0, 0, 0xBA, 1};
    for (int i = 0; i < 10; ++i)
        board.poke(std::uint32_t(61424 + i), std::uint8_t(ident[i]));
    board.set("B8190=3");
    board.set("B8189=0");
    board.set("B8188=5");
    port.setPeer([&](int b) -> std::optional<int> {
        const auto out = board.feed(std::uint8_t(b));
        return out.empty() ? std::nullopt : std::optional<int>(out.back());
    });
    link.OpenRSComm(&port);
    ASSERT_TRUE(link.OnlineMode);

    // A board without a range: the ident and the configuration only.
    link.UploadFile(makeSet("9", "old", QByteArray("old hex")));
    dialogs.expectBox("Program Upload", Button::OK, "Program Upload Complete!");
    link.InUploadMode = true;
    link.UploadProgram();
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_FALSE(link.InUploadMode);
    EXPECT_EQ(ReadBytes(dir.path() + "/PROG.rev"), QByteArray("AB\0\0\0\0\0\0;:01\r\n", 14));
    EXPECT_EQ(ReadBytes(dir.path() + "/PROG.hex"), QByteArray(":00000001FF\r\n"));
    // Its configuration line has no index character.
    EXPECT_EQ(ReadBytes(dir.path() + "/PROG.lcf"), QByteArray(34, '0') + "1000" + "1000%\r\n");
    // Not requested: nothing happens.
    link.UploadProgram();
    EXPECT_FALSE(link.lastAccessOk());

    // The K2707 (type 50) under a line that garbles every 7th answer: every
    // byte kept is the board's, from 5000H to FEFFH; FF00H and above cannot
    // be named on the line, and the box says so.
    ASSERT_TRUE(board.addFault("garble=7"));
    link.UploadFile(makeSet("2", "old", QByteArray("old hex")));
    dialogs.expectBox("Program Upload", Button::OK,
                      QStringLiteral("Program Upload Complete!\r\n\r\nAddresses FF00H to FFFFH cannot be read over "
                                     "the serial link and are not in the HEX file."));
    link.InUploadMode = true;
    link.UploadProgram();
    EXPECT_TRUE(link.lastAccessOk());
    QByteArray hex;
    for (int a = 0x5000; a < 0xFF00; a += 16)
        hex += PF::hexRecordLine(a, QByteArray(reinterpret_cast<const char *>(board.memory().data()) + a, 16));
    EXPECT_EQ(ReadBytes(dir.path() + "/PROG.hex"), hex + PF::kHexEndLine);
    EXPECT_EQ(ReadBytes(dir.path() + "/PROG.rev"), QByteArray("AB\0\0\0\0\0\0;:01\r\n", 14));
    EXPECT_GT(board.answerFaults().size(), 1000u);
}

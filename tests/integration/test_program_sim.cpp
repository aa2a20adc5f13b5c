// Program download and upload end to end: the link and orvelctl against the
// simulated board, with a hex file made by GNU objcopy.
#include "ProgramFiles.h"
#include "SimFixture.h"
#include <QProcess>
#include <QStandardPaths>
#include <map>
#include <random>

using Button = Dialogs::Button;

namespace {
constexpr int kFirst = 0x4000, kSize = 0x8000;   // the T6850's program range
constexpr int kClockFirst = 43008, kClockLast = 43017;

// The data records of a hex file: address -> bytes.
std::map<int, QByteArray> dataRecords(const QByteArray &hex)
{
    std::map<int, QByteArray> out;
    for (const QString &line : ProgramFiles::hexLines(hex)) {
        const ProgramFiles::HexLine h = ProgramFiles::parseHexLine(line);
        EXPECT_TRUE(h.record) << line.toStdString() << ": " << h.problem.toStdString();
        if (h.record && h.record->type == 0)
            out[h.record->address] = h.record->data;
    }
    return out;
}
}   // namespace

class ProgramOnSim : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        std::mt19937 gen(20260105);
        binary.resize(kSize);
        for (char &c : binary)
            c = char(gen() & 0xFF);
        put("image.bin", binary);
        const QString objcopy = QStandardPaths::findExecutable("objcopy");
        ASSERT_FALSE(objcopy.isEmpty()) << "objcopy (binutils) is needed: scripts/setup installs it";
        ASSERT_EQ(QProcess::execute(objcopy,
                                    {"-I", "binary", "-O", "ihex", "--change-addresses", QString::number(kFirst),
                                     path("image.bin"), path("PROG.hex")}),
                  0);
        hex = ReadBytes(path("PROG.hex"));
        put("PROG.tnx", "D,T6850 reject control\r\n");
        put("PROG.rev", "OBJCOPY15:07\r\n");
    }
    void download()
    {
        link.DownloadFile(path("PROG.tnx"));
        ASSERT_TRUE(link.ValidProgram());
        dialogs.expectBox("Program Download - [OBJCOPY1]", Button::Yes);
    }

    QByteArray binary, hex;
};

TEST_F(ProgramOnSim, DownloadThenUploadGivesTheProgramBack)
{
    // The hex file carries a start-address record that must not be sent.
    ASSERT_TRUE(hex.contains(":04000003"));
    goOnline();
    download();
    dialogs.expectBox("Program Download", Button::OK, "Program Download Complete!");
    link.DumpProgram();
    ASSERT_TRUE(link.lastAccessOk());
    const std::vector<std::uint8_t> image = board->programImage();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(image.data()) + kFirst, kSize), binary);
    EXPECT_EQ(image[0], 0xFF) << "a start-address record went to address 0";
    EXPECT_EQ(board->peek(8181), 0) << "the load request was not served";
    QByteArray ident;
    for (int i = 0; i < 10; ++i)
        ident.append(char(board->peek(61424 + i)));
    EXPECT_EQ(ident, QByteArray("OBJCOPY1\x5A\x07"));

    // Read back into another set; its old hex file is replaced.
    put("BACK.tnx", "D");
    put("BACK.hex", "old");
    link.UploadFile(path("BACK.tnx"));
    link.InUploadMode = true;
    dialogs.expectBox("Program Upload", Button::OK, "Program Upload Complete!");
    link.UploadProgram();
    ASSERT_TRUE(link.lastAccessOk());
    EXPECT_EQ(ReadBytes(path("BACK.rev")), QByteArray("OBJCOPY15:07\r\n"));
    const auto sent = dataRecords(hex), back = dataRecords(ReadBytes(path("BACK.hex")));
    ASSERT_EQ(sent.size(), back.size());
    for (const auto &[address, data] : sent) {
        SCOPED_TRACE(address);
        ASSERT_TRUE(back.count(address));
        QByteArray expected = data;
        // The board's clock runs inside the range: its registers read live.
        for (int a = std::max(address, kClockFirst); a <= std::min(address + 15, kClockLast); ++a)
            expected[a - address] = back.at(address).at(a - address);
        EXPECT_EQ(back.at(address), expected);
    }
}

TEST_F(ProgramOnSim, PulledCableMidDownload)
{
    const QByteArray before = ReadBytes(path("PROG.hex")) + ReadBytes(path("PROG.rev"));
    goOnline();
    download();
    // Into the sixth record.
    ASSERT_TRUE(board->addFault("pull-after=136"));
    dialogs.expectBox("Program Download", Button::OK, "Checksum Error, Program Download Halted!");
    link.DumpProgram();
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.OnlineMode);
    EXPECT_FALSE(link.InProgramMode);
    EXPECT_EQ(ReadBytes(path("PROG.hex")) + ReadBytes(path("PROG.rev")), before);
}

TEST_F(ProgramOnSim, PulledCableMidUploadLeavesTheOldHexFile)
{
    put("PROG.hex", "the earlier hex file");
    goOnline();
    link.UploadFile(path("PROG.tnx"));
    link.InUploadMode = true;
    ASSERT_TRUE(board->addFault("pull-after=2000"));
    dialogs.expectBox("WARNING - Communication Error!", Button::Cancel);
    dialogs.expectBox("Program Upload", Button::OK, "Program Upload Not Complete!\r\n\r\nHEX file not created.");
    link.UploadProgram();
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.InUploadMode);
    EXPECT_EQ(ReadBytes(path("PROG.hex")), QByteArray("the earlier hex file"));
    EXPECT_EQ(ReadBytes(path("PROG.rev")), QByteArray("T6850LT\0;:03\r\n", 14));   // the board's, read before
}

// ---- orvelctl ---------------------------------------------------------------

class OrvelctlProgram : public ProgramOnSim {};

TEST_F(OrvelctlProgram, DownloadAnsweredNoThenYesThenUpload)
{
    auto r = run({"download-program", path("PROG.tnx")});
    EXPECT_EQ(r.status, 3);   // a question answered No
    EXPECT_TRUE(r.err.startsWith("Program Download - [OBJCOPY1]: Program to be loaded into module (on disk): / "))
        << r.err.toStdString();
    EXPECT_EQ(board->stats().records, 0u);

    r = run({"download-program", path("PROG.tnx"), "--yes"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith("Program Download: Program Download Complete!\n")) << r.err.toStdString();
    const std::vector<std::uint8_t> image = board->programImage();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(image.data()) + kFirst, kSize), binary);

    QFile::remove(path("PROG.rev"));
    r = run({"upload-program", path("PROG.tnx")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "Program Upload: Program Upload Complete!\n");
    EXPECT_EQ(ReadBytes(path("PROG.rev")), QByteArray("OBJCOPY15:07\r\n"));
}

TEST_F(OrvelctlProgram, RefusedSetsSendNothing)
{
    const QString halted = " /  / Program Downloaded Halted!\n";
    QList<QByteArray> cut = hex.split('\n');
    cut[cut.size() / 2].chop(4);
    struct Case {
        QByteArray tnx, rev, lcf, hex;   // no configuration file when lcf is empty
        QString err;
    };
    const Case cases[] = {
        {"7",
         "P0101",
         {},
         hex,
         "PLS Program Download: PROG file is a PLS target board program. / Open PLS program to download to target "
         "board. /  / Program Downloaded Halted.\n"},
        {"1", "P0101", {}, hex, "Program Download: PROG file is incompatible with target board." + halted},
        {"D", "P0G01", {}, hex, "Program Download: " + path("PROG.rev") + " Revision File is Not Valid" + halted},
        {":", "P0101", {}, hex, "Program Download: " + path("PROG.lcf") + " Configuration File is Not Valid" + halted},
        // A bad revision file: the good configuration file is not looked at.
        {":", "P01", QByteArray(44, '1'), hex,
         "Program Download: " + path("PROG.rev") + " Revision File is Not Valid" + halted},
        // The hex file is read whole before the port is opened: a bad line
        // anywhere, or no data record at all, refuses the set.
        {"D",
         "P0101",
         {},
         cut.join('\n'),
         "Program Dump: Currently Selected Program is Invalid. /  / Program Download Halted!\n"},
        {"D",
         "P0101",
         {},
         ":00000001FF\r\n",
         "Program Download: " + path("PROG.hex") + " File is Not Valid /  / Program Downloaded Halted\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err.toStdString());
        put("PROG.tnx", c.tnx);
        put("PROG.rev", c.rev);
        put("PROG.hex", c.hex);
        QFile::remove(path("PROG.lcf"));
        if (!c.lcf.isEmpty())
            put("PROG.lcf", c.lcf);
        const auto in = board->stats().bytesIn;
        const auto r = run({"download-program", path("PROG.tnx"), "--yes"});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, c.err + "orvelctl: " + path("PROG.tnx") + ": not a program file set that can be downloaded\n");
        EXPECT_EQ(board->stats().bytesIn, in);
    }
    // A main file with no board type: nothing read, no file of the set written.
    put("PROG.tnx", "");
    const auto in = board->stats().bytesIn;
    const auto r = run({"upload-program", path("PROG.tnx")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              QStringLiteral("orvelctl: %1: no board type: the file's first item is empty\n").arg(path("PROG.tnx")));
    EXPECT_EQ(ReadBytes(path("PROG.rev")), QByteArray("P0101"));
    EXPECT_EQ(board->stats().bytesIn, in);

    EXPECT_EQ(run({"board-name", "68"}).out, "T6850(PLC)\n");
    EXPECT_EQ(run({"board-name", "70"}).out, "F Is Not Defined.\n");
    EXPECT_EQ(run({"upload-program", path("NONE.tnx")}).status, 3);
}

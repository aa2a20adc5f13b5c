#include "SetupData.h"
#include "SimFixture.h"
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// orvelctl as a technician runs it, against the simulated board.
class OrvelctlOnSim : public SimFixture {
protected:
    Result runOk(const QStringList &args)
    {
        Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r;
    }
};

TEST_F(OrvelctlOnSim, ReadAndWrite)
{
    board->pokeDecimal(1100, 98765);
    auto r = runOk({"read", "W1014", "D1100", "f87"});
    EXPECT_EQ(r.out.toStdString(), "215\n98765\n0\n");

    r = runOk({"write", "W1016", "1000"});
    EXPECT_EQ(board->peekWord(1016), 1000);

    r = run({"--baud", "19200", "read", "W1016"});
    EXPECT_EQ(r.out.toStdString(), "1000\n");
}

TEST_F(OrvelctlOnSim, RefusedInputSendsNothing)
{
    struct Case {
        QStringList args;
        const char *out;
        const char *err;
    };
    const Case cases[] = {
        {{"write", "W1014", "-5"}, "", "orvelctl: not a plain decimal value: \"-5\"\n"},
        {{"write", "W1014", "1,000"}, "", "orvelctl: not a plain decimal value: \"1,000\"\n"},
        {{"write", "W1014", "70000"}, "", "ENTRY ALERT: Error: / Entry out of Range (0-65,535).\n"},
        {{"write", "B4001.3", "2"}, "", "ENTRY ALERT: Error: / Enter 0 or 1 Only.\n"},
        {{"write", "Z5", "1"}, "", "orvelctl: not a board address: \"Z5\"\n"},
        {{"write", "FF02H", "16"}, "", "ENTRY ALERT: Error: / Address out of Range (0-65,535).\n"},
        {{"read", "B4001.9"}, "\n", "ENTRY ALERT: Error: / Bit Number out of Range (0-7).\n"},
        {{"read", "W12abc", "B65282"},
         "\n\n",
         "orvelctl: not a board address: \"W12abc\"\nENTRY ALERT: Error: / Address out of Range (0-65,535).\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const auto in = board->stats().bytesIn;
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.out.toStdString(), c.out);
        EXPECT_EQ(r.err.toStdString(), c.err);
        EXPECT_EQ(board->stats().bytesIn, in);   // not even the probe went out
    }
    EXPECT_EQ(board->peekWord(1014), 215);

    // Refused addresses keep their place among the values read.
    const auto r = run({"read", "W1014", "FF00H", "B999"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out.toStdString(), "215\n\n" + std::to_string(board->peek(999)) + "\n");
}

TEST_F(OrvelctlOnSim, PortThatDoesNotExistAndSilentBoard)
{
    auto r = run({"--port", "98", "read", "W1014"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Comm Port Error: Error Number = ")) << r.err.toStdString();
    // The settings file keeps what it had: --port is for this run only.
    EXPECT_EQ(ReadBytes(dir.path() + "/Support/RSPort.cfg"), QByteArray("1,9600\r\n"));

    ASSERT_TRUE(board->addFault("silence"));
    r = run({"read", "W1014"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.toStdString(), "\n");
    EXPECT_EQ(r.err.toStdString(),
              "WARNING - Communication Error!: Cannot Communicate with Target Board. / Verify RS-232 Cable is "
              "Connected Between / COMM Port and PROG Port.\norvelctl: W1014: not read, the board was not reached\n");
}

TEST_F(OrvelctlOnSim, OneRunAfterAnotherFindsThePortFree)
{
    // Each run must give the port back as it found it, also one interrupted
    // or killed while it waits on a silent board: a technician (not root)
    // runs orvelctl again and again against a board that stays connected.
    for (int sig : {0, 0, SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(sig);
        if (sig) {
            ASSERT_TRUE(board->addFault("silence"));
            const std::uint64_t before = board->stats().bytesIn;
            QProcess p;
            start(p, {"read", "W1014"});
            ASSERT_TRUE(p.waitForStarted());
            for (int i = 0; i < 1000 && board->stats().bytesIn == before; ++i)
                QThread::msleep(10);
            ASSERT_GT(board->stats().bytesIn, before) << "orvelctl never opened the port";
            ::kill(pid_t(p.processId()), sig);
            EXPECT_TRUE(p.waitForFinished(20000));
            board->clearFaults();
        }
        const auto r = runOk({"read", "W1014"});
        EXPECT_EQ(r.out.toStdString(), "215\n");
    }
}

TEST_F(OrvelctlOnSim, PortsAndSettingsThatAreNotWhatTheySeemAreRefusedAtOnce)
{
    // Each run ends promptly with its reason; neither may hang on a pipe.
    // (The port's own test goes through every kind of device.)
    const QString com2 = dir.path() + "/Support/ports/COM2";
    const QString fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, com2));
    auto r = run({"--port", "2", "read", "W1014"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.toStdString(),
              // orvelctl runs on the backend this process's port is (the environment picks it).
              ("Comm Port Error: Error Number = 25 / Error Source = " + port.errorSource() + " /  / " + com2
               + " is not a serial port: it is a named pipe (FIFO)\norvelctl: W1014: not read, the board was not reached\n")
                  .toStdString());
    EXPECT_EQ(r.out.toStdString(), "\n");

    const QString cfg = dir.path() + "/Support/RSPort.cfg";
    QFile::remove(cfg);
    ASSERT_EQ(::mkfifo(cfg.toLocal8Bit().constData(), 0600), 0);
    r = run({"read", "W1014"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err.toStdString(),
        ("RSComm InitializeRSComm: Error Number = 75 /  / Path/File access error: cannot read " + cfg
         + QStringLiteral(
             ": it is a named pipe (FIFO), not a regular file\norvelctl: W1014: not read, the board was not reached\n"))
            .toStdString());
}

// The PLS programmed through orvelctl and read back the same way.
TEST_F(OrvelctlOnSim, PlsChannelsProgrammedAndRecalled)
{
    ASSERT_TRUE(board->addFault("pls-busy=3"));   // the ready poll waits through three busy answers
    // Each change, then the channel it changed read back.
    const std::pair<QStringList, const char *> steps[] = {
        {{"setpoint", "1", "100", "359", "--clear"}, "state: 1\nposition: 100\n"},
        {{"pulse", "2", "10", "20", "275"}, "state: 0\nposition: 275\n"},
        {{"clear", "1"}, "state: 0\nposition: 0\n"},
    };
    Result r;
    for (const auto &[change, recalled] : steps) {
        EXPECT_EQ(runOk(QStringList{"pls"} + change).out.toStdString(), "");
        EXPECT_EQ(runOk({"pls", "recall", change[1]}).out.toStdString(), recalled);
    }
    // The operation's own checks: the box, exit 1, the channel as it was.
    r = run({"pls", "pulse", "2", "10", "25", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.toStdString(),
              "PLS Pulse Train: ON Division Plus OFF Division / Must be a Multiple of 360. /  / PLS Channel will not "
              "be Programmed.\norvelctl: pls pulse: not done\n");
    // A channel the board does not have: refused by the board, figures reset.
    r = run({"pls", "recall", "40"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.toStdString(), "state: 0\nposition: 0\n");
    r = run({"pls", "recall", "2"});
    EXPECT_EQ(r.out.toStdString(), "state: 0\nposition: 275\n");

    EXPECT_EQ(board->stats().unexpected, 1u);   // only the channel-40 refusal
}

// A PLS command that fails says why, and what a failed change left in the PLS.
TEST_F(OrvelctlOnSim, PlsFailuresSayWhyAndWhatChanged)
{
    // The answer to the first byte of the scale factor is lost.
    ASSERT_TRUE(board->addFault("lose=4"));
    auto r = run({"pls", "status"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.startsWith("scale: -9999\noffset: 0\nposition: ")) << r.out.toStdString();
    EXPECT_EQ(r.err.toStdString(), "orvelctl: pls status: scale not read: the board's answers were wrong or missing\n");

    // The second value of configuration block 2 is not acknowledged: blocks 0
    // and 1 are in, block 2 is dropped by the board.
    board->clearFaults();
    QByteArray text = "# line 4 PLS\r\n\r\n";   // a comment, a blank line and CR LF ends are read past
    for (int i = 0; i < 24; ++i)
        text += QByteArray::number(11 + i) + "\r\n";
    const QString cfg = put("pls.cfg", text + "  720\n");
    const auto bytesBefore = board->stats().bytesIn;
    ASSERT_TRUE(board->addFault("lose=" + std::to_string(bytesBefore + 31)));
    r = run({"pls", "config-download", cfg});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.toStdString(), "orvelctl: pls config-download: not done; PLS changed: configuration blocks 0, 1\n");
    const auto pls = board->pls();
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(pls.config[size_t(i)], i < 12 ? 11 + i : 0) << i;
    EXPECT_EQ(pls.scale, 360);
}

// The report as a PDF file, through the program itself (it makes its own GUI
// application without a display), its figures grouped as the locale it runs under.
TEST_F(OrvelctlOnSim, ReportToPdf)
{
    SetupData s = BuildDefaultSetup(MakeProgramVersion());
    s.Value[15] = 4242;
    const QString setup = dir.path() + "/line3.sdt";
    ASSERT_TRUE(SetupFile::write(setup, s).isEmpty());
    const QString pdf = dir.path() + "/line3.pdf";
    const QByteArray oldLocale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    auto r = runOk({"report", setup, pdf});
    qputenv("LC_ALL", oldLocale);
    EXPECT_EQ(r.err.toStdString(), "");
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(out.count("ORVEL Report: [line3.sdt]"), 2) << out.toStdString();
    EXPECT_TRUE(QRegularExpression("Can Check Speed \\(CPM\\):\\s+4\\.242\n").match(out).hasMatch());
    r = run({"report", setup});
    EXPECT_EQ(r.status, 2);
}

// Neither writes over what is not a file: a pipe is written into and stays
// what it is; a folder is refused.
TEST_F(OrvelctlOnSim, ReportAndExportIntoDevicesAndPipesNeverOverThem)
{
    const QString setup = dir.path() + "/line3.sdt";
    ASSERT_TRUE(SetupFile::write(setup, BuildDefaultSetup(MakeProgramVersion())).isEmpty());
    const QString fifo = dir.path() + "/fifo", folder = dir.path() + "/out";
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QDir().mkpath(folder);
    const auto kind = [](const QString &path) {
        struct stat st {};
        return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
    };
    for (const char *command : {"report", "export"}) {
        SCOPED_TRACE(command);
        auto r = run({QLatin1String(command), setup, folder});
        EXPECT_EQ(r.status, 1);
        const QString why = "it is a folder, not a file";
        EXPECT_EQ(
            r.err,
            QString("orvelctl: %1: not written: %2\n")
                .arg(folder,
                     command[0] == 'r' ? QString("the file %1 could not be written (%2)").arg(folder, why) : why));
        EXPECT_EQ(kind(folder), S_IFDIR);

        // Read as it comes: the report is larger than a pipe holds.
        const int reader = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        QProcess p;
        start(p, {QLatin1String(command), setup, fifo});
        QByteArray got;
        for (;;) {
            char buf[65536];
            const ssize_t n = ::read(reader, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else if (p.state() == QProcess::NotRunning && n == 0)
                break;
            else
                p.waitForFinished(5);
        }
        ::close(reader);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_TRUE(got.startsWith(command[0] == 'r' ? "%PDF" : "line3.sdt\r\nDate: ")) << got.left(20).toStdString();
        EXPECT_EQ(kind(fifo), S_IFIFO);
    }
}

// ---- The parameter table and the fault codes ----------------------------------

TEST_F(OrvelctlOnSim, UploadAndDownloadDataNeedYesAndWalkTheTable)
{
    const QString file = dir.path() + "/line4.sdt";
    // Answered No: nothing sent, nothing written.
    const auto in = board->stats().bytesIn;
    auto r = run({"upload-data", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.toStdString(),
              "Data Upload: You are about to Upload Data from the PLC /  / Do You Wish to Continue?\n");
    EXPECT_EQ(board->stats().bytesIn, in);
    EXPECT_FALSE(QFile::exists(file));

    // No file yet: the built-in table's addresses; saved as File > Save saves.
    board->pokeWord(1014, 222);
    board->pokeDecimal(1100, 123456);
    r = runOk({"--yes", "upload-data", file});
    SetupFile::ReadResult saved = SetupFile::read(file);
    ASSERT_TRUE(saved.data);
    EXPECT_EQ(saved.data->Version, MakeProgramVersion());
    EXPECT_EQ(saved.data->Value[5], 222);
    EXPECT_EQ(saved.data->Value[43], 123456);

    // The file's own addresses are walked: entry 5 moved to W2000.
    SetupData moved = *saved.data;
    moved.Address[5] = "W2000";
    ASSERT_EQ(SetupFile::write(file, moved), QString());
    board->pokeWord(2000, 77);
    r = runOk({"--yes", "upload-data", file});
    EXPECT_EQ(SetupFile::read(file).data->Value[5], 77);

    // Download writes the file's table back.
    moved.Value[5] = 1234;
    moved.Value[44] = 99;
    ASSERT_EQ(SetupFile::write(file, moved), QString());
    r = runOk({"--yes", "download-data", file});
    EXPECT_EQ(board->peekWord(2000), 1234);
    EXPECT_EQ(board->peekDecimal(1104), 99u);

    // A file that is no set-up: refused before the port is opened.
    const auto sent = board->stats().bytesIn;
    r = run({"--yes", "download-data", put("junk.sdt", "junk")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.startsWith("ORVEL: The file junk.sdt cannot be opened as a set-up file:")) << r.err.toStdString();
    EXPECT_EQ(board->stats().bytesIn, sent);
}

TEST_F(OrvelctlOnSim, TransferThatEndsIncompleteExitsOne)
{
    const QString file = dir.path() + "/cut.sdt";
    SetupData table = BuildDefaultSetup(MakeProgramVersion());
    ASSERT_EQ(SetupFile::write(file, table), QString());
    const QByteArray before = ReadBytes(file);
    // The cable is pulled part way through: the link's box, the entry named,
    // the transfer's box; the file keeps what it held.
    board->addFault("pull-after=200");
    auto r = run({"--yes", "upload-data", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.indexOf(": not read, the link to the board is down"), -1) << r.err.toStdString();
    EXPECT_NE(r.err.indexOf("ORVEL: Error Processing Request /  / Process Not Complete"), -1);
    EXPECT_NE(r.err.indexOf(file + ": not written, the upload did not complete"), -1);
    EXPECT_EQ(ReadBytes(file), before);

    // The first entry that fails on the line ends the transfer: every echo of
    // address high byte 03H is wrong, so B999 (entry 0) fails and nothing
    // after it is tried (on a slow board each entry would take its time-outs).
    startBoard();   // the cable back in
    board->addFault("bad-hi-echo=3");
    board->set("B646=77");
    for (const char *command : {"upload-data", "download-data"}) {
        SCOPED_TRACE(command);
        r = run({"--yes", QString::fromLatin1(command), file});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.split('\n').filter("orvelctl: B").join('|').toStdString(),
                  command == std::string("upload-data")
                      ? "orvelctl: B999: not read, no reliable answer from the board"
                      : "orvelctl: B999: not confirmed, the board's echoes were wrong or missing");
        EXPECT_NE(r.err.indexOf("ORVEL: Error Processing Request /  / Process Not Complete"), -1);
        EXPECT_EQ(ReadBytes(file), before);
        EXPECT_EQ(board->peek(646), 77) << "entry 8 is neither read into the file nor written";
    }

    // A line that garbles every 29th answer: every value kept is the board's.
    board->clearFaults();
    board->addFault("garble=29");
    r = runOk({"--yes", "upload-data", file});
    const SetupFile::ReadResult saved = SetupFile::read(file);
    ASSERT_TRUE(saved.data);
    for (int i = 0; i <= kSetupMaxIndex; ++i) {
        const QString &add = table.Address[i];
        const auto a = std::uint32_t(add.mid(1).section(QLatin1Char('.'), 0, 0).toUInt());
        const qint64 held = add.contains(QLatin1Char('.')) ? board->peek(a) & 1
            : add.startsWith(QLatin1Char('W'))             ? board->peekWord(a)
            : add.startsWith(QLatin1Char('D'))             ? qint64(board->peekDecimal(a))
                                                           : board->peek(a);
        EXPECT_EQ(saved.data->Value[i], held) << add.toStdString();
    }
    EXPECT_GT(board->answerFaults().size(), 5u);   // the line did garble answers
}

TEST_F(OrvelctlOnSim, FaultsPrintsTheCurrentCodeAndItsText)
{
    put("Support/FaultErrCodes.txt", "0A,\"Watchdog, restarted\"\r\n5c,Program invalid\r\n");
    board->set("B8176=0x5C");
    auto r = runOk({"faults"});
    EXPECT_EQ(r.out.toStdString(), "Fault Code (5CH): Program invalid\n");
    EXPECT_EQ(board->peek(8177), 0x5C) << "a fault that comes up is the last fault too";

    board->addFault("silence");
    r = run({"faults"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.toStdString(), "");
}

// ---- watch ----------------------------------------------------------------------

// Rows through to the file as they go, whole rows only, however the watch ends.
TEST_F(OrvelctlOnSim, WatchWritesWholeRowsHoweverItEnds)
{
    board->pokeDecimal(1100, 98765);
    const QString row = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3},215";
    const auto whole = [&](const QString &text, const QString &header, const QString &values) {
        return QRegularExpression("^" + header + "\r\n(" + row + values + "\r\n)+$").match(text).hasMatch();
    };
    auto r = runOk({"watch", "W1014", "D1100", "f87", "--count", "2", "--every", "60"});
    EXPECT_TRUE(whole(r.out, "time,W1014,D1100,f87", ",98765,0")) << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 3);

    // Stopped by a signal (as a terminal's Ctrl+C, even when started in the
    // background), or cut off by a file size limit mid-run: exit 0 and 1.
    const QString csv = path("watch.csv");
    for (int sig : {SIGINT, SIGTERM, 0}) {
        SCOPED_TRACE(sig);
        QFile::remove(csv);
        QProcess p;
        p.setChildProcessModifier([sig] {
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{200, 200};
            if (!sig)
                ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        start(p, {"watch", "W1014", "--every", "20", "--out", csv});
        for (int i = 0; sig && i < 2000 && ReadBytes(csv).count('\n') < 3; ++i)
            QThread::msleep(10);
        if (sig)
            ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), sig ? 0 : 1);
        // A loaded machine may make a pass late; that note is no failure.
        const QString err = QString::fromLocal8Bit(p.readAllStandardError())
                                .remove(QRegularExpression("^orvelctl: watch: a pass took [^\n]*\n"));
        EXPECT_EQ(err, sig ? QString() : "orvelctl: " + csv + ": not written: File too large; the watch stops\n");
        EXPECT_TRUE(whole(QString::fromLatin1(ReadBytes(csv)), "time,W1014", "")) << ReadBytes(csv).toStdString();
    }
}

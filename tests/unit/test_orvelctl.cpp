#include "ConsoleDialogs.h"
#include "Orvelctl.h"
#include "ScriptedSerialPort.h"
#include "TestFiles.h"
#include "Interruption.h"
#include "boardsim/Engine.h"
#include <QDir>
#include "SetupData.h"
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

// Command-line handling that needs no board: usage errors, refused values,
// how boxes become one line. Runs against a real board are integration tests.
namespace {
struct Captured {
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ~Captured()
    {
        std::fclose(out);
        std::fclose(err);
    }
    static std::string text(std::FILE *f)
    {
        std::string s(static_cast<std::size_t>(std::ftell(f)), '\0');
        std::rewind(f);
        s.resize(std::fread(s.data(), 1, s.size(), f));
        return s;
    }
};

int runCli(const QStringList &args, Captured &cap, bool *portMade = nullptr)
{
    ConsoleDialogs dialogs(cap.err);
    orvelctl::Environment env{dialogs,
                              [&]() -> std::unique_ptr<SerialPort> {
                                  if (portMade)
                                      *portMade = true;
                                  static VirtualClock clock;
                                  return std::make_unique<ScriptedSerialPort>(clock);
                              },
                              cap.out, cap.err};
    return orvelctl::run(args, env);
}
}

TEST(Orvelctl, UsageErrors)
{
    QTemporaryDir dir;
    const QStringList bad[] = {
        {},
        {"frobnicate"},
        {"read"},
        {"write", "W1"},
        {"--baud", "4800", "read", "W1"},
        {"--port", "0", "read", "W1"},
        {"--port", "x", "read", "W1"},
        {"--app-dir", dir.path() + "/nope", "read", "W1"},
        {"--port"},
        {"validate", "W188"},
        {"validate", "W188", "49", "50"},
        {"validate", "W188", "K2705"},
        {"validate", "W188", "4294967345"},   // beyond an int
        {"equate", "X10"},
        {"equate", "X10", "58.0"},
        {"equate", "X10", ""},
        {"octal"},
        {"octal", "1", "2"},
        {"octal", "abc"},
        {"octal", "12abc"},
        {"octal", "9223372036854775808"},
        {"decimal", "0x10"},
        {"decimal", "-99999999999999999999"},
    };
    for (const QStringList &a : bad) {
        Captured cap;
        bool made = false;
        EXPECT_EQ(runCli(a, cap, &made), orvelctl::Usage) << a.join(' ').toStdString();
        EXPECT_FALSE(made);
        EXPECT_EQ(Captured::text(cap.out), "");
        EXPECT_NE(Captured::text(cap.err).find("usage: orvelctl"), std::string::npos);
    }
}

TEST(Orvelctl, BoxesBecomeOneLine)
{
    EXPECT_EQ(ConsoleDialogs::oneLine("T", "a\r\n\r\nb\rc\nd").toStdString(), "T: a /  / b / c / d");
}

// validate, equate, octal, decimal and board-name answer from the rules alone:
// the port is never made, whatever the options say.
TEST(Orvelctl, AddressChecksNeedNoBoard)
{
    struct Case {
        QStringList args;
        const char *out;
    };
    const Case cases[] = {
        {{"validate", "W188", "49"}, "valid\n"},
        {{"validate", "W189", "49"}, "invalid\n"},
        {{"validate", "W188", "+49"}, "valid\n"},
        {{"equate", "x10.9", "58"}, "B51.7\n"},
        {{"equate", "X12", "58"}, "X12\n"},
        {{"octal", "9"}, "11\n"},
        {{"octal", "-9"}, "-11\n"},
        {{"octal", "9223372036854775807"}, "9223372036854775807\n"},
        {{"decimal", "11"}, "9\n"},
        // A control character of a name is shown in caret notation, so the
        // whole name stays on its one line.
        {{"board-name", "0"}, "^@ Is Not Defined.\n"},
        {{"board-name", "10"}, "^J Is Not Defined.\n"},
        {{"board-name", "127"}, "^? Is Not Defined.\n"},
        {{"--port", "3", "--baud", "9600", "decimal", "77"}, "63\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        Captured cap;
        bool made = false;
        EXPECT_EQ(runCli(c.args, cap, &made), orvelctl::Done);
        EXPECT_FALSE(made);
        EXPECT_EQ(Captured::text(cap.out), c.out);
        EXPECT_EQ(Captured::text(cap.err), "");
    }
}

// PLS arguments are checked before the port is opened: a scripted port with
// no script fails the test on any byte sent.
TEST(Orvelctl, PlsArgumentsAreCheckedBeforeSending)
{
    QTemporaryDir dir;
    struct Case {
        QStringList args;
        int status;
        std::string err;   // the first line of stderr
    };
    std::vector<Case> cases = {
        {{"pls"}, orvelctl::Usage, "orvelctl: unknown command pls"},
        {{"pls", "frob"}, orvelctl::Usage, "orvelctl: unknown command pls frob"},
        {{"pls", "setpoint", "1", "2"}, orvelctl::Usage, "orvelctl: usage: orvelctl pls setpoint CH ON OFF [--clear]"},
        {{"pls", "pulse", "1", "ten", "20", "0"}, orvelctl::Usage, "orvelctl: ON is not a whole number: \"ten\""},
        {{"pls", "setpoint", "300", "1", "2", "--clear"},
         orvelctl::Refused,
         "PLS Single Setpoint: Channel 300 cannot be sent to the PLS: it must be from 0 to 255. /  / Channel can not be "
         "programmed."},
        {{"pls", "offset", "-1"},
         orvelctl::Refused,
         "Set PLS Offset: Desired Position -1 cannot be sent to the PLS: it must not be negative. /  / PLS Offset will "
         "not be Programmed."},
        {{"pls", "clear", "99999999999"}, orvelctl::Refused, "orvelctl: CH is out of range: 99999999999"},
        {{"pls", "config-download", dir.path()},
         orvelctl::Refused,
         "orvelctl: " + dir.path().toStdString() + ": cannot be read: it is a folder, not a file"},
    };
    QByteArray good;
    for (int i = 0; i < 24; ++i)
        good += QByteArray::number(i) + '\n';
    // config-download of a file: the file's name and line, then why.
    const std::pair<QByteArray, const char *> files[] = {
        {"# PLS\n\n1\n2\nthree\n", ":5: not a whole number: \"three\""},
        {good, ": holds 24 values; 25 are needed: 24 configuration parameters and the scale factor"},
        {"# PLS\n" + QByteArray(good).replace("5\n", "300\n") + "360\n",
         ":7: configuration parameter 5 is 300, it must be from 0 to 255"},
        {good + "360\n7\n", ":26: one value too many: the file holds 24 configuration parameters and the scale factor"},
        {QByteArray("1\0002\n", 4) + good.mid(2) + "360\n", ":1: not a whole number: \"1\\x002\""},
        {good + "0\n", ":25: the scale factor 0 must be from 1 to 65535"},
    };
    for (const auto &[text, why] : files) {
        const QString f = WriteBytes(dir.path() + "/" + QString::number(cases.size()) + ".cfg", text);
        cases.push_back({{"pls", "config-download", f}, orvelctl::Refused, "orvelctl: " + f.toStdString() + why});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        Captured cap;
        EXPECT_EQ(runCli(c.args, cap), c.status);
        EXPECT_EQ(Captured::text(cap.out), "");
        const std::string err = Captured::text(cap.err);
        EXPECT_EQ(err.substr(0, err.find('\n')), c.err);
    }
}

// report and export read a set-up file and need no board.
TEST(Orvelctl, ReportAndExportUsageAndFiles)
{
    QTemporaryDir dir;
    const QString setup = dir.filePath("line3.sdt");
    SetupData s = BuildDefaultSetup(MakeProgramVersion());
    s.Value[43] = 4242;
    ASSERT_TRUE(SetupFile::write(setup, s).isEmpty());
    const QString out = dir.filePath("shift.txt");
    const QString garbage = WriteBytes(dir.filePath("garbage.sdt"), "not a set-up");
    struct Case {
        QStringList args;
        int status;
        const char *err;   // start of stderr
    };
    const QString missing = dir.filePath("none.sdt");
    const Case cases[] = {
        {{"export", setup}, orvelctl::Usage, "orvelctl: usage: orvelctl export FILE.sdt OUT.txt"},
        {{"report", setup, out, out}, orvelctl::Usage, "orvelctl: usage: orvelctl report FILE.sdt OUT.pdf"},
        {{"export", missing, out}, orvelctl::CommFailure, "orvelctl: "},
        {{"report", garbage, out}, orvelctl::CommFailure, "orvelctl: "},
        {{"export", setup, dir.filePath("no/such/shift.txt")}, orvelctl::CommFailure, "orvelctl: "},
        {{"--port", "7", "export", setup, out}, orvelctl::Done, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        Captured cap;
        bool made = false;
        EXPECT_EQ(runCli(c.args, cap, &made), c.status);
        EXPECT_FALSE(made);
        EXPECT_EQ(Captured::text(cap.err).rfind(c.err, 0), 0u) << Captured::text(cap.err);
    }
    // The export of line3.sdt, dated now, as the desktop program writes it
    // after File > Open.
    const QByteArray bytes = ReadBytes(out);
    EXPECT_TRUE(bytes.startsWith("line3.sdt\r\nDate: ")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.contains("Current Shift Data:\r\n(Good Can, Leaker Reject, Vision Reject)\r\n 4242\r\n 0\r\n"));

    EXPECT_TRUE(orvelctl::needsGuiApplication({"--app-dir", "report", "report", setup, out}));
    EXPECT_FALSE(orvelctl::needsGuiApplication({"--port", "1", "read", "report"}));
}

TEST(Orvelctl, FaultTextNeedsNoBoard)
{
    QTemporaryDir dir;
    const QString faults = WriteBytes(dir.path() + "/Support/FaultErrCodes.txt", "0a,first\r\n");
    struct Case {
        const char *code;
        int status;
        const char *out;
    };
    const Case cases[] = {
        {"10", 0, "Fault Code (0AH): first\n"},
        {"0AH", 0, "Fault Code (0AH): first\n"},
        {"0x0a", 0, "Fault Code (0AH): first\n"},
        {"-1", 2, ""},
        {"0AX", 2, ""},
        {"99999999999", 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        Captured cap;
        bool portMade = false;
        const int status = runCli({"--app-dir", dir.path(), "fault-text", QString::fromLatin1(c.code)}, cap, &portMade);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(Captured::text(cap.out), c.out);
        EXPECT_FALSE(portMade);
    }
    // A fault file that is there but cannot be read: its box, no line, exit 1.
    QFile::remove(faults);
    QDir().mkpath(faults);
    Captured bad;
    EXPECT_EQ(runCli({"--app-dir", dir.path(), "fault-text", "10"}, bad), orvelctl::CommFailure);
    EXPECT_EQ(Captured::text(bad.out), "");
    EXPECT_EQ(Captured::text(bad.err),
              "RSComm FaultDescription: Error Number = 75 /  / Path/File access error: it is a folder, not a file\n");
}

TEST(Orvelctl, YesAnswersQuestionsOnly)
{
    Captured cap;
    ConsoleDialogs d(cap.err);
    d.setAnswerYes(true);
    using B = Dialogs::Buttons;
    for (auto [buttons, answer] :
         {std::pair{B::YesNo, Dialogs::Button::Yes}, std::pair{B::YesNoCancel, Dialogs::Button::Yes},
          std::pair{B::RetryCancel, Dialogs::Button::Cancel}})
        EXPECT_EQ(d.messageBox(Dialogs::Icon::Question, buttons, "t", "x"), answer);
}

// watch on virtual time against the board itself, each answer 1 ms late.
class Watch : public ::testing::Test {
protected:
    int run(const QStringList &args)
    {
        cap = std::make_unique<Captured>();
        ConsoleDialogs dialogs(cap->err);
        orvelctl::Environment env{dialogs,
                                  [&] {
                                      auto port = std::make_unique<ScriptedSerialPort>(clock);
                                      port->setAnswerDelay(1'000'000);
                                      port->setPeer([&](int b) -> std::optional<int> {
                                          onByte(++sent);
                                          const auto a = board.feed(std::uint8_t(b));
                                          return a.empty() ? std::nullopt : std::optional<int>(a.back());
                                      });
                                      return port;
                                  },
                                  cap->out, cap->err, &clock};
        return orvelctl::run(QStringList{"--app-dir", dir.path()} + args, env);
    }
    std::string out() const { return Captured::text(cap->out); }
    std::string err() const { return Captured::text(cap->err); }
    QTemporaryDir dir;
    std::unique_ptr<Captured> cap;
    VirtualClock clock;   // 06:00:01.000 at the start
    boardsim::Engine board{[] {
        boardsim::Options still;
        still.lineRunning = false;
        return still;
    }()};
    int sent = 0;   // bytes the board was sent
    std::function<void(int)> onByte = [](int) {};
};

// Every pass gets its row, also one that starts late behind a pass that
// took longer than --every; a failed read is an empty field and exit 1.
TEST_F(Watch, RowsEmptyWhereAReadFailedNonePassedOver)
{
    board.pokeDecimal(1100, 98765);
    board.addFault("bad-hi-echo=3");   // W1014 (03F6H) never reads: 355 ms of attempts a pass
    EXPECT_EQ(run({"watch", "W188", "D1100", "W1014", "--count", "3", "--every", "250"}), orvelctl::CommFailure);
    EXPECT_EQ(out(), "time,W188,D1100,W1014\r\n2026-01-05T06:00:01.021,17,98765,\r\n"
                     "2026-01-05T06:00:01.376,17,98765,\r\n2026-01-05T06:00:01.752,17,98765,\r\n");
    const std::string failed = "orvelctl: W1014: not read, no reliable answer from the board\n";
    EXPECT_EQ(err(), failed
                         + "orvelctl: watch: a pass took 355 ms, longer than --every 250: each pass now starts as the "
                           "one before ends\n"
                         + failed + failed);
}

TEST_F(Watch, OnTimeUntilTheLinkGoesDown)
{
    // The probe, the handshake, 12 bytes a pass; silent from the B999 of pass 3.
    board.addFault("silence-after=35");
    EXPECT_EQ(run({"watch", "W188", "B999"}), orvelctl::CommFailure);
    EXPECT_EQ(out(), "time,W188,B999\r\n2026-01-05T06:00:01.021,17,1\r\n2026-01-05T06:00:02.021,17,1\r\n"
                     "2026-01-05T06:00:03.021,17,\r\n");
    EXPECT_EQ(err(), "WARNING - Communication Error!: Cannot Communicate with Target Board. / Verify RS-232 Cable is "
                     "Connected Between / COMM Port and PROG Port.\norvelctl: B999: not read, the link to the board is "
                     "down\n");
    // Not reached at all: one row of empty fields, timed when the watch tried.
    EXPECT_EQ(run({"watch", "W188", "B999"}), orvelctl::CommFailure);
    EXPECT_EQ(out(), "time,W188,B999\r\n2026-01-05T06:00:10.649,,\r\n");
}

// SIGINT and SIGTERM make the interruption request: a pass it cuts short
// leaves no row, and the watch ends as one that ran its count.
TEST_F(Watch, AnInterruptionLeavesWholeRowsOnly)
{
    onByte = [](int n) {
        if (n == 3 + 12 + 12 + 5)
            Interruption::request();
    };
    const int status = run({"watch", "W188", "B999", "--every", "100"});
    Interruption::clear();
    EXPECT_EQ(status, orvelctl::Done);
    EXPECT_EQ(out(), "time,W188,B999\r\n2026-01-05T06:00:01.021,17,1\r\n2026-01-05T06:00:01.121,17,1\r\n");
    EXPECT_EQ(err(), "");
    EXPECT_EQ(sent, 3 + 12 + 12 + 5);
}

// Checked before anything is sent: the addresses as read checks them, the
// options, the pass time the line allows, the file.
TEST_F(Watch, RefusedBeforeAnythingIsSent)
{
    onByte = [](int) { ADD_FAILURE() << "a byte was sent"; };
    struct Case {
        QStringList args;
        int status;
        QString err;   // the first line of stderr
    };
    const Case cases[] = {
        {{"watch", "W1014", "D1100", "F87", "--every", "58"}, orvelctl::Usage,
         "orvelctl: --every 58 is too short: a pass over these addresses takes 59 ms on the line at 9600 baud; the "
         "shortest --every is 59"},
        {{"--baud", "19200", "watch", "W1014", "D1100", "F87", "--every", "29"}, orvelctl::Usage,
         "orvelctl: --every 29 is too short: a pass over these addresses takes 30 ms on the line at 19200 baud; the "
         "shortest --every is 30"},
        {{"watch", "W1014", "--count", "0"}, orvelctl::Usage, "orvelctl: --count takes a whole number from 1: \"0\""},
        {{"watch", "--every", "100"}, orvelctl::Usage,
         "orvelctl: usage: orvelctl watch ADDR... [--every MS] [--count N] [--out FILE.csv]"},
        {{"watch", "W1014", "Z5", "B65282"}, orvelctl::Refused, "orvelctl: not a board address: \"Z5\""},
        {{"watch", "W1014", "--out", dir.path()}, orvelctl::CommFailure,
         "orvelctl: " + dir.path() + ": cannot be written: it is a folder, not a file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(run(c.args), c.status);
        EXPECT_EQ(out(), "");
        EXPECT_EQ(QString::fromStdString(err()).section('\n', 0, 0), c.err);
    }
}

// orvelctl against the simulated board under every line fault (the cases,
// with the failures the reliability probe found, are in bench/FaultMatrix.cpp).
// Every case runs on the virtual line, where time-outs cost no real time; on a
// real pseudo-terminal the default run takes the cases without time-outs and
// one case of each family that waits, and the long run (ctest -L long,
// scripts/test --long) takes them all. ORVEL_FAULT_MATRIX=full runs every
// position and seed (scripts/fuzz does, outside ctest's time-outs).
#include "FaultMatrix.h"

#include "ConsoleDialogs.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "AppFolder.h"
#include "Clock.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <gtest/gtest.h>

using namespace faultmatrix;

namespace {

// One line a case, printed before it runs: a case that never ends is the
// last line shown when ctest's time-out stops the test.
void expectEveryCaseKeepsTheRules(const std::string &label, const std::vector<Case> &cases, Line line)
{
    QTemporaryDir dir;
    Tally tally;
    for (const Case &c : cases) {
        std::printf("  %s", c.name().c_str());
        std::fflush(stdout);
        const Outcome o = runCase(c, dir.path(), line);
        tally.add(o);
        std::printf(" -> exit %d, %.2f s\n", o.run.status, o.run.seconds);
        if (!o.problem.empty()) {
            std::string err = QString::fromStdString(o.run.err)
                                  .trimmed()
                                  .replace(QLatin1Char('\n'), QStringLiteral(" | "))
                                  .toStdString();
            std::printf("    %s%s\n    stdout \"%s\", stderr \"%s\"\n", o.wrongSuccess || o.strayWrite ? "FAIL: " : "",
                        o.problem.c_str(), QString::fromStdString(o.run.out).trimmed().toStdString().c_str(),
                        err.c_str());
        }
    }
    std::printf("%s\n", tally.line(label).c_str());
    EXPECT_GT(tally.runs, 0);
    EXPECT_EQ(tally.wrongSuccess, 0);
    EXPECT_EQ(tally.strayWrites, 0);
}

void expectEveryPlsCaseKeepsTheRules(const std::string &label, const std::vector<PlsCase> &cases, Line line)
{
    QTemporaryDir dir;
    PlsTally tally;
    for (const PlsCase &c : cases) {
        std::printf("  %s", c.name().c_str());
        std::fflush(stdout);
        const PlsOutcome o = runPlsCase(c, dir.path(), line);
        tally.add(o);
        std::printf(" -> exit %d, %.2f s\n", o.run.status, o.run.seconds);
        if (!o.problem.empty())
            std::printf("    FAIL: %s\n    stdout \"%s\", stderr \"%s\"\n", o.problem.c_str(),
                        QString::fromStdString(o.run.out).trimmed().replace(QLatin1Char('\n'), QStringLiteral(" | ")).toStdString().c_str(),
                        QString::fromStdString(o.run.err).trimmed().replace(QLatin1Char('\n'), QStringLiteral(" | ")).toStdString().c_str());
    }
    std::printf("%s\n", tally.line(label).c_str());
    EXPECT_GT(tally.runs, 0);
    EXPECT_EQ(tally.wrongSuccess, 0);
    EXPECT_EQ(tally.wrongChanges, 0);
    EXPECT_EQ(tally.wrongKept, 0);
}

template <typename T>
std::vector<T> every(const std::vector<T> &all, int n, int part)
{
    std::vector<T> out;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (int(i % std::size_t(n)) == part)
            out.push_back(all[i]);
    return out;
}

// Every case of each family on the virtual line.
class FaultMatrix : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultMatrix, NoWrongSuccessAndNoStrayWrite)
{
    expectEveryCaseKeepsTheRules(GetParam(), matrix(GetParam(), sizeFromEnvironment()), Line::Virtual);
}

INSTANTIATE_TEST_SUITE_P(VirtualLine, FaultMatrix, ::testing::ValuesIn(families()),
                         [](const ::testing::TestParamInfo<std::string> &i) { return i.param; });

// On a pseudo-terminal: every case of the families that wait out no time-out,
// and of the others the one that shows the real port meeting that fault.
class FaultMatrixOnPty : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultMatrixOnPty, NoWrongSuccessAndNoStrayWrite)
{
    const std::string family = GetParam();
    const std::map<std::string, std::string> one = {
        {"noise", "read W1014 [noise=5]"},       {"garble", "read W1014 [garble=5]"},
        {"lose", "write B999 167 [lose=6]"},     {"silence", "read W1014 [silence]"},
        {"pull", "write D1100 12344577 [pull-after=8]"}, {"slow", "read B999 [slow=700]"},
    };
    std::vector<Case> cases = matrix(family, one.count(family) ? Size::Ci : sizeFromEnvironment());
    if (const auto it = one.find(family); it != one.end())
        std::erase_if(cases, [&](const Case &c) { return c.name() != it->second; });
    ASSERT_FALSE(cases.empty());
    expectEveryCaseKeepsTheRules("pty " + family, cases, Line::Pty);
}

INSTANTIATE_TEST_SUITE_P(Pty, FaultMatrixOnPty, ::testing::ValuesIn(families()),
                         [](const ::testing::TestParamInfo<std::string> &i) { return i.param; });

// Every case on a pseudo-terminal: the long run. The families that wait out
// the longest time-outs are cut in two halves, so ctest runs them side by side.
class FaultMatrixLong : public ::testing::TestWithParam<std::string> {};

std::vector<std::string> longShards()
{
    std::vector<std::string> out;
    for (const std::string &f : families()) {
        if (f == "clean" || f == "echo")
            continue;   // all of them in the default run
        if (f == "slow" || f == "lose") {
            out.push_back(f + "_0");
            out.push_back(f + "_1");
        } else {
            out.push_back(f);
        }
    }
    return out;
}

TEST_P(FaultMatrixLong, NoWrongSuccessAndNoStrayWrite)
{
    const std::string param = GetParam();
    const auto cut = param.find('_');
    const std::vector<Case> all = matrix(param.substr(0, cut), sizeFromEnvironment());
    expectEveryCaseKeepsTheRules("pty " + param, cut == std::string::npos ? all : every(all, 2, param.back() - '0'),
                                 Line::Pty);
}

INSTANTIATE_TEST_SUITE_P(Pty, FaultMatrixLong, ::testing::ValuesIn(longShards()),
                         [](const ::testing::TestParamInfo<std::string> &i) { return i.param; });

// The PLS commands, the PLS compared after each run.
TEST(PlsFaultMatrix, NoWrongSuccessNoWrongPlsChangeNoWrongKeptValue)
{
    expectEveryPlsCaseKeepsTheRules("pls", plsMatrix(sizeFromEnvironment()), Line::Virtual);
}

TEST(PlsFaultMatrix, OnPtyEveryCommandAndASpoiltAnswer)
{
    std::vector<PlsCase> cases = plsMatrix(Size::Ci);
    std::erase_if(cases, [](const PlsCase &c) {
        return !c.faults.empty() && c.name() != "pls recall [noise=6]" && c.name() != "pls status [noise=4]";
    });
    ASSERT_EQ(cases.size(), plsOperations().size() + 2);
    expectEveryPlsCaseKeepsTheRules("pty pls", cases, Line::Pty);
}

// In three parts, side by side.
class PlsFaultMatrixLong : public ::testing::TestWithParam<int> {};

TEST_P(PlsFaultMatrixLong, NoWrongSuccessNoWrongPlsChangeNoWrongKeptValue)
{
    expectEveryPlsCaseKeepsTheRules("pty pls_" + std::to_string(GetParam()),
                                    every(plsMatrix(sizeFromEnvironment()), 3, GetParam()), Line::Pty);
}

INSTANTIATE_TEST_SUITE_P(Pty, PlsFaultMatrixLong, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int> &i) { return "pls_" + std::to_string(i.param); });

boardsim::Options stillBoard()
{
    boardsim::Options o;
    o.lineRunning = false;
    return o;
}

// A still board on COM1 of a fresh application folder.
struct Bench {
    QTemporaryDir dir;
    boardsim::PtyBoard board{stillBoard()};
    Bench() { plugIn(); }
    void plugIn()
    {
        std::string err;
        ASSERT_TRUE(board.start(&err)) << err;
        QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
        ASSERT_TRUE(board.linkTo((dir.path() + QStringLiteral("/Support/ports/COM1")).toStdString(), &err)) << err;
    }
    // The cable was pulled; the technician plugs it back in.
    void reconnect()
    {
        board.stop();
        board.clearFaults();
        plugIn();
    }
};

TEST(FaultRegressions, UnreachableAddressesAreRefusedBeforeSending)
{
    // An address byte FFH is taken by the board as a re-sync, so these
    // cannot be reached over the line.
    Bench b;
    const auto before = b.board.memory();
    for (const char *addr : {"FF02H", "B65282", "W65279", "D65532", "F524031"}) {
        for (const QStringList &args :
             {QStringList{QStringLiteral("read"), QString::fromLatin1(addr)},
              QStringList{QStringLiteral("write"), QString::fromLatin1(addr), QStringLiteral("1")}}) {
            const CliRun r = runOrvelctl(b.dir.path(), args);
            SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString() + " stderr: " + r.err);
            EXPECT_EQ(r.status, 3);
            EXPECT_EQ(r.written, 0u);
            EXPECT_EQ(r.out, args[0] == QLatin1String("read") ? "\n" : "");   // read keeps one line per address
        }
    }
    EXPECT_EQ(b.board.stats().bytesIn, 0u);
    EXPECT_TRUE(b.board.memory() == before);
}

TEST(FaultRegressions, LinkRecoversWhenTheCableIsPluggedBackIn)
{
    // A real pty pulled, its time-outs on a virtual clock (a fraction of their length).
    VirtualClock clock;
    // orvelctl: the pulled cable fails the read; once it is back, a new run reads.
    {
        Bench b;
        ASSERT_TRUE(b.board.set("W1014=1234"));
        ASSERT_TRUE(b.board.addFault("pull-after=5"));
        CliRun r = runOrvelctl(b.dir.path(), {QStringLiteral("read"), QStringLiteral("W1014")}, &clock);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        b.reconnect();
        r = runOrvelctl(b.dir.path(), {QStringLiteral("read"), QStringLiteral("W1014")}, &clock);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "1234\n");
    }
    // The program: the same link goes offline with the cable and online again after it.
    {
        Bench b;
        ASSERT_TRUE(b.board.set("W1014=1234"));
        std::FILE *boxes = std::tmpfile();
        ConsoleDialogs dialogs(boxes);
        const std::unique_ptr<SerialPort> port = MakeSerialPort(clock);
        RSComm link(dialogs, clock);
        AppFolder::set(b.dir.path());
        link.OpenRSComm(port.get());
        ASSERT_TRUE(link.OnlineMode);
        EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "1234");
        ASSERT_TRUE(b.board.addFault("pull-after=" + std::to_string(b.board.stats().bytesIn + 3)));
        link.RSRead(QStringLiteral("W1014"));
        EXPECT_FALSE(link.lastAccessOk());
        b.reconnect();
        link.CloseRSComm();
        link.OpenRSComm(port.get());
        EXPECT_TRUE(link.OnlineMode);
        EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "1234");
        EXPECT_TRUE(link.lastAccessOk());
        link.CloseRSComm();
        std::fclose(boxes);
    }
}

}   // namespace

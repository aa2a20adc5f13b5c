// orvelctl against the simulated board under every line fault (the cases,
// with the failures the reliability probe found, are in bench/FaultMatrix.cpp).
// Each fault family is its own test, so ctest runs them side by side;
// ORVEL_FAULT_MATRIX=full runs every position and seed (scripts/fuzz does,
// outside ctest's time-outs).
#include "FaultMatrix.h"

#include "ConsoleDialogs.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "AppFolder.h"
#include "Clock.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using namespace faultmatrix;

namespace {

// One line a case, printed before it runs: a case that never ends is the
// last line shown when ctest's time-out stops the test.
class FaultMatrix : public ::testing::TestWithParam<std::string> {};

// The families that wait out the longest time-outs are cut in two halves
// ("slow_0", "slow_1"), so ctest can run the halves side by side.
std::vector<std::string> shards()
{
    std::vector<std::string> out;
    for (const std::string &f : families()) {
        if (f == "slow" || f == "lose") {
            out.push_back(f + "_0");
            out.push_back(f + "_1");
        } else {
            out.push_back(f);
        }
    }
    return out;
}

TEST_P(FaultMatrix, NoWrongSuccessAndNoStrayWrite)
{
    QTemporaryDir dir;
    Tally tally;
    const std::string param = GetParam();
    const auto cut = param.find('_');
    const std::string family = param.substr(0, cut);
    const int shard = cut == std::string::npos ? -1 : std::stoi(param.substr(cut + 1));
    const std::vector<Case> all = matrix(family, sizeFromEnvironment());
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (shard >= 0 && int(i % 2) != shard)
            continue;
        const Case &c = all[i];
        std::printf("  %s", c.name().c_str());
        std::fflush(stdout);
        const Outcome o = runCase(c, dir.path());
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
    std::printf("%s\n", tally.line(GetParam()).c_str());
    EXPECT_EQ(tally.wrongSuccess, 0);
    EXPECT_EQ(tally.strayWrites, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(shards()),
                         [](const ::testing::TestParamInfo<std::string> &i) { return i.param; });

// The PLS commands, the PLS compared after each run; in three parts, side by side.
class PlsFaultMatrix : public ::testing::TestWithParam<int> {};

TEST_P(PlsFaultMatrix, NoWrongSuccessNoWrongPlsChangeNoWrongKeptValue)
{
    QTemporaryDir dir;
    PlsTally tally;
    const std::vector<PlsCase> all = plsMatrix(sizeFromEnvironment());
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (int(i % 3) != GetParam())
            continue;
        std::printf("  %s", all[i].name().c_str());
        std::fflush(stdout);
        const PlsOutcome o = runPlsCase(all[i], dir.path());
        tally.add(o);
        std::printf(" -> exit %d, %.2f s\n", o.run.status, o.run.seconds);
        if (!o.problem.empty())
            std::printf("    FAIL: %s\n    stdout \"%s\", stderr \"%s\"\n", o.problem.c_str(),
                        QString::fromStdString(o.run.out).trimmed().replace(QLatin1Char('\n'), QStringLiteral(" | ")).toStdString().c_str(),
                        QString::fromStdString(o.run.err).trimmed().replace(QLatin1Char('\n'), QStringLiteral(" | ")).toStdString().c_str());
    }
    std::printf("%s\n", tally.line("pls_" + std::to_string(GetParam())).c_str());
    EXPECT_EQ(tally.wrongSuccess, 0);
    EXPECT_EQ(tally.wrongChanges, 0);
    EXPECT_EQ(tally.wrongKept, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, PlsFaultMatrix, ::testing::Values(0, 1, 2),
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
    // orvelctl: the pulled cable fails the read; once it is back, a new run reads.
    {
        Bench b;
        ASSERT_TRUE(b.board.set("W1014=1234"));
        ASSERT_TRUE(b.board.addFault("pull-after=5"));
        CliRun r = runOrvelctl(b.dir.path(), {QStringLiteral("read"), QStringLiteral("W1014")});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        b.reconnect();
        r = runOrvelctl(b.dir.path(), {QStringLiteral("read"), QStringLiteral("W1014")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "1234\n");
    }
    // The program: the same link goes offline with the cable and online again after it.
    {
        Bench b;
        ASSERT_TRUE(b.board.set("W1014=1234"));
        std::FILE *boxes = std::tmpfile();
        ConsoleDialogs dialogs(boxes);
        const std::unique_ptr<SerialPort> port = MakeSerialPort();
        RSComm link(dialogs, SystemClock::instance());
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

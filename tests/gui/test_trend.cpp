// The shift trend against the simulated board on virtual time: what the
// background tick samples and when, the gaps, a shift reset, the 24-hour
// ring, the CSV's bytes and the window's two save commands.
#include "GuiFixture.h"
#include "TrendSampler.h"
#include "frmTrend.h"
#include <QChart>
#include <QChartView>
#include <QImage>

namespace {
class TrendTest : public GuiTest {
protected:
    // The background tick every 500 ms of virtual time, for that long.
    void ticksFor(int seconds)
    {
        for (int i = 0; i < seconds * 2; ++i) {
            clock.advanceNs(500'000'000);
            tick();
        }
    }
    void boardValues(quint16 cpm, unsigned good, unsigned leaker, unsigned vision)
    {
        board->pokeWord(556, cpm);
        board->pokeDecimal(1100, good);
        board->pokeDecimal(1104, leaker);
        board->pokeDecimal(1108, vision);
    }
    static int samples(const TrendSampler &t)
    {
        int n = 0;
        for (int i = 0; i < t.size(); ++i)
            n += t.at(i).gap ? 0 : 1;
        return n;
    }
};
}   // namespace

TEST_F(TrendTest, TheTickSamplesEveryTenSecondsOnlineWithAGapForEachStop)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    const TrendSampler &t = m.trend();
    ticksFor(30);
    EXPECT_EQ(t.size(), 0) << "offline: no reads, and no gap before the first sample";

    m.mnuViewOnline_Click();
    boardValues(1200, 900, 60, 40);
    ticksFor(25);   // sampled with the main display shown
    ASSERT_EQ(t.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const TrendSample &s = t.at(i);
        EXPECT_FALSE(s.gap);
        EXPECT_EQ(std::tuple(s.cpm, s.good, s.leaker, s.vision), std::tuple(1200, 900, 60, 40));
        if (i > 0) {
            EXPECT_GE(s.timeMs - t.at(i - 1).timeMs, 10000);
            EXPECT_LT(s.timeMs - t.at(i - 1).timeMs, 10600);
        }
    }

    // Offline for a while: one gap mark, nothing on the line.
    m.mnuViewOffline_Click();
    const auto bytes = board->stats().bytesIn;
    ticksFor(40);
    EXPECT_EQ(board->stats().bytesIn, bytes);
    ASSERT_EQ(t.size(), 4);
    EXPECT_TRUE(t.at(3).gap);

    // Back online, then the count reads spoilt (every high address byte 4
    // echoed wrong): the status reads go on, the sample is a gap, never a
    // value the board did not confirm.
    m.mnuViewOnline_Click();
    ticksFor(10);
    ASSERT_FALSE(t.at(t.size() - 1).gap);
    ASSERT_TRUE(board->addFault("bad-hi-echo=4"));
    int before = t.size();
    ticksFor(20);
    EXPECT_EQ(t.size(), before + 1);
    EXPECT_TRUE(t.at(t.size() - 1).gap);
    EXPECT_TRUE(Link->OnlineMode && !Link->CommError);
    board->clearFaults();
    ticksFor(10);
    EXPECT_FALSE(t.at(t.size() - 1).gap);
    EXPECT_EQ(t.shiftStart(), 0);

    // The board's end of shift zeroes the counts: a new shift starts with
    // the first sample after it.
    board->set("F87=1");
    before = t.size();
    ticksFor(10);
    ASSERT_GT(t.size(), before);
    EXPECT_EQ(t.shiftStart(), before);
    EXPECT_EQ(std::tuple(t.at(before).good, t.at(before).leaker, t.at(before).vision), std::tuple(0, 0, 0));
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(TrendTest, TheRingKeepsTheNewestAndTheCsvHasOneRowEach)
{
    boardOnCom1();
    startMain().mnuViewOnline_Click();
    VirtualClock own;   // the sampler's own time, exact to the millisecond
    own.setWall(QDateTime(QDate(2026, 12, 7), QTime(9, 15, 1, 125)));
    TrendSampler t(*Link, own, 3);
    auto slot = [&](bool online) {
        t.tick(online);
        own.advanceNs(TrendSampler::kIntervalNs);
    };
    boardValues(1200, 900, 60, 40);
    slot(true);
    slot(false);
    boardValues(65535, 1, 1, 1);
    slot(true);
    boardValues(0, 0, 0, 0);   // no cans: the whole is taken as 1
    slot(true);
    ASSERT_EQ(t.size(), 3);
    EXPECT_EQ(samples(t), 2);
    EXPECT_EQ(t.memoryBytes(), 3 * sizeof(TrendSample));
    EXPECT_EQ(t.csv().toStdString(),
              "Time,Machine CPM,%Scrap (total),%Scrap (leaker),%Scrap (vision)\r\n"
              "2026-12-07T09:15:12.125,,,,\r\n"
              "2026-12-07T09:15:22.125,65535,66.67,33.33,33.33\r\n"
              "2026-12-07T09:15:32.125,0,0.00,0.00,0.00\r\n");
    EXPECT_EQ(TrendSampler(*Link, own).memoryBytes(), size_t(8640) * 24);

    // Reads carry no checksum: on a line that garbles every 29th answer,
    // every sample kept holds the board's values.
    ASSERT_TRUE(board->addFault("garble=29"));
    boardValues(1187, 43210, 321, 98);
    TrendSampler garbled(*Link, own);
    for (int i = 0; i < 30; ++i) {
        garbled.tick(true);
        own.advanceNs(TrendSampler::kIntervalNs);
    }
    ASSERT_GT(samples(garbled), 20);
    for (int i = 0; i < garbled.size(); ++i) {
        const TrendSample &s = garbled.at(i);
        EXPECT_TRUE(s.gap || std::tuple(s.cpm, s.good, s.leaker, s.vision) == std::tuple(1187, 43210, 321, 98)) << i;
    }
}

TEST_F(TrendTest, TheWindowDrawsTheShiftAndSavesItAsCsvAndPng)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    boardValues(1200, 900, 60, 40);
    ticksFor(20);
    auto *w = openChild<frmTrend>(frmMDIMain::TrendWindow);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->chartView->chart()->series().size(), 4);
    // Samples taken while it is shown are drawn; a gap splits the lines.
    m.mnuViewOffline_Click();
    ticksFor(10);
    m.mnuViewOnline_Click();
    ticksFor(10);
    EXPECT_EQ(w->chartView->chart()->series().size(), 8);

    dialogs.expectSave(std::nullopt);   // cancelled: nothing written
    m.mnuFileTrendCsv->trigger();
    const QString csv = path("shift.csv"), png = path("shift.png");
    dialogs.expectSave(csv).expectSave(png);
    m.mnuFileTrendCsv->trigger();
    m.mnuFileTrendPng->trigger();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), m.trend().csv());
    EXPECT_EQ(QImage(png).size(), w->grab().size());
    ASSERT_EQ(dialogs.fileRequests.size(), 3u);
    EXPECT_EQ(dialogs.fileRequests[1].filter, QStringLiteral("CSV Files(*.csv)"));
    EXPECT_EQ(dialogs.fileRequests[2].filter, QStringLiteral("PNG Images(*.png)"));

    // A file that cannot be written is said so.
    const QString nowhere = path("no-such-folder/shift.csv");
    dialogs.expectSave(nowhere).expectBox(
        QStringLiteral("ORVEL"), Dialogs::Button::OK,
        QStringLiteral("The trend could not be written to %1:\r\n\r\nNo such file or directory.").arg(nowhere));
    m.mnuFileTrendCsv->trigger();
}

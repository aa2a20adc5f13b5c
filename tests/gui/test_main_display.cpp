// The main display against the simulated board: what it shows online and
// offline, what its two buttons write, and how its poll lives with the
// background tick, a dead line and the window list.
#include "GuiFixture.h"
#include "PollLoop.h"
#include "frmMain.h"
#include <QGroupBox>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using B = Dialogs::Button;

namespace {
const QString kCommBox = QStringLiteral("WARNING - Communication Error!");

class MainDisplayTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    frmMain &online()
    {
        boardOnCom1();
        frmMDIMain &m = startMain();
        m.mnuViewOnline_Click();
        EXPECT_TRUE(Link->OnlineMode);
        return *display();
    }
    frmMain *display() const { return qobject_cast<frmMain *>(main->ChildForms[0].data()); }

    // Runs the poll until one online pass has ended (a bounded number of steps).
    void onePass(frmMain &w)
    {
        const quint64 before = w.poll().onlinePasses();
        for (int i = 0; i < 20 && w.poll().onlinePasses() == before; ++i)
            w.poll().step();
    }
    QStringList shown(const frmMain &w) const
    {
        QStringList s;
        for (QLabel *l : w.lblDisplay)
            s << l->text();
        return s;
    }
};
}   // namespace

TEST_F(MainDisplayTest, ShowsSpeedCountsAndScrapAsTheBoardHoldsThem)
{
    struct Case {
        int cpm;
        unsigned good, leaker, vision;
        QStringList expected;
    };
    const Case cases[] = {
        {1200, 900, 60, 40, {"1200", "900", "60", "40", "10.00", "6.00", "4.00"}},
        {0, 0, 0, 0, {"0", "0", "0", "0", "0.00", "0.00", "0.00"}},   // no cans: the whole is taken as 1
        {65535, 1234567, 0, 3, {"65535", "1,234,567", "0", "3", "0.00", "0.00", "0.00"}},
        {7, 0, 5, 0, {"7", "0", "5", "0", "100.00", "100.00", "0.00"}},
        {1,
         655359999,
         655359999,
         655359999,
         {"1", "655,359,999", "655,359,999", "655,359,999", "66.67", "33.33", "33.33"}},
    };
    frmMain &w = online();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected.join(' ').toStdString());
        board->pokeWord(556, quint16(c.cpm));
        board->pokeDecimal(1100, c.good);
        board->pokeDecimal(1104, c.leaker);
        board->pokeDecimal(1108, c.vision);
        onePass(w);
        EXPECT_EQ(shown(w), c.expected);
    }
    // The widest values fit a 640 x 480 main window whole, nothing cut.
    main->show();
    main->resize(640, 480);
    QCoreApplication::sendPostedEvents();
    EXPECT_LE(main->width(), 640);
    EXPECT_LE(main->height(), 480);
    EXPECT_TRUE(main->centralWidget()->rect().contains(w.geometry()));
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(ShowsWithRoom(w.lblDisplay[i], i == 0 ? QStringLiteral("65535") : w.lblDisplay[i]->text()));
        EXPECT_TRUE(w.fraDisplay[i]->contentsRect().contains(w.lblDisplay[i]->geometry())) << i;
        EXPECT_TRUE(w.rect().contains(w.fraDisplay[i]->geometry())) << i;
    }
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(MainDisplayTest, OfflineShowsTheSetupCountsAndFollowsTheSystemMessage)
{
    frmMDIMain &m = startMain();
    frmMain &w = *display();
    CurrentSetup.Value[43] = 9000;
    CurrentSetup.Value[44] = 600;
    CurrentSetup.Value[45] = 400;
    StatusMessage = QStringLiteral("line one\r\nline two\r\nline three");
    w.poll().step();
    EXPECT_EQ(shown(w), (QStringList{"-", "9,000", "600", "400", "10.00", "6.00", "4.00"}));
    EXPECT_EQ(w.txtMessageDisplay->toPlainText(), QStringLiteral("line one\nline two\nline three"));
    for (QGroupBox *g : w.fraDisplay)
        EXPECT_FALSE(g->isEnabled());
    EXPECT_FALSE(w.cmdAlarmReset->isEnabled());
    EXPECT_FALSE(w.cmdTestBlowoff->isEnabled());
    EXPECT_TRUE(w.txtMessageDisplay->isEnabled());

    // A set-up whose counts would overflow a 32-bit sum still shows sensible figures.
    CurrentSetup.Value[43] = 2000000000;
    CurrentSetup.Value[44] = 2000000000;
    CurrentSetup.Value[45] = 0;
    w.poll().step();
    EXPECT_EQ(w.lblDisplay[4]->text(), QStringLiteral("50.00"));
    // The widest a file can hold widens the panels: no figure is shown cut.
    CurrentSetup.Value[43] = INT32_MAX;
    CurrentSetup.Value[44] = INT32_MIN;
    w.poll().step();
    for (QLabel *l : w.lblDisplay)
        EXPECT_TRUE(ShowsWithRoom(l, l->text()));
    (void)m;
}

TEST_F(MainDisplayTest, ButtonsSetTheirFlagsOnlyWhileTheLinkIsSound)
{
    // The board clears both flags once it has acted on them: the tests see
    // the writes and what the board did.
    frmMain &w = online();
    onePass(w);
    main->show();
    ASSERT_TRUE(w.cmdAlarmReset->isEnabled());
    board->set("F54=1");
    auto writes = board->stats().writes;
    QTest::keyClick(w.cmdAlarmReset, Qt::Key_Space);
    EXPECT_FALSE(board->flag(54));   // the alarm was reset
    EXPECT_EQ(board->stats().writes, writes + 1);
    writes = board->stats().writes;
    w.cmdTestBlowoff->click();
    EXPECT_EQ(board->stats().writes, writes + 1);

    board->set("F54=1");
    writes = board->stats().writes;
    Link->CommError = true;   // the link gave up: the commands are skipped without a word
    w.cmdAlarmReset_Click();
    w.cmdTestBlowoff_Click();
    EXPECT_TRUE(board->flag(54));
    EXPECT_EQ(board->stats().writes, writes);
    EXPECT_TRUE(dialogs.boxes().empty());
    Link->CommError = false;
}

TEST_F(MainDisplayTest, SilentBoardGivesOneBoxNoNestedTrafficThenTheOfflineView)
{
    frmMain &w = online();
    onePass(w);
    ASSERT_TRUE(board->addFault("silence"));
    const auto before = board->stats().bytesIn;
    quint64 inBox = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) {
        // While the link's box is up, timers run: neither the tick nor the
        // poll may start another board access.
        const auto at = board->stats().bytesIn;
        tick();
        w.poll().step();
        QCoreApplication::processEvents();
        inBox += board->stats().bytesIn - at;
    };
    dialogs.expectBox(kCommBox, B::Cancel);
    onePass(w);
    EXPECT_GT(board->stats().bytesIn, before);
    EXPECT_EQ(inBox, 0u);
    EXPECT_TRUE(Link->CommError);
    w.poll().step();   // the next pass takes the program offline
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_FALSE(w.cmdAlarmReset->isEnabled());
    EXPECT_EQ(w.lblDisplay[0]->text(), QStringLiteral("-"));
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    for (int i = 0; i < 5; ++i) {
        tick();
        w.poll().step();
    }
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

TEST_F(MainDisplayTest, GoingOfflineBetweenTwoReadsEndsThePass)
{
    frmMain &w = online();
    onePass(w);
    w.poll().step();   // the top of the next pass
    w.poll().step();   // its first read
    const quint64 passes = w.poll().onlinePasses();
    const auto in = board->stats().bytesIn;
    Link->OnlineMode = false;
    w.poll().step();
    EXPECT_EQ(board->stats().bytesIn, in);
    EXPECT_EQ(w.poll().onlinePasses(), passes);
}

TEST_F(MainDisplayTest, ThePollStopsWhenTheWindowIsUnloadedAndNeverSpinsOffline)
{
    frmMain &w = online();
    QPointer<frmMain> gone = &w;
    QPointer<PollLoop> poll = &w.poll();
    // On the event loop, passes follow each other.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.poll().onlinePasses() >= 3; }, 5000));
    EXPECT_GE(w.poll().onlinePasses(), 3u);

    main->mnuWindowForm_Click(3);
    EXPECT_FALSE(poll->active());
    const quint64 passes = poll->onlinePasses();
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();   // the next window polls; this one does not
    EXPECT_EQ(poll->onlinePasses(), passes);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());

    // Offline the refresh runs on a timer: a few passes a second, not thousands.
    main->mnuWindowForm_Click(0);
    main->mnuViewOffline_Click();
    frmMain &again = *display();
    const quint64 p0 = again.poll().passes();
    QTest::qWait(600);
    EXPECT_LE(again.poll().passes() - p0, 10u);
    EXPECT_GE(again.poll().passes() - p0, 1u);
}

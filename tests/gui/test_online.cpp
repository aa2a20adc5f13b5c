// Online and offline against the simulated board: the menu, the status bar
// and its double-click, the background tick's system messages, the passcode
// and what a dead link does.
#include "GuiFixture.h"
#include "frmMain.h"
#include <QPlainTextEdit>
#include <QTest>

using B = Dialogs::Button;

namespace {
const QString kNormal = QStringLiteral("System Message:  All Faults Normal");
const QString kFaults = QStringLiteral("System Message:  Faults Active in PLC");
const QString kOffline = QStringLiteral("System Message:  Program is Currently OFFLINE");
const QString kCommFault = QStringLiteral("System Message:  Comm Fault with T6850");
}

TEST_F(GuiTest, OnlineAndOfflineThroughTheMenu)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline->trigger();
    EXPECT_TRUE(Link->OnlineMode);
    EXPECT_TRUE(CommPortControl->isOpen());
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    EXPECT_TRUE(m.mnuViewOnline->isChecked());
    EXPECT_FALSE(m.mnuViewOffline->isChecked());
    EXPECT_TRUE(m.mnuEditPasscode->isEnabled());

    // Choosing it again while online opens the line again.
    m.mnuViewOnline->trigger();
    EXPECT_TRUE(Link->OnlineMode);
    EXPECT_TRUE(m.mnuViewOnline->isChecked());

    m.mnuViewOffline->trigger();
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_FALSE(CommPortControl->isOpen());
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_FALSE(m.mnuViewOnline->isChecked());
    EXPECT_TRUE(m.mnuViewOffline->isChecked());
    EXPECT_FALSE(m.mnuEditPasscode->isEnabled());
    m.mnuViewOffline->trigger();
    EXPECT_TRUE(m.mnuViewOffline->isChecked());
    tick();
    EXPECT_EQ(panel(1), kOffline);
}

TEST_F(GuiTest, TickTurnsFlagsAndAlarmNumberIntoTheSystemMessage)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    ASSERT_TRUE(Link->OnlineMode);

    tick();
    EXPECT_EQ(panel(1), kNormal);
    EXPECT_EQ(StatusMessage, QStringLiteral("-- System Normal --\r\nSet-up Program is Currently ONLINE"));

    b.set("F60=1");
    b.set("B2072=3");
    tick();
    EXPECT_EQ(panel(1), kFaults);
    EXPECT_EQ(StatusMessage, QStringLiteral("** System ALARM **\r\nTester Can Jam or Discharge Photo Eye Fail\r\n"
                                            "Correct Problem and Press RESET ALARMS to Continue"));
    auto *display = qobject_cast<frmMain *>(m.ChildForms[0].data());
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->txtMessageDisplay->toPlainText(),
              QStringLiteral("** System ALARM **\nTester Can Jam or Discharge Photo Eye Fail\nCorrect Problem and Press RESET ALARMS to Continue"));

    b.set("F60=0");
    b.set("F54=1");
    b.set("B2072=14");
    tick();
    EXPECT_EQ(StatusMessage, QStringLiteral("** System ALARM **\r\nFIFO Error Correction is Disabled\r\nCalibrate FIFO Error Detection"));

    b.set("B2072=15");
    tick();
    EXPECT_EQ(StatusMessage, QStringLiteral("** System ALARM **\r\nMessage Number 15 Not Defined"));
    b.set("B2072=255");
    tick();
    EXPECT_EQ(StatusMessage, QStringLiteral("** System ALARM **\r\nMessage Number 255 Not Defined"));

    b.set("B2072=0");
    tick();
    EXPECT_EQ(StatusMessage, QStringLiteral("** System ALARM **\r\n "));
    EXPECT_EQ(panel(1), kFaults);

    b.set("F54=0");
    tick();
    EXPECT_EQ(panel(1), kNormal);
    EXPECT_FALSE(Link->CommError);
}

TEST_F(GuiTest, DoubleClickOnTheModePanelTogglesOnline)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.show();
    QTest::mouseDClick(m.sbrPanel[1], Qt::LeftButton);   // other panels do nothing
    QTest::mouseDClick(m.sbrPanel[3], Qt::LeftButton);
    EXPECT_FALSE(Link->OnlineMode);

    QTest::mouseDClick(m.sbrPanel[2], Qt::LeftButton);
    EXPECT_TRUE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    QTest::mouseDClick(m.sbrPanel[2], Qt::LeftButton);
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
}

TEST_F(GuiTest, TickFollowsOnlineStateChangedElsewhere)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    Link->OnlineMode = true;   // as another window does before calling nothing
    tick();
    EXPECT_TRUE(m.lastOnline());
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    EXPECT_TRUE(CommPortControl->isOpen());
    EXPECT_EQ(panel(1), kNormal);
}

TEST_F(GuiTest, PortThatCannotOpenLeavesTheProgramOfflineWithACommFault)
{
    deadCom1();
    frmMDIMain &m = startMain();
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    m.mnuViewOnline->trigger();
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_TRUE(Link->CommError);
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    tick();
    EXPECT_EQ(panel(1), kCommFault);
    EXPECT_EQ(StatusMessage, QStringLiteral("Set-up Program is Currently OFFLINE"));

    // A double-click does not clear the fault, so the program stays offline
    // and no port is tried.
    m.sbrMain_PanelDblClick(2);
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));

    // The menu clears it and tries again.
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    m.mnuViewOnline->trigger();
    EXPECT_EQ(dialogs.boxes().size(), 2u);
}

TEST_F(GuiTest, BoardFallingSilentGivesOneBoxAndThenOffline)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    ASSERT_TRUE(Link->OnlineMode);
    tick();
    ASSERT_EQ(panel(1), kNormal);

    ASSERT_TRUE(b.addFault("silence"));
    dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), B::Cancel,
                      QStringLiteral("Cannot Communicate with Target Board.\rVerify RS-232 Cable is Connected Between\rCOMM Port and PROG Port."));
    tick();   // waits out the board's silence (about five seconds)
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_EQ(panel(1), kCommFault);
    tick();   // no second box
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

TEST_F(GuiTest, PasscodeReadsAndWritesTheKeypadCode)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    EXPECT_FALSE(m.mnuEditPasscode->isEnabled());
    m.mnuEditPasscode->trigger();   // offline: cannot be chosen
    EXPECT_EQ(dialogs.boxes().size(), 0u);

    b.pokeWord(1070, 4321);
    m.mnuViewOnline_Click();
    dialogs.expectInput(QStringLiteral("1234"));
    m.mnuEditPasscode->trigger();
    EXPECT_EQ(b.peekWord(1070), 1234);

    dialogs.expectInput(QString());   // empty answer writes nothing
    m.mnuEditPasscode->trigger();
    dialogs.expectInput(std::nullopt);   // nor does Cancel
    m.mnuEditPasscode->trigger();
    EXPECT_EQ(b.peekWord(1070), 1234);
    EXPECT_FALSE(Link->CommError);
}

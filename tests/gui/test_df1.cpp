// The DF1 module window against the simulated board: the status values and
// their texts, the driver warning, the three set-up fields online and
// offline, and what a silent board does.
#include "EntryFields.h"
#include "GuiFixture.h"
#include "UpDown.h"
#include "frmK2950DF1.h"
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using B = Dialogs::Button;

namespace {
const QString kTitle = QStringLiteral("K2950DF1 Set-up");
const QString kBounds = QStringLiteral("Only a Number Between 0 and 255 can be Entered");
const QString kDriverTitle = QStringLiteral("WARNING!!");
const QString kDriverText = QStringLiteral("The DF1 Serial Communications Driver is Not Enabled in the T6850.");

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
}   // namespace

class Df1 : public GuiTest {
protected:
    frmK2950DF1 *open(frmMDIMain &) { return openChild<frmK2950DF1>(2); }
    void pass(frmK2950DF1 *w) { runPass(w->poll()); }
    void steps(frmK2950DF1 *w, int n)
    {
        for (int k = 0; k < n; ++k)
            w->poll().step();
    }
    // Clicks into a box, types, and leaves it with Enter.
    void enter(QLineEdit *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
        settle();
    }
    QStringList shown(frmK2950DF1 *w)
    {
        QStringList l;
        for (QLabel *d : w->lblDisplay)
            l << d->text();
        return l;
    }
};

TEST_F(Df1, StatusValuesAndSetupShownOnline)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.show();
    m.mnuViewOnline_Click();
    frmK2950DF1 *w = open(m);
    pass(w);   // the board's defaults
    EXPECT_EQ(shown(w).join(QLatin1Char('|')),
              QStringLiteral("(2) Success|(2) Done|(2) Done|0|Read|0|Command|(00) Success - No Error|0"));
    EXPECT_EQ(w->cboSetup->currentIndex(), 0);
    EXPECT_EQ(w->txtSetup[0]->text() + w->txtSetup[1]->text(), QStringLiteral("110"));

    for (const char *a : {"B4023=7", "B4021=1", "B4022=6", "W4016=1234", "B4014=2", "B4026=17", "B4302.6=1", "B4303=1",
                          "B4018=240", "B4019=17", "W4304=300", "B4001.0=1", "B4050=12", "B4011=200"})
        ASSERT_TRUE(b.set(a)) << a;
    pass(w);
    EXPECT_EQ(shown(w).join(QLatin1Char('|')),
              QStringLiteral("(7) Unknown Status|(1) Busy|(6) Message Packet Error|1234|(2) Unknown|17|Reply|"
                             "(F0-11) Illegal Data Type|300"));
    for (QLabel *d : w->lblDisplay)
        EXPECT_TRUE(ShowsWithRoom(d, d->text()));
    EXPECT_EQ(w->cboSetup->currentIndex(), 1);
    EXPECT_EQ(w->txtSetup[0]->text(), QStringLiteral("12"));
    EXPECT_EQ(w->txtSetup[1]->text(), QStringLiteral("200"));
    EXPECT_TRUE(dialogs.boxes().empty());

    // Byte reads in one pass: ten byte and bit fields and two words; with
    // B4303 not 0 the status code and its extended code come on top.
    const std::pair<const char *, quint64> cases[] = {{"B4303=0", 14}, {"B4303=2", 16}, {"B4303=0", 14}};
    for (const auto &[set, reads] : cases) {
        SCOPED_TRACE(set);
        b.set(set);
        b.set("B4018=16");
        const auto before = b.stats().reads;
        pass(w);
        EXPECT_EQ(b.stats().reads - before, reads);
    }
    EXPECT_EQ(w->lblDisplay[7]->text(), QStringLiteral("(00) Success - No Error"));
}

TEST_F(Df1, DriverWarningOncePerSwitchToOnline)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("F42=0");
    frmMDIMain &m = startMain();
    frmK2950DF1 *w = open(m);
    steps(w, 3);
    quint64 readsUnderBox = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &box) {
        if (box.title != kDriverTitle)
            return;
        // The poll is held while the box is up.
        const auto before = b.stats().reads;
        w->poll().step();
        readsUnderBox += b.stats().reads - before;
    };
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        dialogs.expectBox(kDriverTitle, B::OK, kDriverText);
        m.mnuViewOnline_Click();
        for (int k = 0; k < 4; ++k)
            pass(w);   // staying online: no second box
        EXPECT_EQ(dialogs.boxes().size(), size_t(round));
        EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Exclamation);
        EXPECT_EQ(dialogs.boxes().back().buttons, Dialogs::Buttons::OK);
        // The values are polled all the same.
        EXPECT_EQ(w->lblDisplay[0]->text(), QStringLiteral("(2) Success"));
        m.mnuViewOffline_Click();
        steps(w, 3);
        EXPECT_EQ(w->lblDisplay[0]->text(), QStringLiteral("-"));
    }
    EXPECT_EQ(readsUnderBox, 0u);
}

TEST_F(Df1, PlcTypeAndEntriesCheckedStoredAndWrittenOnline)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("B4001=6");   // the other bits of the byte are not the window's
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    frmK2950DF1 *w = open(m);
    // The online view is set up, the board's type not read yet: no choice counts.
    ASSERT_FALSE(w->plcTypeReady());
    QTest::keyClick(w->cboSetup, Qt::Key_Down);
    EXPECT_EQ(b.peek(4001), 6);
    EXPECT_EQ(CurrentSetup.Value[81], 0);

    pass(w);
    EXPECT_EQ(w->cboSetup->currentIndex(), 0);
    const std::pair<Qt::Key, int> choices[] = {{Qt::Key_Down, 1}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0}, {Qt::Key_End, 1}};
    for (const auto &[key, type] : choices) {
        QTest::keyClick(w->cboSetup, key);
        EXPECT_EQ(w->cboSetup->currentIndex(), type);
        EXPECT_EQ(b.peek(4001), 6 | type);
        EXPECT_EQ(CurrentSetup.Value[81], type);
    }
    // While the list is being edited the poll leaves it alone; Esc ends that.
    ASSERT_TRUE(w->fieldEditing(2));
    b.set("B4001.0=0");
    pass(w);
    EXPECT_EQ(w->cboSetup->currentIndex(), 1);
    QTest::keyClick(w->cboSetup, Qt::Key_Escape);
    EXPECT_FALSE(w->fieldEditing(2));
    pass(w);
    EXPECT_EQ(w->cboSetup->currentIndex(), 0);
    EXPECT_EQ(CurrentSetup.Value[81], 1);   // shown, not taken as a choice

    // Rejected: box, old value back, nothing stored or written.
    for (const char *typed : {"300", "-1", "abc"}) {
        SCOPED_TRACE(typed);
        dialogs.expectBox(kTitle, B::OK, kBounds);
        enter(w->txtSetup[0], QString::fromLatin1(typed));
        EXPECT_EQ(w->txtSetup[0]->text(), QStringLiteral("1"));
        EXPECT_EQ(b.peek(4050), 1);
        EXPECT_EQ(CurrentSetup.Value[82], 1);   // the default set-up's node
        EXPECT_TRUE(w->fieldEditing(0));        // still in the box
    }
    // Accepted: the rounded value is stored and written (halves to even).
    enter(w->txtSetup[0], QStringLiteral("20.6"));
    EXPECT_EQ(CurrentSetup.Value[82], 21);
    EXPECT_EQ(b.peek(4050), 21);
    EXPECT_FALSE(w->fieldEditing(0));
    enter(w->txtSetup[1], QStringLiteral("6.5"));
    EXPECT_EQ(CurrentSetup.Value[83], 6);
    EXPECT_EQ(b.peek(4011), 6);
    EXPECT_EQ(w->txtSetup[1]->text(), QStringLiteral("6"));   // the value taken, as the up-down steps it
    // An up-down step is taken at once.
    w->updSetup[1]->stepUp();
    EXPECT_EQ(b.peek(4011), 7);
    EXPECT_EQ(CurrentSetup.Value[83], 7);
    pass(w);
    EXPECT_EQ(w->txtSetup[1]->text(), QStringLiteral("7"));
    EXPECT_FALSE(Link->CommError);
}

TEST_F(Df1, OfflineWithAndWithoutOfflineEditing)
{
    frmMDIMain &m = startMain();
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    CurrentSetup.Value[81] = 2;   // any type but 0 is the SLC-500
    CurrentSetup.Value[82] = 7;
    CurrentSetup.Value[83] = 9;
    frmK2950DF1 *w = open(m);
    auto expectView = [&](bool editing) {
        for (int f = 0; f < 3; ++f)
            EXPECT_EQ(w->fraSetup[f]->isEnabled(), f == 2 && editing) << f;
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(w->lblDescription[i]->isEnabled(), i >= 9 && editing) << i;
        for (QLabel *d : w->lblDisplay) {
            EXPECT_FALSE(d->isEnabled());
            EXPECT_EQ(d->text(), QStringLiteral("-"));
        }
        EXPECT_EQ(w->cboSetup->isEnabled(), editing);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(w->txtSetup[i]->isEnabled(), editing);
            EXPECT_EQ(w->updSetup[i]->isEnabled(), editing);
        }
        EXPECT_EQ(w->cboSetup->currentIndex(), CurrentSetup.Value[81] == 0 ? 0 : 1);
        EXPECT_EQ(w->txtSetup[0]->text(), QString::number(CurrentSetup.Value[82]));
        EXPECT_EQ(w->txtSetup[1]->text(), QString::number(CurrentSetup.Value[83]));
    };
    expectView(false);

    m.mnuEditOfflineEditing_Click();
    steps(w, 3);
    expectView(true);

    // The access keys reach the list and both boxes; Tab follows the fields.
    QTest::keyClick(&m, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->cboSetup);
    EXPECT_TRUE(w->fieldEditing(2));
    QTest::keyClick(w->cboSetup, Qt::Key_Up);   // a choice, stored only
    EXPECT_EQ(CurrentSetup.Value[81], 0);
    QTest::keyClick(w->cboSetup, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->txtSetup[0]);
    EXPECT_FALSE(w->fieldEditing(2));
    QTest::keyClick(&m, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->txtSetup[1]);
    QTest::keyClick(&m, Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->txtSetup[0]);

    enter(w->txtSetup[0], QStringLiteral("99"));
    EXPECT_EQ(CurrentSetup.Value[82], 99);
    dialogs.expectBox(kTitle, B::OK, kBounds);
    enter(w->txtSetup[1], QStringLiteral("300"));
    EXPECT_EQ(CurrentSetup.Value[83], 9);
    w->updSetup[1]->stepDown();
    EXPECT_EQ(CurrentSetup.Value[83], 8);
    EXPECT_EQ(QApplication::focusWidget(), w->cmdDefault);

    // A half-typed entry is dropped when the view changes, not stored.
    QTest::mouseClick(w->txtSetup[0], Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), w->txtSetup[0]);
    w->txtSetup[0]->setText(QStringLiteral("42"));
    m.mnuEditOfflineEditing_Click();
    steps(w, 3);
    settle();
    EXPECT_EQ(CurrentSetup.Value[82], 99);
    EXPECT_FALSE(w->fieldEditing(0));
    expectView(false);
    EXPECT_EQ(Link->OnlineMode, false);
}

TEST_F(Df1, SilentBoardTakesTheWindowOfflineWithOneBox)
{
    // During a pass, or at the driver flag read: a failed read gives "0",
    // which is no news about the driver, so no driver warning either.
    for (bool atFlagRead : {false, true}) {
        SCOPED_TRACE(atFlagRead ? "at the driver flag read" : "during a pass");
        boardsim::PtyBoard &b = boardOnCom1();
        frmMDIMain &m = startMain();
        frmK2950DF1 *w = open(m);
        m.mnuViewOnline_Click();
        if (!atFlagRead)
            pass(w);
        ASSERT_TRUE(b.addFault("silence"));
        dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), B::Cancel);
        steps(w, 4);
        EXPECT_FALSE(Link->OnlineMode);
        EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
        EXPECT_EQ(shown(w), QStringList(9, QStringLiteral("-")));
        EXPECT_FALSE(w->txtSetup[0]->isEnabled());
        EXPECT_EQ(dialogs.boxes().size(), 1u);
        dialogs.clear();
        main.reset();
        board.reset();
    }
}

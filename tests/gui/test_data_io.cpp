// The shift data and I/O states windows against the simulated board: what
// they show online and offline, the momentary buttons, tab changes in the
// middle of a pass, bit decoding, and the fall to offline when the board
// goes silent.
#include "GuiFixture.h"
#include "frmData.h"
#include "frmLTIO.h"
#include <QGroupBox>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <set>

using B = Dialogs::Button;

namespace {
// Digit grouping is part of what is shown: a locale that groups.
void PinLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

// Steps the poll until one more online pass has ended.
void RunPass(PollLoop &poll)
{
    const quint64 before = poll.onlinePasses();
    for (int i = 0; i < 200 && poll.onlinePasses() == before; ++i)
        poll.step();
    EXPECT_GT(poll.onlinePasses(), before) << "no online pass ended";
}

template <class W>
W *Open(frmMDIMain &m, int index)
{
    m.mnuWindowForm_Click(index);
    auto *w = qobject_cast<W *>(m.ChildForms[index].data());
    EXPECT_NE(w, nullptr);
    return w;
}

const QColor kBlue(0, 0, 255);
const QColor kDarkRed(192, 0, 0);
QColor TextColour(QLabel *l) { return l->palette().color(QPalette::Active, QPalette::WindowText); }
}   // namespace

TEST_F(GuiTest, ShiftDataPagesShowTheBoardsCountsGrouped)
{
    PinLocale();
    struct Case {
        int tab;
        const char *set;
        int label;
        const char *text;
    };
    const Case cases[] = {
        {0, "B512=7", 0, "7"},
        {0, "W1020=12345", 1, "12,345"},
        {0, "W1022=2", 2, "2"},
        {0, "W1050=65535", 16, "65,535"},
        {1, "D1100=1234567", 17, "1,234,567"},
        {1, "D1104=60", 18, "60"},
        {1, "D1108=40", 19, "40"},
        {1, "W1116=1116", 20, "1,116"},
        {1, "W1118=3", 21, "3"},
        {1, "W1146=4", 35, "4"},
        {2, "D1200=655359999", 36, "655,359,999"},
        {2, "D1204=5", 37, "5"},
        {2, "D1208=6", 38, "6"},
        {2, "W1216=7", 39, "7"},
        {2, "W1218=8", 40, "8"},
        {2, "W1246=9", 54, "9"},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    for (const Case &c : cases)
        ASSERT_TRUE(b.set(c.set)) << c.set;
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    for (int tab = 0; tab < 3; ++tab) {
        SCOPED_TRACE(testing::Message() << "tab " << tab);
        w->tbsData->setCurrentIndex(tab);
        for (int page = 0; page < 3; ++page)
            EXPECT_EQ(w->fraData[page]->isHidden(), page != tab);
        RunPass(w->poll());   // may be the pass the tab change ended
        RunPass(w->poll());
        for (const Case &c : cases)
            if (c.tab == tab) {
                EXPECT_EQ(w->lblData[c.label]->text(), QString::fromLatin1(c.text)) << c.set;
            }
        EXPECT_TRUE(w->lblData[1]->isEnabled());
    }
    EXPECT_FALSE(Link->CommError);
}

TEST_F(GuiTest, ShiftDataScrapPercentagesOfBothShifts)
{
    PinLocale();
    struct Case {
        quint32 good, leaker, vision;
        const char *total, *leakerPct, *visionPct;
    };
    const Case cases[] = {
        {900, 60, 40, "10.00", "6.00", "4.00"},
        {0, 0, 0, "0.00", "0.00", "0.00"},   // the whole is taken as 1
        {0, 3, 0, "100.00", "100.00", "0.00"},
        {1, 1, 1, "66.67", "33.33", "33.33"},
        {655359999, 655359999, 655359999, "66.67", "33.33", "33.33"},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.good << "/" << c.leaker << "/" << c.vision);
        for (int shift = 0; shift < 2; ++shift) {
            b.pokeDecimal(1100 + 100 * shift, c.good);
            b.pokeDecimal(1104 + 100 * shift, c.leaker);
            b.pokeDecimal(1108 + 100 * shift, c.vision);
            w->tbsData->setCurrentIndex(shift + 1);
            RunPass(w->poll());
            RunPass(w->poll());
            const int first = 55 + 3 * shift;
            EXPECT_EQ(w->lblData[first]->text(), QString::fromLatin1(c.total));
            EXPECT_EQ(w->lblData[first + 1]->text(), QString::fromLatin1(c.leakerPct));
            EXPECT_EQ(w->lblData[first + 2]->text(), QString::fromLatin1(c.visionPct));
        }
    }
}

TEST_F(GuiTest, ShiftDataOfflineShowsTheStoredCountsOnEveryPageDisabled)
{
    PinLocale();
    frmMDIMain &m = startMain();
    // stored index -> value; the label shown is stored index - 26
    const std::pair<int, qint32> stored[] = {
        {27, 1},  {28, 2},          {42, 65535},      {43, 900},        {44, 60}, {45, 40}, {46, 1116},
        {61, 35}, {62, 2000000000}, {63, 2000000000}, {64, 2000000000}, {65, 39}, {80, 54},
    };
    for (const auto &[k, v] : stored)
        CurrentSetup.Value[k] = v;
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->tbsData->currentIndex(), 0);
    const std::pair<int, const char *> shown[] = {
        {0, "-"},      {1, "1"},      {2, "2"},      {16, "65,535"}, {17, "900"},
        {18, "60"},    {19, "40"},    {55, "10.00"}, {56, "6.00"},   {57, "4.00"},
        {20, "1,116"}, {35, "35"},    {39, "39"},    {54, "54"},     {36, "2,000,000,000"},
        {58, "66.67"}, {59, "33.33"}, {60, "33.33"},
    };
    for (const auto &[label, text] : shown)
        EXPECT_EQ(w->lblData[label]->text(), QString::fromLatin1(text)) << "label " << label;
    for (int i = 0; i < frmData::LabelCount; ++i) {
        EXPECT_FALSE(w->lblData[i]->isEnabled()) << i;
        EXPECT_FALSE(w->lblDescription[i]->isEnabled()) << i;
    }
    for (QGroupBox *g : w->fraDataDisplay)
        EXPECT_FALSE(g->isEnabled());
    EXPECT_FALSE(w->cmdResetRejects->isEnabled());
    EXPECT_FALSE(w->cmdEndofShift->isEnabled());

    // The offline view follows the set-up as it changes (an opened file, an upload).
    CurrentSetup.Value[43] = 1000;
    w->poll().step();
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("1,000"));
    EXPECT_EQ(w->lblData[55]->text(), QStringLiteral("9.09"));
}

TEST_F(GuiTest, ShiftDataButtonsHoldTheirFlagWhileTheMouseIsDown)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.show();
    m.mnuViewOnline_Click();
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    RunPass(w->poll());
    const std::tuple<QPushButton *, int, int> buttons[] = {{w->cmdResetRejects, 825, 0}, {w->cmdEndofShift, 87, 1}};
    for (const auto &[button, flag, tab] : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        w->tbsData->setCurrentIndex(tab);
        auto writes = [&b] { return b.stats().writes; };
        auto w0 = writes();
        QTest::mousePress(button, Qt::LeftButton);
        EXPECT_TRUE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 1u);
        // Released away from the button: still the release.
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));
        EXPECT_FALSE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 2u);

        // A double click, as the window system delivers it: the second
        // press comes as a double-click event, and holds the flag too.
        w0 = writes();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseDClick(button, Qt::LeftButton);
        EXPECT_TRUE(b.flag(flag));
        QTest::mouseRelease(button, Qt::LeftButton);
        EXPECT_FALSE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 4u);

        // The keyboard does nothing: Space, Enter, the click the access key makes.
        w0 = writes();
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        button->click();
        EXPECT_EQ(writes(), w0);
        EXPECT_FALSE(b.flag(flag));

        // Skipped while CommError is set.
        Link->CommError = true;
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        Link->CommError = false;
        EXPECT_EQ(writes(), w0);
    }
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(GuiTest, ShiftDataButtonPressedWhileDisabledWritesNoRelease)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    ASSERT_FALSE(w->cmdResetRejects->isEnabled());
    // Online chosen, but the view is still the offline one when the mouse goes down.
    m.mnuViewOnline_Click();
    const auto w0 = b.stats().writes;
    QTest::mousePress(w->cmdResetRejects, Qt::LeftButton);
    for (int i = 0; i < 3 && !w->cmdResetRejects->isEnabled(); ++i)
        w->poll().step();
    ASSERT_TRUE(w->cmdResetRejects->isEnabled());
    QTest::mouseRelease(w->cmdResetRejects, Qt::LeftButton);
    EXPECT_EQ(b.stats().writes, w0);
    // The next press and release are whole again.
    QTest::mousePress(w->cmdResetRejects, Qt::LeftButton);
    EXPECT_TRUE(b.flag(825));
    QTest::mouseRelease(w->cmdResetRejects, Qt::LeftButton);
    EXPECT_FALSE(b.flag(825));
}

TEST_F(GuiTest, ShiftDataTabChosenInAPassEndsItBeforeTheNextRead)
{
    PinLocale();
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("D1100=900");
    frmMDIMain &m = startMain();
    m.show();
    m.mnuViewOnline_Click();
    auto *w = Open<frmData>(m, 3);
    ASSERT_TRUE(w);
    RunPass(w->poll());
    for (int i = 0; i < 3; ++i)   // into the next pass of the first page
        w->poll().step();
    ASSERT_TRUE(w->poll().inPass());

    const auto reads = b.stats().reads;
    QTest::mouseClick(w->tbsData, Qt::LeftButton, {}, w->tbsData->tabRect(1).center());
    ASSERT_EQ(w->tbsData->currentIndex(), 1);
    EXPECT_FALSE(w->fraData[1]->isHidden());
    EXPECT_TRUE(w->fraData[0]->isHidden());
    w->poll().step();
    EXPECT_FALSE(w->poll().inPass());
    EXPECT_EQ(b.stats().reads, reads);
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("-"));
    w->poll().step();   // the next pass begins
    w->poll().step();   // and reads the new page first
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("900"));

    // The access keys choose the tabs too.
    QApplication::setActiveWindow(&m);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_L, 2}, {Qt::Key_R, 0}, {Qt::Key_C, 1}};
    for (const auto &[key, tab] : keys) {
        QTest::keyClick(&m, key, Qt::AltModifier);
        EXPECT_EQ(w->tbsData->currentIndex(), tab);
        EXPECT_FALSE(w->fraData[tab]->isHidden());
    }
}

TEST_F(GuiTest, IoStatesDecodeInputsBitsAndValues)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    auto *w = Open<frmLTIO>(m, 4);
    ASSERT_TRUE(w);

    // Every state label with its caption.
    std::vector<std::pair<QLabel *, QLabel *>> states = {{w->lblt6855[0], w->lblt6855State[0]},
                                                         {w->lblt6855[1], w->lblt6855State[1]}};
    for (int i = 0; i < 16; ++i) {
        states.emplace_back(w->lblTmgChannel[i], w->lblTmgChannelState[i]);
        states.emplace_back(w->lblSlot00[i], w->lblSlot00State[i]);
        states.emplace_back(w->lblSlot01[i], w->lblSlot01State[i]);
        states.emplace_back(w->lblSlot02[i], w->lblSlot02State[i]);
    }
    EXPECT_EQ(w->lblTmgChannel[15]->text(), QStringLiteral("CH17:"));
    EXPECT_EQ(w->lblSlot01[0]->text(), QStringLiteral("(B110.0)    0:"));
    EXPECT_EQ(w->lblSlot02[9]->text(), QStringLiteral("(B63.1)  11:"));

    struct Case {
        const char *set;
        std::set<QString> on;   // captions of the points that read ON
    };
    const Case cases[] = {
        {"F16=0", {}},
        {"F16=1", {QStringLiteral("IN0:")}},
        {"F17=1", {QStringLiteral("IN1:")}},
        {"W100=1025", {QStringLiteral("(B100.0)    0:"), QStringLiteral("(B101.2)  12:")}},
        {"W110=384", {QStringLiteral("(B110.7)    7:"), QStringLiteral("(B111.0)  10:")}},
        {"W62=32768", {QStringLiteral("(B63.7)  17:")}},
        {"B170=5", {QStringLiteral("CH00:"), QStringLiteral("CH02:")}},
        {"B171=255", {}},   // the timing channels are one byte
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.set);
        for (const char *zero : {"F16=0", "F17=0", "W100=0", "W110=0", "W62=0", "W170=0"})
            b.set(zero);
        ASSERT_TRUE(b.set(c.set));
        RunPass(w->poll());
        for (const auto &[caption, state] : states) {
            const bool on = c.on.count(caption->text()) > 0;
            EXPECT_EQ(state->text(), on ? QStringLiteral("ON") : QStringLiteral("off"))
                << caption->text().toStdString();
            EXPECT_EQ(TextColour(state), on ? kBlue : kDarkRed) << caption->text().toStdString();
        }
    }

    // The controller's values, as read: no digit grouping.
    PinLocale();
    // (the resolver position, W180, moves with the simulated machine)
    const std::tuple<int, const char *, const char *> values[] = {
        {2, "W162=1234", "1234"}, {3, "W164=65535", "65535"}, {4, "B166=200", "200"}, {5, "B167=7", "7"},
        {7, "W556=556", "556"},   {8, "W184=18400", "18400"}, {9, "W186=186", "186"}, {10, "W188=4660", "4660"},
    };
    for (const auto &[label, set, text] : values)
        ASSERT_TRUE(b.set(set));
    RunPass(w->poll());
    for (const auto &[label, set, text] : values)
        EXPECT_EQ(w->lblt6855State[label]->text(), QString::fromLatin1(text)) << set;
}

TEST_F(GuiTest, IoStatesOfflineShowDashesDisabledAndReadNothing)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W100=65535");
    frmMDIMain &m = startMain();
    auto *w = Open<frmLTIO>(m, 4);
    ASSERT_TRUE(w);
    std::vector<QLabel *> labels;
    for (int i = 0; i < 11; ++i)
        labels.insert(labels.end(), {w->lblt6855[i], w->lblt6855State[i]});
    for (int i = 0; i < 16; ++i)
        labels.insert(labels.end(),
                      {w->lblTmgChannel[i], w->lblTmgChannelState[i], w->lblSlot00[i], w->lblSlot00State[i],
                       w->lblSlot01[i], w->lblSlot01State[i], w->lblSlot02[i], w->lblSlot02State[i]});
    auto expectOffline = [&] {
        for (QGroupBox *g : w->fraBMIO)
            EXPECT_FALSE(g->isEnabled());
        for (QLabel *l : labels) {
            EXPECT_FALSE(l->isEnabled()) << l->objectName().toStdString();
            if (l->objectName().contains(QLatin1String("State"))) {
                EXPECT_EQ(l->text(), QStringLiteral("-")) << l->objectName().toStdString();
            }
        }
    };
    {
        SCOPED_TRACE("opened offline");
        expectOffline();
    }
    m.mnuViewOnline_Click();
    RunPass(w->poll());
    EXPECT_EQ(w->lblSlot00State[3]->text(), QStringLiteral("ON"));
    EXPECT_TRUE(w->lblSlot00State[3]->isEnabled());

    m.mnuViewOffline_Click();
    const auto reads = b.stats().reads;
    for (int i = 0; i < 5; ++i)
        w->poll().step();
    EXPECT_EQ(b.stats().reads, reads);
    SCOPED_TRACE("gone offline");
    expectOffline();
}

namespace {
// Online with the window open, then the board falls silent: the link's one
// box is answered Cancel and the poll takes the program offline.
ChildWindow *FallSilent(boardsim::PtyBoard &b, frmMDIMain &m, ScriptedDialogs &dialogs, int index, PollLoop *&poll)
{
    m.mnuViewOnline_Click();
    m.mnuWindowForm_Click(index);
    ChildWindow *child = m.ChildForms[index];
    poll = index == 3 ? &qobject_cast<frmData *>(child)->poll() : &qobject_cast<frmLTIO *>(child)->poll();
    RunPass(*poll);
    EXPECT_TRUE(b.addFault("silence"));
    dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), B::Cancel);
    for (int i = 0; i < 50 && !(poll->offlineViewReady() && !Link->OnlineMode); ++i)
        poll->step();
    EXPECT_FALSE(Link->OnlineMode);
    for (int i = 0; i < 5; ++i)   // no second box
        poll->step();
    EXPECT_EQ(dialogs.boxes().size(), 1u);
    return child;
}
}   // namespace

TEST_F(GuiTest, ShiftDataGoesOfflineWhenTheBoardFallsSilent)
{
    boardsim::PtyBoard &b = boardOnCom1();
    PollLoop *poll = nullptr;
    auto *w = qobject_cast<frmData *>(FallSilent(b, startMain(), dialogs, 3, poll));
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->lblData[1]->isEnabled());
    EXPECT_FALSE(w->cmdResetRejects->isEnabled());
    EXPECT_EQ(w->lblData[0]->text(), QStringLiteral("-"));
}

TEST_F(GuiTest, IoStatesGoOfflineWhenTheBoardFallsSilent)
{
    boardsim::PtyBoard &b = boardOnCom1();
    PollLoop *poll = nullptr;
    auto *w = qobject_cast<frmLTIO *>(FallSilent(b, startMain(), dialogs, 4, poll));
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->lblSlot00State[0]->isEnabled());
    EXPECT_EQ(w->lblSlot00State[0]->text(), QStringLiteral("-"));
    EXPECT_EQ(w->lblt6855State[2]->text(), QStringLiteral("-"));
}

// Not a check: pictures of both windows, every page, online and offline, for
// a person to look at. Runs only when ORVEL_SCREENSHOT_DIR names a folder.
namespace {
QString ShotDir() { return qEnvironmentVariable("ORVEL_SCREENSHOT_DIR"); }

void Shoot(QWidget *w, const QString &name)
{
    QTest::qWait(300);   // let the window manager and the paint settle
    w->grab().save(ShotDir() + QLatin1Char('/') + name + QStringLiteral("-grab.png"));
    if (!qEnvironmentVariable("DISPLAY").isEmpty())
        QProcess::execute(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-window"), QStringLiteral("root"),
                           ShotDir() + QLatin1Char('/') + name + QStringLiteral(".png")});
}
}   // namespace

TEST_F(GuiTest, DataIoScreenshots)
{
    if (ShotDir().isEmpty())
        GTEST_SKIP() << "ORVEL_SCREENSHOT_DIR not set";
    QDir().mkpath(ShotDir());
    boardsim::PtyBoard &b = boardOnCom1();
    for (const char *set : {"B512=12", "W1020=1234", "W1050=65535", "D1100=1234567", "D1104=60000", "D1108=40000",
                            "W1116=4321", "D1200=655359999", "D1204=5", "D1208=6", "W1246=999", "F16=1", "W162=4095",
                            "W100=1025", "W62=32768", "B170=5", "W110=65535"})
        b.set(set);
    frmMDIMain &m = startMain();
    for (int k = 26; k <= 80; ++k)
        CurrentSetup.Value[k] = 1000 * k + k;
    m.move(0, 0);
    m.show();
    const char *const pages[3] = {"rejects", "current", "last"};
    for (const bool online : {false, true}) {
        if (online)
            m.mnuViewOnline_Click();
        const QString mode = online ? QStringLiteral("online") : QStringLiteral("offline");
        auto *w = Open<frmData>(m, 3);
        for (int tab = 0; tab < 3; ++tab) {
            w->tbsData->setCurrentIndex(tab);
            Shoot(&m, QStringLiteral("frmData-%1-%2").arg(QLatin1String(pages[tab]), mode));
        }
        Open<frmLTIO>(m, 4);
        Shoot(&m, QStringLiteral("frmLTIO-io-%1").arg(mode));
        m.mnuWindowForm_Click(0);
    }
}

// The shift data and I/O states windows against the simulated board: what
// they show online and offline, the momentary buttons, tab changes in the
// middle of a pass, bit decoding, and the fall to offline when the board
// goes silent.
#include "GuiFixture.h"
#include "frmData.h"
#include "frmLTIO.h"
#include <QGroupBox>
#include <QLocale>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <set>

using B = Dialogs::Button;

namespace {
// Digit grouping is part of what is shown: a locale that groups.
void PinLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

const QColor kBlue(0, 0, 255);
const QColor kDarkRed(192, 0, 0);
// The colour a label's text is drawn in.
QColor TextColour(QLabel *l) { return l->palette().color(QPalette::Active, l->foregroundRole()); }
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
    // Neighbouring pockets differ, so a wrong address step shows.
    // clang-format off
    const Case cases[] = {
        {0, "B512=7", 0, "7"},                 {0, "W1020=12345", 1, "12,345"}, {0, "W1022=2", 2, "2"},
        {0, "W1050=65535", 16, "65,535"},      {1, "D1100=1234567", 17, "1,234,567"},
        {1, "D1104=60", 18, "60"},             {1, "D1108=40", 19, "40"},       {1, "W1116=1116", 20, "1,116"},
        {1, "W1118=3", 21, "3"},               {1, "W1146=4", 35, "4"},
        {2, "D1200=655359999", 36, "655,359,999"}, {2, "D1204=5", 37, "5"},   {2, "D1208=6", 38, "6"},
        {2, "W1216=7", 39, "7"},               {2, "W1218=8", 40, "8"},         {2, "W1246=9", 54, "9"}};
    // clang-format on
    boardsim::PtyBoard &b = boardOnCom1();
    for (const Case &c : cases)
        ASSERT_TRUE(b.set(c.set)) << c.set;
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    auto *w = openChild<frmData>(3);
    ASSERT_TRUE(w);
    for (int tab = 0; tab < 3; ++tab) {
        SCOPED_TRACE(testing::Message() << "tab " << tab);
        w->tbsData->setCurrentIndex(tab);
        runPass(w->poll());   // may be the pass the tab change ended
        runPass(w->poll());
        for (const Case &c : cases) {
            if (c.tab == tab) {
                EXPECT_EQ(w->lblData[c.label]->text(), QString::fromLatin1(c.text)) << c.set;
                EXPECT_TRUE(ShowsWithRoom(w->lblData[c.label], QString::fromLatin1(c.text)));
            }
        }
    }
    EXPECT_FALSE(Link->CommError);

    // Scrap percentages of both shifts.
    struct Scrap {
        quint32 good, leaker, vision;
        const char *pct[3];   // total, leaker, vision
    };
    const Scrap scraps[] = {{900, 60, 40, {"10.00", "6.00", "4.00"}},
                            {0, 0, 0, {"0.00", "0.00", "0.00"}},   // the whole is taken as 1
                            {0, 3, 0, {"100.00", "100.00", "0.00"}},
                            {655359999, 655359999, 655359999, {"66.67", "33.33", "33.33"}}};
    for (const Scrap &c : scraps) {
        SCOPED_TRACE(testing::Message() << c.good << "/" << c.leaker << "/" << c.vision);
        for (int shift = 0; shift < 2; ++shift) {
            b.pokeDecimal(1100 + 100 * shift, c.good);
            b.pokeDecimal(1104 + 100 * shift, c.leaker);
            b.pokeDecimal(1108 + 100 * shift, c.vision);
            w->tbsData->setCurrentIndex(shift + 1);
            runPass(w->poll());
            runPass(w->poll());
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(w->lblData[55 + 3 * shift + k]->text(), QString::fromLatin1(c.pct[k])) << shift;
        }
    }
}

TEST_F(GuiTest, ShiftDataOfflineShowsTheStoredCountsOnEveryPageDisabled)
{
    PinLocale();
    startMain();
    // Stored at value index + 26. The last shift's counts pass 2^31 when added.
    const std::pair<int, qint32> stored[] = {{27, 1},          {28, INT32_MIN},        {42, 65535},      {43, 900},
                                             {44, 60},         {45, 40},         {46, 1116},       {61, 35},
                                             {62, 2000000000}, {63, 2000000000}, {64, 2000000000}, {80, 54}};
    for (const auto &[k, v] : stored)
        CurrentSetup.Value[k] = v;
    auto *w = openChild<frmData>(3);
    ASSERT_TRUE(w);
    const std::pair<int, const char *> shown[] = {
        {0, "-"},      {1, "1"},      {2, "-2,147,483,648"}, {16, "65,535"}, {17, "900"}, {18, "60"}, {19, "40"},
        {55, "10.00"}, {56, "6.00"},  {57, "4.00"}, {20, "1,116"},  {35, "35"},  {54, "54"}, {36, "2,000,000,000"},
        {58, "66.67"}, {59, "33.33"}, {60, "33.33"}};
    for (const auto &[label, text] : shown) {
        EXPECT_EQ(w->lblData[label]->text(), QString::fromLatin1(text)) << "label " << label;
        EXPECT_TRUE(ShowsWithRoom(w->lblData[label], QString::fromLatin1(text)));
    }
    for (int i = 0; i < frmData::LabelCount; ++i)
        EXPECT_FALSE(w->lblData[i]->isEnabled() || w->lblDescription[i]->isEnabled()) << i;
    EXPECT_FALSE(w->fraDataDisplay[6]->isEnabled() || w->cmdResetRejects->isEnabled() || w->cmdEndofShift->isEnabled());

    // The offline view follows the set-up as it changes (an opened file, an upload).
    CurrentSetup.Value[43] = 1000;
    w->poll().step();
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("1,000"));
    EXPECT_EQ(w->lblData[55]->text(), QStringLiteral("9.09"));
}

TEST_F(GuiTest, ShiftDataTabChangeEndsThePassAndButtonsHoldTheirFlag)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("D1100=900");
    frmMDIMain &m = startMain();
    m.show();
    m.mnuViewOnline_Click();
    auto *w = openChild<frmData>(3);
    ASSERT_TRUE(w);
    runPass(w->poll());
    for (int i = 0; i < 3; ++i)   // into the next pass of the first page
        w->poll().step();
    ASSERT_TRUE(w->poll().inPass());

    const auto reads = b.stats().reads;
    QTest::mouseClick(w->tbsData, Qt::LeftButton, {}, w->tbsData->tabRect(1).center());
    ASSERT_EQ(w->tbsData->currentIndex(), 1);
    EXPECT_TRUE(!w->fraData[1]->isHidden() && w->fraData[0]->isHidden());
    w->poll().step();
    EXPECT_FALSE(w->poll().inPass());
    EXPECT_EQ(b.stats().reads, reads);
    w->poll().step();   // the next pass begins
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("-"));
    w->poll().step();   // and reads the new page first
    EXPECT_EQ(w->lblData[17]->text(), QStringLiteral("900"));

    // The access keys choose the tabs too.
    QApplication::setActiveWindow(&m);
    for (const auto &[key, tab] : {std::pair{Qt::Key_L, 2}, {Qt::Key_R, 0}, {Qt::Key_C, 1}}) {
        QTest::keyClick(&m, key, Qt::AltModifier);
        EXPECT_EQ(w->tbsData->currentIndex(), tab);
        EXPECT_FALSE(w->fraData[tab]->isHidden());
    }

    auto writes = [&b] { return b.stats().writes; };
    const std::tuple<QPushButton *, int, int> buttons[] = {{w->cmdResetRejects, 825, 0}, {w->cmdEndofShift, 87, 1}};
    for (const auto &[button, flag, tab] : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        w->tbsData->setCurrentIndex(tab);
        auto w0 = writes();
        QTest::mousePress(button, Qt::LeftButton);
        EXPECT_TRUE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 1u);
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-40, -40));   // away from the button
        EXPECT_FALSE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 2u);

        // A double click as the window system delivers it: the second press
        // comes as a double-click event and holds the flag too.
        w0 = writes();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseDClick(button, Qt::LeftButton);
        EXPECT_TRUE(b.flag(flag));
        QTest::mouseRelease(button, Qt::LeftButton);
        EXPECT_FALSE(b.flag(flag));
        EXPECT_EQ(writes() - w0, 4u);

        // Nothing from the keyboard (Space, Enter, the click of the access
        // key), nor while CommError is set.
        w0 = writes();
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        button->click();
        Link->CommError = true;
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        Link->CommError = false;
        EXPECT_EQ(writes(), w0);
    }

    // Online chosen but the view still the offline one when the mouse goes
    // down: no 1, so no 0 on the release after the view is enabled.
    m.mnuViewOffline_Click();
    for (int i = 0; i < 5 && w->cmdResetRejects->isEnabled(); ++i)
        w->poll().step();
    ASSERT_FALSE(w->cmdResetRejects->isEnabled());
    m.mnuViewOnline_Click();
    const auto w0 = writes();
    QTest::mousePress(w->cmdResetRejects, Qt::LeftButton);
    for (int i = 0; i < 3 && !w->cmdResetRejects->isEnabled(); ++i)
        w->poll().step();
    ASSERT_TRUE(w->cmdResetRejects->isEnabled());
    QTest::mouseRelease(w->cmdResetRejects, Qt::LeftButton);
    EXPECT_EQ(writes(), w0);
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(GuiTest, IoStatesDecodeInputsBitsAndValues)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    auto *w = openChild<frmLTIO>(4);
    ASSERT_TRUE(w);
    // Every state label with its caption.
    std::vector<std::pair<QLabel *, QLabel *>> states = {{w->lblt6855[0], w->lblt6855State[0]},
                                                         {w->lblt6855[1], w->lblt6855State[1]}};
    for (int i = 0; i < 16; ++i)
        states.insert(states.end(),
                      {{w->lblTmgChannel[i], w->lblTmgChannelState[i]},
                       {w->lblSlot00[i], w->lblSlot00State[i]},
                       {w->lblSlot01[i], w->lblSlot01State[i]},
                       {w->lblSlot02[i], w->lblSlot02State[i]}});
    struct Case {
        const char *set;
        std::set<QString> on;   // captions of the points that read ON
    };
    const Case cases[] = {{"F16=0", {}},
                          {"F16=1", {"IN0:"}},
                          {"F17=1", {"IN1:"}},
                          {"W100=1025", {"(B100.0)    0:", "(B101.2)  12:"}},
                          {"W110=384", {"(B110.7)    7:", "(B111.0)  10:"}},
                          {"W62=32768", {"(B63.7)  17:"}},
                          {"B170=5", {"CH00:", "CH02:"}},
                          {"B171=255", {}}};   // the timing channels are one byte
    for (const Case &c : cases) {
        SCOPED_TRACE(c.set);
        for (const char *zero : {"F16=0", "F17=0", "W100=0", "W110=0", "W62=0", "W170=0"})
            b.set(zero);
        ASSERT_TRUE(b.set(c.set));
        runPass(w->poll());
        for (const auto &[caption, state] : states) {
            const bool on = c.on.count(caption->text()) > 0;
            EXPECT_EQ(state->text(), on ? QStringLiteral("ON") : QStringLiteral("off"))
                << caption->text().toStdString();
            EXPECT_EQ(TextColour(state), on ? kBlue : kDarkRed) << caption->text().toStdString();
        }
    }

    // The controller's values as read, without digit grouping. (The resolver
    // position, W180, moves with the simulated machine.)
    PinLocale();
    const std::tuple<int, const char *, const char *> values[] = {
        {2, "W162=1234", "1234"}, {3, "W164=65535", "65535"}, {4, "B166=200", "200"}, {5, "B167=7", "7"},
        {7, "W556=556", "556"},   {8, "W184=18400", "18400"}, {9, "W186=186", "186"}, {10, "W188=4660", "4660"}};
    for (const auto &[label, set, text] : values)
        ASSERT_TRUE(b.set(set));
    runPass(w->poll());
    for (const auto &[label, set, text] : values)
        EXPECT_EQ(w->lblt6855State[label]->text(), QString::fromLatin1(text)) << set;
}

TEST_F(GuiTest, IoStatesOfflineShowDashesDisabledAndReadNothing)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W100=65535");
    frmMDIMain &m = startMain();
    auto *w = openChild<frmLTIO>(4);
    ASSERT_TRUE(w);
    auto expectOffline = [w] {
        for (QGroupBox *g : w->fraBMIO) {
            EXPECT_FALSE(g->isEnabled());
            for (QLabel *l : g->findChildren<QLabel *>()) {
                EXPECT_FALSE(l->isEnabled()) << l->objectName().toStdString();
                if (l->objectName().contains(QLatin1String("State"))) {
                    EXPECT_EQ(l->text(), QStringLiteral("-")) << l->objectName().toStdString();
                }
            }
        }
    };
    auto goOnline = [&] {
        m.mnuViewOnline_Click();
        runPass(w->poll());
        EXPECT_EQ(w->lblSlot00State[3]->text(), QStringLiteral("ON"));
        EXPECT_TRUE(w->lblSlot00State[3]->isEnabled());
    };
    // The poll settles offline and then reads nothing.
    auto settleOffline = [&] {
        for (int i = 0; i < 20 && (Link->OnlineMode || !w->poll().offlineViewReady()); ++i)
            w->poll().step();
        EXPECT_FALSE(Link->OnlineMode);
        const auto reads = b.stats().reads;
        for (int i = 0; i < 5; ++i)
            w->poll().step();
        EXPECT_EQ(b.stats().reads, reads);
        expectOffline();
    };
    {
        SCOPED_TRACE("opened offline");
        settleOffline();
    }
    {
        SCOPED_TRACE("Offline chosen");
        goOnline();
        m.mnuViewOffline_Click();
        settleOffline();
    }
    {
        SCOPED_TRACE("board fallen silent: one box, answered Cancel");
        goOnline();
        ASSERT_TRUE(b.addFault("silence"));
        dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), B::Cancel);
        settleOffline();
    }
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

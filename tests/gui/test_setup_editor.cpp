// The set-up editor against the simulated board: what each page shows, the
// editing rules and what reaches the board, offline editing, the board
// commands, the poll's reads, and the fall to offline of a dead link.
#include "EntryFields.h"
#include "GuiFixture.h"
#include "UpDown.h"
#include "frmSetup.h"
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <string>
#include <vector>

using B = Dialogs::Button;

namespace {
const QString kCommBox = QStringLiteral("WARNING - Communication Error!");

// Runs the poll until n more passes have finished (online or offline).
void Passes(frmSetup *w, int n = 2)
{
    const quint64 target = w->poll().passes() + quint64(n);
    for (int k = 0; k < 500 && w->poll().passes() < target; ++k)
        w->poll().step();
}
}   // namespace

class SetupEditorGuiTest : public GuiTest {
protected:
    // The editor open on the main window, online when a board is given.
    frmSetup *open(bool online)
    {
        frmMDIMain &m = startMain();
        m.show();
        QApplication::setActiveWindow(&m);
        if (online)
            m.mnuViewOnline_Click();
        m.mnuWindowForm_Click(1);
        w = qobject_cast<frmSetup *>(m.ChildForms[1].data());
        EXPECT_NE(w, nullptr);
        Passes(w);
        return w;
    }
    void page(int tab)
    {
        w->tbsSetup->setCurrentIndex(tab - 1);
        Passes(w);
    }
    // Clicks into field i, types text and leaves it with key.
    void type(int i, const QString &text, Qt::Key key = Qt::Key_Tab)
    {
        QTest::mouseClick(w->txtSetup[i], Qt::LeftButton);
        w->txtSetup[i]->selectAll();
        QTest::keyClick(w->txtSetup[i], Qt::Key_Delete);
        QTest::keyClicks(w->txtSetup[i], text);
        QTest::keyClick(w->txtSetup[i], key);
    }
    // Leaves the field that has the focus without checking it (Esc twice).
    void leave()
    {
        if (auto *t = qobject_cast<QLineEdit *>(QApplication::focusWidget())) {
            QTest::keyClick(t, Qt::Key_Escape);
            QTest::keyClick(t, Qt::Key_Escape);
        }
        QCoreApplication::processEvents();
    }
    frmSetup *w = nullptr;
};

TEST_F(SetupEditorGuiTest, EachPageShowsTheBoardValuesInTheirFormats)
{
    struct Case {
        int tab;
        std::vector<std::string> board;
        int field;
        const char *shown;
    };
    const Case cases[] = {
        {1, {"B999=7"}, 0, "7"},           {1, {"B1001=31"}, 2, "31"},
        {1, {"B512=9"}, 31, "9"},          {1, {"F70=1", "B599=4"}, 32, "4"},
        {1, {"F70=0", "B599=4"}, 32, "-"}, {2, {"W1014=220"}, 5, "220"},
        {2, {"B646=45"}, 8, "22.5"},       {2, {"B644=255"}, 9, "127.5"},
        {2, {"B645=0"}, 10, "0.0"},        {3, {"W1010=359"}, 14, "359"},
        {3, {"W180=64"}, 15, "90"},        {3, {"W180=64"}, 16, "64"},
        {3, {"W180=1"}, 15, "1"},          {3, {"W180=255"}, 15, "359"},
        {3, {"W180=320"}, 15, "90"},   // counts past one turn
        {4, {"W1002=1234"}, 17, "1234"},   {4, {"B1012=123"}, 19, "12.3"},
        {4, {"B650=5"}, 21, "0.5"},        {4, {"B655=3"}, 24, "3"},
        {4, {"W556=600"}, 25, "600"},      {5, {"W556=600"}, 26, "600"},
        {5, {"W560=64"}, 27, "90"},        {5, {"W566=255"}, 30, "359"},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    open(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "tab " << c.tab << " field " << c.field);
        for (const std::string &s : c.board)
            ASSERT_TRUE(b.set(s));
        page(c.tab);
        const QString shown =
            frmSetup::isEditIndex(c.field) ? w->txtSetup[c.field]->text() : w->lblDisplay[c.field]->text();
        EXPECT_EQ(shown, QString::fromLatin1(c.shown));
    }
    page(3);
    for (const auto &[f56, enabled] : {std::pair{"F56=0", false}, std::pair{"F56=1", true}}) {
        b.set(f56);
        Passes(w);
        EXPECT_EQ(w->cmdZeroResolver->isEnabled(), enabled) << f56;
    }
    EXPECT_FALSE(Link->CommError);
}

TEST_F(SetupEditorGuiTest, EntriesAreCheckedStoredAndWritten)
{
    struct Case {
        int field;
        const char *typed;
        int result;   // -1: rejected
    };
    const Case cases[] = {
        {5, "400", -1},  {5, "", -1},     {5, "12a", -1},  {5, "179", -1}, {5, "350", 350},
        {7, "20.6", 21}, {7, "20.5", 20}, {7, "21.5", 22}, {6, " 8 ", 8},  {6, "51", -1},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W1014=220");
    b.set("W1016=20");
    b.set("W1018=100");
    open(true);
    page(2);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "field " << c.field << " '" << c.typed << "'");
        leave();
        const int addr = w->fieldAddress(c.field).mid(1).toInt();
        const int before = b.peekWord(addr);
        const qint32 stored = CurrentSetup.Value[c.field];
        const quint64 writes = b.stats().writes;
        if (c.result < 0) {
            const QString lower = QString::number(w->updSetup[c.field]->Min());
            const QString upper = QString::number(w->updSetup[c.field]->Max());
            dialogs.expectBox(QStringLiteral("Set-up") + w->lblDescription[c.field]->text(), B::OK,
                              QStringLiteral("Only a Number Between %1 and %2 can be Entered").arg(lower, upper));
        }
        type(c.field, QString::fromLatin1(c.typed));
        if (c.result < 0) {
            EXPECT_EQ(w->txtSetup[c.field]->text(), QString::number(before));
            EXPECT_TRUE(w->txtSetup[c.field]->hasFocus());
            EXPECT_EQ(b.stats().writes, writes);
            EXPECT_EQ(CurrentSetup.Value[c.field], stored);
        } else {
            EXPECT_EQ(CurrentSetup.Value[c.field], c.result);
            EXPECT_EQ(b.peekWord(addr), c.result);
            Passes(w);
            EXPECT_EQ(w->txtSetup[c.field]->text(), QString::number(c.result));
        }
    }
    EXPECT_EQ(dialogs.boxes().at(0).title, QStringLiteral("Set-upCan &Neck Size (0.01 in.):"));
}

TEST_F(SetupEditorGuiTest, EscEnterTabAndUpDown)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W1014=220");
    b.set("W1016=20");
    open(true);
    page(2);
    QLineEdit *neck = w->txtSetup[5];
    const quint64 writes = b.stats().writes;
    QTest::mouseClick(neck, Qt::LeftButton);
    QTest::keyClicks(neck, QStringLiteral("300"));
    QTest::keyClick(neck, Qt::Key_Escape);
    EXPECT_EQ(neck->text(), QStringLiteral("220"));
    EXPECT_TRUE(neck->hasFocus());
    EXPECT_TRUE(w->entries().editing(5));
    QTest::keyClicks(neck, QStringLiteral("310"));
    QTest::keyClick(neck, Qt::Key_Escape);
    QTest::keyClick(neck, Qt::Key_Escape);
    EXPECT_EQ(neck->text(), QStringLiteral("220"));
    EXPECT_TRUE(w->cmdDefault->hasFocus());
    EXPECT_FALSE(w->entries().editing(5));
    EXPECT_EQ(b.stats().writes, writes);

    type(5, QStringLiteral("230"), Qt::Key_Return);
    EXPECT_EQ(b.peekWord(1014), 230);
    EXPECT_TRUE(w->txtSetup[6]->hasFocus());

    // Passing through a field writes what it shows, changed on the board or not.
    Passes(w);
    b.set("W1016=33");
    QTest::keyClick(w->txtSetup[6], Qt::Key_Tab);
    EXPECT_EQ(b.peekWord(1016), 20);

    w->updSetup[5]->stepUp();
    EXPECT_EQ(b.peekWord(1014), 231);
    EXPECT_EQ(CurrentSetup.Value[5], 231);
    EXPECT_TRUE(w->cmdDefault->hasFocus());
}

TEST_F(SetupEditorGuiTest, AccessKeysAndTabOrder)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W1014=220");
    open(true);
    frmMDIMain &m = *main;
    QTest::keyClick(&m, Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(w->tbsSetup->currentIndex(), 1);
    EXPECT_EQ(w->firstIndex(), 5);
    QTest::keyClick(&m, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(w->txtSetup[5]->hasFocus());
    QTest::keyClicks(w->txtSetup[5], QStringLiteral("300"));
    QTest::keyClick(&m, Qt::Key_M, Qt::AltModifier);   // leaves the field (accepted), on to page 3
    QCoreApplication::processEvents();
    EXPECT_EQ(w->tbsSetup->currentIndex(), 2);
    EXPECT_TRUE(w->tbsSetup->hasFocus());
    EXPECT_EQ(b.peekWord(1014), 300);
    b.set("F56=1");
    Passes(w);
    QTest::keyClick(&m, Qt::Key_0, Qt::AltModifier);
    for (QWidget *next : {static_cast<QWidget *>(w->txtSetup[12]), static_cast<QWidget *>(w->txtSetup[13]),
                          static_cast<QWidget *>(w->txtSetup[14]), static_cast<QWidget *>(w->cmdZeroResolver)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    for (const auto &[key, tab] : {std::pair{Qt::Key_C, 3}, std::pair{Qt::Key_I, 4}, std::pair{Qt::Key_R, 0}}) {
        QTest::keyClick(&m, key, Qt::AltModifier);
        EXPECT_EQ(w->tbsSetup->currentIndex(), tab);
    }
}

TEST_F(SetupEditorGuiTest, OfflineShowsTheSetupAndEditsItOnlyWhenAllowed)
{
    boardsim::PtyBoard &b = boardOnCom1();
    open(false);
    CurrentSetup.Value[5] = 250;    // neck size
    CurrentSetup.Value[6] = 20;     // reject pulse
    CurrentSetup.Value[8] = 45;     // can time
    CurrentSetup.Value[17] = 123;   // FIFO max (field 19)
    CurrentSetup.Value[23] = 64;    // reject receiver (field 27)
    CurrentSetup.Value[16] = 7;     // cans in FIFO (field 18)
    auto shows = [&](int tab, int field, const char *text) {
        page(tab);
        EXPECT_EQ(frmSetup::isEditIndex(field) ? w->txtSetup[field]->text() : w->lblDisplay[field]->text(),
                  QString::fromLatin1(text))
            << "field " << field;
    };
    shows(2, 5, "250");
    shows(2, 8, "22.5");
    shows(3, 15, "-");
    shows(3, 16, "-");
    shows(4, 18, "7");
    shows(4, 19, "12.3");
    shows(4, 25, "-");
    shows(5, 26, "-");
    shows(5, 27, "90");
    shows(1, 31, "-");
    shows(1, 32, "-");

    auto editable = [&](bool on) {
        for (int i = 0; i < frmSetup::EditCount; ++i)
            if (frmSetup::isEditIndex(i)) {
                EXPECT_EQ(w->txtSetup[i]->isEnabled(), on) << i;
                EXPECT_EQ(w->updSetup[i]->isEnabled(), on) << i;
            }
        for (QPushButton *cmd : {w->cmdZeroResolver, w->cmdTestBlowoff, w->cmdCalibrateFIFO})
            EXPECT_FALSE(cmd->isEnabled());
        EXPECT_FALSE(w->lblDisplay[8]->isEnabled());
    };
    editable(false);
    main->mnuEditOfflineEditing_Click();
    Passes(w);
    editable(true);
    EXPECT_TRUE(w->lblDescription[14]->isEnabled());
    EXPECT_FALSE(w->lblDescription[8]->isEnabled());

    const auto bytesIn = b.stats().bytesIn;
    page(2);
    type(5, QStringLiteral("260"));
    w->updSetup[6]->stepUp();
    EXPECT_EQ(CurrentSetup.Value[5], 260);
    EXPECT_EQ(CurrentSetup.Value[6], 21);
    EXPECT_EQ(b.stats().bytesIn, bytesIn);

    main->mnuEditOfflineEditing_Click();
    Passes(w);
    editable(false);
}

TEST_F(SetupEditorGuiTest, BoardCommands)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W180=64");
    open(true);
    page(3);
    const QString question =
        QStringLiteral("You are about change the Resolver offset.\r\n\r\nDo you wish to continue?");
    quint64 readsUnderBox = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) {
        const quint64 reads = b.stats().reads;
        Passes(w, 1);
        readsUnderBox += b.stats().reads - reads;
    };
    for (B answer : {B::No, B::Cancel, B::Yes}) {
        const quint64 writes = b.stats().writes;
        dialogs.expectBox(QStringLiteral("Zero Resolver"), answer, question);
        w->cmdZeroResolver->click();
        EXPECT_EQ(b.stats().writes - writes, answer == B::Yes ? 1u : 0u);
        EXPECT_EQ(b.peekWord(180), answer == B::Yes ? 0 : 64);   // the board zeroed its position
    }
    EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Question);
    EXPECT_EQ(dialogs.boxes().back().buttons, Dialogs::Buttons::YesNoCancel);
    EXPECT_EQ(readsUnderBox, 0u);
    dialogs.onBox = nullptr;

    quint64 writes = b.stats().writes;
    w->cmdTestBlowoff->click();
    EXPECT_EQ(b.stats().writes - writes, 1u);

    for (const char *s : {"B1012=50", "B655=1", "B656=2", "B657=3"})
        b.set(s);
    writes = b.stats().writes;
    w->cmdCalibrateFIFO->click();
    EXPECT_EQ(b.stats().writes - writes, 4u);
    EXPECT_EQ(b.peek(1012), 0);   // the board ran its calibration
    for (int a : {655, 656, 657})
        EXPECT_EQ(b.peek(a), 0);

    Link->CommError = true;   // a failed link: nothing is sent
    writes = b.stats().writes;
    w->cmdCalibrateFIFO_Click();
    w->cmdTestBlowoff_Click();
    EXPECT_EQ(b.stats().writes, writes);
    Link->CommError = false;
}

TEST_F(SetupEditorGuiTest, OnePassReadsTheShownPageAndATabChangeEndsIt)
{
    struct Case {
        int tab;
        const char *f70;
        quint64 byteReads;
    };
    // Words are two byte reads; fields 3 and 4 add the rejected pocket, the
    // array fault flag and, when set, the faulted head.
    const Case cases[] = {{1, "F70=0", 7},  {1, "F70=1", 8},  {2, "F70=1", 9},
                          {3, "F70=1", 11}, {4, "F70=1", 11}, {5, "F70=1", 10}};
    boardsim::PtyBoard &b = boardOnCom1();
    open(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "tab " << c.tab << " " << c.f70);
        b.set(c.f70);
        page(c.tab);
        const quint64 reads = b.stats().reads;
        Passes(w, 1);
        EXPECT_EQ(b.stats().reads - reads, c.byteReads);
    }

    page(1);
    b.set("W1014=222");
    w->poll().step();   // the pass begins
    w->poll().step();   // first field read
    const quint64 reads = b.stats().reads;
    const quint64 passes = w->poll().onlinePasses();
    w->tbsSetup->setCurrentIndex(1);
    w->poll().step();
    EXPECT_EQ(b.stats().reads, reads);
    EXPECT_EQ(w->poll().onlinePasses(), passes + 1);
    Passes(w, 1);
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("222"));
}

TEST_F(SetupEditorGuiTest, ViewChangeDropsAHalfTypedEntry)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W1014=220");
    open(false);
    main->mnuEditOfflineEditing_Click();
    page(2);
    const qint32 stored = CurrentSetup.Value[5];
    // Typed offline, not left yet: going online neither checks nor writes it.
    QTest::mouseClick(w->txtSetup[5], Qt::LeftButton);
    QTest::keyClicks(w->txtSetup[5], QStringLiteral("300"));
    main->mnuViewOnline_Click();
    Passes(w);
    QCoreApplication::processEvents();
    EXPECT_EQ(b.peekWord(1014), 220);
    EXPECT_EQ(CurrentSetup.Value[5], stored);
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("220"));
    // Out of range and not left: going offline shows no box.
    QTest::mouseClick(w->txtSetup[5], Qt::LeftButton);
    QTest::keyClicks(w->txtSetup[5], QStringLiteral("9"));
    main->mnuViewOffline_Click();
    Passes(w);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_EQ(CurrentSetup.Value[5], stored);
}

TEST_F(SetupEditorGuiTest, SilentBoardGivesOneBoxThenTheOfflineView)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("B512=5");
    open(true);
    ASSERT_EQ(w->lblDisplay[31]->text(), QStringLiteral("5"));
    ASSERT_TRUE(b.addFault("silence"));
    dialogs.expectBox(kCommBox, B::Cancel);
    Passes(w, 3);
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_TRUE(w->poll().offlineViewReady());
    EXPECT_EQ(w->lblDisplay[31]->text(), QStringLiteral("-"));
    EXPECT_FALSE(w->txtSetup[0]->isEnabled());
    EXPECT_FALSE(w->cmdTestBlowoff->isEnabled());
    EXPECT_EQ(dialogs.boxes().size(), 1u);
}

// Not a check: pictures of every page for a person to look at.
TEST_F(SetupEditorGuiTest, SetupScreenshots)
{
    const QString dirName = qEnvironmentVariable("ORVEL_SCREENSHOT_DIR");
    if (dirName.isEmpty())
        GTEST_SKIP() << "ORVEL_SCREENSHOT_DIR not set";
    QDir().mkpath(dirName);
    auto shoot = [&](const QString &name) {
        QTest::qWait(300);
        main->grab().save(dirName + QLatin1Char('/') + name + QStringLiteral("-grab.png"));
        if (!qEnvironmentVariable("DISPLAY").isEmpty())
            QProcess::execute(QStringLiteral("/usr/bin/import"),
                              {QStringLiteral("-window"), QStringLiteral("root"),
                               dirName + QLatin1Char('/') + name + QStringLiteral(".png")});
    };
    const char *pages[] = {"shifts", "blowoff", "timing", "fifo", "inputs"};
    boardsim::PtyBoard &b = boardOnCom1();
    for (const char *s : {"B999=3", "W1014=220", "W1016=20", "B646=45", "W180=64", "W556=612", "B1012=123", "W560=64",
                          "F70=1", "B599=2"})
        b.set(s);
    open(true);
    main->move(0, 0);
    for (int p = 0; p < 5; ++p) {
        page(p + 1);
        shoot(QStringLiteral("frmSetup-%1-online").arg(QLatin1String(pages[p])));
    }
    main->mnuViewOffline_Click();
    for (bool editing : {false, true}) {
        if (editing)
            main->mnuEditOfflineEditing_Click();
        for (int p = 0; p < 5; ++p) {
            page(p + 1);
            Passes(w);
            shoot(QStringLiteral("frmSetup-%1-offline%2")
                      .arg(QString::fromLatin1(pages[p]), editing ? QStringLiteral("-editing") : QString()));
        }
    }
}

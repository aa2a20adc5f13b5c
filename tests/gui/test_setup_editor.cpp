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

using B = Dialogs::Button;

class SetupEditorGuiTest : public GuiTest {
protected:
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
        passes();
        return w;
    }
    // Runs the poll until n more passes have finished (online or offline).
    void passes(int n = 2)
    {
        const quint64 target = w->poll().passes() + quint64(n);
        for (int k = 0; k < 500 && w->poll().passes() < target; ++k)
            w->poll().step();
    }
    void page(int tab)
    {
        w->tbsSetup->setCurrentIndex(tab - 1);
        passes();
    }
    QString shown(int i) const { return frmSetup::isEditIndex(i) ? w->txtSetup[i]->text() : w->lblDisplay[i]->text(); }
    // Clicks into field i, replaces its text and leaves it with key.
    void type(int i, const QString &text, Qt::Key key = Qt::Key_Tab)
    {
        QTest::mouseClick(w->txtSetup[i], Qt::LeftButton);
        QTest::keyClick(w->txtSetup[i], Qt::Key_Delete);
        QTest::keyClicks(w->txtSetup[i], text);
        if (key != Qt::Key_unknown)
            QTest::keyClick(w->txtSetup[i], key);
    }
    void esc(int i) { QTest::keyClick(w->txtSetup[i], Qt::Key_Escape); }
    // Leaves the text box that has the focus without checking it.
    void leave()
    {
        if (auto *t = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
            QTest::keyClick(t, Qt::Key_Escape), QTest::keyClick(t, Qt::Key_Escape);
        QCoreApplication::processEvents();
    }
    frmSetup *w = nullptr;
};

TEST_F(SetupEditorGuiTest, EachPageShowsTheBoardValuesInTheirFormats)
{
    const std::tuple<int, const char *, int, const char *> cases[] = {
        // tab, board memory, field, shown
        {1, "B1001=31", 2, "31"},   {1, "B512=9", 31, "9"},        {1, "F70=1,B599=4", 32, "4"},
        {1, "F70=0", 32, "-"},      {2, "W1014=220", 5, "220"},    {2, "B646=45", 8, "22.5"},
        {2, "B645=0", 10, "0.0"},   {3, "W1010=359", 14, "359"},   {3, "W180=64", 15, "90"},
        {3, "W180=64", 16, "64"},   {3, "W180=1", 15, "1"},        {3, "W180=255", 15, "359"},
        {3, "W180=320", 15, "90"},  {4, "W1002=1234", 17, "1234"}, {4, "B1012=123", 19, "12.3"},
        {4, "B655=3", 24, "3"},     {4, "W556=600", 25, "600"},    {5, "W556=600", 26, "600"},
        {5, "W566=255", 30, "359"},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    open(true);
    for (const auto &[tab, memory, field, text] : cases) {
        for (const QString &s : QString::fromLatin1(memory).split(QLatin1Char(',')))
            ASSERT_TRUE(b.set(s.toStdString()));
        page(tab);
        EXPECT_EQ(shown(field), QString::fromLatin1(text)) << "tab " << tab << " field " << field;
    }
    for (const auto &[f56, enabled] : {std::pair{"F56=0", false}, std::pair{"F56=1", true}}) {
        b.set(f56);
        page(3);
        EXPECT_EQ(w->cmdZeroResolver->isEnabled(), enabled) << f56;
    }
    // The smallest main window still shows every page's tab whole.
    main->resize(640, 480);
    QCoreApplication::sendPostedEvents();
    for (int t = 0; t < w->tbsSetup->count(); ++t)
        EXPECT_TRUE(w->tbsSetup->rect().contains(w->tbsSetup->tabRect(t))) << t;
}

TEST_F(SetupEditorGuiTest, EntriesAreCheckedStoredAndWritten)
{
    const std::tuple<int, const char *, int> cases[] = {
        // field, typed, result (-1 rejected)
        {5, "400", -1},  {5, "", -1},     {5, "12a", -1},  {5, "179", -1}, {5, "350", 350},
        {7, "20.6", 21}, {7, "20.5", 20}, {7, "21.5", 22}, {6, " 8 ", 8},  {6, "51", -1},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    for (const char *s : {"W1014=220", "W1016=20", "W1018=100"})
        b.set(s);
    open(true);
    page(2);
    for (const auto &[i, typed, result] : cases) {
        SCOPED_TRACE(testing::Message() << "field " << i << " '" << typed << "'");
        const int addr = w->fieldAddress(i).mid(1).toInt();
        const int before = b.peekWord(addr);
        const qint32 stored = CurrentSetup.Value[i];
        const quint64 writes = b.stats().writes;
        if (result < 0)
            dialogs.expectBox(QStringLiteral("Set-up") + w->lblDescription[i]->text(), B::OK,
                              QStringLiteral("Only a Number Between %1 and %2 can be Entered")
                                  .arg(w->updSetup[i]->Min())
                                  .arg(w->updSetup[i]->Max()));
        type(i, QString::fromLatin1(typed));
        if (result < 0) {
            EXPECT_EQ(w->txtSetup[i]->text(), QString::number(before));
            EXPECT_TRUE(w->txtSetup[i]->hasFocus());
            EXPECT_EQ(b.stats().writes, writes);
            EXPECT_EQ(CurrentSetup.Value[i], stored);
        } else {
            EXPECT_EQ(CurrentSetup.Value[i], result);
            EXPECT_EQ(b.peekWord(addr), result);
        }
        leave();
    }
    EXPECT_EQ(dialogs.boxes().at(0).title, QStringLiteral("Set-upCan &Neck Size (0.01 in.):"));
}

TEST_F(SetupEditorGuiTest, KeysAndUpDown)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W1014=220");
    b.set("W1016=20");
    b.set("F56=1");
    open(true);
    frmMDIMain &m = *main;
    QTest::keyClick(&m, Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(w->firstIndex(), 5);
    passes();
    QTest::keyClick(&m, Qt::Key_N, Qt::AltModifier);
    ASSERT_TRUE(w->txtSetup[5]->hasFocus());
    const quint64 writes = b.stats().writes;
    type(5, QStringLiteral("300"), Qt::Key_Escape);   // first Esc: the old value, still editing
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("220"));
    EXPECT_TRUE(w->txtSetup[5]->hasFocus() && w->entries().editing(5));
    QTest::keyClicks(w->txtSetup[5], QStringLiteral("310"));
    esc(5), esc(5);   // second Esc leaves
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("220"));
    EXPECT_TRUE(w->cmdDefault->hasFocus());
    EXPECT_FALSE(w->entries().editing(5));
    EXPECT_EQ(b.stats().writes, writes);

    type(5, QStringLiteral("230"), Qt::Key_Return);   // Enter moves on
    EXPECT_EQ(b.peekWord(1014), 230);
    EXPECT_TRUE(w->txtSetup[6]->hasFocus());
    b.set("W1016=33");   // behind the window's back: passing through writes what it shows
    QTest::keyClick(w->txtSetup[6], Qt::Key_Tab);
    EXPECT_EQ(b.peekWord(1016), 20);

    w->updSetup[5]->stepUp();
    EXPECT_EQ(b.peekWord(1014), 231);
    EXPECT_EQ(CurrentSetup.Value[5], 231);
    EXPECT_TRUE(w->cmdDefault->hasFocus());
    // At a bound an arrow has no step: nothing is taken or written, and the
    // focus stays where it is.
    type(5, QStringLiteral("350"));
    type(6, QStringLiteral("8"));
    const quint64 atBounds = b.stats().writes;
    w->updSetup[5]->stepUp();
    w->updSetup[6]->stepDown();
    EXPECT_EQ(b.stats().writes, atBounds);
    EXPECT_TRUE(w->txtSetup[7]->hasFocus() && w->entries().editing(7));

    // A page change leaves (and checks) the field being typed in.
    type(5, QStringLiteral("300"), Qt::Key_unknown);
    QTest::keyClick(&m, Qt::Key_M, Qt::AltModifier);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->tbsSetup->hasFocus());
    EXPECT_EQ(b.peekWord(1014), 300);
    passes();
    QTest::keyClick(&m, Qt::Key_0, Qt::AltModifier);
    for (QWidget *next :
         std::initializer_list<QWidget *>{w->txtSetup[12], w->txtSetup[13], w->txtSetup[14], w->cmdZeroResolver}) {
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
    // Stored: 5 neck size, 6 reject pulse, 8 can time, 16 cans in FIFO
    // (field 18), 17 FIFO max (19), 23 reject receiver (27); 7 and 9 as wide
    // as a file can hold them, shown whole.
    for (const auto &[k, v] : std::initializer_list<std::pair<int, int>>{
             {5, 250}, {6, 20}, {7, INT32_MIN}, {8, 45}, {9, INT32_MIN}, {16, 7}, {17, 123}, {23, 64}})
        CurrentSetup.Value[k] = v;
    const std::tuple<int, int, const char *> cases[] = {
        {2, 5, "250"},  {2, 7, "-2147483648"}, {2, 8, "22.5"}, {2, 9, "-1,073,741,824.0"},
        {3, 15, "-"},   {3, 16, "-"},          {4, 18, "7"},   {4, 19, "12.3"},
        {4, 25, "-"},   {5, 26, "-"},          {5, 27, "90"},  {1, 32, "-"},
    };
    for (const auto &[tab, field, text] : cases) {
        page(tab);
        const QString t = QString::fromLatin1(text);
        EXPECT_EQ(shown(field), t) << "field " << field;
        if (frmSetup::isEditIndex(field))
            EXPECT_GE(w->txtSetup[field]->width(), w->txtSetup[field]->fontMetrics().horizontalAdvance(t) + 8);
        else
            EXPECT_TRUE(ShowsWithRoom(w->lblDisplay[field], t));
    }
    auto editable = [&](bool on) {
        for (int i = 0; i < frmSetup::EditCount; ++i) {
            if (frmSetup::isEditIndex(i)) {
                EXPECT_TRUE(w->txtSetup[i]->isEnabled() == on && w->updSetup[i]->isEnabled() == on) << i;
            }
        }
        for (QPushButton *cmd : {w->cmdZeroResolver, w->cmdTestBlowoff, w->cmdCalibrateFIFO})
            EXPECT_FALSE(cmd->isEnabled());
        EXPECT_FALSE(w->lblDisplay[8]->isEnabled());
        EXPECT_EQ(w->lblDescription[14]->isEnabled(), on);
    };
    editable(false);
    main->mnuEditOfflineEditing_Click();
    passes();
    editable(true);

    const auto bytesIn = b.stats().bytesIn;
    page(2);
    type(5, QStringLiteral("260"));
    w->updSetup[6]->stepUp();
    EXPECT_EQ(CurrentSetup.Value[5], 260);
    EXPECT_EQ(CurrentSetup.Value[6], 21);
    EXPECT_EQ(b.stats().bytesIn, bytesIn);

    // Typed offline, not left yet: going online neither checks nor writes it.
    b.set("W1014=220");
    type(5, QStringLiteral("300"), Qt::Key_unknown);
    main->mnuViewOnline_Click();
    passes();
    QCoreApplication::processEvents();
    EXPECT_EQ(b.peekWord(1014), 220);
    EXPECT_EQ(CurrentSetup.Value[5], 260);
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("220"));
}

TEST_F(SetupEditorGuiTest, BoardCommands)
{
    boardsim::PtyBoard &b = boardOnCom1();
    b.set("W180=64");
    b.set("F56=1");
    open(true);
    page(3);
    quint64 readsUnderBox = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) {
        const quint64 reads = b.stats().reads;
        passes(1);
        readsUnderBox += b.stats().reads - reads;
    };
    for (B answer : {B::No, B::Cancel, B::Yes}) {
        const quint64 writes = b.stats().writes;
        dialogs.expectBox(QStringLiteral("Zero Resolver"), answer,
                          QStringLiteral("You are about change the Resolver offset.\r\n\r\nDo you wish to continue?"));
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
    for (int a : {1012, 655, 656, 657})   // 1012: the board ran its calibration
        EXPECT_EQ(b.peek(a), 0) << a;

    Link->CommError = true;   // a failed link: nothing is sent
    writes = b.stats().writes;
    w->cmdCalibrateFIFO_Click();
    w->cmdTestBlowoff_Click();
    EXPECT_EQ(b.stats().writes, writes);
    Link->CommError = false;
}

TEST_F(SetupEditorGuiTest, OnePassReadsTheShownPageATabChangeEndsIt)
{
    // Byte reads of one pass: words are two; fields 3 and 4 add the rejected
    // pocket, the array fault flag and, when set, the faulted head.
    const std::tuple<int, const char *, quint64> cases[] = {{1, "F70=0", 7},  {1, "F70=1", 8},  {2, "F70=1", 9},
                                                            {3, "F70=1", 11}, {4, "F70=1", 11}, {5, "F70=1", 10}};
    boardsim::PtyBoard &b = boardOnCom1();
    open(true);
    for (const auto &[tab, f70, byteReads] : cases) {
        b.set(f70);
        page(tab);
        const quint64 reads = b.stats().reads;
        passes(1);
        EXPECT_EQ(b.stats().reads - reads, byteReads) << "tab " << tab << " " << f70;
    }
    page(1);
    b.set("W1014=222");
    w->poll().step();   // the pass begins
    w->poll().step();   // first field read
    const quint64 reads = b.stats().reads;
    const quint64 passesBefore = w->poll().onlinePasses();
    w->tbsSetup->setCurrentIndex(1);
    w->poll().step();
    EXPECT_EQ(b.stats().reads, reads);
    EXPECT_EQ(w->poll().onlinePasses(), passesBefore + 1);
    passes(1);
    EXPECT_EQ(w->txtSetup[5]->text(), QStringLiteral("222"));
}

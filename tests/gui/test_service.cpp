// The service side against the simulated board: data upload and download of
// the parameter table through the processing window, with Cancel, and the
// target board interface for the board types that change it.
#include "DataTransfer.h"
#include "EntryFields.h"
#include "GuiFixture.h"
#include "UpDown.h"
#include "frmProcessing.h"
#include "frmTargetBoard.h"
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>

using B = Dialogs::Button;

namespace {
// The board's value at a table address (B999, W1014, D1100, B4001.0).
qint64 boardValue(boardsim::PtyBoard &b, const QString &add)
{
    const QChar type = add.at(0);
    const QStringList parts = add.mid(1).split(QLatin1Char('.'));
    const auto a = std::uint32_t(parts[0].toUInt());
    if (parts.size() == 2)
        return (b.peek(a) >> parts[1].toInt()) & 1;
    if (type == QLatin1Char('W'))
        return b.peekWord(a);
    if (type == QLatin1Char('D'))
        return b.peekDecimal(a);
    return b.peek(a);
}

void setBoardValue(boardsim::PtyBoard &b, const QString &add, qint64 v)
{
    b.set((add + QLatin1Char('=') + QString::number(v)).toStdString());
}

// A value for entry i that fits its address type and differs from the defaults.
qint64 sampleValue(const QString &add, int i, int salt)
{
    if (add.contains(QLatin1Char('.')))
        return (i + salt) % 2;
    if (add.startsWith(QLatin1Char('B')))
        return (i * 7 + salt) % 200 + 1;
    if (add.startsWith(QLatin1Char('W')))
        return (i * 331 + salt) % 60000 + 1;
    return (i * 100003 + salt) % 600000000 + 1;
}

frmProcessing *processingWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<frmProcessing *>(w); p && p->isVisible())
            return p;
    return nullptr;
}

// Presses Cancel in the processing window once `after` entries are done.
void cancelAfter(int after)
{
    QTimer::singleShot(0, [after] {
        frmProcessing *p = processingWindow();
        ASSERT_NE(p, nullptr);
        QObject::connect(&p->transfer(), &DataTransfer::progress, p, [p, after](int done, int) {
            if (done == after)
                QTest::mouseClick(p->cmdCancel, Qt::LeftButton);
        });
    });
}
}   // namespace

class ServiceTest : public GuiTest {
protected:
    frmMDIMain &onlineMain()
    {
        boardOnCom1();
        frmMDIMain &m = startMain();
        m.mnuViewOnline_Click();
        EXPECT_TRUE(Link->OnlineMode);
        return m;
    }
};

TEST_F(ServiceTest, TransferMovesEveryEntryOrStopsAtCancel)
{
    for (const bool up : {true, false}) {
        for (const int cancelAt : {-1, 10}) {
            SCOPED_TRACE(testing::Message() << (up ? "upload" : "download") << ", cancelled after " << cancelAt);
            frmMDIMain &m = onlineMain();
            std::vector<qint64> boardBefore;
            for (int i = 0; i <= SetupMaxIndex; ++i) {
                const QString &add = CurrentSetup.Address[i];
                if (up)
                    setBoardValue(*board, add, sampleValue(add, i, 3));
                else
                    CurrentSetup.Value[i] = qint32(sampleValue(add, i, 5));
                boardBefore.push_back(boardValue(*board, add));
            }
            const SetupData before = CurrentSetup;
            if (!up)
                CurrentSetup.Address[83].clear();   // passed over but counted
            if (cancelAt > 0)
                cancelAfter(cancelAt);
            const QString what = up ? QStringLiteral("Upload") : QStringLiteral("Download");
            dialogs.expectBox(QStringLiteral("Data ") + what, B::Yes,
                              QStringLiteral("You are about to %1 Data %2 the PLC\r\n\r\nDo You Wish to Continue?")
                                  .arg(what, up ? QStringLiteral("from") : QStringLiteral("to")));
            (up ? m.mnuFileUpload : m.mnuFileDownload)->trigger();
            EXPECT_EQ(processingWindow(), nullptr);
            const int transferred = cancelAt < 0 ? SetupMaxIndex + 1 : cancelAt;
            for (int i = 0; i < SetupMaxIndex; ++i) {
                SCOPED_TRACE(i);
                if (up)
                    EXPECT_EQ(CurrentSetup.Value[i], i < transferred ? boardBefore[size_t(i)] : before.Value[i]);
                else
                    EXPECT_EQ(boardValue(*board, CurrentSetup.Address[i]),
                              i < transferred ? CurrentSetup.Value[i] : boardBefore[size_t(i)]);
            }
            if (up) {
                EXPECT_EQ(CurrentSetup.Value[SetupMaxIndex], cancelAt < 0 ? boardBefore.back() : before.Value.back());
                EXPECT_FALSE(m.gUploadNOW.isEmpty());
                EXPECT_EQ(TransferMode, 0);
                // The next New asks to save what the upload brought in.
                dialogs.expectBox(QStringLiteral("ORVEL"), B::No, QStringLiteral("Save Changes to File?"));
                m.mnuFileNew_Click();
            } else {
                EXPECT_EQ(board->peek(4011), 10) << "entry 83 has no address: nothing written";
            }
            main.reset();
            board->stop();
        }
    }
}

TEST_F(ServiceTest, LineFailureOrOfflineAnswerEndsTheTransfer)
{
    // Every echo of address high byte 03H is wrong: entry 0 (B999) fails, and
    // the upload does not go on to the next entry (B646, entry 8). orvelctl's
    // test takes the download the same way.
    frmMDIMain &m = onlineMain();
    CurrentSetup.Value[0] = 5;   // a failed read of B999 keeps it
    const SetupData before = CurrentSetup;
    board->set("B646=77");
    ASSERT_TRUE(board->addFault("bad-hi-echo=3"));
    dialogs.expectBox(QStringLiteral("Data Upload"), B::Yes)
        .expectBox(QStringLiteral("ORVEL"), B::OK, DataTransfer::errorText());
    m.mnuFileUpload->trigger();
    EXPECT_EQ(CurrentSetup, before);

    // Offline: No to going online does nothing.
    m.mnuViewOffline_Click();
    dialogs.expectBox(QStringLiteral("Data Download"), B::Yes)
        .expectBox(
            QStringLiteral("Program Offline"), B::No,
            QStringLiteral("Program is Currently OFFLINE\r\n\r\nDo You Wish to Switch to ONLINE MODE to Continue?"));
    m.mnuFileDownload->trigger();
    EXPECT_EQ(dialogs.pending(), 0);

    // Yes with no board behind the port: the link's box, then the transfer
    // stops at once with its own.
    deadCom1();
    dialogs.expectBox(QStringLiteral("Data Upload"), B::Yes)
        .expectBox(QStringLiteral("Program Offline"), B::Yes)
        .expectBox(QStringLiteral("Comm Port Error"), B::OK)
        .expectBox(QStringLiteral("ORVEL"), B::OK, DataTransfer::errorText());
    m.mnuFileUpload->trigger();
    EXPECT_EQ(CurrentSetup, before);
    EXPECT_EQ(dialogs.pending(), 0);
}

TEST(DataTransferValues, SignAndRounding)
{
    EXPECT_EQ(DataTransfer::valueText(0), QStringLiteral(" 0"));
    EXPECT_EQ(DataTransfer::valueText(215), QStringLiteral(" 215"));
    EXPECT_EQ(DataTransfer::valueText(-7), QStringLiteral("-7"));
    const std::pair<const char *, qint32> reads[] = {
        {"215", 215}, {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"655359999", 655359999}, {"9e99", 2147483647}, {"x", 0},
    };
    for (const auto &[text, v] : reads)
        EXPECT_EQ(DataTransfer::tableValue(QString::fromLatin1(text)), v) << text;
}

// ---- The target board interface ----------------------------------------------

class TargetBoardTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        for (const char *f : {"FaultErrCodes.txt", "CommErrCodes.txt"})
            QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Support/") + QLatin1String(f),
                        path(QStringLiteral("Support/") + QLatin1String(f)));
    }

    // A program file set for the board type: the .tnx whose first character
    // is the type, and a rev file (name, checksum 0BAH as MarkHEX ";:",
    // revision 03H).
    QString programFile(char type, const QByteArray &rev = "\"T6850LT;:03\",x\r\n")
    {
        const QString tnx = path(QStringLiteral("prog/LINE4.TNX"));
        WriteBytes(tnx, QByteArray(1, type) + ",rest\r\n");
        if (!rev.isEmpty())
            WriteBytes(path(QStringLiteral("prog/LINE4.rev")), rev);
        return tnx;
    }

    // Opens the window as InitializeForm does, without its modal loop.
    std::unique_ptr<frmTargetBoard> open(const QString &file)
    {
        auto w = std::make_unique<frmTargetBoard>(*Link, dialogs, main.get());
        EXPECT_TRUE(w->PrepareForm(file));
        w->show();
        return w;
    }

    // Steps the poll until the status view is read and one field pass done.
    void settle(frmTargetBoard &w)
    {
        const quint64 passes = w.poll().onlinePasses();
        for (int n = 0; n < 200 && (!w.statusRead() || w.poll().onlinePasses() < passes + 2); ++n)
            w.poll().step();
    }
};

TEST_F(TargetBoardTest, PagesFollowTheBoardType)
{
    struct Case {
        char type;
        bool coCpu, secondAddress, clock;
        const char *name;
    };
    const Case cases[] = {
        {'2', true, false, false, "K2707"},
        {'6', false, false, true, "K2713"},
        {'A', false, true, true, "V5435"},
        {'D', false, false, false, "T6850(PLC)"},
    };
    boardOnCom1();
    board->set("B8176=0x05");   // comes up as the last fault too
    board->set("B8179=0x07");
    board->set("B8178=0x02");
    board->set("B8191=9");
    board->set("B43010=7");
    startMain();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto w = open(programFile(c.type));
        EXPECT_TRUE(Link->OnlineMode) << "opening the window goes online";
        EXPECT_EQ(w->txtSetup[1]->isHidden(), !c.secondAddress);
        EXPECT_EQ(w->lblTargetBoard[2]->isHidden(), !c.coCpu);
        EXPECT_FALSE(w->txtSetup[0]->isHidden());
        settle(*w);
        const int fault[] = {0, 1, 4, 5};
        QStringList faults;
        for (int i : fault)
            faults << w->lblTargetBoard[i]->text();
        EXPECT_EQ(faults.join(QLatin1Char('|')), QStringLiteral("Current Fault: Code = 05H|Last Fault: Code = 05H|"
                                                                 "Current Comm Error: Code = 07H|Last Comm Error: Code = 02H"));
        EXPECT_EQ(w->boxText(0), QStringLiteral("CO-CPU board not responding in its slot"));
        EXPECT_EQ(w->boxText(4), QStringLiteral("No answer from the addressed board"));
        EXPECT_EQ(w->boxText(3), frmTargetBoard::CorrectiveAction(5));
        if (c.coCpu) {
            EXPECT_EQ(w->lblTargetBoard[2]->text(), QStringLiteral("CO-CPU Slot: 3"));
            // A line of its own: as far from the box above and the caption
            // below as one field is from the next.
            const QRect slot = w->lblTargetBoard[2]->contentsRect().translated(w->lblTargetBoard[2]->pos());
            const int fieldGap = w->lblTargetBoard[1]->y() - w->txtTargetBoard[0]->geometry().bottom();
            EXPECT_GE(slot.top() - w->txtTargetBoard[1]->geometry().bottom(), fieldGap);
            EXPECT_GE(w->lblTargetBoard[3]->y() - slot.bottom(), fieldGap);
        }
        EXPECT_TRUE(w->cmdResetFaults->isEnabled());
        EXPECT_TRUE(w->cmdGoOnline->isHidden());
        // Ident page: in the board, then on disk (no hex file).
        QStringList ident;
        for (int i = 0; i < 3; ++i)
            ident << w->lblRevIdentInPLC[i]->text();
        w->tabTargetBoard->setCurrentIndex(1);
        for (QLabel *l : w->lblRevIdentOnDisk) {
            ident << l->text();
            EXPECT_TRUE(ShowsWithRoom(l, l->text()));
        }
        EXPECT_EQ(ident.join(QLatin1Char('|')), QStringLiteral("T6850LT|3|186|T6850LT|3|186|%1|-").arg(QLatin1String(c.name)));
        // Network and clock pages.
        EXPECT_EQ(w->txtSetup[0]->text(), QStringLiteral("01"));
        EXPECT_EQ(w->txtSetup[1]->text(), c.secondAddress ? QStringLiteral("09") : QString());
        EXPECT_EQ(w->txtSetup[3]->isEnabled(), c.clock);
        EXPECT_EQ(w->cmdSetToCurrDate->isEnabled(), c.clock);
        EXPECT_EQ(w->txtSetup[3]->text(), c.clock ? QStringLiteral("07") : QStringLiteral("-"));
        w->cmdOk->click();
        EXPECT_FALSE(w->pollActive());
        EXPECT_TRUE(Link->OnlineMode) << "the program stays online";
    }
}

TEST_F(TargetBoardTest, CorrectiveActionByLastFault)
{
    const std::pair<int, const char *> cases[] = {
        {0, "None"},         {5, "Replace CO-CPU"}, {66, "Verify connection"}, {69, "User program executed"},
        {92, "Program is invalid"}, {93, "Program is invalid"}, {100, "Reset fault"}, {122, "Reset fault"},
        {123, "None"},       {200, "None"}};
    for (const auto &[n, start] : cases)
        EXPECT_TRUE(frmTargetBoard::CorrectiveAction(n).startsWith(QLatin1String(start))) << n;
}

TEST_F(TargetBoardTest, FaultsResetEntriesCheckedAndWrittenClockSet)
{
    boardOnCom1();
    board->set("B8176=10");
    board->set("B8179=26");
    clock.setWall(QDateTime(QDate(2026, 12, 5), QTime(14, 3, 9)));
    startMain();
    auto w = open(programFile('6'));
    settle(*w);
    EXPECT_EQ(w->lblTargetBoard[0]->text(), QStringLiteral("Current Fault: Code = 0AH"));
    EXPECT_EQ(w->lblTargetBoard[4]->text(), QStringLiteral("Current Comm Error: Code = 1AH"));
    ASSERT_TRUE(w->cmdResetFaults->isEnabled());
    dialogs.expectBox(QStringLiteral("WARNING - Fault Code Reset!"), B::Cancel,
                      QStringLiteral("Target Board will be reinitialized.\r\n\r\nDo you wish to continue?"));
    w->cmdResetFaults->click();
    EXPECT_EQ(board->peek(8176), 10) << "Cancel resets nothing";
    dialogs.expectBox(QStringLiteral("WARNING - Fault Code Reset!"), B::Yes);
    w->cmdResetFaults->click();
    for (std::uint32_t a : {8176u, 8177u, 8178u, 8179u})
        EXPECT_EQ(board->peek(a), 0) << a;
    settle(*w);
    EXPECT_EQ(w->lblTargetBoard[0]->text(), QStringLiteral("Current Fault: Code = 00H"));
    EXPECT_EQ(w->boxText(3), QStringLiteral("None"));
    EXPECT_FALSE(w->cmdResetFaults->isEnabled()) << "all codes 0";

    w->tabTargetBoard->setCurrentIndex(2);
    // 33 is out of bounds: the box, the old value back, nothing written.
    QApplication::setActiveWindow(w.get());
    QLineEdit *box = w->txtSetup[0];
    QTest::mouseClick(box, Qt::LeftButton);
    box->setText(QStringLiteral("33"));
    dialogs.expectBox(QStringLiteral("Set-upCurrent Network Address 1:"), B::OK,
                      QStringLiteral("Only a Number Between 1 and 32 can be Entered"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("1")) << "the old value, as a number";
    EXPECT_EQ(board->peek(8180), 1);
    EXPECT_TRUE(w->entries().editing(0)) << "the focus stays in the field";
    box->setText(QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(board->peek(8180), 12);
    w->updSetup[7]->stepUp();
    EXPECT_EQ(board->peek(43017), (w->txtSetup[7]->text().toInt()));

    w->cmdSetToCurrDate->click();
    EXPECT_EQ(board->peek(43016), 12);
    EXPECT_EQ(board->peek(43015), 5);
    EXPECT_EQ(board->peek(43017), 26);
    w->cmdSetToCurrTime->click();
    EXPECT_EQ(board->peek(43012), 14);
    EXPECT_EQ(board->peek(43010), 3);
    w->poll().step();
    EXPECT_TRUE(w->lblCurrDate->text().startsWith(QLatin1String("12 - 05 - 2026")));
    w->close();   // the title bar ends the poll too
    EXPECT_FALSE(w->pollActive());
    EXPECT_FALSE(w->poll().active());
}

TEST_F(TargetBoardTest, DeadLinkShowsCode42ThenTheOfflineView)
{
    startMain();
    deadCom1();
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    auto w = open(programFile('D', QByteArray()));
    for (int n = 0; n < 20; ++n)
        w->poll().step();
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_EQ(w->boxText(0), QStringLiteral("Cannot Communicate with Target Board."));
    EXPECT_FALSE(w->cmdGoOnline->isHidden());
    EXPECT_FALSE(w->txtSetup[0]->isEnabled());
    EXPECT_EQ(w->lblRevIdentOnDisk[0]->text(), QStringLiteral("-")) << "no rev file";
    EXPECT_EQ(w->lblRevIdentOnDisk[1]->text(), QStringLiteral("0"));

    // A rev file whose item is too short: the window does not open.
    frmTargetBoard w2(*Link, dialogs, main.get());
    dialogs.expectBox(QStringLiteral("InitializeForm"), B::OK);
    EXPECT_FALSE(w2.PrepareForm(programFile('D', "abc\r\n")));
}

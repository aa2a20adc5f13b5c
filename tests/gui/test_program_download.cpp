// File > Download Program: the offline question, the file set, the program
// transfer window and the background tick around it.
#include "GuiFixture.h"
#include "QtDialogs.h"
#include "frmDownloadProg.h"
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using B = Dialogs::Button;

namespace {
frmDownloadProg *transferWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<frmDownloadProg *>(w); t && t->isVisible())
            return t;
    return nullptr;
}

// Counts the paints of a label while it shows one text.
struct PaintsOf : QObject {
    PaintsOf(QLabel *l, const QString &t) : label(l), text(t) { l->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == QEvent::Paint && label->text() == text;
        return false;
    }
    QLabel *label;
    QString text;
    int count = 0;
};

// Where each of `values`, found in this order, starts in the label's text as
// it lays it out.
std::vector<qreal> ValueColumns(const QLabel *label, const QStringList &values)
{
    QTextDocument doc;
    doc.setDefaultFont(label->font());
    if (label->textFormat() == Qt::RichText)
        doc.setHtml(label->text());
    else
        doc.setPlainText(label->text());
    std::vector<qreal> xs;
    QTextCursor at(&doc);
    for (const QString &v : values) {
        at = doc.find(v, at);
        if (at.isNull())
            break;
        const QTextBlock block = at.block();
        const int pos = at.selectionStart() - block.position();
        xs.push_back(doc.documentLayout()->blockBoundingRect(block).x()
                     + block.layout()->lineForTextPosition(pos).cursorToX(pos));
    }
    return xs;
}

}   // namespace

class ProgramGui : public GuiTest {
protected:
    // A three-record program for the T6850 at 4A00H.
    QString makeSet()
    {
        WriteBytes(path("LINE7.tnx"), "D");
        WriteBytes(path("LINE7.rev"), "LINE7 0;:01\r\n");
        WriteBytes(path("LINE7.hex"),
                   ":10"
                   "4A00"
                   "00"
                   "000102030405060708090A0B0C0D0E0F"
                   "\r\n"
                   ":10"
                   "4A10"
                   "00"
                   "101112131415161718191A1B1C1D1E1F"
                   "\r\n"
                   ":02"
                   "4A20"
                   "00"
                   "2021"
                   "\r\n"
                   ":00000001FF\r\n");
        return path("LINE7.tnx");
    }
};

TEST_F(ProgramGui, OfflineQuestionAnsweredNoOpensNoFileDialog)
{
    frmMDIMain &m = startMain();
    dialogs.expectBox(
        QStringLiteral("Program Offline"), B::No,
        QStringLiteral("Program is Currently OFFLINE\r\n\r\nDo You Wish to Switch to ONLINE MODE to Continue?"));
    m.mnuFileDownloadProgram->trigger();
    EXPECT_TRUE(dialogs.fileRequests.empty());
    EXPECT_FALSE(Link->OnlineMode);
}

TEST_F(ProgramGui, DownloadThroughTheMenu)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.show();
    m.mnuViewOnline->trigger();
    tick();
    ASSERT_TRUE(Link->OnlineMode);
    const QString tnx = makeSet();
    m.tmrBackgroungUpdate->start();

    dialogs.expectOpen(tnx);
    dialogs.expectBox(
        QStringLiteral("Program Download"), B::Yes,
        QStringLiteral("You are about to download \"LINE7.tnx\" to the T6850.\r\n\r\nDo you wish to continue?"));
    dialogs.expectBox(QStringLiteral("Program Download - [LINE7 0]"), B::Yes);
    dialogs.expectBox(QStringLiteral("Program Download"), B::OK, QStringLiteral("Program Download Complete!"));
    bool tickDuring = true, busyDuring = false;
    QString label;
    std::unique_ptr<PaintsOf> identShown;
    int identPaints = 0;
    dialogs.onBox = [&](const ScriptedDialogs::Box &box) {
        if (box.title.startsWith(QStringLiteral("Program Download - ")))
            identShown = std::make_unique<PaintsOf>(transferWindow()->lblWaitDisplay,
                                                    QStringLiteral("Writing Program Ident ... "));
        if (box.text != QStringLiteral("Program Download Complete!"))
            return;
        identPaints = identShown ? identShown->count : -1;
        tickDuring = m.tmrBackgroungUpdate->isActive();
        busyDuring = Link->isBusy();
        if (frmDownloadProg *w = transferWindow()) {
            w->Timer1_Timer();
            label = w->lblWaitDisplay->text();
        }
    };
    m.mnuFileDownloadProgram->trigger();
    dialogs.onBox = nullptr;

    EXPECT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.fileRequests.at(0).filter, QStringLiteral("Tarnex Files(*.tnx)"));
    EXPECT_EQ(m.gProgramFilePath, tnx);
    EXPECT_FALSE(tickDuring);
    EXPECT_TRUE(busyDuring);
    EXPECT_EQ(label, QStringLiteral("Writing to Program Address: 4A20H"));
    EXPECT_GE(identPaints, 10) << "the window shows each of the ten ident writes";
    EXPECT_TRUE(m.tmrBackgroungUpdate->isActive());
    m.tmrBackgroungUpdate->stop();
    EXPECT_EQ(transferWindow(), nullptr);
    EXPECT_TRUE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    // The main display polls again.
    const auto reads = b.stats().reads;
    for (int i = 0; i < 20 && b.stats().reads == reads; ++i)
        QTest::qWait(20);
    EXPECT_GT(b.stats().reads, reads);

    // The question as the program shows it: the values on disk and in the
    // board stand in one column, clear of the widest caption.
    const ScriptedDialogs::Box question = dialogs.boxes().at(1);
    const QString caption = QStringLiteral("  Program Checksum: ");
    std::vector<qreal> x;
    qreal captionWidth = 0;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (auto *l = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")) : nullptr) {
            x = ValueColumns(l, {"LINE7 0", "1", caption, "186", "T6850(PLC)", "T6850LT", "3", "186"});
            captionWidth = QFontMetrics(l->font()).horizontalAdvance(caption);
        }
        if (box)
            box->close();
    });
    QtDialogs().messageBox(question.icon, question.buttons, question.title, question.text);
    ASSERT_EQ(x.size(), 8u);
    for (size_t i : {1, 3, 4, 5, 6, 7})
        EXPECT_NEAR(x[i], x[0], 1.0) << i;
    EXPECT_GT(x[0], x[2] + captionWidth);
}

TEST_F(ProgramGui, TargetBoardInterfaceAsksForAProgramFirst)
{
    frmMDIMain &m = startMain();
    dialogs.expectOpen(std::nullopt);
    m.mnuViewTargetBoardStatus->trigger();   // cancelled: nothing opens, no question offline

    QString opened;
    frmMDIMain::setTargetBoardWindow([&](QWidget *, RSComm &, Dialogs &, const QString &file) { opened = file; });
    dialogs.expectOpen(makeSet());
    m.mnuViewTargetBoardStatus->trigger();
    frmMDIMain::setTargetBoardWindow(nullptr);
    EXPECT_EQ(opened, path("LINE7.tnx"));
}

// Start-up state, the menu bar, the window list and the commands of the main
// window that need no board.
#include <QLineEdit>
#include <QTest>
#include "GuiFixture.h"
#include "HelpWindow.h"
#include "frmAbout.h"
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <sys/stat.h>

using B = Dialogs::Button;

TEST_F(GuiTest, StartUpShowsAnUntitledOfflineSetupInTheMainDisplay)
{
    frmMDIMain &m = startMain();
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));
    // The icon is compiled in: under X11 the windows show no other.
    EXPECT_EQ(m.windowIcon().availableSizes(), (QList<QSize>{{48, 48}, {256, 256}}));
    EXPECT_TRUE(SetupUntitled);
    EXPECT_FALSE(OfflineEditing);
    EXPECT_TRUE(CurrentSetup == DefaultSetup && SavedSetup == DefaultSetup);
    EXPECT_EQ(DefaultSetup.Version, QStringLiteral("ORVEL_R2.1.3"));
    EXPECT_EQ(m.gFileNamePath, dir.path() + QStringLiteral("/*.sdt"));
    EXPECT_FALSE(Link->OnlineMode || CommPortControl->isOpen());
    EXPECT_EQ(panel(1), QStringLiteral("System Message:"));
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));

    EXPECT_EQ(m.CurrentWindow, 0);
    ASSERT_NE(m.ChildForms[0], nullptr);
    EXPECT_EQ(m.ChildForms[0]->windowTitle(), QStringLiteral("Main Display"));
    for (int i = 1; i < frmMDIMain::ChildCount; ++i)
        EXPECT_EQ(m.ChildForms[i], nullptr) << i;

    tick();
    EXPECT_EQ(panel(1), QStringLiteral("System Message:  Program is Currently OFFLINE"));
    EXPECT_EQ(StatusMessage, QStringLiteral("Set-up Program is Currently OFFLINE"));
}

TEST_F(GuiTest, MenuBarCaptionsKeysAndStates)
{
    // Per menu its title, then per entry "-" (a separator) or text|shortcut|e(nabled) or d(isabled), c if checked.
    const QStringList expected = {
        "&File: &New...|Ctrl+N|e, &Open...|Ctrl+O|e, &Save|Ctrl+S|e, Save &As...||e, -, Export Shift Data...|Ctrl+X|e, "
        "Save Trend as CS&V...||d, Save Trend as PN&G...||d, -, &Upload (save) Data||e, Download P&rogram||e, Download (restore) &Data||e, -, &Print Report...|Ctrl+P|e, "
        "Print Set&up...||d, -, E&xit||e",
        "&Edit: Enable &Offline Editing|F2|e, -, Co&mm Port|Ctrl+M|e, -, Set-up Passcode||d",
        "&View: &Target Board Interface||e, -, O&nline Data|F3|e, O&ffline Data|F4|ec",
        "&Window: &1 Main Display||ec, &2 Set-up Parameters||e, &3 Serial Communications||e, &4 Shift Data||e, "
        "&5 I/O States||e, &6 Shift Trend||e",
        "&Help: &Help Topics|Ctrl+H|e, -, &About ORVEL||e"};
    frmMDIMain &m = startMain();
    QStringList got;
    for (QAction *item : m.menuBar()->actions()) {
        ASSERT_NE(item->menu(), nullptr);
        QStringList entries;
        for (QAction *a : item->menu()->actions())
            entries << (a->isSeparator() ? QStringLiteral("-")
                                         : QStringLiteral("%1|%2|%3%4")
                                               .arg(a->text(), a->shortcut().toString(), a->isEnabled() ? "e" : "d",
                                                    a->isChecked() ? "c" : ""));
        got << item->menu()->title() + QStringLiteral(": ") + entries.join(QStringLiteral(", "));
    }
    EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}

TEST_F(GuiTest, WindowListKeepsExactlyOneChildLoaded)
{
    frmMDIMain &m = startMain();
    QPointer<ChildWindow> mainDisplay = m.ChildForms[0];
    m.mnuWindowForm[0]->trigger();   // already shown: nothing happens
    EXPECT_EQ(m.ChildForms[0], mainDisplay);

    const char *captions[] = {"Main Display", "Set-Up", "K2950DF1", "Shift Data", "I/O Status", "Shift Trend"};
    for (int i : {3, 1, 5, 2, 4, 0}) {
        SCOPED_TRACE(captions[i]);
        m.mnuWindowForm[i]->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m.CurrentWindow, i);
        for (int j = 0; j < frmMDIMain::ChildCount; ++j) {
            EXPECT_EQ(m.mnuWindowForm[j]->isChecked(), j == i) << "item " << j;
            EXPECT_EQ(m.ChildForms[j] != nullptr, j == i) << "window " << j;
        }
        ASSERT_NE(m.ChildForms[i], nullptr);
        EXPECT_EQ(m.ChildForms[i]->windowTitle(), QString::fromLatin1(captions[i]));
        EXPECT_TRUE(m.ChildForms[i]->isVisibleTo(&m));
        // The trend's save commands only while it is the window shown.
        EXPECT_EQ(m.mnuFileTrendCsv->isEnabled(), i == frmMDIMain::TrendWindow);
        EXPECT_EQ(m.mnuFileTrendPng->isEnabled(), i == frmMDIMain::TrendWindow);
    }
    EXPECT_TRUE(mainDisplay.isNull()) << "the first main display was unloaded and a new one loaded";
}

TEST_F(GuiTest, OfflineEditingToggles)
{
    frmMDIMain &m = startMain();
    for (bool on : {true, false}) {
        m.mnuEditOfflineEditing->trigger();
        EXPECT_EQ(OfflineEditing, on);
        EXPECT_EQ(m.mnuEditOfflineEditing->isChecked(), on);
    }
    EXPECT_EQ(CurrentSetup, DefaultSetup);
    EXPECT_FALSE(Link->OnlineMode);
}

TEST_F(GuiTest, CtrlXExportsAlsoFromATextBox)
{
    frmMDIMain &m = startMain();
    m.show();
    auto *edit = new QLineEdit(QStringLiteral("215"), m.currentChild());
    edit->show();
    edit->selectAll();
    edit->setFocus();
    QApplication::setActiveWindow(&m);
    dialogs.expectSave(std::nullopt);   // the export's dialog, cancelled
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text().toStdString(), "215");   // not cut
}

TEST_F(GuiTest, AboutBoxAndHelpTopics)
{
    frmMDIMain &m = startMain();
    // Every text shows whole, also with a folder name that cannot wrap (the box widens).
    for (const QString &folder : {path(QStringLiteral("TheApplicationFolderOfThisTechnician").repeated(3)), dir.path()}) {
        AppFolder::set(folder);
        m.mnuHelpAbout->trigger();
        QCoreApplication::processEvents();
        for (const QLabel *l : {m.aboutBox()->lblAppFolder, m.aboutBox()->lblDescription, m.aboutBox()->lblDisclaimer})
            EXPECT_TRUE(l->width() >= l->minimumSizeHint().width() && l->height() >= l->heightForWidth(l->width()))
                << l->text().toStdString();
        m.aboutBox()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    m.mnuHelpAbout->trigger();
    frmAbout *about = m.aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible() && !about->isModal());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About ORVEL"));
    EXPECT_EQ(about->lblVersion->text(), QStringLiteral("Version 2.1.3"));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->cmdSysInfo->text(), QStringLiteral("System Info"));
    if (frmAbout::SystemInfoTool().isEmpty()) {
        dialogs.expectBox(QStringLiteral("ORVEL"), B::OK,
                          QStringLiteral("System Information Is Unavailable At This Time"));
        about->cmdSysInfo->click();
    }
    about->cmdOK->click();
    EXPECT_FALSE(about->isVisible());

    // The application folder's manual, whatever the letter case of its folder,
    // opened at its contents.
    QDir().mkpath(path("help"));
    QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Help/ORVEL.html"), path("help/ORVEL.html"));
    m.mnuHelpHelpTopics->trigger();
    HelpWindow *h = m.helpWindow();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(h->isVisible());
    EXPECT_EQ(h->browser()->source().toLocalFile(), path("help/ORVEL.html"));
    const QString text = h->browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Contents"))) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Save Changes to File?")));
}

TEST_F(GuiTest, HelpFileThatIsNotAFileIsRefusedAtOnce)
{
    frmMDIMain &m = startMain();
    QDir().mkpath(path("Help"));
    const QString file = path("Help/ORVEL.html");
    ASSERT_EQ(::mkfifo(file.toLocal8Bit().constData(), 0600), 0);
    dialogs.expectBox(
        QStringLiteral("ORVEL"), B::OK,
        QStringLiteral("The help file %1 cannot be opened: it is a named pipe (FIFO), not a regular file.").arg(file));
    m.mnuHelpHelpTopics->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(m.helpWindow() == nullptr || !m.helpWindow()->isVisible());
    QFile::remove(file);
    // A link to the manual is shown.
    ASSERT_TRUE(QFile::link(QStringLiteral(ORVEL_DATA_DIR "/Help/ORVEL.html"), file));
    m.mnuHelpHelpTopics->trigger();
    ASSERT_NE(m.helpWindow(), nullptr);
    EXPECT_TRUE(m.helpWindow()->isVisible());
    EXPECT_TRUE(m.helpWindow()->browser()->toPlainText().contains(QStringLiteral("Save Changes to File?")));
}

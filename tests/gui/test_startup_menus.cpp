// Start-up state, the parameter tables, the utilities, the menu bar and the
// commands of the main window that need no board.
#include "GuiFixture.h"
#include "HelpWindow.h"
#include "Utilities.h"
#include "frmAbout.h"
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>

using B = Dialogs::Button;

TEST_F(GuiTest, StartUpFillsTheTablesAndShowsAnUntitledOfflineSetup)
{
    frmMDIMain &m = startMain();
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));
    EXPECT_EQ(m.BaseCaption, QStringLiteral("ORVEL - "));
    EXPECT_TRUE(m.FormInitialized);
    EXPECT_EQ(ProgramVersion, QStringLiteral("ORVEL_R2.1.3"));
    EXPECT_EQ(SetupMaxIndex, 83);
    EXPECT_TRUE(SetupUntitled);
    EXPECT_FALSE(OfflineEditing);
    EXPECT_EQ(CurrentSetup, DefaultSetup);
    EXPECT_EQ(SavedSetup, DefaultSetup);
    EXPECT_EQ(DefaultSetup.Version, ProgramVersion);
    EXPECT_EQ(m.gFileNamePath, dir.path() + QStringLiteral("/*.sdt"));
    ASSERT_NE(Link, nullptr);
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_FALSE(Link->CommError);
    EXPECT_NE(CommPortControl, nullptr);
    EXPECT_FALSE(CommPortControl->isOpen());

    EXPECT_EQ(panel(1), QStringLiteral("System Message:"));
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_FALSE(panel(3).isEmpty());
    EXPECT_FALSE(panel(4).isEmpty());

    EXPECT_EQ(m.CurrentWindow, 0);
    ASSERT_NE(m.ChildForms[0], nullptr);
    EXPECT_EQ(m.ChildForms[0]->windowTitle(), QStringLiteral("Main Display"));
    for (int i = 1; i < frmMDIMain::ChildCount; ++i)
        EXPECT_EQ(m.ChildForms[i], nullptr) << i;

    tick();
    EXPECT_EQ(panel(1), QStringLiteral("System Message:  Program is Currently OFFLINE"));
    EXPECT_EQ(StatusMessage, QStringLiteral("Set-up Program is Currently OFFLINE"));
}

TEST_F(GuiTest, DefaultTableHoldsEveryAddressAndValue)
{
    startMain();
    const SetupData &d = DefaultSetup;
    ASSERT_EQ(d.Address.size(), 84);
    ASSERT_EQ(d.Value.size(), 84);
    const std::pair<int, const char *> addresses[] = {
        {0, "B999"}, {4, "B997"}, {5, "W1014"}, {8, "B646"}, {10, "B645"}, {14, "W1010"}, {15, "W1002"},
        {16, "B82"}, {22, "B655"}, {23, "W560"}, {26, "W566"}, {27, "W1020"}, {42, "W1050"}, {43, "D1100"},
        {45, "D1108"}, {46, "W1116"}, {61, "W1146"}, {62, "D1200"}, {64, "D1208"}, {65, "W1216"},
        {80, "W1246"}, {81, "B4001.0"}, {82, "B4050"}, {83, "B4011"},
    };
    for (const auto &[i, a] : addresses)
        EXPECT_EQ(d.Address[i], QString::fromLatin1(a)) << i;
    for (int i = 0; i < 84; ++i)
        EXPECT_FALSE(d.Address[i].isEmpty()) << i;

    QVector<qint32> expected(84, 0);
    const std::pair<int, int> nonZero[] = {{0, 1}, {1, 5}, {2, 5}, {3, 11}, {5, 215}, {6, 10}, {7, 100},
                                           {11, 180}, {12, 270}, {13, 275}, {82, 1}, {83, 10}};
    for (const auto &[i, v] : nonZero)
        expected[i] = v;
    EXPECT_EQ(d.Value, expected);
}

TEST_F(GuiTest, AlarmTextsAreTheFifteenMessages)
{
    startMain();
    ASSERT_EQ(AlarmMessages.size(), 15);
    EXPECT_EQ(AlarmMessages[0], QStringLiteral(" "));
    EXPECT_EQ(AlarmMessages[3], QStringLiteral("Tester Can Jam or Discharge Photo Eye Fail\r\nCorrect Problem and Press RESET ALARMS to Continue"));
    EXPECT_EQ(AlarmMessages[10], QStringLiteral("Can Tracking Logic Resetting\r\nPlease StandBy"));
    EXPECT_EQ(AlarmMessages[12], QStringLiteral("System is Rejecting The Wrong Can (excessive low correction count)\r\nCheck Reject PE or Can Presence Sensor"));
    EXPECT_EQ(AlarmMessages[13], QStringLiteral("Run Tester Empty of Cans to Reset\r\nCan/Reject Tracking System"));
    EXPECT_EQ(AlarmMessages[14], QStringLiteral("FIFO Error Correction is Disabled\r\nCalibrate FIFO Error Detection"));
}

TEST(Utilities, ChangeExtensionPercentAndProgramTypeCode)
{
    EnsureApplication();
    EXPECT_EQ(ChangeExtension(QStringLiteral("C:\\prog\\LINE.hex"), QStringLiteral("rev")), QStringLiteral("C:\\prog\\LINE.rev"));
    EXPECT_EQ(ChangeExtension(QStringLiteral("/opt/prog/LINE.v2.hex"), QStringLiteral("TNX")), QStringLiteral("/opt/prog/LINE.v2.TNX"));
    EXPECT_EQ(ChangeExtension(QStringLiteral("/opt/prog/LINE"), QStringLiteral("rev")), QStringLiteral("/opt/prog/LINE.rev"));
    EXPECT_EQ(ChangeExtension(QStringLiteral("LINE.hex"), QStringLiteral("rev")), QDir::currentPath() + QStringLiteral("/LINE.rev"));

    EXPECT_FLOAT_EQ(Percent(5, 200), 2.5f);
    EXPECT_FLOAT_EQ(Percent(1, 3), 33.333332f);

    QTemporaryDir d;
    const QString hex = d.path() + QStringLiteral("/LINE.hex");
    EXPECT_EQ(ProgramTypeCode(hex), 68);   // no sibling
    WriteBytes(d.path() + QStringLiteral("/LINE.TNX"), QByteArray());
    EXPECT_EQ(ProgramTypeCode(hex), 68);   // empty sibling
    WriteBytes(d.path() + QStringLiteral("/LINE.TNX"), QByteArray("1,T6850\r\n"));
    EXPECT_EQ(ProgramTypeCode(hex), 49);
    QFile::remove(d.path() + QStringLiteral("/LINE.TNX"));
    WriteBytes(d.path() + QStringLiteral("/line.tnx"), QByteArray("E\r\n"));   // found whatever its letter case
    EXPECT_EQ(ProgramTypeCode(hex), 69);
    WriteBytes(d.path() + QStringLiteral("/line.tnx"), QByteArray(",x\r\n"));
    EXPECT_EQ(ProgramTypeCode(hex), 68);   // empty first item
}

namespace {
struct MenuItem {
    const char *text;
    QKeySequence key;
    bool enabled;
    bool checkable;
    bool checked;
};

void expectMenu(QMenu *menu, const QString &title, const std::vector<MenuItem> &items)
{
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), title);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), qsizetype(items.size())) << title.toStdString();
    for (size_t i = 0; i < items.size(); ++i) {
        QAction *a = actions[qsizetype(i)];
        const MenuItem &want = items[i];
        if (!want.text) {
            EXPECT_TRUE(a->isSeparator()) << title.toStdString() << " item " << i;
            continue;
        }
        EXPECT_EQ(a->text(), QString::fromUtf8(want.text));
        EXPECT_EQ(a->shortcut(), want.key) << want.text;
        EXPECT_EQ(a->isEnabled(), want.enabled) << want.text;
        EXPECT_EQ(a->isCheckable() && a->isChecked(), want.checked) << want.text;
    }
}
} // namespace

TEST_F(GuiTest, MenuBarHasEveryCommandWithItsKeysAndInitialState)
{
    frmMDIMain &m = startMain();
    const auto menus = m.menuBar()->actions();
    ASSERT_EQ(menus.size(), 5);
    const QKeySequence none;
    expectMenu(menus[0]->menu(), QStringLiteral("&File"), {
        {"&New...", QKeySequence(QStringLiteral("Ctrl+N")), true, false, false},
        {"&Open...", QKeySequence(QStringLiteral("Ctrl+O")), true, false, false},
        {"&Save", QKeySequence(QStringLiteral("Ctrl+S")), true, false, false},
        {"Save &As...", none, true, false, false},
        {nullptr, none, true, false, false},
        {"Export Shift Data...", QKeySequence(QStringLiteral("Ctrl+X")), true, false, false},
        {nullptr, none, true, false, false},
        {"&Upload (save) Data", none, true, false, false},
        {"Download P&rogram", none, true, false, false},
        {"Download (restore) &Data", none, true, false, false},
        {nullptr, none, true, false, false},
        {"&Print Report...", QKeySequence(QStringLiteral("Ctrl+P")), true, false, false},
        {"Print Set&up...", none, false, false, false},
        {nullptr, none, true, false, false},
        {"E&xit", none, true, false, false},
    });
    expectMenu(menus[1]->menu(), QStringLiteral("&Edit"), {
        {"Enable &Offline Editing", QKeySequence(QStringLiteral("F2")), true, true, false},
        {nullptr, none, true, false, false},
        {"Co&mm Port", QKeySequence(QStringLiteral("Ctrl+M")), true, false, false},
        {nullptr, none, true, false, false},
        {"Set-up Passcode", none, false, false, false},
    });
    expectMenu(menus[2]->menu(), QStringLiteral("&View"), {
        {"&Target Board Interface", none, true, false, false},
        {nullptr, none, true, false, false},
        {"O&nline Data", QKeySequence(QStringLiteral("F3")), true, true, false},
        {"O&ffline Data", QKeySequence(QStringLiteral("F4")), true, true, true},
    });
    expectMenu(menus[3]->menu(), QStringLiteral("&Window"), {
        {"&1 Main Display", none, true, true, true},
        {"&2 Set-up Parameters", none, true, true, false},
        {"&3 Serial Communications", none, true, true, false},
        {"&4 Shift Data", none, true, true, false},
        {"&5 I/O States", none, true, true, false},
    });
    expectMenu(menus[4]->menu(), QStringLiteral("&Help"), {
        {"&Help Topics", QKeySequence(QStringLiteral("Ctrl+H")), true, false, false},
        {nullptr, none, true, false, false},
        {"&About ORVEL", none, true, false, false},
    });
}

TEST_F(GuiTest, WindowListKeepsExactlyOneChildLoaded)
{
    frmMDIMain &m = startMain();
    QPointer<ChildWindow> mainDisplay = m.ChildForms[0];

    m.mnuWindowForm[0]->trigger();   // already shown: nothing happens
    EXPECT_EQ(m.ChildForms[0], mainDisplay);
    EXPECT_TRUE(m.mnuWindowForm[0]->isChecked());

    const char *captions[] = {"Main Display", "Set-Up", "K2950DF1", "Shift Data", "I/O Status"};
    for (int i : {3, 1, 2, 4, 0}) {
        m.mnuWindowForm[i]->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(m.CurrentWindow, i);
        for (int j = 0; j < frmMDIMain::ChildCount; ++j) {
            EXPECT_EQ(m.mnuWindowForm[j]->isChecked(), j == i) << "item " << j << " after choosing " << i;
            EXPECT_EQ(m.ChildForms[j] != nullptr, j == i) << "window " << j << " after choosing " << i;
        }
        ASSERT_NE(m.ChildForms[i], nullptr);
        EXPECT_EQ(m.ChildForms[i]->windowTitle(), QString::fromLatin1(captions[i]));
        EXPECT_TRUE(m.ChildForms[i]->isVisibleTo(&m));
    }
    EXPECT_TRUE(mainDisplay.isNull()) << "the first main display was unloaded and a new one loaded";
}

TEST_F(GuiTest, OfflineEditingTogglesWithItsCheckMark)
{
    frmMDIMain &m = startMain();
    m.mnuEditOfflineEditing->trigger();
    EXPECT_TRUE(OfflineEditing);
    EXPECT_TRUE(m.mnuEditOfflineEditing->isChecked());
    m.mnuEditOfflineEditing->trigger();
    EXPECT_FALSE(OfflineEditing);
    EXPECT_FALSE(m.mnuEditOfflineEditing->isChecked());
}

TEST_F(GuiTest, CommandsOfLaterVersionsSayTheyAreNotAvailable)
{
    frmMDIMain &m = startMain();
    const std::pair<QAction *, const char *> later[] = {
        {m.mnuFileExport, "\"Export Shift Data\" is not available in this version of ORVEL."},
        {m.mnuFileUpload, "\"Upload (save) Data\" is not available in this version of ORVEL."},
        {m.mnuFileDownloadProgram, "\"Download Program\" is not available in this version of ORVEL."},
        {m.mnuFileDownload, "\"Download (restore) Data\" is not available in this version of ORVEL."},
        {m.mnuFilePrint, "\"Print Report\" is not available in this version of ORVEL."},
        {m.mnuViewTargetBoardStatus, "\"Target Board Interface\" is not available in this version of ORVEL."},
    };
    for (const auto &[action, text] : later) {
        dialogs.expectBox(QStringLiteral("ORVEL"), B::OK, QString::fromLatin1(text));
        action->trigger();
    }
    EXPECT_EQ(CurrentSetup, DefaultSetup);
    EXPECT_FALSE(Link->OnlineMode);
}

TEST_F(GuiTest, AboutBoxShowsTheVersionAndSystemInfoAnswers)
{
    frmMDIMain &m = startMain();
    m.mnuHelpAbout->trigger();
    frmAbout *about = m.aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About ORVEL"));
    EXPECT_EQ(about->lblVersion->text(), QStringLiteral("Version 2.1.3"));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->cmdSysInfo->text(), QStringLiteral("System Info"));
    if (frmAbout::SystemInfoTool().isEmpty()) {
        dialogs.expectBox(QStringLiteral("ORVEL"), B::OK, QStringLiteral("System Information Is Unavailable At This Time"));
        about->cmdSysInfo->click();
    }
    about->cmdOK->click();
    EXPECT_FALSE(about->isVisible());
}

TEST_F(GuiTest, HelpTopicsOpensTheManualAtItsContents)
{
    frmMDIMain &m = startMain();
    // The application folder's own manual comes first, whatever the letter case of its folder.
    QDir().mkpath(path("help"));
    WriteBytes(path("help/ORVEL.html"), "<html><body><p>Local manual</p><a name=\"contents\"></a><h2>Contents</h2></body></html>");
    m.mnuHelpHelpTopics->trigger();
    HelpWindow *h = m.helpWindow();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(h->browser()->toPlainText().contains(QStringLiteral("Local manual")));
    h->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m.helpWindow(), nullptr);

    // The manual that ships with the program: opened at its contents.
    QFile::remove(path("help/ORVEL.html"));
    QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Help/ORVEL.html"), path("help/ORVEL.html"));
    m.mnuHelpHelpTopics->trigger();
    h = m.helpWindow();
    ASSERT_NE(h, nullptr);
    const QString text = h->browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Contents"))) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Online Data")));
    EXPECT_TRUE(text.contains(QStringLiteral("Save Changes to File?")));
    EXPECT_TRUE(h->browser()->source().toLocalFile().endsWith(QStringLiteral("ORVEL.html")));
}

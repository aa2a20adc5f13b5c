#include "frmMDIMain.h"
#include "AppFolder.h"
#include "BoardMap.h"
#include "CommSettings.h"
#include "Clock.h"
#include "Globals.h"
#include "HelpWindow.h"
#include "RSComm.h"
#include "ReportCommands.h"
#include "ShiftExport.h"
#include "StatusPoll.h"
#include "TrendSampler.h"
#include "Utilities.h"
#include "frmDownloadProg.h"
#include "frmAbout.h"
#include "frmProcessing.h"
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QScreen>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

frmMDIMain *g_instance = nullptr;

std::array<ChildWindowFactory, frmMDIMain::ChildCount> &factories()
{
    static std::array<ChildWindowFactory, frmMDIMain::ChildCount> f;
    return f;
}

std::function<void(QWidget *, RSComm &, Dialogs &)> &commPortWindow()
{
    static std::function<void(QWidget *, RSComm &, Dialogs &)> f;
    return f;
}

std::function<void(QWidget *, RSComm &, Dialogs &, const QString &)> &targetBoardWindow()
{
    static std::function<void(QWidget *, RSComm &, Dialogs &, const QString &)> f;
    return f;
}

const char *const kChildCaptions[frmMDIMain::ChildCount] = {
    "Main Display", "Set-Up", "K2950DF1", "Shift Data", "I/O Status", "Shift Trend",
};

const QString kSetupFilter = QStringLiteral("Setup Files(*.sdt)");

}   // namespace

void ApplyOnlineState()
{
    if (g_instance)
        g_instance->ApplyOnlineState();
}

void frmMDIMain::setChildFactory(int index, ChildWindowFactory factory)
{
    if (index >= 0 && index < ChildCount)
        factories()[index] = std::move(factory);
}

void frmMDIMain::setCommPortWindow(std::function<void(QWidget *, RSComm &, Dialogs &)> show)
{
    commPortWindow() = std::move(show);
}

void frmMDIMain::setTargetBoardWindow(std::function<void(QWidget *, RSComm &, Dialogs &, const QString &)> show)
{
    targetBoardWindow() = std::move(show);
}

frmMDIMain *frmMDIMain::instance() { return g_instance; }

const QString frmMDIMain::kPortBackText = QStringLiteral("Board port is back: press F3 to go online");

frmMDIMain::frmMDIMain(Dialogs &dialogs, const Clock &clock, SerialPort &port, QWidget *parent)
    : QMainWindow(parent), dialogs_(dialogs), clock_(clock), port_(port), portWatch_(clock)
{
    g_instance = this;
    AppDialogs = &dialogs_;
    AppClock = &clock_;
    setObjectName(QStringLiteral("frmMDIMain"));
    setWindowTitle(QStringLiteral("ORVEL - "));
    setWindowIcon(ProgramIcon());   // and so every window opened over this one
    // On a small or scaled screen (1.5 on 1280x900 leaves 853x600) the window
    // opens no larger than the screen leaves, with room for the window frame.
    QSize opening(860, 620);
    if (const QScreen *s = screen())
        opening = opening.boundedTo(s->availableGeometry().size() - QSize(16, 48));
    resize(opening);

    host_ = new QWidget(this);
    host_->setObjectName(QStringLiteral("childHost"));
    hostLayout_ = new QVBoxLayout(host_);
    hostLayout_->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(host_);

    buildMenus();
    buildStatusBar();

    // Start-up, in its order.
    // 1. The help file lives beside the program (Help/ORVEL.html).
    // 2. The serial port handed to the link.
    CommPortControl = &port_;
    // 3. The link, offline, port not opened.
    link_ = std::make_unique<RSComm>(dialogs_, clock_);
    Link = link_.get();
    Link->OnlineMode = false;
    Link->CommError = false;
    // 4. The child windows are created when the window list loads them; the
    //    shift trend's samples live here, so that the tick takes them
    //    whichever window is shown.
    trend_ = new TrendSampler(*link_, clock_, TrendSampler::kCapacity, this);
    for (auto &c : ChildForms)
        c = nullptr;
    BuildAlarmMessages();
    gFileNameCaption = QStringLiteral("[unnamed]");
    BaseCaption = windowTitle();
    // 7. The main display, even though CurrentWindow is already 0.
    CurrentWindow = 0;
    FormInitialized = false;
    mnuWindowForm_Click(0);
    InitSetupTables();
    OfflineEditing = false;
    StatusMessage.clear();
    gFileNamePath = AppFolder::path() + QStringLiteral("/*.sdt");
    mnuFileNew_Click();
    FormInitialized = true;

    qApp->installEventFilter(this);
    tmrBackgroungUpdate->start();
}

frmMDIMain::~frmMDIMain()
{
    qApp->removeEventFilter(this);
    tmrBackgroungUpdate->stop();
    if (!shutDown_)
        shutDown();
    for (int i = 0; i < ChildCount; ++i)
        delete ChildForms[i];
    delete about_;
    delete help_;
    CommPortControl = nullptr;
    Link = nullptr;
    link_.reset();
    if (g_instance == this)
        g_instance = nullptr;
    if (AppDialogs == &dialogs_)
        AppDialogs = nullptr;
    if (AppClock == &clock_)
        AppClock = nullptr;
}

namespace {
QAction *addCommand(QMenu *menu, const char *name, const QString &text, const QKeySequence &key = {})
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}
}

void frmMDIMain::buildMenus()
{
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildWindowMenu();
    buildHelpMenu();
    connectCommands();
}

void frmMDIMain::buildFileMenu()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFileNew = addCommand(mnuFile, "mnuFileNew", QStringLiteral("&New..."), QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuFileOpen = addCommand(mnuFile, "mnuFileOpen", QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileSave = addCommand(mnuFile, "mnuFileSave", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs = addCommand(mnuFile, "mnuFileSaveAs", QStringLiteral("Save &As..."));
    mnuFile->addSeparator();
    mnuFileExport = addCommand(mnuFile, "mnuFileExport", QStringLiteral("Export Shift Data..."),
                               QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuFileTrendCsv = addCommand(mnuFile, "mnuFileTrendCsv", QStringLiteral("Save Trend as CS&V..."));
    mnuFileTrendPng = addCommand(mnuFile, "mnuFileTrendPng", QStringLiteral("Save Trend as PN&G..."));
    mnuFileTrendCsv->setEnabled(false);
    mnuFileTrendPng->setEnabled(false);
    mnuFile->addSeparator();
    mnuFileUpload = addCommand(mnuFile, "mnuFileUpload", QStringLiteral("&Upload (save) Data"));
    mnuFileDownloadProgram = addCommand(mnuFile, "mnuFileDownloadProgram", QStringLiteral("Download P&rogram"));
    mnuFileDownload = addCommand(mnuFile, "mnuFileDownload", QStringLiteral("Download (restore) &Data"));
    mnuFile->addSeparator();
    mnuFilePrint =
        addCommand(mnuFile, "mnuFilePrint", QStringLiteral("&Print Report..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuFilePrintSetup = addCommand(mnuFile, "mnuFilePrintSetup", QStringLiteral("Print Set&up..."));
    mnuFilePrintSetup->setEnabled(false);
    mnuFile->addSeparator();
    mnuFileExit = addCommand(mnuFile, "mnuFileExit", QStringLiteral("E&xit"));
}

void frmMDIMain::buildEditMenu()
{
    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEditOfflineEditing = addCommand(mnuEdit, "mnuEditOfflineEditing", QStringLiteral("Enable &Offline Editing"),
                                       QKeySequence(Qt::Key_F2));
    mnuEditOfflineEditing->setCheckable(true);
    mnuEdit->addSeparator();
    mnuEditCommPort =
        addCommand(mnuEdit, "mnuEditCommPort", QStringLiteral("Co&mm Port"), QKeySequence(Qt::CTRL | Qt::Key_M));
    mnuEdit->addSeparator();
    mnuEditPasscode = addCommand(mnuEdit, "mnuEditPasscode", QStringLiteral("Set-up Passcode"));
    mnuEditPasscode->setEnabled(false);
}

void frmMDIMain::buildViewMenu()
{
    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuViewTargetBoardStatus =
        addCommand(mnuView, "mnuViewTargetBoardStatus", QStringLiteral("&Target Board Interface"));
    mnuView->addSeparator();
    mnuViewOnline = addCommand(mnuView, "mnuViewOnline", QStringLiteral("O&nline Data"), QKeySequence(Qt::Key_F3));
    mnuViewOffline = addCommand(mnuView, "mnuViewOffline", QStringLiteral("O&ffline Data"), QKeySequence(Qt::Key_F4));
    mnuViewOnline->setCheckable(true);
    mnuViewOffline->setCheckable(true);
    mnuViewOffline->setChecked(true);
}

void frmMDIMain::buildWindowMenu()
{
    mnuWindow = menuBar()->addMenu(QStringLiteral("&Window"));
    auto *windows = new QActionGroup(this);
    windows->setExclusive(true);
    const QString items[ChildCount] = {
        QStringLiteral("&1 Main Display"),
        QStringLiteral("&2 Set-up Parameters"),
        QStringLiteral("&3 Serial Communications"),
        QStringLiteral("&4 Shift Data"),
        QStringLiteral("&5 I/O States"),
        QStringLiteral("&6 Shift Trend"),
    };
    for (int i = 0; i < ChildCount; ++i) {
        QAction *a = addCommand(mnuWindow, "mnuWindowForm", items[i]);
        a->setCheckable(true);
        a->setData(i);
        windows->addAction(a);
        mnuWindowForm[i] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuWindowForm_Click(i); });
    }
}

void frmMDIMain::buildHelpMenu()
{
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpHelpTopics =
        addCommand(mnuHelp, "mnuHelpHelpTopics", QStringLiteral("&Help Topics"), QKeySequence(Qt::CTRL | Qt::Key_H));
    mnuHelp->addSeparator();
    mnuHelpAbout = addCommand(mnuHelp, "mnuHelpAbout", QStringLiteral("&About ORVEL"));
}

void frmMDIMain::connectCommands()
{
    connect(mnuFileNew, &QAction::triggered, this, &frmMDIMain::mnuFileNew_Click);
    connect(mnuFileOpen, &QAction::triggered, this, &frmMDIMain::mnuFileOpen_Click);
    connect(mnuFileSave, &QAction::triggered, this, [this] { mnuFileSave_Click(); });
    connect(mnuFileSaveAs, &QAction::triggered, this, [this] { mnuFileSaveAs_Click(); });
    connect(mnuFileExport, &QAction::triggered, this, [this] { mnuFileExport_Click(*this, dialogs_); });
    connect(mnuFileTrendCsv, &QAction::triggered, this, &frmMDIMain::mnuFileTrendCsv_Click);
    connect(mnuFileTrendPng, &QAction::triggered, this, &frmMDIMain::mnuFileTrendPng_Click);
    connect(mnuFilePrint, &QAction::triggered, this, [this] { mnuFilePrint_Click(*this, dialogs_); });
    connect(mnuFileUpload, &QAction::triggered, this, [this] { ::mnuFileUpload_Click(*this, dialogs_); });
    connect(mnuFileDownload, &QAction::triggered, this, [this] { ::mnuFileDownload_Click(*this, dialogs_); });
    connect(mnuFileDownloadProgram, &QAction::triggered, this, [this] { SelectProgramFile(0); });
    connect(mnuViewTargetBoardStatus, &QAction::triggered, this, [this] { SelectProgramFile(1); });
    connect(mnuFileExit, &QAction::triggered, this, &frmMDIMain::mnuFileExit_Click);
    connect(mnuEditOfflineEditing, &QAction::triggered, this, &frmMDIMain::mnuEditOfflineEditing_Click);
    connect(mnuEditCommPort, &QAction::triggered, this, &frmMDIMain::mnuEditCommPort_Click);
    connect(mnuEditPasscode, &QAction::triggered, this, &frmMDIMain::mnuEditPasscode_Click);
    connect(mnuViewOnline, &QAction::triggered, this, &frmMDIMain::mnuViewOnline_Click);
    connect(mnuViewOffline, &QAction::triggered, this, &frmMDIMain::mnuViewOffline_Click);
    connect(mnuHelpHelpTopics, &QAction::triggered, this, &frmMDIMain::mnuHelpHelpTopics_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMDIMain::mnuHelpAbout_Click);
}

void frmMDIMain::buildStatusBar()
{
    QStatusBar *sbrMain = statusBar();
    sbrMain->setObjectName(QStringLiteral("sbrMain"));
    sbrMain->setSizeGripEnabled(true);
    struct Panel {
        const char *key;
        const char *text;
        const char *name;
        const char *tip;
    };
    const Panel panels[4] = {
        {"STATUS", "System Message:", "Status Display", "System Status Display Messages"},
        {"MODE", "OFFLINE", "Online Mode", "Communications Mode"},
        {"DATE", "", "Current Date", "Current Date"},
        {"TIME", "", "Current Time", "Current Time"},
    };
    for (int i = 0; i < 4; ++i) {
        auto *l = new QLabel(QString::fromLatin1(panels[i].text), sbrMain);
        l->setObjectName(QString::fromLatin1(panels[i].key));
        l->setAccessibleName(QString::fromLatin1(panels[i].name));
        l->setToolTip(QString::fromLatin1(panels[i].tip));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setContentsMargins(6, 2, 6, 2);
        l->installEventFilter(this);
        if (i == 0) {
            l->setMinimumWidth(320);
            sbrMain->addWidget(l, 1);
        } else {
            l->setAlignment(Qt::AlignCenter);
            l->setMinimumWidth(i == 1 ? 90 : 100);
            sbrMain->addPermanentWidget(l);
        }
        sbrPanel[i + 1] = l;
    }

    tmrBackgroungUpdate = new QTimer(this);
    tmrBackgroungUpdate->setObjectName(QStringLiteral("tmrBackgroungUpdate"));
    tmrBackgroungUpdate->setInterval(500);
    tmrBackgroungUpdate->setTimerType(Qt::PreciseTimer);
    connect(tmrBackgroungUpdate, &QTimer::timeout, this, &frmMDIMain::tmrBackgroungUpdate_Timer);

    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(1000);
    connect(clockTimer_, &QTimer::timeout, this, &frmMDIMain::updateDateTime);
    clockTimer_->start();
    updateDateTime();
}

void frmMDIMain::updateDateTime()
{
    const QDateTime now = clock_.now();
    const QLocale loc;
    sbrPanel[3]->setText(loc.toString(now.date(), QLocale::ShortFormat));
    sbrPanel[4]->setText(loc.toString(now.time(), QLocale::ShortFormat));
}

bool frmMDIMain::eventFilter(QObject *obj, QEvent *e)
{
    // Ctrl+X is "Export Shift Data..." in this program, also while a text box
    // has the focus: the box must not claim it as Cut.
    if (e->type() == QEvent::ShortcutOverride) {
        auto *w = qobject_cast<QWidget *>(obj);
        auto *k = static_cast<QKeyEvent *>(e);
        if (w && w->window() == this && mnuFileExport->isEnabled()
            && QKeySequence(k->keyCombination()) == mnuFileExport->shortcut())
            return true;   // left unaccepted: the menu's shortcut runs
    }
    if (e->type() == QEvent::MouseButtonDblClick) {
        for (int i = 1; i <= 4; ++i) {
            if (obj == sbrPanel[i]) {
                sbrMain_PanelDblClick(i);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(obj, e);
}

void frmMDIMain::updateCaption() { setWindowTitle(BaseCaption + gFileNameCaption); }

// ---- Set-up files -------------------------------------------------------

std::optional<Dialogs::Button> frmMDIMain::ConfirmSaveChanges()
{
    bool changed = false;
    for (int i = 0; i <= SetupMaxIndex; ++i) {
        if (CurrentSetup.Value.value(i) != SavedSetup.Value.value(i)) {
            changed = true;
            break;
        }
    }
    if (CurrentSetup.Version != ProgramVersion)
        changed = true;
    if (!changed)
        return std::nullopt;
    return dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::YesNoCancel, QStringLiteral("ORVEL"),
                               QStringLiteral("Save Changes to File?"));
}

bool frmMDIMain::actOnSaveAnswer(const std::optional<Dialogs::Button> &answer)
{
    if (!answer)
        return true;
    if (*answer == Dialogs::Button::Cancel)
        return false;
    if (*answer == Dialogs::Button::Yes)
        return mnuFileSave_Click();   // a save that did not happen keeps the changes: stop here
    return true;
}

void frmMDIMain::mnuFileNew_Click()
{
    if (!actOnSaveAnswer(ConfirmSaveChanges()))
        return;
    CurrentSetup = DefaultSetup;
    SavedSetup = CurrentSetup;
    SetupUntitled = true;
    gFileNameCaption = QStringLiteral("[unnamed]");
    updateCaption();
}

void frmMDIMain::mnuFileOpen_Click() { openFrom(gFileNamePath, std::nullopt); }

void frmMDIMain::OpenSetupFile(const QString &path) { openFrom(path, path); }

// chosen: a file already chosen, opened in the first pass without the dialog.
void frmMDIMain::openFrom(QString initial, std::optional<QString> chosen)
{
    while (true) {
        if (!actOnSaveAnswer(ConfirmSaveChanges()))
            return;
        const std::optional<QString> declined = chosen ? openChosen(*chosen) : openOnce(initial);
        chosen.reset();
        if (!declined)
            return;
        initial = *declined;   // choosing again starts at the declined file
    }
}

// One pass of Open. Returns the file's path when the user declined it at the
// version question and wants to choose again.
std::optional<QString> frmMDIMain::openOnce(const QString &initialPath)
{
    Dialogs::FileRequest req;
    req.title = QStringLiteral("Open");
    req.filter = kSetupFilter;
    req.initialPath = initialPath;
    req.mustExist = true;
    const std::optional<QString> path = dialogs_.openFile(req);
    if (!path)
        return std::nullopt;
    return openChosen(*path);
}

std::optional<QString> frmMDIMain::openChosen(const QString &chosen)
{
    const std::optional<QString> path = chosen;
    SetupFile::ReadResult r = SetupFile::read(*path);
    if (!r.data) {
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                         QStringLiteral("The file %1 cannot be opened as a set-up file:\r\n\r\n%2.")
                             .arg(QFileInfo(*path).fileName(), r.error));
        return std::nullopt;
    }
    FileSetup = *r.data;

    const QString oldPath = gFileNamePath, oldTitle = gFileNameTitle, oldNow = gUploadNOW;
    gFileNamePath = *path;
    gFileNameTitle = QFileInfo(*path).fileName();
    gUploadNOW = ShiftExport::DataTimeText(clock_.now());

    if (FileSetup.Version == ProgramVersion) {
        AcceptFileSetup();
        return std::nullopt;
    }
    const Dialogs::Button answer =
        dialogs_.messageBox(Dialogs::Icon::Information, Dialogs::Buttons::YesNoCancel, QStringLiteral("ORVEL"),
                            QStringLiteral("File created by set-up program version: ") + FileSetup.Version
                                + QStringLiteral("\r\n") + QStringLiteral("Data tables may not be properly aligned.")
                                + QStringLiteral("\r\n\r\n") + QStringLiteral("Do you wish to continue?"));
    if (answer == Dialogs::Button::Yes) {
        AcceptFileSetup();
        return std::nullopt;
    }
    // Declined: the set-up in memory keeps its own file name, so a later
    // Save cannot write it over the file that was turned down.
    gFileNamePath = oldPath;
    gFileNameTitle = oldTitle;
    gUploadNOW = oldNow;
    if (answer == Dialogs::Button::No)
        return *path;
    return std::nullopt;
}

void frmMDIMain::AcceptFileSetup()
{
    ResizeSetup(FileSetup, SetupMaxIndex);
    CurrentSetup = FileSetup;
    SavedSetup = CurrentSetup;
    SetupUntitled = false;
    gFileNameCaption = QStringLiteral("[") + gFileNameTitle + QStringLiteral("]");
    updateCaption();
}

bool frmMDIMain::mnuFileSave_Click()
{
    if (SetupUntitled)
        return mnuFileSaveAs_Click();
    SetupData record = CurrentSetup;
    record.Version = ProgramVersion;
    const QString error = SetupFile::write(gFileNamePath, record);
    if (!error.isEmpty()) {
        dialogs_.message(
            Dialogs::Icon::Critical, QStringLiteral("ORVEL"),
            QStringLiteral("The set-up could not be saved to %1:\r\n\r\n%2\r\n\r\nThe changes are still in memory.")
                .arg(gFileNamePath, error));
        return false;
    }
    CurrentSetup.Version = ProgramVersion;
    gFileNameCaption = QStringLiteral("[") + gFileNameTitle + QStringLiteral("]");
    updateCaption();
    SavedSetup = CurrentSetup;
    return true;
}

bool frmMDIMain::mnuFileSaveAs_Click()
{
    Dialogs::FileRequest req;
    req.title = QStringLiteral("Save As");
    req.filter = kSetupFilter;
    req.initialPath = QString();
    req.askOverwrite = true;
    const std::optional<QString> path = dialogs_.saveFile(req);
    if (!path)
        return false;
    const bool oldUntitled = SetupUntitled;
    const QString oldPath = gFileNamePath, oldTitle = gFileNameTitle;
    SetupUntitled = false;
    gFileNamePath = *path;
    gFileNameTitle = QFileInfo(*path).fileName();
    if (mnuFileSave_Click())
        return true;
    SetupUntitled = oldUntitled;
    gFileNamePath = oldPath;
    gFileNameTitle = oldTitle;
    return false;
}

// ---- Online state and the background poll --------------------------------

void frmMDIMain::ApplyOnlineState()
{
    if (!Link || Link->isBusy())
        return;
    if (Link->CommError)
        Link->OnlineMode = false;
    if (Link->OnlineMode && !Link->CommError) {
        Link->OpenRSComm(CommPortControl);
        portChanged_ = false;
        endPortWatch();
    }
    else if (!Link->OnlineMode && !Link->CommError)
        Link->CloseRSComm();

    auto showMode = [this] {
        const bool online = Link->OnlineMode;
        sbrPanel[2]->setText(online ? QStringLiteral("ONLINE") : QStringLiteral("OFFLINE"));
        mnuViewOnline->setChecked(online);
        mnuViewOffline->setChecked(!online);
        mnuEditPasscode->setEnabled(online);
    };
    showMode();
    if (Link->OnlineMode && !Link->CommError) {
        Link->RSRead(BoardMap::OnlineCheckByte);
        // A mode handshake the operator gave up on has closed the link.
        if (!Link->OnlineMode)
            showMode();
    }
    if (ChildWindow *c = currentChild())
        c->onlineStateChanged();
}

void frmMDIMain::mnuViewOnline_Click()
{
    Link->OnlineMode = true;
    Link->CommError = false;
    ApplyOnlineState();
}

void frmMDIMain::mnuViewOffline_Click()
{
    Link->OnlineMode = false;
    ApplyOnlineState();
}

void frmMDIMain::sbrMain_PanelDblClick(int panel)
{
    if (panel != 2)
        return;
    Link->OnlineMode = !Link->OnlineMode;
    ApplyOnlineState();
}

void frmMDIMain::tmrBackgroungUpdate_Timer()
{
    // A tick never starts a board access while another one is in progress
    // (a box raised inside an exchange lets timers run).
    if (!Link || Link->isBusy())
        return;
    const QString before = StatusMessage;
    pollStatus();
    trend_->tick(Link->OnlineMode && !Link->CommError);
    if (StatusMessage != before) {
        if (ChildWindow *c = currentChild())
            c->statusMessageChanged();
    }
}

void frmMDIMain::pollStatus()
{
    if (Link->OnlineMode != LastOnline)
        ApplyOnlineState();
    LastOnline = Link->OnlineMode;

    if (Link->OnlineMode) {
        const BoardStatus s = StatusPoll(*Link, AlarmMessages).pollOnline();
        if (s.incomplete && !s.linkDown) {
            // The line spoilt this tick's reads: an online message stays, but
            // what was shown offline does not stay under "ONLINE".
            if (StatusMessage == StatusPoll::offline(false).statusMessage)
                showStatus(StatusPoll::unknown());
            return;
        }
        if (!s.linkDown) {
            showStatus(s);
            return;
        }
        // The link is dead and the user has had its box: go offline now,
        // whichever window is shown, so the status bar says so.
        ApplyOnlineState();
        LastOnline = Link->OnlineMode;
    }
    if (!Link->OnlineMode) {
        BoardStatus s = StatusPoll::offline(Link->CommError);
        if (watchPort())
            s.panelText = kPortBackText;
        showStatus(s);
    }
}

bool frmMDIMain::watchPort()
{
    if (!Link->CommError || portChanged_) {
        portWatch_.stop();
        return false;
    }
    // The device named now is the one the failed link used: a later change
    // of the port only takes effect when the link opens it.
    if (!portWatch_.watching())
        portWatch_.start(CommPortControl->deviceName(), Link->portLost());
    return portWatch_.check();
}

void frmMDIMain::endPortWatch()
{
    portWatch_.stop();
    // Until the next tick says more.
    if (sbrPanel[1]->text() == kPortBackText)
        sbrPanel[1]->setText(Link->OnlineMode ? StatusPoll::unknown().panelText
                                              : StatusPoll::offline(Link->CommError).panelText);
}

void frmMDIMain::showStatus(const BoardStatus &s)
{
    StatusMessage = s.statusMessage;
    sbrPanel[1]->setText(s.panelText);
}

// ---- Window list and the other commands -----------------------------------

void frmMDIMain::mnuWindowForm_Click(int index)
{
    if (index < 0 || index >= ChildCount)
        return;
    if (index == CurrentWindow && FormInitialized) {
        mnuWindowForm[index]->setChecked(true);
        return;
    }
    mnuWindowForm[CurrentWindow]->setChecked(false);
    mnuWindowForm[index]->setChecked(true);
    unloadChild(CurrentWindow);
    loadChild(index);
    CurrentWindow = index;
    mnuFileTrendCsv->setEnabled(index == TrendWindow);
    mnuFileTrendPng->setEnabled(index == TrendWindow);
}

void frmMDIMain::unloadChild(int index)
{
    ChildWindow *c = ChildForms[index];
    if (!c)
        return;
    ChildForms[index] = nullptr;
    c->Form_Unload();
    c->hide();
    hostLayout_->removeWidget(c);
    c->deleteLater();
}

void frmMDIMain::loadChild(int index)
{
    ChildWindow *c = nullptr;
    if (factories()[index])
        c = factories()[index](*link_, dialogs_);
    if (!c) {
        c = new ChildWindow(*link_, dialogs_);
        c->setWindowTitle(QString::fromLatin1(kChildCaptions[index]));
    }
    c->setParent(host_);
    hostLayout_->addWidget(c);
    ChildForms[index] = c;
    c->show();
    c->Form_Activate();
}

void frmMDIMain::SelectProgramFile(int mode)
{
    if (mode == 0 && !Link->OnlineMode) {
        if (dialogs_.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QStringLiteral("Program Offline"),
                                QStringLiteral("Program is Currently OFFLINE\r\n\r\n"
                                               "Do You Wish to Switch to ONLINE MODE to Continue?"))
            != Dialogs::Button::Yes)
            return;
        mnuViewOnline_Click();
    }
    Dialogs::FileRequest req;
    req.title = QStringLiteral("Open");
    req.filter = QStringLiteral("Tarnex Files(*.tnx)");
    req.initialPath = gProgramFilePath;
    req.mustExist = true;
    const std::optional<QString> chosen = dialogs_.openFile(req);
    if (!chosen || chosen->isEmpty())
        return;
    gProgramFilePath = *chosen;
    // The link reports its own reasons when the set is not valid.
    Link->DownloadFile(gProgramFilePath);
    if (!Link->ValidProgram())
        return;
    if (mode == 1) {
        if (targetBoardWindow())
            targetBoardWindow()(this, *link_, dialogs_, gProgramFilePath);
        else
            notAvailable(mnuViewTargetBoardStatus->text());
        return;
    }
    if (dialogs_.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QStringLiteral("Program Download"),
                            QStringLiteral("You are about to download \"") + QFileInfo(gProgramFilePath).fileName()
                                + QStringLiteral("\" to the T6850.\r\n\r\nDo you wish to continue?"))
        != Dialogs::Button::Yes)
        return;
    // Nothing else uses the line while the program goes to the board.
    tmrBackgroungUpdate->stop();
    {
        frmDownloadProg transfer(*link_, this);
        transfer.exec();
    }
    tmrBackgroungUpdate->start();
    ApplyOnlineState();
}

std::optional<QString> frmMDIMain::askTrendFile(const QString &title, const QString &filter, const QString &suffix)
{
    if (CurrentWindow != TrendWindow || !currentChild())
        return std::nullopt;
    Dialogs::FileRequest req;
    req.title = title;
    req.filter = filter;
    req.initialPath = trendFolder_;
    req.defaultSuffix = suffix;
    req.askOverwrite = true;
    const std::optional<QString> path = dialogs_.saveFile(req);
    if (path)
        trendFolder_ = QFileInfo(*path).absolutePath();
    return path;
}

// Through a temporary file beside it: an earlier file of that name stays
// whole when the new one cannot be written.
void frmMDIMain::writeTrendFile(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && write(file) && file.commit();
    if (!ok)
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                         QStringLiteral("The trend could not be written to %1:\r\n\r\n%2.")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void frmMDIMain::mnuFileTrendCsv_Click()
{
    const std::optional<QString> path =
        askTrendFile(QStringLiteral("Save Trend as CSV"), QStringLiteral("CSV Files(*.csv)"), QStringLiteral("csv"));
    if (!path)
        return;
    const QByteArray bytes = trend_->csv();
    writeTrendFile(*path, [&](QIODevice &f) { return f.write(bytes) == bytes.size(); });
}

void frmMDIMain::mnuFileTrendPng_Click()
{
    const std::optional<QString> path =
        askTrendFile(QStringLiteral("Save Trend as PNG"), QStringLiteral("PNG Images(*.png)"), QStringLiteral("png"));
    if (!path)
        return;
    const QImage picture = currentChild()->grab().toImage();
    writeTrendFile(*path, [&](QIODevice &f) {
        QImageWriter writer(&f, "png");
        return writer.write(picture);
    });
}

void frmMDIMain::mnuEditOfflineEditing_Click()
{
    OfflineEditing = !OfflineEditing;
    mnuEditOfflineEditing->setChecked(OfflineEditing);
    if (ChildWindow *c = currentChild())
        c->onlineStateChanged();
}

void frmMDIMain::mnuEditCommPort_Click()
{
    if (commPortWindow()) {
        // Another port chosen: the one watched no longer matters.
        auto portSetting = [this] {
            const CommSettings::FileContents f = CommSettings::read(Link->CommSettingsFile());
            return f.record.portRead ? int(f.record.port) : -1;
        };
        const int before = portSetting();
        commPortWindow()(this, *link_, dialogs_);
        if (const int after = portSetting(); after != before) {
            // Until the link has opened the port now chosen (the window does
            // when the program was online), there is no device to watch.
            portChanged_ = CommPortControl->portNumber() != after;
            endPortWatch();
        }
    } else
        notAvailable(mnuEditCommPort->text());
}

void frmMDIMain::mnuEditPasscode_Click()
{
    if (!Link->OnlineMode)
        return;
    QString proposal;
    if (!Link->CommError)
        proposal = Link->RSRead(BoardMap::Passcode);
    const std::optional<QString> answer = dialogs_.inputBox(QStringLiteral("Please Enter New Passcode (0-65535)"),
                                                            QStringLiteral("Keypad Set-up Passcode"), proposal);
    if (answer && !answer->isEmpty() && !Link->CommError)
        Link->RSWrite(BoardMap::Passcode, *answer);
}

void frmMDIMain::mnuHelpHelpTopics_Click()
{
    // The application folder's manual; an --app-dir folder without one
    // uses the manual installed with the program.
    QString file = AppFolder::resolve(QStringLiteral("\\Help\\ORVEL.html"));
    if (!QFileInfo::exists(file) && QCoreApplication::instance()) {
        const QString installed = AppFolder::installedDataDir() + QStringLiteral("/Help/ORVEL.html");
        if (QFileInfo::exists(installed))
            file = installed;
    }
    if (!QFileInfo::exists(file)) {
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                         QStringLiteral("The help file %1 cannot be found.").arg(QDir::toNativeSeparators(file)));
        return;
    }
    if (!help_) {
        help_ = new HelpWindow(file);
        help_->setAttribute(Qt::WA_DeleteOnClose);
    }
    help_->showContents();
    if (const QString why = help_->loadError(); !why.isEmpty()) {
        help_->close();
        dialogs_.message(
            Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
            QStringLiteral("The help file %1 cannot be opened: %2.").arg(QDir::toNativeSeparators(file), why));
        return;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void frmMDIMain::mnuHelpAbout_Click()
{
    if (!about_) {
        about_ = new frmAbout(dialogs_, this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void frmMDIMain::mnuFileExit_Click() { close(); }

void frmMDIMain::notAvailable(const QString &command)
{
    QString name = command;
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QStringLiteral("...")))
        name.chop(3);
    dialogs_.message(Dialogs::Icon::Information, QStringLiteral("ORVEL"),
                     QStringLiteral("\"%1\" is not available in this version of ORVEL.").arg(name));
}

// ---- Shut-down ------------------------------------------------------------

void frmMDIMain::closeEvent(QCloseEvent *e)
{
    if (shutDown_) {
        e->accept();
        return;
    }
    if (Link && Link->isBusy()) {
        e->ignore();
        return;
    }
    if (!actOnSaveAnswer(ConfirmSaveChanges())) {
        e->ignore();
        return;
    }
    shutDown();
    e->accept();
}

void frmMDIMain::shutDown()
{
    shutDown_ = true;
    tmrBackgroungUpdate->stop();
    if (Link)
        Link->CloseRSComm();
    for (int i = 0; i < ChildCount; ++i)
        unloadChild(i);
    if (about_)
        about_->close();
    if (help_)
        help_->close();
}

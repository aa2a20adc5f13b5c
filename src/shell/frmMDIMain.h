#pragma once
// The main window: menu bar, status bar, background poll, and the host of
// the one child window that is loaded at a time. It owns the link to the
// board and the set-up tables for the whole run.
#include "ChildWindow.h"
#include "Dialogs.h"
#include "HelpWindow.h"
#include "PortWatch.h"
#include "SerialPort.h"
#include "frmAbout.h"
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QIODevice;
class QLabel;
class QMenu;
class QTimer;
class QVBoxLayout;
class RSComm;
class Clock;
class TrendSampler;
struct BoardStatus;

class frmMDIMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int ChildCount = 6;
    // The last entry of the window list: the shift trend, which the
    // background tick samples whichever window is shown.
    static constexpr int TrendWindow = 5;

    // The program supplies its child windows and the comm port window; the
    // shell only knows them through these.
    static void setChildFactory(int index, ChildWindowFactory factory);
    static void setCommPortWindow(std::function<void(QWidget *parent, RSComm &link, Dialogs &dialogs)> show);
    static void setTargetBoardWindow(
        std::function<void(QWidget *parent, RSComm &link, Dialogs &dialogs, const QString &programFile)> show);

    // port: the serial port handed to the link, kept by the caller for the
    // main window's whole life.
    frmMDIMain(Dialogs &dialogs, const Clock &clock, SerialPort &port, QWidget *parent = nullptr);
    ~frmMDIMain() override;

    static frmMDIMain *instance();

    // Public strings, read by other windows.
    QString gFileNameCaption;
    QString gFileNamePath;
    QString gFileNameTitle;
    QString gFileExportPath;
    QString gProgramFilePath;
    QString gUploadNOW;

    std::array<QPointer<ChildWindow>, ChildCount> ChildForms;
    int CurrentWindow = 0;
    bool FormInitialized = false;
    QString BaseCaption;

    // Menu commands.
    QAction *mnuFileNew, *mnuFileOpen, *mnuFileSave, *mnuFileSaveAs, *mnuFileExport, *mnuFileUpload,
        *mnuFileDownloadProgram, *mnuFileDownload, *mnuFilePrint, *mnuFilePrintSetup, *mnuFileExit;
    // Enabled while the shift trend is the window shown.
    QAction *mnuFileTrendCsv, *mnuFileTrendPng;
    QAction *mnuEditOfflineEditing, *mnuEditCommPort, *mnuEditPasscode;
    QAction *mnuViewTargetBoardStatus, *mnuViewOnline, *mnuViewOffline;
    std::array<QAction *, ChildCount> mnuWindowForm;
    QAction *mnuHelpHelpTopics, *mnuHelpAbout;
    QMenu *mnuFile, *mnuEdit, *mnuView, *mnuWindow, *mnuHelp;

    // Status bar panels 1..4 (index 0 unused).
    std::array<QLabel *, 5> sbrPanel{};
    QTimer *tmrBackgroungUpdate;

    // Commands (public so that other windows and tests can run them).
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    // Opens the set-up file at path as File > Open opens a chosen one (the
    // program's file argument); declined at the version question with No,
    // File > Open goes on from there.
    void OpenSetupFile(const QString &path);
    bool mnuFileSave_Click();   // false when nothing was saved
    bool mnuFileSaveAs_Click();
    void mnuWindowForm_Click(int index);
    // The shift trend's samples as a CSV file, and its window as a PNG picture.
    void mnuFileTrendCsv_Click();
    void mnuFileTrendPng_Click();
    void mnuEditOfflineEditing_Click();
    void mnuEditCommPort_Click();
    void mnuEditPasscode_Click();
    void mnuViewOnline_Click();
    void mnuViewOffline_Click();
    void mnuHelpHelpTopics_Click();
    void mnuHelpAbout_Click();
    void mnuFileExit_Click();
    void sbrMain_PanelDblClick(int panel);
    void tmrBackgroungUpdate_Timer();
    // 0: choose a program file and download it; 1: choose one and open the
    // target board interface with it.
    void SelectProgramFile(int mode);

    // The "Save Changes to File?" question: nullopt when nothing changed.
    std::optional<Dialogs::Button> ConfirmSaveChanges();
    void AcceptFileSetup();
    void ApplyOnlineState();

    void updateCaption();
    ChildWindow *currentChild() const { return ChildForms[CurrentWindow]; }
    TrendSampler &trend() const { return *trend_; }
    frmAbout *aboutBox() const { return about_; }
    HelpWindow *helpWindow() const { return help_; }
    bool lastOnline() const { return LastOnline; }
    // Offline after a link failure the board's port is watched; panel 1 says
    // kPortBackText once it is back, until the program goes online or the
    // port is changed.
    static const QString kPortBackText;
    const PortWatch &portWatch() const { return portWatch_; }

    // The box for a command whose window the program did not supply.
    void notAvailable(const QString &command);

protected:
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    void buildMenus();
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildWindowMenu();
    void buildHelpMenu();
    void connectCommands();
    void pollStatus();   // one tick's reads and texts
    void showStatus(const BoardStatus &s);
    bool watchPort();        // true: the port is back
    void endPortWatch();     // going online, or another port chosen
    void buildStatusBar();
    void updateDateTime();
    void unloadChild(int index);
    void loadChild(int index);
    void shutDown();
    // Save runs when the answer is Yes; false when the calling command must stop.
    bool actOnSaveAnswer(const std::optional<Dialogs::Button> &answer);
    std::optional<QString> openOnce(const QString &initialPath);
    std::optional<QString> openChosen(const QString &path);
    // The save dialog of a trend file; nullopt when cancelled.
    std::optional<QString> askTrendFile(const QString &title, const QString &filter, const QString &suffix);
    void writeTrendFile(const QString &path, const std::function<bool(QIODevice &)> &write);
    void openFrom(QString initialPath, std::optional<QString> chosen);

    Dialogs &dialogs_;
    const Clock &clock_;
    SerialPort &port_;
    std::unique_ptr<RSComm> link_;
    TrendSampler *trend_;
    QString trendFolder_;   // where the last trend file went
    QWidget *host_;
    QVBoxLayout *hostLayout_;
    QTimer *clockTimer_;
    QPointer<frmAbout> about_;
    QPointer<HelpWindow> help_;
    bool LastOnline = false;
    PortWatch portWatch_;
    bool portChanged_ = false;   // no watch until the next attempt to go online
    bool shutDown_ = false;
};

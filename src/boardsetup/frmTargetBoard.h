#pragma once
// The target board interface: the service window for the board itself. For
// the board program file the user chose, it shows on four pages the board's
// fault and communication error codes with their texts and a corrective
// action, the program ident in the board beside the one on disk, the board's
// network address(es) and its real-time clock. It is modal: InitializeForm
// returns when it has been closed.
//
// Its poll runs as a step machine (PollLoop), one board read per step. Each
// switch to online first reads the status bytes and the program ident, one
// per step, then every pass reads the eight editable fields. The main
// window's current child window holds its own poll while this one is open;
// the background tick goes on.
#include "PollLoop.h"
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <array>

class Dialogs;
class EntryFields;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class RSComm;
class UpDown;

class frmTargetBoard : public QDialog, private PollClient {
    Q_OBJECT
public:
    frmTargetBoard(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmTargetBoard() override;

    // Prepares the window for the program file and shows it modally; returns
    // when the window is closed (at once when preparing failed, after its box).
    void InitializeForm(const QString &TarnexFile);
    // The preparing part: board type, the rev file, the field table, what the
    // board type shows. False (box shown) when the rev file could not be used.
    bool PrepareForm(const QString &TarnexFile);

    // Buttons.
    void cmdGoOnline_Click();
    void cmdResetFaults_Click();
    void cmdSetToCurrTime_Click();
    void cmdSetToCurrDate_Click();
    void cmdOk_Click();

    // For tests and the report of what is shown.
    PollLoop &poll() { return poll_; }
    EntryFields &entries() { return *entries_; }
    bool pollActive() const { return PollActive; }
    int boardType() const { return BoardType; }
    QString programName() const { return ProgramName; }
    int programRevision() const { return ProgramRevision; }
    int programChecksum() const { return ProgramChecksum; }
    const QStringList &statusCodes() const { return StatusCode; }
    // The status view has been read since the last switch to online (or reset).
    bool statusRead() const { return !statusPending_; }
    QString boxText(int i) const;   // txtTargetBoard(i), i = 0, 1, 3, 4, 5
    // The corrective advice for a last fault code (box 3).
    static QString CorrectiveAction(int code);

    QTabWidget *tabTargetBoard;
    std::array<QWidget *, 4> fraTargetBoard{};
    std::array<QGroupBox *, 5> fraDescription{};
    std::array<QWidget *, 6> txtTargetBoard{};   // 0, 1, 4, 5 one line; 3 three lines; no 2
    std::array<QLabel *, 14> lblTargetBoard{};
    std::array<QLabel *, 3> lblRevIdentInPLC{};
    std::array<QLabel *, 5> lblRevIdentOnDisk{};
    std::array<QLineEdit *, 8> txtSetup{};
    std::array<UpDown *, 8> updSetup{};
    std::array<QLabel *, 8> lblSetupDesc{};
    QLabel *lblNetworkAddComment;
    QLabel *lblBoardTime;   // "Target Board Time:"
    QLabel *lblBoardDate;   // "Target Board Date:"
    QLabel *lblCurrTime;
    QLabel *lblCurrDate;
    QLabel *lblNote;
    QPushButton *cmdResetFaults;
    QPushButton *cmdGoOnline;
    QPushButton *cmdSetToCurrTime;
    QPushButton *cmdSetToCurrDate;
    QPushButton *cmdOk;
    QPushButton *cmdDefault;

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void PassTop() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;

    void buildControls();
    QWidget *buildFaultPage();
    QWidget *buildIdentPage();
    QWidget *buildNetworkPage();
    QWidget *buildClockPage();
    void Form_Activate();
    void endPoll();
    void showPage(int index);
    void setBoxText(int i, const QString &text);
    void setFieldRowEnabled(int i, bool enabled);
    void setClockControlsEnabled(bool enabled);
    // InitOnlineView's first part: what is enabled online; the reads follow
    // step by step (statusStep).
    void beginOnlineView();
    // Makes the status view's next read (or, with the link failed, all the
    // rest without reads); false when the status view is complete.
    bool statusStep();
    void lookUpTexts(const QString &file, int first, int second);
    void writeField(int i, const QString &text);
    void writeIfOnline(const char *address, int value);
    void onAccepted(int index, qint32 value);
    void onStepped(int index, qint32 value, const QString &text);

    RSComm &link_;
    Dialogs &dialogs_;
    EntryFields *entries_ = nullptr;
    PollLoop poll_;
    QPointer<PollLoop> heldChildPoll_;

    QStringList FieldAddress;
    bool PollActive = false;
    QString LastValue;
    int BoardType = 0;
    QString ProgramName;
    int ProgramRevision = 0;
    int ProgramChecksum = 0;
    int LastSecond = -1;
    QStringList StatusCode;

    // The status view being read: the next action of statusStep.
    bool statusPending_ = false;
    int statusNext_ = 0;
    bool textErrorShown_ = false;
    int fieldNext_ = 0;
};

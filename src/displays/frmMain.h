#pragma once
// Child window: the main display. The operator's overview: the system
// message the background poll keeps, machine speed, the current shift's
// counts and scrap percentages, and two board commands (test blow-off, alarm
// reset). Online it reads the board without pause; offline it shows the
// counts held in the set-up.
#include "ChildWindow.h"
#include "PollLoop.h"
#include <QStringList>
#include <array>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmMain : public ChildWindow, private PollClient {
    Q_OBJECT
public:
    frmMain(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void Form_Activate() override;
    void Form_Unload() override;
    void onlineStateChanged() override;
    void statusMessageChanged() override;

    void cmdAlarmReset_Click();
    void cmdTestBlowoff_Click();
    PollLoop &poll() { return poll_; }
    PollLoop *pollLoop() override { return &poll_; }

    std::array<QGroupBox *, 9> fraDisplay{};
    std::array<QLabel *, 7> lblDisplay{};
    QGroupBox *fraMessages;
    QPlainTextEdit *txtMessageDisplay;
    QPushButton *cmdTestBlowoff;
    QPushButton *cmdAlarmReset;
    QPushButton *cmdDefault;

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void PassTop() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;
    void RefreshOffline() override;
    void ShowScrapPercentages();
    void enableView(bool enabled);

    QStringList FieldAddress;
    QString LastValue;
    PollLoop poll_;
    int next_ = 0;   // index of the next read in the running pass
    qint32 GoodCans = 0;
    qint32 LeakerRejects = 0;
    qint32 VisionRejects = 0;
    qint32 TotalCans = 1;
};

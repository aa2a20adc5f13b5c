#pragma once
// Child window: the shift data. Three pages: the running rejects per pocket
// with the last rejected pocket, the current shift and the last shift (good
// cans, leaker and vision rejects, scrap percentages, rejects per pocket).
// Online it reads the page shown without pause; offline it shows all three
// pages from the counts held in the set-up. Two momentary buttons hold a
// board flag at 1 for as long as the mouse button is down on them: reset the
// per-pocket rejects, and end the shift (current shift into last shift).
#include "ChildWindow.h"
#include "PollLoop.h"
#include <QStringList>
#include <QTimer>
#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabBar;

class frmData : public ChildWindow, private PollClient {
    Q_OBJECT
public:
    static constexpr int FieldCount = 55;   // value indices read from the board
    static constexpr int LabelCount = 61;   // plus the six scrap percentages

    frmData(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void Form_Activate() override;
    void Form_Unload() override;
    void onlineStateChanged() override;

    // A tab was chosen (click or access key): its page is shown and read.
    void tbsData_Click();
    PollLoop &poll() { return poll_; }
    PollLoop *pollLoop() override { return &poll_; }

    QTabBar *tbsData;
    std::array<QFrame *, 3> fraData{};
    std::array<QGroupBox *, 7> fraDataDisplay{};
    std::array<QLabel *, LabelCount> lblData{};
    std::array<QLabel *, LabelCount> lblDescription{};
    QPushButton *cmdResetRejects;
    QPushButton *cmdEndofShift;
    QPushButton *cmdDefault;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;
    void RefreshOffline() override;
    void ShowScrapPercentages(int shift);
    void enableView(bool enabled);
    void showValue(int index, qint64 value);

    // A button that holds a board flag at 1 while the mouse is down on it.
    struct Momentary {
        QPushButton *button = nullptr;
        QString flag;
        bool held = false;   // a mouse button is down on it
        bool down = false;   // its 1 went out: a 0 is owed on release
    };
    void momentaryPress(Momentary &m);
    void momentaryRelease(Momentary &m);
    void retryReleases();

    QStringList FieldAddress;
    QString LastValue;
    PollLoop poll_;
    bool TabChanged = false;
    int FirstIndex = 0;
    int LastIndex = 16;
    int next_ = 0;   // value index of the next read in the running pass
    // Counts of the shift whose totals were read last. Held wide: the
    // set-up can hold any 32-bit value, and three of them may be added.
    qint64 GoodCans = 0;
    qint64 LeakerRejects = 0;
    qint64 VisionRejects = 0;
    qint64 TotalCans = 1;
    std::array<Momentary, 2> momentary_;
    QTimer releaseRetry_;
};

#pragma once
// Child window: the I/O states. The controller's two inputs, its analog and
// resolver values, the 16 timing channels and the 16 points of each of three
// I/O slots, read live from the board for commissioning and fault finding.
// A state shows "ON" in blue or "off" in dark red, and "-" until read.
// Offline there is nothing to show: every state reads "-" and the window is
// disabled. The window never writes to the board.
#include "ChildWindow.h"
#include "PollLoop.h"
#include <QStringList>
#include <array>

class QFrame;
class QGroupBox;
class QLabel;

class frmLTIO : public ChildWindow, private PollClient {
    Q_OBJECT
public:
    static constexpr int FieldCount = 15;   // reads per pass

    frmLTIO(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void Form_Activate() override;
    void Form_Unload() override;
    void onlineStateChanged() override;
    PollLoop &poll() { return poll_; }
    PollLoop *pollLoop() override { return &poll_; }

    // The colours of a state.
    static QColor onColour();
    static QColor offColour();

    std::array<QGroupBox *, 5> fraBMIO{};
    std::array<QFrame *, 6> Line1{};
    std::array<QLabel *, 11> lblt6855{};
    std::array<QLabel *, 11> lblt6855State{};
    std::array<QLabel *, 16> lblTmgChannel{};
    std::array<QLabel *, 16> lblTmgChannelState{};
    std::array<QLabel *, 16> lblSlot00{};
    std::array<QLabel *, 16> lblSlot00State{};
    std::array<QLabel *, 16> lblSlot01{};
    std::array<QLabel *, 16> lblSlot01State{};
    std::array<QLabel *, 16> lblSlot02{};
    std::array<QLabel *, 16> lblSlot02State{};

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;
    void initView(bool enabled);
    void showState(QLabel *label, bool on);
    // The caption and state labels of the bit group read at value index 11..14.
    std::array<QLabel *, 16> &groupCaptions(int group);
    std::array<QLabel *, 16> &groupStates(int group);

    QStringList FieldAddress;
    QString LastValue;
    PollLoop poll_;
    int next_ = 0;   // value index of the next read in the running pass
};

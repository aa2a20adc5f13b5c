#pragma once
// Child window: the K2950 DF1 serial module, through which the board talks to
// an Allen-Bradley PLC-5 or SLC-500. It sets the module's PLC type,
// destination node and destination file number (entries 81..83 of the
// working set-up) and, online, shows nine live status values of the module
// with their meanings.
#include "ChildWindow.h"
#include "PollLoop.h"
#include <QStringList>
#include <array>

class EntryFields;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UpDown;

class frmK2950DF1 : public ChildWindow, private PollClient {
    Q_OBJECT
public:
    frmK2950DF1(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void Form_Activate() override;
    void Form_Unload() override;
    void onlineStateChanged() override;

    // A choice in the PLC type list (by click, keys or wheel).
    void cboSetup_Click(int index);

    PollLoop &poll() { return poll_; }
    PollLoop *pollLoop() override { return &poll_; }
    EntryFields &entries() { return *entries_; }
    // FieldEditing: 0 the node box, 1 the file number box, 2 the PLC type list.
    bool fieldEditing(int i) const;
    bool plcTypeReady() const { return PlcTypeReady; }

    std::array<QGroupBox *, 3> fraSetup{};
    std::array<QLabel *, 12> lblDescription{};
    std::array<QLabel *, 9> lblDisplay{};
    QComboBox *cboSetup;
    std::array<QLineEdit *, 2> txtSetup{};
    std::array<UpDown *, 2> updSetup{};
    QPushButton *cmdDefault;

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;
    void RefreshOffline() override;

    void buildControls();
    void enableStatus(bool enabled);
    void enableSetup(bool enabled);
    void selectPlcType(qint64 position);
    void clearFieldEditing();
    void onAccepted(int index, qint32 value);
    void onStepped(int index, qint32 value, const QString &text);
    void writeSetup(int index, const QString &text);

    QStringList FieldAddress;
    QString LastValue;
    bool ListEditing = false;   // FieldEditing(2)
    bool SeenOfflineEditing = false;
    bool PlcTypeReady = false;
    EntryFields *entries_;
    PollLoop poll_;

    // The running online pass: the field read next, and for the link layer
    // status the reads of its status code bytes that follow.
    enum class LinkRead { None, StatusCode, ExtendedCode };
    int next_ = 0;
    LinkRead linkRead_ = LinkRead::None;
    qint64 statusCode_ = 0;
};

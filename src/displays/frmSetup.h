#pragma once
// Child window: the set-up parameters of the reject control, on five pages.
// Twelve fields are parameters the technician edits (a text box and an
// up-down control); the others show live board values. Online the window
// reads the fields of the page shown, one read per poll step, and writes
// every accepted entry straight to the board. Offline it shows the working
// set-up, and with offline editing enabled the twelve parameters can be
// changed there (nothing is sent). Three buttons start board commands: zero
// resolver, test blow-off and FIFO calibration.
#include "ChildWindow.h"
#include "PollLoop.h"
#include <QStringList>
#include <array>

class EntryFields;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class UpDown;

class frmSetup : public ChildWindow, private PollClient {
    Q_OBJECT
public:
    static constexpr int FieldCount = 33;        // field indices 0..32
    static constexpr int EditCount = 15;         // text boxes live at 0..7 and 11..14
    static constexpr int AddressedFields = 31;   // FieldAddress 0..30
    static constexpr int PageCount = 5;
    static constexpr int FrameCount = 9;

    frmSetup(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void Form_Activate() override;
    void Form_Unload() override;
    void onlineStateChanged() override;

    void tbsSetup_Click(int tab);   // tab 1..5
    void cmdZeroResolver_Click();
    void cmdTestBlowoff_Click();
    void cmdCalibrateFIFO_Click();
    PollLoop &poll() { return poll_; }
    PollLoop *pollLoop() override { return &poll_; }
    EntryFields &entries() { return *entries_; }

    // True for the indices that have a text box and an up-down control.
    static bool isEditIndex(int i) { return (i >= 0 && i <= 7) || (i >= 11 && i <= 14); }
    // The first and last field index of a page (0..4).
    static int pageFirst(int page);
    static int pageLast(int page);

    QTabBar *tbsSetup;
    std::array<QWidget *, PageCount> fraSetup{};
    std::array<QGroupBox *, FrameCount> fraSetup2{};
    std::array<QLabel *, FieldCount> lblDescription{};   // none at 15, 16, 25
    std::array<QLabel *, FieldCount> lblDisplay{};       // at 8..10 and 15..32
    std::array<QLineEdit *, EditCount> txtSetup{};       // at the edit indices
    std::array<UpDown *, EditCount> updSetup{};
    QPushButton *cmdZeroResolver;
    QPushButton *cmdTestBlowoff;
    QPushButton *cmdCalibrateFIFO;
    QPushButton *cmdDefault;

    QString fieldAddress(int i) const { return FieldAddress.value(i); }
    int firstIndex() const { return FirstIndex; }
    int lastIndex() const { return LastIndex; }

private:
    bool InitOnlineView() override;
    void InitOfflineView() override;
    void BeginOnlinePass() override;
    bool OnlineStep() override;
    void RefreshOffline() override;

    void buildPages();
    void showOnline(int i);
    void showOffline(int i);
    void setRange(int page);
    void onAccepted(int i, qint32 value);
    void onStepped(int i, qint32 value, const QString &text);
    // Writes a board command unless the link has failed or gone offline.
    void writeCommand(const QString &address, const QString &value);

    QStringList FieldAddress;
    QString LastValue;
    bool TabChanged = false;
    qint16 FirstIndex = 0;
    qint16 LastIndex = 4;
    bool SeenOfflineEditing = false;

    // The running online pass: its range (taken when it begins), the field
    // it is at, and which of that field's reads comes next.
    enum class Read { Field, Second, Third };
    int passLast_ = 4;
    int next_ = 0;
    Read read_ = Read::Field;

    QStackedWidget *pages_;
    EntryFields *entries_;
    PollLoop poll_;
};

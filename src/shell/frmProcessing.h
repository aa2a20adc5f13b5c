#pragma once
// The processing window: a progress bar over the entries of one data
// transfer, with Cancel. It only follows the transfer object; the transfer
// does the board work, one entry per step of the event loop.
//
// The File menu's data commands live here as well: "&Upload (save) Data" and
// "Download (restore) &Data" ask first, then run TransferData.
#include <QDialog>

class DataTransfer;
class Dialogs;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class frmMDIMain;

class frmProcessing : public QDialog {
    Q_OBJECT
public:
    // The transfer starts when the window is first shown; the window hides
    // itself when the transfer is over, after the failure box if there is one.
    frmProcessing(DataTransfer &transfer, Dialogs &dialogs, QWidget *parent = nullptr);

    DataTransfer &transfer() { return transfer_; }

    QGroupBox *fraProcessing;
    QLabel *lblProcessing;
    QProgressBar *prgProcessing;
    QPushButton *cmdCancel;

    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;   // Esc cancels the transfer rather than leaving it running unseen

private:
    void onFinished(bool ok, const QString &message);

    DataTransfer &transfer_;
    Dialogs &dialogs_;
    bool started_ = false;
    bool cancelFlag_ = false;
};

// Runs one upload (mode 0) or download (mode 10) of CurrentSetup through the
// processing window, shown modally over main. Offline, it first asks to go
// online. The current child window's poll is held while the transfer runs;
// the background tick goes on between entries. False when nothing was
// transferred (the offline question answered No).
bool TransferData(frmMDIMain &main, Dialogs &dialogs, int mode);

// File > "&Upload (save) Data" and File > "Download (restore) &Data".
void mnuFileUpload_Click(frmMDIMain &main, Dialogs &dialogs);
void mnuFileDownload_Click(frmMDIMain &main, Dialogs &dialogs);

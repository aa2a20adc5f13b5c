#pragma once
// The program transfer window: a frame with one line telling which program
// address is being sent (or read back), refreshed every 250 ms while the
// link runs the transfer. It closes itself when the transfer has ended.
#include <QDialog>

class QGroupBox;
class QLabel;
class QTimer;
class RSComm;

class frmDownloadProg : public QDialog {
    Q_OBJECT
public:
    explicit frmDownloadProg(RSComm &link, QWidget *parent = nullptr);

    // 0: send the program to the board (the default); 1: read it back.
    void SetTransferMode(int Mode = 0);
    int transferMode() const { return TransferMode; }

    QGroupBox *fraWaitDisplay;
    QLabel *lblWaitDisplay;
    QTimer *Timer1;

    void Timer1_Timer();
    // Shows the link's progress at once, without letting events run: for the
    // steps of a transfer that let none run (its final wait, the ident writes).
    void ShowProgressNow();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void Form_Load();
    void Form_Activate();

    RSComm &link_;
    qint16 TransferMode = 0;
    bool started_ = false;
    bool running_ = false;
};

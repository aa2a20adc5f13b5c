#pragma once
// The comm port window: which COM port and speed the link uses. It writes
// the comm settings file, the board tools' port files, and re-opens the
// link when the program was online.
#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;
class RSComm;
class Dialogs;
class UpDown;

class frmSetupComm : public QDialog {
    Q_OBJECT
public:
    // The link whose settings the window changes (and re-opens when the
    // program was online), and the boxes it shows.
    frmSetupComm(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);

    qint16 PortNumber = 1;
    qint16 PortBaudRate = 9600;
    bool WasOnline = false;
    std::array<QString, 3> ToolFolders;

    QGroupBox *fraCommPort;
    QLineEdit *txtCommPort;
    UpDown *updCommPort;
    QGroupBox *fraPortSpeed;
    std::array<QRadioButton *, 2> optPortSpeed;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;
    QLabel *lblDevice;        // what the number means on this machine
    QLabel *lblDetected;      // serial ports the system reports

    void LoadCommSettings();
    // The bounds check of the port number box; false (after the box) when rejected.
    bool txtCommPort_Validate();
    void cmdSave_Click();
    void cmdCancel_Click();
    void refreshDevice();

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    RSComm &link_;
    Dialogs &dialogs_;
    void trappedError(const QString &title, int number, const QString &description);
    bool validating_ = false;
};

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
    QLabel *lblDevice;   // what the number means on this machine
    QLabel *lblLatency;  // a USB adapter's latency timer, when it slows the line: its cost and cure
    QGroupBox *fraDetected;
    QLabel *lblDetected;   // serial ports the system reports

    void LoadCommSettings();
    // The bounds check of the port number box; false (after the box) when rejected.
    bool txtCommPort_Validate();
    // Runs the check when the port field has been left, whatever for: another
    // control, Cancel, another window. Within the window a refused number
    // keeps the focus in the field.
    void txtCommPort_LostFocus();
    // Save checks the port field first when it is being left for Save, and
    // saves nothing when the number is refused.
    void cmdSave_Click();
    // Cancel checks the port field when it is being left for Cancel, then
    // closes the window whatever the check said.
    void cmdCancel_Click();
    void refreshDevice();

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    // The controls, group by group, and their layout.
    void buildCommPortFrame();
    void buildPortSpeedFrame();
    void buildDetectedPortsFrame();
    void buildButtons();
    void layOutWindow();
    void connectControls();
    // What the window shows when it opens: the settings in use and the tool folders.
    void Form_Load();
    // The serial ports the system reports, and how to name one as a COM port.
    void listDetectedPorts();
    void fitHeight();

    // True when Save or Cancel is leaving the port field, or left it without
    // its check having run yet; the check is then no longer due elsewhere.
    bool leavingPortField();

    RSComm &link_;
    Dialogs &dialogs_;
    void trappedError(const QString &title, int number, const QString &description);
    bool validating_ = false;     // the bounds box is up
    bool portCheckDue_ = false;   // the port field was left and not checked yet
};

#pragma once
// The about box: program name, version, who makes it and where to get help.
#include <QDialog>

class Dialogs;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(Dialogs &dialogs, QWidget *parent = nullptr);

    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *lblAppFolder;   // the application folder in use
    QLabel *lblDisclaimer;
    QPushButton *cmdOK;
    QPushButton *cmdSysInfo;

    // The system information tool this machine offers (empty when none).
    static QString SystemInfoTool();
    static QString AppFolderText();
    void StartSysInfo();

private:
    Dialogs &dialogs_;
};

#pragma once
// Child window: the main display. It shows the system message that the
// background poll keeps.
#include "ChildWindow.h"

class QGroupBox;
class QPlainTextEdit;

class frmMain : public ChildWindow {
    Q_OBJECT
public:
    frmMain(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
    void statusMessageChanged() override;

    QGroupBox *fraMessages;
    QPlainTextEdit *txtMessageDisplay;
};

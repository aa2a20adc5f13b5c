#pragma once
// Child window: the set-up parameters.
#include "ChildWindow.h"

class frmSetup : public ChildWindow {
    Q_OBJECT
public:
    frmSetup(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
};

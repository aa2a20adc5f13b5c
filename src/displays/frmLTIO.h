#pragma once
// Child window: the I/O states.
#include "ChildWindow.h"

class frmLTIO : public ChildWindow {
    Q_OBJECT
public:
    frmLTIO(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
};

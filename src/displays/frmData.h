#pragma once
// Child window: the shift data.
#include "ChildWindow.h"

class frmData : public ChildWindow {
    Q_OBJECT
public:
    frmData(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
};

#pragma once
// Child window: the K2950 DF1 serial module.
#include "ChildWindow.h"

class frmK2950DF1 : public ChildWindow {
    Q_OBJECT
public:
    frmK2950DF1(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr);
};

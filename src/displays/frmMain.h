#pragma once
// Child window: the main display.
#include "ChildWindow.h"

class frmMain : public ChildWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
};

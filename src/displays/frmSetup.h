#pragma once
// Child window: the set-up parameters.
#include "ChildWindow.h"

class frmSetup : public ChildWindow {
    Q_OBJECT
public:
    explicit frmSetup(QWidget *parent = nullptr);
};

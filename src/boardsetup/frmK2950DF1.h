#pragma once
// Child window: the K2950 DF1 serial module.
#include "ChildWindow.h"

class frmK2950DF1 : public ChildWindow {
    Q_OBJECT
public:
    explicit frmK2950DF1(QWidget *parent = nullptr);
};

#pragma once
// Child window: the shift data.
#include "ChildWindow.h"

class frmData : public ChildWindow {
    Q_OBJECT
public:
    explicit frmData(QWidget *parent = nullptr);
};

#pragma once
// Child window: the I/O states.
#include "ChildWindow.h"

class frmLTIO : public ChildWindow {
    Q_OBJECT
public:
    explicit frmLTIO(QWidget *parent = nullptr);
};

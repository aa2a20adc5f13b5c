#pragma once
// A child window of the main window. The main window keeps exactly one
// loaded: it creates the chosen one, shows it filling its client area, and
// deletes the previous one after calling its unload handling.
#include <QWidget>
#include <functional>

class ChildWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Runs before the window is deleted: a window stops its poll here.
    virtual void Form_Unload() {}
    // The program's online state changed.
    virtual void onlineStateChanged() {}
    // The background poll wrote a new StatusMessage.
    virtual void statusMessageChanged() {}
};

using ChildWindowFactory = std::function<ChildWindow *()>;

#pragma once
// A child window of the main window. The main window keeps exactly one
// loaded: it creates the chosen one, shows it filling its client area, and
// deletes the previous one after calling its unload handling.
#include <QWidget>
#include <functional>

class Dialogs;
class PollLoop;
class RSComm;

class ChildWindow : public QWidget {
    Q_OBJECT
public:
    // Every child window reaches the board through the link and shows its
    // boxes through the dialogs it is given.
    ChildWindow(RSComm &link, Dialogs &dialogs, QWidget *parent = nullptr)
        : QWidget(parent), link_(link), dialogs_(dialogs)
    {}
    // Runs once the window is shown in the main window: a window sets up its
    // view and starts its poll here.
    virtual void Form_Activate() {}
    // Runs before the window is deleted: a window stops its poll here.
    virtual void Form_Unload() {}
    // The program's online state changed.
    virtual void onlineStateChanged() {}
    // The background poll wrote a new StatusMessage.
    virtual void statusMessageChanged() {}
    // The window's board poll, when it has one.
    virtual PollLoop *pollLoop() { return nullptr; }

protected:
    RSComm &link_;
    Dialogs &dialogs_;
};

using ChildWindowFactory = std::function<ChildWindow *(RSComm &link, Dialogs &dialogs)>;

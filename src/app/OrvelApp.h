#pragma once
// The desktop program put together: its windows, its command line and the
// demonstration board.
#include <QString>
#include <QStringList>
#include <memory>

class Dialogs;
class QObject;
class QWidget;
class RSComm;

// Hands the shell the child windows, the comm port window and the target
// board interface.
void RegisterOrvelWindows();

// Opens the target board interface for a chosen board program file; returns
// when it has been closed.
void ShowTargetBoardWindow(QWidget *parent, RSComm &link, Dialogs &dialogs, const QString &programFile);

struct OrvelOptions {
    QString appDir;      // --app-dir DIR
    bool demo = false;   // --demo
    QString file;        // a set-up file to open
    bool help = false;
    QString error;   // a command line that could not be understood
};

OrvelOptions ParseOrvelArguments(const QStringList &args);

// A simulated board on a pseudo-terminal, linked as COM1 of the application
// folder. Starts nothing when the simulator is not part of this build.
class DemoBoard {
public:
    DemoBoard();
    ~DemoBoard();
    // Prepares the folder (Support/, Help/, ports/) and starts the board.
    bool start(const QString &appDir, QString *error);
    void stop();
    QString slavePath() const;
    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

// SIGINT and SIGTERM end the program within a second, whatever it is doing:
// the link gives up its waits (Interruption.h), every box is closed, and the
// event loop ends with the status 128 + the signal's number, so the port is
// released and the demonstration board stopped as on a normal exit. A second
// signal ends the process at once.
void EndOnTerminationSignals(QObject *owner);

// main() of the program.
int RunOrvel(int argc, char **argv);

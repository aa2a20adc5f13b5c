#pragma once
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>

class SerialPort;
class Dialogs;
class Clock;

namespace orvelctl {

enum Exit { Done = 0, CommFailure = 1, Usage = 2, Refused = 3 };

struct Environment {
    Dialogs &dialogs;
    std::function<std::unique_ptr<SerialPort>()> makePort;   // the real port, unconfigured
    std::FILE *out = stdout;
    std::FILE *err = stderr;
    const Clock *clock = nullptr;   // the link's time-outs and watch's passes; the system clock when null
};

// Runs one orvelctl command line (without the program name); returns the exit status.
int run(const QStringList &args, Environment &env);
QString usage();

// True when the command line asks for the report, which draws with fonts
// and so needs a QGuiApplication; the other commands run on QtCore alone.
bool needsGuiApplication(const QStringList &args);

}

#pragma once
// What both serial port backends and the port watch check before they use a
// device on a system with terminals: that it is the program's end of a serial
// line, and that nobody else holds it.
#include <QString>

struct TerminalClaim {
    int fd = -1;   // open, non-blocking, holding the flock; -1 when refused
    int err = 0;   // errno-style reason when refused
    QString text;  // the message when refused
};

// Opens dev without blocking and takes it with an flock (which lasts while fd
// is open, and never outlives the process). Refuses what is not a terminal and
// the master side of a pseudo-terminal before anything is set on it.
TerminalClaim ClaimTerminal(const QString &dev);
// Unlocks and closes a claimed descriptor, leaving DTR as it is.
void ReleaseTerminal(int fd);
// DTR stays up when the device's last descriptor closes.
void KeepDtrOnClose(int fd);

#pragma once
#include <QString>

// The application folder: --app-dir when given, else the executable's folder.
// It holds Support/ (RSPort.cfg, the code text files, ports/), Help/ and the
// board tool folders. Names in the program are written the Windows way
// ("\Support\RSPort.cfg"); resolve() turns them into a path on this machine,
// matching each existing component without regard to letter case.
class AppFolder {
public:
    static void set(const QString &dir);
    static QString path();                       // absolute, no trailing separator
    static QString resolve(const QString &windowsRelative);
    // Any path: existing components are matched case-insensitively.
    static QString resolveAbsolute(const QString &path);
    // The device that COM port number n means on this machine.
    static QString portDevice(int n);
};

// Windows-1252 ("ANSI"), the code page of set-up and text files.
namespace Ansi {
QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);   // characters outside the page become '?'
}

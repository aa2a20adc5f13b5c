#pragma once
#include <QByteArray>
#include <QString>

// The application folder: --app-dir when given, else the executable's folder.
// It holds Support/ (RSPort.cfg, the code text files, ports/), Help/ and the
// board tool folders. Names in the program are written the Windows way
// ("\Support\RSPort.cfg"); resolve() turns them into a path on this machine,
// matching each existing component without regard to letter case.
class AppFolder {
public:
    static void set(const QString &dir);
    static QString path();   // absolute, no trailing separator
    static QString resolve(const QString &windowsRelative);
    // Any path: existing components are matched case-insensitively.
    static QString resolveAbsolute(const QString &path);
    // The device that COM port number n means on this machine.
    static QString portDevice(int n);
};

// A file the program reads whole (settings, set-up files, the manual), or why
// it was refused.
struct FileBytes {
    QByteArray bytes;
    QString error;   // empty when read; else a phrase such as "it is a folder, not a file"
    bool ok() const { return error.isEmpty(); }
};

enum class LargerFile { Refused, ReadInPart };

// Reads a regular file, or a symbolic link to one, of at most maxBytes bytes.
// Anything else (a folder, a named pipe, a device, a socket) is refused
// without being read, and nothing here ever waits for a writer or a device.
// A larger file is refused, or with ReadInPart its first maxBytes bytes are
// returned; either way at most maxBytes + 1 bytes are read.
FileBytes readRegularFile(const QString &path, qint64 maxBytes, LargerFile larger = LargerFile::Refused);

// Writes the whole file through a temporary file and a rename, so the file is
// either the old one or the new one, never half-written. Unbuffered: a short
// write (disk full, file size limit) is caught. Empty when written; else why not.
QString writeFileWhole(const QString &path, const QByteArray &bytes);

// Windows-1252 ("ANSI"), the code page of set-up and text files.
namespace Ansi {
QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);   // characters outside the page become '?'
}

#pragma once
#include <QByteArray>
#include <QString>

// The application folder: --app-dir when given, else the executable's folder
// when it holds Support/ and can be written (a build or an unpacked folder),
// else a per-user folder made from the installed files (see chooseDefault).
// It holds Support/ (RSPort.cfg, the code text files, ports/), Help/ and the
// board tool folders. Names in the program are written the Windows way
// ("\Support\RSPort.cfg"); resolve() turns them into a path on this machine,
// matching each existing component without regard to letter case.
class AppFolder {
public:
    static void set(const QString &dir);
    static QString path();   // absolute, no trailing separator; the default is chosen on first use
    // Where the program's own Support/ and Help/ are: beside the executable,
    // or in an installed layout <prefix>/share/orvel beside <prefix>/bin.
    // Empty when neither has a Support/ folder.
    static QString installedDataDir(const QString &exeDir);
    static QString installedDataDir();   // for this executable
    // $XDG_DATA_HOME/orvel, else ~/.local/share/orvel.
    static QString userDataDir();
    // The folder used without --app-dir. The installed files' folder when it
    // is the executable's own and can be written; else userDir, made and
    // given every installed file it lacks (a file already there is never
    // replaced), and seededFrom names the installed folder. When userDir
    // cannot be made, the installed folder is used read-only and error says why.
    struct Choice {
        QString folder, seededFrom, error;
    };
    static Choice chooseDefault(const QString &exeDir, const QString &userDir);
    static const Choice &defaultChoice();   // as made for path(); empty folder after set()
    // Copies Help/ and Support/ from `from` into dir, keeping files already
    // there; port links, and anything but regular files, are not copied.
    static void seed(const QString &dir, const QString &from);
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

// Where a file the program writes goes. The name is followed through its
// symbolic links. Only a regular file, or a name nothing has yet, is replaced
// (by a new file put in its place); a character device or a named pipe is
// written into as it is (a terminal, /dev/stdout, a pipe a program reads);
// anything else (a folder, a block device, a socket) is refused.
struct WriteTarget {
    enum class Kind { Replace, Stream, Refused };
    Kind kind = Kind::Refused;
    QString path;    // Replace: the file the name leads to; Stream: the name as given
    QString error;   // Refused: why, a phrase such as "it is a folder, not a file"
};
WriteTarget writeTarget(const QString &path);

// Opens a Stream target for writing. Never waits for a pipe's reader: a pipe
// nobody reads is refused. -1 and the reason when it cannot be opened.
int openStream(const QString &path, QString &error);
void closeStream(int fd);

// True when anything at all is under the name, a link that leads nowhere or
// an entry that cannot be looked at included: only a name that is not there
// is free.
bool nameTaken(const QString &path);

// The new file that replaces a Replace target: made beside it with the
// permissions of the file it replaces (those of any new file when there is
// none), written through fd() or by name, then put in place by commit().
// Removed unless committed.
class ReplacementFile {
public:
    explicit ReplacementFile(const QString &target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;
    const QString &error() const { return error_; }   // empty when made
    const QString &name() const { return name_; }
    int fd() const { return fd_; }
    // Closes the file (after its bytes are on the disk) and renames it over
    // the target. Empty when in place; else why not.
    QString commit();

private:
    QString target_, name_, error_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes the whole file. A file is replaced through a new file and a rename,
// so it is either the old one or the new one, never half-written; a short
// write (disk full, file size limit) is caught. A device or a pipe is written
// into (see WriteTarget). Empty when written; else why not.
QString writeFileWhole(const QString &path, const QByteArray &bytes);

// Writes all the bytes to fd, through short writes and EINTR. Empty when
// written; else why not ("the disk is full" for a write that took nothing).
QString writeAll(int fd, const QByteArray &bytes);

// Windows-1252 ("ANSI"), the code page of set-up and text files.
namespace Ansi {
QString decode(const QByteArray &bytes);
QByteArray encode(const QString &text);   // characters outside the page become '?'
}

#include "TerminalClaim.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString notAPortText(const QString &dev, mode_t mode)
{
    const char *what = S_ISREG(mode) ? "a regular file"
        : S_ISDIR(mode)              ? "a folder"
        : S_ISFIFO(mode)             ? "a named pipe (FIFO)"
        : S_ISSOCK(mode)             ? "a socket"
        : S_ISBLK(mode)              ? "a disk device"
        : S_ISCHR(mode)              ? "a device that is not a terminal"
                                     : "not a terminal";
    return QStringLiteral("%1 is not a serial port: it is %2").arg(dev, QLatin1String(what));
}

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }
}   // namespace

TerminalClaim ClaimTerminal(const QString &dev)
{
    const QByteArray path = dev.toLocal8Bit();
    // What is not a character device is refused before it is opened: a FIFO
    // or a file is never a serial line, and opening some of them can wait.
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 && !S_ISCHR(st.st_mode))
        return {-1, ENOTTY, notAPortText(dev, st.st_mode)};
    // Non-blocking, so neither the open nor the checks wait for carrier or a peer.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        return {-1, e, QStringLiteral("Cannot open %1: %2").arg(dev, systemText(e))};
    }
    // Checked again on what was opened: the name may have changed in between.
    // A device that is not a terminal (/dev/null...) has no line settings; the
    // master side of a pseudo-terminal (/dev/ptmx opens a new one) is the
    // board's end of the line, never the program's.
    TerminalClaim c;
    int ptyNumber = 0;
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        c = {-1, ENOTTY, notAPortText(dev, st.st_mode)};
    } else if (::ioctl(fd, TIOCGPTN, &ptyNumber) == 0) {
        c = {-1, ENOTTY, QStringLiteral("%1 is the master side of a pseudo-terminal, not a serial port").arg(dev)};
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno == EWOULDBLOCK ? EBUSY : errno;
        c = {-1, e, QStringLiteral("Port %1 is in use: %2").arg(dev, systemText(e))};
    } else {
        return {fd, 0, {}};
    }
    ::close(fd);
    return c;
}

void ReleaseTerminal(int fd)
{
    if (fd < 0)
        return;
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

void KeepDtrOnClose(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) == 0 && (t.c_cflag & HUPCL)) {
        t.c_cflag &= ~tcflag_t(HUPCL);
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

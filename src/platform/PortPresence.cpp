#include "PortPresence.h"

#ifdef Q_OS_WIN
#include <windows.h>

bool PortPresence::available(const QString &device)
{
    // "COM3" as the system names it. No sharing: a port that another open
    // holds cannot be opened, as the program's own port could not.
    const QString path = QStringLiteral("\\\\.\\") + device;
    const HANDLE h = ::CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(h);
    return true;
}

#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

bool PortPresence::available(const QString &device)
{
    const QByteArray path = device.toLocal8Bit();
    struct stat st {};
    // A missing node or a link that leads nowhere is the common answer: no open.
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int ptyNumber = 0;
    bool ok = ::isatty(fd) && ::ioctl(fd, TIOCGPTN, &ptyNumber) != 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (ok) {
        // Nobody else has it: this close is the device's last, which drops
        // DTR and RTS while HUPCL is set (as on a device fresh from its
        // driver). The program's own open clears it too.
        termios t {};
        if (::tcgetattr(fd, &t) == 0 && (t.c_cflag & HUPCL)) {
            t.c_cflag &= ~tcflag_t(HUPCL);
            ::tcsetattr(fd, TCSANOW, &t);
        }
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    return ok;
}
#endif

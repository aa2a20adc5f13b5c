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

std::optional<QString> PortPresence::deniedGroup(const QString &) { return std::nullopt; }
#else
#include "TerminalClaim.h"
#include <QFile>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::optional<QString> PortPresence::deniedGroup(const QString &device)
{
    const QByteArray name = QFile::encodeName(device);
    struct stat st {};
    if (device.isEmpty() || ::stat(name.constData(), &st) != 0)
        return std::nullopt;
    if (::access(name.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return std::nullopt;
    std::vector<char> buf(16384);
    struct group g {};
    struct group *found = nullptr;
    if (::getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) == 0 && found && found->gr_name)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(st.st_gid);
}

bool PortPresence::available(const QString &device)
{
    // A missing node or a link that leads nowhere is the common answer.
    if (device.isEmpty())
        return false;
    const TerminalClaim c = ClaimTerminal(device);
    if (c.fd < 0)
        return false;
    // Nobody else has it: this close is the device's last, which drops DTR
    // and RTS while HUPCL is set (as on a device fresh from its driver). The
    // program's own open clears it too.
    KeepDtrOnClose(c.fd);
    ReleaseTerminal(c.fd);
    return true;
}
#endif

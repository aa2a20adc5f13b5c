#include "UsbAdapter.h"
#include "AppFolder.h"

#include <QFileInfo>
#include <cerrno>

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace UsbAdapter {
namespace {

QString &rootOverride()
{
    static QString root;
    return root;
}

Ioctl &ioctlOverride()
{
    static Ioctl f;
    return f;
}

#if defined(__linux__)
int callIoctl(int fd, unsigned long request, void *arg)
{
    const Ioctl &f = ioctlOverride();
    return f ? f(fd, request, arg) : ::ioctl(fd, request, arg);
}
#endif

}   // namespace

LowLatency requestLowLatency(int fd)
{
#if defined(__linux__)
    const int savedErrno = errno;
    LowLatency result = LowLatency::Unsupported;
    serial_struct s{};
    if (callIoctl(fd, TIOCGSERIAL, &s) == 0) {
        result = LowLatency::On;
        if (!(s.flags & ASYNC_LOW_LATENCY)) {
            s.flags |= ASYNC_LOW_LATENCY;
            if (callIoctl(fd, TIOCSSERIAL, &s) != 0)
                result = LowLatency::Refused;
        }
    }
    errno = savedErrno;
    return result;
#else
    (void)fd;
    return LowLatency::Unsupported;
#endif
}

Device describe(const QString &path)
{
    Device d;
    // The terminal a chain of links ends at; a name that leads nowhere is no adapter.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return d;
    const QString name = QFileInfo(real).fileName();
    const QString dir = sysfsRoot() + QStringLiteral("/bus/usb-serial/devices/") + name;
    if (name.isEmpty() || !QFileInfo(dir).isDir())
        return d;
    d.usbSerial = true;
    // A few digits and a newline; anything else (a folder, a pipe, a large
    // file, text) leaves the timer unknown.
    const FileBytes timer = readRegularFile(dir + QStringLiteral("/latency_timer"), 16);
    bool ok = false;
    const int ms = timer.ok() ? QString::fromLatin1(timer.bytes).trimmed().toInt(&ok) : -1;
    if (ok && ms >= 0 && ms <= 255)
        d.latencyMs = ms;
    return d;
}

QString sysfsRoot()
{
    if (!rootOverride().isEmpty())
        return rootOverride();
    const QString fromEnv = qEnvironmentVariable("ORVEL_SYSFS_ROOT");
    return fromEnv.isEmpty() ? QStringLiteral("/sys") : fromEnv;
}

void setSysfsRoot(const QString &root) { rootOverride() = root; }

void setIoctl(Ioctl ioctl) { ioctlOverride() = std::move(ioctl); }

}   // namespace UsbAdapter

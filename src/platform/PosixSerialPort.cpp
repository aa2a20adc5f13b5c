#include "PosixSerialPort.h"
#include "AppFolder.h"
#include "Clock.h"
#include "Interruption.h"
#include "SerialPortFactory.h"
#include "TerminalClaim.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

PosixSerialPort::~PosixSerialPort() { close(); }

void PosixSerialPort::setPortNumber(int n) { port_ = n; }

QString PosixSerialPort::deviceName() const
{
    return devicePath_.isEmpty() ? AppFolder::portDevice(port_) : devicePath_;
}

void PosixSerialPort::fail(int err, const QString &what)
{
    errNo_ = err;
    errText_ = err ? QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(err))) : what;
}

void PosixSerialPort::refuse(int err, const QString &why)
{
    errNo_ = err;
    errText_ = why;
}

bool PosixSerialPort::setSettings(const QString &s)
{
    int baud = 0;
    if (!ParseLineSettings(s, baud)) {
        refuse(380, QStringLiteral("Invalid property value \"%1\"").arg(s));
        return false;
    }
    baud_ = baud;
    settings_ = s;
    if (fd_ >= 0) {
        termios t{};
        if (tcgetattr(fd_, &t) == 0) {
            const speed_t sp = baud_ == 19200 ? B19200 : baud_ == 38400 ? B38400 : baud_ == 4800 ? B4800 : B9600;
            cfsetispeed(&t, sp);
            cfsetospeed(&t, sp);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    return true;
}

bool PosixSerialPort::open()
{
    if (fd_ >= 0)
        return true;
    errNo_ = 0;
    errText_.clear();
    const QString dev = deviceName();
    const TerminalClaim claim = ClaimTerminal(dev);
    if (claim.fd < 0) {
        refuse(claim.err, claim.text);
        return false;
    }
    const int fd = claim.fd;
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        const int e = errno;
        ::close(fd);
        fail(e, QStringLiteral("%1 is not a serial port").arg(dev));
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | HUPCL);   // no HUPCL: DTR stays up on close
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    // A read returns as soon as one byte is there, or after a tenth of a
    // second with nothing: waiting and reading are then one system call.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 1;
    const speed_t sp = baud_ == 19200 ? B19200 : baud_ == 38400 ? B38400 : baud_ == 4800 ? B4800 : B9600;
    cfsetispeed(&t, sp);
    cfsetospeed(&t, sp);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        const int e = errno;
        ::close(fd);
        fail(e, QStringLiteral("Cannot set %1 to %2").arg(dev, settings_));
        return false;
    }
    // The flock above is the only lock: it ends with the process however the
    // process ends. The terminal's own exclusive mode (TIOCEXCL) would outlive
    // a program that was killed, and keep every later one but root's out
    // until the device is made anew.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // One byte out, one byte back: an adapter holding each byte it receives
    // for its latency timer would set the pace. Where the driver has no such
    // mode the port is used as it is.
    lowLatency_ = UsbAdapter::requestLowLatency(fd);
    adapter_ = UsbAdapter::describe(dev);
    fd_ = fd;
    buf_.clear();
    return true;
}

void PosixSerialPort::close()
{
    if (fd_ < 0)
        return;
    ReleaseTerminal(fd_);
    fd_ = -1;
    buf_.clear();
}

void PosixSerialPort::lostDevice()
{
    // The device went away (cable adapter unplugged, the peer of a pty closed):
    // treat it as closed so nothing spins on it.
    fail(EIO, QStringLiteral("The serial device %1 went away").arg(deviceName()));
    close();
}

void PosixSerialPort::fillBuffer()
{
    if (fd_ < 0)
        return;
    // Only what is already there: the descriptor blocks, so ask first.
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) {
        lostDevice();
        return;
    }
    while (n > 0) {
        char tmp[256];
        const ssize_t got = ::read(fd_, tmp, size_t(std::min<int>(n, int(sizeof tmp))));
        if (got > 0) {
            buf_.append(tmp, got);
            n -= int(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            lostDevice();
        return;
    }
}

int PosixSerialPort::bytesWaiting()
{
    fillBuffer();
    return int(buf_.size());
}

void PosixSerialPort::flushInput()
{
    if (fd_ >= 0)
        tcflush(fd_, TCIFLUSH);
    fillBuffer();   // a pty may still hold bytes that tcflush did not reach
    buf_.clear();
}

bool PosixSerialPort::write(const QByteArray &bytes)
{
    if (fd_ < 0) {
        fail(EBADF, QStringLiteral("Port is not open"));
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 1000);
            if (p.revents & (POLLERR | POLLHUP)) {
                lostDevice();
                return false;
            }
            continue;
        }
        const int e = errno;
        lostDevice();
        fail(e, QStringLiteral("Write to %1 failed").arg(deviceName()));
        return false;
    }
    return true;
}

int PosixSerialPort::readByte()
{
    if (buf_.isEmpty())
        fillBuffer();
    if (buf_.isEmpty())
        return -1;
    const int b = static_cast<unsigned char>(buf_.at(0));
    buf_.remove(0, 1);
    return b;
}

bool PosixSerialPort::waitForInput(std::int64_t deadlineNs)
{
    constexpr std::int64_t kReadSlice = 100'000'000;   // VTIME: one tenth of a second
    const Clock &real = SystemClock::instance();
    while (buf_.isEmpty()) {
        // The program is ending: the port is given back at once, and nothing
        // waits any longer.
        if (Interruption::requested()) {
            close();
            return false;
        }
        if (deadlineNs - clock_.monotonicNs() <= 0)
            return false;
        // How long this wait may block in real time (all of it on the system clock).
        const std::int64_t left = clock_.realWaitNs(deadlineNs);
        if (fd_ < 0) {
            // Nothing can arrive on a closed port: sleep out the wait without spinning.
            timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
            while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
            clock_.waitedUntil(deadlineNs);
            return false;
        }
        // A clock that lets the wait block for less than the time left (a
        // test's virtual clock) is told when that shorter wait ends: ppoll below.
        const bool wholeWait = left >= deadlineNs - clock_.monotonicNs();
        if (left >= kReadSlice && wholeWait) {
            // The common case: the answer comes within milliseconds; read waits for it.
            char tmp[256];
            const std::int64_t before = real.monotonicNs();
            const ssize_t got = ::read(fd_, tmp, sizeof tmp);
            if (got > 0) {
                buf_.append(tmp, got);
                clock_.inputArrived();
                return true;
            }
            if (got < 0 && errno == EINTR)
                continue;
            const std::int64_t waited = real.monotonicNs() - before;
            // A read that ends early with nothing is a hang-up, not a time-out.
            if (got < 0 || waited < kReadSlice / 2)
                checkHangup();
            else
                clock_.waitedUntil(std::min(deadlineNs, clock_.monotonicNs() + waited));
            continue;
        }
        // The last stretch before the deadline, to the microsecond.
        pollfd p{fd_, POLLIN, 0};
        timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno != EINTR) {
            lostDevice();
            continue;
        }
        if (r == 0)
            clock_.waitedUntil(deadlineNs);
        if (r > 0) {
            fillBuffer();
            if (buf_.isEmpty() && fd_ >= 0)
                lostDevice();   // readable with nothing to read: the other side is gone
        }
    }
    clock_.inputArrived();
    return true;
}

void PosixSerialPort::checkHangup()
{
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR))) {
        lostDevice();
        return;
    }
    int n = 0;
    if ((p.revents & POLLIN) && ::ioctl(fd_, FIONREAD, &n) == 0 && n == 0)
        lostDevice();
}

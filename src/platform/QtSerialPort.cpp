#include "QtSerialPort.h"
#include "AppFolder.h"
#include "Interruption.h"
#include "SerialPortFactory.h"
#include "UsbAdapter.h"

#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#ifdef Q_OS_UNIX
#include "TerminalClaim.h"
#include <sys/ioctl.h>
#endif

namespace {
// How long one blocking wait lasts at most, so an interruption request is
// seen within a tenth of a second.
constexpr std::int64_t kWaitSliceNs = 100'000'000;
constexpr int kWriteWaitMs = 1000;

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

int errnoOf(QSerialPort::SerialPortError e)
{
    switch (e) {
    case QSerialPort::NoError: return 0;
    case QSerialPort::DeviceNotFoundError: return ENOENT;
    case QSerialPort::PermissionError: return EACCES;
    case QSerialPort::OpenError: return EBUSY;
    case QSerialPort::UnsupportedOperationError: return EINVAL;
    case QSerialPort::TimeoutError: return ETIMEDOUT;
    default: return EIO;
    }
}

}   // namespace

QtSerialPort::QtSerialPort(const Clock &clock) : clock_(clock) {}

QtSerialPort::~QtSerialPort() { close(); }

QString QtSerialPort::deviceName() const
{
    return devicePath_.isEmpty() ? AppFolder::portDevice(port_) : devicePath_;
}

bool QtSerialPort::isOpen() const { return sp_ && sp_->isOpen(); }

void QtSerialPort::fail(int err, const QString &text)
{
    errNo_ = err;
    errText_ = text;
}

void QtSerialPort::failFromQt(const QString &what)
{
    fail(errnoOf(sp_->error()), QStringLiteral("%1: %2").arg(what, sp_->errorString()));
}

bool QtSerialPort::setSettings(const QString &s)
{
    int baud = 0;
    if (!ParseLineSettings(s, baud)) {
        fail(380, QStringLiteral("Invalid property value \"%1\"").arg(s));
        return false;
    }
    baud_ = baud;
    settings_ = s;
    if (isOpen())
        sp_->setBaudRate(baud_);
    return true;
}

bool QtSerialPort::open()
{
    if (isOpen())
        return true;
    errNo_ = 0;
    errText_.clear();
    const QString dev = deviceName();
    QString location = dev;
#ifdef Q_OS_UNIX
    const TerminalClaim c = ClaimTerminal(dev);
    if (c.fd < 0) {
        fail(c.err, c.text);
        return false;
    }
    claim_ = c.fd;
    // The real device: QSerialPort's lock file is named after it.
    if (const QString real = QFileInfo(dev).canonicalFilePath(); !real.isEmpty())
        location = real;
#endif
    sp_ = std::make_unique<QSerialPort>();
    sp_->setPortName(location);
    sp_->setBaudRate(baud_);
    sp_->setDataBits(QSerialPort::Data8);
    sp_->setParity(QSerialPort::NoParity);
    sp_->setStopBits(QSerialPort::OneStop);
    sp_->setFlowControl(QSerialPort::NoFlowControl);
    if (!sp_->open(QIODevice::ReadWrite)) {
        // The device was opened above: a refused lock is another program's.
        if (sp_->error() == QSerialPort::PermissionError && claim_ >= 0)
            fail(EBUSY, QStringLiteral("Port %1 is in use: %2").arg(dev, sp_->errorString()));
        else
            failFromQt(QStringLiteral("Cannot open %1").arg(dev));
        sp_.reset();
        releaseClaim();
        return false;
    }
#ifdef Q_OS_UNIX
    const int fd = int(sp_->handle());
    // The flock above holds the port. The exclusive flag QSerialPort has just
    // set would outlive a killed program on a pseudo-terminal.
    ::ioctl(fd, TIOCNXCL);
    KeepDtrOnClose(fd);
    // One byte out, one byte back: a USB adapter holding each byte for its
    // latency timer would set the pace. Used as it is where there is no such mode.
    UsbAdapter::requestLowLatency(fd);
#endif
    return true;
}

void QtSerialPort::releaseClaim()
{
#ifdef Q_OS_UNIX
    if (claim_ >= 0) {
        // QSerialPort put back the settings it found, hang-up on close
        // included; the descriptor closed last decides.
        KeepDtrOnClose(claim_);
        ReleaseTerminal(claim_);
    }
#endif
    claim_ = -1;
}

void QtSerialPort::close()
{
    if (sp_) {
        sp_->close();
        sp_.reset();
    }
    releaseClaim();
}

void QtSerialPort::lostDevice()
{
    // Unplugged, or the peer of a pty closed: closed, so nothing spins on it.
    fail(EIO, QStringLiteral("The serial device %1 went away: %2").arg(deviceName(), systemText(EIO)));
    close();
}

bool QtSerialPort::pump()
{
    if (!isOpen())
        return false;
    sp_->clearError();
    if (sp_->waitForReadyRead(0))
        return true;
    // Nothing waiting is a time-out; anything else (a hang-up polls readable
    // with nothing to read) is a device gone.
    if (sp_->error() != QSerialPort::TimeoutError) {
        lostDevice();
        return false;
    }
    sp_->clearError();
    return true;
}

int QtSerialPort::bytesWaiting()
{
    pump();
    return isOpen() ? int(sp_->bytesAvailable()) : 0;
}

void QtSerialPort::flushInput()
{
    if (!isOpen())
        return;
    sp_->clear(QSerialPort::Input);
    pump();   // a pty may still hold bytes the flush did not reach
    if (isOpen())
        sp_->readAll();
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (!isOpen()) {
        fail(EBADF, QStringLiteral("Port is not open: %1").arg(systemText(EBADF)));
        return false;
    }
    if (sp_->write(bytes) != bytes.size()) {
        failFromQt(QStringLiteral("Write to %1 failed").arg(deviceName()));
        close();
        return false;
    }
    while (sp_->bytesToWrite() > 0) {
        sp_->clearError();
        if (!sp_->waitForBytesWritten(kWriteWaitMs)) {
            const QString what = QStringLiteral("Write to %1 failed").arg(deviceName());
            if (sp_->error() == QSerialPort::TimeoutError || sp_->error() == QSerialPort::NoError)
                fail(EIO, what);
            else
                failFromQt(what);
            close();
            return false;
        }
    }
    return true;
}

int QtSerialPort::readByte()
{
    if (isOpen() && sp_->bytesAvailable() == 0)
        pump();
    char c = 0;
    if (!isOpen() || !sp_->getChar(&c))
        return -1;
    return static_cast<unsigned char>(c);
}

bool QtSerialPort::waitForInput(std::int64_t deadlineNs)
{
    const Clock &real = SystemClock::instance();
    for (;;) {
        // The program is ending: the port is given back at once, and nothing
        // waits any longer.
        if (Interruption::requested()) {
            close();
            return false;
        }
        if (isOpen() && sp_->bytesAvailable() > 0)
            break;
        if (deadlineNs - clock_.monotonicNs() <= 0)
            return false;
        // How long this wait may block in real time (all of it on the system clock).
        const std::int64_t left = clock_.realWaitNs(deadlineNs);
        if (!isOpen()) {
            // Nothing can arrive on a closed port: sleep out the wait without spinning.
            std::this_thread::sleep_for(std::chrono::nanoseconds(left));
            clock_.waitedUntil(deadlineNs);
            return false;
        }
        // A clock that lets the wait block for less than the time left (a
        // test's virtual clock) waits that once and then reaches the deadline.
        const bool wholeWait = left >= deadlineNs - clock_.monotonicNs();
        const std::int64_t slice = wholeWait ? std::min(left, kWaitSliceNs) : left;
        const std::int64_t before = real.monotonicNs();
        sp_->clearError();
        if (sp_->waitForReadyRead(int((slice + 999'999) / 1'000'000)))
            continue;
        if (sp_->error() != QSerialPort::TimeoutError) {
            lostDevice();
            continue;
        }
        sp_->clearError();
        if (!wholeWait || slice == left)
            clock_.waitedUntil(deadlineNs);
        else
            clock_.waitedUntil(std::min(deadlineNs, clock_.monotonicNs() + real.monotonicNs() - before));
    }
    clock_.inputArrived();
    return true;
}

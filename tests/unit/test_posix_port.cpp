#include "AppFolder.h"
#include "Clock.h"
#include "PosixSerialPort.h"
#include "UsbAdapter.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>
#include <vector>

// The real port against the master side of a pseudo-terminal.
class PosixPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256];
        int slave = -1;
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        ::close(slave);
        slavePath = QString::fromLocal8Bit(name);
        port.setDevicePath(slavePath);
    }
    void TearDown() override
    {
        if (master >= 0)
            ::close(master);
    }
    std::int64_t in(double s) const { return SystemClock::instance().monotonicNs() + std::int64_t(s * 1e9); }

    int master = -1;
    QString slavePath;
    PosixSerialPort port;
};

TEST_F(PosixPort, AllByteValuesPassBothWays)
{
    ASSERT_TRUE(port.setSettings(QStringLiteral("19200,n,8,1")));
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    ASSERT_TRUE(port.write(all));
    QByteArray got;
    char buf[512];
    while (got.size() < 256) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.append(buf, n);
    }
    EXPECT_EQ(got, all);

    ASSERT_EQ(::write(master, all.constData(), size_t(all.size())), 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(port.waitForInput(in(2)));
        EXPECT_EQ(port.readByte(), i);
    }
    EXPECT_EQ(port.readByte(), -1);
}

TEST_F(PosixPort, FlushDropsWaitingInputAndSilenceTimesOut)
{
    ASSERT_TRUE(port.open());
    ASSERT_EQ(::write(master, "abc", 3), 3);
    ASSERT_TRUE(port.waitForInput(in(2)));
    port.flushInput();
    EXPECT_EQ(port.bytesWaiting(), 0);
    const std::int64_t deadline = in(0.05);
    EXPECT_FALSE(port.waitForInput(deadline));
    EXPECT_GE(SystemClock::instance().monotonicNs(), deadline);   // it did wait
}

TEST_F(PosixPort, SecondOpenOfTheSamePortFails)
{
    ASSERT_TRUE(port.open());
    PosixSerialPort other;
    other.setDevicePath(slavePath);
    EXPECT_FALSE(other.open());
    EXPECT_NE(other.errorNumber(), 0);
}

TEST_F(PosixPort, CloseGivesThePortBack)
{
    // The port is held by an flock alone, which ends with the process however
    // it ends. The terminal's exclusive flag would outlive a killed program
    // while the board end stays open, and keep everybody but root out.
    auto held = [&] {
        const int fd = ::open(slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return -1;   // refused: taken exclusively, seen by somebody who is not root
        int on = -1;
        ::ioctl(fd, TIOCGEXCL, &on);
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return on + (locked ? 2 : 0);
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
        EXPECT_EQ(held(), 2);   // locked, no exclusive flag
        port.close();
        EXPECT_EQ(held(), 0);
    }
}

TEST_F(PosixPort, PeerGoingAwayClosesThePort)
{
    ASSERT_TRUE(port.open());
    ::close(master);
    master = -1;
    EXPECT_FALSE(port.waitForInput(in(0.2)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write(QByteArray(1, char(0xFF))));
}

TEST_F(PosixPort, BadSettingsAndMissingDevice)
{
    EXPECT_FALSE(port.setSettings(QStringLiteral("9600,e,7,1")));
    EXPECT_FALSE(port.setSettings(QStringLiteral("1234,n,8,1")));
    PosixSerialPort none;
    none.setDevicePath(QStringLiteral("/nonexistent/ttyQ9"));
    EXPECT_FALSE(none.open());
    EXPECT_FALSE(none.errorString().isEmpty());
}

// A driver with serial settings, standing in for ioctl(2): it records the
// calls and may refuse the write. Writing the low-latency flag brings the
// adapter's timer down to 1 ms, as ftdi_sio does.
struct FakeSerialDriver {
    serial_struct settings{};
    bool hasSettings = true;
    int refuseWrite = 0;   // errno for TIOCSSERIAL, 0 to take it
    QString timerFile;     // the fake sysfs latency_timer the flag lowers
    std::vector<unsigned long> calls;
    int lastFd = -1;

    UsbAdapter::Ioctl ioctl()
    {
        return [this](int fd, unsigned long request, void *arg) {
            calls.push_back(request);
            lastFd = fd;
            auto *s = static_cast<serial_struct *>(arg);
            const int err = !hasSettings ? ENOTTY : request == TIOCSSERIAL ? refuseWrite : 0;
            if (err) {
                errno = err;
                return -1;
            }
            if (request == TIOCGSERIAL) {
                *s = settings;
            } else {
                settings = *s;
                QFile f(timerFile);
                if ((s->flags & ASYNC_LOW_LATENCY) && !timerFile.isEmpty() && f.open(QIODevice::WriteOnly))
                    f.write("1\n");
            }
            return 0;
        };
    }
};

struct FakeSysfs {
    QTemporaryDir dir;
    FakeSysfs() { UsbAdapter::setSysfsRoot(dir.path()); }
    ~FakeSysfs()
    {
        UsbAdapter::setSysfsRoot(QString());
        UsbAdapter::setIoctl({});
    }
    // An adapter's folder; `timer` null: it has no latency_timer.
    QString adapter(const QString &tty, const char *timer)
    {
        const QString d = dir.path() + QStringLiteral("/bus/usb-serial/devices/") + tty;
        QDir().mkpath(d);
        QFile f(d + QStringLiteral("/latency_timer"));
        if (timer && f.open(QIODevice::WriteOnly))
            f.write(timer);
        return f.fileName();
    }
};

TEST(LowLatency, TheFlagIsAddedToTheDriversSettingsOrTheDeviceUsedAsItIs)
{
    using L = UsbAdapter::LowLatency;
    struct Case {
        const char *what;
        bool hasSettings;
        int flags, refuse;
        L result;
        std::vector<unsigned long> calls;
    };
    const Case cases[] = {
        {"pty or no serial settings", false, 0, 0, L::Unsupported, {TIOCGSERIAL}},
        {"flag set, others kept", true, ASYNC_SKIP_TEST, 0, L::On, {TIOCGSERIAL, TIOCSSERIAL}},
        {"already on", true, ASYNC_LOW_LATENCY, 0, L::On, {TIOCGSERIAL}},
        {"driver refuses", true, 0, EINVAL, L::Refused, {TIOCGSERIAL, TIOCSSERIAL}},
    };
    FakeSysfs sys;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakeSerialDriver drv;
        drv.hasSettings = c.hasSettings;
        drv.settings.flags = c.flags;
        drv.settings.xmit_fifo_size = 128;
        drv.refuseWrite = c.refuse;
        UsbAdapter::setIoctl(drv.ioctl());
        errno = 0;
        EXPECT_EQ(UsbAdapter::requestLowLatency(7), c.result);
        EXPECT_EQ(errno, 0);
        EXPECT_EQ(drv.calls, c.calls);
        EXPECT_EQ(drv.lastFd, 7);
        EXPECT_EQ(drv.settings.flags, c.result == L::On ? c.flags | ASYNC_LOW_LATENCY : c.flags);
        EXPECT_EQ(drv.settings.xmit_fifo_size, 128);
    }
}

TEST_F(PosixPort, OpenAsksForLowLatencyThenReadsTheAdaptersTimer)
{
    // The pty stands in for the adapter's terminal: its sysfs folder bears its name.
    using L = UsbAdapter::LowLatency;
    FakeSysfs sys;
    FakeSerialDriver drv;
    drv.timerFile = sys.adapter(QFileInfo(slavePath).fileName(), "16\n");
    UsbAdapter::setIoctl(drv.ioctl());
    const std::tuple<int, L, int> cases[] = {{EPERM, L::Refused, 16}, {0, L::On, 1}};
    for (const auto &[refuse, result, ms] : cases) {
        drv.refuseWrite = refuse;
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
        EXPECT_TRUE(::isatty(drv.lastFd));
        EXPECT_EQ(port.lowLatency(), result);
        EXPECT_TRUE(port.adapter().usbSerial);
        EXPECT_EQ(port.adapter().latencyMs, ms);
        port.close();
    }
    // The pty's own driver has no serial settings: opened all the same.
    UsbAdapter::setIoctl({});
    QDir(sys.dir.path() + QStringLiteral("/bus")).removeRecursively();
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    EXPECT_EQ(port.lowLatency(), L::Unsupported);
    EXPECT_FALSE(port.adapter().usbSerial);
    EXPECT_TRUE(port.write(QByteArray("\xFF", 1)));
}

TEST(UsbAdapterTimer, ReadFromSysfsForTheTerminalTheLinksEndAt)
{
    FakeSysfs sys;
    const QString dev = sys.dir.path() + QStringLiteral("/dev/");
    QDir().mkpath(dev + QStringLiteral("serial/by-id"));
    for (const char *tty : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3", "ttyUSB4", "ttyS0"}) {
        QFile f(dev + QLatin1String(tty));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    sys.adapter(QStringLiteral("ttyUSB0"), "1\n");
    sys.adapter(QStringLiteral("ttyUSB1"), "16\n");
    sys.adapter(QStringLiteral("ttyUSB2"), nullptr);
    sys.adapter(QStringLiteral("ttyUSB3"), "fast\n");
    QDir().mkpath(sys.adapter(QStringLiteral("ttyUSB4"), nullptr));   // a folder in its place
    ASSERT_TRUE(QFile::link(QStringLiteral("../../ttyUSB1"), dev + QStringLiteral("serial/by-id/usb-FTDI")));
    ASSERT_TRUE(QFile::link(dev + QStringLiteral("serial/by-id/usb-FTDI"), dev + QStringLiteral("COM1")));
    const std::tuple<const char *, bool, int> cases[] = {
        {"ttyUSB0", true, 1},  {"COM1", true, 16},    {"ttyUSB2", true, -1}, {"ttyUSB3", true, -1},
        {"ttyUSB4", true, -1}, {"ttyS0", false, -1}, {"ttyUSB9", false, -1},
    };
    for (const auto &[name, usb, ms] : cases) {
        SCOPED_TRACE(name);
        const UsbAdapter::Device d = UsbAdapter::describe(dev + QLatin1String(name));
        EXPECT_EQ(d.usbSerial, usb);
        EXPECT_EQ(d.latencyMs, ms);
    }
}

TEST(PortDevices, WhatIsNotTheProgramsEndOfASerialLineIsRefusedAtOnce)
{
    // COM1 is linked to each; opening it must neither block nor take it.
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
    const QString com1 = dir.path() + QStringLiteral("/Support/ports/COM1");
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString file = dir.path() + QStringLiteral("/file");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\x55");
    }
    struct Case {
        QString target;
        const char *says;
    };
    const Case cases[] = {
        {QStringLiteral("/dev/ptmx"), "is the master side of a pseudo-terminal, not a serial port"},
        {file, "is not a serial port: it is a regular file"},
        {QStringLiteral("/dev/null"), "is not a serial port: it is a device that is not a terminal"},
        {fifo, "is not a serial port: it is a named pipe (FIFO)"},
        {dir.path(), "is not a serial port: it is a folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        QFile::remove(com1);
        ASSERT_TRUE(QFile::link(c.target, com1));
        PosixSerialPort port;
        port.setPortNumber(1);
        EXPECT_FALSE(port.open());
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.errorNumber(), ENOTTY);
        EXPECT_EQ(port.errorString().toStdString(), (com1 + QLatin1String(" ") + QLatin1String(c.says)).toStdString());
    }
    // The file is as it was.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xFF\x55"));
}

TEST(PortNumbers, ResolveToLinksInTheAppFolderOrTtyS)
{
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    EXPECT_EQ(AppFolder::portDevice(1).toStdString(), "/dev/ttyS0");
    EXPECT_EQ(AppFolder::portDevice(12).toStdString(), "/dev/ttyS11");
    QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), dir.path() + QStringLiteral("/Support/ports/COM3")));
    EXPECT_EQ(AppFolder::portDevice(3), dir.path() + QStringLiteral("/Support/ports/COM3"));
    // A dangling link still names the port the technician meant.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ttyUSB77"), dir.path() + QStringLiteral("/Support/ports/COM4")));
    EXPECT_EQ(AppFolder::portDevice(4), dir.path() + QStringLiteral("/Support/ports/COM4"));
}

TEST(AnsiText, WindowsCodePageRoundTrip)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    EXPECT_EQ(Ansi::encode(Ansi::decode(all)), all);
    EXPECT_EQ(Ansi::decode(QByteArray("\x80\xB0")), QString::fromUtf8("€°"));
    EXPECT_EQ(Ansi::encode(QString::fromUtf8("Ω")), QByteArray("?"));
}

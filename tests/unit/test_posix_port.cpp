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

// Low latency on open, against a driver standing in for ioctl(2) and a
// made-up sysfs in which the pty bears an adapter's name. Setting the flag
// brings the adapter's timer down to 1 ms, as ftdi_sio does.
TEST_F(PosixPort, OpenAsksForLowLatencyThenReadsTheAdaptersTimer)
{
    using L = UsbAdapter::LowLatency;
    struct Restore {
        ~Restore() { UsbAdapter::setIoctl({}), UsbAdapter::setSysfsRoot({}); }
    } restore;
    QTemporaryDir sys;
    UsbAdapter::setSysfsRoot(sys.path());
    const QString adapter = sys.path() + QStringLiteral("/bus/usb-serial/devices/") + QFileInfo(slavePath).fileName();
    QDir().mkpath(adapter);
    QFile timer(adapter + QStringLiteral("/latency_timer"));
    auto setTimer = [&](const char *ms) { timer.open(QIODevice::WriteOnly), timer.write(ms), timer.close(); };
    serial_struct driver{};
    int refuse = 0;   // errno for TIOCSSERIAL; ENOTTY: the driver has no serial settings
    std::vector<unsigned long> calls;
    UsbAdapter::setIoctl([&](int fd, unsigned long request, void *arg) {
        calls.push_back(request);
        EXPECT_TRUE(::isatty(fd));
        if (refuse == ENOTTY || (refuse && request == TIOCSSERIAL))
            return errno = refuse, -1;
        auto *s = static_cast<serial_struct *>(arg);
        request == TIOCGSERIAL ? void(*s = driver) : (driver = *s, setTimer("1\n"));
        return 0;
    });
    using V = std::vector<unsigned long>;
    const std::tuple<int, int, L, V, int> cases[] = {
        {ENOTTY, 0, L::Unsupported, {TIOCGSERIAL}, 16},
        {EINVAL, 0, L::Refused, {TIOCGSERIAL, TIOCSSERIAL}, 16},
        {0, ASYNC_SKIP_TEST, L::On, {TIOCGSERIAL, TIOCSSERIAL}, 1},   // the other flags kept
        {0, ASYNC_LOW_LATENCY, L::On, {TIOCGSERIAL}, 16},              // already on
    };
    for (const auto &[err, flags, result, made, ms] : cases) {
        driver = serial_struct{};
        driver.flags = flags;
        refuse = err;
        calls.clear();
        setTimer("16\n");
        ASSERT_TRUE(port.open()) << port.errorString().toStdString();
        EXPECT_EQ(port.lowLatency(), result) << flags;
        EXPECT_EQ(calls, made) << flags;
        EXPECT_EQ(driver.flags, result == L::On ? flags | ASYNC_LOW_LATENCY : flags);
        EXPECT_EQ(port.adapter().latencyMs, ms) << flags;
        port.close();
    }
    // The pty's own driver has no serial settings: opened as it is, and no adapter.
    UsbAdapter::setIoctl({});
    QDir(adapter).removeRecursively();
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    EXPECT_EQ(port.lowLatency(), L::Unsupported);
    EXPECT_FALSE(port.adapter().usbSerial);
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

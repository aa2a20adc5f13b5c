#include "AppFolder.h"
#include "Clock.h"
#include "Interruption.h"
#include "PosixSerialPort.h"
#include "QtSerialPort.h"
#include "TestFiles.h"
#include "UsbAdapter.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>
#include <vector>

// The contract every serial port backend keeps, each run against the master
// side of a pseudo-terminal.
template <class Port>
class SerialBackend : public ::testing::Test {
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
        tcgetattr(slave, &t);
        t.c_cflag |= HUPCL;   // as a real port has it: DTR drops on close
        tcsetattr(slave, TCSANOW, &t);
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
    Port port;
};

using Backends = ::testing::Types<PosixSerialPort, QtSerialPort>;
TYPED_TEST_SUITE(SerialBackend, Backends);

TYPED_TEST(SerialBackend, AllByteValuesPassBothWaysOnARaw8N1Line)
{
    auto &port = this->port;
    ASSERT_TRUE(port.setSettings(QStringLiteral("19200,n,8,1")));
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    // Raw 8N1 at the speed asked for, no flow control, DTR kept up on close.
    auto line = [&] {
        termios t{};
        const int fd = ::open(this->slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        tcgetattr(fd, &t);
        ::close(fd);
        return t;
    };
    termios t = line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL | CLOCAL | CREAD), tcflag_t(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), tcflag_t(0));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    EXPECT_EQ(t.c_oflag & OPOST, tcflag_t(0));
    ASSERT_TRUE(port.setSettings(QStringLiteral("9600,n,8,1")));
    t = line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    ASSERT_TRUE(port.write(all));
    QByteArray got;
    char buf[512];
    while (got.size() < 256) {
        const ssize_t n = ::read(this->master, buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.append(buf, n);
    }
    EXPECT_EQ(got, all);

    ASSERT_EQ(::write(this->master, all.constData(), size_t(all.size())), 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(port.waitForInput(this->in(2)));
        EXPECT_EQ(port.readByte(), i);
    }
    EXPECT_EQ(port.readByte(), -1);
    EXPECT_EQ(port.bytesWaiting(), 0);
}

TYPED_TEST(SerialBackend, FlushDropsWaitingInputAndSilenceTimesOut)
{
    auto &port = this->port;
    ASSERT_TRUE(port.open());
    ASSERT_EQ(::write(this->master, "abc", 3), 3);
    ASSERT_TRUE(port.waitForInput(this->in(2)));
    port.flushInput();
    EXPECT_EQ(port.bytesWaiting(), 0);
    const std::int64_t deadline = this->in(0.05);
    EXPECT_FALSE(port.waitForInput(deadline));
    EXPECT_GE(SystemClock::instance().monotonicNs(), deadline);   // it did wait
}

TYPED_TEST(SerialBackend, WaitsRunOnTheInjectedClock)
{
    // A silent port waits the virtual clock out to the deadline (after a
    // short real wait); a byte that arrives costs one byte-time of it.
    VirtualClock clock;
    TypeParam port(clock);
    port.setDevicePath(this->slavePath);
    ASSERT_TRUE(port.open());
    const std::int64_t t0 = clock.monotonicNs(), deadline = t0 + 3'600'000'000'000;
    EXPECT_FALSE(port.waitForInput(deadline));
    EXPECT_EQ(clock.monotonicNs(), deadline);
    ASSERT_EQ(::write(this->master, "x", 1), 1);
    EXPECT_TRUE(port.waitForInput(deadline + 3'600'000'000'000));
    EXPECT_EQ(clock.monotonicNs(), deadline + VirtualClock::kLineByteNs);
    EXPECT_EQ(port.readByte(), 'x');
}

TYPED_TEST(SerialBackend, AnInterruptionClosesThePortInsteadOfWaiting)
{
    ASSERT_TRUE(this->port.open());
    Interruption::request();
    const bool got = this->port.waitForInput(this->in(2));   // a port that waits fails below, not by a hang
    Interruption::clear();
    EXPECT_FALSE(got);
    EXPECT_FALSE(this->port.isOpen());
}

TYPED_TEST(SerialBackend, HeldByAnFlockThatEndsWithTheProgram)
{
    // Either backend keeps the other out; the hold is an flock alone, which
    // ends with the process however it ends. The terminal's exclusive flag
    // would outlive a killed program while the board end stays open, and keep
    // everybody but root out.
    auto held = [&] {
        const int fd = ::open(this->slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return -1;   // refused: taken exclusively, seen by somebody who is not root
        int on = -1;
        ::ioctl(fd, TIOCGEXCL, &on);
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return on + (locked ? 2 : 0);
    };
    const std::string inUse = "Port " + this->slavePath.toStdString() + " is in use: Device or resource busy";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(this->port.open()) << this->port.errorString().toStdString();
        EXPECT_EQ(held(), 2);   // locked, no exclusive flag
        PosixSerialPort posix;
        QtSerialPort qt;
        for (SerialPort *other : {static_cast<SerialPort *>(&posix), static_cast<SerialPort *>(&qt)}) {
            SCOPED_TRACE(other->errorSource().toStdString());
            posix.setDevicePath(this->slavePath);
            qt.setDevicePath(this->slavePath);
            EXPECT_FALSE(other->open());
            EXPECT_EQ(other->errorNumber(), EBUSY);
            EXPECT_EQ(other->errorString().toStdString(), inUse);
        }
        this->port.close();
        EXPECT_EQ(held(), 0);
    }
    // A killed holder leaves nothing that keeps the next program out.
    const pid_t child = fork();
    if (child == 0) {
        TypeParam holder;
        holder.setDevicePath(this->slavePath);
        if (holder.open())
            ::raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(this->port.open()) << this->port.errorString().toStdString();
    EXPECT_EQ(held(), 2);
}

TYPED_TEST(SerialBackend, PeerGoingAwayClosesThePort)
{
    auto &port = this->port;
    ASSERT_TRUE(port.open());
    ::close(this->master);
    this->master = -1;
    EXPECT_FALSE(port.waitForInput(this->in(0.2)));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.errorString(), QStringLiteral("The serial device %1 went away: Input/output error").arg(this->slavePath));
    EXPECT_FALSE(port.write(QByteArray(1, char(0xFF))));
}

TYPED_TEST(SerialBackend, BadSettingsAndWhatIsNotTheProgramsEndOfASerialLine)
{
    TypeParam &port = this->port;
    EXPECT_FALSE(port.setSettings(QStringLiteral("9600,e,7,1")));
    EXPECT_FALSE(port.setSettings(QStringLiteral("1234,n,8,1")));
    EXPECT_EQ(port.errorString(), QStringLiteral("Invalid property value \"1234,n,8,1\""));
    EXPECT_EQ(port.settings(), QStringLiteral("9600,n,8,1"));

    // COM1 is linked to each; opening it must neither block nor take it.
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
    const QString com1 = dir.path() + QStringLiteral("/Support/ports/COM1");
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString file = WriteBytes(dir.path() + QStringLiteral("/file"), "\xFF\x55");
    struct Case {
        QString target;
        int err;
        const char *says;
    };
    const Case cases[] = {
        {QStringLiteral("/dev/ptmx"), ENOTTY, "is the master side of a pseudo-terminal, not a serial port"},
        {file, ENOTTY, "is not a serial port: it is a regular file"},
        {QStringLiteral("/dev/null"), ENOTTY, "is not a serial port: it is a device that is not a terminal"},
        {fifo, ENOTTY, "is not a serial port: it is a named pipe (FIFO)"},
        {dir.path(), ENOTTY, "is not a serial port: it is a folder"},
        {QStringLiteral("/nonexistent/ttyQ9"), ENOENT, ": No such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        QFile::remove(com1);
        ASSERT_TRUE(QFile::link(c.target, com1));
        TypeParam other;
        other.setPortNumber(1);
        EXPECT_FALSE(other.open());
        EXPECT_FALSE(other.isOpen());
        EXPECT_EQ(other.errorNumber(), c.err);
        const QString prefix = c.err == ENOENT ? QStringLiteral("Cannot open ") : QString();
        EXPECT_EQ(other.errorString().toStdString(),
                  (prefix + com1 + (c.err == ENOENT ? "" : " ") + QLatin1String(c.says)).toStdString());
    }
    // The file is as it was.
    EXPECT_EQ(ReadBytes(file), QByteArray("\xFF\x55"));
}

using PosixPort = SerialBackend<PosixSerialPort>;

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

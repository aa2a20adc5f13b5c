#include "AppFolder.h"
#include "Clock.h"
#include "PosixSerialPort.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

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

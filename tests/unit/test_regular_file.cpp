// The one reader of whole files: regular files (or links to them) of a
// bounded size; everything else refused at once, without waiting.
#include "AppFolder.h"
#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

TEST(RegularFile, OnlyRegularFilesOfBoundedSizeAreRead)
{
    QTemporaryDir dir;
    const auto p = [&](const char *name) { return dir.path() + QLatin1Char('/') + QLatin1String(name); };
    WriteBytes(p("ten"), "0123456789");
    WriteBytes(p("eleven"), "0123456789A");
    WriteBytes(p("empty"), "");
    ASSERT_TRUE(QFile::link(p("ten"), p("link")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), p("zero")));
    ASSERT_TRUE(QFile::link(p("nowhere"), p("dangling")));
    ASSERT_EQ(::mkfifo(p("fifo").toLocal8Bit().constData(), 0600), 0);   // no writer: opening it would wait
    ASSERT_TRUE(QFile::link(p("fifo"), p("fifolink")));
    QDir().mkpath(p("folder"));

    struct Case {
        const char *name;
        LargerFile larger;
        const char *bytes;
        const char *error;
    };
    const Case cases[] = {
        {"ten", LargerFile::Refused, "0123456789", ""},   // exactly the limit
        {"link", LargerFile::Refused, "0123456789", ""},
        {"empty", LargerFile::Refused, "", ""},
        {"eleven", LargerFile::Refused, "", "it is larger than any such file can be (more than 10 bytes)"},
        {"eleven", LargerFile::ReadInPart, "0123456789", ""},
        {"fifo", LargerFile::Refused, "", "it is a named pipe (FIFO), not a regular file"},
        {"fifolink", LargerFile::ReadInPart, "", "it is a named pipe (FIFO), not a regular file"},
        {"zero", LargerFile::ReadInPart, "", "it is a device, not a regular file"},
        {"folder", LargerFile::Refused, "", "it is a folder, not a file"},
        {"missing", LargerFile::Refused, "", "No such file or directory"},
        {"dangling", LargerFile::Refused, "", "No such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FileBytes r = readRegularFile(p(c.name), 10, c.larger);
        EXPECT_EQ(r.error.toStdString(), c.error);
        EXPECT_EQ(r.ok(), *c.error == '\0');
        EXPECT_EQ(r.bytes, QByteArray(c.bytes));
    }
}

// The one writer: a file (or the file a link leads to) is replaced whole; a
// device or a pipe is written into and stays what it was; anything else is
// refused and left as it was. The device is made here (root only), never a
// system one.
TEST(RegularFile, OnlyRegularFilesAreReplacedDevicesAndPipesAreWrittenInto)
{
    QTemporaryDir dir;
    const auto p = [&](const char *name) { return dir.path() + QLatin1Char('/') + QLatin1String(name); };
    const auto local = [&](const char *name) { return p(name).toLocal8Bit(); };
    const auto kind = [&](const char *name) {
        struct stat st {};
        return ::lstat(local(name).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
    };
    WriteBytes(p("file"), "an older and longer file");
    ::chmod(local("file").constData(), 0640);
    ASSERT_TRUE(QFile::link(p("file"), p("filelink")));
    ASSERT_TRUE(QFile::link(QStringLiteral("made"), p("dangling")));   // relative, to a name nothing has
    ASSERT_EQ(::mkfifo(local("fifo").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(p("fifo"), p("fifolink")));
    ASSERT_EQ(::mkfifo(local("unread").constData(), 0600), 0);
    QDir().mkpath(p("folder"));
    ASSERT_TRUE(QFile::link(p("folder"), p("folderlink")));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(local("null").constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_TRUE(QFile::link(p("null"), p("nulllink")));
    }
    // The reader of the pipe is there before the write.
    const int reader = ::open(local("fifo").constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    struct Case {
        const char *name;
        const char *error;
        const char *changed;   // the file that holds the bytes afterwards
        mode_t kindAfter;      // of the name written
    };
    const Case cases[] = {
        {"file", "", "file", S_IFREG},
        {"filelink", "", "file", S_IFLNK},
        {"dangling", "", "made", S_IFLNK},
        {"new", "", "new", S_IFREG},
        {"fifolink", "", nullptr, S_IFLNK},
        {"unread", "it is a named pipe (FIFO) that no program is reading", nullptr, S_IFIFO},
        {"folder", "it is a folder, not a file", nullptr, S_IFDIR},
        {"folderlink", "it is a folder, not a file", nullptr, S_IFLNK},
        {"null", "", nullptr, S_IFCHR},
        {"nulllink", "", nullptr, S_IFLNK},
        {"no/such/file", "No such file or directory", nullptr, 0},
    };
    for (const Case &c : cases) {
        if (!root && QByteArray(c.name).startsWith("null"))
            continue;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(writeFileWhole(p(c.name), "new bytes").toStdString(), c.error);
        EXPECT_EQ(kind(c.name), c.kindAfter);
        if (c.changed) {
            EXPECT_EQ(readRegularFile(p(c.changed), 100).bytes, QByteArray("new bytes"));
        }
    }
    struct stat st {};
    ASSERT_EQ(::stat(local("file").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file keeps its permissions";
    EXPECT_EQ(kind("fifo"), S_IFIFO);
    char got[32] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 9);
    EXPECT_STREQ(got, "new bytes");
    ::close(reader);
    if (root) {
        EXPECT_EQ(kind("null"), S_IFCHR);
    }
    // Nothing left behind: the names made above and the two files written.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              root ? 12 : 10);

    // A descriptor of the process's own (a shell's >> log) is appended to,
    // never replaced: what the log held stays.
    WriteBytes(p("log"), "earlier\n");
    const int fd = ::open(local("log").constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(writeFileWhole(QStringLiteral("/proc/self/fd/%1").arg(fd), "new bytes").toStdString(), "");
    ::close(fd);
    EXPECT_EQ(readRegularFile(p("log"), 100).bytes, QByteArray("earlier\nnew bytes"));
}

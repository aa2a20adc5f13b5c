// The one reader of whole files: regular files (or links to them) of a
// bounded size; everything else refused at once, without waiting.
#include "AppFolder.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(RegularFile, OnlyRegularFilesOfBoundedSizeAreRead)
{
    QTemporaryDir dir;
    const auto p = [&](const char *name) { return dir.path() + QLatin1Char('/') + QLatin1String(name); };
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile f(p(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("ten", "0123456789");
    write("eleven", "0123456789A");
    write("empty", "");
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

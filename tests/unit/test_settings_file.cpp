#include "LinkFixture.h"
#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <functional>
#include <sys/stat.h>

using Button = Dialogs::Button;

class SettingsFile : public LinkFixture {
protected:
    QString cfg() const { return dir.path() + QStringLiteral("/Support/RSPort.cfg"); }
    void writeSettings(const QByteArray &content) { WriteBytes(cfg(), content); }
    QByteArray readSettings() { return ReadBytes(cfg()); }
    void open()
    {
        port.exchange(0xFF, 0x55);
        link.OpenRSComm(&port);
    }
};

TEST_F(SettingsFile, MissingOrEmptyFileIsWrittenWithDefaults)
{
    for (bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty" : "missing");
        if (empty)
            writeSettings("");
        else
            EXPECT_FALSE(QDir(dir.path() + QStringLiteral("/Support")).exists());
        open();
        EXPECT_EQ(readSettings(), QByteArray("1,9600\r\n"));
        EXPECT_EQ(port.portNumber(), 1);
        EXPECT_EQ(port.settings().toStdString(), "9600,n,8,1");
        EXPECT_TRUE(link.OnlineMode);
        port.exchange(0xFF, 0x55);
        link.CloseRSComm();
    }
}

// The line is a record of quoted or bare items: the port a 16-bit whole
// number (halves to the even neighbour), the speed text whose value is rounded
// the same way. A record the file cannot give is offered for Retry or Cancel;
// the file is never rewritten.
TEST_F(SettingsFile, TheLineIsReadAsARecordOfQuotedOrBareItems)
{
    struct Case {
        QByteArray bytes;
        int port;
        const char *settings;
        int error;
    };
    const Case cases[] = {
        {"3, 19200 \r\n", 3, "19200,n,8,1", 0},   // the comm port window's form
        {"2,4800\r\n", 2, "9600,n,8,1", 0},       // an odd speed becomes 9600
        {"150,9600\r\n", 99, "9600,n,8,1", 0},    // clamped to the highest port
        {"0,9600\r\n", 1, "9600,n,8,1", 0},
        {"-3,19200\r\n", 1, "19200,n,8,1", 0},
        {"6,fast\r\n", 6, "9600,n,8,1", 0},
        {"5,\r\n", 5, "9600,n,8,1", 0},   // an empty speed item
        {"\"3\",\"19200\"\r\n", 3, "19200,n,8,1", 0},
        {" \"4\" , \" 19200 \" \r\n", 4, "19200,n,8,1", 0},
        {"5,\"9600\"", 5, "9600,n,8,1", 0},
        {"2.5,9600\r\n", 2, "9600,n,8,1", 0},
        {"3.5,9600\r\n", 4, "9600,n,8,1", 0},
        {"5,19199.5\r\n", 5, "19200,n,8,1", 0},
        {"7,19200 baud\r\n", 7, "9600,n,8,1", 0},
        {"\t6\t,\t19200\t\r\n", 6, "19200,n,8,1", 0},
        {"\r\n\r\n  8,19200\r\n", 8, "19200,n,8,1", 0},
        {"3\r\n19200\r\n", 3, "19200,n,8,1", 0},   // the speed item on the next line
        {",19200\r\n", 1, "19200,n,8,1", 0},       // an empty port item reads as 0
        {"3\r\n", 0, nullptr, 62},                 // the file ends before the speed
        {" \t\r\n \r\n", 0, nullptr, 62},          // blanks only: no item at all
        {"40000,9600\r\n", 0, nullptr, 6},         // no 16-bit number
        {"-32769,9600\r\n", 0, nullptr, 6},
        {"COM2,9600\r\n", 0, nullptr, 13},
        {"3 4,9600\r\n", 0, nullptr, 13},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        writeSettings(c.bytes);
        const int opens = port.opens();
        const size_t sent = port.sent().size();
        if (c.error) {
            dialogs.clear();
            dialogs.expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Retry)
                .expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Cancel);
            link.OpenRSComm(&port);
            EXPECT_TRUE(link.initError());
            EXPECT_FALSE(link.OnlineMode);
            EXPECT_EQ(port.opens(), opens);
            EXPECT_EQ(port.sent().size(), sent);
            ASSERT_EQ(dialogs.boxes().size(), 2u);
            EXPECT_EQ(dialogs.boxes()[0].buttons, Dialogs::Buttons::RetryCancel);
            EXPECT_TRUE(dialogs.boxes()[0].text.startsWith(QStringLiteral("Error Number = %1\r\n\r\n").arg(c.error)))
                << dialogs.boxes()[0].text.toStdString();
        } else {
            port.exchange(0xFF, 0x55);
            link.OpenRSComm(&port);
            EXPECT_EQ(port.portNumber(), c.port);
            EXPECT_EQ(port.settings().toStdString(), c.settings);
            port.exchange(0xFF, 0x55);
            link.CloseRSComm();
        }
        EXPECT_EQ(readSettings(), c.bytes);
    }
}

TEST_F(SettingsFile, RetryAfterTheFileIsMendedGoesOn)
{
    writeSettings("x,9600\r\n");
    dialogs.onBox = [&](const ScriptedDialogs::Box &) { writeSettings("2,19200\r\n"); };
    dialogs.expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Retry);
    open();
    EXPECT_TRUE(link.OnlineMode);
    EXPECT_EQ(port.portNumber(), 2);
}

TEST_F(SettingsFile, SettingsNameIsFoundWhateverItsCaseAndThroughALink)
{
    const QString support = dir.path() + QStringLiteral("/support/");
    WriteBytes(support + QStringLiteral("real.cfg"), "6,19200\r\n");
    ASSERT_TRUE(QFile::link(support + QStringLiteral("real.cfg"), support + QStringLiteral("rsport.CFG")));
    open();
    EXPECT_EQ(port.portNumber(), 6);
    EXPECT_EQ(port.settings().toStdString(), "19200,n,8,1");
}

TEST_F(SettingsFile, WhatIsNotASettingsFileIsRefusedAtOnceWithRetryOrCancel)
{
    const QString cfg = dir.path() + QStringLiteral("/Support/RSPort.cfg");
    struct Case {
        const char *what;
        std::function<void()> make;
        const char *why;
    };
    const Case cases[] = {
        {"named pipe", [&] { ASSERT_EQ(::mkfifo(cfg.toLocal8Bit().constData(), 0600), 0); },
         "it is a named pipe (FIFO), not a regular file"},
        {"a file no settings line fills", [&] { writeSettings("1,9600\r\n" + QByteArray(5000, ' ')); },
         "it is larger than any such file can be (more than 4096 bytes)"},
        // A name that is there but leads nowhere is a file that cannot be read, not a missing one.
        {"link to nothing", [&] { ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/gone.cfg"), cfg)); },
         "No such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path() + QStringLiteral("/Support")).removeRecursively();
        QDir().mkpath(dir.path() + QStringLiteral("/Support"));
        c.make();
        const QString text = QStringLiteral("Error Number = 75\r\n\r\nPath/File access error: cannot read %1: %2")
                                 .arg(cfg, QLatin1String(c.why));
        dialogs.expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Retry, text)
            .expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Cancel, text);
        link.OpenRSComm(&port);
        EXPECT_FALSE(link.OnlineMode);
        EXPECT_TRUE(link.initError());
        EXPECT_EQ(port.opens(), 0);
    }
}

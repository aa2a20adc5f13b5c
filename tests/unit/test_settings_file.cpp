#include "LinkFixture.h"
#include <QDir>
#include <QFile>

using Button = Dialogs::Button;

class SettingsFile : public LinkFixture {
protected:
    void writeSettings(const QByteArray &content)
    {
        QDir().mkpath(dir.path() + QStringLiteral("/Support"));
        QFile f(dir.path() + QStringLiteral("/Support/RSPort.cfg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray readSettings()
    {
        QFile f(dir.path() + QStringLiteral("/Support/RSPort.cfg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void open()
    {
        port.exchange(0xFF, 0x55);
        link.OpenRSComm(&port);
    }
};

TEST_F(SettingsFile, MissingFolderAndFileAreCreatedWithDefaults)
{
    EXPECT_FALSE(QDir(dir.path() + QStringLiteral("/Support")).exists());
    open();
    EXPECT_EQ(readSettings(), QByteArray("1,9600\r\n"));
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_EQ(port.settings().toStdString(), "9600,n,8,1");
    EXPECT_TRUE(link.OnlineMode);
}

TEST_F(SettingsFile, EmptyFileIsRewrittenWithDefaults)
{
    writeSettings("");
    open();
    EXPECT_EQ(readSettings(), QByteArray("1,9600\r\n"));
    EXPECT_EQ(port.portNumber(), 1);
}

TEST_F(SettingsFile, LinesTheProgramWritesAndOddValues)
{
    struct Case { QByteArray line; int port; const char *settings; };
    const Case cases[] = {
        {"3, 19200 \r\n", 3, "19200,n,8,1"},   // the comm port window's form
        {"4,19200", 4, "19200,n,8,1"},
        {"2,4800\r\n", 2, "9600,n,8,1"},        // an odd speed becomes 9600
        {"150,9600\r\n", 99, "9600,n,8,1"},     // clamped to the highest port
        {"0,9600\r\n", 1, "9600,n,8,1"},
        {"-3,19200\r\n", 1, "19200,n,8,1"},
        {"  7 ,  19200\r\n", 7, "19200,n,8,1"},
        {"5\r\n", 5, "9600,n,8,1"},             // no speed at all
        {"6,fast\r\n", 6, "9600,n,8,1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        writeSettings(c.line);
        port.exchange(0xFF, 0x55);
        link.OpenRSComm(&port);
        EXPECT_EQ(port.portNumber(), c.port);
        EXPECT_EQ(port.settings().toStdString(), c.settings);
        EXPECT_EQ(readSettings(), c.line);   // read, never rewritten
        port.exchange(0xFF, 0x55);
        link.CloseRSComm();
    }
}

TEST_F(SettingsFile, GarbageAsksRetryOrCancelAndLeavesThePortClosed)
{
    writeSettings("\x01\xfe garbage,,,\r\n");
    dialogs.expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Retry)
        .expectBox(QStringLiteral("RSComm InitializeRSComm"), Button::Cancel);
    link.OpenRSComm(&port);
    EXPECT_FALSE(link.OnlineMode);
    EXPECT_TRUE(link.initError());
    EXPECT_EQ(port.opens(), 0);
    EXPECT_TRUE(port.sent().empty());
    ASSERT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_TRUE(dialogs.boxes()[0].text.startsWith(QStringLiteral("Error Number = 13\r\n\r\n")));
    EXPECT_EQ(dialogs.boxes()[0].buttons, Dialogs::Buttons::RetryCancel);
}

TEST_F(SettingsFile, RetryAfterTheFileIsMendedGoesOn)
{
    writeSettings("x,9600\r\n");
    struct Mending : ScriptedDialogs {
        std::function<void()> mend;
        Button messageBox(Icon, Buttons, const QString &, const QString &) override
        {
            mend();
            return Button::Retry;
        }
    } mending;
    mending.mend = [&] { writeSettings("2,19200\r\n"); };
    RSComm l(mending, clock);
    port.exchange(0xFF, 0x55);
    l.OpenRSComm(&port);
    EXPECT_TRUE(l.OnlineMode);
    EXPECT_EQ(port.portNumber(), 2);
}

TEST_F(SettingsFile, SettingsNameIsFoundWhateverItsCase)
{
    QDir().mkpath(dir.path() + QStringLiteral("/support"));
    QFile f(dir.path() + QStringLiteral("/support/rsport.CFG"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("8,19200\r\n");
    f.close();
    open();
    EXPECT_EQ(port.portNumber(), 8);
}

// The command line and the demonstration board.
#include "GuiFixture.h"
#include <QFileInfo>
#include <sys/stat.h>

TEST(OrvelArguments, AppDirDemoHelpAndMistakes)
{
    struct Case {
        QStringList args;
        const char *appDir;
        bool demo, help, error;
        const char *file = "";
    };
    const Case cases[] = {
        {{}, "", false, false, false},
        {{"--demo", "--app-dir", "/x/y"}, "/x/y", true, false, false},
        {{"--app-dir=/z", "a b.sdt"}, "/z", false, false, false, "a b.sdt"},
        {{"--help"}, "", false, true, false},
        {{"--app-dir"}, "", false, false, true},
        {{"--app-dir="}, "", false, false, true},
        {{"--bogus"}, "", false, false, true},
        {{"one.sdt", "two.sdt"}, "", false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const OrvelOptions o = ParseOrvelArguments(QStringList{QStringLiteral("orvel")} + c.args);
        if (!c.error) {
            EXPECT_EQ(o.appDir, QLatin1String(c.appDir));
            EXPECT_EQ(o.file, QLatin1String(c.file));
        }
        EXPECT_EQ(o.demo, c.demo);
        EXPECT_EQ(o.help, c.help);
        EXPECT_EQ(!o.error.isEmpty(), c.error);
    }
}

// Installed (<prefix>/bin, <prefix>/share/orvel), the program works in a
// per-user folder made from the installed files, and never replaces a file of it.
TEST_F(GuiTest, InstalledProgramUsesAPerUserFolder)
{
    QDir().mkpath(path("usr/bin"));
    WriteBytes(path("usr/share/orvel/Support/FaultErrCodes.txt"), "installed");
    WriteBytes(path("usr/share/orvel/Help/ORVEL.html"), "manual");
    WriteBytes(path("home/orvel/Support/FaultErrCodes.txt"), "mine");
    const AppFolder::Choice c = AppFolder::chooseDefault(path("usr/bin"), path("home/orvel"));
    EXPECT_EQ(c.folder, path("home/orvel"));
    EXPECT_EQ(c.seededFrom, path("usr/share/orvel"));
    EXPECT_EQ(ReadBytes(path("home/orvel/Support/FaultErrCodes.txt")), QByteArray("mine"));
    EXPECT_EQ(ReadBytes(path("home/orvel/Help/ORVEL.html")), QByteArray("manual"));
    EXPECT_TRUE(QFileInfo(path("home/orvel/Support/ports")).isDir());
    // A folder holding its own Support/ (a build, an unpacked copy) is used as it is.
    EXPECT_EQ(AppFolder::chooseDefault(path("usr/share/orvel"), path("other")).folder, path("usr/share/orvel"));
    EXPECT_FALSE(QFileInfo::exists(path("other")));
}

TEST_F(GuiTest, DemoBoardAnswersOnCom1OfAFreshFolder)
{
    // A program folder with its Help/ and Support/ files, as the build makes it.
    QTemporaryDir programDir;
    WriteBytes(programDir.path() + QStringLiteral("/Help/ORVEL.html"), "<html>manual</html>");
    WriteBytes(programDir.path() + QStringLiteral("/Support/ports/COM7"), "not a port");
    WriteBytes(path("keep.txt"), "mine");
    // Neither is copied, and neither may hang the copy or fill the disk.
    ASSERT_EQ(::mkfifo((programDir.path() + QStringLiteral("/Support/pipe.txt")).toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), programDir.path() + QStringLiteral("/Help/zero.png")));

    AppFolder::seed(dir.path(), programDir.path());
    EXPECT_EQ(ReadBytes(path("Help/ORVEL.html")), QByteArray("<html>manual</html>"));
    EXPECT_FALSE(QFileInfo::exists(path("Support/ports/COM7"))) << "port links are not copied";
    EXPECT_FALSE(QFileInfo::exists(path("Support/pipe.txt")));
    EXPECT_FALSE(QFileInfo::exists(path("Help/zero.png")));
    EXPECT_EQ(ReadBytes(path("keep.txt")), QByteArray("mine"));

    DemoBoard demo;
    QString why;
    ASSERT_TRUE(demo.start(dir.path(), &why)) << why.toStdString();
    EXPECT_EQ(QFileInfo(path("Support/ports/COM1")).symLinkTarget(), demo.slavePath());

    frmMDIMain &m = startMain();
    m.mnuViewOnline->trigger();
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    tick();
    EXPECT_TRUE(panel(1) == QStringLiteral("System Message:  All Faults Normal")
                || panel(1) == QStringLiteral("System Message:  Faults Active in PLC"))
        << panel(1).toStdString();
    m.mnuViewOffline->trigger();
    main.reset();
    demo.stop();
}

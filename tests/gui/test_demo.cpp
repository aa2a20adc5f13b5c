// The command line and the demonstration board.
#include "GuiFixture.h"
#include <QFileInfo>

TEST(OrvelArguments, AppDirDemoAndMistakes)
{
    auto parse = [](QStringList a) { a.prepend(QStringLiteral("orvel")); return ParseOrvelArguments(a); };
    EXPECT_TRUE(parse({}).error.isEmpty());
    EXPECT_FALSE(parse({}).demo);
    const OrvelOptions both = parse({QStringLiteral("--demo"), QStringLiteral("--app-dir"), QStringLiteral("/x/y")});
    EXPECT_TRUE(both.demo);
    EXPECT_EQ(both.appDir, QStringLiteral("/x/y"));
    EXPECT_EQ(parse({QStringLiteral("--app-dir=/z")}).appDir, QStringLiteral("/z"));
    EXPECT_FALSE(parse({QStringLiteral("--app-dir")}).error.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("--app-dir=")}).error.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("--bogus")}).error.isEmpty());
    EXPECT_TRUE(parse({QStringLiteral("--help")}).help);
}

TEST_F(GuiTest, DemoBoardAnswersOnCom1OfAFreshFolder)
{
    // A program folder with its Help/ and Support/ files, as the build makes it.
    QTemporaryDir programDir;
    QDir().mkpath(programDir.path() + QStringLiteral("/Help"));
    QDir().mkpath(programDir.path() + QStringLiteral("/Support/ports"));
    WriteBytes(programDir.path() + QStringLiteral("/Help/ORVEL.html"), "<html>manual</html>");
    WriteBytes(programDir.path() + QStringLiteral("/Support/ports/COM7"), "not a port");
    WriteBytes(path("Help/ORVEL.html").replace(QStringLiteral("Help/ORVEL.html"), QStringLiteral("keep.txt")), "mine");

    PrepareAppFolder(dir.path(), programDir.path());
    EXPECT_EQ(ReadBytes(path("Help/ORVEL.html")), QByteArray("<html>manual</html>"));
    EXPECT_FALSE(QFileInfo::exists(path("Support/ports/COM7"))) << "port links are not copied";
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
                || panel(1) == QStringLiteral("System Message:  Faults Active in PLC")) << panel(1).toStdString();
    m.mnuViewOffline->trigger();
    main.reset();
    demo.stop();
}

// Not a check: pictures of the windows for a person to look at. Runs only
// when ORVEL_SCREENSHOT_DIR names a folder, on a real display, e.g.
//   Xvfb :99 & DISPLAY=:99 QT_QPA_PLATFORM=xcb ORVEL_SCREENSHOT_DIR=/tmp/shots gui_test_screenshots
#include "GuiFixture.h"
#include "Screenshots.h"
#include "HelpWindow.h"
#include "frmAbout.h"
#include "frmSetupComm.h"
#include <QProcess>
#include <QTextBrowser>
#include <QTest>

TEST_F(GuiTest, Screenshots)
{
    if (ShotDir().isEmpty())
        GTEST_SKIP() << "ORVEL_SCREENSHOT_DIR not set";
    QDir().mkpath(ShotDir());
    QDir().mkpath(path("Help"));
    QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Help/ORVEL.html"), path("Help/ORVEL.html"));
    QDir().mkpath(path("Help/images"));
    for (const QString &image : QDir(QStringLiteral(ORVEL_DATA_DIR "/Help/images")).entryList(QDir::Files))
        QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Help/images/") + image, path("Help/images/") + image);
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.move(0, 0);
    m.show();
    tick();
    Shoot(&m, QStringLiteral("main-offline"));

    m.mnuViewOnline_Click();
    tick();
    Shoot(&m, QStringLiteral("main-online"));

    b.set("F60=1");
    b.set("B2072=3");
    tick();
    Shoot(&m, QStringLiteral("main-alarm"));
    b.set("D1100=655359999");
    m.resize(640, 480);
    tick();
    Shoot(&m, QStringLiteral("main-640x480"));
    m.resize(860, 620);

    m.mnuWindowForm_Click(3);
    Shoot(&m, QStringLiteral("main-shiftdata"));

    {
        frmSetupComm w(*Link, dialogs, &m);
        w.show();
        Shoot(&w, QStringLiteral("commport"));
    }
    m.mnuHelpAbout_Click();
    Shoot(m.aboutBox(), QStringLiteral("about"));
    m.aboutBox()->close();
    m.mnuHelpHelpTopics_Click();
    m.helpWindow()->move(0, 0);
    Shoot(m.helpWindow(), QStringLiteral("help"));
    m.helpWindow()->browser()->scrollToAnchor(QStringLiteral("targetboard"));
    Shoot(m.helpWindow(), QStringLiteral("help-targetboard"));
    m.helpWindow()->close();
    b.set("F60=0");
}

#pragma once
// Pictures of the windows for a person to look at, not checks. Taken only
// when ORVEL_SCREENSHOT_DIR names a folder, on a real display, e.g.
//   Xvfb :99 & DISPLAY=:99 QT_QPA_PLATFORM=xcb ORVEL_SCREENSHOT_DIR=/tmp/shots gui_test_...
#include <QDir>
#include <QProcess>
#include <QString>
#include <QTest>
#include <QWidget>

inline QString ShotDir() { return qEnvironmentVariable("ORVEL_SCREENSHOT_DIR"); }

// Saves the widget's own picture (NAME-grab.png) and, on a display, the
// whole screen as the window manager shows it (NAME.png).
inline void Shoot(QWidget *w, const QString &name)
{
    QDir().mkpath(ShotDir());
    QTest::qWait(300);   // let the window manager and the paint settle
    w->grab().save(ShotDir() + QLatin1Char('/') + name + QStringLiteral("-grab.png"));
    if (!qEnvironmentVariable("DISPLAY").isEmpty())
        QProcess::execute(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-window"), QStringLiteral("root"),
                           ShotDir() + QLatin1Char('/') + name + QStringLiteral(".png")});
}

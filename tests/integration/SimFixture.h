#pragma once
#include "AppFolder.h"
#include "Clock.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "boardsim/Board.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The link on a real pseudo-terminal with the simulated board on the other
// end, found the way the program finds it: <app folder>/Support/ports/COM1.
class SimFixture : public ::testing::Test {
protected:
    void startBoard(boardsim::Options opt = {})
    {
        opt.lineRunning = lineRunning;
        board = std::make_unique<boardsim::PtyBoard>(opt);
        std::string err;
        ASSERT_TRUE(board->start(&err)) << err;
        AppFolder::set(dir.path());
        QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
        ASSERT_TRUE(board->linkTo((dir.path() + QStringLiteral("/Support/ports/COM1")).toStdString(), &err)) << err;
    }
    void SetUp() override { startBoard(); }
    void TearDown() override
    {
        link.CloseRSComm();
        EXPECT_EQ(dialogs.pending(), 0);
    }
    void goOnline()
    {
        link.OpenRSComm(&port);
        ASSERT_TRUE(link.OnlineMode);
        ASSERT_FALSE(link.CommError);
    }

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    // Writes NAME in the app folder; returns its path.
    QString put(const QString &name, const QByteArray &bytes) { return WriteBytes(path(name), bytes); }

    // orvelctl started with the app folder in front of ARGS. ORVELCTL names
    // another copy (scripts/test runs these tests as an ordinary user from a
    // folder of its own).
    struct Result {
        int status;
        QString out, err;
    };
    void start(QProcess &p, const QStringList &args)
    {
        p.start(qEnvironmentVariable("ORVELCTL", QStringLiteral(ORVELCTL_PATH)),
                QStringList{"--app-dir", dir.path()} + args);
    }
    Result run(const QStringList &args)
    {
        QProcess p;
        start(p, args);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    bool lineRunning = false;   // a still machine, so values stay where tests put them
    QTemporaryDir dir;
    std::unique_ptr<boardsim::PtyBoard> board;
    std::unique_ptr<SerialPort> ownPort = MakeSerialPort();   // the build's backend, or the environment's
    SerialPort &port = *ownPort;
    ScriptedDialogs dialogs;
    RSComm link{dialogs, SystemClock::instance()};
};

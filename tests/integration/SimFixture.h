#pragma once
#include "AppFolder.h"
#include "Clock.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "ScriptedDialogs.h"
#include "boardsim/Board.h"
#include <QDir>
#include <QFile>
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

    bool lineRunning = false;   // a still machine, so values stay where tests put them
    QTemporaryDir dir;
    std::unique_ptr<boardsim::PtyBoard> board;
    std::unique_ptr<SerialPort> ownPort = MakeSerialPort();   // the build's backend, or the environment's
    SerialPort &port = *ownPort;
    ScriptedDialogs dialogs;
    RSComm link{dialogs, SystemClock::instance()};
};

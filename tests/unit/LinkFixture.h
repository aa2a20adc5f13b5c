#pragma once
#include "AppFolder.h"
#include "RSComm.h"
#include "ScriptedDialogs.h"
#include "ScriptedSerialPort.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A link on a scripted port in a fresh application folder.
class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() : port(clock), link(dialogs, clock) { AppFolder::set(dir.path()); }
    void TearDown() override
    {
        EXPECT_EQ(port.pendingSteps(), 0) << "the link did not send everything the script expected";
        EXPECT_EQ(dialogs.pending(), 0) << "an expected box was not shown";
    }
    // Opens the link against a board that answers the probe.
    void goOnline()
    {
        port.exchange(0xFF, 0x55);
        link.OpenRSComm(&port);
        ASSERT_TRUE(link.OnlineMode);
        ASSERT_FALSE(link.CommError);
    }
    std::vector<int> sentSince(size_t from) const
    {
        return std::vector<int>(port.sent().begin() + long(from), port.sent().end());
    }
    double seconds() const { return double(clock.monotonicNs()) / 1e9; }

    QTemporaryDir dir;
    VirtualClock clock;
    ScriptedSerialPort port;
    ScriptedDialogs dialogs;
    RSComm link;
};

inline const QString kCommBoxText = QStringLiteral(
    "Cannot Communicate with Target Board.\rVerify RS-232 Cable is Connected Between\rCOMM Port and PROG Port.");
inline const QString kCommBoxTitle = QStringLiteral("WARNING - Communication Error!");

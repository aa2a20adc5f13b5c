#pragma once
// One main window per test, in a fresh application folder, with scripted
// dialogs. The background tick is stopped: tests run it by hand, so nothing
// depends on timing. boardOnCom1() puts a simulated board behind COM1.
#include "SerialPortFactory.h"
#include "AppFolder.h"
#include "Clock.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "PollLoop.h"
#include "RSComm.h"
#include "ScriptedDialogs.h"
#include "frmMDIMain.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <boardsim/Board.h>
#include <gtest/gtest.h>
#include <memory>

inline void EnsureApplication()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "orvel-gui-test";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// A value panel shows `text` whole with at least two pixels to spare inside
// its frame on every side, in the font it is drawn in, and its frame lines
// are on its edge (around its background, not inside it).
inline ::testing::AssertionResult ShowsWithRoom(const QLabel *l, const QString &text)
{
    const QFontMetrics fm(l->font());
    const QRect inside = l->contentsRect();
    if (l->frameWidth() > 0 && l->frameRect() != l->rect())
        return ::testing::AssertionFailure() << l->objectName().toStdString() << ": frame drawn inside its edge";
    if (inside.width() < fm.horizontalAdvance(text) + 4 || inside.height() < fm.height() + 4)
        return ::testing::AssertionFailure()
            << l->objectName().toStdString() << ": " << inside.width() << "x" << inside.height() << " inside for "
            << text.toStdString() << " of " << fm.horizontalAdvance(text) << "x" << fm.height();
    return ::testing::AssertionSuccess();
}

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        AppFolder::set(dir.path());
        QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
        RegisterOrvelWindows();
    }

    void TearDown() override
    {
        main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (board)
            board->stop();
        board.reset();
        EXPECT_EQ(dialogs.pending(), 0) << "expected dialogs that never came";
    }

    frmMDIMain &startMain()
    {
        main = std::make_unique<frmMDIMain>(dialogs, clock, port);
        main->tmrBackgroungUpdate->stop();
        return *main;
    }

    // A simulated board with its can line stopped, linked as COM1.
    boardsim::PtyBoard &boardOnCom1()
    {
        boardsim::Options opt;
        opt.lineRunning = false;
        board = std::make_unique<boardsim::PtyBoard>(opt);
        std::string why;
        EXPECT_TRUE(board->start(&why)) << why;
        EXPECT_TRUE(board->linkTo(path("Support/ports/COM1").toStdString(), &why)) << why;
        board->set("F54=0");
        board->set("F60=0");
        return *board;
    }

    // COM1 names a device that is not there.
    void deadCom1()
    {
        QFile::remove(path("Support/ports/COM1"));
        ASSERT_TRUE(QFile::link(path("no-such-device"), path("Support/ports/COM1")));
    }

    // Child window `index` of the main window, opened from the Window menu.
    template <class W>
    W *openChild(int index)
    {
        main->mnuWindowForm_Click(index);
        auto *w = qobject_cast<W *>(main->ChildForms[index].data());
        EXPECT_NE(w, nullptr);
        return w;
    }

    // Steps a poll until one more online pass has ended.
    static void runPass(PollLoop &poll)
    {
        const quint64 before = poll.onlinePasses();
        for (int i = 0; i < 200 && poll.onlinePasses() == before; ++i)
            poll.step();
        EXPECT_GT(poll.onlinePasses(), before) << "no online pass ended";
    }

    QString path(const QString &rel) const { return dir.path() + QLatin1Char('/') + rel; }
    QString panel(int i) const { return main->sbrPanel[i]->text(); }
    void tick() { main->tmrBackgroungUpdate_Timer(); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<boardsim::PtyBoard> board;
    // Time-outs run on virtual time: a silent board costs no real seconds.
    VirtualClock clock;
    // Declared before main, which uses it to the end.
    std::unique_ptr<SerialPort> ownPort = MakeSerialPort(clock);
    SerialPort &port = *ownPort;
    std::unique_ptr<frmMDIMain> main;
};

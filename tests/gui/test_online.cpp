// Online and offline against the simulated board: the menu, the status bar
// and its double-click, the background tick's system messages, the passcode
// and what a dead link does.
#include "GuiFixture.h"
#include "CommSettings.h"
#include "Interruption.h"
#include "PortPresence.h"
#include "PosixSerialPort.h"
#include "QtDialogs.h"
#include "ScriptedSerialPort.h"
#include "frmMain.h"
#include <boardsim/Engine.h>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <functional>
#include <unistd.h>

using B = Dialogs::Button;

namespace {
const QString kNormal = QStringLiteral("System Message:  All Faults Normal");
const QString kFaults = QStringLiteral("System Message:  Faults Active in PLC");
const QString kOffline = QStringLiteral("System Message:  Program is Currently OFFLINE");
const QString kCommFault = QStringLiteral("System Message:  Comm Fault with T6850");
}

TEST_F(GuiTest, OnlineAndOfflineByMenuModePanelAndElsewhere)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.show();
    auto dclick = [&](int i) { return [&m, i] { QTest::mouseDClick(m.sbrPanel[i], Qt::LeftButton); }; };
    const std::tuple<const char *, std::function<void()>, bool> steps[] = {
        {"message panel double-click", dclick(1), false},
        {"clock panel double-click", dclick(3), false},
        {"Online", [&] { m.mnuViewOnline->trigger(); }, true},
        {"Online again", [&] { m.mnuViewOnline->trigger(); }, true},
        {"Offline", [&] { m.mnuViewOffline->trigger(); }, false},
        {"Offline again", [&] { m.mnuViewOffline->trigger(); }, false},
        {"mode panel double-click", dclick(2), true},
        {"mode panel double-click again", dclick(2), false},
        {"online set by another window", [] { Link->OnlineMode = true; }, true},
    };
    for (const auto &[what, act, online] : steps) {
        SCOPED_TRACE(what);
        act();
        tick();
        EXPECT_EQ(Link->OnlineMode, online);
        EXPECT_EQ(CommPortControl->isOpen(), online);
        EXPECT_EQ(panel(2), online ? QStringLiteral("ONLINE") : QStringLiteral("OFFLINE"));
        EXPECT_EQ(panel(1), online ? kNormal : kOffline);
        EXPECT_EQ(m.mnuViewOnline->isChecked(), online);
        EXPECT_EQ(m.mnuViewOffline->isChecked(), !online);
        EXPECT_EQ(m.mnuEditPasscode->isEnabled(), online);
    }
    EXPECT_FALSE(Link->CommError);
}

TEST_F(GuiTest, TickTurnsFlagsAndAlarmNumberIntoTheSystemMessage)
{
    struct Case {
        int f54, f60, alarm;
        const char *status;
    };
    const Case cases[] = {
        {0, 0, 3, "-- System Normal --\r\nSet-up Program is Currently ONLINE"},   // no flag: the number is not read
        {0, 1, 3,
         "** System ALARM **\r\nTester Can Jam or Discharge Photo Eye Fail\r\nCorrect Problem and Press RESET ALARMS to Continue"},
        {1, 0, 10, "** System ALARM **\r\nCan Tracking Logic Resetting\r\nPlease StandBy"},
        {1, 1, 12,
         "** System ALARM **\r\nSystem is Rejecting The Wrong Can (excessive low correction count)\r\nCheck Reject PE or Can Presence Sensor"},
        {1, 0, 13, "** System ALARM **\r\nRun Tester Empty of Cans to Reset\r\nCan/Reject Tracking System"},
        {1, 0, 14, "** System ALARM **\r\nFIFO Error Correction is Disabled\r\nCalibrate FIFO Error Detection"},
        {1, 0, 15, "** System ALARM **\r\nMessage Number 15 Not Defined"},
        {0, 1, 255, "** System ALARM **\r\nMessage Number 255 Not Defined"},
        {1, 0, 0, "** System ALARM **\r\n "},
        {0, 0, 0, "-- System Normal --\r\nSet-up Program is Currently ONLINE"},
    };
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    ASSERT_TRUE(Link->OnlineMode);
    auto *display = qobject_cast<frmMain *>(m.ChildForms[0].data());
    ASSERT_NE(display, nullptr);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "F54=" << c.f54 << " F60=" << c.f60 << " alarm " << c.alarm);
        b.set("F54=" + std::to_string(c.f54));
        b.set("F60=" + std::to_string(c.f60));
        b.set("B2072=" + std::to_string(c.alarm));
        tick();
        const QString status = QString::fromLatin1(c.status);
        EXPECT_EQ(StatusMessage, status);
        EXPECT_EQ(panel(1), c.f54 || c.f60 ? kFaults : kNormal);
        EXPECT_EQ(display->txtMessageDisplay->toPlainText(),
                  QString(status).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    EXPECT_FALSE(Link->CommError);
}

TEST_F(GuiTest, ATickWhoseReadsTheLineSpoiltKeepsTheMessageShown)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    b.set("F54=1");
    b.set("B2072=3");
    tick();
    const QString alarm = StatusMessage;
    ASSERT_TRUE(alarm.startsWith(QStringLiteral("** System ALARM **")));
    // The echo of high address byte 0 (the flag bytes) always wrong: the reads
    // give "0", which must not read as "no alarm".
    ASSERT_TRUE(b.addFault("bad-hi-echo=0"));
    tick();
    EXPECT_EQ(StatusMessage, alarm);
    EXPECT_EQ(panel(1), kFaults);

    // What was shown offline does not stay under "ONLINE".
    m.mnuViewOffline_Click();
    tick();
    ASSERT_EQ(panel(1), kOffline);
    m.mnuViewOnline_Click();
    tick();
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    EXPECT_EQ(panel(1), QStringLiteral("System Message:"));
    EXPECT_EQ(StatusMessage, QString());
    EXPECT_FALSE(Link->CommError);
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(GuiTest, PasscodeWritesTheKeypadCodeOnlyWhenOnlineAndAnswered)
{
    boardsim::PtyBoard &b = boardOnCom1();
    frmMDIMain &m = startMain();
    b.pokeWord(1070, 4321);
    m.mnuEditPasscode->trigger();   // offline: cannot be chosen
    EXPECT_EQ(b.peekWord(1070), 4321);

    m.mnuViewOnline_Click();
    const std::pair<std::optional<QString>, int> answers[] = {
        {QStringLiteral("1234"), 1234}, {QString(), 1234}, {std::nullopt, 1234}, {QStringLiteral("7"), 7}};
    for (const auto &[answer, word] : answers) {
        SCOPED_TRACE(answer.value_or(QStringLiteral("<cancel>")).toStdString());
        dialogs.expectInput(answer);
        m.mnuEditPasscode->trigger();
        EXPECT_EQ(b.peekWord(1070), word);
    }
    EXPECT_FALSE(Link->CommError);
    EXPECT_TRUE(dialogs.boxes().empty());
}

// The simulator's board on the virtual clock: the engine sees each byte when
// it is sent, and its answer reaches the port the board's delay later.
class SlowBoard : public GuiTest {
protected:
    void startBoard(const std::string &fault, int delayMs)
    {
        boardsim::Options opt;
        opt.lineRunning = false;
        engine = std::make_unique<boardsim::Engine>(opt);
        ASSERT_TRUE(engine->addFault(fault));
        slow.setAnswerDelay(std::int64_t(delayMs) * 1'000'000);
        slow.setPeer([this](int b) -> std::optional<int> {
            engine->advanceTo(std::uint64_t(clock.monotonicNs()));
            const std::vector<std::uint8_t> out = engine->feed(std::uint8_t(b));
            return out.empty() ? std::nullopt : std::optional<int>(out.front());
        });
        main = std::make_unique<frmMDIMain>(dialogs, clock, slow);
        main->tmrBackgroungUpdate->stop();
    }
    std::unique_ptr<boardsim::Engine> engine;
    ScriptedSerialPort slow{clock};
};

TEST_F(SlowBoard, ABoardFallingSilentOrAnsweringEveryByteLateGivesTheBoxThenOffline)
{
    // Answers too late to be trusted inside a read count as none: after the
    // time a silent board is given, the link's box; Retry gives the board
    // that time again, Cancel leaves the program offline with no other box.
    struct Case {
        std::string fault;
        int delayMs;
        std::vector<B> answers;
    };
    const Case cases[] = {{"silence-after=60", 0, {B::Cancel}},
                          {"slow=950", 950, {B::Cancel}},
                          {"slow=1500", 1500, {B::Retry, B::Cancel}},
                          {"slow=2000", 2000, {B::Cancel}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        startBoard(c.fault, c.delayMs);
        for (B answer : c.answers)
            dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), answer,
                              QStringLiteral("Cannot Communicate with Target Board.\rVerify RS-232 Cable is "
                                             "Connected Between\rCOMM Port and PROG Port."));
        std::vector<std::int64_t> at{clock.monotonicNs()};
        dialogs.onBox = [&](const ScriptedDialogs::Box &) { at.push_back(clock.monotonicNs()); };
        main->mnuViewOnline->trigger();
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            tick();
        }
        ASSERT_EQ(at.size(), c.answers.size() + 1);
        // No step holds the program longer than a silent board and one attempt more.
        for (size_t i = 1; i < at.size(); ++i)
            EXPECT_LE(at[i] - at[i - 1], 10'000'000'000LL);
        EXPECT_FALSE(Link->OnlineMode);
        EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
        EXPECT_EQ(panel(1), kCommFault);
        main.reset();
        dialogs.clear();
    }
}

TEST_F(GuiTest, TerminationSignalUnderTheCommBoxClosesItAndEndsTheProgram)
{
    // F3 on a silent board: the link's box is up, a real one, when SIGTERM
    // comes. The box closes, nothing more is shown, the program's event loop
    // ends, and the port is free for another program.
    boardsim::PtyBoard &b = boardOnCom1();
    ASSERT_TRUE(b.addFault("silence"));
    QtDialogs real;
    main = std::make_unique<frmMDIMain>(real, clock, port);
    main->tmrBackgroungUpdate->stop();
    main->show();
    EndOnTerminationSignals(main.get());
    QStringList boxes;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || (!boxes.isEmpty() && boxes.last() == box->text()))
            return;
        boxes << box->text();
        ::kill(::getpid(), SIGTERM);
    });
    watch.start(20);
    QTimer::singleShot(0, main.get(), [this] { main->mnuViewOnline->trigger(); });
    QTimer ignored;   // the signal was ignored
    ignored.callOnTimeout([] { QCoreApplication::exit(-1); });
    ignored.start(30000);
    const int status = QCoreApplication::exec();
    Interruption::clear();
    watch.stop();
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_EQ(boxes, QStringList{QStringLiteral(
                         "Cannot Communicate with Target Board.\nVerify RS-232 Cable is Connected Between\nCOMM Port and "
                         "PROG Port.")});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    main.reset();
    PosixSerialPort other;
    other.setDevicePath(path("Support/ports/COM1"));
    EXPECT_TRUE(other.open()) << other.errorString().toStdString();
}

TEST_F(GuiTest, AfterAFailureThePortIsWatchedUntilItIsBackAndF3TakesTheProgramOnline)
{
    // COM1 names no device: the open's box, then offline with a fault that a
    // double-click on the mode panel does not clear.
    deadCom1();
    frmMDIMain &m = startMain();
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    m.mnuViewOnline->trigger();
    m.sbrMain_PanelDblClick(2);
    tick();
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_EQ(panel(1), kCommFault);
    EXPECT_EQ(StatusMessage, QStringLiteral("Set-up Program is Currently OFFLINE"));
    const QString back = QStringLiteral("Board port is back: press F3 to go online");
    const QString com1 = path("Support/ports/COM1");
    // Half-second ticks on the virtual clock, at most four (two seconds):
    // how many until panel 1 shows `text`, 0 when it did not.
    auto ticksUntil = [&](const QString &text) {
        for (int i = 1; i <= 4; ++i) {
            clock.advanceNs(500'000'000);
            tick();
            if (panel(1) == text)
                return i;
        }
        return 0;
    };
    const quint64 looks = m.portWatch().looks();
    EXPECT_EQ(ticksUntil(back), 0);
    EXPECT_EQ(m.portWatch().looks() - looks, 2u) << "one look a second";
    boardsim::PtyBoard &b = boardOnCom1();
    const int held = ::open(com1.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t {};
    ASSERT_EQ(::tcgetattr(held, &t), 0);
    t.c_cflag |= HUPCL;   // as on a device fresh from its driver
    ASSERT_EQ(::tcsetattr(held, TCSANOW, &t), 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0) << "another program holds the port";
    EXPECT_EQ(ticksUntil(back), 0);
    ::close(held);
    EXPECT_GT(ticksUntil(back), 0);
    EXPECT_EQ(b.stats().bytesIn, 0u) << "nothing is sent before the technician goes online";
    const int fd = ::open(com1.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_TRUE(::tcgetattr(fd, &t) == 0 && !(t.c_cflag & HUPCL)) << "a last close would drop DTR and RTS";
    ::close(fd);

    m.show();
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    QTest::keyClick(&m, Qt::Key_F3);
    EXPECT_EQ(panel(2), QStringLiteral("ONLINE"));
    EXPECT_EQ(panel(1), QStringLiteral("System Message:"));
    EXPECT_FALSE(m.portWatch().watching());

    // The cable pulled: the link's box, and the board's terminal goes; it is
    // back within two seconds of the simulator's restart.
    ASSERT_TRUE(b.addFault("pull-after=" + std::to_string(b.stats().bytesIn + 1)));
    dialogs.expectBox(QStringLiteral("WARNING - Communication Error!"), B::Cancel);
    tick();
    ASSERT_EQ(panel(1), kCommFault);
    b.stop();
    b.clearFaults();
    ASSERT_TRUE(b.start() && b.linkTo(com1.toStdString()));
    EXPECT_GT(ticksUntil(back), 0);
    // Another port chosen in the comm port window ends the watch.
    frmMDIMain::setCommPortWindow([](QWidget *, RSComm &link, Dialogs &) {
        CommSettings::write(link.CommSettingsFile(), CommSettings::line(2, 9600));
    });
    m.mnuEditCommPort->trigger();
    EXPECT_EQ(panel(1), kCommFault);
    EXPECT_EQ(ticksUntil(back), 0);
    for (const char *none : {"/dev/null", "/dev/ptmx", "/nonexistent"})
        EXPECT_FALSE(PortPresence::available(QString::fromLatin1(none))) << none;
}

TEST(PortWatch, LooksOnceASecondAndCallsBackOnlyADeviceThatWasGone)
{
    VirtualClock clock;
    bool there = true;
    PortWatch w(clock, [&](const QString &device) { return there && device == QStringLiteral("COM3"); });
    w.start(QStringLiteral("COM3"), false);
    // {ms advanced, device there, looks so far, back}; ticks may come a little early.
    const std::tuple<int, bool, int, bool> steps[] = {
        {0, true, 1, false},   // never gone: a silent board on a port that stayed
        {499, true, 1, false}, {480, false, 2, false}, {500, true, 2, false}, {520, true, 3, true},
        {1000, false, 4, false}, {1000, true, 5, true},
    };
    for (const auto &[ms, present, looks, isBack] : steps) {
        clock.advanceNs(std::int64_t(ms) * 1'000'000);
        there = present;
        EXPECT_EQ(w.check(), isBack) << looks;
        EXPECT_EQ(w.looks(), quint64(looks));
    }
    w.start(QStringLiteral("COM3"), true);   // the link saw it go: no look while it is being taken down
    EXPECT_FALSE(w.check());
    clock.advanceNs(900'000'000);
    EXPECT_TRUE(w.check());
    w.stop();
    EXPECT_FALSE(w.check());
}

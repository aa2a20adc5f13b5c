// The comm port window: the settings file it reads and writes, the board
// tools' port files, the bounds check and the re-open when online.
#include "GuiFixture.h"
#include "UpDown.h"
#include "UsbAdapter.h"
#include "frmSetupComm.h"
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using B = Dialogs::Button;

class CommPortTest : public GuiTest {
protected:
    QString cfg() const { return path("Support/RSPort.cfg"); }
};

// What the window makes of the settings reader's result: the items read (up
// to a failure), the reader's box titled for this window; Cancel writes nothing.
TEST_F(CommPortTest, LoadShowsWhatTheReaderTookAndCancelWritesNothing)
{
    startMain();
    struct Case {
        const char *file;
        const char *error;
        const char *port;
        bool fast;
    };
    const Case cases[] = {
        {nullptr, nullptr, "1", false},   // no file
        {"150,9600\r\n", nullptr, "99", false},
        {"2,4800\r\n", nullptr, "2", false},
        {" \"4\" , \" 19200 \" \r\n", nullptr, "4", true},
        {"COM2,9600\r\n", "Error Number = 13\r\n\r\nType mismatch", "1", false},
        {"4,40000\r\n", "Error Number = 6\r\n\r\nOverflow", "4", false},
        {"3\r\n", "Error Number = 62\r\n\r\nInput past end of file", "3", false},
        {"6,fast\r\n", "Error Number = 13\r\n\r\nType mismatch", "6", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        if (c.file)
            WriteBytes(cfg(), c.file);
        if (c.error)
            dialogs.expectBox(QStringLiteral("SetupComm CurrentSettings"), B::OK, QString::fromLatin1(c.error));
        frmSetupComm w(*Link, dialogs);
        const QStringList captions = {w.windowTitle(), w.fraCommPort->title(), w.fraPortSpeed->title(),
                                      w.cmdSave->text(), w.cmdCancel->text()};
        EXPECT_EQ(captions.join(QLatin1Char('|')),
                  QStringLiteral("Comm Port Settings|Comm Port|Port Speed|&Save|&Cancel"));
        EXPECT_EQ(w.txtCommPort->text(), QString::fromLatin1(c.port));
        EXPECT_EQ(w.optPortSpeed[1]->isChecked(), c.fast);
        EXPECT_EQ(w.optPortSpeed[0]->isChecked(), !c.fast);
        w.txtCommPort->setText(QStringLiteral("7"));
        w.cmdCancel->click();
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_EQ(ReadBytes(cfg()), QByteArray(c.file ? c.file : "<missing>"));   // Cancel makes no file
    }
}

TEST_F(CommPortTest, LeavingThePortFieldChecksItsBoundsHoweverItIsLeft)
{
    // Driven from the keyboard as a technician would. The check runs once
    // the focus has settled; the access keys click after a short press.
    startMain();
    const QString bounds = QStringLiteral("Only a Number Between 1 and 99 can be Entered");
    auto settle = [] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };
    struct Case {
        const char *how;
        const char *typed;
        std::function<void(frmSetupComm &)> leave;
        bool box;
        bool stays;   // the window is still open, with the focus back in the port field
        bool saves = false;
    };
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        return [=](frmSetupComm &w) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, k, mods);
        };
    };
    QDialog other;   // any other window the technician turns to
    other.setWindowTitle(QStringLiteral("another window"));
    other.setModal(true);
    const Case cases[] = {
        {"Tab to the speed", "150", key(Qt::Key_Tab), true, true},
        {"Alt+S", "150", key(Qt::Key_S, Qt::AltModifier), true, true},
        {"Enter", "0", key(Qt::Key_Return), true, true},
        {"a click on Save", "150", [](frmSetupComm &w) { QTest::mouseClick(w.cmdSave, Qt::LeftButton); }, true, true},
        {"another window", "100",
         [&](frmSetupComm &) {
             other.show();
             other.activateWindow();
         },
         true, true},
        {"Shift+Tab to Cancel, Space", "150",
         [&](frmSetupComm &w) {
             key(Qt::Key_Backtab, Qt::ShiftModifier)(w);
             settle();
             EXPECT_EQ(QApplication::focusWidget(), w.cmdCancel);
             key(Qt::Key_Space)(w);
         },
         true, false},
        {"Alt+C", "abc", key(Qt::Key_C, Qt::AltModifier), true, false},
        {"Esc", "150", key(Qt::Key_Escape), false, false},
        {"Alt+S on a good number", "12", key(Qt::Key_S, Qt::AltModifier), false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        WriteBytes(cfg(), "3, 9600 \r\n");
        dialogs.clear();
        if (c.box)
            dialogs.expectBox(QStringLiteral("Comm Port"), B::OK, bounds);
        frmSetupComm w(*Link, dialogs);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        w.txtCommPort->setFocus();
        settle();
        w.txtCommPort->selectAll();
        QTest::keyClicks(w.txtCommPort, QString::fromLatin1(c.typed));
        c.leave(w);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                settle();
                return c.stays ? !dialogs.boxes().empty() : !w.isVisible();
            },
            5000));
        settle();
        EXPECT_EQ(dialogs.boxes().size(), c.box ? 1u : 0u);
        EXPECT_EQ(w.isVisible(), c.stays);
        if (c.stays) {
            EXPECT_EQ(w.txtCommPort->text(), QString::fromLatin1(c.typed));
            EXPECT_EQ(w.focusWidget(), w.txtCommPort);
        }
        EXPECT_EQ(ReadBytes(cfg()), QByteArray(c.saves ? "12, 9600 \r\n" : "3, 9600 \r\n"));
        other.hide();
    }
}

TEST_F(CommPortTest, PortNumberOutsideTheBoundsIsRejectedAndTheDeviceIsShown)
{
    startMain();
    frmSetupComm w(*Link, dialogs);
    for (const char *typed : {"0", "100", "abc", ""}) {
        w.txtCommPort->setText(QString::fromLatin1(typed));
        dialogs.expectBox(QStringLiteral("Comm Port"), B::OK,
                          QStringLiteral("Only a Number Between 1 and 99 can be Entered"));
        EXPECT_FALSE(w.txtCommPort_Validate()) << typed;
        EXPECT_EQ(w.txtCommPort->text(), QString::fromLatin1(typed));
    }
    const std::tuple<const char *, int, const char *> steps[] = {{"99", +1, "99"}, {"1", -1, "1"}, {"1", +1, "2"}};
    for (const auto &[from, step, to] : steps) {
        w.txtCommPort->setText(QString::fromLatin1(from));
        EXPECT_TRUE(w.txtCommPort_Validate());
        step > 0 ? w.updCommPort->stepUp() : w.updCommPort->stepDown();
        EXPECT_EQ(w.txtCommPort->text(), QString::fromLatin1(to)) << from << " " << step;
    }
    // Links to USB adapters: their terminals and sysfs folders made up in the program folder.
    UsbAdapter::setSysfsRoot(path("sys"));
    w.txtCommPort->setText(QStringLiteral("5"));
    EXPECT_TRUE(w.lblDevice->text().startsWith(QStringLiteral("COM5 on this computer:\n/dev/ttyS4")));
    EXPECT_FALSE(w.lblDevice->text().contains(QStringLiteral("USB")));
    const std::tuple<int, const char *, const char *, const char *, const char *> adapters[] = {
        {6, "ttyUSB0", "1\n", "  (USB adapter, latency 1 ms)", ""},
        {7, "ttyUSB1", "2\n", "  (USB adapter, latency 2 ms)", ""},
        {8, "ttyUSB2", nullptr, "  (USB adapter)", ""},   // a driver without one
        {10, "ttyUSB4", "fast\n", "  (USB adapter)", ""},
        {9, "ttyUSB3", "16\n", "  (USB adapter, latency 16 ms)",
         "Each exchange waits up to 16 ms instead of about 1 ms: see the udev rule in the manual."},
    };
    QDir().mkpath(path("dev"));
    for (const auto &[com, tty, timer, shown, hint] : adapters) {
        const QString dev = path("dev/") + QLatin1String(tty), link = path("Support/ports/COM%1").arg(com);
        WriteBytes(dev, "");
        QDir().mkpath(path("sys/bus/usb-serial/devices/") + QLatin1String(tty));
        if (timer)
            WriteBytes(path("sys/bus/usb-serial/devices/%1/latency_timer").arg(QLatin1String(tty)), timer);
        QFile::link(dev, link);
        w.txtCommPort->setText(QString::number(com));
        EXPECT_EQ(w.lblDevice->text(), QStringLiteral("COM%1 on this computer:\n%2\n\u2192 %3%4")
                                           .arg(QString::number(com), link, dev, QString::fromUtf8(shown)));
        EXPECT_EQ(w.lblLatency->text(), QString::fromUtf8(hint));
        EXPECT_EQ(w.lblLatency->isHidden(), !*hint);
    }
    // A text of more lines than before (a deep link): the open window grows
    // so that none of it is cut off.
    w.show();
    const QString deep = path("dev/") + QStringLiteral("a folder of the adapters on this line ").repeated(5);
    QDir().mkpath(deep);
    WriteBytes(deep + QStringLiteral("/ttyS8"), "");
    QFile::link(deep + QStringLiteral("/ttyS8"), path("Support/ports/COM12"));
    w.txtCommPort->setText(QStringLiteral("12"));
    QCoreApplication::processEvents();
    EXPECT_GE(w.lblDevice->height(), w.lblDevice->heightForWidth(w.lblDevice->width()));
    w.hide();
    // A device this user may not open: the window says so and names its group.
    // Looked at as a user who is neither root nor the owner (the owner may
    // open a file of mode 0 as root does).
    const QString dev = path("dev/ttyS9"), link = path("Support/ports/COM11");
    WriteBytes(dev, "");
    QFile::link(dev, link);
    ASSERT_EQ(::chmod(dev.toLocal8Bit().constData(), 0), 0);
    for (const char *folder : {"", "/dev", "/Support", "/Support/ports"})
        ::chmod((dir.path() + QLatin1String(folder)).toLocal8Bit().constData(), 0755);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) {
            w.txtCommPort->setText(QStringLiteral("11"));
            const QByteArray text = w.lblDevice->text().toUtf8();
            [[maybe_unused]] const auto n = ::write(out[1], text.constData(), size_t(text.size()));
        }
        ::_exit(0);
    }
    ::close(out[1]);
    QFile shown;
    ASSERT_TRUE(shown.open(out[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QString text = QString::fromUtf8(shown.readAll());
    ::waitpid(child, nullptr, 0);
    const struct group *g = ::getgrgid(QFileInfo(dev).groupId());
    ASSERT_TRUE(g);
    EXPECT_EQ(text, QStringLiteral("COM11 on this computer:\n%1\n\u2192 %2\n\nPermission denied: this user may not open "
                                   "the device. It belongs to the group %3; to join it, run\n    sudo usermod -aG %3 "
                                   "$USER\nthen log out and log in again.")
                        .arg(link, dev, QString::fromLocal8Bit(g->gr_name)));
    w.txtCommPort->setText(QStringLiteral("100"));   // no device: no hint either
    EXPECT_TRUE(w.lblLatency->isHidden());
    UsbAdapter::setSysfsRoot(QString());
}

TEST_F(CommPortTest, SaveWritesTheSettingsAndTheToolFiles)
{
    startMain();
    QDir().mkpath(path("TRX51"));
    QDir().mkpath(path("kdr51"));   // found whatever its letter case
    // Out of bounds at save time: clamped silently; halves go to the even neighbour.
    const std::tuple<const char *, bool, const char *, const char *> cases[] = {
        {"4", true, "4, 19200 \r\n", "3\r\n"},
        {"250", false, "99, 9600 \r\n", "98\r\n"},
        {"2.5", false, "2, 9600 \r\n", "1\r\n"},
    };
    for (const auto &[typed, fast, file, tool] : cases) {
        SCOPED_TRACE(typed);
        frmSetupComm w(*Link, dialogs);
        w.txtCommPort->setText(QString::fromLatin1(typed));
        w.optPortSpeed[fast ? 1 : 0]->setChecked(true);
        w.cmdSave->click();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(ReadBytes(cfg()), QByteArray(file));
        EXPECT_EQ(ReadBytes(path("TRX51/TARNEX.SFG")), QByteArray(tool));
        EXPECT_EQ(ReadBytes(path("kdr51/TARNEX.SFG")), QByteArray(tool));
        frmSetupComm again(*Link, dialogs);   // the file it writes is one it reads
        EXPECT_EQ(again.txtCommPort->text(), QString::fromLatin1(file).section(QLatin1Char(','), 0, 0));
        EXPECT_EQ(again.optPortSpeed[1]->isChecked(), fast);
    }
    EXPECT_FALSE(QFileInfo::exists(path("TRX96"))) << "a missing tool folder is not created";
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_FALSE(CommPortControl->isOpen());
}

TEST_F(CommPortTest, SavingWhileOnlineReopensTheLink)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    ASSERT_TRUE(Link->OnlineMode);
    tick();
    {
        frmSetupComm w(*Link, dialogs);
        EXPECT_TRUE(w.WasOnline);
        w.optPortSpeed[1]->setChecked(true);
        w.cmdSave_Click();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_TRUE(Link->OnlineMode);
        EXPECT_EQ(CommPortControl->settings(), QStringLiteral("19200,n,8,1"));
    }
    // A port that does not answer: the window stays open, the program goes offline.
    QFile::link(path("no-such-device"), path("Support/ports/COM2"));
    frmSetupComm w(*Link, dialogs);
    w.txtCommPort->setText(QStringLiteral("2"));
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    w.cmdSave_Click();
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_FALSE(Link->OnlineMode);
    tick();   // the poll sees the change and brings the menus and panels along
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_FALSE(m.mnuEditPasscode->isEnabled());
    EXPECT_EQ(panel(1), QStringLiteral("System Message:  Comm Fault with T6850"));
}

// A settings name that is no file is reported at once (never waiting on the
// pipe) with the defaults shown; Save never replaces the pipe.
TEST_F(CommPortTest, SettingsFileThatIsNotAFileGetsTheWindowsBoxAndDefaults)
{
    startMain();
    ASSERT_EQ(::mkfifo(cfg().toLocal8Bit().constData(), 0600), 0);
    dialogs.expectBox(QStringLiteral("SetupComm CurrentSettings"), B::OK,
                      QStringLiteral("Error Number = 75\r\n\r\nPath/File access error: cannot read %1: "
                                     "it is a named pipe (FIFO), not a regular file")
                          .arg(cfg()));
    frmSetupComm w(*Link, dialogs);
    EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("1"));
    EXPECT_TRUE(w.optPortSpeed[0]->isChecked());
    w.txtCommPort->setText(QStringLiteral("4"));
    dialogs.expectBox(QStringLiteral("SetupComm"), B::OK,
                      QStringLiteral("Error Number = 75\r\n\r\nPath/File access error: cannot write %1: "
                                     "it is a named pipe (FIFO) that no program is reading")
                          .arg(cfg()));
    w.cmdSave->click();
    EXPECT_NE(w.result(), QDialog::Accepted);
    struct stat st {};
    ASSERT_EQ(::lstat(cfg().toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, S_IFIFO);
}

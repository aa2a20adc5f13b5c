// Makes the manual's pictures (data/Help/images) from the program's own
// windows against the simulated board: orvel-shots OUTDIR. scripts/screenshots
// runs it; every box is answered Yes or OK, a file dialog with the program set.
#include "AppFolder.h"
#include "ChildWindow.h"
#include "Clock.h"
#include "DataTransfer.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "PollLoop.h"
#include "PosixSerialPort.h"
#include "RSComm.h"
#include "TrendSampler.h"
#include "frmDownloadProg.h"
#include "frmMDIMain.h"
#include "frmProcessing.h"
#include "frmTargetBoard.h"
#include "frmAbout.h"
#include "frmK2950DF1.h"
#include "frmSetupComm.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <boardsim/Board.h>
#include <cstdio>
#include <functional>

namespace {
QString g_out;

void save(QWidget *w, const char *name)
{
    QApplication::processEvents();
    const QString file = g_out + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!w->grab().save(file))
        std::fprintf(stderr, "orvel-shots: %s not written\n", qPrintable(file));
}

template <class W>
W *shown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<W *>(w); t && t->isVisible())
            return t;
    return nullptr;
}

class AnswerYes final : public Dialogs {
public:
    QString file;
    std::function<void(const QString &)> onBox;
    Button messageBox(Icon, Buttons b, const QString &, const QString &text) override
    {
        if (onBox)
            onBox(text);
        return b == Buttons::YesNo || b == Buttons::YesNoCancel ? Button::Yes : Button::OK;
    }
    std::optional<QString> openFile(const FileRequest &) override { return file; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// shift-trend.png: a morning shift sampled from 06:00 to 10:00, the line
// stopped by an alarm for a quarter of an hour, the program offline for
// another, and leakers rising from 09:00.
void shiftTrend(frmMDIMain &m, boardsim::PtyBoard &board, VirtualClock &clock)
{
    const std::int64_t start = clock.monotonicNs();
    clock.setWall(QDateTime(QDate(2026, 1, 5), QTime(6, 0)).addMSecs(-start / 1000000));
    double good = 0, leaker = 0, vision = 0;
    quint32 noise = 7;
    for (int slot = 0; slot <= 4 * 360; ++slot) {
        const int minute = slot / 6;
        const bool stopped = minute >= 70 && minute < 85;
        const bool offline = minute >= 125 && minute < 140;
        noise = noise * 1103515245u + 12345u;
        const int cpm = stopped ? 0 : 1190 + int((noise >> 16) % 20);
        const double cans = cpm / 6.0;
        const double leakRate = minute >= 180 ? 0.012 : 0.0015;
        leaker += cans * leakRate;
        vision += cans * 0.001;
        good += cans * (1 - leakRate - 0.001);
        board.pokeWord(556, quint16(cpm));
        board.pokeDecimal(1100, quint32(good));
        board.pokeDecimal(1104, quint32(leaker));
        board.pokeDecimal(1108, quint32(vision));
        if (offline == Link->OnlineMode)
            offline ? m.mnuViewOffline_Click() : m.mnuViewOnline_Click();
        m.tmrBackgroungUpdate_Timer();
        clock.advanceToNs(start + (slot + 1) * TrendSampler::kIntervalNs);
    }
    m.mnuWindowForm_Click(frmMDIMain::TrendWindow);
    save(&m, "shift-trend");
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// ---- The four display windows online: main display, set-up (every page),
// shift data (every page), I/O status. The line stands still with the values
// set here, so the pictures come out the same every time.
void saveDisplay(QWidget *w, const QString &name)
{
    QApplication::processEvents();
    const QString file = g_out + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w->grab().toImage().convertToFormat(QImage::Format_RGB888).save(file, "PNG", 0))
        std::fprintf(stderr, "orvel-shots: %s not written\n", qPrintable(file));
}

void runPasses(ChildWindow *c, int n)
{
    PollLoop *poll = c->pollLoop();
    const quint64 target = poll->onlinePasses() + quint64(n);
    for (int k = 0; k < 2000 && poll->onlinePasses() < target; ++k)
        poll->step();
}

void shootDisplays(frmMDIMain &m, boardsim::PtyBoard &board)
{
    for (const char *s : {"F54=0", "F60=0", "F70=0", "B2072=0", "B8176=0", "B8179=0", "W556=1180", "D1100=412856",
                          "D1104=618", "D1108=407", "B512=7", "W180=96", "W1002=1175", "B82=7", "B1012=80",
                          "B1013=60", "B650=72", "B657=2", "B656=1", "B655=0", "W560=98", "W562=143", "W564=33",
                          "W566=200", "B646=30", "B644=16", "B645=41", "D1200=398120", "D1204=577", "D1208=366",
                          "F16=1", "W162=1935", "W164=944", "B166=128", "B167=64", "W184=503", "B170=5",
                          "W100=1025", "W110=8", "W62=13"})
        board.set(s);
    for (int p = 0; p < 16; ++p) {
        board.set(QStringLiteral("W%1=%2").arg(1020 + 2 * p).arg((p * 7 + 3) % 11).toStdString());
        board.set(QStringLiteral("W%1=%2").arg(1116 + 2 * p).arg((p * 13 + 5) % 60).toStdString());
        board.set(QStringLiteral("W%1=%2").arg(1216 + 2 * p).arg((p * 17 + 2) % 55).toStdString());
    }
    m.tmrBackgroungUpdate_Timer();   // the system message
    const QSize mainSize = m.size();
    struct Shot {
        int window;
        const char *name;
        int pages;
    };
    // The main display last: loaded afresh, as the others are.
    for (const Shot &s : {Shot{1, "display-setup", 5}, Shot{3, "display-shiftdata", 3}, Shot{4, "display-io", 1},
                          Shot{0, "display-main", 1}}) {
        // As small as the window allows, so that the picture fits the help
        // window's page (the I/O status needs more width).
        m.mnuWindowForm_Click(s.window);
        m.resize(640, 480);
        ChildWindow *c = m.ChildForms[s.window];
        auto *tabs = c->findChild<QTabBar *>();
        for (int p = 0; p < s.pages; ++p) {
            if (tabs)
                tabs->setCurrentIndex(p);
            runPasses(c, 2);
            saveDisplay(c, s.pages > 1 ? QStringLiteral("%1-%2").arg(QLatin1String(s.name)).arg(p + 1)
                                       : QLatin1String(s.name));
        }
    }
    m.resize(mainSize);
}
// ---- end of the display windows
}   // namespace

// ---- The main window and the windows of its menus (main-online, k2950df1,
// comm-port, about): the board's counts and DF1 status preset, as a line that
// has been running a while shows them.
static void ShootMainWindows(frmMDIMain &m, boardsim::PtyBoard &board, Dialogs &dialogs)
{
    for (const char *s : {"W556=1198", "D1100=48213", "D1104=131", "D1108=57", "F42=1", "B4023=2", "B4021=2",
                          "B4022=2", "W4016=1407", "B4014=1", "B4026=26", "B4302.6=1", "W4304=1407"})
        board.set(s);
    const auto onePass = [](ChildWindow *c) {
        if (PollLoop *poll = c ? c->pollLoop() : nullptr) {
            const quint64 before = poll->onlinePasses();
            for (int n = 0; n < 400 && poll->onlinePasses() == before; ++n)
                poll->step();
        }
    };
    m.mnuWindowForm_Click(0);
    onePass(m.currentChild());
    onePass(m.currentChild());   // the first pass after a switch reads the view's start
    m.tmrBackgroungUpdate_Timer();
    save(&m, "main-online");

    m.mnuWindowForm_Click(2);
    onePass(m.currentChild());
    onePass(m.currentChild());
    save(m.currentChild(), "k2950df1");
    m.mnuWindowForm_Click(0);

    frmSetupComm comm(*Link, dialogs, &m);
    comm.show();
    save(&comm, "comm-port");
    comm.reject();

    frmAbout about(dialogs, &m);
    about.show();
    save(&about, "about");
    about.close();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvel-shots OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    QTemporaryDir dir;
    AppFolder::set(dir.path());
    QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
    for (const char *f : {"FaultErrCodes.txt", "CommErrCodes.txt"})
        QFile::copy(QStringLiteral(ORVEL_DATA_DIR "/Support/") + QLatin1String(f),
                    dir.path() + QStringLiteral("/Support/") + QLatin1String(f));
    RegisterOrvelWindows();

    boardsim::Options opt;
    opt.lineRunning = false;
    boardsim::PtyBoard board(opt);
    std::string why;
    if (!board.start(&why) || !board.linkTo((dir.path() + QStringLiteral("/Support/ports/COM1")).toStdString(), &why)) {
        std::fprintf(stderr, "orvel-shots: %s\n", why.c_str());
        return 1;
    }
    for (const char *s : {"F54=0", "F60=0", "B8176=0x5C", "B8179=0x07"})
        board.set(s);
    AnswerYes dialogs;
    VirtualClock clock;
    PosixSerialPort port{clock};
    frmMDIMain m(dialogs, clock, port);
    m.resize(860, 620);   // its opening size on a screen with room for it
    m.tmrBackgroungUpdate->stop();
    m.show();
    m.mnuViewOnline_Click();

    // processing.png: the processing window part way through an upload.
    QTimer::singleShot(0, [] {
        frmProcessing *p = shown<frmProcessing>();
        QObject::connect(&p->transfer(), &DataTransfer::progress, p, [p](int done, int) {
            if (done == 40) {
                save(p, "processing");
                p->cmdCancel->click();
            }
        });
    });
    TransferMode = 0;
    TransferData(m, dialogs, 0);

    // program-download.png: the program transfer window as a download ends.
    write(dir.path() + QStringLiteral("/LINE7.tnx"), "D");
    write(dir.path() + QStringLiteral("/LINE7.rev"), "LINE7 0;:01\r\n");
    write(dir.path() + QStringLiteral("/LINE7.hex"),
          ":104A0000000102030405060708090A0B0C0D0E0F\r\n:104A1000101112131415161718191A1B1C1D1E1F\r\n"
          ":024A20002021\r\n:00000001FF\r\n");
    dialogs.file = dir.path() + QStringLiteral("/LINE7.tnx");
    dialogs.onBox = [](const QString &text) {
        if (frmDownloadProg *w = shown<frmDownloadProg>(); w && text == QStringLiteral("Program Download Complete!")) {
            w->Timer1_Timer();
            save(w, "program-download");
        }
    };
    m.mnuFileDownloadProgram->trigger();
    dialogs.onBox = nullptr;

    // targetboard-*.png: the four pages of a V5435 board online, program
    // checksum error up (the download above cleared it).
    board.set("B8176=0x5C");
    const QString tnx = dir.path() + QStringLiteral("/LINE4.TNX");
    write(tnx, "A,rest\r\n");
    write(dir.path() + QStringLiteral("/LINE4.rev"), "\"T6850LT;:03\",x\r\n");
    frmTargetBoard w(*Link, dialogs, &m);
    if (!w.PrepareForm(tnx))
        return 1;
    w.show();
    for (int n = 0; n < 400 && (!w.statusRead() || w.poll().onlinePasses() < 2); ++n)
        w.poll().step();
    const char *pages[4] = {"targetboard-faults", "targetboard-ident", "targetboard-network", "targetboard-clock"};
    for (int t = 0; t < 4; ++t) {
        w.tabTargetBoard->setCurrentIndex(t);
        save(&w, pages[t]);
    }
    w.poll().stop();
    w.accept();   // the window behind gets its poll back

    shiftTrend(m, board, clock);
    shootDisplays(m, board);

    ShootMainWindows(m, board, dialogs);

    board.stop();
    return 0;
}

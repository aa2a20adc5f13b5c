#include "OrvelApp.h"
#include "AppFolder.h"
#include "Clock.h"
#include "Interruption.h"
#include "SerialPortFactory.h"
#include "QtDialogs.h"
#include "Utilities.h"
#include "frmData.h"
#include "frmK2950DF1.h"
#include "frmLTIO.h"
#include "frmMDIMain.h"
#include "frmMain.h"
#include "frmSetup.h"
#include "frmSetupComm.h"
#include "frmTrend.h"
#include "frmTargetBoard.h"
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#ifdef ORVEL_HAVE_BOARDSIM
#include <boardsim/Board.h>
#endif

void RegisterOrvelWindows()
{
    frmMDIMain::setChildFactory(0, [](RSComm &link, Dialogs &dialogs) { return new frmMain(link, dialogs); });
    frmMDIMain::setChildFactory(1, [](RSComm &link, Dialogs &dialogs) { return new frmSetup(link, dialogs); });
    frmMDIMain::setChildFactory(2, [](RSComm &link, Dialogs &dialogs) { return new frmK2950DF1(link, dialogs); });
    frmMDIMain::setChildFactory(3, [](RSComm &link, Dialogs &dialogs) { return new frmData(link, dialogs); });
    frmMDIMain::setChildFactory(4, [](RSComm &link, Dialogs &dialogs) { return new frmLTIO(link, dialogs); });
    // The samples live in the main window, which loads its children.
    frmMDIMain::setChildFactory(frmMDIMain::TrendWindow, [](RSComm &link, Dialogs &dialogs) {
        return new frmTrend(link, dialogs, frmMDIMain::instance()->trend());
    });
    frmMDIMain::setCommPortWindow([](QWidget *parent, RSComm &link, Dialogs &dialogs) {
        frmSetupComm dlg(link, dialogs, parent);
        dlg.exec();
    });
    frmMDIMain::setTargetBoardWindow(ShowTargetBoardWindow);
}

void ShowTargetBoardWindow(QWidget *parent, RSComm &link, Dialogs &dialogs, const QString &programFile)
{
    frmTargetBoard window(link, dialogs, parent);
    window.InitializeForm(programFile);
}

OrvelOptions ParseOrvelArguments(const QStringList &args)
{
    OrvelOptions o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--demo")) {
            o.demo = true;
        } else if (a == QLatin1String("--app-dir")) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("--app-dir needs a folder");
                return o;
            }
            o.appDir = args.at(++i);
        } else if (a.startsWith(QLatin1String("--app-dir="))) {
            o.appDir = a.mid(10);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a.startsWith(QLatin1Char('-'))) {
            o.error = QStringLiteral("unknown option %1").arg(a);
            return o;
        } else if (o.file.isEmpty()) {
            o.file = a;   // Qt's own options have been taken out already
        } else {
            o.error = QStringLiteral("one set-up file at a time: %1 and %2").arg(o.file, a);
            return o;
        }
    }
    if (o.appDir.isEmpty() && args.contains(QStringLiteral("--app-dir=")))
        o.error = QStringLiteral("--app-dir needs a folder");
    return o;
}

struct DemoBoard::Impl {
#ifdef ORVEL_HAVE_BOARDSIM
    std::unique_ptr<boardsim::PtyBoard> board;
#endif
};

DemoBoard::DemoBoard() : d(std::make_unique<Impl>()) {}
DemoBoard::~DemoBoard() { stop(); }

bool DemoBoard::start(const QString &appDir, QString *error)
{
#ifdef ORVEL_HAVE_BOARDSIM
    QDir().mkpath(appDir + QStringLiteral("/Support/ports"));
    boardsim::Options opt;
    d->board = std::make_unique<boardsim::PtyBoard>(opt);
    std::string why;
    if (!d->board->start(&why)) {
        if (error)
            *error = QStringLiteral("the simulated board did not start: %1").arg(QString::fromStdString(why));
        d->board.reset();
        return false;
    }
    const QString link = appDir + QStringLiteral("/Support/ports/COM1");
    if (!d->board->linkTo(QFile::encodeName(link).toStdString(), &why)) {
        if (error)
            *error = QStringLiteral("cannot link %1: %2").arg(link, QString::fromStdString(why));
        d->board.reset();
        return false;
    }
    return true;
#else
    (void)appDir;
    if (error)
        *error = QStringLiteral("this build has no board simulator");
    return false;
#endif
}

void DemoBoard::stop()
{
#ifdef ORVEL_HAVE_BOARDSIM
    if (d->board) {
        d->board->stop();
        d->board.reset();
    }
#endif
}

QString DemoBoard::slavePath() const
{
#ifdef ORVEL_HAVE_BOARDSIM
    if (d->board)
        return QString::fromStdString(d->board->slavePath());
#endif
    return QString();
}

namespace {
int g_signalPipe[2] = {-1, -1};
}   // namespace

void EndOnTerminationSignals(QObject *owner)
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    auto *n = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(n, &QSocketNotifier::activated, owner, [] {
        char sig = 0;
        [[maybe_unused]] const auto r = ::read(g_signalPipe[0], &sig, 1);
        // Every box and modal window leaves its own event loop (no new one
        // opens once the request is made), then the program's loop ends.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                d->reject();
        }
        QCoreApplication::exit(128 + sig);
    });
    Interruption::takeTerminationSignals(g_signalPipe[1]);
}

int RunOrvel(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVEL"));
    // The desktop matches the windows to the installed entry by it (Wayland's
    // app id), for the entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvel.Orvel"));
    // Under X11 a window shows the icon it carries itself, whatever the
    // desktop entry names: every window, box and dialog gets the program's.
    QApplication::setWindowIcon(ProgramIcon());
    const OrvelOptions opt = ParseOrvelArguments(QApplication::arguments());
    if (!opt.error.isEmpty() || opt.help) {
        std::fprintf(opt.help ? stdout : stderr, "%s%s",
                     opt.error.isEmpty() ? "" : qPrintable(QStringLiteral("orvel: %1\n").arg(opt.error)),
                     "usage: orvel [--app-dir DIR] [--demo] [FILE.sdt]\n"
                     "  --app-dir DIR  use DIR as the application folder (Support/, Help/, tool folders)\n"
                     "  --demo         start a simulated board on COM1 of a fresh application folder\n"
                     "  FILE.sdt       open the set-up file as File > Open does\n");
        return opt.help ? 0 : 2;
    }

    std::unique_ptr<QTemporaryDir> demoDir;
    QString appDir = opt.appDir;
    if (opt.demo && appDir.isEmpty()) {
        demoDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvel-demo-XXXXXX"));
        if (!demoDir->isValid()) {
            std::fprintf(stderr, "orvel: cannot create a demo folder\n");
            return 1;
        }
        appDir = demoDir->path();
    }
    if (!appDir.isEmpty()) {
        if (!QDir().mkpath(appDir)) {
            std::fprintf(stderr, "orvel: cannot use %s as the application folder\n", qPrintable(appDir));
            return 1;
        }
        AppFolder::set(appDir);
    }

    // Chosen (and, installed, made for this user) now, not at the first file
    // the program looks for.
    if (const QString folder = AppFolder::path(); !AppFolder::defaultChoice().error.isEmpty())
        std::fprintf(stderr, "orvel: %s; using %s, where settings cannot be saved\n",
                     qPrintable(AppFolder::defaultChoice().error), qPrintable(folder));

    DemoBoard demo;
    if (opt.demo) {
        if (const QString installed = AppFolder::installedDataDir(); !installed.isEmpty())
            AppFolder::seed(AppFolder::path(), installed);
        QString why;
        if (!demo.start(AppFolder::path(), &why)) {
            std::fprintf(stderr, "orvel: %s\n", qPrintable(why));
            return 1;
        }
        std::fprintf(stderr, "orvel: demo board on %s, linked as %s/Support/ports/COM1\n", qPrintable(demo.slavePath()),
                     qPrintable(AppFolder::path()));
    }

    RegisterOrvelWindows();
    EndOnTerminationSignals(&app);
    QtDialogs dialogs;
    int rc = 0;
    {
        const std::unique_ptr<SerialPort> port = MakeSerialPort(SystemClock::instance());
        frmMDIMain main(dialogs, SystemClock::instance(), *port);
        main.show();
        if (!opt.file.isEmpty()) {
            const QString file = QFileInfo(opt.file).absoluteFilePath();
            QTimer::singleShot(0, &main, [&main, file] { main.OpenSetupFile(file); });
        }
        rc = app.exec();
    }
    demo.stop();
    return rc;
}

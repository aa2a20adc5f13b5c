// What watching the board's port costs while the program is offline after a
// link failure and the port never comes back.
//   orvel-bench-replug [--quick] [--json]
// COM1 of a scratch application folder is a link to a device that is not
// there (an unplugged USB adapter). Figures:
//   replug.look_cpu_us          CPU of one look at the missing device
//   replug.offline_cpu_percent  the main thread, offline with no failure (the
//                               background tick, no watch), for comparison
//   replug.watch_cpu_percent    the same after a failed attempt to go online:
//                               the tick and the watch's look once a second (goal < 0.5)
#include "AppFolder.h"
#include "BenchCommon.h"
#include "BenchDialogs.h"
#include "Clock.h"
#include "Globals.h"
#include "OrvelApp.h"
#include "PtyFloor.h"
#include "PortPresence.h"
#include "SerialPortFactory.h"
#include "RSComm.h"
#include "frmMDIMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <ctime>

namespace {

// Share of a core the main thread uses while the event loop runs for ms.
double cpuPercentOver(int ms)
{
    const double cpu0 = ptyfloor::threadCpuNs();
    QElapsedTimer t;
    t.start();
    RunEventLoopFor(ms);
    return (ptyfloor::threadCpuNs() - cpu0) / double(t.nsecsElapsed()) * 100.0;
}

}   // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-replug");
    if (!options.ok)
        return 2;
    QApplication app(argc, argv);
    const int measureMs = options.quick ? 3000 : 20000;

    QTemporaryDir dir;
    AppFolder::set(dir.path());
    QDir().mkpath(dir.path() + QStringLiteral("/Support/ports"));
    const QString com1 = dir.path() + QStringLiteral("/Support/ports/COM1");
    QFile::link(dir.path() + QStringLiteral("/ttyUSB0"), com1);

    std::vector<Figure> figures;
    {
        const int n = options.quick ? 20000 : 200000;
        int found = 0;
        const double cpu0 = ptyfloor::threadCpuNs();
        for (int i = 0; i < n; ++i)
            found += PortPresence::available(com1);
        figures.push_back({"replug.look_cpu_us", (ptyfloor::threadCpuNs() - cpu0) / n / 1e3, "us", ""});
        if (found) {
            std::fprintf(stderr, "the missing device was found\n");
            return 1;
        }
    }

    RegisterOrvelWindows();
    BenchDialogs dialogs(Dialogs::Button::OK);
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(SystemClock::instance());
    SerialPort &port = *ownPort;
    {
        frmMDIMain main(dialogs, SystemClock::instance(), port);
        main.resize(1024, 740);
        main.show();
        cpuPercentOver(500);   // settled
        figures.push_back({"replug.offline_cpu_percent", cpuPercentOver(measureMs), "% of a core", ""});
        main.mnuViewOnline_Click();   // the port cannot open: its box, then offline with a fault
        if (!Link->CommError || dialogs.boxes != 1) {
            std::fprintf(stderr, "going online did not fail with one box\n");
            return 1;
        }
        cpuPercentOver(500);
        const quint64 looks = main.portWatch().looks();
        figures.push_back({"replug.watch_cpu_percent", cpuPercentOver(measureMs), "% of a core", "< 0.5"});
        figures.push_back({"replug.looks_per_s", double(main.portWatch().looks() - looks) * 1000.0 / measureMs,
                           "/s", ""});
        main.mnuFileExit_Click();
    }
    PrintFigures(figures, options.json);
    return 0;
}

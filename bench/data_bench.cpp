// How close a data upload of the parameter table comes to the line's speed.
//   orvel-bench-data [--quick] [--json]
// The board answers with line timing at 19200 baud. The transfer runs on the
// event loop as the desktop program runs it, one entry per step. Every value
// kept is confirmed (two reads in a row that agree).
// Figures:
//   transfer.data_upload.seconds            time for the 84 entries
//   transfer.data_upload.line_share         the time the bytes need on the line
//                                           (bytes x 10 bits / 19200 baud) over the time taken
//   transfer.data_upload.line_share_less_pty   the same with the bare pty round trip
//                                           (pty.roundtrip_us) taken off once per exchange (goal >= 0.97)
//   transfer.data_upload.reads_per_byte     byte reads the board answered per byte of the table
//                                           (2 on a clean line: every value is confirmed; more
//                                           where a counter moved between two reads)
#include "AppFolder.h"
#include "Clock.h"
#include "DataTransfer.h"
#include "BenchDialogs.h"
#include "Dialogs.h"
#include "SerialPortFactory.h"
#include "BenchCommon.h"
#include "PtyFloor.h"
#include "RSComm.h"
#include "SetupData.h"
#include "boardsim/Board.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

namespace {}   // namespace

int main(int argc, char **argv)
{
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-data");
    if (!options.ok)
        return 2;
    const bool quick = options.quick, json = options.json;
    QCoreApplication app(argc, argv);
    const int rounds = quick ? 2 : 10;
    const double ptyUs = ptyRoundTrip(quick ? 5000 : 50000).wallUs;

    SimOnCom1 sim(true);
    if (!sim.ok()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error.c_str());
        return 1;
    }
    boardsim::PtyBoard &board = sim.board;
    BenchDialogs dialogs(Dialogs::Button::OK);
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(SystemClock::instance());
    SerialPort &port = *ownPort;
    RSComm link(dialogs, SystemClock::instance());
    link.OpenRSComm(&port);
    if (!link.OnlineMode || link.CommError) {
        std::fprintf(stderr, "the board did not answer\n");
        return 1;
    }
    link.RSRead(QStringLiteral("B999"));   // the link is in read mode, as after any poll

    SetupData table = BuildDefaultSetup(MakeProgramVersion());
    double secs = 0;
    std::uint64_t bytes = 0, exchanges = 0, reads = 0;
    int tableBytes = 0;
    for (const QString &a : table.Address)
        tableBytes += a.startsWith(QLatin1Char('D')) ? 4 : a.startsWith(QLatin1Char('W')) ? 2 : a.isEmpty() ? 0 : 1;
    bool allDone = true;
    for (int r = 0; r < rounds; ++r) {
        DataTransfer t(link, table, DataTransfer::Mode::Upload);
        QEventLoop loop;
        QObject::connect(&t, &DataTransfer::finished, &loop, &QEventLoop::quit);
        const auto s0 = board.stats();
        QElapsedTimer timer;
        timer.start();
        t.start();
        loop.exec();
        secs += double(timer.nsecsElapsed()) / 1e9;
        const auto s1 = board.stats();
        bytes += (s1.bytesIn - s0.bytesIn) + (s1.bytesOut - s0.bytesOut);
        exchanges += s1.bytesOut - s0.bytesOut;
        reads += s1.reads - s0.reads;
        allDone = allDone && t.state() == DataTransfer::State::Done;
    }
    link.CloseRSComm();
    if (!allDone || dialogs.boxes) {
        std::fprintf(stderr, "an upload did not complete (%d boxes)\n", dialogs.boxes);
        return 1;
    }
    const double lineSecs = double(bytes) * 10.0 / 19200.0;
    std::vector<Figure> figures = {
        {"pty.roundtrip_us", ptyUs, "us", ""},
        {"transfer.data_upload.seconds", secs / rounds, "s", ""},
        {"transfer.data_upload.line_share", lineSecs / secs, "ratio", ""},
        {"transfer.data_upload.line_share_less_pty", lineSecs / (secs - double(exchanges) * ptyUs / 1e6), "ratio",
         ">= 0.97"},
        {"transfer.data_upload.reads_per_byte", double(reads) / double(tableBytes * rounds), "reads", ""},
    };
    PrintFigures(figures, json);
    return 0;
}

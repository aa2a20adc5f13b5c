// How close a program download and upload come to what the line allows.
//   orvel-bench-program [--quick] [--json]
// The link talks to the simulated board with line timing at 19200 baud.
// Figures:
//   transfer.program_download.line_share   a 32 KiB program (2048 records of 16
//        bytes): bytes on the line x 10 bits / 19200 baud, over the time the
//        download took less its two fixed pauses (0.1 s before record mode,
//        2.0 s before the ident is written), which the board asks for
//   transfer.program_download.line_share_less_pty   the same with the bare
//        pty round trip (pty.roundtrip_us) taken off once per answer
//   transfer.program_download.seconds      the whole download, pauses included
//   transfer.program_upload.line_share     a 32 KiB range (the T6850's), read
//        one byte at a time: bytes on the line over the time taken
//   transfer.program_upload.line_share_less_pty   the same less the pty round trips
//   transfer.program_upload.reads_per_byte   reads the board answered per byte kept:
//        every byte is confirmed (two reads in a row that agree), so 2 on a clean line
//   transfer.program_*.link_cpu_us_per_answer   CPU of the link's thread per
//        answer byte: what the link itself adds to each turnaround
// --quick: a 4 KiB program and an 8 KiB range.
#include "AppFolder.h"
#include "Clock.h"
#include "Dialogs.h"
#include "SerialPortFactory.h"
#include "BenchCommon.h"
#include "PtyFloor.h"
#include "RSComm.h"
#include "boardsim/Board.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// Says Yes to the download question and OK to the rest; counts what else came.
class ProgramBenchDialogs final : public Dialogs {
public:
    int failures = 0;
    Button messageBox(Icon icon, Buttons, const QString &, const QString &text) override
    {
        if (icon == Icon::Question)
            return Button::Yes;
        if (!text.endsWith(QStringLiteral("Complete!"))) {
            ++failures;
            std::fprintf(stderr, "box: %s\n", text.toLocal8Bit().constData());
        }
        return Button::OK;
    }
    std::optional<QString> openFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return std::nullopt; }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// A program of `size` random bytes from 4000H in 16-byte records.
QByteArray hexProgram(int size)
{
    std::mt19937 gen(7);
    QByteArray hex;
    for (int a = 0; a < size; a += 16) {
        QByteArray rec;
        rec.append(char(16));
        rec.append(char((0x4000 + a) >> 8));
        rec.append(char((0x4000 + a) & 0xFF));
        rec.append(char(0));
        for (int i = 0; i < 16; ++i)
            rec.append(char(gen() & 0xFF));
        int sum = 0;
        for (char c : rec)
            sum += quint8(c);
        rec.append(char((256 - sum % 256) % 256));
        hex += ':' + rec.toHex().toUpper() + "\r\n";
    }
    return hex + ":00000001FF\r\n";
}

}   // namespace

int main(int argc, char **argv)
{
    const BenchOptions options = ParseBenchOptions(argc, argv, "orvel-bench-program");
    if (!options.ok)
        return 2;
    const bool quick = options.quick, json = options.json;
    QCoreApplication app(argc, argv);
    const double ptyUs = ptyRoundTrip(quick ? 5000 : 50000).wallUs;

    SimOnCom1 sim(false);
    if (!sim.ok()) {
        std::fprintf(stderr, "simulator: %s\n", sim.error.c_str());
        return 1;
    }
    QTemporaryDir &dir = sim.dir;
    boardsim::PtyBoard &board = sim.board;

    const int programSize = quick ? 4096 : 32768;
    const QString stem = dir.path() + QStringLiteral("/BENCH.");
    writeFile(stem + "tnx", quick ? "4" : "D");   // the K2726's 8 KiB range, or the T6850's 32 KiB
    writeFile(stem + "rev", "BENCH0;:01\r\n");
    writeFile(stem + "hex", hexProgram(programSize));

    ProgramBenchDialogs dialogs;
    const std::unique_ptr<SerialPort> ownPort = MakeSerialPort(SystemClock::instance());
    SerialPort &port = *ownPort;
    RSComm link(dialogs, SystemClock::instance());
    link.OpenRSComm(&port);
    if (!link.OnlineMode) {
        std::fprintf(stderr, "the board did not answer\n");
        return 1;
    }
    std::vector<Figure> figures;
    figures.push_back({"pty.roundtrip_us", ptyUs, "us", ""});
    auto measure = [&](const std::string &name, double pausesS, double keptBytes, const std::function<bool()> &run) {
        const auto s0 = board.stats();
        const double cpu0 = ptyfloor::threadCpuNs();
        QElapsedTimer t;
        t.start();
        const bool ok = run();
        const double secs = double(t.nsecsElapsed()) / 1e9;
        const double cpuUs = (ptyfloor::threadCpuNs() - cpu0) / 1e3;
        const auto s1 = board.stats();
        if (!ok) {
            std::fprintf(stderr, "%s did not complete\n", name.c_str());
            return false;
        }
        const double lineSecs = double((s1.bytesIn - s0.bytesIn) + (s1.bytesOut - s0.bytesOut)) * 10.0 / 19200.0;
        const double answers = double(s1.bytesOut - s0.bytesOut);
        const double busy = secs - pausesS;
        figures.push_back({name + ".line_share", lineSecs / busy, "ratio", ">= 0.97"});
        figures.push_back({name + ".line_share_less_pty", lineSecs / (busy - answers * ptyUs / 1e6), "ratio", ""});
        figures.push_back({name + ".seconds", secs, "s", ""});
        figures.push_back({name + ".link_cpu_us_per_answer", cpuUs / answers, "us", ""});
        if (keptBytes > 0)
            figures.push_back({name + ".reads_per_byte", double(s1.reads - s0.reads) / keptBytes, "reads", ""});
        return true;
    };
    bool ok = measure("transfer.program_download", 2.1, 0, [&] {
        link.DownloadFile(stem + "tnx");
        link.DumpProgram();
        return link.lastAccessOk();
    });
    // The range, the ten ident bytes.
    ok = measure("transfer.program_upload", 0.0, double((quick ? 8192 : 32768) + 10),
                 [&] {
                     link.UploadFile(stem + "tnx");
                     link.InUploadMode = true;
                     link.UploadProgram();
                     return link.lastAccessOk();
                 })
        && ok;
    link.CloseRSComm();
    board.stop();

    PrintFigures(figures, json);
    return ok && dialogs.failures == 0 ? 0 : 1;
}

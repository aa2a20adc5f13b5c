#pragma once
// The fault matrix: orvelctl, run in-process over a real pty, against a
// simulated board under each line fault, with the board memory compared
// before and after. Shared by the integration test and the benchmark.
//
// A case breaks the rules when
//   - wrong_success: a read exits 0 with a value the board does not hold, or
//     fails without exit 1 and a stderr line naming the address; a write
//     exits 0 without the value in every byte it names, or fails without exit 1;
//   - stray_write: a byte (or, for a bit address, a bit) the address does not
//     name changed.
// Reads carry no checksum, so the link confirms every value it keeps or acts
// on (two reads in a row that agree): a read that printed a value the board
// does not hold, or a bit write that changed the other bits of its byte, is
// also counted as a wrong kept value.
#include "boardsim/Board.h"
#include "Clock.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

namespace faultmatrix {

// A board address as the matrix names it.
struct Target {
    char type = 'B';             // 'B', 'W' or 'D'
    std::uint32_t address = 0;   // first byte
    int bit = -1;                // 0..7 for a bit of a byte
    int width() const { return type == 'D' ? 4 : type == 'W' ? 2 : 1; }
    QString text() const;   // "B999", "W1014", "D1100", "B4001.3"
};

struct Case {
    std::string family;   // "clean", "echo", "noise", ...
    Target target;
    bool write = false;
    std::uint32_t value = 0;           // the value written
    std::vector<std::string> faults;   // --fault rules
    std::uint32_t seed = 1;
    std::vector<std::string> sets;   // board memory before the run, "W1014=1234"
    bool cannotComplete = false;     // the faults leave no way to finish: exit 0 is wrong
    std::string name() const;        // "write W1014 45678 [lose=6] seed 1"
};

// What one run of orvelctl did.
struct CliRun {
    int status = -1;
    std::string out, err;
    std::uint64_t written = 0;   // bytes orvelctl put on the line
    double seconds = 0;
};

struct Outcome {
    CliRun run;
    std::uint64_t received = 0;   // bytes the board took in
    bool wrongSuccess = false;
    bool strayWrite = false;
    bool wrongKept = false;   // a read printed, or a bit write acted on, a value the board does not hold
    std::string problem;   // what broke the rules, for the log
    std::vector<std::uint8_t> before, after;
};

// orvelctl ARGS... with --app-dir appDir, in this process, on the real port MakeSerialPort() makes;
// its time-outs on clock (the system clock when null).
CliRun runOrvelctl(const QString &appDir, const QStringList &args, const ::Clock *clock = nullptr);

// How a case reaches the board.
enum class Line {
    Pty,       // a PtyBoard on a pseudo-terminal; orvelctl on the real port and the system clock
    Virtual,   // the board's Engine behind a port on a virtual clock: the same bytes, answers,
               // answer delays and pulled cable, while time-outs cost no real time
};

// orvelctl ARGS... with --app-dir appDir, in this process, on the virtual
// line to board; its time-outs run on a virtual clock.
CliRun runOrvelctl(boardsim::Engine &board, const QString &appDir, const QStringList &args);

// What the reliability probe found is kept in the families' CI runs.
//
// A fresh still board with the case's memory and faults, linked as COM1 of
// appDir; orvelctl runs the case; the board's memory is compared.
Outcome runCase(const Case &c, const QString &appDir, Line line = Line::Pty);

// The operations and their bytes on the line: 0xFF probe on open, handshake,
// two bytes per byte read or three per byte written, 0xFF sign-off on close.
struct Operation {
    Target target;
    bool write;
    std::uint32_t value;
    int bytesOnLine;
};
std::vector<Operation> operations();
// Memory every case starts with, chosen so that no written byte equals the
// old one and address high and low bytes all differ.
std::vector<std::string> presets();

enum class Size { Ci, Full };
Size sizeFromEnvironment();            // ORVEL_FAULT_MATRIX=full gives Full
std::vector<std::string> families();   // clean, echo, noise, garble, lose, silence, pull, slow
std::vector<Case> matrix(const std::string &family, Size size);

struct Tally {
    int runs = 0, wrongSuccess = 0, strayWrites = 0, wrongKept = 0;
    double seconds = 0;
    void add(const Outcome &o);
    void add(const Tally &t);
    std::string line(const std::string &label) const;
};

// The PLS commands under line faults (FaultMatrixPls.cpp), with the PLS
// (scale, offset, channels, configuration) compared before and after each
// run. A case breaks the rules when
//   - wrong_success: exit 0 but the PLS does not hold what the command sent,
//     or a query exits 0 with a figure missing;
//   - wrong_pls_change: a PLS value changed that the command does not send,
//     holds a value the command never sent, or changed in a failed run whose
//     stderr does not name it ("PLS changed: ...", "PLS perhaps changed: ...");
//   - wrong_kept: pls status, pls recall or pls config-upload printed or wrote
//     a figure the PLS does not hold, or a run exits other than 0 or 1.
struct PlsCase {
    std::string op;   // status, recall, config-upload, setpoint, config-download, offset, pulse, clear
    std::vector<std::string> faults;
    std::string name() const;   // "pls config-download [lose=54]"
};

struct PlsOutcome {
    CliRun run;
    bool wrongSuccess = false, wrongChange = false, wrongKept = false;
    std::string problem;
};

std::vector<std::string> plsOperations();
std::vector<PlsCase> plsMatrix(Size size);
PlsOutcome runPlsCase(const PlsCase &c, const QString &appDir, Line line = Line::Pty);

struct PlsTally {
    int runs = 0, wrongSuccess = 0, wrongChanges = 0, wrongKept = 0;
    double seconds = 0;
    void add(const PlsOutcome &o);
    std::string line(const std::string &label) const;
};

}   // namespace faultmatrix

#include "FaultMatrix.h"

#include "AppFolder.h"
#include "ConsoleDialogs.h"
#include "ForwardingSerialPort.h"
#include "Orvelctl.h"
#include "SerialPortFactory.h"
#include "boardsim/Engine.h"

#include <QDir>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <thread>

namespace faultmatrix {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The real port, counting the bytes that went out, so the run can wait
// until the board has taken in all of them before its memory is compared.
class CountingPort final : public ForwardingSerialPort {
public:
    CountingPort(std::uint64_t *written, const ::Clock &clock)
        : ForwardingSerialPort(MakeSerialPort(clock)), written_(written)
    {}
    bool write(const QByteArray &b) override
    {
        const bool ok = inner_->write(b);
        if (ok)
            *written_ += static_cast<std::uint64_t>(b.size());
        return ok;
    }

private:
    std::uint64_t *written_;
};

// The simulated board on a line that runs on a virtual clock, served as a
// PtyBoard serves it on a pseudo-terminal: each byte reaches the board at the
// time it is sent, each answer comes back the board's answer delay later
// (slow=MS), in order; a pulled cable takes the device away a moment after the
// program has read the last answers, and the device cannot be opened again.
class VirtualLinePort final : public SerialPort {
public:
    VirtualLinePort(boardsim::Engine &board, VirtualClock &clock, std::uint64_t *written)
        : board_(board), clock_(clock), written_(written)
    {}
    void setPortNumber(int n) override { port_ = n; }
    int portNumber() const override { return port_; }
    bool setSettings(const QString &s) override
    {
        settings_ = s;
        return true;
    }
    QString settings() const override { return settings_; }
    bool open() override
    {
        if (gone_) {
            fail(ENOENT, QStringLiteral("Cannot open %1: No such file or directory").arg(deviceName()));
            return false;
        }
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int bytesWaiting() override
    {
        checkPulled();
        int n = 0;
        for (const Answer &a : pending_)
            n += open_ && a.at <= now();
        return n;
    }
    void flushInput() override
    {
        while (!pending_.empty() && pending_.front().at <= now())
            pending_.pop_front();
    }
    bool write(const QByteArray &bytes) override
    {
        checkPulled();
        if (!open_) {
            fail(gone_ ? EIO : EBADF, gone_ ? QStringLiteral("Write to %1 failed").arg(deviceName())
                                            : QStringLiteral("Port is not open"));
            return false;
        }
        for (const char c : bytes) {
            board_.advanceTo(std::uint64_t(now()));
            const std::vector<std::uint8_t> answers = board_.feed(static_cast<std::uint8_t>(c));
            const std::int64_t at = now() + std::int64_t(board_.answerDelayMs()) * 1'000'000;
            for (const std::uint8_t a : answers) {
                lastAt_ = std::max(lastAt_, at);
                pending_.push_back({lastAt_, a});
            }
        }
        *written_ += static_cast<std::uint64_t>(bytes.size());
        return true;
    }
    int readByte() override
    {
        if (!open_ || pending_.empty() || pending_.front().at > now()) {
            checkPulled();
            return -1;
        }
        const int b = pending_.front().byte;
        pending_.pop_front();
        return b;
    }
    bool waitForInput(std::int64_t deadlineNs) override
    {
        for (;;) {
            if (open_ && !pending_.empty() && pending_.front().at <= now())
                return true;
            if (deadlineNs <= now())
                return false;
            checkPulled();
            std::int64_t next = deadlineNs;
            if (open_ && !pending_.empty())
                next = std::min(next, pending_.front().at);
            if (open_ && goneAt_)
                next = std::min(next, goneAt_);
            clock_.advanceToNs(next);
        }
    }
    QString deviceName() const override { return AppFolder::portDevice(port_); }
    int errorNumber() const override { return errNo_; }
    QString errorString() const override { return errText_; }
    QString errorSource() const override { return QStringLiteral("VirtualLinePort"); }

private:
    struct Answer {
        std::int64_t at;
        std::uint8_t byte;
    };
    std::int64_t now() const { return clock_.monotonicNs(); }
    void fail(int err, const QString &what)
    {
        errNo_ = err;
        errText_ = what;
    }
    // The board closes its end once the answers it sent have been read; the
    // program finds out at its next access, as on a real line.
    void checkPulled()
    {
        if (gone_ || !board_.cablePulled() || !pending_.empty())
            return;
        if (!goneAt_)
            goneAt_ = now() + 50'000'000;
        if (now() < goneAt_)
            return;
        gone_ = true;
        if (open_) {
            open_ = false;
            fail(EIO, QStringLiteral("The serial device %1 went away").arg(deviceName()));
        }
    }

    boardsim::Engine &board_;
    VirtualClock &clock_;
    std::uint64_t *written_;
    int port_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    bool open_ = false, gone_ = false;
    std::int64_t goneAt_ = 0, lastAt_ = 0;
    std::deque<Answer> pending_;
    int errNo_ = 0;
    QString errText_;
};

std::string readAll(std::FILE *f)
{
    std::string s;
    std::fflush(f);
    std::rewind(f);
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

// The bytes a value takes in board memory, first byte first.
std::vector<std::uint8_t> bytesOf(char type, std::uint32_t v)
{
    if (type == 'W')
        return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
    if (type == 'D') {
        const std::uint32_t low = v % 10000, high = v / 10000;
        return {static_cast<std::uint8_t>(low & 0xFF), static_cast<std::uint8_t>(low >> 8),
                static_cast<std::uint8_t>(high & 0xFF), static_cast<std::uint8_t>(high >> 8)};
    }
    return {static_cast<std::uint8_t>(v)};
}

// The value the named bytes hold.
std::uint64_t valueOf(const Target &t, const std::vector<std::uint8_t> &b)
{
    if (t.bit >= 0)
        return (b[0] >> t.bit) & 1;
    if (t.type == 'W')
        return b[0] | b[1] << 8;
    if (t.type == 'D')
        return std::uint64_t(b[2] | b[3] << 8) * 10000 + (b[0] | b[1] << 8);
    return b[0];
}

bool isClock(std::uint32_t a)
{
    // the board clock ticks even on a still machine
    return a >= boardsim::addr::ClockSecond && a <= boardsim::addr::ClockYear;
}

std::string hexByte(std::uint8_t b)
{
    char s[8];
    std::snprintf(s, sizeof s, "%02X", b);
    return s;
}

void note(Outcome &o, const std::string &what) { o.problem += (o.problem.empty() ? "" : "; ") + what; }

// How the line spoilt the data answers of reads from a (or a + 3 at most), for the log.
std::string spoilt(const std::vector<boardsim::AnswerFault> &faults, std::uint32_t a)
{
    for (const auto &f : faults)
        if (f.readData && f.address >= a && f.address < a + 4)
            return f.noise ? " (a stray byte came before a data answer)" : " (a data answer was garbled)";
    return "";
}

void evaluate(const Case &c, Outcome &o, const std::vector<boardsim::AnswerFault> &faults)
{
    const Target &t = c.target;
    const auto &before = o.before;
    const auto &after = o.after;
    const std::uint8_t namedBits = t.bit >= 0 ? static_cast<std::uint8_t>(1u << t.bit) : 0xFF;
    const std::string name = t.text().toStdString();

    // Bytes and bits nobody named.
    int strays = 0;
    for (std::uint32_t a = 0; a < 65536; ++a) {
        if (isClock(a))
            continue;
        const bool named = a >= t.address && a < t.address + static_cast<std::uint32_t>(t.width());
        const std::uint8_t changed = static_cast<std::uint8_t>((before[a] ^ after[a]) & (named ? ~namedBits : 0xFF));
        if (!changed)
            continue;
        // A bit write puts back the byte it read: other bits changed there
        // mean it acted on a read it had not confirmed.
        o.strayWrite = true;
        o.wrongKept = o.wrongKept || (named && c.write);
        if (++strays <= 4)
            note(o,
                 (named ? "other bits of " + name + ": " : "stray write: B" + std::to_string(a) + " ")
                     + std::to_string(before[a]) + " -> " + std::to_string(after[a]));
    }
    if (strays > 4)
        note(o, std::to_string(strays - 4) + " more stray bytes");

    const int status = o.run.status;
    if (c.cannotComplete && status == 0) {
        o.wrongSuccess = true;
        note(o, "exit 0, though the access cannot have completed");
    }
    if (status != 0 && status != 1) {
        o.wrongSuccess = true;
        note(o, "exit " + std::to_string(status));
        return;
    }
    if (!c.write) {
        const std::uint64_t value = valueOf(t, {before.begin() + t.address, before.begin() + t.address + t.width()});
        // Reads are confirmed: a value the line spoilt (a garbled data
        // answer, a stray byte before it) must never be printed.
        if (status == 0 && o.run.out != std::to_string(value) + "\n") {
            o.wrongSuccess = true;
            o.wrongKept = true;
            note(o,
                 "exit 0 printing \"" + o.run.out.substr(0, o.run.out.find('\n')) + "\", the board holds "
                     + std::to_string(value) + spoilt(faults, t.address));
        }
        if (status == 1) {
            const QString err = QString::fromStdString(o.run.err);
            bool named = false;
            for (const QString &line : err.split(QLatin1Char('\n')))
                named = named || line.contains(t.text(), Qt::CaseInsensitive);
            if (!named) {
                o.wrongSuccess = true;
                note(o, "exit 1 without a stderr line naming " + name);
            }
        }
        return;
    }
    if (status == 0) {
        bool holds;
        if (t.bit >= 0) {
            holds = ((after[t.address] >> t.bit) & 1) == (c.value & 1);
        } else {
            const auto want = bytesOf(t.type, c.value);
            holds = std::equal(want.begin(), want.end(), after.begin() + t.address);
        }
        if (!holds) {
            o.wrongSuccess = true;
            std::string held;
            for (int i = 0; i < t.width(); ++i)
                held += (i ? " " : "") + hexByte(after[t.address + static_cast<std::uint32_t>(i)]);
            note(o, "exit 0 but " + name + " holds " + held + " (hex), not " + std::to_string(c.value));
        }
    }
}

QStringList caseArgs(const Case &c)
{
    QStringList args{c.write ? QStringLiteral("write") : QStringLiteral("read"), c.target.text()};
    if (c.write)
        args << QString::number(c.value);
    return args;
}

}   // namespace

QString Target::text() const
{
    QString s = QString(QLatin1Char(type)) + QString::number(address);
    if (bit >= 0)
        s += QLatin1Char('.') + QString::number(bit);
    return s;
}

std::string Case::name() const
{
    std::string s = (write ? "write " : "read ") + target.text().toStdString();
    if (write)
        s += " " + std::to_string(value);
    s += " [";
    for (std::size_t i = 0; i < faults.size(); ++i)
        s += (i ? " " : "") + faults[i];
    for (const auto &v : sets)
        s += " set " + v;
    s += "]";
    if (cannotComplete)
        s += " cannot complete";
    if (seed != 1)
        s += " seed " + std::to_string(seed);
    return s;
}

namespace {
CliRun runOrvelctlOn(const QString &appDir, const QStringList &args,
                     const std::function<std::unique_ptr<SerialPort>(std::uint64_t *written)> &makePort,
                     const ::Clock *clock)
{
    CliRun r;
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    if (!out || !err) {
        r.err = "cannot make temporary files";
        return r;
    }
    {
        ConsoleDialogs dialogs(err);
        orvelctl::Environment env{dialogs, [&] { return makePort(&r.written); }, out, err, clock};
        const auto t0 = Clock::now();
        r.status = orvelctl::run(QStringList{QStringLiteral("--app-dir"), appDir} + args, env);
        r.seconds = secondsSince(t0);
    }
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
}
}   // namespace

CliRun runOrvelctl(const QString &appDir, const QStringList &args, const ::Clock *clock)
{
    return runOrvelctlOn(
        appDir, args,
        [clock](std::uint64_t *written) {
            return std::make_unique<CountingPort>(written, clock ? *clock : SystemClock::instance());
        },
        clock);
}

CliRun runOrvelctl(boardsim::Engine &board, const QString &appDir, const QStringList &args)
{
    VirtualClock clock;
    return runOrvelctlOn(
        appDir, args,
        [&](std::uint64_t *written) { return std::make_unique<VirtualLinePort>(board, clock, written); }, &clock);
}

Outcome runCase(const Case &c, const QString &appDir, Line line)
{
    Outcome o;
    boardsim::Options opt;
    opt.lineRunning = false;
    opt.seed = c.seed;
    opt.faults = c.faults;
    if (line == Line::Virtual) {
        boardsim::Engine board(opt);
        for (const auto &s : presets())
            board.set(s);
        for (const auto &s : c.sets)
            board.set(s);
        o.before.assign(board.memory().begin(), board.memory().end());
        o.run = runOrvelctl(board, appDir, caseArgs(c));
        o.after.assign(board.memory().begin(), board.memory().end());
        o.received = board.stats().bytesIn;
        evaluate(c, o, board.answerFaults());
        return o;
    }
    boardsim::PtyBoard board(opt);
    std::string error;
    for (const auto &s : presets())
        board.set(s);
    for (const auto &s : c.sets)
        board.set(s);
    QDir().mkpath(appDir + QStringLiteral("/Support/ports"));
    if (!board.start(&error) || !board.linkTo((appDir + QStringLiteral("/Support/ports/COM1")).toStdString(), &error)) {
        o.wrongSuccess = true;
        note(o, "the simulated board did not start: " + error);
        return o;
    }
    o.before = board.memory();

    o.run = runOrvelctl(appDir, caseArgs(c));

    // The board takes in what was sent a moment later; bytes sent after a
    // pulled cable never arrive, hence the bound.
    const auto t0 = Clock::now();
    while (board.stats().bytesIn < o.run.written && secondsSince(t0) < 0.3)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    o.after = board.memory();
    o.received = board.stats().bytesIn;
    const auto faults = board.answerFaults();
    board.stop();
    evaluate(c, o, faults);
    return o;
}

std::vector<Operation> operations()
{
    return {
        {{'B', 999}, false, 0, 6},
        {{'W', 1014}, false, 0, 8},
        {{'D', 1100}, false, 0, 12},
        {{'B', 4001, 3}, false, 0, 6},
        {{'B', 999}, true, 167, 7},
        {{'W', 1014}, true, 45678, 10},
        {{'D', 1100}, true, 12344577, 16},
        // the byte holds 93; clearing bit 3 leaves 85, which is 0x55, the board's acknowledge
        {{'B', 4001, 3}, true, 0, 11},
    };
}

std::vector<std::string> presets() { return {"B999=60", "W1014=1234", "D1100=98765", "B4001=93"}; }

Size sizeFromEnvironment()
{
    const char *v = std::getenv("ORVEL_FAULT_MATRIX");
    return v && std::string(v) == "full" ? Size::Full : Size::Ci;
}

std::vector<std::string> families() { return {"clean", "echo", "noise", "garble", "lose", "silence", "pull", "slow"}; }

namespace {
// The failures the reliability probe found, each as it was seen.
void addProbeFindings(const std::string &family, Size size, std::vector<Case> &cases)
{
    auto add = [&](Target t, bool write, std::uint32_t value, const std::string &fault,
                   std::vector<std::string> sets = {}, bool cannotComplete = false, std::uint32_t seed = 1) {
        Case c;
        c.family = family;
        c.target = t;
        c.write = write;
        c.value = value;
        c.faults = {fault};
        c.sets = std::move(sets);
        c.cannotComplete = cannotComplete;
        c.seed = seed;
        cases.push_back(c);
    };
    if (family == "lose") {
        // The lost acknowledge of the read command was printed as the value, 0.
        add({'W', 1014}, false, 0, "lose=3");
        // A bit write whose read-back lost its data answer wrote back the
        // byte that came in its place (A0H shows that in the other bits).
        add({'B', 4001, 3}, true, 1, "lose=5", {"B4001=160"});
    } else if (family == "echo") {
        // The echo of the data byte is wrong on the first try and on the repeat.
        add({'W', 1014}, true, 220, "bad-echo=1014,2", {}, true);
        // Without its read-back a bit write cannot know the other seven bits,
        // even when the bit already holds the value.
        add({'B', 4001, 3}, true, 0, "bad-hi-echo=15", {}, true);
        add({'B', 4001, 3}, true, 1, "bad-hi-echo=15", {}, true);
    } else if ((family == "noise" || family == "garble") && size == Size::Ci) {
        // The other seven bits of B4001 (93) were lost to a spoilt answer.
        for (int n : {2, 3, 4, 5, 6})
            add({'B', 4001, 3}, true, 0, family + "=" + std::to_string(n), {}, false, 3);
    } else if (family == "slow") {
        // Late answers taken for the next ones put a re-sync 0xFF where a low
        // address byte belongs: 03FFH (B1023) and DCFFH (B56575) for W1014 =
        // 220, 04FFH (B1279) and E1FFH (B57855) for D1100 with a data byte E1H.
        // They hold 90 here, so that a stray write shows.
        add({'W', 1014}, true, 220, "slow=1500", {"B1023=90", "B56575=90"});
        add({'D', 1100}, true, 12344577, "slow=1100", {"B1279=90", "B57855=90"});
    }
}
}   // namespace

std::vector<Case> matrix(const std::string &family, Size size)
{
    const bool full = size == Size::Full;
    std::vector<Case> cases;
    auto add = [&](const Operation &op, std::vector<std::string> faults, std::uint32_t seed = 1) {
        Case c;
        c.family = family;
        c.target = op.target;
        c.write = op.write;
        c.value = op.value;
        c.faults = std::move(faults);
        c.seed = seed;
        cases.push_back(c);
    };
    auto s = [](const char *name, std::uint64_t n) { return std::string(name) + "=" + std::to_string(n); };
    auto s2 = [](const char *name, std::uint64_t n, std::uint64_t k) {
        return std::string(name) + "=" + std::to_string(n) + (k ? "," + std::to_string(k) : "");
    };
    const auto ops = operations();

    for (std::size_t i = 0; i < ops.size(); ++i) {
        const Operation &op = ops[i];
        const std::uint32_t first = op.target.address;
        const std::uint32_t last = first + static_cast<std::uint32_t>(op.target.width()) - 1;
        const int L = op.bytesOnLine;
        // answers in order: probe, handshake (2), then the sequences; the
        // first data answer of a read, or the first data echo of a write
        const int firstData = op.write && op.target.bit < 0 ? 6 : 5;
        if (family == "clean") {
            add(op, {});
        } else if (family == "echo") {
            std::set<std::uint32_t> highs;
            for (std::uint32_t a = first; a <= last; ++a)
                highs.insert(a >> 8);
            if (full) {
                for (std::uint64_t k : {1, 2, 0}) {
                    if (op.write)
                        for (std::uint32_t a = first; a <= last; ++a)
                            add(op, {s2("bad-echo", a, k)});
                    for (std::uint32_t h : highs)
                        add(op, {s2("bad-hi-echo", h, k)});
                }
            } else {
                if (op.write) {
                    add(op, {s2("bad-echo", first, 1)});
                    add(op, {s2("bad-echo", last, 0)});
                }
                add(op, {s2("bad-hi-echo", *highs.begin(), i % 2 ? 1 : 0)});
            }
        } else if (family == "noise" || family == "garble") {
            const char *f = family.c_str();
            if (full) {
                for (std::uint32_t seed : {1u, 2u, 3u})
                    for (int n = 1; n <= L; ++n)
                        add(op, {s(f, n)}, seed);
            } else if (!op.write) {
                // the answer before the first data answer, and the first data answer
                for (std::uint32_t seed : {1u, 2u})
                    for (int n : {4, 5})
                        add(op, {s(f, n)}, seed);
            } else if (op.target.bit < 0) {
                add(op, {s(f, 5)});   // the echo of the low address byte
            }
        } else if (family == "lose") {
            if (full) {
                for (int n = 1; n <= L; ++n)
                    for (std::uint64_t k : {1, 2})
                        add(op, {s2("lose", n, k)});
            } else {
                add(op, {s2("lose", op.write && op.target.bit < 0 ? firstData : L - 1, 0)});
            }
        } else if (family == "silence") {
            if (full) {
                add(op, {"silence"});
                for (int n = 1; n < L; ++n)
                    add(op, {s("silence-after", n)});
            } else if (op.target.type == 'W' && !op.write) {
                add(op, {"silence"});
            } else if (op.target.type == 'W') {
                add(op, {s("silence-after", 5)});   // the echo of the first data byte never comes
            } else if (op.target.type == 'D' && !op.write) {
                add(op, {s("silence-after", 7)});   // two bytes of the double word come, two do not
            }
        } else if (family == "pull") {
            if (full) {
                for (int n = 1; n <= L; ++n)
                    add(op, {s("pull-after", n)});
            } else if (op.target.type == 'W' && !op.write) {
                add(op, {s("pull-after", firstData)});
            } else if (op.target.type == 'D' && op.write) {
                add(op, {s("pull-after", 8)});
            }
        } else if (family == "slow") {
            if (full) {
                for (int ms : {600, 1000, 1100, 1500, 2000})
                    add(op, {s("slow", ms)});
            } else if (op.target.type == 'B' && op.target.bit < 0 && !op.write) {
                add(op, {s("slow", 700)});
            } else if (op.target.type == 'W' && !op.write) {
                add(op, {s("slow", 1500)});
            }
        }
    }
    addProbeFindings(family, size, cases);
    return cases;
}

void Tally::add(const Outcome &o)
{
    ++runs;
    wrongSuccess += o.wrongSuccess;
    strayWrites += o.strayWrite;
    wrongKept += o.wrongKept;
    seconds += o.run.seconds;
}

void Tally::add(const Tally &t)
{
    runs += t.runs;
    wrongSuccess += t.wrongSuccess;
    strayWrites += t.strayWrites;
    wrongKept += t.wrongKept;
    seconds += t.seconds;
}

std::string Tally::line(const std::string &label) const
{
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "fault matrix %s: %d runs, %d wrong_success, %d stray_writes, %d wrong_kept, %.1f s", label.c_str(),
                  runs, wrongSuccess, strayWrites, wrongKept, seconds);
    return buf;
}

}   // namespace faultmatrix

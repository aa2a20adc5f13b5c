// The PLS commands of orvelctl against a simulated board under line faults,
// with the board's PLS compared before and after each run.
#include "FaultMatrix.h"
#include "boardsim/Engine.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace faultmatrix {

namespace {

using Clock = std::chrono::steady_clock;

// What the commands send: a channel, its setpoints, the configuration file.
constexpr int kSetpointChannel = 3, kPulseChannel = 5, kClearChannel = 4;
constexpr int kNewScale = 720, kDesiredPosition = 100;

QStringList argsOf(const std::string &op, const QString &cfg, const QString &up)
{
    const QString pls = QStringLiteral("pls");
    if (op == "status")
        return {pls, QStringLiteral("status")};
    if (op == "recall")
        return {pls, QStringLiteral("recall"), QString::number(kSetpointChannel)};
    if (op == "config-upload")
        return {pls, QStringLiteral("config-upload"), up};
    if (op == "setpoint")
        return {pls, QStringLiteral("setpoint"), QString::number(kSetpointChannel), QStringLiteral("100"),
                QStringLiteral("359"), QStringLiteral("--clear")};
    if (op == "config-download")
        return {pls, QStringLiteral("config-download"), cfg};
    if (op == "offset")
        return {pls, QStringLiteral("offset"), QString::number(kDesiredPosition)};
    if (op == "pulse")
        return {pls, QStringLiteral("pulse"), QString::number(kPulseChannel), QStringLiteral("10"),
                QStringLiteral("20"), QStringLiteral("7")};
    return {pls, QStringLiteral("clear"), QString::number(kClearChannel)};
}

std::string channelText(const boardsim::PlsState::Channel &c)
{
    return std::to_string(c.kind) + "/" + std::to_string(c.first) + "/" + std::to_string(c.second) + "/"
        + std::to_string(c.last);
}

std::string blockText(const boardsim::PlsState &p, int g)
{
    std::string s;
    for (int i = 0; i < 6; ++i)
        s += (i ? " " : "") + std::to_string(p.config[static_cast<std::size_t>(6 * g + i)]);
    return s;
}

// The PLS as named values, named as a failed command's note names them.
std::map<std::string, std::string> elements(const boardsim::PlsState &p)
{
    std::map<std::string, std::string> e;
    e["the scale factor"] = std::to_string(p.scale);
    e["the offset"] = std::to_string(p.offset);
    for (int ch = 0; ch < 32; ++ch)
        e["channel " + std::to_string(ch)] = channelText(p.channels[static_cast<std::size_t>(ch)]);
    for (int g = 0; g < 4; ++g)
        e["configuration block " + std::to_string(g)] = blockText(p, g);
    return e;
}

// The values a command sends, in order, by the element they go to.
std::map<std::string, std::vector<std::string>> sentBy(const std::string &op, const boardsim::PlsState &before)
{
    std::map<std::string, std::vector<std::string>> s;
    auto ch = [](int n) { return "channel " + std::to_string(n); };
    if (op == "setpoint") {
        s[ch(kSetpointChannel)] = {"27/0/0/0", "27/100/359/1"};
    } else if (op == "pulse") {
        s[ch(kPulseChannel)] = {"43/7/" + std::to_string(20 * 256 + 10) + "/0"};
    } else if (op == "clear") {
        s[ch(kClearChannel)] = {"27/0/0/0"};
    } else if (op == "config-download") {
        boardsim::PlsState file;
        for (int i = 0; i < 24; ++i)
            file.config[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(11 + i);
        for (int g = 0; g < 4; ++g)
            s["configuration block " + std::to_string(g)] = {blockText(file, g)};
        s["the scale factor"] = {std::to_string(kNewScale)};
        // a new scale factor takes the offset modulo itself
        s["the offset"] = {std::to_string(before.offset % kNewScale)};
    } else if (op == "offset") {
        const int scale = before.scale;
        const int offset = (scale + ((before.offset + before.position) % scale) - kDesiredPosition) % scale;
        s["the offset"] = {std::to_string(offset)};
    }
    return s;
}

// Whether a failed command's stderr names the element as changed or perhaps changed.
bool named(const std::string &err, const std::string &element, const std::string &op)
{
    const QString e = QString::fromStdString(err);
    if (element.rfind("configuration block ", 0) == 0) {
        const QString g = QString::fromStdString(element.substr(20));
        static const QRegularExpression blocks(QStringLiteral("configuration blocks? ([0-9]+(?:, [0-9]+)*)"));
        for (auto it = blocks.globalMatch(e); it.hasNext();)
            if (it.next().captured(1).split(QStringLiteral(", ")).contains(g))
                return true;
        return false;
    }
    if (element == "the offset" && op == "config-download")
        return e.contains(QStringLiteral("the scale factor"));
    if (element.rfind("channel ", 0) == 0)
        return e.contains(QRegularExpression(QString::fromStdString(element) + QStringLiteral("\\b")));
    return e.contains(QString::fromStdString(element));
}

// The PLS as the board holds it, as PtyBoard::pls() takes it.
boardsim::PlsState plsOf(const boardsim::Engine &e)
{
    boardsim::PlsState p;
    p.scale = e.plsScale();
    p.offset = e.plsOffset();
    p.position = e.plsPosition();
    p.config = e.plsConfig();
    for (int ch = 0; ch < boardsim::Engine::kPlsChannels; ++ch) {
        const boardsim::PlsChannel c = e.plsChannel(ch);
        p.channels[static_cast<std::size_t>(ch)] = {c.kind, c.first, c.second, c.last};
    }
    return p;
}

void note(PlsOutcome &o, const std::string &what) { o.problem += (o.problem.empty() ? "" : "; ") + what; }

void evaluate(const PlsCase &c, const boardsim::PlsState &before, std::uint16_t rpm, const boardsim::PlsState &after,
              const QByteArray *uploaded, PlsOutcome &o)
{
    const int status = o.run.status;
    if (status != 0 && status != 1) {
        o.wrongSuccess = true;
        note(o, "exit " + std::to_string(status));
    }
    const auto was = elements(before), is = elements(after);
    const auto sent = sentBy(c.op, before);
    for (const auto &[name, value] : is) {
        const std::string &old = was.at(name);
        const auto s = sent.find(name);
        if (status == 0 && s != sent.end() && value != s->second.back()) {
            o.wrongSuccess = true;
            note(o, "exit 0 but " + name + " holds " + value + ", not " + s->second.back());
        }
        if (value == old)
            continue;
        if (s == sent.end()) {
            o.wrongChange = true;
            note(o, name + " changed: " + old + " -> " + value + ", the command does not send it");
        } else if (std::find(s->second.begin(), s->second.end(), value) == s->second.end()) {
            o.wrongChange = true;
            note(o, name + " holds " + value + ", which the command never sent");
        } else if (status != 0 && !named(o.run.err, name, c.op)) {
            o.wrongChange = true;
            note(o, name + " changed (" + old + " -> " + value + ") in a failed run whose stderr does not name it");
        }
    }

    const std::string &out = o.run.out;
    if (c.op == "status") {
        const std::map<std::string, long> truth = {
            {"scale", before.scale}, {"offset", before.offset}, {"position", before.position}, {"rpm", rpm}};
        int printed = 0;
        for (const QString &line : QString::fromStdString(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString name = line.section(QStringLiteral(": "), 0, 0);
            const long v = line.section(QStringLiteral(": "), 1).toLong();
            const auto t = truth.find(name.toStdString());
            if (t == truth.end())
                continue;
            if (v == -9999) {
                if (status == 0) {
                    o.wrongSuccess = true;
                    note(o, "exit 0 with " + name.toStdString() + " -9999");
                }
                continue;
            }
            ++printed;
            if (v != t->second) {
                o.wrongKept = true;
                note(o, "printed " + line.toStdString() + ", the PLS holds " + std::to_string(t->second));
            }
        }
        if (status == 0 && printed != 4) {
            o.wrongSuccess = true;
            note(o, "exit 0 without the four figures");
        }
    } else if (c.op == "recall" && status == 0) {
        const auto &ch = before.channels[kSetpointChannel];
        const std::string want = "state: " + std::to_string(ch.last) + "\nposition: " + std::to_string(ch.first) + "\n";
        if (out != want) {
            o.wrongKept = true;
            note(o, "printed \"" + out + "\", the PLS holds \"" + want + "\"");
        }
    } else if (c.op == "config-upload") {
        QByteArray want;
        for (int i = 0; i < 19; ++i)
            want += QByteArray::number(before.config[static_cast<std::size_t>(i)]) + '\n';
        if (status == 0 && (!uploaded || *uploaded != want)) {
            o.wrongKept = true;
            note(o, "wrote " + (uploaded ? uploaded->left(60).replace('\n', ' ').toStdString() : "nothing")
                        + ", the PLS holds " + want.left(60).replace('\n', ' ').toStdString());
        }
        if (status != 0 && uploaded) {
            o.wrongKept = true;
            note(o, "the file was written by a failed run");
        }
    }
}

}   // namespace

std::string PlsCase::name() const
{
    std::string s = "pls " + op + " [";
    for (std::size_t i = 0; i < faults.size(); ++i)
        s += (i ? " " : "") + faults[i];
    return s + "]";
}

std::vector<std::string> plsOperations()
{
    return {"status", "recall", "config-upload", "setpoint", "config-download", "offset", "pulse", "clear"};
}

std::vector<PlsCase> plsMatrix(Size size)
{
    std::vector<PlsCase> cases;
    if (size == Size::Full) {
        // bytes on the line of each command without faults
        const std::map<std::string, int> bytes = {{"status", 34},  {"recall", 14}, {"config-upload", 44},
                                                  {"setpoint", 36}, {"config-download", 63}, {"offset", 35},
                                                  {"pulse", 23},   {"clear", 15}};
        for (const std::string &op : plsOperations()) {
            cases.push_back({op, {}});
            for (int n = 1; n <= bytes.at(op); ++n)
                for (const char *f : {"lose", "garble", "noise"})
                    cases.push_back({op, {std::string(f) + "=" + std::to_string(n)}});
        }
        return cases;
    }
    for (const std::string &op : plsOperations())
        cases.push_back({op, {}});
    // What the reliability probe found, then a spread over each command: the
    // answers to the handshake, the command byte, a value, the last value, a read.
    const std::vector<std::pair<std::string, std::string>> picked = {
        {"config-download", "lose=54"}, {"config-download", "lose=2"},    {"config-download", "garble=31"},
        {"setpoint", "garble=12"},      {"status", "garble=3"},           {"offset", "garble=5"},
        {"config-download", "lose=55"}, {"config-download", "garble=55"}, {"setpoint", "garble=28"},
        {"setpoint", "garble=30"},      {"setpoint", "lose=20"},          {"status", "noise=4"},
        {"status", "lose=6"},           {"recall", "garble=5"},           {"recall", "noise=6"},
        {"config-upload", "garble=7"},  {"config-upload", "noise=10"},    {"offset", "garble=14"},
        {"offset", "lose=27"},          {"pulse", "garble=16"},           {"pulse", "lose=12"},
        {"clear", "garble=8"},          {"clear", "lose=4"},
    };
    for (const auto &[op, fault] : picked)
        cases.push_back({op, {fault}});
    return cases;
}

PlsOutcome runPlsCase(const PlsCase &c, const QString &appDir, Line line)
{
    PlsOutcome o;
    boardsim::Options opt;
    opt.lineRunning = false;
    opt.faults = c.faults;
    std::unique_ptr<boardsim::Engine> engine;
    boardsim::PtyBoard board(opt);
    if (line == Line::Virtual) {
        engine = std::make_unique<boardsim::Engine>(opt);
    } else {
        std::string error;
        QDir().mkpath(appDir + QStringLiteral("/Support/ports"));
        if (!board.start(&error)
            || !board.linkTo((appDir + QStringLiteral("/Support/ports/COM1")).toStdString(), &error)) {
            o.wrongSuccess = true;
            note(o, "the simulated board did not start: " + error);
            return o;
        }
    }
    const QString cfg = appDir + QStringLiteral("/pls-in.cfg");
    const QString up = appDir + QStringLiteral("/pls-up.cfg");
    {
        QFile f(cfg);
        if (f.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < 24; ++i)
                f.write(QByteArray::number(11 + i) + '\n');
            f.write(QByteArray::number(kNewScale) + '\n');
        }
    }
    QFile::remove(up);
    const boardsim::PlsState before = engine ? plsOf(*engine) : board.pls();
    const std::uint16_t rpm = engine ? engine->peekWord(boardsim::addr::MachineSpeed)
                                     : board.peekWord(boardsim::addr::MachineSpeed);
    if (engine) {
        o.run = runOrvelctl(*engine, appDir, argsOf(c.op, cfg, up));
    } else {
        o.run = runOrvelctl(appDir, argsOf(c.op, cfg, up));
        // The board takes in what was sent a moment later.
        const auto t0 = Clock::now();
        while (board.stats().bytesIn < o.run.written && Clock::now() - t0 < std::chrono::milliseconds(300))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const boardsim::PlsState after = engine ? plsOf(*engine) : board.pls();
    board.stop();
    QByteArray uploaded;
    QFile f(up);
    const bool written = f.open(QIODevice::ReadOnly);
    if (written)
        uploaded = f.readAll();
    evaluate(c, before, rpm, after, written ? &uploaded : nullptr, o);
    return o;
}

void PlsTally::add(const PlsOutcome &o)
{
    ++runs;
    wrongSuccess += o.wrongSuccess;
    wrongChanges += o.wrongChange;
    wrongKept += o.wrongKept;
    seconds += o.run.seconds;
}

std::string PlsTally::line(const std::string &label) const
{
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "fault matrix %s: %d runs, %d wrong_success, %d wrong_pls_changes, %d wrong_kept, %.1f s",
                  label.c_str(), runs, wrongSuccess, wrongChanges, wrongKept, seconds);
    return buf;
}

}   // namespace faultmatrix

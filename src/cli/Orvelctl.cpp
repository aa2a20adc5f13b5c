#include "Orvelctl.h"
#include "AppFolder.h"
#include "CliPort.h"
#include "Clock.h"
#include "ConsoleDialogs.h"
#include "CsvRows.h"
#include "DataTransfer.h"
#include "Dialogs.h"
#include "Interruption.h"
#include "PlsValues.h"
#include "ProgramFiles.h"
#include "RSComm.h"
#include "SetupData.h"
#include "Report.h"
#include "SetupData.h"
#include "ShiftExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <limits>
#include <vector>
#include <map>
#include <optional>

namespace orvelctl {
namespace {

struct Options {
    std::optional<int> port;
    std::optional<int> baud;
};

// The boxes of a run: the environment's, except that with --yes a question
// is answered Yes (it is still printed). Remembers a question answered
// otherwise, which ends the command with exit status 3.
class RunDialogs final : public Dialogs {
public:
    explicit RunDialogs(Dialogs &inner) : inner_(inner) {}
    bool yes = false;
    bool declined() const { return declined_; }
    int shown = 0;   // boxes so far
    Button messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text) override
    {
        ++shown;
        const Button b = inner_.messageBox(icon, buttons, title, text);
        const bool question = buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel;
        if (yes && icon == Icon::Question && question)
            return Button::Yes;
        if (question && b != Button::Yes)
            declined_ = true;
        return b;
    }
    std::optional<QString> openFile(const FileRequest &req) override { return inner_.openFile(req); }
    std::optional<QString> saveFile(const FileRequest &req) override { return inner_.saveFile(req); }
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        return inner_.inputBox(prompt, title, initial);
    }

private:
    Dialogs &inner_;
    bool declined_ = false;
};

struct Context {
    Environment &env;
    RSComm &link;
    SerialPort *port;   // null for the commands that need no board
    RunDialogs &dialogs;
    const Options &options;
};

struct Command {
    QString synopsis;
    int minArgs;
    int maxArgs;   // -1: any number
    std::function<int(Context &, const QStringList &)> run;
    bool needsBoard = true;   // false: the port is not even made
};

void print(std::FILE *f, const QString &s) { std::fprintf(f, "%s\n", s.toLocal8Bit().constData()); }

// Opens the link; CommFailure when the board cannot be reached.
int openLink(Context &c)
{
    c.link.OpenRSComm(c.port);
    if (!c.link.OnlineMode || c.link.CommError)
        return CommFailure;
    return Done;
}

int finish(Context &c, int status)
{
    const bool failed = c.link.CommError;
    c.link.CloseRSComm();
    if (status == Done && failed)
        return CommFailure;
    return status;
}

void complain(Context &c, const QString &text) { print(c.env.err, QStringLiteral("orvelctl: ") + text); }

// The command line takes only well-formed addresses: a type letter B, W or D
// with a byte address and an optional bit, a flag F with its number, or
// hexadecimal digits ending in H. The desktop program's lenient reading of
// other texts is no use in a script, where a typo must not reach the board.
bool wellFormedAddress(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(?:[BWD][0-9]+(?:\\.[0-9]+)?|F[0-9]+|[0-9A-F]+H)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return form.match(text).hasMatch();
}

bool plainDecimal(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

// Checks an address the way the link would, before the port is opened;
// the reason goes to stderr.
bool acceptAddress(Context &c, const QString &add)
{
    if (!wellFormedAddress(add)) {
        complain(c, QStringLiteral("not a board address: \"%1\"").arg(add));
        return false;
    }
    return c.link.CheckAddress(add);
}

int cmdRead(Context &c, const QStringList &args)
{
    // Every address is checked before the line is touched. Output keeps one
    // line per address given, in order: an empty line where no value is known.
    std::vector<bool> accepted;
    bool anyRefused = false;
    for (const QString &a : args) {
        accepted.push_back(acceptAddress(c, a));
        anyRefused = anyRefused || !accepted.back();
    }
    const int refusedStatus = anyRefused ? Refused : Done;
    if (std::find(accepted.begin(), accepted.end(), true) == accepted.end()) {
        for (qsizetype i = 0; i < args.size(); ++i)
            print(c.env.out, QString());
        return Refused;
    }
    bool failed = false, linkDown = false;
    if (openLink(c) != Done) {
        for (qsizetype i = 0; i < args.size(); ++i) {
            if (accepted[size_t(i)])
                complain(c, QStringLiteral("%1: not read, the board was not reached").arg(args[i]));
            print(c.env.out, QString());
        }
        return finish(c, CommFailure);
    }
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!accepted[size_t(i)] || linkDown) {
            print(c.env.out, QString());
            continue;
        }
        // A printed value is one a script acts on: it is confirmed.
        const QString v = c.link.RSReadConfirmed(args[i]);
        if (c.link.lastAccessOk()) {
            print(c.env.out, v);
            continue;
        }
        print(c.env.out, QString());
        if (c.link.CommError) {
            complain(c, QStringLiteral("%1: not read, the link to the board is down").arg(args[i]));
            linkDown = true;
        } else {
            complain(c, QStringLiteral("%1: not read, no reliable answer from the board").arg(args[i]));
        }
        failed = true;
    }
    return finish(c, failed ? CommFailure : refusedStatus);
}

int cmdWrite(Context &c, const QStringList &args)
{
    // The address and the value are checked before the port is opened, so a
    // refused entry never touches the line.
    if (!acceptAddress(c, args[0]))
        return Refused;
    if (!plainDecimal(args[1])) {
        complain(c, QStringLiteral("not a plain decimal value: \"%1\"").arg(args[1]));
        return Refused;
    }
    if (!c.link.CheckWrite(args[0], args[1]))
        return Refused;
    if (openLink(c) != Done) {
        complain(c, QStringLiteral("%1: not written, the board was not reached").arg(args[0]));
        return finish(c, CommFailure);
    }
    c.link.RSWrite(args[0], args[1]);
    if (c.link.lastAccessRefused())
        return finish(c, Refused);
    if (!c.link.lastAccessOk()) {
        complain(c,
                 c.link.CommError
                     ? QStringLiteral("%1: not written, the link to the board is down").arg(args[0])
                     : QStringLiteral("%1: not confirmed, the board's echoes were wrong or missing").arg(args[0]));
        return finish(c, CommFailure);
    }
    return finish(c, c.link.CommError ? CommFailure : Done);
}

// A usage error found by a command itself: the reason and the usage to stderr.
int usageError(Context &c, const QString &why)
{
    complain(c, why);
    std::fprintf(c.env.err, "%s", usage().toLocal8Bit().constData());
    return Usage;
}

// A whole decimal number (optional sign) that fits the type; false otherwise.
template <typename T>
bool wholeNumber(const QString &text, T &value)
{
    bool ok = false;
    // A NUL ends the number for the conversion ("1<NUL>2" would read as 1).
    if (text.contains(QChar(0)))
        return false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
        return false;
    value = T(v);
    return true;
}

// The address checks need no board: they never make or open the port.
int cmdValidate(Context &c, const QStringList &args)
{
    int code = 0;
    if (!wholeNumber(args[1], code))
        return usageError(c, QStringLiteral("BOARDCODE is not a whole number: \"%1\"").arg(args[1]));
    print(c.env.out, RSComm::ValidAdd(args[0], code) ? QStringLiteral("valid") : QStringLiteral("invalid"));
    return Done;
}

int cmdEquate(Context &c, const QStringList &args)
{
    int code = 0;
    if (!wholeNumber(args[1], code))
        return usageError(c, QStringLiteral("BOARDCODE is not a whole number: \"%1\"").arg(args[1]));
    print(c.env.out, RSComm::EquateAdd(args[0], code));
    return Done;
}

int cmdNumbering(Context &c, const QStringList &args, std::int64_t (*convert)(std::int64_t))
{
    std::int64_t n = 0;
    if (!wholeNumber(args[0], n))
        return usageError(c, QStringLiteral("N is not a whole number: \"%1\"").arg(args[0]));
    print(c.env.out, QString::number(convert(n)));
    return Done;
}

int cmdOctal(Context &c, const QStringList &args) { return cmdNumbering(c, args, RSComm::Dec2Octal); }
int cmdDecimal(Context &c, const QStringList &args) { return cmdNumbering(c, args, RSComm::Octal2Dec); }

// The numeric arguments of a PLS command: a text that is no whole number is
// a usage error; a number beyond what the link takes is refused.
int plsNumbers(Context &c, const QStringList &names, const QStringList &args, std::vector<int> &values)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        std::int64_t v = 0;
        if (!wholeNumber(args[i], v))
            return usageError(c, QStringLiteral("%1 is not a whole number: \"%2\"").arg(names[i], args[i]));
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
            complain(c, QStringLiteral("%1 is out of range: %2").arg(names[i], args[i]));
            return Refused;
        }
        values.push_back(int(v));
    }
    return Done;
}

// Values the link would refuse are refused before the port is opened, with
// the link's own box.
bool refusedBeforeSending(Context &c, const plsvalues::Refusal &r)
{
    if (r)
        c.env.dialogs.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, r.title, r.text);
    return bool(r);
}

// Opens the link and runs one PLS operation; the status follows its result.
// With evenUnreached the operation runs on a link that is down too, so it
// sets the figures it reports for a failure.
int runPls(Context &c, const QString &what, const std::function<bool()> &op, bool evenUnreached = false)
{
    const bool reached = openLink(c) == Done;
    if (!reached)
        complain(c, what + QStringLiteral(": not done, the board was not reached"));
    bool ok = false;
    if (reached || evenUnreached)
        ok = op();
    if (c.link.lastAccessRefused())
        return finish(c, Refused);
    if (reached && !ok) {
        // Why, when the link knows, and what a change that failed left in the PLS.
        QString why = c.link.CommError ? QStringLiteral(": not done, the link to the board is down")
                                       : QStringLiteral(": not done");
        for (const QString &more : {c.link.plsReadProblem(), c.link.plsChangeNote()})
            if (!more.isEmpty())
                why += QStringLiteral("; ") + more;
        complain(c, what + why);
    }
    return finish(c, reached && ok ? Done : CommFailure);
}

void printField(Context &c, const char *name, const QString &value)
{
    print(c.env.out, QLatin1String(name) + QStringLiteral(": ") + value);
}

int cmdPlsStatus(Context &c, const QStringList &)
{
    const bool reached = openLink(c) == Done;
    if (!reached)
        complain(c, QStringLiteral("pls status: the board was not reached"));
    // On a link that is down every query gives -9999 at once.
    bool allRead = reached;
    auto query = [&](const char *name, QString (RSComm::*get)()) {
        printField(c, name, (c.link.*get)());
        const bool ok = c.link.lastAccessOk();
        allRead = allRead && ok;
        if (reached && !ok)
            complain(c, QStringLiteral("pls status: %1 not read: %2")
                            .arg(QLatin1String(name),
                                 !c.link.plsReadProblem().isEmpty() ? c.link.plsReadProblem()
                                 : c.link.CommError ? QStringLiteral("the link to the board is down")
                                                    : QStringLiteral("the board's answers were wrong or missing")));
    };
    query("scale", &RSComm::PLSScaleFactor);
    query("offset", &RSComm::PLSOffset);
    query("position", &RSComm::PLSPos);
    query("rpm", &RSComm::PLSRpm);
    return finish(c, allRead ? Done : CommFailure);
}

int cmdPlsSetpoint(Context &c, const QStringList &given)
{
    QStringList args = given;
    const bool clear = args.removeAll(QStringLiteral("--clear")) > 0;
    if (args.size() != 3)
        return usageError(c, QStringLiteral("usage: orvelctl pls setpoint CH ON OFF [--clear]"));
    std::vector<int> v;
    if (const int s = plsNumbers(c, {QStringLiteral("CH"), QStringLiteral("ON"), QStringLiteral("OFF")}, args, v))
        return s;
    if (refusedBeforeSending(c, plsvalues::singleSetpoint(v[0], v[1], v[2])))
        return Refused;
    return runPls(c, QStringLiteral("pls setpoint"), [&] { return c.link.SingleSetpoint(v[0], v[1], v[2], clear); });
}

int cmdPlsPulse(Context &c, const QStringList &args)
{
    std::vector<int> v;
    if (const int s = plsNumbers(
            c, {QStringLiteral("CH"), QStringLiteral("ON"), QStringLiteral("OFF"), QStringLiteral("START")}, args, v))
        return s;
    if (refusedBeforeSending(c, plsvalues::pulseTrain(v[0], v[1], v[2], v[3])))
        return Refused;
    return runPls(c, QStringLiteral("pls pulse"), [&] { return c.link.PulseTrain(v[0], v[1], v[2], v[3]); });
}

int cmdPlsClear(Context &c, const QStringList &args)
{
    std::vector<int> v;
    if (const int s = plsNumbers(c, {QStringLiteral("CH")}, args, v))
        return s;
    if (refusedBeforeSending(c, plsvalues::clearChannel(v[0])))
        return Refused;
    return runPls(c, QStringLiteral("pls clear"), [&] { return c.link.ClearPLSChan(v[0]); });
}

int cmdPlsOffset(Context &c, const QStringList &args)
{
    std::vector<int> v;
    if (const int s = plsNumbers(c, {QStringLiteral("POSITION")}, args, v))
        return s;
    if (refusedBeforeSending(c, plsvalues::setOffset(v[0])))
        return Refused;
    return runPls(c, QStringLiteral("pls offset"), [&] { return c.link.SetPLSOffset(v[0]); });
}

int cmdPlsRecall(Context &c, const QStringList &args)
{
    std::vector<int> v;
    if (const int s = plsNumbers(c, {QStringLiteral("CH")}, args, v))
        return s;
    if (refusedBeforeSending(c, plsvalues::recallChannel(v[0])))
        return Refused;
    const int status = runPls(
        c, QStringLiteral("pls recall"), [&] { return c.link.RecallChannel(v[0]); }, true);
    // The figures are printed also after a failure: the link sets them then too.
    printField(c, "state", QString::number(c.link.ChannelRecallState()));
    printField(c, "position", QString::number(c.link.ChannelRecallPos()));
    return status;
}

// A configuration file: 24 configuration parameters and then the scale
// factor, one whole number a line; blank lines and lines starting with # are
// ignored.
int cmdPlsConfigDownload(Context &c, const QStringList &args)
{
    const QString &path = args[0];
    const FileBytes file = readRegularFile(path, 64 * 1024);
    if (!file.ok()) {
        complain(c, QStringLiteral("%1: cannot be read: %2").arg(path, file.error));
        return Refused;
    }
    std::array<int, plsvalues::kConfigParams> cfg{};
    int scale = 0;
    int count = 0;
    const QList<QByteArray> lines = file.bytes.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = QString::fromLocal8Bit(lines[n]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(n + 1);
        std::int64_t v = 0;
        if (!wholeNumber(line, v)) {
            // Control characters are shown as \xNN (a NUL would end the line printed).
            QString shownLine;
            for (const QChar ch : line)
                shownLine += ch.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'))
                                                 : QString(ch);
            complain(c, where + QStringLiteral("not a whole number: \"%1\"").arg(shownLine));
            return Refused;
        }
        if (count >= plsvalues::kConfigParams + 1) {
            complain(c,
                     where
                         + QStringLiteral("one value too many: the file holds %1 configuration parameters "
                                          "and the scale factor")
                               .arg(plsvalues::kConfigParams));
            return Refused;
        }
        const bool isScale = count == plsvalues::kConfigParams;
        const std::int64_t max = isScale ? 65535 : 255;
        if (v < (isScale ? 1 : 0) || v > max) {
            complain(c,
                     where
                         + (isScale ? QStringLiteral("the scale factor %1 must be from 1 to %2").arg(v).arg(max)
                                    : QStringLiteral("configuration parameter %1 is %2, it must be from 0 to %3")
                                          .arg(count)
                                          .arg(v)
                                          .arg(max)));
            return Refused;
        }
        if (isScale)
            scale = int(v);
        else
            cfg[size_t(count)] = int(v);
        ++count;
    }
    if (count != plsvalues::kConfigParams + 1) {
        complain(c,
                 QStringLiteral("%1: holds %2 values; %3 are needed: %4 configuration parameters and the scale factor")
                     .arg(path)
                     .arg(count)
                     .arg(plsvalues::kConfigParams + 1)
                     .arg(plsvalues::kConfigParams));
        return Refused;
    }
    if (refusedBeforeSending(c, plsvalues::configDownload(cfg, scale)))
        return Refused;
    return runPls(c, QStringLiteral("pls config-download"), [&] { return c.link.PLSConfigDownload(cfg, scale); });
}

int cmdPlsConfigUpload(Context &c, const QStringList &args)
{
    const QString &path = args[0];
    std::array<int, plsvalues::kConfigBytes> cfg{};
    const int status = runPls(c, QStringLiteral("pls config-upload"), [&] {
        cfg = c.link.PLSConfigUpload();
        return c.link.lastAccessOk();
    });
    if (status != Done)
        return status;
    QByteArray text;
    for (const int b : cfg)
        text += QByteArray::number(b) + '\n';
    if (const QString why = writeFileWhole(path, text); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: not written: %2").arg(path, why));
        return CommFailure;
    }
    return Done;
}

// A set-up file as File > Open takes it: the table made up to its 84
// entries. The reason it cannot be read goes to stderr.
std::optional<SetupData> readSetup(Context &c, const QString &path)
{
    const SetupFile::ReadResult r = SetupFile::read(path);
    if (!r.data) {
        complain(c, QStringLiteral("%1: cannot be opened as a set-up file: %2").arg(path, r.error));
        return std::nullopt;
    }
    SetupData s = *r.data;
    ResizeSetup(s, kSetupMaxIndex);
    return s;
}

// The shift data export of a set-up file, as the desktop program writes it
// after opening that file: its name on the first line, the time of opening
// on the second.
int cmdExport(Context &c, const QStringList &args)
{
    const std::optional<SetupData> setup = readSetup(c, args[0]);
    if (!setup)
        return CommFailure;
    const QByteArray bytes = ShiftExport::encode(*setup, QFileInfo(args[0]).fileName(),
                                                 ShiftExport::DataTimeText(SystemClock::instance().now()));
    if (const QString why = ShiftExport::write(args[1], bytes); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: not written: %2").arg(args[1], why));
        return CommFailure;
    }
    return Done;
}

// The printed report of a set-up file as a PDF file, titled with the file's
// name as the desktop program titles it after opening the file.
int cmdReport(Context &c, const QStringList &args)
{
    const std::optional<SetupData> setup = readSetup(c, args[0]);
    if (!setup)
        return CommFailure;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        complain(c, QStringLiteral("the report needs a graphical application object"));
        return CommFailure;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(args[1]);
    Report::Content content;
    content.setup = *setup;
    content.title = QStringLiteral("[") + QFileInfo(args[0]).fileName() + QStringLiteral("]");
    content.printedText = Report::GeneralDate(SystemClock::instance().now());
    if (const QString why = Report::PrintReport(printer, content); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: not written: %2").arg(args[1], why));
        return CommFailure;
    }
    return Done;
}

// ---- The parameter table and the fault codes ----------------------------------

bool askYes(Context &c, const QString &title, const QString &text)
{
    return c.env.dialogs.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNo, title, text)
        == Dialogs::Button::Yes;
}

// Runs the transfer of the table to its end, one entry after another; an
// entry that did not complete is named on stderr as read and write name it.
// False when the transfer ended incomplete (after its box).
bool runTransfer(Context &c, DataTransfer &t, const SetupData &table)
{
    const bool upload = t.mode() == DataTransfer::Mode::Upload;
    QObject::connect(&t, &DataTransfer::entryDone, [&](int index, bool ok) {
        if (ok || c.link.lastAccessRefused())
            return;   // a refused entry has had the link's box
        const QString add = table.Address.value(index);
        if (c.link.CommError)
            complain(c,
                     add
                         + (upload ? QStringLiteral(": not read, the link to the board is down")
                                   : QStringLiteral(": not written, the link to the board is down")));
        else
            complain(c,
                     add
                         + (upload ? QStringLiteral(": not read, no reliable answer from the board")
                                   : QStringLiteral(": not confirmed, the board's echoes were wrong or missing")));
    });
    QString message;
    QObject::connect(&t, &DataTransfer::finished, [&](bool, const QString &m) { message = m; });
    while (t.step()) {}
    if (!message.isEmpty())
        c.env.dialogs.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"), message);
    return t.state() == DataTransfer::State::Done;
}

int cmdUploadData(Context &c, const QStringList &args)
{
    const QString &path = args[0];
    // The addresses walked: those of the file's table when it exists, else
    // those of the built-in table.
    SetupData table;
    if (QFileInfo::exists(path)) {
        const SetupFile::ReadResult r = SetupFile::read(path);
        if (!r.data) {
            complain(c, QStringLiteral("%1: cannot be opened as a set-up file: %2").arg(path, r.error));
            return Refused;
        }
        table = *r.data;
        ResizeSetup(table, kSetupMaxIndex);
    } else {
        table = BuildDefaultSetup(MakeProgramVersion());
    }
    if (!askYes(c, QStringLiteral("Data Upload"),
                QStringLiteral("You are about to Upload Data from the PLC\r\n\r\nDo You Wish to Continue?")))
        return Refused;
    if (openLink(c) != Done) {
        complain(c, QStringLiteral("upload-data: not done, the board was not reached"));
        return finish(c, CommFailure);
    }
    DataTransfer t(c.link, table, DataTransfer::Mode::Upload);
    if (!runTransfer(c, t, table)) {
        complain(c, QStringLiteral("%1: not written, the upload did not complete").arg(path));
        return finish(c, CommFailure);
    }
    // Saved as File > Save saves: the table under this program's version.
    table.Version = MakeProgramVersion();
    if (const QString why = SetupFile::write(path, table); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: not written: %2").arg(path, why));
        return finish(c, CommFailure);
    }
    return finish(c, Done);
}

int cmdDownloadData(Context &c, const QStringList &args)
{
    const QString &path = args[0];
    // Opened as File > Open opens it: the same box for a file that is no
    // set-up, the same question for another version's file.
    const SetupFile::ReadResult r = SetupFile::read(path);
    if (!r.data) {
        c.env.dialogs.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                              QStringLiteral("The file %1 cannot be opened as a set-up file:\r\n\r\n%2.")
                                  .arg(QFileInfo(path).fileName(), r.error));
        return Refused;
    }
    SetupData table = *r.data;
    if (table.Version != MakeProgramVersion()) {
        const Dialogs::Button answer = c.env.dialogs.messageBox(
            Dialogs::Icon::Information, Dialogs::Buttons::YesNoCancel, QStringLiteral("ORVEL"),
            QStringLiteral("File created by set-up program version: ") + table.Version + QStringLiteral("\r\n")
                + QStringLiteral("Data tables may not be properly aligned.") + QStringLiteral("\r\n\r\n")
                + QStringLiteral("Do you wish to continue?"));
        if (answer != Dialogs::Button::Yes)
            return Refused;
    }
    ResizeSetup(table, kSetupMaxIndex);
    if (!askYes(c, QStringLiteral("Data Download"),
                QStringLiteral("You are about to Download Data to the PLC\r\n\r\nDo You Wish to Continue?")))
        return Refused;
    if (openLink(c) != Done) {
        complain(c, QStringLiteral("download-data: not done, the board was not reached"));
        return finish(c, CommFailure);
    }
    DataTransfer t(c.link, table, DataTransfer::Mode::Download);
    return finish(c, runTransfer(c, t, table) ? Done : CommFailure);
}

// A fault code as the program shows it (0AH, 0ah), with 0x (0x0A), or decimal (10).
std::optional<int> faultCodeArgument(const QString &text)
{
    static const QRegularExpression hexH(QStringLiteral("^([0-9A-F]+)H$"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression hex0x(QStringLiteral("^0X([0-9A-F]+)$"), QRegularExpression::CaseInsensitiveOption);
    QString digits = text;
    int base = 10;
    if (const auto m = hexH.match(text); m.hasMatch()) {
        digits = m.captured(1);
        base = 16;
    } else if (const auto m0 = hex0x.match(text); m0.hasMatch()) {
        digits = m0.captured(1);
        base = 16;
    } else if (!plainDecimal(text)) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong v = digits.toLongLong(&ok, base);
    if (!ok || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(v);
}

// Prints the text line of a fault code; CommFailure, printing nothing, when
// the fault file is there but could not be read (the link's box says why).
int printFaultText(Context &c, int code)
{
    const int before = c.dialogs.shown;
    const QString line = c.link.FaultDescription(code);
    if (c.dialogs.shown != before)
        return CommFailure;
    print(c.env.out, line);
    return Done;
}

int cmdFaultText(Context &c, const QStringList &args)
{
    const std::optional<int> code = faultCodeArgument(args[0]);
    if (!code)
        return usageError(c, QStringLiteral("CODE is not a fault code (10, 0AH or 0x0A): \"%1\"").arg(args[0]));
    return printFaultText(c, *code);
}

int cmdFaults(Context &c, const QStringList &)
{
    const QString add = QStringLiteral("B8176");
    if (openLink(c) != Done) {
        complain(c, add + QStringLiteral(": not read, the board was not reached"));
        return finish(c, CommFailure);
    }
    const QString v = c.link.RSRead(add);
    if (!c.link.lastAccessOk()) {
        complain(c,
                 add
                     + (c.link.CommError ? QStringLiteral(": not read, the link to the board is down")
                                         : QStringLiteral(": not read, no reliable answer from the board")));
        return finish(c, CommFailure);
    }
    return finish(c, printFaultText(c, v.toInt()));
}

// A text for one terminal line: each control character in caret notation,
// as cat -v shows it (NUL ^@, line feed ^J, escape ^[, DEL ^?, U+0080 M-^@),
// so that a NUL does not end the text, nor a line feed or an escape split or
// rewrite the line.
QString caretNotation(const QString &text)
{
    QString shown;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x80 && u < 0xA0)
            shown += QStringLiteral("M-");
        const char16_t low = u & 0x7F;
        if (u < 0xA0 && (low < 0x20 || low == 0x7F))
            shown += QLatin1Char('^') + QChar(low == 0x7F ? u'?' : char16_t(low + 0x40));
        else
            shown += ch;
    }
    return shown;
}

int cmdBoardName(Context &c, const QStringList &args)
{
    int code = 0;
    if (!wholeNumber(args[0], code))
        return usageError(c, QStringLiteral("CODE is not a whole number: \"%1\"").arg(args[0]));
    // The name of a code no board has begins with the code's character, which
    // may be a control character (code 0 is a NUL).
    print(c.env.out, caretNotation(RSComm::TargetboardName(code)));
    return Done;
}

// The program file set named by the arguments (FILE.tnx and the options of
// the command); Usage or Refused when there is none to use.
int programFileArgument(Context &c, const QStringList &args, bool yesAllowed, QString &file)
{
    for (const QString &a : args) {
        if (yesAllowed && a == QLatin1String("--yes"))
            c.dialogs.yes = true;
        else if (a.startsWith(QLatin1String("--")))
            return usageError(c, QStringLiteral("unknown option ") + a);
        else if (!file.isEmpty())
            return usageError(c, QStringLiteral("one program file only"));
        else
            file = a;
    }
    if (file.isEmpty())
        return usageError(c, QStringLiteral("no program file given"));
    if (!QFileInfo(file).isFile()) {
        complain(c, QStringLiteral("%1: no such file").arg(file));
        return Refused;
    }
    file = QFileInfo(file).absoluteFilePath();
    return Done;
}

int cmdDownloadProgram(Context &c, const QStringList &args)
{
    QString file;
    if (const int status = programFileArgument(c, args, true, file); status != Done)
        return status;
    // The set is checked before the port is opened; the link says why it is refused.
    c.link.DownloadFile(file);
    if (!c.link.ValidProgram() || !c.link.CheckProgramHex()) {
        complain(c, QStringLiteral("%1: not a program file set that can be downloaded").arg(file));
        return Refused;
    }
    if (openLink(c) != Done)
        return finish(c, CommFailure);
    c.link.DumpProgram();
    return finish(c, c.link.lastAccessOk() ? Done : CommFailure);
}

int cmdUploadProgram(Context &c, const QStringList &args)
{
    QString file;
    if (const int status = programFileArgument(c, args, false, file); status != Done)
        return status;
    // The board type comes from the main file: without one nothing is read
    // and no file of the set is written.
    const FileBytes tnx = readRegularFile(file, ProgramFiles::kMaxItemFileBytes, LargerFile::ReadInPart);
    if (!tnx.ok() || !ProgramFiles::boardType(tnx.bytes)) {
        complain(c, QStringLiteral("%1: %2").arg(file, tnx.ok() ? QStringLiteral("no board type: the file's first item is empty")
                                                                : tnx.error));
        return Refused;
    }
    c.link.UploadFile(file);
    if (openLink(c) != Done)
        return finish(c, CommFailure);
    c.link.InUploadMode = true;
    c.link.UploadProgram();
    return finish(c, c.link.lastAccessOk() ? Done : CommFailure);
}

// ---- watch ----------------------------------------------------------------------

// Where the rows of a watch go, each in one write, through to the system at
// once: a crash loses at most the row being written. A row a file could
// not take whole (disk full) is cut off again, so the file holds whole rows.
class RowSink {
public:
    ~RowSink() { close(); }
    // FILE as the program writes files: a regular file (or a new name) is
    // replaced, a device or a pipe written into. Empty when open; else why not.
    QString open(const QString &path)
    {
        const WriteTarget t = writeTarget(path);
        QString why = t.error;
        if (t.kind == WriteTarget::Kind::Stream) {
            fd_ = openStream(t.path, why);
        } else if (t.kind == WriteTarget::Kind::Replace) {
            fd_ = ::open(QFile::encodeName(t.path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd_ < 0)
                why = QString::fromLocal8Bit(std::strerror(errno));
            file_ = true;
        }
        own_ = fd_ >= 0;
        return own_ ? QString() : why;
    }
    void use(std::FILE *stream)
    {
        std::fflush(stream);
        fd_ = fileno(stream);
    }
    QString write(const QByteArray &row)
    {
        const off_t before = file_ ? ::lseek(fd_, 0, SEEK_CUR) : -1;
        const QString why = writeAll(fd_, row);
        if (!why.isEmpty() && before >= 0 && ::ftruncate(fd_, before) == 0)
            ::lseek(fd_, before, SEEK_SET);
        return why;
    }
    QString close()
    {
        const bool failed = own_ && ::close(fd_) != 0 && errno != EINTR;
        own_ = false;
        return failed ? QString::fromLocal8Bit(std::strerror(errno)) : QString();
    }

private:
    int fd_ = -1;
    bool own_ = false;    // opened here, closed here
    bool file_ = false;   // a regular file: a row cut short is taken back
};

// Reads the addresses pass after pass, one CSV row a pass: the time the pass
// began, then each value, an empty field for a read that failed. Passes start
// --every MS apart; a pass that takes longer is followed at once by the next,
// none left out. A failed read is named on stderr and the watch goes on; a
// link that is down ends it after its row. SIGINT and SIGTERM end it after
// the row of the last whole pass; a pass they cut short leaves no row.
int cmdWatch(Context &c, const QStringList &args)
{
    QStringList adds;
    std::optional<int> every, count;
    QString outPath;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a != QLatin1String("--every") && a != QLatin1String("--count") && a != QLatin1String("--out")) {
            if (a.startsWith(QLatin1String("--")))
                return usageError(c, QStringLiteral("unknown option ") + a);
            adds << a;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(c, a + QStringLiteral(" needs a value"));
        const QString &v = args[++i];
        int n = 0;
        if (a == QLatin1String("--out"))
            outPath = v;
        else if (!wholeNumber(v, n) || n < 1)
            return usageError(c, QStringLiteral("%1 takes a whole number from 1: \"%2\"").arg(a, v));
        else
            (a == QLatin1String("--every") ? every : count) = n;
    }
    if (adds.isEmpty())
        return usageError(c, QStringLiteral("usage: orvelctl watch ADDR... [--every MS] [--count N] [--out FILE.csv]"));
    bool refused = false;
    for (const QString &a : adds)
        refused = !acceptAddress(c, a) || refused;
    if (refused)
        return Refused;

    // A pass reads every address as read does, each value confirmed by a
    // second read; the line sets how short a pass can be.
    const int baud = c.options.baud.value_or(c.link.SettingsSpeed());
    std::int64_t passNs = 0;
    for (const QString &a : adds)
        passNs += RSComm::ConfirmedReadLineNs(a, baud);
    const int leastMs = int((passNs + 999'999) / 1'000'000);
    if (every && *every < leastMs) {
        complain(c, QStringLiteral("--every %1 is too short: a pass over these addresses takes %2 ms on the "
                                   "line at %3 baud; the shortest --every is %2")
                        .arg(*every)
                        .arg(leastMs)
                        .arg(baud));
        return Usage;
    }
    const std::int64_t everyNs = std::int64_t(every.value_or(std::max(1000, leastMs))) * 1'000'000;

    RowSink sink;
    const QString outName = outPath.isEmpty() ? QStringLiteral("standard output") : outPath;
    if (outPath.isEmpty())
        sink.use(c.env.out);
    else if (const QString why = sink.open(outPath); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: cannot be written: %2").arg(outPath, why));
        return CommFailure;
    }
    auto writeRow = [&](const QStringList &fields) {
        const QString why = sink.write(CsvRows::row(fields));
        if (!why.isEmpty())
            complain(c, QStringLiteral("%1: not written: %2; the watch stops").arg(outName, why));
        return why.isEmpty();
    };
    if (!writeRow(QStringList{QStringLiteral("time")} + adds))
        return CommFailure;

    Interruption::takeTerminationSignals();
    const Clock &clock = c.env.clock ? *c.env.clock : SystemClock::instance();
    bool failed = false;
    const QString tried = CsvRows::timeText(clock.now());
    if (openLink(c) != Done) {
        if (!Interruption::requested()) {
            QStringList fields{tried};
            for (const QString &a : adds) {
                complain(c, QStringLiteral("%1: not read, the board was not reached").arg(a));
                fields << QString();
            }
            writeRow(fields);
            failed = true;
        }
    } else {
        std::int64_t start = clock.monotonicNs();
        bool lateSaid = false;
        for (int pass = 0; !count || pass < *count; ++pass) {
            if (pass > 0) {
                const std::int64_t now = clock.monotonicNs();
                if (now - start > everyNs && !lateSaid) {
                    complain(c, QStringLiteral("watch: a pass took %1 ms, longer than --every %2: each pass now "
                                               "starts as the one before ends")
                                    .arg((now - start) / 1'000'000)
                                    .arg(everyNs / 1'000'000));
                    lateSaid = true;
                }
                start = std::max(start + everyNs, now);
                clock.sleepUntil(start);
            }
            if (Interruption::requested())
                break;
            QStringList fields{CsvRows::timeText(clock.now())};
            bool linkDown = false;
            for (const QString &a : adds) {
                const QString v = linkDown ? QString() : c.link.RSReadConfirmed(a);
                if (!linkDown && c.link.lastAccessOk()) {
                    fields << v;
                    continue;
                }
                if (Interruption::requested())
                    break;
                fields << QString();
                if (linkDown)
                    continue;
                failed = true;
                linkDown = c.link.CommError;
                complain(c, a
                                + (linkDown ? QStringLiteral(": not read, the link to the board is down")
                                            : QStringLiteral(": not read, no reliable answer from the board")));
            }
            // A pass cut short by an interruption leaves no row.
            if (fields.size() <= adds.size())
                break;
            if (!writeRow(fields)) {
                failed = true;
                break;
            }
            if (linkDown)
                break;
        }
    }
    c.link.CloseRSComm();
    Interruption::restoreTerminationSignals();
    if (const QString why = sink.close(); !why.isEmpty()) {
        complain(c, QStringLiteral("%1: not written: %2").arg(outName, why));
        failed = true;
    }
    return failed ? CommFailure : Done;
}

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("read"),
         {QStringLiteral("read ADDR...             print the value at each board address"), 1, -1, cmdRead}},
        {QStringLiteral("watch"),
         {QStringLiteral("watch ADDR... [--every MS] [--count N] [--out FILE.csv]  a CSV row of the values every MS"), 1,
          -1, cmdWatch}},
        {QStringLiteral("write"),
         {QStringLiteral("write ADDR VALUE         write VALUE to the board address"), 2, 2, cmdWrite}},
        {QStringLiteral("validate"),
         {QStringLiteral("validate ADDR BOARDCODE  print valid or invalid: does ADDR exist on that board type"), 2, 2,
          cmdValidate, false}},
        {QStringLiteral("equate"),
         {QStringLiteral("equate ADDR BOARDCODE    print the byte address of an I/O point (X, Y, I), or ADDR"), 2, 2,
          cmdEquate, false}},
        {QStringLiteral("report"),
         {QStringLiteral("report FILE.sdt OUT.pdf  print the report of a set-up file to a PDF file"), 2, 2, cmdReport,
          false}},
        {QStringLiteral("export"),
         {QStringLiteral("export FILE.sdt OUT.txt  write the shift data export of a set-up file"), 2, 2, cmdExport,
          false}},
        {QStringLiteral("board-name"),
         {QStringLiteral("board-name CODE          print the board name of a board type code (68 -> T6850(PLC))"), 1, 1,
          cmdBoardName, false}},
        {QStringLiteral("download-program"),
         {QStringLiteral("download-program FILE.tnx [--yes]  check the program file set and download it"), 1, 2,
          cmdDownloadProgram}},
        {QStringLiteral("upload-program"),
         {QStringLiteral("upload-program FILE.tnx  read the board's program into the set's rev, lcf and hex files"), 1,
          1, cmdUploadProgram}},
        {QStringLiteral("octal"),
         {QStringLiteral("octal N                  print N in the two-field point numbering (9 -> 11)"), 1, 1, cmdOctal,
          false}},
        {QStringLiteral("decimal"),
         {QStringLiteral("decimal N                print the point number N as decimal (11 -> 9)"), 1, 1, cmdDecimal,
          false}},
        {QStringLiteral("upload-data"),
         {QStringLiteral("upload-data FILE.sdt     read the parameter table from the board and save it to FILE"), 1, 1,
          cmdUploadData}},
        {QStringLiteral("download-data"),
         {QStringLiteral("download-data FILE.sdt   write the parameter table in FILE to the board"), 1, 1,
          cmdDownloadData}},
        {QStringLiteral("fault-text"),
         {QStringLiteral("fault-text CODE          print the text line of a fault code from the fault file"), 1, 1,
          cmdFaultText, false}},
        {QStringLiteral("faults"),
         {QStringLiteral("faults                   print the board's current fault code and its text"), 0, 0,
          cmdFaults}},
        {QStringLiteral("pls status"),
         {QStringLiteral("pls status               print the PLS scale factor, offset, position and speed"), 0, 0,
          cmdPlsStatus}},
        {QStringLiteral("pls setpoint"),
         {QStringLiteral("pls setpoint CH ON OFF [--clear]  program one on/off setpoint pair on channel CH"), 3, 4,
          cmdPlsSetpoint}},
        {QStringLiteral("pls pulse"),
         {QStringLiteral("pls pulse CH ON OFF START  program a pulse train: ON on, OFF off, from START"), 4, 4,
          cmdPlsPulse}},
        {QStringLiteral("pls clear"),
         {QStringLiteral("pls clear CH             clear PLS channel CH"), 1, 1, cmdPlsClear}},
        {QStringLiteral("pls offset"),
         {QStringLiteral("pls offset POSITION      shift the PLS offset so the current position reads POSITION"), 1, 1,
          cmdPlsOffset}},
        {QStringLiteral("pls recall"),
         {QStringLiteral("pls recall CH            print the state and position PLS channel CH holds"), 1, 1,
          cmdPlsRecall}},
        {QStringLiteral("pls config-download"),
         {QStringLiteral("pls config-download FILE  send the PLS configuration and scale factor in FILE"), 1, 1,
          cmdPlsConfigDownload}},
        {QStringLiteral("pls config-upload"),
         {QStringLiteral("pls config-upload FILE   write the 19 PLS configuration bytes to FILE"), 1, 1,
          cmdPlsConfigUpload}},
    };
    return table;
}

}   // namespace

QString usage()
{
    QString u =
        QStringLiteral("usage: orvelctl [--app-dir DIR] [--port N] [--baud 9600|19200] [--yes] COMMAND ARGS...\n"
                       "Talks to the T6850 board over the comm port set in <app folder>/Support/RSPort.cfg.\n"
                       "--port and --baud replace the settings file's values for this run only.\n"
                       "--yes answers Yes to the questions a command asks (else they are answered No).\n\ncommands:\n");
    for (const auto &[name, cmd] : commands())
        u += QStringLiteral("  ") + cmd.synopsis + QLatin1Char('\n');
    u += QStringLiteral("\naddresses: B999 (byte), W1014 (word), D1100 (decimal double word), B4001.0 (bit),\n"
                        "           F87 (flag), 1F40H (hexadecimal byte address, below FF00H)\n"
                        "values:    plain decimal digits\n"
                        "BOARDCODE: the board type code, the character code of the first character of its\n"
                        "           program file: 49 (K2705) to 69 (T6850(PLS)); N: a whole number\n"
                        "validate, equate, octal, decimal, board-name, fault-text, report and export need no\n"
                        "board and never open the port.\n"
                        "download-program answers its confirmation No unless --yes is given; every box is\n"
                        "     printed to stderr. A transfer that does not complete exits 1.\n"
                        "read prints one line per address, in order; a line is empty when its value is unknown.\n"
                        "watch writes a header row, then one CSV row (CR LF) a pass: the local time of the pass\n"
                        "     (2026-12-07T09:15:02.125), then each value, empty when its read failed; the\n"
                        "     watch goes on, and exits 1 at its end. --every: 1000 unless given, never shorter\n"
                        "     than the line needs for a pass; without --count it runs until SIGINT or SIGTERM,\n"
                        "     which end it after the last whole row. A link that is down ends it (exit 1).\n"
                        "pls: CH 0 to 255 (the board has 32 channels, 0 to 31); setpoints, START and POSITION in\n"
                        "     position divisions below the scale factor. pls status and pls recall print\n"
                        "     name: value lines; a configuration FILE holds 25 whole numbers, one a line: the 24\n"
                        "     configuration parameters (0 to 255), then the scale factor; blank lines and lines\n"
                        "     starting with # are ignored.\n"
                        "upload-data walks the addresses of FILE's table when FILE exists, else the built-in\n"
                        "     table's; FILE is written only when every entry was read. CODE: 10, 0AH or 0x0A.\n"
                        "exit status: 0 done, 1 board not reached, communication failure, operation failed,\n"
                        "             or a file that cannot be read or written,\n"
                        "             2 usage error, 3 value, address or file refused, or a question answered No,\n"
                        "             before sending\n");
    return u;
}

bool needsGuiApplication(const QStringList &args)
{
    // Every option before the command takes a value, except --help.
    qsizetype i = 0;
    while (i < args.size() && args[i].startsWith(QLatin1String("--")))
        i += args[i] == QLatin1String("--help") ? 1 : 2;
    return i < args.size() && args[i] == QLatin1String("report");
}

int run(const QStringList &args, Environment &env)
{
    Options opt;
    int i = 0;
    auto usageError = [&](const QString &why) {
        print(env.err, QStringLiteral("orvelctl: ") + why);
        std::fprintf(env.err, "%s", usage().toLocal8Bit().constData());
        return Usage;
    };
    bool yes = false;
    for (; i < args.size() && args[i].startsWith(QLatin1String("--")); ++i) {
        const QString o = args[i];
        if (o == QLatin1String("--help")) {
            std::fprintf(env.out, "%s", usage().toLocal8Bit().constData());
            return Done;
        }
        if (o == QLatin1String("--yes")) {
            yes = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(o + QStringLiteral(" needs a value"));
        const QString v = args[++i];
        bool ok = false;
        if (o == QLatin1String("--app-dir")) {
            if (!QFileInfo(v).isDir())
                return usageError(QStringLiteral("no such folder: ") + v);
            AppFolder::set(v);
        } else if (o == QLatin1String("--port")) {
            const int n = v.toInt(&ok);
            if (!ok || n < RSComm::MinPortNumber || n > RSComm::MaxPortNumber)
                return usageError(QStringLiteral("--port takes a number from %1 to %2")
                                      .arg(RSComm::MinPortNumber)
                                      .arg(RSComm::MaxPortNumber));
            opt.port = n;
        } else if (o == QLatin1String("--baud")) {
            const int b = v.toInt(&ok);
            if (!ok || (b != 9600 && b != 19200))
                return usageError(QStringLiteral("--baud takes 9600 or 19200"));
            opt.baud = b;
        } else {
            return usageError(QStringLiteral("unknown option ") + o);
        }
    }
    if (i >= args.size())
        return usageError(QStringLiteral("no command given"));
    if (auto *console = dynamic_cast<ConsoleDialogs *>(&env.dialogs))
        console->setAnswerYes(yes);
    // A command is one word (read) or two (pls status).
    auto it = commands().end();
    int words = 1;
    if (i + 1 < args.size() && (it = commands().find(args[i] + QLatin1Char(' ') + args[i + 1])) != commands().end())
        words = 2;
    else
        it = commands().find(args[i]);
    if (it == commands().end())
        return usageError(QStringLiteral("unknown command ")
                          + args.mid(i, args[i] == QLatin1String("pls") ? 2 : 1).join(QLatin1Char(' ')));
    const QStringList rest = args.mid(i + words);
    const Command &cmd = it->second;
    if (rest.size() < cmd.minArgs || (cmd.maxArgs >= 0 && rest.size() > cmd.maxArgs))
        return usageError(QStringLiteral("usage: orvelctl ")
                          + cmd.synopsis.section(QStringLiteral("  "), 0, 0).trimmed());

    std::unique_ptr<CliPort> port;
    if (cmd.needsBoard)
        port = std::make_unique<CliPort>(env.makePort(), opt.port, opt.baud);
    RunDialogs dialogs(env.dialogs);
    RSComm link(dialogs, env.clock ? *env.clock : SystemClock::instance());
    Context ctx{env, link, port.get(), dialogs, opt};
    const int status = cmd.run(ctx, rest);
    // A question of the link answered No (or Cancel) stops the command before
    // what it asked about: refused, not failed.
    return dialogs.declined() && status == CommFailure ? Refused : status;
}

}   // namespace orvelctl

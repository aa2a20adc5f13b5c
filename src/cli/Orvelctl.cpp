#include "Orvelctl.h"
#include "AppFolder.h"
#include "CliPort.h"
#include "Clock.h"
#include "RSComm.h"
#include "Report.h"
#include "SetupData.h"
#include "ShiftExport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
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

struct Context {
    Environment &env;
    RSComm &link;
    SerialPort *port;   // null for the commands that need no board
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
        const QString v = c.link.RSRead(args[i]);
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

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("read"),
         {QStringLiteral("read ADDR...             print the value at each board address"), 1, -1, cmdRead}},
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
        {QStringLiteral("octal"),
         {QStringLiteral("octal N                  print N in the two-field point numbering (9 -> 11)"), 1, 1, cmdOctal,
          false}},
        {QStringLiteral("decimal"),
         {QStringLiteral("decimal N                print the point number N as decimal (11 -> 9)"), 1, 1, cmdDecimal,
          false}},
    };
    return table;
}

}   // namespace

QString usage()
{
    QString u =
        QStringLiteral("usage: orvelctl [--app-dir DIR] [--port N] [--baud 9600|19200] COMMAND ARGS...\n"
                       "Talks to the T6850 board over the comm port set in <app folder>/Support/RSPort.cfg.\n"
                       "--port and --baud replace the settings file's values for this run only.\n\ncommands:\n");
    for (const auto &[name, cmd] : commands())
        u += QStringLiteral("  ") + cmd.synopsis + QLatin1Char('\n');
    u += QStringLiteral("\naddresses: B999 (byte), W1014 (word), D1100 (decimal double word), B4001.0 (bit),\n"
                        "           F87 (flag), 1F40H (hexadecimal byte address, below FF00H)\n"
                        "values:    plain decimal digits\n"
                        "BOARDCODE: the board type code, the character code of the first character of its\n"
                        "           program file: 49 (K2705) to 69 (T6850(PLS)); N: a whole number\n"
                        "validate, equate, octal, decimal, report and export need no board and never open\n"
                        "the port.\n"
                        "read prints one line per address, in order; a line is empty when its value is unknown.\n"
                        "exit status: 0 done, 1 board not reached, communication failure, or a file that\n"
                        "             cannot be read or written,\n"
                        "             2 usage error, 3 value or address refused before sending\n");
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
    for (; i < args.size() && args[i].startsWith(QLatin1String("--")); ++i) {
        const QString o = args[i];
        if (o == QLatin1String("--help")) {
            std::fprintf(env.out, "%s", usage().toLocal8Bit().constData());
            return Done;
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
    const auto it = commands().find(args[i]);
    if (it == commands().end())
        return usageError(QStringLiteral("unknown command ") + args[i]);
    const QStringList rest = args.mid(i + 1);
    const Command &cmd = it->second;
    if (rest.size() < cmd.minArgs || (cmd.maxArgs >= 0 && rest.size() > cmd.maxArgs))
        return usageError(QStringLiteral("usage: orvelctl ")
                          + cmd.synopsis.section(QStringLiteral("  "), 0, 0).trimmed());

    std::unique_ptr<CliPort> port;
    if (cmd.needsBoard)
        port = std::make_unique<CliPort>(env.makePort(), opt.port, opt.baud);
    RSComm link(env.dialogs, SystemClock::instance());
    Context ctx{env, link, port.get()};
    return cmd.run(ctx, rest);
}

}   // namespace orvelctl

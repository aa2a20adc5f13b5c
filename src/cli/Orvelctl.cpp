#include "Orvelctl.h"
#include "AppFolder.h"
#include "CliPort.h"
#include "Clock.h"
#include "RSComm.h"

#include <QDir>
#include <QFileInfo>
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
    SerialPort &port;
};

struct Command {
    QString synopsis;
    int minArgs;
    int maxArgs;   // -1: any number
    std::function<int(Context &, const QStringList &)> run;
};

void print(std::FILE *f, const QString &s)
{
    std::fprintf(f, "%s\n", s.toLocal8Bit().constData());
}

// Opens the link; CommFailure when the board cannot be reached.
int openLink(Context &c)
{
    c.link.OpenRSComm(&c.port);
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

int cmdRead(Context &c, const QStringList &args)
{
    if (const int s = openLink(c))
        return finish(c, s);
    int status = Done;
    for (const QString &a : args) {
        const QString v = c.link.RSRead(a);
        if (c.link.lastAccessRefused()) {
            status = Refused;
            continue;
        }
        if (c.link.CommError)
            return finish(c, CommFailure);
        print(c.env.out, v);
    }
    return finish(c, status);
}

int cmdWrite(Context &c, const QStringList &args)
{
    // Values and addresses are checked before the port is opened, so a
    // refused entry never touches the line.
    if (!c.link.CheckAddress(args[0]))
        return Refused;
    if (const int s = openLink(c))
        return finish(c, s);
    c.link.RSWrite(args[0], args[1]);
    if (c.link.lastAccessRefused())
        return finish(c, Refused);
    return finish(c, c.link.CommError ? CommFailure : Done);
}

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("read"), {QStringLiteral("read ADDR...        print the value at each board address"), 1, -1, cmdRead}},
        {QStringLiteral("write"), {QStringLiteral("write ADDR VALUE    write VALUE to the board address"), 2, 2, cmdWrite}},
    };
    return table;
}

} // namespace

QString usage()
{
    QString u = QStringLiteral(
        "usage: orvelctl [--app-dir DIR] [--port N] [--baud 9600|19200] COMMAND ARGS...\n"
        "Talks to the T6850 board over the comm port set in <app folder>/Support/RSPort.cfg.\n"
        "--port and --baud replace the settings file's values for this run only.\n\ncommands:\n");
    for (const auto &[name, cmd] : commands())
        u += QStringLiteral("  ") + cmd.synopsis + QLatin1Char('\n');
    u += QStringLiteral("\naddresses: B999 (byte), W1014 (word), D1100 (decimal double word), B4001.0 (bit),\n"
                        "           F87 (flag), 1F40H (hexadecimal byte address)\n"
                        "exit status: 0 done, 1 board not reached or communication failure,\n"
                        "             2 usage error, 3 value or address refused before sending\n");
    return u;
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
                                      .arg(RSComm::MinPortNumber).arg(RSComm::MaxPortNumber));
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
        return usageError(QStringLiteral("usage: orvelctl ") + cmd.synopsis.section(QStringLiteral("  "), 0, 0).trimmed());

    CliPort port(env.makePort(), opt.port, opt.baud);
    RSComm link(env.dialogs, SystemClock::instance());
    Context ctx{env, link, port};
    return cmd.run(ctx, rest);
}

} // namespace orvelctl

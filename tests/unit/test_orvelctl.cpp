#include "ConsoleDialogs.h"
#include "Orvelctl.h"
#include "ScriptedSerialPort.h"
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

// Command-line handling that needs no board: usage errors, refused values,
// how boxes become one line. Runs against a real board are integration tests.
namespace {
struct Captured {
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ~Captured() { std::fclose(out); std::fclose(err); }
    static std::string text(std::FILE *f)
    {
        std::rewind(f);
        std::string s;
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        return s;
    }
};

int runCli(const QStringList &args, Captured &cap, bool *portMade = nullptr)
{
    ConsoleDialogs dialogs(cap.err);
    orvelctl::Environment env{dialogs, [&]() -> std::unique_ptr<SerialPort> {
                                  if (portMade)
                                      *portMade = true;
                                  static VirtualClock clock;
                                  return std::make_unique<ScriptedSerialPort>(clock);
                              },
                              cap.out, cap.err};
    return orvelctl::run(args, env);
}
}

TEST(Orvelctl, UsageErrors)
{
    QTemporaryDir dir;
    const QStringList bad[] = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("read")},
        {QStringLiteral("write"), QStringLiteral("W1")},
        {QStringLiteral("--baud"), QStringLiteral("4800"), QStringLiteral("read"), QStringLiteral("W1")},
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("read"), QStringLiteral("W1")},
        {QStringLiteral("--port"), QStringLiteral("x"), QStringLiteral("read"), QStringLiteral("W1")},
        {QStringLiteral("--app-dir"), dir.path() + QStringLiteral("/nope"), QStringLiteral("read"), QStringLiteral("W1")},
        {QStringLiteral("--port")},
    };
    for (const QStringList &a : bad) {
        Captured cap;
        bool made = false;
        EXPECT_EQ(runCli(a, cap, &made), orvelctl::Usage) << a.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(made);
        EXPECT_NE(Captured::text(cap.err).find("usage: orvelctl"), std::string::npos);
    }
}

TEST(Orvelctl, BoxesBecomeOneLine)
{
    EXPECT_EQ(ConsoleDialogs::oneLine(QStringLiteral("T"), QStringLiteral("a\r\n\r\nb\rc\nd")).toStdString(),
              "T: a /  / b / c / d");
}

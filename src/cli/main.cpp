#include "ConsoleDialogs.h"
#include "Orvelctl.h"
#include "SerialPortFactory.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>

namespace {
QtMessageHandler g_defaultHandler = nullptr;

// A script's stderr carries orvelctl's own messages, not the note that the
// session has no runtime folder (cron jobs have none).
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("QStandardPaths: ")))
        return;
    g_defaultHandler(type, context, msg);
}
}   // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    if (orvelctl::needsGuiApplication(args)) {
        // The report measures and draws its text with fonts, which takes a
        // GUI application; it shows no window, so no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        g_defaultHandler = qInstallMessageHandler(quietHandler);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    ConsoleDialogs dialogs;
    orvelctl::Environment env{dialogs, [] { return MakeSerialPort(); }};
    return orvelctl::run(app->arguments().mid(1), env);
}

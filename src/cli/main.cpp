#include "ConsoleDialogs.h"
#include "Orvelctl.h"
#include "PosixSerialPort.h"
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ConsoleDialogs dialogs;
    orvelctl::Environment env{dialogs, [] { return std::make_unique<PosixSerialPort>(); }};
    return orvelctl::run(app.arguments().mid(1), env);
}

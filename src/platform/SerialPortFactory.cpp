#include "SerialPortFactory.h"
#include "QtSerialPort.h"
#ifdef ORVEL_HAVE_TERMIOS
#include "PosixSerialPort.h"
#endif

#include <QByteArray>
#include <QStringList>
#include <cstdio>

namespace {
constexpr SerialBackend kBuiltDefault =
#ifdef ORVEL_DEFAULT_BACKEND_QT
    SerialBackend::Qt;
#else
    SerialBackend::Termios;
#endif

SerialBackend chosenBackend()
{
    const QByteArray env = qgetenv("ORVEL_SERIAL_BACKEND").trimmed().toLower();
    if (env.isEmpty())
        return kBuiltDefault;
    for (const SerialBackend b : {SerialBackend::Termios, SerialBackend::Qt})
        if (env == SerialBackendName(b) && HasSerialBackend(b))
            return b;
    std::fprintf(stderr, "ORVEL_SERIAL_BACKEND=%s is not a serial port backend of this build: using %s\n",
                 env.constData(), SerialBackendName(kBuiltDefault));
    return kBuiltDefault;
}
}   // namespace

bool HasSerialBackend(SerialBackend backend)
{
#ifndef ORVEL_HAVE_TERMIOS
    if (backend == SerialBackend::Termios)
        return false;
#endif
    return backend == SerialBackend::Termios || backend == SerialBackend::Qt;
}

const char *SerialBackendName(SerialBackend backend) { return backend == SerialBackend::Qt ? "qt" : "termios"; }

SerialBackend DefaultSerialBackend()
{
    static const SerialBackend chosen = chosenBackend();
    return chosen;
}

std::unique_ptr<SerialPort> MakeSerialPort(const Clock &clock) { return MakeSerialPort(DefaultSerialBackend(), clock); }

std::unique_ptr<SerialPort> MakeSerialPort(SerialBackend backend, const Clock &clock)
{
#ifdef ORVEL_HAVE_TERMIOS
    if (backend == SerialBackend::Termios)
        return std::make_unique<PosixSerialPort>(clock);
#endif
    (void)backend;
    return std::make_unique<QtSerialPort>(clock);
}

bool ParseLineSettings(const QString &s, int &baud)
{
    const QStringList parts = s.split(QLatin1Char(','));
    bool ok = false;
    const int b = parts.value(0).trimmed().toInt(&ok);
    if (!ok || (b != 9600 && b != 19200 && b != 4800 && b != 38400) || parts.size() != 4
        || parts[1].trimmed().compare(QLatin1String("n"), Qt::CaseInsensitive) != 0
        || parts[2].trimmed() != QLatin1String("8") || parts[3].trimmed() != QLatin1String("1"))
        return false;
    baud = b;
    return true;
}

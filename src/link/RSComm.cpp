#include "RSComm.h"
#include "AppFolder.h"
#include "Clock.h"
#include "Dialogs.h"
#include "SerialPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <functional>

namespace {
constexpr std::int64_t kSecond = 1'000'000'000;
const QString kCRLF = QStringLiteral("\r\n");
const QString kEntryAlert = QStringLiteral("ENTRY ALERT");
const QString kCommWarning = QStringLiteral("WARNING - Communication Error!");

// A failure inside a step of the link's own routines, reported the way every
// trapped error of the program is: a number and a description.
struct StepError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

QString trappedText(const StepError &e)
{
    return QStringLiteral("Error Number = %1").arg(e.number) + kCRLF + kCRLF + e.description;
}

struct CommSettings {
    int port = 1;
    QString speed = QStringLiteral("9600");
};

// The comm settings file is one short line ("1,9600"); anything longer is not one.
constexpr qint64 kMaxSettingsFileBytes = 4096;
}

RSComm::RSComm(Dialogs &dialogs, const Clock &clock) : dialogs_(dialogs), clock_(clock) {}

RSComm::~RSComm() = default;

QString RSComm::CommSettingsFile() const
{
    return AppFolder::resolve(QStringLiteral("\\Support\\RSPort.cfg"));
}

void RSComm::InitializeRSComm(SerialPort *port)
{
    CommSettings cfg;
    const QString path = CommSettingsFile();

    // Each step may fail; the operator chooses Retry (the step runs again) or Cancel.
    auto runStep = [&](const std::function<StepError()> &step) -> bool {
        for (;;) {
            const StepError e = step();
            if (!e)
                return true;
            const auto answer = dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel,
                                                    QStringLiteral("RSComm InitializeRSComm"), trappedText(e));
            if (answer != Dialogs::Button::Retry) {
                OnlineMode = false;
                InitError = true;
                return false;
            }
        }
    };

    auto writeDefaults = [&]() -> StepError {
        const QString dir = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(dir))
            return {76, QStringLiteral("Path not found: cannot create the folder %1").arg(QDir::toNativeSeparators(dir))};
        // Unbuffered, so a full disk shows in the count written instead of in a cut-off file.
        static const QByteArray line("1,9600\r\n");
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(line) != line.size() || !f.commit())
            return {75, QStringLiteral("Path/File access error: cannot write %1").arg(QDir::toNativeSeparators(path))};
        cfg = CommSettings{};
        return {};
    };

    auto readSettings = [&]() -> StepError {
        cfg = CommSettings{};
        const FileBytes file = readRegularFile(path, kMaxSettingsFileBytes);
        if (!file.ok())
            return {75, QStringLiteral("Path/File access error: cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.error)};
        const QByteArray &all = file.bytes;
        if (all.trimmed().isEmpty())
            return writeDefaults();
        const QString line = Ansi::decode(all).section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
        const QString portItem = line.section(QLatin1Char(','), 0, 0).trimmed();
        const QString speedItem = line.section(QLatin1Char(','), 1, 1).trimmed();
        bool ok = true;
        double port = portItem.isEmpty() ? 0.0 : portItem.toDouble(&ok);
        if (!ok || port != port)
            return {13, QStringLiteral("Type mismatch: the comm settings file %1 holds \"%2\" where a port number belongs")
                            .arg(QDir::toNativeSeparators(path), portItem.left(40))};
        if (port < MinPortNumber)
            port = MinPortNumber;
        if (port > MaxPortNumber)
            port = MaxPortNumber;
        cfg.port = int(port + 0.5);
        const std::int64_t speed = LeadingNumber(speedItem);
        cfg.speed = (speed == 9600 || speed == 19200) ? QString::number(speed) : QStringLiteral("9600");
        return {};
    };

    if (!runStep([&] { return QFileInfo::exists(path) ? readSettings() : writeDefaults(); }))
        return;
    if (!runStep([&]() -> StepError {
            if (port->isOpen())
                port->close();
            port->setPortNumber(cfg.port);
            if (!port->setSettings(cfg.speed + QStringLiteral(",n,8,1")))
                return {380, QStringLiteral("Invalid property value: ") + port->errorString()};
            return {};
        }))
        return;
    port_ = port;
    InitError = false;
}

void RSComm::OpenRSComm(SerialPort *port)
{
    BusyGuard guard(*this);
    if (guard.nested() || !port)
        return;
    InitializeRSComm(port);
    if (InitError)
        return;
    if (!port_->open()) {
        const QString text = QStringLiteral("Error Number = %1").arg(port_->errorNumber() ? port_->errorNumber() : 8002)
                             + kCRLF + QStringLiteral("Error Source = ") + port_->errorSource() + kCRLF + kCRLF
                             + port_->errorString();
        dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::OK, QStringLiteral("Comm Port Error"), text);
        CommError = true;
        OnlineMode = false;
        InitError = true;
        return;
    }
    port_->flushInput();
    CurrentMode = 0;
    CommError = false;
    ExchangeByte(0xFF, false, false);
    OnlineMode = !CommError;
}

void RSComm::CloseRSComm()
{
    BusyGuard guard(*this);
    if (guard.nested())
        return;
    if (port_ && port_->isOpen()) {
        if (!CommError)
            ExchangeByte(0xFF, false, false);
        port_->close();
    }
    CurrentMode = 0;
    OnlineMode = false;
}

int RSComm::ExchangeByte(int value, bool noReply, bool flushFirst)
{
    if (CommError)
        return NoAnswer;
    if (flushFirst && port_)
        port_->flushInput();
    const QByteArray out(1, char(value & 0xFF));
    if (!port_ || !port_->isOpen()) {
        CurrentMode = 0;
        CommError = true;
        return NoAnswer;
    }
    port_->write(out);
    if (noReply)
        return 0;

    int result = 0;
    int tries = 0;
    std::int64_t deadline = clock_.monotonicNs() + kSecond;
    while (!port_->waitForInput(deadline)) {
        if (clock_.monotonicNs() < deadline)
            continue;   // woken early (a signal): keep waiting
        CurrentMode = 0;
        result = NoAnswer;
        CommError = true;
        deadline = clock_.monotonicNs() + 2 * kSecond;
        ++tries;
        if (tries < 3) {
            CommError = false;
            port_->flushInput();
            port_->write(QByteArray(1, char(0xFF)));
            continue;
        }
        const auto answer = dialogs_.messageBox(
            Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel, kCommWarning,
            QStringLiteral("Cannot Communicate with Target Board.\rVerify RS-232 Cable is Connected Between\rCOMM Port and PROG Port."));
        if (answer != Dialogs::Button::Retry)
            return result;
        tries = 0;
    }
    const int b = port_->readByte();
    return b < 0 ? result : b;
}

bool RSComm::SetPLCMode(int mode, int commandByte)
{
    CurrentMode = 0;
    bool result = false;
    std::int64_t deadline = clock_.monotonicNs() + 2 * kSecond;
    while (CurrentMode != mode) {
        if (clock_.monotonicNs() > deadline) {
            const auto answer = dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel, kCommWarning,
                                                    QStringLiteral("Cannot Set PLC Mode Within Target Board."));
            if (answer != Dialogs::Button::Retry) {
                CommError = true;
                OnlineMode = false;
                // Closing sends nothing now that CommError is set.
                if (port_ && port_->isOpen())
                    port_->close();
                CurrentMode = 0;
                return false;
            }
            deadline = clock_.monotonicNs() + 2 * kSecond;
        }
        const int first = ExchangeByte(0xFF, false, true);
        if (first == NoAnswer)
            return false;
        if (first != 0x55)
            continue;
        const int second = ExchangeByte(commandByte, false, false);
        if (second == 0x55) {
            result = true;
            CurrentMode = mode;
        } else if (second == NoAnswer) {
            return false;
        } else {
            CurrentMode = 0;
        }
    }
    return result;
}

void RSComm::entryAlert(const QString &reason)
{
    refused_ = true;
    dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::OK, kEntryAlert, QStringLiteral("Error:\r") + reason);
}

bool RSComm::parseInto(const QString &add)
{
    const BoardAddress a = ParseAddress(add, BitMask);
    if (!a.sendable()) {
        entryAlert(a.problem);
        return false;
    }
    AddType = a.type;
    ByteAdd = a.byteAdd;
    BitMask = a.bitMask;
    BitAccess = a.bitAccess;
    return true;
}

QString RSComm::ReadData(const QString &add)
{
    bool parsed = false;
    if (CurrentMode != 1) {
        if (!SetPLCMode(1, 0x01))
            return {};
        if (!parseInto(add))
            return {};
        parsed = true;
    } else if (add.compare(LastReadAdd, Qt::CaseInsensitive) != 0) {
        if (!parseInto(add))
            return {};
        parsed = true;
    }
    LastReadAdd = add;
    if (parsed) {
        if (AddType == QLatin1String("B"))
            readCount = 0;
        else if (AddType == QLatin1String("W"))
            readCount = 1;
        else if (AddType == QLatin1String("D"))
            readCount = 3;
        else {
            CurrentMode = 0;
            return {};
        }
    }
    for (int i = 0; i <= readCount; ++i) {
        const std::int64_t a = ByteAdd + i;
        const int high = int(a / 256);
        const int echo = ExchangeByte(high, false, false);
        if (echo == NoAnswer)
            return {};
        if (echo != high) {
            CurrentMode = 0;
            return {};
        }
        const int data = ExchangeByte(int(a % 256), false, false);
        if (data == NoAnswer)
            return {};
        readData[i] = data;
    }
    std::int64_t value = 0;
    if (AddType == QLatin1String("B"))
        value = BitAccess ? ((readData[0] & BitMask) ? 1 : 0) : readData[0];
    else if (AddType == QLatin1String("W"))
        value = readData[1] * 256 + readData[0];
    else
        value = std::int64_t(readData[3] * 256 + readData[2]) * 10000 + (readData[1] * 256 + readData[0]);
    return QString::number(value);
}

void RSComm::WriteData(const QString &add, const QString &dataValue)
{
    WriteError = false;
    QString digits;
    for (QChar c : dataValue) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c == QLatin1Char(' ') || c == QLatin1Char('%') || c == QLatin1Char(',') || c == QLatin1Char('.')
                 || c.unicode() == 176)
            continue;
        else {
            entryAlert(QStringLiteral("Only Numerical Data Allowed."));
            return;
        }
    }
    std::int64_t value = digits.isEmpty() ? 0 : LeadingNumber(digits);
    if (!parseInto(add))
        return;
    LastReadAdd.clear();   // the read path must parse again after this
    const QString type = AddType;
    const std::int64_t byteAdd = ByteAdd;

    if (BitAccess) {
        if (value != 0 && value != 1) {
            entryAlert(QStringLiteral("Enter 0 or 1 Only."));
            return;
        }
        const int mask = BitMask;
        const QString whole = ReadData(QStringLiteral("B") + QString::number(byteAdd));
        // Without the byte as it stands, writing would clear the other seven bits.
        if (whole.isEmpty())
            return;
        const int current = whole.toInt();
        value = value ? (current | mask) : (current & ~mask & 0xFF);
    }

    int d[4] = {0, 0, 0, 0};
    int count = 0;
    if (type == QLatin1String("B")) {
        if (value > 255) {
            entryAlert(QStringLiteral("Entry out of Range (0-255)."));
            return;
        }
        d[0] = int(value % 256);
    } else if (type == QLatin1String("W")) {
        if (value > 65535) {
            entryAlert(QStringLiteral("Entry out of Range (0-65,535)."));
            return;
        }
        d[0] = int(value % 256);
        d[1] = int(value / 256);
        count = 1;
    } else if (type == QLatin1String("D")) {
        if (value > 655359999) {
            entryAlert(QStringLiteral("Entry out of Range (0-655,359,999)."));
            return;
        }
        const std::int64_t low = value % 10000, high = value / 10000;
        d[0] = int(low % 256);
        d[1] = int(low / 256);
        d[2] = int(high % 256);
        d[3] = int(high / 256);
        count = 3;
    } else {
        return;
    }

    if (CurrentMode != 2 && !SetPLCMode(2, 0x02))
        return;
    for (int i = 0; i <= count && !WriteError; ++i) {
        const std::int64_t a = byteAdd + i;
        const int sent[3] = {int(a / 256), int(a % 256), d[i]};
        for (int s : sent) {
            const int echo = ExchangeByte(s, false, false);
            if (echo == NoAnswer)
                return;
            if (echo != s)
                WriteError = true;
        }
    }
    if (WriteError)
        CurrentMode = 0;
}

bool RSComm::CheckAddress(const QString &Add)
{
    const BoardAddress check = ParseAddress(Add, BitMask);
    if (!check.sendable())
        entryAlert(check.problem);
    return check.sendable();
}

QString RSComm::RSRead(const QString &Add)
{
    BusyGuard guard(*this);
    refused_ = false;
    lastOk_ = false;
    if (guard.nested()) {
        refused_ = true;
        return QStringLiteral("0");
    }
    // An address that cannot be sent is refused before the mode handshake.
    // A repeated read of the address just read was checked then.
    if ((CurrentMode != 1 || Add.compare(LastReadAdd, Qt::CaseInsensitive) != 0) && !CheckAddress(Add))
        return QStringLiteral("0");
    lastOk_ = false;
    const QString v = ReadData(Add);
    lastOk_ = !v.isEmpty() && !CommError;
    return v.isEmpty() ? QStringLiteral("0") : v;
}

void RSComm::RSWrite(const QString &Add, const QString &DataValue)
{
    BusyGuard guard(*this);
    refused_ = false;
    lastOk_ = false;
    if (guard.nested()) {
        refused_ = true;
        return;
    }
    lastOk_ = false;
    WriteData(Add, DataValue);
    if (WriteError)
        WriteData(Add, DataValue);
    lastOk_ = !WriteError && !CommError && !refused_ && CurrentMode == 2;
}

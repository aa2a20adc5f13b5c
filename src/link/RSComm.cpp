#include "RSComm.h"
#include "AddressCheck.h"
#include "AppFolder.h"
#include "Clock.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "Interruption.h"
#include "SerialPort.h"

#include <QDir>
#include <algorithm>
#include <functional>

namespace {
constexpr std::int64_t kSecond = 1'000'000'000;
const QString kCRLF = QStringLiteral("\r\n");
const QString kEntryAlert = QStringLiteral("ENTRY ALERT");
const QString kCommWarning = QStringLiteral("WARNING - Communication Error!");

// The board drops a read or write sequence left unfinished for half a second
// after its last byte; answers later than two seconds are not waited for.
// After a time-out inside a sequence the link lets the line rest past both
// before it sends anything, so the board cannot take the next 0xFF for an
// address or data byte.
constexpr std::int64_t kLongestAnswerDelayNs = 2 * kSecond;
constexpr std::int64_t kSequenceDropNs = kSecond / 2;
constexpr std::int64_t kSettleMarginNs = kSecond / 10;
constexpr std::int64_t kSettleLimitNs = 5 * kSecond;
// After an answer that was not the one expected (a stray byte, a garbled
// answer), the real answer may still be on its way: the link lets the line
// fall quiet for this long before it sends again.
constexpr std::int64_t kShortQuietNs = 20'000'000;
// How long a board may go without answering before the operator is asked:
// the first wait and the two after a re-sent 0xFF.
constexpr std::int64_t kSilentBoardNs = 5 * kSecond;

// A failure inside a step of the link's own routines, reported the way every
// trapped error of the program is: a number and a description.
struct StepError {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

QString trappedText(const StepError &e) { return Dialogs::trappedErrorText(e.number, e.description); }

// A settings line the link cannot read, as the link reports it: the trapped
// error and the file it was found in.
StepError settingsError(const CommSettings::Problem &p, const QString &path)
{
    return {p.number,
            QStringLiteral("%1: in the comm settings file %2, %3")
                .arg(p.description, QDir::toNativeSeparators(path), p.detail)};
}
}

RSComm::RSComm(Dialogs &dialogs, const Clock &clock) : dialogs_(dialogs), clock_(clock) {}

RSComm::~RSComm() = default;

bool RSComm::ValidAdd(const QString &Var, int TargetBoardIndex)
{
    return addresscheck::ValidAdd(Var, TargetBoardIndex);
}

QString RSComm::EquateAdd(const QString &Var, int TargetBoardIndex)
{
    return addresscheck::EquateAdd(Var, TargetBoardIndex);
}

std::int64_t RSComm::Dec2Octal(std::int64_t DecNum) { return addresscheck::Dec2Octal(DecNum); }

std::int64_t RSComm::Octal2Dec(std::int64_t OctNum) { return addresscheck::Octal2Dec(OctNum); }

QString RSComm::CommSettingsFile() const { return AppFolder::resolve(QStringLiteral("\\Support\\RSPort.cfg")); }

void RSComm::InitializeRSComm(SerialPort *port)
{
    int portNumber = 1;
    QString speed = QStringLiteral("9600");
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

    // Reads the file, or makes it with the defaults when there is none or it
    // has no bytes at all.
    auto readSettings = [&]() -> StepError {
        portNumber = 1;
        speed = QStringLiteral("9600");
        const CommSettings::FileContents file = CommSettings::read(path);
        if (file.unreadable)
            return {file.unreadable.number, file.unreadable.text()};
        if (!file.exists || file.record.empty) {
            if (const CommSettings::Problem p = CommSettings::write(path, CommSettings::defaultLine()))
                return {p.number, p.text()};
            return {};
        }
        const CommSettings::Record &r = file.record;
        if (r.problem)
            return settingsError(r.problem, path);
        portNumber = std::clamp(int(r.port), int(MinPortNumber), int(MaxPortNumber));
        // The speed is text here; its value is taken the way the comm port
        // window reads it, so both agree on the speed in use.
        speed = QString::number(CommSettings::lineSpeed(r.speed));
        return {};
    };

    if (!runStep(readSettings))
        return;
    if (!runStep([&]() -> StepError {
            if (port->isOpen())
                port->close();
            port->setPortNumber(portNumber);
            if (!port->setSettings(speed + QStringLiteral(",n,8,1")))
                return {380, QStringLiteral("Invalid property value: ") + port->errorString()};
            return {};
        }))
        return;
    port_ = port;
    InitError = false;
}

bool RSComm::startOperation(const BusyGuard &guard)
{
    refused_ = guard.nested();
    lastOk_ = false;
    return !refused_;
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
            + kCRLF + QStringLiteral("Error Source = ") + port_->errorSource() + kCRLF + kCRLF + port_->errorString();
        dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::OK, QStringLiteral("Comm Port Error"), text);
        portWanted_ = false;
        CommError = true;
        OnlineMode = false;
        InitError = true;
        return;
    }
    portWanted_ = true;
    port_->flushInput();
    CurrentMode = 0;
    CommError = false;
    lateNs_ = 0;
    startAttempt();
    ExchangeByte(0xFF, false, false);
    OnlineMode = !CommError;
    // The probe's answer is not looked at: had a stray byte come first, the
    // real answer would still be on its way and be taken for the next one.
    if (OnlineMode)
        letLineFallQuiet();
}

void RSComm::CloseRSComm()
{
    BusyGuard guard(*this);
    if (guard.nested())
        return;
    if (port_ && port_->isOpen()) {
        if (!CommError) {
            startAttempt();
            ExchangeByte(0xFF, false, false);
        }
        if (port_)
            port_->close();
    }
    portWanted_ = false;
    CurrentMode = 0;
    OnlineMode = false;
}

bool RSComm::portLost() const
{
    // The link opened the port and did not close it: the device went away
    // (cable adapter unplugged, the far end of a pseudo-terminal closed).
    return port_ && portWanted_ && !port_->isOpen();
}

int RSComm::ExchangeByte(int value, bool noReply, bool flushFirst)
{
    if (CommError)
        return NoAnswer;
    if (Interruption::requested()) {
        // The program is ending: a dead line, with no box and nothing sent.
        CurrentMode = 0;
        CommError = true;
        return NoAnswer;
    }
    if (port_ && port_->isOpen()) {
        if (flushFirst) {
            port_->flushInput();
        } else if (port_->bytesWaiting() > 0) {
            // Bytes nobody asked for yet (noise, a late answer) are stale. Inside
            // a sequence they mean one of the answers taken so far may not be the
            // board's, so the attempt can no longer be trusted.
            port_->flushInput();
            if (inSequence_)
                lineFault_ = true;
        }
    }
    const QByteArray out(1, char(value & 0xFF));
    if (!port_ || (!port_->isOpen() && !portLost())) {
        CurrentMode = 0;
        CommError = true;
        return NoAnswer;
    }
    // A port whose device went away is waited on like a silent board, so the
    // operator gets the box, and Retry can open it again.
    if (port_->isOpen())
        port_->write(out);
    lastSentNs_ = clock_.monotonicNs();
    if (noReply)
        return 0;

    int result = 0;
    int tries = 0;
    std::int64_t deadline = lastSentNs_ + kSecond;
    for (;;) {
        // A byte already waiting is the answer, also when the deadline passed
        // while the box was up.
        if (port_->waitForInput(deadline) || port_->bytesWaiting() > 0) {
            const int b = port_->readByte();
            if (b < 0)
                continue;
            lastHeardNs_ = clock_.monotonicNs();
            // Inside a sequence an answer later than the board's drop time is
            // in doubt: the board may have forgotten the sequence, and the byte
            // may be a stray one. The attempt is given up as after a time-out.
            if (inSequence_ && lastHeardNs_ - lastSentNs_ > kSequenceDropNs) {
                timedOut_ = true;
                lineFault_ = true;
            }
            return b;
        }
        if (Interruption::requested()) {
            CurrentMode = 0;
            CommError = true;
            return NoAnswer;
        }
        if (clock_.monotonicNs() < deadline)
            continue;   // woken early (a signal): keep waiting
        CurrentMode = 0;
        timedOut_ = true;
        lineFault_ = true;
        if (inSequence_) {
            // Between an address byte and its data a re-sent 0xFF would be taken
            // as an address or data byte: the attempt is given up instead, and
            // the caller lets the line settle before the next handshake.
            return NoAnswer;
        }
        result = NoAnswer;
        CommError = true;
        deadline = clock_.monotonicNs() + 2 * kSecond;
        ++tries;
        if (tries < 3) {
            CommError = false;
            if (port_->isOpen()) {
                port_->flushInput();
                port_->write(QByteArray(1, char(0xFF)));
            }
            lastSentNs_ = clock_.monotonicNs();
            continue;
        }
        if (!commBoxRetry())
            return result;
        // The operator wants to go on: an answer that arrives now is taken.
        CommError = false;
        tries = 0;
        // The cable may be back: open the device again.
        if (portLost() && port_->open())
            port_->flushInput();
    }
}

bool RSComm::SetPLCMode(int mode, int commandByte)
{
    CurrentMode = 0;
    bool result = false;
    std::int64_t deadline = clock_.monotonicNs() + 2 * kSecond;
    while (CurrentMode != mode) {
        ++handshakes_;
        if (clock_.monotonicNs() > deadline) {
            const auto answer =
                dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel, kCommWarning,
                                    QStringLiteral("Cannot Set PLC Mode Within Target Board."));
            if (answer != Dialogs::Button::Retry) {
                CommError = true;
                OnlineMode = false;
                // Closing sends nothing now that CommError is set.
                if (port_ && port_->isOpen())
                    port_->close();
                portWanted_ = false;
                CurrentMode = 0;
                return false;
            }
            deadline = clock_.monotonicNs() + 2 * kSecond;
        }
        const int first = ExchangeByte(0xFF, false, true);
        if (first == NoAnswer)
            return false;
        if (first != 0x55) {
            // The real answer may still be coming: taken for the next one, it
            // would put every answer one exchange behind.
            letLineFallQuiet();
            continue;
        }
        // After the command byte of PLS modes 5 and 7 every byte is a value to
        // the board: a time-out is not followed by a re-sent 0xFF, and before
        // the handshake is made again the board is let go of the block.
        inSequence_ = takesEveryByte(mode);
        const int second = ExchangeByte(commandByte, false, false);
        inSequence_ = false;
        if (second == 0x55) {
            result = true;
            CurrentMode = mode;
        } else if (second == NoAnswer) {
            return false;
        } else {
            CurrentMode = 0;
            letLineFallQuiet();
            if (takesEveryByte(mode))
                leaveValueBlock();
        }
    }
    return result;
}

bool RSComm::commBoxRetry()
{
    const bool retry =
        dialogs_.messageBox(
            Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel, kCommWarning,
            QStringLiteral(
                "Cannot Communicate with Target Board.\rVerify RS-232 Cable is Connected Between\rCOMM Port and PROG Port."))
        == Dialogs::Button::Retry;
    // The operator has just given the board its time again.
    lateNs_ = 0;
    askedNs_ = clock_.monotonicNs();
    return retry;
}

void RSComm::countLate(std::int64_t sinceNs)
{
    // Only after a time-out or a late answer: a wrong or stray answer means
    // the board is there.
    if (timedOut_)
        lateNs_ += clock_.monotonicNs() - std::max(sinceNs, askedNs_);
}

bool RSComm::stillTryingLateBoard(std::int64_t sinceNs)
{
    if (CommError)
        return false;
    countLate(sinceNs);
    if (!timedOut_ || lateNs_ < kSilentBoardNs)
        return true;
    if (commBoxRetry())
        return true;
    CurrentMode = 0;
    CommError = true;
    return false;
}

void RSComm::startAttempt()
{
    inSequence_ = false;
    lineFault_ = false;
    timedOut_ = false;
}

void RSComm::letLineFallQuiet()
{
    if (!port_ || !port_->isOpen())
        return;
    const std::int64_t giveUp = clock_.monotonicNs() + kSettleLimitNs;
    for (;;) {
        const std::int64_t until = std::min(giveUp, clock_.monotonicNs() + kShortQuietNs);
        if (!port_->waitForInput(until) || clock_.monotonicNs() >= giveUp)
            break;
        port_->flushInput();
        lastHeardNs_ = clock_.monotonicNs();
    }
    if (port_->isOpen())
        port_->flushInput();
}

void RSComm::settleLine()
{
    inSequence_ = false;
    CurrentMode = 0;
    if (!port_ || CommError)
        return;
    if (timedOut_) {
        // Late answers are thrown away until the board has surely dropped the
        // sequence it was in: quiet for the longest answer delay after the last
        // byte sent, and for the drop time after the last byte heard.
        // A line that never falls quiet is not a board answering: the wait is
        // bounded all the same.
        const std::int64_t giveUp = clock_.monotonicNs() + kSettleLimitNs;
        while (!Interruption::requested()) {
            const std::int64_t until =
                std::min(giveUp,
                         std::max(lastSentNs_ + kLongestAnswerDelayNs + kSequenceDropNs + kSettleMarginNs,
                                  lastHeardNs_ + kSequenceDropNs + kSettleMarginNs));
            if (clock_.monotonicNs() >= until)
                break;
            if (port_->waitForInput(until)) {
                port_->flushInput();
                lastHeardNs_ = clock_.monotonicNs();
            }
        }
    }
    letLineFallQuiet();
}

void RSComm::entryAlert(const QString &reason)
{
    refused_ = true;
    dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::OK, kEntryAlert,
                        QStringLiteral("Error:\r") + reason);
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

RSComm::Attempt RSComm::readAttempt(const QString &add, QString &value)
{
    startAttempt();
    value.clear();
    auto givenUp = [this] {
        inSequence_ = false;
        CurrentMode = 0;
        return CommError ? Attempt::Dead : Attempt::LineFault;
    };
    bool parsed = false;
    if (CurrentMode != 1) {
        if (!SetPLCMode(1, 0x01))
            return givenUp();
        // A handshake that needed a re-sent 0xFF or met stray bytes leaves the
        // answers in doubt: start again rather than read through it.
        if (lineFault_)
            return givenUp();
        if (!parseInto(add))
            return Attempt::Refused;
        parsed = true;
    } else if (add.compare(LastReadAdd, Qt::CaseInsensitive) != 0) {
        if (!parseInto(add))
            return Attempt::Refused;
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
            return Attempt::Refused;
        }
    }
    inSequence_ = true;
    for (int i = 0; i <= readCount; ++i) {
        const std::int64_t a = ByteAdd + i;
        const int high = int(a / 256);
        const int echo = ExchangeByte(high, false, false);
        if (echo == NoAnswer || echo != high || lineFault_)
            return givenUp();
        const int data = ExchangeByte(int(a % 256), false, false);
        if (data == NoAnswer || lineFault_)
            return givenUp();
        readData[i] = data;
    }
    // One answer too many means one of those taken may have been a stray byte.
    if (port_->bytesWaiting() > 0)
        return givenUp();
    inSequence_ = false;
    std::int64_t v = 0;
    if (AddType == QLatin1String("B"))
        v = BitAccess ? ((readData[0] & BitMask) ? 1 : 0) : readData[0];
    else if (AddType == QLatin1String("W"))
        v = readData[1] * 256 + readData[0];
    else
        v = std::int64_t(readData[3] * 256 + readData[2]) * 10000 + (readData[1] * 256 + readData[0]);
    value = QString::number(v);
    return Attempt::Done;
}

QString RSComm::ReadData(const QString &add)
{
    // One attempt and, after a line fault, one more from the mode handshake.
    QString value;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::int64_t started = clock_.monotonicNs();
        const Attempt a = readAttempt(add, value);
        if (a == Attempt::Done) {
            lateNs_ = 0;
            return value;
        }
        if (a != Attempt::LineFault || !stillTryingLateBoard(started))
            break;
        const std::int64_t settling = clock_.monotonicNs();
        settleLine();
        countLate(settling);
    }
    return {};
}

bool RSComm::encodeWrite(const QString &add, const QString &dataValue, WriteBytes &w)
{
    QString digits;
    for (QChar c : dataValue) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c == QLatin1Char(' ') || c == QLatin1Char('%') || c == QLatin1Char(',') || c == QLatin1Char('.')
                 || c.unicode() == 176)
            continue;
        else {
            entryAlert(QStringLiteral("Only Numerical Data Allowed."));
            return false;
        }
    }
    const std::int64_t value = digits.isEmpty() ? 0 : LeadingNumber(digits);
    if (!parseInto(add))
        return false;
    LastReadAdd.clear();   // the read path must parse again after this
    w = WriteBytes{};
    w.byteAdd = ByteAdd;
    if (BitAccess) {
        if (value != 0 && value != 1) {
            entryAlert(QStringLiteral("Enter 0 or 1 Only."));
            return false;
        }
        w.bit = true;
        w.bitMask = BitMask;
        w.d[0] = int(value);
        return true;
    }
    if (AddType == QLatin1String("B")) {
        if (value > 255) {
            entryAlert(QStringLiteral("Entry out of Range (0-255)."));
            return false;
        }
        w.d[0] = int(value % 256);
    } else if (AddType == QLatin1String("W")) {
        if (value > 65535) {
            entryAlert(QStringLiteral("Entry out of Range (0-65,535)."));
            return false;
        }
        w.d[0] = int(value % 256);
        w.d[1] = int(value / 256);
        w.count = 1;
    } else if (AddType == QLatin1String("D")) {
        if (value > 655359999) {
            entryAlert(QStringLiteral("Entry out of Range (0-655,359,999)."));
            return false;
        }
        const std::int64_t low = value % 10000, high = value / 10000;
        w.d[0] = int(low % 256);
        w.d[1] = int(low / 256);
        w.d[2] = int(high % 256);
        w.d[3] = int(high / 256);
        w.count = 3;
    } else {
        return false;
    }
    return true;
}

QString RSComm::confirmedRead(const std::function<std::optional<QString>()> &readOnce)
{
    QString previous;
    for (int reads = 0; reads < kConfirmReads; ++reads) {
        const std::optional<QString> next = readOnce();
        if (!next)
            return {};
        if (!next->isEmpty() && *next == previous)
            return previous;
        previous = *next;
    }
    return {};
}

QString RSComm::ReadDataConfirmed(const QString &add)
{
    return confirmedRead([&]() -> std::optional<QString> {
        const QString v = ReadData(add);
        // A board that answers late or not at all is not read again: each
        // read would wait out its time-outs.
        if (v.isEmpty() && (CommError || timedOut_ || refused_))
            return std::nullopt;
        return v;
    });
}

RSComm::Attempt RSComm::writeAttempt(const WriteBytes &w)
{
    if (!w.bit)
        return sendWrite(w);
    // The byte is confirmed as every kept value is: a byte built from a
    // misread would change the other seven bits.
    const QString byteText = QStringLiteral("B") + QString::number(w.byteAdd);
    Attempt a = Attempt::Done;
    const QString confirmed = confirmedRead([&]() -> std::optional<QString> {
        QString value;
        a = readAttempt(byteText, value);
        // A failed read ends this attempt; WriteData lets the line settle and makes the next.
        if (a != Attempt::Done)
            return std::nullopt;
        return value;
    });
    if (confirmed.isEmpty())
        return a == Attempt::Done ? Attempt::LineFault : a;
    const int current = confirmed.toInt();
    WriteBytes whole = w;
    whole.bit = false;
    whole.d[0] = w.d[0] ? (current | w.bitMask) : (current & ~w.bitMask & 0xFF);
    return sendWrite(whole);
}

RSComm::Attempt RSComm::sendWrite(const WriteBytes &w)
{
    startAttempt();
    WriteError = false;
    auto givenUp = [this] {
        inSequence_ = false;
        CurrentMode = 0;
        return CommError ? Attempt::Dead : Attempt::LineFault;
    };
    if (CurrentMode != 2 && !SetPLCMode(2, 0x02))
        return givenUp();
    // No address byte goes out after a handshake whose answers are in doubt.
    if (lineFault_)
        return givenUp();
    inSequence_ = true;
    for (int i = 0; i <= w.count && !WriteError; ++i) {
        const std::int64_t a = w.byteAdd + i;
        const int sent[3] = {int(a / 256), int(a % 256), w.d[i]};
        for (int s : sent) {
            const int echo = ExchangeByte(s, false, false);
            // A time-out or a late answer: the board may be anywhere in this
            // byte's sequence; settleLine() waits until it has dropped it.
            if (echo == NoAnswer || timedOut_)
                return givenUp();
            // A wrong echo: the byte's three exchanges are finished all the same,
            // so the board is back at the start of a sequence.
            if (echo != s || lineFault_)
                WriteError = true;
        }
    }
    if (port_->bytesWaiting() > 0)
        WriteError = true;
    inSequence_ = false;
    if (WriteError) {
        CurrentMode = 0;
        return Attempt::LineFault;
    }
    return Attempt::Done;
}

bool RSComm::WriteData(const QString &add, const QString &dataValue)
{
    WriteError = false;
    WriteBytes w;
    if (!encodeWrite(add, dataValue, w))
        return false;
    // One attempt and, after a line fault, its one repeat from the mode handshake.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::int64_t started = clock_.monotonicNs();
        const Attempt a = writeAttempt(w);
        if (a == Attempt::Done) {
            lateNs_ = 0;
            return true;
        }
        WriteError = true;
        if (a != Attempt::LineFault || !stillTryingLateBoard(started))
            break;
        const std::int64_t settling = clock_.monotonicNs();
        settleLine();
        countLate(settling);
    }
    return false;
}

bool RSComm::CheckAddress(const QString &Add)
{
    const BoardAddress check = ParseAddress(Add, BitMask);
    if (!check.sendable())
        entryAlert(check.problem);
    return check.sendable();
}

bool RSComm::CheckWrite(const QString &Add, const QString &DataValue)
{
    BusyGuard guard(*this);
    if (guard.nested())
        return false;
    WriteBytes w;
    return encodeWrite(Add, DataValue, w);
}

std::int64_t RSComm::ConfirmedReadLineNs(const QString &Add, int baud)
{
    const BoardAddress a = ParseAddress(Add);
    if (!a.sendable() || baud <= 0)
        return 0;
    const int bytes = a.bitAccess || a.type == QLatin1String("B") ? 1 : a.type == QLatin1String("W") ? 2 : 4;
    const std::int64_t bits = std::int64_t(2) * bytes * 2 * 20;   // reads x bytes x exchanges x bits
    return (bits * kSecond + baud - 1) / baud;
}

int RSComm::SettingsSpeed() const
{
    const CommSettings::FileContents file = CommSettings::read(CommSettingsFile());
    if (!file.exists || file.unreadable || file.record.problem || !file.record.speedRead)
        return 9600;
    return CommSettings::lineSpeed(file.record.speed);
}

QString RSComm::RSRead(const QString &Add) { return readOperation(Add, false); }

QString RSComm::RSReadConfirmed(const QString &Add) { return readOperation(Add, true); }

QString RSComm::readOperation(const QString &Add, bool confirmed)
{
    BusyGuard guard(*this);
    if (!startOperation(guard)) {
        return QStringLiteral("0");
    }
    // An address that cannot be sent is refused before the mode handshake.
    // A repeated read of the address just read was checked then.
    if ((CurrentMode != 1 || Add.compare(LastReadAdd, Qt::CaseInsensitive) != 0) && !CheckAddress(Add))
        return QStringLiteral("0");
    const QString v = confirmed ? ReadDataConfirmed(Add) : ReadData(Add);
    lastOk_ = !v.isEmpty();
    return v.isEmpty() ? QStringLiteral("0") : v;
}

void RSComm::RSWrite(const QString &Add, const QString &DataValue)
{
    BusyGuard guard(*this);
    if (!startOperation(guard)) {
        return;
    }
    lastOk_ = WriteData(Add, DataValue);
}

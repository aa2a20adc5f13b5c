// The board's programmable limit switch: queries, channel programming, the
// offset shift and the configuration, all in the board's PLS command modes.
// Every byte the PC sends inside a PLS sequence is acknowledged with 0x55
// (queries answer their data instead); a change is followed by the ready poll.
#include "Clock.h"
#include "Dialogs.h"
#include "RSComm.h"
#include "SerialPort.h"

namespace {
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr int kAck = 0x55;
constexpr int kReadyPoll = 0x38;
constexpr int kReady = 0x00;
constexpr int kNoWord = -9999;
const QString kTwoBreaks = QStringLiteral("\r\n\r\n");

// Command modes and command bytes.
constexpr int kModeChannel = 3, kModeReadWord = 4, kModeSendWord = 5, kModeRecall = 6, kModeBlock = 7,
              kModeConfigRead = 8;
constexpr int kScaleQuery = 24, kOffsetQuery = 40, kPositionQuery = 72, kSpeedQuery = 88;
constexpr int kSendOffset = 42, kSendScale = 26;
constexpr int kSetpointChannel = 27, kPulseTrainChannel = 43;
constexpr int kConfigBlock[4] = {59, 75, 91, 107};
constexpr int kConfigRead = 12;
constexpr int kRecall = 9;

// The PLS needs a moment for a change; a busy answer is followed by this
// rest before the next poll, so the poll neither floods the line nor spins.
constexpr std::int64_t kReadyPollRestNs = 10'000'000;
// A recalled position has a high byte of at most this.
constexpr int kHighestPositionHigh = 16;
}   // namespace

bool RSComm::plsRefused(const plsvalues::Refusal &r)
{
    if (!r)
        return false;
    refused_ = true;
    dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, r.title, r.text);
    return true;
}

bool RSComm::enterPLSMode(int mode, int command)
{
    CurrentMode = 0;
    // A handshake that needed a re-sent 0xFF or met stray bytes leaves its
    // answers in doubt: it is made once more after the line has settled.
    for (int attempt = 0; attempt < 2; ++attempt) {
        startAttempt();
        if (!SetPLCMode(mode, command))
            return false;
        if (!lineFault_) {
            inSequence_ = true;
            return true;
        }
        settleLine();
    }
    return false;
}

int RSComm::plsAnswer(int value)
{
    // Inside a sequence a time-out is not followed by a re-sent 0xFF (in some
    // modes the board would take it for a value), and a stray byte spoils
    // the sequence: both end the operation.
    const int a = ExchangeByte(value, false, false);
    return a == NoAnswer || lineFault_ ? NoAnswer : a;
}

bool RSComm::plsEnd(bool ok)
{
    if (ok) {
        inSequence_ = false;
        CurrentMode = 0;
    } else {
        // The board may still be inside the sequence, or an answer may be on
        // its way: the line is let settle before anything else is sent.
        settleLine();
    }
    return ok;
}

void RSComm::restBetweenPolls()
{
    const std::int64_t until = clock_.monotonicNs() + kReadyPollRestNs;
    while (port_ && port_->isOpen() && clock_.monotonicNs() < until) {
        if (port_->waitForInput(until))
            port_->flushInput();
    }
}

int RSComm::ReadPLSWord(int command)
{
    if (!enterPLSMode(kModeReadWord, command) || CommError) {
        plsEnd(false);
        return kNoWord;
    }
    const int low = plsAnswer(kAck);
    const int high = low == NoAnswer ? NoAnswer : plsAnswer(kAck);
    if (high == NoAnswer || CommError || port_->bytesWaiting() > 0) {
        plsEnd(false);
        return kNoWord;
    }
    plsEnd(true);
    return high * 256 + low;
}

bool RSComm::SendPLSWord(int command, int value)
{
    if (!enterPLSMode(kModeSendWord, command))
        return plsEnd(false);
    for (const int b : {value % 256, value / 256})
        if (plsAnswer(b) != kAck || CommError)
            return plsEnd(false);
    inSequence_ = false;
    return plsEnd(WaitPLSReady());
}

bool RSComm::SendPLSChannel(int command, int chan, int a, int b, int last)
{
    if (!enterPLSMode(kModeChannel, command))
        return plsEnd(false);
    for (const int x : {chan, a % 256, a / 256, b % 256, b / 256, last})
        if (plsAnswer(x) != kAck || CommError)
            return plsEnd(false);
    inSequence_ = false;
    return plsEnd(WaitPLSReady());
}

bool RSComm::SendPLSBlock(int command, const int *values)
{
    if (!enterPLSMode(kModeBlock, command))
        return plsEnd(false);
    for (int i = 0; i < 6; ++i)
        if (plsAnswer(values[i]) != kAck || CommError)
            return plsEnd(false);
    inSequence_ = false;
    return plsEnd(WaitPLSReady());
}

bool RSComm::ReadPLSConfig(int command)
{
    if (!enterPLSMode(kModeConfigRead, command) || CommError)
        return plsEnd(false);
    // Kept apart until all have arrived, so a failed upload leaves the last
    // good configuration in place.
    std::array<int, plsvalues::kConfigBytes> got{};
    for (int &v : got) {
        v = plsAnswer(kAck);
        if (v == NoAnswer || CommError)
            return plsEnd(false);
    }
    if (port_->bytesWaiting() > 0)
        return plsEnd(false);
    PLSConfig = got;
    return plsEnd(true);
}

bool RSComm::WaitPLSReady()
{
    std::int64_t deadline = clock_.monotonicNs() + 3 * kSecond;
    for (;;) {
        if (clock_.monotonicNs() >= deadline) {
            const auto answer =
                dialogs_.messageBox(Dialogs::Icon::Critical, Dialogs::Buttons::RetryCancel,
                                    QStringLiteral("WARNING - Communication Error!"),
                                    QStringLiteral("Cannot Determine PLS READY Mode Within Target Board."));
            if (answer != Dialogs::Button::Retry) {
                CommError = true;
                return false;
            }
            deadline = clock_.monotonicNs() + 2 * kSecond;
        }
        if (CommError)
            return false;
        if (ExchangeByte(kReadyPoll, false, false) == kAck && ExchangeByte(kAck, false, false) == kReady) {
            ExchangeByte(kAck, false, false);   // its answer is of no use
            return true;
        }
        // A link that died in the poll has had its box: no second one.
        if (CommError)
            return false;
        restBetweenPolls();
    }
}

QString RSComm::plsWordText(int command)
{
    BusyGuard guard(*this);
    if (!startOperation(guard))
        return QString::number(kNoWord);
    const int v = ReadPLSWord(command);
    lastOk_ = v != kNoWord;
    return QString::number(v);
}

QString RSComm::PLSScaleFactor() { return plsWordText(kScaleQuery); }
QString RSComm::PLSOffset() { return plsWordText(kOffsetQuery); }
QString RSComm::PLSPos() { return plsWordText(kPositionQuery); }
QString RSComm::PLSRpm() { return plsWordText(kSpeedQuery); }

bool RSComm::SingleSetpoint(int Chan, int OnSetpoint, int OffSetpoint, bool ClearChan)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::singleSetpoint(Chan, OnSetpoint, OffSetpoint)) || CommError)
        return false;
    const int scale = ReadPLSWord(kScaleQuery);
    if (CommError || scale == kNoWord)
        return false;
    const int limit = scale - 1;
    for (const int setpoint : {OnSetpoint, OffSetpoint}) {
        if (setpoint > limit) {
            dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, QStringLiteral("PLS Single Setpoint"),
                                QStringLiteral("Setpoint setting %1 is greater than scale factor.").arg(setpoint)
                                    + kTwoBreaks + QStringLiteral("Channel can not be programmed."));
            return false;
        }
    }
    if (ClearChan && (!SendPLSChannel(kSetpointChannel, Chan, 0, 0, 0) || CommError))
        return false;
    lastOk_ = SendPLSChannel(kSetpointChannel, Chan, OnSetpoint, OffSetpoint, 1);
    return lastOk_;
}

bool RSComm::PulseTrain(int Chan, int ON_Division, int OFF_Division, int START_Division)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::pulseTrain(Chan, ON_Division, OFF_Division, START_Division)))
        return false;
    const int scale = ReadPLSWord(kScaleQuery);
    if (CommError || scale == kNoWord)
        return false;
    const QString title = QStringLiteral("PLS Pulse Train");
    const QString notProgrammed = kTwoBreaks + QStringLiteral("PLS Channel will not be Programmed.");
    QString why;
    if (ON_Division == 0 || OFF_Division == 0)
        why = QStringLiteral("ON Division and OFF Division Must be Greater Than 0.");
    else if (scale % (std::int64_t(ON_Division) + OFF_Division) != 0)
        why = QStringLiteral("ON Division Plus OFF Division\r\nMust be a Multiple of %1.").arg(scale);
    else if (ON_Division > 255 || OFF_Division > 255)
        why = QStringLiteral("ON Division or OFF Division Must be Less Than 255.");
    else if (START_Division > scale - 1)
        why = QStringLiteral("Start Position Must Not Be Greater Than %1.").arg(scale - 1);
    if (!why.isEmpty()) {
        dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, title, why + notProgrammed);
        return false;
    }
    if (!SendPLSChannel(kPulseTrainChannel, Chan, START_Division, OFF_Division * 256 + ON_Division, 0)) {
        dialogs_.messageBox(Dialogs::Icon::Information, Dialogs::Buttons::OK, title,
                            QStringLiteral("Error Encountered while Programming Pulse Train.") + notProgrammed);
        return false;
    }
    lastOk_ = !CommError;
    return lastOk_;
}

bool RSComm::ClearPLSChan(int Chan)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::clearChannel(Chan)))
        return false;
    lastOk_ = SendPLSChannel(kSetpointChannel, Chan, 0, 0, 0);
    return lastOk_;
}

bool RSComm::RecallChannel(int Chan)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::recallChannel(Chan)))
        return false;
    // No figures of an earlier recall survive a failed one.
    auto failed = [this](int state) {
        channelRecallState_ = state;
        channelRecallPos_ = 0;
        return plsEnd(false);
    };
    if (!enterPLSMode(kModeRecall, kRecall) || CommError)
        return failed(2);
    if (plsAnswer(Chan) != kAck)
        return failed(0);
    int got[3] = {0, 0, 0};   // state, position low, position high
    for (int &v : got) {
        v = plsAnswer(kAck);
        if (v == NoAnswer || CommError)
            return failed(0);
    }
    if (port_->bytesWaiting() > 0)
        return failed(0);
    if (got[2] > kHighestPositionHigh)
        return failed(2);
    channelRecallState_ = got[0];
    channelRecallPos_ = got[2] * 256 + got[1];
    lastOk_ = true;
    return plsEnd(true);
}

bool RSComm::SetPLSOffset(int Position)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::setOffset(Position)))
        return false;
    int figures[3] = {0, 0, 0};   // offset, position, scale
    const int queries[3] = {kOffsetQuery, kPositionQuery, kScaleQuery};
    for (int i = 0; i < 3; ++i) {
        figures[i] = ReadPLSWord(queries[i]);
        if (CommError || figures[i] == kNoWord)
            return false;
    }
    const std::int64_t offset = figures[0], position = figures[1], scale = figures[2];
    const QString title = QStringLiteral("Set PLS Offset");
    const QString notProgrammed = kTwoBreaks + QStringLiteral("PLS Offset will not be Programmed.");
    if (Position > scale) {
        dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, title,
                            QStringLiteral("Desired Position cannot be greater than Scale Factor of %1.").arg(scale)
                                + notProgrammed);
        return false;
    }
    if (scale == 0) {
        // No offset can be worked out against a scale of 0.
        dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, title,
                            QStringLiteral("The PLS reports a Scale Factor of 0.") + notProgrammed);
        return false;
    }
    const std::int64_t newOffset = (scale + ((offset + position) % scale) - Position) % scale;
    lastOk_ = SendPLSWord(kSendOffset, int(newOffset));
    return lastOk_;
}

bool RSComm::PLSConfigDownload(const std::array<int, plsvalues::kConfigParams> &CfgParam, int ScaleFactor)
{
    BusyGuard guard(*this);
    if (!startOperation(guard) || plsRefused(plsvalues::configDownload(CfgParam, ScaleFactor)))
        return false;
    for (int g = 0; g < 4; ++g)
        if (!SendPLSBlock(kConfigBlock[g], CfgParam.data() + 6 * g))
            return false;
    lastOk_ = SendPLSWord(kSendScale, ScaleFactor);
    return lastOk_;
}

std::array<int, plsvalues::kConfigBytes> RSComm::PLSConfigUpload()
{
    BusyGuard guard(*this);
    if (!startOperation(guard))
        return PLSConfig;
    if (!ReadPLSConfig(kConfigRead)) {
        dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, QStringLiteral("PLS Upload"),
                            QStringLiteral("Not able to Upload Configuration from PLS."));
        return PLSConfig;
    }
    lastOk_ = true;
    return PLSConfig;
}

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

// The board drops a PLS block holding a value byte after half a second
// without a byte; the link rests a little longer.
constexpr std::int64_t kBlockDropNs = kSecond / 2 + kSecond / 10;
// An answer this quick comes from a board that is not answering late, so its
// drop time runs from that answer.
constexpr std::int64_t kPromptAnswerNs = kSecond / 10;

// A kept value is read until two reads in a row agree, at most this often.
constexpr int kMostReads = 4;

// How a value that was read is shown when reads did not agree.
QString shown(int v) { return QString::number(v); }
template <size_t N> QString shown(const std::array<int, N> &v)
{
    QStringList parts;
    for (const int x : v)
        parts << QString::number(x);
    return QLatin1Char('(') + parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// Runs one read (false: it failed) until two reads in a row agree. Reads
// that never agree fail like a failed read, with the values in `problem`.
template <typename T, typename Read> bool readConfirmed(T &value, QString &problem, Read once)
{
    problem.clear();
    QStringList seen;
    T previous{};
    for (int n = 0; n < kMostReads; ++n) {
        T v{};
        if (!once(v))
            return false;
        if (n > 0 && v == previous) {
            value = v;
            return true;
        }
        previous = v;
        seen << shown(v);
    }
    problem = QStringLiteral("four reads did not agree: ") + seen.join(QStringLiteral(", "));
    return false;
}
}   // namespace

bool RSComm::takesEveryByte(int mode) { return mode == kModeSendWord || mode == kModeBlock; }

// In modes 5 and 7 the board takes every byte after the command byte as a
// value, a re-sync 0xFF included (each answered 0x55, so the PC cannot tell),
// and it drops such a block only once it holds a value byte and half a second
// has passed without a byte. A board left there right after the command byte
// would take the link's next handshake as two values (0xFF and the command
// 26 make a scale factor of 6911). One byte can never complete either block
// (mode 5 takes two values, mode 7 six), so a single 0xFF is sent, and the
// line rests past the drop time: a board in such a block now holds one value
// and drops it; a board anywhere else takes the 0xFF as a re-sync (Idle,
// Command, the answers of a query, the ready poll, modes 3 and 6 before their
// channel byte). It is sent only where no block can hold a value byte yet:
// right after a handshake, or after a rest past the drop time.
void RSComm::leaveValueBlock()
{
    if (!port_ || !port_->isOpen() || CommError)
        return;
    startAttempt();
    inSequence_ = true;   // a time-out is not followed by a second 0xFF
    const int answer = ExchangeByte(0xFF, false, false);
    inSequence_ = false;
    if (answer == kAck && !lineFault_ && lastHeardNs_ - lastSentNs_ <= kPromptAnswerNs) {
        // The board answered at once: its drop time runs from that answer.
        const std::int64_t until = lastHeardNs_ + kBlockDropNs;
        bool quiet = true;
        while (quiet && port_->isOpen() && clock_.monotonicNs() < until)
            quiet = !port_->waitForInput(until);
        if (quiet)
            return;
    }
    // A late, missing or doubtful answer: rest as after a time-out.
    timedOut_ = true;
    settleLine();
}

bool RSComm::plsFailed(int mode, bool valuesSent)
{
    inSequence_ = false;
    CurrentMode = 0;
    // A block holding value bytes is dropped only after a rest: until then
    // any byte may complete it.
    if (valuesSent)
        timedOut_ = true;
    settleLine();
    if (takesEveryByte(mode))
        leaveValueBlock();
    return false;
}

QString RSComm::plsChangeNote() const
{
    if (!plsChangeSent_ || lastOk_)
        return {};
    QStringList parts;
    auto list = [&](const char *head, const QStringList &items) {
        if (items.isEmpty())
            return;
        // "configuration block 0", "configuration block 1" -> "configuration blocks 0, 1"
        const QString block = QStringLiteral("configuration block ");
        QStringList merged, blocks;
        for (const QString &i : items) {
            if (i.startsWith(block))
                blocks << i.mid(block.size());
            else
                merged << i;
        }
        if (blocks.size() == 1)
            merged.prepend(block + blocks[0]);
        else if (blocks.size() > 1)
            merged.prepend(QStringLiteral("configuration blocks ") + blocks.join(QStringLiteral(", ")));
        parts << QLatin1String(head) + merged.join(QStringLiteral(", "));
    };
    list("PLS changed: ", plsChanged_);
    list("PLS perhaps changed: ", plsPerhaps_);
    return parts.isEmpty() ? QStringLiteral("PLS not changed") : parts.join(QStringLiteral("; "));
}

bool RSComm::startPLSOperation(const BusyGuard &guard)
{
    plsChangeSent_ = false;
    plsChanged_.clear();
    plsPerhaps_.clear();
    plsReadProblem_.clear();
    return startOperation(guard);
}

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
        handshakes_ = 0;
        if (!SetPLCMode(mode, command))
            return false;
        // A handshake made again after a wrong answer may have taken a late
        // answer of the first for its own: every later answer would then be
        // one exchange behind, and a query's acknowledgements all look alike.
        // The line rests until late answers have surely come, as after a
        // time-out, and the handshake is made afresh.
        if (handshakes_ > 1) {
            lineFault_ = true;
            timedOut_ = true;
        }
        if (!lineFault_) {
            inSequence_ = true;
            return true;
        }
        settleLine();
        if (takesEveryByte(mode))
            leaveValueBlock();
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

bool RSComm::sendPLSChange(int mode, int command, const std::vector<int> &values, const QString &what)
{
    plsChangeSent_ = true;
    if (!enterPLSMode(mode, command))
        return plsFailed(mode, false);
    for (size_t i = 0; i < values.size(); ++i) {
        if (plsAnswer(values[i]) != kAck || CommError) {
            // The last value may have completed the change before its answer was lost.
            if (i + 1 == values.size())
                plsPerhaps_ << what;
            return plsFailed(mode, true);
        }
    }
    plsChanged_ << what;
    inSequence_ = false;
    return plsEnd(WaitPLSReady());
}

bool RSComm::SendPLSWord(int command, int value, const QString &what)
{
    return sendPLSChange(kModeSendWord, command, {value % 256, value / 256}, what);
}

bool RSComm::SendPLSChannel(int command, int chan, int a, int b, int last, const QString &what)
{
    return sendPLSChange(kModeChannel, command, {chan, a % 256, a / 256, b % 256, b / 256, last}, what);
}

bool RSComm::SendPLSBlock(int command, const int *values, const QString &what)
{
    return sendPLSChange(kModeBlock, command, std::vector<int>(values, values + 6), what);
}

bool RSComm::ReadPLSConfig(int command)
{
    if (!enterPLSMode(kModeConfigRead, command) || CommError)
        return plsEnd(false);
    // Kept apart until confirmed, so a failed upload leaves the last good
    // configuration in place.
    std::array<int, plsvalues::kConfigBytes> got{};
    for (int &v : got) {
        v = plsAnswer(kAck);
        if (v == NoAnswer || CommError)
            return plsEnd(false);
    }
    if (port_->bytesWaiting() > 0)
        return plsEnd(false);
    readConfig_ = got;
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

int RSComm::confirmedPLSWord(int command)
{
    int v = kNoWord;
    const bool ok = readConfirmed(v, plsReadProblem_, [&](int &got) {
        got = ReadPLSWord(command);
        return got != kNoWord && !CommError;
    });
    return ok ? v : kNoWord;
}

QString RSComm::plsWordText(int command)
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard))
        return QString::number(kNoWord);
    const int v = confirmedPLSWord(command);
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
    if (!startPLSOperation(guard) || plsRefused(plsvalues::singleSetpoint(Chan, OnSetpoint, OffSetpoint))
        || CommError)
        return false;
    const int scale = confirmedPLSWord(kScaleQuery);
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
    const QString channel = QStringLiteral("channel %1").arg(Chan);
    if (ClearChan && (!SendPLSChannel(kSetpointChannel, Chan, 0, 0, 0, channel + QStringLiteral(" cleared")) || CommError))
        return false;
    lastOk_ = SendPLSChannel(kSetpointChannel, Chan, OnSetpoint, OffSetpoint, 1, channel + QStringLiteral(" programmed"));
    return lastOk_;
}

bool RSComm::PulseTrain(int Chan, int ON_Division, int OFF_Division, int START_Division)
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard)
        || plsRefused(plsvalues::pulseTrain(Chan, ON_Division, OFF_Division, START_Division)))
        return false;
    const int scale = confirmedPLSWord(kScaleQuery);
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
    if (!SendPLSChannel(kPulseTrainChannel, Chan, START_Division, OFF_Division * 256 + ON_Division, 0,
                        QStringLiteral("channel %1 programmed").arg(Chan))) {
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
    if (!startPLSOperation(guard) || plsRefused(plsvalues::clearChannel(Chan)))
        return false;
    lastOk_ = SendPLSChannel(kSetpointChannel, Chan, 0, 0, 0, QStringLiteral("channel %1 cleared").arg(Chan));
    return lastOk_;
}

bool RSComm::recallOnce(int Chan, std::array<int, 3> &got, int &failState)
{
    failState = 0;
    if (!enterPLSMode(kModeRecall, kRecall) || CommError) {
        failState = 2;
        return plsFailed(kModeRecall, false);
    }
    // The channel is the only value of a recall: once taken, the board answers
    // queries, where a 0xFF is a re-sync; no block is left part-way.
    if (plsAnswer(Chan) != kAck)
        return plsFailed(kModeRecall, false);
    for (int &v : got) {   // state, position low, position high
        v = plsAnswer(kAck);
        if (v == NoAnswer || CommError)
            return plsEnd(false);
    }
    if (port_->bytesWaiting() > 0)
        return plsEnd(false);
    return plsEnd(true);
}

bool RSComm::RecallChannel(int Chan)
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard) || plsRefused(plsvalues::recallChannel(Chan)))
        return false;
    // No figures of an earlier recall survive a failed one.
    channelRecallState_ = 0;
    channelRecallPos_ = 0;
    int failState = 0;
    std::array<int, 3> got{};
    if (!readConfirmed(got, plsReadProblem_, [&](std::array<int, 3> &v) { return recallOnce(Chan, v, failState); })) {
        channelRecallState_ = failState;
        return false;
    }
    if (got[2] > kHighestPositionHigh) {
        channelRecallState_ = 2;
        return false;
    }
    channelRecallState_ = got[0];
    channelRecallPos_ = got[2] * 256 + got[1];
    lastOk_ = true;
    return true;
}

bool RSComm::SetPLSOffset(int Position)
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard) || plsRefused(plsvalues::setOffset(Position)))
        return false;
    int figures[3] = {0, 0, 0};   // offset, position, scale
    const int queries[3] = {kOffsetQuery, kPositionQuery, kScaleQuery};
    for (int i = 0; i < 3; ++i) {
        figures[i] = confirmedPLSWord(queries[i]);
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
    lastOk_ = SendPLSWord(kSendOffset, int(newOffset), QStringLiteral("the offset"));
    return lastOk_;
}

bool RSComm::PLSConfigDownload(const std::array<int, plsvalues::kConfigParams> &CfgParam, int ScaleFactor)
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard) || plsRefused(plsvalues::configDownload(CfgParam, ScaleFactor)))
        return false;
    for (int g = 0; g < 4; ++g)
        if (!SendPLSBlock(kConfigBlock[g], CfgParam.data() + 6 * g, QStringLiteral("configuration block %1").arg(g)))
            return false;
    lastOk_ = SendPLSWord(kSendScale, ScaleFactor, QStringLiteral("the scale factor"));
    return lastOk_;
}

std::array<int, plsvalues::kConfigBytes> RSComm::PLSConfigUpload()
{
    BusyGuard guard(*this);
    if (!startPLSOperation(guard))
        return PLSConfig;
    std::array<int, plsvalues::kConfigBytes> got{};
    if (!readConfirmed(got, plsReadProblem_, [&](std::array<int, plsvalues::kConfigBytes> &v) {
            if (!ReadPLSConfig(kConfigRead))
                return false;
            v = readConfig_;
            return true;
        })) {
        dialogs_.messageBox(Dialogs::Icon::Exclamation, Dialogs::Buttons::OK, QStringLiteral("PLS Upload"),
                            QStringLiteral("Not able to Upload Configuration from PLS."));
        return PLSConfig;
    }
    PLSConfig = got;
    lastOk_ = true;
    return PLSConfig;
}


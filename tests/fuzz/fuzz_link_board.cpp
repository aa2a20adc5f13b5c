// The link against a model board on a faulty line. The input chooses up to
// four reads or writes and then, answer by answer, what the line does to the
// board's answers: deliver them, deliver them late, lose them, replace them,
// or add a stray byte. The board always gets the PC's bytes as sent. The
// link may fail an access, but it may never
// - change a byte of board memory its address does not name (a read none),
// - report a write as done that the board does not hold (for a bit: with
//   the other seven bits of its byte as they were),
// - report a read as done with a value the board does not hold, unless the
//   line put a byte in place of an answer that carried a data byte of that
//   read (a read has no checksum, so that cannot be told),
// - send more than a few hundred bytes or take more than a minute of line
//   time for one access.
// A broken rule says which and traps.
//
// Input: [ops-1] [memory seed] then 8 bytes per op
//   [kind] [pause] [address hi] [address lo] [value, 4 bytes little-endian]
// kind bit 0: write; (kind >> 1) % 6: B, W, D, bit, flag, hexadecimal byte;
// (kind >> 4) & 7: bit number. pause % 4: line quiet before the op
// (0, 0.4, 0.6, 2 s). Then one fault byte per board answer, % 8:
//   1 late (next byte: 0..0.95 s, so still inside the link's time-out)
//   2 lost on the line
//   3 garbled (next byte: what arrives instead)
//   4 a stray byte just before the answer (next byte)
//   5 a stray byte later (next bytes: the byte, then 12 ms steps after the answer)
//   else the answer as it is; so it is once the input runs out.
// Bytes take 10 bit times at 9600 baud each way, one at a time.
#include "AppFolder.h"
#include "Clock.h"
#include "Dialogs.h"
#include "RSComm.h"
#include "SerialPort.h"
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <vector>

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kByteTime = 1'041'667;       // 10 bits at 9600 baud
constexpr std::int64_t kSequenceDrop = 500 * kMs;   // the board forgets an unfinished sequence
constexpr std::int64_t kLateMax = 950 * kMs;        // a late answer still beats the link's 1 s time-out
constexpr int kMaxBytesPerOp = 500;
constexpr std::int64_t kMaxTimePerOp = 60'000 * kMs;
constexpr int kMaxOps = 4;

[[noreturn]] void violation(const char *fmt, ...)
{
    std::fprintf(stderr, "LINK INVARIANT BROKEN: ");
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    __builtin_trap();
}

class Input {
public:
    Input(const std::uint8_t *d, std::size_t n) : d_(d), n_(n) {}
    int next() { return i_ < n_ ? d_[i_++] : 0; }
    bool empty() const { return i_ >= n_; }

private:
    const std::uint8_t *d_;
    std::size_t n_, i_ = 0;
};

// Cancel wherever there is one: a dead line ends in one box, never a retry loop.
class CancelDialogs final : public Dialogs {
public:
    Button messageBox(Icon, Buttons b, const QString &title, const QString &) override
    {
        if (title == QLatin1String("ENTRY ALERT"))
            violation("the harness built an address or value the link refuses (box \"%s\")",
                      title.toLatin1().constData());
        switch (b) {
        case Buttons::OK: return Button::OK;
        case Buttons::YesNo: return Button::No;
        case Buttons::AbortRetryIgnore: return Button::Abort;
        default: return Button::Cancel;
        }
    }
    std::optional<QString> openFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return std::nullopt; }
};

// The board's side of the wire, as sim/README.md describes it: the 0xFF/0x55
// handshake, read and write mode, record mode, NAK and Idle for a byte that has no place, and an unfinished
// sequence dropped after 0.5 s without a byte. Its memory changes only
// through write mode (and the load request, cleared when record mode ends).
class BoardModel {
public:
    enum class State { Idle, Command, Read, Write, Records };
    using Memory = std::array<std::uint8_t, 65536>;
    explicit BoardModel(Memory &m) : mem(m) {}
    Memory &mem;
    // The address whose byte the answer being made carries, -1 when it
    // carries none.
    int dataAddress = -1;

    // One byte received at time t; returns the answer, or -1 for none.
    // Time passes up to t, when the next byte comes in: an unfinished
    // sequence is dropped after 0.5 s without a byte.
    void waitUntil(std::int64_t t)
    {
        if (t - lastByte_ >= kSequenceDrop)
            dropSequence();
    }
    int receive(int b, std::int64_t t)
    {
        dataAddress = -1;
        waitUntil(t);
        lastByte_ = t;
        switch (state_) {
        case State::Idle: return b == 0xFF ? resync() : refuse();
        case State::Command: return command(b);
        case State::Read:
            if (seq_ == 0)
                return highByte(b);
            seq_ = 0;
            dataAddress = hi_ << 8 | b;
            return mem[std::size_t(dataAddress)];
        case State::Write:
            if (seq_ == 0)
                return highByte(b);
            if (seq_ == 1) {
                lo_ = b;
                seq_ = 2;
                return b;
            }
            seq_ = 0;
            mem[std::size_t(hi_ << 8 | lo_)] = std::uint8_t(b);
            return b;
        case State::Records: return record(b);
        }
        return -1;
    }
    // The board's last byte left at t (a late answer keeps it busy until then).
    void answered(std::int64_t t)
    {
        if (t > lastByte_)
            lastByte_ = t;
    }
    State state() const { return state_; }

private:
    int resync()
    {
        state_ = State::Command;
        return 0x55;
    }
    int refuse()
    {
        state_ = State::Idle;
        return 0x15;
    }
    int highByte(int b)
    {
        if (b == 0xFF)
            return resync();
        hi_ = b;
        seq_ = 1;
        return b;
    }
    void dropSequence()
    {
        if (state_ == State::Read || state_ == State::Write)
            seq_ = 0;
        else if (state_ == State::Records)
            recPos_ = 0;
    }
    int command(int b)
    {
        if (b == 0xFF)
            return 0x55;
        if (b == 0x01 || b == 0x02) {
            state_ = b == 0x01 ? State::Read : State::Write;
            seq_ = 0;
        } else if (b == 0x03) {
            if (mem[8181] != 86)
                return refuse();
            state_ = State::Records;
            recPos_ = 0;
        } else {
            return refuse();
        }
        return 0x55;
    }
    int record(int b)
    {
        if (recPos_ == 0 && b == 0xFF) {
            mem[8181] = 0;   // the load request has been served
            return resync();
        }
        recSum_ = (recPos_ == 0 ? 0 : recSum_) + b;
        if (recPos_ == 0)
            recCount_ = b;
        ++recPos_;
        if (recPos_ < 3 + recCount_)
            return -1;
        recPos_ = 0;
        return recSum_ & 0xFF;
    }
    State state_ = State::Idle;
    std::int64_t lastByte_ = 0;
    int seq_ = 0, hi_ = 0, lo_ = 0;
    int recPos_ = 0, recCount_ = 0, recSum_ = 0;
};

// The serial line: bytes take a byte time each way, the board answers, and
// the fuzz input decides what happens to each answer on its way back.
class FaultyLine final : public SerialPort {
public:
    enum class Origin { Board, Garbled, Stray };

    FaultyLine(VirtualClock &clock, BoardModel &board, Input &faults) : clock_(clock), board_(board), faults_(faults) {}

    // Per operation: limits and the read exemption. `reads` are the byte
    // addresses the operation reads.
    void startOp(int firstRead, int reads)
    {
        firstRead_ = firstRead;
        reads_ = reads;
        opBytes_ = 0;
        opStart_ = clock_.monotonicNs();
        dataCorrupted_ = false;
    }
    bool dataCorrupted() const { return dataCorrupted_; }

    void setPortNumber(int) override {}
    int portNumber() const override { return 1; }
    bool setSettings(const QString &) override { return true; }
    QString settings() const override { return QStringLiteral("9600,n,8,1"); }
    bool open() override { return open_ = true; }
    void close() override
    {
        flushInput();
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    int bytesWaiting() override
    {
        int n = 0;
        for (const auto &r : rx_)
            n += r.at <= clock_.monotonicNs();
        return n;
    }
    void flushInput() override
    {
        while (!rx_.empty() && rx_.front().at <= clock_.monotonicNs())
            rx_.pop_front();
    }
    int readByte() override
    {
        if (rx_.empty() || rx_.front().at > clock_.monotonicNs())
            return -1;
        const Rx r = rx_.front();
        rx_.pop_front();
        // What the line did to this answer cannot always be told:
        // - a garbled byte in place of a data byte of a read;
        // - a stray byte that came while the real answer was still on its
        //   way, and looks like it (the real one then comes in place of the
        //   next answer, and so on, as long as each looks like the one it
        //   replaces; where a data byte is replaced nothing can be seen).
        // A byte that was already waiting when the link sent its request is
        // never excused (the link can empty its input first), nor one that
        // differs from the echo or acknowledgement it replaces (the link can
        // see that the line is out of step, and wait until it is quiet).
        const bool arrivedSinceRequest = r.id >= lastSend_.firstId || r.at > lastSend_.at;
        const bool dataAnswer = window_.open && r.id == window_.dataId && r.origin == Origin::Board;
        const bool excused = arrivedSinceRequest && (r.origin != Origin::Board || r.displaced) && !dataAnswer;
        if (excused) {
            if (window_.open)
                dataCorrupted_ = true;   // in place of a data byte of this read
            const bool looksRight = lastSend_.dataAnswer || r.value == lastSend_.answer;
            if (r.origin != Origin::Garbled && looksRight) {
                for (auto &q : rx_) {
                    if (q.at > clock_.monotonicNs() && q.origin == Origin::Board) {
                        q.displaced = true;
                        break;
                    }
                }
            }
        }
        return r.value;
    }
    bool waitForInput(std::int64_t deadline) override
    {
        const std::int64_t now = clock_.monotonicNs();
        if (now - opStart_ > kMaxTimePerOp)
            violation("one access has taken more than %lld s of line time", (long long)(kMaxTimePerOp / 1'000'000'000));
        if (!rx_.empty() && rx_.front().at <= std::max(now, deadline)) {
            clock_.advanceToNs(rx_.front().at);
            return true;
        }
        clock_.advanceToNs(deadline);
        return false;
    }
    QString deviceName() const override { return QStringLiteral("model"); }
    int errorNumber() const override { return 0; }
    QString errorString() const override { return {}; }

    bool write(const QByteArray &bytes) override
    {
        if (!open_)
            return false;
        for (char c : bytes)
            send(static_cast<unsigned char>(c));
        return true;
    }

private:
    struct Rx {
        std::int64_t at;
        int value;
        Origin origin;
        std::uint64_t id;
        bool displaced = false;
    };

    // Queues a byte to arrive at `at`, or in the first free byte time after
    // it (the line carries one byte at a time); returns when it arrives.
    std::int64_t enqueue(std::int64_t at, int value, Origin origin)
    {
        for (bool moved = true; moved;) {
            moved = false;
            for (const auto &r : rx_) {
                if (r.at > at - kByteTime && r.at < at + kByteTime) {
                    at = r.at + kByteTime;
                    moved = true;
                }
            }
        }
        auto it = rx_.end();
        while (it != rx_.begin() && std::prev(it)->at > at)
            --it;
        rx_.insert(it, Rx{at, value, origin, nextId_++, false});
        return at;
    }

    void send(int b)
    {
        if (++opBytes_ > kMaxBytesPerOp)
            violation("one access has sent more than %d bytes", kMaxBytesPerOp);
        const std::int64_t now = clock_.monotonicNs();
        txFree_ = std::max(txFree_, now) + kByteTime;
        const std::int64_t received = txFree_;
        board_.waitUntil(received);
        window_.open = false;
        const std::uint64_t firstId = nextId_;
        const int answer = board_.receive(b, received);
        lastSend_ = {now, firstId, answer, board_.dataAddress >= 0};
        if (answer < 0)
            return;

        // What the line does with this answer.
        const int f = faults_.next() % 8;
        std::int64_t leave = received;
        int value = answer;
        Origin origin = Origin::Board;
        bool lost = false;
        switch (f) {
        case 1:   // late
            leave += faults_.next() * kLateMax / 255;
            break;
        case 2:   // lost on the line
            lost = true;
            break;
        case 3:   // replaced by another byte
            value = faults_.next();
            if (value == answer)
                value ^= 0x01;
            origin = Origin::Garbled;
            break;
        default: break;
        }
        leave = std::max(leave, boardFree_);
        board_.answered(leave);
        boardFree_ = leave;
        // The line carries one byte at a time, noise included.
        std::int64_t at = std::max(leave, rxFree_) + kByteTime;
        if (f == 4) {   // a stray byte just before the answer
            const int stray = faults_.next();
            at = enqueue(at, stray, Origin::Stray) + kByteTime;
        }
        const int d = board_.dataAddress;
        if (d >= firstRead_ && d < firstRead_ + reads_)
            window_ = {true, lost ? ~std::uint64_t(0) : nextId_};
        if (!lost)
            rxFree_ = at = enqueue(at, value, origin);
        if (f == 5) {   // a stray byte some time after the answer
            const int stray = faults_.next();
            enqueue(at + kByteTime + faults_.next() * 12 * kMs, stray, Origin::Stray);
        }
    }

    VirtualClock &clock_;
    BoardModel &board_;
    Input &faults_;
    std::deque<Rx> rx_;
    std::uint64_t nextId_ = 0;
    std::int64_t txFree_ = 0, rxFree_ = 0, boardFree_ = 0;
    bool open_ = false;
    int opBytes_ = 0;
    std::int64_t opStart_ = 0;
    int firstRead_ = 0, reads_ = 0;
    bool dataCorrupted_ = false;
    // The link's last byte out: when, the first byte queued after it, and
    // the board's answer to it (-1: none), which may carry a data byte.
    struct {
        std::int64_t at = 0;
        std::uint64_t firstId = 0;
        int answer = -1;
        bool dataAnswer = false;
    } lastSend_;
    // Open from a data request of the operation's read until the board's
    // next byte in.
    struct {
        bool open = false;
        std::uint64_t dataId = 0;   // the board's answer carrying the data byte
    } window_;
};

enum class Type { B, W, D, Bit, Flag, Hex };

struct Op {
    bool write = false;
    Type type = Type::B;
    int address = 0;   // first byte
    int width = 1;
    int bit = -1;   // bit and flag addresses
    std::int64_t value = 0;
    std::int64_t pause = 0;
    QString text;

    static Op decode(Input &in)
    {
        Op op;
        const int kind = in.next();
        const int pause = in.next() % 4;
        const int a16 = in.next() << 8 | in.next();
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v |= std::uint32_t(in.next()) << (8 * k);
        static const std::int64_t pauses[] = {0, 400 * kMs, 600 * kMs, 2000 * kMs};
        op.pause = pauses[pause];
        op.write = kind & 1;
        op.type = Type((kind >> 1) % 6);
        std::int64_t max = 255;
        switch (op.type) {
        case Type::B:
        case Type::Hex:
            op.address = a16 % 0xFF00;
            op.text = op.type == Type::B ? QStringLiteral("B%1").arg(op.address)
                                         : QString::number(op.address, 16).toUpper() + QLatin1Char('H');
            break;
        case Type::W:
            op.width = 2;
            op.address = a16 % 0xFEFF;
            op.text = QStringLiteral("W%1").arg(op.address);
            max = 65535;
            break;
        case Type::D:
            op.width = 4;
            op.address = a16 % 0xFEFD;
            op.text = QStringLiteral("D%1").arg(op.address);
            max = 655359999;
            break;
        case Type::Bit:
            op.address = a16 % 0xFF00;
            op.bit = (kind >> 4) & 7;
            op.text = QStringLiteral("B%1.%2").arg(op.address).arg(op.bit);
            max = 1;
            break;
        case Type::Flag:
            op.address = 32 + a16 / 8;
            op.bit = a16 % 8;
            op.text = QStringLiteral("F%1").arg(a16);
            max = 1;
            break;
        }
        op.value = std::int64_t(v % std::uint32_t(max + 1));
        return op;
    }

    // The value the address names in this memory.
    std::int64_t valueIn(const std::array<std::uint8_t, 65536> &m) const
    {
        const auto at = [&](int k) { return std::int64_t(m[std::size_t(address + k)]); };
        switch (type) {
        case Type::W: return at(0) | at(1) << 8;
        case Type::D: return (at(2) | at(3) << 8) * 10000 + (at(0) | at(1) << 8);
        case Type::Bit:
        case Type::Flag: return (at(0) >> bit) & 1;
        default: return at(0);
        }
    }
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    Input in(data, size);
    const int opCount = 1 + in.next() % kMaxOps;
    const int seed = in.next();
    std::vector<Op> ops;
    for (int i = 0; i < opCount; ++i)
        ops.push_back(Op::decode(in));

    static QTemporaryDir appDir;   // one settings file for the whole run
    AppFolder::set(appDir.path());

    // Board memory: the same pseudo-random bytes every run, rotated by the input's seed.
    static const std::vector<std::uint8_t> pattern = [] {
        std::vector<std::uint8_t> p(65536);
        std::uint32_t x = 0x9E3779B9u;
        for (auto &b : p) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = std::uint8_t(x >> 24);
        }
        return p;
    }();
    VirtualClock clock;
    static BoardModel::Memory memory;
    BoardModel board(memory);
    const std::size_t shift = std::size_t(seed) * 257;
    std::memcpy(board.mem.data(), pattern.data() + shift, 65536 - shift);
    std::memcpy(board.mem.data() + (65536 - shift), pattern.data(), shift);
    board.mem[8181] = 0;   // no program load requested: record mode is refused
    FaultyLine line(clock, board, in);
    CancelDialogs dialogs;
    RSComm link(dialogs, clock);

    for (const Op &op : ops) {
        static std::array<std::uint8_t, 65536> before, allowed;
        before = board.mem;
        clock.advanceNs(op.pause);
        // A read reads the bytes it names; a bit write reads its byte first.
        line.startOp(op.address, !op.write ? op.width : op.bit >= 0 ? 1 : 0);
        if (!link.OnlineMode || link.CommError) {
            clock.advanceNs(1000 * kMs);   // the operator goes online again
            link.OpenRSComm(&line);
        }
        const std::int64_t expected = op.valueIn(before);
        QString got;
        if (link.OnlineMode) {
            if (op.write)
                link.RSWrite(op.text, QString::number(op.value));
            else
                got = link.RSRead(op.text);
            if (link.lastAccessRefused())
                violation("the harness built an address or value the link refuses: %s", op.text.toLatin1().constData());
        }
        const bool ok = link.OnlineMode && link.lastAccessOk();

        // The memory as it may be now: as before, but for the bytes a write names.
        allowed = before;
        for (int k = 0; op.write && k < op.width; ++k)
            allowed[std::size_t(op.address + k)] = board.mem[std::size_t(op.address + k)];
        if (std::memcmp(allowed.data(), board.mem.data(), allowed.size()) != 0) {
            std::size_t a = 0;
            while (board.mem[a] == allowed[a])
                ++a;
            violation("%s %s changed byte %zu (%02X -> %02X), which the address does not name",
                      op.write ? "RSWrite of" : "RSRead of", op.text.toLatin1().constData(), a, before[a],
                      board.mem[a]);
        }
        if (!ok)
            continue;
        if (op.write) {
            // Byte for byte: a D value has more than one layout that reads the same.
            const std::int64_t low = op.type == Type::D ? op.value % 10000 : op.value;
            const std::int64_t high = op.value / 10000;
            const int bytes[4] = {int(low & 0xFF), int(low >> 8), int(high & 0xFF), int(high >> 8)};
            for (int k = 0; k < op.width && op.bit < 0; ++k) {
                if (board.mem[std::size_t(op.address + k)] != bytes[k])
                    violation("RSWrite %s = %lld reported done, byte %d holds %02X instead of %02X",
                              op.text.toLatin1().constData(), (long long)op.value, op.address + k,
                              board.mem[std::size_t(op.address + k)], bytes[k]);
            }
            const std::int64_t held = op.valueIn(board.mem);
            if (held != op.value)
                violation("RSWrite %s = %lld reported done, the board holds %lld", op.text.toLatin1().constData(),
                          (long long)op.value, (long long)held);
            // A bit is written as its whole byte: the other seven stay, unless
            // the read of that byte was corrupted where it cannot be told.
            const int mask = op.bit >= 0 ? 0xFF & ~(1 << op.bit) : 0;
            if (mask && !line.dataCorrupted()
                && (board.mem[std::size_t(op.address)] & mask) != (before[std::size_t(op.address)] & mask))
                violation("RSWrite %s = %lld reported done, the other bits of byte %d changed (%02X -> %02X)",
                          op.text.toLatin1().constData(), (long long)op.value, op.address,
                          before[std::size_t(op.address)], board.mem[std::size_t(op.address)]);
        } else if (!line.dataCorrupted() && got != QString::number(expected)) {
            violation("RSRead %s reported done with %s, the board holds %lld", op.text.toLatin1().constData(),
                      got.toLatin1().constData(), (long long)expected);
        }
    }
    return 0;
}

#pragma once
// The shift trend: machine speed and the shift's three counts, read by the
// background tick every 10 s while the program is online, kept in memory in a
// ring of 24 hours at that rate. A slot that passes without a sample (the
// program offline, a read that failed, ticks held up) leaves one gap mark;
// a value that was not confirmed is never kept.
#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <vector>

class Clock;
class RSComm;

// One entry of the ring: a sample, or a gap mark (no values) where the
// samples stop.
struct TrendSample {
    qint64 timeMs = 0;   // wall clock, ms since the epoch
    qint32 good = 0, leaker = 0, vision = 0;   // the shift's counts
    quint16 cpm = 0;                            // machine speed, cans a minute
    bool gap = false;
};

class TrendSampler : public QObject {
    Q_OBJECT
public:
    static constexpr std::int64_t kIntervalNs = 10'000'000'000;
    static constexpr int kCapacity = 8640;   // 24 hours at one entry per 10 s
    static const char *const kCsvHeader;

    TrendSampler(RSComm &link, const Clock &clock, int capacity = kCapacity, QObject *parent = nullptr);

    // One background tick. When a slot is due: online, the four reads and a
    // sample (a gap mark when a read fails); offline, a gap mark and no reads.
    void tick(bool online);

    // Entries kept, oldest first.
    int size() const { return size_; }
    const TrendSample &at(int i) const { return ring_[size_t((head_ + i) % capacity_)]; }
    // Index of the current shift's first entry: the first sample after the
    // counts last fell (the board's end of shift), else 0.
    int shiftStart() const;
    // Bytes the ring holds, whatever it is filled with.
    std::size_t memoryBytes() const { return ring_.capacity() * sizeof(TrendSample); }

    // The kept entries as CSV: the header row, then one row per entry (time,
    // speed, the three scrap percentages; a gap mark leaves the four empty).
    // Rows end in CR LF.
    QByteArray csv() const;

signals:
    // An entry was added.
    void changed();

private:
    void push(const TrendSample &s);
    void pushGap(qint64 timeMs);
    bool sample(TrendSample &s);   // false when a read failed

    RSComm &link_;
    const Clock &clock_;
    int capacity_;
    std::vector<TrendSample> ring_;
    int head_ = 0, size_ = 0;
    quint64 pushed_ = 0;        // entries ever added
    quint64 shiftSeq_ = 0;      // number of the current shift's first entry
    bool haveLast_ = false;     // last sample's counts, across gaps
    TrendSample last_;
    bool started_ = false;
    std::int64_t due_ = 0;      // monotonic time of the next slot
};

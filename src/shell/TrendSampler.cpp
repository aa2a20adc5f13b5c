#include "TrendSampler.h"
#include "BoardMap.h"
#include "Clock.h"
#include "CsvRows.h"
#include "RSComm.h"
#include "Utilities.h"
#include <QDateTime>

const char *const TrendSampler::kCsvHeader = "Time,Machine CPM,%Scrap (total),%Scrap (leaker),%Scrap (vision)\r\n";

TrendSampler::TrendSampler(RSComm &link, const Clock &clock, int capacity, QObject *parent)
    : QObject(parent), link_(link), clock_(clock), capacity_(capacity > 0 ? capacity : 1)
{
    ring_.reserve(size_t(capacity_));
}

void TrendSampler::tick(bool online)
{
    const std::int64_t now = clock_.monotonicNs();
    if (started_ && now < due_)
        return;
    // Slots that passed without a tick (the timer held up) are a gap too.
    const bool missed = started_ && now - due_ >= kIntervalNs;
    due_ = started_ ? due_ + (((now - due_) / kIntervalNs) + 1) * kIntervalNs : now + kIntervalNs;
    started_ = true;

    const qint64 timeMs = clock_.now().toMSecsSinceEpoch();
    if (missed)
        pushGap(timeMs);
    TrendSample s;
    s.timeMs = timeMs;
    if (!online || !sample(s)) {
        pushGap(timeMs);
        return;
    }
    // The counts fell: the board ended the shift and counts a new one.
    if (haveLast_ && (s.good < last_.good || s.leaker < last_.leaker || s.vision < last_.vision))
        shiftSeq_ = pushed_;
    last_ = s;
    haveLast_ = true;
    push(s);
}

bool TrendSampler::sample(TrendSample &s)
{
    // Each value as the board confirms it (two reads in a row that agree):
    // the trend is kept and saved, so a garbled answer must not enter it.
    const QString *const addresses[4] = {&BoardMap::MachineSpeed, &BoardMap::ShiftGoodCans,
                                         &BoardMap::ShiftLeakerRejects, &BoardMap::ShiftVisionRejects};
    qint64 v[4];
    for (int i = 0; i < 4; ++i) {
        if (link_.CommError)
            return false;
        v[i] = NumericValue(link_.RSReadConfirmed(*addresses[i]));
        if (!link_.lastAccessOk())
            return false;
    }
    s.cpm = quint16(v[0]);
    s.good = qint32(v[1]);
    s.leaker = qint32(v[2]);
    s.vision = qint32(v[3]);
    return true;
}

void TrendSampler::pushGap(qint64 timeMs)
{
    // One mark per gap, and only after something it separates.
    if (size_ == 0 || at(size_ - 1).gap)
        return;
    TrendSample g;
    g.timeMs = timeMs;
    g.gap = true;
    push(g);
}

void TrendSampler::push(const TrendSample &s)
{
    if (size_ < capacity_) {
        ring_.push_back(s);
        ++size_;
    } else {
        ring_[size_t(head_)] = s;
        head_ = (head_ + 1) % capacity_;
    }
    ++pushed_;
    emit changed();
}

int TrendSampler::shiftStart() const
{
    const quint64 first = pushed_ - quint64(size_);
    return shiftSeq_ > first ? int(shiftSeq_ - first) : 0;
}

namespace {
// One CSV row: the local time, then speed and the three scrap percentages;
// a gap mark leaves the four empty.
QByteArray csvRow(const TrendSample &s)
{
    QStringList fields{CsvRows::timeText(QDateTime::fromMSecsSinceEpoch(s.timeMs)), QString(), QString(), QString(),
                       QString()};
    if (!s.gap) {
        const ScrapShares p = ScrapPercentages(s.good, s.leaker, s.vision);
        fields[1] = QString::number(s.cpm);
        int i = 2;
        for (float f : {p.total, p.leaker, p.vision})
            fields[i++] = QString::number(double(f), 'f', 2);
    }
    return CsvRows::row(fields);
}
}   // namespace

QByteArray TrendSampler::csv() const
{
    QByteArray out(kCsvHeader);
    for (int i = 0; i < size_; ++i)
        out += csvRow(at(i));
    return out;
}

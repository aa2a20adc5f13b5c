#include "DataTransfer.h"
#include "RSComm.h"
#include <cmath>
#include <limits>

DataTransfer::DataTransfer(RSComm &link, SetupData &table, Mode mode, QObject *parent)
    : QObject(parent), link_(link), table_(table), mode_(mode)
{
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (step())
            timer_.start();
    });
}

QString DataTransfer::errorText() { return QStringLiteral("Error Processing Request\r\n\r\nProcess Not Complete"); }

QString DataTransfer::valueText(qint32 value)
{
    return value < 0 ? QString::number(value) : QStringLiteral(" ") + QString::number(value);
}

qint32 DataTransfer::tableValue(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || std::isnan(v))
        return 0;
    const double r = std::nearbyint(v);   // the default rounding: halves to even
    if (r >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (r <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(r);
}

void DataTransfer::start()
{
    if (state_ != State::Ready)
        return;
    state_ = State::Running;
    emit progress(0, total());
    timer_.start();
}

void DataTransfer::cancel() { cancelRequested_ = true; }

bool DataTransfer::step()
{
    if (state_ == State::Ready) {
        state_ = State::Running;
        emit progress(0, total());
    }
    if (state_ != State::Running)
        return false;
    if (cancelRequested_) {
        finish(State::Cancelled);
        return false;
    }
    if (link_.CommError || next_ >= total()) {
        finish(link_.CommError || !incomplete_.isEmpty() ? State::Failed : State::Done);
        return false;
    }

    const int i = next_;
    const QString add = table_.Address.value(i);
    bool ok = true, failedOnLine = false;
    if (!add.isEmpty()) {
        if (mode_ == Mode::Upload) {
            const QString v = link_.RSReadConfirmed(add);
            ok = link_.lastAccessOk();
            // A failed read gives "0": the table keeps what it held.
            if (ok && i < table_.Value.size())
                table_.Value[i] = tableValue(v);
        } else {
            link_.RSWrite(add, valueText(table_.Value.value(i)));
            ok = link_.lastAccessOk();
        }
        if (!ok)
            incomplete_.append(i);
        failedOnLine = !ok && !link_.lastAccessRefused();
        emit entryDone(i, ok);
    }
    ++next_;
    emit progress(next_, total());
    if (next_ >= total() || failedOnLine) {
        finish(link_.CommError || !incomplete_.isEmpty() ? State::Failed : State::Done);
        return false;
    }
    return true;
}

void DataTransfer::finish(State s)
{
    state_ = s;
    timer_.stop();
    emit finished(s == State::Done || s == State::Cancelled, s == State::Failed ? errorText() : QString());
}
